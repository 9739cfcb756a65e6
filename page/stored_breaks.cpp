#include "page/stored_breaks.h"

#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "document/line_spacing.h"
#include "hwp/paragraph.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <optional>

namespace editor {

std::unordered_set<const StoredLines*> StoredLinesHeld(const QTextDocument& text)
{
    std::unordered_set<const StoredLines*> held;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        if (const StoredLinesRef stored = StoredLinesOf(block))
            held.insert(stored.get());
    }
    return held;
}

const StoredLines* HeldLinesOf(const QTextBlock& block, const std::unordered_set<const StoredLines*>& held)
{
    const StoredLinesRef stored = CarriedLines(block);
    if (!stored || held.count(stored.get()) == 0 || stored->text != block.text())
        return nullptr;
    return stored.get();
}

namespace {

// How far a line may run past its width to end where the file ended it: the word
// processor's faces are narrower than the ones that stand in for them by about this much.
constexpr double kOverrun = 0.06;

// Lays the line out on the characters [its start, end); false when they run further past
// `width` than kOverrun allows.
bool FillLine(QTextLine& line, int end, qreal width)
{
    const int columns = std::max(1, end - line.textStart());
    line.setNumColumns(columns, width);
    if (line.textStart() + line.textLength() >= end)
        return true;
    // setNumColumns breaks at the width too: a longer line needs a wider one.
    line.setNumColumns(columns, width * 64);
    const qreal natural = line.naturalTextWidth();
    if (natural > width * (1 + kOverrun))
        return false;
    line.setNumColumns(columns, std::max(width, natural));
    return true;
}

// On a wrapped block's format: the room added below it for its stored rows.
constexpr int kRoomForRowsProperty = QTextFormat::UserProperty + 30;

// A stored line this much narrower than the paragraph's room leaves room for an object.
constexpr double kNarrowed = 4;   // layout pixels, about a millimetre

// Whether the stored lines leave room for objects beside them, for a paragraph whose
// first line has `firstRoom` and the others `room` (layout pixels); never across a page or
// column, where the stored tops start again.
bool WrapsAround(const StoredLines& stored, double firstRoom, double room)
{
    bool wraps = false;
    for (std::size_t i = 0; i < stored.lines.size(); ++i) {
        const hwp::LineSegment& line = stored.lines[i];
        if (i > 0 && line.top < stored.lines[i - 1].top)
            return false;
        wraps = wraps || (i > 0 && line.top == stored.lines[i - 1].top) ||
                HwpUnitsToLayout(line.width) < (i == 0 ? firstRoom : room) - kNarrowed;
    }
    return wraps;
}

// How far the lowest stored row lies below the first (layout pixels).
double StoredDrop(const StoredLines& stored)
{
    const auto lowest = std::max_element(stored.lines.begin(), stored.lines.end(),
                                         [](const hwp::LineSegment& a, const hwp::LineSegment& b) { return a.top < b.top; });
    return HwpUnitsToLayout(double(lowest->top) - stored.lines.front().top);
}

// The columns a cell's paragraph sets for itself, when its stored lines go on in them (their
// tops start again); nothing otherwise.
std::optional<hwp::Columns> StoredColumns(const QTextBlock& block, const StoredLines& stored)
{
    // A column's first line is as high as the first column's, or higher.
    const bool startsAgain = std::adjacent_find(stored.lines.begin(), stored.lines.end(),
                                                [](const hwp::LineSegment& a, const hwp::LineSegment& b) {
                                                    return b.top <= a.top;
                                                }) != stored.lines.end();
    return startsAgain ? ColumnsSetIn(block) : std::nullopt;
}

// Lays a wrapped block out on its stored lines: each line from its stored start, as wide
// as stored where it is narrowed and as far right as it starts, rows as far apart as stored;
// with `columns`, each time the stored tops start again, in the next column. False when a
// line runs past its width further than kOverrun allows (it is laid anyway).
bool LayStoredRows(const QTextBlock& block, const StoredLines& stored, const hwp::Columns* columns)
{
    QTextLayout* layout = block.layout();
    const int count = layout ? layout->lineCount() : 0;
    const int length = block.length() - 1;
    if (count == 0)
        return false;
    for (std::size_t i = 0; i < stored.lines.size(); ++i) {
        const auto start = static_cast<int>(stored.lines[i].textStart);
        if (start > length || (i > 0 && start <= static_cast<int>(stored.lines[i - 1].textStart)))
            return false;
    }
    const QTextLine first = layout->lineAt(0);
    const QTextLine other = layout->lineAt(std::min(1, count - 1));
    const double indent = block.blockFormat().textIndent();
    const double y = first.y();
    const double firstX = first.x(), otherX = count > 1 ? other.x() : first.x() - indent;
    const double firstWidth = first.width(), otherWidth = count > 1 ? other.width() : first.width() + indent;
    std::vector<std::pair<hwp::HwpUnit, hwp::HwpUnit>> spans;
    if (columns != nullptr)
        spans = hwp::ColumnSpans(*columns, static_cast<hwp::HwpUnit>(LayoutToHwpUnits(otherWidth)));
    std::size_t column = 0;
    bool fits = true;
    layout->beginLayout();
    for (std::size_t i = 0; i < stored.lines.size(); ++i) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        const hwp::LineSegment& segment = stored.lines[i];
        if (i > 0 && segment.top <= stored.lines[i - 1].top && column + 1 < spans.size())
            ++column;
        const double columnLeft = spans.empty() ? 0.0 : HwpUnitsToLayout(spans[column].first);
        const double room = i == 0 ? firstWidth : otherWidth;
        const bool narrowed = HwpUnitsToLayout(segment.width) < room - kNarrowed;
        const double x = narrowed ? HwpUnitsToLayout(segment.columnStart) + (i == 0 ? indent : 0.0)
                                  : (i == 0 ? firstX : otherX);
        const int end = i + 1 < stored.lines.size() ? static_cast<int>(stored.lines[i + 1].textStart) : length;
        fits = FillLine(line, end, narrowed ? HwpUnitsToLayout(segment.width) : room) && fits;
        line.setPosition(QPointF(x + columnLeft, y + HwpUnitsToLayout(double(segment.top) - stored.lines.front().top)));
    }
    layout->endLayout();
    return fits;
}

