// Drawn shapes of a document: rectangles, ellipses, lines, arcs, polygons and curves,
// with their outline (its ends too), fill and shadow, as a page prints them. The control
// itself is kept and written back as read; this is what painting it needs.
// WriteShapeKindRecord makes the record of an arc, polygon or curve read from elsewhere
// (an HWPX element).
//
// The kind's own record, one level below the shape component:
//   arc      [U8 kind: 0 open, 1 pie, 2 chord] I32 centre x, y, first axis end x, y,
//            second axis end x, y
//   polygon  I32 n, then n points (I32 x, I32 y)
//   curve    I32 n, n points, then U8 segment kinds[n - 1] (0 straight, 1 curved), 4 zero
//            bytes
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "hwp/border_fill.h"
#include "hwp/fill.h"
#include "hwp/document.h"
#include "hwp/records.h"

namespace hwp {

enum class ShapeKind { Rectangle, Ellipse, Line, Arc, Polygon, Curve };

struct ShapePoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const ShapePoint&) const = default;
};

// A shape's shadow, after its fill in the component (files of older builds have none):
//   U32 kind, colour, I32 offset x, I32 offset y, 5 bytes unnamed, U8 alpha
struct ShapeShadow {
    std::uint32_t kind = 0;       // 0 none, 1..4 parallel to the left top, right top, left
                                  // bottom, right bottom; 5..8 sheared alike; 9 smaller, 10 larger
    ColorRef color = 0x00B2B2B2;
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    std::uint8_t alpha = 0;
    bool operator==(const ShapeShadow&) const = default;
};

// The outline's ends, bits 6..31 of its property word (bits 0..5 its kind).
struct LineEnds {
    std::uint8_t cap = 0;         // bits 6..9: 0 round, 1 flat
    std::uint8_t headStyle = 0;   // bits 10..15, 16..21: 0 none, 1 arrow, 2 spear, 3 concave arrow,
    std::uint8_t tailStyle = 0;   // 4..6 empty diamond, circle, box, 7..9 the same filled
    std::uint8_t headSize = 0;    // bits 22..25, 26..29: width and length, small, medium or large
    std::uint8_t tailSize = 0;    // each, 0 small-small .. 8 large-large
    bool headFill = false;        // bits 30, 31
    bool tailFill = false;
    bool operator==(const LineEnds&) const = default;

    static LineEnds FromBits(std::uint32_t bits);
    std::uint32_t Bits() const;
};

struct Shape {
    ShapeKind kind = ShapeKind::Rectangle;
    // The shape's own units: its points are given in its original size, it is drawn at
    // its current size.
    HwpUnit originalWidth = 0;
    HwpUnit originalHeight = 0;
    HwpUnit width = 0;
    HwpUnit height = 0;
    std::int16_t rotation = 0;      // degrees, clockwise, about the shape's centre
    ColorRef outlineColor = 0;
    HwpUnit outlineWidth = 0;
    std::uint8_t outline = 1;       // a LineKind value, as border lines number them
    LineEnds ends;
    std::uint8_t outlinePlace = 0;  // 0 on the edge, 1 outside, 2 inside
    std::optional<ColorRef> fill;   // the plain colour of `brush`, when it has one
    Fill brush;                     // colour, pattern, gradient and picture
    std::optional<ShapeShadow> shadow;
    std::uint8_t roundness = 0;     // a rectangle's corners, percent of half its shorter side
    // A line's ends in the original size.
    std::int32_t startX = 0, startY = 0, endX = 0, endY = 0;
    // In the original size: an arc's centre and the ends of its two axes (it runs from
    // the first to the second), a polygon's corners, a curve's points.
    std::vector<ShapePoint> points;
    // A curve's: from point i to i + 1, 0 straight, 1 a Bezier segment (three curved
    // segments in a row are one cubic whose middle points steer it).
    std::vector<std::uint8_t> segments;
    std::uint8_t arcKind = 0;       // 0 open, 1 pie, 2 chord
};

// Component ids and record tags of the kinds.
constexpr std::uint32_t kArcComponentId = CtrlId('$', 'a', 'r', 'c');
constexpr std::uint32_t kPolygonComponentId = CtrlId('$', 'p', 'o', 'l');
constexpr std::uint32_t kCurveComponentId = CtrlId('$', 'c', 'u', 'r');
constexpr std::uint16_t kArcTag = tag::kBegin + 65;
constexpr std::uint16_t kPolygonTag = tag::kBegin + 66;
constexpr std::uint16_t kCurveTag = tag::kBegin + 67;

// Writes the shadow as a component holds it.
void WriteShapeShadow(ByteWriter& out, const ShapeShadow& shadow);

// Where a shape component's line info begins (its colour, width, kind and place, 13
// bytes, then the fill): after its id (twice in a top-level object's component),
// placement, sizes and render matrices. 0 when the record ends before it.
std::size_t ShapeLineInfoAt(const Bytes& component, bool topLevel);

// The shape a drawing control holds; nothing for pictures, groups and other kinds, or
// when its records are cut short.
std::optional<Shape> ReadShape(const Control& control);

// A shape component's own record (`level` down from the control) and what it holds;
// `shape` gets the points of an arc, polygon or curve. False when the record is not one
// of theirs or is cut short.
bool ReadShapeKindRecord(const ObjectRecord& record, Shape& shape);
// The record of an arc, polygon or curve `shape` at `level`.
ObjectRecord WriteShapeKindRecord(const Shape& shape, std::uint16_t level);

// The shape a member's component (a group's, one level or more down) describes, its
// own record at `records[at + 1]`; nothing as ReadShape.
std::optional<Shape> ReadMemberShape(const std::vector<ObjectRecord>& records, std::size_t at);

} // namespace hwp
