// Paragraph heads in the pane: numbers follow the teacher's edits and undo, stay out of
// the text and the saved file's text, and are drawn where the printed page draws them.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "document/paragraph_heads.h"
#include "hwp/reader.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

using editor_testing::PaneTest;

namespace {

class PaneHeads : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        const std::string folder = hwp_testing::SamplesFolder();
        if (folder.empty())
            GTEST_SKIP() << "no HWP samples";
        m_path = folder + "/lists.hwp";
        ASSERT_TRUE(m_pane->OpenDocument(editor_testing::U16(QString::fromStdString(m_path)), u"HWP"));
    }

    QTextDocument& Text() { return m_pane->Document().Text(); }

    // The block of the `nth` paragraph whose text is `text`.
    QTextBlock Block(const QString& text, int nth = 0)
    {
        for (QTextBlock block = Text().begin(); block.isValid(); block = block.next()) {
            if (block.text() == text && nth-- == 0)
                return block;
        }
        return {};
    }

    QString HeadOf(const QTextBlock& block)
    {
        QApplication::processEvents();
        const editor::ParagraphHeads* heads = editor::KeptParagraphHeads(Text());
        const editor::ParagraphHead* head = heads != nullptr ? heads->Of(block) : nullptr;
        return head != nullptr ? head->text : QString();
    }

    std::string m_path;
};

TEST_F(PaneHeads, NumbersFollowEditsAndUndoAndAreNeverText)
{
    // The first numbered list: 1. 2. 가. 3. ...
    QTextEdit* view = m_pane->TextView();
    QTextCursor at(Block(QStringLiteral("2"), 2));
    at.movePosition(QTextCursor::EndOfBlock);
    view->setTextCursor(at);
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClicks(view, QStringLiteral("new"));
    EXPECT_EQ(HeadOf(Block(QStringLiteral("new"))).toStdString(), "3.") << "Enter goes on numbering";
    EXPECT_EQ(HeadOf(Block(QStringLiteral("2-1"))).toStdString(), "가.");
    EXPECT_EQ(HeadOf(Block(QStringLiteral("3"), 2)).toStdString(), "4.") << "the paragraphs after count on";
    EXPECT_EQ(HeadOf(Block(QStringLiteral("5"))).toStdString(), "6.");
    EXPECT_EQ(Block(QStringLiteral("new")).blockFormat().doubleProperty(editor::kHeadMarginProperty),
              Block(QStringLiteral("2"), 2).blockFormat().doubleProperty(editor::kHeadMarginProperty))
        << "its room as its neighbour's";

    const int blocks = Text().blockCount();
    while (Text().blockCount() == blocks && Text().isUndoAvailable())
        view->undo();
    EXPECT_EQ(HeadOf(Block(QStringLiteral("3"), 2)).toStdString(), "3.");
    EXPECT_EQ(HeadOf(Block(QStringLiteral("5"))).toStdString(), "5.");
    ASSERT_TRUE(Text().isRedoAvailable()) << "counting again costs no redo";
    while (Text().isRedoAvailable())
        view->redo();
    EXPECT_EQ(HeadOf(Block(QStringLiteral("new"))).toStdString(), "3.");

    // The file keeps heads where it had them: in the para shapes and numberings, as read.
    ASSERT_TRUE(m_pane->SaveDocumentAs(PathU16("edited.hwp"), u"HWP"));
    const hwp::Document original = hwp::ReadDocument(m_path);
    const hwp::Document saved = hwp::ReadDocument(PathOf("edited.hwp"));
    EXPECT_EQ(saved.numberings, original.numberings);
    EXPECT_EQ(saved.bullets, original.bullets);
    EXPECT_EQ(saved.sections.at(1).sectionDef, original.sections.at(1).sectionDef) << "with its outline numbering";
    for (std::size_t s = 0; s < saved.sections.size(); ++s) {
        auto paragraphs = saved.sections[s].paragraphs;
        if (s == 0)   // "new" came after the first list's "2" and numbers as it does
            paragraphs.erase(paragraphs.begin() + 13);
        const auto& was = original.sections.at(s).paragraphs;
        ASSERT_EQ(paragraphs.size(), was.size());
        for (std::size_t p = 0; p < paragraphs.size(); ++p) {
            EXPECT_EQ(paragraphs[p].text, was[p].text) << "no head in the text";
            EXPECT_EQ(saved.paraShapes.at(paragraphs[p].paraShapeId), original.paraShapes.at(was[p].paraShapeId))
                << "section " << s << " paragraph " << p;
        }
    }
    EXPECT_EQ(saved.sections[0].paragraphs.at(13).text, u"new");
    EXPECT_EQ(saved.paraShapes.at(saved.sections[0].paragraphs[13].paraShapeId),
              original.paraShapes.at(original.sections[0].paragraphs[12].paraShapeId));
}

