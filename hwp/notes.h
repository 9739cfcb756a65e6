// Footnotes and endnotes ('fn  ', 'en  '), their section's note shapes, and headers and
// footers ('head', 'foot'): controls whose paragraphs print away from where they stand,
// at the foot of a page, after the text, or in the header and footer areas.
//
// Read only: the controls stay kept whole (hwp::Control) and are written back as read.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "hwp/document.h"
#include "hwp/records.h"

namespace hwp {

constexpr std::uint32_t kFootnoteCtrlId = CtrlId('f', 'n', ' ', ' ');
constexpr std::uint32_t kEndnoteCtrlId = CtrlId('e', 'n', ' ', ' ');
constexpr std::uint32_t kHeaderCtrlId = CtrlId('h', 'e', 'a', 'd');
constexpr std::uint32_t kFooterCtrlId = CtrlId('f', 'o', 'o', 't');

// A note as its reference in the text shows it: prefix, number in its shape, suffix.
struct Note {
    bool endnote = false;
    std::uint32_t number = 1;   // as the word processor last counted it
    char16_t prefix = 0;        // 0: none
    char16_t suffix = 0;
    std::uint8_t shape = 0;     // hwp::number_shape
    std::vector<Paragraph> paragraphs;

    std::u16string ReferenceText() const;
};

// Empty for another control or one whose records are damaged.
std::optional<Note> ReadNote(const Control& control);

// How a section lays out its notes (a FOOTNOTE_SHAPE record of its definition).
struct NoteShape {
    std::uint32_t properties = 0;   // shape bits 0..7, superscript in the note bit 12
    char16_t userSymbol = 0;
    char16_t prefix = 0;
    char16_t suffix = u')';
    std::uint16_t start = 1;
    HwpUnit separatorLength = -1;   // <= 0: a default length
    HwpUnit aboveSeparator = 850;
    HwpUnit belowSeparator = 567;
    HwpUnit betweenNotes = 283;
    std::uint8_t lineKind = 1;      // 0: no separator
    std::uint8_t lineWidth = 1;     // hwp::BorderLineWidth code
    ColorRef lineColor = 0;
};

// The footnote shape (endnote: the second) of a section definition, or the defaults.
NoteShape ReadNoteShape(const Control& sectionDef, bool endnote);

// What a section definition ('secd') says of the section's pages. Its header: id,
// properties (4: what its first page hides, bits as a page-hiding control's: 1 header,
// 2 footer, 0x20 page number), column gap, grids (2 each), tab stop (4), numbering
// shape (2), page number (2).
struct SectionPaging {
    unsigned hiddenOnFirstPage = 0;
    std::uint16_t pageStart = 0;   // the number its first page prints; 0: it goes on counting
};
SectionPaging ReadSectionPaging(const Control& sectionDef);

// Which pages a header or footer prints on.
enum class HeaderPages : std::uint8_t { Both = 0, Even = 1, Odd = 2 };

struct HeaderFooter {
    bool footer = false;
    HeaderPages pages = HeaderPages::Both;
    std::uint32_t listProperties = 0;   // vertical alignment bits 5..6
    HwpUnit width = 0;                  // of its text; 0 when the file does not say
    HwpUnit height = 0;
    std::vector<Paragraph> paragraphs;

    // 0 top, 1 centre, 2 bottom of its area.
    int VerticalAlign() const { return static_cast<int>((listProperties >> 5) & 3); }
    bool PrintsOn(int pageNumber) const;
};

std::optional<HeaderFooter> ReadHeaderFooter(const Control& control);

}  // namespace hwp
