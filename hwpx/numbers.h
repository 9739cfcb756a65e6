// Auto numbers (<hp:autoNum>), new numbers (<hp:newNum>), page number positions
// (<hp:pageNum>) and page hiding (<hp:pageHiding>) as the model's controls, and back: one
// vocabulary for both directions.
#pragma once

#include <QXmlStreamWriter>

#include <optional>

#include "hwp/document.h"
#include "hwpx/xml.h"

namespace hwpx {

// The control an element of those kinds stands for (its character code set);
// nothing for another element.
std::optional<hwp::Control> ReadNumberElement(const XmlNode& element);

// Writes `<hp:ctrl>` holding the control's element; false (nothing written) for a
// control of another kind or a header too short to be one.
bool WriteNumberElement(QXmlStreamWriter& out, const hwp::Control& control);

}  // namespace hwpx
