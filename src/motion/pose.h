#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "editing/root_placement.h"
#include "motion/motion.h"
#include "motion/planted_legs.h"

// The kinds of pass of the pose traversal; the numbers are what callers pass. A pass decides
// where the root goes (as the file says, or on the edited path) and whether the figure is lifted
// so that the lowest joint of the whole motion stands on y = 0; how a drawing pass looks is the
// drawing's business.
enum class PosePass : int {
    RecordRaw = 0,      // raw root, lifted
    DrawPlain = 1,      // edited root, lifted: the shadow
    DrawFigure = 2,     // edited root, lifted: the figure
    MeasureRaw = 3,     // raw root, unlifted
    DrawPath = 4,       // no traversal: the view draws the root path
    DrawStrobe = 5,     // edited root, lifted: the strobe copies
    MeasureEdited = 6,  // edited root, unlifted
    RecordEdited = 7,   // edited root, lifted
};

// Whether the pass places the root on the edited path (and poses planted legs), rather than as
// the file says.
bool isEditedPass(PosePass pass);

// What posing one frame gives: every joint's world transform in joints() order, and the bounds
// of the joints' positions.
struct Pose {
    std::vector<Transform> transforms;
    Bounds bounds = resetBounds();
};

// Poses row `frame` of the motion for the pass into `pose` (its storage is reused between
// calls). The edited passes place the root by `placement` (null: as the file places it) and pose
// the `legs` planted feet replace (null: the file's own values) with the root lowered where they
// need it; the raw passes apply neither. False, with the pose emptied, for DrawPath, a motion
// that cannot be posed and a frame outside the table. The motion is only read.
bool poseFrame(const Motion& motion, int frame, PosePass pass, const RootPlacement* placement,
               const PlantedLegs* legs, Pose& pose);

// Poses only `joints` of row `frame` for the pass, each where poseFrame puts it: the list is
// ascending and holds every listed joint's parent (a joint's world transform needs its
// parent's). pose.transforms is sized for every joint, but only the listed entries are posed,
// and the bounds are not touched. False, changing nothing, where poseFrame would fail or the
// list breaks that rule. For work on a few joints of every frame, such as the legs.
bool poseSome(const Motion& motion, int frame, PosePass pass, const RootPlacement* placement,
              const PlantedLegs* legs, const std::vector<int>& joints, Pose& pose);

// poseFrame and poseSome for the moment `share` (0 <= share < 1) of the way from row `frame` to
// row frame + 1, as a retimed save writes it: the root's world transform blended between its
// two placed poses (`placement` for the frame, `nextPlacement` for the next; its rotation by
// slerp, its position linearly, the root's lowering for planted legs included), every other joint
// posed from the two rows blended by RowBlender (with the planted legs' values in both). Share 0,
// or the last row, is poseFrame of the row; the same failures as there.
bool poseBetween(const Motion& motion, int frame, double share, PosePass pass,
                 const RootPlacement* placement, const RootPlacement* nextPlacement,
                 const PlantedLegs* legs, Pose& pose);
bool poseSomeBetween(const Motion& motion, int frame, double share, PosePass pass,
                     const RootPlacement* placement, const RootPlacement* nextPlacement,
                     const PlantedLegs* legs, const std::vector<int>& joints, Pose& pose);

// Grows the x and z of `bounds` by every joint of row `frame` with the root placed by
// `placement` (null: as the file places it), unlifted and without planted legs. Turns the
// motion's root-relative cache where it has one instead of posing every joint; without it, poses
// the joints outside rigid clouds and finds each cloud's extremes from its anchor. False,
// changing nothing, for a frame that cannot be posed. With `root`, also writes there the root's
// ground position (x, z) as placedRootOnGround gives it.
bool growGroundBounds(const Motion& motion, int frame, const RootPlacement* placement,
                      Bounds& bounds, float* root = nullptr);
// The ground position (x, z) of the root of row `frame` placed by `placement` (null: as the file
// places it), bit for bit where the pose puts it, without posing anything else. False, changing
// nothing, for a frame that cannot be posed.
bool placedRootOnGround(const Motion& motion, int frame, const RootPlacement* placement, float& x,
                        float& z);

// Poses row `frame` as the file states it, in the file's own axes: the raw root, unlifted, and a
// Z-up file not turned upright (the position-channel reading still applies). False, with the
// pose emptied, where poseFrame would be.
bool poseInFileAxes(const Motion& motion, int frame, Pose& pose);
