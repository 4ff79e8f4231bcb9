#include "motion/pose.h"

#include <algorithm>

#include "editing/root_placement.h"
#include "motion/transform_ops.h"

namespace {

// Frames x joints up to which the load keeps every joint's root-relative ground position for
// refreshBounds (16M entries, 128 MB); beyond it refreshBounds poses every joint again.
constexpr std::size_t kMaxRootRelativeEntries = std::size_t{1} << 24;

bool isEditedPass(PosePass pass) {
    return pass != PosePass::RecordRaw && pass != PosePass::MeasureRaw;
}

bool isLiftedPass(PosePass pass) {
    return pass != PosePass::MeasureRaw && pass != PosePass::MeasureEdited;
}

// The lift puts the lowest joint of the whole motion on y = 0; before any measuring (bounds
// still reset) there is nothing to lift by.
float liftOf(const Motion& motion) {
    const float minY = motion.motionBounds[MinY];
    return minY <= motion.motionBounds[MaxY] ? -minY : 0.0f;
}

void grow(Bounds& bounds, float x, float y, float z) {
    bounds[MaxX] = std::max(bounds[MaxX], x);
    bounds[MinX] = std::min(bounds[MinX], x);
    bounds[MaxY] = std::max(bounds[MaxY], y);
    bounds[MinY] = std::min(bounds[MinY], y);
    bounds[MaxZ] = std::max(bounds[MaxZ], z);
    bounds[MinZ] = std::min(bounds[MinZ], z);
}

void growGround(Bounds& bounds, float x, float z) {
    bounds[MaxX] = std::max(bounds[MaxX], x);
    bounds[MinX] = std::min(bounds[MinX], x);
    bounds[MaxZ] = std::max(bounds[MaxZ], z);
    bounds[MinZ] = std::min(bounds[MinZ], z);
}

bool hasBaseline(const Motion& motion) {
    const std::size_t frames = static_cast<std::size_t>(motion.frameCount());
    return motion.rootPath != nullptr && motion.rootPath->curve() != nullptr &&
           motion.pathOffsetX.size() == frames && motion.pathOffsetZ.size() == frames &&
           motion.pathTangentX.size() == frames && motion.pathTangentZ.size() == frames;
}

// The root's placement on the edited path at a frame; null when the motion has no baseline
// (it was not loaded through load), in which case the edited passes place the root as the file
// does.
const RootPlacement* editedPlacement(const Motion& motion, int frame, RootPlacement& storage) {
    if (!hasBaseline(motion)) {
        return nullptr;
    }
    const std::size_t f = static_cast<std::size_t>(frame);
    storage = placeRoot(*motion.rootPath, frame, motion.frameCount(), motion.pathOffsetX[f],
                        motion.pathOffsetZ[f], motion.pathTangentX[f], motion.pathTangentZ[f]);
    return &storage;
}

// Poses every joint of one frame in joints() order: a parent always precedes its children, so
// one forward sweep replaces the recursive traversal.
void poseJoints(const Motion& motion, int frame, const RootPlacement* placement, float lift,
                std::vector<Transform>& out) {
    const std::vector<Joint*>& joints = motion.joints();
    const std::vector<int>& parents = motion.parentIndex();
    const std::vector<int>& columns = motion.firstColumn();
    const float* row = motion.frames->row(frame);
    Transform base = identityTransform();
    base[13] = lift;
    out.resize(joints.size());
    for (std::size_t j = 0; j < joints.size(); ++j) {
        const int parent = parents[j];
        Transform& m = out[j];
        m = parent < 0 ? base : out[static_cast<std::size_t>(parent)];
        applyJointLocal(*joints[j], row + columns[j], j == 0 ? placement : nullptr, m);
    }
}

void sizeMarker(Motion& motion) {
    // A pose with no extent on some axis gives no sensible scale, so the radius stays as it is.
    if (motion.width != 0.0f && motion.height != 0.0f && motion.depth != 0.0f) {
        motion.markerRadius = 0.015f * std::max({motion.width, motion.height, motion.depth});
    }
    if (motion.rootPath) {
        motion.rootPath->setHeight(10.0f * motion.markerRadius);
    }
    motion.markerSized = true;
}

bool singleTree(const Motion& motion) {
    const std::vector<int>& parents = motion.parentIndex();
    return std::count(parents.begin(), parents.end(), -1) == 1;
}

}  // namespace

