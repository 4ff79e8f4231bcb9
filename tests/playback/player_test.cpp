#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <thread>
#include <vector>

#include "fake_clock.h"
#include "playback/player.h"

namespace {

// Everything a player tells its owner, in order.
struct Recorder : PlayerListener {
    void frameAnnounced(const Player& p) override { announced.push_back(p.frame()); }
    void frameSet(const Player& p) override { shown.push_back(p.frame()); }
    void playingSet(const Player& p) override { playing.push_back(p.isPlaying()); }
    void ticksWanted(bool wanted) override { ticks.push_back(wanted); }
    void clear() {
        announced.clear();
        shown.clear();
        playing.clear();
        ticks.clear();
    }
    std::vector<int> announced;  // frames announced
    std::vector<int> shown;      // frames the controls were told to show
    std::vector<bool> playing;
    std::vector<bool> ticks;
};

// As the main window leaves a player after loading a motion of `frames` frames.
void loadFrames(Player& player, int frames) {
    player.setFrameRange(1, frames);
    player.setPlayRange(1, frames);
    player.setFrame(1);
    player.setFramesPerSecond(30.0f);
}

class PlayerTest : public ::testing::Test {
  protected:
    PlayerTest() : player(clock) {
        player.setListener(&seen);
        loadFrames(player, 100);
        seen.clear();
    }
    void tickAfter(long ms) {
        clock.now += ms;
        player.tick();
    }

    FakeClock clock;
    Player player;
    Recorder seen;
};

TEST_F(PlayerTest, TimedPlaybackFollowsTheClockAndSkipsFrames) {
    player.togglePlay();
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(seen.playing, (std::vector<bool>{true}));
    EXPECT_EQ(seen.announced, (std::vector<int>{1}));  // starting announces the current frame
    EXPECT_TRUE(seen.shown.empty());
    tickAfter(0);
    tickAfter(110);
    tickAfter(110);
    tickAfter(110);
    EXPECT_EQ(seen.announced, (std::vector<int>{1, 4, 7, 10}));
    EXPECT_EQ(seen.shown, (std::vector<int>{4, 7, 10}));

    Player fresh(clock);
    loadFrames(fresh, 100);
    fresh.togglePlay();
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
    player.togglePlay();
    clock.now += 5000;  // time before the first tick does not count
    player.tick();
    EXPECT_EQ(player.startTicks(), clock.now);
    EXPECT_EQ(player.frame(), 1);
    tickAfter(34);
    EXPECT_EQ(player.frame(), 2);
}

TEST_F(PlayerTest, WithoutLoopingPlaybackStopsAtTheEndOfThePlayRange) {
    player.setPlayRange(1, 10);
    player.setFrame(9);
    seen.clear();
    player.togglePlay();
    tickAfter(0);
    tickAfter(34);
    EXPECT_EQ(player.frame(), 10);
    tickAfter(34);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(seen.playing, (std::vector<bool>{true, false}));
    EXPECT_EQ(player.frame(), 10);
    EXPECT_EQ(player.baseFrame(), 10);
    EXPECT_EQ(seen.announced, (std::vector<int>{9, 10}));
    tickAfter(34);
    EXPECT_FALSE(player.wasPlaying());
    EXPECT_EQ(player.frame(), 10);
}

TEST_F(PlayerTest, WithLoopingTheEndRestartsTheClockAtTheRangeStart) {
    player.setLooping(true);
    player.setPlayRange(5, 10);
    player.setFrame(10);
    player.togglePlay();
    tickAfter(0);
    seen.clear();
    tickAfter(50);  // 1.5 frames on: past the end, the half frame beyond it is dropped
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.frame(), 5);
    EXPECT_EQ(player.startTicks(), clock.now);
    EXPECT_EQ(player.baseFrame(), 5);
    tickAfter(34);
    EXPECT_EQ(seen.announced, (std::vector<int>{5, 6}));
}

