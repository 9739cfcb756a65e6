// The lines a paragraph was laid out on go with it through HWPX and HWP: their starts
// move between the file's count (objects, controls and tabs take eight units) and the
// model's text indexes, at every depth (cells, text boxes, headers, notes); a damaged
// layout is dropped, never the document.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <map>

#include "hwp/paragraph_list.h"
#include "hwp/reader.h"
#include "hwp/table.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "hwpx/package.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"
#include "hwpx/xml.h"

namespace {

using Lines = std::vector<std::vector<hwp::LineSegment>>;

// Every paragraph's lines in file order, those of objects' paragraph lists too.
void LinesOf(const std::vector<hwp::Paragraph>& paragraphs, Lines& out)
{
    for (const hwp::Paragraph& paragraph : paragraphs) {
        out.push_back(paragraph.lineLayout.segments);
        for (const hwp::Control& control : paragraph.controls) {
            for (const hwp::ParagraphList& list : hwp::ReadParagraphLists(control.records))
                LinesOf(list.paragraphs, out);
        }
    }
}

// `reference` without the paragraphs that have no lines: an HWP file always carries some
// (the writer estimates them).
Lines LinesOf(const hwp::Document& document, const Lines* reference = nullptr)
{
    Lines out;
    for (const hwp::Section& section : document.sections)
        LinesOf(section.paragraphs, out);
    for (std::size_t k = 0; reference != nullptr && k < std::min(out.size(), reference->size()); ++k) {
        if ((*reference)[k].empty())
            out[k].clear();
    }
    return out;
}

std::vector<std::uint32_t> Starts(const std::vector<hwp::LineSegment>& lines)
{
    std::vector<std::uint32_t> starts;
    for (const hwp::LineSegment& line : lines)
        starts.push_back(line.textStart);
    return starts;
}

const char* const kHeader =
    R"(<?xml version="1.0" encoding="UTF-8"?><hh:head xmlns:hh="http://www.hancom.co.kr/hwpml/2011/head" version="1.4">)"
    R"(<hh:refList><hh:charProperties itemCnt="1"><hh:charPr id="0" height="1000"/></hh:charProperties>)"
    R"(</hh:refList></hh:head>)";

std::string Line(const std::string& textpos, const std::string& numbers = R"(vertpos="0" vertsize="1000")")
{
    return R"(<hp:lineseg textpos=")" + textpos + "\" " + numbers + R"( textheight="1000" baseline="850" spacing="600" )"
           R"(horzpos="0" horzsize="42520" flags="393216"/>)";
}

std::string Paragraph(const std::string& content, const std::string& lines)
{
    return R"(<hp:p paraPrIDRef="0" styleIDRef="0"><hp:run charPrIDRef="0">)" + content +
           "</hp:run><hp:linesegarray>" + lines + "</hp:linesegarray></hp:p>";
}

struct Case {
    const char* what;
    std::string content;
    std::string lines;
    std::vector<std::uint32_t> starts;   // empty: the layout is dropped
};

// A table before the text, a tab and a field in it: eight units each in the file.
const char* const kTable =
    R"(<hp:tbl rowCnt="1" colCnt="1"><hp:sz width="9000" height="1000"/><hp:pos treatAsChar="1"/><hp:tr><hp:tc>)"
    R"(<hp:subList><hp:p paraPrIDRef="0" styleIDRef="0"><hp:run charPrIDRef="0"><hp:t>셀의 글<hp:tab/>끝</hp:t>)"
    R"(</hp:run><hp:linesegarray><hp:lineseg textpos="0" vertpos="0"/><hp:lineseg textpos="12" vertpos="1600"/>)"
    R"(</hp:linesegarray></hp:p></hp:subList><hp:cellAddr colAddr="0" rowAddr="0"/><hp:cellSpan colSpan="1" rowSpan="1"/>)"
    R"(<hp:cellSz width="9000" height="1000"/></hp:tc></hp:tr></hp:tbl>)";

std::vector<Case> Cases()
{
    const std::string section =
        R"(<hp:secPr><hp:pagePr width="59528" height="84188"/></hp:secPr><hp:ctrl><hp:colPr colCount="1"/></hp:ctrl>)";
    // A line may start with a field's beginning; a field's end stays with the line before.
    const std::string field = R"(<hp:t>가</hp:t><hp:ctrl><hp:fieldBegin id="7" type="CLICK_HERE" name="A"/></hp:ctrl>)"
                              R"(<hp:t>나다</hp:t><hp:ctrl><hp:fieldEnd beginIDRef="7"/></hp:ctrl><hp:t>라</hp:t>)";
    return {
        {"the section's settings", section + "<hp:t>가나다라</hp:t>", Line("0") + Line("18"), {0, 2}},
        {"a table and a tab", std::string(kTable) + "<hp:t>가나<hp:tab/>다라</hp:t>", Line("0") + Line("18"), {0, 3}},
        {"a field", field, Line("0") + Line("1") + Line("19"), {0, 1, 3}},
        {"a line on an object", std::string(kTable) + "<hp:t>가</hp:t>" + kTable, Line("0") + Line("9"), {0, 1}},
        {"past the text", "<hp:t>가나다</hp:t>", Line("0") + Line("4"), {}},
        {"out of order", "<hp:t>가나다라</hp:t>", Line("0") + Line("3") + Line("1"), {}},
        {"not from the start", "<hp:t>가나다라</hp:t>", Line("2"), {}},
        {"negative", "<hp:t>가나다라</hp:t>", Line("0") + Line("-3"), {}},
        {"no number", "<hp:t>가나다라</hp:t>", Line("0") + Line("x"), {}},
        {"huge", "<hp:t>가나다라</hp:t>", Line("0") + Line("99999999999999999999"), {}},
        {"garbage sizes", "<hp:t>가나다라</hp:t>",
         Line("0", R"(vertpos="99999999999999" vertsize="-5")") + Line("2", R"(vertpos="abc" vertsize="1e3")"), {0, 2}},
    };
}

