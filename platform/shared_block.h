// A named block of shared memory, mapped whole, read and written in place by two
// processes of the same user. The hand-off channel lays its request and answer areas
// over it. POSIX maps it to shm_open (platform/posix/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform {

class SharedBlock {
public:
    virtual ~SharedBlock() = default;

    virtual std::uint8_t* Data() = 0;
    virtual std::size_t Size() const = 0;
    virtual bool Created() const = 0;
    // The same for every opening of one block, and told apart from any other block that
    // exists while this one is open: a block made anew under the same name differs.
    virtual std::uint64_t Identity() const = 0;
    // Whether closing removes the name; by default only the side that created it does.
    virtual void SetUnlinkOnClose(bool unlink) = 0;
};

// Creates the block or reuses one of the same name (grown to the size when smaller),
// mapping exactly `size` bytes. Null when it cannot be made or belongs to another user.
std::unique_ptr<SharedBlock> CreateSharedBlock(const std::string& name, std::size_t size);

// Opens an existing block and maps it whole. Null when there is none, it is empty, or it
// belongs to another user.
std::unique_ptr<SharedBlock> OpenSharedBlock(const std::string& name);

// The size of an existing block of ours (0 for one that is empty); none when there is no
// such block or it belongs to another user.
std::optional<std::size_t> SharedBlockSize(const std::string& name);

void RemoveSharedBlock(const std::string& name);

} // namespace platform
