// hwp::Table: the model of a table control ('tbl '), read from and written to the
// control's records (hwp::Control) side by side.
//
// The records of a table, levels counted from its CTRL_HEADER:
//   0 CTRL_HEADER  the common object properties: placement and size (object_properties.h)
//   1 LIST_HEADER + paragraphs   a caption, when there is one (kept as read)
//   1 TABLE        rows, columns, cell spacing, inner margins, cells per row, border fill, zones
//   1 LIST_HEADER  per cell, row by row: its list properties, address, spans, size, margins,
//                  border fill; then the cell's paragraphs at level 1
// What the model does not interpret (the caption, bytes after the known fields, records
// after the last cell) is kept and written back as read, so an unchanged table writes
// back byte for byte. Border fill ids are 1-based, as the file holds them: id N is
// Document::borderFills[N - 1] (see border_fill.h for its lines and fill).
//
// The editor maps a Table to a QTextTable: Rows() x Columns() grid, each TableCell at
// (row, column) spanning rowSpan x columnSpan, ColumnWidths() for the column
// constraints, margins as cell padding, the cell's border fill for lines and background,
// and the cell's paragraphs as its text. An edited table is written back with
// WriteTable(table, document, &original), which reuses the original records of every cell whose
// paragraphs did not change.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hwp/document.h"
#include "hwp/object_properties.h"

namespace hwp {

constexpr std::uint32_t kTableCtrlId = 0x74626C20;   // 't','b','l',' '

// More grid slots than any real table holds; a file that claims more is refused before
// anything is allocated for it.
constexpr std::size_t kMaxTableCells = 100000;

enum class CellVerticalAlign : std::uint8_t { Top = 0, Center = 1, Bottom = 2 };

struct TableCell {
    std::uint16_t row = 0;
    std::uint16_t column = 0;
    std::uint16_t rowSpan = 1;
    std::uint16_t columnSpan = 1;
    HwpUnit width = 0;    // of the whole merged cell
    HwpUnit height = 0;
    std::array<std::int16_t, 4> margins{141, 141, 141, 141};   // left, right, top, bottom; HwpUnit
    std::uint16_t borderFillId = 1;   // 1-based
    CellVerticalAlign verticalAlign = CellVerticalAlign::Center;
    // List header bits other than the vertical alignment (text direction, line wrap, ...)
    // and the unit after the paragraph count, as read.
    std::uint32_t otherListBits = 0;
    std::uint16_t listHeaderExtra = 0;
    // After the border fill id: the text width and, in newer files, a field name; as read.
    Bytes rest{0, 0, 0, 0};
    std::vector<Paragraph> paragraphs;   // at least one

    bool operator==(const TableCell&) const = default;
};

// A zone: cells [startRow..endRow] x [startColumn..endColumn] drawn with a border fill.
struct TableZone {
    std::uint16_t startColumn = 0;
    std::uint16_t startRow = 0;
    std::uint16_t endColumn = 0;
    std::uint16_t endRow = 0;
    std::uint16_t borderFillId = 1;

    bool operator==(const TableZone&) const = default;
};

enum class TablePageBreak : std::uint8_t { None = 0, Cell = 1, Split = 2 };

struct Table {
    ObjectProperties object;   // placement, size of the whole table, outer margins
    TablePageBreak pageBreak = TablePageBreak::Cell;
    bool repeatHeaderRow = false;
    std::uint32_t otherBits = 0;        // TABLE property bits not named above
    std::uint16_t rows = 0;
    std::uint16_t columns = 0;
    std::int16_t cellSpacing = 0;       // HwpUnit
    std::array<std::int16_t, 4> innerMargins{141, 141, 141, 141};   // left, right, top, bottom
    std::uint16_t borderFillId = 1;     // 1-based
    std::vector<TableZone> zones;
    bool zoneListInFile = true;         // files of early 5.0 builds end the TABLE record before it
    Bytes rest;                         // after the zones, as read
    std::vector<TableCell> cells;       // row by row, left to right
    // Records between the CTRL_HEADER and the TABLE record (a caption), and after the
    // last cell; levels as in Control::records.
    std::vector<ObjectRecord> caption;
    std::vector<ObjectRecord> trailing;

