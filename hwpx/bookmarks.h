// Bookmarks (<hp:ctrl><hp:bookmark name="..."/></hp:ctrl>) as the model's bookmark
// control ('bokm', hwp/bookmark.h), and back.
#pragma once

#include <QXmlStreamWriter>

#include <optional>

#include "hwp/document.h"
#include "hwpx/xml.h"

namespace hwpx {

// The control a <bookmark> holding only its name stands for; nothing for another element
// or one holding more, which stays as read.
std::optional<hwp::Control> ReadBookmarkElement(const XmlNode& element);

// Writes `<hp:ctrl>` holding the bookmark; false (nothing written) for another control.
bool WriteBookmarkElement(QXmlStreamWriter& out, const hwp::Control& control);

}  // namespace hwpx
