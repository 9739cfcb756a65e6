#include "hwp/docinfo.h"

#include <algorithm>
#include <array>

#include "hwp/bin_data.h"
#include "hwp/bytes.h"
#include "hwp/records.h"

namespace hwp {
namespace {

// ---- face names

constexpr std::uint8_t kFaceHasSubstitute = 0x80;
constexpr std::uint8_t kFaceHasTypeInfo = 0x40;
constexpr std::uint8_t kFaceHasDefault = 0x20;

FaceName ReadFaceName(std::string_view data)
{
    ByteReader in(data, "face name record");
    FaceName face;
    const std::uint8_t property = in.U8();
    face.otherProperties = property & static_cast<std::uint8_t>(~(kFaceHasSubstitute | kFaceHasTypeInfo | kFaceHasDefault));
    face.name = in.Text16();
    if (property & kFaceHasSubstitute) {
        face.substituteKind = in.U8();
        face.substituteName = in.Text16();
    }
    if (property & kFaceHasTypeInfo)
        face.typeInfo = ToBytes(in.Take(10));
    if (property & kFaceHasDefault)
        face.defaultName = in.Text16();
    return face;
}

void WriteFaceName(ByteWriter& out, const FaceName& face)
{
    std::uint8_t property = face.otherProperties & static_cast<std::uint8_t>(~(kFaceHasSubstitute | kFaceHasTypeInfo | kFaceHasDefault));
    const bool substitute = !face.substituteName.empty();
    const bool typeInfo = face.typeInfo.size() == 10;
    const bool base = !face.defaultName.empty();
    if (substitute)
        property |= kFaceHasSubstitute;
    if (typeInfo)
        property |= kFaceHasTypeInfo;
    if (base)
        property |= kFaceHasDefault;
    out.U8(property);
    out.Text16(face.name);
    if (substitute) {
        out.U8(face.substituteKind);
        out.Text16(face.substituteName);
    }
    if (typeInfo)
        out.Raw(face.typeInfo);
    if (base)
        out.Text16(face.defaultName);
}

// ---- char shapes

constexpr std::uint32_t kCharItalic = 1u << 0;
constexpr std::uint32_t kCharBold = 1u << 1;
constexpr std::uint32_t kCharUnderlineKind = 3u << 2;
constexpr std::uint32_t kCharUnderlineShape = 0xFu << 4;
constexpr std::uint32_t kCharSuperscript = 1u << 15;
constexpr std::uint32_t kCharSubscript = 1u << 16;
constexpr std::uint32_t kCharStrikeOut = 7u << 18;
constexpr std::uint32_t kCharStrikeOutShape = 0xFu << 26;
constexpr std::uint32_t kCharNamed = kCharItalic | kCharBold | kCharUnderlineKind | kCharUnderlineShape | kCharSuperscript |
                                     kCharSubscript | kCharStrikeOut | kCharStrikeOutShape;

CharShape ReadCharShape(std::string_view data)
{
    ByteReader in(data, "char shape record");
    CharShape shape;
    for (auto& id : shape.faceIds)
        id = in.U16();
    for (auto& ratio : shape.ratios)
        ratio = in.U8();
    for (auto& spacing : shape.spacings)
        spacing = in.I8();
    for (auto& size : shape.relativeSizes)
        size = in.U8();
    for (auto& offset : shape.offsets)
        offset = in.I8();
    shape.size = in.I32();
    const std::uint32_t property = in.U32();
    shape.italic = property & kCharItalic;
    shape.bold = property & kCharBold;
    const std::uint32_t underline = (property & kCharUnderlineKind) >> 2;
    shape.underline = underline == 1 ? UnderlineKind::Below : underline == 2 ? UnderlineKind::Above : UnderlineKind::None;
    shape.underlineShape = static_cast<std::uint8_t>((property & kCharUnderlineShape) >> 4);
    shape.superscript = property & kCharSuperscript;
    shape.subscript = property & kCharSubscript;
    shape.strikeOut = (property & kCharStrikeOut) != 0;
    shape.strikeOutShape = static_cast<std::uint8_t>((property & kCharStrikeOutShape) >> 26);
    shape.otherProperties = property & ~kCharNamed;
    shape.shadowOffsetX = in.I8();
    shape.shadowOffsetY = in.I8();
    shape.textColor = in.U32();
    shape.underlineColor = in.U32();
    shape.shadeColor = in.U32();
    shape.shadowColor = in.U32();
    // Older versions end here; 5.0.2.1 added the border fill, 5.0.3.0 the strike-out colour.
    if (in.Remaining() >= 2)
        shape.borderFillId = in.U16();
    if (in.Remaining() >= 4)
        shape.strikeOutColor = in.U32();
    return shape;
}

void WriteCharShape(ByteWriter& out, const CharShape& shape, std::uint32_t version)
{
    for (auto id : shape.faceIds)
        out.U16(id);
    for (auto ratio : shape.ratios)
        out.U8(ratio);
    for (auto spacing : shape.spacings)
        out.I8(spacing);
    for (auto size : shape.relativeSizes)
        out.U8(size);
    for (auto offset : shape.offsets)
        out.I8(offset);
    out.I32(shape.size);
    std::uint32_t property = shape.otherProperties & ~kCharNamed;
    if (shape.italic)
        property |= kCharItalic;
    if (shape.bold)
        property |= kCharBold;
    property |= (static_cast<std::uint32_t>(shape.underline) & 3u) << 2;
    property |= (static_cast<std::uint32_t>(shape.underlineShape) & 0xFu) << 4;
    if (shape.superscript)
        property |= kCharSuperscript;
    if (shape.subscript)
        property |= kCharSubscript;
    if (shape.strikeOut)
        property |= 1u << 18;
    property |= (static_cast<std::uint32_t>(shape.strikeOutShape) & 0xFu) << 26;
    out.U32(property);
    out.I8(shape.shadowOffsetX);
    out.I8(shape.shadowOffsetY);
    out.U32(shape.textColor);
    out.U32(shape.underlineColor);
    out.U32(shape.shadeColor);
    out.U32(shape.shadowColor);
    if (version >= 0x05000201)
        out.U16(shape.borderFillId);
    if (version >= 0x05000300)
        out.U32(shape.strikeOutColor);
}

// ---- para shapes

constexpr std::uint32_t kParaOldLineSpacing = 3u;
constexpr std::uint32_t kParaAlignment = 7u << 2;
constexpr std::uint32_t kParaLineSpacingKind = 0x1Fu;
constexpr std::uint32_t kParaHeadKind = 3u << 23;
constexpr std::uint32_t kParaHeadLevel = 7u << 25;
constexpr std::uint32_t kParaNamed1 = kParaOldLineSpacing | kParaAlignment | kParaHeadKind | kParaHeadLevel;

ParaShape ReadParaShape(std::string_view data)
{
    ByteReader in(data, "para shape record");
    ParaShape shape;
    const std::uint32_t property1 = in.U32();
    const std::uint32_t alignment = (property1 & kParaAlignment) >> 2;
    shape.alignment = static_cast<Alignment>(alignment <= 5 ? alignment : 0);
    shape.headKind = static_cast<HeadKind>((property1 & kParaHeadKind) >> 23);
    shape.headLevel = static_cast<std::uint8_t>((property1 & kParaHeadLevel) >> 25);
    shape.otherProperties1 = property1 & ~kParaNamed1;
    // The file holds margins, indent and paragraph spacing at twice their size in HwpUnit.
    shape.leftMargin = in.I32() / 2;
    shape.rightMargin = in.I32() / 2;
    shape.indent = in.I32() / 2;
    shape.spacingBefore = in.I32() / 2;
    shape.spacingAfter = in.I32() / 2;
    const std::int32_t oldLineSpacing = in.I32();
    shape.tabDefId = in.U16();
    shape.numberingId = in.U16();
    shape.borderFillId = in.U16();
    for (auto& offset : shape.borderOffsets)
        offset = in.I16();
    if (in.Remaining() >= 4)
        shape.properties2 = in.U32();
    // 5.0.2.5 moved the line spacing to the end and added "at least".
    if (in.Remaining() >= 8) {
        const std::uint32_t property3 = in.U32();
        const std::uint32_t kind = property3 & kParaLineSpacingKind;
        shape.lineSpacingKind = static_cast<LineSpacingKind>(kind <= 3 ? kind : 0);
        shape.otherProperties3 = property3 & ~kParaLineSpacingKind;
        shape.lineSpacing = in.I32();
    } else {
        shape.lineSpacingKind = static_cast<LineSpacingKind>(property1 & kParaOldLineSpacing);
        if (shape.lineSpacingKind == LineSpacingKind::AtLeast)
            shape.lineSpacingKind = LineSpacingKind::Percent;
        shape.lineSpacing = oldLineSpacing;
    }
    return shape;
}

void WriteParaShape(ByteWriter& out, const ParaShape& shape, std::uint32_t version)
{
    const auto kind = static_cast<std::uint32_t>(shape.lineSpacingKind);
    // Readers of the old field know no "at least": they get "fixed" instead.
    const std::uint32_t oldKind = kind == 3 ? 1 : kind;
    out.U32((shape.otherProperties1 & ~kParaNamed1) | ((static_cast<std::uint32_t>(shape.alignment) << 2) & kParaAlignment) |
            ((static_cast<std::uint32_t>(shape.headKind) << 23) & kParaHeadKind) |
            ((static_cast<std::uint32_t>(shape.headLevel) << 25) & kParaHeadLevel) | oldKind);
    for (std::int32_t value : {shape.leftMargin, shape.rightMargin, shape.indent, shape.spacingBefore, shape.spacingAfter})
        out.I32(std::clamp(value, -0x3FFFFFFF, 0x3FFFFFFF) * 2);
    out.I32(shape.lineSpacing);
    out.U16(shape.tabDefId);
    out.U16(shape.numberingId);
    out.U16(shape.borderFillId);
    for (auto offset : shape.borderOffsets)
        out.I16(offset);
    if (version >= 0x05000107)
        out.U32(shape.properties2);
    if (version >= 0x05000205) {
        out.U32((shape.otherProperties3 & ~kParaLineSpacingKind) | kind);
        out.I32(shape.lineSpacing);
    }
}

// ---- styles

Style ReadStyle(std::string_view data)
{
    ByteReader in(data, "style record");
    Style style;
    style.name = in.Text16();
    style.englishName = in.Text16();
    style.kind = (in.U8() & 7) == 1 ? StyleKind::Character : StyleKind::Paragraph;
    style.nextStyleId = in.U8();
    style.langId = in.I16();
    style.paraShapeId = in.U16();
    style.charShapeId = in.U16();
    return style;
}

void WriteStyle(ByteWriter& out, const Style& style)
{
    out.Text16(style.name);
    out.Text16(style.englishName);
    out.U8(static_cast<std::uint8_t>(style.kind));
    out.U8(style.nextStyleId);
    out.I16(style.langId);
    out.U16(style.paraShapeId);
    out.U16(style.charShapeId);
    out.U16(0);   // form-lock flag the word processor writes after the ids
}

// ---- document properties and id mappings

std::size_t ReadDocumentProperties(std::string_view data, StartNumbers& numbers)
{
    ByteReader in(data, "document properties record");
    const std::size_t sections = in.U16();
    in.U16();   // which start numbers apply
    numbers.page = in.U16();
    numbers.footnote = in.U16();
    numbers.endnote = in.U16();
    numbers.picture = in.U16();
    numbers.table = in.U16();
    numbers.equation = in.U16();
    return sections;
}

void WriteDocumentProperties(ByteWriter& out, std::size_t sections, const StartNumbers& numbers)
{
    out.U16(static_cast<std::uint16_t>(sections));
    out.U16(0);
    out.U16(numbers.page);
    out.U16(numbers.footnote);
    out.U16(numbers.endnote);
    out.U16(numbers.picture);
    out.U16(numbers.table);
    out.U16(numbers.equation);
    out.U32(0);   // caret: list id
    out.U32(0);   // caret: paragraph id
    out.U32(0);   // caret: character position
}

enum Mapping {
    kMapBinData = 0,
    kMapFirstFace = 1,   // seven entries, one per language group
    kMapBorderFill = 8,
    kMapCharShape = 9,
    kMapTabDef = 10,
    kMapNumbering = 11,
    kMapBullet = 12,
    kMapParaShape = 13,
    kMapStyle = 14,
    kMapMemoShape = 15,
    kMapCount = 16,
};

[[noreturn]] void Damaged(const std::string& message)
{
    throw HwpError("damaged DocInfo: " + message);
}

}  // namespace

std::size_t ReadDocInfo(std::string_view stream, Document& document, const BinDataStreams& streams)
{
    const std::vector<Record> records = ParseRecords(stream, "DocInfo");
    std::size_t sections = 0;
    bool haveProperties = false;
    bool haveMappings = false;
    std::array<std::int64_t, kMapCount> counts{};
    std::size_t faceRecords = 0;
    for (const Record& record : records) {
        switch (record.tag) {
        case tag::kDocumentProperties:
            sections = ReadDocumentProperties(record.data, document.startNumbers);
            haveProperties = true;
            break;
        case tag::kIdMappings: {
            ByteReader in(record.data, "id mappings record");
            for (int i = 0; i < kMapCount && in.Remaining() >= 4; ++i) {
                counts[static_cast<std::size_t>(i)] = in.I32();
                if (counts[static_cast<std::size_t>(i)] < 0)
                    Damaged("a negative count in the id mappings");
            }
            haveMappings = true;
            break;
        }
        case tag::kFaceName: {
            if (!haveMappings)
                Damaged("face names come before the id mappings");
            // Face names come grouped by language, as many of each as the mappings say.
            std::size_t index = faceRecords++;
            int lang = 0;
            while (lang < kLangCount && index >= static_cast<std::size_t>(counts[static_cast<std::size_t>(kMapFirstFace + lang)])) {
                index -= static_cast<std::size_t>(counts[static_cast<std::size_t>(kMapFirstFace + lang)]);
                ++lang;
            }
            if (lang == kLangCount)
                Damaged("more face names than the id mappings announce");
            document.faces[static_cast<std::size_t>(lang)].push_back(ReadFaceName(record.data));
            break;
        }
        case tag::kBinData:
            document.binData.push_back(ReadBinData(record.data, streams, document.headerFlags & kHeaderCompressed));
            break;
        case tag::kBorderFill:
            document.borderFills.push_back(BorderFill{ToBytes(record.data)});
            break;
        case tag::kCharShape:
            document.charShapes.push_back(ReadCharShape(record.data));
            break;
        case tag::kTabDef:
            document.tabDefs.push_back(RawRecord{ToBytes(record.data)});
            break;
        case tag::kNumbering:
            document.numberings.push_back(RawRecord{ToBytes(record.data)});
            break;
        case tag::kBullet:
            document.bullets.push_back(RawRecord{ToBytes(record.data)});
            break;
        case tag::kParaShape:
            document.paraShapes.push_back(ReadParaShape(record.data));
            break;
        case tag::kStyle:
            document.styles.push_back(ReadStyle(record.data));
            break;
        case tag::kDistributeDocData:
            throw HwpError("the document is a distribution document, whose content is encrypted; it cannot be opened");
        default:
            document.docInfoRecords.push_back(ObjectRecord{record.tag, record.level, ToBytes(record.data)});
            break;
        }
    }
    if (!haveProperties || !haveMappings)
        Damaged("the document properties or the id mappings are missing");
    for (int lang = 0; lang < kLangCount; ++lang) {
        if (document.faces[static_cast<std::size_t>(lang)].size() != static_cast<std::size_t>(counts[static_cast<std::size_t>(kMapFirstFace + lang)]))
            Damaged("fewer face names than the id mappings announce");
    }
    if (document.charShapes.empty() || document.paraShapes.empty())
        Damaged("it has no char shape or no para shape");
    return sections;
}

std::string WriteDocInfo(const Document& document)
{
    std::string stream;
    auto add = [&stream](std::uint16_t tag, std::uint16_t level, ByteWriter& out) {
        AppendRecord(stream, tag, level, out.Data());
        out.Data().clear();
    };
    ByteWriter out;
    WriteDocumentProperties(out, document.sections.size(), document.startNumbers);
    add(tag::kDocumentProperties, 0, out);

    const RawRecord defaultTabDef{Bytes(8, 0)};
    const std::vector<RawRecord> defaultTabDefs{defaultTabDef};
    const std::vector<RawRecord>& tabDefs = document.tabDefs.empty() ? defaultTabDefs : document.tabDefs;

    std::array<std::size_t, kMapCount> counts{};
    counts[kMapBinData] = document.binData.size();
    for (int lang = 0; lang < kLangCount; ++lang)
        counts[static_cast<std::size_t>(kMapFirstFace + lang)] = document.faces[static_cast<std::size_t>(lang)].size();
    counts[kMapBorderFill] = document.borderFills.size();
    counts[kMapCharShape] = document.charShapes.size();
    counts[kMapTabDef] = tabDefs.size();
    counts[kMapNumbering] = document.numberings.size();
    counts[kMapBullet] = document.bullets.size();
    counts[kMapParaShape] = document.paraShapes.size();
    counts[kMapStyle] = document.styles.size();
    // Memo shapes and the change-tracking tables are counted here too; 5.0.3.2 added the
    // last two counts.
    const std::uint32_t version = document.version.Number();
    std::array<std::size_t, 3> tails{};
    for (const ObjectRecord& record : document.docInfoRecords) {
        tails[0] += record.tag == tag::kMemoShape;
        tails[1] += record.tag == tag::kTrackChange;
        tails[2] += record.tag == tag::kTrackChangeAuthor;
    }
    counts[kMapMemoShape] = tails[0];
    for (std::size_t count : counts)
        out.U32(static_cast<std::uint32_t>(count));
    if (version >= 0x05000302) {
        out.U32(static_cast<std::uint32_t>(tails[1]));
        out.U32(static_cast<std::uint32_t>(tails[2]));
    }
    add(tag::kIdMappings, 0, out);

    for (const BinDataItem& item : document.binData) {
        out.Raw(WriteBinDataRecord(item));
        add(tag::kBinData, 1, out);
    }

    for (const auto& faces : document.faces) {
        for (const FaceName& face : faces) {
            WriteFaceName(out, face);
            add(tag::kFaceName, 1, out);
        }
    }
    for (const BorderFill& fill : document.borderFills) {
        out.Raw(fill.data);
        add(tag::kBorderFill, 1, out);
    }
    for (const CharShape& shape : document.charShapes) {
        WriteCharShape(out, shape, version);
        add(tag::kCharShape, 1, out);
    }
    for (const RawRecord& tabDef : tabDefs) {
        out.Raw(tabDef.data);
        add(tag::kTabDef, 1, out);
    }
    for (const RawRecord& numbering : document.numberings) {
        out.Raw(numbering.data);
        add(tag::kNumbering, 1, out);
    }
    for (const RawRecord& bullet : document.bullets) {
        out.Raw(bullet.data);
        add(tag::kBullet, 1, out);
    }
    for (const ParaShape& shape : document.paraShapes) {
        WriteParaShape(out, shape, version);
        add(tag::kParaShape, 1, out);
    }
    for (const Style& style : document.styles) {
        WriteStyle(out, style);
        add(tag::kStyle, 1, out);
    }
    for (const ObjectRecord& record : document.docInfoRecords) {
        out.Raw(record.data);
        add(record.tag, record.level, out);
    }
    return stream;
}

}  // namespace hwp
