// hwp::Table <-> QTextTable: how a table of a file is shown in the pane as a table of the
// text engine, its cells holding editable text, and how such a table is written back.
//
// What a table of the text engine carries beyond what it shows:
//   - its format keeps the control it was read from (a KeptObjectRef), so what the model
//     does not interpret (a caption, zones, unknown bytes) is written back as read;
//   - each cell's format keeps the cell it was read from (sizes, margins, list bits), the
//     border fill it showed and its id; a save compares what the cell shows with that
//     and keeps the file's values where nothing changed;
//   - the block after a table continues the paragraph the table stands in (a table is a
//     character of its paragraph in the file, a frame between blocks in the pane).
// Tables the text engine cannot place as the file says stay kept objects (one object
// character drawn by the table painter): tables floating beside or over the text, or
// placed on the page or paper rather than in their paragraph; tables nested deeper than
// kMaxShownTableDepth; tables of more than kMaxShownTableCells cells.
#pragma once

#include "document/kept_objects.h"
#include "hwp/border_fill.h"
#include "hwp/table.h"

#include <QTextTable>
#include <QTextTableCellFormat>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace editor {

constexpr int kTableControlProperty = QTextFormat::UserProperty + 20;   // on the table's format
constexpr int kTableCellProperty = QTextFormat::UserProperty + 21;      // on each cell's format
constexpr int kCellBorderFillProperty = QTextFormat::UserProperty + 22; // border fill bytes shown
constexpr int kContinuesParagraphProperty = QTextFormat::UserProperty + 23;   // on a block's format
constexpr int kCellBreakFlagsProperty = QTextFormat::UserProperty + 24;       // a cell paragraph's, as read
// A body paragraph's column break and multi-column start (hwp::kBreakColumn, kBreakColumns),
// as read: the pane lays out one column, the page as many as the section has.
constexpr int kColumnBreakFlagsProperty = QTextFormat::UserProperty + 27;

constexpr int kMaxShownTableDepth = 3;
constexpr std::size_t kMaxShownTableCells = 2000;

// A cell as read, without its paragraphs.
using TableCellRef = std::shared_ptr<const hwp::TableCell>;

// A table's caption shows as one object character beside the table (at the end of the
// paragraph before it when it stands above, at the start of the one after when below),
// drawn from the caption's paragraphs. It is for reading only: the caption is written
// back with the table as read, and a save writes nothing for this character.
constexpr std::uint32_t kShownCaptionCtrlId = 0x7E636170;   // '~','c','a','p': no control of a file

// The object that shows `table`'s caption (`control`, the table's own control, read from
// `origin`), or null when it has none. Captions beside the table show above (left) or
// below (right) it.
KeptObjectRef ShownCaption(const hwp::Table& table, const hwp::Control& control,
                           std::shared_ptr<const hwp::Document> origin);
bool IsShownCaption(const KeptObject& object);
bool ShownCaptionAbove(const KeptObject& object);

// The table to show as a table of the text engine, or nothing when `control` stays a kept
// object (not a table, damaged, or one the text engine cannot place; see above).
std::optional<hwp::Table> TableToShow(const hwp::Control& control, int depth);

// Fills the cell whose first position `cursor` stands at with `paragraphs`.
using CellFiller = std::function<void(QTextCursor& cursor, const std::vector<hwp::Paragraph>& paragraphs)>;

// Inserts `table` (read from `object`, ids of `origin`) at `cursor`; the cursor ends in
// the block after the table.
void InsertTextTable(QTextCursor& cursor, const hwp::Table& table, KeptObjectRef object, const hwp::Document& origin,
                     const CellFiller& fill);

// The paragraphs of one cell, converted into `document`'s ids.
using CellReader = std::function<std::vector<hwp::Paragraph>(const QTextTableCell& cell)>;

// The table control for `table` in `document` (whose shapes the cells' paragraphs name).
// A table read from a file keeps its control's records where nothing changed.
hwp::Control TableControlFrom(const QTextTable& table, hwp::Document& document, const CellReader& read);

// How many rows at the top of `table` print again at the top of every page it runs onto:
// when its file's table asks for it, the leading rows whose cells are all header cells,
// never cutting through a merged cell and never the whole table.
int RepeatedHeaderRows(const QTextTable& table);

// What the pane shows of a border fill on a cell (lines and background), and what a cell
// shows as a border fill, with what the format cannot show taken from `base`.
void ShowBorderFill(QTextTableCellFormat& format, const hwp::BorderFillView& fill);
hwp::BorderFillView BorderFillShown(const QTextTableCellFormat& format, const hwp::BorderFillView& base);
// The border fill the cell was given (read, or set by a tool), or a plain 0.12 mm line.
hwp::BorderFillView CellBorderFill(const QTextTableCellFormat& format);
// Sets the border fill a cell shows and keeps.
void SetCellBorderFill(QTextTableCellFormat& format, const hwp::BorderFillView& fill);

// The text engine keeps a cell's format as the char format of its first block: this
// sets a block's char format and, in a cell's first block, keeps what belongs to the cell.
void SetBlockCharFormatKeepingCell(QTextCursor& cursor, const QTextCharFormat& format);

// The table format of a new table: columns of `widths` layout pixels, collapsed borders,
// 1 mm around it as a save writes it.
QTextTableFormat NewTextTableFormat(const std::vector<double>& widths);
// The cell format of a new cell: padding of 1.8 mm / 0.5 mm and `fill`.
QTextTableCellFormat NewTextTableCellFormat(const hwp::BorderFillView& fill, Qt::Alignment vertical = Qt::AlignVCenter);

} // namespace editor

Q_DECLARE_METATYPE(editor::TableCellRef)
