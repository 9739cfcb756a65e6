// Feeds arbitrary bytes to the HWP reader as a whole file, and again as the record
// streams inside a valid compound file (so mutations reach the record parsers instead
// of stopping at the container). Anything but HwpError escaping, or a crash, is a
// finding. What reads successfully must also write and read back, and its objects must
// give their text and size and move into another document.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "hwp/container.h"
#include "hwp/objects.h"
#include "hwp/picture.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/table.h"
#include "hwp/writer.h"

namespace {

// Tables and pictures read into their models and written back over their records.
void ReadModels(const hwp::Document& document, const hwp::Control& control)
{
    try {
        if (hwp::IsTable(control))
            hwp::ReadTable(hwp::WriteTable(hwp::ReadTable(control), document, &control));
        else if (hwp::IsPicture(control))
            hwp::ReadPicture(hwp::WritePicture(hwp::ReadPicture(control), &control));
    } catch (const hwp::HwpError&) {
    }
}

void ReadAndRewrite(std::string_view bytes)
{
    try {
        const hwp::Document document = hwp::ReadDocumentFromBytes(bytes);
        hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
        hwp::Document other = hwp::NewDocument();
        for (const hwp::Section& section : document.sections) {
            for (const hwp::Paragraph& paragraph : section.paragraphs) {
                for (const hwp::Control& control : paragraph.controls) {
                    hwp::ControlText(control);
                    hwp::ControlPlacement(control);
                    hwp::DescribeControl(control);
                    ReadModels(document, control);
                    try {
                        hwp::Control moved = hwp::ImportControl(document, control, other);
                        moved.position = moved.end = 0;
                        other.sections.front().paragraphs.front().controls.push_back(std::move(moved));
                    } catch (const hwp::HwpError&) {
                        // ids inside a kept object that its document lacks
                    }
                }
            }
        }
        hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(other));
    } catch (const hwp::HwpError&) {
    }
}

std::string FileHeader()
{
    std::string header(256, '\0');
    header.replace(0, 17, "HWP Document File");
    header[32] = 0x00;
    header[33] = 0x03;
    header[34] = 0x00;
    header[35] = 0x05;   // 5.0.3.0, uncompressed: the streams are the fuzzer's bytes as they are
    return header;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (size > 1 && (data[0] & 1)) {
        // First byte odd: the bytes after the second are DocInfo and Section0, split at
        // the second byte's share of them.
        const std::string_view rest = bytes.substr(2);
        const std::size_t split = (data[1] * rest.size()) / 256;
        hwp::StreamMap streams;
        streams["FileHeader"] = FileHeader();
        streams["DocInfo"] = std::string(rest.substr(0, split));
        streams["BodyText/Section0"] = std::string(rest.substr(split));
        ReadAndRewrite(hwp::WriteCompoundFile(streams));
    } else {
        ReadAndRewrite(bytes);
    }
    return 0;
}
