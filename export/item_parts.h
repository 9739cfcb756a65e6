// What one part set of a saved question becomes in any item format: the stem, the
// choices in their order (marks dropped), the correct choices or accepted answers, the
// scorer's rubric and the explanation, each as HTML of the format's dialect with the
// image files it refers to; and the words that describe the question.
#pragma once

#include <string>
#include <vector>

#include "export/content_html.h"
#include "export/saved_question.h"

namespace item_export {

struct HtmlField {
    std::string html;
    std::vector<std::string> images;   // file names, as ContentWriter added them
    bool Empty() const { return html.empty(); }
};

struct ItemContent {
    PartSet set = PartSet::Objective;
    std::string title;
    HtmlField stem;
    std::vector<HtmlField> choices;
    std::vector<int> choiceNumbers;   // what each choice's mark said
    std::vector<int> correct;         // objective: the correct choices' numbers
    std::vector<std::string> accepted;   // subjective: accepted answers, plain text
    HtmlField rubric;                 // descriptive: answer and explanation for the scorer
    HtmlField feedback;               // the explanation

    std::vector<std::string> AllImages() const;
};

// Raises ExportError naming the options document when an answer number has no option.
ItemContent ReadItemContent(const SavedQuestion& question, const QuestionParts& parts, ContentWriter& writer);

// Level, part set and difficulty in Korean ("중학교", "객관식", "난이도 2").
std::vector<std::string> Keywords(const SavedQuestion& question, const ItemContent& item);
// The LOM vocabulary's difficulty for "d1".."d4"; null for anything else.
const char* LomDifficulty(const std::string& difficulty);

}  // namespace item_export
