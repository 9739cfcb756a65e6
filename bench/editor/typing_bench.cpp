// One typed letter in a pane, as the teacher feels it: the edit, the layout and what the
// pane does after every change (table rows fitted to their heights), beside the same
// letter in a pane of plain text; and the layout on pages the pane makes once edits settle.
// Each letter's time is also counted in two: the edit with the text engine's layout
// (layout_ms) and the events after it, mostly the repaint (events_ms).
#include "document/hwp_mapping.h"
#include "editor/hwpctrl.h"
#include "editor/page_ends.h"
#include "editor/table_tools.h"
#include "hwp/border_fill.h"
#include "hwp/table.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextTable>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "typing_bench";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
}

// Types a letter at the cursor per iteration, each with the events that follow it. With
// `takeBack`, every other iteration takes the letter before back instead, so the line never
// grows: a letter's cost where it keeps its line.
void TypeLetters(benchmark::State& state, editor::CHwpctrl& pane, bool takeBack = false)
{
    pane.show();
    QApplication::processEvents();
    QTextEdit* view = pane.TextView();
    double layout = 0;
    double events = 0;
    QElapsedTimer timer;
    bool typed = false;
    for (auto _ : state) {
        timer.start();
        QTextCursor cursor = view->textCursor();
        if (takeBack && typed)
            cursor.deletePreviousChar();
        else
            cursor.insertText(QStringLiteral("가"));
        typed = !typed;
        view->setTextCursor(cursor);
        layout += static_cast<double>(timer.nsecsElapsed());
        timer.start();
        QApplication::processEvents();
        events += static_cast<double>(timer.nsecsElapsed());
    }
    const double letters = std::max<double>(1, static_cast<double>(state.iterations()));
    state.counters["layout_ms"] = layout / letters / 1e6;
    state.counters["events_ms"] = events / letters / 1e6;
}

void BM_TypeInPlainText(benchmark::State& state)
{
    EnsureApplication();
    editor::CHwpctrl pane;
    for (int i = 0; i < 40; ++i)
        pane.InsertPlainText(QStringLiteral("봄이 오면 산과 들에 꽃이 핀다. 사람들은 창문을 연다.\n"));
    TypeLetters(state, pane);
}

// `count` paragraphs of a file, spaced by percent.
hwp::Document FileText(int count)
{
    hwp::Document document = hwp::NewDocument();
    std::vector<hwp::Paragraph>& paragraphs = document.sections[0].paragraphs;
    const hwp::Paragraph model = paragraphs.front();
    paragraphs.clear();
    for (int i = 0; i < count; ++i) {
        paragraphs.push_back(model);
        paragraphs.back().text = u"봄이 오면 산과 들에 꽃이 핀다. 사람들은 창문을 연다. 진달래와 개나리가 먼저 피고, "
                                 u"벚꽃이 뒤를 잇는다.";
    }
    return document;
}

// Forty paragraphs read from a file, spaced by percent: each letter also has its
// paragraph's spacing measured against its largest char size.
void BM_TypeInFileText(benchmark::State& state)
{
    EnsureApplication();
    editor::CHwpctrl pane;
    pane.ShowDocument(editor::ToEditorDocument(FileText(40)));
    QTextCursor middle(pane.Document().Text().findBlockByNumber(20));
    middle.movePosition(QTextCursor::EndOfBlock);
    pane.TextView()->setTextCursor(middle);
    TypeLetters(state, pane);
}

