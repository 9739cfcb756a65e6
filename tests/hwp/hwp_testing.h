// Shared pieces of the HWP tests: sample documents built in code, the samples folder,
// the hwpjs oracle and a scratch folder.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "hwp/document.h"

namespace hwp_testing {

// A document with the usual tables and one section holding these paragraph texts.
hwp::Document DocumentWithTexts(const std::vector<std::u16string>& texts);

// Questions as the editor writes them: circled digits, three styles, several char
// shapes in one paragraph, empty paragraphs and a click-here field named "TEXT_AREA".
hwp::Document QuestionDocument();

// Three pages: page breaks before the second and third parts.
hwp::Document ThreePageDocument();

// A one-row table as the word processor writes one, inline as a character, one cell
// per text; its paragraphs use `charShapeId` and `paraShapeId`, its cells
// `cellBorderFill` (1-based). Built with the document's own paragraph-list writer.
hwp::Control TableControl(const hwp::Document& document, const std::vector<std::u16string>& cells,
                          std::uint32_t charShapeId = 0, std::uint16_t paraShapeId = 0, std::uint16_t cellBorderFill = 1);

// $VARNEL_SOURCE_DIR/../shared/hwp-samples, or empty when it is not there.
std::string SamplesFolder();
std::vector<std::string> SamplePaths();
// The HWPX documents in $VARNEL_SOURCE_DIR/../shared/hwpx-samples, or none.
std::vector<std::string> HwpxSamplePaths();

struct OracleResult {
    bool available = false;   // node and the installed package are there
    bool parsed = false;      // hwpjs read the file
    // Per section, per paragraph, from its to-json; when to-json cannot serialize the
    // document (text items in control data, e.g. field names) the texts are empty and
    // `markdown` holds its to-markdown output instead.
    std::vector<std::vector<std::u16string>> texts;
    bool fromMarkdown = false;
    std::u16string markdown;
    // Per section, the texts of the paragraphs inside objects, from its to-json (it may
    // list one paragraph more than once).
    std::vector<std::vector<std::u16string>> inner;
};
OracleResult OracleTexts(const std::string& path);
// Several files with one start of the oracle, results in the same order.
std::vector<OracleResult> OracleTexts(const std::vector<std::string>& paths);

// Paragraph texts per section as our model holds them.
std::vector<std::vector<std::u16string>> DisplayTexts(const hwp::Document& document);

// Per section, the texts of the paragraphs inside its objects (and its section
// definition's master pages), at any depth.
std::vector<std::vector<std::u16string>> InnerTexts(const hwp::Document& document);

// A text as hwpjs reports it: its para_text leaves out line breaks inside a paragraph.
std::u16string OracleView(std::u16string text);
std::vector<std::vector<std::u16string>> OracleView(std::vector<std::vector<std::u16string>> texts);

// A document's record streams unpacked, ready to be damaged, and packed again.
struct Unpacked {
    std::map<std::string, std::string> streams;
    std::string docInfo;
    std::string section;
};
Unpacked Unpack(const hwp::Document& document);
std::string Pack(Unpacked unpacked, const std::string& docInfo, const std::string& section);

// What the shell command prints on its standard output.
std::string CommandOutput(const std::string& command);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// A fresh folder under the system's temporary folder, removed at destruction.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

}  // namespace hwp_testing
