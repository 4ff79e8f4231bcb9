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

double distance(const CameraVector& a, const CameraVector& b) {
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

CameraVector along(const CameraRay& ray, double s) {
    return {ray.origin[0] + s * ray.direction[0], ray.origin[1] + s * ray.direction[1],
            ray.origin[2] + s * ray.direction[2]};
}

std::array<double, 2> pixelOf(const Camera& c, const CameraVector& p) {
    const auto pixel = projectToPixel(c, p, kW, kH);
    EXPECT_TRUE(pixel.has_value());
    return pixel.value_or(std::array<double, 2>{-1e9, -1e9});
}

// The point under window pixel (px, py) at the depth of the camera's target.
CameraVector atTargetDepth(const Camera& c, int px, int py, int width = kW, int height = kH) {
    const CameraRay ray = pixelRay(c, px, py, width, height);
    const double d = distance(c.eye, c.target);
    double cosine = 0.0;
    for (int i = 0; i < 3; ++i)
        cosine += ray.direction[i] * (c.target[i] - c.eye[i]) / d;
    return along({c.eye, ray.direction}, d / cosine);
}

// The height of the eye above the target's horizon, in degrees.
double elevation(const Camera& c) {
    const double dy = c.eye[1] - c.target[1];
    const double flat = std::hypot(c.eye[0] - c.target[0], c.eye[2] - c.target[2]);
    return std::atan2(dy, flat) * 180.0 / M_PI;
}

// A level horizon: the world's vertical through the target is drawn as a vertical line, with
// up pointing up the screen.
void expectLevel(const Camera& c, const char* what) {
    const auto foot = pixelOf(c, c.target);
    const auto head = pixelOf(c, {c.target[0], c.target[1] + 1.0, c.target[2]});
    EXPECT_NEAR(head[0], foot[0], 1e-6 * kW) << what;
    EXPECT_LT(head[1], foot[1]) << what;
}

// A motion 400 long on x and one 500 long on z: the fitted camera looks from +z and from +x.
const CameraBounds kAlongX = bounds(0, 400, -5, 170, -20, 20);
const CameraBounds kAlongZ = bounds(-10, 30, 0, 170, 0, 500);

TEST(CameraFit, FitsAMotionRunningAlongXFromPlusZ) {
    Camera c;
    // The lowest point is below 0: the figure is drawn lifted, so the target is at Y / 2.
    fitCamera(c, kAlongX);
    EXPECT_FLOAT_EQ(c.nearPlane, 40.0f / 3.0f);
    EXPECT_FLOAT_EQ(c.farTerm, 1200.0f);
    EXPECT_EQ(c.target, (CameraVector{200.0, 87.5, 0.0}));
    EXPECT_EQ(c.eye, (CameraVector{200.0, 87.5, 20.0 + 400.0}));
    EXPECT_EQ(c.up, (CameraVector{0.0, 1.0, 0.0}));
    EXPECT_FLOAT_EQ(farPlane(c), 420.0f + 1200.0f);
}

TEST(CameraFit, FitsAMotionRunningAlongZFromPlusX) {
    Camera c;
    fitCamera(c, kAlongZ);
    EXPECT_EQ(c.target, (CameraVector{10.0, 85.0, 250.0}));
    EXPECT_EQ(c.eye, (CameraVector{10.0 + 20.0 + 500.0, 85.0, 250.0}));
    // A square footprint (X == Z) also looks along -x.
    fitCamera(c, bounds(0, 100, 0, 50, 0, 100));
    EXPECT_GT(c.eye[0], c.target[0]);
    EXPECT_FLOAT_EQ(c.eye[2], c.target[2]);
}

TEST(CameraFit, FlatOrMotionlessMotionStillGetsAUsableProjection) {
    Camera c;
    fitCamera(c, bounds(0, 400, 0, 0, -20, 20));  // no height at all
    EXPECT_EQ(c.nearPlane, 0.0);
    const double n = usableNearPlane(c);
    EXPECT_GT(n, 0.0);
    EXPECT_DOUBLE_EQ(n, farPlane(c) / 1000.0);
    for (CameraPreset p : {CameraPreset::Top, CameraPreset::Front, CameraPreset::Side}) {
        // A single motionless point at the origin: no extent anywhere.
        fitCameraPreset(c, bounds(0, 0, 0, 0, 0, 0), p);
        EXPECT_GT(usableNearPlane(c), 0.0);
        EXPECT_GT(farPlane(c), usableNearPlane(c));
        EXPECT_TRUE(std::isfinite(farPlane(c)));
        EXPECT_NE(c.eye, c.target);  // a look-at from the target itself has no direction
    }
}

TEST(CameraPresets, LookDownTheirAxisAndFitTheWholeMotion) {
    const CameraBounds b = bounds(-300, 100, 0, 170, 50, 250);
    const std::vector<CameraVector> corners = [&] {
        std::vector<CameraVector> v;
        for (double x : {-300.0, 100.0})
            for (double y : {0.0, 170.0})
                for (double z : {50.0, 250.0})
                    v.push_back({x, y, z});
        return v;
    }();
    struct Expect {
        CameraPreset preset;
        CameraVector sight;        // unit direction from the eye to the target
        CameraVector screenRight;  // world direction that runs right on screen
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
        const auto centre = pixelOf(c, c.target);
        EXPECT_NEAR(centre[0], kW / 2.0, 1e-6);
        EXPECT_NEAR(centre[1], kH / 2.0, 1e-6);
        const auto right =
            pixelOf(c, {c.target[0] + e.screenRight[0], c.target[1] + e.screenRight[1],
                        c.target[2] + e.screenRight[2]});
        EXPECT_GT(right[0], centre[0]);
        EXPECT_NEAR(right[1], centre[1], 1e-6);
        for (const CameraVector& p : corners) {
            const auto px = pixelOf(c, p);
            EXPECT_GE(px[0], 0.0);
            EXPECT_LE(px[0], kW);
            EXPECT_GE(px[1], 0.0);
            EXPECT_LE(px[1], kH);
            // In front of the near plane and before the far plane.
            const double depth = (p[0] - c.eye[0]) * e.sight[0] + (p[1] - c.eye[1]) * e.sight[1] +
                                 (p[2] - c.eye[2]) * e.sight[2];
            EXPECT_GT(depth, usableNearPlane(c));
            EXPECT_LT(depth, farPlane(c));
        }
    }
    // The top view shows -z up the screen, so the ground reads like a map with x to the right.
    Camera top;
    fitCameraPreset(top, b, CameraPreset::Top);
    EXPECT_LT(pixelOf(top, {top.target[0], top.target[1], top.target[2] - 1})[1], kH / 2.0);

    // Without a motion, a preset only turns the camera about its target.
    Camera turned;
    turnCameraToPreset(turned, CameraPreset::Top);
    EXPECT_EQ(turned.target, Camera().target);
    EXPECT_NEAR(turned.eye[1], distance(Camera().eye, Camera().target), 1e-9);
}

TEST(CameraOrbit, VerticalDragTiltsWithoutRollingWhateverTheSideOrEarlierTurns) {
    for (const CameraBounds& b : {kAlongX, kAlongZ}) {
        Camera start;
        fitCamera(start, b);
        const double d = distance(start.eye, start.target);
        // Downwards raises the eye; the same drag after any earlier turn tilts by the same.
        for (int earlierTurn : {0, 150, -400}) {
            Camera turned = start;
            orbitCamera(turned, start, earlierTurn, 0, kW, kH);
            EXPECT_NEAR(elevation(turned), 0.0, 1e-9);
            Camera c = turned;
            orbitCamera(c, turned, 0, 100, kW, kH);
            expectLevel(c, "tilted");
            EXPECT_NEAR(elevation(c), 4.0 * 100 / kH * 180.0 / M_PI, 1e-9);
            EXPECT_NEAR(distance(c.eye, c.target), d, 1e-9 * d);
            EXPECT_EQ(c.target, start.target);
            // Seen from above, the tilt keeps the side the eye was on.
            const double before =
                std::atan2(turned.eye[0] - turned.target[0], turned.eye[2] - turned.target[2]);
            const double after = std::atan2(c.eye[0] - c.target[0], c.eye[2] - c.target[2]);
            EXPECT_NEAR(after, before, 1e-9);
        }
    }
}

TEST(CameraOrbit, HorizontalDragTurnsTheSceneAboutTheVerticalThroughTheTarget) {
    Camera start;
    fitCamera(start, kAlongX);
    orbitCamera(start, Camera(start), 0, 60, kW, kH);  // look down a little first
    const Camera tilted = start;
    Camera c = tilted;
    orbitCamera(c, tilted, 40, 0, kW, kH);
    expectLevel(c, "turned");
    EXPECT_NEAR(elevation(c), elevation(tilted), 1e-9);
    // A point in front of the target moves to the right with the mouse.
    const CameraVector front{tilted.target[0], tilted.target[1], tilted.target[2] + 50.0};
    EXPECT_GT(pixelOf(c, front)[0], pixelOf(tilted, front)[0]);
    // The angle depends on the whole drag, not on the events it came in.
    Camera half = tilted;
    orbitCamera(half, tilted, 20, 0, kW, kH);
    Camera again = half;
    orbitCamera(again, tilted, 40, 0, kW, kH);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(again.eye[i], c.eye[i], 1e-9);
}

TEST(CameraOrbit, TiltStopsShortOfStraightDownButTheTopViewStaysPut) {
    Camera start;
    fitCamera(start, kAlongZ);
    Camera c = start;
    orbitCamera(c, start, 0, 5000, kW, kH);
    EXPECT_NEAR(elevation(c), 89.0, 1e-9);
    expectLevel(c, "steep");
    orbitCamera(c, start, 0, -5000, kW, kH);
    EXPECT_NEAR(elevation(c), -89.0, 1e-9);

    Camera top;
    fitCameraPreset(top, kAlongZ, CameraPreset::Top);
    Camera spun = top;
    orbitCamera(spun, top, 0, 10, kW, kH);  // further down than straight down: no jump
    EXPECT_NEAR(elevation(spun), 90.0, 1e-9);
    // A horizontal drag spins the map about the target; x no longer runs to the right.
    orbitCamera(spun, top, kW / 8, 0, kW, kH);
    EXPECT_NEAR(elevation(spun), 90.0, 1e-9);
    const CameraVector east{top.target[0] + 10.0, top.target[1], top.target[2]};
    EXPECT_GT(std::fabs(pixelOf(spun, east)[1] - kH / 2.0), 1.0);
    // Tilting back up from the top view comes down on the side the map's bottom edge is.
    Camera down = top;
    orbitCamera(down, top, 0, -100, kW, kH);
    EXPECT_LT(elevation(down), 90.0);
    EXPECT_GT(down.eye[2], down.target[2]);
    expectLevel(down, "from the top");
}

TEST(CameraZoom, NeverReachesTheTarget) {
    Camera c;
    const double d0 = distance(c.eye, c.target);
    zoomCamera(c, 7);  // a seventh of a unit per pixel, along the line of sight
    EXPECT_NEAR(distance(c.eye, c.target), d0 - 1.0, 1e-4);
    EXPECT_NEAR(c.eye[1] / c.eye[2], 2.0 / 100.0, 1e-12);
    for (int i = 0; i < 2000; ++i)
        zoomCamera(c, 7);
    EXPECT_GT(distance(c.eye, c.target), 0.0);
    EXPECT_LE(distance(c.eye, c.target), 1.0 + 1e-4);
    const Camera closest = c;
    zoomCamera(c, 7000);  // would pass the target: not taken
    EXPECT_EQ(c.eye, closest.eye);
    zoomCamera(c, -7000);
    EXPECT_NEAR(distance(c.eye, c.target), distance(closest.eye, closest.target) + 1000.0, 1e-3);

    // The wheel's factor: a hundred thousand notches in still leave the eye off the target.
    Camera top;
    fitCameraPreset(top, kAlongX, CameraPreset::Top);
    const double start = distance(top.eye, top.target);
    scaleCameraDistance(top, 0.9);
    EXPECT_NEAR(distance(top.eye, top.target), 0.9 * start, 1e-9 * start);
    EXPECT_NEAR(top.eye[0], top.target[0], 1e-9);
    for (int i = 0; i < 100000; ++i)
        scaleCameraDistance(top, 0.9);
    EXPECT_NE(top.eye, top.target);
    EXPECT_GT(top.eye[1], top.target[1]);
    for (double bad : {0.0, -2.0, std::nan("")}) {
        const Camera before = top;
        scaleCameraDistance(top, bad);
        EXPECT_EQ(top.eye, before.eye);
    }
}

TEST(CameraPan, ThePointUnderTheCursorFollowsIt) {
    Camera fitted;
    fitCamera(fitted, kAlongZ);
    Camera top;
    fitCameraPreset(top, kAlongX, CameraPreset::Top);
    Camera turned = fitted;
    orbitCamera(turned, fitted, 170, 90, kW, kH);
    for (const Camera& start : {Camera(), fitted, top, turned}) {
        Camera c = start;
        const CameraVector grabbed = atTargetDepth(c, 300, 200);
        panCamera(c, 300, 200, 420, 150, kW, kH);
        panCamera(c, 420, 150, 450, 260, kW, kH);
        const auto now = pixelOf(c, grabbed);
        EXPECT_NEAR(now[0], 450.0, 1e-6);
        EXPECT_NEAR(now[1], 260.0, 1e-6);
        // Pan moves, it neither turns nor zooms.
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(c.eye[i] - c.target[i], start.eye[i] - start.target[i], 1e-9);
            EXPECT_EQ(c.up[i], start.up[i]);
        }
    }
}

