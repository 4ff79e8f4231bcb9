#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../motion/bvh_test_support.h"
#include "../motion/independent_fk.h"
#include "edit_fixtures.h"

namespace {

// An edited save of a file read Z-up or with replacing position channels is, in the file's own
// conventions, what was drawn: read back by the program, and read by an independent
// forward-kinematics reader of the saved text (double precision, turned upright for Z-up).
void expectEditedSaveIsWhatWasDrawn(const std::string& source, const std::string& tag) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, source)) << tag;
    const Motion& motion = file.motion;
    fixtures::dragMiddlePoint(*file, 30.0f);
    const std::string saved = testing::TempDir() + "reading_saved_" + tag + ".bvh";
    fixtures::expectSavedIsDrawn(*file, saved);
    Motion reloaded;
    ASSERT_EQ(1, fixtures::loadQuietly(reloaded, saved)) << tag;
    EXPECT_EQ(motion.upAxis(), reloaded.upAxis()) << tag;
    EXPECT_EQ(motion.positionChannels(), reloaded.positionChannels()) << tag;
    const independent::File text = independent::parse(readWhole(saved));
    const bool replace = motion.positionChannels() == PositionChannels::ValueReplacesOffset;
    const float size = fixtures::motionSize(motion);
    double worst = 0.0;
    Bounds ground = resetBounds();
    for (int f = 0; f < motion.frameCount(); ++f) {
        const fixtures::Positions drawn = fixtures::posedAt(*file, f, PosePass::MeasureEdited);
        for (const auto& d : drawn) {
            ground = {std::max(ground[MaxX], d[0]), std::min(ground[MinX], d[0]), 0.0f, 0.0f,
                      std::max(ground[MaxZ], d[2]), std::min(ground[MinZ], d[2])};
        }
        const std::vector<std::array<double, 3>> read = independent::positions(text, f, replace);
        ASSERT_EQ(drawn.size(), read.size()) << tag;
        for (std::size_t j = 0; j < drawn.size(); ++j) {
            const std::array<double, 3>& e = read[j];
            const double upright[3] = {e[0], motion.upAxis() == UpAxis::Z ? e[2] : e[1],
                                       motion.upAxis() == UpAxis::Z ? -e[1] : e[2]};
            for (std::size_t a = 0; a < 3; ++a) {
                worst = std::max(worst, std::fabs(upright[a] - drawn[j][a]));
            }
        }
    }
    EXPECT_LE(worst, 1e-4 * size) << tag << ": the independent reader's largest difference";
    // The edit's ground bounds, refreshed from the cached root-relative positions, are those of
    // the edited poses.
    for (int i : {MaxX, MinX, MaxZ, MinZ}) {
        EXPECT_NEAR(file->bounds()[static_cast<std::size_t>(i)],
                    ground[static_cast<std::size_t>(i)], 1e-4f * size)
            << tag;
    }
}

TEST(ReadingSave, EditedSavesAreWhatWasDrawnInTheFilesOwnConventions) {
    const char* walkRoot = "Xposition Yposition Zposition Zrotation Xrotation Yrotation";
    const struct {
        const char* tag;
        std::string text;
    } cases[] = {
        {"z_up_walk", fixtures::turnedToZUp(fixtures::walkingFigure(walkRoot, 240))},
        {"replace_walk", fixtures::sixChannelFigure(4, 240, true)},
        {"replace_in_place", fixtures::sixChannelFigure(4, 240)},
        {"z_up_replace_walk", fixtures::turnedToZUp(fixtures::sixChannelFigure(4, 240, true))},
    };
    for (const auto& c : cases) {
        expectEditedSaveIsWhatWasDrawn(writeScratch(std::string(c.tag) + ".bvh", c.text), c.tag);
    }
    const std::filesystem::path corpus(BVHPATH_CORPUS_DIR);
    if (!std::filesystem::is_directory(corpus)) {
        GTEST_SKIP() << "corpus folder " << corpus << " is absent";
    }
    for (const char* name :
         {"bandai_raise_hands_inplace", "makehuman_zombie_walk", "pybvh_xzy_mixed_orders"}) {
        expectEditedSaveIsWhatWasDrawn((corpus / (std::string(name) + ".bvh")).string(), name);
    }
    const std::string turned =
        writeScratch("cmu_12_01_turned.bvh",
                     fixtures::turnedToZUp(readWhole((corpus / "cmu_12_01_walk.bvh").string())));
    expectEditedSaveIsWhatWasDrawn(turned, "cmu_12_01_turned");
}

// Unedited, a Z-up file comes back as it was: the same skeleton text (OFFSETs, channel lines)
// and every value to the four decimals written, whatever the order of the root's rotations.
TEST(ReadingSave, AnUneditedSaveOfAZUpFileGivesItsValuesBack) {
    const char* orders[] = {"Xrotation Yrotation Zrotation", "Xrotation Zrotation Yrotation",
                            "Yrotation Xrotation Zrotation", "Yrotation Zrotation Xrotation",
                            "Zrotation Xrotation Yrotation", "Zrotation Yrotation Xrotation"};
    for (const char* order : orders) {
        const std::string tag = std::string("z_up_plain_") + order[0] + order[10] + order[20];
        const std::string source = writeScratch(
            tag + ".bvh", fixtures::turnedToZUp(fixtures::walkingFigure(
                              std::string("Xposition Yposition Zposition ") + order, 200)));
        fixtures::EditedFile file;
        ASSERT_EQ(1, fixtures::loadEdited(file, source));
        ASSERT_EQ(UpAxis::Z, file.motion.upAxis()) << tag;
        const std::string saved = testing::TempDir() + tag + "_saved.bvh";
        ASSERT_EQ(1, fixtures::saveEdited(*file, saved));
        const ReadResult a = readBvhFile(source);
        const ReadResult b = readBvhFile(saved);
        ASSERT_TRUE(a.frames && b.frames) << tag;
        const std::vector<const Joint*> ja = preOrder(a.root.get());
        const std::vector<const Joint*> jb = preOrder(b.root.get());
        ASSERT_EQ(ja.size(), jb.size());
        for (std::size_t j = 0; j < ja.size(); ++j) {
            EXPECT_EQ(ja[j]->channels(), jb[j]->channels()) << tag << " joint " << j;
            for (std::size_t k = 0; k < 3; ++k) {
                EXPECT_NEAR(ja[j]->offset()[k], jb[j]->offset()[k], 5e-5) << tag;
            }
        }
        ASSERT_EQ(a.frames->values().size(), b.frames->values().size());
        for (std::size_t i = 0; i < a.frames->values().size(); ++i) {
            ASSERT_NEAR(a.frames->values()[i], b.frames->values()[i], 6e-5)
                << tag << " value " << i;
        }
    }
}

}  // namespace
