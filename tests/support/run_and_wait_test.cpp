#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "platform/named_event.h"
#include "support/run.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class RunAndWaitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_name = "__VARNEL_TEST_RUN_" + std::to_string(getpid()) + "__";
        platform::RemoveNamedEvent(m_name);
        m_event = platform::OpenNamedEvent(m_name, platform::OpenMode::CreateOrOpen);
        ASSERT_TRUE(m_event);
        m_pidFile = (fs::temp_directory_path() / (m_name + ".pid")).string();
        fs::remove(m_pidFile);
    }
    void TearDown() override
    {
        m_event.reset();
        fs::remove(m_pidFile);
    }

    bool Run(const std::string& mode, std::uint32_t timeout, std::chrono::milliseconds* took = nullptr)
    {
        const auto start = std::chrono::steady_clock::now();
        bool result = RunAndWait(*m_event, timeout, RUN_HELPER_PATH, m_name + " " + mode + " " + m_pidFile);
        if (took)
            *took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        return result;
    }

    int HelperPid() const
    {
        int pid = 0;
        std::ifstream(m_pidFile) >> pid;
        return pid;
    }

    // A zombie still has /proc/PID; a collected process has none.
    static bool Gone(int pid, std::chrono::milliseconds within)
    {
        const auto until = std::chrono::steady_clock::now() + within;
        while (std::chrono::steady_clock::now() < until) {
            if (!fs::exists("/proc/" + std::to_string(pid)))
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    std::string m_name;
    std::string m_pidFile;
    std::unique_ptr<platform::NamedEvent> m_event;
};

TEST_F(RunAndWaitTest, ToolThatSetsTheEventAndKeepsRunningAnswersAtOnce)
{
    std::chrono::milliseconds took{};
    EXPECT_TRUE(Run("set-and-stay", 60, &took));
    EXPECT_LT(took, 2500ms) << "must not wait for the tool to end";
    const int pid = HelperPid();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(fs::exists("/proc/" + std::to_string(pid))) << "the tool is never stopped";
    EXPECT_TRUE(Gone(pid, 6000ms)) << "the tool is collected once it ends";
}

TEST_F(RunAndWaitTest, ToolThatEndsWithoutSettingGivesNoAnswer)
{
    EXPECT_FALSE(Run("exit", 60));
    EXPECT_TRUE(Gone(HelperPid(), 2000ms));
}

TEST_F(RunAndWaitTest, EventSetJustBeforeTheEndStillCounts)
{
    EXPECT_TRUE(Run("set-and-exit", 60));
}

TEST_F(RunAndWaitTest, DeadlineIsTimeoutPlusAFifth)
{
    std::chrono::milliseconds took{};
    EXPECT_FALSE(Run("sleep", 1, &took));
    EXPECT_GE(took, 1150ms);
    const int pid = HelperPid();
    EXPECT_TRUE(fs::exists("/proc/" + std::to_string(pid))) << "still sleeping, not killed";
    EXPECT_TRUE(Gone(pid, 4000ms)) << "no zombie after outliving the wait";
}

TEST_F(RunAndWaitTest, MissingProgramCannotStart)
{
    EXPECT_FALSE(RunAndWait(*m_event, 5, "/nonexistent/urk/Fennick", ""));
    EXPECT_FALSE(RunAndWait(*m_event, 5, "/etc/hostname", ""));
}

TEST_F(RunAndWaitTest, WhileWaitingRunsDuringTheWait)
{
    int calls = 0;
    std::chrono::milliseconds took{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(RunAndWait(*m_event, 60, RUN_HELPER_PATH, m_name + " sleep " + m_pidFile, [&] {
        if (++calls == 5)
            m_event->Set();
    }));
    took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(calls, 5);
    EXPECT_LT(took, 1500ms) << "answers without waiting for the tool to end";
}

TEST(RunAndWaitMilliseconds, UsesUnsigned32BitArithmetic)
{
    EXPECT_EQ(RunAndWaitMilliseconds(7200), 8640000u);
    EXPECT_EQ(RunAndWaitMilliseconds(0), 0u);
    // 5,000,000 s × 1000 wraps in 32 bits, as the tools always computed it.
    const std::uint32_t ms = 5000000u * 1000u;
    EXPECT_EQ(RunAndWaitMilliseconds(5000000), ms + ms / 5u);
}

} // namespace
