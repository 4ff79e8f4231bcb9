#pragma once

#include <array>

#include "motion/quaternion.h"

// Small 3D vector and rotation helpers for posing legs, in doubles.
using Vec3 = std::array<double, 3>;
// A rotation as a 3x3 matrix, row-major, acting on column vectors.
using Mat3 = std::array<double, 9>;

Vec3 operator+(const Vec3& a, const Vec3& b);
Vec3 operator-(const Vec3& a, const Vec3& b);
Vec3 operator*(double s, const Vec3& v);
double dot(const Vec3& a, const Vec3& b);
Vec3 cross(const Vec3& a, const Vec3& b);
double length(const Vec3& v);

Mat3 identityMat3();
Mat3 operator*(const Mat3& a, const Mat3& b);
Vec3 operator*(const Mat3& m, const Vec3& v);
Mat3 transposed(const Mat3& m);
// Rotation by `radians` about the unit axis (right-handed).
Mat3 axisAngle(const Vec3& axis, double radians);
// The unit quaternion of a rotation matrix (w, x, y, z, as quaternion.h lays it out).
Quat quatOf(const Mat3& m);

// What the two-bone solve gives: the turn of the whole leg about the hip, then the turn of the
// lower leg about the knee (both in world axes; the knee turn applies after the hip turn), and
// where knee and ankle then lie.
struct TwoBoneTurns {
    Mat3 hip = identityMat3();
    Mat3 knee = identityMat3();
    Vec3 kneeAt{};
    Vec3 ankleAt{};
    bool reached = false;  // the ankle reaches the goal (false: stretched towards it, or no leg)
};

// Solves a leg of two rigid bones, hip -> knee -> ankle (world positions), so that the ankle
// reaches `goal`; where it cannot, the leg is stretched straight towards it (or folded as far as
// it goes). The knee keeps its hinge: the bend stays in the plane the knee's side of the line
// from hip to ankle gives, the thigh turns that plane with it, and the lower leg turns about the
// plane's normal only. `bendHint` (any length) is the side a straight leg bends towards, say
// where the toes point; it only counts where the leg is nearly straight. `kneeTurn` turns the
// knee's side with the whole leg before it is carried over (the turn of the foot below it, so
// that the knee keeps the side it had relative to the foot); the thigh twists to follow it.
TwoBoneTurns solveTwoBone(const Vec3& hip, const Vec3& knee, const Vec3& ankle, const Vec3& goal,
                          const Vec3& bendHint, const Mat3& kneeTurn = identityMat3());
