#include <gtest/gtest.h>

#include <cmath>

#include "view/arcball.h"
#include "view/camera.h"

namespace {

// max x, min x, max y, min y, max z, min z
CameraBounds bounds(float minX, float maxX, float minY, float maxY, float minZ, float maxZ) {
    return {maxX, minX, maxY, minY, maxZ, minZ};
}

TEST(Camera, FitsAMotionRunningAlongXFromPlusZ) {
    Camera c;
    // The lowest point is below 0: the figure is drawn lifted, so the target is at Y / 2.
    fitCamera(c, bounds(0, 400, -5, 170, -20, 20));
    EXPECT_FLOAT_EQ(c.nearPlane, 40.0f / 3.0f);
    EXPECT_FLOAT_EQ(c.farTerm, 1200.0f);
    EXPECT_FLOAT_EQ(c.target[0], 200.0f);
    EXPECT_FLOAT_EQ(c.target[1], 87.5f);
    EXPECT_FLOAT_EQ(c.target[2], 0.0f);
    EXPECT_FLOAT_EQ(c.eye[0], 200.0f);
    EXPECT_FLOAT_EQ(c.eye[1], 87.5f);
    EXPECT_FLOAT_EQ(c.eye[2], 20.0f + 400.0f);
    EXPECT_FLOAT_EQ(farPlane(c), 420.0f + 1200.0f);
}

TEST(Camera, FitsAMotionRunningAlongZFromPlusX) {
    Camera c;
    fitCamera(c, bounds(-10, 30, 0, 170, 0, 500));
    EXPECT_FLOAT_EQ(c.target[0], 10.0f);
    EXPECT_FLOAT_EQ(c.target[1], 85.0f);
    EXPECT_FLOAT_EQ(c.target[2], 250.0f);
    EXPECT_FLOAT_EQ(c.eye[0], 10.0f + 20.0f + 500.0f);
    EXPECT_FLOAT_EQ(c.eye[1], 85.0f);
    EXPECT_FLOAT_EQ(c.eye[2], 250.0f);
    // A square footprint (X == Z) also looks along -x.
    fitCamera(c, bounds(0, 100, 0, 50, 0, 100));
    EXPECT_GT(c.eye[0], c.target[0]);
    EXPECT_FLOAT_EQ(c.eye[2], c.target[2]);
}

TEST(Camera, FlatMotionStillGetsAPositiveNearPlane) {
    Camera c;
    fitCamera(c, bounds(0, 400, 0, 0, -20, 20));  // no height at all
    EXPECT_EQ(c.nearPlane, 0.0f);
    const float n = usableNearPlane(c);
    EXPECT_GT(n, 0.0f);
    EXPECT_LT(n, farPlane(c));
    EXPECT_FLOAT_EQ(n, farPlane(c) / 1000.0f);
    // A single motionless point at the origin: no extent anywhere.
    fitCamera(c, bounds(0, 0, 0, 0, 0, 0));
    EXPECT_GT(usableNearPlane(c), 0.0f);
    EXPECT_GT(farPlane(c), usableNearPlane(c));
    EXPECT_TRUE(std::isfinite(farPlane(c)));
    EXPECT_NE(c.eye, c.target);  // a look-at from the target itself has no direction
}

TEST(Camera, ZoomStopsBeforeTheTargetAndBacksAwayWithoutLimit) {
    Camera c;  // eye (0, 2, 100), target at the origin: moves along z
    zoomCamera(c, 7);
    EXPECT_FLOAT_EQ(c.eye[2], 99.0f);
    for (int i = 0; i < 200; ++i)
        zoomCamera(c, 7);
    EXPECT_GT(c.eye[2], c.target[2]);
    EXPECT_LE(c.eye[2], 1.0f + 1e-4f);
    const float closest = c.eye[2];
    zoomCamera(c, 7);  // would reach the target: undone
    EXPECT_EQ(c.eye[2], closest);
    zoomCamera(c, -7000000);
    EXPECT_NEAR(c.eye[2], closest + 1000000.0f, 1.0f);
    EXPECT_FLOAT_EQ(c.eye[0], 0.0f);
    EXPECT_FLOAT_EQ(c.eye[1], 2.0f);

    Camera behind;  // eye on the negative side moves up towards the target
    behind.eye = {0, 0, -10};
    zoomCamera(behind, 7);
    EXPECT_FLOAT_EQ(behind.eye[2], -9.0f);
    zoomCamera(behind, 70);
    EXPECT_FLOAT_EQ(behind.eye[2], -9.0f);

    Camera side;  // eye offset along x: the zoom moves along x
    side.eye = {50, 0, 0};
    zoomCamera(side, 14);
    EXPECT_FLOAT_EQ(side.eye[0], 48.0f);
    EXPECT_FLOAT_EQ(side.eye[2], 0.0f);
}

TEST(Camera, PanMovesUpWithTheMouseAndSidewaysAcrossTheView) {
    Camera c;  // eye x == target x: the sideways pan runs along x
    panCamera(c, 7, 14);
    EXPECT_FLOAT_EQ(c.target[1], 2.0f);
    EXPECT_FLOAT_EQ(c.eye[1], 2.0f);
    EXPECT_FLOAT_EQ(c.target[0], 1.0f);
    EXPECT_FLOAT_EQ(c.eye[0], 1.0f);
    EXPECT_FLOAT_EQ(c.eye[2], 100.0f);
    EXPECT_FLOAT_EQ(c.target[2], 0.0f);

    Camera side;  // eye offset along x: the sideways pan runs along z
    side.eye = {50, 0, 0};
    panCamera(side, -7, 0);
    EXPECT_FLOAT_EQ(side.target[2], -1.0f);
    EXPECT_FLOAT_EQ(side.eye[2], -1.0f);
    EXPECT_FLOAT_EQ(side.eye[0], 50.0f);
    EXPECT_FLOAT_EQ(side.target[0], 0.0f);
}

TEST(Camera, TrackingCentresOnThePathPoint) {
    Camera c;
    c.eye[1] = 33.0f;
    c.target[1] = 44.0f;
    // A pose 20 wide, 170 high, 10 deep; a motion 300 wide and 40 deep runs along x.
    trackCamera(c, bounds(90, 110, 0, 170, -5, 5), 300, 170, 40, 123.0, -7.0);
    EXPECT_FLOAT_EQ(c.nearPlane, 10.0f / 3.0f);
    EXPECT_FLOAT_EQ(c.farTerm, 1700.0f);
    EXPECT_FLOAT_EQ(c.target[0], 123.0f);
    EXPECT_FLOAT_EQ(c.target[2], -7.0f);
    EXPECT_FLOAT_EQ(c.eye[0], 123.0f);
    EXPECT_FLOAT_EQ(c.eye[2], -7.0f + 20.0f + 300.0f);
    EXPECT_FLOAT_EQ(c.eye[1], 33.0f);
    EXPECT_FLOAT_EQ(c.target[1], 44.0f);
    // Along z the eye sits off the x face instead.
    trackCamera(c, bounds(90, 110, 0, 170, -5, 5), 40, 170, 300, 1.0, 2.0);
    EXPECT_FLOAT_EQ(c.eye[0], 1.0f + 20.0f + 300.0f);
    EXPECT_FLOAT_EQ(c.eye[2], 2.0f);
}

// Applies a column-major matrix to a direction.
std::array<float, 3> apply(const std::array<float, 16>& m, float x, float y, float z) {
    return {m[0] * x + m[4] * y + m[8] * z, m[1] * x + m[5] * y + m[9] * z,
            m[2] * x + m[6] * y + m[10] * z};
}

TEST(Arcball, NormalisesPixelsWithYUp) {
    const auto centre = normalisePixel(400, 300, 800, 600);
    EXPECT_FLOAT_EQ(centre[0], 0.0f);
    EXPECT_FLOAT_EQ(centre[1], 0.0f);
    const auto topLeft = normalisePixel(0, 0, 800, 600);
    EXPECT_FLOAT_EQ(topLeft[0], -1.0f);
    EXPECT_FLOAT_EQ(topLeft[1], 1.0f);
}

TEST(Arcball, DragTurnsByTwiceTheAngleAndCommitsOnTheNextBegin) {
    Arcball ball;
    const auto identity = ball.matrix();
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(identity[i], i % 5 == 0 ? 1.0f : 0.0f);

    // From the centre to x = 0.5 on the sphere is 30 degrees about +y: the scene turns by 60.
    ball.begin(0.0f, 0.0f);
    ball.dragTo(0.5f, 0.0f);
    auto z = apply(ball.matrix(), 0, 0, 1);
    EXPECT_NEAR(z[0], std::sin(M_PI / 3), 1e-5);
    EXPECT_NEAR(z[1], 0.0, 1e-5);
    EXPECT_NEAR(z[2], 0.5, 1e-5);

    // A new begin commits the drag: the matrix stays, and the next drag adds to it.
    ball.begin(0.0f, 0.0f);
    z = apply(ball.matrix(), 0, 0, 1);
    EXPECT_NEAR(z[2], 0.5, 1e-5);
    ball.dragTo(0.5f, 0.0f);
    z = apply(ball.matrix(), 0, 0, 1);
    EXPECT_NEAR(z[0], std::sin(2 * M_PI / 3), 1e-5);
    EXPECT_NEAR(z[2], -0.5, 1e-5);

    // Outside the unit circle the point lies on the sphere's rim: a quarter turn, doubled.
    Arcball rim;
    rim.begin(0.0f, 0.0f);
    rim.dragTo(0.0f, 3.0f);
    const auto y = apply(rim.matrix(), 0, 1, 0);
    EXPECT_NEAR(y[1], -1.0, 1e-5);
}

}  // namespace
