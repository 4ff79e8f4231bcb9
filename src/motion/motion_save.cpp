#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "motion/bake.h"
#include "motion/bvh_writer.h"
#include "motion/motion.h"

namespace {

// A fresh, uniquely named file in the target's folder (so the final rename stays on one file
// system), with the permissions the target has or a newly created file would get.
std::string createTemporaryBeside(const std::string& target) {
    std::string pattern = target + ".saving-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        return std::string();
    }
    struct stat existing;
    mode_t mode;
    if (stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    close(fd);
    return std::string(name.data());
}

// A link is saved through, as opening it for writing would: the file it names is replaced and
// the link stays.
std::string followLink(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_symlink(path, error)) {
        return path;
    }
    const std::filesystem::path target = std::filesystem::weakly_canonical(path, error);
    return error ? path : target.string();
}

}  // namespace

// The file is written beside the target and renamed over it only once it is complete, so a
// failed save (full disk, bad folder) never destroys the file it was meant to replace.
Result Motion::save(const std::string& requestedPath, const SaveOptions& options) const {
    std::vector<ChannelType> rootChannels;
    std::unique_ptr<FrameTable> baked =
        root_ && frames_ ? bake(*this, &rootChannels, options) : nullptr;
    if (!baked) {
        return Result::failure("Error in BVH file output: no motion to save");
    }
    const std::string path = followLink(requestedPath);
    // Renaming would replace even a write-protected file, which opening it for writing would not.
    const bool protectedTarget = access(path.c_str(), F_OK) == 0 && access(path.c_str(), W_OK) != 0;
    const std::string temporary = protectedTarget ? std::string() : createTemporaryBeside(path);
    if (temporary.empty()) {
        return Result::failure("Error in BVH file output: could not open file");
    }
    // An output in other axes turns the root's OFFSET too; the skeleton is then written from a
    // copy that carries it.
    const std::array<float, 3> rootOffset = bakedRootOffset(*this, options);
    std::unique_ptr<Joint> turned;
    if (rootOffset != root_->offset()) {
        turned = copySkeleton(*root_);
        turned->setOffset(rootOffset[0], rootOffset[1], rootOffset[2]);
    }
    BvhWriter writer;
    int written = writer.open(temporary);
    if (written) {
        written = writer.write(turned ? turned.get() : root_.get(), *baked, &rootChannels);
    }
    written = writer.close() && written;
    Result result = written ? Result::success() : Result::failure(writer.failure());
    if (result && std::rename(temporary.c_str(), path.c_str()) != 0) {
        result = Result::failure("Error in BVH file output: could not write file");
    }
    if (!result) {
        std::remove(temporary.c_str());
    }
    return result;
}
