#include "page/inline_painters.h"

#include "page/control_painters.h"
#include "document/editor_document.h"
#include "document/hwp_mapping.h"
#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/kept_xml.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>
#include <QTextLayout>

#include <algorithm>
#include <utility>

namespace editor {

namespace {

constexpr std::uint32_t kRubyCtrlId = hwp::CtrlId('t', 'd', 'u', 't');

QFontMetricsF MetricsOf(const QFont& font)
{
    return QFontMetricsF(font, &LayoutDevice());
}

QFont Scaled(QFont font, double factor)
{
    if (font.pointSizeF() > 0)
        font.setPointSizeF(std::max(1.0, font.pointSizeF() * factor));
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * factor + 0.5)));
    return font;
}

// The font's size in layout pixels: the room of one full-width character.
double EmOf(const QFont& font)
{
    if (font.pointSizeF() > 0)
        return font.pointSizeF() * kLayoutDpi / 72.0;
    return font.pixelSize() > 0 ? font.pixelSize() : MetricsOf(font).height();
}

QColor TextColor(const KeptObjectView& view)
{
    const QBrush foreground = view.format.foreground();
    return foreground.style() != Qt::NoBrush ? foreground.color() : QColor(Qt::black);
}

// `text` with its baseline's left end at `origin`, in layout pixels.
void DrawText(QPainter& painter, const QString& text, const QFont& font, const QPointF& origin, const QColor& color)
{
    if (text.isEmpty())
        return;
    QTextLayout layout(text, font, &LayoutDevice());
    const QTextLine line = LayOutOneLine(layout);
    if (!line.isValid())
        return;
    painter.setPen(color);
    layout.draw(&painter, origin - QPointF(0, line.ascent()));
}

// Sets the painter to layout pixels with the object's top left at the origin.
void EnterObject(QPainter& painter, const QRectF& rect, double scale)
{
    painter.translate(rect.topLeft());
    painter.scale(scale, scale);
}

std::optional<hwpx::InlineObject> InlineObjectOf(const hwp::Control& control)
{
    if (control.ctrlId == kRubyCtrlId) {
        std::optional<hwpx::Ruby> ruby = ReadRubyControl(control);
        if (!ruby)
            return std::nullopt;
        return hwpx::InlineObject{std::move(ruby), std::nullopt, std::nullopt};
    }
    const std::optional<hwp::KeptXml> kept = hwp::ReadKeptXml(control);
    return kept ? hwpx::ReadInlineObject(kept->xml) : std::nullopt;
}

// Of a character's room, what lies above its baseline.
constexpr double kRoomAscent = 0.85;

// ---- Ruby: the base on the line's baseline, the ruby centred over or under it.

struct RubyGeometry {
    QFont baseFont;
    QFont rubyFont;
    double width = 0;
    double baseline = 0;       // of the base, from the top
    double rubyBaseline = 0;   // of the ruby, from the top
    double height = 0;
    double descent = 0;        // below the base's baseline, when it sits on its own
};

RubyGeometry RubyOf(const hwpx::Ruby& ruby, const KeptObjectView& view, bool ownBaseline)
{
    RubyGeometry geometry;
    geometry.baseFont = view.format.font();
    geometry.rubyFont = Scaled(geometry.baseFont, ruby.sizePercent / 100.0);
    const QFontMetricsF base = MetricsOf(geometry.baseFont);
    geometry.width = std::max(base.horizontalAdvance(ruby.base), MetricsOf(geometry.rubyFont).horizontalAdvance(ruby.ruby));
    // The ruby takes the room of its size, its baseline at 85 % of it, as the word
    // processor sets a line (its fonts' own line heights are taller).
    const double room = EmOf(geometry.rubyFont);
    if (!ruby.below) {
        geometry.rubyBaseline = room * kRoomAscent;
        geometry.baseline = room + base.ascent();
        geometry.height = geometry.baseline;
        return geometry;
    }
    // Under the base: only an object on a baseline of its own makes its line deeper; on
    // the text's baseline the ruby hangs below the object's room.
    geometry.baseline = base.ascent();
    geometry.rubyBaseline = base.ascent() + base.descent() + room * kRoomAscent;
    geometry.descent = base.descent() + room;
    geometry.height = ownBaseline ? geometry.baseline + geometry.descent : geometry.baseline;
    if (!ownBaseline)
        geometry.descent = 0;
    return geometry;
}

