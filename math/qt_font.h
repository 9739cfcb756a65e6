// The real fonts behind MathFont: Latin Modern Math (fonts-lmodern) for the math and
// Nanum Myeongjo (fonts-nanum) for Hangul and quoted text, read with QRawFont (Qt Gui,
// no widgets; a QGuiApplication must exist). Metrics are read once per glyph and kept;
// one object serves one thread.
#pragma once

#include <QRawFont>

#include <memory>
#include <string>
#include <unordered_map>

#include "math/font.h"
#include "math/math_table.h"

namespace math {

class QtMathFont final : public MathFont {
public:
    // Empty paths look in the Debian places, then ask the font database by family name.
    QtMathFont(const std::string& mathFontPath = {}, const std::string& textFontPath = {});

    // False when the math font could not be loaded or has no MATH table; the layout
    // still works from the defaults and whatever glyphs the fonts have.
    bool IsValid() const { return m_valid; }

    bool Lookup(FontSlot slot, char32_t character, std::uint32_t& glyph) const override;
    GlyphMetrics Metrics(FontSlot slot, std::uint32_t glyph) const override;
    const MathConstants& Constants() const override { return m_table.constants; }
    const GlyphConstruction* Construction(std::uint32_t glyph, bool vertical) const override;
    double MinConnectorOverlap() const override { return m_table.minConnectorOverlap; }

    // The font at `pixelSize`, for painting glyph runs.
    QRawFont RawFont(FontSlot slot, double pixelSize) const;

    // One shared instance for painters and tools that do not manage their own.
    static const QtMathFont& Shared();

private:
    QRawFont m_fonts[2];
    double m_unitsPerEm[2] = {1000, 1000};
    MathTable m_table;
    bool m_valid = false;
    mutable std::unordered_map<std::uint64_t, std::uint32_t> m_lookups;
    mutable std::unordered_map<std::uint64_t, GlyphMetrics> m_metrics;
};

}  // namespace math
