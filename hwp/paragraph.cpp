#include "hwp/paragraph.h"

#include <algorithm>

#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/objects.h"

namespace hwp {
namespace {

// Control characters in paragraph text (below U+0020).
constexpr char16_t kFieldBegin = 3;
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

std::string IdName(std::uint32_t id)
{
    return "'" + CtrlIdText(id) + "'";
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

}  // namespace

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

std::u16string ReadFieldName(const std::vector<ObjectRecord>& records)
{
    for (const ObjectRecord& record : records) {
        if (record.tag != tag::kCtrlData || record.level != 1)
            continue;
        try {
            ByteReader in(View(record.data), "control data record");
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

namespace {

// A click-here field is modelled; every other control is kept whole.
Field ReadClickHere(const Control& control)
{
    Field field;
    ByteReader in(View(control.records.front().data), "field control");
    in.U32();   // id
    field.editableInForm = in.U32() & 1;
    in.U8();
    field.command = in.Text16();
    field.guide = GuideFromCommand(field.command);
    // A command the writer would compose from the guide says nothing more.
    if (field.command == ComposeClickHereCommand(field.guide))
        field.command.clear();
    field.name = ReadFieldName(control.records);
    return field;
}

struct ParagraphRecords {
    std::string_view header;
    std::string_view text;
    std::string_view charShapes;
    std::string_view lineSegments;
    std::string_view rangeTags;
    std::vector<Control> controls;   // records only; the rest comes from the text
};

// The stored lines, their starts moved from file units to text indexes. Lines that do not
// start in order are a damaged record: the paragraph is then laid out anew.
std::vector<LineSegment> ReadLineSegments(std::string_view data, const std::vector<std::uint32_t>& modelIndex)
{
    std::vector<LineSegment> lines;
    ByteReader in(data, "paragraph line segments");
    while (in.Remaining() >= 36) {
        LineSegment line;
        const std::uint32_t unit = in.U32();
        line.top = in.I32();
        line.height = in.I32();
        line.textHeight = in.I32();
        line.baseline = in.I32();
        line.spacing = in.I32();
        line.columnStart = in.I32();
        line.width = in.I32();
        line.flags = in.U32();
        if (unit >= modelIndex.size() || (lines.empty() && unit != 0))
            return {};
        line.textStart = modelIndex[unit];
        if (!lines.empty() && line.textStart < lines.back().textStart)
            return {};
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

std::vector<Record> RecordViews(const std::vector<ObjectRecord>& records)
{
    std::vector<Record> views;
    views.reserve(records.size());
    for (const ObjectRecord& record : records)
        views.push_back(Record{record.tag, record.level, View(record.data)});
    return views;
}

namespace {

// The paragraph's own records from its header at `i` on; `i` ends past its last.
ParagraphRecords CollectParagraphRecords(const std::vector<Record>& records, std::size_t& i, const std::string& where)
{
    const std::uint16_t level = records[i].level;
    ParagraphRecords parts;
    parts.header = records[i].data;
    ++i;
    while (i < records.size() && records[i].level > level) {
        const Record& child = records[i];
        if (child.level != level + 1) {
            ++i;   // nothing of ours lies deeper without a control above it
            continue;
        }
        switch (child.tag) {
        case tag::kParaText: parts.text = child.data; ++i; break;
        case tag::kParaCharShape: parts.charShapes = child.data; ++i; break;
        case tag::kParaLineSeg: parts.lineSegments = child.data; ++i; break;
        case tag::kParaRangeTag: parts.rangeTags = child.data; ++i; break;
        case tag::kCtrlHeader: {
            if (child.data.size() < 4)
                throw HwpError("damaged " + where + ": a control record is cut off before its id");
            Control control;
            ByteReader in(child.data, "control header");
            control.ctrlId = in.U32();
            const std::uint16_t base = child.level;
            do {
                const Record& record = records[i];
                control.records.push_back(ObjectRecord{record.tag, static_cast<std::uint16_t>(record.level - base),
                                                       ToBytes(record.data)});
                ++i;
            } while (i < records.size() && records[i].level > base);
            parts.controls.push_back(std::move(control));
            break;
        }
        default: ++i; break;
        }
    }
    return parts;
}

// The char shape runs, their positions moved from file units to text indexes
// (`modelIndex`, whose last entry is the text's length).
std::vector<CharShapeRun> ReadCharShapeRuns(std::string_view data, const std::vector<std::uint32_t>& modelIndex)
{
    const std::uint32_t length = modelIndex.back();
    std::vector<CharShapeRun> shapes;
    ByteReader runs(data, "paragraph char shapes");
    while (runs.Remaining() >= 8) {
        const std::uint32_t filePosition = runs.U32();
        const std::uint32_t id = runs.U32();
        std::uint32_t at = filePosition < modelIndex.size() ? modelIndex[filePosition] : length;
        if (shapes.empty())
            at = 0;
        if (!shapes.empty() && at > 0 && at >= length)
            continue;   // a change at the paragraph end affects no text of ours
        if (!shapes.empty() && shapes.back().position >= at)
            shapes.back().charShapeId = id;
        else
            shapes.push_back(CharShapeRun{at, id});
    }
    if (shapes.empty())
        shapes.push_back(CharShapeRun{0, 0});
    return shapes;
}

}  // namespace

Paragraph ReadParagraph(const std::vector<Record>& records, std::size_t& i, const std::string& where, Section* section)
{
    ParagraphRecords parts = CollectParagraphRecords(records, i, where);
    Paragraph paragraph;
    ByteReader header(parts.header, "paragraph header");
    header.U32();   // character count: the text record is what counts
    header.U32();   // control mask
    paragraph.paraShapeId = header.U16();
    paragraph.styleId = header.U8();
    paragraph.breakFlags = header.U8();
    if (section)
        paragraph.breakFlags &= static_cast<std::uint8_t>(~(kBreakSection | kBreakColumns));

    if (parts.text.size() % 2 != 0)
        throw HwpError("damaged " + where + ": its text has an odd number of bytes");
    ByteReader textIn(parts.text, "paragraph text");
    const std::u16string units = textIn.Units(parts.text.size() / 2);

    std::vector<std::uint32_t> modelIndex(units.size() + 1, 0);   // file position -> text index
    std::size_t nextControl = 0;
    struct Open {
        bool kept;           // in paragraph.controls, else in paragraph.fields
        std::size_t index;
    };
    std::vector<Open> openFields;
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
            const std::uint32_t unitsId = static_cast<std::uint32_t>(units[k + 1]) | (static_cast<std::uint32_t>(units[k + 2]) << 16);
            if (c == kTab) {
                paragraph.text += u'\t';
                auto& tab = paragraph.tabs.emplace_back();
                std::copy(units.begin() + static_cast<std::ptrdiff_t>(k + 1), units.begin() + static_cast<std::ptrdiff_t>(k + 7), tab.begin());
            } else if (c == kFieldEnd) {
                if (openFields.empty()) {
                    paragraph.fieldEnds.emplace_back(position(), unitsId);   // of a field begun before
                } else {
                    const Open open = openFields.back();
                    openFields.pop_back();
                    if (open.kept)
                        paragraph.controls[open.index].end = position();
                    else
                        paragraph.fields[open.index].end = position();
                }
            } else if (IsExtendedControl(c)) {
                if (nextControl >= parts.controls.size())
                    throw HwpError("damaged " + where + ": the control " + IdName(unitsId) +
                                   " in its text has no control record");
                Control control = std::move(parts.controls[nextControl++]);
                control.position = control.end = position();
                control.code = c;
                for (int u = 0; u < 4; ++u)
                    control.extraUnits[static_cast<std::size_t>(u)] = units[k + 3 + static_cast<std::size_t>(u)];
                if (section && control.ctrlId == kSecd && section->sectionDef.records.empty()) {
                    section->sectionDef = std::move(control);
                } else if (section && control.ctrlId == kCold && section->columnDef.records.empty()) {
                    section->columnDefFirst = section->sectionDef.records.empty();
                    section->columnDef = std::move(control);
                } else if (control.ctrlId == kClickHere && c == kFieldBegin) {
                    Field field = ReadClickHere(control);
                    field.begin = field.end = position();
                    openFields.push_back(Open{false, paragraph.fields.size()});
                    paragraph.fields.push_back(std::move(field));
                } else {
                    if (c == kFieldBegin)
                        openFields.push_back(Open{true, paragraph.controls.size()});
                    paragraph.controls.push_back(std::move(control));
                }
            }
            k += 8;
        }
        for (std::size_t u = start + 1; u < k; ++u)
            modelIndex[u] = position();
    }
    modelIndex[units.size()] = position();
    if (nextControl < parts.controls.size())
        throw HwpError("damaged " + where + ": the control " + IdName(parts.controls[nextControl].ctrlId) +
                       " has no character in its text");
    // A kept field the paragraph does not close ends in a later one; a click-here field
    // ends with the paragraph.
    for (const Open& open : openFields) {
        if (open.kept)
            paragraph.controls[open.index].end = kEndsInLaterParagraph;
        else
            paragraph.fields[open.index].end = position();
    }

    paragraph.charShapes = ReadCharShapeRuns(parts.charShapes, modelIndex);
    paragraph.lineLayout.segments = ReadLineSegments(parts.lineSegments, modelIndex);
    paragraph.rangeTags = ToBytes(parts.rangeTags.substr(0, parts.rangeTags.size() / 12 * 12));
    // Tabs that say nothing are what the writer writes for tabs without their own.
    if (std::all_of(paragraph.tabs.begin(), paragraph.tabs.end(), [](const auto& tab) {
            return std::all_of(tab.begin(), tab.end(), [](char16_t unit) { return unit == 0; });
        }))
        paragraph.tabs.clear();
    return paragraph;
}

// ---- writing

namespace {

// What the encoded text holds, in order, besides characters: each needs its records.
struct Item {
    enum Kind { kKept, kClick, kSection } kind;
    const Control* control;   // kKept, kSection
    const Field* field;       // kClick
};

// An object laid out as a character takes its own width and height in its line.
struct InlineObject {
    std::size_t unit = 0;   // where its character starts in the units
    std::int64_t width = 0;
    std::int64_t height = 0;
};

struct Encoded {
    std::u16string units;
    std::vector<std::uint32_t> filePosition;   // text index -> file position
    std::uint32_t controlMask = 0;
    std::vector<Item> items;
    std::vector<InlineObject> inlineObjects;   // in unit order
};

void AppendControl(Encoded& out, char16_t c, std::uint32_t id, const std::array<char16_t, 4>& extra = {})
{
    out.units += c;
    out.units += static_cast<char16_t>(id & 0xFFFF);
    out.units += static_cast<char16_t>(id >> 16);
    out.units.append(extra.begin(), extra.end());
    out.units += c;
    out.controlMask |= 1u << c;
}

// A section's own definitions have no place elsewhere: the writer composes them for
// the section, so a control that claims to be one is written as what it is anyway.
Encoded EncodeText(const Paragraph& paragraph, const Section* section)
{
    Encoded out;
    if (section) {
        const Control* first = section->columnDefFirst ? &section->columnDef : &section->sectionDef;
        const Control* second = section->columnDefFirst ? &section->sectionDef : &section->columnDef;
        for (const Control* control : {first, second}) {
            AppendControl(out, control->code, control->ctrlId, control->extraUnits);
            out.items.push_back(Item{Item::kSection, control, nullptr});
        }
    }
    const std::size_t size = paragraph.text.size();
    std::size_t nextControl = 0;
    std::size_t nextField = 0;
    struct Open {
        std::uint32_t end;
        std::uint32_t id;
    };
    std::vector<Open> open;
    auto closeAt = [&](std::size_t i) {
        while (!open.empty() && open.back().end <= i) {
            AppendControl(out, kFieldEnd, open.back().id);
            open.pop_back();
        }
    };
    std::size_t nextEnd = 0;
    // Tabs as read while the paragraph has as many; else tabs the reader measures itself.
    const bool tabsAsRead = static_cast<std::size_t>(std::count(paragraph.text.begin(), paragraph.text.end(), u'\t')) ==
                            paragraph.tabs.size();
    std::size_t nextTab = 0;
    out.filePosition.resize(size + 1);
    for (std::size_t i = 0; i <= size; ++i) {
        out.filePosition[i] = static_cast<std::uint32_t>(out.units.size());
        for (; nextEnd < paragraph.fieldEnds.size() && paragraph.fieldEnds[nextEnd].first == i; ++nextEnd)
            AppendControl(out, kFieldEnd, paragraph.fieldEnds[nextEnd].second);
        closeAt(i);
        for (; nextControl < paragraph.controls.size() && paragraph.controls[nextControl].position == i; ++nextControl) {
            const Control& control = paragraph.controls[nextControl];
            if (const auto placement = ControlPlacement(control); placement && placement->inlineAsChar)
                out.inlineObjects.push_back(InlineObject{out.units.size(), std::clamp<std::int64_t>(placement->width, 0, 0x3FFFFFFF),
                                                         std::clamp<std::int64_t>(placement->height, 0, 0x3FFFFFFF)});
            AppendControl(out, control.code, control.ctrlId, control.extraUnits);
            out.items.push_back(Item{Item::kKept, &control, nullptr});
            if (control.code == kFieldBegin) {
                // A field's end carries its id without the leading '%'.
                open.push_back(Open{control.end, control.ctrlId & 0x00FFFFFF});
                closeAt(i);
            }
        }
        for (; nextField < paragraph.fields.size() && paragraph.fields[nextField].begin == i; ++nextField) {
            AppendControl(out, kFieldBegin, kClickHere);
            out.items.push_back(Item{Item::kClick, nullptr, &paragraph.fields[nextField]});
            open.push_back(Open{paragraph.fields[nextField].end, kClickHere & 0x00FFFFFF});
            closeAt(i);
        }
        if (i == size)
            break;
        const char16_t c = paragraph.text[i];
        switch (c) {
        case u'\t':
            if (tabsAsRead) {
                const auto& tab = paragraph.tabs[nextTab++];
                AppendControl(out, kTab, static_cast<std::uint32_t>(tab[0]) | static_cast<std::uint32_t>(tab[1]) << 16,
                              {tab[2], tab[3], tab[4], tab[5]});
            } else {
                AppendControl(out, kTab, 0);
            }
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
    // What is still open ends in a later paragraph.
    while (!open.empty() && open.back().end != kEndsInLaterParagraph) {
        AppendControl(out, kFieldEnd, open.back().id);
        open.pop_back();
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

void WriteClickHere(std::string& stream, const Field& field, std::uint16_t level, std::uint32_t id)
{
    ByteWriter header;
    header.U32(field.editableInForm ? 1u : 0u);
    header.U8(0);
    header.Text16(field.command.empty() ? ComposeClickHereCommand(field.guide) : field.command);
    header.U32(id);
    header.U32(0);
    WriteCtrlHeader(stream, kClickHere, level, header.Data());
    if (!field.name.empty()) {
        ByteWriter data;
        data.U16(0x021B);   // parameter set of a field
        data.I16(1);
        data.U16(0x4000);   // item: the name
        data.U16(1);        // text
        data.Text16(field.name);
        AppendRecord(stream, tag::kCtrlData, static_cast<std::uint16_t>(level + 1), data.Data());
    }
}

void WriteKept(std::string& stream, const Control& control, std::uint16_t level)
{
    for (const ObjectRecord& record : control.records) {
        if (level + record.level > 0x3FF)
            throw HwpError("invalid document: an object is nested too deep to be written");
        AppendRecord(stream, record.tag, static_cast<std::uint16_t>(level + record.level), View(record.data));
    }
}

std::int32_t Clamp32(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, 0x3FFFFFFF));
}

// Approximate line breaking so every paragraph has line segments other readers can use
// until they lay the text out themselves: full-width letters take the font size,
// others half of it. Arithmetic is 64-bit on clamped values: a document read from a
// damaged file may hold any sizes.
// The lines the paragraph was read with, when they still fit its text.
bool StoredLinesFit(const Paragraph& paragraph)
{
    const auto& lines = paragraph.lineLayout.segments;
    if (lines.empty() || lines.front().textStart != 0)
        return false;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        if (lines[k].textStart < lines[k - 1].textStart || lines[k].textStart > paragraph.text.size())
            return false;
    }
    return true;
}

std::size_t WriteStoredLines(std::string& stream, std::uint16_t level, const Encoded& text, const Paragraph& paragraph,
                             Layout& layout)
{
    ByteWriter out;
    for (const LineSegment& line : paragraph.lineLayout.segments) {
        // The first line holds whatever the paragraph starts with, its section's controls too.
        out.U32(out.Data().empty() ? 0u : static_cast<std::uint32_t>(text.filePosition[line.textStart]));
        out.I32(line.top);
        out.I32(line.height);
        out.I32(line.textHeight);
        out.I32(line.baseline);
        out.I32(line.spacing);
        out.I32(line.columnStart);
        out.I32(line.width);
        out.U32(line.flags);
    }
    const LineSegment& last = paragraph.lineLayout.segments.back();
    layout.vertical = std::clamp<std::int64_t>(std::int64_t{last.top} + last.height + last.spacing, 0, 0x3FFFFFFF);
    AppendRecord(stream, tag::kParaLineSeg, level, out.Data());
    return paragraph.lineLayout.segments.size();
}

std::size_t WriteLineSegments(std::string& stream, std::uint16_t level, const Encoded& text, const Paragraph& paragraph,
                              const Document& document, Layout& layout)
{
    if (StoredLinesFit(paragraph))
        return WriteStoredLines(stream, level, text, paragraph, layout);
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
    std::vector<std::int64_t> heights{size};   // per line: the text's, or a taller object's
    std::int64_t used = 0;
    std::size_t nextObject = 0;
    auto place = [&](std::size_t k, std::int64_t advance, std::int64_t height) {
        if (used + advance > width && used > 0) {
            starts.push_back(static_cast<std::uint32_t>(k));
            heights.push_back(size);
            used = 0;
        }
        used += advance;
        heights.back() = std::max(heights.back(), height);
    };
    for (std::size_t k = 0; k < text.units.size(); ++k) {
        const char16_t c = text.units[k];
        if (c < 0x20) {
            if (!IsCharControl(c)) {
                if (nextObject < text.inlineObjects.size() && text.inlineObjects[nextObject].unit == k) {
                    place(k, text.inlineObjects[nextObject].width, text.inlineObjects[nextObject].height);
                    ++nextObject;
                }
                k += 7;
            } else if (c == kLineBreak && k + 1 < text.units.size() - 1) {
                starts.push_back(static_cast<std::uint32_t>(k + 1));
                heights.push_back(size);
                used = 0;
            }
            continue;
        }
        place(k, c >= 0x1100 ? size : size / 2, size);
    }
    if (paragraph.breakFlags & kBreakPage)
        layout.vertical = 0;
    layout.vertical += std::clamp<std::int64_t>(para.spacingBefore, 0, 0x3FFFFFFF);
    ByteWriter out;
    for (std::size_t line = 0; line < starts.size(); ++line) {
        const std::int64_t height = heights[line];
        if (layout.vertical + height > layout.pageHeight && layout.vertical > 0)
            layout.vertical = 0;
        out.U32(starts[line]);
        out.I32(Clamp32(layout.vertical));
        out.I32(Clamp32(height));                        // line height
        out.I32(Clamp32(height));                        // text height
        out.I32(Clamp32(height - size + size * 85 / 100));   // baseline: objects stand on it
        out.I32(Clamp32(gap));
        out.I32(0);                                      // column start
        out.I32(Clamp32(width));
        out.U32(0x00060000);                             // first and last segment of its line
        layout.vertical += height + gap;
    }
    layout.vertical += std::clamp<std::int64_t>(para.spacingAfter, 0, 0x3FFFFFFF);
    AppendRecord(stream, tag::kParaLineSeg, level, out.Data());
    return starts.size();
}

}  // namespace

void WriteParagraph(std::string& stream, const Paragraph& paragraph, std::uint16_t level, bool last,
                    const Document& document, Layout& layout, const Section* section, std::uint32_t& fieldIds)
{
    if (paragraph.paraShapeId >= document.paraShapes.size() || paragraph.charShapes.empty() ||
        paragraph.charShapes.front().charShapeId >= document.charShapes.size())
        throw HwpError("invalid document: a paragraph refers to a shape the document does not have");
    const Encoded text = EncodeText(paragraph, section);
    const auto child = static_cast<std::uint16_t>(level + 1);

    ByteWriter header;
    header.U32(static_cast<std::uint32_t>(text.units.size()) | (last ? 0x80000000u : 0u));
    header.U32(text.controlMask);
    header.U16(paragraph.paraShapeId);
    header.U8(paragraph.styleId);
    header.U8(static_cast<std::uint8_t>(paragraph.breakFlags | (section ? kBreakSection | kBreakColumns : 0)));
    header.U16(static_cast<std::uint16_t>(paragraph.charShapes.size()));
    header.U16(static_cast<std::uint16_t>(std::min<std::size_t>(paragraph.rangeTags.size() / 12, 0xFFFF)));
    header.U16(1);   // line segments: replaced below
    header.U32(0);   // instance id
    if (document.version.Number() >= 0x05000302)
        header.U16(0);   // change tracking merge
    std::string records;
    if (text.units.size() > 1) {
        ByteWriter units;
        units.Units(text.units);
        AppendRecord(records, tag::kParaText, child, units.Data());
    }
    ByteWriter runs;
    for (const CharShapeRun& run : paragraph.charShapes) {
        runs.U32(text.filePosition[std::min<std::size_t>(run.position, paragraph.text.size())]);
        runs.U32(run.charShapeId);
    }
    AppendRecord(records, tag::kParaCharShape, child, runs.Data());
    std::string lines;
    const std::size_t segments = WriteLineSegments(lines, child, text, paragraph, document, layout);
    header.Data()[16] = static_cast<char>(segments & 0xFF);
    header.Data()[17] = static_cast<char>((segments >> 8) & 0xFF);
    records += lines;
    if (!paragraph.rangeTags.empty())
        AppendRecord(records, tag::kParaRangeTag, child, std::string(View(paragraph.rangeTags)).substr(0, 0xFFFF * 12));
    for (const Item& item : text.items) {
        if (item.kind == Item::kClick)
            WriteClickHere(records, *item.field, child, ++fieldIds);
        else
            WriteKept(records, *item.control, child);
    }
    AppendRecord(stream, tag::kParaHeader, level, header.Data());
    stream += records;
}

}  // namespace hwp
