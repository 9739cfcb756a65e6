// Starting a program without waiting for it. The child is never killed by us and never
// left a zombie: if it outlives its handle, a reaper collects it when it ends.
#pragma once

#include <memory>
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

} // namespace platform
