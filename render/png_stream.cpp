#include "render/png_stream.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include <emmintrin.h>
#include <fcntl.h>
#include <unistd.h>

#include "render/deflate_join.h"
#include "support/write_failure.h"

#include <libdeflate.h>

namespace {

// Rows are compressed once this many bytes of them wait: a hundred rows of a page at
// 300 dpi, compressed while the next are painted.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
// On page rows level 2 is faster than zlib's level 1 and a quarter smaller; higher levels
// cost more than they save.
constexpr int kCompressionLevel = 2;
constexpr unsigned char kUpFilter = 2;

void PutBe32(unsigned char* at, std::uint32_t value)
{
    at[0] = static_cast<unsigned char>(value >> 24);
    at[1] = static_cast<unsigned char>(value >> 16);
    at[2] = static_cast<unsigned char>(value >> 8);
    at[3] = static_cast<unsigned char>(value);
}

// 0xAARRGGBB to the bytes R, G, B, A in memory (little-endian).
inline std::uint32_t ToRgba(std::uint32_t argb)
{
    return ((argb >> 16) & 0xFFu) | (argb & 0xFF00FF00u) | ((argb & 0xFFu) << 16);
}

// One row minus the row above, byte by byte, as R, G, B, A bytes. The row above of the
// first row is all zeros.
void UpDifferences(const std::uint32_t* argb, const std::uint32_t* above, int width, unsigned char* out)
{
    int x = 0;
    const __m128i redBlue = _mm_set1_epi32(0x00FF00FF);
    for (; x + 4 <= width; x += 4) {
        const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(argb + x));
        const __m128i up = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + x));
        // B, G, R, A in memory: the differences, then red and blue swapped.
        const __m128i difference = _mm_sub_epi8(now, up);
        const __m128i rb = _mm_and_si128(difference, redBlue);
        const __m128i swapped = _mm_or_si128(_mm_andnot_si128(redBlue, difference),
                                             _mm_or_si128(_mm_srli_epi32(rb, 16), _mm_slli_epi32(rb, 16)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * static_cast<std::size_t>(x)), swapped);
    }
    for (; x < width; ++x) {
        // Without borrows between the bytes.
        const std::uint32_t now = ToRgba(argb[x]);
        const std::uint32_t up = ToRgba(above[x]);
        const std::uint32_t difference = ((now | 0x80808080u) - (up & 0x7F7F7F7Fu)) ^ ((now ^ ~up) & 0x80808080u);
        std::memcpy(out + 4 * static_cast<std::size_t>(x), &difference, 4);
    }
}

// The grey levels of a row into `out`; false, with `out` partly written, at the first
// pixel that is not opaque grey.
bool GreyLevels(const std::uint32_t* argb, int width, unsigned char* out)
{
    int x = 0;
    const __m128i low = _mm_set1_epi32(0xFF);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; x + 4 <= width; x += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(argb + x));
        const __m128i blue = _mm_and_si128(pixels, low);
        const __m128i grey = _mm_or_si128(_mm_or_si128(blue, _mm_slli_epi32(blue, 8)),
                                          _mm_or_si128(_mm_slli_epi32(blue, 16), opaque));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(pixels, grey)) != 0xFFFF)
            return false;
        const __m128i words = _mm_packs_epi32(blue, blue);
        const int bytes = _mm_cvtsi128_si32(_mm_packus_epi16(words, words));
        std::memcpy(out + x, &bytes, 4);
    }
    for (; x < width; ++x) {
        const std::uint32_t level = argb[x] & 0xFFu;
        if (argb[x] != (0xFF000000u | level * 0x010101u))
            return false;
        out[x] = static_cast<unsigned char>(level);
    }
    return true;
}

void GreyUpDifferences(const unsigned char* grey, const unsigned char* above, std::size_t width, unsigned char* out)
{
    std::size_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i now = _mm_loadu_si128(reinterpret_cast<const __m128i*>(grey + x));
        const __m128i up = _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_sub_epi8(now, up));
    }
    for (; x < width; ++x)
        out[x] = static_cast<unsigned char>(grey[x] - above[x]);
}

constexpr std::uint32_t kAdlerBase = 65521;

// The zlib checksum of `data` continued from `adler`, sixteen bytes at a time. Per block
// short enough that no lane overflows: the running sum grows by each byte, the weighted
// sum by each byte times its distance from the block's end.
std::uint32_t Adler32(std::uint32_t adler, const unsigned char* data, std::size_t size)
{
    std::uint64_t a = adler & 0xFFFFu;
    std::uint64_t b = adler >> 16;
    const __m128i zero = _mm_setzero_si128();
    const __m128i weightsLow = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i weightsHigh = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    const auto lanes = [](__m128i v) {
        alignas(16) std::uint32_t parts[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(parts), v);
        return static_cast<std::uint64_t>(parts[0]) + parts[1] + parts[2] + parts[3];
    };
    while (size >= 16) {
        const std::size_t chunks = std::min<std::size_t>(size / 16, 340);
        __m128i sums = zero;    // bytes so far in this block
        __m128i earlier = zero; // `sums` before each chunk, added up
        __m128i weighted = zero;
        for (std::size_t i = 0; i < chunks; ++i, data += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
            earlier = _mm_add_epi32(earlier, sums);
            sums = _mm_add_epi32(sums, _mm_sad_epu8(bytes, zero));
            weighted = _mm_add_epi32(weighted, _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero), weightsLow),
                                                             _mm_madd_epi16(_mm_unpackhi_epi8(bytes, zero), weightsHigh)));
        }
        b = (b + 16 * chunks * a + 16 * lanes(earlier) + lanes(weighted)) % kAdlerBase;
        a = (a + lanes(sums)) % kAdlerBase;
        size -= 16 * chunks;
    }
    for (; size > 0; --size) {
        a += *data++;
        b += a;
    }
    return static_cast<std::uint32_t>(((b % kAdlerBase) << 16) | (a % kAdlerBase));
}

