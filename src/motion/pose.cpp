#include "motion/pose.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <functional>
#include <system_error>
#include <thread>

#include "editing/root_placement.h"
#include "motion/transform_ops.h"

namespace {

// Frames x joints up to which the load keeps every joint's root-relative ground position for
// refreshBounds (16M entries, 128 MB); beyond it refreshBounds poses every joint again.
constexpr std::size_t kMaxRootRelativeEntries = std::size_t{1} << 24;

bool isEditedPass(PosePass pass) {
    return pass != PosePass::RecordRaw && pass != PosePass::MeasureRaw;
}

bool isLiftedPass(PosePass pass) {
    return pass != PosePass::MeasureRaw && pass != PosePass::MeasureEdited;
}

// The lift puts the lowest joint of the whole motion on y = 0; before any measuring (bounds
// still reset) there is nothing to lift by.
float liftOf(const Motion& motion) {
    const float minY = motion.motionBounds()[MinY];
    return minY <= motion.motionBounds()[MaxY] ? -minY : 0.0f;
}

void grow(Bounds& bounds, float x, float y, float z) {
    bounds[MaxX] = std::max(bounds[MaxX], x);
    bounds[MinX] = std::min(bounds[MinX], x);
    bounds[MaxY] = std::max(bounds[MaxY], y);
    bounds[MinY] = std::min(bounds[MinY], y);
    bounds[MaxZ] = std::max(bounds[MaxZ], z);
    bounds[MinZ] = std::min(bounds[MinZ], z);
}

void growGround(Bounds& bounds, float x, float z) {
    bounds[MaxX] = std::max(bounds[MaxX], x);
    bounds[MinX] = std::min(bounds[MinX], x);
    bounds[MaxZ] = std::max(bounds[MaxZ], z);
    bounds[MinZ] = std::min(bounds[MinZ], z);
}

// The root's placement on the edited path at a frame; null when the motion has no baseline
// (it was not loaded through load), in which case the edited passes place the root as the file
// does.
const RootPlacement* editedPlacement(const Motion& motion, int frame, RootPlacement& storage) {
    if (!motion.hasBaseline()) {
        return nullptr;
    }
    const std::size_t f = static_cast<std::size_t>(frame);
    const Baseline& b = motion.baseline();
    storage = placeRoot(*motion.rootPath(), frame, motion.frameCount(), b.offsetX[f], b.offsetZ[f],
                        b.tangentX[f], b.tangentZ[f], b.turnWeight[f]);
    return &storage;
}

// The file's vertical axis: the root's position channel along it is the one an edited path
// keeps.
ChannelType verticalChannel(const Motion& motion) {
    return motion.upAxis() == UpAxis::Z ? Zposition : Yposition;
}

// Multiplies in joint j's own part of the pose: its base offset; then its translations or, for
// the root on an edited path, the placement and its vertical positions only; then its rotations
// in file order, left out when !turns. row is the frame's row of values. A top-level joint of a
// Z-up file is turned upright (file z to display y) after its OFFSET and placement, which are
// in display space, so the edit works in the file's own ground plane; !upright leaves the file's
// axes as they are.
void applyJoint(const Motion& motion, std::size_t j, const float* row,
                const RootPlacement* placement, bool turns, Transform& m, bool upright = true) {
    const std::array<float, 3>& offset = motion.baseOffset(j);
    const bool turnUpright = upright && motion.upAxis() == UpAxis::Z && motion.parentIndex()[j] < 0;
    if (turnUpright) {
        translateBy(m, offset[0], offset[2], -offset[1]);
    } else {
        translateBy(m, offset[0], offset[1], offset[2]);
    }
    if (placement != nullptr) {
        translateBy(m, static_cast<float>(placement->pathX), 0.0f,
                    static_cast<float>(placement->pathZ));
        rotateAbout(m, 1, static_cast<float>(placement->headingDegrees));
        translateBy(m, static_cast<float>(placement->backX), 0.0f,
                    static_cast<float>(placement->backZ));
    }
    if (turnUpright) {
        rotateAbout(m, 0, -90.0f);
    }
    const ChannelType vertical = verticalChannel(motion);
    const std::vector<Motion::ChannelStep>& steps = motion.channelSteps();
    const std::vector<int>& stepStart = motion.stepStart();
    for (int k = stepStart[j]; k < stepStart[j + 1]; ++k) {
        const Motion::ChannelStep step = steps[static_cast<std::size_t>(k)];
        if (step.type >= Xrotation) {
            if (!turns) {
                break;  // rotations come last
            }
            rotateAbout(m, step.type - Xrotation, row[step.column]);
        } else if (placement == nullptr || step.type == vertical) {
            translateAlong(m, step.type, row[step.column]);
        }
    }
}

// Poses every joint of one frame in joints() order: a parent always precedes its children, so
// one forward sweep replaces the recursive traversal. The placement, if any, is the root's.
// With positionsOnly the rotations of joints without children are left out: they turn nothing
// whose position is measured, so only those joints' orientations differ from a full pose.
// row, when given, holds the frame's values in place of the table's.
void poseJoints(const Motion& motion, int frame, const RootPlacement* placement, float lift,
                std::vector<Transform>& out, bool positionsOnly = false, bool upright = true,
                const float* row = nullptr) {
    const std::vector<Joint*>& joints = motion.joints();
    const std::vector<int>& parents = motion.parentIndex();
    if (row == nullptr) {
        row = motion.frames()->row(frame);
    }
    const std::size_t count = joints.size();
    Transform base = identityTransform();
    base[13] = lift;
    out.resize(count);
    for (std::size_t j = 0; j < count; ++j) {
        const int parent = parents[j];
        Transform& m = out[j];
        m = parent < 0 ? base : out[static_cast<std::size_t>(parent)];
        const bool turns = !positionsOnly || joints[j]->firstChild() != nullptr;
        applyJoint(motion, j, row, j == 0 ? placement : nullptr, turns, m, upright);
    }
}

bool singleTree(const Motion& motion) {
    const std::vector<int>& parents = motion.parentIndex();
    return std::count(parents.begin(), parents.end(), -1) == 1;
}

}  // namespace

