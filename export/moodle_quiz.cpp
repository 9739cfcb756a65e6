#include <QByteArray>

#include <algorithm>
#include <cstdio>

#include "export/content_html.h"
#include "export/item_export.h"
#include "export/item_parts.h"
#include "math/markup.h"

namespace item_export {
namespace {

std::string Number(double value, const char* format = "%g")
{
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Moodle accepts only fractions from its own list; 100/n and -100/n for n up to 5 are there
// (33.33333, not 33.3333333).
std::string Fraction(double percent)
{
    std::string text = Number(percent, "%.5f");
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

class QuizBuilder {
public:
    explicit QuizBuilder(const ImageStore& images) : m_images(images) {}

    // <tag format="html"><text>…</text><file …/>…</tag>
    std::string Text(const char* tag, const std::string& html, const std::vector<std::string>& images) const
    {
        std::string xml = "<" + std::string(tag) + " format=\"html\"><text>" + math::XmlEscape(html) + "</text>";
        for (const std::string& name : images) {
            for (const ImageFile& file : m_images.Files()) {
                if (file.name != name) continue;
                const QByteArray base64 =
                    QByteArray::fromRawData(file.bytes.data(), static_cast<qsizetype>(file.bytes.size())).toBase64();
                xml += "<file name=\"" + math::XmlEscape(name) + "\" path=\"/\" encoding=\"base64\">" +
                       base64.toStdString() + "</file>";
            }
        }
        return xml + "</" + tag + ">\n";
    }

private:
    const ImageStore& m_images;
};

std::string Tags(const SavedQuestion& question, const ItemContent& item)
{
    std::string xml = "<tags>";
    for (const std::string& word : Keywords(question, item))
        xml += "<tag><text>" + math::XmlEscape(word) + "</text></tag>";
    return xml + "</tags>\n";
}

std::string Answers(const QuizBuilder& quiz, const ItemContent& item)
{
    std::string xml;
    if (item.set == PartSet::Objective) {
        const std::size_t right = item.correct.size();
        const std::size_t wrong = item.choices.size() - right;
        xml += "<single>" + std::string(right > 1 ? "false" : "true") +
               "</single>\n<shuffleanswers>false</shuffleanswers>\n<answernumbering>123</answernumbering>\n";
        for (std::size_t i = 0; i < item.choices.size(); ++i) {
            const bool correct =
                std::find(item.correct.begin(), item.correct.end(), item.choiceNumbers[i]) != item.correct.end();
            // Several answers: each right one a share, each wrong one takes a share away.
            const double fraction = correct ? 100.0 / static_cast<double>(right)
                                    : right > 1 && wrong > 0 ? -100.0 / static_cast<double>(wrong)
                                                             : 0.0;
            const std::string answer = quiz.Text("answer", item.choices[i].html, item.choices[i].images);
            xml += "<answer fraction=\"" + Fraction(fraction) + "\"" + answer.substr(answer.find(' '));
        }
    } else if (item.set == PartSet::Subjective) {
        xml += "<usecase>0</usecase>\n";
        for (const std::string& accepted : item.accepted)
            xml += "<answer fraction=\"100\" format=\"moodle_auto_format\"><text>" + math::XmlEscape(accepted) +
                   "</text></answer>\n";
    } else {
        xml += "<responseformat>editor</responseformat>\n<responserequired>1</responserequired>\n"
               "<responsefieldlines>15</responsefieldlines>\n<attachments>0</attachments>\n";
        xml += quiz.Text("graderinfo", item.rubric.html, item.rubric.images);
        xml += "<responsetemplate format=\"html\"><text></text></responsetemplate>\n";
    }
    return xml;
}

}  // namespace

std::string BuildMoodleQuiz(const std::vector<SavedQuestion>& questions)
{
    ImageStore images;
    ContentWriter writer(Dialect::Moodle, images, "@@PLUGINFILE@@/");
    const QuizBuilder quiz(images);
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n";
    for (const SavedQuestion& question : questions) {
        HtmlField passage;
        if (question.passage) {
            writer.SetOwner("p" + std::to_string(question.passage->key));
            passage.html = writer.Html(question.passage->text->Text(), 0, -1, question.passage->folder + "/text.hwp");
            passage.images = writer.TakeUsedImages();
        }
        for (const QuestionParts& parts : question.parts) {
            writer.SetOwner("q" + std::to_string(question.key) + "-" + PartSetWord(parts.set));
            const ItemContent item = ReadItemContent(question, parts, writer);
            const char* type = item.set == PartSet::Objective    ? "multichoice"
                               : item.set == PartSet::Subjective ? "shortanswer"
                                                                 : "essay";
            // The passage goes inside each question's text, set apart from the stem.
            std::vector<std::string> stemImages = passage.images;
            for (const std::string& name : item.stem.images)
                if (std::find(stemImages.begin(), stemImages.end(), name) == stemImages.end()) stemImages.push_back(name);
            const std::string stem =
                passage.html.empty() ? item.stem.html
                                     : "<div style=\"border:1px solid #888;padding:0.5em;margin-bottom:1em\">" +
                                           passage.html + "</div>" + item.stem.html;
            xml += "<question type=\"" + std::string(type) + "\">\n<name><text>" + math::XmlEscape(item.title) +
                   "</text></name>\n";
            xml += quiz.Text("questiontext", stem, stemImages);
            xml += quiz.Text("generalfeedback", item.feedback.html, item.feedback.images);
            xml += "<defaultgrade>" + Number(question.Points()) + "</defaultgrade>\n<penalty>0</penalty>\n<hidden>0</hidden>\n";
            xml += Answers(quiz, item);
            xml += Tags(question, item);
            xml += "</question>\n";
        }
    }
    return xml + "</quiz>\n";
}

}  // namespace item_export
