// BodyText/SectionN: paragraphs, their text with its control characters, char-shape
// runs, line segments, the section and column definitions, click-here fields and every
// other control kept whole (paragraph.h).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hwp/border_fill.h"
#include "hwp/document.h"

namespace hwp {

// Reads one section stream (already inflated). `index` is for messages.
Section ReadSection(std::string_view stream, std::size_t index, const Document& document);

// The section stream (not yet deflated). `fieldIds` numbers the fields document-wide.
std::string WriteSection(const Section& section, const Document& document, std::uint32_t& fieldIds);

// A column definition: a section's own, or one a paragraph holds where the columns
// change inside a section.
struct Columns {
    enum Kind : std::uint8_t { kNormal = 0, kDistributed = 1, kParallel = 2 };
    std::uint8_t kind = kNormal;   // distributed columns end level on the last page
    std::uint8_t direction = 0;    // 0 from the left, 1 from the right, 2 mirrored
    std::uint16_t count = 1;       // at least 1
    HwpUnit gap = 0;               // between columns of equal width
    bool sameWidth = true;
    // Unequal widths: each column's width and the gap after it as shares of the body
    // width out of 32768 (width, gap, width, gap, ...); empty for equal widths and one column.
    std::vector<std::uint16_t> shares;
    std::uint16_t property2 = 0;   // stored with equal widths only
    BorderLine line;               // between the columns; kind 0: none
    std::uint16_t otherBits = 0;   // property bits past the same-width flag, kept
    Bytes rest;                    // anything after the line, kept

    bool operator==(const Columns&) const = default;
};
// Throws HwpError when the control's first record is too short for its count and gap.
// A record that ends earlier leaves the later fields at their defaults.
Columns ReadColumns(const Control& control);
// The control header's data (the id first), as read for a definition read unchanged.
Bytes WriteColumns(const Columns& columns);
// A column definition control holding `columns`.
Control ColumnsControl(const Columns& columns);
// The section's columns: its definition as read with `columnCount` and `columnGap` in
// force (widths for another count dropped).
Columns ColumnsOf(const Section& section);
// Each column's left edge and width in a body `bodyWidth` wide, from the left.
std::vector<std::pair<HwpUnit, HwpUnit>> ColumnSpans(const Columns& columns, HwpUnit bodyWidth);

// The numbering the section's outline paragraphs count in (counted from 1; 0 none), as
// its definition names it.
std::uint16_t OutlineNumberingId(const Section& section);

}  // namespace hwp
