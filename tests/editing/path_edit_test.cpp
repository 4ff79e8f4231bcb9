#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "editing/control_curve.h"
#include "editing/root_placement.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

ControlCurve curveThrough(const std::vector<CurvePoint>& points) {
    ControlCurve curve;
    for (std::size_t i = 0; i < points.size(); ++i) {
        curve.setPoint(points[i], static_cast<int>(i));
    }
    curve.useCatmullRom();
    return curve;
}

CurvePoint pointOf(const ControlCurve& curve, int index) {
    CurvePoint p;
    curve.getPoint(index, p);
    return p;
}

}  // namespace

TEST(MoveSelected, FalloffWeightsFallLinearlyToTheRadius) {
    // Selected point 4 at the origin; before it points at R/2, R, beyond R and at distance 0.
    ControlCurve curve =
        curveThrough({{2.0, 0.0}, {0.0, 4.0}, {5.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}});
    curve.setFalloffRadius(4.0f);
    curve.select(4);
    CaptureStdout();
    curve.moveSelected(0.0, -2.0);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(pointOf(curve, 4).z, -2.0);
    EXPECT_EQ(pointOf(curve, 0).z, -1.0);  // R/2: half the move
    EXPECT_EQ(pointOf(curve, 0).x, 2.0);
    EXPECT_EQ(pointOf(curve, 1).z, 4.0);   // at R
    EXPECT_EQ(pointOf(curve, 2).z, 0.0);   // beyond R
    EXPECT_EQ(pointOf(curve, 3).z, -2.0);  // distance 0: the whole move
    // Point 5 also coincided with the old position, but it comes after the selected point and
    // is weighed against the new one, 2 away.
    EXPECT_EQ(pointOf(curve, 5).z, -1.0);
    // The next drag event moves by the displacement since the last one, with fresh weights.
    curve.moveSelected(0.0, -4.0);
    EXPECT_EQ(pointOf(curve, 3).z, -4.0);
    const float weight = static_cast<float>(1.0 - std::hypot(2.0, 1.0) / 4.0);
    EXPECT_EQ(pointOf(curve, 0).z, -1.0 + weight * -2.0);
}

TEST(MoveSelected, ExactlyAtTheRadiusStaysAndLaterPointsUseTheNewPosition) {
    ControlCurve curve = curveThrough({{4.0, 0.0}, {0.0, 0.0}, {1.0, 1.0}});
    curve.setFalloffRadius(4.0f);
    curve.select(1);
    curve.moveSelected(1.0, 1.0);
    EXPECT_EQ(pointOf(curve, 0).x, 4.0);  // distance R from the old position: not below R
    EXPECT_EQ(pointOf(curve, 0).z, 0.0);
    // Point 2 lies on the selected point's new position: distance 0, the whole move.
    EXPECT_EQ(pointOf(curve, 2).x, 2.0);
    EXPECT_EQ(pointOf(curve, 2).z, 2.0);
}

TEST(MoveSelected, WithoutFalloffOnlyTheSelectedPointMoves) {
    ControlCurve curve = curveThrough({{0.0, 0.0}, {0.0, 0.0}, {0.1, 0.0}});
    curve.select(0);
    curve.moveSelected(3.0, 4.0);
    EXPECT_EQ(pointOf(curve, 0).x, 3.0);
    EXPECT_EQ(pointOf(curve, 1).x, 0.0);
    EXPECT_EQ(pointOf(curve, 2).x, 0.1);
    curve.setFalloffRadius(4.0f);
    curve.setFalloffRadius(0.0f);  // switched off again
    curve.moveSelected(0.0, 0.0);
    EXPECT_EQ(pointOf(curve, 1).z, 0.0);
    EXPECT_EQ(pointOf(curve, 2).z, 0.0);
}

TEST(MoveSelected, WeightIsNarrowedToFloat) {
    ControlCurve curve = curveThrough({{1.0, 0.0}, {10.0, 10.0}, {0.0, 0.0}});
    curve.setFalloffRadius(3.0f);
    curve.select(2);
    curve.moveSelected(0.0, 1.0);
    const double weight = static_cast<float>(1.0 - 1.0 / 3.0);
    EXPECT_EQ(pointOf(curve, 0).z, weight);
    EXPECT_NE(pointOf(curve, 0).z, 2.0 / 3.0);
}

