#include "page/control_painters.h"

#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/auto_number.h"
#include "hwp/notes.h"
#include "hwp/paragraph.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace editor {

namespace {

// Superscripts as word processors set them: smaller, raised above the baseline.
constexpr double kSuperscriptSize = 0.6;
constexpr double kSuperscriptRaise = 0.38;   // of the text's ascent

QFont NumberFont(const KeptObjectView& view, bool superscript)
{
    QFont font = view.format.font();
    if (!superscript)
        return font;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * kSuperscriptSize);
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * kSuperscriptSize + 0.5)));
    return font;
}

struct PrintedNumber {
    QString text;
    bool superscript = false;
};

constexpr std::uint32_t kRubyCtrlId = hwp::CtrlId('t', 'd', 'u', 't');
constexpr std::uint32_t kOverlapCtrlId = hwp::CtrlId('t', 'c', 'p', 's');

// The text a ruby ('tdut', main text first) or overlapped letters ('tcps') control holds
// after its id: a length in units and the units; empty when the header is cut short.
QString LeadingText(const hwp::Control& control)
{
    if (control.records.empty())
        return {};
    try {
        hwp::ByteReader in(hwp::View(control.records.front().data), "a ruby or overlapped letters");
        in.Skip(4);
        return QString::fromStdU16String(in.Text16());
    } catch (const hwp::HwpError&) {
        return {};
    }
}

PrintedNumber NumberOf(const KeptObject& object)
{
    if (const std::optional<hwp::AutoNumber> number = hwp::ReadAutoNumber(object.control))
        return {QString::fromStdU16String(number->Text()), number->Superscript()};
    if (const std::optional<hwp::Note> note = hwp::ReadNote(object.control))
        return {QString::fromStdU16String(note->ReferenceText()), true};
    // As text, and where its record is cut short of the ruby, a ruby is its main text
    // (page/inline_painters.h draws both); overlapped letters print their letters.
    if (object.control.ctrlId == kRubyCtrlId || object.control.ctrlId == kOverlapCtrlId)
        return {LeadingText(object.control), false};
    return {};
}

// Controls that print nothing where they stand.
class MarkPainter : public KeptObjectPainter {
public:
    QSizeF Size(const KeptObject&) const override { return ControlMarkSize({}); }
    void Paint(QPainter& painter, const QRectF& rect, double scale, const KeptObject&) const override
    {
        PaintControlMark(painter, rect, scale, {});
    }
    QSizeF SizeIn(const KeptObject&, const KeptObjectView& view) const override { return ControlMarkSize(view); }
    void PaintIn(QPainter& painter, const QRectF& rect, double scale, const KeptObject&,
                 const KeptObjectView& view) const override
    {
        PaintControlMark(painter, rect, scale, view);
    }
};

// Auto numbers and note references: their number as text, in the pane and in print.
class NumberPainter : public KeptObjectPainter {
public:
    QSizeF Size(const KeptObject& object) const override { return SizeIn(object, {}); }
    void Paint(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const override
    {
        PaintIn(painter, rect, scale, object, {});
    }
    // The layout sets an object's bottom on the baseline: as high as the text's ascent, with
    // the number's own descent drawn below, the line keeps the height its text gives it.
    QSizeF SizeIn(const KeptObject& object, const KeptObjectView& view) const override
    {
        const PrintedNumber number = NumberOf(object);
        const QFontMetricsF metrics(NumberFont(view, number.superscript), &LayoutDevice());
        return {metrics.horizontalAdvance(number.text), TextAscent(view)};
    }

    void PaintIn(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object,
                 const KeptObjectView& view) const override
    {
        const PrintedNumber number = NumberOf(object);
        if (number.text.isEmpty())
            return;
        QTextLayout layout(number.text, NumberFont(view, number.superscript), &LayoutDevice());
        const QTextLine line = LayOutOneLine(layout);
        if (!line.isValid())
            return;
        double baseline = 0;
        if (number.superscript)
            baseline -= TextAscent(view) * kSuperscriptRaise;
        const QBrush foreground = view.format.foreground();
        painter.save();
        painter.translate(rect.left(), rect.bottom());
        painter.scale(scale, scale);
        painter.setPen(foreground.style() != Qt::NoBrush ? foreground.color() : QColor(Qt::black));
        layout.draw(&painter, QPointF(0, baseline - line.ascent()));
        painter.restore();
    }
};

} // namespace

QString PrintedControlText(const KeptObject& object)
{
    return NumberOf(object).text;
}

QTextLine LayOutOneLine(QTextLayout& layout)
{
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1e6);
    layout.endLayout();
    return line;
}

void RegisterControlPainters()
{
    const auto mark = std::make_shared<MarkPainter>();
    for (const std::uint32_t id :
         {hwp::kSecd, hwp::kCold, hwp::CtrlId('b', 'o', 'k', 'm'), hwp::CtrlId('i', 'd', 'x', 'm'),
          hwp::CtrlId('t', 'c', 'm', 't'), hwp::CtrlId('p', 'g', 'h', 'd'), hwp::CtrlId('p', 'g', 'c', 't'),
          hwp::kNewNumberCtrlId, hwp::kPageNumberPositionCtrlId, hwp::kHeaderCtrlId, hwp::kFooterCtrlId})
        RegisterKeptObjectPainter(id, mark);
    const auto number = std::make_shared<NumberPainter>();
    for (const std::uint32_t id :
         {hwp::kAutoNumberCtrlId, hwp::kFootnoteCtrlId, hwp::kEndnoteCtrlId, kRubyCtrlId, kOverlapCtrlId})
        RegisterKeptObjectPainter(id, number);
}

} // namespace editor
