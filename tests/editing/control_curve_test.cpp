#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "editing/control_curve.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

ControlCurve curveThrough(const std::vector<CurvePoint>& points, bool catmullRom) {
    ControlCurve curve;
    for (std::size_t i = 0; i < points.size(); ++i) {
        curve.setPoint(points[i], static_cast<int>(i));
    }
    if (catmullRom) {
        curve.useCatmullRom();
    }
    return curve;
}

// The segment search as first described: add 1/N to a boundary until it passes t.
void walkLocate(double t, int segments, int& s, double& u) {
    const double width = 1.0 / segments;
    double boundary = width;
    s = 0;
    while (boundary <= t) {
        boundary += width;
        ++s;
    }
    const double lo = static_cast<double>(s) / segments;
    const double h = static_cast<double>(s + 1) / segments - lo;
    u = t / h - lo / h;
}

}  // namespace

TEST(ControlCurve, SetAndGetRefuseOutOfOrderIndicesWithTheirMessages) {
    ControlCurve curve;
    CaptureStdout();
    EXPECT_EQ(curve.setPoint({1.0, 2.0}, 1), 0);
    EXPECT_EQ(GetCapturedStdout(), "You must set point 0 before you can set 1");
    CaptureStdout();
    EXPECT_EQ(curve.setPoint({1.0, 2.0}, -1), 0);
    EXPECT_EQ(GetCapturedStdout(), "You cannot set a point at position -1\n");
    EXPECT_EQ(curve.pointCount(), 0);

    CurvePoint out{7.0, 8.0};
    CaptureStdout();
    EXPECT_EQ(curve.getPoint(0, out), 0);
    EXPECT_EQ(GetCapturedStdout(), "Error:  The 0 control point was not set");
    EXPECT_EQ(out.x, 7.0);
    EXPECT_EQ(out.z, 8.0);
    CaptureStdout();
    EXPECT_EQ(curve.getPoint(-3, out), 0);  // refused like an unset index, nothing read
    EXPECT_EQ(GetCapturedStdout(), "Error:  The -3 control point was not set");

    CaptureStdout();
    EXPECT_EQ(curve.setPoint({1.0, 2.0}, 0), 1);
    EXPECT_EQ(curve.setPoint({3.0, 4.0}, 1), 1);
    EXPECT_EQ(curve.setPoint({5.0, 6.0}, 0), 1);  // overwrite keeps the count
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(curve.pointCount(), 2);
    EXPECT_EQ(curve.getPoint(0, out), 1);
    EXPECT_EQ(out.x, 5.0);
    EXPECT_EQ(out.z, 6.0);
    EXPECT_EQ(curve.pointDistance(0, 1), std::sqrt(8.0));
    EXPECT_EQ(curve.xComponent().last(), 1);
    EXPECT_EQ(curve.zComponent().last(), 1);
}

TEST(ControlCurve, GrowsAndKeepsTheEarlierValues) {
    ControlCurve curve;
    for (int i = 0; i <= 100; ++i) {
        curve.setPoint({i * 1.0, -i * 2.0}, i);
    }
    EXPECT_EQ(curve.pointCount(), 101);
    for (int i = 0; i <= 100; ++i) {
        EXPECT_EQ(curve.xComponent().value(i), i * 1.0);
        EXPECT_EQ(curve.zComponent().value(i), -i * 2.0);
    }
    EXPECT_EQ(curve.xComponent().value(101), 0.0);
}

TEST(ControlCurve, FewerThanThreePointsEvaluateToOriginAndRefuseTheForwardVector) {
    ControlCurve curve = curveThrough({{1.0, 1.0}, {2.0, 2.0}}, true);
    CurvePoint out{5.0, 5.0};
    EXPECT_EQ(curve.evaluate(0.5, out), 1);
    EXPECT_EQ(out.x, 0.0);
    EXPECT_EQ(out.z, 0.0);
    out = {5.0, 5.0};
    CaptureStdout();
    EXPECT_EQ(curve.forwardVector(0.5, out), 0);
    EXPECT_EQ(GetCapturedStdout(),
              "You must set at least 3 points before you can get the forward vector!\n");
    EXPECT_EQ(out.x, 5.0);
    EXPECT_EQ(out.z, 5.0);
}

TEST(ControlCurve, CatmullRomWorkedExampleOnAStraightLine) {
    ControlCurve curve = curveThrough({{0.0, 0.0}, {1.0, 0.0}, {2.0, 0.0}}, true);
    CurvePoint p;
    curve.evaluate(0.25, p);
    EXPECT_DOUBLE_EQ(p.x, 0.4375);
    EXPECT_EQ(p.z, 0.0);
    CurvePoint v;
    EXPECT_EQ(curve.forwardVector(0.0, v), 1);
    EXPECT_DOUBLE_EQ(v.x, 0.5);
    EXPECT_EQ(v.z, 0.0);
    curve.forwardVector(0.5, v);
    EXPECT_DOUBLE_EQ(v.x, 1.0);
    curve.evaluate(0.0, p);
    EXPECT_EQ(p.x, 0.0);
    curve.evaluate(1.0, p);
    EXPECT_DOUBLE_EQ(p.x, 2.0);
}

