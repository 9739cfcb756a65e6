#include "render/preview.h"

#include "dialog/option_commands.h"
#include "render/page_image.h"
#include "support/folders.h"

#include "support/text.h"
#include "support/write_failure.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr PreviewPart kObjParts[] = {
    {"obj-exam", editor::kPaneQuestion, 1},
    {"obj-objective", editor::kPaneOptions, 2},
    {"obj-answer", editor::kPaneAnswer, 1},
    {"obj-explain", editor::kPaneExplain, 0},
};
constexpr PreviewPart kSbjParts[] = {
    {"sbj-exam", editor::kPaneQuestion, 2},
    {"sbj-answer", editor::kPaneAnswer, 1},
    {"sbj-explain", editor::kPaneExplain, 0},
};
constexpr PreviewPart kDesParts[] = {
    {"des-exam", editor::kPaneQuestion, 2},
    {"des-answer", editor::kPaneAnswer, 1},
    {"des-explain", editor::kPaneExplain, 0},
};

const char kPassageMessage[] = "지문 있는 문제로 체크하였습니다.\n지문을 불러오거나 입력하세요.";
const char kQuestionMessage[] = "문제는 필수입력 사항입니다.";
const char kOptionsMessage[] = "객관식 보기는 필수입력 사항입니다.";
const char kAnswerMessage[] = "정답은 필수입력 사항입니다.";

std::u16string Utf16(const std::string& text)
{
    return Utf8ToUtf16(text).value_or(u"");
}

// A pane the dialog does not have cannot hold the text a question needs.
bool IsEmpty(DialogCore& dialog, editor::EditorControl* pane)
{
    return pane == nullptr || dialog.IsPaneEmpty(*pane);
}

// The picture of an unfinished type: the odd one of the button's pair.
void ShowUnfinishedType(DialogCore& dialog)
{
    switch (dialog.m_nQuestionType) {
    case kQuestionTypeObj:
        dialog.m_nObjButtonImage = 1;
        dialog.SetTypeButtonImage(dlg::IDC_TYPE_OBJ, 1);
        break;
    case kQuestionTypeSbj:
        dialog.m_nSbjButtonImage = 3;
        dialog.SetTypeButtonImage(dlg::IDC_TYPE_SBJ, 3);
        break;
    case kQuestionTypeDes:
        dialog.m_nDesButtonImage = 5;
        dialog.SetTypeButtonImage(dlg::IDC_TYPE_DES, 5);
        break;
    default:
        break;
    }
}

// The type's documents are in the question's folder now: its state and its button say
// so alike. (A button left at "unfinished" by an earlier refused attempt would otherwise
// write the type as absent, "N", beside documents the package carries.)
void MarkTypePresent(DialogCore& dialog, ExamRecord& record, std::int32_t questionType)
{
    if (questionType == kQuestionTypeObj) {
        record.m_strObjState = "obj_y";
        dialog.m_nObjButtonImage = 0;
        dialog.SetTypeButtonImage(dlg::IDC_TYPE_OBJ, 0);
    } else if (questionType == kQuestionTypeSbj) {
        record.m_strSbjState = "sbj_y";
        dialog.m_nSbjButtonImage = 2;
        dialog.SetTypeButtonImage(dlg::IDC_TYPE_SBJ, 2);
    } else if (questionType == kQuestionTypeDes) {
        record.m_strDesState = "des_y";
        dialog.m_nDesButtonImage = 4;
        dialog.SetTypeButtonImage(dlg::IDC_TYPE_DES, 4);
    }
}

const char kNoAnswerMarkQuestion[] = "정답 번호가 없습니다. 그대로 저장할까요?";

// The cropped print images of the part's earlier crop: this assembly crops the part
// anew, and one that fails must leave no image of the old text in the package.
void ForgetPrintImages(const ExamRecord& record, std::string_view partName)
{
    const bool passage = partName == "text";
    const std::string& folder = passage ? record.m_strExamtextFolder : record.m_strExamFolder;
    const std::uint32_t key = passage ? record.m_nExamtextKey : record.m_nExamKey;
    const std::string name = "print-" + std::string(partName) + ".png";
    std::remove((folder + "/" + name).c_str());
    std::remove((folder + "/" + std::to_string(key) + "-" + name).c_str());
}

