#pragma once

#include <array>
#include <memory>
#include <vector>

#include "motion/edited_motion.h"
#include "motion/frame_table.h"
#include "motion/joint.h"
#include "motion/motion.h"

// A copy of the motion's frames with the root's columns recomputed from the edit (root
// ground position and heading, worked out in display space and written in the file's axes, and
// the root lowered where planted feet need it); the planted legs' columns take their solved
// values, and every other column keeps the motion's values. The root keeps its
// own channel layout when that can hold the result, its rotations baked in their own order and,
// of the equivalent angle triples, the one nearest to the file's values of that frame (so an
// unedited frame comes back as it was read). Otherwise (it would lose the edit or its
// orientation) the root's columns become Xposition Yposition Zposition Zrotation Yrotation
// Xrotation. rootChannels, when given, receives the layout used. Null when the motion cannot be
// posed. The motion is not changed. Options that set another up axis turn the root (OFFSET,
// positions, orientation) into the output's axes, which needs all of the root's position
// channels or the full layout; another position-channel reading rewrites the position values of
// every joint below the root into it.
std::unique_ptr<FrameTable> bake(const EditedMotion& edited,
                                 std::vector<ChannelType>* rootChannels = nullptr,
                                 const SaveOptions& options = SaveOptions());

// The root's OFFSET in the output's axes (the file's own unless the options set another up
// axis).
std::array<float, 3> bakedRootOffset(const Motion& motion, const SaveOptions& options);
