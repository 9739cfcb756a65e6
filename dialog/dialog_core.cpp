#include "dialog/dialog_core.h"

#include <cstdlib>
#include <filesystem>
#include <limits>
#include <utility>

#include "document/editor_document.h"
#include "store/archive.h"
#include "store/local_store.h"
#include "support/files.h"
#include "support/folders.h"
#include "support/text.h"
#include "support/write_failure.h"

int PaneControlId(int code)
{
    switch (code) {
    case editor::kPanePassage: return dlg::IDC_PANE_PASSAGE;
    case editor::kPaneQuestion: return dlg::IDC_PANE_QUESTION;
    case editor::kPaneOptions: return dlg::IDC_PANE_OPTIONS;
    case editor::kPaneAnswer: return dlg::IDC_PANE_ANSWER;
    case editor::kPaneExplain: return dlg::IDC_PANE_EXPLAIN;
    default: return 0;
    }
}

using namespace dlg;

namespace {

std::u16string Wide(const std::string& text) { return Utf8ToUtf16(text).value_or(u""); }

const char* const kTypePictures[] = {"obj_y", "obj_n", "sbj_y", "sbj_n", "des_y", "des_n"};

// What a reset of the pane code (1 all, 2..6 one pane) will delete, asked before.
std::string EraseQuestion(int code)
{
    switch (code) {
    case editor::kPaneAll: return "모든 창(지문, 문제, 보기, 정답, 해설)의 내용을 지우시겠습니까?";
    case editor::kPanePassage: return "지문 창의 내용을 모두 지우시겠습니까?";
    case editor::kPaneQuestion: return "문제 창의 내용을 모두 지우시겠습니까?";
    case editor::kPaneOptions: return "보기 창의 내용을 모두 지우시겠습니까?";
    case editor::kPaneAnswer: return "정답 창의 내용을 모두 지우시겠습니까?";
    default: return "해설 창의 내용을 모두 지우시겠습니까?";
    }
}
const char kRemovePassageQuestion[] = "지문을 빼고 지문 창의 내용을 모두 지우시겠습니까?";
const char kReplaceUnsavedQuestion[] = "저장하지 않은 내용이 있습니다. 저장하지 않고 다른 문제를 열까요?";

std::string ImagePath(const std::string& name) { return GetInstallFolder() + "/urk/image/" + name + ".png"; }

} // namespace

DialogCore::DialogCore(DialogView& view, editor::PaneSet panes) : m_view(view), m_panes(panes) {}

DialogCore::~DialogCore()
{
    std::error_code ignored;
    if (!m_strDraftFolder.empty())
        std::filesystem::remove_all(m_strDraftFolder, ignored);
}

// ---------------------------------------------------------------------------------------
// Start-up and layout

void DialogCore::InitDialog()
{
    // A save that a crash or a kill interrupted: finished when it was decided, else undone.
    RecoverPackageStages(PackageJournalFolder(GetDataFolder()));
    FitToScreen();
    m_strTemplatePrefix = "sf";
    SetUpEditorPanes();
    const bool applied = m_applyLaunchRecord ? m_applyLaunchRecord() : (StartNewQuestion(), true);
    if (!applied)
        m_view.PostClose();
}

void DialogCore::FitToScreen()
{
    m_fScale = m_view.ScreenHeight() >= 1080 ? 1.0f : 0.83f;
    if (m_view.FitsItself()) {
        m_view.FitWindow(m_view.IsChecked(IDC_HAS_PASSAGE), m_fScale);
        return;
    }
    if (m_fScale == 1.0f)
        return;
    ScaleControl(IDC_DIALOG, true);
    for (int id : {IDC_GROUP_PASSAGE, IDC_PANE_PASSAGE, IDC_GROUP_QUESTION, IDC_PANE_QUESTION, IDC_GROUP_ANSWER,
                   IDC_PANE_ANSWER})
        ScaleControl(id, false);
    for (int id : {IDC_GROUP_OPTIONS, IDC_PANE_OPTIONS, IDC_GROUP_EXPLAIN, IDC_PANE_EXPLAIN})
        ScaleControl(id, true);
    for (int id : {IDC_LOAD_QUESTION, IDC_LEVEL_ELEM, IDC_LEVEL_MID, IDC_LEVEL_HIGH, IDC_TYPE_OBJ, IDC_TYPE_SBJ,
                   IDC_TYPE_DES, IDC_DIFFICULTY, IDC_OPTION_MENU, IDC_DEFAULT_OBJ, IDC_DEFAULT_SBJ, IDC_DEFAULT_DES}) {
        Rect r = m_view.ControlRect(id);
        r.left -= m_nShrinkX;
        m_view.MoveControl(id, r);
    }
    for (int id : {IDC_APPLY_STYLE, IDC_SAVE}) {
        Rect r = m_view.ControlRect(id);
        r.left -= m_nShrinkX;
        r.top -= m_nShrinkY;
        m_view.MoveControl(id, r);
    }
}

