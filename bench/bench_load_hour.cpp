// An hour of capture at 120 frames a second (432,000 frames of a 31-joint figure, about 300 MB):
// the whole load beside the read alone of the same file, and the load of the corpus walk (a
// small file, which must not get slower).
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "generated_motion.h"
#include "motion/bvh_reader.h"
#include "motion/bvh_writer.h"
#include "motion/load_motion.h"
#include "motion/motion.h"

namespace {

constexpr int kFrames = 432000;
constexpr int kJoints = 31;
constexpr int kRepeats = 1;  // a sample a run: scripts/bench.sh takes the median of runs
constexpr int kWalkRepeats = 30;

double readSeconds(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    BvhReader reader;
    reader.open(path);
    std::unique_ptr<Joint> root = reader.readHierarchy();
    std::unique_ptr<FrameTable> table = root ? reader.readMotion() : nullptr;
    reader.close();
    const double seconds = bench::secondsSince(start);
    if (!table) {
        return -1.0;
    }
    benchmark::DoNotOptimize(table->values().data());
    return seconds;
}

// The fastest of `repeats` loads; the previous motion's release is not part of a load.
double loadSeconds(const std::string& path, int repeats) {
    double best = 1e30;
    for (int i = 0; i < repeats; ++i) {
        auto motion = std::make_unique<Motion>();
        const auto start = std::chrono::steady_clock::now();
        const bool ok = static_cast<bool>(loadMotion(path, *motion));
        best = std::min(best, bench::secondsSince(start));
        if (!ok) {
            return -1.0;
        }
    }
    return best;
}

}  // namespace

int main() {
    const std::string source = bench::scratchPath("bench_load_hour.bvh");
    {
        std::unique_ptr<Joint> root = bench::makeSkeleton(kJoints, 3.0f, -2.0f);
        FrameTable frames = bench::makeFrames(kFrames, bench::columnsOf(kJoints), true);
        BvhWriter writer;
        if (!writer.open(source) || !writer.write(root.get(), frames) || !writer.close()) {
            return 1;
        }
    }
    struct stat status;
    const double megabytes =
        stat(source.c_str(), &status) == 0 ? static_cast<double>(status.st_size) / 1e6 : 0.0;

    // Read and load alternate, so that both see the machine in the same state.
    double hourReadSeconds = 1e30;
    double hourLoadSeconds = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        const double read = readSeconds(source);
        const double load = loadSeconds(source, 1);
        if (read < 0.0 || load < 0.0) {
            std::remove(source.c_str());
            return 1;
        }
        hourReadSeconds = std::min(hourReadSeconds, read);
        hourLoadSeconds = std::min(hourLoadSeconds, load);
    }
    std::remove(source.c_str());
    std::printf("hour: %d frames x %d joints, %.0f MB; read %.0f ms, load %.0f ms\n", kFrames,
                kJoints, megabytes, hourReadSeconds * 1000.0, hourLoadSeconds * 1000.0);
    std::printf("summary load_hour_ms: %.0f\n", hourLoadSeconds * 1000.0);
    std::printf("summary load_over_read: %.2f\n", hourLoadSeconds / hourReadSeconds);

    const char* corpus = std::getenv("BVHPATH_CORPUS_DIR");
    const std::filesystem::path corpusDir =
        corpus != nullptr
            ? std::filesystem::path(corpus)
            : std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "shared" / "corpus";
    const std::string walk = (corpusDir / "cmu_01_01_walk.bvh").string();
    const double walkLoad = loadSeconds(walk, kWalkRepeats);
    if (walkLoad < 0.0) {
        std::printf("corpus walk %s: not loaded, skipped\n", walk.c_str());
        return 0;
    }
    std::printf("summary load_walk_ms: %.2f\n", walkLoad * 1000.0);
    return 0;
}
