// The text of a page for vector output (PDF), drawn from the layout's glyph runs.
//
// Qt holds a font given in points in whole pixels of the device it lays text out on: at
// the 96-dpi layout a 10-point char shape is laid out and drawn at 13 px, 9.75 points, and
// a PDF written through the layout's own painting says 9.75. VectorText takes the plain
// text out of Qt's painting of the lines (its colour is cleared, and the layout paints
// with no pen) and draws it run by run where the layout placed it, in the char shape's
// exact size. Qt still paints the rest of a line: backgrounds, inline objects, raised or
// lowered text and text of other fills.
#pragma once

#include <QRawFont>
#include <QRgb>

#include <vector>

class QPainter;
class QPointF;
class QTextBlock;
class QTextDocument;
class QTextLine;

namespace editor {

class VectorText {
public:
    // Takes the plain text of `text` out of Qt's painting. Call it on a copy of the
    // document, before the copy is laid out.
    explicit VectorText(QTextDocument& text);

    // Draws the plain text of `line` of `block`, whose layout origin is `origin`, at its
    // formats' own sizes. Qt paints the line first, with the painter's pen set to Qt::NoPen.
    void DrawLine(QPainter& painter, const QTextBlock& block, const QTextLine& line, const QPointF& origin) const;

private:
    struct Range {
        int position;   // in the document
        int length;
        QRgb colour;
        double pixelSize;   // the format's exact size in layout pixels; 0: the layout's
    };
    // `font` at `pixelSize`, made once per font and size.
    QRawFont Sized(const QRawFont& font, double pixelSize) const;

    std::vector<Range> m_ranges;   // in document order
    mutable std::vector<std::pair<QRawFont, QRawFont>> m_sized;
};

} // namespace editor
