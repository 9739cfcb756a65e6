// From nothing to the main dialog on screen with a new question in its panes: the
// dialog, its six panes, the templates and pictures from the staged install folder.
// The application object exists already (its start is the platform's, not ours).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>

#include <cstdlib>

#include "app/varnel_dlg.h"

namespace {

void BM_DialogOnScreen(benchmark::State& state)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("VARNEL_PROGRAM_FILES", VARNEL_STAGE_PREFIX, 1);
    const QString data = QDir::tempPath() + "/varnel-bench-startup";
    setenv("XDG_DATA_HOME", data.toLocal8Bit().constData(), 1);
    static int argc = 1;
    static char name[] = "bench_startup";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    for (auto _ : state) {
        CVarnelDlg dialog([] { return QSize(1920, 1080); });
        dialog.Core().m_applyLaunchRecord = [&dialog] {
            dialog.Core().StartNewQuestion();
            return true;
        };
        dialog.OnInitDialog();
        dialog.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(dialog.isVisible());
    }
    QDir(data).removeRecursively();
}
BENCHMARK(BM_DialogOnScreen)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
