#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "dialog/dialog_core.h"
#include "store/local_store.h"
#include "support/folders.h"
#include "support/launch_values.h"

#include "dialog_fakes.h"
#include "tests/store/store_testing.h"

using namespace dialog_fakes;
using namespace dlg;
using store_testing::ScratchFolder;
using store_testing::WriteFile;

namespace {

class DialogCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("VARNEL_PROGRAM_FILES", (m_scratch / "opt").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_scratch / "data").c_str(), 1);
        g_schoolKey = 7;
        g_userKey = 9;
        for (const char* name : {"sf_text", "sf_exam", "sf_obj", "sf_obj_empty", "sf_answer_obj", "sf_answer",
                                 "sf_explain", "f_text_empty"})
            WriteFile(Template(name), "hwp");
        m_core = std::make_unique<DialogCore>(m_view, editor::PaneSet{&m_passage, &m_question, &m_options, &m_answer,
                                                                      &m_explain, &m_work});
        m_core->m_strTemplatePrefix = "sf";
    }
    void TearDown() override
    {
        unsetenv("VARNEL_PROGRAM_FILES");
        unsetenv("XDG_DATA_HOME");
        g_schoolKey = g_userKey = 0;
    }

    std::string Template(const std::string& name) const
    {
        return m_scratch / ("opt/korvane/telquin/urk/hwp_format/" + name + "_format.hwp");
    }
    std::string Workspace() const { return m_scratch / "data/korvane/telquin/7/9"; }
    void ClearCalls()
    {
        for (RecordingPane* p : {&m_passage, &m_question, &m_options, &m_answer, &m_explain, &m_work})
            p->calls.clear();
    }
    static bool Called(const RecordingPane& pane, const std::string& call)
    {
        return std::find(pane.calls.begin(), pane.calls.end(), call) != pane.calls.end();
    }
    void Open(const std::string& json)
    {
        auto root = ParseJsonUtf8(json);
        ASSERT_TRUE(root);
        m_core->OpenExamRecord(JsonObjectOf(root.get()), false);
    }

    ScratchFolder m_scratch;
    FakeView m_view;
    RecordingPane m_passage, m_question, m_options, m_answer, m_explain, m_work;
    std::unique_ptr<DialogCore> m_core;
};

TEST_F(DialogCoreTest, ScreensFrom1080PixelsUpKeepTheLayout)
{
    const auto before = m_view.controls;
    m_view.screenWidth = 800; // the width never matters
    m_core->FitToScreen();
    EXPECT_EQ(m_core->m_fScale, 1.0f);
    for (const auto& [id, state] : before)
        EXPECT_EQ(m_view.controls[id].rect, state.rect) << id;
    m_core->SetUpEditorPanes();
    EXPECT_EQ(m_question.zoomRatio, 120);
    EXPECT_EQ(m_work.zoomRatio, 0) << "the work control gets no view settings";
    EXPECT_FALSE(Called(m_work, "SetToolBar TOOLBAR_MENU"));
    EXPECT_TRUE(Called(m_work, "RegisterCheckModule"));
}