// The same over `count` zero bytes.
std::uint32_t Adler32OfZeros(std::uint32_t adler, std::size_t count)
{
    const std::uint64_t a = adler & 0xFFFFu;
    const std::uint64_t b = ((adler >> 16) + (count % kAdlerBase) * a) % kAdlerBase;
    return static_cast<std::uint32_t>((b << 16) | a);
}

bool WriteAll(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

} // namespace

PngRowWriter::PngRowWriter(const std::string& path, int width, int height, PngColours colours)
    : m_path(path), m_width(width), m_height(height), m_grey(colours == PngColours::GreyWhenAllGrey)
{
    static_assert(std::endian::native == std::endian::little, "rows are assembled as little-endian words");
    if (width <= 0 || height <= 0)
        return;
    m_compressor = libdeflate_alloc_compressor(kCompressionLevel);
    if (m_compressor == nullptr)
        return;
    // A new file, never the old one truncated: a hard link to it (a package being staged
    // beside the current one) keeps the old bytes.
    ::unlink(path.c_str());
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        NoteWriteFailure(errno, path);
        return;
    }
    WriteHeader();
}

void PngRowWriter::WriteHeader()
{
    const std::size_t rowBytes = RowBytes();
    m_previous.assign(rowBytes, 0);
    if (m_grey) {
        // Reserved, not touched: a page of paper keeps few rows.
        m_greyRows.reserve(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height));
        m_greyRowStarts.reserve(static_cast<std::size_t>(m_height));
    }
    // At least one row, however wide.
    m_rowsWaiting.resize(std::max(kPieceBytes, rowBytes + 1));
    // The zlib header, the piece, the empty block that continues it, the checksum.
    m_out.resize(2 + libdeflate_deflate_compress_bound(m_compressor, m_rowsWaiting.size()) + 5 + 4);

    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    errno = 0;
    m_failed = !WriteAll(m_fd, kSignature, sizeof kSignature);
    if (m_failed)
        NoteWriteFailure(errno, m_path);
    unsigned char header[13] = {};
    PutBe32(header, static_cast<std::uint32_t>(m_width));
    PutBe32(header + 4, static_cast<std::uint32_t>(m_height));
    header[8] = 8;                       // bits per channel
    header[9] = m_grey ? 0 : 6;          // grey or RGBA
    WriteChunk("IHDR", header, sizeof header);
}

void PngRowWriter::BecomeRgba()
{
    std::vector<unsigned char> grey = std::move(m_greyRows);
    std::vector<std::size_t> starts = std::move(m_greyRowStarts);
    m_greyRows = {};
    m_greyRowStarts = {};
    const int rows = m_rows;
    m_grey = false;
    m_rows = 0;
    m_adler = 1;
    m_started = false;
    m_waiting = 0;
    m_repeated = 0;
    errno = 0;
    if (::lseek(m_fd, 0, SEEK_SET) != 0 || ::ftruncate(m_fd, 0) != 0) {
        m_failed = true;
        NoteWriteFailure(errno, m_path);
        return;
    }
    WriteHeader();
    std::vector<std::uint32_t> argb(static_cast<std::size_t>(m_width));
    for (int y = 0; y < rows && !m_failed; ++y) {
        const unsigned char* levels = grey.data() + starts[static_cast<std::size_t>(y)];
        for (int x = 0; x < m_width; ++x)
            argb[static_cast<std::size_t>(x)] = 0xFF000000u | levels[x] * 0x010101u;
        WriteRow(argb.data());
    }
}

PngRowWriter::~PngRowWriter()
{
    if (m_compressor != nullptr)
        libdeflate_free_compressor(m_compressor);
    if (m_fd >= 0) {
        ::close(m_fd);
        if (!m_finished)
            ::unlink(m_path.c_str());
    }
}

