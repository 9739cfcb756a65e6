#include <QTextDocument>

#include <cstdio>
#include <map>
#include <set>

#include "document/option_items.h"
#include "export/content_html.h"
#include "export/export_error.h"
#include "export/item_export.h"
#include "export/item_parts.h"
#include "math/markup.h"

namespace item_export {
namespace {

constexpr const char* kQtiNamespace = "http://www.imsglobal.org/xsd/imsqtiasi_v3p0";
constexpr const char* kQtiSchema =
    "http://www.imsglobal.org/xsd/imsqtiasi_v3p0 https://purl.imsglobal.org/spec/qti/v3p0/schema/xsd/imsqti_asiv3p0_v1p0.xsd";
constexpr const char* kStylesheet = "varnel.css";

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string Root(const char* element, const std::string& identifier, const std::string& title, const char* extra)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + std::string(element) + " xmlns=\"" + kQtiNamespace +
           "\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" xsi:schemaLocation=\"" + kQtiSchema +
           "\" identifier=\"" + identifier + "\" title=\"" + math::XmlEscape(title) + "\"" + extra + " xml:lang=\"ko\">\n";
}

std::string Stylesheet() { return "<qti-stylesheet href=\"../" + std::string(kStylesheet) + "\" type=\"text/css\"/>\n"; }

struct Resource {
    std::string identifier;
    std::string type;
    std::string href;
    std::vector<std::string> files;
    std::vector<std::string> dependencies;
    std::string metadata;
};

std::string Declarations(const ItemContent& item, double points)
{
    std::string xml;
    if (item.set == PartSet::Objective) {
        const bool multiple = item.correct.size() > 1;
        xml += "<qti-response-declaration identifier=\"RESPONSE\" cardinality=\"" +
               std::string(multiple ? "multiple" : "single") + "\" base-type=\"identifier\">\n<qti-correct-response>";
        for (int n : item.correct) xml += "<qti-value>C" + std::to_string(n) + "</qti-value>";
        xml += "</qti-correct-response>\n</qti-response-declaration>\n";
    } else {
        xml += "<qti-response-declaration identifier=\"RESPONSE\" cardinality=\"single\" base-type=\"string\"";
        if (item.set == PartSet::Subjective && !item.accepted.empty()) {
            xml += ">\n<qti-correct-response><qti-value>" + math::XmlEscape(item.accepted.front()) +
                   "</qti-value></qti-correct-response>\n<qti-mapping default-value=\"0\">";
            for (const std::string& answer : item.accepted)
                xml += "<qti-map-entry map-key=\"" + math::XmlEscape(answer) + "\" mapped-value=\"" + Number(points) +
                       "\" case-sensitive=\"false\"/>";
            xml += "</qti-mapping>\n</qti-response-declaration>\n";
        } else {
            xml += "/>\n";
        }
    }
    xml += "<qti-outcome-declaration identifier=\"SCORE\" cardinality=\"single\" base-type=\"float\">"
           "<qti-default-value><qti-value>0</qti-value></qti-default-value></qti-outcome-declaration>\n";
    xml += "<qti-outcome-declaration identifier=\"MAXSCORE\" cardinality=\"single\" base-type=\"float\">"
           "<qti-default-value><qti-value>" + Number(points) + "</qti-value></qti-default-value></qti-outcome-declaration>\n";
    if (!item.feedback.Empty())
        xml += "<qti-outcome-declaration identifier=\"FEEDBACK\" cardinality=\"single\" base-type=\"identifier\">"
               "<qti-default-value><qti-value>EXPLANATION</qti-value></qti-default-value></qti-outcome-declaration>\n";
    return xml;
}

std::string Interaction(const ItemContent& item)
{
    switch (item.set) {
    case PartSet::Objective: {
        std::string xml = "<qti-choice-interaction response-identifier=\"RESPONSE\" shuffle=\"false\" max-choices=\"" +
                          std::to_string(item.correct.size() > 1 ? 0 : 1) + "\">\n";
        for (std::size_t i = 0; i < item.choices.size(); ++i)
            xml += "<qti-simple-choice identifier=\"C" + std::to_string(item.choiceNumbers[i]) + "\">" +
                   item.choices[i].html + "</qti-simple-choice>\n";
        return xml + "</qti-choice-interaction>\n";
    }
    case PartSet::Subjective:
        return "<p><qti-text-entry-interaction response-identifier=\"RESPONSE\"/></p>\n";
    case PartSet::Descriptive:
        return "<qti-extended-text-interaction response-identifier=\"RESPONSE\"/>\n";
    }
    return {};
}

std::string ItemXml(const SavedQuestion& question, const ItemContent& item, const std::string& identifier,
                    const std::string& stimulus)
{
    const double points = question.Points();
    std::string xml = Root("qti-assessment-item", identifier, item.title,
                           " adaptive=\"false\" time-dependent=\"false\"");
    xml += Declarations(item, points);
    if (!stimulus.empty())
        xml += "<qti-assessment-stimulus-ref identifier=\"" + stimulus + "\" href=\"../stimuli/" + stimulus + ".xml\"/>\n";
    xml += Stylesheet();
    xml += "<qti-item-body>\n<div>" + item.stem.html + "</div>\n" + Interaction(item);
    if (item.set == PartSet::Descriptive && !item.rubric.Empty())
        xml += "<qti-rubric-block use=\"scoring\" view=\"scorer\"><qti-content-body>" + item.rubric.html +
               "</qti-content-body></qti-rubric-block>\n";
    xml += "</qti-item-body>\n";
    if (item.set == PartSet::Objective)
        xml += "<qti-response-processing template=\"https://purl.imsglobal.org/spec/qti/v3p0/rptemplates/match_correct\"/>\n";
    else if (item.set == PartSet::Subjective && !item.accepted.empty())
        xml += "<qti-response-processing template=\"https://purl.imsglobal.org/spec/qti/v3p0/rptemplates/map_response\"/>\n";
    if (!item.feedback.Empty())
        xml += "<qti-modal-feedback outcome-identifier=\"FEEDBACK\" identifier=\"EXPLANATION\" show-hide=\"show\" "
               "title=\"해설\"><qti-content-body>" + item.feedback.html + "</qti-content-body></qti-modal-feedback>\n";
    return xml + "</qti-assessment-item>\n";
}

std::string LomMetadata(const SavedQuestion& question, const ItemContent& item)
{
    std::string keywords;
    for (const std::string& word : Keywords(question, item))
        keywords += "<lom:keyword><lom:string language=\"ko\">" + math::XmlEscape(word) + "</lom:string></lom:keyword>";
    std::string xml = "<metadata><lom:lom><lom:general><lom:title><lom:string language=\"ko\">" +
                      math::XmlEscape(item.title) + "</lom:string></lom:title>" + keywords + "</lom:general>";
    if (const char* difficulty = LomDifficulty(question.difficulty))
        xml += "<lom:educational><lom:difficulty><lom:source>LOMv1.0</lom:source><lom:value>" + std::string(difficulty) +
               "</lom:value></lom:difficulty></lom:educational>";
    return xml + "</lom:lom></metadata>";
}

std::string Manifest(const std::vector<Resource>& resources)
{
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<manifest xmlns=\"http://www.imsglobal.org/xsd/qti/qtiv3p0/imscp_v1p1\" "
        "xmlns:lom=\"http://ltsc.ieee.org/xsd/LOM\" identifier=\"VARNEL-EXPORT\">\n"
        "<metadata><schema>QTI Package</schema><schemaversion>3.0.0</schemaversion></metadata>\n"
        "<organizations/>\n<resources>\n";
    for (const Resource& r : resources) {
        xml += "<resource identifier=\"" + r.identifier + "\" type=\"" + r.type + "\"" +
               (r.href.empty() ? "" : " href=\"" + r.href + "\"") + ">\n" + r.metadata;
        for (const std::string& file : r.files) xml += "<file href=\"" + math::XmlEscape(file) + "\"/>\n";
        for (const std::string& dependency : r.dependencies)
            xml += "<dependency identifierref=\"" + dependency + "\"/>\n";
        xml += "</resource>\n";
    }
    return xml + "</resources>\n</manifest>\n";
}

std::vector<std::string> ImagePaths(const std::vector<std::string>& names)
{
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back("images/" + name);
    return paths;
}

}  // namespace

