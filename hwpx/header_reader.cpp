#include "hwpx/header_reader.h"

#include <QStringList>

#include <algorithm>
#include <functional>

#include "hwp/border_fill.h"
#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/fill.h"
#include "hwp/numbering.h"
#include "hwpx/fill_brush.h"
#include "hwpx/values.h"

namespace hwpx {
namespace {

const char* const kLangNames[hwp::kLangCount] = {"hangul", "latin", "hanja", "japanese", "other", "symbol", "user"};
const char* const kFaceLangs[hwp::kLangCount] = {"HANGUL", "LATIN", "HANJA", "JAPANESE", "OTHER", "SYMBOL", "USER"};

// Items of a list in id order: ids count from `first` without gaps in every file the
// word processor writes; a list that does not is refused rather than misread.
std::vector<const XmlNode*> Items(const XmlNode* list, QStringView name, long long first, const char* what)
{
    if (list == nullptr)
        return {};
    std::vector<const XmlNode*> items = list->Children(name);
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i]->Int(u"id", -1) != first + static_cast<long long>(i))
            throw hwp::HwpError(std::string("Contents/header.xml: the ") + what + " ids are not numbered in order");
    }
    return items;
}

void ReadFaces(const XmlNode& refs, hwp::Document& document)
{
    const XmlNode* faces = refs.Child(u"fontfaces");
    if (faces == nullptr)
        return;
    for (const XmlNode* face : faces->Children(u"fontface")) {
        const int lang = Code(face->Attr(u"lang"), {kFaceLangs[0], kFaceLangs[1], kFaceLangs[2], kFaceLangs[3],
                                                     kFaceLangs[4], kFaceLangs[5], kFaceLangs[6]},
                              -1);
        if (lang < 0)
            continue;
        for (const XmlNode* font : Items(face, u"font", 0, "font")) {
            hwp::FaceName name;
            name.name = ToU16(font->Attr(u"face"));
            if (const XmlNode* subst = font->Child(u"substFont")) {
                name.substituteName = ToU16(subst->Attr(u"face"));
                name.substituteKind = static_cast<std::uint8_t>(Code(subst->Attr(u"type"), {"UNKNOWN", "TTF", "HFT"}, 0));
            }
            if (const XmlNode* info = font->Child(u"typeInfo")) {
                name.typeInfo.push_back(static_cast<std::uint8_t>(
                    Code(info->Attr(u"familyType"), {"FCAT_UNKNOWN", "FCAT_MYUNGJO", "FCAT_GOTHIC", "FCAT_SSERIF",
                                                     "FCAT_BRUSHSCRIPT", "FCAT_DECORATIVE", "FCAT_NONRECTMJ",
                                                     "FCAT_NONRECTGT"})));
                for (const char* key : {"serifStyle", "weight", "proportion", "contrast", "strokeVariation", "armStyle",
                                        "letterform", "midline", "xHeight"})
                    name.typeInfo.push_back(Num<std::uint8_t>(*info, QString::fromLatin1(key)));
            }
            document.faces[static_cast<std::size_t>(lang)].push_back(std::move(name));
        }
    }
}

hwp::BorderLine Line(const XmlNode* node)
{
    if (node == nullptr)
        return {};
    return {LineKindCode(node->Attr(u"type")), LineWidthCode(node->Attr(u"width")), Color(node->Attr(u"color"), 0)};
}

