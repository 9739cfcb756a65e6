#include "math/markup.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unordered_map>

#include "math/markup_common.h"
#include "support/text.h"

namespace math {
namespace {

bool IsEmptyRow(const Node& node) { return node.kind == NodeKind::Row && node.children.empty(); }

// Characters MathJax knows by a command rather than as themselves.
const std::unordered_map<char32_t, const char*>& Commands()
{
    static const std::unordered_map<char32_t, const char*> table = {
        {0x3B1, "\\alpha"}, {0x3B2, "\\beta"}, {0x3B3, "\\gamma"}, {0x3B4, "\\delta"}, {0x3B5, "\\epsilon"},
        {0x3B6, "\\zeta"}, {0x3B7, "\\eta"}, {0x3B8, "\\theta"}, {0x3B9, "\\iota"}, {0x3BA, "\\kappa"},
        {0x3BB, "\\lambda"}, {0x3BC, "\\mu"}, {0x3BD, "\\nu"}, {0x3BE, "\\xi"}, {0x3BF, "o"}, {0x3C0, "\\pi"},
        {0x3C1, "\\rho"}, {0x3C3, "\\sigma"}, {0x3C4, "\\tau"}, {0x3C5, "\\upsilon"}, {0x3C6, "\\phi"},
        {0x3C7, "\\chi"}, {0x3C8, "\\psi"}, {0x3C9, "\\omega"}, {0x393, "\\Gamma"}, {0x394, "\\Delta"},
        {0x398, "\\Theta"}, {0x39B, "\\Lambda"}, {0x39E, "\\Xi"}, {0x3A0, "\\Pi"}, {0x3A3, "\\Sigma"},
        {0x3A5, "\\Upsilon"}, {0x3A6, "\\Phi"}, {0x3A8, "\\Psi"}, {0x3A9, "\\Omega"}, {0x3D1, "\\vartheta"},
        {0x3D5, "\\varphi"}, {0x3F5, "\\varepsilon"}, {0x3D6, "\\varpi"}, {0x3C2, "\\varsigma"}, {0x3F1, "\\varrho"},
        {0xD7, "\\times"}, {0xF7, "\\div"}, {0xB1, "\\pm"}, {0x2213, "\\mp"}, {0x22C5, "\\cdot"}, {0x2218, "\\circ"},
        {0x2219, "\\bullet"}, {0x2217, "\\ast"}, {0x22C6, "\\star"}, {0x2295, "\\oplus"}, {0x2296, "\\ominus"},
        {0x2297, "\\otimes"}, {0x2299, "\\odot"}, {0x2298, "\\oslash"}, {0x222A, "\\cup"}, {0x2229, "\\cap"},
        {0x2294, "\\sqcup"}, {0x2293, "\\sqcap"}, {0x2228, "\\vee"}, {0x2227, "\\wedge"}, {0x2216, "\\setminus"},
        {0x2264, "\\le"}, {0x2265, "\\ge"}, {0x2260, "\\ne"}, {0x2248, "\\approx"}, {0x223C, "\\sim"},
        {0x2243, "\\simeq"}, {0x2261, "\\equiv"}, {0x2245, "\\cong"}, {0x221D, "\\propto"}, {0x226A, "\\ll"},
        {0x226B, "\\gg"}, {0x2208, "\\in"}, {0x2209, "\\notin"}, {0x220B, "\\ni"}, {0x2282, "\\subset"},
        {0x2283, "\\supset"}, {0x2286, "\\subseteq"}, {0x2287, "\\supseteq"}, {0x22A5, "\\perp"},
        {0x2225, "\\parallel"}, {0x2220, "\\angle"}, {0x25B3, "\\triangle"}, {0x2234, "\\therefore"},
        {0x2235, "\\because"}, {0x2200, "\\forall"}, {0x2203, "\\exists"}, {0x00AC, "\\neg"},
        {0x2192, "\\rightarrow"}, {0x2190, "\\leftarrow"}, {0x2194, "\\leftrightarrow"}, {0x2191, "\\uparrow"},
        {0x2193, "\\downarrow"}, {0x2195, "\\updownarrow"}, {0x21D2, "\\Rightarrow"}, {0x21D0, "\\Leftarrow"},
        {0x21D4, "\\Leftrightarrow"}, {0x21D1, "\\Uparrow"}, {0x21D3, "\\Downarrow"}, {0x21D5, "\\Updownarrow"},
        {0x221E, "\\infty"}, {0x2202, "\\partial"}, {0x2207, "\\nabla"}, {0x211C, "\\Re"}, {0x2111, "\\Im"},
        {0x2205, "\\emptyset"}, {0x2113, "\\ell"}, {0x210F, "\\hbar"}, {0x2135, "\\aleph"}, {0x2212, "-"},
        {0x2211, "\\sum"}, {0x220F, "\\prod"}, {0x2210, "\\coprod"}, {0x222B, "\\int"}, {0x222C, "\\iint"},
        {0x222D, "\\iiint"}, {0x222E, "\\oint"}, {0x22C3, "\\bigcup"}, {0x22C2, "\\bigcap"},
        {0x22EF, "\\cdots"}, {0x2026, "\\ldots"}, {0x22EE, "\\vdots"}, {0x22F1, "\\ddots"}, {0xB0, "^{\\circ}"},
        {0x2032, "'"}, {0x27E8, "\\langle"}, {0x27E9, "\\rangle"}, {0x2308, "\\lceil"}, {0x2309, "\\rceil"},
        {0x230A, "\\lfloor"}, {0x230B, "\\rfloor"}, {0x2016, "\\|"},
        {'{', "\\{"}, {'}', "\\}"}, {'#', "\\#"}, {'&', "\\&"}, {'%', "\\%"}, {'$', "\\$"}, {'_', "\\_"},
        {'^', "\\hat{}"}, {'~', "\\sim"}, {'\\', "\\backslash"},
    };
    return table;
}

// Function names with a command of their own; others are written with \operatorname.
bool KnownFunction(const std::string& word)
{
    static const char* const kNames[] = {"sin", "cos", "tan", "cot", "sec", "csc", "sinh", "cosh", "tanh", "coth",
                                         "arcsin", "arccos", "arctan", "log", "ln", "lg", "exp", "lim", "max",
                                         "min", "sup", "inf", "det", "gcd", "mod", "deg", "dim", "ker", "arg"};
    for (const char* name : kNames)
        if (word == name) return true;
    return false;
}

class TeXWriter {
public:
    std::string out;

