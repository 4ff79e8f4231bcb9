#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "../test_files.h"
#include "document/document.h"
#include "document/ground_point.h"
#include "motion/load_motion.h"
#include "motion/pose.h"

namespace {

// A figure walking `frames` frames along x with a sway in z: enough for a fitted path of
// several control points.
std::string walker(int frames) {
    std::ostringstream s;
    s << "HIERARCHY\nROOT Hips\n{\n OFFSET 0 0 0\n"
         " CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
         " JOINT Leg\n {\n  OFFSET 8 0 0\n  CHANNELS 3 Zrotation Xrotation Yrotation\n"
         "  End Site\n  {\n   OFFSET 0 -40 0\n  }\n }\n}\n";
    s << "MOTION\nFrames: " << frames << "\nFrame Time: 0.0333333\n";
    for (int i = 0; i < frames; ++i)
        s << 2.0 * i << " 40 " << 6.0 * std::sin(0.05 * i) << " 0 0 0 0 " << 20 * std::sin(0.2 * i)
          << " 0\n";
    return s.str();
}

// Every control point of the document's curve.
std::vector<std::pair<double, double>> points(const Document& d) {
    std::vector<std::pair<double, double>> out;
    const ControlCurve& c = d.edit()->curve();
    for (int i = 0; i < c.pointCount(); ++i) {
        CurvePoint p;
        c.getPoint(i, p);
        out.emplace_back(p.x, p.z);
    }
    return out;
}

// A vertical ray through ground point (x, z).
void dragVertically(Document& d, double x, double z) {
    const double h = d.edit()->path().height();
    d.dragTo({x, h + 10.0, z}, {x, h - 10.0, z});
}

// Drags control point i by (dx, dz) in two moves and commits.
void drag(Document& d, int i, double dx, double dz) {
    CurvePoint p;
    d.edit()->curve().getPoint(i, p);
    d.select(i);
    ASSERT_TRUE(d.beginDrag());
    dragVertically(d, p.x + dx / 2, p.z + dz / 2);
    dragVertically(d, p.x + dx, p.z + dz);
    d.commitDrag();
}

TEST(GroundPoint, UnderTheRayOrNothing) {
    double x = 7, z = 7;
    // From (0, 10, 0) down through (4, 0, -8): the plane y = 5 is met half way.
    ASSERT_TRUE(groundPoint({0, 10, 0}, {4, 0, -8}, 5.0, x, z));
    EXPECT_DOUBLE_EQ(x, 2.0);
    EXPECT_DOUBLE_EQ(z, -4.0);
    // Parallel to the plane, pointing away from it, or not finite: nothing, x and z untouched.
    x = z = 7;
    EXPECT_FALSE(groundPoint({0, 10, 0}, {4, 10, -8}, 5.0, x, z));
    EXPECT_FALSE(groundPoint({0, 10, 0}, {4, 20, -8}, 5.0, x, z));
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(groundPoint({0, 10, 0}, {inf, 0, 0}, 5.0, x, z));
    EXPECT_FALSE(groundPoint({0, 10, 0}, {1, 10 - 1e-300, 0}, -1e300, x, z));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(z, 7);
}

class DocumentEdit : public ::testing::Test {
  protected:
    void SetUp() override {
        path = writeScratch("document_walker.bvh", walker(400));
        ASSERT_TRUE(document.open(path));
        // The radii these tests set take effect.
        document.setFalloff(FalloffShape::Linear);
    }
    std::string path;
    Document document;
};

TEST_F(DocumentEdit, UndoAndRedoRestoreExactPointsAndBounds) {
    const auto loaded = points(document);
    const Bounds loadedBounds = document.edit()->bounds();
    EXPECT_FALSE(document.modified());
    EXPECT_FALSE(document.canUndo());

    document.setFalloffRadius(120.0f);
    drag(document, 3, 15.0, 60.0);
    const auto first = points(document);
    const Bounds firstBounds = document.edit()->bounds();
    int moved = 0;
    for (std::size_t i = 0; i < first.size(); ++i)
        moved += first[i] != loaded[i];
    EXPECT_GT(moved, 1) << "the falloff drags neighbours along";
    EXPECT_NE(firstBounds, loadedBounds);
    EXPECT_EQ(document.selected(), -1) << "a finished drag drops the selection";
    EXPECT_TRUE(document.modified());

    document.setFalloffRadius(0.0f);
    drag(document, 5, -20.0, 0.0);
    const auto second = points(document);
    EXPECT_EQ(document.historySize(), 2u);

    ASSERT_TRUE(document.undo());
    EXPECT_EQ(points(document), first);
    EXPECT_EQ(document.edit()->bounds(), firstBounds);
    ASSERT_TRUE(document.undo());
    EXPECT_EQ(points(document), loaded);
    EXPECT_EQ(document.edit()->bounds(), loadedBounds);
    EXPECT_FALSE(document.modified()) << "back at the loaded state";
    EXPECT_FALSE(document.undo());

    ASSERT_TRUE(document.redo());
    ASSERT_TRUE(document.redo());
    EXPECT_EQ(points(document), second);
    EXPECT_FALSE(document.redo());
    EXPECT_TRUE(document.modified());

    // A new drag after an undo drops the undone step.
    ASSERT_TRUE(document.undo());
    drag(document, 1, 0.0, 30.0);
    EXPECT_FALSE(document.canRedo());
    EXPECT_EQ(document.historySize(), 2u);
}

// On a long motion an edit's ground bounds and path speed are measured a step at a time after
// the change; once done they are those of the same edit measured at once, and so after an undo.
// A Keep Speed timing is never left for later.
TEST(DocumentMeasures, ALongMotionsMeasuresTakenInStepsAreThoseTakenAtOnce) {
    const std::string path = writeScratch("document_long_walker.bvh", walker(120000));
    Document document;
    ASSERT_TRUE(document.open(path));
    const Bounds loadedBounds = document.edit()->bounds();
    document.setFalloff(FalloffShape::Smooth);
    document.setFalloffRadius(1e6f);
    const int middle = document.edit()->curve().pointCount() / 2;
    drag(document, middle, 30.0, 400.0);
    const auto measureAll = [&document] {
        const unsigned long revision = document.revision();
        int steps = 0;
        while (document.measuresPending() && steps < 1000) {
            document.measureStep();
            ++steps;
        }
        EXPECT_FALSE(document.measuresPending());
        EXPECT_EQ(document.revision(), revision + 1) << "the end of the measures is drawn";
        return steps;
    };
    EXPECT_GT(measureAll(), 1) << "the edit reached every frame";

    Motion motion;
    ASSERT_TRUE(loadMotion(path, motion));
    PathEdit atOnce(motion);
    const std::vector<std::pair<double, double>> edited = points(document);
    for (std::size_t i = 0; i < edited.size(); ++i)
        atOnce.setPoint(static_cast<int>(i), {edited[i].first, edited[i].second});
    atOnce.refresh();
    EXPECT_EQ(document.edit()->bounds(), atOnce.bounds());
    EXPECT_NE(document.edit()->bounds(), loadedBounds);
    EXPECT_EQ(document.edit()->pathSpeed(), atOnce.pathSpeed());

    ASSERT_TRUE(document.undo());
    measureAll();
    EXPECT_EQ(document.edit()->bounds(), loadedBounds);

    // With Keep Speed the timing decides the frames shown: it is made with the change itself.
    ASSERT_TRUE(document.setKeepSpeed(true));
    atOnce.setKeepSpeed(true);
    drag(document, middle, 30.0, 400.0);
    EXPECT_TRUE(document.measuresPending()) << "the bounds are left";
    ASSERT_TRUE(document.edit()->timing() && atOnce.timing());
    EXPECT_EQ(*document.edit()->timing(), *atOnce.timing());
    EXPECT_EQ(document.edit()->pathSpeed(), atOnce.pathSpeed());
    measureAll();
    EXPECT_EQ(document.edit()->bounds(), atOnce.bounds());
    std::remove(path.c_str());
}

TEST_F(DocumentEdit, CancelledDragsAndDragsThatMoveNothingAreNoSteps) {
    const auto loaded = points(document);
    const Bounds bounds = document.edit()->bounds();
    document.setFalloffRadius(200.0f);
    document.select(4);
    ASSERT_TRUE(document.beginDrag());
    dragVertically(document, 500.0, 300.0);
    EXPECT_NE(points(document), loaded);
    document.cancelDrag();
    EXPECT_EQ(points(document), loaded);
    EXPECT_EQ(document.edit()->bounds(), bounds);
    EXPECT_FALSE(document.canUndo());
    EXPECT_FALSE(document.modified());

    // A ray that never meets the path's plane moves nothing; committing it records nothing.
    document.select(4);
    ASSERT_TRUE(document.beginDrag());
    const double h = document.edit()->path().height();
    EXPECT_FALSE(document.dragTo({0, h + 1, 0}, {10, h + 2, 0}));
    document.commitDrag();
    EXPECT_FALSE(document.canUndo());
    // Without a selection there is no drag at all.
    EXPECT_FALSE(document.beginDrag());
    document.select(1000);
    EXPECT_EQ(document.selected(), -1);
}

TEST_F(DocumentEdit, SavedStateMarkerFollowsSavesUndosAndLoads) {
    drag(document, 2, 10.0, 10.0);
    EXPECT_TRUE(document.modified());
    const std::string saved = testing::TempDir() + "document_saved.bvh";
    ASSERT_TRUE(document.save(saved));
    EXPECT_EQ(document.fileName(), saved);
    EXPECT_FALSE(document.modified());
    ASSERT_TRUE(document.undo());
    EXPECT_TRUE(document.modified()) << "the saved state had the drag";
    ASSERT_TRUE(document.redo());
    EXPECT_FALSE(document.modified());
    // A step that replaces the saved one can never lead back to it.
    ASSERT_TRUE(document.undo());
    drag(document, 2, 10.0, 10.0);
    EXPECT_TRUE(document.modified());

    // A load clears the history and counts as saved; a failed one changes nothing.
    const Motion* before = document.motion();
    const Result failed = document.open(writeScratch("document_broken.bvh", "HIERARCHY\nROOT"));
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.message.rfind("The Parser could not parse this: ", 0), 0u) << failed.message;
    EXPECT_EQ(document.motion(), before);
    EXPECT_TRUE(document.canUndo());
    ASSERT_TRUE(document.open(path));
    EXPECT_FALSE(document.canUndo());
    EXPECT_FALSE(document.canRedo());
    EXPECT_FALSE(document.modified());
    EXPECT_EQ(document.fileName(), path);

