// Opening a question: the record side. A JSON object (the Launcher's "exam_info", the
// passage picker's question, or a .dat chosen by the user) fills the Exam record; the
// type controls, the question and passage folders and the archives to restore follow
// from it. What the dialog shows is asked of an ExamOpenView, in the order it happens,
// so an archive error thrown while restoring leaves the controls already set and the
// panes untouched, and all of this runs without widgets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "store/exam_record.h"
#include "support/json.h"

// Type controls derived from the record's three states.
struct ExamTypeControls {
    std::int32_t objButtonImage = 1;   // 0 on, 1 off
    std::int32_t sbjButtonImage = 3;   // 2 on, 3 off
    std::int32_t desButtonImage = 5;   // 4 on, 5 off
    // The type whose default box gets ticked (kQuestionTypeObj/Sbj/Des); the other boxes
    // are left as they are. kQuestionTypeNone ticks nothing.
    std::int32_t defaultType = kQuestionTypeNone;
    // The type to make current; kQuestionTypeNone keeps the current one.
    std::int32_t questionType = kQuestionTypeNone;
    bool operator==(const ExamTypeControls&) const = default;
};

// What the dialog does while a question opens. CVarnelDlg implements it.
class ExamOpenView {
public:
    virtual ~ExamOpenView() = default;
    // The record is read: set the type pictures, tick the default box, show the record's
    // difficulty and level (m_strStageId), and make the current type current.
    virtual void ShowTypeControls(const ExamRecord& record, const ExamTypeControls& controls) = 0;
    // The record has a passage whose key and folder are set: tick the has-passage box and
    // run the passage switch for an existing passage (no new number).
    virtual void ShowExistingPassage(const ExamRecord& record) = 0;
    // Folders and archives are ready: the panes show the current type's documents.
    virtual void SelectTypeDocuments(const ExamRecord& record) = 0;
};

// Reads the eleven keys into the record ("exam_local" only when the object has it;
// states lower-cased behind their "obj_", "sbj_", "des_" prefix) and releases its heights.
void ReadExamRecordKeys(ExamRecord& record, const JsonObject& object);

// Pictures on for "_y" and "_d"; the first default in the order obj, sbj, des is ticked
// and current; without a default the first present type is current.
ExamTypeControls TypeControlsOf(const ExamRecord& record);

// Sets the question folder from its store kind and restores a local question's "exam"
// archive. A store kind that is not a plain folder name ("..", or one with a slash) would
// put the folder outside the workspace and is taken as "exam". Raises ArchiveError for a
// damaged archive.
void LocateQuestion(ExamRecord& record, const std::string& workspace);

// With a passage: sets its folder (a store kind other than the local one becomes
// "examtext") and restores its "text" archive when "text.hwp" is missing. Raises
// ArchiveError for a damaged archive.
void LocatePassage(ExamRecord& record, const std::string& workspace);

// The whole opening. keepRecord false puts a new record in place of `current`; true fills
// it in place (keeping its store kind when the object has none). Raises ArchiveError
// after the record is filled and the type controls are shown.
void OpenExamRecord(std::unique_ptr<ExamRecord>& current, const JsonObject& object, bool keepRecord,
                    const std::string& workspace, ExamOpenView& view);

// Parses a .dat text and opens the object it holds into the current record; anything
// else (invalid UTF-8, bad JSON, not an object) does nothing.
void LoadQuestionText(std::unique_ptr<ExamRecord>& current, std::string_view text, const std::string& workspace,
                      ExamOpenView& view);

// What follows the question file dialog: a path in the local store makes the current
// record a local question, then the file's text is loaded (an unreadable file does nothing).
void LoadQuestionFile(std::unique_ptr<ExamRecord>& current, const std::string& path, const std::string& workspace,
                      ExamOpenView& view);

// Whether a chosen .dat path lies in the local store: it holds "local_exam" after its
// first character. Such a file opens as a local question.
bool IsLocalStorePath(const std::string& path);
