#include "tools/tolvard/png_io.h"

#include <spng.h>

#include <cmath>
#include <cstdio>
#include <memory>

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

constexpr double kInchesPerMeter = 39.3701;

} // namespace

QImage ReadPng(const std::string& path)
{
    File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        return {};
    Context context(spng_ctx_new(0));
    if (!context || spng_set_png_file(context.get(), file.get()) != 0)
        return {};
    // The pages come from the editor moments before: checksums would cost a fifth of the
    // decode and guard against nothing the size limits below do not already bound.
    spng_set_crc_action(context.get(), SPNG_CRC_USE, SPNG_CRC_USE);
    spng_set_chunk_limits(context.get(), 64u << 20, 64u << 20);
    spng_ihdr header{};
    if (spng_get_ihdr(context.get(), &header) != 0)
        return {};
    if (header.width == 0 || header.height == 0 ||
        static_cast<long long>(header.width) * header.height > kMaxPixels)
        return {};
    // Our own page images are 8-bit RGBA already: their rows need no conversion.
    const bool native = header.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA && header.bit_depth == 8;
    const int format = native ? SPNG_FMT_PNG : SPNG_FMT_RGBA8;
    std::size_t size = 0;
    if (spng_decoded_image_size(context.get(), format, &size) != 0)
        return {};
    QImage image(static_cast<int>(header.width), static_cast<int>(header.height), QImage::Format_RGBA8888);
    if (image.isNull() || static_cast<std::size_t>(image.sizeInBytes()) != size)
        return {};
    if (spng_decode_image(context.get(), image.bits(), size, format, native ? 0 : SPNG_DECODE_TRNS) != 0)
        return {};
    spng_phys phys{};
    if (spng_get_phys(context.get(), &phys) == 0 && phys.unit_specifier == 1 && phys.ppu_x > 0 && phys.ppu_y > 0) {
        image.setDotsPerMeterX(static_cast<int>(phys.ppu_x));
        image.setDotsPerMeterY(static_cast<int>(phys.ppu_y));
    }
    return image;
}

bool WritePngFile(const QImage& source, const std::string& path)
{
    if (source.isNull())
        return false;
    const QImage image = source.format() == QImage::Format_RGBA8888 ? source : source.convertToFormat(QImage::Format_RGBA8888);
    File file(std::fopen(path.c_str(), "wb"));
    if (!file)
        return false;
    Context context(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!context || spng_set_png_file(context.get(), file.get()) != 0)
        return false;
    spng_ihdr header{};
    header.width = static_cast<std::uint32_t>(image.width());
    header.height = static_cast<std::uint32_t>(image.height());
    header.bit_depth = 8;
    header.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    if (spng_set_ihdr(context.get(), &header) != 0)
        return false;
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        spng_phys phys{};
        phys.ppu_x = static_cast<std::uint32_t>(image.dotsPerMeterX());
        phys.ppu_y = static_cast<std::uint32_t>(image.dotsPerMeterY());
        phys.unit_specifier = 1;
        spng_set_phys(context.get(), &phys);
    }
    // Page images are mostly white rows: Up filtering and the fastest deflate level give
    // nearly the size of the best settings at a fraction of the time.
    spng_set_option(context.get(), SPNG_FILTER_CHOICE, SPNG_FILTER_CHOICE_UP);
    spng_set_option(context.get(), SPNG_IMG_COMPRESSION_LEVEL, 1);
    // A smaller hash than zlib's default: its sweep with every 32 KB of input is a fifth of
    // a page's deflate at level 1, and the file comes out no larger.
    spng_set_option(context.get(), SPNG_IMG_MEM_LEVEL, 6);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width()) * 4;
    if (static_cast<std::size_t>(image.bytesPerLine()) == rowBytes) {
        if (spng_encode_image(context.get(), image.constBits(), rowBytes * static_cast<std::size_t>(image.height()),
                              SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) != 0)
            return false;
    } else {
        if (spng_encode_image(context.get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE) != 0)
            return false;
        for (int y = 0; y < image.height(); ++y) {
            const int status = spng_encode_row(context.get(), image.constScanLine(y), rowBytes);
            if (status != 0 && status != SPNG_EOI)
                return false;
        }
    }
    context.reset();   // the encoder writes the last chunks before the file closes
    return std::fflush(file.get()) == 0 && !std::ferror(file.get());
}

} // namespace tolvard
