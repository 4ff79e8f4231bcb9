#include "feet/foot_contacts.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "feet/leg_solver.h"
#include "motion/motion.h"
#include "motion/pose.h"
#include "numeric/run_in_halves.h"

namespace {

// Frames sampled, evenly over the motion, to tell the legs' shape.
constexpr int kSampledFrames = 48;
// A joint's segment turns by less than this from the bone below it in every sampled frame: it
// lies on that bone (a twist joint), not at a bend.
constexpr double kOnBoneDegrees = 5.0;
// Joints closer than this (in figure heights) stand at one point.
constexpr double kSamePoint = 1e-4;
// The bone above an ankle (the shin) is at least this long, in figure heights; foot and toe
// bones are shorter.
constexpr double kShortestShin = 0.15;
// Thigh and shin are at least this long, in figure heights.
constexpr double kShortestBone = 0.05;
// Contact thresholds: height above the joint's own lowest point (figure heights) and speed
// (figure heights per second) to enter a contact, and the looser ones that end it.
constexpr double kEnterHeight = 0.05;
constexpr double kStayHeight = 0.07;
constexpr double kEnterSpeed = 0.15;
constexpr double kStaySpeed = 0.25;
// Contacts shorter than this are noise; breaks shorter than this do not split one (seconds).
constexpr double kShortestContact = 0.1;
constexpr double kLongestBreak = 0.05;
// A leg's joints rise above the hips they hang from by at most this much of the figure's
// height, and its ankle lies on average within this (as a cosine) of straight below them.
constexpr double kAboveHips = 0.05;
constexpr double kLeastDownward = 0.5;
// The lowest legs among which the automatic choice looks for a pair.
constexpr std::size_t kCandidateLegs = 16;
// Frames from which the contact search poses the legs on two threads.
constexpr int kSplitFrames = 2048;

// The figure's size that thresholds are relative to: its standing height, or the motion's
// largest extent where the first pose has none.
double figureHeight(const Motion& motion) {
    if (motion.height() > 0.0f) {
        return motion.height();
    }
    return std::max({motion.bound(MaxX) - motion.bound(MinX),
                     motion.bound(MaxY) - motion.bound(MinY),
                     motion.bound(MaxZ) - motion.bound(MinZ), 1e-6f});
}

double framesPerSecond(const Motion& motion) {
    const double t = motion.frameTime();
    return t > 0.0 && std::isfinite(t) ? 1.0 / t : 30.0;
}

Vec3 positionOf(const Transform& m) {
    return {m[12], m[13], m[14]};
}

// Every joint's position at evenly spread frames (display axes, raw root), in the floats the pose
// gives, with what the leg search asks of each joint many times: its mean height, and its child
// with the lowest end below it (the first such child; -1 for none).
struct Samples {
    using Point = std::array<float, 3>;
    std::vector<std::vector<Point>> frames;
    std::vector<double> meanHeights;
    std::vector<int> lowestChild;

