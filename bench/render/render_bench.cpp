// Page images and the preview assembly with real panes on a real disk folder.
//
//   render_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// BM_QtRoundTrip is the straightforward conversion (whole-bitmap load, QPainter scaling,
// default PNG writer) kept as the yardstick for ExportPageImage.
#include "bench/render/full_page.h"
#include "bench/render/objects_page.h"
#include "page/page_render.h"
#include "page/preview_image.h"
#include "editor/hwpctrl.h"
#include "hwp/writer.h"
#include "render/bmp_half.h"
#include "render/page_image.h"
#include "render/preview.h"
#include "tools/templates/template_documents.h"

#include <QApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

class RecordingView : public dlg::DialogView {
public:
    bool IsChecked(int) const override { return false; }
    void SetChecked(int, bool) override {}
    void SetButtonPicture(int, const std::string&) override {}
    void RepaintNow(int) override {}
    void ShowControl(int, bool) override {}
    bool IsControlShown(int) const override { return true; }
    void EnableControl(int, bool) override {}
    bool IsControlEnabled(int) const override { return true; }
    dlg::Rect ControlRect(int) const override { return {}; }
    void MoveControl(int, const dlg::Rect&) override {}
    int ScreenWidth() const override { return 1920; }
    int ScreenHeight() const override { return 1080; }
    void ShowMessage(const std::string&) override {}
    std::string ChooseQuestionFile(const std::string&) override { return {}; }
    void PostClose() override {}
};

// A bench folder below the build tree, on the same disk as a user's workspace.
std::string BenchFolder()
{
    static QTemporaryDir folder(QDir::currentPath() + "/render_bench-XXXXXX");
    // RENDER_BENCH_KEEP=1 leaves the images for a look.
    folder.setAutoRemove(qEnvironmentVariableIsEmpty("RENDER_BENCH_KEEP"));
    return folder.path().toStdString();
}

std::u16string U16(const std::string& text)
{
    return QString::fromStdString(text).toStdU16String();
}

std::string TemplatePath(const std::string& name)
{
    const std::string formats = BenchFolder() + "/opt/korvane/telquin/urk/hwp_format";
    const std::string path = formats + "/" + name;
    if (!std::filesystem::exists(path)) {
        std::filesystem::create_directories(formats);
        hwp::WriteDocument(templates::MakeTemplateDocument(name), path);
    }
    return path;
}

const std::u16string kPassage =
    u"봄이 오면 산과 들에 꽃이 핀다. 사람들은 겨울 동안 닫아 두었던 창문을 열고, 아이들은 골목으로 "
    u"뛰어나온다. 할머니는 장독대를 닦고, 아버지는 밭에 나가 흙을 고른다. 봄은 이렇게 모든 것을 깨운다.\r\n"
    u"그러나 봄이 늘 반가운 것만은 아니다. 꽃가루가 날리고 황사가 밀려오면 사람들은 다시 창문을 닫는다.";

void Fill(editor::CHwpctrl& pane, const std::string& templateName, const std::u16string& text)
{
    pane.OpenDocument(U16(TemplatePath(templateName)), u"HWP");
    pane.RunAction(u"MoveDocEnd");
    pane.InsertPlainText(QString::fromStdU16String(text));
}

ExamRecord BenchRecord()
{
    ExamRecord record;
    record.m_nExamKey = 12;
    record.m_nExamtextKey = 7;
    record.m_strExamLocal = "local_exam";
    record.m_strExamFolder = BenchFolder() + "/ws/local_exam/ek-12";
    record.m_strExamtextLocal = "local_examtext";
    record.m_strExamtextFolder = BenchFolder() + "/ws/local_examtext/etk-7";
    std::filesystem::create_directories(record.m_strExamFolder);
    std::filesystem::create_directories(record.m_strExamtextFolder);
    return record;
}

