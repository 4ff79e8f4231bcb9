#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "independent_fk.h"
#include "motion/bake.h"
#include "motion/reading_detection.h"
#include "motion_fixtures.h"

namespace {

using fixtures::sixChannelFigure;
constexpr int kReplacing = 4;
constexpr int kAdding = 0;

// Every joint of the pose against the independent reader's positions, turned upright for a
// Z-up reading and lifted as the pass lifts.
void expectPoseMatchesIndependent(const Motion& motion, const independent::File& file, int frame,
                                  PosePass pass, bool replace, UpAxis up, const std::string& what) {
    const fixtures::Positions posed = fixtures::posedAt(motion, frame, pass);
    const std::vector<std::array<double, 3>> expected =
        independent::positions(file, frame, replace);
    ASSERT_EQ(posed.size(), expected.size()) << what;
    const double lift = pass == PosePass::RecordRaw ? -motion.bound(MinY) : 0.0;
    const double tolerance = 1e-5 * fixtures::motionSize(motion) + 1e-4;
    for (std::size_t j = 0; j < posed.size(); ++j) {
        const std::array<double, 3>& e = expected[j];
        const std::array<double, 3> display = up == UpAxis::Z
                                                  ? std::array<double, 3>{e[0], e[2] + lift, -e[1]}
                                                  : std::array<double, 3>{e[0], e[1] + lift, e[2]};
        for (std::size_t a = 0; a < 3; ++a) {
            ASSERT_NEAR(posed[j][a], display[a], tolerance)
                << what << " frame " << frame << " joint " << j << " axis " << a;
        }
    }
}

TEST(PositionChannels, EachReadingIsDetectedAndPosesItsKnownAnswer) {
    for (bool replace : {true, false}) {
        const std::string text = sixChannelFigure(replace ? kReplacing : kAdding);
        const std::string path = writeScratch(replace ? "six_replace.bvh" : "six_add.bvh", text);
        Motion motion;
        ASSERT_EQ(1, fixtures::loadQuietly(motion, path));
        EXPECT_EQ(
            replace ? PositionChannels::ValueReplacesOffset : PositionChannels::OffsetPlusValue,
            motion.positionChannels());
        EXPECT_EQ(UpAxis::Y, motion.upAxis());
        const independent::File file = independent::parse(text);
        for (int f : {0, 17, 59}) {
            expectPoseMatchesIndependent(motion, file, f, PosePass::MeasureRaw, replace, UpAxis::Y,
                                         replace ? "replace" : "add");
        }
        // Frame 0 has no turn: under either reading the neck's end is the hips' values plus the
        // spine and neck translations (their OFFSETs, once) plus the End Site's 10.
        const fixtures::Positions frame0 = fixtures::posedAt(motion, 0, PosePass::MeasureRaw);
        EXPECT_NEAR(replace ? 88.0 + 20.0 + 25.001 + 10.0 : 90.0 + 88.0 + 20.0 + 25.001 + 10.0,
                    frame0[4][1], 1e-3);
    }
}

TEST(PositionChannels, TheCallersReadingOverridesDetection) {
    const std::string path = writeScratch("six_forced.bvh", sixChannelFigure(kReplacing));
    LoadOptions add;
    add.positionChannels = PositionChannels::OffsetPlusValue;
    Motion forced;
    ASSERT_TRUE(loadMotion(path, forced, add));
    EXPECT_EQ(PositionChannels::OffsetPlusValue, forced.positionChannels());
    Motion detected;
    ASSERT_TRUE(loadMotion(path, detected));
    // Added to their OFFSETs, the values double every bone: the spine's 20 and the neck's 25
    // count twice, and the hips' 90 and -400 come on top.
    const float neckForced = fixtures::posedAt(forced, 0, PosePass::MeasureRaw)[3][1];
    const float neckDetected = fixtures::posedAt(detected, 0, PosePass::MeasureRaw)[3][1];
    EXPECT_NEAR(neckForced - neckDetected, 90.0 + 20.0 + 25.0, 0.01);
}

// The corpus as it is read: every file's detected reading, and every pose as an independent
// forward-kinematics reader of the same text poses it under that reading.
TEST(ReadingCorpus, EveryFileIsReadAsItsAuthorMeantIt) {
    SKIP_WITHOUT_CORPUS();
    struct Reading {
        UpAxis up;
        PositionChannels channels;
    };
    const auto y = UpAxis::Y;
    const auto z = UpAxis::Z;
    const auto add = PositionChannels::OffsetPlusValue;
    const auto replace = PositionChannels::ValueReplacesOffset;
    const std::map<std::string, Reading> expected = {
        {"av_walk_xyz_offset.bvh", {y, add}},
        {"bandai_raise_hands_inplace.bvh", {y, replace}},
        {"cmu_01_01_walk.bvh", {y, add}},
        {"cmu_12_01_walk.bvh", {y, add}},
        // Both have the spine along +z and the legs along -z: they lay on their side before.
        {"makehuman_zombie_walk.bvh", {z, add}},
        {"mixamo_colon_fingers.bvh", {y, add}},
        {"mocapbank_crlf_zxy.bvh", {y, add}},
        {"pfnn_cmu_crlf.bvh", {y, add}},
        {"pybvh_xzy_mixed_orders.bvh", {z, add}},
        {"pybvh_yxz_crlf.bvh", {y, add}},
        {"synth_sinusoidal_noendsite.bvh", {y, add}},
    };
    int seen = 0;
    for (const std::string& path : corpusFiles()) {
        const std::string name = std::filesystem::path(path).filename().string();
        Motion motion;
        ASSERT_EQ(1, fixtures::loadQuietly(motion, path)) << name;
        const auto known = expected.find(name);
        ASSERT_NE(known, expected.end()) << name << " is new: add its reading to the table";
        EXPECT_EQ(known->second.up, motion.upAxis()) << name;
        EXPECT_EQ(known->second.channels, motion.positionChannels()) << name;
        ++seen;
        const independent::File file = independent::parse(readWhole(path));
        for (int f = 0; f < motion.frameCount(); f += std::max(1, motion.frameCount() / 7)) {
            expectPoseMatchesIndependent(motion, file, f, PosePass::RecordRaw,
                                         motion.positionChannels() == replace, motion.upAxis(),
                                         name);
        }
        if (motion.upAxis() == UpAxis::Z) {
            // Upright now: taller than it is deep, where read y-up it lay on its back.
            EXPECT_GT(motion.height(), motion.depth()) << name;
            LoadOptions lying;
            lying.upAxis = UpAxis::Y;
            Motion before;
            ASSERT_TRUE(loadMotion(path, before, lying));
            EXPECT_FLOAT_EQ(before.depth(), motion.height()) << name;
        }
    }
    EXPECT_EQ(expected.size(), static_cast<std::size_t>(seen));
}

// The corpus walk turned into a Z-up file: detected as such and drawn as the Y-up original is,
// and read the other way (forced y) it lies on its side, as every Z-up file did before.
TEST(UpAxis, AZUpFileIsDetectedAndDrawnUpright) {
    const std::string source = std::string(BVHPATH_CORPUS_DIR) + "/cmu_12_01_walk.bvh";
    if (!std::filesystem::exists(source)) {
        GTEST_SKIP() << source << " is absent";
    }
    const std::string zUp =
        writeScratch("cmu_12_01_z_up.bvh", fixtures::turnedToZUp(readWhole(source)));
    Motion original;
    Motion turned;
    ASSERT_EQ(1, fixtures::loadQuietly(original, source));
    ASSERT_EQ(1, fixtures::loadQuietly(turned, zUp));
    EXPECT_EQ(UpAxis::Y, original.upAxis());
    EXPECT_EQ(UpAxis::Z, turned.upAxis());
    const float tolerance = 1e-4f * fixtures::motionSize(original);
    for (int f = 0; f < original.frameCount(); f += 37) {
        const fixtures::Positions a = fixtures::posedAt(original, f, PosePass::RecordRaw);
        const fixtures::Positions b = fixtures::posedAt(turned, f, PosePass::RecordRaw);
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t j = 0; j < a.size(); ++j) {
            ASSERT_LE(fixtures::distance(a[j], b[j]), tolerance) << "frame " << f << " joint " << j;
        }
    }
    EXPECT_NEAR(original.height(), turned.height(), tolerance);
    // The path is fitted in the file's own ground plane: the same track, the same curve.
    const RootPath originalPath = fixtures::fittedPath(original);
    const RootPath turnedPath = fixtures::fittedPath(turned);
    ASSERT_EQ(originalPath.curve()->pointCount(), turnedPath.curve()->pointCount());
    EXPECT_NEAR(originalPath.fittedZ()[5], turnedPath.fittedZ()[5], tolerance);

