// The load's measuring sweep: every joint position of every frame, as poseFrame's MeasureRaw
// pass gives it, for the bounds, the root's ground track, the frame-0 extents and the root-relative
// cache. It poses with what positions need (3x4 transforms, each joint's constant part prepared
// once, the rotations of leaves left out) four frames at a time in SIMD lanes, doing the pose's
// float operations in the pose's order, so that every position is bit for bit the pose's. Its
// work grows with the file rather than with joints times frames: a rigid cloud (rigid_cloud.h)
// is measured through its anchor, once where the anchor never moves, and a motion without
// channels, whose frames are all one pose, is posed once.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <vector>

#include "motion/frame_lanes.h"
#include "motion/motion.h"
#include "motion/progress.h"
#include "motion/transform_ops.h"
#include "numeric/run_in_halves.h"

namespace {

// Frames x joints up to which the load keeps every joint's root-relative ground position for
// refreshBounds (16M entries, 128 MB); beyond it refreshBounds poses every joint again.
constexpr std::size_t kMaxRootRelativeEntries = std::size_t{1} << 24;
// Frames from which the sweep is split between two threads; below it a thread costs more than
// it saves.
constexpr int kSplitFrames = 2048;
// Frames between two looks at the progress (a report, and whether to stop).
constexpr int kCheckFrames = 4096;

// An affine transform as the first three rows of a column-major 4x4: r holds the rotation
// columns (x, y, z axes), t the translation.
struct Affine {
    std::array<float, 9> r;
    std::array<float, 3> t;
};

// rotateAboutSinCos of transform_ops.h on the three rows that positions depend on, each value
// computed by the same expression in the same order as there.
inline void mixColumns(Affine& m, int a, int b, float s, float c) {
    float* ca = &m.r[static_cast<std::size_t>(a) * 3];
    float* cb = &m.r[static_cast<std::size_t>(b) * 3];
    for (int row = 0; row < 3; ++row) {
        const float ma = ca[row];
        const float mb = cb[row];
        ca[row] = c * ma + s * mb;
        cb[row] = c * mb - s * ma;
    }
}

// The two columns a rotation about x, y or z mixes, in rotateAboutSinCos's order.
constexpr int kMixed[3][2] = {{1, 2}, {2, 0}, {0, 1}};

// What one posed joint's pose takes from the frame, prepared once for the sweep.
struct JointPlan {
    int parent;                   // the parent's index in the plan, -1 for a top-level joint
    std::array<float, 3> offset;  // the base offset as the pose translates by it
    int firstMove;                // its position steps: [firstMove, lastMove) of the plan's moves
    int lastMove;
    int firstTurn;  // its rotation steps: [firstTurn, lastTurn) of the plan's turns
    int lastTurn;
    bool hasChildren;  // whose rotation the children read
};

struct Step {
    int column;
    int axis;  // 0 = x, 1 = y, 2 = z
};

// A rigid cloud as the sweep measures it: from its anchor's pose, in every frame or, where the
// anchor never moves (it and every joint above it without channels), in frame 0 alone.
struct CloudPlan {
    const RigidCloud* cloud;
    int anchor;  // the anchor's index in the plan
    bool still;
    int top;  // the index in the plan of the top-level joint above the anchor
};

// The motion's posed joints (Motion::posedJoints, in that order) and its clouds.
struct SweepPlan {
    std::vector<JointPlan> joints;
    std::vector<Step> moves;
    std::vector<Step> turns;  // every turn of every joint, in the order the sweep applies them
    // The constant start of each top-level joint: its base offset and, in a Z-up file, the turn
    // upright after it.
    std::vector<Affine> starts;
    std::vector<CloudPlan> clouds;
};

Affine identityAffine() {
    return Affine{{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, 0.0f}};
}

SweepPlan planSweep(const Motion& motion) {
    SweepPlan plan;
    const std::vector<int>& posed = motion.posedJoints();
    const std::size_t count = posed.size();
    plan.joints.resize(count);
    plan.starts.resize(count, identityAffine());
    std::vector<int> planIndex(motion.joints().size(), -1);
    std::vector<char> still(count);
    std::vector<int> top(count);
    const std::vector<Motion::ChannelStep>& steps = motion.channelSteps();
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t j = static_cast<std::size_t>(posed[k]);
        planIndex[j] = static_cast<int>(k);
        JointPlan& joint = plan.joints[k];
        const int parent = motion.parentIndex()[j];
        joint.parent = parent < 0 ? -1 : planIndex[static_cast<std::size_t>(parent)];
        still[k] = motion.joints()[j]->channelCount() == 0 &&
                   (joint.parent < 0 || still[static_cast<std::size_t>(joint.parent)]);
        top[k] =
            joint.parent < 0 ? static_cast<int>(k) : top[static_cast<std::size_t>(joint.parent)];
        const std::array<float, 3>& offset = motion.baseOffset(j);
        const bool upright = motion.upAxis() == UpAxis::Z && joint.parent < 0;
        joint.offset = upright ? std::array<float, 3>{offset[0], offset[2], -offset[1]} : offset;
        if (joint.parent < 0) {
            Affine& start = plan.starts[k];
            for (int i = 0; i < 3; ++i) {
                start.t[i] = start.r[i] * joint.offset[0] + start.r[i + 3] * joint.offset[1] +
                             start.r[i + 6] * joint.offset[2] + start.t[i];
            }
            if (upright) {
                float s;
                float c;
                rotationSinCos(-90.0f, s, c);
                mixColumns(plan.starts[k], kMixed[0][0], kMixed[0][1], s, c);
            }
        }
        // A leaf's rotations turn nothing whose position is measured.
        joint.hasChildren = motion.joints()[j]->firstChild() != nullptr;
        const bool turns = joint.hasChildren;
        joint.firstMove = static_cast<int>(plan.moves.size());
        joint.firstTurn = static_cast<int>(plan.turns.size());
        for (int k = motion.stepStart()[j]; k < motion.stepStart()[j + 1]; ++k) {
            const Motion::ChannelStep step = steps[static_cast<std::size_t>(k)];
            if (step.type < Xrotation) {
                plan.moves.push_back({step.column, step.type});
            } else if (turns) {
                plan.turns.push_back({step.column, step.type - Xrotation});
            }
        }
        joint.lastMove = static_cast<int>(plan.moves.size());
        joint.lastTurn = static_cast<int>(plan.turns.size());
    }
    for (const RigidCloud& cloud : motion.rigidClouds()) {
        const int anchor = planIndex[static_cast<std::size_t>(cloud.anchor())];
        const std::size_t at = static_cast<std::size_t>(anchor);
        plan.clouds.push_back({&cloud, anchor, still[at] != 0, top[at]});
    }
    return plan;
}

