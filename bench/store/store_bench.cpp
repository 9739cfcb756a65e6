// The store's share of a save: the question .dat and the archives of a question's
// documents, and restoring them when the question is opened again.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "store/archive.h"
#include "store/exam_writer.h"

namespace {

namespace fs = std::filesystem;

class Scratch {
public:
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "varnel-bench-store-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        m_path = pattern;
    }
    ~Scratch() { fs::remove_all(m_path); }
    std::string Path() const { return m_path.string(); }

private:
    fs::path m_path;
};

// HWP bodies compress moderately: text-like runs with some noise.
std::string DocumentBytes(std::size_t size, unsigned seed)
{
    std::mt19937 engine(seed);
    std::string bytes;
    bytes.reserve(size);
    const std::string words[] = {"문제 ", "정답 ", "해설 ", "보기 ", "지문 ", "\x01\x02\x03\x04"};
    while (bytes.size() < size) {
        bytes += words[engine() % 6];
        if (engine() % 4 == 0)
            bytes += static_cast<char>(engine() & 0xff);
    }
    bytes.resize(size);
    return bytes;
}

const std::vector<std::string> kDocuments = {"obj-exam.hwp", "obj-objective.hwp", "obj-answer.hwp", "obj-explain.hwp"};

void FillQuestionFolder(const std::string& folder)
{
    unsigned seed = 1;
    for (const std::string& name : kDocuments) {
        std::ofstream out(folder + "/" + name, std::ios::binary);
        out << DocumentBytes(120 * 1024, seed++);
    }
}

void BM_PackQuestionDocuments(benchmark::State& state)
{
    Scratch scratch;
    FillQuestionFolder(scratch.Path());
    for (auto _ : state)
        benchmark::DoNotOptimize(PackArchive(12, kDocuments, "exam", scratch.Path()));
}
BENCHMARK(BM_PackQuestionDocuments)->Unit(benchmark::kMillisecond);

void BM_UnpackQuestionDocuments(benchmark::State& state)
{
    Scratch scratch;
    FillQuestionFolder(scratch.Path());
    PackArchive(12, kDocuments, "exam", scratch.Path());
    for (auto _ : state)
        benchmark::DoNotOptimize(UnpackArchive(scratch.Path(), "12-exam.zip"));
}
BENCHMARK(BM_UnpackQuestionDocuments)->Unit(benchmark::kMillisecond);

void BM_WriteExamRecord(benchmark::State& state)
{
    Scratch scratch;
    ExamRecord record;
    record.m_nExamKey = 12;
    record.m_nExamtextKey = 7;
    record.m_strExamFolder = scratch.Path();
    record.m_strExamtextFolder = scratch.Path();
    record.m_strExamtextLocal = "local_examtext";
    record.m_strDifficulty = "d2";
    record.m_pObjHeights = std::make_unique<ExamHeights>();
    record.m_pTextHeights = std::make_unique<TextHeights>();
    TypeControlsState controls;
    controls.objButtonImage = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteExamRecord(record, controls));
}
BENCHMARK(BM_WriteExamRecord)->Unit(benchmark::kMillisecond);

} // namespace
