#include "hwp/section.h"

#include <algorithm>
#include <map>

#include "hwp/bytes.h"
#include "hwp/records.h"

namespace hwp {
namespace {

constexpr std::uint32_t kSecd = CtrlId('s', 'e', 'c', 'd');
constexpr std::uint32_t kCold = CtrlId('c', 'o', 'l', 'd');
constexpr std::uint32_t kClickHere = CtrlId('%', 'c', 'l', 'k');

// Control characters in paragraph text (below U+0020).
constexpr char16_t kFieldEnd = 4;
constexpr char16_t kTab = 9;
constexpr char16_t kLineBreak = 10;
constexpr char16_t kParaBreak = 13;
constexpr char16_t kHyphen = 24;
constexpr char16_t kBoundSpace = 30;
constexpr char16_t kFixedSpace = 31;

// Character controls take one unit; inline and extended ones take eight.
bool IsCharControl(char16_t c)
{
    return c == 0 || c == kLineBreak || c == kParaBreak || (c >= 24 && c <= 31);
}

bool IsExtendedControl(char16_t c)
{
    return c == 1 || c == 2 || c == 3 || c == 11 || c == 12 || (c >= 14 && c <= 18) || (c >= 21 && c <= 23);
}

// The word processor stores click-here parameters in the field's command text.
std::u16string ComposeClickHereCommand(const std::u16string& guide)
{
    auto number = [](std::size_t n) {
        std::u16string out;
        for (char c : std::to_string(n))
            out += static_cast<char16_t>(c);
        return out;
    };
    const std::u16string inner = u"Direction:wstring:" + number(guide.size()) + u":" + guide + u" HelpState:wstring:0: ";
    return u"Clickhere:set:" + number(inner.size()) + u":" + inner;
}

std::u16string GuideFromCommand(const std::u16string& command)
{
    static const std::u16string key = u"Direction:wstring:";
    const std::size_t at = command.find(key);
    if (at == std::u16string::npos)
        return {};
    std::size_t i = at + key.size();
    std::size_t length = 0;
    while (i < command.size() && command[i] >= u'0' && command[i] <= u'9' && length < 100000)
        length = length * 10 + static_cast<std::size_t>(command[i++] - u'0');
    if (i >= command.size() || command[i] != u':')
        return {};
    ++i;
    return command.substr(i, std::min(length, command.size() - i));
}

std::u16string DescribeControl(std::uint32_t id, const std::vector<Record>& children)
{
    switch (id) {
    case CtrlId('t', 'b', 'l', ' '): return u"표";
    case CtrlId('e', 'q', 'e', 'd'): return u"수식";
    case CtrlId('h', 'e', 'a', 'd'): return u"머리말";
    case CtrlId('f', 'o', 'o', 't'): return u"꼬리말";
    case CtrlId('f', 'n', ' ', ' '): return u"각주";
    case CtrlId('e', 'n', ' ', ' '): return u"미주";
    case CtrlId('a', 't', 'n', 'o'): return u"자동 번호";
    case CtrlId('n', 'w', 'n', 'o'): return u"새 번호";
    case CtrlId('p', 'g', 'h', 'd'): return u"감추기";
    case CtrlId('p', 'g', 'c', 't'): return u"홀짝 조정";
    case CtrlId('p', 'g', 'n', 'p'): return u"쪽 번호 위치";
    case CtrlId('i', 'd', 'x', 'm'): return u"찾아보기 표식";
    case CtrlId('b', 'o', 'k', 'm'): return u"책갈피";
    case CtrlId('t', 'c', 'p', 's'): return u"글자 겹침";
    case CtrlId('t', 'd', 'u', 't'): return u"덧말";
    case CtrlId('t', 'c', 'm', 't'): return u"숨은 설명";
    case CtrlId('f', 'o', 'r', 'm'): return u"양식 개체";
    case kCold: return u"단 정의";
    case kSecd: return u"구역 정의";
    case CtrlId('%', 'h', 'l', 'k'): return u"하이퍼링크";
    case CtrlId('g', 's', 'o', ' '): {
        // The kind of drawing object is the id at the start of its first shape record.
        for (const Record& child : children) {
            if (child.tag != tag::kBegin + 60 || child.data.size() < 4)
                continue;
            ByteReader in(child.data, "shape record");
            switch (in.U32()) {
            case CtrlId('$', 'p', 'i', 'c'): return u"그림";
            case CtrlId('$', 'r', 'e', 'c'): return u"사각형";
            case CtrlId('$', 'l', 'i', 'n'): return u"선";
            case CtrlId('$', 'e', 'l', 'l'): return u"타원";
            case CtrlId('$', 'a', 'r', 'c'): return u"호";
            case CtrlId('$', 'p', 'o', 'l'): return u"다각형";
            case CtrlId('$', 'c', 'u', 'r'): return u"곡선";
            case CtrlId('$', 'c', 'o', 'n'): return u"묶음 개체";
            case CtrlId('$', 'o', 'l', 'e'): return u"OLE 개체";
            default: break;
            }
            break;
        }
        return u"그리기 개체";
    }
    default: break;
    }
    if ((id >> 24) == '%')
        return u"필드";
    std::u16string out = u"컨트롤 ";
    for (char c : CtrlIdText(id))
        out += static_cast<char16_t>(c);
    return out;
}

struct Control {
    std::uint32_t id = 0;
    std::string_view header;        // CTRL_HEADER data after the id
    std::vector<Record> children;   // its records one level and more below
};

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

// The field's name is kept as the first text item of its parameter set.
std::u16string ReadFieldName(const std::vector<Record>& children)
{
    for (const Record& child : children) {
        if (child.tag != tag::kCtrlData)
            continue;
        try {
            ByteReader in(child.data, "control data record");
            in.U16();   // set id
            const int count = in.I16();
            for (int i = 0; i < count; ++i) {
                const std::uint16_t id = in.U16();
                const std::uint16_t type = in.U16();
                if (type != 1)
                    return {};
                std::u16string text = in.Text16();
                if (id == 0x4000)
                    return text;
            }
        } catch (const HwpError&) {
            return {};   // a name we cannot read is a field without a name, not a broken file
        }
    }
    return {};
}

struct ParagraphRecords {
    std::string_view header;
    std::string_view text;
    std::string_view charShapes;
    std::vector<Control> controls;
};

Paragraph ReadParagraph(const ParagraphRecords& records, bool first, Section& section, const std::string& where)
{
    Paragraph paragraph;
    ByteReader header(records.header, "paragraph header");
    header.U32();   // character count: the text record is what counts
    header.U32();   // control mask
    paragraph.paraShapeId = header.U16();
    paragraph.styleId = header.U8();
    paragraph.breakFlags = header.U8();
    if (first)
        paragraph.breakFlags &= static_cast<std::uint8_t>(~(kBreakSection | kBreakColumns));

    if (records.text.size() % 2 != 0)
        throw HwpError("damaged " + where + ": its text has an odd number of bytes");
    ByteReader textIn(records.text, "paragraph text");
    const std::u16string units = textIn.Units(records.text.size() / 2);

    std::vector<std::uint32_t> modelIndex(units.size() + 1, 0);   // file position -> text index
    std::size_t nextControl = 0;
    std::vector<std::size_t> openFields;   // index into paragraph.fields, or SIZE_MAX for other fields
    bool sawSectionDef = false;
    bool sawColumnDef = false;
    std::size_t k = 0;
    auto position = [&paragraph] { return static_cast<std::uint32_t>(paragraph.text.size()); };
    while (k < units.size()) {
        const char16_t c = units[k];
        const std::size_t start = k;
        modelIndex[start] = position();
        if (c >= 0x20) {
            paragraph.text += c;
            k += 1;
        } else if (IsCharControl(c)) {
            switch (c) {
            case kLineBreak: paragraph.text += u'\n'; break;
            case kHyphen: paragraph.text += u'\u00AD'; break;
            case kBoundSpace: paragraph.text += u'\u00A0'; break;
            case kFixedSpace: paragraph.text += u'\u2007'; break;
            default: break;
            }
            k += 1;
        } else {
            if (k + 8 > units.size())
                throw HwpError("damaged " + where + ": a control character is cut off at the end of the text");
            if (c == kTab) {
                paragraph.text += u'\t';
            } else if (c == kFieldEnd) {
                if (!openFields.empty()) {
                    const std::size_t field = openFields.back();
                    openFields.pop_back();
                    if (field != SIZE_MAX)
                        paragraph.fields[field].end = position();
                }
            } else if (IsExtendedControl(c)) {
                if (nextControl >= records.controls.size())
                    throw HwpError("damaged " + where + ": its text holds more controls than it has control records");
                const Control& control = records.controls[nextControl++];
                if (control.id == kSecd && first && !sawSectionDef) {
                    sawSectionDef = true;
                    for (const Record& child : control.children) {
                        if (child.tag == tag::kPageDef) {
                            section.page = ReadPageDef(child.data);
                            break;
                        }
                    }
                } else if (control.id == kCold && first && !sawColumnDef) {
                    sawColumnDef = true;
                    ByteReader in(control.header, "column definition");
                    const std::uint16_t property = in.U16();
                    section.columnCount = static_cast<std::uint16_t>(std::max(1, (property >> 2) & 0xFF));
                    section.columnGap = in.I16();
                } else if (control.id == kClickHere) {
                    Field field;
                    field.begin = field.end = position();
                    ByteReader in(control.header, "field control");
                    field.editableInForm = in.U32() & 1;
                    in.U8();
                    field.command = in.Text16();
                    field.guide = GuideFromCommand(field.command);
                    // A command the writer would compose from the guide says nothing more.
                    if (field.command == ComposeClickHereCommand(field.guide))
                        field.command.clear();
                    field.name = ReadFieldName(control.children);
                    openFields.push_back(paragraph.fields.size());
                    paragraph.fields.push_back(std::move(field));
                } else {
                    if ((control.id >> 24) == '%')
                        openFields.push_back(SIZE_MAX);
                    paragraph.placeholders.push_back(Placeholder{position(), control.id, DescribeControl(control.id, control.children)});
                }
            }
            k += 8;
        }
        for (std::size_t i = start + 1; i < k; ++i)
            modelIndex[i] = position();
    }
    modelIndex[units.size()] = position();

    ByteReader runs(records.charShapes, "paragraph char shapes");
    while (runs.Remaining() >= 8) {
        const std::uint32_t filePosition = runs.U32();
        const std::uint32_t id = runs.U32();
        std::uint32_t at = filePosition < modelIndex.size() ? modelIndex[filePosition] : position();
        if (paragraph.charShapes.empty())
            at = 0;
        if (!paragraph.charShapes.empty() && at > 0 && at >= position())
            continue;   // a change at the paragraph end affects no text of ours
        if (!paragraph.charShapes.empty() && paragraph.charShapes.back().position >= at)
            paragraph.charShapes.back().charShapeId = id;
        else
            paragraph.charShapes.push_back(CharShapeRun{at, id});
    }
    if (paragraph.charShapes.empty())
        paragraph.charShapes.push_back(CharShapeRun{0, 0});
    return paragraph;
}

// ---- writing

struct Encoded {
    std::u16string units;
    std::vector<std::uint32_t> filePosition;   // text index -> file position
    std::uint32_t controlMask = 0;
};

void AppendControl(Encoded& out, char16_t c, std::uint32_t id)
{
    out.units += c;
    out.units += static_cast<char16_t>(id & 0xFFFF);
    out.units += static_cast<char16_t>(id >> 16);
    out.units.append(4, u'\0');
    out.units += c;
    out.controlMask |= 1u << c;
}

Encoded EncodeText(const Paragraph& paragraph, bool first)
{
    Encoded out;
    if (first) {
        AppendControl(out, 2, kSecd);
        AppendControl(out, 2, kCold);
    }
    const std::size_t size = paragraph.text.size();
    std::size_t nextPlaceholder = 0;
    std::size_t nextField = 0;
    std::size_t openField = SIZE_MAX;
    out.filePosition.resize(size + 1);
    for (std::size_t i = 0; i <= size; ++i) {
        out.filePosition[i] = static_cast<std::uint32_t>(out.units.size());
        if (openField != SIZE_MAX && paragraph.fields[openField].end == i) {
            AppendControl(out, kFieldEnd, kClickHere & 0x00FFFFFF);
            openField = SIZE_MAX;
        }
        for (; nextPlaceholder < paragraph.placeholders.size() && paragraph.placeholders[nextPlaceholder].position == i; ++nextPlaceholder)
            out.units += u'[' + paragraph.placeholders[nextPlaceholder].what + u']';
        for (; nextField < paragraph.fields.size() && paragraph.fields[nextField].begin == i; ++nextField) {
            AppendControl(out, 3, kClickHere);
            if (paragraph.fields[nextField].end == i)
                AppendControl(out, kFieldEnd, kClickHere & 0x00FFFFFF);
            else
                openField = nextField;
        }
        if (i == size)
            break;
        const char16_t c = paragraph.text[i];
        switch (c) {
        case u'\t':
            AppendControl(out, kTab, 0);
            break;
        case u'\n':
            out.units += kLineBreak;
            out.controlMask |= 1u << kLineBreak;
            break;
        case u'\u00AD':
            out.units += kHyphen;
            break;
        case u'\u00A0':
            out.units += kBoundSpace;
            break;
        case u'\u2007':
            out.units += kFixedSpace;
            break;
        default:
            // Other control characters have no place in a paragraph: they become spaces.
            out.units += c < 0x20 ? u' ' : c;
            break;
        }
    }
    out.units += kParaBreak;
    return out;
}

void WriteCtrlHeader(std::string& stream, std::uint32_t id, std::uint16_t level, const std::string& rest)
{
    ByteWriter out;
    out.U32(id);
    out.Raw(rest);
    AppendRecord(stream, tag::kCtrlHeader, level, out.Data());
}

void WriteSectionControls(std::string& stream, const Section& section)
{
    ByteWriter secd;
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
    WriteCtrlHeader(stream, kSecd, 1, secd.Data());

    ByteWriter page;
    const PageDef& p = section.page;
    for (HwpUnit value : {p.width, p.height, p.leftMargin, p.rightMargin, p.topMargin, p.bottomMargin, p.headerMargin,
                          p.footerMargin, p.gutterMargin})
        page.I32(value);
    page.U32((p.landscape ? 1u : 0u) | ((p.gutterKind & 3u) << 1));
    AppendRecord(stream, tag::kPageDef, 2, page.Data());

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
        AppendRecord(stream, tag::kFootnoteShape, 2, note.Data());
    }
    // Page border and fill for both, even and odd pages.
    for (int i = 0; i < 3; ++i) {
        ByteWriter border;
        border.U32(1);
        for (int side = 0; side < 4; ++side)
            border.I16(1417);
        border.U16(0);
        AppendRecord(stream, tag::kPageBorderFill, 2, border.Data());
    }

