#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editing/control_curve.h"
#include "editing/falloff.h"
#include "editing/ground_transform.h"
#include "editing/root_heading.h"
#include "editing/root_path.h"
#include "editing/root_placement.h"
#include "feet/foot_contacts.h"
#include "feet/foot_planting.h"
#include "motion/edited_motion.h"
#include "motion/motion.h"
#include "motion/pose.h"
#include "motion/result.h"

// Per frame, from the curve as fitted: the curve point minus the root's ground position (its
// OFFSET included), and the chords of the fitted path the added heading is measured on. The
// edited placement of the root relates each frame to the edited curve through these. All in
// display space (after the up axis is turned upright).
struct Baseline {
    std::vector<double> offsetX;
    std::vector<double> offsetZ;
    HeadingChords chords;
};

// The path edit of one motion: the root path fitted to the motion's ground track with its
// editable curve, the baseline that relates every frame to the curve as fitted, the ground bounds
// of the edited poses, and the feet with their planted legs. Whoever changes the control points
// calls refresh once afterwards, which brings everything derived from them up to date in the
// right order. The motion is only read and must outlive the edit.
class PathEdit {
  public:
    // Fits the path to the motion's ground track, one control point per `blockLength` frames,
    // and lays the baseline: the motion as loaded, unedited, with its feet free.
    explicit PathEdit(const Motion& motion, int blockLength = RootPath::kDefaultBlockLength);
    PathEdit(const PathEdit&) = delete;
    PathEdit& operator=(const PathEdit&) = delete;

    const Motion& motion() const { return motion_; }
    // The root's ground track, one control point per block of frames plus the two end samples.
    const RootPath& path() const { return path_; }
    // The editable curve (with no points for a motion without frames).
    const ControlCurve& curve() const { return *path_.curve(); }
    const Baseline& baseline() const { return baseline_; }
    // Whether the baseline covers every frame, so that frames are placed on the edited path.
    bool hasBaseline() const;
    // Over every pose of the edited motion, unlifted: y as captured, x and z on the edited path.
    const Bounds& bounds() const { return bounds_; }

    // Where the edited path puts the root of a frame; none where the file places it (no
    // baseline, or a frame outside the motion).
    std::optional<RootPlacement> placement(int frame) const;
    // The motion as this edit shows it (and saves it): on the edited path, with the planted legs
    // and the timing.
    EditedMotion edited() const;
    // The captured frames on the edited path, without planted legs or timing: what the planting
    // works on.
    EditedMotion unplanted() const;
    // The frames of the edited motion (more or fewer than the captured ones with Keep Speed).
    int frameCount() const { return edited().frameCount(); }
    // EditedMotion::pose of the edited motion: frame k of its frames.
    bool pose(int frame, PosePass pass, Pose& pose) const;

    // The control point a drag moves to the cursor (-1 for none). Selecting a point of the
    // selection makes it that point and keeps the selection; any other point becomes the whole
    // selection; -1 clears both.
    int selected() const { return curve().selected(); }
    void select(int index);
    // The selected control points, in index order; a drag moves them together.
    const std::vector<int>& selection() const { return selection_; }
    bool isSelected(int index) const;
    // Replaces the selection (indices outside the curve are dropped); no point is dragged.
    void setSelection(std::vector<int> indices);
    // Adds a point to the selection, making it the dragged one, or takes it out of it.
    void toggleSelected(int index);
    // After a drag: no point is dragged, and a selection of one point goes with it.
    void letGo();
    void setFalloffRadius(float radius);
    void setFalloffShape(FalloffShape shape);
    // Moves the selected point to (x, z), the rest of the selection rigidly with it, and the
    // other points by the largest falloff weight they get from a selected point.
    void moveSelected(double x, double z);
    // Per control point, the share of a drag from `focus` it would follow (1 for the points
    // that move with it; all 0 for a focus outside the curve).
    std::vector<float> dragWeights(int focus) const;

