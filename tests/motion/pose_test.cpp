#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "motion/bvh_reader.h"
#include "motion/frame_blend.h"
#include "motion/quaternion.h"
#include "motion/transform_ops.h"
#include "motion_fixtures.h"

namespace {

const char* const kFlatFigure =
    "HIERARCHY\nROOT r\n{\n OFFSET 0 0 0\n CHANNELS 3 Xposition Zposition Yrotation\n"
    " End Site\n {\n  OFFSET 4 0 2\n }\n}\nMOTION\nFrames: 3\nFrame Time: 0.1\n"
    "0 0 0\n1 0 10\n2 1 20\n";

using Matrix = std::array<std::array<double, 4>, 4>;  // row-major, for the expected values

Matrix identity() {
    Matrix m{};
    for (int i = 0; i < 4; ++i) {
        m[i][i] = 1.0;
    }
    return m;
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            for (int k = 0; k < 4; ++k) {
                m[r][c] += a[r][k] * b[k][c];
            }
        }
    }
    return m;
}

Matrix translation(double x, double y, double z) {
    Matrix m = identity();
    m[0][3] = x;
    m[1][3] = y;
    m[2][3] = z;
    return m;
}

Matrix rotation(int axis, double degrees) {
    const double r = degrees * M_PI / 180.0;
    const double c = std::cos(r);
    const double s = std::sin(r);
    Matrix m = identity();
    const int a = (axis + 1) % 3;
    const int b = (axis + 2) % 3;
    m[a][a] = c;
    m[a][b] = -s;
    m[b][a] = s;
    m[b][b] = c;
    return m;
}

std::unique_ptr<Joint> joint(const std::string& name, float x, float y, float z,
                             std::vector<ChannelType> channels) {
    auto j = std::make_unique<Joint>(name);
    j->setOffset(x, y, z);
    j->setChannels(std::move(channels));
    return j;
}

void attach(Joint& parent, std::unique_ptr<Joint> child) {
    child->setParent(&parent);
    parent.appendChild(std::move(child));
}

std::unique_ptr<FrameTable> table(int channels, std::vector<float> values) {
    auto t = std::make_unique<FrameTable>(channels);
    const int frames = static_cast<int>(values.size()) / channels;
    t->set(frames, 0.04f, std::move(values));
    return t;
}

// A root with the given channels and one child at offset (1, 2, 3), posed at one frame.
std::array<float, 3> childPosition(std::vector<ChannelType> channels, std::vector<float> values) {
    auto root = joint("root", 0.5f, 0.0f, -0.5f, std::move(channels));
    attach(*root, joint("End Site", 1.0f, 2.0f, 3.0f, {}));
    Motion motion;
    const int count = root->channelCount();
    motion.setSkeleton(std::move(root), table(count, std::move(values)));
    return fixtures::posedAt(motion, 0, PosePass::MeasureRaw).back();
}

TEST(PoseSkeleton, JointsAreListedInFileOrderWithParentsAndColumns) {
    auto root = joint("root", 0, 0, 0, {Xposition, Yposition, Zposition, Zrotation});
    auto spine = joint("spine", 0, 1, 0, {Xrotation, Yrotation});
    attach(*spine, joint("End Site", 0, 1, 0, {}));
    auto silent = joint("silent", 1, 0, 0, {});
    attach(*silent, joint("hand", 1, 0, 0, {Zrotation}));
    attach(*root, std::move(spine));
    attach(*root, std::move(silent));
    attach(*root, joint("leg", 0, -1, 0, {Yrotation, Xrotation, Zrotation}));
    Motion motion;
    motion.setSkeleton(std::move(root), table(10, std::vector<float>(20, 0.0f)));
    std::vector<std::string> names;
    for (const Joint* j : motion.joints()) {
        names.push_back(j->name());
    }
    EXPECT_EQ((std::vector<std::string>{"root", "spine", "End Site", "silent", "hand", "leg"}),
              names);
    EXPECT_EQ((std::vector<int>{-1, 0, 1, 0, 3, 0}), motion.parentIndex());
    EXPECT_EQ((std::vector<int>{0, 4, 6, 6, 6, 7}), motion.firstColumn());
    EXPECT_TRUE(motion.poseable());
    motion.setSkeleton(joint("other", 0, 0, 0, {Xrotation}), table(2, {1.0f, 2.0f}));
    EXPECT_FALSE(motion.poseable()) << "a table that does not match the channels is not posed";
    auto shortTable = std::make_unique<FrameTable>(1);
    shortTable->set(3, 0.04f, {1.0f});
    motion.setSkeleton(joint("other", 0, 0, 0, {Xrotation}), std::move(shortTable));
    EXPECT_FALSE(motion.poseable()) << "rows the table does not hold are not read";
}

