#pragma once

#include <array>

// Where the ray from `nearPoint` through `farPoint` (the cursor's ray, from the near plane
// outwards) meets the horizontal plane y = height. False when the ray runs parallel to the
// plane, meets it only before the near plane (the cursor points above the horizon, and the
// meeting point lies behind the eye or where nothing is drawn) or the result is not finite: a
// drag then moves nothing.
bool groundPoint(const std::array<double, 3>& nearPoint, const std::array<double, 3>& farPoint,
                 double height, double& x, double& z);
