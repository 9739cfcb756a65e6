#include "document/table_rows.h"

#include "document/editor_document.h"
#include "document/folded_edit.h"
#include "document/table_mapping.h"
#include "hwp/table.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintDevice>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace editor {

namespace {

constexpr double kTolerance = 0.01;
// A nested table's rows change the height of the cell around it: one pass per level.
constexpr int kMaxPasses = kMaxShownTableDepth + 1;
constexpr char kFitterName[] = "tableRowFitter";

// Layout coordinates of the document per layout pixel: the pane lays out at its zoom.
double DeviceScale(const QTextDocument& text)
{
    const QPaintDevice* device = text.documentLayout()->paintDevice();
    return device && device->logicalDpiY() > 0 ? device->logicalDpiY() / kLayoutDpi : 1.0;
}

void CollectTables(const QTextFrame* frame, std::vector<QTextTable*>& out)
{
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child))
            out.push_back(table);
        CollectTables(child, out);
    }
}

// The rows [first, last] of `table` widened until no cell reaches past them, so that their
// heights can be fitted without the rest of the table.
std::pair<int, int> WholeCells(const QTextTable& table, int first, int last)
{
    for (bool grown = true; grown;) {
        grown = false;
        for (int c = 0; c < table.columns(); ++c) {
            for (const int r : {first, last}) {
                const QTextTableCell cell = table.cellAt(r, c);
                if (!cell.isValid())
                    continue;
                const int top = cell.row();
                const int bottom = cell.row() + cell.rowSpan() - 1;
                if (top < first || bottom > last) {
                    first = std::min(first, top);
                    last = std::min(std::max(last, bottom), table.rows() - 1);
                    grown = true;
                }
            }
        }
    }
    return {first, last};
}

// The least height of the rows [first, last] (no cell reaching past them) in layout
// pixels, from the heights the cells were read with: a row as tall as its tallest one-row
// cell, and the last row under a merged cell taller if the rows it spans fall short of it.
std::vector<double> RowTargets(const QTextTable& table, int first, int last)
{
    struct Span {
        int row;
        int rows;
        double height;
    };
    const auto index = [first](int row) { return static_cast<std::size_t>(row - first); };
    std::vector<double> rows(static_cast<std::size_t>(std::max(0, last - first + 1)), 0.0);
    std::vector<Span> spans;
    for (int r = first; r <= last; ++r) {
        for (int c = 0; c < table.columns(); ++c) {
            const QTextTableCell cell = table.cellAt(r, c);
            if (!cell.isValid() || cell.row() != r || cell.column() != c)
                continue;
            const TableCellRef stored = cell.format().property(kTableCellProperty).value<TableCellRef>();
            if (stored && stored->height <= 0)
                continue;
            // A cell merged or split in the pane keeps the height per row it was read with;
            // a cell made in the pane is as tall as a save writes it.
            const double perRow = stored ? static_cast<double>(stored->height) / std::max<int>(1, stored->rowSpan)
                                         : static_cast<double>(hwp::kNewTableRowHeight);
            const double height = HwpUnitsToLayout(perRow * cell.rowSpan());
            if (cell.rowSpan() == 1)
                rows[index(r)] = std::max(rows[index(r)], height);
            else
                spans.push_back({r, cell.rowSpan(), height});
        }
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.row + a.rows < b.row + b.rows; });
    for (const Span& span : spans) {
        const int end = std::min(span.row + span.rows, last + 1) - 1;
        double sum = 0;
        for (int r = span.row; r <= end; ++r)
            sum += rows[index(r)];
        if (end >= first && sum < span.height)
            rows[index(end)] += span.height - sum;
    }
    return rows;
}

// How far a block's lines take the text down, in device coordinates: with a line height
// other than single, more than the lines' own bounding box.
double FlowHeight(const QTextBlock& block, double scale)
{
    const QTextLayout* text = block.layout();
    if (!text)
        return 0;
    const QTextBlockFormat format = block.blockFormat();
    const double height = format.lineHeight();
    double sum = 0;
    for (int i = 0; i < text->lineCount(); ++i) {
        const double line = text->lineAt(i).height();
        switch (format.lineHeightType()) {
        case QTextBlockFormat::ProportionalHeight: sum += line * height / 100.0; break;
        case QTextBlockFormat::FixedHeight: sum += height * scale; break;
        case QTextBlockFormat::MinimumHeight: sum += std::max(line, height * scale); break;
        case QTextBlockFormat::LineDistanceHeight: sum += line + height * scale; break;
        default: sum += line; break;
        }
    }
    return sum;
}

