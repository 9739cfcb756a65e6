// Writing the Exam record at the end of a save: the passage's "<key>.dat" in the
// passage folder and the question's "<key>.dat" in the question folder, each one
// compact JSON object replaced atomically, then the archives through a hook.
//
// The dialog reads its type buttons and default-type check boxes into TypeControlsState
// and calls WriteExamRecord with the current record; nothing here touches a widget.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "store/exam_record.h"

// The dialog state the type options are computed from: the pictures of the three type
// buttons (0/1 objective, 2/3 subjective, 4/5 descriptive; the even one means "on") and
// the ticks of the default-type boxes.
struct TypeControlsState {
    std::int32_t objButtonImage = 1;
    std::int32_t sbjButtonImage = 3;
    std::int32_t desButtonImage = 5;
    bool objDefault = false;
    bool sbjDefault = false;
    bool desDefault = false;
};

// "Y" (present), "D" (present and the default type) or "N" (absent) for each part set.
struct TypeOptions {
    std::string obj;
    std::string sbj;
    std::string des;
    bool operator==(const TypeOptions&) const = default;
};

// Each step sees the ones before: with no box ticked the first present type in the
// order obj, sbj, des is the default; a ticked box whose type is absent gives no "D".
TypeOptions ComputeTypeOptions(const TypeControlsState& controls);

// The array of {"print_height","preview_height"} objects: question, answer, explanation,
// and for "obj" the options last.
std::string BuildHeightsList(std::string_view typeWord, const ExamHeights& heights);

// The question .dat text: passage keys only with a passage, height lists only where
// measured, then the school level ("stage_id") when the record has one, then the points
// ("score", a number) when it has them.
std::string BuildExamRecordText(const ExamRecord& record, const TypeOptions& options);

// The passage .dat text; a passage never measured gets both heights 0.
std::string BuildPassageRecordText(std::uint32_t key, const TextHeights* heights);

// Writes "<folder>/<key>.dat" for the passage; false when it was not written (a missing folder).
bool WritePassageRecord(const ExamRecord& record, std::uint32_t key, const std::string& folder);

// Packs the question's documents and print images; supplied by the page-export code.
using ExamPackHook = std::function<void(const ExamRecord&)>;

// The passage .dat (when there is a passage), the question .dat, then `pack` when set.
// Files that cannot be written (a missing or unset folder) are skipped, as the save
// goes on; the result says whether the question .dat was written.
bool WriteExamRecord(const ExamRecord& record, const TypeControlsState& controls, const ExamPackHook& pack = {});
