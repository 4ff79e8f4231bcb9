#pragma once

#include <array>
#include <optional>

// A point or a direction in world space, in the loaded motion's units.
using CameraVector = std::array<double, 3>;

// The view's camera: the eye looks at the target, `up` tells which way is up on screen (it need
// not be perpendicular to the line of sight, as with gluLookAt). The projection is a 60 degree
// vertical perspective, or an orthographic one showing at every depth what the perspective
// shows at the target's. `farTerm` is not a distance: see farPlane.
struct Camera {
    CameraVector eye{0.0, 2.0, 100.0};
    CameraVector target{0.0, 0.0, 0.0};
    CameraVector up{0.0, 1.0, 0.0};
    double nearPlane = 1.0;
    double farTerm = 1000.0;
    bool orthographic = false;
};

// Six floats max x, min x, max y, min y, max z, min z (the motion's bounds layout).
using CameraBounds = std::array<float, 6>;

// The share of the eye's distance that one pixel of middle-button drag keeps: about 21 pixels
// make one wheel notch (0.9), and a drag of 300 pixels comes four and a half times closer.
constexpr double kDragZoomPerPixel = 0.995;

// The vertical field of view in degrees.
constexpr double kFieldOfView = 60.0;

// The fitted views a user can ask for: looking down -y with -z up on screen, along -z from +z,
// and along -x from +x (both with +y up).
enum class CameraPreset { Top, Front, Side };

// Fits the camera to a motion's (unlifted) bounds: the target at the middle of the lifted box,
// the eye on +z for a motion longer along x, otherwise on +x; +y up.
void fitCamera(Camera& camera, const CameraBounds& motionBounds);

// Fits the camera to a motion's bounds looking from the preset's side, as fitCamera does; the
// top view is orthographic (the view for editing the path), the others perspective.
void fitCameraPreset(Camera& camera, const CameraBounds& motionBounds, CameraPreset preset);

// Keeps the line of sight and the projection and fits the view to a box (unlifted bounds, as
// fitCamera takes): the target at its middle, the eye as far as fitCamera would put it.
void frameCameraOn(Camera& camera, const CameraBounds& box);

// Turns the camera to look from the preset's side at its target, keeping the distance; the top
// view is orthographic.
void turnCameraToPreset(Camera& camera, CameraPreset preset);

// Keeps the line of sight and puts the eye as far from the target as fitCamera would for a box
// of these extents seen from this side.
void placeEyeForExtents(Camera& camera, float xExtent, float yExtent, float zExtent);

// Track Motion: near/far from the pose's extents; target x/z moved onto the path point (pathX,
// pathZ) with the eye moving along, so the line of sight and the distance stay.
void trackCamera(Camera& camera, const CameraBounds& poseBounds, double pathX, double pathZ);

// Turntable orbit for a drag of (dx, dy) pixels in a width x height view, starting from the
// camera `start`: a drag to the right turns the scene about the world's vertical axis through
// the target, a drag downwards raises the eye (tilting the ground towards it) and never past
// 89 degrees above or below the horizon (unless the start already was, as in the top view).
// The camera keeps its own target and distance; only the side it looks from changes, and an
// orthographic view becomes a perspective one.
void orbitCamera(Camera& camera, const Camera& start, int dx, int dy, int width, int height);

// The distance factor of a middle-button drag of (dx, dy) pixels, y down: right and up bring
// the eye closer, left and down take it away, by the same share of the distance per pixel at
// every scale. Pass it to scaleCameraDistance.
double dragZoomFactor(int dx, int dy);

// Multiplies the eye's distance from the target by `factor` (> 0) along the line of sight; the
// eye never reaches the target.
void scaleCameraDistance(Camera& camera, double factor);

// Pans in the view plane so that the point at the target's depth under pixel (fromX, fromY)
// comes under (toX, toY). Pixels are window pixels of a width x height view, y down.
void panCamera(Camera& camera, int fromX, int fromY, int toX, int toY, int width, int height);

// The far clipping distance passed to the projection: the farther of the eye's distance from
// the target and its largest horizontal coordinate, plus farTerm.
double farPlane(const Camera& camera);

// The near clipping distance passed to the projection: nearPlane, but never closer than a
// thousandth of the far plane (a flat or motionless motion gives 0, which no projection takes),
// nor beyond the far plane.
double usableNearPlane(const Camera& camera);

// Column-major 4x4 matrices as glLoadMatrixd takes them: the look-at of gluLookAt, and the
// perspective of gluPerspective with kFieldOfView, aspect width / height and the near and far
// planes above (or, orthographic, glOrtho of the height orthographicHalfHeight either side).
using CameraMatrix = std::array<double, 16>;
CameraMatrix viewMatrix(const Camera& camera);
CameraMatrix projectionMatrix(const Camera& camera, int width, int height);

// Half the height of the world an orthographic camera shows: what the perspective shows at
// the target's distance.
double orthographicHalfHeight(const Camera& camera);

// The world length one pixel of a view `height` pixels high covers at the point (across the
// line of sight); 0 for a point level with or behind the eye in a perspective view.
double worldPerPixel(const Camera& camera, const CameraVector& point, int height);

// A ray in world space: from a point on the near plane, along a unit direction away from the
// eye (the line of sight itself in an orthographic view).
struct CameraRay {
    CameraVector origin;
    CameraVector direction;
};

// The world ray through window pixel (px, py) of a width x height view, y growing downwards
// (the same pixel convention as gluUnProject at (px, height - py)).
CameraRay pixelRay(const Camera& camera, double px, double py, int width, int height);

// The window pixel (x, y down) where a world point appears in a width x height view; none for
// a point level with or behind the eye. Points outside the view give pixels outside it.
std::optional<std::array<double, 2>> projectToPixel(const Camera& camera, const CameraVector& point,
                                                    int width, int height);
