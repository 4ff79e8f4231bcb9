#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "document/path_bend.h"
#include "document/speed_windows.h"
#include "document/time_warp.h"
#include "edit_fixtures.h"

namespace {

// A uniform stretch lengthens the motion by its factor, a pause has no pace to keep, the bound
// holds, and an unstretched path keeps its frames exactly.
TEST(TimeWarp, TheTimingFollowsTheBoundedLocalStretch) {
    const std::vector<double> walk(60, 1.0);
    const std::vector<double> doubled = localStretch(walk, std::vector<double>(60, 2.0), 15, 0.1);
    EXPECT_NEAR(doubled[30], 2.0, 1e-3);
    const std::vector<double> times = warpedTimes(doubled);
    ASSERT_EQ(times.size(), 121u);
    EXPECT_NEAR(times[60], 30.0, 0.05);
    EXPECT_EQ(times.back(), 60.0);
    EXPECT_EQ(frameNearest(&times, 61, 30.0), 60);
    EXPECT_EQ(frameNearest(nullptr, 61, 12.4), 12);
    EXPECT_NEAR(capturedTimeAt(&times, 60), 30.0, 0.05);

    const std::vector<double> same = warpedTimes(localStretch(walk, walk, 15, 0.1));
    ASSERT_EQ(same.size(), 61u);
    for (std::size_t k = 0; k < same.size(); ++k) {
        EXPECT_EQ(same[k], static_cast<double>(k));
    }

    std::vector<double> pause = walk;
    std::fill(pause.begin() + 20, pause.begin() + 40, 0.0);
    EXPECT_EQ(localStretch(pause, walk, 15, 0.1)[30], 1.0) << "standing still keeps its time";
    EXPECT_EQ(boundedStretch({10.0, 0.01, 2.0}), (std::vector<double>{4.0, 0.25, 2.0}));

    // Path Speed: as fast as the stretch without a timing, as captured where the timing keeps
    // up with it, and the rest beyond the bound.
    EXPECT_NEAR(speedRatios(doubled, nullptr)[10], 2.0f, 1e-3f);
    EXPECT_EQ(speedRatios(doubled, &doubled)[10], 1.0f);
    const std::vector<double> far(5, 10.0);
    const std::vector<double> bounded = boundedStretch(far);
    EXPECT_FLOAT_EQ(speedRatios(far, &bounded).back(), 2.5f);
}

// A window's pace is the capture's at the moments it shows: a walk slow for a second and fast
// for the next, its slow steps made twice as long and timed twice as long, plays every second at
// the capture's pace, though its windows show the slow steps for longer than the capture did.
TEST(TimeWarp, AWindowIsMeasuredAgainstTheMomentsItShows) {
    std::vector<double> captured = {0.0};
    std::vector<double> edited = {0.0};
    std::vector<double> stretch;
    for (int f = 0; f < 240; ++f) {
        const bool slow = (f / 30) % 2 == 0;
        captured.push_back(captured.back() + (slow ? 0.5 : 1.5));
        edited.push_back(edited.back() + (slow ? 1.0 : 1.5));
        stretch.push_back(slow ? 2.0 : 1.0);
    }
    const std::vector<double> moments = warpedTimes(stretch);
    std::vector<double> shown;
    for (double at : moments) {  // the root goes straight from one captured frame to the next
        const std::size_t f = std::min<std::size_t>(static_cast<std::size_t>(at), 239);
        shown.push_back(edited[f] + (at - static_cast<double>(f)) * (edited[f + 1] - edited[f]));
    }
    const SpeedRange range = speedRangeOver(captured, shown, moments, 30, 0.1, nullptr);
    EXPECT_GT(range.windows, 300);
    EXPECT_NEAR(range.lowest, 1.0, 1e-9);
    EXPECT_NEAR(range.highest, 1.0, 1e-9);
}

// A figure walking straight along x at a steady 45 units a second (30 fps), legs swinging.
std::string straightWalk(int frames) {
    std::ostringstream s;
    s << "HIERARCHY\nROOT Hips\n{\n OFFSET 0 0 0\n"
         " CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n";
    for (const char* side : {"Left 5", "Right -5"}) {
        std::istringstream words(side);
        std::string name, x;
        words >> name >> x;
        s << " JOINT " << name << "Leg\n {\n  OFFSET " << x << " 0 0\n"
          << "  CHANNELS 3 Zrotation Xrotation Yrotation\n"
          << "  End Site\n  {\n   OFFSET 0 -40 0\n  }\n }\n";
    }
    s << "}\nMOTION\nFrames: " << frames << "\nFrame Time: 0.0333333\n";
    for (int i = 0; i < frames; ++i) {
        s << 1.5 * i << " 40 0 0 0 0 0 " << 30.0 * std::sin(0.3 * i) << " 0 0 "
          << -30.0 * std::sin(0.3 * i) << " 0\n";
    }
    return s.str();
}

double travelled(const PathEdit& edit) {
    double length = 0.0;
    for (int f = 1; f < edit.frameCount(); ++f) {
        const auto a = fixtures::posedAt(edit, f - 1, PosePass::MeasureEdited)[0];
        const auto b = fixtures::posedAt(edit, f, PosePass::MeasureEdited)[0];
        length += std::hypot(b[0] - a[0], b[2] - a[2]);
    }
    return length;
}

// Bent sideways by a fifth of its length, the walk rushes through the bend as captured; with
// Keep Speed its duration grows by the path's stretch and every second walks at the capture's
// pace, and the save holds the retimed frames as drawn.
TEST(KeepSpeed, ABentStraightWalkTakesLongerAtItsOwnPace) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, writeScratch("straight.bvh", straightWalk(300))));
    const double captured = travelled(*file);
    const double share = 0.2;
    ASSERT_TRUE(bendMiddleSideways(*file, static_cast<float>(share * captured), share));
    const double stretch = travelled(*file) / captured;
    ASSERT_GT(stretch, 1.1) << "the bend lengthens the path";
    EXPECT_EQ(file->frameCount(), 300);
    EXPECT_GT(windowSpeedRange(*file).highest, 1.2);

    file->setKeepSpeed(true);
    EXPECT_NEAR((file->frameCount() - 1) / 299.0, stretch, 0.02 * stretch);
    EXPECT_NEAR(travelled(*file) / captured, stretch, 0.01 * stretch) << "the same path";
    const SpeedRange kept = windowSpeedRange(*file);
    EXPECT_GT(kept.windows, 200);
    EXPECT_GT(kept.lowest, 0.9);
    EXPECT_LT(kept.highest, 1.1);
    EXPECT_TRUE(fixtures::expectSavedIsDrawn(*file, scratchPath("straight_kept.bvh")));

    file->setKeepSpeed(false);
    EXPECT_EQ(file->frameCount(), 300);
    EXPECT_EQ(file->timing(), nullptr);
}

