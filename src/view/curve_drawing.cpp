#include "view/curve_drawing.h"

#include <FL/gl.h>

#include <algorithm>
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

// The twelve edges of a cube of half-edge s.
void drawCubeEdges(double s) {
    glBegin(GL_LINES);
    for (int axis = 0; axis < 3; ++axis) {
        for (int corner = 0; corner < 4; ++corner) {
            double a[3];
            a[(axis + 1) % 3] = (corner & 1) ? s : -s;
            a[(axis + 2) % 3] = (corner & 2) ? s : -s;
            a[axis] = -s;
            glVertex3dv(a);
            a[axis] = s;
            glVertex3dv(a);
        }
    }
    glEnd();
}

constexpr int kCubesBetweenWaits = 4096;

}  // namespace

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

void drawCurve(const ControlCurve& curve, const ControlPointView& view,
               const ControlPointMarks& marks) {
    glColor3f(1.0f, 1.0f, 1.0f);
    drawCurveStrip(curve, [](double) {});
    // No glFlush here: the buffer swap flushes anyway, and a flush in mid-frame makes a
    // software GL rasterise and store the whole frame one extra time.
    drawControlPoints(curve, view, marks);
}

void drawControlPoints(const ControlCurve& curve, const ControlPointView& view,
                       const ControlPointMarks& marks) {
    const double height = curve.height();
    for (int i = 0; i < curve.pointCount(); ++i) {
        CurvePoint p;
        if (!curve.getPoint(i, p))
            continue;
        const double s = controlPointHalfEdge(view, {p.x, height, p.z});
        if (!(s > 0.0))
            continue;
        glColor3fv(controlPointColour(marks, i).data());
        glPushMatrix();
        glTranslated(p.x, height, p.z);
        drawCube(s);
        if (i == marks.hovered) {
            glColor3f(1.0f, 1.0f, 1.0f);
            glLineWidth(2.0f);
            drawCubeEdges(1.4 * s);
            glLineWidth(1.0f);
        }
        glPopMatrix();
        // A software GL holds the frame's cubes until it is shown: a path of 100,000 points
        // queued 130 MB of them. Waiting now and then keeps a few thousand queued.
        if (i % kCubesBetweenWaits == kCubesBetweenWaits - 1)
            glFinish();
    }
}

void drawPath(const RootPath& path, const ControlPointView& view, const ControlPointMarks& marks,
              const std::vector<float>* speeds) {
    if (!path.curve())
        return;
    if (speeds == nullptr || speeds->empty()) {
        drawCurve(*path.curve(), view, marks);
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
    drawControlPoints(*path.curve(), view, marks);
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

void drawCapturedTrack(const RootPath& path) {
    const double height = path.height();
    glColor3f(0.6f, 0.6f, 0.6f);
    glBegin(GL_LINE_STRIP);
    for (int i = 0; i < path.sampleCount(); ++i)
        glVertex3d(path.sampleX(i), height, path.sampleZ(i));
    glEnd();
}
