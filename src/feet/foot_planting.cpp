#include "feet/foot_planting.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <iterator>
#include <limits>

#include "feet/leg_solver.h"
#include "motion/motion.h"
#include "motion/quaternion.h"
#include "motion/rigid_cloud.h"
#include "numeric/run_in_halves.h"

namespace {

// Seconds over which a held foot is at least taken up before its contact and let go after it.
constexpr double kBlendSeconds = 0.12;
// A blend takes longer where the contact holds the foot far from where the edit would put it, so
// that it carries the foot beyond its own motion at this speed on average (figure heights per
// second); but at most this long (seconds), and at most half the time to the foot's
// neighbouring contacts.
constexpr double kBlendSpeed = 1.0;
constexpr double kLongestBlendSeconds = 0.4;
// Seconds either side over which the root's lowering is spread, and the most frames that makes.
constexpr double kDropReachSeconds = 0.1;
constexpr int kLongestDropReach = 64;
// The root goes down by at most this much of the figure's height (a hair under a twentieth).
constexpr double kMostDrop = 0.049;
// Beyond this part of its length, or beyond the stretch the capture gives the leg at that frame
// where that is more, a leg's goal is drawn in smoothly, approaching full stretch but never
// passing it: near straight the knee's angle changes fastest with the distance, and a hard limit
// would snap it straight and back.
constexpr double kSoftReach = 0.97;
// Where the lowered root still leaves a held foot out of reach, the foot rises straight up by at
// most this much of the figure's height, keeping its place on the ground and its turn; beyond
// that it is drawn towards the hip and slides.
constexpr double kMostLift = 0.05;
// Height above its lowest in a contact (figure heights) over which a joint of the foot hands the
// foot's weight to the other one: the captured foot slides as its lower joint does, so a heel
// that rises lets the foot roll over its toes.
constexpr double kSupportHeight = 0.01;
// A held heel counts as down while the captured ankle is within this much of the figure's height
// of its lowest in the contact. Where the hips outrun the leg, the foot is held where the leg
// reaches it while the heel is down, and what slide is left falls where the foot stands on its
// toes: a sliding heel is what a viewer sees first.
constexpr double kHeelDown = 0.03;
// Where a held foot on its toes is still out of reach, its heel rises about the toes by up to
// this much (radians, about 34 degrees, a push-off's stretch of the ankle) before it slides.
constexpr double kMostHeelRise = 0.6;
// Steps of the search for the ground point that asks least of a leg.
constexpr int kPointSteps = 96;
// Frames from which the sampling and the solving are split between two threads, and contacts
// from which the holds are.
constexpr int kSplitFrames = 2048;
constexpr int kSplitSpans = 64;

// The goal a leg from the hip is asked to reach: the goal itself, or beyond `soft` the point on
// the way to it that the soft limit allows, short of the leg's full length.
Vec3 softGoal(const Vec3& hip, const Vec3& goal, double soft, double full) {
    const Vec3 d = goal - hip;
    const double wanted = length(d);
    if (wanted <= soft || wanted <= 0.0) {
        return goal;
    }
    const double room = full - soft;
    const double allowed =
        room > 0.0 ? soft + room * (1.0 - std::exp(-(wanted - soft) / room)) : full;
    return hip + (allowed / wanted) * d;
}

// How far a held foot rises (keeping its ground point and its turn) for the leg to reach it from
// the hip: the least rise that brings the ankle within `soft` of the hip, or the most allowed.
double liftToReach(const Vec3& hip, const Vec3& ankle, double soft, double most) {
    const double across = std::hypot(hip[0] - ankle[0], hip[2] - ankle[2]);
    const double fits = across < soft ? std::sqrt(soft * soft - across * across) : 0.0;
    return std::clamp(hip[1] - ankle[1] - fits, 0.0, most);
}

// The point at the ankle's height nearest it that lies within `soft` of the hip: where a foot
// must slide, it slides along the ground towards the hip rather than being lifted off it.
Vec3 slideToReach(const Vec3& hip, const Vec3& ankle, double soft) {
    const double dx = ankle[0] - hip[0];
    const double dz = ankle[2] - hip[2];
    const double across = std::hypot(dx, dz);
    const double up = hip[1] - ankle[1];
    const double fits = up < soft ? std::sqrt(soft * soft - up * up) : 0.0;
    if (across <= fits || !(across > 0.0)) {
        return ankle;
    }
    return {hip[0] + dx * fits / across, ankle[1], hip[2] + dz * fits / across};
}

Vec3 positionOf(const Transform& m) {
    return {m[12], m[13], m[14]};
}

// The rotation part of a column-major pose transform, as a row-major 3x3.
Mat3 rotationOf(const Transform& m) {
    return {m[0], m[4], m[8], m[1], m[5], m[9], m[2], m[6], m[10]};
}

// A turn about the vertical (display y) axis followed by a shift: how an edit moves one frame.
// The turn's cosine and sine are kept beside its angle.
struct GroundMove {
    double angle = 0.0;  // radians
    double c = 1.0;
    double s = 0.0;
    Vec3 shift{0.0, 0.0, 0.0};