// The retimed frames a save writes are the ones drawn: with planted feet on the sample, and on
// a Z-up file whose root turns in all three of its rotations.
TEST(KeepSpeed, SavedRetimedFramesAreTheDrawnOnes) {
    fixtures::EditedFile sample;
    ASSERT_EQ(1, fixtures::loadEdited(
                     sample, std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh"));
    ASSERT_TRUE(bendMiddleSideways(*sample, 0.3f * sample.motion.height(), 0.25));
    ASSERT_TRUE(sample->setFeetPlanted(true));
    sample->setKeepSpeed(true);
    EXPECT_GT(sample->frameCount(), 310);
    EXPECT_TRUE(fixtures::expectSavedIsDrawn(*sample, scratchPath("sample_kept.bvh")));

    fixtures::EditedFile zUp;
    ASSERT_EQ(1, fixtures::loadEdited(
                     zUp, writeScratch("kept_z_up.bvh",
                                       fixtures::turnedToZUp(fixtures::walkingFigure(
                                           "Xposition Yposition Zposition Zrotation Xrotation "
                                           "Yrotation",
                                           240, "3 -2 5")))));
    ASSERT_EQ(zUp.motion.upAxis(), UpAxis::Z);
    fixtures::dragMiddlePoint(*zUp, 40.0f);
    zUp->setKeepSpeed(true);
    EXPECT_NE(zUp->frameCount(), 240);
    EXPECT_TRUE(fixtures::expectSavedIsDrawn(*zUp, scratchPath("z_up_kept.bvh")));
}

}  // namespace

// The travel is measured again only where edits reach: after drags, a whole turn and a change of
// detail, the timing and the path's speed are those of an edit made afresh with the same points.
TEST(KeepSpeed, TheTimingAfterManyEditsIsThatOfAFreshEdit) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, writeScratch("straight_long.bvh", straightWalk(5000))));
    file->setKeepSpeed(true);
    const auto expectFresh = [&](const char* after) {
        PathEdit fresh(file.motion, file->path().blockLength());
        for (int k = 0; k < file->curve().pointCount(); ++k) {
            CurvePoint p;
            file->curve().getPoint(k, p);
            fresh.setPoint(k, p);
        }
        fresh.setWholeTurn(file->wholeTurn());
        fresh.refresh();
        fresh.setKeepSpeed(true);
        ASSERT_NE(file->timing(), nullptr);
        EXPECT_EQ(*file->timing(), *fresh.timing()) << after;
        EXPECT_EQ(file->pathSpeed(), fresh.pathSpeed()) << after;
    };
    fixtures::movePoint(*file, 3, 0.0, 40.0, 30.0f);
    fixtures::movePoint(*file, 40, 20.0, -30.0);  // near a block's end
    expectFresh("two drags");
    ASSERT_TRUE(file->transform(GroundTransform::turn(0.3, file->pivot())));
    file->refresh();
    expectFresh("a whole turn");
    file->setDetail(100);
    file->refresh();
    fixtures::movePoint(*file, 20, -15.0, 25.0);
    expectFresh("a change of detail and a drag");
}
