#include "editing/control_curve.h"

// The B-spline entries are the decimals 0.1667 and 0.6667, not 1/6 and 2/3: a fitted motion's
// curve never uses this basis, and a new curve keeps the established values (weights at u = 0
// add up to 1.0001).
const SplineBasis kBSplineBasis = {{
    {-0.1667, 0.5, -0.5, 0.1667},
    {0.5, -1.0, 0.5, 0.0},
    {-0.5, 0.0, 0.5, 0.0},
    {0.1667, 0.6667, 0.1667, 0.0},
}};

const SplineBasis kCatmullRomBasis = {{
    {-0.5, 1.5, -1.5, 0.5},
    {1.0, -2.5, 2.0, -0.5},
    {-0.5, 0.0, 0.5, 0.0},
    {0.0, 1.0, 0.0, 0.0},
}};
