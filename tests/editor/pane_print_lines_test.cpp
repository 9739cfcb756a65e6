// The pane shows what prints: lines spaced and broken as on the printed page, marks where
// the pages end, and a file's percent spacing written back as read whatever the pane does
// to show it.
#include "tests/editor/editor_testing.h"

#include "document/hwp_mapping.h"
#include "document/line_spacing.h"
#include "document/stored_lines.h"
#include "editor/page_ends.h"
#include "hwp/reader.h"
#include "page/page_render.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

#include <cmath>

using editor_testing::PaneTest;

namespace {

// Ninety paragraphs of one to four lines: 10-point text at 160 %, every seventh at
// 15 points, every eleventh at 250 %; short ones carry the line the file stored for them.
hwp::Document ManyLines()
{
    hwp::Document document = hwp::NewDocument();
    hwp::CharShape large = document.charShapes.front();
    large.size = 1500;
    document.charShapes.push_back(large);
    hwp::ParaShape wide = document.paraShapes.front();
    wide.lineSpacing = 250;
    document.paraShapes.push_back(wide);
    std::vector<hwp::Paragraph>& paragraphs = document.sections[0].paragraphs;
    const hwp::Paragraph model = paragraphs.front();
    paragraphs.clear();
    const std::u16string sentence = u"봄이 오면 산과 들에 꽃이 핀다. Spring comes to the hills. ";
    for (int i = 0; i < 90; ++i) {
        hwp::Paragraph paragraph = model;
        for (int k = 0; k <= i % 7; ++k)
            paragraph.text += sentence;
        paragraph.charShapes = {{0, i % 7 == 3 ? 1u : 0u}};
        paragraph.paraShapeId = i % 11 == 5 ? 1 : 0;
        if (i % 7 == 0) {
            hwp::LineSegment line;
            line.height = line.textHeight = 1000;
            line.baseline = 850;
            line.width = 42520;
            line.flags = 0x00060000;
            paragraph.lineLayout.segments = {line};
        }
        paragraphs.push_back(std::move(paragraph));
    }
    return document;
}

class PanePrintLines : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        m_pane->resize(900, 700);
        m_pane->show();
        m_pane->ShowDocument(editor::ToEditorDocument(ManyLines()));
        m_pane->SetZoom(100);
        QApplication::processEvents();
    }

    QTextDocument& Text() { return m_pane->Document().Text(); }

    // Where a line of the pane starts, from the top of the text (layout pixels).
    double Top(const QTextBlock& block, int line)
    {
        return Text().documentLayout()->blockBoundingRect(block).top() + block.layout()->lineAt(line).y();
    }
};

// Zoomed, the pane still breaks every line where print does: the text engine takes font
// sizes in whole pixels of the zoomed device, so letters do not grow by exactly the zoom;
// the pane's formats make up for it.
TEST_F(PanePrintLines, TheLinesStayThePrintedOnesAtAnyZoom)
{
    const editor::LaidOutLines laid = editor::PagedLayout(m_pane->Document()).LaidLines();
    for (const int zoom : {91, 93, 137, 250}) {
        SCOPED_TRACE("zoom " + std::to_string(zoom));
        m_pane->SetZoom(zoom);
        QApplication::processEvents();
        Text().documentLayout()->documentSize();
        int differing = 0;
        for (QTextBlock block = Text().begin(); block.isValid(); block = block.next()) {
            const auto found = laid.find(block.blockNumber());
            ASSERT_NE(found, laid.end());
            std::vector<int> printed, shown;
            for (const hwp::LineSegment& line : found->second)
                printed.push_back(static_cast<int>(line.textStart));
            for (int i = 0; i < block.layout()->lineCount(); ++i)
                shown.push_back(block.layout()->lineAt(i).textStart());
            differing += printed == shown ? 0 : 1;
        }
        EXPECT_EQ(differing, 0) << "paragraphs broken otherwise than in print";
    }
    m_pane->SetZoom(100);
}

