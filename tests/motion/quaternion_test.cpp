#include <gtest/gtest.h>

#include <cmath>

#include "motion/quaternion.h"

namespace {

using Angles = std::array<double, 3>;
using Vector = std::array<double, 3>;

const RotationOrder kEveryOrder[] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2},
                                     {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};

// Rotates v by the unit quaternion q (q v q*).
Vector rotate(const Quat& q, const Vector& v) {
    const Quat p{0.0, v[0], v[1], v[2]};
    const Quat conjugate{q.w, -q.x, -q.y, -q.z};
    const Quat r = product(product(q, p), conjugate);
    return {r.x, r.y, r.z};
}

Quat compose(const RotationOrder& order, const Angles& a) {
    return product(product(axisRotation(a[0], order[0]), axisRotation(a[1], order[1])),
                   axisRotation(a[2], order[2]));
}

// The largest distance between the images of the unit axes under the two rotations: about the
// angle between them, in radians.
double rotationGap(const Quat& a, const Quat& b) {
    double gap = 0.0;
    for (const Vector& axis : {Vector{1, 0, 0}, Vector{0, 1, 0}, Vector{0, 0, 1}}) {
        const Vector p = rotate(a, axis);
        const Vector q = rotate(b, axis);
        gap = std::max(gap, std::hypot(p[0] - q[0], p[1] - q[1], p[2] - q[2]));
    }
    return gap;
}

std::string orderName(const RotationOrder& order) {
    std::string name;
    for (int axis : order) {
        name += static_cast<char>('X' + axis);
    }
    return name;
}

TEST(Quaternion, AxisRotationsTurnVectorsAsRightHandedRotations) {
    const Vector x = rotate(axisRotation(90.0, 2), {1.0, 0.0, 0.0});
    EXPECT_NEAR(0.0, x[0], 1e-15);
    EXPECT_NEAR(1.0, x[1], 1e-15);
    const Vector z = rotate(axisRotation(90.0, 1), {1.0, 0.0, 0.0});
    EXPECT_NEAR(-1.0, z[2], 1e-15);
    const Vector y = rotate(axisRotation(90.0, 0), {0.0, 1.0, 0.0});
    EXPECT_NEAR(1.0, y[2], 1e-15);
    const Quat none = axisRotation(30.0, 3);
    EXPECT_EQ(1.0, none.w);
    EXPECT_EQ(0.0, none.x + none.y + none.z);
    // A full turn is exactly one (as the pose turns degrees with the true pi), so angles that
    // differ by 360 are the same rotation to double precision.
    EXPECT_LT(rotationGap(axisRotation(-170.25, 1), axisRotation(189.75, 1)), 1e-14);
}

// For every order, angles come back as given when they are the nearest, and as the other
// equivalent triple, or shifted by whole turns, when that is nearer to what was asked for.
TEST(Quaternion, EulerAnglesRecomposeInEveryOrderNearestToTheGivenAngles) {
    const Angles cases[] = {{10, 20, 30}, {-170, 45, 80},       {5, -89, -120},
                            {0, 0, 0},    {179.9, 0.5, -179.9}, {-145.77, -152.24, 11.26}};
    for (const RotationOrder& order : kEveryOrder) {
        for (const Angles& c : cases) {
            const Quat q = compose(order, c);
            const Angles same = toEuler(q, order, c).value();
            for (int n = 0; n < 3; ++n) {
                EXPECT_EQ(c[n], same[n]) << orderName(order) << " angle " << n;
            }
            // The other triple, a whole turn away on the first angle.
            const Angles other = {c[0] + 180.0 + 360.0, 180.0 - c[1], c[2] - 180.0};
            const Angles far =
                toEuler(q, order, {other[0] + 3.0, other[1] - 2.0, other[2]}).value();
            for (int n = 0; n < 3; ++n) {
                EXPECT_NEAR(other[n], far[n], 1e-9) << orderName(order) << " angle " << n;
            }
            EXPECT_LT(rotationGap(q, compose(order, far)), 1e-12) << orderName(order);
        }
    }
    // The root of a real file: near zero the other triple is the nearer one, near the file's
    // own values the file's own.
    const Angles file = {-145.77, -152.24, 11.26};
    const Quat q = compose({2, 1, 0}, file);
    const Angles principal = toEuler(q, {2, 1, 0}, {0, 0, 0}).value();
    EXPECT_NEAR(34.23, principal[0], 1e-9);
    EXPECT_NEAR(-27.76, principal[1], 1e-9);
    EXPECT_NEAR(-168.74, principal[2], 1e-9);
    const Angles own = toEuler(q, {2, 1, 0}, {-140.0, -150.0, 15.0}).value();
    EXPECT_NEAR(file[0], own[0], 1e-9);
    EXPECT_NEAR(file[1], own[1], 1e-9);
    EXPECT_NEAR(file[2], own[2], 1e-9);
}

