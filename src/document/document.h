#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "document/background_job.h"
#include "document/path_edit.h"
#include "feet/foot_planting.h"
#include "motion/gltf_export.h"
#include "motion/motion.h"
#include "motion/prepared_save.h"
#include "motion/result.h"

// The motion being edited: the loaded motion with its file name, the path edit made as drags of
// control points, the edit history (undo and redo) and the marker of the last saved state. The
// view and the window only translate events into these calls, so every edit rule runs without a
// display.
class Document {
  public:
    // Steps the history keeps; the oldest is forgotten beyond it.
    static constexpr std::size_t kHistoryLimit = 500;

    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // Loads the file, read as the options say where they set the reading and as detected
    // elsewhere. On success its motion replaces the current one, the history is cleared and this
    // state counts as saved; on failure nothing changes and the result says why.
    Result open(const std::string& path, const LoadOptions& options = LoadOptions());
    // Reads the loaded motion again under another reading (the options; fields left unset are
    // detected again), from the frames as they were loaded: the path is fitted anew, so the
    // path edit and the history are dropped. The state counts as saved when the file last
    // loaded or saved holds those frames unedited. On failure (also while busy, or without a
    // motion) nothing changes.
    Result reread(const LoadOptions& options);
    // Saves the motion with its path edit. On success the document takes the path as its file
    // name and this state counts as saved; on failure nothing changes. Without a motion the
    // result is "No motion to save.".
    Result save(const std::string& path);

    // The same two on a thread of their own, for long files (the load reading the file as the
    // options say, as open does): start, then finish on this thread once the job is done
    // (`finished` is called on the worker when it is, to wake this thread).
    // The load builds a motion of its own and the save writes a baked copy, so the motion shown
    // stays readable meanwhile; while a job runs the document is busy and takes no edit, no undo
    // and no other job. finish adopts the loaded motion or marks the saved state as open and
    // save do; a cancelled job changes nothing (its result says Progress::kCancelled). Null when
    // nothing was started: startOpen while another job runs, startSave also without a motion or
    // when the bake fails, with the reason in `refused`.
    std::unique_ptr<BackgroundJob> startOpen(const std::string& path,
                                             std::function<void()> finished,
                                             const LoadOptions& options = LoadOptions());
    Result finishOpen(BackgroundJob& job);
    std::unique_ptr<BackgroundJob> startSave(const std::string& path,
                                             std::function<void()> finished, Result& refused);
    Result finishSave(BackgroundJob& job);
    // File > Export glTF: writes the motion as drawn (its path edit and planted feet) as glTF on a
    // thread of its own, as startSave writes a save; the file name and the saved state stay as
    // they are. Null, with the reason in `refused`, while busy, without a motion or when the bake
    // fails. finishExport hands back the result.
    std::unique_ptr<BackgroundJob> startExport(const std::string& path,
                                               std::function<void()> finished, Result& refused);
    Result finishExport(BackgroundJob& job);
    // File > Up Axis and Position Channels: reread on a thread of its own. The new motion
    // shares the frame table with the one shown, which stays drawable meanwhile; finishReread
    // adopts it as reread does, and a cancelled or failed reread changes nothing. Null, with the
    // reason in `refused`, while busy or without a motion.
    std::unique_ptr<BackgroundJob> startReread(const LoadOptions& options,
                                               std::function<void()> finished, Result& refused);
    Result finishReread(BackgroundJob& job);

    // Where the planted legs are solved again after a change. AtOnce: inside the call that made
    // the change. OnWorker: the call leaves them stale (needsPlanting) and the caller starts the
    // solve with startPlanting; the legs drawn meanwhile are the previous ones. OnWorkerWhenSlow:
    // OnWorker for motions whose re-plant is no quick one (PathEdit::quickToPlant), AtOnce for the
    // others. Each load and reread keeps the choice.
    enum class Planting { AtOnce, OnWorkerWhenSlow, OnWorker };
    void setPlanting(Planting planting);
    // Whether a change (an undo, a redo, an edit) left the planted legs behind the path, waiting
    // for startPlanting.
    bool needsPlanting() const { return !busy() && edit_ && edit_->plantingStale(); }
    // Solves the planted legs for the path as it stands on a thread of its own (null when none
    // are stale or while busy); finishPlanting adopts them. The solve completes the change that
    // made it, so it runs to its end whatever a cancel asks.
    std::unique_ptr<BackgroundJob> startPlanting(std::function<void()> finished);
    Result finishPlanting(BackgroundJob& job);
    // Keep Feet Planted switched on a thread of its own: the feet found where they were not yet,
    // and planted. Switching off is quick and done at once, as is asking for the state in use:
    // those, and a refusal (see setFeetPlanted), return null with the outcome in `outcome`.
    // finishFeetPlanted records the step as setFeetPlanted does; a cancelled switch changes
    // nothing.
    std::unique_ptr<BackgroundJob> startFeetPlanted(bool planted, std::function<void()> finished,
                                                    Result& outcome);
    Result finishFeetPlanted(BackgroundJob& job);

