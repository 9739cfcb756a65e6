#include "hwp/bookmark.h"

#include "hwp/bytes.h"
#include "hwp/paragraph.h"

namespace hwp {

std::optional<std::u16string> ReadBookmark(const Control& control)
{
    if (control.ctrlId != kBookmarkCtrlId || control.records.empty() || control.records.front().tag != tag::kCtrlHeader)
        return std::nullopt;
    return ReadFieldName(control.records);
}

Control WriteBookmark(const std::u16string& name)
{
    Control control;
    control.code = kBookmarkCode;
    control.ctrlId = kBookmarkCtrlId;
    Bytes head(4);
    PutLittleEndianAt(head, 0, 4, kBookmarkCtrlId);
    control.records.push_back({tag::kCtrlHeader, 0, std::move(head)});
    ByteWriter data;
    data.U16(0x021B);   // the parameter set fields and bookmarks name themselves with
    data.I16(1);
    data.U16(0x4000);   // item: the name
    data.U16(1);        // of text
    data.Text16(name);
    control.records.push_back({tag::kCtrlData, 1, ToBytes(data.Data())});
    return control;
}

}  // namespace hwp