TEST(Quaternion, OrdersWithoutThreeDifferentAxesHaveNoAngles) {
    const Quat q = axisRotation(20.0, 0);
    EXPECT_FALSE(toEuler(q, {0, 1, 0}, {0, 0, 0}).has_value());
    EXPECT_FALSE(toEuler(q, {2, 2, 1}, {0, 0, 0}).has_value());
    EXPECT_FALSE(toEuler(q, {0, 1, 3}, {0, 0, 0}).has_value());
}

// A turn of the figure's heading in front of a pitch near +-90: the float version lost about
// 0.015 degrees here. Where the heading axis comes first, the exact answer is known.
TEST(Quaternion, PitchNearNinetyDegreesKeepsFourDecimals) {
    const double pitches[] = {89.9999, -89.9991, 89.99, -89.9, 90.0001};
    for (const RotationOrder& order : {RotationOrder{1, 0, 2}, RotationOrder{1, 2, 0}}) {
        for (double pitch : pitches) {
            const Angles file = {123.4567, pitch, -45.6789};
            const Quat edited = product(axisRotation(37.5, 1), compose(order, file));
            const Angles e = toEuler(edited, order, file).value();
            EXPECT_NEAR(file[0] + 37.5, e[0], 1e-7) << orderName(order) << " " << pitch;
            EXPECT_NEAR(pitch, e[1], 1e-7) << orderName(order) << " " << pitch;
            EXPECT_NEAR(file[2], e[2], 1e-7) << orderName(order) << " " << pitch;
        }
    }
    for (const RotationOrder& order : kEveryOrder) {
        for (double pitch : pitches) {
            const Angles file = {-12.3456, pitch, 167.8901};
            const Quat edited = product(axisRotation(-61.25, 1), compose(order, file));
            const Angles e = toEuler(edited, order, file).value();
            EXPECT_LT(rotationGap(edited, compose(order, e)), 1e-9) << orderName(order);
            // Unedited, the file's values come back to the last bit.
            const Angles same = toEuler(compose(order, file), order, file).value();
            EXPECT_EQ(file, same) << orderName(order) << " " << pitch;
        }
    }
}

// At gimbal lock only the sum (or difference) of the outer angles is fixed; the triple nearest
// to the given angles shares the change evenly, and the rotation stays the same.
TEST(Quaternion, GimbalLockSharesTheFreeAngleClosestToTheGivenOnes) {
    for (const RotationOrder& order : kEveryOrder) {
        for (double pitch : {90.0, -90.0}) {
            const Quat q = compose(order, {30.0, pitch, 20.0});
            const Angles e = toEuler(q, order, {10.0, pitch - 1.0, 45.0}).value();
            EXPECT_NEAR(pitch, e[1], 1e-6) << orderName(order);
            EXPECT_LT(rotationGap(q, compose(order, e)), 1e-9) << orderName(order) << pitch;
            // Moving both outer angles by the same amount keeps a0 + s a2 fixed for one of the
            // two signs s; the nearest split moves each by half the remaining change.
            const double sum = e[0] - 10.0;
            EXPECT_NEAR(std::fabs(sum), std::fabs(e[2] - 45.0), 1e-6) << orderName(order);
            EXPECT_LT(std::fabs(sum), 180.0) << orderName(order);
        }
    }
    // A quaternion a hair off unit length at 90 degrees pitch gives no NaN.
    const Quat q{0.70710683, 0.0, 0.70710683, 0.0};
    const Angles e = toEuler(q, {2, 1, 0}, {0, 0, 0}).value();
    EXPECT_FALSE(std::isnan(e[0]) || std::isnan(e[1]) || std::isnan(e[2]));
    EXPECT_NEAR(90.0, e[1], 1e-6);
}

}  // namespace

namespace {

// Slerp takes the shorter arc whichever sign the quaternions have, and a rotation matrix gives
// its rotation back, also near a half turn about each axis.
TEST(Quaternion, SlerpTakesTheShorterArcAndMatricesGiveTheirRotationBack) {
    const Quat a = axisRotation(10.0, 2);
    const Quat b = axisRotation(70.0, 2);
    const Quat minusB{-b.w, -b.x, -b.y, -b.z};
    EXPECT_LT(rotationGap(slerp(a, b, 0.5), axisRotation(40.0, 2)), 1e-12);
    EXPECT_LT(rotationGap(slerp(a, minusB, 0.25), axisRotation(25.0, 2)), 1e-12);
    EXPECT_LT(rotationGap(slerp(axisRotation(350.0, 1), axisRotation(10.0, 1), 0.5), Quat{}),
              1e-12);
    EXPECT_LT(rotationGap(slerp(a, a, 0.7), a), 1e-12);
    for (const Quat& q : {compose({2, 0, 1}, {30.0, -50.0, 120.0}), axisRotation(179.0, 0),
                          axisRotation(179.0, 1), axisRotation(179.0, 2), Quat{}}) {
        EXPECT_LT(rotationGap(quaternionOf(rotationMatrix(q)), q), 1e-12);
    }
}

}  // namespace
