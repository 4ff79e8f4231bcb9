#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "motion/progress.h"
#include "motion/result.h"

// Work that runs on a thread of its own: a load, or the writing of a save. The thread that
// starts it watches its progress, may cancel it, and takes the result once done() says so; the
// work itself must touch nothing that other threads use meanwhile.
class BackgroundJob {
  public:
    using Work = std::function<Result(Progress&)>;

    // Starts the work. `finished` (may be empty) is called on the worker thread right after the
    // work ended, to wake the starting thread's event loop.
    BackgroundJob(Work work, std::function<void()> finished);
    // Cancels the work if it still runs and waits for it.
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    Progress& progress() { return state_->progress; }
    bool done() const { return state_->done.load(std::memory_order_acquire); }
    // Waits for the work to end and returns its result.
    const Result& result();
    // Cancels the work and lets it end on its own, without anyone waiting for it (a worker stuck
    // where no cancel reaches, such as a hung network file system, may take until the process
    // ends). `uses` (what the work reads and writes) lives until then.
    static void abandon(std::unique_ptr<BackgroundJob> job, std::shared_ptr<void> uses);

  private:
    // Shared with the worker, which frees it last when the job was abandoned.
    struct State {
        Progress progress;
        Result result;
        std::atomic<bool> done{false};
        std::shared_ptr<void> uses;
    };

    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::thread thread_;
};
