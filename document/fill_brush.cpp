#include "document/fill_brush.h"

#include "document/hwp_mapping.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace editor {
namespace {

QColor Mix(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                            static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                            static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

} // namespace

QGradientStops GradientStops(const hwp::Gradient& gradient, std::uint8_t blendCenter)
{
    QGradientStops stops;
    const std::size_t count = gradient.colors.size();
    if (count == 0)
        return stops;
    if (count == 1)
        return {{0.0, FromColorRef(gradient.colors[0])}, {1.0, FromColorRef(gradient.colors[0])}};
    if (count == 2) {
        const QColor first = FromColorRef(gradient.colors[0]);
        const QColor last = FromColorRef(gradient.colors[1]);
        stops.append({0.0, first});
        const double middle = std::clamp(blendCenter, std::uint8_t{1}, std::uint8_t{99}) / 100.0;
        stops.append({middle, Mix(first, last, 0.5)});
        stops.append({1.0, last});
        return stops;
    }
    // Positions count from the first colour's to the last's.
    const double from = gradient.positions.empty() ? 0 : gradient.positions.front();
    const double to = gradient.positions.size() == count ? gradient.positions.back() : 0;
    for (std::size_t i = 0; i < count; ++i) {
        double t = double(i) / double(count - 1);
        if (gradient.positions.size() == count && to > from)
            t = std::clamp((gradient.positions[i] - from) / (to - from), 0.0, 1.0);
        if (!stops.isEmpty() && t < stops.back().first)
            t = stops.back().first;
        stops.append({t, FromColorRef(gradient.colors[i])});
    }
    return stops;
}

std::optional<QBrush> CellGradientBrush(const hwp::BorderFillView& view)
{
    if (!(view.fillKinds & hwp::kFillGradient))
        return std::nullopt;
    hwp::Fill fill;
    try {
        fill = hwp::FillOf(view);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (!fill.gradient || fill.gradient->colors.empty())
        return std::nullopt;
    const hwp::Gradient& gradient = *fill.gradient;
    const QGradientStops stops = GradientStops(gradient, fill.blendCenter);
    // In the cell's own box, 0 to 1 across and down.
    const QPointF centre(std::clamp(gradient.centerX, 0, 100) / 100.0, std::clamp(gradient.centerY, 0, 100) / 100.0);
    const auto finish = [&stops](QGradient&& brush) {
        brush.setCoordinateMode(QGradient::ObjectMode);
        brush.setStops(stops);
        return QBrush(brush);
    };
    switch (static_cast<hwp::GradientKind>(gradient.kind)) {
    case hwp::GradientKind::Radial:
    case hwp::GradientKind::Square: {
        double radius = 0;
        for (const QPointF corner : {QPointF(0, 0), QPointF(1, 0), QPointF(0, 1), QPointF(1, 1)})
            radius = std::max(radius, std::hypot(corner.x() - centre.x(), corner.y() - centre.y()));
        return finish(QRadialGradient(centre, std::max(radius, 1e-3)));
    }
    case hwp::GradientKind::Conical:
        return finish(QConicalGradient(centre, 90.0 - gradient.angle));
    case hwp::GradientKind::Linear:
    default: {
        const double radians = gradient.angle * std::numbers::pi / 180.0;
        const QPointF along(std::sin(radians), std::cos(radians));
        const double half = (std::abs(along.x()) + std::abs(along.y())) / 2;
        return finish(QLinearGradient(QPointF(0.5, 0.5) - along * half, QPointF(0.5, 0.5) + along * half));
    }
    }
}

} // namespace editor
