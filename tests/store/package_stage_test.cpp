#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

#include "store/package_stage.h"
#include "support/files.h"
#include "support/write_failure.h"

#include "store_testing.h"

namespace {

namespace fs = std::filesystem;
using store_testing::ReadFile;
using store_testing::ScratchFolder;
using store_testing::Snapshot;
using store_testing::WriteFile;

// Names in `folder` that start with '.': staged copies or old packages left behind.
std::vector<std::string> HiddenEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().filename().string().front() == '.')
            names.push_back(entry.path().filename().string());
    }
    return names;
}

std::string InodeOf(const std::string& path)
{
    struct stat st {};
    lstat(path.c_str(), &st);
    return std::to_string(st.st_dev) + "\t" + std::to_string(st.st_ino);
}

class PackageStagesTest : public ::testing::Test {
protected:
    std::string Journals() const { return m_scratch / "data/save-journal"; }
    std::string Question() const { return m_scratch / "ws/local_exam/ek-1"; }
    std::string Passage() const { return m_scratch / "ws/local_examtext/etk-1"; }

    ScratchFolder m_scratch;
};

TEST_F(PackageStagesTest, TheLiveFolderChangesOnlyAtTheCommitAndAllAtOnce)
{
    WriteFile(Question() + "/1.dat", "old record");
    WriteFile(Question() + "/obj-exam.hwp", "old question");
    WriteFile(Question() + "/sbj-exam.hwp", "kept from an earlier save");
    const auto before = Snapshot(Question());

    PackageStages stages(Journals());
    const std::string staged = stages.Stage(Question(), true);
    ASSERT_FALSE(staged.empty());
    EXPECT_EQ(StagedFolderName(staged).value_or(""), fs::path(staged).filename().string());
    EXPECT_EQ(stages.Working(Question()), staged);
    EXPECT_EQ(stages.LivePathOf(staged + "/1.dat"), Question() + "/1.dat");
    // Writers replace files by name: the live file behind the hard link keeps its bytes.
    ASSERT_TRUE(WriteWholeFile(staged + "/1.dat", "new record"));
    ASSERT_TRUE(WriteWholeFile(staged + "/obj-exam.hwp", "new question"));
    ASSERT_TRUE(WriteWholeFile(staged + "/1-exam.zip", "new archive"));
    EXPECT_EQ(Snapshot(Question()), before);

    ASSERT_TRUE(stages.Commit({Question()}));
    EXPECT_EQ(ReadFile(Question() + "/1.dat"), "new record");
    EXPECT_EQ(ReadFile(Question() + "/obj-exam.hwp"), "new question");
    EXPECT_EQ(ReadFile(Question() + "/sbj-exam.hwp"), "kept from an earlier save");
    EXPECT_EQ(ReadFile(Question() + "/1-exam.zip"), "new archive");
    EXPECT_TRUE(HiddenEntries(m_scratch / "ws/local_exam").empty());
    EXPECT_TRUE(stages.Empty());
    EXPECT_EQ(stages.Working(Question()), Question());
    EXPECT_TRUE(fs::is_empty(Journals())) << "a finished save leaves no journal";
}

TEST_F(PackageStagesTest, AFirstSaveMakesTheFolderAndADiscardLeavesNothing)
{
    PackageStages stages(Journals());
    const std::string question = stages.Stage(Question(), true);
    const std::string passage = stages.Stage(Passage(), true);
    ASSERT_FALSE(question.empty());
    ASSERT_FALSE(passage.empty());
    EXPECT_EQ(stages.Stage(Question(), true), question) << "one copy per folder";
    ASSERT_TRUE(WriteWholeFile(question + "/1.dat", "record"));
    ASSERT_TRUE(WriteWholeFile(passage + "/text.hwp", "passage"));
    stages.Discard();
    EXPECT_FALSE(fs::exists(Question()));
    EXPECT_FALSE(fs::exists(question));
    EXPECT_FALSE(fs::exists(passage));
    EXPECT_TRUE(fs::is_empty(Journals()));

    // A folder of another store kind is never made by a save.
    const WriteFailureWatch failures;
    EXPECT_TRUE(stages.Stage(m_scratch / "ws/exam/d6-000/d4-00/d2-00/ek-5", false).empty());
    ASSERT_TRUE(failures.First());
    EXPECT_EQ(failures.First()->error, ENOENT);

    const std::string again = stages.Stage(Question(), true);
    ASSERT_TRUE(WriteWholeFile(again + "/1.dat", "record"));
    ASSERT_TRUE(stages.Commit({Question()}));
    EXPECT_EQ(ReadFile(Question() + "/1.dat"), "record");
}

