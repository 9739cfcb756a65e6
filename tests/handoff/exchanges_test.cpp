#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

#include "handoff/channel.h"
#include "handoff/exchanges.h"
#include "platform/named_event.h"
#include "platform/shared_block.h"
#include "render/preview.h"
#include "support/folders.h"
#include "support/launch_values.h"

#include "tests/dialog/dialog_fakes.h"
#include "tests/store/store_testing.h"

namespace fs = std::filesystem;
using namespace dialog_fakes;
using namespace dlg;
using store_testing::ReadFile;
using store_testing::ScratchFolder;
using store_testing::WriteFile;

namespace {

class Exchanges : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("VARNEL_PROGRAM_FILES", (m_scratch / "opt").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_scratch / "data").c_str(), 1);
        fs::create_directories(m_scratch / "runtime");
        fs::permissions(m_scratch / "runtime", fs::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", (m_scratch / "runtime").c_str(), 1);
        unsetenv("VARNEL_TEST_ANSWER");
        setenv("VARNEL_TEST_REQUEST_FILE", (m_scratch / "request.txt").c_str(), 1);
        g_schoolKey = g_userKey = 0;
        g_webServer.clear();
        const std::string urk = m_scratch / "opt/korvane/telquin/urk";
        fs::create_directories(urk + "/hwp_format");
        for (const char* name : {"Fennick", "Tolvard"})
            fs::create_symlink(VARNEL_ANSWER_TOOL, urk + "/" + name);
        m_core = std::make_unique<DialogCore>(m_view, editor::PaneSet{&m_passage, &m_question, &m_options, &m_answer,
                                                                      &m_explain, &m_work});
        m_core->m_strTemplatePrefix = "sf";
        handoff::ReleaseLauncherChannel();
    }
    void TearDown() override
    {
        handoff::ReleaseLauncherChannel();
        for (const char* v : {"VARNEL_PROGRAM_FILES", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "VARNEL_TEST_ANSWER",
                              "VARNEL_TEST_REQUEST_FILE", "VARNEL_TEST_DELAY_MS"})
            unsetenv(v);
        g_schoolKey = g_userKey = 0;
        g_webServer.clear();
    }

    std::string Workspace() const { return GetWorkspaceFolder(); }
    std::string DataFolder() const { return m_scratch / "data/korvane/telquin"; }
    void Answer(const char* text) { setenv("VARNEL_TEST_ANSWER", text, 1); }

    ScratchFolder m_scratch;
    FakeView m_view;
    RecordingPane m_passage, m_question, m_options, m_answer, m_explain, m_work;
    std::unique_ptr<DialogCore> m_core;
};

// The Launcher's block as varnel-launcher makes it: record at 0, answer area at 2048.
class LauncherBlock {
public:
    explicit LauncherBlock(const std::string& record)
    {
        const auto names = handoff::LauncherChannelNames();
        platform::RemoveSharedBlock(names.block);
        platform::RemoveNamedEvent(names.event);
        event = platform::OpenNamedEvent(names.event, platform::OpenMode::CreateOrOpen);
        block = platform::CreateSharedBlock(names.block, 4096);
        std::memcpy(block->Data(), record.c_str(), record.size() + 1);
    }
    std::unique_ptr<platform::NamedEvent> event;
    std::unique_ptr<platform::SharedBlock> block;
};

TEST_F(Exchanges, LaunchValuesAreConvertedAndMatchedWithCase)
{
    EXPECT_TRUE(handoff::ReadLaunchRecord(*m_core, R"({"user_info":{"user_key":"123","school_key":12.9,"web_svr":5}})"));
    EXPECT_EQ(g_userKey, 123u);
    EXPECT_EQ(g_schoolKey, 12u);
    EXPECT_EQ(g_webServer, "5");
    EXPECT_TRUE(handoff::ReadLaunchRecord(*m_core, R"({"user_info":{"user_key":true,"web_svr":true,"School_key":4}})"));
    EXPECT_EQ(g_userKey, 1u);
    EXPECT_EQ(g_schoolKey, 0u);
    EXPECT_EQ(g_webServer, "TRUE");
    ASSERT_TRUE(m_core->m_pExamRecord);
    EXPECT_EQ(m_core->m_pExamRecord->m_strExamLocal, "local_exam") << "no exam_info: a new question";
}

