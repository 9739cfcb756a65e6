#include "document/kept_objects.h"

#include "document/editor_document.h"
#include "hwp/kept_xml.h"
#include "hwp/objects.h"
#include "hwp/paragraph.h"
#include "hwpx/inline_objects.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPaintDevice>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextObjectInterface>

#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>

namespace editor {

namespace {

constexpr int kKeptObjectProperty = QTextFormat::UserProperty + 10;
constexpr int kKeptFieldEndProperty = QTextFormat::UserProperty + 11;
constexpr int kKeptSectionProperty = QTextFormat::UserProperty + 12;
constexpr const char* kPrintLayoutProperty = "varnelPrintLayout";
// Layout pixels: a control mark is a thin bar, about a hair space wide.
constexpr double kMarkWidth = 3;

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

// The opening mark of a kept field, mirroring its end.
void PaintFieldBegin(QPainter& painter, const QRectF& rect, double scale)
{
    painter.save();
    QPen pen(QColor(0xA0, 0xA0, 0xA0));
    pen.setWidthF(std::max(1.0, scale));
    painter.setPen(pen);
    const double x = rect.left() + pen.widthF();
    painter.drawLine(QPointF(rect.right(), rect.top()), QPointF(x, rect.top()));
    painter.drawLine(QPointF(x, rect.top()), QPointF(x, rect.bottom()));
    painter.drawLine(QPointF(x, rect.bottom()), QPointF(rect.right(), rect.bottom()));
    painter.restore();
}

constexpr char16_t kFieldBeginCode = 3;

// Set while the layout draws an object for print: the painters' fallback boxes, which
// name the object, then leave its room blank.
thread_local bool t_drawingForPrint = false;

// Objects without a painter of their own: the pane shows what they are; print leaves
// their room blank (a name in place of an object is no part of a printed page), and
// controls without a size take none there.
class BoxPainter : public KeptObjectPainter {
public:
    QSizeF Size(const KeptObject& object) const override
    {
        if (object.control.code == kFieldBeginCode)
            return {4, LabelBoxSize(QStringLiteral("x")).height()};
        return KeptObjectBoxSize(object);
    }
    void Paint(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const override
    {
        if (object.control.code == kFieldBeginCode)
            PaintFieldBegin(painter, rect, scale);
        else
            PaintKeptObjectBox(painter, rect, scale, object);
    }
    QSizeF SizeIn(const KeptObject& object, const KeptObjectView& view) const override
    {
        if (view.print && !hwp::ControlPlacement(object.control))
            return {0, 0};
        return Size(object);
    }
};

QFontMetricsF MetricsOf(const KeptObjectView& view)
{
    return QFontMetricsF(view.format.font(), &LayoutDevice());
}

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


// Set once, before main, by the painters' own library (page/): constant-initialized so
// no order of static initializers can see it half set.
using RegisterPainters = void (*)();
constinit RegisterPainters g_registerPainters = nullptr;

void EnsurePainters()
{
    static std::once_flag painters;
    std::call_once(painters, [] {
        if (g_registerPainters != nullptr)
            g_registerPainters();
    });
}

// Qt's layout gives an inline object no descent unless its format is aligned to the
// middle; then the object's ascent is (height + shift) / 2 and its descent the rest, for
// a shift that depends on the format's font and the device. Objects on a baseline of
// their own take that alignment and a height that holds their part above and below the
// text's baseline. The shift is measured once per font and device on a scratch document
// with an object far taller than any line, so the baseline drawn on is the one Qt used.
constexpr int kProbeObjectType = QTextFormat::UserObject + 2;
constexpr double kProbeHeight = 4000;

class ProbeHandler : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    using QObject::QObject;
    QSizeF intrinsicSize(QTextDocument*, int, const QTextFormat&) override { return {1, kProbeHeight}; }
    void drawObject(QPainter*, const QRectF&, QTextDocument*, int, const QTextFormat&) override {}
};

double MeasureMiddleShift(const QTextDocument& document, const QTextCharFormat& format)
{
    QTextDocument scratch;
    scratch.setDefaultFont(document.defaultFont());
    scratch.setUseDesignMetrics(document.useDesignMetrics());
    if (document.documentLayout() != nullptr)
        scratch.documentLayout()->setPaintDevice(document.documentLayout()->paintDevice());
    auto* probe = new ProbeHandler(scratch.documentLayout());
    scratch.documentLayout()->registerHandler(kProbeObjectType, probe);
    QTextCharFormat probed = WithoutKeptObject(format);
    probed.setObjectType(kProbeObjectType);
    probed.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    QTextCursor(&scratch).insertText(QString(QChar::ObjectReplacementCharacter), probed);
    scratch.documentLayout()->documentSize();   // lays it out
    const QTextLayout* layout = scratch.begin().layout();
    if (layout == nullptr || layout->lineCount() < 1)
        return 0;
    const QTextLine line = layout->lineAt(0);
    return std::clamp(line.ascent() - line.descent(), -kProbeHeight / 2, kProbeHeight / 2);
}

double MiddleShift(const QTextDocument& document, const QTextCharFormat& format)
{
    static std::mutex mutex;
    static std::map<std::tuple<QString, QString, int, bool>, double> shifts;
    const QPaintDevice* device = document.documentLayout() != nullptr ? document.documentLayout()->paintDevice()
                                                                      : nullptr;
    const auto key = std::make_tuple(format.font().key(), document.defaultFont().key(),
                                     device != nullptr ? device->logicalDpiY() : 0, document.useDesignMetrics());
    {
        const std::lock_guard lock(mutex);
        if (const auto found = shifts.find(key); found != shifts.end())
            return found->second;
    }
    const double shift = MeasureMiddleShift(document, format);
    const std::lock_guard lock(mutex);
    if (shifts.size() > 256)
        shifts.clear();
    shifts[key] = shift;
    return shift;
}

// An object laid out on its own baseline: the part of its box above and below it.
struct BaselineBox {
    double ascent = 0;
    double descent = 0;
};

KeptObjectView ViewOf(const QTextDocument* document, const QTextFormat& format)
{
    return {format.toCharFormat(), IsPrintLayout(document)};
}

std::optional<BaselineBox> OwnBaseline(const QTextFormat& format, const KeptObjectView& view, double scale,
                                       const QSizeF& size)
{
    if (format.toCharFormat().verticalAlignment() != QTextCharFormat::AlignMiddle)
        return std::nullopt;
    double descent = 0;
    if (const KeptObjectRef object = KeptObjectOf(format))
        descent = KeptObjectPainterFor(object->control)->DescentIn(*object, view);
    descent = std::clamp(descent * scale, 0.0, size.height());
    return BaselineBox{size.height() - descent, descent};
}

class KeptObjectHandler : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    using QObject::QObject;

