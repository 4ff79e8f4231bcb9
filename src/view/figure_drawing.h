#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "feet/foot_contacts.h"
#include "motion/edited_motion.h"
#include "motion/motion.h"
#include "motion/planted_legs.h"
#include "motion/pose.h"

// The joint marker's outline in the joint's own frame: three 10-sided circles of the given
// radius, in the xz plane, that circle turned a quarter about z (yz plane) and turned a
// quarter about x (xy plane); as 30 segments, two vertices each.
std::vector<std::array<float, 3>> markerSegments(float radius);

// The marker of a figure of very many joints: three segments of twice the radius, crossed at the
// joint along its x, y and z axes.
std::vector<std::array<float, 3>> markerCross(float radius);

// The outline of the bone from a joint to a child at k, in the joint's frame: three thin
// triangles, one across each axis, as 9 segments. It reads as a line from any side. The figure
// puts k where the pose put the child, so a child with position channels stays on its bone.
std::array<std::array<float, 3>, 18> boneSegments(const std::array<float, 3>& k);
// The same bone as its 7 corners (the two base points across x, y and z, then k) and the 9
// segments as pairs of corner numbers: boneSegments(k)[i] is boneCorners(k)[kBoneCorner[i]].
std::array<std::array<float, 3>, 7> boneCorners(const std::array<float, 3>& k);
inline constexpr std::array<std::uint32_t, 18> kBoneCorner = {0, 1, 1, 6, 6, 0, 2, 3, 3,
                                                              6, 6, 2, 4, 5, 5, 6, 6, 4};

// Segments as distinct vertices and pairs of their numbers, so that the GL transforms a vertex
// that several segments share once.
struct IndexedSegments {
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::uint32_t> indices;  // two per segment, in the segments' order
};
// Indexes a list of segments (two vertices each); equal vertices become one.
IndexedSegments indexSegments(const std::vector<std::array<float, 3>>& segments);

// A box of world points: minimum x, y, z, then maximum x, y, z.
using PointBox = std::array<float, 6>;
// Whether everything inside the box lies outside the view of `clip` (projection times
// model-view, column-major): all its corners beyond one plane of a view a hundredth wider and
// deeper than the GL's, so that nothing of it, not the edge of a line, can reach a pixel.
bool outsideView(const PointBox& box, const std::array<double, 16>& clip);

// The frames drawn as strobe copies: every tenth of the motion, or every frame when it has
// fewer than ten (the stride would be 0).
std::vector<int> strobeFrames(int frameCount);

// For each joint (joints() order), whether it belongs to one of the feet that the planted legs
// hold on the ground at the frame: the ankle and every joint below it. All false without legs.
std::vector<bool> heldFootJoints(const Motion& motion, const std::vector<Foot>& feet,
                                 const PlantedLegs* legs, int frame);

// Draws posed figures. The joint transforms of the pose pass are applied on the CPU and the
// figures go to the GL as one array of indexed line segments: per-joint matrix changes and small
// batches made a redraw with strobes several times slower under a software GL, and each vertex
// that segments share (a marker's circles, a bone's tip) is transformed and sent once. The
// segments keep the order of a joint-by-joint traversal (each joint's marker after the bone that
// leads to it), with a colour per vertex, because where a bone crosses a marker at equal depth
// the one drawn last shows; the colour is the same at both ends of a segment, so they are drawn
// flat-shaded, which a software GL rasterizes for less. A batch whose vertices lie wholly
// outside the view (a shadow or a strobe copy behind the camera or off to a side) is not sent.
// The vertex storage and the marker outline are kept between draws.
class FigureDrawer {
  public:
    // A batch goes to the GL once it holds this many vertices, so that a skeleton of millions
    // of joints (ten strobe copies of it) draws in bounded memory; the order stays the same.
    static constexpr std::size_t kBatchVertices = std::size_t{1} << 18;
    // A figure of more joints than this is drawn with crossed markers and bones of one line, a
    // tenth of the segments: under a software GL a hundred thousand joints took seconds a redraw.
    static constexpr std::size_t kDetailedJoints = 4096;

    explicit FigureDrawer(std::size_t batchVertices = kBatchVertices)
        : batchVertices_(batchVertices) {}

    // Draws each joint's marker of a posed figure and its bones to its children, in the colours
    // of the drawing pass: red markers and blue bones for DrawFigure, dark ones for DrawStrobe,
    // the current colour for DrawPlain. The DrawFigure markers of the `held` joints (a foot held
    // on the ground, heldFootJoints) are amber.
    void drawFigure(const Motion& motion, const Pose& pose, PosePass pass,
                    const std::vector<bool>& held = {});
    // Strobe copies of the edited motion at strobeFrames, then the figure in the given pose.
    // A nonzero `state` tells the edit the motion is in (it changes whenever the edit does): the
    // copies are kept in buffer objects of the current context while it, the motion and its
    // frame count stay, and drawn again without posing them (unless they outgrow one batch);
    // kept copies wholly outside the view are not sent to the GL at all.
    void drawStrobes(const EditedMotion& edited, const Pose& current,
                     const std::vector<bool>& held = {}, unsigned long state = 0);

    // Drops the kept strobe copies: their buffers deleted in the current context, or only
    // forgotten where the context they lived in is gone.
    void forgetLists(bool contextLost);

    // How many kept strobe copies the last drawStrobes sent to the GL.
    int strobeCopiesSent() const { return strobeCopiesSent_; }

  private:
    // One kept strobe copy: its run of indices and the vertices they number, in the buffers.
    struct KeptCopy {
        std::size_t firstIndex = 0;
        std::size_t indexCount = 0;
        std::uint32_t firstVertex = 0;
        std::uint32_t lastVertex = 0;
        PointBox box{};  // of its world vertices
    };

    // Appends the pose's world-space vertices (and, but for DrawPlain, their colours) and its
    // segments to the batch.
    void addPose(const Motion& motion, const Pose& pose, PosePass pass,
                 const std::vector<bool>& held);
    // Draws the batch and empties it.
    void flush();
    // Moves the batch, which holds the strobe copies `copies`, into buffer objects; false (the
    // batch left as it is) where the GL gives none.
    bool keepStrobes(std::vector<KeptCopy> copies);
    // Draws the kept copies that can reach the view.
    void drawKeptStrobes();

    std::size_t batchVertices_;
    IndexedSegments marker_;
    float markerRadius_ = -1.0f;          // the radius marker_ was built for
    bool markerCrossed_ = false;          // whether marker_ is markerCross
    std::vector<float> vertices_;         // x, y, z per vertex, world space
    std::vector<std::uint32_t> colours_;  // RGBA bytes per vertex; empty for DrawPlain
    std::vector<std::uint32_t> indices_;  // two vertex numbers per segment
    Pose strobePose_;                     // storage for posing the strobe copies
    int flushes_ = 0;                     // batches drawn so far
    // The strobe copies as last kept (no buffers: none), and what for.
    unsigned int strobeVertexBuffer_ = 0;  // positions, then colours
    unsigned int strobeIndexBuffer_ = 0;
    std::size_t strobeColourOffset_ = 0;  // bytes
    std::vector<KeptCopy> strobeCopies_;
    std::uint32_t strobeLastColour_ = 0;  // the colour of the copies' last vertex
    unsigned long strobeState_ = 0;
    const Motion* strobeMotion_ = nullptr;
    int strobeFrameCount_ = -1;
    int strobeCopiesSent_ = 0;
};
