#include "view/figure_drawing.h"

#include <FL/gl.h>

#include <algorithm>
#include <cmath>

namespace {

void setPassColour(PosePass pass, bool bone) {
    if (pass == PosePass::DrawFigure) {
        if (bone)
            glColor3ub(0, 0, 255);
        else
            glColor3ub(255, 64, 64);
    } else if (pass == PosePass::DrawStrobe) {
        if (bone)
            glColor3ub(0, 0, 125);
        else
            glColor3ub(125, 32, 32);
    }
}

// A bone is three thin triangles from the joint's origin to the child's offset K, one across
// each axis, so it reads as a line from any viewing angle.
void drawBone(const std::array<float, 3>& k) {
    const float l = 0.05f * std::sqrt(k[0] * k[0] + k[1] * k[1] + k[2] * k[2]);
    const float across[3][3] = {{l, 0, 0}, {0, l, 0}, {0, 0, l}};
    for (const auto& a : across) {
        glBegin(GL_LINE_LOOP);
        glVertex3f(-a[0], -a[1], -a[2]);
        glVertex3f(a[0], a[1], a[2]);
        glVertex3f(k[0], k[1], k[2]);
        glEnd();
    }
}

void drawPosedJoints(const Motion& motion, PosePass pass) {
    const std::vector<Joint*>& joints = motion.joints();
    const std::size_t count = std::min(joints.size(), motion.poseTransforms.size());
    for (std::size_t i = 0; i < count; ++i) {
        glPushMatrix();
        glMultMatrixf(motion.poseTransforms[i].data());
        setPassColour(pass, false);
        glCallList(motion.markerList);
        for (const Joint* child = joints[i]->firstChild(); child; child = child->nextSibling()) {
            setPassColour(pass, true);
            drawBone(child->offset());
        }
        glPopMatrix();
    }
}

}  // namespace

unsigned int buildMarkerList(float radius) {
    const GLuint circle = glGenLists(2);
    if (circle == 0)
        return 0;
    glNewList(circle, GL_COMPILE);
    glBegin(GL_LINE_STRIP);
    glVertex3f(radius, 0.0f, 0.0f);
    for (int k = 1; k <= 9; ++k) {
        const float a = static_cast<float>(k) * 0.62831855f;
        glVertex3f(radius * std::cos(a), 0.0f, radius * std::sin(a));
    }
    glVertex3f(radius, 0.0f, 0.0f);
    glEnd();
    glEndList();

    const GLuint marker = circle + 1;
    glNewList(marker, GL_COMPILE);
    glCallList(circle);
    glPushMatrix();
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glCallList(circle);
    glPopMatrix();
    glPushMatrix();
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
    glCallList(circle);
    glPopMatrix();
    glEndList();
    return marker;
}

void releaseMarkerList(unsigned int markerList) {
    if (markerList > 1)
        glDeleteLists(markerList - 1, 2);
}

void drawFigure(Motion& motion, PosePass pass) {
    poseFrame(motion, pass);
    // The radius is known only after the first posing pass has sized the marker.
    if (motion.markerList == 0)
        motion.markerList = buildMarkerList(motion.markerRadius);
    drawPosedJoints(motion, pass);
}

std::vector<int> strobeFrames(int frameCount) {
    std::vector<int> frames;
    const int stride = frameCount / 10 > 0 ? frameCount / 10 : 1;
    for (int k = 0; k < frameCount; k += stride)
        frames.push_back(k);
    return frames;
}

void drawStrobes(Motion& motion) {
    const int current = motion.currentFrame;
    for (int k : strobeFrames(motion.frameCount())) {
        motion.currentFrame = k;
        drawFigure(motion, PosePass::DrawStrobe);
    }
    motion.currentFrame = current;
    drawFigure(motion, PosePass::DrawFigure);
}
