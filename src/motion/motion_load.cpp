#include <cmath>
#include <cstdio>
#include <utility>

#include "motion/bvh_reader.h"
#include "motion/motion.h"
#include "motion/pose.h"

namespace {

bool finite(const Bounds& bounds) {
    for (float v : bounds) {
        if (!std::isfinite(v)) {
            return false;
        }
    }
    return true;
}

int refuse(const char* reason) {
    std::printf("The Parser could not parse this: %s\n", reason);
    return 0;
}

}  // namespace

// Everything is prepared in a motion of its own and taken over only when every step succeeded,
// so a failed load leaves this motion exactly as it was.
int Motion::load(const std::string& path) {
    BvhReader reader;
    reader.open(path);
    std::unique_ptr<Joint> newRoot = reader.readHierarchy();
    if (!newRoot) {
        return 0;
    }
    std::unique_ptr<FrameTable> newFrames = reader.readMotion();
    reader.close();
    if (!newFrames) {
        return 0;  // newRoot releases the skeleton: a failed MOTION section keeps nothing
    }
    // Every pass reads a row, and the curve needs samples to be fitted to.
    if (newFrames->frameCount() <= 0) {
        return refuse("no frames");
    }
    Motion prepared;
    prepared.setSkeleton(std::move(newRoot), std::move(newFrames));
    if (!prepared.poseable()) {
        return refuse("channel count");
    }
    prepared.rootPath = std::make_unique<RootPath>();
    prepared.currentFrame = 0;
    if (!measureMotion(prepared) || !finite(prepared.motionBounds)) {
        // Infinite or NaN positions would reach the curve fit's decomposition, whose failure
        // ends the process.
        return refuse("value out of range");
    }
    prepared.rootPath->fitCurve();
    computeBaseline(prepared);
    *this = std::move(prepared);
    return 1;
}
