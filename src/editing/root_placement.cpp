#include "editing/root_placement.h"

#include <cmath>

RootPlacement placeRoot(const RootPath& path, int frame, int frameCount, float offsetX,
                        float offsetZ, float tangentX, float tangentZ) {
    RootPlacement placement;
    placement.backX = -static_cast<double>(offsetX);
    placement.backZ = -static_cast<double>(offsetZ);
    const ControlCurve* curve = path.curve();
    // Without a fitted curve of three points there is no path to follow: the root stays where
    // the back-translation alone puts it, unturned.
    if (curve == nullptr || curve->pointCount() < 3) {
        return placement;
    }
    const double t = path.frameParameter(frame, frameCount);
    CurvePoint at;
    CurvePoint forward;
    curve->evaluate(t, at);
    curve->forwardVector(t, forward);
    placement.pathX = at.x;
    placement.pathZ = at.z;
    placement.headingRadians = std::atan2(tangentZ * forward.x - tangentX * forward.z,
                                          tangentX * forward.x + tangentZ * forward.z);
    placement.headingDegrees = placement.headingRadians * 180.0 * 0.31830989161357204;
    return placement;
}
