#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "view/picking.h"
#include "view_harness.h"

namespace {

class PathToolsView : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(h.load(writeScratch("tools_walker.bvh", walkerBvh(300, false))));
        h.view().setFrame(1);
        h.render();
    }
    const ControlCurve& curve() { return h.view().edit()->curve(); }
    // Window pixel of control point i, from the view's own camera model.
    std::array<int, 2> pointPixel(int i) {
        CurvePoint p;
        curve().getPoint(i, p);
        const auto at = projectToPixel(h.view().camera(), {p.x, curve().height(), p.z},
                                       ViewHarness::kWidth, ViewHarness::kHeight);
        return {static_cast<int>(std::lround(at->at(0))), static_cast<int>(std::lround(at->at(1)))};
    }
    // Pixels of exactly this colour within `reach` of a pixel.
    int countNear(const std::vector<unsigned char>& pixels, std::array<int, 2> at,
                  std::array<int, 3> colour, int reach) {
        int n = 0;
        for (int y = std::max(0, at[1] - reach);
             y <= std::min(ViewHarness::kHeight - 1, at[1] + reach); ++y)
            for (int x = std::max(0, at[0] - reach);
                 x <= std::min(ViewHarness::kWidth - 1, at[0] + reach); ++x) {
                const unsigned char* c =
                    &pixels[static_cast<std::size_t>((y * ViewHarness::kWidth + x) * 3)];
                n += c[0] == colour[0] && c[1] == colour[1] && c[2] == colour[2];
            }
        return n;
    }
    void click(std::array<int, 2> at, int state = 0) {
        h.send(FL_PUSH, at[0], at[1], FL_Button + 1, state);
        h.send(FL_RELEASE, at[0], at[1], FL_Button + 1, state);
    }
    ViewHarness h;
};

const std::array<int, 3> kBlue{0, 0, 255};

// A cube's pixels stay as many through a zoom that brings the path twice as close in the
// perspective view and in the orthographic top view, and the top view draws them where the
// camera model puts them.
TEST_F(PathToolsView, CubesKeepTheirSizeOnScreenThroughAZoom) {
    const int middle = curve().pointCount() / 2;
    for (bool top : {false, true}) {
        if (top)
            h.view().viewFromPreset(CameraPreset::Top);
        EXPECT_EQ(h.view().camera().orthographic, top);
        const int before = countNear(h.render(), pointPixel(middle), kBlue, 12);
        EXPECT_GE(before, 20) << "top " << top;
        h.view().wheelZoom(-7);
        const int after = countNear(h.render(), pointPixel(middle), kBlue, 12);
        EXPECT_NEAR(after, before, 0.25 * before) << "top " << top;
    }
    // An orbit leaves the orthographic view.
    h.view().orbitBegin(100, 100);
    h.view().orbitDrag(130, 120);
    EXPECT_FALSE(h.view().camera().orthographic);
}

TEST_F(PathToolsView, ShiftClicksAndABoxSelectAndADragMovesTheSelectionAsOneStep) {
    h.view().viewFromPreset(CameraPreset::Top);
    h.render();
    click(pointPixel(2));
    click(pointPixel(4), FL_SHIFT);
    EXPECT_EQ(h.document().selection(), (std::vector<int>{2, 4}));
    click(pointPixel(2), FL_SHIFT);
    EXPECT_EQ(h.document().selection(), (std::vector<int>{4}));
    // A box from below the path to above it, spanning points 1 to 3.
    const auto a = pointPixel(1), b = pointPixel(3);
    const int x0 = a[0] - 3, x1 = b[0] + 3, y0 = std::max(a[1], b[1]) + 20;
    h.send(FL_PUSH, x0, y0, FL_Button + 1);
    h.send(FL_DRAG, x1, std::min(a[1], b[1]) - 20, FL_Button + 1);
    EXPECT_TRUE(h.view().boxing());
    h.send(FL_RELEASE, x1, std::min(a[1], b[1]) - 20, FL_Button + 1);
    EXPECT_EQ(h.document().selection(), (std::vector<int>{1, 2, 3}));
    EXPECT_FALSE(h.document().canUndo()) << "selecting is no edit";
    std::vector<CurvePoint> before(5);
    for (int i = 0; i < 5; ++i)
        curve().getPoint(i, before[static_cast<std::size_t>(i)]);
    const auto from = pointPixel(2);
    h.send(FL_PUSH, from[0], from[1], FL_Button + 1);
    h.send(FL_DRAG, from[0] + 20, from[1] + 30, FL_Button + 1);
    h.send(FL_RELEASE, from[0] + 20, from[1] + 30, FL_Button + 1);
    EXPECT_EQ(h.document().historySize(), 1u);
    CurvePoint moved;
    curve().getPoint(2, moved);
    const double dx = moved.x - before[2].x, dz = moved.z - before[2].z;
    EXPECT_GT(std::hypot(dx, dz), 1.0);
    for (int i : {1, 3}) {
        CurvePoint p;
        curve().getPoint(i, p);
        EXPECT_NEAR(p.x - before[static_cast<std::size_t>(i)].x, dx, 1e-9) << i;
        EXPECT_NEAR(p.z - before[static_cast<std::size_t>(i)].z, dz, 1e-9) << i;
    }
    // Frame Selection centres the view on the selection, looking down as before.
    h.view().frameSelection();
    const Camera& c = h.view().camera();
    EXPECT_NEAR(c.target[0], (before[1].x + before[3].x) / 2.0 + dx, 1e-3);
    EXPECT_TRUE(c.orthographic);
}

// The ring around the point under the cursor shows while the falloff is on, and a key changes
// it at once, with no move of the pointer.
TEST_F(PathToolsView, TheFalloffRingFollowsTheKeysAtOnce) {
    const std::array<int, 3> ring{76, 255, 153};
    h.view().viewFromPreset(CameraPreset::Top);
    const auto at = pointPixel(curve().pointCount() / 2);
    h.send(FL_MOVE, at[0], at[1], 0);
    EXPECT_EQ(countNear(h.render(), at, ring, 150), 0) << "no falloff, no ring";
    h.document().setFalloff(FalloffShape::Linear);
    h.view().setFalloffWidth(40.0f);
    const int wide = countNear(h.render(), at, ring, 150);
    EXPECT_GT(wide, 20);
    h.send(FL_KEYBOARD, at[0], at[1], 'q');
    h.send(FL_KEYBOARD, at[0], at[1], 'q');
    const int narrow = countNear(h.render(), at, ring, 150);
    EXPECT_GT(narrow, 5);
    EXPECT_LT(narrow, 0.75 * wide);
}

}  // namespace
