#include "platform/known_folders.h"

#include <cstdlib>

namespace platform {
namespace {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

} // namespace

std::string KnownFolderPath(const std::string& name)
{
    if (name == "PROGRAMFILES") {
        std::string v = Env("VARNEL_PROGRAM_FILES");
        return v.empty() ? "/opt" : v;
    }
    if (name == "ROAMING") {
        std::string xdg = Env("XDG_DATA_HOME");
        if (!xdg.empty() && xdg.front() == '/')
            return xdg;
        std::string home = Env("HOME");
        if (home.empty())
            return {};
        return home + "/.local/share";
    }
    return {};
}

} // namespace platform