void DialogCore::ScaleControl(int id, bool scaleTop)
{
    const float s = m_fScale;
    Rect r = m_view.ControlRect(id);
    Rect scaled = r;
    if (id == IDC_DIALOG) {
        scaled.width = static_cast<int>(static_cast<float>(r.width) * s);
        m_nShrinkX = r.width - scaled.width;
        scaled.height = static_cast<int>(static_cast<double>(r.height) * (static_cast<double>(s) + 0.01));
        m_nShrinkY = r.height - scaled.height;
    } else {
        scaled.width = static_cast<int>(static_cast<float>(r.width) * s);
        scaled.height = static_cast<int>(static_cast<float>(r.height) * s);
    }
    scaled.left = static_cast<int>(static_cast<float>(r.left) * s);
    if (scaleTop)
        scaled.top = static_cast<int>(static_cast<float>(r.top) * s);
    m_view.MoveControl(id, scaled);
}

void DialogCore::OnClose()
{
    m_pStages.reset();
    m_pExamRecord.reset();
}

// ---------------------------------------------------------------------------------------
// Level, difficulty and type controls

void DialogCore::SetTypeButtonImage(int id, std::int32_t index)
{
    if (index < 0 || index > 5)
        return;
    m_view.SetButtonPicture(id, ImagePath(kTypePictures[index]));
    m_view.RepaintNow(id);
}

std::int32_t DialogCore::DifficultyNumber() const
{
    if (!m_pExamRecord)
        return 0;
    std::string digits;
    for (char c : m_pExamRecord->m_strDifficulty) {
        if (c != 'd')
            digits += c;
    }
    if (digits.empty() || digits[0] < '0' || digits[0] > '9')
        return 0;
    return TextToInt(digits);
}

void DialogCore::ShowDifficulty()
{
    m_view.SetButtonPicture(IDC_DIFFICULTY, ImagePath("dif" + std::to_string(DifficultyNumber())));
}

void DialogCore::ShowLevel(const std::string& level)
{
    m_strLevel = level;
    std::string elem = "ele_d", mid = "mid_d", high = "high_d";
    if (level == "elem")
        elem = "ele_e";
    else if (level == "high")
        high = "high_e";
    else
        mid = "mid_e";
    m_view.SetButtonPicture(IDC_LEVEL_ELEM, ImagePath(elem));
    m_view.SetButtonPicture(IDC_LEVEL_MID, ImagePath(mid));
    m_view.SetButtonPicture(IDC_LEVEL_HIGH, ImagePath(high));
}

void DialogCore::OnLevelButton(int id)
{
    const char* level = id == IDC_LEVEL_ELEM ? "elem" : id == IDC_LEVEL_HIGH ? "high" : "mid";
    ApplyLevelStyles(id == IDC_LEVEL_ELEM ? 2 : 6);
    ShowLevel(level);
    for (int other : {IDC_LEVEL_ELEM, IDC_LEVEL_MID, IDC_LEVEL_HIGH}) {
        if (other != id)
            m_view.RepaintNow(other);
    }
    m_strLevel = level;
}

void DialogCore::OnDifficultyButton()
{
    if (!m_pExamRecord || m_pExamRecord->m_strExamLocal != kLocalExamKind)
        return;
    const std::int32_t n = DifficultyNumber();
    // A stored number at the top of the range stays there instead of overflowing.
    const std::int32_t next = n == 4 ? 1 : n == std::numeric_limits<std::int32_t>::max() ? n : n + 1;
    m_pExamRecord->m_strDifficulty = "d" + std::to_string(next);
    ShowDifficulty();
}

