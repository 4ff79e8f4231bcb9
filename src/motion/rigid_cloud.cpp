#include "motion/rigid_cloud.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Points per leaf of the tree.
constexpr int kLeafPoints = 8;

double dot(const std::array<double, 3>& d, const std::array<double, 3>& p) {
    return d[0] * p[0] + d[1] * p[1] + d[2] * p[2];
}

}  // namespace

RigidCloud::RigidCloud(int anchor, std::vector<std::array<double, 3>> points)
    : anchor_(anchor), points_(std::move(points)) {
    build();
}

void RigidCloud::build() {
    if (points_.empty()) {
        return;
    }
    nodes_.push_back({{}, {}, 0, static_cast<int>(points_.size()), -1});
    // Each node is split at the median along its box's longest side, so the tree is balanced and
    // at most about log2(size) deep.
    std::vector<int> open = {0};
    while (!open.empty()) {
        const int at = open.back();
        open.pop_back();
        Node node = nodes_[static_cast<std::size_t>(at)];
        const auto begin = points_.begin() + node.first;
        const auto end = begin + node.count;
        node.low = node.high = *begin;
        for (auto p = begin; p != end; ++p) {
            for (std::size_t a = 0; a < 3; ++a) {
                node.low[a] = std::min(node.low[a], (*p)[a]);
                node.high[a] = std::max(node.high[a], (*p)[a]);
            }
        }
        if (node.count > kLeafPoints) {
            std::size_t axis = 0;
            for (std::size_t a = 1; a < 3; ++a) {
                if (node.high[a] - node.low[a] > node.high[axis] - node.low[axis]) {
                    axis = a;
                }
            }
            const int half = node.count / 2;
            std::nth_element(begin, begin + half, end,
                             [axis](const std::array<double, 3>& a,
                                    const std::array<double, 3>& b) { return a[axis] < b[axis]; });
            node.children = static_cast<int>(nodes_.size());
            nodes_.push_back({{}, {}, node.first, half, -1});
            nodes_.push_back({{}, {}, node.first + half, node.count - half, -1});
            open.push_back(node.children);
            open.push_back(node.children + 1);
        }
        nodes_[static_cast<std::size_t>(at)] = node;
    }
}

double RigidCloud::farthest(const std::array<double, 3>& d) const {
    // The farthest a box's corner reaches, summed in the order a point's product is: rounding is
    // monotonic, so no point of the box can give more, and a box that cannot beat the best so far
    // is passed over without changing the answer.
    const auto reach = [&d](const Node& n) {
        return d[0] * (d[0] >= 0.0 ? n.high[0] : n.low[0]) +
               d[1] * (d[1] >= 0.0 ? n.high[1] : n.low[1]) +
               d[2] * (d[2] >= 0.0 ? n.high[2] : n.low[2]);
    };
    double best = -std::numeric_limits<double>::infinity();
    if (nodes_.empty()) {
        return best;
    }
    // Each level adds one entry at most, and the tree is no deeper than 31 levels.
    std::array<int, 2 * 32> open;
    int depth = 0;
    open[depth++] = 0;
    while (depth > 0) {
        const Node& node = nodes_[static_cast<std::size_t>(open[--depth])];
        if (!(reach(node) > best)) {
            continue;
        }
        if (node.children < 0) {
            for (int i = node.first; i < node.first + node.count; ++i) {
                best = std::max(best, dot(d, points_[static_cast<std::size_t>(i)]));
            }
            continue;
        }
        // The child that reaches farther is searched first, so the other is more often passed.
        const int near = node.children;
        const int far = reach(nodes_[static_cast<std::size_t>(near)]) >=
                                reach(nodes_[static_cast<std::size_t>(near + 1)])
                            ? near
                            : near + 1;
        open[depth++] = far == near ? near + 1 : near;
        open[depth++] = far;
    }
    return best;
}

