// Tables in the pane: read tables become tables of the text engine whose cells are
// edited like any text and written back as real tables; the table commands.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"
#include "tests/hwp/object_testing.h"

#include "document/hwp_mapping.h"
#include "document/table_mapping.h"
#include "editor/table_tools.h"
#include "document/kept_objects.h"
#include "page/page_render.h"
#include "hwp/border_fill.h"
#include "hwp/bytes.h"
#include "hwp/paragraph_list.h"
#include "hwp/reader.h"
#include "hwp/table.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextFrame>
#include <QTextTable>
#include <QToolBar>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using editor_testing::Q;
using editor_testing::U16;

std::string SamplePath(const std::string& name)
{
    const std::string folder = hwp_testing::SamplesFolder();
    return folder.empty() ? std::string() : folder + "/" + name;
}

// What must survive of a table: its grid, every cell's place, spans and text, and the
// tables inside its cells.
struct TableSummary {
    int rows = 0;
    int columns = 0;
    std::vector<std::string> cells;   // "row,column rowSpan x columnSpan: text"

    bool operator==(const TableSummary&) const = default;
};

void CollectTables(const std::vector<hwp::Paragraph>& paragraphs, std::vector<TableSummary>& out)
{
    for (const hwp::Paragraph& paragraph : paragraphs) {
        for (const hwp::Control& control : paragraph.controls) {
            if (!hwp::IsTable(control))
                continue;
            const hwp::Table table = hwp::ReadTable(control);
            TableSummary summary{table.rows, table.columns, {}};
            const std::vector<std::u16string> texts = hwp::CellTexts(table);
            for (std::size_t i = 0; i < table.cells.size(); ++i) {
                const hwp::TableCell& cell = table.cells[i];
                summary.cells.push_back(std::to_string(cell.row) + "," + std::to_string(cell.column) + " " +
                                        std::to_string(cell.rowSpan) + "x" + std::to_string(cell.columnSpan) + ": " +
                                        Q(texts[i]).toStdString());
            }
            out.push_back(summary);
            for (const hwp::TableCell& cell : table.cells)
                CollectTables(cell.paragraphs, out);
        }
    }
}

std::vector<TableSummary> TablesOf(const hwp::Document& document)
{
    std::vector<TableSummary> out;
    for (const hwp::Section& section : document.sections)
        CollectTables(section.paragraphs, out);
    return out;
}

std::vector<QTextTable*> TextTables(QTextDocument& text)
{
    std::vector<QTextTable*> out;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        QTextTable* table = QTextCursor(block).currentTable();
        if (table && (out.empty() || out.back() != table) && std::find(out.begin(), out.end(), table) == out.end())
            out.push_back(table);
    }
    return out;
}

QString CellText(QTextTable& table, int row, int column)
{
    const QTextTableCell cell = table.cellAt(row, column);
    QTextCursor cursor = cell.firstCursorPosition();
    cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return cursor.selectedText();
}

class TableEditing : public editor_testing::PaneTest {
protected:
    void TypeAtCaret(const QString& text) { m_pane->TextView()->textCursor().insertText(text); }

    hwp::Document SaveAndRead(const std::string& name)
    {
        const std::string path = PathOf(name);
        EXPECT_TRUE(m_pane->SaveDocumentAs(U16(QString::fromStdString(path)), u"HWP"));
        return hwp::ReadDocument(path);
    }

    QTextTable* OnlyTable()
    {
        const std::vector<QTextTable*> tables = TextTables(m_pane->Document().Text());
        EXPECT_EQ(tables.size(), 1u);
        return tables.empty() ? nullptr : tables.front();
    }
};