    bool operator==(const Table&) const = default;
};

// A table's caption as its records hold it: the side of the table it stands on, the gap
// between them, its own width (the file uses it beside the table) and its paragraphs.
enum class CaptionSide : std::uint8_t { Left = 0, Right = 1, Top = 2, Bottom = 3 };
struct TableCaption {
    CaptionSide side = CaptionSide::Bottom;
    HwpUnit width = 0;
    std::int16_t gap = 0;   // HwpUnit
    std::vector<Paragraph> paragraphs;
};

bool IsTable(const Control& control);

// A cell the file marks as a header cell (a bit of its list header). When its table asks
// for it (Table::repeatHeaderRow), the rows at its top made of header cells print again
// at the top of every page the table runs onto.
constexpr std::uint32_t kHeaderCellBit = 1u << 18;
inline bool IsHeaderCell(const TableCell& cell) { return (cell.otherListBits & kHeaderCellBit) != 0; }
// Whether the table control asks for its header rows on every page; false when it is not a
// table or has no readable TABLE record. Reads that record alone, not the cells.
bool RepeatsHeaderRows(const Control& control);

// The caption of `records` (Table::caption, a list header and its paragraphs), or nothing
// when there is none or its records are damaged.
std::optional<TableCaption> ReadCaption(const std::vector<ObjectRecord>& records);
// The records ReadCaption reads `caption` from, its lines laid out `textWidth` wide; the
// paragraphs' ids must be `document`'s (throws HwpError otherwise).
std::vector<ObjectRecord> WriteCaption(const TableCaption& caption, HwpUnit textWidth, const Document& document);

// Throws HwpError when `control` is not a table or its records are damaged: cut short,
// more cells than rows x columns, more grid slots than kMaxTableCells, a cell outside
// the grid, cells that overlap, a cell without a paragraph.
Table ReadTable(const Control& control);

// The table control, placed at `original`'s position and character (or at 0, code 11).
// With `original` (the control the table was read from), cells whose paragraphs are
// unchanged keep their original paragraph records byte for byte; the others are
// written anew, their line segments laid out with `document`'s shapes (the document
// the table goes into). Throws HwpError for a table CheckTable refuses or a paragraph
// that refers to shapes `document` does not have.
Control WriteTable(const Table& table, const Document& document, const Control* original = nullptr);

// The checks ReadTable and WriteTable make, for a table built or edited in code.
void CheckTable(const Table& table);

// Cells per row as the TABLE record lists them (how many cells start in each row).
std::vector<std::uint16_t> RowCellCounts(const Table& table);

// Column widths and row heights in HwpUnit, from the cells that span one column (row);
// a column no such cell defines shares what its spanning cells leave.
std::vector<HwpUnit> ColumnWidths(const Table& table);
std::vector<HwpUnit> RowHeights(const Table& table);

// The cell covering grid slot (row, column), or nullptr.
const TableCell* CellAt(const Table& table, std::uint16_t row, std::uint16_t column);
TableCell* CellAt(Table& table, std::uint16_t row, std::uint16_t column);

// The text of each cell, paragraphs joined with u'\n', in file order.
std::vector<std::u16string> CellTexts(const Table& table);

// What a new table starts with: 1 mm around it, and rows one 10-pt line high with the
// cells' margins.
constexpr std::int16_t kNewTableOuterMargin = 283;
constexpr HwpUnit kNewTableRowHeight = 282 + 1000;

// A new inline table of rows x columns equal cells across `width`, each cell holding
// one empty paragraph with `paraShapeId` and `charShapeId`, its lines and background
// from border fill `borderFillId` (1-based; see FindOrAddBorderFill).
Table NewTable(std::uint16_t rows, std::uint16_t columns, HwpUnit width, std::uint16_t borderFillId,
               std::uint16_t paraShapeId = 0, std::uint32_t charShapeId = 0);

// The "<보기>" box of exam questions: a one-cell inline table `width` wide with a solid
// 0.4 mm border, its first paragraph `caption` centred (a centred copy of para shape
// `paraShapeId`, found or added in `document`), then `content` (one empty paragraph
// when empty), the text at the top of the cell.
Table NewBoxTable(Document& document, HwpUnit width, const std::u16string& caption, std::vector<Paragraph> content,
                  std::uint16_t paraShapeId = 0, std::uint32_t charShapeId = 0);

// Merges the cells of rows [row, row + rowSpan) x columns [column, column + columnSpan)
// into the cell at (row, column): sizes added up, the paragraphs of the others appended
// to it. Throws HwpError when the range leaves the grid or cuts through a merged cell.
void MergeCells(Table& table, std::uint16_t row, std::uint16_t column, std::uint16_t rowSpan,
                std::uint16_t columnSpan);

// Sets the table's size from its cells (the widths of row 0, the heights of column 0).
void FitTableSize(Table& table);

}  // namespace hwp