bool poseFrame(const Motion& motion, int frame, PosePass pass, Pose& pose) {
    // A frame outside the table is a caller's slip; posing nothing is safer than reading past it.
    if (pass == PosePass::DrawPath || !motion.poseable() || frame < 0 ||
        frame >= motion.frameCount()) {
        pose.transforms.clear();
        pose.bounds = resetBounds();
        return false;
    }
    RootPlacement storage;
    const RootPlacement* placement =
        isEditedPass(pass) ? editedPlacement(motion, frame, storage) : nullptr;
    const float lift = isLiftedPass(pass) ? liftOf(motion) : 0.0f;
    const FootPlanting& planting = motion.planting();
    if (isEditedPass(pass) && !planting.empty()) {
        // Planted feet: the legs' replaced values, and the root lowered where a leg fell short.
        thread_local std::vector<float> row;
        const float* own = motion.frames()->row(frame);
        row.assign(own, own + motion.frames()->channelCount());
        planting.apply(frame, row.data());
        poseJoints(motion, frame, placement,
                   lift - planting.rootDrop[static_cast<std::size_t>(frame)], pose.transforms,
                   false, true, row.data());
    } else {
        poseJoints(motion, frame, placement, lift, pose.transforms);
    }
    pose.bounds = resetBounds();
    for (const Transform& m : pose.transforms) {
        grow(pose.bounds, m[12], m[13], m[14]);
    }
    return true;
}

bool poseInFileAxes(const Motion& motion, int frame, Pose& pose) {
    if (!motion.poseable() || frame < 0 || frame >= motion.frameCount()) {
        pose.transforms.clear();
        pose.bounds = resetBounds();
        return false;
    }
    poseJoints(motion, frame, nullptr, 0.0f, pose.transforms, false, false);
    pose.bounds = resetBounds();
    for (const Transform& m : pose.transforms) {
        grow(pose.bounds, m[12], m[13], m[14]);
    }
    return true;
}

