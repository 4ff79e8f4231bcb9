#include "motion/pose.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "editing/root_placement.h"
#include "motion/frame_blend.h"
#include "motion/transform_ops.h"

bool isEditedPass(PosePass pass) {
    return pass != PosePass::RecordRaw && pass != PosePass::MeasureRaw;
}

namespace {

bool isLiftedPass(PosePass pass) {
    return pass != PosePass::MeasureRaw && pass != PosePass::MeasureEdited;
}

// The lift puts the lowest joint of the whole motion on y = 0; before any measuring (bounds
// still reset) there is nothing to lift by.
float liftOf(const Motion& motion) {
    const float minY = motion.motionBounds()[MinY];
    return minY <= motion.motionBounds()[MaxY] ? -minY : 0.0f;
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

// Grows the x and z of `bounds` by the cloud hanging from an anchor posed as `m`.
void growGroundByCloud(Bounds& bounds, const RigidCloud& cloud, const Transform& m) {
    const std::array<double, 3> up = {m[1], m[5], m[9]};
    for (int axis : {0, 2}) {
        // Along the axis, a point p of the cloud lies at t + r * p, r the rotation's row.
        const std::array<double, 3> row = {m[axis], m[axis + 4], m[axis + 8]};
        const double t = m[12 + axis];
        const std::size_t high = static_cast<std::size_t>(axis == 0 ? MaxX : MaxZ);
        const float far = static_cast<float>(t + cloud.farthestOnGround(row, up));
        const float near =
            static_cast<float>(t - cloud.farthestOnGround({-row[0], -row[1], -row[2]}, up));
        bounds[high] = std::max(bounds[high], far);
        bounds[high + 1] = std::min(bounds[high + 1], near);
    }
}

// The row an edited pass poses from, and its lift: with planted legs, a copy of the frame's row
// with the legs' replaced values, and the lift lowered where a leg fell short; otherwise the
// frame's own row.
const float* rowToPose(const Motion& motion, int frame, PosePass pass, const PlantedLegs* legs,
                       float& lift) {
    const float* own = motion.frames()->row(frame);
    if (!isEditedPass(pass) || legs == nullptr || legs->empty()) {
        return own;
    }
    thread_local std::vector<float> planted;
    planted.assign(own, own + motion.frames()->channelCount());
    legs->apply(frame, planted.data());
    lift -= legs->dropAt(frame);
    return planted.data();
}

// The file's vertical axis: the root's position channel along it is the one an edited path
// keeps.
ChannelType verticalChannel(const Motion& motion) {
    return motion.upAxis() == UpAxis::Z ? Zposition : Yposition;
}

// Multiplies in joint j's own part of the pose: its base offset; then its translations or, for
// the root on an edited path, the placement and its vertical positions only; then its rotations
// in file order, left out when !turns. row is the frame's row of values. A top-level joint of a
// Z-up file is turned upright (file z to display y) after its OFFSET and placement, which are
// in display space, so the edit works in the file's own ground plane; !upright leaves the file's
// axes as they are.
void applyJoint(const Motion& motion, std::size_t j, const float* row,
                const RootPlacement* placement, bool turns, Transform& m, bool upright = true) {
    const std::array<float, 3>& offset = motion.baseOffset(j);
    const bool turnUpright = upright && motion.upAxis() == UpAxis::Z && motion.parentIndex()[j] < 0;
    if (turnUpright) {
        translateBy(m, offset[0], offset[2], -offset[1]);
    } else {
        translateBy(m, offset[0], offset[1], offset[2]);
    }
    if (placement != nullptr) {
        translateBy(m, static_cast<float>(placement->pathX), 0.0f,
                    static_cast<float>(placement->pathZ));
        rotateAbout(m, 1, static_cast<float>(placement->headingDegrees));
        translateBy(m, static_cast<float>(placement->backX), 0.0f,
                    static_cast<float>(placement->backZ));
    }
    if (turnUpright) {
        rotateAbout(m, 0, -90.0f);
    }
    const ChannelType vertical = verticalChannel(motion);
    const std::vector<Motion::ChannelStep>& steps = motion.channelSteps();
    const std::vector<int>& stepStart = motion.stepStart();
    for (int k = stepStart[j]; k < stepStart[j + 1]; ++k) {
        const Motion::ChannelStep step = steps[static_cast<std::size_t>(k)];
        if (step.type >= Xrotation) {
            if (!turns) {
                break;  // rotations come last
            }
            rotateAbout(m, step.type - Xrotation, row[step.column]);
        } else if (placement == nullptr || step.type == vertical) {
            translateAlong(m, step.type, row[step.column]);
        }
    }
}

// Poses every joint of one frame in joints() order: a parent always precedes its children, so
// one forward sweep replaces the recursive traversal. The placement, if any, is the root's.
// With positionsOnly the rotations of joints without children are left out: they turn nothing
// whose position is measured, so only those joints' orientations differ from a full pose.
// row, when given, holds the frame's values in place of the table's. With posedOnly the members
// of rigid clouds are left out (their entries of `out` are not written).
void poseJoints(const Motion& motion, int frame, const RootPlacement* placement, float lift,
                std::vector<Transform>& out, bool positionsOnly = false, bool upright = true,
                const float* row = nullptr, bool posedOnly = false) {
    const std::vector<Joint*>& joints = motion.joints();
    const std::vector<int>& parents = motion.parentIndex();
    if (row == nullptr) {
        row = motion.frames()->row(frame);
    }
    const std::size_t count = joints.size();
    const std::size_t listed = posedOnly ? motion.posedJoints().size() : count;
    Transform base = identityTransform();
    base[13] = lift;
    out.resize(count);
    for (std::size_t k = 0; k < listed; ++k) {
        const std::size_t j = posedOnly ? static_cast<std::size_t>(motion.posedJoints()[k]) : k;
        const int parent = parents[j];
        Transform& m = out[j];
        m = parent < 0 ? base : out[static_cast<std::size_t>(parent)];
        const bool turns = !positionsOnly || joints[j]->firstChild() != nullptr;
        applyJoint(motion, j, row, j == 0 ? placement : nullptr, turns, m, upright);
    }
}

// Whether the list is ascending and holds every listed joint's parent, as poseSome needs.
bool isJointList(const Motion& motion, const std::vector<int>& joints) {
    const std::size_t count = motion.joints().size();
    for (std::size_t i = 0; i < joints.size(); ++i) {
        const int j = joints[i];
        if (j < 0 || static_cast<std::size_t>(j) >= count || (i > 0 && joints[i - 1] >= j)) {
            return false;
        }
        const int parent = motion.parentIndex()[static_cast<std::size_t>(j)];
        if (parent >= 0 && !std::binary_search(joints.begin(), joints.begin() + i, parent)) {
            return false;
        }
    }
    return true;
}

// The row an edited pass poses frame `frame` from (rowToPose), copied into `row`, and its lift.
void copyRowToPose(const Motion& motion, int frame, PosePass pass, const PlantedLegs* legs,
                   std::vector<float>& row, float& lift) {
    lift = isLiftedPass(pass) ? liftOf(motion) : 0.0f;
    const float* own = rowToPose(motion, frame, pass, legs, lift);
    row.assign(own, own + motion.frames()->channelCount());
}

// Poses `joints` (every joint when null) of the moment `share` of the way from row `frame` to
// the next, into out (sized for every joint): see poseBetween. The callers have checked the
// frame, the pass and the list.
void poseMoment(const Motion& motion, int frame, double share, PosePass pass,
                const RootPlacement* placement, const RootPlacement* nextPlacement,
                const PlantedLegs* legs, const std::vector<int>* joints,
                std::vector<Transform>& out) {
    thread_local std::vector<float> rowA;
    thread_local std::vector<float> rowB;
    thread_local std::vector<float> blended;
    float liftA = 0.0f;
    float liftB = 0.0f;
    copyRowToPose(motion, frame, pass, legs, rowA, liftA);
    copyRowToPose(motion, frame + 1, pass, legs, rowB, liftB);
    blended.resize(rowA.size());
    RowBlender blender(motion);
    blender.setRows(rowA.data(), rowB.data());
    blender.blend(share, blended.data());
    const std::vector<int>& parents = motion.parentIndex();
    const std::size_t count = motion.joints().size();
    out.resize(count);
    const auto base = [](float lift) {
        Transform m = identityTransform();
        m[13] = lift;
        return m;
    };
    const auto poseJoint = [&](std::size_t j) {
        const int parent = parents[j];
        Transform& m = out[j];
        if (j == 0) {
            // The root is blended as placed in each frame, so that it moves along the edited
            // path between them.
            Transform a = base(liftA);
            Transform b = base(liftB);
            applyJoint(motion, 0, rowA.data(), placement, true, a);
            applyJoint(motion, 0, rowB.data(), nextPlacement, true, b);
            m = blendTransforms(a, b, share);
            return;
        }
        m = parent < 0 ? base(static_cast<float>((1.0 - share) * liftA + share * liftB))
                       : out[static_cast<std::size_t>(parent)];
        applyJoint(motion, j, blended.data(), nullptr, true, m);
    };
    if (joints == nullptr) {
        for (std::size_t j = 0; j < count; ++j) {
            poseJoint(j);
        }
    } else {
        for (int j : *joints) {
            poseJoint(static_cast<std::size_t>(j));
        }
    }
}

}  // namespace

bool poseFrame(const Motion& motion, int frame, PosePass pass, const RootPlacement* placement,
               const PlantedLegs* legs, Pose& pose) {
    // A frame outside the table is a caller's slip; posing nothing is safer than reading past it.
    if (pass == PosePass::DrawPath || !motion.poseable() || frame < 0 ||
        frame >= motion.frameCount()) {
        pose.transforms.clear();
        pose.bounds = resetBounds();
        return false;
    }
    if (!isEditedPass(pass)) {
        placement = nullptr;
    }
    float lift = isLiftedPass(pass) ? liftOf(motion) : 0.0f;
    const float* row = rowToPose(motion, frame, pass, legs, lift);
    poseJoints(motion, frame, placement, lift, pose.transforms, false, true, row);
    pose.bounds = resetBounds();
    for (const Transform& m : pose.transforms) {
        grow(pose.bounds, m[12], m[13], m[14]);
    }
    return true;
}

bool poseSome(const Motion& motion, int frame, PosePass pass, const RootPlacement* placement,
              const PlantedLegs* legs, const std::vector<int>& joints, Pose& pose) {
    if (pass == PosePass::DrawPath || !motion.poseable() || frame < 0 ||
        frame >= motion.frameCount()) {
        return false;
    }
    if (!isJointList(motion, joints)) {
        return false;
    }
    const std::size_t count = motion.joints().size();
    if (!isEditedPass(pass)) {
        placement = nullptr;
    }
    float lift = isLiftedPass(pass) ? liftOf(motion) : 0.0f;
    const float* row = rowToPose(motion, frame, pass, legs, lift);
    Transform base = identityTransform();
    base[13] = lift;
    pose.transforms.resize(count);
    for (int j : joints) {
        const std::size_t at = static_cast<std::size_t>(j);
        const int parent = motion.parentIndex()[at];
        Transform& m = pose.transforms[at];
        m = parent < 0 ? base : pose.transforms[static_cast<std::size_t>(parent)];
        applyJoint(motion, at, row, j == 0 ? placement : nullptr, true, m);
    }
    return true;
}

bool poseBetween(const Motion& motion, int frame, double share, PosePass pass,
                 const RootPlacement* placement, const RootPlacement* nextPlacement,
                 const PlantedLegs* legs, Pose& pose) {
    if (!(share > 0.0) || frame + 1 >= motion.frameCount() || pass == PosePass::DrawPath ||
        !motion.poseable() || frame < 0) {
        return poseFrame(motion, frame, pass, placement, legs, pose);
    }
    if (!isEditedPass(pass)) {
        placement = nextPlacement = nullptr;
    }
    poseMoment(motion, frame, share, pass, placement, nextPlacement, legs, nullptr,
               pose.transforms);
    pose.bounds = resetBounds();
    for (const Transform& m : pose.transforms) {
        grow(pose.bounds, m[12], m[13], m[14]);
    }
    return true;
}

bool poseSomeBetween(const Motion& motion, int frame, double share, PosePass pass,
                     const RootPlacement* placement, const RootPlacement* nextPlacement,
                     const PlantedLegs* legs, const std::vector<int>& joints, Pose& pose) {
    if (!(share > 0.0) || frame + 1 >= motion.frameCount() || pass == PosePass::DrawPath ||
        !motion.poseable() || frame < 0) {
        return poseSome(motion, frame, pass, placement, legs, joints, pose);
    }
    if (!isJointList(motion, joints)) {
        return false;
    }
    if (!isEditedPass(pass)) {
        placement = nextPlacement = nullptr;
    }
    poseMoment(motion, frame, share, pass, placement, nextPlacement, legs, &joints,
               pose.transforms);
    return true;
}

bool poseInFileAxes(const Motion& motion, int frame, Pose& pose) {
    if (!motion.poseable() || frame < 0 || frame >= motion.frameCount()) {
        pose.transforms.clear();
        pose.bounds = resetBounds();
        return false;
    }
    poseJoints(motion, frame, nullptr, 0.0f, pose.transforms, false, false);
    pose.bounds = resetBounds();
    for (const Transform& m : pose.transforms) {
        grow(pose.bounds, m[12], m[13], m[14]);
    }
    return true;
}

bool placedRootOnGround(const Motion& motion, int frame, const RootPlacement* placement, float& x,
                        float& z) {
    if (!motion.poseable() || frame < 0 || frame >= motion.frameCount()) {
        return false;
    }
    // The lift and the root's rotations move nothing on the ground.
    Transform root = identityTransform();
    applyJoint(motion, 0, motion.frames()->row(frame), placement, false, root);
    x = root[12];
    z = root[14];
    return true;
}

bool growGroundBounds(const Motion& motion, int frame, const RootPlacement* placement, Bounds& b,
                      float* rootGround) {
    if (!motion.poseable() || frame < 0 || frame >= motion.frameCount()) {
        return false;
    }
    const std::size_t jointCount = motion.joints().size();
    const Motion::BoundsCache& cache = motion.rootRelativeXZ();
    if (cache.size() != 2 * jointCount * static_cast<std::size_t>(motion.frameCount())) {
        thread_local std::vector<Transform> pose;
        poseJoints(motion, frame, placement, 0.0f, pose, true, true, nullptr, true);
        for (int j : motion.posedJoints()) {
            const Transform& m = pose[static_cast<std::size_t>(j)];
            growGround(b, m[12], m[14]);
        }
        for (const RigidCloud& cloud : motion.rigidClouds()) {
            growGroundByCloud(b, cloud, pose[static_cast<std::size_t>(cloud.anchor())]);
        }
        if (rootGround != nullptr) {
            placedRootOnGround(motion, frame, placement, rootGround[0], rootGround[1]);
        }
        return true;
    }
    // The edit turns the frame's raw pose rigidly about the root by the heading change.
    float root[2];
    placedRootOnGround(motion, frame, placement, root[0], root[1]);
    float s = 0.0f;
    float c = 1.0f;
    if (placement != nullptr) {
        rotationSinCos(static_cast<float>(placement->headingDegrees), s, c);
    }
    const float* rel = cache.data() + 2 * jointCount * static_cast<std::size_t>(frame);
    for (std::size_t j = 0; j < jointCount; ++j, rel += 2) {
        growGround(b, root[0] + c * rel[0] + s * rel[1], root[1] + c * rel[1] - s * rel[0]);
    }
    if (rootGround != nullptr) {
        rootGround[0] = root[0];
        rootGround[1] = root[1];
    }
    return true;
}
