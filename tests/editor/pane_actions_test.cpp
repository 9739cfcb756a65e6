// Actions by name, fields, the text scan, the caret indicator, tool bars and zoom.
#include "tests/editor/editor_testing.h"

#include "editor/pane_ops.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextEdit>

using editor::TextScanState;
using editor_testing::PaneTest;
using editor_testing::Q;

namespace {

int StyleOf(const QTextBlock& block)
{
    return block.blockFormat().intProperty(editor::kStyleIndexProperty);
}

class PaneActions : public PaneTest {
protected:
    void OpenTemplate(const std::string& name) { ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate(name), u"HWP")); }
};

TEST_F(PaneActions, StyleShortcutsApplyTheDocumentsNumberedStyles)
{
    OpenTemplate("sf_obj_format.hwp");
    Type(*m_pane, u"① 하나\r\n② 둘\r\n③ 셋");
    ASSERT_TRUE(m_pane->RunAction(u"MoveDocBegin"));
    ASSERT_TRUE(m_pane->RunAction(u"MoveSelDocEnd"));
    ASSERT_TRUE(m_pane->RunAction(u"StyleShortcut4"));
    ASSERT_TRUE(m_pane->RunAction(u"MoveDocEnd"));

    const editor::TextStyle& options = m_pane->Document().Styles().at(3);
    EXPECT_EQ(options.name, QStringLiteral("초등 보기"));
    for (QTextBlock block = m_pane->Document().Text().begin(); block.isValid(); block = block.next()) {
        EXPECT_EQ(StyleOf(block), 3);
        EXPECT_LT(block.blockFormat().textIndent(), 0) << "options hang after their digit";
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock);
        EXPECT_DOUBLE_EQ(cursor.charFormat().fontPointSize(), 12.0);
    }

    // Style 1 is the first; there is no style 0 and no tenth.
    EXPECT_TRUE(m_pane->RunAction(u"StyleShortcut1"));
    EXPECT_EQ(StyleOf(m_pane->Document().Text().lastBlock()), 0);
    EXPECT_EQ(StyleOf(m_pane->Document().Text().firstBlock()), 3) << "only the caret's paragraph";
    EXPECT_FALSE(m_pane->RunAction(u"StyleShortcut0"));
    EXPECT_FALSE(m_pane->RunAction(u"StyleShortcut10"));
}

TEST_F(PaneActions, UnknownActionsDoNothingAndReportFalse)
{
    Type(*m_pane, u"그대로");
    EXPECT_FALSE(m_pane->RunAction(u"NoSuchAction"));
    EXPECT_FALSE(m_pane->RunAction(u"StyleShortcutX"));
    EXPECT_FALSE(m_pane->RunAction(u"InsertText")) << "needs its Text item";
    EXPECT_EQ(m_pane->CreateAction(u"NoSuchAction"), nullptr);
    EXPECT_EQ(PaneText(*m_pane), QStringLiteral("그대로"));
}

TEST_F(PaneActions, InsertTextEndsParagraphsAtLineBreaks)
{
    Type(*m_pane, u"가\r\n나\r\n\r\n");
    EXPECT_EQ(m_pane->Document().Text().blockCount(), 4);
    Type(*m_pane, u"");
    EXPECT_EQ(PaneText(*m_pane), QStringLiteral("가\n나\n\n"));
}

TEST_F(PaneActions, CaretIndicatorGivesLineAndColumnFromOne)
{
    m_pane->RunAction(u"MoveDocEnd");
    auto caret = m_pane->GetCaretIndicator();
    EXPECT_EQ(caret.line, 1);
    EXPECT_EQ(caret.column, 1) << "an empty document";

    Type(*m_pane, u"abc");
    caret = m_pane->GetCaretIndicator();
    EXPECT_EQ(caret.line, 1);
    EXPECT_EQ(caret.column, 4);

    Type(*m_pane, u"\r\n");
    caret = m_pane->GetCaretIndicator();
    EXPECT_EQ(caret.line, 2) << "an empty last paragraph still makes the document non-empty";
    EXPECT_EQ(caret.column, 1);

    // A paragraph longer than the page width wraps; lines count laid out, not paragraphs.
    Type(*m_pane, std::u16string(400, u'가'));
    caret = m_pane->GetCaretIndicator();
    EXPECT_GT(caret.line, 3);
    EXPECT_LT(caret.column, 400);
}

TEST_F(PaneActions, CaretIndicatorWorksOnAHiddenPane)
{
    // The work control is never shown.
    Type(*m_pane, u"첫째\r\n둘째");
    m_pane->RunAction(u"MoveDocEnd");
    const auto caret = m_pane->GetCaretIndicator();
    EXPECT_EQ(caret.line, 2);
    EXPECT_EQ(caret.column, 3);
}

TEST_F(PaneActions, GoToFieldFindsTheClickHereField)
{
    OpenTemplate("sf_text_format.hwp");
    ASSERT_TRUE(m_pane->GoToField(u"TEXT_AREA", 0, 1, 1));
    Type(*m_pane, u"지문 본문");
    m_pane->RunAction(u"MoveDocEnd");
    Type(*m_pane, u"\r\n뒤");
    const int end = m_pane->TextView()->textCursor().position();

    EXPECT_FALSE(m_pane->GoToField(u"NO_FIELD", 0, 1, 1));
    EXPECT_EQ(m_pane->TextView()->textCursor().position(), end) << "the caret stays where it was";

    ASSERT_TRUE(m_pane->GoToField(u"TEXT_AREA", 0, 1, 1));
    EXPECT_EQ(m_pane->TextView()->textCursor().selectedText(), QStringLiteral("지문 본문"))
        << "text typed into the empty field stays in it";
    EXPECT_EQ(Q(m_pane->GetCaretIndicator().fieldName), QStringLiteral("TEXT_AREA"));
}