std::vector<PackageFile> BuildQtiPackage(const std::vector<SavedQuestion>& questions)
{
    ImageStore images;
    ContentWriter writer(Dialect::Qti, images, "../images/");
    std::vector<PackageFile> files;
    std::vector<Resource> resources{{"R-STYLE", "webcontent", kStylesheet, {kStylesheet}, {}, {}}};
    std::map<const PassageDocument*, std::string> stimuli;
    std::set<std::string> identifiers;
    for (const SavedQuestion& question : questions) {
        std::string stimulus;
        if (question.passage) {
            auto [it, fresh] = stimuli.emplace(question.passage.get(), "p" + std::to_string(question.passage->key));
            while (fresh && !identifiers.insert(it->second).second) it->second += "x";
            stimulus = it->second;
            if (fresh) {
                writer.SetOwner(stimulus);
                const std::string body = writer.Html(question.passage->text->Text(), 0, -1,
                                                     question.passage->folder + "/text.hwp");
                const std::string href = "stimuli/" + stimulus + ".xml";
                files.push_back({href, Root("qti-assessment-stimulus", stimulus, "지문 " + std::to_string(question.passage->key), "") +
                                           Stylesheet() + "<qti-stimulus-body>" + body +
                                           "</qti-stimulus-body>\n</qti-assessment-stimulus>\n"});
                Resource resource{"R-" + stimulus, "imsqti_stimulus_xmlv3p0", href, {href}, {"R-STYLE"}, {}};
                for (const std::string& image : ImagePaths(writer.TakeUsedImages())) resource.files.push_back(image);
                resources.push_back(std::move(resource));
            }
        }
        for (const QuestionParts& parts : question.parts) {
            std::string identifier = "q" + std::to_string(question.key) + "-" + PartSetWord(parts.set);
            while (!identifiers.insert(identifier).second) identifier += "x";
            writer.SetOwner(identifier);
            const ItemContent item = ReadItemContent(question, parts, writer);
            const std::string href = "items/" + identifier + ".xml";
            files.push_back({href, ItemXml(question, item, identifier, stimulus)});
            Resource resource{"R-" + identifier, "imsqti_item_xmlv3p0", href, {href}, {"R-STYLE"},
                              LomMetadata(question, item)};
            for (const std::string& image : ImagePaths(item.AllImages())) resource.files.push_back(image);
            if (!stimulus.empty()) resource.dependencies.push_back("R-" + stimulus);
            resources.push_back(std::move(resource));
        }
    }
    for (const ImageFile& image : images.Files()) files.push_back({"images/" + image.name, image.bytes});
    files.push_back({kStylesheet, PackageStylesheet(writer.Colours())});
    files.insert(files.begin(), PackageFile{"imsmanifest.xml", Manifest(resources)});
    return files;
}

}  // namespace item_export
