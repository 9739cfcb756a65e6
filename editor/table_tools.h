// The pane's table commands: making a table or a "<보기>" box at the caret, adding and
// deleting rows and columns, merging and splitting cells, a cell's lines and background,
// and Tab from cell to cell. InstallTableTools puts them in the "입력" menu, the tool bar
// and the context menu inside a table; the functions below are what the actions call,
// at the pane's caret, without dialogs (for tests and scripts).
#pragma once

#include "hwp/border_fill.h"

#include <QColor>

#include <optional>

class QTextTable;

namespace editor {

class CHwpctrl;

void InstallTableTools(CHwpctrl& pane);

// A rows x columns table as wide as the page body, 0.12 mm lines, in a paragraph of its
// own at the caret; the caret goes into its first cell. Null when the count is out of
// 1..kMaxNewTableRows x 1..kMaxNewTableColumns.
constexpr int kMaxNewTableRows = 500;
constexpr int kMaxNewTableColumns = 60;
QTextTable* InsertNewTable(CHwpctrl& pane, int rows, int columns);
// A one-cell box with a 0.4 mm line: "<보기>" centred on its first line, the caret on the
// second.
QTextTable* InsertBoxTable(CHwpctrl& pane);

// At the caret's cell; false when the caret is in no table or the change is not possible
// (the last row or column, a cell that cannot split).
bool InsertTableRow(CHwpctrl& pane, bool below = true);
bool RemoveTableRow(CHwpctrl& pane);
bool InsertTableColumn(CHwpctrl& pane, bool right = true);
bool RemoveTableColumn(CHwpctrl& pane);
// The selected cells into one; false when fewer than two cells are selected.
bool MergeTableCells(CHwpctrl& pane);
// A merged cell back into its slots; a single cell into two side by side.
bool SplitTableCell(CHwpctrl& pane);
// Which lines of the selected cells (or the caret's cell) a line command sets: all four
// of each cell, those on the selection's outline, those between its cells, one side of
// the outline, or none (every line of the cells taken away).
enum class CellSides { All, Outside, Inside, Top, Bottom, Left, Right, None };
// The lines `sides` names (kind 0: none) or the background (none: no background) of the
// selected cells, or the caret's cell.
bool SetTableCellLines(CHwpctrl& pane, const hwp::BorderLine& line, CellSides sides = CellSides::All);
bool SetTableCellBackground(CHwpctrl& pane, std::optional<QColor> color);
// Tab: the caret to the next cell's text, a new row after the last cell. False outside a
// table.
bool MoveToNextCell(CHwpctrl& pane, bool backwards = false);

} // namespace editor
