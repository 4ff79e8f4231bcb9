#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <sys/resource.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "playback/playback_panel.h"

namespace {

using Clock = std::chrono::steady_clock;

// Runs the event loop until `done` holds or `seconds` pass; returns whether it held.
bool runUntil(const std::function<bool()>& done, double seconds) {
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (Clock::now() > end) {
            return false;
        }
        Fl::wait(0.02);
    }
    return true;
}

void runFor(double seconds) {
    runUntil([] { return false; }, seconds);
}

// Routes the playback keys to its panel wherever the focus is, as the main window does.
class KeyRoutingWindow : public Fl_Window {
  public:
    using Fl_Window::Fl_Window;
    int handle(int event) override {
        if ((event == FL_KEYBOARD || event == FL_SHORTCUT) && panel != nullptr &&
            panel->handlePlaybackKey(Fl::event_key())) {
            return 1;
        }
        return Fl_Window::handle(event);
    }
    PlaybackPanel* panel = nullptr;
};

// A window 800 x 110 holding a panel, as the main window lays it out below the view.
class PanelWindow : public ::testing::Test {
  protected:
    PanelWindow() : window(800, 110, "playback"), panel(5, 5, 790, 100) {
        window.end();
        window.panel = &panel;
        window.show();
        runUntil([this] { return window.visible() && fl_xid(&window) != 0; }, 5.0);
        runFor(0.3);  // let the window manager-less server map and expose it
        // Key presses go to the X focus, which no window manager hands out here.
        char command[120];
        std::snprintf(command, sizeof command, "xdotool windowfocus --sync %lu >/dev/null 2>&1",
                      static_cast<unsigned long>(fl_xid(&window)));
        focused = std::system(command) == 0;
        runFor(0.1);
        panel.setFrameRange(1, 100);
        panel.setPlayRange(1, 100);
        panel.setFrame(1);
        panel.setFramesPerSecond(30.0f);
    }
    ~PanelWindow() override { window.hide(); }

    // A real pointer click through the X server at a point of the window.
    bool click(int x, int y) {
        char command[160];
        std::snprintf(command, sizeof command,
                      "xdotool mousemove --window %lu %d %d click 1 >/dev/null 2>&1",
                      static_cast<unsigned long>(fl_xid(&window)), x, y);
        return std::system(command) == 0;
    }
    // xdotool's pointer move to a point of the window, and a real left-button drag along the
    // row y through the X server.
    std::string at(int x, int y) {
        return "xdotool mousemove --window " + std::to_string(fl_xid(&window)) + " " +
               std::to_string(x) + " " + std::to_string(y);
    }
    void dragAlong(int y, int fromX, int toX) {
        for (int i = 0; i <= 6; ++i) {
            std::string move = at(fromX + (toX - fromX) * std::min(i, 5) / 5, y);
            ASSERT_EQ(std::system((move +
                                   (i == 0   ? " mousedown 1"
                                    : i == 6 ? " mouseup 1"
                                             : "") +
                                   " >/dev/null 2>&1")
                                      .c_str()),
                      0);
            runFor(0.05);
        }
    }
    void clickCentreOf(Fl_Widget& w) {
        ASSERT_TRUE(click(w.x() + w.w() / 2, w.y() + w.h() / 2)) << "xdotool failed";
        runFor(0.2);
    }
    // Real key presses through the X server to the focused window (xdotool's key names).
    void press(const char* keys) {
        ASSERT_TRUE(focused) << "xdotool could not focus the window";
        std::string command = std::string("xdotool key ") + keys + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << "xdotool failed";
        runFor(0.2);
    }
    // The middle row of the range slider's inside, as RGB triples.
    std::vector<unsigned char> rangeSliderRow() {
        RangeSlider& slider = panel.rangeSlider();
        slider.redraw();
        runFor(0.2);
        window.make_current();
        int inner = slider.w() - Fl::box_dw(slider.box());
        std::vector<unsigned char> row(inner * 3);
        fl_read_image(row.data(), slider.x() + Fl::box_dx(slider.box()),
                      slider.y() + slider.h() / 2, inner, 1);
        return row;
    }