    // A failed save keeps the name and the marker.
    drag(document, 2, 10.0, 10.0);
    const Result refused = document.save(testing::TempDir() + "absent/folder/x.bvh");
    EXPECT_FALSE(refused);
    EXPECT_EQ(refused.message.rfind("Error in BVH file output: ", 0), 0u) << refused.message;
    EXPECT_EQ(document.fileName(), path);
    EXPECT_TRUE(document.modified());
}

TEST(DocumentEmpty, SaveWithoutAMotionSaysSo) {
    Document document;
    const Result result = document.save(testing::TempDir() + "never.bvh");
    EXPECT_FALSE(result);
    EXPECT_EQ(result.message, "No motion to save.");
    EXPECT_FALSE(document.modified());
    EXPECT_FALSE(document.beginDrag());
    EXPECT_FALSE(document.undo());
}

TEST_F(DocumentEdit, HistoryKeepsItsLimitAndStepsStoreOnlyMovedPoints) {
    document.setFalloffRadius(0.0f);
    for (std::size_t i = 0; i < Document::kHistoryLimit + 20; ++i)
        drag(document, 1 + static_cast<int>(i % 5), 1.0, 0.0);
    EXPECT_EQ(document.historySize(), Document::kHistoryLimit);
    // One point a step: a few dozen bytes each, whatever the motion's length.
    EXPECT_LT(document.historyBytes(), Document::kHistoryLimit * 200u);
    for (std::size_t i = 0; i < Document::kHistoryLimit; ++i)
        ASSERT_TRUE(document.undo());
    EXPECT_FALSE(document.undo());
    EXPECT_TRUE(document.modified()) << "the forgotten steps cannot be undone";
}

}  // namespace

