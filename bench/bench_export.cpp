// Exporting glTF beside saving BVH: the 100,000-frame walk with a bent path, written as a .glb
// and as a BVH file, and the export with Keep Feet Planted on.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <chrono>
#include <cstdio>
#include <string>

#include "document/path_edit.h"
#include "generated_motion.h"
#include "long_walk.h"
#include "motion/gltf_export.h"
#include "motion/motion.h"
#include "motion/save_motion.h"

namespace {

double fileMegabytes(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? static_cast<double>(status.st_size) / 1e6 : 0.0;
}

// Seconds the write takes, or a negative number when it fails.
template <typename Write>
double timed(Write write) {
    const auto start = std::chrono::steady_clock::now();
    return write() ? bench::secondsSince(start) : -1.0;
}

}  // namespace

int main() {
    Motion walk;
    if (!bench::longWalk(walk)) {
        return 1;
    }
    // The bend bench_feet saves: the middle control point moved, its neighbours following.
    PathEdit edit(walk);
    const int middle = edit.curve().pointCount() / 2;
    CurvePoint p;
    edit.curve().getPoint(middle, p);
    edit.setFalloffRadius(30.0f * walk.markerRadius());
    edit.select(middle);
    edit.moveSelected(p.x + 80.0, p.z - 60.0);
    edit.select(-1);
    edit.refresh();

    const std::string saved = bench::scratchPath("bench_export_saved.bvh");
    const std::string exported = bench::scratchPath("bench_export.glb");
    const double save = timed([&] { return static_cast<bool>(saveMotion(edit.edited(), saved)); });
    const double glb =
        timed([&] { return static_cast<bool>(exportGltf(edit.edited(), exported)); });
    const double savedMB = fileMegabytes(saved);
    const double exportedMB = fileMegabytes(exported);
    if (!edit.findFeet()) {
        return 1;
    }
    edit.setFeetPlanted(true);
    const double planted =
        timed([&] { return static_cast<bool>(exportGltf(edit.edited(), exported)); });
    std::remove(saved.c_str());
    std::remove(exported.c_str());
    if (save < 0.0 || glb < 0.0 || planted < 0.0) {
        return 1;
    }
    std::printf(
        "long walk: %d frames; BVH save %.0f ms (%.1f MB), glTF export %.0f ms (%.1f MB, %.2f of "
        "the save), with planted feet %.0f ms\n",
        walk.frameCount(), save * 1000.0, savedMB, glb * 1000.0, exportedMB, glb / save,
        planted * 1000.0);
    std::printf("summary export_ms: %.0f\n", glb * 1000.0);
    std::printf("summary export_save_ms: %.0f\n", save * 1000.0);
    std::printf("summary export_planted_ms: %.0f\n", planted * 1000.0);
    return 0;
}
