#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "motion/foot_skate.h"
#include "motion/leg_solver.h"
#include "motion_fixtures.h"

namespace {

const std::string kSample = std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh";
const std::string kSampleContacts =
    std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve_contacts.txt";

double distance(const Vec3& a, const Vec3& b) {
    return length(a - b);
}

// The two-bone solve on legs whose answers are known: thigh and shin of length 1.
class TwoBone : public testing::Test {
  protected:
    const Vec3 hip{0.0, 0.0, 0.0};
    const Vec3 knee{0.0, -0.8, 0.6};  // bent forward (+z)
    const Vec3 ankle{0.0, -1.6, 0.0};
    const Vec3 forward{0.0, 0.0, 1.0};

    // The turns move the leg rigidly: the hip turn takes the knee where the solve says, and
    // the knee turn then takes the ankle there; bones keep their lengths.
    void expectRigid(const TwoBoneTurns& t) {
        EXPECT_NEAR(distance(t.kneeAt, hip + t.hip * (knee - hip)), 0.0, 1e-9);
        EXPECT_NEAR(distance(t.ankleAt, t.kneeAt + t.knee * (t.hip * (ankle - knee))), 0.0, 1e-9);
        EXPECT_NEAR(length(t.kneeAt - hip), 1.0, 1e-9);
        EXPECT_NEAR(length(t.ankleAt - t.kneeAt), 1.0, 1e-9);
    }
};

TEST_F(TwoBone, ReachesAGoalWithinReachWithTheKneeOnItsOwnSide) {
    const Vec3 goal{0.3, -1.4, 0.2};
    const TwoBoneTurns t = solveTwoBone(hip, knee, ankle, goal, forward);
    EXPECT_TRUE(t.reached);
    EXPECT_NEAR(distance(t.ankleAt, goal), 0.0, 1e-9);
    expectRigid(t);
    // The knee still points forward of the hip-ankle line, by the law of cosines' height.
    const Vec3 u = (1.0 / length(goal)) * goal;
    const Vec3 off = t.kneeAt - dot(t.kneeAt, u) * u;
    EXPECT_GT(off[2], 0.0);
    const double d = length(goal);
    EXPECT_NEAR(length(off), std::sqrt(1.0 - 0.25 * d * d), 1e-9);
}

TEST_F(TwoBone, AGoalExactlyAtReachStraightensTheLeg) {
    const Vec3 goal{0.0, -1.2, -1.6};  // length 2
    const TwoBoneTurns t = solveTwoBone(hip, knee, ankle, goal, forward);
    EXPECT_TRUE(t.reached);
    EXPECT_NEAR(distance(t.ankleAt, goal), 0.0, 1e-9);
    EXPECT_NEAR(distance(t.kneeAt, 0.5 * goal), 0.0, 1e-6);
    expectRigid(t);
}

TEST_F(TwoBone, AGoalOutOfReachStretchesTheLegTowardsIt) {
    const Vec3 goal{0.0, -3.0, 1.0};
    const TwoBoneTurns t = solveTwoBone(hip, knee, ankle, goal, forward);
    EXPECT_FALSE(t.reached);
    EXPECT_NEAR(distance(t.ankleAt, (2.0 / length(goal)) * goal), 0.0, 1e-9);
    expectRigid(t);
}

TEST_F(TwoBone, AStraightLegBendsTowardsTheHint) {
    const Vec3 straightKnee{0.0, -1.0, 0.0};
    const Vec3 straightAnkle{0.0, -2.0, 0.0};
    for (double side : {1.0, -1.0}) {
        const TwoBoneTurns t =
            solveTwoBone(hip, straightKnee, straightAnkle, {0.0, -1.6, 0.0}, Vec3{0.0, 0.0, side});
        EXPECT_TRUE(t.reached);
        EXPECT_NEAR(t.kneeAt[2], side * 0.6, 1e-9);
        EXPECT_NEAR(distance(t.ankleAt, {0.0, -1.6, 0.0}), 0.0, 1e-9);
    }
}

TEST_F(TwoBone, ADegenerateLegIsLeftAlone) {
    const TwoBoneTurns t = solveTwoBone(hip, hip, ankle, {0.0, -1.0, 0.0}, forward);
    EXPECT_FALSE(t.reached);
    EXPECT_EQ(t.ankleAt, ankle);
}

// A goal swept smoothly in and out of reach moves the knee smoothly: no step of the sweep turns
// the knee far or flips it to the other side.
TEST_F(TwoBone, ASmoothSweepGivesASmoothKnee) {
    Vec3 lastKnee = knee;
    const int steps = 2000;
    for (int i = 0; i <= steps; ++i) {
        const double s = static_cast<double>(i) / steps;
        const Vec3 goal{0.6 * std::sin(6.0 * s), -1.0 - 1.2 * s, 0.8 * std::sin(3.0 * s)};
        const TwoBoneTurns t = solveTwoBone(hip, knee, ankle, goal, forward);
        expectRigid(t);
        if (i > 0) {
            ASSERT_LT(distance(t.kneeAt, lastKnee), 0.05) << "step " << i;
        }
        EXPECT_GT(t.kneeAt[2], -1e-6) << "step " << i;
        lastKnee = t.kneeAt;
    }
}

// The committed table of when each of the sample's feet is down: ankle name -> contacts.
std::map<std::string, std::vector<Contact>> sampleContacts() {
    std::map<std::string, std::vector<Contact>> table;
    std::ifstream in(kSampleContacts);
    std::string name;
    Contact c;
    while (in >> name >> c.first >> c.last) {
        table[name].push_back(c);
    }
    return table;
}

std::string nameOf(const Motion& motion, int joint) {
    return motion.joints()[static_cast<std::size_t>(joint)]->name();
}

TEST(SampleFeet, FeetAndTheirContactsAreFoundWithinAFrameOrTwo) {
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(motion, kSample));
    ASSERT_TRUE(motion.findFeet());
    const auto table = sampleContacts();
    ASSERT_EQ(table.size(), 2u);
    ASSERT_EQ(motion.feet().size(), 2u);
    for (const Foot& foot : motion.feet()) {
        const std::string ankle = nameOf(motion, foot.leg.ankle);
        const std::string side = ankle.substr(0, ankle.size() - 4);
        EXPECT_EQ(nameOf(motion, foot.leg.knee), side + "Leg");
        EXPECT_EQ(nameOf(motion, foot.leg.hip), side + "UpLeg");
        EXPECT_EQ(nameOf(motion, foot.leg.toe), side + "ToeBase");
        ASSERT_EQ(table.count(ankle), 1u) << ankle;
        const std::vector<Contact>& truth = table.at(ankle);
        ASSERT_EQ(foot.contacts.size(), truth.size()) << ankle;
        for (std::size_t c = 0; c < truth.size(); ++c) {
            EXPECT_LE(std::abs(foot.contacts[c].first - truth[c].first), 2) << ankle << " " << c;
            EXPECT_LE(std::abs(foot.contacts[c].last - truth[c].last), 2) << ankle << " " << c;
        }
    }
}

