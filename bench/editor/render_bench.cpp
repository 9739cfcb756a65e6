// One A4 page of Korean exam text rendered to a 24-bit BMP at 600 dpi, as every saved
// part and print document is.
#include "document/editor_document.h"
#include "document/hwp_mapping.h"
#include "page/page_render.h"
#include "tools/templates/template_documents.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextCursor>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "render_bench";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

std::unique_ptr<editor::EditorDocument> FullPage()
{
    auto document = editor::ToEditorDocument(templates::MakeStyledDocument(6));
    QTextCursor cursor(&document->Text());
    for (int i = 0; i < 24; ++i) {
        cursor.insertText(QStringLiteral("봄이 오면 산과 들에 꽃이 핀다. 진달래와 개나리가 먼저 피고, 벚꽃이 뒤를 잇는다. "
                                         "사람들은 꽃구경을 하러 가까운 공원이나 먼 산으로 나들이를 떠난다."));
        cursor.insertBlock();
    }
    return document;
}

void BM_RenderA4PageAt600Dpi(benchmark::State& state)
{
    EnsureApplication();
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString() + "/page.bmp";
    const auto document = FullPage();
    for (auto _ : state) {
        if (!editor::RenderPageBmp(*document, 0, 600, path))
            state.SkipWithError("render failed");
    }
}
BENCHMARK(BM_RenderA4PageAt600Dpi)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The same page without text: what the white sheet and the file alone cost.
void BM_RenderEmptyA4PageAt600Dpi(benchmark::State& state)
{
    EnsureApplication();
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString() + "/page.bmp";
    const auto document = editor::ToEditorDocument(templates::MakeStyledDocument(6));
    for (auto _ : state) {
        if (!editor::RenderPageBmp(*document, 0, 600, path))
            state.SkipWithError("render failed");
    }
}
BENCHMARK(BM_RenderEmptyA4PageAt600Dpi)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
