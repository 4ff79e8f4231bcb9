// Keeping feet planted: the foot skate of the corpus walks and the bundled sample before an
// edit (S0), after a sideways bend of a tenth, a fifth and a third of the path (S1) and after it
// with Keep Feet Planted (S2), with the knee flips, how far the knees turn against the feet and
// how many bend backwards, how far the root went down and how far a foot went below the
// capture's lowest; and what the option adds to saving a 100,000-frame walk.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "document/path_bend.h"
#include "document/path_edit.h"
#include "feet/foot_skate.h"
#include "feet/leg_solver.h"
#include "generated_motion.h"
#include "long_walk.h"
#include "motion/load_motion.h"
#include "motion/motion.h"
#include "motion/pose.h"
#include "motion/save_motion.h"

namespace {

const std::string kSample = std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh";
const std::string kCorpus = BVHPATH_CORPUS_DIR;

// The bends of the measure: the middle control point moved sideways by a share of the motion's
// length, its neighbours following within that same distance (a bend rather than a spike); named
// by the share in hundredths.
struct Bend {
    double share;
    const char* name;
};
constexpr Bend kBends[] = {{0.1, "bend10"}, {0.2, "bend20"}, {1.0 / 3.0, "bend33"}};

float bendRadius(const PathEdit& edit, double share) {
    const Motion& motion = edit.motion();
    const double travelled = trackLength(edit.path());
    const double ground =
        std::max(motion.bound(MaxX) - motion.bound(MinX), motion.bound(MaxZ) - motion.bound(MinZ));
    return static_cast<float>(share * (travelled >= motion.height() ? travelled : ground));
}

// How much foot skate the bend leaves whatever the planting does: over each run of a joint's
// contact frames, a foot held within reach of the hip must still slide by as much as the hip's
// ground travel between two frames of the run exceeds the leg's horizontal reach at both (the
// whole leg's length, with the root down 4.9% and the foot up 5% of the height, the most the
// planting allows). Taken on the bent motion before planting; prints the run that asks most.
double reachBound(const std::string& name, const PathEdit& edit, const SkateReference& reference,
                  const std::vector<LegChain>& legs) {
    const Motion& motion = edit.motion();
    const int n = motion.frameCount();
    const double h = motion.height();
    std::vector<std::vector<Vec3>> hips(legs.size());
    std::vector<std::vector<Vec3>> ankles(legs.size());
    std::vector<double> lengths(legs.size(), 0.0);
    Pose pose;
    const auto at = [&](int j) {
        const Transform& m = pose.transforms[static_cast<std::size_t>(j)];
        return Vec3{m[12], m[13], m[14]};
    };
    for (int f = 0; f < n; ++f) {
        edit.pose(f, PosePass::MeasureEdited, pose);
        for (std::size_t l = 0; l < legs.size(); ++l) {
            hips[l].push_back(at(legs[l].hip));
            if (f == 0) {
                lengths[l] = length(at(legs[l].knee) - at(legs[l].hip)) +
                             length(at(legs[l].ankle) - at(legs[l].knee));
            }
        }
        edit.pose(f, PosePass::MeasureRaw, pose);
        for (std::size_t l = 0; l < legs.size(); ++l) {
            ankles[l].push_back(at(legs[l].ankle));
        }
    }
    double slide = 0.0;
    int pairs = 0;
    double worst = 0.0;
    int worstFirst = 0;
    int worstLast = 0;
    double worstTravel = 0.0;
    double worstReach = 0.0;
    for (std::size_t k = 0; k < reference.joints.size(); ++k) {
        std::size_t l = 0;
        while (l + 1 < legs.size() && legs[l].ankle != reference.joints[k] &&
               legs[l].toe != reference.joints[k]) {
            ++l;
        }
        const std::vector<std::uint8_t>& in = reference.contact[k];
        const auto reach = [&](int f) {
            const double up = hips[l][static_cast<std::size_t>(f)][1] -
                              ankles[l][static_cast<std::size_t>(f)][1] - 0.099 * h;
            return up < lengths[l] ? std::sqrt(lengths[l] * lengths[l] - up * up) : 0.0;
        };
        for (int f = 0; f + 1 < n; ++f) {
            if (in[static_cast<std::size_t>(f)] == 0 || in[static_cast<std::size_t>(f + 1)] == 0) {
                continue;
            }
            const int first = f;
            while (f + 1 < n && in[static_cast<std::size_t>(f)] != 0 &&
                   in[static_cast<std::size_t>(f + 1)] != 0) {
                ++f;
                ++pairs;
            }
            double most = 0.0;
            for (int i = first; i <= f; ++i) {
                for (int j = i + 1; j <= f; ++j) {
                    const Vec3 d =
                        hips[l][static_cast<std::size_t>(j)] - hips[l][static_cast<std::size_t>(i)];
                    const double beyond = std::hypot(d[0], d[2]) - reach(i) - reach(j);
                    if (beyond > most) {
                        most = beyond;
                        if (beyond > worst) {
                            worst = beyond;
                            worstFirst = i;
                            worstLast = j;
                            worstTravel = std::hypot(d[0], d[2]);
                            worstReach = std::max(reach(i), reach(j));
                        }
                    }
                }
            }
            slide += most;
        }
    }
    if (worst > 0.0) {
        std::printf(
            "%s: frames %d-%d: the hips %.3f heights apart on the bent path while the foot stands, "
            "the leg's horizontal reach at most %.3f: the foot slides at least %.3f heights\n",
            name.c_str(), worstFirst, worstLast, worstTravel / h, worstReach / h, worst / h);
    }
    return pairs > 0 ? slide / reference.frameTime / h / pairs : 0.0;
}

// One bend of a walk, free and planted.
void measureBend(const std::string& name, const Motion& motion, const Bend& bend, double s0) {
    PathEdit edit(motion);
    if (!edit.findFeet()) {
        return;
    }
    std::vector<LegChain> legs;
    for (const Foot& foot : edit.feet()) {
        legs.push_back(foot.leg);
    }
    const SkateReference reference = skateReference(motion, legs);
    bendMiddleSideways(edit, bendRadius(edit, bend.share), bend.share);
    const double s1 = footSkate(edit.edited(), reference, true);
    const std::string tag = name + "_" + bend.name;
    const double bound = reachBound(tag, edit, reference, legs);
    edit.setFeetPlanted(true);
    const double s2 = footSkate(edit.edited(), reference, true);
    const KneeFootTwist twist = kneeFootTwist(edit.edited(), legs);
    float lowered = 0.0f;
    for (float d : edit.planting().rootDrop) {
        lowered = std::max(lowered, d);
    }
    std::printf(
        "%s: S2 / S0 %.2f, S2 / S1 %.3f; the knees turn most against the feet at frame %d\n",
        tag.c_str(), s0 > 0.0 ? s2 / s0 : 0.0, s1 > 0.0 ? s2 / s1 : 0.0, twist.worstFrame);
    std::printf("summary footskate_%s_S1: %.4f\n", tag.c_str(), s1);
    std::printf("summary footskate_%s_S2: %.4f\n", tag.c_str(), s2);
    std::printf("summary footskate_%s_S2_least: %.4f\n", tag.c_str(), bound);
    std::printf("summary knee_flips_%s: %d\n", tag.c_str(), kneeFlips(edit.edited(), legs));
    std::printf("summary knee_foot_twist_%s: %.1f\n", tag.c_str(), twist.most);
    std::printf("summary backward_knees_%s: %d\n", tag.c_str(), twist.backward);
    std::printf("summary root_lowered_%s: %.4f\n", tag.c_str(),
                motion.height() > 0.0f ? lowered / motion.height() : 0.0f);
    std::printf("summary foot_below_ground_%s: %.4f\n", tag.c_str(),
                footBelowGround(edit.edited(), legs));
    // Retimed to the capture's pace, a stance takes the hips no further than the legs reach.
    edit.setKeepSpeed(true);
    std::printf("summary footskate_%s_S2_keep_speed: %.4f\n", tag.c_str(),
                footSkate(edit.edited(), reference, true));
}

void measureWalk(const std::string& name, const std::string& path) {
    Motion motion;
    const Result loaded = loadMotion(path, motion);
    if (!loaded) {
        std::printf("%s: %s\n", name.c_str(), loaded.message.c_str());
        return;
    }
    PathEdit edit(motion);
    const Result found = edit.findFeet();
    if (!found) {
        std::printf("%s: %s\n", name.c_str(), found.message.c_str());
        return;
    }
    std::vector<LegChain> legs;
    for (const Foot& foot : edit.feet()) {
        legs.push_back(foot.leg);
    }
    int pairs = 0;
    const double s0 = footSkate(edit.edited(), skateReference(motion, legs), false, &pairs);
    std::printf("%s: %d contact pairs\n", name.c_str(), pairs);
    std::printf("summary footskate_%s_S0: %.4f\n", name.c_str(), s0);
    for (const Bend& bend : kBends) {
        measureBend(name, motion, bend, s0);
    }
}

constexpr int kFrames = bench::kLongWalkFrames;
constexpr int kRepeats = 1;  // a sample a run: scripts/bench.sh takes the median of runs

double timedSave(const PathEdit& edit, const std::string& path) {
    double fastest = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!saveMotion(edit.edited(), path)) {
            return -1.0;
        }
        fastest = std::min(fastest, bench::secondsSince(start));
    }
    return fastest;
}

}  // namespace

