#include "math/layout.h"

#include <algorithm>
#include <cmath>

namespace math {
namespace {

enum class Style : std::uint8_t { Display, Text, Script, ScriptScript };

struct Context {
    Style style = Style::Display;
    double scale = 1.0;
    std::uint32_t color = kDefaultColor;
    bool cramped = false;
};

struct PlacedGlyph {
    FontSlot slot;
    std::uint32_t glyph;
    double size;
    double stretchX;
    double stretchY;
    std::uint32_t color;
    double x, y;
};

// A laid-out piece: its extent around its own baseline origin and what it draws.
struct Box {
    double width = 0, ascent = 0, descent = 0;
    double italic = 0;        // italic correction of the last glyph
    double topAccent = -1;    // where an accent attaches, for one-glyph boxes
    bool single = false;      // one glyph: scripts and accents sit on it as on a letter
    AtomClass atom = AtomClass::Ord;
    std::vector<PlacedGlyph> glyphs;
    std::vector<Rule> rules;
    std::vector<Frame> frames;

    void Add(const Box& b, double dx, double dy)
    {
        for (PlacedGlyph g : b.glyphs) {
            g.x += dx;
            g.y += dy;
            glyphs.push_back(g);
        }
        for (Rule r : b.rules) {
            r.x += dx;
            r.y += dy;
            rules.push_back(r);
        }
        for (Frame f : b.frames) {
            f.x += dx;
            f.baseline += dy;
            frames.push_back(f);
        }
    }
    // Moves the contents up by `up` (y up), keeping the origin.
    void Raise(double up)
    {
        for (PlacedGlyph& g : glyphs) g.y -= up;
        for (Rule& r : rules) r.y -= up;
        for (Frame& f : frames) f.baseline -= up;
        ascent += up;
        descent -= up;
    }
};

bool IsEmpty(const Node& n) { return n.kind == NodeKind::Row && n.children.empty(); }

// The math alphabets: italic and bold letters live at their own code points.
char32_t MathAlphabet(char32_t c, FontStyle style)
{
    if (style == FontStyle::Roman) return c;
    const bool bold = style == FontStyle::Bold;
    if (c >= 'A' && c <= 'Z') return (bold ? 0x1D400 : 0x1D434) + (c - 'A');
    if (c >= 'a' && c <= 'z') {
        if (!bold && c == 'h') return 0x210E;
        return (bold ? 0x1D41A : 0x1D44E) + (c - 'a');
    }
    if (bold && c >= '0' && c <= '9') return 0x1D7CE + (c - '0');
    if (c >= 0x3B1 && c <= 0x3C9) return (bold ? 0x1D6C2 : 0x1D6FC) + (c - 0x3B1);
    if (bold && c >= 0x391 && c <= 0x3A9) return 0x1D6A8 + (c - 0x391);
    return c;
}

bool IsTextFontCharacter(char32_t c)
{
    return (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3040 && c <= 0x30FF);
}

class Layouter {
public:
    Layouter(const MathFont& font, const TypesetOptions& options)
        : m_font(font), k(font.Constants()), m_frames(options.frames)
    {
    }

    Box Build(const Node& node, const Context& ctx, bool outermost = false)
    {
        switch (node.kind) {
        case NodeKind::Row: return BuildRow(node.children, ctx, outermost);
        case NodeKind::Text: return BuildText(node, ctx);
        case NodeKind::Space: {
            Box b;
            b.width = node.value / 18.0 * ctx.scale;
            return b;
        }
        case NodeKind::Fraction: return BuildFraction(node, ctx);
        case NodeKind::Radical: return BuildRadical(node, ctx);
        case NodeKind::Scripts: return BuildScripts(node, ctx);
        case NodeKind::Limits: return BuildLimits(node, ctx);
        case NodeKind::Delimited: {
            Box content = Build(node.children[0], ctx);
            const char32_t open = node.text.size() > 0 ? node.text[0] : 0;
            const char32_t close = node.text.size() > 1 ? node.text[1] : 0;
            return Delimit(std::move(content), open, close, ctx);
        }
        case NodeKind::Matrix:
            return BuildMatrix(node.children, node.columns, static_cast<MatrixKind>(node.value), ctx);
        case NodeKind::Accent: return BuildAccent(node, ctx);
        case NodeKind::Lines: return BuildMatrix(node.children, 1, MatrixKind::LeftPile, ctx);
        case NodeKind::Color: {
            Context inner = ctx;
            inner.color = node.value & 0xFFFFFF;
            return Build(node.children[0], inner);
        }
        }
        return Box{};
    }

private:
    static Context Smaller(const Context& ctx, double scriptScale, double scriptScriptScale)
    {
        Context c = ctx;
        switch (ctx.style) {
        case Style::Display:
        case Style::Text:
            c.style = Style::Script;
            c.scale = ctx.scale * scriptScale;
            break;
        case Style::Script:
            c.style = Style::ScriptScript;
            c.scale = ctx.scale * scriptScriptScale / scriptScale;
            break;
        case Style::ScriptScript: break;
        }
        return c;
    }
    Context ScriptContext(const Context& ctx) const
    {
        return Smaller(ctx, k.scriptPercentScaleDown, k.scriptScriptPercentScaleDown);
    }
    Context FractionContext(const Context& ctx) const
    {
        if (ctx.style == Style::Display) {
            Context c = ctx;
            c.style = Style::Text;
            return c;
        }
        return ScriptContext(ctx);
    }

