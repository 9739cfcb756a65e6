#include "page/page_furniture.h"

#include "page/control_painters.h"
#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "page/object_painters.h"
#include "hwp/auto_number.h"
#include "hwp/border_fill.h"
#include "hwp/notes.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <optional>

namespace editor {

namespace {

constexpr unsigned kHideHeader = 0x01;
constexpr unsigned kHideFooter = 0x02;
constexpr unsigned kHidePageNumber = 0x20;

// The page's auto numbers of kind page show the page they print on.
std::vector<hwp::Paragraph> WithPageNumber(std::vector<hwp::Paragraph> paragraphs, int pageNumber)
{
    for (hwp::Paragraph& paragraph : paragraphs) {
        for (hwp::Control& control : paragraph.controls) {
            std::optional<hwp::AutoNumber> number = hwp::ReadAutoNumber(control);
            if (!number || number->Kind() != static_cast<std::uint8_t>(hwp::NumberKind::Page))
                continue;
            number->number = static_cast<std::uint16_t>(std::clamp(pageNumber, 0, 0xFFFF));
            hwp::WriteAutoNumber(control, *number);
        }
    }
    return paragraphs;
}

const hwp::Control* FirstSectionDef(const hwp::Document* origin)
{
    return origin != nullptr && !origin->sections.empty() ? &origin->sections.front().sectionDef : nullptr;
}

} // namespace

PageFurniture::PageFurniture(const QTextDocument& text, const PageSetup& page,
                             std::shared_ptr<const hwp::Document> origin, KeptSectionRef section,
                             FurnitureCarry carried, bool last)
    : m_page(page), m_origin(std::move(origin)), m_section(std::move(section)), m_firstNumber(carried.nextNumber),
      m_last(last), m_layoutDevice(1, 1, QImage::Format_RGB32), m_font(text.defaultFont())
{
    if (m_section) {
        if (const std::uint16_t start = hwp::ReadSectionPaging(m_section->section.sectionDef).pageStart; start > 0)
            m_firstNumber = start;
    }
    // What the sections before left in force comes before what this one gives.
    for (hwp::Control& control : carried.headers)
        m_headers.push_back({0, std::move(control)});
    for (hwp::Control& control : carried.numberPlaces)
        m_numberPlaces.push_back({0, std::move(control)});
    for (hwp::Control& control : carried.endnotes)
        m_endnotes.push_back({0, std::move(control)});
    for (hwp::Control& control : carried.footnotesOnFirstSheet)
        m_footnotes.push_back({0, std::move(control)});
    m_layoutDevice.setDotsPerMeterX(3780);
    m_layoutDevice.setDotsPerMeterY(3780);
    // Page numbers print in the letters the text starts with, as its first style sets them.
    if (const QTextBlock first = text.begin(); first.isValid())
        m_font = first.charFormat().font();
    const double bodyHeight = std::max(1.0, HwpUnitsToLayout(m_page.BodyHeight()));
    QAbstractTextDocumentLayout* layout = text.documentLayout();
    // A table ends where its frame does: its cells' blocks are measured only when they
    // anchor something, as a block's place in a table is dear to find.
    for (QTextFrame* frame : text.rootFrame()->childFrames())
        m_textEnd = std::max(m_textEnd, layout->frameBoundingRect(frame).bottom());
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* lines = block.layout();
        if (lines == nullptr)
            continue;
        std::optional<QRectF> measured;
        const auto bounds = [&] {
            if (!measured)
                measured = layout->blockBoundingRect(block);
            return *measured;
        };
        if (text.frameAt(block.position()) == text.rootFrame())
            m_textEnd = std::max(m_textEnd, bounds().bottom());
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const KeptObjectRef object = KeptObjectOf(fragment.fragment().charFormat());
            if (!object)
                continue;
            std::vector<Anchored>* list = nullptr;
            switch (object->control.ctrlId) {
            case hwp::kHeaderCtrlId:
            case hwp::kFooterCtrlId: list = &m_headers; break;
            case hwp::kPageNumberPositionCtrlId: list = &m_numberPlaces; break;
            case hwp::kPageHidingCtrlId: list = &m_hiding; break;
            case hwp::kNewNumberCtrlId: list = &m_newNumbers; break;
            case hwp::kFootnoteCtrlId: list = &m_footnotes; break;
            case hwp::kEndnoteCtrlId: list = &m_endnotes; break;
            default: break;
            }
            if (list == nullptr)
                continue;
            const QTextLine line = lines->lineForTextPosition(fragment.fragment().position() - block.position());
            const double y = bounds().top() + (line.isValid() ? line.y() : 0.0);
            list->push_back({static_cast<int>(std::floor(std::max(0.0, y) / bodyHeight)), object->control});
        }
    }
}

