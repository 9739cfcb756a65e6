#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/named_event.h"
#include "platform/object_names.h"

using namespace std::chrono_literals;
using platform::OpenMode;

namespace {

std::string TestName(const char* what) { return "__VARNEL_TEST_EVENT_" + std::string(what) + std::to_string(getpid()) + "__"; }

bool Exists(const std::string& name)
{
    struct stat st {};
    return stat(("/dev/shm/sem." + platform::SystemObjectName(name).substr(1)).c_str(), &st) == 0;
}

TEST(NamedEvent, IsAutoResetWithAtMostOneSignalPending)
{
    const std::string name = TestName("a");
    auto creator = platform::OpenNamedEvent(name, OpenMode::CreateOrOpen);
    ASSERT_TRUE(creator);
    EXPECT_TRUE(creator->Created());
    auto other = platform::OpenNamedEvent(name, OpenMode::OpenExisting);
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->Created());

    EXPECT_FALSE(creator->Wait(0ms));
    other->Set();
    other->Set();
    EXPECT_TRUE(creator->Wait(100ms));
    EXPECT_FALSE(creator->Wait(20ms)) << "a second Set while pending is not a second signal";
}

TEST(NamedEvent, CreatorRemovesTheNameAndOpenersDoNot)
{
    const std::string name = TestName("b");
    {
        auto creator = platform::OpenNamedEvent(name, OpenMode::CreateOrOpen);
        ASSERT_TRUE(creator);
        { auto opener = platform::OpenNamedEvent(name, OpenMode::OpenExisting); }
        EXPECT_TRUE(Exists(name));
    }
    EXPECT_FALSE(Exists(name));
    EXPECT_FALSE(platform::OpenNamedEvent(name, OpenMode::OpenExisting));
}

TEST(NamedEvent, StaleSignalCanBeDrained)
{
    const std::string name = TestName("c");
    {
        auto crashed = platform::OpenNamedEvent(name, OpenMode::CreateOrOpen);
        crashed->Set();
        crashed->SetUnlinkOnClose(false); // as if its process died
    }
    auto next = platform::OpenNamedEvent(name, OpenMode::CreateOrOpen);
    ASSERT_TRUE(next);
    EXPECT_FALSE(next->Created());
    next->Drain();
    EXPECT_FALSE(next->Wait(0ms));
    next->SetUnlinkOnClose(true);
}

TEST(NamedEvent, IsPrivateToItsUser)
{
    const std::string name = TestName("d");
    auto e = platform::OpenNamedEvent(name, OpenMode::CreateOrOpen);
    ASSERT_TRUE(e);
    struct stat st {};
    ASSERT_EQ(stat(("/dev/shm/sem." + platform::SystemObjectName(name).substr(1)).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(("/dev/shm/sem." + platform::SystemObjectName(name).substr(1)).c_str(), 65534, 65534), 0);
        EXPECT_FALSE(platform::OpenNamedEvent(name, OpenMode::OpenExisting));
        EXPECT_FALSE(platform::OpenNamedEvent(name, OpenMode::CreateOrOpen));
    }
}

} // namespace