namespace {

// A motion long enough that a load or save takes a while: 60,000 frames of the walker.
std::string longWalker() {
    static const std::string path = writeScratch("document_long_walker.bvh", walker(60000));
    return path;
}

TEST(DocumentJobs, BackgroundOpenAndSaveGiveWhatTheDirectOnesGive) {
    Document document;
    std::unique_ptr<BackgroundJob> job = document.startOpen(longWalker(), nullptr);
    ASSERT_NE(job, nullptr);
    EXPECT_TRUE(document.busy());
    EXPECT_EQ(document.startOpen(longWalker(), nullptr), nullptr) << "one job at a time";
    ASSERT_TRUE(document.finishOpen(*job));
    EXPECT_FALSE(document.busy());
    ASSERT_NE(document.motion(), nullptr);
    EXPECT_EQ(document.motion()->frameCount(), 60000);
    EXPECT_EQ(document.fileName(), longWalker());
    EXPECT_DOUBLE_EQ(job->progress().fraction(), 1.0);

    drag(document, 5, 20.0, 0.0);
    const std::string saved = testing::TempDir() + "document_background_saved.bvh";
    Result refused;
    job = document.startSave(saved, nullptr, refused);
    ASSERT_NE(job, nullptr) << refused.message;
    EXPECT_FALSE(document.undo()) << "no edit while the save runs";
    ASSERT_TRUE(document.finishSave(*job));
    EXPECT_FALSE(document.modified());
    EXPECT_EQ(document.fileName(), saved);
    Motion reread;
    ASSERT_TRUE(loadMotion(saved, reread));
    EXPECT_EQ(reread.frameCount(), 60000);
}

TEST(DocumentJobs, CancelledJobsLeaveTheMotionAndTheFileAsTheyWere) {
    Document document;
    const std::string small = writeScratch("document_small.bvh", walker(200));
    ASSERT_TRUE(document.open(small));
    const Motion* before = document.motion();
    std::unique_ptr<BackgroundJob> job = document.startOpen(longWalker(), nullptr);
    ASSERT_NE(job, nullptr);
    job->progress().cancel();
    const Result opened = document.finishOpen(*job);
    EXPECT_FALSE(opened);
    EXPECT_EQ(opened.message, Progress::kCancelled);
    EXPECT_EQ(document.motion(), before);
    EXPECT_EQ(document.fileName(), small);

    // A save cancelled part-way leaves the target's old text and no other file beside it.
    ASSERT_TRUE(document.open(longWalker()));
    drag(document, 5, 20.0, 0.0);
    const std::string target = testing::TempDir() + "document_cancelled_save.bvh";
    std::ofstream(target) << "old text";
    Result refused;
    job = document.startSave(target, nullptr, refused);
    ASSERT_NE(job, nullptr);
    job->progress().cancel();
    const Result saved = document.finishSave(*job);
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.message, Progress::kCancelled);
    std::ifstream in(target);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "old text");
    EXPECT_TRUE(document.modified());
    EXPECT_EQ(document.fileName(), longWalker());
    EXPECT_TRUE(document.undo()) << "the document takes edits again";

    // Given up at once, while the worker bakes the edit: it is waited for, not left reading it.
    ASSERT_TRUE(document.redo());
    for (int round = 0; round < 2; ++round) {
        job = round == 0 ? document.startSave(target, nullptr, refused)
                         : document.startExport(target, nullptr, refused);
        ASSERT_NE(job, nullptr) << refused.message;
        document.abandon(std::move(job));
        EXPECT_FALSE(document.busy());
        ASSERT_TRUE(document.undo());
        ASSERT_TRUE(document.redo());
    }
}

