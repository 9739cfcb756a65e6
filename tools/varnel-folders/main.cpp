// Prints where Varnel finds its programs and keeps its data for the current
// environment, and what lives there.
#include <cstdio>
#include <cstdlib>

#include "support/folders.h"
#include "support/launch_values.h"

int main(int argc, char** argv)
{
    if (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::puts("usage: varnel-folders [SCHOOL_KEY USER_KEY]\n"
                  "Prints the install, data and workspace folders Varnel uses.\n"
                  "VARNEL_PROGRAM_FILES and XDG_DATA_HOME move the install and data folders.");
        return 0;
    }
    if (argc == 3) {
        g_schoolKey = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
        g_userKey = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
    }
    const std::string install = GetInstallFolder();
    std::printf("install folder    %s\n", install.c_str());
    std::printf("  passage picker  %s/urk/Fennick\n", install.c_str());
    std::printf("  image cropper   %s/urk/Tolvard\n", install.c_str());
    std::printf("  templates       %s/urk/hwp_format\n", install.c_str());
    std::printf("  button pictures %s/urk/image\n", install.c_str());
    std::printf("data folder       %s\n", GetDataFolder().c_str());
    std::printf("  launch fallback %s/exam.dat\n", GetDataFolder().c_str());
    std::printf("workspace         %s (school %u, user %u)\n", GetWorkspaceFolder().c_str(), g_schoolKey, g_userKey);
    return 0;
}