TEST_F(Exchanges, RecordsThatYieldNothingStartANewQuestion)
{
    g_userKey = 77;
    EXPECT_TRUE(handoff::ReadLaunchRecord(*m_core, R"({"user_info":{"user_key":5}} x)"));
    EXPECT_EQ(g_userKey, 77u) << "trailing text: nothing is read";
    ASSERT_TRUE(m_core->m_pExamRecord);
    EXPECT_EQ(m_core->m_nQuestionType, kQuestionTypeObj);

    m_core->m_pExamRecord.reset();
    EXPECT_TRUE(handoff::ReadLaunchRecord(*m_core, R"({"user_info":{"user_key":5},"exam_info":{}})"));
    ASSERT_TRUE(m_core->m_pExamRecord);
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, 1u);

    m_core->m_pExamRecord.reset();
    EXPECT_TRUE(handoff::ReadLaunchRecord(*m_core, "[1,2]"));
    EXPECT_TRUE(m_core->m_pExamRecord);
}

TEST_F(Exchanges, WithoutBlockOrFileANewQuestionStartsInWorkspaceZeroZero)
{
    g_userKey = g_schoolKey = 0;
    EXPECT_TRUE(handoff::AcquireLaunchRecord(*m_core));
    ASSERT_TRUE(m_core->m_pExamRecord);
    EXPECT_EQ(m_core->m_pExamRecord->m_strExamFolder, DataFolder() + "/0/0/local_exam/ek-1");
    EXPECT_EQ(m_view.closeRequests, 0);
}

TEST_F(Exchanges, FallbackFileIsReadWhenThereIsNoBlock)
{
    WriteFile(DataFolder() + "/exam.dat",
              R"({"user_info":{"school_key":3,"user_key":4},"exam_info":{"exam_key":5,"exam_local":"exam","obj_option":"D"}})");
    EXPECT_TRUE(handoff::AcquireLaunchRecord(*m_core));
    EXPECT_EQ(g_schoolKey, 3u);
    EXPECT_EQ(g_userKey, 4u);
    EXPECT_EQ(m_core->m_pExamRecord->m_strExamFolder, DataFolder() + "/3/4/exam/d6-000/d4-00/d2-00/ek-5");
}

TEST_F(Exchanges, AFailureWhileApplyingIsShownThenCloses)
{
    WriteFile(DataFolder() + "/0/0/local_exam/ek-6/6-exam.zip", "not a zip archive");
    EXPECT_FALSE(handoff::ReadLaunchRecord(*m_core, R"({"exam_info":{"exam_key":6,"exam_local":"local_exam"}})"));
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_NE(m_view.messages[0].find("6-exam.zip"), std::string::npos);

    m_core->m_applyLaunchRecord = [this] { return handoff::AcquireLaunchRecord(*m_core); };
    WriteFile(DataFolder() + "/exam.dat", R"({"exam_info":{"exam_key":6,"exam_local":"local_exam"}})");
    m_core->InitDialog();
    EXPECT_EQ(m_view.closeRequests, 1);
}

