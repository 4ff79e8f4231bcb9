// The path edit's tools beyond a single drag: the selection of several points, the falloff's
// shape, moves, turns and scales of the selection or the whole path, and the path's detail.
#include <algorithm>
#include <cmath>

#include "document/path_edit.h"

bool PathEdit::isSelected(int index) const {
    return std::binary_search(selection_.begin(), selection_.end(), index);
}

void PathEdit::setSelection(std::vector<int> indices) {
    const int count = curve().pointCount();
    indices.erase(std::remove_if(indices.begin(), indices.end(),
                                 [count](int i) { return i < 0 || i >= count; }),
                  indices.end());
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    selection_ = std::move(indices);
    path_.curve()->select(-1);
}

void PathEdit::toggleSelected(int index) {
    if (index < 0 || index >= curve().pointCount()) {
        return;
    }
    const auto at = std::lower_bound(selection_.begin(), selection_.end(), index);
    if (at != selection_.end() && *at == index) {
        selection_.erase(at);
        if (selected() == index) {
            path_.curve()->select(-1);
        }
    } else {
        selection_.insert(at, index);
        path_.curve()->select(index);
    }
}

void PathEdit::letGo() {
    path_.curve()->select(-1);
    if (selection_.size() <= 1) {
        selection_.clear();
    }
}

void PathEdit::setFalloffShape(FalloffShape shape) {
    path_.curve()->setFalloffShape(shape);
}

std::vector<float> PathEdit::dragWeights(int focus) const {
    if (focus < 0 || focus >= curve().pointCount()) {
        return std::vector<float>(static_cast<std::size_t>(curve().pointCount()), 0.0f);
    }
    // A drag from a selected point takes the selection along; from any other, that point alone.
    return curve().groupWeights(isSelected(focus) ? selection_ : std::vector<int>{focus});
}

std::vector<int> PathEdit::transformedPoints() const {
    if (!selection_.empty()) {
        return selection_;
    }
    std::vector<int> all(static_cast<std::size_t>(curve().pointCount()));
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<int>(i);
    }
    return all;
}

CurvePoint PathEdit::pivot() const {
    CurvePoint centre;
    if (selection_.empty()) {
        if (curve().pointCount() > 0) {
            curve().getPoint(0, centre);
        }
        return centre;
    }
    for (int i : selection_) {
        CurvePoint p;
        curve().getPoint(i, p);
        centre.x += p.x;
        centre.z += p.z;
    }
    centre.x /= static_cast<double>(selection_.size());
    centre.z /= static_cast<double>(selection_.size());
    return centre;
}

bool PathEdit::transform(const GroundTransform& t) {
    if (!t.usable() || curve().pointCount() == 0) {
        return false;
    }
    const std::vector<int> points = transformedPoints();
    for (int i : points) {
        CurvePoint p;
        curve().getPoint(i, p);
        path_.curve()->setPoint(t.apply(p), i);
    }
    // Turning every point is turning the motion: its standing frames turn too.
    if (t.kind == GroundTransform::Turn &&
        points.size() == static_cast<std::size_t>(curve().pointCount())) {
        wholeTurn_ = std::remainder(wholeTurn_ + t.radians, 2.0 * M_PI);
    }
    return true;
}

bool PathEdit::hasPathEdits() const {
    if (wholeTurn_ != 0.0) {
        return true;
    }
    for (int i = 0; i < curve().pointCount(); ++i) {
        CurvePoint p;
        curve().getPoint(i, p);
        const std::size_t k = static_cast<std::size_t>(i);
        if (p.x != path_.fittedX()[k] || p.z != path_.fittedZ()[k]) {
            return true;
        }
    }
    return false;
}

double PathEdit::meanPointSpacing() const {
    const int count = curve().pointCount();
    if (count < 2) {
        return 0.0;
    }
    double sum = 0.0;
    for (int i = 1; i < count; ++i) {
        sum += curve().pointDistance(i - 1, i);
    }
    return sum / (count - 1);
}

void PathEdit::setDetail(int blockLength) {
    const float radius = curve().falloffRadius();
    const FalloffShape shape = curve().falloffShape();
    path_.setBlockLength(blockLength);
    path_.fitCurve();
    path_.setHeight(10.0f * motion_.markerRadius());
    path_.curve()->setFalloffRadius(radius);
    path_.curve()->setFalloffShape(shape);
    selection_.clear();
    wholeTurn_ = 0.0;
    baseline_ = Baseline();
    layBaseline();
}
