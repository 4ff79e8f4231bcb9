#include "document/path_measures.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kDegrees = 180.0 / M_PI;

double wrapped(double radians) {
    return std::remainder(radians, 2.0 * M_PI);
}

double framesPerSecond(const Motion& motion) {
    return motion.frameTime() > 0.0f ? 1.0 / motion.frameTime() : 30.0;
}

double headingAt(const PathEdit& edit, int frame) {
    const std::optional<RootPlacement> placed = edit.placement(frame);
    return placed ? placed->headingRadians : 0.0;
}

// The root's ground position and facing (the angle of its x axis in the ground plane) of every
// frame, posed as the pass says.
struct RootTrack {
    std::vector<double> x, z, facing;
};

RootTrack rootTrack(const PathEdit& edit, PosePass pass) {
    RootTrack track;
    const std::vector<int> root{0};
    const EditedMotion edited = edit.unplanted();
    Pose pose;
    for (int f = 0; f < edit.motion().frameCount(); ++f) {
        edited.poseSome(f, pass, root, pose);
        const Transform& m = pose.transforms.front();
        track.x.push_back(m[12]);
        track.z.push_back(m[14]);
        track.facing.push_back(std::atan2(m[2], m[0]));
    }
    return track;
}

}  // namespace

double headingRateMax(const PathEdit& edit) {
    const int n = edit.motion().frameCount();
    double largest = 0.0;
    double before = headingAt(edit, 0);
    for (int f = 1; f < n; ++f) {
        const double now = headingAt(edit, f);
        largest = std::max(largest, std::fabs(wrapped(now - before)));
        before = now;
    }
    return largest * kDegrees * framesPerSecond(edit.motion());
}

double facingChangeMax(const PathEdit& edit) {
    const Motion& motion = edit.motion();
    const int n = motion.frameCount();
    const RootTrack captured = rootTrack(edit, PosePass::MeasureRaw);
    const RootTrack edited = rootTrack(edit, PosePass::MeasureEdited);
    const double fps = framesPerSecond(motion);
    const double walking = 0.5 * std::max(motion.height(), 1e-6f) / fps;
    // Travel over a fifth of a second either side, so a step's sway is no change of direction.
    const int reach = std::max(1, static_cast<int>(std::lround(0.2 * fps)));
    double largest = 0.0;
    for (int f = reach; f + reach < n; ++f) {
        const std::size_t a = static_cast<std::size_t>(f - reach);
        const std::size_t b = static_cast<std::size_t>(f + reach);
        const std::size_t i = static_cast<std::size_t>(f);
        const double cx = captured.x[b] - captured.x[a];
        const double cz = captured.z[b] - captured.z[a];
        const double ex = edited.x[b] - edited.x[a];
        const double ez = edited.z[b] - edited.z[a];
        const double span = 2.0 * reach * walking;
        if (std::hypot(cx, cz) < span || std::hypot(ex, ez) < span) {
            continue;
        }
        const double before = wrapped(captured.facing[i] - std::atan2(cz, cx));
        const double after = wrapped(edited.facing[i] - std::atan2(ez, ex));
        largest = std::max(largest, std::fabs(wrapped(after - before)));
    }
    return largest * kDegrees;
}
