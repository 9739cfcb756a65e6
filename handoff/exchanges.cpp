#include "handoff/exchanges.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "handoff/channel.h"
#include "platform/process.h"
#include "platform/run_lock.h"
#include "store/archive.h"
#include "store/exam_open.h"
#include "store/local_store.h"
#include "store/package_stage.h"
#include "support/files.h"
#include "support/folders.h"
#include "support/json_build.h"
#include "support/launch_values.h"
#include "support/text.h"
#include "support/write_failure.h"

namespace handoff {
namespace {

std::unique_ptr<platform::RunLock> s_runLock;
std::unique_ptr<LauncherChannel> s_launcherChannel;

const char kReplaceUnsavedQuestion[] = "저장하지 않은 내용이 있습니다. 저장하지 않고 고른 문제를 열까요?";
const char kReplacePassageQuestion[] = "입력한 지문이 있습니다. 고른 지문으로 바꿀까요?";

// This run's lock, taken over from the launcher that started us or taken afresh; false,
// after saying why, when another run of this user holds it or it cannot be made.
bool TakeRunLock(DialogCore& core)
{
    if (s_runLock)
        return true;
    platform::RunLockAttempt attempt = platform::TakeRunLock(kRunLockName);
    if (attempt.lock) {
        s_runLock = std::move(attempt.lock);
        return true;
    }
    if (attempt.error.empty()) {
        const std::string holder = attempt.holder > 0 ? "(프로세스 " + std::to_string(attempt.holder) + ")" : "";
        core.View().ShowMessage("문제 편집 창이 이미 열려 있습니다" + holder +
                                ". 열려 있는 창에서 작업을 마치고 닫은 뒤 다시 실행하세요.");
    } else {
        core.View().ShowMessage("실행 잠금 파일을 만들 수 없어 시작하지 않습니다: " + attempt.error);
    }
    return false;
}

// A sibling program runs: the dialog shows it and keeps painting. A fault while waiting
// (in the event processing that keeps the dialog painting) ends the wait without an
// answer and is said; the question stays as it was. The tool is not stopped.
std::optional<std::string> RunToolBusy(DialogCore& core, const std::string& word, const std::string& program,
                                       const std::string& request, const std::string& status,
                                       const std::string& faultMessage)
{
    dlg::DialogView& view = core.View();
    // Cleared on every way out, an exception included: a dialog left busy takes no input
    // and cannot be closed.
    struct BusyScope {
        dlg::DialogView& view;
        ~BusyScope() { view.SetBusy({}); }
    };
    std::string fault;
    {
        view.SetBusy(status);
        const BusyScope busy{view};
        try {
            return RunToolExchange(word, program, request, [&view] { view.WhileBusy(); });
        } catch (const std::exception& error) {
            fault = error.what();
        } catch (...) {
            fault = "알 수 없는 오류";
        }
    }
    view.ShowMessage(faultMessage + " (" + fault + ")");
    return std::nullopt;
}

constexpr char kTypedPanesPrefix[] = "varnel-panes-";

// The typed panes' folders of runs that ended without removing them (killed during a save):
// each is named after its run's process, and left alone while that process still runs.
void RemoveStaleTypedPanes()
{
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error)
        return;
    const std::string prefix = kTypedPanesPrefix;
    for (auto it = std::filesystem::directory_iterator(temp, error); !error && it != std::filesystem::directory_iterator();
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0 || !it->is_directory(error))
            continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0 || end == nullptr || *end != '-' || platform::ProcessExists(static_cast<int>(pid)))
            continue;
        std::error_code ignored;
        std::filesystem::remove_all(it->path(), ignored);
    }
}

