// Little-endian byte reading and writing for the record streams. Every read is bounded
// by the data it reads from and throws HwpError past the end, so no size in a damaged
// file can make us read outside it or allocate more than the file holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "hwp/document.h"
#include "hwp/error.h"

namespace hwp {

class ByteReader {
public:
    ByteReader(std::string_view data, const char* what) : m_data(data), m_what(what) {}

    std::size_t Remaining() const { return m_data.size() - m_offset; }
    std::size_t Offset() const { return m_offset; }
    bool AtEnd() const { return m_offset >= m_data.size(); }

    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    std::int8_t I8() { return static_cast<std::int8_t>(U8()); }
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    std::string_view Take(std::size_t size);
    void Skip(std::size_t size) { Take(size); }
    // A WORD length followed by that many UTF-16 units.
    std::u16string Text16();
    std::u16string Units(std::size_t count);

private:
    [[noreturn]] void Short(std::size_t wanted) const;

    std::string_view m_data;
    std::size_t m_offset = 0;
    const char* m_what;
};

class ByteWriter {
public:
    void U8(std::uint8_t value) { m_out.push_back(static_cast<char>(value)); }
    void U16(std::uint16_t value);
    void U32(std::uint32_t value);
    void I8(std::int8_t value) { U8(static_cast<std::uint8_t>(value)); }
    void I16(std::int16_t value) { U16(static_cast<std::uint16_t>(value)); }
    void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
    void Raw(std::string_view bytes) { m_out.append(bytes); }
    void Raw(const Bytes& bytes) { m_out.append(bytes.begin(), bytes.end()); }
    void Zeros(std::size_t count) { m_out.append(count, '\0'); }
    // WORD length, then the units; throws HwpError past 65535 units.
    void Text16(std::u16string_view text);
    void Units(std::u16string_view text);

    std::string& Data() { return m_out; }
    std::size_t Size() const { return m_out.size(); }

private:
    std::string m_out;
};

inline std::string_view View(const SharedBytes& bytes) { return bytes.View(); }
inline Bytes ToBytes(std::string_view data) { return Bytes(data.begin(), data.end()); }
// The bytes as a reader takes them.
inline std::string_view View(const Bytes& bytes) { return {reinterpret_cast<const char*>(bytes.data()), bytes.size()}; }

// The little-endian value of `size` bytes (1..4) at `at`, which the caller has checked.
inline std::uint32_t LittleEndianAt(const Bytes& data, std::size_t at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | data[at + static_cast<std::size_t>(i)];
    return value;
}

// Writes the low `size` bytes (1..4) of `value` at `at`, little-endian, where the caller
// has checked there is room.
inline void PutLittleEndianAt(Bytes& data, std::size_t at, int size, std::uint32_t value)
{
    for (int i = 0; i < size; ++i)
        data[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace hwp
