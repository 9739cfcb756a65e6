#include "page/placed_objects.h"

#include "hwp/bytes.h"
#include "hwp/paragraph.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

#include <algorithm>
#include <optional>

namespace editor {

namespace {

// On the first block of the print copy: how far its lines go down once laid out.
constexpr int kLoweredLinesProperty = QTextFormat::UserProperty + 31;

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

// The room an object that pushes its paragraph's text below it takes above the text. Text
// flows beside an object only on the lines the file stored for it: a paragraph laid out
// anew goes below the object instead of under it.
double RoomAbove(const hwp::ObjectProperties& properties, QSizeF size, bool storedLines)
{
    const bool pushes = properties.wrap == hwp::TextWrap::TopAndBottom ||
                        (properties.wrap == hwp::TextWrap::Square && !storedLines);
    if (!pushes || properties.vertRelTo != hwp::VertRelTo::Paragraph)
        return 0;
    const double margins = HwpUnitsToLayout(properties.outerMargins[2]) + HwpUnitsToLayout(properties.outerMargins[3]);
    return std::max(0.0, HwpUnitsToLayout(properties.verticalOffset) + size.height() + margins);
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

std::vector<PlacedObject> TakePlacedObjects(QTextDocument& text, const std::unordered_set<const StoredLines*>& held)
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
            one.roomAbove = RoomAbove(*properties, one.size, HeldLinesOf(block, held) != nullptr);
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
