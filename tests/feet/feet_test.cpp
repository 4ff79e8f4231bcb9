#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "../document/edit_fixtures.h"
#include "../test_files.h"
#include "document/path_bend.h"
#include "feet/foot_skate.h"
#include "feet/leg_solver.h"
#include "motion/load_motion.h"

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

// A kneeling leg (knee down in front, toes tucked under the ankle, nearly along the hip-ankle line)
// keeps its knee where it was when the hip moves a little; the toes' side does not pull it round.
TEST(TwoBoneKneeling, AWellBentKneeKeepsItsOwnSideAgainstTheToes) {
    const Vec3 knee{10.7, -17.9, 32.5};
    const TwoBoneTurns t = solveTwoBone({-1.5, 23.5, 10.4}, knee, {0.0, 0.0, 0.0}, {2.9, 0.0, 6.8},
                                        {1.2, -18.0, -5.8});
    const Vec3 now = t.kneeAt - t.ankleAt;
    EXPECT_TRUE(t.reached);
    EXPECT_LT(std::fabs(std::atan2(now[2], now[0]) - std::atan2(knee[2], knee[0])), 0.35);
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

// A knee captured a little past straight (behind the hip-ankle line) still bends forward, towards
// the toes, when the goal comes nearer.
TEST_F(TwoBone, AKneeLockedPastStraightBendsForward) {
    const Vec3 lockedKnee{0.0, -0.999, -0.045};
    const Vec3 lockedAnkle{0.0, -1.998, 0.0};
    const TwoBoneTurns t = solveTwoBone(hip, lockedKnee, lockedAnkle, {0.0, -1.7, 0.0}, forward);
    EXPECT_TRUE(t.reached);
    EXPECT_GT(t.kneeAt[2], 0.4);
    EXPECT_NEAR(t.kneeAt[0], 0.0, 1e-9);
}

// A leg swung out sideways at the hip keeps its knee pointing forward, where it pointed, rather
// than turned in towards the swing.
TEST_F(TwoBone, ASidewaysSwingKeepsTheKneePointingForward) {
    for (double degrees : {20.0, 35.0, -35.0}) {
        const Mat3 swing = axisAngle({0.0, 0.0, 1.0}, degrees * M_PI / 180.0);
        const Vec3 goal = swing * Vec3{0.0, -1.5, 0.0};
        const TwoBoneTurns t = solveTwoBone(hip, knee, ankle, goal, forward);
        EXPECT_TRUE(t.reached);
        const Vec3 u = (1.0 / length(goal)) * goal;
        const Vec3 off = t.kneeAt - dot(t.kneeAt, u) * u;
        EXPECT_NEAR(off[0], 0.0, 1e-9) << degrees;
        EXPECT_NEAR(off[1], 0.0, 1e-9) << degrees;
        EXPECT_GT(off[2], 0.5) << degrees;
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
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, kSample));
    const Motion& motion = file.motion;
    PathEdit& edit = *file;
    ASSERT_TRUE(edit.findFeet());
    const auto table = sampleContacts();
    ASSERT_EQ(table.size(), 2u);
    ASSERT_EQ(edit.feet().size(), 2u);
    for (const Foot& foot : edit.feet()) {
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

// Thirty thousand joints hung below a toe, the lowest ends, which the search meets first, leave
// the feet and their contacts as they were, and the feet can be planted.
TEST(SampleFeet, AFanBelowAFootLeavesTheFeetAsTheyWere) {
    fixtures::EditedFile plain, fanned;
    const std::string fan = fixtures::withFanBelow(readWhole(kSample), "LeftToeBase", 30000, 2.0);
    ASSERT_EQ(1, fixtures::loadEdited(plain, kSample));
    ASSERT_EQ(1, fixtures::loadEdited(fanned, writeScratch("walk_fanned.bvh", fan)));
    ASSERT_TRUE(plain->findFeet());
    ASSERT_TRUE(fanned->setFeetPlanted(true));
    // Each foot as its leg's names and its contacts' frames.
    const auto feetOf = [](const fixtures::EditedFile& file) {
        std::string text;
        for (const Foot& foot : file.edit->feet()) {
            for (int j : {foot.leg.hip, foot.leg.knee, foot.leg.ankle, foot.leg.toe}) {
                text += nameOf(file.motion, j) + " ";
            }
            for (const Contact& c : foot.contacts) {
                text += std::to_string(c.first) + "-" + std::to_string(c.last) + " ";
            }
        }
        return text;
    };
    EXPECT_EQ(feetOf(plain), feetOf(fanned));
    // The fan is the lowest the feet reach: the floor the planted feet keep above is its lowest
    // point in the capture, as posing each of its joints finds it.
    double lowest = 1e300;
    Pose pose;
    for (int f = 0; f < fanned.motion.frameCount(); ++f) {
        ASSERT_TRUE(poseFrame(fanned.motion, f, PosePass::MeasureRaw, nullptr, nullptr, pose));
        for (const Foot& foot : fanned.edit->feet()) {
            for (int j : footJoints(fanned.motion, foot.leg)) {
                lowest = std::min(lowest, double{pose.transforms[static_cast<std::size_t>(j)][13]});
            }
        }
    }
    EXPECT_NEAR(lowest, fanned->planting().footFloor, 1e-5 * fixtures::motionSize(fanned.motion));
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
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, kSample));
    const Motion& motion = file.motion;
    PathEdit& edit = *file;
    Result r = edit.findFeet({"LeftFoot", "Nowhere"});
    EXPECT_EQ(r.message, "No joint is named Nowhere.");
    r = edit.findFeet({"Spine"});
    EXPECT_EQ(r.message, "Spine is not the ankle of a leg that can be turned.");
    EXPECT_TRUE(edit.feet().empty());
    ASSERT_TRUE(edit.findFeet({"RightFoot"}));
    ASSERT_EQ(edit.feet().size(), 1u);
    EXPECT_EQ(nameOf(motion, edit.feet().front().leg.knee), "RightLeg");
    // Two feet on one leg would undo each other's solve.
    for (const std::vector<std::string>& shared :
         {std::vector<std::string>{"LeftFoot", "LeftFoot"},
          std::vector<std::string>{"LeftFoot", "LeftToeBase"}}) {
        r = edit.findFeet(shared);
        EXPECT_FALSE(r) << shared[1];
        EXPECT_NE(r.message.find("shares joints"), std::string::npos) << r.message;
    }

    // The names as the command line and the window take them.
    std::vector<std::string> names;
    ASSERT_TRUE(ankleNames(" LeftFoot , RightFoot", names));
    EXPECT_EQ(names, (std::vector<std::string>{"LeftFoot", "RightFoot"}));
    ASSERT_TRUE(ankleNames("  ", names));
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(ankleNames("LeftFoot,,RightFoot", names));
}