TEST_F(TableEditing, SampleTablesOpenAsTablesAndSaveBackWithEveryCellAndSpan)
{
    int shown = 0;
    for (const char* name : {"table.hwp", "table-position.hwp", "borderfill.hwp", "multicolumns-in-common-controls.hwp"}) {
        SCOPED_TRACE(name);
        const std::string path = SamplePath(name);
        if (path.empty())
            GTEST_SKIP() << "no sample documents";
        const hwp::Document read = hwp::ReadDocument(path);
        const std::vector<TableSummary> before = TablesOf(read);
        ASSERT_FALSE(before.empty());
        const std::unique_ptr<editor::EditorDocument> pane = editor::ToEditorDocument(read);
        shown += static_cast<int>(TextTables(pane->Text()).size());
        const hwp::Document written = editor::ToHwpDocument(*pane);
        EXPECT_EQ(TablesOf(written), before);
        // Untouched, a table comes back record for record.
        const hwp::Document again = editor::ToHwpDocument(*editor::ToEditorDocument(written));
        ASSERT_EQ(again.sections.size(), written.sections.size());
        for (std::size_t s = 0; s < written.sections.size(); ++s) {
            ASSERT_EQ(again.sections[s].paragraphs.size(), written.sections[s].paragraphs.size());
            for (std::size_t p = 0; p < written.sections[s].paragraphs.size(); ++p)
                EXPECT_EQ(again.sections[s].paragraphs[p].controls, written.sections[s].paragraphs[p].controls);
        }
        std::size_t tablesBefore = 0;
        for (const hwp::Paragraph& paragraph : read.sections.front().paragraphs)
            tablesBefore += std::count_if(paragraph.controls.begin(), paragraph.controls.end(), hwp::IsTable);
        std::size_t tablesAfter = 0;
        for (const hwp::Paragraph& paragraph : written.sections.front().paragraphs)
            tablesAfter += std::count_if(paragraph.controls.begin(), paragraph.controls.end(), hwp::IsTable);
        EXPECT_EQ(tablesAfter, tablesBefore);
        EXPECT_EQ(written.sections.front().paragraphs.size(), read.sections.front().paragraphs.size());
    }
    EXPECT_GT(shown, 3);
}

TEST_F(TableEditing, TextTypedIntoACellIsSavedInThatCellAndTheOthersStay)
{
    const std::string path = SamplePath("table.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    ASSERT_TRUE(m_pane->OpenDocument(U16(QString::fromStdString(path)), u"HWP"));
    const std::vector<QTextTable*> tables = TextTables(m_pane->Document().Text());
    ASSERT_FALSE(tables.empty());
    QTextTable* table = tables.front();
    m_pane->TextView()->setTextCursor(table->cellAt(0, 0).firstCursorPosition());
    TypeAtCaret(QStringLiteral("새 글"));

    const hwp::Document before = hwp::ReadDocument(path);
    const hwp::Document after = SaveAndRead("edited.hwp");
    const std::vector<TableSummary> was = TablesOf(before);
    const std::vector<TableSummary> now = TablesOf(after);
    ASSERT_EQ(now.size(), was.size());
    ASSERT_EQ(now.front().cells.size(), was.front().cells.size());
    EXPECT_NE(now.front().cells.front().find("새 글"), std::string::npos) << now.front().cells.front();
    for (std::size_t i = 1; i < was.front().cells.size(); ++i)
        EXPECT_EQ(now.front().cells[i], was.front().cells[i]);
    for (std::size_t t = 1; t < was.size(); ++t)
        EXPECT_EQ(now[t], was[t]);
}

TEST_F(TableEditing, ANewTableGetsTextByTabAndARowFromTheLastCell)
{
    Type(*m_pane, u"다음 표를 보고 물음에 답하시오.");
    QTextTable* table = editor::InsertNewTable(*m_pane, 2, 3);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(editor::InsertNewTable(*m_pane, 0, 3), nullptr);
    EXPECT_EQ(editor::InsertNewTable(*m_pane, 2, editor::kMaxNewTableColumns + 1), nullptr);
    const char16_t* texts[] = {u"가", u"나", u"다", u"1", u"2", u"3", u"끝"};
    for (const char16_t* text : texts) {
        TypeAtCaret(Q(text));
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(m_pane->TextView(), &tab);
    }
    // Six cells, then Tab in the last one made a third row; "끝" stands in its first cell.
    ASSERT_EQ(table->rows(), 3);
    EXPECT_EQ(CellText(*table, 2, 0), QStringLiteral("끝"));
    EXPECT_EQ(table->cellAt(m_pane->TextView()->textCursor()).column(), 1);
    QKeyEvent back(QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier);
    QApplication::sendEvent(m_pane->TextView(), &back);
    EXPECT_EQ(m_pane->TextView()->textCursor().currentTable(), table);
    EXPECT_EQ(table->cellAt(m_pane->TextView()->textCursor()).column(), 0);
    EXPECT_TRUE(editor::InsertTableRow(*m_pane));
    EXPECT_EQ(table->rows(), 4);
    EXPECT_TRUE(editor::RemoveTableRow(*m_pane));
    EXPECT_EQ(table->rows(), 3);

    const hwp::Document saved = SaveAndRead("new-table.hwp");
    const std::vector<TableSummary> tables = TablesOf(saved);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0].rows, 3);
    EXPECT_EQ(tables[0].columns, 3);
    EXPECT_EQ(tables[0].cells[0], "0,0 1x1: 가");
    EXPECT_EQ(tables[0].cells[5], "1,2 1x1: 3");
    EXPECT_EQ(tables[0].cells[6], "2,0 1x1: 끝");
    // The text before stays its own paragraph; the table stands in the next one, as wide
    // as the body, ruled.
    const auto& paragraphs = saved.sections.front().paragraphs;
    ASSERT_GE(paragraphs.size(), 2u);
    EXPECT_EQ(paragraphs[0].text, u"다음 표를 보고 물음에 답하시오.");
    EXPECT_TRUE(paragraphs[0].controls.empty());
    ASSERT_EQ(paragraphs[1].controls.size(), 1u);
    const hwp::Table written = hwp::ReadTable(paragraphs[1].controls[0]);
    EXPECT_TRUE(written.object.inlineAsChar);
    EXPECT_NEAR(written.object.width, m_pane->Document().Page().BodyWidth(), 10);
    const hwp::BorderFillView lines = hwp::ReadBorderFill(saved.borderFills.at(written.cells[0].borderFillId - 1u));
    EXPECT_EQ(lines.lines[0].kind, 1);
    EXPECT_EQ(lines.lines[3].kind, 1);
}

