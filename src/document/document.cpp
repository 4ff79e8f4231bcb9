#include "document/document.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "document/ground_point.h"
#include "motion/load_motion.h"
#include "motion/save_motion.h"

Document::Document() = default;
Document::~Document() = default;

namespace {

// Whether two choices of feet are the same legs, told by their ankles.
bool sameAnkles(const std::vector<Foot>& a, const std::vector<Foot>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const Foot& x, const Foot& y) { return x.leg.ankle == y.leg.ankle; });
}

const char kBusy[] = "Wait until the file is read or written, or cancel it.";

// The work of a save or an export: `prepare` bakes the edit into `prepared`, which is then
// written to `path` unless the job was cancelled or given up meanwhile (`startWriting` false).
template <typename Prepared, typename Prepare, typename StartWriting>
BackgroundJob::Work bakeThenWrite(EditedMotion edited, Prepared& prepared, const std::string& path,
                                  Prepare prepare, StartWriting startWriting) {
    return
        [edited = std::move(edited), &prepared, &path, prepare, startWriting](Progress& progress) {
            const Result baked = prepare(edited, prepared);
            if (!baked) {
                return baked;
            }
            if (progress.cancelled() || !startWriting()) {
                return Result::failure(Progress::kCancelled);
            }
            return prepared.write(path, &progress);
        };
}

// Frames from which a change's ground bounds and path speed are measured in steps: below, an
// edit that reaches every frame measures them in a few milliseconds.
constexpr int kMeasureInStepsFrames = 1 << 16;

// Makes the path edit of a motion just prepared, keeping the preparation's result (and its
// note); running out of memory for it fails the load as running out while preparing does.
Result editFor(const Motion& motion, std::unique_ptr<PathEdit>& edit, Result prepared) {
    try {
        edit = std::make_unique<PathEdit>(motion);
        return prepared;
    } catch (const std::bad_alloc&) {
        return Result::failure(
            "The Parser could not parse this: not enough memory for this motion");
    }
}

}  // namespace

Result Document::open(const std::string& path, const LoadOptions& options) {
    if (busy()) {
        return Result::failure(kBusy);
    }
    auto loaded = std::make_unique<Motion>();
    std::unique_ptr<PathEdit> edit;
    Result result = loadMotion(path, *loaded, options);
    if (result) {
        result = editFor(*loaded, edit, result);
    }
    if (result) {
        adopt(std::move(loaded), std::move(edit), path);
    }
    return result;
}

void Document::adopt(std::unique_ptr<Motion> motion, std::unique_ptr<PathEdit> edit,
                     const std::string& path) {
    edit_ = std::move(edit);
    motion_ = std::move(motion);
    fileName_ = path;
    startAfresh();
    savedState_ = baseState_;
    savedAsLoaded_ = true;
}

void Document::startAfresh() {
    // A drag in progress moved points of a curve that is gone.
    dragging_ = false;
    dragStart_ = std::vector<CurvePoint>();
    history_.clear();
    applied_ = 0;
    baseState_ = nextState_++;
    loadedState_ = baseState_;
    ++revision_;
    if (edit_) {
        edit_->setPlantingDeferred(defersPlanting());
    }
    // Each load's radius reaches a few neighbours, whatever the figure's units and the detail.
    setFalloffRadius(edit_ ? static_cast<float>(3.0 * edit_->meanPointSpacing()) : falloffRadius_);
    setFalloff(falloffShape_);
}

Result Document::reread(const LoadOptions& options) {
    if (busy()) {
        return Result::failure(kBusy);
    }
    if (!motion_) {
        return Result::failure("No motion to read again.");
    }
    Pending pending;
    pending.options = options;
    const Result result = prepareReread(pending, nullptr);
    if (result) {
        adoptReread(pending);
    }
    return result;
}

Result Document::prepareReread(Pending& pending, Progress* progress) const {
    auto reread = std::make_unique<Motion>();
    Result result = motion_->reread(pending.options, *reread, progress);
    if (result) {
        result = editFor(*reread, pending.loadedEdit, result);
    }
    if (result) {
        pending.loaded = std::move(reread);
    }
    return result;
}