std::string DocumentFailureMessage(const DialogCore& dialog, const std::string& path,
                                   const std::optional<WriteFailure>& failure)
{
    if (!failure)
        return "문서를 저장하지 못했습니다: " + dialog.LivePathOf(path) +
               "\n저장 폴더의 쓰기 권한과 남은 공간을 확인하세요.";
    return "문서를 저장하지 못했습니다. " + WriteFailureCause(failure->error) + "\n파일: " +
           dialog.LivePathOf(failure->path);
}

} // namespace

std::span<const PreviewPart> PreviewPartsOf(std::int32_t questionType)
{
    switch (questionType) {
    case kQuestionTypeObj:
        return kObjParts;
    case kQuestionTypeSbj:
        return kSbjParts;
    case kQuestionTypeDes:
        return kDesParts;
    default:
        return {};
    }
}

std::string PrintDocumentName(std::int32_t questionType)
{
    switch (questionType) {
    case kQuestionTypeObj:
        return "examprint-obj";
    case kQuestionTypeSbj:
        return "examprint-sbj";
    case kQuestionTypeDes:
        return "examprint-des";
    default:
        return {};
    }
}

std::string ValidationMessage(DialogCore& dialog)
{
    const editor::PaneSet& panes = dialog.Panes();
    std::string message;
    if (dialog.m_pExamRecord && dialog.m_pExamRecord->HasPassage() && IsEmpty(dialog, panes.passage))
        message = kPassageMessage;
    switch (dialog.m_nQuestionType) {
    case kQuestionTypeObj:
        if (IsEmpty(dialog, panes.question))
            message = kQuestionMessage;
        else if (IsEmpty(dialog, panes.options))
            message = kOptionsMessage;
        else if (IsEmpty(dialog, panes.answer))
            message = kAnswerMessage;
        break;
    case kQuestionTypeSbj:
    case kQuestionTypeDes:
        if (IsEmpty(dialog, panes.question))
            message = kQuestionMessage;
        else if (IsEmpty(dialog, panes.answer))
            message = kAnswerMessage;
        break;
    default:
        break;
    }
    return message;
}

bool ValidateQuestion(DialogCore& dialog, bool showMessages)
{
    const std::string message = ValidationMessage(dialog);
    if (message.empty())
        return true;
    if (showMessages)
        dialog.View().ShowMessage(message);
    return false;
}

namespace {

// Writes the pane's document and exports its page; false, with no image, when the
// document could not be written.
bool StorePaneDocument(DialogCore& dialog, editor::EditorControl& pane, const std::string& path,
                       std::string_view partName, PageImageQueue* queue)
{
    if (!pane.SaveDocumentAs(Utf16(path), u"HWP"))
        return false;
    ExportPageImage(pane, *dialog.m_pExamRecord, partName, queue);
    return true;
}

} // namespace

bool SavePaneDocument(DialogCore& dialog, editor::EditorControl& pane, const std::string& path,
                      std::string_view partName, PageImageQueue* queue)
{
    if (!StorePaneDocument(dialog, pane, path, partName, queue))
        return false;
    pane.ClearDocument(0);
    return true;
}