// A FIFO nobody writes to: the open waits on the worker until a cancel, and a job given up
// leaves the document free for the next.
TEST(DocumentJobs, AnOpenWaitingForAWriterEndsAtACancelOrIsGivenUp) {
    const std::string fifo = testing::TempDir() + "document_nobody.bvh";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Were the cancel missed, a writer coming later would end the wait with another message.
    std::thread([fifo] {
        sleep(10);
        close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    }).detach();
    Document document;
    std::unique_ptr<BackgroundJob> job = document.startOpen(fifo, nullptr);
    job->progress().cancel();
    EXPECT_EQ(document.finishOpen(*job).message, Progress::kCancelled);
    document.abandon(document.startOpen(fifo, nullptr));
    EXPECT_FALSE(document.busy());
    EXPECT_TRUE(document.open(writeScratch("document_after.bvh", walker(200))));
}

}  // namespace

namespace {

// The walker with the Leg's channels as its local translation ("value replaces offset").
std::string replacingWalker(int frames) {
    std::ostringstream s;
    s << "HIERARCHY\nROOT Hips\n{\n OFFSET 0 0 0\n"
         " CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
         " JOINT Leg\n {\n  OFFSET 8 0 0\n"
         "  CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
         "  End Site\n  {\n   OFFSET 0 -40 0\n  }\n }\n}\n";
    s << "MOTION\nFrames: " << frames << "\nFrame Time: 0.0333333\n";
    for (int i = 0; i < frames; ++i)
        s << 2.0 * i << " 40 " << 6.0 * std::sin(0.05 * i) << " 0 0 0 8 0 0 0 "
          << 20 * std::sin(0.2 * i) << " 0\n";
    return s.str();
}

// The Leg's x at frame 0, where no joint is turned: 8 read as its translation, 16 added to it.
float legX(const Document& d) {
    Pose pose;
    poseFrame(*d.motion(), 0, PosePass::MeasureRaw, nullptr, nullptr, pose);
    return pose.transforms[1][12];
}

}  // namespace

