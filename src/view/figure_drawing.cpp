#include "view/figure_drawing.h"

// Buffer objects (GL 1.5) and glDrawRangeElements (GL 1.2) come from glext.h's prototypes.
#define GL_GLEXT_PROTOTYPES 1
#include <FL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

void appendTransformed(const Transform& m, const std::array<float, 3>& v, std::vector<float>& out) {
    out.push_back(m[0] * v[0] + m[4] * v[1] + m[8] * v[2] + m[12]);
    out.push_back(m[1] * v[0] + m[5] * v[1] + m[9] * v[2] + m[13]);
    out.push_back(m[2] * v[0] + m[6] * v[1] + m[10] * v[2] + m[14]);
}

// A colour as the four bytes R, G, B, A of a GL colour array; alpha is opaque, as glColor3ub
// makes it.
std::uint32_t rgba(unsigned char r, unsigned char g, unsigned char b) {
    const unsigned char bytes[4] = {r, g, b, 255};
    std::uint32_t packed;
    std::memcpy(&packed, bytes, sizeof packed);
    return packed;
}

bool hasTranslation(const Joint& joint) {
    for (ChannelType type : joint.channels()) {
        if (type <= Zposition)
            return true;
    }
    return false;
}

// Where the child's origin lies in its parent's frame as posed. A child without position channels
// sits at its OFFSET, taken as it is so the bone is exactly the file's; one with position channels
// sits where the pose put it, found by turning the world difference back by the parent's
// rotation (the transpose, as the rotation is orthonormal).
std::array<float, 3> boneVector(const Joint& child, const Transform& parent, const Transform& m) {
    if (!hasTranslation(child))
        return child.offset();
    const float d[3] = {m[12] - parent[12], m[13] - parent[13], m[14] - parent[14]};
    return {parent[0] * d[0] + parent[1] * d[1] + parent[2] * d[2],
            parent[4] * d[0] + parent[5] * d[1] + parent[6] * d[2],
            parent[8] * d[0] + parent[9] * d[1] + parent[10] * d[2]};
}

}  // namespace

std::vector<std::array<float, 3>> markerSegments(float radius) {
    std::array<std::array<float, 3>, 11> circle;
    circle[0] = {radius, 0.0f, 0.0f};
    for (std::size_t k = 1; k <= 9; ++k) {
        const float a = static_cast<float>(k) * 0.62831855f;
        circle[k] = {radius * std::cos(a), 0.0f, radius * std::sin(a)};
    }
    circle[10] = circle[0];
    std::vector<std::array<float, 3>> segments;
    segments.reserve(60);
    for (std::size_t k = 0; k < 10; ++k) {
        segments.push_back(circle[k]);
        segments.push_back(circle[k + 1]);
    }
    for (std::size_t k = 0; k < 10; ++k) {  // a quarter about z: (x, y, z) -> (-y, x, z)
        segments.push_back({-circle[k][1], circle[k][0], circle[k][2]});
        segments.push_back({-circle[k + 1][1], circle[k + 1][0], circle[k + 1][2]});
    }
    for (std::size_t k = 0; k < 10; ++k) {  // a quarter about x: (x, y, z) -> (x, -z, y)
        segments.push_back({circle[k][0], -circle[k][2], circle[k][1]});
        segments.push_back({circle[k + 1][0], -circle[k + 1][2], circle[k + 1][1]});
    }
    return segments;
}

std::vector<std::array<float, 3>> markerCross(float radius) {
    return {{-radius, 0.0f, 0.0f}, {radius, 0.0f, 0.0f},  {0.0f, -radius, 0.0f},
            {0.0f, radius, 0.0f},  {0.0f, 0.0f, -radius}, {0.0f, 0.0f, radius}};
}

std::array<std::array<float, 3>, 7> boneCorners(const std::array<float, 3>& k) {
    const float l = 0.05f * std::sqrt(k[0] * k[0] + k[1] * k[1] + k[2] * k[2]);
    return {{{-l, 0, 0}, {l, 0, 0}, {0, -l, 0}, {0, l, 0}, {0, 0, -l}, {0, 0, l}, k}};
}

std::array<std::array<float, 3>, 18> boneSegments(const std::array<float, 3>& k) {
    const auto corners = boneCorners(k);
    std::array<std::array<float, 3>, 18> segments;
    for (std::size_t i = 0; i < segments.size(); ++i)
        segments[i] = corners[kBoneCorner[i]];
    return segments;
}

