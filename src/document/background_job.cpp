#include "document/background_job.h"

#include <new>
#include <system_error>

BackgroundJob::BackgroundJob(Work work, std::function<void()> finished) {
    auto run = [state = state_, work = std::move(work), finished = std::move(finished)]() {
        try {
            state->result = work(state->progress);
        } catch (const std::bad_alloc&) {
            state->result = Result::failure("Not enough memory.");
        }
        state->done.store(true, std::memory_order_release);
        if (finished)
            finished();
    };
    try {
        thread_ = std::thread(run);
    } catch (const std::system_error&) {
        run();  // no thread to be had: the work runs here, and is done when this returns
    }
}

BackgroundJob::~BackgroundJob() {
    state_->progress.cancel();
    if (thread_.joinable())
        thread_.join();
}

const Result& BackgroundJob::result() {
    if (thread_.joinable())
        thread_.join();
    return state_->result;
}

void BackgroundJob::abandon(std::unique_ptr<BackgroundJob> job, std::shared_ptr<void> uses) {
    if (!job)
        return;
    job->state_->uses = std::move(uses);
    job->state_->progress.cancel();
    if (job->thread_.joinable())
        job->thread_.detach();
}