// The extra padding of a cell; below 0 at the bottom, where the cell ends above its last
// line's spacing.
double Extra(const QTextTableCellFormat& format, int property)
{
    return format.hasProperty(property) ? format.doubleProperty(property) : 0.0;
}

// The tallest letters of `block`, layout pixels.
double LettersOf(const QTextBlock& block)
{
    double letters = 0;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QFont font = it.fragment().charFormat().font();
        letters = std::max(letters, font.pointSizeF() > 0 ? font.pointSizeF() * kLayoutDpi / 72.0 : font.pixelSize());
    }
    if (letters <= 0)
        letters = block.charFormat().font().pointSizeF() * kLayoutDpi / 72.0;
    return letters;
}

// The height of one laid-out line as the word processor counts it: its letters, or the
// engine's height where an object (an equation, a picture) makes it taller.
double FileLineHeight(const QTextLine& line, double letters, double scale)
{
    const double shown = line.height() / scale;
    return shown > 1.5 * letters ? shown : letters;
}

// The spacing the text engine gives a cell's last line below its letters, layout pixels:
// the word processor ends a cell at the letters of its last line.
double TrailingSpacing(const QTextTableCell& cell)
{
    const QTextBlock last = cell.lastCursorPosition().block();
    const QTextLayout* layout = last.layout();
    QTextDocument* text = cell.firstCursorPosition().document();
    if (layout == nullptr || layout->lineCount() == 0 || text == nullptr)
        return 0;
    const QTextBlockFormat format = last.blockFormat();
    const double scale = DeviceScale(*text);
    const QTextLine line = layout->lineAt(layout->lineCount() - 1);
    const double own = FileLineHeight(line, LettersOf(last), scale);
    switch (format.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        return std::max(0.0, line.height() / scale * format.lineHeight() / 100.0 - own);
    case QTextBlockFormat::LineDistanceHeight: return std::max(0.0, format.lineHeight());
    default: return 0;
    }
}

struct CellChange {
    QTextTable* table;
    int row;
    int column;
    QTextTableCellFormat format;
};

// Rows of one table to fit: [first, last].
struct RowRange {
    QTextTable* table;
    int first;
    int last;
};

// Every row of every table of the document, nested ones too.
std::vector<RowRange> AllRows(const QTextDocument& text)
{
    std::vector<QTextTable*> tables;
    CollectTables(text.rootFrame(), tables);
    std::vector<RowRange> ranges;
    for (QTextTable* table : tables)
        ranges.push_back({table, 0, table->rows() - 1});
    return ranges;
}

// The rows whose text lies in [from, to] (document positions): of the tables holding
// either end, the rows from the one to the other; of tables wholly inside, every row.
std::vector<RowRange> RowsAround(const QTextDocument& text, int from, int to)
{
    std::vector<QTextTable*> tables;
    CollectTables(text.rootFrame(), tables);
    std::vector<RowRange> ranges;
    for (QTextTable* table : tables) {
        const int begin = table->firstPosition();
        const int end = table->lastPosition();
        if (to < begin - 1 || from > end + 1 || table->rows() <= 0)
            continue;
        const QTextTableCell top = from >= begin && from <= end ? table->cellAt(from) : QTextTableCell();
        const QTextTableCell bottom = to >= begin && to <= end ? table->cellAt(to) : QTextTableCell();
        const int first = top.isValid() ? top.row() : 0;
        const int last = bottom.isValid() ? bottom.row() + bottom.rowSpan() - 1 : table->rows() - 1;
        const auto [wholeFirst, wholeLast] = WholeCells(*table, std::max(0, first), std::min(last, table->rows() - 1));
        ranges.push_back({table, wholeFirst, wholeLast});
    }
    return ranges;
}

// How the tables are made up: rows or columns added or taken away change the widths or
// the spans that rows away from the change were fitted with.
std::vector<std::pair<int, int>> TableShapes(const QTextDocument& text)
{
    std::vector<QTextTable*> tables;
    CollectTables(text.rootFrame(), tables);
    std::vector<std::pair<int, int>> shapes;
    for (const QTextTable* table : tables)
        shapes.emplace_back(table->rows(), table->columns());
    return shapes;
}

