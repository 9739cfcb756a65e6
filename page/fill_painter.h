// The inside of a drawn shape or a table cell as its fill says: a colour, a hatch in the
// pattern colour over it, a gradient (linear, radial, conical or square) and a picture
// (tiled, stretched or placed at its size). Device independent: the same strokes and
// gradients go to a bitmap and to a PDF page.
#pragma once

#include "hwp/border_fill.h"
#include "hwp/fill.h"

#include <QBrush>
#include <QImage>
#include <QPainterPath>

#include <functional>

class QPainter;

namespace editor {

// The picture of an image fill decoded no larger than `pixels` (empty: its own size);
// a null image when there is none.
using FillImageSource = std::function<QImage(const hwp::ImageFill& image, QSize pixels)>;

// Paints `fill` inside `area` (painter units); `scale` is painter units per layout pixel
// (96 dpi), which hatch spacing and a picture's own size count in.
void PaintFill(QPainter& painter, const QPainterPath& area, const hwp::Fill& fill, double scale,
               const FillImageSource& images);

} // namespace editor
