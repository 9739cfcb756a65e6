// A <fillBrush> of a drawn shape or a border fill (its colour and hatch, gradation and
// picture) as the model's fill; a drawn shape's outline, its ends and its shadow; and the
// points of an arc, polygon or curve element. Each read beside its write.
#pragma once

#include <QString>
#include <QXmlStreamWriter>

#include <cstdint>
#include <map>
#include <optional>

#include "hwp/border_fill.h"
#include "hwp/fill.h"
#include "hwp/shape.h"
#include "hwpx/xml.h"

namespace hwpx {

// Nothing painted when `brush` is null. A picture whose item `binIds` does not know
// fills with nothing.
hwp::Fill ReadFillBrush(const XmlNode* brush, const std::map<QString, std::uint16_t>& binIds);

// Writes <hc:fillBrush> for what `fill` paints, nothing for a fill that paints nothing;
// `binNames` gives the package item of each 1-based bin-data id.
void WriteFillBrush(QXmlStreamWriter& out, const hwp::Fill& fill, const std::map<std::uint16_t, QString>& binNames);
// Its <hc:gradation> and <hc:imgBrush>, inside a <hc:fillBrush> the caller has opened.
void WriteGradationAndImage(QXmlStreamWriter& out, const hwp::Fill& fill, const std::map<std::uint16_t, QString>& binNames);

// A drawn shape's <hp:lineShape>: colour, width, kind, ends (caps, arrows) and where it
// stands against the edge. Without the element: a thin black solid line.
void ReadLineShape(const XmlNode* line, hwp::Shape& shape);
void WriteLineShape(QXmlStreamWriter& out, const hwp::Shape& shape);

// A drawn shape's <hp:shadow>; nothing without the element.
std::optional<hwp::ShapeShadow> ReadShadow(const XmlNode* node);
void WriteShadow(QXmlStreamWriter& out, const hwp::ShapeShadow& shadow);

// The kind's own part of an <arc>, <polygon> or <curve> in `shape` (its kind set).
void ReadShapePoints(const XmlNode& node, hwp::Shape& shape);
// Its attributes (an arc's type), written while the element is open, and its children.
void WriteShapePointAttributes(QXmlStreamWriter& out, const hwp::Shape& shape);
void WriteShapePoints(QXmlStreamWriter& out, const hwp::Shape& shape);

} // namespace hwpx
