#include "view/path_drawing.h"

#include <FL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <unordered_map>

namespace {

bool sameCamera(const Camera& a, const Camera& b) {
    return a.eye == b.eye && a.target == b.target && a.up == b.up && a.nearPlane == b.nearPlane &&
           a.farTerm == b.farTerm && a.orthographic == b.orthographic;
}

bool sameView(const Camera& camera, int width, int height, const ControlPointView& view) {
    return width == view.width && height == view.height && sameCamera(camera, view.camera);
}

bool sameMarks(const ControlPointMarks& a, const ControlPointMarks& b) {
    return a.hovered == b.hovered && a.weights == b.weights && a.selected == b.selected;
}

void appendVertex(std::vector<float>& xyz, double x, double y, double z) {
    xyz.push_back(static_cast<float>(x));
    xyz.push_back(static_cast<float>(y));
    xyz.push_back(static_cast<float>(z));
}

void appendColour(std::vector<float>& rgb, const std::array<float, 3>& c) {
    rgb.insert(rgb.end(), c.begin(), c.end());
}

// Corners of the faces +z, -x, -y, -z, +x, +y of a unit cube, each counter-clockwise as seen
// from outside: the order the cubes were always drawn in.
const double kCubeCorners[6][4][3] = {
    {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
    {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
    {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},
    {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}},
    {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}},
    {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}},
};

// The twelve edges of a cube of half-edge s about (x, y, z).
void appendCubeEdges(std::vector<float>& xyz, double x, double y, double z, double s) {
    for (int axis = 0; axis < 3; ++axis) {
        for (int corner = 0; corner < 4; ++corner) {
            double a[3];
            a[(axis + 1) % 3] = (corner & 1) ? s : -s;
            a[(axis + 2) % 3] = (corner & 2) ? s : -s;
            a[axis] = -s;
            appendVertex(xyz, x + a[0], y + a[1], z + a[2]);
            a[axis] = s;
            appendVertex(xyz, x + a[0], y + a[1], z + a[2]);
        }
    }
}

void drawArrays(GLenum mode, const std::vector<float>& xyz, const std::vector<float>& rgb,
                int first, int count) {
    if (count <= 0)
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, xyz.data());
    if (!rgb.empty()) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, 0, rgb.data());
    }
    glDrawArrays(mode, first, count);
    glDisableClientState(GL_VERTEX_ARRAY);
    if (!rgb.empty()) {
        glDisableClientState(GL_COLOR_ARRAY);
        // The current colour is undefined after a colour array: leave the last one drawn.
        glColor3fv(&rgb[static_cast<std::size_t>(3 * (first + count - 1))]);
    }
}

// World points to window pixels (y down) through the matrices the view hands to the GL, with
// what a projection costs paid once: what projectToPixel gives, for a whole array.
class Projector {
  public:
    explicit Projector(const ControlPointView& view) : width_(view.width), height_(view.height) {
        const CameraMatrix p = projectionMatrix(view.camera, view.width, view.height);
        const CameraMatrix v = viewMatrix(view.camera);
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r) {
                double sum = 0.0;
                for (int k = 0; k < 4; ++k)
                    sum += p[static_cast<std::size_t>(4 * k + r)] * v[static_cast<std::size_t>(4 * c + k)];
                m_[4 * c + r] = sum;
            }
    }
    // False for a point level with or behind the eye.
    bool project(double x, double y, double z, double& px, double& py) const {
        const double w = m_[3] * x + m_[7] * y + m_[11] * z + m_[15];
        if (!(w > 0.0))
            return false;
        px = ((m_[0] * x + m_[4] * y + m_[8] * z + m_[12]) / w + 1.0) * width_ / 2.0;
        py = (1.0 - (m_[1] * x + m_[5] * y + m_[9] * z + m_[13]) / w) * height_ / 2.0;
        return std::isfinite(px) && std::isfinite(py);
    }

  private:
    double m_[16];
    double width_, height_;
};

int vertexCount(const StripVertices& v) {
    return static_cast<int>(v.xyz.size() / 3);
}

}  // namespace