    ByteWriter cold;
    const auto columns = static_cast<std::uint16_t>(std::clamp<int>(section.columnCount, 1, 255));
    cold.U16(static_cast<std::uint16_t>((columns << 2) | (1u << 12)));   // normal columns of equal width
    cold.I16(static_cast<std::int16_t>(std::clamp<HwpUnit>(section.columnGap, 0, 32767)));
    cold.U16(0);
    cold.U8(0);
    cold.U8(0);
    cold.U32(0);
    WriteCtrlHeader(stream, kCold, 1, cold.Data());
}

void WriteClickHere(std::string& stream, const Field& field, std::uint32_t id)
{
    ByteWriter header;
    header.U32(field.editableInForm ? 1u : 0u);
    header.U8(0);
    header.Text16(field.command.empty() ? ComposeClickHereCommand(field.guide) : field.command);
    header.U32(id);
    header.U32(0);
    WriteCtrlHeader(stream, kClickHere, 1, header.Data());
    if (!field.name.empty()) {
        ByteWriter data;
        data.U16(0x021B);   // parameter set of a field
        data.I16(1);
        data.U16(0x4000);   // item: the name
        data.U16(1);        // text
        data.Text16(field.name);
        AppendRecord(stream, tag::kCtrlData, 2, data.Data());
    }
}

// Approximate line breaking so every paragraph has line segments other readers can use
// until they lay the text out themselves: full-width letters take the font size,
// others half of it. Arithmetic is 64-bit on clamped values: a document read from a
// damaged file may hold any sizes.
struct Layout {
    std::int64_t width = 0;
    std::int64_t pageHeight = 0;
    std::int64_t vertical = 0;
};

std::int32_t Clamp32(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, 0x3FFFFFFF));
}

