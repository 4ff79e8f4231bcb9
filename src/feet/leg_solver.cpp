#include "feet/leg_solver.h"

#include <algorithm>
#include <cmath>

Vec3 operator+(const Vec3& a, const Vec3& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}

Vec3 operator-(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Vec3 operator*(double s, const Vec3& v) {
    return {s * v[0], s * v[1], s * v[2]};
}

double dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double length(const Vec3& v) {
    return std::sqrt(dot(v, v));
}

Mat3 identityMat3() {
    return {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
}

Mat3 operator*(const Mat3& a, const Mat3& b) {
    Mat3 m{};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            m[3 * r + c] = a[3 * r] * b[c] + a[3 * r + 1] * b[3 + c] + a[3 * r + 2] * b[6 + c];
        }
    }
    return m;
}

Vec3 operator*(const Mat3& m, const Vec3& v) {
    return {m[0] * v[0] + m[1] * v[1] + m[2] * v[2], m[3] * v[0] + m[4] * v[1] + m[5] * v[2],
            m[6] * v[0] + m[7] * v[1] + m[8] * v[2]};
}

Mat3 transposed(const Mat3& m) {
    return {m[0], m[3], m[6], m[1], m[4], m[7], m[2], m[5], m[8]};
}

Mat3 axisAngle(const Vec3& axis, double radians) {
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    const double t = 1.0 - c;
    const double x = axis[0];
    const double y = axis[1];
    const double z = axis[2];
    return {t * x * x + c,     t * x * y - s * z, t * x * z + s * y,
            t * x * y + s * z, t * y * y + c,     t * y * z - s * x,
            t * x * z - s * y, t * y * z + s * x, t * z * z + c};
}

Quat quatOf(const Mat3& m) {
    // The largest of the four candidates is computed from the diagonal, the others from it,
    // which keeps the division well away from zero.
    const double trace = m[0] + m[4] + m[8];
    Quat q;
    if (trace > 0.0) {
        const double s = 2.0 * std::sqrt(1.0 + trace);
        q = {0.25 * s, (m[7] - m[5]) / s, (m[2] - m[6]) / s, (m[3] - m[1]) / s};
    } else if (m[0] > m[4] && m[0] > m[8]) {
        const double s = 2.0 * std::sqrt(1.0 + m[0] - m[4] - m[8]);
        q = {(m[7] - m[5]) / s, 0.25 * s, (m[1] + m[3]) / s, (m[2] + m[6]) / s};
    } else if (m[4] > m[8]) {
        const double s = 2.0 * std::sqrt(1.0 + m[4] - m[0] - m[8]);
        q = {(m[2] - m[6]) / s, (m[1] + m[3]) / s, 0.25 * s, (m[5] + m[7]) / s};
    } else {
        const double s = 2.0 * std::sqrt(1.0 + m[8] - m[0] - m[4]);
        q = {(m[3] - m[1]) / s, (m[2] + m[6]) / s, (m[5] + m[7]) / s, 0.25 * s};
    }
    const double n = std::sqrt(q.w * q.w + q.x * q.x + q.y * q.y + q.z * q.z);
    return {q.w / n, q.x / n, q.y / n, q.z / n};
}

namespace {

Vec3 normalizedOr(const Vec3& v, const Vec3& fallback) {
    const double n = length(v);
    return n > 0.0 ? (1.0 / n) * v : fallback;
}

// Any unit vector at right angles to the unit vector u.
Vec3 anyPerpendicular(const Vec3& u) {
    const Vec3 other = std::fabs(u[0]) < 0.9 ? Vec3{1.0, 0.0, 0.0} : Vec3{0.0, 1.0, 0.0};
    return normalizedOr(cross(u, other), Vec3{0.0, 0.0, 1.0});
}

// The side of the line along unit u that the knee bends towards, as a unit vector at right
// angles to u, from the knee's offset `off` off that line: the knee's own side where it lies well
// forward of the line (towards the hint); where it is nearly straight, or locked a little past
// straight (as captures often have it), the hint's side is added until the knee is a fiftieth of
// the thigh's length forward, so a leg asked to bend bends forward and the side changes smoothly
// as the knee straightens. A knee well off the line keeps its own side whichever way it lies: a
// kneeling leg's knee lies away from toes tucked under it, and those toes point nearly along the
// line, so the hint's side there swings with the least move of the hip.
Vec3 bendSide(const Vec3& off, const Vec3& u, const Vec3& hint, double thighLength) {
    const Vec3 forward = normalizedOr(hint - dot(hint, u) * u, Vec3{0.0, 0.0, 0.0});
    const double ahead = dot(off, forward);
    const double least = 0.02 * thighLength;
    // The hint counts fully while the knee lies within a tenth of the thigh's length of the line
    // (a bend of about 11 degrees) and not at all beyond a fifth (about 23 degrees).
    const double offLine = length(off) / thighLength;
    const double x = std::clamp((0.2 - offLine) / 0.1, 0.0, 1.0);
    const double hinted = x * x * (3.0 - 2.0 * x);
    const Vec3 side = ahead < least ? off + (hinted * (least - ahead)) * forward : off;
    return normalizedOr(side, anyPerpendicular(u));
}

// v turned by the least turn that takes unit `from` onto unit `to` (v itself where they point
// opposite ways, which has no least turn).
Vec3 turnedAlong(const Vec3& from, const Vec3& to, const Vec3& v) {
    const Vec3 k = cross(from, to);
    const double c = dot(from, to);
    if (!(1.0 + c > 1e-9)) {
        return v;
    }
    const Vec3 kv = cross(k, v);
    return v + kv + (1.0 / (1.0 + c)) * cross(k, kv);
}

// Columns: the thigh's direction, the bend plane's normal and the third axis; a rotation frame.
Mat3 legFrame(const Vec3& thighDirection, const Vec3& normal) {
    const Vec3 n = normalizedOr(normal - dot(normal, thighDirection) * thighDirection,
                                anyPerpendicular(thighDirection));
    const Vec3 third = cross(thighDirection, n);
    return {thighDirection[0], n[0], third[0], thighDirection[1], n[1], third[1],
            thighDirection[2], n[2], third[2]};
}

}  // namespace

