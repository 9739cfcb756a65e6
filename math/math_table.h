// The OpenType MATH table read from its bytes: constants, italic corrections, accent
// attachment points and the glyph constructions for stretchy glyphs. Values stay in font
// units; a damaged or missing table gives an empty result (`present` false), never a
// read outside the bytes.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>

#include "math/font.h"

namespace math {

struct MathTable {
    bool present = false;
    MathConstants constants;   // in font units, percentages as fractions (0.7 = 70 %)
    std::unordered_map<std::uint32_t, double> italics;       // glyph -> font units
    std::unordered_map<std::uint32_t, double> topAccents;    // glyph -> font units
    std::unordered_map<std::uint32_t, GlyphConstruction> vertical;     // in font units
    std::unordered_map<std::uint32_t, GlyphConstruction> horizontal;
    double minConnectorOverlap = 0;
};

MathTable ParseMathTable(std::string_view bytes);

// The same table with every length divided by `unitsPerEm`.
MathTable ScaledMathTable(MathTable table, double unitsPerEm);

}  // namespace math
