#pragma once

#include <array>

// A rotation as a unit quaternion, four floats in the order w, x, y, z (the bake's layout).
struct Quat {
    float w = 1.0f;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Rotation by angle degrees about axis 0 (x), 1 (y) or 2 (z); the identity for any other axis.
Quat axisRotation(float degrees, int axis);
// Hamilton product a * b: the rotation b followed, in the parent's frame, by a.
Quat product(const Quat& a, const Quat& b);
// Degrees (ex, ey, ez) with R = Rz(ez) * Ry(ey) * Rx(ex).
std::array<float, 3> toEuler(const Quat& q);
