// What the MathML and the TeX writers share: how a tree's characters are told apart.
#pragma once

#include <string>

#include "math/script.h"

namespace math {

inline std::string Utf32ToUtf8(const std::u32string& text)
{
    std::string out;
    for (char32_t c : text) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// Hangul and CJK: words of the sentence around the equation, not variables.
inline bool IsRunningText(const std::u32string& text)
{
    for (char32_t c : text)
        if ((c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
            (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3040 && c <= 0x30FF))
            return true;
    return false;
}

inline bool IsLetter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= 0x391 && c <= 0x3F5) || c == 0x221E ||
           c == 0x2202 || c == 0x2207 || c == 0x211C || c == 0x2111 || c == 0x210F || c == 0x2113 || c == 0x2205 ||
           c == 0x2135;
}

// Names and letters (identifiers), as opposed to operators and punctuation.
inline bool IsLetterOrSymbolWord(const std::u32string& text)
{
    if (text.empty()) return false;
    for (char32_t c : text)
        if (!IsLetter(c)) return false;
    return true;
}

struct MatrixFences {
    char32_t open = 0;
    char32_t close = 0;
};

inline MatrixFences FencesOf(MatrixKind kind)
{
    switch (kind) {
    case MatrixKind::Paren: return {U'(', U')'};
    case MatrixKind::Bracket: return {U'[', U']'};
    case MatrixKind::Bars: return {U'|', U'|'};
    case MatrixKind::Cases: return {U'{', 0};
    default: return {};
    }
}

}  // namespace math
