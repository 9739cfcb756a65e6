#include "page/page_glyphs.h"

#include "page/text_items.h"

#include <QAbstractTextDocumentLayout>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <emmintrin.h>

namespace editor {

namespace {

// Glyph origins snap to an eighth of a pixel across and down. Quarters measured four times
// the difference from Qt's painting (Hangul is mostly horizontal strokes) for 15 % fewer
// fills; sixteenths cost half as much again in fills.
constexpr int kPhases = 8;
constexpr int kPhasesDown = 8;
// Pixels to the em of the fonts glyph outlines are taken from: their points land on
// 1/64 of a pixel, far finer than any page is drawn at.
constexpr double kOutlineSize = 1024;
// Glyphs new to a band worth a second thread's start (some tens of microseconds; a fill
// takes some ten).
constexpr std::size_t kFillsForAHelper = 8;

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
    // Raised and lowered text leaves the baseline. Top, middle and bottom place only inline
    // objects: text takes them from the format of the cell it is typed in.
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript ||
        format.verticalAlignment() == QTextCharFormat::AlignSubScript)
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

// Blend over four pixels at once: d * (255 - a) + s * a stays within 16 bits, and
// (v + 128 + ((v + 128) >> 8)) >> 8 rounds v / 255 exactly, so every pixel is what Blend
// makes of it (which has no ties to round: 255 is odd). `colour` holds the colour's B, G,
// R, A as 16-bit lanes, twice.
inline void Blend4(std::uint32_t* row, std::uint32_t alphas, __m128i colour)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
    __m128i alpha = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(alphas)), zero);
    alpha = _mm_unpacklo_epi16(alpha, alpha);
    const __m128i full = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(128);
    const auto mix = [&](__m128i d, __m128i a) {
        __m128i v = _mm_add_epi16(_mm_mullo_epi16(d, _mm_sub_epi16(full, a)), _mm_mullo_epi16(colour, a));
        v = _mm_add_epi16(v, half);
        return _mm_srli_epi16(_mm_add_epi16(v, _mm_srli_epi16(v, 8)), 8);
    };
    const __m128i low = mix(_mm_unpacklo_epi8(pixels, zero), _mm_unpacklo_epi32(alpha, alpha));
    const __m128i high = mix(_mm_unpackhi_epi8(pixels, zero), _mm_unpackhi_epi32(alpha, alpha));
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm_or_si128(_mm_packus_epi16(low, high), opaque));
}

// Outlines flattened to within this many pixels: well under what the coverage resolves.
constexpr double kFlatness = 0.03;

// The coverage of a filled outline as exact areas, the way Qt's own antialiasing
// rasteriser computes it: every edge adds, to the cells of each row it crosses, the
// signed area it sweeps and hands on the rest to the next cell; a running sum along the
// row is then the coverage, non-zero winding clamped to one. Glyphs are filled here
// rather than through QPainter, which hands each larger fill to its thread pool.
class CoverageRaster {
public:
    CoverageRaster(int width, int height)
        : m_width(width), m_height(height), m_stride(width + 2),
          m_cells(static_cast<std::size_t>(m_stride) * static_cast<std::size_t>(height), 0.0f)
    {
    }

