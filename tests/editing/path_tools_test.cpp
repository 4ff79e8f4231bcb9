#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "editing/control_curve.h"
#include "editing/falloff.h"
#include "editing/ground_transform.h"
#include "editing/root_heading.h"
#include "editing/root_path.h"

namespace {

TEST(Falloff, ShapesFallFromOneToNothingAtTheRadiusTheSmoothOneWithoutASlope) {
    for (FalloffShape shape : {FalloffShape::Linear, FalloffShape::Smooth}) {
        EXPECT_EQ(falloffWeight(shape, 0.0, 8.0f), 1.0f);
        EXPECT_EQ(falloffWeight(shape, 4.0, 8.0f), 0.5f);
        EXPECT_EQ(falloffWeight(shape, 8.0, 8.0f), 0.0f);
        EXPECT_EQ(falloffWeight(shape, 9.0, 8.0f), 0.0f);
        EXPECT_EQ(falloffWeight(shape, 1.0, 0.0f), 0.0f);
    }
    EXPECT_EQ(falloffWeight(FalloffShape::Off, 0.0, 8.0f), 0.0f);
    // A hundredth of the radius short of the rim: the linear weight is a hundredth, the bell's
    // is of the second order (pi^2 / 4 * 1e-4) and it leaves the dragged point as flat.
    EXPECT_NEAR(falloffWeight(FalloffShape::Linear, 7.92, 8.0f), 0.01f, 1e-6f);
    EXPECT_NEAR(falloffWeight(FalloffShape::Smooth, 7.92, 8.0f), 2.47e-4f, 1e-6f);
    EXPECT_NEAR(falloffWeight(FalloffShape::Smooth, 0.08, 8.0f), 1.0f - 2.47e-4f, 1e-6f);
}

ControlCurve lineOfPoints(int count, double spacing) {
    ControlCurve curve;
    for (int i = 0; i < count; ++i)
        curve.setPoint({spacing * i, 0.0}, i);
    curve.useCatmullRom();
    return curve;
}

// Points 2 and 4 are dragged together by 2; the others are 10 from the nearer of them. Point 3
// comes after 2 has moved, so 4 (not yet moved) gives it the larger weight; point 5 comes after
// both, 10 along and 10 across from 4.
TEST(GroupDrag, TheGroupMovesRigidlyAndOthersByTheLargestWeightAnyMemberGives) {
    ControlCurve curve = lineOfPoints(7, 10.0);
    curve.setFalloffRadius(15.0f);
    curve.select(2);
    const std::vector<float> before = curve.groupWeights({4});
    const float third = static_cast<float>(1.0 - 10.0 / 15.0);
    EXPECT_EQ(before, (std::vector<float>{0, third, 1, third, 1, third, 0}));
    curve.moveGroup({4}, 20.0, 10.0);
    const float across = static_cast<float>(1.0 - std::hypot(10.0, 10.0) / 15.0);
    const double expectedZ[] = {0, third * 10.0, 10, third * 10.0, 10, across * 10.0, 0};
    for (int i = 0; i < 7; ++i) {
        CurvePoint p;
        curve.getPoint(i, p);
        EXPECT_EQ(p.z, expectedZ[i]) << i;
        EXPECT_EQ(p.x, 10.0 * i) << i;
    }
    // Off, the group moves alone; a smooth bell gives half at half the radius.
    curve.setFalloffShape(FalloffShape::Off);
    EXPECT_EQ(curve.groupWeights({4}), (std::vector<float>{0, 0, 1, 0, 1, 0, 0}));
    ControlCurve smooth = lineOfPoints(7, 10.0);
    smooth.setFalloffShape(FalloffShape::Smooth);
    smooth.setFalloffRadius(20.0f);
    smooth.select(2);
    EXPECT_EQ(smooth.groupWeights({})[3], 0.5f) << "the selected point is always in the group";
}

// The mapping of blocks of 50 as it was before the block length became a setting, for motions
// of two blocks or more (a single block's mapping never depended on the length).
double blocksOf50(int frame, int frameCount) {
    frame = frame < 0 ? 0 : frame >= frameCount ? frameCount - 1 : frame;
    const int blocks = frameCount / 50 + (frameCount % 50 != 0 ? 1 : 0);
    const double n = blocks + 1;
    const int lastBlock = frameCount % 50 != 0 ? frameCount % 50 : 50;
    if (frame < 25)
        return (2.0 * frame / 50) / n;
    const int k = (frame - 25) / 50;
    const int r = (frame - 25) % 50;
    if (k + 2 <= blocks + 1 - 2)
        return (k + 1) / n + (static_cast<double>(r) / 50) / n;
    const int d = frame - (25 + (blocks - 2) * 50);
    const int span = 25 + lastBlock / 2;
    if (d <= span)
        return (blocks - 1) / n + (static_cast<double>(d) / span) / n;
    return blocks / n + (2.0 * (d - span) / lastBlock) / n;
}

TEST(PathDetail, BlocksOf50MapEveryFrameAsTheyAlwaysDid) {
    RootPath path;
    int differ = 0;
    for (int frames = 51; frames <= 1300; ++frames) {
        for (int a = -1; a <= frames; ++a)
            differ += path.frameParameter(a, frames) != blocksOf50(a, frames);
    }
    EXPECT_EQ(differ, 0);
}

// The mapping is the broken line through the anchors the mapping's comment names: no jump at
// any anchor, whatever the block length, for every motion of more than one block.
TEST(PathDetail, BlocksOfNMapAlongTheLineThroughTheirAnchors) {
    for (int length : {4, 5, 25, 37, 100, 200}) {
        RootPath path;
        path.setBlockLength(length);
        int bad = 0;
        for (int frames = length + 1; frames <= 5 * length + 3; ++frames) {
            const int blocks = (frames + length - 1) / length;
            const int last = frames - (blocks - 1) * length;
            std::vector<double> anchors{0.0};
            for (int k = 1; k < blocks; ++k)
                anchors.push_back(length / 2 + (k - 1) * length);
            anchors.push_back(anchors.back() + (length - length / 2) + last / 2);
            anchors.push_back(anchors.back() + last / 2.0);
            for (int a = 0, k = 0; a < frames; ++a) {
                while (a > anchors[static_cast<std::size_t>(k) + 1])
                    ++k;
                const double share = (a - anchors[static_cast<std::size_t>(k)]) /
                                     (anchors[static_cast<std::size_t>(k) + 1] -
                                      anchors[static_cast<std::size_t>(k)]);
                const double t = (k + share) / (blocks + 1);
                bad += std::fabs(path.frameParameter(a, frames) - t) > 1e-12 || t >= 1.0;
            }
        }
        EXPECT_EQ(bad, 0) << "blocks of " << length;
    }
    RootPath path;
    path.setBlockLength(1);
    EXPECT_EQ(path.blockLength(), RootPath::kShortestBlock);
}

// A walk that stands still for its middle third, turned as a whole a quarter about a pivot:
// every frame, standing ones included, turns by the quarter.
TEST(WholeTurn, EveryFrameTurnsByItWhereTheFigureWalksAndWhereItStands) {
    std::vector<CurvePoint> fitted;
    for (int f = 0; f < 180; ++f)
        fitted.push_back({static_cast<double>(f < 60 ? f : f < 120 ? 60 : f - 60), 2.0});
    const HeadingChords chords = headingChords(fitted, 40.0, 30.0);
    const double quarter = std::acos(-1.0) / 2.0;
    const GroundTransform turn = GroundTransform::turn(quarter, {7.0, -3.0});
    std::vector<CurvePoint> turned;
    for (const CurvePoint& p : fitted)
        turned.push_back(turn.apply(p));
    const std::vector<double> heading = turnedHeadings(chords, turned, 30.0, quarter);
    const std::vector<double> local = addedHeadings(chords, turned, 30.0);
    for (std::size_t f = 0; f < fitted.size(); ++f)
        ASSERT_NEAR(heading[f], quarter, 1e-6) << f;
    EXPECT_NEAR(local[90], 0.0, 1e-9) << "measured on the points alone, standing is not turned";
    EXPECT_EQ(turnedHeadings(chords, fitted, 30.0, 0.0), addedHeadings(chords, fitted, 30.0));
    EXPECT_FALSE(GroundTransform::scale(0.0, {}).usable());
    EXPECT_FALSE(GroundTransform::shift(NAN, 1.0).usable());
}

}  // namespace