// Legs that name joints the skeleton lacks find no contacts instead of reading past the pose.
TEST(FeetByName, LegsOfJointsThatDoNotExistFindNoContacts) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, kSample));
    const Motion& motion = file.motion;
    PathEdit& edit = *file;
    const int count = static_cast<int>(motion.joints().size());
    ASSERT_TRUE(edit.findFeet());
    LegChain leg = edit.feet().front().leg;
    EXPECT_EQ(findContacts(motion, {leg}).size(), 1u);
    for (const std::pair<int, int>& ankleToe :
         {std::pair<int, int>{count, -1}, {-2, -1}, {leg.ankle, count + 3}, {leg.ankle, -4}}) {
        leg.ankle = ankleToe.first;
        leg.toe = ankleToe.second;
        EXPECT_TRUE(findContacts(motion, {leg}).empty()) << leg.ankle << " " << leg.toe;
    }
}

TEST(FeetByName, AFigureWithoutLegsHasNoFeetToPlant) {
    const std::string path =
        writeScratch("no_legs.bvh",
                     "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0 0 0\n\tCHANNELS 6 Xposition Yposition "
                     "Zposition Zrotation Xrotation Yrotation\n\tEnd Site\n\t{\n\t\tOFFSET 0 "
                     "10 0\n\t}\n}\nMOTION\nFrames: 2\nFrame Time: 0.1\n0 0 0 0 0 0\n1 0 0 0 0 "
                     "0\n");
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, path));
    PathEdit& edit = *file;
    EXPECT_FALSE(edit.setFeetPlanted(true));
    EXPECT_FALSE(edit.feetPlanted());
    EXPECT_TRUE(edit.planting().empty());
}

