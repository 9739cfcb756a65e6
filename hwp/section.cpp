#include "hwp/section.h"

#include <algorithm>

#include "hwp/bytes.h"
#include "hwp/paragraph_list.h"
#include "hwp/paragraph.h"
#include "hwp/records.h"

namespace hwp {
namespace {

// ---- page definition, inside the section definition

PageDef ReadPageDef(std::string_view data)
{
    ByteReader in(data, "page definition record");
    PageDef page;
    page.width = in.I32();
    page.height = in.I32();
    page.leftMargin = in.I32();
    page.rightMargin = in.I32();
    page.topMargin = in.I32();
    page.bottomMargin = in.I32();
    page.headerMargin = in.I32();
    page.footerMargin = in.I32();
    page.gutterMargin = in.I32();
    const std::uint32_t property = in.U32();
    page.landscape = property & 1;
    page.gutterKind = static_cast<std::uint8_t>((property >> 1) & 3);
    return page;
}

// The page as modelled over the record as read: property bits we do not name and any
// later fields stay.
Bytes WritePageDef(const PageDef& p, const Bytes& read)
{
    ByteWriter out;
    for (HwpUnit value : {p.width, p.height, p.leftMargin, p.rightMargin, p.topMargin, p.bottomMargin, p.headerMargin,
                          p.footerMargin, p.gutterMargin})
        out.I32(value);
    std::uint32_t property = 0;
    if (read.size() >= 40)
        property = static_cast<std::uint32_t>(read[36]) | (static_cast<std::uint32_t>(read[37]) << 8) |
                   (static_cast<std::uint32_t>(read[38]) << 16) | (static_cast<std::uint32_t>(read[39]) << 24);
    out.U32((property & ~7u) | (p.landscape ? 1u : 0u) | ((p.gutterKind & 3u) << 1));
    Bytes data = ToBytes(out.Data());
    if (read.size() > 40)
        data.insert(data.end(), read.begin() + 40, read.end());
    return data;
}

Control ComposeSectionDef(const PageDef& p)
{
    Control control;
    control.code = 2;
    control.ctrlId = kSecd;
    ByteWriter secd;
    secd.U32(kSecd);
    secd.U32(0);        // property
    secd.I16(1134);     // gap between columns on one page: 4 mm
    secd.I16(0);        // vertical grid off
    secd.I16(0);        // horizontal grid off
    secd.U32(8000);     // default tab stop: 80 pt
    secd.U16(0);        // numbering para shape
    secd.U16(0);        // page number: continue
    secd.Zeros(6);      // picture, table, equation numbers: continue
    secd.U16(0);        // language: the application's
    secd.Zeros(6);
    control.records.push_back(ObjectRecord{tag::kCtrlHeader, 0, ToBytes(secd.Data())});
    control.records.push_back(ObjectRecord{tag::kPageDef, 1, WritePageDef(p, {})});

    // Footnote and endnote shapes: numbers "1)", separator line 850/567/283 units apart.
    for (bool footnote : {true, false}) {
        ByteWriter note;
        note.U32(0);
        note.U16(0);
        note.U16(0);
        note.U16(u')');
        note.U16(1);
        note.U32(footnote ? 0xFFFFFFFFu : 0x00E02FF8u);   // separator length
        note.I16(850);
        note.I16(567);
        note.I16(footnote ? 283 : 0);
        note.U8(1);
        note.U8(1);
        note.U32(0);
        control.records.push_back(ObjectRecord{tag::kFootnoteShape, 1, ToBytes(note.Data())});
    }
    // Page border and fill for both, even and odd pages.
    for (int i = 0; i < 3; ++i) {
        ByteWriter border;
        border.U32(1);
        for (int side = 0; side < 4; ++side)
            border.I16(1417);
        border.U16(0);
        control.records.push_back(ObjectRecord{tag::kPageBorderFill, 1, ToBytes(border.Data())});
    }
    return control;
}

// The section definition to write: the one read with the page patched in, or a new one.
Control SectionDefFor(const Section& section)
{
    if (section.sectionDef.records.empty() || section.sectionDef.ctrlId != kSecd)
        return ComposeSectionDef(section.page);
    Control control = section.sectionDef;
    bool patched = false;
    for (ObjectRecord& record : control.records) {
        if (record.tag == tag::kPageDef && record.level == 1 && !patched) {
            record.data = WritePageDef(section.page, record.data);
            patched = true;
        }
    }
    if (!patched)
        control.records.insert(control.records.begin() + 1, ObjectRecord{tag::kPageDef, 1, WritePageDef(section.page, {})});
    return control;
}

}  // namespace

// ---- column definition

// The header: id, property (kind bits 0-1, count 2-9, direction 10-11, equal widths 12),
// gap, then with equal widths a second property word, else each column's width and the
// gap after it as shares; the separator's kind, width and colour.
Columns ReadColumns(const Control& control)
{
    if (control.records.empty())
        throw HwpError("damaged column definition: it has no record");
    ByteReader in(View(control.records.front().data), "column definition");
    in.U32();   // id
    const std::uint16_t property = in.U16();
    Columns columns;
    columns.kind = static_cast<std::uint8_t>(property & 3);
    columns.count = static_cast<std::uint16_t>(std::max(1, (property >> 2) & 0xFF));
    columns.direction = static_cast<std::uint8_t>((property >> 10) & 3);
    columns.sameWidth = (property & 0x1000) != 0;
    columns.otherBits = static_cast<std::uint16_t>(property & 0xE000);
    columns.gap = in.I16();
    // A lone column has one word whatever the flag says, as files hold it.
    const bool same = columns.sameWidth || columns.count == 1;
    if (in.Remaining() < (same ? 2u : 4u * columns.count) + 6)
        return columns;   // an early record: no widths and no line
    if (same) {
        columns.property2 = in.U16();
    } else {
        for (int i = 0; i < 2 * columns.count; ++i)
            columns.shares.push_back(in.U16());
    }
    columns.line.kind = in.U8();
    columns.line.width = in.U8();
    columns.line.color = in.U32();
    const std::string_view rest = in.Take(in.Remaining());
    columns.rest.assign(rest.begin(), rest.end());
    return columns;
}

Bytes WriteColumns(const Columns& columns)
{
    const auto count = static_cast<std::uint16_t>(std::clamp<int>(columns.count, 1, 255));
    const bool widths = !columns.sameWidth && count > 1 && columns.shares.size() == 2u * count;
    const bool same = !widths && (columns.sameWidth || count > 1);
    ByteWriter out;
    out.U32(kCold);
    out.U16(static_cast<std::uint16_t>((columns.kind & 3) | (count << 2) | ((columns.direction & 3) << 10) |
                                       (same ? 0x1000 : 0) | (columns.otherBits & 0xE000)));
    out.I16(static_cast<std::int16_t>(std::clamp<HwpUnit>(columns.gap, 0, 32767)));
    if (!widths) {
        out.U16(columns.property2);
    } else {
        for (std::uint16_t share : columns.shares)
            out.U16(share);
    }
    out.U8(columns.line.kind);
    out.U8(columns.line.width);
    out.U32(columns.line.color);
    out.Raw(columns.rest);
    return ToBytes(out.Data());
}

std::vector<std::pair<HwpUnit, HwpUnit>> ColumnSpans(const Columns& columns, HwpUnit bodyWidth)
{
    const int count = std::clamp<int>(columns.count, 1, 255);
    const std::int64_t body = std::max<HwpUnit>(bodyWidth, 0);
    std::vector<std::pair<HwpUnit, HwpUnit>> spans;
    if (!columns.sameWidth && columns.shares.size() == 2u * count && count > 1) {
        std::int64_t at = 0;
        for (int i = 0; i < count; ++i) {
            const std::int64_t width = body * columns.shares[2 * i] / 32768;
            spans.emplace_back(static_cast<HwpUnit>(at), static_cast<HwpUnit>(width));
            at += width + body * columns.shares[2 * i + 1] / 32768;
        }
    } else {
        const std::int64_t gap = std::max<HwpUnit>(columns.gap, 0);
        const std::int64_t width = std::max<std::int64_t>((body - gap * (count - 1)) / count, 0);
        for (int i = 0; i < count; ++i)
            spans.emplace_back(static_cast<HwpUnit>(i * (width + gap)), static_cast<HwpUnit>(width));
    }
    if (columns.direction == 1) {   // the first column on the right
        for (auto& [left, width] : spans)
            left = static_cast<HwpUnit>(body - left - width);
    }
    return spans;
}

Control ColumnsControl(const Columns& columns)
{
    Control control;
    control.code = 2;
    control.ctrlId = kCold;
    control.records.push_back(ObjectRecord{tag::kCtrlHeader, 0, WriteColumns(columns)});
    return control;
}

Columns ColumnsOf(const Section& section)
{
    const auto count = static_cast<std::uint16_t>(std::clamp<int>(section.columnCount, 1, 255));
    const auto gap = static_cast<std::int16_t>(std::clamp<HwpUnit>(section.columnGap, 0, 32767));
    Columns columns;
    if (!section.columnDef.records.empty() && section.columnDef.ctrlId == kCold) {
        try {
            columns = ReadColumns(section.columnDef);
        } catch (const HwpError&) {
            columns = {};   // unreadable: new columns of equal width
        }
    }
    if (columns.count != count) {   // the widths were for other columns
        columns.shares.clear();
        columns.sameWidth = true;
    }
    columns.count = count;
    columns.gap = gap;
    return columns;
}

namespace {

// The column definition to write: as read while it says what the section says, else
// with the section's count and gap patched in (kind and line stay).
Control ColumnDefFor(const Section& section)
{
    const Columns columns = ColumnsOf(section);
    Control control;
    if (!section.columnDef.records.empty() && section.columnDef.ctrlId == kCold) {
        try {
            const Columns read = ReadColumns(section.columnDef);
            if (read.count == columns.count && read.gap == columns.gap)
                return section.columnDef;
            control = section.columnDef;
        } catch (const HwpError&) {
            // unreadable: written anew below
        }
    }
    control.code = 2;
    control.ctrlId = kCold;
    if (control.records.empty())
        control.records.push_back(ObjectRecord{tag::kCtrlHeader, 0, {}});
    control.records.front().data = WriteColumns(columns);
    return control;
}

}  // namespace

std::uint16_t OutlineNumberingId(const Section& section)
{
    // Header: id, property, column gap, two grids, default tab stop, then the numbering.
    constexpr std::size_t kAt = 18;
    if (section.sectionDef.ctrlId != kSecd || section.sectionDef.records.empty())
        return 0;
    const Bytes& header = section.sectionDef.records.front().data;
    return header.size() >= kAt + 2 ? static_cast<std::uint16_t>(LittleEndianAt(header, kAt, 2)) : 0;
}

Section ReadSection(std::string_view stream, std::size_t index, const Document& document)
{
    const std::string name = "BodyText/Section" + std::to_string(index);
    const std::vector<Record> records = ParseRecords(stream, name.c_str());
    Section section;
    std::size_t i = 0;
    while (i < records.size()) {
        const Record& record = records[i];
        if (record.level != 0 || record.tag != tag::kParaHeader) {
            if (section.paragraphs.empty())
                throw HwpError("damaged " + name + ": it does not start with a paragraph");
            // Section-level records after the paragraphs (memos and the like) stay as read.
            section.trailer.push_back(ObjectRecord{record.tag, record.level, ToBytes(record.data)});
            ++i;
            continue;
        }
        const std::string where = name + " paragraph " + std::to_string(section.paragraphs.size() + 1);
        Paragraph paragraph = ReadParagraph(records, i, where, section.paragraphs.empty() ? &section : nullptr);
        if (paragraph.paraShapeId >= document.paraShapes.size())
            throw HwpError("damaged " + where + ": it refers to para shape " + std::to_string(paragraph.paraShapeId) +
                           " of " + std::to_string(document.paraShapes.size()));
        if (paragraph.styleId >= std::max<std::size_t>(document.styles.size(), 1))
            throw HwpError("damaged " + where + ": it refers to style " + std::to_string(paragraph.styleId) + " of " +
                           std::to_string(document.styles.size()));
        for (const CharShapeRun& run : paragraph.charShapes) {
            if (run.charShapeId >= document.charShapes.size())
                throw HwpError("damaged " + where + ": it refers to char shape " + std::to_string(run.charShapeId) +
                               " of " + std::to_string(document.charShapes.size()));
        }
        for (const Control& control : paragraph.controls)
            CheckControlWhole(control, where, &document);
        section.paragraphs.push_back(std::move(paragraph));
    }
    if (section.paragraphs.empty())
        throw HwpError("damaged " + name + ": it holds no paragraph");
    if (!section.sectionDef.records.empty()) {
        for (const ObjectRecord& child : section.sectionDef.records) {
            if (child.tag == tag::kPageDef && child.level == 1) {
                section.page = ReadPageDef(View(child.data));
                break;
            }
        }
    }
    if (!section.columnDef.records.empty()) {
        const Columns columns = ReadColumns(section.columnDef);
        section.columnCount = columns.count;
        section.columnGap = columns.gap;
    }
    return section;
}

std::string WriteSection(const Section& section, const Document& document, std::uint32_t& fieldIds)
{
    std::string stream;
    Layout layout;
    const PageDef& page = section.page;
    layout.width = std::max<std::int64_t>(std::int64_t{page.width} - page.leftMargin - page.rightMargin - page.gutterMargin, 1000);
    if (section.columnCount > 1)
        layout.width = std::max<std::int64_t>(
            (layout.width - std::int64_t{section.columnGap} * (section.columnCount - 1)) / section.columnCount, 1000);
    layout.pageHeight = std::max<std::int64_t>(
        std::int64_t{page.height} - page.topMargin - page.bottomMargin - page.headerMargin - page.footerMargin, 1000);
    Section head;
    head.sectionDef = SectionDefFor(section);
    head.columnDef = ColumnDefFor(section);
    head.columnDefFirst = section.columnDefFirst && !section.sectionDef.records.empty() && !section.columnDef.records.empty();
    for (std::size_t p = 0; p < section.paragraphs.size(); ++p)
        WriteParagraph(stream, section.paragraphs[p], 0, p + 1 == section.paragraphs.size(), document, layout,
                       p == 0 ? &head : nullptr, fieldIds);
    for (const ObjectRecord& record : section.trailer)
        AppendRecord(stream, record.tag, record.level, View(record.data));
    return stream;
}

}  // namespace hwp
