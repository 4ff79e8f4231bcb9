#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

// What a test ran in a child process gave back: whether the child exited normally, with which
// status or by which signal, and the text its work returned.
struct ChildOutcome {
    bool exited = false;
    int status = -1;  // the exit status, when it exited
    int signal = 0;   // the signal that ended it, when it did not
    std::string text;
};

// Runs `work` in a forked child (for what may end the process, run out of memory or change the
// user) and hands its text back through a pipe; the child exits with 0 once the text is written,
// or work itself may end it with _exit.
inline ChildOutcome runInChild(const std::function<std::string()>& work) {
    ChildOutcome outcome;
    int channel[2];
    if (pipe(channel) != 0) {
        return outcome;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const std::string text = work();
        const ssize_t written = write(channel[1], text.data(), text.size());
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 3);
    }
    close(channel[1]);
    char block[4096];
    for (ssize_t n; (n = read(channel[0], block, sizeof block)) > 0;) {
        outcome.text.append(block, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child) {
        outcome.exited = WIFEXITED(status);
        outcome.status = outcome.exited ? WEXITSTATUS(status) : -1;
        outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
    return outcome;
}

// A field of this process's /proc/self/status in kB (VmRSS: resident now, VmHWM: its peak), -1
// where the system has none. Writing 5 to /proc/self/clear_refs restarts the peak at the resident
// size of now.
inline double statusKB(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0)
            return std::atof(line.c_str() + std::strlen(field));
    }
    return -1.0;
}
