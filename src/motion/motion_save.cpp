#include <cstdio>
#include <new>
#include <vector>

#include "motion/bake.h"
#include "motion/bvh_writer.h"
#include "motion/file_replace.h"
#include "motion/motion.h"
#include "motion/prepared_save.h"

namespace {

const char kNoMemory[] = "Error in BVH file output: not enough memory to save";

}  // namespace

// The bake copies the whole frame table; memory running out there or in the writer's buffer is
// a failure like any other, and the target stays as it was.
Result Motion::prepareSave(PreparedSave& save, const SaveOptions& options) const {
    try {
        save.frames = root_ && frames_ ? bake(*this, &save.rootChannels, options) : nullptr;
        if (save.frames) {
            save.frames->setFrameTimeText(frames_->frameTimeText());
            // An output in other axes turns the root's OFFSET too; the skeleton is then written
            // from a copy that carries it.
            const std::array<float, 3> rootOffset = bakedRootOffset(*this, options);
            save.turnedSkeleton.reset();
            if (rootOffset != root_->offset()) {
                save.turnedSkeleton = copySkeleton(*root_);
                save.turnedSkeleton->setOffset(rootOffset[0], rootOffset[1], rootOffset[2]);
            }
        }
    } catch (const std::bad_alloc&) {
        save.frames.reset();
        save.turnedSkeleton.reset();
        return Result::failure(kNoMemory);
    }
    if (!save.frames) {
        return Result::failure("Error in BVH file output: no motion to save");
    }
    save.root = save.turnedSkeleton ? save.turnedSkeleton.get() : root_.get();
    return Result::success();
}

Result Motion::save(const std::string& path, const SaveOptions& options, Progress* progress) const {
    PreparedSave prepared;
    const Result ready = prepareSave(prepared, options);
    return ready ? prepared.write(path, progress) : ready;
}

// The file is replaced only once the whole text is written, so a failed save (full disk, bad
// folder, a limit on the file's size, a cancel) never destroys the file it was meant to replace.
Result PreparedSave::write(const std::string& path, Progress* progress) const {
    if (root == nullptr || !frames) {
        return Result::failure("Error in BVH file output: no motion to save");
    }
    try {
        return replaceFile(path, [&](std::FILE* file) {
            BvhWriter writer;
            writer.setProgress(progress);
            int written = writer.attach(file);
            if (written) {
                written = writer.write(root, *frames, &rootChannels);
            }
            written = writer.close() && written;
            return written ? Result::success() : Result::failure(writer.failure());
        });
    } catch (const std::bad_alloc&) {
        return Result::failure(kNoMemory);
    }
}
