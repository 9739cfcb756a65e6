#include "math/markup.h"

#include <algorithm>
#include <cstdio>

#include "math/markup_common.h"
#include "support/text.h"

namespace math {

std::string XmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default:
            // XML 1.0 has no place for C0 controls other than tab, line feed and return.
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                break;
            // U+FFFE and U+FFFF (EF BF BE / EF BF BF) are not characters either.
            if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
                i += 2;
                break;
            }
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

namespace {

bool IsEmptyRow(const Node& node) { return node.kind == NodeKind::Row && node.children.empty(); }

bool AllDigits(const std::u32string& text)
{
    if (text.empty()) return false;
    for (char32_t c : text)
        if (!((c >= '0' && c <= '9') || c == '.')) return false;
    return true;
}

char32_t AccentMark(AccentKind kind)
{
    switch (kind) {
    case AccentKind::Vec: return 0x2192;
    case AccentKind::Bar: return 0xAF;
    case AccentKind::Hat: return 0x5E;
    case AccentKind::Dot: return 0x2D9;
    case AccentKind::DoubleDot: return 0xA8;
    case AccentKind::TripleDot: return 0x20DB;
    case AccentKind::Tilde: return 0x2DC;
    case AccentKind::Acute: return 0xB4;
    case AccentKind::Grave: return 0x60;
    case AccentKind::Check: return 0x2C7;
    case AccentKind::Arch: return 0x2322;
    case AccentKind::Dyad: return 0x2194;
    case AccentKind::Overline: return 0xAF;
    case AccentKind::Underline: return 0x5F;
    }
    return 0xAF;
}

class MathMLWriter {
public:
    std::string out;

    void Write(const Node& node)
    {
        switch (node.kind) {
        case NodeKind::Row: Children("mrow", node); return;
        case NodeKind::Text: Text(node); return;
        case NodeKind::Space: {
            char width[32];
            std::snprintf(width, sizeof width, "%.3fem", node.value / 18.0);
            out += "<mspace width=\"" + std::string(width) + "\"/>";
            return;
        }
        case NodeKind::Fraction:
            out += node.value ? "<mfrac>" : "<mfrac linethickness=\"0\">";
            Child(node, 0);
            Child(node, 1);
            out += "</mfrac>";
            return;
        case NodeKind::Radical:
            if (node.children.size() > 1 && !IsEmptyRow(node.children[1])) {
                out += "<mroot>";
                Child(node, 0);
                Child(node, 1);
                out += "</mroot>";
            } else {
                out += "<msqrt>";
                Child(node, 0);
                out += "</msqrt>";
            }
            return;
        case NodeKind::Scripts: Scripts(node, "msub", "msup", "msubsup"); return;
        case NodeKind::Limits: Scripts(node, "munder", "mover", "munderover"); return;
        case NodeKind::Delimited: {
            const char32_t open = node.text.size() > 0 ? node.text[0] : 0;
            const char32_t close = node.text.size() > 1 ? node.text[1] : 0;
            out += "<mrow>";
            Fence(open);
            Child(node, 0);
            Fence(close);
            out += "</mrow>";
            return;
        }
        case NodeKind::Matrix: Matrix(node); return;
        case NodeKind::Accent: {
            const auto kind = static_cast<AccentKind>(node.value);
            const bool under = kind == AccentKind::Underline;
            out += under ? "<munder accentunder=\"true\">" : "<mover accent=\"true\">";
            Child(node, 0);
            out += "<mo stretchy=\"true\">" + XmlEscape(Utf32ToUtf8(std::u32string(1, AccentMark(kind)))) + "</mo>";
            out += under ? "</munder>" : "</mover>";
            return;
        }
        case NodeKind::Lines:
            out += "<mtable columnalign=\"left\">";
            for (const Node& line : node.children) {
                out += "<mtr><mtd>";
                Write(line);
                out += "</mtd></mtr>";
            }
            out += "</mtable>";
            return;
        case NodeKind::Color: {
            char colour[16];
            std::snprintf(colour, sizeof colour, "#%06X", static_cast<unsigned>(node.value & 0xFFFFFF));
            out += "<mstyle mathcolor=\"" + std::string(colour) + "\">";
            for (const Node& child : node.children) Write(child);
            out += "</mstyle>";
            return;
        }
        }
    }

private:
    void Child(const Node& node, std::size_t i)
    {
        if (i < node.children.size())
            Write(node.children[i]);
        else
            out += "<mrow/>";
    }

