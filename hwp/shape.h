// Drawn shapes of a document: rectangles, ellipses and lines, with their outline and
// fill, as a page prints them. Read only: the control itself is kept and written back
// as read, this is what painting it needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "hwp/border_fill.h"
#include "hwp/document.h"

namespace hwp {

enum class ShapeKind { Rectangle, Ellipse, Line };

struct Shape {
    ShapeKind kind = ShapeKind::Rectangle;
    // The shape's own units: its points are given in its original size, it is drawn at
    // its current size.
    HwpUnit originalWidth = 0;
    HwpUnit originalHeight = 0;
    HwpUnit width = 0;
    HwpUnit height = 0;
    ColorRef outlineColor = 0;
    HwpUnit outlineWidth = 0;
    std::uint8_t outline = 1;       // a LineKind value, as border lines number them
    std::optional<ColorRef> fill;   // a plain colour; patterns, gradients and images are not drawn
    std::uint8_t roundness = 0;     // a rectangle's corners, percent of half its shorter side
    // A line's ends in the original size.
    std::int32_t startX = 0, startY = 0, endX = 0, endY = 0;
};

// Where a shape component's line info begins (its colour, width, kind and place, 13
// bytes, then the fill): after its id (twice in a top-level object's component),
// placement, sizes and render matrices. 0 when the record ends before it.
std::size_t ShapeLineInfoAt(const Bytes& component, bool topLevel);

// The shape a drawing control holds; nothing for pictures, groups and other kinds, or
// when its records are cut short.
std::optional<Shape> ReadShape(const Control& control);

} // namespace hwp
