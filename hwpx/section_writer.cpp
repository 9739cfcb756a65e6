#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#include "hwp/equation.h"
#include "hwp/kept_xml.h"
#include "hwp/error.h"
#include "hwp/notes.h"
#include "hwp/ole.h"
#include "hwp/object_properties.h"
#include "hwp/paragraph.h"
#include "hwp/bytes.h"
#include "hwp/paragraph_list.h"
#include "hwp/picture.h"
#include "hwp/shape.h"
#include "hwp/table.h"
#include "hwpx/bookmarks.h"
#include "hwpx/columns.h"
#include "hwpx/fill_brush.h"
#include "hwpx/fields.h"
#include "hwpx/numbers.h"
#include "hwpx/relative_size.h"
#include "hwpx/values.h"
#include "hwpx/xml_writer.h"

namespace hwpx {
namespace {

QString Number(long long value) { return QString::number(value); }

template <std::size_t N>
QString Word(const char* const (&words)[N], std::size_t index)
{
    return QString::fromLatin1(words[index < N ? index : 0]);
}

void Quad(QXmlStreamWriter& out, const char* name, const std::array<std::int16_t, 4>& values)
{
    out.writeEmptyElement(kParagraphNs, QString::fromLatin1(name));
    out.writeAttribute(QStringLiteral("left"), Number(values[0]));
    out.writeAttribute(QStringLiteral("right"), Number(values[1]));
    out.writeAttribute(QStringLiteral("top"), Number(values[2]));
    out.writeAttribute(QStringLiteral("bottom"), Number(values[3]));
}

// What a picture and a drawn shape both start with: the size they were made at and are
// shown at (width, height each), and their outline, whose element stays open for more.
void SizesAndOutline(QXmlStreamWriter& out, const std::array<long long, 4>& sizes, hwp::ColorRef color, long long width)
{
    const QString names[] = {QStringLiteral("orgSz"), QStringLiteral("curSz")};
    for (std::size_t k = 0; k < 2; ++k) {
        out.writeEmptyElement(kParagraphNs, names[k]);
        out.writeAttribute(QStringLiteral("width"), Number(sizes[2 * k]));
        out.writeAttribute(QStringLiteral("height"), Number(sizes[2 * k + 1]));
    }
    out.writeEmptyElement(kParagraphNs, QStringLiteral("lineShape"));
    out.writeAttribute(QStringLiteral("color"), ColorText(color));
    out.writeAttribute(QStringLiteral("width"), Number(width));
}

void ObjectAttributes(QXmlStreamWriter& out, const hwp::ObjectProperties& object)
{
    const char* const wraps[] = {"SQUARE", "TOP_AND_BOTTOM", "BEHIND_TEXT", "IN_FRONT_OF_TEXT"};
    const char* const flows[] = {"BOTH_SIDES", "LEFT_ONLY", "RIGHT_ONLY", "LARGEST_ONLY"};
    const char* const numberings[] = {"NONE", "PICTURE", "TABLE", "EQUATION"};
    out.writeAttribute(QStringLiteral("id"), Number(object.instanceId));
    out.writeAttribute(QStringLiteral("zOrder"), Number(object.zOrder));
    out.writeAttribute(QStringLiteral("numberingType"), Word(numberings, static_cast<std::size_t>(object.numbering)));
    out.writeAttribute(QStringLiteral("textWrap"), Word(wraps, static_cast<std::size_t>(object.wrap)));
    out.writeAttribute(QStringLiteral("textFlow"), Word(flows, object.textSide));
    out.writeAttribute(QStringLiteral("lock"), QStringLiteral("0"));
}

void ObjectPlacement(QXmlStreamWriter& out, const hwp::ObjectProperties& object)
{
    const char* const widthBases[] = {"PAPER", "PAGE", "COLUMN", "PARA", "ABSOLUTE"};
    const char* const heightBases[] = {"PAPER", "PAGE", "ABSOLUTE"};
    const char* const verticals[] = {"PAPER", "PAGE", "PARA"};
    const char* const horizontals[] = {"PAPER", "PAGE", "COLUMN", "PARA"};
    const char* const vAligns[] = {"TOP", "CENTER", "BOTTOM", "INSIDE", "OUTSIDE"};
    const char* const hAligns[] = {"LEFT", "CENTER", "RIGHT", "INSIDE", "OUTSIDE"};
    out.writeEmptyElement(kParagraphNs, QStringLiteral("sz"));
    out.writeAttribute(QStringLiteral("width"), Number(object.width));
    out.writeAttribute(QStringLiteral("widthRelTo"), Word(widthBases, object.widthBasis));
    out.writeAttribute(QStringLiteral("height"), Number(object.height));
    out.writeAttribute(QStringLiteral("heightRelTo"), Word(heightBases, object.heightBasis));
    out.writeAttribute(QStringLiteral("protect"), Number(object.protectSize));
    out.writeEmptyElement(kParagraphNs, QStringLiteral("pos"));
    out.writeAttribute(QStringLiteral("treatAsChar"), Number(object.inlineAsChar));
    out.writeAttribute(QStringLiteral("affectLSpacing"), Number(object.affectsLineSpacing));
    out.writeAttribute(QStringLiteral("flowWithText"), Number(object.flowWithText));
    out.writeAttribute(QStringLiteral("allowOverlap"), Number(object.allowOverlap));
    out.writeAttribute(QStringLiteral("holdAnchorAndSO"), QStringLiteral("0"));
    out.writeAttribute(QStringLiteral("vertRelTo"), Word(verticals, static_cast<std::size_t>(object.vertRelTo)));
    out.writeAttribute(QStringLiteral("horzRelTo"), Word(horizontals, static_cast<std::size_t>(object.horzRelTo)));
    out.writeAttribute(QStringLiteral("vertAlign"), Word(vAligns, object.vertAlign));
    out.writeAttribute(QStringLiteral("horzAlign"), Word(hAligns, object.horzAlign));
    out.writeAttribute(QStringLiteral("vertOffset"), Number(object.verticalOffset));
    out.writeAttribute(QStringLiteral("horzOffset"), Number(object.horizontalOffset));
    Quad(out, "outMargin", object.outerMargins);
}

double DoubleAt(const hwp::Bytes& data, std::size_t at)
{
    std::uint64_t bits = 0;
    for (std::size_t i = 8; i-- > 0;)
        bits = (bits << 8) | data[at + i];
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return std::isfinite(value) ? value : 0.0;
}

// What every drawn object's shape component holds, `component` laid out as a top-level
// object's (its id twice): its offset in its group, its original and current size, flips,
// rotation, and the matrices that place it (the translation, then scale and rotation
// pairs). The reader takes a group member's matrices whole.
void ComponentCommonPart(QXmlStreamWriter& out, const hwp::Bytes& component)
{
    const auto number = [&component](std::size_t at, int size) {
        if (at + static_cast<std::size_t>(size) > component.size())
            return QStringLiteral("0");
        const std::uint32_t value = hwp::LittleEndianAt(component, at, size);
        return Number(size == 2 ? static_cast<std::int16_t>(value) : static_cast<std::int32_t>(value));
    };
    const auto pair = [&](const char* name, const char* first, const char* second, std::size_t at) {
        out.writeEmptyElement(kParagraphNs, QString::fromLatin1(name));
        out.writeAttribute(QString::fromLatin1(first), number(at, 4));
        out.writeAttribute(QString::fromLatin1(second), number(at + 4, 4));
    };
    pair("offset", "x", "y", 8);
    pair("orgSz", "width", "height", 20);
    pair("curSz", "width", "height", 28);
    const std::uint32_t flips = component.size() >= 40 ? hwp::LittleEndianAt(component, 36, 4) : 0;
    out.writeEmptyElement(kParagraphNs, QStringLiteral("flip"));
    out.writeAttribute(QStringLiteral("horizontal"), Number(flips & 1));
    out.writeAttribute(QStringLiteral("vertical"), Number((flips >> 1) & 1));
    out.writeEmptyElement(kParagraphNs, QStringLiteral("rotationInfo"));
    out.writeAttribute(QStringLiteral("angle"), number(40, 2));
    out.writeAttribute(QStringLiteral("centerX"), number(42, 4));
    out.writeAttribute(QStringLiteral("centerY"), number(46, 4));
    out.writeAttribute(QStringLiteral("rotateimage"), QStringLiteral("1"));
    if (hwp::ShapeLineInfoAt(component, true) == 0)
        return;   // no whole matrices: the reader makes its own
    out.writeStartElement(kParagraphNs, QStringLiteral("renderingInfo"));
    const std::size_t pairs = hwp::LittleEndianAt(component, 50, 2);
    for (std::size_t m = 0; m < 1 + 2 * pairs; ++m) {
        const char* name = m == 0 ? "transMatrix" : m % 2 == 1 ? "scaMatrix" : "rotMatrix";
        out.writeEmptyElement(kCoreNs, QString::fromLatin1(name));
        for (std::size_t e = 0; e < 6; ++e)
            out.writeAttribute(QStringLiteral("e%1").arg(e + 1),
                               QString::number(DoubleAt(component, 52 + 48 * m + 8 * e), 'g', QLocale::FloatingPointShortest));
    }
    out.writeEndElement();
}

// The common part's elements, which an element as read holds as the word processor wrote
// them and the model holds only in part.
bool IsCommonPart(const XmlNode& node)
{
    return node.name == u"offset" || node.name == u"flip" || node.name == u"rotationInfo" || node.name == u"renderingInfo";
}

// The member of a group whose shape component is records[at] (one level below the group's,
// its id written once) as a drawing control of its own: a header of its current size, the
// component with its id twice, the records below it raised to a top-level object's levels.
hwp::Control MemberControl(const std::vector<hwp::ObjectRecord>& records, std::size_t at)
{
    const hwp::ObjectRecord& component = records[at];
    hwp::Control member;
    member.ctrlId = hwp::kDrawingCtrlId;
    hwp::ObjectProperties object;
    if (component.data.size() >= 32) {
        object.width = static_cast<hwp::HwpUnit>(hwp::LittleEndianAt(component.data, 24, 4));
        object.height = static_cast<hwp::HwpUnit>(hwp::LittleEndianAt(component.data, 28, 4));
    }
    member.records.push_back({hwp::tag::kCtrlHeader, 0, hwp::WriteObjectProperties(hwp::kDrawingCtrlId, object)});
    hwp::Bytes data(component.data.begin(), component.data.begin() + std::min<std::ptrdiff_t>(4, std::ssize(component.data)));
    data.insert(data.end(), component.data.begin(), component.data.end());
    member.records.push_back({hwp::tag::kShapeComponent, 1, std::move(data)});
    for (std::size_t i = at + 1; i < records.size() && records[i].level > component.level; ++i) {
        hwp::ObjectRecord raised = records[i];
        raised.level = static_cast<std::uint16_t>(records[i].level - component.level + 1);
        member.records.push_back(std::move(raised));
    }
    return member;
}

// The first shape component right under the control's header; records.size() when none.
std::size_t TopComponent(const hwp::Control& control)
{
    std::size_t at = 0;
    while (at < control.records.size() &&
           !(control.records[at].level == 1 && control.records[at].tag == hwp::tag::kShapeComponent))
        ++at;
    return at;
}

constexpr std::uint32_t kContainerId = hwp::CtrlId('$', 'c', 'o', 'n');
// Groups in groups deeper than this are left out: no drawing nests so, and the reader
// refuses elements nested past its own bound.
constexpr int kMaxGroupLevels = 16;

bool IsGroup(const hwp::Control& control)
{
    const std::size_t at = TopComponent(control);
    return control.ctrlId == hwp::kDrawingCtrlId && at < control.records.size() &&
           control.records[at].data.size() >= 4 && hwp::LittleEndianAt(control.records[at].data, 0, 4) == kContainerId;
}

class SectionWriter {
public:
    SectionWriter(QXmlStreamWriter& out, const hwp::Document& document, const SizeBases& sectionBases,
                  const std::map<std::uint16_t, QString>& binNames, std::uint32_t& fieldIds)
        : m_out(out), m_document(document), m_sectionBases(sectionBases), m_bases(sectionBases), m_binNames(binNames),
          m_fieldIds(fieldIds)
    {
    }

