#include "motion/frame_blend.h"

#include <array>
#include <vector>

#include "motion/quaternion.h"

namespace {

// Joint j's rotation channels in file order: their columns and axes.
struct JointRotations {
    std::array<int, 3> columns{};
    RotationOrder axes{};
    int count = 0;

    bool threeAxes() const {
        return count == 3 && axes[0] != axes[1] && axes[1] != axes[2] && axes[0] != axes[2];
    }
};

JointRotations rotationsOf(const Motion& motion, std::size_t j) {
    JointRotations r;
    const std::vector<Motion::ChannelStep>& steps = motion.channelSteps();
    for (int k = motion.stepStart()[j]; k < motion.stepStart()[j + 1]; ++k) {
        const Motion::ChannelStep step = steps[static_cast<std::size_t>(k)];
        if (step.type < Xrotation) {
            continue;
        }
        if (r.count == 3) {
            r.count = 4;  // more than three: blended angle by angle
            break;
        }
        r.columns[static_cast<std::size_t>(r.count)] = step.column;
        r.axes[static_cast<std::size_t>(r.count)] = step.type - Xrotation;
        ++r.count;
    }
    return r;
}

Quat rotationOf(const float* row, const JointRotations& r) {
    Quat q;
    for (std::size_t n = 0; n < 3; ++n) {
        q = product(q, axisRotation(row[r.columns[n]], r.axes[n]));
    }
    return q;
}

}  // namespace

void blendRows(const Motion& motion, const float* a, const float* b, double share, float* out) {
    const int width = motion.frames() ? motion.frames()->channelCount() : 0;
    for (int c = 0; c < width; ++c) {
        out[c] = static_cast<float>((1.0 - share) * a[c] + share * b[c]);
    }
    for (std::size_t j = 0; j < motion.joints().size(); ++j) {
        const JointRotations r = rotationsOf(motion, j);
        if (!r.threeAxes()) {
            continue;
        }
        const float* nearer = share < 0.5 ? a : b;
        const std::array<double, 3> near = {nearer[r.columns[0]], nearer[r.columns[1]],
                                            nearer[r.columns[2]]};
        const Quat q = slerp(rotationOf(a, r), rotationOf(b, r), share);
        const std::array<double, 3> angles = toEuler(q, r.axes, near).value_or(near);
        for (std::size_t n = 0; n < 3; ++n) {
            out[r.columns[n]] = static_cast<float>(angles[n]);
        }
    }
}

Transform blendTransforms(const Transform& a, const Transform& b, double share) {
    // Column-major: m[column * 4 + row].
    const auto rotation = [](const Transform& m) {
        std::array<std::array<double, 3>, 3> r{};
        for (std::size_t row = 0; row < 3; ++row) {
            for (std::size_t column = 0; column < 3; ++column) {
                r[row][column] = m[column * 4 + row];
            }
        }
        return quaternionOf(r);
    };
    const std::array<std::array<double, 3>, 3> r =
        rotationMatrix(slerp(rotation(a), rotation(b), share));
    Transform m{};
    for (std::size_t row = 0; row < 3; ++row) {
        for (std::size_t column = 0; column < 3; ++column) {
            m[column * 4 + row] = static_cast<float>(r[row][column]);
        }
        m[12 + row] = static_cast<float>((1.0 - share) * a[12 + row] + share * b[12 + row]);
    }
    m[15] = 1.0f;
    return m;
}
