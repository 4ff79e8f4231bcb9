#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "motion/pose.h"
#include "view/figure_drawing.h"
#include "view_harness.h"

namespace {

// The figure drawn joint by joint through the GL's matrix stack: each joint's marker (a circle
// strip in its xz plane, turned a quarter about z and about x), then for each child the bone
// as three closed loops in the joint's frame, then the child. The batched drawing must give
// the same pixels, ties of equal depth included, so it must keep this order of colours.
void drawPerJoint(const Motion& m, const Pose& pose, PosePass pass) {
    const std::vector<Joint*>& joints = m.joints();
    const float r = m.markerRadius();
    auto circle = [r] {
        glBegin(GL_LINE_STRIP);
        glVertex3f(r, 0, 0);
        for (int k = 1; k <= 9; ++k) {
            const float a = static_cast<float>(k) * 0.62831855f;
            glVertex3f(r * std::cos(a), 0, r * std::sin(a));
        }
        glVertex3f(r, 0, 0);
        glEnd();
    };
    std::function<void(std::size_t)> poseJoint = [&](std::size_t j) {
        glPushMatrix();
        glMultMatrixf(pose.transforms[j].data());
        if (pass == PosePass::DrawFigure)
            glColor3ub(255, 64, 64);
        if (pass == PosePass::DrawStrobe)
            glColor3ub(125, 32, 32);
        circle();
        glPushMatrix();
        glRotatef(90, 0, 0, 1);
        circle();
        glPopMatrix();
        glPushMatrix();
        glRotatef(90, 1, 0, 0);
        circle();
        glPopMatrix();
        glPopMatrix();
        for (const Joint* c = joints[j]->firstChild(); c; c = c->nextSibling()) {
            glPushMatrix();
            glMultMatrixf(pose.transforms[j].data());
            if (pass == PosePass::DrawFigure)
                glColor3ub(0, 0, 255);
            if (pass == PosePass::DrawStrobe)
                glColor3ub(0, 0, 125);
            const auto k = c->offset();
            const float l = 0.05f * std::sqrt(k[0] * k[0] + k[1] * k[1] + k[2] * k[2]);
            const float across[3][3] = {{l, 0, 0}, {0, l, 0}, {0, 0, l}};
            for (const auto& a : across) {
                glBegin(GL_LINE_LOOP);
                glVertex3f(-a[0], -a[1], -a[2]);
                glVertex3fv(a);
                glVertex3fv(k.data());
                glEnd();
            }
            glPopMatrix();
            const auto at = std::find(joints.begin(), joints.end(), c) - joints.begin();
            poseJoint(static_cast<std::size_t>(at));
        }
    };
    for (std::size_t j = 0; j < joints.size(); ++j) {
        if (m.parentIndex()[j] < 0)
            poseJoint(j);
    }
}

// The figure as the drawer sent it before it shared vertices: both ends of every segment of
// markerSegments and boneSegments transformed on the CPU as the drawer does, GL_LINES from a
// colour array (none for DrawPlain), smooth-shaded.
void drawSegmentByVertex(const Motion& m, const Pose& pose, PosePass pass) {
    std::vector<float> xyz;
    std::vector<GLubyte> rgba;
    using Rgb = std::array<GLubyte, 3>;
    auto add = [&](const Transform& t, const std::array<float, 3>& v, const Rgb& c) {
        for (int a = 0; a < 3; ++a)
            xyz.push_back(t[a] * v[0] + t[4 + a] * v[1] + t[8 + a] * v[2] + t[12 + a]);
        rgba.insert(rgba.end(), {c[0], c[1], c[2], 255});
    };
    const bool figure = pass == PosePass::DrawFigure;
    const Rgb marker = figure ? Rgb{255, 64, 64} : Rgb{125, 32, 32};
    const Rgb bone = figure ? Rgb{0, 0, 255} : Rgb{0, 0, 125};
    for (std::size_t j = 0; j < m.joints().size(); ++j) {
        if (const int parent = m.parentIndex()[j]; parent >= 0) {
            for (const auto& v : boneSegments(m.joints()[j]->offset()))
                add(pose.transforms[static_cast<std::size_t>(parent)], v, bone);
        }
        for (const auto& v : markerSegments(m.markerRadius()))
            add(pose.transforms[j], v, marker);
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, xyz.data());
    if (pass != PosePass::DrawPlain) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, rgba.data());
    }
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(xyz.size() / 3));
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
}

