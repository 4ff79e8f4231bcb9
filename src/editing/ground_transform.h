#pragma once

#include "editing/control_curve.h"

// A move, turn or scale of points in the ground plane (display x and z): a shift by (dx, dz), a
// turn by `radians` about the pivot (positive turns +x towards -z, counter-clockwise seen from
// above, as the heading does), or a scale by `factor` about the pivot.
struct GroundTransform {
    enum Kind { Shift, Turn, Scale };
    Kind kind = Shift;
    double dx = 0.0;
    double dz = 0.0;
    double radians = 0.0;
    double factor = 1.0;
    CurvePoint pivot;

    static GroundTransform shift(double dx, double dz);
    static GroundTransform turn(double radians, CurvePoint pivot);
    static GroundTransform scale(double factor, CurvePoint pivot);

    // Where the transform takes p.
    CurvePoint apply(const CurvePoint& p) const;
    // Whether its numbers are all finite and a scale's factor is above 0 (a factor of 0 or
    // below would fold the path onto its pivot).
    bool usable() const;
};
