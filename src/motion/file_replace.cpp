#include "motion/file_replace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "motion/target_lock.h"

namespace {

const std::string kError = "Error in BVH file output: ";
const std::string kNote = "Note in BVH file output: ";
// The kernel gives up resolving a path after as many links.
constexpr int kMaxLinkHops = 40;
constexpr std::size_t kRandomLetters = 6;
constexpr int kCreateAttempts = 100;
// Each failed attempt means that another save put a new file in place meanwhile.
constexpr int kLockAttempts = 100;
constexpr std::size_t kCopyBlock = std::size_t{1} << 20;
// A text is prepared as "<name>.writing-" and six letters. Before it is copied in place it is
// renamed "<name>.saving-", so a file of that name always holds a whole text: one left behind
// is what remains of a save that did not finish.
const std::string kWritingSuffix = ".writing-";
const std::string kWholeSuffix = ".saving-";

// A path as it may stand in a one-line message: a control byte in a file name would break the
// line.
std::string shown(const std::string& path) {
    std::string out = path;
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = '?';
        }
    }
    return out;
}

Result failure(const std::string& what, const std::string& path, int error) {
    return Result::failure(kError + what + " " + shown(path) + ": " + std::strerror(error));
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Its default action would end the program and lose the user's edits; ignored, a write past the
// limit fails with EFBIG and the save says so. It stays ignored: putting the old action back could
// race a save running on another thread.
void ignoreFileSizeSignal() {
    struct sigaction current;
    if (sigaction(SIGXFSZ, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
        current.sa_handler == SIG_DFL) {
        std::signal(SIGXFSZ, SIG_IGN);
    }
}

// The name a write lands on: where the chain of links starting at target ends. A dangling link
// names the file to create.
struct Landing {
    std::string path;
    bool exists = false;
    struct stat status {};
};

Result followLinks(const std::string& target, Landing& landing) {
    std::string path = target;
    std::vector<char> text(PATH_MAX + 1);
    for (int hop = 0;; ++hop) {
        struct stat status;
        if (lstat(path.c_str(), &status) != 0) {
            if (errno != ENOENT) {
                return failure("could not reach", path, errno);
            }
            landing = Landing{path, false, {}};
            return Result::success();
        }
        if (!S_ISLNK(status.st_mode)) {
            landing = Landing{path, true, status};
            return Result::success();
        }
        if (hop == kMaxLinkHops) {
            return failure("could not follow the link", target, ELOOP);
        }
        const ssize_t length = readlink(path.c_str(), text.data(), text.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= text.size()) {
            return failure("could not follow the link", path, length < 0 ? errno : ENAMETOOLONG);
        }
        const std::string linked(text.data(), static_cast<std::size_t>(length));
        path = linked[0] == '/' ? linked : joined(folderOf(path), linked);
    }
}

// The name and the suffix, the name shortened (at a UTF-8 character boundary) so that the full
// temporary name fits the folder's limit on a name's length.
std::string temporaryStem(const std::string& folder, const std::string& name,
                          const std::string& suffix) {
    long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0) {
        limit = NAME_MAX;
    }
    const std::size_t room = static_cast<std::size_t>(limit) - suffix.size() - kRandomLetters;
    std::size_t keep = std::min(name.size(), room);
    while (keep > 0 && keep < name.size() &&
           (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) {
        --keep;
    }
    return name.substr(0, keep) + suffix;
}

std::string randomLetters() {
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(getpid()) << 32) ^
        (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    const char* const letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string out;
    for (std::size_t i = 0; i < kRandomLetters; ++i, x /= 62) {
        out += letters[x % 62];
    }
    return out;
}

// A file being prepared; removed when it goes out of scope unless it was renamed into place or
// kept for the user.
class Temporary {
  public:
    Temporary() = default;
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary() {
        if (fd_ >= 0) {
            close(fd_);
        }
        if (!path_.empty()) {
            unlink(path_.c_str());
        }
    }

    // Creates "<targetName>.writing-" and six letters in folder; 0, or the errno of the last
    // failed attempt. The kernel applies the umask and the folder's defaults to mode, as it would
    // for the target itself.
    int create(const std::string& folder, const std::string& targetName, mode_t mode) {
        folder_ = folder;
        targetName_ = targetName;
        const std::string stem = temporaryStem(folder, targetName, kWritingSuffix);
        for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
            const std::string letters = randomLetters();
            const std::string path = joined(folder, stem + letters);
            fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd_ >= 0) {
                path_ = path;
                letters_ = letters;
                return 0;
            }
            if (errno != EEXIST) {
                return errno;
            }
        }
        return EEXIST;
    }

    // Renames the file "<targetName>.saving-" with the same letters, never over another file:
    // from here on its name says that it holds a whole text. 0, or the errno.
    int markWhole() {
        const std::string whole =
            joined(folder_, temporaryStem(folder_, targetName_, kWholeSuffix) + letters_);
        int renamed = renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, whole.c_str(), RENAME_NOREPLACE);
        // A file system without the exclusive rename: the random letters make a clash unlikely.
        if (renamed != 0 && errno == EINVAL && access(whole.c_str(), F_OK) != 0) {
            renamed = std::rename(path_.c_str(), whole.c_str());
        }
        if (renamed != 0) {
            return errno;
        }
        path_ = whole;
        return 0;
    }

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    const std::string& folder() const { return folder_; }
    // Its name no longer belongs to this object: it was renamed over the target, or is kept.
    void letGo() { path_.clear(); }

  private:
    int fd_ = -1;
    std::string path_;
    std::string folder_;
    std::string targetName_;
    std::string letters_;
};