StripVertices curveStrip(const RootPath& path, const std::vector<float>* speeds) {
    StripVertices strip;
    const ControlCurve* curve = path.curve();
    if (!curve || curve->pointCount() < 3)
        return strip;
    const SplineComponent& x = curve->xComponent();
    const SplineComponent& z = curve->zComponent();
    const int segments = x.last();
    const double height = curve->height();
    // The grid's parameters by segment, as the walk t += 0.0005 reaches them.
    std::vector<std::vector<std::pair<double, double>>> grid(static_cast<std::size_t>(segments) +
                                                             1);
    for (double t = 0.0; t < 1.0; t += 0.0005) {
        int s = 0;
        double u = 0.0;
        x.locate(t, s, u);
        grid[static_cast<std::size_t>(s)].push_back({t, u});
    }
    const bool coloured = speeds != nullptr && !speeds->empty();
    const int frames = coloured ? static_cast<int>(speeds->size()) : 0;
    int frame = 0;
    auto add = [&](int s, double u, double t) {
        appendVertex(strip.xyz, x.positionAt(s, u), height, z.positionAt(s, u));
        if (!coloured) {
            appendColour(strip.rgb, {1.0f, 1.0f, 1.0f});
            return;
        }
        // The frames' parameters rise with the frame, as t does along the strip.
        while (frame + 1 < frames && path.frameParameter(frame + 1, frames) <= t)
            ++frame;
        appendColour(strip.rgb, pathSpeedColour((*speeds)[static_cast<std::size_t>(frame)]));
    };
    for (int s = 0; s < segments; ++s) {
        const auto& steps = grid[static_cast<std::size_t>(s)];
        const double start = static_cast<double>(s) / segments;
        if (static_cast<int>(steps.size()) >= kGridStepsPerSegment) {
            if (steps.front().second != 0.0)
                add(s, 0.0, start);
            for (const auto& [t, u] : steps)
                add(s, u, t);
        } else {
            for (int k = 0; k < kGridStepsPerSegment; ++k) {
                const double u = static_cast<double>(k) / kGridStepsPerSegment;
                add(s, u, start + u / segments);
            }
        }
    }
    add(segments, 0.0, 1.0);  // the last control point
    return strip;
}

std::vector<StripBox> stripBoxes(const std::vector<float>& xyz) {
    const int n = static_cast<int>(xyz.size() / 3);
    std::vector<StripBox> boxes;
    for (int first = 0; first + 1 < n; first += kStripBoxVertices) {
        StripBox box;
        const int end = std::min(first + kStripBoxVertices, n - 1);
        for (int i = first; i <= end; ++i) {
            for (std::size_t a = 0; a < 3; ++a) {
                const float v = xyz[static_cast<std::size_t>(3 * i) + a];
                box.low[a] = i == first ? v : std::min(box.low[a], v);
                box.high[a] = i == first ? v : std::max(box.high[a], v);
            }
        }
        boxes.push_back(box);
    }
    return boxes;
}

namespace {

// A vertex on screen: its pixel and the sides of the view it lies beyond (1 left, 2 right,
// 4 above, 8 below, `margin` pixels out), or kBehind alone for a point level with or behind the
// eye, which projects to no pixel.
constexpr int kBehind = 16;
struct ScreenVertex {
    double x = 0.0, y = 0.0;
    int sides = kBehind;
};

ScreenVertex onScreen(const Projector& projector, const ControlPointView& view, double margin,
                      double x, double y, double z) {
    ScreenVertex v;
    if (!projector.project(x, y, z, v.x, v.y))
        return v;
    v.sides = (v.x < -margin) | (v.x > view.width + margin) << 1 | (v.y < -margin) << 2 |
              (v.y > view.height + margin) << 3;
    return v;
}

// The sides of the view (kBehind included) the whole box lies beyond; 0 for none.
int boxSides(const Projector& projector, const ControlPointView& view, double margin,
             const StripBox& box) {
    int sides = 31;
    for (int corner = 0; corner < 8 && sides > 0; ++corner) {
        sides &= onScreen(projector, view, margin, (corner & 1) ? box.high[0] : box.low[0],
                          (corner & 2) ? box.high[1] : box.low[1],
                          (corner & 4) ? box.high[2] : box.low[2])
                     .sides;
    }
    return sides;
}

}  // namespace