void poseFrame(Motion& motion, PosePass pass) {
    // A frame outside the table is a caller's slip; posing nothing is safer than reading past it.
    if (pass == PosePass::DrawPath || !motion.poseable() || motion.currentFrame < 0 ||
        motion.currentFrame >= motion.frameCount()) {
        return;
    }
    if (pass != PosePass::MeasureRaw && !motion.markerSized) {
        sizeMarker(motion);
    }
    RootPlacement storage;
    const RootPlacement* placement =
        isEditedPass(pass) ? editedPlacement(motion, motion.currentFrame, storage) : nullptr;
    const float lift = isLiftedPass(pass) ? liftOf(motion) : 0.0f;
    poseJoints(motion, motion.currentFrame, placement, lift, motion.poseTransforms);

    const std::vector<Joint*>& joints = motion.joints();
    switch (pass) {
        case PosePass::MeasureRaw:
            for (const Transform& m : motion.poseTransforms) {
                grow(motion.motionBounds, m[12], m[13], m[14]);
            }
            if (motion.rootPath) {
                const Transform& r = motion.poseTransforms.front();
                motion.rootPath->appendSample(r[12], r[13], r[14]);
            }
            break;
        case PosePass::MeasureEdited:
            for (const Transform& m : motion.poseTransforms) {
                growGround(motion.motionBounds, m[12], m[14]);
            }
            break;
        case PosePass::RecordRaw:
        case PosePass::RecordEdited:
            motion.poseBounds = resetBounds();
            for (std::size_t j = 0; j < joints.size(); ++j) {
                const Transform& m = motion.poseTransforms[j];
                grow(motion.poseBounds, m[12], m[13], m[14]);
                joints[j]->setWorldPosition(m[12], m[13], m[14]);
            }
            break;
        default:  // the drawing passes only pose; the view draws from poseTransforms
            break;
    }
}

bool measureMotion(Motion& motion) {
    if (!motion.poseable()) {
        return false;
    }
    const int frameCount = motion.frameCount();
    const std::size_t jointCount = motion.joints().size();
    const bool keepRelative =
        singleTree(motion) &&
        jointCount * static_cast<std::size_t>(frameCount) <= kMaxRootRelativeEntries;
    motion.rootRelativeXZ.clear();
    if (keepRelative) {
        motion.rootRelativeXZ.resize(2 * jointCount * static_cast<std::size_t>(frameCount));
    }
    // Zero times a position is zero unless the position is NaN or infinite; bounds alone would
    // not tell, since a NaN never wins a comparison.
    float poison = 0.0f;
    for (int f = 0; f < frameCount; ++f) {
        motion.currentFrame = f;
        poseFrame(motion, PosePass::MeasureRaw);
        for (const Transform& m : motion.poseTransforms) {
            poison += 0.0f * m[12] + 0.0f * m[13] + 0.0f * m[14];
        }
        if (f == 0) {
            const Bounds& b = motion.motionBounds;
            motion.height = b[MaxY] - b[MinY];
            motion.width = b[MaxX] - b[MinX];
            motion.depth = b[MaxZ] - b[MinZ];
        }
        if (keepRelative) {
            const Transform& r = motion.poseTransforms.front();
            float* out =
                motion.rootRelativeXZ.data() + 2 * jointCount * static_cast<std::size_t>(f);
            for (const Transform& m : motion.poseTransforms) {
                *out++ = m[12] - r[12];
                *out++ = m[14] - r[14];
            }
        }
    }
    return poison == 0.0f;
}