    void Fill(const QPainterPath& path, double dx, double dy)
    {
        QPointF start, last;
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element element = path.elementAt(i);
            const QPointF at(element.x + dx, element.y + dy);
            switch (element.type) {
            case QPainterPath::MoveToElement:
                Line(last, start);
                start = last = at;
                break;
            case QPainterPath::LineToElement:
                Line(last, at);
                last = at;
                break;
            case QPainterPath::CurveToElement: {
                if (i + 2 >= path.elementCount())
                    return;
                const QPointF c2(path.elementAt(i + 1).x + dx, path.elementAt(i + 1).y + dy);
                const QPointF end(path.elementAt(i + 2).x + dx, path.elementAt(i + 2).y + dy);
                Cubic(last, at, c2, end);
                last = end;
                i += 2;
                break;
            }
            default:
                break;
            }
        }
        Line(last, start);
    }

    void Store(QImage& alpha) const
    {
        const __m128 sign = _mm_set1_ps(-0.0f);
        const __m128 one = _mm_set1_ps(1.0f);
        const __m128 full = _mm_set1_ps(255.0f);
        const __m128 half = _mm_set1_ps(0.5f);
        for (int y = 0; y < m_height; ++y) {
            const float* cell = m_cells.data() + static_cast<std::size_t>(y) * m_stride;
            uchar* out = alpha.scanLine(y);
            // The running sum of the row four cells at a time: each lane adds the lanes
            // before it, then what the cells before the four came to.
            __m128 carry = _mm_setzero_ps();
            int x = 0;
            for (; x + 4 <= m_width; x += 4) {
                __m128 sums = _mm_loadu_ps(cell + x);
                sums = _mm_add_ps(sums, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(sums), 4)));
                sums = _mm_add_ps(sums, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(sums), 8)));
                sums = _mm_add_ps(sums, carry);
                carry = _mm_shuffle_ps(sums, sums, _MM_SHUFFLE(3, 3, 3, 3));
                const __m128 cover = _mm_min_ps(one, _mm_andnot_ps(sign, sums));
                const __m128i bytes = _mm_cvttps_epi32(_mm_add_ps(_mm_mul_ps(cover, full), half));
                const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(bytes, bytes), _mm_setzero_si128());
                const int four = _mm_cvtsi128_si32(packed);
                std::memcpy(out + x, &four, 4);
            }
            float sum = _mm_cvtss_f32(carry);
            for (; x < m_width; ++x) {
                sum += cell[x];
                const float cover = std::min(1.0f, std::abs(sum));
                out[x] = static_cast<uchar>(cover * 255.0f + 0.5f);
            }
        }
    }

private:
    void Cubic(QPointF p0, QPointF p1, QPointF p2, QPointF p3)
    {
        // Segments enough for the flatness (the bound on a cubic's second differences).
        const QPointF d1 = p0 - 2 * p1 + p2;
        const QPointF d2 = p1 - 2 * p2 + p3;
        const double dd = std::sqrt(std::max(QPointF::dotProduct(d1, d1), QPointF::dotProduct(d2, d2)));
        const int steps = std::clamp(static_cast<int>(std::ceil(std::sqrt(0.75 * dd / kFlatness))), 1, 256);
        QPointF previous = p0;
        for (int k = 1; k <= steps; ++k) {
            const double t = static_cast<double>(k) / steps;
            const double u = 1 - t;
            const QPointF point = u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
            Line(previous, point);
            previous = point;
        }
    }

    void Line(QPointF from, QPointF to)
    {
        // The outline lies inside the image but for rounding.
        const auto inside = [this](QPointF p) {
            return QPointF(std::clamp(p.x(), 0.0, static_cast<double>(m_width)),
                           std::clamp(p.y(), 0.0, static_cast<double>(m_height)));
        };
        from = inside(from);
        to = inside(to);
        if (from.y() == to.y())
            return;
        double direction = 1;
        if (from.y() > to.y()) {
            std::swap(from, to);
            direction = -1;
        }
        const double y0 = from.y();
        const double y1 = to.y();
        const double slope = (to.x() - from.x()) / (y1 - y0);
        double x = from.x();
        const int rowEnd = std::min(m_height, static_cast<int>(std::ceil(y1)));
        for (int row = static_cast<int>(y0); row < rowEnd; ++row) {
            const double dy = std::min(row + 1.0, y1) - std::max(static_cast<double>(row), y0);
            const double xNext = std::clamp(x + slope * dy, 0.0, static_cast<double>(m_width));
            const double d = dy * direction;
            const double left = std::min(x, xNext);
            const double right = std::max(x, xNext);
            const double leftFloor = std::floor(left);
            const int l = static_cast<int>(leftFloor);
            const int r = static_cast<int>(std::ceil(right));
            float* cell = m_cells.data() + static_cast<std::size_t>(row) * m_stride;
            if (r <= l + 1) {
                // Within one cell: the part of the row right of the edge's middle.
                const double middle = 0.5 * (x + xNext) - leftFloor;
                cell[l] += static_cast<float>(d - d * middle);
                cell[l + 1] += static_cast<float>(d * middle);
            } else {
                const double s = 1.0 / (right - left);
                const double leftFraction = left - leftFloor;
                const double first = 0.5 * s * (1 - leftFraction) * (1 - leftFraction);
                const double rightFraction = right - r + 1;
                const double lastPart = 0.5 * s * rightFraction * rightFraction;
                cell[l] += static_cast<float>(d * first);
                if (r == l + 2) {
                    cell[l + 1] += static_cast<float>(d * (1 - first - lastPart));
                } else {
                    const double second = s * (1.5 - leftFraction);
                    cell[l + 1] += static_cast<float>(d * (second - first));
                    for (int c = l + 2; c < r - 1; ++c)
                        cell[c] += static_cast<float>(d * s);
                    const double upToLast = second + (r - l - 3) * s;
                    cell[r - 1] += static_cast<float>(d * (1 - upToLast - lastPart));
                }
                cell[r] += static_cast<float>(d * lastPart);
            }
            x = xNext;
        }
    }

    int m_width;
    int m_height;
    int m_stride;
    std::vector<float> m_cells;
};

