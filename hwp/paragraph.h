// One paragraph's records at any depth: the body's (level 0) and those of the paragraph
// lists inside objects (cells, text boxes, headers, notes). Reading and writing side by
// side; the section and the paragraph lists build on them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hwp/document.h"
#include "hwp/records.h"

namespace hwp {

// Reads the paragraph whose PARA_HEADER is records[i]; `i` moves past its records.
// Every control keeps its whole record subtree. `section` is given for the first
// paragraph of a section body: its section and column definitions go there.
// Ids are not checked here. Throws HwpError naming `where` and the control for a
// control character without its record or a record without its character.
Paragraph ReadParagraph(const std::vector<Record>& records, std::size_t& i, const std::string& where, Section* section);

// Approximate line breaking for the line segments (see paragraph.cpp).
struct Layout {
    std::int64_t width = 0;
    std::int64_t pageHeight = 0;
    std::int64_t vertical = 0;
};

// Appends the paragraph's records, its PARA_HEADER at `level`. `section` is given for
// the first paragraph of a section body. `last` marks the last paragraph of its list.
// `fieldIds` numbers click-here fields document-wide. Throws HwpError for ids the
// document does not have.
void WriteParagraph(std::string& stream, const Paragraph& paragraph, std::uint16_t level, bool last,
                    const Document& document, Layout& layout, const Section* section, std::uint32_t& fieldIds);

// Views of kept records, for the record parsers above.
// The guide a click-here field's command shows; empty when it names none.
std::u16string GuideFromCommand(const std::u16string& command);
// The name a field control's parameter set gives it (the first text item of its
// CTRL_DATA record); empty when it has none or it cannot be read.
std::u16string ReadFieldName(const std::vector<ObjectRecord>& records);

std::vector<Record> RecordViews(const std::vector<ObjectRecord>& records);

// Control ids the library looks at.
constexpr std::uint32_t kSecd = CtrlId('s', 'e', 'c', 'd');
constexpr std::uint32_t kCold = CtrlId('c', 'o', 'l', 'd');
constexpr std::uint32_t kClickHere = CtrlId('%', 'c', 'l', 'k');
constexpr std::uint32_t kTable = CtrlId('t', 'b', 'l', ' ');
constexpr std::uint32_t kDrawing = CtrlId('g', 's', 'o', ' ');
constexpr std::uint32_t kEquation = CtrlId('e', 'q', 'e', 'd');

}  // namespace hwp
