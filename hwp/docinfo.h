// DocInfo records: each kind's reading and writing side by side.
#pragma once

#include <string>
#include <string_view>

#include "hwp/document.h"

namespace hwp {

// Fills the document's tables from the DocInfo stream (already inflated). Returns the
// section count the document properties announce.
std::size_t ReadDocInfo(std::string_view stream, Document& document);

// The DocInfo stream (not yet deflated) for the document.
std::string WriteDocInfo(const Document& document);

}  // namespace hwp
