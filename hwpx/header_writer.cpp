#include "hwp/border_fill.h"
#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/fill.h"
#include "hwp/numbering.h"
#include "hwpx/fill_brush.h"
#include "hwpx/values.h"
#include "hwpx/xml_writer.h"

namespace hwpx {
namespace {

const char* const kLangAttrs[hwp::kLangCount] = {"hangul", "latin", "hanja", "japanese", "other", "symbol", "user"};
const char* const kFaceLangs[hwp::kLangCount] = {"HANGUL", "LATIN", "HANJA", "JAPANESE", "OTHER", "SYMBOL", "USER"};
const char* const kLineKinds[] = {"NONE", "SOLID", "DASH", "DOT", "DASH_DOT", "DASH_DOT_DOT", "LONG_DASH", "CIRCLE",
                                  "DOUBLE_SLIM", "SLIM_THICK", "THICK_SLIM", "SLIM_THICK_SLIM", "WAVE", "DOUBLE_WAVE",
                                  "THICK_3D", "THICK_3D_REVERS", "3D", "3D_REVERS"};
const char* const kWidths[] = {"0.1 mm", "0.12 mm", "0.15 mm", "0.2 mm", "0.25 mm", "0.3 mm", "0.4 mm", "0.5 mm",
                               "0.6 mm", "0.7 mm", "1.0 mm", "1.5 mm", "2.0 mm", "3.0 mm", "4.0 mm", "5.0 mm"};
const char* const kNumberShapes[] = {"DIGIT", "CIRCLED_DIGIT", "ROMAN_CAPITAL", "ROMAN_SMALL", "LATIN_CAPITAL",
                                     "LATIN_SMALL", "CIRCLED_LATIN_CAPITAL", "CIRCLED_LATIN_SMALL", "HANGUL_SYLLABLE",
                                     "CIRCLED_HANGUL_SYLLABLE", "HANGUL_JAMO", "CIRCLED_HANGUL_JAMO", "HANGUL_PHONETIC",
                                     "IDEOGRAPH", "CIRCLED_IDEOGRAPH", "DECAGON_CIRCLE", "DECAGON_CIRCLE_HANJA"};

template <std::size_t N>
QString Word(const char* const (&words)[N], std::size_t index)
{
    return QString::fromLatin1(words[index < N ? index : 0]);
}

QString Number(long long value) { return QString::number(value); }

template <typename T>
void PerLang(QXmlStreamWriter& out, const char* name, const hwp::PerLang<T>& values)
{
    out.writeStartElement(kHeadNs, QString::fromLatin1(name));
    for (int lang = 0; lang < hwp::kLangCount; ++lang)
        out.writeAttribute(QString::fromLatin1(kLangAttrs[lang]), Number(values[static_cast<std::size_t>(lang)]));
    out.writeEndElement();
}

void Faces(QXmlStreamWriter& out, const hwp::Document& document)
{
    out.writeStartElement(kHeadNs, QStringLiteral("fontfaces"));
    out.writeAttribute(QStringLiteral("itemCnt"), Number(hwp::kLangCount));
    for (int lang = 0; lang < hwp::kLangCount; ++lang) {
        const auto& faces = document.faces[static_cast<std::size_t>(lang)];
        out.writeStartElement(kHeadNs, QStringLiteral("fontface"));
        out.writeAttribute(QStringLiteral("lang"), QString::fromLatin1(kFaceLangs[lang]));
        out.writeAttribute(QStringLiteral("fontCnt"), Number(static_cast<long long>(faces.size())));
        for (std::size_t i = 0; i < faces.size(); ++i) {
            out.writeStartElement(kHeadNs, QStringLiteral("font"));
            out.writeAttribute(QStringLiteral("id"), Number(static_cast<long long>(i)));
            out.writeAttribute(QStringLiteral("face"), FromU16(faces[i].name));
            out.writeAttribute(QStringLiteral("type"), QStringLiteral("TTF"));
            out.writeAttribute(QStringLiteral("isEmbedded"), QStringLiteral("0"));
            if (!faces[i].substituteName.empty()) {
                out.writeEmptyElement(kHeadNs, QStringLiteral("substFont"));
                out.writeAttribute(QStringLiteral("face"), FromU16(faces[i].substituteName));
                out.writeAttribute(QStringLiteral("type"), faces[i].substituteKind == 2 ? QStringLiteral("HFT") : QStringLiteral("TTF"));
                out.writeAttribute(QStringLiteral("isEmbedded"), QStringLiteral("0"));
            }
            if (faces[i].typeInfo.size() == 10) {
                const hwp::Bytes& info = faces[i].typeInfo;
                const char* const families[] = {"FCAT_UNKNOWN", "FCAT_MYUNGJO", "FCAT_GOTHIC", "FCAT_SSERIF",
                                                "FCAT_BRUSHSCRIPT", "FCAT_DECORATIVE", "FCAT_NONRECTMJ", "FCAT_NONRECTGT"};
                out.writeEmptyElement(kHeadNs, QStringLiteral("typeInfo"));
                out.writeAttribute(QStringLiteral("familyType"), Word(families, info[0]));
                const char* const keys[] = {"serifStyle", "weight",   "proportion", "contrast", "strokeVariation",
                                            "armStyle",   "letterform", "midline",  "xHeight"};
                for (std::size_t k = 0; k < 9; ++k)
                    out.writeAttribute(QString::fromLatin1(keys[k]), Number(info[k + 1]));
            }
            out.writeEndElement();
        }
        out.writeEndElement();
    }
    out.writeEndElement();
}

void Line(QXmlStreamWriter& out, const char* name, const hwp::BorderLine& line)
{
    out.writeEmptyElement(kHeadNs, QString::fromLatin1(name));
    out.writeAttribute(QStringLiteral("type"), Word(kLineKinds, line.kind));
    out.writeAttribute(QStringLiteral("width"), Word(kWidths, line.width));
    out.writeAttribute(QStringLiteral("color"), ColorText(line.color));
}

void BorderFills(QXmlStreamWriter& out, const hwp::Document& document, const std::map<std::uint16_t, QString>& binNames)
{
    out.writeStartElement(kHeadNs, QStringLiteral("borderFills"));
    out.writeAttribute(QStringLiteral("itemCnt"), Number(static_cast<long long>(document.borderFills.size())));
    for (std::size_t i = 0; i < document.borderFills.size(); ++i) {
        hwp::BorderFillView view;
        try {
            view = hwp::ReadBorderFill(document.borderFills[i]);
        } catch (const hwp::HwpError&) {
        }
        out.writeStartElement(kHeadNs, QStringLiteral("borderFill"));
        out.writeAttribute(QStringLiteral("id"), Number(static_cast<long long>(i + 1)));
        out.writeAttribute(QStringLiteral("threeD"), Number(view.properties & 1));
        out.writeAttribute(QStringLiteral("shadow"), Number((view.properties >> 1) & 1));
        const char* const diagonals[] = {"NONE", "CENTER", "CENTER_BELOW", "CENTER_ABOVE", "ALL"};
        out.writeEmptyElement(kHeadNs, QStringLiteral("slash"));
        out.writeAttribute(QStringLiteral("type"), Word(diagonals, (view.properties >> 2) & 7));
        out.writeEmptyElement(kHeadNs, QStringLiteral("backSlash"));
        out.writeAttribute(QStringLiteral("type"), Word(diagonals, (view.properties >> 5) & 7));
        Line(out, "leftBorder", view.lines[0]);
        Line(out, "rightBorder", view.lines[1]);
        Line(out, "topBorder", view.lines[2]);
        Line(out, "bottomBorder", view.lines[3]);
        Line(out, "diagonal", view.diagonal);
        hwp::Fill fill;
        try {
            fill = hwp::FillOf(view);
        } catch (const hwp::HwpError&) {
            // a damaged gradation or picture fill: the colour still goes
        }
        if (view.fillKinds & (hwp::kFillColor | hwp::kFillGradient | hwp::kFillImage)) {
            out.writeStartElement(kCoreNs, QStringLiteral("fillBrush"));
            if (view.fillKinds & hwp::kFillColor) {
                out.writeEmptyElement(kCoreNs, QStringLiteral("winBrush"));
                out.writeAttribute(QStringLiteral("faceColor"), ColorText(view.backgroundColor));
                out.writeAttribute(QStringLiteral("hatchColor"), ColorText(view.patternColor));
                const char* const hatches[] = {"HORIZONTAL", "VERTICAL", "BACK_SLASH", "SLASH", "CROSS", "CROSS_DIAGONAL"};
                if (view.patternKind >= 0)
                    out.writeAttribute(QStringLiteral("hatchStyle"), Word(hatches, static_cast<std::size_t>(view.patternKind)));
                out.writeAttribute(QStringLiteral("alpha"), QStringLiteral("0"));
            }
            WriteGradationAndImage(out, fill, binNames);
            out.writeEndElement();
        }
        out.writeEndElement();
    }
    out.writeEndElement();
}

void CharShapes(QXmlStreamWriter& out, const hwp::Document& document)
{
    out.writeStartElement(kHeadNs, QStringLiteral("charProperties"));
    out.writeAttribute(QStringLiteral("itemCnt"), Number(static_cast<long long>(document.charShapes.size())));
    for (std::size_t i = 0; i < document.charShapes.size(); ++i) {
        const hwp::CharShape& shape = document.charShapes[i];
        out.writeStartElement(kHeadNs, QStringLiteral("charPr"));
        out.writeAttribute(QStringLiteral("id"), Number(static_cast<long long>(i)));
        out.writeAttribute(QStringLiteral("height"), Number(shape.size));
        out.writeAttribute(QStringLiteral("textColor"), ColorText(shape.textColor));
        out.writeAttribute(QStringLiteral("shadeColor"), ColorText(shape.shadeColor));
        out.writeAttribute(QStringLiteral("useFontSpace"), QStringLiteral("0"));
        out.writeAttribute(QStringLiteral("useKerning"), Number((shape.otherProperties >> 30) & 1));
        out.writeAttribute(QStringLiteral("borderFillIDRef"), Number(shape.borderFillId));
        PerLang(out, "fontRef", shape.faceIds);
        PerLang(out, "ratio", shape.ratios);
        PerLang(out, "spacing", shape.spacings);
        PerLang(out, "relSz", shape.relativeSizes);
        PerLang(out, "offset", shape.offsets);
        if (shape.bold)
            out.writeEmptyElement(kHeadNs, QStringLiteral("bold"));
        if (shape.italic)
            out.writeEmptyElement(kHeadNs, QStringLiteral("italic"));
        out.writeEmptyElement(kHeadNs, QStringLiteral("underline"));
        const char* const sides[] = {"NONE", "BOTTOM", "TOP"};
        out.writeAttribute(QStringLiteral("type"), Word(sides, static_cast<std::size_t>(shape.underline)));
        out.writeAttribute(QStringLiteral("shape"), Word(kLineKinds, shape.underlineShape + 1u));
        out.writeAttribute(QStringLiteral("color"), ColorText(shape.underlineColor));
        out.writeEmptyElement(kHeadNs, QStringLiteral("strikeout"));
        out.writeAttribute(QStringLiteral("shape"), shape.strikeOut ? Word(kLineKinds, shape.strikeOutShape + 1u) : QStringLiteral("NONE"));
        out.writeAttribute(QStringLiteral("color"), ColorText(shape.strikeOutColor));
        out.writeEmptyElement(kHeadNs, QStringLiteral("outline"));
        out.writeAttribute(QStringLiteral("type"), Word(kLineKinds, (shape.otherProperties >> 8) & 7));
        out.writeEmptyElement(kHeadNs, QStringLiteral("shadow"));
        const char* const shadows[] = {"NONE", "DROP", "CONTINUOUS"};
        out.writeAttribute(QStringLiteral("type"), Word(shadows, (shape.otherProperties >> 11) & 3));
        out.writeAttribute(QStringLiteral("color"), ColorText(shape.shadowColor));
        out.writeAttribute(QStringLiteral("offsetX"), Number(shape.shadowOffsetX));
        out.writeAttribute(QStringLiteral("offsetY"), Number(shape.shadowOffsetY));
        if (shape.superscript)
            out.writeEmptyElement(kHeadNs, QStringLiteral("supscript"));
        if (shape.subscript)
            out.writeEmptyElement(kHeadNs, QStringLiteral("subscript"));
        out.writeEndElement();
    }
    out.writeEndElement();
}

void TabDefs(QXmlStreamWriter& out, const hwp::Document& document)
{
    out.writeStartElement(kHeadNs, QStringLiteral("tabProperties"));
    out.writeAttribute(QStringLiteral("itemCnt"), Number(static_cast<long long>(document.tabDefs.size())));
    for (std::size_t i = 0; i < document.tabDefs.size(); ++i) {
        const hwp::Bytes& data = document.tabDefs[i].data;
        const std::uint32_t properties = data.size() >= 4 ? hwp::LittleEndianAt(data, 0, 4) : 0;
        out.writeStartElement(kHeadNs, QStringLiteral("tabPr"));
        out.writeAttribute(QStringLiteral("id"), Number(static_cast<long long>(i)));
        out.writeAttribute(QStringLiteral("autoTabLeft"), Number(properties & 1));
        out.writeAttribute(QStringLiteral("autoTabRight"), Number((properties >> 1) & 1));
        const std::size_t count = data.size() >= 8 ? hwp::LittleEndianAt(data, 4, 2) : 0;
        for (std::size_t t = 0; t < count && 8 + 8 * t + 6 <= data.size(); ++t) {
            const std::size_t at = 8 + 8 * t;
            out.writeEmptyElement(kHeadNs, QStringLiteral("tabItem"));
            out.writeAttribute(QStringLiteral("pos"), Number(static_cast<std::int32_t>(hwp::LittleEndianAt(data, at, 4))));
            const char* const kinds[] = {"LEFT", "RIGHT", "CENTER", "DECIMAL"};
            out.writeAttribute(QStringLiteral("type"), Word(kinds, data[at + 4]));
            out.writeAttribute(QStringLiteral("leader"), Word(kLineKinds, data[at + 5]));
        }
        out.writeEndElement();
    }
    out.writeEndElement();
}

void Head(QXmlStreamWriter& out, const hwp::ParaHeadInfo& head, int level)
{
    const char* const aligns[] = {"LEFT", "CENTER", "RIGHT"};
    out.writeAttribute(QStringLiteral("level"), Number(level));
    out.writeAttribute(QStringLiteral("align"), Word(aligns, head.properties & 3));
    out.writeAttribute(QStringLiteral("useInstWidth"), Number((head.properties >> 2) & 1));
    out.writeAttribute(QStringLiteral("autoIndent"), Number((head.properties >> 3) & 1));
    out.writeAttribute(QStringLiteral("widthAdjust"), Number(head.widthAdjust));
    out.writeAttribute(QStringLiteral("textOffsetType"), head.OffsetIsLength() ? QStringLiteral("HWPUNIT") : QStringLiteral("PERCENT"));
    out.writeAttribute(QStringLiteral("textOffset"), Number(head.textOffset));
    out.writeAttribute(QStringLiteral("numFormat"), Word(kNumberShapes, head.NumberShape()));
    out.writeAttribute(QStringLiteral("charPrIDRef"), Number(head.charShapeId));
}

void Heads(QXmlStreamWriter& out, const hwp::Document& document)
{
    out.writeStartElement(kHeadNs, QStringLiteral("numberings"));
    out.writeAttribute(QStringLiteral("itemCnt"), Number(static_cast<long long>(document.numberings.size())));
    for (std::size_t i = 0; i < document.numberings.size(); ++i) {
        hwp::Numbering numbering;
        try {
            numbering = hwp::ReadNumbering(document.numberings[i]);
        } catch (const hwp::HwpError&) {
        }
        out.writeStartElement(kHeadNs, QStringLiteral("numbering"));
        out.writeAttribute(QStringLiteral("id"), Number(static_cast<long long>(i + 1)));
        out.writeAttribute(QStringLiteral("start"), Number(numbering.start));
        for (std::size_t level = 0; level < hwp::kNumberingLevels; ++level) {
            out.writeStartElement(kHeadNs, QStringLiteral("paraHead"));
            out.writeAttribute(QStringLiteral("start"), Number(numbering.StartOf(level)));
            Head(out, numbering.levels[level].head, static_cast<int>(level + 1));
            out.writeCharacters(FromU16(numbering.levels[level].format));
            out.writeEndElement();
        }
        out.writeEndElement();
    }
    out.writeEndElement();
    out.writeStartElement(kHeadNs, QStringLiteral("bullets"));
    out.writeAttribute(QStringLiteral("itemCnt"), Number(static_cast<long long>(document.bullets.size())));
    for (std::size_t i = 0; i < document.bullets.size(); ++i) {
        hwp::Bullet bullet;
        try {
            bullet = hwp::ReadBullet(document.bullets[i]);
        } catch (const hwp::HwpError&) {
        }
        out.writeStartElement(kHeadNs, QStringLiteral("bullet"));
        out.writeAttribute(QStringLiteral("id"), Number(static_cast<long long>(i + 1)));
        out.writeAttribute(QStringLiteral("char"), QString(QChar(bullet.character)));
        out.writeAttribute(QStringLiteral("useImage"), Number(bullet.hasPicture && bullet.picture.binItemId > 0));
        out.writeEmptyElement(kHeadNs, QStringLiteral("paraHead"));
        Head(out, bullet.head, 0);
        out.writeEndElement();
    }
    out.writeEndElement();
}

void Margin(QXmlStreamWriter& out, const char* name, std::int32_t value)
{
    out.writeEmptyElement(kCoreNs, QString::fromLatin1(name));
    out.writeAttribute(QStringLiteral("value"), Number(value));
    out.writeAttribute(QStringLiteral("unit"), QStringLiteral("HWPUNIT"));
}

void ParaShapes(QXmlStreamWriter& out, const hwp::Document& document)
{
    out.writeStartElement(kHeadNs, QStringLiteral("paraProperties"));
    out.writeAttribute(QStringLiteral("itemCnt"), Number(static_cast<long long>(document.paraShapes.size())));
    for (std::size_t i = 0; i < document.paraShapes.size(); ++i) {
        const hwp::ParaShape& shape = document.paraShapes[i];
        const std::uint32_t bits = shape.otherProperties1;
        out.writeStartElement(kHeadNs, QStringLiteral("paraPr"));
        out.writeAttribute(QStringLiteral("id"), Number(static_cast<long long>(i)));
        out.writeAttribute(QStringLiteral("tabPrIDRef"), Number(shape.tabDefId));
        out.writeAttribute(QStringLiteral("condense"), Number((bits >> 9) & 0x7F));
        out.writeAttribute(QStringLiteral("fontLineHeight"), Number((bits >> 22) & 1));
        out.writeAttribute(QStringLiteral("snapToGrid"), Number((bits >> 8) & 1));
        out.writeEmptyElement(kHeadNs, QStringLiteral("align"));
        const char* const aligns[] = {"JUSTIFY", "LEFT", "RIGHT", "CENTER", "DISTRIBUTE", "DISTRIBUTE_SPACE"};
        const char* const verticals[] = {"BASELINE", "TOP", "CENTER", "BOTTOM"};
        out.writeAttribute(QStringLiteral("horizontal"), Word(aligns, static_cast<std::size_t>(shape.alignment)));
        out.writeAttribute(QStringLiteral("vertical"), Word(verticals, (bits >> 20) & 3));
        out.writeEmptyElement(kHeadNs, QStringLiteral("heading"));
        const char* const heads[] = {"NONE", "OUTLINE", "NUMBER", "BULLET"};
        out.writeAttribute(QStringLiteral("type"), Word(heads, static_cast<std::size_t>(shape.headKind)));
        out.writeAttribute(QStringLiteral("idRef"), Number(shape.numberingId));
        out.writeAttribute(QStringLiteral("level"), Number(shape.headLevel));
        out.writeEmptyElement(kHeadNs, QStringLiteral("breakSetting"));
        const char* const latin[] = {"KEEP_WORD", "HYPHENATION", "BREAK_WORD"};
        out.writeAttribute(QStringLiteral("breakLatinWord"), Word(latin, (bits >> 5) & 3));
        out.writeAttribute(QStringLiteral("breakNonLatinWord"), (bits >> 7) & 1 ? QStringLiteral("BREAK_WORD") : QStringLiteral("KEEP_WORD"));
        out.writeAttribute(QStringLiteral("widowOrphan"), Number((bits >> 16) & 1));
        out.writeAttribute(QStringLiteral("keepWithNext"), Number((bits >> 17) & 1));
        out.writeAttribute(QStringLiteral("keepLines"), Number((bits >> 18) & 1));
        out.writeAttribute(QStringLiteral("pageBreakBefore"), Number((bits >> 19) & 1));
        out.writeAttribute(QStringLiteral("lineWrap"), QStringLiteral("BREAK"));
        out.writeEmptyElement(kHeadNs, QStringLiteral("autoSpacing"));
        out.writeAttribute(QStringLiteral("eAsianEng"), Number((shape.properties2 >> 4) & 1));
        out.writeAttribute(QStringLiteral("eAsianNum"), Number((shape.properties2 >> 5) & 1));
        // The switch the word processor writes: the case in HwpUnit, the default doubled.
        out.writeStartElement(kParagraphNs, QStringLiteral("switch"));
        for (const bool doubled : {false, true}) {
            out.writeStartElement(kParagraphNs, doubled ? QStringLiteral("default") : QStringLiteral("case"));
            if (!doubled)
                out.writeAttribute(kParagraphNs, QStringLiteral("required-namespace"),
                                   QStringLiteral("http://www.hancom.co.kr/hwpml/2016/HwpUnitChar"));
            const int factor = doubled ? 2 : 1;
            out.writeStartElement(kHeadNs, QStringLiteral("margin"));
            Margin(out, "intent", shape.indent * factor);
            Margin(out, "left", shape.leftMargin * factor);
            Margin(out, "right", shape.rightMargin * factor);
            Margin(out, "prev", shape.spacingBefore * factor);
            Margin(out, "next", shape.spacingAfter * factor);
            out.writeEndElement();
            out.writeEmptyElement(kHeadNs, QStringLiteral("lineSpacing"));
            const char* const kinds[] = {"PERCENT", "FIXED", "BETWEEN_LINES", "AT_LEAST"};
            out.writeAttribute(QStringLiteral("type"), Word(kinds, static_cast<std::size_t>(shape.lineSpacingKind)));
            const bool percent = shape.lineSpacingKind == hwp::LineSpacingKind::Percent;
            out.writeAttribute(QStringLiteral("value"), Number(static_cast<long long>(shape.lineSpacing) * (percent ? 1 : factor)));
            out.writeAttribute(QStringLiteral("unit"), QStringLiteral("HWPUNIT"));
            out.writeEndElement();
        }
        out.writeEndElement();
        out.writeEmptyElement(kHeadNs, QStringLiteral("border"));
        out.writeAttribute(QStringLiteral("borderFillIDRef"), Number(shape.borderFillId));
        out.writeAttribute(QStringLiteral("offsetLeft"), Number(shape.borderOffsets[0]));
        out.writeAttribute(QStringLiteral("offsetRight"), Number(shape.borderOffsets[1]));
        out.writeAttribute(QStringLiteral("offsetTop"), Number(shape.borderOffsets[2]));
        out.writeAttribute(QStringLiteral("offsetBottom"), Number(shape.borderOffsets[3]));
        out.writeAttribute(QStringLiteral("connect"), Number((bits >> 28) & 1));
        out.writeAttribute(QStringLiteral("ignoreMargin"), Number((bits >> 29) & 1));
        out.writeEndElement();
    }
    out.writeEndElement();
}

void Styles(QXmlStreamWriter& out, const hwp::Document& document)
{
    out.writeStartElement(kHeadNs, QStringLiteral("styles"));
    out.writeAttribute(QStringLiteral("itemCnt"), Number(static_cast<long long>(document.styles.size())));
    for (std::size_t i = 0; i < document.styles.size(); ++i) {
        const hwp::Style& style = document.styles[i];
        out.writeEmptyElement(kHeadNs, QStringLiteral("style"));
        out.writeAttribute(QStringLiteral("id"), Number(static_cast<long long>(i)));
        out.writeAttribute(QStringLiteral("type"), style.kind == hwp::StyleKind::Character ? QStringLiteral("CHAR") : QStringLiteral("PARA"));
        out.writeAttribute(QStringLiteral("name"), FromU16(style.name));
        out.writeAttribute(QStringLiteral("engName"), FromU16(style.englishName));
        out.writeAttribute(QStringLiteral("paraPrIDRef"), Number(style.paraShapeId));
        out.writeAttribute(QStringLiteral("charPrIDRef"), Number(style.charShapeId));
        out.writeAttribute(QStringLiteral("nextStyleIDRef"), Number(style.nextStyleId));
        out.writeAttribute(QStringLiteral("langID"), Number(style.langId));
        out.writeAttribute(QStringLiteral("lockForm"), QStringLiteral("0"));
    }
    out.writeEndElement();
}

}  // namespace

void WriteHeaderXml(QXmlStreamWriter& out, const hwp::Document& document, const std::map<std::uint16_t, QString>& binNames)
{
    out.writeStartElement(kHeadNs, QStringLiteral("head"));
    DeclareNamespaces(out);
    out.writeAttribute(QStringLiteral("version"), QStringLiteral("1.4"));
    out.writeAttribute(QStringLiteral("secCnt"), Number(static_cast<long long>(document.sections.size())));
    out.writeEmptyElement(kHeadNs, QStringLiteral("beginNum"));
    const hwp::StartNumbers& start = document.startNumbers;
    out.writeAttribute(QStringLiteral("page"), Number(start.page));
    out.writeAttribute(QStringLiteral("footnote"), Number(start.footnote));
    out.writeAttribute(QStringLiteral("endnote"), Number(start.endnote));
    out.writeAttribute(QStringLiteral("pic"), Number(start.picture));
    out.writeAttribute(QStringLiteral("tbl"), Number(start.table));
    out.writeAttribute(QStringLiteral("equation"), Number(start.equation));
    out.writeStartElement(kHeadNs, QStringLiteral("refList"));
    Faces(out, document);
    BorderFills(out, document, binNames);
    CharShapes(out, document);
    TabDefs(out, document);
    Heads(out, document);
    ParaShapes(out, document);
    Styles(out, document);
    for (const std::string& kept : document.hwpxRefListXml)
        WriteKept(out, kept);
    out.writeEndElement();
    for (const std::string& kept : document.hwpxHeadXml)
        WriteKept(out, kept);
    out.writeEndElement();
}

}  // namespace hwpx
