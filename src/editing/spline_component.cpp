#include <cmath>

#include "editing/control_curve.h"

namespace {
constexpr int kInitialCapacity = 100;
}

SplineComponent::SplineComponent() : basis_(kBSplineBasis), values_(kInitialCapacity, 0.0) {}

void SplineComponent::setValue(int i, double v) {
    if (i < 0 || i > last_ + 1) {
        return;
    }
    if (i == last_ + 1) {
        if (i == capacity()) {
            values_.resize(values_.size() * 2, 0.0);
        }
        last_ = i;
    }
    values_[static_cast<std::size_t>(i)] = v;
}

double SplineComponent::value(int i) const {
    if (i < 0 || i > last_) {
        return 0.0;
    }
    return values_[static_cast<std::size_t>(i)];
}

const std::vector<double>& SplineComponent::boundaries() const {
    if (boundariesLast_ != last_) {
        // The same additions, in the same order, as the boundary walk, so every entry is
        // bit-identical to the boundary that walk would reach after k steps.
        const int segments = last_;
        boundaries_.assign(static_cast<std::size_t>(segments) + 2, 0.0);
        const double width = 1.0 / segments;
        double boundary = width;
        for (int k = 1; k <= segments + 1; ++k) {
            boundaries_[static_cast<std::size_t>(k)] = boundary;
            boundary += width;
        }
        boundariesLast_ = last_;
    }
    return boundaries_;
}

void SplineComponent::locate(double t, int& segment, double& u) const {
    const int segments = last_;
    const std::vector<double>& b = boundaries();
    int s = 0;
    if (t > 1.0) {
        t = 1.0;
    }
    // The walk stops at the first boundary above t, so s counts the boundaries b[1..] <= t. The
    // accumulated boundaries stray from k/N by far less than a segment, so t*N is at most one
    // off and the two loops below run at most once or twice.
    if (t >= b[1]) {
        s = static_cast<int>(t * segments);
        if (s > segments) {
            s = segments;
        }
        while (s > 0 && b[static_cast<std::size_t>(s)] > t) {
            --s;
        }
        while (s <= segments && b[static_cast<std::size_t>(s) + 1] <= t) {
            ++s;
        }
    }
    const double lo = static_cast<double>(s) / segments;
    const double hi = static_cast<double>(s + 1) / segments;
    const double h = hi - lo;
    segment = s;
    u = t / h - lo / h;
}

double SplineComponent::weightedSum(int segment, const double* weights) const {
    double sum = 0.0;
    for (int j = 0; j < 4; ++j) {
        // The ends repeat the first and last value instead of extrapolating phantom points.
        int index = segment - 1 + j;
        if (index < 0) {
            index = 0;
        } else if (index > last_) {
            index = last_;
        }
        sum += weights[j] * values_[static_cast<std::size_t>(index)];
    }
    return sum;
}

double SplineComponent::positionAt(int segment, double u) const {
    if (last_ < 2) {
        return 0.0;
    }
    double weights[4];
    for (int j = 0; j < 4; ++j) {
        weights[j] = ((basis_[0][j] * u + basis_[1][j]) * u + basis_[2][j]) * u + basis_[3][j];
    }
    return weightedSum(segment, weights);
}

double SplineComponent::tangentAt(int segment, double u) const {
    if (last_ < 2) {
        return 0.0;
    }
    double weights[4];
    for (int j = 0; j < 4; ++j) {
        weights[j] = (3.0 * basis_[0][j] * u + 2.0 * basis_[1][j]) * u + basis_[2][j];
    }
    return weightedSum(segment, weights);
}

double SplineComponent::position(double t) const {
    if (last_ < 2) {
        return 0.0;
    }
    int segment = 0;
    double u = 0.0;
    locate(t, segment, u);
    return positionAt(segment, u);
}

double SplineComponent::tangent(double t) const {
    if (last_ < 2) {
        return 0.0;
    }
    int segment = 0;
    double u = 0.0;
    locate(t, segment, u);
    return tangentAt(segment, u);
}