TEST_F(PlayerTest, ALateTickPastTheEndSettlesOnTheEndSilentlyThenStops) {
    player.setPlayRange(1, 10);
    player.togglePlay();
    tickAfter(0);
    seen.clear();
    tickAfter(1000);  // due: frame 31
    EXPECT_EQ(player.frame(), 10);
    // Neither announced nor shown: the view and the controls keep the last frame shown.
    EXPECT_TRUE(seen.announced.empty());
    EXPECT_TRUE(seen.shown.empty());
    EXPECT_TRUE(player.isPlaying());
    tickAfter(10);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_TRUE(seen.announced.empty());
}

TEST_F(PlayerTest, PlayPressedAtTheEndWithoutLoopingStartsOverFromTheRangeStart) {
    player.setPlayRange(20, 40);
    player.setFrame(40);
    seen.clear();
    clock.now += 500;
    player.togglePlay();
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.frame(), 20);
    EXPECT_EQ(seen.announced, (std::vector<int>{20}));  // once, not again for the start
    EXPECT_EQ(seen.shown, (std::vector<int>{20}));
    tickAfter(0);
    tickAfter(100);
    EXPECT_EQ(player.frame(), 23);

    // A one-frame range has nowhere to start over: play shows it and stops again.
    player.togglePlay();
    player.setPlayRange(7, 7);
    player.togglePlay();
    tickAfter(0);
    tickAfter(40);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.frame(), 7);

    // Playback started by setPlaying rather than the play control keeps the old rule.
    player.setPlayRange(1, 100);
    player.setFrame(100);
    player.setPlaying(true);
    tickAfter(0);
    tickAfter(40);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.frame(), 100);
}

TEST_F(PlayerTest, PlayPressedAtTheEndWithLoopingGoesRoundAsBefore) {
    player.setLooping(true);
    player.setPlayRange(1, 10);
    player.setFrame(10);
    seen.clear();
    player.togglePlay();
    EXPECT_EQ(seen.announced, (std::vector<int>{10}));
    tickAfter(0);
    tickAfter(40);
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.frame(), 1);
}

TEST_F(PlayerTest, SteppingAtTheRangeEnds) {
    player.setPlayRange(3, 8);
    player.setFrame(8);
    seen.clear();
    long started = player.startTicks();
    clock.now += 500;
    player.stepBy(1);
    EXPECT_EQ(player.frame(), 8);
    EXPECT_TRUE(seen.announced.empty());  // nothing at all happens

    player.setLooping(true);
    player.stepBy(1);
    EXPECT_EQ(player.frame(), 3);
    EXPECT_NE(player.startTicks(), started);
    EXPECT_EQ(player.startTicks(), clock.now);

    seen.clear();
    player.stepBy(-1);
    EXPECT_EQ(player.frame(), 3);
    EXPECT_EQ(seen.announced, (std::vector<int>{3}));  // set again, announced again
}

TEST_F(PlayerTest, SteppingOnAfterStoppingAtTheEndStartsOver) {
    player.setPlayRange(1, 10);
    player.setFrame(10);
    player.setPlaying(true);
    tickAfter(0);
    tickAfter(40);
    ASSERT_FALSE(player.isPlaying());
    ASSERT_EQ(player.baseFrame(), 10);
    player.stepBy(-1);
    EXPECT_EQ(player.frame(), 9);
    player.stepBy(1);
    EXPECT_EQ(player.frame(), 1);
    EXPECT_EQ(player.baseFrame(), 1);
}

TEST_F(PlayerTest, ASpeedChangeWhilePlayingGoesOnWithoutAJump) {
    player.togglePlay();
    tickAfter(0);
    tickAfter(1634);
    ASSERT_EQ(player.frame(), 50);
    player.setFramesPerSecond(24.0f);
    tickAfter(0);
    EXPECT_EQ(player.frame(), 50);
    tickAfter(1000);
    EXPECT_EQ(player.frame(), 74);
}

