#include "motion/reading_detection.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "motion/pose.h"

namespace {

constexpr double kNearPart = 0.01;        // of the figure's size
constexpr int kReplaceShare[2] = {3, 4};  // three quarters
constexpr int kUpAxisFrames = 32;
constexpr double kUpAxisMargin = 1.25;

// The largest extent of the skeleton with every joint at its OFFSET from its parent and no
// channel applied: the scale of the figure before any reading of its channels is chosen.
double restSize(const Motion& motion) {
    const std::vector<Joint*>& joints = motion.joints();
    const std::vector<int>& parents = motion.parentIndex();
    std::vector<std::array<double, 3>> at(joints.size());
    std::array<double, 3> low{0.0, 0.0, 0.0};
    std::array<double, 3> high{0.0, 0.0, 0.0};
    for (std::size_t j = 0; j < joints.size(); ++j) {
        const std::array<float, 3> offset = joints[j]->offset();
        const int parent = parents[j];
        for (std::size_t a = 0; a < 3; ++a) {
            // A top-level joint's OFFSET places the figure, it does not size it.
            at[j][a] = parent < 0 ? 0.0 : at[static_cast<std::size_t>(parent)][a] + offset[a];
            low[a] = std::min(low[a], at[j][a]);
            high[a] = std::max(high[a], at[j][a]);
        }
    }
    return std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
}

// The bounds of the joints below the top-level ones: a static root can lie far from the figure
// hung below it. A skeleton that is all top-level joints is measured whole.
Bounds figureBounds(const Motion& motion, const Pose& pose) {
    Bounds b = resetBounds();
    for (std::size_t j = 0; j < pose.transforms.size(); ++j) {
        if (motion.parentIndex()[j] < 0) {
            continue;
        }
        const Transform& m = pose.transforms[j];
        b[MaxX] = std::max(b[MaxX], m[12]);
        b[MinX] = std::min(b[MinX], m[12]);
        b[MaxY] = std::max(b[MaxY], m[13]);
        b[MinY] = std::min(b[MinY], m[13]);
        b[MaxZ] = std::max(b[MaxZ], m[14]);
        b[MinZ] = std::min(b[MinZ], m[14]);
    }
    return b[MinX] <= b[MaxX] ? b : pose.bounds;
}

// The chains that leave the figure's first branching joint (below a top-level joint and any
// joints with a single child under it), each from that joint's child down to where the chain
// ends or branches, as the vector they span in the rest pose (the OFFSETs alone) in the branching
// joint's own frame: the legs, and the spine up to the chest.
struct FigureChains {
    int branch = -1;
    std::vector<std::array<double, 3>> spans;
};

bool onlyChild(const Joint& joint) {
    return joint.firstChild() != nullptr && joint.firstChild()->nextSibling() == nullptr;
}

FigureChains figureChains(const Motion& motion) {
    FigureChains chains;
    const std::vector<Joint*>& joints = motion.joints();
    if (joints.empty()) {
        return chains;
    }
    // A joint's first child follows it in joints() order.
    std::size_t branch = 0;
    while (onlyChild(*joints[branch])) {
        ++branch;
    }
    chains.branch = static_cast<int>(branch);
    for (const Joint* start = joints[branch]->firstChild(); start != nullptr;
         start = start->nextSibling()) {
        std::array<double, 3> span{0.0, 0.0, 0.0};
        for (const Joint* j = start;; j = j->firstChild()) {
            for (std::size_t a = 0; a < 3; ++a) {
                span[a] += j->offset()[a];
            }
            if (!onlyChild(*j)) {
                break;
            }
        }
        chains.spans.push_back(span);
    }
    return chains;
}

// Adds each chain's length, as posed in `pose`, to the axis it mostly points along, on the side
// it points to: votes[a][0] for +a, votes[a][1] for -a.
void voteChains(const FigureChains& chains, const Pose& pose,
                std::array<std::array<double, 2>, 3>& votes) {
    const Transform& m = pose.transforms[static_cast<std::size_t>(chains.branch)];
    for (const std::array<double, 3>& span : chains.spans) {
        double along[3];
        for (std::size_t a = 0; a < 3; ++a) {
            along[a] = m[a] * span[0] + m[4 + a] * span[1] + m[8 + a] * span[2];
        }
        std::size_t axis = 0;
        for (std::size_t a = 1; a < 3; ++a) {
            axis = std::fabs(along[a]) > std::fabs(along[axis]) ? a : axis;
        }
        votes[axis][along[axis] >= 0.0 ? 0 : 1] +=
            std::sqrt(along[0] * along[0] + along[1] * along[1] + along[2] * along[2]);
    }
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0.0;
    }
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle),
                     values.end());
    return values[middle];
}

}  // namespace