// The panes as the user left them, kept outside the workspace while a save runs. The
// assembly empties each pane once it stored it; when the save then fails (a full disk,
// a read-only folder) the user gets the typed text back, not what reached the disk.
class TypedPanes {
public:
    explicit TypedPanes(const editor::PaneSet& panes) : m_panes(panes)
    {
        const std::string name = kTypedPanesPrefix + std::to_string(platform::CurrentProcessId()) + "-XXXXXX";
        std::string folder = (std::filesystem::temp_directory_path() / name).string();
        if (!mkdtemp(folder.data()))
            return;
        m_folder = folder;
        for (int code = editor::kPanePassage; code <= editor::kPaneExplain; ++code) {
            editor::EditorControl* pane = m_panes.ForCode(code);
            const auto path = Utf8ToUtf16(m_folder + "/" + std::to_string(code) + ".hwp");
            if (pane && path && pane->SaveDocumentAs(*path, u"HWP"))
                m_kept.push_back(code);
        }
    }
    ~TypedPanes()
    {
        std::error_code ignored;
        if (!m_folder.empty())
            std::filesystem::remove_all(m_folder, ignored);
    }
    void Restore() const
    {
        for (int code : m_kept) {
            if (const auto path = Utf8ToUtf16(m_folder + "/" + std::to_string(code) + ".hwp"))
                m_panes.ForCode(code)->OpenDocument(*path, u"HWP");
        }
    }

private:
    editor::PaneSet m_panes;
    std::string m_folder;
    std::vector<int> m_kept;
};

} // namespace

// --- launch record ------------------------------------------------------------------

bool AcquireLaunchRecord(DialogCore& core)
{
    if (!TakeRunLock(core))
        return false;
    RemoveStaleChannels();
    RemoveStaleTypedPanes();
    s_launcherChannel = LauncherChannel::Open();
    if (s_launcherChannel)
        return ReadLaunchRecord(core, s_launcherChannel->LaunchText());
    const std::string text = ReadWholeFile(GetDataFolder() + "/exam.dat");
    if (text.empty()) {
        try {
            core.StartNewQuestion();
        } catch (const std::exception& error) {
            core.View().ShowMessage(error.what());
            return false;
        }
        return true;
    }
    return ReadLaunchRecord(core, text);
}

bool ReadLaunchRecord(DialogCore& core, std::string_view text)
{
    try {
        const JsonOwnedPtr root = ParseJsonUtf8(text);
        if (!root || root->kind != JsonKind::Object) {
            // Nothing usable was handed over: a new question, so there is always a record.
            core.StartNewQuestion();
            return true;
        }
        const JsonObject record = JsonObjectOf(root.get());
        const JsonObject userInfo = JsonGetObject(record, "user_info");
        g_userKey = static_cast<std::uint32_t>(JsonGetInt(userInfo, "user_key"));
        g_schoolKey = static_cast<std::uint32_t>(JsonGetInt(userInfo, "school_key"));
        g_webServer = JsonGetText(userInfo, "web_svr");
        const JsonObject examInfo = JsonGetObject(record, "exam_info");
        if (!examInfo.empty())
            core.OpenExamRecord(examInfo, false);
        else
            core.StartNewQuestion();
        return true;
    } catch (const std::exception& error) {
        core.View().ShowMessage(error.what());
        return false;
    }
}

void ReleaseLauncherChannel()
{
    s_launcherChannel.reset();
    s_runLock.reset();
}

// --- passage picker -----------------------------------------------------------------

std::string PickerRequest()
{
    std::string request;
    JsonAppendUInt(request, "school_key", g_schoolKey);
    JsonAppendUInt(request, "user_key", g_userKey);
    JsonAppendText(request, "content_type", "examtext");
    JsonAppendText(request, "web_svr", g_webServer);
    return request;
}

void OnLoadPassage(DialogCore& core)
{
    auto answer = RunToolBusy(core, kFennickWord, GetInstallFolder() + "/urk/Fennick", PickerRequest(),
                              "지문 선택 창에서 지문을 고르는 중입니다…",
                              "지문 선택 창을 기다리는 중에 오류가 나서 고른 지문을 받지 못했습니다. 문제는 그대로입니다.");
    if (answer)
        ApplyPickerAnswer(core, *answer);
}

