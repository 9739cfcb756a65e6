// A document of several sections: each prints on pages of its own definition, the page
// numbers go on through the document, and headers and footers stay in force across a
// section break but for what a section's first page hides.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "document/hwp_mapping.h"
#include "hwp/border_fill.h"
#include "hwp/reader.h"
#include "hwp/paragraph.h"
#include "hwp/records.h"
#include "hwp/section.h"
#include "hwp/table.h"
#include "hwp/writer.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"
#include "page/object_painters.h"
#include "page/page_render.h"
#include "page/text_items.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace {

struct Written {
    QString text;    // without white space
    std::vector<std::pair<QPointF, QString>> items;   // each at its place, in layout pixels

    QPointF Where(const QString& part) const
    {
        for (const auto& [at, item] : items) {
            if (item.contains(part))
                return at;
        }
        return {-1, -1};
    }
};

// What page `page` writes, as a PDF reader finds it.
Written PageText(const editor::PagedLayout& layout, int page)
{
    Written written;
    editor::TextItemDevice device([&written](const QPointF& at, const QTextItem& item) {
        written.items.emplace_back(at, item.text());
        written.text += item.text();
    });
    QPainter painter(&device);
    layout.PaintPage(painter, page);
    painter.end();
    written.text.remove(QRegularExpression(QStringLiteral("\\s+")));
    return written;
}

hwp::Paragraph Paragraph(std::u16string text, std::uint8_t breakFlags = 0)
{
    hwp::Paragraph paragraph;
    paragraph.text = std::move(text);
    paragraph.charShapes.push_back(hwp::CharShapeRun{});
    paragraph.breakFlags = breakFlags;
    return paragraph;
}

// A new document of `count` short paragraphs, "단락 가", "단락 각", ...
hwp::Document ShortParagraphs(int count)
{
    hwp::Document document = hwp::NewDocument();
    auto& paragraphs = document.sections.front().paragraphs;
    paragraphs.clear();
    for (int i = 0; i < count; ++i)
        paragraphs.push_back(Paragraph(u"단락 " + std::u16string(1, static_cast<char16_t>(u'가' + i))));
    return document;
}

class PageSections : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor_testing::EnsureApplication();
        editor::RegisterObjectPainters();
    }
};