// The sample's stance feet stand still: the ankle does not move while the table says it is
// down (the generator used to let them slide).
TEST(SampleFeet, StanceAnklesStandStill) {
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(motion, kSample));
    for (const auto& [ankle, contacts] : sampleContacts()) {
        int joint = -1;
        for (std::size_t j = 0; j < motion.joints().size(); ++j) {
            joint = motion.joints()[j]->name() == ankle ? static_cast<int>(j) : joint;
        }
        ASSERT_GE(joint, 0) << ankle;
        for (const Contact& c : contacts) {
            const auto first = fixtures::posedAt(motion, c.first, PosePass::RecordRaw);
            for (int f = c.first + 1; f <= c.last; ++f) {
                const auto now = fixtures::posedAt(motion, f, PosePass::RecordRaw);
                ASSERT_LT(fixtures::distance(first[joint], now[joint]), 0.01f)
                    << ankle << " frame " << f;
            }
        }
    }
}

TEST(FeetByName, NamesThatAreNoAnkleAreRefusedWithTheName) {
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(motion, kSample));
    Result r = motion.findFeet({"LeftFoot", "Nowhere"});
    EXPECT_EQ(r.message, "No joint is named Nowhere.");
    r = motion.findFeet({"Spine"});
    EXPECT_EQ(r.message, "Spine is not the ankle of a leg that can be turned.");
    EXPECT_TRUE(motion.feet().empty());
    ASSERT_TRUE(motion.findFeet({"RightFoot"}));
    ASSERT_EQ(motion.feet().size(), 1u);
    EXPECT_EQ(nameOf(motion, motion.feet().front().leg.knee), "RightLeg");
}