void DialogCore::OnTypeButton(int id)
{
    if (!m_pExamRecord)
        return;
    std::int32_t code = kQuestionTypeObj, onIndex = 0;
    std::int32_t* image = &m_nObjButtonImage;
    if (id == IDC_TYPE_SBJ)
        code = kQuestionTypeSbj, onIndex = 2, image = &m_nSbjButtonImage;
    else if (id == IDC_TYPE_DES)
        code = kQuestionTypeDes, onIndex = 4, image = &m_nDesButtonImage;
    const std::int32_t offIndex = onIndex + 1;

    const std::int32_t current = m_nQuestionType;
    // Stored: the panes' documents went to the question's folder and the panes are empty.
    bool stored = false;
    if (current > 0 && current != code && m_buildPreviewDocuments) {
        const WriteFailureWatch failures;
        {
            StagedFolders staged(*this);
            stored = staged.Ready() && m_buildPreviewDocuments(false);
            if (!stored)
                staged.Unused();
        }
        // The documents are safe; an image that could not be written is not, so say so.
        if (stored && failures.First())
            m_view.ShowMessage("유형을 바꾸며 문서의 이미지를 저장하지 못했습니다. " + WriteFailureCause(failures.First()->error) +
                               "\n파일: " + LivePathOf(failures.First()->path));
    }
    if (stored)
        m_bUnsavedWork = true; // in the staged package, not in the question's folder until a save

    const std::int32_t picture = current == code && *image == onIndex ? offIndex : onIndex;
    // What the panes hold for the type being left is kept before anything replaces it.
    const bool keepShown = !stored && m_nShownType > 0 && m_nShownType != code && picture == onIndex;
    if (keepShown && !StashDrafts(m_nShownType)) {
        m_view.ShowMessage("작성 중인 내용을 보관하지 못해 유형을 바꾸지 않았습니다.");
        return;
    }
    *image = picture;
    SetTypeButtonImage(id, picture);
    m_nQuestionType = kQuestionTypeNone;
    if (picture == offIndex)
        return;
    // Only a passage that was just stored (and so emptied) comes back from its file; one
    // that was not stored is still in its pane as typed.
    if (stored && m_pExamRecord->HasPassage())
        OpenPaneDocument(WorkingFolder(m_pExamRecord->m_strExamtextFolder) + "/text.hwp", editor::kPanePassage);
    m_nQuestionType = code;
    if (!stored && m_nShownType == code) {
        // The panes still show this type's unstored documents (it was only switched off).
        EnableOptionsPaneFor(code);
        return;
    }
    if (!RestoreDrafts(code))
        SelectTypeDocuments();
}

void DialogCore::OnDefaultTypeBox(int id)
{
    if (!m_view.IsChecked(id))
        return;
    for (int box : {IDC_DEFAULT_OBJ, IDC_DEFAULT_SBJ, IDC_DEFAULT_DES}) {
        if (box != id)
            m_view.SetChecked(box, false);
    }
}

TypeControlsState DialogCore::TypeControls() const
{
    TypeControlsState state;
    state.objButtonImage = m_nObjButtonImage;
    state.sbjButtonImage = m_nSbjButtonImage;
    state.desButtonImage = m_nDesButtonImage;
    state.objDefault = m_view.IsChecked(IDC_DEFAULT_OBJ);
    state.sbjDefault = m_view.IsChecked(IDC_DEFAULT_SBJ);
    state.desDefault = m_view.IsChecked(IDC_DEFAULT_DES);
    return state;
}

void DialogCore::SetScore(std::optional<std::int32_t> tenths)
{
    if (!m_pExamRecord || m_pExamRecord->m_nScoreTenths == tenths)
        return;
    m_pExamRecord->m_nScoreTenths = tenths;
    m_bScoreChanged = true;
}

// ---------------------------------------------------------------------------------------
// Option menu

void DialogCore::OnResetCommand(int commandId)
{
    if (commandId < ID_RESET_ALL || commandId > ID_RESET_EXPLAIN)
        return;
    const int code = commandId - ID_RESET_ALL + 1;
    const int first = code == editor::kPaneAll ? editor::kPanePassage : code;
    const int last = code == editor::kPaneAll ? editor::kPaneExplain : code;
    bool holdsText = false;
    for (int pane = first; pane <= last && !holdsText; ++pane) {
        if (editor::EditorControl* control = m_panes.ForCode(pane))
            holdsText = editor::PaneHoldsText(*control);
    }
    // What was typed is gone after a reset: one question first.
    if (holdsText && !m_view.AskYesNo(EraseQuestion(code)))
        return;
    ResetPaneDocuments(code);
}

// ---------------------------------------------------------------------------------------
// Panes and templates

std::string DialogCore::TemplatePath(std::string_view name) const
{
    return GetInstallFolder() + "/urk/hwp_format/" + m_strTemplatePrefix + "_" + std::string(name) + "_format.hwp";
}

void DialogCore::SetUpEditorPanes()
{
    editor::EditorControl* all[] = {m_panes.passage, m_panes.question, m_panes.options,
                                    m_panes.answer,  m_panes.explain,  m_panes.work};
    editor::EditorControl* visible[] = {m_panes.passage, m_panes.question, m_panes.options, m_panes.answer,
                                        m_panes.explain};
    for (auto* pane : all) {
        if (pane)
            pane->RegisterCheckModule(u"FilePathCheckDLL", u"FilePathCheckerModule");
    }
    for (const char16_t* bar : {u"TOOLBAR_MENU", u"TOOLBAR_STANDARD", u"TOOLBAR_DRAW"}) {
        for (auto* pane : visible) {
            if (pane)
                pane->SetToolBar(-1, bar);
        }
    }
    for (auto* pane : visible) {
        if (pane)
            pane->ShowToolBar(1);
    }
    if (!m_panes.passage)
        return;
    auto set = m_panes.passage->CreateParameterSet(u"ViewProperties");
    if (!set)
        return;
    set->SetItem(u"ZoomType", 0);
    set->SetItem(u"ZoomRatio", m_fScale == 1.0f ? 120 : 100);
    for (auto* pane : visible) {
        if (pane)
            pane->ViewProperties(*set);
    }
}

