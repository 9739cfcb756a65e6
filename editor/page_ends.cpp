#include "editor/page_ends.h"

#include "document/editor_document.h"
#include "page/page_render.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace editor {

namespace {

// Flags of a laid-out line that opens a column, and a sheet (as the file stores them).
constexpr std::uint32_t kOpensColumn = 0x2u;
constexpr std::uint32_t kOpensSheet = 0x1u;

} // namespace

std::vector<PageEnd> PageEndsOf(const EditorDocument& document)
{
    // Vector output: no glyph cache to fill for a layout that is never painted.
    const PagedLayout layout(document, PageOutput::Vector);
    const LaidOutLines laid = layout.LaidLines();
    std::vector<int> blocks;
    for (const auto& entry : laid)
        blocks.push_back(entry.first);
    std::sort(blocks.begin(), blocks.end());
    std::vector<PageEnd> ends;
    int sheet = 0;
    bool overran = false;   // the line before ran past the body: it opened the page
    for (const int block : blocks) {
        for (const hwp::LineSegment& line : laid.at(block)) {
            const bool opens = (line.flags & kOpensColumn) != 0 && (block != 0 || line.textStart != 0);
            if (opens) {
                if (overran)
                    ends.back().sheet = (line.flags & kOpensSheet) != 0;
                else
                    ends.push_back({block, static_cast<int>(line.textStart), (line.flags & kOpensSheet) != 0});
                sheet += (line.flags & kOpensSheet) != 0 ? 1 : 0;
                overran = false;
                continue;
            }
            // The text engine moves a line that does not fit to the next page a little
            // above its top, where the print shows it first; the lines count it on the
            // page before, running past its body (by more than a pixel, 75 units).
            overran = line.top + line.height > layout.PageOf(sheet).BodyHeight() + 75;
            if (overran)
                ends.push_back({block, static_cast<int>(line.textStart), true});
        }
    }
    return ends;
}

PageEnds::PageEnds(QObject* parent, std::function<const EditorDocument*()> document, std::function<void()> changed)
    : QObject(parent), m_document(std::move(document)), m_changed(std::move(changed))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { Refresh(); });
}

void PageEnds::Watch(QTextDocument& text, int settle)
{
    disconnect(m_watched);
    m_timer.setInterval(settle);
    m_watched = connect(&text, &QTextDocument::contentsChanged, &m_timer, qOverload<>(&QTimer::start));
    m_timer.start();
}

void PageEnds::Refresh()
{
    m_timer.stop();
    const EditorDocument* document = m_document ? m_document() : nullptr;
    std::vector<PageEnd> marks = document != nullptr ? PageEndsOf(*document) : std::vector<PageEnd>{};
    const auto same = [](const PageEnd& a, const PageEnd& b) {
        return a.block == b.block && a.position == b.position && a.sheet == b.sheet;
    };
    if (std::equal(marks.begin(), marks.end(), m_marks.begin(), m_marks.end(), same))
        return;
    m_marks = std::move(marks);
    if (m_changed)
        m_changed();
}

void PageEnds::Paint(QPainter& painter, const QTextDocument& text, const QRectF& area, double width) const
{
    const QAbstractTextDocumentLayout* layout = text.documentLayout();
    painter.save();
    for (const PageEnd& mark : m_marks) {
        const QTextBlock block = text.findBlockByNumber(mark.block);
        const QTextLayout* lines = block.isValid() ? block.layout() : nullptr;
        if (lines == nullptr || lines->lineCount() == 0)
            continue;
        const QTextLine line = lines->lineForTextPosition(std::min(mark.position, block.length() - 1));
        if (!line.isValid())
            continue;
        const double y = layout->blockBoundingRect(block).top() + line.y();
        if (y < area.top() - 2 || y > area.bottom() + 2)
            continue;
        // A page's end in the blue of a selection, a column's lighter and dotted.
        QPen pen(mark.sheet ? QColor(0x4a, 0x7b, 0xc8) : QColor(0x9a, 0xb4, 0xdc));
        pen.setStyle(mark.sheet ? Qt::DashLine : Qt::DotLine);
        pen.setWidthF(1.0);
        pen.setCosmetic(true);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, y - 0.5), QPointF(width, y - 0.5));
    }
    painter.restore();
}

} // namespace editor