IndexedSegments indexSegments(const std::vector<std::array<float, 3>>& segments) {
    IndexedSegments indexed;
    for (const auto& v : segments) {
        const auto at = std::find(indexed.vertices.begin(), indexed.vertices.end(), v);
        indexed.indices.push_back(static_cast<std::uint32_t>(at - indexed.vertices.begin()));
        if (at == indexed.vertices.end())
            indexed.vertices.push_back(v);
    }
    return indexed;
}

bool outsideView(const PointBox& box, const std::array<double, 16>& clip) {
    constexpr double kWider = 1.01;
    // Each corner's clip coordinates x, y, z, w.
    std::array<std::array<double, 4>, 8> corners;
    for (std::size_t c = 0; c < 8; ++c) {
        const double p[3] = {box[c & 1 ? 3 : 0], box[c & 2 ? 4 : 1], box[c & 4 ? 5 : 2]};
        for (std::size_t r = 0; r < 4; ++r)
            corners[c][r] = clip[r] * p[0] + clip[4 + r] * p[1] + clip[8 + r] * p[2] + clip[12 + r];
    }
    // Beyond the plane s * axis = kWider * w for every corner: the box is on that plane's far
    // side (a half-space, so the corners decide for all of it).
    for (std::size_t axis = 0; axis < 3; ++axis) {
        for (double s : {1.0, -1.0}) {
            bool allBeyond = true;
            for (const auto& q : corners)
                allBeyond = allBeyond && s * q[axis] > kWider * q[3];
            if (allBeyond)
                return true;
        }
    }
    return false;
}

std::vector<int> strobeFrames(int frameCount) {
    std::vector<int> frames;
    const int stride = frameCount / 10 > 0 ? frameCount / 10 : 1;
    for (int k = 0; k < frameCount; k += stride)
        frames.push_back(k);
    return frames;
}

std::vector<bool> heldFootJoints(const Motion& motion, const std::vector<Foot>& feet,
                                 const PlantedLegs* legs, int frame) {
    std::vector<bool> held(motion.joints().size(), false);
    const std::vector<int>& parents = motion.parentIndex();
    for (std::size_t k = 0; k < feet.size() && legs != nullptr; ++k) {
        const int ankle = feet[k].leg.ankle;
        if (!legs->footHeld(frame, static_cast<int>(k)) || ankle < 0 ||
            static_cast<std::size_t>(ankle) >= held.size()) {
            continue;
        }
        // The ankle's subtree is the run after it (depth-first order) whose parents lie inside.
        held[static_cast<std::size_t>(ankle)] = true;
        for (std::size_t j = static_cast<std::size_t>(ankle) + 1;
             j < held.size() && parents[j] >= ankle; ++j) {
            held[j] = true;
        }
    }
    return held;
}

void FigureDrawer::addPose(const Motion& motion, const Pose& pose, PosePass pass,
                           const std::vector<bool>& held) {
    const std::vector<Joint*>& joints = motion.joints();
    const std::size_t count = std::min(joints.size(), pose.transforms.size());
    const bool crossed = count > kDetailedJoints;
    if (markerRadius_ != motion.markerRadius() || markerCrossed_ != crossed) {
        marker_ = indexSegments(crossed ? markerCross(motion.markerRadius())
                                        : markerSegments(motion.markerRadius()));
        markerRadius_ = motion.markerRadius();
        markerCrossed_ = crossed;
    }
    const bool coloured = pass != PosePass::DrawPlain;
    const std::uint32_t markerColour =
        pass == PosePass::DrawFigure ? rgba(255, 64, 64) : rgba(125, 32, 32);
    const std::uint32_t boneColour =
        pass == PosePass::DrawFigure ? rgba(0, 0, 255) : rgba(0, 0, 125);
    const std::uint32_t heldColour = rgba(255, 190, 0);
    const bool showsHeld = pass == PosePass::DrawFigure;
    const std::vector<int>& parents = motion.parentIndex();
    // Appends the segments `pairs` of the vertices `corners` (in the frame of m) in `colour`.
    auto add = [&](const Transform& m, const auto& corners, const auto& pairs,
                   std::uint32_t colour) {
        const auto first = static_cast<std::uint32_t>(vertices_.size() / 3);
        for (const auto& v : corners)
            appendTransformed(m, v, vertices_);
        for (std::uint32_t i : pairs)
            indices_.push_back(first + i);
        if (coloured)
            colours_.insert(colours_.end(), corners.size(), colour);
    };
    static constexpr std::array<std::uint32_t, 2> kLine = {0, 1};
    // joints() is in depth-first pre-order, so the bone from the parent followed by the
    // joint's own marker is the order of a recursive traversal.
    for (std::size_t i = 0; i < count; ++i) {
        const int parent = parents[i];
        if (parent >= 0) {
            const Transform& p = pose.transforms[static_cast<std::size_t>(parent)];
            const std::array<float, 3> k = boneVector(*joints[i], p, pose.transforms[i]);
            if (crossed) {
                const std::array<std::array<float, 3>, 2> line = {{{0.0f, 0.0f, 0.0f}, k}};
                add(p, line, kLine, boneColour);
            } else {
                add(p, boneCorners(k), kBoneCorner, boneColour);
            }
        }
        add(pose.transforms[i], marker_.vertices, marker_.indices,
            showsHeld && i < held.size() && held[i] ? heldColour : markerColour);
        if (vertices_.size() >= 3 * batchVertices_) {
            flush();
            // A software GL keeps every batch queued until the frame is shown, and a figure of
            // hundreds of thousands of joints queued its lines by the hundreds of megabytes;
            // waiting for each full batch keeps one batch's worth queued.
            glFinish();
        }
    }
}

