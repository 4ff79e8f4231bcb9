#include "motion/load_motion.h"

#include <new>
#include <utility>

#include "motion/bvh_reader.h"
#include "motion/file_replace.h"
#include "motion/progress.h"

namespace {

// Reading is about half of a load and measuring the rest; the progress reported follows.
constexpr double kReadShare = 0.5;

}  // namespace

Result loadMotion(const std::string& path, Motion& motion, const LoadOptions& options,
                  Progress* progress) {
    try {
        BvhReader reader;
        reader.open(path);
        reader.setProgress(progress, kReadShare);
        std::unique_ptr<Joint> root = reader.readHierarchy();
        if (!root) {
            return Result::failure(reader.failure());
        }
        std::unique_ptr<FrameTable> frames = reader.readMotion();
        reader.close();
        if (!frames) {
            // root releases the skeleton: a failed MOTION section keeps nothing
            return Result::failure(reader.failure());
        }
        if (!reportStage(progress, 0.0, kReadShare, 1.0, 1.0)) {
            return Result::failure(Progress::kCancelled);
        }
        Result prepared =
            motion.prepare(std::move(root), std::move(frames), options, progress, kReadShare, 1.0);
        if (prepared) {
            prepared.message = unfinishedSavesNote(path);
        }
        return prepared;
    } catch (const std::bad_alloc&) {
        return Result::failure(
            "The Parser could not parse this: not enough memory for this motion");
    }
}
