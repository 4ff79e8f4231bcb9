#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <GL/glu.h>

#include "../child_process.h"
#include "../motion/motion_fixtures.h"
#include "motion/pose.h"
#include "view/motion_view.h"
#include "view_harness.h"

namespace {

// Pixel counts of every colour the scene draws with (a channel may be off by one after the
// GL's float-to-byte rounding).
struct Census {
    int black = 0, plane = 0, grid = 0, shadow = 0;
    int axisRed = 0, axisGreen = 0, axisBlue = 0;  // axisRed is also the figure's marker red
    int bone = 0;                                  // figure bones and unselected control points
    int white = 0, strobeRed = 0, strobeBlue = 0, box = 0;
};

bool near(const unsigned char* p, int r, int g, int b) {
    return std::abs(p[0] - r) <= 1 && std::abs(p[1] - g) <= 1 && std::abs(p[2] - b) <= 1;
}

Census census(const std::vector<unsigned char>& pixels, int fromRow = 0,
              int toRow = ViewHarness::kHeight) {
    Census c;
    for (int y = fromRow; y < toRow; ++y) {
        for (int x = 0; x < ViewHarness::kWidth; ++x) {
            const unsigned char* p =
                &pixels[static_cast<std::size_t>((y * ViewHarness::kWidth + x) * 3)];
            if (near(p, 0, 0, 0))
                ++c.black;
            else if (near(p, 76, 76, 76) || near(p, 77, 77, 77))
                ++c.plane;
            else if (near(p, 102, 102, 102))
                ++c.grid;
            else if (near(p, 25, 25, 25) || near(p, 26, 26, 26))
                ++c.shadow;
            else if (near(p, 255, 64, 64))
                ++c.axisRed;
            else if (near(p, 150, 255, 150))
                ++c.axisGreen;
            else if (near(p, 128, 128, 255))
                ++c.axisBlue;
            else if (near(p, 0, 0, 255))
                ++c.bone;
            else if (near(p, 255, 255, 255))
                ++c.white;
            else if (near(p, 125, 32, 32))
                ++c.strobeRed;
            else if (near(p, 0, 0, 125))
                ++c.strobeBlue;
            else if (near(p, 229, 229, 229) || near(p, 230, 230, 230))
                ++c.box;
        }
    }
    return c;
}

// Where the pixels of one colour lie: their mean column and row, and how many there are.
struct Spread {
    double meanX = 0, meanY = 0;
    int count = 0;
};
Spread spread(const std::vector<unsigned char>& pixels, int r, int g, int b) {
    Spread s;
    for (int y = 0; y < ViewHarness::kHeight; ++y) {
        for (int x = 0; x < ViewHarness::kWidth; ++x) {
            if (near(&pixels[static_cast<std::size_t>((y * ViewHarness::kWidth + x) * 3)], r, g,
                     b)) {
                s.meanX += x;
                s.meanY += y;
                ++s.count;
            }
        }
    }
    if (s.count) {
        s.meanX /= s.count;
        s.meanY /= s.count;
    }
    return s;
}

// Every count of `after` is at least that of `before`, except the ones the toggle removed:
// switching an element off can only uncover what lay behind it.
void expectNothingElseLost(const Census& before, const Census& after, const char* option) {
    SCOPED_TRACE(option);
    EXPECT_GE(after.plane, before.plane);
    EXPECT_GE(after.grid, before.grid);
    EXPECT_GE(after.shadow, before.shadow);
    EXPECT_GE(after.axisGreen, before.axisGreen);
    EXPECT_GE(after.axisBlue, before.axisBlue);
    EXPECT_GE(after.white, before.white);
}

TEST(ViewRender, EmptyViewShowsBlackSkyGreyGroundAndTheThreeAxes) {
    ViewHarness h;
    const auto pixels = h.render();
    if (const char* dump = std::getenv("BVHPATH_VIEW_DUMP"))
        savePpm(pixels, std::string(dump) + "/empty.ppm");
    const int rows = ViewHarness::kHeight;
    // The top band tells how to start, in two lines at this width; below it the sky is black.
    const int band = 45;
    const Census hint = census(pixels, 0, band);
    EXPECT_LT(hint.black, ViewHarness::kWidth * band / 2) << "no start hint at the top";
    const Census sky = census(pixels, band, rows * 2 / 5);
    EXPECT_EQ(sky.black, ViewHarness::kWidth * (rows * 2 / 5 - band));
    const Census ground = census(pixels, rows * 3 / 4, rows);
    EXPECT_GT(ground.plane, 0);
    EXPECT_GT(ground.grid, 0);
    EXPECT_EQ(ground.plane + ground.grid, ViewHarness::kWidth * (rows - rows * 3 / 4));

    // From the eye's height of 2 the x axis lies within a depth step of the grid line under it
    // and the z axis points at the eye; a drag downwards turns the ground towards the eye.
    h.view().orbitBegin(ViewHarness::kWidth / 2, rows / 2);
    h.view().orbitDrag(ViewHarness::kWidth / 2, rows / 2 + 60);
    const auto tilted = h.render();
    const double cx = ViewHarness::kWidth / 2.0, cy = rows / 2.0;
    const Spread red = spread(tilted, 255, 64, 64);
    const Spread green = spread(tilted, 150, 255, 150);
    const Spread blue = spread(tilted, 128, 128, 255);
    ASSERT_GT(red.count, 5);
    ASSERT_GT(green.count, 5);
    ASSERT_GT(blue.count, 5);
    // The camera looks at the origin: x runs right from the centre, y up, z towards the eye.
    EXPECT_GT(red.meanX, cx + 3);
    EXPECT_NEAR(red.meanY, cy, 3);
    EXPECT_NEAR(green.meanX, cx, 2);
    EXPECT_LT(green.meanY, cy - 3);
    EXPECT_NEAR(blue.meanX, cx, 2);
    EXPECT_GT(blue.meanY, cy + 3);
}

TEST(ViewRender, EachDecorationOptionRemovesExactlyItsElement) {
    ViewHarness h;
    h.view().orbitBegin(ViewHarness::kWidth / 2, ViewHarness::kHeight / 2);
    h.view().orbitDrag(ViewHarness::kWidth / 2, ViewHarness::kHeight / 2 + 60);
    const Census all = census(h.render());
    h.view().toggleOption(OptionAxes);
    Census c = census(h.render());
    EXPECT_EQ(c.axisRed + c.axisGreen + c.axisBlue, 0);
    expectNothingElseLost(Census{all.black, all.plane, all.grid}, c, "axes");
    h.view().toggleOption(OptionAxes);

    h.view().toggleOption(OptionPlane);
    c = census(h.render());
    EXPECT_EQ(c.plane, 0);
    EXPECT_GT(c.grid, 0);
    EXPECT_GT(c.axisRed, 0);
    expectNothingElseLost(Census{0, 0, all.grid, 0, 0, all.axisGreen, all.axisBlue}, c, "plane");
    h.view().toggleOption(OptionPlane);

    h.view().toggleOption(OptionGrid);
    c = census(h.render());
    EXPECT_EQ(c.grid, 0);
    expectNothingElseLost(Census{0, all.plane, 0, 0, 0, all.axisGreen, all.axisBlue}, c, "grid");
    h.view().toggleOption(OptionGrid);

    // All back on: the same picture as at the start.
    c = census(h.render());
    EXPECT_EQ(c.plane, all.plane);
    EXPECT_EQ(c.grid, all.grid);
    EXPECT_EQ(c.axisRed, all.axisRed);
}

TEST(ViewRender, GridIsRebuiltWhenTheWindowIsShownAgain) {
    ViewHarness h;
    const Census before = census(h.render());
    ASSERT_GT(before.grid, 0);
    for (int i = 0; i < 3; ++i) {
        h.reshow();
        EXPECT_EQ(census(h.render()).grid, before.grid) << "after showing the window again " << i;
    }
}

class ViewRenderMotion : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(h.load(writeScratch("render_walker.bvh", walkerBvh(120, false))));
        h.view().setFrame(60);
    }
    ViewHarness h;
};

