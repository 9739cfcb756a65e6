#include <gtest/gtest.h>

#include <atomic>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "support/files.h"
#include "support/write_failure.h"

namespace fs = std::filesystem;

// Every umask call of this process is counted: the conversion thread creates files while
// a temporary is made, so making one must never change the process-wide mask.
namespace {
std::atomic<int> g_umaskCalls{0};
}

extern "C" mode_t umask(mode_t mask)
{
    using Real = mode_t (*)(mode_t);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "umask"));
    ++g_umaskCalls;
    return real(mask);
}

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("varnel-files-" + std::to_string(getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        fs::permissions(m_dir, fs::perms::owner_all);
        fs::remove_all(m_dir);
    }
    std::string Path(const char* name) const { return (m_dir / name).string(); }
    static void Put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    std::size_t Entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_dir), {})); }

    fs::path m_dir;
};

TEST_F(Files, ReadsWholeFilesInBlocks)
{
    const std::string exact(1024, 'x');
    Put(Path("exact"), exact);
    EXPECT_EQ(ReadWholeFile(Path("exact")), exact);

    Put(Path("empty"), "");
    EXPECT_EQ(ReadWholeFile(Path("empty")), "");
    EXPECT_EQ(ReadWholeFile(Path("missing")), "");
    EXPECT_EQ(ReadWholeFile(m_dir.string()), "");
}

TEST_F(Files, NulByteCutsTheRestOfItsBlockOnly)
{
    std::string bytes(3000, 'a');
    for (std::size_t i = 1024; i < bytes.size(); ++i)
        bytes[i] = 'b';
    bytes[10] = '\0';
    Put(Path("nul"), bytes);
    EXPECT_EQ(ReadWholeFile(Path("nul")), std::string(10, 'a') + std::string(3000 - 1024, 'b'));
}

TEST_F(Files, WritingReplacesTheFileAndLeavesNoTemporary)
{
    ASSERT_TRUE(WriteWholeFile(Path("r.dat"), "first version"));
    ASSERT_TRUE(WriteWholeFile(Path("r.dat"), "second"));
    EXPECT_EQ(ReadWholeFile(Path("r.dat")), "second");
    ASSERT_TRUE(WriteWholeFile(Path("r.dat"), ""));
    EXPECT_TRUE(fs::exists(Path("r.dat")));
    EXPECT_EQ(fs::file_size(Path("r.dat")), 0u);
    EXPECT_EQ(Entries(), 1u);
    struct stat st {};
    ASSERT_EQ(stat(Path("r.dat").c_str(), &st), 0);
    const mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << "same mode as a plain create";
}

TEST_F(Files, TemporariesTakeTheUmaskWithoutChangingIt)
{
    const mode_t old = umask(027);
    const int before = g_umaskCalls.load();
    const std::string temporary = MakeTemporaryPathBeside(Path("t.dat"));
    const int calls = g_umaskCalls.load() - before;
    umask(old);
    ASSERT_FALSE(temporary.empty());
    EXPECT_EQ(calls, 0);
    struct stat st {};
    ASSERT_EQ(stat(temporary.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_NE(MakeTemporaryPathBeside(Path("t.dat")), temporary) << "each call a new name";
}

TEST_F(Files, DevicesFifosAndHugeFilesAreRefused)
{
    EXPECT_EQ(ReadWholeFile("/dev/zero"), "");
    ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFile(Path("fifo")), "") << "no writer: must not wait for one";
    {
        std::ofstream big(Path("big"), std::ios::binary);
        big.seekp(static_cast<std::streamoff>(kMaxWholeFileSize));
        big.put('x');
    }
    EXPECT_EQ(ReadWholeFile(Path("big")), "");
    fs::resize_file(Path("big"), kMaxWholeFileSize);
    EXPECT_EQ(ReadWholeFile(Path("big")), "") << "a sparse file reads as NULs, which cut every block";
    Put(Path("small"), "{}");
    EXPECT_EQ(ReadWholeFile(Path("small")), "{}");
}

TEST_F(Files, WritingIntoAMissingFolderDoesNothing)
{
    EXPECT_FALSE(WriteWholeFile(Path("nofolder/x.dat"), "x"));
    EXPECT_FALSE(fs::exists(Path("nofolder")));
}

// A failed write is noted with its file, and its cause is told in the user's words; the
// first failure is the one kept.
TEST_F(Files, AFailedWriteIsNotedWithItsFileAndCause)
{
    const WriteFailureWatch outer;
    {
        const WriteFailureWatch inner;
        EXPECT_FALSE(WriteWholeFile(Path("nofolder/x.dat"), "x"));
        EXPECT_FALSE(ReplaceFileAtomically(Path("y.dat"), [](const std::string&) {
            errno = ENOSPC;
            return false;
        }));
        ASSERT_TRUE(inner.First());
        EXPECT_EQ(inner.First()->error, ENOENT);
        EXPECT_EQ(inner.First()->path, Path("nofolder/x.dat"));
    }
    ASSERT_TRUE(outer.First());
    EXPECT_EQ(outer.First()->path, Path("nofolder/x.dat"));
    {
        const WriteFailureWatch later;
        EXPECT_FALSE(ReplaceFileAtomically(Path("y.dat"), [](const std::string&) {
            errno = ENOSPC;
            return false;
        }));
        ASSERT_TRUE(later.First());
        EXPECT_EQ(later.First()->path, Path("y.dat"));
    }
    EXPECT_EQ(WriteFailureCause(ENOSPC), "디스크 공간이 부족합니다.");
    EXPECT_EQ(WriteFailureCause(EDQUOT), "디스크 공간이 부족합니다.");
    for (int error : {EACCES, EPERM, EROFS})
        EXPECT_EQ(WriteFailureCause(error), "쓰기 권한이 없습니다.") << error;
    EXPECT_NE(WriteFailureCause(EIO).find("파일을 쓸 수 없습니다"), std::string::npos);
}

TEST_F(Files, AFailedWriteLeavesTheOldFileIntact)
{
    ASSERT_TRUE(WriteWholeFile(Path("keep.dat"), "precious"));
    bool wrote = ReplaceFileAtomically(Path("keep.dat"), [](const std::string& temporary) {
        std::ofstream(temporary) << "half";
        return false;
    });
    EXPECT_FALSE(wrote);
    EXPECT_EQ(ReadWholeFile(Path("keep.dat")), "precious");
    EXPECT_EQ(Entries(), 1u);

    if (geteuid() != 0) {
        fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(WriteWholeFile(Path("keep.dat"), "new"));
        fs::permissions(m_dir, fs::perms::owner_all);
        EXPECT_EQ(ReadWholeFile(Path("keep.dat")), "precious");
    }
}

} // namespace
