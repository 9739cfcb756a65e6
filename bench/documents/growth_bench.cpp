// What each command costs as a document grows: N pages of text, one table of N rows, N
// photographs. `varnel-hwp text`, `rewrite`, `image --page 1` and `pdf` are timed as whole
// processes (wall time; peak_MB is the process's largest resident set, measured by GNU
// time), and the save of a question part holding the document (its HWP and its first
// page image) in process.
#include "bench/documents/bench_documents.h"
#include "document/editor_document.h"
#include "document/hwp_mapping.h"
#include "render/page_image.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

using bench_documents::Kind;

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "growth_bench";
    static char* argv[] = {name, nullptr};
    if (QGuiApplication::instance() == nullptr) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(argc, argv);
    }
}

QTemporaryDir& Folder()
{
    static auto* folder = new QTemporaryDir;
    return *folder;
}

// The document of `kind` and `count`, written once per program run.
const std::string& DocumentPath(Kind kind, int count)
{
    static std::map<std::pair<Kind, int>, std::string> paths;
    const auto key = std::make_pair(kind, count);
    if (auto found = paths.find(key); found != paths.end())
        return found->second;
    EnsureApplication();
    static const char* const names[] = {"text", "table", "pictures"};
    const std::string path =
        Folder().filePath(QStringLiteral("%1-%2.hwp").arg(names[static_cast<int>(kind)]).arg(count)).toStdString();
    std::string error;
    if (!bench_documents::WriteDocument(kind, count, path, error))
        std::fprintf(stderr, "growth_bench: %s\n", error.c_str());
    return paths.emplace(key, path).first->second;
}

// Runs varnel-hwp with `arguments` under GNU time, whose child starts small: a child of
// this process would count this process's memory in its own peak (it is inherited
// across fork and exec). The child's peak resident set in MB, 0 when time is missing,
// or -1 when the command failed; `cpu`: its user and system seconds, when time is there.
double RunTool(const std::vector<std::string>& arguments, double& cpu)
{
    static const bool timed = access("/usr/bin/time", X_OK) == 0;
    const std::string peakFile = Folder().filePath("peak.txt").toStdString();
    std::vector<std::string> words;
    if (timed)
        words = {"/usr/bin/time", "-f", "%M %U %S", "-o", peakFile};
    words.push_back(VARNEL_HWP_PROGRAM);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int failed = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        return -1;
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    if (!timed)
        return 0;
    std::FILE* file = std::fopen(peakFile.c_str(), "r");
    long kilobytes = 0;
    double user = 0;
    double system = 0;
    if (file != nullptr) {
        if (std::fscanf(file, "%ld %lf %lf", &kilobytes, &user, &system) != 3)
            kilobytes = 0;
        cpu = user + system;
        std::fclose(file);
    }
    return kilobytes / 1024.0;
}

void TimeCommand(benchmark::State& state, Kind kind, const std::string& command)
{
    const int count = static_cast<int>(state.range(0));
    const std::string& input = DocumentPath(kind, count);
    std::vector<std::string> arguments{command, input};
    if (command == "rewrite")
        arguments.push_back(Folder().filePath("out.hwp").toStdString());
    else if (command == "pdf")
        arguments.push_back(Folder().filePath("out.pdf").toStdString());
    else if (command == "image")
        arguments.insert(arguments.end(), {Folder().filePath("out.png").toStdString(), "--page", "1"});
    double peak = 0;
    double cpu = 0;
    for (auto _ : state) {
        double seconds = 0;
        const double used = RunTool(arguments, seconds);
        if (used < 0) {
            state.SkipWithError("varnel-hwp failed");
            return;
        }
        peak = std::max(peak, used);
        cpu += seconds;
    }
    state.counters["peak_MB"] = peak;
    state.counters["cpu_s"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
    state.counters["file_MB"] = QFileInfo(QString::fromStdString(input)).size() / 1e6;
    state.SetComplexityN(count);
}

// The save of a question part that holds the document: its HWP written and its first page
// image exported, from the pane's document read once.
void TimeSave(benchmark::State& state, Kind kind)
{
    const int count = static_cast<int>(state.range(0));
    const std::string& input = DocumentPath(kind, count);
    const auto document = editor::ReadHwpFile(input);
    if (!document) {
        state.SkipWithError("read failed");
        return;
    }
    const std::string part = Folder().filePath("part.hwp").toStdString();
    const std::string image = Folder().filePath("part.png").toStdString();
    for (auto _ : state) {
        if (!editor::WriteHwpFile(*document, part) || !WritePageImage(*document, 0, image)) {
            state.SkipWithError("save failed");
            return;
        }
    }
    state.SetComplexityN(count);
}

void Sizes(benchmark::internal::Benchmark* bench, std::initializer_list<int> counts)
{
    for (int count : counts)
        bench->Arg(count);
    bench->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true);
}

void TextSizes(benchmark::internal::Benchmark* bench) { Sizes(bench, {5, 20, 60}); }
void TableSizes(benchmark::internal::Benchmark* bench) { Sizes(bench, {10, 100, 200, 400}); }
void PictureSizes(benchmark::internal::Benchmark* bench) { Sizes(bench, {5, 10, 40}); }

}  // namespace

#define VARNEL_GROWTH(kind, sizes)                                                                           \
    BENCHMARK_CAPTURE(TimeCommand, kind##_text, Kind::kind, "text")->Apply(sizes);                          \
    BENCHMARK_CAPTURE(TimeCommand, kind##_rewrite, Kind::kind, "rewrite")->Apply(sizes);                    \
    BENCHMARK_CAPTURE(TimeCommand, kind##_image_page1, Kind::kind, "image")->Apply(sizes);                  \
    BENCHMARK_CAPTURE(TimeCommand, kind##_pdf, Kind::kind, "pdf")->Apply(sizes);                            \
    BENCHMARK_CAPTURE(TimeSave, kind##_save_part, Kind::kind)->Apply(sizes)

VARNEL_GROWTH(TextPages, TextSizes);
VARNEL_GROWTH(TableRows, TableSizes);
VARNEL_GROWTH(Pictures, PictureSizes);