std::size_t WriteLineSegments(std::string& stream, const Encoded& text, const Paragraph& paragraph, const Document& document,
                              Layout& layout)
{
    const CharShape& shape = document.charShapes[paragraph.charShapes.front().charShapeId];
    const ParaShape& para = document.paraShapes[paragraph.paraShapeId];
    const std::int64_t size = std::clamp<std::int64_t>(shape.size, 100, 409600);   // 1 pt to 4096 pt
    const std::int64_t spacing = std::clamp<std::int64_t>(para.lineSpacing, 0, 1000000);
    std::int64_t gap = 0;
    switch (para.lineSpacingKind) {
    case LineSpacingKind::Percent: gap = size * (spacing - 100) / 100; break;
    case LineSpacingKind::Fixed: gap = spacing - size; break;
    case LineSpacingKind::BetweenLines: gap = spacing; break;
    case LineSpacingKind::AtLeast: gap = spacing - size; break;
    }
    gap = std::max<std::int64_t>(gap, 0);
    const std::int64_t width = std::max<std::int64_t>(
        layout.width - std::max<std::int64_t>(para.leftMargin, 0) - std::max<std::int64_t>(para.rightMargin, 0), size);

    std::vector<std::uint32_t> starts{0};
    std::int64_t used = 0;
    for (std::size_t k = 0; k < text.units.size(); ++k) {
        const char16_t c = text.units[k];
        if (c < 0x20) {
            if (!IsCharControl(c))
                k += 7;
            else if (c == kLineBreak && k + 1 < text.units.size() - 1) {
                starts.push_back(static_cast<std::uint32_t>(k + 1));
                used = 0;
            }
            continue;
        }
        const std::int64_t advance = c >= 0x1100 ? size : size / 2;
        if (used + advance > width && used > 0) {
            starts.push_back(static_cast<std::uint32_t>(k));
            used = 0;
        }
        used += advance;
    }
    if (paragraph.breakFlags & kBreakPage)
        layout.vertical = 0;
    layout.vertical += std::clamp<std::int64_t>(para.spacingBefore, 0, 0x3FFFFFFF);
    ByteWriter out;
    for (std::uint32_t start : starts) {
        if (layout.vertical + size > layout.pageHeight && layout.vertical > 0)
            layout.vertical = 0;
        out.U32(start);
        out.I32(Clamp32(layout.vertical));
        out.I32(Clamp32(size));            // line height
        out.I32(Clamp32(size));            // text height
        out.I32(Clamp32(size * 85 / 100)); // baseline
        out.I32(Clamp32(gap));
        out.I32(0);                        // column start
        out.I32(Clamp32(width));
        out.U32(0x00060000);               // first and last segment of its line
        layout.vertical += size + gap;
    }
    layout.vertical += std::clamp<std::int64_t>(para.spacingAfter, 0, 0x3FFFFFFF);
    AppendRecord(stream, tag::kParaLineSeg, 1, out.Data());
    return starts.size();
}

}  // namespace

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
            ++i;   // section-level records after the paragraphs (memos, master pages)
            continue;
        }
        ParagraphRecords parts;
        parts.header = record.data;
        ++i;
        while (i < records.size() && records[i].level > 0) {
            const Record& child = records[i];
            if (child.level != 1) {
                ++i;
                continue;
            }
            switch (child.tag) {
            case tag::kParaText: parts.text = child.data; ++i; break;
            case tag::kParaCharShape: parts.charShapes = child.data; ++i; break;
            case tag::kCtrlHeader: {
                Control control;
                ByteReader in(child.data, "control header");
                control.id = in.U32();
                control.header = child.data.substr(4);
                ++i;
                while (i < records.size() && records[i].level > 1)
                    control.children.push_back(records[i++]);
                parts.controls.push_back(std::move(control));
                break;
            }
            default: ++i; break;
            }
        }
        const std::string where = name + " paragraph " + std::to_string(section.paragraphs.size() + 1);
        Paragraph paragraph = ReadParagraph(parts, section.paragraphs.empty(), section, where);
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
        section.paragraphs.push_back(std::move(paragraph));
    }
    if (section.paragraphs.empty())
        throw HwpError("damaged " + name + ": it holds no paragraph");
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
    for (std::size_t p = 0; p < section.paragraphs.size(); ++p) {
        const Paragraph& paragraph = section.paragraphs[p];
        const bool first = p == 0;
        const bool last = p + 1 == section.paragraphs.size();
        const Encoded text = EncodeText(paragraph, first);

        ByteWriter header;
        header.U32(static_cast<std::uint32_t>(text.units.size()) | (last ? 0x80000000u : 0u));
        header.U32(text.controlMask);
        header.U16(paragraph.paraShapeId);
        header.U8(paragraph.styleId);
        header.U8(static_cast<std::uint8_t>(paragraph.breakFlags | (first ? kBreakSection | kBreakColumns : 0)));
        header.U16(static_cast<std::uint16_t>(paragraph.charShapes.size()));
        header.U16(0);   // range tags
        header.U16(1);   // line segments: replaced below
        header.U32(0);   // instance id
        std::string records;
        if (text.units.size() > 1) {
            ByteWriter units;
            units.Units(text.units);
            AppendRecord(records, tag::kParaText, 1, units.Data());
        }
        ByteWriter runs;
        for (const CharShapeRun& run : paragraph.charShapes) {
            runs.U32(text.filePosition[std::min<std::size_t>(run.position, paragraph.text.size())]);
            runs.U32(run.charShapeId);
        }
        AppendRecord(records, tag::kParaCharShape, 1, runs.Data());
        std::string lines;
        const std::size_t segments = WriteLineSegments(lines, text, paragraph, document, layout);
        header.Data()[16] = static_cast<char>(segments & 0xFF);
        header.Data()[17] = static_cast<char>((segments >> 8) & 0xFF);
        records += lines;
        if (first)
            WriteSectionControls(records, section);
        for (const Field& field : paragraph.fields)
            WriteClickHere(records, field, ++fieldIds);
        AppendRecord(stream, tag::kParaHeader, 0, header.Data());
        stream += records;
    }
    return stream;
}

}  // namespace hwp