TEST_F(PageSections, ALaterSectionPrintsOnItsOwnPageAndGoesOnWithTheHeadersAndPageNumbersBeforeIt)
{
    const std::string folder = hwp_testing::SamplesFolder();
    if (folder.empty())
        GTEST_SKIP() << "no sample documents";
    // The sample's one section: a header numbering its pages, a footer on odd pages, one
    // line of text. It ends here on a table, right before the second section.
    hwp::Document source = hwp::ReadDocument(folder + "/headerfooter.hwp");
    ASSERT_EQ(source.sections.size(), 1u);
    hwp::Paragraph table = Paragraph(u"표");
    table.controls.push_back(hwp_testing::TableControl(source, {u"표의 칸"}));
    table.controls.back().position = table.controls.back().end = 1;
    source.sections[0].paragraphs.push_back(table);
    // A second section, landscape with wider margins, over two pages. Its definition is the
    // first's otherwise.
    hwp::Section second = source.sections[0];
    second.page.landscape = true;
    second.page.leftMargin = 3 * second.page.leftMargin;
    second.paragraphs = {Paragraph(u"둘째 구역"), Paragraph(u"둘째 구역의 둘째 쪽", hwp::kBreakPage)};
    ASSERT_GE(second.sectionDef.records.front().data.size(), 8u);

    for (const bool hideFirstHeader : {true, false}) {
        SCOPED_TRACE(hideFirstHeader ? "its first page hides the header" : "nothing hidden");
        hwp::Document twoSections = source;
        twoSections.sections.push_back(second);
        if (hideFirstHeader)
            twoSections.sections.back().sectionDef.records.front().data[4] |= 1;
        const std::unique_ptr<editor::EditorDocument> document = editor::ToEditorDocument(twoSections);

        const editor::PagedLayout layout(*document, editor::PageOutput::Vector);
        ASSERT_EQ(layout.PageCount(), 3);
        EXPECT_EQ(layout.SheetPixelWidth(0, 300), 2480);
        EXPECT_EQ(layout.SheetPixelHeight(0, 300), 3508);
        for (const int page : {1, 2}) {
            EXPECT_EQ(layout.SheetPixelWidth(page, 300), 3508) << "page " << page;
            EXPECT_EQ(layout.SheetPixelHeight(page, 300), 2480) << "page " << page;
            EXPECT_EQ(layout.PageOf(page).marginLeft, second.page.leftMargin);
        }
        EXPECT_EQ(layout.SheetPixelWidth(3, 300), 3508) << "past the end: the last section's";
        EXPECT_EQ(editor::PagedLayout(*document).PageCount(), 3) << "page images alike";

        const Written one = PageText(layout, 0);
        const Written two = PageText(layout, 1);
        const Written three = PageText(layout, 2);
        EXPECT_EQ(one.text, QStringLiteral("Header이것은머리말입니다1.Footer이것은꼬리말입니다.첫페이지표표의칸"));
        EXPECT_EQ(two.text, hideFirstHeader ? QStringLiteral("둘째구역") : QStringLiteral("Header이것은머리말입니다2.둘째구역"))
            << "no footer on an even page";
        EXPECT_EQ(three.text, QStringLiteral("Header이것은머리말입니다3.Footer이것은꼬리말입니다.둘째구역의둘째쪽"));
        // The second section's text begins at its own margin, at the top of its body.
        const editor::PageSetup& page = layout.PageOf(1);
        const QPointF at = two.Where(QStringLiteral("둘째"));
        EXPECT_NEAR(at.x(), editor::HwpUnitsToLayout(page.BodyLeft()), 1.0);
        EXPECT_GT(at.y(), editor::HwpUnitsToLayout(page.BodyTop()));
        EXPECT_LT(at.y(), editor::HwpUnitsToLayout(page.BodyTop() + 1500));
    }
}

