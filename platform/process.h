// Starting a program without waiting for it. The child is never killed by us and never
// left a zombie: if it outlives its handle, a reaper collects it when it ends.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class ChildProcess {
public:
    virtual ~ChildProcess() = default;

    // Non-blocking; true once the program has ended (it is reaped then).
    virtual bool HasExited() = 0;
    virtual int Pid() const = 0;
    // Exit status once ended: the exit code, or 128 + signal number.
    virtual int ExitStatus() const = 0;
};

// Starts `program` (a path, not searched in PATH) with the given arguments. Null when it
// cannot be started (missing, not executable).
std::unique_ptr<ChildProcess> StartProcess(const std::string& program, const std::vector<std::string>& arguments);

// This process's id, and whether a process of that id still exists (another user's too).
int CurrentProcessId();
bool ProcessExists(int pid);

// When the process started, in clock ticks after boot (/proc/<pid>/stat, field 22): with
// the pid it names one process, as a pid alone does not once the pid is reused. None when
// there is no such process, it has ended (also when nobody collected it yet), or the
// system does not tell (no /proc).
std::optional<std::uint64_t> ProcessStartTime(int pid);

} // namespace platform
