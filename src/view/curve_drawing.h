#pragma once

#include <array>
#include <vector>

#include "editing/control_curve.h"
#include "view/camera.h"

// What the control points show beside their place: per point the share of a drag from the
// focus (the point under the cursor or the dragged one) it would follow, empty without a focus;
// per point whether it is selected (may be empty); the point under the cursor, -1 for none.
struct ControlPointMarks {
    std::vector<float> weights;
    std::vector<char> selected;
    int hovered = -1;
};

// The view the control points are drawn in: their cubes keep one size on screen.
struct ControlPointView {
    Camera camera;
    int width = 1;
    int height = 1;
};

// The colour (r, g, b) of control point i: green for the points a drag from the focus moves
// whole, fading to blue with their weight, so the points a drag would move stand out; yellow for
// a selected point the drag would not move; blue otherwise.
std::array<float, 3> controlPointColour(const ControlPointMarks& marks, int i);

// The edge of a control point's cube on screen, in pixels: a 125th of the view's height (6 in
// the window's view), never below 5, so the cubes grow with the window but not with the scene,
// and the 58 points of a two-minute capture at 120 fps stay apart seen from its side.
double controlPointPixels(int viewHeight);
// Half the edge, in world units, of the cube at a point, for it to be controlPointPixels wide
// on screen (what is drawn is what picking hits); 0 for a point behind the eye.
double controlPointHalfEdge(const ControlPointView& view, const CameraVector& point);

// The colour of the path where the edited motion travels `ratio` times as fast as the capture:
// white within 5% either way; beyond, towards red for faster (full at twice the speed) and
// towards blue for slower (full at half), evenly in the ratio's logarithm.
std::array<float, 3> pathSpeedColour(float ratio);
// The falloff's reach: a ring of the radius on the ground (just above it) around a point.
void drawFalloffRing(const CurvePoint& centre, double radius, double lift);
