#include "motion/target_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

constexpr std::chrono::milliseconds kPollPause{20};

// A lock needs an open file, not the right to write it: a file the user may only write opens
// for writing instead, without being changed.
int openForLock(const std::string& path) {
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    const int fd = open(path.c_str(), O_RDONLY | flags);
    return fd >= 0 || errno != EACCES ? fd : open(path.c_str(), O_WRONLY | flags);
}

// 0, EWOULDBLOCK while another holds the file, or the errno of a file that cannot be locked.
int tryLock(int fd, int kind) {
    while (flock(fd, kind | LOCK_NB) != 0) {
        if (errno != EINTR) {
            return errno;
        }
    }
    return 0;
}

}  // namespace

TargetLock::~TargetLock() {
    if (fd_ >= 0) {
        close(fd_);  // closing the last descriptor of the file releases the lock
    }
}

int TargetLock::lock(const std::string& path, struct stat& status) {
    const int fd = openForLock(path);
    if (fd < 0) {
        return errno;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kWaitSeconds);
    int error = 0;
    while ((error = tryLock(fd, LOCK_EX)) == EWOULDBLOCK &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kPollPause);
    }
    struct stat locked;
    struct stat named;
    if (error == 0 && (fstat(fd, &locked) != 0 || lstat(path.c_str(), &named) != 0 ||
                       locked.st_dev != named.st_dev || locked.st_ino != named.st_ino)) {
        error = ESTALE;
    }
    if (error != 0) {
        close(fd);
        return error == EWOULDBLOCK ? ETIMEDOUT : error;
    }
    fd_ = fd;
    status = named;
    return 0;
}

bool saveInProgress(const std::string& path) {
    const int fd = openForLock(path);
    if (fd < 0) {
        return false;
    }
    const bool held = tryLock(fd, LOCK_SH) == EWOULDBLOCK;
    close(fd);
    return held;
}
