#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "motion/motion.h"
#include "motion/pose.h"
#include "motion/progress.h"
#include "motion/reading_detection.h"

namespace {

bool finite(const Bounds& bounds) {
    for (float v : bounds) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

Result refuse(const char* reason) {
    return Result::failure(std::string("The Parser could not parse this: ") + reason);
}

}  // namespace

// Everything is prepared in a motion of its own and taken over only when every step succeeded,
// so a failed load leaves this motion exactly as it was.
Result Motion::prepare(std::unique_ptr<Joint> newRoot, std::shared_ptr<const FrameTable> newFrames,
                       const LoadOptions& options, Progress* progress, double from, double to) {
    // Every pass reads a row, and the path needs a track to be fitted to.
    if (!newRoot || !newFrames || newFrames->frameCount() <= 0) {
        return refuse("no frames");
    }
    try {
        Motion prepared;
        prepared.setSkeleton(std::move(newRoot), std::move(newFrames));
        if (!prepared.poseable()) {
            return refuse("channel count");
        }
        // The up axis is told from poses, which need the position channels' reading first.
        const PositionChannels channels =
            options.positionChannels ? *options.positionChannels : detectPositionChannels(prepared);
        prepared.setReading(UpAxis::Y, channels);
        prepared.setReading(options.upAxis ? *options.upAxis : detectUpAxis(prepared), channels);
        if (!prepared.measure(progress, from, to) || !finite(prepared.motionBounds_)) {
            if (progress != nullptr && progress->cancelled()) {
                return Result::failure(Progress::kCancelled);
            }
            // Infinite or NaN positions would reach the path fit's decomposition, whose failure
            // ends the process.
            return refuse("value out of range");
        }
        if (!reportStage(progress, from, to, 1.0, 1.0)) {
            return Result::failure(Progress::kCancelled);
        }
        prepared.sizeMarker();
        *this = std::move(prepared);
        return Result::success();
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory for this motion");
    }
}

Result Motion::reread(const LoadOptions& options, Motion& into, Progress* progress) const {
    if (!root_ || !frames_) {
        return refuse("no frames");
    }
    try {
        return into.prepare(copySkeleton(*root_), frames_, options, progress);
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory for this motion");
    }
}

void Motion::sizeMarker() {
    // A pose with no extent on some axis gives no sensible scale, so the radius stays as it is.
    if (width_ != 0.0f && height_ != 0.0f && depth_ != 0.0f) {
        markerRadius_ = 0.015f * std::max({width_, height_, depth_});
    }
}
