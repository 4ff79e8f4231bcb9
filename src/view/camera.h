#pragma once

#include <array>

// The view's camera: the eye looks at the target with +y up. All lengths are world units of
// the loaded motion. `farTerm` is not a distance: the projection's far plane is
// max(|eye x|, |eye z|) + farTerm (see farPlane).
struct Camera {
    std::array<float, 3> eye{0.0f, 2.0f, 100.0f};
    std::array<float, 3> target{0.0f, 0.0f, 0.0f};
    float nearPlane = 1.0f;
    float farTerm = 1000.0f;
};

// Six floats max x, min x, max y, min y, max z, min z (the motion's bounds layout).
using CameraBounds = std::array<float, 6>;

// One seventh as a float: the pixel-to-world step of zoom and pan.
constexpr float kCameraStep = 0.14285715f;

// Fits the camera to a motion's (unlifted) bounds: the target at the middle of the lifted box,
// the eye on +z for a motion longer along x, otherwise on +x.
void fitCamera(Camera& camera, const CameraBounds& motionBounds);

// Track Motion: near/far from the pose's extents, target x/z on the path point (pathX, pathZ),
// the eye placed from the motion's frame-0 extents; target y and eye y stay.
void trackCamera(Camera& camera, const CameraBounds& poseBounds, float width, float height,
                 float depth, double pathX, double pathZ);

// Middle-button zoom by dx pixels (positive brings the eye closer); the eye never reaches or
// passes the target on the axis it moves along.
void zoomCamera(Camera& camera, int dx);

// Alt + right-button pan by (dx, dy) pixels, y growing downwards.
void panCamera(Camera& camera, int dx, int dy);

// The far clipping distance passed to the projection.
float farPlane(const Camera& camera);

// The near clipping distance passed to the projection: nearPlane, or, when that is not
// positive (a flat or motionless motion), a thousandth of the far plane so the projection
// stays valid.
float usableNearPlane(const Camera& camera);
