#pragma once

#include "motion/motion.h"

// The kinds of pass of the pose traversal; the numbers are what callers pass.
enum class PosePass : int {
    RecordRaw = 0,      // raw root; store worldPosition, grow poseBounds
    DrawPlain = 1,      // edited root; draw markers and bones in the current colour
    DrawFigure = 2,     // edited root; red markers, blue bones
    MeasureRaw = 3,     // raw root; grow motionBounds, feed the root to the RootPath
    DrawPath = 4,       // no traversal: the view draws the root path
    DrawStrobe = 5,     // edited root; dark red markers, dark blue bones
    MeasureEdited = 6,  // edited root; grow x and z of motionBounds
    RecordEdited = 7,   // edited root; store worldPosition, grow poseBounds
};

// Poses the skeleton at motion.currentFrame and applies the pass's effect. For every pass it
// leaves each joint's world transform in motion.poseTransforms; the drawing passes only pose,
// the view draws markers and bones from those transforms. DrawPath, a motion that cannot be
// posed and a currentFrame outside the table pose nothing. The edited passes place the root as
// the file does while the motion has no baseline (it was not prepared by load).
void poseFrame(Motion& motion, PosePass pass);

// Re-measures the x and z of motionBounds over every frame on the edited path.
void refreshBounds(Motion& motion);
// The last load step: the per-frame baseline relating the raw root to the fitted curve.
void computeBaseline(Motion& motion);
// RecordEdited at the current frame: worldPosition and poseBounds of the pose as drawn.
void updatePose(Motion& motion);
// The load's measuring sweep: MeasureRaw at every frame in order (bounds, root samples), the
// extents of frame 0's pose, and the root-relative ground positions refreshBounds reuses.
// False when some joint position is not finite (NaN or infinite values in the file).
bool measureMotion(Motion& motion);
