#include "editing/ground_transform.h"

#include <cmath>

GroundTransform GroundTransform::shift(double dx, double dz) {
    GroundTransform t;
    t.kind = Shift;
    t.dx = dx;
    t.dz = dz;
    return t;
}

GroundTransform GroundTransform::turn(double radians, CurvePoint pivot) {
    GroundTransform t;
    t.kind = Turn;
    t.radians = radians;
    t.pivot = pivot;
    return t;
}

GroundTransform GroundTransform::scale(double factor, CurvePoint pivot) {
    GroundTransform t;
    t.kind = Scale;
    t.factor = factor;
    t.pivot = pivot;
    return t;
}

CurvePoint GroundTransform::apply(const CurvePoint& p) const {
    const double x = p.x - pivot.x;
    const double z = p.z - pivot.z;
    switch (kind) {
        case Turn: {
            const double c = std::cos(radians);
            const double s = std::sin(radians);
            return {pivot.x + x * c + z * s, pivot.z - x * s + z * c};
        }
        case Scale:
            return {pivot.x + factor * x, pivot.z + factor * z};
        case Shift:
        default:
            return {p.x + dx, p.z + dz};
    }
}

bool GroundTransform::usable() const {
    return std::isfinite(dx) && std::isfinite(dz) && std::isfinite(radians) &&
           std::isfinite(factor) && std::isfinite(pivot.x) && std::isfinite(pivot.z) &&
           (kind != Scale || factor > 0.0);
}