    void turnBy(double radians) {
        angle = radians;
        c = std::cos(radians);
        s = std::sin(radians);
    }
    Mat3 turn() const { return {c, 0.0, s, 0.0, 1.0, 0.0, -s, 0.0, c}; }
    Vec3 apply(const Vec3& p) const {
        return {c * p[0] + s * p[2] + shift[0], p[1] + shift[1], c * p[2] - s * p[0] + shift[2]};
    }
};

// The move that takes a frame's raw pose to its edited one, from the root's two transforms.
GroundMove moveBetween(const Transform& raw, const Transform& edited) {
    const Mat3 r = rotationOf(edited) * transposed(rotationOf(raw));
    GroundMove move;
    move.turnBy(std::atan2(r[2], r[0]));
    move.shift = positionOf(edited) - move.turn() * positionOf(raw);
    return move;
}

// The turn (radians) a part `w` of the way from one move's turn to the other's, the short way.
double blendTurn(const GroundMove& from, const GroundMove& to, double w) {
    double turn = to.angle - from.angle;
    turn += turn > M_PI ? -2.0 * M_PI : turn < -M_PI ? 2.0 * M_PI : 0.0;
    return from.angle + w * turn;
}

double smoothStep(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

// The least lowering of the hip that brings a leg of this reach to the goal (0 when it reaches;
// as far as straight above it where nothing can).
double dropToReach(const Vec3& hip, const Vec3& goal, double reach) {
    const Vec3 d = hip - goal;
    if (length(d) <= reach) {
        return 0.0;
    }
    const double across = d[0] * d[0] + d[2] * d[2];
    const double fits = across < reach * reach ? std::sqrt(reach * reach - across) : 0.0;
    return std::max(0.0, d[1] - fits);
}

// The root's lowering at frames [first, last] from every frame's need: each need raised to the
// most within `reach` frames of it (and bounded by `most`), then averaged over `reach` frames
// either side; so never below the need (up to the bound), and changing from frame to frame by at
// most a (2 reach + 1)th of the largest. A frame's value depends only on the needs within twice
// the reach of it, whatever range is asked for.
void spread(const std::vector<float>& need, int reach, double most, int first, int last,
            std::vector<float>& drop) {
    const int n = static_cast<int>(need.size());
    const int from = std::max(0, first - reach);
    const int to = std::min(n - 1, last + reach);
    // The highest need within the reach, by a queue of candidates falling from front to back.
    std::vector<double> highest(static_cast<std::size_t>(std::max(0, to - from + 1)), 0.0);
    std::deque<int> candidates;
    for (int f = from, next = std::max(0, from - reach); f <= to; ++f) {
        for (; next <= std::min(n - 1, f + reach); ++next) {
            while (!candidates.empty() && need[static_cast<std::size_t>(candidates.back())] <=
                                              need[static_cast<std::size_t>(next)]) {
                candidates.pop_back();
            }
            candidates.push_back(next);
        }
        while (candidates.front() < f - reach) {
            candidates.pop_front();
        }
        const double h =
            std::max(0.0, static_cast<double>(need[static_cast<std::size_t>(candidates.front())]));
        highest[static_cast<std::size_t>(f - from)] = std::min(most, h);
    }
    // Each frame's average is summed afresh, in the same order whatever part of the motion is
    // spread, so a frame the change did not reach gets exactly the lowering it had: the replant
    // redoes only the contacts whose lowering really changed.
    for (int f = std::max(0, first); f <= std::min(n - 1, last); ++f) {
        double sum = 0.0;
        const int a = std::max(0, f - reach);
        const int b = std::min(n - 1, f + reach);
        for (int k = a; k <= b; ++k) {
            sum += highest[static_cast<std::size_t>(k - from)];
        }
        drop[static_cast<std::size_t>(f)] = static_cast<float>(sum / (b - a + 1));
    }
}

// Writes a joint's new local rotation as its channels' angles, in their order, nearest to the
// file's values.
void writeRotation(const Motion& motion, int joint, const Mat3& local, const float* fileRow,
                   const std::vector<int>& columns, float* out) {
    const std::size_t j = static_cast<std::size_t>(joint);
    const Joint& node = *motion.joints()[j];
    RotationOrder order{};
    std::array<double, 3> near{};
    std::array<int, 3> at{};
    int n = 0;
    for (int i = 0; i < node.channelCount() && n < 3; ++i) {
        if (node.channel(i) >= Xrotation) {
            const int column = motion.firstColumn()[j] + i;
            order[static_cast<std::size_t>(n)] = node.channel(i) - Xrotation;
            near[static_cast<std::size_t>(n)] = fileRow[column];
            at[static_cast<std::size_t>(n)] = static_cast<int>(
                std::lower_bound(columns.begin(), columns.end(), column) - columns.begin());
            ++n;
        }
    }
    const std::optional<std::array<double, 3>> angles = toEuler(quatOf(local), order, near);
    if (!angles) {
        return;
    }
    for (std::size_t k = 0; k < 3; ++k) {
        out[at[k]] = static_cast<float>((*angles)[k]);
    }
}

std::vector<int> legColumns(const Motion& motion, const std::vector<Foot>& feet) {
    std::vector<int> columns;
    for (const Foot& foot : feet) {
        for (int joint : {foot.leg.hip, foot.leg.knee, foot.leg.ankle}) {
            const std::size_t j = static_cast<std::size_t>(joint);
            const Joint& node = *motion.joints()[j];
            for (int i = 0; i < node.channelCount(); ++i) {
                if (node.channel(i) >= Xrotation) {
                    columns.push_back(motion.firstColumn()[j] + i);
                }
            }
        }
    }
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    return columns;
}

bool validLeg(const Motion& motion, const LegChain& leg) {
    const int count = static_cast<int>(motion.joints().size());
    for (int j : {leg.hip, leg.knee, leg.ankle}) {
        if (j <= 0 || j >= count) {
            return false;
        }
    }
    return leg.toe >= -1 && leg.toe < count;
}

// A foot as its lowest point is measured: the joints of its subtree a pose places, and the rigid
// clouds hanging from them, whose members follow from their anchor's transform, so that a
// hundred thousand markers under a foot cost a pose one joint.
struct FootShape {
    std::vector<int> joints;  // ascending, the ankle first
    std::vector<const RigidCloud*> clouds;
};

FootShape footShape(const Motion& motion, const LegChain& leg) {
    FootShape shape;
    const std::vector<int> below = footJoints(motion, leg);
    if (below.empty()) {
        return shape;
    }
    // The subtree is the run [ankle, last]; its joints that no frame poses are members of a
    // cloud, which is the foot's where the member's parent lies in the foot too.
    const int ankle = below.front();
    const int last = below.back();
    std::vector<char> inCloud(below.size(), 0);
    std::vector<char> posed(below.size(), 0);
    for (int j : motion.posedJoints()) {
        if (j >= ankle && j <= last) {
            posed[static_cast<std::size_t>(j - ankle)] = 1;
        }
    }
    for (std::size_t i = 0; i < below.size(); ++i) {
        const int parent = motion.parentIndex()[static_cast<std::size_t>(below[i])];
        const std::size_t up = static_cast<std::size_t>(parent - ankle);
        inCloud[i] = posed[i] == 0 && parent >= ankle && (posed[up] != 0 || inCloud[up] != 0);
        if (inCloud[i] == 0) {
            shape.joints.push_back(below[i]);
        }
    }
    for (const RigidCloud& cloud : motion.rigidClouds()) {
        if (cloud.anchor() >= ankle && cloud.anchor() <= last) {
            shape.clouds.push_back(&cloud);
        }
    }
    return shape;
}

// The lowest height (display y) the foot reaches in a pose that placed shape.joints, and no
// higher than `from`.
double lowestOf(const FootShape& shape, const Pose& pose, double from) {
    double lowest = from;
    for (int j : shape.joints) {
        lowest =
            std::min(lowest, static_cast<double>(pose.transforms[static_cast<std::size_t>(j)][13]));
    }
    for (const RigidCloud* cloud : shape.clouds) {
        // A point p of the cloud lies at height m[13] + (m[1], m[5], m[9]) . p.
        const Transform& m = pose.transforms[static_cast<std::size_t>(cloud->anchor())];
        lowest = std::min(
            lowest, static_cast<double>(m[13]) -
                        cloud->farthest({-static_cast<double>(m[1]), -static_cast<double>(m[5]),
                                         -static_cast<double>(m[9])}));
    }
    return lowest;
}

// The joints the legs' solve reads: each leg's joints, its foot's, and every joint above them,
// ascending.
std::vector<int> legJoints(const Motion& motion, const std::vector<Foot>& feet) {
    std::vector<int> joints;
    for (const Foot& foot : feet) {
        for (int j : {foot.leg.hip, foot.leg.knee, foot.leg.ankle, foot.leg.toe}) {
            for (; j >= 0; j = motion.parentIndex()[static_cast<std::size_t>(j)]) {
                joints.push_back(j);
            }
        }
        const std::vector<int> below = footShape(motion, foot.leg).joints;
        joints.insert(joints.end(), below.begin(), below.end());
    }
    std::sort(joints.begin(), joints.end());
    joints.erase(std::unique(joints.begin(), joints.end()), joints.end());
    return joints;
}

int topOf(const Motion& motion, int j) {
    while (motion.parentIndex()[static_cast<std::size_t>(j)] >= 0) {
        j = motion.parentIndex()[static_cast<std::size_t>(j)];
    }
    return j;
}

// A contact as the planting holds it: its frames within the motion, the frames either side that
// its blends may take up, and those they do take up (chosen with its ground point).
struct Span {
    int first = 0;
    int last = 0;
    int from = 0;
    int to = 0;
    int before = 0;
    int after = 0;
    bool holdsStart = false;  // the hold reaches back to the motion's first frame, unblended
    bool holdsEnd = false;    // and on to its last
};

// The foot's contacts that lie within the motion, in order and apart, with the room either side.
std::vector<Span> spansOf(const Foot& foot, int frameCount, int longest) {
    std::vector<Span> spans;
    for (const Contact& c : foot.contacts) {
        Span s;
        s.first = std::max(0, c.first);
        s.last = std::min(frameCount - 1, c.last);
        if (s.first <= s.last && (spans.empty() || s.first > spans.back().last)) {
            spans.push_back(s);
        }
    }
    for (std::size_t i = 0; i < spans.size(); ++i) {
        Span& s = spans[i];
        const int roomBefore = i > 0 ? (s.first - spans[i - 1].last - 1) / 2 : s.first;
        const int roomAfter =
            i + 1 < spans.size() ? (spans[i + 1].first - s.last - 1) / 2 : frameCount - 1 - s.last;
        s.from = s.first - std::min(longest, roomBefore);
        s.to = s.last + std::min(longest, roomAfter);
    }
    return spans;
}

// For one foot at one frame: the span whose room the frame lies in (-1 for none) and how
// strongly its contact holds the foot there (0 outside its blends).
struct Hold {
    int span = -1;
    double weight = 0.0;
};

// One leg at one frame, from the captured and the rigidly edited poses.
struct LegSample {
    GroundMove own;      // how the frame's edit moves the leg
    GroundMove held;     // the move that puts the captured ankle where its contact holds it
    Vec3 ankle{};        // the captured ankle
    Vec3 toe{};          // the captured toe (the ankle where the foot has none)
    Vec3 hip{};          // the hip on the edited path
    double reach = 0.0;  // how far the leg reaches before its goal is drawn in (softGoal)
};

// Everything one planting works on: the feet, their spans and holds, and the legs' samples
// (frame-major: samples[frame * feet + foot]).
struct Work {
    const EditedMotion& unplanted;
    const Motion& motion;
    std::vector<Foot> feet;
    std::vector<std::vector<Span>> spans;
    std::vector<std::vector<Hold>> holds;
    std::vector<LegSample> samples;
    std::vector<int> joints;            // legJoints
    std::vector<FootShape> feetShapes;  // per foot
    std::vector<int> tops;              // per foot, the top-level joint above it
    std::vector<int> rawJoints;
    std::vector<float>* edits = nullptr;  // FootPlanting::edits, recorded as frames are sampled
    double floor = 0.0;                   // FootPlanting::footFloor
    double height = 1.0;
    double fps = 30.0;

    explicit Work(const EditedMotion& e) : unplanted(e), motion(e.motion) {}
    LegSample& at(int frame, std::size_t foot) {
        return samples[static_cast<std::size_t>(frame) * feet.size() + foot];
    }
    bool inAnySpan(int frame) const {
        return std::any_of(holds.begin(), holds.end(), [&](const std::vector<Hold>& h) {
            return h[static_cast<std::size_t>(frame)].span >= 0;
        });
    }
};

// Writes the frame's edit at the root (FootPlanting::edits).
void recordEdit(const GroundMove& move, int frame, std::vector<float>& edits) {
    float* e = edits.data() + 3 * static_cast<std::size_t>(frame);
    e[0] = static_cast<float>(move.angle);
    e[1] = static_cast<float>(move.shift[0]);
    e[2] = static_cast<float>(move.shift[2]);
}

// Reads the samples of every leg at one frame, and records its edit; the captured joints are
// the edited ones moved back by the frame's edit.
void sampleFrame(Work& w, int frame, Pose& raw, Pose& edited) {
    if (!w.unplanted.poseSome(frame, PosePass::MeasureEdited, w.joints, edited) ||
        !w.unplanted.poseSome(frame, PosePass::MeasureRaw, w.rawJoints, raw)) {
        return;
    }
    const GroundMove atRoot = moveBetween(raw.transforms[0], edited.transforms[0]);
    recordEdit(atRoot, frame, *w.edits);
    const auto at = [&](int j) {
        return positionOf(edited.transforms[static_cast<std::size_t>(j)]);
    };
    for (std::size_t k = 0; k < w.feet.size(); ++k) {
        const LegChain& leg = w.feet[k].leg;
        const std::size_t top = static_cast<std::size_t>(w.tops[k]);
        LegSample& sample = w.at(frame, k);
        sample.own = top == 0 ? atRoot : moveBetween(raw.transforms[top], edited.transforms[top]);
        const Mat3 back = transposed(sample.own.turn());
        sample.ankle = back * (at(leg.ankle) - sample.own.shift);
        sample.toe = leg.toe >= 0 ? back * (at(leg.toe) - sample.own.shift) : sample.ankle;
        sample.hip = at(leg.hip);
        const double full =
            length(at(leg.knee) - sample.hip) + length(at(leg.ankle) - at(leg.knee));
        sample.reach = std::clamp(length(at(leg.ankle) - sample.hip), kSoftReach * full, full);
    }
}

// One frame of a contact as the choice of its ground point sees it: the leg reaches the point
// where its squared ground distance to (x, z) is at most `room`.
struct Room {
    double x = 0.0;
    double z = 0.0;
    double room = 0.0;
    bool heelDown = false;  // the captured heel is down (kHeelDown)
};

// How far the worst frame's squared ground distance exceeds its room.
double excessAt(const std::vector<Room>& rooms, double x, double z, std::size_t* worst = nullptr) {
    double most = -1e300;
    for (std::size_t i = 0; i < rooms.size(); ++i) {
        const double e = (x - rooms[i].x) * (x - rooms[i].x) + (z - rooms[i].z) * (z - rooms[i].z) -
                         rooms[i].room;
        if (e > most) {
            most = e;
            if (worst != nullptr) {
                *worst = i;
            }
        }
    }
    return most;
}

// The ground point for a contact: `natural` where the leg reaches it on every frame; else the
// point nearest it, on the way to the one that asks least of the leg (the least largest excess),
// from which the leg reaches on every frame; else that one.
std::array<double, 2> choosePoint(const std::array<double, 2>& natural,
                                  const std::vector<Room>& rooms) {
    if (rooms.empty() || excessAt(rooms, natural[0], natural[1]) <= 0.0) {
        return natural;
    }
    // Steps towards the frame worst off, shorter each time, settle on the least largest excess.
    double x = 0.0;
    double z = 0.0;
    for (const Room& r : rooms) {
        x += r.x / static_cast<double>(rooms.size());
        z += r.z / static_cast<double>(rooms.size());
    }
    std::array<double, 2> best{x, z};
    double bestExcess = 1e300;
    for (int step = 0; step < kPointSteps; ++step) {
        std::size_t worst = 0;
        const double e = excessAt(rooms, x, z, &worst);
        if (e < bestExcess) {
            bestExcess = e;
            best = {x, z};
        }
        x += (rooms[worst].x - x) / (step + 2);
        z += (rooms[worst].z - z) / (step + 2);
    }
    if (bestExcess > 0.0) {
        return best;
    }
    double lo = 0.0;
    double hi = 1.0;
    for (int i = 0; i < 30; ++i) {
        const double t = 0.5 * (lo + hi);
        const double px = natural[0] + t * (best[0] - natural[0]);
        const double pz = natural[1] + t * (best[1] - natural[1]);
        (excessAt(rooms, px, pz) <= 0.0 ? hi : lo) = t;
    }
    return {natural[0] + hi * (best[0] - natural[0]), natural[1] + hi * (best[1] - natural[1])};
}

// The ground point for a contact with its heel's frames marked: choosePoint's where the leg
// reaches it on every frame; else, where the leg can reach it on every frame of the heel down, the
// point nearest choosePoint's that it does; else the one that asks least of the leg on those
// frames.
std::array<double, 2> chooseHeldPoint(const std::array<double, 2>& natural,
                                      const std::vector<Room>& rooms) {
    const std::array<double, 2> point = choosePoint(natural, rooms);
    std::vector<Room> heel;
    std::copy_if(rooms.begin(), rooms.end(), std::back_inserter(heel),
                 [](const Room& r) { return r.heelDown; });
    if (heel.empty() || excessAt(rooms, point[0], point[1]) <= 0.0) {
        return point;
    }
    const std::array<double, 2> heelPoint = choosePoint(natural, heel);
    if (excessAt(heel, heelPoint[0], heelPoint[1]) > 0.0) {
        return heelPoint;
    }
    const auto towards = [&](double t) {
        return std::array<double, 2>{heelPoint[0] + t * (point[0] - heelPoint[0]),
                                     heelPoint[1] + t * (point[1] - heelPoint[1])};
    };
    double lo = 0.0;
    double hi = 1.0;
    for (int i = 0; i < 30; ++i) {
        const double t = 0.5 * (lo + hi);
        const std::array<double, 2> p = towards(t);
        (excessAt(heel, p[0], p[1]) <= 0.0 ? lo : hi) = t;
    }
    return towards(lo);
}

// The lowest heights of the captured ankle and toe over a contact's frames.
struct FootLows {
    double ankle = 0.0;
    double toe = 0.0;
};
FootLows lowsOf(Work& w, const Span& span, std::size_t k) {
    FootLows low{w.at(span.first, k).ankle[1], w.at(span.first, k).toe[1]};
    for (int f = span.first; f <= span.last; ++f) {
        low.ankle = std::min(low.ankle, w.at(f, k).ankle[1]);
        low.toe = std::min(low.toe, w.at(f, k).toe[1]);
    }
    return low;
}

// How far the captured foot has slid on the ground since the contact's first frame, per frame of
// the contact, from its lowest heights there. The lower of ankle and toe carries the foot, so a
// foot that rolls (heel first, toes last) has not slid.
std::vector<Vec3> slideOf(Work& w, const Span& span, std::size_t k, const FootLows& low) {
    std::vector<Vec3> slide(static_cast<std::size_t>(span.last - span.first + 1),
                            Vec3{0.0, 0.0, 0.0});
    const double support = kSupportHeight * w.height;
    for (int f = span.first; f < span.last; ++f) {
        const LegSample& now = w.at(f, k);
        const LegSample& next = w.at(f + 1, k);
        const double ankleUp = 0.5 * (now.ankle[1] + next.ankle[1]) - low.ankle;
        const double toeUp = 0.5 * (now.toe[1] + next.toe[1]) - low.toe;
        const double lower = std::min(ankleUp, toeUp);
        const double wa = std::exp(-(ankleUp - lower) / support);
        const double wt = std::exp(-(toeUp - lower) / support);
        Vec3 step = (1.0 / (wa + wt)) * (wa * (next.ankle - now.ankle) + wt * (next.toe - now.toe));
        step[1] = 0.0;
        const std::size_t i = static_cast<std::size_t>(f - span.first);
        slide[i + 1] = slide[i] + step;
    }
    return slide;
}

// Holds the foot of one contact at one ground point: fills the held move of every frame of its
// room, then takes as many of those frames for its blends as carry the foot there calmly. The
// captured foot's slide is taken out and its roll kept; the point is where the edit puts the
// ankle at the contact's middle, moved as little as lets the leg reach it throughout.
void holdContact(Work& w, std::size_t k, Span& span) {
    const FootLows low = lowsOf(w, span, k);
    const std::vector<Vec3> slide = slideOf(w, span, k, low);
    const auto slideAt = [&](int f) {
        return slide[static_cast<std::size_t>(std::clamp(f, span.first, span.last) - span.first)];
    };
    const int middle = (span.first + span.last) / 2;
    const GroundMove edit = w.at(middle, k).own;
    const Mat3 turn = edit.turn();
    const Vec3 anchor = w.at(middle, k).ankle - slideAt(middle);
    const Vec3 natural = edit.apply(w.at(middle, k).ankle);
    std::vector<Room> rooms;
    for (int f = span.first; f <= span.last; ++f) {
        const LegSample& s = w.at(f, k);
        const Vec3 roll = turn * (s.ankle - slideAt(f) - anchor);
        const double up = s.hip[1] - s.ankle[1];
        rooms.push_back({s.hip[0] - roll[0], s.hip[2] - roll[2], s.reach * s.reach - up * up,
                         s.ankle[1] - low.ankle <= kHeelDown * w.height});
    }
    const std::array<double, 2> point = chooseHeldPoint({natural[0], natural[2]}, rooms);
    for (int f = span.from; f <= span.to; ++f) {
        const Vec3 from = turn * (slideAt(f) + anchor);
        LegSample& s = w.at(f, k);
        s.held.angle = edit.angle;
        s.held.c = edit.c;
        s.held.s = edit.s;
        s.held.shift = {point[0] - from[0], 0.0, point[1] - from[2]};
    }
    // How far the hold moves the foot from where the edit puts it, at either end.
    const auto apart = [&](int f) {
        const LegSample& s = w.at(f, k);
        const Vec3 d = s.held.apply(s.ankle) - s.own.apply(s.ankle);
        return std::hypot(d[0], d[2]);
    };
    const double least = kBlendSeconds * w.fps;
    const double perFrame = kBlendSpeed * w.height / w.fps;
    const double wantedBefore = std::ceil(std::max(least, apart(span.first) / perFrame));
    const double wantedAfter = std::ceil(std::max(least, apart(span.last) / perFrame));
    const int roomBefore = span.first - span.from;
    const int roomAfter = span.to - span.last;
    span.before = wantedBefore < roomBefore ? static_cast<int>(wantedBefore) : roomBefore;
    span.after = wantedAfter < roomAfter ? static_cast<int>(wantedAfter) : roomAfter;
    // Before the motion's first frame and after its last there is nothing to blend from: where a
    // blend would be cut short there, the hold reaches the end instead.
    span.holdsStart = span.from == 0 && !(wantedBefore <= roomBefore);
    span.holdsEnd =
        span.to == static_cast<int>(w.holds[k].size()) - 1 && !(wantedAfter <= roomAfter);
}

// The weights of a span's frames: 1 in its contact, easing to 0 over its blends.
void weighSpan(const Span& span, std::vector<Hold>& holds) {
    for (int f = span.first - span.before; f <= span.last + span.after; ++f) {
        double weight = 1.0;
        if (f < span.first && !span.holdsStart) {
            weight = smoothStep(static_cast<double>(f - (span.first - span.before - 1)) /
                                (span.before + 1));
        } else if (f > span.last && !span.holdsEnd) {
            weight =
                smoothStep(static_cast<double>(span.last + span.after + 1 - f) / (span.after + 1));
        }
        holds[static_cast<std::size_t>(f)].weight = weight;
    }
}

// Where a held ankle goes at a frame (the root not yet lowered): where its contact holds it or,
// in a blend, that far along the straight way from where the edit puts it. (Blending the moves
// instead would swing the foot about the world's origin.)
Vec3 heldAnkle(const LegSample& s, const Hold& hold) {
    const Vec3 free = s.own.apply(s.ankle);
    return hold.weight >= 1.0 ? s.held.apply(s.ankle)
                              : free + hold.weight * (s.held.apply(s.ankle) - free);
}

// How far the lowest joint of a leg's foot lies below its ankle in a pose (turning the foot
// about the vertical leaves it as it is).
double footDepth(const Work& w, std::size_t k, const Pose& pose) {
    const double ankle =
        static_cast<double>(pose.transforms[static_cast<std::size_t>(w.feet[k].leg.ankle)][13]);
    return ankle - lowestOf(w.feetShapes[k], pose, ankle);
}

// Turns one leg of a pose (its joints lowered by `drop`) so that the ankle reaches `goal`
// (drawn in beyond `reach`, softGoal) with the foot turned by `yaw` (radians) about the
// vertical, its pitch and roll kept but for `heelRise` (riseOnToes); the knee turns with the
// foot's yaw, keeping the side it had to it. Writes the leg's joints' values.
void turnLeg(const Work& w, std::size_t k, int frame, const Pose& pose, double drop,
             const Vec3& goal, double reach, double yaw, const std::vector<int>& columns,
             float* values, const Mat3& heelRise = identityMat3()) {
    const LegChain& leg = w.feet[k].leg;
    const Motion& motion = w.motion;
    const Vec3 down{0.0, -drop, 0.0};
    const auto at = [&](int j) {
        return positionOf(pose.transforms[static_cast<std::size_t>(j)]) + down;
    };
    const auto turnOf = [&](int j) {
        return rotationOf(pose.transforms[static_cast<std::size_t>(j)]);
    };
    const auto parentTurn = [&](int j) {
        return turnOf(motion.parentIndex()[static_cast<std::size_t>(j)]);
    };
    const Mat3 footYaw = axisAngle({0.0, 1.0, 0.0}, yaw);
    const Mat3 footTurn = heelRise * footYaw * turnOf(leg.ankle);
    const Vec3 toes = leg.toe >= 0 ? at(leg.toe) - at(leg.ankle) : Vec3{0.0, 0.0, 0.0};
    const double full = length(at(leg.knee) - at(leg.hip)) + length(at(leg.ankle) - at(leg.knee));
    const TwoBoneTurns turns =
        solveTwoBone(at(leg.hip), at(leg.knee), at(leg.ankle),
                     softGoal(at(leg.hip), goal, reach, full), footYaw * toes, footYaw);
    const float* fileRow = motion.frames()->row(frame);
    const Mat3 both = turns.knee * turns.hip;
    writeRotation(motion, leg.hip, transposed(parentTurn(leg.hip)) * turns.hip * turnOf(leg.hip),
                  fileRow, columns, values);
    writeRotation(motion, leg.knee,
                  transposed(turns.hip * parentTurn(leg.knee)) * both * turnOf(leg.knee), fileRow,
                  columns, values);
    writeRotation(motion, leg.ankle, transposed(both * parentTurn(leg.ankle)) * footTurn, fileRow,
                  columns, values);
}

// A held foot out of reach of the hip, its ankle at `ankle` and its toes `toes` from it: the heel
// rises about the toes, as little as brings the ankle within `reach` or by kMostHeelRise, where
// rising brings it nearer. Moves `ankle` and gives the foot's added turn in `rise`.
void riseOnToes(const Vec3& hip, const Vec3& toes, double reach, Vec3& ankle, Mat3& rise) {
    const double along = std::hypot(toes[0], toes[2]);
    if (!(along > 0.0)) {
        return;
    }
    // About the horizontal line across the foot, turning the heel up.
    const Vec3 across{toes[2] / along, 0.0, -toes[0] / along};
    const Vec3 toe = ankle + toes;
    const auto risen = [&](double angle) { return toe - axisAngle(across, angle) * toes; };
    const double before = length(ankle - hip);
    if (!(length(risen(kMostHeelRise) - hip) < before)) {
        return;
    }
    double lo = 0.0;
    double hi = kMostHeelRise;
    if (length(risen(hi) - hip) <= reach) {
        for (int i = 0; i < 30; ++i) {
            const double t = 0.5 * (lo + hi);
            (length(risen(t) - hip) <= reach ? hi : lo) = t;
        }
    }
    const Vec3 moved = risen(hi);
    if (moved[1] > ankle[1]) {
        ankle = moved;
        rise = axisAngle(across, hi);
    }
}

// Solves one held leg at one frame of the edited pose and writes its joints' values. The foot
// turns from where the edit puts it to the turn its contact holds it at (the edit's at the
// contact's middle), and goes no lower than the capture's feet ever go.
void solveLeg(const Work& w, std::size_t k, int frame, const Pose& edited, double drop,
              const std::vector<int>& columns, float* values) {
    const Hold& hold = w.holds[k][static_cast<std::size_t>(frame)];
    const LegSample& s = w.samples[static_cast<std::size_t>(frame) * w.feet.size() + k];
    const Vec3 hip = positionOf(edited.transforms[static_cast<std::size_t>(w.feet[k].leg.hip)]) +
                     Vec3{0.0, -drop, 0.0};
    // Where the hold fades, the goal fades to the lowered leg as it hangs, so that a leg is taken
    // up and let go without a jump.
    Vec3 goal = heldAnkle(s, hold);
    goal[1] -= (1.0 - hold.weight) * drop;
    goal[1] = std::max(goal[1], w.floor + footDepth(w, k, edited));
    goal[1] += liftToReach(hip, goal, s.reach, kMostLift * w.height);
    const double yaw = blendTurn(s.own, s.held, hold.weight) - s.own.angle;
    Mat3 heelRise = identityMat3();
    const int toe = w.feet[k].leg.toe;
    if (toe >= 0 && length(goal - hip) > s.reach) {
        const Vec3 toes =
            axisAngle({0.0, 1.0, 0.0}, yaw) *
            (positionOf(edited.transforms[static_cast<std::size_t>(toe)]) -
             positionOf(edited.transforms[static_cast<std::size_t>(w.feet[k].leg.ankle)]));
        riseOnToes(hip, toes, s.reach, goal, heelRise);
    }
    goal = slideToReach(hip, goal, s.reach);
    turnLeg(w, k, frame, edited, drop, goal, s.reach, yaw, columns, values, heelRise);
}

// A free leg of a lowered figure: where its foot would go below the lowest the capture's feet
// go, the leg bends to lift it straight up to there, keeping its turn; otherwise it keeps the
// file's values. Solved on the captured pose, which differs from the edited one by a turn about
// the vertical and a shift only, so the values do not depend on the path.
void liftLeg(const Work& w, std::size_t k, int frame, const Pose& raw, double drop,
             const std::vector<int>& columns, float* values) {
    const int ankle = w.feet[k].leg.ankle;
    Vec3 goal = positionOf(raw.transforms[static_cast<std::size_t>(ankle)]);
    goal[1] -= drop;
    const double lowest = w.floor + footDepth(w, k, raw);
    if (goal[1] >= lowest) {
        return;
    }
    goal[1] = lowest;
    turnLeg(w, k, frame, raw, drop, goal, 1e300, 0.0, columns, values);
}

bool sameFeet(const std::vector<Foot>& a, const std::vector<Foot>& b) {
    const auto sameLeg = [](const LegChain& x, const LegChain& y) {
        return x.hip == y.hip && x.knee == y.knee && x.ankle == y.ankle && x.toe == y.toe;
    };
    const auto sameContact = [](const Contact& x, const Contact& y) {
        return x.first == y.first && x.last == y.last;
    };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](const Foot& x, const Foot& y) {
        return sameLeg(x.leg, y.leg) &&
               std::equal(x.contacts.begin(), x.contacts.end(), y.contacts.begin(),
                          y.contacts.end(), sameContact);
    });
}

