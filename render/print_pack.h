// Packing a saved question: its HWP documents and the image cropper's print images go
// into the archives "<key>-<kind>.zip" beside them (store/archive.h), at the end of
// WriteExamRecord (store/exam_writer.h), which calls the hook made here.
//
// A part set is packed while its state text says it is present ("obj_y" or "obj_d", and
// the same for "sbj" and "des"), in the order obj, sbj, des and, within a set, question,
// options, answer, explanation. The print document's own image is never packed.
// ArchiveError from the archive writer passes through to the caller of WriteExamRecord;
// a false result (a file that could not be added) is not looked at.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "editor/editor_control.h"
#include "store/exam_record.h"
#include "store/exam_writer.h"

// The part names of each present part set, in packing order.
std::vector<std::string> PresentPartNames(const ExamRecord& record);

// The package name "print-<part>.png" of the part's cropped print image, after moving
// the cropper's "<key>-print-<part>.png" to that name in the same folder; an existing
// "print-<part>.png" is kept as it is. The passage ("text") uses the passage folder and
// key. Empty when there is no such image or it cannot be moved.
std::string PrintImageName(const ExamRecord& record, std::string_view partName);

// "<passage key>-print.zip" with the passage's print image when there is a passage, then
// "<question key>-print.zip" with the present parts' print images, even when empty.
void PackPrintImages(const ExamRecord& record);

// "<passage key>-text.zip" with text.hwp when there is a passage; then the options pane
// is emptied (option 1) and "<question key>-exam.zip" gets the present parts' documents.
// Always true.
bool PackQuestionDocuments(const ExamRecord& record, editor::EditorControl* optionsPane);

// The hook WriteExamRecord calls after the .dat files: documents, then print images.
ExamPackHook MakeExamPackHook(editor::EditorControl* optionsPane);
