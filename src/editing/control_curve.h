#pragma once

#include <array>
#include <vector>

#include "editing/falloff.h"

// A point or vector in the ground plane (the scene's x-z plane).
struct CurvePoint {
    double x = 0.0;
    double z = 0.0;
};

// 4x4 basis of a uniform cubic spline, row-major: row 0 multiplies u^3, row 3 the constant;
// column j weights the j-th of a segment's four control values.
using SplineBasis = std::array<std::array<double, 4>, 4>;

extern const SplineBasis kBSplineBasis;     // uniform cubic B-spline (0.1667 / 0.6667 entries)
extern const SplineBasis kCatmullRomBasis;  // Catmull-Rom, tension one half

// One scalar spline of a curve: its basis and its control values, index 0 upward.
class SplineComponent {
  public:
    SplineComponent();

    // Overwrites value i (i <= last) or appends it (i == last + 1); any other index is ignored.
    void setValue(int i, double v);
    // 0.0 for an index above last or below 0.
    double value(int i) const;
    int last() const { return last_; }
    int capacity() const { return static_cast<int>(values_.size()); }

    void setBasis(const SplineBasis& basis) { basis_ = basis; }
    const SplineBasis& basis() const { return basis_; }

    // Position and derivative (with respect to the local parameter u) at curve parameter t.
    double position(double t) const;
    double tangent(double t) const;

    // Segment s (0 <= s <= last) and local parameter u of t, exactly as a walk that adds 1/last
    // to a boundary until it exceeds t would find them, in O(1). t above 1 counts as 1; t below
    // the first boundary (also NaN) lies in segment 0. Needs last >= 1.
    void locate(double t, int& segment, double& u) const;
    // Position and derivative within a located segment; 0.0 with fewer than three values.
    double positionAt(int segment, double u) const;
    double tangentAt(int segment, double u) const;

  private:
    // Accumulated segment boundaries for the current value count, rebuilt when that changes.
    const std::vector<double>& boundaries() const;
    // Sum of the four clamped control values of segment s, weighted by weights[0..3].
    double weightedSum(int segment, const double* weights) const;

    SplineBasis basis_;
    std::vector<double> values_;  // grows by doubling from 100 slots
    int last_ = -1;
    // Cache of boundaries(): entry k is 1/last added k times (entry 0 is 0), k = 0 ... last + 1.
    // Filled by the first const evaluation after the value count changed: from then on
    // evaluations only read it, and threads may share the component (RootPath::fitCurve
    // evaluates its new curve once for that reason).
    mutable std::vector<double> boundaries_;
    mutable int boundariesLast_ = -1;  // the last_ that boundaries_ was built for
};

// A planar curve through ordered control points, drawn at `height` above the ground: the root
// path of a motion. Messages go to standard output; nothing here ends the program.
class ControlCurve {
  public:
    ControlCurve();
    virtual ~ControlCurve();

    // Sets point index (or appends it when index == pointCount()); 1 done, 0 refused.
    int setPoint(CurvePoint point, int index);
    // Copies point index into out; 0 (out untouched) when it was never set.
    int getPoint(int index, CurvePoint& out) const;
    int pointCount() const { return last_ + 1; }
    // Ground-plane distance between two control points.
    double pointDistance(int a, int b) const;

    // Point on the curve at t in [0, 1]; always 1 ((0, 0) with fewer than three points).
    int evaluate(double t, CurvePoint& out) const;
    // Unnormalised tangent at t (derivative in the local segment parameter); 0 with < 3 points.
    int forwardVector(double t, CurvePoint& out) const;
    // evaluate and forwardVector at one t, with one segment lookup for both; 0 (both untouched)
    // with fewer than three points.
    int evaluateWithForward(double t, CurvePoint& point, CurvePoint& forward) const;
    // Switches both components to the Catmull-Rom basis, keeping the points; always 1.
    int useCatmullRom();

    // Selected control point, -1 for none: the one a drag moves to the cursor.
    void select(int index) { selected_ = index; }
    int selected() const { return selected_; }
    // Moves the selected point to (x, z) and its neighbours within the falloff radius with it.
    void moveSelected(double x, double z);
    // The same for a group of points dragged together by the selected one: each point of the
    // group (invalid indices are ignored) moves by the selected point's displacement, and each
    // other point by the largest falloff weight it gets from any point of the group.
    void moveGroup(const std::vector<int>& group, double x, double z);
    // Per point, the share of a drag of the group it would follow: 1 for the group's points,
    // the largest falloff weight from any of them for the others.
    std::vector<float> groupWeights(const std::vector<int>& group) const;

    void setHeight(float height) { height_ = height; }
    float height() const { return height_; }
    void setFalloffRadius(float radius) { falloffRadius_ = radius; }
    float falloffRadius() const { return falloffRadius_; }
    void setFalloffShape(FalloffShape shape) { falloffShape_ = shape; }
    FalloffShape falloffShape() const { return falloffShape_; }

    const SplineComponent& xComponent() const { return x_; }
    const SplineComponent& zComponent() const { return z_; }

  private:
    // Per point, whether it belongs to the group (the selected point always does).
    std::vector<char> groupMembers(const std::vector<int>& group) const;
    // The indices of the members, ascending.
    static std::vector<int> listed(const std::vector<char>& members);
    // The largest falloff weight point i gets from one of the members (indices), from the
    // positions as they are.
    float weightFromGroup(const std::vector<int>& members, int i) const;

    SplineComponent x_;
    SplineComponent z_;
    int last_ = -1;
    int selected_ = -1;
    float height_ = 2.0f;
    float falloffRadius_ = 0.0f;
    FalloffShape falloffShape_ = FalloffShape::Linear;
};
