#include "platform/process.h"

#include <csignal>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform {
namespace {

class PosixChildProcess final : public ChildProcess {
public:
    explicit PosixChildProcess(pid_t pid) : m_pid(pid) {}

    ~PosixChildProcess() override
    {
        if (!HasExited()) {
            // We never stop the program; someone must still collect it when it ends.
            std::thread([pid = m_pid] {
                int status = 0;
                while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        }
    }

    bool HasExited() override
    {
        if (m_exited)
            return true;
        int status = 0;
        pid_t r = waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            m_exited = true;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else if (r < 0 && errno == ECHILD) {
            m_exited = true; // collected elsewhere
        }
        return m_exited;
    }

    int Pid() const override { return m_pid; }
    int ExitStatus() const override { return m_status; }

private:
    pid_t m_pid;
    bool m_exited = false;
    int m_status = -1;
};

} // namespace

std::unique_ptr<ChildProcess> StartProcess(const std::string& program, const std::vector<std::string>& arguments)
{
    if (program.empty())
        return nullptr;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    // glibc's posix_spawn reports a failed exec (missing or not executable) as its result.
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return nullptr;
    return std::make_unique<PosixChildProcess>(pid);
}

int CurrentProcessId() { return static_cast<int>(getpid()); }

bool ProcessExists(int pid)
{
    if (pid <= 0)
        return false;
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

std::optional<std::uint64_t> ProcessStartTime(int pid)
{
    if (pid <= 0)
        return std::nullopt;
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!file || !std::getline(file, stat))
        return std::nullopt;
    // The program name (field 2) is in parentheses and may hold blanks and parentheses
    // itself; the fields after it start at the last ')'.
    const auto close = stat.rfind(')');
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(stat.substr(close + 1));
    std::string field;
    fields >> field; // field 3, the state
    if (field.empty() || field == "Z" || field == "X")
        return std::nullopt;
    for (int number = 4; number <= 22; ++number) {
        if (!(fields >> field))
            return std::nullopt;
    }
    if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos || field.size() > 19)
        return std::nullopt;
    return std::stoull(field);
}

} // namespace platform