TEST_F(Exchanges, LauncherBlockWinsOverTheFile)
{
    WriteFile(DataFolder() + "/exam.dat", R"({"user_info":{"school_key":99}})");
    LauncherBlock launcher(R"({"user_info":{"school_key":8,"user_key":2,"web_svr":"http://school.example"}})");
    EXPECT_TRUE(handoff::AcquireLaunchRecord(*m_core));
    EXPECT_EQ(g_schoolKey, 8u);
    EXPECT_EQ(g_webServer, "http://school.example");
}

TEST_F(Exchanges, PickerRequestAndPassageAnswers)
{
    g_schoolKey = 3, g_userKey = 15, g_webServer = "http://srv";
    EXPECT_EQ(handoff::PickerRequest(),
              R"({"school_key":3,"user_key":15,"content_type":"examtext","web_svr":"http://srv"})");
    m_core->StartNewQuestion();
    const int width = m_view.controls[IDC_DIALOG].rect.width;

    Answer(R"({"content_type":"examtext","examtext_key":1234567,"examtext_local":"examtext"})");
    handoff::OnLoadPassage(*m_core);
    EXPECT_EQ(ReadFile(m_scratch / "request.txt"), handoff::PickerRequest());
    const ExamRecord& record = *m_core->m_pExamRecord;
    EXPECT_EQ(record.m_nExamtextKey, 1234567u);
    EXPECT_EQ(record.m_strExamtextFolder, Workspace() + "/examtext/d4-123/d2-45/etk-1234567");
    EXPECT_TRUE(m_view.IsChecked(IDC_HAS_PASSAGE));
    EXPECT_EQ(m_view.controls[IDC_DIALOG].rect.width, width + 575);

    Answer(R"({"content_type":"examtext","examtext_key":8,"examtext_local":"local_examtext"})");
    m_passage.calls.clear();
    handoff::OnLoadPassage(*m_core);
    EXPECT_EQ(record.m_strExamtextFolder, Workspace() + "/local_examtext/etk-8");
    EXPECT_EQ(m_view.controls[IDC_DIALOG].rect.width, width + 575) << "widened once";
    // The passage's document, or its template in the level's styles where it has none.
    EXPECT_TRUE(std::any_of(m_passage.calls.begin(), m_passage.calls.end(),
                            [](const std::string& call) { return call.rfind("OpenDocument", 0) == 0; }));
}

TEST_F(Exchanges, PickerQuestionAnswerOpensThatQuestion)
{
    m_core->StartNewQuestion();
    Answer(R"({"content_type":"exam","exam_key":9,"exam_local":"exam","obj_option":"D","examtext_key":0})");
    handoff::OnLoadPassage(*m_core);
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, 9u);
    EXPECT_EQ(m_core->m_pExamRecord->m_strExamLocal, "exam");

    // The picker ends without answering: nothing changes.
    unsetenv("VARNEL_TEST_ANSWER");
    handoff::OnLoadPassage(*m_core);
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, 9u);
    EXPECT_FALSE(m_view.IsChecked(IDC_HAS_PASSAGE));
}

TEST_F(Exchanges, CropperRequestIsCompact)
{
    g_schoolKey = 3, g_userKey = 15;
    ExamRecord record;
    record.m_nExamKey = 12, record.m_strExamLocal = "local_exam";
    record.m_nExamtextKey = 7, record.m_strExamtextLocal = "local_examtext";
    EXPECT_EQ(handoff::CropperRequest(record, kQuestionTypeSbj),
              R"({"school_key":3,"user_key":15,"content_type":"exam","exam_key":12,"exam_local":"local_exam",)"
              R"("examtext_key":7,"examtext_local":"local_examtext","exam_type":"sbj"})");
    EXPECT_EQ(handoff::QuestionTypeText(0), "");
    EXPECT_EQ(handoff::QuestionTypeText(2003), "des");
}

TEST_F(Exchanges, CropperHeightsGoWhereTheAnswerSays)
{
    m_core->StartNewQuestion();
    m_core->m_nQuestionType = kQuestionTypeSbj;
    Answer(R"({"textprint_height":50,"exam_type":"obj","exam_print_height":11,"answer_print_height":12,)"
           R"("obj_print_height":13,"examcard_height":"14"})");
    handoff::RunImageCropper(*m_core);
    const ExamRecord& record = *m_core->m_pExamRecord;
    EXPECT_NE(ReadFile(m_scratch / "request.txt").find(R"("exam_type":"sbj")"), std::string::npos);
    EXPECT_FALSE(record.m_pTextHeights) << "no passage: passage heights ignored";
    ASSERT_TRUE(record.m_pObjHeights);
    EXPECT_FALSE(record.m_pSbjHeights);
    EXPECT_EQ(record.m_pObjHeights->exam_print_height, 11);
    EXPECT_EQ(record.m_pObjHeights->obj_print_height, 13);
    EXPECT_EQ(record.m_pObjHeights->examcard_height, 14);

    Answer(R"({"exam_type":"sbj","obj_print_height":99,"exam_print_height":5})");
    handoff::RunImageCropper(*m_core);
    ASSERT_TRUE(record.m_pSbjHeights);
    EXPECT_EQ(record.m_pSbjHeights->obj_print_height, 0) << "options heights only for obj";

    Answer(R"({"exam_type":"obj","exam_print_height":21})");
    handoff::RunImageCropper(*m_core);
    EXPECT_EQ(record.m_pObjHeights->answer_print_height, 0) << "a missing key zeroes";
    EXPECT_EQ(record.m_pObjHeights->obj_print_height, 0);

    unsetenv("VARNEL_TEST_ANSWER");
    handoff::RunImageCropper(*m_core);
    EXPECT_EQ(record.m_pObjHeights->exam_print_height, 21) << "no answer: nothing changes";
}

