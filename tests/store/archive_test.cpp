#include "store/archive.h"

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <set>

#include <gtest/gtest.h>

#include "tests/store/store_testing.h"

namespace {

using namespace store_testing;

// Prints the entry names of an archive, one a line, as Python's zipfile reads them.
const char* kListEntries = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    for name in z.namelist():
        print(name)
)";

std::string EntriesOf(const std::string& archive)
{
    const CommandResult result = RunPython(kListEntries, Quote(archive));
    EXPECT_EQ(result.status, 0) << result.output;
    return result.output;
}

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 engine(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(engine() & 0xff);
    return bytes;
}

TEST(PackArchive, NamesTheArchiveByKeyAndKindWithTheKeySigned)
{
    ScratchFolder folder;
    WriteFile(folder / "a.hwp", "a");
    EXPECT_TRUE(PackArchive(12, {"a.hwp"}, "exam", folder.Path()));
    EXPECT_TRUE(fs::is_regular_file(folder / "12-exam.zip"));
    EXPECT_TRUE(PackArchive(-3, {"a.hwp"}, "text", folder.Path()));
    EXPECT_TRUE(fs::is_regular_file(folder / "-3-text.zip"));
}

TEST(PackArchive, SkipsEmptyNamesAndMissingFiles)
{
    ScratchFolder folder;
    WriteFile(folder / "a.hwp", "document a");
    EXPECT_TRUE(PackArchive(12, {"a.hwp", "", "b.hwp"}, "exam", folder.Path()));
    EXPECT_EQ(EntriesOf(folder / "12-exam.zip"), "a.hwp\n");
}

TEST(PackArchive, RepackingReplacesTheArchiveAndLeavesNoTemporaryFiles)
{
    ScratchFolder folder;
    WriteFile(folder / "a.hwp", RandomBytes(200000, 1));
    WriteFile(folder / "b.hwp", "b");
    ASSERT_TRUE(PackArchive(12, {"a.hwp", "b.hwp"}, "exam", folder.Path()));
    ASSERT_TRUE(PackArchive(12, {"b.hwp"}, "exam", folder.Path()));
    EXPECT_EQ(EntriesOf(folder / "12-exam.zip"), "b.hwp\n");
    EXPECT_LT(fs::file_size(folder / "12-exam.zip"), 1000u);
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"12-exam.zip", "a.hwp", "b.hwp"}));
}

TEST(PackArchive, WritesAnArchiveWithoutEntriesWhenNothingIsThere)
{
    ScratchFolder folder;
    EXPECT_TRUE(PackArchive(7, {}, "text", folder.Path()));
    EXPECT_TRUE(PackArchive(8, {"missing.hwp", ""}, "text", folder.Path()));
    EXPECT_EQ(EntriesOf(folder / "7-text.zip"), "");
    EXPECT_EQ(EntriesOf(folder / "8-text.zip"), "");
}

TEST(PackArchive, AFileThatCannotBeAddedGivesFalseAndKeepsTheEntriesBeforeIt)
{
    ScratchFolder folder;
    WriteFile(folder / "a.hwp", "a");
    fs::create_directory(folder / "dir.hwp");
    WriteFile(folder / "c.hwp", "c");
    EXPECT_FALSE(PackArchive(12, {"a.hwp", "dir.hwp", "c.hwp"}, "exam", folder.Path()));
    EXPECT_EQ(EntriesOf(folder / "12-exam.zip"), "a.hwp\n");
}

TEST(PackArchive, AMissingFolderRaisesWithThePath)
{
    ScratchFolder folder;
    const std::string missing = folder / "nowhere";
    try {
        PackArchive(12, {"a.hwp"}, "exam", missing);
        FAIL() << "no exception";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.Path(), missing + "/12-exam.zip");
        EXPECT_NE(std::string(error.what()).find(missing + "/12-exam.zip"), std::string::npos);
        EXPECT_FALSE(error.Reason().empty());
    }
}

