#include "math/math_table.h"

#include <vector>

namespace math {
namespace {

// Big-endian reads that answer 0 past the end: a damaged table gives nonsense values,
// never a read outside it; the caller checks offsets it follows.
class Bytes {
public:
    explicit Bytes(std::string_view data) : m_data(data) {}
    bool Has(std::size_t offset, std::size_t size) const { return offset <= m_data.size() && size <= m_data.size() - offset; }
    std::uint16_t U16(std::size_t offset) const
    {
        if (!Has(offset, 2)) return 0;
        return static_cast<std::uint16_t>((static_cast<unsigned char>(m_data[offset]) << 8) |
                                          static_cast<unsigned char>(m_data[offset + 1]));
    }
    std::int16_t I16(std::size_t offset) const { return static_cast<std::int16_t>(U16(offset)); }

private:
    std::string_view m_data;
};

// Coverage table: the glyphs in coverage order.
std::vector<std::uint32_t> ReadCoverage(const Bytes& b, std::size_t at)
{
    std::vector<std::uint32_t> glyphs;
    if (!b.Has(at, 4)) return glyphs;
    const std::uint16_t format = b.U16(at);
    const std::uint16_t count = b.U16(at + 2);
    if (format == 1) {
        for (std::uint16_t i = 0; i < count && b.Has(at + 4 + 2u * i, 2); ++i) glyphs.push_back(b.U16(at + 4 + 2u * i));
    } else if (format == 2) {
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::size_t r = at + 4 + 6u * i;
            if (!b.Has(r, 6)) break;
            const std::uint16_t start = b.U16(r), end = b.U16(r + 2), index = b.U16(r + 4);
            if (end < start) continue;
            if (glyphs.size() < static_cast<std::size_t>(index) + (end - start) + 1u)
                glyphs.resize(static_cast<std::size_t>(index) + (end - start) + 1u, 0xFFFFFFFFu);
            for (std::uint32_t g = start; g <= end; ++g) glyphs[index + (g - start)] = g;
        }
    }
    return glyphs;
}

// Coverage + count + MathValueRecord[count] (value, device offset).
void ReadValueTable(const Bytes& b, std::size_t at, std::unordered_map<std::uint32_t, double>& out)
{
    if (!b.Has(at, 4)) return;
    const std::uint16_t coverageOffset = b.U16(at);
    const std::uint16_t count = b.U16(at + 2);
    if (coverageOffset == 0) return;
    const std::vector<std::uint32_t> glyphs = ReadCoverage(b, at + coverageOffset);
    for (std::uint16_t i = 0; i < count && i < glyphs.size(); ++i) {
        if (glyphs[i] == 0xFFFFFFFFu) continue;
        out[glyphs[i]] = b.I16(at + 4 + 4u * i);
    }
}

GlyphConstruction ReadConstruction(const Bytes& b, std::size_t at)
{
    GlyphConstruction c;
    if (!b.Has(at, 4)) return c;
    const std::uint16_t assemblyOffset = b.U16(at);
    const std::uint16_t variantCount = b.U16(at + 2);
    for (std::uint16_t i = 0; i < variantCount; ++i) {
        const std::size_t r = at + 4 + 4u * i;
        if (!b.Has(r, 4)) break;
        c.variants.push_back({b.U16(r), static_cast<double>(b.U16(r + 2))});
    }
    if (assemblyOffset != 0) {
        const std::size_t a = at + assemblyOffset;
        const std::uint16_t partCount = b.U16(a + 4);   // after the italics MathValueRecord
        for (std::uint16_t i = 0; i < partCount; ++i) {
            const std::size_t r = a + 6 + 10u * i;
            if (!b.Has(r, 10)) break;
            GlyphPart p;
            p.glyph = b.U16(r);
            p.startConnector = b.U16(r + 2);
            p.endConnector = b.U16(r + 4);
            p.fullAdvance = b.U16(r + 6);
            p.extender = (b.U16(r + 8) & 1) != 0;
            c.parts.push_back(p);
        }
    }
    return c;
}

void ReadConstants(const Bytes& b, std::size_t at, MathConstants& k)
{
    k.scriptPercentScaleDown = b.I16(at) / 100.0;
    k.scriptScriptPercentScaleDown = b.I16(at + 2) / 100.0;
    k.delimitedSubFormulaMinHeight = b.U16(at + 4);
    k.displayOperatorMinHeight = b.U16(at + 6);
    // Then MathValueRecords (value, device offset), in the table's order.
    double* const fields[] = {
        nullptr,   // mathLeading
        &k.axisHeight, &k.accentBaseHeight,
        nullptr,   // flattenedAccentBaseHeight
        &k.subscriptShiftDown, &k.subscriptTopMax, &k.subscriptBaselineDropMin, &k.superscriptShiftUp,
        &k.superscriptShiftUpCramped, &k.superscriptBottomMin, &k.superscriptBaselineDropMax,
        &k.subSuperscriptGapMin, &k.superscriptBottomMaxWithSubscript, &k.spaceAfterScript,
        &k.upperLimitGapMin, &k.upperLimitBaselineRiseMin, &k.lowerLimitGapMin, &k.lowerLimitBaselineDropMin,
        &k.stackTopShiftUp, &k.stackTopDisplayStyleShiftUp, &k.stackBottomShiftDown,
        &k.stackBottomDisplayStyleShiftDown, &k.stackGapMin, &k.stackDisplayStyleGapMin,
        nullptr, nullptr, nullptr, nullptr,   // stretch stack
        &k.fractionNumeratorShiftUp, &k.fractionNumeratorDisplayStyleShiftUp, &k.fractionDenominatorShiftDown,
        &k.fractionDenominatorDisplayStyleShiftDown, &k.fractionNumeratorGapMin, &k.fractionNumDisplayStyleGapMin,
        &k.fractionRuleThickness, &k.fractionDenominatorGapMin, &k.fractionDenomDisplayStyleGapMin,
        nullptr, nullptr,   // skewed fractions
        &k.overbarVerticalGap, &k.overbarRuleThickness, &k.overbarExtraAscender, &k.underbarVerticalGap,
        &k.underbarRuleThickness, &k.underbarExtraDescender, &k.radicalVerticalGap,
        &k.radicalDisplayStyleVerticalGap, &k.radicalRuleThickness, &k.radicalExtraAscender,
        &k.radicalKernBeforeDegree, &k.radicalKernAfterDegree,
    };
    std::size_t offset = at + 8;
    for (double* field : fields) {
        if (field) *field = b.I16(offset);
        offset += 4;
    }
    k.radicalDegreeBottomRaisePercent = b.I16(offset) / 100.0;
}

}  // namespace