TEST_F(Exchanges, SavingALauncherQuestionNotifiesAndCloses)
{
    LauncherBlock launcher(R"({"user_info":{"school_key":1,"user_key":2}})");
    ASSERT_TRUE(handoff::AcquireLaunchRecord(*m_core));
    m_core->m_buildPreviewDocuments = [](bool) { return true; };
    m_core->m_pExamRecord->m_strExamLocal = "exam";
    m_core->m_pExamRecord->m_strExamFolder = Workspace() + "/exam/q";
    fs::create_directories(m_core->m_pExamRecord->m_strExamFolder);
    const std::string before(reinterpret_cast<const char*>(launcher.block->Data()), 4096);

    handoff::OnSave(*m_core, {});
    EXPECT_TRUE(fs::exists(Workspace() + "/exam/q/1.dat"));
    const auto* data = reinterpret_cast<const char*>(launcher.block->Data());
    EXPECT_EQ(std::memcmp(data + 2048, "EXAM_SAVE", 10), 0);
    EXPECT_EQ(std::string(data, 2048), before.substr(0, 2048));
    EXPECT_EQ(std::string(data + 2058, 4096 - 2058), before.substr(2058));
    EXPECT_TRUE(launcher.event->Wait(std::chrono::milliseconds(0)));
    EXPECT_FALSE(launcher.event->Wait(std::chrono::milliseconds(0))) << "set once";
    EXPECT_EQ(m_view.closeRequests, 1);
}

TEST_F(Exchanges, SavingALocalQuestionStartsTheNextOne)
{
    LauncherBlock launcher(R"({"user_info":{"school_key":1,"user_key":2}})");
    ASSERT_TRUE(handoff::AcquireLaunchRecord(*m_core));
    m_core->m_buildPreviewDocuments = [](bool) { return true; };
    const std::string folder = m_core->m_pExamRecord->m_strExamFolder;
    fs::create_directories(folder);
    handoff::OnSave(*m_core, {});
    EXPECT_TRUE(fs::exists(folder + "/1.dat"));
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, 2u);
    EXPECT_EQ(launcher.block->Data()[2048], 0) << "the Launcher's block is untouched";
    EXPECT_FALSE(launcher.event->Wait(std::chrono::milliseconds(0)));
    EXPECT_EQ(m_view.closeRequests, 0);
}

TEST_F(Exchanges, SavingWhenTheLauncherIsGoneKeepsTheQuestion)
{
    handoff::AcquireLaunchRecord(*m_core); // no block at all
    m_core->m_buildPreviewDocuments = [](bool) { return true; };
    m_core->m_pExamRecord->m_strExamLocal = "exam";
    m_core->m_pExamRecord->m_strExamFolder = Workspace() + "/exam/q";
    fs::create_directories(m_core->m_pExamRecord->m_strExamFolder);
    handoff::OnSave(*m_core, {});
    EXPECT_TRUE(fs::exists(Workspace() + "/exam/q/1.dat"));
    EXPECT_EQ(m_view.closeRequests, 0);
    EXPECT_EQ(m_core->m_pExamRecord->m_strExamLocal, "exam");
}

TEST_F(Exchanges, ALauncherQuestionSavedAfterTheLauncherWentGetsItsDocumentsBackAndSaysSo)
{
    handoff::AcquireLaunchRecord(*m_core); // the Launcher's block is gone
    m_core->m_pExamRecord->m_strExamLocal = "exam";
    m_core->m_pExamRecord->m_strExamFolder = Workspace() + "/exam/q";
    fs::create_directories(m_core->m_pExamRecord->m_strExamFolder);
    // As the assembly does: every pane is emptied once it is stored.
    m_core->m_buildPreviewDocuments = [this](bool) {
        for (RecordingPane* pane : {&m_passage, &m_question, &m_options, &m_answer, &m_explain})
            pane->ClearDocument(0);
        return true;
    };
    for (RecordingPane* pane : {&m_passage, &m_question, &m_options, &m_answer, &m_explain})
        pane->calls.clear();
    handoff::OnSave(*m_core, {});
    EXPECT_TRUE(fs::exists(Workspace() + "/exam/q/1.dat"));
    EXPECT_EQ(m_view.closeRequests, 0);
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_NE(m_view.messages[0].find("알리지 못했습니다"), std::string::npos) << m_view.messages[0];
    // The documents as they were before the assembly emptied the panes come back.
    for (RecordingPane* pane : {&m_passage, &m_question, &m_options, &m_answer, &m_explain}) {
        ASSERT_FALSE(pane->calls.empty());
        EXPECT_EQ(pane->calls.back().rfind("OpenDocument", 0), 0u) << pane->calls.back();
        EXPECT_NE(pane->calls.back().find("varnel-panes-"), std::string::npos) << pane->calls.back();
    }
}

