#pragma once

#include <memory>
#include <vector>

#include "motion/frame_table.h"
#include "motion/joint.h"
#include "motion/motion.h"

// Whether the root's own channels can carry an edit: exactly one Xposition, one Zposition and
// three rotation channels (any order, any Yposition count).
bool rootCarriesEdit(const Joint& root);

// The root channels a save writes: the root's own when they can carry an edit, otherwise
// Xposition Yposition Zposition Zrotation Yrotation Xrotation.
std::vector<ChannelType> bakedRootChannels(const Joint& root);

// A copy of the motion's frames with the root's columns recomputed from the edited path (root
// ground position and heading), laid out for bakedRootChannels(root); every other column keeps
// the motion's values. Null when the motion cannot be posed. The motion is not changed.
std::unique_ptr<FrameTable> bake(const Motion& motion);
