#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>

#include "edit_fixtures.h"

namespace {

// A figure whose root follows ground(f) = (x, z) at a fixed height, its limbs swinging.
std::string figureAlong(int frameCount, const std::function<std::array<double, 2>(int)>& ground) {
    std::ostringstream bvh;
    bvh << "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\nCHANNELS 6 Xposition Yposition Zposition "
           "Zrotation Xrotation Yrotation\n"
           "JOINT Spine\n{\nOFFSET 0 40 0\nCHANNELS 3 Zrotation Xrotation Yrotation\n"
           "End Site\n{\nOFFSET 0 50 0\n}\n}\n"
           "JOINT Leg\n{\nOFFSET 10 0 0\nCHANNELS 3 Xrotation Zrotation Yrotation\n"
           "End Site\n{\nOFFSET 0 -90 0\n}\n}\n}\n"
        << "MOTION\nFrames: " << frameCount << "\nFrame Time: 0.033333\n"
        << std::fixed << std::setprecision(4);
    for (int f = 0; f < frameCount; ++f) {
        const std::array<double, 2> g = ground(f);
        bvh << g[0] << " 90 " << g[1] << " 0 " << 3.0 * std::sin(f / 6.0) << " "
            << 5.0 * std::sin(f / 11.0) << " 0 " << 10.0 * std::sin(f / 5.0) << " 0 "
            << 25.0 * std::sin(f / 5.0) << " 0 0\n";
    }
    return bvh.str();
}

// Rounding-sized noise, the same on every run.
double jitter(int f, int salt) {
    return 1e-4 * (((f * 7919 + salt * 104729) % 21) - 10);
}

// The turn the edit gives each frame: the angle about +y from the raw root's x axis to the
// edited one, in degrees.
std::vector<double> editTurns(const PathEdit& edit) {
    std::vector<double> turns;
    Pose raw;
    Pose edited;
    for (int f = 0; f < edit.motion().frameCount(); ++f) {
        edit.pose(f, PosePass::RecordRaw, raw);
        edit.pose(f, PosePass::RecordEdited, edited);
        const Transform& a = raw.transforms.front();
        const Transform& b = edited.transforms.front();
        turns.push_back(std::atan2(a[2] * b[0] - a[0] * b[2], a[0] * b[0] + a[2] * b[2]) * 180.0 /
                        std::acos(-1.0));
    }
    return turns;
}

double largestStep(const std::vector<double>& turns) {
    double step = 0.0;
    for (std::size_t f = 1; f < turns.size(); ++f) {
        double d = std::fabs(turns[f] - turns[f - 1]);
        step = std::max(step, std::min(d, 360.0 - d));
    }
    return step;
}

TEST(InPlaceEdit, AFigureThatStaysInPlaceIsMovedWithoutBeingTurned) {
    const std::string path =
        writeScratch("in_place.bvh", figureAlong(300, [](int f) {
                         return std::array<double, 2>{jitter(f, 1), jitter(f, 2)};
                     }));
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, path));
    fixtures::movePoint(*file, file->curve().pointCount() / 2, 60.0, -40.0);
    const std::vector<double> turns = editTurns(*file);
    for (std::size_t f = 0; f < turns.size(); ++f) {
        ASSERT_NEAR(turns[f], 0.0, 1e-3) << "frame " << f;
    }
    const fixtures::Positions raw = fixtures::posedAt(*file, 150, PosePass::RecordRaw);
    const fixtures::Positions edited = fixtures::posedAt(*file, 150, PosePass::RecordEdited);
    EXPECT_GT(fixtures::distance(raw[0], edited[0]), 30.0f) << "the edit still moves the figure";
}

TEST(InPlaceEdit, AWalkWithAPauseTurnsSmoothlyAroundTheEditedPause) {
    // Walks along x, stands still for frames 120 to 219, walks on.
    const auto ground = [](int f) {
        const double walked = 1.5 * (std::min(f, 120) + std::max(0, f - 220));
        return std::array<double, 2>{walked + jitter(f, 3), jitter(f, 4)};
    };
    const std::string path = writeScratch("pause.bvh", figureAlong(360, ground));
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, path));
    // Control point k + 1 sits at the middle of block k (frames 50k to 50k + 49): point 4 is at
    // frame 175, inside the pause; it and its walking neighbour are pulled sideways.
    fixtures::movePoint(*file, 4, 0.0, 40.0);
    fixtures::movePoint(*file, 2, 0.0, -20.0);
    const std::vector<double> turns = editTurns(*file);
    EXPECT_LE(largestStep(turns), 3.0);
    double largest = 0.0;
    for (double t : turns) {
        largest = std::max(largest, std::fabs(t));
    }
    EXPECT_GT(largest, 10.0) << "where the figure walks, the edit turns it";
    for (int f = 140; f < 200; ++f) {
        EXPECT_NEAR(turns[static_cast<std::size_t>(f)], 0.0, 1e-3)
            << "frame " << f << " stands still";
    }
}

}  // namespace
