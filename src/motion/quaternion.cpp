#include "motion/quaternion.h"

#include <cmath>

namespace {

// The pose turns a channel's degrees into radians with the true pi, so the bake does too: a
// turn is then exactly 360 degrees, and what is written is what is drawn.
constexpr double kDegreesToRadians = M_PI / 180.0;
constexpr double kRadiansToDegrees = 180.0 / M_PI;
// Rotations closer than this many radians are one rotation for the file: half of what writing
// one angle to four decimals (5e-5 degrees) can change. An unedited save's heading is rounding
// noise of the float tangents, below 1e-7.
constexpr double kSameRotation = 0.5 * 5e-5 * kDegreesToRadians;
// Below this cosine of the middle angle the first and last angles read from the matrix carry
// more error (about 2e-16 / cosine radians) than treating the rotation as gimbal-locked does
// (about cosine * pi): the two meet near 1e-8.
constexpr double kGimbalLock = 1e-8;

using Matrix = std::array<std::array<double, 3>, 3>;

Quat normalized(const Quat& q) {
    const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    return Quat{q.w / n, q.x / n, q.y / n, q.z / n};
}

// Row-major: m[row][column], acting on column vectors.
Matrix matrixOf(const Quat& q) {
    const double w = q.w;
    const double x = q.x;
    const double y = q.y;
    const double z = q.z;
    return {{{1.0 - 2.0 * (y * y + z * z), 2.0 * (x * y - w * z), 2.0 * (x * z + w * y)},
             {2.0 * (x * y + w * z), 1.0 - 2.0 * (x * x + z * z), 2.0 * (y * z - w * x)},
             {2.0 * (x * z - w * y), 2.0 * (y * z + w * x), 1.0 - 2.0 * (x * x + y * y)}}};
}

double axisPart(const Quat& q, int axis) {
    return axis == 0 ? q.x : axis == 1 ? q.y : q.z;
}

Quat compose(const RotationOrder& order, const std::array<double, 3>& degrees) {
    return product(product(axisRotation(degrees[0], order[0]), axisRotation(degrees[1], order[1])),
                   axisRotation(degrees[2], order[2]));
}

// The angle in radians of the turn from one unit quaternion's rotation to the other's; from the
// chord between them rather than their dot product, which is flat where the angle is small.
double rotationDistance(const Quat& a, const Quat& b) {
    const double dot = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    const double sign = dot < 0.0 ? -1.0 : 1.0;
    const double dw = a.w - sign * b.w;
    const double dx = a.x - sign * b.x;
    const double dy = a.y - sign * b.y;
    const double dz = a.z - sign * b.z;
    const double chord = std::sqrt(dw * dw + dx * dx + dy * dy + dz * dz);
    return 4.0 * std::asin(std::fmin(1.0, 0.5 * chord));
}

double wrapNear(double degrees, double near) {
    return near + std::remainder(degrees - near, 360.0);
}

double squaredDistance(const std::array<double, 3>& a, const std::array<double, 3>& b) {
    return (a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
           (a[2] - b[2]) * (a[2] - b[2]);
}

bool namesThreeAxes(const RotationOrder& order) {
    for (int axis : order) {
        if (axis < 0 || axis > 2) {
            return false;
        }
    }
    return order[0] != order[1] && order[1] != order[2] && order[0] != order[2];
}

}  // namespace

Quat axisRotation(double degrees, int axis) {
    if (axis < 0 || axis > 2) {
        return Quat{};
    }
    const double half = 0.5 * degrees * kDegreesToRadians;
    const double s = std::sin(half);
    Quat q;
    q.w = std::cos(half);
    q.x = axis == 0 ? s : 0.0;
    q.y = axis == 1 ? s : 0.0;
    q.z = axis == 2 ? s : 0.0;
    return q;
}

Quat product(const Quat& a, const Quat& b) {
    Quat q;
    q.w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
    q.x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
    q.y = a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x;
    q.z = a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w;
    return q;
}

Quat slerp(const Quat& a, const Quat& b, double share) {
    double dot = a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z;
    // q and -q are one rotation: the nearer of the two keeps to the shorter arc.
    const double sign = dot < 0.0 ? -1.0 : 1.0;
    dot = std::fmin(1.0, std::fabs(dot));
    const double angle = std::acos(dot);
    double wa = 1.0 - share;
    double wb = share;
    // Close rotations blend linearly (then normalized), where the sine below loses its digits.
    if (angle > 1e-6) {
        wa = std::sin((1.0 - share) * angle) / std::sin(angle);
        wb = std::sin(share * angle) / std::sin(angle);
    }
    wb *= sign;
    return normalized(
        Quat{wa * a.w + wb * b.w, wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z});
}

// Shepperd's method: from the largest of the four diagonal combinations, which keeps the
// division well away from zero.
Quat quaternionOf(const Matrix& m) {
    const double trace = m[0][0] + m[1][1] + m[2][2];
    Quat q;
    if (trace >= m[0][0] && trace >= m[1][1] && trace >= m[2][2]) {
        const double r = std::sqrt(1.0 + trace);
        q = {0.5 * r, (m[2][1] - m[1][2]) / (2.0 * r), (m[0][2] - m[2][0]) / (2.0 * r),
             (m[1][0] - m[0][1]) / (2.0 * r)};
    } else if (m[0][0] >= m[1][1] && m[0][0] >= m[2][2]) {
        const double r = std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]);
        q = {(m[2][1] - m[1][2]) / (2.0 * r), 0.5 * r, (m[0][1] + m[1][0]) / (2.0 * r),
             (m[0][2] + m[2][0]) / (2.0 * r)};
    } else if (m[1][1] >= m[2][2]) {
        const double r = std::sqrt(1.0 - m[0][0] + m[1][1] - m[2][2]);
        q = {(m[0][2] - m[2][0]) / (2.0 * r), (m[0][1] + m[1][0]) / (2.0 * r), 0.5 * r,
             (m[1][2] + m[2][1]) / (2.0 * r)};
    } else {
        const double r = std::sqrt(1.0 - m[0][0] - m[1][1] + m[2][2]);
        q = {(m[1][0] - m[0][1]) / (2.0 * r), (m[0][2] + m[2][0]) / (2.0 * r),
             (m[1][2] + m[2][1]) / (2.0 * r), 0.5 * r};
    }
    return normalized(q);
}

