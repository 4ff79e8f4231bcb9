// Edits on big motions: the release of a drag (the edit's refresh) on the hour-long capture and
// on a 1,000,000-frame walk, whose joints outnumber the root-relative cache; and picking a control
// point among the hour's thousands.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "document/path_edit.h"
#include "generated_motion.h"
#include "motion/motion.h"
#include "view/camera.h"
#include "view/picking.h"

namespace {

constexpr int kJoints = 31;

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return 1000.0 * bench::secondsSince(start);
}

std::unique_ptr<Motion> generated(int frames) {
    auto motion = std::make_unique<Motion>();
    FrameTable table = bench::makeFrames(frames, bench::columnsOf(kJoints), true);
    if (!motion->prepare(bench::makeSkeleton(kJoints),
                         std::make_unique<FrameTable>(std::move(table)))) {
        return nullptr;
    }
    return motion;
}

// A drag of the middle control point with falloff, as the view would make it, then its release:
// the longest move of the drag and the release (the refresh), timed.
struct DragTimes {
    double moveMs = 0.0;
    double releaseMs = 0.0;
};

DragTimes timedDrag(PathEdit& edit) {
    const int middle = edit.curve().pointCount() / 2;
    CurvePoint p;
    edit.curve().getPoint(middle, p);
    edit.setFalloffRadius(30.0f * edit.motion().markerRadius());
    edit.select(middle);
    DragTimes times;
    for (int step = 1; step <= 10; ++step) {
        const auto start = std::chrono::steady_clock::now();
        edit.moveSelected(p.x + 4.0 * step, p.z - 6.0 * step);
        edit.refreshDuringDrag();
        times.moveMs = std::max(times.moveMs, millisecondsSince(start));
    }
    edit.select(-1);
    const auto start = std::chrono::steady_clock::now();
    edit.refresh();
    times.releaseMs = millisecondsSince(start);
    return times;
}

}  // namespace

int main() {
    const std::unique_ptr<Motion> hour = generated(432000);
    if (!hour) {
        return 1;
    }
    PathEdit hourEdit(*hour);
    const DragTimes hourDrag = timedDrag(hourEdit);

    // A pick in the middle of the view fitted to the whole hour.
    Camera camera;
    fitCamera(camera, hourEdit.bounds());
    const auto start = std::chrono::steady_clock::now();
    const int picked = controlPointUnder(hourEdit.curve(), camera, 395.0, 377.0, 790, 755);
    const double pick = millisecondsSince(start);

    const std::unique_ptr<Motion> walk = generated(1000000);
    if (!walk) {
        return 1;
    }
    PathEdit walkEdit(*walk);
    const DragTimes walkDrag = timedDrag(walkEdit);
    std::printf(
        "drag: hour (%d control points, cached) move %.1f ms, release %.1f ms; "
        "1,000,000 frames (beyond the cache: %s) move %.1f ms, release %.1f ms; pick among "
        "the hour's points %.2f ms (point %d)\n",
        hourEdit.curve().pointCount(), hourDrag.moveMs, hourDrag.releaseMs,
        walk->rootRelativeXZ().empty() ? "yes" : "no", walkDrag.moveMs, walkDrag.releaseMs, pick,
        picked);
    std::printf("summary drag_move_ms_hour: %.1f\n", hourDrag.moveMs);
    std::printf("summary drag_release_ms_hour: %.1f\n", hourDrag.releaseMs);
    std::printf("summary drag_move_ms_1m: %.1f\n", walkDrag.moveMs);
    std::printf("summary drag_release_ms_1m: %.1f\n", walkDrag.releaseMs);
    std::printf("summary pick_ms_hour: %.3f\n", pick);
    return 0;
}
