#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../motion/independent_fk.h"
#include "document/document.h"
#include "edit_fixtures.h"

namespace {

const std::string kSample = std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh";

std::vector<CurvePoint> pointsOf(const Document& d) {
    std::vector<CurvePoint> out(static_cast<std::size_t>(d.edit()->curve().pointCount()));
    for (std::size_t i = 0; i < out.size(); ++i)
        d.edit()->curve().getPoint(static_cast<int>(i), out[i]);
    return out;
}

// Drags point k (a point of the selection takes the selection along) by (dx, dz), as from a
// cursor straight above the ground point.
void dragBy(Document& d, int k, double dx, double dz) {
    CurvePoint p;
    d.edit()->curve().getPoint(k, p);
    d.select(k);
    ASSERT_TRUE(d.beginDrag());
    const double h = d.edit()->path().height();
    d.dragTo({p.x + dx, h + 1.0, p.z + dz}, {p.x + dx, h - 1.0, p.z + dz});
    d.commitDrag();
}

int movedCount(const std::vector<CurvePoint>& a, const std::vector<CurvePoint>& b) {
    int moved = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        moved += a[i].x != b[i].x || a[i].z != b[i].z;
    return moved;
}

TEST(PathTools, EachLoadsFalloffReachesThreePointSpacingsAndMovesNeighboursOnTheSample) {
    Document d;
    ASSERT_TRUE(d.open(kSample));
    EXPECT_FLOAT_EQ(d.falloffRadius(), static_cast<float>(3.0 * d.edit()->meanPointSpacing()));
    const std::vector<CurvePoint> loaded = pointsOf(d);
    const int middle = static_cast<int>(loaded.size()) / 2;
    dragBy(d, middle, 10.0, 20.0);
    EXPECT_EQ(movedCount(loaded, pointsOf(d)), 1) << "off: the point alone";
    for (FalloffShape shape : {FalloffShape::Linear, FalloffShape::Smooth}) {
        d.undo();
        d.setFalloff(shape);
        dragBy(d, middle, 10.0, 20.0);
        EXPECT_GE(movedCount(loaded, pointsOf(d)), 5) << "both neighbours on each side";
    }
}

TEST(PathTools, ASelectionDragsRigidlyAsOneStepAndStaysSelected) {
    Document d;
    ASSERT_TRUE(d.open(kSample));
    const std::vector<CurvePoint> loaded = pointsOf(d);
    d.setSelection({4, 2, 3, 99});
    EXPECT_EQ(d.selection(), (std::vector<int>{2, 3, 4}));
    EXPECT_DOUBLE_EQ(d.edit()->pivot().z, (loaded[2].z + loaded[3].z + loaded[4].z) / 3.0);
    dragBy(d, 3, -15.0, 25.0);
    const std::vector<CurvePoint> dragged = pointsOf(d);
    for (int i = 0; i < static_cast<int>(loaded.size()); ++i) {
        const bool selected = i >= 2 && i <= 4;
        EXPECT_NEAR(dragged[i].x, loaded[i].x + (selected ? -15.0 : 0.0), 1e-9) << i;
        EXPECT_NEAR(dragged[i].z, loaded[i].z + (selected ? 25.0 : 0.0), 1e-9) << i;
    }
    EXPECT_EQ(d.historySize(), 1u);
    EXPECT_EQ(d.selection(), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(d.selected(), -1) << "no point is dragged any more";
    ASSERT_TRUE(d.undo());
    EXPECT_EQ(movedCount(loaded, pointsOf(d)), 0);
}

// The capture turned a quarter about the first control point, read by the independent reader:
// what a whole turn saves, on the sample, on a capture whose root OFFSET is off the origin and on
// one that stands still before it walks.
TEST(PathTools, AWholePathTurnSavesTheCaptureTurnedAboutThePivot) {
    std::vector<std::string> files{kSample};
    if (!corpusFiles().empty()) {
        files.push_back(corpusFile("av_walk_xyz_offset.bvh"));
        files.push_back(corpusFile("cmu_01_01_walk.bvh"));
    }
    for (const std::string& file : files) {
        Document d;
        ASSERT_TRUE(d.open(file));
        CurvePoint pivot;
        d.edit()->curve().getPoint(0, pivot);
        ASSERT_TRUE(d.transform(GroundTransform::turn(std::acos(-1.0) / 2.0, pivot)));
        const std::string saved = scratchPath("whole_turn.bvh");
        ASSERT_TRUE(d.save(saved));
        const independent::File before = independent::parse(readWhole(file));
        const independent::File after = independent::parse(readWhole(saved));
        ASSERT_EQ(before.frames.size(), after.frames.size());
        const bool replace =
            d.motion()->positionChannels() == PositionChannels::ValueReplacesOffset;
        double worst = 0.0;
        for (int f = 0; f < static_cast<int>(before.frames.size()); ++f) {
            const auto o = independent::positions(before, f, replace);
            const auto s = independent::positions(after, f, replace);
            for (std::size_t j = 0; j < o.size(); ++j) {
                // A quarter turns +x towards -z.
                const double x = pivot.x + (o[j][2] - pivot.z);
                const double z = pivot.z - (o[j][0] - pivot.x);
                worst = std::max({worst, std::fabs(s[j][0] - x), std::fabs(s[j][1] - o[j][1]),
                                  std::fabs(s[j][2] - z)});
            }
        }
        EXPECT_LT(worst, 1e-3 * fixtures::motionSize(*d.motion())) << file;
        // Undone, the file's own values come back, to the bit.
        ASSERT_TRUE(d.undo());
        EXPECT_FALSE(d.edit()->hasPathEdits());
        EXPECT_FALSE(d.edit()->placement(d.motion()->frameCount() / 2));
    }
}

// A control point every 100 frames of a 120 fps capture: 2752 frames make 28 blocks and 30
// points; unedited, every frame is the file's; the detail is one step whose undo brings back
// the edit made at 50.
TEST(PathTools, PathDetailOf100OnA120FpsCaptureIsOneStepAndKeepsTheFilesValues) {
    SKIP_WITHOUT_CORPUS();
    Document d;
    ASSERT_TRUE(d.open(corpusFile("cmu_01_01_walk.bvh")));
    ASSERT_EQ(d.edit()->curve().pointCount(), 58);
    dragBy(d, 20, 30.0, 0.0);
    const std::vector<CurvePoint> edited = pointsOf(d);
    ASSERT_TRUE(d.setPathDetail(100));
    EXPECT_EQ(d.pathDetail(), 100);
    EXPECT_EQ(d.edit()->curve().pointCount(), 30);
    EXPECT_FALSE(d.edit()->hasPathEdits());
    // Frames without a placement are saved with the file's own values.
    for (int f = 0; f < d.motion()->frameCount(); ++f)
        ASSERT_FALSE(d.edit()->placement(f)) << f;
    // A local edit leaves the frames past its reach (point 7's anchor, 50 + 6 * 100) alone.
    dragBy(d, 3, 0.0, 20.0);
    for (int f = 650; f < d.motion()->frameCount(); ++f)
        ASSERT_FALSE(d.edit()->placement(f)) << f;
    ASSERT_TRUE(d.undo());
    ASSERT_TRUE(d.undo());
    EXPECT_EQ(d.pathDetail(), 50);
    EXPECT_EQ(movedCount(edited, pointsOf(d)), 0);
    ASSERT_TRUE(d.redo());
    EXPECT_EQ(d.edit()->curve().pointCount(), 30);
    EXPECT_FALSE(d.edit()->hasPathEdits());
}

}  // namespace
