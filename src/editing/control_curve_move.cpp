#include "editing/control_curve.h"

// Points are visited in index order and each weight is taken from the positions at that moment:
// points before the selected one are weighed against its old position, points after it against
// its new one. The weight is narrowed to float, as the radius it comes from is a float.
void ControlCurve::moveSelected(double x, double z) {
    if (selected_ < 0 || selected_ > last_) {
        return;
    }
    CurvePoint old;
    getPoint(selected_, old);
    const double dx = x - old.x;
    const double dz = z - old.z;
    for (int i = 0; i <= last_; ++i) {
        if (i == selected_) {
            setPoint(CurvePoint{x, z}, i);
            continue;
        }
        const double d = pointDistance(selected_, i);
        if (!(d < falloffRadius_)) {
            continue;
        }
        const float weight = static_cast<float>(1.0 - d / falloffRadius_);
        CurvePoint p;
        getPoint(i, p);
        setPoint(CurvePoint{p.x + weight * dx, p.z + weight * dz}, i);
    }
}
