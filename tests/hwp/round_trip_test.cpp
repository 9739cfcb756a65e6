// Reading what the writer wrote gives back the same model.
#include <gtest/gtest.h>

#include "hwp/paragraph.h"
#include "hwp/reader.h"
#include "hwp/section.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "support/text.h"

namespace {

using namespace hwp_testing;

// A document built in code has no section and column definition records until the
// writer composes them: those are left out of the comparison.
hwp::Document RoundTrip(const hwp::Document& document)
{
    hwp::Document read = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
    for (std::size_t s = 0; s < read.sections.size() && s < document.sections.size(); ++s) {
        if (document.sections[s].sectionDef.records.empty())
            read.sections[s].sectionDef = {};
        if (document.sections[s].columnDef.records.empty())
            read.sections[s].columnDef = {};
    }
    return read;
}

TEST(HwpRoundTrip, NewDocumentComesBackEqual)
{
    const hwp::Document document = hwp::NewDocument();
    const hwp::Document read = RoundTrip(document);
    EXPECT_EQ(read.version, (hwp::Version{5, 0, 3, 0}));
    EXPECT_EQ(read.headerFlags, hwp::kHeaderCompressed);
    hwp::Document expected = document;
    expected.version = read.version;
    EXPECT_EQ(read, expected);
    EXPECT_EQ(read.sections.front().page, hwp::PageDef{});   // A4 portrait
}

TEST(HwpRoundTrip, QuestionDocumentKeepsShapesStylesRunsAndFields)
{
    hwp::Document document = QuestionDocument();
    const hwp::Document read = RoundTrip(document);
    document.version = read.version;
    EXPECT_EQ(read.charShapes, document.charShapes);
    EXPECT_EQ(read.paraShapes, document.paraShapes);
    EXPECT_EQ(read.styles, document.styles);
    ASSERT_EQ(read.sections.size(), 1u);
    const auto& paragraphs = read.sections.front().paragraphs;
    ASSERT_EQ(paragraphs.size(), document.sections.front().paragraphs.size());
    for (std::size_t i = 0; i < paragraphs.size(); ++i)
        EXPECT_EQ(paragraphs[i], document.sections.front().paragraphs[i]) << "paragraph " << i;
    EXPECT_EQ(read, document);

    const hwp::Field& field = paragraphs[7].fields.at(0);
    EXPECT_EQ(field.name, u"TEXT_AREA");
    EXPECT_EQ(paragraphs[7].text.substr(field.begin, field.end - field.begin), u"정답");
}

TEST(HwpRoundTrip, EveryNamedPropertySurvives)
{
    hwp::Document document = hwp::NewDocument();
    hwp::FaceName face;
    face.name = u"나눔명조";
    face.substituteName = u"Batang";
    face.substituteKind = 1;
    face.defaultName = u"NanumMyeongjo";
    face.typeInfo = hwp::Bytes{2, 3, 6, 0, 0, 1, 1, 1, 1, 1};
    document.faces[static_cast<int>(hwp::Lang::Latin)].push_back(face);

    hwp::CharShape shape;
    shape.faceIds[static_cast<int>(hwp::Lang::Latin)] = 1;
    shape.ratios = {90, 95, 100, 105, 110, 115, 120};
    shape.spacings = {-5, -4, 0, 1, 2, 3, 50};
    shape.relativeSizes = {80, 90, 100, 110, 120, 130, 250};
    shape.offsets = {-10, 0, 10, 0, 0, 0, 100};
    shape.size = 2150;
    shape.italic = shape.bold = true;
    shape.underline = hwp::UnderlineKind::Above;
    shape.underlineShape = 3;
    shape.strikeOut = true;
    shape.strikeOutShape = 2;
    shape.superscript = true;
    shape.otherProperties = 1u << 13;   // emboss
    shape.textColor = 0x00123456;
    shape.underlineColor = 0x00FF0000;
    shape.shadeColor = 0x00ABCDEF;
    shape.shadowColor = 0x00010203;
    shape.borderFillId = 1;
    shape.strikeOutColor = 0x000000FF;
    document.charShapes.push_back(shape);

    for (auto kind : {hwp::LineSpacingKind::Percent, hwp::LineSpacingKind::Fixed, hwp::LineSpacingKind::BetweenLines,
                      hwp::LineSpacingKind::AtLeast}) {
        hwp::ParaShape para;
        para.alignment = hwp::Alignment::Distribute;
        para.leftMargin = 1001;
        para.rightMargin = 2000;
        para.indent = -1417;
        para.spacingBefore = 500;
        para.spacingAfter = 250;
        para.lineSpacingKind = kind;
        para.lineSpacing = 1234;
        para.borderFillId = 1;
        para.borderOffsets = {1, 2, 3, 4};
        para.otherProperties1 = 1u << 19;   // page break before
        document.paraShapes.push_back(para);
    }

    hwp::Section& section = document.sections.front();
    section.page.width = 84188;
    section.page.height = 59528;
    section.page.landscape = true;
    section.page.gutterKind = 1;
    section.page.gutterMargin = 500;
    section.columnCount = 2;
    section.columnGap = 1134;
    section.paragraphs.front().text = u"A\u00A0B\u2007C\u00ADD";
    section.paragraphs.front().charShapes = {{0, 0}, {2, 1}};
    section.paragraphs.front().paraShapeId = 4;

    hwp::Section second;
    second.page.topMargin = 1000;
    hwp::Paragraph paragraph;
    paragraph.text = u"둘째 구역";
    paragraph.charShapes = {{0, 1}};
    paragraph.breakFlags = hwp::kBreakColumn;
    second.paragraphs.push_back(paragraph);
    document.sections.push_back(second);
    document.startNumbers.page = 7;

    const hwp::Document read = RoundTrip(document);
    document.version = read.version;
    EXPECT_EQ(read.faces, document.faces);
    EXPECT_EQ(read.charShapes, document.charShapes);
    EXPECT_EQ(read.paraShapes, document.paraShapes);
    EXPECT_EQ(read.sections, document.sections);
    EXPECT_EQ(read, document);
}

TEST(HwpRoundTrip, ObjectsComeBackWholeAtTheirPlace)
{
    hwp::Document document = DocumentWithTexts({u"앞뒤", u"끝"});
    hwp::Paragraph& paragraph = document.sections.front().paragraphs.front();
    paragraph.controls.push_back(TableControl(document, {u"가", u"나"}));
    paragraph.controls.back().position = paragraph.controls.back().end = 1;
    paragraph.controls.push_back(TableControl(document, {u"다"}));
    paragraph.controls.back().position = paragraph.controls.back().end = 1;
    paragraph.controls.back().extraUnits = {u'x', 0, 0, u'y'};
    paragraph.controls.push_back(TableControl(document, {u"라"}));
    paragraph.controls.back().position = paragraph.controls.back().end = 2;
    const hwp::Document read = RoundTrip(document);
    EXPECT_EQ(read.sections.front().paragraphs, document.sections.front().paragraphs);
    EXPECT_EQ(read.sections.front().paragraphs.front().text, u"앞뒤") << "no placeholder text in the document";
}

TEST(HwpRoundTrip, ControlCharactersOutsideTheConventionsBecomeSpaces)
{
    const hwp::Document document = DocumentWithTexts({std::u16string(u"a\rb") + u'\x01' + u"c"});
    const hwp::Document read = RoundTrip(document);
    EXPECT_EQ(read.sections.front().paragraphs.front().text, u"a b c");
}

TEST(HwpRoundTrip, LongParagraphsAndManySectionsRoundTrip)
{
    std::u16string long_text;
    for (int i = 0; i < 3000; ++i)
        long_text += u"가나다 ";
    hwp::Document document = DocumentWithTexts({long_text, u"끝"});
    document.sections.push_back(document.sections.front());
    document.sections.push_back(document.sections.front());
    hwp::Document read = RoundTrip(document);
    document.version = read.version;
    EXPECT_EQ(read, document);
}

// The section's column definition and those of paragraphs that change the columns.
std::vector<const hwp::Control*> ColumnDefinitions(const hwp::Document& document)
{
    std::vector<const hwp::Control*> found;
    for (const hwp::Section& section : document.sections) {
        if (!section.columnDef.records.empty())
            found.push_back(&section.columnDef);
        for (const hwp::Paragraph& paragraph : section.paragraphs) {
            for (const hwp::Control& control : paragraph.controls) {
                if (control.ctrlId == hwp::kCold)
                    found.push_back(&control);
            }
        }
    }
    return found;
}

// The word processor's column definitions read as their bytes say (equal and unequal
// widths, lines of a kind, width and colour) and go back byte for byte, alone and in the
// rewritten file; a definition the section changes keeps its kind and line.
TEST(HwpRoundTrip, ColumnDefinitionsReadAsTheFilesHoldThemAndWriteBackByteForByte)
{
    const std::string folder = SamplesFolder();
    if (folder.empty())
        GTEST_SKIP() << "no sample documents";
    struct Expected {
        std::uint16_t count;
        hwp::HwpUnit gap;
        std::vector<std::uint16_t> shares;
        hwp::BorderLine line;
    };
    const hwp::BorderLine none{0, 0, 0}, noneThin{0, 1, 0}, thin{1, 1, 0}, red{1, 2, 0x0000FF};
    const std::pair<const char*, std::vector<Expected>> cases[] = {
        {"multicolumns.hwp", {{1, 2268, {}, noneThin}, {2, 2268, {}, thin}, {3, 1134, {}, thin}}},
        {"multicolumns-widths.hwp",
         {{1, 0, {}, red}, {2, 0, {15291, 1744, 15733, 0}, red}, {3, 0, {10336, 870, 10336, 434, 10792, 0}, red}}},
        {"multicolumns-in-common-controls.hwp", {{1, 0, {}, none}}},
    };
    for (const auto& [file, expected] : cases) {
        SCOPED_TRACE(file);
        const hwp::Document document = hwp::ReadDocument(folder + "/" + file);
        const std::vector<const hwp::Control*> definitions = ColumnDefinitions(document);
        ASSERT_EQ(definitions.size(), expected.size());
        for (std::size_t i = 0; i < definitions.size(); ++i) {
            SCOPED_TRACE("definition " + std::to_string(i));
            const hwp::Columns columns = hwp::ReadColumns(*definitions[i]);
            EXPECT_EQ(columns.kind, hwp::Columns::kNormal);
            EXPECT_EQ(columns.count, expected[i].count);
            EXPECT_EQ(columns.gap, expected[i].gap);
            EXPECT_EQ(columns.shares, expected[i].shares);
            EXPECT_EQ(columns.sameWidth, expected[i].shares.empty());
            EXPECT_EQ(columns.line, expected[i].line);
            EXPECT_EQ(hwp::WriteColumns(columns), definitions[i]->records.front().data);
            if (!columns.shares.empty()) {
                // Widths and gaps take the body whole, the first column at its left edge.
                const auto spans = hwp::ColumnSpans(columns, 42520);
                ASSERT_EQ(spans.size(), columns.count);
                EXPECT_EQ(spans.front().first, 0);
                EXPECT_NEAR(spans.back().first + spans.back().second, 42520, columns.count);
                hwp::Columns fromRight = columns;
                fromRight.direction = 1;
                EXPECT_EQ(hwp::ColumnSpans(fromRight, 42520).front().first + spans.front().second, 42520)
                    << "the first column at the right edge";
            }
        }
        const hwp::Document rewritten = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
        const std::vector<const hwp::Control*> again = ColumnDefinitions(rewritten);
        ASSERT_EQ(again.size(), definitions.size());
        for (std::size_t i = 0; i < again.size(); ++i)
            EXPECT_EQ(again[i]->records, definitions[i]->records) << "definition " << i;

        // Two equal columns 5 mm apart where the file had others: the line and kind stay.
        hwp::Document changed = document;
        changed.sections.front().columnDef = *definitions.back();
        changed.sections.front().columnCount = 2;
        changed.sections.front().columnGap = 1417;
        const hwp::Columns patched =
            hwp::ReadColumns(hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(changed)).sections.front().columnDef);
        EXPECT_EQ(patched.count, 2);
        EXPECT_EQ(patched.gap, 1417);
        EXPECT_TRUE(patched.shares.empty()) << "widths that were for other columns";
        EXPECT_EQ(patched.line, expected.back().line);
    }
}

}  // namespace