TEST_F(DialogCoreTest, LowerScreensShrinkTheLayout)
{
    const auto before = m_view.controls;
    m_view.screenHeight = 1079;
    m_core->FitToScreen();
    EXPECT_EQ(m_core->m_fScale, 0.83f);
    const Rect dialog = m_view.controls[IDC_DIALOG].rect;
    EXPECT_EQ(dialog.width, 987);   // 1190 × 0.83
    EXPECT_EQ(dialog.height, 894);  // 1065 × 0.84
    EXPECT_EQ(dialog.left, 249);
    EXPECT_EQ(dialog.top, 16);
    EXPECT_EQ(m_core->m_nShrinkX, 203);
    EXPECT_EQ(m_core->m_nShrinkY, 171);

    const Rect question = before.at(IDC_PANE_QUESTION).rect;
    EXPECT_EQ(m_view.controls[IDC_PANE_QUESTION].rect,
              (Rect{static_cast<int>(question.left * 0.83f), question.top, static_cast<int>(question.width * 0.83f),
                    static_cast<int>(question.height * 0.83f)}));
    const Rect options = before.at(IDC_PANE_OPTIONS).rect;
    EXPECT_EQ(m_view.controls[IDC_PANE_OPTIONS].rect.top, static_cast<int>(options.top * 0.83f));

    Rect difficulty = before.at(IDC_DIFFICULTY).rect;
    difficulty.left -= 203;
    EXPECT_EQ(m_view.controls[IDC_DIFFICULTY].rect, difficulty);
    Rect save = before.at(IDC_SAVE).rect;
    save.left -= 203;
    save.top -= 171;
    EXPECT_EQ(m_view.controls[IDC_SAVE].rect, save);
    EXPECT_EQ(m_view.controls[IDC_HAS_PASSAGE].rect, before.at(IDC_HAS_PASSAGE).rect);
    EXPECT_EQ(m_view.controls[IDC_LOAD_PASSAGE].rect, before.at(IDC_LOAD_PASSAGE).rect);

    m_core->SetUpEditorPanes();
    EXPECT_EQ(m_explain.zoomRatio, 100);
}

TEST_F(DialogCoreTest, PassageColumnComesAndGoesWithoutMovingAnythingForGood)
{
    WriteFile(Workspace() + "/local_examtext/etk-7/text.hwp", "hwp");
    for (int height : {1080, 1079}) {
        m_view = FakeView();
        m_view.screenHeight = height;
        m_core->FitToScreen();
        m_core->StartNewQuestion();
        const auto before = m_view.controls;
        const int column = height == 1080 ? 575 : 477;

        m_view.SetChecked(IDC_HAS_PASSAGE, true);
        m_core->OnHasPassageClicked();
        const ExamRecord& record = *m_core->m_pExamRecord;
        EXPECT_EQ(record.m_nExamtextKey, 8u);
        EXPECT_EQ(record.m_strExamtextLocal, "local_examtext");
        EXPECT_EQ(record.m_strExamtextFolder, Workspace() + "/local_examtext/etk-8");
        EXPECT_TRUE(m_view.IsControlShown(IDC_PANE_PASSAGE));
        EXPECT_TRUE(m_view.IsControlShown(IDC_GROUP_PASSAGE));
        EXPECT_EQ(m_passage.OpenedName(), "f_text_empty_format.hwp");
        EXPECT_EQ(m_passage.calls.back(), "MoveDocBegin") << "passage styling ends at the beginning";
        const Rect wide = m_view.controls[IDC_DIALOG].rect;
        EXPECT_EQ(wide.width, before.at(IDC_DIALOG).rect.width + column);
        EXPECT_EQ(wide.left, (1920 - wide.width) / 2);
        EXPECT_EQ(m_view.controls[IDC_SAVE].rect.left, before.at(IDC_SAVE).rect.left + column);
        EXPECT_EQ(m_view.controls[IDC_LOAD_PASSAGE].rect, before.at(IDC_LOAD_PASSAGE).rect);

        m_view.SetChecked(IDC_HAS_PASSAGE, false);
        m_core->OnHasPassageClicked();
        EXPECT_EQ(record.m_nExamtextKey, 0u);
        EXPECT_EQ(record.m_strExamtextLocal, "");
        EXPECT_EQ(record.m_strExamtextFolder, "");
        EXPECT_FALSE(m_view.IsControlShown(IDC_PANE_PASSAGE));
        for (const auto& [id, state] : before) {
            if (id != IDC_DIALOG) {
                EXPECT_EQ(m_view.controls[id].rect, state.rect) << "control " << id << " at height " << height;
            }
        }
        EXPECT_EQ(m_view.controls[IDC_DIALOG].rect.width, before.at(IDC_DIALOG).rect.width);
    }
}

