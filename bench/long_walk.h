#pragma once

// The 100,000-frame walk the save's figures are taken on.
#include <memory>
#include <string>
#include <vector>

#include "motion/load_motion.h"
#include "motion/motion.h"

namespace bench {

constexpr int kLongWalkFrames = 100000;

// The bundled sample walked forth and back until it has kLongWalkFrames frames: its feet stand
// as still as the sample's.
inline bool longWalk(Motion& walk) {
    Motion sample;
    if (!loadMotion(std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh", sample)) {
        return false;
    }
    const FrameTable& source = *sample.frames();
    const int n = source.frameCount();
    const int width = source.channelCount();
    std::vector<float> values;
    values.reserve(static_cast<std::size_t>(kLongWalkFrames) * static_cast<std::size_t>(width));
    for (int f = 0; f < kLongWalkFrames; ++f) {
        const int cycle = f % (2 * n - 2);
        const float* row = source.row(cycle < n ? cycle : 2 * n - 2 - cycle);
        values.insert(values.end(), row, row + width);
    }
    auto table = std::make_unique<FrameTable>(width);
    table->set(kLongWalkFrames, source.frameTime(), std::move(values));
    return static_cast<bool>(walk.prepare(copySkeleton(*sample.root()), std::move(table)));
}

}  // namespace bench
