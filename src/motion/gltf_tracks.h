#pragma once

#include <array>
#include <string>
#include <vector>

#include "motion/gltf_export.h"
#include "motion/quaternion.h"
#include "motion/result.h"

class Progress;

// One node of the exported skeleton: its rest transform and, where the file animates it, where
// its values at every frame lie in MotionTracks::values. Lengths in metres, in the parent's frame,
// Y up.
struct NodeTrack {
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    std::string name;  // the joint's name (valid UTF-8), or "<parent>_End" for an End Site
    int parent = -1;   // node index; -1 for the root
    std::array<double, 3> restTranslation{};  // the OFFSET (the root's turned Y up)
    Quat restRotation;                        // none, but the root's up turn for a Z-up file
    // Byte offsets of x y z per frame, and of x y z w per frame (unit, continuous in sign); kNone
    // without position channels, or rotation channels.
    std::size_t translations = kNone;
    std::size_t rotations = kNone;
};

// The whole motion as glTF animates it: nodes in joints() order (parents first), the time of
// every frame in seconds, and every animated value.
struct MotionTracks {
    // Bytes a buffer spends on the frame times and the inverse bind matrices.
    static std::size_t tailBytes(std::size_t frames, std::size_t nodes) {
        return sizeof(float) * (frames + 16 * nodes);
    }

    std::vector<NodeTrack> nodes;
    std::vector<float> times;
    // The nodes' translations and rotations one after another, as the floats of glTF's buffer,
    // which takes this storage over whole: it has room for tailBytes() more reserved behind them,
    // so adding the times and the inverse bind matrices copies nothing else.
    std::vector<unsigned char> values;
};

// Seconds of each of `count` frames `frameTime` apart, as glTF's floats; empty when two of them
// would be the same float (or the frame time is not a positive number), which glTF refuses.
std::vector<float> frameTimes(int count, double frameTime);

// What one glTF buffer may hold: a .glb states its whole length in 32 bits, JSON chunk included.
constexpr std::size_t kMaxBufferBytes = (std::size_t{1} << 32) - (std::size_t{1} << 24);

// Converts the prepared frames to node tracks: each joint's translation (its base offset plus
// its position channels, as the file's reading places them) and rotation (its rotation channels
// in file order) at every frame, scaled to metres. Reports to `progress` from `from` to `to`.
// Fails once it is cancelled (Progress::kCancelled), or before it starts when the values would
// not fit one buffer.
Result motionTracks(const PreparedExport& prepared, MotionTracks& tracks, Progress* progress,
                    double from, double to);