// Where a leg's rotation channels lie among the planting's columns.
std::vector<int> columnsOf(const Motion& motion, const LegChain& leg,
                           const std::vector<int>& columns) {
    std::vector<int> at;
    for (int joint : {leg.hip, leg.knee, leg.ankle}) {
        const std::size_t j = static_cast<std::size_t>(joint);
        const Joint& node = *motion.joints()[j];
        for (int i = 0; i < node.channelCount(); ++i) {
            if (node.channel(i) >= Xrotation) {
                const int column = motion.firstColumn()[j] + i;
                at.push_back(static_cast<int>(
                    std::lower_bound(columns.begin(), columns.end(), column) - columns.begin()));
            }
        }
    }
    return at;
}

}  // namespace

namespace {

// Fills the work's feet (the valid ones, at most eight), sizes and the joints to pose; false
// where nothing can be planted.
bool prepare(Work& w, const std::vector<Foot>& feet) {
    const Motion& motion = w.motion;
    for (const Foot& foot : feet) {
        if (validLeg(motion, foot.leg) && w.feet.size() < 8) {
            w.feet.push_back(foot);
        }
    }
    w.fps = motion.frameTime() > 0.0f ? 1.0 / motion.frameTime() : 30.0;
    w.height = motion.height() > 0.0f ? motion.height() : motion.bound(MaxY) - motion.bound(MinY);
    // A figure without size has no legs to plant.
    if (!motion.poseable() || w.feet.empty() || !(w.height > 0.0) || !std::isfinite(w.height)) {
        return false;
    }
    w.joints = legJoints(motion, w.feet);
    if (w.joints.front() != 0) {
        w.joints.insert(w.joints.begin(), 0);
    }
    for (const Foot& foot : w.feet) {
        w.tops.push_back(topOf(motion, foot.leg.hip));
        w.feetShapes.push_back(footShape(motion, foot.leg));
    }
    w.rawJoints = w.tops;
    w.rawJoints.push_back(0);
    std::sort(w.rawJoints.begin(), w.rawJoints.end());
    w.rawJoints.erase(std::unique(w.rawJoints.begin(), w.rawJoints.end()), w.rawJoints.end());
    return true;
}

// Lays each foot's spans and marks the frames of its contacts as held.
void laySpans(Work& w, FootPlanting& out) {
    const int n = w.motion.frameCount();
    const int longest = static_cast<int>(std::lround(kLongestBlendSeconds * w.fps));
    out.held.assign(static_cast<std::size_t>(n), 0);
    for (std::size_t k = 0; k < w.feet.size(); ++k) {
        w.spans.push_back(spansOf(w.feet[k], n, longest));
        std::vector<Hold> holds(static_cast<std::size_t>(n));
        for (std::size_t i = 0; i < w.spans[k].size(); ++i) {
            const Span& span = w.spans[k][i];
            for (int f = span.from; f <= span.to; ++f) {
                holds[static_cast<std::size_t>(f)].span = static_cast<int>(i);
            }
            for (int f = span.first; f <= span.last; ++f) {
                out.held[static_cast<std::size_t>(f)] |= static_cast<std::uint8_t>(1u << k);
            }
        }
        w.holds.push_back(std::move(holds));
    }
}

// Whether `previous` was solved for these feet on this motion, so that what a change did not
// reach can be kept from it.
bool canKeep(const FootPlanting& previous, const Work& w, const std::vector<int>& columns) {
    const std::size_t frames = static_cast<std::size_t>(w.motion.frameCount());
    return sameFeet(previous.feet, w.feet) && previous.columns == columns &&
           previous.edits.size() == 3 * frames && previous.needs.size() == frames * w.feet.size() &&
           previous.values.size() == columns.size() * frames && previous.rootDrop.size() == frames;
}

// Records the edit of every frame some contact may reach; only the root is posed, since the
// edit moves each frame rigidly about it.
void recordEdits(const Work& w, std::vector<float>& edits) {
    const std::vector<int> root{0};
    runInHalves(w.motion.frameCount(), kSplitFrames, [&](int first, int last, int) {
        Pose raw;
        Pose edited;
        for (int f = first; f < last; ++f) {
            if (w.inAnySpan(f) && w.unplanted.poseSome(f, PosePass::MeasureRaw, root, raw) &&
                w.unplanted.poseSome(f, PosePass::MeasureEdited, root, edited)) {
                recordEdit(moveBetween(raw.transforms[0], edited.transforms[0]), f, edits);
            }
        }
    });
}

// Holds the spans marked in `marks` (per foot, per span) again, sampling first the frames of
// theirs not yet in `sampled`.
void holdMarked(Work& w, const std::vector<std::vector<std::uint8_t>>& marks,
                std::vector<std::uint8_t>& sampled) {
    std::vector<std::uint8_t> wanted(sampled.size(), 0);
    for (std::size_t k = 0; k < w.feet.size(); ++k) {
        for (std::size_t i = 0; i < w.spans[k].size(); ++i) {
            for (int f = w.spans[k][i].from; marks[k][i] != 0 && f <= w.spans[k][i].to; ++f) {
                wanted[static_cast<std::size_t>(f)] = sampled[static_cast<std::size_t>(f)] ^ 1;
            }
        }
    }
    runInHalves(w.motion.frameCount(), kSplitFrames, [&](int first, int last, int) {
        Pose raw;
        Pose edited;
        for (int f = first; f < last; ++f) {
            if (wanted[static_cast<std::size_t>(f)] != 0) {
                sampleFrame(w, f, raw, edited);
            }
        }
    });
    for (std::size_t f = 0; f < sampled.size(); ++f) {
        sampled[f] |= wanted[f];
    }
    // Each span writes only its own frames, so they too are held on two cores when many.
    std::vector<std::pair<std::size_t, std::size_t>> marked;
    for (std::size_t k = 0; k < w.feet.size(); ++k) {
        for (std::size_t i = 0; i < w.spans[k].size(); ++i) {
            if (marks[k][i] != 0) {
                marked.emplace_back(k, i);
            }
        }
    }
    runInHalves(static_cast<int>(marked.size()), kSplitSpans, [&](int first, int last, int) {
        for (int m = first; m < last; ++m) {
            const auto [k, i] = marked[static_cast<std::size_t>(m)];
            holdContact(w, k, w.spans[k][i]);
            weighSpan(w.spans[k][i], w.holds[k]);
        }
    });
}

// The legs' channels as the file gives them, no root lowered and nothing needed yet.
void startFromFile(const Work& w, FootPlanting& out) {
    const std::size_t frames = static_cast<std::size_t>(w.motion.frameCount());
    const std::size_t width = out.columns.size();
    out.values.resize(width * frames);
    for (std::size_t f = 0; f < frames; ++f) {
        const float* row = w.motion.frames()->row(static_cast<int>(f));
        for (std::size_t c = 0; c < width; ++c) {
            out.values[width * f + c] = row[out.columns[c]];
        }
    }
    out.needs.assign(frames * w.feet.size(), 0.0f);
    out.rootDrop.assign(frames, 0.0f);
}

// The lowest height (display y, unlifted) that any joint of the feet reaches in the capture.
double lowestFootHeight(const Work& w) {
    std::vector<double> lowest(2, 1e300);
    runInHalves(w.motion.frameCount(), kSplitFrames, [&](int first, int last, int half) {
        Pose raw;
        for (int f = first; f < last; ++f) {
            if (!w.unplanted.poseSome(f, PosePass::MeasureRaw, w.joints, raw)) {
                continue;
            }
            for (const FootShape& foot : w.feetShapes) {
                double& low = lowest[static_cast<std::size_t>(half)];
                low = lowestOf(foot, raw, low);
            }
        }
    });
    // No frame posed: no floor to keep the feet above.
    const double floor = std::min(lowest[0], lowest[1]);
    return floor < 1e300 ? floor : -std::numeric_limits<double>::infinity();
}

// Solves again the legs of the spans marked in `redo` (per foot, per span), and outside any span
// of a foot the frames whose root lowering changed (`lowered`, per frame), each foot writing only
// its own columns: held legs solved on the edited pose, free ones lifted where the lowered root
// would put their feet below the ground, the file's values elsewhere.
void solveMarked(const Work& w, const std::vector<std::vector<std::uint8_t>>& redo,
                 const std::vector<std::uint8_t>& lowered, FootPlanting& out) {
    const std::size_t count = w.feet.size();
    const std::size_t width = out.columns.size();
    std::vector<std::vector<int>> footColumns;
    for (const Foot& foot : w.feet) {
        footColumns.push_back(columnsOf(w.motion, foot.leg, out.columns));
    }
    const auto marked = [&](std::size_t k, std::size_t f) {
        const int span = w.holds[k][f].span;
        return span >= 0 ? redo[k][static_cast<std::size_t>(span)] != 0 : lowered[f] != 0;
    };
    runInHalves(w.motion.frameCount(), kSplitFrames, [&](int first, int last, int) {
        Pose edited;
        Pose raw;
        for (int f = first; f < last; ++f) {
            const std::size_t i = static_cast<std::size_t>(f);
            const float* row = w.motion.frames()->row(f);
            float* values = out.values.data() + width * i;
            bool posedEdited = false;
            bool posedRaw = false;
            for (std::size_t k = 0; k < count; ++k) {
                if (!marked(k, i)) {
                    continue;
                }
                for (int c : footColumns[k]) {
                    values[c] = row[out.columns[static_cast<std::size_t>(c)]];
                }
                const double drop = out.rootDrop[i];
                if (w.holds[k][i].weight > 0.0) {
                    posedEdited = posedEdited || w.unplanted.poseSome(f, PosePass::MeasureEdited,
                                                                      w.joints, edited);
                    if (posedEdited) {
                        solveLeg(w, k, f, edited, drop, out.columns, values);
                    }
                } else if (drop > 0.0) {
                    posedRaw =
                        posedRaw || w.unplanted.poseSome(f, PosePass::MeasureRaw, w.joints, raw);
                    if (posedRaw) {
                        liftLeg(w, k, f, raw, drop, out.columns, values);
                    }
                }
            }
        }
    });
}

}  // namespace

