// Rows of a table at the heights the file gives them: in the pane at any zoom, in the
// page images, and back in the file, growing where the text needs more.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "document/hwp_mapping.h"
#include "page/page_render.h"
#include "document/table_mapping.h"
#include "document/table_rows.h"
#include "editor/table_tools.h"
#include "hwp/border_fill.h"
#include "hwp/table.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextFrame>
#include <QTextTable>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr hwp::HwpUnit kShortRow = 1282;
constexpr hwp::HwpUnit kTallRow = 14173;   // 5 cm

// 3 x 3 ruled cells; the middle row 5 cm tall. Cells at the top of their rows but (1, 1),
// in the middle, and (1, 2), at the bottom.
hwp::Document TallRowDocument()
{
    hwp::Document document = hwp_testing::DocumentWithTexts({u"본문"});
    const std::uint16_t ruled = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 3, 0}));
    hwp::Table table = hwp::NewTable(3, 3, 30000, ruled);
    for (hwp::TableCell& cell : table.cells) {
        cell.height = cell.row == 1 ? kTallRow : kShortRow;
        cell.verticalAlign = hwp::CellVerticalAlign::Top;
        cell.paragraphs.front().text = cell.row == 1 ? u"답" : u"칸";
    }
    table.cells[4].verticalAlign = hwp::CellVerticalAlign::Center;
    table.cells[5].verticalAlign = hwp::CellVerticalAlign::Bottom;
    hwp::FitTableSize(table);
    document.sections[0].paragraphs[0].controls.push_back(hwp::WriteTable(table, document));
    document.sections[0].paragraphs[0].controls.back().position = 2;
    document.sections[0].paragraphs[0].controls.back().end = 2;
    return document;
}

QTextTable* FirstTable(QTextDocument& text)
{
    for (QTextFrame* frame : text.rootFrame()->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(frame))
            return table;
    }
    return nullptr;
}

double Scale(QTextDocument& text)
{
    return text.documentLayout()->paintDevice() ? text.documentLayout()->paintDevice()->logicalDpiY() / editor::kLayoutDpi
                                                : 1.0;
}

// The top of a cell's first line, in layout pixels.
double TextTop(QTextDocument& text, QTextTable& table, int row, int column)
{
    const QTextBlock block = table.cellAt(row, column).firstCursorPosition().block();
    return text.documentLayout()->blockBoundingRect(block).top() / Scale(text);
}

double TextBottom(QTextDocument& text, QTextTable& table, int row, int column)
{
    const QTextBlock block = table.cellAt(row, column).lastCursorPosition().block();
    return text.documentLayout()->blockBoundingRect(block).bottom() / Scale(text);
}

// Rows of the image holding a dark run at least `length` long, neighbours joined (the
// last row of each line).
std::vector<int> RulingRows(const QImage& image, int length)
{
    std::vector<int> lines;
    for (int y = 0; y < image.height(); ++y) {
        const auto* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        int run = 0, longest = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = qGray(pixels[x]) < 80 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        if (longest < length)
            continue;
        if (!lines.empty() && y <= lines.back() + 3)
            lines.back() = y;
        else
            lines.push_back(y);
    }
    return lines;
}

hwp::Table SavedTable(const editor::EditorDocument& document)
{
    const hwp::Document saved = editor::ToHwpDocument(document);
    for (const hwp::Paragraph& paragraph : saved.sections[0].paragraphs) {
        for (const hwp::Control& control : paragraph.controls) {
            if (hwp::IsTable(control))
                return hwp::ReadTable(control);
        }
    }
    ADD_FAILURE() << "no table saved";
    return {};
}

class TableRows : public editor_testing::PaneTest {
protected:
    void ShowTallRow()
    {
        m_pane->ShowDocument(editor::ToEditorDocument(TallRowDocument()));
        m_table = FirstTable(m_pane->Document().Text());
        ASSERT_TRUE(m_table);
    }

    QTextDocument& Text() { return m_pane->Document().Text(); }
    double RowPitch(int row) { return TextTop(Text(), *m_table, row + 1, 0) - TextTop(Text(), *m_table, row, 0); }

    QTextTable* m_table = nullptr;
};