// The sample bent sideways: the planted feet hold still where they stand, the legs adjust, and
// letting the feet go puts back the rigidly moved legs.
TEST(PlantedFeet, HoldTheSamplesFeetStillOnABentPath) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, kSample));
    const Motion& motion = file.motion;
    PathEdit& edit = *file;
    ASSERT_TRUE(edit.findFeet());
    std::vector<LegChain> legs;
    for (const Foot& foot : edit.feet()) {
        legs.push_back(foot.leg);
    }
    const SkateReference reference = skateReference(motion, legs);
    int pairs = 0;
    EXPECT_LT(footSkate(edit.edited(), reference, false, &pairs), 1e-4);
    EXPECT_GT(pairs, 400);
    // A bend whose neighbours follow within as far as the middle point moves (the sample's
    // track is 1100 cm long).
    ASSERT_TRUE(bendMiddleSideways(edit, 220.0f));
    const std::vector<fixtures::Positions> rigid = [&] {
        std::vector<fixtures::Positions> all;
        for (int f = 0; f < motion.frameCount(); ++f) {
            all.push_back(fixtures::posedAt(edit, f, PosePass::RecordEdited));
        }
        return all;
    }();
    const double sliding = footSkate(edit.edited(), reference, true);
    EXPECT_GT(sliding, 0.05);
    ASSERT_TRUE(edit.setFeetPlanted(true));
    // Each foot stands at one point, rising a little rather than sliding where the bend stretches
    // a step beyond the leg's reach.
    EXPECT_LT(footSkate(edit.edited(), reference, true), 0.002 * sliding);
    EXPECT_EQ(kneeFlips(edit.edited(), legs), 0);
    float lowest = 0.0f;
    for (float d : edit.planting().rootDrop) {
        lowest = std::max(lowest, d);
    }
    EXPECT_LE(lowest, 0.05f * motion.height());
    // Only the legs' own joints and what hangs from them move; the rest is as the edit put it.
    const auto planted = fixtures::posedAt(edit, 30, PosePass::RecordEdited);
    const float drop = edit.planting().rootDrop[30];
    const std::size_t spine = 1;
    EXPECT_NEAR(planted[spine][1], rigid[30][spine][1] - drop, 1e-3f);
    ASSERT_TRUE(edit.setFeetPlanted(false));
    for (int f : {0, 30, 150, 299}) {
        const auto free = fixtures::posedAt(edit, f, PosePass::RecordEdited);
        for (std::size_t j = 0; j < free.size(); ++j) {
            ASSERT_EQ(free[j], rigid[static_cast<std::size_t>(f)][j]) << "frame " << f;
        }
    }
}

std::vector<LegChain> legsOfFeet(const PathEdit& edit) {
    std::vector<LegChain> legs;
    for (const Foot& foot : edit.feet()) {
        legs.push_back(foot.leg);
    }
    return legs;
}

// The sample with its whole figure drifting along x at `speed` figure heights per second: its
// stance feet slide as a careless capture's do.
void loadDriftingSample(fixtures::EditedFile& file, double speed) {
    Motion sample;
    ASSERT_EQ(1, fixtures::loadQuietly(sample, kSample));
    const Joint& root = *sample.root();
    int column = -1;
    for (int i = 0; i < root.channelCount(); ++i) {
        column = root.channel(i) == Xposition ? i : column;
    }
    ASSERT_GE(column, 0);
    const FrameTable& source = *sample.frames();
    const double step = speed * sample.height() * source.frameTime();
    auto frames = std::make_unique<FrameTable>(source.channelCount());
    std::vector<float> values;
    for (int f = 0; f < source.frameCount(); ++f) {
        const float* row = source.row(f);
        values.insert(values.end(), row, row + source.channelCount());
        values[values.size() - static_cast<std::size_t>(source.channelCount() - column)] +=
            static_cast<float>(step * f);
    }
    frames->set(source.frameCount(), source.frameTime(), std::move(values));
    ASSERT_TRUE(file.motion.prepare(copySkeleton(root), std::move(frames)));
    file.edit = std::make_unique<PathEdit>(file.motion);
}