void PngRowWriter::WriteChunk(const char* type, const unsigned char* data, std::size_t size)
{
    if (m_failed)
        return;
    unsigned char head[8];
    PutBe32(head, static_cast<std::uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = libdeflate_crc32(0, head + 4, 4);
    if (size > 0) // given no buffer, libdeflate starts the checksum over
        crc = libdeflate_crc32(crc, data, size);
    unsigned char tail[4];
    PutBe32(tail, crc);
    errno = 0;
    m_failed = !WriteAll(m_fd, head, sizeof head) || (size > 0 && !WriteAll(m_fd, data, size)) ||
               !WriteAll(m_fd, tail, sizeof tail);
    if (m_failed)
        NoteWriteFailure(errno, m_path);
}

std::size_t PngRowWriter::StreamHeader()
{
    if (m_started)
        return 0;
    // Deflate with a 32 KB window, compressed fast.
    m_out[0] = 0x78;
    m_out[1] = 0x01;
    m_started = true;
    return 2;
}

void PngRowWriter::WriteRepeatedRows()
{
    const std::size_t rowBytes = RowBytes();
    // As many rows to a block as the buffer holds.
    const std::size_t perRow = ZeroRowsBound(rowBytes, 1);
    while (m_repeated > 0 && !m_failed) {
        const std::size_t rows = std::min(m_repeated, std::max<std::size_t>(1, (m_out.size() - 256) / perRow));
        std::size_t at = StreamHeader();
        at += DeflateZeroRows(kUpFilter, rowBytes, rows, m_out.data() + at);
        WriteChunk("IDAT", m_out.data(), at);
        m_repeated -= rows;
    }
}

void PngRowWriter::Deflate(bool last)
{
    if (m_failed)
        return;
    std::size_t at = StreamHeader();
    std::size_t size = libdeflate_deflate_compress(m_compressor, m_rowsWaiting.data(), m_waiting, m_out.data() + at,
                                                   m_out.size() - at - 5 - 4);
    m_waiting = 0;
    if (size == 0 || (!last && !ContinueDeflateStream(m_out.data() + at, &size))) {
        m_failed = true;
        return;
    }
    at += size;
    if (last) {
        PutBe32(m_out.data() + at, m_adler);
        at += 4;
    }
    WriteChunk("IDAT", m_out.data(), at);
}

void PngRowWriter::WriteRow(const std::uint32_t* argb)
{
    if (m_fd < 0 || m_failed || m_rows >= m_height)
        return;
    const unsigned char* row = reinterpret_cast<const unsigned char*>(argb);
    if (m_grey) {
        const std::size_t width = static_cast<std::size_t>(m_width);
        const std::size_t at = m_greyRows.size();
        // Within the room reserved for the page: the rows never move.
        m_greyRows.resize(at + width);
        if (!GreyLevels(argb, m_width, m_greyRows.data() + at)) {
            m_greyRows.resize(at);
            BecomeRgba();
            if (m_failed)
                return;
        } else {
            const bool repeats = at >= width && std::memcmp(m_greyRows.data() + at - width, m_greyRows.data() + at, width) == 0;
            if (repeats)
                m_greyRows.resize(at);
            m_greyRowStarts.push_back(repeats ? at - width : at);
            row = m_greyRows.data() + m_greyRowStarts.back();
        }
    }
    const std::size_t rowBytes = RowBytes();
    m_adler = Adler32(m_adler, &kUpFilter, 1);
    // Paper repeating the row above is zeros once filtered: written straight, not compressed.
    if (m_rows > 0 && std::memcmp(row, m_previous.data(), rowBytes) == 0) {
        if (m_waiting > 0)
            Deflate(false);
        m_adler = Adler32OfZeros(m_adler, rowBytes);
        ++m_repeated;
        ++m_rows;
        return;
    }
    WriteRepeatedRows();
    if (m_waiting + rowBytes + 1 > m_rowsWaiting.size())
        Deflate(false);
    unsigned char* filtered = m_rowsWaiting.data() + m_waiting;
    filtered[0] = kUpFilter;
    if (m_grey)
        GreyUpDifferences(row, m_previous.data(), rowBytes, filtered + 1);
    else
        UpDifferences(argb, reinterpret_cast<const std::uint32_t*>(m_previous.data()), m_width, filtered + 1);
    m_adler = Adler32(m_adler, filtered + 1, rowBytes);
    std::memcpy(m_previous.data(), row, rowBytes);
    m_waiting += rowBytes + 1;
    ++m_rows;
}

bool PngRowWriter::Finish()
{
    if (m_fd < 0 || m_finished)
        return m_finished;
    if (m_rows == m_height && !m_failed) {
        WriteRepeatedRows();
        if (m_waiting > 0) {
            Deflate(true);
        } else {
            // The stream ends with an empty final stored block, then the checksum.
            std::size_t at = StreamHeader();
            static const unsigned char kLastEmpty[5] = {0x01, 0x00, 0x00, 0xFF, 0xFF};
            std::memcpy(m_out.data() + at, kLastEmpty, sizeof kLastEmpty);
            PutBe32(m_out.data() + at + sizeof kLastEmpty, m_adler);
            WriteChunk("IDAT", m_out.data(), at + sizeof kLastEmpty + 4);
        }
        WriteChunk("IEND", nullptr, 0);
    }
    const bool closed = ::close(m_fd) == 0;
    if (!closed && !m_failed)
        NoteWriteFailure(errno, m_path);
    m_fd = -1;
    m_finished = m_rows == m_height && !m_failed && closed;
    if (!m_finished)
        ::unlink(m_path.c_str());
    return m_finished;
}