TEST_F(ViewRenderMotion, FigureShadowAndPathAppear) {
    h.view().toggleOption(OptionAxes);  // the axes share the markers' red
    const auto pixels = h.render();
    if (const char* dump = std::getenv("BVHPATH_VIEW_DUMP"))
        savePpm(pixels, std::string(dump) + "/walker.ppm");
    const Census c = census(pixels);
    EXPECT_GT(c.axisRed, 0) << "red joint markers";
    EXPECT_GT(c.bone, 0) << "blue bones";
    EXPECT_GT(c.shadow, 0) << "near-black shadow";
    EXPECT_GT(c.white, 0) << "white path line";
    EXPECT_EQ(c.strobeRed + c.strobeBlue + c.box, 0) << "strobes and boxes start off";
}

TEST_F(ViewRenderMotion, EachFigureOptionRemovesExactlyItsElement) {
    h.view().toggleOption(OptionAxes);
    const Census all = census(h.render());

    h.view().toggleOption(OptionShadow);
    Census c = census(h.render());
    EXPECT_EQ(c.shadow, 0);
    EXPECT_GT(c.axisRed, 0);
    Census withoutShadow = all;
    withoutShadow.shadow = 0;
    expectNothingElseLost(withoutShadow, c, "shadow");
    h.view().toggleOption(OptionShadow);

    h.view().toggleOption(OptionPath);  // path line and its (blue) control points
    c = census(h.render());
    EXPECT_EQ(c.white, 0);
    EXPECT_GT(c.bone, 0);
    EXPECT_LT(c.bone, all.bone);
    expectNothingElseLost(Census{0, all.plane, all.grid, all.shadow}, c, "path");

    // With the path off, blue belongs to the bones alone.
    const Census noPath = c;
    h.view().toggleOption(OptionBones);
    c = census(h.render());
    EXPECT_EQ(c.axisRed, 0);
    EXPECT_EQ(c.bone, 0);
    EXPECT_GT(c.shadow, 0) << "the shadow is its own option";
    expectNothingElseLost(noPath, c, "bones");
    h.view().toggleOption(OptionBones);
    h.view().toggleOption(OptionPath);

    h.view().toggleOption(OptionStrobes);
    c = census(h.render());
    EXPECT_GT(c.strobeRed, 0);
    EXPECT_GT(c.strobeBlue, 0);
    EXPECT_GT(c.axisRed, 0) << "the figure is drawn over its strobes";
    h.view().toggleOption(OptionStrobes);
    c = census(h.render());
    EXPECT_EQ(c.strobeRed + c.strobeBlue, 0);

    h.view().toggleOption(OptionBoundingBox);
    c = census(h.render());
    EXPECT_GT(c.box, 0);
    h.view().toggleOption(OptionBoundingBox);
    EXPECT_EQ(census(h.render()).box, 0);

    // Strobes draw nothing while the figure is off.
    h.view().toggleOption(OptionStrobes);
    h.view().toggleOption(OptionBones);
    c = census(h.render());
    EXPECT_EQ(c.strobeRed + c.strobeBlue + c.axisRed, 0);
}

