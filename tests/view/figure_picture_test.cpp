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

}  // namespace
