#include <cstring>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/object_names.h"
#include "platform/process.h"
#include "tests/handoff/channel_test_support.h"

namespace {

TEST(LauncherSide, ReadsTheLaunchTextAndAnswersExamSaveOnce)
{
    const std::string word = UniqueWord("LAUNCHER");
    const handoff::ChannelNames names = handoff::ChannelNamesFor(word);
    const std::filesystem::path ready = std::filesystem::temp_directory_path() / (word + ".ready");
    const std::string launchText = R"({"user_info":{"user_key":12,"school_key":34,"web_svr":"http://s"}})";

    auto launcher = platform::StartProcess(VARNEL_LAUNCHER_STUB, {word, "8192", launchText, ready.string()});
    ASSERT_TRUE(launcher);
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(ready); }));

    // As the program does: the first mapping stays open while the answer is written.
    auto channel = handoff::LauncherChannel::Open(names);
    ASSERT_TRUE(channel);
    EXPECT_EQ(channel->LaunchText(), launchText);
    EXPECT_TRUE(handoff::AnswerLauncher("EXAM_SAVE", names));

    ASSERT_TRUE(WaitUntil([&] { return launcher->HasExited(); }));
    EXPECT_EQ(launcher->ExitStatus(), 0) << "10 no answer, 11 block changed, 12 event set twice";
    std::filesystem::remove(ready);
    RemoveChannel(word);
}

TEST(LauncherSide, MissingBlockIsReportedAndLeavesNothingBehind)
{
    const std::string word = UniqueWord("NOBLOCK");
    const handoff::ChannelNames names = handoff::ChannelNamesFor(word);
    EXPECT_EQ(handoff::LauncherChannel::Open(names), nullptr);
    EXPECT_FALSE(handoff::AnswerLauncher("EXAM_SAVE", names));
    EXPECT_FALSE(ChannelNamesExist(word));
}

TEST(LauncherSide, BlockTooSmallForTheAnswerIsLeftUntouched)
{
    const std::string word = UniqueWord("SMALL");
    const handoff::ChannelNames names = handoff::ChannelNamesFor(word);
    auto block = platform::CreateSharedBlock(names.block, handoff::kAnswerOffset + 9);
    auto event = platform::OpenNamedEvent(names.event, platform::OpenMode::CreateOrOpen);
    ASSERT_TRUE(block && event);
    std::memset(block->Data(), 0xA5, block->Size());

    EXPECT_FALSE(handoff::AnswerLauncher("EXAM_SAVE", names));
    for (std::size_t i = 0; i < block->Size(); ++i)
        ASSERT_EQ(block->Data()[i], 0xA5) << i;
    EXPECT_FALSE(event->Wait(std::chrono::milliseconds(0)));

    // Ten bytes fit exactly.
    auto larger = platform::CreateSharedBlock(names.block, handoff::kAnswerOffset + 10);
    ASSERT_TRUE(larger);
    EXPECT_TRUE(handoff::AnswerLauncher("EXAM_SAVE", names));
    EXPECT_EQ(std::memcmp(larger->Data() + handoff::kAnswerOffset, "EXAM_SAVE", 10), 0);
    EXPECT_TRUE(event->Wait(std::chrono::milliseconds(0)));
}

TEST(LauncherSide, LaunchTextWithoutTerminatorEndsAtTheEndOfTheBlock)
{
    const std::string word = UniqueWord("UNTERMINATED");
    auto block = platform::CreateSharedBlock(handoff::ChannelNamesFor(word).block, 3000);
    ASSERT_TRUE(block);
    std::memset(block->Data(), 'L', block->Size());

    auto channel = handoff::LauncherChannel::Open(handoff::ChannelNamesFor(word));
    ASSERT_TRUE(channel);
    EXPECT_EQ(channel->LaunchText(), std::string(3000, 'L'));
}