// A write that fails half-way (here: a file-size limit standing in for a full disk)
// raises and leaves the previous archive whole.
TEST(PackArchive, AFailedWriteRaisesAndKeepsThePreviousArchive)
{
    ScratchFolder folder;
    WriteFile(folder / "a.hwp", "small");
    ASSERT_TRUE(PackArchive(12, {"a.hwp"}, "exam", folder.Path()));
    const std::string before = ReadFile(folder / "12-exam.zip");
    WriteFile(folder / "a.hwp", RandomBytes(300000, 9));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16384, 16384};
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            PackArchive(12, {"a.hwp"}, "exam", folder.Path());
        } catch (const ArchiveError& error) {
            _exit(error.Fault() == ArchiveFault::Write || error.Fault() == ArchiveFault::DiskFull ? 0 : 2);
        }
        _exit(1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no exception, 2: another fault";
    EXPECT_EQ(ReadFile(folder / "12-exam.zip"), before);
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"12-exam.zip", "a.hwp"}));
}

// Peers' readers: Info-ZIP's tester and Python's zipfile must accept every archive we write.
TEST(PackArchiveInterop, ArchivesPassUnzipTestAndReadBackByteIdenticalInPython)
{
    ScratchFolder folder;
    WriteFile(folder / "obj-exam.hwp", RandomBytes(300000, 2));               // several 64 KiB blocks
    WriteFile(folder / "obj-answer.hwp", std::string(500000, 'x'));           // compresses well
    WriteFile(folder / "empty.hwp", "");
    WriteFile(folder / "문제.hwp", "한글 이름");
    ASSERT_TRUE(PackArchive(12, {"obj-exam.hwp", "obj-answer.hwp", "empty.hwp", "문제.hwp"}, "exam",
                            folder.Path()));
    const std::string archive = folder / "12-exam.zip";

    const CommandResult tested = RunCommand("unzip -t " + Quote(archive));
    EXPECT_EQ(tested.status, 0) << tested.output;

    const CommandResult compared = RunPython(R"(
import os, sys, zipfile
folder, archive = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive) as z:
    assert z.testzip() is None
    names = z.namelist()
    assert names == ["obj-exam.hwp", "obj-answer.hwp", "empty.hwp", "문제.hwp"], names
    for info in z.infolist():
        with open(os.path.join(folder, info.filename), "rb") as f:
            assert z.read(info) == f.read(), info.filename
    assert z.getinfo("obj-answer.hwp").compress_type == zipfile.ZIP_DEFLATED
    assert z.getinfo("obj-answer.hwp").compress_size < 10000
    # Deflate option bits 1-2 clear: the normal level, not maximum or fast.
    assert z.getinfo("obj-answer.hwp").flag_bits & 6 == 0, z.getinfo("obj-answer.hwp").flag_bits
print("ok")
)",
                                             Quote(folder.Path()) + " " + Quote(archive));
    EXPECT_EQ(compared.status, 0) << compared.output;
}

TEST(PackArchiveInterop, PackedArchivesUnpackToTheSameBytes)
{
    ScratchFolder source;
    ScratchFolder target;
    const std::string big = RandomBytes(200000, 3);
    WriteFile(source / "text.hwp", big);
    WriteFile(source / "empty.hwp", "");
    ASSERT_TRUE(PackArchive(7, {"text.hwp", "empty.hwp"}, "text", source.Path()));
    fs::copy_file(source / "7-text.zip", target / "7-text.zip");
    EXPECT_TRUE(UnpackArchive(target.Path(), "7-text.zip"));
    EXPECT_EQ(ReadFile(target / "text.hwp"), big);
    EXPECT_TRUE(fs::is_regular_file(target / "empty.hwp"));
    EXPECT_EQ(fs::file_size(target / "empty.hwp"), 0u);
}

class UnpackForeign : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(m_source / "a.hwp", RandomBytes(150000, 4));
        WriteFile(m_source / "sub/deeper/b.txt", std::string(100000, 'b'));
    }
    void ExpectUnpacked()
    {
        EXPECT_EQ(ReadFile(m_target / "a.hwp"), ReadFile(m_source / "a.hwp"));
        EXPECT_EQ(ReadFile(m_target / "sub/deeper/b.txt"), ReadFile(m_source / "sub/deeper/b.txt"));
    }
    ScratchFolder m_source;
    ScratchFolder m_target;
};

TEST_F(UnpackForeign, InfoZipStoredArchive)
{
    const CommandResult made = RunCommand("cd " + Quote(m_source.Path()) + " && zip -q -0 -r " +
                                   Quote(m_target / "1-exam.zip") + " a.hwp sub");
    ASSERT_EQ(made.status, 0) << made.output;
    EXPECT_TRUE(UnpackArchive(m_target.Path(), "1-exam.zip"));
    ExpectUnpacked();
}

