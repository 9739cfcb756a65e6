#include "hwp/auto_number.h"

#include "hwp/bytes.h"

#include <array>

namespace hwp {
namespace {

// The CTRL_HEADER data after the four-byte id, or null when there is none.
const Bytes* HeaderOf(const Control& control, std::uint32_t ctrlId)
{
    if (control.ctrlId != ctrlId || control.records.empty() || control.records.front().tag != tag::kCtrlHeader)
        return nullptr;
    return &control.records.front().data;
}

std::u16string Digits(std::uint32_t number)
{
    std::u16string out;
    do {
        out.insert(out.begin(), static_cast<char16_t>(u'0' + number % 10));
        number /= 10;
    } while (number > 0);
    return out;
}

std::u16string Roman(std::uint32_t number, bool upper)
{
    static constexpr std::array<std::pair<std::uint32_t, const char*>, 13> kParts{{
        {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
        {40, "XL"}, {10, "X"}, {9, "IX"}, {5, "V"}, {4, "IV"}, {1, "I"},
    }};
    std::u16string out;
    for (const auto& [value, letters] : kParts) {
        for (; number >= value; number -= value) {
            for (const char* c = letters; *c != 0; ++c)
                out += static_cast<char16_t>(upper ? *c : *c - 'A' + 'a');
        }
    }
    return out;
}

// The n-th of a cycle of letters: past the last, the letters start again.
char16_t Cycle(std::u16string_view letters, std::uint32_t number)
{
    return letters[(number - 1) % letters.size()];
}

// Written out with the ten digits, ten, hundred and thousand of `words` (one and zero
// first), as 이십삼 or 二十三; a one before ten, hundred or thousand is left out.
std::u16string Words(std::uint32_t number, std::u16string_view digits, std::u16string_view tens)
{
    if (number == 0 || number > 9999)
        return Digits(number);
    std::u16string out;
    const std::uint32_t places[] = {1000, 100, 10};
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t digit = number / places[i] % 10;
        if (digit == 0)
            continue;
        if (digit > 1)
            out += digits[digit - 1];
        out += tens[2 - i];
    }
    if (number % 10 != 0)
        out += digits[number % 10 - 1];
    return out;
}

}  // namespace

std::u16string FormatNumber(std::uint32_t number, std::uint8_t shape, char16_t userSymbol)
{
    using namespace number_shape;
    if (number == 0)
        return Digits(number);
    switch (shape) {
    case kCircledDigits:
        if (number <= 20)
            return std::u16string(1, static_cast<char16_t>(0x2460 + number - 1));
        if (number <= 35)
            return std::u16string(1, static_cast<char16_t>(0x3251 + number - 21));
        if (number <= 50)
            return std::u16string(1, static_cast<char16_t>(0x32B1 + number - 36));
        break;
    case kUpperRoman:
    case kLowerRoman:
        if (number < 4000)
            return Roman(number, shape == kUpperRoman);
        break;
    case kUpperLatin:
    case kLowerLatin:
        // After Z: AA, BB, ...
        return std::u16string((number - 1) / 26 + 1,
                              static_cast<char16_t>((shape == kUpperLatin ? u'A' : u'a') + (number - 1) % 26));
    case kCircledUpperLatin:
    case kCircledLowerLatin:
        if (number <= 26)
            return std::u16string(1, static_cast<char16_t>((shape == kCircledUpperLatin ? 0x24B6 : 0x24D0) + number - 1));
        break;
    case kHangul: return std::u16string(1, Cycle(u"가나다라마바사아자차카타파하", number));
    case kCircledHangul: return std::u16string(1, static_cast<char16_t>(0x326E + (number - 1) % 14));
    case kJamo: return std::u16string(1, Cycle(u"ㄱㄴㄷㄹㅁㅂㅅㅇㅈㅊㅋㅌㅍㅎ", number));
    case kCircledJamo: return std::u16string(1, static_cast<char16_t>(0x3260 + (number - 1) % 14));
    case kHangulWords: return Words(number, u"일이삼사오육칠팔구", u"십백천");
    case kHanjaDigits: return Words(number, u"一二三四五六七八九", u"十百千");
    case kCircledHanja:
        if (number <= 10)
            return std::u16string(1, static_cast<char16_t>(0x3280 + number - 1));
        break;
    case kHeavenlyStems: return std::u16string(1, Cycle(u"갑을병정무기경신임계", number));
    case kHanjaStems: return std::u16string(1, Cycle(u"甲乙丙丁戊己庚辛壬癸", number));
    case kFourSymbols:
        if (number <= 64)
            return std::u16string((number - 1) / 4 + 1, Cycle(u"*†‡§", number));
        break;
    case kUserSymbol:
        if (userSymbol == 0)
            return {};
        if (number <= 64)
            return std::u16string(number, userSymbol);
        break;
    default: break;
    }
    return Digits(number);
}

std::u16string DecoratedNumber(char16_t prefix, std::uint32_t number, std::uint8_t shape, char16_t suffix,
                               char16_t userSymbol)
{
    std::u16string out;
    if (prefix != 0)
        out += prefix;
    out += FormatNumber(number, shape, userSymbol);
    if (suffix != 0)
        out += suffix;
    return out;
}

std::u16string AutoNumber::Text() const
{
    return DecoratedNumber(prefix, number, Shape(), suffix, userSymbol);
}

// Auto number header: id, properties (4), number (2), user symbol, prefix, suffix (2 each).
std::optional<AutoNumber> ReadAutoNumber(const Control& control)
{
    const Bytes* data = HeaderOf(control, kAutoNumberCtrlId);
    if (data == nullptr || data->size() < 16)
        return std::nullopt;
    AutoNumber number;
    number.properties = LittleEndianAt(*data, 4, 4);
    number.number = static_cast<std::uint16_t>(LittleEndianAt(*data, 8, 2));
    number.userSymbol = static_cast<char16_t>(LittleEndianAt(*data, 10, 2));
    number.prefix = static_cast<char16_t>(LittleEndianAt(*data, 12, 2));
    number.suffix = static_cast<char16_t>(LittleEndianAt(*data, 14, 2));
    return number;
}

void WriteAutoNumber(Control& control, const AutoNumber& number)
{
    if (HeaderOf(control, kAutoNumberCtrlId) == nullptr)
        return;
    Bytes& data = control.records.front().data;
    if (data.size() < 16)
        data.resize(16, 0);
    PutLittleEndianAt(data, 4, 4, number.properties);
    PutLittleEndianAt(data, 8, 2, number.number);
    PutLittleEndianAt(data, 10, 2, number.userSymbol);
    PutLittleEndianAt(data, 12, 2, number.prefix);
    PutLittleEndianAt(data, 14, 2, number.suffix);
}

std::optional<NewNumber> ReadNewNumber(const Control& control)
{
    const Bytes* data = HeaderOf(control, kNewNumberCtrlId);
    if (data == nullptr || data->size() < 10)
        return std::nullopt;
    return NewNumber{LittleEndianAt(*data, 4, 4), static_cast<std::uint16_t>(LittleEndianAt(*data, 8, 2))};
}

PageNumberPlace PageNumberPosition::Place() const
{
    const std::uint32_t place = (properties >> 8) & 0x0F;
    return place <= static_cast<std::uint32_t>(PageNumberPlace::InsideBottom) ? static_cast<PageNumberPlace>(place)
                                                                             : PageNumberPlace::None;
}

std::u16string PageNumberPosition::Text(std::uint32_t page) const
{
    return DecoratedNumber(prefix, page, Shape(), suffix, userSymbol);
}

// Page number position header: id, properties (4), user symbol, prefix, suffix, dash.
std::optional<PageNumberPosition> ReadPageNumberPosition(const Control& control)
{
    const Bytes* data = HeaderOf(control, kPageNumberPositionCtrlId);
    if (data == nullptr || data->size() < 14)
        return std::nullopt;
    PageNumberPosition position;
    position.properties = LittleEndianAt(*data, 4, 4);
    position.userSymbol = static_cast<char16_t>(LittleEndianAt(*data, 8, 2));
    position.prefix = static_cast<char16_t>(LittleEndianAt(*data, 10, 2));
    position.suffix = static_cast<char16_t>(LittleEndianAt(*data, 12, 2));
    if (data->size() >= 16)
        position.dash = static_cast<char16_t>(LittleEndianAt(*data, 14, 2));
    return position;
}

}  // namespace hwp