hwp::BorderFill ReadBorderFill(const XmlNode& item, const std::map<QString, std::uint16_t>& binIds)
{
    hwp::BorderFillView view;
    const auto diagonalShape = [](const XmlNode* node) -> std::uint16_t {
        return node == nullptr ? 0 : static_cast<std::uint16_t>(Code(node->Attr(u"type"), {"NONE", "CENTER", "CENTER_BELOW", "CENTER_ABOVE", "ALL"}));
    };
    view.properties = static_cast<std::uint16_t>((item.Flag(u"threeD") ? 1 : 0) | (item.Flag(u"shadow") ? 2 : 0) |
                                                 (diagonalShape(item.Child(u"slash")) << 2) |
                                                 (diagonalShape(item.Child(u"backSlash")) << 5));
    view.lines = {Line(item.Child(u"leftBorder")), Line(item.Child(u"rightBorder")), Line(item.Child(u"topBorder")),
                  Line(item.Child(u"bottomBorder"))};
    view.diagonal = Line(item.Child(u"diagonal"));
    if (const XmlNode* fill = item.Child(u"fillBrush")) {
        if (const XmlNode* brush = fill->Child(u"winBrush")) {
            view.fillKinds |= hwp::kFillColor;
            view.backgroundColor = Color(brush->Attr(u"faceColor"));
            view.patternColor = Color(brush->Attr(u"hatchColor"), 0);
            view.patternKind = brush->Attr(u"hatchStyle").isEmpty()
                                   ? -1
                                   : Code(brush->Attr(u"hatchStyle"), {"HORIZONTAL", "VERTICAL", "BACK_SLASH", "SLASH",
                                                                      "CROSS", "CROSS_DIAGONAL"}, -1);
        }
        const hwp::Fill rest = ReadFillBrush(fill, binIds);
        view.fillKinds |= rest.kinds & (hwp::kFillGradient | hwp::kFillImage);
        view.fillRest = hwp::FillRest(rest);
    }
    return hwp::WriteBorderFill(view);
}

template <typename T>
void PerLangValues(const XmlNode* node, hwp::PerLang<T>& out)
{
    if (node == nullptr)
        return;
    for (int lang = 0; lang < hwp::kLangCount; ++lang)
        out[static_cast<std::size_t>(lang)] = Num<T>(*node, QString::fromLatin1(kLangNames[lang]), out[static_cast<std::size_t>(lang)]);
}

hwp::CharShape ReadCharShape(const XmlNode& item)
{
    hwp::CharShape shape;
    shape.size = Num<std::int32_t>(item, u"height", 1000);
    shape.textColor = Color(item.Attr(u"textColor"), 0);
    shape.shadeColor = Color(item.Attr(u"shadeColor"));
    shape.borderFillId = Num<std::uint16_t>(item, u"borderFillIDRef");
    PerLangValues(item.Child(u"fontRef"), shape.faceIds);
    PerLangValues(item.Child(u"ratio"), shape.ratios);
    PerLangValues(item.Child(u"spacing"), shape.spacings);
    PerLangValues(item.Child(u"relSz"), shape.relativeSizes);
    PerLangValues(item.Child(u"offset"), shape.offsets);
    shape.bold = item.Child(u"bold") != nullptr;
    shape.italic = item.Child(u"italic") != nullptr;
    shape.superscript = item.Child(u"supscript") != nullptr;
    shape.subscript = item.Child(u"subscript") != nullptr;
    if (const XmlNode* underline = item.Child(u"underline")) {
        shape.underline = static_cast<hwp::UnderlineKind>(Code(underline->Attr(u"type"), {"NONE", "BOTTOM", "TOP"}));
        shape.underlineShape = static_cast<std::uint8_t>(std::max(0, LineKindCode(underline->Attr(u"shape")) - 1));
        shape.underlineColor = Color(underline->Attr(u"color"), 0);
    }
    if (const XmlNode* strike = item.Child(u"strikeout")) {
        const std::uint8_t kind = LineKindCode(strike->Attr(u"shape"));
        shape.strikeOut = kind != 0;
        shape.strikeOutShape = static_cast<std::uint8_t>(kind == 0 ? 0 : kind - 1);
        shape.strikeOutColor = Color(strike->Attr(u"color"), 0);
    }
    if (const XmlNode* shadow = item.Child(u"shadow")) {
        shape.shadowColor = Color(shadow->Attr(u"color"), 0x00B2B2B2);
        shape.shadowOffsetX = Num<std::int8_t>(*shadow, u"offsetX", 10);
        shape.shadowOffsetY = Num<std::int8_t>(*shadow, u"offsetY", 10);
        // Property bits 11..12: the shadow's kind.
        shape.otherProperties |= static_cast<std::uint32_t>(Code(shadow->Attr(u"type"), {"NONE", "DROP", "CONTINUOUS"})) << 11;
    }
    if (const XmlNode* outline = item.Child(u"outline"))
        shape.otherProperties |= static_cast<std::uint32_t>(LineKindCode(outline->Attr(u"type")) & 7) << 8;
    if (item.Flag(u"useKerning"))
        shape.otherProperties |= 1u << 30;
    return shape;
}