TEST_F(PanePrintLines, LinesAreThePrintedLinesAndPagesEndWhereMarked)
{
    m_pane->resize(1000, 640);
    QApplication::processEvents();
    ASSERT_EQ(m_pane->TextView()->document()->textWidth(),
              editor::HwpUnitsToLayout(m_pane->Document().Page().BodyWidth()))
        << "the pane wraps at the body's width, not a whole pixel less, also after a resize";
    const editor::PagedLayout print(m_pane->Document());
    const editor::LaidOutLines laid = print.LaidLines();
    const double bodyHeight = editor::HwpUnitsToLayout(m_pane->Document().Page().BodyHeight());
    ASSERT_GE(print.PageCount(), 3);

    bool firstPage = true;
    for (QTextBlock block = Text().begin(); block.isValid(); block = block.next()) {
        const auto found = laid.find(block.blockNumber());
        ASSERT_NE(found, laid.end());
        const std::vector<hwp::LineSegment>& printed = found->second;
        ASSERT_EQ(static_cast<int>(printed.size()), block.layout()->lineCount()) << "block " << block.blockNumber();
        for (std::size_t i = 0; i < printed.size(); ++i) {
            const int line = static_cast<int>(i);
            EXPECT_EQ(block.layout()->lineAt(line).textStart(), static_cast<int>(printed[i].textStart))
                << "block " << block.blockNumber() << " line " << i;
            firstPage = firstPage && (block.blockNumber() == 0 || (printed[i].flags & 0x1u) == 0);
            // On the first page the tops count from the same place; later, within a paragraph.
            const double top = editor::HwpUnitsToLayout(printed[i].top);
            const double from = editor::HwpUnitsToLayout(printed.front().top);
            if (firstPage) {
                EXPECT_NEAR(Top(block, line), top, 1.0) << "block " << block.blockNumber() << " line " << i;
            } else if (top >= from && top + block.layout()->lineAt(line).height() <= bodyHeight) {
                EXPECT_NEAR(Top(block, line) - Top(block, 0), top - from, 1.0)
                    << "block " << block.blockNumber() << " line " << i;
            }
        }
    }

    editor::PageEnds& ends = m_pane->PageEndMarks();
    ends.Refresh();
    const std::vector<editor::PageEnd>& marks = ends.Marks();
    ASSERT_EQ(static_cast<int>(marks.size()), print.PageCount() - 1);
    double pageTop = 0;
    for (const editor::PageEnd& mark : marks) {
        EXPECT_TRUE(mark.sheet);
        const QTextBlock block = Text().findBlockByNumber(mark.block);
        const QTextLine line = block.layout()->lineForTextPosition(mark.position);
        ASSERT_TRUE(line.isValid());
        ASSERT_EQ(line.textStart(), mark.position) << "a mark stands at the start of a line";
        const double top = Top(block, line.lineNumber());
        // A page holds a body's height of the pane's lines: the mark is not a paragraph
        // off. (The text engine moves a line that does not fit to the next page, and a
        // little room is lost at the page's end.)
        EXPECT_LE(top - pageTop, bodyHeight + line.height() + 1.0) << "block " << mark.block;
        EXPECT_GT(top - pageTop, bodyHeight * 0.94) << "block " << mark.block;
        pageTop = top;
    }

    // The mark is drawn across the text at its line, in the pane's own picture.
    const editor::PageEnd& mark = marks.front();
    const QTextBlock block = Text().findBlockByNumber(mark.block);
    QTextCursor at(block);
    at.setPosition(block.position() + mark.position);
    m_pane->TextView()->setTextCursor(at);
    m_pane->TextView()->ensureCursorVisible();
    QApplication::processEvents();
    const QImage shot = m_pane->TextView()->viewport()->grab().toImage();
    const int y = static_cast<int>(std::floor(m_pane->TextView()->cursorRect(at).top() - 0.5));
    int marked = 0;
    for (int x = 0; x < shot.width(); ++x) {
        for (int dy = -1; dy <= 1; ++dy) {
            const QColor pixel = shot.pixelColor(x, std::clamp(y + dy, 0, shot.height() - 1));
            marked += pixel.blue() > pixel.red() + 40 ? 1 : 0;
        }
    }
    EXPECT_GT(marked, shot.width() / 4) << "a blue line at y " << y;
}