// The changes one pass makes to the rows of `ranges`, measured on the layout as it stands.
std::vector<CellChange> MeasureChanges(const std::vector<RowRange>& ranges)
{
    std::vector<CellChange> changes;
    for (const RowRange& range : ranges) {
        QTextTable* table = range.table;
        if (range.first > range.last || range.last >= table->rows())
            continue;
        const std::vector<double> targets = RowTargets(*table, range.first, range.last);
        for (int r = range.first; r <= range.last; ++r) {
            for (int c = 0; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                if (!cell.isValid() || cell.row() != r || cell.column() != c)
                    continue;
                QTextTableCellFormat format = cell.format().toTableCellFormat();
                double target = 0;
                for (int k = r; k < r + cell.rowSpan() && k <= range.last; ++k)
                    target += targets[static_cast<std::size_t>(k - range.first)];
                const double top = Extra(format, kCellExtraTopProperty);
                const double bottom = Extra(format, kCellExtraBottomProperty);
                if (target <= 0 && top <= 0 && bottom <= 0)
                    continue;
                // A row of the file's height ends its cells above their last line's spacing.
                const double trailing = target > 0 ? TrailingSpacing(cell) : 0.0;
                const double extra = target > 0 ? std::max(0.0, target - NaturalCellHeight(cell) + trailing) : 0.0;
                double above = 0;
                switch (format.verticalAlignment()) {
                case QTextCharFormat::AlignTop: break;
                case QTextCharFormat::AlignBottom: above = extra; break;
                default: above = extra / 2; break;
                }
                const double below = extra - above - trailing;
                if (std::abs(above - top) < kTolerance && std::abs(below - bottom) < kTolerance)
                    continue;
                const double fileTop = FileTopPadding(format);
                const double fileBottom = FileBottomPadding(format);
                format.setTopPadding(fileTop + above);
                format.setBottomPadding(fileBottom + below);
                if (above > 0)
                    format.setProperty(kCellExtraTopProperty, above);
                else
                    format.clearProperty(kCellExtraTopProperty);
                if (below != 0)
                    format.setProperty(kCellExtraBottomProperty, below);
                else
                    format.clearProperty(kCellExtraBottomProperty);
                changes.push_back({table, r, c, format});
            }
        }
    }
    return changes;
}

// Fits the rows the ranges name, `ranges` found again for each pass. False when nothing
// was measured because there are steps to redo.
bool FitRows(QTextDocument& text, const std::function<std::vector<RowRange>()>& ranges, bool& changed)
{
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        // A change now would cost the steps to redo; the next edit fits the rows again.
        if (text.isUndoRedoEnabled() && text.availableRedoSteps() > 0)
            return false;
        const std::vector<CellChange> changes = MeasureChanges(ranges());
        if (changes.empty())
            break;
        {
            FoldedEdit edit(text);
            edit.Cursor();   // begins the edit the cells' formats are set in
            for (const CellChange& change : changes)
                change.table->cellAt(change.row, change.column).setFormat(change.format);
        }
        changed = true;
    }
    return true;
}

class RowFitter : public QObject {
public:
    explicit RowFitter(QTextDocument& text) : QObject(&text), m_text(text), m_changed(&text), m_shapes(TableShapes(text))
    {
        setObjectName(QLatin1String(kFitterName));
        connect(&text, &QTextDocument::contentsChange, this, [this](int from, int, int added) {
            if (!m_fitting)
                Schedule(from, from + added);
        });
    }

private:
    // After the change: the document's layout hears of it after this signal. The fit's
    // own changes ask for no other fit (a fit settles what it can in its passes). Only the
    // rows that hold changed text are fitted, the changes since the last fit held in a
    // cursor that the document moves as text comes and goes before them.
    void Schedule(int from, int to)
    {
        if (m_pending) {
            from = std::min(from, m_changed.selectionStart());
            to = std::max(to, m_changed.selectionEnd());
        }
        const int end = std::max(0, m_text.characterCount() - 1);
        m_changed.setPosition(std::clamp(from, 0, end));
        m_changed.setPosition(std::clamp(to, 0, end), QTextCursor::KeepAnchor);
        if (m_pending)
            return;
        m_pending = true;
        QTimer::singleShot(0, this, [this] {
            m_pending = false;
            m_fitting = true;
            bool changed = false;
            std::vector<std::pair<int, int>> shapes = TableShapes(m_text);
            const bool whole = m_wholeDue || shapes != m_shapes;
            const auto ranges = [this, whole] {
                return whole ? AllRows(m_text)
                             : RowsAround(m_text, m_changed.selectionStart(), m_changed.selectionEnd());
            };
            // Rows left unfitted while there were steps to redo are fitted with the next edit.
            m_wholeDue = !FitRows(m_text, ranges, changed);
            m_shapes = std::move(shapes);
            m_fitting = false;
        });
    }