void Document::adoptReread(Pending& pending) {
    edit_ = std::move(pending.loadedEdit);
    motion_ = std::move(pending.loaded);
    startAfresh();
    // A file that holds a path edit no longer matches the frames without it.
    savedState_ = savedAsLoaded_ ? baseState_ : nextState_++;
}

std::unique_ptr<BackgroundJob> Document::startReread(const LoadOptions& options,
                                                     std::function<void()> finished,
                                                     Result& refused) {
    refused = canStartJob("No motion to read again.");
    if (!refused) {
        return nullptr;
    }
    pending_ = std::make_unique<Pending>();
    pending_->options = options;
    pending_->onMotion = true;
    Pending* pending = pending_.get();
    return std::make_unique<BackgroundJob>(
        [this, pending](Progress& progress) { return prepareReread(*pending, &progress); },
        std::move(finished));
}

Result Document::finishReread(BackgroundJob& job) {
    // A cancel that came once the reading was done still keeps the motion shown.
    Result result = job.result();
    if (job.progress().cancelled()) {
        result = Result::failure(Progress::kCancelled);
    }
    if (pending_) {
        if (result && pending_->loaded) {
            adoptReread(*pending_);
        }
        pending_.reset();
    }
    return result;
}

Result Document::save(const std::string& path) {
    if (busy()) {
        return Result::failure(kBusy);
    }
    if (!motion_) {
        return Result::failure("No motion to save.");
    }
    settlePlanting();
    Result result = saveMotion(edit_->edited(), path);
    if (result) {
        fileName_ = path;
        savedState_ = currentState();
        savedAsLoaded_ = savedState_ == loadedState_;
    }
    return result;
}

std::unique_ptr<BackgroundJob> Document::startOpen(const std::string& path,
                                                   std::function<void()> finished,
                                                   const LoadOptions& options) {
    if (busy()) {
        return nullptr;
    }
    pending_ = std::make_unique<Pending>();
    pending_->path = path;
    pending_->options = options;
    Pending* pending = pending_.get();
    return std::make_unique<BackgroundJob>(
        [pending](Progress& progress) {
            auto loaded = std::make_unique<Motion>();
            Result result = loadMotion(pending->path, *loaded, pending->options, &progress);
            if (result) {
                result = editFor(*loaded, pending->loadedEdit, result);
            }
            if (result) {
                pending->loaded = std::move(loaded);
            }
            return result;
        },
        std::move(finished));
}

Result Document::finishOpen(BackgroundJob& job) {
    const Result result = job.result();
    if (pending_) {
        if (result && pending_->loaded)
            adopt(std::move(pending_->loaded), std::move(pending_->loadedEdit), pending_->path);
        pending_.reset();
    }
    return result;
}

std::unique_ptr<BackgroundJob> Document::startSave(const std::string& path,
                                                   std::function<void()> finished,
                                                   Result& refused) {
    refused = canStartJob("No motion to save.");
    if (!refused) {
        return nullptr;
    }
    settlePlanting();
    auto pending = std::make_unique<Pending>();
    pending->path = path;
    pending->state = currentState();
    pending->phase = Pending::Baking;
    pending_ = std::move(pending);
    Pending* job = pending_.get();
    // The bake reads the edit, which nothing changes while the job runs (the view only reads it
    // too); the write reads only the baked copy.
    return std::make_unique<BackgroundJob>(bakeThenWrite(
                                               edit_->edited(), job->save, job->path,
                                               [](const EditedMotion& edited, PreparedSave& save) {
                                                   return prepareSave(edited, save);
                                               },
                                               [job] { return job->startWriting(); }),
                                           std::move(finished));
}

Result Document::finishSave(BackgroundJob& job) {
    const Result result = job.result();
    if (pending_) {
        if (result) {
            fileName_ = pending_->path;
            savedState_ = pending_->state;
            savedAsLoaded_ = savedState_ == loadedState_;
        }
        pending_.reset();
    }
    return result;
}

