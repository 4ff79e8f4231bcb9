#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Repeat_Button.H>
#include <FL/Fl_Slider.H>

#include "playback/frame_field.h"
#include "playback/player.h"
#include "playback/range_slider.h"

// The strip of playback controls under the 3D view: transport buttons, frame slider, time
// display, loop toggle, an options menu and the play-range slider. It holds the player, shows
// its state, drives it from the controls and the playback keys, and runs its tick from the
// event loop's idle hook while it plays. Every frame change is announced through the panel's
// callback. It lays its children out itself, wide (two rows) or tall (buttons on top).
class PlaybackPanel : public Fl_Group, private PlayerListener {
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
        SpeedFileRate = 11,
        SpeedHalfFileRate = 12,
        SpeedDoubleFileRate = 13,
    };
    enum TimeDisplayMode { FrameNumberMode = 0, TimecodeMode = 1, SecondsMode = 2 };

    PlaybackPanel(int x, int y, int w, int h, const char* label = nullptr);
    // Reads `clock`, which must outlive the panel.
    PlaybackPanel(int x, int y, int w, int h, const char* label, const PlaybackClock& clock);
    ~PlaybackPanel() override;

    Player& player() { return player_; }
    const Player& player() const { return player_; }

    // What the window does after a load, passed to the player.
    int frame() const { return player_.frame(); }
    void setFrameRange(int first, int last) { player_.setFrameRange(first, last); }
    void setPlayRange(int start, int end) { player_.setPlayRange(start, end); }
    void setFrame(int n) { player_.setFrame(n); }
    float framesPerSecond() const { return player_.framesPerSecond(); }
    void setFramesPerSecond(float fps) { player_.setFramesPerSecond(fps); }
    // The speed a loaded file asks for (0: as fast as possible); chooses "File Rate".
    void setFileRate(float fps);
    // The Speed command whose item is marked: the one chosen last while it still gives the
    // player's speed, else the first that does, else none (0).
    int markedSpeed() const;

    // Places the children by the wide or tall layout; the panel keeps at least 150 pixels of
    // width and 30..70 of height.
    void resize(int x, int y, int w, int h) override;
    // Runs one of the options menu's command codes; unknown codes do nothing.
    void doCommand(int code);
    // A playback key with its FLTK key code: Space plays and stops, Left and Right step one
    // frame, Home and End go to the play range's first and last frame. Returns whether the key
    // was used; none is while the frame field is being edited.
    bool handlePlaybackKey(int key);

    // Writes the current frame into the time display in the current mode.
    void updateTimeDisplay();
    int timeDisplayMode() const { return timeDisplayMode_; }
    bool rangeSliderEnabled() const { return rangeSliderEnabled_; }
    // Whether the player's tick is registered with the event loop.
    bool tickScheduled() const;

    // The children, for the window's tests and for driving the panel by its controls.
    Fl_Repeat_Button& stepBackButton() { return stepBackButton_; }
    Fl_Button& playButton() { return playButton_; }
    Fl_Repeat_Button& stepForwardButton() { return stepForwardButton_; }
    FrameField& timeDisplay() { return timeDisplay_; }
    Fl_Light_Button& loopToggle() { return loopToggle_; }
    Fl_Menu_Button& optionsMenu() { return optionsMenu_; }
    Fl_Slider& frameSlider() { return frameSlider_; }
    RangeSlider& rangeSlider() { return rangeSlider_; }

  private:
    void build();
    void layoutWide(int x, int y, int w, int h, int e);
    void layoutTall(int x, int y, int w, int h, int e);
    void showRangeSliderIfEnabled();
    // Sets the radio marks of the Speed, Looping and Time Display items from the state.
    void markChoices();
    bool isMarked(int code) const;

    void frameAnnounced(const Player&) override;
    void frameSet(const Player&) override;
    void playingSet(const Player&) override;
    void loopingSet(const Player&) override;
    void speedSet(const Player&) override;
    // Mirrors the ranges into the range slider and the frame slider's bounds.
    void rangesSet(const Player&) override;
    void ticksWanted(bool wanted) override;

    static void tickHook(void* panel);
    static void stepBackPressed(Fl_Widget* w, void* panel);
    static void playPressed(Fl_Widget* w, void* panel);
    static void stepForwardPressed(Fl_Widget* w, void* panel);
    static void frameTyped(Fl_Widget* w, void* panel);
    static void loopToggled(Fl_Widget* w, void* panel);
    static void frameSliderMoved(Fl_Widget* w, void* panel);
    static void rangeSliderMoved(Fl_Widget* w, void* panel);

    Player player_;
    // Children, in creation order (also their order in the group). As members they are
    // destroyed in reverse order, each leaving the group first.
    Fl_Repeat_Button stepBackButton_;
    Fl_Button playButton_;
    Fl_Repeat_Button stepForwardButton_;
    FrameField timeDisplay_;
    Fl_Light_Button loopToggle_;
    Fl_Menu_Button optionsMenu_;
    Fl_Slider frameSlider_;
    RangeSlider rangeSlider_;

    int timeDisplayMode_ = FrameNumberMode;
    float fileRate_ = 30.0f;     // frames per second the loaded file asks for; 0 for AFAP
    int speedChosen_ = Speed30;  // the Speed command chosen last
    bool rangeSliderEnabled_ = true;
};