class FigurePicture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(h.load(writeScratch("picture_walker.bvh", walkerBvh(40, false))));
        h.view().setFrame(20);
    }
    // The view's camera, rebuilt with GLU, around `draw`.
    std::vector<unsigned char> picture(const std::function<void()>& draw) {
        return h.picture(h.cameraMatrices().projection, nullptr, draw);
    }
    ViewHarness h;
    FigureDrawer drawer;
};

TEST_F(FigurePicture, BatchedFigureAndStrobesMatchTheJointByJointDrawing) {
    const Motion& m = *h.view().motion();
    const Pose pose = h.view().shownPose();
    const auto batched = picture([&] { drawer.drawFigure(m, pose, PosePass::DrawFigure); });
    const auto reference = picture([&] { drawPerJoint(m, pose, PosePass::DrawFigure); });
    EXPECT_EQ(differingPixels(batched, reference), 0);

    const EditedMotion edited = h.view().edit()->edited();
    const auto strobes = picture([&] { drawer.drawStrobes(edited, pose); });
    const auto strobeReference = picture([&] {
        Pose strobe;
        for (int k : strobeFrames(m.frameCount())) {
            edited.pose(k, PosePass::DrawStrobe, strobe);
            drawPerJoint(m, strobe, PosePass::DrawStrobe);
        }
        drawPerJoint(m, pose, PosePass::DrawFigure);
    });
    EXPECT_EQ(differingPixels(strobes, strobeReference), 0);

    // Kept for the state they were drawn in, the copies come back the same from the GL; a figure
    // drawn elsewhere in between changes nothing.
    EXPECT_EQ(
        differingPixels(picture([&] { drawer.drawStrobes(edited, pose, {}, 7); }), strobeReference),
        0);
    EXPECT_EQ(
        differingPixels(picture([&] { drawer.drawStrobes(edited, pose, {}, 7); }), strobeReference),
        0);

    // Batches cut short (here every few joints) go out in the same order and colours.
    FigureDrawer small(100);
    EXPECT_EQ(differingPixels(picture([&] { small.drawStrobes(edited, pose); }), strobeReference),
              0);
}

TEST(FigurePictureCorpus, KeptStrobesOutOfViewAreLeftOutWithoutChangingAPixel) {
    SKIP_WITHOUT_CORPUS();
    ViewHarness h;
    ASSERT_TRUE(h.load(corpusFile("cmu_01_01_walk.bvh")));
    h.view().setFrame(1300);
    const Motion& m = *h.view().motion();
    const Pose pose = h.view().shownPose();
    const EditedMotion edited = h.view().edit()->edited();
    Pose raw;
    ASSERT_TRUE(h.view().edit()->pose(1200, PosePass::RecordRaw, raw));
    // Close on the figure from above (orthographic), so that some strobe copies are out of view
    // and one is cut by its edge; over the copies and the figure a plain ghost, blended.
    const Transform& root = pose.transforms[0];
    const double s = 1.0 / (pose.bounds[MaxY] - pose.bounds[MinY]), d = 0.01 * s;
    const GLdouble top[16] = {
        s, 0, 0, 0, 0, 0, -d, 0, 0, -s, 0, 0, -root[12] * s, root[14] * s, root[13] * d, 1};
    auto close = [&](const std::function<void()>& figures, const std::function<void()>& ghost) {
        return h.picture(top, nullptr, [&] {
            figures();
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glColor4f(0.85f, 0.85f, 0.85f, 0.4f);
            ghost();
            glDisable(GL_BLEND);
        });
    };
    const auto reference = close(
        [&] {
            Pose strobe;
            for (int k : strobeFrames(m.frameCount())) {
                edited.pose(k, PosePass::DrawStrobe, strobe);
                drawSegmentByVertex(m, strobe, PosePass::DrawStrobe);
            }
            drawSegmentByVertex(m, pose, PosePass::DrawFigure);
        },
        [&] { drawSegmentByVertex(m, raw, PosePass::DrawPlain); });
    FigureDrawer drawer;
    for (int draw = 0; draw < 2; ++draw) {  // posed and kept, then drawn from the buffers
        const auto kept = close([&] { drawer.drawStrobes(edited, pose, {}, 7); },
                                [&] { drawer.drawFigure(m, raw, PosePass::DrawPlain); });
        EXPECT_EQ(differingPixels(kept, reference), 0) << draw;
        EXPECT_TRUE(drawer.strobeCopiesSent() > 0 && drawer.strobeCopiesSent() < 11) << draw;
    }
}

}  // namespace