TEST_F(TableEditing, MergedSplitWidenedAndColouredCellsAreSavedSo)
{
    QTextTable* table = editor::InsertNewTable(*m_pane, 3, 3);
    ASSERT_NE(table, nullptr);
    // Merge the top row's first two cells.
    QTextCursor select = table->cellAt(0, 0).firstCursorPosition();
    select.setPosition(table->cellAt(0, 1).firstCursorPosition().position(), QTextCursor::KeepAnchor);
    m_pane->TextView()->setTextCursor(select);
    ASSERT_TRUE(m_pane->TextView()->textCursor().hasComplexSelection());
    EXPECT_TRUE(editor::MergeTableCells(*m_pane));
    TypeAtCaret(QStringLiteral("제목"));
    EXPECT_TRUE(editor::SetTableCellBackground(*m_pane, QColor(0xDD, 0xEE, 0xFF)));
    // A plain cell splits into two side by side: four columns now.
    m_pane->TextView()->setTextCursor(table->cellAt(1, 0).firstCursorPosition());
    EXPECT_TRUE(editor::SplitTableCell(*m_pane));
    EXPECT_EQ(table->columns(), 4);
    EXPECT_TRUE(editor::InsertTableColumn(*m_pane));
    EXPECT_EQ(table->columns(), 5);
    EXPECT_TRUE(editor::RemoveTableColumn(*m_pane));
    EXPECT_TRUE(editor::InsertTableRow(*m_pane));
    EXPECT_EQ(table->rows(), 4);
    m_pane->TextView()->setTextCursor(table->cellAt(3, 3).firstCursorPosition());
    EXPECT_TRUE(editor::SetTableCellLines(*m_pane, hwp::BorderLine{0, 0, 0}));

    const hwp::Document saved = SaveAndRead("merged.hwp");
    const std::vector<TableSummary> tables = TablesOf(saved);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0].rows, 4);
    EXPECT_EQ(tables[0].columns, 4);
    const hwp::Table written = hwp::ReadTable(saved.sections.front().paragraphs.back().controls.empty()
                                                  ? saved.sections.front().paragraphs.front().controls.at(0)
                                                  : saved.sections.front().paragraphs.back().controls.at(0));
    const hwp::TableCell* title = hwp::CellAt(written, 0, 0);
    ASSERT_NE(title, nullptr);
    // The merged pair spans the first two columns of three, which became three of four.
    EXPECT_EQ(title->columnSpan, 3);
    const hwp::BorderFillView fill = hwp::ReadBorderFill(saved.borderFills.at(title->borderFillId - 1u));
    ASSERT_TRUE(fill.Background().has_value());
    EXPECT_EQ(*fill.Background(), 0xFFEEDDu);
    const hwp::TableCell* plain = hwp::CellAt(written, 3, 3);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(hwp::ReadBorderFill(saved.borderFills.at(plain->borderFillId - 1u)).lines[0].kind, 0);
    // The split pair shares the column's width; the table keeps its width.
    EXPECT_NEAR(written.object.width, m_pane->Document().Page().BodyWidth(), 10);
    const std::vector<hwp::HwpUnit> widths = hwp::ColumnWidths(written);
    ASSERT_EQ(widths.size(), 4u);
    EXPECT_NEAR(widths[0], widths[1], 2);
    EXPECT_NEAR(widths[0] * 2, widths[2], 4);
}

