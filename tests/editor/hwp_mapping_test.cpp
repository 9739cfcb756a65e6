// What the pane does not show survives a trip through it: untouched shapes, the page
// definition, fields and the controls shown as placeholders.
#include "tests/editor/editor_testing.h"

#include "editor/hwp_mapping.h"
#include "tools/templates/template_documents.h"

#include <QTextBlock>

namespace {

class HwpMapping : public ::testing::Test {
protected:
    void SetUp() override { editor_testing::EnsureApplication(); }
};

hwp::Document Sample()
{
    hwp::Document document = templates::MakeStyledDocument(1);
    hwp::CharShape shaded = document.charShapes[0];
    shaded.shadeColor = 0x0000FFFF;          // yellow behind the letters
    shaded.otherProperties = 0x00000800;     // a property the pane cannot show
    shaded.spacings.fill(-5);
    document.charShapes.push_back(shaded);
    hwp::ParaShape hanging = document.paraShapes[0];
    hanging.indent = -1500;
    hanging.leftMargin = 400;
    hanging.otherProperties1 = 0x00000100;
    document.paraShapes.push_back(hanging);

    hwp::Section& section = document.sections.front();
    section.page.width = 72852;               // B4
    section.page.height = 103180;
    section.page.landscape = true;
    section.page.leftMargin = 4252;
    hwp::Paragraph& first = section.paragraphs.front();
    first.text = u"노란 글자와 표";
    first.paraShapeId = static_cast<std::uint16_t>(document.paraShapes.size() - 1);
    first.charShapes = {{0, 0}, {3, static_cast<std::uint32_t>(document.charShapes.size() - 1)}};
    hwp::Field field;
    field.begin = 0;
    field.end = 2;
    field.name = u"TITLE";
    field.guide = u"제목";
    first.fields.push_back(field);
    return document;
}

TEST_F(HwpMapping, UntouchedShapesPageAndFieldsComeBackAsTheyWere)
{
    const hwp::Document original = Sample();
    const auto shown = editor::ToEditorDocument(original);
    EXPECT_EQ(shown->Text().toPlainText(), QStringLiteral("노란 글자와 표"));
    EXPECT_TRUE(shown->Page().landscape);
    EXPECT_EQ(shown->Page().SheetWidth(), 103180);

    const hwp::Document back = editor::ToHwpDocument(*shown);
    const hwp::Paragraph& paragraph = back.sections.at(0).paragraphs.at(0);
    EXPECT_EQ(paragraph.text, u"노란 글자와 표");
    EXPECT_EQ(back.sections[0].page, original.sections[0].page);
    EXPECT_EQ(back.paraShapes.at(paragraph.paraShapeId), original.paraShapes.back());
    ASSERT_EQ(paragraph.charShapes.size(), 2u);
    EXPECT_EQ(paragraph.charShapes[1].position, 3u);
    EXPECT_EQ(back.charShapes.at(paragraph.charShapes[1].charShapeId), original.charShapes.back());
    EXPECT_EQ(back.charShapes.at(paragraph.charShapes[0].charShapeId), original.charShapes.front());
    ASSERT_EQ(paragraph.fields.size(), 1u);
    EXPECT_EQ(paragraph.fields[0].name, u"TITLE");
    EXPECT_EQ(paragraph.fields[0].begin, 0u);
    EXPECT_EQ(paragraph.fields[0].end, 2u);
    EXPECT_EQ(paragraph.fields[0].guide, u"제목");
    // Styles keep their names and looks; equal shapes may now share one id.
    ASSERT_EQ(back.styles.size(), original.styles.size());
    for (std::size_t i = 0; i < back.styles.size(); ++i) {
        EXPECT_EQ(back.styles[i].name, original.styles[i].name);
        EXPECT_EQ(back.charShapes.at(back.styles[i].charShapeId), original.charShapes.at(original.styles[i].charShapeId));
        EXPECT_EQ(back.paraShapes.at(back.styles[i].paraShapeId), original.paraShapes.at(original.styles[i].paraShapeId));
    }
}

TEST_F(HwpMapping, AbsurdSizesFromAFileAreShownWithinBoundsAndWrittenBackAsRead)
{
    hwp::Document document = Sample();
    document.charShapes[0].size = 0x7FFFFFFF;
    document.paraShapes[0].lineSpacingKind = hwp::LineSpacingKind::Fixed;
    document.paraShapes[0].lineSpacing = 0x7FFFFFFF;
    document.sections[0].paragraphs[0].paraShapeId = 0;
    const auto shown = editor::ToEditorDocument(document);
    QTextCursor cursor(&shown->Text());
    cursor.setPosition(1);
    EXPECT_LE(cursor.charFormat().fontPointSize(), 4096.0);
    EXPECT_LE(shown->Text().firstBlock().blockFormat().lineHeight(), editor::HwpUnitsToLayout(84188) + 0.01);

    const hwp::Document back = editor::ToHwpDocument(*shown);
    const hwp::Paragraph& paragraph = back.sections.at(0).paragraphs.at(0);
    EXPECT_EQ(back.charShapes.at(paragraph.charShapes.at(0).charShapeId).size, 0x7FFFFFFF);
    EXPECT_EQ(back.paraShapes.at(paragraph.paraShapeId).lineSpacing, 0x7FFFFFFF);
}

TEST_F(HwpMapping, HangingIndentShowsTheFirstLineAtTheMargin)
{
    const auto shown = editor::ToEditorDocument(Sample());
    const QTextBlockFormat format = shown->Text().firstBlock().blockFormat();
    // 400 units of margin, 1500 of hanging: the first line at 400, the rest at 1900.
    EXPECT_NEAR(format.leftMargin() + format.textIndent(), editor::HwpUnitsToLayout(400), 0.01);
    EXPECT_NEAR(format.leftMargin(), editor::HwpUnitsToLayout(1900), 0.01);
}

TEST_F(HwpMapping, EditedFormatsAreWrittenAsNewShapes)
{
    const auto shown = editor::ToEditorDocument(Sample());
    QTextCursor cursor(&shown->Text());
    cursor.setPosition(0);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    QTextCharFormat larger;
    larger.setFontPointSize(14);
    larger.setFontItalic(true);
    cursor.mergeCharFormat(larger);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.mergeBlockFormat(centred);

    const hwp::Document back = editor::ToHwpDocument(*shown);
    const hwp::Paragraph& paragraph = back.sections.at(0).paragraphs.at(0);
    const hwp::CharShape& edited = back.charShapes.at(paragraph.charShapes.at(0).charShapeId);
    EXPECT_EQ(edited.size, 1400);
    EXPECT_TRUE(edited.italic);
    const hwp::ParaShape& para = back.paraShapes.at(paragraph.paraShapeId);
    EXPECT_EQ(para.alignment, hwp::Alignment::Center);
    EXPECT_EQ(para.indent, -1500) << "what was not edited keeps its value";
    EXPECT_EQ(para.otherProperties1, 0x00000100u);
}

} // namespace
