// Opening, saving, clearing and inserting HWP documents through the pane.
#include "tests/editor/editor_testing.h"

#include "hwp/kept_xml.h"
#include "hwp/reader.h"
#include "hwp/writer.h"
#include "hwpx/reader.h"
#include "tests/hwp/stream_checks.h"
#include "hwpx/writer.h"
#include "support/files.h"

#include <QDir>
#include <QImage>
#include <QTextBlock>
#include <QTextEdit>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using editor_testing::PaneTest;
using editor_testing::Q;

namespace {

QTextCharFormat FormatAt(editor::CHwpctrl& pane, int position)
{
    QTextCursor cursor(&pane.Document().Text());
    cursor.setPosition(position + 1);
    return cursor.charFormat();
}

int StyleOf(const QTextBlock& block)
{
    return block.blockFormat().intProperty(editor::kStyleIndexProperty);
}

class PaneDocuments : public PaneTest {};

TEST_F(PaneDocuments, SaveThenOpenGivesTheSameTextAndFormats)
{
    ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate("sf_exam_format.hwp"), u"HWP"));
    Type(*m_pane, u"다음 글을 읽고 물음에 답하시오.\r\n굵은 글자와 보통 글자\r\n셋째\t탭");
    QTextCursor cursor(&m_pane->Document().Text());
    const QTextBlock second = m_pane->Document().Text().findBlockByNumber(1);
    cursor.setPosition(second.position());
    cursor.setPosition(second.position() + 5, QTextCursor::KeepAnchor);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontUnderline(true);
    bold.setForeground(QColor(200, 0, 0));
    cursor.mergeCharFormat(bold);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.mergeBlockFormat(centred);
    m_pane->Document().ApplyStyle(8, QTextCursor(m_pane->Document().Text().lastBlock()));
    // A line break inside a paragraph (Shift+Enter) stays one.
    QTextCursor end(&m_pane->Document().Text());
    end.movePosition(QTextCursor::End);
    end.insertText(QString(QChar(QChar::LineSeparator)) + QStringLiteral("줄"));

    const std::u16string path = PathU16("saved.hwp");
    ASSERT_TRUE(m_pane->SaveDocumentAs(path, u"HWP"));
    editor::CHwpctrl reopened;
    ASSERT_TRUE(reopened.OpenDocument(path, u"HWP"));

    EXPECT_EQ(PaneText(reopened), PaneText(*m_pane));
    const QTextDocument& text = reopened.Document().Text();
    ASSERT_EQ(text.blockCount(), 3);
    EXPECT_EQ(text.lastBlock().text(), QStringLiteral("셋째\t탭") + QChar(QChar::LineSeparator) + QStringLiteral("줄"));
    EXPECT_EQ(reopened.Document().Styles().size(), 9u);
    EXPECT_EQ(StyleOf(text.findBlockByNumber(0)), 5);
    EXPECT_EQ(StyleOf(text.findBlockByNumber(2)), 8);
    EXPECT_EQ(text.findBlockByNumber(1).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

    const int at = text.findBlockByNumber(1).position();
    const QTextCharFormat boldPart = FormatAt(reopened, at);
    EXPECT_EQ(boldPart.fontWeight(), QFont::Bold);
    EXPECT_TRUE(boldPart.fontUnderline());
    EXPECT_EQ(boldPart.foreground().color(), QColor(200, 0, 0));
    const QTextCharFormat plainPart = FormatAt(reopened, at + 7);
    EXPECT_NE(plainPart.fontWeight(), QFont::Bold);
    EXPECT_DOUBLE_EQ(plainPart.fontPointSize(), 10.0);
    EXPECT_EQ(plainPart.fontFamilies().toStringList().value(0), QStringLiteral("NanumMyeongjo"));
    EXPECT_DOUBLE_EQ(FormatAt(reopened, text.findBlockByNumber(2).position()).fontPointSize(), 9.5);

    // The file is a real HWP document with the same paragraphs.
    const hwp::Document read = hwp::ReadDocument(Q(path).toStdString());
    ASSERT_EQ(read.sections.size(), 1u);
    ASSERT_EQ(read.sections[0].paragraphs.size(), 3u);
    EXPECT_EQ(read.sections[0].paragraphs[2].text, u"셋째\t탭\n줄");
}

