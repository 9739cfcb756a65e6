#include "export/item_parts.h"

#include <QTextDocument>

#include <algorithm>

#include "document/option_items.h"
#include "export/export_error.h"

namespace item_export {
namespace {

HtmlField Field(ContentWriter& writer, const QTextDocument& document, int from, int to, const std::string& path)
{
    HtmlField field;
    field.html = writer.Html(document, from, to, path);
    field.images = writer.TakeUsedImages();
    // A document of empty paragraphs says nothing.
    std::string bare = field.html;
    for (const char* tag : {"<p>", "</p>", "<p style=\"text-align:center\">", "<p style=\"text-align:right\">"})
        for (std::size_t at; (at = bare.find(tag)) != std::string::npos;) bare.erase(at, std::string(tag).size());
    if (bare.find_first_not_of(" \t\r\n") == std::string::npos) field.html.clear();
    return field;
}

std::string PartPath(const SavedQuestion& question, PartSet set, const char* part)
{
    const std::string dat = question.datPath;
    const std::size_t slash = dat.find_last_of('/');
    return (slash == std::string::npos ? std::string() : dat.substr(0, slash + 1)) + PartSetWord(set) + "-" + part + ".hwp";
}

}  // namespace

std::vector<std::string> ItemContent::AllImages() const
{
    std::vector<std::string> all;
    const auto add = [&all](const HtmlField& field) {
        for (const std::string& name : field.images)
            if (std::find(all.begin(), all.end(), name) == all.end()) all.push_back(name);
    };
    add(stem);
    for (const HtmlField& choice : choices) add(choice);
    add(rubric);
    add(feedback);
    return all;
}

ItemContent ReadItemContent(const SavedQuestion& question, const QuestionParts& parts, ContentWriter& writer)
{
    ItemContent item;
    item.set = parts.set;
    item.title = question.name.empty() ? "문제 " + std::to_string(question.key) : question.name;
    item.stem = Field(writer, parts.question->Text(), 0, -1, PartPath(question, parts.set, "exam"));
    if (parts.set == PartSet::Objective) {
        const QTextDocument& options = parts.options->Text();
        const editor::OptionScan scan = editor::ScanOptions(options);
        for (const editor::OptionItem& option : scan.items) {
            item.choices.push_back(Field(writer, options, option.contentStart, option.contentEnd, parts.optionsPath));
            item.choiceNumbers.push_back(option.number);
        }
        for (int n : question.objectiveAnswers) {
            if (std::find(item.choiceNumbers.begin(), item.choiceNumbers.end(), n) == item.choiceNumbers.end())
                throw ExportError(parts.optionsPath, "정답 " + std::to_string(n) + "번 선택지가 없습니다",
                                  "the answer " + std::to_string(n) + " has no option");
            item.correct.push_back(n);
        }
    } else if (parts.set == PartSet::Subjective) {
        item.accepted = ParagraphTexts(parts.answer->Text());
        // An item that accepts nothing cannot be scored, and Moodle refuses it.
        if (item.accepted.empty())
            throw ExportError(PartPath(question, parts.set, "answer"), "주관식 정답이 비어 있습니다",
                              "the subjective answer is empty");
    }
    item.feedback = Field(writer, parts.explanation->Text(), 0, -1, PartPath(question, parts.set, "explain"));
    if (parts.set == PartSet::Descriptive) {
        const HtmlField answer = Field(writer, parts.answer->Text(), 0, -1, PartPath(question, parts.set, "answer"));
        if (!answer.Empty()) {
            item.rubric.html = "<p><strong>모범 답안</strong></p>" + answer.html;
            item.rubric.images = answer.images;
        }
        if (!item.feedback.Empty()) {
            item.rubric.html += "<p><strong>해설</strong></p>" + item.feedback.html;
            for (const std::string& name : item.feedback.images)
                if (std::find(item.rubric.images.begin(), item.rubric.images.end(), name) == item.rubric.images.end())
                    item.rubric.images.push_back(name);
        }
    }
    return item;
}

std::vector<std::string> Keywords(const SavedQuestion& question, const ItemContent& item)
{
    std::vector<std::string> words;
    if (question.level == "elem") words.push_back("초등학교");
    else if (question.level == "mid") words.push_back("중학교");
    else if (question.level == "high") words.push_back("고등학교");
    words.push_back(item.set == PartSet::Objective ? "객관식" : item.set == PartSet::Subjective ? "주관식" : "서술형");
    if (question.difficulty.size() == 2 && question.difficulty[0] == 'd')
        words.push_back("난이도 " + question.difficulty.substr(1));
    return words;
}

const char* LomDifficulty(const std::string& difficulty)
{
    if (difficulty == "d1") return "easy";
    if (difficulty == "d2") return "medium";
    if (difficulty == "d3") return "difficult";
    if (difficulty == "d4") return "very difficult";
    return nullptr;
}

}  // namespace item_export