// Frames [first, last) with their own bounds, so that two shares can run side by side and be
// merged in any order with the same result.
struct MeasureShare {
    int first = 0;
    int last = 0;
    Bounds bounds = resetBounds();
    std::vector<Bounds> blocks;  // per block of Motion::kGroundBlock frames, the share's own
    Bounds firstFrameBounds = resetBounds();
    float poison = 0.0f;
    bool stopped = false;
};

// Where the shares stand, for the progress report; one share reports for both, on the thread
// that runs the load.
struct SweepProgress {
    Progress* progress = nullptr;
    double from = 0.0;
    double to = 1.0;
    int frameCount = 0;
    std::atomic<int> framesDone{0};
};

// Counts `frames` more as measured and reports them if `reports`; false once cancelled.
bool checkIn(SweepProgress& sweep, int frames, bool reports) {
    if (sweep.progress == nullptr) {
        return true;
    }
    const int done = sweep.framesDone.fetch_add(frames) + frames;
    if (reports) {
        sweep.progress->report(sweep.from + (sweep.to - sweep.from) * done / sweep.frameCount);
    }
    return !sweep.progress->cancelled();
}

// One transform per lane: the rotation columns and the translation, as in Affine.
struct LaneAffine {
    Lanes r[9];
    Lanes t[3];
};

