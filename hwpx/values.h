// The vocabulary HWPX parts spell in words ("SOLID", "#FF0000", "0.12 mm"), turned into
// the model's codes; shared by the header and section readers.
#pragma once

#include <QString>

#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>

#include "hwp/document.h"
#include "hwpx/xml.h"

namespace hwpx {

// "#RRGGBB" (or "#AARRGGBB") as 0x00BBGGRR; "none" or anything unreadable is `fallback`.
hwp::ColorRef Color(const QString& text, hwp::ColorRef fallback = hwp::kNoColor);

// The index of `word` in `words`, or `fallback`.
int Code(const QString& word, std::initializer_list<const char*> words, int fallback = 0);

// Line kinds of borders and underlines, in the model's numbering.
std::uint8_t LineKindCode(const QString& word);
// A border line width ("0.12 mm") as the index of the model's width table.
std::uint8_t LineWidthCode(const QString& text);
// A number shape ("DIGIT", "CIRCLED_HANGUL_SYLLABLE", ...) as the model's code.
std::uint8_t NumberShapeCode(const QString& word);

std::u16string ToU16(const QString& text);
QString FromU16(const std::u16string& text);

// Clamped integer attribute.
template <typename T>
T Num(const XmlNode& node, QStringView key, long long fallback = 0)
{
    const long long value = node.Int(key, fallback);
    if (value < static_cast<long long>(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    if (value > static_cast<long long>(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    return static_cast<T>(value);
}

}  // namespace hwpx
