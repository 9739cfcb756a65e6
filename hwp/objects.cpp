#include "hwp/objects.h"

#include <algorithm>
#include <map>

#include "hwp/bin_data.h"
#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/kept_xml.h"
#include "hwp/numbering.h"
#include "hwp/paragraph.h"
#include "hwp/paragraph_list.h"
#include "hwp/records.h"
#include "hwp/shape.h"

namespace hwp {
namespace {

std::uint32_t HeaderId(const Control& control)
{
    return control.records.empty() || control.records.front().data.size() < 4 ? 0 : LittleEndianAt(control.records.front().data, 0, 4);
}

}  // namespace

std::optional<ObjectPlacement> ControlPlacement(const Control& control)
{
    if (control.ctrlId != kTable && control.ctrlId != kDrawing && control.ctrlId != kEquation)
        return std::nullopt;
    if (control.records.empty() || control.records.front().data.size() < 24)
        return std::nullopt;
    const Bytes& data = control.records.front().data;
    ObjectPlacement placement;
    placement.inlineAsChar = LittleEndianAt(data, 4, 4) & 1;
    placement.verticalOffset = static_cast<HwpUnit>(LittleEndianAt(data, 8, 4));
    placement.horizontalOffset = static_cast<HwpUnit>(LittleEndianAt(data, 12, 4));
    placement.width = static_cast<HwpUnit>(LittleEndianAt(data, 16, 4));
    placement.height = static_cast<HwpUnit>(LittleEndianAt(data, 20, 4));
    return placement;
}

std::u16string DescribeControl(const Control& control)
{
    const std::uint32_t id = control.ctrlId;
    switch (id) {
    case kTable: return u"표";
    case kEquation: return u"수식";
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
    case kDrawing: {
        // The kind of drawing object is the id at the start of its first shape record.
        for (const ObjectRecord& record : control.records) {
            if (record.tag != tag::kShapeComponent || record.data.size() < 4)
                continue;
            switch (LittleEndianAt(record.data, 0, 4)) {
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
    case kKeptXmlCtrlId:
        if (const std::optional<KeptXml> kept = ReadKeptXml(control))
            return DescribeKeptXml(*kept);
        break;
    default: break;
    }
    if ((id >> 24) == '%')
        return u"필드";
    std::u16string out = u"컨트롤 ";
    for (char c : CtrlIdText(id))
        out += static_cast<char16_t>(c);
    return out;
}

std::u16string ControlText(const Control& control)
{
    std::vector<ParagraphList> lists;
    try {
        lists = ReadParagraphLists(control.records);
    } catch (const HwpError&) {
        return {};   // the reader refuses such objects; one built elsewhere shows no text
    }
    std::u16string out;
    auto add = [&out](const std::u16string& text) {
        if (text.empty())
            return;
        if (!out.empty())
            out += u'\n';
        out += text;
    };
    for (const ParagraphList& list : lists) {
        for (const Paragraph& paragraph : list.paragraphs) {
            add(paragraph.text);
            for (const Control& nested : paragraph.controls)
                add(ControlText(nested));
        }
    }
    return out;
}

// ---- moving an object to another document

namespace {

// What an id in a kept object becomes; each kind as it is by default.
struct IdMap {
    virtual ~IdMap() = default;
    virtual std::uint16_t ParaShape(std::uint16_t id) { return id; }
    virtual std::uint8_t Style(std::uint8_t id) { return id; }
    virtual std::uint32_t CharShape(std::uint32_t id) { return id; }
    virtual std::uint16_t BorderFill1(std::uint16_t oneBased) { return oneBased; }
    virtual std::uint16_t BinData1(std::uint16_t oneBased) { return oneBased; }
};

class Importer : public IdMap {
public:
    Importer(const Document& from, Document& to) : m_from(from), m_to(to) {}

    Control Import(const Control& control);
    std::uint16_t HeadId(HeadKind kind, std::uint16_t id);

private:
    [[noreturn]] static void Missing(const std::string& what, std::size_t id)
    {
        throw HwpError("the object refers to " + what + " " + std::to_string(id) + ", which its document does not have");
    }

    // The same entry at the same index keeps its id; else the first equal one; else a new one.
    template <typename T>
    static std::size_t FindOrAppend(std::vector<T>& table, std::size_t preferred, const T& value)
    {
        if (preferred < table.size() && table[preferred] == value)
            return preferred;
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (table[i] == value)
                return i;
        }
        table.push_back(value);
        return table.size() - 1;
    }

    std::uint16_t Face(int lang, std::uint16_t id);
    std::uint16_t BorderFill1(std::uint16_t oneBased) override;
    std::uint16_t BinData1(std::uint16_t oneBased) override;
    std::uint32_t CharShape(std::uint32_t id) override;
    std::uint16_t ParaShape(std::uint16_t id) override;
    std::uint8_t Style(std::uint8_t id) override;
    std::uint16_t Raw(const std::vector<RawRecord>& from, std::vector<RawRecord>& to, std::size_t id, const char* what);
    // A numbering's or bullet's record with the char shapes its heads print in (and a
    // picture bullet's bin data) found or added in `to`.
    RawRecord Heads(const RawRecord& record, bool bullet);

    const Document& m_from;
    Document& m_to;
    std::map<std::pair<int, std::uint16_t>, std::uint16_t> m_faces;
    std::map<std::uint16_t, std::uint16_t> m_borderFills, m_binData, m_paraShapes, m_tabDefs, m_numberings, m_bullets;
    std::map<std::uint32_t, std::uint32_t> m_charShapes;
    std::map<std::uint8_t, std::uint8_t> m_styles;
};

std::uint16_t Importer::Face(int lang, std::uint16_t id)
{
    const auto key = std::make_pair(lang, id);
    if (const auto found = m_faces.find(key); found != m_faces.end())
        return found->second;
    const auto& from = m_from.faces[static_cast<std::size_t>(lang)];
    if (id >= from.size())
        Missing("face", id);
    const FaceName face = from[id];
    const auto to = static_cast<std::uint16_t>(FindOrAppend(m_to.faces[static_cast<std::size_t>(lang)], id, face));
    return m_faces[key] = to;
}

// Where the picture of an image fill names its bin data, in a fill description
// starting at `at`; 0 when it has none or the description cannot be followed.
std::size_t ImageFillBinOffset(const Bytes& data, std::size_t at)
{
    if (at + 4 > data.size())
        return 0;
    const std::uint32_t kind = LittleEndianAt(data, at, 4);
    std::size_t i = at + 4;
    if (kind & 1)
        i += 12;   // solid: background, pattern colour, pattern
    if (kind & 4) {   // gradation: kind, angle, centre x and y, blur, colour count, positions, colours
        if (i + 21 > data.size())
            return 0;
        const std::size_t colours = LittleEndianAt(data, i + 17, 4);
        if (colours > 256)
            return 0;
        i += 21 + (colours > 2 ? 4 * colours : 0) + 4 * colours;
    }
    if (!(kind & 2))
        return 0;
    // image: fill mode, then brightness, contrast, effect and the bin data id
    i += 1 + 3;
    return i + 2 <= data.size() ? i : 0;
}

// Every id the records hold, through `map`.
void MapIds(std::vector<ObjectRecord>& records, IdMap& map)
{
    // Per level: the control whose records these are, and whether its table record came.
    std::vector<std::uint32_t> owner(1024, 0);
    std::vector<bool> tableSeen(1024, false);
    for (ObjectRecord& record : records) {
        Bytes& data = record.data;
        const std::size_t level = record.level;
        if (level >= 1023)
            continue;
        switch (record.tag) {
        case tag::kCtrlHeader:
            owner[level] = data.size() >= 4 ? LittleEndianAt(data, 0, 4) : 0;
            tableSeen[level + 1] = false;
            break;
        case tag::kParaHeader:
            if (data.size() >= 11) {
                PutLittleEndianAt(data, 8, 2, map.ParaShape(static_cast<std::uint16_t>(LittleEndianAt(data, 8, 2))));
                data[10] = map.Style(data[10]);
            }
            break;
        case tag::kParaCharShape:
            for (std::size_t at = 0; at + 8 <= data.size(); at += 8)
                PutLittleEndianAt(data, at + 4, 4, map.CharShape(LittleEndianAt(data, at + 4, 4)));
            break;
        case tag::kTable: {
            tableSeen[level] = true;
            if (data.size() < 8)
                break;
            const std::size_t rows = LittleEndianAt(data, 4, 2);
            std::size_t at = 18 + 2 * rows;
            if (at + 2 > data.size())
                break;
            PutLittleEndianAt(data, at, 2, map.BorderFill1(static_cast<std::uint16_t>(LittleEndianAt(data, at, 2))));
            at += 2;
            if (at + 2 > data.size())
                break;
            const std::size_t zones = LittleEndianAt(data, at, 2);
            at += 2;
            for (std::size_t z = 0; z < zones && at + 10 <= data.size(); ++z, at += 10)
                PutLittleEndianAt(data, at + 8, 2, map.BorderFill1(static_cast<std::uint16_t>(LittleEndianAt(data, at + 8, 2))));
            break;
        }
        case tag::kListHeader:
            // A cell: its border fill follows its address, span, size and margins.
            if (level >= 1 && owner[level - 1] == kTable && tableSeen[level] && data.size() >= 34)
                PutLittleEndianAt(data, 32, 2, map.BorderFill1(static_cast<std::uint16_t>(LittleEndianAt(data, 32, 2))));
            break;
        case tag::kPageBorderFill:
            // a section definition's: property and four margins, then the border fill
            if (data.size() >= 14)
                PutLittleEndianAt(data, 12, 2, map.BorderFill1(static_cast<std::uint16_t>(LittleEndianAt(data, 12, 2))));
            break;
        case tag::kShapePicture:
            // border colour, width and kind, four corners, crop, inner margins, then
            // brightness, contrast, effect and the bin data id
            if (data.size() >= 73)
                PutLittleEndianAt(data, 71, 2, map.BinData1(static_cast<std::uint16_t>(LittleEndianAt(data, 71, 2))));
            break;
        case tag::kShapeComponent: {
            // Drawn shapes may be filled with a picture: after the id (twice at the top),
            // placement, the render matrices and the line comes the fill.
            const std::size_t line = ShapeLineInfoAt(data, level == 1);
            if (line == 0)
                break;
            const std::size_t fill = line + 13;
            if (fill + 4 <= data.size() && LittleEndianAt(data, fill, 4) <= 7) {
                if (const std::size_t bin = ImageFillBinOffset(data, fill))
                    PutLittleEndianAt(data, bin, 2, map.BinData1(static_cast<std::uint16_t>(LittleEndianAt(data, bin, 2))));
            }
            break;
        }
        case tag::kShapeOle:
            if (data.size() >= 14)
                PutLittleEndianAt(data, 12, 2, map.BinData1(static_cast<std::uint16_t>(LittleEndianAt(data, 12, 2))));
            break;
        default: break;
        }
    }
}


std::uint16_t Importer::BorderFill1(std::uint16_t oneBased)
{
    if (oneBased == 0)
        return 0;
    if (const auto found = m_borderFills.find(oneBased); found != m_borderFills.end())
        return found->second;
    if (oneBased > m_from.borderFills.size())
        Missing("border fill", oneBased);
    BorderFill fill = m_from.borderFills[oneBased - 1u];
    // lines: property, four sides and the diagonal of kind, width and colour each
    if (const std::size_t bin = ImageFillBinOffset(fill.data, 2 + 5 * 6))
        PutLittleEndianAt(fill.data, bin, 2, BinData1(static_cast<std::uint16_t>(LittleEndianAt(fill.data, bin, 2))));
    const auto to = static_cast<std::uint16_t>(FindOrAppend(m_to.borderFills, oneBased - 1u, fill) + 1);
    return m_borderFills[oneBased] = to;
}

std::uint16_t Importer::BinData1(std::uint16_t oneBased)
{
    if (oneBased == 0)
        return 0;
    if (const auto found = m_binData.find(oneBased); found != m_binData.end())
        return found->second;
    if (oneBased > m_from.binData.size())
        Missing("bin data", oneBased);
    BinDataItem item = m_from.binData[oneBased - 1u];
    std::size_t index = oneBased - 1u;
    if (!(index < m_to.binData.size() && m_to.binData[index] == item)) {
        index = m_to.binData.size();
        // The same picture under any stream id is the same item.
        for (std::size_t i = 0; i < m_to.binData.size(); ++i) {
            if (WithStreamId(m_to.binData[i], StreamIdOf(item)) == item) {
                index = i;
                break;
            }
        }
        if (index == m_to.binData.size()) {
            std::uint16_t id = 0;
            for (const BinDataItem& other : m_to.binData)
                id = std::max(id, StreamIdOf(other));
            if (id == 0xFFFF || m_to.binData.size() >= 0xFFFF)
                throw HwpError("the document holds as many bin data items as it can");
            m_to.binData.push_back(KindOf(item) == BinDataKind::Link ? item : WithStreamId(item, static_cast<std::uint16_t>(id + 1)));
        }
    }
    return m_binData[oneBased] = static_cast<std::uint16_t>(index + 1);
}

std::uint32_t Importer::CharShape(std::uint32_t id)
{
    if (const auto found = m_charShapes.find(id); found != m_charShapes.end())
        return found->second;
    if (id >= m_from.charShapes.size())
        Missing("char shape", id);
    hwp::CharShape shape = m_from.charShapes[id];
    for (int lang = 0; lang < kLangCount; ++lang)
        shape.faceIds[static_cast<std::size_t>(lang)] = Face(lang, shape.faceIds[static_cast<std::size_t>(lang)]);
    shape.borderFillId = BorderFill1(shape.borderFillId);
    const auto to = static_cast<std::uint32_t>(FindOrAppend(m_to.charShapes, id, shape));
    return m_charShapes[id] = to;
}

std::uint16_t Importer::Raw(const std::vector<RawRecord>& from, std::vector<RawRecord>& to, std::size_t id, const char* what)
{
    if (id >= from.size())
        Missing(what, id);
    const RawRecord record = from[id];
    return static_cast<std::uint16_t>(FindOrAppend(to, id, record));
}

std::uint16_t Importer::HeadId(HeadKind kind, std::uint16_t id)
{
    // Numbering and bullet ids count from 1; which table by the head kind. Outline
    // paragraphs name no numbering of their own.
    if (id == 0 || (kind != HeadKind::Number && kind != HeadKind::Bullet))
        return id;
    const bool bullet = kind == HeadKind::Bullet;
    auto& memo = bullet ? m_bullets : m_numberings;
    if (!memo.count(id)) {
        const auto& from = bullet ? m_from.bullets : m_from.numberings;
        if (id > from.size())
            Missing(bullet ? "bullet" : "numbering", id);
        auto& to = bullet ? m_to.bullets : m_to.numberings;
        memo[id] = static_cast<std::uint16_t>(1 + FindOrAppend(to, id - 1u, Heads(from[id - 1u], bullet)));
    }
    return memo[id];
}

RawRecord Importer::Heads(const RawRecord& record, bool bullet)
{
    const auto charShape = [this](std::uint32_t id) { return id == kOwnCharShape ? id : CharShape(id); };
    try {
        if (bullet) {
            Bullet read = ReadBullet(record);
            read.head.charShapeId = charShape(read.head.charShapeId);
            if (read.hasPicture && read.picture.binItemId > 0 && read.picture.binItemId <= 0xFFFF)
                read.picture.binItemId = BinData1(static_cast<std::uint16_t>(read.picture.binItemId));
            return WriteBullet(read);
        }
        Numbering read = ReadNumbering(record);
        for (NumberingLevel& level : read.levels)
            level.head.charShapeId = charShape(level.head.charShapeId);
        return WriteNumbering(read);
    } catch (const HwpError&) {
        return record;   // what cannot be followed goes as it is
    }
}

std::uint16_t Importer::ParaShape(std::uint16_t id)
{
    if (const auto found = m_paraShapes.find(id); found != m_paraShapes.end())
        return found->second;
    if (id >= m_from.paraShapes.size())
        Missing("para shape", id);
    hwp::ParaShape shape = m_from.paraShapes[id];
    if (!m_from.tabDefs.empty()) {
        const std::uint16_t tab = shape.tabDefId;
        if (!m_tabDefs.count(tab))
            m_tabDefs[tab] = Raw(m_from.tabDefs, m_to.tabDefs, tab, "tab definition");
        shape.tabDefId = m_tabDefs[tab];
    }
    shape.numberingId = HeadId(shape.headKind, shape.numberingId);
    shape.borderFillId = BorderFill1(shape.borderFillId);
    const auto to = static_cast<std::uint16_t>(FindOrAppend(m_to.paraShapes, id, shape));
    return m_paraShapes[id] = to;
}

std::uint8_t Importer::Style(std::uint8_t id)
{
    if (const auto found = m_styles.find(id); found != m_styles.end())
        return found->second;
    if (id >= m_from.styles.size())
        Missing("style", id);
    hwp::Style style = m_from.styles[id];
    style.paraShapeId = ParaShape(style.paraShapeId);
    style.charShapeId = static_cast<std::uint16_t>(CharShape(style.charShapeId));
    // The next style is found by name (importing it would pull in a chain of styles);
    // without one of that name the style is its own next.
    constexpr std::size_t kSelf = SIZE_MAX;
    std::size_t next = kSelf;
    if (style.nextStyleId != id && style.nextStyleId < m_from.styles.size()) {
        const std::u16string& name = m_from.styles[style.nextStyleId].name;
        for (std::size_t i = 0; i < m_to.styles.size() && next == kSelf; ++i) {
            if (m_to.styles[i].name == name)
                next = i;
        }
    }
    auto matches = [&](std::size_t i) {
        hwp::Style probe = style;
        probe.nextStyleId = static_cast<std::uint8_t>(next == kSelf ? i : next);
        return m_to.styles[i] == probe;
    };
    std::size_t to = kSelf;
    if (id < m_to.styles.size() && matches(id))
        to = id;
    for (std::size_t i = 0; i < m_to.styles.size() && to == kSelf; ++i) {
        if (matches(i))
            to = i;
    }
    if (to == kSelf) {
        to = m_to.styles.size();
        if (to > 0xFF)
            throw HwpError("the document holds as many styles as it can");
        style.nextStyleId = static_cast<std::uint8_t>(next == kSelf ? to : next);
        m_to.styles.push_back(style);
    }
    return m_styles[id] = static_cast<std::uint8_t>(to);
}

Control Importer::Import(const Control& control)
{
    Control copy = control;
    MapIds(copy.records, *this);
    return copy;
}

}  // namespace

Control ImportControl(const Document& from, const Control& control, Document& to)
{
    if (control.records.empty() || HeaderId(control) != control.ctrlId)
        throw HwpError("the object has no control header of its own");
    // Importing only appends: a failure takes back what it added.
    PerLang<std::size_t> faces{};
    for (int lang = 0; lang < kLangCount; ++lang)
        faces[static_cast<std::size_t>(lang)] = to.faces[static_cast<std::size_t>(lang)].size();
    const std::size_t sizes[] = {to.borderFills.size(), to.charShapes.size(), to.tabDefs.size(), to.numberings.size(),
                                 to.bullets.size(), to.paraShapes.size(), to.styles.size(), to.binData.size()};
    try {
        Importer importer(from, to);
        return importer.Import(control);
    } catch (...) {
        for (int lang = 0; lang < kLangCount; ++lang)
            to.faces[static_cast<std::size_t>(lang)].resize(faces[static_cast<std::size_t>(lang)]);
        to.borderFills.resize(sizes[0]);
        to.charShapes.resize(sizes[1]);
        to.tabDefs.resize(sizes[2]);
        to.numberings.resize(sizes[3]);
        to.bullets.resize(sizes[4]);
        to.paraShapes.resize(sizes[5]);
        to.styles.resize(sizes[6]);
        to.binData.resize(sizes[7]);
        throw;
    }
}

std::uint16_t ImportHead(const Document& from, HeadKind kind, std::uint16_t id, Document& to)
{
    const std::size_t sizes[] = {to.borderFills.size(), to.charShapes.size(), to.numberings.size(), to.bullets.size(),
                                 to.binData.size()};
    PerLang<std::size_t> faces{};
    for (int lang = 0; lang < kLangCount; ++lang)
        faces[static_cast<std::size_t>(lang)] = to.faces[static_cast<std::size_t>(lang)].size();
    try {
        Importer importer(from, to);
        return importer.HeadId(kind, id);
    } catch (const HwpError&) {
        for (int lang = 0; lang < kLangCount; ++lang)
            to.faces[static_cast<std::size_t>(lang)].resize(faces[static_cast<std::size_t>(lang)]);
        to.borderFills.resize(sizes[0]);
        to.charShapes.resize(sizes[1]);
        to.numberings.resize(sizes[2]);
        to.bullets.resize(sizes[3]);
        to.binData.resize(sizes[4]);
        return 0;
    }
}

namespace {

struct BinDataUse : IdMap {
    std::vector<bool> used;
    std::uint16_t BinData1(std::uint16_t oneBased) override
    {
        if (oneBased > 0 && oneBased <= used.size())
            used[oneBased - 1u] = true;
        return oneBased;
    }
};

struct BinDataRenumber : IdMap {
    std::vector<std::uint16_t> to;
    std::uint16_t BinData1(std::uint16_t oneBased) override
    {
        return oneBased > 0 && oneBased <= to.size() ? to[oneBased - 1u] : oneBased;
    }
};

// Every record list of the document that may refer to bin data, and its border fills.
void MapDocument(Document& document, IdMap& map)
{
    for (Section& section : document.sections) {
        MapIds(section.sectionDef.records, map);
        MapIds(section.columnDef.records, map);
        MapIds(section.trailer, map);
        for (Paragraph& paragraph : section.paragraphs) {
            for (Control& control : paragraph.controls)
                MapIds(control.records, map);
        }
    }
    for (BorderFill& fill : document.borderFills) {
        if (const std::size_t bin = ImageFillBinOffset(fill.data, 2 + 5 * 6))
            PutLittleEndianAt(fill.data, bin, 2, map.BinData1(static_cast<std::uint16_t>(LittleEndianAt(fill.data, bin, 2))));
    }
}

}  // namespace

std::size_t DropUnusedBinData(Document& document)
{
    BinDataUse use;
    use.used.assign(document.binData.size(), false);
    MapDocument(document, use);
    const auto removed = static_cast<std::size_t>(std::count(use.used.begin(), use.used.end(), false));
    if (removed == 0)
        return 0;
    BinDataRenumber renumber;
    std::vector<BinDataItem> kept;
    for (std::size_t i = 0; i < document.binData.size(); ++i) {
        if (use.used[i])
            kept.push_back(std::move(document.binData[i]));
        renumber.to.push_back(static_cast<std::uint16_t>(use.used[i] ? kept.size() : 0));
    }
    document.binData = std::move(kept);
    MapDocument(document, renumber);
    return removed;
}

}  // namespace hwp
