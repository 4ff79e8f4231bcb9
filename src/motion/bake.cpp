#include "motion/bake.h"

#include <algorithm>
#include <cmath>

#include "motion/frame_blend.h"
#include "motion/quaternion.h"
#include "numeric/run_in_halves.h"

namespace {

// The written order of the fallback layout's rotations: Zrotation Yrotation Xrotation.
constexpr RotationOrder kFallbackOrder = {2, 1, 0};
// Retimed frames up to which one core blends them all: below, a second thread costs more than
// it saves.
constexpr int kSplitFrames = 2000;

// The baked root values of one frame in the output's axes, before they are laid out in columns.
struct RootValues {
    // x, y, z; along the file's vertical axis the sum of the root's channels there (a path edit
    // never changes the height; planted feet may lower it)
    std::array<float, 3> position{};
    Quat rotation;                // the heading followed by the root's rotations in file order
    double headingDegrees = 0.0;  // the turn the edited path gives this frame
};

// How the file's axes become the output's: the quarter turn about x between a Z-up and a Y-up
// file (none when both are the same). A save turns the root's OFFSET, position and orientation
// by it, which keeps every joint where it was drawn.
struct AxisTurn {
    int quarterTurnsAboutX = 0;  // -1: z up to y up; 1: y up to z up

