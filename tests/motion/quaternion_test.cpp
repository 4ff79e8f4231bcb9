#include <gtest/gtest.h>

#include <cmath>

#include "motion/quaternion.h"

namespace {

// Rotates v by the unit quaternion q (q v q*).
std::array<double, 3> rotate(const Quat& q, std::array<double, 3> v) {
    const Quat p{0.0f, static_cast<float>(v[0]), static_cast<float>(v[1]),
                 static_cast<float>(v[2])};
    const Quat conjugate{q.w, -q.x, -q.y, -q.z};
    const Quat r = product(product(q, p), conjugate);
    return {r.x, r.y, r.z};
}

TEST(Quaternion, AxisRotationsTurnVectorsAsRightHandedRotations) {
    const std::array<double, 3> x = rotate(axisRotation(90.0f, 2), {1.0, 0.0, 0.0});
    EXPECT_NEAR(0.0, x[0], 1e-6);
    EXPECT_NEAR(1.0, x[1], 1e-6);
    const std::array<double, 3> z = rotate(axisRotation(90.0f, 1), {1.0, 0.0, 0.0});
    EXPECT_NEAR(-1.0, z[2], 1e-6);
    const std::array<double, 3> y = rotate(axisRotation(90.0f, 0), {0.0, 1.0, 0.0});
    EXPECT_NEAR(1.0, y[2], 1e-6);
    const Quat none = axisRotation(30.0f, 3);
    EXPECT_EQ(1.0f, none.w);
    EXPECT_EQ(0.0f, none.x + none.y + none.z);
    // The half angle uses pi as 3.1415926.
    EXPECT_FLOAT_EQ(static_cast<float>(std::cos(180.0 * 0.008726646111111111)),
                    axisRotation(180.0f, 1).w);
}

TEST(Quaternion, EulerAnglesRecomposeTheRotationInZYXOrder) {
    const float cases[][3] = {{10, 20, 30}, {-170, 45, 80}, {5, -89, -120}, {0, 0, 0}};
    for (const auto& c : cases) {
        const Quat q =
            product(product(axisRotation(c[2], 2), axisRotation(c[1], 1)), axisRotation(c[0], 0));
        const std::array<float, 3> e = toEuler(q);
        EXPECT_NEAR(c[0], e[0], 1e-3f);
        EXPECT_NEAR(c[1], e[1], 1e-3f);
        EXPECT_NEAR(c[2], e[2], 1e-3f);
    }
    // Any order of rotations comes back as the same orientation in Z, Y, X.
    const Quat mixed =
        product(product(axisRotation(25.0f, 0), axisRotation(-60.0f, 2)), axisRotation(35.0f, 1));
    const std::array<float, 3> e = toEuler(mixed);
    const Quat again =
        product(product(axisRotation(e[2], 2), axisRotation(e[1], 1)), axisRotation(e[0], 0));
    for (const std::array<double, 3>& v :
         {std::array<double, 3>{1, 0, 0}, std::array<double, 3>{0, 1, 0}}) {
        const std::array<double, 3> a = rotate(mixed, v);
        const std::array<double, 3> b = rotate(again, v);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(a[k], b[k], 1e-5);
        }
    }
}

TEST(Quaternion, PitchOfNinetyDegreesNeverGivesNaN) {
    // 2(wy - xz) for these floats is a hair above 1.
    const Quat q{0.70710683f, 0.0f, 0.70710683f, 0.0f};
    ASSERT_GT(2.0 * static_cast<double>(q.w) * q.y, 1.0);
    const std::array<float, 3> e = toEuler(q);
    EXPECT_FALSE(std::isnan(e[1]));
    EXPECT_NEAR(90.0f, e[1], 1e-3f);
    const std::array<float, 3> down = toEuler(Quat{0.70710683f, 0.0f, -0.70710683f, 0.0f});
    EXPECT_NEAR(-90.0f, down[1], 1e-3f);
}

}  // namespace
