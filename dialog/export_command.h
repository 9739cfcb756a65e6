// "내보내기…" of the option menu: the current question, as last saved, written as a QTI
// 3.0 package or a Moodle XML quiz file (export/item_export.h) for a learning platform.
// The file dialog is the view's; the export and its Korean messages are here, headless.
#pragma once

#include <string>

class DialogCore;

enum class ExportFormat { Qti, Moodle };

// The .dat of the current question when a save has written it; empty otherwise.
std::string SavedQuestionFile(const DialogCore& core);

// Exports the saved question to `target` and tells the user how it went; true when the
// file was written. Nothing is left at `target` when it fails.
bool ExportCurrentQuestion(DialogCore& core, const std::string& target, ExportFormat format);
