#include <cmath>

#include "playback/range_slider.h"

namespace range_slider_geometry {

namespace {

// Pixel counts come from doubles that may be huge when values lie far outside the range;
// keep them well inside int before converting.
int toPixel(double p) {
    const double limit = 1.0e9;
    if (!(p > -limit)) {
        return std::isnan(p) ? 0 : static_cast<int>(-limit);
    }
    if (p > limit) {
        return static_cast<int>(limit);
    }
    return static_cast<int>(std::trunc(p));
}

}  // namespace

double knobFraction(double low, double high, double minimum, double maximum) {
    double range = maximum - minimum;
    if (!(range > 0.0)) {
        return 1.0;
    }
    double f = std::fabs(high - low) / range;
    return std::isfinite(f) ? f : 1.0;
}

int valueToPixel(double v, double minimum, double maximum, int length) {
    double range = maximum - minimum;
    if (!(range > 0.0)) {
        return 0;
    }
    return toPixel((v - minimum) / range * length + 0.5);
}

double positionToValue(int p, double minimum, double maximum, int length) {
    if (length <= 0) {
        return minimum;
    }
    return minimum + (static_cast<double>(p) / length) * (maximum - minimum);
}

int pixelSpan(double fraction, int length) {
    return toPixel(fraction * length + 0.5);
}

int knobLength(double fraction, int length, int breadth) {
    int s = pixelSpan(fraction, length);
    int least = breadth / 2 + 1;
    return s < least ? least : s;
}

DragMode dragModeAt(int e, int lowPx, int highPx, int tolerance) {
    if (e < lowPx - tolerance) {
        return DragTroughBefore;
    }
    if (e < lowPx + tolerance) {
        return DragLow;
    }
    if (e < highPx - tolerance) {
        return DragBody;
    }
    if (e < highPx + tolerance) {
        return DragHigh;
    }
    return DragTroughAfter;
}

bool overEdge(int e, int q, int lowPx, int highPx, int tolerance, int breadth) {
    bool alongEdge = (lowPx - tolerance <= e && e < lowPx + tolerance) ||
                     (highPx - tolerance <= e && e < highPx + tolerance);
    return alongEdge && 2 <= q && q < breadth - 2;
}

}  // namespace range_slider_geometry
