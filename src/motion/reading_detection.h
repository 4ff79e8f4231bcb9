#pragma once

#include "motion/motion.h"
#include "motion/reading.h"

// The rules that tell from a file how its author meant it to be read. Both read a motion that
// has a skeleton and frames (setSkeleton is enough; nothing needs to be prepared).

// "Value replaces offset" when at least three quarters of the joints below a top-level joint
// that have position channels, and whose OFFSET along those channels' axes is longer than 1% of
// the figure's size, have first-frame values within 1% of the figure's size of that OFFSET;
// "offset plus value" otherwise (also with no such joint, where both readings nearly agree). The
// figure's size is the largest extent of the skeleton standing at its OFFSETs alone. A quarter of
// the joints may fail the test: the joint that carries the figure's travel (often the hips below
// a static root) has values far from its OFFSET under either reading.
PositionChannels detectPositionChannels(const Motion& motion);

// Told from up to 32 frames spread evenly through the motion, posed in the file's own axes with
// the motion's position-channel reading. First by the root's travel, since a root travels over
// the ground: where its range along y and its range along z differ by more than the figure's
// size (the median of its largest extent), the axis with the smaller range is up. Otherwise, by
// the skeleton, since the legs hang from the hips and the spine rises from them: the chains that
// leave the figure's first branching joint (each from there to where it ends or branches, at its
// OFFSETs, turned as the frames turn that joint) are counted by length on the axis each mostly
// points along, on the side it points to, and the axis (y or z) whose lesser side holds the
// most is up. A T-pose's arms hang from the chest, so they do not count. Last, where no chains
// point both ways along y or z, by the figure's shape, since a standing or walking figure is
// taller than it is wide or deep: Z when its median extent along z is the largest of the three
// and more than 1.25 times that along y; Y otherwise; a figure flat in the x-z plane stays on y.
// The figure is the joints below the top-level ones (a static root can lie far from the figure
// hung below it).
UpAxis detectUpAxis(const Motion& motion);
