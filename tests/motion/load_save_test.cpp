#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "motion_fixtures.h"

namespace fs = std::filesystem;

namespace {

const char* const kRoot6 = "Xposition Yposition Zposition Zrotation Yrotation Xrotation";

// A fresh, empty folder of the test's own.
fs::path emptyFolder(const std::string& name) {
    const fs::path folder = fs::path(testing::TempDir()) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

int entriesIn(const fs::path& folder) {
    return static_cast<int>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// The orientation part of the root's transform at a frame.
std::array<float, 9> rootOrientation(const Motion& motion, int frame) {
    Pose pose;
    poseFrame(motion, frame, PosePass::RecordRaw, nullptr, nullptr, pose);
    const Transform& m = pose.transforms.front();
    return {m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]};
}

// The number after "Frame Time:", as the file writes it.
std::string frameTimeTextOf(const std::string& path) {
    std::istringstream text(readWhole(path));
    std::string word;
    while (text >> word && word != "Time:") {
    }
    return text >> word ? word : "";
}

// load -> save with no edit -> load keeps every joint's channel line and every value to the four
// decimals written (the root's too, whatever its OFFSET or rotation order), so every joint of
// every frame stays in place and the root keeps its orientation.
void expectRoundTripKeepsTheMotion(const std::string& path, const std::string& savedName) {
    Motion original;
    ASSERT_EQ(1, fixtures::loadQuietly(original, path)) << path;
    const std::string saved = testing::TempDir() + savedName;
    ASSERT_EQ(1, fixtures::saveQuietly(original, saved)) << path;
    Motion reloaded;
    ASSERT_EQ(1, fixtures::loadQuietly(reloaded, saved)) << path;
    ASSERT_EQ(original.frameCount(), reloaded.frameCount());
    ASSERT_EQ(original.joints().size(), reloaded.joints().size());
    for (std::size_t j = 0; j < original.joints().size(); ++j) {
        ASSERT_EQ(original.joints()[j]->channels(), reloaded.joints()[j]->channels())
            << path << " joint " << original.joints()[j]->name();
    }
    EXPECT_EQ(original.frameTime(), reloaded.frameTime()) << path;
    EXPECT_EQ(frameTimeTextOf(path), frameTimeTextOf(saved)) << path;
    const int columns = original.frames()->channelCount();
    for (int f = 0; f < original.frameCount(); ++f) {
        for (int c = 0; c < columns; ++c) {
            const float a = original.frames()->value(f, c);
            ASSERT_NEAR(a, reloaded.frames()->value(f, c), 5e-5f + std::fabs(a) * 2e-7f)
                << path << " frame " << f << " column " << c;
        }
    }
    const float tolerance = 1e-3f * fixtures::motionSize(original);
    for (int f = 0; f < original.frameCount(); ++f) {
        const fixtures::Positions a = fixtures::posedAt(original, f, PosePass::RecordRaw);
        const fixtures::Positions b = fixtures::posedAt(reloaded, f, PosePass::RecordRaw);
        for (std::size_t j = 0; j < a.size(); ++j) {
            ASSERT_LE(fixtures::distance(a[j], b[j]), tolerance)
                << path << " frame " << f << " joint " << original.joints()[j]->name();
        }
        const std::array<float, 9> ra = rootOrientation(original, f);
        const std::array<float, 9> rb = rootOrientation(reloaded, f);
        for (int k = 0; k < 9; ++k) {
            ASSERT_NEAR(ra[k], rb[k], 1e-3f) << path << " frame " << f;
        }
    }
}

TEST(LoadSave, EveryCorpusFileSurvivesAnUneditedRoundTrip) {
    SKIP_WITHOUT_CORPUS();
    for (const std::string& path : corpusFiles()) {
        expectRoundTripKeepsTheMotion(path, "roundtrip_" + fs::path(path).filename().string());
    }
}

TEST(LoadSave, RootOffsetIsNotAddedTwiceBySaving) {
    const std::string path = writeScratch(
        "offset_root.bvh", fixtures::walkingFigure(kRoot6, 120, "7.5 3 -4.25"));
    expectRoundTripKeepsTheMotion(path, "offset_root_saved.bvh");
    Motion original;
    ASSERT_EQ(1, fixtures::loadQuietly(original, path));
    const std::string saved = testing::TempDir() + "offset_root_values.bvh";
    ASSERT_EQ(1, fixtures::saveQuietly(original, saved));
    Motion reloaded;
    ASSERT_EQ(1, fixtures::loadQuietly(reloaded, saved));
    // The file's own X and Z position channels come back, not shifted by the OFFSET.
    for (int f = 0; f < original.frameCount(); f += 7) {
        EXPECT_NEAR(original.frames()->value(f, 0), reloaded.frames()->value(f, 0), 1e-3f);
        EXPECT_NEAR(original.frames()->value(f, 1), reloaded.frames()->value(f, 1), 1e-3f);
        EXPECT_NEAR(original.frames()->value(f, 2), reloaded.frames()->value(f, 2), 1e-3f);
    }
    // Before any edit the drawn pose is the file's pose.
    for (int f = 0; f < original.frameCount(); f += 13) {
        const fixtures::Positions drawn = fixtures::posedAt(original, f, PosePass::RecordEdited);
        const fixtures::Positions raw = fixtures::posedAt(original, f, PosePass::RecordRaw);
        for (std::size_t j = 0; j < raw.size(); ++j) {
            EXPECT_LE(fixtures::distance(drawn[j], raw[j]), 1e-3f);
        }
    }
}

TEST(LoadSave, RefusedFilesLeaveTheMotionAsItWas) {
    const std::string good =
        writeScratch("good.bvh", fixtures::walkingFigure(kRoot6, 60));
    std::string noFrames = fixtures::walkingFigure(kRoot6, 0);
    std::string badMotion = fixtures::walkingFigure(kRoot6, 3);
    badMotion.replace(badMotion.find("Frames:"), 7, "Framez:");
    std::string notANumber = fixtures::walkingFigure(kRoot6, 3);
    notANumber.replace(notANumber.rfind("\n", notANumber.size() - 2) + 1, 1, "nan ");
    // Each value is finite, but the spine lies beyond the largest float.
    std::string tooFar = fixtures::walkingFigure(kRoot6, 3, "3e38 0 0");
    tooFar.replace(tooFar.find("OFFSET 0 10 1"), 13, "OFFSET 3e38 10 1");
    const struct {
        const char* name;
        std::string text;
        const char* message;
    } refused[] = {
        {"no_frames.bvh", noFrames, "The Parser could not parse this: no frames\n"},
        {"bad_motion.bvh", badMotion, "The Parser could not parse this: Frames:\n"},
        {"nan.bvh", notANumber, "The Parser could not parse this: non-finite value\n"},
        {"too_far.bvh", tooFar, "The Parser could not parse this: value out of range\n"},
    };
    for (const auto& file : refused) {
        const std::string path = writeScratch(file.name, file.text);
        Motion fresh;
        std::string printed;
        EXPECT_EQ(0, fixtures::loadQuietly(fresh, path, &printed)) << file.name;
        EXPECT_EQ(file.message, printed) << file.name;
        EXPECT_EQ(nullptr, fresh.root()) << file.name;
        EXPECT_EQ(nullptr, fresh.frames()) << file.name;
        EXPECT_TRUE(fresh.rootTrackX().empty()) << file.name;
        EXPECT_TRUE(fresh.joints().empty()) << file.name;

        Motion loaded;
        ASSERT_EQ(1, fixtures::loadQuietly(loaded, good));
        const Joint* root = loaded.root();
        EXPECT_EQ(0, fixtures::loadQuietly(loaded, path)) << file.name;
        EXPECT_EQ(root, loaded.root()) << file.name;
        EXPECT_EQ(60, loaded.frameCount()) << file.name;
        EXPECT_EQ(60u, loaded.rootTrackX().size()) << file.name;
        EXPECT_EQ(root, loaded.joints().front()) << file.name;
    }
    Motion missing;
    std::string printed;
    EXPECT_EQ(0, fixtures::loadQuietly(missing, testing::TempDir() + "absent.bvh", &printed));
    EXPECT_EQ("The Parser could not parse this: Could not open the file.\n", printed);
}

TEST(LoadSave, OneFrameMotionIsMeasuredOnceAndSaves) {
    const std::string path =
        writeScratch("one_frame.bvh", fixtures::walkingFigure(kRoot6, 1));
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(motion, path));
    EXPECT_EQ(1u, motion.rootTrackX().size());
    EXPECT_EQ(3, fixtures::fittedPath(motion).curve()->pointCount());
    expectRoundTripKeepsTheMotion(path, "one_frame_saved.bvh");
}

TEST(LoadSave, LoadSizesTheMarkerAndLiftsEveryPoseOntoTheGround) {
    const std::string path =
        writeScratch("last_frame.bvh", fixtures::walkingFigure(kRoot6, 90));
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(motion, path));
    EXPECT_EQ(90u, motion.rootTrackX().size());
    EXPECT_FLOAT_EQ(0.015f * std::max({motion.width(), motion.height(), motion.depth()}),
                    motion.markerRadius());
    // The lift puts the lowest joint of the whole motion on the ground.
    float lowest = 1e30f;
    Pose pose;
    for (int f = 0; f < motion.frameCount(); ++f) {
        ASSERT_TRUE(poseFrame(motion, f, PosePass::RecordRaw, nullptr, nullptr, pose));
        EXPECT_GE(pose.bounds[MinY], -1e-4f) << f;
        lowest = std::min(lowest, pose.bounds[MinY]);
    }
    EXPECT_NEAR(0.0f, lowest, 1e-4f);
}

