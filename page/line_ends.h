// What a drawn shape has beyond its outline and fill: the heads at the ends of an open
// outline (arrows, diamonds, circles, boxes) and the shadow it casts.
#pragma once

#include "hwp/shape.h"

#include <QPainterPath>
#include <QPen>

class QPainter;

namespace editor {

// Whether the shape's outline has ends: a line, an open arc or an open curve.
bool HasLineEnds(const hwp::Shape& shape, const QPainterPath& path);

// Draws the heads of `path`'s two ends with `pen` (its colour and width), head at the
// start, tail at the end. `unit` is one HWP unit in painter units.
void PaintLineEnds(QPainter& painter, const QPainterPath& path, const hwp::LineEnds& ends, const QPen& pen, double unit);

// How far to pull `path`'s ends in so that its cap stays inside the pointed heads.
QPainterPath WithinPointedEnds(const QPainterPath& path, const hwp::LineEnds& ends, const QPen& pen, double unit);

// Paints the shadow of a shape whose outline is `path`: the path moved by the shadow's
// offsets, filled when the shape is `closed`, else stroked with `pen`'s width.
void PaintShadow(QPainter& painter, const QPainterPath& path, const hwp::ShapeShadow& shadow, bool closed,
                 const QPen& pen, double unit);

} // namespace editor
