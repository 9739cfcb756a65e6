#include "support/files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool PathExists(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

std::string ReadWholeFile(const std::string& path)
{
    // Non-blocking only for the open itself: a FIFO must not wait for a writer.
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > static_cast<off_t>(kMaxWholeFileSize)) {
        close(fd);
        return {};
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::string result;
    char block[1030];
    std::size_t total = 0;
    for (;;) {
        // A file that grows while it is read is cut at the limit.
        if (total >= kMaxWholeFileSize)
            break;
        std::memset(block, 0, sizeof block);
        ssize_t n = read(fd, block, 1024);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
        block[n] = '\0';
        result.append(block, std::strlen(block));
    }
    close(fd);
    return result;
}

namespace {

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::string MakeTemporaryPathBeside(const std::string& path)
{
    const std::string folder = FolderOf(path);
    struct stat st {};
    if (path.empty() || stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        NoteWriteFailure(path.empty() ? EINVAL : ENOENT, path);
        return {};
    }
    // Created with 0666 so the kernel applies the umask, as a plain create would; the
    // process umask is never touched (other threads create files meanwhile).
    static std::atomic<unsigned> s_counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%x%x%x", static_cast<unsigned>(getpid()), random(),
                      s_counter.fetch_add(1));
        std::string candidate = folder + "/." + NameOf(path) + suffix;
        int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            return candidate;
        }
        if (errno != EEXIST) {
            NoteWriteFailure(errno, path);
            return {};
        }
    }
    NoteWriteFailure(EEXIST, path);
    return {};
}

bool CommitTemporaryFile(const std::string& temporary, const std::string& path)
{
    if (path.empty()) {
        unlink(temporary.c_str());
        return false;
    }
    // Some file systems report a full disk only when the data is flushed or closed.
    int fd = open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    bool synced = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0)
        synced = close(fd) == 0 && synced;
    if (!synced || rename(temporary.c_str(), path.c_str()) != 0) {
        NoteWriteFailure(errno, path);
        unlink(temporary.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dir = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& content)
{
    return ReplaceFileAtomically(path, [&](const std::string& temporary) {
        int fd = open(temporary.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0)
            return false;
        bool ok = WriteAll(fd, content.data(), content.size());
        ok = close(fd) == 0 && ok;
        return ok;
    });
}