    void AddFrame(Box& box, FrameKind kind, int group, double x, double baseline, double width, double ascent,
                  double descent, double scale)
    {
        if (!m_frames) return;
        Frame f;
        f.kind = kind;
        f.group = group;
        f.x = x;
        f.baseline = baseline;
        f.width = width;
        f.ascent = ascent;
        f.descent = descent;
        f.scale = scale;
        box.frames.push_back(f);
    }
    void FrameOf(Box& into, const Box& part, FrameKind kind, int group, double x, double baseline, double scale)
    {
        AddFrame(into, kind, group, x, baseline, part.width, part.ascent, part.descent, scale);
    }

    // One glyph; false when neither font has the character.
    bool FindGlyph(char32_t c, FontStyle style, bool textFont, FontSlot& slot, std::uint32_t& glyph) const
    {
        if (textFont || IsTextFontCharacter(c)) {
            if (m_font.Lookup(FontSlot::Text, c, glyph)) {
                slot = FontSlot::Text;
                return true;
            }
        }
        const char32_t mapped = MathAlphabet(c, style);
        if (m_font.Lookup(FontSlot::Math, mapped, glyph) || m_font.Lookup(FontSlot::Math, c, glyph)) {
            slot = FontSlot::Math;
            return true;
        }
        if (m_font.Lookup(FontSlot::Text, c, glyph)) {
            slot = FontSlot::Text;
            return true;
        }
        return false;
    }

    Box GlyphBox(FontSlot slot, std::uint32_t glyph, const Context& ctx, double stretchY = 1.0)
    {
        const GlyphMetrics m = m_font.Metrics(slot, glyph);
        const double s = ctx.scale;
        Box b;
        b.width = m.advance * s;
        b.ascent = std::max(0.0, m.top * s * stretchY);
        b.descent = std::max(0.0, -m.bottom * s * stretchY);
        b.italic = m.italic * s;
        b.topAccent = m.topAccent >= 0 ? m.topAccent * s : -1;
        b.single = true;
        b.glyphs.push_back({slot, glyph, s, 1.0, stretchY, ctx.color, 0, 0});
        return b;
    }

    Box BuildText(const Node& node, const Context& ctx)
    {
        Box box;
        if (node.largeOperator && node.text.size() == 1) return BuildOperator(node, ctx);
        double pen = 0;
        int count = 0;
        for (char32_t c : node.text) {
            FontSlot slot = FontSlot::Math;
            std::uint32_t glyph = 0;
            if (!FindGlyph(c, node.style, node.quoted, slot, glyph)) {
                pen += 0.5 * ctx.scale;   // nothing to draw it with: its room stays
                continue;
            }
            Box g = GlyphBox(slot, glyph, ctx);
            box.Add(g, pen, 0);
            box.ascent = std::max(box.ascent, g.ascent);
            box.descent = std::max(box.descent, g.descent);
            box.italic = g.italic;
            box.topAccent = g.topAccent;
            pen += g.width;
            ++count;
        }
        box.width = pen;
        box.single = count == 1 && node.text.size() == 1;
        if (!box.single) box.topAccent = -1;
        // Upright text has no italic correction worth adding before a script.
        if (node.style == FontStyle::Roman && !box.single) box.italic = 0;
        box.atom = node.atom;
        return box;
    }

    // Sum, product, integral: the display size in display style, centred on the axis.
    Box BuildOperator(const Node& node, const Context& ctx)
    {
        FontSlot slot = FontSlot::Math;
        std::uint32_t glyph = 0;
        if (!FindGlyph(node.text[0], FontStyle::Roman, false, slot, glyph)) return Box{};
        if (ctx.style == Style::Display && slot == FontSlot::Math) {
            if (const GlyphConstruction* c = m_font.Construction(glyph, true)) {
                const double wanted = k.displayOperatorMinHeight;
                for (const GlyphVariant& v : c->variants) {
                    glyph = v.glyph;
                    if (v.advance >= wanted) break;
                }
            }
        }
        Box box = GlyphBox(slot, glyph, ctx);
        box.Raise(k.axisHeight * ctx.scale - (box.ascent - box.descent) / 2);
        box.atom = AtomClass::Op;
        box.single = false;
        const int group = ++m_group;
        FrameOf(box, box, FrameKind::Operator, group, 0, 0, ctx.scale);
        return box;
    }

