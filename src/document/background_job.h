#pragma once

#include <atomic>
#include <functional>
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

    Progress& progress() { return progress_; }
    bool done() const { return done_.load(std::memory_order_acquire); }
    // Waits for the work to end and returns its result.
    const Result& result();

  private:
    Progress progress_;
    Result result_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};
