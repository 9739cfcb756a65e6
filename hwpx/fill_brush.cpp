#include "hwpx/fill_brush.h"

#include "hwpx/values.h"

namespace hwpx {
namespace {

constexpr std::size_t kMaxGradationColors = 64;

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
        // Evenly spread: the element names no positions.
        const std::size_t last = gradient.colors.size() - 1;
        for (std::size_t i = 0; i <= last; ++i)
            gradient.positions.push_back(static_cast<std::int32_t>(i * 100 / last));
    }
    return gradient;
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

} // namespace hwpx
