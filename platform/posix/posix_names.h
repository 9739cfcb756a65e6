#pragma once

#include <string>

namespace platform::posix {

// POSIX shared-memory and semaphore names carry one leading slash.
inline std::string ObjectName(const std::string& name) { return name.starts_with('/') ? name : "/" + name; }

} // namespace platform::posix
