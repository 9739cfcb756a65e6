#include "page/placed_objects.h"

#include "document/table_mapping.h"
#include "hwp/bytes.h"
#include "hwp/paragraph.h"
#include "hwp/table.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <cmath>
#include <optional>

namespace editor {

namespace {

// On the first block of the print copy: how far its lines go down once laid out.
constexpr int kLoweredLinesProperty = QTextFormat::UserProperty + 31;
// On a block's format: the room made below it for its lines laid around objects.
constexpr int kFlowRoomProperty = QTextFormat::UserProperty + 32;
// A line meets an object when they overlap by more than this (layout pixels): text set
// right below an object, as the object's own paragraph is, does not.
constexpr double kTouching = 0.5;
// Tries at placing a line before it is left where it is: each moves it below an object or
// onto the next page.
constexpr int kMaxLineMoves = 64;

// Alignment to the reference, as the file numbers it: top or left, centre, bottom or
// right, inside, outside. Offsets count inward from the edge aligned to.
double Align(std::uint8_t align, double low, double high, double extent, double offset)
{
    switch (align) {
    case 1: return (low + high - extent) / 2 + offset;
    case 2: return high - extent - offset;
    default: return low + offset;
    }
}

std::optional<hwp::ObjectProperties> FloatingProperties(const hwp::Control& control)
{
    if (control.ctrlId != hwp::kTable && control.ctrlId != hwp::kDrawing && control.ctrlId != hwp::kEquation)
        return std::nullopt;
    if (control.records.empty())
        return std::nullopt;
    try {
        hwp::ObjectProperties properties = hwp::ReadObjectProperties(hwp::View(control.records.front().data), "an object");
        if (properties.inlineAsChar)
            return std::nullopt;
        return properties;
    } catch (const std::exception&) {
        return std::nullopt;   // too short to place: it stays in its line
    }
}

// The room an object that pushes its paragraph's text below it takes above the text.
double RoomAbove(const hwp::ObjectProperties& properties, QSizeF size)
{
    // Text laid out anew flows beside an object it goes around (FlowTextAround).
    const bool pushes = properties.wrap == hwp::TextWrap::TopAndBottom;
    if (!pushes || properties.vertRelTo != hwp::VertRelTo::Paragraph)
        return 0;
    const double margins = HwpUnitsToLayout(properties.outerMargins[2]) + HwpUnitsToLayout(properties.outerMargins[3]);
    return std::max(0.0, HwpUnitsToLayout(properties.verticalOffset) + size.height() + margins);
}

// The stretches of a line's room [left, right) that objects meeting it leave the text,
// left to right. `obstacles` are in the block's coordinates.
std::vector<std::pair<double, double>> FreeStretches(double left, double right, double top, double bottom,
                                                     const std::vector<TextObstacle>& obstacles)
{
    std::vector<std::pair<double, double>> free{{left, right}};
    for (const TextObstacle& obstacle : obstacles) {
        const QRectF& rect = obstacle.rect;
        if (rect.top() >= bottom - kTouching || rect.bottom() <= top + kTouching || rect.right() <= left ||
            rect.left() >= right)
            continue;
        double from = rect.left(), to = rect.right();
        std::uint8_t side = obstacle.wrap == hwp::TextWrap::TopAndBottom ? 4 : obstacle.textSide;
        if (side == 3)   // the larger side; the left when they are alike
            side = from - left >= right - to ? 1 : 2;
        if (side == 1)
            to = right;
        else if (side == 2)
            from = left;
        else if (side != 0)
            from = left, to = right;
        std::vector<std::pair<double, double>> cut;
        for (const auto& [a, b] : free) {
            if (from > a)
                cut.emplace_back(a, std::min(b, from));
            if (to < b)
                cut.emplace_back(std::max(a, to), b);
        }
        free = std::move(cut);
    }
    return free;
}

// The lowest bottom of the obstacles meeting [top, bottom); `top` when none does.
double BelowObstacles(double top, double bottom, double left, double right, const std::vector<TextObstacle>& obstacles)
{
    double below = top;
    for (const TextObstacle& obstacle : obstacles) {
        const QRectF& rect = obstacle.rect;
        if (rect.top() < bottom - kTouching && rect.bottom() > top + kTouching && rect.right() > left && rect.left() < right)
            below = std::max(below, rect.bottom());
    }
    return below;
}

// How far apart a block's lines lie: as far as the engine put its own, else as its format
// spaces a line of `height`; never as far as the engine's across a page's foot.
double Advance(const QTextBlockFormat& format, const std::vector<std::pair<double, double>>& engine, std::size_t i,
               double height)
{
    const double spaced = format.lineHeight(height, 1.0);
    if (i + 1 < engine.size() && std::abs(engine[i].second - height) < 0.01)
        return std::min(engine[i + 1].first - engine[i].first, spaced + kTouching);
    return spaced;
}

// Lays the lines of `block` around `obstacles` (the layout's coordinates); gives how much
// lower than the engine's its last line ends.
double FlowBlock(const QTextBlock& block, const std::vector<TextObstacle>& placed, double pageHeight)
{
    QTextLayout* layout = block.layout();
    const QPointF origin = layout->position() + QPointF(0, LinesLoweredBy(block));
    std::vector<TextObstacle> obstacles = placed;
    for (TextObstacle& obstacle : obstacles)
        obstacle.rect.translate(-origin);
    const int count = layout->lineCount();
    const QTextBlockFormat format = block.blockFormat();
    std::vector<std::pair<double, double>> engine;   // each line's top and height
    for (int i = 0; i < count; ++i)
        engine.emplace_back(layout->lineAt(i).y(), layout->lineAt(i).height());
    const QTextLine first = layout->lineAt(0);
    const QTextLine other = layout->lineAt(std::min(1, count - 1));
    const double indent = format.textIndent();
    const double firstLeft = first.x(), otherLeft = count > 1 ? other.x() : first.x() - indent;
    const double firstRight = first.x() + first.width(), otherRight = count > 1 ? other.x() + other.width() : firstRight;
    const double engineEnd = engine.back().first + Advance(format, engine, engine.size() - 1, engine.back().second);
    const int length = block.length() - 1;
    double y = engine.front().first, end = y;
    std::vector<std::pair<double, double>> row;   // the stretches of the row at y still free
    double rowAdvance = 0;                        // of the row at y, once a line is on it
    std::size_t i = 0;
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine(), ++i) {
        line.setLeadingIncluded(true);
        const double left = i == 0 ? firstLeft : otherLeft, right = i == 0 ? firstRight : otherRight;
        line.setLineWidth(right - left);
        for (int tries = 0; tries < kMaxLineMoves; ++tries) {
            const double height = line.height();
            const double top = origin.y() + y;
            if (rowAdvance == 0 && pageHeight > 0 && height < pageHeight &&
                std::floor(top / pageHeight) != std::floor((top + height - kTouching) / pageHeight)) {
                y = (std::floor(top / pageHeight) + 1) * pageHeight - origin.y();
                row.clear();
                continue;
            }
            if (rowAdvance == 0 && row.empty())
                row = FreeStretches(left, right, y, y + height, obstacles);
            bool placedHere = false;
            while (!row.empty() && !placedHere) {
                const auto [from, to] = row.front();
                row.erase(row.begin());
                const bool whole = from <= left && to >= right;
                if (!whole && to - from < height)
                    continue;   // too narrow a strip for text
                line.setLineWidth(to - from);
                placedHere = whole || line.naturalTextWidth() <= to - from + kTouching;
                if (placedHere)
                    line.setPosition(QPointF(from, y));
            }
            if (placedHere)
                break;
            line.setLineWidth(right - left);
            line.setPosition(QPointF(left, y));
            // On to the next row; from a row nothing fits in, below what is in the way.
            const double below = rowAdvance > 0 ? y + rowAdvance : BelowObstacles(y, y + height, left, right, obstacles);
            rowAdvance = 0;
            if (below <= y)
                break;
            y = below;
        }
        rowAdvance = std::max(rowAdvance, Advance(format, engine, i, line.height()));
        if (row.empty() || line.textStart() + line.textLength() >= length) {
            end = y + rowAdvance;
            y = end;
            rowAdvance = 0;
            row.clear();
        }
    }
    layout->endLayout();
    return end - engineEnd;
}

} // namespace

