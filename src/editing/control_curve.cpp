#include "editing/control_curve.h"

#include <cmath>
#include <cstdio>

ControlCurve::ControlCurve() = default;
ControlCurve::~ControlCurve() = default;

int ControlCurve::setPoint(CurvePoint point, int index) {
    if (index < 0) {
        std::printf("You cannot set a point at position %d\n", index);
        return 0;
    }
    if (index > last_ + 1) {
        std::printf("You must set point %d before you can set %d", index - 1, index);
        return 0;
    }
    x_.setValue(index, point.x);
    z_.setValue(index, point.z);
    if (index > last_) {
        last_ = index;
    }
    return 1;
}

int ControlCurve::getPoint(int index, CurvePoint& out) const {
    // A negative index is refused like an unset one rather than read before the values.
    if (index > last_ || index < 0) {
        std::printf("Error:  The %d control point was not set", index);
        return 0;
    }
    out.x = x_.value(index);
    out.z = z_.value(index);
    return 1;
}

double ControlCurve::pointDistance(int a, int b) const {
    CurvePoint pa;
    CurvePoint pb;
    getPoint(a, pa);
    getPoint(b, pb);
    const double dx = pb.x - pa.x;
    const double dz = pb.z - pa.z;
    return std::sqrt(dz * dz + dx * dx);
}

int ControlCurve::evaluate(double t, CurvePoint& out) const {
    if (last_ < 2) {
        out = CurvePoint{};
        return 1;
    }
    // Both components hold the same number of values, so one lookup serves both.
    int segment = 0;
    double u = 0.0;
    x_.locate(t, segment, u);
    out.x = x_.positionAt(segment, u);
    out.z = z_.positionAt(segment, u);
    return 1;
}

int ControlCurve::forwardVector(double t, CurvePoint& out) const {
    if (last_ < 2) {
        std::printf("You must set at least 3 points before you can get the forward vector!\n");
        return 0;
    }
    int segment = 0;
    double u = 0.0;
    x_.locate(t, segment, u);
    out.x = x_.tangentAt(segment, u);
    out.z = z_.tangentAt(segment, u);
    return 1;
}

int ControlCurve::evaluateWithForward(double t, CurvePoint& point, CurvePoint& forward) const {
    if (last_ < 2) {
        return 0;
    }
    int segment = 0;
    double u = 0.0;
    x_.locate(t, segment, u);
    point.x = x_.positionAt(segment, u);
    point.z = z_.positionAt(segment, u);
    forward.x = x_.tangentAt(segment, u);
    forward.z = z_.tangentAt(segment, u);
    return 1;
}

int ControlCurve::useCatmullRom() {
    x_.setBasis(kCatmullRomBasis);
    z_.setBasis(kCatmullRomBasis);
    return 1;
}
