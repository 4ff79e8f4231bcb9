#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
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

// What is drawn after an edit is what a save writes: after a middle control point is dragged
// (by a tenth of the motion's size), the edited pose of every frame equals the raw pose of the
// saved file read back.
void expectSavedMatchesDrawn(const std::string& source, const std::string& tag,
                             float falloffInMarkers) {
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(motion, source)) << source;
    const float size = fixtures::motionSize(motion);
    ControlCurve& curve = *motion.rootPath()->curve();
    const int middle = curve.pointCount() / 2;
    CurvePoint p;
    ASSERT_EQ(1, curve.getPoint(middle, p));
    curve.setFalloffRadius(falloffInMarkers * motion.markerRadius());
    curve.select(middle);
    curve.moveSelected(p.x + 0.1 * size, p.z - 0.15 * size);
    curve.select(-1);

    const std::string saved = testing::TempDir() + "contract_saved_" + tag + ".bvh";
    ASSERT_EQ(1, fixtures::saveQuietly(motion, saved));
    Motion reloaded;
    ASSERT_EQ(1, fixtures::loadQuietly(reloaded, saved));
    ASSERT_EQ(motion.frameCount(), reloaded.frameCount());
    const float tolerance = 1e-3f * size;
    bool moved = false;
    for (int f = 0; f < motion.frameCount(); ++f) {
        const fixtures::Positions drawn = fixtures::posedAt(motion, f, PosePass::RecordEdited);
        const fixtures::Positions raw = fixtures::posedAt(motion, f, PosePass::RecordRaw);
        const fixtures::Positions back = fixtures::posedAt(reloaded, f, PosePass::RecordRaw);
        ASSERT_EQ(drawn.size(), back.size());
        for (std::size_t j = 0; j < drawn.size(); ++j) {
            ASSERT_LE(fixtures::distance(drawn[j], back[j]), tolerance)
                << source << " frame " << f << " joint " << j;
            moved = moved || fixtures::distance(drawn[j], raw[j]) > 0.01f * size;
        }
    }
    EXPECT_TRUE(moved) << source << ": the edit should move part of the motion";
}

// The root layouts the bake has to re-express, each in a small generated walk.
class EditSaveContract : public testing::TestWithParam<RootCase> {
  protected:
    void expectSavedMatchesDrawn(float falloffInMarkers) {
        const RootCase& root = GetParam();
        const std::string source =
            fixtures::writeTemporary(std::string("contract_") + root.name + ".bvh",
                                     fixtures::walkingFigure(root.channels, 240, root.offset));
        ::expectSavedMatchesDrawn(source, root.name, falloffInMarkers);
    }
};

TEST_P(EditSaveContract, SavedFileReproducesTheDrawnEditWithoutFalloff) {
    expectSavedMatchesDrawn(0.0f);
}

TEST_P(EditSaveContract, SavedFileReproducesTheDrawnEditWithFalloff) {
    expectSavedMatchesDrawn(30.0f);
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

TEST(EditSaveContractCorpus, EveryCorpusFileSavesWhatIsDrawn) {
    const std::filesystem::path corpus(BVHPATH_CORPUS_DIR);
    if (!std::filesystem::is_directory(corpus)) {
        GTEST_SKIP() << "corpus folder " << corpus << " is absent";
    }
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (entry.path().extension() == ".bvh") {
            expectSavedMatchesDrawn(entry.path().string(), entry.path().stem().string(), 30.0f);
        }
    }
}

// The layout a save gives the root: its own whenever that can hold the baked values, the full
// six channels only when the edit or the orientation would otherwise be lost.
std::vector<ChannelType> bakedLayout(const char* channels, bool edit) {
    const std::string source =
        fixtures::writeTemporary(std::string("layout_") + (edit ? "edited_" : "plain_") +
                                     std::to_string(std::strlen(channels)) + ".bvh",
                                 fixtures::walkingFigure(channels, 120, "0 0 0"));
    Motion motion;
    EXPECT_EQ(1, fixtures::loadQuietly(motion, source));
    if (edit) {
        ControlCurve& curve = *motion.rootPath()->curve();
        CurvePoint p;
        EXPECT_EQ(1, curve.getPoint(1, p));
        curve.select(1);
        curve.moveSelected(p.x + 0.2 * fixtures::motionSize(motion), p.z);
    }
    std::vector<ChannelType> layout;
    EXPECT_NE(nullptr, bake(motion, &layout));
    return layout;
}

TEST(BakedRootLayout, KeepsTheRootsOwnChannelsUnlessTheyWouldLoseSomething) {
    const std::vector<ChannelType> full{Xposition, Yposition, Zposition,
                                        Zrotation, Yrotation, Xrotation};
    const char* zxy = "Zrotation Xposition Yposition Zposition Xrotation Yrotation";
    EXPECT_EQ((std::vector<ChannelType>{Zrotation, Xposition, Yposition, Zposition, Xrotation,
                                        Yrotation}),
              bakedLayout(zxy, true));
    const char* rotationsOnly = "Yrotation Xrotation Zrotation";
    EXPECT_EQ((std::vector<ChannelType>{Yrotation, Xrotation, Zrotation}),
              bakedLayout(rotationsOnly, false));
    EXPECT_EQ(full, bakedLayout(rotationsOnly, true));
    // Two rotations labelled Z, Y by place could not say the orientation even without an edit.
    EXPECT_EQ(full, bakedLayout("Xposition Yposition Zposition Yrotation Xrotation", false));
}

}  // namespace
