// A whole save from the dialog where every part is a full page of Korean text: an
// objective question with a passage (six page images, the cropper as its own process
// over its channel, four archives and the record), the figure a teacher waits for.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QMessageBox>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/varnel_dlg.h"
#include "bench/render/full_page.h"
#include "document/hwp_mapping.h"
#include "editor/hwpctrl.h"
#include "support/launch_values.h"

namespace {

namespace fs = std::filesystem;
using namespace dlg;

void BM_SaveFullPagesQuestion(benchmark::State& state)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("VARNEL_PROGRAM_FILES", VARNEL_STAGE_PREFIX, 1);
    const fs::path data = fs::temp_directory_path() / "varnel-bench-save";
    fs::remove_all(data);
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    g_schoolKey = 5;
    g_userKey = 6;
    static int argc = 1;
    static char name[] = "bench_save";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;

    fs::create_directories(data);
    const std::string page = (data / "full-page.hwp").string();
    editor::WriteHwpFile(*bench_pages::FullKoreanPage(), page);

    // Any message box means the save did not go through quietly: answered, and counted.
    int boxes = 0;
    QTimer answerer;
    answerer.setInterval(20);
    QObject::connect(&answerer, &QTimer::timeout, [&boxes] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            ++boxes;
            box->buttons().value(0)->click();
        }
    });
    answerer.start();

    CVarnelDlg dialog([] { return QSize(1920, 1080); });
    dialog.Core().m_applyLaunchRecord = [&dialog] {
        dialog.Core().StartNewQuestion();
        return true;
    };
    dialog.OnInitDialog();
    static_cast<QCheckBox*>(dialog.Control(IDC_HAS_PASSAGE))->click();
    const std::u16string path = QString::fromStdString(page).toStdU16String();
    for (auto _ : state) {
        state.PauseTiming();
        for (int id : {IDC_PANE_PASSAGE, IDC_PANE_QUESTION, IDC_PANE_OPTIONS, IDC_PANE_ANSWER, IDC_PANE_EXPLAIN})
            dialog.Pane(id)->OpenDocument(path, u"HWP");
        QTextCursor(dialog.Pane(IDC_PANE_ANSWER)->TextView()->document()).insertText(QStringLiteral("정답 : ③\n"));
        state.ResumeTiming();
        dialog.m_onSave();
    }
    if (boxes > 0)
        state.SkipWithError("the save showed a message");
    state.counters["records"] = static_cast<double>(fs::exists(data / "korvane/telquin/5/6/local_exam/ek-1/1.dat"));
    fs::remove_all(data);
}
BENCHMARK(BM_SaveFullPagesQuestion)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
