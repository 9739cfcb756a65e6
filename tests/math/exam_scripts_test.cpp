// Every exam script laid out with the real fonts, checked for the structural facts a
// reader relies on: fractions stand on the axis and clear their bar, scripts sit above
// and below the baseline, delimiters and radical signs cover what they hold, limits
// clear their operator, nothing overlaps, nothing draws outside the box, and more
// content takes more room.
#include <gtest/gtest.h>

#include <algorithm>

#include "math_testing.h"

namespace {

using math::FrameKind;
using math_testing::FindFrame;
using math_testing::Frames;

constexpr double kEps = 1e-6;
// Delimiter variants come in steps; assemblies are exact. Ink is measured in font units.
constexpr double kCover = 0.01;

class ExamScript : public testing::TestWithParam<std::u16string> {
protected:
    math::EquationLayout Lay(const std::u16string& script) const
    {
        math::TypesetOptions options;
        options.frames = true;
        return math::Typeset(script, math_testing::RealFont(), options);
    }
};

TEST_P(ExamScript, HasRoomAndDrawsInsideIt)
{
    const math::EquationLayout layout = Lay(GetParam());
    EXPECT_GT(layout.width, 0.5);
    EXPECT_GT(layout.ascent, 0.3);
    EXPECT_GE(layout.descent, 0);
    ASSERT_FALSE(layout.runs.empty());
    const math::QtMathFont& font = math_testing::RealFont();
    for (const math::GlyphRun& run : layout.runs) {
        for (std::size_t i = 0; i < run.glyphs.size(); ++i) {
            const math::GlyphMetrics m = font.Metrics(run.font, run.glyphs[i]);
            if (m.right <= m.left) continue;   // a space
            const double top = run.y[i] - m.top * run.size * run.stretchY;
            const double bottom = run.y[i] - m.bottom * run.size * run.stretchY;
            const double left = run.x[i] + m.left * run.size * run.stretchX;
            const double right = run.x[i] + m.right * run.size * run.stretchX;
            EXPECT_GE(top, -layout.ascent - 0.01) << "glyph " << run.glyphs[i];
            EXPECT_LE(bottom, layout.descent + 0.01) << "glyph " << run.glyphs[i];
            // Italic letters lean past their advance by their italic correction.
            EXPECT_GE(left, -0.05) << "glyph " << run.glyphs[i];
            EXPECT_LE(right, layout.width + 0.12) << "glyph " << run.glyphs[i];
        }
    }
    for (const math::Rule& rule : layout.rules) {
        EXPECT_GE(rule.y, -layout.ascent - kEps);
        EXPECT_LE(rule.y + rule.height, layout.descent + kEps);
        EXPECT_GE(rule.x, -kEps);
        EXPECT_LE(rule.x + rule.width, layout.width + kEps);
    }
}

TEST_P(ExamScript, FractionsStandOnTheAxisAndClearTheirBar)
{
    const math::EquationLayout layout = Lay(GetParam());
    for (const math::Frame* fraction : Frames(layout, FrameKind::Fraction)) {
        const math::Frame* num = FindFrame(layout, FrameKind::Numerator, fraction->group);
        const math::Frame* den = FindFrame(layout, FrameKind::Denominator, fraction->group);
        ASSERT_TRUE(num && den);
        const double height = fraction->ascent + fraction->descent;
        EXPECT_GT(height, num->ascent + num->descent);
        EXPECT_GT(height, den->ascent + den->descent);
        EXPECT_LT(num->Bottom(), den->Top());
        if (const math::Frame* bar = FindFrame(layout, FrameKind::Bar, fraction->group)) {
            // The bar's middle is the math axis of the fraction's size, above its baseline.
            EXPECT_NEAR(fraction->baseline - bar->baseline, layout.axis * fraction->scale, kEps);
            EXPECT_LE(num->Bottom(), bar->Top() + kEps);
            EXPECT_GE(den->Top(), bar->Bottom() - kEps);
            EXPECT_GE(bar->width, std::max(num->width, den->width) - kEps);
        }
    }
}

TEST_P(ExamScript, ScriptsSitAboveAndBelowTheBaseline)
{
    const math::EquationLayout layout = Lay(GetParam());
    for (const math::Frame* base : Frames(layout, FrameKind::Base)) {
        const math::Frame* sup = FindFrame(layout, FrameKind::Superscript, base->group);
        const math::Frame* sub = FindFrame(layout, FrameKind::Subscript, base->group);
        if (sup) {
            EXPECT_LT(sup->baseline, base->baseline - 0.2 * base->scale);
            EXPECT_LT(sup->scale, base->scale);
            EXPECT_GE(sup->x, base->x + base->width - kEps);
        }
        if (sub) {
            EXPECT_GT(sub->baseline, base->baseline);
            EXPECT_LT(sub->scale, base->scale);
        }
        if (sup && sub) {
            EXPECT_LE(sup->Bottom(), sub->Top() + kEps);
        }
        const math::Frame* upper = FindFrame(layout, FrameKind::Upper, base->group);
        const math::Frame* lower = FindFrame(layout, FrameKind::Lower, base->group);
        if (upper) {
            EXPECT_LE(upper->Bottom(), base->Top() + kEps);
        }
        if (lower) {
            EXPECT_GE(lower->Top(), base->Bottom() - kEps);
        }
    }
}

TEST_P(ExamScript, DelimitersAndRadicalSignsCoverWhatTheyHold)
{
    const math::EquationLayout layout = Lay(GetParam());
    for (const math::Frame* content : Frames(layout, FrameKind::Content)) {
        for (FrameKind kind : {FrameKind::OpenDelimiter, FrameKind::CloseDelimiter}) {
            const math::Frame* d = FindFrame(layout, kind, content->group);
            if (!d) continue;
            EXPECT_LE(d->Top(), content->Top() + kCover * content->scale);
            EXPECT_GE(d->Bottom(), content->Bottom() - kCover * content->scale);
        }
    }
    for (const math::Frame* radicand : Frames(layout, FrameKind::Radicand)) {
        const math::Frame* sign = FindFrame(layout, FrameKind::RadicalSign, radicand->group);
        ASSERT_TRUE(sign);
        EXPECT_LT(sign->Top(), radicand->Top());
        EXPECT_GE(sign->Bottom(), radicand->Bottom() - kCover * radicand->scale);
        EXPECT_GE(radicand->x, sign->x + sign->width - kEps);
        if (const math::Frame* index = FindFrame(layout, FrameKind::RadicalIndex, radicand->group)) {
            EXPECT_LT(index->x, sign->x + sign->width / 2);
            EXPECT_LT(index->Bottom(), sign->Bottom());
        }
    }
}

TEST_P(ExamScript, NothingOverlaps)
{
    const math::EquationLayout layout = Lay(GetParam());
    const auto atoms = Frames(layout, FrameKind::Atom);
    for (std::size_t i = 1; i < atoms.size(); ++i) EXPECT_LE(atoms[i - 1]->x + atoms[i - 1]->width, atoms[i]->x + kEps);
    const auto cells = Frames(layout, FrameKind::Cell);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        for (std::size_t j = i + 1; j < cells.size(); ++j) {
            const math::Frame& a = *cells[i];
            const math::Frame& b = *cells[j];
            if (a.group != b.group) continue;
            const bool apartX = a.x + a.width <= b.x + kEps || b.x + b.width <= a.x + kEps;
            const bool apartY = a.Bottom() <= b.Top() + kEps || b.Bottom() <= a.Top() + kEps;
            EXPECT_TRUE(apartX || apartY) << "cells " << i << " and " << j;
        }
    }
    for (const math::Frame* mark : Frames(layout, FrameKind::AccentMark)) {
        const math::Frame* base = FindFrame(layout, FrameKind::Base, mark->group);
        ASSERT_TRUE(base);
        EXPECT_TRUE(mark->Bottom() <= base->Top() + kEps || mark->Top() >= base->Bottom() - kEps);
    }
}