    explicit Samples(const Motion& motion) {
        const int count = std::min(kSampledFrames, motion.frameCount());
        Pose pose;
        for (int k = 0; k < count; ++k) {
            const int f = count > 1 ? static_cast<int>(static_cast<long long>(k) *
                                                       (motion.frameCount() - 1) / (count - 1))
                                    : 0;
            if (!poseFrame(motion, f, PosePass::MeasureRaw, nullptr, nullptr, pose)) {
                continue;
            }
            std::vector<Point> at;
            at.reserve(pose.transforms.size());
            for (const Transform& m : pose.transforms) {
                at.push_back({m[12], m[13], m[14]});
            }
            frames.push_back(std::move(at));
        }
        const std::size_t joints = motion.joints().size();
        meanHeights.assign(joints, 0.0);
        for (std::size_t j = 0; j < joints && !frames.empty(); ++j) {
            double sum = 0.0;
            for (const std::vector<Point>& at : frames) {
                sum += at[j][1];
            }
            meanHeights[j] = sum / static_cast<double>(frames.size());
        }
        // Children follow their parents (depth-first order): a backward pass finds the lowest
        // end below each joint, a forward one each joint's first child with the lowest.
        std::vector<double> lowestBelow = meanHeights;
        for (std::size_t j = joints; j-- > 0;) {
            const int parent = motion.parentIndex()[j];
            if (parent >= 0) {
                const std::size_t up = static_cast<std::size_t>(parent);
                lowestBelow[up] = std::min(lowestBelow[up], lowestBelow[j]);
            }
        }
        lowestChild.assign(joints, -1);
        for (std::size_t j = 0; j < joints; ++j) {
            const int parent = motion.parentIndex()[j];
            if (parent >= 0) {
                int& child = lowestChild[static_cast<std::size_t>(parent)];
                if (child < 0 || lowestBelow[j] < lowestBelow[static_cast<std::size_t>(child)]) {
                    child = static_cast<int>(j);
                }
            }
        }
    }
    Vec3 position(const std::vector<Point>& at, int j) const {
        const Point& p = at[static_cast<std::size_t>(j)];
        return {p[0], p[1], p[2]};
    }
    double distance(int a, int b) const {
        return frames.empty() ? 0.0
                              : length(position(frames.front(), a) - position(frames.front(), b));
    }
    double meanHeight(int j) const { return meanHeights[static_cast<std::size_t>(j)]; }
    // Whether `upper` continues the bone from `lower` to `middle` in every sampled frame.
    bool onBone(int lower, int middle, int upper, double samePoint) const {
        const double cosLimit = std::cos(kOnBoneDegrees * M_PI / 180.0);
        for (const std::vector<Point>& at : frames) {
            const Vec3 below = position(at, lower) - position(at, middle);
            const Vec3 above = position(at, middle) - position(at, upper);
            const double lb = length(below);
            const double la = length(above);
            if (la <= samePoint) {
                continue;
            }
            if (lb <= samePoint || dot(below, above) < cosLimit * lb * la) {
                return false;
            }
        }
        return true;
    }
};

// In constant time: a joint may have a hundred thousand children.
bool hasOneChild(const Motion& motion, int j) {
    const Joint* first = motion.joints()[static_cast<std::size_t>(j)]->firstChild();
    return first != nullptr && first->nextSibling() == nullptr;
}

bool turnsAnyWay(const Motion& motion, int j) {
    std::set<int> axes;
    int rotations = 0;
    for (ChannelType type : motion.joints()[static_cast<std::size_t>(j)]->channels()) {
        if (type >= Xrotation) {
            axes.insert(type - Xrotation);
            ++rotations;
        }
    }
    return rotations == 3 && axes.size() == 3;
}

int parentOf(const Motion& motion, int j) {
    return motion.parentIndex()[static_cast<std::size_t>(j)];
}

// Walks up from `from` past joints at its own point, then on along the bone from `below` while
// the joints above continue it (a single child each, as a twist joint has).
int topOfBone(const Motion& motion, const Samples& samples, int below, int from, double samePoint) {
    int j = from;
    while (j >= 0 && samples.distance(j, below) <= samePoint) {
        j = parentOf(motion, j);
    }
    while (j >= 0) {
        const int up = parentOf(motion, j);
        if (up < 0 || !hasOneChild(motion, up) || !samples.onBone(below, j, up, samePoint)) {
            break;
        }
        j = up;
    }
    return j;
}

std::optional<LegChain> legFrom(const Motion& motion, const Samples& samples, int ankle) {
    const int count = static_cast<int>(motion.joints().size());
    if (ankle < 0 || ankle >= count || samples.frames.empty()) {
        return std::nullopt;
    }
    const double height = figureHeight(motion);
    const double samePoint = kSamePoint * height;
    LegChain leg;
    leg.ankle = ankle;
    leg.knee = topOfBone(motion, samples, ankle, parentOf(motion, ankle), samePoint);
    if (leg.knee < 0) {
        return std::nullopt;
    }
    leg.hip = topOfBone(motion, samples, leg.knee, parentOf(motion, leg.knee), samePoint);
    // The hip turns the leg alone: a top-level joint would turn the whole figure.
    if (leg.hip < 0 || parentOf(motion, leg.hip) < 0) {
        return std::nullopt;
    }
    if (samples.distance(leg.hip, leg.knee) < kShortestBone * height ||
        samples.distance(leg.knee, leg.ankle) < kShortestBone * height) {
        return std::nullopt;
    }
    for (int j : {leg.hip, leg.knee, leg.ankle}) {
        if (!turnsAnyWay(motion, j)) {
            return std::nullopt;
        }
    }
    // The toe: the ankle's child with the lowest end below it.
    leg.toe = samples.lowestChild[static_cast<std::size_t>(ankle)];
    return leg;
}

bool sharesJoints(const LegChain& a, const LegChain& b) {
    for (int x : {a.hip, a.knee, a.ankle}) {
        for (int y : {b.hip, b.knee, b.ankle}) {
            if (x == y) {
                return true;
            }
        }
    }
    return false;
}

// The joint the legs hang from when the skeleton is a figure: the first joint from the top down
// with more than one child (-1 for none).
int firstBranch(const Motion& motion) {
    for (int j = 0; j < static_cast<int>(motion.joints().size()); ++j) {
        if (motion.joints()[static_cast<std::size_t>(j)]->firstChild() == nullptr) {
            break;
        }
        if (!hasOneChild(motion, j)) {
            return j;
        }
    }
    return -1;
}

// Every joint's height in the rest pose (OFFSETs alone, no channel applied) along the file's up
// axis.
std::vector<double> restHeights(const Motion& motion) {
    const std::size_t count = motion.joints().size();
    const std::size_t up = motion.upAxis() == UpAxis::Z ? 2 : 1;
    std::vector<double> heights(count, 0.0);
    for (std::size_t j = 0; j < count; ++j) {
        const int parent = motion.parentIndex()[j];
        heights[j] = (parent >= 0 ? heights[static_cast<std::size_t>(parent)] : 0.0) +
                     motion.joints()[j]->offset()[up];
    }
    return heights;
}

// The lowest joint above (or at) both a and b; -1 where they share none.
int commonJoint(const Motion& motion, int a, int b) {
    std::set<int> above;
    for (int j = a; j >= 0; j = parentOf(motion, j)) {
        above.insert(j);
    }
    for (int j = b; j >= 0; j = parentOf(motion, j)) {
        if (above.count(j) != 0) {
            return j;
        }
    }
    return -1;
}

// Whether two legs hang from the hips: the joint they meet at is the skeleton's first branch, or
// one below it that carries nothing but these two legs' feet (a pelvis of its own).
bool meetAtTheHips(const Motion& motion, const LegChain& a, const LegChain& b, int hips) {
    if (hips == firstBranch(motion)) {
        return true;
    }
    const std::vector<int> feetA = footJoints(motion, a);
    const std::vector<int> feetB = footJoints(motion, b);
    const int count = static_cast<int>(motion.joints().size());
    for (int j = hips + 1; j < count && parentOf(motion, j) >= hips; ++j) {
        const bool end = motion.joints()[static_cast<std::size_t>(j)]->firstChild() == nullptr;
        if (end && std::find(feetA.begin(), feetA.end(), j) == feetA.end() &&
            std::find(feetB.begin(), feetB.end(), j) == feetB.end()) {
            return false;
        }
    }
    return true;
}

// Whether a leg hangs down from `hips` in the capture: its ankle lies on average within 60
// degrees of straight below the hips, and no joint from below the hips to its foot's ends rises
// above them (by more than a twentieth of the figure's height) in any sampled frame. An arm
// starts above the hips or, raised, reaches above them; a leg of a figure read on its side
// points across.
bool hangsDownFrom(const Motion& motion, const Samples& samples, const LegChain& leg, int hips,
                   double height) {
    std::vector<int> chain = footJoints(motion, leg);
    for (int j = parentOf(motion, leg.ankle); j != hips; j = parentOf(motion, j)) {
        if (j < 0) {
            return false;
        }
        chain.push_back(j);
    }
    Vec3 down{0.0, 0.0, 0.0};
    for (const std::vector<Samples::Point>& at : samples.frames) {
        const Vec3 top = samples.position(at, hips);
        for (int j : chain) {
            if (samples.position(at, j)[1] - top[1] > kAboveHips * height) {
                return false;
            }
        }
        const Vec3 d = samples.position(at, leg.ankle) - top;
        const double l = length(d);
        down = l > 0.0 ? down + (1.0 / l) * d : down;
    }
    return -down[1] >= kLeastDownward * length(down) && length(down) > 0.0;
}

}  // namespace

