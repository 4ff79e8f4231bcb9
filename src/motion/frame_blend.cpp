#include "motion/frame_blend.h"

#include <array>
#include <vector>

namespace {

Quat rotationOf(const float* row, const std::array<int, 3>& columns, const RotationOrder& axes) {
    Quat q;
    for (std::size_t n = 0; n < 3; ++n) {
        q = product(q, axisRotation(row[columns[n]], axes[n]));
    }
    return q;
}

}  // namespace

RowBlender::RowBlender(const Motion& motion)
    : width_(motion.frames() ? motion.frames()->channelCount() : 0) {
    const std::vector<Motion::ChannelStep>& steps = motion.channelSteps();
    for (std::size_t j = 0; j + 1 < motion.stepStart().size(); ++j) {
        Turning t;
        int count = 0;
        for (int k = motion.stepStart()[j]; k < motion.stepStart()[j + 1]; ++k) {
            const Motion::ChannelStep step = steps[static_cast<std::size_t>(k)];
            if (step.type >= Xrotation && count++ < 3) {
                t.columns[static_cast<std::size_t>(count - 1)] = step.column;
                t.axes[static_cast<std::size_t>(count - 1)] = step.type - Xrotation;
            }
        }
        const RotationOrder& r = t.axes;
        if (count == 3 && r[0] != r[1] && r[1] != r[2] && r[0] != r[2]) {
            turning_.push_back(t);
        }
    }
}

void RowBlender::setRows(const float* a, const float* b) {
    a_ = a;
    b_ = b;
    for (Turning& t : turning_) {
        t.a = rotationOf(a, t.columns, t.axes);
        t.b = rotationOf(b, t.columns, t.axes);
    }
}

void RowBlender::blend(double share, float* out) const {
    for (int c = 0; c < width_; ++c) {
        out[c] = static_cast<float>((1.0 - share) * a_[c] + share * b_[c]);
    }
    const float* nearer = share < 0.5 ? a_ : b_;
    for (const Turning& t : turning_) {
        const std::array<double, 3> near = {nearer[t.columns[0]], nearer[t.columns[1]],
                                            nearer[t.columns[2]]};
        const std::array<double, 3> angles =
            toEuler(slerp(t.a, t.b, share), t.axes, near).value_or(near);
        for (std::size_t n = 0; n < 3; ++n) {
            out[t.columns[n]] = static_cast<float>(angles[n]);
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
