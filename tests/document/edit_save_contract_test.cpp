#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <string>

#include "edit_fixtures.h"
#include "editing/root_placement.h"
#include "motion/bake.h"

namespace {

struct RootCase {
    const char* name;
    const char* channels;
    const char* offset;
};

void PrintTo(const RootCase& root, std::ostream* out) {
    *out << root.name;
}

// What is drawn after an edit is what a save writes: after the middle control point is dragged,
// the edited pose of every frame equals the raw pose of the saved file read back. savedPath,
// when given, receives the saved file's path.
void expectSavedMatchesDrawn(const std::string& source, const std::string& tag,
                             float falloffInMarkers, std::string* savedPath = nullptr) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, source)) << source;
    fixtures::dragMiddlePoint(*file, falloffInMarkers);
    const std::string saved = testing::TempDir() + "contract_saved_" + tag + ".bvh";
    if (savedPath != nullptr) {
        *savedPath = saved;
    }
    EXPECT_TRUE(fixtures::expectSavedIsDrawn(*file, saved))
        << source << ": the edit should move part of the motion";
}

// The root layouts the bake has to re-express, each in a small generated walk.
class EditSaveContract : public testing::TestWithParam<RootCase> {
  protected:
    void expectSavedMatchesDrawn(float falloffInMarkers) {
        const RootCase& root = GetParam();
        const std::string source =
            writeScratch(std::string("contract_") + root.name + ".bvh",
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

// A figure whose root turns far from zero in the given rotation order: its first angle swings
// across 180, its last stays near -150 and its middle one is middle(f), where the principal
// angles would be the other triple. Every value has four decimals, as in a file.
std::string turnedFigure(const std::string& rotations, int frameCount, double (*middle)(int)) {
    std::ostringstream bvh;
    bvh << "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0 0 0\n\tCHANNELS 6 Xposition Yposition Zposition "
        << rotations << "\n"
        << "\tJOINT Spine\n\t{\n\t\tOFFSET 0 10 1\n\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
        << "\t\tEnd Site\n\t\t{\n\t\t\tOFFSET 0 5 0\n\t\t}\n\t}\n"
        << "\tJOINT Leg\n\t{\n\t\tOFFSET -3 -2 0\n\t\tCHANNELS 3 Xrotation Zrotation Yrotation\n"
        << "\t\tEnd Site\n\t\t{\n\t\t\tOFFSET 0 -12 0\n\t\t}\n\t}\n}\n"
        << "MOTION\nFrames: " << frameCount << "\nFrame Time: 0.033333\n"
        << std::fixed << std::setprecision(4);
    for (int f = 0; f < frameCount; ++f) {
        const double s = f / 10.0;
        bvh << 2.0 * f << " " << 30.0 << " " << 20.0 * std::sin(f / 40.0) << " "
            << 170.0 + 25.0 * std::sin(s) << " " << middle(f) << " " << -150.0 + 10.0 * std::cos(s)
            << " " << 10.0 * std::sin(s) << " " << 5.0 * s << " " << -7.0 << " "
            << 30.0 * std::cos(s) << " 12 " << 4.0 * s << "\n";
    }
    return bvh.str();
}

const char* const kEveryRotationOrder[] = {
    "Xrotation Yrotation Zrotation", "Xrotation Zrotation Yrotation",
    "Yrotation Xrotation Zrotation", "Yrotation Zrotation Xrotation",
    "Zrotation Xrotation Yrotation", "Zrotation Yrotation Xrotation"};

std::string tagOf(const std::string& rotations) {
    return {rotations[0], rotations[10], rotations[20]};
}

// Whatever the order of its rotations, an edited root keeps its channel line, the save is what
// is drawn, and no rotation channel jumps by a half or whole turn between frames (the middle
// angle stays 15 degrees or more from +-90, where Euler angles change smoothly).
class EveryRotationOrder : public testing::TestWithParam<const char*> {};

TEST_P(EveryRotationOrder, EditedSaveKeepsTheRootsChannelsWithoutJumps) {
    const std::string tag = "turned_" + tagOf(GetParam());
    const std::string source = writeScratch(tag + ".bvh", turnedFigure(GetParam(), 240, [](int f) {
                                                return 120.0 + 15.0 * std::cos(f / 12.0);
                                            }));
    std::string saved;
    expectSavedMatchesDrawn(source, tag, 30.0f, &saved);
    Motion original;
    Motion reloaded;
    ASSERT_EQ(1, fixtures::loadQuietly(original, source));
    ASSERT_EQ(1, fixtures::loadQuietly(reloaded, saved));
    EXPECT_EQ(original.root()->channels(), reloaded.root()->channels());
    ASSERT_EQ(original.frames()->channelCount(), reloaded.frames()->channelCount());
    for (int column = 3; column < 6; ++column) {
        for (int f = 1; f < reloaded.frameCount(); ++f) {
            ASSERT_LT(std::fabs(reloaded.frames()->value(f, column) -
                                reloaded.frames()->value(f - 1, column)),
                      45.0f)
                << GetParam() << " column " << column << " frame " << f;
        }
    }
}

// Middle angles a hair from +-90 degrees, where the outer two are ill-conditioned, and at it.
double nearlyUpright(int f) {
    const double pitches[] = {89.9999, -89.9991, 89.99, -89.9, 90.0001, 90.0, -90.0};
    return pitches[f % 7];
}

// Unedited, such a root comes back as it was read, to the four decimals of the file.
TEST_P(EveryRotationOrder, UneditedSaveKeepsPitchesNearNinetyDegrees) {
    const std::string tag = "upright_" + tagOf(GetParam());
    const std::string source =
        writeScratch(tag + ".bvh", turnedFigure(GetParam(), 70, nearlyUpright));
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, source));
    const Motion& original = file.motion;
    const std::string saved = testing::TempDir() + "saved_" + tag + ".bvh";
    ASSERT_EQ(1, fixtures::saveEdited(*file, saved));
    Motion reloaded;
    ASSERT_EQ(1, fixtures::loadQuietly(reloaded, saved));
    EXPECT_EQ(original.root()->channels(), reloaded.root()->channels());
    for (int f = 0; f < original.frameCount(); ++f) {
        for (int column = 3; column < 6; ++column) {
            EXPECT_NEAR(original.frames()->value(f, column), reloaded.frames()->value(f, column),
                        6e-5)
                << GetParam() << " frame " << f << " column " << column;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(RootRotations, EveryRotationOrder, testing::ValuesIn(kEveryRotationOrder),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return tagOf(info.param);
                         });

// Where the root turns about the vertical axis first, an edit only adds the heading to that
// angle: the other two keep the file's four decimals even at a pitch a hair from +-90 (where
// the float bake moved them by hundredths of a degree and more).
TEST(EditSaveContract, HeadingFirstRootsKeepTheirPitchNearNinetyDegrees) {
    for (const char* rotations :
         {"Yrotation Xrotation Zrotation", "Yrotation Zrotation Xrotation"}) {
        const std::string tag = "pitched_" + tagOf(rotations);
        const std::string source =
            writeScratch(tag + ".bvh", turnedFigure(rotations, 200, [](int f) {
                             const double pitches[] = {89.9999, -89.9991, 89.99, -89.9, 90.0001};
                             return pitches[f % 5];
                         }));
        std::string saved;
        expectSavedMatchesDrawn(source, tag, 30.0f, &saved);
        fixtures::EditedFile original;
        Motion reloaded;
        ASSERT_EQ(1, fixtures::loadEdited(original, source));
        ASSERT_EQ(1, fixtures::loadQuietly(reloaded, saved));
        // The same edit as the saved one, for the heading of each frame.
        fixtures::dragMiddlePoint(*original, 30.0f);
        const FrameTable& read = *original.motion.frames();
        for (int f = 0; f < original.motion.frameCount(); ++f) {
            const std::optional<RootPlacement> placement = original->placement(f);
            EXPECT_NEAR(read.value(f, 3) + (placement ? placement->headingDegrees : 0.0),
                        reloaded.frames()->value(f, 3), 1e-4)
                << rotations << " frame " << f;
            EXPECT_NEAR(read.value(f, 4), reloaded.frames()->value(f, 4), 6e-5)
                << rotations << " frame " << f;
            EXPECT_NEAR(read.value(f, 5), reloaded.frames()->value(f, 5), 6e-5)
                << rotations << " frame " << f;
        }
    }
}

TEST(EditSaveContractCorpus, EveryCorpusFileSavesWhatIsDrawn) {
    SKIP_WITHOUT_CORPUS();
    for (const std::string& path : corpusFiles()) {
        expectSavedMatchesDrawn(path, std::filesystem::path(path).stem().string(), 30.0f);
    }
}

// The layout a save gives the root: its own whenever that can hold the baked values, the full
// six channels only when the edit or the orientation would otherwise be lost.
std::vector<ChannelType> bakedLayout(const char* channels, bool edit) {
    const std::string source = writeScratch(std::string("layout_") + (edit ? "edited_" : "plain_") +
                                                std::to_string(std::strlen(channels)) + ".bvh",
                                            fixtures::walkingFigure(channels, 120, "0 0 0"));
    fixtures::EditedFile file;
    EXPECT_EQ(1, fixtures::loadEdited(file, source));
    if (edit) {
        fixtures::movePoint(*file, 1, 0.2 * fixtures::motionSize(file.motion), 0.0);
    }
    std::vector<ChannelType> layout;
    EXPECT_NE(nullptr, bake(file->edited(), &layout));
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
