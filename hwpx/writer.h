// Writing hwp::Document as an HWPX package: header.xml from the shape tables, one
// sectionN.xml per section, the bin data as BinData/ items, and the manifest parts.
// What the model understands (text, char-shape runs, para shapes, styles, pages,
// columns, tables, pictures, equations, headers, footers, notes, click-here fields) is
// written as its elements; a kept control of another kind has no element here and is
// left out.
#pragma once

#include <string>

#include "hwp/document.h"
#include "hwp/error.h"

namespace hwpx {

// The package's bytes. Throws hwp::HwpError for a document CheckDocument refuses.
std::string WriteHwpxToBytes(const hwp::Document& document);

// Replaces the file in one instant (temporary file beside it, then rename).
void WriteHwpx(const hwp::Document& document, const std::string& path);

}  // namespace hwpx
