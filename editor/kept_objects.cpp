#include "editor/kept_objects.h"

#include "editor/editor_document.h"
#include "editor/object_painters.h"
#include "hwp/objects.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QPaintDevice>
#include <QTextDocument>
#include <QTextObjectInterface>

#include <algorithm>
#include <map>
#include <mutex>

namespace editor {

namespace {

constexpr int kKeptObjectProperty = QTextFormat::UserProperty + 10;
constexpr int kKeptFieldEndProperty = QTextFormat::UserProperty + 11;
constexpr int kKeptSectionProperty = QTextFormat::UserProperty + 12;

// Labels are small and grey: the object is there, the text stays what one reads.
constexpr double kLabelPixels = 11;
constexpr double kLabelPadding = 3;
// A table or shape read from a damaged file may claim any size; no box is drawn larger
// than two B4 sheets.
constexpr double kMaxBoxUnits = 2 * 103180;

QFont LabelFont(double scale)
{
    QFont font(QStringLiteral("NanumGothic"));
    font.setPixelSize(std::max(1, static_cast<int>(kLabelPixels * scale + 0.5)));
    return font;
}

QString Label(const KeptObject& object)
{
    return QString::fromStdU16String(hwp::DescribeControl(object.control));
}

QSizeF LabelBoxSize(const QString& label)
{
    const QFontMetricsF metrics(LabelFont(1));
    return {metrics.horizontalAdvance(label) + 2 * kLabelPadding, metrics.height() + 2};
}

double BoxLength(hwp::HwpUnit units)
{
    return HwpUnitsToLayout(std::clamp<double>(units, 0, kMaxBoxUnits));
}

void PaintLabelBox(QPainter& painter, const QRectF& rect, double scale, const QString& label)
{
    painter.save();
    QPen pen(QColor(0xA0, 0xA0, 0xA0));
    pen.setWidthF(std::max(1.0, scale));
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const double inset = pen.widthF() / 2;
    painter.drawRect(rect.adjusted(inset, inset, -inset, -inset));
    painter.setFont(LabelFont(scale));
    painter.setPen(QColor(0x70, 0x70, 0x70));
    painter.drawText(rect, Qt::AlignCenter | Qt::TextSingleLine, label);
    painter.restore();
}

class BoxPainter : public KeptObjectPainter {
public:
    QSizeF Size(const KeptObject& object) const override { return KeptObjectBoxSize(object); }
    void Paint(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const override
    {
        PaintKeptObjectBox(painter, rect, scale, object);
    }
};

struct PainterRegistry {
    std::mutex mutex;
    std::map<std::uint32_t, std::shared_ptr<const KeptObjectPainter>> painters;
    std::shared_ptr<const KeptObjectPainter> box = std::make_shared<BoxPainter>();
};

PainterRegistry& Registry()
{
    static PainterRegistry* registry = new PainterRegistry;
    return *registry;
}

// Layout pixels to the pixels of the device the document lays out on (the pane's zoom).
double LayoutScale(const QTextDocument* document)
{
    const QAbstractTextDocumentLayout* layout = document != nullptr ? document->documentLayout() : nullptr;
    const QPaintDevice* device = layout != nullptr ? layout->paintDevice() : nullptr;
    if (device == nullptr || device->logicalDpiY() <= 0)
        return 1;
    return device->logicalDpiY() / kLayoutDpi;
}

// The end of a kept field: a thin closing mark as high as a label.
QSizeF FieldEndSize()
{
    return {4, LabelBoxSize(QStringLiteral("x")).height()};
}

void PaintFieldEnd(QPainter& painter, const QRectF& rect, double scale)
{
    painter.save();
    QPen pen(QColor(0xA0, 0xA0, 0xA0));
    pen.setWidthF(std::max(1.0, scale));
    painter.setPen(pen);
    const double x = rect.right() - pen.widthF();
    painter.drawLine(QPointF(rect.left(), rect.top()), QPointF(x, rect.top()));
    painter.drawLine(QPointF(x, rect.top()), QPointF(x, rect.bottom()));
    painter.drawLine(QPointF(x, rect.bottom()), QPointF(rect.left(), rect.bottom()));
    painter.restore();
}

QString SectionLabel()
{
    return QStringLiteral("구역 나누기");
}

class KeptObjectHandler : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    using QObject::QObject;

    QSizeF intrinsicSize(QTextDocument* document, int, const QTextFormat& format) override
    {
        return LayoutSize(format) * LayoutScale(document);
    }

    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int,
                    const QTextFormat& format) override
    {
        const double scale = LayoutScale(document);
        if (const KeptObjectRef object = KeptObjectOf(format))
            KeptObjectPainterFor(object->control)->Paint(*painter, rect, scale, *object);
        else if (KeptFieldEndOf(format))
            PaintFieldEnd(*painter, rect, scale);
        else if (SectionStartOf(format))
            PaintLabelBox(*painter, rect, scale, SectionLabel());
    }

private:
    static QSizeF LayoutSize(const QTextFormat& format)
    {
        if (const KeptObjectRef object = KeptObjectOf(format))
            return KeptObjectPainterFor(object->control)->Size(*object);
        if (KeptFieldEndOf(format))
            return FieldEndSize();
        if (SectionStartOf(format))
            return LabelBoxSize(SectionLabel());
        return {};
    }
};

QTextCharFormat Marked(const QTextCharFormat& around, int property, const QVariant& value)
{
    QTextCharFormat format = WithoutKeptObject(around);
    format.setObjectType(kKeptObjectType);
    format.setProperty(property, value);
    return format;
}

} // namespace