    std::array<double, 3> apply(const std::array<double, 3>& v) const {
        if (quarterTurnsAboutX == 0) {
            return v;
        }
        return quarterTurnsAboutX < 0 ? std::array<double, 3>{v[0], v[2], -v[1]}
                                      : std::array<double, 3>{v[0], -v[2], v[1]};
    }
    Quat rotation() const { return axisRotation(90.0 * quarterTurnsAboutX, 0); }
};

AxisTurn turnBetween(UpAxis from, UpAxis to) {
    AxisTurn turn;
    turn.quarterTurnsAboutX = from == to ? 0 : (from == UpAxis::Z ? -1 : 1);
    return turn;
}

std::size_t verticalIndex(UpAxis axis) {
    return axis == UpAxis::Z ? 2 : 1;
}

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

// Where the edit puts the root of a frame; where it has no placement, the file's own ground
// position with no turn, so the bake then only re-expresses it. Ground positions are in display
// space, as the pose places the root.
RootPlacement placementOf(const EditedMotion& edited, int frame, double groundX, double groundZ) {
    RootPlacement p;
    if (edited.placement(frame, p) != nullptr) {
        return p;
    }
    p.backX = groundX;
    p.backZ = groundZ;
    return p;
}

// The placement works in display space, where a Z-up file's (x, y, z) is (x, z, -y); the root's
// values are worked out there and turned back into the file's axes, and from those into the
// output's.
RootValues bakeRoot(const EditedMotion& edited, int frame, const AxisTurn& turn) {
    const Motion& motion = edited.motion;
    const Joint& root = *motion.root();
    const float* row = motion.frames()->row(frame);
    std::array<float, 3> sums{0.0f, 0.0f, 0.0f};
    for (int i = 0; i < root.channelCount(); ++i) {
        const ChannelType type = root.channel(i);
        if (type <= Zposition) {
            sums[static_cast<std::size_t>(type)] += row[i];
        }
    }
    const bool zUp = motion.upAxis() == UpAxis::Z;
    const double groundX = sums[0];
    const double groundZ = zUp ? -static_cast<double>(sums[1]) : sums[2];
    const RootPlacement p = placementOf(edited, frame, groundX, groundZ);
    RootValues v;
    v.headingDegrees = p.headingDegrees;
    // The placement's translate-rotate-translate, folded into one ground position.
    const double c = std::cos(p.headingRadians);
    const double s = std::sin(p.headingRadians);
    const double x = p.pathX + c * p.backX + s * p.backZ;
    const double z = p.pathZ - s * p.backX + c * p.backZ;
    // Planted feet may lower the root; display y is the file's vertical axis either way.
    const double drop = edited.legs != nullptr ? edited.legs->dropAt(frame) : 0.0;
    const double vertical = sums[verticalIndex(motion.upAxis())] - drop;
    const std::array<double, 3> inFile =
        zUp ? std::array<double, 3>{x, -z, vertical} : std::array<double, 3>{x, vertical, z};
    const std::array<double, 3> out = turn.apply(inFile);
    for (std::size_t a = 0; a < 3; ++a) {
        v.position[a] = static_cast<float>(out[a]);
    }
    // A turn about display y is one about the file's vertical axis.
    v.rotation =
        product(turn.rotation(),
                axisRotation(p.headingDegrees, static_cast<int>(verticalIndex(motion.upAxis()))));
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

// The root's position channels: how many there are along each axis, and which axes the bake
// writes (the ground axes; all three when the output turns the file's axes).
struct RootPositions {
    std::array<int, 3> count{0, 0, 0};
    std::array<bool, 3> written{true, true, true};
};

RootPositions positionsOf(const Joint& root, UpAxis upAxis, const AxisTurn& turn, bool lowered) {
    RootPositions r;
    for (int i = 0; i < root.channelCount(); ++i) {
        if (root.channel(i) <= Zposition) {
            ++r.count[static_cast<std::size_t>(root.channel(i))];
        }
    }
    if (turn.quarterTurnsAboutX == 0 && !lowered) {
        r.written[verticalIndex(upAxis)] = false;
    }
    return r;
}

// Writes the baked values over the root's own columns: positions by type, rotations in the
// root's own order.
void writeNative(const Joint& root, const RootPositions& positions, const RootRotations& rotations,
                 const RootValues& v, AngleTrack& track, float* row) {
    for (int i = 0; i < root.channelCount(); ++i) {
        const ChannelType type = root.channel(i);
        if (type <= Zposition && positions.written[static_cast<std::size_t>(type)]) {
            row[i] = v.position[static_cast<std::size_t>(type)];
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

// Whether the root's own channels can hold the baked values of every frame: a written axis needs
// at most one position channel, and without one must stay at 0; a root without three rotations
// about three different axes must keep the file's orientation (none at all, no turn, and the
// file's axes), since its channels could not say a new one.
bool ownLayoutHolds(const RootPositions& positions, const RootRotations& rotations,
                    const AxisTurn& turn, const std::vector<RootValues>& values) {
    const bool unturned = rotations.columns.empty();
    if ((!unturned && !rotations.canSayAnyOrientation()) ||
        (unturned && turn.quarterTurnsAboutX != 0)) {
        return false;
    }
    for (std::size_t a = 0; a < 3; ++a) {
        if (positions.written[a] && positions.count[a] > 1) {
            return false;
        }
    }
    for (const RootValues& v : values) {
        for (std::size_t a = 0; a < 3; ++a) {
            if (positions.written[a] && positions.count[a] == 0 &&
                std::fabs(v.position[a]) >= kUnwritten) {
                return false;
            }
        }
        if (unturned && std::fabs(v.headingDegrees) >= kUnwritten) {
            return false;
        }
    }
    return true;
}

// The same values in the full layout Xposition Yposition Zposition Zrotation Yrotation
// Xrotation, followed by every other column of the frame.
std::unique_ptr<FrameTable> bakeExpanded(const Motion& motion, const RootRotations& rotations,
                                         bool turnsAxes, const std::vector<RootValues>& values,
                                         const std::vector<float>& rows) {
    const FrameTable& source = *motion.frames();
    const int ownWidth = motion.root()->channelCount();
    const int restWidth = source.channelCount() - ownWidth;
    const int width = 6 + restWidth;
    const int frameCount = static_cast<int>(values.size());
    const bool sameOrder =
        rotations.canSayAnyOrientation() && rotations.order() == kFallbackOrder && !turnsAxes;
    std::vector<float> table(static_cast<std::size_t>(width) *
                             static_cast<std::size_t>(frameCount));
    AngleTrack track(kFallbackOrder);
    for (int f = 0; f < frameCount; ++f) {
        const RootValues& v = values[static_cast<std::size_t>(f)];
        const float* own = rows.data() + static_cast<std::size_t>(source.channelCount()) *
                                             static_cast<std::size_t>(f);
        std::array<double, 3> ownAngles{};
        for (std::size_t n = 0; sameOrder && n < 3; ++n) {
            ownAngles[n] = own[rotations.columns[n]];
        }
        const std::array<float, 3> angles =
            track.next(v.rotation, sameOrder ? &ownAngles : nullptr);
        float* out = table.data() + static_cast<std::size_t>(width) * static_cast<std::size_t>(f);
        const float canonical[6] = {v.position[0], v.position[1], v.position[2],
                                    angles[0],     angles[1],     angles[2]};
        std::copy(canonical, canonical + 6, out);
        std::copy(own + ownWidth, own + ownWidth + restWidth, out + 6);
    }
    auto baked = std::make_unique<FrameTable>(width);
    baked->set(frameCount, source.frameTime(), std::move(table));
    return baked;
}

// Writes the planted legs' values over their columns (moved by shift, as the root's columns may
// have been laid out anew).
void writePlantedLegs(const PlantedLegs& planting, int shift, FrameTable& table) {
    for (int f = 0; f < table.frameCount(); ++f) {
        for (std::size_t k = 0; k < planting.columns.size(); ++k) {
            table.setValue(
                f, planting.columns[k] + shift,
                planting.values[k + planting.columns.size() * static_cast<std::size_t>(f)]);
        }
    }
}

bool lowersRoot(const PlantedLegs* legs) {
    return legs != nullptr && std::any_of(legs->rootDrop.begin(), legs->rootDrop.end(),
                                          [](float d) { return d != 0.0f; });
}

// Re-expresses the position channels of every joint below a top-level one from the reading they
// were read in to the other: a displacement from the OFFSET becomes the translation itself, or
// the reverse. The first channel along an axis takes the OFFSET; columns are the motion's, moved
// by shift (the root's columns may have been laid out anew).
void rewritePositionChannels(const Motion& motion, PositionChannels to, int shift,
                             FrameTable& table) {
    const double sign = to == PositionChannels::ValueReplacesOffset ? 1.0 : -1.0;
    for (std::size_t j = 0; j < motion.joints().size(); ++j) {
        const Joint& joint = *motion.joints()[j];
        if (motion.parentIndex()[j] < 0) {
            continue;
        }
        std::array<bool, 3> done{false, false, false};
        for (int i = 0; i < joint.channelCount(); ++i) {
            const ChannelType type = joint.channel(i);
            if (type > Zposition || done[static_cast<std::size_t>(type)]) {
                continue;
            }
            done[static_cast<std::size_t>(type)] = true;
            const int column = motion.firstColumn()[j] + i + shift;
            const double offset = joint.offset()[static_cast<std::size_t>(type)];
            for (int f = 0; f < table.frameCount(); ++f) {
                table.setValue(f, column,
                               static_cast<float>(table.value(f, column) + sign * offset));
            }
        }
    }
}

// The root's values `share` of the way from one frame's to the next's: the position and the
// heading linearly, the rotation by slerp, as the retimed pose blends the root.
RootValues blendRoot(const RootValues& a, const RootValues& b, double share) {
    RootValues v;
    for (std::size_t n = 0; n < 3; ++n) {
        v.position[n] = static_cast<float>((1.0 - share) * a.position[n] + share * b.position[n]);
    }
    v.rotation = slerp(a.rotation, b.rotation, share);
    v.headingDegrees = (1.0 - share) * a.headingDegrees + share * b.headingDegrees;
    return v;
}

// The frames of a retimed edit: for each of its moments, the two captured frames around it
// (their rows with the planted legs' values in, their root values baked) blended. The rows
// replace `rows`, the root values `values`. The moments are independent, so the two halves of
// them are blended on two cores.
void retime(const EditedMotion& edited, std::vector<RootValues>& values, std::vector<float>& rows) {
    const FrameTable& source = *edited.motion.frames();
    const std::size_t width = static_cast<std::size_t>(source.channelCount());
    const int last = source.frameCount() - 1;
    const int frameCount = edited.frameCount();
    std::vector<RootValues> retimed(static_cast<std::size_t>(frameCount));
    std::vector<float> blended(width * static_cast<std::size_t>(frameCount));
    runInHalves(frameCount, kSplitFrames, [&](int first, int end, int) {
        RowBlender blender(edited.motion);
        std::vector<float> a(width);
        std::vector<float> b(width);
        int loaded = -1;  // the captured frame whose pair with the next is in a and b
        for (int k = first; k < end; ++k) {
            const double at = std::clamp(edited.capturedTime(k), 0.0, static_cast<double>(last));
            const int f = std::min(static_cast<int>(at), last);
            const int g = std::min(f + 1, last);
            if (f != loaded) {
                a.assign(source.row(f), source.row(f) + width);
                b.assign(source.row(g), source.row(g) + width);
                if (edited.legs != nullptr) {
                    edited.legs->apply(f, a.data());
                    edited.legs->apply(g, b.data());
                }
                blender.setRows(a.data(), b.data());
                loaded = f;
            }
            const double share = at - f;
            blender.blend(share, blended.data() + width * static_cast<std::size_t>(k));
            retimed[static_cast<std::size_t>(k)] = blendRoot(
                values[static_cast<std::size_t>(f)], values[static_cast<std::size_t>(g)], share);
        }
    });
    values = std::move(retimed);
    rows = std::move(blended);
}

}  // namespace

std::unique_ptr<FrameTable> bake(const EditedMotion& edited, std::vector<ChannelType>* rootChannels,
                                 const SaveOptions& options) {
    const Motion& motion = edited.motion;
    if (!motion.poseable()) {
        return nullptr;
    }
    const Joint& root = *motion.root();
    const FrameTable& source = *motion.frames();
    const int frameCount = source.frameCount();
    const AxisTurn turn = turnBetween(motion.upAxis(), options.upAxis.value_or(motion.upAxis()));
    const RootRotations rotations = rotationsOf(root);
    const RootPositions positions =
        positionsOf(root, motion.upAxis(), turn, lowersRoot(edited.legs));
    std::vector<RootValues> values(static_cast<std::size_t>(frameCount));
    for (int f = 0; f < frameCount; ++f) {
        values[static_cast<std::size_t>(f)] = bakeRoot(edited, f, turn);
    }
    // A retimed edit writes its own frames, blended from the captured ones with the planted legs
    // already in; otherwise the captured frames, with the legs written over them below.
    const bool retimed = edited.times != nullptr;
    std::vector<float> table;
    if (retimed) {
        retime(edited, values, table);
    } else {
        table = source.values();
    }
    const int outputCount = static_cast<int>(values.size());
    std::unique_ptr<FrameTable> baked;
    if (!ownLayoutHolds(positions, rotations, turn, values)) {
        // Written in its own channels, the root would lose the edit or its orientation.
        if (rootChannels) {
            *rootChannels = {Xposition, Yposition, Zposition, Zrotation, Yrotation, Xrotation};
        }
        baked = bakeExpanded(motion, rotations, turn.quarterTurnsAboutX != 0, values, table);
    } else {
        const std::size_t width = static_cast<std::size_t>(source.channelCount());
        // A root without rotations never asks the track for angles.
        AngleTrack track(rotations.canSayAnyOrientation() ? rotations.order() : kFallbackOrder);
        for (int f = 0; f < outputCount; ++f) {
            writeNative(root, positions, rotations, values[static_cast<std::size_t>(f)], track,
                        table.data() + width * static_cast<std::size_t>(f));
        }
        if (rootChannels) {
            *rootChannels = root.channels();
        }
        baked = std::make_unique<FrameTable>(source.channelCount());
        baked->set(outputCount, source.frameTime(), std::move(table));
    }
    if (!retimed && edited.legs != nullptr && !edited.legs->empty()) {
        writePlantedLegs(*edited.legs, baked->channelCount() - source.channelCount(), *baked);
    }
    const PositionChannels to = options.positionChannels.value_or(motion.positionChannels());
    if (to != motion.positionChannels()) {
        rewritePositionChannels(motion, to, baked->channelCount() - source.channelCount(), *baked);
    }
    return baked;
}

std::array<float, 3> bakedRootOffset(const Motion& motion, const SaveOptions& options) {
    const std::array<float, 3> offset = motion.root()->offset();
    const AxisTurn turn = turnBetween(motion.upAxis(), options.upAxis.value_or(motion.upAxis()));
    const std::array<double, 3> out = turn.apply({offset[0], offset[1], offset[2]});
    return {static_cast<float>(out[0]), static_cast<float>(out[1]), static_cast<float>(out[2])};
}
