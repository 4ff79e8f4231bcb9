#pragma once

// Where the root of one frame goes on the (possibly edited) curve. Applied after the root's
// OFFSET translation: translate by (pathX, 0, pathZ), rotate by headingDegrees about +y,
// translate by (backX, 0, backZ). The pose pass and the bake on save both use this one rule.
struct RootPlacement {
    // the frame's curve point less the root's own OFFSET on the ground, which the pose has
    // translated by already
    double pathX = 0.0;
    double pathZ = 0.0;
    double headingRadians = 0.0;  // the turn the edit adds (root_heading.h)
    double headingDegrees = 0.0;  // the same, converted with pi taken as 3.1415926
    double backX = 0.0;           // minus the offset from the root to the fitted curve
    double backZ = 0.0;
};

// The placement at a path point (x, z), turned by headingRadians, of a root whose offset from
// the fitted path's point was (offsetX, offsetZ): the back-translation is minus that offset.
RootPlacement placeRoot(double x, double z, double headingRadians, double offsetX, double offsetZ);