PageFurniture::~PageFurniture() = default;

FurnitureCarry PageFurniture::Carry(int pages) const
{
    FurnitureCarry carry;
    carry.nextNumber = PageNumber(std::max(1, pages) - 1) + 1;
    for (const Anchored& anchored : m_headers)
        carry.headers.push_back(anchored.control);
    for (const Anchored& anchored : m_numberPlaces)
        carry.numberPlaces.push_back(anchored.control);
    for (const Anchored& anchored : m_endnotes)
        carry.endnotes.push_back(anchored.control);
    // Only a sheet the next section shares has notes at page `pages`.
    for (const Anchored& anchored : m_footnotes) {
        if (anchored.page == pages)
            carry.footnotesOnFirstSheet.push_back(anchored.control);
    }
    return carry;
}

const hwp::Control* PageFurniture::SectionDef() const
{
    return m_section ? &m_section->section.sectionDef : FirstSectionDef(m_origin.get());
}

int PageFurniture::PageNumber(int page) const
{
    int number = m_firstNumber > 0                                   ? m_firstNumber + page
                 : m_origin && m_origin->startNumbers.page > 0 ? m_origin->startNumbers.page + page
                                                                     : page + 1;
    for (const Anchored& anchored : m_newNumbers) {
        const std::optional<hwp::NewNumber> restart = hwp::ReadNewNumber(anchored.control);
        if (restart && anchored.page <= page && restart->Kind() == static_cast<std::uint8_t>(hwp::NumberKind::Page))
            number = restart->number + (page - anchored.page);
    }
    return number;
}

unsigned PageFurniture::HiddenOn(int page) const
{
    unsigned hidden = 0;
    if (const hwp::Control* sectionDef = SectionDef(); page == 0 && sectionDef != nullptr)
        hidden = hwp::ReadSectionPaging(*sectionDef).hiddenOnFirstPage;
    for (const Anchored& anchored : m_hiding) {
        const std::vector<hwp::ObjectRecord>& records = anchored.control.records;
        if (anchored.page == page && !records.empty() && records.front().data.size() >= 6)
            hidden |= records.front().data[4] | (records.front().data[5] << 8);
    }
    return hidden;
}

std::vector<hwp::Paragraph> PageFurniture::FootnotesOn(int page) const
{
    std::vector<hwp::Paragraph> paragraphs;
    if (page == m_footnotesHandedOn)
        return paragraphs;
    for (const Anchored& anchored : m_footnotes) {
        if (anchored.page != page)
            continue;
        if (std::optional<hwp::Note> note = hwp::ReadNote(anchored.control))
            paragraphs.insert(paragraphs.end(), note->paragraphs.begin(), note->paragraphs.end());
    }
    return paragraphs;
}

double PageFurniture::FootnoteRoom(int page) const
{
    if (const auto known = m_footnoteRoom.find(page); known != m_footnoteRoom.end())
        return known->second;
    double room = 0;
    const std::vector<hwp::Paragraph> footnotes = FootnotesOn(page);
    if (!footnotes.empty() && m_origin) {
        const hwp::Control* sectionDef = SectionDef();
        const hwp::NoteShape shape = sectionDef != nullptr ? hwp::ReadNoteShape(*sectionDef, false) : hwp::NoteShape{};
        double height = 0;
        if (LayOutParagraphs(*m_origin, footnotes, HwpUnitsToLayout(m_page.BodyWidth()), m_layoutDevice, height))
            room = height + HwpUnitsToLayout(std::max<hwp::HwpUnit>(0, shape.belowSeparator) +
                                             std::max<hwp::HwpUnit>(0, shape.aboveSeparator));
    }
    m_footnoteRoom[page] = room;
    return room;
}

