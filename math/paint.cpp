#include "math/paint.h"

#include <QGlyphRun>
#include <QPainter>

#include "math/qt_font.h"

namespace math {
namespace {

QColor ColorOf(std::uint32_t rgb, const QColor& fallback)
{
    if (rgb == kDefaultColor) return fallback;
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

}  // namespace

void PaintEquation(QPainter& painter, const EquationLayout& layout, const QtMathFont& font, QPointF baselineLeft,
                   double unit, QColor color)
{
    painter.save();
    for (const GlyphRun& run : layout.runs) {
        const QRawFont raw = font.RawFont(run.font, run.size * unit);
        if (!raw.isValid()) continue;
        painter.setPen(ColorOf(run.color, color));
        if (run.stretchX == 1.0 && run.stretchY == 1.0) {
            QGlyphRun glyphs;
            glyphs.setRawFont(raw);
            QList<quint32> ids(run.glyphs.begin(), run.glyphs.end());
            QList<QPointF> positions;
            positions.reserve(static_cast<qsizetype>(run.glyphs.size()));
            for (std::size_t i = 0; i < run.glyphs.size(); ++i) positions.append(QPointF(run.x[i] * unit, run.y[i] * unit));
            glyphs.setGlyphIndexes(ids);
            glyphs.setPositions(positions);
            painter.drawGlyphRun(baselineLeft, glyphs);
            continue;
        }
        // Scaled about each glyph's own origin.
        for (std::size_t i = 0; i < run.glyphs.size(); ++i) {
            QGlyphRun glyph;
            glyph.setRawFont(raw);
            glyph.setGlyphIndexes({run.glyphs[i]});
            glyph.setPositions({QPointF(0, 0)});
            painter.save();
            painter.translate(baselineLeft + QPointF(run.x[i] * unit, run.y[i] * unit));
            painter.scale(run.stretchX, run.stretchY);
            painter.drawGlyphRun(QPointF(0, 0), glyph);
            painter.restore();
        }
    }
    painter.setPen(Qt::NoPen);
    for (const Rule& rule : layout.rules) {
        painter.setBrush(ColorOf(rule.color, color));
        painter.drawRect(QRectF(baselineLeft.x() + rule.x * unit, baselineLeft.y() + rule.y * unit, rule.width * unit,
                                rule.height * unit));
    }
    painter.restore();
}

}  // namespace math
