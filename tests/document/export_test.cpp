#include <gtest/gtest.h>

#include "../gltf_read_back.h"
#include "document/document.h"
#include "edit_fixtures.h"
#include "motion/unit_scale.h"

// The window's export: the bundled walk with its middle control point dragged and its feet
// planted is written on a worker as it is drawn, and the document's file and saved state stay.
TEST(DocumentExport, AnEditedPlantedWalkExportsAsDrawn) {
    const std::string sample = std::string(BVHPATH_SOURCE_DIR) + "/examples/walk_curve.bvh";
    Document document;
    ASSERT_TRUE(document.open(sample));
    const PathEdit& edit = *document.edit();
    const int middle = edit.curve().pointCount() / 2;
    CurvePoint p;
    edit.curve().getPoint(middle, p);
    const double height = edit.path().height();
    const double x = p.x + 40.0;
    const double z = p.z - 60.0;
    document.select(middle);
    ASSERT_TRUE(document.beginDrag());
    ASSERT_TRUE(document.dragTo({x, height + 1.0, z}, {x, height - 1.0, z}));
    document.commitDrag();
    ASSERT_TRUE(document.setFeetPlanted(true));

    const std::string out = scratchPath("document_export.glb");
    Result refused;
    std::unique_ptr<BackgroundJob> job = document.startExport(out, nullptr, refused);
    ASSERT_NE(job, nullptr) << refused.message;
    EXPECT_FALSE(document.undo()) << "no edit while the export runs";
    ASSERT_TRUE(document.finishExport(*job));
    EXPECT_TRUE(document.modified());
    EXPECT_EQ(document.fileName(), sample);

    tinygltf::Model model;
    ASSERT_TRUE(gltf_back::load(out, model));
    const Motion& motion = *document.motion();
    const double scale = unitScaleOf(motion).metresPerUnit;
    const double tolerance = 1e-4 * scale * fixtures::motionSize(motion);
    const int last = motion.frameCount() - 1;
    for (int frame : {0, last / 2, last}) {
        const fixtures::Positions drawn = fixtures::posedAt(edit, frame, PosePass::MeasureEdited);
        const std::vector<gltf_back::Vec3> read = gltf_back::worldAt(model, frame);
        ASSERT_EQ(drawn.size(), read.size());
        for (std::size_t j = 0; j < drawn.size(); ++j) {
            for (std::size_t a = 0; a < 3; ++a) {
                EXPECT_NEAR(drawn[j][a] * scale, read[j][a], tolerance) << frame << " " << j;
            }
        }
    }
}