    QSizeF intrinsicSize(QTextDocument* document, int, const QTextFormat& format) override
    {
        const double scale = LayoutScale(document);
        const KeptObjectView view = ViewOf(document, format);
        // Drawn where the file places it: as high as the text's ascent and no wider, so a
        // line holding nothing else is as high as an empty one, as on paper.
        if (format.boolProperty(kPlacedObjectProperty))
            return QSizeF(0, TextAscent(view)) * scale;
        const QSizeF size = LayoutSize(format, view) * scale;
        const std::optional<BaselineBox> box =
            document != nullptr ? OwnBaseline(format, view, scale, size) : std::nullopt;
        if (!box)
            return size;
        // Tall enough that (height + shift) / 2 holds the ascent and the rest the descent.
        const double shift = MiddleShift(*document, format.toCharFormat());
        return {size.width(), std::max({size.height(), 2 * box->ascent - shift, 2 * box->descent + shift})};
    }

    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int,
                    const QTextFormat& format) override
    {
        const double scale = LayoutScale(document);
        const KeptObjectView view = ViewOf(document, format);
        QRectF box = rect;
        const QSizeF size = LayoutSize(format, view) * scale;
        if (const std::optional<BaselineBox> own =
                document != nullptr ? OwnBaseline(format, view, scale, size) : std::nullopt) {
            const double shift = MiddleShift(*document, format.toCharFormat());
            const double baseline = rect.top() + (rect.height() + shift) / 2;
            box = QRectF(rect.left(), baseline - own->ascent, rect.width(), size.height());
        }
        if (format.boolProperty(kPlacedObjectProperty))
            return;
        if (const KeptObjectRef object = KeptObjectOf(format))
            DrawKeptObject(*painter, box, scale, *object, view);
        else if (KeptFieldEndOf(format) && !view.print)
            PaintFieldEnd(*painter, rect, scale);
        else if (SectionStartOf(format))
            PaintControlMark(*painter, box, scale, view);
    }

private:
    static QSizeF LayoutSize(const QTextFormat& format, const KeptObjectView& view)
    {
        if (format.boolProperty(kPlacedObjectProperty))
            return {0, 0};
        if (const KeptObjectRef object = KeptObjectOf(format))
            return KeptObjectPainterFor(object->control)->SizeIn(*object, view);
        if (KeptFieldEndOf(format))
            return view.print ? QSizeF(0, TextAscent(view)) : FieldEndSize();
        if (SectionStartOf(format))
            return ControlMarkSize(view);
        return {};
    }
};

} // namespace

void DrawKeptObject(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object,
                    const KeptObjectView& view)
{
    const bool before = t_drawingForPrint;
    t_drawingForPrint = view.print;
    KeptObjectPainterFor(object.control)->PaintIn(painter, rect, scale, object, view);
    t_drawingForPrint = before;
}

namespace {

QTextCharFormat Marked(const QTextCharFormat& around, int property, const QVariant& value, const void* address)
{
    QTextCharFormat format = WithoutKeptObject(around);
    format.setObjectType(kKeptObjectType);
    SetReference(format, property, value, address);
    return format;
}

} // namespace

void SetReference(QTextFormat& format, int property, const QVariant& reference, const void* address)
{
    format.setProperty(property, reference);
    format.setProperty(kReferenceHashProperty, static_cast<int>(std::hash<const void*>{}(address)));
}