LaneAffine lanesOf(const Affine& m) {
    LaneAffine lanes;
    for (int i = 0; i < 9; ++i) {
        lanes.r[i] = Lanes{} + m.r[static_cast<std::size_t>(i)];
    }
    for (int i = 0; i < 3; ++i) {
        lanes.t[i] = Lanes{} + m.t[static_cast<std::size_t>(i)];
    }
    return lanes;
}

Lanes gather(const float* const rows[kFrameLanes], int column) {
    return Lanes{rows[0][column], rows[1][column], rows[2][column], rows[3][column]};
}

// The bounds of each lane's positions, kept as std::max and std::min keep them.
struct LaneBounds {
    Lanes high[3];
    Lanes low[3];

    LaneBounds() {
        const Bounds reset = resetBounds();
        for (int axis = 0; axis < 3; ++axis) {
            high[axis] = Lanes{} + reset[static_cast<std::size_t>(2 * axis)];
            low[axis] = Lanes{} + reset[static_cast<std::size_t>(2 * axis + 1)];
        }
    }
    void grow(const Lanes p[3]) {
        for (int axis = 0; axis < 3; ++axis) {
            high[axis] = high[axis] < p[axis] ? p[axis] : high[axis];
            low[axis] = p[axis] < low[axis] ? p[axis] : low[axis];
        }
    }
    void mergeLane(int lane, Bounds& into) const {
        for (int axis = 0; axis < 3; ++axis) {
            const std::size_t k = static_cast<std::size_t>(2 * axis);
            into[k] = std::max(into[k], high[axis][lane]);
            into[k + 1] = std::min(into[k + 1], low[axis][lane]);
        }
    }
};

// The sines and cosines of every turn of four rows, one per lane: turn k of lane l at
// k * kFrameLanes + l.
using SinCosTurns = void (*)(const std::vector<Step>& turns, const float* const rows[kFrameLanes],
                             float* sines, float* cosines);

void sinCosTurns(const std::vector<Step>& turns, const float* const rows[kFrameLanes], float* sines,
                 float* cosines) {
    for (std::size_t k = 0; k < turns.size(); ++k) {
        for (std::size_t lane = 0; lane < kFrameLanes; ++lane) {
            const std::size_t at = k * kFrameLanes + lane;
            rotationSinCos(rows[lane][turns[k].column], sines[at], cosines[at]);
        }
    }
}

#if defined(__x86_64__) || defined(__i386__)
// The same, four angles at a time in AVX2's registers of four doubles: about half the time, and
// this is most of the sweep's work. (Eight at a time with AVX-512 was slower in the sweep, though
// faster alone.)
__attribute__((target("avx2"))) void sinCosTurnsAvx2(const std::vector<Step>& turns,
                                                     const float* const rows[kFrameLanes],
                                                     float* sines, float* cosines) {
    for (std::size_t k = 0; k < turns.size(); ++k) {
        Lanes s;
        Lanes c;
        rotationSinCosLanes(gather(rows, turns[k].column), s, c);
        std::memcpy(sines + k * kFrameLanes, &s, sizeof s);
        std::memcpy(cosines + k * kFrameLanes, &c, sizeof c);
    }
}
#endif

SinCosTurns chooseSinCosTurns() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx2")) {
        return sinCosTurnsAvx2;
    }
#endif
    return sinCosTurns;
}

// Poses four rows, one per lane, into `pose`: the sines and cosines of every turn first (most
// of the work, and independent of each other), then the joints in order.
class LanePoser {
  public:
    explicit LanePoser(const SweepPlan& plan)
        : plan_(plan),
          pose_(plan.joints.size()),
          sines_(plan.turns.size() * kFrameLanes),
          cosines_(plan.turns.size() * kFrameLanes) {
        for (std::size_t j = 0; j < plan.joints.size(); ++j) {
            starts_.push_back(lanesOf(plan.starts[j]));
        }
    }

