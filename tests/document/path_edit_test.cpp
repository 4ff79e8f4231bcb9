#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "edit_fixtures.h"

namespace {

TEST(PathEdit, AFlatFirstPoseDrawsThePathAtTenUnitMarkers) {
    const std::string flat =
        "HIERARCHY\nROOT r\n{\n OFFSET 0 0 0\n CHANNELS 3 Xposition Zposition Yrotation\n"
        " End Site\n {\n  OFFSET 4 0 2\n }\n}\nMOTION\nFrames: 3\nFrame Time: 0.1\n"
        "0 0 0\n1 0 10\n2 1 20\n";
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, writeScratch("flat.bvh", flat)));
    EXPECT_FLOAT_EQ(1.0f, file.motion.markerRadius());
    EXPECT_FLOAT_EQ(10.0f, file->path().height());
    EXPECT_FLOAT_EQ(10.0f, file->curve().height());
    EXPECT_EQ(3u, file->baseline().offsetX.size());
}

TEST(PathEdit, MeasuringIsUnliftedAndDrawingFollowsTheEditedRecord) {
    const std::string path = writeScratch(
        "passes.bvh", fixtures::walkingFigure(
                          "Xposition Yposition Zposition Zrotation Xrotation Yrotation", 150));
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, path));
    const Motion& motion = file.motion;
    const float lift = -motion.bound(MinY);
    ASSERT_GT(std::fabs(lift), 1.0f);
    CurvePoint p;
    file->curve().getPoint(1, p);
    file->select(1);
    file->moveSelected(p.x - 10.0, p.z + 30.0);
    const Bounds boundsBefore = file->bounds();

    const fixtures::Positions recorded = fixtures::posedAt(*file, 40, PosePass::RecordEdited);
    EXPECT_NE(recorded, fixtures::posedAt(*file, 40, PosePass::RecordRaw)) << "the edit moves it";
    for (PosePass draw : {PosePass::DrawPlain, PosePass::DrawFigure, PosePass::DrawStrobe}) {
        EXPECT_EQ(recorded, fixtures::posedAt(*file, 40, draw));
    }
    Pose pose;
    ASSERT_TRUE(file->pose(40, PosePass::MeasureEdited, pose));
    EXPECT_NEAR(recorded[0][1] - lift, pose.transforms[0][13], 1e-4f);
    EXPECT_EQ(boundsBefore, file->bounds()) << "posing only reads the edit";
    EXPECT_FALSE(file->pose(40, PosePass::DrawPath, pose));
    EXPECT_TRUE(pose.transforms.empty());
    EXPECT_FALSE(file->pose(motion.frameCount(), PosePass::RecordEdited, pose));
    EXPECT_FALSE(file->pose(-1, PosePass::RecordEdited, pose));
    EXPECT_TRUE(pose.transforms.empty()) << "a frame outside the table poses nothing";
}

TEST(PathEdit, RefreshedBoundsEqualMeasuringEveryEditedFrame) {
    const std::string path = writeScratch(
        "refresh.bvh",
        fixtures::walkingFigure("Xposition Yposition Zposition Xrotation Yrotation Zrotation", 300,
                                "4 0 -2"));
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, path));
    CurvePoint p;
    file->curve().getPoint(3, p);
    file->setFalloffRadius(150.0f);
    file->select(3);
    file->moveSelected(p.x + 40.0, p.z + 70.0);
    const Bounds loaded = file->bounds();

    file->refresh();
    const Bounds refreshed = file->bounds();
    EXPECT_EQ(loaded[MaxY], refreshed[MaxY]);
    EXPECT_EQ(loaded[MinY], refreshed[MinY]);
    EXPECT_GT(refreshed[MaxZ], loaded[MaxZ] + 1.0f) << "the edit should widen the bounds";

    // The plain definition: MeasureEdited at every frame, x and z only.
    Bounds expected = loaded;
    const Bounds fresh = resetBounds();
    for (int k : {MaxX, MinX, MaxZ, MinZ}) {
        expected[k] = fresh[k];
    }
    Pose pose;
    for (int f = 0; f < file.motion.frameCount(); ++f) {
        ASSERT_TRUE(file->pose(f, PosePass::MeasureEdited, pose));
        expected[MaxX] = std::max(expected[MaxX], pose.bounds[MaxX]);
        expected[MinX] = std::min(expected[MinX], pose.bounds[MinX]);
        expected[MaxZ] = std::max(expected[MaxZ], pose.bounds[MaxZ]);
        expected[MinZ] = std::min(expected[MinZ], pose.bounds[MinZ]);
    }
    const float tolerance = 1e-5f * fixtures::motionSize(file.motion);
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(expected[k], refreshed[k], tolerance) << k;
    }
    // Without the load's root-relative cache the same bounds come from posing every joint.
    file.motion.releaseBoundsCache();
    file->refresh();
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(refreshed[k], file->bounds()[k], tolerance) << k;
    }
}

// Posing a few joints puts each where the whole pose puts it, in every pass and with planted
// legs; lists that break the rule (out of order, a parent missing, a joint that does not exist)
// pose nothing.
TEST(PathEdit, PosingSomeJointsPutsThemWhereTheWholePosePutsThem) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(
                     file, std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh"));
    ASSERT_TRUE(file->findFeet());
    const LegChain leg = file->feet().front().leg;
    fixtures::movePoint(*file, 2, 40.0, -30.0);
    ASSERT_TRUE(file->setFeetPlanted(true));
    const Motion& motion = file.motion;
    std::vector<int> chain;
    for (int j = leg.toe; j >= 0; j = motion.parentIndex()[static_cast<std::size_t>(j)]) {
        chain.insert(chain.begin(), j);
    }
    const EditedMotion edited = file->edited();
    Pose some;
    Pose whole;
    for (PosePass pass : {PosePass::MeasureRaw, PosePass::MeasureEdited, PosePass::RecordEdited}) {
        for (int f : {0, 37, 150}) {
            ASSERT_TRUE(edited.poseSome(f, pass, chain, some));
            ASSERT_TRUE(edited.pose(f, pass, whole));
            for (int j : chain) {
                EXPECT_EQ(some.transforms[static_cast<std::size_t>(j)],
                          whole.transforms[static_cast<std::size_t>(j)])
                    << "pass " << static_cast<int>(pass) << " frame " << f << " joint " << j;
            }
        }
    }
    const std::vector<int> unordered{0, leg.knee, leg.hip};
    const std::vector<int> orphan{0, leg.knee};
    const std::vector<int> absent{0, static_cast<int>(motion.joints().size())};
    for (const std::vector<int>& bad : {unordered, orphan, absent}) {
        EXPECT_FALSE(edited.poseSome(5, PosePass::MeasureEdited, bad, some));
    }
    EXPECT_FALSE(edited.poseSome(motion.frameCount(), PosePass::MeasureRaw, chain, some));
}

}  // namespace
