#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "motion/frame_table.h"
#include "motion/joint.h"
#include "motion/reading.h"
#include "motion/result.h"
#include "motion/rigid_cloud.h"
#include "motion/uninitialized_allocator.h"

class Progress;

// Bounds are six floats: max x, min x, max y, min y, max z, min z. A reset bounds set has every
// max at -FLT_MAX and every min at +FLT_MAX.
using Bounds = std::array<float, 6>;
enum BoundIndex { MaxX = 0, MinX = 1, MaxY = 2, MinY = 3, MaxZ = 4, MinZ = 5 };
Bounds resetBounds();

// A joint's world transform: 4x4, column-major (the layout glMultMatrixf takes).
using Transform = std::array<float, 16>;

// One loaded motion: the skeleton, its frames, how they are read, and what is derived once
// from them (bounds, extents, marker size, the root's ground track). Posing never changes it: a
// pose is computed into storage the caller owns (pose.h), and the path edit that places the
// root elsewhere lives beside it (document/path_edit.h). Files are read into a motion and
// written from one at the edge (load_motion.h, save_motion.h).
class Motion {
  public:
    Motion();
    ~Motion();
    Motion(const Motion&) = delete;
    Motion& operator=(const Motion&) = delete;
    // Takes over a prepared motion whole (a load that succeeded).
    Motion(Motion&&) noexcept;
    Motion& operator=(Motion&&) noexcept;

    // Prepares a skeleton and its frames as read: settles the reading (the options set it,
    // or where they leave it open, it is detected), measures every frame (bounds, extents, the
    // root's ground track) and sizes the markers; reports to `progress` from `from` to `to` if
    // given and stops with Progress::kCancelled once it is cancelled. A motion with no frames is
    // refused ("no frames"); on failure this motion is left as it was (running out of memory is a
    // failure like others).
    Result prepare(std::unique_ptr<Joint> root, std::unique_ptr<FrameTable> frames,
                   const LoadOptions& options = LoadOptions(), Progress* progress = nullptr,
                   double from = 0.0, double to = 1.0);
    // Prepares this motion's skeleton and frames again into `into`, as they were read, under the
    // reading the options set (unset fields detected again). On failure `into` is left as it was.
    Result reread(const LoadOptions& options, Motion& into) const;

    // Takes a skeleton and its frames without preparing them (no bounds, extents or track), read
    // y-up with position channels added to the OFFSETs. Drops everything derived before.
    void setSkeleton(std::unique_ptr<Joint> root, std::unique_ptr<FrameTable> frames);

    // The reading every pass poses by (pose, measure, draw, bake).
    UpAxis upAxis() const { return upAxis_; }
    PositionChannels positionChannels() const { return positionChannels_; }
    // Joint j's translation before its channels (joints() order, file units, parent's frame):
    // its OFFSET, with the axes its position channels set left out when the values replace it.
    const std::array<float, 3>& baseOffset(std::size_t j) const { return baseOffsets_[j]; }

    const Joint* root() const { return root_.get(); }
    const FrameTable* frames() const { return frames_.get(); }
    int frameCount() const;
    float frameTime() const;

    // Joints in depth-first pre-order (the frame-column order) with each one's parent index
    // (-1 for top-level joints).
    const std::vector<Joint*>& joints() const { return joints_; }
    const std::vector<int>& parentIndex() const { return parentIndex_; }
    // First frame column of each joint, in the same order.
    const std::vector<int>& firstColumn() const { return firstColumn_; }

