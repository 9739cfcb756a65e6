// What the pane does not show survives a trip through it: untouched shapes, the page
// definition, fields, kept objects and kept fields, later sections.
#include "tests/editor/editor_testing.h"

#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "hwp/records.h"
#include "tools/templates/template_documents.h"

#include <QTextBlock>

namespace {

// A control the model keeps without understanding: its header record and one below it.
hwp::Control KeptControl(std::uint32_t ctrlId, char16_t code, std::uint32_t position, std::uint32_t end)
{
    hwp::Control control;
    control.position = position;
    control.end = end;
    control.code = code;
    control.ctrlId = ctrlId;
    hwp::Bytes header(4 + 9, 0);
    for (int i = 0; i < 4; ++i)
        header[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(ctrlId >> (8 * i));
    header[8] = 0x2A;
    control.records.push_back({hwp::tag::kCtrlHeader, 0, header});
    control.records.push_back({hwp::tag::kCtrlData, 1, {1, 2, 3}});
    return control;
}
constexpr std::uint32_t kUnknownObject = hwp::CtrlId('z', 'z', 'z', 'z');
constexpr std::uint32_t kLink = hwp::CtrlId('%', 'h', 'l', 'k');

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
    first.controls.push_back(KeptControl(kUnknownObject, 11, static_cast<std::uint32_t>(first.text.size()),
                                         static_cast<std::uint32_t>(first.text.size())));
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
    EXPECT_EQ(shown->Text().toPlainText(), QStringLiteral("노란 글자와 표") + QChar(QChar::ObjectReplacementCharacter));
    EXPECT_TRUE(shown->Page().landscape);
    EXPECT_EQ(shown->Page().SheetWidth(), 103180);

    const hwp::Document back = editor::ToHwpDocument(*shown);
    const hwp::Paragraph& paragraph = back.sections.at(0).paragraphs.at(0);
    EXPECT_EQ(paragraph.text, u"노란 글자와 표") << "the object takes no room in the text";
    EXPECT_EQ(paragraph.controls, original.sections[0].paragraphs[0].controls);
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

// Beside the text: the file's other streams, DocInfo records and version go with the
// document; tabs and range tags with their paragraph while its text is as read.
TEST_F(HwpMapping, WhatTheFileHeldBesideTheTextStaysWhileItsParagraphIsUntouched)
{
    hwp::Document original = Sample();
    original.version = hwp::Version{5, 0, 1, 7};
    original.keptStreams = {{"Scripts/DefaultJScript", "script"}, {"DocOptions/_LinkDoc", "link"}};
    original.docInfoRecords.push_back(hwp::ObjectRecord{hwp::tag::kMemoShape, 1, hwp::Bytes(22, 1)});
    hwp::Paragraph tabbed;
    tabbed.text = u"L\tR";
    tabbed.charShapes = {{0, 0}};
    tabbed.tabs = {{0x0FA0, 0, 0x0301, 0, 0, 0}};
    tabbed.rangeTags = hwp::Bytes{0, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 2};
    original.sections[0].paragraphs.push_back(tabbed);
    original.sections[0].paragraphs.push_back(tabbed);
    const auto shown = editor::ToEditorDocument(original);

    QTextCursor cursor(shown->Text().lastBlock());
    cursor.insertText(QStringLiteral("새 "));   // the last paragraph is edited
    const hwp::Document back = editor::ToHwpDocument(*shown);
    EXPECT_EQ(back.version, original.version);
    EXPECT_EQ(back.keptStreams, original.keptStreams);
    EXPECT_EQ(back.docInfoRecords, original.docInfoRecords);
    const auto& paragraphs = back.sections.at(0).paragraphs;
    ASSERT_EQ(paragraphs.size(), 3u);
    EXPECT_EQ(paragraphs[1].tabs, tabbed.tabs);
    EXPECT_EQ(paragraphs[1].rangeTags, tabbed.rangeTags);
    EXPECT_EQ(paragraphs[2].text, u"새 L\tR");
    EXPECT_TRUE(paragraphs[2].tabs.empty());
    EXPECT_TRUE(paragraphs[2].rangeTags.empty());
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

TEST_F(HwpMapping, KeptFieldsFollowTheirTextThroughEdits)
{
    hwp::Document document = Sample();
    hwp::Paragraph& paragraph = document.sections[0].paragraphs[0];
    paragraph.text = u"링크 글자 뒤 칸";
    paragraph.controls = {KeptControl(kLink, 3, 3, 5), KeptControl(kUnknownObject, 11, 6, 6)};
    paragraph.fields.clear();
    hwp::Field field;
    field.begin = 7;
    field.end = 8;
    field.name = u"TEXT_AREA";
    paragraph.fields.push_back(field);
    const auto shown = editor::ToEditorDocument(document);
    const QChar object(QChar::ObjectReplacementCharacter);
    EXPECT_EQ(shown->Text().toPlainText(), QStringLiteral("링크 %1글자%1 %1뒤 칸").arg(object));

    // Typed inside the linked text: the field grows; the object and the click-here field move on.
    QTextCursor cursor(&shown->Text());
    cursor.setPosition(5);
    cursor.insertText(QStringLiteral("와"));
    hwp::Document back = editor::ToHwpDocument(*shown);
    const hwp::Paragraph* written = &back.sections.at(0).paragraphs.at(0);
    EXPECT_EQ(written->text, u"링크 글와자 뒤 칸");
    ASSERT_EQ(written->controls.size(), 2u);
    EXPECT_EQ(written->controls[0].ctrlId, kLink);
    EXPECT_EQ(written->controls[0].position, 3u);
    EXPECT_EQ(written->controls[0].end, 6u);
    EXPECT_EQ(written->controls[0].records, paragraph.controls[0].records);
    EXPECT_EQ(written->controls[1].position, 7u);
    ASSERT_EQ(written->fields.size(), 1u);
    EXPECT_EQ(written->fields[0].begin, 8u);
    EXPECT_EQ(written->fields[0].end, 9u);

    // The field's end deleted: it ends with its paragraph; its start deleted: it goes.
    cursor.setPosition(7);
    cursor.deleteChar();
    back = editor::ToHwpDocument(*shown);
    written = &back.sections.at(0).paragraphs.at(0);
    ASSERT_EQ(written->controls.size(), 2u);
    EXPECT_EQ(written->controls[0].end, written->text.size());
    cursor.setPosition(3);
    cursor.deleteChar();
    back = editor::ToHwpDocument(*shown);
    ASSERT_EQ(back.sections.at(0).paragraphs.at(0).controls.size(), 1u);
    EXPECT_EQ(back.sections[0].paragraphs[0].controls[0].ctrlId, kUnknownObject);
}

TEST_F(HwpMapping, LaterSectionsComeBackWithTheirPagesUntilTheirStartIsDeleted)
{
    hwp::Document document = Sample();
    hwp::Section second = document.sections[0];
    second.page = hwp::PageDef{};
    second.page.landscape = true;
    second.columnCount = 2;
    second.paragraphs.resize(2);
    second.paragraphs[0].text = u"둘째 구역";
    second.paragraphs[0].controls.clear();
    second.paragraphs[0].fields.clear();
    second.paragraphs[1] = second.paragraphs[0];
    second.paragraphs[1].text = u"그다음";
    document.sections.push_back(second);

    const auto shown = editor::ToEditorDocument(document);
    hwp::Document back = editor::ToHwpDocument(*shown);
    ASSERT_EQ(back.sections.size(), 2u);
    EXPECT_EQ(back.sections[1].page, second.page);
    EXPECT_EQ(back.sections[1].columnCount, 2);
    ASSERT_EQ(back.sections[1].paragraphs.size(), 2u);
    EXPECT_EQ(back.sections[1].paragraphs[0].text, u"둘째 구역");
    EXPECT_EQ(back.sections[0].page, document.sections[0].page);

    // Enter at the end of the section's first paragraph makes no third section.
    const QTextBlock start = shown->Text().findBlockByNumber(1);
    QTextCursor cursor(start);
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.insertBlock();
    back = editor::ToHwpDocument(*shown);
    ASSERT_EQ(back.sections.size(), 2u);
    EXPECT_EQ(back.sections[1].paragraphs.size(), 3u);

    cursor.setPosition(start.position());
    cursor.deleteChar();
    back = editor::ToHwpDocument(*shown);
    ASSERT_EQ(back.sections.size(), 1u);
    EXPECT_EQ(back.sections[0].paragraphs.size(), 4u);
}

TEST_F(HwpMapping, AKeptFieldEndingInALaterParagraphEndsThereAgain)
{
    hwp::Document document = Sample();
    hwp::Paragraph first = document.sections[0].paragraphs[0];
    first.text = u"앞 링크";
    first.fields.clear();
    first.controls = {KeptControl(kLink, 3, 2, hwp::kEndsInLaterParagraph)};
    hwp::Paragraph second = first;
    second.text = u"이어서 끝";
    second.controls.clear();
    second.fieldEnds = {{3, kLink & 0x00FFFFFF}, {4, 0x00616263}};   // the second's start is nowhere
    document.sections[0].paragraphs = {first, second};

    const auto shown = editor::ToEditorDocument(document);
    hwp::Document back = editor::ToHwpDocument(*shown);
    EXPECT_EQ(back.sections.at(0).paragraphs.at(0).controls, first.controls);
    EXPECT_EQ(back.sections[0].paragraphs.at(1).fieldEnds, second.fieldEnds);

    // Its end deleted: the field ends with its own paragraph.
    QTextCursor cursor(shown->Text().findBlockByNumber(1));
    cursor.setPosition(cursor.position() + 3);
    cursor.deleteChar();
    back = editor::ToHwpDocument(*shown);
    EXPECT_EQ(back.sections[0].paragraphs[0].controls.at(0).end, 4u);
    EXPECT_EQ(back.sections[0].paragraphs[1].fieldEnds, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{4, 0x00616263}}));
}

} // namespace
