// varnel-export: saved questions as a QTI 3.0 package or a Moodle XML quiz file;
// `varnel-export --help` and the manual page varnel-export(1) say how.
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_error.h"
#include "export/item_export.h"

namespace {

bool KoreanLocale()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return std::string_view(value).starts_with("ko");
    }
    return false;
}

const char* Say(const char* english, const char* korean) { return KoreanLocale() ? korean : english; }

int Usage(FILE* out, int status)
{
    std::fputs(Say("usage: varnel-export --qti OUT.zip QUESTION.dat...\n"
                   "       varnel-export --moodle OUT.xml QUESTION.dat...\n"
                   "Writes the saved questions (each .dat with the part documents beside it and its passage)\n"
                   "as one QTI 3.0 content package or one Moodle XML quiz file.\n",
                   "사용법: varnel-export --qti 출력.zip 문제.dat...\n"
                   "        varnel-export --moodle 출력.xml 문제.dat...\n"
                   "저장된 문제(.dat와 그 옆의 문서, 지문)를 QTI 3.0 패키지 하나나 Moodle XML 퀴즈 파일 하나로 씁니다.\n"),
               out);
    return status;
}

// Fonts of the documents' formats need a GUI application; none of it needs a display.
void MakeApplication()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "varnel-export: %s\n", message.toLocal8Bit().constData());
    });
    static int argc = 1;
    static char name[] = "varnel-export";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) return Usage(stdout, 0);
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("varnel-export %s\n", VARNEL_VERSION);
        return 0;
    }
    if (args.size() < 3 || (args[0] != "--qti" && args[0] != "--moodle")) return Usage(stderr, 2);
    const std::vector<std::string> questions(args.begin() + 2, args.end());
    MakeApplication();
    try {
        if (args[0] == "--qti") item_export::ExportQti(questions, args[1]);
        else item_export::ExportMoodle(questions, args[1]);
    } catch (const item_export::ExportError& error) {
        std::fprintf(stderr, "varnel-export: %s: %s\n", error.Path().c_str(),
                     (KoreanLocale() ? error.Korean() : error.English()).c_str());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "varnel-export: %s\n", error.what());
        return 1;
    }
    return 0;
}
