#include <algorithm>
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

KnobSpan knobSpan(double low, double high, double minimum, double maximum, int length,
                  int breadth) {
    double f = knobFraction(low, high, minimum, maximum);
    return {valueToPixel(low, minimum, maximum, length), knobLength(f, length, breadth)};
}

bool showsGrips(int knobLength, int gripInset) {
    return knobLength >= 2 * (gripInset + kGripLength) + kBodyLeast;
}

EndZones endZones(KnobSpan knob, int gripInset) {
    const int wanted = std::max(kEndReach, gripInset + kGripLength);
    const int room = (knob.length - kBodyLeast) / 2;
    // A knob too short for both ends' full reach is split between them at its middle.
    const int inside = std::max(0, std::min({wanted, std::max(room, kEndReach), knob.length / 2}));
    const int end = knob.start + knob.length;
    return {knob.start - kEndReach, knob.start + inside, end - inside, end + kEndReach};
}

DragMode dragModeAt(int e, const EndZones& zones) {
    if (e < zones.lowFrom) {
        return DragTroughBefore;
    }
    if (e < zones.lowTo) {
        return DragLow;
    }
    if (e < zones.highFrom) {
        return DragBody;
    }
    if (e < zones.highTo) {
        return DragHigh;
    }
    return DragTroughAfter;
}

bool overEdge(int e, int q, const EndZones& zones, int breadth) {
    bool alongEdge =
        (zones.lowFrom <= e && e < zones.lowTo) || (zones.highFrom <= e && e < zones.highTo);
    return alongEdge && 2 <= q && q < breadth - 2;
}

}  // namespace range_slider_geometry