MathTable ParseMathTable(std::string_view data)
{
    MathTable table;
    const Bytes b(data);
    if (!b.Has(0, 10) || b.U16(0) != 1) return table;
    const std::uint16_t constantsOffset = b.U16(4);
    const std::uint16_t glyphInfoOffset = b.U16(6);
    const std::uint16_t variantsOffset = b.U16(8);
    if (constantsOffset == 0 || !b.Has(constantsOffset, 214)) return table;
    table.present = true;
    ReadConstants(b, constantsOffset, table.constants);

    if (glyphInfoOffset != 0 && b.Has(glyphInfoOffset, 8)) {
        const std::uint16_t italicsOffset = b.U16(glyphInfoOffset);
        const std::uint16_t accentsOffset = b.U16(glyphInfoOffset + 2);
        if (italicsOffset) ReadValueTable(b, glyphInfoOffset + italicsOffset, table.italics);
        if (accentsOffset) ReadValueTable(b, glyphInfoOffset + accentsOffset, table.topAccents);
    }
    if (variantsOffset != 0 && b.Has(variantsOffset, 10)) {
        const std::size_t v = variantsOffset;
        table.minConnectorOverlap = b.U16(v);
        const std::uint16_t vertCoverage = b.U16(v + 2);
        const std::uint16_t horizCoverage = b.U16(v + 4);
        const std::uint16_t vertCount = b.U16(v + 6);
        const std::uint16_t horizCount = b.U16(v + 8);
        const std::vector<std::uint32_t> vertGlyphs = vertCoverage ? ReadCoverage(b, v + vertCoverage) : std::vector<std::uint32_t>{};
        const std::vector<std::uint32_t> horizGlyphs = horizCoverage ? ReadCoverage(b, v + horizCoverage) : std::vector<std::uint32_t>{};
        for (std::uint16_t i = 0; i < vertCount && i < vertGlyphs.size(); ++i) {
            const std::uint16_t offset = b.U16(v + 10 + 2u * i);
            if (offset && vertGlyphs[i] != 0xFFFFFFFFu) table.vertical[vertGlyphs[i]] = ReadConstruction(b, v + offset);
        }
        for (std::uint16_t i = 0; i < horizCount && i < horizGlyphs.size(); ++i) {
            const std::uint16_t offset = b.U16(v + 10 + 2u * vertCount + 2u * i);
            if (offset && horizGlyphs[i] != 0xFFFFFFFFu) table.horizontal[horizGlyphs[i]] = ReadConstruction(b, v + offset);
        }
    }
    return table;
}

