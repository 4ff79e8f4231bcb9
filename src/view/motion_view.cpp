#include "view/motion_view.h"

#include <FL/Fl.H>
#include <FL/gl.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "motion/pose.h"
#include "view/curve_drawing.h"
#include "view/figure_drawing.h"
#include "view/scene_decorations.h"
#include "view/text_wrap.h"

MotionView::MotionView(int x, int y, int w, int h)
    : Fl_Gl_Window(x, y, w, h, "Motion Window"),
      shadowMatrix_(shadowMatrixFor(shadowLift(nullptr))) {}

MotionView::~MotionView() {
    // The display lists live in this window's context; free them while it still exists.
    if (context() && shown()) {
        make_current();
        if (gridList_)
            glDeleteLists(gridList_, 1);
        if (staleGridList_)
            glDeleteLists(staleGridList_, 1);
        figureDrawer_.forgetLists(false);
    }
}

void MotionView::setDocument(Document* document) {
    document_ = document;
    frameRow_ = 0;
    shadowMatrix_ = shadowMatrixFor(shadowLift(motion()));
    invalidateGrid();
    options_.set(OptionTrackMotion, false);
    hovered_ = -1;
    boxing_ = false;
    resetCamera();
}

void MotionView::setFrame(int n) {
    const PathEdit* e = edit();
    if (!e || e->frameCount() <= 0)
        return;
    // Every pass reads the shown row, so a frame number outside the motion is held to it.
    frameRow_ = std::clamp(n - 1, 0, e->frameCount() - 1);
}

Pose MotionView::shownPose() const {
    Pose pose;
    if (const PathEdit* e = edit())
        e->pose(frameRow_, PosePass::RecordEdited, pose);
    return pose;
}

// Track Motion also acts when it flips.
void MotionView::toggleOption(int n) {
    if (n == OptionTrackMotion) {
        if (options_.on(OptionTrackMotion)) {
            resetCamera();
        } else {
            options_.set(OptionTrackMotion, true);
            startTracking();
        }
        redraw();
        return;
    }
    options_.set(n, !options_.on(n));
}

void MotionView::resetCamera() {
    options_.set(OptionTrackMotion, false);
    if (const PathEdit* e = edit())
        fitCamera(camera_, e->bounds());
    else
        camera_ = Camera();
}

void MotionView::viewFromPreset(CameraPreset preset) {
    if (const PathEdit* e = edit())
        fitCameraPreset(camera_, e->bounds(), preset);
    else
        turnCameraToPreset(camera_, preset);
    if (options_.on(OptionTrackMotion))
        startTracking();
    redraw();
}

void MotionView::frameSelection() {
    const PathEdit* e = edit();
    if (!e)
        return;
    options_.set(OptionTrackMotion, false);
    Bounds box = e->bounds();
    if (!e->selection().empty()) {
        box[MaxX] = box[MaxZ] = -std::numeric_limits<float>::infinity();
        box[MinX] = box[MinZ] = std::numeric_limits<float>::infinity();
        for (int i : e->selection()) {
            CurvePoint p;
            e->curve().getPoint(i, p);
            box[MaxX] = std::max(box[MaxX], static_cast<float>(p.x));
            box[MinX] = std::min(box[MinX], static_cast<float>(p.x));
            box[MaxZ] = std::max(box[MaxZ], static_cast<float>(p.z));
            box[MinZ] = std::min(box[MinZ], static_cast<float>(p.z));
        }
        // Room for the figure around the points: a single point frames a figure's stretch of
        // ground, not a speck.
        const float room = e->motion().height();
        for (int axis : {0, 2}) {
            const float middle = (box[2 * axis] + box[2 * axis + 1]) / 2.0f;
            const float half = std::max(box[2 * axis] - box[2 * axis + 1], room) / 2.0f;
            box[2 * axis] = middle + half;
            box[2 * axis + 1] = middle - half;
        }
    }
    frameCameraOn(camera_, box);
    redraw();
}

void MotionView::startTracking() {
    // Tracking keeps the side the user looks from; only the distance comes from the figure.
    if (const Motion* m = motion())
        placeEyeForExtents(camera_, m->width(), m->height(), m->depth());
    trackMotionCamera(shownPose().bounds);
}

