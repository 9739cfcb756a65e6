// A table longer than a page: it runs on over the pages, the heading row at the top of the
// first, every other row printed once, in its order, in page images and PDFs alike.
#include "tests/editor/editor_testing.h"

#include "document/hwp_mapping.h"
#include "hwp/border_fill.h"
#include "hwp/table.h"
#include "page/object_painters.h"
#include "page/page_render.h"
#include "page/text_items.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// `rows` rows of three ruled cells; the first row's cells say "머리", row r's "행r".
std::unique_ptr<editor::EditorDocument> LongTable(int rows)
{
    hwp::Document document = hwp::NewDocument();
    const std::uint16_t ruled = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 3, 0}));
    hwp::Table table = hwp::NewTable(static_cast<std::uint16_t>(rows), 3, 30000, ruled);
    table.pageBreak = hwp::TablePageBreak::Cell;
    for (hwp::TableCell& cell : table.cells) {
        cell.height = hwp::kNewTableRowHeight;
        const std::string label = std::to_string(cell.row);
        cell.paragraphs.front().text = cell.row == 0 ? u"머리" : u"행" + std::u16string(label.begin(), label.end());
    }
    hwp::FitTableSize(table);
    hwp::Paragraph& paragraph = document.sections[0].paragraphs.front();
    paragraph.controls.push_back(hwp::WriteTable(table, document));
    paragraph.controls.back().position = static_cast<std::uint32_t>(paragraph.text.size());
    paragraph.controls.back().end = paragraph.controls.back().position;
    return editor::ToEditorDocument(document);
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

} // namespace
