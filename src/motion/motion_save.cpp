#include <cstdio>
#include <new>
#include <vector>

#include "motion/bake.h"
#include "motion/bvh_writer.h"
#include "motion/file_replace.h"
#include "motion/motion.h"

// The file is replaced only once the whole text is written, so a failed save (full disk, bad
// folder, a limit on the file's size) never destroys the file it was meant to replace.
// The bake copies the whole frame table; memory running out there or in the writer's buffer is
// a failure like any other, and the target stays as it was.
Result Motion::save(const std::string& path, const SaveOptions& options) const {
    try {
        std::vector<ChannelType> rootChannels;
        std::unique_ptr<FrameTable> baked =
            root_ && frames_ ? bake(*this, &rootChannels, options) : nullptr;
        if (!baked) {
            return Result::failure("Error in BVH file output: no motion to save");
        }
        // An output in other axes turns the root's OFFSET too; the skeleton is then written from
        // a copy that carries it.
        const std::array<float, 3> rootOffset = bakedRootOffset(*this, options);
        std::unique_ptr<Joint> turned;
        if (rootOffset != root_->offset()) {
            turned = copySkeleton(*root_);
            turned->setOffset(rootOffset[0], rootOffset[1], rootOffset[2]);
        }
        return replaceFile(path, [&](std::FILE* file) {
            BvhWriter writer;
            int written = writer.attach(file);
            if (written) {
                written = writer.write(turned ? turned.get() : root_.get(), *baked, &rootChannels);
            }
            written = writer.close() && written;
            return written ? Result::success() : Result::failure(writer.failure());
        });
    } catch (const std::bad_alloc&) {
        return Result::failure("Error in BVH file output: not enough memory to save");
    }
}