void DialogCore::ResetPaneDocuments(int code)
{
    if (code < editor::kPaneAll || code > editor::kPaneExplain)
        return;
    const int first = code == editor::kPaneAll ? editor::kPanePassage : code;
    const int last = code == editor::kPaneAll ? editor::kPaneExplain : code;
    for (int pane = first; pane <= last; ++pane) {
        if (pane != editor::kPaneAnswer || m_nQuestionType == kQuestionTypeObj)
            m_view.EnableControl(PaneControlId(pane), true);
        std::string path;
        switch (pane) {
        case editor::kPanePassage: path = TemplatePath("text"); break;
        case editor::kPaneQuestion: path = TemplatePath("exam"); break;
        case editor::kPaneOptions: path = TemplatePath("obj"); break;
        case editor::kPaneAnswer: path = TemplatePath(m_nQuestionType == kQuestionTypeObj ? "answer_obj" : "answer"); break;
        default: path = TemplatePath("explain"); break;
        }
        auto* control = m_panes.ForCode(pane);
        if (control && control->OpenDocument(Wide(path), u"HWP"))
            StyleBlankPane(pane);
    }
}

void DialogCore::StyleBlankPane(int code)
{
    // A blank pane starts in the styles of the question's level, so its style box shows
    // them (초등 styles for an elementary question) from the first letter on.
    auto* control = m_panes.ForCode(code);
    if (!control || m_strLevel.empty())
        return;
    const int base = editor::StyleBase(m_strLevel);
    if (code == editor::kPanePassage)
        editor::StylePassagePane(*control, base);
    else
        editor::ApplyWholePaneStyle(*control, code == editor::kPaneQuestion ? base
                                              : code == editor::kPaneOptions ? base + 2
                                                                             : base + 3);
}

void DialogCore::OpenPaneDocument(const std::string& path, int code)
{
    if (!PathExists(path)) {
        ResetPaneDocuments(code);
        return;
    }
    auto* control = m_panes.ForCode(code);
    if (!control || control->OpenDocument(Wide(path), u"HWP"))
        return;
    // Never keep the document of the question before: it would be saved under this one.
    ResetPaneDocuments(code);
    m_unreadableDocuments.push_back(path);
    if (m_nOpenBatch == 0)
        ReportUnreadableDocuments();
}

void DialogCore::ReportUnreadableDocuments()
{
    if (m_unreadableDocuments.empty())
        return;
    std::string message = "문서를 읽을 수 없어 빈 문서를 열었습니다:";
    for (const std::string& path : m_unreadableDocuments)
        message += "\n" + path;
    m_unreadableDocuments.clear();
    m_view.ShowMessage(message);
}

void DialogCore::EnableOptionsPaneFor(std::int32_t type)
{
    if (type == kQuestionTypeObj)
        m_view.EnableControl(IDC_PANE_OPTIONS, true);
    else if (type == kQuestionTypeSbj || type == kQuestionTypeDes)
        m_view.EnableControl(IDC_PANE_OPTIONS, false);
}

std::string DialogCore::DraftPath(std::int32_t type, int code) const
{
    return m_strDraftFolder + "/" + std::to_string(type) + "-" + std::to_string(code) + ".hwp";
}

bool DialogCore::StashDrafts(std::int32_t type)
{
    if (!EnsureDraftFolder())
        return false;
    std::vector<int> codes;
    for (int code : {editor::kPaneQuestion, editor::kPaneOptions, editor::kPaneAnswer, editor::kPaneExplain}) {
        editor::EditorControl* pane = m_panes.ForCode(code);
        if (!pane)
            continue;
        const auto path = Utf8ToUtf16(DraftPath(type, code));
        if (!path || !pane->SaveDocumentAs(*path, u"HWP"))
            return false;
        codes.push_back(code);
    }
    m_drafts[type] = codes;
    return true;
}

bool DialogCore::RestoreDrafts(std::int32_t type)
{
    const auto found = m_drafts.find(type);
    if (found == m_drafts.end())
        return false;
    {
        OpenBatch batch(*this);
        for (int code : found->second)
            OpenPaneDocument(DraftPath(type, code), code);
    }
    ReportUnreadableDocuments();
    for (int code : found->second)
        std::remove(DraftPath(type, code).c_str());
    m_drafts.erase(found);
    EnableOptionsPaneFor(type);
    m_nShownType = type;
    return true;
}

void DialogCore::DropDrafts()
{
    // The staged package belonged to the question before too.
    m_pStages.reset();
    m_passageStash.reset();
    for (const auto& [type, codes] : m_drafts) {
        for (int code : codes)
            std::remove(DraftPath(type, code).c_str());
    }
    m_drafts.clear();
}

