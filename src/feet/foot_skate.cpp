#include "feet/foot_skate.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "feet/leg_solver.h"
#include "motion/motion.h"
#include "motion/pose.h"

namespace {

constexpr double kContactHeight = 0.06;
constexpr double kContactSpeed = 0.15;
constexpr double kFlipDegrees = 20.0;
constexpr double kSteadyDegrees = 5.0;
// The twist is measured where the knee bends by at least this much, and where the plane's normal
// and the foot each lie at least this far (as the sine of their angle to the vertical) along the
// ground.
constexpr double kLeastBendDegrees = 5.0;
constexpr double kLeastAlongGround = 0.3;

Vec3 positionOf(const Transform& m) {
    return {m[12], m[13], m[14]};
}

// The position of each joint on each of the first `frames` frames (all captured ones when
// negative), posed as asked.
std::vector<std::vector<Vec3>> tracksOf(const EditedMotion& motion, const std::vector<int>& joints,
                                        PosePass pass, int frames = -1) {
    std::vector<std::vector<Vec3>> tracks(joints.size());
    Pose pose;
    for (int f = 0; f < (frames < 0 ? motion.motion.frameCount() : frames); ++f) {
        motion.pose(f, pass, pose);
        for (std::size_t k = 0; k < joints.size(); ++k) {
            const std::size_t j = static_cast<std::size_t>(joints[k]);
            tracks[k].push_back(j < pose.transforms.size() ? positionOf(pose.transforms[j])
                                                           : Vec3{0.0, 0.0, 0.0});
        }
    }
    return tracks;
}

double angleBetween(const Vec3& a, const Vec3& b) {
    return std::atan2(length(cross(a, b)), dot(a, b)) * 180.0 / M_PI;
}

// The leg's knee-to-foot angle in the ground plane (degrees, about the vertical), from the
// positions of hip, knee, ankle and toe; none where it is not defined.
std::optional<double> kneeFootAngle(const Vec3& hip, const Vec3& knee, const Vec3& ankle,
                                    const Vec3& toe) {
    const Vec3 thigh = knee - hip;
    const Vec3 shin = ankle - knee;
    const Vec3 normal = cross(thigh, shin);
    const Vec3 foot = toe - ankle;
    const double bend = angleBetween(thigh, shin);
    const double normalAcross = std::hypot(normal[0], normal[2]);
    const double footAcross = std::hypot(foot[0], foot[2]);
    if (!(bend >= kLeastBendDegrees) || !(normalAcross >= kLeastAlongGround * length(normal)) ||
        !(footAcross >= kLeastAlongGround * length(foot))) {
        return std::nullopt;
    }
    // Turned from the normal towards the foot about the vertical (display y).
    const double c = normal[0] * foot[0] + normal[2] * foot[2];
    const double s = normal[2] * foot[0] - normal[0] * foot[2];
    return std::atan2(s, c) * 180.0 / M_PI;
}

}  // namespace

SkateReference skateReference(const Motion& motion, const std::vector<LegChain>& legs) {
    SkateReference ref;
    if (!motion.poseable()) {
        return ref;
    }
    for (const LegChain& leg : legs) {
        ref.joints.push_back(leg.ankle);
        if (leg.toe >= 0) {
            ref.joints.push_back(leg.toe);
        }
    }
    ref.height = motion.height() > 0.0f ? motion.height() : 1.0;
    ref.frameTime = motion.frameTime() > 0.0f ? motion.frameTime() : 1.0 / 30.0;
    ref.frameCount = motion.frameCount();
    const std::vector<std::vector<Vec3>> tracks =
        tracksOf(EditedMotion(motion), ref.joints, PosePass::MeasureRaw);
    for (const std::vector<Vec3>& track : tracks) {
        double lowest = track.front()[1];
        for (const Vec3& p : track) {
            lowest = std::min(lowest, p[1]);
        }
        std::vector<std::uint8_t> in(track.size(), 0);
        const int n = static_cast<int>(track.size());
        for (int f = 0; f < n; ++f) {
            const int next = f + 1 < n ? f + 1 : f;
            const int before = f + 1 < n ? f : std::max(0, f - 1);
            const double speed = length(track[static_cast<std::size_t>(next)] -
                                        track[static_cast<std::size_t>(before)]) /
                                 ref.frameTime;
            const bool low =
                track[static_cast<std::size_t>(f)][1] - lowest < kContactHeight * ref.height;
            in[static_cast<std::size_t>(f)] = low && speed < kContactSpeed * ref.height ? 1 : 0;
        }
        ref.contact.push_back(std::move(in));
    }
    return ref;
}

