// The record streams (DocInfo, BodyText/SectionN): a sequence of records, each a
// 32-bit header (10-bit tag, 10-bit level, 12-bit size; size 0xFFF means a DWORD size
// follows) and its data. Also the raw-deflate layer the compressed flag turns on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hwp {

namespace tag {
constexpr std::uint16_t kBegin = 0x010;
constexpr std::uint16_t kDocumentProperties = kBegin + 0;
constexpr std::uint16_t kIdMappings = kBegin + 1;
constexpr std::uint16_t kBinData = kBegin + 2;
constexpr std::uint16_t kFaceName = kBegin + 3;
constexpr std::uint16_t kBorderFill = kBegin + 4;
constexpr std::uint16_t kCharShape = kBegin + 5;
constexpr std::uint16_t kTabDef = kBegin + 6;
constexpr std::uint16_t kNumbering = kBegin + 7;
constexpr std::uint16_t kBullet = kBegin + 8;
constexpr std::uint16_t kParaShape = kBegin + 9;
constexpr std::uint16_t kStyle = kBegin + 10;
constexpr std::uint16_t kDocData = kBegin + 11;
constexpr std::uint16_t kDistributeDocData = kBegin + 12;
constexpr std::uint16_t kCompatibleDocument = kBegin + 14;
constexpr std::uint16_t kLayoutCompatibility = kBegin + 15;
constexpr std::uint16_t kMemoShape = kBegin + 76;
constexpr std::uint16_t kTrackChange = kBegin + 80;
constexpr std::uint16_t kTrackChangeAuthor = kBegin + 81;

constexpr std::uint16_t kParaHeader = kBegin + 50;
constexpr std::uint16_t kParaText = kBegin + 51;
constexpr std::uint16_t kParaCharShape = kBegin + 52;
constexpr std::uint16_t kParaLineSeg = kBegin + 53;
constexpr std::uint16_t kParaRangeTag = kBegin + 54;
constexpr std::uint16_t kCtrlHeader = kBegin + 55;
constexpr std::uint16_t kListHeader = kBegin + 56;
constexpr std::uint16_t kPageDef = kBegin + 57;
constexpr std::uint16_t kFootnoteShape = kBegin + 58;
constexpr std::uint16_t kPageBorderFill = kBegin + 59;
constexpr std::uint16_t kShapeComponent = kBegin + 60;
constexpr std::uint16_t kTable = kBegin + 61;
constexpr std::uint16_t kShapeOle = kBegin + 68;
constexpr std::uint16_t kShapePicture = kBegin + 69;
constexpr std::uint16_t kCtrlData = kBegin + 71;
constexpr std::uint16_t kEqEdit = kBegin + 72;
}  // namespace tag

struct Record {
    std::uint16_t tag = 0;
    std::uint16_t level = 0;
    std::string_view data;   // points into the stream the record was parsed from
};

// Throws HwpError naming `what` when a record runs past the end of the stream.
std::vector<Record> ParseRecords(std::string_view stream, const char* what);

void AppendRecord(std::string& stream, std::uint16_t tag, std::uint16_t level, std::string_view data);

// Raw deflate (no zlib header), as the format stores compressed streams. Inflating stops
// with HwpError past `limit` bytes of output, so a small damaged stream cannot claim
// gigabytes.
std::string InflateRaw(std::string_view compressed, const char* what, std::size_t limit = 64u << 20);
std::string DeflateRaw(std::string_view data);

// A control's four-letter id: MAKE_4CHID('s','e','c','d') = 's' << 24 | ... .
constexpr std::uint32_t CtrlId(char a, char b, char c, char d)
{
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d));
}

std::string CtrlIdText(std::uint32_t id);

}  // namespace hwp
