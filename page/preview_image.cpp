#include "page/preview_image.h"

#include "page/page_render.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace editor {
namespace {

// The box the word processor fits its pictures of page 1 into.
constexpr int kPreviewWidth = 177;
constexpr int kPreviewHeight = 250;
// Drawn this many times larger and scaled down, so small text stays legible grey rather
// than broken strokes.
constexpr int kOversample = 3;

constexpr int kCubeLevels = 6;
constexpr int kGreys = 40;

std::uint8_t PaletteIndex(QRgb pixel)
{
    const int r = qRed(pixel);
    const int g = qGreen(pixel);
    const int b = qBlue(pixel);
    if (std::max({r, g, b}) - std::min({r, g, b}) < 16)
        return static_cast<std::uint8_t>(kCubeLevels * kCubeLevels * kCubeLevels + ((r + g + b) * (kGreys - 1) + 382) / 765);
    const auto level = [](int value) { return (value * (kCubeLevels - 1) + 127) / 255; };
    return static_cast<std::uint8_t>((level(r) * kCubeLevels + level(g)) * kCubeLevels + level(b));
}

void AppendPalette(std::string& out)
{
    for (int r = 0; r < kCubeLevels; ++r)
        for (int g = 0; g < kCubeLevels; ++g)
            for (int b = 0; b < kCubeLevels; ++b)
                for (int value : {r, g, b})
                    out += static_cast<char>(value * 255 / (kCubeLevels - 1));
    for (int i = 0; i < kGreys; ++i)
        out.append(3, static_cast<char>(i * 255 / (kGreys - 1)));
}

// Variable-width codes, least significant bit first, in sub-blocks of at most 255 bytes.
class CodeWriter {
public:
    explicit CodeWriter(std::string& out) : m_out(out) {}

    void Put(int code, int width)
    {
        m_bits |= static_cast<std::uint32_t>(code) << m_count;
        m_count += width;
        for (; m_count >= 8; m_count -= 8, m_bits >>= 8)
            Byte(static_cast<char>(m_bits & 0xFF));
    }

    void Finish()
    {
        if (m_count > 0)
            Byte(static_cast<char>(m_bits & 0xFF));
        Flush();
        m_out += '\0';
    }

private:
    void Byte(char byte)
    {
        m_block += byte;
        if (m_block.size() == 255)
            Flush();
    }

    void Flush()
    {
        if (m_block.empty())
            return;
        m_out += static_cast<char>(m_block.size());
        m_out += m_block;
        m_block.clear();
    }

    std::string& m_out;
    std::string m_block;
    std::uint32_t m_bits = 0;
    int m_count = 0;
};

// GIF's LZW over 8-bit indexes: codes grow from 9 to 12 bits; a full table starts over.
void AppendLzw(std::string& out, const std::vector<std::uint8_t>& pixels)
{
    constexpr int kClear = 256;
    constexpr int kEnd = 257;
    constexpr int kMaxCodes = 4096;
    out += '\x08';   // minimum code size
    CodeWriter codes(out);
    std::vector<std::uint16_t> table(static_cast<std::size_t>(kMaxCodes) * 256, 0);
    int next = kEnd + 1;
    int width = 9;
    codes.Put(kClear, width);
    int prefix = pixels.front();
    for (std::size_t i = 1; i < pixels.size(); ++i) {
        std::uint16_t& slot = table[static_cast<std::size_t>(prefix) * 256 + pixels[i]];
        if (slot != 0) {
            prefix = slot;
            continue;
        }
        codes.Put(prefix, width);
        if (next < kMaxCodes) {
            slot = static_cast<std::uint16_t>(next++);
            // The reader adds each entry one code later than we do.
            if (next > (1 << width) && width < 12)
                ++width;
        } else {
            codes.Put(kClear, width);
            std::fill(table.begin(), table.end(), std::uint16_t{0});
            next = kEnd + 1;
            width = 9;
        }
        prefix = pixels[i];
    }
    codes.Put(prefix, width);
    codes.Put(kEnd, width);
    codes.Finish();
}

void AppendU16(std::string& out, int value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

}  // namespace

std::string EncodeGif(const QImage& image)
{
    if (image.isNull() || image.width() > 0xFFFF || image.height() > 0xFFFF)
        return {};
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<std::uint8_t> pixels;
    pixels.reserve(static_cast<std::size_t>(rgb.width()) * static_cast<std::size_t>(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            pixels.push_back(PaletteIndex(line[x]));
    }
    std::string out = "GIF89a";
    AppendU16(out, rgb.width());
    AppendU16(out, rgb.height());
    out += '\xF7';   // a global table of 256 colours, 8 bits each
    out += '\0';     // background: index 0
    out += '\0';     // square pixels
    AppendPalette(out);
    out += ',';   // image descriptor: the whole screen, no local table, not interlaced
    AppendU16(out, 0);
    AppendU16(out, 0);
    AppendU16(out, rgb.width());
    AppendU16(out, rgb.height());
    out += '\0';
    AppendLzw(out, pixels);
    out += ';';
    return out;
}

std::string PreviewImageOf(const EditorDocument& document)
{
    return PreviewImageOf(*PagedLayout::Through(document, 0));
}

std::string PreviewImageOf(const PagedLayout& layout)
{
    if (layout.PageCount() < 1)
        return {};
    const PageSetup& page = layout.PageOf(0);
    const double dpi = std::min(kPreviewWidth * 7200.0 / std::max(1, page.SheetWidth()),
                                kPreviewHeight * 7200.0 / std::max(1, page.SheetHeight()));
    const int width = layout.SheetPixelWidth(0, dpi * kOversample);
    const int height = layout.SheetPixelHeight(0, dpi * kOversample);
    if (width < 1 || height < 1)
        return {};
    QImage large(width, height, QImage::Format_RGB32);
    layout.PaintBand(large, 0, 0, dpi * kOversample);
    const QImage small = large.scaled(std::clamp((width + kOversample / 2) / kOversample, 1, kPreviewWidth),
                                      std::clamp((height + kOversample / 2) / kOversample, 1, kPreviewHeight),
                                      Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return EncodeGif(small);
}

}  // namespace editor