void refreshBounds(Motion& motion) {
    if (!motion.poseable()) {
        return;
    }
    const int frameCount = motion.frameCount();
    const std::size_t jointCount = motion.joints().size();
    Bounds& b = motion.motionBounds;
    const Bounds fresh = resetBounds();
    b[MaxX] = fresh[MaxX];
    b[MinX] = fresh[MinX];
    b[MaxZ] = fresh[MaxZ];
    b[MinZ] = fresh[MinZ];
    const bool cached =
        motion.rootRelativeXZ.size() == 2 * jointCount * static_cast<std::size_t>(frameCount);
    std::vector<Transform> pose;
    RootPlacement storage;
    for (int f = 0; f < frameCount; ++f) {
        const RootPlacement* placement = editedPlacement(motion, f, storage);
        if (!cached) {
            poseJoints(motion, f, placement, 0.0f, pose);
            for (const Transform& m : pose) {
                growGround(b, m[12], m[14]);
            }
            continue;
        }
        // The edit turns the frame's raw pose rigidly about the root by the heading change.
        Transform root = identityTransform();
        applyJointLocal(*motion.joints().front(), motion.frames->row(f), placement, root);
        float s = 0.0f;
        float c = 1.0f;
        if (placement != nullptr) {
            rotationSinCos(static_cast<float>(placement->headingDegrees), s, c);
        }
        const float* rel =
            motion.rootRelativeXZ.data() + 2 * jointCount * static_cast<std::size_t>(f);
        for (std::size_t j = 0; j < jointCount; ++j, rel += 2) {
            growGround(b, root[12] + c * rel[0] + s * rel[1], root[14] + c * rel[1] - s * rel[0]);
        }
    }
}

void computeBaseline(Motion& motion) {
    if (!motion.poseable() || !motion.rootPath || motion.rootPath->curve() == nullptr) {
        return;
    }
    if (!motion.markerSized) {
        sizeMarker(motion);
    }
    const int frameCount = motion.frameCount();
    const std::size_t size = static_cast<std::size_t>(frameCount);
    motion.pathOffsetX.assign(size, 0.0f);
    motion.pathOffsetZ.assign(size, 0.0f);
    motion.pathTangentX.assign(size, 0.0f);
    motion.pathTangentZ.assign(size, 0.0f);
    const Joint& root = *motion.root;
    const ControlCurve& curve = *motion.rootPath->curve();
    for (int f = 0; f < frameCount; ++f) {
        // Only the root's position channels matter here: the offset is left out so that the
        // placement, which translates by the OFFSET before it, puts the root where the file does.
        Transform ground = identityTransform();
        const float* row = motion.frames->row(f);
        for (int i = 0; i < root.channelCount(); ++i) {
            const ChannelType type = root.channel(i);
            if (type <= Zposition) {
                translateBy(ground, type == Xposition ? row[i] : 0.0f,
                            type == Yposition ? row[i] : 0.0f, type == Zposition ? row[i] : 0.0f);
            }
        }
        const double t = motion.rootPath->frameParameter(f, frameCount);
        CurvePoint point;
        CurvePoint tangent;
        curve.evaluate(t, point);
        curve.forwardVector(t, tangent);
        const std::size_t i = static_cast<std::size_t>(f);
        motion.pathOffsetX[i] = static_cast<float>(point.x - ground[12]);
        motion.pathOffsetZ[i] = static_cast<float>(point.z - ground[14]);
        motion.pathTangentX[i] = static_cast<float>(tangent.x);
        motion.pathTangentZ[i] = static_cast<float>(tangent.z);
    }
    // Of the recording passes only the last frame's survives, so only that one is run in full.
    motion.currentFrame = frameCount - 1;
    poseFrame(motion, PosePass::RecordRaw);
}

void updatePose(Motion& motion) {
    poseFrame(motion, PosePass::RecordEdited);
}
