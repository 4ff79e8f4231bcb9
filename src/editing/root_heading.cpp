#include "editing/root_heading.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double kTwoPi = 2.0 * M_PI;
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

double smoothStep(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

int framesOf(double seconds, double framesPerSecond) {
    return std::max(1, static_cast<int>(std::lround(seconds * framesPerSecond)));
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
    chords.first.resize(fitted.size());
    chords.last.resize(fitted.size());
    chords.fittedX.resize(fitted.size());
    chords.fittedZ.resize(fitted.size());
    chords.weight.resize(fitted.size());
    for (int f = 0; f < n; ++f) {
        int a = f;
        int b = f;
        double x = 0.0;
        double z = 0.0;
        for (int reach = shortest; reach <= longest; ++reach) {
            a = std::max(0, f - reach);
            b = std::min(n - 1, f + reach);
            x = fitted[static_cast<std::size_t>(b)].x - fitted[static_cast<std::size_t>(a)].x;
            z = fitted[static_cast<std::size_t>(b)].z - fitted[static_cast<std::size_t>(a)].z;
            if (std::hypot(x, z) >= wanted) {
                break;
            }
        }
        const std::size_t i = static_cast<std::size_t>(f);
        chords.first[i] = a;
        chords.last[i] = b;
        chords.fittedX[i] = static_cast<float>(x);
        chords.fittedZ[i] = static_cast<float>(z);
        chords.weight[i] = static_cast<float>(smoothStep(2.0 * std::hypot(x, z) / wanted - 1.0));
    }
    spreadWeights(chords.weight, framesOf(kWeightReach, framesPerSecond));
    return chords;
}

std::vector<double> addedHeadings(const HeadingChords& chords,
                                  const std::vector<CurvePoint>& edited, double framesPerSecond) {
    const std::size_t n = std::min(edited.size(), chords.weight.size());
    // Each frame's turn from the fitted chord to the edited one, in (-pi, pi], with the whole
    // turns that keep it continuous from the frame before; where there is no direction to turn
    // from (or the edited chord has none), the turn of the frame before is kept.
    std::vector<double> turn(n, 0.0);
    std::vector<long> wound(n, 0);
    std::vector<bool> unchanged(n, false);
    double before = 0.0;
    long windings = 0;
    for (std::size_t f = 0; f < n; ++f) {
        const CurvePoint& a = edited[static_cast<std::size_t>(chords.first[f])];
        const CurvePoint& b = edited[static_cast<std::size_t>(chords.last[f])];
        const double x = b.x - a.x;
        const double z = b.z - a.z;
        const double fx = chords.fittedX[f];
        const double fz = chords.fittedZ[f];
        unchanged[f] = static_cast<float>(x) == chords.fittedX[f] &&
                       static_cast<float>(z) == chords.fittedZ[f];
        double now = before;
        if (unchanged[f]) {
            now = 0.0;
        } else if (chords.weight[f] > 0.0f && std::hypot(x, z) > 1e-9 * std::hypot(fx, fz)) {
            now = std::atan2(fz * x - fx * z, fx * x + fz * z);
        }
        windings += std::lround((before - now) / kTwoPi);
        turn[f] = now;
        wound[f] = windings;
        before = now;
    }
    // Blended towards no turn by the weight (the whole turns kept), then limited in rate: the
    // mean of the turn held back going forwards and going backwards, which starts a turn too
    // fast to follow as much before it as it ends it after.
    std::vector<double> blended(n, 0.0);
    for (std::size_t f = 0; f < n; ++f) {
        blended[f] = kTwoPi * static_cast<double>(wound[f]) + chords.weight[f] * turn[f];
    }
    const double step = kFastestTurn * M_PI / 180.0 /
                        (framesPerSecond > 0.0 ? framesPerSecond : 30.0) * (1.0 - 1e-9);
    std::vector<double> forwards = blended;
    std::vector<double> backwards = blended;
    for (std::size_t f = 1; f < n; ++f) {
        forwards[f] = std::clamp(forwards[f], forwards[f - 1] - step, forwards[f - 1] + step);
    }
    for (std::size_t f = n; f-- > 1;) {
        backwards[f - 1] = std::clamp(backwards[f - 1], backwards[f] - step, backwards[f] + step);
    }
    std::vector<double> heading(n, 0.0);
    std::vector<bool> limited(n, false);
    for (std::size_t f = 0; f < n; ++f) {
        limited[f] = forwards[f] != blended[f] || backwards[f] != blended[f];
        heading[f] = limited[f] ? 0.5 * (forwards[f] + backwards[f]) : blended[f];
    }
    for (std::size_t f = 0; f < n; ++f) {
        heading[f] = unchanged[f] && !limited[f] ? 0.0 : std::remainder(heading[f], kTwoPi);
    }
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
