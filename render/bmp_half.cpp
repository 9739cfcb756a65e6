#include "render/bmp_half.h"

#include "render/png_stream.h"

#include <QImageReader>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

#include <emmintrin.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kChunkBytes = std::size_t{4} << 20;
constexpr std::uint64_t kLargestHalfImageBytes = std::uint64_t{1} << 30;

std::uint32_t Le16(const unsigned char* at)
{
    return at[0] | (std::uint32_t{at[1]} << 8);
}

std::uint32_t Le32(const unsigned char* at)
{
    return at[0] | (std::uint32_t{at[1]} << 8) | (std::uint32_t{at[2]} << 16) | (std::uint32_t{at[3]} << 24);
}

class FileHandle {
public:
    explicit FileHandle(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~FileHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int Fd() const { return m_fd; }

    bool ReadAt(unsigned char* into, std::size_t size, std::uint64_t offset) const
    {
        while (size > 0) {
            const ssize_t got = ::pread(m_fd, into, size, static_cast<off_t>(offset));
            if (got <= 0)
                return false;
            into += got;
            size -= static_cast<std::size_t>(got);
            offset += static_cast<std::uint64_t>(got);
        }
        return true;
    }

private:
    int m_fd;
};

// The layout of an uncompressed 24- or 32-bit bitmap, the kind page rendering writes.
struct BitmapLayout {
    std::uint64_t dataOffset = 0;
    std::uint64_t stride = 0;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 0;
    bool bottomUp = true;
};

bool ReadPlainLayout(const FileHandle& file, BitmapLayout& layout)
{
    struct stat info {};
    if (fstat(file.Fd(), &info) != 0)
        return false;
    unsigned char header[54];
    if (static_cast<std::uint64_t>(info.st_size) < sizeof header || !file.ReadAt(header, sizeof header, 0))
        return false;
    if (header[0] != 'B' || header[1] != 'M')
        return false;
    const std::uint32_t infoSize = Le32(header + 14);
    const auto width = static_cast<std::int32_t>(Le32(header + 18));
    const auto height = static_cast<std::int32_t>(Le32(header + 22));
    const std::uint32_t bits = Le16(header + 28);
    // Only BI_RGB: anything with masks, palettes or compression goes to Qt's reader.
    if (infoSize < 40 || Le16(header + 26) != 1 || Le32(header + 30) != 0 || (bits != 24 && bits != 32))
        return false;
    if (width <= 0 || width > (1 << 20) || height == 0 || height < -(1 << 20) || height > (1 << 20))
        return false;
    layout.width = width;
    layout.height = height < 0 ? -height : height;
    layout.bottomUp = height > 0;
    layout.bytesPerPixel = static_cast<int>(bits / 8);
    layout.stride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
    layout.dataOffset = Le32(header + 10);
    return layout.dataOffset >= 14 + infoSize &&
           layout.dataOffset + layout.stride * static_cast<std::uint64_t>(layout.height) <=
               static_cast<std::uint64_t>(info.st_size);
}

inline std::uint32_t AverageBlock(const unsigned char* a, const unsigned char* b, int bpp)
{
    const unsigned blue = a[0] + a[bpp] + b[0] + b[bpp] + 2;
    const unsigned green = a[1] + a[bpp + 1] + b[1] + b[bpp + 1] + 2;
    const unsigned red = a[2] + a[bpp + 2] + b[2] + b[bpp + 2] + 2;
    return 0xFF000000u | ((red >> 2) << 16) | ((green >> 2) << 8) | (blue >> 2);
}

// Eight blocks of 32-bit pixels, the same sums as AverageBlock, four bytes at a time.
inline void AverageEightBlocks(const unsigned char* a, const unsigned char* b, std::uint32_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i two = _mm_set1_epi16(2);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (int k = 0; k < 4; ++k) {
        const __m128i top = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 16 * k));
        const __m128i bottom = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * k));
        // Pixels 0 and 1 of the four in `low`, 2 and 3 in `high`, column pairs summed.
        const __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(top, zero), _mm_unpacklo_epi8(bottom, zero));
        const __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(top, zero), _mm_unpackhi_epi8(bottom, zero));
        __m128i sums = _mm_unpacklo_epi64(_mm_add_epi16(low, _mm_srli_si128(low, 8)),
                                          _mm_add_epi16(high, _mm_srli_si128(high, 8)));
        sums = _mm_srli_epi16(_mm_add_epi16(sums, two), 2);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * k), _mm_or_si128(_mm_packus_epi16(sums, sums), opaque));
    }
}

