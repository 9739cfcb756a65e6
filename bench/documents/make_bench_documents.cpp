// make_bench_documents KIND N OUT.hwp: the growth benchmarks' documents, for timing the
// command line by hand. KIND is text (N pages), table (one table of N rows) or pictures
// (N photographs of about 2 MB).
#include "bench/documents/bench_documents.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    bench_documents::Kind kind{};
    const int count = argc == 4 ? std::atoi(argv[2]) : 0;
    if (argc != 4 || !bench_documents::KindFromName(argv[1], kind) || count < 1 || count > 5000) {
        std::fprintf(stderr, "usage: make_bench_documents text|table|pictures N OUT.hwp\n");
        return 2;
    }
    std::string error;
    if (!bench_documents::WriteDocument(kind, count, argv[3], error)) {
        std::fprintf(stderr, "make_bench_documents: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