TEST(CameraRays, PixelRayAndProjectionRoundTrip) {
    Camera fitted;
    fitCamera(fitted, kAlongX);
    Camera turned = fitted;
    orbitCamera(turned, fitted, -230, 140, kW, kH);
    Camera top;
    fitCameraPreset(top, kAlongZ, CameraPreset::Top);
    for (const Camera& c : {Camera(), fitted, turned, top}) {
        for (const auto& [px, py] : {std::pair{0.0, 0.0}, std::pair{395.0, 377.5},
                                     std::pair{789.0, 20.0}, std::pair{13.5, 700.25}}) {
            const CameraRay ray = pixelRay(c, px, py, kW, kH);
            EXPECT_NEAR(std::hypot(ray.direction[0], ray.direction[1], ray.direction[2]), 1.0,
                        1e-12);
            // The origin lies on the near plane.
            const double d = distance(c.eye, c.target);
            double depth = 0.0;
            for (int i = 0; i < 3; ++i)
                depth += (ray.origin[i] - c.eye[i]) * (c.target[i] - c.eye[i]) / d;
            EXPECT_NEAR(depth, usableNearPlane(c), 1e-9 * d);
            for (double s : {0.0, 10.0, 5000.0}) {
                const auto back = pixelOf(c, along(ray, s));
                EXPECT_NEAR(back[0], px, 1e-6);
                EXPECT_NEAR(back[1], py, 1e-6);
            }
        }
        // Nothing behind the eye has a pixel.
        const CameraVector behind{2 * c.eye[0] - c.target[0], 2 * c.eye[1] - c.target[1],
                                  2 * c.eye[2] - c.target[2]};
        EXPECT_FALSE(projectToPixel(c, behind, kW, kH).has_value());
        EXPECT_FALSE(projectToPixel(c, c.eye, kW, kH).has_value());
    }
}

