#include "tools/fennick/workspace_scan.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "support/files.h"
#include "support/folders.h"
#include "support/json.h"
#include "support/json_build.h"
#include "support/text.h"

namespace fennick {
namespace {

namespace fs = std::filesystem;

const char* const kLocalPassages = "local_examtext";
const char* const kStoredPassages = "examtext";
const char* const kLocalQuestions = "local_exam";

// The number in "<prefix>N" when the name is exactly how that number is written and the
// editor, which tests numbers as signed, would take it for an item (above 0).
std::optional<std::uint32_t> NumberAfter(const std::string& name, const std::string& prefix)
{
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 10 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const unsigned long long value = std::stoull(digits);
    if (value == 0 || value > 0x7FFFFFFFull || std::to_string(value) != digits)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::vector<fs::path> SubFolders(const fs::path& folder)
{
    std::vector<fs::path> out;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code kindError;
        if (it->is_directory(kindError) && it->path().filename().string().front() != '.')
            out.push_back(it->path());
    }
    return out;
}

// Every folder `depth` levels below `folder`.
std::vector<fs::path> FoldersAtDepth(const fs::path& folder, int depth)
{
    std::vector<fs::path> level = {folder};
    for (int i = 0; i < depth; ++i) {
        std::vector<fs::path> next;
        for (const auto& f : level) {
            auto subs = SubFolders(f);
            next.insert(next.end(), subs.begin(), subs.end());
        }
        level = std::move(next);
    }
    return level;
}

std::time_t ModifiedTime(const fs::path& file)
{
    std::error_code error;
    const auto stamp = fs::last_write_time(file, error);
    if (error)
        return 0;
    const auto system = std::chrono::file_clock::to_sys(stamp);
    return std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::system_clock::duration>(system));
}

bool IsFile(const fs::path& path)
{
    std::error_code error;
    return fs::is_regular_file(path, error);
}

std::string FirstExisting(const fs::path& folder, const std::vector<std::string>& names)
{
    for (const auto& name : names) {
        if (IsFile(folder / name))
            return (folder / name).string();
    }
    return {};
}

// Cropped first, packed next, the exported full page last.
std::string ImageOf(const fs::path& folder, std::uint32_t key, const std::string& part)
{
    const std::string k = std::to_string(key);
    return FirstExisting(folder, {k + "-print-" + part + ".png", "print-" + part + ".png", k + "-print-" + part + "001.png"});
}

void AddPassage(std::vector<PickerItem>& items, ItemKind kind, const char* storeKind, const fs::path& folder,
                std::uint32_t key, const FirstLineReader& readFirstLine)
{
    const fs::path document = folder / "text.hwp";
    if (!IsFile(document))
        return;
    PickerItem item;
    item.kind = kind;
    item.storeKind = storeKind;
    item.key = key;
    item.folder = folder.string();
    item.document = document.string();
    item.imagePath = ImageOf(folder, key, "text");
    item.firstLine = readFirstLine ? FirstLineOf(readFirstLine(item.document)) : std::string();
    item.modified = ModifiedTime(document);
    items.push_back(std::move(item));
}

// The type a question opens with: the one marked default, else the first present.
std::string ShownType(const JsonObject& record)
{
    static const char* const types[] = {"obj", "sbj", "des"};
    for (const char* type : types) {
        const std::string option = JsonGetText(record, std::string(type) + "_option");
        if (option == "D" || option == "d")
            return type;
    }
    for (const char* type : types) {
        const std::string option = JsonGetText(record, std::string(type) + "_option");
        if (option == "Y" || option == "y")
            return type;
    }
    return "obj";
}

void AddQuestion(std::vector<PickerItem>& items, const std::string& storeKind, const fs::path& folder,
                 std::uint32_t key, const FirstLineReader& readFirstLine)
{
    const fs::path dat = folder / (std::to_string(key) + ".dat");
    if (!IsFile(dat))
        return;
    std::string text = ReadWholeFile(dat.string());
    const JsonOwnedPtr root = ParseJsonUtf8(text);
    if (!root || root->kind != JsonKind::Object)
        return;
    const JsonObject record = JsonObjectOf(root.get());
    const std::string type = ShownType(record);

    PickerItem item;
    item.kind = ItemKind::Question;
    item.storeKind = storeKind;
    item.key = key;
    item.folder = folder.string();
    item.document = (folder / (type + "-exam.hwp")).string();
    item.imagePath = ImageOf(folder, key, type + "-exam");
    if (readFirstLine && IsFile(item.document))
        item.firstLine = FirstLineOf(readFirstLine(item.document));
    item.examName = JsonGetText(record, "exam_name");
    item.modified = ModifiedTime(dat);
    item.recordText = std::move(text);
    items.push_back(std::move(item));
}

std::string Trimmed(const std::string& text)
{
    const auto isBlank = [](unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isBlank(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && isBlank(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

std::string NumberText(double value)
{
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", value);
        return buf;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", std::isfinite(value) ? value : 0.0);
    return buf;
}

// The record's plain members only (texts, numbers, true/false): the height lists are
// never read back when a question is opened, and they are what makes a record long.
std::string PlainMembers(const JsonValue& root)
{
    std::string json;
    for (const auto& [key, value] : root.objectValue) {
        const std::string name = Utf16ToUtf8(key);
        switch (value->kind) {
        case JsonKind::String: JsonAppendText(json, name, Utf16ToUtf8(value->stringValue)); break;
        case JsonKind::Number: JsonAppendRaw(json, name, NumberText(value->numberValue)); break;
        case JsonKind::Bool: JsonAppendRaw(json, name, value->boolValue ? "true" : "false"); break;
        default: break;
        }
    }
    return json.empty() ? "{}" : json;
}

std::string ToLowerAscii(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::optional<PickerRequest> ParsePickerRequest(const std::string& text)
{
    const JsonOwnedPtr root = ParseJsonUtf8(text);
    if (!root || root->kind != JsonKind::Object)
        return std::nullopt;
    const JsonObject object = JsonObjectOf(root.get());
    PickerRequest request;
    request.schoolKey = JsonGetUInt(object, "school_key");
    request.userKey = JsonGetUInt(object, "user_key");
    request.webServer = JsonGetText(object, "web_svr");
    return request;
}

std::string WorkspaceFor(const std::string& dataFolder, const PickerRequest& request)
{
    return dataFolder + "/" + std::to_string(request.schoolKey) + "/" + std::to_string(request.userKey);
}

bool IsPassage(const PickerItem& item) { return item.kind != ItemKind::Question; }

std::vector<PickerItem> ScanWorkspace(const std::string& workspace, const FirstLineReader& readFirstLine)
{
    std::vector<PickerItem> items;
    const fs::path root(workspace);

    for (const auto& folder : SubFolders(root / kLocalPassages)) {
        if (const auto key = NumberAfter(folder.filename().string(), "etk-"))
            AddPassage(items, ItemKind::LocalPassage, kLocalPassages, folder, *key, readFirstLine);
    }
    for (const auto& folder : FoldersAtDepth(root / kStoredPassages, 3)) {
        const auto key = NumberAfter(folder.filename().string(), "etk-");
        if (key && folder.lexically_relative(root / kStoredPassages).string() ==
                       PassageFolderPath(static_cast<std::int32_t>(*key)))
            AddPassage(items, ItemKind::StoredPassage, kStoredPassages, folder, *key, readFirstLine);
    }
    for (const auto& folder : SubFolders(root / kLocalQuestions)) {
        if (const auto key = NumberAfter(folder.filename().string(), "ek-"))
            AddQuestion(items, kLocalQuestions, folder, *key, readFirstLine);
    }
    for (const auto& kindFolder : SubFolders(root)) {
        const std::string kind = kindFolder.filename().string();
        if (kind == kLocalPassages || kind == kStoredPassages || kind == kLocalQuestions)
            continue;
        for (const auto& folder : FoldersAtDepth(kindFolder, 4)) {
            const auto key = NumberAfter(folder.filename().string(), "ek-");
            if (key && folder.lexically_relative(kindFolder).string() ==
                           QuestionFolderPath(static_cast<std::int32_t>(*key)))
                AddQuestion(items, kind, folder, *key, readFirstLine);
        }
    }

    std::stable_sort(items.begin(), items.end(), [](const PickerItem& a, const PickerItem& b) {
        if (a.modified != b.modified)
            return a.modified > b.modified;
        return a.key > b.key;
    });
    return items;
}

std::string AnswerFor(const PickerItem& item, std::size_t limit)
{
    std::string answer;
    if (IsPassage(item)) {
        JsonAppendText(answer, "content_type", "examtext");
        JsonAppendUInt(answer, "examtext_key", item.key);
        JsonAppendText(answer, "examtext_local", item.storeKind);
    } else {
        const JsonOwnedPtr root = ParseJsonUtf8(item.recordText);
        if (!root || root->kind != JsonKind::Object)
            return {};
        // The record as it is, with the two members the editor needs on top; a later
        // duplicate of a key wins when the editor reads it.
        answer = Trimmed(item.recordText);
        if (answer == "{}")
            answer.clear();
        JsonAppendText(answer, "content_type", "exam");
        JsonAppendText(answer, "exam_local", item.storeKind);
        if (answer.size() >= limit) {
            answer = PlainMembers(*root);
            JsonAppendText(answer, "content_type", "exam");
            JsonAppendText(answer, "exam_local", item.storeKind);
        }
    }
    return answer.size() < limit ? answer : std::string();
}

bool MatchesSearch(const PickerItem& item, const std::string& query)
{
    const std::string haystack = ToLowerAscii(std::to_string(item.key) + " " + item.storeKind + " " + item.examName +
                                              " " + item.firstLine);
    const std::string needle = ToLowerAscii(query);
    std::size_t i = 0;
    while (i < needle.size()) {
        while (i < needle.size() && needle[i] == ' ')
            ++i;
        std::size_t j = i;
        while (j < needle.size() && needle[j] != ' ')
            ++j;
        if (j > i && haystack.find(needle.substr(i, j - i)) == std::string::npos)
            return false;
        i = j;
    }
    return true;
}

std::string FirstLineOf(const std::string& text, std::size_t maxChars)
{
    const std::string rest = Trimmed(text);
    const std::string line = Trimmed(rest.substr(0, rest.find_first_of("\r\n")));
    std::size_t chars = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80 && chars++ == maxChars)
            return line.substr(0, i) + "…";
    }
    return line;
}

} // namespace fennick
