#include "hwp_testing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "hwp/bytes.h"
#include "hwp/container.h"
#include "hwp/writer.h"
#include "hwp/paragraph_list.h"
#include "hwp/records.h"
#include "support/json.h"

namespace hwp_testing {

namespace fs = std::filesystem;

// Set for every test program (tests/test_env.cpp); empty makes the tests that need it skip.
std::string SourceDir()
{
    const char* source = std::getenv("VARNEL_SOURCE_DIR");
    return source ? source : "";
}

hwp::Document DocumentWithTexts(const std::vector<std::u16string>& texts)
{
    hwp::Document document = hwp::NewDocument();
    auto& paragraphs = document.sections.front().paragraphs;
    paragraphs.clear();
    for (const std::u16string& text : texts) {
        hwp::Paragraph paragraph;
        paragraph.text = text;
        paragraph.charShapes.push_back(hwp::CharShapeRun{});
        paragraphs.push_back(paragraph);
    }
    return document;
}

hwp::Document QuestionDocument()
{
    hwp::Document document = DocumentWithTexts({
        u"1. 다음 글의 주제로 가장 알맞은 것은?",
        u"",
        u"① 환경 보호  ② 경제 성장  ③ 문화 교류  ④ 과학 기술  ⑤ 국제 협력",
        u"정답: ③ 해설은 아래에 있습니다.",
        u"",
        u"",
        u"탭\t뒤와 줄 바꿈\n뒤의 글",
        u"답란: ",
    });
    hwp::CharShape bold;
    bold.bold = true;
    bold.textColor = 0x000000FF;   // red
    hwp::CharShape big;
    big.size = 1400;
    big.italic = true;
    big.underline = hwp::UnderlineKind::Below;
    document.charShapes.push_back(bold);
    document.charShapes.push_back(big);
    hwp::ParaShape centered;
    centered.alignment = hwp::Alignment::Center;
    centered.leftMargin = 1000;
    centered.indent = -500;
    centered.spacingBefore = 300;
    centered.lineSpacingKind = hwp::LineSpacingKind::Fixed;
    centered.lineSpacing = 1800;
    document.paraShapes.push_back(centered);
    hwp::Style body;
    body.name = u"본문";
    body.englishName = u"Body";
    body.paraShapeId = 1;
    hwp::Style outline;
    outline.name = u"개요 1";
    outline.englishName = u"Outline 1";
    outline.charShapeId = 1;
    outline.nextStyleId = 1;
    document.styles.push_back(body);
    document.styles.push_back(outline);

    auto& paragraphs = document.sections.front().paragraphs;
    paragraphs[0].styleId = 2;
    paragraphs[0].charShapes = {{0, 1}, {3, 0}, {8, 2}, {12, 0}};
    paragraphs[2].styleId = 1;
    paragraphs[2].paraShapeId = 1;
    paragraphs[3].charShapes = {{0, 0}, {4, 1}, {5, 0}};
    hwp::Field field;
    field.name = u"TEXT_AREA";
    field.guide = u"이곳을 마우스로 누르고 내용을 입력하세요.";
    field.begin = 4;
    field.end = 4;
    paragraphs[7].fields.push_back(field);
    paragraphs[7].text += u"정답";
    paragraphs[7].fields[0].end = 6;
    return document;
}

hwp::Document ThreePageDocument()
{
    std::vector<std::u16string> texts;
    for (int page = 1; page <= 3; ++page) {
        for (int line = 1; line <= 12; ++line)
            texts.push_back(u"쪽 " + std::u16string(1, static_cast<char16_t>(u'0' + page)) + u" 문단 " +
                            std::u16string(1, static_cast<char16_t>(u'A' + line)) + u": 가나다라마바사 아자차카타파하");
    }
    hwp::Document document = DocumentWithTexts(texts);
    auto& paragraphs = document.sections.front().paragraphs;
    paragraphs[12].breakFlags = hwp::kBreakPage;
    paragraphs[24].breakFlags = hwp::kBreakPage;
    return document;
}

hwp::Control TableControl(const hwp::Document& document, const std::vector<std::u16string>& cells,
                          std::uint32_t charShapeId, std::uint16_t paraShapeId, std::uint16_t cellBorderFill)
{
    constexpr std::int32_t kCellWidth = 8000;
    constexpr std::int32_t kCellHeight = 1500;
    const auto columns = static_cast<std::uint16_t>(cells.size());
    hwp::Control control;
    control.code = 11;
    control.ctrlId = hwp::CtrlId('t', 'b', 'l', ' ');
    hwp::ByteWriter head;
    head.U32(control.ctrlId);
    head.U32(1);   // laid out as a character
    head.I32(0);
    head.I32(0);
    head.U32(static_cast<std::uint32_t>(kCellWidth * columns));
    head.U32(kCellHeight);
    head.I32(0);   // z order
    for (int i = 0; i < 4; ++i)
        head.I16(140);
    head.U32(0x12345678);   // instance id
    head.I32(0);
    head.U16(0);   // no description
    control.records.push_back({hwp::tag::kCtrlHeader, 0, hwp::ToBytes(head.Data())});
    hwp::ByteWriter table;
    table.U32(0x04000006);
    table.U16(1);
    table.U16(columns);
    table.U16(0);
    for (int i = 0; i < 4; ++i)
        table.U16(510);
    table.U16(columns);   // cells in the row
    table.U16(1);         // border fill
    table.U16(0);         // no zones
    control.records.push_back({hwp::tag::kTable, 1, hwp::ToBytes(table.Data())});
    for (std::uint16_t c = 0; c < columns; ++c) {
        hwp::ByteWriter cell;
        cell.U16(1);
        cell.U16(0);
        cell.U32(0x00200000);   // vertical centre
        cell.U16(c);
        cell.U16(0);
        cell.U16(1);
        cell.U16(1);
        cell.U32(kCellWidth);
        cell.U32(kCellHeight);
        for (int i = 0; i < 4; ++i)
            cell.U16(141);
        cell.U16(cellBorderFill);
        cell.U32(kCellWidth);
        cell.Zeros(9);
        hwp::Paragraph paragraph;
        paragraph.text = cells[c];
        paragraph.paraShapeId = paraShapeId;
        paragraph.charShapes.push_back(hwp::CharShapeRun{0, charShapeId});
        for (hwp::ObjectRecord& record :
             hwp::WriteParagraphList(hwp::ToBytes(cell.Data()), {paragraph}, 1, document, kCellWidth))
            control.records.push_back(std::move(record));
    }
    return control;
}

namespace {

std::string SharedFolder(const char* name)
{
    const std::string source = SourceDir();
    if (source.empty())
        return {};
    const fs::path folder = fs::path(source) / ".." / "shared" / name;
    std::error_code error;
    return fs::is_directory(folder, error) ? folder.lexically_normal().string() : std::string();
}

std::vector<std::string> PathsIn(const std::string& folder, const char* extension)
{
    std::vector<std::string> paths;
    if (folder.empty())
        return paths;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == extension)
            paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace

std::string SamplesFolder() { return SharedFolder("hwp-samples"); }

std::vector<std::string> SamplePaths() { return PathsIn(SamplesFolder(), ".hwp"); }

std::vector<std::string> HwpxSamplePaths() { return PathsIn(SharedFolder("hwpx-samples"), ".hwpx"); }

OracleResult OracleTexts(const std::string& path)
{
    return OracleTexts(std::vector<std::string>{path}).front();
}

std::vector<OracleResult> OracleTexts(const std::vector<std::string>& paths)
{
    std::vector<OracleResult> results(paths.size());
    const std::string source = SourceDir();
    if (source.empty())
        return results;
    const fs::path oracle = fs::path(source) / "tests" / "oracle";
    if (!fs::exists(oracle / "node_modules" / "@ohah" / "hwpjs") || std::system("node --version >/dev/null 2>&1") != 0)
        return results;
    std::string command = "node '" + (oracle / "dump-texts.js").string() + "'";
    for (const std::string& path : paths)
        command += " '" + path + "'";
    command += " 2>/dev/null";
    const std::string output = CommandOutput(command);

    std::size_t lineStart = 0;
    for (OracleResult& result : results) {
        result.available = true;
        const std::size_t lineEnd = output.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            break;
        const JsonOwnedPtr json = ParseJsonUtf8(std::string_view(output).substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        const JsonObject object = JsonObjectOf(json.get());
        const std::string kind = JsonGetText(object, "source");
        if (kind == "markdown") {
            result.fromMarkdown = true;
            result.markdown = object.at(u"markdown")->stringValue;
            result.parsed = true;
        } else if (kind == "json") {
            auto read = [&object](const char16_t* key) {
                std::vector<std::vector<std::u16string>> out;
                const auto found = object.find(key);
                if (found == object.end())
                    return out;
                for (const auto& section : found->second->arrayValue) {
                    std::vector<std::u16string> paragraphs;
                    for (const auto& text : section->arrayValue)
                        paragraphs.push_back(text->stringValue);
                    out.push_back(std::move(paragraphs));
                }
                return out;
            };
            result.texts = read(u"texts");
            result.inner = read(u"inner");
            result.parsed = true;
        }
    }
    return results;
}

std::vector<std::vector<std::u16string>> DisplayTexts(const hwp::Document& document)
{
    std::vector<std::vector<std::u16string>> out;
    for (const hwp::Section& section : document.sections) {
        std::vector<std::u16string> texts;
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            texts.push_back(paragraph.text);
        out.push_back(std::move(texts));
    }
    return out;
}

namespace {

void AddInner(const hwp::Control& control, std::vector<std::u16string>& out)
{
    for (const hwp::ParagraphList& list : hwp::ReadParagraphLists(control.records)) {
        for (const hwp::Paragraph& paragraph : list.paragraphs) {
            out.push_back(paragraph.text);
            for (const hwp::Control& nested : paragraph.controls)
                AddInner(nested, out);
        }
    }
}

}  // namespace

std::vector<std::vector<std::u16string>> InnerTexts(const hwp::Document& document)
{
    std::vector<std::vector<std::u16string>> out;
    for (const hwp::Section& section : document.sections) {
        std::vector<std::u16string> texts;
        AddInner(section.sectionDef, texts);
        for (const hwp::Paragraph& paragraph : section.paragraphs) {
            for (const hwp::Control& control : paragraph.controls)
                AddInner(control, texts);
        }
        out.push_back(std::move(texts));
    }
    return out;
}

std::u16string OracleView(std::u16string text)
{
    std::erase(text, u'\n');
    return text;
}

std::vector<std::vector<std::u16string>> OracleView(std::vector<std::vector<std::u16string>> texts)
{
    for (auto& section : texts) {
        for (auto& text : section)
            text = OracleView(std::move(text));
    }
    return texts;
}

std::string CommandOutput(const std::string& command)
{
    std::string output;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    pclose(pipe);
    return output;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

ScratchFolder::ScratchFolder()
{
    std::string pattern = (fs::temp_directory_path() / "varnel-hwp-test-XXXXXX").string();
    if (mkdtemp(pattern.data()))
        m_path = pattern;
}

ScratchFolder::~ScratchFolder()
{
    std::error_code error;
    if (!m_path.empty())
        fs::remove_all(m_path, error);
}

Unpacked Unpack(const hwp::Document& document)
{
    Unpacked out;
    out.streams = hwp::ReadCompoundFile(hwp::WriteDocumentToBytes(document), 1u << 24);
    out.docInfo = hwp::InflateRaw(out.streams.at("DocInfo"), "DocInfo");
    out.section = hwp::InflateRaw(out.streams.at("BodyText/Section0"), "Section0");
    return out;
}

std::string Pack(Unpacked unpacked, const std::string& docInfo, const std::string& section)
{
    unpacked.streams["DocInfo"] = hwp::DeflateRaw(docInfo);
    unpacked.streams["BodyText/Section0"] = hwp::DeflateRaw(section);
    return hwp::WriteCompoundFile(unpacked.streams);
}

}  // namespace hwp_testing
