// The edit history on long motions: one undo and one redo of a drag with falloff on a
// 100,000-frame motion beside the edit's refresh (what a finished drag costs), and the memory a
// step keeps at 10,000 and at 100,000 frames, which must not grow with the motion's length.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "document/document.h"
#include "document/path_edit.h"
#include "generated_motion.h"
#include "motion/bvh_writer.h"
#include "motion/load_motion.h"

namespace {

constexpr int kJoints = 24;
constexpr int kRepeats = 1;  // a sample a run: scripts/bench.sh takes the median of runs

std::string writeMotion(int frames) {
    const std::string path = bench::scratchPath("bench_history_" + std::to_string(frames) + ".bvh");
    std::unique_ptr<Joint> root = bench::makeSkeleton(kJoints);
    FrameTable table = bench::makeFrames(frames, bench::columnsOf(kJoints), true);
    BvhWriter writer;
    if (!writer.open(path) || !writer.write(root.get(), table) || !writer.close())
        return std::string();
    return path;
}

// Drags the middle control point sideways with a falloff of thirty marker radii, as the view's
// default falloff width would.
void dragMiddle(Document& document) {
    const ControlCurve& curve = document.edit()->curve();
    const int middle = curve.pointCount() / 2;
    CurvePoint p;
    curve.getPoint(middle, p);
    const double h = document.edit()->path().height();
    document.setFalloffRadius(30.0f * document.motion()->markerRadius());
    document.setFalloff(FalloffShape::Linear);
    document.select(middle);
    document.beginDrag();
    document.dragTo({p.x + 40.0, h + 1.0, p.z - 60.0}, {p.x + 40.0, h - 1.0, p.z - 60.0});
    document.commitDrag();
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return 1000.0 * bench::secondsSince(start);
}

}  // namespace

int main() {
    double bytesPerStep[2] = {0.0, 0.0};
    const int lengths[2] = {10000, 100000};
    double undoMs = 1e30, redoMs = 1e30, refreshMs = 1e30;
    for (int k = 0; k < 2; ++k) {
        const std::string path = writeMotion(lengths[k]);
        Document document;
        if (path.empty() || !document.open(path)) {
            std::printf("could not prepare a %d-frame motion\n", lengths[k]);
            return 1;
        }
        dragMiddle(document);
        bytesPerStep[k] = static_cast<double>(document.historyBytes()) /
                          static_cast<double>(std::max<std::size_t>(document.historySize(), 1));
        if (lengths[k] == 100000) {
            for (int i = 0; i < kRepeats; ++i) {
                auto start = std::chrono::steady_clock::now();
                document.undo();
                undoMs = std::min(undoMs, millisecondsSince(start));
                start = std::chrono::steady_clock::now();
                document.redo();
                redoMs = std::min(redoMs, millisecondsSince(start));
            }
            // What a finished drag costs: the ground bounds measured again over every frame.
            Motion motion;
            if (!loadMotion(path, motion))
                return 1;
            PathEdit edit(motion);
            for (int i = 0; i < kRepeats; ++i) {
                auto start = std::chrono::steady_clock::now();
                edit.refresh();
                refreshMs = std::min(refreshMs, millisecondsSince(start));
            }
        }
        std::remove(path.c_str());
    }
    std::printf("summary undo_ms: %.6f\n", undoMs);
    std::printf("summary redo_ms: %.6f\n", redoMs);
    std::printf("summary history_refresh_bounds_ms: %.3f\n", refreshMs);
    std::printf("summary history_bytes_per_step_10k: %.0f\n", bytesPerStep[0]);
    std::printf("summary history_bytes_per_step_100k: %.0f\n", bytesPerStep[1]);
    return 0;
}
