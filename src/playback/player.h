#pragma once

#include "playback/playback_clock.h"

class Player;

// What a player tells the object that shows it and runs its clock. Each hook runs after the
// player's own state has changed; none may call back into the player's setters.
class PlayerListener {
  public:
    virtual ~PlayerListener() = default;
    // The current frame is announced to whoever shows it (the window's view).
    virtual void frameAnnounced(const Player&) {}
    // The current frame was set; runs after its announcement, for the controls that show it.
    virtual void frameSet(const Player&) {}
    // Playback started or stopped; runs before the announcement that a start makes.
    virtual void playingSet(const Player&) {}
    virtual void loopingSet(const Player&) {}
    virtual void speedSet(const Player&) {}
    // The full range or the play range was asked to change, also when the pair was refused.
    virtual void rangesSet(const Player&) {}
    // tick() is wanted on every pass of the event loop from now on (true), or no longer (false).
    virtual void ticksWanted(bool) {}
};

// The playback controller: frame ranges, current frame, looping, speed, and the clock-driven
// advance. Frame numbers are 1-based once a motion is loaded (0..1 before). It knows no toolkit:
// its owner calls tick() from the event loop while ticksWanted() holds, and shows what the
// listener hooks report.
class Player {
  public:
    // Reads `clock`, which must outlive the player (tests pass a hand-driven clock).
    explicit Player(const PlaybackClock& clock = SteadyPlaybackClock::instance());
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // The one listener (nullptr for none); it must outlive the player or be unset first.
    void setListener(PlayerListener* listener);

    // playing = on; baseFrame = frameNumber; a start announces the current frame.
    void setPlaying(bool on);
    bool isPlaying() const { return playing_; }
    // The play button and the Space key: restarts the clock and starts or stops. Started at the
    // end of a play range without looping, playback begins again at the range's start.
    void togglePlay();
    // Sets the full frame range; an inverted pair changes nothing.
    void setFrameRange(int first, int last);
    // Sets the play range, clamped into the full range; an inverted pair changes nothing.
    void setPlayRange(int start, int end);
    // frameNumber = n (not clamped), then announces it.
    void setFrame(int n);
    // Shows frame n, clamped to the full range, and goes on playing from there; the play range
    // widens to include n so that the current frame stays inside it.
    void jumpTo(int n);
    // Frames per second; 0 (or below) is AFAP: one frame per tick.
    float framesPerSecond() const { return framesPerSecond_; }
    // Sets the speed and restarts the clock at the current frame.
    void setFramesPerSecond(float fps);
    bool looping() const { return looping_; }
    void setLooping(bool on);

    // The current frame number.
    int frame() const { return frameNumber_; }
    // baseFrame = frameNumber; startTicks = now.
    void restartClock();
    // baseFrame = n; the clock's start is kept.
    void setBaseFrame(int n) { baseFrame_ = n; }
    // Shows frame n under the end-of-range and looping rules (used by tick and stepping).
    void goToFrame(int n);
    // goToFrame(frame() + delta), the sum held at the int limits.
    void stepBy(int delta);
    // One pass of the event loop: picks the frame due now and shows it.
    void tick();

    int firstFrame() const { return firstFrame_; }
    int lastFrame() const { return lastFrame_; }
    int rangeStart() const { return rangeStart_; }
    int rangeEnd() const { return rangeEnd_; }
    int baseFrame() const { return baseFrame_; }
    bool wasPlaying() const { return wasPlaying_; }
    long startTicks() const { return startTicks_; }
    // Whether the player wants tick() called: only while playing, or until the first tick after
    // playback stopped, so the event loop can sleep while nothing plays.
    bool ticksWanted() const { return ticksWanted_; }

  private:
    void applyPlaying(bool on, bool announce);
    void announceAndShowFrame();
    void wantTicks(bool wanted);
    // The frame due now in timed mode: baseFrame plus the whole frames elapsed since
    // startTicks, kept inside int range whatever the speed.
    int timedTarget() const;

    const PlaybackClock& clock_;
    PlayerListener* listener_ = nullptr;
    int firstFrame_ = 0;   // first frame number of the full range
    int lastFrame_ = 1;    // last frame number of the full range
    int rangeStart_ = 0;   // first frame of the play range
    int rangeEnd_ = 1;     // last frame of the play range
    int frameNumber_ = 0;  // the current frame
    int baseFrame_ = 0;    // the frame from which the clock's count is taken
    bool looping_ = false;
    bool playing_ = false;
    bool wasPlaying_ = false;        // whether the previous tick saw playback on
    bool ticksWanted_ = false;       // what the listener was last told about ticks
    long startTicks_ = 0;            // clock reading (ms) from which the count is taken
    float framesPerSecond_ = 30.0f;  // 0 or below: AFAP
};