TEST_P(ExamScript, MoreContentTakesMoreRoom)
{
    const std::u16string& script = GetParam();
    const math::EquationLayout alone = Lay(script);
    const math::EquationLayout more = Lay(u"{" + script + u"} + x");
    EXPECT_GT(more.width, alone.width + 0.5);
    const math::EquationLayout rooted = Lay(u"sqrt {" + script + u"}");
    EXPECT_GT(rooted.width, alone.width);
    EXPECT_GT(rooted.ascent, alone.ascent);
    const math::EquationLayout bracketed = Lay(u"LEFT ( " + script + u" RIGHT )");
    EXPECT_GE(bracketed.ascent + bracketed.descent, alone.ascent + alone.descent - kEps);
}

std::vector<std::u16string> Scripts()
{
    std::vector<std::u16string> scripts = math_testing::ExamScripts();
    return scripts;
}

std::string Name(const testing::TestParamInfo<std::u16string>& info) { return "n" + std::to_string(info.index + 1); }

INSTANTIATE_TEST_SUITE_P(Exams, ExamScript, testing::ValuesIn(Scripts()), Name);

TEST(ExamScripts, AtLeastEightyFromTheMaterial)
{
    EXPECT_GE(math_testing::ExamScripts().size(), 80u);
}

}  // namespace