    void Paragraph(const hwp::Paragraph& paragraph, const hwp::Section* section);

private:
    void List(const std::vector<hwp::Paragraph>& paragraphs, const QString& vertAlign, hwp::HwpUnit width,
              hwp::HwpUnit height);
    void SectionDefinition(const hwp::Section& section);
    bool KeptSectionDefinition(const hwp::Section& section);
    bool Control(const hwp::Control& control);
    bool Object(const hwp::Control& control);
    bool MergedObject(const hwp::Control& control, const std::string& kept);
    void LineSegments(const hwp::Paragraph& paragraph, const std::vector<std::uint32_t>& units);
    void Table(const hwp::Table& table);
    // `groupLevel` counts the groups an object stands in; a member (above 0) has no
    // placement or caption of its own.
    void Picture(const hwp::Picture& picture, int groupLevel = 0);
    void Equation(const hwp::Equation& equation);
    void Shape(const hwp::Control& control, const hwp::Shape& shape, int groupLevel = 0);
    void Container(const hwp::Control& control, int groupLevel = 0);
    bool Ole(const hwp::Control& control, int groupLevel = 0);
    void DrawText(const hwp::Control& control, const hwp::Shape& shape);
    void Caption(const std::vector<hwp::ObjectRecord>& records, std::size_t at);
    std::uint32_t Field(const hwp::Control& control, std::uint32_t at, std::size_t textSize);
    void FieldEnd(std::uint32_t id);
    void OpenText();
    void CloseText();