    const std::vector<LaneAffine>& pose(const float* const rows[kFrameLanes]) {
        sinCosTurns_(plan_.turns, rows, sines_.data(), cosines_.data());
        for (std::size_t j = 0; j < plan_.joints.size(); ++j) {
            poseJoint(j, rows);
        }
        return pose_;
    }

  private:
    void poseJoint(std::size_t j, const float* const rows[kFrameLanes]) {
        const JointPlan& joint = plan_.joints[j];
        LaneAffine& m = pose_[j];
        // The rotation that the joint's translations move along: its parent's, or its start's.
        const Lanes* r;
        if (joint.parent < 0) {
            m = starts_[j];
            r = m.r;
        } else {
            const LaneAffine& parent = pose_[static_cast<std::size_t>(joint.parent)];
            r = parent.r;
            const std::array<float, 3>& o = joint.offset;
            for (int i = 0; i < 3; ++i) {
                m.t[i] = r[i] * o[0] + r[i + 3] * o[1] + r[i + 6] * o[2] + parent.t[i];
            }
            // Only the parent's rotation and this translation matter to a joint that does not
            // turn; a leaf's own rotation is never read.
            if (joint.hasChildren) {
                std::copy(parent.r, parent.r + 9, m.r);
            }
        }
        for (int k = joint.firstMove; k < joint.lastMove; ++k) {
            const Step step = plan_.moves[static_cast<std::size_t>(k)];
            const Lanes v = gather(rows, step.column);
            const Lanes* axis = r + 3 * step.axis;
            for (int i = 0; i < 3; ++i) {
                m.t[i] = axis[i] * v + m.t[i];
            }
        }
        for (int k = joint.firstTurn; k < joint.lastTurn; ++k) {
            const std::size_t at = static_cast<std::size_t>(k);
            Lanes s;
            Lanes c;
            std::memcpy(&s, &sines_[at * kFrameLanes], sizeof s);
            std::memcpy(&c, &cosines_[at * kFrameLanes], sizeof c);
            Lanes* ca = m.r + 3 * kMixed[plan_.turns[at].axis][0];
            Lanes* cb = m.r + 3 * kMixed[plan_.turns[at].axis][1];
            for (int i = 0; i < 3; ++i) {
                const Lanes ma = ca[i];
                const Lanes mb = cb[i];
                ca[i] = c * ma + s * mb;
                cb[i] = c * mb - s * ma;
            }
        }
    }

    const SweepPlan& plan_;
    const SinCosTurns sinCosTurns_ = chooseSinCosTurns();
    std::vector<LaneAffine> starts_;
    std::vector<LaneAffine> pose_;
    std::vector<float> sines_;  // turn k of lane l at k * kFrameLanes + l
    std::vector<float> cosines_;
};

// Grows each lane's bounds by the cloud hanging from `anchor` (lanes from `used` on repeat the
// last used one) and returns zero times the extremes, as the poison of measureShare.
Lanes growByCloud(const RigidCloud& cloud, const LaneAffine& anchor, int used, LaneBounds& bounds) {
    Lanes high[3];
    Lanes low[3];
    for (int lane = 0; lane < kFrameLanes; ++lane) {
        const int from = std::min(lane, used - 1);
        for (int axis = 0; axis < 3; ++axis) {
            // Along the axis, a point p of the cloud lies at t + r * p, r the rotation's row.
            const std::array<double, 3> row = {anchor.r[axis][from], anchor.r[axis + 3][from],
                                               anchor.r[axis + 6][from]};
            const double t = anchor.t[axis][from];
            high[axis][lane] = static_cast<float>(t + cloud.farthest(row));
            low[axis][lane] = static_cast<float>(t - cloud.farthest({-row[0], -row[1], -row[2]}));
        }
    }
    bounds.grow(high);
    bounds.grow(low);
    Lanes poison = {};
    for (int axis = 0; axis < 3; ++axis) {
        poison += 0.0f * high[axis] + 0.0f * low[axis];
    }
    return poison;
}

