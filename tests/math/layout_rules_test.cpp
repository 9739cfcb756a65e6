// Layout rules one at a time, with the real fonts and with a font of plain boxes that has
// no MATH table: display limits, sizes, stretching, tables, fonts and colours, damaged
// font tables and scripts that make no sense.
#include <gtest/gtest.h>

#include <QRawFont>

#include <algorithm>
#include <cmath>

#include "math/math_table.h"
#include "math_testing.h"

namespace {

using math::FrameKind;
using math_testing::FindFrame;
using math_testing::Frames;

math::EquationLayout Lay(const std::u16string& script, const math::MathFont& font = math_testing::RealFont())
{
    math::TypesetOptions options;
    options.frames = true;
    return math::Typeset(script, font, options);
}

double Height(const math::Frame& f) { return f.ascent + f.descent; }

TEST(MathFont, TheRealMathFontHasItsMathTable)
{
    const math::QtMathFont& font = math_testing::RealFont();
    ASSERT_TRUE(font.IsValid());
    EXPECT_NEAR(font.Constants().axisHeight, 0.25, 0.01);
    EXPECT_NEAR(font.Constants().scriptPercentScaleDown, 0.7, 0.01);
    std::uint32_t paren = 0;
    ASSERT_TRUE(font.Lookup(math::FontSlot::Math, '(', paren));
    const math::GlyphConstruction* c = font.Construction(paren, true);
    ASSERT_TRUE(c);
    EXPECT_GE(c->variants.size(), 3u);
    EXPECT_FALSE(c->parts.empty());
    std::uint32_t hangul = 0;
    EXPECT_TRUE(font.Lookup(math::FontSlot::Text, U'수', hangul));
}

TEST(MathFont, DamagedTablesGiveNothingInsteadOfReadingPastThem)
{
    const math::QtMathFont& font = math_testing::RealFont();
    (void)font;
    QRawFont raw;
    raw.loadFromFile(QStringLiteral("/usr/share/texmf/fonts/opentype/public/lm-math/latinmodern-math.otf"), 1000,
                     QFont::PreferNoHinting);
    if (!raw.isValid()) GTEST_SKIP() << "Latin Modern Math is not at its Debian place";
    const QByteArray whole = raw.fontTable("MATH");
    const std::string bytes(whole.constData(), static_cast<std::size_t>(whole.size()));
    EXPECT_TRUE(math::ParseMathTable(bytes).present);
    EXPECT_FALSE(math::ParseMathTable(bytes.substr(0, 100)).present);
    EXPECT_FALSE(math::ParseMathTable("").present);
    // Cut anywhere, or with offsets scrambled, it still reads within its bytes.
    for (std::size_t cut : {220u, 1000u, 20000u, 40000u}) math::ParseMathTable(bytes.substr(0, std::min(cut, bytes.size())));
    std::string scrambled = bytes;
    for (std::size_t i = 4; i < scrambled.size(); i += 97) scrambled[i] = static_cast<char>(0xFF);
    math::ParseMathTable(scrambled);
}

TEST(Layout, DisplayOperatorsTakeLimitsAboveAndBelowAndIntegralsBeside)
{
    const math::EquationLayout sum = Lay(u"sum from {k=1} to n k");
    const math::Frame* op = FindFrame(sum, FrameKind::Operator);
    const math::Frame* upper = FindFrame(sum, FrameKind::Upper);
    const math::Frame* lower = FindFrame(sum, FrameKind::Lower);
    ASSERT_TRUE(op && upper && lower);
    // Centred over and under the sign, which is bigger than a letter in display style.
    EXPECT_NEAR(upper->x + upper->width / 2, op->x + op->width / 2, 0.05);
    EXPECT_NEAR(lower->x + lower->width / 2, op->x + op->width / 2, 0.05);
    EXPECT_GT(Height(*op), 1.2);
    // Centred on the axis.
    EXPECT_NEAR((op->ascent - op->descent) / 2, sum.axis, 0.01);

    const math::EquationLayout integral = Lay(u"int from 0 to 1 x dx");
    const math::Frame* sign = FindFrame(integral, FrameKind::Operator);
    const math::Frame* sup = FindFrame(integral, FrameKind::Superscript);
    const math::Frame* sub = FindFrame(integral, FrameKind::Subscript);
    ASSERT_TRUE(sign && sup && sub);
    EXPECT_GE(sup->x, sign->x + sign->width - 1e-6);
    EXPECT_GT(sub->x, sign->x);
    EXPECT_FALSE(FindFrame(integral, FrameKind::Upper));
}

TEST(Layout, ScriptsAndFractionsShrinkByTheFontsScale)
{
    const math::EquationLayout layout = Lay(u"x^{y^z} + {1 over {1 over 2}}");
    const auto sups = Frames(layout, FrameKind::Superscript);
    ASSERT_EQ(sups.size(), 2u);
    const double scales[] = {sups[0]->scale, sups[1]->scale};
    EXPECT_NEAR(std::max(scales[0], scales[1]), 0.7, 1e-6);
    EXPECT_NEAR(std::min(scales[0], scales[1]), 0.5, 1e-6);
    // A display fraction keeps the size; one inside it is smaller, its bar on its own axis.
    const auto numerators = Frames(layout, FrameKind::Numerator);
    ASSERT_EQ(numerators.size(), 2u);
    EXPECT_NEAR(std::max(numerators[0]->scale, numerators[1]->scale), 1.0, 1e-6);
    EXPECT_NEAR(std::min(numerators[0]->scale, numerators[1]->scale), 0.7, 1e-6);
}

TEST(Layout, DelimitersGrowWithTheirContent)
{
    double previous = 0;
    for (const char16_t* script : {u"LEFT ( x RIGHT )", u"LEFT ( x over y RIGHT )", u"LEFT ( pile{a#b#c} RIGHT )",
                                   u"LEFT ( pile{a#b#c#d#e#f#g#h} RIGHT )"}) {
        const math::EquationLayout layout = Lay(script);
        const math::Frame* open = FindFrame(layout, FrameKind::OpenDelimiter);
        const math::Frame* content = FindFrame(layout, FrameKind::Content);
        ASSERT_TRUE(open && content);
        EXPECT_GT(Height(*open), previous);
        EXPECT_LE(open->Top(), content->Top() + 0.01);
        EXPECT_GE(open->Bottom(), content->Bottom() - 0.01);
        previous = Height(*open);
    }
}

TEST(Layout, AFontWithoutVariantsScalesTheDelimiter)
{
    math_testing::BoxFont font;
    const math::EquationLayout layout = Lay(u"LEFT [ pile{a#b#c} RIGHT ]", font);
    const math::Frame* open = FindFrame(layout, FrameKind::OpenDelimiter);
    const math::Frame* content = FindFrame(layout, FrameKind::Content);
    ASSERT_TRUE(open && content);
    EXPECT_LE(open->Top(), content->Top() + 1e-6);
    EXPECT_GE(open->Bottom(), content->Bottom() - 1e-6);
    bool stretched = false;
    for (const math::GlyphRun& run : layout.runs) stretched = stretched || run.stretchY > 2;
    EXPECT_TRUE(stretched);
}

TEST(Layout, RootIndexSitsRaisedBeforeTheSign)
{
    const math::EquationLayout layout = Lay(u"root 3 of {x+1}");
    const math::Frame* index = FindFrame(layout, FrameKind::RadicalIndex);
    const math::Frame* sign = FindFrame(layout, FrameKind::RadicalSign);
    const math::Frame* radicand = FindFrame(layout, FrameKind::Radicand);
    ASSERT_TRUE(index && sign && radicand);
    EXPECT_LT(index->baseline, 0);
    EXPECT_NEAR(index->scale, 0.5, 1e-6);
    EXPECT_LT(index->x, sign->x + sign->width);
    ASSERT_EQ(layout.rules.size(), 1u);
    // The overbar runs over the whole radicand, at the sign's top.
    EXPECT_LE(layout.rules[0].x, radicand->x + 1e-6);
    EXPECT_GE(layout.rules[0].x + layout.rules[0].width, radicand->x + radicand->width);
    EXPECT_NEAR(layout.rules[0].y, sign->Top(), 0.01);
}

TEST(Layout, MatrixColumnsAreCentredAndCasesLeftAligned)
{
    const math::EquationLayout matrix = Lay(u"matrix{1 & 2 # 333 & 4}");
    const auto cells = Frames(matrix, FrameKind::Cell);
    ASSERT_EQ(cells.size(), 4u);
    EXPECT_NEAR(cells[0]->x + cells[0]->width / 2, cells[2]->x + cells[2]->width / 2, 1e-6);
    EXPECT_NEAR(cells[0]->baseline, cells[1]->baseline, 1e-6);
    EXPECT_GT(cells[2]->baseline, cells[0]->baseline);
    // The matrix is centred on the axis.
    const math::Frame* frame = FindFrame(matrix, FrameKind::Matrix);
    ASSERT_TRUE(frame);
    EXPECT_NEAR((frame->ascent - frame->descent) / 2, matrix.axis, 1e-6);

    const math::EquationLayout cases = Lay(u"cases{x & x>0 # -xxxx & x<0}");
    const auto caseCells = Frames(cases, FrameKind::Cell);
    ASSERT_EQ(caseCells.size(), 4u);
    EXPECT_NEAR(caseCells[0]->x, caseCells[2]->x, 1e-6);
    EXPECT_NEAR(caseCells[1]->x, caseCells[3]->x, 1e-6);
    EXPECT_TRUE(FindFrame(cases, FrameKind::OpenDelimiter));
    EXPECT_FALSE(FindFrame(cases, FrameKind::CloseDelimiter));
}

TEST(Layout, WidthsGrowWithContent)
{
    double previous = 0;
    for (const char16_t* script : {u"x", u"x+1", u"x+1 over 2", u"x+{1+y} over 2", u"x+{1+y} over 2 = sqrt z"}) {
        const double width = Lay(script).width;
        EXPECT_GT(width, previous) << math_testing::Utf8(script);
        previous = width;
    }
}

TEST(Layout, RelationsAndOperatorsGetTheirSpacing)
{
    // "a=b" is wider than "ab" by two thick spaces and the sign; a leading minus is a sign.
    const double ab = Lay(u"ab").width;
    const double equals = Lay(u"a=b").width;
    EXPECT_GT(equals - ab, 0.7);
    const math::EquationLayout unary = Lay(u"-x");
    const math::EquationLayout binary = Lay(u"y-x");
    EXPECT_GT(binary.width - Lay(u"y").width, unary.width + 0.3);
}

TEST(Layout, HangulAndQuotedTextComeFromTheTextFont)
{
    const math::EquationLayout layout = Lay(u"수열 ~ a_n + \"text\"");
    int text = 0, maths = 0;
    for (const math::GlyphRun& run : layout.runs) (run.font == math::FontSlot::Text ? text : maths) += static_cast<int>(run.glyphs.size());
    EXPECT_EQ(text, 2 + 4);
    EXPECT_GE(maths, 3);
}

TEST(Layout, LettersAreItalicFunctionsUprightAndUnknownWordsAsWritten)
{
    const math::QtMathFont& font = math_testing::RealFont();
    std::uint32_t italicX = 0, uprightX = 0;
    ASSERT_TRUE(font.Lookup(math::FontSlot::Math, 0x1D465, italicX));
    ASSERT_TRUE(font.Lookup(math::FontSlot::Math, 'x', uprightX));
    const math::EquationLayout letter = Lay(u"x");
    ASSERT_EQ(letter.runs.size(), 1u);
    EXPECT_EQ(letter.runs[0].glyphs, std::vector<std::uint32_t>{italicX});
    EXPECT_EQ(Lay(u"rm x").runs[0].glyphs, std::vector<std::uint32_t>{uprightX});
    const math::EquationLayout unknown = Lay(u"qwerty");
    std::size_t glyphs = 0;
    for (const math::GlyphRun& run : unknown.runs) glyphs += run.glyphs.size();
    EXPECT_EQ(glyphs, 6u);
}

TEST(Layout, ColorWordsColourTheirItemOnly)
{
    const math::EquationLayout layout = Lay(u"COLOR {255,0,0} {x over 2} + y");
    bool red = false, plain = false;
    for (const math::GlyphRun& run : layout.runs) {
        red = red || run.color == 0xFF0000u;
        plain = plain || run.color == math::kDefaultColor;
    }
    EXPECT_TRUE(red);
    EXPECT_TRUE(plain);
    ASSERT_EQ(layout.rules.size(), 1u);
    EXPECT_EQ(layout.rules[0].color, 0xFF0000u);
}

TEST(Layout, MalformedAndHostileScriptsStillLayOut)
{
    const std::u16string deep = std::u16string(3000, u'{') + u"x";
    std::u16string chain = u"x";
    for (int i = 0; i < 2000; ++i) chain += u"^{x_x";
    for (const std::u16string& script : std::vector<std::u16string>{
             u"", u"{{{x", u"}}}", u"x over", u"over", u"^^^", u"sqrt", u"root of", u"LEFT ( x", u"RIGHT )",
             u"matrix{", u"matrix{&&&###}", u"cases", u"\"unterminated", u"LEFT { RIGHT }", u"x_", u"sum from",
             u"vec", u"COLOR {1,2", u"\xD800x", deep, chain}) {
        const math::EquationLayout layout = Lay(script);
        EXPECT_TRUE(std::isfinite(layout.width) && std::isfinite(layout.ascent) && std::isfinite(layout.descent))
            << math_testing::Utf8(script.substr(0, 40));
        EXPECT_GE(layout.width, 0);
    }
    EXPECT_GT(Lay(deep).width, 0.4);
}

}  // namespace
