// Writing hwp::Document as a complete HWP 5.0 file that other HWP software opens:
// FileHeader (5.0.3.0, compressed), DocInfo, BodyText/SectionN with line segments,
// \005HwpSummaryInformation, PrvText and the BinData/ streams. Kept objects go back
// with their records as read.
#pragma once

#include <string>

#include "hwp/document.h"
#include "hwp/error.h"

namespace hwp {

// Replaces the file in one instant (temporary file beside it, then rename): a failure
// leaves the old file as it was. Throws HwpError for a document it cannot write
// (ids that point nowhere, no section) or when the file cannot be written.
void WriteDocument(const Document& document, const std::string& path);

// The file's bytes.
std::string WriteDocumentToBytes(const Document& document);

}  // namespace hwp