QRectF PlaceObject(const hwp::ObjectProperties& properties, QSizeF size, const PlacementFrame& frame)
{
    QRectF across;
    switch (properties.horzRelTo) {
    case hwp::HorzRelTo::Paper: across = frame.paper; break;
    case hwp::HorzRelTo::Page: across = frame.page; break;
    case hwp::HorzRelTo::Column: across = frame.column; break;
    default: across = frame.paragraph; break;
    }
    std::uint8_t horizontal = properties.horzAlign;
    if (horizontal == 3 || horizontal == 4)   // inside, outside: by the side the page is bound on
        horizontal = (horizontal == 3) == frame.oddPage ? 0 : 2;
    const double x = Align(horizontal, across.left(), across.right(), size.width(),
                           HwpUnitsToLayout(properties.horizontalOffset));
    double y = 0;
    if (properties.vertRelTo == hwp::VertRelTo::Paragraph) {
        y = frame.paragraph.top() + HwpUnitsToLayout(properties.verticalOffset) +
            HwpUnitsToLayout(properties.outerMargins[2]);
    } else {
        const QRectF& down = properties.vertRelTo == hwp::VertRelTo::Paper ? frame.paper : frame.page;
        y = Align(properties.vertAlign, down.top(), down.bottom(), size.height(),
                  HwpUnitsToLayout(properties.verticalOffset));
    }
    return {QPointF(x, y), size};
}