TEST_F(Exchanges, APickerAnswerThatLeavesTheWorkspaceChangesNothing)
{
    m_core->StartNewQuestion();
    const ExamRecord before = [&] {
        ExamRecord copy;
        copy.m_nExamtextKey = m_core->m_pExamRecord->m_nExamtextKey;
        copy.m_strExamtextFolder = m_core->m_pExamRecord->m_strExamtextFolder;
        return copy;
    }();
    for (const char* kind : {"../../../../tmp/x", "..", "a/b", "/etc"}) {
        const std::string answer = std::string(R"({"content_type":"examtext","examtext_key":3,"examtext_local":")") +
                                   kind + R"("})";
        handoff::ApplyPickerAnswer(*m_core, answer);
        EXPECT_EQ(m_core->m_pExamRecord->m_nExamtextKey, before.m_nExamtextKey) << kind;
        EXPECT_EQ(m_core->m_pExamRecord->m_strExamtextFolder, before.m_strExamtextFolder) << kind;
        EXPECT_FALSE(m_view.IsChecked(IDC_HAS_PASSAGE)) << kind;
    }
    EXPECT_TRUE(m_passage.opened.empty() || m_passage.opened.find("..") == std::string::npos);
}

bool ChannelLeft(const char* word)
{
    const auto names = handoff::ChannelNamesFor(word);
    return platform::OpenSharedBlock(names.block) != nullptr ||
           platform::OpenNamedEvent(names.event, platform::OpenMode::OpenExisting) != nullptr;
}

// A view whose busy wait fails, as an error inside the event processing would.
class ThrowingBusyView : public FakeView {
public:
    void SetBusy(const std::string& status) override { busy = !status.empty(); }
    void WhileBusy() override { throw std::runtime_error("fault in the busy wait"); }
    bool busy = false;
};

// The fault stays where it arose: said, no answer taken, the question and the dialog as
// they were (not busy, so it takes input and can be closed), the channel released.
TEST_F(Exchanges, AnErrorInTheBusyWaitIsSaidAndLeavesTheQuestion)
{
    ThrowingBusyView view;
    DialogCore core(view, editor::PaneSet{&m_passage, &m_question, &m_options, &m_answer, &m_explain, &m_work});
    core.StartNewQuestion();
    const std::string folder = core.m_pExamRecord->m_strExamFolder;
    // The stand-ins run until the wait has looked at least once, and would answer.
    setenv("VARNEL_TEST_DELAY_MS", "300", 1);
    setenv("VARNEL_TEST_ANSWER", R"({"exam_type":"obj","exam_print_height":11})", 1);
    EXPECT_NO_THROW(handoff::RunImageCropper(core));
    EXPECT_FALSE(view.busy);
    EXPECT_FALSE(core.m_pExamRecord->m_pObjHeights) << "an answer taken after the fault";
    setenv("VARNEL_TEST_ANSWER", R"({"content_type":"examtext","examtext_key":8,"examtext_local":"local_examtext"})", 1);
    EXPECT_NO_THROW(handoff::OnLoadPassage(core));
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(core.m_pExamRecord->m_nExamtextKey, 0u);
    EXPECT_EQ(core.m_pExamRecord->m_strExamFolder, folder);
    EXPECT_FALSE(view.IsChecked(IDC_HAS_PASSAGE));
    ASSERT_EQ(view.messages.size(), 2u);
    for (const std::string& message : view.messages)
        EXPECT_NE(message.find("fault in the busy wait"), std::string::npos) << message;
    // The stand-ins answer into channels already released.
    usleep(500 * 1000);
    EXPECT_FALSE(ChannelLeft(handoff::kTolvardWord));
    EXPECT_FALSE(ChannelLeft(handoff::kFennickWord));
}