std::vector<int> keptStripVertices(const std::vector<float>& xyz,
                                   const std::vector<StripBox>& boxes,
                                   const ControlPointView& view, double pixels) {
    const int n = static_cast<int>(xyz.size() / 3);
    if (n == 0)
        return {};
    const Projector projector(view);
    auto see = [&](int i) {
        const float* v = &xyz[static_cast<std::size_t>(3 * i)];
        return onScreen(projector, view, pixels, v[0], v[1], v[2]);
    };
    // A strip of ordinary length keeps every vertex on screen: the picture it always had.
    const double squared = n > kStripDrawnWhole ? pixels * pixels : 0.0;
    std::vector<int> kept{0};
    ScreenVertex last = see(0);      // of the last vertex kept
    ScreenVertex previous = last;    // of vertex i - 1
    ScreenVertex current = n > 1 ? see(1) : last;
    for (int i = 1; i < n - 1;) {
        // A run of vertices whose box lies beyond one side of the view goes in one step: its
        // first vertex stays where the last one kept is not beyond that side.
        const std::size_t chunk = static_cast<std::size_t>(i / kStripBoxVertices);
        if (i % kStripBoxVertices == 0 && i + kStripBoxVertices < n - 1 && chunk < boxes.size()) {
            const int sides = boxSides(projector, view, pixels, boxes[chunk]);
            if (sides > 0) {
                if (!(last.sides & sides)) {
                    kept.push_back(i);
                    last = current;
                }
                i += kStripBoxVertices;
                previous = see(i - 1);
                current = see(i);
                continue;
            }
        }
        const ScreenVertex next = see(i + 1);
        // Beyond one side (or behind the eye) with the last kept vertex and the next one, both
        // segments stay beyond it, and so does the one that replaces them. The GL clips a
        // segment into the eye's plane: the ends of those stay.
        bool keep = false;
        if (!(last.sides & current.sides & next.sides)) {
            const double dx = current.x - last.x, dy = current.y - last.y;
            keep = ((current.sides | previous.sides | next.sides | last.sides) & kBehind) ||
                   dx * dx + dy * dy >= squared;
        }
        if (keep) {
            kept.push_back(i);
            last = current;
        }
        previous = current;
        current = next;
        ++i;
    }
    if (n > 1)
        kept.push_back(n - 1);
    return kept;
}

std::vector<int> shownControlPoints(const ControlCurve& curve, const ControlPointView& view,
                                    const ControlPointMarks& marks) {
    const int n = curve.pointCount();
    const double edge = controlPointPixels(view.height);
    const double height = curve.height();
    const Projector projector(view);
    // The candidates on screen with their centres, by rank: hovered, marked, plain.
    struct Candidate {
        int index;
        double x, y;
    };
    std::vector<Candidate> ranked[3];
    for (int i = 0; i < n; ++i) {
        CurvePoint p;
        if (!curve.getPoint(i, p))
            continue;
        double x = 0.0, y = 0.0;
        if (!projector.project(p.x, height, p.z, x, y) ||
            !(controlPointHalfEdge(view, {p.x, height, p.z}) > 0.0))
            continue;
        if (x < -2 * edge || x > view.width + 2 * edge || y < -2 * edge ||
            y > view.height + 2 * edge)
            continue;
        const std::size_t k = static_cast<std::size_t>(i);
        const bool marked = (k < marks.weights.size() && marks.weights[k] > 0.0f) ||
                            (k < marks.selected.size() && marks.selected[k]);
        ranked[i == marks.hovered ? 0 : marked ? 1 : 2].push_back({i, x, y});
    }
    std::vector<int> shown;
    if (ranked[0].size() + ranked[1].size() + ranked[2].size() <= kCubesDrawnWhole) {
        for (const auto& rank : ranked)
            for (const Candidate& c : rank)
                shown.push_back(c.index);
        std::sort(shown.begin(), shown.end());
        return shown;
    }
    // Drawn centres by the screen cell of a cube's edge they fall in: a centre closer than an
    // edge to another lies in its cell or one of the eight around it.
    std::unordered_map<std::int64_t, std::vector<Candidate>> cells;
    auto cellOf = [edge](double x, double y) {
        return std::array<std::int64_t, 2>{static_cast<std::int64_t>(std::floor(x / edge)),
                                           static_cast<std::int64_t>(std::floor(y / edge))};
    };
    auto cellKey = [](std::int64_t cx, std::int64_t cy) { return cx * 1000003 + cy; };
    for (const auto& rank : ranked) {
        for (const Candidate& c : rank) {
            const auto [cx, cy] = cellOf(c.x, c.y);
            bool crowded = false;
            for (std::int64_t dx = -1; dx <= 1 && !crowded; ++dx) {
                for (std::int64_t dy = -1; dy <= 1 && !crowded; ++dy) {
                    const auto found = cells.find(cellKey(cx + dx, cy + dy));
                    if (found == cells.end())
                        continue;
                    for (const Candidate& d : found->second)
                        crowded = crowded || std::hypot(d.x - c.x, d.y - c.y) < edge;
                }
            }
            if (crowded)
                continue;
            cells[cellKey(cx, cy)].push_back(c);
            shown.push_back(c.index);
        }
    }
    std::sort(shown.begin(), shown.end());
    return shown;
}

