// The program's exchanges with the programs around it, on top of the hand-off channel:
// reading the launch record at start-up, the passage picker ("지문 불러오기"), the image
// cropper after a print document was exported, and the save that ends in the save
// notification to the Launcher. Each works on the dialog's DialogCore.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "dialog/dialog_core.h"
#include "store/exam_writer.h"
#include "support/json.h"

namespace handoff {

// --- launch record ------------------------------------------------------------------
// Takes the run lock (one editor per user; taken over from the launcher that started
// us), removes what ended runs left on the channels, then takes the launch text from the
// Launcher's block, or from "<data>/exam.dat" when there is none, and applies it. The
// block stays mapped and the lock held for the rest of the run. False when another run
// holds the lock or applying the record failed: the dialog must close (its reason has
// been shown).
bool AcquireLaunchRecord(DialogCore& core);

// Sets g_userKey, g_schoolKey and g_webServer from "user_info", then opens "exam_info"
// or starts a new question; a text that yields no object starts a new question too.
// False when an error interrupted it; its message is shown first.
bool ReadLaunchRecord(DialogCore& core, std::string_view text);

// Unmaps the Launcher's block and gives up the run lock (the run is over, or a test
// starts afresh).
void ReleaseLauncherChannel();

// --- passage picker -----------------------------------------------------------------
// {"school_key":S,"user_key":U,"content_type":"examtext","web_svr":"…"}
std::string PickerRequest();
// "지문 불러오기": runs "<install>/urk/Fennick" and applies its answer. A fault while
// waiting is said and leaves the question as it was.
void OnLoadPassage(DialogCore& core);
// A question answer ("content_type":"exam") opens that question; a passage answer sets
// the current record's passage and shows it.
void ApplyPickerAnswer(DialogCore& core, std::string_view answer);
// The passage folder for a kind and key below the workspace.
std::string PickedPassageFolder(const std::string& workspace, const std::string& kind, std::uint32_t key);

// --- image cropper ------------------------------------------------------------------
// "obj", "sbj", "des" for 2001, 2002, 2003; empty otherwise.
std::string QuestionTypeText(std::int32_t questionType);
std::string CropperRequest(const ExamRecord& record, std::int32_t questionType);
// Runs "<install>/urk/Tolvard" on the current question and keeps the heights it answers.
// A fault while waiting is said and leaves the heights as they were.
void RunImageCropper(DialogCore& core);
// Keeps the heights of a cropper answer in the record.
void ApplyCropperAnswer(ExamRecord& record, std::string_view answer);
void ReadExamHeights(ExamHeights& heights, const JsonObject& answer, const std::string& typeText);

// --- save ---------------------------------------------------------------------------
// "저장": check and assemble (the preview hook), write the record and archives, then a
// new local question, or for a question of the Launcher's kind the notification and the
// close. Nothing happens without a current record. An error while writing is shown and
// the question stays open.
void OnSave(DialogCore& core, const ExamPackHook& pack);
// "EXAM_SAVE" at 2048 of the Launcher's block and its event set; false when no launcher
// started this run, its block is gone or made anew by another, or the launcher has gone.
bool NotifyLauncherSaved();

} // namespace handoff
