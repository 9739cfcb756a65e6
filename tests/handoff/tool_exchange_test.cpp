#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

#include "platform/object_names.h"
#include "tests/handoff/channel_test_support.h"

namespace {

class ToolExchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_word = UniqueWord("TOOL");
        m_marker = std::filesystem::temp_directory_path() / (m_word + ".ran");
        setenv("VARNEL_TEST_CHANNEL_WORD", m_word.c_str(), 1);
        setenv("VARNEL_TEST_MARKER", m_marker.c_str(), 1);
    }
    void TearDown() override
    {
        RemoveChannel(m_word);
        std::filesystem::remove(m_marker);
    }

    std::optional<std::string> Exchange(const std::string& request, const std::function<void()>& whileWaiting = {})
    {
        return handoff::RunToolExchange(m_word, VARNEL_TEST_TOOL, request, whileWaiting);
    }
    bool ToolRan() const { return std::filesystem::exists(m_marker); }

    std::string m_word;
    std::filesystem::path m_marker;
};

TEST(ChannelNames, FollowTheChannelWord)
{
    EXPECT_EQ(handoff::ChannelNamesFor(handoff::kFennickWord).block, "__FENNICK_SHARE_MAPPING_NAME__");
    EXPECT_EQ(handoff::ChannelNamesFor(handoff::kTolvardWord).event, "__TOLVARD_SHARE_TO_SERVER_HANDLE_NAME__");
    EXPECT_EQ(handoff::LauncherChannelNames().block, "__VARNEL_MEM_SHARE_MAPPING_NAME__");
    EXPECT_EQ(handoff::LauncherChannelNames().event, "__VARNEL_MEM_SHARE_TO_SERVER_HANDLE_NAME__");
}

TEST_F(ToolExchange, AnswerIsTakenAndTheNamesAreRemovedAfterwards)
{
    EXPECT_EQ(Exchange("answer:{\"examtext_key\":7}"), "{\"examtext_key\":7}");
    EXPECT_FALSE(ChannelNamesExist(m_word));
}

TEST_F(ToolExchange, EmptyAnswerIsAnAnswer)
{
    const auto answer = Exchange("answer:");
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, "");
}

TEST_F(ToolExchange, ToolThatNeverSetsTheEventGivesNoAnswer)
{
    EXPECT_EQ(Exchange("no-set:written but not announced"), std::nullopt);
    EXPECT_EQ(Exchange("exit"), std::nullopt);
    EXPECT_EQ(Exchange("crash:half an answer"), std::nullopt);
    EXPECT_FALSE(ChannelNamesExist(m_word));
}

TEST_F(ToolExchange, ToolThatCannotStartGivesNoAnswer)
{
    EXPECT_EQ(handoff::RunToolExchange(m_word, "/nonexistent/urk/Fennick", "answer:x"), std::nullopt);
    EXPECT_FALSE(ChannelNamesExist(m_word));
}

TEST_F(ToolExchange, AnswerArrivesAsSoonAsTheEventIsSetWhileTheToolKeepsRunning)
{
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange("set-and-stay:at once"), "at once");
    // The tool stays 15 s; the wait ends with the event.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(ToolExchange, WhileWaitingRunsDuringTheWait)
{
    int calls = 0;
    EXPECT_EQ(Exchange("late:done", [&] { ++calls; }), "done");
    EXPECT_GT(calls, 0);
}

TEST_F(ToolExchange, SecondExchangeStartsFromAZeroFilledBlock)
{
    EXPECT_EQ(Exchange("answer:" + std::string(1500, 'A')), std::string(1500, 'A'));
    EXPECT_EQ(Exchange("check-zero"), "clean");
}

TEST_F(ToolExchange, LeftoverBlockIsReusedAndClearedAndKept)
{
    auto leftover = platform::CreateSharedBlock(handoff::ChannelNamesFor(m_word).block, 8192);
    ASSERT_TRUE(leftover);
    std::memset(leftover->Data(), 0x5A, 8192);

    EXPECT_EQ(Exchange("check-zero"), "clean");
    // The same memory: the answer shows through our own mapping, and the block we made stays.
    EXPECT_EQ(handoff::ReadBoundedText(leftover->Data() + handoff::kAnswerOffset, 100), "clean");
    EXPECT_NE(platform::OpenSharedBlock(handoff::ChannelNamesFor(m_word).block), nullptr);
}

TEST_F(ToolExchange, RequestMustFitItsAreaWithTheTerminator)
{
    const std::string largest = "answer:" + std::string(handoff::kAnswerOffset - 1 - 7, 'r');
    ASSERT_EQ(largest.size(), handoff::kAnswerOffset - 1);
    EXPECT_EQ(Exchange(largest), largest.substr(7));

    std::filesystem::remove(m_marker);
    EXPECT_EQ(Exchange(largest + "r"), std::nullopt);
    EXPECT_FALSE(ToolRan());
    EXPECT_FALSE(ChannelNamesExist(m_word));
}

TEST_F(ToolExchange, ToolSideRefusesAnAnswerThatDoesNotFit)
{
    EXPECT_EQ(Exchange("too-long"), "refused");
}

TEST_F(ToolExchange, UnterminatedAnswerEndsAtTheEndOfTheBlock)
{
    EXPECT_EQ(Exchange("unterminated"), std::string(handoff::kToolBlockSize - handoff::kAnswerOffset, 'x'));
}

TEST_F(ToolExchange, StaleEventFromACrashedRunIsNoAnswer)
{
    auto stale = platform::OpenNamedEvent(handoff::ChannelNamesFor(m_word).event, platform::OpenMode::CreateOrOpen);
    ASSERT_TRUE(stale);
    ASSERT_TRUE(stale->Set());
    EXPECT_EQ(Exchange("exit"), std::nullopt);
    EXPECT_TRUE(ToolRan());
}

TEST_F(ToolExchange, BlockAndEventAreOnlyForTheUser)
{
    EXPECT_EQ(Exchange("modes"), "600 600");
}

TEST_F(ToolExchange, ChannelOfAnotherUserIsRefused)
{
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || !nobody)
        GTEST_SKIP() << "needs root to hand a block to another user";
    const handoff::ChannelNames names = handoff::ChannelNamesFor(m_word);

    auto block = platform::CreateSharedBlock(names.block, handoff::kToolBlockSize);
    ASSERT_TRUE(block);
    std::memset(block->Data(), 0x5A, handoff::kToolBlockSize);
    ASSERT_EQ(chown(("/dev/shm" + platform::SystemObjectName(names.block)).c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    EXPECT_EQ(Exchange("answer:x"), std::nullopt);
    EXPECT_FALSE(ToolRan());
    EXPECT_EQ(block->Data()[0], 0x5A); // nothing written into it
    block.reset();

    auto event = platform::OpenNamedEvent(names.event, platform::OpenMode::CreateOrOpen);
    ASSERT_TRUE(event);
    const std::string eventFile = "/dev/shm/sem." + platform::SystemObjectName(names.event).substr(1);
    ASSERT_EQ(chown(eventFile.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    EXPECT_EQ(Exchange("answer:x"), std::nullopt);
    EXPECT_FALSE(ToolRan());
}

} // namespace