// Writes only the share's own frames of the root's track and of the root-relative cache, whose
// joints are the plan's.
void measureShare(const Motion& motion, const SweepPlan& plan, MeasureShare& share,
                  SweepProgress& sweep, bool reports, float* trackX, float* trackZ,
                  float* relative) {
    const std::size_t jointCount = plan.joints.size();
    const FrameTable& frames = *motion.frames();
    LanePoser poser(plan);
    // The bounds of the block the frames are in (none: -1), handed to it when the next block
    // begins; a group of frames across two blocks hands each frame to its own.
    LaneBounds bounds;
    int block = -1;
    const auto handOver = [&] {
        for (int lane = 0; block >= 0 && lane < kFrameLanes; ++lane) {
            bounds.mergeLane(lane, share.blocks[static_cast<std::size_t>(block)]);
        }
        bounds = LaneBounds();
        block = -1;
    };
    // Zero times a position is zero unless the position is NaN or infinite; bounds alone would
    // not tell, since a NaN never wins a comparison.
    Lanes poison = {};
    for (int f = share.first; f < share.last; f += kFrameLanes) {
        const int checked = f - share.first;
        if (checked % kCheckFrames == 0 &&
            !checkIn(sweep, checked > 0 ? kCheckFrames : 0, reports)) {
            share.stopped = true;
            return;
        }
        // Lanes past the share's end repeat its last frame, which changes no bound.
        const int used = std::min(kFrameLanes, share.last - f);
        const float* rows[kFrameLanes];
        for (int lane = 0; lane < kFrameLanes; ++lane) {
            rows[lane] = frames.row(f + std::min(lane, used - 1));
        }
        const std::vector<LaneAffine>& pose = poser.pose(rows);
        const LaneAffine& root = pose.front();
        const int firstBlock = f / Motion::kGroundBlock;
        const bool across = (f + used - 1) / Motion::kGroundBlock != firstBlock;
        if (firstBlock != block || across) {
            handOver();
        }
        block = firstBlock;
        for (const CloudPlan& cloud : plan.clouds) {
            if (!cloud.still || f == 0) {
                poison += growByCloud(*cloud.cloud, pose[static_cast<std::size_t>(cloud.anchor)],
                                      cloud.still ? 1 : used, bounds);
            }
        }
        for (std::size_t j = 0; j < jointCount; ++j) {
            const Lanes* t = pose[j].t;
            bounds.grow(t);
            poison += 0.0f * t[0] + 0.0f * t[1] + 0.0f * t[2];
            if (relative != nullptr) {
                const Lanes x = t[0] - root.t[0];
                const Lanes z = t[2] - root.t[2];
                for (int lane = 0; lane < used; ++lane) {
                    float* out =
                        relative + 2 * (jointCount * static_cast<std::size_t>(f + lane) + j);
                    out[0] = x[lane];
                    out[1] = z[lane];
                }
            }
        }
        for (int lane = 0; lane < used; ++lane) {
            trackX[f + lane] = root.t[0][lane];
            trackZ[f + lane] = root.t[2][lane];
        }
        if (f == 0) {
            // Lane 0 has seen frame 0 alone.
            bounds.mergeLane(0, share.firstFrameBounds);
        }
        if (across) {
            for (int lane = 0; lane < used; ++lane) {
                bounds.mergeLane(
                    lane,
                    share.blocks[static_cast<std::size_t>((f + lane) / Motion::kGroundBlock)]);
            }
            bounds = LaneBounds();
            block = -1;
        }
    }
    handOver();
    for (int lane = 0; lane < kFrameLanes; ++lane) {
        share.poison += poison[lane];
    }
}

void merge(Bounds& into, const Bounds& from) {
    for (int axis = 0; axis < 3; ++axis) {
        into[2 * axis] = std::max(into[2 * axis], from[2 * axis]);
        into[2 * axis + 1] = std::min(into[2 * axis + 1], from[2 * axis + 1]);
    }
}

