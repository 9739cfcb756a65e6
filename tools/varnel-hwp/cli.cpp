#include "tools/varnel-hwp/cli.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "hwp/reader.h"
#include "hwp/writer.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"
#include "support/files.h"
#include "tools/varnel-hwp/document_commands.h"
#include "tools/varnel-hwp/messages.h"
#ifdef VARNEL_HWP_PAGES
#include "render/page_image.h"
#include "tools/varnel-hwp/page_commands.h"
#else
constexpr int kImageDpi = 300;
constexpr int kMinImageDpi = 24;
constexpr int kMaxImageDpi = 1200;
#endif

namespace {

const char* const kHelpEnglish =
    "usage: varnel-hwp COMMAND [OPTIONS] FILE...\n"
    "       varnel-hwp --help | --version\n"
    "\n"
    "Reads HWP 5.0 and HWPX documents (told apart by their content) and prints, draws,\n"
    "rewrites or converts them.\n"
    "\n"
    "Commands:\n"
    "  text FILE...             the text: a line per paragraph, then the text inside its objects\n"
    "  info FILE...             version, flags, table sizes and the page of each section\n"
    "  image IN OUT.png         one page as a PNG image: the first, or --page N\n"
    "  image -o DIR FILE...     DIR/NAME-N.png for every page, or for the pages of --pages\n"
    "  pdf IN OUT.pdf           every page as a PDF, with real text in embedded fonts\n"
    "  pdf -o DIR FILE...       DIR/NAME.pdf for each document\n"
    "  rewrite IN OUT.hwp       the document read and written again by Varnel's writer\n"
    "  rewrite -o DIR FILE...   DIR/NAME.hwp for each document\n"
    "  convert IN OUT           IN written as OUT's format: OUT.hwp or OUT.hwpx\n"
    "\n"
    "Options:\n"
    "  -o, --output DIR  write a file for each document into DIR (made when missing); text\n"
    "                    and info write DIR/NAME.txt and DIR/NAME.info.txt\n"
    "  --pages LIST      image: pages such as 2, 1-3, 1,4 or 5- (to the end); a range past a\n"
    "                    document's last page stops there\n"
    "  --page N          image: page N\n"
    "  --dpi N           image: resolution from 24 to 1200 (300, as the editor saves them)\n"
    "  -h, --help        this help\n"
    "  -V, --version     the program's version\n"
    "\n"
    "NAME is the document's file name without \".hwp\" or \".hwpx\". A document that cannot be read is\n"
    "reported and the others are still done.\n"
    "\n"
    "Exit status: 0 everything was done; 1 a document could not be read or an output could\n"
    "not be written; 2 the command line is wrong (nothing was done).\n"
    "\n"
    "Messages are in Korean when the locale (LC_ALL, LC_MESSAGES or LANG) is Korean, such as\n"
    "ko_KR.UTF-8.\n";

const char* const kHelpKorean =
    "사용법: varnel-hwp 명령 [옵션] 파일...\n"
    "        varnel-hwp --help | --version\n"
    "\n"
    "HWP 5.0과 HWPX 문서(내용으로 가림)를 읽어 글자로 보이거나, 그림과 PDF로 그리거나,\n"
    "다시 쓰거나, 다른 형식으로 바꿉니다.\n"
    "\n"
    "명령:\n"
    "  text 파일...             글자: 문단마다 한 줄, 이어서 문단 안 개체의 글자\n"
    "  info 파일...             판, 플래그, 표의 크기, 구역마다의 쪽 설정\n"
    "  image 입력 출력.png      한 쪽을 PNG 그림으로: 첫 쪽, 또는 --page N\n"
    "  image -o 폴더 파일...    모든 쪽(또는 --pages의 쪽)을 폴더/이름-N.png로\n"
    "  pdf 입력 출력.pdf        모든 쪽을 PDF로: 글자는 글꼴을 넣은 진짜 글자\n"
    "  pdf -o 폴더 파일...      문서마다 폴더/이름.pdf\n"
    "  rewrite 입력 출력.hwp    문서를 읽어 Varnel의 쓰기로 다시 씀\n"
    "  rewrite -o 폴더 파일...  문서마다 폴더/이름.hwp\n"
    "  convert 입력 출력        입력을 출력의 형식으로: 출력.hwp 또는 출력.hwpx\n"
    "\n"
    "옵션:\n"
    "  -o, --output 폴더  문서마다 파일 하나를 폴더에 씀(없으면 만듦); text와 info는\n"
    "                     폴더/이름.txt와 폴더/이름.info.txt\n"
    "  --pages 목록       image: 2, 1-3, 1,4, 5-(끝까지) 같은 쪽; 문서의 끝을 넘는 범위는\n"
    "                     끝에서 멈춤\n"
    "  --page N           image: N쪽\n"
    "  --dpi N            image: 해상도 24~1200 (편집기가 저장하는 그림은 300)\n"
    "  -h, --help         이 도움말\n"
    "  -V, --version      프로그램의 판\n"
    "\n"
    "이름은 문서 파일 이름에서 \".hwp\"나 \".hwpx\"를 뺀 것입니다. 읽을 수 없는 문서는 알리고\n"
    "나머지 문서는 그대로 처리합니다.\n"
    "\n"
    "종료 상태: 0 모두 처리함; 1 읽을 수 없는 문서나 쓸 수 없는 출력이 있음;\n"
    "2 명령줄이 잘못됨(아무것도 하지 않음).\n"
    "\n"
    "로캘(LC_ALL, LC_MESSAGES, LANG)이 한국어(ko_KR.UTF-8 등)이면 메시지가 한국어입니다.\n";

int UsageError(const std::string& complaint)
{
    std::fprintf(stderr, "varnel-hwp: %s\n%s\n", complaint.c_str(),
                 Say("usage: varnel-hwp COMMAND [OPTIONS] FILE... (see varnel-hwp --help)",
                     "사용법: varnel-hwp 명령 [옵션] 파일... (varnel-hwp --help 참고)"));
    return kUsage;
}

std::optional<int> ParseNumber(std::string_view text, int low, int high)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool IsCommand(const std::string& word)
{
    return word == "text" || word == "info" || word == "rewrite" || word == "convert" || word == "image" ||
           word == "pdf";
}

std::string CheckOptionsFit(Invocation& invocation, const std::vector<std::string>& operands)
{
    const bool image = invocation.command == "image";
    if (!image && (invocation.dpi || invocation.page || !invocation.pages.empty()))
        return Say("--dpi, --page and --pages belong to image", "--dpi, --page, --pages는 image의 옵션입니다");
    if (invocation.page && !invocation.pages.empty())
        return Say("give either --page or --pages", "--page와 --pages 중 하나만 주십시오");
    if (operands.empty())
        return Say("no document named", "문서를 주지 않았습니다");
    const bool printed = invocation.command == "text" || invocation.command == "info";
    if (invocation.command == "convert" && !invocation.outputFolder.empty())
        return Say("convert takes IN OUT, without -o", "convert에는 -o 없이 입력과 출력을 주십시오");
    if (!invocation.outputFolder.empty() || printed) {
        invocation.inputs = operands;
        return {};
    }
    if (operands.size() != 2)
        return std::string(Say("give IN OUT, or -o DIR and the documents", "입력과 출력, 또는 -o 폴더와 문서들을 주십시오"));
    if (invocation.pages.size() > 1 || (!invocation.pages.empty() && invocation.pages[0].first != invocation.pages[0].last))
        return Say("several pages need -o DIR", "여러 쪽은 -o 폴더와 함께 주십시오");
    invocation.inputs = {operands[0]};
    invocation.output = operands[1];
    return {};
}

} // namespace