// What the pane does once edits settle: the document of `range(0)` paragraphs (about
// forty to a page) laid out on pages as it prints, for the page-end marks.
void BM_PageEndsAfterEdits(benchmark::State& state)
{
    EnsureApplication();
    const std::unique_ptr<editor::EditorDocument> document =
        editor::ToEditorDocument(FileText(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(editor::PageEndsOf(*document));
}

// A table of `range(0)` rows and five columns, every cell holding text; typing in its
// middle cell.
// rows x 5 cells; the second argument 1 keeps the typed cell's line (above).
void BM_TypeInTable(benchmark::State& state)
{
    EnsureApplication();
    editor::CHwpctrl pane;
    const int rows = static_cast<int>(state.range(0));
    const bool keepLine = state.range(1) != 0;
    QTextTable* table = editor::InsertNewTable(pane, rows, 5);
    if (table == nullptr) {
        state.SkipWithError("no table");
        return;
    }
    // One edit: the text engine lays the table out once, not once a cell.
    QTextCursor filling(&pane.Document().Text());
    filling.beginEditBlock();
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 5; ++c)
            table->cellAt(r, c).firstCursorPosition().insertText(QStringLiteral("질량 %1 kg").arg(r * 5 + c));
    filling.endEditBlock();
    pane.TextView()->setTextCursor(table->cellAt(rows / 2, 2).lastCursorPosition());
    TypeLetters(state, pane, keepLine);
}

// The same from a file: every cell with the height the file gives it, so each letter
// also has the rows measured against their heights.
void BM_TypeInFileTable(benchmark::State& state)
{
    EnsureApplication();
    const int rows = static_cast<int>(state.range(0));
    const bool keepLine = state.range(1) != 0;
    hwp::Document document = hwp::NewDocument();
    const std::uint16_t ruled = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 3, 0}));
    hwp::Table table = hwp::NewTable(static_cast<std::uint16_t>(rows), 5, 42000, ruled);
    for (hwp::TableCell& cell : table.cells) {
        cell.height = cell.row % 4 == 0 ? 2800 : 1282;
        cell.paragraphs.front().text = u"질량 2 kg";
    }
    hwp::FitTableSize(table);
    hwp::Paragraph& paragraph = document.sections[0].paragraphs.front();
    paragraph.controls.push_back(hwp::WriteTable(table, document));
    paragraph.controls.back().position = static_cast<std::uint32_t>(paragraph.text.size());
    paragraph.controls.back().end = paragraph.controls.back().position;
    editor::CHwpctrl pane;
    pane.ShowDocument(editor::ToEditorDocument(document));
    QTextTable* shown = nullptr;
    for (QTextFrame* frame : pane.Document().Text().rootFrame()->childFrames())
        if ((shown = qobject_cast<QTextTable*>(frame)) != nullptr)
            break;
    if (shown == nullptr) {
        state.SkipWithError("the table is not shown as a table");
        return;
    }
    pane.TextView()->setTextCursor(shown->cellAt(rows / 2, 2).lastCursorPosition());
    TypeLetters(state, pane, keepLine);
}