// The stream handed to writeText; it remembers the first error of the file underneath, which
// says what went wrong better than the caller's own message.
struct Sink {
    int fd;
    int error = 0;
};

ssize_t writeToSink(void* cookie, const char* data, std::size_t size) {
    Sink& sink = *static_cast<Sink*>(cookie);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = write(sink.fd, data + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (sink.error == 0) {
                sink.error = n < 0 ? errno : EIO;
            }
            return 0;
        }
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

Result fill(const Temporary& temporary, const std::function<Result(std::FILE*)>& writeText,
            const std::string& target) {
    Sink sink{temporary.fd()};
    const cookie_io_functions_t io{nullptr, writeToSink, nullptr, nullptr};
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(fopencookie(&sink, "w", io),
                                                           std::fclose);
    if (!stream) {
        return failure("could not write file", target, errno);
    }
    const Result written = writeText(stream.get());
    const bool flushed = std::fflush(stream.get()) == 0 && !std::ferror(stream.get());
    if (sink.error != 0) {
        return failure("could not write file", target, sink.error);
    }
    if (!written) {
        return written;
    }
    return flushed ? Result::success() : failure("could not write file", target, EIO);
}

// Gives the replacement the target's owner (when the process may), group and mode bits; false
// when it cannot carry them all, so that the target is written in place and none is lost.
bool carryAttributes(int fd, const struct stat& target) {
    const uid_t owner = geteuid() == 0 ? target.st_uid : static_cast<uid_t>(-1);
    if (fchown(fd, owner, target.st_gid) != 0 && errno != EPERM) {
        return false;
    }
    // After the owner: a change of owner clears the setuid and setgid bits.
    if (fchmod(fd, target.st_mode & 07777) != 0) {
        return false;
    }
    struct stat now;
    return fstat(fd, &now) == 0 && now.st_uid == target.st_uid && now.st_gid == target.st_gid &&
           (now.st_mode & 07777) == (target.st_mode & 07777);
}

int writeAll(int fd, const char* data, std::size_t size, off_t at) {
    while (size > 0) {
        const ssize_t n = pwrite(fd, data, size, at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
        at += n;
    }
    return 0;
}

int copyInto(int to, int from, off_t size) {
    std::vector<char> block(kCopyBlock);
    for (off_t at = 0; at < size;) {
        const ssize_t n = pread(from, block.data(), block.size(), at);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        if (const int error = writeAll(to, block.data(), static_cast<std::size_t>(n), at)) {
            return error;
        }
        at += n;
    }
    return ftruncate(to, size) == 0 && fsync(to) == 0 ? 0 : errno;
}

// Closes the file it holds when it goes out of scope, unless closed (and checked) before.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    int get() const { return fd_; }
    // 0, or the errno of a close that could not store the last bytes.
    int close() {
        const int closed = ::close(fd_);
        fd_ = -1;
        return closed == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

// The folder's entry for a renamed file reaches the disk only with the folder itself. A folder
// that cannot be opened for reading cannot be flushed and is left as it is.
int syncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    const int error = fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    close(fd);
    return error;
}

// Keeps the prepared text for the user, since the target may now be damaged.
Result keptFailure(Temporary& temporary, const std::string& target, int error) {
    fsync(temporary.fd());
    const std::string kept = temporary.path();
    temporary.letGo();
    return Result::failure(kError + "could not write file " + shown(target) + " in place: " +
                           std::strerror(error) + "; the whole text is kept in " + shown(kept));
}

// The prepared text reaches the disk under its whole name before the target's first byte
// changes, so a save killed during the copy leaves a text the next save or load can name.
Result keepWhole(Temporary& temporary, const std::string& target) {
    if (fsync(temporary.fd()) != 0) {
        return failure("could not write file", target, errno);
    }
    if (const int error = temporary.markWhole()) {
        return failure("could not rename the prepared copy of", target, error);
    }
    if (const int error = syncFolder(temporary.folder())) {
        return failure("could not flush the prepared copy of", target, error);
    }
    return Result::success();
}

// Copies the prepared text over the target's own bytes, so every hard link sees it and the
// target keeps its inode, owner and mode. The new size is reserved first so that a full disk stops
// the save before the target is touched. locked is the status of the file the save locked.
Result writeInPlace(Temporary& temporary, const std::string& target, const struct stat& locked) {
    struct stat prepared;
    if (fstat(temporary.fd(), &prepared) != 0) {
        return failure("could not write file", target, errno);
    }
    if (Result kept = keepWhole(temporary, target); !kept) {
        return kept;
    }
    Descriptor file(open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        return failure("could not open file", target, errno);
    }
    struct stat status;
    if (fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        return Result::failure(kError + shown(target) + " is not a regular file");
    }
    if (status.st_dev != locked.st_dev || status.st_ino != locked.st_ino) {
        return Result::failure(kError + shown(target) + " was replaced by another file meanwhile");
    }
    if (prepared.st_size > 0) {
        if (const int error = posix_fallocate(file.get(), 0, prepared.st_size)) {
            // A reservation that failed half-way may have grown the file.
            if (prepared.st_size > status.st_size && ftruncate(file.get(), status.st_size) != 0) {
                return keptFailure(temporary, target, errno);
            }
            return Result::failure(kError + "could not reserve " +
                                   std::to_string(prepared.st_size) + " bytes for " +
                                   shown(target) + ": " + std::strerror(error));
        }
    }
    int error = copyInto(file.get(), temporary.fd(), prepared.st_size);
    if (error == 0) {
        error = file.close();
    }
    return error == 0 ? Result::success() : keptFailure(temporary, target, error);
}

// Renames the prepared text over the target: readers see the old file or the new one, whole.
Result replaceWhole(Temporary& temporary, const std::string& target) {
    if (fsync(temporary.fd()) != 0) {
        return failure("could not write file", target, errno);
    }
    if (std::rename(temporary.path().c_str(), target.c_str()) != 0) {
        return failure("could not replace file", target, errno);
    }
    temporary.letGo();
    if (const int error = syncFolder(folderOf(target))) {
        return failure("wrote the file but could not flush the folder of", target, error);
    }
    return Result::success();
}

std::string temporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && folder[0] != '\0' ? folder : "/tmp";
}

// Follows the links to the file the save lands on and, when it exists, locks it for the save.
// A file that cannot be opened or locked is saved unlocked (or refused by the checks after).
Result reachAndLock(const std::string& target, Landing& landing, TargetLock& lock) {
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        if (Result reached = followLinks(target, landing); !reached) {
            return reached;
        }
        if (!landing.exists || !S_ISREG(landing.status.st_mode)) {
            return Result::success();
        }
        const int error = lock.lock(landing.path, landing.status);
        if (error == ETIMEDOUT) {
            return Result::failure(kError + "another save of " + shown(landing.path) +
                                   " has not finished in " +
                                   std::to_string(TargetLock::kWaitSeconds) + " seconds");
        }
        if (error != ESTALE) {
            return Result::success();
        }
    }
    return failure("could not lock", landing.path, ESTALE);
}

