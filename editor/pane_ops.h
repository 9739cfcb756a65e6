// Operations on the dialog's editor panes that need nothing but the panes: style
// shortcuts by school level, appending files and blank lines to the work control,
// testing a pane for emptiness and reading the objective answer. Everything goes
// through EditorControl, so these run headless.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "editor/editor_control.h"

namespace editor {

// The six editor controls of the main dialog.
struct PaneSet {
    EditorControl* passage = nullptr;  // 1029
    EditorControl* question = nullptr; // 1030
    EditorControl* options = nullptr;  // 1031
    EditorControl* answer = nullptr;   // 1033
    EditorControl* explain = nullptr;  // 1032
    EditorControl* work = nullptr;     // 1034, hidden

    // Pane codes 2 passage, 3 question, 4 options, 5 answer, 6 explanation; null otherwise.
    EditorControl* ForCode(int code) const;
};

// Pane codes as the option menu and the callers name them.
inline constexpr int kPaneAll = 1;
inline constexpr int kPanePassage = 2;
inline constexpr int kPaneQuestion = 3;
inline constexpr int kPaneOptions = 4;
inline constexpr int kPaneAnswer = 5;
inline constexpr int kPaneExplain = 6;

// 2 for the elementary level ("elem"), 6 for every other level text.
int StyleBase(std::string_view level);

// "MoveDocBegin", "MoveSelDocEnd", "StyleShortcut<number>", "MoveDocEnd".
void ApplyWholePaneStyle(EditorControl& pane, int number);

// One pane by its name ("text", "exam", "objective", "answer", "explain") for the level.
void ApplyPaneStyle(EditorControl& pane, std::string_view name, std::string_view level);

// The passage styles; the caret ends at the beginning of the document.
void StylePassagePane(EditorControl& passage, int base);

// Inserts the HWP file at the end of the pane with its char and para shapes.
void InsertFileAtEnd(EditorControl& pane, const std::string& path, std::int32_t keepSection);
void InsertPaneText(EditorControl& pane, const std::u16string& text);
// n times "\r\n" (nothing for n <= 0), then "StyleShortcut1".
void InsertBlankLines(EditorControl& pane, std::int32_t n);

// Appends an existing file to the work control, followed by n blank lines unless the
// pane code is 6 (the explanation ends a print document). A missing file is skipped.
void AppendToWorkDocument(EditorControl& work, const std::string& path, int code, std::int32_t n);

// Empty when the caret at the end of the document is on line 1, column 1.
bool IsPaneEmpty(EditorControl& pane);
// Whether the pane holds anything a user wrote: text other than blanks and the answer
// label "정답 :", or an object. The caret does not move.
bool PaneHoldsText(EditorControl& pane);

// The numbers of the marks ①..⑤ found in the first text piece of the answer pane (its
// whole text: CHwpctrl gives the whole range as one piece), with
// the label "정답 : " removed: ascending, comma-joined ("3", "1,4", "" without marks).
std::string ReadObjectiveAnswer(EditorControl& answer);
// The same rule on a text; what ReadObjectiveAnswer applies to the pane's text.
std::string ObjectiveAnswerOf(std::string text);

} // namespace editor
