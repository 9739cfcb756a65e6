// Paragraph heads of a document the word processor wrote: counted as it counted them,
// never part of the text, and printed at the start of their paragraphs' lines.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "document/hwp_mapping.h"
#include "document/paragraph_heads.h"
#include "page/page_render.h"
#include "page/text_items.h"

#include <QPainter>
#include <QTextBlock>

#include <map>

namespace {

class ParagraphHeadsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor_testing::EnsureApplication();
        const std::string folder = hwp_testing::SamplesFolder();
        if (folder.empty())
            GTEST_SKIP() << "no HWP samples";
        m_path = folder + "/lists.hwp";
        m_document = editor::ReadHwpFile(m_path);
        ASSERT_TRUE(m_document);
    }

    // A block's text as printed: without object characters (a section's start).
    static QString Printed(const QTextBlock& block) { return block.text().remove(QChar::ObjectReplacementCharacter); }

    std::string m_path;
    std::unique_ptr<editor::EditorDocument> m_document;
};

// Each numbered paragraph of the sample says where it stands ("3-2-1": the first at the
// third level under the second under the third); its head is what that place prints.
struct Expected {
    const char* text;
    const char* head;
};
constexpr Expected kListsHeads[] = {
    // two bullet lists, the second in a symbol font's small bullet
    {"1", "●"}, {"2", "●"}, {"3", "●"}, {"1", "•"}, {"2", "•"}, {"3", "•"},
    // numbers 1. 가. 1), counting on after two plain paragraphs
    {"1", "1."}, {"2", "2."}, {"2-1", "가."}, {"3", "3."}, {"3-1", "가."}, {"3-2", "나."}, {"3-2-1", "1)"},
    {"3-2-2", "2)"}, {"3-2-3", "3)"}, {"4", "4."}, {"5", "5."}, {"5-1", "가."},
    // another numbering (I. A. 1.) starts at its own first number
    {"1", "I."}, {"2", "II."}, {"2-1", "A."}, {"3", "III."}, {"3-1", "A."}, {"3-2", "B."}, {"3-2-1", "1."},
    {"3-2-2", "2."}, {"3-2-3", "3."}, {"4", "IV."},
    // outline paragraphs in the section's numbering
    {"1", "1."}, {"2", "2."}, {"2-1", "가."}, {"3", "3."}, {"3-1", "가."}, {"3-2", "나."}, {"3-2-1", "1)"},
    {"3-2-2", "2)"}, {"3-2-3", "3)"}, {"4", "4."}, {"5", "5."}, {"5-1", "가."},
    // the second section outlines in chapters, sections and articles
    {"1", "제1장"}, {"2", "제2장"}, {"2-1", "제1절"}, {"3", "제3장"}, {"3-1", "제1절"}, {"3-2", "제2절"},
    {"3-2-1", "제1항"}, {"3-2-2", "제2항"}, {"3-2-3", "제3항"}, {"4", "제4장"},
};

TEST_F(ParagraphHeadsTest, EachHeadIsCountedAsTheWordProcessorDidAndStartsItsPrintedLine)
{
    const editor::PagedLayout layout(*m_document, editor::PageOutput::Vector);
    struct Item {
        double x;
        double right;
        QString text;
    };
    // Per page, per baseline: the text items a PDF would hold.
    std::vector<std::map<int, std::vector<Item>>> pages;
    for (int page = 0; page < layout.PageCount(); ++page) {
        std::map<int, std::vector<Item>> lines;
        editor::TextItemDevice device([&lines](const QPointF& at, const QTextItem& item) {
            lines[qRound(at.y() * 4)].push_back({at.x(), at.x() + item.width(), item.text()});
        });
        QPainter painter(&device);
        layout.PaintPage(painter, page);
        painter.end();
        pages.push_back(std::move(lines));
    }
    std::vector<QString> printed;
    std::vector<std::vector<Item>> printedItems;
    for (auto& lines : pages) {
        for (auto& [y, items] : lines) {
            std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.x < b.x; });
            QString line;
            for (const Item& item : items)
                line += item.text;
            printed.push_back(line.remove(QLatin1Char(' ')));
            printedItems.push_back(items);
        }
    }
    std::vector<QString> expected;
    std::vector<bool> headed;
    std::size_t next = 0;
    const editor::ParagraphHeads heads(m_document->Text(), m_document->OriginRef());
    for (QTextBlock block = m_document->Text().begin(); block.isValid(); block = block.next()) {
        const QString text = Printed(block).remove(QLatin1Char(' '));
        if (text.isEmpty())
            continue;
        headed.push_back(heads.Of(block) != nullptr);
        if (headed.back() && next < std::size(kListsHeads)) {
            EXPECT_EQ(text.toStdString(), kListsHeads[next].text);
        }
        expected.push_back(headed.back() ? QString::fromUtf8(kListsHeads[next++].head) + text : text);
    }
    ASSERT_EQ(next, std::size(kListsHeads));
    EXPECT_FALSE(m_document->Text().toPlainText().contains(QStringLiteral("제1장"))) << "a head is no text";
    ASSERT_EQ(printed.size(), expected.size());
    for (std::size_t i = 0; i < printed.size(); ++i) {
        EXPECT_EQ(printed[i].toStdString(), expected[i].toStdString()) << "line " << i;
        // The head stands apart from its text: by half the letters' size, as the sample's
        // definitions say.
        if (headed[i] && printedItems[i].size() >= 2) {
            EXPECT_GT(printedItems[i][1].x - printedItems[i][0].right, 3.0) << "line " << i;
        }
    }
}

} // namespace
