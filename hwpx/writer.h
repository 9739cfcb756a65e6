// Writing hwp::Document as an HWPX package: header.xml from the shape tables, one
// sectionN.xml per section, the bin data as BinData/ items, and the manifest parts.
// What the model understands (text, char-shape runs, para shapes, styles, pages,
// columns, tables, pictures, equations, headers, footers, notes, click-here fields) is
// written as its elements, merged with what the element held beyond that when read from
// HWPX; what the model kept of an HWPX file without reading it (objects, the sections'
// and the header's settings, the package's other parts) goes back as read. Of the
// controls an HWP file keeps whole, captions, auto numbers, column changes, page hiding,
// fields of every kind, drawings of every kind (groups too) and bookmarks become their
// elements; the others (connectors, index marks, ...) have none here and are left out.
#pragma once

#include <string>

#include "hwp/document.h"
#include "hwp/error.h"

namespace hwpx {

// The package's bytes, with the preview text renewed and `previewPng` (a picture of the
// first page) as the preview picture; without one a kept picture stays. Throws
// hwp::HwpError for a document CheckDocument refuses.
std::string WriteHwpxToBytes(const hwp::Document& document, const std::string& previewPng = {});

// Replaces the file in one instant (temporary file beside it, then rename).
void WriteHwpx(const hwp::Document& document, const std::string& path, const std::string& previewPng = {});

}  // namespace hwpx
