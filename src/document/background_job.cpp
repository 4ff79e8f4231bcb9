#include "document/background_job.h"

#include <new>
#include <system_error>

BackgroundJob::BackgroundJob(Work work, std::function<void()> finished) {
    auto run = [this, work = std::move(work), finished = std::move(finished)]() {
        try {
            result_ = work(progress_);
        } catch (const std::bad_alloc&) {
            result_ = Result::failure("Not enough memory.");
        }
        done_.store(true, std::memory_order_release);
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
    progress_.cancel();
    if (thread_.joinable())
        thread_.join();
}

const Result& BackgroundJob::result() {
    if (thread_.joinable())
        thread_.join();
    return result_;
}
