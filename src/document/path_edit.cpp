#include "document/path_edit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "numeric/run_in_halves.h"

namespace {

// Joint poses (frames x joints) up to which the planted legs are solved again on every move of
// a drag (a few milliseconds); longer motions keep the legs of the path the drag began with
// until it ends.
constexpr std::size_t kLiveReplantPoses = std::size_t{1} << 18;
// Frames up to which the path's speed follows every move of a drag (about ten milliseconds);
// longer motions show it once the drag ends.
constexpr std::size_t kLiveSpeedFrames = std::size_t{1} << 14;
// Blocks of frames from which the ground bounds are measured on two threads.
constexpr int kSplitBlocks = 8;
// Blocks of frames whose ground bounds one measureStep measures (a few milliseconds).
constexpr std::size_t kStepBlocks = 48;

}  // namespace

PathEdit::PathEdit(const Motion& motion, int blockLength)
    : motion_(motion), bounds_(motion.motionBounds()) {
    const std::vector<float>& x = motion.rootTrackX();
    const std::vector<float>& z = motion.rootTrackZ();
    for (std::size_t f = 0; f < x.size(); ++f) {
        path_.appendSample(x[f], 0.0f, z[f]);
    }
    path_.setBlockLength(blockLength);
    path_.fitCurve();
    path_.setHeight(10.0f * motion.markerRadius());
    layBaseline();
    for (std::size_t f = 1; f < x.size(); ++f) {
        capturedSteps_.push_back(
            std::hypot(static_cast<double>(x[f]) - x[f - 1], static_cast<double>(z[f]) - z[f - 1]));
    }
    pathSpeed_.assign(x.size(), 1.0f);  // unedited, it travels as captured
}

bool PathEdit::hasBaseline() const {
    const std::size_t n = static_cast<std::size_t>(motion_.frameCount());
    return n > 0 && baseline_.offsetX.size() == n && baseline_.offsetZ.size() == n &&
           baseline_.chords.weight.size() == n && pathPoints_.size() == n && heading_.size() == n &&
           placed_.size() == n;
}

std::optional<RootPlacement> PathEdit::placement(int frame) const {
    if (!hasBaseline() || frame < 0 || frame >= motion_.frameCount() ||
        placed_[static_cast<std::size_t>(frame)] == 0) {
        return std::nullopt;
    }
    const std::size_t f = static_cast<std::size_t>(frame);
    // The pose translates by the root's OFFSET before the placement, which puts the root at the
    // edited point plus its turned offset from the fitted one.
    return placeRoot(pathPoints_[f].x - groundOffsetX_, pathPoints_[f].z - groundOffsetZ_,
                     heading_[f], baseline_.offsetX[f], baseline_.offsetZ[f]);
}

EditedMotion PathEdit::unplanted() const {
    return EditedMotion(motion_, [this](int frame) { return placement(frame); });
}

EditedMotion PathEdit::edited() const {
    EditedMotion e = unplanted();
    e.legs = planting_.empty() ? nullptr : &planting_;
    e.times = timing_.get();
    return e;
}

bool PathEdit::pose(int frame, PosePass pass, Pose& pose) const {
    return edited().pose(frame, pass, pose);
}

void PathEdit::select(int index) {
    const bool valid = index >= 0 && index < curve().pointCount();
    if (!valid) {
        selection_.clear();
    } else if (!isSelected(index)) {
        selection_.assign(1, index);
    }
    path_.curve()->select(valid ? index : -1);
}

void PathEdit::setFalloffRadius(float radius) {
    path_.curve()->setFalloffRadius(radius > 0.0f ? radius : 0.0f);
}

void PathEdit::moveSelected(double x, double z) {
    path_.curve()->moveGroup(selection_, x, z);
}

void PathEdit::setPoint(int index, const CurvePoint& p) {
    if (index >= 0 && index < curve().pointCount()) {
        path_.curve()->setPoint(p, index);
    }
}

void PathEdit::refresh(Measures measures) {
    followPath();
    replantFeet();
    if (measures == Measures::AtOnce) {
        measureGroundBounds();
        measureSpeed(true);
        measuresPending_ = speedPending_ = false;
        return;
    }
    // The timing decides which frames are shown, so it cannot wait.
    speedPending_ = !keepSpeed_;
    if (keepSpeed_) {
        measureSpeed(true);
    }
    measuresPending_ = true;
}

bool PathEdit::measureStep() {
    if (!measuresPending_) {
        return true;
    }
    if (!measureGroundBounds(kStepBlocks)) {
        return false;
    }
    // Left only with Keep Speed off, when there is no timing to make: a save or export baking
    // meanwhile reads the timing, never the speed.
    if (speedPending_) {
        measureSpeed(false);
    }
    measuresPending_ = speedPending_ = false;
    return true;
}

void PathEdit::refreshDuringDrag() {
    followPath();
    if (quickToPlant()) {
        replantFeet();
    }
    // Retiming would change the frames under the figure shown while the drag goes on.
    if (static_cast<std::size_t>(motion_.frameCount()) <= kLiveSpeedFrames) {
        measureSpeed(false);
    }
}

bool PathEdit::quickToPlant() const {
    return static_cast<std::size_t>(motion_.frameCount()) * motion_.joints().size() <=
           kLiveReplantPoses;
}

bool PathEdit::measureGroundBounds(std::size_t blocks) {
    if (!motion_.poseable() || blockBounds_.empty()) {
        return true;
    }
    const int frameCount = motion_.frameCount();
    std::vector<std::size_t> stale;
    bool staleLeft = false;
    for (std::size_t b = 0; b < blockBounds_.size(); ++b) {
        if (staleBlocks_[b] != 0) {
            if (stale.size() == blocks) {
                staleLeft = true;
                break;
            }
            stale.push_back(b);
        }
    }
    const bool placesRoots = placedRoot_.size() == static_cast<std::size_t>(frameCount);
    // Each block's bounds are its own, so the stale blocks are shared between two cores.
    runInHalves(static_cast<int>(stale.size()), kSplitBlocks, [&](int from, int to, int) {
        for (int i = from; i < to; ++i) {
            const std::size_t b = stale[static_cast<std::size_t>(i)];
            Bounds& block = blockBounds_[b];
            block = resetBounds();
            const int first = static_cast<int>(b) * Motion::kGroundBlock;
            for (int f = first; f < std::min(frameCount, first + Motion::kGroundBlock); ++f) {
                const std::optional<RootPlacement> placed = placement(f);
                float root[2];
                if (growGroundBounds(motion_, f, placed ? &*placed : nullptr, block, root) &&
                    placesRoots) {
                    placedRoot_[static_cast<std::size_t>(f)] = {root[0], root[1]};
                }
            }
            staleBlocks_[b] = 0;
        }
    });
    if (staleLeft) {
        return false;
    }
    // A frame whose placement changed is in a stale block, so its root has been placed too.
    if (placesRoots) {
        rootStaleFirst_ = frameCount;
        rootStaleLast_ = -1;
    }
    Bounds ground = resetBounds();
    for (std::size_t b = 0; b < blockBounds_.size(); ++b) {
        for (int k : {MaxX, MaxZ}) {
            ground[k] = std::max(ground[k], blockBounds_[b][k]);
            ground[k + 1] = std::min(ground[k + 1], blockBounds_[b][k + 1]);
        }
    }
    bounds_[MaxX] = ground[MaxX];
    bounds_[MinX] = ground[MinX];
    bounds_[MaxZ] = ground[MaxZ];
    bounds_[MinZ] = ground[MinZ];
    return true;
}
