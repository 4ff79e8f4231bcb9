// Keep Speed: how much faster than the capture the root travels a bent path, over one-second
// windows while the figure walks, with the frames as captured (off) and retimed (on); the corpus
// walks and the bundled sample, each bent sideways by a tenth, a fifth and a third of its
// length.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "document/path_bend.h"
#include "document/path_edit.h"
#include "document/speed_windows.h"
#include "motion/load_motion.h"
#include "motion/motion.h"

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
    }
}

}  // namespace

int main() {
    measureWalk("walk_curve", kSample);
    for (const char* walk : {"cmu_01_01_walk", "cmu_12_01_walk", "av_walk_xyz_offset"}) {
        measureWalk(walk, kCorpus + "/" + walk + ".bvh");
    }
    return 0;
}