// The matrices setupCamera loads, against what GLU builds from the same camera, and the rays
// against gluUnProject with GLU's matrices.
TEST(CameraMatrices, EqualWhatGluBuilds) {
    ViewHarness h;
    h.view().make_current();
    Camera fitted;
    fitCamera(fitted, kAlongZ);
    Camera turned = fitted;
    orbitCamera(turned, fitted, 300, -80, kW, kH);
    Camera top;
    fitCameraPreset(top, kAlongX, CameraPreset::Top);
    for (const Camera& c : {Camera(), fitted, turned, top}) {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        gluPerspective(60.0, static_cast<double>(kW) / kH, usableNearPlane(c), farPlane(c));
        GLdouble projection[16];
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glLoadIdentity();
        gluLookAt(c.eye[0], c.eye[1], c.eye[2], c.target[0], c.target[1], c.target[2], c.up[0],
                  c.up[1], c.up[2]);
        GLdouble view[16];
        glGetDoublev(GL_PROJECTION_MATRIX, view);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);

        const CameraMatrix p = projectionMatrix(c, kW, kH);
        const CameraMatrix v = viewMatrix(c);
        const double scale = std::max(1.0, distance(c.eye, CameraVector{0, 0, 0}));
        for (int i = 0; i < 16; ++i) {
            EXPECT_NEAR(p[i], projection[i], 1e-6 * std::max(1.0, std::fabs(p[i]))) << i;
            // The GL keeps its matrices in floats, and GLU builds the look-at in floats too.
            EXPECT_NEAR(v[i], view[i], (i >= 12 ? scale : 1.0) * 1e-6) << i;
        }

        const GLdouble identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        GLdouble both[16];
        for (int col = 0; col < 4; ++col)
            for (int row = 0; row < 4; ++row) {
                both[col * 4 + row] = 0.0;
                for (int k = 0; k < 4; ++k)
                    both[col * 4 + row] += projection[k * 4 + row] * view[col * 4 + k];
            }
        const GLint viewport[4] = {0, 0, kW, kH};
        for (const auto& [px, py] : {std::pair{100, 600}, std::pair{700, 50}}) {
            GLdouble n[3];
            gluUnProject(px, kH - py, 0.0, identity, both, viewport, &n[0], &n[1], &n[2]);
            const CameraRay ray = pixelRay(c, px, py, kW, kH);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(ray.origin[i], n[i], 1e-4 * scale);
        }
    }
}