std::vector<LegChain> findLegs(const Motion& motion) {
    std::vector<LegChain> legs;
    if (!motion.poseable()) {
        return legs;
    }
    const Samples samples(motion);
    const double height = figureHeight(motion);
    const std::vector<double> rest = restHeights(motion);
    const int count = static_cast<int>(motion.joints().size());
    // The ends lowest in the rest pose and in the capture come first.
    std::vector<std::pair<double, int>> ends;
    for (int j = 0; j < count; ++j) {
        if (motion.joints()[static_cast<std::size_t>(j)]->firstChild() == nullptr) {
            ends.push_back({samples.meanHeight(j) + rest[static_cast<std::size_t>(j)], j});
        }
    }
    std::sort(ends.begin(), ends.end());
    std::vector<LegChain> candidates;
    for (const auto& end : ends) {
        // The ankle is the lowest joint above the end that hangs from a long bone (the shin);
        // toe and foot bones are short.
        int ankle = end.second;
        for (int steps = 0; ankle >= 0 && steps < 4; ++steps) {
            const int up = parentOf(motion, ankle);
            if (up >= 0 && samples.distance(ankle, up) >= kShortestShin * height) {
                break;
            }
            ankle = up;
        }
        const bool seen = std::any_of(candidates.begin(), candidates.end(),
                                      [&](const LegChain& leg) { return leg.ankle == ankle; });
        const std::optional<LegChain> leg =
            ankle >= 0 && !seen ? legFrom(motion, samples, ankle) : std::nullopt;
        if (leg) {
            candidates.push_back(*leg);
        }
        if (candidates.size() == kCandidateLegs) {
            break;
        }
    }
    // The lowest two that hang down from the hips, apart.
    for (std::size_t a = 0; a < candidates.size() && legs.empty(); ++a) {
        for (std::size_t b = a + 1; b < candidates.size() && legs.empty(); ++b) {
            const LegChain& first = candidates[a];
            const LegChain& second = candidates[b];
            const int hips = commonJoint(motion, first.hip, second.hip);
            if (hips >= 0 && !sharesJoints(first, second) &&
                meetAtTheHips(motion, first, second, hips) &&
                hangsDownFrom(motion, samples, first, hips, height) &&
                hangsDownFrom(motion, samples, second, hips, height)) {
                legs = {first, second};
            }
        }
    }
    std::sort(legs.begin(), legs.end(),
              [](const LegChain& a, const LegChain& b) { return a.ankle < b.ankle; });
    return legs;
}

