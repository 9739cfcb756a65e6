#include "platform/named_event.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/posix_names.h"

namespace platform {
namespace {

class PosixNamedEvent final : public NamedEvent {
public:
    PosixNamedEvent(sem_t* sem, std::string name, bool created)
        : m_sem(sem), m_name(std::move(name)), m_created(created), m_unlink(created) {}

    ~PosixNamedEvent() override
    {
        sem_close(m_sem);
        if (m_unlink)
            sem_unlink(m_name.c_str());
    }

    bool Set() override
    {
        int value = 0;
        if (sem_getvalue(m_sem, &value) == 0 && value > 0)
            return true;
        return sem_post(m_sem) == 0;
    }

    bool Wait(std::chrono::milliseconds timeout) override
    {
        if (timeout.count() <= 0)
            return TryWait();
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        const long long ns = static_cast<long long>(deadline.tv_nsec) + (timeout.count() % 1000) * 1000000LL;
        deadline.tv_sec += static_cast<time_t>(timeout.count() / 1000 + ns / 1000000000LL);
        deadline.tv_nsec = static_cast<long>(ns % 1000000000LL);
        for (;;) {
            if (sem_timedwait(m_sem, &deadline) == 0)
                return true;
            if (errno != EINTR)
                return false;
        }
    }

    void Drain() override
    {
        while (TryWait()) {
        }
    }

    bool Created() const override { return m_created; }
    void SetUnlinkOnClose(bool unlink) override { m_unlink = unlink; }

private:
    bool TryWait()
    {
        for (;;) {
            if (sem_trywait(m_sem) == 0)
                return true;
            if (errno != EINTR)
                return false;
        }
    }

    sem_t* m_sem;
    std::string m_name;
    bool m_created;
    bool m_unlink;
};

// glibc keeps named semaphores as files "sem.NAME" under /dev/shm.
bool OwnedByUs(const std::string& objectName)
{
    struct stat st {};
    const std::string path = "/dev/shm/sem." + objectName.substr(1);
    if (stat(path.c_str(), &st) != 0)
        return true; // not visible as a file on this system: nothing to check
    return st.st_uid == geteuid();
}

} // namespace

std::unique_ptr<NamedEvent> OpenNamedEvent(const std::string& name, OpenMode mode)
{
    const std::string objectName = posix::ObjectName(name);
    bool created = false;
    sem_t* sem = SEM_FAILED;
    if (mode == OpenMode::CreateOrOpen) {
        sem = sem_open(objectName.c_str(), O_CREAT | O_EXCL, 0600, 0);
        created = sem != SEM_FAILED;
        if (!created && errno != EEXIST)
            return nullptr;
    }
    if (sem == SEM_FAILED)
        sem = sem_open(objectName.c_str(), 0);
    if (sem == SEM_FAILED)
        return nullptr;
    if (!created && !OwnedByUs(objectName)) {
        sem_close(sem);
        return nullptr;
    }
    return std::make_unique<PosixNamedEvent>(sem, objectName, created);
}

void RemoveNamedEvent(const std::string& name) { sem_unlink(posix::ObjectName(name).c_str()); }

} // namespace platform