    // One channel as the pose applies it: its frame column and its type.
    struct ChannelStep {
        int column;
        ChannelType type;
    };
    // Every joint's channels in the order the pose applies them (its translations, then its
    // rotations, each in file order); joint j's run is [stepStart()[j], stepStart()[j + 1]).
    const std::vector<ChannelStep>& channelSteps() const { return channelSteps_; }
    const std::vector<int>& stepStart() const { return stepStart_; }
    // The many joints without channels that hang rigidly from one joint (rigid_cloud.h), and the
    // joints the measuring passes pose in every frame: all the others, ascending (a joint's
    // parent is among them whenever it is).
    const std::vector<RigidCloud>& rigidClouds() const { return rigidClouds_; }
    const std::vector<int>& posedJoints() const { return posedJoints_; }
    // Whether the passes can pose this motion: a skeleton, at least one frame, and a frame
    // table with exactly the skeleton's channel total as columns and a value for every cell.
    bool poseable() const;

    // Over every pose of the motion as the file places it, unlifted; the path edit keeps the
    // bounds of the edited poses.
    const Bounds& motionBounds() const { return motionBounds_; }
    // motionBounds()[i] for 0 <= i <= 5, 0 otherwise.
    float bound(int i) const;
    // Extents of the frame-0 pose.
    float height() const { return height_; }
    float width() const { return width_; }
    float depth() const { return depth_; }
    // Joint marker radius: 1.5% of the largest frame-0 extent, or 1 when some extent is 0.
    float markerRadius() const { return markerRadius_; }

    // Frames to a block of groundBlockBounds.
    static constexpr int kGroundBlock = 1024;
    // Per block of kGroundBlock frames (the last one shorter), the bounds of its poses as the
    // file places them, unlifted: what the edited bounds start from where an edit leaves a block
    // alone.
    const std::vector<Bounds>& groundBlockBounds() const { return groundBlocks_; }

    // The root's ground position (display x and z) of every frame as the file places it; empty
    // before prepare.
    const std::vector<float>& rootTrackX() const { return rootTrackX_; }
    const std::vector<float>& rootTrackZ() const { return rootTrackZ_; }

    // For frame f and joint j (joints() order), the x and z of the joint's raw world position
    // minus the root's, at 2 * (j + f * joints().size()); empty when the load skipped it (a very
    // large motion, a skeleton of more than one top-level joint, or one with rigid clouds). An edit
    // moves each frame rigidly about the root, so the edited ground bounds turn these instead of
    // posing every joint again. Its storage is sized without being filled (the load's sweep writes
    // every entry from both of its threads).
    using BoundsCache = std::vector<float, UninitializedAllocator<float>>;
    const BoundsCache& rootRelativeXZ() const { return rootRelativeXZ_; }
    // Frees that cache (the ground bounds then pose every joint of every frame).
    void releaseBoundsCache() { rootRelativeXZ_ = BoundsCache(); }

  private:
    // The load's measuring sweep over every frame (bounds, root samples, frame-0 extents, the
    // root-relative cache), reporting to `progress` from `from` to `to` of the whole (measure.cpp);
    // false when some joint position is not finite or when it stopped at a cancel.
    bool measure(Progress* progress, double from, double to);
    void sizeMarker();
    // Sets the reading and the base offsets that follow from it.
    void setReading(UpAxis upAxis, PositionChannels positionChannels);

    std::unique_ptr<Joint> root_;
    std::unique_ptr<FrameTable> frames_;
    Bounds motionBounds_;
    float height_ = 0.0f;
    float width_ = 0.0f;
    float depth_ = 0.0f;
    float markerRadius_ = 1.0f;
    BoundsCache rootRelativeXZ_;
    std::vector<float> rootTrackX_;
    std::vector<float> rootTrackZ_;
    std::vector<Bounds> groundBlocks_;
    UpAxis upAxis_ = UpAxis::Y;
    PositionChannels positionChannels_ = PositionChannels::OffsetPlusValue;
    std::vector<std::array<float, 3>> baseOffsets_;

    std::vector<Joint*> joints_;
    std::vector<int> parentIndex_;
    std::vector<int> firstColumn_;
    int channelTotal_ = 0;
    std::vector<ChannelStep> channelSteps_;
    std::vector<int> stepStart_;
    std::vector<RigidCloud> rigidClouds_;
    std::vector<int> posedJoints_;
};
