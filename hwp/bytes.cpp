#include "hwp/bytes.h"

namespace hwp {

void ByteReader::Short(std::size_t wanted) const
{
    throw HwpError(std::string("damaged ") + m_what + ": needs " + std::to_string(wanted) +
                   " more bytes at offset " + std::to_string(m_offset) + " but only " +
                   std::to_string(Remaining()) + " remain");
}

std::string_view ByteReader::Take(std::size_t size)
{
    if (size > Remaining())
        Short(size);
    std::string_view out = m_data.substr(m_offset, size);
    m_offset += size;
    return out;
}

std::uint8_t ByteReader::U8()
{
    return static_cast<std::uint8_t>(Take(1)[0]);
}

std::uint16_t ByteReader::U16()
{
    std::string_view b = Take(2);
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[0]) | (static_cast<std::uint8_t>(b[1]) << 8));
}

std::uint32_t ByteReader::U32()
{
    std::string_view b = Take(4);
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(b[static_cast<std::size_t>(i)]);
    return value;
}

std::u16string ByteReader::Units(std::size_t count)
{
    if (count > Remaining() / 2)
        Short(count * 2);
    std::u16string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(static_cast<char16_t>(U16()));
    return out;
}

std::u16string ByteReader::Text16()
{
    return Units(U16());
}

void ByteWriter::U16(std::uint16_t value)
{
    U8(static_cast<std::uint8_t>(value & 0xFF));
    U8(static_cast<std::uint8_t>(value >> 8));
}

void ByteWriter::U32(std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        U8(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}

void ByteWriter::Units(std::u16string_view text)
{
    for (char16_t c : text)
        U16(static_cast<std::uint16_t>(c));
}

void ByteWriter::Text16(std::u16string_view text)
{
    if (text.size() > 0xFFFF)
        throw HwpError("a name or text of " + std::to_string(text.size()) + " characters is longer than the format allows (65535)");
    U16(static_cast<std::uint16_t>(text.size()));
    Units(text);
}

}  // namespace hwp