TEST_F(DialogCoreTest, NewQuestionStartsObjectiveAtMiddleSchoolDifficulty2)
{
    WriteFile(Workspace() + "/local_exam/ek-3/3.dat", "{}");
    m_core->StartNewQuestion();
    const ExamRecord& record = *m_core->m_pExamRecord;
    EXPECT_EQ(record.m_nExamKey, 4u);
    EXPECT_EQ(record.m_strExamLocal, "local_exam");
    EXPECT_EQ(record.m_strExamFolder, Workspace() + "/local_exam/ek-4");
    EXPECT_EQ(record.m_strDifficulty, "d2");
    EXPECT_EQ(record.m_nExamtextKey, 0u);
    EXPECT_EQ(m_core->m_nQuestionType, kQuestionTypeObj);
    EXPECT_EQ(m_view.PictureName(IDC_TYPE_OBJ), "obj_y");
    EXPECT_EQ(m_view.PictureName(IDC_TYPE_SBJ), "sbj_n");
    EXPECT_EQ(m_view.PictureName(IDC_TYPE_DES), "des_n");
    EXPECT_EQ(m_view.PictureName(IDC_DIFFICULTY), "dif2");
    EXPECT_EQ(m_view.PictureName(IDC_LEVEL_MID), "mid_e");
    EXPECT_EQ(m_view.PictureName(IDC_LEVEL_ELEM), "ele_d");
    EXPECT_EQ(m_core->m_strLevel, "mid");
    EXPECT_EQ(m_question.OpenedName(), "sf_exam_format.hwp");
    EXPECT_EQ(m_options.OpenedName(), "sf_obj_format.hwp");
    EXPECT_EQ(m_answer.OpenedName(), "sf_answer_obj_format.hwp");
    EXPECT_TRUE(Called(m_options, "StyleShortcut8"));
    EXPECT_TRUE(Called(m_answer, "StyleShortcut9"));
}

TEST_F(DialogCoreTest, TypeButtons)
{
    int stores = 0;
    std::vector<std::string> order;
    m_core->m_buildPreviewDocuments = [&](bool showMessages) {
        EXPECT_FALSE(showMessages);
        ++stores;
        order.push_back("store");
        return true;
    };
    m_core->StartNewQuestion();
    EXPECT_EQ(stores, 0) << "no type was current";

    // The current type clicked while on: off, nothing current, nothing reloaded.
    ClearCalls();
    m_core->OnTypeButton(IDC_TYPE_OBJ);
    EXPECT_EQ(m_view.PictureName(IDC_TYPE_OBJ), "obj_n");
    EXPECT_EQ(m_core->m_nQuestionType, kQuestionTypeNone);
    EXPECT_TRUE(m_question.calls.empty());
    EXPECT_EQ(stores, 0);

    // No type current: switching one on stores nothing.
    m_core->OnTypeButton(IDC_TYPE_OBJ);
    EXPECT_EQ(stores, 0);
    EXPECT_EQ(m_core->m_nQuestionType, kQuestionTypeObj);

    // Another type while objective is current: store first, then the subjective files.
    WriteFile(m_core->m_pExamRecord->m_strExamFolder + "/sbj-exam.hwp", "hwp");
    m_question.calls.clear();
    m_core->OnTypeButton(IDC_TYPE_SBJ);
    EXPECT_EQ(stores, 1);
    EXPECT_EQ(m_core->m_nQuestionType, kQuestionTypeSbj);
    EXPECT_EQ(m_view.PictureName(IDC_TYPE_OBJ), "obj_y");
    EXPECT_EQ(m_view.PictureName(IDC_TYPE_SBJ), "sbj_y");
    EXPECT_EQ(m_question.OpenedName(), "sbj-exam.hwp");
    EXPECT_EQ(m_options.OpenedName(), "sf_obj_empty_format.hwp");
    EXPECT_FALSE(m_view.IsControlEnabled(IDC_PANE_OPTIONS));
    EXPECT_EQ(m_answer.OpenedName(), "sf_answer_format.hwp");
}