    void Children(const char* element, const Node& node)
    {
        out += "<" + std::string(element) + ">";
        for (const Node& child : node.children) Write(child);
        out += "</" + std::string(element) + ">";
    }

    void Text(const Node& node)
    {
        const std::string text = XmlEscape(Utf32ToUtf8(node.text));
        if (node.quoted || IsRunningText(node.text)) {
            out += "<mtext>" + text + "</mtext>";
        } else if (AllDigits(node.text)) {
            out += "<mn>" + text + "</mn>";
        } else if (node.largeOperator) {
            out += "<mo largeop=\"true\">" + text + "</mo>";
        } else if (node.atom == AtomClass::Op) {
            out += "<mi>" + text + "</mi>";   // sin, lim, log: upright, several letters
        } else if (node.atom != AtomClass::Ord || !IsLetterOrSymbolWord(node.text)) {
            out += "<mo>" + text + "</mo>";
        } else {
            const char* variant = node.style == FontStyle::Bold    ? " mathvariant=\"bold\""
                                  : node.style == FontStyle::Roman ? (node.text.size() == 1 ? " mathvariant=\"normal\"" : "")
                                  : node.text.size() > 1           ? " mathvariant=\"italic\""
                                                                   : "";
            out += "<mi" + std::string(variant) + ">" + text + "</mi>";
        }
    }

    void Scripts(const Node& node, const char* lower, const char* upper, const char* both)
    {
        const bool hasLower = node.children.size() > 1 && !IsEmptyRow(node.children[1]);
        const bool hasUpper = node.children.size() > 2 && !IsEmptyRow(node.children[2]);
        const char* element = hasLower && hasUpper ? both : hasLower ? lower : hasUpper ? upper : nullptr;
        if (!element) {
            Child(node, 0);
            return;
        }
        out += "<" + std::string(element) + ">";
        Child(node, 0);
        if (hasLower) Child(node, 1);
        if (hasUpper) Child(node, 2);
        out += "</" + std::string(element) + ">";
    }

    void Fence(char32_t c)
    {
        if (c == 0) return;
        out += "<mo fence=\"true\" stretchy=\"true\">" + XmlEscape(Utf32ToUtf8(std::u32string(1, c))) + "</mo>";
    }

    void Matrix(const Node& node)
    {
        const auto kind = static_cast<MatrixKind>(node.value);
        const MatrixFences fences = FencesOf(kind);
        const char* align = kind == MatrixKind::LeftPile || kind == MatrixKind::Cases ? "left"
                            : kind == MatrixKind::RightPile                         ? "right"
                                                                                    : "center";
        out += "<mrow>";
        Fence(fences.open);
        out += "<mtable columnalign=\"" + std::string(align) + "\">";
        const std::size_t columns = std::max<std::size_t>(1, node.columns);
        for (std::size_t i = 0; i < node.children.size(); i += columns) {
            out += "<mtr>";
            for (std::size_t j = i; j < i + columns; ++j) {
                out += "<mtd>";
                if (j < node.children.size()) Write(node.children[j]);
                out += "</mtd>";
            }
            out += "</mtr>";
        }
        out += "</mtable>";
        Fence(fences.close);
        out += "</mrow>";
    }
};

}  // namespace

std::string WriteMathML(const Node& tree, std::u16string_view script)
{
    MathMLWriter writer;
    writer.out = "<math xmlns=\"http://www.w3.org/1998/Math/MathML\" alttext=\"" +
                 XmlEscape(Utf16ToUtf8(script)) + "\">";
    writer.Write(tree);
    writer.out += "</math>";
    return writer.out;
}

std::string ScriptToMathML(std::u16string_view script) { return WriteMathML(ParseScript(script), script); }

}  // namespace math