    static int SpaceBetween(AtomClass left, AtomClass right, bool tight)
    {
        // In eighteenths of an em; negative means "only in display and text style".
        constexpr int T = 3, M = -4, K = -5;
        static const int table[7][7] = {
            //        Ord Op Bin Rel Open Close Punct
            /*Ord*/ {0, T, M, K, 0, 0, 0},
            /*Op*/ {T, T, 0, K, 0, 0, 0},
            /*Bin*/ {M, M, 0, 0, M, 0, 0},
            /*Rel*/ {K, K, 0, 0, K, 0, 0},
            /*Open*/ {0, 0, 0, 0, 0, 0, 0},
            /*Close*/ {0, T, M, K, 0, 0, 0},
            /*Punct*/ {-T, -T, 0, -T, -T, -T, -T},
        };
        const int v = table[static_cast<int>(left)][static_cast<int>(right)];
        if (v < 0) return tight ? 0 : -v;
        return v;
    }

    Box BuildRow(const std::vector<Node>& children, const Context& ctx, bool outermost)
    {
        if (children.size() == 1 && !outermost) return Build(children[0], ctx);
        std::vector<Box> boxes;
        boxes.reserve(children.size());
        std::vector<bool> isSpace;
        for (const Node& child : children) {
            boxes.push_back(Build(child, ctx));
            isSpace.push_back(child.kind == NodeKind::Space);
        }
        // A binary operator with nothing to combine on its left is a sign.
        std::vector<AtomClass> classes(boxes.size());
        AtomClass previous = AtomClass::Open;
        bool any = false;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (isSpace[i]) continue;
            AtomClass c = boxes[i].atom;
            if (c == AtomClass::Bin && (!any || previous == AtomClass::Bin || previous == AtomClass::Op ||
                                        previous == AtomClass::Rel || previous == AtomClass::Open ||
                                        previous == AtomClass::Punct))
                c = AtomClass::Ord;
            if ((c == AtomClass::Rel || c == AtomClass::Close || c == AtomClass::Punct) && any &&
                previous == AtomClass::Bin) {
                for (std::size_t j = i; j-- > 0;) {
                    if (!isSpace[j]) {
                        classes[j] = AtomClass::Ord;
                        break;
                    }
                }
            }
            classes[i] = c;
            previous = c;
            any = true;
        }
        if (any && previous == AtomClass::Bin) {
            for (std::size_t j = boxes.size(); j-- > 0;) {
                if (!isSpace[j]) {
                    classes[j] = AtomClass::Ord;
                    break;
                }
            }
        }
        const bool tight = ctx.style == Style::Script || ctx.style == Style::ScriptScript;
        Box row;
        double x = 0;
        int last = -1;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (!isSpace[i]) {
                if (last >= 0) x += SpaceBetween(classes[last], classes[i], tight) / 18.0 * ctx.scale;
                last = static_cast<int>(i);
            }
            const Box& b = boxes[i];
            row.Add(b, x, 0);
            if (outermost && m_frames && !isSpace[i]) {
                Frame f;
                f.kind = FrameKind::Atom;
                f.x = x;
                f.width = b.width;
                f.ascent = b.ascent;
                f.descent = b.descent;
                f.scale = ctx.scale;
                row.frames.push_back(f);
            }
            row.ascent = std::max(row.ascent, b.ascent);
            row.descent = std::max(row.descent, b.descent);
            x += b.width;
        }
        row.width = x;
        if (!boxes.empty()) row.italic = boxes.back().italic;
        if (boxes.size() == 1) {
            row.single = boxes[0].single;
            row.topAccent = boxes[0].topAccent;
            row.atom = boxes[0].atom;
        }
        return row;
    }