std::string Package(const std::vector<Case>& cases)
{
    std::string section =
        R"(<?xml version="1.0" encoding="UTF-8"?><hs:sec xmlns:hs="http://www.hancom.co.kr/hwpml/2011/section" )"
        R"(xmlns:hp="http://www.hancom.co.kr/hwpml/2011/paragraph">)";
    for (const Case& one : cases)
        section += Paragraph(one.content, one.lines);
    section += "</hs:sec>";
    return hwpx::WritePackage({{"mimetype", "application/hwp+zip"},
                               {"Contents/header.xml", kHeader},
                               {"Contents/section0.xml", section}});
}

TEST(HwpxLineSegments, StartsMoveBetweenTheFilesUnitsAndTheTextAndDamagedOnesAreDropped)
{
    const std::vector<Case> cases = Cases();
    const hwp::Document read = hwpx::ReadHwpxFromBytes(Package(cases));
    const auto& paragraphs = read.sections.at(0).paragraphs;
    ASSERT_EQ(paragraphs.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(Starts(paragraphs[i].lineLayout.segments), cases[i].starts) << cases[i].what;
    const hwp::LineSegment& garbage = paragraphs.back().lineLayout.segments.at(0);
    EXPECT_EQ(garbage.top, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(garbage.height, -5);
    EXPECT_EQ(paragraphs.back().lineLayout.segments.at(1).height, 1000);
    // The cell's lines: "셀의 글" and a tab (eight units) before "끝".
    const hwp::Table table = hwp::ReadTable(paragraphs[1].controls.at(0));
    EXPECT_EQ(Starts(table.cells.at(0).paragraphs.at(0).lineLayout.segments), (std::vector<std::uint32_t>{0, 5}));

    const Lines lines = LinesOf(read);
    EXPECT_EQ(LinesOf(hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(read))), lines);
    EXPECT_EQ(LinesOf(hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(read)), &lines), lines);
}

// Every <lineseg> of the part, attributes as written, in document order.
void LineElements(const hwpx::XmlNode& node, std::vector<std::string>& out)
{
    if (node.name == u"lineseg") {
        QString line;
        for (const auto& [key, value] : node.attributes)
            line += key + u'=' + value + u' ';
        out.push_back(line.toStdString());
    }
    for (const hwpx::XmlNode& child : node.children)
        LineElements(child, out);
}

std::map<std::string, std::vector<std::string>> LineElements(const std::string& bytes)
{
    std::map<std::string, std::vector<std::string>> parts;
    for (const auto& [name, part] : hwpx::ReadPackage(bytes).parts) {
        if (name.starts_with("Contents/section") && name.ends_with(".xml"))
            LineElements(hwpx::ParseXml(part, name), parts[name]);
    }
    return parts;
}

// The word processor's documents: written again, every paragraph carries the lines it was
// read with, spelled as the word processor spelled them; through HWP they stay.
TEST(HwpxLineSegments, TheWordProcessorsLinesComeBackThroughHwpxAndHwp)
{
    const std::vector<std::string> samples = hwp_testing::HwpxSamplePaths();
    if (samples.empty())
        GTEST_SKIP() << "no HWPX samples beside the repository";
    std::size_t paragraphsWithLines = 0;
    for (const std::string& path : samples) {
        SCOPED_TRACE(path);
        const std::string original = hwp_testing::ReadFile(path);
        const hwp::Document read = hwpx::ReadHwpxFromBytes(original);
        const std::string written = hwpx::WriteHwpxToBytes(read);
        EXPECT_EQ(LineElements(written), LineElements(original));

        const Lines lines = LinesOf(read);
        paragraphsWithLines += static_cast<std::size_t>(
            std::count_if(lines.begin(), lines.end(), [](const auto& segments) { return !segments.empty(); }));
        EXPECT_EQ(LinesOf(hwpx::ReadHwpxFromBytes(written)), lines);
        const hwp::Document viaHwp = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(read));
        EXPECT_EQ(LinesOf(viaHwp, &lines), lines);
    }
    EXPECT_GT(paragraphsWithLines, 100u);
}

}  // namespace
