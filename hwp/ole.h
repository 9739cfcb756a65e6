// OLE objects: another program's object, embedded or linked, shown as the picture it left.
// The drawing's shape component (id '$ole') holds its place; the record one level below
// holds the rest:
//   U32 properties  bits 0..7 how it is drawn (1 its content, 2 a thumbnail, 4 an icon,
//                   8 as printed), bit 8 it has a moniker, 9..15 its baseline (percent,
//                   0 the default), 16..21 its kind (0 unknown, 1 embedded, 2 linked,
//                   3 static, 4 an equation)
//   I32 extent x, I32 extent y (its own size), U16 bin item, border colour, I32 border
//   width, U32 border properties (a shape outline's: kind and ends)
// A record of 24 bytes holds the properties in 16 bits.
#pragma once

#include <cstdint>
#include <optional>

#include "hwp/document.h"
#include "hwp/records.h"

namespace hwp {

constexpr std::uint32_t kOleComponentId = CtrlId('$', 'o', 'l', 'e');

struct OleObject {
    std::uint32_t properties = 0x00010001;   // embedded, drawn as its content
    std::int32_t extentX = 0;
    std::int32_t extentY = 0;
    std::uint16_t binItemId = 0;              // 1-based index into Document::binData
    ColorRef borderColor = 0;
    std::int32_t borderWidth = 0;
    std::uint32_t borderProperties = 0;

    bool operator==(const OleObject&) const = default;
};

// Nothing when the record is not an OLE object's or is cut short.
std::optional<OleObject> ReadOleRecord(const ObjectRecord& record);
ObjectRecord WriteOleRecord(const OleObject& ole, std::uint16_t level);

}  // namespace hwp