std::optional<std::vector<PageRange>> ParsePageList(const std::string& text)
{
    std::vector<PageRange> ranges;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        const std::string_view item(text.data() + at, comma - at);
        const std::size_t dash = item.find('-');
        PageRange range;
        const auto first = ParseNumber(item.substr(0, dash), 1, 1000000);
        if (!first)
            return std::nullopt;
        range.first = range.last = *first;
        if (dash != std::string_view::npos) {
            const std::string_view rest = item.substr(dash + 1);
            const auto last = rest.empty() ? std::optional<int>(0) : ParseNumber(rest, *first, 1000000);
            if (!last)
                return std::nullopt;
            range.last = *last;
        }
        ranges.push_back(range);
        at = comma + 1;
    }
    return ranges;
}

std::vector<int> SelectPages(const std::vector<PageRange>& ranges, int pageCount, const std::string& document,
                             std::string& complaint)
{
    const auto missing = [&](int page) {
        complaint = document + " has " + std::to_string(pageCount) + (pageCount == 1 ? " page" : " pages") +
                    "; there is no page " + std::to_string(page);
        return std::vector<int>();
    };
    std::vector<int> pages;
    std::set<int> seen;
    for (const PageRange& range : ranges) {
        if (range.first == range.last && range.first > pageCount)
            return missing(range.first);
        const int last = range.last == 0 ? pageCount : std::min(range.last, pageCount);
        for (int page = range.first; page <= last; ++page) {
            if (seen.insert(page).second)
                pages.push_back(page);
        }
    }
    if (pages.empty())
        return missing(ranges.empty() ? 1 : ranges.front().first);
    return pages;
}

