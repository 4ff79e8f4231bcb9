#pragma once

#include <vector>

#include "editing/control_curve.h"
#include "view/camera.h"

// The control point whose cube is under window pixel (px, py) of a width x height view seen
// through the camera (y grows downwards), or -1 for none. A cube counts as under the cursor when
// the pixel lies within its outline on screen or within two pixels of it (the cursor's hot spot
// is not exact); where several cubes are, the one whose centre is nearest the pixel on screen
// wins, so on a dense path each click selects the cube it is centred on. Cubes behind the eye
// are never picked.
int controlPointUnder(const ControlCurve& curve, const Camera& camera, double px, double py,
                      int width, int height);

// The control points whose centres lie on screen inside the box with corners (x0, y0) and
// (x1, y1), given either way round, in index order; a point behind the eye never does.
std::vector<int> controlPointsInBox(const ControlCurve& curve, const Camera& camera, double x0,
                                    double y0, double x1, double y1, int width, int height);

// The falloff width after a q (narrower by 10, not below 0) or w (wider by 10) key; any other
// key leaves it.
float nextFalloffWidth(float width, int key);