TEST_F(TableRows, ARowIsAsTallAsTheFileSaysAtEveryZoomWithItsCellsAligned)
{
    ShowTallRow();
    const double tall = editor::HwpUnitsToLayout(kTallRow);
    for (const int zoom : {100, 250, 60}) {
        SCOPED_TRACE(zoom);
        m_pane->SetZoom(zoom);
        // A whole device pixel of rounding at the zoom.
        const double slack = 1.0 + 100.0 / zoom;
        EXPECT_NEAR(RowPitch(1), tall, slack);
        EXPECT_GE(RowPitch(0), editor::HwpUnitsToLayout(kShortRow) - slack);
        EXPECT_LT(RowPitch(0), tall / 3);
        // The three cells' equal lines at the top, halfway down and at the foot of the row.
        const double atTop = TextTop(Text(), *m_table, 1, 0);
        const double middle = TextTop(Text(), *m_table, 1, 1) - atTop;
        const double bottom = TextTop(Text(), *m_table, 1, 2) - atTop;
        EXPECT_NEAR(middle, bottom / 2, slack);
        // What the line takes: between its glyphs' box and twice that.
        const double line = tall - 2 * editor::HwpUnitsToLayout(141) - bottom;
        const double box = TextBottom(Text(), *m_table, 1, 0) - atTop;
        EXPECT_GE(line, box - slack);
        EXPECT_LE(line, 2 * box);
    }
}

TEST_F(TableRows, APageImageDrawsTheRulingsWhereTheHeightsSay)
{
    const std::unique_ptr<editor::EditorDocument> document = editor::ToEditorDocument(TallRowDocument());
    const editor::PagedLayout layout(*document);
    constexpr double dpi = 600;
    const double body = document->Page().BodyTop() * dpi / 7200.0;
    // A band from the body's top: the page whole would be 140 MB at this dpi.
    QImage band(layout.SheetPixelWidth(dpi), static_cast<int>(dpi * 3), QImage::Format_RGB32);
    const int top = static_cast<int>(body) - 20;
    layout.PaintBand(band, 0, top, dpi);
    if (const char* folder = std::getenv("VARNEL_PAGE_IMAGES"))
        band.save(QString::fromUtf8(folder) + "/TallRow600.png");
    const std::vector<int> rows = RulingRows(band, static_cast<int>(dpi * 2 / 2.54));
    ASSERT_EQ(rows.size(), 4u) << ::testing::PrintToString(rows);
    // The tall row to a few pixels (the lines' width); the short ones at least the file's.
    const double tall = kTallRow * dpi / 7200.0;
    EXPECT_NEAR(rows[2] - rows[1], tall, 6) << ::testing::PrintToString(rows);
    EXPECT_GE(rows[1] - rows[0], kShortRow * dpi / 7200.0 - 6);
    EXPECT_LT(rows[1] - rows[0], tall / 3);
    EXPECT_NEAR(rows[3] - rows[2], rows[1] - rows[0], 2);
}

TEST_F(TableRows, TheExtraIsNotWrittenAndAnUntouchedTableKeepsItsHeights)
{
    ShowTallRow();
    const hwp::Table saved = SavedTable(m_pane->Document());
    const hwp::Table read = hwp::ReadTable(TallRowDocument().sections[0].paragraphs[0].controls.back());
    ASSERT_EQ(saved.cells.size(), read.cells.size());
    for (std::size_t i = 0; i < saved.cells.size(); ++i) {
        EXPECT_EQ(saved.cells[i].margins, read.cells[i].margins) << i;
        EXPECT_EQ(saved.cells[i].height, read.cells[i].height) << i;
    }
    EXPECT_EQ(saved.object.height, read.object.height);
}

TEST_F(TableRows, TextBeyondTheRowGrowsItInThePaneAndInTheFile)
{
    ShowTallRow();
    const double tall = editor::HwpUnitsToLayout(kTallRow);
    // A few lines fit in 5 cm: the row stays.
    QTextCursor cursor = m_table->cellAt(1, 2).lastCursorPosition();
    cursor.insertText(QStringLiteral("\n둘\n셋"));
    QApplication::processEvents();
    EXPECT_NEAR(RowPitch(1), tall, 2);
    EXPECT_EQ(SavedTable(m_pane->Document()).cells[5].height, kTallRow);
    // Twenty do not.
    for (int i = 0; i < 20; ++i)
        cursor.insertText(QStringLiteral("\n줄"));
    QApplication::processEvents();
    EXPECT_GT(RowPitch(1), tall + 50);
    const hwp::Table saved = SavedTable(m_pane->Document());
    EXPECT_GT(saved.cells[5].height, kTallRow + 3000);
    EXPECT_EQ(saved.cells[3].height, saved.cells[5].height) << "the row grows as one";
    EXPECT_EQ(saved.cells[0].height, kShortRow);
    EXPECT_EQ(saved.cells[5].margins, (std::array<std::int16_t, 4>{141, 141, 141, 141}));
    EXPECT_EQ(saved.object.height, saved.cells[0].height + saved.cells[3].height + saved.cells[6].height);
}

