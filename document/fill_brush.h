// Gradients of the file's fills as Qt sees them: their colour stops, and a brush for the
// text engine's table cells, which paints a cell's gradient across that cell.
#pragma once

#include "hwp/border_fill.h"
#include "hwp/fill.h"

#include <QBrush>

#include <cstdint>
#include <optional>

namespace editor {

// The gradient's colour stops (0 to 1), its blend centre between two colours.
QGradientStops GradientStops(const hwp::Gradient& gradient, std::uint8_t blendCenter);

// A cell's gradient as a brush over the box it fills; nothing when the fill has none (or
// a damaged one). A square gradient is shown as a radial one there.
std::optional<QBrush> CellGradientBrush(const hwp::BorderFillView& fill);

} // namespace editor