std::vector<PlacedObject> TakePlacedObjects(QTextDocument& text)
{
    std::vector<PlacedObject> placed;
    QTextCursor cursor(&text);
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        if (text.frameAt(block.position()) != text.rootFrame())
            continue;
        double room = 0;
        const std::size_t firstOfBlock = placed.size();
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const KeptObjectRef object = fragment.isValid() ? KeptObjectOf(fragment.charFormat()) : nullptr;
            const std::optional<hwp::ObjectProperties> properties =
                object ? FloatingProperties(object->control) : std::nullopt;
            if (!properties)
                continue;
            QTextCharFormat format = fragment.charFormat();
            PlacedObject one{object, *properties, format, fragment.position(), {}, 0,
                             block.blockFormat().leftMargin(), block.blockFormat().rightMargin()};
            one.size = KeptObjectPainterFor(object->control)->SizeIn(*object, KeptObjectView{format, true});
            one.roomAbove = RoomAbove(*properties, one.size);
            room = std::max(room, one.roomAbove);
            format.setProperty(kPlacedObjectProperty, true);
            // Its line sits on the baseline like text; the object is drawn elsewhere.
            format.setVerticalAlignment(QTextCharFormat::AlignNormal);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
            placed.push_back(std::move(one));
        }
        for (std::size_t i = firstOfBlock; i < placed.size(); ++i)
            placed[i].roomAbove = room;
        QTextBlockFormat format = block.blockFormat();
        const double lowered = block == text.begin() ? std::max(0.0, format.topMargin()) + room : room;
        if (lowered > 0) {
            // The text engine leaves out the top margin of a frame's first block: there the
            // margin and the room go below, and the lines are moved down into them once laid out.
            if (block == text.begin()) {
                format.setTopMargin(0);
                format.setBottomMargin(format.bottomMargin() + lowered);
                format.setProperty(kLoweredLinesProperty, lowered);
            } else {
                format.setTopMargin(format.topMargin() + room);
            }
            cursor.setPosition(block.position());
            cursor.setBlockFormat(format);
        }
    }
    return placed;
}

std::vector<CaptionBeside> TakeCaptionsBeside(QTextDocument& text)
{
    std::vector<CaptionBeside> captions;
    QTextCursor cursor(&text);
    // The table of the body a position lies in, however deep.
    const auto bodyTable = [&text](int position) -> QTextTable* {
        QTextFrame* frame = text.frameAt(position);
        while (frame != nullptr && frame->parentFrame() != text.rootFrame())
            frame = frame->parentFrame();
        return qobject_cast<QTextTable*>(frame);
    };
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        if (text.frameAt(block.position()) != text.rootFrame())
            continue;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const KeptObjectRef object = fragment.isValid() ? KeptObjectOf(fragment.charFormat()) : nullptr;
            if (!object || !IsShownCaption(*object) || object->control.records.size() < 2)
                continue;
            const std::optional<hwp::TableCaption> read = hwp::ReadCaption(
                std::vector<hwp::ObjectRecord>(object->control.records.begin() + 1, object->control.records.end()));
            if (!read || (read->side != hwp::CaptionSide::Left && read->side != hwp::CaptionSide::Right))
                continue;
            // Shown at the end of the block before its table, or at the start of the one after.
            const bool ends = fragment.position() + fragment.length() == block.position() + block.length() - 1;
            QTextTable* table = ends && block.next().isValid() ? bodyTable(block.next().position()) : nullptr;
            if (table == nullptr && fragment.position() == block.position() && block.previous().isValid())
                table = bodyTable(block.previous().position());
            if (table == nullptr)
                continue;
            QTextCharFormat format = fragment.charFormat();
            CaptionBeside beside;
            beside.caption.object = object;
            beside.caption.position = fragment.position();
            beside.caption.size = KeptObjectPainterFor(object->control)->SizeIn(*object, KeptObjectView{format, true});
            beside.caption.format = format;
            beside.tableStart = table->firstPosition();
            beside.left = read->side == hwp::CaptionSide::Left;
            beside.gap = HwpUnitsToLayout(std::max<std::int16_t>(0, read->gap));
            beside.caption.size.setHeight(std::max(0.0, beside.caption.size.height() - beside.gap));
            format.setProperty(kPlacedObjectProperty, true);
            format.setVerticalAlignment(QTextCharFormat::AlignNormal);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
            QTextTableFormat tableFormat = table->format();
            const double room = beside.caption.size.width() + beside.gap;
            if (beside.left)
                tableFormat.setLeftMargin(tableFormat.leftMargin() + room);
            else
                tableFormat.setRightMargin(tableFormat.rightMargin() + room);
            table->setFormat(tableFormat);
            captions.push_back(std::move(beside));
        }
    }
    return captions;
}