TEST_F(PaneHeads, ParagraphsInsertedFromAFileKeepTheirHeadsOnScreenAndInTheSavedFile)
{
    // As the print document is put together: parts inserted into a document of its own.
    editor::CHwpctrl work;
    ASSERT_TRUE(work.OpenDocument(WriteTemplate("sf_preview_format.hwp"), u"HWP"));
    ASSERT_TRUE(work.InsertHwpFile(QString::fromStdString(m_path), true, true));
    QApplication::processEvents();
    const editor::ParagraphHeads* heads = editor::KeptParagraphHeads(work.Document().Text());
    ASSERT_NE(heads, nullptr);
    QStringList shown;
    for (QTextBlock block = work.Document().Text().begin(); block.isValid(); block = block.next()) {
        if (const editor::ParagraphHead* head = heads->Of(block))
            shown << head->text;
    }
    ASSERT_EQ(shown.size(), 50);
    EXPECT_EQ(shown.at(18).toStdString(), "I.");
    EXPECT_EQ(shown.last().toStdString(), "제4장");

    ASSERT_TRUE(work.SaveDocumentAs(PathU16("assembled.hwp"), u"HWP"));
    // The numbering of each numbered paragraph, in order.
    const auto numberings = [](const hwp::Document& document) {
        std::vector<hwp::RawRecord> out;
        for (const hwp::Section& section : document.sections) {
            for (const hwp::Paragraph& paragraph : section.paragraphs) {
                const hwp::ParaShape& shape = document.paraShapes.at(paragraph.paraShapeId);
                if (shape.headKind == hwp::HeadKind::Number)
                    out.push_back(document.numberings.at(shape.numberingId - 1u));
            }
        }
        return out;
    };
    EXPECT_EQ(numberings(hwp::ReadDocument(PathOf("assembled.hwp"))), numberings(hwp::ReadDocument(m_path)));
}

TEST_F(PaneHeads, ThePaneDrawsEachHeadInTheRoomBeforeItsText)
{
    m_pane->resize(700, 900);
    m_pane->show();
    QApplication::processEvents();
    QTextEdit* view = m_pane->TextView();
    const QImage shown = view->viewport()->grab().toImage();
    const QAbstractTextDocumentLayout* layout = Text().documentLayout();
    const QPointF scrolled(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    // Ink left of the first line's text, within the room its block keeps.
    const auto inkBefore = [&](const QTextBlock& block) {
        const QTextLine line = block.layout()->lineAt(0);
        const QPointF origin = layout->blockBoundingRect(block).topLeft() - scrolled;
        const double textX = origin.x() + line.cursorToX(0);
        const QRect room = QRectF(textX - 24, origin.y() + line.y(), 20, line.height()).toRect() & shown.rect();
        int ink = 0;
        for (int y = room.top(); y <= room.bottom(); ++y) {
            for (int x = room.left(); x <= room.right(); ++x)
                ink += qGray(shown.pixel(x, y)) < 128;
        }
        return ink;
    };
    const QTextBlock numbered = Block(QStringLiteral("1"));   // the first bullet
    ASSERT_TRUE(numbered.isValid());
    // Bullets line their later lines up after the head: the room is the margin's.
    EXPECT_GT(numbered.blockFormat().doubleProperty(editor::kHeadMarginProperty), 5.0);
    EXPECT_GT(inkBefore(numbered), 10) << "the bullet is drawn";
    EXPECT_EQ(inkBefore(Text().begin()), 0) << "a paragraph without a head has none";
}

} // namespace
