#include "editing/root_placement.h"

RootPlacement placeRoot(double x, double z, double headingRadians, double offsetX, double offsetZ) {
    RootPlacement placement;
    placement.pathX = x;
    placement.pathZ = z;
    placement.headingRadians = headingRadians;
    placement.headingDegrees = headingRadians * 180.0 * 0.31830989161357204;
    placement.backX = -offsetX;
    placement.backZ = -offsetZ;
    return placement;
}