void PathDrawer::CachedStrip::update(const PathDrawingKey& k, const ControlPointView& view,
                                     const std::function<StripVertices()>& build,
                                     int& worldBuilds) {
    if (!built || !(key == k)) {
        world = build();
        boxes = stripBoxes(world.xyz);
        key = k;
        built = true;
        drawnBuilt = false;
        ++worldBuilds;
    }
    if (drawnBuilt && sameView(camera, width, height, view))
        return;
    drawn = StripVertices();
    for (int i : keptStripVertices(world.xyz, boxes, view, kStripPixels)) {
        const std::size_t at = static_cast<std::size_t>(3 * i);
        drawn.xyz.insert(drawn.xyz.end(), world.xyz.begin() + at, world.xyz.begin() + at + 3);
        if (!world.rgb.empty())
            drawn.rgb.insert(drawn.rgb.end(), world.rgb.begin() + at, world.rgb.begin() + at + 3);
    }
    camera = view.camera;
    width = view.width;
    height = view.height;
    drawnBuilt = true;
}

void PathDrawer::buildCubes(const ControlCurve& curve, const ControlPointView& view,
                            const ControlPointMarks& marks) {
    cubes_ = StripVertices();
    outline_.clear();
    cubesBeforeOutline_ = 0;
    const double height = curve.height();
    for (int i : shownControlPoints(curve, view, marks)) {
        CurvePoint p;
        curve.getPoint(i, p);
        const double s = controlPointHalfEdge(view, {p.x, height, p.z});
        const std::array<float, 3> colour = controlPointColour(marks, i);
        for (const auto& face : kCubeCorners) {
            for (const auto& c : face) {
                appendVertex(cubes_.xyz, p.x + c[0] * s, height + c[1] * s, p.z + c[2] * s);
                appendColour(cubes_.rgb, colour);
            }
        }
        if (i == marks.hovered) {
            appendCubeEdges(outline_, p.x, height, p.z, 1.4 * s);
            cubesBeforeOutline_ = vertexCount(cubes_) / 24;
        }
    }
    ++cubeBuilds_;
}

void PathDrawer::drawPath(const RootPath& path, const PathDrawingKey& key,
                          const ControlPointView& view, const ControlPointMarks& marks,
                          const std::vector<float>* speeds) {
    if (!path.curve())
        return;
    curve_.update(key, view, [&] { return curveStrip(path, speeds); }, worldBuilds_);
    drawArrays(GL_LINE_STRIP, curve_.drawn.xyz, curve_.drawn.rgb, 0, vertexCount(curve_.drawn));
    if (!cubesBuilt_ || !(cubesKey_ == key) || !sameView(cubesCamera_, cubesWidth_, cubesHeight_,
                                                         view) || !sameMarks(cubesMarks_, marks)) {
        buildCubes(*path.curve(), view, marks);
        cubesKey_ = key;
        cubesCamera_ = view.camera;
        cubesWidth_ = view.width;
        cubesHeight_ = view.height;
        cubesMarks_ = marks;
        cubesBuilt_ = true;
    }
    // The outline goes right after its cube, as each cube once went with its own.
    const int cubes = vertexCount(cubes_) / 24;
    const int before = outline_.empty() ? cubes : cubesBeforeOutline_;
    drawArrays(GL_QUADS, cubes_.xyz, cubes_.rgb, 0, 24 * before);
    if (!outline_.empty()) {
        glColor3f(1.0f, 1.0f, 1.0f);
        glLineWidth(2.0f);
        drawArrays(GL_LINES, outline_, {}, 0, static_cast<int>(outline_.size() / 3));
        glLineWidth(1.0f);
        drawArrays(GL_QUADS, cubes_.xyz, cubes_.rgb, 24 * before, 24 * (cubes - before));
    }
}

void PathDrawer::drawCapturedTrack(const RootPath& path, const PathDrawingKey& key,
                                   const ControlPointView& view) {
    track_.update(key, view,
                  [&] {
                      StripVertices strip;
                      for (int i = 0; i < path.sampleCount(); ++i)
                          appendVertex(strip.xyz, path.sampleX(i), path.height(),
                                       path.sampleZ(i));
                      return strip;
                  },
                  worldBuilds_);
    glColor3f(0.6f, 0.6f, 0.6f);
    drawArrays(GL_LINE_STRIP, track_.drawn.xyz, {}, 0, vertexCount(track_.drawn));
}
