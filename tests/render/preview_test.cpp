// Preview assembly: validation, the order of saves, images and appends, and what a run
// leaves behind; with recording panes where the order is the point, real panes where the
// files are.
#include "tests/render/render_testing.h"

#include "editor/hwpctrl.h"
#include "hwp/writer.h"
#include "render/preview.h"
#include "tools/templates/template_documents.h"

#include <QImageReader>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using namespace render_testing;

namespace {

const std::string kPassageMessage = "지문 있는 문제로 체크하였습니다.\n지문을 불러오거나 입력하세요.";
const std::string kQuestionMessage = "문제는 필수입력 사항입니다.";
const std::string kOptionsMessage = "객관식 보기는 필수입력 사항입니다.";
const std::string kAnswerMessage = "정답은 필수입력 사항입니다.";

class PreviewAssembly : public RenderTest {
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        setenv("VARNEL_PROGRAM_FILES", PathOf("opt").c_str(), 1);
        auto record = std::make_unique<ExamRecord>();
        record->m_nExamKey = 12;
        record->m_strExamLocal = "local_exam";
        record->m_strExamFolder = PathOf("ws/local_exam/ek-12");
        record->m_strExamtextLocal = "local_examtext";
        record->m_strExamtextFolder = PathOf("ws/local_examtext/etk-7");
        m_dialog.m_pExamRecord = std::move(record);
        m_dialog.m_nQuestionType = kQuestionTypeObj;
        m_dialog.m_nObjButtonImage = 0;
    }
    void TearDown() override { unsetenv("VARNEL_PROGRAM_FILES"); }

    ExamRecord& Record() { return *m_dialog.m_pExamRecord; }
    void AddPassage() { Record().m_nExamtextKey = 7; }
    std::string Q(const std::string& name) { return Record().m_strExamFolder + "/" + name; }
    std::string P(const std::string& name) { return Record().m_strExamtextFolder + "/" + name; }
    bool Build(bool showMessages = true)
    {
        return BuildPreviewDocuments(m_dialog, showMessages, [this] {
            m_log.push_back("cropper");
            m_stateAtCropper = Record().m_strObjState;
            m_filesAtCropper = FilesIn(Record().m_strExamFolder);
        });
    }
    // The calls that write, render or open something.
    std::vector<std::string> FileCalls() const
    {
        std::vector<std::string> calls;
        for (const std::string& call : m_log)
            if (call.find("SaveDocumentAs") != std::string::npos || call.find("RenderPageImage") != std::string::npos ||
                call.find("OpenDocument") != std::string::npos || call.find("InsertFile") != std::string::npos ||
                call == "cropper")
                calls.push_back(call);
        return calls;
    }
    std::size_t IndexOf(const std::string& call) const
    {
        return static_cast<std::size_t>(std::find(m_log.begin(), m_log.end(), call) - m_log.begin());
    }
    std::size_t LastIndexOf(const std::string& call) const
    {
        const auto found = std::find(m_log.rbegin(), m_log.rend(), call);
        return found == m_log.rend() ? m_log.size() : static_cast<std::size_t>(m_log.rend() - found - 1);
    }

    Log m_log;
    RecordingPane m_passage{"passage", m_log};
    RecordingPane m_question{"question", m_log};
    RecordingPane m_options{"options", m_log};
    RecordingPane m_answer{"answer", m_log};
    RecordingPane m_explain{"explain", m_log};
    RecordingPane m_work{"work", m_log};
    RecordingView m_view;
    DialogCore m_dialog{m_view, editor::PaneSet{&m_passage, &m_question, &m_options, &m_answer, &m_explain, &m_work}};
    std::string m_stateAtCropper;
    std::vector<std::string> m_filesAtCropper;
};

struct ValidationCase {
    const char* name;
    std::int32_t type;
    bool passage;
    bool passageEmpty, questionEmpty, optionsEmpty, answerEmpty, explainEmpty;
    std::string message;
};

class Validation : public PreviewAssembly, public ::testing::WithParamInterface<ValidationCase> {};

