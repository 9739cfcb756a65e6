// Contents/header.xml into the shape tables of hwp::Document: faces, border fills, char
// shapes, tab definitions, numberings, bullets, para shapes and styles, with the ids the
// sections refer to them by.
#pragma once

#include <map>
#include <string>

#include "hwp/document.h"
#include "hwpx/xml.h"

namespace hwpx {

// Bullets that show a picture name it by the package's item id ("image1"); `binIds`
// maps those ids to the model's 1-based bin-data ids. Throws hwp::HwpError naming the
// part for a table whose ids skip or repeat.
void ReadHeader(const XmlNode& head, const std::map<QString, std::uint16_t>& binIds, hwp::Document& document);

}  // namespace hwpx
