#include "page/line_ends.h"

#include "document/hwp_mapping.h"

#include <QLineF>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace editor {
namespace {

// Head kinds as the file numbers them.
enum Head : std::uint8_t {
    kNone = 0, kArrow, kSpear, kConcaveArrow, kEmptyDiamond, kEmptyCircle, kEmptyBox,
    kFilledDiamond, kFilledCircle, kFilledBox,
};

// A head's width and length, from its size (0..8: width small, medium, large, each with
// a small, medium or large length), in multiples of a base that grows with the line.
QSizeF HeadSize(std::uint8_t size, double lineWidth, double unit)
{
    constexpr double kFactors[] = {2.0, 3.0, 4.5};
    const double base = std::max(lineWidth, 100 * unit);   // at least 0.35 mm
    const int index = std::min<int>(size, 8);
    return {kFactors[index / 3] * base, kFactors[index % 3] * base};
}

// The end at `t` (0 or 1) of `path` and the way out of the path there, as a unit vector.
bool EndOf(const QPainterPath& path, bool start, QPointF& at, QPointF& out)
{
    const double length = path.length();
    if (length <= 0)
        return false;
    const double step = std::min(0.5, 1.0 / length);
    at = path.pointAtPercent(start ? 0.0 : 1.0);
    const QPointF inside = path.pointAtPercent(start ? step : 1.0 - step);
    const QLineF direction(inside, at);
    if (direction.length() <= 0)
        return false;
    out = (at - inside) / direction.length();
    return true;
}

void PaintHead(QPainter& painter, std::uint8_t kind, QPointF tip, QPointF out, QSizeF size, const QPen& pen)
{
    const QPointF across(-out.y(), out.x());
    const double w = size.width() / 2;
    const double l = size.height();
    const QPointF back = tip - out * l;
    QPainterPath head;
    switch (kind) {
    case kArrow:
        head.addPolygon(QPolygonF({tip, back + across * w, back - across * w}));
        break;
    case kSpear:
    case kConcaveArrow: {
        const QPointF notch = tip - out * (kind == kSpear ? 0.6 * l : 0.75 * l);
        head.addPolygon(QPolygonF({tip, back + across * w, notch, back - across * w}));
        break;
    }
    case kEmptyDiamond:
    case kFilledDiamond:
        head.addPolygon(QPolygonF({tip + out * (l / 2), tip + across * w, tip - out * (l / 2), tip - across * w}));
        break;
    case kEmptyCircle:
    case kFilledCircle:
        head.addEllipse(tip, l / 2, w);
        break;
    case kEmptyBox:
    case kFilledBox:
        head.addPolygon(QPolygonF({tip + out * (l / 2) + across * w, tip + out * (l / 2) - across * w,
                                   tip - out * (l / 2) - across * w, tip - out * (l / 2) + across * w}));
        break;
    default:
        return;
    }
    head.closeSubpath();
    const bool empty = kind == kEmptyDiamond || kind == kEmptyCircle || kind == kEmptyBox;
    QPen outline = pen;
    outline.setStyle(Qt::SolidLine);
    outline.setWidthF(std::min(pen.widthF(), std::min(size.width(), size.height()) / 4));
    painter.setPen(outline);
    painter.setBrush(empty ? QBrush(Qt::white) : QBrush(pen.color()));
    painter.drawPath(head);
}

bool Pointed(std::uint8_t kind)
{
    return kind == kArrow || kind == kSpear || kind == kConcaveArrow;
}

} // namespace

bool HasLineEnds(const hwp::Shape& shape, const QPainterPath& path)
{
    if (shape.kind == hwp::ShapeKind::Line)
        return true;
    if (shape.kind != hwp::ShapeKind::Arc && shape.kind != hwp::ShapeKind::Curve)
        return false;
    return path.elementCount() > 1 && QLineF(path.pointAtPercent(0), path.pointAtPercent(1)).length() > 1e-6;
}

void PaintLineEnds(QPainter& painter, const QPainterPath& path, const hwp::LineEnds& ends, const QPen& pen, double unit)
{
    if (pen.style() == Qt::NoPen || (ends.headStyle == kNone && ends.tailStyle == kNone))
        return;
    painter.save();
    for (const bool start : {true, false}) {
        const std::uint8_t kind = start ? ends.headStyle : ends.tailStyle;
        QPointF at, out;
        if (kind == kNone || !EndOf(path, start, at, out))
            continue;
        PaintHead(painter, kind, at, out, HeadSize(start ? ends.headSize : ends.tailSize, pen.widthF(), unit), pen);
    }
    painter.restore();
}

QPainterPath WithinPointedEnds(const QPainterPath& path, const hwp::LineEnds& ends, const QPen& pen, double unit)
{
    // Only a straight line is pulled in; a curve's cap hides under its head well enough.
    if (path.elementCount() != 2 || (!Pointed(ends.headStyle) && !Pointed(ends.tailStyle)))
        return path;
    QLineF line(path.elementAt(0), path.elementAt(1));
    const double length = line.length();
    const double head = Pointed(ends.headStyle) ? HeadSize(ends.headSize, pen.widthF(), unit).height() / 2 : 0.0;
    const double tail = Pointed(ends.tailStyle) ? HeadSize(ends.tailSize, pen.widthF(), unit).height() / 2 : 0.0;
    if (length <= head + tail)
        return path;
    const QPointF along = (line.p2() - line.p1()) / length;
    QPainterPath pulled;
    pulled.moveTo(line.p1() + along * head);
    pulled.lineTo(line.p2() - along * tail);
    return pulled;
}

void PaintShadow(QPainter& painter, const QPainterPath& path, const hwp::ShapeShadow& shadow, bool closed,
                 const QPen& pen, double unit)
{
    // Parallel (1..4) and sheared (5..8) shadows fall to the left top, right top, left
    // bottom or right bottom; the sheared ones are drawn as parallel ones.
    if (shadow.kind < 1 || shadow.kind > 8)
        return;
    const int corner = static_cast<int>((shadow.kind - 1) % 4);
    const double dx = std::abs(shadow.offsetX) * unit * (corner % 2 == 0 ? -1 : 1);
    const double dy = std::abs(shadow.offsetY) * unit * (corner < 2 ? -1 : 1);
    if (dx == 0 && dy == 0)
        return;
    QColor colour = FromColorRef(shadow.color);
    colour.setAlphaF(1.0 - shadow.alpha / 255.0);
    painter.save();
    painter.translate(dx, dy);
    if (closed) {
        painter.fillPath(path, colour);
    } else {
        QPen shade = pen;
        shade.setColor(colour);
        painter.strokePath(path, shade);
    }
    painter.restore();
}

} // namespace editor