    Box BuildFraction(const Node& node, const Context& ctx)
    {
        const Context inner = FractionContext(ctx);
        Box num = Build(node.children[0], inner);
        Context denominatorContext = inner;
        denominatorContext.cramped = true;
        Box den = Build(node.children[1], denominatorContext);
        const bool display = ctx.style == Style::Display;
        const double s = ctx.scale;
        const double a = k.axisHeight * s;
        const double t = k.fractionRuleThickness * s;
        const bool bar = node.value != 0;
        double u, v;
        if (bar) {
            u = (display ? k.fractionNumeratorDisplayStyleShiftUp : k.fractionNumeratorShiftUp) * s;
            v = (display ? k.fractionDenominatorDisplayStyleShiftDown : k.fractionDenominatorShiftDown) * s;
            const double gapNum = (display ? k.fractionNumDisplayStyleGapMin : k.fractionNumeratorGapMin) * s;
            const double gapDen = (display ? k.fractionDenomDisplayStyleGapMin : k.fractionDenominatorGapMin) * s;
            if ((u - num.descent) - (a + t / 2) < gapNum) u = a + t / 2 + gapNum + num.descent;
            if ((a - t / 2) - (den.ascent - v) < gapDen) v = den.ascent + gapDen - (a - t / 2);
        } else {
            u = (display ? k.stackTopDisplayStyleShiftUp : k.stackTopShiftUp) * s;
            v = (display ? k.stackBottomDisplayStyleShiftDown : k.stackBottomShiftDown) * s;
            const double gap = (display ? k.stackDisplayStyleGapMin : k.stackGapMin) * s;
            const double clearance = (u - num.descent) - (den.ascent - v);
            if (clearance < gap) {
                u += (gap - clearance) / 2;
                v += (gap - clearance) / 2;
            }
        }
        const double pad = 0.1 * s;
        const double width = std::max(num.width, den.width) + 2 * pad;
        Box box;
        const double numX = (width - num.width) / 2, denX = (width - den.width) / 2;
        box.Add(num, numX, -u);
        box.Add(den, denX, v);
        if (bar) box.rules.push_back({pad / 2, -(a + t / 2), width - pad, t, ctx.color});
        box.width = width;
        box.ascent = std::max(u + num.ascent, a + t / 2);
        box.descent = std::max(v + den.descent, -(a - t / 2));
        const int group = ++m_group;
        FrameOf(box, box, FrameKind::Fraction, group, 0, 0, s);
        FrameOf(box, num, FrameKind::Numerator, group, numX, -u, inner.scale);
        FrameOf(box, den, FrameKind::Denominator, group, denX, v, inner.scale);
        if (bar) AddFrame(box, FrameKind::Bar, group, pad / 2, -a, width - pad, t / 2, t / 2, s);
        return box;
    }

    // Builds a construction's parts to `target` along its direction. Each extender is
    // drawn once, scaled to its share of the length: repeated copies would overlap, and
    // antialiased edges drawn twice show as a dotted line.
    Box Assemble(const GlyphConstruction& c, double target, bool vertical, const Context& ctx)
    {
        const double s = ctx.scale;
        Box box;
        if (c.parts.empty()) return box;
        double fixed = 0;
        int extenderCount = 0;
        for (const GlyphPart& p : c.parts) {
            if (p.extender)
                ++extenderCount;
            else
                fixed += p.fullAdvance * s;
        }
        const double overlap = m_font.MinConnectorOverlap() * s;
        const double joints = static_cast<double>(c.parts.size() - 1);
        const double share =
            extenderCount ? std::max(0.0, (target - fixed + overlap * joints) / extenderCount) : 0.0;
        double pos = 0;
        for (std::size_t i = 0; i < c.parts.size(); ++i) {
            const GlyphPart& p = c.parts[i];
            const GlyphMetrics m = m_font.Metrics(FontSlot::Math, p.glyph);
            const double natural = p.fullAdvance * s;
            const double length = p.extender ? share : natural;
            const double k = p.extender && natural > 0 ? length / natural : 1.0;
            if (p.extender && length <= 0) continue;
            if (vertical) {
                box.glyphs.push_back({FontSlot::Math, p.glyph, s, 1.0, k, ctx.color, 0, -(pos - m.bottom * s * k)});
                box.width = std::max(box.width, m.advance * s);
            } else {
                // Marks above (the arrow of vec) keep their ink left of the origin.
                box.glyphs.push_back({FontSlot::Math, p.glyph, s, k, 1.0, ctx.color, pos - m.left * s * k, 0});
                box.ascent = std::max(box.ascent, m.top * s);
                box.descent = std::max(box.descent, -m.bottom * s);
            }
            pos += length;
            if (i + 1 < c.parts.size()) pos -= overlap;
        }
        if (vertical) {
            box.ascent = pos;
            box.descent = 0;
        } else {
            box.width = pos;
        }
        return box;
    }

    // A delimiter, radical sign or wide accent at least `target` long: the base glyph,
    // a bigger variant, an assembly of parts, or (when the font has none) the glyph
    // scaled vertically.
    Box Stretch(char32_t character, double target, bool vertical, const Context& ctx, bool atMost = false)
    {
        FontSlot slot = FontSlot::Math;
        std::uint32_t glyph = 0;
        if (!FindGlyph(character, FontStyle::Roman, false, slot, glyph)) return Box{};
        auto extent = [&](std::uint32_t g) {
            const GlyphMetrics m = m_font.Metrics(slot, g);
            return vertical ? (m.top - m.bottom) * ctx.scale
                            : std::max(m.advance, m.right - m.left) * ctx.scale;
        };
        if (extent(glyph) >= target || slot != FontSlot::Math) return GlyphBox(slot, glyph, ctx);
        const GlyphConstruction* c = m_font.Construction(glyph, vertical);
        std::uint32_t best = glyph;
        if (c) {
            for (const GlyphVariant& v : c->variants) {
                const double size = v.advance * ctx.scale;
                if (atMost && size > target) break;
                best = v.glyph;
                if (size >= target) return GlyphBox(slot, best, ctx);
            }
            if (!atMost && !c->parts.empty()) return Assemble(*c, target, vertical, ctx);
        }
        if (atMost || !vertical) return GlyphBox(slot, best, ctx);
        const double have = extent(best);
        return GlyphBox(slot, best, ctx, have > 0 ? target / have : 1.0);
    }

