// Contents/sectionN.xml into an hwp::Section: paragraphs with their char-shape runs and
// text, the section's page and columns, and the objects the model understands (tables,
// pictures, equations, drawings, headers, footers, footnotes, endnotes, fields, numbers,
// bookmarks) as the controls the HWP reader would have made of them, with what those
// elements hold beyond the model (hwp/kept_xml.h); every other object as a kept element
// in its place, and the section's settings as read.
#pragma once

#include <map>
#include <string>

#include "hwp/document.h"
#include "hwpx/xml.h"

namespace hwpx {

// `document` holds the shape tables and bin data already; `binIds` maps the package's
// item ids ("image1") to 1-based bin-data ids. Throws hwp::HwpError naming `part`.
hwp::Section ReadSection(const XmlNode& sec, const hwp::Document& document,
                         const std::map<QString, std::uint16_t>& binIds, const std::string& part);

}  // namespace hwpx
