#include "store/exam_open.h"

#include <cmath>
#include <filesystem>

#include "store/archive.h"
#include "store/local_store.h"
#include "support/files.h"
#include "support/folders.h"

namespace {

std::string LowerCase(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string ArchiveName(std::uint32_t key, const char* kind)
{
    // The key is formatted signed, as PackArchive names the archive.
    return std::to_string(static_cast<std::int32_t>(key)) + "-" + kind + ".zip";
}

// The store kind becomes one folder name below the workspace; anything that could climb
// out of it is not one.
bool IsPlainFolderName(const std::string& kind)
{
    return kind != "." && kind != ".." && kind.find('/') == std::string::npos && kind.find('\\') == std::string::npos;
}

// Points from 0 to 100 as a number, to a tenth; anything else is no points.
std::optional<std::int32_t> ScoreOf(const JsonObject& object)
{
    const auto it = object.find(u"score");
    if (it == object.end() || !it->second || it->second->kind != JsonKind::Number)
        return std::nullopt;
    const double value = it->second->numberValue;
    if (!std::isfinite(value) || value < 0.0 || value > 100.0)
        return std::nullopt;
    return static_cast<std::int32_t>(std::lround(value * 10.0));
}

} // namespace

void ReadExamRecordKeys(ExamRecord& record, const JsonObject& object)
{
    record.m_nExamKey = static_cast<std::uint32_t>(JsonGetInt(object, "exam_key"));
    record.m_nExamtextKey = static_cast<std::uint32_t>(JsonGetInt(object, "examtext_key"));
    record.m_strExamName = JsonGetText(object, "exam_name");
    record.m_strDifficulty = JsonGetText(object, "difficulty");
    record.m_strObjState = "obj_" + LowerCase(JsonGetText(object, "obj_option"));
    record.m_strSbjState = "sbj_" + LowerCase(JsonGetText(object, "sbj_option"));
    record.m_strDesState = "des_" + LowerCase(JsonGetText(object, "des_option"));
    record.m_strObjAnswer = JsonGetText(object, "obj_answer");
    // A .dat written by this program has no "exam_local": the caller's store kind stays.
    if (object.count(u"exam_local"))
        record.m_strExamLocal = JsonGetText(object, "exam_local");
    record.m_strExamtextLocal = JsonGetText(object, "examtext_local");
    record.m_strStageId = JsonGetText(object, "stage_id");
    record.m_nScoreTenths = ScoreOf(object);
    record.ReleaseHeights();
}

ExamTypeControls TypeControlsOf(const ExamRecord& record)
{
    const std::string& obj = record.m_strObjState;
    const std::string& sbj = record.m_strSbjState;
    const std::string& des = record.m_strDesState;
    ExamTypeControls controls;
    controls.objButtonImage = obj == "obj_d" || obj == "obj_y" ? 0 : 1;
    controls.sbjButtonImage = sbj == "sbj_d" || sbj == "sbj_y" ? 2 : 3;
    controls.desButtonImage = des == "des_d" || des == "des_y" ? 4 : 5;

    if (obj == "obj_d")
        controls.defaultType = kQuestionTypeObj;
    else if (sbj == "sbj_d")
        controls.defaultType = kQuestionTypeSbj;
    else if (des == "des_d")
        controls.defaultType = kQuestionTypeDes;

    if (controls.defaultType != kQuestionTypeNone)
        controls.questionType = controls.defaultType;
    else if (obj == "obj_y")
        controls.questionType = kQuestionTypeObj;
    else if (sbj == "sbj_y")
        controls.questionType = kQuestionTypeSbj;
    else if (des == "des_y")
        controls.questionType = kQuestionTypeDes;
    return controls;
}

void LocateQuestion(ExamRecord& record, const std::string& workspace)
{
    if (record.m_strExamLocal == kLocalExamKind) {
        record.m_strExamFolder = LocalQuestionFolder(workspace, record.m_nExamKey);
        // Every opening restores the saved documents; a missing archive keeps the folder as it is.
        UnpackArchive(record.m_strExamFolder, ArchiveName(record.m_nExamKey, "exam"));
    } else {
        if (!IsPlainFolderName(record.m_strExamLocal))
            record.m_strExamLocal = "exam";
        record.m_strExamFolder = workspace + "/" + record.m_strExamLocal + "/" +
                                 QuestionFolderPath(static_cast<std::int32_t>(record.m_nExamKey));
    }
}

void LocatePassage(ExamRecord& record, const std::string& workspace)
{
    if (!record.HasPassage())
        return;
    if (record.m_strExamtextLocal == kLocalExamtextKind) {
        record.m_strExamtextFolder = LocalPassageFolder(workspace, record.m_nExamtextKey);
    } else {
        record.m_strExamtextLocal = "examtext";
        record.m_strExamtextFolder = workspace + "/examtext/" +
                                     PassageFolderPath(static_cast<std::int32_t>(record.m_nExamtextKey));
    }
    if (!PathExists(record.m_strExamtextFolder + "/text.hwp"))
        UnpackArchive(record.m_strExamtextFolder, ArchiveName(record.m_nExamtextKey, "text"));
}

std::unique_ptr<ExamRecord> PrepareExamRecord(const ExamRecord* base, const JsonObject& object,
                                              const std::string& workspace)
{
    auto record = std::make_unique<ExamRecord>();
    if (base) {
        // What a record filled in place keeps: the keys the object does not hold.
        record->m_strExamLocal = base->m_strExamLocal;
        record->m_strSbjAnswer = base->m_strSbjAnswer;
    }
    ReadExamRecordKeys(*record, object);
    LocateQuestion(*record, workspace);
    if (record->HasPassage())
        LocatePassage(*record, workspace);
    return record;
}

namespace {

void ShowOpenedRecord(std::unique_ptr<ExamRecord>& current, std::unique_ptr<ExamRecord> opened, ExamOpenView& view)
{
    current = std::move(opened);
    view.ShowTypeControls(*current, TypeControlsOf(*current));
    if (current->HasPassage())
        view.ShowExistingPassage(*current);
    view.SelectTypeDocuments(*current);
}

} // namespace

void OpenExamRecord(std::unique_ptr<ExamRecord>& current, const JsonObject& object, bool keepRecord,
                    const std::string& workspace, ExamOpenView& view)
{
    // Everything that can fail happens before the record becomes current.
    ShowOpenedRecord(current, PrepareExamRecord(keepRecord ? current.get() : nullptr, object, workspace), view);
}

bool LoadQuestionText(std::unique_ptr<ExamRecord>& current, std::string_view text, const std::string& workspace,
                      ExamOpenView& view, const std::optional<std::string>& storeKind)
{
    const JsonOwnedPtr root = ParseJsonUtf8(text);
    if (!root || root->kind != JsonKind::Object)
        return false;
    ExamRecord base;
    if (current) {
        base.m_strExamLocal = current->m_strExamLocal;
        base.m_strSbjAnswer = current->m_strSbjAnswer;
    }
    if (storeKind)
        base.m_strExamLocal = *storeKind;
    ShowOpenedRecord(current, PrepareExamRecord(&base, JsonObjectOf(root.get()), workspace), view);
    return true;
}

std::optional<std::string> QuestionFileStoreKind(const std::string& path, const std::string& workspace)
{
    const std::string prefix = workspace + "/";
    if (!workspace.empty() && path.starts_with(prefix)) {
        const std::string rest = path.substr(prefix.size());
        const auto slash = rest.find('/');
        if (slash != std::string::npos && slash > 0 && IsPlainFolderName(rest.substr(0, slash)))
            return rest.substr(0, slash);
        return std::nullopt;
    }
    const auto at = path.find(kLocalExamKind);
    if (at != std::string::npos && at > 0)
        return std::string(kLocalExamKind);
    return std::nullopt;
}

namespace {

// N of "<prefix>N" when the name is exactly how N is written, and N is an item's number
// (above 0 as a signed number); 0 otherwise.
std::uint32_t ItemNumber(const std::string& name, const std::string& prefix)
{
    if (!name.starts_with(prefix) || name.size() == prefix.size() || name.size() > prefix.size() + 10)
        return 0;
    const std::string digits = name.substr(prefix.size());
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.front() == '0')
        return 0;
    const unsigned long long value = std::stoull(digits);
    return value <= 0x7FFFFFFFull ? static_cast<std::uint32_t>(value) : 0;
}

std::string Lexical(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return (error ? std::filesystem::path(path) : canonical).lexically_normal().string();
}

// Where a chosen .dat lies: the question folder it belongs to (store kind and number),
// or why it is none.
LoadQuestionResult PlaceOfQuestionFile(const std::string& path, const std::string& workspace, std::string& kind,
                                       std::uint32_t& number)
{
    const std::filesystem::path file(Lexical(path));
    const std::string folder = file.parent_path().filename().string();
    number = ItemNumber(folder, "ek-");
    const std::string relative =
        workspace.empty() ? std::string() : file.lexically_relative(Lexical(workspace)).string();
    const auto slash = relative.find('/');
    kind = slash == std::string::npos ? std::string() : relative.substr(0, slash);
    const std::string name = file.filename().string();
    if (ItemNumber(folder, "etk-") != 0 || kind == kLocalExamtextKind || kind == "examtext")
        return LoadQuestionResult::PassageRecord;
    if (number == 0 || name != std::to_string(number) + ".dat" || relative.starts_with("../") ||
        !IsPlainFolderName(kind))
        return LoadQuestionResult::NotInQuestionFolder;
    const std::string rule = kind == kLocalExamKind ? "ek-" + std::to_string(number)
                                                    : QuestionFolderPath(static_cast<std::int32_t>(number));
    if (relative != kind + "/" + rule + "/" + name)
        return LoadQuestionResult::NotInQuestionFolder;
    return LoadQuestionResult::Opened;
}

} // namespace