TwoBoneTurns solveTwoBone(const Vec3& hip, const Vec3& knee, const Vec3& ankle, const Vec3& goal,
                          const Vec3& bendHint, const Mat3& kneeTurn) {
    TwoBoneTurns turns;
    turns.kneeAt = knee;
    turns.ankleAt = ankle;
    const Vec3 thigh = knee - hip;
    const Vec3 shin = ankle - knee;
    const double a = length(thigh);
    const double b = length(shin);
    if (!(a > 0.0) || !(b > 0.0) || !std::isfinite(a + b)) {
        return turns;
    }
    const Vec3 leg = ankle - hip;
    const Vec3 uOld = normalizedOr(leg, (1.0 / a) * thigh);
    const Vec3 toGoal = goal - hip;
    const double wanted = length(toGoal);
    const Vec3 u = normalizedOr(toGoal, uOld);
    const double longest = a + b;
    const double shortest = std::fabs(a - b);
    const double d = std::clamp(wanted, shortest, longest);
    // A hair of slack, so that a goal exactly at full stretch counts as reached.
    turns.reached = wanted <= longest * (1.0 + 1e-9) && wanted >= shortest * (1.0 - 1e-9);

    // The bend plane before and after: its side vector at right angles to the hip-ankle line,
    // and its normal (side x line, the direction the knee's bend turns about).
    // The knee's offset from the line, turned with the leg by kneeTurn, is carried over to the
    // new line by the least turn between them, so the knee keeps the direction it has about the
    // leg.
    const Vec3 offOld = thigh - dot(thigh, uOld) * uOld;
    const Vec3 sideOld = bendSide(offOld, uOld, bendHint, a);
    const Vec3 side = bendSide(turnedAlong(kneeTurn * uOld, u, kneeTurn * offOld), u, bendHint, a);
    const Vec3 normalOld = cross(sideOld, uOld);
    const Vec3 normal = cross(side, u);

    const double cosAlpha = std::clamp((a * a + d * d - b * b) / (2.0 * a * d), -1.0, 1.0);
    const double sinAlpha = std::sqrt(std::max(0.0, 1.0 - cosAlpha * cosAlpha));
    turns.kneeAt = hip + (a * cosAlpha) * u + (a * sinAlpha) * side;
    turns.ankleAt = hip + d * u;

    // The thigh turns its frame (direction and bend normal) onto the new one, so the knee's hinge
    // goes along with it.
    const Vec3 thighNew = (1.0 / a) * (turns.kneeAt - hip);
    turns.hip = legFrame(thighNew, normal) * transposed(legFrame((1.0 / a) * thigh, normalOld));

    // Then the lower leg turns from where the hip turn took it onto the ankle: about the hinge
    // (the shortest turn, which is about the hinge whenever the shin lay in the bend plane).
    const Vec3 shinTurned = turns.hip * shin;
    const Vec3 shinNew = turns.ankleAt - turns.kneeAt;
    const Vec3 axis = cross(shinTurned, shinNew);
    const double axisLength = length(axis);
    const double angle = std::atan2(axisLength, dot(shinTurned, shinNew));
    turns.knee = axisAngle(axisLength > 1e-12 * b * b ? (1.0 / axisLength) * axis
                                                      : normalizedOr(normal, anyPerpendicular(u)),
                           angle);
    return turns;
}
