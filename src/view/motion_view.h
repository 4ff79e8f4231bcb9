#pragma once

#include <FL/Fl_Gl_Window.H>

#include <array>
#include <memory>
#include <string>

#include "document/document.h"
#include "document/path_edit.h"
#include "motion/motion.h"
#include "motion/pose.h"
#include "view/camera.h"
#include "view/curve_drawing.h"
#include "view/figure_drawing.h"
#include "view/path_drawing.h"
#include "view/view_options.h"

// The OpenGL view of a document's motion: holds the display options, the camera and the frame
// shown, draws shadow, figure (or strobes), path, boxes, plane, grid and axes on every redraw,
// and turns mouse events into the document's picking and dragging. Drawing only reads the
// motion.
class MotionView : public Fl_Gl_Window {
  public:
    MotionView(int x, int y, int w, int h);  // label "Motion Window"
    ~MotionView() override;

    // Shows the document's motion (the document must outlive the view; null shows nothing), and
    // is called again whenever the document loaded another motion: rebuilds shadow and grid,
    // resets the camera to fit the motion, switches Track Motion off and shows row 0. The
    // caller redraws.
    void setDocument(Document* document);
    Document* document() const { return document_; }
    // The document's motion and its path edit, or null.
    const Motion* motion() const { return document_ ? document_->motion() : nullptr; }
    const PathEdit* edit() const { return document_ ? document_->edit() : nullptr; }
    // n is the 1-based frame number of the playback panel; row n - 1 is shown.
    void setFrame(int n);
    // The row shown.
    int frameRow() const { return frameRow_; }
    // The shown frame's pose on the edited path, as drawn (lifted); empty without a motion.
    Pose shownPose() const;
    // Flips the option numbered n (a ViewOption); other numbers do nothing.
    void toggleOption(int n);
    // Track Motion off and, with a motion, the camera fitted to its bounds; without one, the
    // camera an empty view starts with.
    void resetCamera();
    // Looks from the preset's side: with a motion, fitted to its bounds (and, while Track Motion
    // is on, brought to the tracking distance); without one, at the same target and distance.
    // The top view is orthographic until an orbit.
    void viewFromPreset(CameraPreset preset);
    // Camera > Frame Selection: keeps the line of sight and fits the view to the selected
    // control points (with room for the figure around them) or, with none, to the motion;
    // Track Motion goes off.
    void frameSelection();

    // A message shown across the top of the view (a failure the user must see), wrapped to the
    // view's width, until it is replaced or cleared; "" shows none. Without a motion and without
    // a message the view shows how to start.
    void setMessage(const std::string& message);
    const std::string& message() const { return message_; }
    // The line shown when there is no motion and no message.
    static const char* const kStartHint;

    // Whether option n is on (false for numbers that are no option).
    bool option(int n) const { return options_.on(n); }
    const Camera& camera() const { return camera_; }
    // The document's falloff radius in units of the motion's markerRadius (0 without one).
    float falloffWidth() const;
    // Display list of the grid; 0 means the next draw rebuilds it.
    unsigned int gridList() const { return gridList_; }
    // The motion bounds the grid list was built for; a draw rebuilds it when they changed.
    const Bounds& gridBounds() const { return gridBounds_; }
    const std::array<float, 16>& shadowMatrix() const { return shadowMatrix_; }
    // The path's drawing, with the arrays it keeps between draws.
    const PathDrawer& pathDrawer() const { return pathDrawer_; }

    // Camera moves driven by the mouse, in window pixels with y growing downwards: the orbit
    // turns the scene as a turntable from where the drag began, the zoom moves the eye along
    // the line of sight (closer for a drag right or up), the pan keeps the point under the cursor
    // (at the target's depth) under it. A wheel step of dy notches (positive towards the user)
    // backs away, negative closes in.
    void orbitBegin(int px, int py);
    void orbitDrag(int px, int py);
    void zoom(int px, int py);
    void wheelZoom(int dy);
    void panBegin(int px, int py);
    void pan(int px, int py);

