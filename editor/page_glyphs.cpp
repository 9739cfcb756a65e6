#include "editor/page_glyphs.h"

#include <QAbstractTextDocumentLayout>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace editor {

namespace {

// Glyph origins snap to an eighth of a pixel across and down. Quarters measured four times
// the difference from Qt's painting (Hangul is mostly horizontal strokes) for 15 % fewer
// fills; sixteenths cost half as much again in fills.
constexpr int kPhases = 8;
constexpr int kPhasesDown = 8;

// The colour Qt paints the text of a fragment in, or false when it is not one plain colour.
bool PlainTextColour(const QTextCharFormat& format, QRgb& colour)
{
    const QBrush brush = format.foreground();
    if (brush.style() == Qt::NoBrush) {
        // The painter's pen, which page painting leaves black.
        colour = qRgb(0, 0, 0);
        return true;
    }
    if (brush.style() != Qt::SolidPattern)
        return false;
    colour = brush.color().rgba();
    return true;
}

bool DrawnFromGlyphs(const QTextCharFormat& format)
{
    if (format.isImageFormat() || format.objectType() != QTextFormat::NoObject)
        return false;
    // Qt draws these lines in the text's pen, which would be transparent.
    if (format.fontStrikeOut() || format.fontOverline())
        return false;
    if (format.verticalAlignment() != QTextCharFormat::AlignNormal &&
        format.verticalAlignment() != QTextCharFormat::AlignBaseline)
        return false;
    return format.textOutline().style() == Qt::NoPen;
}

inline std::uint32_t Blend(std::uint32_t dst, std::uint32_t colour, unsigned alpha)
{
    // Source over, per channel: dst + (src - dst) * alpha / 255, rounded.
    const auto mix = [alpha](unsigned d, unsigned s) {
        const int t = (static_cast<int>(s) - static_cast<int>(d)) * static_cast<int>(alpha);
        return static_cast<unsigned>(static_cast<int>(d) + (t + (t >= 0 ? 127 : -127)) / 255);
    };
    const unsigned r = mix((dst >> 16) & 0xFF, (colour >> 16) & 0xFF);
    const unsigned g = mix((dst >> 8) & 0xFF, (colour >> 8) & 0xFF);
    const unsigned b = mix(dst & 0xFF, colour & 0xFF);
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

} // namespace

PageGlyphs::PageGlyphs(QTextDocument& text) : m_text(text)
{
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            QRgb colour = 0;
            if (!fragment.isValid() || !DrawnFromGlyphs(format) || !PlainTextColour(format, colour))
                continue;
            if (!m_ranges.empty() && m_ranges.back().colour == colour &&
                m_ranges.back().position + m_ranges.back().length == fragment.position() &&
                text.findBlock(m_ranges.back().position) == block) {
                m_ranges.back().length += fragment.length();
                continue;
            }
            m_ranges.push_back({fragment.position(), fragment.length(), colour});
        }
    }
    QTextCursor cursor(&text);
    cursor.beginEditBlock();
    for (const Range& range : m_ranges) {
        cursor.setPosition(range.position);
        cursor.setPosition(range.position + range.length, QTextCursor::KeepAnchor);
        // Per fragment: underlines keep the colour of the text they belong to.
        for (QTextBlock block = text.findBlock(range.position); block.isValid(); block = block.next()) {
            if (block.position() >= range.position + range.length)
                break;
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.position() + fragment.length() <= range.position ||
                    fragment.position() >= range.position + range.length)
                    continue;
                QTextCharFormat format;
                format.setForeground(QColor(0, 0, 0, 0));
                const QTextCharFormat old = fragment.charFormat();
                if (old.underlineStyle() != QTextCharFormat::NoUnderline && !old.underlineColor().isValid())
                    format.setUnderlineColor(QColor::fromRgba(range.colour));
                QTextCursor part(&text);
                part.setPosition(std::max(fragment.position(), range.position));
                part.setPosition(std::min(fragment.position() + fragment.length(), range.position + range.length),
                                 QTextCursor::KeepAnchor);
                part.mergeCharFormat(format);
            }
        }
    }
    cursor.endEditBlock();
}

int PageGlyphs::FontIndex(const QRawFont& font)
{
    for (std::size_t i = 0; i < m_fonts.size(); ++i) {
        if (m_fonts[i] == font)
            return static_cast<int>(i);
    }
    m_fonts.push_back(font);
    return static_cast<int>(m_fonts.size() - 1);
}

void PageGlyphs::CollectRuns()
{
    m_collected = true;
    QAbstractTextDocumentLayout* layout = m_text.documentLayout();
    for (const Range& range : m_ranges) {
        const QTextBlock block = m_text.findBlock(range.position);
        if (!block.isValid() || block.layout() == nullptr || !block.isVisible())
            continue;
        // The block's layout origin in document coordinates, frames and table cells included.
        const QPointF origin = layout->blockBoundingRect(block).topLeft();
        const QList<QGlyphRun> runs = block.layout()->glyphRuns(range.position - block.position(), range.length);
        for (const QGlyphRun& glyphRun : runs) {
            const QList<quint32> indexes = glyphRun.glyphIndexes();
            const QList<QPointF> positions = glyphRun.positions();
            if (indexes.isEmpty() || indexes.size() != positions.size())
                continue;
            Run run;
            run.font = FontIndex(glyphRun.rawFont());
            run.colour = range.colour;
            run.glyphs.assign(indexes.begin(), indexes.end());
            run.positions.reserve(static_cast<std::size_t>(positions.size()));
            double left = 1e300, right = -1e300, top = 1e300, bottom = -1e300;
            for (const QPointF& position : positions) {
                const QPointF at = position + origin;
                run.positions.push_back(at);
                left = std::min(left, at.x());
                right = std::max(right, at.x());
                top = std::min(top, at.y());
                bottom = std::max(bottom, at.y());
            }
            // Generous: only for skipping runs outside a band; blending clips exactly.
            const double em = std::max(1.0, glyphRun.rawFont().pixelSize());
            run.bounds = QRectF(QPointF(left - 2 * em, top - 2 * em), QPointF(right + 3 * em, bottom + 2 * em));
            m_runs.push_back(std::move(run));
        }
    }
}

