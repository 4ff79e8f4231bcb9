#pragma once

#include <vector>

#include "motion/motion.h"
#include "motion/pose.h"

// Builds the joint marker in the current GL context: three circles of the given radius in the
// three coordinate planes. Two lists are generated; the marker is the second (the circle it
// calls is the one before it), so releaseMarkerList frees both.
unsigned int buildMarkerList(float radius);
void releaseMarkerList(unsigned int markerList);

// Poses the figure at motion.currentFrame with a drawing pass (DrawPlain, DrawFigure or
// DrawStrobe) and draws each joint's marker and its bones to its children in that pass's
// colours; DrawPlain draws in the current colour. Builds the marker list if the motion has none.
void drawFigure(Motion& motion, PosePass pass);

// The frames drawn as strobe copies: every tenth of the motion, or every frame when it has
// fewer than ten (the stride would be 0).
std::vector<int> strobeFrames(int frameCount);

// Strobe copies at strobeFrames, then the figure at the current frame, which is kept.
void drawStrobes(Motion& motion);
