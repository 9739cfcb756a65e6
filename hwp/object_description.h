// An object's description: what a screen reader or an exported page says for a picture
// (or any object with common object properties). The file keeps it as length-prefixed
// UTF-16 right after the common properties, in what ObjectProperties keeps as `rest`.
#pragma once

#include <string>
#include <string_view>

#include "hwp/object_properties.h"

namespace hwp {

// Empty when the header has none.
std::u16string ObjectDescription(const ObjectProperties& properties);
// Sets it, keeping whatever follows it in `rest`; at most 65535 UTF-16 units are kept.
void SetObjectDescription(ObjectProperties& properties, std::u16string_view description);

}  // namespace hwp
