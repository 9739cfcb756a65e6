// What the layout needs from its fonts, in ems of the font (1.0 = the font size), y up.
//
// Two fonts take part: the math font (an OpenType font with a MATH table: symbols,
// alphabets, stretchy delimiters and big operators) and the text font (Hangul and quoted
// text). MathFont hides where they come from, so the layout runs against a real font
// (QtMathFont, qt_font.h) or a made-up one in tests.
#pragma once

#include <cstdint>
#include <vector>

namespace math {

enum class FontSlot : std::uint8_t { Math = 0, Text = 1 };

struct GlyphMetrics {
    double advance = 0;
    // Ink box; y up from the baseline.
    double left = 0, right = 0, bottom = 0, top = 0;
    double italic = 0;          // italic correction (math font)
    double topAccent = -1;      // x where an accent sits, < 0 when the font says nothing
};

// The MATH table's constants, in ems; names as the OpenType MATH table has them.
struct MathConstants {
    double scriptPercentScaleDown = 0.7;
    double scriptScriptPercentScaleDown = 0.5;
    double delimitedSubFormulaMinHeight = 1.3;
    double displayOperatorMinHeight = 1.3;
    double axisHeight = 0.25;
    double accentBaseHeight = 0.45;
    double subscriptShiftDown = 0.25;
    double subscriptTopMax = 0.35;
    double subscriptBaselineDropMin = 0.2;
    double superscriptShiftUp = 0.36;
    double superscriptShiftUpCramped = 0.29;
    double superscriptBottomMin = 0.11;
    double superscriptBaselineDropMax = 0.25;
    double subSuperscriptGapMin = 0.16;
    double superscriptBottomMaxWithSubscript = 0.34;
    double spaceAfterScript = 0.056;
    double upperLimitGapMin = 0.2;
    double upperLimitBaselineRiseMin = 0.11;
    double lowerLimitGapMin = 0.17;
    double lowerLimitBaselineDropMin = 0.6;
    double stackTopShiftUp = 0.44;
    double stackTopDisplayStyleShiftUp = 0.68;
    double stackBottomShiftDown = 0.35;
    double stackBottomDisplayStyleShiftDown = 0.69;
    double stackGapMin = 0.12;
    double stackDisplayStyleGapMin = 0.28;
    double fractionNumeratorShiftUp = 0.39;
    double fractionNumeratorDisplayStyleShiftUp = 0.68;
    double fractionDenominatorShiftDown = 0.69;
    double fractionDenominatorDisplayStyleShiftDown = 0.69;
    double fractionNumeratorGapMin = 0.04;
    double fractionNumDisplayStyleGapMin = 0.12;
    double fractionRuleThickness = 0.04;
    double fractionDenominatorGapMin = 0.04;
    double fractionDenomDisplayStyleGapMin = 0.12;
    double overbarVerticalGap = 0.12;
    double overbarRuleThickness = 0.04;
    double overbarExtraAscender = 0.04;
    double underbarVerticalGap = 0.12;
    double underbarRuleThickness = 0.04;
    double underbarExtraDescender = 0.04;
    double radicalVerticalGap = 0.05;
    double radicalDisplayStyleVerticalGap = 0.15;
    double radicalRuleThickness = 0.04;
    double radicalExtraAscender = 0.04;
    double radicalKernBeforeDegree = 0.28;
    double radicalKernAfterDegree = -0.56;
    double radicalDegreeBottomRaisePercent = 0.6;
};

struct GlyphVariant {
    std::uint32_t glyph = 0;
    double advance = 0;   // its size along the stretch direction
};

struct GlyphPart {
    std::uint32_t glyph = 0;
    double startConnector = 0;
    double endConnector = 0;
    double fullAdvance = 0;
    bool extender = false;
};

// Bigger versions of a glyph, smallest first, and the parts to build any size from
// (bottom to top, or left to right); either may be empty.
struct GlyphConstruction {
    std::vector<GlyphVariant> variants;
    std::vector<GlyphPart> parts;
};

class MathFont {
public:
    virtual ~MathFont() = default;

    // The glyph for a character; false when the slot's font has none.
    virtual bool Lookup(FontSlot slot, char32_t character, std::uint32_t& glyph) const = 0;
    virtual GlyphMetrics Metrics(FontSlot slot, std::uint32_t glyph) const = 0;
    virtual const MathConstants& Constants() const = 0;
    // Stretch data of a math font glyph; null when it has none in that direction.
    virtual const GlyphConstruction* Construction(std::uint32_t glyph, bool vertical) const = 0;
    virtual double MinConnectorOverlap() const = 0;
};

}  // namespace math
