// Loads arbitrary bytes as a motion, edits its path, refreshes and bakes it: none of it may
// crash, end the process or read out of bounds, whatever the file holds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/path_edit.h"
#include "motion/bake.h"
#include "motion/load_motion.h"
#include "motion/motion.h"
#include "motion/pose.h"
#include "silence_stdout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static int silenced = silenceStdout();
    (void)silenced;
    if (size > 65536) {
        return 0;
    }
    static const std::string path = "/tmp/fuzz_motion_load_" + std::to_string(getpid()) + ".bvh";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    Motion motion;
    if (!loadMotion(path, motion)) {
        return 0;
    }
    PathEdit edit(motion);
    CurvePoint p;
    if (edit.curve().getPoint(edit.curve().pointCount() / 2, p)) {
        edit.setFalloffRadius(50.0f);
        edit.select(edit.curve().pointCount() / 2);
        edit.moveSelected(p.x + 3.0, p.z - 5.0);
    }
    edit.refresh();
    Pose pose;
    edit.pose(0, PosePass::RecordEdited, pose);
    edit.pose(motion.frameCount() - 1, PosePass::DrawFigure, pose);
    bake(edit.edited());
    return 0;
}
