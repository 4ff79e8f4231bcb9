#include <algorithm>
#include <cmath>
#include <new>

#include "document/path_edit.h"
#include "document/time_warp.h"

namespace {

// The span over which the pace is taken (seconds), and the ground speed below which the capture
// counts as standing (figure heights per second). An eighth of a second, about a quarter of a
// step: over half a second the pace carried a steep stretch (where a bend meets a pause, the
// edited root going ten times the capture's speed) a quarter of a second into the walking beside
// it, which then played up to a quarter slower than captured; the shorter span follows such a
// stretch within a few frames, and the sway within a stride it lets through changes a step's
// length by little more than the bend itself does.
constexpr double kPaceWindow = 0.125;
constexpr double kStandingSpeed = 0.02;

}  // namespace

void PathEdit::setKeepSpeed(bool on) {
    keepSpeed_ = on;
    measureSpeed(true);
    speedPending_ = false;
}

void PathEdit::measureSpeed(bool retime) {
    const int n = motion_.frameCount();
    if (n < 1 || !motion_.poseable() || capturedSteps_.size() + 1 != static_cast<std::size_t>(n)) {
        timing_.reset();
        pathSpeed_.assign(static_cast<std::size_t>(std::max(n, 0)), 1.0f);
        return;
    }
    try {
        // The root's ground travel on the edited path, from the roots as drawn.
        if (placedRoot_.size() != static_cast<std::size_t>(n)) {
            placedRoot_.assign(static_cast<std::size_t>(n), CurvePoint{});
            rootStaleFirst_ = 0;
            rootStaleLast_ = n - 1;
        }
        placeRoots();
        std::vector<double> edited;
        edited.reserve(capturedSteps_.size());
        for (std::size_t f = 1; f < placedRoot_.size(); ++f) {
            edited.push_back(std::hypot(placedRoot_[f].x - placedRoot_[f - 1].x,
                                        placedRoot_[f].z - placedRoot_[f - 1].z));
        }
        const double frameTime = motion_.frameTime() > 0.0f ? motion_.frameTime() : 1.0 / 30.0;
        const int window = std::max(1, static_cast<int>(std::lround(kPaceWindow / frameTime)));
        const double height = motion_.height() > 0.0f ? motion_.height() : 1.0;
        const std::vector<double> stretch =
            localStretch(capturedSteps_, edited, window, kStandingSpeed * height * kPaceWindow);
        const std::vector<double> bounded = boundedStretch(stretch);
        if (retime) {
            timing_ = keepSpeed_ ? std::make_shared<const std::vector<double>>(warpedTimes(bounded))
                                 : nullptr;
        }
        pathSpeed_ = speedRatios(stretch, keepSpeed_ ? &bounded : nullptr);
    } catch (const std::bad_alloc&) {
        // Without memory for a timing the motion keeps its captured frames.
        timing_.reset();
        pathSpeed_.assign(static_cast<std::size_t>(n), 1.0f);
    }
}
