// Typesetting: an equation script laid out as positioned glyphs and rules.
//
// Everything is in units of the base size (1.0 = the equation's font size, e.g. 10 pt),
// with the origin on the baseline at the left edge, x to the right and y DOWN (the
// painter's direction): a glyph above the baseline has a negative y. A painter scales by
// the base size in device units and draws the runs as glyphs (paint.h), so the result is
// sharp at any resolution.
//
//   math::QtMathFont font;                              // or QtMathFont::Shared()
//   math::EquationLayout layout = math::Typeset(u"{x+1} over 2", font);
//   // layout.width, layout.ascent, layout.descent: the box a line holds for it
//   math::PaintEquation(painter, layout, font, baselineLeft, pixelsPerBaseSize);
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "math/font.h"
#include "math/script.h"

namespace math {

constexpr std::uint32_t kDefaultColor = 0xFF000000u;   // "the painter's colour"; else 0xRRGGBB

struct GlyphRun {
    FontSlot font = FontSlot::Math;
    double size = 1.0;        // font size, in base sizes
    // Scale about each glyph's own origin: the extenders of stretched delimiters and
    // accents, and delimiters of a font without variants.
    double stretchX = 1.0;
    double stretchY = 1.0;
    std::uint32_t color = kDefaultColor;
    std::vector<std::uint32_t> glyphs;
    std::vector<double> x;    // pen positions, one per glyph
    std::vector<double> y;
};

struct Rule {
    double x = 0, y = 0, width = 0, height = 0;   // y is the top edge
    std::uint32_t color = kDefaultColor;
};

// Boxes of the parts of constructs, recorded when TypesetOptions::frames is set: what
// tests and diagnostics check the layout against. Parts of one construct share `group`.
enum class FrameKind : std::uint8_t {
    Atom,            // one item of the outermost row
    Fraction, Numerator, Denominator, Bar,
    Radical, Radicand, RadicalSign, RadicalIndex,
    Base, Superscript, Subscript, Upper, Lower,
    Delimited, Content, OpenDelimiter, CloseDelimiter,
    Matrix, Cell,
    Accent, AccentMark,
    Operator,
};

struct Frame {
    FrameKind kind = FrameKind::Atom;
    int group = 0;
    double x = 0, baseline = 0, width = 0, ascent = 0, descent = 0;
    double scale = 1;   // the construct's size, in base sizes
    double Top() const { return baseline - ascent; }
    double Bottom() const { return baseline + descent; }
};

struct EquationLayout {
    double width = 0;
    double ascent = 0;    // above the baseline, > 0
    double descent = 0;   // below the baseline, >= 0
    double axis = 0.25;   // the math axis above the baseline at the base size
    std::vector<GlyphRun> runs;
    std::vector<Rule> rules;
    std::vector<Frame> frames;
};

struct TypesetOptions {
    std::uint32_t color = kDefaultColor;
    bool frames = false;
};

EquationLayout Layout(const Node& tree, const MathFont& font, const TypesetOptions& options = {});
EquationLayout Typeset(std::u16string_view script, const MathFont& font, const TypesetOptions& options = {});

}  // namespace math
