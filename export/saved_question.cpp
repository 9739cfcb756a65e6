#include "export/saved_question.h"

#include <algorithm>
#include <filesystem>

#include "document/hwp_mapping.h"
#include "document/option_items.h"
#include "export/export_error.h"
#include "hwp/error.h"
#include "hwp/reader.h"
#include "store/exam_open.h"
#include "store/local_store.h"
#include "support/files.h"
#include "support/folders.h"
#include "support/json.h"

namespace item_export {
namespace fs = std::filesystem;

const char* PartSetWord(PartSet set)
{
    switch (set) {
    case PartSet::Objective: return "obj";
    case PartSet::Subjective: return "sbj";
    case PartSet::Descriptive: return "des";
    }
    return "obj";
}

namespace {

std::unique_ptr<editor::EditorDocument> ReadPart(const std::string& path)
{
    if (!PathExists(path))
        throw ExportError(path, "문서가 없습니다", "the document is missing");
    try {
        return editor::ToEditorDocument(hwp::ReadDocument(path));
    } catch (const hwp::HwpError& error) {
        throw ExportError(path, "문서를 읽을 수 없습니다: " + std::string(error.what()),
                          std::string("the document cannot be read: ") + error.what());
    } catch (const std::exception& error) {
        throw ExportError(path, "문서를 읽을 수 없습니다", std::string("the document cannot be read: ") + error.what());
    }
}

// The workspace a question folder lies in: "<ws>/local_exam/ek-N" or
// "<ws>/<kind>/d6-…/d4-…/d2-…/ek-N".
std::string WorkspaceOf(const fs::path& questionFolder)
{
    const fs::path parent = questionFolder.parent_path();
    if (parent.filename() == kLocalExamKind)
        return parent.parent_path().string();
    fs::path up = parent;
    for (int i = 0; i < 3 && up.has_parent_path(); ++i) up = up.parent_path();
    return up.parent_path().string();
}

std::string PassageFolderOf(const ExamRecord& record, const std::string& workspace)
{
    if (record.m_strExamtextLocal == kLocalExamtextKind)
        return LocalPassageFolder(workspace, record.m_nExamtextKey);
    return workspace + "/examtext/" + PassageFolderPath(static_cast<std::int32_t>(record.m_nExamtextKey));
}

std::vector<PartSet> PresentSets(const ExamRecord& record)
{
    std::vector<PartSet> sets;
    const std::pair<PartSet, const std::string*> states[] = {{PartSet::Objective, &record.m_strObjState},
                                                             {PartSet::Subjective, &record.m_strSbjState},
                                                             {PartSet::Descriptive, &record.m_strDesState}};
    for (const auto& [set, state] : states) {
        if (state->ends_with("_d")) sets.insert(sets.begin(), set);
        else if (state->ends_with("_y")) sets.push_back(set);
    }
    return sets;
}

QuestionParts ReadParts(const std::string& folder, PartSet set)
{
    const std::string prefix = folder + "/" + PartSetWord(set) + "-";
    QuestionParts parts;
    parts.set = set;
    parts.question = ReadPart(prefix + "exam.hwp");
    if (set == PartSet::Objective) {
        parts.optionsPath = prefix + "objective.hwp";
        parts.options = ReadPart(parts.optionsPath);
        const editor::OptionScan scan = editor::ScanOptions(parts.options->Text());
        if (!scan.Found())
            throw ExportError(parts.optionsPath, "선택지 번호(①~⑤)를 찾지 못했습니다",
                              "no option marks (1 to 5) were found");
    }
    parts.answer = ReadPart(prefix + "answer.hwp");
    parts.explanation = ReadPart(prefix + "explain.hwp");
    return parts;
}

SavedQuestion ReadOne(const std::string& datPath, std::map<std::string, std::shared_ptr<const PassageDocument>>& passages)
{
    const std::string text = ReadWholeFile(datPath);
    if (text.empty())
        throw ExportError(datPath, "문제 파일이 없거나 읽을 수 없습니다", "the question file is missing or unreadable");
    const JsonOwnedPtr json = ParseJsonUtf8(text);
    const JsonObject object = JsonObjectOf(json.get());
    if (!json || object.empty() || !object.contains(u"exam_key"))
        throw ExportError(datPath, "문제 파일(.dat)의 내용이 올바르지 않습니다", "not a question record");
    ExamRecord record;
    ReadExamRecordKeys(record, object);

    SavedQuestion question;
    question.datPath = datPath;
    question.key = record.m_nExamKey;
    question.name = record.m_strExamName;
    question.difficulty = record.m_strDifficulty;
    question.level = record.m_strStageId;
    question.scoreTenths = record.m_nScoreTenths;
    question.objectiveAnswers = editor::AnswerNumbers(record.m_strObjAnswer);

    const fs::path folder = fs::absolute(fs::path(datPath)).parent_path();
    const std::vector<PartSet> sets = PresentSets(record);
    if (sets.empty())
        throw ExportError(datPath, "문제에 객관식·주관식·서술형 어느 것도 없습니다", "the question has no part set");
    for (PartSet set : sets) question.parts.push_back(ReadParts(folder.string(), set));
    if (std::find(sets.begin(), sets.end(), PartSet::Objective) != sets.end() && question.objectiveAnswers.empty())
        throw ExportError(datPath, "객관식 정답이 정해지지 않았습니다", "the objective answer is not set");

    if (record.HasPassage()) {
        const std::string passageFolder = PassageFolderOf(record, WorkspaceOf(folder));
        auto& shared = passages[passageFolder];
        if (!shared) {
            if (!fs::is_directory(passageFolder))
                throw ExportError(passageFolder, "지문 폴더가 없습니다", "the passage folder is gone");
            auto passage = std::make_shared<PassageDocument>();
            passage->key = record.m_nExamtextKey;
            passage->folder = passageFolder;
            passage->text = ReadPart(passageFolder + "/text.hwp");
            shared = std::move(passage);
        }
        question.passage = shared;
    }
    return question;
}

}  // namespace

std::vector<SavedQuestion> ReadSavedQuestions(const std::vector<std::string>& datPaths)
{
    std::map<std::string, std::shared_ptr<const PassageDocument>> passages;
    std::vector<SavedQuestion> questions;
    for (const std::string& path : datPaths) questions.push_back(ReadOne(path, passages));
    return questions;
}

}  // namespace item_export