std::vector<int> footJoints(const Motion& motion, const LegChain& leg) {
    std::vector<int> joints;
    const int count = static_cast<int>(motion.joints().size());
    if (leg.ankle < 0 || leg.ankle >= count) {
        return joints;
    }
    // The ankle's subtree is the run of joints after it (depth-first order) whose parents lie
    // inside it.
    joints.push_back(leg.ankle);
    for (int j = leg.ankle + 1; j < count && parentOf(motion, j) >= leg.ankle; ++j) {
        joints.push_back(j);
    }
    return joints;
}

Result legsNamed(const Motion& motion, const std::vector<std::string>& ankles,
                 std::vector<LegChain>& legs) {
    legs.clear();
    if (!motion.poseable()) {
        return Result::failure("No motion to find feet in.");
    }
    const Samples samples(motion);
    for (const std::string& name : ankles) {
        int found = -1;
        for (std::size_t j = 0; j < motion.joints().size() && found < 0; ++j) {
            if (motion.joints()[j]->name() == name) {
                found = static_cast<int>(j);
            }
        }
        if (found < 0) {
            legs.clear();
            return Result::failure("No joint is named " + name + ".");
        }
        const std::optional<LegChain> leg = legFrom(motion, samples, found);
        if (!leg) {
            legs.clear();
            return Result::failure(name + " is not the ankle of a leg that can be turned.");
        }
        // Two feet solved on shared joints would undo each other's legs.
        for (const LegChain& other : legs) {
            if (sharesJoints(*leg, other)) {
                legs.clear();
                return Result::failure("The leg of " + name + " shares joints with another foot.");
            }
        }
        legs.push_back(*leg);
    }
    return Result::success();
}