TEST(FeetByName, AFigureWithoutLegsHasNoFeetToPlant) {
    Motion motion;
    const std::string path = fixtures::writeTemporary(
        "no_legs.bvh",
        "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0 0 0\n\tCHANNELS 6 Xposition Yposition "
        "Zposition Zrotation Xrotation Yrotation\n\tEnd Site\n\t{\n\t\tOFFSET 0 "
        "10 0\n\t}\n}\nMOTION\nFrames: 2\nFrame Time: 0.1\n0 0 0 0 0 0\n1 0 0 0 0 "
        "0\n");
    ASSERT_EQ(1, fixtures::loadQuietly(motion, path));
    EXPECT_FALSE(motion.setFeetPlanted(true));
    EXPECT_FALSE(motion.feetPlanted());
    EXPECT_TRUE(motion.planting().empty());
}

// The sample bent sideways: the planted feet hold still where they stand, the legs adjust, and
// letting the feet go puts back the rigidly moved legs.
TEST(PlantedFeet, HoldTheSamplesFeetStillOnABentPath) {
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(motion, kSample));
    ASSERT_TRUE(motion.findFeet());
    std::vector<LegChain> legs;
    for (const Foot& foot : motion.feet()) {
        legs.push_back(foot.leg);
    }
    const SkateReference reference = skateReference(motion, legs);
    int pairs = 0;
    EXPECT_LT(footSkate(motion, reference, false, &pairs), 1e-4);
    EXPECT_GT(pairs, 400);
    // A bend whose neighbours follow within as far as the middle point moves (the sample's
    // track is 1100 cm long).
    ASSERT_TRUE(bendMiddleSideways(motion, 220.0f));
    const std::vector<fixtures::Positions> rigid = [&] {
        std::vector<fixtures::Positions> all;
        for (int f = 0; f < motion.frameCount(); ++f) {
            all.push_back(fixtures::posedAt(motion, f, PosePass::RecordEdited));
        }
        return all;
    }();
    const double sliding = footSkate(motion, reference, true);
    EXPECT_GT(sliding, 0.05);
    ASSERT_TRUE(motion.setFeetPlanted(true));
    EXPECT_LT(footSkate(motion, reference, true), 0.05 * sliding);
    EXPECT_EQ(kneeFlips(motion, legs), 0);
    float lowest = 0.0f;
    for (float d : motion.planting().rootDrop) {
        lowest = std::max(lowest, d);
    }
    EXPECT_LE(lowest, 0.05f * motion.height());
    // Only the legs' own joints and what hangs from them move; the rest is as the edit put it.
    const auto planted = fixtures::posedAt(motion, 30, PosePass::RecordEdited);
    const float drop = motion.planting().rootDrop[30];
    const std::size_t spine = 1;
    EXPECT_NEAR(planted[spine][1], rigid[30][spine][1] - drop, 1e-3f);
    ASSERT_TRUE(motion.setFeetPlanted(false));
    for (int f : {0, 30, 150, 299}) {
        const auto free = fixtures::posedAt(motion, f, PosePass::RecordEdited);
        for (std::size_t j = 0; j < free.size(); ++j) {
            ASSERT_EQ(free[j], rigid[static_cast<std::size_t>(f)][j]) << "frame " << f;
        }
    }
}

