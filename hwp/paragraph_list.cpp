#include "hwp/paragraph_list.h"

#include <algorithm>

#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/objects.h"
#include "hwp/paragraph.h"
#include "hwp/records.h"
#include "support/text.h"

namespace hwp {
namespace {

ParagraphList ReadList(const std::vector<Record>& views, std::size_t at)
{
    const Record& header = views[at];
    if (header.tag != tag::kListHeader)
        throw HwpError("a paragraph list does not start with its list header");
    if (header.data.size() < 2)
        throw HwpError("a paragraph list's header is cut off");
    const std::size_t count = static_cast<unsigned char>(header.data[0]) | (static_cast<unsigned char>(header.data[1]) << 8);
    ParagraphList list;
    list.header = at;
    std::size_t i = at + 1;
    while (count == 0 || list.paragraphs.size() < count) {
        if (i >= views.size() || views[i].tag != tag::kParaHeader || views[i].level != header.level) {
            if (count == 0 && !list.paragraphs.empty())
                break;
            throw HwpError("a paragraph list announces " + std::to_string(count) + " paragraphs but " +
                           std::to_string(list.paragraphs.size()) + " follow");
        }
        const std::string where = "paragraph " + std::to_string(list.paragraphs.size() + 1) + " of a list";
        list.paragraphs.push_back(ReadParagraph(views, i, where, nullptr));
    }
    list.end = i;
    return list;
}

std::vector<ParagraphList> ReadLists(const std::vector<Record>& views)
{
    std::vector<ParagraphList> lists;
    std::size_t k = 1;
    while (k < views.size()) {
        if (views[k].tag == tag::kListHeader) {
            lists.push_back(ReadList(views, k));
            k = lists.back().end;
        } else {
            ++k;
        }
    }
    return lists;
}

std::string Name(const Control& control)
{
    return Utf16ToUtf8(DescribeControl(control)) + " ('" + CtrlIdText(control.ctrlId) + "')";
}

bool HasRecord(const Control& control, std::uint16_t recordTag)
{
    for (const ObjectRecord& record : control.records) {
        if (record.tag == recordTag && record.level == 1)
            return true;
    }
    return false;
}

// Throws HwpError with the reason, not yet naming the control.
void CheckIds(const Paragraph& paragraph, const Document& document)
{
    auto check = [](std::size_t id, std::size_t count, const char* what) {
        if (id >= count)
            throw HwpError("a paragraph inside it refers to " + std::string(what) + " " + std::to_string(id) + " of " +
                           std::to_string(count));
    };
    check(paragraph.paraShapeId, document.paraShapes.size(), "para shape");
    check(paragraph.styleId, std::max<std::size_t>(document.styles.size(), 1), "style");
    for (const CharShapeRun& run : paragraph.charShapes)
        check(run.charShapeId, document.charShapes.size(), "char shape");
}

void CheckWhole(const Control& control, const Document* document)
{
    const std::vector<Record> views = RecordViews(control.records);
    const std::vector<ParagraphList> lists = ReadLists(views);
    switch (control.ctrlId) {
    case kTable: {
        std::size_t table = 0;
        while (table < views.size() && !(views[table].tag == tag::kTable && views[table].level == 1))
            ++table;
        if (table == views.size())
            throw HwpError("its table record is missing");
        ByteReader in(views[table].data, "table record");
        in.U32();   // property
        const std::size_t rows = in.U16();
        const std::size_t columns = in.U16();
        in.Skip(2 + 8);   // cell spacing, margins
        std::size_t cells = 0;
        if (in.Remaining() >= 2 * rows) {
            for (std::size_t r = 0; r < rows; ++r)
                cells += in.U16();
        } else {
            cells = rows * columns;
        }
        std::size_t found = 0;
        for (const ParagraphList& list : lists) {
            if (list.header > table && views[list.header].level == 1)
                ++found;
        }
        if (found < cells)
            throw HwpError("it announces " + std::to_string(cells) + " cells but " + std::to_string(found) + " follow");
        break;
    }
    case kDrawing:
        if (!HasRecord(control, tag::kShapeComponent))
            throw HwpError("its shape record is missing");
        break;
    case kEquation:
        if (!HasRecord(control, tag::kEqEdit))
            throw HwpError("its script record is missing");
        break;
    case CtrlId('h', 'e', 'a', 'd'):
    case CtrlId('f', 'o', 'o', 't'):
    case CtrlId('f', 'n', ' ', ' '):
    case CtrlId('e', 'n', ' ', ' '):
    case CtrlId('t', 'c', 'm', 't'):
        if (lists.empty())
            throw HwpError("its text is missing");
        break;
    default: break;
    }
    for (const ParagraphList& list : lists) {
        for (const Paragraph& paragraph : list.paragraphs) {
            if (document)
                CheckIds(paragraph, *document);
            for (const Control& nested : paragraph.controls) {
                try {
                    CheckWhole(nested, document);
                } catch (const HwpError& error) {
                    throw HwpError("the " + Name(nested) + " inside it: " + error.what());
                }
            }
        }
    }
}

}  // namespace

ParagraphList ReadParagraphList(const std::vector<ObjectRecord>& records, std::size_t at)
{
    if (at >= records.size())
        throw HwpError("no paragraph list there");
    return ReadList(RecordViews(records), at);
}

std::vector<ParagraphList> ReadParagraphLists(const std::vector<ObjectRecord>& records)
{
    return ReadLists(RecordViews(records));
}

std::vector<ObjectRecord> WriteParagraphList(const Bytes& listHeader, const std::vector<Paragraph>& paragraphs,
                                             std::uint16_t level, const Document& document, HwpUnit width)
{
    if (paragraphs.empty() || paragraphs.size() > 0xFFFF)
        throw HwpError("invalid paragraph list: it needs 1 to 65535 paragraphs");
    for (const Paragraph& paragraph : paragraphs) {
        if (paragraph.styleId >= document.styles.size())
            throw HwpError("invalid paragraph list: a paragraph refers to a style the document does not have");
        for (const CharShapeRun& run : paragraph.charShapes) {
            if (run.charShapeId >= document.charShapes.size())
                throw HwpError("invalid paragraph list: a paragraph refers to a char shape the document does not have");
        }
    }
    Bytes header = listHeader;
    if (header.size() < 2)
        header.resize(2);
    header[0] = static_cast<std::uint8_t>(paragraphs.size() & 0xFF);
    header[1] = static_cast<std::uint8_t>(paragraphs.size() >> 8);
    std::string stream;
    AppendRecord(stream, tag::kListHeader, level,
                 View(header));
    Layout layout;
    layout.width = std::max<std::int64_t>(width, 1000);
    layout.pageHeight = 0x3FFFFFFF;
    std::uint32_t fieldIds = 0x5B1FF000;
    for (std::size_t p = 0; p < paragraphs.size(); ++p)
        WriteParagraph(stream, paragraphs[p], level, p + 1 == paragraphs.size(), document, layout, nullptr, fieldIds);
    std::vector<ObjectRecord> out;
    for (const Record& record : ParseRecords(stream, "paragraph list"))
        out.push_back(ObjectRecord{record.tag, record.level, ToBytes(record.data)});
    return out;
}

void CheckControlWhole(const Control& control, const std::string& where, const Document* document)
{
    try {
        CheckWhole(control, document);
    } catch (const HwpError& error) {
        throw HwpError("damaged " + where + ": the " + Name(control) + " cannot be read: " + error.what());
    }
}

}  // namespace hwp
