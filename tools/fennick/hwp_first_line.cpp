#include "tools/fennick/hwp_first_line.h"

#include <exception>

#include "hwpx/reader.h"
#include "support/text.h"

namespace fennick {

std::string ReadHwpFirstLine(const std::string& path)
{
    try {
        const hwp::Document document = hwpx::ReadAnyDocument(path);
        for (const auto& section : document.sections) {
            for (const auto& paragraph : section.paragraphs) {
                const std::string text = Utf16ToUtf8(paragraph.text);
                if (text.find_first_not_of(" \t\r\n") != std::string::npos)
                    return text;
            }
        }
    } catch (const std::exception&) {
        // Shown without a first line.
    }
    return {};
}

} // namespace fennick