TEST_F(PaneDocuments, AFailedOpenKeepsWhatThePaneShowed)
{
    Type(*m_pane, u"지우면 안 되는 글");
    EXPECT_FALSE(m_pane->OpenDocument(PathU16("missing.hwp"), u"HWP"));
    ASSERT_TRUE(WriteWholeFile(PathOf("garbage.hwp"), std::string(4096, 'x')));
    EXPECT_FALSE(m_pane->OpenDocument(PathU16("garbage.hwp"), u"HWP"));
    EXPECT_FALSE(m_pane->OpenDocument(PathU16(""), u"HWP"));
    EXPECT_EQ(PaneText(*m_pane), QStringLiteral("지우면 안 되는 글"));
}

TEST_F(PaneDocuments, AFailedSaveReportsFalseAndLeavesTheOldFile)
{
    Type(*m_pane, u"본문");
    EXPECT_FALSE(m_pane->SaveDocumentAs(PathU16("no-such-folder/x.hwp"), u"HWP"));
    ASSERT_TRUE(m_pane->SaveDocumentAs(PathU16("kept.hwp"), u"HWP"));
    const std::string before = ReadWholeFile(PathOf("kept.hwp"));
    EXPECT_FALSE(m_pane->SaveDocumentAs(PathU16("kept.hwp"), u"PDF"));
    EXPECT_EQ(ReadWholeFile(PathOf("kept.hwp")), before);
}

TEST_F(PaneDocuments, APaneExportsAsHwpxWithWhatItsHwpxFileHeldBeyondTheModel)
{
    // An HWPX file with a part and a paragraph object the model does not read.
    hwp::Document source = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(hwp::NewDocument()));
    source.sections[0].paragraphs[0].text = u"가나";
    hwp::Control mark = hwp::NewKeptXmlControl(
        {hwp::XmlPlace::Ctrl, "<hp:indexmark xmlns:hp=\"urn:p\"><hp:firstKey>여기</hp:firstKey></hp:indexmark>"});
    mark.position = mark.end = 1;
    source.sections[0].paragraphs[0].controls.push_back(mark);
    source.hwpxParts["settings.xml"] = "<settings/>";
    hwpx::WriteHwpx(source, PathOf("source.hwpx"));
    ASSERT_TRUE(m_pane->OpenDocument(PathU16("source.hwpx"), u"HWPX"));
    QTextCursor end(&m_pane->Document().Text());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral("다"));

    ASSERT_TRUE(m_pane->SaveDocumentAs(PathU16("export.hwpx"), u"HWPX"));
    const hwp::Document exported = hwpx::ReadAnyDocument(PathOf("export.hwpx"));
    const hwp::Paragraph& paragraph = exported.sections.at(0).paragraphs.at(0);
    EXPECT_EQ(paragraph.text, u"가나다");
    // The paragraph changed: it goes with the lines the pane printed it on.
    EXPECT_EQ(paragraph.lineLayout.segments.size(), 1u);
    ASSERT_EQ(paragraph.controls.size(), 1u);
    EXPECT_EQ(paragraph.controls[0].position, 1u);
    EXPECT_EQ(hwp::ReadKeptXml(paragraph.controls[0]), hwp::ReadKeptXml(mark));
    EXPECT_EQ(exported.hwpxParts.at("settings.xml"), "<settings/>");
    // Its previews are of what it holds now.
    EXPECT_EQ(exported.hwpxParts.at("Preview/PrvText.txt"), "가나다\r\n");
    EXPECT_TRUE(exported.hwpxParts.at("Preview/PrvImage.png").starts_with("\x89PNG"));

    const std::string before = ReadWholeFile(PathOf("export.hwpx"));
    EXPECT_FALSE(m_pane->SaveDocumentAs(PathU16("no-such-folder/x.hwpx"), u"HWPX"));
    EXPECT_EQ(ReadWholeFile(PathOf("export.hwpx")), before);
}

TEST_F(PaneDocuments, ClearDocumentEmptiesThePaneButKeepsItsStyles)
{
    ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate("sf_answer_obj_format.hwp"), u"HWP"));
    EXPECT_EQ(PaneText(*m_pane), QStringLiteral("정답 : "));
    m_pane->ClearDocument(0);
    m_pane->RunAction(u"MoveDocEnd");
    const auto caret = m_pane->GetCaretIndicator();
    EXPECT_EQ(caret.line, 1);
    EXPECT_EQ(caret.column, 1);
    EXPECT_TRUE(m_pane->RunAction(u"StyleShortcut9"));
}

