#include "hwp/ole.h"

#include "hwp/bytes.h"
#include "hwp/error.h"

namespace hwp {

namespace {
constexpr std::size_t kShortRecord = 24;
}

std::optional<OleObject> ReadOleRecord(const ObjectRecord& record)
{
    if (record.tag != tag::kShapeOle || record.data.size() < kShortRecord)
        return std::nullopt;
    try {
        ByteReader in(View(record.data), "OLE object");
        OleObject ole;
        ole.properties = record.data.size() == kShortRecord ? in.U16() : in.U32();
        ole.extentX = in.I32();
        ole.extentY = in.I32();
        ole.binItemId = in.U16();
        ole.borderColor = in.U32();
        ole.borderWidth = in.I32();
        ole.borderProperties = in.U32();
        return ole;
    } catch (const HwpError&) {
        return std::nullopt;
    }
}

ObjectRecord WriteOleRecord(const OleObject& ole, std::uint16_t level)
{
    ByteWriter out;
    out.U32(ole.properties);
    out.I32(ole.extentX);
    out.I32(ole.extentY);
    out.U16(ole.binItemId);
    out.U32(ole.borderColor);
    out.I32(ole.borderWidth);
    out.U32(ole.borderProperties);
    return {tag::kShapeOle, level, ToBytes(out.Data())};
}

}  // namespace hwp