// The mouse as the view gets it: the middle button and the wheel zoom, the right button orbits,
// with Alt it pans, also when Alt goes down in the middle of the drag.
TEST(CameraEvents, MiddleAndWheelZoomRightOrbitsAltRightPans) {
    ViewHarness h;
    h.view().setMotion(loadMotion(writeTempFile("events_walker.bvh", walkerBvh(120, true))));
    const int w = ViewHarness::kWidth, ht = ViewHarness::kHeight;
    const Camera start = h.view().camera();
    const double d0 = distance(start.eye, start.target);
    h.send(FL_PUSH, 100, 100, FL_Button + 2);
    h.send(FL_DRAG, 107, 100, FL_Button + 2);
    EXPECT_NEAR(distance(h.view().camera().eye, h.view().camera().target), d0 - 1.0, 1e-4);

    auto wheel = [&](int dy) {
        Fl::e_dx = 0;
        Fl::e_dy = dy;
        return h.send(FL_MOUSEWHEEL, 200, 150, 0);
    };
    const double d1 = distance(h.view().camera().eye, h.view().camera().target);
    EXPECT_EQ(wheel(-2), 1);  // away from the user: closer
    EXPECT_NEAR(distance(h.view().camera().eye, h.view().camera().target), 0.81 * d1, 1e-9 * d1);
    wheel(2);
    EXPECT_NEAR(distance(h.view().camera().eye, h.view().camera().target), d1, 1e-9 * d1);
    EXPECT_EQ(h.view().camera().target, start.target);

    // A vertical drag through the middle of a motion along z (seen from +x) tilts, no roll.
    h.send(FL_PUSH, w / 2, ht / 2, FL_Button + 3);
    h.send(FL_DRAG, w / 2, ht / 2 + 30, FL_Button + 3);
    h.send(FL_DRAG, w / 2, ht / 2 + 60, FL_Button + 3);
    h.send(FL_RELEASE, w / 2, ht / 2 + 60, FL_Button + 3);
    const Camera tilted = h.view().camera();
    EXPECT_NEAR(elevation(tilted), 4.0 * 60 / ht * 180.0 / M_PI, 1e-9);
    EXPECT_NEAR(tilted.eye[2], tilted.target[2], 1e-9) << "still on the +x side";

    // Alt + right drag: the point under the cursor at the target's depth stays under it.
    const CameraVector grabbed = atTargetDepth(tilted, 150, 200, w, ht);
    h.send(FL_PUSH, 150, 200, FL_Button + 3, FL_ALT);
    h.send(FL_DRAG, 180, 230, FL_Button + 3, FL_ALT);
    h.send(FL_DRAG, 220, 210, FL_Alt_L, FL_ALT);  // Alt pressed again during the drag
    const auto now = projectToPixel(h.view().camera(), grabbed, w, ht);
    ASSERT_TRUE(now.has_value());
    EXPECT_NEAR((*now)[0], 220.0, 1e-6);
    EXPECT_NEAR((*now)[1], 210.0, 1e-6);
    EXPECT_NEAR(elevation(h.view().camera()), elevation(tilted), 1e-9);

    // Alt let go during the drag: the orbit goes on from there, without a jump; pressed again,
    // the pan takes the point under the cursor where the orbit left it.
    const Camera panned = h.view().camera();
    h.send(FL_DRAG, 221, 210, FL_Button + 3, 0);
    EXPECT_LT(distance(h.view().camera().eye, panned.eye),
              0.01 * distance(panned.eye, panned.target));
    h.send(FL_DRAG, 260, 210, FL_Button + 3, 0);
    const CameraVector under = atTargetDepth(h.view().camera(), 260, 210, w, ht);
    h.send(FL_DRAG, 240, 190, FL_Alt_L, FL_ALT);
    const auto moved = projectToPixel(h.view().camera(), under, w, ht);
    ASSERT_TRUE(moved.has_value());
    EXPECT_NEAR((*moved)[0], 240.0, 1e-6);
    EXPECT_NEAR((*moved)[1], 190.0, 1e-6);
    h.send(FL_RELEASE, 240, 190, FL_Button + 3, FL_ALT);

    // What is drawn follows the same camera: the figure's joints are where projectToPixel says.
    h.view().toggleOption(OptionAxes);
    h.view().setFrame(60);
    h.view().updatePose();
    const auto pixels = h.render();
    int found = 0;
    for (const Joint* joint : h.view().motion()->joints()) {
        const auto at = projectToPixel(h.view().camera(),
                                       {joint->worldX(), joint->worldY(), joint->worldZ()}, w, ht);
        ASSERT_TRUE(at.has_value());
        const int px = static_cast<int>((*at)[0]), py = static_cast<int>((*at)[1]);
        for (int y = std::max(py - 3, 0); y <= std::min(py + 3, ht - 1); ++y)
            for (int x = std::max(px - 3, 0); x <= std::min(px + 3, w - 1); ++x) {
                const unsigned char* p = &pixels[static_cast<std::size_t>((y * w + x) * 3)];
                if (p[0] == 255 && p[1] < 80 && p[2] < 80) {
                    ++found;
                    y = ht;
                    break;
                }
            }
    }
    EXPECT_EQ(found, static_cast<int>(h.view().motion()->joints().size()));
}

