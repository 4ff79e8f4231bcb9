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

bool dragInSteps(double fromX, double fromZ, double toX, double toZ, double falloffRadius,
                 const std::function<bool(double x, double z)>& moveTo) {
    const double distance = std::hypot(toX - fromX, toZ - fromZ);
    const int steps =
        falloffRadius > 0.0 && distance > 0.0 && std::isfinite(distance)
            ? static_cast<int>(std::clamp(std::ceil(100.0 * distance / falloffRadius), 1.0, 1000.0))
            : 1;
    for (int step = 1; step <= steps; ++step) {
        const double t = static_cast<double>(step) / steps;
        if (!moveTo(fromX + t * (toX - fromX), fromZ + t * (toZ - fromZ))) {
            return false;
        }
    }
    return true;
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
    // A drag in the window comes as many small moves, each weighing the neighbours afresh; in one
    // move of the whole way the points after the middle one would be weighed against where it
    // ends, a radius away, and stay behind.
    CurvePoint from;
    curve.getPoint(middle, from);
    dragInSteps(from.x, from.z, at.x, at.z, falloffRadius, [&](double x, double z) {
        edit.moveSelected(x, z);
        return true;
    });
    edit.select(selected);
    edit.setFalloffRadius(radius);
    edit.refresh();
    return true;
}

namespace {

CurvePoint pointOf(const PathEdit& edit, int i) {
    CurvePoint p;
    edit.curve().getPoint(i, p);
    return p;
}

// The unit direction from control point a to b, and its left (a quarter turn about +y).
void directionOf(const PathEdit& edit, int a, int b, double& ux, double& uz, double& length) {
    const CurvePoint p = pointOf(edit, a);
    const CurvePoint q = pointOf(edit, b);
    length = std::hypot(q.x - p.x, q.z - p.z);
    ux = length > 0.0 ? (q.x - p.x) / length : 1.0;
    uz = length > 0.0 ? (q.z - p.z) / length : 0.0;
}

void place(PathEdit& edit, int i, double x, double z) {
    edit.setPoint(i, CurvePoint{x, z});
}

}  // namespace

bool makeUTurn(PathEdit& edit) {
    const int n = edit.curve().pointCount();
    if (n < 5) {
        return false;
    }
    double ux = 1.0;
    double uz = 0.0;
    double spacing = 0.0;
    directionOf(edit, n - 5, n - 4, ux, uz, spacing);
    const CurvePoint corner = pointOf(edit, n - 4);
    // Left of the direction (x, z) is (z, -x) seen from above with +y up.
    const double pivotX = corner.x + 0.5 * spacing * uz;
    const double pivotZ = corner.z - 0.5 * spacing * ux;
    for (int i = n - 3; i < n; ++i) {
        const CurvePoint p = pointOf(edit, i);
        place(edit, i, 2.0 * pivotX - p.x, 2.0 * pivotZ - p.z);
    }
    edit.refresh();
    return true;
}

bool makeLoop(PathEdit& edit) {
    const int n = edit.curve().pointCount();
    if (n < 7) {
        return false;
    }
    const int k = n / 2;
    double ux = 1.0;
    double uz = 0.0;
    double spacing = 0.0;
    directionOf(edit, k - 2, k - 1, ux, uz, spacing);
    const CurvePoint start = pointOf(edit, k - 1);
    const double leftX = uz;
    const double leftZ = -ux;
    const double cx = start.x + spacing * leftX;
    const double cz = start.z + spacing * leftZ;
    // From the start (a quarter turn right of the centre) on round towards the left.
    const double around[3][2] = {{1.0, 0.0}, {0.0, 1.0}, {-1.0, 0.0}};
    for (int i = 0; i < 3; ++i) {
        place(edit, k + i, cx + spacing * (around[i][0] * ux + around[i][1] * leftX),
              cz + spacing * (around[i][0] * uz + around[i][1] * leftZ));
    }
    edit.refresh();
    return true;
}
