#include <algorithm>
#include <cmath>
#include <new>

#include "document/path_edit.h"
#include "document/time_warp.h"

namespace {

// The span over which the pace is taken (seconds), and the ground speed below which the capture
// counts as standing (figure heights per second).
constexpr double kPaceWindow = 0.5;
constexpr double kStandingSpeed = 0.02;

}  // namespace

void PathEdit::setKeepSpeed(bool on) {
    keepSpeed_ = on;
    measureSpeed(true);
}

const std::vector<double>& PathEdit::measureTravel() {
    const std::size_t n = static_cast<std::size_t>(motion_.frameCount());
    const std::size_t block = Motion::kGroundBlock;
    const std::size_t blocks = (n + block - 1) / block;
    if (editedRoot_.size() != n || staleTravel_.size() != blocks) {
        editedRoot_.clear();
        editedRoot_.resize(n);
        editedSteps_.assign(n - 1, 0.0);
        staleTravel_.assign(blocks, 1);
    }
    // The root's ground travel on the edited path: the root posed as drawn.
    const EditedMotion placed = unplanted();
    const std::vector<int> root = {0};
    Pose pose;
    for (std::size_t b = 0; b < blocks; ++b) {
        for (std::size_t f = b * block; staleTravel_[b] != 0 && f < std::min(n, (b + 1) * block);
             ++f) {
            placed.poseSome(static_cast<int>(f), PosePass::MeasureEdited, root, pose);
            editedRoot_[f] = {pose.transforms[0][12], pose.transforms[0][14]};
        }
    }
    // A step changes with either of its frames: those into and within a measured block.
    for (std::size_t b = 0; b < blocks; ++b) {
        if (staleTravel_[b] == 0) {
            continue;
        }
        for (std::size_t f = std::max<std::size_t>(b * block, 1);
             f < std::min(n, (b + 1) * block + 1); ++f) {
            editedSteps_[f - 1] = std::hypot(editedRoot_[f][0] - editedRoot_[f - 1][0],
                                             editedRoot_[f][1] - editedRoot_[f - 1][1]);
        }
        staleTravel_[b] = 0;
    }
    return editedSteps_;
}

void PathEdit::measureSpeed(bool retime) {
    const int n = motion_.frameCount();
    if (n < 1 || !motion_.poseable() || capturedSteps_.size() + 1 != static_cast<std::size_t>(n)) {
        timing_.reset();
        pathSpeed_.assign(static_cast<std::size_t>(std::max(n, 0)), 1.0f);
        return;
    }
    try {
        const std::vector<double>& edited = measureTravel();
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
        editedRoot_.clear();
        // Without memory for a timing the motion keeps its captured frames.
        timing_.reset();
        pathSpeed_.assign(static_cast<std::size_t>(n), 1.0f);
    }
}
