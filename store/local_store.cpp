#include "store/local_store.h"

#include <dirent.h>
#include <sys/stat.h>

#include "store/exam_record.h"
#include "support/files.h"
#include "support/folders.h"
#include "support/json.h"

namespace {

bool IsDirectory(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutEvery(std::string text, const std::string& piece)
{
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at))
        text.erase(at, piece.size());
    return text;
}

// `proof` gives the file whose presence makes the folder's number taken.
template <typename Proof>
std::uint32_t NextNumber(const std::string& store, const std::string& prefix, Proof proof)
{
    std::int32_t best = 0;
    DIR* dir = opendir(store.c_str());
    if (!dir)
        return 1;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = store + "/" + name;
        if (!IsDirectory(path))
            continue;
        // "ek-x" gives 0 and a folder "ek--5" gives -5, as the names say.
        const std::int32_t n = TextToInt(WithoutEvery(name, prefix));
        if (PathExists(proof(path, n)) && n >= best)
            best = n;
    }
    closedir(dir);
    return static_cast<std::uint32_t>(best) + 1u;
}

} // namespace

std::string LocalQuestionFolder(const std::string& workspace, std::uint32_t number)
{
    return workspace + "/" + kLocalExamKind + "/ek-" + std::to_string(number);
}

std::string LocalPassageFolder(const std::string& workspace, std::uint32_t number)
{
    return workspace + "/" + kLocalExamtextKind + "/etk-" + std::to_string(number);
}

std::uint32_t NextQuestionNumber(const std::string& workspace)
{
    return NextNumber(workspace + "/" + kLocalExamKind, "ek-", [](const std::string& folder, std::int32_t n) {
        return folder + "/" + std::to_string(static_cast<std::uint32_t>(n)) + ".dat";
    });
}

std::uint32_t NextPassageNumber(const std::string& workspace)
{
    return NextNumber(workspace + "/" + kLocalExamtextKind, "etk-",
                      [](const std::string& folder, std::int32_t) { return folder + "/text.hwp"; });
}

std::uint32_t NextQuestionNumber()
{
    return NextQuestionNumber(GetWorkspaceFolder());
}

std::uint32_t NextPassageNumber()
{
    return NextPassageNumber(GetWorkspaceFolder());
}
