// The baseline: what each frame keeps of the curve as fitted (see Baseline).
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "document/path_edit.h"
#include "motion/transform_ops.h"
#include "numeric/run_in_halves.h"

namespace {

// Frames from which the baseline is laid on two threads.
constexpr int kSplitFrames = 2048;
// How many frames ahead the baseline asks for a row it will read.
constexpr int kPrefetchFrames = 16;

// Tangent lengths, as parts of the figure's size, below which the load-time curve gives no
// direction an edit could turn the figure from (a root that barely travels, or a pause), and
// above which it gives one fully; in between the turn is scaled.
constexpr double kStillTangent = 0.02;
constexpr double kMovingTangent = 0.08;
// Frames on each side over which a turn weight spreads: a weight is lowered to the least within
// this reach, then averaged over it, so it never exceeds its own frame's and changes between
// neighbouring frames by at most 1 / (2 * reach + 1) (away from the motion's ends, where the
// reach is cut short).
constexpr int kTurnReach = 25;

double smoothStep(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

// The weight of every frame from the lengths of its load-time tangent, against the figure's
// size (a figure with no extent counts any tangent that is not zero). The lengths become the
// weights in place, with one more array of the motion's length beside them: a long motion's load
// takes little more memory than its baseline.
void turnWeights(std::vector<float>& weights, double figureSize) {
    const int n = static_cast<int>(weights.size());
    const double still = kStillTangent * figureSize;
    const double moving = kMovingTangent * figureSize;
    for (float& w : weights) {
        w = static_cast<float>(figureSize > 0.0 ? smoothStep((w - still) / (moving - still))
                                                : (w > 0.0f ? 1.0 : 0.0));
    }
    // The least within the reach, by a queue of candidates whose weights rise from front to
    // back; then the average over the reach, by a running sum: both in time linear in n. The
    // queue never holds more than a reach's frames, so a ring of kQueue slots holds it: entries
    // [front, back) counted from the start, slot k % kQueue.
    constexpr int kQueue = 64;
    static_assert(kQueue >= 2 * kTurnReach + 2, "the ring holds every frame within a reach");
    std::array<int, kQueue> candidates;
    auto at = [&candidates](int k) -> int& {
        return candidates[static_cast<std::size_t>(k % kQueue)];
    };
    std::vector<float> least(weights.size());
    int front = 0;
    int back = 0;
    for (int i = 0, next = 0; i < n; ++i) {
        for (; next < n && next <= i + kTurnReach; ++next) {
            while (back > front && weights[static_cast<std::size_t>(at(back - 1))] >=
                                       weights[static_cast<std::size_t>(next)]) {
                --back;
            }
            at(back++) = next;
        }
        while (at(front) < i - kTurnReach) {
            ++front;
        }
        least[static_cast<std::size_t>(i)] = weights[static_cast<std::size_t>(at(front))];
    }
    double sum = 0.0;
    for (int i = 0; i < std::min(n, kTurnReach); ++i) {
        sum += least[static_cast<std::size_t>(i)];
    }
    for (int i = 0; i < n; ++i) {
        const int first = std::max(0, i - kTurnReach);
        const int last = std::min(n - 1, i + kTurnReach);
        if (i + kTurnReach < n) {
            sum += least[static_cast<std::size_t>(i + kTurnReach)];
        }
        if (i - kTurnReach - 1 >= 0) {
            sum -= least[static_cast<std::size_t>(i - kTurnReach - 1)];
        }
        // A reach of ones averages to one (to float precision), so a travelling figure turns
        // fully.
        weights[static_cast<std::size_t>(i)] =
            static_cast<float>(std::min(1.0, sum / (last - first + 1)));
    }
}

}  // namespace

void PathEdit::layBaseline() {
    if (!motion_.poseable() || curve().pointCount() < 3) {
        return;
    }
    const Joint& root = *motion_.root();
    const FrameTable& frames = *motion_.frames();
    const int frameCount = motion_.frameCount();
    const std::size_t size = static_cast<std::size_t>(frameCount);
    baseline_.offsetX.assign(size, 0.0f);
    baseline_.offsetZ.assign(size, 0.0f);
    baseline_.tangentX.assign(size, 0.0f);
    baseline_.tangentZ.assign(size, 0.0f);
    baseline_.turnWeight.assign(size, 0.0f);  // the tangents' lengths, then their weights
    // Only the root's position channels matter here: the offset is left out so that the
    // placement, which translates by the OFFSET before it, puts the root where the file does.
    // They are turned upright first, as the pose turns them.
    Transform upright = identityTransform();
    if (motion_.upAxis() == UpAxis::Z) {
        rotateAbout(upright, 0, -90.0f);
    }
    const int rootChannels = root.channelCount();
    // Every frame is laid on its own, so long motions are laid on two cores; the fitted curve's
    // boundary cache was filled by the fit, so both halves only read it.
    const ControlCurve& curve = this->curve();
    runInHalves(frameCount, kSplitFrames, [&](int first, int last, int) {
        for (int f = first; f < last; ++f) {
            // The rows lie far apart in a wide table, more than the hardware prefetcher follows.
            const float* ahead = frames.row(std::min(f + kPrefetchFrames, last - 1));
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + std::max(rootChannels - 1, 0));
            Transform ground = upright;
            const float* row = frames.row(f);
            for (int i = 0; i < rootChannels; ++i) {
                const ChannelType type = root.channel(i);
                if (type <= Zposition) {
                    translateAlong(ground, type, row[i]);
                }
            }
            const double t = path_.frameParameter(f, frameCount);
            CurvePoint point;
            CurvePoint tangent;
            curve.evaluateWithForward(t, point, tangent);
            const std::size_t i = static_cast<std::size_t>(f);
            baseline_.offsetX[i] = static_cast<float>(point.x - ground[12]);
            baseline_.offsetZ[i] = static_cast<float>(point.z - ground[14]);
            baseline_.tangentX[i] = static_cast<float>(tangent.x);
            baseline_.tangentZ[i] = static_cast<float>(tangent.z);
            baseline_.turnWeight[i] = static_cast<float>(std::hypot(tangent.x, tangent.z));
        }
    });
    turnWeights(baseline_.turnWeight, std::max({static_cast<double>(motion_.width()),
                                                static_cast<double>(motion_.height()),
                                                static_cast<double>(motion_.depth())}));
}