TEST(LoadSave, SaveReplacesTheTargetOnlyWhenTheWholeFileIsWritten) {
    const std::string source =
        writeScratch("save_source.bvh", fixtures::walkingFigure(kRoot6, 400));
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(motion, source));

    const fs::path folder = emptyFolder("save_target");
    const fs::path target = folder / "kept.bvh";
    writeScratch("save_target/kept.bvh", "old contents");
    ASSERT_EQ(0, chmod(target.c_str(), 0640));

    // A file size limit below the motion's text makes the writer fail half-way.
    struct rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    const int failed = fixtures::saveQuietly(motion, target.string());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(0, failed);
    EXPECT_EQ("old contents", readWhole(target.string()));
    EXPECT_EQ(1, entriesIn(folder)) << "the temporary file must be removed";

    ASSERT_EQ(1, fixtures::saveQuietly(motion, target.string()));
    EXPECT_EQ(1, entriesIn(folder));
    EXPECT_EQ(0, readWhole(target.string()).rfind("HIERARCHY\n", 0));
    struct stat status;
    ASSERT_EQ(0, stat(target.c_str(), &status));
    EXPECT_EQ(0640u, status.st_mode & 07777u) << "the saved file keeps the target's permissions";

    ASSERT_EQ(0, chmod(target.c_str(), 0440));
    if (access(target.c_str(), W_OK) != 0) {  // a privileged user may write anyway
        EXPECT_EQ(0, fixtures::saveQuietly(motion, target.string()));
        EXPECT_EQ(1, entriesIn(folder));
    }
    ASSERT_EQ(0, chmod(target.c_str(), 0640));

    EXPECT_EQ(0, fixtures::saveQuietly(motion, (folder / "absent" / "x.bvh").string()));
    EXPECT_FALSE(fs::exists(folder / "absent"));
    Motion empty;
    EXPECT_EQ(0, fixtures::saveQuietly(empty, (folder / "empty.bvh").string()));
    EXPECT_EQ(1, entriesIn(folder));

    // Saving through a link replaces the file it names and keeps the link.
    const fs::path link = folder / "link.bvh";
    fs::create_symlink(target.filename(), link);
    writeScratch("save_target/kept.bvh", "old contents");
    ASSERT_EQ(1, fixtures::saveQuietly(motion, link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(0, readWhole(target.string()).rfind("HIERARCHY\n", 0));
    EXPECT_EQ(2, entriesIn(folder));
}

}  // namespace
