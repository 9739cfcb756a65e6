#include "page/vector_text.h"

#include "document/editor_document.h"

#include <QGlyphRun>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace editor {

namespace {

// Text drawn as glyph runs: one plain colour, on the baseline, with at most the decorations
// a glyph run draws itself in the text's colour (underline, overline, strike-out).
bool DrawnAsRuns(const QTextCharFormat& format, QRgb& colour)
{
    if (format.isImageFormat() || format.objectType() != QTextFormat::NoObject ||
        format.textOutline().style() != Qt::NoPen)
        return false;
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript ||
        format.verticalAlignment() == QTextCharFormat::AlignSubScript)
        return false;
    const QBrush brush = format.foreground();
    if (brush.style() == Qt::NoBrush)
        colour = qRgb(0, 0, 0);   // the pen page painting sets
    else if (brush.style() == Qt::SolidPattern)
        colour = brush.color().rgba();
    else
        return false;
    const QTextCharFormat::UnderlineStyle underline = format.underlineStyle();
    if (underline != QTextCharFormat::NoUnderline && underline != QTextCharFormat::SingleUnderline)
        return false;
    return underline == QTextCharFormat::NoUnderline || !format.underlineColor().isValid() ||
           format.underlineColor().rgba() == colour;
}

} // namespace

VectorText::VectorText(QTextDocument& text)
{
    struct Change {
        int position;
        int length;
        QTextCharFormat format;   // as it is to be
    };
    std::vector<Change> changes;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            QRgb colour = 0;
            if (!DrawnAsRuns(format, colour)) {
                // Qt paints it with the format's pen, as the painter has none.
                if (format.foreground().style() == Qt::NoBrush) {
                    QTextCharFormat black = format;
                    black.setForeground(QColor(Qt::black));
                    changes.push_back({fragment.position(), fragment.length(), black});
                }
                continue;
            }
            const double points = format.font().resolve(text.defaultFont()).pointSizeF();
            const double pixelSize = points > 0 ? points * kLayoutDpi / 72.0 : 0.0;
            QTextCharFormat cleared = format;
            cleared.clearForeground();
            changes.push_back({fragment.position(), fragment.length(), cleared});
            if (!m_ranges.empty() && m_ranges.back().colour == colour && m_ranges.back().pixelSize == pixelSize &&
                m_ranges.back().position + m_ranges.back().length == fragment.position() &&
                text.findBlock(m_ranges.back().position) == block) {
                m_ranges.back().length += fragment.length();
                continue;
            }
            m_ranges.push_back({fragment.position(), fragment.length(), colour, pixelSize});
        }
    }
    QTextCursor cursor(&text);
    cursor.beginEditBlock();
    for (const Change& change : changes) {
        cursor.setPosition(change.position);
        cursor.setPosition(change.position + change.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(change.format);
    }
    cursor.endEditBlock();
}

QRawFont VectorText::Sized(const QRawFont& font, double pixelSize) const
{
    if (pixelSize <= 0 || font.pixelSize() == pixelSize)
        return font;
    for (const auto& [from, sized] : m_sized) {
        if (from == font && sized.pixelSize() == pixelSize)
            return sized;
    }
    QRawFont sized = font;
    sized.setPixelSize(pixelSize);
    m_sized.emplace_back(font, sized);
    return sized;
}

void VectorText::DrawLine(QPainter& painter, const QTextBlock& block, const QTextLine& line,
                          const QPointF& origin) const
{
    const int lineStart = block.position() + line.textStart();
    const int lineEnd = lineStart + line.textLength();
    auto range = std::lower_bound(m_ranges.begin(), m_ranges.end(), lineStart,
                                  [](const Range& r, int at) { return r.position + r.length <= at; });
    for (; range != m_ranges.end() && range->position < lineEnd; ++range) {
        const int from = std::max(range->position, lineStart);
        const int to = std::min(range->position + range->length, lineEnd);
        if (from >= to)
            continue;
        painter.setPen(QColor::fromRgba(range->colour));
        for (QGlyphRun run : line.glyphRuns(from - block.position(), to - from)) {
            QList<QPointF> positions = run.positions();
            if (positions.isEmpty())
                continue;
            run.setRawFont(Sized(run.rawFont(), range->pixelSize));
            // Qt draws a run's underline and strike-out from the point it is drawn at: the
            // first glyph's place on the baseline, the others relative to it.
            const QPointF start = positions.front();
            for (QPointF& position : positions)
                position -= start;
            run.setPositions(positions);
            painter.drawGlyphRun(origin + start, run);
        }
    }
}

} // namespace editor
