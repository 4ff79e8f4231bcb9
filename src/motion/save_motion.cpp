#include "motion/save_motion.h"

#include <new>

#include "motion/bake.h"

namespace {

const char kNoMemory[] = "Error in BVH file output: not enough memory to save";

}  // namespace

// The bake copies the whole frame table; memory running out there or in the writer's buffer is
// a failure like any other, and the target stays as it was.
Result prepareSave(const EditedMotion& edited, PreparedSave& save, const SaveOptions& options) {
    const Motion& motion = edited.motion;
    const Joint* root = motion.root();
    try {
        save.frames = root && motion.frames() ? bake(edited, &save.rootChannels, options) : nullptr;
        if (save.frames) {
            save.frames->setFrameTimeText(motion.frames()->frameTimeText());
            // An output in other axes turns the root's OFFSET too; the skeleton is then written
            // from a copy that carries it.
            const std::array<float, 3> rootOffset = bakedRootOffset(motion, options);
            save.turnedSkeleton.reset();
            if (rootOffset != root->offset()) {
                save.turnedSkeleton = copySkeleton(*root);
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
    save.root = save.turnedSkeleton ? save.turnedSkeleton.get() : root;
    return Result::success();
}

Result saveMotion(const EditedMotion& edited, const std::string& path, const SaveOptions& options,
                  Progress* progress) {
    PreparedSave prepared;
    const Result ready = prepareSave(edited, prepared, options);
    return ready ? prepared.write(path, progress) : ready;
}