// A foot that slid in the capture stands at one ground point while it carries the weight: the
// hold takes the capture's own slide out, not only the edit's.
TEST(PlantedFeet, AFootThatSlidInTheCaptureStandsStill) {
    fixtures::EditedFile file;
    loadDriftingSample(file, 0.06);
    PathEdit& edit = *file;
    ASSERT_TRUE(edit.findFeet());
    ASSERT_EQ(edit.feet().size(), 2u);
    const SkateReference reference = skateReference(file.motion, legsOfFeet(edit));
    const double captured = footSkate(edit.edited(), reference, false);
    EXPECT_GT(captured, 0.04);
    ASSERT_TRUE(edit.setFeetPlanted(true));
    EXPECT_LT(footSkate(edit.edited(), reference, true), 0.1 * captured);
    EXPECT_EQ(kneeFlips(edit.edited(), legsOfFeet(edit)), 0);
}

// A bend that takes the hips further in a stance than the leg reaches: the foot stays under the
// heel while it is down and rises on its toes before it slides, so the planted walk slides
// little more than the capture did.
TEST(PlantedFeet, AFootTheHipsOutrunRisesOnItsToesBeforeItSlides) {
    SKIP_WITHOUT_CORPUS();
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, corpusFile("av_walk_xyz_offset.bvh")));
    PathEdit& edit = *file;
    ASSERT_TRUE(edit.findFeet());
    const SkateReference reference = skateReference(file.motion, legsOfFeet(edit));
    const double captured = footSkate(edit.edited(), reference, false);
    ASSERT_TRUE(bendMiddleSideways(edit, static_cast<float>(0.2 * trackLength(edit.path())), 0.2));
    ASSERT_TRUE(edit.setFeetPlanted(true));
    EXPECT_LT(footSkate(edit.edited(), reference, true), 1.2 * captured);
    EXPECT_EQ(kneeFootTwist(edit.edited(), legsOfFeet(edit)).backward, 0);
}

// No joint of a planted figure jumps: taking a foot up to its point and letting it go again
// moves it at most a little faster than the edit or the capture moves it.
void expectNoJump(const std::string& source) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, source)) << source;
    const Motion& motion = file.motion;
    PathEdit& edit = *file;
    ASSERT_TRUE(edit.findFeet()) << source;
    const auto track = [&](PosePass pass) {
        std::vector<fixtures::Positions> all;
        for (int f = 0; f < motion.frameCount(); ++f) {
            all.push_back(fixtures::posedAt(edit, f, pass));
        }
        return all;
    };
    const std::vector<fixtures::Positions> captured = track(PosePass::MeasureRaw);
    ASSERT_TRUE(bendMiddleSideways(edit, 30.0f * motion.markerRadius()));
    const std::vector<fixtures::Positions> rigid = track(PosePass::MeasureEdited);
    ASSERT_TRUE(edit.setFeetPlanted(true));
    const std::vector<fixtures::Positions> planted = track(PosePass::MeasureEdited);
    const double most = 2.5 * motion.height() * motion.frameTime();  // 2.5 heights a second
    for (std::size_t f = 0; f + 1 < planted.size(); ++f) {
        for (std::size_t j = 0; j < planted[f].size(); ++j) {
            const double own = std::max(fixtures::distance(rigid[f][j], rigid[f + 1][j]),
                                        fixtures::distance(captured[f][j], captured[f + 1][j]));
            ASSERT_LE(fixtures::distance(planted[f][j], planted[f + 1][j]), own + most)
                << source << " frame " << f << " joint " << j;
        }
    }
}

TEST(PlantedFeet, NoJointJumps) {
    expectNoJump(kSample);
    const std::filesystem::path corpus(BVHPATH_CORPUS_DIR);
    if (std::filesystem::is_directory(corpus)) {
        expectNoJump((corpus / "cmu_12_01_walk.bvh").string());
    }
}

