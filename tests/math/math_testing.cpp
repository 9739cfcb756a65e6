#include "math_testing.h"

#include <QGuiApplication>

#include <fstream>

#include "support/text.h"

namespace math_testing {

const math::QtMathFont& RealFont()
{
    static int argc = 1;
    static char name[] = "math_tests";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static QGuiApplication* app = new QGuiApplication(argc, argv);
        (void)app;
    }
    static const math::QtMathFont font;
    return font;
}

std::vector<std::u16string> ExamScripts()
{
    std::vector<std::u16string> scripts;
    std::ifstream in(std::string(VARNEL_TEST_SOURCE_DIR) + "/tests/math/exam_scripts.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        scripts.push_back(Utf8ToUtf16(line).value_or(u""));
    }
    return scripts;
}

std::string Utf8(const std::u16string& text) { return Utf16ToUtf8(text); }

bool BoxFont::Lookup(math::FontSlot slot, char32_t character, std::uint32_t& glyph) const
{
    glyph = static_cast<std::uint32_t>(character) * 2 + (slot == math::FontSlot::Text ? 1 : 0);
    return character != 0;
}

math::GlyphMetrics BoxFont::Metrics(math::FontSlot, std::uint32_t glyph) const
{
    const char32_t c = glyph / 2;
    math::GlyphMetrics m;
    m.advance = 0.5;
    m.left = 0.05;
    m.right = 0.45;
    m.top = 0.7;
    m.bottom = (c == 'g' || c == 'p' || c == 'y' || c == 0x1D454 || c == 0x1D45D || c == 0x1D466) ? -0.2 : 0;
    if (c == '(' || c == ')' || c == '[' || c == ']' || c == '|') {
        m.top = 0.75;
        m.bottom = -0.25;
    }
    return m;
}

const math::Frame* FindFrame(const math::EquationLayout& layout, math::FrameKind kind, int group)
{
    for (const math::Frame& f : layout.frames) {
        if (f.kind == kind && (group < 0 || f.group == group)) return &f;
    }
    return nullptr;
}

std::vector<const math::Frame*> Frames(const math::EquationLayout& layout, math::FrameKind kind)
{
    std::vector<const math::Frame*> out;
    for (const math::Frame& f : layout.frames) {
        if (f.kind == kind) out.push_back(&f);
    }
    return out;
}

}  // namespace math_testing
