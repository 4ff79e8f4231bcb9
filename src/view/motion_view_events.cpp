#include <FL/Fl.H>
#include <FL/gl.h>
#include <GL/glu.h>

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
    if (!shown())
        return;  // no window, no GL context to pick in
    make_current();
    pushX_ = x;
    pushY_ = y;
    glViewport(0, 0, w(), h());
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLuint buffer[kSelectBufferSize] = {};
    glSelectBuffer(kSelectBufferSize, buffer);
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);

    setupGlState();
    gluPickMatrix(x, viewport[3] - y, 5.0, 5.0, viewport);
    setupCamera();
    // The shadow would hit under [0] like the figure; it takes no part in picking.
    const bool shadow = shadow_;
    shadow_ = false;
    drawScene();
    shadow_ = shadow;

    const int hits = glRenderMode(GL_RENDER);
    const int picked = pickedControlPoint(buffer, hits, kSelectBufferSize);
    if (picked >= 0 && document_)
        document_->select(picked);
    redraw();
}

bool MotionView::cursorRay(int x, int y, std::array<double, 3>& nearPoint,
                           std::array<double, 3>& farPoint) {
    if (!shown())
        return false;
    make_current();
    setupGlState();
    setupCamera();
    GLint viewport[4];
    GLdouble modelView[16];
    GLdouble projection[16];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const double wx = x;
    const double wy = viewport[3] - y;
    const bool unprojected = gluUnProject(wx, wy, 0.0, modelView, projection, viewport,
                                          &nearPoint[0], &nearPoint[1], &nearPoint[2]) == GL_TRUE &&
                             gluUnProject(wx, wy, 1.0, modelView, projection, viewport,
                                          &farPoint[0], &farPoint[1], &farPoint[2]) == GL_TRUE;
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return unprojected;
}

void MotionView::dragControlPoint(int x, int y) {
    if (!document_ || (!document_->dragging() && !document_->beginDrag()))
        return;
    std::array<double, 3> nearPoint{};
    std::array<double, 3> farPoint{};
    if (cursorRay(x, y, nearPoint, farPoint))
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
        zoom(x);
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
    if (linearFalloff_ && (key == 'q' || key == 'w'))
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
            return 1;
        case FL_KEYBOARD:
            return handleKey();
        default:
            return Fl_Gl_Window::handle(event);
    }
}