void QtRoundTrip(editor::EditorControl& pane, const ExamRecord& record, const std::string& part)
{
    const PageImagePaths paths = PageImagePathsFor(record, part);
    pane.RenderPageImage(U16(paths.bitmap), 0, 600, 24, u"bmp");
    {
        QImageReader::setAllocationLimit(1024);
        const QImage source(QString::fromStdString(paths.bitmap));
        QImage half(source.width() / 2, source.height() / 2, QImage::Format_ARGB32);
        QPainter painter(&half);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, half.width(), half.height()), source);
        painter.end();
        QImageWriter(QString::fromStdString(paths.image), "png").write(half);
    }
    std::remove(paths.bitmap.c_str());
}

void BM_RenderOnly(benchmark::State& state)
{
    editor::CHwpctrl pane;
    Fill(pane, "sf_text_format.hwp", kPassage);
    const std::string bitmap = BenchRecord().m_strExamtextFolder + "/render.bmp";
    for (auto _ : state)
        benchmark::DoNotOptimize(pane.RenderPageImage(U16(bitmap), 0, 600, 24, u"bmp"));
    std::remove(bitmap.c_str());
}

void BM_QtRoundTrip(benchmark::State& state)
{
    editor::CHwpctrl pane;
    Fill(pane, "sf_text_format.hwp", kPassage);
    const ExamRecord record = BenchRecord();
    for (auto _ : state)
        QtRoundTrip(pane, record, "text");
}

void BM_ExportPageImage(benchmark::State& state)
{
    editor::CHwpctrl pane;
    Fill(pane, "sf_text_format.hwp", kPassage);
    const ExamRecord record = BenchRecord();
    for (auto _ : state)
        benchmark::DoNotOptimize(ExportPageImage(pane, record, "text"));
}

// The conversion alone, from a bitmap the pane rendered once.
void BM_ConvertPageBitmap(benchmark::State& state)
{
    editor::CHwpctrl pane;
    Fill(pane, "sf_text_format.hwp", kPassage);
    const ExamRecord record = BenchRecord();
    const std::string master = record.m_strExamtextFolder + "/master.bmp";
    pane.RenderPageImage(U16(master), 0, 600, 24, u"bmp");
    const std::string bitmap = record.m_strExamtextFolder + "/copy.bmp";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(master, bitmap, std::filesystem::copy_options::overwrite_existing);
        state.ResumeTiming();
        benchmark::DoNotOptimize(ConvertPageBitmap(bitmap, record.m_strExamtextFolder + "/copy001.png"));
    }
    std::remove(master.c_str());
}

// The two halves of the conversion.
void BM_HalveBitmap(benchmark::State& state)
{
    editor::CHwpctrl pane;
    Fill(pane, "sf_text_format.hwp", kPassage);
    const std::string master = BenchRecord().m_strExamtextFolder + "/halve.bmp";
    pane.RenderPageImage(U16(master), 0, 600, 24, u"bmp");
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadBitmapHalfSize(master));
    std::remove(master.c_str());
}

