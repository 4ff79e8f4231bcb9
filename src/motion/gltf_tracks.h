#pragma once

#include <array>
#include <string>
#include <vector>

#include "motion/gltf_export.h"
#include "motion/quaternion.h"

class Progress;

// One node of the exported skeleton: its rest transform and, where the file animates it, its
// values at every frame. Lengths in metres, in the parent's frame, Y up.
struct NodeTrack {
    std::string name;  // the joint's name (valid UTF-8), or "<parent>_End" for an End Site
    int parent = -1;   // node index; -1 for the root
    std::array<double, 3> restTranslation{};  // the OFFSET (the root's turned Y up)
    Quat restRotation;                        // none, but the root's up turn for a Z-up file
    std::vector<float> translations;          // x y z per frame; empty without position channels
    std::vector<float> rotations;             // x y z w per frame, unit, continuous in sign; empty
                                              // without rotation channels
};

// The whole motion as glTF animates it: nodes in joints() order (parents first) and the time of
// every frame in seconds.
struct MotionTracks {
    std::vector<NodeTrack> nodes;
    std::vector<float> times;
};

// Seconds of each of `count` frames `frameTime` apart, as glTF's floats; empty when two of them
// would be the same float (or the frame time is not a positive number), which glTF refuses.
std::vector<float> frameTimes(int count, double frameTime);

// Converts the prepared frames to node tracks: each joint's translation (its base offset plus
// its position channels, as the file's reading places them) and rotation (its rotation channels
// in file order) at every frame, scaled to metres. Reports to `progress` from `from` to `to`;
// false once it is cancelled.
bool motionTracks(const PreparedExport& prepared, MotionTracks& tracks, Progress* progress,
                  double from, double to);
