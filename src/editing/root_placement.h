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

// offsetX/Z and tangentX/Z are the frame's baseline values recorded at load.
RootPlacement placeRoot(const RootPath& path, int frame, int frameCount, float offsetX,
                        float offsetZ, float tangentX, float tangentZ);