// Solving again after a change of the path redoes only the contacts it reached, and gives
// exactly what solving afresh gives; so does putting the path back.
TEST(PlantedFeet, ReplantingAfterAChangeGivesWhatSolvingAfreshGives) {
    const auto moveNearStart = [](PathEdit& edit, double dx, double dz) {
        fixtures::movePoint(edit, 1, dx, dz);
    };
    const auto expectSame = [](const FootPlanting& a, const FootPlanting& b) {
        EXPECT_EQ(a.values, b.values);
        EXPECT_EQ(a.rootDrop, b.rootDrop);
        EXPECT_EQ(a.held, b.held);
        EXPECT_EQ(a.needs, b.needs);
        EXPECT_EQ(a.edits, b.edits);
    };
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, kSample));
    PathEdit& edit = *file;
    ASSERT_TRUE(bendMiddleSideways(edit, 220.0f));
    ASSERT_TRUE(edit.setFeetPlanted(true));
    const FootPlanting bent = edit.planting();
    moveNearStart(edit, 30.0, -25.0);
    fixtures::EditedFile afresh;
    ASSERT_EQ(1, fixtures::loadEdited(afresh, kSample));
    ASSERT_TRUE(bendMiddleSideways(*afresh, 220.0f));
    moveNearStart(*afresh, 30.0, -25.0);
    ASSERT_TRUE(afresh->setFeetPlanted(true));
    expectSame(edit.planting(), afresh->planting());
    // The change reached the first steps only: the last frames are solved as before.
    const std::size_t width = bent.columns.size();
    EXPECT_NE(bent.values, edit.planting().values);
    EXPECT_TRUE(std::equal(bent.values.end() - 60 * static_cast<std::ptrdiff_t>(width),
                           bent.values.end(), edit.planting().values.end() - 60 * width));
    moveNearStart(edit, -30.0, 25.0);
    expectSame(edit.planting(), bent);
}

// The yaw (degrees, about the vertical) of a vector's ground part.
double yawOf(double x, double z) {
    return std::atan2(z, x) * 180.0 / M_PI;
}

double turnBetween(double from, double to) {
    return std::remainder(to - from, 360.0);
}

// A bend planted: while a foot stands, it points where the edit turns the figure at the middle
// of its contact, tilted as captured or with its heel higher; its knee keeps the side it had to it,
// and with the root lowered no foot, held or swinging, goes below the capture's lowest.
void expectLegsTurnWithThePath(const std::string& source, double share) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, source)) << source;
    PathEdit& edit = *file;
    ASSERT_TRUE(edit.findFeet()) << source;
    ASSERT_TRUE(
        bendMiddleSideways(edit, static_cast<float>(share * trackLength(edit.path())), share));
    ASSERT_TRUE(edit.setFeetPlanted(true));
    const std::vector<LegChain> legs = legsOfFeet(edit);
    const KneeFootTwist twist = kneeFootTwist(edit.edited(), legs);
    EXPECT_GT(twist.measured, file.motion.frameCount()) << source;
    EXPECT_LT(twist.most, 30.0) << source << " frame " << twist.worstFrame;
    EXPECT_EQ(twist.backward, 0) << source;
    EXPECT_GT(*std::max_element(edit.planting().rootDrop.begin(), edit.planting().rootDrop.end()),
              0.02f * file.motion.height())
        << source;
    EXPECT_LT(footBelowGround(edit.edited(), legs), 1e-5) << source;
    Pose raw;
    Pose edited;
    const auto headingAt = [&](int f) {
        edit.pose(f, PosePass::MeasureRaw, raw);
        edit.pose(f, PosePass::MeasureEdited, edited);
        const Transform& a = raw.transforms[0];
        const Transform& b = edited.transforms[0];
        return turnBetween(yawOf(a[0], a[2]), yawOf(b[0], b[2]));
    };
    for (const Foot& foot : edit.feet()) {
        for (const Contact& c : foot.contacts) {
            const double heading = headingAt((c.first + c.last) / 2);
            for (int f = c.first; f <= c.last; ++f) {
                const auto before = fixtures::posedAt(edit, f, PosePass::MeasureRaw);
                const auto after = fixtures::posedAt(edit, f, PosePass::MeasureEdited);
                const std::size_t ankle = static_cast<std::size_t>(foot.leg.ankle);
                const std::size_t toe = static_cast<std::size_t>(foot.leg.toe);
                const auto toes = [&](const fixtures::Positions& p, int axis) {
                    return static_cast<double>(p[toe][axis] - p[ankle][axis]);
                };
                EXPECT_NEAR(turnBetween(yawOf(toes(before, 0), toes(before, 2)),
                                        yawOf(toes(after, 0), toes(after, 2))),
                            heading, 0.1)
                    << source << " frame " << f;
                // Where the hips outrun the leg the heel rises further, about the toes.
                EXPECT_LE(toes(after, 1), toes(before, 1) + 1e-3 * file.motion.height())
                    << source << " frame " << f;
            }
        }
    }
}

