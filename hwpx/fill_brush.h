// A <fillBrush> of a drawn shape or a border fill (its colour and hatch, gradation and
// picture) as the model's fill; and the points of an arc, polygon or curve element.
#pragma once

#include <QString>

#include <cstdint>
#include <map>

#include "hwp/border_fill.h"
#include "hwp/fill.h"
#include "hwp/shape.h"
#include "hwpx/xml.h"

namespace hwpx {

// Nothing painted when `brush` is null. A picture whose item `binIds` does not know
// fills with nothing.
hwp::Fill ReadFillBrush(const XmlNode* brush, const std::map<QString, std::uint16_t>& binIds);

// The kind's own part of an <arc>, <polygon> or <curve> in `shape` (its kind set).
void ReadShapePoints(const XmlNode& node, hwp::Shape& shape);

} // namespace hwpx