TEST(PoseSkeleton, DeepAndWideSkeletonsArePosedWithoutRecursion) {
    const int count = 200000;
    auto root = joint("root", 0, 0, 0, {Xposition});
    Joint* tip = root.get();
    for (int i = 0; i < count; ++i) {
        auto next = joint("j", 0.0f, 1.0f, 0.0f, {});
        Joint* raw = next.get();
        attach(*tip, std::move(next));
        tip = raw;
    }
    Motion deep;
    deep.setSkeleton(std::move(root), table(1, {3.0f}));
    const fixtures::Positions chain = fixtures::posedAt(deep, 0, PosePass::RecordRaw);
    ASSERT_EQ(static_cast<std::size_t>(count + 1), chain.size());
    EXPECT_FLOAT_EQ(3.0f, chain.back()[0]);
    EXPECT_FLOAT_EQ(static_cast<float>(count), chain.back()[1]);

    auto hub = joint("hub", 0, 0, 0, {Yrotation});
    for (int i = 0; i < count; ++i) {
        attach(*hub, joint("leaf", 1.0f, static_cast<float>(i), 0.0f, {}));
    }
    Motion wide;
    wide.setSkeleton(std::move(hub), table(1, {90.0f}));
    const fixtures::Positions fan = fixtures::posedAt(wide, 0, PosePass::RecordRaw);
    ASSERT_EQ(static_cast<std::size_t>(count + 1), fan.size());
    EXPECT_NEAR(-1.0f, fan.back()[2], 1e-6f);  // (1, y, 0) turned 90 degrees about y
    EXPECT_EQ(count + 1, static_cast<int>(wide.parentIndex().size()));
    EXPECT_EQ(0, wide.parentIndex().back());
}

TEST(PoseKinematics, TranslationsPrecedeRotationsWhateverTheChannelOrder) {
    const std::array<float, 3> rotateFirst = childPosition({Zrotation, Xposition}, {90.0f, 5.0f});
    const std::array<float, 3> moveFirst = childPosition({Xposition, Zrotation}, {5.0f, 90.0f});
    // Root at offset + (5, 0, 0); the child's (1, 2, 3) turned 90 degrees about z is (-2, 1, 3).
    const std::array<float, 3> expected{0.5f + 5.0f - 2.0f, 1.0f, -0.5f + 3.0f};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(expected[k], rotateFirst[k], 1e-5f);
        EXPECT_NEAR(expected[k], moveFirst[k], 1e-5f);
    }
}

TEST(PoseKinematics, RotationsComposeInFileOrder) {
    const std::array<float, 3> posed =
        childPosition({Xposition, Yposition, Zposition, Zrotation, Xrotation, Yrotation},
                      {1.0f, 2.0f, 3.0f, 30.0f, 40.0f, 50.0f});
    Matrix m = multiply(translation(0.5, 0.0, -0.5), translation(1.0, 2.0, 3.0));
    m = multiply(m, rotation(2, 30.0));
    m = multiply(m, rotation(0, 40.0));
    m = multiply(m, rotation(1, 50.0));
    m = multiply(m, translation(1.0, 2.0, 3.0));
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(m[k][3], posed[k], 1e-5) << k;
    }
}

TEST(PosePasses, FlatFirstPoseKeepsTheUnitMarker) {
    // Every joint of frame 0 lies at y = 0: the pose has no height.
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(motion, writeScratch("flat.bvh", kFlatFigure)));
    EXPECT_EQ(0.0f, motion.height());
    EXPECT_FLOAT_EQ(1.0f, motion.markerRadius());
}