Matrix rotationMatrix(const Quat& q) {
    return matrixOf(normalized(q));
}

bool describes(const Quat& q, const RotationOrder& order, const std::array<double, 3>& degrees) {
    return rotationDistance(normalized(compose(order, degrees)), normalized(q)) < kSameRotation;
}

// With i, j, k the order's axes and e = +1 when they run cyclically (x y z, y z x, z x y), the
// matrix holds sin(a1) = e r[i][k], cos(a1) r[j][k] = -e sin(a0), cos(a1) r[k][k] = cos(a0),
// cos(a1) r[i][j] = -e sin(a2) and cos(a1) r[i][i] = cos(a2); the other exact triple is
// (a0 + 180, 180 - a1, a2 + 180). Near cos(a1) = 0 the first and last angles are
// ill-conditioned: a turn far below the writer's rounding (an unedited save's heading noise)
// moves them by more than the rounding, so near itself is kept whenever it gives the rotation.
// Where cos(a1) vanishes (gimbal lock) only a0 + s a2 is fixed, with s = e sign(a1), and the
// member of that family nearest to near shares the free part out evenly.
std::optional<std::array<double, 3>> toEuler(const Quat& q, const RotationOrder& order,
                                             const std::array<double, 3>& near) {
    if (!namesThreeAxes(order)) {
        return std::nullopt;
    }
    std::array<double, 3> target{};
    for (std::size_t n = 0; n < 3; ++n) {
        target[n] = std::isfinite(near[n]) ? near[n] : 0.0;
    }
    if (describes(q, order, target)) {
        return target;
    }
    const Quat u = normalized(q);
    const std::size_t i = static_cast<std::size_t>(order[0]);
    const std::size_t j = static_cast<std::size_t>(order[1]);
    const std::size_t k = static_cast<std::size_t>(order[2]);
    const double e = j == (i + 1) % 3 ? 1.0 : -1.0;
    const Matrix r = matrixOf(u);
    const double cosine = std::hypot(r[i][i], r[i][j]);
    const double middle = std::atan2(e * r[i][k], cosine) * kRadiansToDegrees;
    if (cosine < kGimbalLock) {
        // Taking the middle turn off leaves a turn about the first axis by a0 + s a2.
        const double s = middle < 0.0 ? -e : e;
        const Quat first = product(u, axisRotation(-middle, order[1]));
        const double sum = 2.0 * std::atan2(axisPart(first, order[0]), first.w) * kRadiansToDegrees;
        const double share = std::remainder(sum - (target[0] + s * target[2]), 360.0);
        return std::array<double, 3>{target[0] + 0.5 * share, wrapNear(middle, target[1]),
                                     target[2] + s * 0.5 * share};
    }
    const std::array<double, 3> exact = {std::atan2(-e * r[j][k], r[k][k]) * kRadiansToDegrees,
                                         middle,
                                         std::atan2(-e * r[i][j], r[i][i]) * kRadiansToDegrees};
    const std::array<double, 3> other = {exact[0] + 180.0, 180.0 - exact[1], exact[2] + 180.0};
    std::array<double, 3> best{};
    double bestDistance = HUGE_VAL;
    for (const std::array<double, 3>& candidate : {exact, other}) {
        std::array<double, 3> wrapped{};
        for (std::size_t n = 0; n < 3; ++n) {
            wrapped[n] = wrapNear(candidate[n], target[n]);
        }
        const double d = squaredDistance(wrapped, target);
        if (d < bestDistance) {
            best = wrapped;
            bestDistance = d;
        }
    }
    return best;
}