TEST(DocumentReading, OpenTakesTheReadingAndRereadReplacesIt) {
    const std::string path = writeScratch("doc_replacing.bvh", replacingWalker(200));
    Document d;
    EXPECT_FALSE(d.reread(LoadOptions()));
    ASSERT_TRUE(d.open(path));
    EXPECT_EQ(PositionChannels::ValueReplacesOffset, d.motion()->positionChannels());
    EXPECT_FLOAT_EQ(8.0f, legX(d));
    LoadOptions add;
    add.positionChannels = PositionChannels::OffsetPlusValue;
    ASSERT_TRUE(d.open(path, add));
    EXPECT_FLOAT_EQ(16.0f, legX(d));
    // The load on a thread of its own reads as told too.
    std::unique_ptr<BackgroundJob> job = d.startOpen(path, nullptr, LoadOptions());
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(d.finishOpen(*job));
    EXPECT_FLOAT_EQ(8.0f, legX(d));
    job = d.startOpen(path, nullptr, add);
    ASSERT_TRUE(d.finishOpen(*job));
    EXPECT_FLOAT_EQ(16.0f, legX(d));

    // An unsaved edit is dropped with the curve it was made on; the file still holds the frames
    // as loaded, so the document is back to its saved state.
    drag(d, 2, 10.0, 5.0);
    ASSERT_TRUE(d.modified());
    const unsigned long before = d.revision();
    ASSERT_TRUE(d.reread(LoadOptions()));
    EXPECT_EQ(PositionChannels::ValueReplacesOffset, d.motion()->positionChannels());
    EXPECT_FLOAT_EQ(8.0f, legX(d));
    EXPECT_FALSE(d.modified());
    EXPECT_FALSE(d.canUndo());
    EXPECT_GT(d.revision(), before);
    EXPECT_EQ(d.edit()->path().fittedX()[2], points(d)[2].first);

    // Saved with an edit, the file no longer holds the frames the reading starts from.
    drag(d, 2, 10.0, 5.0);
    const std::string saved = testing::TempDir() + "doc_replacing_saved.bvh";
    ASSERT_TRUE(d.save(saved));
    ASSERT_FALSE(d.modified());
    ASSERT_TRUE(d.reread(add));
    EXPECT_TRUE(d.modified());
    EXPECT_EQ(saved, d.fileName());
}

