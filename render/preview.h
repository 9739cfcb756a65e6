// Preview assembly: the panes of the current question become the files of its package.
//
// On a save, and silently before the type buttons switch the question to another type,
// BuildPreviewDocuments checks that the panes the type needs hold text, then saves each
// pane as "<part>.hwp" in the question's folder (the passage as "text.hwp" in its own),
// exports the first page of each as a PNG (page_image.h), empties the pane and appends
// the saved file to the print document assembled in the hidden work pane on the
// template "sf_preview_format.hwp". The print document's page image comes last; when it
// was rendered the image cropper measures the images.
//
// Everything runs on the dialog's thread; the dialog's state comes from DialogCore.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "editor/editor_control.h"
#include "dialog/dialog_core.h"

// Parts of each question type: name, pane code and the blank lines after it in the print
// document.
struct PreviewPart {
    const char* name;
    int paneCode;
    std::int32_t blankLines;
};

// The parts of a question type code in print order; empty for any code but 2001..2003.
std::span<const PreviewPart> PreviewPartsOf(std::int32_t questionType);
// "examprint-obj", "examprint-sbj", "examprint-des"; empty for any other code.
std::string PrintDocumentName(std::int32_t questionType);

// The one message that stops the current question, or empty when it may be assembled.
// The required panes win over the passage: question, options, answer, then passage.
std::string ValidationMessage(DialogCore& dialog);
// Shows the message (when asked) and says whether the question may be assembled.
bool ValidateQuestion(DialogCore& dialog, bool showMessages);

class PageImageQueue;

// Saves the pane as HWP at `path`, exports its first page (converted on `queue` when
// given) and empties it. False, with the pane as it was and no image, when the document
// could not be written.
bool SavePaneDocument(DialogCore& dialog, editor::EditorControl& pane, const std::string& path,
                      std::string_view partName, PageImageQueue* queue = nullptr);

// Runs the image cropper over the exported images (the hand-off code supplies it).
using ImageCropperHook = std::function<void()>;

// False when validation failed: the current type's button then shows its unfinished
// picture and no pane or file is touched. False too when a document could not be
// written: every pane keeps what it holds, the type is not marked present, and with
// messages the user is told which file. True otherwise, also when rendering or
// measuring failed on the way.
bool BuildPreviewDocuments(DialogCore& dialog, bool showMessages, const ImageCropperHook& runImageCropper);

// Points the dialog's type-button hook at BuildPreviewDocuments with this cropper.
void InstallPreviewHook(DialogCore& dialog, ImageCropperHook runImageCropper);