bool singleTree(const Motion& motion) {
    const std::vector<int>& parents = motion.parentIndex();
    return std::count(parents.begin(), parents.end(), -1) == 1;
}

}  // namespace

bool Motion::measure(Progress* progress, double from, double to) {
    if (!poseable()) {
        return false;
    }
    const int frameCount = this->frameCount();
    // Without channels every frame is the same pose: the first is measured for all.
    const int measured = frames_->channelCount() == 0 ? 1 : frameCount;
    const std::size_t jointCount = joints_.size();
    // The cache holds every joint, so a rigid cloud's members, which the sweep does not pose,
    // leave it out.
    const bool keepRelative =
        singleTree(*this) && rigidClouds_.empty() &&
        jointCount * static_cast<std::size_t>(frameCount) <= kMaxRootRelativeEntries;
    rootRelativeXZ_.clear();
    if (keepRelative) {
        rootRelativeXZ_.resize(2 * jointCount * static_cast<std::size_t>(frameCount));
    }
    float* relative = keepRelative ? rootRelativeXZ_.data() : nullptr;
    rootTrackX_.resize(static_cast<std::size_t>(frameCount));
    rootTrackZ_.resize(static_cast<std::size_t>(frameCount));
    const SweepPlan plan = planSweep(*this);
    SweepProgress sweep;
    sweep.progress = progress;
    sweep.from = from;
    sweep.to = to;
    sweep.frameCount = measured;

    // Every frame is measured on its own, so the sweep splits into two halves; the second runs on
    // the other core when there is one. The first reports the progress of both.
    MeasureShare shares[2];
    // Frames beyond those measured pose as the first (a motion without channels), so their
    // blocks take no bounds of their own.
    const std::size_t blocks =
        static_cast<std::size_t>((frameCount + kGroundBlock - 1) / kGroundBlock);
    runInHalves(measured, kSplitFrames, [&](int first, int last, int half) {
        shares[half].first = first;
        shares[half].last = last;
        shares[half].blocks.assign(blocks, resetBounds());
        measureShare(*this, plan, shares[half], sweep, half == 0, rootTrackX_.data(),
                     rootTrackZ_.data(), relative);
    });
    if (shares[0].stopped || shares[1].stopped) {
        return false;
    }
    std::fill(rootTrackX_.begin() + measured, rootTrackX_.end(), rootTrackX_.front());
    std::fill(rootTrackZ_.begin() + measured, rootTrackZ_.end(), rootTrackZ_.front());
    if (relative != nullptr) {
        for (int f = measured; f < frameCount; ++f) {
            std::copy_n(relative, 2 * jointCount, relative + 2 * jointCount * f);
        }
    }

    // An anchor that never moves turns as its top-level joint's start does, in every frame.
    for (std::size_t i = 0; i < plan.clouds.size(); ++i) {
        if (plan.clouds[i].still) {
            const std::array<float, 9>& r =
                plan.starts[static_cast<std::size_t>(plan.clouds[i].top)].r;
            rigidClouds_[i].setGroundOutline(
                {{{r[0], r[3], r[6]}, {r[1], r[4], r[7]}, {r[2], r[5], r[8]}}});
        }
    }

    // Only the share that began at frame 0 holds its bounds; the other's are still reset.
    Bounds firstPose = motionBounds_;
    merge(firstPose, shares[0].firstFrameBounds);
    merge(firstPose, shares[1].firstFrameBounds);
    height_ = firstPose[MaxY] - firstPose[MinY];
    width_ = firstPose[MaxX] - firstPose[MinX];
    depth_ = firstPose[MaxZ] - firstPose[MinZ];
    groundBlocks_.assign(blocks, resetBounds());
    for (std::size_t b = 0; b < blocks; ++b) {
        for (const MeasureShare& share : shares) {
            if (!share.blocks.empty()) {
                merge(groundBlocks_[b], share.blocks[b]);
            }
        }
        merge(motionBounds_, groundBlocks_[b]);
    }
    return shares[0].poison == 0.0f && shares[1].poison == 0.0f;
}
