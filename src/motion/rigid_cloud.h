#pragma once

#include <array>
#include <vector>

#include "motion/joint.h"

// The joints without channels that hang from one joint (their anchor), each with every joint
// below it also without channels: they move with the anchor as one rigid body, so where they lie
// in any pose follows from the anchor's transform alone. Their points, in the anchor's frame, are
// kept in a tree of boxes, so that the farthest one along a direction is found without visiting
// most of them: a skeleton of a hundred thousand such joints is measured per frame at the cost of
// a few.
class RigidCloud {
  public:
    // The points are the members' positions in the anchor's frame (the sums of the OFFSETs
    // from the anchor down to each).
    RigidCloud(int anchor, std::vector<std::array<double, 3>> points);

    // The anchor's index in joints() order.
    int anchor() const { return anchor_; }
    std::size_t size() const { return points_.size(); }

    // The largest dot product of `direction` with a point, as direction[0] * p[0] +
    // direction[1] * p[1] + direction[2] * p[2] in double gives it for that point.
    double farthest(const std::array<double, 3>& direction) const;

    // For an anchor that never moves, whose rotation has these rows: the outline (convex hull)
    // of the points seen from above, along rows x and z. Every turn about the vertical keeps its
    // row y, so a ground direction of any such turn finds its farthest point on the outline.
    void setGroundOutline(const std::array<std::array<double, 3>, 3>& rows);
    // farthest(direction) for a direction across the vertical of a rotation whose row y is `up`:
    // from the outline where `up` is its row y (to rounding), as farthest otherwise.
    double farthestOnGround(const std::array<double, 3>& direction,
                            const std::array<double, 3>& up) const;

  private:
    // A box around points_[first, first + count); a leaf where children < 0, or else the box of
    // nodes_[children] and nodes_[children + 1].
    struct Node {
        std::array<double, 3> low;
        std::array<double, 3> high;
        int first;
        int count;
        int children;
    };

    void build();

    int anchor_;
    std::vector<std::array<double, 3>> points_;
    std::vector<Node> nodes_;
    std::array<std::array<double, 3>, 3> outlineRows_{};
    std::vector<std::array<double, 2>> outline_;  // along rows x and z; empty before it is set
};

// Clouds of at least this many joints are measured through their anchor; fewer, such as a
// limb's End Site, are posed with the other joints, as cheaply.
constexpr std::size_t kFewestCloudJoints = 8;

// Splits the skeleton (joints in depth-first pre-order, with their parents' indices) into the
// rigid clouds of at least kFewestCloudJoints joints, and the joints every frame poses: the others,
// ascending, with every top-level joint among them.
void splitRigidClouds(const std::vector<Joint*>& joints, const std::vector<int>& parents,
                      std::vector<RigidCloud>& clouds, std::vector<int>& posed);
