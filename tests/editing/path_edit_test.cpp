#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "editing/control_curve.h"
#include "editing/root_heading.h"
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

// The path points of a figure walking `frames` frames at 30 fps along x, one unit a frame.
std::vector<CurvePoint> straightWalk(int frames) {
    std::vector<CurvePoint> points;
    for (int f = 0; f < frames; ++f) {
        points.push_back({static_cast<double>(f), 0.0});
    }
    return points;
}

double largestStepDegrees(const std::vector<double>& heading) {
    double largest = 0.0;
    for (std::size_t f = 1; f < heading.size(); ++f) {
        largest = std::max(
            largest, std::fabs(std::remainder(heading[f] - heading[f - 1], 2.0 * std::acos(-1.0))));
    }
    return largest * 180.0 / std::acos(-1.0);
}

TEST(AddedHeading, AnUneditedPathAddsNoTurnAndATurnedOneTurnsTheFigure) {
    const std::vector<CurvePoint> fitted = straightWalk(120);
    const HeadingChords chords = headingChords(fitted, 40.0, 30.0);
    for (double h : addedHeadings(chords, fitted, 30.0)) {
        ASSERT_EQ(h, 0.0);
    }
    // Turned a quarter, the path runs along +z: from +x to +z is -90 degrees about +y.
    std::vector<CurvePoint> turned;
    for (const CurvePoint& p : fitted) {
        turned.push_back({0.0, p.x});
    }
    for (double h : addedHeadings(chords, turned, 30.0)) {
        ASSERT_NEAR(h * 180.0 / std::acos(-1.0), -90.0, 1e-9);
    }
    EXPECT_EQ(placeRoot(3.0, 4.0, 0.5, 1.5, -2.5).backX, -1.5);
    EXPECT_EQ(placeRoot(3.0, 4.0, 0.5, 1.5, -2.5).backZ, 2.5);
}

// A path that doubles back on itself in one frame turns the figure round at most 360 degrees a
// second, and it ends facing back; a figure that stands in place is moved without being turned.
TEST(AddedHeading, AReversalTurnsAtABoundedRateAndStandingStillNever) {
    const std::vector<CurvePoint> fitted = straightWalk(120);
    std::vector<CurvePoint> reversed;
    for (const CurvePoint& p : fitted) {
        reversed.push_back({p.x < 60.0 ? p.x : 120.0 - p.x, 0.0});
    }
    const std::vector<double> heading =
        addedHeadings(headingChords(fitted, 40.0, 30.0), reversed, 30.0);
    EXPECT_LE(largestStepDegrees(heading), 12.0 + 1e-9);
    EXPECT_NEAR(std::fabs(heading.back()), std::acos(-1.0), 1e-9);
    EXPECT_EQ(heading.front(), 0.0);

    std::vector<CurvePoint> still(120, CurvePoint{5.0, 5.0});
    std::vector<CurvePoint> moved(120, CurvePoint{5.0, 5.0});
    for (std::size_t f = 0; f < still.size(); ++f) {
        still[f].x += 1e-3 * std::sin(static_cast<double>(f));
        moved[f].x += 30.0 * std::sin(0.05 * static_cast<double>(f));
    }
    for (double h : addedHeadings(headingChords(still, 40.0, 30.0), moved, 30.0)) {
        ASSERT_EQ(h, 0.0);
    }
    // A file may state a frame time of a nanosecond: its chords then reach only within the
    // motion, and laying them takes no longer than at a capture's rate.
    still.resize(3000, still.back());
    const HeadingChords chords = headingChords(still, 40.0, 1e9);
    EXPECT_LE(chords.reach, static_cast<int>(still.size()));
}
