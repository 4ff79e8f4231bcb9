#include <gtest/gtest.h>

#include <FL/Fl.H>

#include <cstring>
#include <string>
#include <utility>

#include "panel_support.h"

namespace {

struct Rect {
    int x, y, w, h;
    bool operator==(const Rect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

std::ostream& operator<<(std::ostream& os, const Rect& r) {
    return os << "(" << r.x << ", " << r.y << ", " << r.w << ", " << r.h << ")";
}

Rect rectOf(const Fl_Widget& w) {
    return {w.x(), w.y(), w.w(), w.h()};
}

TEST(PlaybackPanelLayout, WidePanelUnderTheView) {
    FakeClock clock;
    PlaybackPanel panel(5, 795, 790, 100, nullptr, clock);
    EXPECT_EQ(rectOf(panel), (Rect{5, 795, 790, 70}));
    EXPECT_EQ(rectOf(panel.stepBackButton()), (Rect{7, 797, 35, 30}));
    EXPECT_EQ(rectOf(panel.playButton()), (Rect{44, 797, 35, 30}));
    EXPECT_EQ(rectOf(panel.stepForwardButton()), (Rect{81, 797, 35, 30}));
    EXPECT_EQ(rectOf(panel.frameSlider()), (Rect{120, 797, 671, 30}));
    EXPECT_EQ(rectOf(panel.timeDisplay()), (Rect{7, 829, 48, 34}));
    EXPECT_EQ(rectOf(panel.loopToggle()), (Rect{57, 829, 29, 34}));
    EXPECT_EQ(rectOf(panel.optionsMenu()), (Rect{88, 829, 28, 34}));
    EXPECT_EQ(rectOf(panel.rangeSlider()), (Rect{118, 829, 675, 34}));
    EXPECT_TRUE(panel.rangeSlider().visible());
    EXPECT_TRUE(panel.loopToggle().visible());

    panel.doCommand(PlaybackPanel::DisableRangeSlider);
    EXPECT_FALSE(panel.rangeSliderEnabled());
    EXPECT_FALSE(panel.rangeSlider().visible());
    EXPECT_EQ(rectOf(panel.frameSlider()), (Rect{120, 797, 671, 66}));
    EXPECT_EQ(rectOf(panel.timeDisplay()), (Rect{7, 829, 48, 34}));

    panel.doCommand(PlaybackPanel::EnableRangeSlider);
    EXPECT_TRUE(panel.rangeSlider().visible());
    EXPECT_EQ(rectOf(panel.frameSlider()), (Rect{120, 797, 671, 30}));
}

TEST(PlaybackPanelLayout, TallPanelStacksTheSliders) {
    FakeClock clock;
    PlaybackPanel panel(0, 0, 150, 70, nullptr, clock);
    EXPECT_EQ(rectOf(panel), (Rect{0, 0, 150, 70}));
    EXPECT_EQ(rectOf(panel.stepBackButton()), (Rect{2, 2, 22, 20}));
    EXPECT_EQ(rectOf(panel.playButton()), (Rect{26, 2, 22, 20}));
    EXPECT_EQ(rectOf(panel.stepForwardButton()), (Rect{50, 2, 22, 20}));
    EXPECT_EQ(rectOf(panel.timeDisplay()), (Rect{74, 2, 50, 20}));
    EXPECT_EQ(rectOf(panel.optionsMenu()), (Rect{126, 2, 22, 20}));
    EXPECT_EQ(rectOf(panel.frameSlider()), (Rect{4, 24, 142, 21}));
    EXPECT_EQ(rectOf(panel.rangeSlider()), (Rect{2, 47, 146, 21}));
    EXPECT_FALSE(panel.loopToggle().visible());
    EXPECT_TRUE(panel.rangeSlider().visible());

    panel.doCommand(PlaybackPanel::DisableRangeSlider);
    EXPECT_EQ(rectOf(panel.stepBackButton()), (Rect{2, 2, 22, 30}));
    EXPECT_EQ(rectOf(panel.frameSlider()), (Rect{4, 34, 142, 34}));
    EXPECT_FALSE(panel.rangeSlider().visible());

    // Growing wide again brings the loop toggle back.
    panel.doCommand(PlaybackPanel::EnableRangeSlider);
    panel.resize(0, 0, 400, 60);
    EXPECT_TRUE(panel.loopToggle().visible());
}

TEST(PlaybackPanelLayout, SizeIsKeptWithinLimitsAndNarrowPanelsUseSmallGaps) {
    FakeClock clock;
    PlaybackPanel panel(0, 0, 149, 200, nullptr, clock);
    EXPECT_EQ(rectOf(panel), (Rect{0, 0, 150, 70}));
    // Gap 1: F = 50, bw = 98 / 4 - 1 = 23, bh = 69 / 3 - 1 = 22, sh = 46 / 2 - 1 = 22.
    EXPECT_EQ(rectOf(panel.stepBackButton()), (Rect{1, 1, 23, 22}));
    EXPECT_EQ(rectOf(panel.playButton()), (Rect{25, 1, 23, 22}));
    EXPECT_EQ(rectOf(panel.stepForwardButton()), (Rect{49, 1, 23, 22}));
    EXPECT_EQ(rectOf(panel.timeDisplay()), (Rect{73, 1, 50, 22}));
    EXPECT_EQ(rectOf(panel.optionsMenu()), (Rect{124, 1, 23, 22}));
    EXPECT_EQ(rectOf(panel.frameSlider()), (Rect{2, 24, 146, 22}));
    EXPECT_EQ(rectOf(panel.rangeSlider()), (Rect{1, 47, 148, 22}));

    panel.resize(10, 20, 600, 10);
    EXPECT_EQ(rectOf(panel), (Rect{10, 20, 600, 30}));
}

TEST(PlaybackPanelState, AsConstructed) {
    FakeClock clock;
    PlaybackPanel panel(5, 795, 790, 100, nullptr, clock);
    EXPECT_EQ(panel.framesPerSecond(), 30.0f);
    EXPECT_FALSE(panel.player().looping());
    EXPECT_EQ(panel.loopToggle().value(), 0);
    EXPECT_FALSE(panel.player().isPlaying());
    EXPECT_STREQ(panel.playButton().label(), "@>");
    EXPECT_EQ(panel.playButton().labeltype(), FL_SYMBOL_LABEL);
    EXPECT_STREQ(panel.timeDisplay().value(), "0");
    EXPECT_EQ(panel.timeDisplayMode(), PlaybackPanel::FrameNumberMode);
    EXPECT_EQ(panel.frame(), 0);
    EXPECT_EQ(panel.player().firstFrame(), 0);
    EXPECT_EQ(panel.player().lastFrame(), 1);
    EXPECT_EQ(panel.player().rangeStart(), 0);
    EXPECT_EQ(panel.player().rangeEnd(), 1);
    EXPECT_EQ(panel.frameSlider().minimum(), 0.0);
    EXPECT_EQ(panel.frameSlider().maximum(), 1.0);
    EXPECT_EQ(panel.rangeSlider().minimum(), 0.0);
    EXPECT_EQ(panel.rangeSlider().maximum(), 1.0);
    EXPECT_EQ(panel.rangeSlider().minimumSpan(), 1.0);
    EXPECT_EQ(panel.player().startTicks(), clock.now);
    EXPECT_FALSE(panel.tickScheduled());
    // The children belong to the panel, in order, and the panel is no longer the open group.
    ASSERT_EQ(panel.children(), 8);
    EXPECT_EQ(panel.child(0), &panel.stepBackButton());
    EXPECT_EQ(panel.child(7), &panel.rangeSlider());
    EXPECT_NE(Fl_Group::current(), &panel);
}

TEST(PlaybackPanelMenu, ItemsCarryTheirCommands) {
    FakeClock clock;
    PlaybackPanel panel(5, 795, 790, 100, nullptr, clock);
    loadFrames(panel, 100);
    Fl_Menu_Button& menu = panel.optionsMenu();
    const char* paths[] = {"Speed/30 fps",
                           "Speed/24 fps",
                           "Speed/AFAP",
                           "Looping/on",
                           "Looping/off",
                           "Time Display/Frame Number",
                           "Time Display/MM:SS:FF",
                           "Range Slider/Disable",
                           "Range Slider/Enable"};
    const int codes[] = {1, 2, 3, 4, 5, 6, 7, 9, 10};
    for (int i = 0; i < 9; ++i) {
        const Fl_Menu_Item* item = menu.find_item(paths[i]);
        ASSERT_NE(item, nullptr) << paths[i];
        EXPECT_EQ(reinterpret_cast<intptr_t>(item->user_data()), codes[i]) << paths[i];
    }

    menu.picked(menu.find_item("Speed/AFAP"));
    EXPECT_EQ(panel.framesPerSecond(), 0.0f);
    menu.picked(menu.find_item("Looping/on"));
    EXPECT_TRUE(panel.player().looping());
    EXPECT_EQ(panel.loopToggle().value(), 1);
    // The toggle changes looping; choosing the same menu item again must still work.
    panel.loopToggle().value(0);
    panel.loopToggle().do_callback();
    EXPECT_FALSE(panel.player().looping());
    menu.picked(menu.find_item("Looping/on"));
    EXPECT_TRUE(panel.player().looping());
    menu.picked(menu.find_item("Looping/off"));
    EXPECT_FALSE(panel.player().looping());
    EXPECT_EQ(panel.loopToggle().value(), 0);
}

TEST(PlaybackPanelMenu, SpeedsFromTheFilesRateAndMarksThatFollowTheState) {
    FakeClock clock;
    PlaybackPanel panel(5, 795, 790, 100, nullptr, clock);
    Fl_Menu_Button& menu = panel.optionsMenu();
    auto marked = [&](const char* path) { return menu.find_item(path)->value() != 0; };
    panel.setFileRate(120.0f);  // as a load does
    EXPECT_TRUE(marked("Speed/File Rate"));
    menu.picked(menu.find_item("Speed/Half File Rate"));
    EXPECT_EQ(panel.framesPerSecond(), 60.0f);
    EXPECT_TRUE(marked("Speed/Half File Rate") && !marked("Speed/File Rate"));
    menu.picked(menu.find_item("Speed/30 fps"));
    panel.setFileRate(30.0f);  // the next load: its rate again, though "30 fps" gives it too
    EXPECT_TRUE(marked("Speed/File Rate") && !marked("Speed/30 fps"));
    panel.player().setFramesPerSecond(24.0f);
    EXPECT_TRUE(marked("Speed/24 fps"));
    panel.loopToggle().value(1);
    panel.loopToggle().do_callback();
    menu.picked(menu.find_item("Time Display/MM:SS:FF"));
    EXPECT_TRUE(marked("Looping/on") && !marked("Looping/off"));
    EXPECT_TRUE(marked("Time Display/MM:SS:FF") && !marked("Time Display/Frame Number"));
}

TEST(PlaybackPanelMenu, DisablingTheRangeSliderRestoresTheFullRange) {
    FakeClock clock;
    PlaybackPanel panel(5, 795, 790, 100, nullptr, clock);
    loadFrames(panel, 100);
    panel.setPlayRange(20, 30);
    EXPECT_EQ(panel.frame(), 20);
    panel.doCommand(PlaybackPanel::DisableRangeSlider);
    EXPECT_EQ(panel.player().rangeStart(), 1);
    EXPECT_EQ(panel.player().rangeEnd(), 100);
    EXPECT_EQ(panel.frameSlider().maximum(), 100.0);
    panel.doCommand(PlaybackPanel::EnableRangeSlider);
    EXPECT_EQ(panel.rangeSlider().lowValue(), 1.0);
    EXPECT_EQ(panel.rangeSlider().highValue(), 100.0);
    panel.doCommand(99);  // unknown codes do nothing
    EXPECT_TRUE(panel.rangeSliderEnabled());
}

TEST(PlaybackPanelTimeDisplay, TextsInEachModeAndSpeed) {
    FakeClock clock;
    PlaybackPanel panel(5, 795, 790, 100, nullptr, clock);
    loadFrames(panel, 2000);
    auto shown = [&](int frame) {
        panel.setFrame(frame);
        return std::string(panel.timeDisplay().value());
    };
    EXPECT_EQ(shown(45), "45");
    panel.doCommand(PlaybackPanel::ShowTimecode);
    EXPECT_EQ(shown(1), "00:00:01");
    EXPECT_EQ(shown(30), "00:01:00");
    EXPECT_EQ(shown(100), "00:03:10");
    EXPECT_EQ(shown(1800), "01:00:00");
    panel.doCommand(PlaybackPanel::Speed24);
    EXPECT_EQ(shown(100), "00:04:04");
    panel.doCommand(PlaybackPanel::SpeedAfap);
    EXPECT_EQ(shown(75), "01:15:00");
    panel.doCommand(PlaybackPanel::ShowSeconds);
    EXPECT_EQ(shown(45), "45.00");
    panel.doCommand(PlaybackPanel::Speed30);
    EXPECT_EQ(shown(45), "1.50");
}

TEST(PlaybackPanelTimeDisplay, ModeAndSpeedChangesShowAtTheNextFrame) {
    FakeClock clock;
    PlaybackPanel panel(5, 795, 790, 100, nullptr, clock);
    loadFrames(panel, 200);
    panel.setFrame(100);
    panel.doCommand(PlaybackPanel::ShowTimecode);
    EXPECT_STREQ(panel.timeDisplay().value(), "100");
    panel.player().stepBy(1);
    EXPECT_STREQ(panel.timeDisplay().value(), "00:03:11");
    panel.doCommand(PlaybackPanel::Speed24);
    EXPECT_STREQ(panel.timeDisplay().value(), "00:03:11");
    panel.player().stepBy(-1);
    EXPECT_STREQ(panel.timeDisplay().value(), "00:04:04");
}

TEST(PlaybackPanelTimeDisplay, ExtremeSpeedsNeverOverrunTheText) {
    FakeClock clock;
    PlaybackPanel panel(5, 795, 790, 100, nullptr, clock);
    loadFrames(panel, 100);
    panel.setFrameRange(-2147483647 - 1, 2147483647);
    panel.doCommand(PlaybackPanel::ShowSeconds);
    panel.setFramesPerSecond(1.0e-40f);  // a denormal: seconds beyond 10^49
    panel.setFrame(2147483647);
    std::string seconds = panel.timeDisplay().value();
    EXPECT_GT(seconds.size(), 31u);
    EXPECT_LT(seconds.size(), 64u);
    EXPECT_EQ(seconds.substr(seconds.size() - 3), ".00");
    panel.doCommand(PlaybackPanel::ShowTimecode);
    panel.setFramesPerSecond(3.0e38f);
    panel.setFrame(-2147483647 - 1);
    EXPECT_LT(std::strlen(panel.timeDisplay().value()), 64u);
    panel.setFramesPerSecond(-5.0f);  // below zero is AFAP: one frame a second
    panel.setFrame(75);
    EXPECT_STREQ(panel.timeDisplay().value(), "01:15:00");
}

TEST(PlaybackPanelCalls, SetFrameAnnouncesBeforeTheWidgetsFollow) {
    FakeClock clock;
    PlaybackPanel panel(5, 795, 790, 100, nullptr, clock);
    Notifications seen;
    panel.callback(Notifications::record, &seen);
    loadFrames(panel, 100);
    // Once as the full range pulls frame 0 in, once for the explicit frame 1; each time the
    // time display still holds the previous text.
    EXPECT_EQ(seen.frames, (std::vector<int>{1, 1}));
    EXPECT_EQ(seen.displayed, (std::vector<std::string>{"0", "1"}));
    EXPECT_STREQ(panel.timeDisplay().value(), "1");
    EXPECT_EQ(panel.frameSlider().value(), 1.0);
    // The panel's callback runs whatever its when() says.
    panel.when(FL_WHEN_NEVER);
    panel.setFrame(7);
    EXPECT_EQ(seen.frames.back(), 7);
}

TEST(PlaybackPanelCalls, RangesAreClampedAndInvertedPairsIgnored) {
    FakeClock clock;
    PlaybackPanel panel(5, 795, 790, 100, nullptr, clock);
    Notifications seen;
    panel.callback(Notifications::record, &seen);
    loadFrames(panel, 100);
    panel.setFrame(50);
    seen.clear();

    panel.setPlayRange(30, 20);
    panel.setFrameRange(9, 8);
    EXPECT_EQ(panel.player().rangeStart(), 1);
    EXPECT_EQ(panel.player().lastFrame(), 100);
    EXPECT_TRUE(seen.frames.empty());

    panel.setPlayRange(-10, 500);
    EXPECT_EQ(panel.player().rangeStart(), 1);
    EXPECT_EQ(panel.player().rangeEnd(), 100);
    panel.setPlayRange(60, 70);
    EXPECT_EQ(seen.frames, (std::vector<int>{60}));
    EXPECT_EQ(panel.frameSlider().minimum(), 60.0);
    EXPECT_EQ(panel.frameSlider().maximum(), 70.0);
    EXPECT_EQ(panel.rangeSlider().lowValue(), 60.0);

    // A shorter motion pulls the play range and the frame in.
    panel.setFrame(70);
    seen.clear();
    panel.setFrameRange(1, 65);
    EXPECT_EQ(panel.player().rangeEnd(), 65);
    EXPECT_EQ(panel.frame(), 65);
    EXPECT_EQ(seen.frames, (std::vector<int>{65}));
    EXPECT_EQ(panel.rangeSlider().maximum(), 65.0);
    EXPECT_EQ(panel.frameSlider().maximum(), 65.0);
}

TEST(PlaybackPanelCalls, DraggingTheRangeSlidersLowEdgeMovesTheFrame) {
    FakeClock clock;
    PlaybackPanel panel(0, 0, 790, 100, nullptr, clock);
    Notifications seen;
    panel.callback(Notifications::record, &seen);
    loadFrames(panel, 100);
    panel.setFrame(10);
    seen.clear();
    RangeSlider& slider = panel.rangeSlider();
    int lowPx = range_slider_geometry::valueToPixel(1.0, 1.0, 100.0, slider.w() - 4);
    Fl::e_clicks = 0;
    Fl::e_y = slider.y() + slider.h() / 2;
    Fl::e_x = slider.x() + lowPx;
    slider.handle(FL_PUSH);
    Fl::e_x = slider.x() + slider.w() / 4;  // about frame 25.75
    slider.handle(FL_DRAG);
    slider.handle(FL_RELEASE);
    EXPECT_EQ(panel.player().rangeStart(), 25);
    EXPECT_EQ(slider.lowValue(), 25.0);  // snapped to a whole frame
    EXPECT_EQ(panel.frame(), 25);
    EXPECT_EQ(seen.frames, (std::vector<int>{25}));
    EXPECT_EQ(panel.frameSlider().minimum(), 25.0);
}

class PlaybackPanelControls : public ::testing::Test {
  protected:
    PlaybackPanelControls() : panel(5, 795, 790, 100, nullptr, clock) {
        panel.callback(Notifications::record, &seen);
        loadFrames(panel, 100);
        seen.clear();
    }
    ~PlaybackPanelControls() override { Fl::focus(nullptr); }
    void pressPlay() { panel.playButton().do_callback(); }
    void tickAfter(long ms) {
        clock.now += ms;
        panel.player().tick();
    }
    // Types `text` into the frame field and presses Enter.
    void typeFrame(const char* text) {
        FrameField& field = panel.timeDisplay();
        Fl::focus(&field);
        field.value(text);
        field.set_changed();
        field.do_callback();
    }

    FakeClock clock;
    PlaybackPanel panel;
    Notifications seen;
};

TEST_F(PlaybackPanelControls, ThePlayButtonShowsWhatItWillDoAndTheIdleHookFollowsPlayback) {
    pressPlay();
    EXPECT_STREQ(panel.playButton().label(), "@||");
    EXPECT_EQ(seen.frames, (std::vector<int>{1}));
    EXPECT_TRUE(panel.tickScheduled());
    tickAfter(0);
    tickAfter(100);
    EXPECT_EQ(seen.frames, (std::vector<int>{1, 4}));
    EXPECT_STREQ(panel.timeDisplay().value(), "4");
    EXPECT_EQ(panel.frameSlider().value(), 4.0);
    pressPlay();
    EXPECT_STREQ(panel.playButton().label(), "@>");
    EXPECT_TRUE(panel.tickScheduled());
    tickAfter(0);
    EXPECT_FALSE(panel.tickScheduled());
}

TEST_F(PlaybackPanelControls, ALateTickPastTheEndLeavesTheControlsOnTheLastFrameShown) {
    panel.setPlayRange(1, 10);
    pressPlay();
    tickAfter(0);
    tickAfter(1000);
    EXPECT_EQ(panel.frame(), 10);
    EXPECT_STREQ(panel.timeDisplay().value(), "1");
    EXPECT_EQ(panel.frameSlider().value(), 1.0);
    tickAfter(10);
    EXPECT_STREQ(panel.playButton().label(), "@>");
}

TEST_F(PlaybackPanelControls, MovingTheFrameSliderWhilePlayingKeepsTheClocksStart) {
    pressPlay();
    tickAfter(0);
    tickAfter(100);  // frame 4
    long started = panel.player().startTicks();
    panel.frameSlider().value(40);
    panel.frameSlider().do_callback();
    EXPECT_EQ(panel.frame(), 40);
    EXPECT_EQ(panel.player().baseFrame(), 40);
    EXPECT_EQ(panel.player().startTicks(), started);
    tickAfter(0);
    EXPECT_EQ(panel.frame(), 43);  // 40 plus the 3 frames counted since the start
    panel.optionsMenu().picked(panel.optionsMenu().find_item("Speed/24 fps"));
    EXPECT_EQ(panel.framesPerSecond(), 24.0f);
}

TEST_F(PlaybackPanelControls, PlaybackKeys) {
    panel.setPlayRange(10, 20);
    panel.setFrame(15);
    seen.clear();
    EXPECT_TRUE(panel.handlePlaybackKey(FL_Right));
    EXPECT_TRUE(panel.handlePlaybackKey(FL_Right));
    EXPECT_TRUE(panel.handlePlaybackKey(FL_Left));
    EXPECT_TRUE(panel.handlePlaybackKey(FL_End));
    EXPECT_TRUE(panel.handlePlaybackKey(FL_Home));
    EXPECT_EQ(seen.frames, (std::vector<int>{16, 17, 16, 20, 10}));
    EXPECT_STREQ(panel.timeDisplay().value(), "10");

    EXPECT_TRUE(panel.handlePlaybackKey(' '));
    EXPECT_TRUE(panel.player().isPlaying());
    EXPECT_STREQ(panel.playButton().label(), "@||");
    EXPECT_TRUE(panel.handlePlaybackKey(' '));
    EXPECT_FALSE(panel.player().isPlaying());

    EXPECT_FALSE(panel.handlePlaybackKey('q'));
    EXPECT_FALSE(panel.handlePlaybackKey(FL_Up));
    EXPECT_FALSE(panel.handlePlaybackKey(FL_Enter));
    EXPECT_EQ(panel.frame(), 10);
}

TEST_F(PlaybackPanelControls, WhileTheFrameFieldIsEditedNoKeyIsTaken) {
    Fl::focus(&panel.timeDisplay());
    ASSERT_TRUE(panel.timeDisplay().beingEdited());
    for (int key : {int(' '), int(FL_Left), int(FL_Right), int(FL_Home), int(FL_End)}) {
        EXPECT_FALSE(panel.handlePlaybackKey(key)) << key;
    }
    EXPECT_FALSE(panel.player().isPlaying());
    EXPECT_EQ(panel.frame(), 1);
    Fl::focus(nullptr);
    EXPECT_TRUE(panel.handlePlaybackKey(FL_Right));
    EXPECT_EQ(panel.frame(), 2);
}

TEST_F(PlaybackPanelControls, NoControlButTheFrameFieldTakesTheKeyboardFocus) {
    Fl_Widget* controls[] = {&panel.stepBackButton(),    &panel.playButton(),
                             &panel.stepForwardButton(), &panel.loopToggle(),
                             &panel.optionsMenu(),       &panel.frameSlider(),
                             &panel.rangeSlider()};
    for (Fl_Widget* control : controls) {
        Fl::focus(nullptr);
        Fl::focus(control);
        EXPECT_NE(Fl::focus(), control) << control->label();
    }
    // The field takes the focus from a click, not from navigation as its window gains it.
    Fl::focus(nullptr);
    EXPECT_FALSE(panel.timeDisplay().take_focus());
    Fl::focus(&panel.timeDisplay());
    EXPECT_EQ(Fl::focus(), &panel.timeDisplay());
}

TEST_F(PlaybackPanelControls, ATypedFrameNumberIsShownOnEnter) {
    typeFrame("42");
    EXPECT_EQ(panel.frame(), 42);
    EXPECT_EQ(seen.frames, (std::vector<int>{42}));
    EXPECT_STREQ(panel.timeDisplay().value(), "42");
    EXPECT_EQ(panel.frameSlider().value(), 42.0);
    EXPECT_NE(Fl::focus(), &panel.timeDisplay());  // Enter ends the edit

    typeFrame(" 7 ");
    EXPECT_EQ(panel.frame(), 7);
    typeFrame("250");  // clamped to the full range
    EXPECT_EQ(panel.frame(), 100);
    typeFrame("-3");
    EXPECT_EQ(panel.frame(), 1);
    typeFrame("99999999999999999999");
    EXPECT_EQ(panel.frame(), 100);

    seen.clear();
    for (const char* text : {"", "abc", "12abc", "1.5", "0x10", "- 4"}) {
        typeFrame(text);
        EXPECT_EQ(panel.frame(), 100) << '"' << text << '"';
        EXPECT_STREQ(panel.timeDisplay().value(), "100") << '"' << text << '"';
    }
    EXPECT_TRUE(seen.frames.empty());
}

TEST_F(PlaybackPanelControls, PlaybackDoesNotOverwriteANumberBeingTyped) {
    pressPlay();
    tickAfter(0);
    FrameField& field = panel.timeDisplay();
    Fl::focus(&field);
    tickAfter(100);  // focused, not yet typed in: the edit has begun all the same
    EXPECT_STREQ(field.value(), "1");
    field.value("5");
    field.set_changed();
    tickAfter(100);
    EXPECT_EQ(panel.frame(), 7);
    EXPECT_STREQ(field.value(), "5");
    // Escape drops the typed text and shows the frame again.
    Fl::e_keysym = FL_Escape;
    EXPECT_EQ(field.handle(FL_KEYBOARD), 1);
    EXPECT_STREQ(field.value(), "7");
    EXPECT_NE(Fl::focus(), &field);
    // So does leaving the field.
    Fl::focus(&field);
    field.value("9");
    field.set_changed();
    tickAfter(100);
    Fl::focus(nullptr);
    EXPECT_STREQ(field.value(), "10");
}

TEST_F(PlaybackPanelControls, InTheTimeModesTheFieldIsReadOnly) {
    panel.doCommand(PlaybackPanel::ShowTimecode);
    FrameField& field = panel.timeDisplay();
    EXPECT_TRUE(field.readonly());
    Fl::focus(&field);
    EXPECT_NE(Fl::focus(), &field);
    EXPECT_TRUE(panel.handlePlaybackKey(FL_Right));
    EXPECT_EQ(panel.frame(), 2);
    field.value("50");
    field.do_callback();
    EXPECT_EQ(panel.frame(), 2);

    panel.doCommand(PlaybackPanel::ShowFrameNumber);
    EXPECT_FALSE(field.readonly());
    typeFrame("50");
    EXPECT_EQ(panel.frame(), 50);
}

}  // namespace
