// A change of columns inside a section (<hp:colPr> after the section's first) as the
// model's column definition control ('cold'), and back.
#pragma once

#include <QXmlStreamWriter>

#include <optional>

#include "hwp/document.h"
#include "hwp/section.h"
#include "hwpx/xml.h"

namespace hwpx {

// The columns a column element describes; unequal widths as shares of their sum (32768
// in the word processor's files).
hwp::Columns ColumnsOf(const XmlNode& colPr);

// The control a column element stands for, its character code set.
hwp::Control ReadColumnsElement(const XmlNode& colPr);

// Writes the column element, unequal widths as their shares of 32768.
void WriteColumnsElement(QXmlStreamWriter& out, const hwp::Columns& columns);

// Writes `<hp:ctrl>` holding the control's column element; false (nothing written) for
// another control or a damaged one.
bool WriteColumnsElement(QXmlStreamWriter& out, const hwp::Control& control);

}  // namespace hwpx