std::string OutputName(const std::string& input, const std::string& suffix)
{
    std::string name = std::filesystem::path(input).filename().string();
    for (const std::string ending : {".hwp", ".hwpx"}) {
        if (name.size() <= ending.size())
            continue;
        std::string tail = name.substr(name.size() - ending.size());
        for (char& c : tail)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == ending) {
            name.resize(name.size() - ending.size());
            break;
        }
    }
    return name + suffix;
}

std::string ParseCommandLine(const std::vector<std::string>& arguments, Invocation& invocation)
{
    invocation = {};
    std::vector<std::string> operands;
    bool optionsEnd = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string word = arguments[i];
        if (optionsEnd || word == "-" || !word.starts_with("-")) {
            if (invocation.command.empty()) {
                if (!IsCommand(word))
                    return Say("unknown command ", "모르는 명령 ") + Quoted(word);
                invocation.command = word;
            } else {
                operands.push_back(word);
            }
            continue;
        }
        if (word == "--") {
            optionsEnd = true;
            continue;
        }
        if (word == "-h" || word == "--help") {
            invocation.kind = Invocation::Kind::Help;
            return {};
        }
        if (word == "-V" || word == "--version") {
            invocation.kind = Invocation::Kind::Version;
            return {};
        }
        std::optional<std::string> value;
        if (const auto eq = word.find('='); word.starts_with("--") && eq != std::string::npos) {
            value = word.substr(eq + 1);
            word.resize(eq);
        }
        const bool known = word == "-o" || word == "--output" || word == "--dpi" || word == "--page" || word == "--pages";
        if (!known)
            return Say("unknown option ", "모르는 옵션 ") + Quoted(word);
        if (!value) {
            if (i + 1 >= arguments.size())
                return word + Say(" needs a value", "에 값을 주십시오");
            value = arguments[++i];
        }
        if (word == "-o" || word == "--output") {
            if (value->empty())
                return word + Say(" needs a folder", "에 폴더를 주십시오");
            invocation.outputFolder = *value;
        } else if (word == "--dpi") {
            invocation.dpi = ParseNumber(*value, kMinImageDpi, kMaxImageDpi);
            if (!invocation.dpi)
                return Say("--dpi takes a number from 24 to 1200, not ", "--dpi에는 24부터 1200까지의 수를 주십시오: ") +
                       Quoted(*value);
        } else if (word == "--page") {
            invocation.page = *value;
        } else {
            const auto pages = ParsePageList(*value);
            if (!pages)
                return Say("--pages takes pages such as 2, 1-3, 1,4 or 5-, not ",
                           "--pages에는 2, 1-3, 1,4, 5- 같은 쪽을 주십시오: ") + Quoted(*value);
            invocation.pages = *pages;
        }
    }
    if (invocation.command.empty())
        return Say("no command given", "명령을 주지 않았습니다");
    // With -o the page is one of the pages; alone it keeps its old meaning and messages.
    if (invocation.page && !invocation.outputFolder.empty()) {
        const auto page = ParseNumber(*invocation.page, 1, 1000000);
        if (!page)
            return Say("--page takes a page number from 1, not ", "--page에는 1부터의 쪽 번호를 주십시오: ") +
                   Quoted(*invocation.page);
        invocation.pages = {{*page, *page}};
        invocation.page.reset();
    }
    return CheckOptionsFit(invocation, operands);
}

namespace {

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat first {}, second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// The output folder, made when missing: empty when it can be written in, else why not.
std::string PrepareFolder(const std::string& folder)
{
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0)
        return folder + ": " + std::strerror(errno);
    if (!S_ISDIR(info.st_mode))
        return folder + ": is not a folder";
    if (access(folder.c_str(), W_OK) != 0)
        return folder + ": cannot write in " + folder + " (" + std::strerror(errno) + ")";
    return {};
}

int Fail(const std::string& message)
{
    ReportError(message);
    return kBadInput;
}

// A document that could not be read or written, named once.
int DocumentFailure(const std::string& path, const std::string& what)
{
    return Fail(what.starts_with(path) ? what : path + ": " + what);
}

