#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "editing/root_path.h"
#include "motion/frame_table.h"
#include "motion/joint.h"
#include "motion/result.h"

// Bounds are six floats: max x, min x, max y, min y, max z, min z. A reset bounds set has every
// max at -FLT_MAX and every min at +FLT_MAX.
using Bounds = std::array<float, 6>;
enum BoundIndex { MaxX = 0, MinX = 1, MaxY = 2, MinY = 3, MaxZ = 4, MinZ = 5 };
Bounds resetBounds();

// A joint's world transform: 4x4, column-major (the layout glMultMatrixf takes).
using Transform = std::array<float, 16>;

// One loaded motion and what the view and the path editing keep beside it. The view owns it.
class Motion {
  public:
    Motion();
    ~Motion();
    Motion(const Motion&) = delete;
    Motion& operator=(const Motion&) = delete;
    // Takes over a prepared motion whole (a load that succeeded).
    Motion& operator=(Motion&&) = default;

    // Reads the file and prepares the motion (bounds, fitted root path, baseline). On failure
    // the result carries the reason and this motion is left exactly as it was (a motion with no
    // frames is refused: "no frames").
    Result load(const std::string& path);
    // Writes the motion with the path edit baked into the root's channels. The file is written
    // beside the target and renamed over it only when complete.
    Result save(const std::string& path) const;

    int frameCount() const;
    float frameTime() const;
    // motionBounds[i] for 0 <= i <= 5, 0 otherwise.
    float bound(int i) const;

    // Joints in depth-first pre-order (the frame-column order) with each one's parent index
    // (-1 for top-level joints); rebuilt whenever the skeleton is replaced.
    const std::vector<Joint*>& joints() const { return joints_; }
    const std::vector<int>& parentIndex() const { return parentIndex_; }
    // First frame column of each joint, in the same order.
    const std::vector<int>& firstColumn() const { return firstColumn_; }
    // Also drops what was derived from a previous skeleton (bounds, extents, root path, baseline,
    // marker size; currentFrame 0).
    void setSkeleton(std::unique_ptr<Joint> root, std::unique_ptr<FrameTable> frames);

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
    // Whether load laid the per-frame baseline (and a fitted curve) that the edited placement of
    // the root reads; without it the edited passes and the bake place the root as the file does.
    bool hasBaseline() const;

    // Per frame, from the curve as fitted at load: curve point minus the root's ground position
    // (excluding the root's own x/z OFFSET), and the curve's forward vector.
    std::vector<float> pathOffsetX;
    std::vector<float> pathOffsetZ;
    std::vector<float> pathTangentX;
    std::vector<float> pathTangentZ;
    float height = 0.0f;  // extents of the frame-0 pose
    float width = 0.0f;
    float depth = 0.0f;
    float markerRadius = 1.0f;  // joint marker radius; set once per motion by the first
                                // pass that is not MeasureRaw
    bool markerSized = false;   // whether that first pass has run
    std::unique_ptr<RootPath> rootPath;
    Bounds motionBounds;  // over every pose of the motion, unlifted
    Bounds poseBounds;    // the last recorded pose, lifted (as drawn)
    std::unique_ptr<Joint> root;
    int currentFrame = 0;  // 0-based row shown
    std::unique_ptr<FrameTable> frames;

    // World transforms of the last pose pass, in joints() order (lifted where the pass lifts).
    std::vector<Transform> poseTransforms;

    // Filled by the load's measuring pass: for frame f and joint j (joints() order), the x and
    // z of the joint's raw world position minus the root's, at 2 * (j + f * joints().size()).
    // An edit moves each frame rigidly about the root, so refreshBounds rotates these instead
    // of posing every joint again. Empty when the load skipped it (a very large motion).
    std::vector<float> rootRelativeXZ;

  private:
    std::vector<Joint*> joints_;
    std::vector<int> parentIndex_;
    std::vector<int> firstColumn_;
    int channelTotal_ = 0;
    std::vector<ChannelStep> channelSteps_;
    std::vector<int> stepStart_;
};