    void Write(const Node& node)
    {
        switch (node.kind) {
        case NodeKind::Row:
            for (const Node& child : node.children) Write(child);
            return;
        case NodeKind::Text: Text(node); return;
        case NodeKind::Space: out += node.value > 2 ? "\\;" : "\\,"; return;
        case NodeKind::Fraction:
            out += node.value ? "\\frac" : "\\genfrac{}{}{0pt}{}";
            Group(node, 0);
            Group(node, 1);
            return;
        case NodeKind::Radical:
            out += "\\sqrt";
            if (node.children.size() > 1 && !IsEmptyRow(node.children[1])) {
                out += "[";
                Write(node.children[1]);
                out += "]";
            }
            Group(node, 0);
            return;
        case NodeKind::Scripts: Scripts(node, false); return;
        case NodeKind::Limits: Scripts(node, true); return;
        case NodeKind::Delimited:
            out += "\\left";
            Delimiter(node.text.size() > 0 ? node.text[0] : 0);
            Group(node, 0);
            out += "\\right";
            Delimiter(node.text.size() > 1 ? node.text[1] : 0);
            return;
        case NodeKind::Matrix: Matrix(node); return;
        case NodeKind::Accent: Accent(node); return;
        case NodeKind::Lines:
            out += "\\begin{array}{l}";
            for (std::size_t i = 0; i < node.children.size(); ++i) {
                if (i) out += "\\\\";
                Write(node.children[i]);
            }
            out += "\\end{array}";
            return;
        case NodeKind::Color: {
            char colour[48];
            std::snprintf(colour, sizeof colour, "{\\color[RGB]{%u,%u,%u}{", (node.value >> 16) & 0xFF,
                          (node.value >> 8) & 0xFF, node.value & 0xFF);
            out += colour;
            for (const Node& child : node.children) Write(child);
            out += "}}";
            return;
        }
        }
    }

private:
    // A command name must not run into a following letter: "\pi x", not "\pix".
    void Append(const std::string& text)
    {
        if (!text.empty() && !out.empty() && std::isalpha(static_cast<unsigned char>(text[0]))) {
            const std::size_t slash = out.find_last_of('\\');
            if (slash != std::string::npos && slash + 1 < out.size()) {
                bool command = true;
                for (std::size_t i = slash + 1; i < out.size(); ++i)
                    command = command && std::isalpha(static_cast<unsigned char>(out[i]));
                if (command) out.push_back(' ');
            }
        }
        out += text;
    }

    void Group(const Node& node, std::size_t i)
    {
        out += "{";
        if (i < node.children.size()) Write(node.children[i]);
        out += "}";
    }

