// Kept objects in the pane: every hwp::Control of a document (table, picture, equation,
// header, footnote, field other than click-here, ...) is one character U+FFFC of the text
// engine, whose char format carries the control and the document its ids refer to. The
// text engine moves, copies, deletes and undoes that character like any other, so the
// object keeps its data through every edit; a save carries it into the new document with
// hwp::ImportControl (document/hwp_mapping.cpp).
//
// How an object is drawn is looked up by its control id in a small registry: the
// default draws a framed box of the object's real size with its kind written small
// inside; tables, pictures and equations register painters of their own.
//
// Two more kinds of characters use the same object type:
//   - the end of a kept field (a hyperlink, ...): a second U+FFFC carrying the same
//     KeptObject, so the text between the two stays the field's text while it is edited;
//   - the start of every section after the first: its page and column definition, so a
//     document of several sections is written back with them.
#pragma once

#include <QSizeF>
#include <QString>
#include <QTextCharFormat>

#include "hwp/document.h"

#include <cstdint>
#include <memory>

class QPaintDevice;
class QPainter;
class QRectF;
class QTextDocument;

namespace editor {

struct KeptObject {
    hwp::Control control;   // position and end are where it stood when it was read
    std::shared_ptr<const hwp::Document> origin;   // the document the ids in `control` refer to
};
using KeptObjectRef = std::shared_ptr<const KeptObject>;

// A section that starts at this character: its definition without its paragraphs.
struct KeptSection {
    hwp::Section section;
    std::shared_ptr<const hwp::Document> origin;
};
using KeptSectionRef = std::shared_ptr<const KeptSection>;

// The object type of all three kinds of characters (QTextFormat::objectType()).
constexpr int kKeptObjectType = QTextFormat::UserObject + 1;

// Qt finds a format among a document's by its hash, and hashes a property of a type it
// does not know (our shared references) by the type's name alone: formats told apart only
// by such a reference would share one hash, and each new one be compared with all the
// others, so that a paragraph of N objects would cost N². The reference's address beside
// it, as an int, spreads them.
constexpr int kReferenceHashProperty = QTextFormat::UserProperty + 14;
void SetReference(QTextFormat& format, int property, const QVariant& reference, const void* address);

// `around` with the object type and the object: the format of its U+FFFC.
QTextCharFormat KeptObjectFormat(const QTextCharFormat& around, KeptObjectRef object);
QTextCharFormat KeptFieldEndFormat(const QTextCharFormat& around, KeptObjectRef field);
QTextCharFormat SectionStartFormat(const QTextCharFormat& around, KeptSectionRef section);

// Null when the format is not of that kind.
KeptObjectRef KeptObjectOf(const QTextFormat& format);
KeptObjectRef KeptFieldEndOf(const QTextFormat& format);
KeptSectionRef SectionStartOf(const QTextFormat& format);
// The format without what makes it an object's, for text typed next to one.
QTextCharFormat WithoutKeptObject(QTextCharFormat format);

// How a kept object is seen where it is laid out: the char format of its character (the
// font numbers print in) and whether the layout is for print (page images, PDF), which
// leaves out the marks the pane shows for controls that print nothing.
struct KeptObjectView {
    QTextCharFormat format;
    bool print = false;
};

// Draws the kept objects of one control id. Sizes are layout pixels (96 dpi, see
// HwpUnitsToLayout); Paint gets the rect the text engine gave the object and the factor
// from layout pixels to the painter's pixels (the pane's zoom).
class KeptObjectPainter {
public:
    virtual ~KeptObjectPainter() = default;
    virtual QSizeF Size(const KeptObject& object) const = 0;
    virtual void Paint(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const = 0;
    // For objects on a baseline of their own (SitsOnOwnBaseline): how far of their Size
    // lies below it. The rest sit on the text's baseline with their bottom.
    virtual double Descent(const KeptObject&) const { return 0; }
    // The same where the view matters (objects that print as text or not at all); the
    // layout calls these, and by default they ask the view-blind ones above.
    virtual QSizeF SizeIn(const KeptObject& object, const KeptObjectView&) const { return Size(object); }
    virtual double DescentIn(const KeptObject& object, const KeptObjectView&) const { return Descent(object); }
    virtual void PaintIn(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object,
                         const KeptObjectView&) const
    {
        Paint(painter, rect, scale, object);
    }
};

// Equations, drawn and form objects laid out as characters and rubies under their base
// sit on a baseline of their own; every other object sits on the text's baseline with its
// bottom.
constexpr std::uint32_t kEquationCtrlId = 0x65716564;   // 'e','q','e','d'
bool SitsOnOwnBaseline(const hwp::Control& control);
// How much of an object laid out as a character lies below the baseline: the word
// processor sets the baseline of its line at 85 % of the object, as of a line of text.
constexpr double kCharObjectDescent = 0.15;

// The painters that draw objects for real (tables, pictures, equations, shapes, controls)
// live with the printed page (page/object_painters.h), above this folder. That library
// hands its registration over before main; the first object format or layout runs it
// once. Without it every object is drawn as the default box.
void SetPainterRegistration(void (*registerPainters)());

// The painter for controls with this id (e.g. 't','b','l',' '), replacing the one before;
// null puts the default back. Page images may be painted on another thread: painters
// draw from the object alone.
void RegisterKeptObjectPainter(std::uint32_t ctrlId, std::shared_ptr<const KeptObjectPainter> painter);
std::shared_ptr<const KeptObjectPainter> KeptObjectPainterFor(const hwp::Control& control);
// What the default painter does, for painters that draw only some objects of their id.
// In print they draw nothing: a name in place of an object is no part of a printed page.
QSizeF KeptObjectBoxSize(const KeptObject& object);
void PaintKeptObjectBox(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object);
// The same frame with another label (a linked picture's file name), shortened to fit.
void PaintKeptObjectBox(QPainter& painter, const QRectF& rect, double scale, const QString& label);

// A floating object (not laid out as a character) that the print layout places on the
// page itself (page/placed_objects.h): its character takes no room and draws nothing.
constexpr int kPlacedObjectProperty = QTextFormat::UserProperty + 29;

// Draws `object` into `rect` (layout pixels times `scale`) as the layout would draw its
// character in `view`.
void DrawKeptObject(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object,
                    const KeptObjectView& view);

// Marks `document` as laid out for print: controls that print nothing take no room and
// leave no mark, objects without a painter of their own leave their room blank.
void SetPrintLayout(QTextDocument& document);
bool IsPrintLayout(const QTextDocument* document);

// Controls that print nothing (bookmarks, column definitions, ...): in the pane a thin
// mark as tall as the text that a user can see, select and delete, in print no room at
// all. Both stand on the text's baseline, as high as the text's ascent.
QSizeF ControlMarkSize(const KeptObjectView& view);
void PaintControlMark(QPainter& painter, const QRectF& rect, double scale, const KeptObjectView& view);
// A device of layout pixels (96 dpi) to measure and lay out text on, one per thread.
const QPaintDevice& LayoutDevice();
// The ascent and descent of the view's font, in layout pixels.
double TextAscent(const KeptObjectView& view);
double TextDescent(const KeptObjectView& view);

// Makes `document`'s layout size and draw the three kinds of characters. Needed once per
// document layout (again after setDocumentLayout); calling it again does no harm.
void InstallKeptObjectHandler(QTextDocument& document);

// The text inside the object (table cells, text boxes, notes, ...) as the pane's text
// scan returns it; empty for field ends, sections and objects without text.
std::u16string KeptObjectText(const QTextFormat& format);

// What the pane tells about the object under the mouse: its kind and, for notes,
// headers and other objects holding text, that text (shortened). Empty for other formats.
QString KeptObjectToolTip(const QTextFormat& format);
// The same for the object character at or just before `position` of `document`.
QString KeptObjectToolTipAt(const QTextDocument& document, int position);

} // namespace editor

Q_DECLARE_METATYPE(editor::KeptObjectRef)
Q_DECLARE_METATYPE(editor::KeptSectionRef)