    LoadOptions lying;
    lying.upAxis = UpAxis::Y;
    Motion forced;
    ASSERT_TRUE(loadMotion(zUp, forced, lying));
    EXPECT_NEAR(forced.depth(), original.height(), tolerance);
}

// A figure standing still in a T-pose, its arm span wider than it is tall; with zUp its OFFSETs
// and the root's height are written along z, as a Z-up exporter writes them.
std::string tPoseFigure(bool zUp) {
    // Below the hips, by depth: two legs, then the spine with the arms and the neck at the chest.
    // A part that the next does not go below is an End Site; the last closes the hips.
    const int parts[][4] = {{1, 10, -5, 0}, {2, 0, -45, 0},  {3, 0, -47, 12}, {1, -10, -5, 0},
                            {2, 0, -45, 0}, {3, 0, -47, 12}, {1, 0, 35, 0},   {2, 50, 15, 0},
                            {3, 42, 0, 0},  {2, -50, 15, 0}, {3, -42, 0, 0},  {2, 0, 20, 0},
                            {3, 0, 15, 0},  {0, 0, 0, 0}};
    std::ostringstream bvh;
    bvh << "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\n"
        << "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n";
    std::string zeros;
    for (std::size_t i = 0; i + 1 < std::size(parts); ++i) {
        const int* p = parts[i];
        const bool end = parts[i + 1][0] <= p[0];
        bvh << (end ? "End Site" : "JOINT J") << "\n{\nOFFSET " << p[1] << " "
            << (zUp ? -p[3] : p[2]) << " " << (zUp ? p[2] : p[3]) << "\n"
            << (end ? "" : "CHANNELS 3 Zrotation Xrotation Yrotation\n");
        zeros += end ? "" : " 0 0 0";
        for (int d = p[0]; end && d >= parts[i + 1][0]; --d) {
            bvh << "}\n";
        }
    }
    const std::string frame = (zUp ? "0 0 97" : "0 97 0") + (" 0 0 0" + zeros) + "\n";
    bvh << "MOTION\nFrames: 2\nFrame Time: 0.033333\n" << frame << frame;
    return bvh.str();
}