void DialogCore::SelectTypeDocuments()
{
    if (!m_pExamRecord)
        return;
    {
        OpenBatch batch(*this);
        SelectTypeDocumentsNow();
    }
    ReportUnreadableDocuments();
}

void DialogCore::SelectTypeDocumentsNow()
{
    if (m_nQuestionType > 0)
        m_nShownType = m_nQuestionType;
    const std::string& obj = m_pExamRecord->m_strObjState;
    const std::string& sbj = m_pExamRecord->m_strSbjState;
    const std::string& des = m_pExamRecord->m_strDesState;
    const bool objHas = obj == "obj_d" || obj == "obj_y";
    const bool sbjHas = sbj == "sbj_d" || sbj == "sbj_y";
    const bool desHas = des == "des_d" || des == "des_y";
    switch (m_nQuestionType) {
    case kQuestionTypeObj:
        m_view.EnableControl(IDC_PANE_OPTIONS, true);
        OpenTypeDocuments(obj != "obj_n" ? "obj" : sbjHas ? "sbj" : desHas ? "des" : "obj");
        break;
    case kQuestionTypeSbj:
        OpenTypeDocuments(sbj != "sbj_n" ? "sbj" : objHas ? "obj" : "sbj");
        m_view.EnableControl(IDC_PANE_OPTIONS, false);
        break;
    case kQuestionTypeDes:
        OpenTypeDocuments(des != "des_n" ? "des" : objHas ? "obj" : sbjHas ? "sbj" : "des");
        m_view.EnableControl(IDC_PANE_OPTIONS, false);
        break;
    default:
        break;
    }
}

void DialogCore::OpenTypeDocuments(const std::string& word)
{
    const std::string folder = m_pExamRecord ? WorkingFolder(m_pExamRecord->m_strExamFolder) : std::string();
    OpenPaneDocument(folder + "/" + word + "-exam.hwp", editor::kPaneQuestion);
    if (word != "obj") {
        OpenPaneDocument(TemplatePath("obj_empty"), editor::kPaneOptions);
        StyleBlankPane(editor::kPaneOptions);
    } else {
        // Without the question's own options: the blank options template, in the level's styles.
        OpenPaneDocument(folder + "/obj-objective.hwp", editor::kPaneOptions);
    }
    OpenPaneDocument(folder + "/" + word + "-answer.hwp", editor::kPaneAnswer);
    OpenPaneDocument(folder + "/" + word + "-explain.hwp", editor::kPaneExplain);
}

// ---------------------------------------------------------------------------------------
// Styles and text operations

void DialogCore::OnApplyStyle()
{
    if (m_panes.passage)
        editor::ApplyPaneStyle(*m_panes.passage, "text", m_strLevel);
    if (m_panes.question)
        editor::ApplyPaneStyle(*m_panes.question, "exam", m_strLevel);
    if (m_panes.options)
        editor::ApplyPaneStyle(*m_panes.options, "objective", m_strLevel);
    if (m_panes.answer)
        editor::ApplyPaneStyle(*m_panes.answer, "answer", m_strLevel);
    if (m_panes.explain)
        editor::ApplyPaneStyle(*m_panes.explain, "explain", m_strLevel);
}

void DialogCore::ApplyLevelStyles(int base)
{
    if (m_view.IsChecked(IDC_HAS_PASSAGE))
        StylePassagePane(base);
    if (m_panes.question)
        editor::ApplyWholePaneStyle(*m_panes.question, base);
    if (m_panes.options)
        editor::ApplyWholePaneStyle(*m_panes.options, base + 2);
    if (m_panes.answer)
        editor::ApplyWholePaneStyle(*m_panes.answer, base + 3);
    if (m_panes.explain)
        editor::ApplyWholePaneStyle(*m_panes.explain, base + 3);
}

void DialogCore::StylePassagePane(int base)
{
    if (m_panes.passage)
        editor::StylePassagePane(*m_panes.passage, base);
}

void DialogCore::AppendToWorkDocument(const std::string& path, int code, std::int32_t blankLines)
{
    if (m_panes.work)
        editor::AppendToWorkDocument(*m_panes.work, path, code, blankLines);
}

bool DialogCore::IsPaneEmpty(editor::EditorControl& pane) { return editor::IsPaneEmpty(pane); }

void DialogCore::ReadObjectiveAnswer()
{
    if (m_pExamRecord && m_panes.answer)
        m_pExamRecord->m_strObjAnswer = editor::ReadObjectiveAnswer(*m_panes.answer);
}

// ---------------------------------------------------------------------------------------
// Passage column

bool DialogCore::ConfirmPassageRemoval()
{
    return !m_panes.passage || !editor::PaneHoldsText(*m_panes.passage) || m_view.AskYesNo(kRemovePassageQuestion);
}

