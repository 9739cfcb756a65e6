// The text of a page image drawn from cached glyph coverage.
//
// At print resolution a 10-point glyph is some 80 pixels tall, and Qt's raster engine
// fills every glyph above 64 pixels from its outline, anew for each occurrence: nine
// tenths of a text page's render. PageGlyphs takes the plain text out of the painting
// instead (it becomes transparent in the document copy, which Qt's engine skips at no
// cost while backgrounds, borders, underlines and inline objects still paint), and
// draws it afterwards from the layout's own glyph runs: each glyph's outline is filled
// once per font, glyph and eighth-pixel phase (the glyphs new to a band on two threads),
// and the coverage is blended wherever it recurs.
//
// Left to Qt: inline objects (they paint their own text), struck-out, overlined,
// raised or lowered text and fill patterns other than a solid colour.
#pragma once

#include <QImage>
#include <QPainterPath>
#include <QRawFont>
#include <QRect>
#include <QRgb>
#include <QTextBlock>
#include <QTextDocument>
#include <QTransform>

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

class QTextTable;

namespace editor {

// Where the document's layout draws a block's lines from. The layout's bounding rectangle
// of a block in a table cell can lie a fraction of a pixel off the place it paints the
// cell's text from (a tenth of a layout pixel and more below proportionally spaced
// paragraphs), so each table's offset is measured once: one text line of it is painted
// into a recorder and its baseline compared with the layout's.
class BlockOrigins {
public:
    // `text` is laid out; its blocks are hidden and shown again while measuring.
    explicit BlockOrigins(QTextDocument& text);
    QPointF Of(const QTextBlock& block) const;

private:
    QTextDocument& m_text;
    std::unordered_map<const QTextTable*, QPointF> m_tableOffsets;
};

// Text painted once more elsewhere: the blocks of document positions [from, to), moved
// by `shift` (a table's header rows again at the top of a later page).
struct RepeatedText {
    int from = 0;
    int to = 0;
    QPointF shift;
};

class PageGlyphs {
public:
    // Makes the plain text of `text` transparent and remembers its colours. Call it on a
    // copy of the document, before the copy is laid out.
    explicit PageGlyphs(QTextDocument& text);

    // Blends the text into `image` (Format_RGB32 or ARGB32_Premultiplied, opaque), within
    // `clip` (image pixels). `toDevice` maps document coordinates to the image's pixels: a
    // scale and a translation. `origins` places the blocks (read at the first call).
    // The text of `repeats` is blended again at its shifted place.
    void Paint(QImage& image, const QTransform& toDevice, const QRect& clip, const BlockOrigins& origins,
               const std::vector<RepeatedText>& repeats = {});

    // False when every piece of the block is plain text that Paint draws, with nothing
    // (underline, background, object) left for the layout to paint: its lines can be skipped.
    bool LeavesPaintingIn(const QTextBlock& block) const;
    // The same for the characters [from, from + length) of the block (a line of it).
    bool LeavesPaintingIn(const QTextBlock& block, int from, int length) const;

private:
    struct Range {
        int position; // in the document
        int length;
        QRgb colour;
    };
    struct Run {
        int position; // of its text in the document
        int font;
        QRgb colour;
        QRectF bounds; // document coordinates
        std::vector<std::uint32_t> glyphs;
        std::vector<QPointF> positions; // document coordinates, on the baseline
    };
    struct Coverage {
        QImage alpha; // Format_Alpha8; null for a glyph without ink
        int left = 0; // of the image, relative to the glyph's pixel
        int top = 0;
    };
    struct Outline {
        QPainterPath path; // image pixels at m_scale, origin on the baseline
        QRectF bounds;
    };
    // A glyph origin snapped to a phase: the pixel and the phase within it.
    struct Placed {
        int pixelX = 0;
        int pixelY = 0;
        int phaseX = 0;
        int phaseY = 0;
    };

    void CollectRuns(const BlockOrigins& origins);
    // Blends `run` moved by `shift` (image pixels) within `area`.
    void BlendRun(QImage& image, const QTransform& toDevice, const QRect& area, const Run& run, const QPointF& shift);
    int FontIndex(const QRawFont& font);
    const Coverage& CoverageFor(int font, std::uint32_t glyph, int phaseX, int phaseY);
    const Outline& OutlineOf(int font, std::uint32_t glyph);
    // A run a band shows, moved by `shift` (image pixels: text repeated elsewhere).
    struct Shown {
        const Run* run;
        QPointF shift;
    };
    // The runs meeting `areaInDocument`, in painting order, and those of `repeats` moved
    // to meet it; `scale` is the image's pixels to the document's.
    std::vector<Shown> RunsMeeting(const QRectF& areaInDocument, const std::vector<RepeatedText>& repeats,
                                   double scale) const;
    // Fills the coverage of the glyphs of `shown` not yet cached, on two threads.
    void FillAhead(const QTransform& toDevice, const std::vector<Shown>& shown);
    static void Fill(Coverage& coverage, const Outline& outline, int phaseX, int phaseY);
    static bool Place(const QTransform& toDevice, QPointF position, QPointF shift, Placed& placed);
    static std::uint64_t KeyOf(int font, std::uint32_t glyph, int phaseX, int phaseY);

    QTextDocument& m_text;
    std::vector<Range> m_ranges;
    // By block number: the spans of the block (start, end, in the block) that the layout
    // still paints; none when Paint draws all of it.
    std::vector<std::vector<std::pair<int, int>>> m_leftToLayout;
    bool m_collected = false;
    std::vector<Run> m_runs;
    std::vector<QRawFont> m_fonts;
    // The same fonts at kOutlineSize, for outlines only (see FontIndex).
    std::vector<QRawFont> m_outlineFonts;
    double m_scale = 0; // of the cached coverage
    std::unordered_map<std::uint64_t, Coverage> m_cache;
    std::unordered_map<std::uint64_t, Outline> m_outlines; // at m_scale, by font and glyph
};

} // namespace editor