// What the view repaints after a change inside a table: the text engine asks for all of
// it. In its place, only that table's rectangle while the table keeps its place and size;
// anything else as asked. The pane does not do this: how much it would save.
void RepaintOnlyTheChangedTable(QTextEdit& view)
{
    QTextDocument* text = view.document();
    QAbstractTextDocumentLayout* layout = text->documentLayout();
    for (QObject* child : view.findChildren<QObject*>())
        if (child->inherits("QWidgetTextControl"))
            QObject::disconnect(layout, &QAbstractTextDocumentLayout::update, child, nullptr);
    struct Changed {
        QTextTable* table = nullptr;
        QRectF before;
    };
    auto changed = std::make_shared<Changed>();
    QObject::connect(text, &QTextDocument::contentsChange, &view, [text, layout, changed](int from, int, int added) {
        QTextCursor at(text);
        at.setPosition(from);
        QTextTable* table = at.currentTable();
        changed->table = table != nullptr && table->lastPosition() >= from + added ? table : nullptr;
        changed->before = changed->table ? layout->frameBoundingRect(changed->table) : QRectF();
    });
    QObject::connect(layout, &QAbstractTextDocumentLayout::update, &view, [&view, layout, changed](const QRectF& asked) {
        QRectF area = asked;
        if (changed->table != nullptr && layout->frameBoundingRect(changed->table) == changed->before)
            area = asked.intersected(changed->before);
        changed->table = nullptr;
        const QPoint scrolled(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
        const QRect shown = area.intersected(QRectF(scrolled, view.viewport()->size())).toAlignedRect();
        if (!shown.isEmpty())
            view.viewport()->update(shown.translated(-scrolled));
    });
}

// A table of `range(0)` rows held as tables of `range(1)` rows one under the other, without
// room around them; the empty block the text engine keeps after each takes no room. Typing
// in the middle cell: the text engine lays out only the small table the letter is in and
// moves those after it. `range(2)`: 1, the view 1056 x 864 pixels rather than its default
// size (the whole view is painted again after every letter in a table); 2, that view
// repainted only over the small table (RepaintOnlyTheChangedTable).
void BM_TypeInTableOfParts(benchmark::State& state)
{
    EnsureApplication();
    editor::CHwpctrl pane;
    if (state.range(2) != 0)
        pane.resize(1100, 900);
    if (state.range(2) == 2)
        RepaintOnlyTheChangedTable(*pane.TextView());
    const int rows = static_cast<int>(state.range(0));
    const int partRows = static_cast<int>(state.range(1));
    QTextTable* first = editor::InsertNewTable(pane, std::min(rows, partRows), 5);
    if (first == nullptr) {
        state.SkipWithError("no table");
        return;
    }
    QTextTableFormat format = first->format();
    format.setTopMargin(0);
    format.setBottomMargin(0);
    const QTextTableCellFormat cellFormat = first->cellAt(0, 0).format().toTableCellFormat();
    QTextCursor filling(&pane.Document().Text());
    filling.beginEditBlock();
    first->setFormat(format);
    std::vector<QTextTable*> parts{first};
    for (int done = partRows; done < rows; done += partRows) {
        QTextCursor after(&pane.Document().Text());
        after.setPosition(parts.back()->lastPosition() + 1);
        QTextTable* next = after.insertTable(std::min(partRows, rows - done), 5, format);
        for (int r = 0; r < next->rows(); ++r)
            for (int c = 0; c < 5; ++c)
                next->cellAt(r, c).setFormat(cellFormat);
        parts.push_back(next);
    }
    for (std::size_t p = 0; p < parts.size(); ++p)
        for (int r = 0; r < parts[p]->rows(); ++r)
            for (int c = 0; c < 5; ++c)
                parts[p]->cellAt(r, c).firstCursorPosition().insertText(
                    QStringLiteral("질량 %1 kg").arg((static_cast<int>(p) * partRows + r) * 5 + c));
    filling.endEditBlock();
    const int middle = rows / 2;
    QTextTable* part = parts[static_cast<std::size_t>(middle / partRows)];
    pane.TextView()->setTextCursor(part->cellAt(middle % partRows, 2).lastCursorPosition());
    TypeLetters(state, pane);
}

} // namespace

BENCHMARK(BM_TypeInPlainText)->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_PageEndsAfterEdits)->Arg(40)->Arg(200)->Unit(benchmark::kMillisecond)->Repetitions(3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_TypeInFileText)->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TypeInTable)->ArgsProduct({{8, 40}, {0, 1}})->Unit(benchmark::kMicrosecond)->Iterations(200)
    ->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TypeInFileTable)->ArgsProduct({{8, 40}, {0, 1}})->Unit(benchmark::kMicrosecond)->Iterations(200)
    ->Repetitions(5)->ReportAggregatesOnly(true);
// Fewer letters in the long tables: the text engine lays each one's whole table out again.
BENCHMARK(BM_TypeInTable)->Args({400, 0})->Unit(benchmark::kMicrosecond)->Iterations(20)->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_TypeInTable)->Args({400, 1})->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_TypeInFileTable)->Args({400, 0})->Unit(benchmark::kMicrosecond)->Iterations(20)->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_TypeInFileTable)->Args({400, 1})->Unit(benchmark::kMicrosecond)->Iterations(200)->Repetitions(5)
    ->ReportAggregatesOnly(true);
// Rows, rows a part, the view (above).
BENCHMARK(BM_TypeInTableOfParts)
    ->ArgsProduct({{8, 40, 400}, {1, 2, 4}, {0}})
    ->Args({40, 40, 0})
    ->ArgsProduct({{8, 40, 400}, {1, 2}, {1, 2}})
    ->Args({40, 40, 1})
    ->Args({40, 40, 2})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