TEST_F(PaneActions, TextScanGivesTheWholeRangeFromTheCaretInOnePiece)
{
    Type(*m_pane, u"정답 : ③\r\n둘째 문단\r\n셋째");
    std::u16string chunk;
    EXPECT_EQ(m_pane->ReadTextChunk(chunk), TextScanState::NotScanning);

    m_pane->RunAction(u"MoveDocBegin");
    ASSERT_TRUE(m_pane->BeginTextScan(u"scanSposCurrent;scanEposDocument;"));
    ASSERT_EQ(m_pane->ReadTextChunk(chunk), TextScanState::Text);
    EXPECT_EQ(chunk, u"정답 : ③\r\n둘째 문단\r\n셋째");
    EXPECT_EQ(m_pane->ReadTextChunk(chunk), TextScanState::End);
    m_pane->EndTextScan();
    EXPECT_EQ(m_pane->ReadTextChunk(chunk), TextScanState::NotScanning);

    // From a caret inside the second paragraph.
    QTextCursor cursor = m_pane->TextView()->textCursor();
    cursor.setPosition(m_pane->Document().Text().findBlockByNumber(1).position() + 3);
    m_pane->TextView()->setTextCursor(cursor);
    ASSERT_TRUE(m_pane->BeginTextScan(u"scanSposCurrent;scanEposDocument;"));
    ASSERT_EQ(m_pane->ReadTextChunk(chunk), TextScanState::Text);
    EXPECT_EQ(chunk, u"문단\r\n셋째");
    m_pane->EndTextScan();
}

TEST_F(PaneActions, TheAnswerMarkOnTheLineAfterTheLabelIsRead)
{
    Type(*m_pane, u"정답 :\r\n③");
    EXPECT_EQ(editor::ReadObjectiveAnswer(*m_pane), "3");
    m_pane->ClearDocument(1);
    Type(*m_pane, u"정답 : \r\n\r\n① ④");
    EXPECT_EQ(editor::ReadObjectiveAnswer(*m_pane), "1,4");
}

TEST_F(PaneActions, TextScanOfAnEmptyDocumentEnds)
{
    ASSERT_TRUE(m_pane->BeginTextScan(u"scanSposCurrent;scanEposDocument;"));
    std::u16string chunk = u"x";
    EXPECT_EQ(m_pane->ReadTextChunk(chunk), TextScanState::Text);
    EXPECT_TRUE(chunk.empty());
    EXPECT_EQ(m_pane->ReadTextChunk(chunk), TextScanState::End);
}

TEST_F(PaneActions, ToolBarsShowOnlyWhenAddedAndShown)
{
    m_pane->show();
    EXPECT_FALSE(m_pane->IsToolBarVisible(u"TOOLBAR_STANDARD")) << "a work control has none";
    m_pane->RegisterCheckModule(u"FilePathCheckDLL", u"FilePathCheckerModule");
    m_pane->SetToolBar(-1, u"TOOLBAR_MENU");
    m_pane->SetToolBar(-1, u"TOOLBAR_STANDARD");
    EXPECT_FALSE(m_pane->IsToolBarVisible(u"TOOLBAR_MENU"));
    m_pane->ShowToolBar(1);
    EXPECT_TRUE(m_pane->IsToolBarVisible(u"TOOLBAR_MENU"));
    EXPECT_TRUE(m_pane->IsToolBarVisible(u"TOOLBAR_STANDARD"));
    EXPECT_FALSE(m_pane->IsToolBarVisible(u"TOOLBAR_DRAW"));
    m_pane->SetToolBar(-1, u"TOOLBAR_DRAW");
    EXPECT_TRUE(m_pane->IsToolBarVisible(u"TOOLBAR_DRAW"));
    m_pane->ShowToolBar(0);
    EXPECT_FALSE(m_pane->IsToolBarVisible(u"TOOLBAR_MENU"));
}

TEST_F(PaneActions, ViewPropertiesSetTheZoomRatio)
{
    Type(*m_pane, std::u16string(300, u'가'));
    // Wide enough for the whole text width at every ratio below.
    m_pane->resize(3200, 600);
    m_pane->show();
    m_pane->SetZoom(100);
    const QSizeF normal = m_pane->Document().Text().documentLayout()->documentSize();
    auto set = m_pane->CreateParameterSet(u"ViewProperties");
    set->SetItem(u"ZoomType", 0);
    set->SetItem(u"ZoomRatio", 200);
    m_pane->ViewProperties(*set);
    EXPECT_EQ(m_pane->ZoomRatio(), 200);
    const QSizeF zoomed = m_pane->Document().Text().documentLayout()->documentSize();
    EXPECT_NEAR(zoomed.width() / normal.width(), 2.0, 0.05);
    EXPECT_NEAR(zoomed.height() / normal.height(), 2.0, 0.25) << "the text grows with the page";
    const auto caret = m_pane->GetCaretIndicator();
    set->SetItem(u"ZoomRatio", 120);
    m_pane->ViewProperties(*set);
    EXPECT_EQ(m_pane->GetCaretIndicator().line, caret.line) << "lines break alike at any zoom";
    EXPECT_EQ(m_pane->ZoomRatio(), 120);
    set->SetItem(u"ZoomRatio", 100000);
    m_pane->ViewProperties(*set);
    EXPECT_EQ(m_pane->ZoomRatio(), 500);
    set->SetItem(u"ZoomRatio", u"big");
    m_pane->ViewProperties(*set);
    EXPECT_EQ(m_pane->ZoomRatio(), 500) << "a text where a number belongs changes nothing";
}

} // namespace
