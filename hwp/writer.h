// Writing hwp::Document as a complete HWP 5.0 file that other HWP software opens:
// FileHeader (the document's version), DocInfo and BodyText/SectionN with records in the
// form that version defines, the BinData/ streams, every stream the model keeps without
// reading (scripts, link data, summary information, history, ...), and the streams that
// describe the content renewed from it: PrvText and PrvImage. Kept objects go back with
// their records as read.
#pragma once

#include <string>

#include "hwp/document.h"
#include "hwp/error.h"

namespace hwp {

// Replaces the file in one instant (temporary file beside it, then rename): a failure
// leaves the old file as it was. Throws HwpError for a document it cannot write
// (ids that point nowhere, no section) or when the file cannot be written.
// `previewImage` is a small picture of page 1 (a GIF, page/preview_image.h), which this
// library cannot draw; without one the file has no picture rather than a stale one.
void WriteDocument(const Document& document, const std::string& path, const std::string& previewImage = {});

// The file's bytes.
std::string WriteDocumentToBytes(const Document& document, const std::string& previewImage = {});

}  // namespace hwp
