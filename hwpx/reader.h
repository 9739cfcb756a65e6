// Reading HWPX documents (a ZIP package of XML parts) into the same hwp::Document the
// HWP reader fills, and reading a document file of either format by its content.
#pragma once

#include <string>
#include <string_view>

#include "hwp/document.h"
#include "hwp/error.h"

namespace hwpx {

// Throws hwp::HwpError naming the part and the reason: a damaged or hostile package
// (see package.h and xml.h), a missing header or section part, ids that point nowhere.
hwp::Document ReadHwpxFromBytes(std::string_view bytes);

// Either format, told apart by the bytes (an HWPX package is a ZIP archive with an HWPX
// mimetype entry; anything else goes to the HWP reader). Throws hwp::HwpError naming
// the path.
hwp::Document ReadAnyDocumentFromBytes(std::string_view bytes);
hwp::Document ReadAnyDocument(const std::string& path);

// Whether the file at `path` is an HWPX package (by its content); false when unreadable.
bool IsHwpxFile(const std::string& path);

}  // namespace hwpx
