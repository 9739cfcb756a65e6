// The cropper's work on page images as the editor exports them (2480 x 3508, A4 at 300
// dpi, written by the editor's own PNG writer).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/render/full_page.h"
#include "render/page_image.h"
#include "render/png_stream.h"
#include "tools/tolvard/crop.h"
#include "tools/tolvard/cropper.h"

namespace {

namespace fs = std::filesystem;

// A block of text-like lines in the upper half, as a question part usually looks.
QImage QuestionPage()
{
    QImage page(2480, 3508, QImage::Format_ARGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    for (int line = 0; line < 40; ++line) {
        const int y = 300 + line * 40;
        for (int word = 0; word < 18; ++word)
            painter.fillRect(QRect(280 + word * 105 + (line * 7 + word * 13) % 30, y, 70, 26), QColor(30, 30, 30));
    }
    return page;
}

void WriteAsTheEditorDoes(const QImage& page, const std::string& path)
{
    PngRowWriter writer(path, page.width(), page.height());
    for (int y = 0; y < page.height(); ++y)
        writer.WriteRow(reinterpret_cast<const std::uint32_t*>(page.constScanLine(y)));
    if (!writer.Finish())
        std::abort();
}

fs::path Folder()
{
    const fs::path dir = fs::temp_directory_path() / "varnel-tolvard-bench";
    fs::create_directories(dir);
    return dir;
}

// A full page of Korean text as a save exports it.
const std::string& FullKoreanPagePng()
{
    static const std::string path = [] {
        const std::string png = (Folder() / "full-korean-page.png").string();
        if (!WritePageImage(*bench_pages::FullKoreanPage(), 0, png))
            std::abort();
        return png;
    }();
    return path;
}

void BM_CropToContent(benchmark::State& state)
{
    const QImage page = QuestionPage();
    for (auto _ : state) {
        QImage cropped = tolvard::CropToContent(page, tolvard::kPadding);
        benchmark::DoNotOptimize(cropped.constBits());
    }
}

void CropFile(benchmark::State& state, const std::string& source)
{
    const std::string target = (Folder() / "12-print-obj-exam.png").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(tolvard::CropPartImage(source, target).printHeight);
}

// The whole step per part: read the exported PNG, crop, write the cropped PNG.
void BM_CropPartImageFile(benchmark::State& state)
{
    const std::string source = (Folder() / "12-print-obj-exam001.png").string();
    WriteAsTheEditorDoes(QuestionPage(), source);
    CropFile(state, source);
}

void BM_CropFullKoreanPage(benchmark::State& state)
{
    CropFile(state, FullKoreanPagePng());
}

// A save's whole request where every part is a full page: the passage, the print
// document (measured only) and the four parts of an objective question.
void BM_CropAndMeasureFullPages(benchmark::State& state)
{
    const fs::path workspace = Folder() / "workspace";
    const fs::path question = workspace / "local_exam" / "ek-12";
    const fs::path passage = workspace / "local_examtext" / "etk-7";
    fs::create_directories(question);
    fs::create_directories(passage);
    const fs::path page = FullKoreanPagePng();
    const auto copy = [&](const fs::path& to) { fs::copy_file(page, to, fs::copy_options::overwrite_existing); };
    copy(passage / "7-print-text001.png");
    copy(question / "12-examprint-obj001.png");
    for (const char* part : {"obj-exam", "obj-objective", "obj-answer", "obj-explain"})
        copy(question / ("12-print-" + std::string(part) + "001.png"));
    tolvard::CropRequest request;
    request.examKey = 12;
    request.examLocal = "local_exam";
    request.examtextKey = 7;
    request.examtextLocal = "local_examtext";
    request.examType = "obj";
    for (auto _ : state)
        benchmark::DoNotOptimize(tolvard::CropAndMeasure(request, workspace.string()));
}

} // namespace

BENCHMARK(BM_CropToContent)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_CropPartImageFile)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_CropFullKoreanPage)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
// Process CPU time: the parts are cropped two at a time.
BENCHMARK(BM_CropAndMeasureFullPages)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()
    ->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);   // fonts for the Korean page
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(Folder());
    return 0;
}
