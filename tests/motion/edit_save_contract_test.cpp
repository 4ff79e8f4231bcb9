#include <gtest/gtest.h>

#include <string>

#include "motion/bake.h"
#include "motion_fixtures.h"

namespace {

struct RootCase {
    const char* name;
    const char* channels;
    const char* offset;
};

void PrintTo(const RootCase& root, std::ostream* out) {
    *out << root.name;
}

// What is drawn after an edit is what a save writes: the edited pose of every frame equals the
// raw pose of the saved file read back, for each root layout the bake has to re-express.
class EditSaveContract : public testing::TestWithParam<RootCase> {
  protected:
    void expectSavedMatchesDrawn(float falloffRadius) {
        const RootCase& root = GetParam();
        const std::string source =
            fixtures::writeTemporary(std::string("contract_") + root.name + ".bvh",
                                     fixtures::walkingFigure(root.channels, 240, root.offset));
        Motion motion;
        ASSERT_EQ(1, fixtures::loadQuietly(motion, source));
        ControlCurve& curve = *motion.rootPath->curve();
        const int middle = curve.pointCount() / 2;
        CurvePoint p;
        ASSERT_EQ(1, curve.getPoint(middle, p));
        curve.setFalloffRadius(falloffRadius);
        curve.select(middle);
        curve.moveSelected(p.x + 15.0, p.z - 25.0);
        curve.select(-1);

        const std::string saved = testing::TempDir() + "contract_saved_" + root.name + ".bvh";
        ASSERT_EQ(1, fixtures::saveQuietly(motion, saved));
        Motion reloaded;
        ASSERT_EQ(1, fixtures::loadQuietly(reloaded, saved));
        ASSERT_EQ(motion.frameCount(), reloaded.frameCount());
        const float tolerance = 1e-3f * fixtures::motionSize(motion);
        bool moved = false;
        for (int f = 0; f < motion.frameCount(); ++f) {
            const fixtures::Positions drawn = fixtures::posedAt(motion, f, PosePass::RecordEdited);
            const fixtures::Positions raw = fixtures::posedAt(motion, f, PosePass::RecordRaw);
            const fixtures::Positions back = fixtures::posedAt(reloaded, f, PosePass::RecordRaw);
            ASSERT_EQ(drawn.size(), back.size());
            for (std::size_t j = 0; j < drawn.size(); ++j) {
                ASSERT_LE(fixtures::distance(drawn[j], back[j]), tolerance)
                    << "frame " << f << " joint " << j;
                moved = moved || fixtures::distance(drawn[j], raw[j]) > 1.0f;
            }
        }
        EXPECT_TRUE(moved) << "the edit should move part of the motion";
    }
};

TEST_P(EditSaveContract, SavedFileReproducesTheDrawnEditWithoutFalloff) {
    expectSavedMatchesDrawn(0.0f);
}

TEST_P(EditSaveContract, SavedFileReproducesTheDrawnEditWithFalloff) {
    expectSavedMatchesDrawn(200.0f);
}

INSTANTIATE_TEST_SUITE_P(
    RootLayouts, EditSaveContract,
    testing::Values(
        RootCase{"zxy", "Xposition Yposition Zposition Zrotation Xrotation Yrotation", "0 0 0"},
        RootCase{"xyz", "Xposition Yposition Zposition Xrotation Yrotation Zrotation", "0 0 0"},
        RootCase{"zyx", "Xposition Yposition Zposition Zrotation Yrotation Xrotation", "0 0 0"},
        RootCase{"zxy_offset", "Zrotation Xposition Yposition Xrotation Zposition Yrotation",
                 "7.5 3 -4.25"},
        RootCase{"no_position", "Zrotation Xrotation Yrotation", "0 0 0"},
        RootCase{"no_position_offset", "Yrotation Zrotation Xrotation", "2 30 -6"},
        RootCase{"height_only", "Yposition Zrotation Yrotation Xrotation", "0 0 0"},
        RootCase{"two_rotations", "Xposition Yposition Zposition Yrotation Xrotation", "1 0 1"}),
    [](const testing::TestParamInfo<RootCase>& info) { return std::string(info.param.name); });

// A root that can carry the edit keeps its own channel layout; one that cannot is written with
// the full six channels, and only then.
TEST(BakedRootChannels, KeepTheRootsOwnLayoutWhenItCanCarryTheEdit) {
    Joint own("Hips");
    own.setChannels({Zrotation, Xposition, Yposition, Zposition, Xrotation, Yrotation});
    EXPECT_TRUE(rootCarriesEdit(own));
    EXPECT_EQ((std::vector<ChannelType>{Zrotation, Xposition, Yposition, Zposition, Xrotation,
                                        Yrotation}),
              bakedRootChannels(own));
    Joint twice("Hips");
    twice.setChannels({Xposition, Xposition, Zposition, Xrotation, Yrotation, Zrotation});
    EXPECT_FALSE(rootCarriesEdit(twice));
    Joint rotationsOnly("Hips");
    rotationsOnly.setChannels({Yrotation, Xrotation, Zrotation});
    EXPECT_EQ((std::vector<ChannelType>{Xposition, Yposition, Zposition, Zrotation, Yrotation,
                                        Xrotation}),
              bakedRootChannels(rotationsOnly));
}

}  // namespace