// A section of two columns: the text runs down the left column, then the right, and a
// column break starts the next column; the pages hold twice as much.
TEST_F(PageSections, ASectionOfTwoColumnsFillsTheLeftColumnThenTheRight)
{
    hwp::Document source = ShortParagraphs(100);
    auto& paragraphs = source.sections.front().paragraphs;
    paragraphs.push_back(Paragraph(u"단 나누기 뒤", hwp::kBreakColumn));
    paragraphs.push_back(Paragraph(u"끝"));
    const auto pagesOf = [](const hwp::Document& document) {
        const std::unique_ptr<editor::EditorDocument> pane = editor::ToEditorDocument(document);
        return editor::PagedLayout(*pane, editor::PageOutput::Vector).PageCount();
    };
    const int oneColumn = pagesOf(source);
    ASSERT_GE(oneColumn, 2);

    source.sections.front().columnCount = 2;
    source.sections.front().columnGap = 1134;   // 4 mm
    const std::unique_ptr<editor::EditorDocument> document = editor::ToEditorDocument(source);
    const editor::PagedLayout layout(*document, editor::PageOutput::Vector);
    EXPECT_LT(layout.PageCount(), oneColumn);
    const editor::PageSetup& page = layout.PageOf(0);
    const double left = editor::HwpUnitsToLayout(page.BodyLeft());
    const double right = left + editor::HwpUnitsToLayout((page.BodyWidth() + 1134) / 2);
    const Written first = PageText(layout, 0);
    EXPECT_NEAR(first.Where(QStringLiteral("단락 가")).x(), left, 1.0);
    const QPointF later = first.Where(QStringLiteral("단락 ") + QChar(u'가' + 50));
    EXPECT_NEAR(later.x(), right, 1.0) << "the 51st paragraph in the right column";
    const QPointF broken = PageText(layout, layout.PageCount() - 1).Where(QStringLiteral("단 나누기 뒤"));
    EXPECT_LT(broken.y(), editor::HwpUnitsToLayout(page.BodyTop() + 1500)) << "a column break starts its column";
    // Columns the file sets from the right: the first one there.
    hwp::Columns fromRight;
    fromRight.direction = 1;
    source.sections.front().columnDef = hwp::ColumnsControl(fromRight);
    const std::unique_ptr<editor::EditorDocument> mirrored = editor::ToEditorDocument(source);
    const Written rightFirst = PageText(editor::PagedLayout(*mirrored, editor::PageOutput::Vector), 0);
    EXPECT_NEAR(rightFirst.Where(QStringLiteral("단락 가")).x(), right, 1.0);
    EXPECT_NEAR(rightFirst.Where(QStringLiteral("단락 ") + QChar(u'가' + 50)).x(), left, 1.0);
    // Columns of their own widths, about a third and two thirds: each where the file puts it.
    hwp::Columns unequal;
    unequal.count = 2;
    unequal.sameWidth = false;
    unequal.shares = {10000, 1000, 21768, 0};
    const double body = page.BodyWidth();
    for (const std::uint8_t direction : {0, 1}) {
        SCOPED_TRACE(direction == 0 ? "unequal, from the left" : "unequal, from the right");
        unequal.direction = direction;
        source.sections.front().columnDef = hwp::ColumnsControl(unequal);
        const std::unique_ptr<editor::EditorDocument> pane = editor::ToEditorDocument(source);
        const Written text = PageText(editor::PagedLayout(*pane, editor::PageOutput::Vector), 0);
        const double narrowLeft = direction == 0 ? left : left + editor::HwpUnitsToLayout(body - body * 10000 / 32768);
        const double wideLeft = direction == 0 ? left + editor::HwpUnitsToLayout(body * 11000 / 32768) : left;
        EXPECT_NEAR(text.Where(QStringLiteral("단락 가")).x(), narrowLeft, 1.0);
        EXPECT_NEAR(text.Where(QStringLiteral("단락 ") + QChar(u'가' + 50)).x(), wideLeft, 1.0);
    }
    // A long paragraph laid out anew fills each column to its own width.
    hwp::Document prose = hwp::NewDocument();
    std::u16string words;
    for (int i = 0; i < 300; ++i)
        words += u"가나다라 ";
    prose.sections.front().paragraphs.front().text = words;
    prose.sections.front().columnCount = 2;
    unequal.direction = 0;
    prose.sections.front().columnDef = hwp::ColumnsControl(unequal);
    const std::unique_ptr<editor::EditorDocument> long_ = editor::ToEditorDocument(prose);
    const editor::LaidOutLines laid = editor::PagedLayout(*long_).LaidLines();
    ASSERT_FALSE(laid.empty());
    const hwp::HwpUnit narrow = page.BodyWidth() * 10000 / 32768;
    const hwp::HwpUnit wide = page.BodyWidth() * 21768 / 32768;
    int narrowLines = 0, wideLines = 0;
    for (const hwp::LineSegment& line : laid.begin()->second) {
        EXPECT_LE(line.width, wide + 2);
        narrowLines += line.width <= narrow + 2 ? 1 : 0;
        wideLines += line.width > narrow + 1000 ? 1 : 0;
    }
    EXPECT_GT(narrowLines, 10) << "lines in the narrow column";
    EXPECT_GT(wideLines, 10) << "lines in the wide one, as wide as it";
    // The break survives a save.
    EXPECT_EQ(editor::ToHwpDocument(*document).sections.front().paragraphs[100].breakFlags & hwp::kBreakColumn,
              hwp::kBreakColumn);
}

