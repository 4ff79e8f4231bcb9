#include "playback/player.h"

#include <FL/Fl.H>

#include <climits>
#include <cmath>

Player::Player(int x, int y, int w, int h, const char* label)
    : Player(x, y, w, h, label, SteadyPlaybackClock::instance()) {}

// The group stays the current group, so the widgets a derived panel creates next join it.
// The idle hook is not registered here: it runs only while there is playback to advance.
Player::Player(int x, int y, int w, int h, const char* label, const PlaybackClock& clock)
    : Fl_Group(x, y, w, h, label), clock_(clock), startTicks_(clock.milliseconds()) {
    setFramesPerSecond(30.0f);
}

Player::~Player() {
    unscheduleTick();
}

float Player::framesPerSecond() const {
    return framesPerSecond_;
}

void Player::setFramesPerSecond(float fps) {
    framesPerSecond_ = fps;
    restartClock();
}

void Player::restartClock() {
    baseFrame_ = frameNumber_;
    startTicks_ = clock_.milliseconds();
}

void Player::setBaseFrame(int n) {
    baseFrame_ = n;
}

void Player::applyPlaying(int flag) {
    playing_ = flag != 0;
    baseFrame_ = frameNumber_;
    if (playing_) {
        scheduleTick();
    }
}

void Player::goToFrame(int n) {
    if (n > rangeEnd_) {
        if (!looping_) {
            return;
        }
        restartClock();
        baseFrame_ = rangeStart_;
        n = rangeStart_;
    }
    if (n < rangeStart_) {
        n = rangeStart_;
    }
    // Stopped at the end and stepping on: start over rather than show the end again.
    if (n >= rangeEnd_ && baseFrame_ >= rangeEnd_) {
        n = rangeStart_;
        baseFrame_ = rangeStart_;
    }
    setFrame(n);
}

void Player::stepBy(int delta) {
    long long n = static_cast<long long>(frameNumber_) + delta;
    n = n > INT_MAX ? INT_MAX : (n < INT_MIN ? INT_MIN : n);
    goToFrame(static_cast<int>(n));
}

int Player::timedTarget() const {
    // elapsed * fps / 1000 rather than elapsed / (1000 / fps): whole-second counts at whole
    // rates come out exact instead of one frame short.
    double elapsed = static_cast<double>(clock_.milliseconds() - startTicks_);
    double frames = std::trunc(elapsed * framesPerSecond() / 1000.0);
    double target = static_cast<double>(baseFrame_) + (std::isfinite(frames) ? frames : INT_MAX);
    if (target > INT_MAX) {
        return INT_MAX;
    }
    if (target < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(target);
}

void Player::tick() {
    bool p = isPlaying();
    if (p && !wasPlaying_) {
        startTicks_ = clock_.milliseconds();
    }
    if (!p) {
        if (wasPlaying_) {
            baseFrame_ = frameNumber_;
        }
        wasPlaying_ = false;
        // Nothing more to advance until playback starts again; let the event loop sleep.
        unscheduleTick();
        return;
    }
    wasPlaying_ = true;

    int target = framesPerSecond() > 0 ? timedTarget()
                                       : (frameNumber_ == INT_MAX ? INT_MAX : frameNumber_ + 1);
    if (target < rangeStart_ || target > rangeEnd_) {
        if (frameNumber_ < rangeEnd_) {
            // A late tick overshot the end: settle on the end quietly; the next tick stops.
            frameNumber_ = rangeEnd_;
        } else if (!looping_) {
            setPlaying(false);
        }
    }
    if (frameNumber_ != target) {
        goToFrame(target);
    }
}

bool Player::tickScheduled() const {
    return Fl::has_idle(tickHook, const_cast<Player*>(this)) != 0;
}

void Player::tickHook(void* data) {
    static_cast<Player*>(data)->tick();
}

void Player::scheduleTick() {
    if (!tickScheduled()) {
        Fl::add_idle(tickHook, this);
    }
}

void Player::unscheduleTick() {
    Fl::remove_idle(tickHook, this);
}
