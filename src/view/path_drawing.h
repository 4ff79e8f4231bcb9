#pragma once

#include <array>
#include <functional>
#include <vector>

#include "editing/control_curve.h"
#include "editing/root_path.h"
#include "view/camera.h"
#include "view/curve_drawing.h"

// A line strip as the GL takes it from arrays: x, y, z per vertex (world units) and, unless
// empty, r, g, b per vertex.
struct StripVertices {
    std::vector<float> xyz;
    std::vector<float> rgb;
};

// The curve's line strip at its height: the parameters t = 0, 0.0005, ... below 1 where a
// segment between two control points spans at least kGridStepsPerSegment of them (with the
// control point that starts the segment added where no step falls on it), four even steps
// where a segment is shorter, and the last control point, so that the strip passes through every
// control point whatever their number. Colours from `speeds` as drawPath gives them, or white.
StripVertices curveStrip(const RootPath& path, const std::vector<float>* speeds);
constexpr int kGridStepsPerSegment = 4;

// The world box (low and high x, y, z) of a run of a strip's vertices.
struct StripBox {
    float low[3];
    float high[3];
};
constexpr int kStripBoxVertices = 64;
// Per run of kStripBoxVertices vertices from vertex 0, the box of them and of the vertex after.
std::vector<StripBox> stripBoxes(const std::vector<float>& xyz);

// The vertices of a strip worth drawing in the view: the first and the last; none whose two
// segments lie beyond one side of the view, or behind the eye, with the last one kept (a run
// whose box, stripBoxes, lies so goes as a whole); of the others those next to the eye's plane
// and each one at least `pixels` on screen from the last one kept (any distance for a strip of
// at most kStripDrawnWhole vertices). A strip of any length costs about its length on screen in pixels,
// and its stretches far off screen a box for every kStripBoxVertices vertices.
std::vector<int> keptStripVertices(const std::vector<float>& xyz,
                                   const std::vector<StripBox>& boxes,
                                   const ControlPointView& view, double pixels);
// Vertices closer than this on screen to the last one kept are left out of a long strip.
constexpr double kStripPixels = 1.0;
constexpr int kStripDrawnWhole = 8192;

// The control points whose cubes are drawn, in index order: those in front of the eye whose
// centres lie on screen or within two cube edges of it; where more than kCubesDrawnWhole of them
// do, only those with no cube of a drawn point closer on screen than a cube's edge
// (controlPointPixels). The point under the cursor comes first, then the selected and
// highlighted ones, then the others, so a cube hidden among its neighbours is a plain one where
// it can be. So a crowded path draws at most one cube per cube-sized patch of the screen,
// however many points it has, and an ordinary one every cube.
constexpr std::size_t kCubesDrawnWhole = 512;
std::vector<int> shownControlPoints(const ControlCurve& curve, const ControlPointView& view,
                                    const ControlPointMarks& marks);

// What the path's drawing was built from: the path edit it shows and its state (a document's
// revision, whether a drag runs), and whether the path is coloured by speed.
struct PathDrawingKey {
    const void* edit = nullptr;
    unsigned long revision = 0;
    bool dragging = false;
    bool speeds = false;
    bool operator==(const PathDrawingKey& o) const {
        return edit == o.edit && revision == o.revision && dragging == o.dragging &&
               speeds == o.speeds;
    }
};

// Draws a path edit's curve with its control points, and the captured track, from arrays kept
// between draws: the world strips are rebuilt when the key changes, what the camera sees of
// them (the kept strip vertices, the cubes, whose size follows the camera) when the key, the
// view or the marks change. A redraw with nothing changed (playback with a still camera) only
// hands the arrays to the GL.
class PathDrawer {
  public:
    // drawPath's picture: the curve (coloured by `speeds` unless null), then the cubes.
    void drawPath(const RootPath& path, const PathDrawingKey& key, const ControlPointView& view,
                  const ControlPointMarks& marks, const std::vector<float>* speeds);
    // drawCapturedTrack's picture.
    void drawCapturedTrack(const RootPath& path, const PathDrawingKey& key,
                           const ControlPointView& view);
    // How many times a world strip and the cubes were built.
    int worldBuilds() const { return worldBuilds_; }
    int cubeBuilds() const { return cubeBuilds_; }

  private:
    // A strip in the world and the vertices of it the last view kept, as arrays.
    struct CachedStrip {
        StripVertices world;
        std::vector<StripBox> boxes;  // stripBoxes of world
        PathDrawingKey key;
        bool built = false;
        StripVertices drawn;
        Camera camera;
        int width = 0, height = 0;
        bool drawnBuilt = false;
        // Rebuilds what is stale: `world` (with `build`) when the key changed, `drawn` when
        // that or the view did.
        void update(const PathDrawingKey& k, const ControlPointView& view,
                    const std::function<StripVertices()>& build, int& worldBuilds);
    };
    void buildCubes(const ControlCurve& curve, const ControlPointView& view,
                    const ControlPointMarks& marks);

    CachedStrip curve_;
    CachedStrip track_;
    // The cubes: 24 quad corners per drawn point, with their colours, and the hovered one's
    // outline (12 edges), drawn after the first cubesBeforeOutline_ cubes.
    StripVertices cubes_;
    std::vector<float> outline_;
    int cubesBeforeOutline_ = 0;
    PathDrawingKey cubesKey_;
    Camera cubesCamera_;
    int cubesWidth_ = 0, cubesHeight_ = 0;
    ControlPointMarks cubesMarks_;
    bool cubesBuilt_ = false;
    int worldBuilds_ = 0;
    int cubeBuilds_ = 0;
};
