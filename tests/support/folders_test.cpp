#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/folders.h"
#include "support/launch_values.h"

namespace fs = std::filesystem;

namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old, m_had = true;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            setenv(m_name, m_old.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

fs::path TempDir()
{
    fs::path dir = fs::temp_directory_path() / ("varnel-folders-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

TEST(FolderRules, QuestionAndPassageFolders)
{
    EXPECT_EQ(QuestionFolderPath(1234567), "d6-001/d4-23/d2-45/ek-1234567");
    EXPECT_EQ(QuestionFolderPath(5), "d6-000/d4-00/d2-00/ek-5");
    EXPECT_EQ(QuestionFolderPath(2147483647), "d6-2147/d4-48/d2-36/ek-2147483647");
    EXPECT_EQ(PassageFolderPath(1234567), "d4-123/d2-45/etk-1234567");
    EXPECT_EQ(PassageFolderPath(99), "d4-00/d2-00/etk-99");
    // Negative numbers print negative groups and the unsigned number.
    EXPECT_EQ(PassageFolderPath(-1), "d4-00/d2-00/etk-4294967295");
    EXPECT_EQ(QuestionFolderPath(-1234567), "d6--01/d4--23/d2--45/ek-4293732729");
}

TEST(KnownFolders, FollowTheEnvironment)
{
    {
        ScopedEnv pf("VARNEL_PROGRAM_FILES", "/srv/apps");
        EXPECT_EQ(GetInstallFolder(), "/srv/apps/korvane/telquin");
    }
    {
        ScopedEnv pf("VARNEL_PROGRAM_FILES", nullptr);
        EXPECT_EQ(GetInstallFolder(), "/opt/korvane/telquin");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/data/x");
        EXPECT_EQ(GetDataFolder(), "/data/x/korvane/telquin");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", "relative/path");
        ScopedEnv home("HOME", "/home/teacher");
        EXPECT_EQ(GetDataFolder(), "/home/teacher/.local/share/korvane/telquin");
    }
    EXPECT_EQ(GetKnownFolder("DESKTOP"), "");
}

TEST(KnownFolders, WorkspaceIsMadeForSchoolAndUser)
{
    const fs::path dir = TempDir();
    ScopedEnv xdg("XDG_DATA_HOME", dir.c_str());
    g_schoolKey = 0;
    g_userKey = 0;
    EXPECT_EQ(GetWorkspaceFolder(), (dir / "korvane/telquin/0/0").string());
    EXPECT_TRUE(fs::is_directory(dir / "korvane/telquin/0/0"));
    g_schoolKey = 4294967295u;
    g_userKey = 12;
    EXPECT_EQ(GetWorkspaceFolder(), (dir / "korvane/telquin/4294967295/12").string());
    g_schoolKey = g_userKey = 0;
    fs::remove_all(dir);
}

TEST(EnsureDirectory, CreatesMissingLevelsAndStopsWhereItMust)
{
    const fs::path dir = TempDir();
    const fs::path deep = dir / "a/b/c";
    EXPECT_TRUE(EnsureDirectory(deep.string() + "/"));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(EnsureDirectory(deep.string()));
    EXPECT_TRUE(EnsureDirectory("/"));
    EXPECT_FALSE(EnsureDirectory(""));
    EXPECT_FALSE(EnsureDirectory("relative/dir"));
    EXPECT_FALSE(fs::exists("relative"));
    // A file in the way is not a folder.
    std::FILE* f = std::fopen((dir / "file").c_str(), "w");
    std::fclose(f);
    EXPECT_FALSE(EnsureDirectory((dir / "file/sub").string()));
    fs::remove_all(dir);
}

} // namespace
