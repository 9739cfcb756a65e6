#include "page/fill_painter.h"

#include "document/fill_brush.h"
#include "document/hwp_mapping.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace editor {
namespace {

// A hatch line every 6 layout pixels (1.6 mm), as the word processor spaces them on paper.
constexpr double kHatchSpacing = 6.0;
// A square gradient is drawn as nested rectangles; this many look smooth at 600 dpi.
constexpr int kSquareSteps = 96;
// More tiles than this and the picture is stretched instead: a damaged size.
constexpr int kMaxTiles = 4096;

double DevicePixelOf(const QPainter& painter)
{
    const QTransform& t = painter.transform();
    const double factor = std::hypot(t.m11(), t.m12());
    return factor > 0 ? 1.0 / factor : 1.0;
}

QColor Mix(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

QColor ColorAt(const QGradientStops& stops, double t)
{
    if (stops.isEmpty())
        return Qt::white;
    if (t <= stops.front().first)
        return stops.front().second;
    for (qsizetype i = 1; i < stops.size(); ++i) {
        if (t <= stops[i].first) {
            const double span = stops[i].first - stops[i - 1].first;
            return Mix(stops[i - 1].second, stops[i].second, span > 0 ? (t - stops[i - 1].first) / span : 1.0);
        }
    }
    return stops.back().second;
}

void PaintHatch(QPainter& painter, const QRectF& box, const hwp::Fill& fill, double scale)
{
    const double spacing = kHatchSpacing * scale;
    if (spacing <= 0 || box.isEmpty())
        return;
    QPen pen(FromColorRef(fill.patternColor));
    pen.setWidthF(std::max(DevicePixelOf(painter), 0.75 * scale));
    painter.setPen(pen);
    const bool horizontal = fill.pattern == 0 || fill.pattern == 4;
    const bool vertical = fill.pattern == 1 || fill.pattern == 4;
    const bool backSlash = fill.pattern == 2 || fill.pattern == 5;
    const bool slash = fill.pattern == 3 || fill.pattern == 5;
    if (horizontal) {
        for (double y = box.top() + spacing / 2; y < box.bottom(); y += spacing)
            painter.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
    }
    if (vertical) {
        for (double x = box.left() + spacing / 2; x < box.right(); x += spacing)
            painter.drawLine(QPointF(x, box.top()), QPointF(x, box.bottom()));
    }
    // Diagonals at 45 degrees, spaced as the straight ones across their direction.
    const double step = spacing * std::numbers::sqrt2;
    for (double d = step / 2; d < box.width() + box.height(); d += step) {
        if (backSlash)
            painter.drawLine(QPointF(box.left() + d - box.height(), box.top()), QPointF(box.left() + d, box.bottom()));
        if (slash)
            painter.drawLine(QPointF(box.left() + d, box.top()), QPointF(box.left() + d - box.height(), box.bottom()));
    }
}

void PaintGradient(QPainter& painter, const QRectF& box, const hwp::Gradient& gradient, std::uint8_t blendCenter)
{
    const QGradientStops stops = GradientStops(gradient, blendCenter);
    if (stops.isEmpty())
        return;
    const QPointF centre(box.left() + box.width() * std::clamp(gradient.centerX, 0, 100) / 100.0,
                         box.top() + box.height() * std::clamp(gradient.centerY, 0, 100) / 100.0);
    switch (static_cast<hwp::GradientKind>(gradient.kind)) {
    case hwp::GradientKind::Radial: {
        double radius = 0;
        for (const QPointF corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()})
            radius = std::max(radius, std::hypot(corner.x() - centre.x(), corner.y() - centre.y()));
        QRadialGradient brush(centre, std::max(radius, 1e-3));
        brush.setStops(stops);
        painter.fillRect(box, brush);
        return;
    }
    case hwp::GradientKind::Conical: {
        QConicalGradient brush(centre, 90.0 - gradient.angle);
        brush.setStops(stops);
        painter.fillRect(box, brush);
        return;
    }
    case hwp::GradientKind::Square: {
        // Rings of the box's shape from the first colour at the centre out to the last at
        // the edges.
        painter.setPen(Qt::NoPen);
        const double across = std::max(centre.x() - box.left(), box.right() - centre.x());
        const double down = std::max(centre.y() - box.top(), box.bottom() - centre.y());
        for (int i = kSquareSteps; i >= 1; --i) {
            const double t = double(i) / kSquareSteps;
            painter.setBrush(ColorAt(stops, t));
            painter.drawRect(QRectF(centre.x() - across * t, centre.y() - down * t, 2 * across * t, 2 * down * t)
                                 .intersected(box));
        }
        return;
    }
    case hwp::GradientKind::Linear:
    default: {
        // Angle 0 runs from the top down; 90 from the left to the right.
        const double radians = gradient.angle * std::numbers::pi / 180.0;
        const QPointF along(std::sin(radians), std::cos(radians));
        const double half = (std::abs(box.width() * along.x()) + std::abs(box.height() * along.y())) / 2;
        const QPointF middle = box.center();
        QLinearGradient brush(middle - along * half, middle + along * half);
        brush.setStops(stops);
        painter.fillRect(box, brush);
        return;
    }
    }
}

// Where copies of a picture of `size` go in `box` for `mode`.
std::vector<QRectF> ImagePlaces(const QRectF& box, QSizeF size, std::uint8_t mode)
{
    using Mode = hwp::ImageFillMode;
    const auto modeIs = [mode](Mode m) { return mode == static_cast<std::uint8_t>(m); };
    if (modeIs(Mode::Stretch) || mode > static_cast<std::uint8_t>(Mode::RightBottom) || size.isEmpty())
        return {box};
    if (mode <= static_cast<std::uint8_t>(Mode::TileRight)) {
        const bool across = !modeIs(Mode::TileLeft) && !modeIs(Mode::TileRight);
        const bool down = !modeIs(Mode::TileTop) && !modeIs(Mode::TileBottom);
        const int columns = across ? static_cast<int>(std::ceil(box.width() / size.width())) : 1;
        const int rows = down ? static_cast<int>(std::ceil(box.height() / size.height())) : 1;
        if (std::int64_t{columns} * rows > kMaxTiles)
            return {box};
        const double x0 = modeIs(Mode::TileRight) ? box.right() - size.width() : box.left();
        const double y0 = modeIs(Mode::TileBottom) ? box.bottom() - size.height() : box.top();
        std::vector<QRectF> places;
        for (int row = 0; row < rows; ++row)
            for (int column = 0; column < columns; ++column)
                places.emplace_back(QPointF(x0 + column * size.width(), y0 + row * size.height()), size);
        return places;
    }
    // Centre, then the edges and corners in the order the modes name them.
    static constexpr double kAcross[] = {0.5, 0.5, 0.5, 0, 0, 0, 1, 1, 1};
    static constexpr double kDown[] = {0.5, 0, 1, 0.5, 0, 1, 0.5, 0, 1};
    const std::size_t at = mode - static_cast<std::size_t>(Mode::Center);
    return {QRectF(QPointF(box.left() + (box.width() - size.width()) * kAcross[at],
                           box.top() + (box.height() - size.height()) * kDown[at]),
                   size)};
}

void PaintImage(QPainter& painter, const QRectF& box, const hwp::ImageFill& fill, double scale,
                const FillImageSource& images)
{
    if (!images)
        return;
    const bool stretched = fill.mode == static_cast<std::uint8_t>(hwp::ImageFillMode::Stretch);
    const QSize pixels = stretched ? painter.deviceTransform().mapRect(box).size().toSize() : QSize();
    const QImage image = images(fill, pixels);
    if (image.isNull())
        return;
    // The picture's own size: its pixels at 96 dpi, or as its file says.
    QSizeF size(image.width(), image.height());
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0)
        size = QSizeF(image.width() * 3780.0 / image.dotsPerMeterX(), image.height() * 3780.0 / image.dotsPerMeterY());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const QRectF& place : ImagePlaces(box, size * scale, fill.mode))
        painter.drawImage(place, image);
}

} // namespace

void PaintFill(QPainter& painter, const QPainterPath& area, const hwp::Fill& fill, double scale,
               const FillImageSource& images)
{
    const QRectF box = area.boundingRect();
    if (box.isEmpty() || !fill.Paints())
        return;
    const bool hatched = (fill.kinds & hwp::kFillColor) && fill.pattern >= 0 && fill.pattern <= 5;
    if (!fill.gradient && !fill.image && !hatched) {
        painter.fillPath(area, FromColorRef(fill.face));   // a colour alone, as most cells have
        return;
    }
    painter.save();
    painter.setClipPath(area, Qt::IntersectClip);
    if ((fill.kinds & hwp::kFillColor) && fill.face != hwp::kNoColor)
        painter.fillRect(box, FromColorRef(fill.face));
    if (fill.gradient)
        PaintGradient(painter, box, *fill.gradient, fill.blendCenter);
    if (fill.image)
        PaintImage(painter, box, *fill.image, scale, images);
    if (hatched)
        PaintHatch(painter, box, fill, scale);
    painter.restore();
}

} // namespace editor
