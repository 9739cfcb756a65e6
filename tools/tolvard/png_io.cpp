#include "tools/tolvard/png_io.h"

#include "tools/tolvard/page_memory.h"

#include <libdeflate.h>
#include <spng.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <emmintrin.h>

namespace tolvard {
namespace {

struct ContextDeleter {
    void operator()(spng_ctx* context) const { spng_ctx_free(context); }
};
using Context = std::unique_ptr<spng_ctx, ContextDeleter>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// A compressed page is a few megabytes; anything near this is not a page image.
constexpr std::size_t kMaxFileBytes = std::size_t{512} << 20;
// Level 2 of libdeflate: on page rows it is faster than zlib's fastest level and smaller.
constexpr int kCompressionLevel = 2;
constexpr std::size_t kIdatChunkBytes = std::size_t{1} << 20;

std::uint32_t Be32(const unsigned char* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

void PutBe32(unsigned char* p, std::uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes)
{
    File file(std::fopen(path.c_str(), "rb"));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0)
        return false;
    const long size = std::ftell(file.get());
    if (size < 0 || static_cast<unsigned long>(size) > kMaxFileBytes || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return false;
    bytes.resize(static_cast<std::size_t>(size));
    return std::fread(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

// What the fast path needs of a file: 8-bit RGB or RGBA rows, not interlaced, no
// transparency chunk; the IDAT data gathered in order.
struct PlainPng {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int channels = 0;
    std::vector<unsigned char> zdata;
    std::uint32_t ppuX = 0;
    std::uint32_t ppuY = 0;
};

enum class Parse { Plain, Other, Damaged };

Parse ParsePlain(const unsigned char* bytes, std::size_t size, PlainPng& png)
{
    if (size < 8 + 25 || std::memcmp(bytes, kSignature, 8) != 0)
        return Parse::Damaged;
    std::size_t at = 8;
    bool header = false;
    while (at + 12 <= size) {
        const std::uint32_t length = Be32(&bytes[at]);
        const unsigned char* type = &bytes[at + 4];
        if (length > size - at - 12)
            return Parse::Damaged;
        const unsigned char* data = &bytes[at + 8];
        if (!header) {
            if (std::memcmp(type, "IHDR", 4) != 0 || length != 13)
                return Parse::Damaged;
            png.width = Be32(data);
            png.height = Be32(data + 4);
            const int depth = data[8];
            const int colour = data[9];
            if (depth != 8 || (colour != 2 && colour != 6) || data[10] != 0 || data[11] != 0 || data[12] != 0)
                return Parse::Other;
            png.channels = colour == 6 ? 4 : 3;
            header = true;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            png.zdata.insert(png.zdata.end(), data, data + length);
        } else if (std::memcmp(type, "tRNS", 4) == 0) {
            return Parse::Other;
        } else if (std::memcmp(type, "pHYs", 4) == 0 && length == 9 && data[8] == 1) {
            png.ppuX = Be32(data);
            png.ppuY = Be32(data + 4);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            return png.zdata.empty() ? Parse::Damaged : Parse::Plain;
        }
        at += 12 + length;
    }
    return Parse::Damaged;
}

unsigned char Paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return static_cast<unsigned char>(a);
    return static_cast<unsigned char>(pb <= pc ? b : c);
}

// Undoes one row's filter from `raw` into `out`; `prior` is the row above, already undone
// (zeros for the first row). The editor's pages are all Up rows: those go 16 bytes at a time.
bool Unfilter(int filter, const unsigned char* raw, unsigned char* out, const unsigned char* prior, std::size_t size,
              std::size_t bpp)
{
    switch (filter) {
    case 0:
        std::memcpy(out, raw, size);
        return true;
    case 1:
        for (std::size_t i = 0; i < size; ++i)
            out[i] = static_cast<unsigned char>(raw[i] + (i >= bpp ? out[i - bpp] : 0));
        return true;
    case 2: {
        std::size_t i = 0;
        for (; i + 16 <= size; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_add_epi8(a, b));
        }
        for (; i < size; ++i)
            out[i] = static_cast<unsigned char>(raw[i] + prior[i]);
        return true;
    }
    case 3:
        for (std::size_t i = 0; i < size; ++i) {
            const int left = i >= bpp ? out[i - bpp] : 0;
            out[i] = static_cast<unsigned char>(raw[i] + ((left + prior[i]) >> 1));
        }
        return true;
    case 4:
        for (std::size_t i = 0; i < size; ++i) {
            const bool first = i < bpp;
            out[i] = static_cast<unsigned char>(raw[i] + Paeth(first ? 0 : out[i - bpp], prior[i],
                                                                first ? 0 : prior[i - bpp]));
        }
        return true;
    default:
        return false;
    }
}

QImage DecodePlain(const PlainPng& png)
{
    const std::size_t channels = static_cast<std::size_t>(png.channels);
    const std::size_t rowBytes = static_cast<std::size_t>(png.width) * channels;
    const std::size_t rawBytes = (rowBytes + 1) * png.height;
    const PageBuffer raw(rawBytes);
    const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> inflater(libdeflate_alloc_decompressor());
    if (!raw || !inflater)
        return {};
    std::size_t produced = 0;
    if (libdeflate_zlib_decompress(inflater.get(), png.zdata.data(), png.zdata.size(), raw.Data(), rawBytes,
                                   &produced) != LIBDEFLATE_SUCCESS ||
        produced != rawBytes)
        return {};

    QImage image = NewPageImage(static_cast<int>(png.width), static_cast<int>(png.height), QImage::Format_RGBA8888);
    if (image.isNull())
        return {};
    // RGB rows are undone in pairs of scratch rows, then given their alpha.
    std::vector<unsigned char> rows(channels == 3 ? 2 * rowBytes : 0);
    const std::vector<unsigned char> zeros(rowBytes, 0);
    const unsigned char* prior = zeros.data();
    for (std::uint32_t y = 0; y < png.height; ++y) {
        const unsigned char* row = raw.Data() + y * (rowBytes + 1);
        unsigned char* out = channels == 4 ? image.scanLine(static_cast<int>(y)) : &rows[(y & 1) * rowBytes];
        if (!Unfilter(row[0], row + 1, out, prior, rowBytes, channels))
            return {};
        prior = out;
        if (channels == 3) {
            unsigned char* pixels = image.scanLine(static_cast<int>(y));
            for (std::uint32_t x = 0; x < png.width; ++x) {
                std::memcpy(pixels + 4 * x, out + 3 * x, 3);
                pixels[4 * x + 3] = 0xFF;
            }
        }
    }
    return image;
}

// Every other kind of PNG (palettes, grey, 16 bits, interlacing, transparency chunks).
QImage DecodeWithSpng(const unsigned char* bytes, std::size_t size)
{
    Context context(spng_ctx_new(0));
    if (!context || spng_set_png_buffer(context.get(), bytes, size) != 0)
        return {};
    // The pages come from the editor moments before: checksums guard against nothing the
    // size limits below do not already bound.
    spng_set_crc_action(context.get(), SPNG_CRC_USE, SPNG_CRC_USE);
    spng_set_chunk_limits(context.get(), 64u << 20, 64u << 20);
    spng_ihdr header{};
    if (spng_get_ihdr(context.get(), &header) != 0)
        return {};
    if (header.width == 0 || header.height == 0 ||
        static_cast<long long>(header.width) * header.height > kMaxPixels)
        return {};
    std::size_t decoded = 0;
    if (spng_decoded_image_size(context.get(), SPNG_FMT_RGBA8, &decoded) != 0)
        return {};
    QImage image(static_cast<int>(header.width), static_cast<int>(header.height), QImage::Format_RGBA8888);
    if (image.isNull() || static_cast<std::size_t>(image.sizeInBytes()) != decoded)
        return {};
    if (spng_decode_image(context.get(), image.bits(), decoded, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0)
        return {};
    spng_phys phys{};
    if (spng_get_phys(context.get(), &phys) == 0 && phys.unit_specifier == 1 && phys.ppu_x > 0 && phys.ppu_y > 0) {
        image.setDotsPerMeterX(static_cast<int>(phys.ppu_x));
        image.setDotsPerMeterY(static_cast<int>(phys.ppu_y));
    }
    return image;
}

class ChunkWriter {
public:
    explicit ChunkWriter(std::FILE* file) : m_file(file) {}

    void Write(const void* data, std::size_t size)
    {
        if (m_ok && size > 0)
            m_ok = std::fwrite(data, 1, size, m_file) == size;
    }

    void Chunk(const char* type, const unsigned char* data, std::size_t size)
    {
        unsigned char head[8];
        PutBe32(head, static_cast<std::uint32_t>(size));
        std::memcpy(head + 4, type, 4);
        Write(head, sizeof head);
        Write(data, size);
        std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
        if (size > 0)   // given no buffer, libdeflate starts the checksum over
            crc = libdeflate_crc32(crc, data, size);
        unsigned char tail[4];
        PutBe32(tail, crc);
        Write(tail, sizeof tail);
    }

    bool Ok() const { return m_ok; }

private:
    std::FILE* m_file;
    bool m_ok = true;
};

} // namespace

QImage ReadPng(const std::string& path)
{
    std::vector<unsigned char> bytes;
    if (!ReadWholeFile(path, bytes))
        return {};
    return DecodePng(bytes.data(), bytes.size());
}

QImage DecodePng(const unsigned char* data, std::size_t size)
{
    PlainPng png;
    switch (ParsePlain(data, size, png)) {
    case Parse::Damaged:
        return {};
    case Parse::Other:
        return DecodeWithSpng(data, size);
    case Parse::Plain:
        break;
    }
    if (png.width == 0 || png.height == 0 || static_cast<long long>(png.width) * png.height > kMaxPixels)
        return {};
    QImage image = DecodePlain(png);
    if (!image.isNull() && png.ppuX > 0 && png.ppuY > 0 && png.ppuX <= 0x7FFFFFFF && png.ppuY <= 0x7FFFFFFF) {
        image.setDotsPerMeterX(static_cast<int>(png.ppuX));
        image.setDotsPerMeterY(static_cast<int>(png.ppuY));
    }
    return image;
}

bool WritePngFile(const QImage& source, const std::string& path)
{
    if (source.isNull())
        return false;
    const QImage image = source.format() == QImage::Format_RGBA8888 ? source : source.convertToFormat(QImage::Format_RGBA8888);
    if (image.isNull())
        return false;

    // Unfiltered rows: on page images deflate finds the repeated paper as well as after
    // the Up filter, and both the file and the time come out smaller.
    const std::size_t rowBytes = static_cast<std::size_t>(image.width()) * 4;
    const std::size_t rawBytes = (rowBytes + 1) * static_cast<std::size_t>(image.height());
    PageBuffer raw(rawBytes);
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> deflater(
        libdeflate_alloc_compressor(kCompressionLevel));
    if (!raw || !deflater)
        return false;
    for (int y = 0; y < image.height(); ++y) {
        unsigned char* row = raw.Data() + static_cast<std::size_t>(y) * (rowBytes + 1);
        row[0] = 0;
        std::memcpy(row + 1, image.constScanLine(y), rowBytes);
    }
    const std::size_t bound = libdeflate_zlib_compress_bound(deflater.get(), rawBytes);
    const PageBuffer compressed(bound);
    if (!compressed)
        return false;
    const std::size_t compressedBytes =
        libdeflate_zlib_compress(deflater.get(), raw.Data(), rawBytes, compressed.Data(), bound);
    raw = PageBuffer();
    if (compressedBytes == 0)
        return false;

    File file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    ChunkWriter out(file.get());
    out.Write(kSignature, sizeof kSignature);
    unsigned char header[13] = {};
    PutBe32(header, static_cast<std::uint32_t>(image.width()));
    PutBe32(header + 4, static_cast<std::uint32_t>(image.height()));
    header[8] = 8;   // bits per channel
    header[9] = 6;   // RGBA
    out.Chunk("IHDR", header, sizeof header);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        unsigned char phys[9];
        PutBe32(phys, static_cast<std::uint32_t>(image.dotsPerMeterX()));
        PutBe32(phys + 4, static_cast<std::uint32_t>(image.dotsPerMeterY()));
        phys[8] = 1;   // per metre
        out.Chunk("pHYs", phys, sizeof phys);
    }
    for (std::size_t at = 0; at < compressedBytes; at += kIdatChunkBytes)
        out.Chunk("IDAT", compressed.Data() + at, std::min(kIdatChunkBytes, compressedBytes - at));
    out.Chunk("IEND", nullptr, 0);
    return out.Ok() && std::fflush(file.get()) == 0 && !std::ferror(file.get());
}

} // namespace tolvard