QRectF PlaceCaptionBeside(const CaptionBeside& caption, const QRectF& table)
{
    const double x = caption.left ? table.left() - caption.gap - caption.caption.size.width() : table.right() + caption.gap;
    return {QPointF(x, table.top()), caption.caption.size};
}

void ReleaseFlowedLines(QTextDocument& text, const std::unordered_set<int>& flowed)
{
    if (flowed.empty())
        return;
    for (const int number : flowed) {
        const QTextBlock block = text.findBlockByNumber(number);
        text.markContentsDirty(block.position(), block.length());
    }
    text.documentLayout()->documentSize();
}

double LinesLoweredBy(const QTextBlock& block)
{
    return block == block.document()->begin() ? block.blockFormat().doubleProperty(kLoweredLinesProperty) : 0.0;
}

bool FlowTextAround(QTextDocument& text, const std::vector<TextObstacle>& obstacles,
                    const std::unordered_set<const StoredLines*>& held, double pageHeight,
                    std::unordered_set<int>& flowed, bool makeRoom)
{
    if (obstacles.empty() && flowed.empty())
        return false;
    QTextCursor cursor(&text);
    std::unordered_set<int> now;
    bool changed = false;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        QTextLayout* layout = block.layout();
        if (text.frameAt(block.position()) != text.rootFrame() || layout == nullptr || layout->lineCount() == 0 ||
            HeldLinesOf(block, held) != nullptr)
            continue;
        const QRectF bounds = layout->boundingRect().translated(layout->position() + QPointF(0, LinesLoweredBy(block)));
        const bool meets = std::any_of(obstacles.begin(), obstacles.end(), [&](const TextObstacle& obstacle) {
            return obstacle.rect.top() < bounds.bottom() - kTouching && obstacle.rect.bottom() > bounds.top() + kTouching;
        });
        const double made = block.blockFormat().doubleProperty(kFlowRoomProperty);
        if (!meets && made == 0)
            continue;
        const double room = meets ? std::max(0.0, FlowBlock(block, obstacles, pageHeight)) : 0.0;
        if (meets)
            now.insert(block.blockNumber());
        // The engine would carry the room over to the next page with a paragraph that starts
        // one, where it is not needed.
        const QTextBlock next = block.next();
        if (!makeRoom || std::abs(room - made) < kTouching ||
            (next.isValid() && (next.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) != 0))
            continue;
        QTextBlockFormat format = block.blockFormat();
        format.setProperty(kFlowRoomProperty, room);
        format.setBottomMargin(format.bottomMargin() - made + room);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
        changed = true;
    }
    flowed = std::move(now);
    return changed;
}

void LowerTextStart(QTextDocument& text, double down)
{
    const QTextBlock first = text.begin();
    if (down <= 0 || !first.isValid())
        return;
    QTextBlockFormat format = first.blockFormat();
    // As for the room of objects above it: the engine leaves out a first top margin.
    const double lowered = std::max(0.0, format.topMargin()) + down;
    format.setTopMargin(0);
    format.setBottomMargin(format.bottomMargin() + lowered);
    format.setProperty(kLoweredLinesProperty, format.doubleProperty(kLoweredLinesProperty) + lowered);
    QTextCursor cursor(&text);
    cursor.setBlockFormat(format);
}

void LowerFirstBlockLines(QTextDocument& text)
{
    const QTextBlock first = text.begin();
    QTextLayout* layout = first.layout();
    const double down = first.blockFormat().doubleProperty(kLoweredLinesProperty);
    if (layout == nullptr || down <= 0)
        return;
    for (int i = 0; i < layout->lineCount(); ++i) {
        QTextLine line = layout->lineAt(i);
        line.setPosition(line.position() + QPointF(0, down));
    }
}

} // namespace editor