namespace {

// One share of the load's measuring sweep: frames [first, last) with their own bounds, so two
// shares can run side by side and be merged in any order with the same result.
struct MeasureShare {
    int first = 0;
    int last = 0;
    Bounds bounds = resetBounds();
    Bounds firstFrameBounds = resetBounds();
    float poison = 0.0f;
    std::vector<Transform> pose;
};

// Writes only the share's own rows of the root samples and of the root-relative cache.
void measureShare(const Motion& motion, MeasureShare& share, float* rootSamples, float* relative) {
    const std::size_t jointCount = motion.joints().size();
    Bounds b = share.bounds;
    // Zero times a position is zero unless the position is NaN or infinite; bounds alone would
    // not tell, since a NaN never wins a comparison.
    float poison = 0.0f;
    for (int f = share.first; f < share.last; ++f) {
        poseJoints(motion, f, nullptr, 0.0f, share.pose, true);
        const Transform& root = share.pose.front();
        float* out =
            relative != nullptr ? relative + 2 * jointCount * static_cast<std::size_t>(f) : nullptr;
        for (const Transform& m : share.pose) {
            grow(b, m[12], m[13], m[14]);
            poison += 0.0f * m[12] + 0.0f * m[13] + 0.0f * m[14];
            if (out != nullptr) {
                *out++ = m[12] - root[12];
                *out++ = m[14] - root[14];
            }
        }
        float* sample = rootSamples + 3 * static_cast<std::size_t>(f);
        sample[0] = root[12];
        sample[1] = root[13];
        sample[2] = root[14];
        if (f == 0) {
            share.firstFrameBounds = b;
        }
    }
    share.bounds = b;
    share.poison = poison;
}

void merge(Bounds& into, const Bounds& from) {
    for (int axis = 0; axis < 3; ++axis) {
        into[2 * axis] = std::max(into[2 * axis], from[2 * axis]);
        into[2 * axis + 1] = std::min(into[2 * axis + 1], from[2 * axis + 1]);
    }
}

// Frames from which the measuring sweep is split between two threads; below it a thread costs
// more than it saves.
constexpr int kSplitFrames = 2048;

}  // namespace

bool Motion::measure() {
    if (!poseable()) {
        return false;
    }
    const int frameCount = this->frameCount();
    const std::size_t jointCount = joints_.size();
    const bool keepRelative =
        singleTree(*this) &&
        jointCount * static_cast<std::size_t>(frameCount) <= kMaxRootRelativeEntries;
    rootRelativeXZ_.clear();
    if (keepRelative) {
        rootRelativeXZ_.resize(2 * jointCount * static_cast<std::size_t>(frameCount));
    }
    float* relative = keepRelative ? rootRelativeXZ_.data() : nullptr;
    std::vector<float> rootSamples(3 * static_cast<std::size_t>(frameCount));

    // Every frame is measured on its own, so the sweep splits into two halves; the second runs on
    // the other core when there is one.
    MeasureShare shares[2];
    const bool split = frameCount >= kSplitFrames && std::thread::hardware_concurrency() >= 2;
    shares[0].last = split ? frameCount / 2 : frameCount;
    shares[1].first = shares[0].last;
    shares[1].last = frameCount;
    std::thread helper;
    if (split) {
        try {
            helper = std::thread(measureShare, std::cref(*this), std::ref(shares[1]),
                                 rootSamples.data(), relative);
        } catch (const std::system_error&) {
            // No thread to be had: this thread measures both halves.
        }
    }
    measureShare(*this, shares[0], rootSamples.data(), relative);
    if (helper.joinable()) {
        helper.join();
    } else if (shares[1].first < shares[1].last) {
        measureShare(*this, shares[1], rootSamples.data(), relative);
    }

    Bounds firstPose = motionBounds_;
    merge(firstPose, shares[0].firstFrameBounds);
    height_ = firstPose[MaxY] - firstPose[MinY];
    width_ = firstPose[MaxX] - firstPose[MinX];
    depth_ = firstPose[MaxZ] - firstPose[MinZ];
    merge(motionBounds_, shares[0].bounds);
    merge(motionBounds_, shares[1].bounds);
    if (rootPath_) {
        for (int f = 0; f < frameCount; ++f) {
            const float* sample = rootSamples.data() + 3 * static_cast<std::size_t>(f);
            rootPath_->appendSample(sample[0], sample[1], sample[2]);
        }
    }
    return shares[0].poison == 0.0f && shares[1].poison == 0.0f;
}

