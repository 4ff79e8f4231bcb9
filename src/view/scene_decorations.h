#pragma once

#include <array>

#include "motion/motion.h"
#include "view/figure_drawing.h"

// Planar shadow projection, column-major: (x, y, z) goes to (x - y, lift, z + y - 1), the
// figure flattened onto y = lift and leaning away from the light (1, 1, -1).
std::array<float, 16> shadowMatrixFor(float lift);
// The lift of the shadow: a quarter of the marker radius, or 0.07 with no motion.
float shadowLift(const Motion* motion);

// The ground under plane and grid: the motion's x/z bounds (the edited ones) with a margin of
// 150 world units, or -150..150 with no motion (null bounds).
struct GroundExtent {
    float minX;
    float maxX;
    float minZ;
    float maxZ;
};
GroundExtent groundExtent(const Bounds* motionBounds);

// The posed figure flattened by the shadow matrix, in near-black.
void drawShadow(const Motion& motion, const Pose& pose, const std::array<float, 16>& shadowMatrix,
                FigureDrawer& drawer);
// One grey quadrilateral at y = 0 over the ground extent.
void drawPlane(const Bounds* motionBounds);
// Compiles the grid (31 lines each way, every fifth wide) into a new display list; its extent
// is fixed at compile time. Null: no motion.
unsigned int buildGridList(const Motion* motion, const Bounds* motionBounds);
// The x, y and z axes from the origin, in red, green and blue.
void drawAxes(const Motion* motion);
// Stippled outlines of the shown pose's box (drawn coordinates) and, lifted, of the whole
// motion's box (its edited bounds, unlifted).
void drawBoundingBoxes(const Bounds& motionBounds, const Bounds& poseBounds);