namespace {

// Indexed line segments of the vertices numbered `first` to `last` (from `vertices`, with a
// colour of RGBA bytes per vertex from `colours` unless it is null, in the current colour
// without), flat-shaded as the figure is; `indices` is an address or, with an index buffer bound,
// an offset into it, and so are `vertices` and `colours` with a vertex buffer bound.
void drawIndexed(const char* vertices, const char* colours, std::size_t first, std::size_t last,
                 const char* indices, std::size_t indexCount) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    if (colours != nullptr) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, colours);
    }
    glShadeModel(GL_FLAT);
    glDrawRangeElements(GL_LINES, static_cast<GLuint>(first), static_cast<GLuint>(last),
                        static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT, indices);
    glShadeModel(GL_SMOOTH);
    glDisableClientState(GL_VERTEX_ARRAY);
    if (colours != nullptr)
        glDisableClientState(GL_COLOR_ARRAY);
}

// A byte offset into a bound buffer object, as the array and draw calls take it.
const char* bufferOffset(std::size_t bytes) {
    return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(bytes));
}

// The box of the vertices (x, y, z each) from number `first` on.
PointBox boxOf(const std::vector<float>& vertices, std::size_t first) {
    PointBox box = {0, 0, 0, 0, 0, 0};
    for (std::size_t v = first; 3 * v + 2 < vertices.size(); ++v) {
        for (std::size_t a = 0; a < 3; ++a) {
            const float x = vertices[3 * v + a];
            box[a] = v == first ? x : std::min(box[a], x);
            box[a + 3] = v == first ? x : std::max(box[a + 3], x);
        }
    }
    return box;
}

// The product of the GL's projection and model-view matrices: model-view points to clip space.
std::array<double, 16> clipMatrix() {
    GLfloat projection[16];
    GLfloat modelView[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    std::array<double, 16> clip{};
    for (std::size_t c = 0; c < 4; ++c) {
        for (std::size_t r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (std::size_t k = 0; k < 4; ++k)
                sum += static_cast<double>(projection[4 * k + r]) * modelView[4 * c + k];
            clip[4 * c + r] = sum;
        }
    }
    return clip;
}

}  // namespace

void FigureDrawer::flush() {
    ++flushes_;
    // A batch wholly outside the view (a shadow behind the camera, say) gives no pixel.
    if (!indices_.empty() && !outsideView(boxOf(vertices_, 0), clipMatrix())) {
        drawIndexed(reinterpret_cast<const char*>(vertices_.data()),
                    colours_.empty() ? nullptr : reinterpret_cast<const char*>(colours_.data()), 0,
                    vertices_.size() / 3 - 1, reinterpret_cast<const char*>(indices_.data()),
                    indices_.size());
    }
    // The current colour is undefined after a colour array; leave the last one drawn.
    if (!colours_.empty() && !indices_.empty())
        glColor4ubv(reinterpret_cast<const GLubyte*>(&colours_.back()));
    vertices_.clear();
    colours_.clear();
    indices_.clear();
}

void FigureDrawer::forgetLists(bool contextLost) {
    if (!contextLost) {
        const GLuint buffers[2] = {strobeVertexBuffer_, strobeIndexBuffer_};
        if (buffers[0] != 0 || buffers[1] != 0)
            glDeleteBuffers(2, buffers);
    }
    strobeVertexBuffer_ = 0;
    strobeIndexBuffer_ = 0;
    strobeCopies_.clear();
    strobeState_ = 0;
}

void FigureDrawer::drawFigure(const Motion& motion, const Pose& pose, PosePass pass,
                              const std::vector<bool>& held) {
    addPose(motion, pose, pass, held);
    flush();
}