namespace {

const std::string kSample = std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh";

// Every joint of a frame as drawn on the edited path.
std::vector<std::array<float, 3>> drawnAt(const Document& d, int frame) {
    Pose pose;
    d.edit()->pose(frame, PosePass::RecordEdited, pose);
    std::vector<std::array<float, 3>> out;
    for (const Transform& m : pose.transforms)
        out.push_back({m[12], m[13], m[14]});
    return out;
}

// Keep Feet Planted is one step of history that marks the motion unsaved; undo and redo switch
// it back and forth, and the planted legs follow every later change of the path.
TEST(DocumentFeet, SwitchingIsOneUndoableStepAndFollowsThePath) {
    Document d;
    ASSERT_TRUE(d.open(kSample));
    drag(d, 4, 120.0, -60.0);
    const auto rigid = drawnAt(d, 100);
    ASSERT_EQ(d.historySize(), 1u);
    ASSERT_TRUE(d.save(testing::TempDir() + "document_feet.bvh"));
    ASSERT_FALSE(d.modified());

    ASSERT_TRUE(d.setFeetPlanted(true));
    EXPECT_TRUE(d.feetPlanted());
    EXPECT_TRUE(d.modified());
    EXPECT_EQ(d.historySize(), 2u);
    const auto planted = drawnAt(d, 100);
    EXPECT_NE(planted, rigid);

    ASSERT_TRUE(d.undo());
    EXPECT_FALSE(d.feetPlanted());
    EXPECT_FALSE(d.modified());
    EXPECT_EQ(drawnAt(d, 100), rigid);
    ASSERT_TRUE(d.redo());
    EXPECT_TRUE(d.feetPlanted());
    EXPECT_EQ(drawnAt(d, 100), planted);

    // A drag while planted solves the legs again for the new path, and so does its undo.
    drag(d, 4, -60.0, 30.0);
    const auto moved = drawnAt(d, 100);
    EXPECT_NE(moved, planted);
    ASSERT_TRUE(d.undo());
    EXPECT_EQ(drawnAt(d, 100), planted);
    EXPECT_TRUE(d.setFeetPlanted(true));  // already on: no step
    EXPECT_EQ(d.historySize(), 3u);

    // Feet chosen after a step do not change what its undo and redo bring back.
    ASSERT_TRUE(d.setFeetPlanted(false));
    ASSERT_TRUE(d.chooseFeet({"LeftFoot"}));
    ASSERT_TRUE(d.undo());
    EXPECT_TRUE(d.feetPlanted());
    EXPECT_EQ(d.edit()->feet().size(), 2u);
    EXPECT_EQ(drawnAt(d, 100), planted);
}

// Keep Speed is one step of history; undo gives back exactly the timing it replaced, also
// after a drag retimed the motion, and the captured frames once it is off.
TEST(DocumentSpeed, SwitchingIsOneUndoableStepAndUndoRestoresTheTiming) {
    Document d;
    ASSERT_TRUE(d.open(kSample));
    const int captured = d.motion()->frameCount();
    drag(d, 4, 120.0, -60.0);
    EXPECT_EQ(d.edit()->frameCount(), captured) << "off by default";
    ASSERT_TRUE(d.setKeepSpeed(true));
    EXPECT_TRUE(d.keepSpeed());
    EXPECT_EQ(d.historySize(), 2u);
    ASSERT_NE(d.edit()->timing(), nullptr);
    const std::vector<double> kept = *d.edit()->timing();
    EXPECT_GT(d.edit()->frameCount(), captured);

    drag(d, 4, 60.0, -30.0);
    EXPECT_NE(*d.edit()->timing(), kept) << "a drag retimes the motion";
    ASSERT_TRUE(d.undo());
    EXPECT_EQ(*d.edit()->timing(), kept);
    ASSERT_TRUE(d.undo());
    EXPECT_FALSE(d.keepSpeed());
    EXPECT_EQ(d.edit()->timing(), nullptr);
    EXPECT_EQ(d.edit()->frameCount(), captured);
    ASSERT_TRUE(d.redo());
    EXPECT_EQ(*d.edit()->timing(), kept);
    EXPECT_TRUE(d.setKeepSpeed(true));  // already on: no step
    EXPECT_EQ(d.historySize(), 3u);
    EXPECT_FALSE(Document().setKeepSpeed(true));
}

TEST(DocumentFeet, AMotionWithoutLegsRefusesAndKeepsItsHistory) {
    Document d;
    ASSERT_TRUE(d.open(writeScratch("document_feet_walker.bvh", walker(120))));
    const Result r = d.setFeetPlanted(true);
    EXPECT_FALSE(r);
    EXPECT_FALSE(r.message.empty());
    EXPECT_FALSE(d.feetPlanted());
    EXPECT_EQ(d.historySize(), 0u);
    EXPECT_FALSE(d.modified());
    EXPECT_FALSE(Document().setFeetPlanted(true));
    // The same on the worker, which searches for the feet there.
    Result outcome;
    std::unique_ptr<BackgroundJob> job = d.startFeetPlanted(true, nullptr, outcome);
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(d.finishFeetPlanted(*job).message, r.message);
    EXPECT_FALSE(d.feetPlanted());
    EXPECT_FALSE(d.busy());
    EXPECT_EQ(d.historySize(), 0u);
}

}  // namespace

