#include "motion/bake.h"

#include <algorithm>
#include <cmath>

#include "editing/root_placement.h"
#include "motion/quaternion.h"

namespace {

// The baked root values of one frame, before they are laid out in columns.
struct RootValues {
    float x = 0.0f;
    float y = 0.0f;  // sum of the root's Yposition values (an edit never changes the height)
    float z = 0.0f;
    std::array<float, 3> euler{};  // ex, ey, ez
    double headingDegrees = 0.0;   // the turn the edited path gives this frame
};

// Where the edited path puts the root of a frame; with no baseline (a motion not prepared by
// load) the file's own ground position with no turn, so the bake then only re-expresses it.
RootPlacement placementOf(const Motion& motion, int frame, float groundX, float groundZ) {
    const std::size_t f = static_cast<std::size_t>(frame);
    if (motion.hasBaseline()) {
        const Baseline& b = motion.baseline();
        return placeRoot(*motion.rootPath(), frame, motion.frameCount(), b.offsetX[f], b.offsetZ[f],
                         b.tangentX[f], b.tangentZ[f]);
    }
    RootPlacement p;
    p.backX = groundX;
    p.backZ = groundZ;
    return p;
}

RootValues bakeRoot(const Motion& motion, int frame) {
    const Joint& root = *motion.root();
    const float* row = motion.frames()->row(frame);
    RootValues v;
    float groundX = 0.0f;
    float groundZ = 0.0f;
    for (int i = 0; i < root.channelCount(); ++i) {
        const ChannelType type = root.channel(i);
        groundX += type == Xposition ? row[i] : 0.0f;
        v.y += type == Yposition ? row[i] : 0.0f;
        groundZ += type == Zposition ? row[i] : 0.0f;
    }
    const RootPlacement p = placementOf(motion, frame, groundX, groundZ);
    v.headingDegrees = p.headingDegrees;
    // The placement's translate-rotate-translate, folded into one ground position.
    const double c = std::cos(p.headingRadians);
    const double s = std::sin(p.headingRadians);
    v.x = static_cast<float>(p.pathX + c * p.backX + s * p.backZ);
    v.z = static_cast<float>(p.pathZ - s * p.backX + c * p.backZ);
    Quat q = axisRotation(static_cast<float>(p.headingDegrees), 1);
    for (int i = 0; i < root.channelCount(); ++i) {
        const ChannelType type = root.channel(i);
        if (type >= Xrotation) {
            q = product(q, axisRotation(row[i], type - Xrotation));
        }
    }
    v.euler = toEuler(q);
    return v;
}

// Writes the baked values over the root's own columns: positions by type, rotations by place
// (first ez, second ey, third ex), as the writer labels them Z, Y, X.
void writeNative(const Joint& root, const RootValues& v, float* row) {
    int rotation = 0;
    for (int i = 0; i < root.channelCount(); ++i) {
        const ChannelType type = root.channel(i);
        if (type == Xposition) {
            row[i] = v.x;
        } else if (type == Zposition) {
            row[i] = v.z;
        } else if (type >= Xrotation) {
            row[i] = v.euler[static_cast<std::size_t>(2 - rotation)];
            ++rotation;
        }
    }
}

// Below half the last decimal the writer keeps, a value missing from the file is no loss.
constexpr double kUnwritten = 5e-5;

// Whether the root's own channels can hold the baked values of every frame: an axis without its
// position channel must stay at 0, and a root without three rotation channels must keep the
// file's orientation (none at all, and no turn), since one or two channels labelled Z, Y by place
// could not say it.
bool ownLayoutHolds(const Joint& root, const std::vector<RootValues>& values) {
    int xs = 0;
    int zs = 0;
    int rotations = 0;
    for (int i = 0; i < root.channelCount(); ++i) {
        const ChannelType type = root.channel(i);
        xs += type == Xposition ? 1 : 0;
        zs += type == Zposition ? 1 : 0;
        rotations += type >= Xrotation ? 1 : 0;
    }
    if (xs > 1 || zs > 1 || (rotations != 0 && rotations != 3)) {
        return false;
    }
    for (const RootValues& v : values) {
        if ((xs == 0 && std::fabs(v.x) >= kUnwritten) ||
            (zs == 0 && std::fabs(v.z) >= kUnwritten) ||
            (rotations == 0 && std::fabs(v.headingDegrees) >= kUnwritten)) {
            return false;
        }
    }
    return true;
}

// The same values in the full layout Xposition Yposition Zposition Zrotation Yrotation
// Xrotation, followed by every other column of the frame.
std::unique_ptr<FrameTable> bakeExpanded(const Motion& motion,
                                         const std::vector<RootValues>& values) {
    const FrameTable& source = *motion.frames();
    const int ownWidth = motion.root()->channelCount();
    const int restWidth = source.channelCount() - ownWidth;
    const int width = 6 + restWidth;
    std::vector<float> table(static_cast<std::size_t>(width) *
                             static_cast<std::size_t>(source.frameCount()));
    for (int f = 0; f < source.frameCount(); ++f) {
        const RootValues& v = values[static_cast<std::size_t>(f)];
        float* out = table.data() + static_cast<std::size_t>(width) * static_cast<std::size_t>(f);
        const float canonical[6] = {v.x, v.y, v.z, v.euler[2], v.euler[1], v.euler[0]};
        std::copy(canonical, canonical + 6, out);
        const float* rest = source.row(f) + ownWidth;
        std::copy(rest, rest + restWidth, out + 6);
    }
    auto baked = std::make_unique<FrameTable>(width);
    baked->set(source.frameCount(), source.frameTime(), std::move(table));
    return baked;
}

}  // namespace

std::unique_ptr<FrameTable> bake(const Motion& motion, std::vector<ChannelType>* rootChannels) {
    if (!motion.poseable()) {
        return nullptr;
    }
    const Joint& root = *motion.root();
    const FrameTable& source = *motion.frames();
    const int frameCount = source.frameCount();
    std::vector<RootValues> values(static_cast<std::size_t>(frameCount));
    for (int f = 0; f < frameCount; ++f) {
        values[static_cast<std::size_t>(f)] = bakeRoot(motion, f);
    }
    if (!ownLayoutHolds(root, values)) {
        // Written in its own channels, the root would lose the edit or its orientation.
        if (rootChannels) {
            *rootChannels = {Xposition, Yposition, Zposition, Zrotation, Yrotation, Xrotation};
        }
        return bakeExpanded(motion, values);
    }
    std::vector<float> table = source.values();
    const std::size_t width = static_cast<std::size_t>(source.channelCount());
    for (int f = 0; f < frameCount; ++f) {
        writeNative(root, values[static_cast<std::size_t>(f)],
                    table.data() + width * static_cast<std::size_t>(f));
    }
    if (rootChannels) {
        *rootChannels = root.channels();
    }
    auto baked = std::make_unique<FrameTable>(source.channelCount());
    baked->set(frameCount, source.frameTime(), std::move(table));
    return baked;
}
