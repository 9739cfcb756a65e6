// Reading HWP 5.0 files (an OLE2 compound file of record streams) into hwp::Document.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hwp/document.h"
#include "hwp/error.h"

namespace hwp {

// Throws HwpError naming the path and the reason: not a compound file, a required stream
// missing, a damaged record, or a document protected by a password or made for
// distribution only (those are refused, never read as garbage).
Document ReadDocument(const std::string& path);

// The same from the file's bytes in memory.
Document ReadDocumentFromBytes(std::string_view bytes);

}  // namespace hwp