double footSkate(const EditedMotion& motion, const SkateReference& reference, bool edited,
                 int* pairs) {
    if (pairs != nullptr) {
        *pairs = 0;
    }
    if (!motion.motion.poseable() || motion.motion.frameCount() != reference.frameCount) {
        return 0.0;
    }
    // A retimed edit is measured on its own frames, each in contact where the captured frame it
    // shows is.
    const bool timed = edited && motion.times != nullptr;
    const std::vector<std::vector<Vec3>> tracks =
        tracksOf(motion, reference.joints, edited ? PosePass::MeasureEdited : PosePass::MeasureRaw,
                 timed ? motion.frameCount() : -1);
    const auto shown = [&](std::size_t f) {
        return timed ? static_cast<std::size_t>(motion.capturedFrame(static_cast<int>(f))) : f;
    };
    double sum = 0.0;
    int count = 0;
    for (std::size_t k = 0; k < tracks.size(); ++k) {
        const std::vector<std::uint8_t>& in = reference.contact[k];
        for (std::size_t f = 0; f + 1 < tracks[k].size(); ++f) {
            if (in[shown(f)] == 0 || in[shown(f + 1)] == 0) {
                continue;
            }
            const Vec3 d = tracks[k][f + 1] - tracks[k][f];
            sum += std::hypot(d[0], d[2]) / reference.frameTime;
            ++count;
        }
    }
    if (pairs != nullptr) {
        *pairs = count;
    }
    return count > 0 ? sum / count / reference.height : 0.0;
}

int kneeFlips(const EditedMotion& motion, const std::vector<LegChain>& legs) {
    if (!motion.motion.poseable()) {
        return 0;
    }
    std::vector<int> joints;
    for (const LegChain& leg : legs) {
        joints.insert(joints.end(), {leg.hip, leg.knee, leg.ankle});
    }
    const auto angles = [&](PosePass pass) {
        const std::vector<std::vector<Vec3>> t = tracksOf(motion, joints, pass);
        std::vector<std::vector<double>> out(legs.size());
        for (std::size_t k = 0; k < legs.size(); ++k) {
            for (std::size_t f = 0; f < t[3 * k].size(); ++f) {
                out[k].push_back(
                    angleBetween(t[3 * k + 1][f] - t[3 * k][f], t[3 * k + 2][f] - t[3 * k + 1][f]));
            }
        }
        return out;
    };
    const std::vector<std::vector<double>> captured = angles(PosePass::MeasureRaw);
    const std::vector<std::vector<double>> edited = angles(PosePass::MeasureEdited);
    int flips = 0;
    for (std::size_t k = 0; k < legs.size(); ++k) {
        for (std::size_t f = 0; f + 1 < captured[k].size(); ++f) {
            if (std::fabs(captured[k][f + 1] - captured[k][f]) < kSteadyDegrees &&
                std::fabs(edited[k][f + 1] - edited[k][f]) >= kFlipDegrees) {
                ++flips;
            }
        }
    }
    return flips;
}

KneeFootTwist kneeFootTwist(const EditedMotion& motion, const std::vector<LegChain>& legs) {
    KneeFootTwist twist;
    if (!motion.motion.poseable()) {
        return twist;
    }
    std::vector<int> joints;
    std::vector<LegChain> measured;
    for (const LegChain& leg : legs) {
        if (leg.toe >= 0) {
            joints.insert(joints.end(), {leg.hip, leg.knee, leg.ankle, leg.toe});
            measured.push_back(leg);
        }
    }
    const std::vector<std::vector<Vec3>> captured = tracksOf(motion, joints, PosePass::MeasureRaw);
    const std::vector<std::vector<Vec3>> edited = tracksOf(motion, joints, PosePass::MeasureEdited);
    const auto angleAt = [](const std::vector<std::vector<Vec3>>& t, std::size_t k, std::size_t f) {
        return kneeFootAngle(t[4 * k][f], t[4 * k + 1][f], t[4 * k + 2][f], t[4 * k + 3][f]);
    };
    for (std::size_t k = 0; k < measured.size(); ++k) {
        for (std::size_t f = 0; f < captured[4 * k].size(); ++f) {
            const std::optional<double> before = angleAt(captured, k, f);
            const std::optional<double> after = angleAt(edited, k, f);
            if (!before || !after) {
                continue;
            }
            const double d = std::fabs(std::remainder(*after - *before, 360.0));
            ++twist.measured;
            twist.backward += d > 90.0 ? 1 : 0;
            if (d > twist.most) {
                twist.most = d;
                twist.worstFrame = static_cast<int>(f);
            }
        }
    }
    return twist;
}

double footBelowGround(const EditedMotion& motion, const std::vector<LegChain>& legs) {
    if (!motion.motion.poseable()) {
        return 0.0;
    }
    std::vector<int> joints;
    for (const LegChain& leg : legs) {
        const std::vector<int> foot = footJoints(motion.motion, leg);
        joints.insert(joints.end(), foot.begin(), foot.end());
    }
    const auto lowest = [&](PosePass pass) {
        double low = 1e300;
        for (const std::vector<Vec3>& track : tracksOf(motion, joints, pass)) {
            for (const Vec3& p : track) {
                low = std::min(low, p[1]);
            }
        }
        return low;
    };
    if (joints.empty()) {
        return 0.0;
    }
    const double height = motion.motion.height() > 0.0f ? motion.motion.height() : 1.0;
    return std::max(0.0, lowest(PosePass::MeasureRaw) - lowest(PosePass::MeasureEdited)) / height;
}
