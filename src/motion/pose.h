#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "motion/motion.h"

// The kinds of pass of the pose traversal; the numbers are what callers pass. A pass decides
// where the root goes (as the file says, or on the edited path) and whether the figure is lifted
// so that the lowest joint of the whole motion stands on y = 0.
enum class PosePass : int {
    RecordRaw = 0,      // raw root, lifted
    DrawPlain = 1,      // edited root, lifted; drawn in the current colour
    DrawFigure = 2,     // edited root, lifted; red markers, blue bones
    MeasureRaw = 3,     // raw root, unlifted
    DrawPath = 4,       // no traversal: the view draws the root path
    DrawStrobe = 5,     // edited root, lifted; dark red markers, dark blue bones
    MeasureEdited = 6,  // edited root, unlifted
    RecordEdited = 7,   // edited root, lifted
};

// What posing one frame gives: every joint's world transform in joints() order, and the bounds
// of the joints' positions.
struct Pose {
    std::vector<Transform> transforms;
    Bounds bounds = resetBounds();
};

// Poses row `frame` of the motion for the pass into `pose` (its storage is reused between
// calls). The edited passes place the root on the edited path (as the file does while the motion
// has no baseline) and, with the feet planted, pose the solved legs and the lowered root.
// False, with the pose emptied, for DrawPath, a motion that cannot be posed and a frame outside
// the table. The motion is only read.
bool poseFrame(const Motion& motion, int frame, PosePass pass, Pose& pose);

// Poses only `joints` of row `frame` for the pass, each where poseFrame puts it: the list is
// ascending and holds every listed joint's parent (a joint's world transform needs its
// parent's). pose.transforms is sized for every joint, but only the listed entries are posed,
// and the bounds are not touched. False, changing nothing, where poseFrame would fail or the
// list breaks that rule. For work on a few joints of every frame, such as the legs.
bool poseSome(const Motion& motion, int frame, PosePass pass, const std::vector<int>& joints,
              Pose& pose);

// Poses row `frame` as the file states it, in the file's own axes: the raw root, unlifted, and a
// Z-up file not turned upright (the position-channel reading still applies). False, with the
// pose emptied, where poseFrame would be.
bool poseInFileAxes(const Motion& motion, int frame, Pose& pose);
