#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <sstream>

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
// markerSegments and boneSegments transformed on the CPU as the drawer transforms them, in a
// colour array, as GL_LINES of the GL's default smooth shading.
void drawSegmentByVertex(const Motion& m, const Pose& pose, PosePass pass) {
    std::vector<float> vertices;
    std::vector<GLubyte> colours;
    auto add = [&](const Transform& t, const std::array<float, 3>& v, const GLubyte* rgb) {
        vertices.push_back(t[0] * v[0] + t[4] * v[1] + t[8] * v[2] + t[12]);
        vertices.push_back(t[1] * v[0] + t[5] * v[1] + t[9] * v[2] + t[13]);
        vertices.push_back(t[2] * v[0] + t[6] * v[1] + t[10] * v[2] + t[14]);
        colours.insert(colours.end(), {rgb[0], rgb[1], rgb[2], 255});
    };
    const bool figure = pass == PosePass::DrawFigure;
    const GLubyte marker[3] = {GLubyte(figure ? 255 : 125), GLubyte(figure ? 64 : 32),
                               GLubyte(figure ? 64 : 32)};
    const GLubyte bone[3] = {0, 0, GLubyte(figure ? 255 : 125)};
    const auto markerOutline = markerSegments(m.markerRadius());
    for (std::size_t j = 0; j < m.joints().size(); ++j) {
        if (const int parent = m.parentIndex()[j]; parent >= 0) {
            for (const auto& v : boneSegments(m.joints()[j]->offset()))
                add(pose.transforms[static_cast<std::size_t>(parent)], v, bone);
        }
        for (const auto& v : markerOutline)
            add(pose.transforms[j], v, marker);
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
    if (pass != PosePass::DrawPlain) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, colours.data());
    }
    glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(vertices.size() / 3));
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

// A figure of `joints` joints in limbs of four hanging from the hips, its joints turned every
// which way (the same turns on every run), walking 4 units a frame along x.
std::string wideFigureBvh(int joints, int frames) {
    std::ostringstream s;
    s << "HIERARCHY\nROOT Hips\n{\n OFFSET 0 0 0\n"
         " CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n";
    for (int i = 1; i < joints; ++i) {
        s << "JOINT J" << i << "\n{\n OFFSET 0 " << 3 + i % 7 << " " << 0.2 * (i % 5)
          << "\n CHANNELS 3 Zrotation Xrotation Yrotation\n";
        if (i % 4 == 0 || i == joints - 1) {
            s << "End Site\n{\n OFFSET 0 2 0\n}\n";
            for (int up = (i - 1) % 4; up >= 0; --up)  // back up the limb to the hips
                s << "}\n";
        }
    }
    s << "}\nMOTION\nFrames: " << frames << "\nFrame Time: 0.0333333\n";
    std::uint32_t state = 7u;
    for (int f = 0; f < frames; ++f) {
        s << 4 * f << " 40 0 0 0 0";
        for (int j = 1; j < joints; ++j) {
            for (int c = 0; c < 3; ++c) {
                state = state * 1664525u + 1013904223u;
                s << " " << static_cast<int>(state >> 24) - 128;
            }
        }
        s << "\n";
    }
    return s.str();
}

// A camera close on the figure at frame 100 of the wide walk: of its strobe copies, those of
// frames 60 (in part, at the left edge), 80, 100 and 120 are in view, the others off to the sides.
std::vector<unsigned char> closePicture(ViewHarness& h, const std::function<void()>& draw) {
    h.view().make_current();
    GLdouble projection[16];
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(60.0, static_cast<double>(ViewHarness::kWidth) / ViewHarness::kHeight, 1.0,
                   2000.0);
    gluLookAt(380.0, 60.0, 160.0, 380.0, 40.0, 0.0, 0.0, 1.0, 0.0);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return h.picture(projection, nullptr, draw);
}

TEST(FigurePictureWide, KeptStrobesOutOfViewAreLeftOutWithoutChangingAPixel) {
    ViewHarness h;
    ASSERT_TRUE(h.load(writeScratch("picture_wide.bvh", wideFigureBvh(173, 200))));
    h.view().setFrame(100);
    const Motion& m = *h.view().motion();
    ASSERT_EQ(m.joints().size(), 216u);  // 173 and the limbs' 43 end sites
    const Pose pose = h.view().shownPose();
    const EditedMotion edited = h.view().edit()->edited();
    const auto reference = closePicture(h, [&] {
        Pose strobe;
        for (int k : strobeFrames(m.frameCount())) {
            edited.pose(k, PosePass::DrawStrobe, strobe);
            drawSegmentByVertex(m, strobe, PosePass::DrawStrobe);
        }
        drawSegmentByVertex(m, pose, PosePass::DrawFigure);
    });
    FigureDrawer drawer;
    // Drawn as they are posed and kept, then from the buffers: the same picture both times.
    for (int draw = 0; draw < 2; ++draw) {
        const auto kept = closePicture(h, [&] { drawer.drawStrobes(edited, pose, {}, 7); });
        EXPECT_EQ(differingPixels(kept, reference), 0) << draw;
        EXPECT_EQ(drawer.strobeCopiesSent(), 4) << draw;
    }
    // Seen from far enough for all of them, every copy is sent.
    h.picture(h.cameraMatrices().projection, nullptr,
              [&] { drawer.drawStrobes(edited, pose, {}, 7); });
    EXPECT_EQ(drawer.strobeCopiesSent(), 10);

    // The ghost's drawing: the plain figure in the current colour, blended over the strobes.
    auto ghost = [&](const std::function<void()>& figure) {
        return closePicture(h, [&] {
            drawer.drawStrobes(edited, pose, {}, 7);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glDepthMask(GL_FALSE);
            glColor4f(0.85f, 0.85f, 0.85f, 0.4f);
            figure();
            glDepthMask(GL_TRUE);
            glDisable(GL_BLEND);
        });
    };
    Pose raw;
    ASSERT_TRUE(h.view().edit()->pose(90, PosePass::RecordRaw, raw));
    EXPECT_EQ(differingPixels(ghost([&] { drawer.drawFigure(m, raw, PosePass::DrawPlain); }),
                              ghost([&] { drawSegmentByVertex(m, raw, PosePass::DrawPlain); })),
              0);
}

}  // namespace