TEST_F(ViewRenderMotion, MarkersSitOnTheRecordedJointPositions) {
    h.view().toggleOption(OptionAxes);
    h.view().toggleOption(OptionShadow);
    h.view().toggleOption(OptionPath);
    const auto pixels = h.render();
    // Project the joints' recorded (lifted, drawn) positions with the view's own camera.
    const Pose pose = h.view().shownPose();
    const std::vector<Joint*>& joints = h.view().motion()->joints();
    ASSERT_EQ(joints.size(), pose.transforms.size());
    for (std::size_t j = 0; j < joints.size(); ++j) {
        const Joint* joint = joints[j];
        const Transform& m = pose.transforms[j];
        const auto [px, py] = h.pixelOf(m[12], m[13], m[14]);
        int red = 0;
        for (int y = py - 4; y <= py + 4; ++y) {
            for (int x = px - 4; x <= px + 4; ++x) {
                if (x < 0 || y < 0 || x >= ViewHarness::kWidth || y >= ViewHarness::kHeight)
                    continue;
                red += near(&pixels[static_cast<std::size_t>((y * ViewHarness::kWidth + x) * 3)],
                            255, 64, 64);
            }
        }
        EXPECT_GT(red, 0) << joint->name() << " at " << px << ", " << py;
    }
}

TEST(ViewRenderCorpus, CorpusWalkShowsFigureShadowAndPath) {
    const std::string path = std::string(BVHPATH_CORPUS_DIR) + "/cmu_01_01_walk.bvh";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "corpus folder absent: " << path;
    ViewHarness h;
    ASSERT_TRUE(h.load(path));
    h.view().setFrame(h.view().motion()->frameCount() / 2);
    h.view().toggleOption(OptionAxes);
    const Census c = census(h.render());
    EXPECT_GT(c.axisRed, 0);
    EXPECT_GT(c.bone, 0);
    EXPECT_GT(c.shadow, 0);
    EXPECT_GT(c.white, 0);
    EXPECT_GT(c.plane, 0);
    EXPECT_GT(c.grid, 0);
}

// Bone pixels (figure blue) in a small square around a window pixel.
int bluesNear(const std::vector<unsigned char>& pixels, std::array<int, 2> at, int reach = 2) {
    int n = 0;
    for (int y = at[1] - reach; y <= at[1] + reach; ++y)
        for (int x = at[0] - reach; x <= at[0] + reach; ++x)
            if (x >= 0 && y >= 0 && x < ViewHarness::kWidth && y < ViewHarness::kHeight)
                n += near(&pixels[static_cast<std::size_t>((y * ViewHarness::kWidth + x) * 3)], 0,
                          0, 255);
    return n;
}