    KeyRoutingWindow window;
    bool focused = false;
    PlaybackPanel panel;
};

TEST_F(PanelWindow, ClickingPlayStartsPlaybackAndTheClockMovesTheFrames) {
    ASSERT_FALSE(panel.player().isPlaying());
    clickCentreOf(panel.playButton());
    ASSERT_TRUE(runUntil([this] { return panel.player().isPlaying(); }, 5.0));
    EXPECT_STREQ(panel.playButton().label(), "@||");
    EXPECT_TRUE(runUntil([this] { return panel.frame() >= 10; }, 5.0));
    EXPECT_EQ(std::string(panel.timeDisplay().value()), std::to_string(panel.frame()));

    clickCentreOf(panel.playButton());
    ASSERT_TRUE(runUntil([this] { return !panel.player().isPlaying(); }, 5.0));
    EXPECT_STREQ(panel.playButton().label(), "@>");
    // Stopped, the idle hook leaves the loop after one more pass.
    EXPECT_TRUE(runUntil([this] { return !panel.tickScheduled(); }, 2.0));
    int stoppedAt = panel.frame();
    runFor(0.2);
    EXPECT_EQ(panel.frame(), stoppedAt);
}

TEST_F(PanelWindow, ASingleFrameMotionDrawsAFullWidthKnob) {
    panel.setFrameRange(1, 1);
    panel.setPlayRange(1, 1);
    RangeSlider& slider = panel.rangeSlider();
    slider.selection_color(FL_RED);
    std::vector<unsigned char> row = rangeSliderRow();
    int inner = static_cast<int>(row.size() / 3);
    int red = 0;
    for (int i = 0; i < inner; ++i) {
        if (row[3 * i] > 200 && row[3 * i + 1] < 60 && row[3 * i + 2] < 60) {
            ++red;
        }
    }
    // The knob's own bevel and end marks take a few pixels at each end.
    EXPECT_GT(red, inner - 20);
    // Events over it change nothing.
    Fl::e_x = slider.x() + slider.w() / 2;
    Fl::e_y = slider.y() + slider.h() / 2;
    Fl::e_clicks = 0;
    slider.handle(FL_PUSH);
    slider.handle(FL_RELEASE);
    EXPECT_EQ(panel.player().rangeStart(), 1);
    EXPECT_EQ(panel.player().rangeEnd(), 1);
}

int colourDistance(const std::vector<unsigned char>& row, int a, int b) {
    return std::abs(row[3 * a] - row[3 * b]) + std::abs(row[3 * a + 1] - row[3 * b + 1]) +
           std::abs(row[3 * a + 2] - row[3 * b + 2]);
}

TEST_F(PanelWindow, TheSelectionStandsOutFromItsTroughWithMarkedEnds) {
    panel.setPlayRange(40, 60);
    std::vector<unsigned char> row = rangeSliderRow();
    int inner = static_cast<int>(row.size() / 3);
    int low = range_slider_geometry::valueToPixel(40, 1, 100, inner);
    int high = range_slider_geometry::valueToPixel(60, 1, 100, inner);
    int body = (low + high) / 2;
    EXPECT_GT(colourDistance(row, body, inner / 10), 150) << "knob against trough";
    EXPECT_GT(colourDistance(row, body, inner - inner / 10), 150) << "knob against trough";
    // Each end carries marks that differ plainly from the knob's body.
    auto marked = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            if (colourDistance(row, i, body) > 120) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(marked(low + 3, low + 12));
    EXPECT_TRUE(marked(high - 12, high - 3));
}

