#include "motion/bake.h"

#include <algorithm>
#include <cmath>

#include "editing/root_placement.h"
#include "motion/quaternion.h"

namespace {

// The written order of the fallback layout's rotations: Zrotation Yrotation Xrotation.
constexpr RotationOrder kFallbackOrder = {2, 1, 0};

// The baked root values of one frame, before they are laid out in columns.
struct RootValues {
    float x = 0.0f;
    float y = 0.0f;  // sum of the root's Yposition values (an edit never changes the height)
    float z = 0.0f;
    Quat rotation;                // the heading followed by the root's rotations in file order
    double headingDegrees = 0.0;  // the turn the edited path gives this frame
};

// The root's rotation channels: their columns and axes in file order, the order in which the
// pose applies them.
struct RootRotations {
    std::vector<int> columns;
    std::vector<int> axes;

    // Whether they are three turns about three different axes, which can say any orientation.
    bool canSayAnyOrientation() const {
        return axes.size() == 3 && axes[0] != axes[1] && axes[1] != axes[2] && axes[0] != axes[2];
    }
    RotationOrder order() const { return {axes[0], axes[1], axes[2]}; }
};

RootRotations rotationsOf(const Joint& root) {
    RootRotations r;
    for (int i = 0; i < root.channelCount(); ++i) {
        if (root.channel(i) >= Xrotation) {
            r.columns.push_back(i);
            r.axes.push_back(root.channel(i) - Xrotation);
        }
    }
    return r;
}

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
    v.rotation = axisRotation(p.headingDegrees, 1);
    for (int i = 0; i < root.channelCount(); ++i) {
        const ChannelType type = root.channel(i);
        if (type >= Xrotation) {
            v.rotation = product(v.rotation, axisRotation(row[i], type - Xrotation));
        }
    }
    return v;
}

// Picks each frame's angles among the triples that give its rotation: the file's own where they
// still do (an unedited frame is written as it was read); otherwise the triple nearest to the
// file's values moved by what the frame before changed, or nearest to the frame before where the
// file has no values in this order. Nearest to the file's values alone could flip between two
// triples about equally far from them, a jump of half a turn, where an edit turns the root far.
class AngleTrack {
  public:
    explicit AngleTrack(const RotationOrder& order) : order_(order) {}

    // own: the file's values of this frame in this order, or null where it has none.
    std::array<float, 3> next(const Quat& rotation, const std::array<double, 3>* own) {
        std::array<double, 3> near = last_;
        if (own != nullptr) {
            const bool kept = describes(rotation, order_, *own);
            for (std::size_t n = 0; n < 3; ++n) {
                near[n] = (*own)[n] + (kept ? 0.0 : shift_[n]);
            }
        }
        // near itself where it gives the rotation; the order names three different axes, so
        // there always are angles.
        const std::array<double, 3> angles = toEuler(rotation, order_, near).value_or(near);
        std::array<float, 3> written{};
        for (std::size_t n = 0; n < 3; ++n) {
            written[n] = static_cast<float>(angles[n]);
            last_[n] = written[n];
            shift_[n] = own != nullptr ? last_[n] - (*own)[n] : 0.0;
        }
        return written;
    }

  private:
    RotationOrder order_;
    std::array<double, 3> last_{};   // the angles written for the frame before
    std::array<double, 3> shift_{};  // those minus the file's own values there
};

// Writes the baked values over the root's own columns: positions by type, rotations in the
// root's own order.
void writeNative(const Joint& root, const RootRotations& rotations, const RootValues& v,
                 AngleTrack& track, float* row) {
    for (int i = 0; i < root.channelCount(); ++i) {
        const ChannelType type = root.channel(i);
        if (type == Xposition) {
            row[i] = v.x;
        } else if (type == Zposition) {
            row[i] = v.z;
        }
    }
    if (rotations.columns.empty()) {
        return;
    }
    std::array<double, 3> own{};
    for (std::size_t n = 0; n < 3; ++n) {
        own[n] = row[rotations.columns[n]];
    }
    const std::array<float, 3> angles = track.next(v.rotation, &own);
    for (std::size_t n = 0; n < 3; ++n) {
        row[rotations.columns[n]] = angles[n];
    }
}

