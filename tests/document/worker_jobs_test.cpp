// The reread and the planting on a worker give what the calls that run at once give; while they
// run the document takes no edit, and a cancel changes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sstream>
#include <string>

#include "../test_files.h"
#include "document/document.h"
#include "motion/pose.h"

namespace {

// A figure walking along x whose Leg has position channels, so that the two readings of them
// place it apart.
std::string walker(int frames) {
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

const std::string kSample = std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh";

// Every joint of a frame as drawn.
std::vector<std::array<float, 3>> drawnAt(const Document& d, int frame) {
    Pose pose;
    d.edit()->pose(frame, PosePass::RecordEdited, pose);
    std::vector<std::array<float, 3>> out;
    for (const Transform& m : pose.transforms)
        out.push_back({m[12], m[13], m[14]});
    return out;
}

// Drags control point i by (dx, dz) and lets go.
void drag(Document& d, int i, double dx, double dz) {
    CurvePoint p;
    d.edit()->curve().getPoint(i, p);
    const double h = d.edit()->path().height();
    d.select(i);
    ASSERT_TRUE(d.beginDrag());
    d.dragTo({p.x + dx, h + 10.0, p.z + dz}, {p.x + dx, h - 10.0, p.z + dz});
    d.commitDrag();
}

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
    const std::string path = writeScratch("worker_jobs_walker.bvh", walker(30000));
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

    // A fresh solve of the path the session ends on plants the same legs.
    Document fresh;
    ASSERT_TRUE(fresh.open(kSample));
    drag(fresh, 4, 120.0, -60.0);
    ASSERT_TRUE(fresh.setFeetPlanted(true));
    EXPECT_EQ(worker.edit()->planting().values, fresh.edit()->planting().values);
    EXPECT_EQ(drawnAt(worker, 100), drawnAt(fresh, 100));
}
