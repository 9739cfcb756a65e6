#include "tools/varnel-hwp/messages.h"

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string_view>

bool KoreanLocale()
{
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return std::string_view(value).starts_with("ko");
    }
    return false;
}

namespace {

struct Phrase {
    const char* english; // an ECMAScript pattern
    const char* korean;  // its replacement ($1... the parts kept)
};

// Longer phrases first: a message is put through every line in turn.
const Phrase kPhrases[] = {
    {R"(not an HWP 5\.0 document: the file is not an OLE2 compound file or it is damaged)",
     "HWP 5.0 문서가 아닙니다: OLE2 복합 파일이 아니거나 손상되었습니다"},
    {R"(the document is a distribution document, whose content is encrypted; it cannot be opened)",
     "배포용 문서라 내용이 암호화되어 있어 열 수 없습니다"},
    {R"(the document is protected by a password; it cannot be opened)", "암호가 걸린 문서라 열 수 없습니다"},
    {R"(: not a readable HWP document: )", ": 읽을 수 있는 HWP 문서가 아닙니다: "},
    {R"(^(.*) has (\d+) pages?; there is no page (\d+)$)", "$1: $2쪽까지 있는 문서라 $3쪽이 없습니다"},
    {R"(^--page wants a page number from 1, not (".*")$)", "--page 에는 1부터의 쪽 번호를 주십시오($1은 쪽 번호가 아닙니다)"},
    {R"(^page (\d+) of (.*) is too large for an image at (\d+) dpi$)", "$2의 $1쪽은 $3 dpi 이미지로 그리기에 너무 큽니다"},
    {R"(: no such folder (.*)$)", ": 폴더 $1 이(가) 없습니다"},
    {R"(: cannot write in (.*) \((.*)\)$)", ": $1 에 쓸 수 없습니다($2)"},
    {R"(: could not be written$)", ": 쓰지 못했습니다"},
    {R"(: cannot open the file$)", ": 파일을 열 수 없습니다"},
    {R"(: cannot read the file$)", ": 파일을 읽을 수 없습니다"},
    {R"(: is a folder$)", ": 폴더입니다"},
    {R"(: is not a folder$)", ": 폴더가 아닙니다"},
    {R"(^(.*): (.*) is written for an earlier document already$)", "$1: $2 에는 앞의 문서를 이미 썼습니다"},
    {R"(^(.*): (.*) is the document itself$)", "$1: $2 은(는) 문서 자신입니다"},
    {R"(: this varnel-hwp was built without the page commands$)", ": 이 varnel-hwp에는 쪽 명령이 없습니다"},
    {R"(No such file or directory)", "파일이나 폴더가 없습니다"},
    {R"(Permission denied)", "권한이 없습니다"},
    {R"(Not a directory)", "폴더가 아닙니다"},
    {R"(Is a directory)", "폴더입니다"},
    {R"(No space left on device)", "장치에 남은 공간이 없습니다"},
    {R"(Read-only file system)", "읽기 전용 파일 시스템입니다"},
};

} // namespace

std::string Localized(const std::string& message)
{
    if (!KoreanLocale())
        return message;
    std::string text = message;
    for (const Phrase& phrase : kPhrases)
        text = std::regex_replace(text, std::regex(phrase.english), phrase.korean);
    return text;
}

void ReportError(const std::string& message)
{
    std::fprintf(stderr, "varnel-hwp: %s\n", Localized(message).c_str());
}
