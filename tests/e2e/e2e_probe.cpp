// Helper of the end-to-end scripts, built on the program's own libraries:
//   e2e_probe points FILE             control points of FILE's fitted path, in window pixels
//   e2e_probe check ORIGINAL SAVED I  whether SAVED is ORIGINAL with the path edited near
//                                     control point I and nothing else changed
//   e2e_probe close WINDOW            asks an X window to close, as a window manager's close
//                                     button does (WM_DELETE_WINDOW)
#include <X11/Xlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "motion/bvh_writer.h"
#include "motion/load_motion.h"
#include "motion/motion.h"
#include "view/motion_view.h"

namespace {

// Where the main window puts its view, and the view's size.
constexpr int kViewX = 5, kViewY = 35, kViewW = 790, kViewH = 755;

using Vec3 = std::array<double, 3>;
Vec3 sub(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 normalized(const Vec3& a) {
    const double n = std::sqrt(dot(a, a));
    return {a[0] / n, a[1] / n, a[2] / n};
}

// Window pixel (y down) of a world point seen by the view's camera with an unturned arcball:
// the 60 degree perspective and the look-at of the view, without the depth terms.
std::array<double, 2> project(const Camera& camera, const Vec3& p) {
    const Vec3 eye{camera.eye[0], camera.eye[1], camera.eye[2]};
    const Vec3 target{camera.target[0], camera.target[1], camera.target[2]};
    const Vec3 f = normalized(sub(target, eye));
    const Vec3 s = normalized(cross(f, {0.0, 1.0, 0.0}));
    const Vec3 u = cross(s, f);
    const Vec3 d = sub(p, eye);
    const double focal = 1.0 / std::tan(30.0 * M_PI / 180.0);
    const double aspect = static_cast<double>(kViewW) / kViewH;
    const double nx = focal / aspect * dot(s, d) / dot(f, d);
    const double ny = focal * dot(u, d) / dot(f, d);
    return {kViewX + (nx + 1.0) / 2.0 * kViewW, kViewY + kViewH - (ny + 1.0) / 2.0 * kViewH};
}

std::unique_ptr<Motion> loadFile(const char* path) {
    auto motion = std::make_unique<Motion>();
    if (!loadMotion(path, *motion)) {
        std::fprintf(stderr, "e2e_probe: %s does not load\n", path);
        return nullptr;
    }
    return motion;
}

// One line per control point: index, window x, window y, and the screen distance in pixels
// from its cube to the drawn path line (a pick needs the line under the cursor too).
int printPoints(const char* path) {
    Document document;
    if (!document.open(path)) {
        std::fprintf(stderr, "e2e_probe: %s does not load\n", path);
        return 1;
    }
    MotionView view(kViewX, kViewY, kViewW, kViewH);
    view.setDocument(&document);
    const ControlCurve& curve = view.edit()->curve();
    const double h = curve.height();
    std::vector<std::array<double, 2>> line;
    for (int k = 0; k <= 4000; ++k) {
        CurvePoint c;
        curve.evaluate(k / 4000.0, c);
        line.push_back(project(view.camera(), {c.x, h, c.z}));
    }
    for (int i = 0; i < curve.pointCount(); ++i) {
        CurvePoint c;
        curve.getPoint(i, c);
        const auto at = project(view.camera(), {c.x, h, c.z});
        double nearest = 1e30;
        for (const auto& q : line) {
            nearest = std::min(nearest, std::hypot(q[0] - at[0], q[1] - at[1]));
        }
        std::printf("%d %.0f %.0f %.2f\n", i, at[0], at[1], nearest);
    }
    return 0;
}

// Rotation matrix (row-major 3x3) of a joint's rotation channels composed in channel order.
std::array<double, 9> rotationOf(const Joint& joint, const float* row) {
    std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (int c = 0; c < joint.channelCount(); ++c) {
        const int axis = joint.channel(c) - Xrotation;
        if (axis < 0) {
            continue;
        }
        const double a = row[c] * M_PI / 180.0, co = std::cos(a), si = std::sin(a);
        std::array<double, 9> r{1, 0, 0, 0, 1, 0, 0, 0, 1};
        const int i = (axis + 1) % 3, j = (axis + 2) % 3;
        r[i * 3 + i] = co;
        r[i * 3 + j] = -si;
        r[j * 3 + i] = si;
        r[j * 3 + j] = co;
        std::array<double, 9> out{};
        for (int x = 0; x < 3; ++x) {
            for (int y = 0; y < 3; ++y) {
                for (int k = 0; k < 3; ++k) {
                    out[x * 3 + y] += m[x * 3 + k] * r[k * 3 + y];
                }
            }
        }
        m = out;
    }
    return m;
}

struct RootColumns {
    int x = -1, y = -1, z = -1;
};
RootColumns rootColumns(const Joint& root) {
    RootColumns cols;
    for (int c = 0; c < root.channelCount(); ++c) {
        if (root.channel(c) == Xposition)
            cols.x = c;
        if (root.channel(c) == Yposition)
            cols.y = c;
        if (root.channel(c) == Zposition)
            cols.z = c;
    }
    return cols;
}

int check(const char* originalPath, const char* savedPath, int editedPoint) {
    std::unique_ptr<Motion> original = loadFile(originalPath);
    std::unique_ptr<Motion> saved = loadFile(savedPath);
    if (!original || !saved) {
        return 1;
    }
    const FrameTable& a = *original->frames();
    const FrameTable& b = *saved->frames();
    const int frames = a.frameCount();
    if (b.frameCount() != frames || b.channelCount() != a.channelCount() ||
        saved->joints().size() != original->joints().size()) {
        std::printf("check: the saved file has another shape\n");
        return 1;
    }
    const Joint& root = *original->root();
    const int rootChannels = root.channelCount();
    const RootColumns cols = rootColumns(root);
    int failures = 0;
    double worstOther = 0.0;
    for (int f = 0; f < frames; ++f) {
        for (int c = rootChannels; c < a.channelCount(); ++c) {
            const double va = a.value(f, c), diff = std::fabs(va - b.value(f, c));
            worstOther = std::max(worstOther, diff);
            if (diff > 1e-4 + 1e-6 * std::fabs(va)) {
                ++failures;
            }
        }
    }
    std::printf("check: non-root channels differ by at most %.6f\n", worstOther);

    // Frames whose root moved on the ground, and whether the root kept its height and, where it
    // did not move, its orientation.
    std::vector<int> moved;
    double worstStill = 0.0, worstTurnStill = 0.0, largestMove = 0.0;
    for (int f = 0; f < frames; ++f) {
        const double dx = cols.x < 0 ? 0.0 : b.value(f, cols.x) - a.value(f, cols.x);
        const double dz = cols.z < 0 ? 0.0 : b.value(f, cols.z) - a.value(f, cols.z);
        const double move = std::hypot(dx, dz);
        largestMove = std::max(largestMove, move);
        if (cols.y >= 0 && std::fabs(b.value(f, cols.y) - a.value(f, cols.y)) > 1e-3) {
            ++failures;
        }
        const auto ra = rotationOf(root, a.row(f)), rb = rotationOf(*saved->root(), b.row(f));
        double turn = 0.0;
        for (int k = 0; k < 9; ++k) {
            turn = std::max(turn, std::fabs(ra[k] - rb[k]));
        }
        // The edit turns the figure a little before and after the frames it moves, as it
        // starts and ends the turn: those frames count as reached too.
        if (move > 0.01 || turn > 1e-3) {
            moved.push_back(f);
        } else {
            worstStill = std::max(worstStill, move);
            worstTurnStill = std::max(worstTurnStill, turn);
        }
    }
    std::printf("check: %zu of %d frames moved or turned the root (largest move %.3f)",
                moved.size(), frames, largestMove);
    if (!moved.empty()) {
        std::printf(", frames %d..%d", moved.front(), moved.back());
    }
    std::printf("; elsewhere the root moved %.5f and turned %.6f\n", worstStill, worstTurnStill);
    if (worstTurnStill > 1e-3) {
        ++failures;
    }
    const bool contiguous =
        !moved.empty() && moved.back() - moved.front() + 1 == static_cast<int>(moved.size());
    if (moved.size() < 5 || !contiguous || moved.front() == 0 || moved.back() == frames - 1 ||
        largestMove < 1.0) {
        std::printf("check: the edit should move one inner run of frames\n");
        ++failures;
    }

    // The frame whose root sat nearest the dragged control point must be among the moved ones.
    const PathEdit unedited(*original);
    CurvePoint point;
    unedited.curve().getPoint(editedPoint, point);
    int nearest = 0;
    double best = 1e300;
    for (int f = 0; f < original->frameCount(); ++f) {
        const std::size_t i = static_cast<std::size_t>(f);
        const double d =
            std::hypot(original->rootTrackX()[i] - point.x, original->rootTrackZ()[i] - point.z);
        if (d < best) {
            best = d;
            nearest = f;
        }
    }
    const bool reached = std::find(moved.begin(), moved.end(), nearest) != moved.end();
    std::printf("check: frame %d lies at control point %d and %s\n", nearest, editedPoint,
                reached ? "moved" : "did not move");
    if (!reached) {
        ++failures;
    }
    std::printf("check: %s\n", failures == 0 ? "passed" : "FAILED");
    return failures == 0 ? 0 : 1;
}

int closeWindow(const char* id) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "e2e_probe: no X display\n");
        return 1;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = std::strtoul(id, nullptr, 0);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(display);
    return 0;
}

}  // namespace

