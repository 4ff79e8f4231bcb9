#include "motion/quaternion.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kHalfDegreeInRadians = 0.008726646111111111;      // 3.1415926 / 360
constexpr double kRadiansToDegrees = 180.0 * 0.31830989161357204;  // 180 / 3.1415926
}  // namespace

Quat axisRotation(float degrees, int axis) {
    if (axis < 0 || axis > 2) {
        return Quat{};
    }
    const double half = degrees * kHalfDegreeInRadians;
    const float s = static_cast<float>(std::sin(half));
    Quat q;
    q.w = static_cast<float>(std::cos(half));
    q.x = axis == 0 ? s : 0.0f;
    q.y = axis == 1 ? s : 0.0f;
    q.z = axis == 2 ? s : 0.0f;
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

std::array<float, 3> toEuler(const Quat& q) {
    const double w = q.w;
    const double x = q.x;
    const double y = q.y;
    const double z = q.z;
    const double ex = std::atan2(2.0 * (w * x + y * z), w * w - x * x - y * y + z * z);
    // Rounding can push the sine a hair past 1 at a pitch of 90 degrees, where asin gives NaN.
    const double ey = std::asin(std::clamp(2.0 * (w * y - x * z), -1.0, 1.0));
    const double ez = std::atan2(2.0 * (w * z + x * y), w * w + x * x - y * y - z * z);
    return {static_cast<float>(ex * kRadiansToDegrees), static_cast<float>(ey * kRadiansToDegrees),
            static_cast<float>(ez * kRadiansToDegrees)};
}
