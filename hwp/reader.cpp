#include "hwp/reader.h"

#include "support/files.h"

namespace hwp {

Document ReadDocument(const std::string& path)
{
    throw HwpError(path + ": reading HWP documents is not available yet");
}

Document ReadDocumentFromBytes(std::string_view)
{
    throw HwpError("reading HWP documents is not available yet");
}

}  // namespace hwp