TEST_F(PanelWindow, EachEndIsDraggedByItsGripWhileEverythingIsSelected) {
    std::vector<unsigned char> row = rangeSliderRow();  // 1..100 of 1..100
    const int inner = static_cast<int>(row.size() / 3);
    // Each grip's first groove, a few pixels inside its end, differs plainly from the body.
    int lowGrip = 3, highGrip = inner - 4;
    while (lowGrip < 14 && colourDistance(row, lowGrip, inner / 2) < 120)
        ++lowGrip;
    while (highGrip > inner - 15 && colourDistance(row, highGrip, inner / 2) < 120)
        --highGrip;
    ASSERT_TRUE(lowGrip < 14 && highGrip > inner - 15) << "no grips drawn";
    const int left = panel.rangeSlider().x() + Fl::box_dx(panel.rangeSlider().box());
    const int y = panel.rangeSlider().y() + panel.rangeSlider().h() / 2;
    dragAlong(y, left + lowGrip, left + lowGrip + 200);
    dragAlong(y, left + highGrip, left + highGrip - 200);
    EXPECT_GT(panel.player().rangeStart(), 20);
    EXPECT_LT(panel.player().rangeEnd(), 80);
}

TEST_F(PanelWindow, TheSpeedMenuPlaysAtDoubleTheFilesRate) {
    panel.setFileRate(120.0f);
    // The open menu runs a loop of its own: the keys come from a shell in the background.
    Fl_Widget& menu = panel.optionsMenu();
    ASSERT_EQ(std::system(("(" + at(menu.x() + 5, menu.y() + 5) +
                           " click 1; sleep 0.5; xdotool key Down Right Down Down Return) "
                           ">/dev/null 2>&1 &")
                              .c_str()),
              0);
    EXPECT_TRUE(runUntil([this] { return panel.framesPerSecond() == 240.0f; }, 5.0));
    EXPECT_EQ(panel.markedSpeed(), PlaybackPanel::SpeedDoubleFileRate);
}

TEST_F(PanelWindow, ClickedControlsLeaveTheKeysToPlayback) {
    clickCentreOf(panel.stepForwardButton());
    ASSERT_EQ(panel.frame(), 2);
    EXPECT_NE(Fl::focus(), &panel.stepForwardButton());
    // Space plays rather than pressing the button clicked last.
    press("space");
    EXPECT_TRUE(panel.player().isPlaying());
    press("space");
    EXPECT_FALSE(panel.player().isPlaying());
    clickCentreOf(panel.loopToggle());
    press("Home Right Right");
    EXPECT_EQ(panel.frame(), 3);
    press("End");
    EXPECT_EQ(panel.frame(), 100);
}

TEST_F(PanelWindow, AFrameNumberTypedIntoTheFieldGoesThereOnEnter) {
    clickCentreOf(panel.timeDisplay());
    ASSERT_EQ(Fl::focus(), &panel.timeDisplay());
    // While the field is edited the playback keys are its own: Space is text, not play.
    press("ctrl+a 2 Left 4 End space BackSpace");
    EXPECT_FALSE(panel.player().isPlaying());
    EXPECT_EQ(panel.frame(), 1);
    EXPECT_STREQ(panel.timeDisplay().value(), "42");
    press("Return");
    EXPECT_EQ(panel.frame(), 42);
    EXPECT_STREQ(panel.timeDisplay().value(), "42");
    press("space");
    EXPECT_TRUE(panel.player().isPlaying());
}

TEST_F(PanelWindow, AFrameTypedWhilePlayingIsLeftAloneAndTakenOnEnter) {
    panel.player().setLooping(true);
    clickCentreOf(panel.playButton());
    ASSERT_TRUE(runUntil([this] { return panel.frame() >= 5; }, 5.0));
    clickCentreOf(panel.timeDisplay());
    press("4 2");
    EXPECT_STREQ(panel.timeDisplay().value(), "42");
    EXPECT_TRUE(panel.player().isPlaying());
    press("Return");
    EXPECT_GE(panel.frame(), 42);
    EXPECT_LT(panel.frame(), 60);
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(PanelWindow, TheLoopSleepsWhilePlaybackIsStopped) {
    panel.playButton().do_callback();
    runFor(0.3);
    panel.playButton().do_callback();
    runFor(0.1);
    double cpuBefore = cpuSeconds();
    auto wallBefore = Clock::now();
    runFor(2.0);
    double cpu = cpuSeconds() - cpuBefore;
    double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    EXPECT_LT(cpu / wall, 0.02) << "stopped playback used " << 100.0 * cpu / wall << "% of a core";
}

}  // namespace
