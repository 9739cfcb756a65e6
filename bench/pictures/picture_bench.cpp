// A question document with twenty photographs of about 2 MB each (JPEG): read, every
// page painted, one page rendered at 600 dpi as a saved part is, and written back; and
// the peak memory of the whole process.
#include "bench/documents/bench_documents.h"
#include "document/editor_document.h"
#include "document/hwp_mapping.h"
#include "page/page_render.h"
#include "editor/picture_tools.h"
#include "tools/templates/template_documents.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextCursor>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kPictures = 20;

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "picture_bench";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

double PeakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;   // kilobytes on Linux
}

struct Fixture {
    QTemporaryDir folder;
    std::string path;
    qint64 pictureBytes = 0;
    double rssAfterMaking = 0;   // the peak while the document was made
};

// The document, written once for every benchmark of the program.
const Fixture& Document()
{
    static const Fixture* fixture = [] {
        EnsureApplication();
        auto* made = new Fixture;
        made->path = made->folder.path().toStdString() + "/twenty.hwp";
        auto document = editor::ToEditorDocument(templates::MakeStyledDocument(6));
        QTextCursor cursor(&document->Text());
        for (int i = 0; i < kPictures; ++i) {
            cursor.insertText(QStringLiteral("%1. 다음 사진은 어느 지역의 모습인가?").arg(i + 1));
            cursor.insertBlock();
            const QByteArray photo = bench_documents::Photograph(static_cast<quint32>(i + 1));
            made->pictureBytes += photo.size();
            QString error;
            if (!editor::InsertPictureAt(cursor, photo, document->Page().BodyWidth(), error))
                std::fprintf(stderr, "picture %d: %s\n", i, qPrintable(error));
            cursor.insertBlock();
        }
        if (!editor::WriteHwpFile(*document, made->path))
            std::fprintf(stderr, "cannot write %s\n", made->path.c_str());
        made->rssAfterMaking = PeakRssMb();
        return made;
    }();
    return *fixture;
}

void Report(benchmark::State& state)
{
    state.counters["peak_rss_MB"] = PeakRssMb();
    state.counters["pictures_MB"] = Document().pictureBytes / 1e6;
    state.counters["making_peak_MB"] = Document().rssAfterMaking;
}

void BM_OpenTwentyPictures(benchmark::State& state)
{
    const Fixture& fixture = Document();
    for (auto _ : state) {
        auto document = editor::ReadHwpFile(fixture.path);
        if (!document)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(document.get());
    }
    Report(state);
}
BENCHMARK(BM_OpenTwentyPictures)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// Every page painted at 150 dpi, each time from a document read anew, so every picture
// is decoded again as after opening.
void BM_PaintAllPagesTwentyPictures(benchmark::State& state)
{
    const Fixture& fixture = Document();
    int pages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto document = editor::ReadHwpFile(fixture.path);
        state.ResumeTiming();
        const editor::PagedLayout layout(*document);
        pages = layout.PageCount();
        QImage image(layout.SheetPixelWidth(150), layout.SheetPixelHeight(150), QImage::Format_RGB32);
        for (int page = 0; page < pages; ++page)
            layout.PaintBand(image, page, 0, 150);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["pages"] = pages;
    Report(state);
}
BENCHMARK(BM_PaintAllPagesTwentyPictures)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The first page as a saved part's page image: a 600-dpi 24-bit BMP, decoded anew.
void BM_RenderFirstPageAt600Dpi(benchmark::State& state)
{
    const Fixture& fixture = Document();
    const std::string bmp = fixture.folder.path().toStdString() + "/page.bmp";
    for (auto _ : state) {
        state.PauseTiming();
        auto document = editor::ReadHwpFile(fixture.path);
        state.ResumeTiming();
        if (!editor::RenderPageBmp(*document, 0, 600, bmp))
            state.SkipWithError("render failed");
    }
    std::remove(bmp.c_str());
    Report(state);
}
BENCHMARK(BM_RenderFirstPageAt600Dpi)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_SaveTwentyPictures(benchmark::State& state)
{
    const Fixture& fixture = Document();
    const std::string out = fixture.folder.path().toStdString() + "/saved.hwp";
    const auto document = editor::ReadHwpFile(fixture.path);
    for (auto _ : state) {
        if (!editor::WriteHwpFile(*document, out))
            state.SkipWithError("write failed");
    }
    Report(state);
}
BENCHMARK(BM_SaveTwentyPictures)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// What a teacher does once: open, every page painted, the first page at 600 dpi, save.
// Run alone (--benchmark_filter=OpenRenderSave) its peak_rss_MB is the process's peak for
// the whole sequence.
void BM_OpenRenderSaveTwentyPictures(benchmark::State& state)
{
    const Fixture& fixture = Document();
    const std::string bmp = fixture.folder.path().toStdString() + "/sequence.bmp";
    const std::string out = fixture.folder.path().toStdString() + "/sequence.hwp";
    for (auto _ : state) {
        auto document = editor::ReadHwpFile(fixture.path);
        if (!document) {
            state.SkipWithError("read failed");
            break;
        }
        {
            const editor::PagedLayout layout(*document);
            QImage image(layout.SheetPixelWidth(150), layout.SheetPixelHeight(150), QImage::Format_RGB32);
            for (int page = 0; page < layout.PageCount(); ++page)
                layout.PaintBand(image, page, 0, 150);
        }
        if (!editor::RenderPageBmp(*document, 0, 600, bmp))
            state.SkipWithError("render failed");
        if (!editor::WriteHwpFile(*document, out))
            state.SkipWithError("write failed");
    }
    std::remove(bmp.c_str());
    Report(state);
}
BENCHMARK(BM_OpenRenderSaveTwentyPictures)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);

} // namespace