// A Z-up figure is told from its shape when its root stays in place, and from its root's travel
// over the x-y ground when it walks; a Y-up walker along z is not taken for one. A T-pose wider
// than it is tall is told by its legs and spine, written along z or turned there by the root.
TEST(UpAxis, DetectionReadsTheShapeAndTheTravel) {
    const std::string walking =
        fixtures::walkingFigure("Xposition Yposition Zposition Zrotation Yrotation Xrotation", 120);
    const struct {
        const char* name;
        std::string text;
        UpAxis expected;
    } cases[] = {
        {"walk_y.bvh", walking, UpAxis::Y},
        {"walk_z.bvh", fixtures::turnedToZUp(walking), UpAxis::Z},
        {"six_y.bvh", sixChannelFigure(kReplacing), UpAxis::Y},
        {"six_z.bvh", fixtures::turnedToZUp(sixChannelFigure(kAdding)), UpAxis::Z},
        {"t_pose_y.bvh", tPoseFigure(false), UpAxis::Y},
        {"t_pose_z.bvh", tPoseFigure(true), UpAxis::Z},
        {"t_pose_turned_z.bvh", fixtures::turnedToZUp(tPoseFigure(false)), UpAxis::Z},
    };
    for (const auto& c : cases) {
        Motion motion;
        ASSERT_EQ(1, fixtures::loadQuietly(motion, writeScratch(c.name, c.text))) << c.name;
        EXPECT_EQ(c.expected, motion.upAxis()) << c.name;
    }
}