TEST_F(TableEditing, OutsideAndInsideLinesOfASelectionAreWrittenOnTheirSidesOnly)
{
    const hwp::BorderLine thick{1, 6, 0};
    for (const editor::CellSides sides : {editor::CellSides::Outside, editor::CellSides::Inside}) {
        const bool outside = sides == editor::CellSides::Outside;
        SCOPED_TRACE(outside ? "outside" : "inside");
        m_pane->ClearDocument(0);
        Type(*m_pane, u"표 앞");
        QTextTable* table = editor::InsertNewTable(*m_pane, 3, 3);
        ASSERT_NE(table, nullptr);
        // The lower right 2 x 2 of the grid.
        QTextCursor select = table->cellAt(1, 1).firstCursorPosition();
        select.setPosition(table->cellAt(2, 2).firstCursorPosition().position(), QTextCursor::KeepAnchor);
        m_pane->TextView()->setTextCursor(select);
        ASSERT_TRUE(m_pane->TextView()->textCursor().hasComplexSelection());
        EXPECT_TRUE(editor::SetTableCellLines(*m_pane, thick, sides));

        const hwp::Document saved = SaveAndRead(outside ? "outside.hwp" : "inside.hwp");
        const hwp::Control* control = nullptr;
        for (const hwp::Paragraph& paragraph : saved.sections.front().paragraphs)
            for (const hwp::Control& each : paragraph.controls)
                control = hwp::IsTable(each) ? &each : control;
        ASSERT_NE(control, nullptr);
        const hwp::Table written = hwp::ReadTable(*control);
        const auto lines = [&](int row, int column) {
            const hwp::TableCell* cell = hwp::CellAt(written, static_cast<std::uint16_t>(row), static_cast<std::uint16_t>(column));
            return hwp::ReadBorderFill(saved.borderFills.at(cell->borderFillId - 1u)).lines;
        };
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) {
                SCOPED_TRACE(std::to_string(r) + "," + std::to_string(c));
                const bool selected = r >= 1 && c >= 1;
                // Left, right, top, bottom: on the 2 x 2's outline?
                const bool outline[4] = {c == 1, c == 2, r == 1, r == 2};
                const auto drawn = lines(r, c);
                for (std::size_t side = 0; side < 4; ++side) {
                    const bool thickHere = selected && (outside ? outline[side] : !outline[side]);
                    EXPECT_EQ(drawn[side].width, thickHere ? 6 : 1) << "side " << side;
                    EXPECT_EQ(drawn[side].kind, 1) << "side " << side;
                }
            }
        }
    }
    // One side of the outline, and none at all.
    m_pane->ClearDocument(0);
    QTextTable* table = editor::InsertNewTable(*m_pane, 2, 2);
    ASSERT_NE(table, nullptr);
    QTextCursor select = table->cellAt(0, 0).firstCursorPosition();
    select.setPosition(table->cellAt(1, 1).firstCursorPosition().position(), QTextCursor::KeepAnchor);
    m_pane->TextView()->setTextCursor(select);
    EXPECT_TRUE(editor::SetTableCellLines(*m_pane, thick, editor::CellSides::Top));
    const auto shown = [&](int row, int column) {
        return editor::CellBorderFill(table->cellAt(row, column).format().toTableCellFormat()).lines;
    };
    EXPECT_EQ(shown(0, 1)[2].width, 6);
    EXPECT_EQ(shown(0, 1)[3].width, 1);
    EXPECT_EQ(shown(1, 1)[2].width, 1);
    EXPECT_TRUE(editor::SetTableCellLines(*m_pane, thick, editor::CellSides::None));
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            for (const hwp::BorderLine& line : shown(r, c))
                EXPECT_EQ(line.kind, 0);
}