TEST(MoveSelected, NothingSelectedOrAnInvalidSelectionChangesNothing) {
    ControlCurve curve = curveThrough({{0.0, 0.0}, {1.0, 0.0}, {2.0, 0.0}});
    curve.setFalloffRadius(100.0f);
    EXPECT_EQ(curve.selected(), -1);
    curve.moveSelected(5.0, 5.0);
    curve.select(7);
    curve.moveSelected(5.0, 5.0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(pointOf(curve, i).x, i * 1.0);
        EXPECT_EQ(pointOf(curve, i).z, 0.0);
    }
}

TEST(PlaceRoot, UneditedCurveLeavesEveryFrameWhereItWas) {
    RootPath path;
    std::vector<float> rootX;
    std::vector<float> rootZ;
    for (int i = 0; i < 180; ++i) {
        rootX.push_back(0.4f * i);
        rootZ.push_back(10.0f * std::sin(i * 0.02f));
        path.appendSample(rootX.back(), 1.0f, rootZ.back());
    }
    path.fitCurve();
    const ControlCurve& curve = *path.curve();
    for (int i = 0; i < 180; ++i) {
        const double t = path.frameParameter(i, 180);
        CurvePoint p;
        CurvePoint f;
        curve.evaluate(t, p);
        curve.forwardVector(t, f);
        // The baseline recorded at load: curve point minus root, and the forward vector.
        const float offsetX = static_cast<float>(p.x - rootX[static_cast<std::size_t>(i)]);
        const float offsetZ = static_cast<float>(p.z - rootZ[static_cast<std::size_t>(i)]);
        const RootPlacement placed = placeRoot(path, i, 180, offsetX, offsetZ,
                                               static_cast<float>(f.x), static_cast<float>(f.z), 1.0f);
        EXPECT_NEAR(placed.headingRadians, 0.0, 1e-6);
        EXPECT_NEAR(placed.pathX + placed.backX, rootX[static_cast<std::size_t>(i)], 1e-4);
        EXPECT_NEAR(placed.pathZ + placed.backZ, rootZ[static_cast<std::size_t>(i)], 1e-4);
    }
}

TEST(PlaceRoot, TurnedCurveTurnsTheHeadingAndMovesTheRoot) {
    RootPath path;
    for (int i = 0; i < 120; ++i) {
        path.appendSample(static_cast<float>(i), 0.0f, 0.0f);  // straight along +x
    }
    path.fitCurve();
    ControlCurve* curve = path.curve();
    // Turn every control point a quarter: the path now runs along +z.
    for (int k = 0; k < curve->pointCount(); ++k) {
        CurvePoint p;
        curve->getPoint(k, p);
        curve->setPoint({0.0, p.x}, k);
    }
    const RootPlacement placed = placeRoot(path, 60, 120, 0.0f, -2.0f, 1.0f, 0.0f, 1.0f);
    CurvePoint p;
    curve->evaluate(path.frameParameter(60, 120), p);
    EXPECT_EQ(placed.pathX, p.x);
    EXPECT_EQ(placed.pathZ, p.z);
    // From +x to +z is a turn of -90 degrees about +y in the signed-angle convention.
    EXPECT_NEAR(placed.headingRadians, -std::acos(-1.0) / 2.0, 1e-12);
    EXPECT_EQ(placed.headingDegrees, placed.headingRadians * 180.0 * 0.31830989161357204);
    EXPECT_NEAR(placed.headingDegrees, -90.0, 1e-4);
    EXPECT_EQ(placed.backX, 0.0);
    EXPECT_EQ(placed.backZ, 2.0);
}

TEST(PlaceRoot, WithoutACurveOnlyTheBackTranslationRemains) {
    RootPath path;
    const RootPlacement placed = placeRoot(path, 0, 10, 1.5f, -2.5f, 1.0f, 0.0f, 1.0f);
    EXPECT_EQ(placed.pathX, 0.0);
    EXPECT_EQ(placed.pathZ, 0.0);
    EXPECT_EQ(placed.headingRadians, 0.0);
    EXPECT_EQ(placed.backX, -1.5);
    EXPECT_EQ(placed.backZ, 2.5);
}
