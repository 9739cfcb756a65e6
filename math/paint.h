// Drawing a typeset equation with a QPainter (Qt Gui only): glyph runs from the fonts,
// rules as filled rectangles, so a page printed at 600 dpi gets outlines, not a bitmap.
#pragma once

#include <QColor>
#include <QPointF>

#include "math/layout.h"

class QPainter;

namespace math {

class QtMathFont;

// `baselineLeft` is where the equation's baseline starts, in the painter's coordinates;
// `unit` is the base size in those coordinates (a 10 pt equation at 600 dpi: 83.3).
// Runs and rules with the default colour take `color`.
void PaintEquation(QPainter& painter, const EquationLayout& layout, const QtMathFont& font, QPointF baselineLeft,
                   double unit, QColor color = Qt::black);

}  // namespace math
