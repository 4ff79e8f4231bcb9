// Share of one core the event loop uses with the playback panel shown and playback stopped,
// after a second of playback. Stopped playback must let the loop sleep.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <sys/resource.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "playback/playback_panel.h"

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop as Fl::run does, for `seconds`; returns the CPU share over that time.
double loopShare(double seconds) {
    double cpu = cpuSeconds();
    auto start = Clock::now();
    auto end = start + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        Fl::wait(1.0);
    }
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    return (cpuSeconds() - cpu) / wall;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    Fl_Window window(800, 110, "idle");
    PlaybackPanel panel(5, 5, 790, 100);
    window.end();
    window.show();
    panel.setFrameRange(1, 1000);
    panel.setPlayRange(1, 1000);
    panel.setFrame(1);
    panel.setFramesPerSecond(120.0f);

    panel.playButton().do_callback();
    double playing = loopShare(1.0);
    panel.playButton().do_callback();
    double stopped = loopShare(seconds);
    std::printf("playing %.1f%% of a core (frame %d), stopped %.2f%% over %.0f s\n",
                100.0 * playing, panel.frame(), 100.0 * stopped, seconds);
    std::printf("summary idle_cpu_stopped_percent: %.2f\n", 100.0 * stopped);
    return stopped < 0.02 ? 0 : 1;
}
