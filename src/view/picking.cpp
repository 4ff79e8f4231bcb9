#include "view/picking.h"

#include <cmath>

int pickedControlPoint(const unsigned int* buffer, int hits, int bufferSize) {
    if (hits < 3)
        return -1;
    // Record 0 starts at 0; record 1 after record 0's three header entries and its names.
    const long second = 3L + static_cast<long>(buffer[0]);
    if (second + 4 >= bufferSize)
        return -1;
    if (buffer[second] < 2)
        return -1;  // no name beyond [0]: no control point
    return static_cast<int>(buffer[second + 4]);
}

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

float nextFalloffWidth(float width, int key) {
    if (key == 'q')
        return width - 10.0f < 0.0f ? 0.0f : width - 10.0f;
    if (key == 'w')
        return width + 10.0f;
    return width;
}
