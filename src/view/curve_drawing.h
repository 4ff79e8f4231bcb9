#pragma once

#include <array>
#include <vector>

#include "editing/control_curve.h"
#include "editing/root_path.h"

// The colour (r, g, b) of control point i: green for the focus point (the selected one, or the
// one under the cursor when given); fading from green to blue over the falloff radius around
// it, so the points a drag would move stand out; blue with no focus.
std::array<float, 3> controlPointColour(const ControlCurve& curve, int i, int focus = -1);

// The curve as a white line strip at its height (t = 0, 0.0005, ... below 1), then its
// control points.
void drawCurve(const ControlCurve& curve, int focus = -1);
// Half the edge of a control point's cube: a fifth of the path's height above the ground (what
// is drawn is what picking hits).
double controlPointHalfEdge(const ControlCurve& curve);
// Each control point as a cube of half-edge controlPointHalfEdge, coloured by
// controlPointColour.
void drawControlPoints(const ControlCurve& curve, int focus = -1);
// The colour of the path where the edited motion travels `ratio` times as fast as the capture:
// white within 5% either way; beyond, towards red for faster (full at twice the speed) and
// towards blue for slower (full at half), evenly in the ratio's logarithm.
std::array<float, 3> pathSpeedColour(float ratio);

// Draws the path's curve; nothing before it was fitted (a motion is fitted when it is prepared).
// With `speeds` (PathEdit::pathSpeed, one per captured frame) each stretch of the curve takes the
// pathSpeedColour of the frame it places there.
void drawPath(const RootPath& path, int focus = -1, const std::vector<float>* speeds = nullptr);