TEST_F(DialogCoreTest, TypeWithoutContentBorrowsAnotherTypesDocuments)
{
    m_core->m_pExamRecord = std::make_unique<ExamRecord>();
    ExamRecord& record = *m_core->m_pExamRecord;
    record.m_strExamFolder = m_scratch / "q";
    for (const char* f : {"sbj-exam", "des-exam", "obj-exam", "obj-objective"})
        WriteFile(record.m_strExamFolder + "/" + f + ".hwp", "hwp");

    record.m_strObjState = "obj_n", record.m_strSbjState = "sbj_n", record.m_strDesState = "des_y";
    m_core->m_nQuestionType = kQuestionTypeSbj;
    m_core->SelectTypeDocuments();
    EXPECT_EQ(m_question.OpenedName(), "sbj-exam.hwp") << "the descriptive documents are not taken";

    record.m_strObjState = "obj_";
    m_core->m_nQuestionType = kQuestionTypeObj;
    m_view.EnableControl(IDC_PANE_OPTIONS, false);
    m_core->SelectTypeDocuments();
    EXPECT_EQ(m_question.OpenedName(), "obj-exam.hwp");
    EXPECT_EQ(m_options.OpenedName(), "obj-objective.hwp");
    EXPECT_TRUE(m_view.IsControlEnabled(IDC_PANE_OPTIONS));

    record.m_strObjState = "obj_y", record.m_strDesState = "des_n";
    m_core->m_nQuestionType = kQuestionTypeDes;
    m_core->SelectTypeDocuments();
    EXPECT_EQ(m_question.OpenedName(), "obj-exam.hwp");
    EXPECT_EQ(m_options.OpenedName(), "obj-objective.hwp");
    EXPECT_FALSE(m_view.IsControlEnabled(IDC_PANE_OPTIONS));
}

TEST_F(DialogCoreTest, DefaultBoxesExcludeEachOther)
{
    m_view.SetChecked(IDC_DEFAULT_OBJ, true);
    m_view.SetChecked(IDC_DEFAULT_SBJ, true);
    m_core->OnDefaultTypeBox(IDC_DEFAULT_SBJ);
    EXPECT_FALSE(m_view.IsChecked(IDC_DEFAULT_OBJ));
    EXPECT_TRUE(m_view.IsChecked(IDC_DEFAULT_SBJ));
    m_view.SetChecked(IDC_DEFAULT_SBJ, false);
    m_core->OnDefaultTypeBox(IDC_DEFAULT_SBJ);
    EXPECT_FALSE(m_view.IsChecked(IDC_DEFAULT_OBJ) || m_view.IsChecked(IDC_DEFAULT_SBJ) ||
                 m_view.IsChecked(IDC_DEFAULT_DES));
}

TEST_F(DialogCoreTest, DifficultyCyclesOnlyForLocalQuestions)
{
    m_core->StartNewQuestion();
    ExamRecord& record = *m_core->m_pExamRecord;
    for (auto [from, to] : {std::pair{"d4", "d1"}, std::pair{"d1", "d2"}, std::pair{"", "d1"}, std::pair{"x", "d1"},
                            std::pair{"d2147483647", "d2147483647"}, std::pair{"d99999999999", "d2147483647"},
                            std::pair{"d7", "d8"}}) {
        record.m_strDifficulty = from;
        m_core->OnDifficultyButton();
        EXPECT_EQ(record.m_strDifficulty, to) << from;
    }
    EXPECT_EQ(m_view.PictureName(IDC_DIFFICULTY), "dif8");
    record.m_strExamLocal = "exam";
    record.m_strDifficulty = "d3";
    m_core->OnDifficultyButton();
    EXPECT_EQ(record.m_strDifficulty, "d3");
}