TEST_F(PaneDocuments, InsertFileAppendsADocumentWithItsFormats)
{
    // The part to insert: an options document in style 8, one word bold.
    editor::CHwpctrl part;
    ASSERT_TRUE(part.OpenDocument(WriteTemplate("sf_obj_format.hwp"), u"HWP"));
    Type(part, u"① 사과\r\n② 배");
    QTextCursor bold(&part.Document().Text());
    bold.setPosition(2);
    bold.setPosition(4, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setFontWeight(QFont::Bold);
    bold.mergeCharFormat(format);
    ASSERT_TRUE(part.SaveDocumentAs(PathU16("obj-objective.hwp"), u"HWP"));

    // The print document: a template, a line of text, a blank line, then the part.
    ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate("sf_preview_format.hwp"), u"HWP"));
    Type(*m_pane, u"문제\r\n");
    m_pane->RunAction(u"MoveDocEnd");
    auto action = m_pane->CreateAction(u"InsertFile");
    auto set = m_pane->CreateParameterSet(u"InsertFile");
    set->SetItem(u"FileName", PathU16("obj-objective.hwp"));
    set->SetItem(u"FileFormat", u"HWP");
    set->SetItem(u"KeepSection", 0);
    set->SetItem(u"KeepCharshape", 1);
    set->SetItem(u"KeepParashape", 1);
    ASSERT_TRUE(action->Execute(*set));

    const QTextDocument& text = m_pane->Document().Text();
    EXPECT_EQ(PaneText(*m_pane), QStringLiteral("문제\n① 사과\n② 배"));
    EXPECT_EQ(StyleOf(text.findBlockByNumber(0)), 0);
    EXPECT_EQ(StyleOf(text.findBlockByNumber(1)), 7);
    EXPECT_EQ(StyleOf(text.findBlockByNumber(2)), 7);
    EXPECT_LT(text.findBlockByNumber(1).blockFormat().textIndent(), 0);
    const int at = text.findBlockByNumber(1).position();
    EXPECT_EQ(FormatAt(*m_pane, at + 2).fontWeight(), QFont::Bold);
    EXPECT_NE(FormatAt(*m_pane, at + 4).fontWeight(), QFont::Bold);

    // A file that is not there inserts nothing.
    set->SetItem(u"FileName", PathU16("missing.hwp"));
    EXPECT_FALSE(action->Execute(*set));
    EXPECT_EQ(PaneText(*m_pane), QStringLiteral("문제\n① 사과\n② 배"));
}

TEST_F(PaneDocuments, InsertFileTakesAnHwpxDocumentWithItsStyles)
{
    editor::CHwpctrl part;
    ASSERT_TRUE(part.OpenDocument(WriteTemplate("sf_obj_format.hwp"), u"HWP"));
    Type(part, u"① 사과\r\n② 배");
    ASSERT_TRUE(part.SaveDocumentAs(PathU16("part.hwp"), u"HWP"));
    hwpx::WriteHwpx(hwp::ReadDocument(PathOf("part.hwp")), PathOf("part.hwpx"));

    ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate("sf_preview_format.hwp"), u"HWP"));
    Type(*m_pane, u"문제\r\n");
    m_pane->RunAction(u"MoveDocEnd");
    auto action = m_pane->CreateAction(u"InsertFile");
    auto set = m_pane->CreateParameterSet(u"InsertFile");
    set->SetItem(u"FileName", PathU16("part.hwpx"));
    set->SetItem(u"FileFormat", u"HWPX");
    set->SetItem(u"KeepSection", 0);
    set->SetItem(u"KeepCharshape", 1);
    set->SetItem(u"KeepParashape", 1);
    ASSERT_TRUE(action->Execute(*set));
    EXPECT_EQ(PaneText(*m_pane), QStringLiteral("문제\n① 사과\n② 배"));
    EXPECT_EQ(StyleOf(m_pane->Document().Text().findBlockByNumber(1)), 7);
}

TEST_F(PaneDocuments, FieldsSurviveSaveAndOpen)
{
    ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate("f_text_empty_format.hwp"), u"HWP"));
    ASSERT_TRUE(m_pane->GoToField(u"TEXT_AREA", 0, 1, 1));
    Type(*m_pane, u"옛날 옛적에");
    ASSERT_TRUE(m_pane->SaveDocumentAs(PathU16("text.hwp"), u"HWP"));

    editor::CHwpctrl reopened;
    ASSERT_TRUE(reopened.OpenDocument(PathU16("text.hwp"), u"HWP"));
    ASSERT_TRUE(reopened.GoToField(u"TEXT_AREA", 0, 1, 1));
    EXPECT_EQ(reopened.TextView()->textCursor().selectedText(), QStringLiteral("옛날 옛적에"));
}