// The file's line between the columns runs down the middle of the gap from the body's
// top as far as the text goes on the page, in its colour, in page images and PDF alike;
// a definition without one draws none.
TEST_F(PageSections, TheLineBetweenColumnsRunsDownTheGapAsFarAsTheText)
{
    hwp::Document source = ShortParagraphs(30);
    hwp::Section& section = source.sections.front();
    section.columnCount = 2;
    section.columnGap = 2268;   // 8 mm
    hwp::Columns columns;
    columns.count = 2;
    columns.gap = 2268;
    columns.line = {static_cast<std::uint8_t>(hwp::LineKind::Solid), 7, 0x0000FF};   // 0.5 mm, red
    section.columnDef = hwp::ColumnsControl(columns);

    for (const bool lined : {true, false}) {
        if (!lined)
            section.columnDef.records.front().data = hwp::WriteColumns(hwp::Columns{});
        const std::unique_ptr<editor::EditorDocument> document = editor::ToEditorDocument(source);
        const double last = PageText(editor::PagedLayout(*document, editor::PageOutput::Vector), 0)
                                .Where(QStringLiteral("단락 ") + QChar(u'가' + 29))
                                .y();   // the last line's baseline
        for (const editor::PageOutput output : {editor::PageOutput::Bitmap, editor::PageOutput::Pdf}) {
            SCOPED_TRACE(std::string(lined ? "a red line" : "no line") +
                         (output == editor::PageOutput::Pdf ? ", PDF" : ", page image"));
            const editor::PagedLayout layout(*document, output);
            ASSERT_EQ(layout.PageCount(), 1);
            QImage image(layout.SheetPixelWidth(0, 96), layout.SheetPixelHeight(0, 96), QImage::Format_RGB32);
            if (output == editor::PageOutput::Bitmap) {
                layout.PaintBand(image, 0, 0, 96);
            } else {
                image.fill(Qt::white);
                QPainter painter(&image);
                layout.PaintPage(painter, 0);
            }
            const editor::PageSetup& page = layout.PageOf(0);
            const double gapMiddle =
                editor::HwpUnitsToLayout(page.BodyLeft() + (page.BodyWidth() - 2268) / 2 + 2268 / 2);
            const double top = editor::HwpUnitsToLayout(page.BodyTop());
            ASSERT_GT(last, top);
            const auto redAt = [&image](double x, double y) {
                for (int dx = -2; dx <= 2; ++dx) {
                    const QColor pixel = image.pixelColor(static_cast<int>(x) + dx, static_cast<int>(y));
                    if (pixel.red() > 200 && pixel.green() < 80 && pixel.blue() < 80)
                        return true;
                }
                return false;
            };
            EXPECT_EQ(redAt(gapMiddle, top + 2), lined) << "at the body's top";
            EXPECT_EQ(redAt(gapMiddle, last - 2), lined) << "beside the last line";
            EXPECT_FALSE(redAt(gapMiddle, last + 40)) << "below the text";
            EXPECT_FALSE(redAt(gapMiddle - 30, (top + last) / 2)) << "only in the gap";
        }
    }
}

// Distributed columns end level on the section's last sheet, paragraph by paragraph,
// on as many sheets as newspaper columns take; newspaper columns fill one after another.
TEST_F(PageSections, DistributedColumnsEndLevelOnTheLastSheet)
{
    struct Case {
        int paragraphs;
        std::uint16_t columns;
    };
    for (const Case c : {Case{30, 2}, Case{30, 3}, Case{7, 3}, Case{130, 2}}) {
        hwp::Document source = ShortParagraphs(c.paragraphs);
        hwp::Section& section = source.sections.front();
        section.columnCount = c.columns;
        section.columnGap = 1134;
        std::vector<int> perColumn[2];   // lines in each column of the last sheet: newspaper, distributed
        int pages[2] = {0, 0};
        for (const std::uint8_t kind : {hwp::Columns::kNormal, hwp::Columns::kDistributed}) {
            hwp::Columns columns;
            columns.kind = kind;
            section.columnDef = hwp::ColumnsControl(columns);
            const std::unique_ptr<editor::EditorDocument> document = editor::ToEditorDocument(source);
            const editor::PagedLayout layout(*document, editor::PageOutput::Vector);
            pages[kind] = layout.PageCount();
            const editor::PageSetup& page = layout.PageOf(0);
            const double step = editor::HwpUnitsToLayout((page.BodyWidth() + 1134) / c.columns);
            perColumn[kind].assign(c.columns, 0);
            for (const auto& [at, item] : PageText(layout, pages[kind] - 1).items) {
                const int column = static_cast<int>((at.x() - editor::HwpUnitsToLayout(page.BodyLeft()) + 2) / step);
                if (item.contains(QStringLiteral("단락")) && column >= 0 && column < c.columns)
                    ++perColumn[kind][column];
            }
        }
        SCOPED_TRACE(std::to_string(c.paragraphs) + " paragraphs in " + std::to_string(c.columns) + " columns");
        EXPECT_EQ(pages[1], pages[0]);
        const auto [fewest, most] = std::minmax_element(perColumn[1].begin(), perColumn[1].end());
        EXPECT_LE(*most - *fewest, 1) << "distributed";
        EXPECT_GE(perColumn[1].front(), perColumn[1].back()) << "the first columns take the odd lines";
        EXPECT_GT(perColumn[0].front() - perColumn[0].back(), 1) << "newspaper";
    }
}

