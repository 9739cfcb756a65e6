// Typing in a long table's cell: the pane's layout lays out only the cell's paragraph when
// its lines keep their number and heights, and every edit leaves the document laid out as
// the text engine lays out a fresh copy of it.
#include "tests/editor/editor_testing.h"

#include "document/cell_edit_layout.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kTextWidth = 500;

struct LineAt {
    int block = 0;
    int start = 0;
    QRectF rect;
};

// Every line of the document where it is drawn.
std::vector<LineAt> Lines(QTextDocument& text)
{
    QAbstractTextDocumentLayout* layout = text.documentLayout();
    layout->documentSize();
    std::vector<LineAt> lines;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        const QPointF origin = layout->blockBoundingRect(block).topLeft();
        for (int i = 0; i < block.layout()->lineCount(); ++i) {
            const QTextLine line = block.layout()->lineAt(i);
            lines.push_back({block.blockNumber(), line.textStart(), line.naturalTextRect().translated(origin)});
        }
    }
    return lines;
}

// Text being composed is the layout's, not the document's: a copy is given it apart.
using Composing = std::function<void(QTextDocument&)>;

// The same lines from a copy laid out afresh by the text engine alone.
void ExpectLaidOutAsAFreshCopy(QTextDocument& text, const std::string& step, const Composing& composing)
{
    std::unique_ptr<QTextDocument> copy(text.clone());
    copy->setTextWidth(kTextWidth);
    copy->setDefaultFont(text.defaultFont());
    if (composing)
        composing(*copy);
    const std::vector<LineAt> ours = Lines(text);
    const std::vector<LineAt> fresh = Lines(*copy);
    ASSERT_EQ(ours.size(), fresh.size()) << step;
    for (std::size_t i = 0; i < ours.size(); ++i) {
        EXPECT_EQ(ours[i].block, fresh[i].block) << step << ", line " << i;
        EXPECT_EQ(ours[i].start, fresh[i].start) << step << ", line " << i;
        EXPECT_NEAR(ours[i].rect.top(), fresh[i].rect.top(), 0.01) << step << ", line " << i;
        EXPECT_NEAR(ours[i].rect.left(), fresh[i].rect.left(), 0.01) << step << ", line " << i;
        EXPECT_NEAR(ours[i].rect.height(), fresh[i].rect.height(), 0.01) << step << ", line " << i;
        if (ours[i].block != fresh[i].block || std::abs(ours[i].rect.top() - fresh[i].rect.top()) > 0.01)
            return;
    }
}

class CellEditLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor_testing::EnsureApplication();
        editor::InstallCellEditLayout(m_text);
        m_text.setDefaultFont(QFont(QStringLiteral("NanumGothic"), 10));
        m_text.setTextWidth(kTextWidth);
        QTextCursor cursor(&m_text);
        cursor.insertText(QStringLiteral("표 위의 문단"));
        QTextTableFormat format;
        format.setColumnWidthConstraints({QTextLength(QTextLength::FixedLength, 120),
                                          QTextLength(QTextLength::FixedLength, 120),
                                          QTextLength(QTextLength::FixedLength, 120)});
        format.setCellPadding(3);
        // Tall enough that the engine keeps checkpoints of the flow below it.
        m_table = cursor.insertTable(kRows, 3, format);
        for (int r = 0; r < kRows; ++r)
            for (int c = 0; c < 3; ++c)
                m_table->cellAt(r, c).firstCursorPosition().insertText(QStringLiteral("칸 %1").arg(r * 3 + c));
        cursor.movePosition(QTextCursor::End);
        for (int i = 0; i < 40; ++i)
            cursor.insertText(QStringLiteral("\n표 아래 문단 %1: 봄이 오면 산과 들에 꽃이 핀다.").arg(i));
        QObject::connect(m_text.documentLayout(), &QAbstractTextDocumentLayout::update,
                         [this](const QRectF& rect) { m_repainted = rect; });
        Lines(m_text);
    }

    QTextCursor InCell(int row, int column) const { return m_table->cellAt(row, column).lastCursorPosition(); }

    QTextCursor Below(int paragraph)
    {
        QTextCursor cursor(m_text.findBlockByNumber(m_text.blockCount() - 40 + paragraph));
        cursor.movePosition(QTextCursor::EndOfBlock);
        return cursor;
    }

    static constexpr int kRows = 150;
    QTextDocument m_text;
    QTextTable* m_table = nullptr;
    QRectF m_repainted;
};