// States a save can be cut in, written as its journal would hold them, and what the next
// start makes of each: the staged copy of an undecided save goes; a decided one is
// finished, for both folders; old packages left at the staged names go.
TEST_F(PackageStagesTest, TheNextStartFinishesDecidedSavesAndUndoesTheRest)
{
    struct Case {
        const char* name;
        bool committed;
        int switched;        // folders already switched in (passage first, then question)
        const char* tail;    // text appended after the journal's lines
        const char* expected; // "old" or "new" for both folders
    };
    const Case cases[] = {
        {"cut while writing", false, 0, "", "old"},
        {"cut in the middle of the decision", false, 0, "swap\t1\t2\t/x\t/y\ncomm", "old"},
        {"decided, nothing switched", true, 0, "", "new"},
        {"decided, the passage switched", true, 1, "", "new"},
        {"decided, both switched, old packages left", true, 2, "", "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(m_scratch / "ws");
        fs::remove_all(Journals());
        const std::string folders[] = {Passage(), Question()};
        std::string journal;
        std::string decision;
        for (const std::string& live : folders) {
            WriteFile(live + "/content", "old");
            const std::string staged = fs::path(live).parent_path().string() + "/." +
                                       fs::path(live).filename().string() + ".saving-test0001";
            WriteFile(staged + "/content", "new");
            journal += "stage\t" + staged + "\t" + live + "\n";
            decision += "swap\t" + InodeOf(staged) + "\t" + staged + "\t" + live + "\n";
        }
        if (c.committed)
            journal += decision + "commit\n";
        journal += c.tail;
        for (int i = 0; i < c.switched; ++i) {
            const std::string& live = folders[i];
            const std::string staged = fs::path(live).parent_path().string() + "/." +
                                       fs::path(live).filename().string() + ".saving-test0001";
            ASSERT_EQ(renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, live.c_str(), RENAME_EXCHANGE), 0);
        }
        WriteFile(Journals() + "/4242-dead.journal", journal);

        RecoverPackageStages(Journals());
        for (const std::string& live : folders) {
            EXPECT_EQ(ReadFile(live + "/content"), c.expected) << live;
            EXPECT_TRUE(HiddenEntries(fs::path(live).parent_path().string()).empty()) << live;
        }
        EXPECT_TRUE(fs::is_empty(Journals()));
    }
}

TEST_F(PackageStagesTest, TheNextStartLeavesRunningSavesAndForeignPathsAlone)
{
    WriteFile(Question() + "/content", "old");
    PackageStages running(Journals());
    const std::string staged = running.Stage(Question(), true);
    ASSERT_FALSE(staged.empty());
    // A journal that names folders which are not staged copies of its items.
    const std::string victim = m_scratch / "ws/victim";
    WriteFile(victim + "/keep", "keep");
    WriteFile(Journals() + "/1-forged.journal",
              "stage\t" + victim + "\t" + Question() + "\nswap\t" + InodeOf(victim) + "\t" + victim + "\t" + Question() +
                  "\ncommit\n");

    RecoverPackageStages(Journals());
    EXPECT_TRUE(fs::exists(staged)) << "the save of a program still running";
    EXPECT_EQ(ReadFile(victim + "/keep"), "keep");
    EXPECT_EQ(ReadFile(Question() + "/content"), "old");
    ASSERT_TRUE(running.Commit({Question()}));
}

} // namespace