TEST_F(PlayerTest, AfapWithLoopingShowsEveryFrameRoundAndRound) {
    player.setFramesPerSecond(0.0f);
    player.setLooping(true);
    player.setPlayRange(3, 5);
    seen.clear();
    player.togglePlay();
    for (int i = 0; i < 7; ++i) {
        tickAfter(0);
    }
    EXPECT_EQ(seen.announced, (std::vector<int>{3, 4, 5, 3, 4, 5, 3, 4}));
}

TEST_F(PlayerTest, RaisingThePlayRangeStartWhilePlayingHoldsThereUntilTheCountCatchesUp) {
    player.togglePlay();
    tickAfter(0);
    tickAfter(34);
    ASSERT_EQ(player.frame(), 2);
    seen.clear();
    player.setPlayRange(5, 100);  // the count still runs from frame 1
    tickAfter(34);
    tickAfter(34);
    EXPECT_EQ(seen.announced, (std::vector<int>{5, 5, 5}));
    tickAfter(34);
    tickAfter(34);
    EXPECT_EQ(player.frame(), 6);
}

TEST_F(PlayerTest, JumpingToAFrameClampsWidensThePlayRangeAndPlaysOnFromThere) {
    player.setPlayRange(20, 40);
    player.togglePlay();
    tickAfter(0);
    tickAfter(100);
    seen.clear();
    player.jumpTo(30);
    EXPECT_EQ(player.frame(), 30);
    EXPECT_EQ(seen.announced, (std::vector<int>{30}));
    tickAfter(100);
    EXPECT_EQ(player.frame(), 33);  // counted from the jump, not from the play's start

    player.jumpTo(60);  // beyond the play range: the range grows to take it
    EXPECT_EQ(player.frame(), 60);
    EXPECT_EQ(player.rangeStart(), 20);
    EXPECT_EQ(player.rangeEnd(), 60);
    player.jumpTo(-7);
    EXPECT_EQ(player.frame(), 1);
    EXPECT_EQ(player.rangeStart(), 1);
    player.jumpTo(INT_MAX);
    EXPECT_EQ(player.frame(), 100);
    EXPECT_EQ(player.rangeEnd(), 100);
}

TEST_F(PlayerTest, TicksAreWantedOnlyWhilePlaybackNeedsThem) {
    EXPECT_FALSE(player.ticksWanted());
    player.togglePlay();
    EXPECT_TRUE(player.ticksWanted());
    tickAfter(0);
    tickAfter(100);
    EXPECT_TRUE(player.ticksWanted());
    player.togglePlay();  // stop
    EXPECT_FALSE(player.isPlaying());
    EXPECT_TRUE(player.ticksWanted());  // the next tick still settles the base frame
    player.setBaseFrame(77);
    tickAfter(0);
    EXPECT_EQ(player.baseFrame(), player.frame());
    EXPECT_FALSE(player.wasPlaying());
    EXPECT_FALSE(player.ticksWanted());
    // Starting and stopping before any tick asks once, and one tick then lets go.
    player.togglePlay();
    player.togglePlay();
    player.togglePlay();
    player.togglePlay();
    tickAfter(0);
    EXPECT_FALSE(player.ticksWanted());
    EXPECT_EQ(seen.ticks, (std::vector<bool>{true, false, true, false}));
}

TEST_F(PlayerTest, ExtremeSpeedsAndFrameNumbersStayInRange) {
    player.setFramesPerSecond(1.0e30f);
    player.togglePlay();
    tickAfter(0);
    tickAfter(1000000000L);
    EXPECT_EQ(player.frame(), 100);
    player.setFrameRange(-5, INT_MAX);
    player.setPlayRange(-5, INT_MAX);
    player.setFramesPerSecond(0.0f);
    player.setFrame(INT_MAX);
    player.stepBy(1);  // no wrap to a negative frame
    EXPECT_EQ(player.frame(), INT_MAX);
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