QuestionFile ReadQuestionFile(const std::string& path, const std::string& workspace)
{
    QuestionFile file;
    const std::string text = ReadWholeFile(path);
    if (text.empty())
        return file;
    std::string kind;
    std::uint32_t number = 0;
    file.result = PlaceOfQuestionFile(path, workspace, kind, number);
    if (file.result != LoadQuestionResult::Opened)
        return file;
    const JsonOwnedPtr root = ParseJsonUtf8(text);
    if (!root || root->kind != JsonKind::Object) {
        file.result = LoadQuestionResult::NotAQuestion;
        return file;
    }
    const JsonObject object = JsonObjectOf(root.get());
    if (!object.count(u"exam_key") && object.count(u"textprint_height")) {
        file.result = LoadQuestionResult::PassageRecord; // a passage's record moved into a question folder
        return file;
    }
    if (JsonGetInt(object, "exam_key") != static_cast<std::int32_t>(number)) {
        file.result = LoadQuestionResult::NotAQuestion;
        return file;
    }
    file.text = text;
    file.storeKind = kind;
    return file;
}

LoadQuestionResult LoadQuestionFile(std::unique_ptr<ExamRecord>& current, const std::string& path,
                                    const std::string& workspace, ExamOpenView& view)
{
    const QuestionFile file = ReadQuestionFile(path, workspace);
    if (file.result != LoadQuestionResult::Opened)
        return file.result;
    if (!LoadQuestionText(current, file.text, workspace, view, file.storeKind))
        return LoadQuestionResult::NotAQuestion;
    return LoadQuestionResult::Opened;
}

bool IsStoreKindName(const std::string& kind) { return IsPlainFolderName(kind); }
