// A table longer than a page: it runs on over the pages, the heading row at the top of the
// first, every other row printed once, in its order, in page images and PDFs alike.
#include "tests/editor/editor_testing.h"

#include "document/hwp_mapping.h"
#include "hwp/border_fill.h"
#include "hwp/table.h"
#include "page/object_painters.h"
#include "page/page_render.h"
#include "page/text_items.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>

namespace {

// `rows` rows of three ruled cells; the first row's cells say "머리", row r's "행r". The
// first `headerRows` rows are of header cells; `repeat`: the table asks to repeat them.
// `shape` changes the table once its cells are labelled.
std::unique_ptr<editor::EditorDocument> LongTable(int rows, int headerRows = 0, bool repeat = false,
                                                  editor::PaneLayout pane = editor::PaneLayout::Live,
                                                  const std::function<void(hwp::Table&)>& shape = {})
{
    hwp::Document document = hwp::NewDocument();
    const std::uint16_t ruled = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 3, 0}));
    hwp::Table table = hwp::NewTable(static_cast<std::uint16_t>(rows), 3, 30000, ruled);
    table.pageBreak = hwp::TablePageBreak::Cell;
    table.repeatHeaderRow = repeat;
    for (hwp::TableCell& cell : table.cells) {
        cell.height = hwp::kNewTableRowHeight;
        if (cell.row < headerRows)
            cell.otherListBits |= hwp::kHeaderCellBit;
        const std::string label = std::to_string(cell.row);
        cell.paragraphs.front().text = cell.row == 0 ? u"머리" : u"행" + std::u16string(label.begin(), label.end());
    }
    if (shape)
        shape(table);
    hwp::FitTableSize(table);
    hwp::Paragraph& paragraph = document.sections[0].paragraphs.front();
    paragraph.controls.push_back(hwp::WriteTable(table, document));
    paragraph.controls.back().position = static_cast<std::uint32_t>(paragraph.text.size());
    paragraph.controls.back().end = paragraph.controls.back().position;
    return editor::ToEditorDocument(document, editor::TablesShown::AsTables, pane);
}

// The words page `page` writes, in the order written.
std::vector<QString> PageWords(const editor::PagedLayout& layout, int page)
{
    std::vector<QString> words;
    editor::TextItemDevice device([&words](const QPointF&, const QTextItem& item) {
        for (const QString& word : item.text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
            words.push_back(word);
    });
    QPainter painter(&device);
    layout.PaintPage(painter, page);
    return words;
}

class LongTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor_testing::EnsureApplication();
        editor::RegisterObjectPainters();
    }
};

TEST_F(LongTables, RunOnOverThePagesWithEveryRowPrintedOnceInItsOrder)
{
    constexpr int kRows = 150;
    const auto document = LongTable(kRows);
    const editor::PagedLayout layout(*document, editor::PageOutput::Vector);
    ASSERT_GE(layout.PageCount(), 3);
    EXPECT_EQ(editor::PagedLayout(*document).PageCount(), layout.PageCount()) << "page images alike";
    std::map<QString, int> printed;
    int last = 0;
    for (int page = 0; page < layout.PageCount(); ++page) {
        const std::vector<QString> words = PageWords(layout, page);
        ASSERT_FALSE(words.empty()) << "page " << page;
        EXPECT_EQ(words.front() == QStringLiteral("머리"), page == 0) << "page " << page;
        for (const QString& word : words) {
            ++printed[word];
            if (word == QStringLiteral("머리"))
                continue;
            const int row = word.mid(1).toInt();
            EXPECT_GE(row, last) << "page " << page << ": rows in their order";
            last = row;
        }
    }
    EXPECT_EQ(last, kRows - 1);
    EXPECT_EQ(printed[QStringLiteral("머리")], 3);
    for (int row = 1; row < kRows; ++row)
        EXPECT_EQ(printed[QStringLiteral("행%1").arg(row)], 3) << "row " << row;
}