void RigidCloud::setGroundOutline(const std::array<std::array<double, 3>, 3>& rows) {
    outlineRows_ = rows;
    std::vector<std::array<double, 2>> seen;
    seen.reserve(points_.size());
    for (const std::array<double, 3>& p : points_) {
        seen.push_back({dot(rows[0], p), dot(rows[2], p)});
    }
    std::sort(seen.begin(), seen.end());
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    // Andrew's monotone chain: the lower hull left to right, then the upper one back.
    const auto turnsLeft = [](const std::array<double, 2>& o, const std::array<double, 2>& a,
                              const std::array<double, 2>& b) {
        return (a[0] - o[0]) * (b[1] - o[1]) - (a[1] - o[1]) * (b[0] - o[0]) > 0.0;
    };
    outline_.clear();
    for (int pass = 0; pass < 2; ++pass) {
        const std::size_t start = outline_.size();
        for (std::size_t i = 0; i < seen.size(); ++i) {
            const std::array<double, 2>& p = pass == 0 ? seen[i] : seen[seen.size() - 1 - i];
            while (outline_.size() >= start + 2 &&
                   !turnsLeft(outline_[outline_.size() - 2], outline_.back(), p)) {
                outline_.pop_back();
            }
            outline_.push_back(p);
        }
        outline_.pop_back();  // the other pass begins there
    }
    if (outline_.empty() && !seen.empty()) {
        outline_.push_back(seen.front());
    }
}

double RigidCloud::farthestOnGround(const std::array<double, 3>& direction,
                                    const std::array<double, 3>& up) const {
    constexpr double kSameRow = 1e-6;
    const std::array<double, 3>& rowY = outlineRows_[1];
    if (outline_.empty() || std::fabs(up[0] - rowY[0]) > kSameRow ||
        std::fabs(up[1] - rowY[1]) > kSameRow || std::fabs(up[2] - rowY[2]) > kSameRow) {
        return farthest(direction);
    }
    const double a = dot(direction, outlineRows_[0]);
    const double b = dot(direction, outlineRows_[2]);
    double best = -std::numeric_limits<double>::infinity();
    for (const std::array<double, 2>& p : outline_) {
        best = std::max(best, a * p[0] + b * p[1]);
    }
    return best;
}

void splitRigidClouds(const std::vector<Joint*>& joints, const std::vector<int>& parents,
                      std::vector<RigidCloud>& clouds, std::vector<int>& posed) {
    clouds.clear();
    posed.clear();
    const std::size_t count = joints.size();
    // A joint belongs to a cloud when neither it nor any joint below it has channels; children
    // follow their parents in pre-order, so one backward pass settles every joint. Top-level
    // joints are always posed: they are the anchors of the clouds hanging from them.
    std::vector<char> rigid(count);
    for (std::size_t j = 0; j < count; ++j) {
        rigid[j] = parents[j] >= 0 && joints[j]->channelCount() == 0;
    }
    for (std::size_t j = count; j-- > 0;) {
        if (!rigid[j] && parents[j] >= 0) {
            rigid[static_cast<std::size_t>(parents[j])] = 0;
        }
    }
    // Each member's anchor (the posed joint above it) and its place in the anchor's frame.
    std::vector<int> anchor(count, -1);
    std::vector<std::array<double, 3>> at(count, {0.0, 0.0, 0.0});
    std::vector<std::size_t> members(count, 0);  // per anchor
    for (std::size_t j = 0; j < count; ++j) {
        if (!rigid[j]) {
            continue;
        }
        const std::size_t parent = static_cast<std::size_t>(parents[j]);
        anchor[j] = rigid[parent] ? anchor[parent] : static_cast<int>(parent);
        const std::array<float, 3> offset = joints[j]->offset();
        for (std::size_t a = 0; a < 3; ++a) {
            at[j][a] = (rigid[parent] ? at[parent][a] : 0.0) + offset[a];
        }
        ++members[static_cast<std::size_t>(anchor[j])];
    }
    std::vector<int> cloudOf(count, -1);  // per anchor, its cloud's index
    std::vector<std::vector<std::array<double, 3>>> points;
    for (std::size_t j = 0; j < count; ++j) {
        const bool inCloud =
            rigid[j] && members[static_cast<std::size_t>(anchor[j])] >= kFewestCloudJoints;
        if (!inCloud) {
            posed.push_back(static_cast<int>(j));
            continue;
        }
        int& cloud = cloudOf[static_cast<std::size_t>(anchor[j])];
        if (cloud < 0) {
            cloud = static_cast<int>(points.size());
            points.emplace_back();
            points.back().reserve(members[static_cast<std::size_t>(anchor[j])]);
        }
        points[static_cast<std::size_t>(cloud)].push_back(at[j]);
    }
    // Clouds in the order of their anchors, as the passes meet them.
    for (std::size_t a = 0; a < count; ++a) {
        if (cloudOf[a] >= 0) {
            clouds.emplace_back(static_cast<int>(a),
                                std::move(points[static_cast<std::size_t>(cloudOf[a])]));
        }
    }
}
