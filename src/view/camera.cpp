#include "view/camera.h"

#include <algorithm>
#include <cmath>

namespace {

enum { MaxX = 0, MinX = 1, MaxY = 2, MinY = 3, MaxZ = 4, MinZ = 5 };

float extent(const CameraBounds& b, int axis) {
    return b[2 * axis] - b[2 * axis + 1];
}

float smallest(float a, float b, float c) {
    return std::min(a, std::min(b, c));
}
float largest(float a, float b, float c) {
    return std::max(a, std::max(b, c));
}

// The eye from a target and a motion's extents: off the box face on +z for a motion longer
// along x, on +x otherwise.
void placeEye(Camera& camera, float xExtent, float yExtent, float zExtent) {
    if (xExtent > zExtent) {
        camera.eye[0] = camera.target[0];
        camera.eye[2] = camera.target[2] + zExtent / 2.0f + std::max(xExtent, yExtent);
    } else {
        camera.eye[0] = camera.target[0] + xExtent / 2.0f + std::max(zExtent, yExtent);
        camera.eye[2] = camera.target[2];
    }
}

}  // namespace

void fitCamera(Camera& camera, const CameraBounds& b) {
    const float x = extent(b, 0);
    const float y = extent(b, 1);
    const float z = extent(b, 2);
    camera.nearPlane = smallest(x, y, z) / 3.0f;
    camera.farTerm = 3.0f * largest(x, y, z);
    // The figure is lifted so that its lowest point is at 0, so y / 2 is its middle as drawn.
    camera.target = {b[MinX] + x / 2.0f, y / 2.0f, b[MinZ] + z / 2.0f};
    camera.eye[1] = camera.target[1];
    placeEye(camera, x, y, z);
    // A motionless single point has no extent at all and would put the eye on the target;
    // stand back as far as the camera of an empty view does instead.
    if (camera.eye == camera.target) {
        camera.eye[2] += 100.0f;
        camera.farTerm = 1000.0f;
    }
}

void trackCamera(Camera& camera, const CameraBounds& poseBounds, float width, float height,
                 float depth, double pathX, double pathZ) {
    const float x = extent(poseBounds, 0);
    const float y = extent(poseBounds, 1);
    const float z = extent(poseBounds, 2);
    camera.nearPlane = smallest(x, y, z) / 3.0f;
    camera.farTerm = 10.0f * largest(x, y, z);
    camera.target[0] = static_cast<float>(pathX);
    camera.target[2] = static_cast<float>(pathZ);
    placeEye(camera, width, height, depth);
}

void zoomCamera(Camera& camera, int dx) {
    const float g = static_cast<float>(dx) * kCameraStep;
    const int axis = camera.eye[0] != camera.target[0] ? 0 : 2;
    float& eye = camera.eye[static_cast<std::size_t>(axis)];
    const float target = camera.target[static_cast<std::size_t>(axis)];
    const float before = eye;
    if (eye >= target) {
        eye -= g;
        if (eye <= target)
            eye = before;
    } else {
        eye += g;
        if (eye >= target)
            eye = before;
    }
}

void panCamera(Camera& camera, int dx, int dy) {
    camera.target[1] += static_cast<float>(dy) * kCameraStep;
    camera.eye[1] = camera.target[1];
    if (camera.eye[0] == camera.target[0]) {
        camera.target[0] += static_cast<float>(dx) * kCameraStep;
        camera.eye[0] = camera.target[0];
    } else {
        camera.target[2] += static_cast<float>(dx) * kCameraStep;
        camera.eye[2] = camera.target[2];
    }
}

float farPlane(const Camera& camera) {
    const float far = std::max(std::fabs(camera.eye[0]), std::fabs(camera.eye[2])) + camera.farTerm;
    // A degenerate motion (a single point at the origin) would give no depth range at all.
    return far > 0.0f && std::isfinite(far) ? far : 1000.0f;
}

float usableNearPlane(const Camera& camera) {
    const float far = farPlane(camera);
    if (camera.nearPlane > 0.0f && camera.nearPlane < far)
        return camera.nearPlane;
    return far / 1000.0f;
}
