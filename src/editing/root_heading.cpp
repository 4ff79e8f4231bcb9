#include "editing/root_heading.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "numeric/run_in_halves.h"

namespace {

constexpr double kTwoPi = 2.0 * M_PI;
// Below this many frames the chords are found on one core.
constexpr int kSplitChordFrames = 16384;
// A chord gives a direction once it is this long, in parts of the figure's size; half of it
// gives none.
constexpr double kChordShare = 0.05;
// The farthest a chord reaches either side of its frame, and the nearest, in seconds.
constexpr double kLongestReach = 0.5;
constexpr double kShortestReach = 0.1;
// The fastest the added heading may turn, degrees per second.
constexpr double kFastestTurn = 360.0;
// Seconds on each side over which a weight spreads: it is lowered to the least within this reach,
// then averaged over it, so it never exceeds its own frame's and changes between neighbouring
// frames by at most 1 / (2 * reach + 1) of its range.
constexpr double kWeightReach = 0.5;
// The most frames any of these reaches spans. A file may state a frame time of a microsecond,
// and a still figure's chords try every reach of every frame: reaches in seconds would then
// make laying its baseline take hours. 2048 frames is half a second at 4096 fps, past any
// capture's rate.
constexpr int kMostReachFrames = 2048;

double smoothStep(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

// At least one frame and at most kMostReachFrames (the double is bounded before it is rounded,
// so a vast rate never overflows the int).
int framesOf(double seconds, double framesPerSecond) {
    const double frames = seconds * framesPerSecond;
    return static_cast<int>(
        std::lround(frames < kMostReachFrames ? std::max(frames, 1.0) : kMostReachFrames));
}

// Each weight lowered to the least within `reach` frames, then averaged over the same reach, in
// time linear in the frames (a queue of candidates whose weights rise from front to back for the
// least, a running sum for the average).
void spreadWeights(std::vector<float>& weights, int reach) {
    const int n = static_cast<int>(weights.size());
    std::vector<int> candidates(static_cast<std::size_t>(n));
    std::vector<float> least(weights.size());
    int front = 0;
    int back = 0;
    for (int i = 0, next = 0; i < n; ++i) {
        for (; next < n && next <= i + reach; ++next) {
            while (back > front && weights[static_cast<std::size_t>(candidates[back - 1])] >=
                                       weights[static_cast<std::size_t>(next)]) {
                --back;
            }
            candidates[static_cast<std::size_t>(back++)] = next;
        }
        while (candidates[static_cast<std::size_t>(front)] < i - reach) {
            ++front;
        }
        least[static_cast<std::size_t>(i)] =
            weights[static_cast<std::size_t>(candidates[static_cast<std::size_t>(front)])];
    }
    double sum = 0.0;
    for (int i = 0; i < std::min(n, reach); ++i) {
        sum += least[static_cast<std::size_t>(i)];
    }
    for (int i = 0; i < n; ++i) {
        const int first = std::max(0, i - reach);
        const int last = std::min(n - 1, i + reach);
        if (i + reach < n) {
            sum += least[static_cast<std::size_t>(i + reach)];
        }
        if (i - reach - 1 >= 0) {
            sum -= least[static_cast<std::size_t>(i - reach - 1)];
        }
        // A reach of ones averages to one (to float precision), so a travelling figure turns
        // fully.
        weights[static_cast<std::size_t>(i)] =
            static_cast<float>(std::min(1.0, sum / (last - first + 1)));
    }
}

}  // namespace

HeadingChords headingChords(const std::vector<CurvePoint>& fitted, double figureSize,
                            double framesPerSecond) {
    const int n = static_cast<int>(fitted.size());
    const double wanted = kChordShare * (figureSize > 0.0 ? figureSize : 1.0);
    const int shortest = framesOf(kShortestReach, framesPerSecond);
    const int longest = std::max(shortest, framesOf(kLongestReach, framesPerSecond));
    HeadingChords chords;
    chords.reach = longest;
    chords.first.resize(fitted.size());
    chords.last.resize(fitted.size());
    chords.fittedX.resize(fitted.size());
    chords.fittedZ.resize(fitted.size());
    chords.weight.resize(fitted.size());
    // A chord well short of the wanted length by its square is short without the exact length,
    // which a still figure would otherwise work out for every reach of every frame.
    const double shortSquare = wanted * wanted * (1.0 - 1e-9);
    runInHalves(n, kSplitChordFrames, [&](int from, int to, int) {
        for (int f = from; f < to; ++f) {
            int a = f;
            int b = f;
            double x = 0.0;
            double z = 0.0;
            for (int reach = shortest; reach <= longest; ++reach) {
                a = std::max(0, f - reach);
                b = std::min(n - 1, f + reach);
                x = fitted[static_cast<std::size_t>(b)].x - fitted[static_cast<std::size_t>(a)].x;
                z = fitted[static_cast<std::size_t>(b)].z - fitted[static_cast<std::size_t>(a)].z;
                // A longer reach past both ends of the motion joins the same two frames.
                if ((!(x * x + z * z < shortSquare) && std::hypot(x, z) >= wanted) ||
                    (a == 0 && b == n - 1)) {
                    break;
                }
            }
            const std::size_t i = static_cast<std::size_t>(f);
            chords.first[i] = a;
            chords.last[i] = b;
            chords.fittedX[i] = static_cast<float>(x);
            chords.fittedZ[i] = static_cast<float>(z);
            chords.weight[i] =
                static_cast<float>(smoothStep(2.0 * std::hypot(x, z) / wanted - 1.0));
        }
    });
    spreadWeights(chords.weight, framesOf(kWeightReach, framesPerSecond));
    return chords;
}

void measureTurns(const HeadingChords& chords, const std::vector<CurvePoint>& edited, int first,
                  int last, ChordTurns& turns) {
    const int n = static_cast<int>(std::min(edited.size(), chords.weight.size()));
    turns.turn.resize(static_cast<std::size_t>(n), 0.0);
    turns.unchanged.resize(static_cast<std::size_t>(n), 1);
    const int start = std::max(0, first);
    const int end = std::min(last, n - 1) + 1;
    // Each frame's turn is its own, so an edit that reaches the whole motion shares the frames
    // between two cores.
    runInHalves(end - start, kSplitChordFrames, [&](int from, int to, int) {
        for (int frame = start + from; frame < start + to; ++frame) {
            const std::size_t f = static_cast<std::size_t>(frame);
            const CurvePoint& a = edited[static_cast<std::size_t>(chords.first[f])];
            const CurvePoint& b = edited[static_cast<std::size_t>(chords.last[f])];
            const double x = b.x - a.x;
            const double z = b.z - a.z;
            const double fx = chords.fittedX[f];
            const double fz = chords.fittedZ[f];
            const bool unchanged = static_cast<float>(x) == chords.fittedX[f] &&
                                   static_cast<float>(z) == chords.fittedZ[f];
            turns.unchanged[f] = unchanged ? 1 : 0;
            if (unchanged) {
                turns.turn[f] = 0.0;
            } else if (chords.weight[f] > 0.0f && std::hypot(x, z) > 1e-9 * std::hypot(fx, fz)) {
                turns.turn[f] = std::atan2(fz * x - fx * z, fx * x + fz * z);
            } else {
                turns.turn[f] = std::numeric_limits<double>::quiet_NaN();
            }
        }
    });
}

std::vector<double> addedHeadings(const HeadingChords& chords,
                                  const std::vector<CurvePoint>& edited, double framesPerSecond) {
    ChordTurns turns;
    measureTurns(chords, edited, 0, static_cast<int>(edited.size()) - 1, turns);
    return addedHeadings(chords, turns, framesPerSecond);
}

void addedHeadings(const HeadingChords& chords, const ChordTurns& turns, double framesPerSecond,
                   std::vector<double>& heading, std::vector<double>& work) {
    const std::size_t n = std::min(turns.turn.size(), chords.weight.size());
    heading.resize(n);
    work.resize(n);
    const double step = kFastestTurn * M_PI / 180.0 /
                        (framesPerSecond > 0.0 ? framesPerSecond : 30.0) * (1.0 - 1e-9);
    // Forwards: each frame's turn with the whole turns that keep it continuous from the frame
    // before (where there is no direction, NaN, the turn of the frame before is kept), blended
    // towards none by the weight (the whole turns kept), in `heading`; and held back to the
    // fastest turn going forwards, in `work`.
    double before = 0.0;
    double windings = 0.0;
    for (std::size_t f = 0; f < n; ++f) {
        const double now = std::isnan(turns.turn[f]) ? before : turns.turn[f];
        windings += std::nearbyint((before - now) / kTwoPi);
        before = now;
        heading[f] = kTwoPi * windings + chords.weight[f] * now;
        work[f] =
            f == 0 ? heading[f] : std::clamp(heading[f], work[f - 1] - step, work[f - 1] + step);
    }
    // Backwards: held back going backwards too; where either limit held a frame, the mean of the
    // two, which starts a turn too fast to follow as much before it as it ends it after.
    double backwards = 0.0;
    for (std::size_t f = n; f-- > 0;) {
        const double blended = heading[f];
        backwards = f + 1 == n ? blended : std::clamp(blended, backwards - step, backwards + step);
        const bool limited = work[f] != blended || backwards != blended;
        heading[f] = limited                   ? 0.5 * (work[f] + backwards)
                     : turns.unchanged[f] != 0 ? 0.0
                                               : blended;
    }
}

std::vector<double> addedHeadings(const HeadingChords& chords, const ChordTurns& turns,
                                  double framesPerSecond) {
    std::vector<double> heading;
    std::vector<double> work;
    addedHeadings(chords, turns, framesPerSecond, heading, work);
    return heading;
}

std::vector<double> turnedHeadings(const HeadingChords& chords,
                                   const std::vector<CurvePoint>& edited, double framesPerSecond,
                                   double wholeTurn) {
    if (wholeTurn == 0.0) {
        return addedHeadings(chords, edited, framesPerSecond);
    }
    // The heading turns +x towards -z for a positive angle (as a GL rotation about +y), so the
    // turn back by -wholeTurn takes (x, z) to (x cos - z sin, x sin + z cos).
    const double c = std::cos(wholeTurn);
    const double s = std::sin(wholeTurn);
    std::vector<CurvePoint> back(edited.size());
    for (std::size_t f = 0; f < edited.size(); ++f) {
        back[f] = {edited[f].x * c - edited[f].z * s, edited[f].x * s + edited[f].z * c};
    }
    std::vector<double> heading = addedHeadings(chords, back, framesPerSecond);
    for (double& h : heading) {
        h = std::remainder(h + wholeTurn, kTwoPi);
    }
    return heading;
}
