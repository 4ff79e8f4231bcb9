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
    measuresPending_ = speedPending_ = false;
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
    turns_ = ChordTurns();
    measureTurns(baseline_.chords, pathPoints_, 0, -1, turns_);
    followedTurn_ = 0.0;
    followedPoints_.resize(static_cast<std::size_t>(curve.pointCount()));
    for (int k = 0; k < curve.pointCount(); ++k) {
        curve.getPoint(k, followedPoints_[static_cast<std::size_t>(k)]);
    }
    blockBounds_ = motion_.groundBlockBounds();
    staleBlocks_.assign(blockBounds_.size(), 0);
    // Unedited, each root stands where the load's sweep measured it (the sweep's positions are
    // the pose's, bit for bit), so that a refresh poses only the frames an edit reaches; without
    // the track the roots are posed here.
    const std::vector<float>& trackX = motion_.rootTrackX();
    const std::vector<float>& trackZ = motion_.rootTrackZ();
    placedRoot_.assign(size, CurvePoint{});
    rootStaleFirst_ = 0;
    rootStaleLast_ = frameCount - 1;
    if (trackX.size() == size && trackZ.size() == size) {
        for (std::size_t f = 0; f < size; ++f) {
            placedRoot_[f] = {trackX[f], trackZ[f]};
        }
        rootStaleFirst_ = frameCount;
        rootStaleLast_ = -1;
    }
    placeRoots();
}

// The frames whose curve point moves when control points [first, last] do: those of the segments
// whose four points include one of them (Catmull-Rom, the ends repeating the first and last
// point), found by the frame-to-parameter mapping, which rises with the frame.
void PathEdit::framesOfPoints(int first, int last, int& firstFrame, int& lastFrame) const {
    const int frameCount = motion_.frameCount();
    const int segments = curve().pointCount() - 1;
    const double from = static_cast<double>(std::max(0, first - 2)) / segments;
    const double to = static_cast<double>(std::min(segments, last + 2)) / segments;
    const auto firstAtOrAbove = [&](double t) {
        int lo = 0;
        int hi = frameCount;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (path_.frameParameter(mid, frameCount) < t) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        return lo;
    };
    firstFrame = std::max(0, firstAtOrAbove(from) - 1);
    lastFrame = std::min(frameCount - 1, firstAtOrAbove(to));
}

void PathEdit::followPath() {
    if (!hasBaseline()) {
        return;
    }
    // Only the frames the moved points reach are worked out again (a drag moves a few).
    const ControlCurve& curve = this->curve();
    int firstPoint = curve.pointCount();
    int lastPoint = -1;
    for (int k = 0; k < curve.pointCount(); ++k) {
        CurvePoint p;
        curve.getPoint(k, p);
        CurvePoint& was = followedPoints_[static_cast<std::size_t>(k)];
        if (p.x != was.x || p.z != was.z) {
            firstPoint = std::min(firstPoint, k);
            lastPoint = k;
            was = p;
        }
    }
    if (lastPoint < 0 && wholeTurn_ == followedTurn_) {
        return;
    }
    int first = 0;
    int last = -1;
    if (lastPoint >= 0) {
        framesOfPoints(firstPoint, lastPoint, first, last);
    }
    const int frameCount = motion_.frameCount();
    runInHalves(last - first + 1, kSplitFrames, [&](int from, int to, int) {
        for (int f = first + from; f < first + to; ++f) {
            curve.evaluate(path_.frameParameter(f, frameCount),
                           pathPoints_[static_cast<std::size_t>(f)]);
        }
    });
    const HeadingChords& chords = baseline_.chords;
    std::swap(heading_, headingBefore_);
    if (wholeTurn_ == 0.0) {
        // Turns measured under a whole turn describe other points: all are measured again.
        const bool turned = followedTurn_ != 0.0;
        measureTurns(chords, pathPoints_, turned ? 0 : first - chords.reach,
                     turned ? motion_.frameCount() - 1 : last + chords.reach, turns_);
        addedHeadings(chords, turns_, framesPerSecond(motion_), heading_, headingWork_);
    } else {
        heading_ = turnedHeadings(chords, pathPoints_, framesPerSecond(motion_), wholeTurn_);
    }
    followedTurn_ = wholeTurn_;
    // A frame the edit leaves where it was is placed as the file places it, to the bit; a frame
    // whose placement changed leaves its block's bounds to be measured again.
    for (std::size_t f = 0; f < placed_.size(); ++f) {
        const CurvePoint& now = pathPoints_[f];
        const CurvePoint& fitted = fittedPoints_[f];
        const bool placed = now.x != fitted.x || now.z != fitted.z || heading_[f] != 0.0;
        placed_[f] = placed ? 1 : 0;
        if (heading_[f] != headingBefore_[f] ||
            (static_cast<int>(f) >= first && static_cast<int>(f) <= last)) {
            staleBlocks_[f / static_cast<std::size_t>(Motion::kGroundBlock)] = 1;
            rootStaleFirst_ = std::min(rootStaleFirst_, static_cast<int>(f));
            rootStaleLast_ = std::max(rootStaleLast_, static_cast<int>(f));
        }
    }
}

void PathEdit::placeRoots() {
    const int first = std::max(0, rootStaleFirst_);
    const int last = std::min(rootStaleLast_, static_cast<int>(placedRoot_.size()) - 1);
    runInHalves(last - first + 1, kSplitFrames, [&](int from, int to, int) {
        for (int f = first + from; f < first + to; ++f) {
            const std::optional<RootPlacement> placed = placement(f);
            float x = 0.0f;
            float z = 0.0f;
            if (placedRootOnGround(motion_, f, placed ? &*placed : nullptr, x, z)) {
                placedRoot_[static_cast<std::size_t>(f)] = {x, z};
            }
        }
    });
    rootStaleFirst_ = static_cast<int>(placedRoot_.size());
    rootStaleLast_ = -1;
}
