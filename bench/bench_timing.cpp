// Keep Speed: how much faster than the capture the root travels a bent path, over one-second
// windows while the figure walks, with the frames as captured (off) and retimed (on); the corpus
// walks and the bundled sample, each bent sideways by a tenth, a fifth and a third of its
// length. Also how long retiming a 100,000-frame walk takes, and what it adds to its save.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "document/path_bend.h"
#include "document/path_edit.h"
#include "document/speed_windows.h"
#include "generated_motion.h"
#include "motion/load_motion.h"
#include "motion/motion.h"
#include "motion/save_motion.h"

namespace {

const std::string kSample = std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh";
const std::string kCorpus = BVHPATH_CORPUS_DIR;

struct Bend {
    const char* name;
    double share;
};
constexpr Bend kBends[] = {{"tenth", 0.1}, {"fifth", 0.2}, {"third", 1.0 / 3.0}};

// The length a bend's share is of, as bendMiddleSideways takes it.
double motionLength(const PathEdit& edit) {
    const Motion& motion = edit.motion();
    const double travelled = trackLength(edit.path());
    const double ground =
        std::max(motion.bound(MaxX) - motion.bound(MinX), motion.bound(MaxZ) - motion.bound(MinZ));
    return travelled >= motion.height() ? travelled : ground;
}

void measureWalk(const std::string& name, const std::string& path) {
    Motion motion;
    const Result loaded = loadMotion(path, motion);
    if (!loaded) {
        std::printf("%s: %s\n", name.c_str(), loaded.message.c_str());
        return;
    }
    for (const Bend& bend : kBends) {
        PathEdit edit(motion);
        // The neighbours follow within the bend's own distance: a bend rather than a spike.
        const float falloff = static_cast<float>(bend.share * motionLength(edit));
        if (!bendMiddleSideways(edit, falloff, bend.share)) {
            std::printf("%s: too few control points to bend\n", name.c_str());
            return;
        }
        const SpeedRange off = windowSpeedRange(edit);
        edit.setKeepSpeed(true);
        const SpeedRange on = windowSpeedRange(edit);
        const SpeedRange kept = windowSpeedRange(edit, true);
        std::printf(
            "%s, bent by a %s: %d frames become %d; one-second speed ratios %.3f..%.3f as "
            "captured, %.3f..%.3f retimed (%d windows), %.3f..%.3f where the stretch is within "
            "the bound (%d windows)\n",
            name.c_str(), bend.name, motion.frameCount(), edit.frameCount(), off.lowest,
            off.highest, on.lowest, on.highest, on.windows, kept.lowest, kept.highest,
            kept.windows);
        std::printf("summary speed_window_max_%s_%s_off: %.3f\n", name.c_str(), bend.name,
                    off.highest);
        std::printf("summary speed_window_max_%s_%s_on: %.3f\n", name.c_str(), bend.name,
                    on.highest);
        std::printf("summary speed_window_kept_lowest_%s_%s: %.3f\n", name.c_str(), bend.name,
                    kept.lowest);
        std::printf("summary speed_window_kept_highest_%s_%s: %.3f\n", name.c_str(), bend.name,
                    kept.highest);
    }
}

// The best of three saves of the edit, in seconds; negative when a save fails.
double bestSave(const PathEdit& edit, const std::string& path) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!saveMotion(edit.edited(), path)) {
            return -1.0;
        }
        best = std::min(best, bench::secondsSince(start));
    }
    return best;
}

bool measureLongWalk() {
    constexpr int kFrames = 100000;
    constexpr int kJoints = 31;
    Motion walk;
    auto frames =
        std::make_unique<FrameTable>(bench::makeFrames(kFrames, bench::columnsOf(kJoints), true));
    if (!walk.prepare(bench::makeSkeleton(kJoints), std::move(frames))) {
        return false;
    }
    PathEdit edit(walk);
    bendMiddleSideways(edit, static_cast<float>(0.2 * motionLength(edit)), 0.2);
    const std::string saved = bench::scratchPath("bench_timing_saved.bvh");
    const double plain = bestSave(edit, saved);
    auto start = std::chrono::steady_clock::now();
    edit.setKeepSpeed(true);
    const double retime = bench::secondsSince(start);
    start = std::chrono::steady_clock::now();
    edit.refresh();
    const double refresh = bench::secondsSince(start);
    const double kept = bestSave(edit, saved);
    std::remove(saved.c_str());
    if (plain < 0.0 || kept < 0.0) {
        return false;
    }
    std::printf(
        "long walk: %d frames become %d; retiming %.0f ms, a whole refresh with Keep Speed "
        "%.0f ms; save %.0f ms, retimed %.0f ms\n",
        kFrames, edit.frameCount(), retime * 1000.0, refresh * 1000.0, plain * 1000.0,
        kept * 1000.0);
    std::printf("summary keep_speed_retime_ms: %.0f\n", retime * 1000.0);
    std::printf("summary keep_speed_save_added_ms: %.0f\n", (kept - plain) * 1000.0);
    return true;
}

}  // namespace

int main() {
    measureWalk("walk_curve", kSample);
    for (const char* walk : {"cmu_01_01_walk", "cmu_12_01_walk", "av_walk_xyz_offset"}) {
        measureWalk(walk, kCorpus + "/" + walk + ".bvh");
    }
    return measureLongWalk() ? 0 : 1;
}
