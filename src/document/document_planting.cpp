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
    const Result result = job.result();
    if (pending_) {
        const bool switchesFeet = pending_->switchesFeet;
        if (result || !switchesFeet) {
            edit_->adoptPlanting(std::move(pending_->planting));
        } else {
            edit_->setFeetPlanted(false);
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
    // Deferred, the switch only finds the feet (where not found yet) and marks the legs stale.
    edit_->setPlantingDeferred(true);
    outcome = edit_->setFeetPlanted(true);
    if (!outcome) {
        edit_->setPlantingDeferred(defersPlanting());
        return nullptr;
    }
    pending_ = std::make_unique<Pending>();
    pending_->onMotion = true;
    pending_->switchesFeet = true;
    Pending* pending = pending_.get();
    const PathEdit* edit = edit_.get();
    return std::make_unique<BackgroundJob>(
        [pending, edit](Progress& progress) {
            pending->planting = edit->solvePlanting();
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