    Box Delimiter(char32_t d, double target, const Context& ctx)
    {
        Box box = Stretch(d, target, true, ctx);
        box.Raise(k.axisHeight * ctx.scale - (box.ascent - box.descent) / 2);
        box.single = false;
        return box;
    }

    Box Delimit(Box content, char32_t open, char32_t close, const Context& ctx)
    {
        const double a = k.axisHeight * ctx.scale;
        const double delta = std::max(content.ascent - a, content.descent + a);
        const double target = 2 * delta;
        Box box;
        double x = 0;
        const int group = ++m_group;
        if (open) {
            Box d = Delimiter(open, target, ctx);
            box.Add(d, 0, 0);
            FrameOf(box, d, FrameKind::OpenDelimiter, group, 0, 0, ctx.scale);
            box.ascent = std::max(box.ascent, d.ascent);
            box.descent = std::max(box.descent, d.descent);
            x = d.width;
        }
        box.Add(content, x, 0);
        FrameOf(box, content, FrameKind::Content, group, x, 0, ctx.scale);
        box.ascent = std::max(box.ascent, content.ascent);
        box.descent = std::max(box.descent, content.descent);
        x += content.width;
        if (close) {
            Box d = Delimiter(close, target, ctx);
            box.Add(d, x, 0);
            FrameOf(box, d, FrameKind::CloseDelimiter, group, x, 0, ctx.scale);
            box.ascent = std::max(box.ascent, d.ascent);
            box.descent = std::max(box.descent, d.descent);
            x += d.width;
        }
        box.width = x;
        FrameOf(box, box, FrameKind::Delimited, group, 0, 0, ctx.scale);
        return box;
    }

    Box BuildRadical(const Node& node, const Context& ctx)
    {
        Context inner = ctx;
        inner.cramped = true;
        Box body = Build(node.children[0], inner);
        const double s = ctx.scale;
        const bool display = ctx.style == Style::Display;
        double gap = (display ? k.radicalDisplayStyleVerticalGap : k.radicalVerticalGap) * s;
        const double rule = k.radicalRuleThickness * s;
        const double target = body.ascent + body.descent + gap + rule;
        Box sign = Stretch(0x221A, target, true, ctx);
        const double signHeight = sign.ascent + sign.descent;
        if (signHeight > target) gap += (signHeight - target) / 2;
        const double ruleTop = body.ascent + gap + rule;
        const double raise = ruleTop - sign.ascent;
        sign.Raise(raise);

        Box box;
        double signX = 0;
        const int group = ++m_group;
        if (node.children.size() > 1 && !IsEmpty(node.children[1])) {
            Context indexContext = Smaller(ScriptContext(ctx), k.scriptPercentScaleDown, k.scriptScriptPercentScaleDown);
            Box index = Build(node.children[1], indexContext);
            double indexX = k.radicalKernBeforeDegree * s;
            signX = indexX + index.width + k.radicalKernAfterDegree * s;
            if (signX < 0) {
                indexX -= signX;
                signX = 0;
            }
            const double indexBaseline = -sign.descent + k.radicalDegreeBottomRaisePercent * signHeight + index.descent;
            box.Add(index, indexX, -indexBaseline);
            FrameOf(box, index, FrameKind::RadicalIndex, group, indexX, -indexBaseline, indexContext.scale);
            box.ascent = std::max(box.ascent, indexBaseline + index.ascent);
        }
        box.Add(sign, signX, 0);
        FrameOf(box, sign, FrameKind::RadicalSign, group, signX, 0, s);
        const double bodyX = signX + sign.width;
        box.Add(body, bodyX, 0);
        FrameOf(box, body, FrameKind::Radicand, group, bodyX, 0, s);
        const double overhang = 0.05 * s;
        box.rules.push_back({bodyX - 0.01 * s, -ruleTop, body.width + overhang + 0.01 * s, rule, ctx.color});
        box.width = bodyX + body.width + overhang + 0.05 * s;
        box.ascent = std::max({box.ascent, ruleTop + k.radicalExtraAscender * s, sign.ascent});
        box.descent = std::max(body.descent, sign.descent);
        FrameOf(box, box, FrameKind::Radical, group, 0, 0, s);
        return box;
    }

    // A base with what goes below it (children[1]) and above it (children[2]), the
    // two a size smaller, the lower one cramped.
    struct Attached {
        Box base, below, above;
        bool hasBelow = false, hasAbove = false;
        Context small;
    };
    Attached BuildAttached(const Node& node, const Context& ctx)
    {
        Attached a;
        a.base = Build(node.children[0], ctx);
        a.hasBelow = !IsEmpty(node.children[1]);
        a.hasAbove = !IsEmpty(node.children[2]);
        a.small = ScriptContext(ctx);
        Context belowContext = a.small;
        belowContext.cramped = true;
        if (a.hasBelow) a.below = Build(node.children[1], belowContext);
        if (a.hasAbove) a.above = Build(node.children[2], a.small);
        return a;
    }

