#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../test_files.h"
#include "view/motion_view.h"

// A window holding one MotionView, shown on the test's X server, with the rendered frame read
// back from the GL.
class ViewHarness {
  public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 300;

    ViewHarness() {
        window_ = std::make_unique<Fl_Window>(kWidth, kHeight, "view test");
        view_ = new MotionView(0, 0, kWidth, kHeight);  // the window owns it
        window_->end();
        window_->show();
        for (int i = 0; i < 200 && !view_->visible_r(); ++i)
            Fl::wait(0.01);
        Fl::flush();
    }

    MotionView& view() { return *view_; }
    Document& document() { return document_; }

    // Opens the file into the harness's document and shows it in the view; false when it does
    // not load.
    bool load(const std::string& path) {
        if (!document_.open(path))
            return false;
        view_->setDocument(&document_);
        return true;
    }

    // Hides the window and shows it again, which gives the view a new GL context.
    void reshow() {
        window_->hide();
        Fl::wait(0.05);
        window_->show();
        for (int i = 0; i < 200 && !view_->visible_r(); ++i)
            Fl::wait(0.01);
        Fl::flush();
    }

    // Draws the view and returns its pixels, RGB, row 0 at the top.
    std::vector<unsigned char> render() {
        view_->make_current();
        view_->draw();
        glFinish();
        std::vector<unsigned char> bottomUp(kWidth * kHeight * 3);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
        std::vector<unsigned char> topDown(bottomUp.size());
        const std::size_t row = kWidth * 3;
        for (int y = 0; y < kHeight; ++y) {
            std::copy_n(bottomUp.begin() + static_cast<long>((kHeight - 1 - y) * row), row,
                        topDown.begin() + static_cast<long>(y * row));
        }
        return topDown;
    }

    // Clears the view, loads `projection` (then `view` after it, unless null) and an identity
    // model-view, runs `draw` and returns the pixels as read (RGB, row 0 at the bottom), for
    // comparing two ways of drawing the same thing.
    std::vector<unsigned char> picture(const GLdouble* projection, const GLdouble* view,
                                       const std::function<void()>& draw) {
        view_->make_current();
        glViewport(0, 0, kWidth, kHeight);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(projection);
        if (view != nullptr)
            glMultMatrixd(view);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        draw();
        glFinish();
        std::vector<unsigned char> pixels(kWidth * kHeight * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
        return pixels;
    }

    // Depth buffer value at pixel (x, y from the top) of the last render.
    float depthAt(int x, int y) {
        view_->make_current();
        float depth = -1.0f;
        glReadPixels(x, kHeight - 1 - y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        return depth;
    }

    // The view's camera matrices, rebuilt here with GLU from its camera state the way a careful
    // reader of the camera model would, to check the view against.
    struct CameraMatrices {
        GLdouble projection[16];
        GLdouble modelView[16];
        GLint viewport[4];
    };
    CameraMatrices cameraMatrices() {
        view_->make_current();
        const Camera& c = view_->camera();
        CameraMatrices m;
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        gluPerspective(60.0, static_cast<double>(kWidth) / kHeight, usableNearPlane(c),
                       farPlane(c));
        gluLookAt(c.eye[0], c.eye[1], c.eye[2], c.target[0], c.target[1], c.target[2], c.up[0],
                  c.up[1], c.up[2]);
        glGetDoublev(GL_PROJECTION_MATRIX, m.projection);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        for (int i = 0; i < 16; ++i)
            m.modelView[i] = i % 5 == 0 ? 1.0 : 0.0;
        m.viewport[0] = 0;
        m.viewport[1] = 0;
        m.viewport[2] = kWidth;
        m.viewport[3] = kHeight;
        return m;
    }

    // Window pixel (x, y from the top) of a world point.
    std::array<int, 2> pixelOf(double x, double y, double z) {
        const CameraMatrices m = cameraMatrices();
        GLdouble wx, wy, wz;
        gluProject(x, y, z, m.modelView, m.projection, m.viewport, &wx, &wy, &wz);
        return {static_cast<int>(std::lround(wx)), kHeight - static_cast<int>(std::lround(wy))};
    }

    // The point at height h under window pixel (x, y from the top).
    std::array<double, 2> groundUnder(int x, int y, double h) {
        const CameraMatrices m = cameraMatrices();
        GLdouble n[3], f[3];
        gluUnProject(x, kHeight - y, 0.0, m.modelView, m.projection, m.viewport, &n[0], &n[1],
                     &n[2]);
        gluUnProject(x, kHeight - y, 1.0, m.modelView, m.projection, m.viewport, &f[0], &f[1],
                     &f[2]);
        const double s = (h - n[1]) / (f[1] - n[1]);
        return {n[0] + s * (f[0] - n[0]), n[2] + s * (f[2] - n[2])};
    }

    // Sends one toolkit event to the view with the given pointer, key (a button is
    // FL_Button + n) and modifier state; returns the view's answer.
    int send(int event, int x, int y, int key, int state = 0) {
        Fl::e_x = x;
        Fl::e_y = y;
        Fl::e_keysym = key;
        Fl::e_state = state;
        return view_->handle(event);
    }

  private:
    Document document_;  // outlives the window and its view
    std::unique_ptr<Fl_Window> window_;
    MotionView* view_;
};

// How many pixels two pictures of the same size differ in.
inline int differingPixels(const std::vector<unsigned char>& a,
                           const std::vector<unsigned char>& b) {
    int n = 0;
    for (std::size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3)
        n += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
    return n;
}

// Writes pixels from render() as a binary PPM, for looking at what a test saw.
inline void savePpm(const std::vector<unsigned char>& pixels, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << ViewHarness::kWidth << " " << ViewHarness::kHeight << "\n255\n";
    out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<long>(pixels.size()));
}

// A small figure (hips, spine, head, two legs) walking `frames` frames along x, or along z.
inline std::string walkerBvh(int frames, bool alongZ) {
    std::ostringstream s;
    s << "HIERARCHY\nROOT Hips\n{\n OFFSET 0 0 0\n"
         " CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
         " JOINT Spine\n {\n  OFFSET 0 20 0\n  CHANNELS 3 Zrotation Xrotation Yrotation\n"
         "  JOINT Head\n  {\n   OFFSET 0 20 0\n   CHANNELS 3 Zrotation Xrotation Yrotation\n"
         "   End Site\n   {\n    OFFSET 0 10 0\n   }\n  }\n }\n"
         " JOINT LeftLeg\n {\n  OFFSET 8 0 0\n  CHANNELS 3 Zrotation Xrotation Yrotation\n"
         "  End Site\n  {\n   OFFSET 0 -40 0\n  }\n }\n"
         " JOINT RightLeg\n {\n  OFFSET -8 0 0\n  CHANNELS 3 Zrotation Xrotation Yrotation\n"
         "  End Site\n  {\n   OFFSET 0 -40 0\n  }\n }\n}\n";
    s << "MOTION\nFrames: " << frames << "\nFrame Time: 0.0333333\n";
    for (int i = 0; i < frames; ++i) {
        const double along = 2.0 * i;
        const double sway = 6.0 * std::sin(0.3 * i);
        const double swing = 25.0 * std::sin(0.2 * i);
        s << (alongZ ? sway : along) << " 40 " << (alongZ ? along : sway)
          << " 0 0 0  0 0 0  0 0 0  0 " << swing << " 0  0 " << -swing << " 0\n";
    }
    return s.str();
}