bool FigureDrawer::keepStrobes(std::vector<KeptCopy> copies) {
    if (strobeVertexBuffer_ == 0 || strobeIndexBuffer_ == 0) {
        GLuint buffers[2] = {0, 0};
        glGenBuffers(2, buffers);
        strobeVertexBuffer_ = buffers[0];
        strobeIndexBuffer_ = buffers[1];
        if (buffers[0] == 0 || buffers[1] == 0) {
            forgetLists(false);
            return false;
        }
    }
    const std::size_t positionBytes = vertices_.size() * sizeof(float);
    const std::size_t colourBytes = colours_.size() * sizeof(std::uint32_t);
    glBindBuffer(GL_ARRAY_BUFFER, strobeVertexBuffer_);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(positionBytes + colourBytes), nullptr,
                 GL_STATIC_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(positionBytes), vertices_.data());
    glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(positionBytes),
                    static_cast<GLsizeiptr>(colourBytes), colours_.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, strobeIndexBuffer_);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(indices_.size() * sizeof(std::uint32_t)), indices_.data(),
                 GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    strobeColourOffset_ = positionBytes;
    strobeCopies_ = std::move(copies);
    strobeLastColour_ = colours_.empty() ? 0 : colours_.back();
    vertices_.clear();
    colours_.clear();
    indices_.clear();
    return true;
}

void FigureDrawer::drawKeptStrobes() {
    strobeCopiesSent_ = 0;
    if (strobeCopies_.empty())
        return;
    const std::array<double, 16> clip = clipMatrix();
    glBindBuffer(GL_ARRAY_BUFFER, strobeVertexBuffer_);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, strobeIndexBuffer_);
    std::vector<bool> sent(strobeCopies_.size());
    for (std::size_t c = 0; c < sent.size(); ++c)
        sent[c] = strobeCopies_[c].indexCount != 0 && !outsideView(strobeCopies_[c].box, clip);
    // Each run of copies in view (neighbours in the buffers) goes in one draw.
    for (std::size_t c = 0; c < sent.size(); ++c) {
        if (!sent[c])
            continue;
        const KeptCopy& first = strobeCopies_[c];
        std::size_t indexCount = 0;
        for (; c < sent.size() && sent[c]; ++c) {
            indexCount += strobeCopies_[c].indexCount;
            ++strobeCopiesSent_;
        }
        drawIndexed(bufferOffset(0), bufferOffset(strobeColourOffset_), first.firstVertex,
                    strobeCopies_[c - 1].lastVertex,
                    bufferOffset(first.firstIndex * sizeof(std::uint32_t)), indexCount);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    // The colour the copies leave, whichever of them were drawn.
    glColor4ubv(reinterpret_cast<const GLubyte*>(&strobeLastColour_));
}

void FigureDrawer::drawStrobes(const EditedMotion& edited, const Pose& current,
                               const std::vector<bool>& held, unsigned long state) {
    if (state != 0 && state == strobeState_ && strobeMotion_ == &edited.motion &&
        strobeFrameCount_ == edited.frameCount() && strobeVertexBuffer_ != 0) {
        drawKeptStrobes();
        drawFigure(edited.motion, current, PosePass::DrawFigure, held);
        return;
    }
    strobeState_ = 0;
    strobeCopies_.clear();
    strobeCopiesSent_ = 0;
    // All copies lie under the figure, so they go out as one batch.
    const int flushesBefore = flushes_;
    std::vector<KeptCopy> copies;
    for (int k : strobeFrames(edited.frameCount())) {
        if (!edited.pose(k, PosePass::DrawStrobe, strobePose_))
            continue;
        KeptCopy copy;
        copy.firstIndex = indices_.size();
        copy.firstVertex = static_cast<std::uint32_t>(vertices_.size() / 3);
        addPose(edited.motion, strobePose_, PosePass::DrawStrobe, {});
        if (flushes_ != flushesBefore)
            continue;  // drawn in batches as they fill: nothing is kept
        copy.indexCount = indices_.size() - copy.firstIndex;
        copy.lastVertex = static_cast<std::uint32_t>(vertices_.size() / 3);
        copy.lastVertex -= copy.lastVertex > copy.firstVertex ? 1 : 0;
        copy.box = boxOf(vertices_, copy.firstVertex);
        copies.push_back(copy);
    }
    // The copies fit one batch: kept in the GL for the next draws.
    if (state != 0 && flushes_ == flushesBefore && keepStrobes(std::move(copies))) {
        strobeState_ = state;
        strobeMotion_ = &edited.motion;
        strobeFrameCount_ = edited.frameCount();
        drawKeptStrobes();
    }
    flush();
    drawFigure(edited.motion, current, PosePass::DrawFigure, held);
}