TEST_F(CellEditLayout, EveryEditLeavesTheLayoutOfAFreshCopy)
{
    const auto type = [](QTextCursor cursor, int letters) {
        for (int i = 0; i < letters; ++i)
            cursor.insertText(QStringLiteral("가"));
    };
    const auto erase = [](QTextCursor cursor, int letters) {
        for (int i = 0; i < letters; ++i)
            cursor.deletePreviousChar();
    };
    // As an input method's event does: within an edit, which lets the layout hear of it.
    const auto composeIn = [](QTextDocument& text, int number, const QString& composed) {
        const QTextBlock block = text.findBlockByNumber(number);
        QTextCursor edit(block);
        edit.beginEditBlock();
        block.layout()->setPreeditArea(block.length() - 1, composed);
        edit.endEditBlock();
    };
    const int composing = InCell(50, 1).block().blockNumber();
    const auto compose = [&](QTextDocument& text, const QString& composed) { composeIn(text, composing, composed); };
    const int emptied = InCell(60, 0).block().blockNumber();
    struct Step {
        std::string name;
        std::function<void()> edit;
        Composing composing = nullptr;
    };
    // In order: each begins from what the steps before it left.
    const std::vector<Step> steps = {
        {"letters that fit the cell's line", [&] { type(InCell(75, 1), 3); }},
        {"letters that wrap the cell's line and grow the row", [&] { type(InCell(75, 1), 12); }},
        {"letters in a cell below", [&] { type(InCell(140, 2), 2); }},
        {"a paragraph below the table after the cells' edits", [&] { type(Below(30), 2); }},
        {"letters taken back in a cell", [&] { erase(InCell(140, 2), 4); }},
        {"a paragraph below the table after the letters taken back", [&] { type(Below(2), 1); }},
        {"the cell's paragraph aligned right",
         [&] {
             QTextBlockFormat right;
             right.setAlignment(Qt::AlignRight);
             InCell(10, 0).mergeBlockFormat(right);
         }},
        {"letters in the right-aligned paragraph", [&] { type(InCell(10, 0), 2); }},
        {"a letter made bold",
         [&] {
             QTextCursor cursor = InCell(20, 1);
             cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor);
             QTextCharFormat bold;
             bold.setFontWeight(QFont::Bold);
             cursor.mergeCharFormat(bold);
         }},
        {"the next cell's padding",
         [&] {
             QTextTableCellFormat padded = m_table->cellAt(20, 2).format().toTableCellFormat();
             padded.setTopPadding(30);
             m_table->cellAt(20, 2).setFormat(padded);
         }},
        {"text being composed in a cell", [&] { compose(m_text, QStringLiteral("가나")); },
         [&](QTextDocument& copy) { compose(copy, QStringLiteral("가나")); }},
        {"text composed no more", [&] { compose(m_text, QString()); }},
        {"a cell emptied",
         [&] {
             QTextCursor cell = InCell(60, 0);
             cell.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
             cell.removeSelectedText();
         }},
        {"text being composed in the empty cell", [&] { composeIn(m_text, emptied, QStringLiteral("가")); },
         [&](QTextDocument& copy) { composeIn(copy, emptied, QStringLiteral("가")); }},
        {"the next cell's padding while composing",
         [&] {
             QTextTableCellFormat padded = m_table->cellAt(60, 1).format().toTableCellFormat();
             padded.setTopPadding(20);
             m_table->cellAt(60, 1).setFormat(padded);
         },
         [&](QTextDocument& copy) { composeIn(copy, emptied, QStringLiteral("가")); }},
        {"the empty cell composed no more", [&] { composeIn(m_text, emptied, QString()); }},
        {"a new paragraph in a cell", [&] { InCell(30, 2).insertText(QStringLiteral("\n둘째")); }},
        {"letters in that new paragraph", [&] { type(InCell(30, 2), 2); }},
        {"a paragraph above the table", [&] { type(QTextCursor(m_text.begin()), 2); }},
    };
    for (const Step& step : steps) {
        step.edit();
        ExpectLaidOutAsAFreshCopy(m_text, step.name, step.composing);
    }
}

// A letter that keeps the cell's lines repaints the cell's paragraph, not the table.
TEST_F(CellEditLayout, ALetterWithinTheLineRepaintsOnlyItsParagraph)
{
    const QRectF cell = m_text.documentLayout()->blockBoundingRect(InCell(75, 1).block());
    InCell(75, 1).insertText(QStringLiteral("가"));
    EXPECT_LE(m_repainted.height(), cell.height() + 0.01);
    EXPECT_NEAR(m_repainted.top(), cell.top(), 0.01);
    // So does a syllable being composed there.
    m_repainted = QRectF();
    QTextCursor composing = InCell(75, 1);
    composing.beginEditBlock();
    composing.block().layout()->setPreeditArea(composing.positionInBlock(), QStringLiteral("각"));
    composing.endEditBlock();
    EXPECT_LE(m_repainted.height(), cell.height() + 0.01);
    EXPECT_NEAR(m_repainted.top(), cell.top(), 0.01);
    composing.beginEditBlock();
    composing.block().layout()->setPreeditArea(-1, QString());
    composing.endEditBlock();
    // And one composed in an empty cell, where the caret rests.
    QTextCursor empty = InCell(90, 0);
    empty.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
    empty.removeSelectedText();
    editor::KeepLinesOfCaretParagraph(empty.block());
    m_repainted = QRectF();
    empty.beginEditBlock();
    empty.block().layout()->setPreeditArea(0, QStringLiteral("가"));
    empty.endEditBlock();
    EXPECT_LT(m_repainted.height(), cell.height() * 2);
    // A letter that wraps the line grows the row: the engine lays the table out again.
    for (int i = 0; i < 12; ++i)
        InCell(75, 1).insertText(QStringLiteral("가"));
    EXPECT_GT(m_repainted.height(), cell.height() * 2);
}

} // namespace