MathTable ScaledMathTable(MathTable table, double unitsPerEm)
{
    if (unitsPerEm <= 0) unitsPerEm = 1000;
    const double s = 1.0 / unitsPerEm;
    MathConstants& k = table.constants;
    const double percentScript = k.scriptPercentScaleDown, percentScriptScript = k.scriptScriptPercentScaleDown;
    const double percentRaise = k.radicalDegreeBottomRaisePercent;
    double* const lengths[] = {
        &k.delimitedSubFormulaMinHeight, &k.displayOperatorMinHeight, &k.axisHeight, &k.accentBaseHeight,
        &k.subscriptShiftDown, &k.subscriptTopMax, &k.subscriptBaselineDropMin, &k.superscriptShiftUp,
        &k.superscriptShiftUpCramped, &k.superscriptBottomMin, &k.superscriptBaselineDropMax,
        &k.subSuperscriptGapMin, &k.superscriptBottomMaxWithSubscript, &k.spaceAfterScript, &k.upperLimitGapMin,
        &k.upperLimitBaselineRiseMin, &k.lowerLimitGapMin, &k.lowerLimitBaselineDropMin, &k.stackTopShiftUp,
        &k.stackTopDisplayStyleShiftUp, &k.stackBottomShiftDown, &k.stackBottomDisplayStyleShiftDown,
        &k.stackGapMin, &k.stackDisplayStyleGapMin, &k.fractionNumeratorShiftUp,
        &k.fractionNumeratorDisplayStyleShiftUp, &k.fractionDenominatorShiftDown,
        &k.fractionDenominatorDisplayStyleShiftDown, &k.fractionNumeratorGapMin, &k.fractionNumDisplayStyleGapMin,
        &k.fractionRuleThickness, &k.fractionDenominatorGapMin, &k.fractionDenomDisplayStyleGapMin,
        &k.overbarVerticalGap, &k.overbarRuleThickness, &k.overbarExtraAscender, &k.underbarVerticalGap,
        &k.underbarRuleThickness, &k.underbarExtraDescender, &k.radicalVerticalGap,
        &k.radicalDisplayStyleVerticalGap, &k.radicalRuleThickness, &k.radicalExtraAscender,
        &k.radicalKernBeforeDegree, &k.radicalKernAfterDegree,
    };
    for (double* length : lengths) *length *= s;
    k.scriptPercentScaleDown = percentScript > 0 ? percentScript : 0.7;
    k.scriptScriptPercentScaleDown = percentScriptScript > 0 ? percentScriptScript : 0.5;
    k.radicalDegreeBottomRaisePercent = percentRaise;
    for (auto& [glyph, value] : table.italics) value *= s;
    for (auto& [glyph, value] : table.topAccents) value *= s;
    for (auto* map : {&table.vertical, &table.horizontal}) {
        for (auto& [glyph, c] : *map) {
            for (GlyphVariant& v : c.variants) v.advance *= s;
            for (GlyphPart& p : c.parts) {
                p.startConnector *= s;
                p.endConnector *= s;
                p.fullAdvance *= s;
            }
        }
    }
    table.minConnectorOverlap *= s;
    return table;
}

}  // namespace math
