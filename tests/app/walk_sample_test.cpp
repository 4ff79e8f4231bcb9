#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "motion/load_motion.h"
#include "motion/motion.h"

// The bundled sample that `make run` opens: a walking figure the project generates itself.
namespace {

const std::string sourceDir = BVHPATH_SOURCE_DIR;
const std::string samplePath = sourceDir + "/examples/walk_curve.bvh";

class WalkSample : public ::testing::Test {
  protected:
    void SetUp() override {
        motion = std::make_unique<Motion>();
        ASSERT_TRUE(loadMotion(samplePath, *motion));
    }
    // First frame column of the named joint.
    int column(const std::string& name) const {
        for (std::size_t i = 0; i < motion->joints().size(); ++i) {
            if (motion->joints()[i]->name() == name) {
                return motion->firstColumn()[i];
            }
        }
        ADD_FAILURE() << "no joint " << name;
        return 0;
    }
    float value(int frame, int col) const { return motion->frames()->value(frame, col); }
    std::unique_ptr<Motion> motion;
};

TEST_F(WalkSample, IsAHumanoidOfTwentyTwoJointsWalkingForTenSecondsAtThirtyFps) {
    int joints = 0;
    for (const Joint* j : motion->joints()) {
        joints += j->name() != "End Site";
    }
    EXPECT_EQ(joints, 22);
    EXPECT_EQ(motion->frameCount(), 300);
    EXPECT_NEAR(1.0f / motion->frameTime(), 30.0f, 0.01f);
    // Taller than wide, and feet near the ground: a standing figure in centimetres.
    EXPECT_GT(motion->height(), 150.0f);
    EXPECT_LT(motion->height(), 190.0f);
}

// The root walks at a steady pace along a curve and faces the way it goes.
TEST_F(WalkSample, RootFollowsACurveFacingAlongIt) {
    const int x = column("Hips"), z = x + 2, heading = x + 4;
    double turned = 0.0;
    for (int f = 0; f + 1 < motion->frameCount(); ++f) {
        const double dx = value(f + 1, x) - value(f, x), dz = value(f + 1, z) - value(f, z);
        const double speed = std::hypot(dx, dz) * 30.0;
        ASSERT_NEAR(speed, 110.0, 1.0) << "frame " << f;
        const double going = std::atan2(dx, dz) * 180.0 / M_PI;
        // The pelvis twists up to 5 degrees either way about the heading.
        EXPECT_NEAR(value(f, heading), going, 6.0) << "frame " << f;
        if (f > 0) {
            turned +=
                going - std::atan2(value(f, x) - value(f - 1, x), value(f, z) - value(f - 1, z)) *
                            180.0 / M_PI;
        }
    }
    EXPECT_GT(turned, 90.0);  // a real curve, turning one way
    EXPECT_LT(turned, 180.0);
}

// Legs swing against each other, and each arm swings against the leg on its own side.
TEST_F(WalkSample, LegsAlternateAndArmsCounterSwing) {
    const int xRot = 2;  // rotations are Z, Y, X
    const int leftHip = column("LeftUpLeg") + xRot, rightHip = column("RightUpLeg") + xRot;
    const int leftArm = column("LeftArm") + xRot, leftKnee = column("LeftLeg") + xRot;
    const int n = motion->frameCount();
    const auto mean = [&](int col) {
        double sum = 0.0;
        for (int f = 0; f < n; ++f) {
            sum += value(f, col);
        }
        return sum / n;
    };
    // The thighs lean forward on average, as the knees are bent: the swings are about that.
    const double leftMean = mean(leftHip), rightMean = mean(rightHip), armMean = mean(leftArm);
    double legs = 0.0, armLeg = 0.0, hipRange = 0.0;
    float kneeMin = 1e9f, kneeMax = -1e9f;
    for (int f = 0; f < n; ++f) {
        legs += (value(f, leftHip) - leftMean) * (value(f, rightHip) - rightMean);
        armLeg += (value(f, leftArm) - armMean) * (value(f, leftHip) - leftMean);
        hipRange = std::max(hipRange, std::fabs(value(f, leftHip) - leftMean));
        kneeMin = std::min(kneeMin, value(f, leftKnee));
        kneeMax = std::max(kneeMax, value(f, leftKnee));
    }
    EXPECT_LT(legs, 0.0);
    EXPECT_LT(armLeg, 0.0);
    EXPECT_GT(hipRange, 15.0);
    EXPECT_GT(kneeMax - kneeMin, 30.0);  // the knee bends in the swing
    EXPECT_GE(kneeMin, 0.0f);            // and never backwards
}

// What the generator writes with the given arguments.
std::string generated(const std::string& arguments) {
    const std::string command = "python3 " + sourceDir + "/tools/make_walk_sample.py" + arguments;
    FILE* pipe = popen(command.c_str(), "r");
    std::string generated;
    if (pipe == nullptr) {
        ADD_FAILURE() << command;
        return generated;
    }
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
        generated.append(buffer, n);
    }
    EXPECT_EQ(pclose(pipe), 0) << command;
    return generated;
}

std::string committed(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

// The committed files are exactly what the generator writes, so they can be regenerated.
TEST(WalkSampleGenerator, WritesTheCommittedFiles) {
    if (std::system("python3 -c '' 2>/dev/null") != 0) {
        GTEST_SKIP() << "python3 is not installed; the generator cannot run here";
    }
    EXPECT_TRUE(generated("") == committed(samplePath)) << "regenerate examples/walk_curve.bvh";
    EXPECT_TRUE(generated(" --contacts") ==
                committed(sourceDir + "/examples/walk_curve_contacts.txt"))
        << "regenerate examples/walk_curve_contacts.txt";
}

}  // namespace
