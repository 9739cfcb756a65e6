#include "support/write_failure.h"

#include <cerrno>
#include <cstring>
#include <mutex>

namespace {

std::mutex s_lock;
WriteFailureWatch* s_innermost = nullptr;

} // namespace

WriteFailureWatch::WriteFailureWatch()
{
    const std::lock_guard hold(s_lock);
    m_outer = s_innermost;
    s_innermost = this;
}

WriteFailureWatch::~WriteFailureWatch()
{
    const std::lock_guard hold(s_lock);
    // Watches end in the reverse order of their start (they live on one thread's stack).
    if (s_innermost == this)
        s_innermost = m_outer;
}

std::optional<WriteFailure> WriteFailureWatch::First() const
{
    const std::lock_guard hold(s_lock);
    return m_first;
}

void NoteWriteFailure(int error, const std::string& path)
{
    const std::lock_guard hold(s_lock);
    for (WriteFailureWatch* watch = s_innermost; watch != nullptr; watch = watch->m_outer) {
        if (!watch->m_first)
            watch->m_first = WriteFailure{error != 0 ? error : EIO, path};
    }
}

std::string WriteFailureCause(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "디스크 공간이 부족합니다.";
    case EACCES:
    case EPERM:
    case EROFS:
        return "쓰기 권한이 없습니다.";
    default:
        return std::string("파일을 쓸 수 없습니다. (") + std::strerror(error) + ")";
    }
}