hwp::RawRecord ReadTabDef(const XmlNode& item)
{
    hwp::ByteWriter out;
    out.U32((item.Flag(u"autoTabLeft") ? 1u : 0u) | (item.Flag(u"autoTabRight") ? 2u : 0u));
    std::vector<const XmlNode*> tabs;
    const std::function<void(const XmlNode&)> collect = [&](const XmlNode& node) {
        for (const XmlNode& child : node.children) {
            if (child.name == u"tabItem")
                tabs.push_back(&child);
            else if (child.name == u"case" && tabs.empty())
                collect(child);   // the first alternative of a switch is the one in HwpUnit
            else if (child.name == u"switch")
                collect(child);
        }
    };
    collect(item);
    out.U32(static_cast<std::uint32_t>(tabs.size()));
    for (const XmlNode* tab : tabs) {
        out.I32(Num<std::int32_t>(*tab, u"pos"));
        out.U8(static_cast<std::uint8_t>(Code(tab->Attr(u"type"), {"LEFT", "RIGHT", "CENTER", "DECIMAL"})));
        out.U8(LineKindCode(tab->Attr(u"leader")));
        out.U16(0);
    }
    return hwp::RawRecord{hwp::ToBytes(out.Data())};
}

hwp::ParaHeadInfo ReadHead(const XmlNode& head)
{
    hwp::ParaHeadInfo info;
    info.properties = static_cast<std::uint32_t>(Code(head.Attr(u"align"), {"LEFT", "CENTER", "RIGHT"})) |
                      (head.Flag(u"useInstWidth") ? 0x04u : 0u) | (head.Flag(u"autoIndent") ? 0x08u : 0u) |
                      (head.Attr(u"textOffsetType") == QLatin1String("HWPUNIT") ? 0x10u : 0u) |
                      (static_cast<std::uint32_t>(NumberShapeCode(head.Attr(u"numFormat"))) << 5);
    info.widthAdjust = Num<std::int16_t>(head, u"widthAdjust");
    info.textOffset = Num<std::int16_t>(head, u"textOffset", 50);
    info.charShapeId = Num<std::uint32_t>(head, u"charPrIDRef", hwp::kOwnCharShape);
    return info;
}

hwp::RawRecord ReadNumbering(const XmlNode& item)
{
    hwp::Numbering numbering;
    numbering.start = Num<std::uint16_t>(item, u"start", 1);
    numbering.levelStarts.assign(hwp::kNumberingLevels, 1);
    for (const XmlNode* head : item.Children(u"paraHead")) {
        const long long level = head->Int(u"level", 0) - 1;
        if (level < 0 || level >= static_cast<long long>(hwp::kNumberingLevels))
            continue;   // levels past seven have no place in the model
        hwp::NumberingLevel& out = numbering.levels[static_cast<std::size_t>(level)];
        out.head = ReadHead(*head);
        out.format = ToU16(head->AllText());
        numbering.levelStarts[static_cast<std::size_t>(level)] = Num<std::uint32_t>(*head, u"start", 1);
    }
    return hwp::WriteNumbering(numbering);
}

hwp::RawRecord ReadBullet(const XmlNode& item, const std::map<QString, std::uint16_t>& binIds)
{
    hwp::Bullet bullet;
    if (const XmlNode* head = item.Child(u"paraHead"))
        bullet.head = ReadHead(*head);
    const QString character = item.Attr(u"char");
    bullet.character = character.isEmpty() ? char16_t{0x25CF} : static_cast<char16_t>(character.at(0).unicode());
    const QString checked = item.Attr(u"checkedChar");
    if (item.Flag(u"useImage") || !checked.isEmpty()) {
        bullet.hasPicture = true;
        if (!checked.isEmpty())
            bullet.picture.checkCharacter = static_cast<char16_t>(checked.at(0).unicode());
        if (const XmlNode* image = item.Child(u"img")) {
            const auto found = binIds.find(image->Attr(u"binaryItemIDRef"));
            if (found != binIds.end())
                bullet.picture.binItemId = found->second;
        }
    }
    return hwp::WriteBullet(bullet);
}

// Margins and line spacing sit in a switch whose first case is in HwpUnit and whose
// default holds twice those values; files without the switch hold the doubled ones.
const XmlNode* Alternative(const XmlNode& item, bool& doubled)
{
    if (const XmlNode* choice = item.Child(u"switch")) {
        if (const XmlNode* first = choice->Child(u"case")) {
            doubled = false;
            return first;
        }
        if (const XmlNode* fallback = choice->Child(u"default")) {
            doubled = true;
            return fallback;
        }
    }
    doubled = true;
    return &item;
}

