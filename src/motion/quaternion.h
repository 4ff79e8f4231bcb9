#pragma once

#include <array>
#include <optional>

// A rotation as a unit quaternion, four doubles in the order w, x, y, z. Doubles, so that
// re-expressing a file's angles keeps their four decimals even where the decomposition is
// ill-conditioned (pitch near 90).
struct Quat {
    double w = 1.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// The axes (0 x, 1 y, 2 z) of three rotations applied in this order to the parent's frame, as
// the pose applies a joint's rotation channels: R = R(axes[0]) * R(axes[1]) * R(axes[2]).
using RotationOrder = std::array<int, 3>;

// Rotation by angle degrees about axis 0 (x), 1 (y) or 2 (z); the identity for any other axis.
Quat axisRotation(double degrees, int axis);
// Hamilton product a * b: the rotation b followed, in the parent's frame, by a.
Quat product(const Quat& a, const Quat& b);
// The rotation `share` of the way from a to b along the shorter arc between them (share 0 gives
// a, 1 gives b, up to sign).
Quat slerp(const Quat& a, const Quat& b, double share);
// The unit quaternion of a rotation matrix m[row][column] (acting on column vectors).
Quat quaternionOf(const std::array<std::array<double, 3>, 3>& m);
// The rotation matrix of a quaternion, m[row][column], acting on column vectors.
std::array<std::array<double, 3>, 3> rotationMatrix(const Quat& q);
// Whether the angles in that order give the rotation q, to within half of what writing one angle
// to four decimals can change: whether a file holding them says the same.
bool describes(const Quat& q, const RotationOrder& order, const std::array<double, 3>& degrees);
// Degrees (a0, a1, a2) with R(q) = R(order[0], a0) * R(order[1], a1) * R(order[2], a2). Of the
// triples that give this rotation (to within half of what writing one angle to four decimals
// can change) the one nearest to near is returned: near itself when it gives the rotation, each
// angle within 180 degrees of near's, and at gimbal lock the free sum or difference shared out
// closest to near. Empty when the order does not name three different axes.
std::optional<std::array<double, 3>> toEuler(const Quat& q, const RotationOrder& order,
                                             const std::array<double, 3>& near);
