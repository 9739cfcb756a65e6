#include "render/png_stream.h"

#include <bit>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

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

bool WriteAll(int fd, const unsigned char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
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
    if (deflateInit2(&m_zip, 1, Z_DEFLATED, 15, kMemoryLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        return;
    m_zipOpen = true;
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    m_previous.assign(rowBytes, 0);
    m_filtered.resize(rowBytes + 1);
    m_out.resize(kChunkData);

    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    m_failed = !WriteAll(m_fd, kSignature, sizeof kSignature);
    unsigned char header[13] = {};
    PutBe32(header, static_cast<std::uint32_t>(width));
    PutBe32(header + 4, static_cast<std::uint32_t>(height));
    header[8] = 8; // bits per channel
    header[9] = 6; // RGBA
    WriteChunk("IHDR", header, sizeof header);
    m_zip.next_out = m_out.data();
    m_zip.avail_out = static_cast<uInt>(m_out.size());
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
    m_failed = !WriteAll(m_fd, head, sizeof head) || (size > 0 && !WriteAll(m_fd, data, size)) ||
               !WriteAll(m_fd, tail, sizeof tail);
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
    if (m_rows > 0 && std::memcmp(argb, m_previous.data(), rowBytes) == 0) {
        std::memset(out, 0, rowBytes);
    } else {
        const auto* previous = reinterpret_cast<const std::uint32_t*>(m_previous.data());
        for (int x = 0; x < m_width; ++x) {
            // R, G, B, A in memory order on a little-endian machine, minus the row above
            // byte by byte without borrows between the bytes.
            const std::uint32_t now = ToRgba(argb[x]);
            const std::uint32_t above = m_rows > 0 ? ToRgba(previous[x]) : 0;
            const std::uint32_t difference =
                ((now | 0x80808080u) - (above & 0x7F7F7F7Fu)) ^ ((now ^ ~above) & 0x80808080u);
            std::memcpy(out + 4 * static_cast<std::size_t>(x), &difference, 4);
        }
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
        WriteChunk("IEND", nullptr, 0);
    }
    const bool closed = ::close(m_fd) == 0;
    m_fd = -1;
    m_finished = m_rows == m_height && !m_failed && closed;
    if (!m_finished)
        ::unlink(m_path.c_str());
    return m_finished;
}