QTextCharFormat KeptObjectFormat(const QTextCharFormat& around, KeptObjectRef object)
{
    const bool ownBaseline = object && SitsOnOwnBaseline(object->control);
    const void* address = object.get();
    QTextCharFormat format = Marked(around, kKeptObjectProperty, QVariant::fromValue(std::move(object)), address);
    if (ownBaseline)
        format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    return format;
}

QTextCharFormat KeptFieldEndFormat(const QTextCharFormat& around, KeptObjectRef field)
{
    const void* address = field.get();
    return Marked(around, kKeptFieldEndProperty, QVariant::fromValue(std::move(field)), address);
}

QTextCharFormat SectionStartFormat(const QTextCharFormat& around, KeptSectionRef section)
{
    const void* address = section.get();
    return Marked(around, kKeptSectionProperty, QVariant::fromValue(std::move(section)), address);
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
    format.clearProperty(kReferenceHashProperty);
    // Only objects are aligned to the middle (to sit on their own baseline).
    if (format.verticalAlignment() == QTextCharFormat::AlignMiddle)
        format.clearProperty(QTextFormat::TextVerticalAlignment);
    return format;
}

void SetPainterRegistration(void (*registerPainters)())
{
    g_registerPainters = registerPainters;
}

bool SitsOnOwnBaseline(const hwp::Control& control)
{
    if (control.ctrlId == kEquationCtrlId)
        return true;
    if (control.ctrlId == hwp::kDrawing) {
        const std::optional<hwp::ObjectPlacement> placement = hwp::ControlPlacement(control);
        return placement && placement->inlineAsChar;
    }
    const std::optional<hwp::KeptXml> kept = hwp::ReadKeptXml(control);
    if (!kept)
        return false;
    const std::optional<hwpx::InlineObject> object = hwpx::ReadInlineObject(kept->xml);
    return object && ((object->form && object->form->asChar) || (object->ruby && object->ruby->below));
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
    if (t_drawingForPrint)
        return;
    if (!hwp::ControlPlacement(object.control)) {
        PaintLabelBox(painter, rect, scale, Label(object));
        return;
    }
    PaintKeptObjectBox(painter, rect, scale, Label(object));
}

void PaintKeptObjectBox(QPainter& painter, const QRectF& rect, double scale, const QString& label)
{
    if (t_drawingForPrint)
        return;
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

void SetPrintLayout(QTextDocument& document)
{
    document.setProperty(kPrintLayoutProperty, true);
}

bool IsPrintLayout(const QTextDocument* document)
{
    return document != nullptr && document->property(kPrintLayoutProperty).toBool();
}

const QPaintDevice& LayoutDevice()
{
    // Layout pixels: 96 dpi, as the layout measures its text.
    thread_local QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(3780);
        image.setDotsPerMeterY(3780);
        return image;
    }();
    return device;
}

double TextAscent(const KeptObjectView& view)
{
    return MetricsOf(view).ascent();
}

double TextDescent(const KeptObjectView& view)
{
    return MetricsOf(view).descent();
}

QSizeF ControlMarkSize(const KeptObjectView& view)
{
    // As high as the text above its baseline, where the layout sets an object's bottom:
    // the line stays as high as its text makes it.
    return {view.print ? 0.0 : kMarkWidth, TextAscent(view)};
}

void PaintControlMark(QPainter& painter, const QRectF& rect, double scale, const KeptObjectView& view)
{
    if (view.print || rect.width() <= 0)
        return;
    // A light bar from the x-height to the baseline: seen where one looks for it, not read.
    painter.save();
    const double baseline = rect.bottom();
    const double top = baseline - MetricsOf(view).xHeight() * scale;
    painter.fillRect(QRectF(rect.left() + rect.width() * 0.25, top, std::max(1.0, rect.width() * 0.5), baseline - top),
                     QColor(0x9C, 0xB4, 0xD8));
    painter.restore();
}

void InstallKeptObjectHandler(QTextDocument& document)
{
    EnsurePainters();
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

QString KeptObjectToolTip(const QTextFormat& format)
{
    constexpr int kMaxTipText = 300;
    if (const KeptObjectRef object = KeptObjectOf(format)) {
        QString tip = Label(*object);
        QString text = QString::fromStdU16String(hwp::ControlText(object->control)).trimmed();
        if (text.size() > kMaxTipText)
            text = text.left(kMaxTipText) + QChar(0x2026);
        if (!text.isEmpty())
            tip += QStringLiteral(": ") + text;
        return tip;
    }
    if (const KeptObjectRef field = KeptFieldEndOf(format))
        return Label(*field) + QStringLiteral(" 끝");
    if (SectionStartOf(format))
        return QStringLiteral("구역 나누기");
    return {};
}

QString KeptObjectToolTipAt(const QTextDocument& document, int position)
{
    for (const int at : {position, position - 1}) {
        if (at < 0 || at >= document.characterCount())
            continue;
        const QTextBlock block = document.findBlock(at);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (at < fragment.position() || at >= fragment.position() + fragment.length())
                continue;
            const QString tip = KeptObjectToolTip(fragment.charFormat());
            if (!tip.isEmpty())
                return tip;
        }
    }
    return {};
}

} // namespace editor

#include "kept_objects.moc"
