#include "document/path_edit.h"

#include <cstddef>

namespace {

// Joint poses (frames x joints) up to which the planted legs are solved again on every move of
// a drag (a few milliseconds); longer motions keep the legs of the path the drag began with
// until it ends.
constexpr std::size_t kLiveReplantPoses = std::size_t{1} << 18;

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
    return e;
}

bool PathEdit::pose(int frame, PosePass pass, Pose& pose) const {
    const std::optional<RootPlacement> placed =
        isEditedPass(pass) ? placement(frame) : std::optional<RootPlacement>();
    return poseFrame(motion_, frame, pass, placed ? &*placed : nullptr,
                     planting_.empty() ? nullptr : &planting_, pose);
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

void PathEdit::refresh(const Bounds* known) {
    followPath();
    if (known != nullptr) {
        bounds_[MaxX] = (*known)[MaxX];
        bounds_[MinX] = (*known)[MinX];
        bounds_[MaxZ] = (*known)[MaxZ];
        bounds_[MinZ] = (*known)[MinZ];
    } else {
        measureGroundBounds();
    }
    replantFeet();
}

void PathEdit::refreshDuringDrag() {
    followPath();
    const std::size_t poses =
        static_cast<std::size_t>(motion_.frameCount()) * motion_.joints().size();
    if (poses <= kLiveReplantPoses) {
        replantFeet();
    }
}

void PathEdit::measureGroundBounds() {
    Bounds ground = resetBounds();
    for (int f = 0; f < motion_.frameCount(); ++f) {
        const std::optional<RootPlacement> placed = placement(f);
        growGroundBounds(motion_, f, placed ? &*placed : nullptr, ground);
    }
    if (motion_.poseable()) {
        bounds_[MaxX] = ground[MaxX];
        bounds_[MinX] = ground[MinX];
        bounds_[MaxZ] = ground[MaxZ];
        bounds_[MinZ] = ground[MinZ];
    }
}