// A letter typed into a paragraph spaced by char size, of the size it has or larger:
// the spacing follows within the letter's own undo step, undo takes both back, and the
// saved file keeps the para shape's percent and the stored lines of what was not changed.
TEST_F(PanePrintLines, SpacingFollowsTypingWithoutAnUndoStepOrAChangeOfTheSavedPercent)
{
    struct Case {
        const char* name;
        double points;   // of the letter typed; 0: as the text around it
    };
    for (const Case& c : {Case{"same size", 0}, Case{"larger", 24}}) {
        SCOPED_TRACE(c.name);
        m_pane->ShowDocument(editor::ToEditorDocument(ManyLines()));
        QApplication::processEvents();
        QImage device(1, 1, QImage::Format_RGB32);
        device.setDotsPerMeterX(3780);
        device.setDotsPerMeterY(3780);
        const QTextBlock block = Text().findBlockByNumber(2);
        const double before = block.blockFormat().lineHeight();
        ASSERT_NE(before, editor::ProportionalHeightOf(160)) << "spaced by char size on opening";
        EXPECT_EQ(editor::CharSizeLineHeight(block, device), before);
        ASSERT_NE(editor::StoredLinesOf(Text().findBlockByNumber(7)), nullptr) << "still as read";

        const int steps = Text().availableUndoSteps();
        QTextCursor at(block);
        at.movePosition(QTextCursor::EndOfBlock);
        m_pane->TextView()->setTextCursor(at);
        if (c.points > 0) {
            QTextCharFormat larger;
            larger.setFontPointSize(c.points);
            m_pane->TextView()->mergeCurrentCharFormat(larger);
        }
        const QString was = block.text();
        QTest::keyClicks(m_pane->TextView(), QStringLiteral("ab"));
        QApplication::processEvents();
        const QTextBlock typed = Text().findBlockByNumber(2);
        EXPECT_EQ(typed.blockFormat().lineHeight(), editor::CharSizeLineHeight(typed, device));
        if (c.points > 0) {
            EXPECT_LT(typed.blockFormat().lineHeight(), before) << "a larger letter, a smaller engine percent";
        }

        ASSERT_TRUE(m_pane->SaveDocumentAs(PathU16("typed.hwp"), u"HWP"));
        const hwp::Document saved = hwp::ReadDocument(PathOf("typed.hwp"));
        const std::vector<hwp::Paragraph>& paragraphs = saved.sections.at(0).paragraphs;
        ASSERT_EQ(paragraphs.size(), 90u);
        for (std::size_t p = 0; p < paragraphs.size(); ++p) {
            const hwp::ParaShape& shape = saved.paraShapes.at(paragraphs[p].paraShapeId);
            EXPECT_EQ(shape.lineSpacingKind, hwp::LineSpacingKind::Percent);
            EXPECT_EQ(shape.lineSpacing, p % 11 == 5 ? 250 : 160) << "paragraph " << p;
        }
        EXPECT_EQ(paragraphs[7].lineLayout.segments, ManyLines().sections[0].paragraphs[7].lineLayout.segments)
            << "an unchanged paragraph keeps its stored line";

        m_pane->TextView()->undo();
        QApplication::processEvents();
        EXPECT_EQ(Text().findBlockByNumber(2).text(), was) << "the word is one step";
        EXPECT_EQ(Text().availableUndoSteps(), steps) << "no step left behind";
        EXPECT_EQ(Text().findBlockByNumber(2).blockFormat().lineHeight(), before);
    }
}

} // namespace
