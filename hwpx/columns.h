// A change of columns inside a section (<hp:colPr> after the section's first) as the
// model's column definition control ('cold'), and back.
#pragma once

#include <QXmlStreamWriter>

#include <optional>

#include "hwp/document.h"
#include "hwpx/xml.h"

namespace hwpx {

// The control a column element stands for, its character code set.
hwp::Control ReadColumnsElement(const XmlNode& colPr);

// Writes `<hp:ctrl>` holding the control's column element, unequal widths as shares of
// `bodyWidth`; false (nothing written) for another control or a damaged one.
bool WriteColumnsElement(QXmlStreamWriter& out, const hwp::Control& control, hwp::HwpUnit bodyWidth);

}  // namespace hwpx
