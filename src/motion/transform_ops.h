#pragma once

#include <cmath>

#include "editing/root_placement.h"
#include "motion/joint.h"
#include "motion/motion.h"

// The matrix operations of the fixed-function pipeline that the pose pass replaces, on
// column-major 4x4 floats, each multiplying on the right as glTranslatef and glRotatef do.

inline Transform identityTransform() {
    return {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
            0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
}

inline void translateBy(Transform& m, float x, float y, float z) {
    m[12] = m[0] * x + m[4] * y + m[8] * z + m[12];
    m[13] = m[1] * x + m[5] * y + m[9] * z + m[13];
    m[14] = m[2] * x + m[6] * y + m[10] * z + m[14];
}

// Sine and cosine as glRotatef takes them: degrees to radians in double, trigonometry in float.
inline void rotationSinCos(float degrees, float& s, float& c) {
    const float radians = static_cast<float>(degrees * M_PI / 180.0);
    s = std::sin(radians);
    c = std::cos(radians);
}

// glRotatef(degrees, axis) for axis 0 = x, 1 = y, 2 = z (the unit axes need no normalising).
inline void rotateAbout(Transform& m, int axis, float degrees) {
    float s;
    float c;
    rotationSinCos(degrees, s, c);
    // Rotating about one axis mixes the other two columns: (a, b) = (y, z), (z, x) or (x, y).
    const int a = axis == 0 ? 1 : (axis == 1 ? 2 : 0);
    const int b = axis == 0 ? 2 : (axis == 1 ? 0 : 1);
    for (int r = 0; r < 3; ++r) {
        const float ma = m[a * 4 + r];
        const float mb = m[b * 4 + r];
        m[a * 4 + r] = c * ma + s * mb;
        m[b * 4 + r] = c * mb - s * ma;
    }
}

// Multiplies in one joint's own part of the pose: its OFFSET, then all its translations (or,
// for the root on an edited path, the placement and its Y position), then its rotations in file
// order. values points at the joint's first column of the frame's row.
inline void applyJointLocal(const Joint& joint, const float* values, const RootPlacement* placement,
                            Transform& m) {
    const std::array<float, 3> offset = joint.offset();
    translateBy(m, offset[0], offset[1], offset[2]);
    const int count = joint.channelCount();
    if (placement != nullptr) {
        translateBy(m, static_cast<float>(placement->pathX), 0.0f,
                    static_cast<float>(placement->pathZ));
        rotateAbout(m, 1, static_cast<float>(placement->headingDegrees));
        translateBy(m, static_cast<float>(placement->backX), 0.0f,
                    static_cast<float>(placement->backZ));
        for (int i = 0; i < count; ++i) {
            if (joint.channel(i) == Yposition) {
                translateBy(m, 0.0f, values[i], 0.0f);
            }
        }
    } else {
        for (int i = 0; i < count; ++i) {
            const ChannelType type = joint.channel(i);
            if (type <= Zposition) {
                translateBy(m, type == Xposition ? values[i] : 0.0f,
                            type == Yposition ? values[i] : 0.0f,
                            type == Zposition ? values[i] : 0.0f);
            }
        }
    }
    for (int i = 0; i < count; ++i) {
        const ChannelType type = joint.channel(i);
        if (type >= Xrotation) {
            rotateAbout(m, type - Xrotation, values[i]);
        }
    }
}