TEST_F(DialogCoreTest, LevelStylesFollowTheSchoolLevel)
{
    m_core->OnLevelButton(IDC_LEVEL_ELEM);
    EXPECT_EQ(m_core->m_strLevel, "elem");
    EXPECT_EQ(m_question.calls, (std::vector<std::string>{"MoveDocBegin", "MoveSelDocEnd", "StyleShortcut2", "MoveDocEnd"}));
    EXPECT_TRUE(Called(m_options, "StyleShortcut4"));
    EXPECT_TRUE(Called(m_answer, "StyleShortcut5"));
    EXPECT_TRUE(Called(m_explain, "StyleShortcut5"));
    EXPECT_TRUE(m_passage.calls.empty()) << "no passage while the box is off";
    EXPECT_EQ(m_view.PictureName(IDC_LEVEL_ELEM), "ele_e");
    EXPECT_EQ(m_view.PictureName(IDC_LEVEL_HIGH), "high_d");
    EXPECT_EQ(m_view.controls[IDC_LEVEL_MID].repaints, 1);

    ClearCalls();
    m_view.SetChecked(IDC_HAS_PASSAGE, true);
    m_passage.hasTextArea = true;
    m_core->OnLevelButton(IDC_LEVEL_HIGH);
    EXPECT_EQ(m_view.PictureName(IDC_LEVEL_HIGH), "high_e");
    EXPECT_TRUE(Called(m_options, "StyleShortcut8"));
    EXPECT_TRUE(Called(m_answer, "StyleShortcut9"));
    EXPECT_EQ(m_passage.calls, (std::vector<std::string>{"MoveDocBegin", "MoveSelListEnd", "StyleShortcut6",
                                                         "GoToField TEXT_AREA", "StyleShortcut7", "MoveDocBegin"}));

    // "스타일 적용" with no level yet: base 6, the passage styled even when hidden.
    ClearCalls();
    m_core->m_strLevel.clear();
    m_view.SetChecked(IDC_HAS_PASSAGE, false);
    m_passage.hasTextArea = false;
    m_core->OnApplyStyle();
    // Without a field the caret ends at the end, nothing left selected.
    EXPECT_EQ(m_passage.calls, (std::vector<std::string>{"MoveDocBegin", "MoveSelListEnd", "StyleShortcut6",
                                                         "GoToField TEXT_AREA", "MoveDocEnd"}));
    EXPECT_TRUE(Called(m_options, "StyleShortcut8"));

    m_core->ShowLevel("anything");
    EXPECT_EQ(m_view.PictureName(IDC_LEVEL_MID), "mid_e");
}

TEST_F(DialogCoreTest, ObjectiveAnswerIsReadFromTheMarks)
{
    m_core->StartNewQuestion();
    for (auto [text, numbers] : {std::pair{u"정답 : ③", "3"}, std::pair{u"정답 : ①, ④", "1,4"},
                                 std::pair{u"정답 : ②②", "2"}, std::pair{u"정답 : ", ""}, std::pair{u"⑤①", "1,5"}}) {
        m_answer.text = text;
        m_core->ReadObjectiveAnswer();
        EXPECT_EQ(m_core->m_pExamRecord->m_strObjAnswer, numbers);
    }
}

TEST_F(DialogCoreTest, OptionMenuResetsPanesToTemplates)
{
    m_core->m_nQuestionType = kQuestionTypeObj;
    m_view.EnableControl(IDC_PANE_ANSWER, false);
    m_core->OnResetCommand(ID_RESET_ANSWER);
    EXPECT_EQ(m_answer.OpenedName(), "sf_answer_obj_format.hwp");
    EXPECT_TRUE(m_view.IsControlEnabled(IDC_PANE_ANSWER));
    EXPECT_TRUE(m_question.calls.empty());

    m_core->m_nQuestionType = kQuestionTypeSbj;
    m_view.EnableControl(IDC_PANE_ANSWER, false);
    m_core->OnResetCommand(ID_RESET_ALL);
    EXPECT_EQ(m_passage.OpenedName(), "sf_text_format.hwp");
    EXPECT_EQ(m_question.OpenedName(), "sf_exam_format.hwp");
    EXPECT_EQ(m_options.OpenedName(), "sf_obj_format.hwp");
    EXPECT_EQ(m_answer.OpenedName(), "sf_answer_format.hwp");
    EXPECT_EQ(m_explain.OpenedName(), "sf_explain_format.hwp");
    EXPECT_FALSE(m_view.IsControlEnabled(IDC_PANE_ANSWER));

    ClearCalls();
    m_core->OnResetCommand(32789);
    m_core->OpenPaneDocument("", 6);
    EXPECT_TRUE(m_passage.calls.empty());
    EXPECT_EQ(m_explain.OpenedName(), "sf_explain_format.hwp") << "an empty path resets";
}

