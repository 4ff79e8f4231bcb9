#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "motion/pose.h"
#include "view/camera.h"
#include "view/motion_view.h"
#include "view/picking.h"
#include "view_harness.h"

namespace {

// A dense path: points a third of a cube's edge apart along x, with a gentle bend in z.
ControlCurve densePath(int count, float height) {
    ControlCurve curve;
    curve.setHeight(height);
    for (int i = 0; i < count; ++i)
        curve.setPoint({0.4 * height * 0.33 * i, 3.0 * std::sin(0.05 * i)}, i);
    return curve;
}

TEST(PickRule, TheCentreOfEveryCubeOfADensePathPicksThatCube) {
    const ControlCurve curve = densePath(120, 10.0f);
    // From above and from the front (from the side the path is seen end-on).
    for (CameraPreset preset : {CameraPreset::Top, CameraPreset::Front}) {
        Camera camera;
        fitCameraPreset(camera, {170.0f, -5.0f, 20.0f, 0.0f, 10.0f, -10.0f}, preset);
        int picked = 0;
        for (int i = 0; i < curve.pointCount(); ++i) {
            CurvePoint p;
            curve.getPoint(i, p);
            const auto at = projectToPixel(camera, {p.x, curve.height(), p.z}, 800, 600);
            ASSERT_TRUE(at);
            picked += controlPointUnder(curve, camera, at->at(0), at->at(1), 800, 600) == i;
        }
        EXPECT_EQ(picked, curve.pointCount()) << static_cast<int>(preset);
    }
    // A click on empty sky picks nothing; a cube behind the eye is never picked.
    Camera camera;
    fitCamera(camera, {170.0f, -5.0f, 20.0f, 0.0f, 10.0f, -10.0f});
    EXPECT_EQ(controlPointUnder(curve, camera, 400, 5, 800, 600), -1);
    ControlCurve behind;
    behind.setHeight(10.0f);
    for (int i = 0; i < 3; ++i)
        behind.setPoint({camera.eye[0], camera.eye[2] + 50.0 + i}, i);
    for (int y = 0; y < 600; y += 20)
        EXPECT_EQ(controlPointUnder(behind, camera, 400, y, 800, 600), -1) << y;
}

class ViewPicking : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(h.load(writeScratch("pick_walker.bvh", walkerBvh(300, false))));
        h.view().setFrame(1);
        h.render();
    }
    const Motion& motion() { return *h.view().motion(); }
    const PathEdit& edit() { return *h.view().edit(); }
    const ControlCurve& curve() { return edit().curve(); }
    // Window pixel of control point i at the path's height.
    std::array<int, 2> pointPixel(int i) {
        CurvePoint p;
        curve().getPoint(i, p);
        return h.pixelOf(p.x, edit().path().height(), p.z);
    }
    int click(std::array<int, 2> at) {
        const int pushed = h.send(FL_PUSH, at[0], at[1], FL_Button + 1);
        h.send(FL_RELEASE, at[0], at[1], FL_Button + 1);
        return pushed;
    }
    ViewHarness h;
};

TEST_F(ViewPicking, ClickOnACubeSelectsItAndEmptyGroundKeepsTheSelection) {
    ASSERT_GE(curve().pointCount(), 5);
    const int target = curve().pointCount() - 2;  // far from the figure at frame 1
    EXPECT_EQ(click(pointPixel(target)), 1);
    EXPECT_EQ(curve().selected(), target);
    const int other = curve().pointCount() / 2;
    click(pointPixel(other));
    EXPECT_EQ(curve().selected(), other);
    // Empty ground well in front of the path.
    click({ViewHarness::kWidth / 2, ViewHarness::kHeight - 5});
    EXPECT_EQ(curve().selected(), other);
}

TEST_F(ViewPicking, ThePointUnderTheCursorShowsWhatADragWouldMove) {
    const int target = curve().pointCount() / 2;
    const auto at = pointPixel(target);
    const auto neighbour = pointPixel(target + 1);
    auto colourOf = [&](const std::vector<unsigned char>& pixels, std::array<int, 2> p) {
        const unsigned char* c =
            &pixels[static_cast<std::size_t>((p[1] * ViewHarness::kWidth + p[0]) * 3)];
        return std::array<int, 3>{c[0], c[1], c[2]};
    };
    auto colourAt = [&](const std::vector<unsigned char>& pixels) { return colourOf(pixels, at); };
    EXPECT_EQ(colourAt(h.render()), (std::array<int, 3>{0, 0, 255})) << "not hovered";
    h.send(FL_MOVE, at[0], at[1], 0);
    std::vector<unsigned char> pixels = h.render();
    EXPECT_EQ(colourAt(pixels), (std::array<int, 3>{0, 255, 0})) << "hovered, whatever the options";
    EXPECT_EQ(colourOf(pixels, neighbour), (std::array<int, 3>{0, 0, 255})) << "no falloff";
    h.document().setFalloff(FalloffShape::Linear);
    h.view().setFalloffWidth(1000.0f);  // the neighbour lies well inside
    pixels = h.render();
    EXPECT_GT(colourOf(pixels, neighbour)[1], 100) << "the neighbour a drag would move";
    h.send(FL_LEAVE, 0, 0, 0);
    EXPECT_EQ(colourAt(h.render()), (std::array<int, 3>{0, 0, 255}));
}

