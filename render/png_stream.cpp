#include "render/png_stream.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include <emmintrin.h>
#include <fcntl.h>
#include <unistd.h>

#include "support/write_failure.h"

namespace {

constexpr std::size_t kChunkData = std::size_t{1} << 18;
constexpr unsigned char kUpFilter = 2;
// zlib slides its hash table with the window, every 32 KB of input: at the default size
// that sweep cost a fifth of a full page's writing. 6 measured 15 % fewer instructions
// for the whole image and a file no larger.
constexpr int kMemoryLevel = 6;

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

PngRowWriter::PngRowWriter(const std::string& path, int width, int height)
    : m_path(path), m_width(width), m_height(height)
{
    static_assert(std::endian::native == std::endian::little, "rows are assembled as little-endian words");
    if (width <= 0 || height <= 0)
        return;
    // Fastest level: page images are mostly paper, and the cropper reads them right away.
    // Raw deflate inside the zlib header and checksum written here: zlib's own checksum
    // cost more than a tenth of the whole image.
    if (deflateInit2(&m_zip, 1, Z_DEFLATED, -15, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        return;
    m_zipOpen = true;
    // A new file, never the old one truncated: a hard link to it (a package being staged
    // beside the current one) keeps the old bytes.
    ::unlink(path.c_str());
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) {
        NoteWriteFailure(errno, path);
        return;
    }
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    m_previous.assign(rowBytes, 0);
    m_filtered.resize(rowBytes + 1);
    m_out.resize(kChunkData);

    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    errno = 0;
    m_failed = !WriteAll(m_fd, kSignature, sizeof kSignature);
    if (m_failed)
        NoteWriteFailure(errno, path);
    unsigned char header[13] = {};
    PutBe32(header, static_cast<std::uint32_t>(width));
    PutBe32(header + 4, static_cast<std::uint32_t>(height));
    header[8] = 8; // bits per channel
    header[9] = 6; // RGBA
    WriteChunk("IHDR", header, sizeof header);
    // Deflate with a 32 KB window at its fastest level.
    m_out[0] = 0x78;
    m_out[1] = 0x01;
    m_zip.next_out = m_out.data() + 2;
    m_zip.avail_out = static_cast<uInt>(m_out.size() - 2);
}

PngRowWriter::~PngRowWriter()
{
    if (m_zipOpen)
        deflateEnd(&m_zip);
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
    uLong crc = crc32(0, head + 4, 4);
    if (size > 0) // a null buffer would restart the checksum
        crc = crc32(crc, data, static_cast<uInt>(size));
    unsigned char tail[4];
    PutBe32(tail, static_cast<std::uint32_t>(crc));
    errno = 0;
    m_failed = !WriteAll(m_fd, head, sizeof head) || (size > 0 && !WriteAll(m_fd, data, size)) ||
               !WriteAll(m_fd, tail, sizeof tail);
    if (m_failed)
        NoteWriteFailure(errno, m_path);
}

void PngRowWriter::Deflate(int flush)
{
    for (;;) {
        const int result = deflate(&m_zip, flush);
        if (result == Z_STREAM_ERROR) {
            m_failed = true;
            return;
        }
        if (m_zip.avail_out == 0 || (flush == Z_FINISH && result == Z_STREAM_END)) {
            WriteChunk("IDAT", m_out.data(), m_out.size() - m_zip.avail_out);
            m_zip.next_out = m_out.data();
            m_zip.avail_out = static_cast<uInt>(m_out.size());
        }
        if (flush == Z_FINISH ? result == Z_STREAM_END : m_zip.avail_in == 0)
            return;
        if (m_failed)
            return;
    }
}

void PngRowWriter::WriteRow(const std::uint32_t* argb)
{
    if (m_fd < 0 || m_failed || m_rows >= m_height)
        return;
    const std::size_t rowBytes = static_cast<std::size_t>(m_width) * 4;
    unsigned char* out = m_filtered.data() + 1;
    m_filtered[0] = kUpFilter;
    m_adler = Adler32(m_adler, &kUpFilter, 1);
    if (m_rows > 0 && std::memcmp(argb, m_previous.data(), rowBytes) == 0) {
        std::memset(out, 0, rowBytes);
        m_adler = Adler32OfZeros(m_adler, rowBytes);
    } else {
        UpDifferences(argb, reinterpret_cast<const std::uint32_t*>(m_previous.data()), m_width, out);
        m_adler = Adler32(m_adler, out, rowBytes);
        std::memcpy(m_previous.data(), argb, rowBytes);
    }
    m_zip.next_in = m_filtered.data();
    m_zip.avail_in = static_cast<uInt>(m_filtered.size());
    Deflate(Z_NO_FLUSH);
    ++m_rows;
}

bool PngRowWriter::Finish()
{
    if (m_fd < 0 || m_finished)
        return m_finished;
    if (m_rows == m_height && !m_failed) {
        m_zip.next_in = nullptr;
        m_zip.avail_in = 0;
        Deflate(Z_FINISH);
        unsigned char checksum[4];
        PutBe32(checksum, m_adler);
        WriteChunk("IDAT", checksum, sizeof checksum);
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