// A block whose first line begins with text, and so is painted as a text item first.
bool StartsWithText(const QTextBlock& block)
{
    QTextLayout* layout = block.layout();
    if (layout == nullptr || layout->lineCount() == 0 || !block.isVisible() || block.text().trimmed().isEmpty())
        return false;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextCharFormat format = it.fragment().charFormat();
        if (format.isImageFormat() || format.objectType() != QTextFormat::NoObject || format.fontStrikeOut() ||
            format.fontOverline() || format.verticalAlignment() == QTextCharFormat::AlignSuperScript ||
            format.verticalAlignment() == QTextCharFormat::AlignSubScript)
            return false;
    }
    return !block.text().at(0).isSpace();
}

} // namespace

BlockOrigins::BlockOrigins(QTextDocument& text) : m_text(text)
{
    QAbstractTextDocumentLayout* layout = text.documentLayout();
    layout->documentSize();
    struct Probe {
        const QTextTable* table;
        QTextBlock block;
        double baseline; // where the layout says its first line's baseline is
        double lineHeight;
    };
    std::vector<Probe> probes;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        const auto* table = qobject_cast<const QTextTable*>(text.frameAt(block.position()));
        if (table == nullptr || m_tableOffsets.count(table) != 0 || !StartsWithText(block))
            continue;
        m_tableOffsets[table] = QPointF();
        const QTextLine line = block.layout()->lineAt(0);
        probes.push_back({table, block, layout->blockBoundingRect(block).top() + line.y() + line.ascent(), line.height()});
    }
    if (probes.empty())
        return;
    std::vector<QTextBlock> shown;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        if (block.isVisible()) {
            block.setVisible(false);
            shown.push_back(block);
        }
    }
    for (Probe& probe : probes) {
        probe.block.setVisible(true);
        std::optional<QPointF> first;
        TextItemDevice device([&first](const QPointF& at, const QTextItem&) {
            if (!first)
                first = at;
        });
        {
            // Only around its line: drawing the whole document for each table would cost
            // a paragraph of many tables the square of their number, and a whole table
            // its every row.
            QPainter painter(&device);
            const QRectF around = layout->blockBoundingRect(probe.block);
            text.drawContents(&painter, around.adjusted(0, -probe.lineHeight, 0, probe.lineHeight));
        }
        probe.block.setVisible(false);
        // A tenth of a line off at most, else the probe found another text.
        const double offset = first ? first->y() - probe.baseline : 0.0;
        if (first && std::abs(offset) < 0.1 * probe.lineHeight)
            m_tableOffsets[probe.table] = QPointF(0, offset);
    }
    for (QTextBlock& block : shown)
        block.setVisible(true);
}

