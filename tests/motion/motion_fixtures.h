#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "../test_files.h"
#include "editing/root_path.h"
#include "motion/edited_motion.h"
#include "motion/load_motion.h"
#include "motion/motion.h"
#include "motion/pose.h"
#include "motion/save_motion.h"

// Helpers shared by the pose, load/save and edit/save tests.
namespace fixtures {

using Positions = std::vector<std::array<float, 3>>;  // one entry per joint, joints() order

// Loads; 1 or 0, with the console line the window would print for a failure through printed.
inline int loadQuietly(Motion& motion, const std::string& path, std::string* printed = nullptr) {
    const Result result = loadMotion(path, motion);
    if (printed != nullptr) {
        *printed = result ? std::string() : result.message + "\n";
    }
    return result ? 1 : 0;
}

// Saves the motion as read, with no edit.
inline int saveQuietly(const Motion& motion, const std::string& path) {
    return saveMotion(EditedMotion(motion), path) ? 1 : 0;
}

// Every joint's world position at frame f, after one pass of the given kind (with the edit's
// placement and legs in the edited passes).
inline Positions posedAt(const EditedMotion& motion, int frame, PosePass pass) {
    Pose pose;
    motion.pose(frame, pass, pose);
    Positions out;
    for (const Transform& m : pose.transforms) {
        out.push_back({m[12], m[13], m[14]});
    }
    return out;
}

inline Positions posedAt(const Motion& motion, int frame, PosePass pass) {
    return posedAt(EditedMotion(motion), frame, pass);
}

// The path fitted to the motion's ground track, as its path edit fits it.
inline RootPath fittedPath(const Motion& motion) {
    RootPath path;
    for (std::size_t f = 0; f < motion.rootTrackX().size(); ++f) {
        path.appendSample(motion.rootTrackX()[f], 0.0f, motion.rootTrackZ()[f]);
    }
    path.fitCurve();
    return path;
}

// The largest extent of the motion's bounds: the scale against which positions are compared.
inline float motionSize(const Motion& motion) {
    return std::max({motion.bound(MaxX) - motion.bound(MinX),
                     motion.bound(MaxY) - motion.bound(MinY),
                     motion.bound(MaxZ) - motion.bound(MinZ), 1e-6f});
}

inline float distance(const std::array<float, 3>& a, const std::array<float, 3>& b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

// A small walking figure: a root with the given CHANNELS text and OFFSET, a spine with an arm
// and an End Site, the root moving along a gentle curve (its position values moved by `shift`)
// and turning while every joint rotates.
inline std::string walkingFigure(const std::string& rootChannels, int frameCount,
                                 const std::string& rootOffset = "0 0 0",
                                 const std::array<double, 3>& shift = {0.0, 0.0, 0.0}) {
    std::istringstream names(rootChannels);
    std::vector<std::string> channels;
    for (std::string name; names >> name;) {
        channels.push_back(name);
    }
    std::ostringstream bvh;
    bvh << "HIERARCHY\nROOT Hips\n{\n\tOFFSET " << rootOffset << "\n\tCHANNELS " << channels.size()
        << " " << rootChannels << "\n"
        << "\tJOINT Spine\n\t{\n\t\tOFFSET 0 10 1\n\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
        << "\t\tJOINT Arm\n\t\t{\n\t\t\tOFFSET 5 2 0\n\t\t\tCHANNELS 3 Xrotation Yrotation "
           "Zrotation\n"
        << "\t\t\tEnd Site\n\t\t\t{\n\t\t\t\tOFFSET 0 -8 0\n\t\t\t}\n\t\t}\n\t}\n"
        << "\tJOINT Leg\n\t{\n\t\tOFFSET -3 -2 0\n\t\tCHANNELS 3 Xrotation Zrotation Yrotation\n"
        << "\t\tEnd Site\n\t\t{\n\t\t\tOFFSET 0 -12 0\n\t\t}\n\t}\n}\n";
    bvh << "MOTION\nFrames: " << frameCount << "\nFrame Time: 0.033333\n";
    for (int f = 0; f < frameCount; ++f) {
        const double s = f / 10.0;
        double rotation[3] = {20.0 * std::sin(s), 15.0 * std::cos(0.7 * s),
                              25.0 * std::sin(0.3 * s)};
        int r = 0;
        for (const std::string& c : channels) {
            if (c == "Xposition") {
                bvh << shift[0] + 2.0 * f << " ";
            } else if (c == "Yposition") {
                bvh << shift[1] + 30.0 + 2.0 * std::sin(s) << " ";
            } else if (c == "Zposition") {
                bvh << shift[2] + 20.0 * std::sin(f / 40.0) << " ";
            } else {
                bvh << rotation[r++ % 3] << " ";
            }
        }
        bvh << 10.0 * std::sin(s) << " " << 5.0 * s << " " << -7.0 << " " << 30.0 * std::cos(s)
            << " 12 " << 4.0 * s << " " << 40.0 * std::sin(s) << " 3 -5\n";
    }
    return bvh.str();
}

// The text with `joints` joints without channels hung below the joint named `parent` (after the
// line of its CHANNELS), spread over a small box `drop` below it: a rigid cloud.
inline std::string withFanBelow(const std::string& text, const std::string& parent, int joints,
                                double drop) {
    const std::size_t named = text.find("JOINT " + parent + "\n");
    const std::size_t channels = text.find("CHANNELS", named);
    const std::size_t after = text.find('\n', channels) + 1;
    std::ostringstream fan;
    for (int i = 0; i < joints; ++i) {
        fan << "JOINT J\n{\nOFFSET " << 0.1 * (i % 7) << " " << -drop - 0.1 * (i % 5) << " "
            << 0.1 * (i % 3) << "\nCHANNELS 0\n}\n";
    }
    return text.substr(0, after) + fan.str() + text.substr(after);
}

// A skeleton of `joints` joints fanned out below a root that walks and turns over `frames`
// frames: the fan without channels (one rigid cloud), or with three rotations per joint.
inline std::string wideFigure(int joints, int frames, bool turning) {
    std::ostringstream bvh;
    bvh << "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\n"
        << "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n";
    for (int i = 1; i < joints; ++i) {
        bvh << "JOINT J\n{\nOFFSET " << i % 9 << " " << i % 7 + 1 << " " << i % 5 << "\n"
            << (turning ? "CHANNELS 3 Zrotation Xrotation Yrotation\n" : "CHANNELS 0\n") << "}\n";
    }
    bvh << "}\nMOTION\nFrames: " << frames << "\nFrame Time: 0.01\n";
    for (int f = 0; f < frames; ++f) {
        bvh << 0.5 * f << " 90 " << 50.0 * std::sin(f * 0.01) << " " << f % 7 << " 0 " << f % 360;
        for (int i = 1; turning && i < joints; ++i) {
            bvh << " " << (i + f) % 19 - 9 << " 0 " << f % 5;
        }
        bvh << "\n";
    }
    return bvh.str();
}

// A figure hung below a static root, as some exporters write it: every joint has six channels,
// and the hips' OFFSET lies far from where its values put it (they carry the figure's travel).
// The first `kept` of the spine, neck, leg and shin have their OFFSETs as position values (give
// or take 0.001), the others small displacements. Frame 0 has no turn below the hips. With walks,
// the root walks a gentle curve and turns instead of standing still.
inline std::string sixChannelFigure(int kept, int frameCount = 60, bool walks = false) {
    struct Part {
        const char* name;
        int depth;
        double offset[3];
        double endSite;  // the y of an End Site below it, 0 for none
    };
    const Part parts[] = {{"Hips", 1, {5, 90, -400}, 0},
                          {"Spine", 2, {0, 20, 0}, 0},
                          {"Neck", 3, {0, 25, 0}, 10},
                          {"Leg", 2, {10, 0, 0}, 0},
                          {"Shin", 3, {0, -45, 0}, -40}};
    const char* six = "CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation";
    std::ostringstream bvh;
    bvh << "HIERARCHY\nROOT Root\n{\nOFFSET 0 0 0\n" << six << "\n";
    int depth = 1;
    for (const Part& part : parts) {
        for (; depth > part.depth; --depth) {
            bvh << "}\n";
        }
        bvh << "JOINT " << part.name << "\n{\nOFFSET " << part.offset[0] << " " << part.offset[1]
            << " " << part.offset[2] << "\n"
            << six << "\n";
        if (part.endSite != 0) {
            bvh << "End Site\n{\nOFFSET 0 " << part.endSite << " 0\n}\n";
        }
        depth = part.depth + 1;
    }
    for (; depth > 0; --depth) {
        bvh << "}\n";
    }
    bvh << "MOTION\nFrames: " << frameCount << "\nFrame Time: 0.033333\n";
    for (int f = 0; f < frameCount; ++f) {
        if (walks) {
            bvh << 2.0 * f << " 0 " << 20.0 * std::sin(f / 40.0) << " 0 0 "
                << 10.0 * std::sin(f / 30.0) << " ";
        } else {
            bvh << "0 0 0 0 0 0 ";
        }
        bvh << 0.5 * f << " " << 88.0 + std::sin(f / 5.0) << " 3 0 " << 4.0 * std::sin(f / 9.0)
            << " 0 ";
        for (int p = 1; p < 5; ++p) {
            const double noise = 0.001 * ((f + p) % 3 - 1);
            for (double o : parts[p].offset) {
                bvh << (p <= kept ? o : 0.0) + noise << " ";
            }
            bvh << 10.0 * p * std::sin(f / 7.0) << " 0 0 ";
        }
        bvh << "\n";
    }
    return bvh.str();
}

// Row-major 3x3 rotations in degrees, about axis 0 (x), 1 (y) or 2 (z).
using Rotation3 = std::array<std::array<double, 3>, 3>;

inline Rotation3 axisTurn(int axis, double degrees) {
    const double a = degrees * std::acos(-1.0) / 180.0;
    Rotation3 r{};
    const int i = (axis + 1) % 3;
    const int j = (axis + 2) % 3;
    r[static_cast<std::size_t>(axis)][static_cast<std::size_t>(axis)] = 1.0;
    r[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] = std::cos(a);
    r[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = -std::sin(a);
    r[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] = std::sin(a);
    r[static_cast<std::size_t>(j)][static_cast<std::size_t>(j)] = std::cos(a);
    return r;
}

inline Rotation3 times(const Rotation3& a, const Rotation3& b) {
    Rotation3 m{};
    for (std::size_t r = 0; r < 3; ++r) {
        for (std::size_t c = 0; c < 3; ++c) {
            for (std::size_t k = 0; k < 3; ++k) {
                m[r][c] += a[r][k] * b[k][c];
            }
        }
    }
    return m;
}

// Angles (a, b, c) with m = R(axes[0], a) * R(axes[1], b) * R(axes[2], c), three different axes.
inline std::array<double, 3> anglesOf(const Rotation3& m, const std::array<int, 3>& axes) {
    const std::size_t i = static_cast<std::size_t>(axes[0]);
    const std::size_t j = static_cast<std::size_t>(axes[1]);
    const std::size_t k = static_cast<std::size_t>(axes[2]);
    const double e = (axes[1] - axes[0] + 3) % 3 == 1 ? 1.0 : -1.0;
    const double toDegrees = 180.0 / std::acos(-1.0);
    return {std::atan2(-e * m[j][k], m[k][k]) * toDegrees,
            std::asin(std::clamp(e * m[i][k], -1.0, 1.0)) * toDegrees,
            std::atan2(-e * m[i][j], m[i][i]) * toDegrees};
}

// The same motion in a Z-up file: the root's OFFSET, positions and orientation turned a quarter
// about x, so that the file's y becomes z (and its z, -y). The root's CHANNELS must begin with
// the three positions, followed by three rotations about different axes.
inline std::string turnedToZUp(const std::string& text) {
    std::istringstream in(text);
    std::ostringstream out;
    out << std::fixed << std::setprecision(6);
    std::string line;
    bool rootOffsetDone = false;
    bool framesStarted = false;
    std::array<int, 3> order{};
    const Rotation3 quarter = axisTurn(0, 90.0);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (!rootOffsetDone && first == "OFFSET") {
            double x, y, z;
            words >> x >> y >> z;
            out << "\tOFFSET " << x << " " << -z << " " << y << "\n";
            rootOffsetDone = true;
            continue;
        }
        if (first == "CHANNELS" && order == std::array<int, 3>{}) {
            std::string name;
            words >> name;  // the count
            for (int c = 0; c < 6 && words >> name; ++c) {
                if (c >= 3) {
                    order[static_cast<std::size_t>(c - 3)] = name[0] - 'X';
                }
            }
        }
        if (framesStarted && !first.empty()) {
            std::istringstream values(line);
            double v[6];
            for (double& x : v) {
                values >> x;
            }
            Rotation3 r = quarter;
            for (std::size_t n = 0; n < 3; ++n) {
                r = times(r, axisTurn(order[n], v[3 + n]));
            }
            const std::array<double, 3> angles = anglesOf(r, order);
            out << v[0] << " " << -v[2] << " " << v[1] << " " << angles[0] << " " << angles[1]
                << " " << angles[2];
            std::string rest;
            std::getline(values, rest);
            out << rest << "\n";
            continue;
        }
        framesStarted = framesStarted || first == "Frame";
        out << line << "\n";
    }
    return out.str();
}

}  // namespace fixtures
