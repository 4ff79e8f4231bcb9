// Redraw, pick and drag times of the 3D view with every option on (strobes and boxes included)
// for a 31-joint walk, under the X server the program runs on (xvfb-run with Mesa's llvmpipe
// for `make bench`).
#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "view/motion_view.h"

namespace {

// The corpus's CMU walk (31 joints) when the shared folder is beside the repository.
std::string corpusWalk() {
    const char* env = std::getenv("BVHPATH_CORPUS_DIR");
    const std::filesystem::path dir =
        env ? std::filesystem::path(env)
            : std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "shared" / "corpus";
    const std::filesystem::path file = dir / "cmu_01_01_walk.bvh";
    return std::filesystem::exists(file) ? file.string() : std::string();
}

// Otherwise a generated figure of 31 joints (a root, a spine of 6, two arms and two legs of 6
// each) walking 600 frames along a gentle curve.
std::string generatedWalk() {
    std::ostringstream s;
    s << "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\n"
         "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n";
    const char* limbs[5] = {"Spine", "LeftArm", "RightArm", "LeftLeg", "RightLeg"};
    const float dirs[5][3] = {{0, 8, 0}, {6, 0, 0}, {-6, 0, 0}, {2, -8, 0}, {-2, -8, 0}};
    for (int l = 0; l < 5; ++l) {
        for (int j = 0; j < 6; ++j) {
            s << "JOINT " << limbs[l] << j << "\n{\nOFFSET " << dirs[l][0] << " " << dirs[l][1]
              << " " << dirs[l][2] << "\nCHANNELS 3 Zrotation Xrotation Yrotation\n";
        }
        s << "End Site\n{\nOFFSET 0 1 0\n}\n";
        for (int j = 0; j < 6; ++j)
            s << "}\n";
    }
    s << "}\nMOTION\nFrames: 600\nFrame Time: 0.0083333\n";
    for (int f = 0; f < 600; ++f) {
        const double heading = 0.002 * f;
        s << 300.0 * std::sin(heading) << " 60 " << 300.0 * (1 - std::cos(heading)) << " 0 0 "
          << heading * 57.29578;
        for (int j = 0; j < 30; ++j)
            s << " 0 " << 10.0 * std::sin(0.1 * f + j) << " 0";
        s << "\n";
    }
    const std::string path =
        (std::filesystem::temp_directory_path() / "bench_redraw_walk.bvh").string();
    std::ofstream(path) << s.str();
    return path;
}

double median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// Window pixel (y from the top) of control point i of the view's curve, through the camera the
// view has when its arcball is unturned.
std::array<int, 2> controlPointPixel(MotionView& view, int i) {
    const ControlCurve& curve = view.edit()->curve();
    CurvePoint p;
    curve.getPoint(i, p);
    view.make_current();
    const Camera& c = view.camera();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(60.0, static_cast<double>(view.w()) / view.h(), usableNearPlane(c), farPlane(c));
    gluLookAt(c.eye[0], c.eye[1], c.eye[2], c.target[0], c.target[1], c.target[2], 0, 1, 0);
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    const GLdouble identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const GLint viewport[4] = {0, 0, view.w(), view.h()};
    GLdouble wx, wy, wz;
    gluProject(p.x, curve.height(), p.z, identity, projection, viewport, &wx, &wy, &wz);
    return {static_cast<int>(wx), view.h() - static_cast<int>(wy)};
}

std::vector<double> dragMilliseconds(MotionView& view, const std::array<int, 2>& at) {
    std::vector<double> drag;
    for (int i = 0; i < 100; ++i) {
        const auto start = std::chrono::steady_clock::now();
        view.dragControlPoint(at[0] + (i % 20) - 10, at[1] + (i % 10) - 5);
        view.flush();
        glFinish();
        drag.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    return drag;
}

}  // namespace

int main() {
    std::string path = corpusWalk();
    if (path.empty()) {
        std::printf("corpus absent: generating a 31-joint walk\n");
        path = generatedWalk();
    }
    Document document;
    if (!document.open(path)) {
        std::printf("could not load %s\n", path.c_str());
        return 1;
    }
    const Motion* motion = document.motion();
    std::printf("motion %s: %zu joints, %d frames\n", path.c_str(), motion->joints().size(),
                motion->frameCount());
    const int frames = motion->frameCount();

    Fl_Window window(800, 800, "redraw benchmark");
    auto* view = new MotionView(5, 35, 790, 755);
    window.end();
    window.show();
    for (int i = 0; i < 200 && !view->visible_r(); ++i)
        Fl::wait(0.01);
    view->setDocument(&document);

    // One redraw is what the player's frame change causes: the frame, its pose, a full flush
    // of the window (draw and buffer swap), waited for until the GL is done. First with the
    // options a new window starts with, then with every option on.
    auto redraws = [&](int count) {
        std::vector<double> times;
        for (int i = 0; i < count + 10; ++i) {
            const auto start = std::chrono::steady_clock::now();
            view->setFrame(1 + (i * 7) % frames);
            view->flush();
            glFinish();
            const auto end = std::chrono::steady_clock::now();
            if (i >= 10)
                times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        std::sort(times.begin(), times.end());
        return times;
    };
    const std::vector<double> defaults = redraws(100);
    for (int n : {OptionStrobes, OptionBoundingBox, OptionTrackMotion, OptionOriginalPath}) {
        view->toggleOption(n);
    }
    document.setFalloff(FalloffShape::Linear);
    const std::vector<double> ms = redraws(100);
    std::printf("redraw of 100 frames: min %.3f ms, median %.3f ms, max %.3f ms\n", ms.front(),
                ms[ms.size() / 2], ms.back());
    // For comparison: the same without the strobe copies, which hold most of the line segments.
    view->toggleOption(OptionStrobes);
    std::vector<double> plain;
    for (int i = 0; i < 100; ++i) {
        const auto start = std::chrono::steady_clock::now();
        view->setFrame(1 + (i * 7) % frames);
        view->flush();
        glFinish();
        plain.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    view->toggleOption(OptionStrobes);
    std::printf("redraw without strobes: median %.3f ms\n", median(plain));

    // A left press on a control point: the cubes projected with the camera model.
    const ControlCurve& curve = document.edit()->curve();
    const int point = curve.pointCount() / 2;
    view->toggleOption(OptionTrackMotion);  // a fixed camera, so the point stays where it is
    view->flush();
    const std::array<int, 2> at = controlPointPixel(*view, point);
    std::vector<double> pick;
    for (int i = 0; i < 100; ++i) {
        document.select(-1);
        const auto start = std::chrono::steady_clock::now();
        view->pickControlPoint(at[0], at[1]);
        glFinish();
        pick.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::printf("pick at control point %d selected %d\n", point, curve.selected());

    // Each mouse move of a drag: the point moved under the cursor, then the redraw it causes;
    // with every option on, and with the options a new window starts with (no strobes, no boxes).
    document.select(point);
    const std::vector<double> drag = dragMilliseconds(*view, at);
    view->toggleOption(OptionStrobes);
    view->toggleOption(OptionBoundingBox);
    const std::vector<double> dragDefault = dragMilliseconds(*view, at);
    std::printf("summary redraw_ms: %.3f\n", ms[ms.size() / 2]);
    std::printf("summary redraw_default_ms: %.3f\n", defaults[defaults.size() / 2]);
    std::printf("summary pick_ms: %.3f\n", median(pick));
    std::printf("summary drag_redraw_ms: %.3f\n", median(drag));
    std::printf("summary drag_redraw_default_options_ms: %.3f\n", median(dragDefault));
    return 0;
}
