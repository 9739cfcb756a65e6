#include "hwp/notes.h"

#include "hwp/auto_number.h"
#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/paragraph_list.h"

namespace hwp {
namespace {

bool HasHeader(const Control& control)
{
    return !control.records.empty() && control.records.front().tag == tag::kCtrlHeader;
}

// The paragraphs of the control's own (first) list, or nothing when it is damaged.
std::optional<std::vector<Paragraph>> FirstList(const Control& control)
{
    try {
        std::vector<ParagraphList> lists = ReadParagraphLists(control.records);
        if (lists.empty())
            return std::nullopt;
        return std::move(lists.front().paragraphs);
    } catch (const HwpError&) {
        return std::nullopt;
    }
}

}  // namespace

std::u16string Note::ReferenceText() const
{
    return DecoratedNumber(prefix, number, shape, suffix);
}

// Note header: id, number (4), prefix, suffix (2 each), shape (4).
std::optional<Note> ReadNote(const Control& control)
{
    if ((control.ctrlId != kFootnoteCtrlId && control.ctrlId != kEndnoteCtrlId) || !HasHeader(control))
        return std::nullopt;
    std::optional<std::vector<Paragraph>> paragraphs = FirstList(control);
    if (!paragraphs)
        return std::nullopt;
    Note note;
    note.endnote = control.ctrlId == kEndnoteCtrlId;
    const Bytes& data = control.records.front().data;
    if (data.size() >= 8)
        note.number = LittleEndianAt(data, 4, 4);
    if (data.size() >= 12) {
        note.prefix = static_cast<char16_t>(LittleEndianAt(data, 8, 2));
        note.suffix = static_cast<char16_t>(LittleEndianAt(data, 10, 2));
    }
    if (data.size() >= 16)
        note.shape = static_cast<std::uint8_t>(LittleEndianAt(data, 12, 4));
    note.paragraphs = std::move(*paragraphs);
    return note;
}

// properties (4), user symbol, prefix, suffix (2 each), start (2), separator length,
// one unnamed unit, space above and below it, between notes (2 each), line kind and
// width (1 each), colour (4).
NoteShape ReadNoteShape(const Control& sectionDef, bool endnote)
{
    NoteShape shape;
    int seen = 0;
    for (const ObjectRecord& record : sectionDef.records) {
        if (record.tag != tag::kFootnoteShape || seen++ != (endnote ? 1 : 0))
            continue;
        const Bytes& data = record.data;
        if (data.size() < 24)
            break;
        shape.properties = LittleEndianAt(data, 0, 4);
        shape.userSymbol = static_cast<char16_t>(LittleEndianAt(data, 4, 2));
        shape.prefix = static_cast<char16_t>(LittleEndianAt(data, 6, 2));
        shape.suffix = static_cast<char16_t>(LittleEndianAt(data, 8, 2));
        shape.start = static_cast<std::uint16_t>(LittleEndianAt(data, 10, 2));
        shape.separatorLength = static_cast<std::int16_t>(LittleEndianAt(data, 12, 2));
        shape.aboveSeparator = static_cast<std::int16_t>(LittleEndianAt(data, 16, 2));
        shape.belowSeparator = static_cast<std::int16_t>(LittleEndianAt(data, 18, 2));
        shape.betweenNotes = static_cast<std::int16_t>(LittleEndianAt(data, 20, 2));
        shape.lineKind = data[22];
        shape.lineWidth = data[23];
        if (data.size() >= 28)
            shape.lineColor = LittleEndianAt(data, 24, 4);
        break;
    }
    return shape;
}

SectionPaging ReadSectionPaging(const Control& sectionDef)
{
    SectionPaging paging;
    if (!HasHeader(sectionDef))
        return paging;
    const Bytes& data = sectionDef.records.front().data;
    if (data.size() >= 8)
        paging.hiddenOnFirstPage = LittleEndianAt(data, 4, 4) & 0x3Fu;
    if (data.size() >= 22)
        paging.pageStart = static_cast<std::uint16_t>(LittleEndianAt(data, 20, 2));
    return paging;
}

bool HeaderFooter::PrintsOn(int pageNumber) const
{
    switch (pages) {
    case HeaderPages::Even: return pageNumber % 2 == 0;
    case HeaderPages::Odd: return pageNumber % 2 != 0;
    default: return true;
    }
}

// Header: id, properties (4: pages bits 0..1). Its list header: paragraph count (4),
// list properties (4), text width and height (4 each).
std::optional<HeaderFooter> ReadHeaderFooter(const Control& control)
{
    if ((control.ctrlId != kHeaderCtrlId && control.ctrlId != kFooterCtrlId) || !HasHeader(control))
        return std::nullopt;
    std::optional<std::vector<Paragraph>> paragraphs = FirstList(control);
    if (!paragraphs)
        return std::nullopt;
    HeaderFooter header;
    header.footer = control.ctrlId == kFooterCtrlId;
    const Bytes& data = control.records.front().data;
    if (data.size() >= 8) {
        const std::uint32_t pages = LittleEndianAt(data, 4, 4) & 3;
        header.pages = pages == 1 ? HeaderPages::Even : pages == 2 ? HeaderPages::Odd : HeaderPages::Both;
    }
    for (const ObjectRecord& record : control.records) {
        if (record.tag != tag::kListHeader)
            continue;
        if (record.data.size() >= 16) {
            header.listProperties = LittleEndianAt(record.data, 4, 4);
            header.width = static_cast<HwpUnit>(LittleEndianAt(record.data, 8, 4));
            header.height = static_cast<HwpUnit>(LittleEndianAt(record.data, 12, 4));
        }
        break;
    }
    header.paragraphs = std::move(*paragraphs);
    return header;
}

}  // namespace hwp
