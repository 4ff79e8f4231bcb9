// Planting the feet on a worker: the solve reads the edit while the view draws it, and the
// document takes the result once done.
#include <utility>

#include "document/document.h"

bool Document::defersPlanting() const {
    switch (planting_) {
        case Planting::AtOnce:
            return false;
        case Planting::OnWorker:
            return true;
        case Planting::OnWorkerWhenSlow:
            return edit_ && !edit_->quickToPlant();
    }
    return false;
}

void Document::setPlanting(Planting planting) {
    planting_ = planting;
    if (edit_ && !busy()) {
        edit_->setPlantingDeferred(defersPlanting());
    }
}

void Document::settlePlanting() {
    if (edit_ && edit_->plantingStale()) {
        // Saved legs are those of the path saved: solved here when nobody started their solve.
        edit_->setPlantingDeferred(false);
        edit_->setPlantingDeferred(defersPlanting());
    }
}

std::unique_ptr<BackgroundJob> Document::startPlanting(std::function<void()> finished) {
    if (!needsPlanting()) {
        return nullptr;
    }
    pending_ = std::make_unique<Pending>();
    pending_->onMotion = true;
    Pending* pending = pending_.get();
    const PathEdit* edit = edit_.get();
    return std::make_unique<BackgroundJob>(
        [pending, edit](Progress&) {
            pending->planting = edit->solvePlanting();
            return Result::success();
        },
        std::move(finished));
}

Result Document::finishPlanting(BackgroundJob& job) {
    Result result = job.result();
    // A switch cancelled after its solve ended is still cancelled: nothing was taken yet.
    if (pending_ && pending_->switchesFeet && result && job.progress().cancelled()) {
        result = Result::failure(Progress::kCancelled);
    }
    if (pending_) {
        if (pending_->switchesFeet && result) {
            // Deferred, taking the feet and switching them on only marks the legs stale.
            edit_->setPlantingDeferred(true);
            if (pending_->searchesFeet) {
                edit_->takeFeet(std::move(pending_->feet));
            }
            edit_->setFeetPlanted(true);
        }
        if (result || !pending_->switchesFeet) {
            edit_->adoptPlanting(std::move(pending_->planting));
        }
        pending_.reset();
        edit_->setPlantingDeferred(defersPlanting());
        ++revision_;
    }
    return result;
}

std::unique_ptr<BackgroundJob> Document::startFeetPlanted(bool planted,
                                                          std::function<void()> finished,
                                                          Result& outcome) {
    if (!planted || busy() || !edit_ || dragging_ || edit_->feetPlanted()) {
        outcome = setFeetPlanted(planted);
        return nullptr;
    }
    outcome = Result::success();
    pending_ = std::make_unique<Pending>();
    pending_->onMotion = true;
    pending_->switchesFeet = true;
    pending_->searchesFeet = !edit_->feetFound();
    Pending* pending = pending_.get();
    const PathEdit* edit = edit_.get();
    // The feet are searched for, where not found yet, and planted without changing the edit,
    // which the view draws meanwhile.
    return std::make_unique<BackgroundJob>(
        [pending, edit](Progress& progress) {
            if (pending->searchesFeet) {
                const Result found = edit->searchFeet({}, pending->feet);
                if (!found) {
                    return found;
                }
            }
            if (progress.cancelled()) {
                return Result::failure(Progress::kCancelled);
            }
            pending->planting =
                edit->plantingOf(pending->searchesFeet ? pending->feet : edit->feet(), &progress);
            return progress.cancelled() ? Result::failure(Progress::kCancelled) : Result::success();
        },
        std::move(finished));
}

Result Document::finishFeetPlanted(BackgroundJob& job) {
    const Result result = finishPlanting(job);
    if (result) {
        recordFeetSwitch(true);
    }
    return result;
}
