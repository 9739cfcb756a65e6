// Writes the full Korean page of the benchmarks as an HWP file, for bench/page_peers.sh.
//   make_bench_page OUT.hwp
#include "bench/render/full_page.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: make_bench_page OUT.hwp\n", stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (!editor::WriteHwpFile(*bench_pages::FullKoreanPage(), argv[1])) {
        std::fprintf(stderr, "make_bench_page: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