TEST(PlantedFeet, LegsTurnWithThePathAndFeetStayAboveTheGround) {
    expectLegsTurnWithThePath(kSample, 1.0 / 3.0);
    const std::filesystem::path corpus(BVHPATH_CORPUS_DIR);
    if (std::filesystem::is_directory(corpus)) {
        expectLegsTurnWithThePath((corpus / "cmu_12_01_walk.bvh").string(), 0.2);
    }
}

// What is drawn with planted feet is what is saved: every joint of every frame, reloaded,
// stands where the edited pose drew it; and the saved legs still stand still.
void expectPlantedSaveMatchesDrawn(const std::string& source, const std::string& tag,
                                   float falloffInMarkers) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, source)) << source;
    const Motion& motion = file.motion;
    PathEdit& edit = *file;
    ASSERT_TRUE(edit.findFeet()) << source;
    ASSERT_TRUE(bendMiddleSideways(edit, falloffInMarkers * motion.markerRadius()));
    ASSERT_TRUE(edit.setFeetPlanted(true));
    ASSERT_FALSE(edit.planting().empty());
    fixtures::expectSavedIsDrawn(edit, testing::TempDir() + "planted_" + tag + ".bvh");
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
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, kSample));
    const Motion& motion = file.motion;
    PathEdit& edit = *file;
    ASSERT_TRUE(bendMiddleSideways(edit, 0.0f));
    ASSERT_TRUE(edit.setFeetPlanted(true));
    ASSERT_TRUE(edit.setFeetPlanted(false));
    const std::string saved = testing::TempDir() + "free_feet.bvh";
    ASSERT_EQ(1, fixtures::saveEdited(edit, saved));
    Motion reloaded;
    ASSERT_EQ(1, fixtures::loadQuietly(reloaded, saved));
    for (int f = 0; f < motion.frameCount(); ++f) {
        for (int c = 6; c < motion.frames()->channelCount(); ++c) {
            ASSERT_NEAR(reloaded.frames()->value(f, c), motion.frames()->value(f, c), 5e-5)
                << "frame " << f << " column " << c;
        }
    }
}