    QTextDocument& m_text;
    QTextCursor m_changed;
    bool m_pending = false;
    bool m_fitting = false;
    bool m_wholeDue = false;
    std::vector<std::pair<int, int>> m_shapes;   // rows and columns of each table at the last fit
};

} // namespace

double FileTopPadding(const QTextTableCellFormat& format)
{
    return std::max(0.0, format.topPadding() - Extra(format, kCellExtraTopProperty));
}

double FileBottomPadding(const QTextTableCellFormat& format)
{
    return std::max(0.0, format.bottomPadding() - Extra(format, kCellExtraBottomProperty));
}

void ClearExtraPadding(QTextTableCellFormat& format)
{
    format.setTopPadding(FileTopPadding(format));
    format.setBottomPadding(FileBottomPadding(format));
    format.clearProperty(kCellExtraTopProperty);
    format.clearProperty(kCellExtraBottomProperty);
}

double NaturalCellHeight(const QTextTableCell& cell)
{
    const QTextCursor first = cell.firstCursorPosition();
    QTextDocument* text = first.document();
    if (!text)
        return 0;
    QAbstractTextDocumentLayout* layout = text->documentLayout();
    const int last = cell.lastCursorPosition().position();
    // The text engine lays a cell's first line at its top padding and ends the cell at the
    // last line's bottom: the blocks' own margins at the ends do not count.
    const double scale = DeviceScale(*text);
    double top = std::numeric_limits<double>::max();
    double bottom = std::numeric_limits<double>::lowest();
    for (QTextBlock block = first.block(); block.isValid() && block.position() <= last; block = block.next()) {
        const QRectF rect = layout->blockBoundingRect(block);
        top = std::min(top, rect.top());
        bottom = std::max(bottom, rect.top() + FlowHeight(block, scale));
    }
    const double content = bottom > top ? (bottom - top) / scale : 0.0;
    const QTextTableCellFormat format = cell.format().toTableCellFormat();
    const QTextTable* table = qobject_cast<const QTextTable*>(first.currentFrame());
    // Collapsed lines are shared with the neighbour: half of each belongs to the cell.
    const double lines = format.topBorder() + format.bottomBorder();
    const bool collapsed = !table || table->format().borderCollapse();
    return content + FileTopPadding(format) + FileBottomPadding(format) + (collapsed ? lines / 2 : lines);
}

double FileCellHeight(const QTextTableCell& cell)
{
    const QTextCursor first = cell.firstCursorPosition();
    QTextDocument* text = first.document();
    const QTextTable* table = qobject_cast<const QTextTable*>(first.currentFrame());
    if (!text || !table)
        return NaturalCellHeight(cell);
    const double scale = DeviceScale(*text);
    const int last = cell.lastCursorPosition().position();
    double height = 0;
    double after = 0;   // the spacing after the paragraph before
    bool firstBlock = true;
    for (QTextBlock block = first.block(); block.isValid() && block.position() <= last; block = block.next()) {
        const QTextLayout* layout = block.layout();
        // A table inside the cell: the text engine's measure of the whole cell.
        if (QTextCursor(block).currentFrame() != table || !layout)
            return NaturalCellHeight(cell);
        const double letters = LettersOf(block);
        const QTextBlockFormat format = block.blockFormat();
        if (!firstBlock)
            height += after + format.topMargin();
        const double spacing = format.lineHeight();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const double line = FileLineHeight(layout->lineAt(i), letters, scale);
            const bool between = i + 1 < layout->lineCount();
            switch (format.lineHeightType()) {
            case QTextBlockFormat::ProportionalHeight: height += between ? line * spacing / 100.0 : line; break;
            case QTextBlockFormat::FixedHeight: height += spacing; break;
            case QTextBlockFormat::MinimumHeight: height += std::max(line, spacing); break;
            case QTextBlockFormat::LineDistanceHeight: height += between ? line + spacing : line; break;
            default: height += line; break;
            }
        }
        after = format.bottomMargin();
        firstBlock = false;
    }
    const QTextTableCellFormat format = cell.format().toTableCellFormat();
    return height + FileTopPadding(format) + FileBottomPadding(format);
}

bool FitTableRows(QTextDocument& text)
{
    bool changed = false;
    FitRows(text, [&text] { return AllRows(text); }, changed);
    return changed;
}

void KeepTableRowsFitted(QTextDocument& text)
{
    if (!text.findChild<QObject*>(QLatin1String(kFitterName), Qt::FindDirectChildrenOnly))
        new RowFitter(text);
    FitTableRows(text);
}

} // namespace editor
