// Paragraph heads in a text engine's document: the numbers, bullets and outline numbers
// that paragraphs' para shapes ask for (hwp/numbering.h), counted across the document in
// its order, sized, and drawn before each paragraph's first line. Who calls it: the
// printed page (page/page_render.h) and the pane (editor/), each for its own document.
//
// A head is never text of the document: nobody can type into it or delete it by
// accident, the pane's text scan does not read it, and a save writes none (the file keeps
// it in the para shape, as it had it). The room a head takes is added to its block's
// indents, so the text engine breaks the lines as the page will; a save takes it off
// again (WithoutHeadRoom).
#pragma once

#include "hwp/document.h"
#include "hwp/numbering.h"

#include <QImage>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>

#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QRectF;
class QTextBlock;
class QTextDocument;

namespace editor {

// On a block format whose para shape has a head: the document its numbering and bullet
// ids refer to (a HeadSourceRef), so paragraphs pasted or inserted from another file
// keep their heads.
constexpr int kHeadSourceProperty = QTextFormat::UserProperty + 40;
// The room of the head, in layout pixels, added to the left margin and the first line's
// indent (doubles; absent when there is none).
constexpr int kHeadMarginProperty = QTextFormat::UserProperty + 41;
constexpr int kHeadIndentProperty = QTextFormat::UserProperty + 42;

using HeadSourceRef = std::shared_ptr<const hwp::Document>;

// `format` without the room of a head: the indents its para shape gives.
QTextBlockFormat WithoutHeadRoom(QTextBlockFormat format);

// The layout's pixels per layout pixel (96 dpi): the pane's zoom, 1 for the printed page.
// Block margins are taken as they are, fonts grow with the layout's paint device.
double LayoutScale(const QTextDocument& text);

struct ParagraphHead {
    QString text;                  // what prints; for a picture bullet, the character in its stead
    QImage picture;                // a picture bullet's picture, when its bin data decodes
    QTextCharFormat format;        // the char shape it prints in
    double textWidth = 0;          // layout pixels, of `text` or the picture
    double width = 0;              // layout pixels: the head's box, text or picture aligned in it
    double gap = 0;                // layout pixels between the box and the paragraph's text
    hwp::HeadAlignment alignment = hwp::HeadAlignment::Left;
    bool autoIndent = false;       // later lines start where the text after the head does
};

class ParagraphHeads {
public:
    // The heads of every block of `text`, counted in document order. Para shapes name
    // their numberings in the document of their block's kHeadSourceProperty, else in
    // `origin`.
    ParagraphHeads(const QTextDocument& text, HeadSourceRef origin);

    bool Empty() const { return m_heads.empty(); }
    // Null when the block has no head.
    const ParagraphHead* Of(const QTextBlock& block) const;

    // Gives every block of `text` (the document counted) the room its head needs at
    // `scale` (LayoutScale), and none to a block without one. As FitTableRows: a change is
    // folded into the last undo step (it belongs to the edit that made it necessary), is
    // not made while there are steps to redo, and leaves the modified flag as it was.
    // Returns whether anything changed.
    bool FitRooms(QTextDocument& text, double scale = 1.0) const;

    // Keeps the heads of `count` blocks from block `first` on, numbered from 0: for a copy
    // of the text cut down to those blocks, after counting over all of it.
    void KeepBlocks(int first, int count);

    // Draws the heads of the blocks whose first line meets `area` (the painter's
    // coordinates, those of the document's layout). `origin` gives where a block's layout
    // is drawn from; heads are laid out on the layout's paint device, as its text is.
    void Paint(QPainter& painter, const QTextDocument& text, const QRectF& area,
               const std::function<QPointF(const QTextBlock&)>& origin) const;

private:
    // By block number; blocks without a head have an empty entry.
    std::vector<std::unique_ptr<ParagraphHead>> m_heads;
};

// For the pane: counts the heads of `text` now and again after every change of the text
// (once the change is laid out), fits their room each time and then calls `counted`.
// The heads live with the document.
void KeepParagraphHeads(QTextDocument& text, HeadSourceRef origin, std::function<void()> counted);
// Counts and fits them again now, as after a change of the zoom; nothing when
// KeepParagraphHeads was never called for `text`.
void RecountParagraphHeads(QTextDocument& text);
// The heads KeepParagraphHeads last counted; null when it was never called for `text`.
const ParagraphHeads* KeptParagraphHeads(const QTextDocument& text);

} // namespace editor

Q_DECLARE_METATYPE(editor::HeadSourceRef)
