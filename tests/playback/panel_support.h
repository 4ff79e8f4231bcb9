#pragma once

#include <string>
#include <vector>

#include "fake_clock.h"
#include "playback/playback_panel.h"

// Records every frame the panel announces, with the text the time display held at that moment.
struct Notifications {
    static void record(Fl_Widget* w, void* data) {
        auto* self = static_cast<Notifications*>(data);
        auto* panel = static_cast<PlaybackPanel*>(w);
        self->frames.push_back(panel->frame());
        self->displayed.push_back(panel->timeDisplay().value());
    }
    void clear() {
        frames.clear();
        displayed.clear();
    }
    std::vector<int> frames;
    std::vector<std::string> displayed;
};

// A panel as the main window leaves it after loading a motion of `frames` frames.
inline void loadFrames(PlaybackPanel& panel, int frames, float fps = 30.0f) {
    panel.setFrameRange(1, frames);
    panel.setPlayRange(1, frames);
    panel.setFrame(1);
    panel.setFramesPerSecond(fps);
}