// A block made by a launcher that then died: its pid names a process that has ended.
int PidOfAnEndedProcess()
{
    auto child = platform::StartProcess("/bin/true", {});
    if (!child)
        return 0;
    const int pid = child->Pid();
    WaitUntil([&] { return child->HasExited(); });
    return pid;
}

TEST(LauncherSide, ABlockWhoseLauncherIsGoneIsNoLaunchAndIsRemoved)
{
    const std::string word = UniqueWord("CRASHED");
    const handoff::ChannelNames names = handoff::ChannelNamesFor(word);
    const std::size_t size = handoff::kLauncherPidOffset + handoff::kLauncherPidAreaSize;
    {
        auto block = platform::CreateSharedBlock(names.block, size);
        auto event = platform::OpenNamedEvent(names.event, platform::OpenMode::CreateOrOpen);
        ASSERT_TRUE(block && event);
        block->SetUnlinkOnClose(false);
        event->SetUnlinkOnClose(false);
        std::memcpy(block->Data(), "{}", 3);
        const int pid = PidOfAnEndedProcess();
        ASSERT_GT(pid, 0);
        ASSERT_TRUE(handoff::WriteLauncherPid(block->Data(), block->Size(), pid));
        EXPECT_EQ(handoff::ReadLauncherPid(block->Data(), block->Size()), pid);
    }
    EXPECT_FALSE(handoff::AnswerLauncher("EXAM_SAVE", names)) << "nobody would learn of the save";
    EXPECT_EQ(handoff::LauncherChannel::Open(names), nullptr);
    EXPECT_FALSE(ChannelNamesExist(word)) << "the stale block and event are removed";
    RemoveChannel(word);
}

