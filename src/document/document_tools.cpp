// The document's edits beyond a drag: the selection, transforms, typed point positions and the
// path's detail, each one step of history.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "document/document.h"

namespace {

const std::vector<int> kNoSelection;

}  // namespace

const std::vector<int>& Document::selection() const {
    return edit_ ? edit_->selection() : kNoSelection;
}

void Document::setSelection(std::vector<int> indices) {
    if (edit_ && !dragging_) {
        edit_->setSelection(std::move(indices));
    }
}

void Document::toggleSelected(int index) {
    if (edit_ && !dragging_) {
        edit_->toggleSelected(index);
    }
}

void Document::selectAll() {
    if (edit_) {
        std::vector<int> all(static_cast<std::size_t>(edit_->curve().pointCount()));
        for (std::size_t i = 0; i < all.size(); ++i) {
            all[i] = static_cast<int>(i);
        }
        setSelection(std::move(all));
    }
}

Result Document::refusedEdit() const {
    if (busy()) {
        return Result::failure("Wait until the file is read or written, or cancel it.");
    }
    if (!edit_) {
        return Result::failure("No motion to edit.");
    }
    if (dragging_) {
        return Result::failure("Finish the drag first.");
    }
    return Result::success();
}

std::vector<CurvePoint> Document::currentPoints() const {
    const ControlCurve& c = edit_->curve();
    std::vector<CurvePoint> points(static_cast<std::size_t>(c.pointCount()));
    for (int i = 0; i < c.pointCount(); ++i) {
        c.getPoint(i, points[static_cast<std::size_t>(i)]);
    }
    return points;
}

bool Document::recordChanges(const std::vector<CurvePoint>& before, double turnBefore) {
    Step step;
    const std::vector<CurvePoint> now = currentPoints();
    for (std::size_t i = 0; i < now.size() && i < before.size(); ++i) {
        if (now[i].x != before[i].x || now[i].z != before[i].z) {
            step.moves.push_back(
                {static_cast<int>(i), before[i].x, before[i].z, now[i].x, now[i].z});
        }
    }
    step.turnBefore = turnBefore;
    step.turnAfter = edit_->wholeTurn();
    if (step.moves.empty() && step.turnBefore == step.turnAfter) {
        return false;
    }
    edit_->refresh(measuresAfterChange());
    ++revision_;
    record(std::move(step));
    return true;
}

Result Document::transform(const GroundTransform& t) {
    const Result allowed = refusedEdit();
    if (!allowed) {
        return allowed;
    }
    const std::vector<CurvePoint> before = currentPoints();
    const double turnBefore = edit_->wholeTurn();
    if (!edit_->transform(t)) {
        return Result::failure("The path cannot be moved so.");
    }
    recordChanges(before, turnBefore);
    return Result::success();
}

Result Document::setPointPosition(int index, const CurvePoint& p) {
    const Result allowed = refusedEdit();
    if (!allowed) {
        return allowed;
    }
    if (index < 0 || index >= edit_->curve().pointCount()) {
        return Result::failure("No control point " + std::to_string(index) + ".");
    }
    if (!std::isfinite(p.x) || !std::isfinite(p.z)) {
        return Result::failure("The point cannot be moved so.");
    }
    const std::vector<CurvePoint> before = currentPoints();
    edit_->setPoint(index, p);
    recordChanges(before, edit_->wholeTurn());
    return Result::success();
}

int Document::pathDetail() const {
    return edit_ ? edit_->path().blockLength() : RootPath::kDefaultBlockLength;
}

Result Document::setPathDetail(int blockLength) {
    const Result allowed = refusedEdit();
    if (!allowed) {
        return allowed;
    }
    const int wanted = std::max(blockLength, RootPath::kShortestBlock);
    if (wanted == pathDetail()) {
        return Result::success();
    }
    Step step;
    step.detailBefore = pathDetail();
    step.detailAfter = wanted;
    // What the old detail's curve holds beyond its fit, for the undo to bring back.
    const std::vector<CurvePoint> points = currentPoints();
    const RootPath& path = edit_->path();
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (points[i].x != path.fittedX()[i] || points[i].z != path.fittedZ()[i]) {
            step.moves.push_back({static_cast<int>(i), points[i].x, points[i].z, path.fittedX()[i],
                                  path.fittedZ()[i]});
        }
    }
    step.turnBefore = edit_->wholeTurn();
    edit_->setDetail(wanted);
    edit_->refresh();
    ++revision_;
    record(std::move(step));
    return Result::success();
}