// New columns in the middle of a section go on below the text before them on its sheet:
// every column of that sheet begins below it. With a page break as well, they begin a sheet.
TEST_F(PageSections, NewColumnsWithinASectionGoOnBelowTheTextBeforeThem)
{
    for (const auto& [pageBreak, hwpx] : {std::pair{false, false}, std::pair{true, false}, std::pair{false, true}}) {
        SCOPED_TRACE(std::string(pageBreak ? "with a page break" : "no page break") + (hwpx ? ", through HWPX" : ""));
        hwp::Document source = ShortParagraphs(3);
        auto& paragraphs = source.sections.front().paragraphs;
        hwp::Columns two;
        two.count = 2;
        two.gap = 1134;
        hwp::Paragraph start = Paragraph(u"두 단 시작", hwp::kBreakColumns | (pageBreak ? hwp::kBreakPage : 0));
        start.controls.push_back(hwp::ColumnsControl(two));
        paragraphs.push_back(std::move(start));
        for (int i = 0; i < 120; ++i)
            paragraphs.push_back(Paragraph(u"둘째 " + std::u16string(1, static_cast<char16_t>(u'가' + i))));
        const hwp::Document read = hwpx ? hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(source))
                                        : hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(source));
        const std::unique_ptr<editor::EditorDocument> document = editor::ToEditorDocument(read);
        const editor::PagedLayout layout(*document, editor::PageOutput::Vector);
        // 3 lines, then 121 in two columns of some 40: one sheet fewer when they share.
        ASSERT_EQ(layout.PageCount(), pageBreak ? 3 : 2);
        const editor::PageSetup& page = layout.PageOf(0);
        const double top = editor::HwpUnitsToLayout(page.BodyTop());
        const double left = editor::HwpUnitsToLayout(page.BodyLeft());
        const double right = left + editor::HwpUnitsToLayout((page.BodyWidth() + 1134) / 2);
        const Written first = PageText(layout, 0);
        const double heading = first.Where(QStringLiteral("단락 ") + QChar(u'가' + 2)).y();
        const QPointF begun = PageText(layout, pageBreak ? 1 : 0).Where(QStringLiteral("두 단 시작"));
        EXPECT_NEAR(begun.x(), left, 1.0);
        // What the pane marks: a page end before the new columns only where they start a sheet.
        const editor::LaidOutLines laid = layout.LaidLines();
        const QTextBlock startBlock = document->Text().find(QStringLiteral("두 단 시작")).block();
        ASSERT_TRUE(laid.count(startBlock.blockNumber()));
        EXPECT_EQ(laid.at(startBlock.blockNumber()).front().flags & 0x3u, pageBreak ? 0x3u : 0x0u);
        if (pageBreak) {
            EXPECT_LT(begun.y(), top + 20) << "at the top of its own sheet";
            continue;
        }
        // A line below the heading's last, as the lines before are apart.
        const double step = heading - first.Where(QStringLiteral("단락 ") + QChar(u'가' + 1)).y();
        EXPECT_NEAR(begun.y() - heading, step, 1.0);
        // The right column of the shared sheet begins level with the left.
        double rightTop = 1e9;
        for (const auto& [at, item] : first.items) {
            if (std::abs(at.x() - right) < 1.0)
                rightTop = std::min(rightTop, at.y());
        }
        EXPECT_NEAR(rightTop, begun.y(), 1.0) << "the right column's first line";
        const QPointF next = PageText(layout, 1).Where(QStringLiteral("둘째"));
        EXPECT_NEAR(next.x(), left, 1.0);
        EXPECT_LT(next.y(), top + 20) << "the next sheet from its top";
        // The page image shows the same: nothing of the second part above the heading's line.
        const editor::PagedLayout bitmap(*document, editor::PageOutput::Bitmap);
        ASSERT_EQ(bitmap.PageCount(), 2);
        QImage image(bitmap.SheetPixelWidth(0, 96), bitmap.SheetPixelHeight(0, 96), QImage::Format_RGB32);
        bitmap.PaintBand(image, 0, 0, 96);
        const auto inkIn = [&image](double x0, double x1, double y0, double y1) {
            for (int y = static_cast<int>(y0); y < static_cast<int>(y1); ++y)
                for (int x = static_cast<int>(x0); x < static_cast<int>(x1); ++x)
                    if (qGray(image.pixel(x, y)) < 128)
                        return true;
            return false;
        };
        EXPECT_TRUE(inkIn(left, left + 60, top, heading)) << "the heading";
        EXPECT_FALSE(inkIn(right, right + 60, top, heading)) << "the right column above the new columns";
        EXPECT_TRUE(inkIn(right, right + 60, heading + 4, begun.y() + 2)) << "the right column's first line";
    }
}