const PageGlyphs::Coverage& PageGlyphs::CoverageFor(int font, std::uint32_t glyph, int phaseX, int phaseY)
{
    const std::uint64_t glyphKey = (static_cast<std::uint64_t>(font) << 40) | (static_cast<std::uint64_t>(glyph) << 8);
    const std::uint64_t key = glyphKey | static_cast<std::uint64_t>(phaseX * kPhases + phaseY);
    const auto found = m_cache.find(key);
    if (found != m_cache.end())
        return found->second;
    auto outline = m_outlines.find(glyphKey);
    if (outline == m_outlines.end()) {
        QPainterPath path = m_fonts[static_cast<std::size_t>(font)].pathForGlyph(glyph);
        path.setFillRule(Qt::WindingFill);
        outline = m_outlines.emplace(glyphKey, QTransform::fromScale(m_scale, m_scale).map(path)).first;
    }
    Coverage& coverage = m_cache[key];
    // Filled from the outline at its phase, as Qt fills large text.
    const QPointF phase(static_cast<double>(phaseX) / kPhases, static_cast<double>(phaseY) / kPhasesDown);
    const QRectF bounds = outline->second.boundingRect().translated(phase);
    if (outline->second.isEmpty() || bounds.isEmpty())
        return coverage;
    coverage.left = static_cast<int>(std::floor(bounds.left()));
    coverage.top = static_cast<int>(std::floor(bounds.top()));
    const int width = static_cast<int>(std::ceil(bounds.right())) - coverage.left;
    const int height = static_cast<int>(std::ceil(bounds.bottom())) - coverage.top;
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
        return coverage;
    coverage.alpha = QImage(width, height, QImage::Format_Alpha8);
    if (coverage.alpha.isNull())
        return coverage;
    coverage.alpha.fill(0);
    QPainter painter(&coverage.alpha);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(phase.x() - coverage.left, phase.y() - coverage.top);
    painter.fillPath(outline->second, Qt::black);
    return coverage;
}

void PageGlyphs::Paint(QImage& image, const QTransform& toDevice, const QRect& clip)
{
    if (m_ranges.empty())
        return;
    if (!m_collected)
        CollectRuns();
    const double scale = toDevice.m11();
    if (scale != m_scale) {
        m_cache.clear();
        m_outlines.clear();
        m_scale = scale;
    }
    const QRect area = clip.intersected(image.rect());
    if (area.isEmpty() || m_runs.empty())
        return;
    const QRectF areaInDocument = toDevice.inverted().mapRect(QRectF(area));
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (const Run& run : m_runs) {
        if (!run.bounds.intersects(areaInDocument))
            continue;
        const unsigned colourAlpha = qAlpha(run.colour);
        if (colourAlpha == 0)
            continue;
        for (std::size_t i = 0; i < run.glyphs.size(); ++i) {
            const QPointF at = toDevice.map(run.positions[i]);
            const double qx = std::floor(at.x() * kPhases + 0.5);
            const double qy = std::floor(at.y() * kPhasesDown + 0.5);
            if (std::abs(qx) > 1e8 || std::abs(qy) > 1e8)
                continue;
            const int stepX = static_cast<int>(qx);
            const int stepY = static_cast<int>(qy);
            const int pixelX = stepX / kPhases - (stepX % kPhases < 0 ? 1 : 0);
            const int pixelY = stepY / kPhasesDown - (stepY % kPhasesDown < 0 ? 1 : 0);
            const Coverage& coverage = CoverageFor(run.font, run.glyphs[i], stepX - pixelX * kPhases, stepY - pixelY * kPhasesDown);
            if (coverage.alpha.isNull())
                continue;
            const QRect placed(pixelX + coverage.left, pixelY + coverage.top, coverage.alpha.width(),
                               coverage.alpha.height());
            const QRect drawn = placed.intersected(area);
            if (drawn.isEmpty())
                continue;
            for (int y = drawn.top(); y <= drawn.bottom(); ++y) {
                const uchar* alpha = coverage.alpha.constScanLine(y - placed.top()) + (drawn.left() - placed.left());
                auto* row = reinterpret_cast<std::uint32_t*>(bits + y * stride) + drawn.left();
                for (int x = 0; x < drawn.width(); ++x) {
                    unsigned a = alpha[x];
                    if (a == 0)
                        continue;
                    if (colourAlpha != 255)
                        a = (a * colourAlpha + 127) / 255;
                    row[x] = a == 255 ? (0xFF000000u | run.colour) : Blend(row[x], run.colour, a);
                }
            }
        }
    }
}

} // namespace editor
