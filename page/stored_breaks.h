// Lines of the print copy broken where the file broke them. A paragraph read from a file
// carries its stored lines (document/stored_lines.h) while it is unchanged; where the copy's
// own layout made as many lines, each is re-broken at the stored start and keeps the place
// the layout gave it, so a page holds what the word processor put on it.
#pragma once

#include "document/stored_lines.h"
#include "hwp/section.h"

#include <QTextDocument>

#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace editor {

// The stored lines of the blocks that hold what they were read with. Take them before
// anything changes the copy's formats (paragraph heads, kept blocks).
std::unordered_set<const StoredLines*> StoredLinesHeld(const QTextDocument& text);

// Before the copy is laid out: lines spaced by percent are spaced as the word processor
// spaces them, the percent of the line's largest char size, where the text engine takes
// the percent of its face's height, which differs from face to face. Lines with objects
// wider than nothing keep the engine's spacing. `device` is the layout's paint device.
void SpaceLinesByCharSize(QTextDocument& text, const QPaintDevice& device);

// How the copy is made to keep to the stored lines before it is laid out, by block number:
// how much wider (or, below 0, narrower) than its format says a block is laid out so that
// the text engine breaks it where the file did; and the blocks whose stored lines leave
// room for objects beside them (lines narrower than the column, or two on one row), which
// are laid out on the stored lines and rows whatever the engine made of them.
struct WidthsFitted {
    std::unordered_map<int, double> widths;
    std::unordered_set<int> wrapped;
    // Of the wrapped blocks, those in table cells whose paragraph sets columns of its own
    // (the stored lines start again at the top for each): the columns, laid side by side.
    std::unordered_map<int, hwp::Columns> columns;
};

// Before the copy is laid out: widens or narrows each body block whose stored lines the
// text engine would break elsewhere, within the least change that makes it break there,
// when there is one (faces that stand in for the file's are wider or narrower than its).
// `bodyWidth` is the width of the column in layout pixels; `device` the layout's paint device.
// Paragraphs of a body set columns for the page; those of a text box or a cell (and body
// blocks in table cells always), side by side within their own width.
enum class ParagraphColumns { OfThePage, SideBySide };
WidthsFitted FitStoredWidths(QTextDocument& text, const std::unordered_set<const StoredLines*>& held, double bodyWidth,
                             const QPaintDevice& device, ParagraphColumns columns = ParagraphColumns::OfThePage);

// Re-breaks the laid-out blocks whose stored lines are in `held`, and lays the lines of
// the blocks in `fitted` into their own width again; returns how many were. Wrapped blocks
// first get the height of their stored rows, which lays the copy out once more.
int FollowStoredLines(QTextDocument& text, const std::unordered_set<const StoredLines*>& held,
                      const WidthsFitted& fitted = {});

// The columns a column definition's character sets (its char format); nothing for another
// character, or a definition that cannot be read.
std::optional<hwp::Columns> ColumnsDefinedBy(const QTextFormat& format);

// The columns a paragraph sets for itself with a column definition of more than one column
// it holds (in a cell or a text box, where they are laid side by side); nothing otherwise.
std::optional<hwp::Columns> ColumnsSetIn(const QTextBlock& block);

// The stored lines of `block`, if they are among `held` and its text is still theirs.
const StoredLines* HeldLinesOf(const QTextBlock& block, const std::unordered_set<const StoredLines*>& held);

// How far a layout keeps to the stored lines: lines that start where the file's did, and
// how far their baselines lie from the file's (millimetres).
struct LineAgreement {
    int storedLines = 0;
    int sameStart = 0;
    int paragraphs = 0;
    int sameCount = 0;      // paragraphs laid out in as many lines as stored
    int cellLines = 0;      // of storedLines, those in table cells
    int cellSameStart = 0;
    std::vector<double> baselineOffsets;
};

} // namespace editor