// The same vertical drag through the middle, drawn: the walker stands upright on screen whether
// it walks along x or along z (the arcball rolled the second one onto its side).
TEST(CameraEvents, TiltedFigureStillStandsUpright) {
    for (bool alongZ : {false, true}) {
        SCOPED_TRACE(alongZ ? "along z" : "along x");
        ViewHarness h;
        h.view().setMotion(loadMotion(writeTempFile("upright.bvh", walkerBvh(120, alongZ))));
        h.view().setFrame(1);
        h.view().updatePose();
        h.view().toggleOption(OptionAxes);
        h.view().toggleOption(OptionTrackMotion);  // close to the figure
        h.render();
        const int w = ViewHarness::kWidth, ht = ViewHarness::kHeight;
        h.send(FL_PUSH, w / 2, ht / 2, FL_Button + 3);
        h.send(FL_DRAG, w / 2, ht / 2 + 70, FL_Button + 3);
        const auto pixels = h.render();
        int minX = w, maxX = -1, minY = ht, maxY = -1;
        for (int y = 0; y < ht; ++y)
            for (int x = 0; x < w; ++x) {
                const unsigned char* p = &pixels[static_cast<std::size_t>((y * w + x) * 3)];
                if (p[0] == 255 && p[1] < 80 && p[2] < 80) {  // the markers' red
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                }
            }
        ASSERT_GE(maxX, 0) << "no figure drawn";
        EXPECT_GT(maxY - minY, 2 * (maxX - minX)) << "the figure lies on its side";
    }
}

}  // namespace
