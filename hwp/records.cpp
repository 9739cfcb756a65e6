#include "hwp/records.h"

#include <zlib.h>

#include "hwp/bytes.h"
#include "hwp/error.h"

namespace hwp {

std::vector<Record> ParseRecords(std::string_view stream, const char* what)
{
    std::vector<Record> records;
    ByteReader in(stream, what);
    while (!in.AtEnd()) {
        const std::uint32_t header = in.U32();
        Record record;
        record.tag = static_cast<std::uint16_t>(header & 0x3FF);
        record.level = static_cast<std::uint16_t>((header >> 10) & 0x3FF);
        std::uint32_t size = header >> 20;
        if (size == 0xFFF)
            size = in.U32();
        if (size > in.Remaining())
            throw HwpError(std::string("damaged ") + what + ": a record of " + std::to_string(size) +
                           " bytes runs past the end of the stream (" + std::to_string(in.Remaining()) + " bytes left)");
        record.data = in.Take(size);
        records.push_back(record);
    }
    return records;
}

void AppendRecord(std::string& stream, std::uint16_t tag, std::uint16_t level, std::string_view data)
{
    ByteWriter out;
    const bool extended = data.size() >= 0xFFF;
    const std::uint32_t size = extended ? 0xFFFu : static_cast<std::uint32_t>(data.size());
    out.U32((tag & 0x3FFu) | ((level & 0x3FFu) << 10) | (size << 20));
    if (extended)
        out.U32(static_cast<std::uint32_t>(data.size()));
    stream += out.Data();
    stream.append(data);
}

std::string InflateRaw(std::string_view compressed, const char* what, std::size_t limit)
{
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK)
        throw HwpError("cannot start decompression");
    std::string out;
    char buffer[16384];
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    z.avail_in = static_cast<uInt>(compressed.size());
    int status = Z_OK;
    while (status != Z_STREAM_END) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        status = inflate(&z, Z_NO_FLUSH);
        if (status != Z_OK && status != Z_STREAM_END) {
            inflateEnd(&z);
            throw HwpError(std::string("damaged ") + what + ": its compressed data " +
                           (status == Z_BUF_ERROR ? "ends too early" : "is not valid"));
        }
        out.append(buffer, sizeof buffer - z.avail_out);
        if (out.size() > limit) {
            inflateEnd(&z);
            throw HwpError(std::string("damaged ") + what + ": it unpacks to more than " +
                           std::to_string(limit >> 20) + " MB");
        }
    }
    inflateEnd(&z);
    return out;
}

std::string DeflateRaw(std::string_view data)
{
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw HwpError("cannot start compression");
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END)
        throw HwpError("compression failed");
    return out;
}

std::string CtrlIdText(std::uint32_t id)
{
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((id >> shift) & 0xFF);
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return out;
}

}  // namespace hwp
