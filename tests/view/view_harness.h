#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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

    // Depth buffer value at pixel (x, y from the top) of the last render.
    float depthAt(int x, int y) {
        view_->make_current();
        float depth = -1.0f;
        glReadPixels(x, kHeight - 1 - y, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        return depth;
    }

  private:
    std::unique_ptr<Fl_Window> window_;
    MotionView* view_;
};

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

// Writes text to a file in the test's temporary folder and returns its path.
inline std::string writeTempFile(const std::string& name, const std::string& text) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

inline std::unique_ptr<Motion> loadMotion(const std::string& path) {
    auto motion = std::make_unique<Motion>();
    if (!motion->load(path))
        return nullptr;
    return motion;
}