hwp::ParaShape ReadParaShape(const XmlNode& item)
{
    hwp::ParaShape shape;
    if (const XmlNode* align = item.Child(u"align"))
        shape.alignment = static_cast<hwp::Alignment>(
            Code(align->Attr(u"horizontal"), {"JUSTIFY", "LEFT", "RIGHT", "CENTER", "DISTRIBUTE", "DISTRIBUTE_SPACE"}));
    if (const XmlNode* heading = item.Child(u"heading")) {
        shape.headKind = static_cast<hwp::HeadKind>(Code(heading->Attr(u"type"), {"NONE", "OUTLINE", "NUMBER", "BULLET"}));
        shape.numberingId = Num<std::uint16_t>(*heading, u"idRef");
        shape.headLevel = static_cast<std::uint8_t>(std::clamp<long long>(heading->Int(u"level"), 0, 6));
    }
    shape.tabDefId = Num<std::uint16_t>(item, u"tabPrIDRef");
    std::uint32_t bits = item.Flag(u"snapToGrid") ? (1u << 8) : 0u;
    bits |= static_cast<std::uint32_t>(std::clamp<long long>(item.Int(u"condense"), 0, 75) & 0x7F) << 9;
    if (item.Flag(u"fontLineHeight"))
        bits |= 1u << 22;
    if (const XmlNode* breaks = item.Child(u"breakSetting")) {
        bits |= static_cast<std::uint32_t>(Code(breaks->Attr(u"breakLatinWord"), {"KEEP_WORD", "HYPHENATION", "BREAK_WORD"})) << 5;
        bits |= (breaks->Attr(u"breakNonLatinWord") == QLatin1String("BREAK_WORD") ? 1u : 0u) << 7;
        bits |= (breaks->Flag(u"widowOrphan") ? 1u : 0u) << 16;
        bits |= (breaks->Flag(u"keepWithNext") ? 1u : 0u) << 17;
        bits |= (breaks->Flag(u"keepLines") ? 1u : 0u) << 18;
        bits |= (breaks->Flag(u"pageBreakBefore") ? 1u : 0u) << 19;
    }
    if (const XmlNode* align = item.Child(u"align"))
        bits |= static_cast<std::uint32_t>(Code(align->Attr(u"vertical"), {"BASELINE", "TOP", "CENTER", "BOTTOM"})) << 20;
    if (const XmlNode* spacing = item.Child(u"autoSpacing"))
        shape.properties2 |= (spacing->Flag(u"eAsianEng") ? 1u << 4 : 0u) | (spacing->Flag(u"eAsianNum") ? 1u << 5 : 0u);
    bool doubled = false;
    const XmlNode* values = Alternative(item, doubled);
    if (const XmlNode* margin = values->Child(u"margin")) {
        const auto length = [&](const char* key) {
            const XmlNode* node = margin->Child(QString::fromLatin1(key));
            const std::int32_t value = node == nullptr ? 0 : Num<std::int32_t>(*node, u"value");
            return doubled ? value / 2 : value;
        };
        shape.indent = length("intent");
        shape.leftMargin = length("left");
        shape.rightMargin = length("right");
        shape.spacingBefore = length("prev");
        shape.spacingAfter = length("next");
    }
    if (const XmlNode* spacing = values->Child(u"lineSpacing")) {
        shape.lineSpacingKind = static_cast<hwp::LineSpacingKind>(
            Code(spacing->Attr(u"type"), {"PERCENT", "FIXED", "BETWEEN_LINES", "AT_LEAST"}));
        shape.lineSpacing = Num<std::int32_t>(*spacing, u"value", 160);
        if (doubled && shape.lineSpacingKind != hwp::LineSpacingKind::Percent)
            shape.lineSpacing /= 2;
    }
    if (const XmlNode* border = item.Child(u"border")) {
        shape.borderFillId = Num<std::uint16_t>(*border, u"borderFillIDRef");
        shape.borderOffsets = {Num<std::int16_t>(*border, u"offsetLeft"), Num<std::int16_t>(*border, u"offsetRight"),
                               Num<std::int16_t>(*border, u"offsetTop"), Num<std::int16_t>(*border, u"offsetBottom")};
        bits |= (border->Flag(u"connect") ? 1u : 0u) << 28;
        bits |= (border->Flag(u"ignoreMargin") ? 1u : 0u) << 29;
    }
    shape.otherProperties1 = bits;
    return shape;
}