int main() {
    measureWalk("walk_curve", kSample);
    for (const char* walk :
         {"cmu_01_01_walk", "cmu_12_01_walk", "makehuman_zombie_walk", "av_walk_xyz_offset"}) {
        measureWalk(walk, kCorpus + "/" + walk + ".bvh");
    }

    Motion walk;
    if (!bench::longWalk(walk)) {
        return 1;
    }
    const std::string saved = bench::scratchPath("bench_feet_saved.bvh");
    PathEdit edit(walk);
    const int middle = edit.curve().pointCount() / 2;
    // Moves a point; the edit is refreshed (the bounds, then the legs) where it is timed.
    const auto move = [&](int point, double dx, double dz, float falloff) {
        CurvePoint p;
        edit.curve().getPoint(point, p);
        edit.setFalloffRadius(falloff);
        edit.select(point);
        edit.moveSelected(p.x + dx, p.z + dz);
        edit.select(-1);
    };
    // The walk goes forth and back over one track, so a bend with a falloff reaches every pass
    // over that ground: about half the frames.
    move(middle, 80.0, -60.0, 30.0f * walk.markerRadius());
    edit.refresh();
    auto start = std::chrono::steady_clock::now();
    if (!edit.findFeet()) {
        return 1;
    }
    const double find = bench::secondsSince(start);
    const double plain = timedSave(edit, saved);
    start = std::chrono::steady_clock::now();
    edit.setFeetPlanted(true);
    const double firstSolve = bench::secondsSince(start);
    const double planted = timedSave(edit, saved);
    // Then the legs are solved again after further edits, as after a drag in the window: one
    // control point moved alone (a few hundred frames), and the bend moved again.
    double replantOne = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        move(middle + 7, i % 2 == 0 ? 12.0 : -12.0, 9.0, 0.0f);
        start = std::chrono::steady_clock::now();
        edit.refresh();
        replantOne = std::min(replantOne, bench::secondsSince(start));
    }
    move(middle, 10.0, 10.0, 30.0f * walk.markerRadius());
    start = std::chrono::steady_clock::now();
    edit.refresh();
    const double replantBend = bench::secondsSince(start);
    std::remove(saved.c_str());
    if (plain < 0.0 || planted < 0.0) {
        return 1;
    }
    std::printf(
        "long walk: %d frames; save %.0f ms, with planted feet %.0f ms (the option adds %.0f%% of "
        "the save); finding the feet %.0f ms, solving the legs first %.0f ms, again after moving "
        "one point %.0f ms, after moving the bend %.0f ms\n",
        kFrames, plain * 1000.0, planted * 1000.0, 100.0 * (planted - plain) / plain, find * 1000.0,
        firstSolve * 1000.0, replantOne * 1000.0, replantBend * 1000.0);
    std::printf("summary save_ms: %.0f\n", plain * 1000.0);
    std::printf("summary feet_save_added_ms: %.0f\n", (planted - plain) * 1000.0);
    std::printf("summary feet_find_ms: %.0f\n", find * 1000.0);
    std::printf("summary feet_first_solve_ms: %.0f\n", firstSolve * 1000.0);
    std::printf("summary feet_replant_ms: %.0f\n", replantOne * 1000.0);
    std::printf("summary feet_replant_bend_ms: %.0f\n", replantBend * 1000.0);
    return 0;
}
