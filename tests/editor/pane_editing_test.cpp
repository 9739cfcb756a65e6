// Editing as in a word processor: keys of the focused pane among several, formats chosen
// without a selection, undo by words, styles that keep the teacher's emphasis and objects,
// the zoom that fits the text's width, and the tool row.
#include "tests/editor/editor_testing.h"

#include "document/face_metrics.h"
#include "document/kept_objects.h"
#include "document/table_mapping.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>

using editor::CHwpctrl;
using editor_testing::PaneTest;
using editor_testing::Q;

namespace {

// Six panes in one window, as in the main dialog.
class SixPanes : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        m_owner = std::make_unique<QWidget>();
        QWidget& m_window = *m_owner;
        auto* layout = new QHBoxLayout(&m_window);
        for (auto& pane : m_panes) {
            pane = new CHwpctrl(m_owner.get());
            pane->SetToolBar(-1, u"TOOLBAR_STANDARD");
            pane->SetToolBar(-1, u"TOOLBAR_DRAW");
            pane->ShowToolBar(1);
            layout->addWidget(pane);
        }
        m_window.resize(1800, 500);
        m_window.show();
        m_window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&m_window));
    }
    QTextEdit* Focus(int index)
    {
        QTextEdit* view = m_panes[index]->TextView();
        view->setFocus();
        QApplication::processEvents();
        return view;
    }
    std::unique_ptr<QWidget> m_owner;
    CHwpctrl* m_panes[6] = {};
};

QAction* ToolAction(CHwpctrl& pane, const QString& tipStart)
{
    for (QAction* action : pane.ToolBar()->actions()) {
        if (action->toolTip().startsWith(tipStart))
            return action;
    }
    return nullptr;
}

TEST_F(SixPanes, FormatKeysWorkInTheFocusedPaneOnly)
{
    QTextEdit* view = Focus(2);
    QTest::keyClicks(view, QStringLiteral("abc"));
    view->selectAll();
    QTest::keyClick(view, Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_I, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_U, Qt::ControlModifier);
    QTextCursor at(view->document());
    at.setPosition(2);
    EXPECT_GE(at.charFormat().fontWeight(), QFont::Bold);
    EXPECT_TRUE(at.charFormat().fontItalic());
    EXPECT_TRUE(at.charFormat().fontUnderline());
    EXPECT_TRUE(m_panes[1]->TextView()->currentCharFormat().fontWeight() < QFont::Bold) << "another pane changed";
}

