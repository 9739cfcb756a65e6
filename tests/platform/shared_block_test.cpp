#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/object_names.h"
#include "platform/shared_block.h"

namespace {

std::string TestName(const char* what) { return "__VARNEL_TEST_BLOCK_" + std::string(what) + std::to_string(getpid()) + "__"; }

TEST(SharedBlock, TwoMappingsSeeTheSameBytes)
{
    const std::string name = TestName("a");
    auto created = platform::CreateSharedBlock(name, 4096);
    ASSERT_TRUE(created);
    EXPECT_TRUE(created->Created());
    EXPECT_EQ(created->Size(), 4096u);
    std::memcpy(created->Data(), "hello", 6);

    auto opened = platform::OpenSharedBlock(name);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->Size(), 4096u);
    EXPECT_STREQ(reinterpret_cast<const char*>(opened->Data()), "hello");
    std::memcpy(opened->Data() + 2048, "EXAM_SAVE", 10);
    EXPECT_STREQ(reinterpret_cast<const char*>(created->Data() + 2048), "EXAM_SAVE");
}

TEST(SharedBlock, ReusedBlockIsGrownAndNameRemovedByCreatorOnly)
{
    const std::string name = TestName("b");
    {
        auto small = platform::CreateSharedBlock(name, 100);
        ASSERT_TRUE(small);
        small->SetUnlinkOnClose(false); // left behind by someone else
    }
    {
        auto reused = platform::CreateSharedBlock(name, 4096);
        ASSERT_TRUE(reused);
        EXPECT_FALSE(reused->Created());
        EXPECT_EQ(reused->Size(), 4096u);
        reused->Data()[4095] = 1; // the whole size is mapped
        reused->SetUnlinkOnClose(true);
    }
    EXPECT_FALSE(platform::OpenSharedBlock(name));
}

TEST(SharedBlock, MissingOrForeignBlocksAreRefused)
{
    EXPECT_FALSE(platform::OpenSharedBlock(TestName("none")));
    const std::string name = TestName("c");
    auto block = platform::CreateSharedBlock(name, 4096);
    ASSERT_TRUE(block);
    struct stat st {};
    ASSERT_EQ(stat(("/dev/shm" + platform::SystemObjectName(name)).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(("/dev/shm" + platform::SystemObjectName(name)).c_str(), 65534, 65534), 0);
        EXPECT_FALSE(platform::OpenSharedBlock(name));
        EXPECT_FALSE(platform::CreateSharedBlock(name, 4096));
    }
}

} // namespace
