#include "render/deflate_join.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Deflate's bits, least significant first. Reads past the end give zeros and mark the
// reader overrun, which the caller checks once a block is through.
class BitReader {
public:
    BitReader(const unsigned char* data, std::size_t size) : m_data(data), m_bits(size * 8) {}

    std::uint32_t Peek(int count) const
    {
        const std::size_t byte = m_at >> 3;
        std::uint64_t word = 0;
        const std::size_t bytes = m_bits / 8;
        if (byte + 8 <= bytes) {
            std::memcpy(&word, m_data + byte, 8);
        } else {
            for (std::size_t i = 0; byte + i < bytes && i < 8; ++i)
                word |= static_cast<std::uint64_t>(m_data[byte + i]) << (8 * i);
        }
        return static_cast<std::uint32_t>((word >> (m_at & 7)) & ((std::uint64_t{1} << count) - 1));
    }
    void Skip(int count) { m_at += static_cast<std::size_t>(count); }
    std::uint32_t Take(int count)
    {
        const std::uint32_t value = Peek(count);
        Skip(count);
        return value;
    }
    void AlignToByte() { m_at = (m_at + 7) & ~std::size_t{7}; }
    std::size_t At() const { return m_at; }
    bool Overrun() const { return m_at > m_bits; }

private:
    const unsigned char* m_data;
    std::size_t m_bits;
    std::size_t m_at = 0;
};

// A canonical Huffman code as a table indexed by the next `bits` bits of the stream: each
// entry the symbol shifted left by 4 and the code's length (0: no code starts so).
struct Code {
    int bits = 0;
    std::vector<std::uint16_t> table;
};

bool BuildCode(const std::uint8_t* lengths, int count, Code& code)
{
    std::array<int, 16> perLength{};
    int longest = 0;
    for (int symbol = 0; symbol < count; ++symbol) {
        ++perLength[lengths[symbol]];
        longest = std::max<int>(longest, lengths[symbol]);
    }
    perLength[0] = 0;
    // Over-subscribed codes are damaged; incomplete ones are allowed (one distance code).
    int left = 1;
    for (int length = 1; length < 16; ++length) {
        left = left * 2 - perLength[length];
        if (left < 0)
            return false;
    }
    std::array<int, 16> next{};
    for (int length = 1, first = 0; length < 16; ++length) {
        first = (first + perLength[length - 1]) << 1;
        next[length] = first;
    }
    code.bits = std::max(longest, 1);
    code.table.assign(std::size_t{1} << code.bits, 0);
    for (int symbol = 0; symbol < count; ++symbol) {
        const int length = lengths[symbol];
        if (length == 0)
            continue;
        int reversed = 0;
        for (int i = 0, value = next[length]++; i < length; ++i, value >>= 1)
            reversed = (reversed << 1) | (value & 1);
        const auto entry = static_cast<std::uint16_t>((symbol << 4) | length);
        for (std::size_t at = static_cast<std::size_t>(reversed); at < code.table.size(); at += std::size_t{1} << length)
            code.table[at] = entry;
    }
    return true;
}

// The next symbol of `code`, or -1 when no code starts with the next bits.
inline int Decode(BitReader& in, const Code& code)
{
    const std::uint16_t entry = code.table[in.Peek(code.bits)];
    if ((entry & 15) == 0)
        return -1;
    in.Skip(entry & 15);
    return entry >> 4;
}

constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

bool FixedCodes(Code& literals, Code& distances)
{
    std::uint8_t lengths[288];
    std::memset(lengths, 8, 144);
    std::memset(lengths + 144, 9, 112);
    std::memset(lengths + 256, 7, 24);
    std::memset(lengths + 280, 8, 8);
    std::uint8_t distanceLengths[30];
    std::memset(distanceLengths, 5, sizeof distanceLengths);
    return BuildCode(lengths, 288, literals) && BuildCode(distanceLengths, 30, distances);
}