TEST_F(DialogCoreTest, OpeningSetsTypeControls)
{
    m_view.SetChecked(IDC_DEFAULT_DES, true);
    Open(R"({"exam_key":5,"obj_option":"D","sbj_option":"N","des_option":"Y","stage_id":"elem","difficulty":"d3"})");
    EXPECT_EQ(m_view.PictureName(IDC_TYPE_OBJ), "obj_y");
    EXPECT_EQ(m_view.PictureName(IDC_TYPE_SBJ), "sbj_n");
    EXPECT_EQ(m_view.PictureName(IDC_TYPE_DES), "des_y");
    EXPECT_TRUE(m_view.IsChecked(IDC_DEFAULT_OBJ));
    EXPECT_FALSE(m_view.IsChecked(IDC_DEFAULT_DES)) << "the box of the question before is cleared";
    EXPECT_EQ(m_core->m_nQuestionType, kQuestionTypeObj);
    EXPECT_EQ(m_view.PictureName(IDC_DIFFICULTY), "dif3");
    EXPECT_EQ(m_view.PictureName(IDC_LEVEL_ELEM), "ele_e");

    Open(R"({"obj_option":"n","sbj_option":"y","des_option":"d"})");
    EXPECT_TRUE(m_view.IsChecked(IDC_DEFAULT_DES));
    EXPECT_FALSE(m_view.IsChecked(IDC_DEFAULT_OBJ));
    EXPECT_EQ(m_core->m_nQuestionType, kQuestionTypeDes);

    Open(R"({"obj_option":"N","sbj_option":"N","des_option":"N"})");
    EXPECT_EQ(m_core->m_nQuestionType, kQuestionTypeDes) << "kept";
    EXPECT_EQ(m_view.PictureName(IDC_TYPE_DES), "des_n");

    Open(R"({"sbj_option":"Y"})");
    EXPECT_EQ(m_core->m_pExamRecord->m_strObjState, "obj_");
    EXPECT_EQ(m_view.PictureName(IDC_TYPE_OBJ), "obj_n");
    EXPECT_EQ(m_core->m_nQuestionType, kQuestionTypeSbj);
}

TEST_F(DialogCoreTest, OpeningWithAndWithoutPassageKeepsOneColumn)
{
    const int width = m_view.controls[IDC_DIALOG].rect.width;
    WriteFile(Workspace() + "/examtext/d4-00/d2-00/etk-12/text.hwp", "hwp");
    Open(R"({"exam_key":1234567,"exam_local":"exam","examtext_key":12,"examtext_local":"whatever","obj_option":"D"})");
    const ExamRecord& record = *m_core->m_pExamRecord;
    EXPECT_EQ(record.m_strExamFolder, Workspace() + "/exam/d6-001/d4-23/d2-45/ek-1234567");
    EXPECT_EQ(record.m_strExamtextLocal, "examtext");
    EXPECT_TRUE(m_view.IsChecked(IDC_HAS_PASSAGE));
    EXPECT_EQ(m_passage.OpenedName(), "text.hwp");
    EXPECT_EQ(m_view.controls[IDC_DIALOG].rect.width, width + 575);

    Open(R"({"exam_key":3,"exam_local":"exam","examtext_key":12,"obj_option":"D"})");
    EXPECT_EQ(m_view.controls[IDC_DIALOG].rect.width, width + 575) << "not widened a second time";

    Open(R"({"exam_key":4,"exam_local":"exam","obj_option":"D"})");
    EXPECT_FALSE(m_view.IsChecked(IDC_HAS_PASSAGE));
    EXPECT_FALSE(m_view.IsControlShown(IDC_PANE_PASSAGE));
    EXPECT_EQ(m_view.controls[IDC_DIALOG].rect.width, width);
}