TEST_F(Exchanges, SavingAnEmptyQuestionShowsWhyAndWritesNothing)
{
    handoff::AcquireLaunchRecord(*m_core);
    m_core->m_buildPreviewDocuments = [this](bool show) { return BuildPreviewDocuments(*m_core, show, {}); };
    handoff::OnSave(*m_core, {});
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_EQ(m_view.messages[0], "문제는 필수입력 사항입니다.");
    EXPECT_FALSE(fs::exists(m_core->m_pExamRecord->m_strExamFolder));

    const fs::path store = fs::path(m_core->m_pExamRecord->m_strExamFolder).parent_path();
    EXPECT_TRUE(!fs::exists(store) || fs::is_empty(store)) << "no staged copy of a refused save stays";

    // A folder that cannot be made (a file lies where the store's folder belongs): the
    // failure is said, not a new question.
    m_view.messages.clear();
    fs::remove_all(Workspace() + "/local_exam");
    WriteFile(Workspace() + "/local_exam", "a file, not a folder");
    m_core->m_buildPreviewDocuments = [](bool) { return true; };
    const std::uint32_t key = m_core->m_pExamRecord->m_nExamKey;
    handoff::OnSave(*m_core, {});
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, key);
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_NE(m_view.messages[0].find("저장하지 못했습니다"), std::string::npos);
}

// A crop the cropper could not write (its disk is full): the save names the cause and
// the file as the user knows it, switches nothing in, and keeps the question.
TEST_F(Exchanges, AFailedWriteAnywhereInTheSaveIsSaidWithItsCauseAndNothingChanges)
{
    handoff::AcquireLaunchRecord(*m_core);
    ExamRecord& record = *m_core->m_pExamRecord;
    const std::string live = record.m_strExamFolder;
    const std::uint32_t key = record.m_nExamKey;
    m_core->m_buildPreviewDocuments = [this](bool) {
        const std::string staged = m_core->m_pExamRecord->m_strExamFolder;
        handoff::ApplyCropperAnswer(*m_core->m_pExamRecord,
                                    R"({"exam_type":"obj","write_error":28,"write_file":")" + staged +
                                        R"(/1-print-obj-exam.png"})");
        return true;
    };
    handoff::OnSave(*m_core, {});
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, key) << "no next question after a failed save";
    EXPECT_EQ(m_core->m_pExamRecord->m_strExamFolder, live);
    EXPECT_FALSE(fs::exists(live));
    ASSERT_EQ(m_view.messages.size(), 1u);
    EXPECT_NE(m_view.messages[0].find("디스크 공간이 부족합니다"), std::string::npos) << m_view.messages[0];
    EXPECT_NE(m_view.messages[0].find(live + "/1-print-obj-exam.png"), std::string::npos) << m_view.messages[0];
    EXPECT_TRUE(m_core->HasUnsavedWork());
}

// Work that would be lost is asked about first: the documents of a type left unfinished
// on a save, a typed passage on picking another. "No" changes nothing.
TEST_F(Exchanges, ASaveOrAPickThatWouldDropWorkAsksFirst)
{
    handoff::AcquireLaunchRecord(*m_core);
    m_core->m_buildPreviewDocuments = [](bool) { return false; }; // the objective panes are unfinished
    m_core->OnTypeButton(IDC_TYPE_SBJ);
    ASSERT_EQ(m_core->DraftTypes(), std::vector<std::int32_t>{kQuestionTypeObj});
    m_core->m_buildPreviewDocuments = [](bool) { return true; };
    m_view.answerYes = false;
    const std::uint32_t key = m_core->m_pExamRecord->m_nExamKey;
    handoff::OnSave(*m_core, {});
    ASSERT_EQ(m_view.asked.size(), 1u);
    EXPECT_NE(m_view.asked[0].find("객관식"), std::string::npos) << m_view.asked[0];
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamKey, key);
    EXPECT_FALSE(fs::exists(m_core->m_pExamRecord->m_strExamFolder + "/" + std::to_string(key) + ".dat"));

    m_view.SetChecked(IDC_HAS_PASSAGE, true);
    m_core->SetPassageMode(false);
    m_passage.text = u"손으로 쓴 지문";
    m_core->m_bUnsavedWork = true;
    const std::uint32_t passage = m_core->m_pExamRecord->m_nExamtextKey;
    handoff::ApplyPickerAnswer(*m_core, R"({"content_type":"examtext","examtext_key":9,"examtext_local":"local_examtext"})");
    EXPECT_EQ(m_view.asked.size(), 2u);
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamtextKey, passage);
    m_view.answerYes = true;
    handoff::ApplyPickerAnswer(*m_core, R"({"content_type":"examtext","examtext_key":9,"examtext_local":"local_examtext"})");
    EXPECT_EQ(m_core->m_pExamRecord->m_nExamtextKey, 9u);
}

} // namespace
