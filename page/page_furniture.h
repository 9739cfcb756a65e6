// What a printed page shows outside the flow of its body text: headers and footers in
// their areas, the page number at its place, the footnotes of the page at the foot of
// the body under a short rule, and the endnotes after the end of the text. Found from
// the kept objects (head, foot, pgnp, pghd, nwno, fn, en) of a laid-out document.
#pragma once

#include "document/editor_document.h"
#include "document/kept_objects.h"

#include <QFont>
#include <QImage>
#include <QRectF>

#include <map>
#include <memory>
#include <vector>

class QPainter;
class QTextDocument;

namespace editor {

// What the furniture of a section takes over from the sections before it: their pages'
// count goes on, and their headers, footers, page number places and endnotes stay in
// force until the section gives its own (endnotes print after the last section's text).
struct FurnitureCarry {
    int nextNumber = 0;                      // the number its first page prints; 0: the document's start
    std::vector<hwp::Control> headers;       // headers and footers, in document order
    std::vector<hwp::Control> numberPlaces;
    std::vector<hwp::Control> endnotes;
    // The notes of the sheet the section begins on, when it goes on on the last sheet of the
    // one before: one note area at the sheet's foot holds both sections' notes.
    std::vector<hwp::Control> footnotesOnFirstSheet;
};

class PageFurniture {
public:
    // `text` laid out on pages of the body's height; `origin` holds the start numbers and
    // the note shapes of the first section. `section` is the definition of a later section
    // whose text `text` is (null: the first section's); `last` says no section follows.
    PageFurniture(const QTextDocument& text, const PageSetup& page, std::shared_ptr<const hwp::Document> origin,
                  KeptSectionRef section = nullptr, FurnitureCarry carried = {}, bool last = true);
    ~PageFurniture();

    // What the next section takes over, this section being `pages` pages long.
    FurnitureCarry Carry(int pages) const;

    // Paints page `page` (0-based) with `painter`, whose units are layout pixels from the
    // sheet's top left corner; only what meets `area` (the same units) is drawn.
    void Paint(QPainter& painter, int page, const QRectF& area) const;
    // Only the footnotes of page `page`: a sheet another part owns, whose furniture that
    // part paints, still shows this part's notes.
    void PaintFootnotes(QPainter& painter, int page, const QRectF& area) const;

    // The page number page `page` prints (1 for the first unless the file says otherwise).
    int PageNumber(int page) const;
    // Layout pixels at the foot of the body that the footnotes of page `page` take, with
    // their rule and the space around it; 0 without footnotes.
    double FootnoteRoom(int page) const;
    bool HasFootnotes() const { return !m_footnotes.empty(); }
    // The notes of `page` print with those of the section going on there, in its note area.
    void HandOnFootnotesOf(int page) { m_footnotesHandedOn = page; }

private:
    struct Anchored {
        int page = 0;
        hwp::Control control;
    };

    void PaintHeaders(QPainter& painter, int page, const QRectF& area) const;
    void PaintPageNumber(QPainter& painter, int page) const;
    void PaintNotes(QPainter& painter, int page, const QRectF& area) const;
    // The paragraphs of the footnotes referred to on `page`, in order.
    std::vector<hwp::Paragraph> FootnotesOn(int page) const;
    // Bits of the latest page-hiding control on `page` (and, on the section's first page,
    // of what the section hides there): 1 header, 2 footer, 32 page number.
    unsigned HiddenOn(int page) const;
    // The definition of this section: its note shapes and what its first page hides.
    const hwp::Control* SectionDef() const;

    PageSetup m_page;
    std::shared_ptr<const hwp::Document> m_origin;
    KeptSectionRef m_section;
    int m_firstNumber = 0;              // 0: from the document's start numbers
    bool m_last = true;
    mutable QImage m_layoutDevice;     // 96 dpi, for the text laid out as it paints
    QFont m_font;                       // page numbers
    double m_textEnd = 0;               // bottom of the body text, layout pixels from the first page's top
    std::vector<Anchored> m_headers;    // headers and footers, in document order
    std::vector<Anchored> m_numberPlaces;
    std::vector<Anchored> m_hiding;
    std::vector<Anchored> m_newNumbers;
    std::vector<Anchored> m_footnotes;
    int m_footnotesHandedOn = -1;
    std::vector<Anchored> m_endnotes;
    mutable std::map<int, double> m_footnoteRoom;
};

// Paragraphs of `text` (its top level) that would run into the footnotes of their page
// start the next page instead, until every page holds its notes. Call it on the laid-out
// copy that pages are painted from, before PageFurniture reads it.
void MakeRoomForFootnotes(QTextDocument& text, const PageSetup& page, std::shared_ptr<const hwp::Document> origin,
                          KeptSectionRef section = nullptr,
                          const std::vector<hwp::Control>& footnotesOnFirstSheet = {});

} // namespace editor