    QXmlStreamWriter& m_out;
    const hwp::Document& m_document;
    // What sizes are shares of: the section's page and columns, the paragraph being written.
    const SizeBases m_sectionBases;
    SizeBases m_bases;
    const std::map<std::uint16_t, QString>& m_binNames;
    bool m_textOpen = false;
    std::uint32_t& m_fieldIds;   // the part's
    // Fields other than click-here ones begun in the paragraph being written and not yet
    // ended: where each ends, and its id.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_openLinks;
};

void SectionWriter::OpenText()
{
    if (!m_textOpen)
        m_out.writeStartElement(kParagraphNs, QStringLiteral("t"));
    m_textOpen = true;
}

void SectionWriter::CloseText()
{
    if (m_textOpen)
        m_out.writeEndElement();
    m_textOpen = false;
}

void SectionWriter::List(const std::vector<hwp::Paragraph>& paragraphs, const QString& vertAlign, hwp::HwpUnit width,
                         hwp::HwpUnit height)
{
    m_out.writeStartElement(kParagraphNs, QStringLiteral("subList"));
    m_out.writeAttribute(QStringLiteral("textDirection"), QStringLiteral("HORIZONTAL"));
    m_out.writeAttribute(QStringLiteral("lineWrap"), QStringLiteral("BREAK"));
    m_out.writeAttribute(QStringLiteral("vertAlign"), vertAlign);
    m_out.writeAttribute(QStringLiteral("textWidth"), Number(width));
    m_out.writeAttribute(QStringLiteral("textHeight"), Number(height));
    for (const hwp::Paragraph& paragraph : paragraphs)
        Paragraph(paragraph, nullptr);
    m_out.writeEndElement();
}

// The settings as read, with what the model holds of them patched in.
bool SectionWriter::KeptSectionDefinition(const hwp::Section& section)
{
    if (section.hwpxSettingsXml.empty() || section.hwpxColumnsXml.empty())
        return false;
    XmlNode settings;
    XmlNode columns;
    try {
        settings = ParseXml(section.hwpxSettingsXml, "the section's settings");
        columns = ParseXml(section.hwpxColumnsXml, "the section's columns");
    } catch (const hwp::HwpError&) {
        return false;
    }
    const hwp::PageDef& page = section.page;
    SetAttr(settings, QStringLiteral("spaceColumns"), Number(section.columnGap));
    for (XmlNode& child : settings.children) {
        if (child.name != u"pagePr")
            continue;
        const char* const gutters[] = {"LEFT_ONLY", "LEFT_RIGHT", "TOP_BOTTOM"};
        SetAttr(child, QStringLiteral("landscape"), page.landscape ? QStringLiteral("NARROWLY") : QStringLiteral("WIDELY"));
        SetAttr(child, QStringLiteral("width"), Number(page.width));
        SetAttr(child, QStringLiteral("height"), Number(page.height));
        SetAttr(child, QStringLiteral("gutterType"), Word(gutters, page.gutterKind));
        for (XmlNode& margin : child.children) {
            if (margin.name != u"margin")
                continue;
            const std::pair<const char*, hwp::HwpUnit> values[] = {
                {"header", page.headerMargin}, {"footer", page.footerMargin}, {"gutter", page.gutterMargin},
                {"left", page.leftMargin},     {"right", page.rightMargin},   {"top", page.topMargin},
                {"bottom", page.bottomMargin}};
            for (const auto& [key, value] : values)
                SetAttr(margin, QString::fromLatin1(key), Number(value));
        }
    }
    // Widths given for another count say nothing of these columns: they are of equal width.
    if (columns.Attr(u"colCount") != Number(section.columnCount)) {
        std::erase_if(columns.children, [](const XmlNode& child) { return child.name == u"colSz"; });
        SetAttr(columns, QStringLiteral("sameSz"), QStringLiteral("1"));
    }
    SetAttr(columns, QStringLiteral("colCount"), Number(section.columnCount));
    SetAttr(columns, QStringLiteral("sameGap"), Number(section.columnGap));
    WriteKept(m_out, settings);
    m_out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
    WriteKept(m_out, columns);
    m_out.writeEndElement();
    return true;
}

void SectionWriter::SectionDefinition(const hwp::Section& section)
{
    if (KeptSectionDefinition(section))
        return;
    const hwp::PageDef& page = section.page;
    m_out.writeStartElement(kParagraphNs, QStringLiteral("secPr"));
    m_out.writeAttribute(QStringLiteral("textDirection"), QStringLiteral("HORIZONTAL"));
    m_out.writeAttribute(QStringLiteral("spaceColumns"), Number(section.columnGap));
    m_out.writeStartElement(kParagraphNs, QStringLiteral("pagePr"));
    m_out.writeAttribute(QStringLiteral("landscape"), page.landscape ? QStringLiteral("NARROWLY") : QStringLiteral("WIDELY"));
    m_out.writeAttribute(QStringLiteral("width"), Number(page.width));
    m_out.writeAttribute(QStringLiteral("height"), Number(page.height));
    const char* const gutters[] = {"LEFT_ONLY", "LEFT_RIGHT", "TOP_BOTTOM"};
    m_out.writeAttribute(QStringLiteral("gutterType"), Word(gutters, page.gutterKind));
    m_out.writeEmptyElement(kParagraphNs, QStringLiteral("margin"));
    m_out.writeAttribute(QStringLiteral("header"), Number(page.headerMargin));
    m_out.writeAttribute(QStringLiteral("footer"), Number(page.footerMargin));
    m_out.writeAttribute(QStringLiteral("gutter"), Number(page.gutterMargin));
    m_out.writeAttribute(QStringLiteral("left"), Number(page.leftMargin));
    m_out.writeAttribute(QStringLiteral("right"), Number(page.rightMargin));
    m_out.writeAttribute(QStringLiteral("top"), Number(page.topMargin));
    m_out.writeAttribute(QStringLiteral("bottom"), Number(page.bottomMargin));
    m_out.writeEndElement();
    m_out.writeEndElement();
    m_out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
    WriteColumnsElement(m_out, hwp::ColumnsOf(section));   // kind, widths and line kept
    m_out.writeEndElement();
}

void SectionWriter::Paragraph(const hwp::Paragraph& paragraph, const hwp::Section* section)
{
    m_out.writeStartElement(kParagraphNs, QStringLiteral("p"));
    m_out.writeAttribute(QStringLiteral("id"), QStringLiteral("0"));
    m_out.writeAttribute(QStringLiteral("paraPrIDRef"), Number(paragraph.paraShapeId));
    m_out.writeAttribute(QStringLiteral("styleIDRef"), Number(paragraph.styleId));
    m_out.writeAttribute(QStringLiteral("pageBreak"), Number((paragraph.breakFlags & hwp::kBreakPage) != 0));
    m_out.writeAttribute(QStringLiteral("columnBreak"), Number((paragraph.breakFlags & hwp::kBreakColumn) != 0));
    m_out.writeAttribute(QStringLiteral("merged"), QStringLiteral("0"));
    const SizeBases outerBases = std::exchange(m_bases, ParagraphBases(m_sectionBases, m_document, paragraph.paraShapeId));
    const auto outerLinks = std::exchange(m_openLinks, {});
    const std::u16string& text = paragraph.text;
    std::size_t run = 0;
    std::size_t control = 0;
    std::vector<std::uint32_t> fieldIds;
    for (std::size_t i = 0; i < paragraph.fields.size(); ++i)
        fieldIds.push_back(m_fieldIds++);
    // Where each text index starts in the units lines are counted in: eight for an object,
    // a control or a tab, one for a character.
    std::vector<std::uint32_t> units(text.size() + 1, 0);
    std::uint32_t unit = 0;
    for (std::uint32_t at = 0; at <= text.size(); ++at) {
        units[at] = unit;
        const bool newRun = run < paragraph.charShapes.size() && paragraph.charShapes[run].position <= at;
        if (newRun || at == 0) {
            CloseText();
            if (at != 0)
                m_out.writeEndElement();
            while (run + 1 < paragraph.charShapes.size() && paragraph.charShapes[run + 1].position <= at)
                ++run;
            m_out.writeStartElement(kParagraphNs, QStringLiteral("run"));
            m_out.writeAttribute(QStringLiteral("charPrIDRef"),
                                 Number(paragraph.charShapes.empty() ? 0 : paragraph.charShapes[run].charShapeId));
            ++run;
            if (at == 0 && section != nullptr) {
                SectionDefinition(*section);
                unit += 16;
            }
        }
        for (auto link = m_openLinks.begin(); link != m_openLinks.end();) {
            if (link->first != at) {
                ++link;
                continue;
            }
            FieldEnd(link->second);
            unit += 8;
            units[at] = unit;
            link = m_openLinks.erase(link);
        }
        for (std::size_t f = 0; f < paragraph.fields.size(); ++f) {
            const hwp::Field& field = paragraph.fields[f];
            if (field.end == at && field.begin < at) {
                FieldEnd(fieldIds[f]);
                unit += 8;
                units[at] = unit;   // a field's end stays on the line before
            }
            if (field.begin == at) {
                unit += field.end == at ? 16 : 8;
                CloseText();
                m_out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
                m_out.writeStartElement(kParagraphNs, QStringLiteral("fieldBegin"));
                m_out.writeAttribute(QStringLiteral("id"), Number(fieldIds[f]));
                m_out.writeAttribute(QStringLiteral("type"), QStringLiteral("CLICK_HERE"));
                m_out.writeAttribute(QStringLiteral("name"), FromU16(field.name));
                m_out.writeAttribute(QStringLiteral("editable"), Number(field.editableInForm));
                m_out.writeStartElement(kParagraphNs, QStringLiteral("parameters"));
                m_out.writeAttribute(QStringLiteral("cnt"), QStringLiteral("1"));
                m_out.writeStartElement(kParagraphNs, QStringLiteral("stringParam"));
                m_out.writeAttribute(QStringLiteral("name"), QStringLiteral("Command"));
                QString command = FromU16(field.command);
                if (command.isEmpty()) {
                    const QString guide = FromU16(field.guide);
                    const QString inner = QStringLiteral("Direction:wstring:%1:%2 HelpState:wstring:0: ").arg(guide.size()).arg(guide);
                    command = QStringLiteral("Clickhere:set:%1:%2").arg(inner.size()).arg(inner);
                }
                m_out.writeCharacters(command);
                m_out.writeEndElement();
                m_out.writeEndElement();
                m_out.writeEndElement();
                if (field.end == at) {
                    m_out.writeStartElement(kParagraphNs, QStringLiteral("fieldEnd"));
                    m_out.writeAttribute(QStringLiteral("beginIDRef"), Number(fieldIds[f]));
                    m_out.writeEndElement();
                }
                m_out.writeEndElement();
            }
        }
        for (; control < paragraph.controls.size() && paragraph.controls[control].position <= at; ++control) {
            const hwp::Control& item = paragraph.controls[control];
            unit += IsKeptField(item) ? Field(item, at, text.size()) : Control(item) ? 8 : 0;
        }
        if (at == text.size())
            break;
        const char16_t c = text[at];
        unit += c == u'\t' ? 8 : 1;
        const char* empty = c == u'\t' ? "tab" : c == u'\n' ? "lineBreak" : c == 0x00AD ? "hyphen" : c == 0x00A0 ? "nbSpace" : c == 0x2007 ? "fwSpace" : nullptr;
        OpenText();
        if (empty != nullptr)
            m_out.writeEmptyElement(kParagraphNs, QString::fromLatin1(empty));
        else
            m_out.writeCharacters(QString(QChar(c)));
    }
    CloseText();
    m_out.writeEndElement();   // run
    LineSegments(paragraph, units);
    m_out.writeEndElement();   // p
    m_bases = outerBases;
    m_openLinks = outerLinks;
}

// The lines the paragraph was read or laid out with, while they fit its text; a paragraph
// without them is laid out by whoever reads the file.
void SectionWriter::LineSegments(const hwp::Paragraph& paragraph, const std::vector<std::uint32_t>& units)
{
    const std::vector<hwp::LineSegment>& lines = paragraph.lineLayout.segments;
    if (lines.empty() || lines.front().textStart != 0)
        return;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        if (lines[k].textStart < lines[k - 1].textStart || lines[k].textStart > paragraph.text.size())
            return;
    }
    m_out.writeStartElement(kParagraphNs, QStringLiteral("linesegarray"));
    for (const hwp::LineSegment& line : lines) {
        m_out.writeEmptyElement(kParagraphNs, QStringLiteral("lineseg"));
        // The first line holds whatever the paragraph starts with, its section's settings too.
        m_out.writeAttribute(QStringLiteral("textpos"), Number(line.textStart == 0 ? 0 : units[line.textStart]));
        m_out.writeAttribute(QStringLiteral("vertpos"), Number(line.top));
        m_out.writeAttribute(QStringLiteral("vertsize"), Number(line.height));
        m_out.writeAttribute(QStringLiteral("textheight"), Number(line.textHeight));
        m_out.writeAttribute(QStringLiteral("baseline"), Number(line.baseline));
        m_out.writeAttribute(QStringLiteral("spacing"), Number(line.spacing));
        m_out.writeAttribute(QStringLiteral("horzpos"), Number(line.columnStart));
        m_out.writeAttribute(QStringLiteral("horzsize"), Number(line.width));
        m_out.writeAttribute(QStringLiteral("flags"), Number(line.flags));
    }
    m_out.writeEndElement();
}

// Whether the control became an element.
bool SectionWriter::Control(const hwp::Control& control)
{
    const std::optional<hwp::KeptXml> kept = hwp::ReadKeptXml(control);
    if (kept && kept->place == hwp::XmlPlace::Text) {
        OpenText();
    } else {
        CloseText();
    }
    try {
        if (kept) {
            const XmlNode element = ParseXml(kept->xml, "a kept element");
            if (kept->place == hwp::XmlPlace::Ctrl)
                m_out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
            WriteKept(m_out, element);
            if (kept->place == hwp::XmlPlace::Ctrl)
                m_out.writeEndElement();
            return true;
        }
        if (const std::optional<std::string> rest = hwp::KeptXmlOf(control)) {
            try {
                return MergedObject(control, *rest);
            } catch (const hwp::HwpError&) {
                return Object(control);   // what was kept is no XML: the model's own
            }
        }
        return Object(control);
    } catch (const hwp::HwpError&) {
        return false;   // a damaged object has no element to become
    }
}

// The object as the model has it, with what it was read from beyond that.
bool SectionWriter::MergedObject(const hwp::Control& control, const std::string& kept)
{
    QString text;
    QXmlStreamWriter temporary(&text);
    temporary.writeStartElement(kSectionNs, QStringLiteral("sec"));
    DeclareNamespaces(temporary);
    SectionWriter inner(temporary, m_document, m_sectionBases, m_binNames, m_fieldIds);
    inner.m_bases = m_bases;
    inner.Object(control);
    temporary.writeEndElement();
    XmlNode ours = ParseXml(text.toStdString(), "an object");
    const XmlNode read = ParseXml(kept, "a kept object");
    // Arcs, polygons, curves and groups go back as read, text and all.
    if (ours.children.empty() || read.name == u"arc" || read.name == u"polygon" || read.name == u"curve" ||
        read.name == u"container") {
        WriteKept(m_out, read);
        return true;
    }
    // The placement in a group, flips and matrices as read: the model holds them in part.
    std::erase_if(ours.children.front().children, [](const XmlNode& child) { return IsCommonPart(child); });
    XmlNode merged = MergeKept(std::move(ours.children.front()), read);
    const auto child = [&merged](QStringView name) {
        return std::find_if(merged.children.begin(), merged.children.end(),
                            [name](const XmlNode& node) { return node.name == name; });
    };
    if (const XmlNode* size = read.Child(u"sz"); size != nullptr && child(u"sz") != merged.children.end())
        RestoreRelativeSize(*child(u"sz"), *size, m_bases);
    // A caption goes back as read, its list's settings and all.
    if (const XmlNode* caption = read.Child(u"caption"); caption != nullptr && child(u"caption") != merged.children.end())
        *child(u"caption") = *caption;
    WriteKept(m_out, merged);
    return true;
}

bool SectionWriter::Object(const hwp::Control& control)
{
    try {
        if (hwp::IsTable(control)) {
            Table(hwp::ReadTable(control));
        } else if (hwp::IsPicture(control)) {
            Picture(hwp::ReadPicture(control));
        } else if (hwp::IsEquation(control)) {
            Equation(hwp::ReadEquation(control));
        } else if (const auto shape = hwp::ReadShape(control)) {
            Shape(control, *shape);
        } else if (IsGroup(control)) {
            Container(control);
        } else if (const auto furniture = hwp::ReadHeaderFooter(control)) {
            m_out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
            m_out.writeStartElement(kParagraphNs, furniture->footer ? QStringLiteral("footer") : QStringLiteral("header"));
            const char* const pages[] = {"BOTH", "EVEN", "ODD"};
            m_out.writeAttribute(QStringLiteral("applyPageType"), Word(pages, static_cast<std::size_t>(furniture->pages)));
            const char* const aligns[] = {"TOP", "CENTER", "BOTTOM"};
            List(furniture->paragraphs, Word(aligns, static_cast<std::size_t>(furniture->VerticalAlign())), furniture->width,
                 furniture->height);
            m_out.writeEndElement();
            m_out.writeEndElement();
        } else if (const auto note = hwp::ReadNote(control)) {
            m_out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
            m_out.writeStartElement(kParagraphNs, note->endnote ? QStringLiteral("endNote") : QStringLiteral("footNote"));
            m_out.writeAttribute(QStringLiteral("number"), Number(note->number));
            List(note->paragraphs, QStringLiteral("TOP"), 0, 0);
            m_out.writeEndElement();
            m_out.writeEndElement();
        } else if (!Ole(control) && !WriteNumberElement(m_out, control) && !WriteBookmarkElement(m_out, control) &&
                   !WriteColumnsElement(m_out, control)) {
            return false;
        }
        return true;
    } catch (const hwp::HwpError&) {
        return false;   // a damaged object has no element to become
    }
}

// A field other than a click-here field (its end in the model's text, or in a later
// paragraph, where it ends with this one) as HWPX marks one; the command as the file has
// it. The units it takes in the line count.
std::uint32_t SectionWriter::Field(const hwp::Control& control, std::uint32_t at, std::size_t textSize)
{
    const std::optional<FieldControl> field = ReadFieldControl(control);
    if (!field)
        return 0;   // a damaged field has no element to become
    CloseText();
    const std::uint32_t id = m_fieldIds++;
    m_out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
    WriteFieldBegin(m_out, *field, id);
    m_out.writeEndElement();
    const std::uint32_t end = static_cast<std::uint32_t>(std::min<std::size_t>(control.end, textSize));
    if (end > at) {
        m_openLinks.emplace_back(end, id);
        return 8;
    }
    FieldEnd(id);
    return 16;
}

void SectionWriter::FieldEnd(std::uint32_t id)
{
    CloseText();
    m_out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
    m_out.writeEmptyElement(kParagraphNs, QStringLiteral("fieldEnd"));
    m_out.writeAttribute(QStringLiteral("beginIDRef"), Number(id));
    m_out.writeEndElement();
}

// An object's caption, from its list (the LIST_HEADER at records[at] and its paragraphs):
// after the header's paragraph count and list bits, the side (and whether it spans the
// margins too), its width, the gap and the width it was laid out at.
void SectionWriter::Caption(const std::vector<hwp::ObjectRecord>& records, std::size_t at)
{
    if (at >= records.size() || records[at].tag != hwp::tag::kListHeader || records[at].data.size() < 22)
        return;
    hwp::ParagraphList list;
    try {
        list = hwp::ReadParagraphList(records, at);
    } catch (const hwp::HwpError&) {
        return;   // a damaged caption has no element to become
    }
    const hwp::Bytes& head = records[at].data;
    const std::uint32_t side = hwp::LittleEndianAt(head, 8, 4);
    const char* const sides[] = {"LEFT", "RIGHT", "TOP", "BOTTOM"};
    const char* const aligns[] = {"TOP", "CENTER", "BOTTOM"};
    m_out.writeStartElement(kParagraphNs, QStringLiteral("caption"));
    m_out.writeAttribute(QStringLiteral("side"), Word(sides, side & 3));
    m_out.writeAttribute(QStringLiteral("fullSz"), Number((side >> 2) & 1));
    m_out.writeAttribute(QStringLiteral("width"), Number(static_cast<std::int32_t>(hwp::LittleEndianAt(head, 12, 4))));
    m_out.writeAttribute(QStringLiteral("gap"), Number(static_cast<std::int16_t>(hwp::LittleEndianAt(head, 16, 2))));
    m_out.writeAttribute(QStringLiteral("lastWidth"), Number(static_cast<std::int32_t>(hwp::LittleEndianAt(head, 18, 4))));
    List(list.paragraphs, Word(aligns, (hwp::LittleEndianAt(head, 4, 4) >> 5) & 3), 0, 0);
    m_out.writeEndElement();
}

void SectionWriter::Table(const hwp::Table& table)
{
    m_out.writeStartElement(kParagraphNs, QStringLiteral("tbl"));
    ObjectAttributes(m_out, table.object);
    const char* const breaks[] = {"NONE", "CELL", "TABLE"};
    m_out.writeAttribute(QStringLiteral("pageBreak"), Word(breaks, static_cast<std::size_t>(table.pageBreak)));
    m_out.writeAttribute(QStringLiteral("repeatHeader"), Number(table.repeatHeaderRow));
    m_out.writeAttribute(QStringLiteral("rowCnt"), Number(table.rows));
    m_out.writeAttribute(QStringLiteral("colCnt"), Number(table.columns));
    m_out.writeAttribute(QStringLiteral("cellSpacing"), Number(table.cellSpacing));
    m_out.writeAttribute(QStringLiteral("borderFillIDRef"), Number(table.borderFillId));
    m_out.writeAttribute(QStringLiteral("noAdjust"), QStringLiteral("0"));
    ObjectPlacement(m_out, table.object);
    Caption(table.caption, 0);
    Quad(m_out, "inMargin", table.innerMargins);
    const char* const aligns[] = {"TOP", "CENTER", "BOTTOM"};
    for (std::size_t i = 0; i < table.cells.size();) {
        const std::uint16_t row = table.cells[i].row;
        m_out.writeStartElement(kParagraphNs, QStringLiteral("tr"));
        for (; i < table.cells.size() && table.cells[i].row == row; ++i) {
            const hwp::TableCell& cell = table.cells[i];
            m_out.writeStartElement(kParagraphNs, QStringLiteral("tc"));
            m_out.writeAttribute(QStringLiteral("header"), Number(hwp::IsHeaderCell(cell)));
            m_out.writeAttribute(QStringLiteral("borderFillIDRef"), Number(cell.borderFillId));
            List(cell.paragraphs, Word(aligns, static_cast<std::size_t>(cell.verticalAlign)), 0, 0);
            m_out.writeEmptyElement(kParagraphNs, QStringLiteral("cellAddr"));
            m_out.writeAttribute(QStringLiteral("colAddr"), Number(cell.column));
            m_out.writeAttribute(QStringLiteral("rowAddr"), Number(cell.row));
            m_out.writeEmptyElement(kParagraphNs, QStringLiteral("cellSpan"));
            m_out.writeAttribute(QStringLiteral("colSpan"), Number(cell.columnSpan));
            m_out.writeAttribute(QStringLiteral("rowSpan"), Number(cell.rowSpan));
            m_out.writeEmptyElement(kParagraphNs, QStringLiteral("cellSz"));
            m_out.writeAttribute(QStringLiteral("width"), Number(cell.width));
            m_out.writeAttribute(QStringLiteral("height"), Number(cell.height));
            Quad(m_out, "cellMargin", cell.margins);
            m_out.writeEndElement();
        }
        m_out.writeEndElement();
    }
    m_out.writeEndElement();
}

void SectionWriter::Picture(const hwp::Picture& picture, int groupLevel)
{
    m_out.writeStartElement(kParagraphNs, QStringLiteral("pic"));
    ObjectAttributes(m_out, groupLevel > 0 ? hwp::ObjectProperties{} : picture.object);
    if (groupLevel > 0) {
        // A member is placed by its component's matrices.
        m_out.writeAttribute(QStringLiteral("groupLevel"), Number(groupLevel));
        ComponentCommonPart(m_out, picture.component);
        m_out.writeEmptyElement(kParagraphNs, QStringLiteral("lineShape"));
        m_out.writeAttribute(QStringLiteral("color"), ColorText(picture.borderColor));
        m_out.writeAttribute(QStringLiteral("width"), Number(picture.borderWidth));
    } else {
        SizesAndOutline(m_out, {picture.originalWidth, picture.originalHeight, picture.width, picture.height},
                        picture.borderColor, picture.borderWidth);
    }
    m_out.writeStartElement(kParagraphNs, QStringLiteral("imgRect"));
    for (int i = 0; i < 4; ++i) {
        m_out.writeEmptyElement(kCoreNs, QStringLiteral("pt%1").arg(i));
        m_out.writeAttribute(QStringLiteral("x"), Number(picture.corners[static_cast<std::size_t>(2 * i)]));
        m_out.writeAttribute(QStringLiteral("y"), Number(picture.corners[static_cast<std::size_t>(2 * i + 1)]));
    }
    m_out.writeEndElement();
    m_out.writeEmptyElement(kParagraphNs, QStringLiteral("imgClip"));
    m_out.writeAttribute(QStringLiteral("left"), Number(picture.crop.left));
    m_out.writeAttribute(QStringLiteral("right"), Number(picture.crop.right));
    m_out.writeAttribute(QStringLiteral("top"), Number(picture.crop.top));
    m_out.writeAttribute(QStringLiteral("bottom"), Number(picture.crop.bottom));
    Quad(m_out, "inMargin", picture.innerMargins);
    m_out.writeEmptyElement(kCoreNs, QStringLiteral("img"));
    const auto name = m_binNames.find(picture.binItemId);
    m_out.writeAttribute(QStringLiteral("binaryItemIDRef"), name == m_binNames.end() ? QString() : name->second);
    m_out.writeAttribute(QStringLiteral("bright"), Number(picture.brightness));
    m_out.writeAttribute(QStringLiteral("contrast"), Number(picture.contrast));
    const char* const effects[] = {"REAL_PIC", "GRAY_SCALE", "BLACK_WHITE"};
    m_out.writeAttribute(QStringLiteral("effect"), Word(effects, picture.effect));
    if (groupLevel == 0) {
        ObjectPlacement(m_out, picture.object);
        Caption(picture.caption, 0);
    }
    m_out.writeEndElement();
}

void SectionWriter::Equation(const hwp::Equation& equation)
{
    hwp::ObjectProperties object;
    object.inlineAsChar = equation.inlineAsChar;
    object.width = equation.width;
    object.height = equation.height;
    object.verticalOffset = equation.verticalOffset;
    object.horizontalOffset = equation.horizontalOffset;
    object.numbering = hwp::NumberingKind::Equation;
    m_out.writeStartElement(kParagraphNs, QStringLiteral("equation"));
    ObjectAttributes(m_out, object);
    m_out.writeAttribute(QStringLiteral("version"), FromU16(equation.versionText));
    m_out.writeAttribute(QStringLiteral("baseLine"), Number(equation.baseline));
    m_out.writeAttribute(QStringLiteral("textColor"), ColorText(equation.color));
    m_out.writeAttribute(QStringLiteral("baseUnit"), Number(equation.baseSize));
    m_out.writeAttribute(QStringLiteral("lineMode"), (equation.properties & 1) ? QStringLiteral("LINE") : QStringLiteral("CHAR"));
    m_out.writeAttribute(QStringLiteral("font"), FromU16(equation.fontName));
    ObjectPlacement(m_out, object);
    m_out.writeTextElement(kParagraphNs, QStringLiteral("script"), FromU16(equation.script));
    m_out.writeEndElement();
}


// Rectangles, ellipses, lines, arcs, polygons and curves, as the reader reads them: the
// component's common part, the outline and fill, a text box, the kind's own points.
void SectionWriter::Shape(const hwp::Control& control, const hwp::Shape& shape, int groupLevel)
{
    const hwp::ObjectProperties object =
        groupLevel > 0 ? hwp::ObjectProperties{} : hwp::ReadObjectProperties(hwp::View(control.records.front().data), "shape");
    const char* const names[] = {"rect", "ellipse", "line", "arc", "polygon", "curve"};
    m_out.writeStartElement(kParagraphNs, Word(names, static_cast<std::size_t>(shape.kind)));
    ObjectAttributes(m_out, object);
    m_out.writeAttribute(QStringLiteral("groupLevel"), Number(groupLevel));
    if (shape.kind == hwp::ShapeKind::Rectangle)
        m_out.writeAttribute(QStringLiteral("ratio"), Number(shape.roundness));
    WriteShapePointAttributes(m_out, shape);
    ComponentCommonPart(m_out, control.records[TopComponent(control)].data);
    WriteLineShape(m_out, shape);
    WriteFillBrush(m_out, shape.brush, m_binNames);
    if (shape.shadow)
        WriteShadow(m_out, *shape.shadow);
    if (shape.kind != hwp::ShapeKind::Line)
        DrawText(control, shape);
    if (shape.kind == hwp::ShapeKind::Line) {
        m_out.writeEmptyElement(kCoreNs, QStringLiteral("startPt"));
        m_out.writeAttribute(QStringLiteral("x"), Number(shape.startX));
        m_out.writeAttribute(QStringLiteral("y"), Number(shape.startY));
        m_out.writeEmptyElement(kCoreNs, QStringLiteral("endPt"));
        m_out.writeAttribute(QStringLiteral("x"), Number(shape.endX));
        m_out.writeAttribute(QStringLiteral("y"), Number(shape.endY));
    } else if (shape.kind == hwp::ShapeKind::Rectangle) {
        const std::int32_t w = shape.originalWidth;
        const std::int32_t h = shape.originalHeight;
        const std::int32_t points[] = {0, 0, w, 0, w, h, 0, h};
        for (int i = 0; i < 4; ++i) {
            m_out.writeEmptyElement(kCoreNs, QStringLiteral("pt%1").arg(i));
            m_out.writeAttribute(QStringLiteral("x"), Number(points[2 * i]));
            m_out.writeAttribute(QStringLiteral("y"), Number(points[2 * i + 1]));
        }
    }
    WriteShapePoints(m_out, shape);
    if (groupLevel == 0) {
        ObjectPlacement(m_out, object);
        // A caption's list stands right under the header; the box's text one level lower.
        if (control.records.size() > 1 && control.records[1].level == 1)
            Caption(control.records, 1);
    }
    m_out.writeEndElement();
}

// The text box of a shape: its list stands below the shape component, not right under the
// header as a caption's does.
void SectionWriter::DrawText(const hwp::Control& control, const hwp::Shape& shape)
{
    std::vector<hwp::ParagraphList> lists;
    try {
        lists = hwp::ReadParagraphLists(control.records);
    } catch (const hwp::HwpError&) {
        return;   // a damaged text box has no element to become; the shape still has
    }
    std::erase_if(lists, [&](const hwp::ParagraphList& list) { return control.records[list.header].level < 2; });
    if (lists.empty())
        return;
    const hwp::Bytes& head = control.records[lists.front().header].data;
    m_out.writeStartElement(kParagraphNs, QStringLiteral("drawText"));
    m_out.writeAttribute(QStringLiteral("lastWidth"), Number(head.size() >= 20 ? static_cast<std::int32_t>(hwp::LittleEndianAt(head, 16, 4)) : shape.width));
    const char* const aligns[] = {"TOP", "CENTER", "BOTTOM"};
    const std::uint32_t bits = head.size() >= 8 ? hwp::LittleEndianAt(head, 4, 4) : 0;
    List(lists.front().paragraphs, Word(aligns, (bits >> 5) & 3), 0, 0);
    if (head.size() >= 16)
        Quad(m_out, "textMargin", {static_cast<std::int16_t>(hwp::LittleEndianAt(head, 8, 2)),
                                   static_cast<std::int16_t>(hwp::LittleEndianAt(head, 10, 2)),
                                   static_cast<std::int16_t>(hwp::LittleEndianAt(head, 12, 2)),
                                   static_cast<std::int16_t>(hwp::LittleEndianAt(head, 14, 2))});
    m_out.writeEndElement();
}

// A group: its own component's common part, then each member (one level below the group's
// component) as the element of its kind, groups inside it alike. A member the model cannot
// read (a damaged one) is left out.
void SectionWriter::Container(const hwp::Control& control, int groupLevel)
{
    const std::vector<hwp::ObjectRecord>& records = control.records;
    const std::size_t at = TopComponent(control);
    const hwp::ObjectProperties object =
        groupLevel > 0 ? hwp::ObjectProperties{} : hwp::ReadObjectProperties(hwp::View(records.front().data), "group");
    m_out.writeStartElement(kParagraphNs, QStringLiteral("container"));
    ObjectAttributes(m_out, object);
    m_out.writeAttribute(QStringLiteral("groupLevel"), Number(groupLevel));
    ComponentCommonPart(m_out, records[at].data);
    for (std::size_t i = at + 1; i < records.size() && records[i].level > 1; ++i) {
        if (records[i].level != 2 || records[i].tag != hwp::tag::kShapeComponent || records[i].data.size() < 4)
            continue;
        const hwp::Control member = MemberControl(records, i);
        const std::uint32_t id = hwp::LittleEndianAt(records[i].data, 0, 4);
        try {
            if (id == hwp::kPictureComponentId)
                Picture(hwp::ReadPicture(member), groupLevel + 1);
            else if (id == kContainerId && groupLevel + 1 < kMaxGroupLevels)
                Container(member, groupLevel + 1);
            else if (id == hwp::kOleComponentId)
                Ole(member, groupLevel + 1);
            else if (const std::optional<hwp::Shape> shape = hwp::ReadShape(member))
                Shape(member, *shape, groupLevel + 1);
        } catch (const hwp::HwpError&) {
            // a damaged member has no element to become
        }
    }
    if (groupLevel == 0) {
        ObjectPlacement(m_out, object);
        if (records.size() > 1 && records[1].level == 1 && records[1].tag == hwp::tag::kListHeader)
            Caption(records, 1);
    }
    m_out.writeEndElement();
}

// An OLE object, at the top or in a group: its component's common part, its own size and
// border, the item holding its data. False, with nothing written, for a control that is
// not one or whose record cannot be read.
bool SectionWriter::Ole(const hwp::Control& control, int groupLevel)
{
    const std::vector<hwp::ObjectRecord>& records = control.records;
    const std::size_t at = TopComponent(control);
    if (control.ctrlId != hwp::kDrawingCtrlId || at + 1 >= records.size() || records[at].data.size() < 4 ||
        hwp::LittleEndianAt(records[at].data, 0, 4) != hwp::kOleComponentId)
        return false;
    std::optional<hwp::OleObject> ole;
    for (std::size_t i = at + 1; i < records.size() && records[i].level > 1 && !ole; ++i)
        if (records[i].level == 2)
            ole = hwp::ReadOleRecord(records[i]);
    if (!ole)
        return false;
    const hwp::ObjectProperties object =
        groupLevel > 0 ? hwp::ObjectProperties{} : hwp::ReadObjectProperties(hwp::View(records.front().data), "OLE object");
    m_out.writeStartElement(kParagraphNs, QStringLiteral("ole"));
    ObjectAttributes(m_out, object);
    m_out.writeAttribute(QStringLiteral("groupLevel"), Number(groupLevel));
    const char* const kinds[] = {"UNKNOWN", "EMBEDDED", "LINK", "STATIC", "EQUATION"};
    m_out.writeAttribute(QStringLiteral("objectType"), Word(kinds, (ole->properties >> 16) & 0x3F));
    const auto name = m_binNames.find(ole->binItemId);
    m_out.writeAttribute(QStringLiteral("binaryItemIDRef"), name == m_binNames.end() ? QString() : name->second);
    m_out.writeAttribute(QStringLiteral("hasMoniker"), Number((ole->properties >> 8) & 1));
    const std::uint32_t aspect = ole->properties & 0xFF;
    m_out.writeAttribute(QStringLiteral("drawAspect"), aspect == 2   ? QStringLiteral("THUMB_NAIL")
                                                       : aspect == 4 ? QStringLiteral("ICON")
                                                       : aspect == 8 ? QStringLiteral("DOC_PRINT")
                                                                     : QStringLiteral("CONTENT"));
    m_out.writeAttribute(QStringLiteral("eqBaseLine"), Number((ole->properties >> 9) & 0x7F));
    ComponentCommonPart(m_out, records[at].data);
    m_out.writeEmptyElement(kCoreNs, QStringLiteral("extent"));
    m_out.writeAttribute(QStringLiteral("x"), Number(ole->extentX));
    m_out.writeAttribute(QStringLiteral("y"), Number(ole->extentY));
    hwp::Shape border;
    border.outlineColor = ole->borderColor;
    border.outlineWidth = ole->borderWidth;
    border.outline = static_cast<std::uint8_t>(ole->borderProperties & 0x3F);
    border.ends = hwp::LineEnds::FromBits(ole->borderProperties);
    WriteLineShape(m_out, border);
    if (groupLevel == 0) {
        ObjectPlacement(m_out, object);
        if (records.size() > 1 && records[1].level == 1 && records[1].tag == hwp::tag::kListHeader)
            Caption(records, 1);
    }
    m_out.writeEndElement();
    return true;
}

}  // namespace

void WriteSectionXml(QXmlStreamWriter& out, const hwp::Document& document, const hwp::Section& section,
                     const std::map<std::uint16_t, QString>& binNames)
{
    out.writeStartElement(kSectionNs, QStringLiteral("sec"));
    DeclareNamespaces(out);
    std::uint32_t fieldIds = 1;
    SectionWriter writer(out, document, SectionBases(section), binNames, fieldIds);
    for (std::size_t i = 0; i < section.paragraphs.size(); ++i)
        writer.Paragraph(section.paragraphs[i], i == 0 ? &section : nullptr);
    out.writeEndElement();
}

}  // namespace hwpx
