#include "motion/foot_planting.h"

#include <algorithm>
#include <cmath>

#include "motion/leg_solver.h"
#include "motion/motion.h"
#include "motion/pose.h"
#include "motion/quaternion.h"

namespace {

// Seconds over which a foot is taken up by its contact's placement before the contact and let go
// after it; at most half the time between two contacts of the foot.
constexpr double kBlendSeconds = 0.12;
// Seconds either side over which the root's lowering is spread.
constexpr double kDropReachSeconds = 0.1;
// The root goes down by at most this much of the figure's height (a hair under a twentieth).
constexpr double kMostDrop = 0.049;
// Beyond this part of its length a leg's goal is drawn in smoothly, approaching full stretch
// but never reaching it: near straight the knee's angle changes fastest with the distance, and
// a hard limit would snap it straight and back.
constexpr double kSoftReach = 0.97;

// The goal a leg from the hip is asked to reach: the goal itself, or towards the end of the
// leg's reach the point on the way to it that the soft limit allows.
Vec3 softGoal(const Vec3& hip, const Vec3& goal, double reach) {
    const Vec3 d = goal - hip;
    const double wanted = length(d);
    const double soft = kSoftReach * reach;
    if (wanted <= soft || wanted <= 0.0) {
        return goal;
    }
    const double room = reach - soft;
    const double allowed = soft + room * (1.0 - std::exp(-(wanted - soft) / room));
    return hip + (allowed / wanted) * d;
}

Vec3 positionOf(const Transform& m) {
    return {m[12], m[13], m[14]};
}

// The rotation part of a column-major pose transform, as a row-major 3x3.
Mat3 rotationOf(const Transform& m) {
    return {m[0], m[4], m[8], m[1], m[5], m[9], m[2], m[6], m[10]};
}

// A turn about the vertical (display y) axis followed by a shift: how an edit moves one frame.
struct GroundMove {
    double angle = 0.0;  // radians
    Vec3 shift{0.0, 0.0, 0.0};

