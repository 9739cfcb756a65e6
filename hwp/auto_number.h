// Numbers that controls print: auto numbers ('atno': a page, note, picture, table or
// equation number standing in the text), new numbers ('nwno': where a count restarts),
// the page number position ('pgnp') and the number shapes all of them are written in.
//
// Each is read from its CTRL_HEADER and written back over the same bytes: what the
// model does not name stays as read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "hwp/document.h"
#include "hwp/records.h"

namespace hwp {

constexpr std::uint32_t kAutoNumberCtrlId = CtrlId('a', 't', 'n', 'o');
constexpr std::uint32_t kNewNumberCtrlId = CtrlId('n', 'w', 'n', 'o');
constexpr std::uint32_t kPageNumberPositionCtrlId = CtrlId('p', 'g', 'n', 'p');
// Page hiding ('pghd'): what its page leaves out, bits of its properties (header 0x01,
// footer 0x02, master page 0x04, border 0x08, fill 0x10, page number 0x20).
constexpr std::uint32_t kPageHidingCtrlId = CtrlId('p', 'g', 'h', 'd');

// What an auto number or new number counts (bits 0..3 of their properties).
enum class NumberKind : std::uint8_t { Page = 0, Footnote = 1, Endnote = 2, Picture = 3, Table = 4, Equation = 5 };

// Number shapes, as the format codes them (auto numbers, notes, page numbers).
namespace number_shape {
constexpr std::uint8_t kDigits = 0;            // 1, 2, 3
constexpr std::uint8_t kCircledDigits = 1;     // ①, ②, ③
constexpr std::uint8_t kUpperRoman = 2;        // I, II, III
constexpr std::uint8_t kLowerRoman = 3;        // i, ii, iii
constexpr std::uint8_t kUpperLatin = 4;        // A, B, C
constexpr std::uint8_t kLowerLatin = 5;        // a, b, c
constexpr std::uint8_t kCircledUpperLatin = 6; // Ⓐ, Ⓑ, Ⓒ
constexpr std::uint8_t kCircledLowerLatin = 7; // ⓐ, ⓑ, ⓒ
constexpr std::uint8_t kHangul = 8;            // 가, 나, 다
constexpr std::uint8_t kCircledHangul = 9;     // ㉮, ㉯, ㉰
constexpr std::uint8_t kJamo = 10;             // ㄱ, ㄴ, ㄷ
constexpr std::uint8_t kCircledJamo = 11;      // ㉠, ㉡, ㉢
constexpr std::uint8_t kHangulWords = 12;      // 일, 이, 삼
constexpr std::uint8_t kHanjaDigits = 13;      // 一, 二, 三
constexpr std::uint8_t kCircledHanja = 14;     // ㊀, ㊁, ㊂
constexpr std::uint8_t kHeavenlyStems = 15;    // 갑, 을, 병
constexpr std::uint8_t kHanjaStems = 16;       // 甲, 乙, 丙
constexpr std::uint8_t kFourSymbols = 0x80;    // *, †, ‡, § and then doubled
constexpr std::uint8_t kUserSymbol = 0x81;     // the user's symbol, repeated
}  // namespace number_shape

// `number` in `shape`; digits for a shape the format does not define or a number the
// shape has no letter for. Never empty but for a user symbol of 0.
std::u16string FormatNumber(std::uint32_t number, std::uint8_t shape, char16_t userSymbol = 0);
// The same between its decoration characters (0: none), as numbers print: "1)", "(가)".
std::u16string DecoratedNumber(char16_t prefix, std::uint32_t number, std::uint8_t shape, char16_t suffix,
                               char16_t userSymbol = 0);

struct AutoNumber {
    std::uint32_t properties = 0;   // kind bits 0..3, shape bits 4..11, superscript bit 12
    std::uint16_t number = 1;       // as the word processor last counted it
    char16_t userSymbol = 0;
    char16_t prefix = 0;            // 0: none
    char16_t suffix = 0;

    std::uint8_t Kind() const { return properties & 0x0F; }
    std::uint8_t Shape() const { return (properties >> 4) & 0xFF; }
    bool Superscript() const { return (properties & 0x1000) != 0; }
    // What it prints: prefix, the number in its shape, suffix.
    std::u16string Text() const;
};

// Empty for another control or a header too short to hold one.
std::optional<AutoNumber> ReadAutoNumber(const Control& control);
// Writes `number` over the control's header, which must be an auto number's.
void WriteAutoNumber(Control& control, const AutoNumber& number);

struct NewNumber {
    std::uint32_t properties = 0;   // kind bits 0..3
    std::uint16_t number = 1;       // the count starts again at this number

    std::uint8_t Kind() const { return properties & 0x0F; }
};
std::optional<NewNumber> ReadNewNumber(const Control& control);

// Where page numbers print (bits 8..11 of the properties).
enum class PageNumberPlace : std::uint8_t {
    None = 0, TopLeft, TopCenter, TopRight, BottomLeft, BottomCenter, BottomRight,
    OutsideTop, OutsideBottom, InsideTop, InsideBottom,
};

struct PageNumberPosition {
    std::uint32_t properties = 0;   // shape bits 0..7, place bits 8..11
    char16_t userSymbol = 0;
    char16_t prefix = 0;
    char16_t suffix = 0;
    char16_t dash = 0;

    std::uint8_t Shape() const { return properties & 0xFF; }
    PageNumberPlace Place() const;
    // What page `page` prints: prefix, the number in its shape, suffix.
    std::u16string Text(std::uint32_t page) const;
};
std::optional<PageNumberPosition> ReadPageNumberPosition(const Control& control);

}  // namespace hwp
