// BodyText/SectionN: paragraphs, their text with its control characters, char-shape
// runs, line segments, the section and column definitions, click-here fields and every
// other control kept whole (paragraph.h).
#pragma once

#include <string>
#include <string_view>

#include "hwp/document.h"

namespace hwp {

// Reads one section stream (already inflated). `index` is for messages.
Section ReadSection(std::string_view stream, std::size_t index, const Document& document);

// The section stream (not yet deflated). `fieldIds` numbers the fields document-wide.
std::string WriteSection(const Section& section, const Document& document, std::uint32_t& fieldIds);

// A column definition's count (at least 1) and gap: a section's own, or one a paragraph
// holds where the columns change inside a section.
struct Columns {
    std::uint16_t count = 1;
    HwpUnit gap = 0;
};
// Throws HwpError when the control's first record is too short.
Columns ReadColumns(const Control& control);

// The numbering the section's outline paragraphs count in (counted from 1; 0 none), as
// its definition names it.
std::uint16_t OutlineNumberingId(const Section& section);

}  // namespace hwp
