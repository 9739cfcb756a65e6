#include "store/exam_writer.h"

#include <iterator>

#include <gtest/gtest.h>

#include "tests/store/store_testing.h"

namespace {

using namespace store_testing;

TypeControlsState Controls(bool obj, bool sbj, bool des, int tick = 0)
{
    TypeControlsState controls;
    controls.objButtonImage = obj ? 0 : 1;
    controls.sbjButtonImage = sbj ? 2 : 3;
    controls.desButtonImage = des ? 4 : 5;
    controls.objDefault = tick == 1039;
    controls.sbjDefault = tick == 1040;
    controls.desDefault = tick == 1041;
    return controls;
}

struct OptionsRow {
    const char* what;
    TypeControlsState controls;
    TypeOptions expected;
};

class TypeOptionsTable : public ::testing::TestWithParam<OptionsRow> {};

TEST_P(TypeOptionsTable, FollowsTheButtonsAndTheDefaultBoxes)
{
    EXPECT_EQ(ComputeTypeOptions(GetParam().controls), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TypeOptionsTable,
    ::testing::Values(
        OptionsRow{"only subjective, no box", Controls(false, true, false), {"N", "D", "N"}},
        OptionsRow{"no part", Controls(false, false, false), {"N", "N", "N"}},
        OptionsRow{"obj and sbj, 1040", Controls(true, true, false, 1040), {"Y", "D", "N"}},
        OptionsRow{"obj without sbj, 1040", Controls(true, false, false, 1040), {"Y", "N", "N"}},
        OptionsRow{"obj and des without sbj, 1040", Controls(true, false, true, 1040), {"Y", "N", "Y"}},
        OptionsRow{"sbj and des, 1039", Controls(false, true, true, 1039), {"N", "D", "Y"}},
        OptionsRow{"obj without des, 1041", Controls(true, false, false, 1041), {"Y", "N", "N"}},
        OptionsRow{"obj and sbj without des, 1041", Controls(true, true, false, 1041), {"Y", "Y", "N"}},
        OptionsRow{"all, no box", Controls(true, true, true), {"D", "Y", "Y"}},
        OptionsRow{"all, 1041", Controls(true, true, true, 1041), {"Y", "Y", "D"}},
        OptionsRow{"only descriptive, no box", Controls(false, false, true), {"N", "N", "D"}}));

ExamRecord ExampleRecord(const ScratchFolder& workspace)
{
    ExamRecord record;
    record.m_nExamtextKey = 7;
    record.m_strExamtextLocal = "local_examtext";
    record.m_strExamtextFolder = workspace / "etk-7";
    record.m_nExamKey = 12;
    record.m_strExamFolder = workspace / "ek-12";
    record.m_strDifficulty = "d2";
    record.m_strObjAnswer = "2";
    record.m_pObjHeights = std::make_unique<ExamHeights>();
    ExamHeights& h = *record.m_pObjHeights;
    h.examprint_height = 999;  // memory only
    h.exam_print_height = 410;
    h.exam_preview_height = 305;
    h.answer_print_height = 96;
    h.answer_preview_height = 72;
    h.explain_print_height = 180;
    h.explain_preview_height = 134;
    h.obj_print_height = 150;
    h.obj_preview_height = 112;
    record.m_pTextHeights = std::make_unique<TextHeights>(TextHeights{520, 390});
    fs::create_directories(record.m_strExamFolder);
    fs::create_directories(record.m_strExamtextFolder);
    return record;
}

TEST(WriteExamRecord, ReproducesTheDocumentedExampleByteForByte)
{
    ScratchFolder workspace;
    const ExamRecord record = ExampleRecord(workspace);
    EXPECT_TRUE(WriteExamRecord(record, Controls(true, false, false)));
    EXPECT_EQ(ReadFile(workspace / "ek-12/12.dat"),
              R"({"examtext_key":7,"examtext_local":"local_examtext","exam_key":12,"exam_name":"","difficulty":"d2",)"
              R"("obj_option":"D","sbj_option":"N","des_option":"N","obj_answer":"2","sbj_answer":"","obj_list":)"
              R"([{"print_height":410,"preview_height":305},{"print_height":96,"preview_height":72},)"
              R"({"print_height":180,"preview_height":134},{"print_height":150,"preview_height":112}]})");
    EXPECT_EQ(ReadFile(workspace / "etk-7/7.dat"),
              R"({"examtext_key":7,"textprint_height":520,"textpreview_height":390})");
}

TEST(WriteExamRecord, AQuestionWithoutPassageWritesNoPassageKeysAndNoPassageFile)
{
    ScratchFolder workspace;
    ExamRecord record = ExampleRecord(workspace);
    record.m_nExamtextKey = 0;
    WriteExamRecord(record, Controls(true, false, false));
    EXPECT_EQ(ReadFile(workspace / "ek-12/12.dat").rfind(R"({"exam_key":12,)", 0), 0u);
    EXPECT_TRUE(fs::is_empty(workspace / "etk-7"));

    // A key that reads as negative is no passage either.
    record.m_nExamtextKey = 0x80000007u;
    WriteExamRecord(record, Controls(true, false, false));
    EXPECT_EQ(ReadFile(workspace / "ek-12/12.dat").rfind(R"({"exam_key":12,)", 0), 0u);
    EXPECT_TRUE(fs::is_empty(workspace / "etk-7"));
}

TEST(WriteExamRecord, WithoutHeightsTheTextEndsWithTheSubjectiveAnswer)
{
    ScratchFolder workspace;
    ExamRecord record = ExampleRecord(workspace);
    record.ReleaseHeights();
    WriteExamRecord(record, Controls(true, false, false));
    const std::string text = ReadFile(workspace / "ek-12/12.dat");
    const std::string tail = R"("sbj_answer":""})";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    // A passage never measured still gets its file, with both heights 0.
    EXPECT_EQ(ReadFile(workspace / "etk-7/7.dat"), R"({"examtext_key":7,"textprint_height":0,"textpreview_height":0})");
}

TEST(WriteExamRecord, ListsEveryMeasuredTypeInOrderWithOptionsOnlyForObjective)
{
    ScratchFolder workspace;
    ExamRecord record = ExampleRecord(workspace);
    record.m_pDesHeights = std::make_unique<ExamHeights>();
    record.m_pDesHeights->exam_print_height = 1;
    record.m_pDesHeights->obj_print_height = 77;  // no options row for "des"
    record.m_pSbjHeights = std::make_unique<ExamHeights>();
    const std::string text = BuildExamRecordText(record, {"Y", "Y", "D"});
    const auto obj = text.find(R"("obj_list":)");
    const auto sbj = text.find(R"("sbj_list":)");
    const auto des = text.find(R"("des_list":)");
    ASSERT_NE(des, std::string::npos);
    EXPECT_LT(obj, sbj);
    EXPECT_LT(sbj, des);
    EXPECT_EQ(text.substr(des), R"("des_list":[{"print_height":1,"preview_height":0},{"print_height":0,"preview_height":0},)"
                                R"({"print_height":0,"preview_height":0}]})");
}

TEST(WriteExamRecord, WritingTwiceRewritesTheWholeFile)
{
    ScratchFolder workspace;
    ExamRecord record = ExampleRecord(workspace);
    record.m_strExamName = "a rather long name that makes the first file longer";
    WriteExamRecord(record, Controls(true, false, false));
    record.m_strExamName = "short";
    record.ReleaseHeights();
    WriteExamRecord(record, Controls(false, true, false));
    EXPECT_EQ(ReadFile(workspace / "ek-12/12.dat"), BuildExamRecordText(record, {"N", "D", "N"}));
    EXPECT_EQ(std::distance(fs::directory_iterator(workspace / "ek-12"), fs::directory_iterator()), 1);
}

TEST(WriteExamRecord, EveryFileParsesInPythonEvenWithQuotesBackslashesAndControlCharacters)
{
    ScratchFolder workspace;
    ExamRecord record = ExampleRecord(workspace);
    record.m_strExamName = "문제 \"인용\" C:\\path\ttab\nline";
    record.m_strExamtextLocal = "local\"examtext";
    record.m_pSbjHeights = std::make_unique<ExamHeights>();
    record.m_pDesHeights = std::make_unique<ExamHeights>();
    record.m_pTextHeights->textprint_height = -5;
    WriteExamRecord(record, Controls(true, true, true, 1040));
    const CommandResult parsed = RunPython(R"(
import json, sys
question = json.load(open(sys.argv[1], encoding="utf-8"))
passage = json.load(open(sys.argv[2], encoding="utf-8"))
assert question["exam_name"] == "문제 \"인용\" C:\\path\ttab\nline", question["exam_name"]
assert question["examtext_local"] == "local\"examtext"
assert [question[k] for k in ("obj_option", "sbj_option", "des_option")] == ["Y", "D", "Y"]
assert len(question["obj_list"]) == 4 and len(question["sbj_list"]) == 3 and len(question["des_list"]) == 3
assert passage == {"examtext_key": 7, "textprint_height": -5, "textpreview_height": 390}, passage
)",
                                           Quote(workspace / "ek-12/12.dat") + " " + Quote(workspace / "etk-7/7.dat"));
    EXPECT_EQ(parsed.status, 0) << parsed.output;
}

TEST(WriteExamRecord, RunsThePackHookAfterTheFilesAndSkipsAMissingFolder)
{
    ScratchFolder workspace;
    ExamRecord record = ExampleRecord(workspace);
    bool packed = false;
    WriteExamRecord(record, Controls(true, false, false), [&](const ExamRecord& written) {
        packed = true;
        EXPECT_EQ(&written, &record);
        EXPECT_TRUE(fs::exists(workspace / "ek-12/12.dat"));
        EXPECT_TRUE(fs::exists(workspace / "etk-7/7.dat"));
    });
    EXPECT_TRUE(packed);

    record.m_strExamFolder = workspace / "missing";
    packed = false;
    EXPECT_FALSE(WriteExamRecord(record, Controls(true, false, false), [&](const ExamRecord&) { packed = true; }));
    EXPECT_TRUE(packed);
    EXPECT_FALSE(fs::exists(workspace / "missing"));

    record.m_strExamFolder.clear();
    record.m_strExamtextFolder.clear();
    record.m_nExamKey = 4242424;
    EXPECT_FALSE(WriteExamRecord(record, Controls(true, false, false)));
    EXPECT_FALSE(fs::exists("/4242424.dat"));
    EXPECT_FALSE(fs::exists("/7.dat"));
}

} // namespace
