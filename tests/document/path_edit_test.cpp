#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "document/path_bend.h"
#include "document/path_measures.h"
#include "edit_fixtures.h"
#include "motion/bake.h"

namespace {

TEST(PathEdit, AFlatFirstPoseDrawsThePathAtTenUnitMarkers) {
    const std::string flat =
        "HIERARCHY\nROOT r\n{\n OFFSET 0 0 0\n CHANNELS 3 Xposition Zposition Yrotation\n"
        " End Site\n {\n  OFFSET 4 0 2\n }\n}\nMOTION\nFrames: 3\nFrame Time: 0.1\n"
        "0 0 0\n1 0 10\n2 1 20\n";
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, writeScratch("flat.bvh", flat)));
    EXPECT_FLOAT_EQ(1.0f, file.motion.markerRadius());
    EXPECT_FLOAT_EQ(10.0f, file->path().height());
    EXPECT_FLOAT_EQ(10.0f, file->curve().height());
    EXPECT_EQ(3u, file->baseline().offsetX.size());
}

TEST(PathEdit, MeasuringIsUnliftedAndDrawingFollowsTheEditedRecord) {
    const std::string path = writeScratch(
        "passes.bvh", fixtures::walkingFigure(
                          "Xposition Yposition Zposition Zrotation Xrotation Yrotation", 150));
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, path));
    const Motion& motion = file.motion;
    const float lift = -motion.bound(MinY);
    ASSERT_GT(std::fabs(lift), 1.0f);
    CurvePoint p;
    file->curve().getPoint(1, p);
    file->select(1);
    file->moveSelected(p.x - 10.0, p.z + 30.0);
    file->refreshDuringDrag();
    const Bounds boundsBefore = file->bounds();

    const fixtures::Positions recorded = fixtures::posedAt(*file, 40, PosePass::RecordEdited);
    EXPECT_NE(recorded, fixtures::posedAt(*file, 40, PosePass::RecordRaw)) << "the edit moves it";
    for (PosePass draw : {PosePass::DrawPlain, PosePass::DrawFigure, PosePass::DrawStrobe}) {
        EXPECT_EQ(recorded, fixtures::posedAt(*file, 40, draw));
    }
    Pose pose;
    ASSERT_TRUE(file->pose(40, PosePass::MeasureEdited, pose));
    EXPECT_NEAR(recorded[0][1] - lift, pose.transforms[0][13], 1e-4f);
    EXPECT_EQ(boundsBefore, file->bounds()) << "posing only reads the edit";
    EXPECT_FALSE(file->pose(40, PosePass::DrawPath, pose));
    EXPECT_TRUE(pose.transforms.empty());
    EXPECT_FALSE(file->pose(motion.frameCount(), PosePass::RecordEdited, pose));
    EXPECT_FALSE(file->pose(-1, PosePass::RecordEdited, pose));
    EXPECT_TRUE(pose.transforms.empty()) << "a frame outside the table poses nothing";
}

TEST(PathEdit, RefreshedBoundsEqualMeasuringEveryEditedFrame) {
    const std::string path = writeScratch(
        "refresh.bvh",
        fixtures::walkingFigure("Xposition Yposition Zposition Xrotation Yrotation Zrotation", 300,
                                "4 0 -2"));
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, path));
    CurvePoint p;
    file->curve().getPoint(3, p);
    file->setFalloffRadius(150.0f);
    file->select(3);
    file->moveSelected(p.x + 40.0, p.z + 70.0);
    const Bounds loaded = file->bounds();

    file->refresh();
    const Bounds refreshed = file->bounds();
    EXPECT_EQ(loaded[MaxY], refreshed[MaxY]);
    EXPECT_EQ(loaded[MinY], refreshed[MinY]);
    EXPECT_GT(refreshed[MaxZ], loaded[MaxZ] + 1.0f) << "the edit should widen the bounds";

    // The plain definition: MeasureEdited at every frame, x and z only.
    Bounds expected = loaded;
    const Bounds fresh = resetBounds();
    for (int k : {MaxX, MinX, MaxZ, MinZ}) {
        expected[k] = fresh[k];
    }
    Pose pose;
    for (int f = 0; f < file.motion.frameCount(); ++f) {
        ASSERT_TRUE(file->pose(f, PosePass::MeasureEdited, pose));
        expected[MaxX] = std::max(expected[MaxX], pose.bounds[MaxX]);
        expected[MinX] = std::min(expected[MinX], pose.bounds[MinX]);
        expected[MaxZ] = std::max(expected[MaxZ], pose.bounds[MaxZ]);
        expected[MinZ] = std::min(expected[MinZ], pose.bounds[MinZ]);
    }
    const float tolerance = 1e-5f * fixtures::motionSize(file.motion);
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(expected[k], refreshed[k], tolerance) << k;
    }
    // Worked out afresh for the same points (not one change after another), and without the
    // load's root-relative cache (posing every joint instead), the edit places every frame alike
    // and gives the same bounds and path speeds (a second change, reaching other frames, first).
    file->select(5);
    file->curve().getPoint(5, p);
    file->moveSelected(p.x - 30.0, p.z + 20.0);
    file->refresh();
    const Bounds twice = file->bounds();
    file.motion.releaseBoundsCache();
    PathEdit afresh(file.motion);
    for (int k = 0; k < file->curve().pointCount(); ++k) {
        CurvePoint q;
        file->curve().getPoint(k, q);
        afresh.setPoint(k, q);
    }
    afresh.refresh();
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(twice[k], afresh.bounds()[k], tolerance) << k;
    }
    EXPECT_EQ(file->pathSpeed(), afresh.pathSpeed());
    for (int f = 0; f < file.motion.frameCount(); ++f) {
        const std::optional<RootPlacement> a = file->placement(f);
        const std::optional<RootPlacement> b = afresh.placement(f);
        ASSERT_EQ(a.has_value(), b.has_value()) << f;
        if (a) {
            EXPECT_EQ(a->pathX, b->pathX) << f;
            EXPECT_EQ(a->headingRadians, b->headingRadians) << f;
        }
    }
}

