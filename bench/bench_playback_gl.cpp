// Playback as the window plays: a generated hour-long capture (432,000 frames, 31 joints, 120 fps)
// and a 173-joint figure, in the real MotionView beside a playback panel, under the X server the
// program runs on (xvfb-run with Mesa's llvmpipe for `make bench`). Each tick is what the
// player's tick causes: the panel's frame change, the view's frame and damage, the toolkit's
// flush (draw and buffer swap), waited for with glFinish; it is timed from the tick to after the
// wait. Then the share of a core the event loop uses with playback stopped.
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <numeric>
#include <vector>

#include "document/document.h"
#include "generated_motion.h"
#include "motion/bvh_writer.h"
#include "playback/playback_panel.h"
#include "view/motion_view.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kAskedFps = 120.0;

// Writes the generated capture to a scratch file and opens it as File > Open does.
bool openGenerated(Document& document, int frames, int joints) {
    const std::string path = bench::scratchPath("bench_playback.bvh");
    {
        std::unique_ptr<Joint> root = bench::makeSkeleton(joints);
        const FrameTable table = bench::makeFrames(frames, bench::columnsOf(joints), true);
        BvhWriter writer;
        if (!writer.open(path) || !writer.write(root.get(), table) || !writer.close())
            return false;
    }
    const bool opened = static_cast<bool>(document.open(path));
    std::remove(path.c_str());
    return opened;
}

struct Playback {
    double fps = 0.0;     // frames shown per second at the asked rate: min(120, 1 / mean tick)
    double meanMs = 0.0;  // the mean tick, from the frame change to the GL done
    double maxMs = 0.0;
};

// The window of the program, cut to the view and the panel.
class PlayerWindow {
  public:
    PlayerWindow() : window_(800, 860, "playback benchmark") {
        view_ = new MotionView(5, 5, 790, 755);
        panel_ = new PlaybackPanel(5, 760, 790, 95);
        window_.end();
        window_.show();
        for (int i = 0; i < 200 && !view_->visible_r(); ++i)
            Fl::wait(0.01);
    }

    void show(Document& document) {
        const int frames = document.motion()->frameCount();
        view_->setDocument(&document);
        panel_->setFrameRange(1, frames);
        panel_->setPlayRange(1, frames);
        panel_->setFramesPerSecond(static_cast<float>(kAskedFps));
        panel_->setFrame(1);
        // The events that map and expose the window come in while the load runs.
        for (int i = 0; i < 20; ++i)
            Fl::wait(0.01);
    }

    void setOption(int option, bool on) {
        if (view_->option(option) != on)
            view_->toggleOption(option);
    }

    // `ticks` frames advanced one by one from `first`, after 20 untimed ones.
    Playback play(int first, int ticks) {
        std::vector<double> ms;
        for (int i = 0; i < ticks + 20; ++i) {
            const auto start = Clock::now();
            // What the window's frameChanged does when the player's tick moves the panel on.
            panel_->setFrame(first + i);
            view_->setFrame(panel_->frame());
            view_->damage(1);
            Fl::flush();
            view_->make_current();
            glFinish();
            if (i >= 20)
                ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        Playback p;
        p.meanMs = std::accumulate(ms.begin(), ms.end(), 0.0) / static_cast<double>(ms.size());
        p.maxMs = *std::max_element(ms.begin(), ms.end());
        p.fps = std::min(kAskedFps, 1000.0 / p.meanMs);
        return p;
    }

    PlaybackPanel& panel() { return *panel_; }

  private:
    Fl_Window window_;
    MotionView* view_;
    PlaybackPanel* panel_;
};

void everyOptionOn(PlayerWindow& window, Document& document) {
    for (const ViewOptionRow& row : kViewOptions)
        window.setOption(row.option, true);
    document.setFalloff(FalloffShape::Linear);
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop as Fl::run does for `seconds`; the CPU share over that time.
double loopShare(double seconds) {
    const double cpu = cpuSeconds();
    const auto start = Clock::now();
    while (Clock::now() < start + std::chrono::duration<double>(seconds))
        Fl::wait(1.0);
    return (cpuSeconds() - cpu) / std::chrono::duration<double>(Clock::now() - start).count();
}

void report(const char* what, const Playback& p) {
    std::printf("%s: %.1f fps (mean tick %.2f ms, longest %.2f ms)\n", what, p.fps, p.meanMs,
                p.maxMs);
}

}  // namespace

int main() {
    PlayerWindow window;
    Document hour;
    if (!openGenerated(hour, 432000, 31)) {
        std::printf("could not prepare the hour-long capture\n");
        return 1;
    }
    window.show(hour);
    std::printf("hour: %d frames, %d control points\n", hour.motion()->frameCount(),
                hour.edit()->curve().pointCount());
    const Playback defaults = window.play(200000, 600);
    report("hour, default options", defaults);
    everyOptionOn(window, hour);
    const Playback all = window.play(200000, 600);
    report("hour, every option", all);

    // Stopped after a second of real playback: the loop must sleep.
    window.panel().playButton().do_callback();
    loopShare(1.0);
    window.panel().playButton().do_callback();
    const double stopped = loopShare(3.0);
    std::printf("stopped: %.2f%% of a core\n", 100.0 * stopped);

    Document wide;
    if (!openGenerated(wide, 36000, 173)) {
        std::printf("could not prepare the 173-joint capture\n");
        return 1;
    }
    window.show(wide);
    everyOptionOn(window, wide);
    const Playback wideAll = window.play(10000, 600);
    report("173 joints, every option", wideAll);

    std::printf("summary playback_fps_hour: %.1f\n", defaults.fps);
    std::printf("summary playback_fps_hour_all_options: %.1f\n", all.fps);
    std::printf("summary playback_fps_173_joints_all_options: %.1f\n", wideAll.fps);
    std::printf("summary idle_cpu_stopped_percent: %.2f\n", 100.0 * stopped);
    return stopped < 0.02 ? 0 : 1;
}
