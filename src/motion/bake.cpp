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
};

// Where the edited path puts the root of a frame; with no baseline (a motion not prepared by
// load) the file's own ground position with no turn, so the bake then only re-expresses it.
RootPlacement placementOf(const Motion& motion, int frame, float groundX, float groundZ) {
    const std::size_t f = static_cast<std::size_t>(frame);
    const std::size_t n = static_cast<std::size_t>(motion.frameCount());
    if (motion.rootPath != nullptr && motion.rootPath->curve() != nullptr &&
        motion.pathOffsetX.size() == n && motion.pathOffsetZ.size() == n &&
        motion.pathTangentX.size() == n && motion.pathTangentZ.size() == n) {
        return placeRoot(*motion.rootPath, frame, motion.frameCount(), motion.pathOffsetX[f],
                         motion.pathOffsetZ[f], motion.pathTangentX[f], motion.pathTangentZ[f]);
    }
    RootPlacement p;
    p.backX = groundX;
    p.backZ = groundZ;
    return p;
}

RootValues bakeRoot(const Motion& motion, int frame) {
    const Joint& root = *motion.root;
    const float* row = motion.frames->row(frame);
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

}  // namespace

bool rootCarriesEdit(const Joint& root) {
    int xs = 0;
    int zs = 0;
    int rotations = 0;
    for (int i = 0; i < root.channelCount(); ++i) {
        const ChannelType type = root.channel(i);
        xs += type == Xposition ? 1 : 0;
        zs += type == Zposition ? 1 : 0;
        rotations += type >= Xrotation ? 1 : 0;
    }
    return xs == 1 && zs == 1 && rotations == 3;
}

std::vector<ChannelType> bakedRootChannels(const Joint& root) {
    if (rootCarriesEdit(root)) {
        std::vector<ChannelType> own;
        for (int i = 0; i < root.channelCount(); ++i) {
            own.push_back(root.channel(i));
        }
        return own;
    }
    // Without its own X and Z positions and three rotations the root could not say where the
    // edited path puts it, so it is written with the full set rather than losing the edit.
    return {Xposition, Yposition, Zposition, Zrotation, Yrotation, Xrotation};
}

std::unique_ptr<FrameTable> bake(const Motion& motion) {
    if (!motion.poseable()) {
        return nullptr;
    }
    const Joint& root = *motion.root;
    const FrameTable& source = *motion.frames;
    const int frameCount = source.frameCount();
    if (rootCarriesEdit(root)) {
        std::vector<float> values = source.values();
        const std::size_t width = static_cast<std::size_t>(source.channelCount());
        for (int f = 0; f < frameCount; ++f) {
            writeNative(root, bakeRoot(motion, f),
                        values.data() + width * static_cast<std::size_t>(f));
        }
        auto baked = std::make_unique<FrameTable>(source.channelCount());
        baked->set(frameCount, source.frameTime(), std::move(values));
        return baked;
    }
    const int ownWidth = root.channelCount();
    const int restWidth = source.channelCount() - ownWidth;
    const int width = 6 + restWidth;
    std::vector<float> values(static_cast<std::size_t>(width) *
                              static_cast<std::size_t>(frameCount));
    for (int f = 0; f < frameCount; ++f) {
        const RootValues v = bakeRoot(motion, f);
        float* out = values.data() + static_cast<std::size_t>(width) * static_cast<std::size_t>(f);
        const float canonical[6] = {v.x, v.y, v.z, v.euler[2], v.euler[1], v.euler[0]};
        std::copy(canonical, canonical + 6, out);
        const float* rest = source.row(f) + ownWidth;
        std::copy(rest, rest + restWidth, out + 6);
    }
    auto baked = std::make_unique<FrameTable>(width);
    baked->set(frameCount, source.frameTime(), std::move(values));
    return baked;
}