void PaintRuby(QPainter& painter, const hwpx::Ruby& ruby, const RubyGeometry& geometry, const QColor& color)
{
    const double baseWidth = MetricsOf(geometry.baseFont).horizontalAdvance(ruby.base);
    const double rubyWidth = MetricsOf(geometry.rubyFont).horizontalAdvance(ruby.ruby);
    DrawText(painter, ruby.base, geometry.baseFont, {(geometry.width - baseWidth) / 2, geometry.baseline}, color);
    DrawText(painter, ruby.ruby, geometry.rubyFont, {(geometry.width - rubyWidth) / 2, geometry.rubyBaseline},
             color);
}

// ---- Composed characters: one full-width character's room on the text's baseline.

void PaintFrame(QPainter& painter, const QRectF& box, hwpx::ComposeFrame frame, const QColor& color)
{
    const double pen = std::max(0.5, box.width() / 20);
    painter.setPen(QPen(color, pen));
    painter.setBrush(Qt::NoBrush);
    const QRectF r = box.adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    const QPointF top((r.left() + r.right()) / 2, r.top());
    const QPointF bottom(top.x(), r.bottom());
    switch (frame) {
    case hwpx::ComposeFrame::None:
        break;
    case hwpx::ComposeFrame::Circle:
        painter.drawEllipse(r);
        break;
    case hwpx::ComposeFrame::Square:
        painter.drawRect(r);
        break;
    case hwpx::ComposeFrame::Triangle:
        painter.drawPolygon(QPolygonF({top, r.bottomRight(), r.bottomLeft()}));
        break;
    case hwpx::ComposeFrame::ReversedTriangle:
        painter.drawPolygon(QPolygonF({r.topLeft(), r.topRight(), bottom}));
        break;
    case hwpx::ComposeFrame::Diamond:
        painter.drawPolygon(QPolygonF({top, QPointF(r.right(), r.center().y()), bottom,
                                       QPointF(r.left(), r.center().y())}));
        break;
    }
}

void PaintComposed(QPainter& painter, const hwpx::Composed& composed, const QRectF& room, const KeptObjectView& view)
{
    const QFont textFont = view.format.font();
    const double em = EmOf(textFont);
    const QRectF box(room.left(), room.bottom() - kRoomAscent * em, em, em);
    const QColor color = TextColor(view);
    PaintFrame(painter, box, composed.frame, color);
    const QFont font = Scaled(textFont, std::max(0.1, 1 + composed.sizeStep / 10.0));
    const QFontMetricsF metrics = MetricsOf(font);
    // The characters' middle on the room's middle.
    const double baseline = box.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    if (composed.overlap) {
        for (const QChar c : composed.chars) {
            const double advance = metrics.horizontalAdvance(c);
            DrawText(painter, QString(c), font, {box.center().x() - advance / 2, baseline}, color);
        }
        return;
    }
    const double total = metrics.horizontalAdvance(composed.chars);
    if (total <= 0)
        return;
    const double squeeze = std::min(1.0, em / total);
    painter.save();
    painter.translate(box.center().x() - total * squeeze / 2, 0);
    painter.scale(squeeze, 1);
    DrawText(painter, composed.chars, font, {0, baseline}, color);
    painter.restore();
}

// ---- Form objects, as large as the file makes them.

QSizeF FormSize(const hwpx::FormObject& form)
{
    return {HwpUnitsToLayout(form.width), HwpUnitsToLayout(form.height)};
}

// A one-pixel 3-D border: light above and left, dark below and right when raised.
void Bevel(QPainter& painter, const QRectF& r, bool raised)
{
    const QColor light(Qt::white);
    const QColor dark(Qt::darkGray);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(raised ? light : dark, 1));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(QPen(raised ? dark : light, 1));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}

