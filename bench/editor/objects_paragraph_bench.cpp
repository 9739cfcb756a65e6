// One paragraph holding N small tables (as a damaged or generated file may), read into the
// pane's document and printed: page 1 as an image, every page as a PDF. The time per table
// stays flat as N grows.
#include "document/editor_document.h"
#include "document/hwp_mapping.h"
#include "hwp/document.h"
#include "hwp/table.h"
#include "page/page_render.h"
#include "render/page_image.h"
#include "render/page_pdf.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "objects_paragraph_bench";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

hwp::Document TablesInOneParagraph(int count)
{
    hwp::Document document = hwp::NewDocument();
    hwp::Table table;
    table.object.width = 2 * 8000;
    table.object.height = 1500;
    table.rows = 1;
    table.columns = 2;
    for (std::uint16_t column = 0; column < 2; ++column) {
        hwp::TableCell cell;
        cell.column = column;
        cell.width = 8000;
        cell.height = 1500;
        hwp::Paragraph text;
        text.text = column == 0 ? u"칸" : u"표의 칸";
        text.charShapes.push_back(hwp::CharShapeRun{});
        cell.paragraphs.push_back(text);
        table.cells.push_back(cell);
    }
    hwp::Paragraph& paragraph = document.sections.front().paragraphs.front();
    paragraph.text = u"표";
    hwp::Control control = hwp::WriteTable(table, document);
    control.position = control.end = 1;
    paragraph.controls.assign(static_cast<std::size_t>(count), control);
    return document;
}

void BM_TablesInOneParagraphImage(benchmark::State& state)
{
    EnsureApplication();
    const hwp::Document source = TablesInOneParagraph(static_cast<int>(state.range(0)));
    QTemporaryDir folder;
    for (auto _ : state) {
        const auto document = editor::ToEditorDocument(source);
        benchmark::DoNotOptimize(WritePageImage(*document, 0, folder.filePath("page.png").toStdString()));
    }
    state.SetComplexityN(state.range(0));
}

void BM_TablesInOneParagraphPdf(benchmark::State& state)
{
    EnsureApplication();
    const hwp::Document source = TablesInOneParagraph(static_cast<int>(state.range(0)));
    QTemporaryDir folder;
    for (auto _ : state) {
        const auto document = editor::ToEditorDocument(source);
        benchmark::DoNotOptimize(WriteDocumentPdf(*document, folder.filePath("all.pdf").toStdString()));
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_TablesInOneParagraphImage)->RangeMultiplier(2)->Range(250, 2000)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3)->Complexity();
BENCHMARK(BM_TablesInOneParagraphPdf)->RangeMultiplier(2)->Range(250, 2000)->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(3)->Complexity();
