#include "view/curve_drawing.h"

#include <FL/gl.h>

#include <algorithm>
#include <cmath>

std::array<float, 3> pathSpeedColour(float ratio) {
    constexpr float kNeutral = 0.04879016f;  // log(1.05)
    constexpr float kFull = 0.69314718f;     // log(2)
    if (std::isnan(ratio))
        return {1.0f, 1.0f, 1.0f};  // no measure: nothing to warn of
    const float l = ratio > 0.0f ? std::log(ratio) : -kFull;
    float amount = (std::fabs(l) - kNeutral) / (kFull - kNeutral);
    if (!(amount > 0.0f))
        return {1.0f, 1.0f, 1.0f};
    if (amount > 1.0f)
        amount = 1.0f;
    // Red where the edit rushes the figure, blue where it slows it.
    const std::array<float, 3> full = l > 0.0f ? std::array<float, 3>{1.0f, 0.15f, 0.1f}
                                               : std::array<float, 3>{0.2f, 0.45f, 1.0f};
    std::array<float, 3> c{};
    for (std::size_t i = 0; i < 3; ++i)
        c[i] = 1.0f + amount * (full[i] - 1.0f);
    return c;
}

std::array<float, 3> controlPointColour(const ControlPointMarks& marks, int i) {
    const std::size_t k = static_cast<std::size_t>(i);
    const float weight = i >= 0 && k < marks.weights.size() ? marks.weights[k] : 0.0f;
    if (weight > 0.0f)
        return {0.0f, std::min(weight, 1.0f), 1.0f - std::min(weight, 1.0f)};
    if (i >= 0 && k < marks.selected.size() && marks.selected[k])
        return {1.0f, 0.85f, 0.0f};
    return {0.0f, 0.0f, 1.0f};
}

double controlPointPixels(int viewHeight) {
    return std::max(5.0, viewHeight / 125.0);
}

double controlPointHalfEdge(const ControlPointView& view, const CameraVector& point) {
    return 0.5 * controlPointPixels(view.height) * worldPerPixel(view.camera, point, view.height);
}

void drawFalloffRing(const CurvePoint& centre, double radius, double lift) {
    constexpr int kSegments = 96;
    glColor3f(0.3f, 1.0f, 0.6f);
    glLineWidth(2.0f);
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i < kSegments; ++i) {
        const double a = 2.0 * M_PI * i / kSegments;
        glVertex3d(centre.x + radius * std::cos(a), lift, centre.z + radius * std::sin(a));
    }
    glEnd();
    glLineWidth(1.0f);
}
