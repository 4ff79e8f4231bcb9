#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Output.H>
#include <FL/Fl_Repeat_Button.H>
#include <FL/Fl_Slider.H>

#include "playback/player.h"
#include "playback/range_slider.h"

// The strip of playback controls under the 3D view, and the player itself: transport buttons,
// frame slider, time display, loop toggle, an options menu and the play-range slider. It lays
// its children out itself, wide (two rows) or tall (buttons on top, sliders below).
class PlaybackPanel : public Player {
  public:
    // The options menu's command codes (doCommand).
    enum Command {
        Speed30 = 1,
        Speed24 = 2,
        SpeedAfap = 3,
        LoopingOn = 4,
        LoopingOff = 5,
        ShowFrameNumber = 6,
        ShowTimecode = 7,
        ShowSeconds = 8,  // no menu item; reachable through doCommand only
        DisableRangeSlider = 9,
        EnableRangeSlider = 10,
    };
    enum TimeDisplayMode { FrameNumberMode = 0, TimecodeMode = 1, SecondsMode = 2 };

    PlaybackPanel(int x, int y, int w, int h, const char* label = nullptr);
    // Reads `clock`, which must outlive the panel.
    PlaybackPanel(int x, int y, int w, int h, const char* label, const PlaybackClock& clock);
    ~PlaybackPanel() override;

    // Places the children by the wide or tall layout; the panel keeps at least 150 pixels of
    // width and 30..70 of height.
    void resize(int x, int y, int w, int h) override;
    void setPlaying(int flag) override;
    void doCommand(int code) override;
    void setFrameRange(int first, int last) override;
    void setPlayRange(int start, int end) override;
    void setFrame(int n) override;
    bool isPlaying() const override { return playing_; }

    // Writes the current frame into the time display in the current mode.
    void updateTimeDisplay();
    int timeDisplayMode() const { return timeDisplayMode_; }
    bool rangeSliderEnabled() const { return rangeSliderEnabled_; }

    // The children, for the window's tests and for driving the panel by its controls.
    Fl_Repeat_Button& stepBackButton() { return stepBackButton_; }
    Fl_Button& playButton() { return playButton_; }
    Fl_Repeat_Button& stepForwardButton() { return stepForwardButton_; }
    Fl_Output& timeDisplay() { return timeDisplay_; }
    Fl_Light_Button& loopToggle() { return loopToggle_; }
    Fl_Menu_Button& optionsMenu() { return optionsMenu_; }
    Fl_Slider& frameSlider() { return frameSlider_; }
    RangeSlider& rangeSlider() { return rangeSlider_; }

  private:
    void build();
    void layoutWide(int x, int y, int w, int h, int e);
    void layoutTall(int x, int y, int w, int h, int e);
    // Mirrors the play range into the range slider and the frame slider's bounds.
    void showPlayRange();
    void showRangeSliderIfEnabled();

    static void stepBackPressed(Fl_Widget* w, void* panel);
    static void playPressed(Fl_Widget* w, void* panel);
    static void stepForwardPressed(Fl_Widget* w, void* panel);
    static void loopToggled(Fl_Widget* w, void* panel);
    static void frameSliderMoved(Fl_Widget* w, void* panel);
    static void rangeSliderMoved(Fl_Widget* w, void* panel);

    // Children, in creation order (also their order in the group). As members they are
    // destroyed in reverse order, each leaving the group first.
    Fl_Repeat_Button stepBackButton_;
    Fl_Button playButton_;
    Fl_Repeat_Button stepForwardButton_;
    Fl_Output timeDisplay_;
    Fl_Light_Button loopToggle_;
    Fl_Menu_Button optionsMenu_;
    Fl_Slider frameSlider_;
    RangeSlider rangeSlider_;

    int timeDisplayMode_ = FrameNumberMode;
    bool rangeSliderEnabled_ = true;
};
