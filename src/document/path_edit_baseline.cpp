// The baseline: what each frame keeps of the path as fitted (see Baseline), and the edited
// path's points and headings that the placement reads.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "document/path_edit.h"
#include "numeric/run_in_halves.h"

namespace {

// Frames from which the path's points are worked out on two threads.
constexpr int kSplitFrames = 2048;
// How many frames ahead the baseline asks for a row it will read.
constexpr int kPrefetchFrames = 16;

double framesPerSecond(const Motion& motion) {
    const double t = motion.frameTime();
    return t > 0.0 && std::isfinite(t) ? 1.0 / t : 30.0;
}

}  // namespace

void PathEdit::layBaseline() {
    if (!motion_.poseable() || curve().pointCount() < 3) {
        return;
    }
    const Joint& root = *motion_.root();
    const FrameTable& frames = *motion_.frames();
    const int frameCount = motion_.frameCount();
    const std::size_t size = static_cast<std::size_t>(frameCount);
    baseline_.offsetX.assign(size, 0.0);
    baseline_.offsetZ.assign(size, 0.0);
    fittedPoints_.assign(size, CurvePoint{});
    // The root's ground position as the pose places it: its OFFSET, then its position channels,
    // a Z-up file's turned upright (file y becomes display -z).
    const std::array<float, 3>& offset = motion_.baseOffset(0);
    const bool zUp = motion_.upAxis() == UpAxis::Z;
    groundOffsetX_ = offset[0];
    groundOffsetZ_ = zUp ? -static_cast<double>(offset[1]) : offset[2];
    const int rootChannels = root.channelCount();
    // Every frame is laid on its own, so long motions are laid on two cores; the fitted curve's
    // boundary cache was filled by the fit, so both halves only read it.
    const ControlCurve& curve = this->curve();
    runInHalves(frameCount, kSplitFrames, [&](int first, int last, int) {
        for (int f = first; f < last; ++f) {
            // The rows lie far apart in a wide table, more than the hardware prefetcher follows.
            const float* ahead = frames.row(std::min(f + kPrefetchFrames, last - 1));
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + std::max(rootChannels - 1, 0));
            const float* row = frames.row(f);
            double x = groundOffsetX_;
            double z = groundOffsetZ_;
            for (int i = 0; i < rootChannels; ++i) {
                const ChannelType type = root.channel(i);
                if (type == Xposition) {
                    x += row[i];
                } else if (type == (zUp ? Yposition : Zposition)) {
                    z += zUp ? -static_cast<double>(row[i]) : row[i];
                }
            }
            const std::size_t i = static_cast<std::size_t>(f);
            CurvePoint& point = fittedPoints_[i];
            curve.evaluate(path_.frameParameter(f, frameCount), point);
            baseline_.offsetX[i] = point.x - x;
            baseline_.offsetZ[i] = point.z - z;
        }
    });
    baseline_.chords = headingChords(
        fittedPoints_,
        std::max({static_cast<double>(motion_.width()), static_cast<double>(motion_.height()),
                  static_cast<double>(motion_.depth())}),
        framesPerSecond(motion_));
    pathPoints_ = fittedPoints_;
    heading_.assign(size, 0.0);
    placed_.assign(size, 0);
}

void PathEdit::followPath() {
    if (!hasBaseline()) {
        return;
    }
    const int frameCount = motion_.frameCount();
    const ControlCurve& curve = this->curve();
    runInHalves(frameCount, kSplitFrames, [&](int first, int last, int) {
        for (int f = first; f < last; ++f) {
            curve.evaluate(path_.frameParameter(f, frameCount),
                           pathPoints_[static_cast<std::size_t>(f)]);
        }
    });
    heading_ = turnedHeadings(baseline_.chords, pathPoints_, framesPerSecond(motion_), wholeTurn_);
    // A frame the edit leaves where it was is placed as the file places it, to the bit.
    for (std::size_t f = 0; f < placed_.size(); ++f) {
        const CurvePoint& now = pathPoints_[f];
        const CurvePoint& was = fittedPoints_[f];
        placed_[f] = now.x != was.x || now.z != was.z || heading_[f] != 0.0 ? 1 : 0;
    }
}