std::unique_ptr<BackgroundJob> Document::startExport(const std::string& path,
                                                     std::function<void()> finished,
                                                     Result& refused) {
    refused = canStartJob("No motion to export.");
    if (!refused) {
        return nullptr;
    }
    settlePlanting();
    auto pending = std::make_unique<Pending>();
    pending->path = path;
    pending->phase = Pending::Baking;
    pending_ = std::move(pending);
    Pending* job = pending_.get();
    // As for a save: the worker bakes the edit, then converts and writes its copy.
    return std::make_unique<BackgroundJob>(
        bakeThenWrite(
            edit_->edited(), job->exported, job->path,
            [](const EditedMotion& edited, PreparedExport& exported) {
                return prepareExport(edited, exported);
            },
            [job] { return job->startWriting(); }),
        std::move(finished));
}

Result Document::finishExport(BackgroundJob& job) {
    const Result result = job.result();
    pending_.reset();
    return result;
}

Result Document::canStartJob(const char* withoutMotion) const {
    return busy()    ? Result::failure(kBusy)
           : motion_ ? Result::success()
                     : Result::failure(withoutMotion);
}

void Document::abandon(std::unique_ptr<BackgroundJob> job) {
    int baking = Pending::Baking;
    if (pending_ &&
        (pending_->onMotion || pending_->phase.compare_exchange_strong(baking, Pending::GivenUp))) {
        // It reads the motion this document holds, and ends on its own soon.
        job->progress().cancel();
        job.reset();
        pending_.reset();
        return;
    }
    BackgroundJob::abandon(std::move(job), std::shared_ptr<Pending>(std::move(pending_)));
}

int Document::selected() const {
    return edit_ ? edit_->selected() : -1;
}

void Document::select(int index) {
    if (edit_ && !dragging_) {
        edit_->select(index);
    }
}

void Document::setFalloffRadius(float radius) {
    falloffRadius_ = radius > 0.0f && std::isfinite(radius) ? radius : 0.0f;
    if (edit_) {
        edit_->setFalloffRadius(falloffRadius_);
    }
}

void Document::setFalloff(FalloffShape shape) {
    falloffShape_ = shape;
    if (edit_) {
        edit_->setFalloffShape(shape);
    }
}

bool Document::beginDrag() {
    if (!edit_ || dragging_ || busy() || edit_->selected() < 0) {
        return false;
    }
    const ControlCurve& c = edit_->curve();
    dragStart_.assign(static_cast<std::size_t>(c.pointCount()), CurvePoint{});
    for (int i = 0; i < c.pointCount(); ++i) {
        c.getPoint(i, dragStart_[static_cast<std::size_t>(i)]);
    }
    dragging_ = true;
    return true;
}

bool Document::dragTo(const std::array<double, 3>& nearPoint,
                      const std::array<double, 3>& farPoint) {
    double x = 0.0;
    double z = 0.0;
    if (!dragging_ || !edit_ || !groundPoint(nearPoint, farPoint, edit_->path().height(), x, z)) {
        return false;
    }
    edit_->moveSelected(x, z);
    edit_->refreshDuringDrag();
    ++revision_;
    return true;
}

void Document::commitDrag() {
    if (!dragging_ || !edit_) {
        return;
    }
    dragging_ = false;
    edit_->letGo();
    const std::vector<CurvePoint> before = std::move(dragStart_);
    dragStart_ = std::vector<CurvePoint>();
    recordChanges(before, edit_->wholeTurn());
}

void Document::cancelDrag() {
    if (!dragging_ || !edit_) {
        dragging_ = false;
        return;
    }
    dragging_ = false;
    for (std::size_t i = 0; i < dragStart_.size(); ++i) {
        edit_->setPoint(static_cast<int>(i), dragStart_[i]);
    }
    edit_->refresh(measuresAfterChange());
    edit_->letGo();
    dragStart_ = std::vector<CurvePoint>();
    ++revision_;
}

PathEdit::Measures Document::measuresAfterChange() const {
    return motion_ && motion_->frameCount() >= kMeasureInStepsFrames ? PathEdit::Measures::InSteps
                                                                     : PathEdit::Measures::AtOnce;
}

void Document::measureStep() {
    // A planting job running meanwhile reads only the placements, which the measures leave be.
    if (edit_ && edit_->measuresPending() && edit_->measureStep()) {
        ++revision_;
    }
}

