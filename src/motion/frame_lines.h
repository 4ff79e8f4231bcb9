#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "motion/line_source.h"

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
};

// Reads the first `columns` values of one frame line (without its line end) into out.
FrameFault parseFrameLine(std::string_view line, std::size_t columns, float* out);

// How the frame lines are read: threads 1 reads them one by one; more splits blocks of whole
// lines among that many threads, each taking about chunkBytes a round. Input with fewer than
// parallelBytes bytes left (when its size is known) is read one by one all the same.
struct FrameReading {
    int threads = 1;
    std::size_t chunkBytes = LineSource::kDefaultChunk;
    std::size_t parallelBytes = LineSource::kDefaultChunk;
};

// Reads frameCount frame lines of `columns` values into values, row after row. When the input's
// size is known values already holds frameCount * columns floats; otherwise it grows as lines
// arrive. Returns the first fault in file order.
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
    // Runs task(i) on worker i for every worker and returns at once. The task must not throw.
    void start(std::function<void(int)> task);
    // Returns when every worker has finished the task started last.
    void wait();

  private:
    void work(int index);

    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::function<void(int)> task_;
    unsigned long long round_ = 0;  // counts the tasks started
    int busy_ = 0;                  // workers still running the current task
    bool stopping_ = false;
};