bool BuildPreviewDocuments(DialogCore& dialog, bool showMessages, const ImageCropperHook& runImageCropper)
{
    // Nothing to assemble without a question; the dialog always has one while it runs.
    if (!dialog.m_pExamRecord)
        return false;
    if (!ValidateQuestion(dialog, showMessages)) {
        ShowUnfinishedType(dialog);
        return false;
    }
    // An objective question without an answer mark is most likely unfinished; saving it
    // so is the teacher's choice, asked before anything is written. A "no" changes nothing.
    if (showMessages && dialog.m_nQuestionType == kQuestionTypeObj && dialog.Panes().answer != nullptr) {
        const std::string answer = editor::ReadObjectiveAnswer(*dialog.Panes().answer);
        if (answer.empty() && !dialog.View().AskYesNo(kNoAnswerMarkQuestion))
            return false;
        // Options and answer that do not agree: asked about the same way, never refused.
        if (const std::string question = structure::OptionCheckQuestion(dialog, answer);
            !question.empty() && !dialog.View().AskYesNo(question))
            return false;
    }
    ExamRecord& record = *dialog.m_pExamRecord;
    const editor::PaneSet& panes = dialog.Panes();
    // Each bitmap is converted while the next pane renders; all images exist before the
    // cropper runs and before this returns.
    PageImageQueue images;
    // Emptied only once every document is written: a failed write keeps all panes as typed.
    std::vector<editor::EditorControl*> stored;
    const std::span<const PreviewPart> parts = PreviewPartsOf(dialog.m_nQuestionType);
    // A save shows its steps: each document, then the print image (two more steps follow
    // in the save: the record and the archives).
    const int documents = static_cast<int>(parts.size()) + (record.HasPassage() ? 1 : 0);
    const double steps = documents + 2.0;
    auto store = [&](editor::EditorControl& pane, const std::string& path, std::string_view partName) {
        if (showMessages) {
            const int done = static_cast<int>(stored.size());
            dialog.View().ShowProgress("문서 저장 중 " + std::to_string(done + 1) + "/" + std::to_string(documents), done / steps);
        }
        const WriteFailureWatch failure;
        ForgetPrintImages(record, partName);
        if (StorePaneDocument(dialog, pane, path, partName, &images)) {
            stored.push_back(&pane);
            return true;
        }
        if (showMessages)
            dialog.View().ShowMessage(DocumentFailureMessage(dialog, path, failure.First()));
        return false;
    };

    if (record.HasPassage()) {
        if (record.m_strExamtextLocal == kLocalExamtextKind)
            EnsureDirectory(record.m_strExamtextFolder);
        const std::string path = record.m_strExamtextFolder + "/text.hwp";
        if (panes.passage != nullptr && !store(*panes.passage, path, "text"))
            return false;
        dialog.AppendToWorkDocument(path, editor::kPanePassage, 0);
    }
    if (record.m_strExamLocal == kLocalExamKind)
        EnsureDirectory(record.m_strExamFolder);
    if (panes.work != nullptr)
        panes.work->OpenDocument(Utf16(GetInstallFolder() + "/urk/hwp_format/sf_preview_format.hwp"), u"HWP");

    const std::int32_t type = dialog.m_nQuestionType;
    for (const PreviewPart& part : parts) {
        const std::string path = record.m_strExamFolder + "/" + part.name + ".hwp";
        if (type == kQuestionTypeObj && part.paneCode == editor::kPaneAnswer)
            dialog.ReadObjectiveAnswer();
        if (editor::EditorControl* pane = panes.ForCode(part.paneCode); pane && !store(*pane, path, part.name))
            return false;
        dialog.AppendToWorkDocument(path, part.paneCode, part.blankLines);
    }
    if (!parts.empty()) {
        if (showMessages)
            dialog.View().ShowProgress("인쇄 이미지…", documents / steps);
        const bool rendered =
            panes.work != nullptr && ExportPageImage(*panes.work, record, PrintDocumentName(type), &images);
        images.Finish();
        MarkTypePresent(dialog, record, type);
        if (rendered && runImageCropper)
            runImageCropper();
    }
    images.Finish();
    // Emptied last: while the images are made and cropped the panes still show the text.
    for (editor::EditorControl* pane : stored)
        pane->ClearDocument(0);
    return true;
}

void InstallPreviewHook(DialogCore& dialog, ImageCropperHook runImageCropper)
{
    dialog.m_buildPreviewDocuments = [&dialog, cropper = std::move(runImageCropper)](bool showMessages) {
        return BuildPreviewDocuments(dialog, showMessages, cropper);
    };
}