void Document::record(Step step) {
    // A new step after some undos makes the undone ones unreachable.
    history_.erase(history_.begin() + static_cast<std::ptrdiff_t>(applied_), history_.end());
    step.state = nextState_++;
    history_.push_back(std::move(step));
    if (history_.size() > kHistoryLimit) {
        baseState_ = history_.front().state;
        history_.pop_front();
    }
    applied_ = history_.size();
}

unsigned long Document::currentState() const {
    return applied_ == 0 ? baseState_ : history_[applied_ - 1].state;
}

void Document::apply(const Step& step, bool forward) {
    if (step.switchesSpeed) {
        // The timing is made from the points and the switch alone, so it comes back exactly.
        edit_->setKeepSpeed(forward == step.speedAfter);
        ++revision_;
        return;
    }
    if (step.switchesFeet) {
        // The feet chosen since may be others: the step plants or lets go the ones it did, as
        // they were found when it was first made (a search of a long motion would hold the
        // window).
        if (!sameAnkles(edit_->feet(), step.feet)) {
            edit_->setFeetPlanted(false);
            edit_->takeFeet(step.feet);
        }
        edit_->setFeetPlanted(forward == step.feetAfter);
        ++revision_;
        return;
    }
    if (step.detailAfter != 0) {
        // The detail step's moves are the edits of the old detail, which its undo brings back.
        edit_->setDetail(forward ? step.detailAfter : step.detailBefore);
    }
    for (const PointMove& move : step.moves) {
        if (step.detailAfter != 0 && forward) {
            break;
        }
        CurvePoint p;
        p.x = forward ? move.afterX : move.beforeX;
        p.z = forward ? move.afterZ : move.beforeZ;
        edit_->setPoint(move.index, p);
    }
    edit_->setWholeTurn(forward ? step.turnAfter : step.turnBefore);
    edit_->refresh(measuresAfterChange());
    ++revision_;
}

Result Document::setFeetPlanted(bool planted) {
    if (busy()) {
        return Result::failure(kBusy);
    }
    if (!edit_) {
        return Result::failure("No motion to keep the feet of.");
    }
    if (dragging_) {
        return Result::failure("Finish the drag first.");
    }
    if (planted == edit_->feetPlanted()) {
        return Result::success();
    }
    const Result result = edit_->setFeetPlanted(planted);
    if (result) {
        ++revision_;
        recordFeetSwitch(planted);
    }
    return result;
}

void Document::recordFeetSwitch(bool planted) {
    Step step;
    step.switchesFeet = true;
    step.feetAfter = planted;
    step.feet = edit_->feet();
    record(std::move(step));
}

Result Document::setKeepSpeed(bool on) {
    if (busy()) {
        return Result::failure(kBusy);
    }
    if (!edit_) {
        return Result::failure("No motion to keep the speed of.");
    }
    if (dragging_) {
        return Result::failure("Finish the drag first.");
    }
    if (on == edit_->keepSpeed()) {
        return Result::success();
    }
    edit_->setKeepSpeed(on);
    Step step;
    step.switchesSpeed = true;
    step.speedAfter = on;
    ++revision_;
    record(std::move(step));
    return Result::success();
}

Result Document::canChooseFeet() const {
    if (busy()) {
        return Result::failure(kBusy);
    }
    if (!edit_) {
        return Result::failure("No motion to find feet in.");
    }
    if (edit_->feetPlanted()) {
        return Result::failure("Let the feet go before choosing them.");
    }
    return Result::success();
}

Result Document::chooseFeet(const std::vector<std::string>& ankles) {
    const Result allowed = canChooseFeet();
    return allowed ? edit_->findFeet(ankles) : allowed;
}

bool Document::undo() {
    if (dragging_ || busy() || !canUndo()) {
        return false;
    }
    --applied_;
    apply(history_[applied_], false);
    return true;
}

bool Document::redo() {
    if (dragging_ || busy() || !canRedo()) {
        return false;
    }
    apply(history_[applied_], true);
    ++applied_;
    return true;
}

std::size_t Document::historyBytes() const {
    std::size_t bytes = 0;
    for (const Step& step : history_) {
        bytes += sizeof(Step) + step.moves.capacity() * sizeof(PointMove);
    }
    return bytes;
}
