// The platform's well-known folders behind the names the program uses.
#pragma once

#include <string>

namespace platform {

// "PROGRAMFILES": $VARNEL_PROGRAM_FILES when set, else /opt.
// "ROAMING": $XDG_DATA_HOME when set and absolute, else $HOME/.local/share.
// Empty for any other name or when the environment gives nothing.
std::string KnownFolderPath(const std::string& name);

} // namespace platform