    // Gives up a started job whose worker does not stop (see BackgroundJob::abandon): nothing
    // changes, and the document is no longer busy.
    void abandon(std::unique_ptr<BackgroundJob> job);
    bool busy() const { return pending_ != nullptr; }

    // Whether the last change to a long motion left measures (its ground bounds, its path's
    // speed) to measureStep, which the window calls whenever it is idle until none are left.
    bool measuresPending() const { return edit_ && edit_->measuresPending(); }
    // Takes the next share (a few milliseconds) of the pending measures; the revision counts
    // their end, when the view has new bounds and speeds to draw.
    void measureStep();

    // The loaded motion, or null before the first successful open.
    const Motion* motion() const { return motion_.get(); }
    // Its path edit (the curve, the edited placement and bounds, the feet), null with no motion.
    const PathEdit* edit() const { return edit_.get(); }
    // The file the motion was last loaded from or saved to; empty without a motion.
    const std::string& fileName() const { return fileName_; }
    // Whether the motion differs from the state last loaded or saved.
    bool modified() const { return currentState() != savedState_; }
    // Counts every change the view must show (a load, a moved point, undo, redo), so that a
    // view can tell whether what it derived from the motion is still current.
    unsigned long revision() const { return revision_; }

    // The control point a drag moves, -1 for none; an index outside the curve selects none.
    // Selecting a point of a selection of several keeps the selection (PathEdit::select).
    int selected() const;
    void select(int index);
    // The selected points (a drag moves them together, a transform acts on them); none without
    // a motion. Changing the selection is no step of history, and is refused during a drag.
    const std::vector<int>& selection() const;
    void setSelection(std::vector<int> indices);
    void toggleSelected(int index);
    void selectAll();
    // Radius (world units) within which a drag's neighbours follow the dragged points, with
    // weights of the falloff's shape; 0, or the shape Off, moves the selection alone. Each load
    // sets the radius to three times the mean spacing of the control points, so the falloff
    // reaches the neighbours once it is switched on; the shape stays as it was.
    void setFalloffRadius(float radius);
    float falloffRadius() const { return falloffRadius_; }
    void setFalloff(FalloffShape shape);
    FalloffShape falloff() const { return falloffShape_; }

    // A drag of the selected control point: begin, any number of moves, then commit (one step
    // of history when something moved) or cancel (every point back where it was, no step).
    // beginDrag is false, and the moves do nothing, without a selected point.
    bool beginDrag();
    bool dragging() const { return dragging_; }
    // Moves the dragged point to where the cursor's ray (from the near plane through a farther
    // point) meets the path's plane; false, moving nothing, when it does not meet it ahead.
    bool dragTo(const std::array<double, 3>& nearPoint, const std::array<double, 3>& farPoint);
    // Ends the drag: refreshes the motion's bounds, clears the selection and records the step.
    void commitDrag();
    void cancelDrag();

    // Moves, turns or scales the selection, or the whole path when none is selected (see
    // PathEdit::transform): one step of history. Fails, changing nothing, while busy or
    // dragging, without a motion, or for a transform that is not usable.
    Result transform(const GroundTransform& t);
    // Puts control point `index` at ground point p: one step of history.
    Result setPointPosition(int index, const CurvePoint& p);
    // Path detail: fits the path again with one control point per `blockLength` frames (see
    // PathEdit::setDetail), dropping the path's edits, as one step of history whose undo
    // brings back the previous detail with its edits. Nothing changes for the detail in use.
    Result setPathDetail(int blockLength);
    int pathDetail() const;

    // Keep Feet Planted: while on, each foot stays where it stood while it touches the ground on
    // the edited path (the legs are solved again whenever the path changes). Switching it is one
    // step of history and changes the motion; a failure (no feet found, busy, dragging, no
    // motion) changes nothing.
    Result setFeetPlanted(bool planted);
    bool feetPlanted() const { return edit_ && edit_->feetPlanted(); }
    // Keep Speed: while on, the motion is retimed to keep the capture's ground speed on the
    // edited path (PathEdit::setKeepSpeed), so its frame count follows the edits. Switching it is
    // one step of history (undo restores the timing before it); a failure (busy, dragging, no
    // motion) changes nothing.
    Result setKeepSpeed(bool on);
    bool keepSpeed() const { return edit_ && edit_->keepSpeed(); }
    // Chooses the feet by their ankles' names (automatic when empty) while they are not planted;
    // the choice stands until another motion is loaded or the motion is read again. A Keep Feet
    // Planted step undone or redone later switches the feet it switched, whatever was chosen
    // since.
    Result chooseFeet(const std::vector<std::string>& ankles);
    // Whether chooseFeet would be refused before looking at the names, and why.
    Result canChooseFeet() const;

