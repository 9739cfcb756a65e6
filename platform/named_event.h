// A named auto-reset event shared between processes of the same user: one side sets it
// when its answer is in place, the other waits for it. At most one signal is pending.
//
// Used by the hand-off channel (the program's and the sibling tools' sides) and by
// RunAndWait. POSIX maps it to a named semaphore (platform/posix/).
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace platform {

enum class OpenMode {
    CreateOrOpen, // whichever side comes first creates it
    OpenExisting, // fails when nobody made it
};

class NamedEvent {
public:
    virtual ~NamedEvent() = default;

    // Signals; a signal already pending is not doubled.
    virtual bool Set() = 0;
    // Waits up to the timeout and consumes the signal; true when it was set.
    virtual bool Wait(std::chrono::milliseconds timeout) = 0;
    // Drops a pending signal, such as one a crashed run left behind.
    virtual void Drain() = 0;
    // True when this call created the name rather than opening an existing one.
    virtual bool Created() const = 0;
    // Whether closing removes the name; by default only the side that created it does.
    virtual void SetUnlinkOnClose(bool unlink) = 0;
};

// The name is the bare channel name ("__X_SHARE_TO_SERVER_HANDLE_NAME__"). Null when the
// event cannot be made or opened, or when it belongs to another user.
std::unique_ptr<NamedEvent> OpenNamedEvent(const std::string& name, OpenMode mode);

// Removes a leftover name; used by tests and by the launcher's clean-up.
void RemoveNamedEvent(const std::string& name);

} // namespace platform
