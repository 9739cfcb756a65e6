// varnel-hwp image IN.hwp OUT.png [--page N]   page N (1 = the first, the default) as a save
//                                              exports it: 600 dpi halved, 32-bit PNG
// varnel-hwp pdf IN.hwp OUT.pdf                every page, real text with embedded fonts
#include "tools/varnel-hwp/page_commands.h"

#include "document/hwp_mapping.h"
#include "page/page_render.h"
#include "page/preview_image.h"
#include "hwp/error.h"
#include "hwp/reader.h"
#include "hwpx/reader.h"
#include "render/page_image.h"
#include "render/page_pdf.h"
#include "tools/varnel-hwp/messages.h"

#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int Fail(const std::string& message)
{
    ReportError(message);
    return 1;
}

int PageUsage()
{
    std::fputs("usage: varnel-hwp image IN.hwp OUT.png [--page N]\n"
               "       varnel-hwp pdf IN.hwp OUT.pdf\n",
               stderr);
    return 2;
}

// Fonts and painting need a GUI application; none of it needs a display.
void EnsureApplication()
{
    if (QGuiApplication::instance() != nullptr)
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's notes (no runtime folder and the like) are not the user's business here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "varnel-hwp: %s\n", message.toLocal8Bit().constData());
    });
    static int argc = 1;
    static char name[] = "varnel-hwp";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Why `path` cannot be written, or empty when it looks writable: checked first so a bad
// output path costs no render and gets a reason, not a bare failure.
std::string OutputProblem(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return path + ": is a folder";
    const std::string where = FolderOf(path);
    if (stat(where.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return path + ": no such folder " + where;
    if (access(where.c_str(), W_OK) != 0)
        return path + ": cannot write in " + where + " (" + std::strerror(errno) + ")";
    if (access(path.c_str(), F_OK) == 0 && access(path.c_str(), W_OK) != 0)
        return path + ": " + std::strerror(errno);
    return {};
}

// Reads IN as an editor document; an empty pointer after printing why.
std::unique_ptr<editor::EditorDocument> ReadInput(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        Fail(path + ": " + std::strerror(errno));
        return nullptr;
    }
    if (S_ISDIR(info.st_mode)) {
        Fail(path + ": is a folder");
        return nullptr;
    }
    try {
        return editor::ToEditorDocument(hwpx::ReadAnyDocument(path), editor::TablesShown::AsTables,
                                         editor::PaneLayout::Off);
    } catch (const std::exception& error) {
        Fail(path + ": not a readable HWP document: " + error.what());
        return nullptr;
    }
}

// IN read for writing OUT: an empty pointer after printing why, when IN cannot be read
// or OUT cannot be written.
std::unique_ptr<editor::EditorDocument> ReadInputFor(const std::string& in, const std::string& out)
{
    // Fonts need the application.
    EnsureApplication();
    auto document = ReadInput(in);
    if (!document)
        return nullptr;
    if (const std::string problem = OutputProblem(out); !problem.empty()) {
        Fail(problem);
        return nullptr;
    }
    return document;
}

}  // namespace

std::string PreviewImageFor(const hwp::Document& document)
{
    EnsureApplication();
    try {
        return editor::PreviewImageOf(
            *editor::ToEditorDocument(document, editor::TablesShown::AsTables, editor::PaneLayout::Off));
    } catch (const std::exception&) {
        return {};   // the document is written all the same, without a picture
    }
}

namespace {

bool ParsePage(const char* text, int& page)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > 1000000)
        return false;
    page = static_cast<int>(value);
    return true;
}

int RunImage(int argc, char** argv)
{
    int page = 1;
    if (argc == 6 && std::strcmp(argv[4], "--page") == 0) {
        if (!ParsePage(argv[5], page))
            return Fail(std::string("--page wants a page number from 1, not \"") + argv[5] + "\"");
    } else if (argc != 4) {
        return PageUsage();
    }
    const std::string in = argv[2];
    const std::string out = argv[3];
    auto document = ReadInputFor(in, out);
    if (!document)
        return 1;
    // One layout, as far as the page needs, both counts the pages and paints the page: when
    // it counts too few, it holds them all.
    const std::unique_ptr<editor::PagedLayout> laidOut = editor::PagedLayout::Through(*document, page - 1);
    const editor::PagedLayout& layout = *laidOut;
    const int pages = layout.PageCount();
    if (page > pages)
        return Fail(in + " has " + std::to_string(pages) + (pages == 1 ? " page" : " pages") + "; there is no page " +
                    std::to_string(page));
    if (!WritePageImage(layout, page - 1, out, PngColours::GreyWhenAllGrey))
        return Fail(out + ": could not be written");
    return 0;
}

int RunPdf(int argc, char** argv)
{
    if (argc != 4)
        return PageUsage();
    const std::string in = argv[2];
    const std::string out = argv[3];
    auto document = ReadInputFor(in, out);
    if (!document)
        return 1;
    if (!WriteDocumentPdf(*document, out))
        return Fail(out + ": could not be written");
    return 0;
}

} // namespace

int RunPageCommand(int argc, char** argv)
{
    if (argc < 2)
        return -1;
    const std::string command = argv[1];
    if (command == "image")
        return RunImage(argc, argv);
    if (command == "pdf")
        return RunPdf(argc, argv);
    return -1;
}

int WriteImagePages(const std::string& in, int dpi, const PageChoice& choose)
{
    EnsureApplication();
    auto document = ReadInput(in);
    if (!document)
        return 1;
    const editor::PagedLayout layout(*document);
    std::string complaint;
    const std::vector<ImageOutput> outputs = choose(layout.PageCount(), complaint);
    if (!complaint.empty())
        return Fail(complaint);
    for (const ImageOutput& output : outputs) {
        if (const std::string problem = OutputProblem(output.path); !problem.empty())
            return Fail(problem);
    }
    int status = 0;
    // One queue: a page is halved and compressed while the next one is painted.
    PageImageQueue queue(PngColours::GreyWhenAllGrey);
    const auto written = std::make_unique<bool[]>(outputs.size());
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (!queue.Replace(layout, outputs[i].page - 1, outputs[i].path, dpi, &written[i]))
            status = Fail("page " + std::to_string(outputs[i].page) + " of " + in + " is too large for an image at " +
                          std::to_string(dpi) + " dpi");
    }
    queue.Finish();
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (!written[i] && status == 0)
            status = Fail(outputs[i].path + ": could not be written");
    }
    return status;
}