TEST(ControlCurve, NewCurveUsesTheBSplineBasisWithItsDecimalWeights) {
    ControlCurve curve = curveThrough({{3.0, -1.0}, {5.0, 2.0}, {9.0, 4.0}}, false);
    CurvePoint p;
    curve.evaluate(0.0, p);
    EXPECT_NEAR(p.x, 0.8334 * 3.0 + 0.1667 * 5.0, 1e-12);
    EXPECT_NEAR(p.z, 0.8334 * -1.0 + 0.1667 * 2.0, 1e-12);
    curve.useCatmullRom();
    curve.evaluate(0.0, p);
    EXPECT_EQ(p.x, 3.0);
    EXPECT_EQ(p.z, -1.0);
}

TEST(ControlCurve, FastLookupMatchesTheBoundaryWalkBitForBit) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> anyT(0.0, 1.0);
    for (int segments : {2, 3, 5, 7, 10, 49, 100, 101, 999, 3001, 8641}) {
        SplineComponent component;
        for (int i = 0; i <= segments; ++i) {
            component.setValue(i, std::sin(i * 0.37) * 10.0);
        }
        component.setBasis(kCatmullRomBasis);
        std::vector<double> ts = {0.0, 1.0, 0.5, 0.25, 0.75, 1.0 / 3.0, 2.0 / 3.0};
        // Every accumulated boundary and its neighbours, where rounding decides the segment.
        const double width = 1.0 / segments;
        double boundary = width;
        for (int k = 1; k <= segments; ++k) {
            ts.push_back(boundary);
            ts.push_back(std::nextafter(boundary, 0.0));
            ts.push_back(std::nextafter(boundary, 2.0));
            ts.push_back(static_cast<double>(k) / segments);
            boundary += width;
        }
        for (int i = 0; i < 2000; ++i) {
            ts.push_back(anyT(rng));
        }
        for (double t = 0.0; t < 1.0; t += 0.0005) {
            ts.push_back(t);
        }
        int mismatches = 0;
        for (double t : ts) {
            if (t > 1.0) {
                continue;
            }
            int s = -1;
            double u = -1.0;
            component.locate(t, s, u);
            int walkS = 0;
            double walkU = 0.0;
            walkLocate(t, segments, walkS, walkU);
            if (s != walkS || u != walkU ||
                component.position(t) != component.positionAt(walkS, walkU) ||
                component.tangent(t) != component.tangentAt(walkS, walkU)) {
                ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0) << segments << " segments";
    }
}

TEST(ControlCurve, LookupFollowsEditedValuesAndAChangedCount) {
    ControlCurve curve = curveThrough({{0.0, 0.0}, {1.0, 0.0}, {2.0, 0.0}}, true);
    CurvePoint p;
    curve.evaluate(1.0, p);
    EXPECT_DOUBLE_EQ(p.x, 2.0);
    curve.setPoint({2.0, 5.0}, 2);
    curve.evaluate(1.0, p);
    EXPECT_DOUBLE_EQ(p.z, 5.0);
    curve.setPoint({3.0, 0.0}, 3);  // three segments now: boundaries at thirds
    curve.evaluate(1.0 / 3.0, p);
    EXPECT_DOUBLE_EQ(p.x, 1.0);
    curve.evaluate(1.0, p);
    EXPECT_DOUBLE_EQ(p.x, 3.0);
}

TEST(ControlCurve, ParametersOutsideTheUnitRangeStayHarmless) {
    ControlCurve curve = curveThrough({{0.0, 0.0}, {1.0, 1.0}, {2.0, 0.0}, {3.0, 1.0}}, true);
    CurvePoint p;
    curve.evaluate(1e300, p);  // held at the end, not walked for ever
    EXPECT_DOUBLE_EQ(p.x, 3.0);
    curve.evaluate(std::numeric_limits<double>::infinity(), p);
    EXPECT_DOUBLE_EQ(p.z, 1.0);
    curve.evaluate(-0.5, p);  // segment 0, extrapolated
    EXPECT_TRUE(std::isfinite(p.x));
    curve.evaluate(std::numeric_limits<double>::quiet_NaN(), p);
    EXPECT_TRUE(std::isnan(p.x));
}

TEST(ControlCurve, PointAndForwardTogetherAreWhatTheTwoLookupsGive) {
    std::vector<CurvePoint> points;
    for (int i = 0; i < 40; ++i) {
        points.push_back({i * 3.0 + std::sin(i), 10.0 * std::cos(i * 0.4)});
    }
    const ControlCurve curve = curveThrough(points, true);
    for (double t = -0.01; t < 1.02; t += 0.00731) {
        CurvePoint point;
        CurvePoint forward;
        ASSERT_EQ(curve.evaluateWithForward(t, point, forward), 1);
        CurvePoint expectedPoint;
        CurvePoint expectedForward;
        curve.evaluate(t, expectedPoint);
        curve.forwardVector(t, expectedForward);
        EXPECT_EQ(point.x, expectedPoint.x) << t;
        EXPECT_EQ(point.z, expectedPoint.z) << t;
        EXPECT_EQ(forward.x, expectedForward.x) << t;
        EXPECT_EQ(forward.z, expectedForward.z) << t;
    }
    const ControlCurve two = curveThrough({{1.0, 1.0}, {2.0, 2.0}}, true);
    CurvePoint point{5.0, 5.0};
    CurvePoint forward{5.0, 5.0};
    EXPECT_EQ(two.evaluateWithForward(0.5, point, forward), 0);
    EXPECT_EQ(point.x, 5.0);
    EXPECT_EQ(forward.z, 5.0);
}
