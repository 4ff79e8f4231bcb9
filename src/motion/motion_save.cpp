#include <cstdio>
#include <vector>

#include "motion/bake.h"
#include "motion/bvh_writer.h"
#include "motion/file_replace.h"
#include "motion/motion.h"

// The file is replaced only once the whole text is written, so a failed save (full disk, bad
// folder, a limit on the file's size) never destroys the file it was meant to replace.
Result Motion::save(const std::string& path) const {
    std::vector<ChannelType> rootChannels;
    std::unique_ptr<FrameTable> baked = root_ && frames_ ? bake(*this, &rootChannels) : nullptr;
    if (!baked) {
        return Result::failure("Error in BVH file output: no motion to save");
    }
    return replaceFile(path, [&](std::FILE* file) {
        BvhWriter writer;
        int written = writer.attach(file);
        if (written) {
            written = writer.write(root_.get(), *baked, &rootChannels);
        }
        written = writer.close() && written;
        return written ? Result::success() : Result::failure(writer.failure());
    });
}
