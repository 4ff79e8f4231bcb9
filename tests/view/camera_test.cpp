#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "view/camera.h"
#include "view_harness.h"

namespace {

constexpr int kW = 790;
constexpr int kH = 755;

// max x, min x, max y, min y, max z, min z
CameraBounds bounds(float minX, float maxX, float minY, float maxY, float minZ, float maxZ) {
    return {maxX, minX, maxY, minY, maxZ, minZ};
}

// A motion 400 long on x and one 500 long on z: the fitted camera looks from +z and from +x.
const CameraBounds kAlongX = bounds(0, 400, -5, 170, -20, 20);
const CameraBounds kAlongZ = bounds(-10, 30, 0, 170, 0, 500);

double distance(const CameraVector& a, const CameraVector& b) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

CameraVector along(const CameraVector& from, const CameraVector& direction, double s) {
    return {from[0] + s * direction[0], from[1] + s * direction[1], from[2] + s * direction[2]};
}

std::array<double, 2> pixelOf(const Camera& c, const CameraVector& p, int w = kW, int h = kH) {
    const auto pixel = projectToPixel(c, p, w, h);
    EXPECT_TRUE(pixel.has_value());
    return pixel.value_or(std::array<double, 2>{-1e9, -1e9});
}

void expectPixel(const Camera& c, const CameraVector& p, double x, double y, int w = kW,
                 int h = kH) {
    const auto at = pixelOf(c, p, w, h);
    EXPECT_NEAR(at[0], x, 1e-6);
    EXPECT_NEAR(at[1], y, 1e-6);
}

// The point under window pixel (px, py) at the depth of the camera's target, along the pixel's
// ray (from the eye in perspective, parallel to the line of sight in the orthographic view).
CameraVector atTargetDepth(const Camera& c, int px, int py, int w = kW, int h = kH) {
    const CameraRay ray = pixelRay(c, px, py, w, h);
    const double r = distance(c.eye, c.target);
    double cosine = 0.0, start = 0.0;
    for (int i = 0; i < 3; ++i) {
        cosine += ray.direction[i] * (c.target[i] - c.eye[i]) / r;
        start += (ray.origin[i] - c.eye[i]) * (c.target[i] - c.eye[i]) / r;
    }
    return along(ray.origin, ray.direction, (r - start) / cosine);
}

// The height of the eye above the target's horizon, in degrees.
double elevation(const Camera& c) {
    const double flat = std::hypot(c.eye[0] - c.target[0], c.eye[2] - c.target[2]);
    return std::atan2(c.eye[1] - c.target[1], flat) * 180.0 / M_PI;
}

double degreesOfDrag(int pixels, int size) {
    return 4.0 * pixels / size * 180.0 / M_PI;
}

// A level horizon: the world's vertical through the target is drawn vertical, pointing up.
void expectLevel(const Camera& c) {
    const auto foot = pixelOf(c, c.target);
    const auto head = pixelOf(c, {c.target[0], c.target[1] + 1.0, c.target[2]});
    EXPECT_NEAR(head[0], foot[0], 1e-6);
    EXPECT_LT(head[1], foot[1]);
}

TEST(CameraFit, FitsFromPlusZAlongXAndFromPlusXAlongZ) {
    Camera c;
    // The lowest point is below 0: the figure is drawn lifted, so the target is at Y / 2.
    fitCamera(c, kAlongX);
    EXPECT_FLOAT_EQ(c.nearPlane, 40.0f / 3.0f);
    EXPECT_FLOAT_EQ(c.farTerm, 1200.0f);
    EXPECT_EQ(c.target, (CameraVector{200.0, 87.5, 0.0}));
    EXPECT_EQ(c.eye, (CameraVector{200.0, 87.5, 20.0 + 400.0}));
    EXPECT_EQ(c.up, (CameraVector{0.0, 1.0, 0.0}));
    EXPECT_FLOAT_EQ(farPlane(c), 420.0f + 1200.0f);
    fitCamera(c, kAlongZ);
    EXPECT_EQ(c.target, (CameraVector{10.0, 85.0, 250.0}));
    EXPECT_EQ(c.eye, (CameraVector{10.0 + 20.0 + 500.0, 85.0, 250.0}));
    // A square footprint (X == Z) also looks along -x.
    fitCamera(c, bounds(0, 100, 0, 50, 0, 100));
    EXPECT_GT(c.eye[0], c.target[0]);
    EXPECT_EQ(c.eye[2], c.target[2]);
}

TEST(CameraFit, FlatOrMotionlessMotionStillGetsAUsableProjection) {
    Camera c;
    fitCamera(c, bounds(0, 400, 0, 0, -20, 20));  // no height at all
    EXPECT_EQ(c.nearPlane, 0.0);
    EXPECT_DOUBLE_EQ(usableNearPlane(c), farPlane(c) / 1000.0);
    c.nearPlane = 1e-9;  // flat up to rounding: as bad for the depth buffer
    EXPECT_DOUBLE_EQ(usableNearPlane(c), farPlane(c) / 1000.0);
    for (CameraPreset p : {CameraPreset::Top, CameraPreset::Front, CameraPreset::Side}) {
        fitCameraPreset(c, bounds(0, 0, 0, 0, 0, 0), p);  // a single motionless point
        EXPECT_GT(usableNearPlane(c), 0.0);
        EXPECT_GT(farPlane(c), usableNearPlane(c));
        EXPECT_NE(c.eye, c.target);  // a look-at from the target itself has no direction
    }
}

TEST(CameraPresets, LookDownTheirAxisAndFitTheWholeMotion) {
    const CameraBounds b = bounds(-300, 100, 0, 170, 50, 250);
    struct Expect {
        CameraPreset preset;
        CameraVector sight;        // from the eye to the target
        CameraVector screenRight;  // the world direction drawn to the right
    };
    for (const Expect& e : {Expect{CameraPreset::Top, {0, -1, 0}, {1, 0, 0}},
                            Expect{CameraPreset::Front, {0, 0, -1}, {1, 0, 0}},
                            Expect{CameraPreset::Side, {-1, 0, 0}, {0, 0, -1}}}) {
        SCOPED_TRACE(static_cast<int>(e.preset));
        Camera c;
        fitCameraPreset(c, b, e.preset);
        const double d = distance(c.eye, c.target);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR((c.target[i] - c.eye[i]) / d, e.sight[i], 1e-12);
        expectPixel(c, c.target, kW / 2.0, kH / 2.0);
        const auto right = pixelOf(c, along(c.target, e.screenRight, 1.0));
        EXPECT_GT(right[0], kW / 2.0);
        EXPECT_NEAR(right[1], kH / 2.0, 1e-6);
        // Every corner of the motion's box is in the view, between the clipping planes.
        for (int corner = 0; corner < 8; ++corner) {
            const CameraVector p{corner & 1 ? 100.0 : -300.0, corner & 2 ? 170.0 : 0.0,
                                 corner & 4 ? 250.0 : 50.0};
            const auto px = pixelOf(c, p);
            EXPECT_TRUE(px[0] >= 0 && px[0] <= kW && px[1] >= 0 && px[1] <= kH) << corner;
            double depth = 0.0;
            for (int i = 0; i < 3; ++i)
                depth += (p[i] - c.eye[i]) * e.sight[i];
            EXPECT_GT(depth, usableNearPlane(c));
            EXPECT_LT(depth, farPlane(c));
        }
    }
    // The top view reads like a map: x to the right, -z up the screen.
    Camera top;
    fitCameraPreset(top, b, CameraPreset::Top);
    EXPECT_LT(pixelOf(top, along(top.target, {0, 0, -1}, 1.0))[1], kH / 2.0);
    // Without a motion a preset only turns the camera about its target.
    Camera turned;
    turnCameraToPreset(turned, CameraPreset::Top);
    EXPECT_EQ(turned.target, Camera().target);
    EXPECT_NEAR(turned.eye[1], distance(Camera().eye, Camera().target), 1e-9);
}

TEST(CameraOrbit, VerticalDragTiltsWithoutRollingWhateverTheSideOrEarlierTurns) {
    for (const CameraBounds& b : {kAlongX, kAlongZ}) {
        Camera start;
        fitCamera(start, b);
        for (int earlierTurn : {0, 150, -400}) {
            Camera turned = start;
            orbitCamera(turned, start, earlierTurn, 0, kW, kH);
            Camera c = turned;
            orbitCamera(c, turned, 0, 100, kW, kH);  // downwards raises the eye
            expectLevel(c);
            EXPECT_NEAR(elevation(c), degreesOfDrag(100, kH), 1e-9);
            EXPECT_NEAR(distance(c.eye, c.target), distance(start.eye, start.target), 1e-9);
            EXPECT_EQ(c.target, start.target);
            // Seen from above, the eye stays on its side.
            EXPECT_NEAR(
                std::atan2(c.eye[0] - c.target[0], c.eye[2] - c.target[2]),
                std::atan2(turned.eye[0] - turned.target[0], turned.eye[2] - turned.target[2]),
                1e-9);
        }
    }
}

TEST(CameraOrbit, HorizontalDragTurnsTheSceneAndTheTiltStopsShortOfStraightDown) {
    Camera tilted;
    fitCamera(tilted, kAlongX);
    orbitCamera(tilted, Camera(tilted), 0, 60, kW, kH);
    Camera c = tilted;
    orbitCamera(c, tilted, 40, 0, kW, kH);
    expectLevel(c);
    EXPECT_NEAR(elevation(c), elevation(tilted), 1e-9);
    // A point in front of the target moves right with the mouse.
    const CameraVector front = along(tilted.target, {0, 0, 1}, 50.0);
    EXPECT_GT(pixelOf(c, front)[0], pixelOf(tilted, front)[0]);
    // The angle follows the whole drag, not the events it came in.
    Camera steps = tilted;
    orbitCamera(steps, tilted, 20, 0, kW, kH);
    orbitCamera(steps, tilted, 40, 0, kW, kH);
    EXPECT_LT(distance(steps.eye, c.eye), 1e-9);

    orbitCamera(c, tilted, 0, 5000, kW, kH);
    EXPECT_NEAR(elevation(c), 89.0, 1e-9);
    orbitCamera(c, tilted, 0, -5000, kW, kH);
    EXPECT_NEAR(elevation(c), -89.0, 1e-9);
    expectLevel(c);

    // The top view looks straight down and stays there; a horizontal drag spins the map, and
    // tilting back comes down on the side of the map's bottom edge.
    Camera top;
    fitCameraPreset(top, kAlongZ, CameraPreset::Top);
    Camera spun = top;
    orbitCamera(spun, top, kW / 8, 10, kW, kH);
    EXPECT_NEAR(elevation(spun), 90.0, 1e-9);
    EXPECT_GT(std::fabs(pixelOf(spun, along(top.target, {1, 0, 0}, 10.0))[1] - kH / 2.0), 1.0);
    Camera down = top;
    orbitCamera(down, top, 0, -100, kW, kH);
    EXPECT_NEAR(elevation(down), 90.0 - degreesOfDrag(100, kH), 1e-9);
    EXPECT_GT(down.eye[2], down.target[2]);
    expectLevel(down);
}

TEST(CameraZoom, NeverReachesTheTarget) {
    Camera c;
    const double d0 = distance(c.eye, c.target);
    scaleCameraDistance(c, dragZoomFactor(7, 0));  // a drag to the right, along the line of sight
    EXPECT_LT(distance(c.eye, c.target), d0);
    EXPECT_NEAR(c.eye[1] / c.eye[2], 2.0 / 100.0, 1e-12);
    // A share of the distance per pixel, up as right and down as left, both axes counted: 300
    // pixels come well closer, 40 only a little, whatever the figure's units.
    EXPECT_DOUBLE_EQ(dragZoomFactor(0, -7), dragZoomFactor(7, 0));
    EXPECT_DOUBLE_EQ(dragZoomFactor(5, -2), dragZoomFactor(7, 0));
    EXPECT_DOUBLE_EQ(dragZoomFactor(-7, 0) * dragZoomFactor(7, 0), 1.0);
    EXPECT_DOUBLE_EQ(dragZoomFactor(7, 7), 1.0);
    EXPECT_LT(dragZoomFactor(300, 0), 0.5);
    EXPECT_GT(dragZoomFactor(40, 0), 0.75);
    for (int i = 0; i < 20000; ++i)
        scaleCameraDistance(c, dragZoomFactor(7, 0));
    EXPECT_GT(distance(c.eye, c.target), 0.0);

    // The wheel's factor, from the top: any number of notches in leaves the eye above.
    Camera top;
    fitCameraPreset(top, kAlongX, CameraPreset::Top);
    const double start = distance(top.eye, top.target);
    scaleCameraDistance(top, 0.9);
    EXPECT_NEAR(distance(top.eye, top.target), 0.9 * start, 1e-9 * start);
    for (int i = 0; i < 100000; ++i)
        scaleCameraDistance(top, 0.9);
    EXPECT_GT(top.eye[1], top.target[1]);
    for (double bad : {0.0, -2.0, std::nan("")}) {
        const Camera before = top;
        scaleCameraDistance(top, bad);
        EXPECT_EQ(top.eye, before.eye);
    }
}

TEST(CameraPan, ThePointUnderTheCursorFollowsIt) {
    Camera fitted, top;
    fitCamera(fitted, kAlongZ);
    fitCameraPreset(top, kAlongX, CameraPreset::Top);
    Camera turned = fitted;
    orbitCamera(turned, fitted, 170, 90, kW, kH);
    for (const Camera& start : {Camera(), fitted, top, turned}) {
        Camera c = start;
        const CameraVector grabbed = atTargetDepth(c, 300, 200);
        panCamera(c, 300, 200, 420, 150, kW, kH);
        panCamera(c, 420, 150, 450, 260, kW, kH);
        expectPixel(c, grabbed, 450, 260);
        // A pan neither turns nor zooms.
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(c.eye[i] - c.target[i], start.eye[i] - start.target[i], 1e-9);
        EXPECT_EQ(c.up, start.up);
    }
}

TEST(CameraRays, PixelRayAndProjectionRoundTrip) {
    Camera fitted, top;
    fitCamera(fitted, kAlongX);
    fitCameraPreset(top, kAlongZ, CameraPreset::Top);
    Camera turned = fitted;
    orbitCamera(turned, fitted, -230, 140, kW, kH);
    for (const Camera& c : {Camera(), fitted, turned, top}) {
        for (const auto& [px, py] : {std::pair{0.0, 0.0}, std::pair{395.0, 377.5},
                                     std::pair{789.0, 20.0}, std::pair{13.5, 700.25}}) {
            const CameraRay ray = pixelRay(c, px, py, kW, kH);
            EXPECT_NEAR(distance(ray.direction, {0, 0, 0}), 1.0, 1e-12);
            double depth = 0.0;  // of the origin: on the near plane
            for (int i = 0; i < 3; ++i)
                depth += (ray.origin[i] - c.eye[i]) * (c.target[i] - c.eye[i]) /
                         distance(c.eye, c.target);
            EXPECT_NEAR(depth, usableNearPlane(c), 1e-9 * farPlane(c));
            for (double s : {0.0, 10.0, 5000.0})
                expectPixel(c, along(ray.origin, ray.direction, s), px, py);
        }
        // Nothing level with or behind the eye has a pixel.
        EXPECT_FALSE(projectToPixel(c, c.eye, kW, kH).has_value());
        const CameraVector behind{2 * c.eye[0] - c.target[0], 2 * c.eye[1] - c.target[1],
                                  2 * c.eye[2] - c.target[2]};
        EXPECT_FALSE(projectToPixel(c, behind, kW, kH).has_value());
    }
}

// The matrices setupCamera multiplies on, against what GLU builds from the same camera.
TEST(CameraMatrices, EqualWhatGluBuilds) {
    ViewHarness h;
    h.view().make_current();
    Camera fitted, top;
    fitCamera(fitted, kAlongZ);
    fitCameraPreset(top, kAlongX, CameraPreset::Top);
    Camera turned = fitted;
    orbitCamera(turned, fitted, 300, -80, kW, kH);
    for (const Camera& c : {Camera(), fitted, turned, top}) {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        // The top view is orthographic: at every depth what the perspective shows at the target.
        const double half = distance(c.eye, c.target) * std::tan(M_PI / 6.0);
        const double aspect = static_cast<double>(kW) / kH;
        if (c.orthographic)
            glOrtho(-half * aspect, half * aspect, -half, half, usableNearPlane(c), farPlane(c));
        else
            gluPerspective(60.0, aspect, usableNearPlane(c), farPlane(c));
        GLdouble projection[16], view[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glLoadIdentity();
        gluLookAt(c.eye[0], c.eye[1], c.eye[2], c.target[0], c.target[1], c.target[2], c.up[0],
                  c.up[1], c.up[2]);
        glGetDoublev(GL_PROJECTION_MATRIX, view);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        // The GL keeps its matrices in floats, and GLU builds the look-at in floats too.
        const CameraMatrix p = projectionMatrix(c, kW, kH);
        const CameraMatrix v = viewMatrix(c);
        const double scale = std::max(1.0, distance(c.eye, {0, 0, 0}));
        for (int i = 0; i < 16; ++i) {
            EXPECT_NEAR(p[i], projection[i], 1e-6 * std::max(1.0, std::fabs(p[i]))) << i;
            EXPECT_NEAR(v[i], view[i], (i >= 12 ? scale : 1.0) * 1e-6) << i;
        }
    }
}

// The box around the pixels of the markers' red, or maxX < 0 when there are none.
struct RedBox {
    int minX = 1 << 20, maxX = -1, minY = 1 << 20, maxY = -1;
};
RedBox redBox(const std::vector<unsigned char>& pixels) {
    RedBox b;
    for (int y = 0; y < ViewHarness::kHeight; ++y)
        for (int x = 0; x < ViewHarness::kWidth; ++x) {
            const unsigned char* p =
                &pixels[static_cast<std::size_t>((y * ViewHarness::kWidth + x) * 3)];
            if (p[0] == 255 && p[1] < 80 && p[2] < 80) {
                b = {std::min(b.minX, x), std::max(b.maxX, x), std::min(b.minY, y),
                     std::max(b.maxY, y)};
            }
        }
    return b;
}

// The mouse as the view gets it: the middle button and the wheel zoom, the right button orbits,
// with Alt it pans, also when Alt goes down or up in the middle of the drag.
TEST(CameraEvents, MiddleAndWheelZoomRightOrbitsAltRightPans) {
    ViewHarness h;
    ASSERT_TRUE(h.load(writeScratch("events_walker.bvh", walkerBvh(120, true))));
    const int w = ViewHarness::kWidth, ht = ViewHarness::kHeight;
    const Camera& c = h.view().camera();
    const Camera start = c;
    h.send(FL_PUSH, 100, 100, FL_Button + 2);
    h.send(FL_DRAG, 107, 100, FL_Button + 2);
    h.send(FL_DRAG, 107, 93, FL_Button + 2);  // and up as much
    const double d1 = distance(c.eye, c.target);
    EXPECT_NEAR(d1, distance(start.eye, start.target) * dragZoomFactor(14, 0), 1e-9 * d1);
    Fl::e_dx = 0;
    Fl::e_dy = -2;  // away from the user: closer
    EXPECT_EQ(h.send(FL_MOUSEWHEEL, 200, 150, 0), 1);
    EXPECT_NEAR(distance(c.eye, c.target), 0.81 * d1, 1e-9 * d1);
    Fl::e_dy = 2;
    h.send(FL_MOUSEWHEEL, 200, 150, 0);
    EXPECT_NEAR(distance(c.eye, c.target), d1, 1e-9 * d1);

    h.send(FL_PUSH, w / 2, ht / 2, FL_Button + 3);
    h.send(FL_DRAG, w / 2, ht / 2 + 30, FL_Button + 3);
    h.send(FL_DRAG, w / 2, ht / 2 + 60, FL_Button + 3);
    h.send(FL_RELEASE, w / 2, ht / 2 + 60, FL_Button + 3);
    const Camera tilted = c;
    EXPECT_NEAR(elevation(tilted), degreesOfDrag(60, ht), 1e-9);
    EXPECT_NEAR(tilted.eye[2], tilted.target[2], 1e-9) << "still on the +x side";

    const CameraVector grabbed = atTargetDepth(tilted, 150, 200, w, ht);
    h.send(FL_PUSH, 150, 200, FL_Button + 3, FL_ALT);
    h.send(FL_DRAG, 180, 230, FL_Button + 3, FL_ALT);
    h.send(FL_DRAG, 220, 210, FL_Alt_L, FL_ALT);  // Alt pressed again during the drag
    expectPixel(c, grabbed, 220, 210, w, ht);
    EXPECT_NEAR(elevation(c), elevation(tilted), 1e-9);
    // Alt let go: the orbit goes on from the cursor without a jump; Alt again: the pan takes
    // the point under the cursor where the orbit left it.
    const Camera panned = c;
    h.send(FL_DRAG, 221, 210, FL_Button + 3, 0);
    EXPECT_LT(distance(c.eye, panned.eye), 0.01 * distance(panned.eye, panned.target));
    h.send(FL_DRAG, 260, 210, FL_Button + 3, 0);
    const CameraVector under = atTargetDepth(c, 260, 210, w, ht);
    h.send(FL_DRAG, 240, 190, FL_Alt_L, FL_ALT);
    expectPixel(c, under, 240, 190, w, ht);
    h.send(FL_RELEASE, 240, 190, FL_Button + 3, FL_ALT);
}

// The same vertical drag through the middle, drawn: the walker stands upright on screen whether
// it walks along x or along z (the arcball rolled the second one onto its side).
TEST(CameraEvents, TiltedFigureStillStandsUpright) {
    for (bool alongZ : {false, true}) {
        SCOPED_TRACE(alongZ ? "along z" : "along x");
        ViewHarness h;
        ASSERT_TRUE(h.load(writeScratch("upright.bvh", walkerBvh(120, alongZ))));
        h.view().setFrame(1);
        h.view().toggleOption(OptionAxes);
        h.view().toggleOption(OptionTrackMotion);  // close to the figure
        h.render();
        h.send(FL_PUSH, ViewHarness::kWidth / 2, ViewHarness::kHeight / 2, FL_Button + 3);
        h.send(FL_DRAG, ViewHarness::kWidth / 2, ViewHarness::kHeight / 2 + 70, FL_Button + 3);
        const RedBox figure = redBox(h.render());
        ASSERT_GE(figure.maxX, 0) << "no figure drawn";
        EXPECT_GT(figure.maxY - figure.minY, 2 * (figure.maxX - figure.minX)) << "lying down";
    }
}

}  // namespace