void MakeRoomForFootnotes(QTextDocument& text, const PageSetup& page, std::shared_ptr<const hwp::Document> origin,
                          KeptSectionRef section, const std::vector<hwp::Control>& footnotesOnFirstSheet)
{
    const double bodyHeight = std::max(1.0, HwpUnitsToLayout(page.BodyHeight()));
    FurnitureCarry carried;
    carried.footnotesOnFirstSheet = footnotesOnFirstSheet;
    // Each round moves one paragraph; a few dozen cover any exam document.
    for (int round = 0; round < 64; ++round) {
        const PageFurniture furniture(text, page, origin, section, carried);
        if (!furniture.HasFootnotes())
            return;
        QAbstractTextDocumentLayout* layout = text.documentLayout();
        bool moved = false;
        for (QTextBlock block = text.begin(); block.isValid() && !moved; block = block.next()) {
            if (text.frameAt(block.position()) != text.rootFrame())
                continue;
            const QRectF bounds = layout->blockBoundingRect(block);
            const int on = static_cast<int>(std::floor(std::max(0.0, bounds.top()) / bodyHeight));
            const double room = furniture.FootnoteRoom(on);
            // A paragraph first on its page gains nothing on the next.
            if (room <= 0 || bounds.bottom() <= (on + 1) * bodyHeight - room + 0.5 ||
                bounds.top() <= on * bodyHeight + 0.5)
                continue;
            QTextBlockFormat format = block.blockFormat();
            format.setPageBreakPolicy(format.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(block).setBlockFormat(format);
            moved = true;
        }
        if (!moved)
            return;
    }
}

void PageFurniture::Paint(QPainter& painter, int page, const QRectF& area) const
{
    if (!m_origin)
        return;
    painter.save();
    PaintHeaders(painter, page, area);
    PaintPageNumber(painter, page);
    PaintNotes(painter, page, area);
    painter.restore();
}

void PageFurniture::PaintFootnotes(QPainter& painter, int page, const QRectF& area) const
{
    if (!m_origin)
        return;
    painter.save();
    PaintNotes(painter, page, area);
    painter.restore();
}

void PageFurniture::PaintHeaders(QPainter& painter, int page, const QRectF& area) const
{
    const int number = PageNumber(page);
    const unsigned hidden = HiddenOn(page);
    for (const bool footer : {false, true}) {
        if ((hidden & (footer ? kHideFooter : kHideHeader)) != 0)
            continue;
        // The last one given on this page or before, for pages of this parity.
        std::optional<hwp::HeaderFooter> chosen;
        for (const Anchored& anchored : m_headers) {
            if (anchored.page > page)
                continue;
            std::optional<hwp::HeaderFooter> header = hwp::ReadHeaderFooter(anchored.control);
            if (header && header->footer == footer && header->PrintsOn(number))
                chosen = std::move(header);
        }
        if (!chosen)
            continue;
        const double top = HwpUnitsToLayout(footer ? m_page.SheetHeight() - m_page.marginBottom - m_page.marginFooter
                                                   : m_page.marginTop);
        const QRectF box(HwpUnitsToLayout(m_page.BodyLeft()), top, HwpUnitsToLayout(m_page.BodyWidth()),
                         HwpUnitsToLayout(footer ? m_page.marginFooter : m_page.marginHeader));
        if (!box.intersects(area))
            continue;
        const double width = chosen->width > 0 ? HwpUnitsToLayout(chosen->width) : box.width();
        double height = 0;
        const std::unique_ptr<EditorDocument> text = LayOutParagraphs(
            *m_origin, WithPageNumber(chosen->paragraphs, number), width, m_layoutDevice, height);
        if (!text)
            continue;
        double y = box.top();
        if (chosen->VerticalAlign() == 1)
            y += (box.height() - height) / 2;
        else if (chosen->VerticalAlign() == 2)
            y += box.height() - height;
        painter.save();
        painter.translate(box.left(), y);
        text->Text().drawContents(&painter);
        painter.restore();
    }
}

void PageFurniture::PaintPageNumber(QPainter& painter, int page) const
{
    if ((HiddenOn(page) & kHidePageNumber) != 0)
        return;
    std::optional<hwp::PageNumberPosition> position;
    for (const Anchored& anchored : m_numberPlaces) {
        if (anchored.page <= page)
            position = hwp::ReadPageNumberPosition(anchored.control);
    }
    if (!position || position->Place() == hwp::PageNumberPlace::None)
        return;
    const int number = PageNumber(page);
    QTextLayout layout(QString::fromStdU16String(position->Text(static_cast<std::uint32_t>(std::max(0, number)))),
                       m_font, &m_layoutDevice);
    const QTextLine line = LayOutOneLine(layout);
    if (!line.isValid())
        return;
    const double width = line.naturalTextWidth();
    using Place = hwp::PageNumberPlace;
    const Place place = position->Place();
    const bool odd = number % 2 != 0;
    // 0 left, 1 centre, 2 right; outside is the right of an odd page, inside its left.
    int across = 1;
    switch (place) {
    case Place::TopLeft: case Place::BottomLeft: across = 0; break;
    case Place::TopRight: case Place::BottomRight: across = 2; break;
    case Place::OutsideTop: case Place::OutsideBottom: across = odd ? 2 : 0; break;
    case Place::InsideTop: case Place::InsideBottom: across = odd ? 0 : 2; break;
    default: break;
    }
    const bool top = place == Place::TopLeft || place == Place::TopCenter || place == Place::TopRight ||
                     place == Place::OutsideTop || place == Place::InsideTop;
    const double left = HwpUnitsToLayout(m_page.BodyLeft());
    const double bodyWidth = HwpUnitsToLayout(m_page.BodyWidth());
    const double x = left + (across == 0 ? 0.0 : across == 1 ? (bodyWidth - width) / 2 : bodyWidth - width);
    const double areaTop = HwpUnitsToLayout(top ? m_page.marginTop : m_page.SheetHeight() - m_page.marginBottom -
                                                                          m_page.marginFooter);
    const double areaHeight = HwpUnitsToLayout(top ? m_page.marginHeader : m_page.marginFooter);
    painter.save();
    painter.setPen(Qt::black);
    layout.draw(&painter, QPointF(x, areaTop + (areaHeight - line.height()) / 2));
    painter.restore();
}

void PageFurniture::PaintNotes(QPainter& painter, int page, const QRectF& area) const
{
    const double bodyTop = HwpUnitsToLayout(m_page.BodyTop());
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    const double left = HwpUnitsToLayout(m_page.BodyLeft());
    const double width = HwpUnitsToLayout(m_page.BodyWidth());
    const QRectF body(left, bodyTop, width, bodyHeight);
    if (!body.intersects(area))
        return;
    const hwp::Control* sectionDef = SectionDef();
    // The rule above the notes and the notes under it, its top at `ruleY`.
    const auto paintNotes = [&](const hwp::NoteShape& shape, double ruleY, const std::unique_ptr<EditorDocument>& text) {
        if (shape.lineKind != 0) {
            const double length = shape.separatorLength > 0 ? HwpUnitsToLayout(shape.separatorLength) : width / 3;
            // A hairline is at least one pixel of the device, drawn crisp.
            const QTransform& toDevice = painter.transform();
            const double pixel = 1.0 / std::max(1e-6, std::hypot(toDevice.m11(), toDevice.m12()));
            QPen pen(FromColorRef(shape.lineColor));
            pen.setWidthF(std::max(pixel, HwpUnitsToLayout(hwp::BorderLineWidth(shape.lineWidth))));
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.setPen(pen);
            painter.drawLine(QPointF(left, ruleY), QPointF(left + std::min(length, width), ruleY));
            painter.restore();
        }
        painter.save();
        painter.translate(left, ruleY + HwpUnitsToLayout(std::max<hwp::HwpUnit>(0, shape.belowSeparator)));
        text->Text().drawContents(&painter);
        painter.restore();
    };

    const std::vector<hwp::Paragraph> footnotes = FootnotesOn(page);
    if (!footnotes.empty()) {
        const hwp::NoteShape shape =
            sectionDef != nullptr ? hwp::ReadNoteShape(*sectionDef, false) : hwp::NoteShape{};
        double height = 0;
        const std::unique_ptr<EditorDocument> text = LayOutParagraphs(*m_origin, footnotes, width, m_layoutDevice, height);
        if (text) {
            const double ruleY = bodyTop + bodyHeight - height -
                                 HwpUnitsToLayout(std::max<hwp::HwpUnit>(0, shape.belowSeparator));
            paintNotes(shape, ruleY, text);
        }
    }

    std::vector<hwp::Paragraph> endnotes;
    for (const Anchored& anchored : m_endnotes) {
        if (std::optional<hwp::Note> note = hwp::ReadNote(anchored.control))
            endnotes.insert(endnotes.end(), note->paragraphs.begin(), note->paragraphs.end());
    }
    const int lastPage = static_cast<int>(std::floor(std::max(0.0, m_textEnd - 0.5) / std::max(1.0, bodyHeight)));
    if (!endnotes.empty() && page == lastPage && m_last) {
        const hwp::NoteShape shape = sectionDef != nullptr ? hwp::ReadNoteShape(*sectionDef, true) : hwp::NoteShape{};
        double height = 0;
        const std::unique_ptr<EditorDocument> text = LayOutParagraphs(*m_origin, endnotes, width, m_layoutDevice, height);
        if (text) {
            const double ruleY = bodyTop + (m_textEnd - lastPage * bodyHeight) +
                                 HwpUnitsToLayout(std::max<hwp::HwpUnit>(0, shape.aboveSeparator));
            painter.save();
            painter.setClipRect(body, Qt::IntersectClip);
            paintNotes(shape, ruleY, text);
            painter.restore();
        }
    }
}

} // namespace editor