// What is drawn with planted feet is what is saved: every joint of every frame, reloaded,
// stands where the edited pose drew it; and the saved legs still stand still.
void expectPlantedSaveMatchesDrawn(const std::string& source, const std::string& tag,
                                   float falloffInMarkers) {
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(motion, source)) << source;
    ASSERT_TRUE(motion.findFeet()) << source;
    ASSERT_TRUE(bendMiddleSideways(motion, falloffInMarkers * motion.markerRadius()));
    ASSERT_TRUE(motion.setFeetPlanted(true));
    ASSERT_FALSE(motion.planting().empty());
    const std::string saved = testing::TempDir() + "planted_" + tag + ".bvh";
    ASSERT_EQ(1, fixtures::saveQuietly(motion, saved));
    Motion reloaded;
    ASSERT_EQ(1, fixtures::loadQuietly(reloaded, saved));
    ASSERT_EQ(reloaded.frameCount(), motion.frameCount());
    const float tolerance = 1e-3f * fixtures::motionSize(motion);
    // Unlifted: a lowered root can lower the motion's lowest point, and with it the lift the
    // reloaded file is drawn with.
    for (int f = 0; f < motion.frameCount(); ++f) {
        const auto drawn = fixtures::posedAt(motion, f, PosePass::MeasureEdited);
        const auto back = fixtures::posedAt(reloaded, f, PosePass::MeasureRaw);
        ASSERT_EQ(drawn.size(), back.size());
        for (std::size_t j = 0; j < drawn.size(); ++j) {
            ASSERT_LE(fixtures::distance(drawn[j], back[j]), tolerance)
                << source << " frame " << f << " joint " << j;
        }
    }
}

TEST(PlantedFeet, TheSampleSavesWhatIsDrawn) {
    expectPlantedSaveMatchesDrawn(kSample, "sample", 30.0f);
}

TEST(PlantedFeet, CorpusWalksSaveWhatIsDrawn) {
    const std::filesystem::path corpus(BVHPATH_CORPUS_DIR);
    if (!std::filesystem::is_directory(corpus)) {
        GTEST_SKIP() << "corpus folder " << corpus << " is absent";
    }
    // The Z-up walk lowers its root along the file's z.
    for (const char* walk : {"cmu_12_01_walk", "makehuman_zombie_walk", "cmu_01_01_walk"}) {
        expectPlantedSaveMatchesDrawn((corpus / (std::string(walk) + ".bvh")).string(), walk,
                                      30.0f);
    }
}

// Free feet change nothing but the root: every other column of an edited save is the file's.
TEST(PlantedFeet, FreeFeetLeaveEveryColumnButTheRootsAsRead) {
    Motion motion;
    ASSERT_EQ(1, fixtures::loadQuietly(motion, kSample));
    ASSERT_TRUE(bendMiddleSideways(motion, 0.0f));
    ASSERT_TRUE(motion.setFeetPlanted(true));
    ASSERT_TRUE(motion.setFeetPlanted(false));
    const std::string saved = testing::TempDir() + "free_feet.bvh";
    ASSERT_EQ(1, fixtures::saveQuietly(motion, saved));
    Motion reloaded;
    ASSERT_EQ(1, fixtures::loadQuietly(reloaded, saved));
    for (int f = 0; f < motion.frameCount(); ++f) {
        for (int c = 6; c < motion.frames()->channelCount(); ++c) {
            ASSERT_NEAR(reloaded.frames()->value(f, c), motion.frames()->value(f, c), 5e-5)
                << "frame " << f << " column " << c;
        }
    }
}

TEST(CorpusFeet, TheWalksLegsAreFoundWhateverTheirNames) {
    const std::filesystem::path corpus(BVHPATH_CORPUS_DIR);
    if (!std::filesystem::is_directory(corpus)) {
        GTEST_SKIP() << "corpus folder " << corpus << " is absent";
    }
    const std::pair<const char*, const char*> walks[] = {
        {"cmu_01_01_walk", "LeftFoot LeftLeg LeftUpLeg RightFoot RightLeg RightUpLeg"},
        {"makehuman_zombie_walk", "Foot_L LoLeg_L UpLeg_L Foot_R LoLeg_R UpLeg_R"},
    };
    for (const auto& [walk, expected] : walks) {
        Motion motion;
        ASSERT_EQ(1,
                  fixtures::loadQuietly(motion, (corpus / (std::string(walk) + ".bvh")).string()));
        ASSERT_TRUE(motion.findFeet()) << walk;
        std::string found;
        for (const Foot& foot : motion.feet()) {
            for (int j : {foot.leg.ankle, foot.leg.knee, foot.leg.hip}) {
                found += (found.empty() ? "" : " ") + nameOf(motion, j);
            }
        }
        EXPECT_EQ(found, expected) << walk;
    }
}

}  // namespace