// Marks of processes that run, ended, ended unseen (not collected yet) or whose pid now
// belongs to another process (here: ours, with a start time not ours).
TEST(LauncherSide, OnlyAMarkOfTheVeryProcessThatStillRunsIsAlive)
{
    const int self = platform::CurrentProcessId();
    const auto started = platform::ProcessStartTime(self);
    ASSERT_TRUE(started) << "no start times on this system";
    const pid_t zombie = fork();
    if (zombie == 0)
        _exit(0);
    ASSERT_TRUE(WaitUntil([&] { return !platform::ProcessStartTime(zombie); }));
    const struct {
        const char* what;
        handoff::LauncherMark mark;
        bool alive;
    } cases[] = {
        {"running, start time given", {self, *started}, true},
        {"running, pid alone", {self, 0}, true},
        {"pid reused", {self, *started + 1}, false},
        {"ended", {PidOfAnEndedProcess(), 0}, false},
        {"ended, not collected", {zombie, 0}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(handoff::LauncherAlive(c.mark), c.alive) << c.what;
    waitpid(zombie, nullptr, 0);
}

// The launcher that started the editor is the one told, and no other: not a process
// that got its pid later, not a launcher that made the block anew under the same name.
TEST(LauncherSide, OnlyTheLauncherThatStartedTheEditorIsTold)
{
    const std::string word = UniqueWord("REUSED");
    const handoff::ChannelNames names = handoff::ChannelNamesFor(word);
    const std::size_t size = handoff::kLauncherPidOffset + handoff::kLauncherPidAreaSize;
    const int self = platform::CurrentProcessId();
    const std::uint64_t started = platform::ProcessStartTime(self).value_or(1);
    auto event = platform::OpenNamedEvent(names.event, platform::OpenMode::CreateOrOpen);
    ASSERT_TRUE(event);
    {
        auto block = platform::CreateSharedBlock(names.block, size);
        ASSERT_TRUE(block);
        block->SetUnlinkOnClose(false);
        ASSERT_TRUE(handoff::WriteLauncherMark(block->Data(), size, {self, started + 1}));
        EXPECT_EQ(handoff::ReadLauncherMark(block->Data(), size)->startTime, started + 1);
    }
    EXPECT_FALSE(handoff::AnswerLauncher("EXAM_SAVE", names)) << "a reused pid is not the launcher";
    EXPECT_EQ(handoff::LauncherChannel::Open(names), nullptr);
    EXPECT_FALSE(platform::OpenSharedBlock(names.block)) << "its block is removed";
    EXPECT_FALSE(event->Wait(std::chrono::milliseconds(0)));

    event.reset(); // removed with the block; made anew as a launcher would
    event = platform::OpenNamedEvent(names.event, platform::OpenMode::CreateOrOpen);
    ASSERT_TRUE(event && event->Created());
    auto first = platform::CreateSharedBlock(names.block, size);
    ASSERT_TRUE(first && handoff::WriteLauncherPid(first->Data(), size, self));
    auto channel = handoff::LauncherChannel::Open(names);
    ASSERT_TRUE(channel);
    first.reset(); // that launcher ends; another, alive, makes the block anew
    auto second = platform::CreateSharedBlock(names.block, size);
    ASSERT_TRUE(second && second->Created());
    ASSERT_TRUE(handoff::WriteLauncherPid(second->Data(), size, self));
    EXPECT_FALSE(channel->Answer("EXAM_SAVE"));
    EXPECT_EQ(second->Data()[handoff::kAnswerOffset], 0);
    EXPECT_FALSE(event->Wait(std::chrono::milliseconds(0)));
    // Its own block, still there, is answered.
    auto own = handoff::LauncherChannel::Open(names);
    ASSERT_TRUE(own);
    EXPECT_TRUE(own->Answer("EXAM_SAVE"));
    EXPECT_EQ(handoff::ReadBoundedText(second->Data() + handoff::kAnswerOffset, 16), "EXAM_SAVE");
    EXPECT_TRUE(event->Wait(std::chrono::milliseconds(0)));
    RemoveChannel(word);
}

TEST(LauncherSide, ABlockOfALiveLauncherOrWithoutAPidIsALaunch)
{
    const std::string word = UniqueWord("LIVE");
    const handoff::ChannelNames names = handoff::ChannelNamesFor(word);
    auto block = platform::CreateSharedBlock(names.block, handoff::kLauncherPidOffset + handoff::kLauncherPidAreaSize);
    ASSERT_TRUE(block);
    std::memcpy(block->Data(), "{\"a\":1}", 8);
    auto channel = handoff::LauncherChannel::Open(names);
    ASSERT_TRUE(channel) << "no pid mark: trusted";
    EXPECT_EQ(channel->LaunchText(), "{\"a\":1}");

    ASSERT_TRUE(handoff::WriteLauncherPid(block->Data(), block->Size(), platform::CurrentProcessId()));
    EXPECT_TRUE(handoff::LauncherChannel::Open(names));
    EXPECT_TRUE(handoff::AnswerLauncher("EXAM_SAVE", names));
    EXPECT_EQ(handoff::ReadLauncherPid(block->Data(), block->Size()), platform::CurrentProcessId())
        << "the answer stays in its area";
    EXPECT_FALSE(handoff::WriteLauncherPid(block->Data(), handoff::kLauncherPidOffset, 5)) << "no room";
    RemoveChannel(word);
}

TEST(LauncherSide, AnEmptyBlockIsALaunchWithAnEmptyText)
{
    const std::string word = UniqueWord("EMPTY");
    const handoff::ChannelNames names = handoff::ChannelNamesFor(word);
    {
        // shm_open and nothing more: a block of size 0.
        auto block = platform::CreateSharedBlock(names.block, 16);
        ASSERT_TRUE(block);
        block->SetUnlinkOnClose(false);
    }
    ASSERT_EQ(truncate(("/dev/shm" + platform::SystemObjectName(names.block)).c_str(), 0), 0);
    auto channel = handoff::LauncherChannel::Open(names);
    ASSERT_TRUE(channel);
    EXPECT_EQ(channel->LaunchText(), "");
    EXPECT_FALSE(handoff::AnswerLauncher("EXAM_SAVE", names));
    RemoveChannel(word);
}

} // namespace