    Mat3 turn() const { return axisAngle({0.0, 1.0, 0.0}, angle); }
    Vec3 apply(const Vec3& p) const { return turn() * p + shift; }
};

// The move that takes a frame's raw pose to its edited one, from the root's two transforms.
GroundMove moveBetween(const Transform& raw, const Transform& edited) {
    const Mat3 r = rotationOf(edited) * transposed(rotationOf(raw));
    GroundMove move;
    move.angle = std::atan2(r[2], r[0]);
    move.shift = positionOf(edited) - move.turn() * positionOf(raw);
    return move;
}

GroundMove blend(const GroundMove& from, const GroundMove& to, double w) {
    GroundMove m;
    const double turn = std::remainder(to.angle - from.angle, 2.0 * M_PI);
    m.angle = from.angle + w * turn;
    m.shift = from.shift + w * (to.shift - from.shift);
    return m;
}

double smoothStep(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

// For one foot and every frame: the contact that holds it (-1 for none) and how strongly.
struct Hold {
    int contact = -1;
    double weight = 0.0;
};

std::vector<Hold> holdsOf(const Foot& foot, int frameCount, int blendFrames) {
    std::vector<Hold> holds(static_cast<std::size_t>(frameCount));
    const std::vector<Contact>& cs = foot.contacts;
    for (std::size_t c = 0; c < cs.size(); ++c) {
        const int first = std::max(0, cs[c].first);
        const int last = std::min(frameCount - 1, cs[c].last);
        const int before =
            c > 0 ? std::min(blendFrames, (first - cs[c - 1].last - 1) / 2) : blendFrames;
        const int after = c + 1 < cs.size()
                              ? std::min(blendFrames, (cs[c + 1].first - last - 1) / 2)
                              : blendFrames;
        for (int f = std::max(0, first - before); f <= std::min(frameCount - 1, last + after);
             ++f) {
            double w = 1.0;
            if (f < first) {
                w = smoothStep(static_cast<double>(f - (first - before - 1)) / (before + 1));
            } else if (f > last) {
                w = smoothStep(static_cast<double>(last + after + 1 - f) / (after + 1));
            }
            holds[static_cast<std::size_t>(f)] = {static_cast<int>(c), w};
        }
    }
    return holds;
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

// Raises each frame's need to the most within reach, then averages over the reach: never below
// the need, and changing from frame to frame by at most a (2 reach + 1)th of the largest.
std::vector<float> spread(const std::vector<double>& need, int reach, double most) {
    const int n = static_cast<int>(need.size());
    std::vector<double> highest(need.size(), 0.0);
    for (int f = 0; f < n; ++f) {
        for (int k = std::max(0, f - reach); k <= std::min(n - 1, f + reach); ++k) {
            highest[static_cast<std::size_t>(f)] =
                std::max(highest[static_cast<std::size_t>(f)], need[static_cast<std::size_t>(k)]);
        }
    }
    std::vector<float> out(need.size(), 0.0f);
    for (int f = 0; f < n; ++f) {
        double sum = 0.0;
        const int first = std::max(0, f - reach);
        const int last = std::min(n - 1, f + reach);
        for (int k = first; k <= last; ++k) {
            sum += std::min(most, highest[static_cast<std::size_t>(k)]);
        }
        out[static_cast<std::size_t>(f)] = static_cast<float>(sum / (last - first + 1));
    }
    return out;
}

// Where the ankle of a held foot goes, and how it is turned, in display axes.
struct Goal {
    Vec3 at{};
    Mat3 turn = identityMat3();
};

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
    return leg.toe < count;
}

}  // namespace

void FootPlanting::apply(int frame, float* row) const {
    if (empty() || frame < 0 || static_cast<std::size_t>(frame) >= rootDrop.size()) {
        return;
    }
    const float* v = values.data() + columns.size() * static_cast<std::size_t>(frame);
    for (std::size_t k = 0; k < columns.size(); ++k) {
        row[columns[k]] = v[k];
    }
}

bool FootPlanting::footHeld(int frame, int foot) const {
    return frame >= 0 && static_cast<std::size_t>(frame) < held.size() && foot >= 0 && foot < 8 &&
           (held[static_cast<std::size_t>(frame)] >> foot & 1u) != 0;
}

FootPlanting plantFeet(const Motion& motion, const std::vector<Foot>& inFeet) {
    FootPlanting out;
    std::vector<Foot> feet;
    for (const Foot& foot : inFeet) {
        if (validLeg(motion, foot.leg) && feet.size() < 8) {
            feet.push_back(foot);
        }
    }
    if (!motion.poseable() || feet.empty()) {
        return out;
    }
    const int n = motion.frameCount();
    const std::size_t frames = static_cast<std::size_t>(n);
    const double fps = motion.frameTime() > 0.0f ? 1.0 / motion.frameTime() : 30.0;
    const double height =
        motion.height() > 0.0f ? motion.height() : motion.bound(MaxY) - motion.bound(MinY);
    const int blendFrames = std::max(1, static_cast<int>(std::lround(kBlendSeconds * fps)));

    out.columns = legColumns(motion, feet);
    const std::size_t width = out.columns.size();
    out.values.resize(width * frames);
    for (int f = 0; f < n; ++f) {
        const float* row = motion.frames()->row(f);
        for (std::size_t k = 0; k < width; ++k) {
            out.values[width * static_cast<std::size_t>(f) + k] = row[out.columns[k]];
        }
    }
    out.rootDrop.assign(frames, 0.0f);
    out.held.assign(frames, 0);

    std::vector<std::vector<Hold>> holds;
    std::vector<std::vector<GroundMove>> middles;
    Pose raw;
    Pose edited;
    for (std::size_t k = 0; k < feet.size(); ++k) {
        holds.push_back(holdsOf(feet[k], n, blendFrames));
        std::vector<GroundMove> moves;
        for (const Contact& c : feet[k].contacts) {
            for (int f = std::max(0, c.first); f <= std::min(n - 1, c.last); ++f) {
                out.held[static_cast<std::size_t>(f)] |= static_cast<std::uint8_t>(1u << k);
            }
            const int middle = std::clamp((c.first + c.last) / 2, 0, n - 1);
            poseFrame(motion, middle, PosePass::MeasureRaw, raw);
            poseFrame(motion, middle, PosePass::MeasureEdited, edited);
            moves.push_back(moveBetween(raw.transforms.front(), edited.transforms.front()));
        }
        middles.push_back(std::move(moves));
    }

    // First what the raw and the rigidly edited poses say about each held leg.
    struct Sample {
        GroundMove own;  // the frame's own edit
        Vec3 ankleAt{};  // the raw ankle
        Mat3 ankleTurn = identityMat3();
        Vec3 rawHip{};
        Vec3 hip{};  // on the edited path
        double reach = 0.0;
    };
    std::vector<Sample> samples(frames * feet.size());
    for (int f = 0; f < n; ++f) {
        const std::size_t i = static_cast<std::size_t>(f);
        bool any = false;
        for (const std::vector<Hold>& h : holds) {
            any = any || h[i].weight > 0.0;
        }
        if (!any) {
            continue;
        }
        poseFrame(motion, f, PosePass::MeasureRaw, raw);
        poseFrame(motion, f, PosePass::MeasureEdited, edited);
        const GroundMove own = moveBetween(raw.transforms.front(), edited.transforms.front());
        for (std::size_t k = 0; k < feet.size(); ++k) {
            if (holds[k][i].weight <= 0.0) {
                continue;
            }
            const LegChain& leg = feet[k].leg;
            const auto rawAt = [&](int j) {
                return positionOf(raw.transforms[static_cast<std::size_t>(j)]);
            };
            const auto editedAt = [&](int j) {
                return positionOf(edited.transforms[static_cast<std::size_t>(j)]);
            };
            Sample& sample = samples[i * feet.size() + k];
            sample.own = own;
            sample.ankleAt = rawAt(leg.ankle);
            sample.ankleTurn = rotationOf(raw.transforms[static_cast<std::size_t>(leg.ankle)]);
            sample.rawHip = rawAt(leg.hip);
            sample.hip = editedAt(leg.hip);
            sample.reach = (length(editedAt(leg.knee) - sample.hip) +
                            length(editedAt(leg.ankle) - editedAt(leg.knee))) *
                           kSoftReach;
        }
    }

    // Where the edit stretches or squeezes the path during a contact, the hip travels further or
    // less far over the held foot than in the capture; the foot's point is shifted to the middle
    // of that difference, so the leg is stretched no more at one end than at the other.
    for (std::size_t k = 0; k < feet.size(); ++k) {
        for (std::size_t c = 0; c < feet[k].contacts.size(); ++c) {
            GroundMove& middle = middles[k][c];
            const Contact& contact = feet[k].contacts[c];
            std::array<double, 2> low{0.0, 0.0};
            std::array<double, 2> high{0.0, 0.0};
            bool first = true;
            for (int f = std::max(0, contact.first); f <= std::min(n - 1, contact.last); ++f) {
                const Sample& sample = samples[static_cast<std::size_t>(f) * feet.size() + k];
                const Vec3 d = sample.hip - middle.apply(sample.rawHip);
                const std::array<double, 2> ground{d[0], d[2]};
                for (std::size_t a = 0; a < 2; ++a) {
                    low[a] = first ? ground[a] : std::min(low[a], ground[a]);
                    high[a] = first ? ground[a] : std::max(high[a], ground[a]);
                }
                first = false;
            }
            middle.shift[0] += 0.5 * (low[0] + high[0]);
            middle.shift[2] += 0.5 * (low[1] + high[1]);
        }
    }

    // Then the goals, and how far each frame's root must go down for the legs to reach them.
    std::vector<Goal> goals(frames * feet.size());
    std::vector<double> need(frames, 0.0);
    for (int f = 0; f < n; ++f) {
        const std::size_t i = static_cast<std::size_t>(f);
        for (std::size_t k = 0; k < feet.size(); ++k) {
            const Hold& hold = holds[k][i];
            if (hold.weight <= 0.0) {
                continue;
            }
            const Sample& sample = samples[i * feet.size() + k];
            const GroundMove move =
                blend(sample.own, middles[k][static_cast<std::size_t>(hold.contact)], hold.weight);
            Goal& goal = goals[i * feet.size() + k];
            goal.at = move.apply(sample.ankleAt);
            goal.turn = move.turn() * sample.ankleTurn;
            need[i] = std::max(need[i], dropToReach(sample.hip, goal.at, sample.reach));
        }
    }
    out.rootDrop = spread(need, std::max(1, static_cast<int>(std::lround(kDropReachSeconds * fps))),
                          kMostDrop * height);

    // Then each held leg is solved with the root where it now is.
    for (int f = 0; f < n; ++f) {
        const std::size_t i = static_cast<std::size_t>(f);
        bool any = false;
        for (const std::vector<Hold>& h : holds) {
            any = any || h[i].weight > 0.0;
        }
        if (!any) {
            continue;
        }
        poseFrame(motion, f, PosePass::MeasureEdited, edited);
        const Vec3 down{0.0, -static_cast<double>(out.rootDrop[i]), 0.0};
        const float* fileRow = motion.frames()->row(f);
        float* values = out.values.data() + width * i;
        for (std::size_t k = 0; k < feet.size(); ++k) {
            if (holds[k][i].weight <= 0.0) {
                continue;
            }
            const LegChain& leg = feet[k].leg;
            const auto at = [&](int j) {
                return positionOf(edited.transforms[static_cast<std::size_t>(j)]) + down;
            };
            const auto turnOf = [&](int j) {
                return rotationOf(edited.transforms[static_cast<std::size_t>(j)]);
            };
            const auto parentTurn = [&](int j) {
                return turnOf(motion.parentIndex()[static_cast<std::size_t>(j)]);
            };
            // Where the hold fades, the goal fades to the lowered leg as it hangs, so that a leg
            // is taken up and let go without a jump.
            Goal goal = goals[i * feet.size() + k];
            goal.at = goal.at + ((1.0 - holds[k][i].weight) * down[1]) * Vec3{0.0, 1.0, 0.0};
            const Vec3 toes = leg.toe >= 0 ? at(leg.toe) - at(leg.ankle) : Vec3{0.0, 0.0, 0.0};
            const double reach =
                length(at(leg.knee) - at(leg.hip)) + length(at(leg.ankle) - at(leg.knee));
            const TwoBoneTurns turns = solveTwoBone(at(leg.hip), at(leg.knee), at(leg.ankle),
                                                    softGoal(at(leg.hip), goal.at, reach), toes);
            const Mat3 both = turns.knee * turns.hip;
            writeRotation(motion, leg.hip,
                          transposed(parentTurn(leg.hip)) * turns.hip * turnOf(leg.hip), fileRow,
                          out.columns, values);
            writeRotation(motion, leg.knee,
                          transposed(turns.hip * parentTurn(leg.knee)) * both * turnOf(leg.knee),
                          fileRow, out.columns, values);
            writeRotation(motion, leg.ankle, transposed(both * parentTurn(leg.ankle)) * goal.turn,
                          fileRow, out.columns, values);
        }
    }
    return out;
}
