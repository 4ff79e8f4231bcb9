#include "playback/player.h"

#include <algorithm>
#include <climits>
#include <cmath>

Player::Player(const PlaybackClock& clock) : clock_(clock), startTicks_(clock.milliseconds()) {
    setFramesPerSecond(30.0f);
}

void Player::setListener(PlayerListener* listener) {
    listener_ = listener;
    if (listener_ != nullptr && ticksWanted_) {
        listener_->ticksWanted(true);
    }
}

void Player::setPlaying(bool on) {
    applyPlaying(on, on);
}

void Player::applyPlaying(bool on, bool announce) {
    playing_ = on;
    baseFrame_ = frameNumber_;
    if (playing_) {
        wantTicks(true);
    }
    if (listener_ != nullptr) {
        listener_->playingSet(*this);
        if (announce) {
            listener_->frameAnnounced(*this);
        }
    }
}

void Player::togglePlay() {
    restartClock();
    if (!playing_ && !looping_ && frameNumber_ >= rangeEnd_ && rangeStart_ < rangeEnd_) {
        // Play would stop again within one frame here; start over instead.
        setFrame(rangeStart_);
        restartClock();
        applyPlaying(true, false);
        return;
    }
    setPlaying(!playing_);
}

void Player::setFrameRange(int first, int last) {
    if (last >= first) {
        firstFrame_ = first;
        lastFrame_ = last;
        if (rangeStart_ < first) {
            rangeStart_ = first;
        }
        if (rangeEnd_ > last) {
            rangeEnd_ = last;
        }
        if (frameNumber_ < rangeStart_) {
            setFrame(rangeStart_);
        }
        if (frameNumber_ > rangeEnd_) {
            setFrame(rangeEnd_);
        }
    }
    if (listener_ != nullptr) {
        listener_->rangesSet(*this);
    }
}

void Player::setPlayRange(int start, int end) {
    if (end >= start) {
        start = std::max(start, firstFrame_);
        end = std::min(end, lastFrame_);
        rangeStart_ = start;
        rangeEnd_ = end;
        if (frameNumber_ < start) {
            setFrame(start);
        } else if (frameNumber_ > end) {
            setFrame(end);
        }
    }
    if (listener_ != nullptr) {
        listener_->rangesSet(*this);
    }
}

void Player::setFrame(int n) {
    frameNumber_ = n;
    announceAndShowFrame();
}

void Player::announceAndShowFrame() {
    if (listener_ != nullptr) {
        listener_->frameAnnounced(*this);
        listener_->frameSet(*this);
    }
}

void Player::jumpTo(int n) {
    n = std::min(std::max(n, firstFrame_), lastFrame_);
    if (n < rangeStart_ || n > rangeEnd_) {
        rangeStart_ = std::min(rangeStart_, n);
        rangeEnd_ = std::max(rangeEnd_, n);
        if (listener_ != nullptr) {
            listener_->rangesSet(*this);
        }
    }
    setFrame(n);
    restartClock();
}

void Player::setFramesPerSecond(float fps) {
    framesPerSecond_ = fps;
    restartClock();
    if (listener_ != nullptr) {
        listener_->speedSet(*this);
    }
}

void Player::setLooping(bool on) {
    looping_ = on;
    if (listener_ != nullptr) {
        listener_->loopingSet(*this);
    }
}

void Player::restartClock() {
    baseFrame_ = frameNumber_;
    startTicks_ = clock_.milliseconds();
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
        wantTicks(false);
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

void Player::wantTicks(bool wanted) {
    if (ticksWanted_ == wanted) {
        return;
    }
    ticksWanted_ = wanted;
    if (listener_ != nullptr) {
        listener_->ticksWanted(wanted);
    }
}