void MotionView::trackMotionCamera(const Bounds& poseBounds) {
    const PathEdit* e = edit();
    if (!e || e->motion().frameCount() <= 0)
        return;
    const double t =
        e->path().frameParameter(e->edited().capturedFrame(frameRow_), e->motion().frameCount());
    CurvePoint p;
    e->curve().evaluate(t, p);
    trackCamera(camera_, poseBounds, p.x, p.z);
}

void MotionView::invalidateGrid() {
    if (gridList_) {
        if (staleGridList_ && context() && shown()) {
            make_current();
            glDeleteLists(staleGridList_, 1);
        }
        staleGridList_ = gridList_;
    }
    gridList_ = 0;
}

// Both drags start here and each keeps the other's start current, so pressing or releasing Alt
// in the middle of a right-button drag goes on from where the cursor is, without a jump.
void MotionView::startCameraDrag(int px, int py) {
    orbitStart_ = camera_;
    orbitStartX_ = px;
    orbitStartY_ = py;
    panLastX_ = px;
    panLastY_ = py;
}

void MotionView::orbitBegin(int px, int py) {
    startCameraDrag(px, py);
}

void MotionView::orbitDrag(int px, int py) {
    // Measured from where the drag began, so the turn does not depend on how many events the
    // drag took, and no earlier orbit changes what this one does.
    orbitCamera(camera_, orbitStart_, px - orbitStartX_, py - orbitStartY_, w(), h());
    panLastX_ = px;
    panLastY_ = py;
    redraw();
}

void MotionView::zoom(int px, int py) {
    // Like the wheel, a share of the distance per pixel, so the drag feels the same whatever
    // the figure's units.
    scaleCameraDistance(camera_, dragZoomFactor(px - zoomLastX_, py - zoomLastY_));
    zoomLastX_ = px;
    zoomLastY_ = py;
    redraw();
}

void MotionView::wheelZoom(int dy) {
    // Each notch covers a tenth of the way to the target, so the wheel feels the same at every
    // scale and never arrives; a notch back undoes a notch forward.
    scaleCameraDistance(camera_, std::pow(0.9, -dy));
    redraw();
}

void MotionView::panBegin(int px, int py) {
    startCameraDrag(px, py);
}

void MotionView::pan(int px, int py) {
    panCamera(camera_, panLastX_, panLastY_, px, py, w(), h());
    startCameraDrag(px, py);
    redraw();
}

void MotionView::setupGlState() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClearDepth(1.0);
    glDisable(GL_NORMALIZE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
}

void MotionView::setupCamera() {
    glViewport(0, 0, w(), h());
    // The same matrices give pixelRay and projectToPixel, so what is drawn and what the mouse
    // meets agree.
    glLoadMatrixd(projectionMatrix(camera_, w(), h()).data());
    glMultMatrixd(viewMatrix(camera_).data());
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
}

