// Feeds arbitrary bytes to the equation script parser and lays the tree out with a small
// made-up font (so no font files or Qt are needed): the bytes are the script as UTF-16
// when the first byte is odd, else as Latin-1 text, which reaches the words sooner. A
// crash, a tree deeper than the parser's bound or a layout that is not finite is a
// finding.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "math/layout.h"
#include "math/script.h"

namespace {

class FuzzFont final : public math::MathFont {
public:
    FuzzFont()
    {
        // Parentheses and the radical sign grow by variants, then by parts.
        m_stretch.variants = {{1001, 1.2}, {1002, 1.8}};
        m_stretch.parts = {{1003, 0, 0.2, 0.6, false}, {1004, 0.2, 0.2, 0.5, true}, {1005, 0.2, 0, 0.6, false}};
    }
    bool Lookup(math::FontSlot slot, char32_t c, std::uint32_t& glyph) const override
    {
        if (slot == math::FontSlot::Text && c < 0x1100) return false;
        glyph = static_cast<std::uint32_t>(c % 997) + 1;
        if (c == '(' || c == 0x221A) glyph = 1000;
        return true;
    }
    math::GlyphMetrics Metrics(math::FontSlot, std::uint32_t glyph) const override
    {
        math::GlyphMetrics m;
        m.advance = 0.3 + (glyph % 7) * 0.05;
        m.right = m.advance;
        m.top = 0.5 + (glyph % 5) * 0.1;
        m.bottom = (glyph % 3) ? 0 : -0.2;
        m.italic = (glyph % 11) ? 0 : 0.05;
        return m;
    }
    const math::MathConstants& Constants() const override { return m_constants; }
    const math::GlyphConstruction* Construction(std::uint32_t glyph, bool) const override
    {
        return glyph == 1000 ? &m_stretch : nullptr;
    }
    double MinConnectorOverlap() const override { return 0.05; }

private:
    math::MathConstants m_constants;
    math::GlyphConstruction m_stretch;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::u16string script;
    if (size > 0 && (data[0] & 1)) {
        for (std::size_t i = 1; i + 1 < size; i += 2) script.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    } else {
        for (std::size_t i = 1; i < size; ++i) script.push_back(static_cast<char16_t>(data[i]));
    }
    const math::Node tree = math::ParseScript(script);
    if (tree.height > math::kMaxTreeHeight) __builtin_trap();
    static const FuzzFont font;
    math::TypesetOptions options;
    options.frames = (size % 2) == 0;
    const math::EquationLayout layout = math::Layout(tree, font, options);
    if (!std::isfinite(layout.width) || !std::isfinite(layout.ascent) || !std::isfinite(layout.descent) ||
        layout.width < 0)
        __builtin_trap();
    return 0;
}