// A Z-up figure standing in place with its arms held out along -y, lower in the file's y than
// its feet, knees and elbows bending over the frames.
std::string armsOutFigure() {
    std::string text =
        "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 90\n"
        "CHANNELS 6 Xposition Yposition Zposition Zrotation Yrotation Xrotation\n";
    const auto joint = [](const std::string& name, const std::string& offset) {
        return "JOINT " + name + "\n{\nOFFSET " + offset +
               "\nCHANNELS 3 Zrotation Yrotation Xrotation\n";
    };
    const auto end = [](const std::string& offset) {
        return "End Site\n{\nOFFSET " + offset + "\n}\n";
    };
    for (const char* side : {"Left", "Right"}) {
        const std::string x = side[0] == 'L' ? "10" : "-10";
        text += joint(side + std::string("UpLeg"), x + " 0 0") +
                joint(side + std::string("Leg"), "0 0 -42") +
                joint(side + std::string("Foot"), "0 0 -42") +
                joint(side + std::string("Toe"), "0 -12 -6") + end("0 -4 0") + "}\n}\n}\n}\n";
    }
    text += joint("Spine", "0 0 15") + joint("Chest", "0 0 30");
    for (const char* side : {"Left", "Right"}) {
        const std::string x = side[0] == 'L' ? "18" : "-18";
        text += joint(side + std::string("Arm"), x + " 0 5") +
                joint(side + std::string("ForeArm"), "0 -28 0") +
                joint(side + std::string("Hand"), "0 -26 0") + end("0 -8 0") + "}\n}\n}\n";
    }
    text += joint("Neck", "0 0 10") + joint("Head", "0 0 10") + end("0 0 12") + "}\n}\n}\n}\n}\n";
    text += "MOTION\nFrames: 8\nFrame Time: 0.1\n";
    for (int f = 0; f < 8; ++f) {
        const std::string leg = "0 0 0 0 0 " + std::to_string(5 * f) + " 0 0 0 0 0 0 ";
        const std::string arm = "0 0 0 0 0 " + std::to_string(-7 * f) + " 0 0 0 ";
        text += "0 0 0 0 0 0 " + leg + leg + "0 0 0 0 0 0 " + arm + arm + "0 0 0 0 0 0\n";
    }
    return text;
}

// The automatic feet are the legs hanging from the hips along the up axis, never the arms held
// out lower along the file's y; read on its side the figure has no such legs, and the planting
// is refused saying how to choose the feet.
TEST(FeetFound, AreTheLegsBelowTheHipsNotArmsLowerInTheFilesY) {
    const std::string path = writeScratch("arms_out.bvh", armsOutFigure());
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, path));
    ASSERT_EQ(file.motion.upAxis(), UpAxis::Z);
    const std::vector<LegChain> legs = findLegs(file.motion);
    ASSERT_EQ(legs.size(), 2u);
    EXPECT_EQ(nameOf(file.motion, legs[0].ankle), "LeftFoot");
    EXPECT_EQ(nameOf(file.motion, legs[1].ankle), "RightFoot");
    EXPECT_TRUE(file->setFeetPlanted(true));

    LoadOptions onItsSide;
    onItsSide.upAxis = UpAxis::Y;
    Motion sideways;
    ASSERT_TRUE(loadMotion(path, sideways, onItsSide));
    EXPECT_TRUE(findLegs(sideways).empty());
    PathEdit edit(sideways);
    const Result refused = edit.setFeetPlanted(true);
    EXPECT_EQ(refused.message,
              "No feet found: no two legs hang down from the hips. Choose them with Selection > "
              "Choose Feet (or --feet on the command line).");
    EXPECT_FALSE(edit.feetPlanted());
}

TEST(CorpusFeet, TheWalksLegsAreFoundWhateverTheirNames) {
    const std::filesystem::path corpus(BVHPATH_CORPUS_DIR);
    if (!std::filesystem::is_directory(corpus)) {
        GTEST_SKIP() << "corpus folder " << corpus << " is absent";
    }
    const std::pair<const char*, const char*> walks[] = {
        {"cmu_01_01_walk", "LeftFoot LeftLeg LeftUpLeg RightFoot RightLeg RightUpLeg"},
        {"makehuman_zombie_walk", "Foot_L LoLeg_L UpLeg_L Foot_R LoLeg_R UpLeg_R"},
        {"bandai_raise_hands_inplace", "Foot_L LowerLeg_L UpperLeg_L Foot_R LowerLeg_R UpperLeg_R"},
    };
    for (const auto& [walk, expected] : walks) {
        fixtures::EditedFile file;
        ASSERT_EQ(1, fixtures::loadEdited(file, (corpus / (std::string(walk) + ".bvh")).string()));
        const Motion& motion = file.motion;
        PathEdit& edit = *file;
        ASSERT_TRUE(edit.findFeet()) << walk;
        std::string found;
        for (const Foot& foot : edit.feet()) {
            for (int j : {foot.leg.ankle, foot.leg.knee, foot.leg.hip}) {
                found += (found.empty() ? "" : " ") + nameOf(motion, j);
            }
        }
        EXPECT_EQ(found, expected) << walk;
    }
}

}  // namespace
