// Fields other than click-here fields (<hp:fieldBegin type="DATE">, "HYPERLINK", "PATH",
// ...) as the kept field controls the HWP reader makes ('%dte', '%hlk', '%pat', ...), and
// back: one vocabulary for both directions. Click-here fields are the model's own
// (`hwp::Field`) and are read and written with the paragraph.
#pragma once

#include <QXmlStreamWriter>

#include <cstdint>
#include <optional>
#include <string>

#include "hwp/document.h"
#include "hwpx/xml.h"

namespace hwpx {

// What a field control's header and parameter set say.
struct FieldControl {
    std::uint32_t ctrlId = 0;
    std::uint32_t properties = 0;   // bit 0 editable in a form, bit 15 changed since computed
    std::u16string command;
    std::u16string name;
};

// Whether the control is a field other than a click-here field: a field beginning with
// an id of the '%' family.
bool IsKeptField(const hwp::Control& control);

// The field in a control of that kind; nothing for another control or a damaged header.
std::optional<FieldControl> ReadFieldControl(const hwp::Control& control);

// The control (character code 3, its end still at its beginning) a fieldBegin element
// stands for; nothing for a click-here field, a kind without an id, or one holding more
// than its kind, name, properties and command (a memo's text, other parameters): those
// stay as read.
std::optional<hwp::Control> ReadFieldElement(const XmlNode& fieldBegin);

// Writes <hp:fieldBegin> with `id` for the field; the caller holds the <hp:ctrl> open.
void WriteFieldBegin(QXmlStreamWriter& out, const FieldControl& field, std::uint32_t id);

}  // namespace hwpx