Result legsOf(const Motion& motion, const std::vector<std::string>& ankles,
              std::vector<LegChain>& legs) {
    if (!ankles.empty()) {
        return legsNamed(motion, ankles, legs);
    }
    legs = findLegs(motion);
    if (legs.empty()) {
        return Result::failure(
            "No feet found: no two legs hang down from the hips. Choose them with Selection > "
            "Choose Feet (or --feet on the command line).");
    }
    return Result::success();
}

Result ankleNames(const std::string& text, std::vector<std::string>& names) {
    names.clear();
    if (text.find_first_not_of(' ') == std::string::npos) {
        return Result::success();
    }
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string piece = text.substr(start, comma - start);
        const std::size_t first = piece.find_first_not_of(' ');
        if (first == std::string::npos) {
            names.clear();
            return Result::failure("Name the ankles separated by commas, as LEFT,RIGHT.");
        }
        names.push_back(piece.substr(first, piece.find_last_not_of(' ') - first + 1));
        start = comma + 1;
    }
    return Result::success();
}

namespace {

// A joint's track over every frame, averaged over a few frames either side at high frame rates
// so that capture noise does not read as motion. A running sum keeps it linear in the frames
// whatever the frame rate makes the reach.
std::vector<Vec3> smoothedTrack(const std::vector<Vec3>& track, int reach) {
    if (reach <= 0) {
        return track;
    }
    const int n = static_cast<int>(track.size());
    std::vector<Vec3> out(track.size());
    Vec3 sum{0.0, 0.0, 0.0};
    for (int k = 0; k < std::min(n, reach); ++k) {
        sum = sum + track[static_cast<std::size_t>(k)];
    }
    for (int f = 0; f < n; ++f) {
        if (f + reach < n) {
            sum = sum + track[static_cast<std::size_t>(f + reach)];
        }
        if (f - reach - 1 >= 0) {
            sum = sum - track[static_cast<std::size_t>(f - reach - 1)];
        }
        const int used = std::min(n - 1, f + reach) - std::max(0, f - reach) + 1;
        out[static_cast<std::size_t>(f)] = (1.0 / used) * sum;
    }
    return out;
}

// Per frame: 2 where the joint is low and still enough to enter a contact, 1 where it may stay
// in one, 0 elsewhere.
std::vector<int> groundState(const std::vector<Vec3>& track, double height, double fps) {
    const int n = static_cast<int>(track.size());
    double floor = track.empty() ? 0.0 : track.front()[1];
    for (const Vec3& p : track) {
        floor = std::min(floor, p[1]);
    }
    std::vector<int> state(track.size(), 0);
    // The slower of the steps into and out of a frame: a foot that lands (or lifts) on a frame
    // stands still on one side of it.
    const auto step = [&](int from, int to) {
        return from >= 0 && to < n ? length(track[static_cast<std::size_t>(to)] -
                                            track[static_cast<std::size_t>(from)]) *
                                         fps / height
                                   : 1e30;
    };
    for (int f = 0; f < n; ++f) {
        const double speed = n > 1 ? std::min(step(f - 1, f), step(f, f + 1)) : 0.0;
        const double above = (track[static_cast<std::size_t>(f)][1] - floor) / height;
        state[static_cast<std::size_t>(f)] = above < kEnterHeight && speed < kEnterSpeed ? 2
                                             : above < kStayHeight && speed < kStaySpeed ? 1
                                                                                         : 0;
    }
    return state;
}

std::vector<Contact> contactsOf(const std::vector<std::vector<int>>& states, double fps) {
    std::vector<Contact> contacts;
    if (states.empty()) {
        return contacts;
    }
    const int n = static_cast<int>(states.front().size());
    std::vector<int> best(states.front().size(), 0);
    for (const std::vector<int>& s : states) {
        for (std::size_t f = 0; f < best.size(); ++f) {
            best[f] = std::max(best[f], s[f]);
        }
    }
    bool in = false;
    for (int f = 0; f < n; ++f) {
        const int state = best[static_cast<std::size_t>(f)];
        if (!in && state == 2) {
            // The looser thresholds hold on both sides: a landing foot is low and slow enough to
            // stay before it is enough to enter.
            int first = f;
            const int earliest = contacts.empty() ? 0 : contacts.back().last + 1;
            while (first > earliest && best[static_cast<std::size_t>(first - 1)] >= 1) {
                --first;
            }
            contacts.push_back({first, f});
            in = true;
        } else if (in && state >= 1) {
            contacts.back().last = f;
        } else {
            in = false;
        }
    }
    const int longestBreak = static_cast<int>(std::lround(kLongestBreak * fps));
    const int shortest = std::max(2, static_cast<int>(std::lround(kShortestContact * fps)));
    std::vector<Contact> joined;
    for (const Contact& c : contacts) {
        if (!joined.empty() && c.first - joined.back().last - 1 <= longestBreak) {
            joined.back().last = c.last;
        } else {
            joined.push_back(c);
        }
    }
    joined.erase(std::remove_if(joined.begin(), joined.end(),
                                [&](const Contact& c) { return c.last - c.first + 1 < shortest; }),
                 joined.end());
    return joined;
}

}  // namespace