    // The points a transform moves: the selection, or every point when none is selected.
    std::vector<int> transformedPoints() const;
    // The pivot of a turn or scale: the centre of the selection, or the first control point.
    CurvePoint pivot() const;
    // Moves, turns or scales the transformed points. A turn that moves every point turns the
    // whole motion with it (the whole turn grows by it). False, changing nothing, for a
    // transform that is not usable (GroundTransform::usable) or a path without points.
    bool transform(const GroundTransform& t);
    // The sum of the turns of the whole path, radians (see turnedHeadings).
    double wholeTurn() const { return wholeTurn_; }
    void setWholeTurn(double radians) { wholeTurn_ = radians; }
    // Whether the path differs from its fit: a moved point or a whole turn.
    bool hasPathEdits() const;
    // The mean ground distance between neighbouring control points; 0 with fewer than two.
    double meanPointSpacing() const;
    // Fits the path again to the motion's ground track with one control point per
    // `blockLength` frames and lays the baseline anew: the path unedited, nothing selected, the
    // falloff kept.
    void setDetail(int blockLength);
    // Puts control point i at p (an index outside the curve is ignored).
    void setPoint(int index, const CurvePoint& p);
    // Brings everything derived from the control points up to date after they changed: the
    // path's point and heading of every frame, the ground bounds, then the planted legs. Only the
    // frames the change reached are worked out again.
    //
    // With Measures::InSteps, the ground bounds and (with Keep Speed off) the path's speed, which
    // cost tens of milliseconds when an edit reaches the whole of a long motion, are left to
    // measureStep, a share at a time, so that the window is not held; what is drawn meanwhile is
    // the previous bounds and speed. The placement, the planted legs and the timing are up to
    // date either way.
    enum class Measures { AtOnce, InSteps };
    void refresh(Measures measures = Measures::AtOnce);
    // Whether refresh left measures to measureStep.
    bool measuresPending() const { return measuresPending_; }
    // Takes the next share (a few milliseconds) of the measures refresh left; true once they are
    // all up to date.
    bool measureStep();
    // The same during a drag: the path's points and headings, and the planted legs only where
    // that is quick (a few milliseconds); the bounds and the rest wait for refresh at the drag's
    // end.
    void refreshDuringDrag();

    // The figure's feet (legs and ground contacts), found on the unedited motion by findFeet;
    // empty before.
    const std::vector<Foot>& feet() const { return feet_; }
    // Finds the feet: the legs whose ankles have these names, or the two lowest end chains of
    // the skeleton when none are named, and when each stands on the ground. On failure (a name
    // that is no ankle, no leg found) nothing changes. Planted feet are planted anew.
    Result findFeet(const std::vector<std::string>& ankles = {});
    // findFeet in two halves: the search, which changes nothing (and may run on a worker while
    // others read the edit), and the taking of the feet it found.
    Result searchFeet(const std::vector<std::string>& ankles, std::vector<Foot>& feet) const;
    void takeFeet(std::vector<Foot> feet);
    bool feetFound() const { return feetFound_; }
    // Keeps the feet planted on the edited path (finding them first where findFeet has not run)
    // or lets them go. A failure to find feet leaves them free.
    Result setFeetPlanted(bool planted);
    bool feetPlanted() const { return feetPlanted_; }
    // The planted legs the edited poses and the save apply; empty while the feet are free.
    const FootPlanting& planting() const { return planting_; }

    // Planting on a worker. While deferred, what would re-plant the feet (refresh, switching
    // them on, finding them) leaves the planted legs as they are and marks them stale instead;
    // solvePlanting then works out, on any thread, the planting the re-plant would have made,
    // reading the edit only (nobody may change it meanwhile), and adoptPlanting takes it on the
    // edit's thread. Switching deferral off re-plants stale legs at once.
    void setPlantingDeferred(bool deferred);
    // Whether a re-plant of this motion is quick (a few milliseconds), quick enough to follow a
    // drag.
    bool quickToPlant() const;
    bool plantingStale() const { return plantingStale_; }
    FootPlanting solvePlanting() const;
    // The planting of these feet on the path as it stands, whether planted or not (the same
    // reading rules as solvePlanting); empty once `progress` is cancelled (see plantFeet).
    FootPlanting plantingOf(const std::vector<Foot>& feet, Progress* progress = nullptr) const;
    // Takes a planting solvePlanting made for the path and feet as they are now.
    void adoptPlanting(FootPlanting planting);