// The file's header rows print again at the top of every later page, as text and in page
// images, only when the table asks for it and only rows of header cells; every other row
// still prints once.
TEST_F(LongTables, RepeatTheHeaderRowsTheFileAsksFor)
{
    struct Case {
        const char* what;
        int headerRows;
        bool repeat;
        int repeated; // rows at the top of each later page that are the header's
    };
    const Case cases[] = {
        {"one header row, repeated", 1, true, 1},
        {"two header rows, repeated", 2, true, 2},
        {"asks to repeat, no header cells", 0, true, 0},
        {"header cells, not asked to repeat", 1, false, 0},
    };
    constexpr int kRows = 150;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto document = LongTable(kRows, c.headerRows, c.repeat);
        int pages = 0;
        {
            const editor::PagedLayout layout(*document, editor::PageOutput::Vector);
            pages = layout.PageCount();
            ASSERT_GE(pages, 3);
            std::map<QString, int> printed;
            for (int page = 0; page < pages; ++page) {
                const std::vector<QString> words = PageWords(layout, page);
                ASSERT_GE(words.size(), 6u);
                for (const QString& word : words)
                    ++printed[word];
                EXPECT_EQ(words[0] == QStringLiteral("머리") && words[2] == QStringLiteral("머리"),
                          page == 0 || c.repeated > 0)
                    << "page " << page;
                EXPECT_EQ(words[3] == QStringLiteral("행1") && words[5] == QStringLiteral("행1"),
                          page == 0 || c.repeated > 1)
                    << "page " << page;
            }
            EXPECT_EQ(printed[QStringLiteral("머리")], 3 * (c.repeated >= 1 ? pages : 1));
            EXPECT_EQ(printed[QStringLiteral("행1")], 3 * (c.repeated >= 2 ? pages : 1));
            for (int row = 2; row < kRows; ++row)
                EXPECT_EQ(printed[QStringLiteral("행%1").arg(row)], 3) << "row " << row;
        }

        // As a page image, the glyph-drawn text of the repeated rows lies where the text
        // engine's own painting of the page puts it, under the rulings it repeats.
        const editor::PagedLayout images(*document);
        const editor::PagedLayout engine(*document, editor::PageOutput::Vector);
        ASSERT_EQ(images.PageCount(), pages);
        constexpr double kDpi = 150;
        const int bodyTop = static_cast<int>(images.PageOf(1).BodyTop() * kDpi / 7200);
        QImage drawn(images.SheetPixelWidth(kDpi), 60, QImage::Format_RGB32);
        QImage reference(drawn.size(), QImage::Format_RGB32);
        images.PaintBand(drawn, 1, bodyTop, kDpi);
        engine.PaintBand(reference, 1, bodyTop, kDpi);
        // The cache places glyphs at eighths of a pixel where Qt's raster engine rounds
        // them: a pixel is off only when nothing within a pixel of it matches. A missing
        // or misplaced row of headings makes hundreds.
        const auto near = [&reference](int x, int y, int gray) {
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const QPoint at(x + dx, y + dy);
                    if (reference.rect().contains(at) && std::abs(gray - qGray(reference.pixel(at))) <= 64)
                        return true;
                }
            }
            return false;
        };
        long off = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x)
                off += !near(x, y, qGray(drawn.pixel(x, y)));
        }
        EXPECT_LT(off, 150) << "pixels off";
    }
}

// A document read only to be printed is never laid out itself, and prints the same pixels.
TEST_F(LongTables, PrintTheSameWhenTheReadDocumentIsNeverLaidOut)
{
    const auto shown = LongTable(150, 1, true);
    const auto printed = LongTable(150, 1, true, editor::PaneLayout::Off);
    EXPECT_EQ(printed->Text().lastBlock().layout()->lineCount(), 0) << "laid out";
    EXPECT_GT(shown->Text().lastBlock().layout()->lineCount(), 0) << "the pane's stays laid out";
    const editor::PagedLayout expected(*shown);
    const editor::PagedLayout layout(*printed);
    ASSERT_EQ(layout.PageCount(), expected.PageCount());
    constexpr double kDpi = 96;
    for (const int page : {0, 1, layout.PageCount() - 1}) {
        const int height = static_cast<int>(layout.PageOf(page).SheetHeight() * kDpi / 7200);
        QImage drawn(layout.SheetPixelWidth(kDpi), height, QImage::Format_RGB32);
        QImage reference(drawn.size(), QImage::Format_RGB32);
        layout.PaintBand(drawn, page, 0, kDpi);
        expected.PaintBand(reference, page, 0, kDpi);
        EXPECT_TRUE(drawn == reference) << "page " << page;
    }
}

