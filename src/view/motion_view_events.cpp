#include <FL/Fl.H>

#include <cmath>

#include "motion/pose.h"
#include "view/motion_view.h"
#include "view/picking.h"

namespace {

bool altDown() {
    return (Fl::event_state() & FL_ALT) != 0;
}

}  // namespace

void MotionView::pickControlPoint(int x, int y) {
    pushX_ = x;
    pushY_ = y;
    const int picked = hoveredPoint(x, y);
    if (picked >= 0)
        document_->select(picked);
    redraw();
}

int MotionView::hoveredPoint(int x, int y) const {
    const PathEdit* e = edit();
    // Only what is drawn can be picked: no cubes while the path is hidden.
    if (!options_.on(OptionPath) || !e)
        return -1;
    return controlPointUnder(e->curve(), camera_, x, y, w(), h());
}

void MotionView::cursorRay(int x, int y, std::array<double, 3>& nearPoint,
                           std::array<double, 3>& farPoint) const {
    const CameraRay ray = pixelRay(camera_, x, y, w(), h());
    nearPoint = ray.origin;
    for (int i = 0; i < 3; ++i)
        farPoint[static_cast<std::size_t>(i)] =
            ray.origin[static_cast<std::size_t>(i)] + ray.direction[static_cast<std::size_t>(i)];
}

void MotionView::dragControlPoint(int x, int y) {
    if (!document_ || (!document_->dragging() && !document_->beginDrag()))
        return;
    std::array<double, 3> nearPoint{};
    std::array<double, 3> farPoint{};
    cursorRay(x, y, nearPoint, farPoint);
    document_->dragTo(nearPoint, farPoint);
}

void MotionView::endDrag(int x, int y) {
    dragControlPoint(x, y);
    if (document_ && document_->dragging()) {
        document_->commitDrag();
        do_callback();
    }
    redraw();
}

void MotionView::setFalloffWidth(float width) {
    falloffWidth_ = width;
    applyFalloffRadius();
}

int MotionView::handlePush(int x, int y) {
    // A click in the view brings the falloff keys back to it after the panel had the focus.
    if (Fl::focus() != this)
        take_focus();
    setMessage("");
    switch (Fl::event_key()) {
        case FL_Button + 1:
            pickControlPoint(x, y);
            redraw();
            break;
        case FL_Button + 2:
            zoomLastX_ = x;
            zoomLastY_ = y;
            break;
        case FL_Button + 3:
            if (altDown())
                panBegin(x, y);
            else
                orbitBegin(x, y);
            break;
        default:
            break;
    }
    return 1;
}

int MotionView::handleDrag(int x, int y) {
    const int key = Fl::event_key();
    if (key == FL_Button + 1) {
        if (motion() && (x != pushX_ || y != pushY_)) {
            dragControlPoint(x, y);
            redraw();
        }
    } else if (key == FL_Button + 2) {
        zoom(x, y);
    } else if (key == FL_Button + 3 && !altDown()) {
        orbitDrag(x, y);
    } else if (key == FL_Button + 3 || key == FL_Alt_L || key == FL_Alt_R) {
        pan(x, y);
    }
    return 1;
}

int MotionView::handleKey() {
    // Keys with Alt, Ctrl or Meta are the menus' shortcuts: the toolkit offers a key to the
    // menu bar only when the focused view declines it.
    if (Fl::event_state() & (FL_ALT | FL_CTRL | FL_META))
        return Fl_Gl_Window::handle(FL_KEYBOARD);
    const int key = Fl::event_key();
    // The playback keys belong to the window, which hands them to the panel wherever the focus
    // is; declined here, they come back to the window as a shortcut.
    if (key == ' ' || key == FL_Left || key == FL_Right || key == FL_Home || key == FL_End)
        return 0;
    if (key == FL_Escape && document_ && document_->dragging()) {
        // The drag is dropped: every point goes back and the release that follows does nothing.
        document_->cancelDrag();
        do_callback();
        redraw();
    }
    if (options_.on(OptionLinearFalloff) && (key == 'q' || key == 'w'))
        setFalloffWidth(nextFalloffWidth(falloffWidth_, key));
    return 1;
}

int MotionView::handle(int event) {
    const int x = Fl::event_x();
    const int y = Fl::event_y();
    switch (event) {
        case FL_PUSH:
            return handlePush(x, y);
        case FL_DRAG:
            return handleDrag(x, y);
        case FL_RELEASE:
            if (Fl::event_key() == FL_Button + 1 && motion() && (x != pushX_ || y != pushY_)) {
                endDrag(x, y);
            }
            return 1;
        case FL_MOUSEWHEEL:
            if (Fl::event_dy() != 0)
                wheelZoom(Fl::event_dy());
            return 1;
        case FL_FOCUS:
        case FL_UNFOCUS:
        case FL_ENTER:
            return 1;
        case FL_MOVE:
        case FL_LEAVE: {
            // The points a drag from here would move are shown while Linear Falloff is on.
            const int under =
                event == FL_MOVE && options_.on(OptionLinearFalloff) ? hoveredPoint(x, y) : -1;
            if (under != hovered_) {
                hovered_ = under;
                redraw();
            }
            return 1;
        }
        case FL_KEYBOARD:
            return handleKey();
        default:
            return Fl_Gl_Window::handle(event);
    }
}
