#include "platform/shared_block.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/posix_names.h"

namespace platform {
namespace {

class PosixSharedBlock final : public SharedBlock {
public:
    PosixSharedBlock(void* data, std::size_t size, std::string name, bool created, std::uint64_t inode)
        : m_data(static_cast<std::uint8_t*>(data)), m_size(size), m_name(std::move(name)), m_created(created),
          m_unlink(created), m_inode(inode) {}

    ~PosixSharedBlock() override
    {
        munmap(m_data, m_size);
        if (m_unlink)
            shm_unlink(m_name.c_str());
    }

    std::uint8_t* Data() override { return m_data; }
    std::size_t Size() const override { return m_size; }
    bool Created() const override { return m_created; }
    // The file of the name in /dev/shm: its inode stays taken while anyone maps it.
    std::uint64_t Identity() const override { return m_inode; }
    void SetUnlinkOnClose(bool unlink) override { m_unlink = unlink; }

private:
    std::uint8_t* m_data;
    std::size_t m_size;
    std::string m_name;
    bool m_created;
    bool m_unlink;
    std::uint64_t m_inode;
};

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            close(fd);
    }
};

} // namespace

std::unique_ptr<SharedBlock> CreateSharedBlock(const std::string& name, std::size_t size)
{
    if (size == 0)
        return nullptr;
    const std::string objectName = posix::ObjectName(name);
    Fd handle;
    bool created = true;
    handle.fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (handle.fd < 0) {
        if (errno != EEXIST)
            return nullptr;
        created = false;
        handle.fd = shm_open(objectName.c_str(), O_RDWR, 0);
        if (handle.fd < 0)
            return nullptr;
    }
    struct stat st {};
    if (fstat(handle.fd, &st) != 0 || st.st_uid != geteuid())
        return nullptr;
    if (static_cast<std::size_t>(st.st_size) < size && ftruncate(handle.fd, static_cast<off_t>(size)) != 0) {
        if (created)
            shm_unlink(objectName.c_str());
        return nullptr;
    }
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, handle.fd, 0);
    if (data == MAP_FAILED) {
        if (created)
            shm_unlink(objectName.c_str());
        return nullptr;
    }
    return std::make_unique<PosixSharedBlock>(data, size, objectName, created, st.st_ino);
}

std::unique_ptr<SharedBlock> OpenSharedBlock(const std::string& name)
{
    const std::string objectName = posix::ObjectName(name);
    Fd handle;
    handle.fd = shm_open(objectName.c_str(), O_RDWR, 0);
    if (handle.fd < 0)
        return nullptr;
    struct stat st {};
    if (fstat(handle.fd, &st) != 0 || st.st_uid != geteuid() || st.st_size <= 0)
        return nullptr;
    const auto size = static_cast<std::size_t>(st.st_size);
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, handle.fd, 0);
    if (data == MAP_FAILED)
        return nullptr;
    return std::make_unique<PosixSharedBlock>(data, size, objectName, false, st.st_ino);
}

std::optional<std::size_t> SharedBlockSize(const std::string& name)
{
    Fd handle;
    handle.fd = shm_open(posix::ObjectName(name).c_str(), O_RDONLY, 0);
    struct stat st {};
    if (handle.fd < 0 || fstat(handle.fd, &st) != 0 || st.st_uid != geteuid())
        return std::nullopt;
    return static_cast<std::size_t>(st.st_size);
}

void RemoveSharedBlock(const std::string& name) { shm_unlink(posix::ObjectName(name).c_str()); }

} // namespace platform