// Output names handed out in this run: two documents of one name in different folders
// must not write over each other's output.
class Claims {
public:
    bool Take(const std::string& input, const std::string& output)
    {
        if (m_taken.insert(output).second)
            return true;
        Fail(input + ": " + output + " is written for an earlier document already");
        return false;
    }

private:
    std::set<std::string> m_taken;
};

std::string InFolder(const Invocation& invocation, const std::string& input, const std::string& suffix)
{
    return (std::filesystem::path(invocation.outputFolder) / OutputName(input, suffix)).string();
}

int RunPrinted(const Invocation& invocation)
{
    const bool text = invocation.command == "text";
    int status = kDone;
    Claims claims;
    for (std::size_t i = 0; i < invocation.inputs.size(); ++i) {
        const std::string& input = invocation.inputs[i];
        std::string printed;
        try {
            const hwp::Document document = hwpx::ReadAnyDocument(input);
            printed = text ? DocumentText(document) : DocumentInfo(document);
        } catch (const std::exception& error) {
            status = DocumentFailure(input, error.what());
            continue;
        }
        if (invocation.outputFolder.empty()) {
            if (invocation.inputs.size() > 1)
                std::printf("%s==> %s <==\n", i == 0 ? "" : "\n", input.c_str());
            std::fwrite(printed.data(), 1, printed.size(), stdout);
            continue;
        }
        const std::string output = InFolder(invocation, input, text ? ".txt" : ".info.txt");
        if (!claims.Take(input, output))
            status = kBadInput;
        else if (!WriteWholeFile(output, printed))
            status = Fail(output + ": could not be written");
    }
    if (std::fflush(stdout) != 0)
        status = kBadInput;
    return status;
}

// A picture of page 1 for the file's preview, where this build draws pages.
std::string PreviewOf([[maybe_unused]] const hwp::Document& document)
{
#ifdef VARNEL_HWP_PAGES
    return PreviewImageFor(document);
#else
    return {};
#endif
}

int Rewrite(const std::string& input, const std::string& output)
{
    try {
        const hwp::Document document = hwpx::ReadAnyDocument(input);
        hwp::WriteDocument(document, output, PreviewOf(document));
    } catch (const std::exception& error) {
        return DocumentFailure(input, error.what());
    }
    return kDone;
}

// OUT's extension chooses the format; the input's is told by its content.
int Convert(const std::string& input, const std::string& output)
{
    std::string extension = std::filesystem::path(output).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension != ".hwp" && extension != ".hwpx")
        return Fail(output + Say(": name the output .hwp or .hwpx", ": 출력 이름은 .hwp나 .hwpx로 끝나야 합니다"));
    if (SameFile(input, output))
        return Fail(input + ": " + output + Say(" is the document itself", " 은(는) 그 문서 자신입니다"));
    try {
        const hwp::Document document = hwpx::ReadAnyDocument(input);
        if (extension == ".hwpx")
            hwpx::WriteHwpx(document, output);
        else
            hwp::WriteDocument(document, output, PreviewOf(document));
    } catch (const std::exception& error) {
        return DocumentFailure(input, error.what());
    }
    return kDone;
}

int RunRewrite(const Invocation& invocation)
{
    if (invocation.outputFolder.empty())
        return Rewrite(invocation.inputs[0], invocation.output);
    int status = kDone;
    Claims claims;
    for (const std::string& input : invocation.inputs) {
        const std::string output = InFolder(invocation, input, ".hwp");
        if (!claims.Take(input, output))
            status = kBadInput;
        else if (SameFile(input, output))
            status = Fail(input + ": " + output + " is the document itself");
        else if (Rewrite(input, output) != kDone)
            status = kBadInput;
    }
    return status;
}

#ifdef VARNEL_HWP_PAGES
// OLE2's signature: what an HWP 5.0 document starts with.
bool LooksLikeHwp(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    char head[8] = {};
    return file.read(head, sizeof head) && std::memcmp(head, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0;
}

int RunPageCommand(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "varnel-hwp");
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    return ::RunPageCommand(static_cast<int>(arguments.size()), argv.data());
}

// Two documents given without -o write the second over the first: refused.
bool RefuseDocumentAsOutput(const Invocation& invocation)
{
    if (!LooksLikeHwp(invocation.output) && !hwpx::IsHwpxFile(invocation.output))
        return false;
    UsageError(invocation.output + Say(" is an HWP document, not the output: for several documents give -o DIR",
                                       " 은(는) 출력이 아니라 HWP 문서입니다: 여러 문서는 -o 폴더와 함께 주십시오"));
    return true;
}