void MotionView::drawScene(const Pose& pose) {
    const Motion* m = motion();
    const PathEdit* e = edit();
    const Bounds* bounds = e ? &e->bounds() : nullptr;
    if (m && e && m->frameCount() > 0) {
        if (options_.on(OptionShadow))
            drawShadow(*m, pose, shadowMatrix_, figureDrawer_);
        glPushMatrix();
        if (options_.on(OptionBones)) {
            const PlantedLegs* legs = e->feetPlanted() ? &e->planting() : nullptr;
            // A retimed frame shows the feet of the captured frame nearest to it.
            const std::vector<bool> held =
                heldFootJoints(*m, e->feet(), legs, e->edited().capturedFrame(frameRow_));
            if (options_.on(OptionStrobes))
                figureDrawer_.drawStrobes(e->edited(), pose, held,
                                          2 * document_->revision() + 2 + document_->dragging());
            else
                figureDrawer_.drawFigure(*m, pose, PosePass::DrawFigure, held);
        }
        drawPathEdit(*e);
        if (options_.on(OptionBoundingBox))
            drawBoundingBoxes(e->bounds(), pose.bounds);
        glPopMatrix();
    }
    if (options_.on(OptionPlane))
        drawPlane(bounds);
    // The grid spans the motion's ground bounds, which an edit, an undo or a load changes.
    if (gridList_ != 0 && bounds && *bounds != gridBounds_)
        invalidateGrid();
    if (options_.on(OptionGrid)) {
        if (gridList_ == 0) {
            if (staleGridList_)
                glDeleteLists(staleGridList_, 1);
            staleGridList_ = 0;
            gridList_ = buildGridList(m, bounds);
            gridBounds_ = bounds ? *bounds : Bounds{};
        }
        glCallList(gridList_);
    }
    if (options_.on(OptionAxes))
        drawAxes(m);
    if (e && m && m->frameCount() > 0)
        drawGhost(*e);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

const char* const MotionView::kStartHint =
    "Open a BVH file with File > Open (Ctrl+O), or drop one on this window.";

void MotionView::setMessage(const std::string& message) {
    if (message != message_) {
        message_ = message;
        redraw();
    }
}

namespace {

// Where the GL's raster position stands after the text drawn from (x, y). The GL draws with a
// bitmap font whose advances differ from the toolkit's measure (gl_width, of its Xft font) by a
// few percent, so the text is measured by what drawing it moves.
double drawnEnd(const std::string& text, double x, double y) {
    gl_draw(text.c_str(), static_cast<float>(x), static_cast<float>(y));
    GLfloat position[4];
    glGetFloatv(GL_CURRENT_RASTER_POSITION, position);
    return position[0];
}

double drawnWidth(const std::string& text) {
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    const double width = drawnEnd(text, 0.0, 0.0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    return width;
}

// The space has no width in that font, so the words are placed one by one, `space` apart.
void drawTextLine(const std::string& text, double space, int x, int y) {
    double at = x;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            at = drawnEnd(text.substr(start, end - start), at, y);
        at += space;
        start = end + 1;
    }
}

}  // namespace

void MotionView::drawMessage() {
    const bool failure = !message_.empty();
    if (!failure && motion())
        return;
    const std::string& text = failure ? message_ : std::string(kStartHint);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, w(), 0.0, h(), -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    gl_font(FL_HELVETICA, 14);
    const double space = std::max(gl_width(' '), 0.3 * gl_height());
    const int margin = 8;
    const std::vector<std::string> lines = wrapText(text, w() - 2 * margin, space, drawnWidth);
    // A dark band keeps the lines readable over any part of the scene.
    glColor3f(0.15f, 0.15f, 0.15f);
    glRecti(0, h() - static_cast<int>(lines.size()) * gl_height() - margin, w(), h());
    if (failure)
        glColor3f(1.0f, 0.85f, 0.3f);
    else
        glColor3f(0.85f, 0.85f, 0.85f);
    for (std::size_t i = 0; i < lines.size(); ++i)
        drawTextLine(lines[i], space, margin,
                     h() - margin / 2 - static_cast<int>(i + 1) * gl_height() + gl_descent());
    glEnable(GL_DEPTH_TEST);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

void MotionView::draw() {
    // A new context (the window shown again, say) holds none of the lists compiled in an earlier
    // one, even when it happens to get the same address.
    if (!context_valid()) {
        gridList_ = 0;
        staleGridList_ = 0;
        figureDrawer_.forgetLists(true);
    }
    // One pose of the shown frame serves the tracking camera, the shadow, the figure and the
    // pose's box. An undo may have shortened the motion before the panel's next frame comes.
    if (const PathEdit* e = edit()) {
        frameRow_ = std::clamp(frameRow_, 0, std::max(e->frameCount() - 1, 0));
        e->pose(frameRow_, PosePass::RecordEdited, pose_);
    } else
        pose_ = Pose();
    // Tracking moves the camera before it is handed to the GL, so the picture and the mouse's
    // picking and dragging use the same camera.
    if (options_.on(OptionTrackMotion))
        trackMotionCamera(pose_.bounds);
    setupGlState();
    setupCamera();
    drawScene(pose_);
    drawSelectionBox();
    drawMessage();
}