    Box BuildScripts(const Node& node, const Context& ctx)
    {
        Attached parts = BuildAttached(node, ctx);
        const Box& base = parts.base;
        const Box& sub = parts.below;
        const Box& sup = parts.above;
        const bool hasSub = parts.hasBelow, hasSup = parts.hasAbove;
        const Context& small = parts.small;
        const double s = ctx.scale;
        const bool letter = base.single;
        double u = 0, v = 0;
        if (hasSup) {
            u = std::max({(ctx.cramped ? k.superscriptShiftUpCramped : k.superscriptShiftUp) * s,
                          letter ? 0.0 : base.ascent - k.superscriptBaselineDropMax * small.scale,
                          sup.descent + k.superscriptBottomMin * s});
        }
        if (hasSub) {
            v = std::max({k.subscriptShiftDown * s, letter ? 0.0 : base.descent + k.subscriptBaselineDropMin * small.scale,
                          sub.ascent - k.subscriptTopMax * s});
        }
        if (hasSub && hasSup) {
            const double gap = (u - sup.descent) - (sub.ascent - v);
            const double wanted = k.subSuperscriptGapMin * s;
            if (gap < wanted) {
                // Raise the superscript as far as its limit, then lower the subscript.
                double up = std::max(0.0, k.superscriptBottomMaxWithSubscript * s - (u - sup.descent));
                up = std::min(up, wanted - gap);
                u += up;
                v += wanted - gap - up;
            }
        }
        Box box;
        const int group = ++m_group;
        box.Add(base, 0, 0);
        FrameOf(box, base, FrameKind::Base, group, 0, 0, s);
        double width = base.width;
        const bool integral = base.atom == AtomClass::Op && base.italic > 0;
        // A big operator's advance already holds its italic correction (the integral's
        // overhang): the superscript goes at the advance, the subscript that much left.
        if (hasSup) {
            const double x = base.width + (integral ? 0 : base.italic);
            box.Add(sup, x, -u);
            FrameOf(box, sup, FrameKind::Superscript, group, x, -u, small.scale);
            width = std::max(width, x + sup.width);
        }
        if (hasSub) {
            const double x = base.width - (integral ? base.italic : 0);
            box.Add(sub, x, v);
            FrameOf(box, sub, FrameKind::Subscript, group, x, v, small.scale);
            width = std::max(width, x + sub.width);
        }
        box.width = width + k.spaceAfterScript * s;
        box.ascent = std::max(base.ascent, hasSup ? u + sup.ascent : 0.0);
        box.descent = std::max(base.descent, hasSub ? v + sub.descent : 0.0);
        box.atom = base.atom;
        return box;
    }

    Box BuildLimits(const Node& node, const Context& ctx)
    {
        Attached parts = BuildAttached(node, ctx);
        const Box& base = parts.base;
        const Box& lower = parts.below;
        const Box& upper = parts.above;
        const bool hasLower = parts.hasBelow, hasUpper = parts.hasAbove;
        const Context& small = parts.small;
        const double s = ctx.scale;
        const double width = std::max({base.width, lower.width, upper.width});
        Box box;
        const int group = ++m_group;
        const double baseX = (width - base.width) / 2;
        box.Add(base, baseX, 0);
        FrameOf(box, base, FrameKind::Base, group, baseX, 0, s);
        box.ascent = base.ascent;
        box.descent = base.descent;
        if (hasUpper) {
            const double rise = base.ascent + std::max(k.upperLimitGapMin * s + upper.descent, k.upperLimitBaselineRiseMin * s);
            const double x = (width - upper.width) / 2 + base.italic / 2;
            box.Add(upper, x, -rise);
            FrameOf(box, upper, FrameKind::Upper, group, x, -rise, small.scale);
            box.ascent = rise + upper.ascent;
        }
        if (hasLower) {
            const double drop = base.descent + std::max(k.lowerLimitGapMin * s + lower.ascent, k.lowerLimitBaselineDropMin * s);
            const double x = (width - lower.width) / 2 - base.italic / 2;
            box.Add(lower, x, drop);
            FrameOf(box, lower, FrameKind::Lower, group, x, drop, small.scale);
            box.descent = drop + lower.descent;
        }
        box.width = width + std::abs(base.italic) / 2;
        box.atom = AtomClass::Op;
        return box;
    }