// A document whose paragraph "본문끝" holds, after "본문", a 2 x 2 ruled table with a caption
// on `side` (the list header: paragraph count, list bits, direction, width, gap, text width).
hwp::Document CaptionedTable(std::uint32_t side)
{
    hwp::Document document = hwp_testing::DocumentWithTexts({u"본문끝"});
    const std::uint16_t ruled = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 3, 0}));
    hwp::Control control = hwp::WriteTable(hwp::NewTable(2, 2, 20000, ruled), document);
    const std::vector<hwp::ObjectRecord> caption = hwp::WriteCaption(
        {static_cast<hwp::CaptionSide>(side), 8504, 850, {hwp_testing::TextParagraph(u"표 1. 공기의 성분")}}, 20000, document);
    control.records.insert(control.records.begin() + 1, caption.begin(), caption.end());
    control.position = 2;
    control.end = 2;
    document.sections[0].paragraphs[0].controls.push_back(control);
    return document;
}

// The shown caption characters of the document's blocks, as (block number, above the table).
std::vector<std::pair<int, bool>> ShownCaptions(QTextDocument& text)
{
    std::vector<std::pair<int, bool>> out;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const editor::KeptObjectRef object = editor::KeptObjectOf(it.fragment().charFormat());
            if (object && editor::IsShownCaption(*object))
                out.emplace_back(block.blockNumber(), editor::ShownCaptionAbove(*object));
        }
    }
    return out;
}

TEST_F(TableEditing, ACaptionShowsOnItsSideOfTheTableAndIsWrittenBackAsRead)
{
    for (const std::uint32_t side : {3u, 2u}) {
        const bool below = side == 3;
        SCOPED_TRACE(below ? "below" : "above");
        const hwp::Document document = CaptionedTable(side);
        const std::unique_ptr<editor::EditorDocument> shown = editor::ToEditorDocument(document);
        QTextDocument& text = shown->Text();
        QTextTable* table = TextTables(text).at(0);
        const int before = text.findBlock(table->firstPosition() - 1).blockNumber();
        const int after = text.findBlock(table->lastPosition() + 1).blockNumber();
        const std::vector<std::pair<int, bool>> captions = ShownCaptions(text);
        ASSERT_EQ(captions.size(), 1u);
        EXPECT_EQ(captions[0].first, below ? after : before);
        EXPECT_EQ(captions[0].second, !below);
        // On a line of its own, apart from the paragraph's text.
        EXPECT_EQ(text.findBlockByNumber(captions[0].first).layout()->lineCount(), 2);
        // Its lines drawn on that side of the table's rulings.
        const editor::PagedLayout layout(*shown);
        QImage page(layout.SheetPixelWidth(150), layout.SheetPixelHeight(150) / 3, QImage::Format_RGB32);
        layout.PaintBand(page, 0, 0, 150);
        if (const char* folder = std::getenv("VARNEL_PAGE_IMAGES"))
            page.save(QString::fromUtf8(folder) + (below ? "/CaptionBelow.png" : "/CaptionAbove.png"));
        std::vector<int> rows;
        for (int y = 0; y < page.height(); ++y) {
            int run = 0, longest = 0;
            for (int x = 0; x < page.width(); ++x) {
                run = qGray(page.pixel(x, y)) < 80 ? run + 1 : 0;
                longest = std::max(longest, run);
            }
            if (longest > 300)
                rows.push_back(y);
        }
        ASSERT_FALSE(rows.empty());
        const auto ink = [&](int from, int to) {
            int dark = 0;
            for (int y = std::max(0, from); y < std::min(page.height(), to); ++y)
                for (int x = 0; x < page.width(); ++x)
                    dark += qGray(page.pixel(x, y)) < 128;
            return dark;
        };
        if (below)
            EXPECT_GT(ink(rows.back() + 3, rows.back() + 80), 100) << "the caption under the last line";
        else
            EXPECT_GT(ink(rows.front() - 40, rows.front() - 3), 100) << "the caption over the first line";

        // Nothing of the caption character in the file: the paragraph and its table as read.
        const hwp::Document saved = editor::ToHwpDocument(*shown);
        ASSERT_FALSE(saved.sections[0].paragraphs.empty());
        const hwp::Paragraph& paragraph = saved.sections[0].paragraphs[0];
        EXPECT_EQ(paragraph.text, u"본문끝");
        ASSERT_EQ(paragraph.controls.size(), 1u);
        EXPECT_EQ(paragraph.controls[0].position, 2u);
        EXPECT_EQ(paragraph.controls[0].records, document.sections[0].paragraphs[0].controls[0].records);
        EXPECT_EQ(saved.sections[0].paragraphs.size(), document.sections[0].paragraphs.size());
    }
}

