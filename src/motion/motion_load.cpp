#include <cmath>
#include <new>
#include <utility>

#include "motion/bvh_reader.h"
#include "motion/file_replace.h"
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

// Reading is about half of a load and measuring most of the rest; the progress reported follows.
constexpr double kReadShare = 0.5;
constexpr double kMeasureShare = 0.95;

Result Motion::load(const std::string& path, const LoadOptions& options, Progress* progress) {
    try {
        BvhReader reader;
        reader.open(path);
        reader.setProgress(progress, kReadShare);
        std::unique_ptr<Joint> newRoot = reader.readHierarchy();
        if (!newRoot) {
            return Result::failure(reader.failure());
        }
        std::unique_ptr<FrameTable> newFrames = reader.readMotion();
        reader.close();
        if (!newFrames) {
            // newRoot releases the skeleton: a failed MOTION section keeps nothing
            return Result::failure(reader.failure());
        }
        if (!reportStage(progress, 0.0, kReadShare, 1.0, 1.0)) {
            return Result::failure(Progress::kCancelled);
        }
        Result prepared = prepare(std::move(newRoot), std::move(newFrames), options, progress);
        if (prepared) {
            prepared.message = unfinishedSavesNote(path);
        }
        return prepared;
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory for this motion");
    }
}

// Everything is prepared in a motion of its own and taken over only when every step succeeded,
// so a failed load leaves this motion exactly as it was.
Result Motion::prepare(std::unique_ptr<Joint> newRoot, std::unique_ptr<FrameTable> newFrames,
                       const LoadOptions& options, Progress* progress) {
    // Every pass reads a row, and the curve needs samples to be fitted to.
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
        prepared.rootPath_ = std::make_unique<RootPath>();
        if (!prepared.measure(progress, kReadShare, kMeasureShare) ||
            !finite(prepared.motionBounds_)) {
            if (progress != nullptr && progress->cancelled()) {
                return Result::failure(Progress::kCancelled);
            }
            // Infinite or NaN positions would reach the curve fit's decomposition, whose failure
            // ends the process.
            return refuse("value out of range");
        }
        if (!reportStage(progress, kReadShare, kMeasureShare, 1.0, 1.0)) {
            return Result::failure(Progress::kCancelled);
        }
        prepared.rootPath_->fitCurve();
        prepared.sizeMarker();
        prepared.layBaseline();
        reportStage(progress, kMeasureShare, 1.0, 1.0, 1.0);
        *this = std::move(prepared);
        return Result::success();
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory for this motion");
    }
}

Result Motion::reread(const LoadOptions& options) {
    if (!root_ || !frames_) {
        return refuse("no frames");
    }
    try {
        return prepare(copySkeleton(*root_), std::make_unique<FrameTable>(*frames_), options);
    } catch (const std::bad_alloc&) {
        return refuse("not enough memory for this motion");
    }
}
