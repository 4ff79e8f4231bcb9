#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "view/curve_drawing.h"
#include "view/figure_drawing.h"
#include "view/scene_decorations.h"

namespace {

TEST(Strobes, EveryTenthFrameOrEveryFrameOfAShortMotion) {
    EXPECT_EQ(strobeFrames(25), (std::vector<int>{0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24}));
    EXPECT_EQ(strobeFrames(100), (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90}));
    // Fewer than ten frames: the stride would be 0, so each frame is strobed once.
    EXPECT_EQ(strobeFrames(3), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(strobeFrames(1), (std::vector<int>{0}));
    EXPECT_TRUE(strobeFrames(0).empty());
}

TEST(FigureGeometry, MarkerCirclesLieInTheThreePlanesAndBonesReachTheChild) {
    const auto marker = markerSegments(2.0f);
    ASSERT_EQ(marker.size(), 60u);
    for (std::size_t i = 0; i < marker.size(); ++i) {
        const auto& v = marker[i];
        EXPECT_NEAR(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]), 2.0, 1e-5) << i;
        const std::size_t flat = i < 20 ? 1 : i < 40 ? 0 : 2;  // xz, then yz, then xy
        EXPECT_NEAR(v[flat], 0.0, 1e-6) << i;
    }
    // Each circle is closed: it starts and ends at the same vertex, ten segments later.
    for (std::size_t c = 0; c < 3; ++c)
        EXPECT_EQ(marker[c * 20], marker[c * 20 + 19]);
    EXPECT_EQ(marker[0], (std::array<float, 3>{2, 0, 0}));

    const std::array<float, 3> k{0, 20, 0};
    const auto bone = boneSegments(k);
    int atChild = 0;
    for (const auto& v : bone) {
        if (v == k) {
            ++atChild;
        } else {
            // The base points are +-l on one axis, l = 5 % of the bone's length.
            EXPECT_NEAR(std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]), 1.0, 1e-6);
        }
    }
    EXPECT_EQ(atChild, 6);  // two edges of each of the three triangles end at the child
}

TEST(FigureCulling, BoxesWhollyBeyondAPlaneOfTheViewAreOutside) {
    // Looking down -z (90 degrees, near 1, far 100): behind the eye is outside; a box around the
    // eye (its corners' w of either sign) or beyond the side by less than the margin is not.
    const std::array<double, 16> view = {
        1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -101.0 / 99.0, -1.0, 0, 0, -200.0 / 99.0, 0};
    EXPECT_TRUE(outsideView({-1, -1, 5, 1, 1, 10}, view));
    EXPECT_FALSE(outsideView({-1, -1, -2, 1, 1, 2}, view));
    EXPECT_TRUE(outsideView({10.2f, -1, -10, 11, 1, -10}, view));  // x > 1.01 w at w = 10
    EXPECT_FALSE(outsideView({10.05f, -1, -10, 11, 1, -10}, view));
}

// Applies a column-major 4x4 matrix to a point.
std::array<float, 3> apply(const std::array<float, 16>& m, float x, float y, float z) {
    return {m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
            m[2] * x + m[6] * y + m[10] * z + m[14]};
}

TEST(Shadow, FlattensOntoTheLiftLeaningTowardsMinusXAndPlusZ) {
    const auto m = shadowMatrixFor(0.25f);
    const auto p = apply(m, 3.0f, 2.0f, 5.0f);
    EXPECT_FLOAT_EQ(p[0], 1.0f);
    EXPECT_FLOAT_EQ(p[1], 0.25f);
    EXPECT_FLOAT_EQ(p[2], 6.0f);
    const auto ground = apply(m, -4.0f, 0.0f, 7.0f);
    EXPECT_FLOAT_EQ(ground[0], -4.0f);
    EXPECT_FLOAT_EQ(ground[2], 6.0f);
    EXPECT_FLOAT_EQ(shadowLift(nullptr), 0.07f);
    const GroundExtent g = groundExtent(nullptr);
    EXPECT_EQ(g.minX, -150.0f);
    EXPECT_EQ(g.maxZ, 150.0f);
}

ControlCurve lineCurve() {
    ControlCurve curve;
    for (int i = 0; i < 5; ++i)
        curve.setPoint(CurvePoint{10.0 * i, 0.0}, i);
    return curve;
}

// Path Speed: white within 5% of the capture's speed, then towards red for faster and blue for
// slower, full at twice and half the speed.
TEST(PathSpeedColours, WhiteNearTheCapturesSpeedRedFasterBlueSlower) {
    const std::array<float, 3> white = {1, 1, 1};
    for (float ratio : {1.0f, 1.04f, 0.96f, std::nanf("")})
        EXPECT_EQ(pathSpeedColour(ratio), white) << ratio;
    const std::array<float, 3> faster = pathSpeedColour(2.0f);
    const std::array<float, 3> slower = pathSpeedColour(0.5f);
    EXPECT_EQ(pathSpeedColour(5.0f), faster);
    EXPECT_EQ(pathSpeedColour(0.0f), slower);
    EXPECT_GT(faster[0], faster[2] + 0.5f);
    EXPECT_GT(slower[2], slower[0] + 0.5f);
    const std::array<float, 3> some = pathSpeedColour(1.4f);
    EXPECT_LT(some[1], 1.0f);
    EXPECT_GT(some[1], faster[1]);
}

TEST(ControlPointColours, FadeFromGreenToBlueOverTheFalloffRadius) {
    ControlCurve curve = lineCurve();
    ControlPointMarks marks;
    EXPECT_EQ(controlPointColour(marks, 2), (std::array<float, 3>{0, 0, 1})) << "no focus";
    curve.setFalloffRadius(20.0f);
    marks.weights = curve.groupWeights({1});
    EXPECT_EQ(controlPointColour(marks, 1), (std::array<float, 3>{0, 1, 0}));
    EXPECT_EQ(controlPointColour(marks, 2), (std::array<float, 3>{0, 0.5f, 0.5f}));
    EXPECT_EQ(controlPointColour(marks, 3), (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(controlPointColour(marks, 4), (std::array<float, 3>{0, 0, 1})) << "beyond the radius";
    // No falloff: every other point is blue, also one lying on the focus; a selected one the
    // drag would not move is yellow.
    curve.setFalloffRadius(0.0f);
    curve.setPoint(CurvePoint{10.0, 0.0}, 0);
    marks.weights = curve.groupWeights({1});
    marks.selected = {0, 0, 0, 1, 0};
    EXPECT_EQ(controlPointColour(marks, 0), (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(controlPointColour(marks, 2), (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(controlPointColour(marks, 3), (std::array<float, 3>{1, 0.85f, 0}));
}

}  // namespace
