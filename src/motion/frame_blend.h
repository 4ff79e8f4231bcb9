#pragma once

#include "motion/motion.h"

// A moment between two captured frames, as the retimed motion poses and saves it: each joint's
// rotation channels blended as one rotation (slerp) and written back as angles in the joint's
// own order, nearest to the nearer frame's angles so that they run on as the file's do; its
// position channels blended linearly. A joint whose rotation channels do not name three
// different axes has its angles blended linearly, which is exact for one channel. share 0 gives
// row a, share 1 row b. out may not be a or b.
void blendRows(const Motion& motion, const float* a, const float* b, double share, float* out);

// The rigid transform `share` of the way from a to b: the rotation by slerp, the translation
// linearly.
Transform blendTransforms(const Transform& a, const Transform& b, double share);
