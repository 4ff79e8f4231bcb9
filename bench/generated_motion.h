#pragma once

// The large motions the benchmarks generate: the same bytes on every run, no file needed.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "motion/frame_table.h"
#include "motion/joint.h"

namespace bench {

// A scratch file's path in TMPDIR (or /tmp), named after this process so that two benchmark
// runs on one machine never write over each other's files.
inline std::string scratchPath(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/" + std::to_string(getpid()) + "_" + name;
}

inline double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A root with six channels and joints - 1 joints with three rotations each, in chains of four
// hanging from the root, like limbs.
inline std::unique_ptr<Joint> makeSkeleton(int joints, float rootOffsetX = 0.0f,
                                           float rootOffsetZ = 0.0f) {
    auto root = std::make_unique<Joint>("Hips");
    root->setOffset(rootOffsetX, 0.0f, rootOffsetZ);
    root->setChannels({Xposition, Yposition, Zposition, Zrotation, Yrotation, Xrotation});
    Joint* parent = root.get();
    for (int i = 1; i < joints; ++i) {
        auto joint = std::make_unique<Joint>("Joint" + std::to_string(i));
        joint->setOffset(0.0f, 10.0f + i, 0.5f * i);
        joint->setChannels({Zrotation, Xrotation, Yrotation});
        joint->setParent(parent);
        Joint* added = joint.get();
        parent->appendChild(std::move(joint));
        parent = i % 4 == 0 ? root.get() : added;
    }
    return root;
}

inline int columnsOf(int joints) {
    return 6 + 3 * (joints - 1);
}

// Every value pseudo-random within +-180 with four decimals; with walkingRoot the root's
// position columns instead walk a wavy line, so the root path has a shape to fit.
inline FrameTable makeFrames(int frames, int columns, bool walkingRoot) {
    std::vector<float> values(static_cast<std::size_t>(frames) * static_cast<std::size_t>(columns));
    std::uint32_t state = 12345u;
    for (int f = 0; f < frames; ++f) {
        float* row =
            values.data() + static_cast<std::size_t>(f) * static_cast<std::size_t>(columns);
        int first = 0;
        if (walkingRoot) {
            row[0] = 0.5f * f;
            row[1] = 90.0f + 3.0f * std::sin(f * 0.1f);
            row[2] = 200.0f * std::sin(f * 0.001f);
            first = 3;
        }
        for (int j = first; j < columns; ++j) {
            state = state * 1664525u + 1013904223u;
            row[j] =
                static_cast<float>(static_cast<int>(state >> 8) % 3600000 - 1800000) / 10000.0f;
        }
    }
    FrameTable table(columns);
    table.set(frames, 1.0f / 120.0f, std::move(values));
    return table;
}

}  // namespace bench
