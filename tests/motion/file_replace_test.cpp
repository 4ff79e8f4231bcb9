#include "motion/file_replace.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <system_error>
#include <thread>

#include "../child_process.h"
#include "motion_fixtures.h"

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

// The build tree may lie where another user cannot reach (a home folder of mode 700) and deeper
// than a socket's address can name (108 bytes): tests that need either work in a short folder
// under /tmp that every user may enter, removed when the program ends.
struct SharedScratch {
    SharedScratch() {
        if (mkdtemp(name) == nullptr || chmod(name, 0755) != 0)
            throw std::system_error(errno, std::generic_category(), "no folder in /tmp");
    }
    ~SharedScratch() {
        std::error_code ignored;
        fs::remove_all(name, ignored);
    }
    char name[20] = "/tmp/bvhpath-XXXXXX";
};

fs::path freshFolder(const std::string& name, bool shared = false) {
    static const SharedScratch scratch;
    const fs::path folder = (shared ? fs::path(scratch.name) : fs::path(testing::TempDir())) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

// Writes over the file's own bytes, so its hard links stay.
void put(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::function<Result(std::FILE*)> writing(const std::string& text) {
    return [text](std::FILE* file) {
        std::fwrite(text.data(), 1, text.size(), file);
        return Result::success();
    };
}

int entriesIn(const fs::path& folder) {
    return static_cast<int>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

struct stat statusOf(const fs::path& path) {
    struct stat status {};
    lstat(path.c_str(), &status);
    return status;
}

// Runs fn in a child process (as user nobody when asked and running as root) and hands back
// its result; a child ended by a signal comes back as a failure saying so.
Result inChild(const std::function<Result()>& fn, bool asNobody = false) {
    const ChildOutcome outcome = runInChild([&] {
        if (asNobody && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(2);
        }
        const Result result = fn();
        return (result.ok ? "1" : "0") + result.message;
    });
    if (!outcome.exited || outcome.text.empty()) {
        return Result::failure("child ended by signal " + std::to_string(outcome.signal));
    }
    return Result{outcome.text[0] == '1', outcome.text.substr(1)};
}

// Gives the path to the user that inChild(..., true) runs as.
void handToChildUser(const fs::path& path) {
    if (geteuid() == 0) {
        ASSERT_EQ(0, chown(path.c_str(), kNobody, static_cast<gid_t>(-1)));
    }
}

TEST(FileReplace, RefusesWhatIsNotARegularFileAndLeavesItAsItWas) {
    const fs::path folder = freshFolder("replace_special", true);
    std::vector<std::string> names = {"fifo", "folder", "socket", "link_to_fifo"};
    ASSERT_EQ(0, mkfifo((folder / "fifo").c_str(), 0644));
    fs::create_directory(folder / "folder");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT((folder / "socket").string().size(), sizeof address.sun_path);
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", (folder / "socket").c_str());
    const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(0, bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address));
    fs::create_symlink("fifo", folder / "link_to_fifo");
    // A copy of /dev/null's node: saving onto it as root once replaced it with a regular file.
    if (mknod((folder / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        names.push_back("null");
    }
    for (const std::string& name : names) {
        const struct stat before = statusOf(folder / name);
        const Result result = replaceFile((folder / name).string(), writing("text"));
        EXPECT_FALSE(result) << name;
        EXPECT_NE(std::string::npos, result.message.find("is not a regular file")) << name;
        const struct stat after = statusOf(folder / name);
        EXPECT_EQ(before.st_mode, after.st_mode) << name;
        EXPECT_EQ(before.st_ino, after.st_ino) << name;
    }
    EXPECT_EQ(static_cast<int>(names.size()), entriesIn(folder));
    close(socketFd);
}

TEST(FileReplace, SavesThroughLinksAndRefusesALoop) {
    const fs::path folder = freshFolder("replace_links");
    fs::create_directory(folder / "sub");
    fs::create_symlink("second", folder / "first");
    fs::create_symlink("sub/made.bvh", folder / "second");
    ASSERT_TRUE(replaceFile((folder / "first").string(), writing("new")));
    EXPECT_TRUE(fs::is_symlink(folder / "first") && fs::is_symlink(folder / "second"));
    EXPECT_EQ("new", readWhole((folder / "sub/made.bvh").string()));

    fs::create_symlink("loop_b", folder / "loop_a");
    fs::create_symlink("loop_a", folder / "loop_b");
    const Result loop = replaceFile((folder / "loop_a").string(), writing("new"));
    EXPECT_EQ("Error in BVH file output: could not follow the link " +
                  (folder / "loop_a").string() + ": Too many levels of symbolic links",
              loop.message);
    EXPECT_TRUE(fs::is_symlink(folder / "loop_a") && fs::is_symlink(folder / "loop_b"));
    EXPECT_EQ(5, entriesIn(folder));
}

TEST(FileReplace, AHardLinkedFileChangesUnderEveryNameOrNotAtAll) {
    const fs::path folder = freshFolder("replace_hard_link");
    const fs::path name = folder / "a.bvh";
    const fs::path other = folder / "b.bvh";
    put(name, "old");
    fs::create_hard_link(name, other);
    const auto bothRead = [&](const std::string& text) {
        return readWhole(name.string()) == text && readWhole(other.string()) == text;
    };

    const Result cancelled = replaceFile(name.string(), [](std::FILE* file) {
        std::fputs("half", file);
        return Result::failure("Error in BVH file output: cancelled");
    });
    EXPECT_EQ("Error in BVH file output: cancelled", cancelled.message);
    EXPECT_TRUE(bothRead("old"));
    EXPECT_EQ(2, entriesIn(folder));

    ASSERT_TRUE(replaceFile(name.string(), writing("new text")));
    EXPECT_TRUE(bothRead("new text"));
    EXPECT_EQ(2u, statusOf(name).st_nlink);
    EXPECT_EQ(2, entriesIn(folder));

    // The file size limit drops once the text is prepared, so only the step into place fails:
    // growing the target cannot be reserved, and overwriting a longer target stops half-way.
    struct rlimit unlimited;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &unlimited));
    const auto limitedAfter = [&](const std::string& text) {
        return [&unlimited, text](std::FILE* file) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fflush(file);
            struct rlimit small = unlimited;
            small.rlim_cur = 100;
            setrlimit(RLIMIT_FSIZE, &small);
            return Result::success();
        };
    };
    const Result unreserved = replaceFile(name.string(), limitedAfter(std::string(20000, 'n')));
    setrlimit(RLIMIT_FSIZE, &unlimited);
    EXPECT_EQ("Error in BVH file output: could not reserve 20000 bytes for " + name.string() +
                  ": File too large",
              unreserved.message);
    EXPECT_TRUE(bothRead("new text"));
    EXPECT_EQ(2, entriesIn(folder));

    put(name, std::string(20000, 'o'));
    const Result halfCopied = replaceFile(name.string(), limitedAfter(std::string(10000, 'n')));
    setrlimit(RLIMIT_FSIZE, &unlimited);
    const std::size_t kept = halfCopied.message.find("; the whole text is kept in ");
    ASSERT_NE(std::string::npos, kept) << halfCopied.message;
    const std::string keptPath = halfCopied.message.substr(kept + 28);
    EXPECT_EQ(std::string(10000, 'n'), readWhole(keptPath));
    EXPECT_EQ(3, entriesIn(folder));
}

TEST(FileReplace, KeepsModeBitsOwnerAndGroup) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the target another owner and group";
    }
    const fs::path folder = freshFolder("replace_owner", true);
    const fs::path target = folder / "owned.bvh";
    put(target, "old");
    ASSERT_EQ(0, chown(target.c_str(), 1234, 5678));
    ASSERT_EQ(0, chmod(target.c_str(), 02751));
    ASSERT_TRUE(replaceFile(target.string(), writing("new")));
    struct stat saved = statusOf(target);
    EXPECT_EQ(1234u, saved.st_uid);
    EXPECT_EQ(5678u, saved.st_gid);
    EXPECT_EQ(02751u, saved.st_mode & 07777u);

    // Another user cannot give a renamed file a group it is not in: it writes in place instead.
    handToChildUser(folder);
    handToChildUser(target);
    ASSERT_EQ(0, chown(target.c_str(), kNobody, 5678));
    ASSERT_EQ(0, chmod(target.c_str(), 0664));
    const ino_t inode = statusOf(target).st_ino;
    EXPECT_TRUE(inChild([&] { return replaceFile(target.string(), writing("mine")); }, true));
    saved = statusOf(target);
    EXPECT_EQ("mine", readWhole(target.string()));
    EXPECT_EQ(inode, saved.st_ino);
    EXPECT_EQ(5678u, saved.st_gid);
    EXPECT_EQ(0664u, saved.st_mode & 07777u);
}