// Every joint with six channels, the arm's position values far from its OFFSET: its bone must
// run from the hips to where the arm is posed, not along the OFFSET.
TEST(ViewRenderMends, BonesJoinTheJointsAsPosedWhenChildrenHavePositionChannels) {
    const std::string text =
        "HIERARCHY\nROOT Hips\n{\n OFFSET 0 0 0\n"
        " CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
        " JOINT Arm\n {\n  OFFSET 0 40 0\n"
        "  CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
        "  End Site\n  {\n   OFFSET 0 30 0\n  }\n }\n}\n"
        "MOTION\nFrames: 2\nFrame Time: 0.04\n"
        "0 40 0 0 0 30 60 -40 0 0 0 0\n1 40 0 0 0 30 60 -40 0 0 0 0\n";
    ViewHarness h;
    ASSERT_TRUE(h.load(writeScratch("six_channels.bvh", text)));
    for (int option : {OptionAxes, OptionShadow, OptionPath, OptionGrid, OptionPlane})
        h.view().toggleOption(option);
    h.view().setFrame(1);
    const auto pixels = h.render();
    const Pose pose = h.view().shownPose();
    ASSERT_EQ(pose.transforms.size(), 3u);
    auto at = [&](const Transform& a, const Transform& b, float t) {
        return h.pixelOf(a[12] + t * (b[12] - a[12]), a[13] + t * (b[13] - a[13]),
                         a[14] + t * (b[14] - a[14]));
    };
    const Transform& hips = pose.transforms[0];
    const Transform& arm = pose.transforms[1];
    for (float t : {0.3f, 0.5f, 0.7f})
        EXPECT_GT(bluesNear(pixels, at(hips, arm, t)), 0) << "no bone from the hips to the arm";
    // Along the OFFSET alone (straight up from the hips) there is no bone.
    Transform offsetEnd = hips;
    offsetEnd[13] += 40.0f;
    EXPECT_EQ(bluesNear(pixels, at(hips, offsetEnd, 0.7f)), 0) << "a bone along the OFFSET";
}

TEST(ViewRenderMends, FlatFigureIsDrawnWithEveryFrameStrobed) {
    // Every joint in the x-y plane: no depth, so the fitted near plane is 0. Three frames give
    // a strobe stride of 0; each frame is then strobed once.
    const std::string text =
        "HIERARCHY\nROOT Hips\n{\n OFFSET 0 0 0\n CHANNELS 3 Xposition Yposition Zposition\n"
        " JOINT Arm\n {\n  OFFSET 30 0 0\n  CHANNELS 1 Zrotation\n"
        "  End Site\n  {\n   OFFSET 0 40 0\n  }\n }\n}\n"
        "MOTION\nFrames: 3\nFrame Time: 0.04\n0 10 0 0\n40 10 0 0\n80 10 0 0\n";
    ViewHarness h;
    ASSERT_TRUE(h.load(writeScratch("flat.bvh", text)));
    EXPECT_EQ(h.view().camera().nearPlane, 0.0f);
    h.view().toggleOption(OptionAxes);
    h.view().toggleOption(OptionStrobes);
    const Census c = census(h.render());
    EXPECT_GT(c.plane, 0);
    EXPECT_GT(c.axisRed, 0);
    EXPECT_GT(c.strobeRed, 0);
    // A near plane of 0 would put every fragment at depth 1, and the ground drawn after the
    // figure would cover it; the ground at the bottom must lie in front of the far plane.
    const float depth = h.depthAt(ViewHarness::kWidth / 2, ViewHarness::kHeight - 2);
    EXPECT_GT(depth, 0.0f);
    EXPECT_LT(depth, 0.999f);
}

// A figure of a hundred thousand turning joints, with its shadow and strobes, draws in memory
// that grows with its file: a software GL held every batch of the frame, half a gigabyte, and
// the markers go as crosses. Its bones and markers still show.
TEST(ViewRenderMends, AHundredThousandJointsDrawInMemoryThatGrowsWithTheFile) {
    const std::string text = fixtures::wideFigure(100000, 3, true);
    ViewHarness h;
    ASSERT_TRUE(h.load(writeScratch("wide.bvh", text)));
    h.view().toggleOption(OptionStrobes);
    { std::ofstream("/proc/self/clear_refs") << "5"; }
    const double before = statusKB("VmRSS:");
    const Census c = census(h.render());
    const double risenMB = (statusKB("VmHWM:") - before) / 1024.0;
    EXPECT_GT(c.bone, 0);
    EXPECT_GT(c.axisRed, 0);
    EXPECT_LT(risenMB, 20.0 * static_cast<double>(text.size()) / (1 << 20));
}

}  // namespace
