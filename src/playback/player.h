#pragma once

#include <FL/Fl_Group.H>

#include "playback/playback_clock.h"

// The playback controller: frame ranges, current frame, looping, speed, and the clock-driven
// advance from an idle hook of the event loop. Abstract: PlaybackPanel implements the
// operations that touch widgets, so one object is both the player and the panel showing it.
// Every change of the current frame is announced through the widget's callback.
class Player : public Fl_Group {
  public:
    // Reads the program's steady clock.
    Player(int x, int y, int w, int h, const char* label = nullptr);
    // Reads `clock`, which must outlive the player (tests pass a hand-driven clock).
    Player(int x, int y, int w, int h, const char* label, const PlaybackClock& clock);
    ~Player() override;

    // playing = (flag != 0); baseFrame = frameNumber; notifies when flag != 0.
    virtual void setPlaying(int flag) = 0;
    // Runs one of the panel's command codes (speed, looping, time display, range slider).
    virtual void doCommand(int code) = 0;
    // Sets the full frame range; an inverted pair changes nothing.
    virtual void setFrameRange(int first, int last) = 0;
    // Sets the play range, clamped into the full range; an inverted pair changes nothing.
    virtual void setPlayRange(int start, int end) = 0;
    // frameNumber = n (not clamped), then notifies.
    virtual void setFrame(int n) = 0;
    // Frames per second; 0 (or below) is AFAP: one frame per tick.
    virtual float framesPerSecond() const;
    // Sets the speed and restarts the clock at the current frame.
    virtual void setFramesPerSecond(float fps);
    virtual bool isPlaying() const = 0;

    // The current frame number (1-based once a motion is loaded).
    int frame() const { return frameNumber_; }
    // baseFrame = frameNumber; startTicks = now.
    void restartClock();
    // baseFrame = n; the clock's start is kept.
    void setBaseFrame(int n);
    // Shows frame n under the end-of-range and looping rules (used by tick and stepping).
    void goToFrame(int n);
    // goToFrame(frame() + delta), the sum held at the int limits.
    void stepBy(int delta);
    // One pass of the idle hook: picks the frame due now and shows it.
    void tick();

    int firstFrame() const { return firstFrame_; }
    int lastFrame() const { return lastFrame_; }
    int rangeStart() const { return rangeStart_; }
    int rangeEnd() const { return rangeEnd_; }
    int baseFrame() const { return baseFrame_; }
    bool looping() const { return looping_; }
    bool wasPlaying() const { return wasPlaying_; }
    long startTicks() const { return startTicks_; }
    // Whether tick is registered with the event loop: only while playing, or until the first
    // tick after playback stopped, so the loop can sleep while nothing plays.
    bool tickScheduled() const;

  protected:
    // Calls the callback with the widget and its user data, whatever when() says.
    void notify() { do_callback(); }
    // The part of setPlaying every implementation shares: the state, the base frame, and
    // registering the idle hook when playback starts. Does not notify.
    void applyPlaying(int flag);
    void setLooping(bool on) { looping_ = on; }

    int firstFrame_ = 0;   // first frame number of the full range
    int lastFrame_ = 1;    // last frame number of the full range
    int rangeStart_ = 0;   // first frame of the play range
    int rangeEnd_ = 1;     // last frame of the play range
    int frameNumber_ = 0;  // the current frame
    int baseFrame_ = 0;    // the frame from which the clock's count is taken
    bool playing_ = false;
    bool wasPlaying_ = false;  // whether the previous tick saw playback on

  private:
    static void tickHook(void* data);
    void scheduleTick();
    void unscheduleTick();
    // The frame due now in timed mode: baseFrame plus the whole frames elapsed since
    // startTicks, kept inside int range whatever the speed.
    int timedTarget() const;

    const PlaybackClock& clock_;
    bool looping_ = false;
    long startTicks_ = 0;            // clock reading (ms) from which the count is taken
    float framesPerSecond_ = 30.0f;  // 0 or below: AFAP
};
