#include "hwpx/values.h"

#include <cmath>

namespace hwpx {

hwp::ColorRef Color(const QString& text, hwp::ColorRef fallback)
{
    if (!text.startsWith(u'#') || (text.size() != 7 && text.size() != 9))
        return fallback;
    bool ok = false;
    const std::uint32_t value = text.mid(text.size() - 6).toUInt(&ok, 16);
    if (!ok)
        return fallback;
    return ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF);
}

int Code(const QString& word, std::initializer_list<const char*> words, int fallback)
{
    int i = 0;
    for (const char* candidate : words) {
        if (word == QLatin1String(candidate))
            return i;
        ++i;
    }
    return fallback;
}

std::uint8_t LineKindCode(const QString& word)
{
    return static_cast<std::uint8_t>(Code(word, {"NONE", "SOLID", "DASH", "DOT", "DASH_DOT", "DASH_DOT_DOT",
                                                 "LONG_DASH", "CIRCLE", "DOUBLE_SLIM", "SLIM_THICK", "THICK_SLIM",
                                                 "SLIM_THICK_SLIM", "WAVE", "DOUBLE_WAVE", "THICK_3D", "THICK_3D_REVERS",
                                                 "3D", "3D_REVERS"},
                                          1));
}

std::uint8_t LineWidthCode(const QString& text)
{
    static const double widths[] = {0.1, 0.12, 0.15, 0.2, 0.25, 0.3, 0.4, 0.5, 0.6, 0.7, 1.0, 1.5, 2.0, 3.0, 4.0, 5.0};
    QString number = text;
    number.remove(QLatin1String("mm")).remove(u' ');
    bool ok = false;
    const double mm = number.toDouble(&ok);
    if (!ok)
        return 0;
    std::uint8_t best = 0;
    for (std::uint8_t i = 1; i < std::size(widths); ++i) {
        if (std::fabs(widths[i] - mm) < std::fabs(widths[best] - mm))
            best = i;
    }
    return best;
}

std::uint8_t NumberShapeCode(const QString& word)
{
    return static_cast<std::uint8_t>(Code(word, {"DIGIT", "CIRCLED_DIGIT", "ROMAN_CAPITAL", "ROMAN_SMALL",
                                                 "LATIN_CAPITAL", "LATIN_SMALL", "CIRCLED_LATIN_CAPITAL",
                                                 "CIRCLED_LATIN_SMALL", "HANGUL_SYLLABLE", "CIRCLED_HANGUL_SYLLABLE",
                                                 "HANGUL_JAMO", "CIRCLED_HANGUL_JAMO", "HANGUL_PHONETIC", "IDEOGRAPH",
                                                 "CIRCLED_IDEOGRAPH", "DECAGON_CIRCLE", "DECAGON_CIRCLE_HANJA"},
                                          0));
}

std::u16string ToU16(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

QString FromU16(const std::u16string& text)
{
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace hwpx
