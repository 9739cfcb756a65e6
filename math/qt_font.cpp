#include "math/qt_font.h"

#include <QByteArray>
#include <QFile>
#include <QFont>
#include <QString>

namespace math {
namespace {

// Loaded at its design size, a font's pixel metrics are its font units.
constexpr double kLoadSize = 1000.0;

QRawFont LoadFont(const std::string& path, const char* const* candidates, const char* family)
{
    QRawFont font;
    if (!path.empty()) {
        font.loadFromFile(QString::fromStdString(path), kLoadSize, QFont::PreferNoHinting);
        if (font.isValid()) return font;
    }
    for (const char* const* c = candidates; *c; ++c) {
        if (!QFile::exists(QString::fromUtf8(*c))) continue;
        font.loadFromFile(QString::fromUtf8(*c), kLoadSize, QFont::PreferNoHinting);
        if (font.isValid()) return font;
    }
    QFont byName(QString::fromUtf8(family));
    byName.setPixelSize(static_cast<int>(kLoadSize));
    font = QRawFont::fromFont(byName);
    if (font.isValid() && font.familyName() == QString::fromUtf8(family)) return font;
    return QRawFont();
}

}  // namespace

QtMathFont::QtMathFont(const std::string& mathFontPath, const std::string& textFontPath)
{
    static const char* const kMath[] = {
        "/usr/share/texmf/fonts/opentype/public/lm-math/latinmodern-math.otf",
        "/usr/share/fonts/opentype/lmodern/latinmodern-math.otf",
        "/usr/share/texlive/texmf-dist/fonts/opentype/public/lm-math/latinmodern-math.otf",
        nullptr,
    };
    static const char* const kText[] = {
        "/usr/share/fonts/truetype/nanum/NanumMyeongjo.ttf",
        nullptr,
    };
    m_fonts[0] = LoadFont(mathFontPath, kMath, "Latin Modern Math");
    m_fonts[1] = LoadFont(textFontPath, kText, "NanumMyeongjo");
    for (int i = 0; i < 2; ++i) {
        if (m_fonts[i].isValid() && m_fonts[i].unitsPerEm() > 0) m_unitsPerEm[i] = m_fonts[i].unitsPerEm();
    }
    if (m_fonts[0].isValid()) {
        const QByteArray bytes = m_fonts[0].fontTable("MATH");
        MathTable table = ParseMathTable(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        if (table.present) {
            m_table = ScaledMathTable(std::move(table), m_unitsPerEm[0]);
            m_valid = true;
        }
    }
}

bool QtMathFont::Lookup(FontSlot slot, char32_t character, std::uint32_t& glyph) const
{
    const int index = static_cast<int>(slot);
    const std::uint64_t key = (static_cast<std::uint64_t>(index) << 32) | character;
    if (auto it = m_lookups.find(key); it != m_lookups.end()) {
        glyph = it->second;
        return glyph != 0;
    }
    glyph = 0;
    const QRawFont& font = m_fonts[index];
    if (font.isValid() && font.supportsCharacter(static_cast<uint>(character))) {
        const char32_t units[1] = {character};
        const QString s = QString::fromUcs4(units, 1);
        const QList<quint32> glyphs = font.glyphIndexesForString(s);
        if (glyphs.size() == 1) glyph = glyphs[0];
    }
    m_lookups.emplace(key, glyph);
    return glyph != 0;
}

GlyphMetrics QtMathFont::Metrics(FontSlot slot, std::uint32_t glyph) const
{
    const int index = static_cast<int>(slot);
    const std::uint64_t key = (static_cast<std::uint64_t>(index) << 32) | glyph;
    if (auto it = m_metrics.find(key); it != m_metrics.end()) return it->second;
    GlyphMetrics m;
    const QRawFont& font = m_fonts[index];
    if (font.isValid()) {
        const double s = 1.0 / kLoadSize;
        const quint32 id = glyph;
        const QList<QPointF> advances = font.advancesForGlyphIndexes(QList<quint32>{id}, QRawFont::UseDesignMetrics);
        if (!advances.isEmpty()) m.advance = advances[0].x() * s;
        const QRectF box = font.boundingRect(id);
        m.left = box.left() * s;
        m.right = box.right() * s;
        m.top = -box.top() * s;
        m.bottom = -box.bottom() * s;
        if (slot == FontSlot::Math) {
            if (auto it = m_table.italics.find(glyph); it != m_table.italics.end()) m.italic = it->second;
            if (auto it = m_table.topAccents.find(glyph); it != m_table.topAccents.end()) m.topAccent = it->second;
        }
    }
    m_metrics.emplace(key, m);
    return m;
}

const GlyphConstruction* QtMathFont::Construction(std::uint32_t glyph, bool vertical) const
{
    const auto& map = vertical ? m_table.vertical : m_table.horizontal;
    auto it = map.find(glyph);
    return it == map.end() ? nullptr : &it->second;
}

QRawFont QtMathFont::RawFont(FontSlot slot, double pixelSize) const
{
    QRawFont font = m_fonts[static_cast<int>(slot)];
    if (font.isValid()) font.setPixelSize(pixelSize);
    return font;
}

const QtMathFont& QtMathFont::Shared()
{
    static const QtMathFont font;
    return font;
}

}  // namespace math