// Posing a few joints puts each where the whole pose puts it, in every pass and with planted
// legs; lists that break the rule (out of order, a parent missing, a joint that does not exist)
// pose nothing.
TEST(PathEdit, PosingSomeJointsPutsThemWhereTheWholePosePutsThem) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(
                     file, std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh"));
    ASSERT_TRUE(file->findFeet());
    const LegChain leg = file->feet().front().leg;
    fixtures::movePoint(*file, 2, 40.0, -30.0);
    ASSERT_TRUE(file->setFeetPlanted(true));
    const Motion& motion = file.motion;
    std::vector<int> chain;
    for (int j = leg.toe; j >= 0; j = motion.parentIndex()[static_cast<std::size_t>(j)]) {
        chain.insert(chain.begin(), j);
    }
    const EditedMotion edited = file->edited();
    Pose some;
    Pose whole;
    for (PosePass pass : {PosePass::MeasureRaw, PosePass::MeasureEdited, PosePass::RecordEdited}) {
        for (int f : {0, 37, 150}) {
            ASSERT_TRUE(edited.poseSome(f, pass, chain, some));
            ASSERT_TRUE(edited.pose(f, pass, whole));
            for (int j : chain) {
                EXPECT_EQ(some.transforms[static_cast<std::size_t>(j)],
                          whole.transforms[static_cast<std::size_t>(j)])
                    << "pass " << static_cast<int>(pass) << " frame " << f << " joint " << j;
            }
        }
    }
    const std::vector<int> unordered{0, leg.knee, leg.hip};
    const std::vector<int> orphan{0, leg.knee};
    const std::vector<int> absent{0, static_cast<int>(motion.joints().size())};
    for (const std::vector<int>& bad : {unordered, orphan, absent}) {
        EXPECT_FALSE(edited.poseSome(5, PosePass::MeasureEdited, bad, some));
    }
    EXPECT_FALSE(edited.poseSome(motion.frameCount(), PosePass::MeasureRaw, chain, some));
}

}  // namespace