// As root this runs the saves as user nobody; as any other user, as that user.
TEST(FileReplace, PermissionsOfAnotherUser) {
    const fs::path folder = freshFolder("replace_permissions", true);
    const fs::path locked = folder / "locked";
    const fs::path temporaries = folder / "tmp";
    fs::create_directories(locked);
    fs::create_directories(temporaries);
    put(locked / "kept.bvh", "old");
    put(folder / "protected.bvh", "old");
    for (const fs::path& path :
         {folder, locked, temporaries, locked / "kept.bvh", folder / "protected.bvh"}) {
        handToChildUser(path);
    }
    ASSERT_EQ(0, chmod((folder / "protected.bvh").c_str(), 0444));
    ASSERT_EQ(0, chmod(locked.c_str(), 0555));
    const auto saveAsUser = [](const fs::path& path, const fs::path& tmp) {
        return inChild(
            [&] {
                setenv("TMPDIR", tmp.c_str(), 1);
                return replaceFile(path.string(), writing("new"));
            },
            true);
    };

    const ino_t inode = statusOf(locked / "kept.bvh").st_ino;
    const Result inPlace = saveAsUser(locked / "kept.bvh", temporaries);
    EXPECT_TRUE(inPlace);
    EXPECT_EQ("Note in BVH file output: could not create a temporary file beside " +
                  (locked / "kept.bvh").string() +
                  " (Permission denied), so it was written in place",
              inPlace.message);
    EXPECT_EQ("new", readWhole((locked / "kept.bvh").string()));
    EXPECT_EQ(inode, statusOf(locked / "kept.bvh").st_ino);
    EXPECT_EQ(0, entriesIn(temporaries));

    EXPECT_FALSE(saveAsUser(locked / "absent.bvh", temporaries));
    EXPECT_FALSE(saveAsUser(folder / "protected.bvh", temporaries));
    EXPECT_EQ("old", readWhole((folder / "protected.bvh").string()));
    EXPECT_EQ(1, entriesIn(locked));
    EXPECT_EQ(3, entriesIn(folder));
    chmod(locked.c_str(), 0755);
}