inline bool AllWhite48(const unsigned char* p)
{
    std::uint64_t words[6];
    std::memcpy(words, p, sizeof words);
    return (words[0] & words[1] & words[2] & words[3] & words[4] & words[5]) == ~std::uint64_t{0};
}

bool AllWhite(const unsigned char* p, std::size_t size)
{
    std::uint64_t all = ~std::uint64_t{0};
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        all &= word;
    }
    for (; i < size; ++i)
        all &= 0xFFFFFFFFFFFFFF00u | p[i];
    return all == ~std::uint64_t{0};
}

bool HalvePlainBitmap(const FileHandle& file, const BitmapLayout& layout, const HalfRowSink& sink)
{
    const int outWidth = layout.width / 2;
    const int outHeight = layout.height / 2;
    if (outWidth == 0 || outHeight == 0 ||
        static_cast<std::uint64_t>(outWidth) * static_cast<std::uint64_t>(outHeight) * 4 > kLargestHalfImageBytes)
        return false;
    if (!sink.begin(outWidth, outHeight))
        return false;

    // Each chunk is a run of whole row pairs, contiguous in the file in either row order.
    const std::uint64_t pairBytes = 2 * layout.stride;
    const int pairsPerChunk = static_cast<int>(std::max<std::uint64_t>(1, kChunkBytes / pairBytes));
    std::unique_ptr<unsigned char[]> chunk(new (std::nothrow) unsigned char[pairsPerChunk * pairBytes]);
    std::unique_ptr<std::uint32_t[]> row(new (std::nothrow) std::uint32_t[outWidth]);
    if (!chunk || !row)
        return false;
    const auto height = static_cast<std::uint64_t>(layout.height);
    for (int first = 0; first < outHeight; first += pairsPerChunk) {
        const int pairs = std::min(pairsPerChunk, outHeight - first);
        // Top-down source rows [2 * first, 2 * (first + pairs)).
        const std::uint64_t firstFileRow = layout.bottomUp ? height - 2 * static_cast<std::uint64_t>(first + pairs)
                                                           : 2 * static_cast<std::uint64_t>(first);
        if (!file.ReadAt(chunk.get(), pairs * pairBytes, layout.dataOffset + firstFileRow * layout.stride))
            return false;
        for (int i = 0; i < pairs; ++i) {
            const std::uint64_t topRow = 2 * static_cast<std::uint64_t>(first + i);
            const std::uint64_t topFileRow = layout.bottomUp ? height - 1 - topRow : topRow;
            const std::uint64_t bottomFileRow = layout.bottomUp ? topFileRow - 1 : topFileRow + 1;
            HalveRowPair(chunk.get() + (topFileRow - firstFileRow) * layout.stride,
                         chunk.get() + (bottomFileRow - firstFileRow) * layout.stride, layout.bytesPerPixel,
                         outWidth, row.get());
            sink.row(row.get());
        }
    }
    return true;
}