FootPlanting plantFeet(const EditedMotion& unplanted, const std::vector<Foot>& feet,
                       FootPlanting previous, Progress* progress) {
    const Motion& motion = unplanted.motion;
    FootPlanting out;
    Work w(unplanted);
    if (!prepare(w, feet)) {
        return out;
    }
    const int n = motion.frameCount();
    const std::size_t frames = static_cast<std::size_t>(n);
    const std::size_t count = w.feet.size();
    out.feet = w.feet;
    out.columns = legColumns(motion, w.feet);
    laySpans(w, out);

    // The edits tell which contacts a change of the path reached since `previous` was solved;
    // without one, every contact is solved (and the sampling records the edits).
    const bool keep = canKeep(previous, w, out.columns);
    out.edits.assign(3 * frames, 0.0f);
    w.edits = &out.edits;
    if (keep) {
        recordEdits(w, out.edits);
        out.values = std::move(previous.values);
        out.needs = std::move(previous.needs);
        out.rootDrop = std::move(previous.rootDrop);
        out.footFloor = previous.footFloor;
    } else {
        startFromFile(w, out);
        out.footFloor = static_cast<float>(lowestFootHeight(w));
    }
    w.floor = out.footFloor;
    // The stages' shares of the whole are rough: holding and solving the contacts take most.
    if (!reportStage(progress, 0.0, 1.0, 0.2, 1.0)) {
        return FootPlanting();
    }
    std::vector<std::vector<std::uint8_t>> redo(count);
    for (std::size_t k = 0; k < count; ++k) {
        redo[k].assign(w.spans[k].size(), keep ? 0 : 1);
        for (std::size_t i = 0; keep && i < w.spans[k].size(); ++i) {
            for (int f = w.spans[k][i].from; f <= w.spans[k][i].to && redo[k][i] == 0; ++f) {
                const auto e = out.edits.begin() + 3 * f;
                redo[k][i] = std::equal(e, e + 3, previous.edits.begin() + 3 * f) ? 0 : 1;
            }
        }
    }

    // Each reached contact is held again, and its foot's need of the root's lowering found.
    w.samples.resize(frames * count);
    std::vector<std::uint8_t> sampled(frames, 0);
    holdMarked(w, redo, sampled);
    if (!reportStage(progress, 0.0, 1.0, 0.5, 1.0)) {
        return FootPlanting();
    }
    int lowest = n;
    int highest = -1;
    for (std::size_t k = 0; k < count; ++k) {
        for (std::size_t i = 0; i < w.spans[k].size(); ++i) {
            if (redo[k][i] == 0) {
                continue;
            }
            const Span& span = w.spans[k][i];
            lowest = std::min(lowest, span.from);
            highest = std::max(highest, span.to);
            for (int f = span.from; f <= span.to; ++f) {
                const Hold& hold = w.holds[k][static_cast<std::size_t>(f)];
                const LegSample& s = w.at(f, k);
                out.needs[static_cast<std::size_t>(f) * count + k] =
                    hold.weight > 0.0
                        ? static_cast<float>(dropToReach(s.hip, heldAnkle(s, hold), s.reach))
                        : 0.0f;
            }
        }
    }
    if (highest < 0) {
        return out;  // the change reached no contact
    }

    // The root's lowering where the needs may have changed; the contacts whose frames it moved
    // are solved again too.
    // Capped in frames, so that a file claiming thousands of frames a second cannot make the
    // spreading's averages cost the square of its length.
    const int dropReach =
        std::clamp(static_cast<int>(std::lround(kDropReachSeconds * w.fps)), 1, kLongestDropReach);
    std::vector<float> need(frames, 0.0f);
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::size_t k = 0; k < count; ++k) {
            need[f] = std::max(need[f], out.needs[f * count + k]);
        }
    }
    const std::vector<float> dropBefore = keep ? out.rootDrop : std::vector<float>();
    spread(need, dropReach, kMostDrop * w.height, lowest - 2 * dropReach, highest + 2 * dropReach,
           out.rootDrop);
    std::vector<std::uint8_t> lowered(frames, keep ? 0 : 1);
    for (std::size_t f = 0; keep && f < frames; ++f) {
        lowered[f] = out.rootDrop[f] != dropBefore[f] ? 1 : 0;
    }
    std::vector<std::vector<std::uint8_t>> moved(count);
    for (std::size_t k = 0; k < count; ++k) {
        moved[k].assign(w.spans[k].size(), 0);
        for (std::size_t i = 0; keep && i < w.spans[k].size(); ++i) {
            const Span& span = w.spans[k][i];
            for (int f = span.from; f <= span.to && redo[k][i] == 0 && moved[k][i] == 0; ++f) {
                moved[k][i] = out.rootDrop[static_cast<std::size_t>(f)] !=
                                      dropBefore[static_cast<std::size_t>(f)]
                                  ? 1
                                  : 0;
            }
            redo[k][i] |= moved[k][i];
        }
    }
    holdMarked(w, moved, sampled);
    if (!reportStage(progress, 0.0, 1.0, 0.6, 1.0)) {
        return FootPlanting();
    }
    solveMarked(w, redo, lowered, out);
    reportStage(progress, 0.0, 1.0, 1.0, 1.0);
    return out;
}
