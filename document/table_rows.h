// Row heights of the file's tables in the pane and the page images.
//
// The text engine makes a table row as tall as its tallest cell's text; a file's cell has a
// height of its own (a tall empty answer box, an answer grid of fixed rows), and its row is
// at least that tall. A cell whose text is shorter than its row gets extra padding, above,
// below or split by its vertical alignment, so the cell fills the row with its text where
// the file puts it. The extra is kept apart from the padding the file's margins give
// (kCellExtraTopProperty, kCellExtraBottomProperty), so only the file's margins are written
// back. Padding above and below does not change how the text inside breaks, so one fit of
// the laid-out text is final: fitting again changes nothing.
#pragma once

#include <QTextFormat>

class QTextDocument;
class QTextTable;
class QTextTableCell;
class QTextTableCellFormat;

namespace editor {

constexpr int kCellExtraTopProperty = QTextFormat::UserProperty + 25;      // layout pixels
constexpr int kCellExtraBottomProperty = QTextFormat::UserProperty + 26;   // layout pixels

// The padding the cell's own margins give, without the extra.
double FileTopPadding(const QTextTableCellFormat& format);
double FileBottomPadding(const QTextTableCellFormat& format);
// The same format without the extra.
void ClearExtraPadding(QTextTableCellFormat& format);

// How tall the cell's text makes it, with its own margins and lines, in layout pixels
// (96 dpi, whatever the zoom): at least what its rows must hold.
double NaturalCellHeight(const QTextTableCell& cell);

// How tall the file counts the cell: its lines as high as their letters' size, the line
// spacing between them but not after the last, the spacing between paragraphs, and its
// own margins; layout pixels. What a grown row is written with (the text engine's
// lines are taller than the file's for the same letters).
double FileCellHeight(const QTextTableCell& cell);

// Gives every cell of the document's tables (nested ones too) the extra its rows need.
// A change is folded into the last undo step (it belongs to the edit that made it
// necessary) and leaves the modified flag as it was. Returns whether anything changed.
bool FitTableRows(QTextDocument& text);

// Fits the rows now and again after every change of the text, once the change is laid out.
void KeepTableRowsFitted(QTextDocument& text);

} // namespace editor