QPointF BlockOrigins::Of(const QTextBlock& block) const
{
    const QPointF origin = m_text.documentLayout()->blockBoundingRect(block).topLeft();
    if (m_tableOffsets.empty())
        return origin;
    const auto* table = qobject_cast<const QTextTable*>(m_text.frameAt(block.position()));
    const auto found = table == nullptr ? m_tableOffsets.end() : m_tableOffsets.find(table);
    return found == m_tableOffsets.end() ? origin : origin + found->second;
}

PageGlyphs::PageGlyphs(QTextDocument& text) : m_text(text)
{
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        std::vector<std::pair<int, int>> leftToLayout;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            QRgb colour = 0;
            const bool fromGlyphs = fragment.isValid() && DrawnFromGlyphs(format) && PlainTextColour(format, colour);
            if (!fromGlyphs || format.fontUnderline() || format.underlineStyle() != QTextCharFormat::NoUnderline ||
                format.background().style() != Qt::NoBrush) {
                const int start = fragment.position() - block.position();
                leftToLayout.emplace_back(start, start + fragment.length());
            }
            if (!fromGlyphs)
                continue;
            if (!m_ranges.empty() && m_ranges.back().colour == colour &&
                m_ranges.back().position + m_ranges.back().length == fragment.position() &&
                text.findBlock(m_ranges.back().position) == block) {
                m_ranges.back().length += fragment.length();
                continue;
            }
            m_ranges.push_back({fragment.position(), fragment.length(), colour});
        }
        if (block.blockNumber() >= 0) {
            const auto number = static_cast<std::size_t>(block.blockNumber());
            if (m_leftToLayout.size() <= number)
                m_leftToLayout.resize(number + 1, {{0, 0x7fffffff}});
            m_leftToLayout[number] = std::move(leftToLayout);
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

bool PageGlyphs::LeavesPaintingIn(const QTextBlock& block) const
{
    return LeavesPaintingIn(block, 0, block.length());
}

bool PageGlyphs::LeavesPaintingIn(const QTextBlock& block, int from, int length) const
{
    // Blocks unknown here (none should be) are the layout's.
    const int number = block.blockNumber();
    if (number < 0 || static_cast<std::size_t>(number) >= m_leftToLayout.size())
        return true;
    for (const auto& [start, end] : m_leftToLayout[static_cast<std::size_t>(number)]) {
        if (start < from + length && end > from)
            return true;
    }
    return false;
}

int PageGlyphs::FontIndex(const QRawFont& font)
{
    for (std::size_t i = 0; i < m_fonts.size(); ++i) {
        if (m_fonts[i] == font)
            return static_cast<int>(i);
    }
    m_fonts.push_back(font);
    // Outlines come from a copy of the font at a size of its own. The text engine shares
    // one face among the fonts of a file, and at the layout's size the outline it hands
    // back was seen to round a point by 1/64 px one way or the other depending on what
    // the process had drawn before: a save's page image then differed at letters' edges
    // from the same file drawn by another process.
    QRawFont outline = font;
    outline.setPixelSize(kOutlineSize);
    m_outlineFonts.push_back(outline.isValid() && outline.pixelSize() > 0 ? outline : font);
    return static_cast<int>(m_fonts.size() - 1);
}

void PageGlyphs::CollectRuns(const BlockOrigins& origins)
{
    m_collected = true;
    for (const Range& range : m_ranges) {
        const QTextBlock block = m_text.findBlock(range.position);
        if (!block.isValid() || block.layout() == nullptr || !block.isVisible())
            continue;
        // The block's layout origin in document coordinates, frames and table cells included.
        const QPointF origin = origins.Of(block);
        const QList<QGlyphRun> runs = block.layout()->glyphRuns(range.position - block.position(), range.length);
        for (const QGlyphRun& glyphRun : runs) {
            const QList<quint32> indexes = glyphRun.glyphIndexes();
            const QList<QPointF> positions = glyphRun.positions();
            if (indexes.isEmpty() || indexes.size() != positions.size())
                continue;
            Run run;
            run.position = range.position;
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

bool PageGlyphs::Place(const QTransform& toDevice, QPointF position, QPointF shift, Placed& placed)
{
    const QPointF at = toDevice.map(position) + shift;
    const double qx = std::floor(at.x() * kPhases + 0.5);
    const double qy = std::floor(at.y() * kPhasesDown + 0.5);
    if (std::abs(qx) > 1e8 || std::abs(qy) > 1e8)
        return false;
    const int stepX = static_cast<int>(qx);
    const int stepY = static_cast<int>(qy);
    placed.pixelX = stepX / kPhases - (stepX % kPhases < 0 ? 1 : 0);
    placed.pixelY = stepY / kPhasesDown - (stepY % kPhasesDown < 0 ? 1 : 0);
    placed.phaseX = stepX - placed.pixelX * kPhases;
    placed.phaseY = stepY - placed.pixelY * kPhasesDown;
    return true;
}

std::uint64_t PageGlyphs::KeyOf(int font, std::uint32_t glyph, int phaseX, int phaseY)
{
    return (static_cast<std::uint64_t>(font) << 40) | (static_cast<std::uint64_t>(glyph) << 8) |
           static_cast<std::uint64_t>(phaseX * kPhases + phaseY);
}

const PageGlyphs::Outline& PageGlyphs::OutlineOf(int font, std::uint32_t glyph)
{
    const std::uint64_t glyphKey = KeyOf(font, glyph, 0, 0);
    auto outline = m_outlines.find(glyphKey);
    if (outline == m_outlines.end()) {
        const auto index = static_cast<std::size_t>(font);
        QPainterPath path = m_outlineFonts[index].pathForGlyph(glyph);
        path.setFillRule(Qt::WindingFill);
        const double scale = m_scale * m_fonts[index].pixelSize() / m_outlineFonts[index].pixelSize();
        Outline made{QTransform::fromScale(scale, scale).map(path), {}};
        made.bounds = made.path.boundingRect();
        outline = m_outlines.emplace(glyphKey, std::move(made)).first;
    }
    return outline->second;
}

void PageGlyphs::Fill(Coverage& coverage, const Outline& outline, int phaseX, int phaseY)
{
    // Filled from the outline at its phase, as Qt fills large text. Reads the outline
    // only: fills of one outline may run on two threads.
    const QPointF phase(static_cast<double>(phaseX) / kPhases, static_cast<double>(phaseY) / kPhasesDown);
    const QRectF bounds = outline.bounds.translated(phase);
    if (outline.path.isEmpty() || bounds.isEmpty())
        return;
    coverage.left = static_cast<int>(std::floor(bounds.left()));
    coverage.top = static_cast<int>(std::floor(bounds.top()));
    const int width = static_cast<int>(std::ceil(bounds.right())) - coverage.left;
    const int height = static_cast<int>(std::ceil(bounds.bottom())) - coverage.top;
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192)
        return;
    coverage.alpha = QImage(width, height, QImage::Format_Alpha8);
    if (coverage.alpha.isNull())
        return;
    CoverageRaster raster(width, height);
    raster.Fill(outline.path, phase.x() - coverage.left, phase.y() - coverage.top);
    raster.Store(coverage.alpha);
}

const PageGlyphs::Coverage& PageGlyphs::CoverageFor(int font, std::uint32_t glyph, int phaseX, int phaseY)
{
    const std::uint64_t key = KeyOf(font, glyph, phaseX, phaseY);
    const auto found = m_cache.find(key);
    if (found != m_cache.end())
        return found->second;
    const Outline& outline = OutlineOf(font, glyph);
    Coverage& coverage = m_cache[key];
    Fill(coverage, outline, phaseX, phaseY);
    return coverage;
}

std::vector<PageGlyphs::Shown> PageGlyphs::RunsMeeting(const QRectF& areaInDocument,
                                                      const std::vector<RepeatedText>& repeats, double scale) const
{
    std::vector<Shown> shown;
    for (const Run& run : m_runs) {
        if (run.bounds.intersects(areaInDocument))
            shown.push_back({&run, QPointF()});
        for (const RepeatedText& repeat : repeats) {
            if (run.position >= repeat.from && run.position < repeat.to &&
                run.bounds.translated(repeat.shift).intersects(areaInDocument))
                shown.push_back({&run, repeat.shift * scale});
        }
    }
    return shown;
}

void PageGlyphs::FillAhead(const QTransform& toDevice, const std::vector<Shown>& shown)
{
    struct Job {
        Coverage* coverage;
        const Outline* outline;
        int phaseX;
        int phaseY;
    };
    std::vector<Job> jobs;
    for (const auto& [run, shift] : shown) {
        for (std::size_t i = 0; i < run->glyphs.size(); ++i) {
            Placed placed;
            if (!Place(toDevice, run->positions[i], shift, placed))
                continue;
            const auto [entry, added] = m_cache.try_emplace(KeyOf(run->font, run->glyphs[i], placed.phaseX, placed.phaseY));
            if (added)
                jobs.push_back({&entry->second, &OutlineOf(run->font, run->glyphs[i]), placed.phaseX, placed.phaseY});
        }
    }
    // The glyphs new to this band are filled on two threads; meanwhile the cache and the
    // outlines are only read (references into them stay put).
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < jobs.size(); i = next++)
            Fill(*jobs[i].coverage, *jobs[i].outline, jobs[i].phaseX, jobs[i].phaseY);
    };
    std::optional<std::thread> helper;
    if (jobs.size() >= kFillsForAHelper) {
        try {
            helper.emplace(work);
        } catch (const std::system_error&) {
            // No second thread: this one fills them all.
        }
    }
    work();
    if (helper)
        helper->join();
}

void PageGlyphs::Paint(QImage& image, const QTransform& toDevice, const QRect& clip, const BlockOrigins& origins,
                       const std::vector<RepeatedText>& repeats)
{
    if (m_ranges.empty())
        return;
    if (!m_collected)
        CollectRuns(origins);
    const double scale = toDevice.m11();
    if (scale != m_scale) {
        m_cache.clear();
        m_outlines.clear();
        m_scale = scale;
    }
    const QRect area = clip.intersected(image.rect());
    if (area.isEmpty() || m_runs.empty())
        return;
    const std::vector<Shown> shown = RunsMeeting(toDevice.inverted().mapRect(QRectF(area)), repeats, scale);
    FillAhead(toDevice, shown);
    for (const auto& [run, shift] : shown)
        BlendRun(image, toDevice, area, *run, shift);
}

void PageGlyphs::BlendRun(QImage& image, const QTransform& toDevice, const QRect& area, const Run& run,
                          const QPointF& shift)
{
    const unsigned colourAlpha = qAlpha(run.colour);
    if (colourAlpha == 0)
        return;
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const auto channel = [&](int shift) { return static_cast<short>((run.colour >> shift) & 0xFF); };
    const __m128i colour = _mm_setr_epi16(channel(0), channel(8), channel(16), 255, channel(0), channel(8), channel(16), 255);
    for (std::size_t i = 0; i < run.glyphs.size(); ++i) {
        Placed at;
        if (!Place(toDevice, run.positions[i], shift, at))
            continue;
        const Coverage& coverage = CoverageFor(run.font, run.glyphs[i], at.phaseX, at.phaseY);
        if (coverage.alpha.isNull())
            continue;
        const QRect placed(at.pixelX + coverage.left, at.pixelY + coverage.top, coverage.alpha.width(),
                           coverage.alpha.height());
        const QRect drawn = placed.intersected(area);
        if (drawn.isEmpty())
            continue;
        for (int y = drawn.top(); y <= drawn.bottom(); ++y) {
            const uchar* alpha = coverage.alpha.constScanLine(y - placed.top()) + (drawn.left() - placed.left());
            auto* row = reinterpret_cast<std::uint32_t*>(bits + y * stride) + drawn.left();
            int x = 0;
            if (colourAlpha == 255) {
                for (; x + 4 <= drawn.width(); x += 4) {
                    std::uint32_t alphas;
                    std::memcpy(&alphas, alpha + x, 4);
                    if (alphas == 0)
                        continue;
                    if (alphas == 0xFFFFFFFFu)
                        std::fill_n(row + x, 4, 0xFF000000u | run.colour);
                    else
                        Blend4(row + x, alphas, colour);
                }
            }
            for (; x < drawn.width(); ++x) {
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

} // namespace editor
