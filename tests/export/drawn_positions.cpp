// Prints where bvhpath draws every joint of a file at its first, middle and last frames, as the
// glTF export's unit scale and up turn place them, for tests/export/gltf_check.mjs to compare:
// {"scale": metres a unit, "size": the figure's size in metres, "frames": [...], "positions":
// [[[x, y, z] per joint] per frame]}. Unlifted: the view stands the figure on the floor, while
// the export, like a save, keeps the file's heights.
#include <algorithm>
#include <cstdio>
#include <string>

#include "motion/edited_motion.h"
#include "motion/load_motion.h"
#include "motion/unit_scale.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawn_positions FILE.bvh\n");
        return 2;
    }
    Motion motion;
    const Result loaded = loadMotion(argv[1], motion);
    if (!loaded) {
        std::fprintf(stderr, "%s\n", loaded.message.c_str());
        return 1;
    }
    const double scale = unitScaleOf(motion).metresPerUnit;
    const double size = scale * std::max({motion.height(), motion.width(), motion.depth()});
    const int last = motion.frameCount() - 1;
    const int frames[] = {0, last / 2, last};
    std::printf("{\"scale\": %.17g, \"size\": %.17g, \"frames\": [%d, %d, %d], \"positions\": [",
                scale, size, frames[0], frames[1], frames[2]);
    Pose pose;
    for (int i = 0; i < 3; ++i) {
        EditedMotion(motion).pose(frames[i], PosePass::MeasureEdited, pose);
        std::printf("%s[", i > 0 ? ", " : "");
        for (std::size_t j = 0; j < pose.transforms.size(); ++j) {
            const Transform& m = pose.transforms[j];
            std::printf("%s[%.9g, %.9g, %.9g]", j > 0 ? ", " : "", m[12] * scale, m[13] * scale,
                        m[14] * scale);
        }
        std::printf("]");
    }
    std::printf("]}\n");
    return 0;
}
