#include "support/folders.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>

#include "platform/known_folders.h"
#include "support/launch_values.h"

std::string GetKnownFolder(const std::string& name) { return platform::KnownFolderPath(name); }

std::string GetInstallFolder() { return GetKnownFolder("PROGRAMFILES") + "/korvane/telquin"; }

std::string GetDataFolder() { return GetKnownFolder("ROAMING") + "/korvane/telquin"; }

std::string GetWorkspaceFolder()
{
    std::string path = GetDataFolder() + "/" + std::to_string(g_schoolKey) + "/" + std::to_string(g_userKey);
    EnsureDirectory(path);
    return path;
}

bool EnsureDirectory(const std::string& input)
{
    std::string path = input;
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (path.empty() || path.front() != '/') {
        errno = EINVAL;
        return false;
    }
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        // errno says why, for the message of a save that cannot make its folder.
        if (!S_ISDIR(st.st_mode))
            errno = ENOTDIR;
        return S_ISDIR(st.st_mode);
    }
    const auto slash = path.rfind('/');
    if (slash > 0 && !EnsureDirectory(path.substr(0, slash)))
        return false;
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

std::string QuestionFolderPath(std::int32_t n)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "d6-%03d/d4-%02d/d2-%02d/ek-%u", n / 1000000, (n % 1000000) / 10000,
                  (n % 10000) / 100, static_cast<std::uint32_t>(n));
    return buf;
}

std::string PassageFolderPath(std::int32_t n)
{
    char buf[80];
    std::snprintf(buf, sizeof buf, "d4-%02d/d2-%02d/etk-%u", n / 10000, (n % 10000) / 100,
                  static_cast<std::uint32_t>(n));
    return buf;
}
