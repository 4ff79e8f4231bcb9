#include "motion/prepared_save.h"

#include <cstdio>
#include <new>

#include "motion/bvh_writer.h"
#include "motion/file_replace.h"

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
        return Result::failure("Error in BVH file output: not enough memory to save");
    }
}