// An object the text above places lower on the sheet, with text kept above and below it,
// stands in the way of the new columns that go on below that text: neither runs under it.
TEST_F(PageSections, NewColumnsGoOnAroundTheObjectsOfTheTextAboveThem)
{
    hwp::Document source = ShortParagraphs(3);
    auto& paragraphs = source.sections.front().paragraphs;
    const std::uint16_t thin = hwp::FindOrAddBorderFill(source, hwp::SimpleBorderFill({1, 1, 0x000000}));
    hwp::Table table = hwp::NewTable(2, 2, 20000, thin);
    table.object.inlineAsChar = false;
    table.object.wrap = hwp::TextWrap::TopAndBottom;
    table.object.horzRelTo = hwp::HorzRelTo::Page;
    table.object.horzAlign = 1;   // centred
    table.object.vertRelTo = hwp::VertRelTo::Page;
    table.object.verticalOffset = 20000;   // some 7 cm down the body, below the three lines
    paragraphs.front().controls.push_back(hwp::WriteTable(table, source));
    hwp::Columns two;
    two.count = 2;
    two.gap = 1134;
    hwp::Paragraph start = Paragraph(u"두 단 시작", hwp::kBreakColumns);
    start.controls.push_back(hwp::ColumnsControl(two));
    paragraphs.push_back(std::move(start));
    for (int i = 0; i < 120; ++i)
        paragraphs.push_back(Paragraph(u"둘째 " + std::u16string(1, static_cast<char16_t>(u'가' + i))));
    const std::unique_ptr<editor::EditorDocument> document =
        editor::ToEditorDocument(hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(source)));
    const editor::PagedLayout layout(*document, editor::PageOutput::Vector);
    const std::vector<QRectF> objects = layout.PlacedObjectRects(0);
    ASSERT_EQ(objects.size(), 1u);
    const QRectF object = objects.front();
    const Written first = PageText(layout, 0);
    ASSERT_GT(first.Where(QStringLiteral("두 단 시작")).y(), 0) << "the columns begin on the first sheet";
    int below = 0;
    for (const auto& [at, item] : first.items) {
        if (!item.contains(QStringLiteral("둘째")))
            continue;
        // A baseline within the object's height, or a line's height below its top, is under it.
        EXPECT_FALSE(at.y() > object.top() && at.y() < object.bottom() + 12) << item.toStdString() << " at " << at.y();
        below += at.y() > object.bottom() ? 1 : 0;
    }
    EXPECT_GE(below, 4) << "both columns go on below the object";
}

} // namespace
