#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "editing/root_path.h"
#include "editing/root_placement.h"
#include "motion/foot_contacts.h"
#include "motion/foot_planting.h"
#include "motion/frame_table.h"
#include "motion/joint.h"
#include "motion/reading.h"
#include "motion/result.h"
#include "motion/uninitialized_allocator.h"

class Progress;
struct PreparedSave;

// Bounds are six floats: max x, min x, max y, min y, max z, min z. A reset bounds set has every
// max at -FLT_MAX and every min at +FLT_MAX.
using Bounds = std::array<float, 6>;
enum BoundIndex { MaxX = 0, MinX = 1, MaxY = 2, MinY = 3, MaxZ = 4, MinZ = 5 };
Bounds resetBounds();

// A joint's world transform: 4x4, column-major (the layout glMultMatrixf takes).
using Transform = std::array<float, 16>;

// Per frame, from the curve as fitted at load: the curve point minus the root's ground position
// (excluding the root's own x/z OFFSET), the curve's forward vector, and how far an edit may
// turn the figure there (0 where that vector is too short to give a direction, 1 where the
// figure travels). The edited placement of the root relates each frame to the edited curve
// through these. All in display space (after the up axis is turned upright).
struct Baseline {
    std::vector<float> offsetX;
    std::vector<float> offsetZ;
    std::vector<float> tangentX;
    std::vector<float> tangentZ;
    std::vector<float> turnWeight;
};

// One loaded motion: the skeleton, its frames, the root path fitted to it and what is derived
// once from them (bounds, extents, marker size, baseline). Posing never changes it: a pose is
// computed into storage the caller owns (pose.h). What changes after load is the edit: the root
// path's control points (after which refreshBounds() brings the ground bounds along) and the
// planted feet (findFeet, setFeetPlanted, replantFeet).
class Motion {
  public:
    Motion();
    ~Motion();
    Motion(const Motion&) = delete;
    Motion& operator=(const Motion&) = delete;
    // Takes over a prepared motion whole (a load that succeeded).
    Motion(Motion&&) noexcept;
    Motion& operator=(Motion&&) noexcept;

    // Reads the file and prepares the motion under the reading the options set or, where they
    // leave it open, the one detected in the file; reports to `progress` if given and stops with
    // Progress::kCancelled once it is cancelled. On failure the result carries the reason and
    // this motion is left exactly as it was (running out of memory is a failure like others).
    // A success's note names what unfinished saves of the file left (unfinishedSavesNote).
    Result load(const std::string& path, const LoadOptions& options = LoadOptions(),
                Progress* progress = nullptr);
    // Prepares a skeleton and its frames as load does after reading: settles the reading,
    // measures every frame (bounds, extents), fits the root path, sizes the markers and lays the
    // baseline. A motion with no frames is refused ("no frames"); on failure this motion is left
    // as it was.
    Result prepare(std::unique_ptr<Joint> root, std::unique_ptr<FrameTable> frames,
                   const LoadOptions& options = LoadOptions(), Progress* progress = nullptr);
    // Prepares this motion's skeleton and frames again, as they were read, under the reading the
    // options set (unset fields detected again); the path edit is dropped, since the path of
    // another reading lies elsewhere. On failure this motion is left as it was.
    Result reread(const LoadOptions& options);
    // Writes the motion with the path edit baked into the root's channels, in the conventions
    // the file was read in unless the options set others. The file is written beside the target
    // and renamed over it only when complete; a cancel through `progress` leaves it as it was.
    Result save(const std::string& path, const SaveOptions& options = SaveOptions(),
                Progress* progress = nullptr) const;
    // The first half of save: bakes the edit into a copy of the frames, ready to be written
    // (perhaps on another thread) while this motion goes on being shown and edited.
    Result prepareSave(PreparedSave& save, const SaveOptions& options = SaveOptions()) const;

    // Takes a skeleton and its frames without preparing them (no bounds, path or baseline: the
    // edited passes then place the root as the file does), read y-up with position channels
    // added to the OFFSETs. Drops everything derived before.
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
    // Whether the passes can pose this motion: a skeleton, at least one frame, and a frame
    // table with exactly the skeleton's channel total as columns and a value for every cell.
    bool poseable() const;
    // Whether prepare laid the per-frame baseline (and a fitted curve) that the edited
    // placement of the root reads.
    bool hasBaseline() const;