TEST_F(SixPanes, RedoByCtrlYAndZoomByKeysAndWheel)
{
    QTextEdit* view = Focus(4);
    QTest::keyClicks(view, QStringLiteral("word"));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(view->toPlainText(), QString());
    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(view->toPlainText(), QStringLiteral("word"));

    CHwpctrl& pane = *m_panes[4];
    const int start = pane.ZoomRatio();
    const int neighbour = m_panes[3]->ZoomRatio();
    QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(pane.ZoomRatio(), start + 10);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(pane.ZoomRatio(), start - 10);

    const double fontSize = QTextCursor(view->document()).charFormat().fontPointSize();
    const QPointF middle(view->viewport()->width() / 2.0, view->viewport()->height() / 2.0);
    QWheelEvent wheel(middle, view->viewport()->mapToGlobal(middle), QPoint(), QPoint(0, 240), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_EQ(pane.ZoomRatio(), start + 10);
    EXPECT_EQ(QTextCursor(view->document()).charFormat().fontPointSize(), fontSize) << "the text itself grew";
    EXPECT_EQ(m_panes[3]->ZoomRatio(), neighbour) << "only the pane under the wheel zooms";
}

TEST_F(SixPanes, TheZoomFitsTheTextWidthUntilTheUserZooms)
{
    CHwpctrl& pane = *m_panes[0];
    QTextEdit* view = pane.TextView();
    EXPECT_LE(view->lineWrapColumnOrWidth(), view->viewport()->width()) << "the text is wider than the pane";
    EXPECT_GT(view->lineWrapColumnOrWidth(), view->viewport()->width() * 0.8) << "far narrower than the pane";
    const int fitted = pane.ZoomRatio();
    pane.SetZoom(300);
    EXPECT_EQ(pane.ZoomRatio(), 300);
    pane.FitZoomToWidth();
    EXPECT_EQ(pane.ZoomRatio(), fitted);
    // The zoom shows in percent at the pane's corner.
    bool shown = false;
    for (auto* button : view->findChildren<QToolButton*>())
        shown = shown || button->text() == QStringLiteral("%1%").arg(fitted);
    EXPECT_TRUE(shown);
}

TEST_F(SixPanes, AFormatChosenWithoutSelectionShowsAtOnceAndAppliesToWhatFollows)
{
    QTextEdit* view = Focus(1);
    QTest::keyClicks(view, QStringLiteral("ab"));
    QAction* underline = ToolAction(*m_panes[1], QStringLiteral("밑줄"));
    ASSERT_TRUE(underline);
    underline->trigger();
    EXPECT_TRUE(underline->isChecked()) << "the button shows the format for what comes next";
    EXPECT_TRUE(view->currentCharFormat().fontUnderline());
    QTest::keyClicks(view, QStringLiteral("cd"));
    QTextCursor at(view->document());
    at.setPosition(1);
    EXPECT_FALSE(at.charFormat().fontUnderline()) << "the word before the caret was changed";
    at.setPosition(4);
    EXPECT_TRUE(at.charFormat().fontUnderline());
}

// The pane's letters in a face the word processor sets wider than the Nanum face showing
// it (a new document's 바탕) keep that width, zoomed as the pane is, through a new size
// chosen for a selection or for what is typed next; a Nanum face chosen by name is shown
// at its own widths.
TEST_F(SixPanes, LettersKeepTheFilesWidthsThroughANewSizeAndFace)
{
    QTextEdit* view = Focus(0);
    view->insertPlainText(QStringLiteral("가나 다라"));
    QComboBox* sizes = nullptr;
    QComboBox* faces = nullptr;
    for (QComboBox* box : m_panes[0]->findChildren<QComboBox*>()) {
        if (box->toolTip() == QStringLiteral("글자 크기"))
            sizes = box;
        else if (box->toolTip() == QStringLiteral("글꼴"))
            faces = box;
    }
    ASSERT_TRUE(sizes && faces);
    // The advance of the letter at `at` in the pane, layout pixels.
    const auto advance = [view](int at) {
        const QTextBlock block = view->document()->findBlock(at);
        const QTextLine line = block.layout()->lineForTextPosition(at - block.position());
        return line.cursorToX(at - block.position() + 1) - line.cursorToX(at - block.position());
    };
    // At 100 %: a Hangul letter an em of `points`, a space half as wide.
    m_panes[0]->SetZoom(100);
    ASSERT_DOUBLE_EQ(editor::DeviceScale(*view->document()), 1.0);
    const auto expectWidths = [&](int hangul, int space, double points) {
        EXPECT_NEAR(advance(hangul), points * 96 / 72, 0.03);
        EXPECT_NEAR(advance(space), points * 96 / 72 / 2, 0.03) << "a space";
    };
    ASSERT_EQ(view->currentCharFormat().stringProperty(editor::kFaceNameProperty), QStringLiteral("바탕"));
    expectWidths(0, 2, 10);
    view->selectAll();
    emit sizes->textActivated(QStringLiteral("20"));
    expectWidths(1, 2, 20);
    view->moveCursor(QTextCursor::End);
    emit sizes->textActivated(QStringLiteral("8"));
    view->insertPlainText(QStringLiteral(" 마 바"));
    {
        SCOPED_TRACE("typed after a size chosen without a selection");
        expectWidths(6, 7, 8);
    }
    // Zoomed, spaces grow with the letters (the engine would leave the pixels it adds alone).
    m_panes[0]->SetZoom(250);
    EXPECT_NEAR(advance(2) / advance(1), 0.5, 0.01);
    EXPECT_NEAR(advance(7) / advance(6), 0.5, 0.02);
    m_panes[0]->SetZoom(100);
    expectWidths(1, 2, 20);

    const int gothic = faces->findData(QStringLiteral("NanumGothic"));
    ASSERT_GE(gothic, 0);
    view->selectAll();
    emit faces->activated(gothic);
    QTextCursor at(view->document());
    at.setPosition(1);
    EXPECT_FALSE(at.charFormat().hasProperty(QTextFormat::FontWordSpacing)) << "shown as itself";
    EXPECT_FALSE(at.charFormat().hasProperty(QTextFormat::FontLetterSpacing));
}

TEST_F(SixPanes, ANewParagraphLeavesThePageAndColumnBreakAboveIt)
{
    QTextEdit* view = Focus(0);
    QTest::keyClicks(view, QStringLiteral("one"));
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClicks(view, QStringLiteral("two"));
    QTextCursor cursor = view->textCursor();
    QTextBlockFormat broken = cursor.blockFormat();
    broken.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    broken.setProperty(editor::kColumnBreakFlagsProperty, 0x08);
    cursor.setBlockFormat(broken);
    for (const bool atStart : {false, true}) {
        SCOPED_TRACE(atStart ? "Enter before the text" : "Enter after it");
        cursor.movePosition(atStart ? QTextCursor::StartOfBlock : QTextCursor::EndOfBlock);
        view->setTextCursor(cursor);
        QTest::keyClick(view, Qt::Key_Return);
        const QTextBlock upper = view->document()->findBlockByNumber(1);
        const QTextBlock lower = upper.next();
        EXPECT_TRUE(upper.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
        EXPECT_EQ(upper.blockFormat().intProperty(editor::kColumnBreakFlagsProperty), 0x08);
        EXPECT_FALSE(lower.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
        EXPECT_FALSE(lower.blockFormat().hasProperty(editor::kColumnBreakFlagsProperty));
        view->undo();
        EXPECT_EQ(view->document()->blockCount(), 2) << "one step takes the new paragraph back";
        cursor = QTextCursor(view->document()->findBlockByNumber(1));
    }
}

TEST_F(SixPanes, UndoTakesBackOneWordAtATime)
{
    QTextEdit* view = Focus(0);
    QTest::keyClicks(view, QStringLiteral("one two three"));
    view->undo();
    EXPECT_EQ(view->toPlainText(), QStringLiteral("one two "));
    view->undo();
    EXPECT_EQ(view->toPlainText(), QStringLiteral("one "));
    view->redo();
    EXPECT_EQ(view->toPlainText(), QStringLiteral("one two "));
    // Typing on after a caret move starts a step of its own.
    view->moveCursor(QTextCursor::Start);
    QTest::keyClicks(view, QStringLiteral("X"));
    view->moveCursor(QTextCursor::End);
    QTest::keyClicks(view, QStringLiteral("Y"));
    view->undo();
    EXPECT_EQ(view->toPlainText(), QStringLiteral("Xone two "));
}

TEST_F(SixPanes, TheToolRowHasIconsWithKoreanTipsAndTheObjectCommands)
{
    CHwpctrl& pane = *m_panes[0];
    for (const char* name : {"insert_picture", "insert_equation", "insert_table", "insert_box"}) {
        auto* action = new QAction(QStringLiteral("개체"), &pane);
        action->setObjectName(QString::fromLatin1(name));
        pane.AddToolBarAction(action);
        EXPECT_FALSE(action->icon().isNull()) << name;
        EXPECT_TRUE(action->isVisible()) << name;
    }
    QStringList order;
    for (QAction* action : pane.DrawToolBar()->actions()) {
        if (action->objectName().startsWith(QLatin1String("insert_")))
            order << action->objectName();
    }
    // (The pane's own picture and equation tools are there already.)
    order.removeDuplicates();
    EXPECT_EQ(order, (QStringList{"insert_table", "insert_box", "insert_picture", "insert_equation"}));
    // Undo and redo lead the row; cut, copy and paste are in the menu under their keys.
    EXPECT_TRUE(pane.ToolBar()->actions().value(1)->toolTip().startsWith(QStringLiteral("되돌리기")));
    QStringList editMenu;
    for (QAction* menu : qobject_cast<QToolButton*>(pane.ToolBar()->widgetForAction(pane.ToolBar()->actions().value(0)))->menu()->actions())
        if (menu->text() == QStringLiteral("편집"))
            for (QAction* action : menu->menu()->actions())
                editMenu << action->text();
    EXPECT_TRUE(editMenu.contains(QStringLiteral("붙이기\t") + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText)))
        << editMenu.join(u',').toStdString();
    for (const QString& tip : {QStringLiteral("되돌리기"), QStringLiteral("다시 실행"), QStringLiteral("진하게"),
                               QStringLiteral("기울임"), QStringLiteral("밑줄"), QStringLiteral("위 첨자"),
                               QStringLiteral("아래 첨자")}) {
        QAction* action = ToolAction(pane, tip);
        ASSERT_TRUE(action) << tip.toStdString();
        EXPECT_FALSE(action->icon().isNull()) << tip.toStdString();
    }
    // A tool's key works in the focused pane although every pane has the tool.
    int inserted = 0;
    for (CHwpctrl* each : m_panes) {
        auto* action = new QAction(QStringLiteral("표"), each);
        action->setObjectName(QStringLiteral("insert_table"));
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
        QObject::connect(action, &QAction::triggered, each, [&inserted, each, this] { inserted += each == m_panes[5] ? 1 : 100; });
        each->AddToolBarAction(action);
    }
    QTest::keyClick(Focus(5), Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(inserted, 1);
    // The font's name shows whole.
    for (auto* box : pane.ToolBar()->findChildren<QComboBox*>()) {
        if (box->toolTip() != QStringLiteral("글꼴"))
            continue;
        EXPECT_FALSE(box->currentText().isEmpty());
        EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->currentText()) + 16) << box->currentText().toStdString();
    }
    ASSERT_TRUE(pane.InsertMenu());
    EXPECT_EQ(pane.InsertMenu()->title(), QStringLiteral("입력"));

    QWidget* grid = pane.SpecialCharacterGrid();
    ASSERT_TRUE(grid);
    QStringList symbols;
    for (auto* button : grid->findChildren<QToolButton*>())
        symbols << button->text();
    for (const char16_t* wanted : {u"²", u"³", u"½", u"⅓", u"α", u"π", u"Ⅴ", u"Ⅹ", u"→", u"⇒", u"∴", u"∵", u"°", u"‰", u"※"})
        EXPECT_TRUE(symbols.contains(Q(wanted))) << Q(wanted).toStdString();
    EXPECT_LT(grid->sizeHint().height(), grid->sizeHint().width()) << "a grid, not a tall list";
}

class StyleKeeping : public PaneTest {};

TEST_F(StyleKeeping, AStyleKeepsEmphasisAndObjectsAndSetsFontAndSize)
{
    ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate("sf_exam_format.hwp"), u"HWP"));
    QTextCursor cursor(&m_pane->Document().Text());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat plain = cursor.charFormat();
    cursor.insertText(QStringLiteral("x"), plain);
    QTextCharFormat super = plain;
    super.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    cursor.insertText(QStringLiteral("2"), super);
    cursor.insertText(QStringLiteral(" 에서 "), plain);
    QTextCharFormat marked = plain;
    marked.setFontUnderline(true);
    marked.setFontWeight(QFont::Bold);
    marked.setForeground(QColor(0xc0, 0, 0));
    cursor.insertText(QStringLiteral("밑줄 친 부분"), marked);
    auto object = std::make_shared<editor::KeptObject>();
    object->control.ctrlId = 0x24706963; // "$pic"
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), editor::KeptObjectFormat(plain, object));
    cursor.insertText(QStringLiteral("끝"), plain);
    const QString before = m_pane->Document().Text().toPlainText();

    ASSERT_TRUE(m_pane->RunAction(u"MoveDocBegin"));
    ASSERT_TRUE(m_pane->RunAction(u"MoveSelDocEnd"));
    ASSERT_TRUE(m_pane->RunAction(u"StyleShortcut8"));
    const editor::TextStyle& style = m_pane->Document().Styles().at(7);

    const QTextDocument& text = m_pane->Document().Text();
    EXPECT_EQ(text.toPlainText(), before);
    const int x2 = before.indexOf(QStringLiteral("x2"));
    const int underlined = before.indexOf(QStringLiteral("밑줄"));
    const int objectAt = before.indexOf(QChar::ObjectReplacementCharacter);
    auto formatAt = [&](int position) {
        QTextCursor at(const_cast<QTextDocument*>(&text));
        at.setPosition(position + 1);
        return at.charFormat();
    };
    EXPECT_EQ(formatAt(x2 + 1).verticalAlignment(), QTextCharFormat::AlignSuperScript) << "x² became x2";
    EXPECT_NE(formatAt(x2).verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_TRUE(formatAt(underlined).fontUnderline());
    EXPECT_GE(formatAt(underlined).fontWeight(), QFont::Bold);
    EXPECT_EQ(formatAt(underlined).foreground().color(), QColor(0xc0, 0, 0));
    EXPECT_EQ(editor::KeptObjectOf(formatAt(objectAt)), object) << "the object was dropped";
    for (int position : {x2, underlined, objectAt + 1}) {
        EXPECT_EQ(formatAt(position).fontPointSize(), style.charFormat.fontPointSize()) << position;
        EXPECT_EQ(formatAt(position).fontFamilies(), style.charFormat.fontFamilies()) << position;
    }
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next())
        EXPECT_EQ(block.blockFormat().intProperty(editor::kStyleIndexProperty), 7);
}

TEST_F(StyleKeeping, StylingATemplateNobodyTypedInIsNoUndoStep)
{
    ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate("sf_answer_obj_format.hwp"), u"HWP"));
    ASSERT_TRUE(m_pane->RunAction(u"MoveDocBegin"));
    ASSERT_TRUE(m_pane->RunAction(u"MoveSelDocEnd"));
    ASSERT_TRUE(m_pane->RunAction(u"StyleShortcut9"));
    EXPECT_FALSE(m_pane->Document().Text().isUndoAvailable()) << "undo would take the template's look apart";
    EXPECT_FALSE(m_pane->Document().Text().isModified());
    Type(*m_pane, u"③");
    ASSERT_TRUE(m_pane->RunAction(u"StyleShortcut9"));
    EXPECT_TRUE(m_pane->Document().Text().isUndoAvailable()) << "a style on typed text is the user's step";
}

} // namespace
