#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "editing/root_placement.h"
#include "motion/frame_lanes.h"
#include "motion/motion.h"
#include "motion/pose.h"
#include "motion/progress.h"

namespace {

std::unique_ptr<Joint> joint(const std::string& name, float x, float y, float z,
                             std::vector<ChannelType> channels) {
    auto j = std::make_unique<Joint>(name);
    j->setOffset(x, y, z);
    j->setChannels(std::move(channels));
    return j;
}

Joint* attach(Joint& parent, std::unique_ptr<Joint> child) {
    Joint* added = child.get();
    child->setParent(&parent);
    parent.appendChild(std::move(child));
    return added;
}

// What the sweep treats apart: position channels below the root (after rotations in file
// order), a joint without channels that has children, a leaf with channels and an End Site.
std::unique_ptr<Joint> skeleton() {
    auto root = joint("Hips", 3.0f, 1.0f, -2.0f,
                      {Xposition, Yposition, Zposition, Zrotation, Xrotation, Yrotation});
    Joint* spine = attach(
        *root, joint("Spine", 0.0f, 10.0f, 1.0f, {Xrotation, Yrotation, Zrotation, Yposition}));
    Joint* still = attach(*spine, joint("Still", 1.0f, 2.0f, 0.0f, {}));
    Joint* hand = attach(*still, joint("Hand", 0.0f, 3.0f, 0.5f, {Zrotation, Xposition}));
    attach(*hand, joint("End Site", 0.0f, 2.0f, 0.0f, {}));
    attach(*root, joint("Leg", -3.0f, -2.0f, 0.0f, {Yrotation, Xrotation, Zrotation}));
    return root;
}

constexpr int kColumns = 6 + 4 + 2 + 3;

// Angles over several turns (every quadrant, the ties between quadrants at odd multiples of 45
// degrees, -0) and positions that wander; the root travels.
std::unique_ptr<FrameTable> frames(int count) {
    std::vector<float> values;
    std::uint32_t state = 7u;
    const float ties[] = {45.0f, -45.0f, 135.0f, -225.0f, -0.0f, 90.0f, 315.0f};
    for (int f = 0; f < count; ++f) {
        for (int c = 0; c < kColumns; ++c) {
            state = state * 1664525u + 1013904223u;
            const float wander =
                static_cast<float>(static_cast<int>(state >> 9) % 72000) / 100.0f - 360.0f;
            values.push_back(state % 11 == 0 ? ties[state % 7] : wander);
        }
        values[values.size() - kColumns] = 0.7f * f;
    }
    auto table = std::make_unique<FrameTable>(kColumns);
    table->set(count, 1.0f / 120.0f, std::move(values));
    return table;
}

// The sweep (in lanes of four frames, split between two threads from 2048 frames) measures what
// MeasureRaw at every frame measures, in every reading: bounds, frame-0 extents, root samples and
// the root-relative cache, bit for bit. 1, 7 and 2051 frames leave lanes unfilled at the ends
// of both halves.
TEST(MeasuringSweep, MeasuresWhatMeasureRawPosesInEveryReading) {
    const LoadOptions readings[] = {
        {UpAxis::Y, PositionChannels::OffsetPlusValue},
        {UpAxis::Z, PositionChannels::OffsetPlusValue},
        {UpAxis::Z, PositionChannels::ValueReplacesOffset},
    };
    for (int count : {1, 7, 2051}) {
        for (const LoadOptions& reading : readings) {
            Motion motion;
            ASSERT_TRUE(motion.prepare(skeleton(), frames(count), reading));
            const std::size_t joints = motion.joints().size();
            ASSERT_EQ(motion.rootRelativeXZ().size(), 2 * joints * count);
            Bounds all = resetBounds();
            Pose pose;
            for (int f = 0; f < count; ++f) {
                ASSERT_TRUE(poseFrame(motion, f, PosePass::MeasureRaw, nullptr, nullptr, pose));
                for (int k = 0; k < 6; k += 2) {
                    all[k] = std::max(all[k], pose.bounds[k]);
                    all[k + 1] = std::min(all[k + 1], pose.bounds[k + 1]);
                }
                if (f == 0) {
                    EXPECT_EQ(all[MaxY] - all[MinY], motion.height());
                    EXPECT_EQ(all[MaxX] - all[MinX], motion.width());
                    EXPECT_EQ(all[MaxZ] - all[MinZ], motion.depth());
                }
                const Transform& root = pose.transforms[0];
                ASSERT_EQ(root[12], motion.rootTrackX()[static_cast<std::size_t>(f)]) << f;
                ASSERT_EQ(root[14], motion.rootTrackZ()[static_cast<std::size_t>(f)]) << f;
                const float* relative = motion.rootRelativeXZ().data() + 2 * joints * f;
                for (std::size_t j = 0; j < joints; ++j) {
                    ASSERT_EQ(pose.transforms[j][12] - root[12], relative[2 * j]) << f << " " << j;
                    ASSERT_EQ(pose.transforms[j][14] - root[14], relative[2 * j + 1]) << f;
                }
            }
            EXPECT_EQ(all, motion.motionBounds()) << count;
        }
    }
}

// skeleton() with forty rays spread around its spine, one with a chain of three below it; with
// a still base, hung below a root without channels that forty wider posts hang from too.
std::unique_ptr<Joint> cloudySkeleton(bool stillBase) {
    auto hips = skeleton();
    const auto around = [](int i, float r, float y) {
        return joint("Ray", r * std::cos(2.4f * i), y, r * std::sin(2.4f * i), {});
    };
    for (int i = 0; i < 40; ++i) {
        Joint* ray = attach(*hips->firstChild(), around(i, 800.0f, 3.0f - 20.0f * i));
        for (int link = 0; i == 4 && link < 3; ++link) {
            ray = attach(*ray, joint("L", 100.0f - link, 200.0f * link - 200.0f, 300.0f, {}));
        }
    }
    if (!stillBase) {
        return hips;
    }
    auto base = joint("Base", 1.0f, 2.0f, 3.0f, {});
    attach(*base, std::move(hips));
    for (int i = 0; i < 40; ++i) {
        attach(*base, around(i, 2000.0f, 30.0f * i));
    }
    return base;
}

// What the sweep and the ground bounds measure of a rigid cloud through its anchor is what posing
// every joint measures, to float rounding, in both up axes, the cloud moving or still; the root
// they place is the pose's.
TEST(MeasuringSweep, RigidCloudsMeasureWhatPosingEveryJointDoes) {
    const auto grow = [](Bounds& into, const Bounds& by) {
        for (int k = 0; k < 6; k += 2) {
            into[k] = std::max(into[k], by[k]);
            into[k + 1] = std::min(into[k + 1], by[k + 1]);
        }
    };
    for (bool stillBase : {false, true}) {
        for (UpAxis up : {UpAxis::Y, UpAxis::Z}) {
            Motion motion;
            ASSERT_TRUE(motion.prepare(cloudySkeleton(stillBase), frames(40), {up, {}}));
            ASSERT_EQ(motion.rigidClouds().size(), stillBase ? 2u : 1u);
            RootPlacement placement{40.0, 0.0, 0.0, 0.0, 0.0, -6.0};
            Bounds all = resetBounds(), ground = all, posedGround = all;
            Pose pose;
            for (int f = 0; f < 40; ++f) {
                ASSERT_TRUE(poseFrame(motion, f, PosePass::MeasureRaw, nullptr, nullptr, pose));
                grow(all, pose.bounds);
                if (f == 0) {
                    EXPECT_NEAR(pose.bounds[MaxY] - pose.bounds[MinY], motion.height(), 1e-3);
                }
                placement.headingDegrees = 130.0 + 7.0 * f;
                float root[2];
                ASSERT_TRUE(growGroundBounds(motion, f, &placement, ground, root));
                poseFrame(motion, f, PosePass::MeasureEdited, &placement, nullptr, pose);
                grow(posedGround, pose.bounds);
                // The root on the ground is the pose's, to the bit, placed or not.
                EXPECT_EQ(root[0], pose.transforms[0][12]) << f;
                EXPECT_EQ(root[1], pose.transforms[0][14]) << f;
                const RootPlacement* const placements[] = {&placement, nullptr};
                for (const RootPlacement* placed : placements) {
                    poseFrame(motion, f, PosePass::MeasureEdited, placed, nullptr, pose);
                    float x = 0.0f, z = 0.0f;
                    ASSERT_TRUE(placedRootOnGround(motion, f, placed, x, z));
                    EXPECT_EQ(x, pose.transforms[0][12]) << f;
                    EXPECT_EQ(z, pose.transforms[0][14]) << f;
                }
            }
            float x = 0.0f, z = 0.0f;
            EXPECT_FALSE(placedRootOnGround(motion, 40, nullptr, x, z)) << "past the last frame";
            for (int k = 0; k < 6; ++k) {
                EXPECT_NEAR(all[k], motion.motionBounds()[k], 1e-3) << stillBase << " " << k;
                if (k != MaxY && k != MinY) {
                    EXPECT_NEAR(posedGround[k], ground[k], 1e-3) << stillBase << " " << k;
                }
            }
        }
    }
}

// The lanes take the scalar routine's reduction, quarter-turn choice and rounding: the ties
// between quarters (odd multiples of 45 degrees) and their neighbours, -0, and the angles that
// leave the series (huge, infinite, NaN) give the same bits.
TEST(MeasuringSweep, LaneSinesAndCosinesAreTheScalarOnesBitForBit) {
    std::vector<float> angles = {0.0f,
                                 -0.0f,
                                 1e9f,
                                 -1e9f,
                                 999999936.0f,
                                 3e9f,
                                 -1e30f,
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 std::nanf("")};
    for (int k = -2000; k <= 2000; ++k) {
        const float tie = 45.0f * static_cast<float>(k);
        angles.insert(angles.end(), {tie, std::nextafter(tie, -1e10f), std::nextafter(tie, 1e10f),
                                     0.37f * static_cast<float>(k)});
    }
    while (angles.size() % kFrameLanes != 0) {
        angles.push_back(1.0f);
    }
    auto bits = [](float v) {
        std::uint32_t b;
        std::memcpy(&b, &v, sizeof b);
        return std::isnan(v) ? 0x7fc00000u : b;
    };
    for (std::size_t i = 0; i < angles.size(); i += kFrameLanes) {
        Lanes degrees;
        std::memcpy(&degrees, &angles[i], sizeof degrees);
        Lanes s;
        Lanes c;
        rotationSinCosLanes(degrees, s, c);
        for (int lane = 0; lane < kFrameLanes; ++lane) {
            float expectedSine;
            float expectedCosine;
            rotationSinCos(degrees[lane], expectedSine, expectedCosine);
            EXPECT_EQ(bits(expectedSine), bits(s[lane])) << degrees[lane];
            EXPECT_EQ(bits(expectedCosine), bits(c[lane])) << degrees[lane];
        }
    }
}

// A cancel seen inside the sweep stops it there: the load fails as cancelled, having reported
// measuring progress but never the end of the measuring stage, and the motion is as it was.
TEST(MeasuringSweep, StopsPartWayWhenCancelled) {
    Motion motion;
    ASSERT_TRUE(motion.prepare(skeleton(), frames(7)));
    const Bounds before = motion.motionBounds();
    Progress progress;
    std::vector<double> reported;
    progress.setListener([&](double fraction) {
        reported.push_back(fraction);
        if (fraction > 0.1) {
            progress.cancel();
        }
    });
    const Result result = motion.prepare(skeleton(), frames(40000), LoadOptions(), &progress);
    EXPECT_FALSE(result);
    EXPECT_EQ(result.message, Progress::kCancelled);
    ASSERT_FALSE(reported.empty());
    EXPECT_GT(reported.back(), 0.1);
    EXPECT_LT(reported.back(), 0.95) << "the sweep should stop before its stage ends";
    EXPECT_EQ(motion.frameCount(), 7);
    EXPECT_EQ(motion.motionBounds(), before);
}

}  // namespace