// Writes a long motion of a 31-joint walker to `path` (frames of it), for the scripts that need
// a load or save long enough to show its progress.
int generate(const char* path, int frames) {
    auto root = std::make_unique<Joint>("Hips");
    root->setChannels({Xposition, Yposition, Zposition, Zrotation, Yrotation, Xrotation});
    Joint* parent = root.get();
    for (int i = 1; i < 31; ++i) {
        auto joint = std::make_unique<Joint>("Joint" + std::to_string(i));
        joint->setOffset(0.0f, 10.0f, 1.0f);
        joint->setChannels({Zrotation, Xrotation, Yrotation});
        joint->setParent(parent);
        Joint* added = joint.get();
        parent->appendChild(std::move(joint));
        parent = i % 5 == 0 ? root.get() : added;
    }
    const int columns = 6 + 3 * 30;
    std::vector<float> values(static_cast<std::size_t>(frames) * columns);
    for (int f = 0; f < frames; ++f) {
        float* row = values.data() + static_cast<std::size_t>(f) * columns;
        row[0] = 0.5f * f;
        row[1] = 90.0f;
        row[2] = 100.0f * std::sin(f * 0.0005f);
        for (int c = 3; c < columns; ++c)
            row[c] = 20.0f * std::sin(0.01f * f + c);
    }
    FrameTable table(columns);
    table.set(frames, 1.0f / 120.0f, std::move(values));
    BvhWriter writer;
    return writer.open(path) && writer.write(root.get(), table) && writer.close() ? 0 : 1;
}

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "points" && argc == 3) {
        return printPoints(argv[2]);
    }
    if (command == "check" && argc == 5) {
        return check(argv[2], argv[3], std::atoi(argv[4]));
    }
    if (command == "close" && argc == 3) {
        return closeWindow(argv[2]);
    }
    if (command == "generate" && argc == 4) {
        return generate(argv[2], std::atoi(argv[3]));
    }
    std::fprintf(stderr,
                 "usage: e2e_probe points FILE | check ORIGINAL SAVED INDEX | close ID | "
                 "generate FILE FRAMES\n");
    return 2;
}
