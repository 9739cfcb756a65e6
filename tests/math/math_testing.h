// Shared pieces of the typesetter tests: the real fonts (with the Qt application they
// need), the exam scripts, and a small made-up font with plain box glyphs.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "math/font.h"
#include "math/layout.h"
#include "math/qt_font.h"

namespace math_testing {

const math::QtMathFont& RealFont();

// tests/math/exam_scripts.txt: scripts from middle and high school exam material.
std::vector<std::u16string> ExamScripts();

std::string Utf8(const std::u16string& text);

// Every glyph a box of advance 0.5, ink 0..0.7 (descenders 0.2 below for 'g' 'p' 'y'),
// no variants or assemblies: delimiters can only be scaled.
class BoxFont final : public math::MathFont {
public:
    bool Lookup(math::FontSlot slot, char32_t character, std::uint32_t& glyph) const override;
    math::GlyphMetrics Metrics(math::FontSlot slot, std::uint32_t glyph) const override;
    const math::MathConstants& Constants() const override { return m_constants; }
    const math::GlyphConstruction* Construction(std::uint32_t, bool) const override { return nullptr; }
    double MinConnectorOverlap() const override { return 0; }

private:
    math::MathConstants m_constants;
};

const math::Frame* FindFrame(const math::EquationLayout& layout, math::FrameKind kind, int group = -1);
std::vector<const math::Frame*> Frames(const math::EquationLayout& layout, math::FrameKind kind);

}  // namespace math_testing
