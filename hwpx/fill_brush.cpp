#include "hwpx/fill_brush.h"

#include <QStringList>

#include "hwpx/values.h"
#include "hwpx/xml_writer.h"

namespace hwpx {
namespace {

constexpr std::size_t kMaxGradationColors = 64;

constexpr const char* kHatches[] = {"HORIZONTAL", "VERTICAL", "BACK_SLASH", "SLASH", "CROSS", "CROSS_DIAGONAL"};
constexpr const char* kGradations[] = {"", "LINEAR", "RADIAL", "CONICAL", "SQUARE"};
constexpr const char* kImageModes[] = {"TILE", "TILE_HORZ_TOP", "TILE_HORZ_BOTTOM", "TILE_VERT_LEFT", "TILE_VERT_RIGHT",
                                       "TOTAL", "CENTER", "CENTER_TOP", "CENTER_BOTTOM", "LEFT_CENTER", "LEFT_TOP",
                                       "LEFT_BOTTOM", "RIGHT_CENTER", "RIGHT_TOP", "RIGHT_BOTTOM", "ZOOM"};
constexpr const char* kEffects[] = {"REAL_PIC", "GRAY_SCALE", "BLACK_WHITE"};
constexpr const char* kArcTypes[] = {"NORMAL", "PIE", "CHORD"};
constexpr const char* kLineKinds[] = {"NONE", "SOLID", "DASH", "DOT", "DASH_DOT", "DASH_DOT_DOT", "LONG_DASH", "CIRCLE",
                                      "DOUBLE_SLIM", "SLIM_THICK", "THICK_SLIM", "SLIM_THICK_SLIM"};
constexpr const char* kCaps[] = {"ROUND", "FLAT"};
constexpr const char* kArrows[] = {"NORMAL", "ARROW", "SPEAR", "CONCAVE_ARROW", "EMPTY_DIAMOND", "EMPTY_CIRCLE",
                                   "EMPTY_BOX", "FILLED_DIAMOND", "FILLED_CIRCLE", "FILLED_BOX"};
constexpr const char* kArrowSizes[] = {"SMALL_SMALL", "SMALL_MEDIUM", "SMALL_LARGE", "MEDIUM_SMALL", "MEDIUM_MEDIUM",
                                       "MEDIUM_LARGE", "LARGE_SMALL", "LARGE_MEDIUM", "LARGE_LARGE"};
constexpr const char* kOutlinePlaces[] = {"NORMAL", "OUTER", "INNER"};
constexpr const char* kShadows[] = {"NONE", "PARELLEL_LEFTTOP", "PARELLEL_RIGHTTOP", "PARELLEL_LEFTBOTTOM",
                                    "PARELLEL_RIGHTBOTTOM", "SHEAR_LEFTTOP", "SHEAR_RIGHTTOP", "SHEAR_LEFTBOTTOM",
                                    "SHEAR_RIGHTBOTTOM", "SMALLER", "LARGER"};
// A shadow kind of a word we do not know: its element as read keeps the word.
constexpr std::uint32_t kUnknownShadow = 0xFF;

template <std::size_t N>
int CodeOf(const QString& word, const char* const (&words)[N], int fallback)
{
    for (std::size_t i = 0; i < N; ++i)
        if (word == QLatin1String(words[i]))
            return static_cast<int>(i);
    return fallback;
}

template <std::size_t N>
QString WordAt(const char* const (&words)[N], std::size_t index, std::size_t fallback = 0)
{
    return QString::fromLatin1(words[index < N ? index : fallback]);
}

// The element names no positions of its colours: they stand evenly spread, in percent.
std::vector<std::int32_t> EvenPositions(std::size_t colors)
{
    std::vector<std::int32_t> positions;
    const std::size_t last = colors - 1;
    for (std::size_t i = 0; i <= last; ++i)
        positions.push_back(static_cast<std::int32_t>(i * 100 / last));
    return positions;
}

// Positions spread otherwise go in an attribute of our own namespace, which other readers
// pass over.
constexpr const char* kOwnNs = "urn:varnel:hwpx";

QString OwnPositions(const XmlNode& node)
{
    for (const auto& [name, value] : node.attributes) {
        const qsizetype colon = name.indexOf(u':');
        if (colon > 0 && name.mid(colon + 1) == u"positions" && node.namespaces.contains(name.left(colon)) &&
            node.namespaces.at(name.left(colon)) == QLatin1String(kOwnNs))
            return value;
    }
    return {};
}

hwp::Gradient ReadGradation(const XmlNode& node)
{
    hwp::Gradient gradient;
    gradient.kind = static_cast<std::uint8_t>(Code(node.Attr(u"type"), {"", "LINEAR", "RADIAL", "CONICAL", "SQUARE"}, 1));
    gradient.angle = Num<std::int32_t>(node, u"angle");
    gradient.centerX = Num<std::int32_t>(node, u"centerX");
    gradient.centerY = Num<std::int32_t>(node, u"centerY");
    gradient.blur = Num<std::int32_t>(node, u"step");
    for (const XmlNode* color : node.Children(u"color")) {
        if (gradient.colors.size() < kMaxGradationColors)
            gradient.colors.push_back(Color(color->Attr(u"value"), 0));
    }
    if (gradient.colors.size() > 2) {
        gradient.positions = EvenPositions(gradient.colors.size());
        // Positions of our own, one a colour, rising: what an HWP file held.
        const QStringList words = OwnPositions(node).split(u' ', Qt::SkipEmptyParts);
        std::vector<std::int32_t> positions;
        for (const QString& word : words) {
            bool ok = false;
            const int position = word.toInt(&ok);
            if (!ok || (!positions.empty() && position < positions.back()))
                break;
            positions.push_back(position);
        }
        if (positions.size() == gradient.colors.size())
            gradient.positions = std::move(positions);
    }
    return gradient;
}

void WriteGradation(QXmlStreamWriter& out, const hwp::Gradient& gradient, std::uint8_t blendCenter)
{
    out.writeStartElement(kCoreNs, QStringLiteral("gradation"));
    out.writeAttribute(QStringLiteral("type"), WordAt(kGradations, gradient.kind, 1));
    out.writeAttribute(QStringLiteral("angle"), QString::number(gradient.angle));
    out.writeAttribute(QStringLiteral("centerX"), QString::number(gradient.centerX));
    out.writeAttribute(QStringLiteral("centerY"), QString::number(gradient.centerY));
    out.writeAttribute(QStringLiteral("step"), QString::number(gradient.blur));
    out.writeAttribute(QStringLiteral("colorNum"), QString::number(gradient.colors.size()));
    out.writeAttribute(QStringLiteral("stepCenter"), QString::number(blendCenter));
    if (gradient.colors.size() > 2 && gradient.positions.size() == gradient.colors.size() &&
        gradient.positions != EvenPositions(gradient.colors.size())) {
        QStringList words;
        for (const std::int32_t position : gradient.positions)
            words.push_back(QString::number(position));
        out.writeNamespace(QString::fromLatin1(kOwnNs), QStringLiteral("vn"));
        out.writeAttribute(QString::fromLatin1(kOwnNs), QStringLiteral("positions"), words.join(u' '));
    }
    for (const hwp::ColorRef color : gradient.colors) {
        out.writeEmptyElement(kCoreNs, QStringLiteral("color"));
        out.writeAttribute(QStringLiteral("value"), ColorText(color));
    }
    out.writeEndElement();
}

void WritePoint(QXmlStreamWriter& out, const QString& name, hwp::ShapePoint point)
{
    out.writeEmptyElement(kCoreNs, name);
    out.writeAttribute(QStringLiteral("x"), QString::number(point.x));
    out.writeAttribute(QStringLiteral("y"), QString::number(point.y));
}

hwp::ShapePoint Point(const XmlNode* node, QStringView x = u"x", QStringView y = u"y")
{
    return node == nullptr ? hwp::ShapePoint{} : hwp::ShapePoint{Num<std::int32_t>(*node, x), Num<std::int32_t>(*node, y)};
}

} // namespace

hwp::Fill ReadFillBrush(const XmlNode* brush, const std::map<QString, std::uint16_t>& binIds)
{
    hwp::Fill fill;
    if (brush == nullptr)
        return fill;
    if (const XmlNode* win = brush->Child(u"winBrush")) {
        fill.kinds |= hwp::kFillColor;
        fill.face = Color(win->Attr(u"faceColor"));
        fill.patternColor = Color(win->Attr(u"hatchColor"), 0);
        fill.pattern = win->Attr(u"hatchStyle").isEmpty()
                           ? -1
                           : Code(win->Attr(u"hatchStyle"), {"HORIZONTAL", "VERTICAL", "BACK_SLASH", "SLASH", "CROSS",
                                                             "CROSS_DIAGONAL"}, -1);
    }
    if (const XmlNode* gradation = brush->Child(u"gradation")) {
        fill.kinds |= hwp::kFillGradient;
        fill.gradient = ReadGradation(*gradation);
        fill.blendCenter = Num<std::uint8_t>(*gradation, u"stepCenter", 50);
        fill.extra = {1, 0, 0, 0, fill.blendCenter};
    }
    if (const XmlNode* image = brush->Child(u"imgBrush")) {
        const XmlNode* img = image->Child(u"img");
        const auto found = img == nullptr ? binIds.end() : binIds.find(img->Attr(u"binaryItemIDRef"));
        if (found != binIds.end()) {
            fill.kinds |= hwp::kFillImage;
            hwp::ImageFill picture;
            picture.mode = static_cast<std::uint8_t>(
                Code(image->Attr(u"mode"), {"TILE", "TILE_HORZ_TOP", "TILE_HORZ_BOTTOM", "TILE_VERT_LEFT",
                                            "TILE_VERT_RIGHT", "TOTAL", "CENTER", "CENTER_TOP", "CENTER_BOTTOM",
                                            "LEFT_CENTER", "LEFT_TOP", "LEFT_BOTTOM", "RIGHT_CENTER", "RIGHT_TOP",
                                            "RIGHT_BOTTOM", "ZOOM"}, 0));
            picture.brightness = Num<std::int8_t>(*img, u"bright");
            picture.contrast = Num<std::int8_t>(*img, u"contrast");
            picture.effect = static_cast<std::uint8_t>(Code(img->Attr(u"effect"), {"REAL_PIC", "GRAY_SCALE", "BLACK_WHITE"}));
            picture.binItemId = found->second;
            fill.image = picture;
        }
    }
    return fill;
}

// What the model holds only: an element read from HWPX keeps its transparency and the
// rest through the merge with it as read.
void WriteFillBrush(QXmlStreamWriter& out, const hwp::Fill& fill, const std::map<std::uint16_t, QString>& binNames)
{
    const bool color = (fill.kinds & hwp::kFillColor) && (fill.face != hwp::kNoColor || fill.pattern >= 0);
    const bool gradient = (fill.kinds & hwp::kFillGradient) && fill.gradient;
    const auto name = fill.image ? binNames.find(fill.image->binItemId) : binNames.end();
    const bool image = (fill.kinds & hwp::kFillImage) && name != binNames.end();
    if (!color && !gradient && !image)
        return;
    out.writeStartElement(kCoreNs, QStringLiteral("fillBrush"));
    if (color) {
        out.writeEmptyElement(kCoreNs, QStringLiteral("winBrush"));
        out.writeAttribute(QStringLiteral("faceColor"), ColorText(fill.face));
        out.writeAttribute(QStringLiteral("hatchColor"), ColorText(fill.patternColor));
        if (fill.pattern >= 0)
            out.writeAttribute(QStringLiteral("hatchStyle"), WordAt(kHatches, static_cast<std::size_t>(fill.pattern)));
    }
    WriteGradationAndImage(out, fill, binNames);
    out.writeEndElement();
}

void WriteGradationAndImage(QXmlStreamWriter& out, const hwp::Fill& fill, const std::map<std::uint16_t, QString>& binNames)
{
    const auto name = fill.image ? binNames.find(fill.image->binItemId) : binNames.end();
    if ((fill.kinds & hwp::kFillGradient) && fill.gradient)
        WriteGradation(out, *fill.gradient, fill.blendCenter);
    if ((fill.kinds & hwp::kFillImage) && name != binNames.end()) {
        out.writeStartElement(kCoreNs, QStringLiteral("imgBrush"));
        out.writeAttribute(QStringLiteral("mode"), WordAt(kImageModes, fill.image->mode));
        out.writeEmptyElement(kCoreNs, QStringLiteral("img"));
        out.writeAttribute(QStringLiteral("binaryItemIDRef"), name->second);
        out.writeAttribute(QStringLiteral("bright"), QString::number(fill.image->brightness));
        out.writeAttribute(QStringLiteral("contrast"), QString::number(fill.image->contrast));
        out.writeAttribute(QStringLiteral("effect"), WordAt(kEffects, fill.image->effect));
        out.writeEndElement();
    }
}

void ReadLineShape(const XmlNode* line, hwp::Shape& shape)
{
    shape.outlineColor = 0;
    shape.outlineWidth = 0;
    shape.outline = 1;
    shape.ends = {};
    shape.outlinePlace = 0;
    if (line == nullptr)
        return;
    shape.outlineColor = Color(line->Attr(u"color"), 0);
    shape.outlineWidth = Num<std::int32_t>(*line, u"width");
    shape.outline = LineKindCode(line->Attr(u"style"));
    hwp::LineEnds& ends = shape.ends;
    ends.cap = static_cast<std::uint8_t>(CodeOf(line->Attr(u"endCap"), kCaps, 1));
    ends.headStyle = static_cast<std::uint8_t>(CodeOf(line->Attr(u"headStyle"), kArrows, 0));
    ends.tailStyle = static_cast<std::uint8_t>(CodeOf(line->Attr(u"tailStyle"), kArrows, 0));
    ends.headSize = static_cast<std::uint8_t>(CodeOf(line->Attr(u"headSz"), kArrowSizes, 4));
    ends.tailSize = static_cast<std::uint8_t>(CodeOf(line->Attr(u"tailSz"), kArrowSizes, 4));
    ends.headFill = line->Flag(u"headfill");
    ends.tailFill = line->Flag(u"tailfill");
    shape.outlinePlace = static_cast<std::uint8_t>(CodeOf(line->Attr(u"outlineStyle"), kOutlinePlaces, 0));
}

void WriteLineShape(QXmlStreamWriter& out, const hwp::Shape& shape)
{
    const hwp::LineEnds& ends = shape.ends;
    out.writeEmptyElement(kParagraphNs, QStringLiteral("lineShape"));
    out.writeAttribute(QStringLiteral("color"), ColorText(shape.outlineColor));
    out.writeAttribute(QStringLiteral("width"), QString::number(shape.outlineWidth));
    out.writeAttribute(QStringLiteral("style"), WordAt(kLineKinds, shape.outline));
    out.writeAttribute(QStringLiteral("endCap"), WordAt(kCaps, ends.cap, 1));
    out.writeAttribute(QStringLiteral("headStyle"), WordAt(kArrows, ends.headStyle));
    out.writeAttribute(QStringLiteral("tailStyle"), WordAt(kArrows, ends.tailStyle));
    out.writeAttribute(QStringLiteral("headfill"), QString::number(ends.headFill));
    out.writeAttribute(QStringLiteral("tailfill"), QString::number(ends.tailFill));
    out.writeAttribute(QStringLiteral("headSz"), WordAt(kArrowSizes, ends.headSize, 4));
    out.writeAttribute(QStringLiteral("tailSz"), WordAt(kArrowSizes, ends.tailSize, 4));
    out.writeAttribute(QStringLiteral("outlineStyle"), WordAt(kOutlinePlaces, shape.outlinePlace));
}

std::optional<hwp::ShapeShadow> ReadShadow(const XmlNode* node)
{
    if (node == nullptr)
        return std::nullopt;
    hwp::ShapeShadow shadow;
    const int kind = CodeOf(node->Attr(u"type"), kShadows, -1);
    shadow.kind = kind < 0 ? kUnknownShadow : static_cast<std::uint32_t>(kind);
    shadow.color = Color(node->Attr(u"color"), 0x00B2B2B2);
    shadow.offsetX = Num<std::int32_t>(*node, u"offsetX");
    shadow.offsetY = Num<std::int32_t>(*node, u"offsetY");
    shadow.alpha = Num<std::uint8_t>(*node, u"alpha");
    return shadow;
}

void WriteShadow(QXmlStreamWriter& out, const hwp::ShapeShadow& shadow)
{
    out.writeEmptyElement(kParagraphNs, QStringLiteral("shadow"));
    if (shadow.kind < std::size(kShadows))
        out.writeAttribute(QStringLiteral("type"), QString::fromLatin1(kShadows[shadow.kind]));
    out.writeAttribute(QStringLiteral("color"), ColorText(shadow.color));
    out.writeAttribute(QStringLiteral("offsetX"), QString::number(shadow.offsetX));
    out.writeAttribute(QStringLiteral("offsetY"), QString::number(shadow.offsetY));
    out.writeAttribute(QStringLiteral("alpha"), QString::number(shadow.alpha));
}

void ReadShapePoints(const XmlNode& node, hwp::Shape& shape)
{
    shape.points.clear();
    shape.segments.clear();
    switch (shape.kind) {
    case hwp::ShapeKind::Arc:
        shape.arcKind = static_cast<std::uint8_t>(Code(node.Attr(u"type"), {"NORMAL", "PIE", "CHORD"}));
        shape.points = {Point(node.Child(u"center")), Point(node.Child(u"ax1")), Point(node.Child(u"ax2"))};
        break;
    case hwp::ShapeKind::Polygon:
        for (const XmlNode* point : node.Children(u"pt"))
            shape.points.push_back(Point(point));
        break;
    case hwp::ShapeKind::Curve:
        // Each segment names both its ends; the next starts where one ends.
        for (const XmlNode* segment : node.Children(u"seg")) {
            if (shape.points.empty())
                shape.points.push_back(Point(segment, u"x1", u"y1"));
            shape.points.push_back(Point(segment, u"x2", u"y2"));
            shape.segments.push_back(segment->Attr(u"type") == QLatin1String("CURVE") ? 1 : 0);
        }
        break;
    default:
        break;
    }
}

void WriteShapePointAttributes(QXmlStreamWriter& out, const hwp::Shape& shape)
{
    if (shape.kind == hwp::ShapeKind::Arc)
        out.writeAttribute(QStringLiteral("type"), WordAt(kArcTypes, shape.arcKind));
}

void WriteShapePoints(QXmlStreamWriter& out, const hwp::Shape& shape)
{
    switch (shape.kind) {
    case hwp::ShapeKind::Arc: {
        const QString names[] = {QStringLiteral("center"), QStringLiteral("ax1"), QStringLiteral("ax2")};
        for (std::size_t i = 0; i < 3; ++i)
            WritePoint(out, names[i], i < shape.points.size() ? shape.points[i] : hwp::ShapePoint{});
        break;
    }
    case hwp::ShapeKind::Polygon:
        for (const hwp::ShapePoint& point : shape.points)
            WritePoint(out, QStringLiteral("pt"), point);
        break;
    case hwp::ShapeKind::Curve:
        for (std::size_t i = 1; i < shape.points.size(); ++i) {
            const bool curved = i - 1 < shape.segments.size() && shape.segments[i - 1] == 1;
            out.writeEmptyElement(kParagraphNs, QStringLiteral("seg"));
            out.writeAttribute(QStringLiteral("type"), curved ? QStringLiteral("CURVE") : QStringLiteral("LINE"));
            out.writeAttribute(QStringLiteral("x1"), QString::number(shape.points[i - 1].x));
            out.writeAttribute(QStringLiteral("y1"), QString::number(shape.points[i - 1].y));
            out.writeAttribute(QStringLiteral("x2"), QString::number(shape.points[i].x));
            out.writeAttribute(QStringLiteral("y2"), QString::number(shape.points[i].y));
        }
        break;
    default:
        break;
    }
}

} // namespace hwpx
