#include "document/speed_windows.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The root's ground travel from the first frame to each frame, posed by the pass.
std::vector<double> travelled(const EditedMotion& motion, PosePass pass) {
    std::vector<double> along;
    const std::vector<int> root = {0};
    Pose pose;
    double x = 0.0;
    double z = 0.0;
    for (int k = 0; k < motion.frameCount(); ++k) {
        if (!motion.poseSome(k, pass, root, pose)) {
            break;
        }
        const double nx = pose.transforms[0][12];
        const double nz = pose.transforms[0][14];
        along.push_back(along.empty() ? 0.0 : along.back() + std::hypot(nx - x, nz - z));
        x = nx;
        z = nz;
    }
    return along;
}

// The travel up to a moment between two frames, the step to the next taken linearly.
double travelAt(const std::vector<double>& along, double at) {
    const int last = static_cast<int>(along.size()) - 1;
    const int f = std::clamp(static_cast<int>(std::floor(at)), 0, last);
    const int g = std::min(f + 1, last);
    const double share = std::clamp(at - f, 0.0, 1.0);
    return along[static_cast<std::size_t>(f)] +
           share * (along[static_cast<std::size_t>(g)] - along[static_cast<std::size_t>(f)]);
}

// Whether Path Speed shows every captured frame from `from` to `to` travelled as captured.
bool travelledAsCaptured(const std::vector<float>& speed, double from, double to) {
    const std::size_t last = static_cast<std::size_t>(std::ceil(to));
    for (std::size_t f = static_cast<std::size_t>(from); f <= last && f < speed.size(); ++f) {
        if (std::fabs(speed[f] - 1.0f) > 1e-3f) {
            return false;
        }
    }
    return true;
}

}  // namespace

SpeedRange speedRangeOver(const std::vector<double>& captured, const std::vector<double>& shown,
                          const std::vector<double>& moments, int span, double fast,
                          const std::vector<float>* speed) {
    SpeedRange range;
    const std::size_t frames = std::min(shown.size(), moments.size());
    if (captured.empty() || span < 1 || frames < 2) {
        return range;
    }
    // How far the capture went, per captured frame, at the moments from each shown frame to the
    // next, summed from the first: a window's mean is the speed its frames show the capture at.
    // Timed by the captured frames instead, a window whose steps the retiming lengthens unevenly
    // (a slow stretch longer than a fast one beside it) would weigh the capture's fast part more
    // than the window shows it, and find the figure slower than the capture it plays.
    std::vector<double> pace(frames, 0.0);
    for (std::size_t k = 0; k + 1 < frames; ++k) {
        const double from = moments[k];
        const double to = moments[k + 1];
        const double step =
            to > from ? (travelAt(captured, to) - travelAt(captured, from)) / (to - from) : 0.0;
        pace[k + 1] = pace[k] + step;
    }
    for (std::size_t k = 0; k + static_cast<std::size_t>(span) < frames; ++k) {
        const std::size_t end = k + static_cast<std::size_t>(span);
        const double from = moments[k];
        const double to = moments[end];
        if (!(to > from) || (speed != nullptr && !travelledAsCaptured(*speed, from, to))) {
            continue;
        }
        const double capturedSpeed = (pace[end] - pace[k]) / span;
        if (capturedSpeed <= fast) {
            continue;
        }
        const double ratio = (shown[end] - shown[k]) / span / capturedSpeed;
        range.lowest = range.windows == 0 ? ratio : std::min(range.lowest, ratio);
        range.highest = range.windows == 0 ? ratio : std::max(range.highest, ratio);
        ++range.windows;
    }
    return range;
}

SpeedRange windowSpeedRange(const PathEdit& edit, bool keptOnly, double seconds, double walking) {
    const Motion& motion = edit.motion();
    const EditedMotion edited = edit.edited();
    const std::vector<double> captured = travelled(EditedMotion(motion), PosePass::MeasureRaw);
    const std::vector<double> shown = travelled(edited, PosePass::MeasureEdited);
    std::vector<double> moments(shown.size());
    for (std::size_t k = 0; k < shown.size(); ++k) {
        moments[k] = edited.capturedTime(static_cast<int>(k));
    }
    const double frameTime = motion.frameTime() > 0.0f ? motion.frameTime() : 1.0 / 30.0;
    const int span = std::max(1, static_cast<int>(std::lround(seconds / frameTime)));
    const double height = motion.height() > 0.0f ? motion.height() : 1.0;
    return speedRangeOver(captured, shown, moments, span, walking * height * frameTime,
                          keptOnly ? &edit.pathSpeed() : nullptr);
}