    // Keep Speed: while on, the edited motion is retimed so that the root covers the edited
    // path at the capture's own ground speed (time_warp.h), and refresh retimes it whenever the
    // path changes; off, it has the captured frames. The frame time stays either way.
    void setKeepSpeed(bool on);
    bool keepSpeed() const { return keepSpeed_; }
    // The timing of the edited motion (EditedMotion::times), null while Keep Speed is off; each
    // retiming makes a new one, so whoever shows the frames of one can carry them to the next.
    const std::shared_ptr<const std::vector<double>>& timing() const { return timing_; }
    // Path Speed: per captured frame, how fast the edited motion travels the path there against
    // the capture (1 as captured, 2 twice as fast), with the timing that refresh gives the path
    // as it stands (during a drag too, where that is quick).
    const std::vector<float>& pathSpeed() const { return pathSpeed_; }

  private:
    void layBaseline();
    // Works out again the edited path's point and added heading of the frames the control points
    // moved since reach, which frames the edit moved, and which blocks of frames it changed.
    void followPath();
    void framesOfPoints(int first, int last, int& firstFrame, int& lastFrame) const;
    // Measures the root's travel per captured step on the edited path against the capture's,
    // and from it the path's speed and, when `retime`, the timing (path_edit_timing.cpp).
    void measureSpeed(bool retime);
    // Measures the ground bounds of at most `blocks` stale blocks (placing their roots as it
    // goes) and, once none is left, the bounds of the whole; true then.
    bool measureGroundBounds(std::size_t blocks = std::numeric_limits<std::size_t>::max());
    void replantFeet();
    // Poses the roots of the frames whose placement changed since they were last posed.
    void placeRoots();

    const Motion& motion_;
    RootPath path_;
    Baseline baseline_;
    double groundOffsetX_ = 0.0;  // the root's OFFSET on the ground (display)
    double groundOffsetZ_ = 0.0;
    std::vector<CurvePoint> fittedPoints_;    // per frame, the fitted curve's point
    std::vector<CurvePoint> pathPoints_;      // per frame, the edited curve's point
    std::vector<double> heading_;             // per frame, with the whole turn (radians)
    std::vector<double> headingBefore_;       // the same before the last change, and room for the
    std::vector<double> headingWork_;         // heading's work: kept, since drags work it out often
    std::vector<std::uint8_t> placed_;        // per frame, 1 where the edit moved or turned it
    std::vector<CurvePoint> followedPoints_;  // the control points the frames were worked out for
    double followedTurn_ = 0.0;               // and the whole turn
    ChordTurns turns_;  // per frame, the turn of its chord (with no whole turn)
    // Per block of Motion::kGroundBlock frames, the ground bounds of its edited poses, and
    // whether a change of their placements left them to be measured again.
    std::vector<Bounds> blockBounds_;
    std::vector<std::uint8_t> staleBlocks_;
    std::vector<int> selection_;  // selected control points, ascending
    double wholeTurn_ = 0.0;      // radians, see turnedHeadings
    Bounds bounds_;
    bool measuresPending_ = false;  // refresh left the bounds, and maybe the speed, to measureStep
    bool speedPending_ = false;
    std::vector<Foot> feet_;
    bool feetFound_ = false;  // findFeet ran (it may have found feet without contacts)
    bool feetPlanted_ = false;
    FootPlanting planting_;
    // The last planting of feet since let go: planting them again redoes only what the path
    // changed since (nothing, for an undone or redone switch).
    FootPlanting letGo_;
    bool plantingDeferred_ = false;
    bool plantingStale_ = false;
    bool keepSpeed_ = false;
    std::vector<double> capturedSteps_;  // the root's ground travel from each frame to the next
    // Per frame, the root's ground position as the edit places it (unplanted), and the frames
    // whose placement changed since it was last worked out (none when first > last).
    std::vector<CurvePoint> placedRoot_;
    int rootStaleFirst_ = 0;
    int rootStaleLast_ = -1;
    std::shared_ptr<const std::vector<double>> timing_;
    std::vector<float> pathSpeed_;
};