TEST_F(TableEditing, ABoxHasItsCentredCaptionAboveItsContentAndComesBackFromTheFile)
{
    ASSERT_NE(editor::InsertBoxTable(*m_pane), nullptr);
    TypeAtCaret(QStringLiteral("ㄱ. 첫째 보기"));
    const hwp::Document saved = SaveAndRead("box.hwp");
    const std::vector<TableSummary> tables = TablesOf(saved);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0].rows, 1);
    EXPECT_EQ(tables[0].cells[0], "0,0 1x1: <보기>\nㄱ. 첫째 보기");
    const hwp::Table box = hwp::ReadTable(saved.sections.front().paragraphs.front().controls.at(0));
    const hwp::TableCell& cell = box.cells.at(0);
    EXPECT_EQ(saved.paraShapes.at(cell.paragraphs.at(0).paraShapeId).alignment, hwp::Alignment::Center);
    EXPECT_NE(saved.paraShapes.at(cell.paragraphs.at(1).paraShapeId).alignment, hwp::Alignment::Center);
    EXPECT_EQ(cell.verticalAlign, hwp::CellVerticalAlign::Top);
    EXPECT_EQ(hwp::ReadBorderFill(saved.borderFills.at(cell.borderFillId - 1u)).lines[2].width, 6);

    // Reopened, it is a table of the pane again with the same text.
    ASSERT_TRUE(m_pane->OpenDocument(U16(QString::fromStdString(PathOf("box.hwp"))), u"HWP"));
    QTextTable* shown = OnlyTable();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(CellText(*shown, 0, 0), QStringLiteral("<보기>") + QChar(QChar::ParagraphSeparator) + QStringLiteral("ㄱ. 첫째 보기"));
}

TEST_F(TableEditing, TheCommandsAreInTheInsertMenuTheToolBarAndTheTablesContextMenu)
{
    bool table = false, box = false;
    for (QToolBar* bar : m_pane->findChildren<QToolBar*>()) {
        for (QAction* action : bar->actions()) {
            table = table || action->objectName() == QStringLiteral("insert_table");
            box = box || action->objectName() == QStringLiteral("insert_box");
        }
    }
    EXPECT_TRUE(table);
    EXPECT_TRUE(box);
    QStringList inMenu;
    for (QAction* action : m_pane->InsertMenu()->actions())
        inMenu << action->text();
    EXPECT_TRUE(inMenu.contains(QStringLiteral("표 만들기")));
    EXPECT_TRUE(inMenu.contains(QStringLiteral("보기 상자")));

    QTextTable* made = editor::InsertNewTable(*m_pane, 2, 2);
    ASSERT_NE(made, nullptr);
    QMenu* editing = nullptr;
    for (QAction* action : m_pane->InsertMenu()->actions()) {
        if (action->menu() && action->text() == QStringLiteral("표 고치기"))
            editing = action->menu();
    }
    ASSERT_NE(editing, nullptr);
    m_pane->TextView()->setTextCursor(made->cellAt(1, 1).firstCursorPosition());
    for (QAction* action : editing->actions()) {
        if (action->text() == QStringLiteral("줄 추가"))
            action->trigger();
    }
    EXPECT_EQ(made->rows(), 3);
}