QTextCharFormat KeptObjectFormat(const QTextCharFormat& around, KeptObjectRef object)
{
    return Marked(around, kKeptObjectProperty, QVariant::fromValue(std::move(object)));
}

QTextCharFormat KeptFieldEndFormat(const QTextCharFormat& around, KeptObjectRef field)
{
    return Marked(around, kKeptFieldEndProperty, QVariant::fromValue(std::move(field)));
}

QTextCharFormat SectionStartFormat(const QTextCharFormat& around, KeptSectionRef section)
{
    return Marked(around, kKeptSectionProperty, QVariant::fromValue(std::move(section)));
}

KeptObjectRef KeptObjectOf(const QTextFormat& format)
{
    if (format.objectType() != kKeptObjectType)
        return nullptr;
    return format.property(kKeptObjectProperty).value<KeptObjectRef>();
}

KeptObjectRef KeptFieldEndOf(const QTextFormat& format)
{
    if (format.objectType() != kKeptObjectType)
        return nullptr;
    return format.property(kKeptFieldEndProperty).value<KeptObjectRef>();
}

KeptSectionRef SectionStartOf(const QTextFormat& format)
{
    if (format.objectType() != kKeptObjectType)
        return nullptr;
    return format.property(kKeptSectionProperty).value<KeptSectionRef>();
}

QTextCharFormat WithoutKeptObject(QTextCharFormat format)
{
    if (format.objectType() == kKeptObjectType)
        format.clearProperty(QTextFormat::ObjectType);
    format.clearProperty(kKeptObjectProperty);
    format.clearProperty(kKeptFieldEndProperty);
    format.clearProperty(kKeptSectionProperty);
    return format;
}

void RegisterKeptObjectPainter(std::uint32_t ctrlId, std::shared_ptr<const KeptObjectPainter> painter)
{
    PainterRegistry& registry = Registry();
    const std::lock_guard lock(registry.mutex);
    if (painter)
        registry.painters[ctrlId] = std::move(painter);
    else
        registry.painters.erase(ctrlId);
}

std::shared_ptr<const KeptObjectPainter> KeptObjectPainterFor(const hwp::Control& control)
{
    PainterRegistry& registry = Registry();
    const std::lock_guard lock(registry.mutex);
    const auto found = registry.painters.find(control.ctrlId);
    return found != registry.painters.end() ? found->second : registry.box;
}

QSizeF KeptObjectBoxSize(const KeptObject& object)
{
    const std::optional<hwp::ObjectPlacement> placement = hwp::ControlPlacement(object.control);
    if (!placement)
        return LabelBoxSize(Label(object));
    return {std::max(8.0, BoxLength(placement->width)), std::max(8.0, BoxLength(placement->height))};
}

void PaintKeptObjectBox(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object)
{
    if (!hwp::ControlPlacement(object.control)) {
        PaintLabelBox(painter, rect, scale, Label(object));
        return;
    }
    PaintKeptObjectBox(painter, rect, scale, Label(object));
}

void PaintKeptObjectBox(QPainter& painter, const QRectF& rect, double scale, const QString& label)
{
    painter.save();
    QPen pen(QColor(0x80, 0x80, 0x80));
    pen.setWidthF(std::max(1.0, scale));
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const double inset = pen.widthF() / 2;
    painter.drawRect(rect.adjusted(inset, inset, -inset, -inset));
    painter.setClipRect(rect);
    const QFont font = LabelFont(scale);
    painter.setFont(font);
    painter.setPen(QColor(0x60, 0x60, 0x60));
    const double padding = kLabelPadding * scale;
    const QRectF inside = rect.adjusted(padding, padding / 2, -padding, -padding / 2);
    const QString shown = QFontMetricsF(font).elidedText(label, Qt::ElideMiddle, std::max(0.0, inside.width()));
    painter.drawText(inside, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
    painter.restore();
}

void InstallKeptObjectHandler(QTextDocument& document)
{
    static std::once_flag painters;
    std::call_once(painters, RegisterObjectPainters);
    QAbstractTextDocumentLayout* layout = document.documentLayout();
    auto* handler = layout->findChild<KeptObjectHandler*>(QString(), Qt::FindDirectChildrenOnly);
    if (handler == nullptr)
        handler = new KeptObjectHandler(layout);
    layout->registerHandler(kKeptObjectType, handler);
}

std::u16string KeptObjectText(const QTextFormat& format)
{
    if (const KeptObjectRef object = KeptObjectOf(format))
        return hwp::ControlText(object->control);
    return {};
}

} // namespace editor

#include "kept_objects.moc"
