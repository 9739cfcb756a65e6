#include "hwp/shape.h"

#include <string_view>

#include "hwp/bytes.h"
#include "hwp/picture.h"
#include "hwp/records.h"

namespace hwp {
namespace {

constexpr std::uint16_t kLineTag = tag::kBegin + 62;
constexpr std::uint16_t kRectangleTag = tag::kBegin + 63;

constexpr std::uint32_t kRectangleId = CtrlId('$', 'r', 'e', 'c');
constexpr std::uint32_t kEllipseId = CtrlId('$', 'e', 'l', 'l');
constexpr std::uint32_t kLineId = CtrlId('$', 'l', 'i', 'n');
// A top-level component: its id twice, offsets, group level and version, then the sizes.
constexpr std::size_t kOriginalSizeAt = 20;
constexpr std::size_t kMatrixCountAt = 50;   // in a top-level component
constexpr std::size_t kMatrixBytes = 48;
constexpr std::uint16_t kMaxMatrices = 64;

} // namespace

std::size_t ShapeLineInfoAt(const Bytes& component, bool topLevel)
{
    const std::size_t count = kMatrixCountAt - (topLevel ? 0 : 4);
    if (component.size() < count + 2)
        return 0;
    // The translation, then a scale and a rotation matrix per count.
    const std::size_t line = count + 2 + kMatrixBytes * (1 + 2 * std::size_t{LittleEndianAt(component, count, 2)});
    return line <= component.size() ? line : 0;
}

std::optional<Shape> ReadShape(const Control& control)
{
    if (control.ctrlId != kDrawingCtrlId)
        return std::nullopt;
    const std::vector<ObjectRecord>& records = control.records;
    std::size_t at = 0;
    while (at < records.size() && !(records[at].level == 1 && records[at].tag == tag::kShapeComponent))
        ++at;
    if (at >= records.size())
        return std::nullopt;
    const Bytes& component = records[at].data;
    const std::size_t lineAt = ShapeLineInfoAt(component, true);
    if (lineAt == 0 || LittleEndianAt(component, kMatrixCountAt, 2) > kMaxMatrices)
        return std::nullopt;
    try {
        ByteReader in(View(component), "shape component");
        const std::uint32_t id = in.U32();
        Shape shape;
        if (id == kRectangleId)
            shape.kind = ShapeKind::Rectangle;
        else if (id == kEllipseId)
            shape.kind = ShapeKind::Ellipse;
        else if (id == kLineId)
            shape.kind = ShapeKind::Line;
        else
            return std::nullopt;
        in.Skip(kOriginalSizeAt - in.Offset());
        shape.originalWidth = in.I32();
        shape.originalHeight = in.I32();
        shape.width = in.I32();
        shape.height = in.I32();
        in.Skip(lineAt - in.Offset());
        shape.outlineColor = in.U32();
        shape.outlineWidth = in.I32();
        shape.outline = static_cast<std::uint8_t>(in.U32() & 0x3F);
        in.Skip(1);   // the outline's place against the edge
        if (!in.AtEnd()) {
            const std::uint32_t fill = in.U32();
            if (fill & 1)
                shape.fill = in.U32();
        }
        // The kind's own record follows, one level down.
        const std::size_t own = at + 1;
        if (shape.kind == ShapeKind::Rectangle && own < records.size() && records[own].tag == kRectangleTag) {
            ByteReader rect(View(records[own].data), "rectangle");
            shape.roundness = rect.U8();
        } else if (shape.kind == ShapeKind::Line) {
            if (own >= records.size() || records[own].tag != kLineTag)
                return std::nullopt;
            ByteReader line(View(records[own].data), "line");
            shape.startX = line.I32();
            shape.startY = line.I32();
            shape.endX = line.I32();
            shape.endY = line.I32();
        }
        return shape;
    } catch (const HwpError&) {
        return std::nullopt;
    }
}

} // namespace hwp