// The reread and the planting on a worker give what the calls that run at once give; while they
// run the document takes no edit, and a cancel changes nothing.
namespace {

// What a started job refuses while it runs: every edit, undo and redo, and another job.
void expectRefusesEdits(Document& d) {
    EXPECT_TRUE(d.busy());
    EXPECT_FALSE(d.undo());
    EXPECT_FALSE(d.redo());
    EXPECT_FALSE(d.beginDrag());
    EXPECT_FALSE(d.setFeetPlanted(true));
    EXPECT_FALSE(d.setPointPosition(0, CurvePoint{1.0, 2.0}));
    EXPECT_FALSE(d.transform(GroundTransform{}));
    EXPECT_FALSE(d.setKeepSpeed(true));
    EXPECT_EQ(d.startOpen(kSample, nullptr), nullptr);
    Result refused;
    EXPECT_EQ(d.startReread(LoadOptions(), nullptr, refused), nullptr);
    EXPECT_FALSE(refused);
    EXPECT_EQ(d.startPlanting(nullptr), nullptr);
}

// Runs the planting a change left stale; false when none was.
bool plantStale(Document& d) {
    std::unique_ptr<BackgroundJob> job = d.startPlanting(nullptr);
    if (!job)
        return false;
    expectRefusesEdits(d);
    EXPECT_TRUE(d.finishPlanting(*job));
    EXPECT_FALSE(d.needsPlanting());
    return true;
}

}  // namespace

TEST(WorkerJobs, RereadOnTheWorkerIsTheDirectRereadSharingTheFrames) {
    const std::string path = writeScratch("worker_jobs_walker.bvh", replacingWalker(30000));
    Document direct, worker;
    ASSERT_TRUE(direct.open(path));
    ASSERT_TRUE(worker.open(path));
    drag(worker, 3, 10.0, 5.0);
    const FrameTable* frames = worker.motion()->frames();
    LoadOptions add;
    add.positionChannels = PositionChannels::OffsetPlusValue;
    add.upAxis = UpAxis::Z;
    ASSERT_TRUE(direct.reread(add));

    // A cancelled reread leaves the motion, its edit and the history as they were.
    const Motion* shown = worker.motion();
    const auto drawn = drawnAt(worker, 500);
    Result refused;
    std::unique_ptr<BackgroundJob> job = worker.startReread(add, nullptr, refused);
    ASSERT_NE(job, nullptr) << refused.message;
    job->progress().cancel();
    const Result cancelled = worker.finishReread(*job);
    EXPECT_EQ(cancelled.message, Progress::kCancelled);
    EXPECT_EQ(worker.motion(), shown);
    EXPECT_EQ(drawnAt(worker, 500), drawn);
    EXPECT_TRUE(worker.canUndo());
    EXPECT_TRUE(worker.modified());
    EXPECT_EQ(worker.motion()->upAxis(), UpAxis::Y);

    job = worker.startReread(add, nullptr, refused);
    ASSERT_NE(job, nullptr);
    expectRefusesEdits(worker);
    ASSERT_TRUE(worker.finishReread(*job));
    EXPECT_FALSE(worker.busy());
    EXPECT_EQ(worker.motion()->frames(), frames) << "the new motion shares the frame table";
    EXPECT_EQ(worker.motion()->upAxis(), UpAxis::Z);
    EXPECT_EQ(worker.motion()->positionChannels(), PositionChannels::OffsetPlusValue);
    EXPECT_FALSE(worker.canUndo());
    EXPECT_FALSE(worker.modified());
    for (int frame : {0, 777, 29999})
        EXPECT_EQ(drawnAt(worker, frame), drawnAt(direct, frame)) << "frame " << frame;
    EXPECT_EQ(worker.edit()->bounds(), direct.edit()->bounds());
    EXPECT_EQ(worker.edit()->curve().pointCount(), direct.edit()->curve().pointCount());

    Document empty;
    EXPECT_EQ(empty.startReread(add, nullptr, refused), nullptr);
    EXPECT_EQ(refused.message, "No motion to read again.");
}