void DialogCore::OnHasPassageClicked(bool confirmed)
{
    if (!m_view.IsChecked(IDC_HAS_PASSAGE)) {
        if (!confirmed && !ConfirmPassageRemoval()) {
            m_view.SetChecked(IDC_HAS_PASSAGE, true);
            return;
        }
        StashPassage();
    } else if (RestorePassage()) {
        return;
    }
    SetPassageMode(false);
}

bool DialogCore::EnsureDraftFolder()
{
    if (!m_strDraftFolder.empty())
        return true;
    // Outside the workspace: nothing here may reach a package.
    std::string folder = (std::filesystem::temp_directory_path() / "varnel-drafts-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        return false;
    m_strDraftFolder = folder;
    return true;
}

void DialogCore::StashPassage()
{
    m_passageStash.reset();
    if (!m_pExamRecord || !m_pExamRecord->HasPassage())
        return;
    PassageStash stash;
    stash.record = m_pExamRecord.get();
    stash.examKey = m_pExamRecord->m_nExamKey;
    stash.key = m_pExamRecord->m_nExamtextKey;
    stash.local = m_pExamRecord->m_strExamtextLocal;
    stash.folder = m_pExamRecord->m_strExamtextFolder;
    if (m_panes.passage && EnsureDraftFolder()) {
        const auto path = Utf8ToUtf16(m_strDraftFolder + "/passage.hwp");
        stash.document = path && m_panes.passage->SaveDocumentAs(*path, u"HWP");
    }
    m_passageStash = std::move(stash);
}

bool DialogCore::RestorePassage()
{
    if (!m_passageStash || !m_pExamRecord || m_passageStash->record != m_pExamRecord.get() ||
        m_passageStash->examKey != m_pExamRecord->m_nExamKey)
        return false;
    const PassageStash stash = *m_passageStash;
    m_passageStash.reset();
    m_pExamRecord->m_nExamtextKey = stash.key;
    m_pExamRecord->m_strExamtextLocal = stash.local;
    m_pExamRecord->m_strExamtextFolder = stash.folder;
    SetPassageMode(true);
    if (stash.document) {
        OpenPaneDocument(m_strDraftFolder + "/passage.hwp", editor::kPanePassage);
        std::remove((m_strDraftFolder + "/passage.hwp").c_str());
    }
    return true;
}

void DialogCore::SetPassageMode(bool fromLoad)
{
    const bool on = m_view.IsChecked(IDC_HAS_PASSAGE);
    const int screenWidth = m_view.ScreenWidth();
    const Rect window = m_view.ControlRect(IDC_DIALOG);
    m_view.ShowControl(IDC_PANE_PASSAGE, on);

    auto moveWindow = [&](int w) {
        Rect r = window;
        r.left = static_cast<int>(static_cast<float>(screenWidth - w) * 0.5f);
        r.width = w;
        m_view.MoveControl(IDC_DIALOG, r);
    };

    if (on) {
        if (!m_pExamRecord)
            m_pExamRecord = std::make_unique<ExamRecord>();
        ExamRecord& record = *m_pExamRecord;
        if (!fromLoad) {
            record.m_nExamtextKey = NextPassageNumber();
            record.m_strExamtextLocal = kLocalExamtextKind;
            record.m_strExamtextFolder = LocalPassageFolder(GetWorkspaceFolder(), record.m_nExamtextKey);
        }
        m_view.ShowControl(IDC_PANE_PASSAGE, true);
        m_view.ShowControl(IDC_GROUP_PASSAGE, true);
        if (m_view.FitsItself())
            m_view.FitWindow(true, m_fScale);
        else
            moveWindow(window.width + PassageColumnWidth());
        const bool local = record.m_strExamtextLocal == kLocalExamtextKind;
        if (!local || fromLoad) {
            // A stored passage, or a local one chosen or loaded: its own document, or
            // the passage template where it has none yet.
            OpenPaneDocument(record.m_strExamtextFolder + "/text.hwp", editor::kPanePassage);
        } else {
            OpenPaneDocument(GetInstallFolder() + "/urk/hwp_format/f_text_empty_format.hwp", editor::kPanePassage);
            // The level shown (a level button may have changed it since the record's was set).
            StylePassagePane(editor::StyleBase(m_strLevel.empty() ? record.m_strStageId : m_strLevel));
        }
    } else {
        if (m_pExamRecord) {
            m_pExamRecord->m_nExamtextKey = 0;
            m_pExamRecord->m_strExamtextLocal.clear();
            m_pExamRecord->m_strExamtextFolder.clear();
        }
        m_view.ShowControl(IDC_PANE_PASSAGE, false);
        m_view.ShowControl(IDC_GROUP_PASSAGE, false);
        if (m_view.FitsItself())
            m_view.FitWindow(false, m_fScale);
        else
            moveWindow(window.width - PassageColumnWidth());
    }
    if (m_view.FitsItself())
        return;

    for (int id : {IDC_GROUP_QUESTION, IDC_GROUP_OPTIONS, IDC_GROUP_ANSWER, IDC_GROUP_EXPLAIN, IDC_PANE_QUESTION,
                   IDC_PANE_OPTIONS, IDC_PANE_ANSWER, IDC_PANE_EXPLAIN, IDC_APPLY_STYLE, IDC_SAVE, IDC_TYPE_OBJ,
                   IDC_TYPE_SBJ, IDC_TYPE_DES, IDC_DIFFICULTY, IDC_LEVEL_ELEM, IDC_LEVEL_MID, IDC_LEVEL_HIGH,
                   IDC_DEFAULT_OBJ, IDC_DEFAULT_SBJ, IDC_DEFAULT_DES, IDC_OPTION_MENU, IDC_LOAD_QUESTION})
        ShiftControl(id, on);
}

void DialogCore::ShiftControl(int id, bool toTheRight)
{
    Rect r = m_view.ControlRect(id);
    r.left += toTheRight ? PassageColumnWidth() : -PassageColumnWidth();
    m_view.MoveControl(id, r);
}

// ---------------------------------------------------------------------------------------
// Opening and starting questions

void DialogCore::OpenExamRecord(const JsonObject& object, bool keepRecord)
{
    ::OpenExamRecord(m_pExamRecord, object, keepRecord, GetWorkspaceFolder(), *this);
}

void DialogCore::LoadQuestionText(std::string_view text)
{
    ::LoadQuestionText(m_pExamRecord, text, GetWorkspaceFolder(), *this);
}

void DialogCore::OnLoadQuestion()
{
    const std::string workspace = GetWorkspaceFolder();
    const std::string path = m_view.ChooseQuestionFile(workspace);
    if (path.empty())
        return;
    try {
        QuestionFile file = ReadQuestionFile(path, workspace);
        if (file.result == LoadQuestionResult::Opened && HasUnsavedChanges() && !m_view.AskYesNo(kReplaceUnsavedQuestion))
            return;
        if (file.result == LoadQuestionResult::Opened &&
            !::LoadQuestionText(m_pExamRecord, file.text, workspace, *this, file.storeKind))
            file.result = LoadQuestionResult::NotAQuestion;
        switch (file.result) {
        case LoadQuestionResult::Opened:
            break;
        case LoadQuestionResult::Unreadable:
            m_view.ShowMessage("문제 파일을 읽을 수 없습니다: " + path);
            break;
        case LoadQuestionResult::NotAQuestion:
            m_view.ShowMessage("문제 파일의 내용이 올바르지 않습니다: " + path);
            break;
        case LoadQuestionResult::PassageRecord:
            m_view.ShowMessage("지문의 기록 파일은 문제로 열 수 없습니다. 문제 폴더(ek-번호)의 .dat 파일을 고르세요: " + path);
            break;
        case LoadQuestionResult::NotInQuestionFolder:
            m_view.ShowMessage("작업 폴더의 문제 폴더(ek-번호)에 있는 문제 파일만 열 수 있습니다: " + path);
            break;
        }
    } catch (const ArchiveError& error) {
        m_view.ShowMessage(error.what());
    }
}

bool DialogCore::PaneChanged(int code) const
{
    const editor::EditorControl* pane = m_panes.ForCode(code);
    const editor::EditorDocument* document = pane ? pane->PageSource() : nullptr;
    return document && m_view.IsControlShown(PaneControlId(code)) && document->Text().isModified();
}

bool DialogCore::HasUnsavedChanges() const
{
    if (HasUnsavedWork())
        return true;
    for (int code = editor::kPanePassage; code <= editor::kPaneExplain; ++code) {
        if (PaneChanged(code))
            return true;
    }
    return false;
}

bool DialogCore::PassageHoldsUnsavedText()
{
    return m_panes.passage && m_view.IsControlShown(IDC_PANE_PASSAGE) && (m_bUnsavedWork || PaneChanged(editor::kPanePassage)) &&
           editor::PaneHoldsText(*m_panes.passage);
}

std::vector<std::int32_t> DialogCore::DraftTypes() const
{
    std::vector<std::int32_t> types;
    for (const auto& [type, codes] : m_drafts)
        types.push_back(type);
    return types;
}

// ---------------------------------------------------------------------------------------
// The pending package

PackageStages& DialogCore::Stages()
{
    if (!m_pStages)
        m_pStages = std::make_unique<PackageStages>(PackageJournalFolder(GetDataFolder()));
    return *m_pStages;
}

std::string DialogCore::WorkingFolder(const std::string& live) const
{
    return m_pStages ? m_pStages->Working(live) : live;
}

std::string DialogCore::LivePathOf(const std::string& path) const
{
    return m_pStages ? m_pStages->LivePathOf(path) : path;
}

DialogCore::StagedFolders::StagedFolders(DialogCore& core) : m_core(core), m_madeHere(!core.HasPendingPackage())
{
    ExamRecord* record = core.m_pExamRecord.get();
    if (!record)
        return;
    std::string question = core.Stages().Stage(record->m_strExamFolder, record->m_strExamLocal == kLocalExamKind);
    std::string passage;
    if (record->HasPassage())
        passage = core.Stages().Stage(record->m_strExamtextFolder, record->m_strExamtextLocal == kLocalExamtextKind);
    if (question.empty() || (record->HasPassage() && passage.empty()))
        return;
    m_record = record;
    m_question = std::exchange(record->m_strExamFolder, question);
    if (record->HasPassage())
        m_passage = std::exchange(record->m_strExamtextFolder, passage);
    m_ready = true;
}

DialogCore::StagedFolders::~StagedFolders()
{
    if (m_ready && m_core.m_pExamRecord.get() == m_record) {
        m_core.m_pExamRecord->m_strExamFolder = m_question;
        if (!m_passage.empty())
            m_core.m_pExamRecord->m_strExamtextFolder = m_passage;
    }
    if ((m_unused || !m_ready) && m_madeHere && m_core.m_pStages)
        m_core.m_pStages->Discard();
}

void DialogCore::StartNewQuestion()
{
    m_pExamRecord = MakeNewLocalQuestionRecord(GetWorkspaceFolder());
    m_view.ShowQuestionName(m_pExamRecord->m_strExamName);
    m_view.ShowScore(std::nullopt);
    DropDrafts();
    m_bUnsavedWork = false;
    m_bScoreChanged = false;
    m_nShownType = kQuestionTypeNone;
    // A new question has no passage: the column of the one before goes with it.
    if (m_view.IsChecked(IDC_HAS_PASSAGE)) {
        m_view.SetChecked(IDC_HAS_PASSAGE, false);
        SetPassageMode(true);
    }
    m_nObjButtonImage = 1;
    m_nSbjButtonImage = 3;
    m_nDesButtonImage = 5;
    SetTypeButtonImage(IDC_TYPE_OBJ, m_nObjButtonImage);
    SetTypeButtonImage(IDC_TYPE_SBJ, m_nSbjButtonImage);
    SetTypeButtonImage(IDC_TYPE_DES, m_nDesButtonImage);
    ShowDifficulty();
    ApplyLevelStyles(6);
    ShowLevel("mid");
    // The type of the question before is not this one's: nothing of it is assembled here.
    m_nQuestionType = kQuestionTypeNone;
    OnTypeButton(IDC_TYPE_OBJ);
}

void DialogCore::ShowTypeControls(const ExamRecord& record, const ExamTypeControls& controls)
{
    // Another question is now current: nothing kept for the one before applies to it.
    DropDrafts();
    m_bUnsavedWork = false;
    m_bScoreChanged = false;
    m_nShownType = kQuestionTypeNone;
    m_view.ShowQuestionName(record.m_strExamName);
    m_view.ShowScore(record.m_nScoreTenths);
    m_nObjButtonImage = controls.objButtonImage;
    m_nSbjButtonImage = controls.sbjButtonImage;
    m_nDesButtonImage = controls.desButtonImage;
    // The opened question's default box alone is ticked; boxes of the question before go.
    m_view.SetChecked(IDC_DEFAULT_OBJ, controls.defaultType == kQuestionTypeObj);
    m_view.SetChecked(IDC_DEFAULT_SBJ, controls.defaultType == kQuestionTypeSbj);
    m_view.SetChecked(IDC_DEFAULT_DES, controls.defaultType == kQuestionTypeDes);
    SetTypeButtonImage(IDC_TYPE_OBJ, m_nObjButtonImage);
    SetTypeButtonImage(IDC_TYPE_SBJ, m_nSbjButtonImage);
    SetTypeButtonImage(IDC_TYPE_DES, m_nDesButtonImage);
    ShowDifficulty();
    ShowLevel(record.m_strStageId);
    if (controls.questionType != kQuestionTypeNone)
        m_nQuestionType = controls.questionType;
}

void DialogCore::ShowExistingPassage(const ExamRecord& record)
{
    if (m_view.IsChecked(IDC_HAS_PASSAGE)) {
        // The column is already there: only its document changes.
        OpenPaneDocument(record.m_strExamtextFolder + "/text.hwp", editor::kPanePassage);
        return;
    }
    m_view.SetChecked(IDC_HAS_PASSAGE, true);
    SetPassageMode(true);
}

void DialogCore::SelectTypeDocuments(const ExamRecord& record)
{
    if (!record.HasPassage() && m_view.IsChecked(IDC_HAS_PASSAGE)) {
        // A question without a passage does not keep the passage of the one before.
        m_view.SetChecked(IDC_HAS_PASSAGE, false);
        SetPassageMode(true);
    }
    SelectTypeDocuments();
}
