// The equation script language as the document files hold it ("{x+1} over 2",
// "sqrt {b^2-4ac}", "sum from {k=1} to n k^2", "LEFT ( a over b RIGHT )", ...), parsed
// into a tree the layout (layout.h) turns into boxes.
//
// Parsing never fails: a word it does not know is kept as written, a missing operand is
// an empty row, unbalanced braces are closed at the end, and nesting deeper than
// kMaxNesting (or a script past kMaxNodes) is kept as plain text, so no input can make
// the parser or the layout recurse without bound.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace math {

constexpr int kMaxNesting = 64;
constexpr int kMaxNodes = 20000;
// Each nesting level adds at most three levels to the tree (LEFT, the lines of its
// content, a row), so a tree is never deeper than this, and neither is the layout.
constexpr int kMaxTreeHeight = 3 * kMaxNesting + 8;

// TeX's atom classes: they decide the spacing between neighbours in a row.
enum class AtomClass : std::uint8_t { Ord, Op, Bin, Rel, Open, Close, Punct };

enum class FontStyle : std::uint8_t { Italic, Roman, Bold };

enum class NodeKind : std::uint8_t {
    Row,         // children side by side
    Text,        // `text`, one glyph per character
    Space,       // `value` eighteenths of an em
    Fraction,    // numerator, denominator; `value` 1 = with a bar (over), 0 = without (atop)
    Radical,     // radicand [, index]
    Scripts,     // base, subscript, superscript (empty rows when absent): beside the base
    Limits,      // base, lower, upper (empty rows when absent): under and over the base
    Delimited,   // content between text[0] and text[1] (0 = no delimiter), stretched to it
    Matrix,      // cells row by row, `columns` wide; `value` is a MatrixKind
    Accent,      // base; `value` is an AccentKind
    Lines,       // lines stacked, one under the other, left aligned
    Color,       // content drawn in `value` (0xRRGGBB)
};

enum class MatrixKind : std::uint8_t { Plain, Paren, Bracket, Bars, Pile, LeftPile, RightPile, Cases };

enum class AccentKind : std::uint8_t {
    Vec, Bar, Hat, Dot, DoubleDot, TripleDot, Tilde, Acute, Grave, Check, Arch, Dyad,
    Overline, Underline,
};

struct Node {
    NodeKind kind = NodeKind::Row;
    AtomClass atom = AtomClass::Ord;
    FontStyle style = FontStyle::Italic;
    bool quoted = false;      // Text from "...": upright, in the text font
    bool largeOperator = false;   // Text: sum, int, ... (bigger in display style)
    bool limitsBelow = false;     // Text: takes `_`/`^` as limits under and over (lim)
    std::uint32_t value = 0;
    std::uint16_t columns = 0;
    std::uint16_t height = 0;   // levels of nodes below this one
    std::u32string text;
    std::vector<Node> children;
};

// Parses a whole script; the result is a Row (or Lines when it holds `#` line breaks).
Node ParseScript(std::u16string_view script);

// The tree as a compact UTF-8 expression, for tests and diagnostics:
// "row(x,+,frac(1,2))", "scripts(x,_,2)", "delim((,row(a),))".
std::string DumpTree(const Node& node);

}  // namespace math
