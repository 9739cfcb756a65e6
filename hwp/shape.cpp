#include "hwp/shape.h"

#include <string_view>

#include "hwp/bytes.h"
#include "hwp/picture.h"
#include "hwp/records.h"

namespace hwp {
namespace {

constexpr std::uint16_t kLineTag = tag::kBegin + 62;
constexpr std::uint16_t kRectangleTag = tag::kBegin + 63;
constexpr std::uint16_t kEllipseTag = tag::kBegin + 64;

constexpr std::uint32_t kRectangleId = CtrlId('$', 'r', 'e', 'c');
constexpr std::uint32_t kEllipseId = CtrlId('$', 'e', 'l', 'l');
constexpr std::uint32_t kLineId = CtrlId('$', 'l', 'i', 'n');
// A top-level component: its id twice, offsets, group level and version, then the sizes.
constexpr std::size_t kOriginalSizeAt = 20;
constexpr std::size_t kMatrixCountAt = 50;   // in a top-level component
constexpr std::size_t kMatrixBytes = 48;
constexpr std::uint16_t kMaxMatrices = 64;
// A damaged polygon or curve may claim any number of points; no drawing has more.
constexpr std::int32_t kMaxShapePoints = 65536;

std::optional<ShapeKind> KindOf(std::uint32_t id)
{
    switch (id) {
    case kRectangleId:
        return ShapeKind::Rectangle;
    case kEllipseId:
        return ShapeKind::Ellipse;
    case kLineId:
        return ShapeKind::Line;
    case kArcComponentId:
        return ShapeKind::Arc;
    case kPolygonComponentId:
        return ShapeKind::Polygon;
    case kCurveComponentId:
        return ShapeKind::Curve;
    default:
        return std::nullopt;
    }
}

std::uint16_t TagOf(ShapeKind kind)
{
    switch (kind) {
    case ShapeKind::Rectangle:
        return kRectangleTag;
    case ShapeKind::Ellipse:
        return kEllipseTag;
    case ShapeKind::Line:
        return kLineTag;
    case ShapeKind::Arc:
        return kArcTag;
    case ShapeKind::Polygon:
        return kPolygonTag;
    case ShapeKind::Curve:
        break;
    }
    return kCurveTag;
}

// n points as (x, y) pairs after a 32-bit count; a count that the record cannot hold
// reads as the older layout of a 16-bit count, all x, then all y.
std::vector<ShapePoint> ReadPoints(ByteReader& in, std::string_view data)
{
    std::vector<ShapePoint> points;
    const std::int32_t count = in.I32();
    if (count >= 0 && count <= kMaxShapePoints && 4 + 8 * std::size_t(count) <= data.size()) {
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t x = in.I32();
            points.push_back({x, in.I32()});
        }
        return points;
    }
    ByteReader old(data, "shape points");
    const std::uint16_t shortCount = old.U16();
    points.resize(shortCount);
    for (ShapePoint& point : points)
        point.x = old.I32();
    for (ShapePoint& point : points)
        point.y = old.I32();
    in = old;
    return points;
}

// The kind's own record: the first record one level below the component of a kind's
// tag (a text box's paragraphs may stand between); records.size() when there is none.
std::size_t OwnRecord(const std::vector<ObjectRecord>& records, std::size_t at, ShapeKind kind)
{
    const std::uint16_t level = records[at].level;
    for (std::size_t i = at + 1; i < records.size() && records[i].level > level; ++i) {
        if (records[i].level == level + 1 && records[i].tag == TagOf(kind))
            return i;
    }
    return records.size();
}

constexpr std::size_t kShadowBytes = 22;

std::optional<ShapeShadow> ReadShadow(ByteReader& in)
{
    if (in.Remaining() < kShadowBytes)
        return std::nullopt;
    ShapeShadow shadow;
    shadow.kind = in.U32();
    shadow.color = in.U32();
    shadow.offsetX = in.I32();
    shadow.offsetY = in.I32();
    in.Skip(5);
    shadow.alpha = in.U8();
    return shadow;
}

std::optional<Shape> ReadComponent(const std::vector<ObjectRecord>& records, std::size_t at, bool topLevel)
{
    const Bytes& component = records[at].data;
    const std::size_t lineAt = ShapeLineInfoAt(component, topLevel);
    const std::size_t skipped = topLevel ? 0 : 4;   // a member's id is written once
    if (lineAt == 0 || LittleEndianAt(component, kMatrixCountAt - skipped, 2) > kMaxMatrices)
        return std::nullopt;
    try {
        ByteReader in(View(component), "shape component");
        const std::optional<ShapeKind> kind = KindOf(in.U32());
        if (!kind)
            return std::nullopt;
        Shape shape;
        shape.kind = *kind;
        in.Skip(kOriginalSizeAt - skipped - in.Offset());
        shape.originalWidth = in.I32();
        shape.originalHeight = in.I32();
        shape.width = in.I32();
        shape.height = in.I32();
        in.Skip(4);   // flips
        shape.rotation = in.I16();
        in.Skip(lineAt - in.Offset());
        shape.outlineColor = in.U32();
        shape.outlineWidth = in.I32();
        const std::uint32_t lineBits = in.U32();
        shape.outline = static_cast<std::uint8_t>(lineBits & 0x3F);
        shape.ends = LineEnds::FromBits(lineBits);
        shape.outlinePlace = in.U8();
        if (!in.AtEnd()) {
            try {
                shape.brush = ReadFill(in);
                shape.shadow = ReadShadow(in);
            } catch (const HwpError&) {
                shape.brush = Fill{};   // a damaged fill paints nothing; the outline still shows
            }
            if ((shape.brush.kinds & kFillColor) && shape.brush.face != kNoColor)
                shape.fill = shape.brush.face;
        }
        const std::size_t own = OwnRecord(records, at, shape.kind);
        if (own < records.size()) {
            if (!ReadShapeKindRecord(records[own], shape) && shape.kind != ShapeKind::Rectangle)
                return std::nullopt;
        } else if (shape.kind != ShapeKind::Rectangle && shape.kind != ShapeKind::Ellipse) {
            return std::nullopt;   // nothing says where its line runs
        }
        return shape;
    } catch (const HwpError&) {
        return std::nullopt;
    }
}

} // namespace