double CentredBaseline(const QFontMetricsF& metrics, double top, double height)
{
    return top + (height + metrics.ascent() - metrics.descent()) / 2;
}

// The check box's square or the radio button's circle, then the caption.
void PaintChoice(QPainter& painter, const hwpx::FormObject& form, const QRectF& r, const QFont& font,
                 const QColor& color)
{
    const double side = std::min(r.height() - 2, 13.0);
    const QRectF mark(r.left() + 2, r.top() + (r.height() - side) / 2, side, side);
    painter.setPen(QPen(Qt::darkGray, 1));
    painter.setBrush(Qt::white);
    if (form.kind == hwpx::FormKind::CheckBox)
        painter.drawRect(mark);
    else
        painter.drawEllipse(mark);
    if (form.checked) {
        painter.setPen(QPen(color, std::max(1.0, side / 8)));
        if (form.kind == hwpx::FormKind::CheckBox) {
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(QPolygonF({mark.topLeft() + QPointF(side * 0.2, side * 0.5),
                                            mark.topLeft() + QPointF(side * 0.42, side * 0.75),
                                            mark.topLeft() + QPointF(side * 0.8, side * 0.25)}));
        } else {
            painter.setBrush(color);
            painter.drawEllipse(mark.center(), side / 5, side / 5);
        }
    }
    DrawText(painter, form.text, font, {mark.right() + 4, CentredBaseline(MetricsOf(font), r.top(), r.height())},
             color);
}

void PaintDropDownButton(QPainter& painter, const QRectF& button)
{
    painter.fillRect(button, QColor(0xF0, 0xF0, 0xF0));
    Bevel(painter, button.adjusted(0, 0, -1, -1), true);
    const double half = std::min(button.width(), button.height()) / 5;
    const QPointF centre = button.center();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPolygon(QPolygonF({centre + QPointF(-half, -half / 2), centre + QPointF(half, -half / 2),
                                   centre + QPointF(0, half / 2)}));
}

void PaintForm(QPainter& painter, const hwpx::FormObject& form, const QFont& font)
{
    const QRectF r(QPointF(0, 0), FormSize(form));
    const QColor color = FromColorRef(form.foreground);
    const QFontMetricsF metrics = MetricsOf(font);
    painter.setClipRect(r, Qt::IntersectClip);
    painter.fillRect(r, FromColorRef(form.background));
    const QRectF edge = r.adjusted(0.5, 0.5, -0.5, -0.5);
    switch (form.kind) {
    case hwpx::FormKind::Button:
        if (form.frame)
            Bevel(painter, edge, true);
        DrawText(painter, form.text, font,
                 {(r.width() - metrics.horizontalAdvance(form.text)) / 2, CentredBaseline(metrics, 0, r.height())},
                 color);
        return;
    case hwpx::FormKind::CheckBox:
    case hwpx::FormKind::RadioButton:
        PaintChoice(painter, form, r, font, color);
        return;
    case hwpx::FormKind::ComboBox:
    case hwpx::FormKind::ListBox:
    case hwpx::FormKind::Edit:
        break;
    }
    if (form.frame)
        Bevel(painter, edge, false);
    double textRight = r.right() - 2;
    if (form.kind == hwpx::FormKind::ComboBox) {
        const double side = std::min(r.height() - 4, 17.0);
        const QRectF button(r.right() - 2 - side, r.top() + 2, side, r.height() - 4);
        PaintDropDownButton(painter, button);
        textRight = button.left();
    }
    painter.setClipRect(QRectF(r.left(), r.top(), textRight - r.left(), r.height()), Qt::IntersectClip);
    const double baseline = form.kind == hwpx::FormKind::ListBox ? 2 + metrics.ascent()
                                                                  : CentredBaseline(metrics, 0, r.height());
    DrawText(painter, form.text, font, {3, baseline}, color);
}