    // Left button down at (x, y): selects the control point whose cube is under the cursor (the
    // one centred nearest it where several are; a point of the selection keeps the selection),
    // or with `extend` (Shift) adds it to the selection or takes it out; on empty ground it
    // starts a selection box and keeps the selection. Remembers (x, y) as the press position.
    void pickControlPoint(int x, int y, bool extend = false);
    // The control point a press at (x, y) would pick, or -1.
    int hoveredPoint(int x, int y) const;
    // The control point under the cursor as the last move found it, -1 for none.
    int hovered() const { return hovered_; }
    // While a left drag on empty ground draws a selection box: its corners (press, cursor).
    bool boxing() const { return boxing_; }
    std::array<int, 4> selectionBox() const { return {pushX_, pushY_, boxX_, boxY_}; }
    // Moves the dragged control point (and its falloff neighbours) to the point of the path's
    // plane under (x, y), starting the document's drag if none runs; nothing moves when that
    // plane is not under the cursor.
    void dragControlPoint(int x, int y);
    // Sets the document's falloff radius to `width` markerRadius units (the q and w keys and
    // Shift+wheel step it by 10 while the falloff is on), redrawing the ring and the highlights.
    void setFalloffWidth(float width);

    void draw() override;
    // Left button picks and drags control points (Escape cancels a drag), with Shift adds to
    // or takes from the selection, and on empty ground draws a selection box; middle drags and
    // the wheel zoom; right drags orbit, with Alt they pan; q and w (and Shift+wheel) narrow
    // and widen the falloff while it is on; the playback keys and the menus' one-letter
    // shortcuts are declined for the window. A finished or cancelled drag calls the widget's
    // callback, so the window can show that the motion changed. A press clears the message.
    int handle(int event) override;

  private:
    void setupGlState();
    // The message, or the start hint, as lines of text over the scene in window pixels.
    void drawMessage();
    void setupCamera();
    void drawScene(const Pose& pose);
    // Track Motion: the camera follows the shown frame's pose (its bounds) on the edited path.
    void trackMotionCamera(const Bounds& poseBounds);
    // The eye at the tracking distance for the figure, along the current line of sight.
    void startTracking();
    // Right-button drags (orbit and pan) go on from pixel (px, py) and the camera as it is.
    void startCameraDrag(int px, int py);
    void invalidateGrid();
    // What the control points show: the drag weights from the focus (the dragged point, or the
    // one under the cursor), the selection, the point under the cursor.
    ControlPointMarks pointMarks() const;
    // The path with its marks, the falloff ring and, with Original Path, the captured track.
    void drawPathEdit(const PathEdit& edit);
    // With Original Path and the figure on, a faint ghost of the frame as captured, drawn last.
    void drawGhost(const PathEdit& edit);
    // The selection box over the scene, in window pixels.
    void drawSelectionBox();
    // A left release ends the box: the points inside it become the selection (or, with Shift,
    // join it); a box that never grew is a click that keeps the selection.
    void endBox(int x, int y, bool extend);
    // Two points of the cursor's ray at (x, y) in world coordinates, the first on the near plane,
    // from the camera model (what setupCamera hands to the GL), never read back from the GL.
    void cursorRay(int x, int y, std::array<double, 3>& nearPoint,
                   std::array<double, 3>& farPoint) const;
    void endDrag(int x, int y);
    int handlePush(int x, int y);
    int handleDrag(int x, int y);
    int handleKey();

    ViewOptions options_;
    Camera camera_;
    std::array<float, 16> shadowMatrix_{};
    unsigned int gridList_ = 0;
    unsigned int staleGridList_ = 0;  // a replaced grid list, deleted once the context is current
    Bounds gridBounds_{};             // the motion bounds the grid list was built for
    Document* document_ = nullptr;
    int frameRow_ = 0;
    Pose pose_;         // the shown frame's pose of the last draw, its storage kept between draws
    Pose ghostPose_;    // the same frame as captured, for Original Path's ghost
    int hovered_ = -1;  // the control point under the cursor, shown with its falloff
    bool boxing_ = false;  // a left drag from empty ground draws a selection box to (boxX_, boxY_)
    int boxX_ = -1;
    int boxY_ = -1;
    std::string message_;
    FigureDrawer figureDrawer_;
    PathDrawer pathDrawer_;  // the path's arrays, kept between draws
    Camera orbitStart_;  // the camera when the right button went down
    int orbitStartX_ = -1;
    int orbitStartY_ = -1;
    int zoomLastX_ = -1;
    int zoomLastY_ = -1;
    int panLastX_ = -1;
    int panLastY_ = -1;
    int pushX_ = -1;
    int pushY_ = -1;
};
