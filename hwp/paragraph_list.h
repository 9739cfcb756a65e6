// The paragraph lists inside a kept object (table cells, text boxes, captions,
// headers, footers, notes, hidden comments): a LIST_HEADER record followed by its
// paragraphs at the same level, each with its own controls kept whole.
//
// Reading gives the paragraphs as the body's are modelled, so an object's text can be
// read and, once an object kind is understood (tables first), edited and written back
// over the records it came from.
#pragma once

#include <cstdint>
#include <vector>

#include "hwp/document.h"

namespace hwp {

struct ParagraphList {
    std::size_t header = 0;   // index of its LIST_HEADER in the records it was read from
    std::size_t end = 0;      // one past its last record there
    std::vector<Paragraph> paragraphs;
};

// The list whose LIST_HEADER is records[at]. Throws HwpError when the list is cut off
// (fewer paragraphs than its header announces) or a paragraph in it is damaged.
ParagraphList ReadParagraphList(const std::vector<ObjectRecord>& records, std::size_t at);

// Every list in `records` (an object's, records[0] its CTRL_HEADER), in file order, at
// any depth of the object's own records (drawing groups); lists inside the controls of
// those lists' paragraphs are theirs, not listed here. Throws as ReadParagraphList.
std::vector<ParagraphList> ReadParagraphLists(const std::vector<ObjectRecord>& records);

// The records of a list at `level`: the LIST_HEADER `listHeader` (its paragraph count
// set to the paragraphs') and the paragraphs, laid out `width` wide for their line
// segments. Their ids must be those of `document`; throws HwpError otherwise.
std::vector<ObjectRecord> WriteParagraphList(const Bytes& listHeader, const std::vector<Paragraph>& paragraphs,
                                             std::uint16_t level, const Document& document, HwpUnit width);

// Throws HwpError naming the control (its id and kind) and `where` when its records
// are not whole: a table without its table record or with fewer cells than it
// announces, a drawing object without its shape, an equation without its script, a
// header, footer or note without its text, a paragraph list cut off; and, given the
// document, a paragraph inside that refers to a para shape, style or char shape the
// document does not have.
void CheckControlWhole(const Control& control, const std::string& where, const Document* document = nullptr);

}  // namespace hwp
