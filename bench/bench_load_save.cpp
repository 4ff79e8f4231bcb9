// Loading, saving with an edit, and re-measuring a large generated motion: the whole load beside
// the read alone, `bvhpath info` beside the load, the save's output rate, and the edit's refresh
// after a drag.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "document/path_edit.h"
#include "generated_motion.h"
#include "motion/bvh_reader.h"
#include "motion/bvh_writer.h"
#include "motion/load_motion.h"
#include "motion/motion.h"
#include "motion/pose.h"
#include "motion/save_motion.h"

namespace {

constexpr int kFrames = 100000;
constexpr int kJoints = 24;  // a root with 6 channels and 23 joints with 3: 75 columns
constexpr int kColumns = 6 + 3 * (kJoints - 1);
constexpr int kRepeats = 3;

double fileMegabytes(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? static_cast<double>(status.st_size) / 1e6 : 0.0;
}

}  // namespace

int main() {
    const std::string source = bench::scratchPath("bench_load_save_source.bvh");
    const std::string saved = bench::scratchPath("bench_load_save_saved.bvh");
    {
        std::unique_ptr<Joint> root = bench::makeSkeleton(kJoints, 3.0f, -2.0f);
        FrameTable frames = bench::makeFrames(kFrames, kColumns, true);
        BvhWriter writer;
        if (!writer.open(source) || !writer.write(root.get(), frames) || !writer.close()) {
            return 1;
        }
    }

    double readBest = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        auto start = std::chrono::steady_clock::now();
        BvhReader reader;
        reader.open(source);
        std::unique_ptr<Joint> root = reader.readHierarchy();
        std::unique_ptr<FrameTable> table = root ? reader.readMotion() : nullptr;
        reader.close();
        readBest = std::min(readBest, bench::secondsSince(start));
        if (!table) {
            return 1;
        }
        benchmark::DoNotOptimize(table->values().data());
    }

    double loadBest = 1e30;
    std::unique_ptr<Motion> motion;
    for (int i = 0; i < kRepeats; ++i) {
        motion.reset();  // the previous motion's release is not part of the load
        motion = std::make_unique<Motion>();
        auto start = std::chrono::steady_clock::now();
        const bool ok = static_cast<bool>(loadMotion(source, *motion));
        loadBest = std::min(loadBest, bench::secondsSince(start));
        if (!ok) {
            return 1;
        }
    }

    // The info subcommand as a script runs it: load, then the report (here into /dev/null).
    double infoBest = 1e30;
    std::FILE* nowhere = std::fopen("/dev/null", "w");
    for (int i = 0; i < kRepeats && nowhere != nullptr; ++i) {
        auto start = std::chrono::steady_clock::now();
        const int status = runSubcommand({"info", source}, nowhere);
        infoBest = std::min(infoBest, bench::secondsSince(start));
        if (status != 0) {
            return 1;
        }
    }
    if (nowhere != nullptr) {
        std::fclose(nowhere);
    }

    // A drag of a middle control point with falloff, as the view would make it.
    PathEdit edit(*motion);
    const int middle = edit.curve().pointCount() / 2;
    CurvePoint p;
    edit.curve().getPoint(middle, p);
    edit.setFalloffRadius(30.0f * motion->markerRadius());
    edit.select(middle);
    edit.moveSelected(p.x + 40.0, p.z - 60.0);
    edit.select(-1);

    double refreshBest = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        auto start = std::chrono::steady_clock::now();
        edit.refresh();
        refreshBest = std::min(refreshBest, bench::secondsSince(start));
    }

    double saveBest = 1e30;
    for (int i = 0; i < kRepeats; ++i) {
        auto start = std::chrono::steady_clock::now();
        const bool ok = static_cast<bool>(saveMotion(edit.edited(), saved));
        saveBest = std::min(saveBest, bench::secondsSince(start));
        if (!ok) {
            return 1;
        }
    }
    const double savedMB = fileMegabytes(saved);
    std::remove(source.c_str());
    std::remove(saved.c_str());

    std::printf("motion: %d frames x %d joints (%d channels), %.1f MB saved\n", kFrames, kJoints,
                kColumns, savedMB);
    std::printf("load / read: %.2f, info / load: %.2f\n", loadBest / readBest, infoBest / loadBest);
    std::printf("summary load_ms: %.0f\n", loadBest * 1000.0);
    std::printf("summary read_only_ms: %.0f\n", readBest * 1000.0);
    std::printf("summary info_ms: %.0f\n", infoBest * 1000.0);
    std::printf("summary save_edited_MBps: %.0f\n", savedMB / saveBest);
    std::printf("summary refresh_bounds_ms: %.1f\n", refreshBest * 1000.0);
    return 0;
}