TEST_F(ViewPicking, NothingIsPickedWithThePathOff) {
    h.view().toggleOption(OptionPath);
    click(pointPixel(curve().pointCount() - 2));
    EXPECT_EQ(curve().selected(), -1);
}

TEST_F(ViewPicking, DragMovesThePointUnderTheCursorAndTheReleaseEndsTheEdit) {
    const int target = curve().pointCount() - 2;
    const auto at = pointPixel(target);
    const double height = edit().path().height();
    const float maxZBefore = edit().bounds()[MaxZ];
    h.send(FL_PUSH, at[0], at[1], FL_Button + 1);
    ASSERT_EQ(curve().selected(), target);

    const int toX = at[0] + 30, toY = at[1] + 40;  // towards the eye: +z on the ground
    EXPECT_EQ(h.send(FL_DRAG, toX, toY, FL_Button + 1), 1);
    CurvePoint moved;
    curve().getPoint(target, moved);
    const auto expected = h.groundUnder(toX, toY, height);
    EXPECT_NEAR(moved.x, expected[0], 1e-3);
    EXPECT_NEAR(moved.z, expected[1], 1e-3);
    EXPECT_EQ(curve().selected(), target) << "still dragging";
    h.render();
    ASSERT_NE(h.view().gridList(), 0u);
    const unsigned int gridDuringDrag = h.view().gridList();

    EXPECT_EQ(h.view().gridBounds(), edit().bounds());
    h.send(FL_RELEASE, toX, toY, FL_Button + 1);
    EXPECT_EQ(curve().selected(), -1);
    EXPECT_GT(edit().bounds()[MaxZ], maxZBefore) << "bounds refreshed for the edited path";
    EXPECT_TRUE(h.document().canUndo()) << "the drag is one step of history";
    h.render();
    EXPECT_EQ(h.view().gridBounds(), edit().bounds()) << "the grid follows the bounds";
    EXPECT_NE(gridDuringDrag, 0u);
}

TEST_F(ViewPicking, ReleaseAtThePressKeepsSelectionBoundsAndGrid) {
    const int target = curve().pointCount() - 2;
    const auto at = pointPixel(target);
    CurvePoint before;
    curve().getPoint(target, before);
    const Bounds bounds = edit().bounds();
    const unsigned int grid = h.view().gridList();
    click(at);
    EXPECT_EQ(curve().selected(), target);
    EXPECT_EQ(h.view().gridList(), grid);
    EXPECT_EQ(edit().bounds(), bounds);
    CurvePoint after;
    curve().getPoint(target, after);
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.z, before.z);
}

TEST_F(ViewPicking, FalloffKeysStepByTenAndEveryKeyIsConsumed) {
    Fl::focus(nullptr);
    h.send(FL_PUSH, 10, 10, FL_Button + 3);
    EXPECT_EQ(Fl::focus(), &h.view()) << "a click gives the view the keyboard";
    h.document().setFalloff(FalloffShape::Linear);
    h.view().setFalloffWidth(30.0f);
    const float r = motion().markerRadius();
    for (float expected : {20.0f, 10.0f, 0.0f, 0.0f}) {
        EXPECT_EQ(h.send(FL_KEYBOARD, 0, 0, 'q'), 1);
        EXPECT_FLOAT_EQ(h.view().falloffWidth(), expected);
        EXPECT_FLOAT_EQ(curve().falloffRadius(), expected * r);
    }
    EXPECT_EQ(h.send(FL_KEYBOARD, 0, 0, 'w'), 1);
    EXPECT_FLOAT_EQ(h.view().falloffWidth(), 10.0f);
    EXPECT_FLOAT_EQ(curve().falloffRadius(), 10.0f * r);
    EXPECT_EQ(h.send(FL_KEYBOARD, 0, 0, 'a'), 1);
    // The playback keys are left to the window.
    for (int key : {int(' '), FL_Left, FL_Right, FL_Home, FL_End})
        EXPECT_EQ(h.send(FL_KEYBOARD, 0, 0, key), 0) << key;
    // With the falloff off the keys are consumed and change nothing.
    h.document().setFalloff(FalloffShape::Off);
    EXPECT_EQ(h.send(FL_KEYBOARD, 0, 0, 'w'), 1);
    EXPECT_FLOAT_EQ(h.view().falloffWidth(), 10.0f);
    EXPECT_EQ(curve().falloffShape(), FalloffShape::Off);
    // Alt + key is a menu shortcut: declined, so that the menu bar gets it.
    EXPECT_EQ(h.send(FL_KEYBOARD, 0, 0, 'o', FL_ALT), 0);
}

TEST(ViewPickingEmpty, LeftDragsWithoutAMotionDoNothing) {
    ViewHarness h;
    h.render();
    EXPECT_EQ(h.send(FL_PUSH, 200, 250, FL_Button + 1), 1);
    EXPECT_EQ(h.send(FL_DRAG, 220, 260, FL_Button + 1), 1);
    EXPECT_EQ(h.send(FL_RELEASE, 220, 260, FL_Button + 1), 1);
    EXPECT_EQ(h.view().motion(), nullptr);
    EXPECT_EQ(h.view().camera().eye, Camera().eye);
}

}  // namespace