bool DynamicCodes(BitReader& in, Code& literals, Code& distances)
{
    static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const int literalCount = static_cast<int>(in.Take(5)) + 257;
    const int distanceCount = static_cast<int>(in.Take(5)) + 1;
    const int lengthCodes = static_cast<int>(in.Take(4)) + 4;
    if (literalCount > 286 || distanceCount > 30)
        return false;
    std::uint8_t codeLengths[19] = {};
    for (int i = 0; i < lengthCodes; ++i)
        codeLengths[kOrder[i]] = static_cast<std::uint8_t>(in.Take(3));
    Code lengthCode;
    if (!BuildCode(codeLengths, 19, lengthCode))
        return false;
    std::uint8_t lengths[286 + 30] = {};
    for (int at = 0; at < literalCount + distanceCount && !in.Overrun();) {
        const int symbol = Decode(in, lengthCode);
        if (symbol < 0)
            return false;
        if (symbol < 16) {
            lengths[at++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t value = 0;
        int repeat = 0;
        if (symbol == 16) {
            if (at == 0)
                return false;
            value = lengths[at - 1];
            repeat = 3 + static_cast<int>(in.Take(2));
        } else {
            repeat = symbol == 17 ? 3 + static_cast<int>(in.Take(3)) : 11 + static_cast<int>(in.Take(7));
        }
        if (at + repeat > literalCount + distanceCount)
            return false;
        std::memset(lengths + at, value, static_cast<std::size_t>(repeat));
        at += repeat;
    }
    if (lengths[256] == 0)   // no end of block
        return false;
    return BuildCode(lengths, literalCount, literals) && BuildCode(lengths + literalCount, distanceCount, distances);
}

// Reads one Huffman-coded block's symbols up to its end.
bool SkipCodedBlock(BitReader& in, const Code& literals, const Code& distances)
{
    for (;;) {
        const int symbol = Decode(in, literals);
        if (symbol < 0 || in.Overrun())
            return false;
        if (symbol < 256)
            continue;
        if (symbol == 256)
            return true;
        if (symbol - 257 >= 29)
            return false;
        in.Skip(kLengthExtra[symbol - 257]);
        const int distance = Decode(in, distances);
        if (distance < 0 || distance >= 30)
            return false;
        in.Skip(kDistanceExtra[distance]);
    }
}

} // namespace

bool ContinueDeflateStream(unsigned char* data, std::size_t* size)
{
    BitReader in(data, *size);
    static const auto fixed = [] {
        std::pair<Code, Code> codes;
        FixedCodes(codes.first, codes.second);
        return codes;
    }();
    Code literals;
    Code distances;
    std::size_t finalHeader = 0;
    for (bool last = false; !last;) {
        finalHeader = in.At();
        last = in.Take(1) != 0;
        const std::uint32_t type = in.Take(2);
        if (type == 0) {
            in.AlignToByte();
            const std::uint32_t length = in.Take(16);
            if ((length ^ in.Take(16)) != 0xFFFF)
                return false;
            in.Skip(static_cast<int>(length) * 8);
        } else if (type == 1) {
            if (!SkipCodedBlock(in, fixed.first, fixed.second))
                return false;
        } else if (type == 2) {
            if (!DynamicCodes(in, literals, distances) || !SkipCodedBlock(in, literals, distances))
                return false;
        } else {
            return false;
        }
        if (in.Overrun())
            return false;
    }
    const std::size_t end = in.At();
    data[finalHeader >> 3] = static_cast<unsigned char>(data[finalHeader >> 3] & ~(1u << (finalHeader & 7)));
    if ((end & 7) != 0)
        data[end >> 3] = static_cast<unsigned char>(data[end >> 3] & ((1u << (end & 7)) - 1));
    // An empty stored block: three zero header bits, zeros to the byte's end, length 0.
    const std::size_t at = (end + 3 + 7) / 8;
    for (std::size_t byte = (end + 7) / 8; byte < at; ++byte)
        data[byte] = 0;
    static const unsigned char kEmptyStored[4] = {0x00, 0x00, 0xFF, 0xFF};
    std::memcpy(data + at, kEmptyStored, sizeof kEmptyStored);
    *size = at + sizeof kEmptyStored;
    return true;
}

namespace {

// Deflate's bits, least significant first; Huffman codes go in most significant bit first.
class BitWriter {
public:
    explicit BitWriter(unsigned char* out) : m_out(out) {}
    void Put(std::uint32_t value, int count)
    {
        m_bits |= static_cast<std::uint64_t>(value) << m_count;
        m_count += count;
        while (m_count >= 8) {
            m_out[m_size++] = static_cast<unsigned char>(m_bits);
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    void PutCode(std::uint32_t code, int length)
    {
        std::uint32_t reversed = 0;
        for (int i = 0; i < length; ++i, code >>= 1)
            reversed = (reversed << 1) | (code & 1);
        Put(reversed, length);
    }
    // Pads with zeros to the byte's end; the bytes written.
    std::size_t Finish()
    {
        if (m_count > 0)
            Put(0, 8 - m_count);
        return m_size;
    }

private:
    unsigned char* m_out;
    std::size_t m_size = 0;
    std::uint64_t m_bits = 0;
    int m_count = 0;
};

// Canonical codes for `lengths` (RFC 1951, 3.2.2).
std::vector<std::uint32_t> CanonicalCodes(const std::uint8_t* lengths, int count)
{
    std::array<int, 16> perLength{};
    for (int symbol = 0; symbol < count; ++symbol)
        ++perLength[lengths[symbol]];
    perLength[0] = 0;
    std::array<std::uint32_t, 16> next{};
    for (int length = 1, code = 0; length < 16; ++length) {
        code = (code + perLength[length - 1]) << 1;
        next[length] = static_cast<std::uint32_t>(code);
    }
    std::vector<std::uint32_t> codes(static_cast<std::size_t>(count), 0);
    for (int symbol = 0; symbol < count; ++symbol) {
        if (lengths[symbol] != 0)
            codes[symbol] = next[lengths[symbol]]++;
    }
    return codes;
}

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr int kLiteralCount = 286;
constexpr int kEndOfBlock = 256;
constexpr int kLongest = 285;   // a match of 258

} // namespace

std::size_t ZeroRowsBound(std::size_t zeros, std::size_t rows)
{
    // Per row: two literals, two bits per match of 258, the rest's match; the block's head.
    return rows * ((6 + 2 * (zeros / 258) + 16) / 8 + 1) + 128;
}

std::size_t DeflateZeroRows(unsigned char filter, std::size_t zeros, std::size_t rows, unsigned char* out)
{
    // Per row: the filter byte, a zero, then zeros copied from one back: matches of 258 and
    // one for the rest (or one or two more zero literals). A code of five symbols, the
    // longest match one bit, and two distance codes (one unused) keep every code complete,
    // which readers require.
    const std::size_t tail = (zeros - 1) % 258;
    int tailSymbol = 1;   // an unused literal when there is no match for the rest
    if (tail >= 3) {
        tailSymbol = 257;
        while (tailSymbol < 284 && kLengthBase[tailSymbol - 256] <= tail)
            ++tailSymbol;
    }
    const int extra = tail >= 3 ? kLengthExtra[tailSymbol - 257] : 0;
    std::uint8_t lengths[kLiteralCount + 2] = {};
    lengths[0] = 3;
    lengths[filter] = 3;
    lengths[kEndOfBlock] = 3;
    lengths[tailSymbol] = 3;
    lengths[kLongest] = 1;
    lengths[kLiteralCount] = 1;       // distance 1
    lengths[kLiteralCount + 1] = 1;   // distance 2, unused
    // Four symbols at three bits whatever the filter byte, unused literals filling in.
    int threeBits = 0;
    for (const std::uint8_t value : lengths)
        threeBits += value == 3;
    for (int filler = 1; threeBits < 4; ++filler) {
        if (lengths[filler] == 0) {
            lengths[filler] = 3;
            ++threeBits;
        }
    }
    const std::vector<std::uint32_t> codes = CanonicalCodes(lengths, kLiteralCount);

    BitWriter bits(out);
    bits.Put(0, 1);   // not final
    bits.Put(2, 2);   // dynamic codes
    bits.Put(kLiteralCount - 257, 5);
    bits.Put(2 - 1, 5);
    // The code lengths' own code: 18 and 17 (runs of zeros) two bits, 0, 1, 3 and 16 three.
    static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    std::uint8_t lengthCodeLengths[19] = {};
    lengthCodeLengths[18] = 2;
    lengthCodeLengths[17] = 2;
    lengthCodeLengths[0] = 3;
    lengthCodeLengths[1] = 3;
    lengthCodeLengths[3] = 3;
    lengthCodeLengths[16] = 3;
    bits.Put(18 - 4, 4);
    for (int i = 0; i < 18; ++i)
        bits.Put(lengthCodeLengths[kOrder[i]], 3);
    const std::vector<std::uint32_t> lengthCodes = CanonicalCodes(lengthCodeLengths, 19);
    const auto length = [&](int symbol) { bits.PutCode(lengthCodes[symbol], lengthCodeLengths[symbol]); };
    for (int at = 0; at < kLiteralCount + 2;) {
        if (lengths[at] != 0) {
            length(lengths[at++]);
            continue;
        }
        int run = 0;
        while (at + run < kLiteralCount + 2 && lengths[at + run] == 0)
            ++run;
        at += run;
        for (; run >= 11; run -= std::min(run, 138)) {
            length(18);
            bits.Put(static_cast<std::uint32_t>(std::min(run, 138) - 11), 7);
        }
        if (run >= 3) {
            length(17);
            bits.Put(static_cast<std::uint32_t>(run - 3), 3);
            run = 0;
        }
        for (; run > 0; --run)
            length(0);
    }
    const auto symbol = [&](int value) { bits.PutCode(codes[value], lengths[value]); };
    const std::uint32_t distanceOne = 0;   // the first of two one-bit codes
    for (std::size_t row = 0; row < rows; ++row) {
        symbol(filter);
        symbol(0);
        for (std::size_t n = (zeros - 1) / 258; n > 0; --n) {
            symbol(kLongest);
            bits.Put(distanceOne, 1);
        }
        if (tail >= 3) {
            symbol(tailSymbol);
            bits.Put(static_cast<std::uint32_t>(tail - kLengthBase[tailSymbol - 257]), extra);
            bits.Put(distanceOne, 1);
        } else {
            for (std::size_t n = 0; n < tail; ++n)
                symbol(0);
        }
    }
    symbol(kEndOfBlock);
    // An empty stored block ends it on a byte boundary.
    bits.Put(0, 3);
    std::size_t size = bits.Finish();
    static const unsigned char kEmptyStored[4] = {0x00, 0x00, 0xFF, 0xFF};
    std::memcpy(out + size, kEmptyStored, sizeof kEmptyStored);
    return size + sizeof kEmptyStored;
}