TEST_F(UnpackForeign, InfoZipDeflatedArchive)
{
    const CommandResult made = RunCommand("cd " + Quote(m_source.Path()) + " && zip -q -9 -r " +
                                   Quote(m_target / "1-exam.zip") + " a.hwp sub");
    ASSERT_EQ(made.status, 0) << made.output;
    EXPECT_TRUE(UnpackArchive(m_target.Path(), "1-exam.zip"));
    ExpectUnpacked();
}

TEST_F(UnpackForeign, PythonZipfileArchivesStoredAndDeflated)
{
    for (const char* method : {"ZIP_STORED", "ZIP_DEFLATED"}) {
        const CommandResult made = RunPython(std::string(R"(
import os, sys, zipfile
source, archive = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive, "w", zipfile.)") + method + R"() as z:
    z.write(os.path.join(source, "a.hwp"), "a.hwp")
    z.writestr("sub/", b"")
    z.writestr("sub/deeper/", b"")
    z.write(os.path.join(source, "sub/deeper/b.txt"), "sub/deeper/b.txt")
)",
                                             Quote(m_source.Path()) + " " + Quote(m_target / "2-exam.zip"));
        ASSERT_EQ(made.status, 0) << made.output;
        EXPECT_TRUE(UnpackArchive(m_target.Path(), "2-exam.zip")) << method;
        ExpectUnpacked();
        fs::remove_all(m_target / "sub");
        fs::remove(m_target / "a.hwp");
    }
}

TEST(UnpackArchive, AMissingArchiveGivesFalse)
{
    ScratchFolder folder;
    EXPECT_FALSE(UnpackArchive(folder.Path(), "12-exam.zip"));
    EXPECT_TRUE(fs::is_empty(folder.Path()));
}

TEST(UnpackArchive, AnArchiveWithoutEntriesGivesFalseAndLeavesTheFolder)
{
    ScratchFolder folder;
    WriteFile(folder / "keep.hwp", "keep");
    ASSERT_TRUE(PackArchive(12, {}, "exam", folder.Path()));
    const auto before = Snapshot(folder.Path());
    EXPECT_FALSE(UnpackArchive(folder.Path(), "12-exam.zip"));
    EXPECT_EQ(Snapshot(folder.Path()), before);
}

TEST(UnpackArchive, ReplacesFilesOfTheSameName)
{
    ScratchFolder folder;
    WriteFile(folder / "obj-exam.hwp", "saved");
    ASSERT_TRUE(PackArchive(12, {"obj-exam.hwp"}, "exam", folder.Path()));
    WriteFile(folder / "obj-exam.hwp", "edited later, longer than the saved one");
    EXPECT_TRUE(UnpackArchive(folder.Path(), "12-exam.zip"));
    EXPECT_EQ(ReadFile(folder / "obj-exam.hwp"), "saved");
}

TEST(UnpackArchive, EntriesWithAFolderPartGoIntoThatSubFolder)
{
    ScratchFolder folder;
    WriteFile(folder / "sub/x.hwp", "x");
    ASSERT_TRUE(PackArchive(3, {"sub/x.hwp"}, "exam", folder.Path()));
    fs::remove_all(folder / "sub");
    EXPECT_TRUE(UnpackArchive(folder.Path(), "3-exam.zip"));
    EXPECT_EQ(ReadFile(folder / "sub/x.hwp"), "x");
}

// Archives built to attack the reader. Each must raise ArchiveError and leave the target
// folder (and everything outside it) as it was.
const char* kHostile = R"(
import struct, sys, zipfile
kind, archive, outside = sys.argv[1], sys.argv[2], sys.argv[3]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("good.hwp", b"good data")
    if kind == "traversal":
        z.writestr("../evil.txt", b"evil")
    elif kind == "deep-traversal":
        z.writestr("sub/../../evil.txt", b"evil")
    elif kind == "backslash-traversal":
        z.writestr("..\\evil.txt", b"evil")
    elif kind == "absolute":
        z.writestr(outside + "/evil.txt", b"evil")
    elif kind == "symlink":
        info = zipfile.ZipInfo("link")
        info.create_system = 3
        info.external_attr = 0o120777 << 16
        z.writestr(info, outside)
    elif kind == "through-link":
        z.writestr("link/evil.txt", b"evil")