// Gives each wrapped block the height of its stored rows, where the text engine stacked
// its lines one under the other; true when any changed.
bool MakeRoomForStoredRows(QTextDocument& text, const std::unordered_set<const StoredLines*>& held,
                           const std::unordered_set<int>& wrapped)
{
    bool changed = false;
    QTextCursor cursor(&text);
    for (const int number : wrapped) {
        const QTextBlock block = text.findBlockByNumber(number);
        const StoredLines* stored = HeldLinesOf(block, held);
        // The room would go over to the next page with a paragraph that starts one.
        const QTextBlock next = block.next();
        if (stored == nullptr || block.layout() == nullptr || block.layout()->lineCount() == 0 ||
            (next.isValid() && (next.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) != 0))
            continue;
        QTextLayout* layout = block.layout();
        const double laid = layout->lineAt(layout->lineCount() - 1).y() - layout->lineAt(0).y();
        QTextBlockFormat format = block.blockFormat();
        // Laid out again, the engine stacks the lines as before: the room is made once.
        const double made = format.doubleProperty(kRoomForRowsProperty);
        const double change = StoredDrop(*stored) - laid;
        if (std::abs(change - made) < 0.5)
            continue;
        format.setProperty(kRoomForRowsProperty, change);
        format.setBottomMargin(format.bottomMargin() - made + change);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
        changed = true;
    }
    return changed;
}

bool Rebreak(const QTextBlock& block, const StoredLines& stored, double fitted)
{
    QTextLayout* layout = block.layout();
    const int count = layout ? layout->lineCount() : 0;
    if (count == 0 || count != static_cast<int>(stored.lines.size()))
        return false;
    const int length = block.length() - 1;
    bool same = true;
    std::vector<QPointF> positions;
    std::vector<qreal> widths;
    for (int i = 0; i < count; ++i) {
        const QTextLine line = layout->lineAt(i);
        const auto start = static_cast<int>(stored.lines[static_cast<std::size_t>(i)].textStart);
        if (start > length || (i > 0 && start <= static_cast<int>(stored.lines[static_cast<std::size_t>(i - 1)].textStart)))
            return false;
        same = same && line.textStart() == start;
        positions.push_back(line.position());
        widths.push_back(line.width() - fitted);
    }
    if (same && fitted == 0)
        return true;
    const auto lay = [&](bool follow) {
        bool fits = true;
        layout->beginLayout();
        for (int i = 0; i < count; ++i) {
            QTextLine line = layout->createLine();
            if (!line.isValid())
                break;
            const auto k = static_cast<std::size_t>(i);
            if (!follow)
                line.setLineWidth(widths[k]);
            else if (!FillLine(line, i + 1 < count ? static_cast<int>(stored.lines[k + 1].textStart) : length, widths[k]))
                fits = false;
            line.setPosition(positions[k]);
        }
        layout->endLayout();
        return fits;
    };
    if (lay(true))
        return true;
    lay(false);   // as the layout had it
    return false;
}

// Where each line of a one-line layout of the whole block begins (layout pixels), to
// measure stretches of it.
class BlockRuler {
public:
    BlockRuler(const QTextBlock& block, const QPaintDevice& device)
        : m_layout(block.text(), block.document()->defaultFont(), &device)
    {
        LayOutAsOneLine(m_layout, block);
    }
    // The width of the characters [from, to), without the spaces they end with.
    double Width(int from, int to) const
    {
        const QString text = m_layout.text();
        while (to > from && text.at(to - 1).isSpace())
            --to;
        const QTextLine line = m_layout.lineAt(0);
        return line.cursorToX(to) - line.cursorToX(from);
    }
    // The height the text engine gives a line of all the block's faces, before spacing.
    double Height() const { return m_layout.lineAt(0).height(); }

private:
    QTextLayout m_layout;
};