std::string PickedPassageFolder(const std::string& workspace, const std::string& kind, std::uint32_t key)
{
    if (kind == kLocalExamtextKind)
        return LocalPassageFolder(workspace, key);
    return workspace + "/" + kind + "/" + PassageFolderPath(static_cast<std::int32_t>(key));
}

void ApplyPickerAnswer(DialogCore& core, std::string_view answer)
{
    try {
        const JsonOwnedPtr root = ParseJsonUtf8(answer);
        if (!root || root->kind != JsonKind::Object)
            return;
        const JsonObject object = JsonObjectOf(root.get());
        dlg::DialogView& view = core.View();
        if (JsonGetText(object, "content_type") == "exam") {
            if (core.HasUnsavedChanges() && !view.AskYesNo(kReplaceUnsavedQuestion))
                return;
            core.OpenExamRecord(object, false);
            return;
        }
        if (!core.m_pExamRecord)
            return;
        // The kind becomes a folder below the workspace; one that would climb out of it
        // is refused whole.
        const std::string kind = JsonGetText(object, "examtext_local");
        if (!IsStoreKindName(kind))
            return;
        if (core.PassageHoldsUnsavedText() && !view.AskYesNo(kReplacePassageQuestion))
            return;
        ExamRecord& record = *core.m_pExamRecord;
        record.m_nExamtextKey = static_cast<std::uint32_t>(JsonGetInt(object, "examtext_key"));
        record.m_strExamtextLocal = kind;
        record.m_strExamtextFolder =
            PickedPassageFolder(GetWorkspaceFolder(), record.m_strExamtextLocal, record.m_nExamtextKey);
        if (view.IsChecked(dlg::IDC_HAS_PASSAGE)) {
            core.OpenPaneDocument(record.m_strExamtextFolder + "/text.hwp", editor::kPanePassage);
        } else {
            view.SetChecked(dlg::IDC_HAS_PASSAGE, true);
            core.SetPassageMode(true);
        }
    } catch (const ArchiveError& error) {
        // The chosen question's archive is damaged: the user must know why nothing opened.
        core.View().ShowMessage(error.what());
    } catch (const std::exception&) {
    }
}

// --- image cropper ------------------------------------------------------------------

std::string QuestionTypeText(std::int32_t questionType)
{
    switch (questionType) {
    case kQuestionTypeObj: return "obj";
    case kQuestionTypeSbj: return "sbj";
    case kQuestionTypeDes: return "des";
    default: return {};
    }
}

std::string CropperRequest(const ExamRecord& record, std::int32_t questionType)
{
    std::string request;
    JsonAppendUInt(request, "school_key", g_schoolKey);
    JsonAppendUInt(request, "user_key", g_userKey);
    JsonAppendText(request, "content_type", "exam");
    JsonAppendUInt(request, "exam_key", record.m_nExamKey);
    JsonAppendText(request, "exam_local", record.m_strExamLocal);
    JsonAppendUInt(request, "examtext_key", record.m_nExamtextKey);
    JsonAppendText(request, "examtext_local", record.m_strExamtextLocal);
    JsonAppendText(request, "exam_type", QuestionTypeText(questionType));
    // During a save the images lie in the staged copies beside the item folders.
    if (const auto staged = StagedFolderName(record.m_strExamFolder))
        JsonAppendText(request, "exam_stage", *staged);
    if (const auto staged = StagedFolderName(record.m_strExamtextFolder); staged && record.HasPassage())
        JsonAppendText(request, "examtext_stage", *staged);
    return request;
}

void RunImageCropper(DialogCore& core)
{
    if (!core.m_pExamRecord)
        return;
    auto answer = RunToolBusy(core, kTolvardWord, GetInstallFolder() + "/urk/Tolvard",
                              CropperRequest(*core.m_pExamRecord, core.m_nQuestionType), "인쇄 이미지를 만드는 중입니다…",
                              "인쇄 이미지를 자르는 프로그램을 기다리는 중에 오류가 나서 인쇄 높이를 받지 못했습니다.");
    if (answer && core.m_pExamRecord)
        ApplyCropperAnswer(*core.m_pExamRecord, *answer);
}