TEST_F(TableEditing, TheIndependentReaderFindsTheCellsOfATableMadeInThePane)
{
    QTextTable* table = editor::InsertNewTable(*m_pane, 3, 3);
    ASSERT_NE(table, nullptr);
    for (const char16_t* text : {u"가", u"나", u"다", u"라", u"마", u"바", u"사", u"아", u"자"}) {
        if (std::u16string_view(text) != u"가")
            editor::MoveToNextCell(*m_pane);
        TypeAtCaret(Q(text));
    }
    QTextCursor select = table->cellAt(1, 1).firstCursorPosition();
    select.setPosition(table->cellAt(2, 2).firstCursorPosition().position(), QTextCursor::KeepAnchor);
    m_pane->TextView()->setTextCursor(select);
    ASSERT_TRUE(editor::MergeTableCells(*m_pane));
    const hwp::Document saved = SaveAndRead("oracle.hwp");
    const hwp_testing::OracleObjects oracle = hwp_testing::OracleObjectsOf(PathOf("oracle.hwp"));
    if (!oracle.available)
        GTEST_SKIP() << "node or @ohah/hwpjs is not installed";
    ASSERT_TRUE(oracle.parsed) << oracle.error;
    ASSERT_EQ(oracle.tables.size(), 1u);
    const hwp::Table ours = hwp::ReadTable(saved.sections.front().paragraphs.front().controls.at(0));
    EXPECT_EQ(oracle.tables[0].rows, 3);
    EXPECT_EQ(oracle.tables[0].columns, 3);
    const std::vector<std::u16string> texts = hwp::CellTexts(ours);
    ASSERT_EQ(oracle.tables[0].cells.size(), ours.cells.size());
    for (std::size_t i = 0; i < ours.cells.size(); ++i) {
        const hwp_testing::OracleCell& cell = oracle.tables[0].cells[i];
        EXPECT_EQ(cell.row, ours.cells[i].row);
        EXPECT_EQ(cell.column, ours.cells[i].column);
        EXPECT_EQ(cell.rowSpan, ours.cells[i].rowSpan);
        EXPECT_EQ(cell.columnSpan, ours.cells[i].columnSpan);
        EXPECT_EQ(hwp_testing::OracleView(cell.text), hwp_testing::OracleView(texts[i]));
    }
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(ours.cells[4].rowSpan, 2);
    // Cells of one row join with a space, rows as paragraphs of their own.
    EXPECT_EQ(texts[4], u"마 바\n아 자") << "a merge keeps the text of every cell it takes";
}

TEST_F(TableEditing, AStyleAppliedInAMergedCellKeepsTheCellsSpanAndLines)
{
    const std::u16string path = WriteTemplate("sf_exam_format.hwp");
    ASSERT_TRUE(m_pane->OpenDocument(path, u"HWP"));
    m_pane->RunAction(u"MoveDocEnd");
    QTextTable* table = editor::InsertNewTable(*m_pane, 2, 2);
    ASSERT_NE(table, nullptr);
    table->mergeCells(0, 0, 1, 2);
    ASSERT_TRUE(editor::SetTableCellBackground(*m_pane, QColor(0xFF, 0xEE, 0xDD)));
    TypeAtCaret(QStringLiteral("제목"));
    QTextCursor cell = table->cellAt(0, 0).firstCursorPosition();
    cell.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    ASSERT_GT(m_pane->Document().Styles().size(), 2u);
    ASSERT_TRUE(m_pane->Document().ApplyStyle(2, cell));
    EXPECT_EQ(table->cellAt(0, 0).columnSpan(), 2);
    const QTextTableCellFormat format = table->cellAt(0, 0).format().toTableCellFormat();
    EXPECT_GT(format.topBorder(), 0);
    EXPECT_EQ(format.background().color(), QColor(0xFF, 0xEE, 0xDD));

    const hwp::Document saved = SaveAndRead("styled.hwp");
    const std::vector<TableSummary> tables = TablesOf(saved);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(tables[0].cells.front(), "0,0 1x2: 제목");
}

} // namespace