// A page laid out only as far as it needs prints as the whole document's layout prints it,
// and so does every page before the last one laid out: no row a page shows is left out, nor
// any row of a merged cell it shows.
TEST_F(LongTables, PagesLaidOutOnlyAsFarAsNeededPrintAsInTheWholeDocument)
{
    struct Case {
        const char* what;
        int headerRows;
        int mergeFrom;   // rows [mergeFrom, mergeFrom + mergeRows) of the first column as one cell
        int mergeRows;
    };
    const Case cases[] = {
        {"repeated header rows", 1, 0, 0},
        {"a cell merged down over several pages, its text in the middle", 1, 100, 200},
    };
    constexpr int kRows = 400;
    constexpr double kDpi = 48;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto document =
            LongTable(kRows, c.headerRows, c.headerRows > 0, editor::PaneLayout::Off, [&c](hwp::Table& table) {
                if (c.mergeRows == 0)
                    return;
                hwp::MergeCells(table, static_cast<std::uint16_t>(c.mergeFrom), 0,
                                static_cast<std::uint16_t>(c.mergeRows), 1);
                for (hwp::TableCell& cell : table.cells) {
                    if (cell.row == c.mergeFrom && cell.column == 0) {
                        cell.paragraphs.resize(1);
                        cell.paragraphs.front().text = u"가운데";
                    }
                }
            });
        const editor::PagedLayout whole(*document);
        const int pages = whole.PageCount();
        ASSERT_GE(pages, 8);
        const auto same = [&whole](const editor::PagedLayout& part, int page) {
            QImage drawn(whole.SheetPixelWidth(page, kDpi), whole.SheetPixelHeight(page, kDpi), QImage::Format_RGB32);
            QImage reference(drawn.size(), QImage::Format_RGB32);
            part.PaintBand(drawn, page, 0, kDpi);
            whole.PaintBand(reference, page, 0, kDpi);
            return drawn == reference;
        };
        for (const int asked : {0, 1}) {
            const auto part = editor::PagedLayout::Through(*document, asked);
            const int laid = part->PageCount();
            EXPECT_GE(laid, asked + 2) << "page " << asked;
            if (asked == 0) {
                EXPECT_LT(laid, pages) << "laid out whole";
            }
            for (int page = 0; page + 1 < laid; ++page)
                EXPECT_TRUE(same(*part, page)) << "page " << page << " of those laid out for page " << asked;
        }
        const auto last = editor::PagedLayout::Through(*document, pages - 1);
        EXPECT_EQ(last->PageCount(), pages);
        EXPECT_TRUE(same(*last, pages - 1)) << "the last page";
        EXPECT_EQ(editor::PagedLayout::Through(*document, pages)->PageCount(), pages) << "past the end";
    }
}

// The repeated rows belong to the printed pages only: the file written from the document
// holds every row once.
TEST_F(LongTables, RepeatedHeaderRowsAreNotWrittenAgain)
{
    const auto document = LongTable(150, 1, true);
    const editor::PagedLayout layout(*document);
    ASSERT_GE(layout.PageCount(), 3);
    const hwp::Document written = editor::ToHwpDocument(*document);
    int tables = 0;
    hwp::Table table;
    for (const hwp::Paragraph& paragraph : written.sections[0].paragraphs) {
        for (const hwp::Control& control : paragraph.controls) {
            if (hwp::IsTable(control)) {
                table = hwp::ReadTable(control);
                ++tables;
            }
        }
    }
    ASSERT_EQ(tables, 1);
    EXPECT_EQ(table.rows, 150);
    EXPECT_TRUE(table.repeatHeaderRow);
    EXPECT_TRUE(hwp::IsHeaderCell(table.cells.front()));
    EXPECT_FALSE(hwp::IsHeaderCell(table.cells.back()));
}

} // namespace