void ApplyCropperAnswer(ExamRecord& record, std::string_view answer)
{
    const JsonOwnedPtr root = ParseJsonUtf8(answer);
    if (!root || root->kind != JsonKind::Object)
        return;
    const JsonObject object = JsonObjectOf(root.get());
    // A cropped image the cropper could not write: the save must not pass for complete.
    if (object.count(u"write_error"))
        NoteWriteFailure(JsonGetInt(object, "write_error"), JsonGetText(object, "write_file"));
    if (record.HasPassage()) {
        if (!record.m_pTextHeights)
            record.m_pTextHeights = std::make_unique<TextHeights>();
        record.m_pTextHeights->textprint_height = JsonGetInt(object, "textprint_height");
        record.m_pTextHeights->textpreview_height = JsonGetInt(object, "textpreview_height");
    }
    const std::string typeText = JsonGetText(object, "exam_type");
    std::unique_ptr<ExamHeights>* heights = typeText == "obj"   ? &record.m_pObjHeights
                                            : typeText == "sbj" ? &record.m_pSbjHeights
                                            : typeText == "des" ? &record.m_pDesHeights
                                                                : nullptr;
    if (!heights)
        return;
    if (!*heights)
        *heights = std::make_unique<ExamHeights>();
    ReadExamHeights(**heights, object, typeText);
}

void ReadExamHeights(ExamHeights& heights, const JsonObject& answer, const std::string& typeText)
{
    heights.examprint_height = JsonGetInt(answer, "examprint_height");
    heights.exampreview_height = JsonGetInt(answer, "exampreview_height");
    heights.examcard_height = JsonGetInt(answer, "examcard_height");
    heights.exam_print_height = JsonGetInt(answer, "exam_print_height");
    heights.exam_preview_height = JsonGetInt(answer, "exam_preview_height");
    heights.answer_print_height = JsonGetInt(answer, "answer_print_height");
    heights.answer_preview_height = JsonGetInt(answer, "answer_preview_height");
    heights.explain_print_height = JsonGetInt(answer, "explain_print_height");
    heights.explain_preview_height = JsonGetInt(answer, "explain_preview_height");
    if (typeText == "obj") {
        heights.obj_print_height = JsonGetInt(answer, "obj_print_height");
        heights.obj_preview_height = JsonGetInt(answer, "obj_preview_height");
    }
}

// --- save ---------------------------------------------------------------------------

namespace {

enum class SaveStep {
    Stopped,  // the check refused, or a document could not be written: both were said
    Failed,   // something could not be written or switched in: not said yet
    Saved,    // the new package is the question's package
};

// "주관식, 서술형" for the left types whose documents a save would drop.
std::string TypeNames(const std::vector<std::int32_t>& types)
{
    std::string names;
    for (std::int32_t type : types) {
        const char* name = type == kQuestionTypeObj ? "객관식" : type == kQuestionTypeSbj ? "주관식" : "서술형";
        names += (names.empty() ? "" : ", ") + std::string(name);
    }
    return names;
}

// Everything of the save into the staged copies, then switched in; the record's folders
// point at the copies only meanwhile.
SaveStep WritePackage(DialogCore& core, const ExamPackHook& pack, const WriteFailureWatch& failures)
{
    ExamRecord& record = *core.m_pExamRecord;
    // The level shown is the question's level from now on.
    record.m_strStageId = core.m_strLevel;
    {
        DialogCore::StagedFolders staged(core);
        if (!staged.Ready())
            return SaveStep::Failed;
        if (core.m_buildPreviewDocuments && !core.m_buildPreviewDocuments(true)) {
            // Refused before anything was written: no copy of this save stays behind.
            if (!failures.First())
                staged.Unused();
            return SaveStep::Stopped;
        }
        core.View().ShowProgress("문제 기록과 압축 파일 저장 중…", 0.9);
        if (!WriteExamRecord(record, core.TypeControls(), pack) || failures.First())
            return SaveStep::Failed;
    }
    std::vector<std::string> folders;
    if (record.HasPassage())
        folders.push_back(record.m_strExamtextFolder);
    folders.push_back(record.m_strExamFolder);
    return core.Stages().Commit(folders) ? SaveStep::Saved : SaveStep::Failed;
}

std::string SaveFailureMessage(const DialogCore& core, const std::optional<WriteFailure>& failure)
{
    if (!failure)
        return "문제를 저장하지 못했습니다. 저장 폴더의 쓰기 권한과 남은 공간을 확인하세요.";
    return "문제를 저장하지 못했습니다. " + WriteFailureCause(failure->error) + "\n파일: " + core.LivePathOf(failure->path);
}

// "문제 12을 저장했습니다 (지문 3 포함). 폴더: …"
std::string SavedNotice(const ExamRecord& record)
{
    std::string notice = "문제 " + std::to_string(record.m_nExamKey) + "을 저장했습니다";
    if (record.HasPassage())
        notice += " (지문 " + std::to_string(record.m_nExamtextKey) + " 포함)";
    return notice + ". 폴더: " + record.m_strExamFolder;
}

} // namespace

