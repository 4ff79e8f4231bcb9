#pragma once

#include "playback/playback_clock.h"

// A clock the test moves by hand.
class FakeClock : public PlaybackClock {
  public:
    long milliseconds() const override { return now; }
    long now = 100000;
};
