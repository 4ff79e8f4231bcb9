// The view's drawing of the path edit: the control points with their highlights, the falloff
// ring, the original path with its ghost figure, and the selection box.
#include <FL/gl.h>

#include <algorithm>

#include "view/curve_drawing.h"
#include "view/motion_view.h"

float MotionView::falloffWidth() const {
    const Motion* m = motion();
    return m && m->markerRadius() > 0.0f && document_
               ? document_->falloffRadius() / m->markerRadius()
               : 0.0f;
}

ControlPointMarks MotionView::pointMarks() const {
    ControlPointMarks marks;
    const PathEdit* e = edit();
    if (!e)
        return marks;
    const int focus = document_->dragging() ? e->selected() : hovered_;
    if (focus >= 0)
        marks.weights = e->dragWeights(focus);
    marks.selected.assign(static_cast<std::size_t>(e->curve().pointCount()), 0);
    for (int i : e->selection())
        marks.selected[static_cast<std::size_t>(i)] = 1;
    marks.hovered = hovered_;
    return marks;
}

void MotionView::drawPathEdit(const PathEdit& e) {
    const bool speeds = options_.on(OptionPathSpeed);
    const PathDrawingKey key{&e, document_->revision(), document_->dragging(), speeds};
    const ControlPointView view{camera_, w(), h()};
    if (options_.on(OptionOriginalPath))
        pathDrawer_.drawCapturedTrack(e.path(), key, view);
    if (!options_.on(OptionPath))
        return;
    pathDrawer_.drawPath(e.path(), key, view, pointMarks(), speeds ? &e.pathSpeed() : nullptr);
    const int focus = document_->dragging() ? e.selected() : hovered_;
    CurvePoint centre;
    if (document_->falloff() != FalloffShape::Off && focus >= 0 &&
        e.curve().getPoint(focus, centre))
        drawFalloffRing(centre, document_->falloffRadius(), 0.05 * e.path().height());
}

void MotionView::drawGhost(const PathEdit& e) {
    if (!options_.on(OptionOriginalPath) || !options_.on(OptionBones) ||
        !e.pose(frameRow_, PosePass::RecordRaw, ghostPose_))
        return;
    // Blended over everything drawn before it, the ground included, and never hiding the
    // edited figure where the two meet.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    glColor4f(0.85f, 0.85f, 0.85f, 0.4f);
    figureDrawer_.drawFigure(e.motion(), ghostPose_, PosePass::DrawPlain);
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}

void MotionView::drawSelectionBox() {
    if (!boxing_)
        return;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, w(), h(), 0.0, -1.0, 1.0);  // window pixels, y down
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glColor3f(1.0f, 1.0f, 1.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2d(pushX_ + 0.5, pushY_ + 0.5);
    glVertex2d(boxX_ + 0.5, pushY_ + 0.5);
    glVertex2d(boxX_ + 0.5, boxY_ + 0.5);
    glVertex2d(pushX_ + 0.5, boxY_ + 0.5);
    glEnd();
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
