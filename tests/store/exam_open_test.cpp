#include "store/exam_open.h"

#include <gtest/gtest.h>

#include "store/archive.h"
#include "store/exam_writer.h"
#include "support/files.h"
#include "support/json_build.h"
#include "tests/store/store_testing.h"

namespace {

using namespace store_testing;

class RecordingView : public ExamOpenView {
public:
    void ShowTypeControls(const ExamRecord&, const ExamTypeControls& controls) override
    {
        m_calls.push_back("controls");
        m_controls = controls;
    }
    void ShowExistingPassage(const ExamRecord& record) override
    {
        m_calls.push_back("passage");
        m_passageFolder = record.m_strExamtextFolder;
    }
    void SelectTypeDocuments(const ExamRecord&) override { m_calls.push_back("documents"); }

    std::vector<std::string> m_calls;
    ExamTypeControls m_controls;
    std::string m_passageFolder;
};

// Parses the JSON text and opens it into a new record.
std::unique_ptr<ExamRecord> Open(const std::string& json, const std::string& workspace, RecordingView& view,
                                 std::unique_ptr<ExamRecord> current = nullptr, bool keepRecord = false)
{
    const JsonOwnedPtr root = ParseJsonUtf8(json);
    EXPECT_TRUE(root) << json;
    OpenExamRecord(current, JsonObjectOf(root.get()), keepRecord, workspace, view);
    return current;
}

ExamTypeControls ControlsOf(const std::string& options)
{
    ScratchFolder workspace;
    RecordingView view;
    Open(R"({"exam_key":1,"exam_local":"exam",)" + options + "}", workspace.Path(), view);
    return view.m_controls;
}

TEST(OpenExamRecordTypes, DefaultOptionTicksItsBoxAndBecomesCurrent)
{
    const ExamTypeControls controls = ControlsOf(R"("obj_option":"D","sbj_option":"N","des_option":"Y")");
    EXPECT_EQ(controls, (ExamTypeControls{0, 3, 4, kQuestionTypeObj, kQuestionTypeObj}));
}

TEST(OpenExamRecordTypes, WithoutDefaultNoBoxIsTickedAndTheFirstPresentTypeIsCurrent)
{
    EXPECT_EQ(ControlsOf(R"("obj_option":"Y","sbj_option":"Y","des_option":"N")"),
              (ExamTypeControls{0, 2, 5, kQuestionTypeNone, kQuestionTypeObj}));
    EXPECT_EQ(ControlsOf(R"("obj_option":"N","sbj_option":"N","des_option":"Y")"),
              (ExamTypeControls{1, 3, 4, kQuestionTypeNone, kQuestionTypeDes}));
}

TEST(OpenExamRecordTypes, LowerCaseReadsLikeUpperCase)
{
    ScratchFolder workspace;
    RecordingView view;
    const auto record = Open(R"({"exam_key":1,"exam_local":"exam","obj_option":"n","sbj_option":"y","des_option":"d"})",
                             workspace.Path(), view);
    EXPECT_EQ(record->m_strObjState, "obj_n");
    EXPECT_EQ(record->m_strSbjState, "sbj_y");
    EXPECT_EQ(record->m_strDesState, "des_d");
    EXPECT_EQ(view.m_controls, (ExamTypeControls{1, 2, 4, kQuestionTypeDes, kQuestionTypeDes}));
}

TEST(OpenExamRecordTypes, AllAbsentTurnsEverythingOffAndKeepsTheCurrentType)
{
    EXPECT_EQ(ControlsOf(R"("obj_option":"N","sbj_option":"N","des_option":"N")"),
              (ExamTypeControls{1, 3, 5, kQuestionTypeNone, kQuestionTypeNone}));
}

TEST(OpenExamRecordTypes, AMissingOptionLeavesThePrefixAlone)
{
    ScratchFolder workspace;
    RecordingView view;
    const auto record = Open(R"({"exam_key":1,"exam_local":"exam","sbj_option":"D"})", workspace.Path(), view);
    EXPECT_EQ(record->m_strObjState, "obj_");
    EXPECT_EQ(record->m_strDesState, "des_");
    EXPECT_EQ(view.m_controls, (ExamTypeControls{1, 2, 5, kQuestionTypeSbj, kQuestionTypeSbj}));
}

TEST(OpenExamRecordKeys, ReadsTheKeysAndClearsTheHeights)
{
    ScratchFolder workspace;
    RecordingView view;
    auto current = std::make_unique<ExamRecord>();
    current->m_strExamLocal = "local_exam";
    current->m_pObjHeights = std::make_unique<ExamHeights>();
    current->m_pTextHeights = std::make_unique<TextHeights>();
    current = Open(R"({"exam_key":"42","exam_name":"이름","difficulty":"d3","obj_answer":"1,4",)"
                   R"("stage_id":"high","sbj_answer":"ignored","obj_list":[]})",
                   workspace.Path(), view, std::move(current), true);
    EXPECT_EQ(current->m_strExamLocal, "local_exam") << "filled in place: the store kind stays";
    EXPECT_EQ(current->m_nExamKey, 42u);
    EXPECT_EQ(current->m_strExamName, "이름");
    EXPECT_EQ(current->m_strDifficulty, "d3");
    EXPECT_EQ(current->m_strObjAnswer, "1,4");
    EXPECT_EQ(current->m_strStageId, "high");
    EXPECT_EQ(current->m_strSbjAnswer, "");
    EXPECT_EQ(current->m_strExamLocal, "local_exam");  // kept: the object has no "exam_local"
    EXPECT_FALSE(current->m_pObjHeights || current->m_pTextHeights);

    // A new record starts without a store kind.
    current = Open(R"({"exam_key":43})", workspace.Path(), view, std::move(current), false);
    EXPECT_EQ(current->m_strExamLocal, "");
}

TEST(OpenExamRecordFolders, AQuestionOfAnotherStoreKindLiesInItsNumberedFolderAndIsNotUnpacked)
{
    ScratchFolder workspace;
    const std::string folder = workspace / "exam/d6-001/d4-23/d2-45/ek-1234567";
    WriteFile(folder + "/obj-exam.hwp", "packed");
    ASSERT_TRUE(PackArchive(1234567, {"obj-exam.hwp"}, "exam", folder));
    fs::remove(folder + "/obj-exam.hwp");
    RecordingView view;
    const auto record = Open(R"({"exam_local":"exam","exam_key":1234567,"obj_option":"D"})", workspace.Path(), view);
    EXPECT_EQ(record->m_strExamFolder, folder);
    EXPECT_FALSE(fs::exists(folder + "/obj-exam.hwp"));
    EXPECT_EQ(view.m_calls, (std::vector<std::string>{"controls", "documents"}));
}

TEST(OpenExamRecordFolders, AStoreKindThatWouldLeaveTheWorkspaceIsTakenAsExam)
{
    for (const char* kind : {"..", "../../elsewhere", "a/b", "..\\x"}) {
        ScratchFolder workspace;
        RecordingView view;
        const auto record = Open(std::string(R"({"exam_key":5,"exam_local":")") + JsonEscape(kind) + "\"}",
                                 workspace.Path(), view);
        EXPECT_EQ(record->m_strExamLocal, "exam") << kind;
        EXPECT_EQ(record->m_strExamFolder, workspace / "exam/d6-000/d4-00/d2-00/ek-5") << kind;
    }
}

TEST(OpenExamRecordFolders, ALocalQuestionIsUnpackedEveryTimeItOpens)
{
    ScratchFolder workspace;
    const std::string folder = workspace / "local_exam/ek-12";
    WriteFile(folder + "/obj-exam.hwp", "saved");
    ASSERT_TRUE(PackArchive(12, {"obj-exam.hwp"}, "exam", folder));
    for (int i = 0; i < 2; ++i) {
        WriteFile(folder + "/obj-exam.hwp", "changed since the save");
        RecordingView view;
        const auto record = Open(R"({"exam_local":"local_exam","exam_key":12})", workspace.Path(), view);
        EXPECT_EQ(record->m_strExamFolder, folder);
        EXPECT_EQ(ReadFile(folder + "/obj-exam.hwp"), "saved");
    }
}

TEST(OpenExamRecordFolders, APassageOfAnotherStoreKindBecomesExamtext)
{
    ScratchFolder workspace;
    RecordingView view;
    const auto record =
        Open(R"({"exam_local":"exam","exam_key":5,"examtext_key":1234567,"examtext_local":"downloaded"})",
             workspace.Path(), view);
    EXPECT_EQ(record->m_strExamtextLocal, "examtext");
    EXPECT_EQ(record->m_strExamtextFolder, workspace / "examtext/d4-123/d2-45/etk-1234567");
    EXPECT_EQ(view.m_passageFolder, record->m_strExamtextFolder);
    EXPECT_EQ(view.m_calls, (std::vector<std::string>{"controls", "passage", "documents"}));
}

TEST(OpenExamRecordFolders, ALocalPassageIsUnpackedOnlyWhenItsDocumentIsMissing)
{
    ScratchFolder workspace;
    const std::string folder = workspace / "local_examtext/etk-7";
    WriteFile(folder + "/text.hwp", "packed passage");
    ASSERT_TRUE(PackArchive(7, {"text.hwp"}, "text", folder));
    WriteFile(folder + "/text.hwp", "edited passage");
    const std::string json = R"({"exam_local":"local_exam","exam_key":3,"examtext_key":7,"examtext_local":"local_examtext"})";

    RecordingView view;
    auto record = Open(json, workspace.Path(), view);
    EXPECT_EQ(record->m_strExamtextFolder, folder);
    EXPECT_EQ(ReadFile(folder + "/text.hwp"), "edited passage");

    fs::remove(folder + "/text.hwp");
    record = Open(json, workspace.Path(), view);
    EXPECT_EQ(ReadFile(folder + "/text.hwp"), "packed passage");
}

TEST(OpenExamRecordFolders, ADamagedArchiveLeavesTheOpenQuestionExactlyAsItWas)
{
    ScratchFolder workspace;
    WriteFile(workspace / "local_exam/ek-12/12-exam.zip", "not an archive at all, only some text here");
    WriteFile(workspace / "local_examtext/etk-5/5-text.zip", "no archive either, only some more text");
    RecordingView view;
    auto current = std::make_unique<ExamRecord>();
    current->m_nExamKey = 3;
    current->m_strExamLocal = "local_exam";
    current->m_strExamFolder = "A";
    const ExamRecord* before = current.get();
    for (const char* json : {R"({"exam_local":"local_exam","exam_key":12,"obj_option":"D"})",
                             R"({"exam_local":"exam","exam_key":13,"examtext_key":5,"examtext_local":"local_examtext"})"}) {
        const JsonOwnedPtr root = ParseJsonUtf8(json);
        EXPECT_THROW(OpenExamRecord(current, JsonObjectOf(root.get()), false, workspace.Path(), view), ArchiveError);
        EXPECT_THROW(LoadQuestionText(current, json, workspace.Path(), view), ArchiveError);
        ASSERT_EQ(current.get(), before) << json;
        EXPECT_EQ(current->m_nExamKey, 3u);
        EXPECT_EQ(current->m_strExamLocal, "local_exam");
        EXPECT_EQ(current->m_strExamFolder, "A");
        EXPECT_TRUE(view.m_calls.empty()) << "nothing shown of a question that did not open";
    }
}

TEST(LoadQuestionText, OpensObjectsOnlyAndIntoTheCurrentRecord)
{
    ScratchFolder workspace;
    RecordingView view;
    auto current = std::make_unique<ExamRecord>();
    current->m_nExamKey = 99;
    for (const char* text : {"", "[1,2]", "\"text\"", "{broken", "\xff\xfe{}"}) {
        EXPECT_FALSE(LoadQuestionText(current, text, workspace.Path(), view));
        EXPECT_EQ(current->m_nExamKey, 99u) << text;
    }
    EXPECT_TRUE(view.m_calls.empty());
}

TEST(LoadQuestionText, AWrittenLocalRecordOpensAgainAsTheSameQuestion)
{
    ScratchFolder workspace;
    ExamRecord saved;
    saved.m_nExamKey = 4;
    saved.m_strExamLocal = "local_exam";
    saved.m_strExamFolder = workspace / "local_exam/ek-4";
    saved.m_strDifficulty = "d1";
    saved.m_strObjAnswer = "3";
    saved.m_strStageId = "elem";
    fs::create_directories(saved.m_strExamFolder);
    TypeControlsState controls;
    controls.objButtonImage = 0;
    controls.desButtonImage = 4;
    WriteExamRecord(saved, controls);
    // The level goes after every key the readers knew before it.
    EXPECT_TRUE(ReadFile(saved.m_strExamFolder + "/4.dat").ends_with(R"("sbj_answer":"","stage_id":"elem"})"));

    auto current = std::make_unique<ExamRecord>();
    current->m_strExamLocal = "exam";  // the question open before
    RecordingView view;
    LoadQuestionFile(current, saved.m_strExamFolder + "/4.dat", workspace.Path(), view);
    EXPECT_EQ(current->m_strExamLocal, "local_exam");
    EXPECT_EQ(current->m_nExamKey, 4u);
    EXPECT_EQ(current->m_strExamFolder, saved.m_strExamFolder);
    EXPECT_EQ(current->m_strDifficulty, "d1");
    EXPECT_EQ(current->m_strObjAnswer, "3");
    EXPECT_EQ(current->m_strStageId, "elem") << "an elementary question reopens as one";
    EXPECT_EQ(view.m_controls, (ExamTypeControls{0, 3, 4, kQuestionTypeObj, kQuestionTypeObj}));
}

TEST(LoadQuestionText, PointsGoLastAndComeBackToATenthWhileAnythingButANumberIsNone)
{
    ScratchFolder workspace;
    ExamRecord saved;
    saved.m_nExamKey = 5;
    saved.m_strExamLocal = "local_exam";
    saved.m_strExamFolder = workspace / "local_exam/ek-5";
    saved.m_strStageId = "high";
    saved.m_nScoreTenths = 33;
    fs::create_directories(saved.m_strExamFolder);
    WriteExamRecord(saved, TypeControlsState{});
    const std::string dat = ReadFile(saved.m_strExamFolder + "/5.dat");
    EXPECT_TRUE(dat.ends_with(R"("sbj_answer":"","stage_id":"high","score":3.3})")) << dat;

    auto current = std::make_unique<ExamRecord>();
    RecordingView view;
    ASSERT_EQ(LoadQuestionFile(current, saved.m_strExamFolder + "/5.dat", workspace.Path(), view),
              LoadQuestionResult::Opened);
    EXPECT_EQ(current->m_nScoreTenths, 33);
    EXPECT_EQ(current->m_strStageId, "high");

    const std::pair<const char*, std::optional<std::int32_t>> cases[] = {
        {R"({"exam_key":5})", std::nullopt},         {R"({"exam_key":5,"score":3})", 30},
        {R"({"exam_key":5,"score":100})", 1000},     {R"({"exam_key":5,"score":0})", 0},
        {R"({"exam_key":5,"score":"3"})", std::nullopt}, {R"({"exam_key":5,"score":-1})", std::nullopt},
        {R"({"exam_key":5,"score":1e3})", std::nullopt}, {R"({"exam_key":5,"score":null})", std::nullopt},
    };
    for (const auto& [text, tenths] : cases) {
        current->m_nScoreTenths = 7; // of the question open before
        ASSERT_TRUE(LoadQuestionText(current, text, workspace.Path(), view, std::string("local_exam"))) << text;
        EXPECT_EQ(current->m_nScoreTenths, tenths) << text;
    }
}

TEST(LoadQuestionFile, AnUnreadableFileKeepsTheStoreKindOfTheOpenQuestion)
{
    ScratchFolder workspace;
    auto current = std::make_unique<ExamRecord>();
    current->m_nExamKey = 8;
    current->m_strExamLocal = "local_exam";
    RecordingView view;
    const std::string inExam = workspace / "exam/d6-000/d4-00/d2-00/ek-4/4.dat";
    WriteFile(inExam, "{not json");
    EXPECT_EQ(LoadQuestionFile(current, inExam, workspace.Path(), view), LoadQuestionResult::NotAQuestion);
    EXPECT_EQ(LoadQuestionFile(current, workspace / "exam/missing.dat", workspace.Path(), view),
              LoadQuestionResult::Unreadable);
    EXPECT_EQ(LoadQuestionFile(current, "/dev/zero", workspace.Path(), view), LoadQuestionResult::Unreadable);
    EXPECT_EQ(current->m_strExamLocal, "local_exam");
    EXPECT_EQ(current->m_nExamKey, 8u);
    EXPECT_TRUE(view.m_calls.empty());

    WriteFile(inExam, R"({"exam_key":4,"obj_option":"Y"})");
    EXPECT_EQ(LoadQuestionFile(current, inExam, workspace.Path(), view), LoadQuestionResult::Opened);
    EXPECT_EQ(current->m_strExamLocal, "exam");
    EXPECT_EQ(current->m_strExamFolder, workspace / "exam/d6-000/d4-00/d2-00/ek-4");
}

// "문제 불러오기" takes a question's record in a question folder of the workspace only.
TEST(ReadQuestionFile, OnlyAQuestionsRecordInAQuestionFolderOfTheWorkspaceOpens)
{
    ScratchFolder workspace;
    ScratchFolder elsewhere;
    const std::string question = R"({"exam_key":4,"obj_option":"D"})";
    const std::string passage = R"({"examtext_key":3,"textprint_height":10,"textpreview_height":3})";
    struct Case {
        std::string path;
        std::string text;
        LoadQuestionResult result;
        const char* kind;
    };
    const Case cases[] = {
        {workspace / "local_exam/ek-4/4.dat", question, LoadQuestionResult::Opened, "local_exam"},
        {workspace / "exam/d6-000/d4-00/d2-00/ek-4/4.dat", question, LoadQuestionResult::Opened, "exam"},
        {workspace / "local_examtext/etk-3/3.dat", passage, LoadQuestionResult::PassageRecord, ""},
        {workspace / "examtext/d4-00/d2-00/etk-3/3.dat", passage, LoadQuestionResult::PassageRecord, ""},
        {workspace / "local_exam/ek-4/4.dat", passage, LoadQuestionResult::PassageRecord, ""},
        {workspace / "local_exam_old/ek-4/4.dat", question, LoadQuestionResult::NotInQuestionFolder, ""},
        {workspace / "exam/ek-4/4.dat", question, LoadQuestionResult::NotInQuestionFolder, ""},
        {workspace / "local_exam/ek-4/5.dat", question, LoadQuestionResult::NotInQuestionFolder, ""},
        {workspace / "local_exam/ek-04/04.dat", question, LoadQuestionResult::NotInQuestionFolder, ""},
        {workspace / "4.dat", question, LoadQuestionResult::NotInQuestionFolder, ""},
        {elsewhere / "local_exam/ek-4/4.dat", question, LoadQuestionResult::NotInQuestionFolder, ""},
        {workspace / "local_exam/ek-5/5.dat", question, LoadQuestionResult::NotAQuestion, ""},
        {workspace / "local_exam/ek-6/6.dat", "[6]", LoadQuestionResult::NotAQuestion, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + c.text);
        WriteFile(c.path, c.text);
        const QuestionFile file = ReadQuestionFile(c.path, workspace.Path());
        EXPECT_EQ(file.result, c.result);
        EXPECT_EQ(file.storeKind, c.kind);
        // A refused file changes nothing.
        auto current = std::make_unique<ExamRecord>();
        current->m_nExamKey = 8;
        RecordingView view;
        EXPECT_EQ(LoadQuestionFile(current, c.path, workspace.Path(), view), c.result);
        EXPECT_EQ(current->m_nExamKey, c.result == LoadQuestionResult::Opened ? 4u : 8u);
        EXPECT_EQ(view.m_calls.empty(), c.result != LoadQuestionResult::Opened);
    }
}

TEST(QuestionFileStoreKind, TheFolderBelowTheWorkspaceElseTheLocalStoreElseNone)
{
    const std::string ws = "/home/u/ws";
    EXPECT_EQ(QuestionFileStoreKind(ws + "/local_exam/ek-4/4.dat", ws), "local_exam");
    EXPECT_EQ(QuestionFileStoreKind(ws + "/exam/d6-000/d4-00/d2-00/ek-4/4.dat", ws), "exam");
    EXPECT_EQ(QuestionFileStoreKind(ws + "/4.dat", ws), std::nullopt);
    EXPECT_EQ(QuestionFileStoreKind("/media/stick/local_exam/ek-4/4.dat", ws), "local_exam");
    EXPECT_EQ(QuestionFileStoreKind("local_exam/ek-4/4.dat", ws), std::nullopt);
    EXPECT_EQ(QuestionFileStoreKind("/media/stick/exam/4.dat", ws), std::nullopt);
    EXPECT_FALSE(IsStoreKindName(".."));
    EXPECT_FALSE(IsStoreKindName("../../tmp"));
    EXPECT_FALSE(IsStoreKindName("a\\b"));
    EXPECT_TRUE(IsStoreKindName("examtext"));
}

} // namespace
