#include "numeric/hypotenuse.h"

#include <cmath>

double hypotenuse(double a, double b) {
    const double absA = std::fabs(a);
    const double absB = std::fabs(b);
    if (absA > absB) {
        const double ratio = absB / absA;
        return absA * std::sqrt(1.0 + ratio * ratio);
    }
    if (absB == 0.0) {
        return 0.0;
    }
    const double ratio = absA / absB;
    return absB * std::sqrt(1.0 + ratio * ratio);
}
