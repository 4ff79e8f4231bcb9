#include "document/ground_point.h"

#include <cmath>

bool groundPoint(const std::array<double, 3>& nearPoint, const std::array<double, 3>& farPoint,
                 double height, double& x, double& z) {
    const double dx = farPoint[0] - nearPoint[0];
    const double dy = farPoint[1] - nearPoint[1];
    const double dz = farPoint[2] - nearPoint[2];
    if (dy == 0.0)
        return false;
    const double s = (height - nearPoint[1]) / dy;
    if (!(s >= 0.0))
        return false;  // before the near plane (or NaN)
    const double px = nearPoint[0] + s * dx;
    const double pz = nearPoint[2] + s * dz;
    if (!std::isfinite(px) || !std::isfinite(pz))
        return false;
    x = px;
    z = pz;
    return true;
}