void Motion::refreshBounds() {
    if (!poseable()) {
        return;
    }
    const int frameCount = this->frameCount();
    const std::size_t jointCount = joints_.size();
    Bounds& b = motionBounds_;
    const Bounds fresh = resetBounds();
    b[MaxX] = fresh[MaxX];
    b[MinX] = fresh[MinX];
    b[MaxZ] = fresh[MaxZ];
    b[MinZ] = fresh[MinZ];
    const bool cached =
        rootRelativeXZ_.size() == 2 * jointCount * static_cast<std::size_t>(frameCount);
    std::vector<Transform> pose;
    RootPlacement storage;
    for (int f = 0; f < frameCount; ++f) {
        const RootPlacement* placement = editedPlacement(*this, f, storage);
        if (!cached) {
            poseJoints(*this, f, placement, 0.0f, pose, true);
            for (const Transform& m : pose) {
                growGround(b, m[12], m[14]);
            }
            continue;
        }
        // The edit turns the frame's raw pose rigidly about the root by the heading change.
        Transform root = identityTransform();
        applyJoint(*this, 0, frames_->row(f), placement, true, root);
        float s = 0.0f;
        float c = 1.0f;
        if (placement != nullptr) {
            rotationSinCos(static_cast<float>(placement->headingDegrees), s, c);
        }
        const float* rel = rootRelativeXZ_.data() + 2 * jointCount * static_cast<std::size_t>(f);
        for (std::size_t j = 0; j < jointCount; ++j, rel += 2) {
            growGround(b, root[12] + c * rel[0] + s * rel[1], root[14] + c * rel[1] - s * rel[0]);
        }
    }
}

void Motion::restoreGroundBounds(const Bounds& bounds) {
    motionBounds_[MaxX] = bounds[MaxX];
    motionBounds_[MinX] = bounds[MinX];
    motionBounds_[MaxZ] = bounds[MaxZ];
    motionBounds_[MinZ] = bounds[MinZ];
}

void Motion::sizeMarker() {
    // A pose with no extent on some axis gives no sensible scale, so the radius stays as it is.
    if (width_ != 0.0f && height_ != 0.0f && depth_ != 0.0f) {
        markerRadius_ = 0.015f * std::max({width_, height_, depth_});
    }
    if (rootPath_) {
        rootPath_->setHeight(10.0f * markerRadius_);
    }
}

namespace {

// Tangent lengths, as parts of the figure's size, below which the load-time curve gives no
// direction an edit could turn the figure from (a root that barely travels, or a pause), and
// above which it gives one fully; in between the turn is scaled.
constexpr double kStillTangent = 0.02;
constexpr double kMovingTangent = 0.08;
// Frames on each side over which a turn weight spreads: a weight is lowered to the least within
// this reach, then averaged over it, so it never exceeds its own frame's and changes between
// neighbouring frames by at most 1 / (2 * reach + 1) (away from the motion's ends, where the
// reach is cut short).
constexpr int kTurnReach = 25;

double smoothStep(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3.0 - 2.0 * x);
}

