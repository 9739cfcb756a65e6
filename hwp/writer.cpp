#include "hwp/writer.h"

namespace hwp {

void WriteDocument(const Document&, const std::string& path)
{
    throw HwpError(path + ": writing HWP documents is not available yet");
}

std::string WriteDocumentToBytes(const Document&)
{
    throw HwpError("writing HWP documents is not available yet");
}

}  // namespace hwp
