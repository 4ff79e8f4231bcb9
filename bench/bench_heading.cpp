// The heading an edit adds, on the corpus walks and the bundled sample: its largest change between
// neighbouring frames (degrees per second) and the largest change it makes to where the figure
// faces against where it travels, for sideways bends of a tenth, a fifth and a third of the path,
// a U-turn of three points and a loop.
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "document/path_bend.h"
#include "document/path_edit.h"
#include "document/path_measures.h"
#include "motion/load_motion.h"

namespace {

const std::string kSample = std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh";
const std::string kCorpus = BVHPATH_CORPUS_DIR;

struct Edit {
    const char* name;
    std::function<bool(PathEdit&)> make;
};

float bendRadius(const PathEdit& edit, double share) {
    const Motion& motion = edit.motion();
    const double travelled = trackLength(edit.path());
    const double ground =
        std::max(motion.bound(MaxX) - motion.bound(MinX), motion.bound(MaxZ) - motion.bound(MinZ));
    return static_cast<float>(share * (travelled >= motion.height() ? travelled : ground));
}

Edit bend(const char* name, double share) {
    return {name, [share](PathEdit& edit) {
                return bendMiddleSideways(edit, bendRadius(edit, share), share);
            }};
}

void measure(const std::string& name, const std::string& path) {
    Motion motion;
    if (!loadMotion(path, motion)) {
        std::printf("%s: does not load\n", name.c_str());
        return;
    }
    const Edit edits[] = {bend("tenth", 0.1),
                          bend("fifth", 0.2),
                          bend("third", 1.0 / 3.0),
                          {"uturn", makeUTurn},
                          {"loop", makeLoop}};
    double worstRate = 0.0;
    for (const Edit& e : edits) {
        PathEdit edit(motion);
        if (!e.make(edit)) {
            continue;
        }
        const double rate = headingRateMax(edit);
        const double facing = facingChangeMax(edit);
        worstRate = std::max(worstRate, rate);
        std::printf(
            "%s %s: heading rate at most %.0f degrees/s, facing against travel changed by "
            "at most %.0f degrees\n",
            name.c_str(), e.name, rate, facing);
        std::printf("summary facing_change_max_%s_%s: %.1f\n", name.c_str(), e.name, facing);
    }
    std::printf("summary heading_rate_max_%s: %.0f\n", name.c_str(), worstRate);
}

}  // namespace

int main() {
    measure("walk_curve", kSample);
    for (const char* walk : {"cmu_01_01_walk", "cmu_12_01_walk", "av_walk_xyz_offset"}) {
        measure(walk, kCorpus + "/" + walk + ".bvh");
    }
    return 0;
}