// An independent HWP parser reads back what the pane wrote.
TEST_F(PaneDocuments, SavedDocumentsReadInTheOracleParser)
{
    const char* sourceEnv = std::getenv("VARNEL_SOURCE_DIR");
    const std::filesystem::path oracle =
        std::filesystem::path(sourceEnv != nullptr ? sourceEnv : VARNEL_SOURCE_DIR_AT_BUILD) / "tests/oracle";
    if (!std::filesystem::is_directory(oracle / "node_modules/@ohah/hwpjs") || std::system("node --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "no oracle";
    ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate("sf_answer_obj_format.hwp"), u"HWP"));
    m_pane->RunAction(u"MoveDocEnd");
    Type(*m_pane, u"③\r\n해설: 봄에는 꽃이 핀다.");
    m_pane->RunAction(u"MoveDocBegin");
    m_pane->RunAction(u"MoveSelDocEnd");
    m_pane->RunAction(u"StyleShortcut5");
    ASSERT_TRUE(m_pane->SaveDocumentAs(PathU16("answer.hwp"), u"HWP"));

    const std::string output = PathOf("oracle.json");
    const std::string command = "node '" + (oracle / "dump-texts.js").string() + "' '" + PathOf("answer.hwp") + "' > '" + output + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(QString::fromStdString(ReadWholeFile(output))
                    .contains(QStringLiteral("\"texts\":[[\"정답 : ③\",\"해설: 봄에는 꽃이 핀다.\"]]")))
        << ReadWholeFile(output);
}

// What a save of an opened file keeps beside the text: its streams and DocInfo records,
// its tabs and range tags where the text is as it was; and its picture of page 1 is ours,
// the word processor's size, with ink about where the word processor's has it.
std::string BytesOf(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void ExpectKeptBesideTheText(const std::string& originalPath, const std::string& copyPath)
{
    const std::string original = BytesOf(originalPath);
    const std::string written = BytesOf(copyPath);
    for (const std::string& loss : hwp_testing::StreamLosses(original, written, false))
        ADD_FAILURE() << loss;
    const hwp::StreamMap streams = hwp::ReadCompoundFile(written, 64u << 20);
    ASSERT_TRUE(streams.count("PrvImage"));
    const std::string& gif = streams.at("PrvImage");
    QImage picture;
    ASSERT_TRUE(picture.loadFromData(reinterpret_cast<const uchar*>(gif.data()), static_cast<int>(gif.size()), "GIF"));
    EXPECT_EQ(picture.size(), QSize(177, 250));

    const hwp::Document before = hwp::ReadDocument(originalPath);
    const hwp::Document after = hwp::ReadDocument(copyPath);
    EXPECT_EQ(after.version, before.version);
    ASSERT_EQ(after.sections.size(), before.sections.size());
    for (std::size_t s = 0; s < before.sections.size(); ++s) {
        const auto& was = before.sections[s].paragraphs;
        const auto& now = after.sections[s].paragraphs;
        for (std::size_t p = 0; p < std::min(was.size(), now.size()); ++p) {
            if (was[p].text == now[p].text) {
                EXPECT_EQ(now[p].tabs, was[p].tabs) << "section " << s << " paragraph " << p;
                EXPECT_EQ(now[p].rangeTags, was[p].rangeTags) << "section " << s << " paragraph " << p;
            }
        }
    }
}

// Files written by other HWP software open, and what we write back reads the same.
TEST_F(PaneDocuments, SampleDocumentsOpenAndSurviveARoundTrip)
{
    const char* source = std::getenv("VARNEL_SOURCE_DIR");
    const std::filesystem::path samples =
        std::filesystem::path(source != nullptr ? source : VARNEL_SOURCE_DIR_AT_BUILD) / "../shared/hwp-samples";
    if (!std::filesystem::is_directory(samples))
        GTEST_SKIP() << "no sample documents";
    int opened = 0;
    for (const auto& entry : std::filesystem::directory_iterator(samples)) {
        if (entry.path().extension() != ".hwp")
            continue;
        editor::CHwpctrl pane;
        if (!pane.OpenDocument(editor_testing::U16(QString::fromStdString(entry.path().string())), u"HWP"))
            continue; // protected documents are refused
        ++opened;
        SCOPED_TRACE(entry.path());
        const std::u16string copy = PathU16("copy.hwp");
        ASSERT_TRUE(pane.SaveDocumentAs(copy, u"HWP"));
        editor::CHwpctrl again;
        ASSERT_TRUE(again.OpenDocument(copy, u"HWP"));
        EXPECT_EQ(PaneText(again), PaneText(pane));
        ExpectKeptBesideTheText(entry.path().string(), PathOf("copy.hwp"));
    }
    EXPECT_GT(opened, 5);
}

} // namespace
