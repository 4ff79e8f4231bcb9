#pragma once

#include <atomic>
#include <functional>

// How far a long load or save got, and a way to stop it, shared between the thread doing the
// work and whoever shows it. The work reports a fraction now and then and stops, failing, once
// it sees a cancel; the watcher reads the fraction and may cancel at any time.
class Progress {
  public:
    // The message of the failure a cancelled load or save returns.
    static constexpr const char* kCancelled = "Cancelled.";

    // The work: how far it got, from 0 to 1 (fractions never go back). Calls the listener, if
    // any, on the working thread.
    void report(double fraction);
    bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

    // The watcher.
    double fraction() const { return fraction_.load(std::memory_order_relaxed); }
    void cancel() { cancelled_.store(true, std::memory_order_relaxed); }
    // Called with every reported fraction, on the working thread (the command line prints it).
    void setListener(std::function<void(double)> listener) { listener_ = std::move(listener); }

  private:
    std::atomic<double> fraction_{0.0};
    std::atomic<bool> cancelled_{false};
    std::function<void(double)> listener_;
};

// Reports `done` of `total` steps of a stage that spans [from, to] of the whole, checking for
// a cancel; false when the work must stop. A null progress never stops anything.
bool reportStage(Progress* progress, double from, double to, double done, double total);
