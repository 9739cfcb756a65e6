// The question's structure as the dialog's commands use it: the options pane's menu
// (laying the options out, shuffling and moving them, adding and deleting one, filling
// them with <보기> combinations), the points mark after the question's stem, and the
// checks a save asks about. The options are read as items (document/option_items.h); a
// command that reorders them renumbers the marks and moves the answer pane's marks with
// their options, as one undo step across both panes.
//
// Each command tells the user through the dialog's view why it did nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dialog/dialog_core.h"
#include "document/option_items.h"

namespace structure {

void LayOutOptions(DialogCore& core, editor::OptionArrangement arrangement);
// A new order that differs from the present one (with two options or more).
void ShuffleOptions(DialogCore& core, std::uint32_t seed);
// The option holding the options pane's caret, one place up (-1) or down (+1).
void MoveOption(DialogCore& core, int delta);
// An empty option after the caret's option (at the end when the caret is in none).
void AddOption(DialogCore& core);
// The caret's option goes; an answer mark that named it goes too.
void DeleteOption(DialogCore& core);
// Marks numbered 1.. by place again (after options were typed, moved or deleted by
// hand); the answer's marks follow their options.
void RenumberOptions(DialogCore& core);
// After the options changed: when the teacher chose a layout, the options are laid out
// again where their widths now need more or allow fewer rows. True when it changed
// anything. Silent.
bool RelayOutOptions(DialogCore& core);

// The statements' letters of the <보기> box in the question pane, else in the options pane.
std::vector<QString> BoxStatementsOfQuestion(DialogCore& core);
// Fills the options with set `index` of CombinationSets for the box's statements.
void FillCombination(DialogCore& core, int index);

// Puts or updates the points mark after the question's stem ("[3.3점]").
void ShowPointsMark(DialogCore& core, const QString& format = QStringLiteral("[%1점]"));

// The question a save asks before it goes on, or empty when the options and the answer
// agree: answer numbers the options lack, marks that repeat or are out of order, an
// objective question with fewer than two options. Ends "그대로 저장할까요?".
std::string OptionCheckQuestion(DialogCore& core, const std::string& answer);

} // namespace structure
