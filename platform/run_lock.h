// One editor run per user at a time.
//
// The launcher takes the run lock before it makes its channel and shares it with the
// editor it starts; the editor takes it over, or takes it afresh when started on its own.
// A second launch while either holds it is refused: with one set of channel names per
// user, two runs would answer each other's launchers and tools.
//
// POSIX: a file lock (flock) on a file in the user's runtime folder. The system drops it
// when the last process that holds it ends, however it ends (a kill too), so a crash never
// leaves the user locked out. The file names the process that took the lock last.
#pragma once

#include <memory>
#include <string>

namespace platform {

class RunLock {
public:
    virtual ~RunLock() = default;
    // The next program this process starts holds the lock too and takes it over with
    // TakeRunLock; this process keeps holding it as well.
    virtual void ShareWithNextChild() = 0;
    // True when the lock was taken over from the process that started us.
    virtual bool TakenOver() const = 0;
};

struct RunLockAttempt {
    std::unique_ptr<RunLock> lock; // null when refused or failed
    int holder = 0;                // refused: the process that holds it (0 when unknown)
    std::string error;             // failed rather than refused: why, naming the file
};

// The lock `name` (made user- and tag-scoped by ScopedName) in the user's runtime folder.
RunLockAttempt TakeRunLock(const std::string& name);

// $XDG_RUNTIME_DIR when it is an absolute path to a folder of ours that nobody else may
// enter; otherwise /tmp/varnel-<uid>, made so when missing. Empty, with `error` set, when
// neither is safe (the fallback belongs to someone else, or is not a folder).
std::string UserRuntimeFolder(std::string& error);

} // namespace platform
