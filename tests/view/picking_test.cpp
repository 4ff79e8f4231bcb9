#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "motion/pose.h"
#include "view/motion_view.h"
#include "view/picking.h"
#include "view_harness.h"

namespace {

TEST(PickRule, SecondNameOfTheSecondRecordWhenThereAreThree) {
    // [0] (path line), [0, 4] (cube 4), [0, 0] (ground behind)
    const unsigned int clickOnCube[] = {1, 5, 6, 0, 2, 7, 8, 0, 4, 2, 9, 9, 0, 0};
    EXPECT_EQ(pickedControlPoint(clickOnCube, 3, kSelectBufferSize), 4);
    // The cube alone in front of the ground: two records, nothing picked.
    const unsigned int cubeOnly[] = {2, 7, 8, 0, 4, 2, 9, 9, 0, 0};
    EXPECT_EQ(pickedControlPoint(cubeOnly, 2, kSelectBufferSize), -1);
    EXPECT_EQ(pickedControlPoint(clickOnCube, -1, kSelectBufferSize), -1) << "overflow";
    // A second record without a second name (not a control point) selects nothing.
    const unsigned int noSecondName[] = {1, 5, 6, 0, 1, 7, 8, 0, 2, 9, 9, 0, 0};
    EXPECT_EQ(pickedControlPoint(noSecondName, 3, kSelectBufferSize), -1);
    // A first record claiming more names than the buffer holds is not followed.
    const unsigned int huge[] = {1000, 5, 6, 0};
    EXPECT_EQ(pickedControlPoint(huge, 3, 4), -1);
}

class ViewPicking : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(h.load(writeTempFile("pick_walker.bvh", walkerBvh(300, false))));
        h.view().setFrame(1);
        h.render();
    }
    const Motion& motion() { return *h.view().motion(); }
    const ControlCurve& curve() { return *motion().rootPath()->curve(); }
    // Window pixel of control point i at the path's height.
    std::array<int, 2> pointPixel(int i) {
        CurvePoint p;
        curve().getPoint(i, p);
        return h.pixelOf(p.x, motion().rootPath()->height(), p.z);
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

TEST_F(ViewPicking, NothingIsPickedWithThePathOff) {
    h.view().toggleOption(OptionPath);
    click(pointPixel(curve().pointCount() - 2));
    EXPECT_EQ(curve().selected(), -1);
}

TEST_F(ViewPicking, DragMovesThePointUnderTheCursorAndTheReleaseEndsTheEdit) {
    const int target = curve().pointCount() - 2;
    const auto at = pointPixel(target);
    const double height = motion().rootPath()->height();
    const float maxZBefore = motion().bound(MaxZ);
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

    EXPECT_EQ(h.view().gridBounds(), motion().motionBounds());
    h.send(FL_RELEASE, toX, toY, FL_Button + 1);
    EXPECT_EQ(curve().selected(), -1);
    EXPECT_GT(motion().bound(MaxZ), maxZBefore) << "bounds refreshed for the edited path";
    EXPECT_TRUE(h.document().canUndo()) << "the drag is one step of history";
    h.render();
    EXPECT_EQ(h.view().gridBounds(), motion().motionBounds()) << "the grid follows the bounds";
    EXPECT_NE(gridDuringDrag, 0u);
}

TEST_F(ViewPicking, ReleaseAtThePressKeepsSelectionBoundsAndGrid) {
    const int target = curve().pointCount() - 2;
    const auto at = pointPixel(target);
    CurvePoint before;
    curve().getPoint(target, before);
    const Bounds bounds = motion().motionBounds();
    const unsigned int grid = h.view().gridList();
    click(at);
    EXPECT_EQ(curve().selected(), target);
    EXPECT_EQ(h.view().gridList(), grid);
    EXPECT_EQ(motion().motionBounds(), bounds);
    CurvePoint after;
    curve().getPoint(target, after);
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.z, before.z);
}

TEST_F(ViewPicking, FalloffKeysStepByTenAndEveryKeyIsConsumed) {
    Fl::focus(nullptr);
    h.send(FL_PUSH, 10, 10, FL_Button + 3);
    EXPECT_EQ(Fl::focus(), &h.view()) << "a click gives the view the keyboard";
    h.view().toggleOption(OptionLinearFalloff);
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
    // Without Linear Falloff the keys are consumed and change nothing.
    h.view().toggleOption(OptionLinearFalloff);
    EXPECT_EQ(h.send(FL_KEYBOARD, 0, 0, 'w'), 1);
    EXPECT_FLOAT_EQ(h.view().falloffWidth(), 10.0f);
    EXPECT_FLOAT_EQ(curve().falloffRadius(), 0.0f);
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
