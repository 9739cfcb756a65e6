// The script language parsed into trees: what binds to what, what the words mean, and
// that no input is lost or makes the parser run away.
#include <gtest/gtest.h>

#include <string>

#include "math/script.h"

namespace {

std::string Tree(const std::u16string& script) { return math::DumpTree(math::ParseScript(script)); }

struct Case {
    const char16_t* script;
    const char* tree;
};

class ParsesTo : public testing::TestWithParam<Case> {};

TEST_P(ParsesTo, TheExpectedTree)
{
    EXPECT_EQ(Tree(GetParam().script), GetParam().tree);
}

INSTANTIATE_TEST_SUITE_P(Structure, ParsesTo,
    testing::Values(
        // over takes the items next to it, braces make one item
        Case{u"{x+1} over {2}", "frac(row(x,+,1),2)"},
        Case{u"1 over 2 + 3", "row(frac(1,2),+,3)"},
        Case{u"a+b over c", "row(a,+,frac(b,c))"},
        Case{u"a over b over c", "frac(frac(a,b),c)"},
        Case{u"a atop b", "atop(a,b)"},
        Case{u"x^2 over 3", "frac(scripts(x,row(),2),3)"},
        // scripts, both at once in either order; sup and sub as words
        Case{u"x^2_i", "scripts(x,i,2)"},
        Case{u"x_i^2", "scripts(x,i,2)"},
        Case{u"x sup 2 sub i", "scripts(x,i,2)"},
        Case{u"a_{n+1}", "scripts(a,row(n,+,1),row())"},
        Case{u"x^2y", "row(scripts(x,row(),2),y)"},
        // from/to: under and over sums and lim, beside integrals; lim also takes _
        Case{u"sum from {k=1} to n k", "row(limits(∑,row(k,=,1),n),k)"},
        Case{u"int from 0 to 1 x", "row(scripts(∫,0,1),x)"},
        Case{u"lim _{x->0} f", "row(limits(lim,row(x,→,0),row()),f)"},
        Case{u"sum _{k=1} ^n", "scripts(∑,row(k,=,1),n)"},
        // roots
        Case{u"sqrt {b^2-4ac}", "sqrt(row(scripts(b,row(),2),−,4,ac))"},
        Case{u"root 3 of 8", "root(8,3)"},
        Case{u"root {n} of {a^m}", "root(scripts(a,row(),m),n)"},
        // stretchy delimiters, the brace as a delimiter, one side missing
        Case{u"LEFT ( a over b RIGHT )", "delim((,frac(a,b),))"},
        Case{u"LEFT { x RIGHT }", "delim({,x,})"},
        Case{u"left | x right |", "delim(|,x,|)"},
        Case{u"LEFT ( x", "delim((,x,)"},
        Case{u"LEFT . x RIGHT |", "delim(,x,|)"},
        // tables
        Case{u"matrix{a & b # c & d}", "matrix0x2(a,b,c,d)"},
        Case{u"pmatrix{1 # 2 & 3}", "matrix1x2(1,row(),2,3)"},
        Case{u"cases{x & x>0 # -x & x<0}", "matrix7x2(x,row(x,>,0),row(−,x),row(x,<,0))"},
        Case{u"pile{a # b}", "matrix4x1(a,b)"},
        Case{u"a # b", "lines(a,b)"},
        // accents
        Case{u"vec {AB}", "accent0(AB)"},
        Case{u"bar x + hat y", "row(accent1(x),+,accent2(y))"},
        // words: Greek (case matters), symbols (any case), arrows (case matters)
        Case{u"alpha ALPHA Alpha pi OMEGA", "row(α,Α,Α,π,Ω)"},
        Case{u"TIMES times le LEQ ne", "row(×,×,≤,≤,≠)"},
        Case{u"-> larrow LARROW rarrow RARROW", "row(→,←,⇐,→,⇒)"},
        Case{u"therefore because inf pm +- DEG", "row(∴,∵,∞,±,±,°)"},
        // what nobody wrote a command for stays as written
        Case{u"foo + sinx", "row(foo,+,sinx)"},
        Case{u"\"a  b\"", "a  b"},
        Case{u"수열 a_n", "row(수열,scripts(a,n,row()))"},
        Case{u"x ~ y ` z", "row(x,~,y,`,z)"},
        // malformed: braces closed at the end, strays shown, missing operands empty
        Case{u"{x+1", "row(x,+,1)"},
        Case{u"x}", "row(x,})"},
        Case{u"x over", "frac(x,row())"},
        Case{u"over 2", "frac(row(),2)"},
        Case{u"^2", "scripts(row(),row(),2)"},
        Case{u"RIGHT ) x", "row(),x)"},
        Case{u"sqrt", "sqrt(row())"},
        Case{u"matrix{a &", "matrix0x2(a,row())"}));

TEST(ParseScript, FunctionsAreUprightOperatorsAndLettersItalic)
{
    const math::Node tree = math::ParseScript(u"sin x");
    ASSERT_EQ(tree.children.size(), 2u);
    EXPECT_EQ(tree.children[0].style, math::FontStyle::Roman);
    EXPECT_EQ(tree.children[0].atom, math::AtomClass::Op);
    EXPECT_EQ(tree.children[1].style, math::FontStyle::Italic);
}

TEST(ParseScript, FontWordsLastToTheEndOfTheirGroup)
{
    const math::Node tree = math::ParseScript(u"{rm a b} c rm d it e");
    ASSERT_EQ(tree.children.size(), 4u);
    EXPECT_EQ(tree.children[0].children[0].style, math::FontStyle::Roman);
    EXPECT_EQ(tree.children[0].children[1].style, math::FontStyle::Roman);
    EXPECT_EQ(tree.children[1].style, math::FontStyle::Italic);
    EXPECT_EQ(tree.children[2].style, math::FontStyle::Roman);
    EXPECT_EQ(tree.children[3].style, math::FontStyle::Italic);
    EXPECT_EQ(math::ParseScript(u"bold v").children.at(0).style, math::FontStyle::Bold);
}

TEST(ParseScript, ColorTakesThreeNumbersAndAnItem)
{
    const math::Node tree = math::ParseScript(u"COLOR {255,0,16} {x+1} y");
    ASSERT_EQ(tree.children.size(), 2u);
    EXPECT_EQ(tree.children[0].kind, math::NodeKind::Color);
    EXPECT_EQ(tree.children[0].value, 0xFF0010u);
    // Without the numbers the word is shown as written.
    EXPECT_EQ(Tree(u"color x"), "row(color,x)");
}

TEST(ParseScript, NestingIsBoundedWhateverTheInput)
{
    const std::u16string braces = std::u16string(5000, u'{') + u"x" + std::u16string(5000, u'}');
    const std::u16string powers = [] {
        std::u16string s = u"x";
        for (int i = 0; i < 3000; ++i) s += u"^x";
        return s;
    }();
    const std::u16string fractions = [] {
        std::u16string s = u"x";
        for (int i = 0; i < 3000; ++i) s += u" over 2";
        return s;
    }();
    const std::u16string roots = [] {
        std::u16string s;
        for (int i = 0; i < 3000; ++i) s += u"sqrt ";
        return s + u"x";
    }();
    const std::u16string lefts = [] {
        std::u16string s;
        for (int i = 0; i < 3000; ++i) s += u"LEFT ( ";
        return s + u"x";
    }();
    const std::u16string leftLines = [] {
        std::u16string s;
        for (int i = 0; i < 3000; ++i) s += u"LEFT ( a # {b # x^{c over ";
        return s + u"x";
    }();
    for (const std::u16string& script : {braces, powers, fractions, roots, lefts, leftLines}) {
        const math::Node tree = math::ParseScript(script);
        EXPECT_LE(tree.height, math::kMaxTreeHeight);
        // What was too deep is kept as text, not dropped: the x is still there.
        EXPECT_NE(math::DumpTree(tree).find('x'), std::string::npos);
    }
}

TEST(ParseScript, HugeScriptsStopAtTheNodeBudgetAndKeepTheRestAsText)
{
    std::u16string script;
    for (int i = 0; i < 30000; ++i) script += u"a+";
    script += u"END";
    const std::string tree = Tree(script);
    EXPECT_NE(tree.find("END"), std::string::npos);
}

}  // namespace
