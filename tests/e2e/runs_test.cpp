// Runs never cross: one editor per user at a time, each user's channels apart from every
// other user's, and what a killed run left on the channels gone at the next start.
#include "tests/e2e/e2e_testing.h"

#include <csignal>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "handoff/channel.h"
#include "platform/object_names.h"
#include "support/files.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;

fs::path BlockFile(const std::string& name) { return "/dev/shm" + platform::SystemObjectName(name); }
fs::path EventFile(const std::string& name) { return "/dev/shm/sem." + platform::SystemObjectName(name).substr(1); }

class Runs : public System {
protected:
    // Question `key` of kind "exam" for school 1001, user 42, as a launcher hands it over.
    fs::path QuestionFile(unsigned key, const fs::path& workspace)
    {
        const fs::path file = Root() / ("q" + std::to_string(key) + ".json");
        std::ofstream(file) << R"({"exam_key":)" << key << R"(,"exam_local":"exam","obj_option":"D",)"
                            << R"("sbj_option":"N","des_option":"N","difficulty":"d2"})";
        fs::create_directories(QuestionFolder(key, workspace));
        return file;
    }
    static fs::path QuestionFolder(unsigned key, const fs::path& workspace)
    {
        return workspace / "exam" / "d6-000" / "d4-00" / "d2-10" / ("ek-" + std::to_string(key));
    }
    std::vector<std::string> LauncherArguments(const fs::path& question) const
    {
        return {"--school-key", "1001", "--user-key", "42", "--server", "http://demo.invalid",
                "--question",   question.string(), "--editor", VARNEL_DRIVER};
    }
    // The launcher run to its end in the shell; its status and what it printed.
    ShellResult RunLauncher(const fs::path& question, const std::map<std::string, std::string>& environment) const
    {
        std::string command = "env";
        for (const auto& [name, value] : environment)
            command += " " + name + "=" + Quote(value);
        command += " " + Quote(VARNEL_LAUNCHER);
        for (const auto& argument : LauncherArguments(question))
            command += " " + Quote(argument);
        return Shell(command);
    }
    static std::vector<std::string> ReadLines(const fs::path& file)
    {
        std::vector<std::string> lines;
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    static bool WaitForLine(const fs::path& log, const std::string& prefix, Child& child)
    {
        for (int i = 0; i < 3600; ++i) {
            if (!LinesStartingWith(ReadLines(log), prefix).empty())
                return true;
            if (!child.Running())
                return false;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }
    // The process that holds this test's run lock, as its lock file names it.
    int LockHolder() const
    {
        const fs::path lock = RuntimeFolder() / (platform::ScopedName(handoff::kRunLockName) + ".lock");
        return std::atoi(ReadWholeFile(lock.string()).c_str());
    }
};

// While an editor of the user is open, a second launch and an editor started on its own
// are refused with a message and touch nothing of it; the lock goes with the editor, also
// when the editor is killed.
TEST_F(Runs, ASecondLaunchOfTheSameUserIsRefusedWhileAnEditorIsOpen)
{
    const fs::path go = Root() / "go";
    const auto first = Start(VARNEL_LAUNCHER, LauncherArguments(QuestionFile(1001, Workspace(1001, 42))),
                             DriverEnvironment("wait-then-save", {{"VARNEL_DRIVER_GO", go.string()}}));
    ASSERT_TRUE(WaitForLine(m_log, "state filled", *first));
    const int editor = LockHolder();
    EXPECT_GT(editor, 0);

    const ShellResult second = RunLauncher(QuestionFile(1002, Workspace(1001, 42)), DriverEnvironment("demo"));
    EXPECT_EQ(second.status, 2) << second.output;
    EXPECT_NE(second.output.find("already open (process " + std::to_string(editor) + ")"), std::string::npos)
        << second.output;

    const fs::path ownLog = Root() / "on-its-own.log";
    const auto own = Start(VARNEL_DRIVER, {}, DriverEnvironment("probe", {{"VARNEL_DRIVER_LOG", ownLog.string()}}));
    EXPECT_EQ(own->Wait(3min), 0);
    const std::string refused = "문제 편집 창이 이미 열려 있습니다(프로세스 " + std::to_string(editor) + ")";
    EXPECT_EQ(LinesStartingWith(ReadLines(ownLog), "message " + refused).size(), 1u) << ReadWholeFile(ownLog.string());

    std::ofstream(go.string()) << "go";
    EXPECT_EQ(first->Wait(3min), 0) << "the first launcher was not told of its save";
    EXPECT_TRUE(DatParses(QuestionFolder(1001, Workspace(1001, 42)) / "1001.dat"));
    EXPECT_TRUE(fs::is_empty(QuestionFolder(1002, Workspace(1001, 42)))) << "the refused runs wrote";

    // An editor killed while open: the next launch is not refused.
    ClearLog();
    fs::remove(go);
    const auto killed = Start(VARNEL_LAUNCHER, LauncherArguments(QuestionFile(1003, Workspace(1001, 42))),
                              DriverEnvironment("wait-then-save", {{"VARNEL_DRIVER_GO", go.string()}}));
    ASSERT_TRUE(WaitForLine(m_log, "state filled", *killed));
    ASSERT_GT(LockHolder(), 0);
    kill(LockHolder(), SIGKILL);
    EXPECT_EQ(killed->Wait(1min), 1) << "the launcher saw no save";
    ClearLog();
    const ShellResult next = RunLauncher(QuestionFile(1004, Workspace(1001, 42)), DriverEnvironment("probe"));
    EXPECT_EQ(next.status, 1) << next.output; // it ran, and ended without a save
    EXPECT_NE(next.output.find("without a save"), std::string::npos) << next.output;
}

// Two users, the same channel tag: each user's launcher and editor meet only each other,
// and both questions are saved and reported. Needs root, for the second user.
TEST_F(Runs, TwoUsersOnOneMachineBothWork)
{
    constexpr uid_t kOther = 65534;
    if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "needs root and setpriv to run as a second user";
    const fs::path other = Root() / "other";
    for (const char* folder : {"data", "runtime", "home"})
        fs::create_directories(other / folder);
    const fs::path otherWorkspace = other / "data" / "korvane" / "telquin" / "1001" / "42";
    const fs::path otherQuestion = QuestionFile(1001, otherWorkspace);
    ASSERT_EQ(Shell("chown -R " + std::to_string(kOther) + ":" + std::to_string(kOther) + " " + Quote(other.string()))
                  .status,
              0);
    ASSERT_EQ(chmod(other.c_str(), 0755), 0);
    ASSERT_EQ(chmod((other / "runtime").c_str(), 0700), 0);
    ASSERT_EQ(chmod(Root().c_str(), 0711), 0);
    ASSERT_EQ(chmod(otherQuestion.c_str(), 0644), 0);

    const fs::path go = Root() / "go";
    const fs::path otherLog = other / "driver.log";
    auto otherEnvironment = DriverEnvironment("wait-then-save", {{"VARNEL_DRIVER_GO", go.string()}});
    otherEnvironment["XDG_DATA_HOME"] = (other / "data").string();
    otherEnvironment["XDG_RUNTIME_DIR"] = (other / "runtime").string();
    otherEnvironment["HOME"] = (other / "home").string();
    otherEnvironment["VARNEL_DRIVER_LOG"] = otherLog.string();
    std::vector<std::string> asOther = {"--reuid=" + std::to_string(kOther), "--regid=" + std::to_string(kOther),
                                        "--clear-groups", VARNEL_LAUNCHER};
    for (const auto& argument : LauncherArguments(otherQuestion))
        asOther.push_back(argument);

    const auto ours = Start(VARNEL_LAUNCHER, LauncherArguments(QuestionFile(1001, Workspace(1001, 42))),
                            DriverEnvironment("wait-then-save", {{"VARNEL_DRIVER_GO", go.string()}}));
    const auto theirs = Start("/usr/bin/setpriv", asOther, otherEnvironment);
    ASSERT_TRUE(WaitForLine(m_log, "state filled", *ours));
    ASSERT_TRUE(WaitForLine(otherLog, "state filled", *theirs)) << ReadWholeFile(otherLog.string());
    // One Launcher block each, the same base name, the user after it.
    const std::string launcherBlock = handoff::LauncherChannelNames().block;
    struct stat st {};
    ASSERT_EQ(stat(BlockFile(launcherBlock).c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    const std::string theirBlock = BlockFile(launcherBlock).string();
    const std::string theirName = theirBlock.substr(0, theirBlock.find(".u0")) + ".u" + std::to_string(kOther) +
                                  theirBlock.substr(theirBlock.find(".u0") + 3);
    ASSERT_EQ(stat(theirName.c_str(), &st), 0) << theirName;
    EXPECT_EQ(st.st_uid, kOther);

    std::ofstream(go.string()) << "go";
    EXPECT_EQ(ours->Wait(3min), 0) << "our launcher was not told of our save";
    EXPECT_EQ(theirs->Wait(3min), 0) << "their launcher was not told of their save";
    EXPECT_TRUE(DatParses(QuestionFolder(1001, Workspace(1001, 42)) / "1001.dat"));
    EXPECT_TRUE(DatParses(QuestionFolder(1001, otherWorkspace) / "1001.dat"));
    EXPECT_TRUE(LinesStartingWith(Log(), "message ").empty());
    EXPECT_TRUE(LinesStartingWith(ReadLines(otherLog), "message ").empty());
}

// An editor killed while its cropper runs leaves the cropper's block and event behind;
// the next start removes them, and a dead launcher's block, but nothing of another run.
TEST_F(Runs, WhatAKilledRunLeftIsRemovedAtTheNextStart)
{
    ReplaceTool("Tolvard", "while :; do sleep 1; done"); // still running when the editor is killed
    auto driver = StartDriver("busy-probe");
    ASSERT_TRUE(WaitForLine(m_log, "busy ", *driver)) << "the cropper never ran";
    // The dialog may be busy a moment before the cropper's channel exists.
    const handoff::ChannelNames cropper = handoff::ChannelNamesFor(handoff::kTolvardWord);
    for (int i = 0; i < 500 && !(fs::exists(BlockFile(cropper.block)) && fs::exists(EventFile(cropper.event))); ++i)
        std::this_thread::sleep_for(20ms);
    driver->Kill(SIGKILL);
    driver->Wait(10s);
    ASSERT_TRUE(fs::exists(BlockFile(cropper.block)));
    ASSERT_TRUE(fs::exists(EventFile(cropper.event)));

    // A launcher killed before it could remove its block, and the cropper channel of a
    // run under another tag, still going on.
    const handoff::ChannelNames launcher = handoff::LauncherChannelNames();
    int endedPid = 0;
    {
        const std::size_t size = handoff::kLauncherPidOffset + handoff::kLauncherPidAreaSize;
        auto block = platform::CreateSharedBlock(launcher.block, size);
        ASSERT_TRUE(block);
        block->SetUnlinkOnClose(false);
        auto ended = Start("/bin/true", {}, {});
        const int pid = ended->Pid();
        endedPid = pid;
        ended->Wait(10s);
        handoff::WriteLauncherMark(block->Data(), block->Size(), {pid, 0});
    }
    setenv("VARNEL_CHANNEL_TAG", (m_tag + "other").c_str(), 1);
    auto elsewhere = platform::CreateSharedBlock(cropper.block, handoff::kToolBlockSize);
    const fs::path elsewhereFile = BlockFile(cropper.block);
    setenv("VARNEL_CHANNEL_TAG", m_tag.c_str(), 1);
    ASSERT_TRUE(elsewhere);

    // The typed panes a killed save kept aside, and those of a run still going on.
    const fs::path keptByEnded = fs::temp_directory_path() / ("varnel-panes-" + std::to_string(endedPid) + "-e2e" + m_tag);
    const fs::path keptByLiving = fs::temp_directory_path() / ("varnel-panes-" + std::to_string(getpid()) + "-e2e" + m_tag);
    for (const fs::path& folder : {keptByEnded, keptByLiving}) {
        fs::create_directories(folder);
        std::ofstream(folder / "2.hwp") << "typed";
    }

    ClearLog();
    RunDriver("probe");
    EXPECT_FALSE(fs::exists(keptByEnded));
    EXPECT_TRUE(fs::exists(keptByLiving / "2.hwp")) << "a running save's typed panes were removed";
    fs::remove_all(keptByLiving);
    EXPECT_FALSE(fs::exists(BlockFile(cropper.block)));
    EXPECT_FALSE(fs::exists(EventFile(cropper.event)));
    EXPECT_FALSE(fs::exists(BlockFile(launcher.block)));
    EXPECT_TRUE(fs::exists(elsewhereFile)) << "another run's channel was removed";
}

} // namespace
} // namespace e2e
