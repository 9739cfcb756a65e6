// Cropping one exported page: a 2480 x 3508 image (A4 at 300 dpi) with a block of
// text-like lines in the upper half, as a question part usually looks.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tools/tolvard/crop.h"
#include "tools/tolvard/cropper.h"

namespace {

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

void BM_CropToContent(benchmark::State& state)
{
    const QImage page = QuestionPage();
    for (auto _ : state) {
        QImage cropped = tolvard::CropToContent(page, tolvard::kPadding);
        benchmark::DoNotOptimize(cropped.constBits());
    }
}
BENCHMARK(BM_CropToContent)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// The whole step per part: read the exported PNG, crop, write the cropped PNG.
void BM_CropPartImageFile(benchmark::State& state)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "varnel-tolvard-bench";
    std::filesystem::create_directories(dir);
    const std::string source = (dir / "12-print-obj-exam001.png").string();
    QuestionPage().save(QString::fromStdString(source), "PNG");
    const std::string target = (dir / "12-print-obj-exam.png").string();
    for (auto _ : state)
        benchmark::DoNotOptimize(tolvard::CropPartImage(source, target).printHeight);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CropPartImageFile)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
