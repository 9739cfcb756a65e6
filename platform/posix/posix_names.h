#pragma once

#include <string>

#include "platform/object_names.h"

namespace platform::posix {

// POSIX shared-memory and semaphore names: one leading slash, the user and the tag after.
inline std::string ObjectName(const std::string& name) { return SystemObjectName(name); }

} // namespace platform::posix