TEST(FileReplace, LongNamesAndTheFileSizeLimit) {
    const fs::path folder = freshFolder("replace_limits");
    const fs::path longName = folder / (std::string(NAME_MAX - 4, 'n') + ".bvh");
    ASSERT_TRUE(replaceFile(longName.string(), writing("new")));
    EXPECT_EQ("new", readWhole(longName.string()));

    // In a child with the signal's default action, which would end the process.
    const fs::path target = folder / "kept.bvh";
    put(target, "old");
    const Result limited = inChild([&] {
        std::signal(SIGXFSZ, SIG_DFL);
        struct rlimit small;
        getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &small);
        return replaceFile(target.string(), writing(std::string(100000, 'x')));
    });
    EXPECT_EQ(
        "Error in BVH file output: could not write file " + target.string() + ": File too large",
        limited.message);
    EXPECT_EQ("old", readWhole(target.string()));
    EXPECT_EQ(2, entriesIn(folder));
}

// A save that starts while another prepares its text for the same hard-linked file waits for
// it: copies into the shared bytes never interleave.
TEST(FileReplace, SavesIntoOneHardLinkedFileTakeTurns) {
    const fs::path name = freshFolder("replace_turns") / "a.bvh";
    put(name, "old");
    fs::create_hard_link(name, name.parent_path() / "b.bvh");
    std::promise<void> started;
    std::string seenBySecond;
    std::thread second;
    EXPECT_TRUE(replaceFile(name.string(), [&](std::FILE* file) {
        second = std::thread([&] {
            EXPECT_TRUE(replaceFile(name.string(), [&](std::FILE* text) {
                seenBySecond = readWhole(name.string());
                started.set_value();
                return writing("second")(text);
            }));
        });
        // Not waiting for good: while this save holds the file, the second cannot start.
        started.get_future().wait_for(std::chrono::milliseconds(200));
        return writing("first")(file);
    }));
    second.join();
    EXPECT_EQ("first", seenBySecond) << "the second save began before the first was in place";
    EXPECT_EQ("second", readWhole((name.parent_path() / "b.bvh").string()));
}

// Killed by the file-size signal during its copy in place, a save leaves its whole text beside
// the half-new target, and the next look at the target names it (a text never whole it does not).
TEST(FileReplace, ASaveKilledDuringItsCopyLeavesItsWholeTextNamed) {
    const fs::path name = freshFolder("replace_killed") / "a.bvh";
    put(name, std::string(20000, 'o'));
    fs::create_hard_link(name, name.parent_path() / "b.bvh");
    put(name.string() + ".writing-abcdef", "half");
    const Result killed = inChild([&] {
        return replaceFile(name.string(), [](std::FILE* file) {
            writing(std::string(10000, 'n'))(file);
            std::fflush(file);
            std::signal(SIGXFSZ, SIG_DFL);
            struct rlimit small;
            getrlimit(RLIMIT_FSIZE, &small);
            small.rlim_cur = 100;
            setrlimit(RLIMIT_FSIZE, &small);
            return Result::success();
        });
    });
    ASSERT_EQ("child ended by signal " + std::to_string(SIGXFSZ), killed.message);
    const std::string note = "Note in BVH file output: ";
    const std::string sentence =
        "an earlier save of " + name.string() + " did not finish; its whole text is kept in ";
    const std::string said = unfinishedSavesNote(name.string());
    ASSERT_EQ(0u, said.find(note + sentence)) << said;
    EXPECT_EQ(std::string(10000, 'n'), readWhole(said.substr((note + sentence).size())));
    EXPECT_EQ(note + name.string() + " has other hard links, so it was written in place; " +
                  said.substr(note.size()),
              replaceFile(name.string(), writing("new")).message);
}

}  // namespace