if kind in ("crc", "bomb"):
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_STORED if kind == "crc" else zipfile.ZIP_DEFLATED) as z:
        z.writestr("only.hwp", b"A" * 4000 if kind == "crc" else bytes(1000000))
    data = bytearray(open(archive, "rb").read())
    if kind == "crc":
        data[30 + len("only.hwp") + 100] ^= 0xff
    else:
        # Declare 1000 bytes in both headers while the data inflates to a million.
        struct.pack_into("<I", data, 22, 1000)
        central = data.rfind(b"PK\x01\x02")
        struct.pack_into("<I", data, central + 24, 1000)
    open(archive, "wb").write(data)
)";

class HostileArchive : public ::testing::TestWithParam<const char*> {};

TEST_P(HostileArchive, RaisesAndLeavesTheFolderAsItWas)
{
    ScratchFolder outside;
    ScratchFolder parent;
    const std::string folder = parent / "ek-12";
    fs::create_directory(folder);
    WriteFile(folder + "/keep.hwp", "keep");
    const std::string kind = GetParam();
    const std::string archive = folder + "/12-exam.zip";

    if (kind == "truncated" || kind == "random") {
        WriteFile(folder + "/big.hwp", RandomBytes(100000, 5));
        ASSERT_TRUE(PackArchive(12, {"big.hwp", "keep.hwp"}, "exam", folder));
        fs::remove(folder + "/big.hwp");
        if (kind == "truncated")
            fs::resize_file(archive, fs::file_size(archive) / 2);
        else
            WriteFile(archive, RandomBytes(5000, 6));
    } else {
        const CommandResult made = RunPython(kHostile, Quote(kind) + " " + Quote(archive) + " " + Quote(outside.Path()));
        ASSERT_EQ(made.status, 0) << made.output;
    }
    if (kind == "through-link")
        fs::create_directory_symlink(outside.Path(), folder + "/link");

    const auto before = Snapshot(parent.Path());
    try {
        UnpackArchive(folder, "12-exam.zip");
        FAIL() << kind << ": no exception";
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.Path(), archive);
        const std::string message = error.what();
        EXPECT_NE(message.find(archive), std::string::npos) << message;
        EXPECT_NE(message.find(error.Reason()), std::string::npos) << message;
    }
    EXPECT_EQ(Snapshot(parent.Path()), before) << kind;
    EXPECT_TRUE(fs::is_empty(outside.Path())) << kind;
}

INSTANTIATE_TEST_SUITE_P(Archives, HostileArchive,
                         ::testing::Values("traversal", "deep-traversal", "backslash-traversal", "absolute",
                                           "symlink", "through-link", "crc", "bomb", "truncated", "random"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::erase(name, '-');
                             return name;
                         });

TEST(HostileArchiveFaults, TellTheKindOfDamage)
{
    ScratchFolder folder;
    WriteFile(folder / "1-exam.zip", "this is plain text and no archive at all, long enough to look");
    try {
        UnpackArchive(folder.Path(), "1-exam.zip");
        FAIL();
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.Fault(), ArchiveFault::NotZip);
    }
    ScratchFolder outside;
    const CommandResult made =
        RunPython(kHostile, "traversal " + Quote(folder / "2-exam.zip") + " " + Quote(outside.Path()));
    ASSERT_EQ(made.status, 0) << made.output;
    try {
        UnpackArchive(folder.Path(), "2-exam.zip");
        FAIL();
    } catch (const ArchiveError& error) {
        EXPECT_EQ(error.Fault(), ArchiveFault::UnsafeName);
        EXPECT_EQ(error.Entry(), "../evil.txt");
    }
    for (const auto& [kind, fault] : {std::pair{"crc", ArchiveFault::Crc}, std::pair{"bomb", ArchiveFault::TooLarge}}) {
        const std::string name = std::string(kind) + ".zip";
        ASSERT_EQ(RunPython(kHostile, Quote(kind) + " " + Quote(folder / name) + " " + Quote(outside.Path())).status, 0);
        try {
            UnpackArchive(folder.Path(), name);
            FAIL() << kind;
        } catch (const ArchiveError& error) {
            EXPECT_EQ(error.Fault(), fault) << kind << ": " << error.what();
            EXPECT_EQ(error.Entry(), "only.hwp");
        }
    }
}

} // namespace
