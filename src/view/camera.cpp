#include "view/camera.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
// A drag across the whole view turns or tilts by four radians: near the middle of the view
// this is the rate the earlier arcball had, so the mouse feels the same.
constexpr double kOrbitRadiansPerView = 4.0;
// The tilt stops this far short of looking straight down or up.
constexpr double kTiltLimit = 89.0 * kPi / 180.0;

enum { MaxX = 0, MinX = 1, MaxY = 2, MinY = 3, MaxZ = 4, MinZ = 5 };

CameraVector add(const CameraVector& a, const CameraVector& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
CameraVector sub(const CameraVector& a, const CameraVector& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
CameraVector scale(const CameraVector& a, double s) {
    return {a[0] * s, a[1] * s, a[2] * s};
}
double dot(const CameraVector& a, const CameraVector& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
CameraVector cross(const CameraVector& a, const CameraVector& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double length(const CameraVector& a) {
    return std::sqrt(dot(a, a));
}
// The unit vector along a, or `fallback` when a has no usable length.
CameraVector unit(const CameraVector& a, const CameraVector& fallback) {
    const double n = length(a);
    if (!(n > 1e-300) || !std::isfinite(n))
        return fallback;
    return scale(a, 1.0 / n);
}
bool finite(const CameraVector& a) {
    return std::isfinite(a[0]) && std::isfinite(a[1]) && std::isfinite(a[2]);
}

// The eye's frame as gluLookAt builds it: forward, side (right on screen) and up on screen.
struct Basis {
    CameraVector forward;
    CameraVector side;
    CameraVector up;
};

Basis basisOf(const Camera& camera) {
    Basis b;
    b.forward = unit(sub(camera.target, camera.eye), {0.0, 0.0, -1.0});
    CameraVector side = cross(b.forward, camera.up);
    // An up vector along the line of sight says nothing; fall back to the top view's.
    if (length(side) < 1e-9) {
        const CameraVector screenUp =
            b.forward[1] < 0.0 ? CameraVector{0.0, 0.0, -1.0} : CameraVector{0.0, 0.0, 1.0};
        side = cross(b.forward, screenUp);
    }
    b.side = unit(side, {1.0, 0.0, 0.0});
    b.up = cross(b.side, b.forward);
    return b;
}

double aspectOf(int width, int height) {
    return width > 0 && height > 0 ? static_cast<double>(width) / height : 1.0;
}

double tanHalfFieldOfView() {
    return std::tan(kFieldOfView / 2.0 * kPi / 180.0);
}

float extent(const CameraBounds& b, int axis) {
    return b[2 * axis] - b[2 * axis + 1];
}

// Where the eye sits, seen from the target, and which way is up on screen for a preset.
struct PresetDirection {
    CameraVector back;
    CameraVector up;
};

PresetDirection presetDirection(CameraPreset preset) {
    switch (preset) {
        case CameraPreset::Top:
            return {{0.0, 1.0, 0.0}, {0.0, 0.0, -1.0}};
        case CameraPreset::Side:
            return {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}};
        case CameraPreset::Front:
        default:
            return {{0.0, 0.0, 1.0}, {0.0, 1.0, 0.0}};
    }
}

// How far a box of these extents reaches along a unit vector.
double reach(const CameraVector& v, double x, double y, double z) {
    return x * std::fabs(v[0]) + y * std::fabs(v[1]) + z * std::fabs(v[2]);
}

// The fitted distance for a box seen along the camera's line of sight: half its depth plus the
// larger of its width and height on screen (for a view along -z, Z/2 + max(X, Y)).
double fittedDistance(const Camera& camera, double x, double y, double z) {
    const Basis b = basisOf(camera);
    return reach(b.forward, x, y, z) / 2.0 + std::max(reach(b.side, x, y, z), reach(b.up, x, y, z));
}

// The camera's side of the target as an angle about the vertical axis (0 on +z, pi/2 on +x)
// and a height above the horizon, both in radians. The horizontal direction comes from the
// screen's right-hand side, which stays level, so it is defined in the top view too.
struct Turntable {
    double azimuth;
    double elevation;
};

Turntable turntableOf(const Camera& camera) {
    const CameraVector offset = sub(camera.eye, camera.target);
    const Basis b = basisOf(camera);
    const CameraVector level{b.side[0], 0.0, b.side[2]};
    const CameraVector flatOffset{offset[0], 0.0, offset[2]};
    CameraVector back = cross(unit(level, {0.0, 0.0, 0.0}), {0.0, 1.0, 0.0});
    if (length(back) < 0.5)
        back = unit(flatOffset, {0.0, 0.0, 1.0});  // a camera rolled on its side
    return {std::atan2(back[0], back[2]), std::atan2(offset[1], dot(offset, back))};
}

}  // namespace

void fitCameraPreset(Camera& camera, const CameraBounds& b, CameraPreset preset) {
    const float x = extent(b, 0);
    const float y = extent(b, 1);
    const float z = extent(b, 2);
    camera.nearPlane = std::min(x, std::min(y, z)) / 3.0f;
    camera.farTerm = 3.0f * std::max(x, std::max(y, z));
    // The figure is lifted so that its lowest point is at 0, so y / 2 is its middle as drawn.
    camera.target = {b[MinX] + x / 2.0f, y / 2.0f, b[MinZ] + z / 2.0f};
    const PresetDirection d = presetDirection(preset);
    camera.up = d.up;
    camera.orthographic = preset == CameraPreset::Top;
    camera.eye = add(camera.target, d.back);  // the side the fitted distance is measured from
    const double distance = fittedDistance(camera, x, y, z);
    camera.eye = add(camera.target, scale(d.back, distance));
    // A motionless single point has no extent at all and would put the eye on the target;
    // stand back as far as the camera of an empty view does instead.
    if (!(distance > 0.0) || camera.eye == camera.target) {
        camera.eye = add(camera.target, scale(d.back, 100.0));
        camera.farTerm = 1000.0;
    }
}

void fitCamera(Camera& camera, const CameraBounds& b) {
    // A single point has no longer side: it is seen from +z, as the empty view is.
    const bool alongX = extent(b, 0) > extent(b, 2) ||
                        (extent(b, 0) == 0.0f && extent(b, 1) == 0.0f && extent(b, 2) == 0.0f);
    fitCameraPreset(camera, b, alongX ? CameraPreset::Front : CameraPreset::Side);
}

void frameCameraOn(Camera& camera, const CameraBounds& b) {
    const float x = extent(b, 0);
    const float y = extent(b, 1);
    const float z = extent(b, 2);
    const CameraVector target{b[MinX] + x / 2.0f, y / 2.0f, b[MinZ] + z / 2.0f};
    const CameraVector back = scale(basisOf(camera).forward, -1.0);
    const double distance = fittedDistance(camera, x, y, z);
    if (!finite(target) || !(distance > 0.0) || !std::isfinite(distance))
        return;  // nothing to frame: the view stays as it was
    camera.nearPlane = std::min(x, std::min(y, z)) / 3.0f;
    camera.farTerm = 3.0f * std::max(x, std::max(y, z));
    camera.target = target;
    camera.eye = add(target, scale(back, distance));
}

void turnCameraToPreset(Camera& camera, CameraPreset preset) {
    const PresetDirection d = presetDirection(preset);
    camera.orthographic = preset == CameraPreset::Top;
    const double distance = length(sub(camera.eye, camera.target));
    camera.eye = add(camera.target, scale(d.back, distance > 0.0 ? distance : 100.0));
    camera.up = d.up;
}

void placeEyeForExtents(Camera& camera, float xExtent, float yExtent, float zExtent) {
    const double distance = fittedDistance(camera, xExtent, yExtent, zExtent);
    if (!(distance > 0.0) || !std::isfinite(distance))
        return;  // a pose without extent: keep the distance the user had
    const CameraVector back = scale(basisOf(camera).forward, -1.0);
    const CameraVector eye = add(camera.target, scale(back, distance));
    if (eye != camera.target)
        camera.eye = eye;
}

void trackCamera(Camera& camera, const CameraBounds& poseBounds, double pathX, double pathZ) {
    const float x = extent(poseBounds, 0);
    const float y = extent(poseBounds, 1);
    const float z = extent(poseBounds, 2);
    camera.nearPlane = std::min(x, std::min(y, z)) / 3.0f;
    camera.farTerm = 10.0f * std::max(x, std::max(y, z));
    const CameraVector shift{pathX - camera.target[0], 0.0, pathZ - camera.target[2]};
    if (!finite(shift))
        return;
    camera.target = add(camera.target, shift);
    camera.eye = add(camera.eye, shift);
}

void orbitCamera(Camera& camera, const Camera& start, int dx, int dy, int width, int height) {
    const Turntable from = turntableOf(start);
    camera.orthographic = false;
    const double turn = kOrbitRadiansPerView * dx / std::max(width, 1);
    const double tilt = kOrbitRadiansPerView * dy / std::max(height, 1);
    // A start beyond the limit (the top view looks straight down) may stay there, not jump.
    const double highest = std::max(kTiltLimit, from.elevation);
    const double lowest = std::min(-kTiltLimit, from.elevation);
    const double elevation = std::clamp(from.elevation + tilt, lowest, highest);
    // Turning the camera one way about the vertical turns the scene the other way.
    const double azimuth = from.azimuth - turn;
    const CameraVector back{std::sin(azimuth), 0.0, std::cos(azimuth)};
    const CameraVector vertical{0.0, 1.0, 0.0};
    const CameraVector toEye =
        add(scale(back, std::cos(elevation)), scale(vertical, std::sin(elevation)));
    double distance = length(sub(camera.eye, camera.target));
    if (!(distance > 0.0))
        distance = length(sub(start.eye, start.target));
    camera.eye = add(camera.target, scale(toEye, distance));
    camera.up = add(scale(back, -std::sin(elevation)), scale(vertical, std::cos(elevation)));
}

double dragZoomFactor(int dx, int dy) {
    return std::pow(kDragZoomPerPixel, static_cast<double>(dx) - static_cast<double>(dy));
}

void scaleCameraDistance(Camera& camera, double factor) {
    if (!(factor > 0.0) || !std::isfinite(factor))
        return;
    const CameraVector eye = add(camera.target, scale(sub(camera.eye, camera.target), factor));
    if (eye != camera.target && finite(eye))
        camera.eye = eye;
}

void panCamera(Camera& camera, int fromX, int fromY, int toX, int toY, int width, int height) {
    const Basis b = basisOf(camera);
    const double depth = dot(sub(camera.target, camera.eye), b.forward);
    // The point at the target's depth along each pixel's ray.
    auto atTargetDepth = [&](int px, int py) {
        const CameraRay ray = pixelRay(camera, px, py, width, height);
        const double along = depth - dot(sub(ray.origin, camera.eye), b.forward);
        return add(ray.origin, scale(ray.direction, along / dot(ray.direction, b.forward)));
    };
    const CameraVector shift = sub(atTargetDepth(fromX, fromY), atTargetDepth(toX, toY));
    if (!finite(shift))
        return;
    camera.eye = add(camera.eye, shift);
    camera.target = add(camera.target, shift);
}

double farPlane(const Camera& camera) {
    const double distance = length(sub(camera.eye, camera.target));
    const double far =
        std::max({std::fabs(camera.eye[0]), std::fabs(camera.eye[2]), distance}) + camera.farTerm;
    // A degenerate motion (a single point at the origin) would give no depth range at all.
    return far > 0.0 && std::isfinite(far) ? far : 1000.0;
}

double usableNearPlane(const Camera& camera) {
    const double far = farPlane(camera);
    // A near plane closer than a thousandth of the far one leaves the depth buffer no
    // precision (a pose flat up to rounding gives 1e-9), and the ground then covers the figure.
    if (camera.nearPlane < far)
        return std::max(camera.nearPlane, far / 1000.0);
    return far / 1000.0;
}

CameraMatrix viewMatrix(const Camera& camera) {
    const Basis b = basisOf(camera);
    const CameraVector& s = b.side;
    const CameraVector& u = b.up;
    const CameraVector& f = b.forward;
    const CameraVector& e = camera.eye;
    return {s[0], u[0], -f[0], 0.0, s[1],       u[1],       -f[1],     0.0,
            s[2], u[2], -f[2], 0.0, -dot(s, e), -dot(u, e), dot(f, e), 1.0};
}

double orthographicHalfHeight(const Camera& camera) {
    const double half = length(sub(camera.eye, camera.target)) * tanHalfFieldOfView();
    return half > 0.0 && std::isfinite(half) ? half : 1.0;
}

double worldPerPixel(const Camera& camera, const CameraVector& point, int height) {
    const double h = height > 0 ? height : 1.0;
    if (camera.orthographic)
        return 2.0 * orthographicHalfHeight(camera) / h;
    const double depth = dot(sub(point, camera.eye), basisOf(camera).forward);
    return depth > 0.0 ? 2.0 * depth * tanHalfFieldOfView() / h : 0.0;
}

CameraMatrix projectionMatrix(const Camera& camera, int width, int height) {
    const double near = usableNearPlane(camera);
    const double far = farPlane(camera);
    if (camera.orthographic) {
        const double halfHeight = orthographicHalfHeight(camera);
        CameraMatrix m{};
        m[0] = 1.0 / (halfHeight * aspectOf(width, height));
        m[5] = 1.0 / halfHeight;
        m[10] = -2.0 / (far - near);
        m[14] = -(far + near) / (far - near);
        m[15] = 1.0;
        return m;
    }
    const double radians = kFieldOfView / 2.0 * kPi / 180.0;
    const double cotangent = std::cos(radians) / std::sin(radians);
    const double depth = far - near;
    CameraMatrix m{};
    m[0] = cotangent / aspectOf(width, height);
    m[5] = cotangent;
    m[10] = -(far + near) / depth;
    m[11] = -1.0;
    m[14] = -2.0 * near * far / depth;
    return m;
}

CameraRay pixelRay(const Camera& camera, double px, double py, int width, int height) {
    const Basis b = basisOf(camera);
    const double w = width > 0 ? width : 1.0;
    const double h = height > 0 ? height : 1.0;
    const double t = tanHalfFieldOfView();
    const double nx = 2.0 * px / w - 1.0;
    const double ny = 1.0 - 2.0 * py / h;
    if (camera.orthographic) {
        const double halfHeight = orthographicHalfHeight(camera);
        const CameraVector across = add(scale(b.side, nx * halfHeight * aspectOf(width, height)),
                                        scale(b.up, ny * halfHeight));
        return {add(camera.eye, add(across, scale(b.forward, usableNearPlane(camera)))), b.forward};
    }
    // One unit along the line of sight, so that `near` of it ends on the near plane.
    const CameraVector along =
        add(b.forward, add(scale(b.side, nx * t * aspectOf(width, height)), scale(b.up, ny * t)));
    return {add(camera.eye, scale(along, usableNearPlane(camera))), unit(along, b.forward)};
}

std::optional<std::array<double, 2>> projectToPixel(const Camera& camera, const CameraVector& point,
                                                    int width, int height) {
    const Basis b = basisOf(camera);
    const CameraVector d = sub(point, camera.eye);
    const double depth = dot(d, b.forward);
    if (!(depth > 0.0))
        return std::nullopt;
    // Orthographic: every depth is seen as the perspective sees the target's.
    const double scaleDepth = camera.orthographic ? 1.0 : depth;
    const double t = camera.orthographic ? orthographicHalfHeight(camera) : tanHalfFieldOfView();
    const double nx = dot(d, b.side) / (scaleDepth * t * aspectOf(width, height));
    const double ny = dot(d, b.up) / (scaleDepth * t);
    const double w = width > 0 ? width : 1.0;
    const double h = height > 0 ? height : 1.0;
    const std::array<double, 2> pixel{(nx + 1.0) * w / 2.0, (1.0 - ny) * h / 2.0};
    if (!std::isfinite(pixel[0]) || !std::isfinite(pixel[1]))
        return std::nullopt;
    return pixel;
}