// The weight of every frame from the lengths of its load-time tangent, against the figure's
// size (a figure with no extent counts any tangent that is not zero). The lengths become the
// weights in place, with one more array of the motion's length beside them: a long motion's load
// takes little more memory than its baseline.
void turnWeights(std::vector<float>& weights, double figureSize) {
    const int n = static_cast<int>(weights.size());
    const double still = kStillTangent * figureSize;
    const double moving = kMovingTangent * figureSize;
    for (float& w : weights) {
        w = static_cast<float>(figureSize > 0.0 ? smoothStep((w - still) / (moving - still))
                                                : (w > 0.0f ? 1.0 : 0.0));
    }
    // The least within the reach, by a queue of candidates whose weights rise from front to
    // back; then the average over the reach, by a running sum: both in time linear in n.
    std::vector<float> least(weights.size());
    std::deque<int> candidates;
    for (int i = 0, next = 0; i < n; ++i) {
        for (; next < n && next <= i + kTurnReach; ++next) {
            while (!candidates.empty() && weights[static_cast<std::size_t>(candidates.back())] >=
                                              weights[static_cast<std::size_t>(next)]) {
                candidates.pop_back();
            }
            candidates.push_back(next);
        }
        while (candidates.front() < i - kTurnReach) {
            candidates.pop_front();
        }
        least[static_cast<std::size_t>(i)] = weights[static_cast<std::size_t>(candidates.front())];
    }
    double sum = 0.0;
    for (int i = 0; i < std::min(n, kTurnReach); ++i) {
        sum += least[static_cast<std::size_t>(i)];
    }
    for (int i = 0; i < n; ++i) {
        const int first = std::max(0, i - kTurnReach);
        const int last = std::min(n - 1, i + kTurnReach);
        if (i + kTurnReach < n) {
            sum += least[static_cast<std::size_t>(i + kTurnReach)];
        }
        if (i - kTurnReach - 1 >= 0) {
            sum -= least[static_cast<std::size_t>(i - kTurnReach - 1)];
        }
        // A reach of ones averages to one (to float precision), so a travelling figure turns
        // fully.
        weights[static_cast<std::size_t>(i)] =
            static_cast<float>(std::min(1.0, sum / (last - first + 1)));
    }
}

}  // namespace

void Motion::layBaseline() {
    if (!poseable() || !rootPath_ || rootPath_->curve() == nullptr) {
        return;
    }
    const int frameCount = this->frameCount();
    const std::size_t size = static_cast<std::size_t>(frameCount);
    baseline_.offsetX.assign(size, 0.0f);
    baseline_.offsetZ.assign(size, 0.0f);
    baseline_.tangentX.assign(size, 0.0f);
    baseline_.tangentZ.assign(size, 0.0f);
    baseline_.turnWeight.assign(size, 0.0f);  // the tangents' lengths, then their weights
    const ControlCurve& curve = *rootPath_->curve();
    for (int f = 0; f < frameCount; ++f) {
        // Only the root's position channels matter here: the offset is left out so that the
        // placement, which translates by the OFFSET before it, puts the root where the file does.
        // They are turned upright first, as the pose turns them.
        Transform ground = identityTransform();
        if (upAxis_ == UpAxis::Z) {
            rotateAbout(ground, 0, -90.0f);
        }
        const float* row = frames_->row(f);
        for (int i = 0; i < root_->channelCount(); ++i) {
            const ChannelType type = root_->channel(i);
            if (type <= Zposition) {
                translateAlong(ground, type, row[i]);
            }
        }
        const double t = rootPath_->frameParameter(f, frameCount);
        CurvePoint point;
        CurvePoint tangent;
        curve.evaluate(t, point);
        curve.forwardVector(t, tangent);
        const std::size_t i = static_cast<std::size_t>(f);
        baseline_.offsetX[i] = static_cast<float>(point.x - ground[12]);
        baseline_.offsetZ[i] = static_cast<float>(point.z - ground[14]);
        baseline_.tangentX[i] = static_cast<float>(tangent.x);
        baseline_.tangentZ[i] = static_cast<float>(tangent.z);
        baseline_.turnWeight[i] = static_cast<float>(std::hypot(tangent.x, tangent.z));
    }
    turnWeights(baseline_.turnWeight,
                std::max({static_cast<double>(width_), static_cast<double>(height_),
                          static_cast<double>(depth_)}));
}
