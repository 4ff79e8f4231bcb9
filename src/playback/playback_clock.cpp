#include "playback/playback_clock.h"

#include <chrono>

long SteadyPlaybackClock::milliseconds() const {
    using namespace std::chrono;
    return static_cast<long>(
        duration_cast<std::chrono::milliseconds>(steady_clock::now().time_since_epoch()).count());
}

const SteadyPlaybackClock& SteadyPlaybackClock::instance() {
    static const SteadyPlaybackClock clock;
    return clock;
}
