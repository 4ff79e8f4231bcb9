// The window's path tools: selection, falloff, detail and transforms, each asking what it
// needs and handing it to the document.
#include <cmath>

#include "app/main_menu.h"
#include "app/motion_window.h"
#include "motion/motion.h"
#include "view/motion_view.h"

namespace {

// A Z-up file's second ground axis is its y, which the display's z runs against.
double fileGroundSign(const Motion& motion) {
    return motion.upAxis() == UpAxis::Z ? -1.0 : 1.0;
}

const char* secondGroundAxis(const Motion& motion) {
    return motion.upAxis() == UpAxis::Z ? "y" : "z";
}

}  // namespace

void MotionWindow::selectAll() {
    document_.selectAll();
    view_->redraw();
}

void MotionWindow::selectNone() {
    document_.setSelection({});
    view_->redraw();
}

void MotionWindow::setFalloff(FalloffShape shape) {
    document_.setFalloff(shape);
    menuBar_->syncMarks();
    view_->redraw();
}

void MotionWindow::setPathDetail(int frames) {
    view_->setMessage("");
    const PathEdit* edit = document_.edit();
    if (edit && !document_.busy() && frames != document_.pathDetail() &&
        (!edit->hasPathEdits() || confirmDropEdits()))
        report(document_.setPathDetail(frames));
    // The item picked took its radio mark; the marks say what the document holds.
    documentChanged();
    view_->redraw();
}

void MotionWindow::askPathDetailSeconds() {
    const Motion* motion = document_.motion();
    const double rate = motion && motion->frameTime() > 0.0f ? 1.0 / motion->frameTime() : 0.0;
    const std::optional<std::vector<double>> seconds =
        rate > 0.0
            ? askValues("Path Detail", {"Seconds per point"}, {document_.pathDetail() / rate})
            : std::nullopt;
    const double frames = seconds ? std::round(seconds->front() * rate) : 0.0;
    if (seconds && (!(frames >= 1.0) || frames > 1e9))
        report(Result::failure("A control point needs a time above 0 seconds."));
    if (frames >= 1.0 && frames <= 1e9)
        setPathDetail(static_cast<int>(frames));
    else
        documentChanged();
}

void MotionWindow::transformSelection(GroundTransform::Kind kind) {
    view_->setMessage("");
    const PathEdit* edit = document_.edit();
    if (!edit || document_.busy())
        return;
    const Motion& motion = edit->motion();
    const std::string z = secondGroundAxis(motion);
    const bool whole = document_.selection().empty();
    const std::string what = whole ? " Path" : " Selection";
    std::optional<std::vector<double>> values;
    if (kind == GroundTransform::Shift)
        values = askValues("Move" + what, {"Along x", "Along " + z}, {0.0, 0.0});
    else if (kind == GroundTransform::Turn)
        values = askValues("Turn" + what, {"Degrees (counter-clockwise)"}, {90.0});
    else
        values = askValues("Scale" + what, {"Factor"}, {1.0});
    if (!values)
        return;
    const std::vector<double>& v = *values;
    GroundTransform t;
    if (kind == GroundTransform::Shift)
        t = GroundTransform::shift(v[0], fileGroundSign(motion) * v[1]);
    else if (kind == GroundTransform::Turn)
        t = GroundTransform::turn(v[0] * M_PI / 180.0, edit->pivot());
    else
        t = GroundTransform::scale(v[0], edit->pivot());
    report(document_.transform(t));
    documentChanged();
    view_->redraw();
}

void MotionWindow::editPointPosition() {
    view_->setMessage("");
    const PathEdit* edit = document_.edit();
    if (!edit || document_.busy())
        return;
    if (document_.selection().size() != 1) {
        report(Result::failure("Select one control point to type its position."));
        return;
    }
    const int index = document_.selection().front();
    const Motion& motion = edit->motion();
    const double sign = fileGroundSign(motion);
    CurvePoint p;
    edit->curve().getPoint(index, p);
    const std::optional<std::vector<double>> at =
        askValues("Point " + std::to_string(index) + " Position", {"x", secondGroundAxis(motion)},
                  {p.x, sign * p.z});
    if (!at)
        return;
    report(document_.setPointPosition(index, CurvePoint{(*at)[0], sign * (*at)[1]}));
    documentChanged();
    view_->redraw();
}

void MotionWindow::frameSelection() {
    view_->frameSelection();
}