namespace {

// A root OFFSET, on any axis, never changes where an edit puts the figure: a motion and its twin
// with the OFFSET folded into the root's position channels edit to the same world positions of
// every joint on every frame, whichever point moves, with and without falloff, Y-up and Z-up.
TEST(PathEditPlacement, ARootOffsetChangesNothingAnEditDoes) {
    const char* root = "Xposition Yposition Zposition Zrotation Xrotation Yrotation";
    for (bool zUp : {false, true}) {
        std::string withOffset = fixtures::walkingFigure(root, 200, "11.25 35.5 -54.25");
        std::string folded = fixtures::walkingFigure(root, 200, "0 0 0", {11.25, 35.5, -54.25});
        if (zUp) {
            withOffset = fixtures::turnedToZUp(withOffset);
            folded = fixtures::turnedToZUp(folded);
        }
        fixtures::EditedFile a;
        fixtures::EditedFile b;
        ASSERT_EQ(1, fixtures::loadEdited(a, writeScratch("offset.bvh", withOffset)));
        ASSERT_EQ(1, fixtures::loadEdited(b, writeScratch("folded.bvh", folded)));
        const float size = fixtures::motionSize(a.motion);
        for (float falloff : {0.0f, 30.0f * a.motion.markerRadius()}) {
            for (int k = 0; k < a->curve().pointCount(); ++k) {
                PathEdit movedA(a.motion);
                PathEdit movedB(b.motion);
                fixtures::movePoint(movedA, k, 0.3 * size, -0.2 * size, falloff);
                fixtures::movePoint(movedB, k, 0.3 * size, -0.2 * size, falloff);
                for (int f = 0; f < a.motion.frameCount(); ++f) {
                    const fixtures::Positions pa =
                        fixtures::posedAt(movedA, f, PosePass::MeasureEdited);
                    const fixtures::Positions pb =
                        fixtures::posedAt(movedB, f, PosePass::MeasureEdited);
                    for (std::size_t j = 0; j < pa.size(); ++j) {
                        ASSERT_LE(fixtures::distance(pa[j], pb[j]), 1e-4f * size)
                            << (zUp ? "z-up" : "y-up") << " point " << k << " frame " << f
                            << " joint " << j;
                    }
                }
            }
        }
    }
}

// A U-turn and a loop, each made in one edit, turn the figure at most 360 degrees a second, and
// it goes on facing where it walks; a path turned whole turns every frame by as much, its ends
// included, where the figure slows to a stop.
TEST(PathEditPlacement, TheFigureFacesWhereItWalksWhateverThePath) {
    std::vector<std::string> walks{std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh"};
    if (!corpusFiles().empty()) {
        walks.push_back(corpusFile("cmu_12_01_walk.bvh"));
    }
    for (const std::string& walk : walks) {
        fixtures::EditedFile file;
        ASSERT_EQ(1, fixtures::loadEdited(file, walk));
        for (bool (*make)(PathEdit&) : {makeUTurn, makeLoop}) {
            PathEdit edit(file.motion);
            ASSERT_TRUE(make(edit));
            EXPECT_LE(headingRateMax(edit), 360.0 + 1e-6) << walk;
            EXPECT_LT(facingChangeMax(edit), 45.0) << walk;
        }
        PathEdit turned(file.motion);
        CurvePoint pivot;
        turned.curve().getPoint(0, pivot);
        for (int k = 0; k < turned.curve().pointCount(); ++k) {
            CurvePoint p;
            turned.curve().getPoint(k, p);
            // A quarter turn from +x towards +z: -90 degrees about +y.
            turned.setPoint(k, {pivot.x - (p.z - pivot.z), pivot.z + (p.x - pivot.x)});
        }
        turned.refresh();
        const int n = file.motion.frameCount();
        for (int f = n - 50; f < n; ++f) {
            const std::optional<RootPlacement> placed = turned.placement(f);
            ASSERT_TRUE(placed);
            EXPECT_NEAR(placed->headingDegrees, -90.0, 1.0) << walk << " frame " << f;
        }
    }
}

// A bend the length of its falloff radius, made as the window's drag makes it: the points on
// either side of the moved one follow it alike, where one move of the whole way left those after
// it behind (weighed against where it ends).
TEST(PathBend, BothSidesOfABentPointFollowIt) {
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(
                     file, std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh"));
    const ControlCurve& curve = file->curve();
    const int middle = curve.pointCount() / 2;
    std::vector<CurvePoint> before(static_cast<std::size_t>(curve.pointCount()));
    for (int k = 0; k < curve.pointCount(); ++k) {
        curve.getPoint(k, before[static_cast<std::size_t>(k)]);
    }
    const double share = 0.2;
    const double length = trackLength(file->path());
    ASSERT_TRUE(bendMiddleSideways(*file, static_cast<float>(share * length), share));
    const auto moved = [&](int k) {
        CurvePoint p;
        curve.getPoint(k, p);
        return std::hypot(p.x - before[static_cast<std::size_t>(k)].x,
                          p.z - before[static_cast<std::size_t>(k)].z);
    };
    EXPECT_NEAR(moved(middle), share * length, 1e-6 * length);
    EXPECT_GT(moved(middle + 1), 0.1 * moved(middle));
    EXPECT_NEAR(moved(middle + 1), moved(middle - 1), 0.15 * moved(middle - 1));
}

// Frames an edit does not reach are placed as the file places them, to the bit: an unedited save
// bakes the file's own root values even where the root's track jumps far, and so does an edited
// save for the frames before the edit.
TEST(PathEditPlacement, FramesTheEditDoesNotReachKeepTheFilesValues) {
    std::string text =
        fixtures::walkingFigure("Xposition Yposition Zposition Zrotation Xrotation Yrotation", 300);
    // The root's x jumps by ten thousand from frame 150 on.
    std::istringstream lines(text);
    std::ostringstream jumped;
    int frame = -1;
    for (std::string line; std::getline(lines, line);) {
        if (frame >= 150) {
            std::istringstream values(line);
            double x = 0.0;
            values >> x;
            line = std::to_string(x + 10000.0) + line.substr(line.find(' '));
        }
        frame += frame >= 0 || line.rfind("Frame Time", 0) == 0 ? 1 : 0;
        jumped << line << "\n";
    }
    fixtures::EditedFile file;
    ASSERT_EQ(1, fixtures::loadEdited(file, writeScratch("jump.bvh", jumped.str())));
    const auto expectOwnValues = [&](int frames, const char* what) {
        const std::unique_ptr<FrameTable> baked = bake(file->edited());
        ASSERT_TRUE(baked);
        for (int f = 0; f < frames; ++f) {
            for (int c = 0; c < 6; ++c) {
                ASSERT_EQ(baked->value(f, c), file.motion.frames()->value(f, c))
                    << what << " frame " << f << " column " << c;
            }
        }
    };
    expectOwnValues(300, "unedited");
    fixtures::movePoint(*file, file->curve().pointCount() - 1, 5.0, 5.0);
    expectOwnValues(200, "edited at the end");
}

}  // namespace