hwp::Style ReadStyle(const XmlNode& item)
{
    hwp::Style style;
    style.name = ToU16(item.Attr(u"name"));
    style.englishName = ToU16(item.Attr(u"engName"));
    style.kind = item.Attr(u"type") == QLatin1String("CHAR") ? hwp::StyleKind::Character : hwp::StyleKind::Paragraph;
    style.nextStyleId = Num<std::uint8_t>(item, u"nextStyleIDRef");
    style.langId = Num<std::int16_t>(item, u"langID", 1042);
    // A character style has no para shape; files leave whatever was in memory there.
    style.paraShapeId = style.kind == hwp::StyleKind::Character ? 0 : Num<std::uint16_t>(item, u"paraPrIDRef");
    style.charShapeId = Num<std::uint16_t>(item, u"charPrIDRef");
    return style;
}

// What the shape tables do not hold (memo shapes, change tracking, compatibility, document
// options, ...), kept for the HWPX writer.
void KeepUnread(const XmlNode& head, const XmlNode& refs, hwp::Document& document)
{
    static const QStringList kRead = {QStringLiteral("beginNum"), QStringLiteral("refList")};
    static const QStringList kReadRefs = {
        QStringLiteral("fontfaces"), QStringLiteral("borderFills"), QStringLiteral("charProperties"),
        QStringLiteral("tabProperties"), QStringLiteral("numberings"), QStringLiteral("bullets"),
        QStringLiteral("paraProperties"), QStringLiteral("styles")};
    for (const XmlNode& child : head.children) {
        if (!child.IsText() && !kRead.contains(child.name))
            document.hwpxHeadXml.push_back(KeptXml(child, head));
    }
    for (const XmlNode& child : refs.children) {
        if (!child.IsText() && !kReadRefs.contains(child.name))
            document.hwpxRefListXml.push_back(KeptXml(child, head));
    }
}

}  // namespace

void ReadHeader(const XmlNode& head, const std::map<QString, std::uint16_t>& binIds, hwp::Document& document)
{
    if (const XmlNode* begin = head.Child(u"beginNum")) {
        document.startNumbers.page = Num<std::uint16_t>(*begin, u"page", 1);
        document.startNumbers.footnote = Num<std::uint16_t>(*begin, u"footnote", 1);
        document.startNumbers.endnote = Num<std::uint16_t>(*begin, u"endnote", 1);
        document.startNumbers.picture = Num<std::uint16_t>(*begin, u"pic", 1);
        document.startNumbers.table = Num<std::uint16_t>(*begin, u"tbl", 1);
        document.startNumbers.equation = Num<std::uint16_t>(*begin, u"equation", 1);
    }
    const XmlNode* refs = head.Child(u"refList");
    if (refs == nullptr)
        throw hwp::HwpError("Contents/header.xml: the list of shapes (refList) is missing");
    ReadFaces(*refs, document);
    for (const XmlNode* item : Items(refs->Child(u"borderFills"), u"borderFill", 1, "border fill"))
        document.borderFills.push_back(ReadBorderFill(*item, binIds));
    for (const XmlNode* item : Items(refs->Child(u"charProperties"), u"charPr", 0, "char shape"))
        document.charShapes.push_back(ReadCharShape(*item));
    for (const XmlNode* item : Items(refs->Child(u"tabProperties"), u"tabPr", 0, "tab definition"))
        document.tabDefs.push_back(ReadTabDef(*item));
    for (const XmlNode* item : Items(refs->Child(u"numberings"), u"numbering", 1, "numbering"))
        document.numberings.push_back(ReadNumbering(*item));
    for (const XmlNode* item : Items(refs->Child(u"bullets"), u"bullet", 1, "bullet"))
        document.bullets.push_back(ReadBullet(*item, binIds));
    for (const XmlNode* item : Items(refs->Child(u"paraProperties"), u"paraPr", 0, "para shape"))
        document.paraShapes.push_back(ReadParaShape(*item));
    for (const XmlNode* item : Items(refs->Child(u"styles"), u"style", 0, "style"))
        document.styles.push_back(ReadStyle(*item));
    KeepUnread(head, *refs, document);
}

}  // namespace hwpx