PositionChannels detectPositionChannels(const Motion& motion) {
    if (!motion.poseable()) {
        return PositionChannels::OffsetPlusValue;
    }
    const double near = kNearPart * restSize(motion);
    const float* row = motion.frames()->row(0);
    int judged = 0;
    int replacing = 0;
    for (std::size_t j = 0; j < motion.joints().size(); ++j) {
        const Joint& joint = *motion.joints()[j];
        if (motion.parentIndex()[j] < 0) {
            continue;
        }
        std::array<double, 3> value{0.0, 0.0, 0.0};
        std::array<bool, 3> set{false, false, false};
        for (int i = 0; i < joint.channelCount(); ++i) {
            const ChannelType type = joint.channel(i);
            if (type <= Zposition) {
                value[static_cast<std::size_t>(type)] += row[motion.firstColumn()[j] + i];
                set[static_cast<std::size_t>(type)] = true;
            }
        }
        double offsetLength = 0.0;
        double distance = 0.0;
        for (std::size_t a = 0; a < 3; ++a) {
            if (set[a]) {
                const double offset = joint.offset()[a];
                offsetLength += offset * offset;
                distance += (value[a] - offset) * (value[a] - offset);
            }
        }
        if (std::sqrt(offsetLength) > near) {
            ++judged;
            replacing += std::sqrt(distance) <= near ? 1 : 0;
        }
    }
    const bool replace = judged > 0 && replacing * kReplaceShare[1] >= judged * kReplaceShare[0];
    return replace ? PositionChannels::ValueReplacesOffset : PositionChannels::OffsetPlusValue;
}

UpAxis detectUpAxis(const Motion& motion) {
    if (!motion.poseable()) {
        return UpAxis::Y;
    }
    const int frameCount = motion.frameCount();
    const int samples = std::min(frameCount, kUpAxisFrames);
    std::array<std::vector<double>, 3> extents;
    std::vector<double> sizes;
    Bounds rootRange = resetBounds();
    const FigureChains chains = figureChains(motion);
    std::array<std::array<double, 2>, 3> votes{};
    Pose pose;
    for (int k = 0; k < samples; ++k) {
        const int frame =
            samples > 1
                ? static_cast<int>(static_cast<long long>(k) * (frameCount - 1) / (samples - 1))
                : 0;
        if (!poseInFileAxes(motion, frame, pose)) {
            continue;
        }
        voteChains(chains, pose, votes);
        const Bounds b = figureBounds(motion, pose);
        const double along[3] = {static_cast<double>(b[MaxX]) - b[MinX],
                                 static_cast<double>(b[MaxY]) - b[MinY],
                                 static_cast<double>(b[MaxZ]) - b[MinZ]};
        for (std::size_t a = 0; a < 3; ++a) {
            extents[a].push_back(along[a]);
        }
        sizes.push_back(std::max({along[0], along[1], along[2]}));
        const Transform& root = pose.transforms.front();
        rootRange[MaxY] = std::max(rootRange[MaxY], root[13]);
        rootRange[MinY] = std::min(rootRange[MinY], root[13]);
        rootRange[MaxZ] = std::max(rootRange[MaxZ], root[14]);
        rootRange[MinZ] = std::min(rootRange[MinZ], root[14]);
    }
    if (sizes.empty()) {
        return UpAxis::Y;
    }
    const double travelY = static_cast<double>(rootRange[MaxY]) - rootRange[MinY];
    const double travelZ = static_cast<double>(rootRange[MaxZ]) - rootRange[MinZ];
    const double size = median(sizes);
    if (travelY - travelZ > size) {
        return UpAxis::Z;
    }
    if (travelZ - travelY > size) {
        return UpAxis::Y;
    }
    // The legs point one way along the vertical and the spine the other: the axis with the
    // most length of chains on its lesser side.
    std::size_t opposed = 0;
    for (std::size_t a = 1; a < 3; ++a) {
        if (std::min(votes[a][0], votes[a][1]) > std::min(votes[opposed][0], votes[opposed][1])) {
            opposed = a;
        }
    }
    if (std::min(votes[opposed][0], votes[opposed][1]) > 0.0 && opposed != 0) {
        return opposed == 2 ? UpAxis::Z : UpAxis::Y;
    }
    const double x = median(extents[0]);
    const double y = median(extents[1]);
    const double z = median(extents[2]);
    return z >= x && z > kUpAxisMargin * y ? UpAxis::Z : UpAxis::Y;
}