std::vector<Foot> findContacts(const Motion& motion, const std::vector<LegChain>& legs) {
    std::vector<Foot> feet;
    const int count = static_cast<int>(motion.joints().size());
    const bool valid = std::all_of(legs.begin(), legs.end(), [&](const LegChain& leg) {
        return leg.ankle >= 0 && leg.ankle < count && leg.toe >= -1 && leg.toe < count;
    });
    if (!motion.poseable() || !valid) {
        return feet;
    }
    const int n = motion.frameCount();
    std::vector<std::vector<Vec3>> tracks(2 * legs.size(),
                                          std::vector<Vec3>(static_cast<std::size_t>(n)));
    // Only the ankles, the toes and the joints above them are posed, each frame on its own (so
    // on two cores for long motions).
    std::vector<int> chain;
    for (const LegChain& leg : legs) {
        for (int j : {leg.ankle, leg.toe}) {
            for (; j >= 0; j = parentOf(motion, j)) {
                chain.push_back(j);
            }
        }
    }
    std::sort(chain.begin(), chain.end());
    chain.erase(std::unique(chain.begin(), chain.end()), chain.end());
    runInHalves(n, kSplitFrames, [&](int first, int last, int) {
        Pose pose;
        for (int f = first; f < last; ++f) {
            poseSome(motion, f, PosePass::MeasureRaw, nullptr, nullptr, chain, pose);
            const std::size_t i = static_cast<std::size_t>(f);
            for (std::size_t k = 0; k < legs.size(); ++k) {
                const int toe = legs[k].toe >= 0 ? legs[k].toe : legs[k].ankle;
                tracks[2 * k][i] =
                    positionOf(pose.transforms[static_cast<std::size_t>(legs[k].ankle)]);
                tracks[2 * k + 1][i] = positionOf(pose.transforms[static_cast<std::size_t>(toe)]);
            }
        }
    });
    const double fps = framesPerSecond(motion);
    const double height = figureHeight(motion);
    const int reach = static_cast<int>(std::lround(fps / 60.0));
    for (std::size_t k = 0; k < legs.size(); ++k) {
        const std::vector<std::vector<int>> states = {
            groundState(smoothedTrack(tracks[2 * k], reach), height, fps),
            groundState(smoothedTrack(tracks[2 * k + 1], reach), height, fps)};
        feet.push_back({legs[k], contactsOf(states, fps)});
    }
    return feet;
}