// The short series stays within float rounding of the exact values (3.3e-8, a little over
// half a float step near 1); a wrong coefficient or quadrant shows far above that.
TEST(PoseKinematics, AngleSinesAndCosinesMatchTheLibraryEverywhere) {
    std::vector<float> angles = {0.0f,   45.0f,   -45.0f,  90.0f, -90.0f, 135.0f, 180.0f, -180.0f,
                                 270.0f, -270.0f, 359.99f, 1e6f,  -3e8f,  2e9f,   -1e20f};
    for (float d = -1000.0f; d < 1000.0f; d += 0.37f) {
        angles.push_back(d);
    }
    for (float d : angles) {
        float s;
        float c;
        rotationSinCos(d, s, c);
        const double r = static_cast<double>(d) * M_PI / 180.0;
        EXPECT_NEAR(std::sin(r), s, 3.3e-8) << d;
        EXPECT_NEAR(std::cos(r), c, 3.3e-8) << d;
    }
    float s;
    float c;
    rotationSinCos(std::nanf(""), s, c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c));
}

}  // namespace

namespace {

// A moment between two frames: every joint's rotation the slerp of the two frames' own, given
// back in its channel order, and the whole pose between the frames' poses; share 0 is the frame.
TEST(PoseBetween, JointsTurnBySlerpAndTheRootMovesLinearly) {
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(
                     motion, writeScratch("between.bvh",
                                          fixtures::walkingFigure(
                                              "Xposition Yposition Zposition Zrotation Xrotation "
                                              "Yrotation",
                                              60))));
    const int f = 25;
    const float* a = motion.frames()->row(f);
    const float* b = motion.frames()->row(f + 1);
    std::vector<float> out(static_cast<std::size_t>(motion.frames()->channelCount()));
    RowBlender blender(motion);
    blender.setRows(a, b);
    blender.blend(0.3, out.data());
    const int spine = motion.firstColumn()[1];  // Zrotation Xrotation Yrotation
    const RotationOrder order = {2, 0, 1};
    const auto rotation = [&](const float* row) {
        return product(product(axisRotation(row[spine], 2), axisRotation(row[spine + 1], 0)),
                       axisRotation(row[spine + 2], 1));
    };
    EXPECT_TRUE(describes(slerp(rotation(a), rotation(b), 0.3), order,
                          {out[spine], out[spine + 1], out[spine + 2]}));
    EXPECT_NEAR(out[0], 0.7 * a[0] + 0.3 * b[0], 1e-4);

    Pose at;
    Pose frame;
    Pose between;
    ASSERT_TRUE(poseBetween(motion, f, 0.0, PosePass::MeasureRaw, nullptr, nullptr, nullptr, at));
    ASSERT_TRUE(poseFrame(motion, f, PosePass::MeasureRaw, nullptr, nullptr, frame));
    EXPECT_EQ(at.transforms, frame.transforms);
    ASSERT_TRUE(
        poseBetween(motion, f, 0.5, PosePass::MeasureRaw, nullptr, nullptr, nullptr, between));
    const fixtures::Positions first = fixtures::posedAt(motion, f, PosePass::MeasureRaw);
    const fixtures::Positions next = fixtures::posedAt(motion, f + 1, PosePass::MeasureRaw);
    for (std::size_t j = 0; j < first.size(); ++j) {
        for (std::size_t k = 0; k < 3; ++k) {
            const float lo = std::min(first[j][k], next[j][k]) - 0.05f;
            const float hi = std::max(first[j][k], next[j][k]) + 0.05f;
            EXPECT_GE(between.transforms[j][12 + k], lo) << j;
            EXPECT_LE(between.transforms[j][12 + k], hi) << j;
        }
    }
    EXPECT_FLOAT_EQ(between.transforms[0][12], 0.5f * (first[0][0] + next[0][0]));
    EXPECT_FALSE(
        poseBetween(motion, 60, 0.5, PosePass::MeasureRaw, nullptr, nullptr, nullptr, between));
}

}  // namespace
