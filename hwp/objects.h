// Kept objects (hwp::Control) as the rest of the program needs them without
// understanding them: their size and placement, the text inside them, and moving one
// from the document it was read from into another.
//
// The editor shows every kept object as one inline object of its real size, its text
// scan and `varnel-hwp text` read the text inside, and a save (or a paste into another
// pane) carries the object into a new document with ImportControl, which keeps the ids
// inside its records pointing at the same shapes, styles, border fills and bin data.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "hwp/document.h"

namespace hwp {

// From the common object properties of a CTRL_HEADER (tables, drawing objects,
// equations): its size in HwpUnit and whether it is laid out as a character.
struct ObjectPlacement {
    HwpUnit width = 0;
    HwpUnit height = 0;
    bool inlineAsChar = false;
    HwpUnit verticalOffset = 0;
    HwpUnit horizontalOffset = 0;
};
// Empty for controls without such properties (fields, headers, footnotes, ...).
std::optional<ObjectPlacement> ControlPlacement(const Control& control);

// What it is, for people: u"표", u"그림", u"수식", u"머리말", ...
std::u16string DescribeControl(const Control& control);

// The text of the paragraph lists inside it (table cells in row order, text boxes,
// header, footer, footnote), paragraphs separated by u'\n', nested objects included;
// empty when it holds no text.
std::u16string ControlText(const Control& control);

// A copy of `control` for document `to`: every id its records refer to (char shapes,
// para shapes, styles, border fills, bin data, and through them faces, tab definitions
// and numberings) is looked up in `from` and found or added in `to`, and rewritten.
// Throws HwpError when the records refer to an id that `from` does not have.
Control ImportControl(const Document& from, const Control& control, Document& to);

// The id in `to` (counted from 1) of numbering or bullet `id` of `from`, by `kind`, found
// or added there with the char shapes its heads print in; 0 when `from` has no such one.
// Other kinds keep their id.
std::uint16_t ImportHead(const Document& from, HeadKind kind, std::uint16_t id, Document& to);

// Removes the bin data items nothing refers to any more (no kept object, section
// definition or border fill), with their streams, and renumbers the references to the
// others. For after objects were deleted. Returns how many it removed.
std::size_t DropUnusedBinData(Document& document);

}  // namespace hwp