// The change of width that makes the text engine break `block` at the stored starts, or
// nothing when no width does: a line must fit, and the next word must not.
std::optional<double> WidthChange(const QTextBlock& block, const StoredLines& stored, double bodyWidth,
                                  const QPaintDevice& device)
{
    const QTextBlockFormat format = block.blockFormat();
    const QString text = block.text();
    const int length = static_cast<int>(text.size());
    const BlockRuler ruler(block, device);
    double low = -1e9, high = 1e9;   // the change lies in [low, high)
    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, text);
    for (std::size_t i = 0; i < stored.lines.size(); ++i) {
        const int start = static_cast<int>(stored.lines[i].textStart);
        const int end = i + 1 < stored.lines.size() ? static_cast<int>(stored.lines[i + 1].textStart) : length;
        if (end <= start || end > length)
            return std::nullopt;
        const double room =
            bodyWidth - format.leftMargin() - format.rightMargin() - (i == 0 ? format.textIndent() : 0.0);
        low = std::max(low, ruler.Width(start, end) - room);
        if (end == length || text.at(end - 1) == QChar::LineSeparator)
            continue;
        breaks.setPosition(end);
        const qsizetype next = breaks.toNextBoundary();
        high = std::min(high, ruler.Width(start, next < 0 ? length : static_cast<int>(next)) - room);
    }
    constexpr double kMargin = 0.05;   // the engine's fixed-point widths
    if (low <= 0 && high > kMargin)
        return 0.0;
    if (low + 2 * kMargin >= high)
        return std::nullopt;
    return low > 0 ? low + kMargin : high - kMargin;
}

} // namespace

void SpaceLinesByCharSize(QTextDocument& text, const QPaintDevice& device)
{
    QTextCursor cursor(&text);
    // One edit: the layout hears of the changes once, where each change in a table
    // would lay the whole table out again.
    cursor.beginEditBlock();
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next())
        SpaceBlockByCharSize(cursor, block, device);
    cursor.endEditBlock();
}

std::optional<hwp::Columns> ColumnsDefinedBy(const QTextFormat& format)
{
    const KeptObjectRef object = KeptObjectOf(format);
    if (!object || object->control.ctrlId != hwp::kCold)
        return std::nullopt;
    try {
        return hwp::ReadColumns(object->control);
    } catch (const std::exception&) {
        return std::nullopt;   // unreadable: the columns go on as they were
    }
}

std::optional<hwp::Columns> ColumnsSetIn(const QTextBlock& block)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        if (std::optional<hwp::Columns> columns = ColumnsDefinedBy(it.fragment().charFormat()); columns && columns->count > 1)
            return columns;
    }
    return std::nullopt;
}

WidthsFitted FitStoredWidths(QTextDocument& text, const std::unordered_set<const StoredLines*>& held, double bodyWidth,
                             const QPaintDevice& device, ParagraphColumns paragraphColumns)
{
    WidthsFitted fitted;
    if (held.empty())
        return fitted;
    QTextCursor cursor(&text);
    cursor.beginEditBlock();
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        const StoredLines* stored = HeldLinesOf(block, held);
        if (stored == nullptr || HoldsWideObjects(block))
            continue;
        const bool inCell = text.frameAt(block.position()) != text.rootFrame();
        if (inCell || paragraphColumns == ParagraphColumns::SideBySide) {
            if (std::optional<hwp::Columns> columns = StoredColumns(block, *stored)) {
                fitted.wrapped.insert(block.blockNumber());
                fitted.columns.emplace(block.blockNumber(), *columns);
                continue;
            }
        }
        if (inCell)
            continue;
        QTextBlockFormat format = block.blockFormat();
        const double room = bodyWidth - format.leftMargin() - format.rightMargin();
        if (WrapsAround(*stored, room - format.textIndent(), room)) {
            fitted.wrapped.insert(block.blockNumber());
            continue;
        }
        const std::optional<double> change = WidthChange(block, *stored, bodyWidth, device);
        if (!change || *change == 0 || *change > bodyWidth * kOverrun)
            continue;
        format.setRightMargin(format.rightMargin() - *change);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
        fitted.widths[block.blockNumber()] = *change;
    }
    cursor.endEditBlock();
    return fitted;
}

int FollowStoredLines(QTextDocument& text, const std::unordered_set<const StoredLines*>& held, const WidthsFitted& fitted)
{
    if (held.empty())
        return 0;
    text.documentLayout()->documentSize();   // laid out to the end
    if (MakeRoomForStoredRows(text, held, fitted.wrapped))
        text.documentLayout()->documentSize();
    int followed = 0;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        if (const StoredLines* stored = HeldLinesOf(block, held)) {
            if (fitted.wrapped.count(block.blockNumber()) != 0) {
                const auto columns = fitted.columns.find(block.blockNumber());
                followed += LayStoredRows(block, *stored, columns == fitted.columns.end() ? nullptr : &columns->second) ? 1 : 0;
                continue;
            }
            const auto change = fitted.widths.find(block.blockNumber());
            followed += Rebreak(block, *stored, change == fitted.widths.end() ? 0.0 : change->second) ? 1 : 0;
        }
    }
    return followed;
}

} // namespace editor