TEST_F(TableRows, UndoTakesTheTextAndItsExtraHeightInOneStep)
{
    ShowTallRow();
    const double tall = editor::HwpUnitsToLayout(kTallRow);
    EXPECT_FALSE(Text().isUndoAvailable()) << "fitting the rows of an opened file is no step";
    EXPECT_FALSE(Text().isModified());
    QTextCursor cursor = m_table->cellAt(1, 0).lastCursorPosition();
    cursor.beginEditBlock();
    for (int i = 0; i < 30; ++i)
        cursor.insertText(QStringLiteral("\n줄"));
    cursor.endEditBlock();
    QApplication::processEvents();
    EXPECT_GT(RowPitch(1), tall + 50);
    Text().undo();
    QApplication::processEvents();
    EXPECT_EQ(m_table->cellAt(1, 0).lastCursorPosition().block().text(), QStringLiteral("답"));
    EXPECT_NEAR(RowPitch(1), tall, 2);
    EXPECT_FALSE(Text().isUndoAvailable()) << "the text and its row's height were one step";
    EXPECT_TRUE(Text().isRedoAvailable());
    Text().redo();
    QApplication::processEvents();
    EXPECT_GT(RowPitch(1), tall + 50);
    EXPECT_FALSE(Text().isRedoAvailable());
}

TEST_F(TableRows, AWordTypedIntoATallRowIsOneUndoStepThoughItsLinesChangeTheRow)
{
    ShowTallRow();
    m_pane->TextView()->setTextCursor(m_table->cellAt(1, 0).lastCursorPosition());
    const QString word = QStringLiteral("가나다라마바사아자차카타파하가나다라마바사아자차카타파하");
    for (const QChar letter : word) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(letter));
        QApplication::sendEvent(m_pane->TextView(), &key);
        QApplication::processEvents();
    }
    const QTextBlock cell = m_table->cellAt(1, 0).lastCursorPosition().block();
    ASSERT_EQ(cell.text(), QStringLiteral("답") + word);
    ASSERT_GT(cell.layout()->lineCount(), 2) << "the word wraps, so the cell's text height changes as it is typed";
    Text().undo();
    EXPECT_EQ(m_table->cellAt(1, 0).lastCursorPosition().block().text(), QStringLiteral("답"));
}

TEST_F(TableRows, NewTablesAreWrittenAsTallAsTheirText)
{
    Type(*m_pane, u"문제");
    QTextTable* box = editor::InsertBoxTable(*m_pane);
    ASSERT_TRUE(box);
    Type(*m_pane, u"ㄱ. 하나");
    m_pane->TextView()->textCursor().insertText(QStringLiteral("\nㄴ. 둘\nㄷ. 셋"));
    QApplication::processEvents();
    const hwp::Table saved = SavedTable(m_pane->Document());
    ASSERT_EQ(saved.cells.size(), 1u);
    // Four lines as the file counts them: no taller than the text engine lays them out.
    const QTextTableCell cell = box->cellAt(0, 0);
    const double size = cell.firstCursorPosition().block().charFormat().font().pointSizeF();
    EXPECT_GT(saved.cells[0].height, 4 * 100 * size);
    EXPECT_LE(saved.cells[0].height, editor::LayoutToHwpUnits(editor::NaturalCellHeight(cell)) + 1);
    EXPECT_EQ(saved.object.height, saved.cells[0].height);

    // A row of one line: the letters' size and the cell's margins, as the file makes such
    // rows, or the new row's height when that is more.
    m_pane->TextView()->moveCursor(QTextCursor::End);
    QTextTable* table = editor::InsertNewTable(*m_pane, 1, 2);
    ASSERT_TRUE(table);
    Type(*m_pane, u"칸");
    QApplication::processEvents();
    const hwp::Document document = editor::ToHwpDocument(m_pane->Document());
    const hwp::Control* last = nullptr;
    for (const hwp::Paragraph& paragraph : document.sections[0].paragraphs)
        for (const hwp::Control& control : paragraph.controls)
            last = hwp::IsTable(control) ? &control : last;
    ASSERT_TRUE(last);
    const hwp::Table row = hwp::ReadTable(*last);
    const double letters = table->cellAt(0, 0).firstCursorPosition().block().charFormat().font().pointSizeF();
    for (const hwp::TableCell& each : row.cells)
        EXPECT_NEAR(each.height, std::max(1282.0, 100 * letters + 282), 20);
}

} // namespace
