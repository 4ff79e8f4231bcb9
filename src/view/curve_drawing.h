#pragma once

#include <array>

#include "editing/control_curve.h"
#include "editing/root_path.h"

// The colour (r, g, b) of control point i: green when selected; with another point selected,
// fading from green to blue over the falloff radius; blue with nothing selected.
std::array<float, 3> controlPointColour(const ControlCurve& curve, int i);

// The curve as a white line strip at its height (t = 0, 0.0005, ... below 1), then its
// control points. The same in ordinary and in pick passes.
void drawCurve(const ControlCurve& curve);
// Each control point as a cube of half-edge 0.2 x height, named by its index on a second level
// of the name stack (left pushed), which ends loaded with 0 so that what follows is drawn
// under [.., 0].
void drawControlPoints(const ControlCurve& curve);
// Draws the path's curve; nothing before it was fitted (a motion is fitted when it is prepared).
void drawPath(const RootPath& path);
