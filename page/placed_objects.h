// Objects a file places on the page rather than as a character of a line: pictures,
// shapes, tables and equations floating at offsets from the paper, the page, the column
// or their paragraph. The print copy takes them out of their lines (their characters take
// no room and draw nothing), makes room above a paragraph whose object pushes its text
// below it, lays the lines of paragraphs laid out anew around the objects the text goes
// around, and paints them where the file places them, under the text or over it.
#pragma once

#include "document/editor_document.h"
#include "document/kept_objects.h"
#include "hwp/object_properties.h"
#include "page/stored_breaks.h"

#include <QRectF>
#include <QTextCharFormat>

#include <unordered_set>
#include <vector>

class QTextDocument;

namespace editor {

// The areas a placed object's offsets count from, on its sheet (layout pixels).
struct PlacementFrame {
    QRectF paper;
    QRectF page;        // the body, within the margins
    QRectF column;
    QRectF paragraph;   // its left and right within the column; its top where it starts
    bool oddPage = true;   // counted from 1: the inside edge of an odd page is its left
};

// Where an object of `size` (layout pixels) lies on its sheet.
QRectF PlaceObject(const hwp::ObjectProperties& properties, QSizeF size, const PlacementFrame& frame);

// A floating object of the copy's body, out of its line.
struct PlacedObject {
    KeptObjectRef object;
    hwp::ObjectProperties properties;
    QTextCharFormat format;   // of its character, for the view it is painted in
    int position = 0;         // of its character in the copy
    QSizeF size;              // layout pixels
    // Room made above its paragraph for the objects that push the paragraph's text below
    // them; the paragraph's own margins as read (the copy may fit them).
    double roomAbove = 0;
    double leftMargin = 0;
    double rightMargin = 0;

    bool BehindText() const { return properties.wrap == hwp::TextWrap::BehindText; }
};

// Takes the floating objects of the top-level blocks of `text` out of their lines, and
// makes room above the paragraphs of those that push their paragraph's text below them
// (objects above and below the text, placed from their paragraph). In the order of their
// characters.
std::vector<PlacedObject> TakePlacedObjects(QTextDocument& text);

// A caption a table in the flow of the text has at its left or right (the pane shows it as
// a character on a line of its own above or below the table, document/table_mapping.h).
struct CaptionBeside {
    PlacedObject caption;   // its character, taken out of its line
    int tableStart = 0;     // a position in the table's first cell
    bool left = true;
    double gap = 0;         // between caption and table, layout pixels
};

// Takes the captions left and right of the body's tables out of their lines and moves
// each table aside by its caption's width and gap, the room the caption is painted in.
std::vector<CaptionBeside> TakeCaptionsBeside(QTextDocument& text);

// Where a caption of `size` beside a table whose frame lies at `table` goes (the same
// coordinates): its top at the table's, its gap away from the table's side.
QRectF PlaceCaptionBeside(const CaptionBeside& caption, const QRectF& table);

// An object the text goes around or below, in the layout's coordinates (the columns of
// the body stacked page under page), its outer margins included.
struct TextObstacle {
    QRectF rect;
    hwp::TextWrap wrap = hwp::TextWrap::Square;
    std::uint8_t textSide = 0;   // 0 both sides, 1 its left only, 2 its right only, 3 the larger
};

// Once `text` is laid out: lays the lines of its body's blocks laid out anew (not among
// `held`) that meet `obstacles` around them: a line beside an object is shortened to the
// side(s) the object leaves the text, or moves below it when no side holds it; a line that
// would cross the foot of a page (`pageHeight`, layout pixels) starts the next. The room
// the lines take beyond the engine's goes below each block (`makeRoom`); true when that
// changed, and the copy must be laid out and flowed again. `flowed` holds the block numbers
// flowed, from one call to the next.
bool FlowTextAround(QTextDocument& text, const std::vector<TextObstacle>& obstacles,
                    const std::unordered_set<const StoredLines*>& held, double pageHeight,
                    std::unordered_set<int>& flowed, bool makeRoom);

// Lays the blocks FlowTextAround laid around objects out again as the text engine lays
// them, to measure them anew; the lines of other blocks laid out by hand after them are
// then the engine's again too (stored_breaks.h lays those after this).
void ReleaseFlowedLines(QTextDocument& text, const std::unordered_set<int>& flowed);

// How far LowerFirstBlockLines will move the lines of `block` (0 but for the first).
double LinesLoweredBy(const QTextBlock& block);

// Once `text` is laid out: moves the lines of its first block down by its top margin and the
// room made for its objects, which TakePlacedObjects puts below it, as the text engine does
// not count a frame's first top margin.
void LowerFirstBlockLines(QTextDocument& text);

// Lowers the text of `text` by `down` layout pixels: its first block, with the margin above
// it, is laid out that much further down (the place a part that goes on below another's
// text on its sheet begins at). Call it before the copy is laid out, after TakePlacedObjects.
void LowerTextStart(QTextDocument& text, double down);

} // namespace editor