    Box BuildMatrix(const std::vector<Node>& children, std::size_t columnCount, MatrixKind kind, const Context& ctx)
    {
        const std::size_t columns = std::max<std::size_t>(1, columnCount);
        const std::size_t rows = children.size() / columns;
        Context cellContext = ctx;
        if (cellContext.style == Style::Display) cellContext.style = Style::Text;
        const double s = ctx.scale;
        std::vector<Box> cells;
        cells.reserve(children.size());
        for (const Node& cell : children) cells.push_back(Build(cell, cellContext));
        std::vector<double> widths(columns, 0), ascents(rows, 0.75 * s), descents(rows, 0.25 * s);
        for (std::size_t r = 0; r < rows; ++r) {
            for (std::size_t c = 0; c < columns; ++c) {
                const Box& b = cells[r * columns + c];
                widths[c] = std::max(widths[c], b.width);
                ascents[r] = std::max(ascents[r], b.ascent);
                descents[r] = std::max(descents[r], b.descent);
            }
        }
        const bool pile = kind == MatrixKind::Pile || kind == MatrixKind::LeftPile || kind == MatrixKind::RightPile;
        const double rowGap = (pile ? 0.2 : 0.3) * s;
        const double columnGap = (kind == MatrixKind::Cases ? 1.0 : 0.8) * s;
        double height = 0;
        for (std::size_t r = 0; r < rows; ++r) height += ascents[r] + descents[r] + (r ? rowGap : 0);
        const double top = k.axisHeight * s + height / 2;
        Box box;
        const int group = ++m_group;
        double y = top;   // y up, the top of the current row
        for (std::size_t r = 0; r < rows; ++r) {
            const double baseline = y - ascents[r];
            double x = 0;
            for (std::size_t c = 0; c < columns; ++c) {
                const Box& b = cells[r * columns + c];
                double cx = x + (widths[c] - b.width) / 2;
                if (kind == MatrixKind::LeftPile || kind == MatrixKind::Cases) cx = x;
                if (kind == MatrixKind::RightPile) cx = x + widths[c] - b.width;
                box.Add(b, cx, -baseline);
                FrameOf(box, b, FrameKind::Cell, group, cx, -baseline, s);
                x += widths[c] + columnGap;
            }
            y = baseline - descents[r] - rowGap;
        }
        double width = 0;
        for (double w : widths) width += w;
        width += columnGap * static_cast<double>(columns - 1);
        box.width = width;
        box.ascent = top;
        box.descent = height - top;
        FrameOf(box, box, FrameKind::Matrix, group, 0, 0, s);
        switch (kind) {
        case MatrixKind::Paren: return Delimit(std::move(box), '(', ')', ctx);
        case MatrixKind::Bracket: return Delimit(std::move(box), '[', ']', ctx);
        case MatrixKind::Bars: return Delimit(std::move(box), '|', '|', ctx);
        case MatrixKind::Cases: {
            Box padded = box;
            padded.width += 0.1 * s;
            return Delimit(std::move(padded), '{', 0, ctx);
        }
        default: {
            // Some room either side, as a matrix has between its columns.
            Box padded;
            padded.Add(box, 0.1 * s, 0);
            padded.width = box.width + 0.2 * s;
            padded.ascent = box.ascent;
            padded.descent = box.descent;
            return padded;
        }
        }
    }

