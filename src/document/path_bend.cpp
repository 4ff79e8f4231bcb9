#include "document/path_bend.h"

#include <algorithm>
#include <cmath>

double trackLength(const RootPath& path) {
    double length = 0.0;
    for (int i = 1; i < path.sampleCount(); ++i) {
        length += std::hypot(static_cast<double>(path.sampleX(i)) - path.sampleX(i - 1),
                             static_cast<double>(path.sampleZ(i)) - path.sampleZ(i - 1));
    }
    return length;
}

bool bendMiddleSideways(PathEdit& edit, float falloffRadius, double share) {
    const ControlCurve& curve = edit.curve();
    if (curve.pointCount() < 3) {
        return false;
    }
    const Motion& motion = edit.motion();
    const double travelled = trackLength(edit.path());
    const double length = travelled >= motion.height()
                              ? travelled
                              : std::max(motion.bound(MaxX) - motion.bound(MinX),
                                         motion.bound(MaxZ) - motion.bound(MinZ));
    const int middle = curve.pointCount() / 2;
    CurvePoint before;
    CurvePoint at;
    CurvePoint after;
    curve.getPoint(middle - 1, before);
    curve.getPoint(middle, at);
    curve.getPoint(middle + 1, after);
    double dx = after.x - before.x;
    double dz = after.z - before.z;
    const double along = std::hypot(dx, dz);
    if (along > 0.0) {
        dx /= along;
        dz /= along;
    } else {
        dx = 1.0;
        dz = 0.0;
    }
    // Sideways: the direction along the path turned a quarter about the vertical.
    at.x += share * length * dz;
    at.z -= share * length * dx;
    const float radius = curve.falloffRadius();
    const int selected = curve.selected();
    edit.setFalloffRadius(falloffRadius);
    edit.select(middle);
    edit.moveSelected(at.x, at.z);
    edit.select(selected);
    edit.setFalloffRadius(radius);
    edit.refresh();
    return true;
}
