#include "editing/root_placement.h"

#include <algorithm>
#include <cmath>

RootPlacement placeRoot(const RootPath& path, int frame, int frameCount, float offsetX,
                        float offsetZ, float tangentX, float tangentZ, float turnWeight) {
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
    curve->evaluateWithForward(t, at, forward);
    placement.pathX = at.x;
    placement.pathZ = at.z;
    const double turn = std::atan2(tangentZ * forward.x - tangentX * forward.z,
                                   tangentX * forward.x + tangentZ * forward.z);
    // Scaling the angle (rather than blending the directions) keeps the turn's rate bounded by
    // the weight's, which changes slowly from frame to frame.
    placement.headingRadians = turnWeight >= 1.0f ? turn : std::max(0.0f, turnWeight) * turn;
    placement.headingDegrees = placement.headingRadians * 180.0 * 0.31830989161357204;
    return placement;
}
