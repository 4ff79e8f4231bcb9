// Keeping feet planted: the foot skate of the corpus walks and the bundled sample before an
// edit (S0), after a sideways bend (S1) and after it with Keep Feet Planted (S2), with the knee
// flips and how far the root went down; and what the option adds to saving a 100,000-frame walk.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "generated_motion.h"
#include "motion/foot_skate.h"
#include "motion/motion.h"

namespace {

const std::string kSample = std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh";
const std::string kCorpus = BVHPATH_CORPUS_DIR;

// The bend of the measure: the middle control point moved sideways by a fifth of the motion's
// length, its neighbours following within that same distance (a bend rather than a spike).
float bendRadius(const Motion& motion) {
    const RootPath& path = *motion.rootPath();
    double travelled = 0.0;
    for (int i = 1; i < path.sampleCount(); ++i) {
        travelled += std::hypot(static_cast<double>(path.sampleX(i)) - path.sampleX(i - 1),
                                static_cast<double>(path.sampleZ(i)) - path.sampleZ(i - 1));
    }
    const double ground =
        std::max(motion.bound(MaxX) - motion.bound(MinX), motion.bound(MaxZ) - motion.bound(MinZ));
    return static_cast<float>(0.2 * (travelled >= motion.height() ? travelled : ground));
}

void measureWalk(const std::string& name, const std::string& path) {
    Motion motion;
    const Result loaded = motion.load(path);
    const Result found = loaded ? motion.findFeet() : loaded;
    if (!found) {
        std::printf("%s: %s\n", name.c_str(), found.message.c_str());
        return;
    }
    std::vector<LegChain> legs;
    for (const Foot& foot : motion.feet()) {
        legs.push_back(foot.leg);
    }
    const SkateReference reference = skateReference(motion, legs);
    int pairs = 0;
    const double s0 = footSkate(motion, reference, false, &pairs);
    bendMiddleSideways(motion, bendRadius(motion));
    const double s1 = footSkate(motion, reference, true);
    motion.setFeetPlanted(true);
    const double s2 = footSkate(motion, reference, true);
    float lowered = 0.0f;
    for (float d : motion.planting().rootDrop) {
        lowered = std::max(lowered, d);
    }
    std::printf("%s: %d contact pairs; S2 / S0 %.2f, S2 / S1 %.3f\n", name.c_str(), pairs,
                s0 > 0.0 ? s2 / s0 : 0.0, s1 > 0.0 ? s2 / s1 : 0.0);
    std::printf("summary footskate_%s_S0: %.4f\n", name.c_str(), s0);
    std::printf("summary footskate_%s_S1: %.4f\n", name.c_str(), s1);
    std::printf("summary footskate_%s_S2: %.4f\n", name.c_str(), s2);
    std::printf("summary knee_flips_%s: %d\n", name.c_str(), kneeFlips(motion, legs));
    std::printf("summary root_lowered_%s: %.4f\n", name.c_str(),
                motion.height() > 0.0f ? lowered / motion.height() : 0.0f);
}

constexpr int kFrames = 100000;
constexpr int kRepeats = 3;

// The sample walked forth and back until it has kFrames frames: its feet stand as still as the
// sample's.
bool longWalk(Motion& walk) {
    Motion sample;
    if (!sample.load(kSample)) {
        return false;
    }
    const FrameTable& source = *sample.frames();
    const int n = source.frameCount();
    const int width = source.channelCount();
    std::vector<float> values;
    values.reserve(static_cast<std::size_t>(kFrames) * static_cast<std::size_t>(width));
    for (int f = 0; f < kFrames; ++f) {
        const int cycle = f % (2 * n - 2);
        const float* row = source.row(cycle < n ? cycle : 2 * n - 2 - cycle);
        values.insert(values.end(), row, row + width);
    }
    auto table = std::make_unique<FrameTable>(width);
    table->set(kFrames, source.frameTime(), std::move(values));
    return static_cast<bool>(walk.prepare(copySkeleton(*sample.root()), std::move(table)));
}

double bestSave(const Motion& motion, const std::string& path) {
    double best = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!motion.save(path)) {
            return -1.0;
        }
        best = std::min(best, bench::secondsSince(start));
    }
    return best;
}

}  // namespace

int main() {
    measureWalk("walk_curve", kSample);
    for (const char* walk : {"cmu_01_01_walk", "cmu_12_01_walk", "makehuman_zombie_walk"}) {
        measureWalk(walk, kCorpus + "/" + walk + ".bvh");
    }

    Motion walk;
    if (!longWalk(walk)) {
        return 1;
    }
    const std::string dir = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
    const std::string saved = dir + "/bench_feet_saved.bvh";
    ControlCurve& curve = *walk.rootPath()->curve();
    const int middle = curve.pointCount() / 2;
    CurvePoint p;
    curve.getPoint(middle, p);
    curve.setFalloffRadius(30.0f * walk.markerRadius());
    curve.select(middle);
    curve.moveSelected(p.x + 80.0, p.z - 60.0);
    curve.select(-1);
    walk.refreshBounds();
    auto start = std::chrono::steady_clock::now();
    if (!walk.findFeet()) {
        return 1;
    }
    const double find = bench::secondsSince(start);
    const double plain = bestSave(walk, saved);
    walk.setFeetPlanted(true);
    double replant = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        start = std::chrono::steady_clock::now();
        walk.replantFeet();
        replant = std::min(replant, bench::secondsSince(start));
    }
    const double planted = bestSave(walk, saved);
    std::remove(saved.c_str());
    if (plain < 0.0 || planted < 0.0) {
        return 1;
    }
    std::printf(
        "long walk: %d frames; save %.0f ms, with planted feet %.0f ms (the option adds "
        "%.0f%% of the save); solving the legs after an edit %.0f ms, finding the feet "
        "%.0f ms\n",
        kFrames, plain * 1000.0, planted * 1000.0, 100.0 * (planted - plain) / plain,
        replant * 1000.0, find * 1000.0);
    std::printf("summary save_ms: %.0f\n", plain * 1000.0);
    std::printf("summary feet_save_added_ms: %.0f\n", (planted - plain) * 1000.0);
    std::printf("summary feet_replant_ms: %.0f\n", replant * 1000.0);
    std::printf("summary feet_find_ms: %.0f\n", find * 1000.0);
    return 0;
}
