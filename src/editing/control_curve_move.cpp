#include <algorithm>

#include "editing/control_curve.h"

void ControlCurve::moveSelected(double x, double z) {
    moveGroup({selected_}, x, z);
}

// Points are visited in index order and each weight is taken from the positions at that moment:
// points before a moving one are weighed against its old position, points after it against
// its new one. With a group of one this is the single point's drag, weight for weight.
void ControlCurve::moveGroup(const std::vector<int>& group, double x, double z) {
    if (selected_ < 0 || selected_ > last_) {
        return;
    }
    CurvePoint old;
    getPoint(selected_, old);
    const double dx = x - old.x;
    const double dz = z - old.z;
    const std::vector<char> members = groupMembers(group);
    const std::vector<int> memberList = listed(members);
    for (int i = 0; i <= last_; ++i) {
        if (i == selected_) {
            setPoint(CurvePoint{x, z}, i);
            continue;
        }
        const float weight =
            members[static_cast<std::size_t>(i)] ? 1.0f : weightFromGroup(memberList, i);
        if (weight == 0.0f) {
            continue;
        }
        CurvePoint p;
        getPoint(i, p);
        // The group moves rigidly: by the displacement itself, not by a weight of 1 narrowed.
        if (members[static_cast<std::size_t>(i)]) {
            setPoint(CurvePoint{p.x + dx, p.z + dz}, i);
        } else {
            setPoint(CurvePoint{p.x + weight * dx, p.z + weight * dz}, i);
        }
    }
}

std::vector<float> ControlCurve::groupWeights(const std::vector<int>& group) const {
    const std::vector<char> members = groupMembers(group);
    const std::vector<int> memberList = listed(members);
    std::vector<float> weights(members.size(), 0.0f);
    for (int i = 0; i <= last_; ++i) {
        weights[static_cast<std::size_t>(i)] =
            members[static_cast<std::size_t>(i)] ? 1.0f : weightFromGroup(memberList, i);
    }
    return weights;
}

std::vector<char> ControlCurve::groupMembers(const std::vector<int>& group) const {
    std::vector<char> members(static_cast<std::size_t>(pointCount()), 0);
    for (int i : group) {
        if (i >= 0 && i <= last_) {
            members[static_cast<std::size_t>(i)] = 1;
        }
    }
    if (selected_ >= 0 && selected_ <= last_) {
        members[static_cast<std::size_t>(selected_)] = 1;
    }
    return members;
}

std::vector<int> ControlCurve::listed(const std::vector<char>& members) {
    std::vector<int> list;
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (members[i]) {
            list.push_back(static_cast<int>(i));
        }
    }
    return list;
}

float ControlCurve::weightFromGroup(const std::vector<int>& members, int i) const {
    // Without a reach there is nothing to weigh, however large the group.
    if (falloffShape_ == FalloffShape::Off || !(falloffRadius_ > 0.0f)) {
        return 0.0f;
    }
    float weight = 0.0f;
    // Over the members alone, so that a drag of one point among thousands stays linear.
    for (std::size_t k = 0; k < members.size() && weight < 1.0f; ++k) {
        weight = std::max(
            weight, falloffWeight(falloffShape_, pointDistance(members[k], i), falloffRadius_));
    }
    return weight;
}