// The whole texts that earlier saves of the file at path left (see kWholeSuffix): beside it or,
// for a folder the user cannot write to, the user's own in the temporary folder.
std::vector<std::string> unfinishedSaves(const std::string& path) {
    std::vector<std::string> found;
    const auto search = [&](const std::string& folder, bool ownOnly) {
        const std::string stem = temporaryStem(folder, nameOf(path), kWholeSuffix);
        DIR* entries = opendir(folder.c_str());
        if (entries == nullptr) {
            return;
        }
        while (const dirent* entry = readdir(entries)) {
            const std::string name = entry->d_name;
            struct stat status;
            if (name.size() == stem.size() + kRandomLetters &&
                name.compare(0, stem.size(), stem) == 0 &&
                lstat(joined(folder, name).c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
                (!ownOnly || status.st_uid == geteuid())) {
                found.push_back(joined(folder, name));
            }
        }
        closedir(entries);
    };
    search(folderOf(path), false);
    if (access(folderOf(path).c_str(), W_OK) != 0) {
        search(temporaryFolder(), true);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The note's sentence naming the texts unfinishedSaves finds, or empty.
std::string unfinishedSavesSentence(const std::string& path) {
    const std::vector<std::string> found = unfinishedSaves(path);
    if (found.empty()) {
        return "";
    }
    std::string names;
    for (const std::string& name : found) {
        names += (names.empty() ? "" : ", ") + shown(name);
    }
    return "an earlier save of " + shown(path) + " did not finish; its whole text is kept in " +
           names;
}

// Adds a sentence to a success's note.
void addNote(Result& result, const std::string& sentence) {
    if (!sentence.empty()) {
        result.message += (result.message.empty() ? kNote : "; ") + sentence;
    }
}

}  // namespace

Result replaceFile(const std::string& target, const std::function<Result(std::FILE*)>& writeText) {
    ignoreFileSizeSignal();
    if (target.empty() || target.back() == '/') {
        return Result::failure(kError + "no file name in \"" + shown(target) + "\"");
    }
    Landing landing;
    TargetLock lock;
    if (Result reached = reachAndLock(target, landing, lock); !reached) {
        return reached;
    }
    const std::string& path = landing.path;
    if (landing.exists) {
        if (!S_ISREG(landing.status.st_mode)) {
            return Result::failure(kError + shown(path) + " is not a regular file");
        }
        // Renaming would replace even a write-protected file, which opening it for writing would
        // not.
        if (faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
            return failure("could not open file", path, errno);
        }
    }
    // Found under the lock, so none of them belongs to a save still running.
    const std::string unfinished = landing.exists ? unfinishedSavesSentence(path) : "";
    const std::string folder = folderOf(path);
    Temporary temporary;
    const int besideError = temporary.create(folder, nameOf(path), landing.exists ? 0600 : 0666);
    std::string inPlace;  // why the text is copied in place, when it is
    if (besideError != 0) {
        if (!landing.exists) {
            return failure("could not create file", path, besideError);
        }
        if (temporary.create(temporaryFolder(), nameOf(path), 0600) != 0) {
            return failure("could not create a temporary file beside", path, besideError);
        }
        inPlace = "could not create a temporary file beside " + shown(path) + " (" +
                  std::strerror(besideError) + "), so it was written in place";
    }
    if (Result written = fill(temporary, writeText, path); !written) {
        return written;
    }
    if (inPlace.empty() && landing.exists && landing.status.st_nlink != 1) {
        inPlace = shown(path) + " has other hard links, so it was written in place";
    } else if (inPlace.empty() && landing.exists &&
               !carryAttributes(temporary.fd(), landing.status)) {
        inPlace = "a new file could not be given the owner, group and mode of " + shown(path) +
                  ", so it was written in place";
    }
    Result result = inPlace.empty() ? replaceWhole(temporary, path)
                                    : writeInPlace(temporary, path, landing.status);
    if (result) {
        addNote(result, inPlace);
        addNote(result, unfinished);
    }
    return result;
}

std::string unfinishedSavesNote(const std::string& target) {
    Landing landing;
    if (!followLinks(target, landing) || !landing.exists || !S_ISREG(landing.status.st_mode) ||
        saveInProgress(landing.path)) {
        return "";
    }
    Result noted;
    addNote(noted, unfinishedSavesSentence(landing.path));
    return noted.message;
}
