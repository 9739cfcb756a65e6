#include "object_testing.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "hwp/paragraph_list.h"
#include "hwp_testing.h"
#include "support/json.h"

namespace hwp_testing {

namespace fs = std::filesystem;

namespace {

void Collect(const std::vector<hwp::Paragraph>& paragraphs, ControlWalk& out)
{
    for (const hwp::Paragraph& paragraph : paragraphs) {
        for (const hwp::Control& control : paragraph.controls) {
            out.controls.push_back(&control);
            for (hwp::ParagraphList& list : hwp::ReadParagraphLists(control.records)) {
                out.lists.push_back(std::move(list.paragraphs));
                Collect(out.lists.back(), out);
            }
        }
    }
}

std::uint32_t Crc(const std::string& data)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void Be32(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((value >> shift) & 0xFF);
}

void Chunk(std::string& png, const std::string& type, const std::string& data)
{
    Be32(png, static_cast<std::uint32_t>(data.size()));
    png += type + data;
    Be32(png, Crc(type + data));
}

// zlib stream of stored blocks: no compressor needed for a test image.
std::string Stored(const std::string& data)
{
    std::string out("\x78\x01", 2);
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(data.size() - at, 65535);
        out += static_cast<char>(at + n == data.size() ? 1 : 0);
        out += static_cast<char>(n & 0xFF);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(~n & 0xFF);
        out += static_cast<char>((~n >> 8) & 0xFF);
        out.append(data, at, n);
        at += n;
    } while (at < data.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : data) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Be32(out, (b << 16) | a);
    return out;
}

}  // namespace

hwp::Paragraph TextParagraph(const std::u16string& text, std::uint16_t paraShapeId)
{
    hwp::Paragraph paragraph;
    paragraph.text = text;
    paragraph.paraShapeId = paraShapeId;
    paragraph.charShapes.push_back(hwp::CharShapeRun{});
    return paragraph;
}

ControlWalk AllControls(const hwp::Document& document)
{
    ControlWalk out;
    for (const hwp::Section& section : document.sections)
        Collect(section.paragraphs, out);
    return out;
}

std::string SamplePath(const std::string& name)
{
    const std::string folder = SamplesFolder();
    return folder.empty() ? std::string() : folder + "/" + name;
}

std::string MakePng(std::uint32_t width, std::uint32_t height, std::uint32_t rgb, double dpi)
{
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    Be32(header, width);
    Be32(header, height);
    header += std::string("\x08\x02\x00\x00\x00", 5);   // 8-bit RGB
    Chunk(png, "IHDR", header);
    if (dpi > 0) {
        std::string physical;
        const auto perMetre = static_cast<std::uint32_t>(std::lround(dpi / 0.0254));
        Be32(physical, perMetre);
        Be32(physical, perMetre);
        physical += '\x01';
        Chunk(png, "pHYs", physical);
    }
    std::string rows;
    for (std::uint32_t y = 0; y < height; ++y) {
        rows += '\0';
        for (std::uint32_t x = 0; x < width; ++x) {
            rows += static_cast<char>((rgb >> 16) & 0xFF);
            rows += static_cast<char>((rgb >> 8) & 0xFF);
            rows += static_cast<char>(rgb & 0xFF);
        }
    }
    Chunk(png, "IDAT", Stored(rows));
    Chunk(png, "IEND", "");
    return png;
}

std::string Base64(const std::string& bytes)
{
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const std::uint32_t v = (static_cast<unsigned char>(bytes[i]) << 16) |
                                (static_cast<unsigned char>(bytes[i + 1]) << 8) | static_cast<unsigned char>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6)
            out += digits[(v >> shift) & 63];
    }
    if (i < bytes.size()) {
        std::uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

OracleObjects OracleObjectsOf(const std::string& path)
{
    OracleObjects result;
    const char* source = std::getenv("VARNEL_SOURCE_DIR");
    if (!source)
        return result;
    const fs::path oracle = fs::path(source) / "tests" / "oracle";
    if (!fs::exists(oracle / "node_modules" / "@ohah" / "hwpjs") || std::system("node --version >/dev/null 2>&1") != 0)
        return result;
    result.available = true;
    const std::string command = "node '" + (oracle / "dump-objects.js").string() + "' '" + path + "' 2>/dev/null";
    const std::string output = CommandOutput(command);
    const std::size_t end = output.find('\n');
    if (end == std::string::npos)
        return result;
    const JsonOwnedPtr json = ParseJsonUtf8(std::string_view(output).substr(0, end));
    const JsonObject object = JsonObjectOf(json.get());
    if (JsonGetText(object, "source") != "json") {
        result.error = JsonGetText(object, "error");
        return result;
    }
    result.parsed = true;
    for (const auto& t : object.at(u"tables")->arrayValue) {
        const JsonObject table = JsonObjectOf(t.get());
        OracleTable out{JsonGetInt(table, "rows"), JsonGetInt(table, "columns"), JsonGetInt(table, "borderFillId"), {}};
        for (const auto& c : table.at(u"cells")->arrayValue) {
            const JsonObject cell = JsonObjectOf(c.get());
            out.cells.push_back(OracleCell{JsonGetInt(cell, "row"), JsonGetInt(cell, "column"), JsonGetInt(cell, "rowSpan"),
                                           JsonGetInt(cell, "columnSpan"), JsonGetInt(cell, "borderFillId"),
                                           cell.at(u"text")->stringValue});
        }
        result.tables.push_back(std::move(out));
    }
    for (const auto& p : object.at(u"pictures")->arrayValue) {
        const JsonObject picture = JsonObjectOf(p.get());
        result.pictures.push_back(OraclePicture{JsonGetInt(picture, "binDataId"), JsonGetInt(picture, "width"),
                                                JsonGetInt(picture, "height"), JsonGetText(picture, "extension"),
                                                JsonGetInt(picture, "storageId"), JsonGetText(picture, "bytes")});
    }
    return result;
}

}  // namespace hwp_testing
