#include "view/figure_drawing.h"

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

std::array<std::array<float, 3>, 18> boneSegments(const std::array<float, 3>& k) {
    const float l = 0.05f * std::sqrt(k[0] * k[0] + k[1] * k[1] + k[2] * k[2]);
    std::array<std::array<float, 3>, 18> segments;
    const std::array<float, 3> across[3] = {{l, 0, 0}, {0, l, 0}, {0, 0, l}};
    std::size_t n = 0;
    for (const auto& a : across) {
        const std::array<float, 3> from = {-a[0], -a[1], -a[2]};
        for (const auto& v : {from, a, a, k, k, from})
            segments[n++] = v;
    }
    return segments;
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
        marker_ =
            crossed ? markerCross(motion.markerRadius()) : markerSegments(motion.markerRadius());
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
    // joints() is in depth-first pre-order, so the bone from the parent followed by the
    // joint's own marker is the order of a recursive traversal.
    for (std::size_t i = 0; i < count; ++i) {
        const int parent = parents[i];
        if (parent >= 0) {
            const Transform& p = pose.transforms[static_cast<std::size_t>(parent)];
            const std::array<float, 3> k = boneVector(*joints[i], p, pose.transforms[i]);
            std::size_t added = 2;
            if (crossed) {
                appendTransformed(p, {0.0f, 0.0f, 0.0f}, vertices_);
                appendTransformed(p, k, vertices_);
            } else {
                const auto bone = boneSegments(k);
                for (const auto& v : bone)
                    appendTransformed(p, v, vertices_);
                added = bone.size();
            }
            if (coloured)
                colours_.insert(colours_.end(), added, boneColour);
        }
        const Transform& m = pose.transforms[i];
        for (const auto& v : marker_)
            appendTransformed(m, v, vertices_);
        if (coloured)
            colours_.insert(colours_.end(), marker_.size(),
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

// Line segments with a colour (RGBA bytes) per vertex, or in the current colour without.
void drawSegments(const std::vector<float>& vertices, const std::vector<std::uint32_t>& colours) {
    if (vertices.empty())
        return;
    const bool coloured = !colours.empty();
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
    if (coloured) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, colours.data());
    }
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(vertices.size() / 3));
    glDisableClientState(GL_VERTEX_ARRAY);
    if (coloured) {
        glDisableClientState(GL_COLOR_ARRAY);
        // The current colour is undefined after a colour array; leave the last one drawn.
        glColor4ubv(reinterpret_cast<const GLubyte*>(&colours.back()));
    }
}

}  // namespace

void FigureDrawer::flush() {
    ++flushes_;
    drawSegments(vertices_, colours_);
    vertices_.clear();
    colours_.clear();
}

void FigureDrawer::forgetLists(bool contextLost) {
    if (strobeList_ != 0 && !contextLost)
        glDeleteLists(strobeList_, 1);
    strobeList_ = 0;
    strobeState_ = 0;
}

void FigureDrawer::drawFigure(const Motion& motion, const Pose& pose, PosePass pass,
                              const std::vector<bool>& held) {
    addPose(motion, pose, pass, held);
    flush();
}

void FigureDrawer::drawStrobes(const EditedMotion& edited, const Pose& current,
                               const std::vector<bool>& held, unsigned long state) {
    if (state != 0 && state == strobeState_ && strobeMotion_ == &edited.motion &&
        strobeFrameCount_ == edited.frameCount() && strobeList_ != 0) {
        glCallList(strobeList_);
        drawFigure(edited.motion, current, PosePass::DrawFigure, held);
        return;
    }
    strobeState_ = 0;
    // All copies lie under the figure, so they go out as one batch.
    const int flushesBefore = flushes_;
    for (int k : strobeFrames(edited.frameCount())) {
        if (edited.pose(k, PosePass::DrawStrobe, strobePose_))
            addPose(edited.motion, strobePose_, PosePass::DrawStrobe, {});
    }
    if (state != 0 && flushes_ == flushesBefore) {
        // The copies fit one batch: kept in the GL for the next draws.
        if (strobeList_ == 0)
            strobeList_ = glGenLists(1);
        if (strobeList_ != 0) {
            glNewList(strobeList_, GL_COMPILE);
            drawSegments(vertices_, colours_);
            glEndList();
            strobeState_ = state;
            strobeMotion_ = &edited.motion;
            strobeFrameCount_ = edited.frameCount();
            glCallList(strobeList_);
            vertices_.clear();
            colours_.clear();
        }
    }
    flush();
    drawFigure(edited.motion, current, PosePass::DrawFigure, held);
}
