// Typesetting one equation: the quadratic formula (a typical exam equation: fraction,
// root, scripts, signs) parsed and laid out with the real fonts, as the editor does for
// each equation it shows; the fonts are loaded once, as the editor keeps them.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "math/layout.h"
#include "math/qt_font.h"

namespace {

const math::QtMathFont& Font()
{
    static int argc = 1;
    static char name[] = "bench_math";
    static char* argv[] = {name, nullptr};
    if (!QGuiApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static QGuiApplication* app = new QGuiApplication(argc, argv);
        (void)app;
    }
    return math::QtMathFont::Shared();
}

constexpr char16_t kQuadratic[] = u"x = {-b +- sqrt {b^2 - 4ac}} over {2a}";
constexpr char16_t kLong[] =
    u"lim from {n -> inf} sum from {k=1} to n {1} over {n} LEFT ( 1 + {k} over {n} RIGHT ) ^2 = int from 0 to 1 "
    u"(1+x)^2 dx = 7 over 3";

void BM_TypesetQuadraticFormula(benchmark::State& state)
{
    const math::QtMathFont& font = Font();
    for (auto _ : state) benchmark::DoNotOptimize(math::Typeset(kQuadratic, font));
}
BENCHMARK(BM_TypesetQuadraticFormula)->Unit(benchmark::kMicrosecond);

void BM_TypesetLimitOfASum(benchmark::State& state)
{
    const math::QtMathFont& font = Font();
    for (auto _ : state) benchmark::DoNotOptimize(math::Typeset(kLong, font));
}
BENCHMARK(BM_TypesetLimitOfASum)->Unit(benchmark::kMicrosecond);

void BM_ParseQuadraticFormula(benchmark::State& state)
{
    for (auto _ : state) benchmark::DoNotOptimize(math::ParseScript(kQuadratic));
}
BENCHMARK(BM_ParseQuadraticFormula)->Unit(benchmark::kMicrosecond);

// A font object made for each equation: what the first equation of a session costs.
void BM_TypesetWithFreshFonts(benchmark::State& state)
{
    Font();
    for (auto _ : state) {
        const math::QtMathFont font;
        benchmark::DoNotOptimize(math::Typeset(kQuadratic, font));
    }
}
BENCHMARK(BM_TypesetWithFreshFonts)->Unit(benchmark::kMillisecond);

}  // namespace
