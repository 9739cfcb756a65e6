#include "store/local_store.h"

#include <gtest/gtest.h>

#include "store/exam_record.h"
#include "tests/store/store_testing.h"

namespace {

using namespace store_testing;

TEST(NextQuestionNumber, IsOneMoreThanTheHighestSavedQuestionComparedAsNumbers)
{
    ScratchFolder workspace;
    EXPECT_EQ(NextQuestionNumber(workspace.Path()), 1u);  // no local_exam folder
    WriteFile(workspace / "local_exam/ek-3/3.dat", "{}");
    WriteFile(workspace / "local_exam/ek-10/10.dat", "{}");
    EXPECT_EQ(NextQuestionNumber(workspace.Path()), 11u);
}

TEST(NextQuestionNumber, CountsOnlyFoldersHoldingTheirOwnDat)
{
    ScratchFolder workspace;
    WriteFile(workspace / "local_exam/ek-1/1.dat", "{}");
    fs::create_directories(workspace / "local_exam/ek-2");        // started, never saved
    WriteFile(workspace / "local_exam/ek-5/7.dat", "{}");          // another number's .dat
    WriteFile(workspace / "local_exam/ek-9", "a file, not a folder");
    EXPECT_EQ(NextQuestionNumber(workspace.Path()), 2u);
}

TEST(NextQuestionNumber, AFolderWithoutDigitsCountsAsZero)
{
    ScratchFolder workspace;
    WriteFile(workspace / "local_exam/ek-x/0.dat", "{}");
    EXPECT_EQ(NextQuestionNumber(workspace.Path()), 1u);
    WriteFile(workspace / "local_exam/ek-4/4.dat", "{}");
    EXPECT_EQ(NextQuestionNumber(workspace.Path()), 5u);
}

TEST(NextPassageNumber, CountsPassageFoldersHoldingTheirDocument)
{
    ScratchFolder workspace;
    fs::create_directories(workspace / "local_examtext/etk-4");
    EXPECT_EQ(NextPassageNumber(workspace.Path()), 1u);
    WriteFile(workspace / "local_examtext/etk-4/text.hwp", "hwp");
    EXPECT_EQ(NextPassageNumber(workspace.Path()), 5u);
    // Question folders say nothing about passages.
    WriteFile(workspace / "local_exam/ek-20/20.dat", "{}");
    EXPECT_EQ(NextPassageNumber(workspace.Path()), 5u);
}

TEST(MakeNewLocalQuestionRecord, TakesTheNextNumberWithoutMakingItsFolder)
{
    ScratchFolder workspace;
    WriteFile(workspace / "local_exam/ek-6/6.dat", "{}");
    const auto record = MakeNewLocalQuestionRecord(workspace.Path());
    EXPECT_EQ(record->m_nExamKey, 7u);
    EXPECT_EQ(record->m_nExamtextKey, 0u);
    EXPECT_EQ(record->m_strExamLocal, "local_exam");
    EXPECT_EQ(record->m_strExamFolder, workspace / "local_exam/ek-7");
    EXPECT_EQ(record->m_strDifficulty, "d2");
    EXPECT_TRUE(record->m_strObjState.empty());
    EXPECT_FALSE(record->m_pTextHeights || record->m_pObjHeights || record->m_pSbjHeights || record->m_pDesHeights);
    EXPECT_FALSE(fs::exists(record->m_strExamFolder));
}

} // namespace