// Below half the last decimal the writer keeps, a value missing from the file is no loss.
constexpr double kUnwritten = 5e-5;

// Whether the root's own channels can hold the baked values of every frame: an axis without its
// position channel must stay at 0, and a root without three rotations about three different
// axes must keep the file's orientation (none at all, and no turn), since its channels could not
// say a new one.
bool ownLayoutHolds(const Joint& root, const RootRotations& rotations,
                    const std::vector<RootValues>& values) {
    int xs = 0;
    int zs = 0;
    for (int i = 0; i < root.channelCount(); ++i) {
        xs += root.channel(i) == Xposition ? 1 : 0;
        zs += root.channel(i) == Zposition ? 1 : 0;
    }
    const bool unturned = rotations.columns.empty();
    if (xs > 1 || zs > 1 || (!unturned && !rotations.canSayAnyOrientation())) {
        return false;
    }
    for (const RootValues& v : values) {
        if ((xs == 0 && std::fabs(v.x) >= kUnwritten) ||
            (zs == 0 && std::fabs(v.z) >= kUnwritten) ||
            (unturned && std::fabs(v.headingDegrees) >= kUnwritten)) {
            return false;
        }
    }
    return true;
}

// The same values in the full layout Xposition Yposition Zposition Zrotation Yrotation
// Xrotation, followed by every other column of the frame.
std::unique_ptr<FrameTable> bakeExpanded(const Motion& motion, const RootRotations& rotations,
                                         const std::vector<RootValues>& values) {
    const FrameTable& source = *motion.frames();
    const int ownWidth = motion.root()->channelCount();
    const int restWidth = source.channelCount() - ownWidth;
    const int width = 6 + restWidth;
    const bool sameOrder = rotations.canSayAnyOrientation() && rotations.order() == kFallbackOrder;
    std::vector<float> table(static_cast<std::size_t>(width) *
                             static_cast<std::size_t>(source.frameCount()));
    AngleTrack track(kFallbackOrder);
    for (int f = 0; f < source.frameCount(); ++f) {
        const RootValues& v = values[static_cast<std::size_t>(f)];
        const float* own = source.row(f);
        std::array<double, 3> ownAngles{};
        for (std::size_t n = 0; sameOrder && n < 3; ++n) {
            ownAngles[n] = own[rotations.columns[n]];
        }
        const std::array<float, 3> angles =
            track.next(v.rotation, sameOrder ? &ownAngles : nullptr);
        float* out = table.data() + static_cast<std::size_t>(width) * static_cast<std::size_t>(f);
        const float canonical[6] = {v.x, v.y, v.z, angles[0], angles[1], angles[2]};
        std::copy(canonical, canonical + 6, out);
        std::copy(own + ownWidth, own + ownWidth + restWidth, out + 6);
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
    const RootRotations rotations = rotationsOf(root);
    std::vector<RootValues> values(static_cast<std::size_t>(frameCount));
    for (int f = 0; f < frameCount; ++f) {
        values[static_cast<std::size_t>(f)] = bakeRoot(motion, f);
    }
    if (!ownLayoutHolds(root, rotations, values)) {
        // Written in its own channels, the root would lose the edit or its orientation.
        if (rootChannels) {
            *rootChannels = {Xposition, Yposition, Zposition, Zrotation, Yrotation, Xrotation};
        }
        return bakeExpanded(motion, rotations, values);
    }
    std::vector<float> table = source.values();
    const std::size_t width = static_cast<std::size_t>(source.channelCount());
    // A root without rotations never asks the track for angles.
    AngleTrack track(rotations.canSayAnyOrientation() ? rotations.order() : kFallbackOrder);
    for (int f = 0; f < frameCount; ++f) {
        writeNative(root, rotations, values[static_cast<std::size_t>(f)], track,
                    table.data() + width * static_cast<std::size_t>(f));
    }
    if (rootChannels) {
        *rootChannels = root.channels();
    }
    auto baked = std::make_unique<FrameTable>(source.channelCount());
    baked->set(frameCount, source.frameTime(), std::move(table));
    return baked;
}
