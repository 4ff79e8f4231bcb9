#pragma once

#include <array>

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
// Draws the path's curve; nothing before it was fitted (a motion is fitted when it is prepared).
void drawPath(const RootPath& path, int focus = -1);