int RunPdf(const Invocation& invocation)
{
    if (invocation.outputFolder.empty()) {
        if (RefuseDocumentAsOutput(invocation))
            return kUsage;
        return RunPageCommand({"pdf", invocation.inputs[0], invocation.output});
    }
    int status = kDone;
    Claims claims;
    for (const std::string& input : invocation.inputs) {
        const std::string output = InFolder(invocation, input, ".pdf");
        if (!claims.Take(input, output) || RunPageCommand({"pdf", input, output}) != kDone)
            status = kBadInput;
    }
    return status;
}

int RunImage(const Invocation& invocation)
{
    if (invocation.outputFolder.empty()) {
        if (RefuseDocumentAsOutput(invocation))
            return kUsage;
        if (!invocation.dpi) {
            std::vector<std::string> arguments = {"image", invocation.inputs[0], invocation.output};
            if (invocation.page)
                arguments.insert(arguments.end(), {"--page", *invocation.page});
            else if (!invocation.pages.empty())
                arguments.insert(arguments.end(), {"--page", std::to_string(invocation.pages[0].first)});
            return RunPageCommand(arguments);
        }
        int page = 1;
        if (invocation.page) {
            const auto number = ParseNumber(*invocation.page, 1, 1000000);
            if (!number)
                return Fail("--page wants a page number from 1, not \"" + *invocation.page + "\"");
            page = *number;
        } else if (!invocation.pages.empty()) {
            page = invocation.pages[0].first;
        }
        const std::string& input = invocation.inputs[0];
        return WriteImagePages(input, *invocation.dpi, [&](int pageCount, std::string& complaint) {
            std::vector<ImageOutput> outputs;
            for (const int chosen : SelectPages({{page, page}}, pageCount, input, complaint))
                outputs.push_back({chosen, invocation.output});
            return outputs;
        });
    }
    int status = kDone;
    Claims claims;
    for (const std::string& input : invocation.inputs) {
        if (!claims.Take(input, InFolder(invocation, input, "-N.png"))) {
            status = kBadInput;
            continue;
        }
        const int written = WriteImagePages(input, invocation.dpi.value_or(kImageDpi), [&](int pageCount, std::string& complaint) {
            const std::vector<int> pages =
                invocation.pages.empty() ? SelectPages({{1, 0}}, pageCount, input, complaint)
                                         : SelectPages(invocation.pages, pageCount, input, complaint);
            // Numbers as wide as the last page's, so the files sort in page order.
            const int width = static_cast<int>(std::to_string(pageCount).size());
            std::vector<ImageOutput> outputs;
            for (const int page : pages) {
                std::string number = std::to_string(page);
                number.insert(0, static_cast<std::size_t>(width) - std::min<std::size_t>(number.size(), width), '0');
                outputs.push_back({page, InFolder(invocation, input, "-" + number + ".png")});
            }
            return outputs;
        });
        if (written != kDone)
            status = kBadInput;
    }
    return status;
}
#endif

} // namespace

int RunCommandLine(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    Invocation invocation;
    if (arguments.empty())
        return UsageError(Say("no command given", "명령을 주지 않았습니다"));
    if (const std::string complaint = ParseCommandLine(arguments, invocation); !complaint.empty())
        return UsageError(complaint);
    if (invocation.kind == Invocation::Kind::Help) {
        std::fputs(Say(kHelpEnglish, kHelpKorean), stdout);
        return kDone;
    }
    if (invocation.kind == Invocation::Kind::Version) {
        std::printf("varnel-hwp %s\n", VARNEL_VERSION);
        return kDone;
    }
    if (!invocation.outputFolder.empty()) {
        if (const std::string problem = PrepareFolder(invocation.outputFolder); !problem.empty())
            return Fail(problem);
    }
    if (invocation.command == "text" || invocation.command == "info")
        return RunPrinted(invocation);
    if (invocation.command == "rewrite")
        return RunRewrite(invocation);
    if (invocation.command == "convert")
        return Convert(invocation.inputs[0], invocation.output);
#ifdef VARNEL_HWP_PAGES
    if (invocation.command == "pdf")
        return RunPdf(invocation);
    return RunImage(invocation);
#else
    return Fail(invocation.command + ": this varnel-hwp was built without the page commands");
#endif
}
