// The names of what processes share by name: shared blocks, events and the run lock.
//
// Windows keeps such names per logon session, so two users (or two sessions) never meet.
// POSIX names are machine-wide: here every name carries the user (".u<uid>") and, when
// the environment sets VARNEL_CHANNEL_TAG, that tag too (".t<tag>"), so that test runs
// side by side never meet either. Callers pass the bare names; platform/ adds the rest.
#pragma once

#include <string>

namespace platform {

// "__X_SHARE_MAPPING_NAME__" → "__X_SHARE_MAPPING_NAME__.u1000" (".u1000.tTAG" with a
// tag). A tag of anything but letters, digits, '-' and '_', or longer than 64, is ignored.
std::string ScopedName(const std::string& name);

// The name as the system knows it; on POSIX "/" + ScopedName(name), the file
// "/dev/shm/<it without the slash>" for a block, "/dev/shm/sem.<…>" for an event.
std::string SystemObjectName(const std::string& name);

} // namespace platform
