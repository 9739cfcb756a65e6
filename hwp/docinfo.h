// DocInfo records: each kind's reading and writing side by side.
#pragma once

#include <string>
#include <string_view>

#include "hwp/bin_data.h"
#include "hwp/container.h"
#include "hwp/document.h"

namespace hwp {

// Fills the document's tables from the DocInfo stream (already inflated); bin data
// items take their streams from `streams`. `document.headerFlags` must be set. Returns
// the section count the document properties announce.
std::size_t ReadDocInfo(std::string_view stream, Document& document, const BinDataStreams& streams);

// The DocInfo stream (not yet deflated) for the document.
std::string WriteDocInfo(const Document& document);

}  // namespace hwp
