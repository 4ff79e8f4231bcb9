#include "view/scene_decorations.h"

#include <FL/gl.h>

namespace {

constexpr float kGroundMargin = 150.0f;
constexpr float kThirtieth = 0.033333335f;

// Four closed outlines (faces x = max, x = min, y = max, y = min) cover all twelve edges.
void drawBox(const Bounds& b) {
    const float xs[2] = {b[MaxX], b[MinX]};
    for (float x : xs) {
        glBegin(GL_LINE_STRIP);
        glVertex3f(x, b[MaxY], b[MaxZ]);
        glVertex3f(x, b[MaxY], b[MinZ]);
        glVertex3f(x, b[MinY], b[MinZ]);
        glVertex3f(x, b[MinY], b[MaxZ]);
        glVertex3f(x, b[MaxY], b[MaxZ]);
        glEnd();
    }
    const float ys[2] = {b[MaxY], b[MinY]};
    for (float y : ys) {
        glBegin(GL_LINE_STRIP);
        glVertex3f(b[MaxX], y, b[MaxZ]);
        glVertex3f(b[MaxX], y, b[MinZ]);
        glVertex3f(b[MinX], y, b[MinZ]);
        glVertex3f(b[MinX], y, b[MaxZ]);
        glVertex3f(b[MaxX], y, b[MaxZ]);
        glEnd();
    }
}

}  // namespace

std::array<float, 16> shadowMatrixFor(float lift) {
    const float light[4] = {1.0f, 1.0f, -1.0f, 0.0f};
    return {light[1], 0.0f, 0.0f,     0.0f, -light[0], 0.0f, -light[2], -light[3],
            0.0f,     0.0f, light[1], 0.0f, 0.0f,      lift, light[2],  light[1]};
}

float shadowLift(const Motion* motion) {
    return motion ? 0.25f * motion->markerRadius() : 0.07f;
}

GroundExtent groundExtent(const Bounds* motionBounds) {
    if (!motionBounds)
        return {-kGroundMargin, kGroundMargin, -kGroundMargin, kGroundMargin};
    const Bounds& b = *motionBounds;
    return {b[MinX] - kGroundMargin, b[MaxX] + kGroundMargin, b[MinZ] - kGroundMargin,
            b[MaxZ] + kGroundMargin};
}

void drawShadow(const Motion& motion, const Pose& pose, const std::array<float, 16>& shadowMatrix,
                FigureDrawer& drawer) {
    glColor3f(0.1f, 0.1f, 0.1f);
    glPushMatrix();
    glMultMatrixf(shadowMatrix.data());
    drawer.drawFigure(motion, pose, PosePass::DrawPlain);
    glPopMatrix();
}

void drawPlane(const Bounds* motionBounds) {
    const GroundExtent g = groundExtent(motionBounds);
    glColor3f(0.3f, 0.3f, 0.3f);
    glBegin(GL_QUADS);
    glVertex3f(g.maxX, 0.0f, g.maxZ);
    glVertex3f(g.maxX, 0.0f, g.minZ);
    glVertex3f(g.minX, 0.0f, g.minZ);
    glVertex3f(g.minX, 0.0f, g.maxZ);
    glEnd();
}

unsigned int buildGridList(const Motion* motion, const Bounds* motionBounds) {
    const GLuint list = glGenLists(1);
    if (list == 0)
        return 0;
    const GroundExtent g = groundExtent(motion ? motionBounds : nullptr);
    const float height = motion ? 0.2f * motion->markerRadius() : 0.06f;
    const float w = g.maxX - g.minX;
    const float d = g.maxZ - g.minZ;
    glNewList(list, GL_COMPILE);
    glColor3f(0.4f, 0.4f, 0.4f);
    for (int i = 0; i <= 30; ++i) {
        const bool major = i % 5 == 0;
        if (major)
            glLineWidth(5.0f);
        const float x = g.minX + static_cast<float>(i) * w * kThirtieth;
        const float z = g.minZ + static_cast<float>(i) * d * kThirtieth;
        glBegin(GL_LINES);
        glVertex3f(x, height, g.maxZ);
        glVertex3f(x, height, g.minZ);
        glVertex3f(g.maxX, height, z);
        glVertex3f(g.minX, height, z);
        glEnd();
        if (major)
            glLineWidth(2.0f);
    }
    glLineWidth(1.0f);
    glEndList();
    return list;
}

void drawAxes(const Motion* motion) {
    const float a = motion ? 10.0f * motion->markerRadius() : 10.0f;
    const float base = 0.01f * a;
    const float tips[3][3] = {{a, base, 0.0f}, {0.0f, a, 0.0f}, {0.0f, base, a}};
    const GLubyte colours[3][3] = {{255, 64, 64}, {150, 255, 150}, {128, 128, 255}};
    for (int i = 0; i < 3; ++i) {
        glColor3ubv(colours[i]);
        glBegin(GL_LINE_STRIP);
        glVertex3f(0.0f, base, 0.0f);
        glVertex3fv(tips[i]);
        glEnd();
    }
}

void drawBoundingBoxes(const Bounds& motionBounds, const Bounds& poseBounds) {
    glPushMatrix();
    glLineStipple(1, 0xAAAA);
    glEnable(GL_LINE_STIPPLE);
    glColor3f(0.9f, 0.9f, 0.9f);
    // The pose box is already in drawn (lifted) coordinates; the motion box is not.
    drawBox(poseBounds);
    glTranslatef(0.0f, -motionBounds[MinY], 0.0f);
    drawBox(motionBounds);
    glDisable(GL_LINE_STIPPLE);
    glPopMatrix();
}
