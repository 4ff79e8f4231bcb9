#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "motion/line_source.h"
#include "motion/progress.h"

// The MOTION section's frame lines, read one by one on the calling thread or in blocks split
// among worker threads. Both ways parse every line with parseFrameLine, so they give the same
// table bit for bit and stop at the same first fault.

enum class FrameFault {
    None,
    NotEnoughData,  // a line with fewer values than columns, or the input ended first
    NonFinite,      // a value that is infinite or not a number
    NulByte,        // a NUL byte in the line
    NoMemory,       // an allocation failed
    Source,         // the input stopped at a fault of its own (LineSource::fault())
    Cancelled,      // the progress watcher asked to stop
};

// Reads the first `columns` values of one frame line (without its line end) into out.
FrameFault parseFrameLine(std::string_view line, std::size_t columns, float* out);

// How the frame lines are read: threads 1 reads them one by one; more reads blocks of whole
// lines of about threads * chunkBytes and splits each among that many worker threads (and the
// calling thread, once it has read the next block). A file is read chunkBytes at a time. Input
// with fewer than parallelBytes bytes left (when its size is known) is read one by one.
struct FrameReading {
    int threads = 1;
    std::size_t chunkBytes = LineSource::kDefaultChunk;
    std::size_t parallelBytes = LineSource::kDefaultChunk;
    // Told the share of the frames read so far, scaled to [0, progressTo] of the whole, and
    // asked whether to go on; null reports nothing.
    Progress* progress = nullptr;
    double progressTo = 1.0;
};

// Reads frameCount frame lines of `columns` values into values (emptied first), row after row:
// with a known size the room for all of them is made at once, from a pipe the table grows as
// lines arrive. Returns the first fault in file order; values is then partly filled.
FrameFault readFrameLines(LineSource& source, int frameCount, std::size_t columns,
                          std::vector<float>& values, const FrameReading& how);

// Threads that each run one task at a time, started once for a whole read and joined at the end.
class FrameWorkers {
  public:
    // Starts up to count threads; fewer (even none) when the system refuses more.
    explicit FrameWorkers(int count);
    ~FrameWorkers();
    FrameWorkers(const FrameWorkers&) = delete;
    FrameWorkers& operator=(const FrameWorkers&) = delete;

    int size() const { return static_cast<int>(threads_.size()); }
    // Runs the task once on every worker and returns at once. The task must not throw.
    void start(std::function<void()> task);
    // Returns when every worker has finished the task started last.
    void wait();

  private:
    void work();

    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::function<void()> task_;
    unsigned long long round_ = 0;  // counts the tasks started
    int busy_ = 0;                  // workers still running the current task
    bool stopping_ = false;
};
