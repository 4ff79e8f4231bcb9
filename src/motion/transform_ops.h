#pragma once

#include <cmath>
#include <cstddef>

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

// Sine and cosine of an angle in degrees, as glRotatef takes them, to float precision. The angle
// is reduced exactly (in double) to within 45 degrees of a multiple of 90, where two short series
// do the rest: the pose evaluates millions of these per load, and the library's general routine
// was most of the load's time.
inline void rotationSinCos(float degrees, float& s, float& c) {
    const double d = degrees;
    if (!(std::fabs(d) < 1e9)) {  // also NaN and infinities
        s = static_cast<float>(std::sin(d * M_PI / 180.0));
        c = static_cast<float>(std::cos(d * M_PI / 180.0));
        return;
    }
    const double turns = d * (1.0 / 90.0);
    // Rounded half away from zero; copysign rather than a choice, which random angles would keep
    // mispredicting (a -0 rounds to 0 either way).
    const long long quarter = static_cast<long long>(turns + std::copysign(0.5, turns));
    const double x = (d - static_cast<double>(quarter) * 90.0) * (M_PI / 180.0);
    const double x2 = x * x;
    // Minimax polynomials of degree 7 and 8 (those of the Cephes library's single-precision
    // routines): within float rounding of the true values for |x| <= pi / 4.
    const double sinX =
        x + x * x2 * (-1.6666654611e-1 + x2 * (8.3321608736e-3 + x2 * -1.9515295891e-4));
    const double cosX =
        1.0 - 0.5 * x2 +
        x2 * x2 * (4.166664568298827e-2 + x2 * (-1.388731625493765e-3 + x2 * 2.443315711809948e-5));
    // Quarter turn q: (s, c) is (sin, cos), (cos, -sin), (-sin, -cos) or (-cos, sin); chosen by
    // table rather than by branches, which random angles would keep mispredicting.
    static constexpr double kSineSign[4] = {1.0, 1.0, -1.0, -1.0};
    static constexpr double kCosineSign[4] = {1.0, -1.0, -1.0, 1.0};
    const double series[2] = {sinX, cosX};
    const int q = static_cast<int>(quarter & 3);
    s = static_cast<float>(series[q & 1] * kSineSign[q]);
    c = static_cast<float>(series[(q & 1) ^ 1] * kCosineSign[q]);
}

// Rotating about one axis mixes the other two columns, a into b as glRotatef's matrix does.
template <int A, int B>
inline void mixColumns(Transform& m, float s, float c) {
    for (int r = 0; r < 3; ++r) {
        const float ma = m[A * 4 + r];
        const float mb = m[B * 4 + r];
        m[A * 4 + r] = c * ma + s * mb;
        m[B * 4 + r] = c * mb - s * ma;
    }
}

// glRotatef about axis 0 = x, 1 = y, 2 = z (the unit axes need no normalising), given the
// angle's sine and cosine.
inline void rotateAboutSinCos(Transform& m, int axis, float s, float c) {
    switch (axis) {
        case 0:
            mixColumns<1, 2>(m, s, c);
            break;
        case 1:
            mixColumns<2, 0>(m, s, c);
            break;
        default:
            mixColumns<0, 1>(m, s, c);
            break;
    }
}

inline void rotateAbout(Transform& m, int axis, float degrees) {
    float s;
    float c;
    rotationSinCos(degrees, s, c);
    rotateAboutSinCos(m, axis, s, c);
}

// glTranslatef along one axis (0 = x, 1 = y, 2 = z).
inline void translateAlong(Transform& m, int axis, float v) {
    m[12] = m[axis * 4] * v + m[12];
    m[13] = m[axis * 4 + 1] * v + m[13];
    m[14] = m[axis * 4 + 2] * v + m[14];
}
