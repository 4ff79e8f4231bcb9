#pragma once

#include "editing/root_path.h"

// Where the root of one frame goes on the (possibly edited) curve. Applied after the root's
// OFFSET translation: translate by (pathX, 0, pathZ), rotate by headingDegrees about +y,
// translate by (backX, 0, backZ). The pose pass and the bake on save both use this one rule.
struct RootPlacement {
    double pathX = 0.0;  // curve point of the frame
    double pathZ = 0.0;
    double headingRadians = 0.0;  // signed turn from the load-time tangent to the current one
    double headingDegrees = 0.0;  // the same, converted with pi taken as 3.1415926
    double backX = 0.0;           // minus the load-time offset from the root to the curve
    double backZ = 0.0;
};

// offsetX/Z, tangentX/Z and turnWeight are the frame's baseline values recorded at load. The
// heading is the signed angle from the load-time tangent to the current one, times turnWeight
// (0 to 1): where the load-time tangent is too short to have a direction, the edit moves the
// figure along without turning it.
RootPlacement placeRoot(const RootPath& path, int frame, int frameCount, float offsetX,
                        float offsetZ, float tangentX, float tangentZ, float turnWeight);