// The same session planted at once and on the worker: the same legs after every step, equal to
// a fresh solve of the path the steps end on; a cancelled switch changes nothing.
TEST(WorkerJobs, PlantingOnTheWorkerIsThePlantingAtOnce) {
    Document atOnce, worker;
    ASSERT_TRUE(atOnce.open(kSample));
    ASSERT_TRUE(worker.open(kSample));
    worker.setPlanting(Document::Planting::OnWorker);
    const auto same = [&](const char* after) {
        EXPECT_EQ(worker.feetPlanted(), atOnce.feetPlanted()) << after;
        EXPECT_EQ(worker.edit()->planting().values, atOnce.edit()->planting().values) << after;
        EXPECT_EQ(worker.edit()->planting().rootDrop, atOnce.edit()->planting().rootDrop) << after;
        EXPECT_EQ(drawnAt(worker, 100), drawnAt(atOnce, 100)) << after;
    };
    drag(atOnce, 4, 120.0, -60.0);
    drag(worker, 4, 120.0, -60.0);
    EXPECT_FALSE(worker.needsPlanting()) << "nothing planted yet";

    const auto free = drawnAt(worker, 100);
    Result outcome;
    std::unique_ptr<BackgroundJob> job = worker.startFeetPlanted(true, nullptr, outcome);
    ASSERT_NE(job, nullptr) << outcome.message;
    job->progress().cancel();
    EXPECT_EQ(worker.finishFeetPlanted(*job).message, Progress::kCancelled);
    EXPECT_FALSE(worker.feetPlanted());
    EXPECT_EQ(worker.historySize(), 1u);
    EXPECT_EQ(drawnAt(worker, 100), free);

    ASSERT_TRUE(atOnce.setFeetPlanted(true));
    job = worker.startFeetPlanted(true, nullptr, outcome);
    ASSERT_NE(job, nullptr);
    expectRefusesEdits(worker);
    ASSERT_TRUE(worker.finishFeetPlanted(*job));
    EXPECT_EQ(worker.historySize(), 2u);
    same("the switch");

    // Switching off is done at once; undo and redo plant again from the legs let go.
    EXPECT_EQ(worker.startFeetPlanted(false, nullptr, outcome), nullptr);
    EXPECT_TRUE(outcome);
    ASSERT_TRUE(atOnce.setFeetPlanted(false));
    same("switching off");
    ASSERT_TRUE(atOnce.undo());
    ASSERT_TRUE(worker.undo());
    EXPECT_TRUE(plantStale(worker));
    same("the undo of switching off");
    ASSERT_TRUE(atOnce.undo());
    ASSERT_TRUE(worker.undo());
    EXPECT_FALSE(plantStale(worker)) << "letting go needs no solve";
    same("the undo of the switch");
    ASSERT_TRUE(atOnce.redo());
    ASSERT_TRUE(worker.redo());
    EXPECT_TRUE(plantStale(worker));
    same("the redo of the switch");

    // A drag leaves the legs of the old path drawn until the solve is adopted.
    const std::vector<float> legs = worker.edit()->planting().values;
    drag(atOnce, 4, -60.0, 30.0);
    drag(worker, 4, -60.0, 30.0);
    ASSERT_TRUE(worker.needsPlanting());
    EXPECT_EQ(worker.edit()->planting().values, legs);
    EXPECT_NE(atOnce.edit()->planting().values, legs);
    EXPECT_TRUE(plantStale(worker));
    same("a drag");
    ASSERT_TRUE(atOnce.undo());
    ASSERT_TRUE(worker.undo());
    EXPECT_TRUE(plantStale(worker));
    same("the undo of a drag");

    // A save nobody let the solve finish for writes the legs of the path saved.
    drag(worker, 4, -60.0, 30.0);
    ASSERT_TRUE(worker.needsPlanting());
    const std::string saved = testing::TempDir() + "worker_jobs_stale_save.bvh";
    ASSERT_TRUE(worker.save(saved));
    EXPECT_FALSE(worker.needsPlanting());
    ASSERT_TRUE(worker.undo());
    EXPECT_TRUE(plantStale(worker));

    // A fresh solve of the path the session ends on plants the same legs.
    Document fresh;
    ASSERT_TRUE(fresh.open(kSample));
    drag(fresh, 4, 120.0, -60.0);
    ASSERT_TRUE(fresh.setFeetPlanted(true));
    EXPECT_EQ(worker.edit()->planting().values, fresh.edit()->planting().values);
    EXPECT_EQ(drawnAt(worker, 100), drawnAt(fresh, 100));
}
