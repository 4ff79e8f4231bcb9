#include <FL/Fl.H>

#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include "motion/pose.h"
#include "view/motion_view.h"
#include "view/picking.h"

namespace {

bool altDown() {
    return (Fl::event_state() & FL_ALT) != 0;
}

bool shiftDown() {
    return (Fl::event_state() & FL_SHIFT) != 0;
}

// The menus' shortcuts without a modifier (Frame Selection, Move, Turn, Scale): declined by the
// view, so that they reach the menu bar.
bool isMenuLetter(int key) {
    return key == 'f' || key == 'g' || key == 'r' || key == 's';
}

}  // namespace

void MotionView::pickControlPoint(int x, int y, bool extend) {
    pushX_ = x;
    pushY_ = y;
    const int picked = hoveredPoint(x, y);
    if (picked >= 0 && extend)
        document_->toggleSelected(picked);
    else if (picked >= 0)
        document_->select(picked);
    boxing_ = picked < 0 && motion() != nullptr;
    boxX_ = x;
    boxY_ = y;
    redraw();
}

void MotionView::endBox(int x, int y, bool extend) {
    boxing_ = false;
    // Hidden points are not selected either.
    if ((x != pushX_ || y != pushY_) && options_.on(OptionPath)) {
        std::vector<int> inside =
            controlPointsInBox(edit()->curve(), camera_, pushX_, pushY_, x, y, w(), h());
        if (extend)
            inside.insert(inside.end(), document_->selection().begin(),
                          document_->selection().end());
        document_->setSelection(std::move(inside));
    }
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
    if (const Motion* m = motion())
        document_->setFalloffRadius(width * m->markerRadius());
    redraw();
}

int MotionView::handlePush(int x, int y) {
    // A click in the view brings the falloff keys back to it after the panel had the focus.
    if (Fl::focus() != this)
        take_focus();
    setMessage("");
    switch (Fl::event_key()) {
        case FL_Button + 1:
            pickControlPoint(x, y, shiftDown());
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
    if (key == FL_Button + 1 && boxing_) {
        boxX_ = x;
        boxY_ = y;
        redraw();
    } else if (key == FL_Button + 1) {
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
    if (key == ' ' || key == FL_Left || key == FL_Right || key == FL_Home || key == FL_End ||
        isMenuLetter(key))
        return 0;
    if (key == FL_Escape && document_ && document_->dragging()) {
        // The drag is dropped: every point goes back and the release that follows does nothing.
        document_->cancelDrag();
        do_callback();
        redraw();
    }
    if (key == FL_Escape && boxing_) {
        boxing_ = false;
        redraw();
    }
    if (document_ && document_->falloff() != FalloffShape::Off && (key == 'q' || key == 'w'))
        setFalloffWidth(nextFalloffWidth(falloffWidth(), key));
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
            if (Fl::event_key() == FL_Button + 1 && boxing_) {
                endBox(x, y, shiftDown());
            } else if (Fl::event_key() == FL_Button + 1 && motion() &&
                       (x != pushX_ || y != pushY_)) {
                endDrag(x, y);
            }
            return 1;
        case FL_MOUSEWHEEL: {
            // Shift+wheel steps the falloff as q and w do (a notch away widens it), also in the
            // middle of a drag; otherwise the wheel zooms.
            const int notches = Fl::event_dy() != 0 ? Fl::event_dy() : Fl::event_dx();
            if (shiftDown() && document_ && document_->falloff() != FalloffShape::Off) {
                for (int i = 0; i < std::abs(notches); ++i)
                    setFalloffWidth(nextFalloffWidth(falloffWidth(), notches > 0 ? 'q' : 'w'));
            } else if (Fl::event_dy() != 0) {
                wheelZoom(Fl::event_dy());
            }
            return 1;
        }
        case FL_FOCUS:
        case FL_UNFOCUS:
        case FL_ENTER:
            return 1;
        case FL_MOVE:
        case FL_LEAVE: {
            // The point under the cursor is outlined, with the points a drag from it would move.
            const int under = event == FL_MOVE ? hoveredPoint(x, y) : -1;
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
