#include "math/script.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "support/text.h"

namespace math {
namespace {

enum class Tok : std::uint8_t { End, Word, Number, Text, Quote, Symbol, LBrace, RBrace, Caret, Underscore, Tilde, Backtick, Amp, Hash };

struct Token {
    Tok kind = Tok::End;
    std::u32string text;
};

bool IsAsciiLetter(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0x3000; }

// Hangul and other letters of running text: kept together, drawn upright from the text font.
bool IsTextLetter(char32_t c)
{
    return (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3040 && c <= 0x30FF);
}

std::u32string Decode(std::u16string_view in)
{
    std::u32string out;
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char16_t u = in[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < in.size() && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (in[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(u);
        }
    }
    return out;
}

std::vector<Token> Tokenize(const std::u32string& s)
{
    static const char* const kMulti[] = {"<->", "<=>", "->", "<-", "=>", "<=", ">=", "!=", "<<", ">>", "+-", "-+"};
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < s.size()) {
        const char32_t c = s[i];
        if (IsSpace(c)) {
            ++i;
            continue;
        }
        Token t;
        if (IsAsciiLetter(c)) {
            std::size_t j = i;
            while (j < s.size() && IsAsciiLetter(s[j])) ++j;
            t.kind = Tok::Word;
            t.text = s.substr(i, j - i);
            i = j;
        } else if (IsDigit(c)) {
            std::size_t j = i;
            while (j < s.size() && (IsDigit(s[j]) || (s[j] == '.' && j + 1 < s.size() && IsDigit(s[j + 1])))) ++j;
            t.kind = Tok::Number;
            t.text = s.substr(i, j - i);
            i = j;
        } else if (IsTextLetter(c)) {
            std::size_t j = i;
            while (j < s.size() && IsTextLetter(s[j])) ++j;
            t.kind = Tok::Text;
            t.text = s.substr(i, j - i);
            i = j;
        } else if (c == '"') {
            std::size_t j = i + 1;
            while (j < s.size() && s[j] != '"') ++j;
            t.kind = Tok::Quote;
            t.text = s.substr(i + 1, j - i - 1);
            i = std::min(s.size(), j + 1);
        } else {
            switch (c) {
            case '{': t.kind = Tok::LBrace; break;
            case '}': t.kind = Tok::RBrace; break;
            case '^': t.kind = Tok::Caret; break;
            case '_': t.kind = Tok::Underscore; break;
            case '~': t.kind = Tok::Tilde; break;
            case '`': t.kind = Tok::Backtick; break;
            case '&': t.kind = Tok::Amp; break;
            case '#': t.kind = Tok::Hash; break;
            default: t.kind = Tok::Symbol; break;
            }
            std::size_t length = 1;
            if (t.kind == Tok::Symbol) {
                for (const char* m : kMulti) {
                    const std::size_t n = std::strlen(m);
                    if (i + n <= s.size() && std::equal(m, m + n, s.begin() + static_cast<std::ptrdiff_t>(i))) {
                        length = n;
                        break;
                    }
                }
            }
            t.text = s.substr(i, length);
            i += length;
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

std::string Lower(const std::u32string& word)
{
    std::string out;
    out.reserve(word.size());
    for (char32_t c : word) out.push_back(static_cast<char>(std::tolower(static_cast<int>(c & 0x7F))));
    return out;
}

std::string Ascii(const std::u32string& word)
{
    std::string out;
    for (char32_t c : word) out.push_back(static_cast<char>(c & 0x7F));
    return out;
}

struct Symbol {
    char32_t code;
    AtomClass atom;
};

// Words whose case carries meaning: Greek capitals, double arrows, Re and Im.
const std::unordered_map<std::string, Symbol>& CaseSensitiveWords()
{
    static const std::unordered_map<std::string, Symbol> table = [] {
        std::unordered_map<std::string, Symbol> t;
        static const char* const kGreek[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta",
                                             "iota", "kappa", "lambda", "mu", "nu", "xi", "omicron", "pi", "rho",
                                             "sigma", "tau", "upsilon", "phi", "chi", "psi", "omega"};
        static const char32_t kLower[] = {0x3B1, 0x3B2, 0x3B3, 0x3B4, 0x3B5, 0x3B6, 0x3B7, 0x3B8, 0x3B9, 0x3BA, 0x3BB, 0x3BC,
                                          0x3BD, 0x3BE, 0x3BF, 0x3C0, 0x3C1, 0x3C3, 0x3C4, 0x3C5, 0x3C6, 0x3C7, 0x3C8, 0x3C9};
        static const char32_t kUpper[] = {0x391, 0x392, 0x393, 0x394, 0x395, 0x396, 0x397, 0x398, 0x399, 0x39A, 0x39B, 0x39C,
                                          0x39D, 0x39E, 0x39F, 0x3A0, 0x3A1, 0x3A3, 0x3A4, 0x3A5, 0x3A6, 0x3A7, 0x3A8, 0x3A9};
        for (std::size_t i = 0; i < std::size(kGreek); ++i) {
            std::string name = kGreek[i];
            t[name] = {kLower[i], AtomClass::Ord};
            std::string upper = name;
            for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            t[upper] = {kUpper[i], AtomClass::Ord};
            name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
            t[name] = {kUpper[i], AtomClass::Ord};
        }
        t["vartheta"] = {0x3D1, AtomClass::Ord};
        t["varphi"] = {0x3D5, AtomClass::Ord};
        t["varepsilon"] = {0x3F5, AtomClass::Ord};
        t["varpi"] = {0x3D6, AtomClass::Ord};
        t["varsigma"] = {0x3C2, AtomClass::Ord};
        t["varrho"] = {0x3F1, AtomClass::Ord};
        t["rarrow"] = {0x2192, AtomClass::Rel};
        t["larrow"] = {0x2190, AtomClass::Rel};
        t["lrarrow"] = {0x2194, AtomClass::Rel};
        t["uparrow"] = {0x2191, AtomClass::Rel};
        t["downarrow"] = {0x2193, AtomClass::Rel};
        t["udarrow"] = {0x2195, AtomClass::Rel};
        t["RARROW"] = {0x21D2, AtomClass::Rel};
        t["LARROW"] = {0x21D0, AtomClass::Rel};
        t["LRARROW"] = {0x21D4, AtomClass::Rel};
        t["UPARROW"] = {0x21D1, AtomClass::Rel};
        t["DOWNARROW"] = {0x21D3, AtomClass::Rel};
        t["UDARROW"] = {0x21D5, AtomClass::Rel};
        t["Rarrow"] = t["RARROW"];
        t["Larrow"] = t["LARROW"];
        t["LRarrow"] = t["LRARROW"];
        t["Re"] = {0x211C, AtomClass::Ord};
        t["Im"] = {0x2111, AtomClass::Ord};
        return t;
    }();
    return table;
}

// Symbol words written in any case (TIMES, times, Times).
const std::unordered_map<std::string, Symbol>& SymbolWords()
{
    static const std::unordered_map<std::string, Symbol> table = {
        {"times", {0xD7, AtomClass::Bin}}, {"div", {0xF7, AtomClass::Bin}}, {"pm", {0xB1, AtomClass::Bin}},
        {"plusminus", {0xB1, AtomClass::Bin}}, {"mp", {0x2213, AtomClass::Bin}}, {"minusplus", {0x2213, AtomClass::Bin}},
        {"cdot", {0x22C5, AtomClass::Bin}}, {"circ", {0x2218, AtomClass::Bin}}, {"bullet", {0x2219, AtomClass::Bin}},
        {"ast", {0x2217, AtomClass::Bin}}, {"star", {0x22C6, AtomClass::Bin}}, {"oplus", {0x2295, AtomClass::Bin}},
        {"ominus", {0x2296, AtomClass::Bin}}, {"otimes", {0x2297, AtomClass::Bin}}, {"odot", {0x2299, AtomClass::Bin}},
        {"oslash", {0x2298, AtomClass::Bin}}, {"cup", {0x222A, AtomClass::Bin}}, {"cap", {0x2229, AtomClass::Bin}},
        {"smallunion", {0x222A, AtomClass::Bin}}, {"smallinter", {0x2229, AtomClass::Bin}},
        {"sqcup", {0x2294, AtomClass::Bin}}, {"sqcap", {0x2293, AtomClass::Bin}}, {"vee", {0x2228, AtomClass::Bin}},
        {"wedge", {0x2227, AtomClass::Bin}}, {"setminus", {0x2216, AtomClass::Bin}},
        {"le", {0x2264, AtomClass::Rel}}, {"leq", {0x2264, AtomClass::Rel}}, {"ge", {0x2265, AtomClass::Rel}},
        {"geq", {0x2265, AtomClass::Rel}}, {"ne", {0x2260, AtomClass::Rel}}, {"neq", {0x2260, AtomClass::Rel}},
        {"approx", {0x2248, AtomClass::Rel}}, {"sim", {0x223C, AtomClass::Rel}}, {"simeq", {0x2243, AtomClass::Rel}},
        {"cong", {0x2245, AtomClass::Rel}}, {"equiv", {0x2261, AtomClass::Rel}}, {"propto", {0x221D, AtomClass::Rel}},
        {"ll", {0x226A, AtomClass::Rel}}, {"gg", {0x226B, AtomClass::Rel}}, {"prec", {0x227A, AtomClass::Rel}},
        {"succ", {0x227B, AtomClass::Rel}}, {"in", {0x2208, AtomClass::Rel}}, {"notin", {0x2209, AtomClass::Rel}},
        {"ni", {0x220B, AtomClass::Rel}}, {"owns", {0x220B, AtomClass::Rel}}, {"subset", {0x2282, AtomClass::Rel}},
        {"supset", {0x2283, AtomClass::Rel}}, {"subseteq", {0x2286, AtomClass::Rel}}, {"supseteq", {0x2287, AtomClass::Rel}},
        {"nsubset", {0x2284, AtomClass::Rel}}, {"parallel", {0x2225, AtomClass::Rel}}, {"perp", {0x22A5, AtomClass::Rel}},
        {"vdash", {0x22A2, AtomClass::Rel}}, {"models", {0x22A8, AtomClass::Rel}}, {"asymp", {0x224D, AtomClass::Rel}},
        {"doteq", {0x2250, AtomClass::Rel}}, {"mapsto", {0x21A6, AtomClass::Rel}}, {"nearrow", {0x2197, AtomClass::Rel}},
        {"searrow", {0x2198, AtomClass::Rel}}, {"nwarrow", {0x2196, AtomClass::Rel}}, {"swarrow", {0x2199, AtomClass::Rel}},
        {"rightarrow", {0x2192, AtomClass::Rel}}, {"leftarrow", {0x2190, AtomClass::Rel}},
        {"leftrightarrow", {0x2194, AtomClass::Rel}},
        {"inf", {0x221E, AtomClass::Ord}}, {"infty", {0x221E, AtomClass::Ord}}, {"infinity", {0x221E, AtomClass::Ord}},
        {"therefore", {0x2234, AtomClass::Ord}}, {"because", {0x2235, AtomClass::Ord}}, {"forall", {0x2200, AtomClass::Ord}},
        {"exist", {0x2203, AtomClass::Ord}}, {"exists", {0x2203, AtomClass::Ord}}, {"partial", {0x2202, AtomClass::Ord}},
        {"nabla", {0x2207, AtomClass::Ord}}, {"angle", {0x2220, AtomClass::Ord}}, {"triangle", {0x25B3, AtomClass::Ord}},
        {"prime", {0x2032, AtomClass::Ord}}, {"deg", {0xB0, AtomClass::Ord}}, {"emptyset", {0x2205, AtomClass::Ord}},
        {"aleph", {0x2135, AtomClass::Ord}}, {"hbar", {0x210F, AtomClass::Ord}}, {"ell", {0x2113, AtomClass::Ord}},
        {"wp", {0x2118, AtomClass::Ord}}, {"neg", {0xAC, AtomClass::Ord}}, {"lnot", {0xAC, AtomClass::Ord}},
        {"bot", {0x22A5, AtomClass::Ord}}, {"top", {0x22A4, AtomClass::Ord}}, {"cdots", {0x22EF, AtomClass::Ord}},
        {"ldots", {0x2026, AtomClass::Ord}}, {"vdots", {0x22EE, AtomClass::Ord}}, {"ddots", {0x22F1, AtomClass::Ord}},
        {"dagger", {0x2020, AtomClass::Ord}}, {"ddagger", {0x2021, AtomClass::Ord}}, {"square", {0x25A1, AtomClass::Ord}},
        {"box", {0x25A1, AtomClass::Ord}}, {"blacksquare", {0x25A0, AtomClass::Ord}}, {"diamond", {0x25C7, AtomClass::Ord}},
        {"circle", {0x25CB, AtomClass::Ord}}, {"centigrade", {0x2103, AtomClass::Ord}},
        {"fahrenheit", {0x2109, AtomClass::Ord}}, {"angstrom", {0x212B, AtomClass::Ord}}, {"lbrace", {'{', AtomClass::Open}},
        {"rbrace", {'}', AtomClass::Close}}, {"langle", {0x27E8, AtomClass::Open}}, {"rangle", {0x27E9, AtomClass::Close}},
        {"lceil", {0x2308, AtomClass::Open}}, {"rceil", {0x2309, AtomClass::Close}}, {"lfloor", {0x230A, AtomClass::Open}},
        {"rfloor", {0x230B, AtomClass::Close}}, {"sharp", {0x266F, AtomClass::Ord}}, {"flat", {0x266D, AtomClass::Ord}},
    };
    return table;
}

struct BigOperator {
    char32_t code;
    bool integral;
};

const std::unordered_map<std::string, BigOperator>& BigOperators()
{
    static const std::unordered_map<std::string, BigOperator> table = {
        {"sum", {0x2211, false}}, {"prod", {0x220F, false}}, {"coprod", {0x2210, false}},
        {"int", {0x222B, true}}, {"iint", {0x222C, true}}, {"dint", {0x222C, true}}, {"iiint", {0x222D, true}},
        {"tint", {0x222D, true}}, {"oint", {0x222E, true}}, {"oiint", {0x222F, true}}, {"odint", {0x222F, true}},
        {"oiiint", {0x2230, true}}, {"otint", {0x2230, true}}, {"bigcup", {0x22C3, false}}, {"union", {0x22C3, false}},
        {"bigcap", {0x22C2, false}}, {"inter", {0x22C2, false}}, {"bigsqcup", {0x2A06, false}},
        {"bigoplus", {0x2A01, false}}, {"bigotimes", {0x2A02, false}}, {"bigodot", {0x2A00, false}},
        {"biguplus", {0x2A04, false}}, {"bigvee", {0x22C1, false}}, {"bigwedge", {0x22C0, false}},
    };
    return table;
}

// Function names drawn upright; the second says whether `_` and `from` go under them.
const std::unordered_map<std::string, bool>& Functions()
{
    static const std::unordered_map<std::string, bool> table = {
        {"sin", false}, {"cos", false}, {"tan", false}, {"cot", false}, {"sec", false}, {"csc", false},
        {"cosec", false}, {"arcsin", false}, {"arccos", false}, {"arctan", false}, {"sinh", false}, {"cosh", false},
        {"tanh", false}, {"coth", false}, {"sech", false}, {"csch", false}, {"log", false}, {"ln", false},
        {"lg", false}, {"exp", false}, {"det", false}, {"dim", false}, {"ker", false}, {"hom", false},
        {"arg", false}, {"gcd", false}, {"lcm", false}, {"mod", false}, {"Pr", false}, {"max", true},
        {"min", true}, {"lim", true}, {"Lim", true}, {"liminf", true}, {"limsup", true},
    };
    return table;
}

struct Accent {
    const char* name;
    AccentKind kind;
};
constexpr Accent kAccents[] = {
    {"vec", AccentKind::Vec}, {"bar", AccentKind::Bar}, {"hat", AccentKind::Hat}, {"dot", AccentKind::Dot},
    {"ddot", AccentKind::DoubleDot}, {"dddot", AccentKind::TripleDot}, {"tilde", AccentKind::Tilde},
    {"acute", AccentKind::Acute}, {"grave", AccentKind::Grave}, {"check", AccentKind::Check},
    {"arch", AccentKind::Arch}, {"dyad", AccentKind::Dyad}, {"overline", AccentKind::Overline},
    {"under", AccentKind::Underline}, {"underline", AccentKind::Underline},
};

struct MatrixWord {
    const char* name;
    MatrixKind kind;
};
constexpr MatrixWord kMatrices[] = {
    {"matrix", MatrixKind::Plain}, {"pmatrix", MatrixKind::Paren}, {"bmatrix", MatrixKind::Bracket},
    {"dmatrix", MatrixKind::Bars}, {"pile", MatrixKind::Pile}, {"lpile", MatrixKind::LeftPile},
    {"rpile", MatrixKind::RightPile}, {"cases", MatrixKind::Cases},
};

AtomClass ClassOfCharacter(char32_t c)
{
    switch (c) {
    case '+': case 0x2212: case '*': case 0xD7: case 0xF7: case 0xB1: case 0x2213: case 0x22C5: case 0x222A: case 0x2229:
        return AtomClass::Bin;
    case '=': case '<': case '>': case ':': case 0x2264: case 0x2265: case 0x2260: case 0x2248: case 0x2261: case 0x223C:
    case 0x2208: case 0x2282: case 0x2283: case 0x2192: case 0x2190: case 0x21D2: case 0x21D4: case 0x2194:
    case 0x226A: case 0x226B:
        return AtomClass::Rel;
    case '(': case '[': return AtomClass::Open;
    case ')': case ']': case '!': return AtomClass::Close;
    case ',': case ';': return AtomClass::Punct;
    default: return AtomClass::Ord;
    }
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    Node ParseAll()
    {
        std::vector<Node> lines;
        while (true) {
            std::vector<std::vector<Node>> rows = ParseTable(0);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                Node line = JoinCells(std::move(rows[i]));
                if (i == 0 && !lines.empty())
                    Append(lines.back(), std::move(line));
                else
                    lines.push_back(std::move(line));
            }
            if (Peek().kind == Tok::RBrace) {
                // A closing brace with no opening one: shown as written.
                Next();
                lines.back().children.push_back(MakeText(U"}", FontStyle::Roman, AtomClass::Close));
                continue;
            }
            if (Peek().kind == Tok::End) break;
            // A word the rows stopped at (RIGHT without LEFT cannot be: it parses as text).
            lines.back().children.push_back(LiteralToken());
        }
        if (lines.size() == 1) return Finish(std::move(lines[0]));
        Node all;
        all.kind = NodeKind::Lines;
        all.children = std::move(lines);
        return Finish(std::move(all));
    }

private:
    static const Token& EndToken()
    {
        static const Token end;
        return end;
    }
    const Token& Peek(std::size_t ahead = 0) const
    {
        return m_pos + ahead < m_tokens.size() ? m_tokens[m_pos + ahead] : EndToken();
    }
    void Next()
    {
        if (m_pos < m_tokens.size()) ++m_pos;
    }
    bool IsWord(const Token& t, const char* lowerName) const { return t.kind == Tok::Word && Lower(t.text) == lowerName; }

    bool AtRowEnd() const
    {
        const Token& t = Peek();
        switch (t.kind) {
        case Tok::End: case Tok::RBrace: case Tok::Amp: case Tok::Hash: return true;
        case Tok::Word: return m_leftOpen > 0 && IsWord(t, "right");
        default: return false;
        }
    }

    Node Finish(Node node)
    {
        std::uint16_t h = 0;
        for (const Node& c : node.children) h = std::max<std::uint16_t>(h, static_cast<std::uint16_t>(c.height + 1));
        node.height = h;
        ++m_nodes;
        return node;
    }

    Node MakeText(std::u32string text, FontStyle style, AtomClass atom)
    {
        Node n;
        n.kind = NodeKind::Text;
        n.text = std::move(text);
        n.style = style;
        n.atom = atom;
        ++m_nodes;
        return n;
    }

    static void Append(Node& row, Node more)
    {
        for (Node& c : more.children) row.children.push_back(std::move(c));
    }

    Node JoinCells(std::vector<Node> cells)
    {
        if (cells.size() == 1) return std::move(cells[0]);
        Node row;
        for (Node& cell : cells) Append(row, std::move(cell));
        return Finish(std::move(row));
    }

    // One token as the characters it was written with.
    Node LiteralToken()
    {
        const Token t = Peek();
        Next();
        switch (t.kind) {
        case Tok::LBrace: return MakeText(U"{", FontStyle::Roman, AtomClass::Open);
        case Tok::RBrace: return MakeText(U"}", FontStyle::Roman, AtomClass::Close);
        case Tok::Caret: return MakeText(U"^", FontStyle::Roman, AtomClass::Ord);
        case Tok::Underscore: return MakeText(U"_", FontStyle::Roman, AtomClass::Ord);
        case Tok::Tilde: return MakeText(U"~", FontStyle::Roman, AtomClass::Ord);
        case Tok::Backtick: return MakeText(U"`", FontStyle::Roman, AtomClass::Ord);
        case Tok::Amp: return MakeText(U"&", FontStyle::Roman, AtomClass::Ord);
        case Tok::Hash: return MakeText(U"#", FontStyle::Roman, AtomClass::Ord);
        case Tok::Quote: {
            Node n = MakeText(t.text, FontStyle::Roman, AtomClass::Ord);
            n.quoted = true;
            return n;
        }
        case Tok::End: return Finish(Node{});
        default: return MakeText(t.text, t.kind == Tok::Word ? m_style : FontStyle::Roman, AtomClass::Ord);
        }
    }

    // The rest of the script as written, once the node budget is spent.
    Node RestAsText()
    {
        std::u32string text;
        while (Peek().kind != Tok::End) {
            const Token& t = Peek();
            text += t.kind == Tok::Quote ? t.text : t.text;
            if (t.kind == Tok::LBrace) text += U"{";
            if (t.kind == Tok::RBrace) text += U"}";
            Next();
        }
        Node n = MakeText(std::move(text), FontStyle::Roman, AtomClass::Ord);
        n.quoted = true;
        return n;
    }

    std::vector<std::vector<Node>> ParseTable(int depth)
    {
        std::vector<std::vector<Node>> rows(1);
        while (true) {
            rows.back().push_back(ParseRow(depth));
            if (Peek().kind == Tok::Amp) {
                Next();
            } else if (Peek().kind == Tok::Hash) {
                Next();
                rows.emplace_back();
            } else {
                break;
            }
        }
        return rows;
    }

    // A group's inside: rows separated by `#` become lines; `&` only aligns in tables.
    Node ParseGroupBody(int depth)
    {
        std::vector<std::vector<Node>> rows = ParseTable(depth);
        if (rows.size() == 1) return JoinCells(std::move(rows[0]));
        Node lines;
        lines.kind = NodeKind::Lines;
        for (auto& row : rows) lines.children.push_back(JoinCells(std::move(row)));
        return Finish(std::move(lines));
    }

    Node ParseRow(int depth)
    {
        Node row;
        const FontStyle saved = m_style;
        while (!AtRowEnd()) {
            if (m_nodes > kMaxNodes) {
                row.children.push_back(RestAsText());
                break;
            }
            const Token& t = Peek();
            if (IsWord(t, "over") || IsWord(t, "atop")) {
                const bool bar = IsWord(t, "over");
                Node word = MakeText(t.text, m_style, AtomClass::Ord);
                Next();
                Node numerator = Finish(Node{});
                if (!row.children.empty()) {
                    numerator = std::move(row.children.back());
                    row.children.pop_back();
                }
                Node denominator = ParseScripted(depth);
                if (std::max(numerator.height, denominator.height) + 1 > kMaxNesting) {
                    row.children.push_back(std::move(numerator));
                    row.children.push_back(std::move(word));
                    row.children.push_back(std::move(denominator));
                    continue;
                }
                Node fraction;
                fraction.kind = NodeKind::Fraction;
                fraction.value = bar ? 1 : 0;
                fraction.children.push_back(std::move(numerator));
                fraction.children.push_back(std::move(denominator));
                row.children.push_back(Finish(std::move(fraction)));
                continue;
            }
            if (IsWord(t, "rm") || IsWord(t, "it") || IsWord(t, "bold")) {
                m_style = IsWord(t, "rm") ? FontStyle::Roman : IsWord(t, "it") ? FontStyle::Italic : FontStyle::Bold;
                Next();
                continue;
            }
            row.children.push_back(ParseScripted(depth));
        }
        m_style = saved;
        return Finish(std::move(row));
    }

    enum class ScriptSlot { None, Sub, Sup, Lower, Upper };

    ScriptSlot SlotOf(const Token& t) const
    {
        if (t.kind == Tok::Caret || IsWord(t, "sup")) return ScriptSlot::Sup;
        if (t.kind == Tok::Underscore || IsWord(t, "sub")) return ScriptSlot::Sub;
        if (IsWord(t, "from")) return ScriptSlot::Lower;
        if (IsWord(t, "to")) return ScriptSlot::Upper;
        return ScriptSlot::None;
    }

    Node ParseScripted(int depth)
    {
        Node base = ParsePrimary(depth);
        bool built = false;
        bool flattened = false;
        // Integrals keep their bounds beside them; other operators (and lim) put
        // `from`/`to` under and over; `_`/`^` go under and over only for lim-like words.
        const bool integral = base.kind == NodeKind::Text && base.largeOperator && base.value == 1;
        const bool limitsBelow = base.kind == NodeKind::Text && base.limitsBelow;
        while (true) {
            const ScriptSlot slot = SlotOf(Peek());
            if (slot == ScriptSlot::None) break;
            Node mark = LiteralToken();
            Node argument = ParsePrimary(depth + 1);
            const bool fromTo = slot == ScriptSlot::Lower || slot == ScriptSlot::Upper;
            const bool under = fromTo ? !integral : limitsBelow;
            const NodeKind kind = under ? NodeKind::Limits : NodeKind::Scripts;
            const std::size_t index = (slot == ScriptSlot::Sub || slot == ScriptSlot::Lower) ? 1 : 2;
            if (built && base.kind == kind && base.children[index].children.empty() &&
                base.children[index].kind == NodeKind::Row) {
                base.children[index] = std::move(argument);
                base = Finish(std::move(base));
                continue;
            }
            if (std::max(base.height, argument.height) + 2 > kMaxNesting) {
                // Too deep to stack: the mark and its argument follow as written, in one
                // flat row however long the chain goes on.
                if (!flattened) {
                    Node row;
                    row.children.push_back(std::move(base));
                    base = std::move(row);
                    flattened = true;
                }
                base.children.push_back(std::move(mark));
                base.children.push_back(std::move(argument));
                base = Finish(std::move(base));
                built = false;
                continue;
            }
            Node scripts;
            scripts.kind = kind;
            scripts.atom = base.atom == AtomClass::Op ? AtomClass::Op : AtomClass::Ord;
            scripts.children.push_back(std::move(base));
            scripts.children.push_back(Finish(Node{}));
            scripts.children.push_back(Finish(Node{}));
            scripts.children[index] = std::move(argument);
            base = Finish(std::move(scripts));
            built = true;
        }
        return base;
    }

    char32_t ParseDelimiter()
    {
        const Token& t = Peek();
        char32_t d = 0;
        if (t.kind == Tok::LBrace) {
            d = '{';
        } else if (t.kind == Tok::RBrace) {
            d = '}';
        } else if (t.kind == Tok::Symbol && t.text.size() == 1) {
            switch (t.text[0]) {
            case '(': case ')': case '[': case ']': case '|': case '/': d = t.text[0]; break;
            case '<': d = 0x27E8; break;
            case '>': d = 0x27E9; break;
            case '.': d = 0; Next(); return 0;
            default: return 0;
            }
            if (d == '|' && Peek(1).kind == Tok::Symbol && Peek(1).text == U"|") {
                Next();
                d = 0x2016;
            }
        } else if (t.kind == Tok::Word) {
            const auto& words = SymbolWords();
            auto it = words.find(Lower(t.text));
            if (it == words.end() || (it->second.atom != AtomClass::Open && it->second.atom != AtomClass::Close))
                return 0;
            d = it->second.code;
        } else {
            return 0;
        }
        Next();
        return d;
    }

    Node ParseMatrix(int depth, MatrixKind kind)
    {
        std::vector<std::vector<Node>> rows;
        if (Peek().kind == Tok::LBrace) {
            Next();
            rows = ParseTable(depth);
            if (Peek().kind == Tok::RBrace) Next();
        } else {
            rows.emplace_back();
            rows.back().push_back(ParsePrimary(depth));
        }
        std::size_t columns = 1;
        for (const auto& row : rows) columns = std::max(columns, row.size());
        Node matrix;
        if (rows.size() * columns > 4096) {
            // Too wide to align: the rows one under the other, cells side by side.
            matrix.kind = NodeKind::Lines;
            for (auto& row : rows) matrix.children.push_back(JoinCells(std::move(row)));
            return Finish(std::move(matrix));
        }
        matrix.kind = NodeKind::Matrix;
        matrix.value = static_cast<std::uint32_t>(kind);
        matrix.columns = static_cast<std::uint16_t>(columns);
        for (auto& row : rows) {
            row.resize(columns);
            for (Node& cell : row) matrix.children.push_back(std::move(cell));
        }
        return Finish(std::move(matrix));
    }

    // COLOR {r,g,b} item: the colour in three decimal numbers.
    bool ParseColor(std::uint32_t& rgb)
    {
        if (Peek(0).kind != Tok::LBrace) return false;
        std::uint32_t parts[3] = {};
        for (int i = 0; i < 3; ++i) {
            const Token& n = Peek(1 + 2 * i);
            if (n.kind != Tok::Number || n.text.size() > 3) return false;
            std::uint32_t v = 0;
            for (char32_t c : n.text) {
                if (!IsDigit(c)) return false;
                v = v * 10 + (c - '0');
            }
            parts[i] = std::min<std::uint32_t>(v, 255);
            const Token& sep = Peek(2 + 2 * i);
            if (i < 2 ? !(sep.kind == Tok::Symbol && sep.text == U",") : sep.kind != Tok::RBrace) return false;
        }
        for (int i = 0; i < 7; ++i) Next();
        rgb = (parts[0] << 16) | (parts[1] << 8) | parts[2];
        return true;
    }

    Node ParseWord(int depth)
    {
        const Token t = Peek();
        const std::string lower = Lower(t.text);
        if (lower == "sqrt" || lower == "root") {
            Next();
            Node radical;
            radical.kind = NodeKind::Radical;
            if (lower == "root") {
                Node index = ParsePrimary(depth + 1);
                if (IsWord(Peek(), "of")) Next();
                radical.children.push_back(ParsePrimary(depth + 1));
                radical.children.push_back(std::move(index));
            } else {
                radical.children.push_back(ParsePrimary(depth + 1));
            }
            return Finish(std::move(radical));
        }
        if (lower == "left") {
            Next();
            Node delimited;
            delimited.kind = NodeKind::Delimited;
            const char32_t open = ParseDelimiter();
            ++m_leftOpen;
            delimited.children.push_back(ParseGroupBody(depth + 1));
            --m_leftOpen;
            char32_t close = 0;
            if (IsWord(Peek(), "right")) {
                Next();
                close = ParseDelimiter();
            }
            delimited.text = {open, close};
            return Finish(std::move(delimited));
        }
        if (lower == "right") {
            // RIGHT with no LEFT open: its delimiter as a plain character.
            Next();
            const char32_t d = ParseDelimiter();
            if (d == 0) return Finish(Node{});
            return MakeText(std::u32string(1, d), FontStyle::Roman, AtomClass::Close);
        }
        for (const MatrixWord& m : kMatrices) {
            if (lower == m.name) {
                Next();
                return ParseMatrix(depth + 1, m.kind);
            }
        }
        for (const Accent& a : kAccents) {
            if (lower == a.name) {
                Next();
                Node accent;
                accent.kind = NodeKind::Accent;
                accent.value = static_cast<std::uint32_t>(a.kind);
                accent.children.push_back(ParsePrimary(depth + 1));
                return Finish(std::move(accent));
            }
        }
        if (lower == "color") {
            std::uint32_t rgb = 0;
            Next();
            if (ParseColor(rgb)) {
                Node color;
                color.kind = NodeKind::Color;
                color.value = rgb;
                color.children.push_back(ParsePrimary(depth + 1));
                return Finish(std::move(color));
            }
            return MakeText(t.text, m_style, AtomClass::Ord);
        }
        if (lower == "rm" || lower == "it" || lower == "bold") {
            Next();
            const FontStyle saved = m_style;
            m_style = lower == "rm" ? FontStyle::Roman : lower == "it" ? FontStyle::Italic : FontStyle::Bold;
            Node n = ParsePrimary(depth + 1);
            m_style = saved;
            return n;
        }
        if (lower == "sup" || lower == "sub" || lower == "from" || lower == "to") return Finish(Node{});

        const std::string word = Ascii(t.text);
        Next();
        if (auto it = CaseSensitiveWords().find(word); it != CaseSensitiveWords().end()) {
            const bool upright = it->second.code < 0x3B1 || it->second.code > 0x3C9;
            return MakeText(std::u32string(1, it->second.code), upright ? FontStyle::Roman : m_style, it->second.atom);
        }
        if (auto it = SymbolWords().find(lower); it != SymbolWords().end())
            return MakeText(std::u32string(1, it->second.code), FontStyle::Roman, it->second.atom);
        if (auto it = BigOperators().find(lower); it != BigOperators().end()) {
            Node op = MakeText(std::u32string(1, it->second.code), FontStyle::Roman, AtomClass::Op);
            op.largeOperator = true;
            op.value = it->second.integral ? 1 : 0;
            return op;
        }
        if (auto it = Functions().find(word); it != Functions().end()) {
            Node f = MakeText(t.text, FontStyle::Roman, AtomClass::Op);
            f.limitsBelow = it->second;
            return f;
        }
        return MakeText(t.text, m_style, AtomClass::Ord);
    }

    Node ParsePrimary(int depth)
    {
        const Token& t = Peek();
        if (t.kind == Tok::End || t.kind == Tok::RBrace || t.kind == Tok::Amp || t.kind == Tok::Hash ||
            t.kind == Tok::Caret || t.kind == Tok::Underscore)
            return Finish(Node{});
        if (depth > kMaxNesting || m_nodes > kMaxNodes) return LiteralToken();
        switch (t.kind) {
        case Tok::LBrace: {
            Next();
            Node group = ParseGroupBody(depth + 1);
            if (Peek().kind == Tok::RBrace) Next();
            return group;
        }
        case Tok::Number: {
            Node n = MakeText(t.text, FontStyle::Roman, AtomClass::Ord);
            Next();
            return n;
        }
        case Tok::Text: {
            Node n = MakeText(t.text, FontStyle::Roman, AtomClass::Ord);
            Next();
            return n;
        }
        case Tok::Quote: return LiteralToken();
        case Tok::Tilde:
        case Tok::Backtick: {
            Node space;
            space.kind = NodeKind::Space;
            space.value = t.kind == Tok::Tilde ? 8 : 2;
            Next();
            return Finish(std::move(space));
        }
        case Tok::Symbol: {
            static const std::unordered_map<std::u32string, char32_t> kMulti = {
                {U"->", 0x2192}, {U"<-", 0x2190}, {U"<->", 0x2194}, {U"=>", 0x21D2}, {U"<=>", 0x21D4},
                {U"<=", 0x2264}, {U">=", 0x2265}, {U"!=", 0x2260}, {U"<<", 0x226A}, {U">>", 0x226B},
                {U"-", 0x2212}, {U"'", 0x2032}, {U"+-", 0xB1}, {U"-+", 0x2213},
            };
            std::u32string text = t.text;
            if (auto it = kMulti.find(text); it != kMulti.end()) text = std::u32string(1, it->second);
            Next();
            const char32_t c = text[0];
            return MakeText(std::move(text), FontStyle::Roman, ClassOfCharacter(c));
        }
        case Tok::Word: return ParseWord(depth);
        default: return LiteralToken();
        }
    }

    std::vector<Token> m_tokens;
    std::size_t m_pos = 0;
    int m_nodes = 0;
    int m_leftOpen = 0;
    FontStyle m_style = FontStyle::Italic;
};

void AppendUtf8(std::string& out, const std::u32string& text)
{
    std::u16string units;
    for (char32_t c : text) {
        if (c >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(c));
        }
    }
    out += Utf16ToUtf8(units);
}

void Dump(const Node& node, std::string& out)
{
    auto children = [&](const char* name) {
        out += name;
        out += '(';
        for (std::size_t i = 0; i < node.children.size(); ++i) {
            if (i) out += ',';
            Dump(node.children[i], out);
        }
        out += ')';
    };
    switch (node.kind) {
    case NodeKind::Row:
        if (node.children.size() == 1) {
            Dump(node.children[0], out);
            return;
        }
        children("row");
        return;
    case NodeKind::Text:
        AppendUtf8(out, node.text);
        return;
    case NodeKind::Space: out += node.value > 2 ? "~" : "`"; return;
    case NodeKind::Fraction: children(node.value ? "frac" : "atop"); return;
    case NodeKind::Radical: children(node.children.size() > 1 ? "root" : "sqrt"); return;
    case NodeKind::Scripts: children("scripts"); return;
    case NodeKind::Limits: children("limits"); return;
    case NodeKind::Delimited:
        out += "delim(";
        if (node.text.size() == 2 && node.text[0]) AppendUtf8(out, node.text.substr(0, 1));
        out += ',';
        Dump(node.children[0], out);
        out += ',';
        if (node.text.size() == 2 && node.text[1]) AppendUtf8(out, node.text.substr(1, 1));
        out += ')';
        return;
    case NodeKind::Matrix:
        out += "matrix" + std::to_string(node.value) + "x" + std::to_string(node.columns);
        children("");
        return;
    case NodeKind::Accent:
        out += "accent" + std::to_string(node.value);
        children("");
        return;
    case NodeKind::Lines: children("lines"); return;
    case NodeKind::Color: children("color"); return;
    }
}

}  // namespace

Node ParseScript(std::u16string_view script)
{
    // Scripts longer than this are not equations anyone typed; the rest stays as text.
    constexpr std::size_t kMaxUnits = 1 << 16;
    std::u32string text = Decode(script.substr(0, std::min(script.size(), kMaxUnits)));
    Parser parser(Tokenize(text));
    return parser.ParseAll();
}

std::string DumpTree(const Node& node)
{
    std::string out;
    Dump(node, out);
    return out;
}

}  // namespace math
