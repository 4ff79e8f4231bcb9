#pragma once

#include <sys/stat.h>

#include <string>

// An exclusive advisory lock (flock) on a file a save is about to change, held until the object
// goes: saves into one file take turns, so two copies into the same bytes never interleave.
// Programs that take no lock are not held back.
class TargetLock {
  public:
    // How long a save waits for another save of the same file to finish.
    static constexpr int kWaitSeconds = 120;

    TargetLock() = default;
    ~TargetLock();
    TargetLock(const TargetLock&) = delete;
    TargetLock& operator=(const TargetLock&) = delete;

    // Locks the file at path (not followed if a link), waiting while another save holds it, and
    // fills status with the locked file's. 0 once locked; ESTALE when path names another file
    // by then (a save put its text there meanwhile: look again); ETIMEDOUT after kWaitSeconds;
    // another errno when the file cannot be opened or locked, which leaves it unlocked.
    int lock(const std::string& path, struct stat& status);

  private:
    int fd_ = -1;
};

// Whether a save holds the lock on the file at path at this moment.
bool saveInProgress(const std::string& path);