// Ruby, composed characters and forms; every other object of the id as the painter the
// id had before.
class InlinePainter : public KeptObjectPainter {
public:
    explicit InlinePainter(std::shared_ptr<const KeptObjectPainter> fallback) : m_fallback(std::move(fallback)) {}

    QSizeF Size(const KeptObject& object) const override { return SizeIn(object, {}); }
    void Paint(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const override
    {
        PaintIn(painter, rect, scale, object, {});
    }
    double Descent(const KeptObject& object) const override { return DescentIn(object, {}); }

    QSizeF SizeIn(const KeptObject& object, const KeptObjectView& view) const override
    {
        const std::optional<hwpx::InlineObject> inline_ = InlineObjectOf(object.control);
        if (!inline_)
            return m_fallback->SizeIn(object, view);
        if (inline_->ruby) {
            const RubyGeometry geometry = RubyOf(*inline_->ruby, view, SitsOnOwnBaseline(object.control));
            return {geometry.width, geometry.height};
        }
        if (inline_->composed)
            return {EmOf(view.format.font()), TextAscent(view)};
        return FormSize(*inline_->form);
    }

    double DescentIn(const KeptObject& object, const KeptObjectView& view) const override
    {
        const std::optional<hwpx::InlineObject> inline_ = InlineObjectOf(object.control);
        if (!inline_)
            return m_fallback->DescentIn(object, view);
        if (!SitsOnOwnBaseline(object.control))
            return 0;
        if (inline_->ruby)
            return RubyOf(*inline_->ruby, view, true).descent;
        if (inline_->form)
            return FormSize(*inline_->form).height() * kCharObjectDescent;
        return 0;
    }

    void PaintIn(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object,
                 const KeptObjectView& view) const override
    {
        const std::optional<hwpx::InlineObject> inline_ = InlineObjectOf(object.control);
        if (!inline_) {
            m_fallback->PaintIn(painter, rect, scale, object, view);
            return;
        }
        if (inline_->form && view.print && !inline_->form->printable)
            return;
        painter.save();
        EnterObject(painter, rect, scale);
        if (inline_->ruby)
            PaintRuby(painter, *inline_->ruby, RubyOf(*inline_->ruby, view, SitsOnOwnBaseline(object.control)),
                      TextColor(view));
        else if (inline_->composed)
            PaintComposed(painter, *inline_->composed, QRectF(QPointF(0, 0), rect.size() / scale), view);
        else
            PaintForm(painter, *inline_->form, view.format.font());
        painter.restore();
    }

private:
    std::shared_ptr<const KeptObjectPainter> m_fallback;
};

} // namespace

std::optional<hwpx::Ruby> ReadRubyControl(const hwp::Control& control)
{
    if (control.ctrlId != kRubyCtrlId || control.records.empty())
        return std::nullopt;
    try {
        hwp::ByteReader in(hwp::View(control.records.front().data), "a ruby");
        in.Skip(4);   // the control's id
        hwpx::Ruby ruby;
        ruby.base = QString::fromStdU16String(in.Text16());
        ruby.ruby = QString::fromStdU16String(in.Text16());
        // The position and the size ratio follow; a record without them keeps the defaults.
        if (in.Remaining() >= 8) {
            ruby.below = in.U32() == 1;
            const std::uint32_t ratio = in.U32();
            if (ratio > 0)
                ruby.sizePercent = static_cast<int>(std::clamp<std::uint32_t>(ratio, 10, 100));
        }
        return ruby;
    } catch (const hwp::HwpError&) {
        return std::nullopt;
    }
}

void RegisterInlinePainters()
{
    // Kept elements fall back on the default box (reset first: registering again must not
    // chain onto ourselves); rubies on the number painter's main text.
    RegisterKeptObjectPainter(hwp::kKeptXmlCtrlId, nullptr);
    hwp::Control probe;
    for (const std::uint32_t id : {hwp::kKeptXmlCtrlId, kRubyCtrlId}) {
        probe.ctrlId = id;
        RegisterKeptObjectPainter(id, std::make_shared<InlinePainter>(KeptObjectPainterFor(probe)));
    }
}

} // namespace editor
