#include "view/arcball.h"

#include <cmath>

namespace {

std::array<float, 3> spherePoint(float nx, float ny) {
    const float d = nx * nx + ny * ny;
    if (d > 1.0f) {
        const float len = std::sqrt(d);
        return {nx / len, ny / len, 0.0f};
    }
    return {nx, ny, std::sqrt(1.0f - d)};
}

}  // namespace

Quaternion multiply(const Quaternion& a, const Quaternion& b) {
    Quaternion q;
    q.x = a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y;
    q.y = a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x;
    q.z = a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w;
    q.w = a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z;
    return q;
}

std::array<float, 2> normalisePixel(double px, double py, int vw, int vh) {
    return {static_cast<float>(2.0 * px / vw - 1.0),
            static_cast<float>(2.0 * (vh - py) / vh - 1.0)};
}

void Arcball::begin(float nx, float ny) {
    committed_ = multiply(drag_, committed_);
    drag_ = Quaternion();
    start_ = {nx, ny};
}

void Arcball::dragTo(float nx, float ny) {
    const std::array<float, 3> a = spherePoint(start_[0], start_[1]);
    const std::array<float, 3> b = spherePoint(nx, ny);
    drag_.x = a[1] * b[2] - a[2] * b[1];
    drag_.y = a[2] * b[0] - a[0] * b[2];
    drag_.z = a[0] * b[1] - a[1] * b[0];
    drag_.w = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

std::array<float, 16> Arcball::matrix() const {
    const Quaternion q = multiply(drag_, committed_);
    const float norm = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    const float s = norm > 0.0f ? 2.0f / norm : 0.0f;
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    return {1 - s * (y * y + z * z),
            s * (x * y + w * z),
            s * (x * z - w * y),
            0,
            s * (x * y - w * z),
            1 - s * (x * x + z * z),
            s * (y * z + w * x),
            0,
            s * (x * z + w * y),
            s * (y * z - w * x),
            1 - s * (x * x + y * y),
            0,
            0,
            0,
            0,
            1};
}
