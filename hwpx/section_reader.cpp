#include "hwpx/section_reader.h"

#include <QSizeF>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

#include "hwp/bookmark.h"
#include "hwp/bytes.h"
#include "hwp/equation.h"
#include "hwp/kept_xml.h"
#include "hwp/error.h"
#include "hwp/limits.h"
#include "hwp/notes.h"
#include "hwp/ole.h"
#include "hwp/object_properties.h"
#include "hwp/paragraph.h"
#include "hwp/paragraph_list.h"
#include "hwp/picture.h"
#include "hwp/records.h"
#include "hwp/shape.h"
#include "hwp/table.h"
#include "hwpx/bookmarks.h"
#include "hwpx/columns.h"
#include "hwpx/fields.h"
#include "hwpx/fill_brush.h"
#include "hwpx/numbers.h"
#include "hwpx/relative_size.h"
#include "hwpx/values.h"

namespace hwpx {
namespace {

// Paragraph lists inside objects inside lists: deeper than any document, shallow enough
// for the stack.
constexpr int kMaxNesting = 32;

// A size given as a share of a length of the page, as that length; out of range, the
// value as a length. Either way the model's size is absolute.
void ResolveSize(hwp::ObjectProperties& object, const SizeBases& bases)
{
    constexpr std::uint8_t kAbsoluteWidth = 4;
    constexpr std::uint8_t kAbsoluteHeight = 2;
    if (object.widthBasis != kAbsoluteWidth) {
        object.width = LengthOfShare(object.width, bases.Width(object.widthBasis)).value_or(object.width);
        object.widthBasis = kAbsoluteWidth;
    }
    if (object.heightBasis != kAbsoluteHeight) {
        object.height = LengthOfShare(object.height, bases.Height(object.heightBasis)).value_or(object.height);
        object.heightBasis = kAbsoluteHeight;
    }
}

hwp::ObjectProperties ObjectOf(const XmlNode& node, const SizeBases& bases)
{
    hwp::ObjectProperties object;
    if (const XmlNode* pos = node.Child(u"pos")) {
        object.inlineAsChar = pos->Flag(u"treatAsChar");
        object.affectsLineSpacing = pos->Flag(u"affectLSpacing");
        object.flowWithText = pos->Flag(u"flowWithText");
        object.allowOverlap = pos->Flag(u"allowOverlap");
        object.vertRelTo = static_cast<hwp::VertRelTo>(Code(pos->Attr(u"vertRelTo"), {"PAPER", "PAGE", "PARA"}, 2));
        object.horzRelTo =
            static_cast<hwp::HorzRelTo>(Code(pos->Attr(u"horzRelTo"), {"PAPER", "PAGE", "COLUMN", "PARA"}, 3));
        object.vertAlign = static_cast<std::uint8_t>(Code(pos->Attr(u"vertAlign"), {"TOP", "CENTER", "BOTTOM", "INSIDE", "OUTSIDE"}));
        object.horzAlign = static_cast<std::uint8_t>(Code(pos->Attr(u"horzAlign"), {"LEFT", "CENTER", "RIGHT", "INSIDE", "OUTSIDE"}));
        object.verticalOffset = Num<hwp::HwpUnit>(*pos, u"vertOffset");
        object.horizontalOffset = Num<hwp::HwpUnit>(*pos, u"horzOffset");
    }
    if (const XmlNode* size = node.Child(u"sz")) {
        object.width = Num<hwp::HwpUnit>(*size, u"width");
        object.height = Num<hwp::HwpUnit>(*size, u"height");
        object.widthBasis = static_cast<std::uint8_t>(Code(size->Attr(u"widthRelTo"), {"PAPER", "PAGE", "COLUMN", "PARA", "ABSOLUTE"}, 4));
        object.heightBasis = static_cast<std::uint8_t>(Code(size->Attr(u"heightRelTo"), {"PAPER", "PAGE", "ABSOLUTE"}, 2));
        object.protectSize = size->Flag(u"protect");
        ResolveSize(object, bases);
    }
    const int wrap = Code(node.Attr(u"textWrap"),
                          {"SQUARE", "TOP_AND_BOTTOM", "BEHIND_TEXT", "IN_FRONT_OF_TEXT", "TIGHT", "THROUGH"}, 1);
    // The text goes around a tight or through object by its box, as around a square one;
    // the HWP model has no other way around.
    object.wrap = static_cast<hwp::TextWrap>(wrap > 3 ? 0 : wrap);
    object.textSide = static_cast<std::uint8_t>(Code(node.Attr(u"textFlow"), {"BOTH_SIDES", "LEFT_ONLY", "RIGHT_ONLY", "LARGEST_ONLY"}));
    object.numbering = static_cast<hwp::NumberingKind>(Code(node.Attr(u"numberingType"), {"NONE", "PICTURE", "TABLE", "EQUATION"}));
    object.zOrder = Num<std::int32_t>(node, u"zOrder");
    object.instanceId = Num<std::uint32_t>(node, u"id");
    if (const XmlNode* margin = node.Child(u"outMargin"))
        object.outerMargins = {Num<std::int16_t>(*margin, u"left"), Num<std::int16_t>(*margin, u"right"),
                               Num<std::int16_t>(*margin, u"top"), Num<std::int16_t>(*margin, u"bottom")};
    return object;
}

std::uint32_t VerticalAlignBits(const XmlNode& subList)
{
    return static_cast<std::uint32_t>(Code(subList.Attr(u"vertAlign"), {"TOP", "CENTER", "BOTTOM"})) << 5;
}

constexpr std::uint32_t kRectangleId = hwp::CtrlId('$', 'r', 'e', 'c');
constexpr std::uint32_t kEllipseId = hwp::CtrlId('$', 'e', 'l', 'l');
constexpr std::uint32_t kLineId = hwp::CtrlId('$', 'l', 'i', 'n');
constexpr std::uint16_t kLineTag = hwp::tag::kBegin + 62;
constexpr std::uint16_t kRectangleTag = hwp::tag::kBegin + 63;
constexpr std::uint16_t kEllipseTag = hwp::tag::kBegin + 64;
constexpr std::uint32_t kContainerId = hwp::CtrlId('$', 'c', 'o', 'n');

// The component id of a drawn shape's element name.
std::optional<std::uint32_t> ComponentIdOf(const QString& name)
{
    if (name == u"rect")
        return kRectangleId;
    if (name == u"ellipse")
        return kEllipseId;
    if (name == u"line")
        return kLineId;
    if (name == u"arc")
        return hwp::kArcComponentId;
    if (name == u"polygon")
        return hwp::kPolygonComponentId;
    if (name == u"curve")
        return hwp::kCurveComponentId;
    return std::nullopt;
}

void PutDouble(hwp::Bytes& data, std::size_t at, double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (std::size_t i = 0; i < 8; ++i)
        data[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// How much the first scale matrix of the element's rendering info stretches it across and
// down (a flip counts as its size); 1 for a matrix missing or stretching past reason.
QSizeF ScaleOf(const XmlNode& node)
{
    const XmlNode* rendering = node.Child(u"renderingInfo");
    const XmlNode* scale = rendering == nullptr ? nullptr : rendering->Child(u"scaMatrix");
    const auto factor = [scale](QStringView key) {
        const double value = scale == nullptr ? 1.0 : std::abs(scale->Attr(key).toDouble());
        return value > 0.01 && value < 100 ? value : 1.0;
    };
    return {factor(u"e1"), factor(u"e5")};
}

// A rotated shape's rotation centre and its first scale and rotation matrices, as the
// element's rendering info gives them: the painter turns the shape with them.
void RotationOf(const XmlNode& node, hwp::Bytes& data)
{
    const XmlNode* rotation = node.Child(u"rotationInfo");
    const XmlNode* rendering = node.Child(u"renderingInfo");
    if (rotation == nullptr || rendering == nullptr || rotation->Int(u"angle") == 0)
        return;
    hwp::PutLittleEndianAt(data, 40, 2, static_cast<std::uint16_t>(Num<std::int16_t>(*rotation, u"angle")));
    hwp::PutLittleEndianAt(data, 42, 4, static_cast<std::uint32_t>(Num<std::int32_t>(*rotation, u"centerX")));
    hwp::PutLittleEndianAt(data, 46, 4, static_cast<std::uint32_t>(Num<std::int32_t>(*rotation, u"centerY")));
    const auto matrix = [&](const XmlNode* m, std::size_t at) {
        if (m == nullptr)
            return;
        for (int e = 0; e < 6; ++e)
            PutDouble(data, at + 8 * static_cast<std::size_t>(e), m->Attr(QStringLiteral("e%1").arg(e + 1)).toDouble());
    };
    matrix(rendering->Child(u"scaMatrix"), 100);
    matrix(rendering->Child(u"rotMatrix"), 148);
}

// A group member's placement in the group: its component's translation and scale and
// rotation pairs as the element's rendering info lists them, in place of what `data` (a
// top-level component) holds.
void SetRenderingInfo(hwp::Bytes& data, const XmlNode& node)
{
    const XmlNode* rendering = node.Child(u"renderingInfo");
    const std::size_t tail = hwp::ShapeLineInfoAt(data, true);
    if (rendering == nullptr || tail == 0)
        return;
    std::vector<const XmlNode*> matrices;
    for (const XmlNode& child : rendering->children) {
        if (child.name == u"transMatrix" || child.name == u"scaMatrix" || child.name == u"rotMatrix")
            matrices.push_back(&child);
    }
    if (matrices.empty() || matrices.front()->name != u"transMatrix" || matrices.size() % 2 == 0 || matrices.size() > 129)
        return;
    hwp::Bytes block(2 + 48 * matrices.size(), 0);
    hwp::PutLittleEndianAt(block, 0, 2, static_cast<std::uint32_t>(matrices.size() / 2));
    for (std::size_t m = 0; m < matrices.size(); ++m) {
        for (int e = 0; e < 6; ++e)
            PutDouble(block, 2 + 48 * m + 8 * static_cast<std::size_t>(e),
                      matrices[m]->Attr(QStringLiteral("e%1").arg(e + 1)).toDouble());
    }
    hwp::Bytes rebuilt(data.begin(), data.begin() + 50);
    rebuilt.insert(rebuilt.end(), block.begin(), block.end());
    rebuilt.insert(rebuilt.end(), data.begin() + static_cast<std::ptrdiff_t>(tail), data.end());
    data = std::move(rebuilt);
}

// A group member's offset in its group, group level, flips and rotation, in `data` (a
// top-level component), as the element says them: its matrices place it, these are what
// the word processor shows of it.
void SetPlaceInGroup(hwp::Bytes& data, const XmlNode& node)
{
    if (data.size() < 40)
        return;
    if (const XmlNode* offset = node.Child(u"offset")) {
        hwp::PutLittleEndianAt(data, 8, 4, static_cast<std::uint32_t>(Num<std::int32_t>(*offset, u"x")));
        hwp::PutLittleEndianAt(data, 12, 4, static_cast<std::uint32_t>(Num<std::int32_t>(*offset, u"y")));
    }
    hwp::PutLittleEndianAt(data, 16, 2, Num<std::uint16_t>(node, u"groupLevel"));
    if (const XmlNode* flip = node.Child(u"flip"))
        hwp::PutLittleEndianAt(data, 36, 4, (flip->Flag(u"horizontal") ? 1u : 0u) | (flip->Flag(u"vertical") ? 2u : 0u));
    if (const XmlNode* rotation = node.Child(u"rotationInfo")) {
        hwp::PutLittleEndianAt(data, 40, 2, static_cast<std::uint16_t>(Num<std::int16_t>(*rotation, u"angle")));
        hwp::PutLittleEndianAt(data, 42, 4, static_cast<std::uint32_t>(Num<std::int32_t>(*rotation, u"centerX")));
        hwp::PutLittleEndianAt(data, 46, 4, static_cast<std::uint32_t>(Num<std::int32_t>(*rotation, u"centerY")));
    }
}

// A top-level shape component as the word processor writes one: the id twice, the
// original and current size, the rotation centre, identity translation and rotation,
// the scale from the original size to the current one; then the outline and the fill.
hwp::Bytes ShapeComponent(const XmlNode& node, std::uint32_t id, hwp::HwpUnit width, hwp::HwpUnit height,
                          const std::map<QString, std::uint16_t>& binIds)
{
    hwp::HwpUnit originalWidth = width;
    hwp::HwpUnit originalHeight = height;
    if (const XmlNode* size = node.Child(u"orgSz"); size != nullptr && size->Int(u"width") > 0 && size->Int(u"height") > 0) {
        originalWidth = Num<hwp::HwpUnit>(*size, u"width");
        originalHeight = Num<hwp::HwpUnit>(*size, u"height");
    }
    hwp::Bytes data(196, 0);
    hwp::PutLittleEndianAt(data, 0, 4, id);
    hwp::PutLittleEndianAt(data, 4, 4, id);
    data[18] = 1;
    hwp::PutLittleEndianAt(data, 20, 4, static_cast<std::uint32_t>(originalWidth));
    hwp::PutLittleEndianAt(data, 24, 4, static_cast<std::uint32_t>(originalHeight));
    hwp::PutLittleEndianAt(data, 28, 4, static_cast<std::uint32_t>(width));
    hwp::PutLittleEndianAt(data, 32, 4, static_cast<std::uint32_t>(height));
    hwp::PutLittleEndianAt(data, 42, 4, static_cast<std::uint32_t>(width / 2));
    hwp::PutLittleEndianAt(data, 46, 4, static_cast<std::uint32_t>(height / 2));
    data[50] = 1;
    for (std::size_t matrix : {std::size_t{52}, std::size_t{148}}) {
        PutDouble(data, matrix, 1.0);
        PutDouble(data, matrix + 32, 1.0);
    }
    PutDouble(data, 100, originalWidth > 0 ? static_cast<double>(width) / originalWidth : 1.0);
    PutDouble(data, 132, originalHeight > 0 ? static_cast<double>(height) / originalHeight : 1.0);
    RotationOf(node, data);
    hwp::ByteWriter tail;
    hwp::Shape outline;
    ReadLineShape(node.Child(u"lineShape"), outline);
    tail.U32(outline.outlineColor);
    tail.I32(outline.outlineWidth);
    tail.U32(outline.outline | outline.ends.Bits());
    tail.U8(outline.outlinePlace);
    hwp::Fill fill = ReadFillBrush(node.Child(u"fillBrush"), binIds);
    if ((fill.kinds & hwp::kFillColor) && fill.face == hwp::kNoColor && fill.pattern < 0)
        fill.kinds &= ~hwp::kFillColor;   // a brush of no colour paints nothing
    hwp::WriteFill(tail, fill);
    if (const std::optional<hwp::ShapeShadow> shadow = ReadShadow(node.Child(u"shadow")))
        hwp::WriteShapeShadow(tail, *shadow);
    const std::string& bytes = tail.Data();
    data.insert(data.end(), bytes.begin(), bytes.end());
    return data;
}

// The record of the kind itself: a rectangle's corners, an ellipse's axes, a line's ends.
hwp::ObjectRecord ShapeKindRecord(const XmlNode& node, std::uint32_t id, hwp::HwpUnit width, hwp::HwpUnit height)
{
    if (id == hwp::kArcComponentId || id == hwp::kPolygonComponentId || id == hwp::kCurveComponentId) {
        hwp::Shape shape;
        shape.kind = id == hwp::kArcComponentId       ? hwp::ShapeKind::Arc
                     : id == hwp::kPolygonComponentId ? hwp::ShapeKind::Polygon
                                                      : hwp::ShapeKind::Curve;
        ReadShapePoints(node, shape);
        return hwp::WriteShapeKindRecord(shape, 1);
    }
    hwp::ByteWriter out;
    if (id == kLineId) {
        const XmlNode* start = node.Child(u"startPt");
        const XmlNode* end = node.Child(u"endPt");
        out.I32(start == nullptr ? 0 : Num<std::int32_t>(*start, u"x"));
        out.I32(start == nullptr ? 0 : Num<std::int32_t>(*start, u"y"));
        out.I32(end == nullptr ? width : Num<std::int32_t>(*end, u"x"));
        out.I32(end == nullptr ? height : Num<std::int32_t>(*end, u"y"));
        out.U32(node.Flag(u"isReverseHV") ? 1 : 0);
        return {kLineTag, 1, hwp::ToBytes(out.Data())};
    }
    if (id == kEllipseId) {
        out.U32(0);
        for (std::int32_t value : {width / 2, height / 2, width, height / 2, width / 2, 0, width, height / 2, width,
                                   height / 2, width, height / 2, width, height / 2})
            out.I32(value);
        // Readers of later builds read past the last arc point.
        out.Zeros(4);
        return {kEllipseTag, 1, hwp::ToBytes(out.Data())};
    }
    out.U8(static_cast<std::uint8_t>(std::clamp<long long>(node.Int(u"ratio"), 0, 50)));
    for (int i = 0; i < 4; ++i) {
        const XmlNode* point = node.Child(QStringLiteral("pt%1").arg(i));
        out.I32(point == nullptr ? (i == 1 || i == 2 ? width : 0) : Num<std::int32_t>(*point, u"x"));
        out.I32(point == nullptr ? (i >= 2 ? height : 0) : Num<std::int32_t>(*point, u"y"));
    }
    return {kRectangleTag, 1, hwp::ToBytes(out.Data())};
}

// Where the text of a paragraph stands in the file's count, which is the HWP one: every
// object, control and tab takes eight units, a character one.
struct FileUnits {
    std::vector<std::uint32_t> starts;   // text index -> its unit
    std::uint32_t total = 0;

    void Char(char16_t c)
    {
        starts.push_back(total);
        total += c == u'\t' ? 8 : 1;
    }
    void Control() { total += 8; }
};

// The paragraph's stored lines, their starts moved from units to text indexes. Lines that
// do not start at 0 and in order, or start past the text, are a damaged layout: the
// paragraph is then laid out anew.
std::vector<hwp::LineSegment> LineSegments(const XmlNode& array, const FileUnits& units)
{
    std::vector<hwp::LineSegment> lines;
    for (const XmlNode* node : array.Children(u"lineseg")) {
        const long long unit = node->Int(u"textpos", -1);
        if (unit < 0 || unit > units.total || (lines.empty() && unit != 0))
            return {};
        hwp::LineSegment line;
        line.textStart = static_cast<std::uint32_t>(
            std::lower_bound(units.starts.begin(), units.starts.end(), static_cast<std::uint32_t>(unit)) - units.starts.begin());
        if (!lines.empty() && line.textStart < lines.back().textStart)
            return {};
        line.top = Num<std::int32_t>(*node, u"vertpos");
        line.height = Num<std::int32_t>(*node, u"vertsize");
        line.textHeight = Num<std::int32_t>(*node, u"textheight");
        line.baseline = Num<std::int32_t>(*node, u"baseline");
        line.spacing = Num<std::int32_t>(*node, u"spacing");
        line.columnStart = Num<std::int32_t>(*node, u"horzpos");
        line.width = Num<std::int32_t>(*node, u"horzsize");
        line.flags = Num<std::uint32_t>(*node, u"flags");
        lines.push_back(line);
    }
    return lines;
}

class SectionReader {
public:
    SectionReader(const XmlNode& root, const hwp::Document& document, const std::map<QString, std::uint16_t>& binIds,
                  const std::string& part)
        : m_root(root), m_document(document), m_binIds(binIds), m_part(part)
    {
    }

    hwp::Paragraph Paragraph(const XmlNode& p, hwp::Section* section, int depth);
    std::vector<hwp::Paragraph> List(const XmlNode* subList, int depth);

private:
    [[noreturn]] void Fail(const std::string& why) const { throw hwp::HwpError(m_part + ": " + why); }
    void Run(const XmlNode& run, hwp::Paragraph& paragraph, hwp::Section* section, int depth);
    void Text(const XmlNode& t, hwp::Paragraph& paragraph);
    void Ctrl(const XmlNode& ctrl, hwp::Paragraph& paragraph, hwp::Section* section, int depth);
    void SectionDefinition(const XmlNode& secPr, hwp::Section& section, const hwp::Paragraph& paragraph);
    void SetSectionBases(const hwp::Section& section, const hwp::Paragraph& paragraph);
    void Add(hwp::Paragraph& paragraph, hwp::Control control, char16_t code);
    void AddText(hwp::Paragraph& paragraph, char16_t c);
    hwp::Control Table(const XmlNode& tbl, int depth);
    hwp::Control Picture(const XmlNode& pic, int depth);
    std::vector<hwp::ObjectRecord> Caption(const XmlNode& node, int depth);
    hwp::Control Equation(const XmlNode& equation) const;
    hwp::Control Shape(const XmlNode& node, std::uint32_t componentId, int depth);
    hwp::Control Container(const XmlNode& node, int depth);
    std::optional<hwp::Control> Ole(const XmlNode& node, int depth);
    std::pair<hwp::Control, hwp::Bytes> DrawingHead(const XmlNode& node, int depth, std::uint32_t componentId,
                                                    bool sizedByZero);
    hwp::Control Furniture(const XmlNode& node, std::uint32_t ctrlId, hwp::Bytes head, int depth);
    void Keep(hwp::Paragraph& paragraph, const XmlNode& node, hwp::XmlPlace place);
    hwp::Control WithKept(hwp::Control control, const XmlNode& node) const;

    const XmlNode& m_root;
    const hwp::Document& m_document;
    const std::map<QString, std::uint16_t>& m_binIds;
    const std::string& m_part;
    // Click-here fields begun and not yet ended: their ids in the file.
    std::map<QString, std::size_t> m_openFields;
    // Other fields begun and not yet ended: their ids in the file, their controls' indexes.
    std::map<QString, std::size_t> m_openControls;
    FileUnits m_units;   // of the paragraph being read
    // What sizes are shares of: the section's page and columns, the paragraph being read.
    SizeBases m_sectionBases = SectionBases(hwp::Section{});
    SizeBases m_bases = m_sectionBases;
};

std::vector<hwp::Paragraph> SectionReader::List(const XmlNode* subList, int depth)
{
    std::vector<hwp::Paragraph> paragraphs;
    if (subList != nullptr) {
        for (const XmlNode* p : subList->Children(u"p"))
            paragraphs.push_back(Paragraph(*p, nullptr, depth));
    }
    if (paragraphs.empty()) {
        hwp::Paragraph empty;
        empty.charShapes.push_back({0, 0});
        paragraphs.push_back(std::move(empty));
    }
    return paragraphs;
}

hwp::Paragraph SectionReader::Paragraph(const XmlNode& p, hwp::Section* section, int depth)
{
    if (depth > kMaxNesting)
        Fail("objects nest deeper than " + std::to_string(kMaxNesting) + " levels");
    hwp::Paragraph paragraph;
    paragraph.paraShapeId = Num<std::uint16_t>(p, u"paraPrIDRef");
    paragraph.styleId = Num<std::uint8_t>(p, u"styleIDRef");
    if (p.Flag(u"pageBreak"))
        paragraph.breakFlags |= hwp::kBreakPage;
    if (p.Flag(u"columnBreak"))
        paragraph.breakFlags |= hwp::kBreakColumn;
    const std::map<QString, std::size_t> outerFields = std::exchange(m_openFields, {});
    const std::map<QString, std::size_t> outerControls = std::exchange(m_openControls, {});
    const FileUnits outerUnits = std::exchange(m_units, {});
    const SizeBases outerBases = std::exchange(m_bases, ParagraphBases(m_sectionBases, m_document, paragraph.paraShapeId));
    for (const XmlNode& child : p.children) {
        if (child.name == u"run")
            Run(child, paragraph, section, depth);
    }
    if (const XmlNode* lines = p.Child(u"linesegarray"))
        paragraph.lineLayout.segments = LineSegments(*lines, m_units);
    m_units = outerUnits;
    m_bases = outerBases;
    // A field left open at the paragraph's end closes there: the model keeps click-here
    // fields inside one paragraph, and the writer ends the others with their paragraph.
    for (const auto& [id, index] : m_openFields)
        paragraph.fields[index].end = static_cast<std::uint32_t>(paragraph.text.size());
    for (const auto& [id, index] : m_openControls)
        paragraph.controls[index].end = static_cast<std::uint32_t>(paragraph.text.size());
    m_openFields = outerFields;
    m_openControls = outerControls;
    if (paragraph.charShapes.empty())
        paragraph.charShapes.push_back({0, 0});
    if (paragraph.controls.size() > hwp::kMaxObjectsPerParagraph)
        Fail("a paragraph holds more than " + std::to_string(hwp::kMaxObjectsPerParagraph) + " objects");
    return paragraph;
}

void SectionReader::Run(const XmlNode& run, hwp::Paragraph& paragraph, hwp::Section* section, int depth)
{
    const auto position = static_cast<std::uint32_t>(paragraph.text.size());
    const std::uint32_t shape = Num<std::uint32_t>(run, u"charPrIDRef");
    if (!paragraph.charShapes.empty() && paragraph.charShapes.back().position == position)
        paragraph.charShapes.back().charShapeId = shape;
    else if (paragraph.charShapes.empty() || paragraph.charShapes.back().charShapeId != shape)
        paragraph.charShapes.push_back({position, shape});
    for (const XmlNode& child : run.children) {
        if (child.name == u"t")
            Text(child, paragraph);
        else if (child.name == u"secPr" && section != nullptr)
            SectionDefinition(child, *section, paragraph);
        else if (child.name == u"ctrl")
            Ctrl(child, paragraph, section, depth);
        else if (child.name == u"tbl")
            Add(paragraph, WithKept(Table(child, depth), child), 11);
        else if (child.name == u"pic")
            Add(paragraph, WithKept(Picture(child, depth), child), 11);
        else if (child.name == u"equation")
            Add(paragraph, WithKept(Equation(child), child), 11);
        else if (child.name == u"rect")
            Add(paragraph, WithKept(Shape(child, kRectangleId, depth), child), 11);
        else if (child.name == u"ellipse")
            Add(paragraph, WithKept(Shape(child, kEllipseId, depth), child), 11);
        else if (child.name == u"line")
            Add(paragraph, WithKept(Shape(child, kLineId, depth), child), 11);
        else if (child.name == u"arc")
            Add(paragraph, WithKept(Shape(child, hwp::kArcComponentId, depth), child), 11);
        else if (child.name == u"polygon")
            Add(paragraph, WithKept(Shape(child, hwp::kPolygonComponentId, depth), child), 11);
        else if (child.name == u"curve")
            Add(paragraph, WithKept(Shape(child, hwp::kCurveComponentId, depth), child), 11);
        else if (child.name == u"container")
            Add(paragraph, WithKept(Container(child, depth), child), 11);
        else if (!child.IsText())
            Keep(paragraph, child, hwp::XmlPlace::Run);
    }
}

hwp::Control SectionReader::WithKept(hwp::Control control, const XmlNode& node) const
{
    // Without what the model holds: the rows, the script, the box's paragraphs.
    XmlNode rest = node;
    // Arcs, polygons and curves go back into a file as they were read, text and all.
    const bool whole = node.name == u"arc" || node.name == u"polygon" || node.name == u"curve" || node.name == u"container";
    for (XmlNode& child : rest.children) {
        if (child.name == u"drawText" && !whole)
            std::erase_if(child.children, [](const XmlNode& inner) { return inner.name == u"subList"; });
    }
    if (!whole)
        std::erase_if(rest.children, [](const XmlNode& child) { return child.name == u"tr" || child.name == u"script"; });
    hwp::AddKeptXml(control, KeptXml(rest, m_root));
    return control;
}

void SectionReader::Keep(hwp::Paragraph& paragraph, const XmlNode& node, hwp::XmlPlace place)
{
    Add(paragraph, hwp::NewKeptXmlControl({place, KeptXml(node, m_root)}), 11);
}

void SectionReader::Text(const XmlNode& t, hwp::Paragraph& paragraph)
{
    for (const XmlNode& piece : t.children) {
        if (piece.IsText()) {
            for (QChar c : piece.text) {
                const char16_t unit = c.unicode();
                if (unit >= 0x20 || unit == u'\t' || unit == u'\n')
                    AddText(paragraph, unit);
            }
        } else if (piece.name == u"tab") {
            AddText(paragraph, u'\t');
        } else if (piece.name == u"lineBreak") {
            AddText(paragraph, u'\n');
        } else if (piece.name == u"hyphen") {
            AddText(paragraph, char16_t{0x00AD});
        } else if (piece.name == u"nbSpace") {
            AddText(paragraph, char16_t{0x00A0});
        } else if (piece.name == u"fwSpace") {
            AddText(paragraph, char16_t{0x2007});
        } else {
            Keep(paragraph, piece, hwp::XmlPlace::Text);
        }
    }
}

void SectionReader::AddText(hwp::Paragraph& paragraph, char16_t c)
{
    paragraph.text += c;
    m_units.Char(c);
}

void SectionReader::Add(hwp::Paragraph& paragraph, hwp::Control control, char16_t code)
{
    m_units.Control();
    control.position = control.end = static_cast<std::uint32_t>(paragraph.text.size());
    control.code = code;
    paragraph.controls.push_back(std::move(control));
}

void SectionReader::Ctrl(const XmlNode& ctrl, hwp::Paragraph& paragraph, hwp::Section* section, int depth)
{
    for (const XmlNode& child : ctrl.children) {
        if (child.IsText())
            continue;
        if (child.name == u"colPr" && section != nullptr && section->paragraphs.empty() && paragraph.text.empty() &&
            section->hwpxColumnsXml.empty()) {
            section->columnCount = std::clamp<std::uint16_t>(Num<std::uint16_t>(child, u"colCount", 1), 1, 255);
            section->columnGap = Num<hwp::HwpUnit>(child, u"sameGap");
            section->hwpxColumnsXml = KeptXml(child, m_root);
            section->columnDef = ReadColumnsElement(child);   // its kind, widths and line for print
            m_units.Control();
            SetSectionBases(*section, paragraph);
        } else if (child.name == u"colPr") {
            // The columns change here, as the paragraph's break says in the binary format.
            paragraph.breakFlags |= hwp::kBreakColumns;
            Add(paragraph, ReadColumnsElement(child), 2);
        } else if (child.name == u"header" || child.name == u"footer") {
            const bool footer = child.name == u"footer";
            hwp::ByteWriter head;
            head.U32(footer ? hwp::kFooterCtrlId : hwp::kHeaderCtrlId);
            head.U32(static_cast<std::uint32_t>(Code(child.Attr(u"applyPageType"), {"BOTH", "EVEN", "ODD"})));
            Add(paragraph, Furniture(child, footer ? hwp::kFooterCtrlId : hwp::kHeaderCtrlId, hwp::ToBytes(head.Data()), depth), 16);
        } else if (child.name == u"footNote" || child.name == u"endNote") {
            const bool endnote = child.name == u"endNote";
            const std::uint32_t id = endnote ? hwp::kEndnoteCtrlId : hwp::kFootnoteCtrlId;
            hwp::ByteWriter head;
            head.U32(id);
            head.U32(Num<std::uint32_t>(child, u"number", 1));
            head.U16(0);
            head.U16(u')');
            head.U32(0);
            Add(paragraph, Furniture(child, id, hwp::ToBytes(head.Data()), depth), 17);
        } else if (child.name == u"fieldBegin" && child.Attr(u"type") == QLatin1String("CLICK_HERE")) {
            hwp::Field field;
            field.begin = field.end = static_cast<std::uint32_t>(paragraph.text.size());
            field.name = ToU16(child.Attr(u"name"));
            field.editableInForm = child.Attr(u"editable", QStringLiteral("1")) != QLatin1String("0");
            if (const XmlNode* parameters = child.Child(u"parameters")) {
                for (const XmlNode* parameter : parameters->Children(u"stringParam")) {
                    if (parameter->Attr(u"name") == QLatin1String("Command"))
                        field.command = ToU16(parameter->AllText());
                }
            }
            field.guide = hwp::GuideFromCommand(field.command);
            if (!paragraph.fields.empty() && paragraph.fields.back().end > field.begin) {
                Keep(paragraph, child, hwp::XmlPlace::Ctrl);   // overlapping fields have no place in the model
                continue;
            }
            m_openFields[child.Attr(u"id")] = paragraph.fields.size();
            paragraph.fields.push_back(std::move(field));
            m_units.Control();
        } else if (child.name == u"fieldBegin" && child.Attr(u"type") != QLatin1String("CLICK_HERE")) {
            std::optional<hwp::Control> field = ReadFieldElement(child);
            if (!field) {
                Keep(paragraph, child, hwp::XmlPlace::Ctrl);
                continue;
            }
            m_openControls[child.Attr(u"id")] = paragraph.controls.size();
            Add(paragraph, std::move(*field), 3);
        } else if (child.name == u"fieldEnd" && m_openControls.contains(child.Attr(u"beginIDRef"))) {
            const auto open = m_openControls.find(child.Attr(u"beginIDRef"));
            paragraph.controls[open->second].end = static_cast<std::uint32_t>(paragraph.text.size());
            m_openControls.erase(open);
            m_units.Control();
        } else if (child.name == u"fieldEnd") {
            const auto open = m_openFields.find(child.Attr(u"beginIDRef"));
            if (open != m_openFields.end()) {
                paragraph.fields[open->second].end = static_cast<std::uint32_t>(paragraph.text.size());
                m_openFields.erase(open);
                m_units.Control();
            } else {
                Keep(paragraph, child, hwp::XmlPlace::Ctrl);
            }
        } else if (std::optional<hwp::Control> bookmark = ReadBookmarkElement(child)) {
            Add(paragraph, std::move(*bookmark), hwp::kBookmarkCode);
        } else if (std::optional<hwp::Control> number = ReadNumberElement(child)) {
            const char16_t code = number->code;
            Add(paragraph, std::move(*number), code);
        } else {
            Keep(paragraph, child, hwp::XmlPlace::Ctrl);
        }
    }
}

void SectionReader::SetSectionBases(const hwp::Section& section, const hwp::Paragraph& paragraph)
{
    m_sectionBases = SectionBases(section);
    m_bases = ParagraphBases(m_sectionBases, m_document, paragraph.paraShapeId);
}

void SectionReader::SectionDefinition(const XmlNode& secPr, hwp::Section& section, const hwp::Paragraph& paragraph)
{
    m_units.Control();
    if (!section.hwpxSettingsXml.empty())
        return;
    section.hwpxSettingsXml = KeptXml(secPr, m_root);
    const XmlNode* page = secPr.Child(u"pagePr");
    if (page == nullptr)
        return;
    hwp::PageDef& def = section.page;
    def.width = Num<hwp::HwpUnit>(*page, u"width", def.width);
    def.height = Num<hwp::HwpUnit>(*page, u"height", def.height);
    // "WIDELY" is the paper as it comes, "NARROWLY" turned.
    def.landscape = page->Attr(u"landscape") == QLatin1String("NARROWLY");
    def.gutterKind = static_cast<std::uint8_t>(Code(page->Attr(u"gutterType"), {"LEFT_ONLY", "LEFT_RIGHT", "TOP_BOTTOM"}));
    if (const XmlNode* margin = page->Child(u"margin")) {
        def.leftMargin = Num<hwp::HwpUnit>(*margin, u"left", def.leftMargin);
        def.rightMargin = Num<hwp::HwpUnit>(*margin, u"right", def.rightMargin);
        def.topMargin = Num<hwp::HwpUnit>(*margin, u"top", def.topMargin);
        def.bottomMargin = Num<hwp::HwpUnit>(*margin, u"bottom", def.bottomMargin);
        def.headerMargin = Num<hwp::HwpUnit>(*margin, u"header", def.headerMargin);
        def.footerMargin = Num<hwp::HwpUnit>(*margin, u"footer", def.footerMargin);
        def.gutterMargin = Num<hwp::HwpUnit>(*margin, u"gutter", def.gutterMargin);
    }
    section.columnGap = Num<hwp::HwpUnit>(secPr, u"spaceColumns", section.columnGap);
    SetSectionBases(section, paragraph);
}

hwp::Control SectionReader::Furniture(const XmlNode& node, std::uint32_t ctrlId, hwp::Bytes head, int depth)
{
    const XmlNode* subList = node.Child(u"subList");
    hwp::Control control;
    control.ctrlId = ctrlId;
    control.records.push_back({hwp::tag::kCtrlHeader, 0, std::move(head)});
    hwp::ByteWriter list;
    list.U16(0);
    list.U16(0);
    list.U32(subList == nullptr ? 0 : VerticalAlignBits(*subList));
    const hwp::HwpUnit width = subList == nullptr ? 0 : Num<hwp::HwpUnit>(*subList, u"textWidth");
    list.I32(width);
    list.I32(subList == nullptr ? 0 : Num<hwp::HwpUnit>(*subList, u"textHeight"));
    list.Zeros(8);
    const std::vector<hwp::ObjectRecord> records =
        hwp::WriteParagraphList(hwp::ToBytes(list.Data()), List(subList, depth + 1), 1, m_document,
                                width > 0 ? width : m_document.sections.empty() ? 42520 : 42520);
    control.records.insert(control.records.end(), records.begin(), records.end());
    return control;
}

hwp::Control SectionReader::Table(const XmlNode& tbl, int depth)
{
    hwp::Table table;
    table.object = ObjectOf(tbl, m_bases);
    table.caption = Caption(tbl, depth);
    table.pageBreak = static_cast<hwp::TablePageBreak>(Code(tbl.Attr(u"pageBreak"), {"NONE", "CELL", "TABLE"}, 1));
    table.repeatHeaderRow = tbl.Flag(u"repeatHeader");
    table.rows = Num<std::uint16_t>(tbl, u"rowCnt");
    table.columns = Num<std::uint16_t>(tbl, u"colCnt");
    table.cellSpacing = Num<std::int16_t>(tbl, u"cellSpacing");
    table.borderFillId = Num<std::uint16_t>(tbl, u"borderFillIDRef", 1);
    if (const XmlNode* margin = tbl.Child(u"inMargin"))
        table.innerMargins = {Num<std::int16_t>(*margin, u"left"), Num<std::int16_t>(*margin, u"right"),
                              Num<std::int16_t>(*margin, u"top"), Num<std::int16_t>(*margin, u"bottom")};
    if (static_cast<std::size_t>(table.rows) * table.columns > hwp::kMaxTableCells)
        Fail("a table has more cells than a document may hold");
    for (const XmlNode* tr : tbl.Children(u"tr")) {
        for (const XmlNode* tc : tr->Children(u"tc")) {
            hwp::TableCell cell;
            cell.borderFillId = Num<std::uint16_t>(*tc, u"borderFillIDRef", 1);
            if (tc->Flag(u"header"))
                cell.otherListBits |= hwp::kHeaderCellBit;
            if (const XmlNode* address = tc->Child(u"cellAddr")) {
                cell.row = Num<std::uint16_t>(*address, u"rowAddr");
                cell.column = Num<std::uint16_t>(*address, u"colAddr");
            }
            if (const XmlNode* span = tc->Child(u"cellSpan")) {
                cell.rowSpan = std::max<std::uint16_t>(1, Num<std::uint16_t>(*span, u"rowSpan", 1));
                cell.columnSpan = std::max<std::uint16_t>(1, Num<std::uint16_t>(*span, u"colSpan", 1));
            }
            if (const XmlNode* size = tc->Child(u"cellSz")) {
                cell.width = Num<hwp::HwpUnit>(*size, u"width");
                cell.height = Num<hwp::HwpUnit>(*size, u"height");
            }
            if (const XmlNode* margin = tc->Child(u"cellMargin"))
                cell.margins = {Num<std::int16_t>(*margin, u"left"), Num<std::int16_t>(*margin, u"right"),
                                Num<std::int16_t>(*margin, u"top"), Num<std::int16_t>(*margin, u"bottom")};
            const XmlNode* subList = tc->Child(u"subList");
            if (subList != nullptr)
                cell.verticalAlign = static_cast<hwp::CellVerticalAlign>(Code(subList->Attr(u"vertAlign"), {"TOP", "CENTER", "BOTTOM"}));
            cell.paragraphs = List(subList, depth + 1);
            table.cells.push_back(std::move(cell));
        }
    }
    try {
        return hwp::WriteTable(table, m_document);
    } catch (const hwp::HwpError& error) {
        Fail(std::string("a table cannot be read: ") + error.what());
    }
}

// A <caption>'s list as an object holds it, right after its header: the side, whether
// it spans the margins too, its width beside the object and the gap, then its paragraphs.
std::vector<hwp::ObjectRecord> SectionReader::Caption(const XmlNode& node, int depth)
{
    const XmlNode* caption = node.Child(u"caption");
    if (caption == nullptr)
        return {};
    const XmlNode* subList = caption->Child(u"subList");
    hwp::ByteWriter head;
    head.U16(0);
    head.U16(0);
    head.U32(subList == nullptr ? 0 : VerticalAlignBits(*subList));
    const auto side = static_cast<std::uint32_t>(Code(caption->Attr(u"side"), {"LEFT", "RIGHT", "TOP", "BOTTOM"}, 3));
    head.U32(side | (caption->Flag(u"fullSz") ? 4u : 0u));
    head.I32(Num<std::int32_t>(*caption, u"width"));
    head.I16(Num<std::int16_t>(*caption, u"gap"));
    const hwp::HwpUnit lastWidth = Num<hwp::HwpUnit>(*caption, u"lastWidth");
    head.I32(lastWidth);
    return hwp::WriteParagraphList(hwp::ToBytes(head.Data()), List(subList, depth + 1), 1, m_document,
                                   std::max(lastWidth, 1000));
}

hwp::Control SectionReader::Picture(const XmlNode& pic, int depth)
{
    hwp::Picture picture;
    picture.object = ObjectOf(pic, m_bases);
    picture.caption = Caption(pic, depth);
    if (const XmlNode* size = pic.Child(u"orgSz")) {
        picture.originalWidth = Num<hwp::HwpUnit>(*size, u"width");
        picture.originalHeight = Num<hwp::HwpUnit>(*size, u"height");
    }
    hwp::HwpUnit width = picture.object.width;
    hwp::HwpUnit height = picture.object.height;
    if (const XmlNode* size = pic.Child(u"curSz"); size != nullptr && size->Int(u"width") > 0) {
        width = Num<hwp::HwpUnit>(*size, u"width");
        height = Num<hwp::HwpUnit>(*size, u"height");
    }
    hwp::SetPictureSize(picture, width, height);
    picture.object.width = width;
    picture.object.height = height;
    if (const XmlNode* rect = pic.Child(u"imgRect")) {
        for (int i = 0; i < 4; ++i) {
            if (const XmlNode* point = rect->Child(QStringLiteral("pt%1").arg(i))) {
                picture.corners[static_cast<std::size_t>(2 * i)] = Num<std::int32_t>(*point, u"x");
                picture.corners[static_cast<std::size_t>(2 * i + 1)] = Num<std::int32_t>(*point, u"y");
            }
        }
    }
    if (const XmlNode* clip = pic.Child(u"imgClip"))
        picture.crop = {Num<std::int32_t>(*clip, u"left"), Num<std::int32_t>(*clip, u"top"),
                        Num<std::int32_t>(*clip, u"right"), Num<std::int32_t>(*clip, u"bottom")};
    if (const XmlNode* margin = pic.Child(u"inMargin"))
        picture.innerMargins = {Num<std::int16_t>(*margin, u"left"), Num<std::int16_t>(*margin, u"right"),
                                Num<std::int16_t>(*margin, u"top"), Num<std::int16_t>(*margin, u"bottom")};
    if (const XmlNode* line = pic.Child(u"lineShape")) {
        picture.borderColor = Color(line->Attr(u"color"), 0);
        picture.borderWidth = Num<std::int32_t>(*line, u"width");
    }
    if (const XmlNode* image = pic.Child(u"img")) {
        picture.brightness = Num<std::int8_t>(*image, u"bright");
        picture.contrast = Num<std::int8_t>(*image, u"contrast");
        picture.effect = static_cast<std::uint8_t>(Code(image->Attr(u"effect"), {"REAL_PIC", "GRAY_SCALE", "BLACK_WHITE"}));
        const auto found = m_binIds.find(image->Attr(u"binaryItemIDRef"));
        if (found == m_binIds.end())
            Fail("a picture shows the item \"" + image->Attr(u"binaryItemIDRef").toStdString() +
                 "\", which the package does not hold");
        picture.binItemId = found->second;
    }
    picture.rest = {0, 0, 0, 0, 0};
    return hwp::WritePicture(picture);
}

hwp::Control SectionReader::Equation(const XmlNode& node) const
{
    hwp::Equation equation;
    const XmlNode* script = node.Child(u"script");
    equation.script = script == nullptr ? std::u16string() : ToU16(script->AllText());
    if (equation.script.size() > 0xFFFF)
        Fail("an equation's script is longer than a document may hold");
    equation.baseSize = Num<std::int32_t>(node, u"baseUnit", 1000);
    equation.color = Color(node.Attr(u"textColor"), 0);
    equation.baseline = Num<std::int16_t>(node, u"baseLine", 86);
    equation.versionText = ToU16(node.Attr(u"version", QStringLiteral("Equation Version 60")));
    equation.fontName = ToU16(node.Attr(u"font"));
    equation.properties = node.Attr(u"lineMode") == QLatin1String("LINE") ? 1u : 0u;
    const hwp::ObjectProperties object = ObjectOf(node, m_bases);
    equation.inlineAsChar = object.inlineAsChar;
    equation.width = object.width;
    equation.height = object.height;
    equation.verticalOffset = object.verticalOffset;
    equation.horizontalOffset = object.horizontalOffset;
    return hwp::NewEquationControl(equation);
}


// Rectangles, ellipses and lines, with the text box a rectangle or an ellipse may hold.
hwp::Control SectionReader::Shape(const XmlNode& node, std::uint32_t componentId, int depth)
{
    hwp::ObjectProperties object = ObjectOf(node, m_bases);
    hwp::HwpUnit width = object.width;
    hwp::HwpUnit height = object.height;
    if (const XmlNode* size = node.Child(u"curSz"); size != nullptr && size->Int(u"width") > 0) {
        width = Num<hwp::HwpUnit>(*size, u"width");
        height = Num<hwp::HwpUnit>(*size, u"height");
    } else if (const XmlNode* rotation = node.Child(u"rotationInfo"); rotation != nullptr && rotation->Int(u"angle") != 0) {
        // A turned shape's box holds it turned; its own size is the original one as its
        // scale matrix stretches it.
        if (const XmlNode* original = node.Child(u"orgSz"); original != nullptr && original->Int(u"width") > 0) {
            const QSizeF scale = ScaleOf(node);
            width = Num<hwp::HwpUnit>(*original, u"width");
            height = Num<hwp::HwpUnit>(*original, u"height");
            width = static_cast<hwp::HwpUnit>(std::lround(width * scale.width()));
            height = static_cast<hwp::HwpUnit>(std::lround(height * scale.height()));
        }
    }
    hwp::Control control;
    control.ctrlId = hwp::kDrawingCtrlId;
    control.records.push_back({hwp::tag::kCtrlHeader, 0, hwp::WriteObjectProperties(hwp::kDrawingCtrlId, object)});
    const std::vector<hwp::ObjectRecord> caption = Caption(node, depth);
    control.records.insert(control.records.end(), caption.begin(), caption.end());
    control.records.push_back({hwp::tag::kShapeComponent, 1, ShapeComponent(node, componentId, width, height, m_binIds)});
    hwp::ObjectRecord kind = ShapeKindRecord(node, componentId, width, height);
    kind.level = 2;
    if (const XmlNode* text = node.Child(u"drawText"); text != nullptr && componentId != kLineId) {
        const XmlNode* subList = text->Child(u"subList");
        const XmlNode* margin = text->Child(u"textMargin");
        const auto side = [margin](QStringView key) { return margin == nullptr ? std::int16_t{283} : Num<std::int16_t>(*margin, key, 283); };
        hwp::ByteWriter list;
        list.U16(0);
        list.U16(0);
        list.U32(subList == nullptr ? 0 : VerticalAlignBits(*subList));
        list.I16(side(u"left"));
        list.I16(side(u"right"));
        list.I16(side(u"top"));
        list.I16(side(u"bottom"));
        const hwp::HwpUnit textWidth = Num<hwp::HwpUnit>(*text, u"lastWidth", width);
        list.I32(textWidth);
        const std::vector<hwp::ObjectRecord> records =
            hwp::WriteParagraphList(hwp::ToBytes(list.Data()), List(subList, depth + 1), 2, m_document, std::max(textWidth, 1000));
        control.records.insert(control.records.end(), records.begin(), records.end());
    }
    control.records.push_back(std::move(kind));
    return control;
}

// A drawing control's header and caption, and its shape component for `componentId` up to
// its outline, sized by the element's current size where it gives one (`sizedByZero`: a
// size of 0 too).
std::pair<hwp::Control, hwp::Bytes> SectionReader::DrawingHead(const XmlNode& node, int depth,
                                                               std::uint32_t componentId, bool sizedByZero)
{
    const hwp::ObjectProperties object = ObjectOf(node, m_bases);
    hwp::HwpUnit width = object.width;
    hwp::HwpUnit height = object.height;
    if (const XmlNode* size = node.Child(u"curSz"); size != nullptr && (sizedByZero || size->Int(u"width") > 0)) {
        width = Num<hwp::HwpUnit>(*size, u"width");
        height = Num<hwp::HwpUnit>(*size, u"height");
    }
    hwp::Control control;
    control.ctrlId = hwp::kDrawingCtrlId;
    control.records.push_back({hwp::tag::kCtrlHeader, 0, hwp::WriteObjectProperties(hwp::kDrawingCtrlId, object)});
    const std::vector<hwp::ObjectRecord> caption = Caption(node, depth);
    control.records.insert(control.records.end(), caption.begin(), caption.end());
    hwp::Bytes component = ShapeComponent(node, componentId, width, height, m_binIds);
    component.resize(hwp::ShapeLineInfoAt(component, true));
    return {std::move(control), std::move(component)};
}

// A group: its component (no line or fill of its own) naming its members, then each
// member's records one level down, its component's id written once and placed by its
// own matrices. Members the model cannot draw are left out of the drawing; the element
// goes back into a file whole.
hwp::Control SectionReader::Container(const XmlNode& node, int depth)
{
    if (depth > kMaxNesting)
        Fail("groups nest deeper than " + std::to_string(kMaxNesting) + " levels");
    auto [control, component] = DrawingHead(node, depth, kContainerId, false);
    SetRenderingInfo(component, node);
    std::vector<hwp::ObjectRecord> members;
    std::vector<std::uint32_t> ids;
    for (const XmlNode& child : node.children) {
        std::optional<hwp::Control> member;
        if (child.name == u"pic")
            member = Picture(child, depth + 1);
        else if (child.name == u"container")
            member = Container(child, depth + 1);
        else if (const std::optional<std::uint32_t> id = ComponentIdOf(child.name))
            member = Shape(child, *id, depth + 1);
        else if (child.name == u"ole")
            member = Ole(child, depth + 1);
        if (!member || member->records.size() < 2)
            continue;
        // From its component on: a member has no caption of its own.
        std::size_t first = 1;
        while (first < member->records.size() &&
               !(member->records[first].level == 1 && member->records[first].tag == hwp::tag::kShapeComponent))
            ++first;
        for (std::size_t i = first; i < member->records.size(); ++i) {
            hwp::ObjectRecord record = member->records[i];
            if (record.tag == hwp::tag::kShapeComponent && record.level == 1 && record.data.size() >= 8) {
                SetRenderingInfo(record.data, child);
                SetPlaceInGroup(record.data, child);
                ids.push_back(static_cast<std::uint32_t>(hwp::LittleEndianAt(record.data, 0, 4)));
                record.data.erase(record.data.begin(), record.data.begin() + 4);
            }
            ++record.level;
            members.push_back(std::move(record));
        }
    }
    hwp::ByteWriter list;
    list.U16(static_cast<std::uint16_t>(ids.size()));
    for (const std::uint32_t id : ids)
        list.U32(id);
    const std::string& bytes = list.Data();
    component.insert(component.end(), bytes.begin(), bytes.end());
    control.records.push_back({hwp::tag::kShapeComponent, 1, std::move(component)});
    control.records.insert(control.records.end(), members.begin(), members.end());
    return control;
}

// An OLE object in a group: its component's common part and its record below it. Nothing
// when the package lacks the item holding its data.
std::optional<hwp::Control> SectionReader::Ole(const XmlNode& node, int depth)
{
    const auto item = m_binIds.find(node.Attr(u"binaryItemIDRef"));
    if (item == m_binIds.end())
        return std::nullopt;
    // Its current size as the element gives it: a member's may be 0, its matrices size it.
    auto [control, component] = DrawingHead(node, depth, hwp::kOleComponentId, true);
    control.records.push_back({hwp::tag::kShapeComponent, 1, std::move(component)});
    hwp::OleObject ole;
    const int aspect = Code(node.Attr(u"drawAspect"), {"CONTENT", "THUMB_NAIL", "ICON", "DOC_PRINT"});
    ole.properties = (1u << aspect) | (node.Flag(u"hasMoniker") ? 0x100u : 0u) |
                     (static_cast<std::uint32_t>(std::clamp<long long>(node.Int(u"eqBaseLine"), 0, 127)) << 9) |
                     (static_cast<std::uint32_t>(Code(node.Attr(u"objectType"), {"UNKNOWN", "EMBEDDED", "LINK", "STATIC", "EQUATION"})) << 16);
    if (const XmlNode* extent = node.Child(u"extent")) {
        ole.extentX = Num<std::int32_t>(*extent, u"x");
        ole.extentY = Num<std::int32_t>(*extent, u"y");
    }
    ole.binItemId = item->second;
    hwp::Shape border;
    ReadLineShape(node.Child(u"lineShape"), border);
    ole.borderColor = border.outlineColor;
    ole.borderWidth = border.outlineWidth;
    ole.borderProperties = border.outline | border.ends.Bits();
    control.records.push_back(hwp::WriteOleRecord(ole, 2));
    return control;
}

}  // namespace

hwp::Section ReadSection(const XmlNode& sec, const hwp::Document& document,
                         const std::map<QString, std::uint16_t>& binIds, const std::string& part)
{
    SectionReader reader(sec, document, binIds, part);
    hwp::Section section;
    for (const XmlNode* p : sec.Children(u"p")) {
        hwp::Paragraph paragraph = reader.Paragraph(*p, &section, 0);
        if (section.paragraphs.empty())
            paragraph.breakFlags &= static_cast<std::uint8_t>(~(hwp::kBreakSection | hwp::kBreakColumns));
        section.paragraphs.push_back(std::move(paragraph));
    }
    if (section.paragraphs.empty())
        throw hwp::HwpError(part + ": the section holds no paragraph");
    return section;
}

}  // namespace hwpx