    bool canUndo() const { return applied_ > 0; }
    bool canRedo() const { return applied_ < history_.size(); }
    // Restores the control points and bounds the last step changed; false with nothing to undo.
    bool undo();
    bool redo();
    // Steps held, and the bytes they take (each stores only the points it moved).
    std::size_t historySize() const { return history_.size(); }
    std::size_t historyBytes() const;

  private:
    struct PointMove {
        int index;
        double beforeX, beforeZ;
        double afterX, afterZ;
    };
    struct Step {
        std::vector<PointMove> moves;
        bool switchesFeet = false;  // the step switches Keep Feet Planted (and moves no point)
        bool feetAfter = false;     // whether the feet are planted after it
        std::vector<Foot> feet;  // the feet it switched, as found: its undo need not search again
        bool switchesSpeed = false;       // the step switches Keep Speed (and moves no point)
        bool speedAfter = false;          // whether Keep Speed is on after it
        double turnBefore = 0.0;          // the path edit's whole turn before and after it
        double turnAfter = 0.0;
        int detailBefore = 0;     // a change of the path's detail: block lengths, 0 for none (the
        int detailAfter = 0;      // moves then restore the edits the old detail had)
        unsigned long state = 0;  // the state this step leads to
    };

    // What a job in flight needs when it finishes.
    struct Pending {
        std::string path;
        LoadOptions options;             // how the load reads the file
        std::unique_ptr<Motion> loaded;  // written by the load's worker only
        std::unique_ptr<PathEdit> loadedEdit;
        PreparedSave save;        // baked and written by the save's worker only
        PreparedExport exported;  // baked and written by the export's worker only
        // A save or export bakes the motion shown, then writes its copy. Whoever moves the phase
        // on first decides: the worker to writing, which may then be abandoned since it reads
        // only its copy, or the window to given up, which the worker then ends at and is waited
        // for while it bakes.
        enum Phase { NoBake, Baking, Writing, GivenUp };
        std::atomic<int> phase{NoBake};
        bool startWriting() {
            int baking = Baking;
            return phase.compare_exchange_strong(baking, Writing);
        }
        unsigned long state = 0;  // the state being saved
        // Work on the motion shown (a reread, a planting), which only ever ends: nothing to
        // abandon, it is waited for.
        bool onMotion = false;
        FootPlanting planting;  // written by the planting's worker only
        bool switchesFeet = false;
        bool searchesFeet = false;  // the switch finds the feet first
        std::vector<Foot> feet;     // written by the switch's worker only
    };
    // Reads the motion again into `pending`; only reads this document.
    Result prepareReread(Pending& pending, Progress* progress) const;
    void adoptReread(Pending& pending);
    // Whether the edit defers its re-plants under the planting chosen.
    bool defersPlanting() const;
    // Solves stale planted legs at once (for a save or export nobody waited to start for).
    void settlePlanting();

    void adopt(std::unique_ptr<Motion> motion, std::unique_ptr<PathEdit> edit,
               const std::string& path);
    // A new motion, or the motion read anew: no drag, no history, a fresh state that counts as
    // loaded (the caller sets the saved state).
    void startAfresh();
    unsigned long currentState() const;
    void apply(const Step& step, bool forward);
    void record(Step step);
    // Records a switch of Keep Feet Planted to `planted`, of the feet the edit has.
    void recordFeetSwitch(bool planted);
    // Every control point as it is now.
    std::vector<CurvePoint> currentPoints() const;
    // Records the points changed since `before` (and the whole turn since `turnBefore`) as one
    // step, after refreshing the edit; false, recording nothing, when nothing changed.
    bool recordChanges(const std::vector<CurvePoint>& before, double turnBefore);
    // How a change's refresh takes the measures: in steps on a long motion, at once otherwise.
    PathEdit::Measures measuresAfterChange() const;
    Result refusedEdit() const;
    // Whether a job on the motion may start: refused while busy, and without a motion with the
    // message given.
    Result canStartJob(const char* withoutMotion) const;

    std::unique_ptr<Motion> motion_;
    std::unique_ptr<PathEdit> edit_;  // of motion_
    std::string fileName_;
    std::unique_ptr<Pending> pending_;
    float falloffRadius_ = 0.0f;
    FalloffShape falloffShape_ = FalloffShape::Off;
    Planting planting_ = Planting::AtOnce;

    std::deque<Step> history_;
    std::size_t applied_ = 0;        // steps of history_ in effect; the rest can be redone
    unsigned long baseState_ = 0;    // the state before history_.front()
    unsigned long savedState_ = 0;   // the state last loaded or saved
    unsigned long loadedState_ = 0;  // the state of the frames as loaded, with no path edit
    bool savedAsLoaded_ = true;      // whether the file last loaded or saved has no path edit
    unsigned long nextState_ = 1;    // states are never reused, so a lost one is never matched
    unsigned long revision_ = 0;

    bool dragging_ = false;
    std::vector<CurvePoint> dragStart_;  // every control point as the drag found it
};
