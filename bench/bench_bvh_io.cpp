// Reading and writing a large generated motion: the reader beside what the machine's own tools
// read the same file at (cat, wc -l), the writer beside an fprintf loop, and the heap a read
// needs beyond its table. One sample of each a run; scripts/bench.sh takes the median of runs.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "generated_motion.h"
#include "motion/bvh_reader.h"
#include "motion/bvh_writer.h"

namespace {

std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};

void countAllocation(void* p) {
    long long now = liveBytes += static_cast<long long>(malloc_usable_size(p));
    long long peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
}

}  // namespace

// The heap is counted through the global allocation functions, so the read's peak can be told
// apart from the table it returns.
__attribute__((noinline)) void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    countAllocation(p);
    return p;
}
void operator delete(void* p) noexcept {
    if (p)
        liveBytes -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    if (p)
        liveBytes -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}

namespace {

constexpr int kFrames = 100000;
constexpr int kJoints = 23;  // a root with 6 channels and 22 joints with 3: 72 columns

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The same file through fprintf: the hierarchy from the writer's own output, the rest formatted.
double fprintfSeconds(const std::string& path, const std::string& hierarchy,
                      const FrameTable& frames) {
    auto start = std::chrono::steady_clock::now();
    std::FILE* f = std::fopen(path.c_str(), "w");
    std::fputs(hierarchy.c_str(), f);
    // The shortest fixed form of at least six decimals that reads back as the same float, as the
    // writer writes it.
    char frameTime[80];
    for (int decimals = 6; decimals <= 60; ++decimals) {
        std::snprintf(frameTime, sizeof frameTime, "%.*f", decimals,
                      static_cast<double>(frames.frameTime()));
        if (std::strtof(frameTime, nullptr) == frames.frameTime()) {
            break;
        }
    }
    std::fprintf(f, "MOTION\nFrames: %d\nFrame Time: %s\n", frames.frameCount(), frameTime);
    const int columns = frames.channelCount();
    for (int r = 0; r < frames.frameCount(); ++r) {
        const float* row = frames.row(r);
        for (int j = 0; j + 1 < columns; ++j) {
            std::fprintf(f, "%.4f ", row[j]);
        }
        std::fprintf(f, "%.4f\n", row[columns - 1]);
    }
    std::fclose(f);
    return bench::secondsSince(start);
}

// Seconds the shell command takes on the file (its output thrown away): what the machine's own
// tools read the same bytes at.
double commandSeconds(const std::string& command, const std::string& path) {
    const std::string line = command + " '" + path + "' > /dev/null";
    auto start = std::chrono::steady_clock::now();
    const int status = std::system(line.c_str());
    return status == 0 ? bench::secondsSince(start) : -1.0;
}

struct ReadRun {
    double seconds = 0.0;
    double extraMB = 0.0;  // heap beyond the returned table at the read's peak
    bool same = true;      // the values read match the table written
};

void readOnce(const std::string& path, const FrameReading& how, const FrameTable& frames,
              ReadRun& run) {
    long long before = liveBytes.load();
    peakBytes = before;
    auto start = std::chrono::steady_clock::now();
    BvhReader reader;
    reader.setFrameReading(how);
    reader.open(path);
    std::unique_ptr<Joint> readRoot = reader.readHierarchy();
    std::unique_ptr<FrameTable> table = readRoot ? reader.readMotion() : nullptr;
    reader.close();
    run.seconds = bench::secondsSince(start);
    if (!table) {
        run.same = false;
        return;
    }
    long long tableBytes = static_cast<long long>(table->values().capacity() * sizeof(float));
    run.extraMB = static_cast<double>(peakBytes.load() - before - tableBytes) / (1024.0 * 1024.0);
    for (int f = 0; f < kFrames && run.same; f += 997) {
        for (int j = 0; j < 72; ++j) {
            run.same &= std::abs(table->value(f, j) - frames.value(f, j)) < 0.00005f;
        }
    }
}

}  // namespace

int main() {
    std::unique_ptr<Joint> root = bench::makeSkeleton(kJoints);
    FrameTable frames = bench::makeFrames(kFrames, bench::columnsOf(kJoints), false);
    const std::string written = bench::scratchPath("bench_bvh_io_writer.bvh");
    const std::string printed = bench::scratchPath("bench_bvh_io_fprintf.bvh");

    auto start = std::chrono::steady_clock::now();
    BvhWriter writer;
    writer.open(written);
    int ok = writer.write(root.get(), frames);
    ok &= writer.close();
    const double writerSeconds = bench::secondsSince(start);
    if (!ok)
        return 1;
    std::string text = slurp(written);
    const double megabytes = static_cast<double>(text.size()) / 1e6;
    std::string hierarchy = text.substr(0, text.find("MOTION\n"));
    const double printfSeconds = fprintfSeconds(printed, hierarchy, frames);
    bool identical = slurp(printed) == text;
    text = std::string();
    hierarchy = std::string();
    const double catSeconds = commandSeconds("cat", written);
    const double wcSeconds = commandSeconds("wc -l", written);

    // The same file read on one thread and split among the machine's threads, by turns, so that
    // a busy moment of the machine weighs on both alike.
    FrameReading oneThread = BvhReader::defaultFrameReading();
    oneThread.threads = 1;
    const FrameReading parallel = BvhReader::defaultFrameReading();
    ReadRun single;
    ReadRun split;
    readOnce(written, oneThread, frames, single);
    readOnce(written, parallel, frames, split);
    std::remove(written.c_str());
    std::remove(printed.c_str());

    std::printf("motion: %d frames x 72 channels, %.1f MB of text\n", kFrames, megabytes);
    std::printf("writer output byte-identical to fprintf: %s\n", identical ? "yes" : "NO");
    std::printf("read values match the written table: %s (one thread), %s (%d threads)\n",
                single.same ? "yes" : "NO", split.same ? "yes" : "NO", parallel.threads);
    std::printf("summary reader_MBps: %.0f\n", megabytes / single.seconds);
    std::printf("summary reader_parallel_MBps: %.0f\n", megabytes / split.seconds);
    std::printf("summary reader_parallel_speedup: %.2f\n", single.seconds / split.seconds);
    std::printf("summary cat_MBps: %.0f\n", megabytes / catSeconds);
    std::printf("summary wc_l_MBps: %.0f\n", megabytes / wcSeconds);
    std::printf("summary writer_MBps: %.0f\n", megabytes / writerSeconds);
    std::printf("summary fprintf_MBps: %.0f\n", megabytes / printfSeconds);
    std::printf("summary read_peak_extra_MB: %.2f\n", single.extraMB);
    std::printf("summary read_parallel_peak_extra_MB: %.2f\n", split.extraMB);
    return identical && single.same && split.same && catSeconds > 0.0 && wcSeconds > 0.0 ? 0 : 1;
}