LineEnds LineEnds::FromBits(std::uint32_t bits)
{
    LineEnds ends;
    ends.cap = static_cast<std::uint8_t>((bits >> 6) & 0xF);
    ends.headStyle = static_cast<std::uint8_t>((bits >> 10) & 0x3F);
    ends.tailStyle = static_cast<std::uint8_t>((bits >> 16) & 0x3F);
    ends.headSize = static_cast<std::uint8_t>((bits >> 22) & 0xF);
    ends.tailSize = static_cast<std::uint8_t>((bits >> 26) & 0xF);
    ends.headFill = (bits >> 30) & 1;
    ends.tailFill = (bits >> 31) & 1;
    return ends;
}

std::uint32_t LineEnds::Bits() const
{
    return std::uint32_t{cap & 0xFu} << 6 | std::uint32_t{headStyle & 0x3Fu} << 10 | std::uint32_t{tailStyle & 0x3Fu} << 16 |
           std::uint32_t{headSize & 0xFu} << 22 | std::uint32_t{tailSize & 0xFu} << 26 | std::uint32_t{headFill} << 30 |
           std::uint32_t{tailFill} << 31;
}

void WriteShapeShadow(ByteWriter& out, const ShapeShadow& shadow)
{
    out.U32(shadow.kind);
    out.U32(shadow.color);
    out.I32(shadow.offsetX);
    out.I32(shadow.offsetY);
    out.Zeros(5);
    out.U8(shadow.alpha);
}

std::size_t ShapeLineInfoAt(const Bytes& component, bool topLevel)
{
    const std::size_t count = kMatrixCountAt - (topLevel ? 0 : 4);
    if (component.size() < count + 2)
        return 0;
    // The translation, then a scale and a rotation matrix per count.
    const std::size_t line = count + 2 + kMatrixBytes * (1 + 2 * std::size_t{LittleEndianAt(component, count, 2)});
    return line <= component.size() ? line : 0;
}

bool ReadShapeKindRecord(const ObjectRecord& record, Shape& shape)
{
    try {
        const std::string_view data = View(record.data);
        ByteReader in(data, "shape");
        switch (shape.kind) {
        case ShapeKind::Rectangle:
            shape.roundness = in.U8();
            return true;
        case ShapeKind::Ellipse:
            return true;
        case ShapeKind::Line:
            shape.startX = in.I32();
            shape.startY = in.I32();
            shape.endX = in.I32();
            shape.endY = in.I32();
            return true;
        case ShapeKind::Arc:
            // Older files have no kind byte: six numbers only.
            if (data.size() >= 25)
                shape.arcKind = in.U8();
            shape.points.clear();
            for (int i = 0; i < 3; ++i) {
                const std::int32_t x = in.I32();
                shape.points.push_back({x, in.I32()});
            }
            return true;
        case ShapeKind::Polygon:
            shape.points = ReadPoints(in, data);
            return shape.points.size() >= 2;
        case ShapeKind::Curve:
            shape.points = ReadPoints(in, data);
            shape.segments.clear();
            for (std::size_t i = 1; i < shape.points.size() && !in.AtEnd(); ++i)
                shape.segments.push_back(in.U8());
            return shape.points.size() >= 2;
        }
    } catch (const HwpError&) {
    }
    return false;
}

ObjectRecord WriteShapeKindRecord(const Shape& shape, std::uint16_t level)
{
    ByteWriter out;
    if (shape.kind == ShapeKind::Arc) {
        out.U8(shape.arcKind);
        for (std::size_t i = 0; i < 3; ++i) {
            const ShapePoint point = i < shape.points.size() ? shape.points[i] : ShapePoint{};
            out.I32(point.x);
            out.I32(point.y);
        }
        // Readers that take the kind for four bytes still find every number they read.
        out.Zeros(3);
    } else {
        out.I32(static_cast<std::int32_t>(shape.points.size()));
        for (const ShapePoint& point : shape.points) {
            out.I32(point.x);
            out.I32(point.y);
        }
        if (shape.kind == ShapeKind::Curve) {
            for (std::size_t i = 1; i < shape.points.size(); ++i)
                out.U8(i - 1 < shape.segments.size() ? shape.segments[i - 1] : 0);
            out.Zeros(4);
        }
    }
    return ObjectRecord{TagOf(shape.kind), level, ToBytes(out.Data())};
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
    return ReadComponent(records, at, true);
}

std::optional<Shape> ReadMemberShape(const std::vector<ObjectRecord>& records, std::size_t at)
{
    if (at >= records.size() || records[at].tag != tag::kShapeComponent)
        return std::nullopt;
    return ReadComponent(records, at, false);
}

} // namespace hwp
