#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>

#include "view/path_drawing.h"
#include "view_harness.h"

namespace {

// The path as it was drawn in immediate mode, one call per vertex: the strip's vertices
// (curveStrip's), then each control point's cube through its own matrix, the hovered one
// followed by its outline. The cached arrays must give the same pixels.
void drawImmediate(const RootPath& path, const ControlPointView& view,
                   const ControlPointMarks& marks, const std::vector<float>* speeds) {
    const StripVertices strip = curveStrip(path, speeds);
    glBegin(GL_LINE_STRIP);
    for (std::size_t i = 0; i < strip.xyz.size(); i += 3) {
        glColor3fv(&strip.rgb[i]);
        glVertex3d(strip.xyz[i], strip.xyz[i + 1], strip.xyz[i + 2]);
    }
    glEnd();
    const ControlCurve& curve = *path.curve();
    const int faces[6][4][3] = {{{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
                                {{-1, -1, -1}, {-1, -1, 1}, {-1, 1, 1}, {-1, 1, -1}},
                                {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1}},
                                {{-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}},
                                {{1, -1, -1}, {1, 1, -1}, {1, 1, 1}, {1, -1, 1}},
                                {{-1, 1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, 1, -1}}};
    for (int i = 0; i < curve.pointCount(); ++i) {
        CurvePoint p;
        curve.getPoint(i, p);
        const double s = controlPointHalfEdge(view, {p.x, curve.height(), p.z});
        glColor3fv(controlPointColour(marks, i).data());
        glPushMatrix();
        glTranslated(p.x, curve.height(), p.z);
        glBegin(GL_QUADS);
        for (const auto& face : faces)
            for (const auto& c : face)
                glVertex3d(c[0] * s, c[1] * s, c[2] * s);
        glEnd();
        if (i == marks.hovered) {
            glColor3f(1.0f, 1.0f, 1.0f);
            glLineWidth(2.0f);
            glBegin(GL_LINES);
            const double e = 1.4 * s;
            for (int axis = 0; axis < 3; ++axis)
                for (int corner = 0; corner < 4; ++corner) {
                    double a[3];
                    a[(axis + 1) % 3] = (corner & 1) ? e : -e;
                    a[(axis + 2) % 3] = (corner & 2) ? e : -e;
                    a[axis] = -e;
                    glVertex3dv(a);
                    a[axis] = e;
                    glVertex3dv(a);
                }
            glEnd();
            glLineWidth(1.0f);
        }
        glPopMatrix();
    }
}

class PathDrawing : public ::testing::Test {
  protected:
    // The view's camera as the view sets it, around `draw`.
    std::vector<unsigned char> picture(const std::function<void()>& draw) {
        const Camera& c = h.view().camera();
        const auto projection = projectionMatrix(c, ViewHarness::kWidth, ViewHarness::kHeight);
        return h.picture(projection.data(), viewMatrix(c).data(), draw);
    }
    static int lit(const std::vector<unsigned char>& a) {
        int n = 0;
        for (std::size_t i = 0; i < a.size(); i += 3)
            n += a[i] || a[i + 1] || a[i + 2];
        return n;
    }
    // The cached and the immediate picture of the loaded path with these marks and speeds.
    void expectSamePicture(const ControlPointMarks& marks, bool speeds, const char* what) {
        SCOPED_TRACE(what);
        const PathEdit& e = *h.view().edit();
        const ControlPointView view{h.view().camera(), ViewHarness::kWidth, ViewHarness::kHeight};
        const std::vector<float>* s = speeds ? &e.pathSpeed() : nullptr;
        PathDrawer drawer;
        const auto cached = picture([&] { drawer.drawPath(e.path(), {&e, 1}, view, marks, s); });
        const auto reference = picture([&] { drawImmediate(e.path(), view, marks, s); });
        EXPECT_GT(lit(reference), 200);
        EXPECT_EQ(differingPixels(cached, reference), 0);
        // Drawn again from the kept arrays, the same.
        EXPECT_EQ(differingPixels(picture([&] {
                                      drawer.drawPath(e.path(), {&e, 1}, view, marks, s);
                                  }),
                                  reference),
                  0);
        EXPECT_EQ(drawer.worldBuilds(), 1);
        EXPECT_EQ(drawer.cubeBuilds(), 1);
    }
    ViewHarness h;
};

TEST_F(PathDrawing, ArraysGiveTheImmediatePictureOfTheSampleAndACorpusWalk) {
    std::vector<std::string> files{std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh"};
    const std::filesystem::path walk = std::filesystem::path(BVHPATH_SOURCE_DIR) / ".." / "shared" /
                                       "corpus" / "cmu_01_01_walk.bvh";
    if (std::filesystem::exists(walk))
        files.push_back(walk.string());
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(h.load(file));
        const int n = h.view().edit()->curve().pointCount();
        ControlPointMarks marks;
        expectSamePicture(marks, false, "plain");
        marks.hovered = n / 2;
        marks.selected.assign(static_cast<std::size_t>(n), 0);
        marks.selected[1] = 1;
        marks.weights.assign(static_cast<std::size_t>(n), 0.0f);
        marks.weights[static_cast<std::size_t>(n / 2)] = 1.0f;
        marks.weights[static_cast<std::size_t>(n / 2 + 1)] = 0.4f;
        expectSamePicture(marks, false, "hovered, selected, weighted");
        expectSamePicture(marks, true, "path speed");
    }
}

// Through every control point, also where the points outnumber the old fixed steps.
TEST_F(PathDrawing, StripPassesThroughEveryControlPoint) {
    ASSERT_TRUE(h.load(writeScratch("dense_walker.bvh", walkerBvh(40000, false))));
    const RootPath& path = h.view().edit()->path();
    const ControlCurve& curve = *path.curve();
    ASSERT_GT(curve.pointCount(), 700);
    const StripVertices strip = curveStrip(path, nullptr);
    std::size_t at = 0;
    for (int i = 0; i < curve.pointCount(); ++i) {
        CurvePoint p;
        curve.getPoint(i, p);
        // In order along the strip.
        while (at < strip.xyz.size() && (strip.xyz[at] != static_cast<float>(p.x) ||
                                         strip.xyz[at + 2] != static_cast<float>(p.z)))
            at += 3;
        ASSERT_LT(at, strip.xyz.size()) << "control point " << i << " missed";
    }
}

// However many points crowd the view, about one cube per cube-sized patch is drawn, and the
// strip keeps about one vertex per pixel, the hovered point always among the cubes.
TEST_F(PathDrawing, CrowdedPathDrawsBoundedCubesAndVertices) {
    ASSERT_TRUE(h.load(writeScratch("dense_walker.bvh", walkerBvh(40000, false))));
    const PathEdit& e = *h.view().edit();
    const ControlPointView view{h.view().camera(), ViewHarness::kWidth, ViewHarness::kHeight};
    ControlPointMarks marks;
    marks.hovered = 301;
    const std::vector<int> shown = shownControlPoints(e.curve(), view, marks);
    EXPECT_LT(shown.size(), static_cast<std::size_t>(2 * ViewHarness::kWidth / 5));
    EXPECT_GT(shown.size(), static_cast<std::size_t>(ViewHarness::kWidth / 20));
    EXPECT_TRUE(std::binary_search(shown.begin(), shown.end(), 301));
    // The curve's strip with four more vertices on each segment, beyond a strip drawn whole.
    const StripVertices coarse = curveStrip(e.path(), nullptr);
    StripVertices strip;
    for (std::size_t i = 0; i + 3 < coarse.xyz.size(); i += 3)
        for (int k = 0; k < 5; ++k)
            for (std::size_t a = 0; a < 3; ++a)
                strip.xyz.push_back(coarse.xyz[i + a] +
                                    k / 5.0f * (coarse.xyz[i + 3 + a] - coarse.xyz[i + a]));
    ASSERT_GT(strip.xyz.size() / 3, static_cast<std::size_t>(kStripDrawnWhole));
    const auto kept = keptStripVertices(strip.xyz, stripBoxes(strip.xyz), view, kStripPixels);
    EXPECT_LT(kept.size(), static_cast<std::size_t>(8 * ViewHarness::kWidth));
    EXPECT_EQ(kept.front(), 0);
    EXPECT_EQ(kept.back(), static_cast<int>(strip.xyz.size() / 3) - 1);
    // Zoomed in, the stretches beyond the view go too.
    for (int i = 0; i < 40; ++i)
        h.view().wheelZoom(-1);
    const ControlPointView close{h.view().camera(), ViewHarness::kWidth, ViewHarness::kHeight};
    EXPECT_LT(keptStripVertices(strip.xyz, stripBoxes(strip.xyz), close, kStripPixels).size(),
              static_cast<std::size_t>(8 * ViewHarness::kWidth));
}

// Playback leaves the arrays as they are; an edit rebuilds them, and the moved point is drawn
// where it went.
TEST_F(PathDrawing, ArraysFollowTheEditNotTheFrame) {
    ASSERT_TRUE(h.load(writeScratch("drawing_walker.bvh", walkerBvh(300, false))));
    h.view().viewFromPreset(CameraPreset::Top);
    h.view().toggleOption(OptionStrobes);
    // Drawn as the toolkit's flush draws a context it drew before, which keeps its lists.
    auto render = [&] {
        h.view().context_valid(1);
        return h.render();
    };
    render();
    const int world = h.view().pathDrawer().worldBuilds();
    const int cubes = h.view().pathDrawer().cubeBuilds();
    for (int frame = 2; frame < 40; frame += 7) {
        h.view().setFrame(frame);
        render();
    }
    EXPECT_EQ(h.view().pathDrawer().worldBuilds(), world);
    EXPECT_EQ(h.view().pathDrawer().cubeBuilds(), cubes);

    const int k = 3;
    CurvePoint p;
    h.view().edit()->curve().getPoint(k, p);
    auto pixelOf = [&](const CurvePoint& q) {
        const auto at =
            projectToPixel(h.view().camera(), {q.x, h.view().edit()->curve().height(), q.z},
                           ViewHarness::kWidth, ViewHarness::kHeight);
        return std::array<int, 2>{static_cast<int>(std::lround(at->at(0))),
                                  static_cast<int>(std::lround(at->at(1)))};
    };
    const auto before = pixelOf(p);
    const CurvePoint moved{p.x, p.z + 40.0};
    ASSERT_TRUE(h.document().setPointPosition(k, moved));
    const auto movedStrobes = render();
    // The strobe copies moved with the path: what was kept for the old path was let go, so the
    // picture is the one a new context builds afresh.
    h.reshow();
    EXPECT_EQ(differingPixels(h.render(), movedStrobes), 0);
    h.view().toggleOption(OptionStrobes);
    const auto pixels = h.render();
    EXPECT_GT(h.view().pathDrawer().worldBuilds(), world);
    const auto after = pixelOf(moved);
    ASSERT_GT(std::hypot(after[0] - before[0], after[1] - before[1]), 15.0);
    auto blueAt = [&](std::array<int, 2> at) {
        const unsigned char* c =
            &pixels[static_cast<std::size_t>((at[1] * ViewHarness::kWidth + at[0]) * 3)];
        return c[0] == 0 && c[1] == 0 && c[2] == 255;
    };
    EXPECT_TRUE(blueAt(after));
    EXPECT_FALSE(blueAt(before));
}

}  // namespace