void BM_SavePng(benchmark::State& state)
{
    editor::CHwpctrl pane;
    Fill(pane, "sf_text_format.hwp", kPassage);
    const std::string master = BenchRecord().m_strExamtextFolder + "/save.bmp";
    pane.RenderPageImage(U16(master), 0, 600, 24, u"bmp");
    const QImage half = LoadBitmapHalfSize(master);
    std::remove(master.c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(SavePng(half, BenchRecord().m_strExamtextFolder + "/save.png"));
}

// Qt's PNG writer by quality (its zlib level) and pixel layout, for choosing the settings.
void BM_QtPngSettings(benchmark::State& state)
{
    editor::CHwpctrl pane;
    Fill(pane, "sf_text_format.hwp", kPassage);
    const std::string master = BenchRecord().m_strExamtextFolder + "/settings.bmp";
    pane.RenderPageImage(U16(master), 0, 600, 24, u"bmp");
    QImage half = LoadBitmapHalfSize(master);
    std::remove(master.c_str());
    if (state.range(1) != 0)
        half = half.convertToFormat(QImage::Format_RGBA8888);
    const QString path = QString::fromStdString(BenchRecord().m_strExamtextFolder + "/settings.png");
    for (auto _ : state) {
        QImageWriter writer(path, "png");
        writer.setQuality(static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(writer.write(half));
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path.toStdString()));
}

// A save's assembly of an objective question with a passage (six images, the cropper
// hook), the panes filled by `fill` before each run.
using PaneFiller = std::function<void(editor::CHwpctrl& passage, editor::CHwpctrl& question, editor::CHwpctrl& options,
                                      editor::CHwpctrl& answer, editor::CHwpctrl& explain)>;

void RunPreviewAssembly(benchmark::State& state, const PaneFiller& fill)
{
    setenv("VARNEL_PROGRAM_FILES", (BenchFolder() + "/opt").c_str(), 1);
    TemplatePath("sf_preview_format.hwp");
    editor::CHwpctrl passage, question, options, answer, explain, work;
    RecordingView view;
    DialogCore dialog(view, editor::PaneSet{&passage, &question, &options, &answer, &explain, &work});
    dialog.m_pExamRecord = std::make_unique<ExamRecord>(BenchRecord());
    dialog.m_nQuestionType = kQuestionTypeObj;
    int cropped = 0;
    for (auto _ : state) {
        state.PauseTiming();
        fill(passage, question, options, answer, explain);
        state.ResumeTiming();
        benchmark::DoNotOptimize(BuildPreviewDocuments(dialog, true, [&] { ++cropped; }));
    }
    state.counters["cropper"] = cropped;
}

void BM_BuildPreviewDocuments(benchmark::State& state)
{
    RunPreviewAssembly(state, [](editor::CHwpctrl& passage, editor::CHwpctrl& question, editor::CHwpctrl& options,
                                 editor::CHwpctrl& answer, editor::CHwpctrl& explain) {
        Fill(passage, "sf_text_format.hwp", kPassage);
        Fill(question, "sf_exam_format.hwp", u"윗글의 중심 내용으로 가장 알맞은 것은?");
        Fill(options, "sf_obj_format.hwp", u"① 봄꽃\r\n② 창문\r\n③ 겨울\r\n④ 산과 들\r\n⑤ 사람들");
        Fill(answer, "sf_answer_obj_format.hwp", u"①");  // the template holds the label
        Fill(explain, "sf_explain_format.hwp", u"봄이 와서 모든 것이 깨어나는 모습을 그린 글이다.");
    });
}

// The full Korean page as an HWP file in the bench folder, and a pane holding it.
std::string FullPagePath()
{
    const std::string path = BenchFolder() + "/full-page.hwp";
    if (!std::filesystem::exists(path))
        editor::WriteHwpFile(*bench_pages::FullKoreanPage(), path);
    return path;
}

void FillFullPage(editor::CHwpctrl& pane)
{
    pane.OpenDocument(U16(FullPagePath()), u"HWP");
}

// What one full page costs a save: the pane's 600-dpi render into the bitmap, then the
// halving into the PNG.
void BM_FullPageExportPageImage(benchmark::State& state)
{
    editor::CHwpctrl pane;
    FillFullPage(pane);
    const ExamRecord record = BenchRecord();
    for (auto _ : state)
        benchmark::DoNotOptimize(ExportPageImage(pane, record, "text"));
}

void BM_FullPageRenderOnly(benchmark::State& state)
{
    editor::CHwpctrl pane;
    FillFullPage(pane);
    const std::string bitmap = BenchRecord().m_strExamtextFolder + "/full.bmp";
    for (auto _ : state)
        benchmark::DoNotOptimize(pane.RenderPageImage(U16(bitmap), 0, 600, 24, u"bmp"));
    std::remove(bitmap.c_str());
}

// What every pane save adds: the small picture of page 1 the file carries.
void BM_FullPagePreviewImage(benchmark::State& state)
{
    const auto document = editor::ReadHwpFile(FullPagePath());
    for (auto _ : state)
        benchmark::DoNotOptimize(editor::PreviewImageOf(*document));
}

// The same image without the bitmap file (varnel-hwp image).
void BM_FullPageWritePageImage(benchmark::State& state)
{
    const auto document = editor::ReadHwpFile(FullPagePath());
    const std::string image = BenchRecord().m_strExamtextFolder + "/straight.png";
    for (auto _ : state)
        benchmark::DoNotOptimize(WritePageImage(*document, 0, image));
}

// The objects page (tables, pictures, equations) made in a pane once and saved as HWP.
std::string ObjectsPagePath()
{
    const std::string path = BenchFolder() + "/objects-page.hwp";
    if (std::filesystem::exists(path))
        return path;
    const std::string base = BenchFolder() + "/objects-base.hwp";
    editor::WriteHwpFile(*editor::ToEditorDocument(templates::MakeStyledDocument(6)), base);
    editor::CHwpctrl pane;
    pane.OpenDocument(U16(base), u"HWP");
    if (!bench_pages::FillObjectsPage(pane) || !pane.SaveDocumentAs(U16(path), u"HWP")) {
        std::fputs("render_bench: the objects page could not be made\n", stderr);
        std::exit(1);
    }
    return path;
}

// The objects page beside the text page, on the save's path and on varnel-hwp image's.
void BM_ObjectsPageExportPageImage(benchmark::State& state)
{
    editor::CHwpctrl pane;
    pane.OpenDocument(U16(ObjectsPagePath()), u"HWP");
    const ExamRecord record = BenchRecord();
    for (auto _ : state)
        benchmark::DoNotOptimize(ExportPageImage(pane, record, "text"));
    state.counters["pages"] = editor::PagedLayout(pane.Document()).PageCount();
}

void BM_ObjectsPageWritePageImage(benchmark::State& state)
{
    const auto document = editor::ReadHwpFile(ObjectsPagePath());
    const std::string image = BenchRecord().m_strExamtextFolder + "/objects.png";
    for (auto _ : state)
        benchmark::DoNotOptimize(WritePageImage(*document, 0, image));
}

// A save where every part is a full page: six images, the cropper hook, no archives (the
// archives and the cropper itself are measured in bench/store and bench/tolvard).
void BM_BuildPreviewDocumentsFullPages(benchmark::State& state)
{
    RunPreviewAssembly(state, [](editor::CHwpctrl& passage, editor::CHwpctrl& question, editor::CHwpctrl& options,
                                 editor::CHwpctrl& answer, editor::CHwpctrl& explain) {
        for (editor::CHwpctrl* pane : {&passage, &question, &options, &answer, &explain})
            FillFullPage(*pane);
    });
}

} // namespace

BENCHMARK(BM_FullPageExportPageImage)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);
BENCHMARK(BM_FullPageRenderOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);
BENCHMARK(BM_FullPagePreviewImage)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);
BENCHMARK(BM_FullPageWritePageImage)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);
BENCHMARK(BM_ObjectsPageExportPageImage)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);
BENCHMARK(BM_ObjectsPageWritePageImage)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(5);
BENCHMARK(BM_BuildPreviewDocumentsFullPages)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(3);
BENCHMARK(BM_RenderOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_QtRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_ConvertPageBitmap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_HalveBitmap)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SavePng)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_QtPngSettings)->Unit(benchmark::kMillisecond)->Iterations(3)
    ->ArgsProduct({{-1, 0, 50, 80, 90, 100}, {0, 1}});
BENCHMARK(BM_ExportPageImage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
// Process CPU time: the conversions run on a second thread.
BENCHMARK(BM_BuildPreviewDocuments)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime()->Iterations(3);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
