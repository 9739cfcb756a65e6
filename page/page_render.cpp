#include "page/page_render.h"

#include "page/character_lines.h"

#include "document/face_metrics.h"
#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "document/paragraph_heads.h"
#include "page/object_painters.h"
#include "page/page_furniture.h"
#include "page/page_glyphs.h"
#include "page/text_items.h"
#include "page/vector_text.h"
#include "document/table_mapping.h"
#include "document/table_rows.h"
#include "hwp/paragraph.h"
#include "hwp/section.h"
#include "support/files.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextObjectInterface>
#include <QTextTable>

#include <algorithm>
#include <limits>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <future>
#include <optional>
#include <set>
#include <system_error>
#include <vector>

namespace editor {

namespace {

// Rows painted at a time: 20 MB at 600 dpi, and few text lines straddle two bands.
constexpr int kBandRows = 1024;
constexpr int kMaxSide = 32767;
// Layout pixels: far less than any line, more than the layout's rounding of page edges.
constexpr double kPageEdgeHair = 2;

// A copy of `text`. Qt's clone drops the formats of an empty first block (its para
// shape, so its spacing), and the document's first paragraph is often just that: the one
// holding the section's controls.
QTextDocument* CloneText(const QTextDocument& text)
{
    QTextDocument* copy = text.clone(nullptr);
    const QTextBlock first = text.begin();
    QTextCursor cursor(copy);
    cursor.setBlockFormat(first.blockFormat());
    cursor.setBlockCharFormat(first.charFormat());
    return copy;
}

void PutLe16(unsigned char* at, std::uint32_t value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void PutLe32(unsigned char* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

// One row of 0xffRRGGBB pixels as the B, G, R bytes of a 24-bit bitmap, four pixels to
// three words.
void PackBgrRow(const std::uint32_t* pixels, int width, unsigned char* out)
{
    static_assert(std::endian::native == std::endian::little);
    int x = 0;
    for (; x + 4 <= width; x += 4, out += 12) {
        const std::uint32_t a = pixels[x] & 0xFFFFFFu;
        const std::uint32_t b = pixels[x + 1] & 0xFFFFFFu;
        const std::uint32_t c = pixels[x + 2] & 0xFFFFFFu;
        const std::uint32_t d = pixels[x + 3] & 0xFFFFFFu;
        const std::uint32_t words[3] = {a | (b << 24), (b >> 8) | (c << 16), (c >> 16) | (d << 8)};
        std::memcpy(out, words, sizeof words);
    }
    for (; x < width; ++x) {
        *out++ = static_cast<unsigned char>(pixels[x]);
        *out++ = static_cast<unsigned char>(pixels[x] >> 8);
        *out++ = static_cast<unsigned char>(pixels[x] >> 16);
    }
}

int ToPixels(std::int32_t hwpUnits, double dpi)
{
    const double pixels = std::round(hwpUnits * dpi / 7200.0);
    return pixels < 1 ? 1 : pixels > 1e9 ? 1000000000 : static_cast<int>(pixels);
}

// Leaves in `text` only the blocks from position `from` (a block's start) to the block
// before position `to` (-1: to the end). The first block kept keeps its own formats, and
// starts its first page without a break.
void KeepBlocks(QTextDocument& text, int from, int to)
{
    QTextCursor cursor(&text);
    if (to > 0) {
        // From the end of the block before, unless that block is inside a table: then the
        // block at `to` is the one a table is always followed by, and stays, emptied.
        cursor.setPosition(to);
        const QTextFrame* frame = cursor.currentFrame();
        cursor.setPosition(to - 1);
        if (cursor.currentFrame() != frame)
            cursor.setPosition(to);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    const QTextBlock first = text.findBlock(from);
    QTextBlockFormat format = first.blockFormat();
    format.setPageBreakPolicy(format.pageBreakPolicy() & ~QTextFormat::PageBreak_AlwaysBefore);
    const QTextCharFormat charFormat = first.charFormat();
    cursor.setPosition(0);
    cursor.setPosition(from, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    cursor.setBlockFormat(format);
    cursor.setBlockCharFormat(charFormat);
}

// Leaves out of `text` what follows the top-level block or table row holding `position`. A
// table is cut below that row and below every row a cell of it spans into, so that no cell
// is cut and the rows kept lie as they lie in the whole table.
void LeaveOutAfter(QTextDocument& text, int position)
{
    QTextFrame* frame = text.frameAt(position);
    while (frame != nullptr && frame != text.rootFrame() && frame->parentFrame() != text.rootFrame())
        frame = frame->parentFrame();
    if (frame == nullptr)
        return;
    // The body's block, or the block a table is always followed by, which stays, emptied.
    const int from = frame == text.rootFrame()
                         ? text.findBlock(position).position() + text.findBlock(position).length() - 1
                         : frame->lastPosition() + 1;
    if (from < text.characterCount() - 1) {
        QTextCursor cursor(&text);
        cursor.setPosition(from);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    auto* table = qobject_cast<QTextTable*>(frame);
    if (table == nullptr)
        return;
    const QTextTableCell cell = table->cellAt(position);
    int end = cell.isValid() ? cell.row() + cell.rowSpan() : table->rows();
    for (bool grew = true; grew && end < table->rows();) {
        grew = false;
        for (int column = 0; column < table->columns(); ++column) {
            const QTextTableCell above = table->cellAt(end - 1, column);
            if (above.row() + above.rowSpan() > end) {
                end = above.row() + above.rowSpan();
                grew = true;
            }
        }
    }
    if (end < table->rows())
        table->removeRows(end, table->rows() - end);
}

// The page (of the layout: a column where there are several) a line whose top lies at `y`
// is on. The text engine puts a line it moves to the next page a hair above that page's
// top, where it prints first.
int LayoutPageAt(double y, double bodyHeight)
{
    return static_cast<int>(std::floor((y + kPageEdgeHair) / bodyHeight));
}

// `painter` on an image holding the band of a sheet from pixel row `top` at `dpi`, drawing
// in layout pixels from the sheet's corner.
void BeginSheetBand(QPainter& painter, int top, double dpi)
{
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.translate(0, -top);
    painter.scale(dpi / kLayoutDpi, dpi / kLayoutDpi);
}

// Where the first line of a top-level block lies in the layout.
double FirstLineTop(const QTextBlock& block)
{
    return block.layout()->position().y() + block.layout()->lineAt(0).y();
}

// A paragraph that starts a page takes its own top margin there: the text engine would
// take the larger of it and the bottom margin of the paragraph before, on the old page.
void DropMarginsBeforePageBreaks(QTextDocument& text)
{
    QTextCursor cursor(&text);
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        const QTextBlock previous = block.previous();
        if (!previous.isValid() || text.frameAt(block.position()) != text.rootFrame() ||
            text.frameAt(previous.position()) != text.rootFrame() ||
            (block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) == 0)
            continue;
        QTextBlockFormat format = previous.blockFormat();
        if (format.bottomMargin() <= block.blockFormat().topMargin())
            continue;
        format.setBottomMargin(block.blockFormat().topMargin());
        cursor.setPosition(previous.position());
        cursor.setBlockFormat(format);
    }
}

// Gives the body's tables the header rows their files ask to repeat: the text engine lays
// the rest of such a table out below them on every later page it runs onto, and paints
// their cells' rulings and backgrounds there again. Tables inside cells are left as they are.
void RepeatHeaderRows(QTextDocument& text)
{
    for (QTextFrame* frame : text.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        const int rows = table == nullptr ? 0 : RepeatedHeaderRows(*table);
        if (rows == 0)
            continue;
        QTextTableFormat format = table->format();
        format.setHeaderRowCount(rows);
        table->setFormat(format);
    }
}

// The numbers of the blocks that hold the positions [from, to).
std::pair<int, int> BlocksHolding(const QTextDocument& text, int from, int to)
{
    return {text.findBlock(from).blockNumber(), text.findBlock(std::max(from, to - 1)).blockNumber() + 1};
}

} // namespace

// Where a section's blocks are in the document, its page and its columns. A paragraph that
// changes the columns inside a section starts a part of its own, laid out from a new page.
struct PagedLayout::Section {
    int from = 0;           // position of its first block
    int to = -1;            // position of the next section's first block; -1: the end
    PageSetup page;
    KeptSectionRef kept;    // null for the first section
    hwp::Columns columns;
    int cut = -1;           // the copy leaves out what follows this position's row or block
    bool continues = false; // new columns within the section, without a page break
};

PagedLayout::PagedLayout(const EditorDocument& document, PageOutput output, StoredBreaks breaks)
    : PagedLayout(document, output, breaks, SectionsOf(document), 0, FurnitureCarry{})
{
}

PagedLayout::PagedLayout(const EditorDocument& document, PageOutput output, StoredBreaks breaks,
                         const std::vector<Section>& sections, std::size_t index, FurnitureCarry carried,
                         std::optional<SharedSheet> shared)
    : m_page(sections[index].page), m_sharesFirstSheet(shared.has_value()),
      m_startBelow(shared ? shared->startBelow : 0.0),
      m_objectsAbove(shared ? std::move(shared->objects) : std::vector<TextObstacle>()),
      m_layoutDevice(1, 1, QImage::Format_RGB32),
      m_text(CloneText(document.Text()))
{
    const Section& section = sections[index];
    m_text->setUndoRedoEnabled(false);
    // Laid out once, when its formats and page are set: each change before would lay a
    // table out whole again.
    m_text->setLayoutEnabled(false);
    m_heldLines = StoredLinesHeld(*m_text);
    // Counted over the whole document (numbers go on across sections) and given their
    // room before the glyph cache takes the text's colours.
    m_heads = std::make_unique<ParagraphHeads>(*m_text, document.OriginRef());
    if (section.cut >= 0) {
        LeaveOutAfter(*m_text, section.cut);
        m_heads->KeepBlocks(0, m_text->blockCount());
    }
    m_heads->FitRooms(*m_text);
    if (sections.size() > 1) {
        const int first = m_text->findBlock(section.from).blockNumber();
        const int end = section.to > 0 ? m_text->findBlock(section.to).blockNumber() : m_text->blockCount();
        KeepBlocks(*m_text, section.from, section.to);
        m_heads->KeepBlocks(first, end - first);
        m_firstBlock = first;
    }
    m_placed = TakePlacedObjects(*m_text);
    m_captionsBeside = TakeCaptionsBeside(*m_text);
    LowerTextStart(*m_text, m_startBelow);
    if (output == PageOutput::Bitmap)
        m_glyphs = std::make_unique<PageGlyphs>(*m_text);
    else if (output == PageOutput::Pdf)
        m_vectorText = std::make_unique<VectorText>(*m_text);
    // 96 dpi exactly: QImage reports round(dotsPerMeter * 0.0254).
    m_layoutDevice.setDotsPerMeterX(3780);
    m_layoutDevice.setDotsPerMeterY(3780);
    m_text->setDocumentMargin(0);
    m_text->setUseDesignMetrics(true);
    m_text->setDefaultFont(document.Text().defaultFont());
    m_text->documentLayout()->setPaintDevice(&m_layoutDevice);
    FitFacesToDevice(*m_text);   // a zoomed pane's spaces as they print
    SetPrintLayout(*m_text);
    InstallKeptObjectHandler(*m_text);
    SetColumns(section.columns);
    m_balanced = m_balanced && section.cut < 0;   // a copy cut short has not its last sheet
    m_text->setPageSize(QSizeF(HwpUnitsToLayout(m_columns > 1 ? m_columnWidth : m_page.BodyWidth()),
                               HwpUnitsToLayout(m_page.BodyHeight())));
    RepeatHeaderRows(*m_text);
    SpaceLinesByCharSize(*m_text, m_layoutDevice);
    const WidthsFitted fitted = breaks == StoredBreaks::Follow
                                    ? FitStoredWidths(*m_text, m_heldLines, m_text->pageSize().width(), m_layoutDevice)
                                    : WidthsFitted{};
    m_cellColumns = fitted.columns;
    m_text->setLayoutEnabled(true);
    FitTableRows(*m_text);
    MakeRoomForFootnotes(*m_text, m_page, document.OriginRef(), section.kept, carried.footnotesOnFirstSheet);
    BreakBeforePushedParagraphs();
    BalanceLastColumns();
    DropMarginsBeforePageBreaks(*m_text);
    const std::unordered_set<const StoredLines*> none;
    const std::unordered_set<const StoredLines*>& kept = breaks == StoredBreaks::Follow ? m_heldLines : none;
    LayOutLinesByCharacter(*m_text, kept);
    // Objects placed by the lines around them move with the room those lines take: a few
    // rounds, the last laying the lines without changing the room.
    constexpr int kFlowRounds = 4;
    for (int round = 0; round < kFlowRounds; ++round) {
        ReleaseFlowedLines(*m_text, m_flowed);
        if (breaks == StoredBreaks::Follow)
            FollowStoredLines(*m_text, m_heldLines, fitted);
        if (!FlowAroundPlacedObjects(kept, round + 1 < kFlowRounds))
            break;
    }
    m_text->documentLayout()->documentSize();
    LayOutLinesByCharacter(*m_text, kept);
    LowerFirstBlockLines(*m_text);
    MeasureColumnLines();
    m_furniture = std::make_unique<PageFurniture>(*m_text, m_page, document.OriginRef(), section.kept,
                                                  std::move(carried), index + 1 == sections.size() && section.cut < 0);
    if (index != 0)
        return;
    // Each later section after the one before it, counting its pages on; new columns go on
    // below the text before them where a line still fits.
    constexpr double kLeastRoom = 24;   // layout pixels, a line of large text
    PagedLayout* before = this;
    for (std::size_t later = 1; later < sections.size(); ++later) {
        std::optional<SharedSheet> shared;
        if (sections[later].continues) {
            const double end = before->TextEndOnLastSheet();
            if (end + kLeastRoom <= HwpUnitsToLayout(before->m_page.BodyHeight()))
                shared = SharedSheet{end, before->ObjectsOnLastSheet()};
        }
        FurnitureCarry next = before->m_furniture->Carry(before->OwnPageCount() - (shared ? 1 : 0));
        if (shared)
            before->m_furniture->HandOnFootnotesOf(before->OwnPageCount() - 1);
        m_later.push_back(std::unique_ptr<PagedLayout>(
            new PagedLayout(document, output, breaks, sections, later, std::move(next), std::move(shared))));
        before = m_later.back().get();
    }
}

std::unique_ptr<PagedLayout> PagedLayout::Through(const EditorDocument& document, int page, PageOutput output)
{
    // About a page of text, or 30 short table rows, for each page up to the one after
    // `page`; when the pages laid out end too soon, as much more as they fell short by and at
    // least twice as much: a few tries at most, the last the largest.
    constexpr std::int64_t kCharactersPerPage = 1536;
    const int length = document.Text().characterCount();
    const std::int64_t wanted = std::int64_t{std::max(page, 0)} + 2;
    for (std::int64_t cut = kCharactersPerPage * wanted; cut < length;) {
        std::unique_ptr<PagedLayout> layout(new PagedLayout(document, output, StoredBreaks::Follow,
                                                            CutAt(SectionsOf(document), static_cast<int>(cut)), 0, {}));
        // Text laid out past the page: nothing left out can change it.
        const int pages = layout->PageCount();
        if (pages >= wanted)
            return layout;
        cut = std::max(2 * cut, cut * (wanted + 1) / std::max(pages, 1));
    }
    return std::make_unique<PagedLayout>(document, output);
}

std::vector<PagedLayout::Section> PagedLayout::CutAt(std::vector<Section> sections, int cut)
{
    while (sections.size() > 1 && sections.back().from >= cut)
        sections.pop_back();
    sections.back().to = -1;
    sections.back().cut = cut;
    return sections;
}

// A section starts at a top-level block holding the character of a section start (its
// first character, as the document is read). One in the first block starts nothing: the
// first section's page is the document's.
std::vector<PagedLayout::Section> PagedLayout::SectionsOf(const EditorDocument& document)
{
    std::vector<Section> sections(1);
    sections.front().page = document.Page();
    if (const auto& origin = document.OriginRef(); origin && !origin->sections.empty())
        sections.front().columns = hwp::ColumnsOf(origin->sections.front());
    const QTextDocument& text = document.Text();
    for (QTextBlock block = text.begin().next(); block.isValid(); block = block.next()) {
        if (text.frameAt(block.position()) != text.rootFrame())
            continue;
        const bool columnsChange = (block.blockFormat().intProperty(kColumnBreakFlagsProperty) & hwp::kBreakColumns) != 0;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            KeptSectionRef kept = SectionStartOf(format);
            std::optional<hwp::Columns> columns;
            if (kept)
                columns = hwp::ColumnsOf(kept->section);
            else if (columnsChange)
                columns = ColumnsDefinedBy(format);
            if (!columns)
                continue;
            sections.back().to = block.position();
            Section section = sections.back();
            section.from = block.position();
            section.to = -1;
            section.columns = *columns;
            if (kept) {
                section.page = PageSetupOf(kept->section.page);
                section.kept = std::move(kept);
            }
            section.continues = section.kept == nullptr &&
                                (block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) == 0;
            sections.push_back(std::move(section));
            break;
        }
    }
    return sections;
}

PagedLayout::~PagedLayout() = default;

void PagedLayout::SetColumns(const hwp::Columns& columns)
{
    const int count = columns.count;
    if (count < 2)
        return;
    std::vector<std::pair<hwp::HwpUnit, hwp::HwpUnit>> spans = hwp::ColumnSpans(columns, m_page.BodyWidth());
    const auto byWidth = [](const auto& a, const auto& b) { return a.second < b.second; };
    const auto narrowest = std::min_element(spans.begin(), spans.end(), byWidth);
    if (narrowest == spans.end() || narrowest->second < 1000)   // under 3.5 mm: the body as one
        return;
    m_columns = count;
    m_columnWidth = std::max_element(spans.begin(), spans.end(), byWidth)->second;
    m_columnSpans = std::move(spans);
    m_columnLine = columns.line;
    m_balanced = columns.kind == hwp::Columns::kDistributed;
    // Each column is a page of the layout: a column break starts the next one.
    QTextCursor cursor(m_text.get());
    for (QTextBlock block = m_text->begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if ((format.intProperty(kColumnBreakFlagsProperty) & hwp::kBreakColumn) == 0)
            continue;
        format.setPageBreakPolicy(format.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
}

double PagedLayout::TextEndOnLastSheet() const
{
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    const int sheet = OwnPageCount() - 1;
    const std::vector<double> bottoms = TextBottoms();
    double end = 0;
    for (int column = 0; column < m_columns; ++column) {
        if (const auto layoutPage = static_cast<std::size_t>(sheet * m_columns + column); layoutPage < bottoms.size())
            end = std::max(end, bottoms[layoutPage]);
    }
    // Below the last line, the room its spacing keeps before the next.
    const QTextBlock last = m_text->lastBlock();
    const QTextLayout* layout = last.layout();
    if (layout != nullptr && layout->lineCount() > 0 && m_text->frameAt(last.position()) == m_text->rootFrame()) {
        const QTextLine line = layout->lineAt(layout->lineCount() - 1);
        const double top = layout->position().y() + line.y();
        const int layoutPage = LayoutPageAt(top, bodyHeight);
        if (layoutPage / m_columns == sheet) {
            const QTextBlockFormat format = last.blockFormat();
            // The first block's margin holds the room its lines were lowered into.
            const double after = format.bottomMargin() - LinesLoweredBy(last);
            end = std::max(end, top - layoutPage * bodyHeight + format.lineHeight(line.height(), 1.0) + after);
        }
    }
    return end;
}

std::vector<double> PagedLayout::TextBottoms() const
{
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    std::vector<double> bottoms;
    const auto reach = [&](int layoutPage, double y) {   // y: document coordinates
        if (layoutPage < 0)
            return;
        if (bottoms.size() <= static_cast<std::size_t>(layoutPage))
            bottoms.resize(static_cast<std::size_t>(layoutPage) + 1, 0.0);
        const double top = layoutPage * bodyHeight;
        double& bottom = bottoms[static_cast<std::size_t>(layoutPage)];
        bottom = std::max(bottom, std::min(y, top + bodyHeight) - top);
    };
    const QAbstractTextDocumentLayout* layout = m_text->documentLayout();
    for (auto it = m_text->rootFrame()->begin(); !it.atEnd(); ++it) {
        if (const QTextFrame* frame = it.currentFrame()) {
            // A table reaches down every page it runs over.
            const QRectF box = layout->frameBoundingRect(const_cast<QTextFrame*>(frame));
            for (int page = std::max(0, static_cast<int>(std::floor(box.top() / bodyHeight))); page * bodyHeight < box.bottom(); ++page)
                reach(page, box.bottom());
            continue;
        }
        const QTextBlock block = it.currentBlock();
        if (block.layout() == nullptr)
            continue;
        const double y = block.layout()->position().y();
        for (int i = 0; i < block.layout()->lineCount(); ++i) {
            const QTextLine line = block.layout()->lineAt(i);
            reach(LayoutPageAt(y + line.y(), bodyHeight), y + line.y() + line.height());
        }
    }
    return bottoms;
}

void PagedLayout::MeasureColumnLines()
{
    m_columnLineBottoms.clear();
    if (m_columns < 2 || m_columnLine.kind == 0)
        return;
    const std::vector<double> bottoms = TextBottoms();
    for (std::size_t layoutPage = 0; layoutPage < bottoms.size(); ++layoutPage) {
        const std::size_t sheet = layoutPage / static_cast<std::size_t>(m_columns);
        if (m_columnLineBottoms.size() <= sheet)
            m_columnLineBottoms.resize(sheet + 1, 0.0);
        m_columnLineBottoms[sheet] = std::max(m_columnLineBottoms[sheet], bottoms[layoutPage]);
    }
}

void PagedLayout::PaintColumnLines(QPainter& painter, int page) const
{
    if (page < 0 || static_cast<std::size_t>(page) >= m_columnLineBottoms.size())
        return;
    const double bottom = m_columnLineBottoms[static_cast<std::size_t>(page)];
    const double below = page == 0 ? m_startBelow : 0.0;   // the text of the part above
    if (bottom <= below)
        return;
    const double top = HwpUnitsToLayout(m_page.BodyTop());
    // Down the middle of each gap, whichever way the columns are filled.
    std::vector<std::pair<hwp::HwpUnit, hwp::HwpUnit>> spans = m_columnSpans;
    std::sort(spans.begin(), spans.end());
    for (std::size_t k = 1; k < spans.size(); ++k) {
        const double end = spans[k - 1].first + double(spans[k - 1].second);
        const double x = HwpUnitsToLayout(m_page.BodyLeft() + (end + spans[k].first) / 2.0);
        PaintRuledLine(painter, m_columnLine, QPointF(x, top + below), QPointF(x, top + bottom));
    }
}

double PagedLayout::ColumnLeft(int column) const
{
    if (m_columnSpans.empty())
        return 0.0;
    return HwpUnitsToLayout(m_columnSpans[static_cast<std::size_t>(column) % m_columnSpans.size()].first);
}

double PagedLayout::ColumnWidth(int column) const
{
    if (m_columnSpans.empty())
        return HwpUnitsToLayout(m_page.BodyWidth());
    return HwpUnitsToLayout(m_columnSpans[static_cast<std::size_t>(column) % m_columnSpans.size()].second);
}

QRectF PagedLayout::ColumnBody(int layoutPage) const
{
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    // A table wider than the body runs into the right margin as the file has it; in
    // columns, into the gaps beside its column.
    if (m_columns > 1) {
        // Half of each gap beside the column; at the body's edge, as much as the other side.
        const int column = layoutPage % m_columns;
        const double left = ColumnLeft(column);
        const double right = left + ColumnWidth(column);
        double before = -1, after = -1;
        for (int other = 0; other < m_columns; ++other) {
            const double otherLeft = ColumnLeft(other);
            const double otherRight = otherLeft + ColumnWidth(other);
            if (otherRight <= left + 1e-6 && (before < 0 || left - otherRight < before))
                before = left - otherRight;
            if (otherLeft >= right - 1e-6 && (after < 0 || otherLeft - right < after))
                after = otherLeft - right;
        }
        before = before < 0 ? std::max(after, 0.0) : before;
        after = after < 0 ? before : after;
        return QRectF(-before / 2, layoutPage * bodyHeight, right - left + (before + after) / 2, bodyHeight);
    }
    return QRectF(-HwpUnitsToLayout(m_page.BodyLeft()), layoutPage * bodyHeight, HwpUnitsToLayout(m_page.SheetWidth()),
                  bodyHeight);
}

int PagedLayout::OwnPageCount() const
{
    return (std::max(1, m_text->pageCount()) + m_columns - 1) / m_columns;
}

int PagedLayout::PageCount() const
{
    int pages = OwnPageCount();
    for (const auto& later : m_later)
        pages += later->OwnPageCount() - (later->m_sharesFirstSheet ? 1 : 0);
    return pages;
}

std::pair<const PagedLayout*, int> PagedLayout::Locate(int page) const
{
    const std::vector<std::pair<const PagedLayout*, int>> parts = PartsOn(page);
    if (!parts.empty())
        return parts.front();
    // Past the end: counted on in the last part.
    const PagedLayout* last = m_later.empty() ? this : m_later.back().get();
    return {last, page - (PageCount() - last->OwnPageCount())};
}

std::vector<std::pair<const PagedLayout*, int>> PagedLayout::PartsOn(int page) const
{
    std::vector<std::pair<const PagedLayout*, int>> parts;
    int first = 0;   // the page the part's first sheet is
    for (std::size_t i = 0; i <= m_later.size() && first <= page; ++i) {
        const PagedLayout* part = i == 0 ? this : m_later[i - 1].get();
        if (i > 0 && !part->m_sharesFirstSheet)
            ++first;
        const int own = part->OwnPageCount();
        if (page >= first && page < first + own)
            parts.emplace_back(part, page - first);
        first += own - 1;
    }
    return parts;
}

const PageSetup& PagedLayout::PageOf(int page) const
{
    return Locate(page).first->m_page;
}

int PagedLayout::SheetPixelWidth(int page, double dpi) const
{
    return ToPixels(PageOf(page).SheetWidth(), dpi);
}

int PagedLayout::SheetPixelHeight(int page, double dpi) const
{
    return ToPixels(PageOf(page).SheetHeight(), dpi);
}

// Hides blocks from the document layout's own painting while it lives. Visibility is
// only a flag the layout reads when it lays out or paints: hiding a laid-out block keeps
// its place and every other block's, and the layout skips it before touching its lines.
class HiddenBlocks {
public:
    // Of the blocks numbered [first, end), those `hide` picks.
    HiddenBlocks(QTextDocument& text, std::pair<int, int> blocks, const std::function<bool(const QTextBlock&)>& hide)
    {
        // Laid out in full first: a block laid out while hidden would take no room.
        text.documentLayout()->documentSize();
        for (QTextBlock block = text.findBlockByNumber(blocks.first); block.isValid() && block.blockNumber() < blocks.second;
             block = block.next()) {
            if (block.isVisible() && hide(block)) {
                block.setVisible(false);
                m_hidden.push_back(block);
            }
        }
    }
    ~HiddenBlocks()
    {
        for (QTextBlock& block : m_hidden)
            block.setVisible(true);
    }
    HiddenBlocks(const HiddenBlocks&) = delete;
    HiddenBlocks& operator=(const HiddenBlocks&) = delete;

private:
    std::vector<QTextBlock> m_hidden;
};

// The same for the blocks of text painted again elsewhere on the page.
class HiddenRepeats {
public:
    HiddenRepeats(QTextDocument& text, const std::vector<RepeatedText>& repeats,
                  const std::function<bool(const QTextBlock&)>& hide)
    {
        for (const RepeatedText& repeat : repeats)
            m_hidden.push_back(std::make_unique<HiddenBlocks>(text, BlocksHolding(text, repeat.from, repeat.to), hide));
    }

private:
    std::vector<std::unique_ptr<HiddenBlocks>> m_hidden;
};

LineAgreement PagedLayout::MeasureStoredLines() const
{
    LineAgreement agreement;
    MeasureOwnLines(agreement);
    for (const auto& later : m_later)
        later->MeasureOwnLines(agreement);
    return agreement;
}

// Baselines from the top of the body (of the column) on the line's page, as stored.
void PagedLayout::MeasureOwnLines(LineAgreement& agreement) const
{
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    for (QTextBlock block = m_text->begin(); block.isValid(); block = block.next()) {
        const StoredLines* stored = HeldLinesOf(block, m_heldLines);
        const QTextLayout* layout = block.layout();
        if (stored == nullptr || layout == nullptr || layout->lineCount() == 0)
            continue;
        ++agreement.paragraphs;
        agreement.sameCount += layout->lineCount() == static_cast<int>(stored->lines.size()) ? 1 : 0;
        const QPointF origin = Origins().Of(block);
        const double cellTop = CellTop(block);
        int next = 0;
        for (const hwp::LineSegment& segment : stored->lines) {
            ++agreement.storedLines;
            agreement.cellLines += cellTop >= 0 ? 1 : 0;
            while (next < layout->lineCount() && layout->lineAt(next).textStart() < static_cast<int>(segment.textStart))
                ++next;
            if (next == layout->lineCount() || layout->lineAt(next).textStart() != static_cast<int>(segment.textStart))
                continue;
            ++agreement.sameStart;
            agreement.cellSameStart += cellTop >= 0 ? 1 : 0;
            const QTextLine line = layout->lineAt(next);
            const double top = origin.y() + line.y();
            // Cells' lines lie from the top of the cell's text, the body's from the page's
            // (or where the columns begin on it).
            const double from = cellTop >= 0 ? cellTop : StoredTopOf(LayoutPageAt(top, bodyHeight));
            const double ours = LayoutToHwpUnits(top + line.ascent() - from);
            agreement.baselineOffsets.push_back((ours - segment.top - segment.baseline) * 25.4 / 7200.0);
        }
    }
}

LaidOutLines PagedLayout::LaidLines() const
{
    LaidOutLines laid;
    LayOwnLines(laid);
    for (const auto& later : m_later)
        later->LayOwnLines(laid);
    return laid;
}

double PagedLayout::StoredTopOf(int layoutPage) const
{
    // The lines of columns begun below other text count from where they begin.
    const double below = m_sharesFirstSheet && layoutPage < m_columns ? m_startBelow : 0.0;
    return layoutPage * HwpUnitsToLayout(m_page.BodyHeight()) + below;
}

// Tops from the top of the body (of the column) on the line's page, or of the cell; lines
// that open a sheet or column say so, as the word processor's do.
void PagedLayout::LayOwnLines(LaidOutLines& laid) const
{
    m_text->documentLayout()->documentSize();
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    const auto units = [](double pixels) {
        return static_cast<std::int32_t>(std::clamp(std::lround(LayoutToHwpUnits(pixels)), 0L, 0x3FFFFFFFL));
    };
    int lastPage = -1;
    for (QTextBlock block = m_text->begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        if (layout == nullptr || layout->lineCount() == 0)
            continue;
        const QPointF origin = Origins().Of(block);
        const bool inCell = InCell(block);
        const double cellTop = std::max(0.0, CellTop(block));
        std::vector<hwp::LineSegment>& lines = laid[m_firstBlock + block.blockNumber()];
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const double top = origin.y() + line.y();
            const int page = LayoutPageAt(top, bodyHeight);
            hwp::LineSegment segment;
            segment.textStart = static_cast<std::uint32_t>(line.textStart());
            segment.top = units(inCell ? top - cellTop : top - StoredTopOf(page));
            segment.height = units(line.height());
            segment.textHeight = units(line.ascent() + line.descent());
            segment.baseline = units(line.ascent());
            const double next = i + 1 < layout->lineCount() ? layout->lineAt(i + 1).y() : line.y() + line.height();
            segment.spacing = units(next - line.y() - line.height());
            segment.columnStart = units(line.x());
            segment.width = units(line.width());
            segment.flags = 0x00060000;   // first and last segment of its line
            // First line of its column, and of its sheet; on a sheet the part before owns, the
            // first column goes on below that part's text and opens neither.
            if (!inCell && page != lastPage && (page > 0 || !m_sharesFirstSheet))
                segment.flags |= page % m_columns == 0 ? 0x3u : 0x2u;
            if (!inCell)
                lastPage = page;
            lines.push_back(segment);
        }
    }
}

const BlockOrigins& PagedLayout::Origins() const
{
    if (!m_origins)
        m_origins = std::make_unique<BlockOrigins>(*m_text);
    return *m_origins;
}

std::pair<int, int> PagedLayout::BlocksMeeting(const QRectF& area) const
{
    if (m_lowestBottom.empty()) {
        const BlockOrigins& origins = Origins();
        const auto count = static_cast<std::size_t>(m_text->blockCount());
        m_lowestBottom.assign(count, -std::numeric_limits<double>::infinity());
        m_highestTop.assign(count, std::numeric_limits<double>::infinity());
        for (QTextBlock block = m_text->begin(); block.isValid(); block = block.next()) {
            const auto number = static_cast<std::size_t>(block.blockNumber());
            if (number >= count || block.layout() == nullptr)
                continue;
            // Both where the layout puts the block and where its lines are drawn from.
            const QRectF rect = m_text->documentLayout()->blockBoundingRect(block);
            const QRectF lines = block.layout()->boundingRect().translated(origins.Of(block));
            m_lowestBottom[number] = std::max(rect.bottom(), lines.bottom());
            m_highestTop[number] = std::min(rect.top(), lines.top());
        }
        for (std::size_t i = 1; i < count; ++i)
            m_lowestBottom[i] = std::max(m_lowestBottom[i], m_lowestBottom[i - 1]);
        for (std::size_t i = count; i-- > 1;)
            m_highestTop[i - 1] = std::min(m_highestTop[i - 1], m_highestTop[i]);
    }
    const auto first = std::lower_bound(m_lowestBottom.begin(), m_lowestBottom.end(), area.top()) - m_lowestBottom.begin();
    const auto end = std::upper_bound(m_highestTop.begin(), m_highestTop.end(), area.bottom()) - m_highestTop.begin();
    return {static_cast<int>(first), static_cast<int>(std::max(first, end))};
}

bool PagedLayout::InCell(const QTextBlock& block) const
{
    return m_text->frameAt(block.position()) != m_text->rootFrame();
}

double PagedLayout::CellTop(const QTextBlock& block) const
{
    const QTextTable* table = InCell(block) ? QTextCursor(block).currentTable() : nullptr;
    if (table == nullptr)
        return -1.0;
    return Origins().Of(table->cellAt(block.position()).firstCursorPosition().block()).y();
}

void PagedLayout::PaintBand(QImage& image, int page, int top, double dpi) const
{
    image.fill(Qt::white);
    const std::vector<std::pair<const PagedLayout*, int>> parts = PartsOn(page);
    for (std::size_t i = 0; i < parts.size(); ++i)
        parts[i].first->PaintOwnBand(image, parts[i].second, top, dpi, i == 0);
}

void PagedLayout::PaintOwnBand(QImage& image, int page, int top, double dpi, bool sheet) const
{
    {
        QPainter painter(&image);
        BeginSheetBand(painter, top, dpi);
        const QRectF area = painter.transform().inverted().mapRect(QRectF(image.rect()));
        if (sheet)
            m_furniture->Paint(painter, page, area);
        else
            m_furniture->PaintFootnotes(painter, page, area);
        PaintPlaced(painter, page, true);
        PaintColumnLines(painter, page);
    }
    for (int column = 0; column < m_columns; ++column)
        PaintColumnBand(image, page * m_columns + column, ColumnLeft(column), top, dpi);
    if (m_placed.empty() && m_captionsBeside.empty())
        return;
    QPainter painter(&image);
    BeginSheetBand(painter, top, dpi);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    PaintPlaced(painter, page, false);
}

PagedLayout::PlacedOnSheet PagedLayout::Place(const PlacedObject& placed) const
{
    const QTextBlock block = m_text->findBlock(placed.position);
    if (!block.isValid() || block.layout() == nullptr || block.layout()->lineCount() == 0)
        return {};
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    const double lineTop = FirstLineTop(block);
    const int lineLayoutPage = LayoutPageAt(lineTop, bodyHeight);
    double top = lineTop - placed.roomAbove;
    // Room that did not fit above the text at a page's foot: the object heads the page.
    if (LayoutPageAt(top, bodyHeight) != lineLayoutPage)
        top = lineLayoutPage * bodyHeight;
    const int layoutPage = std::max(0, lineLayoutPage);
    const int column = layoutPage % m_columns;
    PlacementFrame frame;
    frame.paper = QRectF(0, 0, HwpUnitsToLayout(m_page.SheetWidth()), HwpUnitsToLayout(m_page.SheetHeight()));
    frame.page = QRectF(HwpUnitsToLayout(m_page.BodyLeft()), HwpUnitsToLayout(m_page.BodyTop()),
                        HwpUnitsToLayout(m_page.BodyWidth()), bodyHeight);
    frame.column = QRectF(frame.page.left() + ColumnLeft(column), frame.page.top(), ColumnWidth(column), bodyHeight);
    frame.paragraph = QRectF(frame.column.left() + placed.leftMargin,
                             frame.page.top() + top - layoutPage * bodyHeight,
                             frame.column.width() - placed.leftMargin - placed.rightMargin, 0);
    const int page = layoutPage / m_columns;
    frame.oddPage = page % 2 == 0;
    return {&placed, page, layoutPage, PlaceObject(placed.properties, placed.size, frame)};
}

PagedLayout::PlacedOnSheet PagedLayout::Place(const CaptionBeside& caption) const
{
    QTextCursor at(m_text.get());
    at.setPosition(caption.tableStart);
    QTextFrame* table = at.currentTable();
    while (table != nullptr && table->parentFrame() != m_text->rootFrame())
        table = table->parentFrame();
    if (table == nullptr)
        return {};
    const QRectF frame = m_text->documentLayout()->frameBoundingRect(table);
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    const int layoutPage = std::max(0, LayoutPageAt(frame.top(), bodyHeight));
    const QPointF corner(HwpUnitsToLayout(m_page.BodyLeft()) + ColumnLeft(layoutPage % m_columns),
                         HwpUnitsToLayout(m_page.BodyTop()) - layoutPage * bodyHeight);
    return {&caption.caption, layoutPage / m_columns, layoutPage, PlaceCaptionBeside(caption, frame.translated(corner))};
}

void PagedLayout::BreakBeforePushedParagraphs()
{
    if (std::none_of(m_placed.begin(), m_placed.end(), [](const PlacedObject& placed) { return placed.roomAbove > 0; }))
        return;
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    m_text->documentLayout()->documentSize();
    QTextCursor cursor(m_text.get());
    for (const PlacedObject& placed : m_placed) {
        const QTextBlock block = m_text->findBlock(placed.position);
        // The first block heads its page, its room below its lines until they move into it.
        if (placed.roomAbove <= 0 || !block.isValid() || block == m_text->begin() || block.layout() == nullptr ||
            block.layout()->lineCount() == 0)
            continue;
        const double lineTop = FirstLineTop(block);
        QTextBlockFormat format = block.blockFormat();
        if (LayoutPageAt(lineTop - placed.roomAbove, bodyHeight) == LayoutPageAt(lineTop, bodyHeight) ||
            (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) != 0)
            continue;
        format.setPageBreakPolicy(format.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
}

void PagedLayout::BalanceLastColumns()
{
    if (!m_balanced || m_columns < 2)
        return;
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    m_text->documentLayout()->documentSize();
    const int pages = std::max(1, m_text->pageCount());
    const int first = (pages - 1) / m_columns * m_columns;   // the last sheet's first column
    // The sheet's text as if it ran down one column: each column's text after the ones before.
    const std::vector<double> bottoms = TextBottoms();
    std::vector<double> offsets{0};
    for (int column = 0; column < m_columns; ++column) {
        const auto layoutPage = static_cast<std::size_t>(first + column);
        offsets.push_back(offsets.back() + (layoutPage < bottoms.size() ? bottoms[layoutPage] : 0.0));
    }
    const double total = offsets.back();
    // Where each top-level paragraph starting on the sheet would begin in that one column.
    std::vector<std::pair<double, QTextBlock>> starts;
    for (QTextBlock block = m_text->begin(); block.isValid(); block = block.next()) {
        if (InCell(block) || block.layout() == nullptr || block.layout()->lineCount() == 0)
            continue;
        const double top = FirstLineTop(block);
        const int page = LayoutPageAt(top, bodyHeight);
        if (page < first)
            continue;
        if ((block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) != 0 && page > first)
            return;   // the file breaks the columns itself
        starts.emplace_back(offsets[page - first] + std::max(0.0, top - page * bodyHeight), block);
    }
    // Before each column but the first, the first paragraph that starts at its share: the
    // first columns take what does not share out evenly.
    std::vector<QTextBlock> breaks;
    double previous = 0;
    std::size_t next = 0;
    for (int column = 1; column < m_columns; ++column) {
        const double share = total * column / m_columns;
        std::optional<std::size_t> best;   // the first that starts at its share or below it
        for (std::size_t i = next; i < starts.size() && !best; ++i) {
            if (starts[i].first > previous && starts[i].first >= share - kPageEdgeHair)
                best = i;
        }
        if (!best || starts[*best].first - previous > bodyHeight - kPageEdgeHair)
            return;   // no paragraph to start the column with, or one column would overflow
        breaks.push_back(starts[*best].second);
        previous = starts[*best].first;
        next = *best + 1;
    }
    if (total - previous > bodyHeight - kPageEdgeHair)
        return;
    QTextCursor cursor(m_text.get());
    std::vector<std::pair<int, QTextBlockFormat>> before;
    for (const QTextBlock& block : breaks) {
        QTextBlockFormat format = block.blockFormat();
        before.emplace_back(block.position(), format);
        format.setPageBreakPolicy(format.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
    m_text->documentLayout()->documentSize();
    if (m_text->pageCount() <= first + m_columns)
        return;
    for (const auto& [position, format] : before) {   // the text ran onto another sheet: as it was
        cursor.setPosition(position);
        cursor.setBlockFormat(format);
    }
}

bool PagedLayout::FlowAroundPlacedObjects(const std::unordered_set<const StoredLines*>& held, bool makeRoom)
{
    std::vector<TextObstacle> obstacles = NarrowColumnEdges();
    std::vector<TextObstacle> start = StartAbove();
    // The part above's objects on the shared sheet stand in the way of every column there.
    for (const TextObstacle& above : m_objectsAbove)
        for (int layoutPage = 0; layoutPage < m_columns; ++layoutPage)
            start.push_back(OnLayoutPage(above, layoutPage));
    obstacles.insert(obstacles.end(), start.begin(), start.end());
    if (m_placed.empty() && obstacles.empty())
        return false;
    m_text->documentLayout()->documentSize();
    // A paragraph with stored lines where the part above's text or objects are was stored
    // from another top than the text engine gives it: it is laid out anew, around them.
    if (!start.empty())
        ReleaseHeldLinesMeeting(start);
    for (const PlacedObject& placed : m_placed) {
        if (const std::optional<SheetObstacle> onSheet = ObstacleOnSheet(placed))
            obstacles.push_back(OnLayoutPage(onSheet->obstacle, onSheet->layoutPage));
    }
    return FlowTextAround(*m_text, obstacles, held, HwpUnitsToLayout(m_page.BodyHeight()), m_flowed, makeRoom);
}

std::optional<PagedLayout::SheetObstacle> PagedLayout::ObstacleOnSheet(const PlacedObject& placed) const
{
    const hwp::TextWrap wrap = placed.properties.wrap;
    if (wrap != hwp::TextWrap::Square && wrap != hwp::TextWrap::TopAndBottom)
        return std::nullopt;
    const PlacedOnSheet one = Place(placed);
    if (one.object == nullptr)
        return std::nullopt;
    const auto& margins = placed.properties.outerMargins;
    const QRectF rect = one.rect.adjusted(-HwpUnitsToLayout(margins[0]), -HwpUnitsToLayout(margins[2]),
                                          HwpUnitsToLayout(margins[1]), HwpUnitsToLayout(margins[3]));
    return SheetObstacle{{rect, wrap, placed.properties.textSide}, one.page, one.layoutPage};
}

TextObstacle PagedLayout::OnLayoutPage(TextObstacle onSheet, int layoutPage) const
{
    // From the sheet to the layout's coordinates: the column's page under the ones before.
    const QPointF corner(HwpUnitsToLayout(m_page.BodyLeft()) + ColumnLeft(layoutPage % m_columns),
                         HwpUnitsToLayout(m_page.BodyTop()) - layoutPage * HwpUnitsToLayout(m_page.BodyHeight()));
    onSheet.rect.translate(-corner);
    return onSheet;
}

std::vector<TextObstacle> PagedLayout::ObjectsOnLastSheet() const
{
    const int sheet = OwnPageCount() - 1;
    // A part of a single sheet hands on what the part above it left there too.
    std::vector<TextObstacle> objects = sheet == 0 ? m_objectsAbove : std::vector<TextObstacle>();
    for (const PlacedObject& placed : m_placed) {
        const std::optional<SheetObstacle> onSheet = ObstacleOnSheet(placed);
        if (onSheet && onSheet->page == sheet)
            objects.push_back(onSheet->obstacle);
    }
    return objects;
}

std::vector<TextObstacle> PagedLayout::StartAbove() const
{
    std::vector<TextObstacle> above;
    if (m_startBelow <= 0)
        return above;
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    const double width = HwpUnitsToLayout(m_page.BodyWidth());
    for (int layoutPage = 1; layoutPage < m_columns; ++layoutPage)
        above.push_back({QRectF(-width, layoutPage * bodyHeight, 3 * width, m_startBelow), hwp::TextWrap::TopAndBottom, 0});
    return above;
}

void PagedLayout::ReleaseHeldLinesMeeting(const std::vector<TextObstacle>& obstacles)
{
    for (QTextBlock block = m_text->begin(); block.isValid(); block = block.next()) {
        const StoredLines* stored = HeldLinesOf(block, m_heldLines);
        if (stored == nullptr || block.layout() == nullptr || m_text->frameAt(block.position()) != m_text->rootFrame())
            continue;
        const QRectF bounds = block.layout()->boundingRect().translated(block.layout()->position());
        for (const TextObstacle& obstacle : obstacles) {
            if (obstacle.rect.top() < bounds.bottom() && obstacle.rect.bottom() > bounds.top()) {
                m_heldLines.erase(stored);
                break;
            }
        }
    }
}

// The text is laid out as wide as the widest column; in a narrower one, the rest of that
// width holds the lines back as an object beside them would, down every column of its kind
// on the pages there are and a sheet more.
std::vector<TextObstacle> PagedLayout::NarrowColumnEdges() const
{
    std::vector<TextObstacle> edges;
    const double widest = HwpUnitsToLayout(m_columnWidth);
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    const int pages = m_columns > 1 ? m_text->pageCount() + m_columns : 0;
    for (int layoutPage = 0; layoutPage < pages; ++layoutPage) {
        const double width = ColumnWidth(layoutPage % m_columns);
        if (width < widest - 0.5)
            edges.push_back({QRectF(width, layoutPage * bodyHeight, widest - width + 1, bodyHeight),
                             hwp::TextWrap::Square, 1});
    }
    return edges;
}

const std::vector<PagedLayout::PlacedOnSheet>& PagedLayout::PlacedOnSheets() const
{
    if (!m_placedOnSheets) {
        std::vector<PlacedOnSheet> sheets;
        for (const PlacedObject& placed : m_placed) {
            if (PlacedOnSheet one = Place(placed); one.object != nullptr)
                sheets.push_back(one);
        }
        for (const CaptionBeside& caption : m_captionsBeside) {
            if (PlacedOnSheet one = Place(caption); one.object != nullptr)
                sheets.push_back(one);
        }
        std::stable_sort(sheets.begin(), sheets.end(), [](const PlacedOnSheet& a, const PlacedOnSheet& b) {
            return a.object->properties.zOrder < b.object->properties.zOrder;
        });
        m_placedOnSheets = std::move(sheets);
    }
    return *m_placedOnSheets;
}

std::vector<QRectF> PagedLayout::PlacedObjectRects(int page) const
{
    std::vector<QRectF> rects;
    for (const auto& [part, local] : PartsOn(page)) {
        for (const PlacedOnSheet& one : part->PlacedOnSheets()) {
            if (one.page == local)
                rects.push_back(one.rect);
        }
    }
    return rects;
}

void PagedLayout::PaintPlaced(QPainter& painter, int page, bool behind) const
{
    if (m_placed.empty() && m_captionsBeside.empty())
        return;
    for (const PlacedOnSheet& one : PlacedOnSheets()) {
        if (one.page != page || one.object->BehindText() != behind)
            continue;
        painter.save();
        DrawKeptObject(painter, one.rect, 1.0, *one.object->object, KeptObjectView{one.object->format, true});
        painter.restore();
    }
}

void PagedLayout::PaintColumnBand(QImage& image, int layoutPage, double x, int top, double dpi) const
{
    QPainter painter(&image);
    BeginSheetBand(painter, top, dpi);
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    painter.translate(HwpUnitsToLayout(m_page.BodyLeft()) + x, HwpUnitsToLayout(m_page.BodyTop()) - layoutPage * bodyHeight);
    const QRectF body = ColumnBody(layoutPage);
    // Only the part of the body inside this band, in layout coordinates.
    const QRectF band = painter.transform().inverted().mapRect(QRectF(0, 0, image.width(), image.height()));
    const QRectF clip = body.intersected(band.adjusted(0, -1, 0, 1));
    if (clip.isEmpty())
        return;
    const auto origin = [this](const QTextBlock& block) { return Origins().Of(block); };
    if (!m_glyphs && !m_vectorText) {
        m_text->drawContents(&painter, clip);
        m_heads->Paint(painter, *m_text, clip, origin);
        PaintCellColumnLines(painter, clip);
        return;
    }
    const std::vector<RepeatedText> repeats = RepeatsOn(layoutPage);
    if (m_vectorText) {
        if (!m_text->rootFrame()->childFrames().isEmpty()) {
            const auto all = [](const QTextBlock&) { return true; };
            const HiddenBlocks hidden(*m_text, BlocksMeeting(clip), all);
            const HiddenRepeats hiddenRepeats(*m_text, repeats, all);
            m_text->drawContents(&painter, clip);
        }
        painter.setClipRect(clip);
        DrawRepeats(painter, clip, repeats);
        DrawLines(painter, clip, [](const QTextBlock&) { return true; },
                  [](const QTextBlock&, const QTextLine&) { return true; });
        m_heads->Paint(painter, *m_text, clip, origin);
        PaintCellColumnLines(painter, clip);
        return;
    }
    if (!m_text->rootFrame()->childFrames().isEmpty()) {
        // Tables paint their own borders and backgrounds, and the layout paints what a cell
        // holds right after the cell's background: left to it, but for the blocks of the body
        // (drawn below) and the cell blocks whose text is all drawn from glyphs, whose
        // transparent glyphs would still cost Qt an outline each.
        const auto hide = [this](const QTextBlock& block) { return !InCell(block) || !m_glyphs->LeavesPaintingIn(block); };
        const HiddenBlocks hidden(*m_text, BlocksMeeting(clip), hide);
        const HiddenRepeats hiddenRepeats(*m_text, repeats, hide);
        m_text->drawContents(&painter, clip);
    }
    // The body's blocks line by line: only lines with something besides plain text (an
    // underline, a background, an object) are the layout's to paint.
    painter.setClipRect(clip);
    DrawLines(painter, clip, [this](const QTextBlock& block) { return !InCell(block); },
              [this](const QTextBlock& block, const QTextLine& line) {
                  return m_glyphs->LeavesPaintingIn(block, line.textStart(), line.textLength());
              });
    m_heads->Paint(painter, *m_text, clip, origin);
    PaintCellColumnLines(painter, clip);
    PaintGlyphs(image, painter, clip, repeats);
}

void PagedLayout::DrawLines(QPainter& painter, const QRectF& area, const std::function<bool(const QTextBlock&)>& drawn,
                            const std::function<bool(const QTextBlock&, const QTextLine&)>& drawsLine) const
{
    const BlockOrigins& origins = Origins();
    const auto [first, end] = BlocksMeeting(area);
    for (QTextBlock block = m_text->findBlockByNumber(first); block.isValid() && block.blockNumber() < end;
         block = block.next()) {
        QTextLayout* text = block.layout();
        if (!block.isVisible() || text == nullptr || text->lineCount() == 0 || !drawn(block))
            continue;
        // The layout's origin; its lines lie where they lie from there, which is lower
        // than the block's bounding rectangle says when a page break in a cell pushed its
        // first line down.
        const QPointF origin = origins.Of(block);
        const QRectF lines = text->boundingRect().translated(origin);
        if (lines.bottom() < area.top() || lines.top() > area.bottom())
            continue;
        const QBrush background = block.blockFormat().background();
        if (background.style() != Qt::NoBrush)
            painter.fillRect(lines, background);
        painter.setPen(Qt::black);
        for (int i = 0; i < text->lineCount(); ++i) {
            const QTextLine line = text->lineAt(i);
            const double top = origin.y() + line.y();
            if (top > area.bottom() || top + line.height() < area.top() || !drawsLine(block, line))
                continue;
            if (!m_vectorText) {
                line.draw(&painter, origin);
                continue;
            }
            // Qt paints what is not plain text; with no pen it leaves the plain text out.
            painter.setPen(Qt::NoPen);
            line.draw(&painter, origin);
            m_vectorText->DrawLine(painter, block, line, origin);
        }
    }
}

void PagedLayout::PaintGlyphs(QImage& image, QPainter& painter, const QRectF& clip,
                              const std::vector<RepeatedText>& repeats) const
{
    const QTransform toDevice = painter.transform();
    painter.end();
    m_glyphs->Paint(image, toDevice, toDevice.mapRect(clip).toAlignedRect(), Origins(), repeats);
}

void PagedLayout::DrawRepeats(QPainter& painter, const QRectF& area, const std::vector<RepeatedText>& repeats) const
{
    for (const RepeatedText& repeat : repeats) {
        painter.save();
        painter.translate(repeat.shift);
        DrawLines(painter, area.translated(-repeat.shift),
                  [&repeat](const QTextBlock& block) { return block.position() >= repeat.from && block.position() < repeat.to; },
                  [](const QTextBlock&, const QTextLine&) { return true; });
        painter.restore();
    }
}

std::vector<RepeatedText> PagedLayout::RepeatsOn(int layoutPage) const
{
    // Pages as the layout counts them, in its fixed point.
    const double pageHeight = std::round(m_text->pageSize().height() * 64) / 64;
    if (!m_repeatedHeaders) {
        m_repeatedHeaders.emplace();
        for (QTextFrame* frame : m_text->rootFrame()->childFrames()) {
            const auto* table = qobject_cast<const QTextTable*>(frame);
            const int rows = table == nullptr ? 0 : std::min(table->format().headerRowCount(), table->rows() - 1);
            if (rows <= 0)
                continue;
            // Measured from its first cell's text, not from the table's own top.
            const QRectF rect = m_text->documentLayout()->frameBoundingRect(frame);
            const int next = static_cast<int>(rect.top() / pageHeight) + 1;
            const int from = table->firstPosition();
            const int to = table->cellAt(rows, 0).firstPosition();
            if (next > static_cast<int>(rect.bottom() / pageHeight))
                continue;
            const std::optional<double> shift = RepeatShift(from, to, next, pageHeight);
            if (!shift)
                continue;
            // The layout repeats the rows as if the table began at each page's top.
            const double top = next * pageHeight - *shift;
            m_repeatedHeaders->push_back({from, to, top, static_cast<int>(std::floor(top / pageHeight)),
                                          static_cast<int>(std::floor((top + rect.height()) / pageHeight))});
        }
    }
    std::vector<RepeatedText> repeats;
    for (const RepeatedHeader& header : *m_repeatedHeaders) {
        if (layoutPage > header.firstPage && layoutPage <= header.lastPage)
            repeats.push_back({header.from, header.to, QPointF(0, layoutPage * pageHeight - header.top)});
    }
    return repeats;
}

// The text engine keeps where it paints repeated rows to itself: one line of them is
// painted, alone, on the page and found.
std::optional<double> PagedLayout::RepeatShift(int from, int to, int layoutPage, double pageHeight) const
{
    QTextBlock probe = m_text->findBlock(from);
    while (probe.isValid() && probe.position() < to &&
           (probe.layout() == nullptr || probe.layout()->lineCount() == 0 || probe.text().trimmed().isEmpty()))
        probe = probe.next();
    if (!probe.isValid() || probe.position() >= to)
        return std::nullopt;
    const QTextLine line = probe.layout()->lineAt(0);
    const double baseline = Origins().Of(probe).y() + line.y() + line.ascent();
    std::optional<QPointF> first;
    {
        const HiddenBlocks hidden(*m_text, {0, m_text->blockCount()},
                                  [&probe](const QTextBlock& block) { return block != probe; });
        TextItemDevice device([&first](const QPointF& at, const QTextItem&) {
            if (!first)
                first = at;
        });
        QPainter painter(&device);
        m_text->drawContents(&painter, QRectF(-1e6, layoutPage * pageHeight, 2e6, pageHeight));
    }
    if (!first)
        return std::nullopt;
    return first->y() - baseline;
}

void PagedLayout::PaintPage(QPainter& painter, int page) const
{
    const std::vector<std::pair<const PagedLayout*, int>> parts = PartsOn(page);
    for (std::size_t i = 0; i < parts.size(); ++i)
        parts[i].first->PaintOwnPage(painter, parts[i].second, i == 0);
}

void PagedLayout::PaintOwnPage(QPainter& painter, int page, bool sheet) const
{
    painter.save();
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    const QRectF sheetArea(0, 0, HwpUnitsToLayout(m_page.SheetWidth()), HwpUnitsToLayout(m_page.SheetHeight()));
    if (sheet)
        m_furniture->Paint(painter, page, sheetArea);
    else
        m_furniture->PaintFootnotes(painter, page, sheetArea);
    PaintPlaced(painter, page, true);
    PaintColumnLines(painter, page);
    for (int column = 0; column < m_columns; ++column) {
        painter.save();
        PaintColumn(painter, page * m_columns + column, ColumnLeft(column));
        painter.restore();
    }
    PaintPlaced(painter, page, false);
    painter.restore();
}

void PagedLayout::PaintColumn(QPainter& painter, int layoutPage, double x) const
{
    const double bodyHeight = HwpUnitsToLayout(m_page.BodyHeight());
    painter.translate(HwpUnitsToLayout(m_page.BodyLeft()) + x, HwpUnitsToLayout(m_page.BodyTop()) - layoutPage * bodyHeight);
    const QRectF body = ColumnBody(layoutPage);
    const std::vector<RepeatedText> repeats = RepeatsOn(layoutPage);
    if (!m_text->rootFrame()->childFrames().isEmpty()) {
        // Tables' rulings and backgrounds from the document's layout, every block hidden:
        // the layout would write, clipped, the lines of a paragraph broken across this
        // page's edges, in a cell as in the body.
        const auto all = [](const QTextBlock&) { return true; };
        const HiddenBlocks hidden(*m_text, BlocksMeeting(body), all);
        const HiddenRepeats hiddenRepeats(*m_text, repeats, all);
        m_text->drawContents(&painter, body);
    }
    painter.setClipRect(body, Qt::IntersectClip);
    // Block by block, only the lines that meet the body, so no reader finds a line on the
    // page before or after its own; as a line pushed onto the next page begins exactly at
    // this page's foot, a hair inside the body keeps each line on its own page.
    const QRectF lines = body.adjusted(0, kPageEdgeHair, 0, -kPageEdgeHair);
    // The repeated header rows first: they head the page.
    DrawRepeats(painter, lines, repeats);
    DrawLines(painter, lines, [](const QTextBlock&) { return true; },
              [](const QTextBlock&, const QTextLine&) { return true; });
    m_heads->Paint(painter, *m_text, lines, [this](const QTextBlock& block) { return Origins().Of(block); });
    PaintCellColumnLines(painter, lines);
}

void PagedLayout::PaintCellColumnLines(QPainter& painter, const QRectF& area) const
{
    for (const auto& [number, columns] : m_cellColumns) {
        const QTextBlock block = m_text->findBlockByNumber(number);
        const QPointF origin = Origins().Of(block);
        const QRectF bounds = block.layout() != nullptr ? block.layout()->boundingRect() : QRectF();
        if (origin.y() + bounds.top() <= area.bottom() && origin.y() + bounds.bottom() >= area.top())
            PaintColumnRules(painter, block, origin, columns.line);
    }
}

bool RenderPageBmp(const EditorDocument& document, int page, int dpi, const std::string& path)
{
    if (dpi < 1 || dpi > 2400 || page < 0 || path.empty())
        return false;
    const std::unique_ptr<PagedLayout> laidOut = PagedLayout::Through(document, page);
    const PagedLayout& layout = *laidOut;
    if (page >= layout.PageCount())
        return false;
    const int width = layout.SheetPixelWidth(page, dpi);
    const int height = layout.SheetPixelHeight(page, dpi);
    // A page definition read from a file may be absurd; the painter cannot go past this.
    if (width > kMaxSide || height > kMaxSide)
        return false;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const std::uint64_t imageBytes = static_cast<std::uint64_t>(rowBytes) * static_cast<std::uint64_t>(height);
    if (imageBytes + 54 > 0xFFFFFFFFull)
        return false;

    // A page image is a scratch file that the caller converts and deletes at once: it is
    // renamed into place so no reader sees half of it, but not forced to disk, which
    // would cost seconds for a 100 MB bitmap.
    const std::string temporary = MakeTemporaryPathBeside(path);
    if (temporary.empty())
        return false;
    const auto write = [&] {
        std::FILE* file = std::fopen(temporary.c_str(), "wb");
        if (file == nullptr)
            return false;

        unsigned char header[54] = {};
        header[0] = 'B';
        header[1] = 'M';
        PutLe32(header + 2, static_cast<std::uint32_t>(imageBytes + 54));
        PutLe32(header + 10, 54);
        PutLe32(header + 14, 40);
        PutLe32(header + 18, static_cast<std::uint32_t>(width));
        PutLe32(header + 22, static_cast<std::uint32_t>(height)); // positive: rows bottom-up
        PutLe16(header + 26, 1);
        PutLe16(header + 28, 24);
        PutLe32(header + 34, static_cast<std::uint32_t>(imageBytes));
        const auto pixelsPerMeter = static_cast<std::uint32_t>(std::lround(dpi / 0.0254));
        PutLe32(header + 38, pixelsPerMeter);
        PutLe32(header + 42, pixelsPerMeter);
        bool ok = std::fwrite(header, 1, sizeof header, file) == sizeof header;

        // Bottom-up: the last band first. Band k + 1 is painted while band k is written.
        QImage bands[2];
        for (QImage& band : bands) {
            band = QImage(width, std::min(kBandRows, height), QImage::Format_RGB32);
            if (band.isNull())
                ok = false;
        }
        const auto writeBand = [&](const QImage& band, int rows) {
            // Many rows per call: a write this large bypasses the stream's buffer.
            constexpr int kRowsPerWrite = 64;
            std::vector<unsigned char> chunk(rowBytes * kRowsPerWrite, 0);
            for (int y = rows - 1; y >= 0;) {
                std::size_t packed = 0;
                for (int n = 0; n < kRowsPerWrite && y >= 0; ++n, --y, packed += rowBytes)
                    PackBgrRow(reinterpret_cast<const std::uint32_t*>(band.constScanLine(y)), width,
                               chunk.data() + packed);
                if (std::fwrite(chunk.data(), 1, packed, file) != packed)
                    return false;
            }
            return true;
        };
        std::future<bool> writing;
        const auto written = [&writing] { return !writing.valid() || writing.get(); };
        int next = 0;
        for (int bandTop = ((height - 1) / kBandRows) * kBandRows; ok && bandTop >= 0; bandTop -= kBandRows) {
            QImage& band = bands[next];
            next ^= 1;
            layout.PaintBand(band, page, bandTop, dpi);
            const int rows = std::min(kBandRows, height - bandTop);
            ok = written();
            if (!ok)
                break;
            try {
                writing = std::async(std::launch::async, writeBand, std::cref(band), rows);
            } catch (const std::system_error&) {
                ok = writeBand(band, rows);
            }
        }
        ok = written() && ok;
        ok = std::fflush(file) == 0 && ok;
        return std::fclose(file) == 0 && ok;
    };
    if (!write() || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace editor
