#include <gtest/gtest.h>

#include "view/motion_view.h"
#include "view_harness.h"

namespace {

// Opens a walker into the document and shows it in the view.
bool showWalker(MotionView& view, Document& document, int frames, bool alongZ) {
    if (!document.open(
            writeScratch(alongZ ? "walker_z.bvh" : "walker_x.bvh", walkerBvh(frames, alongZ))))
        return false;
    view.setDocument(&document);
    return true;
}

TEST(MotionViewState, OptionsStartAsDocumentedAndToggleOneByOne) {
    MotionView view(0, 0, 200, 100);
    EXPECT_STREQ(view.label(), "Motion Window");
    const int on[] = {OptionGrid, OptionAxes, OptionBones, OptionPath, OptionShadow, OptionPlane};
    const int off[] = {OptionTrackMotion, OptionStrobes, OptionBoundingBox, OptionOriginalPath,
                       OptionPathSpeed};
    for (int n : on)
        EXPECT_TRUE(view.option(n)) << n;
    for (int n : off)
        EXPECT_FALSE(view.option(n)) << n;
    for (int n : on) {
        view.toggleOption(n);
        for (int m = 0; m <= 13; ++m) {
            const bool expected = m == n ? false : view.option(m);
            EXPECT_EQ(view.option(m), expected) << n << " changed " << m;
        }
        view.toggleOption(n);
        EXPECT_TRUE(view.option(n));
    }
    // 8 is no option, nor are numbers outside the table.
    for (int n : {0, 8, 13, -1}) {
        view.toggleOption(n);
        EXPECT_FALSE(view.option(n));
    }
    for (int n : on)
        EXPECT_TRUE(view.option(n));
    for (int n : off)
        EXPECT_FALSE(view.option(n));
    EXPECT_FLOAT_EQ(view.falloffWidth(), 0.0f) << "no motion, no radius";
}

TEST(MotionViewState, ResetWithoutMotionGoesBackToTheStartingView) {
    MotionView view(0, 0, 200, 100);
    view.zoom(0, 0);
    view.zoom(70, 0);
    view.panBegin(0, 0);
    view.pan(14, 7);
    view.orbitBegin(100, 50);
    view.orbitDrag(150, 80);
    view.wheelZoom(3);
    EXPECT_NE(view.camera().eye, Camera().eye);
    EXPECT_NE(view.camera().up, Camera().up);
    view.resetCamera();
    EXPECT_EQ(view.camera().eye, Camera().eye);
    EXPECT_EQ(view.camera().target, Camera().target);
    EXPECT_EQ(view.camera().up, Camera().up);
    // Frame changes and poses do nothing without a motion.
    view.setFrame(5);
    EXPECT_TRUE(view.shownPose().transforms.empty());
    EXPECT_EQ(view.motion(), nullptr);
}

TEST(MotionViewState, NewMotionFitsTheCameraToItsDirection) {
    MotionView view(0, 0, 200, 100);
    view.toggleOption(OptionTrackMotion);
    ASSERT_TRUE(view.option(OptionTrackMotion));
    Document document;
    ASSERT_TRUE(showWalker(view, document, 120, false));
    const float lift = 0.25f * view.motion()->markerRadius();
    EXPECT_FALSE(view.option(OptionTrackMotion));
    EXPECT_EQ(view.gridList(), 0u);
    EXPECT_FLOAT_EQ(view.shadowMatrix()[13], lift);
    const Camera& c = view.camera();
    EXPECT_EQ(c.eye[0], c.target[0]);
    EXPECT_GT(c.eye[2], view.motion()->bound(MaxZ)) << "on +z, looking along -z";

    ASSERT_TRUE(showWalker(view, document, 120, true));
    EXPECT_EQ(c.eye[2], c.target[2]);
    EXPECT_GT(c.eye[0], view.motion()->bound(MaxX)) << "on +x, looking along -x";
}

TEST(MotionViewState, FramesAreOneBasedAndHeldInsideTheMotion) {
    MotionView view(0, 0, 200, 100);
    Document document;
    ASSERT_TRUE(showWalker(view, document, 30, false));
    view.setFrame(1);
    EXPECT_EQ(view.frameRow(), 0);
    view.setFrame(30);
    EXPECT_EQ(view.frameRow(), 29);
    view.setFrame(31);
    EXPECT_EQ(view.frameRow(), 29);
    view.setFrame(0);
    EXPECT_EQ(view.frameRow(), 0);
    // The shown pose is the frame's pose as drawn: lifted, so that the feet of row 0 (legs
    // straight down) stand on y = 0, and at the root's place of that frame.
    view.setFrame(1);
    EXPECT_NEAR(view.shownPose().bounds[MinY], 0.0f, 1e-3f);
    view.setFrame(10);
    EXPECT_NEAR(view.shownPose().bounds[MaxX], 2.0f * 9 + 8, 1e-3f);
}

TEST(MotionViewState, TheFalloffWidthIsTheDocumentsRadiusInMarkerUnits) {
    MotionView view(0, 0, 200, 100);
    Document document;
    ASSERT_TRUE(showWalker(view, document, 120, false));
    const float marker = view.motion()->markerRadius();
    EXPECT_FLOAT_EQ(view.falloffWidth() * marker, document.falloffRadius());
    view.setFalloffWidth(50.0f);
    EXPECT_FLOAT_EQ(document.falloffRadius(), marker * 50.0f);
    EXPECT_FLOAT_EQ(view.edit()->curve().falloffRadius(), marker * 50.0f);
    // A motion loaded next starts from its own default, with the shape chosen before.
    document.setFalloff(FalloffShape::Smooth);
    ASSERT_TRUE(showWalker(view, document, 120, true));
    EXPECT_FLOAT_EQ(document.falloffRadius(),
                    static_cast<float>(3.0 * view.edit()->meanPointSpacing()));
    EXPECT_EQ(view.edit()->curve().falloffShape(), FalloffShape::Smooth);
}

// While tracking, the very draw that shows a new frame is centred on it: the camera moves before
// it is handed to the GL, so picture and picking share it.
TEST(MotionViewTracking, TheDrawAfterAJumpIsCentredOnTheNewFrame) {
    ViewHarness h;
    ASSERT_TRUE(h.load(writeScratch("walker_x.bvh", walkerBvh(200, false))));
    h.view().toggleOption(OptionTrackMotion);
    h.view().toggleOption(OptionAxes);  // the x axis is drawn in the markers' red
    h.view().setFrame(1);
    h.render();
    h.view().setFrame(180);
    const std::vector<unsigned char> pixels = h.render();
    double sumX = 0.0;
    int red = 0;
    for (int y = 0; y < ViewHarness::kHeight; ++y) {
        for (int x = 0; x < ViewHarness::kWidth; ++x) {
            const unsigned char* p =
                &pixels[static_cast<std::size_t>((y * ViewHarness::kWidth + x) * 3)];
            if (p[0] > 240 && p[1] > 50 && p[1] < 80 && p[2] > 50 && p[2] < 80) {
                sumX += x;
                ++red;
            }
        }
    }
    ASSERT_GT(red, 10) << "no figure in the picture";
    EXPECT_NEAR(sumX / red, ViewHarness::kWidth / 2.0, ViewHarness::kWidth / 8.0);
}

TEST(MotionViewTracking, TargetFollowsTheEditedPath) {
    ViewHarness h;
    MotionView& view = h.view();
    ASSERT_TRUE(h.load(writeScratch("walker_x.bvh", walkerBvh(200, false))));
    const Motion& m = *view.motion();
    const PathEdit& e = *view.edit();
    const ControlCurve& curve = e.curve();
    view.toggleOption(OptionTrackMotion);

    // Push control point 2 sideways; the frames around it now run off the recorded line.
    CurvePoint p;
    ASSERT_TRUE(curve.getPoint(2, p));
    h.document().select(2);
    ASSERT_TRUE(h.document().beginDrag());
    const double y = e.path().height();
    ASSERT_TRUE(h.document().dragTo({p.x, y + 1.0, p.z + 80.0}, {p.x, y - 1.0, p.z + 80.0}));
    h.document().commitDrag();
    view.setFrame(101);
    h.render();
    CurvePoint expected;
    curve.evaluate(e.path().frameParameter(100, m.frameCount()), expected);
    EXPECT_NEAR(view.camera().target[0], expected.x, 1e-3);
    EXPECT_NEAR(view.camera().target[2], expected.z, 1e-3);
    EXPECT_GT(expected.z, 40.0) << "the edit reached this frame";
    EXPECT_EQ(view.camera().eye[0], view.camera().target[0]);

    // An orbit and a zoom while tracking last: the camera keeps the side and distance it was
    // given and only follows the figure.
    view.orbitBegin(100, 100);
    view.orbitDrag(160, 140);
    view.wheelZoom(-2);
    const Camera turned = view.camera();
    view.setFrame(151);
    h.render();
    curve.evaluate(e.path().frameParameter(150, m.frameCount()), expected);
    EXPECT_NEAR(view.camera().target[0], expected.x, 1e-3);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(view.camera().eye[i] - view.camera().target[i],
                    turned.eye[i] - turned.target[i], 1e-6);

    // Switching it off fits the camera to the whole motion again.
    view.toggleOption(OptionTrackMotion);
    Camera fitted;
    fitCamera(fitted, e.bounds());
    EXPECT_EQ(view.camera().target, fitted.target);
}

// Presets keep Track Motion: from the top the camera looks straight down on the figure and
// moves with it; Reset Camera switches tracking off and gives the fitted view again.
TEST(MotionViewTracking, PresetsKeepTrackingAndTheirSide) {
    ViewHarness h;
    MotionView& view = h.view();
    ASSERT_TRUE(h.load(writeScratch("walker_z.bvh", walkerBvh(200, true))));
    const Motion& m = *view.motion();
    const Camera fitted = view.camera();
    view.toggleOption(OptionTrackMotion);
    view.viewFromPreset(CameraPreset::Top);
    EXPECT_TRUE(view.option(OptionTrackMotion));
    view.setFrame(120);
    h.render();
    const Camera& c = view.camera();
    CurvePoint p;
    view.edit()->curve().evaluate(view.edit()->path().frameParameter(119, m.frameCount()), p);
    EXPECT_NEAR(c.target[0], p.x, 1e-3);
    EXPECT_NEAR(c.target[2], p.z, 1e-3);
    EXPECT_NEAR(c.eye[0], c.target[0], 1e-9);
    EXPECT_NEAR(c.eye[2], c.target[2], 1e-9);
    EXPECT_GT(c.eye[1], view.shownPose().bounds[MaxY]);
    // At the tracking distance: the figure fills the view, not the whole walk.
    EXPECT_LT(c.eye[1] - c.target[1], fitted.eye[0] - fitted.target[0]);
    view.resetCamera();
    EXPECT_FALSE(view.option(OptionTrackMotion));
    EXPECT_EQ(view.camera().eye, fitted.eye);
    EXPECT_EQ(view.camera().up, fitted.up);
}

}  // namespace
