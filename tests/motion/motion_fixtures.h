#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "motion/motion.h"
#include "motion/pose.h"

// Helpers shared by the pose, load/save and edit/save tests.
namespace fixtures {

using Positions = std::vector<std::array<float, 3>>;  // one entry per joint, joints() order

inline std::string writeTemporary(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + name;
    std::ofstream out(path, std::ios::binary);
    out << text;
    return path;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// Loads; 1 or 0, with the console line the window would print for a failure through printed.
inline int loadQuietly(Motion& motion, const std::string& path, std::string* printed = nullptr) {
    const Result result = motion.load(path);
    if (printed != nullptr) {
        *printed = result ? std::string() : result.message + "\n";
    }
    return result ? 1 : 0;
}

inline int saveQuietly(const Motion& motion, const std::string& path) {
    return motion.save(path) ? 1 : 0;
}

// Every joint's world position at frame f, after one pass of the given kind.
inline Positions posedAt(const Motion& motion, int frame, PosePass pass) {
    Pose pose;
    poseFrame(motion, frame, pass, pose);
    Positions out;
    for (const Transform& m : pose.transforms) {
        out.push_back({m[12], m[13], m[14]});
    }
    return out;
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
// and an End Site, the root moving along a gentle curve and turning while every joint rotates.
inline std::string walkingFigure(const std::string& rootChannels, int frameCount,
                                 const std::string& rootOffset = "0 0 0") {
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
                bvh << 2.0 * f << " ";
            } else if (c == "Yposition") {
                bvh << 30.0 + 2.0 * std::sin(s) << " ";
            } else if (c == "Zposition") {
                bvh << 20.0 * std::sin(f / 40.0) << " ";
            } else {
                bvh << rotation[r++ % 3] << " ";
            }
        }
        bvh << 10.0 * std::sin(s) << " " << 5.0 * s << " " << -7.0 << " " << 30.0 * std::cos(s)
            << " 12 " << 4.0 * s << " " << 40.0 * std::sin(s) << " 3 -5\n";
    }
    return bvh.str();
}

}  // namespace fixtures
