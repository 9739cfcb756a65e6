// Opening a question: the record side. A JSON object (the Launcher's "exam_info", the
// passage picker's question, or a .dat chosen by the user) fills the Exam record; the
// type controls, the question and passage folders and the archives to restore follow
// from it. What the dialog shows is asked of an ExamOpenView, in the order it happens,
// so an archive error thrown while restoring leaves the controls already set and the
// panes untouched, and all of this runs without widgets.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
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
// states lower-cased behind their "obj_", "sbj_", "des_" prefix), the level and the points
// ("score", a number from 0 to 100; none otherwise), and releases its heights.
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

// The record an opening makes, its folders located and its archives restored, without
// touching the current one. `base` (the record filled in place) gives the store kind when
// the object has none. Raises ArchiveError for a damaged archive.
std::unique_ptr<ExamRecord> PrepareExamRecord(const ExamRecord* base, const JsonObject& object,
                                              const std::string& workspace);

// The whole opening, all or nothing: the new record is prepared first; only when that
// worked does it replace `current` (keepRecord true: keeping its store kind when the
// object has none) and the view fill the controls and panes. Raises ArchiveError with
// `current` and the view untouched.
void OpenExamRecord(std::unique_ptr<ExamRecord>& current, const JsonObject& object, bool keepRecord,
                    const std::string& workspace, ExamOpenView& view);

// Parses a .dat text and opens the object it holds in place of the current record, with
// `storeKind` (when given) as its store kind unless the object names one. False, with
// nothing changed, for anything else (invalid UTF-8, bad JSON, not an object). Raises
// ArchiveError as OpenExamRecord does.
bool LoadQuestionText(std::unique_ptr<ExamRecord>& current, std::string_view text, const std::string& workspace,
                      ExamOpenView& view, const std::optional<std::string>& storeKind = std::nullopt);

// The store kind a chosen .dat opens as: inside the workspace the folder right below it;
// elsewhere "local_exam" when the path holds it after its first character; otherwise
// none (the current question's kind stays).
std::optional<std::string> QuestionFileStoreKind(const std::string& path, const std::string& workspace);

enum class LoadQuestionResult {
    Opened,
    Unreadable,     // missing, unreadable, empty
    NotAQuestion,   // not one JSON object, or not the record of the question its folder names
    PassageRecord,  // a passage's .dat
    NotInQuestionFolder, // outside the workspace's question folders
};

// A chosen .dat checked before anything changes: a question's record lies in a question
// folder of the workspace ("local_exam/ek-N/N.dat", or "<kind>/d6-…/ek-N/N.dat" for a
// kind other than the passages') and names that question ("exam_key" N). `text` and
// `storeKind` are set when the result is Opened.
struct QuestionFile {
    LoadQuestionResult result = LoadQuestionResult::Unreadable;
    std::string text;
    std::string storeKind;
};
QuestionFile ReadQuestionFile(const std::string& path, const std::string& workspace);

// What follows the question file dialog: the file checked (ReadQuestionFile), then its
// text opened with the store kind of its folder. Nothing changes unless the result is
// Opened; raises ArchiveError as above.
LoadQuestionResult LoadQuestionFile(std::unique_ptr<ExamRecord>& current, const std::string& path,
                                    const std::string& workspace, ExamOpenView& view);

// Whether a store kind is one plain folder name, so that joined below the workspace it
// stays inside it: not ".", "..", nothing with a slash or backslash.
bool IsStoreKindName(const std::string& kind);
