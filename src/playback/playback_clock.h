#pragma once

// Where the player reads the time. Elapsed wall-clock milliseconds that never step backwards,
// so a playback keeps real time even when the program is idle or the system clock is changed.
class PlaybackClock {
  public:
    virtual ~PlaybackClock() = default;
    // Milliseconds since an arbitrary fixed origin; never decreases.
    virtual long milliseconds() const = 0;
};

// The program's clock: std::chrono::steady_clock in whole milliseconds.
class SteadyPlaybackClock : public PlaybackClock {
  public:
    long milliseconds() const override;
    // One shared instance; a player built without a clock uses it.
    static const SteadyPlaybackClock& instance();
};