void OnSave(DialogCore& core, const ExamPackHook& pack)
{
    if (!core.m_pExamRecord)
        return;
    // The package carries the current type's documents and those stored before; what was
    // typed for a type left unfinished ends with this question.
    if (const auto drafts = core.DraftTypes();
        !drafts.empty() && !core.View().AskYesNo("작성을 마치지 않은 " + TypeNames(drafts) +
                                                 " 내용은 저장되지 않고 버려집니다. 저장할까요?"))
        return;
    const TypedPanes typed(core.Panes());
    const WriteFailureWatch failures;
    // The steps show until the save has ended, whichever way.
    struct ProgressScope {
        dlg::DialogView& view;
        ~ProgressScope() { view.ShowProgress({}, -1.0); }
    } progress{core.View()};
    bool saved = false;
    try {
        switch (WritePackage(core, pack, failures)) {
        case SaveStep::Stopped:
            // The panes keep what was typed (the check or a write failed, and said so).
            core.m_bUnsavedWork = true;
            return;
        case SaveStep::Failed:
            // Nothing may look saved that is not: the question stays, with what was typed.
            core.SelectTypeDocuments();
            typed.Restore();
            core.m_bUnsavedWork = true;
            core.View().ShowMessage(SaveFailureMessage(core, failures.First()));
            return;
        case SaveStep::Saved:
            break;
        }
        saved = true;
        core.m_bScoreChanged = false;
        if (core.m_pExamRecord->m_strExamLocal != "exam") {
            // The teacher learns what was saved and where, without a box to close.
            const std::string notice = SavedNotice(*core.m_pExamRecord);
            core.m_pExamRecord.reset();
            core.StartNewQuestion();
            core.View().ShowNotice(notice);
            return;
        }
        if (NotifyLauncherSaved()) {
            core.View().PostClose();
            return;
        }
        // Saved, but nobody learnt of it: the question stays open with its documents.
        core.SelectTypeDocuments();
        typed.Restore();
        core.View().ShowMessage("문제는 저장했지만 실행 프로그램에 저장을 알리지 못했습니다. "
                                "실행 프로그램이 아직 떠 있는지 확인하고 다시 저장하세요.");
    } catch (const std::exception& error) {
        if (!saved) {
            typed.Restore();
            core.m_bUnsavedWork = true;
        }
        // The first write that failed says more than what failed after it.
        core.View().ShowMessage(!saved && failures.First() ? SaveFailureMessage(core, failures.First()) : error.what());
    }
}

bool NotifyLauncherSaved() { return s_launcherChannel && s_launcherChannel->Answer("EXAM_SAVE"); }

} // namespace handoff
