#include "hwpx/bookmarks.h"

#include "hwp/bookmark.h"
#include "hwpx/values.h"
#include "hwpx/xml_writer.h"

namespace hwpx {

std::optional<hwp::Control> ReadBookmarkElement(const XmlNode& element)
{
    if (element.name != u"bookmark")
        return std::nullopt;
    for (const auto& [key, value] : element.attributes) {
        if (key != u"name")
            return std::nullopt;
    }
    for (const XmlNode& child : element.children) {
        if (!child.IsText())
            return std::nullopt;
    }
    return hwp::WriteBookmark(ToU16(element.Attr(u"name")));
}

bool WriteBookmarkElement(QXmlStreamWriter& out, const hwp::Control& control)
{
    const std::optional<std::u16string> name = hwp::ReadBookmark(control);
    if (!name)
        return false;
    out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
    out.writeEmptyElement(kParagraphNs, QStringLiteral("bookmark"));
    out.writeAttribute(QStringLiteral("name"), FromU16(*name));
    out.writeEndElement();
    return true;
}

}  // namespace hwpx
