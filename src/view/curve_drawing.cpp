#include "view/curve_drawing.h"

#include <FL/gl.h>

#include <cmath>

namespace {

// Outward normal, then four corners counter-clockwise as seen from outside, for the faces
// +z, -x, -y, -z, +x, +y of a unit cube.
struct CubeFace {
    double normal[3];
    double corners[4][3];
};
const CubeFace kCubeFaces[6] = {
    {{0, 0, 1}, {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}}},
    {{-1, 0, 0}, {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}}},
    {{0, -1, 0}, {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}}},
    {{0, 0, -1}, {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}}},
    {{1, 0, 0}, {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}}},
    {{0, 1, 0}, {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}}},
};

void drawCube(double s) {
    glBegin(GL_QUADS);
    for (const CubeFace& face : kCubeFaces) {
        glNormal3dv(face.normal);
        for (const auto& c : face.corners) {
            const double v[3] = {c[0] * s, c[1] * s, c[2] * s};
            glVertex3dv(v);
        }
    }
    glEnd();
}

}  // namespace

std::array<float, 3> controlPointColour(const ControlCurve& curve, int i, int focus) {
    if (focus < 0 || focus >= curve.pointCount())
        focus = curve.selected();
    if (i == focus)
        return {0.0f, 1.0f, 0.0f};
    if (focus < 0)
        return {0.0f, 0.0f, 1.0f};
    float e = static_cast<float>(curve.pointDistance(focus, i)) / curve.falloffRadius();
    // A zero radius gives an infinite or (for a coincident point) undefined ratio: both blue.
    if (!(e <= 1.0f))
        e = 1.0f;
    if (e < 0.0f)
        e = 0.0f;
    return {0.0f, 1.0f - e, e};
}

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

namespace {

// The curve as a line strip at its height (t = 0, 0.0005, ... below 1); colourAt(t) sets each
// vertex's colour, or none is set.
template <typename Colour>
void drawCurveStrip(const ControlCurve& curve, Colour colourAt) {
    const double height = curve.height();
    CurvePoint p;
    glBegin(GL_LINE_STRIP);
    for (double t = 0.0; t < 1.0; t += 0.0005) {
        colourAt(t);
        curve.evaluate(t, p);
        glVertex3d(p.x, height, p.z);
    }
    glEnd();
}

}  // namespace

void drawCurve(const ControlCurve& curve, int focus) {
    glPushMatrix();
    glColor3f(1.0f, 1.0f, 1.0f);
    drawCurveStrip(curve, [](double) {});
    // No glFlush here: the buffer swap flushes anyway, and a flush in mid-frame makes a
    // software GL rasterise and store the whole frame one extra time.
    glPopMatrix();
    drawControlPoints(curve, focus);
}

double controlPointHalfEdge(const ControlCurve& curve) {
    return 0.2 * curve.height();
}

void drawControlPoints(const ControlCurve& curve, int focus) {
    const double height = curve.height();
    const double s = controlPointHalfEdge(curve);
    for (int i = 0; i < curve.pointCount(); ++i) {
        glColor3fv(controlPointColour(curve, i, focus).data());
        CurvePoint p;
        if (!curve.getPoint(i, p))
            continue;
        glPushMatrix();
        glTranslated(p.x, height, p.z);
        drawCube(s);
        glPopMatrix();
    }
}

void drawPath(const RootPath& path, int focus, const std::vector<float>* speeds) {
    if (!path.curve())
        return;
    if (speeds == nullptr || speeds->empty()) {
        drawCurve(*path.curve(), focus);
        return;
    }
    // The frames' parameters rise with the frame, as t does along the strip: one walk pairs
    // each t with the last frame placed at or before it.
    const int frames = static_cast<int>(speeds->size());
    int frame = 0;
    drawCurveStrip(*path.curve(), [&](double t) {
        while (frame + 1 < frames && path.frameParameter(frame + 1, frames) <= t)
            ++frame;
        glColor3fv(pathSpeedColour((*speeds)[static_cast<std::size_t>(frame)]).data());
    });
    drawControlPoints(*path.curve(), focus);
}