TEST_P(Validation, ShowsAtMostOneMessageByPriority)
{
    const ValidationCase& c = GetParam();
    m_dialog.m_nQuestionType = c.type;
    if (c.passage)
        AddPassage();
    m_passage.empty = c.passageEmpty;
    m_question.empty = c.questionEmpty;
    m_options.empty = c.optionsEmpty;
    m_answer.empty = c.answerEmpty;
    m_explain.empty = c.explainEmpty;

    EXPECT_EQ(ValidateQuestion(m_dialog, true), c.message.empty());
    if (c.message.empty())
        EXPECT_TRUE(m_view.messages.empty());
    else
        EXPECT_EQ(m_view.messages, std::vector<std::string>{c.message});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Validation,
    ::testing::Values(
        ValidationCase{"SbjWithoutQuestionAndAnswer", kQuestionTypeSbj, false, false, true, false, true, false, kQuestionMessage},
        ValidationCase{"PassageEmptyRequiredFilled", kQuestionTypeObj, true, true, false, false, false, false, kPassageMessage},
        ValidationCase{"QuestionBeatsPassage", kQuestionTypeObj, true, true, true, false, false, false, kQuestionMessage},
        ValidationCase{"OptionsBeatAnswer", kQuestionTypeObj, false, false, false, true, true, false, kOptionsMessage},
        ValidationCase{"AnswerBeatsPassage", kQuestionTypeDes, true, true, false, false, true, false, kAnswerMessage},
        ValidationCase{"SbjIgnoresOptions", kQuestionTypeSbj, false, false, false, true, false, false, ""},
        ValidationCase{"ExplanationNeverRequired", kQuestionTypeObj, true, false, false, false, false, true, ""},
        ValidationCase{"NoTypeTestsOnlyThePassage", kQuestionTypeNone, true, true, true, true, true, true, kPassageMessage},
        ValidationCase{"NoTypeNoPassagePasses", kQuestionTypeNone, false, false, true, true, true, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PreviewAssembly, AFailedCheckWritesNothingAndMarksTheTypeUnfinished)
{
    AddPassage();
    m_passage.empty = true;
    EXPECT_FALSE(Build(true));
    EXPECT_EQ(m_view.messages, std::vector<std::string>{kPassageMessage});
    EXPECT_TRUE(FileCalls().empty());
    EXPECT_FALSE(Exists(PathOf("ws")));
    EXPECT_EQ(m_dialog.m_nObjButtonImage, 1);
    EXPECT_EQ(std::filesystem::path(m_view.pictures[dlg::IDC_TYPE_OBJ]).filename(), "obj_n.png");
}

TEST_F(PreviewAssembly, ASilentFailureShowsNoMessageButStillTheUnfinishedPicture)
{
    m_dialog.m_nSbjButtonImage = 2;
    m_dialog.m_nDesButtonImage = 4;
    m_answer.empty = true;
    for (auto [type, id, picture] : {std::tuple{kQuestionTypeSbj, dlg::IDC_TYPE_SBJ, "sbj_n.png"},
                                     std::tuple{kQuestionTypeDes, dlg::IDC_TYPE_DES, "des_n.png"}}) {
        m_dialog.m_nQuestionType = type;
        EXPECT_FALSE(Build(false));
        EXPECT_EQ(std::filesystem::path(m_view.pictures[id]).filename(), picture);
    }
    EXPECT_EQ(m_dialog.m_nSbjButtonImage, 3);
    EXPECT_EQ(m_dialog.m_nDesButtonImage, 5);
    EXPECT_TRUE(m_view.messages.empty());
    EXPECT_TRUE(FileCalls().empty());
    EXPECT_FALSE(m_view.pictures.count(dlg::IDC_TYPE_OBJ));
}

TEST_F(PreviewAssembly, AnObjectiveQuestionWithAPassageIsSavedInThePrintOrder)
{
    AddPassage();
    m_answer.answerText = u"정답 : ②, ④";
    ASSERT_TRUE(Build(true));
    const auto render = [](const std::string& pane, const std::string& bitmap) {
        return pane + ":RenderPageImage(" + bitmap + ",0,600,24,bmp)";
    };
    EXPECT_EQ(FileCalls(), (std::vector<std::string>{
                               "passage:SaveDocumentAs(" + P("text.hwp") + ",HWP)",
                               render("passage", P("7-print-text.bmp")),
                               "work:InsertFile(" + P("text.hwp") + ")",
                               "work:OpenDocument(sf_preview_format.hwp)",
                               "question:SaveDocumentAs(" + Q("obj-exam.hwp") + ",HWP)",
                               render("question", Q("12-print-obj-exam.bmp")),
                               "work:InsertFile(" + Q("obj-exam.hwp") + ")",
                               "options:SaveDocumentAs(" + Q("obj-objective.hwp") + ",HWP)",
                               render("options", Q("12-print-obj-objective.bmp")),
                               "work:InsertFile(" + Q("obj-objective.hwp") + ")",
                               "answer:SaveDocumentAs(" + Q("obj-answer.hwp") + ",HWP)",
                               render("answer", Q("12-print-obj-answer.bmp")),
                               "work:InsertFile(" + Q("obj-answer.hwp") + ")",
                               "explain:SaveDocumentAs(" + Q("obj-explain.hwp") + ",HWP)",
                               render("explain", Q("12-print-obj-explain.bmp")),
                               "work:InsertFile(" + Q("obj-explain.hwp") + ")",
                               render("work", Q("12-examprint-obj.bmp")),
                               "cropper",
                           }));
    // Blank lines after each part but the explanation, then style 1 where the next begins.
    std::vector<std::string> work;
    for (const std::string& call : m_log)
        if (call.rfind("work:", 0) == 0 && call.find("MoveDoc") == std::string::npos)
            work.push_back(call);
    EXPECT_EQ(work, (std::vector<std::string>{
                        "work:InsertFile(" + P("text.hwp") + ")", "work:InsertText(0 lines)", "work:StyleShortcut1",
                        "work:OpenDocument(sf_preview_format.hwp)",
                        "work:InsertFile(" + Q("obj-exam.hwp") + ")", "work:InsertText(1 lines)", "work:StyleShortcut1",
                        "work:InsertFile(" + Q("obj-objective.hwp") + ")", "work:InsertText(2 lines)", "work:StyleShortcut1",
                        "work:InsertFile(" + Q("obj-answer.hwp") + ")", "work:InsertText(1 lines)", "work:StyleShortcut1",
                        "work:InsertFile(" + Q("obj-explain.hwp") + ")",
                        "work:RenderPageImage(" + Q("12-examprint-obj.bmp") + ",0,600,24,bmp)",
                    }));
    // The answer is read after the options are done and before the answer pane is saved
    // (besides the look before anything is written, for the question about a missing
    // mark); the panes are emptied only once every document is written.
    EXPECT_LT(IndexOf("answer:BeginTextScan"), IndexOf("passage:SaveDocumentAs(" + P("text.hwp") + ",HWP)"));
    EXPECT_LT(IndexOf("options:SaveDocumentAs(" + Q("obj-objective.hwp") + ",HWP)"), LastIndexOf("answer:BeginTextScan"));
    EXPECT_LT(IndexOf("explain:SaveDocumentAs(" + Q("obj-explain.hwp") + ",HWP)"), IndexOf("passage:ClearDocument(0)"));
    EXPECT_LT(LastIndexOf("answer:BeginTextScan"), IndexOf("answer:SaveDocumentAs(" + Q("obj-answer.hwp") + ",HWP)"));
    EXPECT_EQ(Record().m_strObjAnswer, "2,4");
    EXPECT_EQ(m_stateAtCropper, "obj_y");
    EXPECT_EQ(m_filesAtCropper, FilesIn(Record().m_strExamFolder)) << "every image is written before the cropper";
    for (RecordingPane* pane : {&m_passage, &m_question, &m_options, &m_answer, &m_explain})
        EXPECT_TRUE(pane->empty);
    EXPECT_EQ(FilesIn(Record().m_strExamtextFolder), (std::vector<std::string>{"7-print-text001.png", "text.hwp"}));
    EXPECT_EQ(FilesIn(Record().m_strExamFolder),
              (std::vector<std::string>{"12-examprint-obj001.png", "12-print-obj-answer001.png",
                                        "12-print-obj-exam001.png", "12-print-obj-explain001.png",
                                        "12-print-obj-objective001.png", "obj-answer.hwp", "obj-exam.hwp",
                                        "obj-explain.hwp", "obj-objective.hwp"}));
}

TEST_F(PreviewAssembly, ASubjectiveQuestionKeepsItsOptionsPaneAndReadsNoAnswer)
{
    m_dialog.m_nQuestionType = kQuestionTypeSbj;
    Record().m_strObjAnswer = "3";
    ASSERT_TRUE(Build(true));
    EXPECT_FALSE(m_options.empty);
    EXPECT_EQ(IndexOf("answer:BeginTextScan"), m_log.size());
    EXPECT_EQ(Record().m_strObjAnswer, "3");
    EXPECT_EQ(Record().m_strSbjState, "sbj_y");
    EXPECT_EQ(Record().m_strObjState, "");
    EXPECT_TRUE(Exists(Q("12-examprint-sbj001.png")));
}

TEST_F(PreviewAssembly, WithNoTypeOnlyThePassageIsSavedAndTheTemplateOpened)
{
    AddPassage();
    m_dialog.m_nQuestionType = kQuestionTypeNone;
    EXPECT_TRUE(Build(true));
    EXPECT_EQ(FileCalls(), (std::vector<std::string>{
                               "passage:SaveDocumentAs(" + P("text.hwp") + ",HWP)",
                               "passage:RenderPageImage(" + P("7-print-text.bmp") + ",0,600,24,bmp)",
                               "work:InsertFile(" + P("text.hwp") + ")",
                               "work:OpenDocument(sf_preview_format.hwp)",
                           }));
    EXPECT_EQ(FilesIn(Record().m_strExamFolder), std::vector<std::string>{}) << "no part, no image";
    EXPECT_EQ(Record().m_strObjState + Record().m_strSbjState + Record().m_strDesState, "");
    EXPECT_FALSE(m_question.empty);
}

TEST_F(PreviewAssembly, OnlyLocalQuestionsAndPassagesGetTheirFoldersMade)
{
    AddPassage();
    Record().m_strExamLocal = "exam";
    Record().m_strExamtextLocal = "examtext";
    EXPECT_TRUE(Build(true));
    EXPECT_FALSE(Exists(PathOf("ws"))) << "downloaded items' folders are expected to exist";
    EXPECT_EQ(Record().m_strObjState, "obj_y");
}

TEST_F(PreviewAssembly, AFailedPrintExportStillSetsTheStateButSkipsTheCropper)
{
    m_work.renderResult = false;
    EXPECT_TRUE(Build(true));
    EXPECT_EQ(Record().m_strObjState, "obj_y");
    EXPECT_EQ(IndexOf("cropper"), m_log.size());
}

TEST_F(PreviewAssembly, APartThatCannotBeWrittenFailsTheAssemblyAndKeepsEveryPane)
{
    AddPassage();
    m_answer.saveWorks = false;
    Record().m_strObjState = "obj_n";
    EXPECT_FALSE(Build(true));
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_NE(m_view.messages[0].find(Q("obj-answer.hwp")), std::string::npos) << m_view.messages[0];
    for (RecordingPane* pane : {&m_passage, &m_question, &m_options, &m_answer, &m_explain})
        EXPECT_FALSE(pane->empty) << "emptied although the save failed";
    EXPECT_EQ(IndexOf("cropper"), m_log.size());
    EXPECT_EQ(IndexOf("work:InsertFile(" + Q("obj-answer.hwp") + ")"), m_log.size());
    EXPECT_EQ(Record().m_strObjState, "obj_n") << "a type whose documents are not all written is not present";

    // Silent (a type switch): the same, without a message.
    m_view.messages.clear();
    EXPECT_FALSE(Build(false));
    EXPECT_TRUE(m_view.messages.empty());
    EXPECT_FALSE(m_question.empty);
}

TEST_F(PreviewAssembly, TheTypeButtonsHookRunsTheSilentAssembly)
{
    InstallPreviewHook(m_dialog, [this] { m_log.push_back("cropper"); });
    ASSERT_TRUE(m_dialog.m_buildPreviewDocuments);
    m_question.empty = true;
    EXPECT_FALSE(m_dialog.m_buildPreviewDocuments(false));
    EXPECT_TRUE(m_view.messages.empty());
    m_question.empty = false;
    EXPECT_TRUE(m_dialog.m_buildPreviewDocuments(false));
    // The panes are emptied after the cropper: while it runs they still show the text.
    const auto cropper = std::find(m_log.begin(), m_log.end(), "cropper");
    ASSERT_NE(cropper, m_log.end());
    EXPECT_EQ(std::find(m_log.begin(), cropper, "explain:ClearDocument(0)"), cropper);
    EXPECT_NE(std::find(cropper, m_log.end(), "explain:ClearDocument(0)"), m_log.end());
}

// Real panes: an objective question with a passage gives six images that pngcheck passes.
class RealPanes : public RenderTest {};

TEST_F(RealPanes, AnObjectiveQuestionWithAPassageGivesSixImages)
{
    const std::string formats = PathOf("opt/korvane/telquin/urk/hwp_format");
    std::filesystem::create_directories(formats);
    for (const char* name : {"sf_preview_format.hwp", "sf_text_format.hwp", "sf_exam_format.hwp", "sf_obj_format.hwp",
                             "sf_answer_obj_format.hwp", "sf_explain_format.hwp"})
        hwp::WriteDocument(templates::MakeTemplateDocument(name), formats + "/" + name);
    setenv("VARNEL_PROGRAM_FILES", PathOf("opt").c_str(), 1);

    editor::CHwpctrl passage, question, options, answer, explain, work;
    const std::pair<editor::CHwpctrl*, std::pair<const char*, std::u16string>> filled[] = {
        {&passage, {"sf_text_format.hwp", u"봄이 오면 산과 들에 꽃이 핀다. 사람들은 겨울 동안 닫아 두었던 창문을 연다."}},
        {&question, {"sf_exam_format.hwp", u"윗글의 중심 내용으로 가장 알맞은 것은?"}},
        {&options, {"sf_obj_format.hwp", u"① 봄꽃\r\n② 창문\r\n③ 겨울\r\n④ 산과 들\r\n⑤ 사람들"}},
        {&answer, {"sf_answer_obj_format.hwp", u"①"}}, // after the template's label
        {&explain, {"sf_explain_format.hwp", u"봄이 와서 꽃이 피는 모습을 그린 글이다."}},
    };
    for (const auto& [pane, content] : filled) {
        ASSERT_TRUE(pane->OpenDocument(Utf16(formats + "/" + content.first), u"HWP"));
        pane->RunAction(u"MoveDocEnd");
        pane->InsertPlainText(QString::fromStdU16String(content.second));
    }

    RecordingView view;
    DialogCore dialog(view, editor::PaneSet{&passage, &question, &options, &answer, &explain, &work});
    auto record = std::make_unique<ExamRecord>();
    record->m_nExamKey = 12;
    record->m_nExamtextKey = 7;
    record->m_strExamLocal = "local_exam";
    record->m_strExamFolder = PathOf("ws/local_exam/ek-12");
    record->m_strExamtextLocal = "local_examtext";
    record->m_strExamtextFolder = PathOf("ws/local_examtext/etk-7");
    dialog.m_pExamRecord = std::move(record);
    dialog.m_nQuestionType = kQuestionTypeObj;
    int cropperRuns = 0;
    ASSERT_TRUE(BuildPreviewDocuments(dialog, true, [&] { ++cropperRuns; }));
    unsetenv("VARNEL_PROGRAM_FILES");

    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(cropperRuns, 1);
    EXPECT_EQ(dialog.m_pExamRecord->m_strObjAnswer, "1");
    const std::string q = PathOf("ws/local_exam/ek-12/");
    const std::string p = PathOf("ws/local_examtext/etk-7/");
    const std::vector<std::string> images = {p + "7-print-text001.png",          q + "12-print-obj-exam001.png",
                                             q + "12-print-obj-objective001.png", q + "12-print-obj-answer001.png",
                                             q + "12-print-obj-explain001.png",   q + "12-examprint-obj001.png"};
    for (const std::string& image : images) {
        EXPECT_EQ(PngCheckFailure(image), "") << image;
        QImageReader reader(QString::fromStdString(image));
        EXPECT_EQ(reader.size(), QSize(2480, 3508)) << image;
    }
    for (const std::string& folder : {q, p})
        for (const std::string& name : FilesIn(folder))
            EXPECT_EQ(name.find(".bmp"), std::string::npos) << name;
    EXPECT_TRUE(Exists(p + "text.hwp"));
    EXPECT_TRUE(IsPaneEmpty(passage) && IsPaneEmpty(question) && IsPaneEmpty(answer));
    // The print document carries the question, the options, the answer and the explanation.
    const QString print = work.Document().Text().toPlainText();
    for (const char16_t* text : {u"윗글의 중심 내용", u"④ 산과 들", u"정답 : ①", u"꽃이 피는 모습"})
        EXPECT_TRUE(print.contains(QString::fromStdU16String(text))) << QString::fromStdU16String(text).toStdString();
}

} // namespace
