#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "fake_clock.h"

namespace {

class PlayerTest : public ::testing::Test {
  protected:
    PlayerTest() : panel(5, 795, 790, 100, nullptr, clock) {
        panel.callback(Notifications::record, &seen);
        loadFrames(panel, 100);
        seen.clear();
    }
    // What the play button does.
    void pressPlay() { panel.playButton().do_callback(); }
    void tickAfter(long ms) {
        clock.now += ms;
        panel.tick();
    }
    std::string playLabel() { return panel.playButton().label(); }

    FakeClock clock;
    PlaybackPanel panel;
    Notifications seen;
};

TEST_F(PlayerTest, TimedPlaybackFollowsTheClockAndSkipsFrames) {
    pressPlay();
    EXPECT_TRUE(panel.isPlaying());
    EXPECT_EQ(playLabel(), "@||");
    EXPECT_EQ(seen.frames, (std::vector<int>{1}));  // starting announces the current frame
    tickAfter(0);
    tickAfter(110);
    tickAfter(110);
    tickAfter(110);
    EXPECT_EQ(seen.frames, (std::vector<int>{1, 4, 7, 10}));

    PlaybackPanel fresh(0, 0, 790, 100, nullptr, clock);
    loadFrames(fresh, 100);
    fresh.playButton().do_callback();
    fresh.tick();
    clock.now += 1010;
    fresh.tick();
    EXPECT_EQ(fresh.frame(), 31);
    // Exactly one second at 30 fps is 30 whole frames, not 29.
    clock.now += 990;
    fresh.tick();
    EXPECT_EQ(fresh.frame(), 61);
}

TEST_F(PlayerTest, TheFirstTickOfAPlaybackStartsTheCount) {
    pressPlay();
    clock.now += 5000;  // time before the first tick does not count
    panel.tick();
    EXPECT_EQ(panel.startTicks(), clock.now);
    EXPECT_EQ(panel.frame(), 1);
    tickAfter(34);
    EXPECT_EQ(panel.frame(), 2);
}

TEST_F(PlayerTest, WithoutLoopingPlaybackStopsAtTheEndOfThePlayRange) {
    panel.setPlayRange(1, 10);
    panel.setFrame(9);
    seen.clear();
    pressPlay();
    tickAfter(0);
    tickAfter(34);
    EXPECT_EQ(panel.frame(), 10);
    tickAfter(34);
    EXPECT_FALSE(panel.isPlaying());
    EXPECT_EQ(playLabel(), "@>");
    EXPECT_EQ(panel.frame(), 10);
    EXPECT_EQ(panel.baseFrame(), 10);
    EXPECT_EQ(seen.frames, (std::vector<int>{9, 10}));
    tickAfter(34);
    EXPECT_FALSE(panel.wasPlaying());
    EXPECT_EQ(panel.frame(), 10);
}

TEST_F(PlayerTest, WithLoopingTheEndRestartsTheClockAtTheRangeStart) {
    panel.doCommand(PlaybackPanel::LoopingOn);
    panel.setPlayRange(5, 10);
    panel.setFrame(10);
    pressPlay();
    tickAfter(0);
    seen.clear();
    tickAfter(50);  // 1.5 frames on: past the end, the half frame beyond it is dropped
    EXPECT_TRUE(panel.isPlaying());
    EXPECT_EQ(panel.frame(), 5);
    EXPECT_EQ(panel.startTicks(), clock.now);
    EXPECT_EQ(panel.baseFrame(), 5);
    tickAfter(34);
    EXPECT_EQ(seen.frames, (std::vector<int>{5, 6}));
}

TEST_F(PlayerTest, ALateTickPastTheEndSettlesOnTheEndSilentlyThenStops) {
    panel.setPlayRange(1, 10);
    pressPlay();
    tickAfter(0);
    seen.clear();
    tickAfter(1000);  // due: frame 31
    EXPECT_EQ(panel.frame(), 10);
    EXPECT_TRUE(seen.frames.empty());
    EXPECT_STREQ(panel.timeDisplay().value(), "1");  // the widgets keep the last frame shown
    EXPECT_EQ(panel.frameSlider().value(), 1.0);
    EXPECT_TRUE(panel.isPlaying());
    tickAfter(10);
    EXPECT_FALSE(panel.isPlaying());
    EXPECT_TRUE(seen.frames.empty());
}

TEST_F(PlayerTest, PlayPressedAtTheEndStopsAgainAfterOneFrame) {
    panel.setFrame(100);
    pressPlay();
    tickAfter(0);
    tickAfter(20);
    EXPECT_TRUE(panel.isPlaying());
    tickAfter(20);
    EXPECT_FALSE(panel.isPlaying());
    EXPECT_EQ(panel.frame(), 100);

    panel.doCommand(PlaybackPanel::SpeedAfap);
    pressPlay();
    tickAfter(0);
    EXPECT_FALSE(panel.isPlaying());  // AFAP: at once
}

TEST_F(PlayerTest, SteppingAtTheRangeEnds) {
    panel.setPlayRange(3, 8);
    panel.setFrame(8);
    seen.clear();
    long started = panel.startTicks();
    clock.now += 500;
    panel.stepForwardButton().do_callback();
    EXPECT_EQ(panel.frame(), 8);
    EXPECT_TRUE(seen.frames.empty());  // nothing at all happens

    panel.doCommand(PlaybackPanel::LoopingOn);
    panel.stepBy(1);
    EXPECT_EQ(panel.frame(), 3);
    EXPECT_NE(panel.startTicks(), started);
    EXPECT_EQ(panel.startTicks(), clock.now);

    seen.clear();
    panel.stepBackButton().do_callback();
    EXPECT_EQ(panel.frame(), 3);
    EXPECT_EQ(seen.frames, (std::vector<int>{3}));  // set again, announced again
}

TEST_F(PlayerTest, SteppingOnAfterStoppingAtTheEndStartsOver) {
    panel.setPlayRange(1, 10);
    panel.setFrame(10);
    pressPlay();
    tickAfter(0);
    tickAfter(40);
    ASSERT_FALSE(panel.isPlaying());
    ASSERT_EQ(panel.baseFrame(), 10);
    panel.stepBy(-1);
    EXPECT_EQ(panel.frame(), 9);
    panel.stepBy(1);
    EXPECT_EQ(panel.frame(), 1);
    EXPECT_EQ(panel.baseFrame(), 1);
}

TEST_F(PlayerTest, ASpeedChangeWhilePlayingGoesOnWithoutAJump) {
    pressPlay();
    tickAfter(0);
    tickAfter(1634);
    ASSERT_EQ(panel.frame(), 50);
    panel.optionsMenu().picked(panel.optionsMenu().find_item("Speed/24 fps"));
    EXPECT_EQ(panel.framesPerSecond(), 24.0f);
    tickAfter(0);
    EXPECT_EQ(panel.frame(), 50);
    tickAfter(1000);
    EXPECT_EQ(panel.frame(), 74);
}

TEST_F(PlayerTest, AfapWithLoopingShowsEveryFrameRoundAndRound) {
    panel.doCommand(PlaybackPanel::SpeedAfap);
    panel.doCommand(PlaybackPanel::LoopingOn);
    panel.setPlayRange(3, 5);
    seen.clear();
    pressPlay();
    for (int i = 0; i < 7; ++i) {
        tickAfter(0);
    }
    EXPECT_EQ(seen.frames, (std::vector<int>{3, 4, 5, 3, 4, 5, 3, 4}));
}

TEST_F(PlayerTest, RaisingThePlayRangeStartWhilePlayingHoldsThereUntilTheCountCatchesUp) {
    pressPlay();
    tickAfter(0);
    tickAfter(34);
    ASSERT_EQ(panel.frame(), 2);
    seen.clear();
    panel.setPlayRange(5, 100);  // the count still runs from frame 1
    tickAfter(34);
    tickAfter(34);
    EXPECT_EQ(seen.frames, (std::vector<int>{5, 5, 5}));
    tickAfter(34);
    tickAfter(34);
    EXPECT_EQ(panel.frame(), 6);
}

TEST_F(PlayerTest, MovingTheFrameSliderWhilePlayingKeepsTheClocksStart) {
    pressPlay();
    tickAfter(0);
    tickAfter(100);  // frame 4
    long started = panel.startTicks();
    panel.frameSlider().value(40);
    panel.frameSlider().do_callback();
    EXPECT_EQ(panel.frame(), 40);
    EXPECT_EQ(panel.baseFrame(), 40);
    EXPECT_EQ(panel.startTicks(), started);
    tickAfter(0);
    EXPECT_EQ(panel.frame(), 43);  // 40 plus the 3 frames counted since the start
}

TEST_F(PlayerTest, TheIdleHookRunsOnlyWhilePlaybackNeedsIt) {
    EXPECT_FALSE(panel.tickScheduled());
    pressPlay();
    EXPECT_TRUE(panel.tickScheduled());
    tickAfter(0);
    tickAfter(100);
    EXPECT_TRUE(panel.tickScheduled());
    pressPlay();  // stop
    EXPECT_FALSE(panel.isPlaying());
    EXPECT_TRUE(panel.tickScheduled());  // the next tick still settles the base frame
    panel.setBaseFrame(77);
    tickAfter(0);
    EXPECT_EQ(panel.baseFrame(), panel.frame());
    EXPECT_FALSE(panel.wasPlaying());
    EXPECT_FALSE(panel.tickScheduled());
    // Starting and stopping before any tick leaves one hook, which a tick then removes.
    pressPlay();
    pressPlay();
    pressPlay();
    EXPECT_TRUE(panel.tickScheduled());
    pressPlay();
    tickAfter(0);
    EXPECT_FALSE(panel.tickScheduled());
}

TEST_F(PlayerTest, ExtremeSpeedsAndFrameNumbersStayInRange) {
    panel.setFramesPerSecond(1.0e30f);
    pressPlay();
    tickAfter(0);
    tickAfter(1000000000L);
    EXPECT_EQ(panel.frame(), 100);
    panel.setFrameRange(-5, 2147483647);
    panel.setPlayRange(-5, 2147483647);
    panel.doCommand(PlaybackPanel::SpeedAfap);
    panel.setFrame(2147483647);
    panel.stepBy(1);  // no wrap to a negative frame
    EXPECT_EQ(panel.frame(), 2147483647);
}

TEST(SteadyPlaybackClock, CountsWallClockMillisecondsWhileTheProgramSleeps) {
    const PlaybackClock& clock = SteadyPlaybackClock::instance();
    long before = clock.milliseconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    long after = clock.milliseconds();
    // A processor-time clock would barely move while sleeping.
    EXPECT_GE(after - before, 60);
    EXPECT_LT(after - before, 5000);
}

}  // namespace