    std::string Characters(const std::u32string& text)
    {
        std::string result;
        for (char32_t c : text) {
            const auto it = Commands().find(c);
            std::string piece = it != Commands().end() ? it->second : Utf32ToUtf8(std::u32string(1, c));
            if (!piece.empty() && std::isalpha(static_cast<unsigned char>(piece[0])) && !result.empty()) {
                const std::size_t slash = result.find_last_of('\\');
                if (slash != std::string::npos && result.find_first_not_of(
                        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ", slash + 1) == std::string::npos)
                    result.push_back(' ');
            }
            result += piece;
        }
        return result;
    }

    void Text(const Node& node)
    {
        if (node.quoted || IsRunningText(node.text)) {
            std::string text;
            for (char c : Utf32ToUtf8(node.text)) {
                if (c == '{' || c == '}' || c == '\\' || c == '^' || c == '~') continue;
                if (c == '#' || c == '$' || c == '%' || c == '&' || c == '_') text.push_back('\\');
                text.push_back(c);
            }
            out += "\\text{" + text + "}";
            return;
        }
        const std::string ascii = Utf32ToUtf8(node.text);
        if (node.atom == AtomClass::Op && !node.largeOperator && IsLetterOrSymbolWord(node.text)) {
            Append(KnownFunction(ascii) ? "\\" + ascii : "\\operatorname{" + ascii + "}");
            return;
        }
        std::string text = Characters(node.text);
        // Only Latin letters change with the style; symbols have their one shape.
        const bool latin = std::all_of(node.text.begin(), node.text.end(),
                                       [](char32_t c) { return c < 0x80 && std::isalpha(static_cast<int>(c)); });
        if (node.style == FontStyle::Bold && latin)
            text = "\\mathbf{" + text + "}";
        else if (node.style == FontStyle::Roman && latin && node.atom == AtomClass::Ord)
            text = "\\mathrm{" + text + "}";
        Append(text);
    }

    void Scripts(const Node& node, bool limits)
    {
        const bool hasLower = node.children.size() > 1 && !IsEmptyRow(node.children[1]);
        const bool hasUpper = node.children.size() > 2 && !IsEmptyRow(node.children[2]);
        const Node* base = node.children.empty() ? nullptr : &node.children[0];
        const bool operatorBase = base && base->kind == NodeKind::Text && base->atom == AtomClass::Op;
        if (limits && !operatorBase) {
            // Limits under and over something that is no operator.
            if (hasLower) out += "\\underset{" + Sub(node.children[1]) + "}";
            if (hasUpper) out += "{\\overset{" + Sub(node.children[2]) + "}";
            out += "{";
            if (base) Write(*base);
            out += "}";
            if (hasUpper) out += "}";
            return;
        }
        out += "{";
        if (base) Write(*base);
        out += "}";
        if (limits) out += "\\limits";
        else if (operatorBase && base->largeOperator) out += "\\nolimits";
        if (hasLower) out += "_{" + Sub(node.children[1]) + "}";
        if (hasUpper) out += "^{" + Sub(node.children[2]) + "}";
    }

    std::string Sub(const Node& node)
    {
        TeXWriter inner;
        inner.Write(node);
        return inner.out;
    }

    void Delimiter(char32_t c)
    {
        switch (c) {
        case 0: out += "."; return;
        case '{': out += "\\{"; return;
        case '}': out += "\\}"; return;
        case '(': case ')': case '[': case ']': case '|': case '/': out.push_back(static_cast<char>(c)); return;
        default: {
            const auto it = Commands().find(c);
            out += it != Commands().end() && it->second[0] == '\\' ? std::string(it->second) + " " : std::string(".");
        }
        }
    }

    void Matrix(const Node& node)
    {
        const auto kind = static_cast<MatrixKind>(node.value);
        const char* environment = "matrix";
        const char* columnsSpec = nullptr;
        switch (kind) {
        case MatrixKind::Paren: environment = "pmatrix"; break;
        case MatrixKind::Bracket: environment = "bmatrix"; break;
        case MatrixKind::Bars: environment = "vmatrix"; break;
        case MatrixKind::Cases: environment = "cases"; break;
        case MatrixKind::Pile: environment = "array"; columnsSpec = "c"; break;
        case MatrixKind::LeftPile: environment = "array"; columnsSpec = "l"; break;
        case MatrixKind::RightPile: environment = "array"; columnsSpec = "r"; break;
        case MatrixKind::Plain: break;
        }
        const std::size_t columns = std::max<std::size_t>(1, node.columns);
        out += "\\begin{" + std::string(environment) + "}";
        if (columnsSpec) out += "{" + std::string(columns, columnsSpec[0]) + "}";
        for (std::size_t i = 0; i < node.children.size(); ++i) {
            if (i && i % columns == 0) out += "\\\\";
            else if (i) out += "&";
            out += "{";
            Write(node.children[i]);
            out += "}";
        }
        out += "\\end{" + std::string(environment) + "}";
    }

    void Accent(const Node& node)
    {
        static const char* const kCommands[] = {"\\vec", "\\bar", "\\hat", "\\dot", "\\ddot", "\\dddot", "\\tilde",
                                                "\\acute", "\\grave", "\\check", "\\overset{\\frown}", "\\overleftrightarrow",
                                                "\\overline", "\\underline"};
        const std::size_t kind = std::min<std::size_t>(node.value, std::size(kCommands) - 1);
        out += kCommands[kind];
        Group(node, 0);
    }
};

}  // namespace

std::string WriteTeX(const Node& tree)
{
    TeXWriter writer;
    writer.Write(tree);
    return writer.out;
}

std::string ScriptToTeX(std::u16string_view script) { return WriteTeX(ParseScript(script)); }

}  // namespace math