    Box BuildAccent(const Node& node, const Context& ctx)
    {
        Context inner = ctx;
        inner.cramped = true;
        Box base = Build(node.children[0], inner);
        const AccentKind kind = static_cast<AccentKind>(node.value);
        const double s = ctx.scale;
        Box box;
        const int group = ++m_group;
        box.Add(base, 0, 0);
        FrameOf(box, base, FrameKind::Base, group, 0, 0, s);
        box.width = base.width;
        box.ascent = base.ascent;
        box.descent = base.descent;
        box.atom = base.atom;
        box.italic = base.italic;
        if (kind == AccentKind::Bar || kind == AccentKind::Overline) {
            const double bottom = std::max(base.ascent, k.accentBaseHeight * s * (base.single ? 1.0 : 0.0)) +
                                  k.overbarVerticalGap * s;
            const double t = k.overbarRuleThickness * s;
            const double x = base.single ? base.italic / 2 : 0;
            box.rules.push_back({x, -(bottom + t), base.width, t, ctx.color});
            AddFrame(box, FrameKind::AccentMark, group, x, -bottom, base.width, t, 0, s);
            box.ascent = bottom + t + k.overbarExtraAscender * s;
        } else if (kind == AccentKind::Underline) {
            const double top = base.descent + k.underbarVerticalGap * s;
            const double t = k.underbarRuleThickness * s;
            box.rules.push_back({0, top, base.width, t, ctx.color});
            AddFrame(box, FrameKind::AccentMark, group, 0, top + t, base.width, t, 0, s);
            box.descent = top + t + k.underbarExtraDescender * s;
        } else {
            char32_t mark = 0x302;
            bool wide = false;   // stretches to cover the base
            switch (kind) {
            case AccentKind::Vec: mark = 0x20D7; wide = true; break;
            case AccentKind::Hat: mark = 0x302; break;
            case AccentKind::Dot: mark = 0x307; break;
            case AccentKind::DoubleDot: mark = 0x308; break;
            case AccentKind::TripleDot: mark = 0x20DB; break;
            case AccentKind::Tilde: mark = 0x303; break;
            case AccentKind::Acute: mark = 0x301; break;
            case AccentKind::Grave: mark = 0x300; break;
            case AccentKind::Check: mark = 0x30C; break;
            case AccentKind::Arch: mark = 0x23DC; wide = true; break;
            case AccentKind::Dyad: mark = 0x20E1; wide = true; break;
            default: break;
            }
            const double baseInk = base.width;
            Box accent = base.single && !wide ? Stretch(mark, 0, false, ctx)
                                              : Stretch(mark, baseInk * (wide ? 1.0 : 0.9), false, ctx, !wide);
            if (accent.glyphs.empty()) {
                // A font without the mark: a bar says at least that something is there.
                const double t = k.overbarRuleThickness * s;
                const double bottom = base.ascent + k.overbarVerticalGap * s;
                box.rules.push_back({0, -(bottom + t), base.width, t, ctx.color});
                box.ascent = bottom + t;
            } else {
                // The mark's own ink, to centre it and to keep it clear of the base.
                double inkLeft = 1e9, inkRight = -1e9, inkBottom = 1e9;
                for (const PlacedGlyph& g : accent.glyphs) {
                    const GlyphMetrics m = m_font.Metrics(g.slot, g.glyph);
                    inkLeft = std::min(inkLeft, g.x + m.left * g.size);
                    inkRight = std::max(inkRight, g.x + m.right * g.size);
                    inkBottom = std::min(inkBottom, -g.y + m.bottom * g.size);
                }
                const double baseAttach = base.single && base.topAccent >= 0 ? base.topAccent
                                                                             : base.width / 2 + (base.single ? base.italic / 2 : 0);
                const double accentAttach =
                    accent.single && accent.topAccent >= 0 && !wide ? accent.topAccent : (inkLeft + inkRight) / 2;
                double up = std::max(0.0, base.ascent - k.accentBaseHeight * s);
                const double clearance = 0.03 * s;
                if (inkBottom + up < base.ascent + clearance) up = base.ascent + clearance - inkBottom;
                const double x = baseAttach - accentAttach;
                box.Add(accent, x, -up);
                AddFrame(box, FrameKind::AccentMark, group, x + inkLeft, -(inkBottom + up), inkRight - inkLeft,
                         accent.ascent - inkBottom, 0, s);
                box.ascent = std::max(box.ascent, accent.ascent + up);
                // A mark wider than its base widens the box, so nothing draws outside it.
                const double overhangLeft = std::max(0.0, -(x + inkLeft));
                const double overhangRight = std::max(0.0, x + inkRight - base.width);
                if (overhangLeft > 0 || overhangRight > 0) {
                    Box wider;
                    wider.Add(box, overhangLeft, 0);
                    wider.width = box.width + overhangLeft + overhangRight;
                    wider.ascent = box.ascent;
                    wider.descent = box.descent;
                    wider.atom = box.atom;
                    box = std::move(wider);
                }
            }
        }
        FrameOf(box, box, FrameKind::Accent, group, 0, 0, s);
        box.single = false;
        return box;
    }

    const MathFont& m_font;
    const MathConstants& k;
    bool m_frames;
    int m_group = 0;
};

}  // namespace

EquationLayout Layout(const Node& tree, const MathFont& font, const TypesetOptions& options)
{
    Layouter layouter(font, options);
    Context ctx;
    ctx.color = options.color;
    const Box box = tree.kind == NodeKind::Row ? layouter.Build(tree, ctx, true) : layouter.Build(tree, ctx);
    EquationLayout out;
    out.width = box.width;
    out.ascent = std::max(0.0, box.ascent);
    out.descent = std::max(0.0, box.descent);
    out.axis = font.Constants().axisHeight;
    out.rules = box.rules;
    out.frames = box.frames;
    for (const PlacedGlyph& g : box.glyphs) {
        if (out.runs.empty() || out.runs.back().font != g.slot || out.runs.back().size != g.size ||
            out.runs.back().stretchX != g.stretchX || out.runs.back().stretchY != g.stretchY ||
            out.runs.back().color != g.color) {
            GlyphRun run;
            run.font = g.slot;
            run.size = g.size;
            run.stretchX = g.stretchX;
            run.stretchY = g.stretchY;
            run.color = g.color;
            out.runs.push_back(std::move(run));
        }
        GlyphRun& run = out.runs.back();
        run.glyphs.push_back(g.glyph);
        run.x.push_back(g.x);
        run.y.push_back(g.y);
    }
    return out;
}

EquationLayout Typeset(std::u16string_view script, const MathFont& font, const TypesetOptions& options)
{
    return Layout(ParseScript(script), font, options);
}

}  // namespace math