bool HalveWithReader(const std::string& path, const HalfRowSink& sink)
{
    // A 600-dpi page is close to Qt's default limit of 128 MB; allow whole pages of any size.
    static std::once_flag raised;
    std::call_once(raised, [] { QImageReader::setAllocationLimit(std::max(QImageReader::allocationLimit(), 1024)); });
    QImageReader reader(QString::fromStdString(path));
    const QImage source = reader.read();
    if (source.isNull() || source.width() < 2 || source.height() < 2)
        return false;
    const QImage half = source.convertToFormat(QImage::Format_RGB32)
                            .scaled(source.width() / 2, source.height() / 2, Qt::IgnoreAspectRatio,
                                    Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_ARGB32);
    if (half.isNull() || !sink.begin(half.width(), half.height()))
        return false;
    for (int y = 0; y < half.height(); ++y)
        sink.row(reinterpret_cast<const std::uint32_t*>(half.constScanLine(y)));
    return true;
}

} // namespace

// One row of the half-size image from the two source rows above and below. A page is
// mostly paper: white row pairs are recognised whole, and within a line of text runs of
// eight white output pixels 48 bytes at a time.
void HalveRowPair(const unsigned char* top, const unsigned char* bottom, int bpp, int outWidth, std::uint32_t* out)
{
    int x = 0;
    // Opaque white in either depth: every byte 0xFF.
    const std::size_t used = static_cast<std::size_t>(outWidth) * 2 * static_cast<std::size_t>(bpp);
    if (AllWhite(top, used) && AllWhite(bottom, used)) {
        std::fill_n(out, outWidth, 0xFFFFFFFFu);
        return;
    }
    if (bpp == 3) {
        for (; x + 8 <= outWidth; x += 8) {
            const unsigned char* a = top + 6 * x;
            const unsigned char* b = bottom + 6 * x;
            if (AllWhite48(a) && AllWhite48(b)) {
                std::fill_n(out + x, 8, 0xFFFFFFFFu);
                continue;
            }
            for (int i = 0; i < 8; ++i)
                out[x + i] = AverageBlock(a + 6 * i, b + 6 * i, 3);
        }
    } else if (bpp == 4) {
        for (; x + 8 <= outWidth; x += 8) {
            const unsigned char* a = top + 8 * x;
            const unsigned char* b = bottom + 8 * x;
            if (AllWhite(a, 64) && AllWhite(b, 64)) {
                std::fill_n(out + x, 8, 0xFFFFFFFFu);
                continue;
            }
            AverageEightBlocks(a, b, out + x);
        }
    }
    for (; x < outWidth; ++x)
        out[x] = AverageBlock(top + 2 * bpp * x, bottom + 2 * bpp * x, bpp);
}

bool HalveBitmap(const std::string& path, const HalfRowSink& sink)
{
    const FileHandle file(path);
    if (file.Fd() < 0)
        return false;
    BitmapLayout layout;
    if (ReadPlainLayout(file, layout))
        return HalvePlainBitmap(file, layout, sink);
    return HalveWithReader(path, sink);
}

QImage LoadBitmapHalfSize(const std::string& path)
{
    QImage image;
    int y = 0;
    const bool read = HalveBitmap(path, {[&](int width, int height) {
                                             image = QImage(width, height, QImage::Format_ARGB32);
                                             return !image.isNull();
                                         },
                                         [&](const std::uint32_t* row) {
                                             std::memcpy(image.scanLine(y++), row,
                                                         static_cast<std::size_t>(image.width()) * 4);
                                         }});
    return read ? image : QImage();
}

bool HalveBitmapToPng(const std::string& bitmapPath, const std::string& pngPath)
{
    std::unique_ptr<PngRowWriter> png;
    const bool read = HalveBitmap(bitmapPath, {[&](int width, int height) {
                                                   png = std::make_unique<PngRowWriter>(pngPath, width, height);
                                                   return png->IsOpen();
                                               },
                                               [&](const std::uint32_t* row) { png->WriteRow(row); }});
    // An unfinished writer removes its file.
    return read && png->Finish();
}

bool SavePng(const QImage& image, const std::string& path)
{
    if (image.isNull())
        return false;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    PngRowWriter png(path, argb.width(), argb.height());
    for (int y = 0; y < argb.height(); ++y)
        png.WriteRow(reinterpret_cast<const std::uint32_t*>(argb.constScanLine(y)));
    return png.Finish();
}