TEST_F(DialogCoreTest, LoadQuestionTakesTheStoreKindFromWhereTheFileLies)
{
    m_core->StartNewQuestion();
    m_view.chosenFile = Workspace() + "/exam/d6-000/d4-00/d2-00/ek-5/5.dat";
    WriteFile(m_view.chosenFile, R"({"exam_key":5,"obj_option":"Y"})");
    m_core->OnLoadQuestion();
    EXPECT_EQ(m_view.chooserFolder, Workspace());
    EXPECT_EQ(m_core->m_pExamRecord->m_strExamLocal, "exam");
    EXPECT_EQ(m_core->m_pExamRecord->m_strExamFolder, Workspace() + "/exam/d6-000/d4-00/d2-00/ek-5");

    // A damaged archive of a local question: its message is shown and question 5 stays,
    // store kind and all.
    m_view.chosenFile = Workspace() + "/local_exam/ek-6/6.dat";
    WriteFile(m_view.chosenFile, R"({"exam_key":6,"obj_option":"Y"})");
    WriteFile(Workspace() + "/local_exam/ek-6/6-exam.zip", "this is not a zip archive");
    m_question.calls.clear();
    m_core->OnLoadQuestion();
    EXPECT_EQ(m_core->m_pExamRecord->m_strExamLocal, "exam");
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, 5u);
    EXPECT_TRUE(m_question.calls.empty()) << "the panes keep question 5";
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_NE(m_view.messages[0].find("6-exam.zip"), std::string::npos);

    // An unreadable .dat in the local store does not turn question 5 into a local one.
    m_view.messages.clear();
    m_view.chosenFile = Workspace() + "/local_exam/ek-7/7.dat";
    WriteFile(m_view.chosenFile, "{\"exam_key\":7,");
    m_core->OnLoadQuestion();
    EXPECT_EQ(m_core->m_pExamRecord->m_strExamLocal, "exam");
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, 5u);
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_NE(m_view.messages[0].find("7.dat"), std::string::npos);
    m_view.messages.clear();
    m_view.chosenFile = "/dev/zero";
    m_core->OnLoadQuestion();
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, 5u);
    EXPECT_EQ(m_view.messages.size(), 1u);

    // Cancelled: nothing changes.
    m_view.chosenFile.clear();
    m_core->OnLoadQuestion();
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, 5u);
}

TEST_F(DialogCoreTest, LoadQuestionRefusesWhatIsNoQuestionAndAsksBeforeDroppingUnsavedWork)
{
    m_core->StartNewQuestion();
    const std::uint32_t key = m_core->m_pExamRecord->m_nExamKey;
    m_view.chosenFile = Workspace() + "/local_examtext/etk-3/3.dat";
    WriteFile(m_view.chosenFile, R"({"examtext_key":3,"textprint_height":10,"textpreview_height":3})");
    m_core->OnLoadQuestion();
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, key);
    EXPECT_EQ(m_core->m_pExamRecord->m_strExamLocal, "local_exam");
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_NE(m_view.messages[0].find("지문"), std::string::npos) << m_view.messages[0];

    // Work no save has packed: "no" keeps it, and nothing is opened.
    m_view.messages.clear();
    m_view.chosenFile = Workspace() + "/local_exam/ek-5/5.dat";
    WriteFile(m_view.chosenFile, R"({"exam_key":5,"obj_option":"D"})");
    m_core->m_bUnsavedWork = true;
    m_view.answerYes = false;
    ClearCalls();
    m_core->OnLoadQuestion();
    ASSERT_EQ(m_view.asked.size(), 1u);
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, key);
    EXPECT_TRUE(m_question.calls.empty());
    EXPECT_TRUE(m_core->m_bUnsavedWork);
    m_view.answerYes = true;
    m_core->OnLoadQuestion();
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, 5u);
    EXPECT_FALSE(m_core->m_bUnsavedWork);
    EXPECT_TRUE(m_view.messages.empty());
}

TEST_F(DialogCoreTest, LaunchRecordHookDecidesStartOrClose)
{
    m_core->m_applyLaunchRecord = [] { return false; };
    m_core->InitDialog();
    EXPECT_EQ(m_view.closeRequests, 1);
    EXPECT_EQ(m_core->m_strTemplatePrefix, "sf");

    m_core->m_applyLaunchRecord = nullptr;
    m_core->InitDialog();
    EXPECT_EQ(m_view.closeRequests, 1);
    ASSERT_TRUE(m_core->m_pExamRecord);
    EXPECT_EQ(m_core->m_nQuestionType, kQuestionTypeObj);
    m_core->OnClose();
    EXPECT_FALSE(m_core->m_pExamRecord);
}

} // namespace