// Saving with other conventions than the file's (the command line's convert) keeps what is
// drawn: read back, with its conventions detected, the output poses as the input did.
TEST(SaveOptions, ConvertedFilesDrawTheSameAndAreDetectedAsWritten) {
    const std::string walking =
        fixtures::walkingFigure("Xposition Yposition Zposition Zrotation Xrotation Yrotation", 150);
    struct Case {
        const char* name;
        std::string text;
        SaveOptions options;
        UpAxis up;
        PositionChannels channels;
    };
    SaveOptions toY;
    toY.upAxis = UpAxis::Y;
    SaveOptions toZ;
    toZ.upAxis = UpAxis::Z;
    SaveOptions toAdd;
    toAdd.positionChannels = PositionChannels::OffsetPlusValue;
    SaveOptions toReplace;
    toReplace.positionChannels = PositionChannels::ValueReplacesOffset;
    const Case cases[] = {
        {"conv_z_to_y", fixtures::turnedToZUp(walking), toY, UpAxis::Y,
         PositionChannels::OffsetPlusValue},
        {"conv_y_to_z", walking, toZ, UpAxis::Z, PositionChannels::OffsetPlusValue},
        {"conv_replace_to_add", sixChannelFigure(kReplacing), toAdd, UpAxis::Y,
         PositionChannels::OffsetPlusValue},
        {"conv_add_to_replace", sixChannelFigure(kAdding), toReplace, UpAxis::Y,
         PositionChannels::ValueReplacesOffset},
    };
    for (const Case& c : cases) {
        Motion motion;
        ASSERT_EQ(
            1, fixtures::loadQuietly(motion, writeScratch(std::string(c.name) + ".bvh", c.text)));
        const std::string out = testing::TempDir() + c.name + "_out.bvh";
        ASSERT_TRUE(saveMotion(EditedMotion(motion), out, c.options)) << c.name;
        Motion back;
        ASSERT_EQ(1, fixtures::loadQuietly(back, out)) << c.name;
        EXPECT_EQ(c.up, back.upAxis()) << c.name;
        EXPECT_EQ(c.channels, back.positionChannels()) << c.name;
        const float tolerance = 1e-4f * fixtures::motionSize(motion);
        for (int f = 0; f < motion.frameCount(); f += 7) {
            const fixtures::Positions a = fixtures::posedAt(motion, f, PosePass::RecordRaw);
            const fixtures::Positions b = fixtures::posedAt(back, f, PosePass::RecordRaw);
            ASSERT_EQ(a.size(), b.size());
            for (std::size_t j = 0; j < a.size(); ++j) {
                ASSERT_LE(fixtures::distance(a[j], b[j]), tolerance)
                    << c.name << " frame " << f << " joint " << j;
            }
        }
    }
}

// Five joints are judged: the hips (whose values are never near their OFFSET) and the four
// below them; "replace" needs four of them.
TEST(PositionChannels, DetectionNeedsThreeQuartersOfTheLongBones) {
    for (int kept = 0; kept <= 4; ++kept) {
        Motion motion;
        ASSERT_EQ(1, fixtures::loadQuietly(
                         motion, writeScratch("six_kept.bvh", sixChannelFigure(kept, 2))));
        EXPECT_EQ(
            kept == 4 ? PositionChannels::ValueReplacesOffset : PositionChannels::OffsetPlusValue,
            detectPositionChannels(motion))
            << kept << " joints keep their OFFSETs";
    }
}

}  // namespace