    // Over every pose of the motion, unlifted; x and z follow the edited path once
    // refreshBounds has run.
    const Bounds& motionBounds() const { return motionBounds_; }
    // motionBounds()[i] for 0 <= i <= 5, 0 otherwise.
    float bound(int i) const;
    // Extents of the frame-0 pose.
    float height() const { return height_; }
    float width() const { return width_; }
    float depth() const { return depth_; }
    // Joint marker radius: 1.5% of the largest frame-0 extent, or 1 when some extent is 0.
    float markerRadius() const { return markerRadius_; }

    // The root's ground track and the curve fitted to it; null before prepare.
    const RootPath* rootPath() const { return rootPath_.get(); }
    // The same, for the path edit (the curve's control points and selection). Whoever moves
    // control points calls refreshBounds afterwards.
    RootPath* rootPath() { return rootPath_.get(); }
    const Baseline& baseline() const { return baseline_; }
    // Where the edited path puts the root of a frame (from the baseline and the curve as it
    // stands); false, with `placement` untouched, for a motion without a baseline, whose edited
    // passes place the root as the file does.
    bool editedPlacement(int frame, RootPlacement& placement) const;

    // Re-measures the x and z of motionBounds over every frame on the edited path.
    void refreshBounds();
    // Puts back ground bounds that refreshBounds gave for the control points now in place (the
    // edit history keeps them, so undo and redo restore them exactly and at once).
    void restoreGroundBounds(const Bounds& bounds);

    // For frame f and joint j (joints() order), the x and z of the joint's raw world position
    // minus the root's, at 2 * (j + f * joints().size()); empty when the load skipped it (a very
    // large motion, or a skeleton of more than one top-level joint). An edit moves each frame
    // rigidly about the root, so refreshBounds turns these instead of posing every joint again. Its
    // storage is sized without being filled (the load's sweep writes every entry from both of its
    // threads).
    using BoundsCache = std::vector<float, UninitializedAllocator<float>>;
    const BoundsCache& rootRelativeXZ() const { return rootRelativeXZ_; }
    // Frees that cache (refreshBounds then poses every joint of every frame).
    void releaseBoundsCache() { rootRelativeXZ_ = BoundsCache(); }

    // The figure's feet (legs and ground contacts), found on the unedited motion by findFeet;
    // empty before.
    const std::vector<Foot>& feet() const { return feet_; }
    // Finds the feet: the legs whose ankles have these names, or the two lowest end chains of
    // the skeleton when none are named, and when each stands on the ground. On failure (a name
    // that is no ankle, no leg found) nothing changes. Planted feet are planted anew.
    Result findFeet(const std::vector<std::string>& ankles = {});
    // Keeps the feet planted on the edited path (finding them first where findFeet has not run)
    // or lets them go. A failure to find feet leaves them free.
    Result setFeetPlanted(bool planted);
    bool feetPlanted() const { return feetPlanted_; }
    // Solves the planted legs again for the path as it is now; whoever changes the path calls it
    // once the change is made (as refreshBounds).
    void replantFeet();
    // The planted legs' channel values and the root's lowering, which the edited passes and the
    // bake apply; empty while the feet are free.
    const FootPlanting& planting() const { return planting_; }

  private:
    // The load's measuring sweep over every frame (bounds, root samples, frame-0 extents, the
    // root-relative cache), reporting to `progress` from `from` to `to` of the whole (measure.cpp);
    // false when some joint position is not finite or when it stopped at a cancel.
    bool measure(Progress* progress, double from, double to);
    void sizeMarker();
    void layBaseline();
    // Sets the reading and the base offsets that follow from it.
    void setReading(UpAxis upAxis, PositionChannels positionChannels);

    std::unique_ptr<Joint> root_;
    std::unique_ptr<FrameTable> frames_;
    std::unique_ptr<RootPath> rootPath_;
    Baseline baseline_;
    Bounds motionBounds_;
    float height_ = 0.0f;
    float width_ = 0.0f;
    float depth_ = 0.0f;
    float markerRadius_ = 1.0f;
    BoundsCache rootRelativeXZ_;
    UpAxis upAxis_ = UpAxis::Y;
    PositionChannels positionChannels_ = PositionChannels::OffsetPlusValue;
    std::vector<std::array<float, 3>> baseOffsets_;
    std::vector<Foot> feet_;
    bool feetFound_ = false;  // findFeet ran (it may have found feet without contacts)
    bool feetPlanted_ = false;
    FootPlanting planting_;

    std::vector<Joint*> joints_;
    std::vector<int> parentIndex_;
    std::vector<int> firstColumn_;
    int channelTotal_ = 0;
    std::vector<ChannelStep> channelSteps_;
    std::vector<int> stepStart_;
};
