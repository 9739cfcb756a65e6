// The run lock between real processes: shared with a started program, refused to others
// while held, free again once its holders end, a kill included.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/object_names.h"
#include "platform/run_lock.h"

namespace {

namespace fs = std::filesystem;

class RunLock : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/varnel-run-lock-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_runtime = pattern;
        setenv("XDG_RUNTIME_DIR", m_runtime.c_str(), 1);
        unsetenv("VARNEL_RUN_LOCK_FD");
        m_name = "varnel-lock-test";
    }
    void TearDown() override
    {
        for (pid_t pid : m_children) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        unsetenv("VARNEL_RUN_LOCK_FD");
        fs::remove_all(m_runtime);
    }

    // A forked process that takes the lock (taking over what it inherited) and then
    // waits to be killed; its exit status says how the taking went when it did not hold.
    pid_t ChildHolding()
    {
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            close(ready[0]);
            platform::RunLockAttempt attempt = platform::TakeRunLock(m_name);
            const char state = !attempt.lock ? 'r' : attempt.lock->TakenOver() ? 't' : 'f';
            [[maybe_unused]] const ssize_t sent = write(ready[1], &state, 1);
            if (!attempt.lock)
                _exit(3);
            pause();
            _exit(0);
        }
        close(ready[1]);
        char state = 0;
        EXPECT_EQ(read(ready[0], &state, 1), 1);
        close(ready[0]);
        m_children.push_back(pid);
        m_lastState = state;
        return pid;
    }
    void Kill(pid_t pid)
    {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        std::erase(m_children, pid);
    }

    fs::path m_runtime;
    std::string m_name;
    std::vector<pid_t> m_children;
    char m_lastState = 0;
};

TEST_F(RunLock, IsSharedWithTheStartedProgramWhichHoldsItAlone)
{
    platform::RunLockAttempt first = platform::TakeRunLock(m_name);
    ASSERT_TRUE(first.lock) << first.error;
    first.lock->ShareWithNextChild();
    const pid_t editor = ChildHolding();
    EXPECT_EQ(m_lastState, 't') << "taken over from its starter";
    unsetenv("VARNEL_RUN_LOCK_FD"); // the next programs are strangers
    first.lock.reset();             // the launcher ends; the editor still holds the lock

    ChildHolding();
    EXPECT_EQ(m_lastState, 'r') << "a second run while the editor is open";
    platform::RunLockAttempt here = platform::TakeRunLock(m_name);
    EXPECT_FALSE(here.lock);
    EXPECT_TRUE(here.error.empty()) << here.error;
    EXPECT_EQ(here.holder, editor) << "the lock names the editor that took it over";
    Kill(editor);
    ChildHolding();
    EXPECT_EQ(m_lastState, 'f');
}

TEST_F(RunLock, RuntimeFolderOpenToOthersIsNotUsed)
{
    ASSERT_EQ(chmod(m_runtime.c_str(), 0755), 0);
    std::string error;
    const std::string folder = platform::UserRuntimeFolder(error);
    EXPECT_EQ(folder, "/tmp/varnel-" + std::to_string(geteuid())) << error;
    struct stat st {};
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, geteuid());
}

} // namespace
