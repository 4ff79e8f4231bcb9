#pragma once

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

// A forward-kinematics reader written for the tests alone, from the file text and in double
// precision, so that what the program saves can be checked against what it drew without using
// any of its own reading or posing code.
namespace independent {

struct Joint {
    int parent = -1;
    std::array<double, 3> offset{};
    std::vector<int> channels;  // 0-2 x/y/z position, 3-5 x/y/z rotation, in file order
};

struct File {
    std::vector<Joint> joints;  // ROOT, JOINT and End Site blocks in file order
    std::vector<std::vector<double>> frames;
};

inline int channelCode(const std::string& name) {
    const char* names[] = {"Xposition", "Yposition", "Zposition",
                           "Xrotation", "Yrotation", "Zrotation"};
    for (int i = 0; i < 6; ++i) {
        if (name == names[i]) {
            return i;
        }
    }
    return -1;
}

// Reads well-formed text only (the program's own output and the test's inputs).
inline File parse(const std::string& text) {
    File file;
    std::istringstream in(text);
    std::vector<int> open;
    int channelTotal = 0;
    std::string word;
    while (in >> word && word != "MOTION") {
        if (word == "ROOT" || word == "JOINT" || word == "End") {
            in >> word;  // the name, or "Site"
            Joint joint;
            joint.parent = open.empty() ? -1 : open.back();
            file.joints.push_back(joint);
        } else if (word == "{") {
            open.push_back(static_cast<int>(file.joints.size()) - 1);
        } else if (word == "}") {
            open.pop_back();
        } else if (word == "OFFSET") {
            Joint& joint = file.joints.back();
            in >> joint.offset[0] >> joint.offset[1] >> joint.offset[2];
        } else if (word == "CHANNELS") {
            int count = 0;
            in >> count;
            for (int i = 0; i < count; ++i) {
                in >> word;
                file.joints.back().channels.push_back(channelCode(word));
            }
            channelTotal += count;
        }
    }
    int frames = 0;
    in >> word >> frames;        // Frames: N
    in >> word >> word >> word;  // Frame Time: t
    for (int f = 0; f < frames; ++f) {
        std::vector<double> row(static_cast<std::size_t>(channelTotal));
        for (double& v : row) {
            in >> v;
        }
        file.frames.push_back(row);
    }
    return file;
}

using Matrix = std::array<double, 16>;  // column-major, as the program's transforms

inline Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) {
                sum += a[k * 4 + r] * b[c * 4 + k];
            }
            m[c * 4 + r] = sum;
        }
    }
    return m;
}

inline Matrix identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

inline Matrix rotation(int axis, double degrees) {
    const double a = degrees * std::acos(-1.0) / 180.0;
    const double c = std::cos(a);
    const double s = std::sin(a);
    const int i = (axis + 1) % 3;
    const int j = (axis + 2) % 3;
    Matrix m = identity();
    m[i * 4 + i] = c;
    m[i * 4 + j] = s;
    m[j * 4 + i] = -s;
    m[j * 4 + j] = c;
    return m;
}

// World positions of every joint at a frame, in the file's axes. Position channels of joints
// below the root add to the OFFSET, or with replace take the OFFSET's place on their axes.
inline std::vector<std::array<double, 3>> positions(const File& file, int frame, bool replace) {
    std::vector<Matrix> world(file.joints.size());
    std::vector<std::array<double, 3>> out(file.joints.size());
    std::size_t column = 0;
    const std::vector<double>& row = file.frames[static_cast<std::size_t>(frame)];
    for (std::size_t j = 0; j < file.joints.size(); ++j) {
        const Joint& joint = file.joints[j];
        std::array<double, 3> t = joint.offset;
        Matrix turn = identity();
        for (int code : joint.channels) {
            if (code < 3 && replace && joint.parent >= 0) {
                t[static_cast<std::size_t>(code)] = 0.0;
            }
        }
        for (int code : joint.channels) {
            const double v = row[column++];
            if (code < 3) {
                t[static_cast<std::size_t>(code)] += v;
            } else {
                turn = multiply(turn, rotation(code - 3, v));
            }
        }
        Matrix local = turn;
        local[12] = t[0];
        local[13] = t[1];
        local[14] = t[2];
        world[j] = joint.parent < 0
                       ? local
                       : multiply(world[static_cast<std::size_t>(joint.parent)], local);
        out[j] = {world[j][12], world[j][13], world[j][14]};
    }
    return out;
}

}  // namespace independent
