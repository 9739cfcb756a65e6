#include "platform/run_lock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/object_names.h"

namespace platform {
namespace {

// The descriptor a launcher shared with the program it started.
constexpr const char* kSharedLockVariable = "VARNEL_RUN_LOCK_FD";

bool PrivateFolderOfOurs(const std::string& path)
{
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & 077) == 0;
}

class PosixRunLock final : public RunLock {
public:
    PosixRunLock(int fd, bool takenOver) : m_fd(fd), m_takenOver(takenOver)
    {
        // Who holds it, for the message of a refused second run.
        const std::string pid = std::to_string(getpid()) + "\n";
        if (ftruncate(m_fd, 0) == 0) {
            [[maybe_unused]] const ssize_t written = pwrite(m_fd, pid.data(), pid.size(), 0);
        }
    }
    ~PosixRunLock() override { close(m_fd); }

    void ShareWithNextChild() override
    {
        const int flags = fcntl(m_fd, F_GETFD);
        if (flags >= 0)
            fcntl(m_fd, F_SETFD, flags & ~FD_CLOEXEC);
        setenv(kSharedLockVariable, std::to_string(m_fd).c_str(), 1);
    }
    bool TakenOver() const override { return m_takenOver; }

private:
    int m_fd;
    bool m_takenOver;
};

// The shared descriptor when it is an open file description of `path` that holds the
// lock (or can take it); -1 otherwise.
int SharedDescriptorFor(const std::string& path)
{
    const char* text = std::getenv(kSharedLockVariable);
    if (!text || !*text || std::strspn(text, "0123456789") != std::strlen(text) || std::strlen(text) > 6)
        return -1;
    const int fd = std::atoi(text);
    struct stat shared {}, named {};
    if (fstat(fd, &shared) != 0 || stat(path.c_str(), &named) != 0 || shared.st_dev != named.st_dev ||
        shared.st_ino != named.st_ino)
        return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return -1;
    // Ours from now on; programs we start do not hold it.
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    return fd;
}

int HolderNamedIn(int fd)
{
    char text[32] = {};
    const ssize_t got = pread(fd, text, sizeof text - 1, 0);
    return got > 0 ? std::atoi(text) : 0;
}

} // namespace

std::string UserRuntimeFolder(std::string& error)
{
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg && xdg[0] == '/' && PrivateFolderOfOurs(xdg))
        return xdg;
    const std::string fallback = "/tmp/varnel-" + std::to_string(geteuid());
    if (mkdir(fallback.c_str(), 0700) != 0 && errno != EEXIST) {
        error = fallback + ": " + std::strerror(errno);
        return {};
    }
    struct stat st {};
    if (lstat(fallback.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
        error = fallback + " is not a folder of this user";
        return {};
    }
    if ((st.st_mode & 077) != 0 && chmod(fallback.c_str(), 0700) != 0) {
        error = fallback + ": " + std::strerror(errno);
        return {};
    }
    return fallback;
}

RunLockAttempt TakeRunLock(const std::string& name)
{
    RunLockAttempt attempt;
    const std::string folder = UserRuntimeFolder(attempt.error);
    if (folder.empty())
        return attempt;
    const std::string path = folder + "/" + ScopedName(name) + ".lock";
    if (const int shared = SharedDescriptorFor(path); shared >= 0) {
        attempt.lock = std::make_unique<PosixRunLock>(shared, true);
        return attempt;
    }
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        attempt.error = path + ": " + std::strerror(errno);
        return attempt;
    }
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EWOULDBLOCK)
            attempt.holder = HolderNamedIn(fd);
        else
            attempt.error = path + ": " + std::strerror(errno);
        close(fd);
        return attempt;
    }
    attempt.lock = std::make_unique<PosixRunLock>(fd, false);
    return attempt;
}

} // namespace platform
