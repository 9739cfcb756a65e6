#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QTextBlock>
#include <QToolBar>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QTextEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "app/dialog_layout.h"
#include "app/varnel_dlg.h"
#include "dialog/option_commands.h"
#include "editor/pane_ops.h"
#include "document/hwp_mapping.h"
#include "editor/equation_tools.h"
#include "editor/hwpctrl.h"
#include "document/kept_objects.h"
#include "editor/picture_tools.h"
#include "editor/table_tools.h"
#include "hwp/picture.h"
#include "render/page_image.h"
#include "store/archive.h"
#include "support/launch_values.h"
#include "support/text.h"

#include "tests/store/store_testing.h"

namespace fs = std::filesystem;
using namespace dlg;
using store_testing::ScratchFolder;
using store_testing::WriteFile;

namespace {

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "app_dialog_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        const char* build = std::getenv("VARNEL_BINARY_DIR");
        ASSERT_TRUE(build);
        setenv("VARNEL_PROGRAM_FILES", (std::string(build) + "/stage/opt").c_str(), 1);
        setenv("XDG_DATA_HOME", (m_scratch / "data").c_str(), 1);
        g_schoolKey = 5, g_userKey = 6;
    }
    void TearDown() override
    {
        m_dialog.reset();
        unsetenv("XDG_DATA_HOME");
        g_schoolKey = g_userKey = 0;
    }

    // A dialog on a screen of that size, started on a new local question.
    CVarnelDlg& Open(int width, int height)
    {
        m_dialog = std::make_unique<CVarnelDlg>([width, height] { return QSize(width, height); });
        m_dialog->Core().m_applyLaunchRecord = [this] {
            m_dialog->Core().StartNewQuestion();
            return true;
        };
        m_dialog->OnInitDialog();
        return *m_dialog;
    }
    QString PaneText(int id) const { return m_dialog->Pane(id)->TextView()->document()->toPlainText(); }
    void Type(int id, const QString& text)
    {
        auto* pane = m_dialog->Pane(id);
        pane->RunAction(u"MoveDocEnd");
        pane->InsertPlainText(text);
    }
    std::string Workspace() const { return m_scratch / "data/korvane/telquin/5/6"; }
    bool Contains(int id, const char16_t* text) const { return PaneText(id).contains(QString::fromStdU16String(text)); }

    ScratchFolder m_scratch;
    std::unique_ptr<CVarnelDlg> m_dialog;
};

// Answers every message box that opens while it lives, and keeps their texts.
class MessageBoxes {
public:
    explicit MessageBoxes(QMessageBox::StandardButton answer = QMessageBox::Ok) : m_answer(answer)
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            texts << box->text();
            QAbstractButton* button = box->button(m_answer);
            if (!button)
                button = box->buttons().value(0);
            button->click();
        });
        m_timer.start();
    }
    void Answer(QMessageBox::StandardButton answer) { m_answer = answer; }
    QStringList texts;

private:
    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
};

void Click(CVarnelDlg& dialog, int id) { static_cast<QAbstractButton*>(dialog.Control(id))->click(); }

// The window with a title bar and border of the size FitDialogWindow assumes before the
// window manager has framed it.
QRect Framed(const QRect& client) { return client.adjusted(-4, -34, 4, 4); }

TEST(DialogWindowFit, EverySchoolScreenHoldsTheWholeWindowWithAndWithoutThePassage)
{
    const QMargins frame(4, 34, 4, 4);
    for (const QSize screen : {QSize(1920, 1080), QSize(1366, 768), QSize(1280, 800), QSize(1280, 720)}) {
        // A panel of 40 pixels at the bottom, as school desktops have.
        const QRect available(0, 0, screen.width(), screen.height() - 40);
        for (const bool passage : {false, true}) {
            const float templateScale = screen.height() >= 1080 ? 1.0f : 0.83f;
            const DialogWindowFit fit = FitDialogWindow(available, frame, templateScale, passage);
            const QRect window = fit.geometry.marginsAdded(frame);
            SCOPED_TRACE(::testing::Message() << screen.width() << "x" << screen.height() << (passage ? " passage" : ""));
            EXPECT_TRUE(available.contains(window)) << window.x() << "," << window.y() << " " << window.width() << "x"
                                                    << window.height();
            EXPECT_LE(fit.scale, templateScale);
            // Only as much smaller as the screen needs: an axis that fits keeps the template's size.
            const int templateWidth = static_cast<int>(1188 * templateScale + (passage ? 575 * templateScale : 0));
            EXPECT_TRUE(window.width() >= available.width() - 1 || fit.geometry.width() >= templateWidth - 1);
            EXPECT_TRUE(window.height() >= available.height() - 1 || fit.scale == templateScale);
        }
    }
    // Where the template fits, its own scale stays: a 1440-pixel-high screen.
    const DialogWindowFit roomy = FitDialogWindow(QRect(0, 0, 2560, 1400), frame, 1.0f, false);
    EXPECT_EQ(roomy.scale, 1.0);
    EXPECT_EQ(roomy.geometry.size(), QSize(1188, 1065));
    const DialogWindowFit roomyPassage = FitDialogWindow(QRect(0, 0, 2560, 1400), frame, 1.0f, true);
    EXPECT_EQ(roomyPassage.geometry.size(), QSize(1188 + 575, 1065));
    // A screen that is not at the origin (a second monitor) keeps the window on it.
    const DialogWindowFit second = FitDialogWindow(QRect(1920, 0, 1366, 728), frame, 0.83f, true);
    EXPECT_TRUE(QRect(1920, 0, 1366, 728).contains(second.geometry.marginsAdded(frame)));
}

TEST_F(DialogTest, TheWindowAndItsButtonsStayOnTheScreenAndThePanesTakeTheSpace)
{
    for (const QSize screen : {QSize(1920, 1080), QSize(1366, 768), QSize(1280, 800), QSize(1280, 720)}) {
        SCOPED_TRACE(::testing::Message() << screen.width() << "x" << screen.height());
        CVarnelDlg& dialog = Open(screen.width(), screen.height());
        const QRect area(QPoint(0, 0), screen);
        for (int round = 0; round < 2; ++round) {
            EXPECT_TRUE(area.contains(Framed(dialog.geometry())));
            for (int id : {IDC_SAVE, IDC_APPLY_STYLE, IDC_HAS_PASSAGE, IDC_OPTION_MENU, IDC_LOAD_QUESTION}) {
                const QRect control(dialog.Control(id)->mapTo(&dialog, QPoint(0, 0)), dialog.Control(id)->size());
                EXPECT_TRUE(dialog.rect().contains(control)) << id;
            }
            const QWidget* question = dialog.Control(IDC_PANE_QUESTION);
            const QWidget* answer = dialog.Control(IDC_PANE_ANSWER);
            EXPECT_GT(question->width(), dialog.width() / 4);
            EXPECT_GT(answer->width(), dialog.width() / 4);
            // The bottom row is right under the panes: nothing is cut, nothing wasted.
            const int panesBottom = dialog.Control(IDC_GROUP_EXPLAIN)->geometry().bottom();
            EXPECT_LT(dialog.Control(IDC_SAVE)->geometry().top() - panesBottom, 20);
            Click(dialog, IDC_HAS_PASSAGE);
            if (round == 0) {
                EXPECT_GT(dialog.Control(IDC_PANE_PASSAGE)->width(), dialog.width() / 5);
            }
        }
    }
    // A larger window gives the panes the room.
    CVarnelDlg& dialog = Open(1366, 768);
    dialog.show();
    QApplication::processEvents();
    const QSize before = dialog.Control(IDC_PANE_QUESTION)->size();
    dialog.resize(dialog.width() + 200, dialog.height() + 100);
    dialog.layout()->activate();
    EXPECT_GT(dialog.Control(IDC_PANE_QUESTION)->width(), before.width() + 50);
    EXPECT_GT(dialog.Control(IDC_PANE_QUESTION)->height(), before.height() + 20);
}

// Every tool of a pane's row shows in the row itself, none behind the row's "»" button.
void ExpectWholeToolBar(QToolBar* bar)
{
    ASSERT_TRUE(bar->isVisible());
    std::string widths;
    for (QAction* action : bar->actions()) {
        if (!action->isVisible() || action->isSeparator())
            continue;
        QWidget* widget = bar->widgetForAction(action);
        ASSERT_TRUE(widget) << action->toolTip().toStdString();
        widths += action->toolTip().toStdString() + "=" + std::to_string(widget->width()) + " ";
        EXPECT_TRUE(widget->isVisible()) << action->toolTip().toStdString() << " of a row " << bar->width() << " wide";
        EXPECT_TRUE(bar->rect().contains(widget->geometry())) << action->toolTip().toStdString();
    }
    for (auto* button : bar->findChildren<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"), Qt::FindDirectChildrenOnly))
        EXPECT_FALSE(button->isVisible()) << "the row is " << bar->width() << " wide: " << widths;
    for (auto* box : bar->findChildren<QComboBox*>()) {
        // The style box is narrow; its list shows the names whole.
        if (box->toolTip() == QStringLiteral("스타일")) {
            EXPECT_GT(box->count(), 0);
            for (int i = 0; i < box->count(); ++i)
                EXPECT_GE(box->view()->minimumWidth(), box->view()->fontMetrics().horizontalAdvance(box->itemText(i)));
        }
        if (box->toolTip() != QStringLiteral("글꼴"))
            continue;
        EXPECT_FALSE(box->currentText().isEmpty());
        EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->currentText()) + 16) << box->currentText().toStdString();
    }
}

void ExpectWholeToolRow(editor::CHwpctrl& pane)
{
    ExpectWholeToolBar(pane.ToolBar());
    ExpectWholeToolBar(pane.DrawToolBar());
    // Both bars within the pane.
    for (QToolBar* bar : {pane.ToolBar(), pane.DrawToolBar()})
        EXPECT_TRUE(pane.rect().contains(QRect(bar->mapTo(&pane, QPoint(0, 0)), bar->size())));
}

TEST_F(DialogTest, EveryToolOfAPaneShowsInItsRowOnALaptopScreenWithThePassage)
{
    for (const QSize screen : {QSize(1366, 768), QSize(1280, 720)}) {
        SCOPED_TRACE(::testing::Message() << screen.width() << "x" << screen.height());
        CVarnelDlg& dialog = Open(screen.width(), screen.height());
        Click(dialog, IDC_HAS_PASSAGE);
        dialog.show();
        QApplication::processEvents();
        dialog.layout()->activate();
        QApplication::processEvents();
        for (int id : {IDC_PANE_PASSAGE, IDC_PANE_QUESTION, IDC_PANE_OPTIONS, IDC_PANE_ANSWER, IDC_PANE_EXPLAIN}) {
            SCOPED_TRACE(id);
            editor::CHwpctrl* pane = dialog.Pane(id);
            if (!pane->isVisible())
                continue;
            EXPECT_LT(pane->width(), 480);
            ExpectWholeToolRow(*pane);
        }
        m_dialog.reset();
    }
}

TEST_F(DialogTest, TemplateScaleStaysTheZoomRuleOfLowScreens)
{
    CVarnelDlg& full = Open(1920, 1080);
    EXPECT_EQ(full.Core().m_fScale, 1.0f);
    EXPECT_TRUE(full.Control(IDC_PANE_PASSAGE)->isHidden());
    EXPECT_TRUE(full.Control(IDC_PANE_WORK)->isHidden());
    EXPECT_EQ(static_cast<QPushButton*>(full.Control(IDC_LOAD_QUESTION))->text(), QStringLiteral("문제 불러오기"));
    CVarnelDlg& low = Open(1366, 1079);
    EXPECT_EQ(low.Core().m_fScale, 0.83f);
}

TEST_F(DialogTest, NewQuestionShowsTemplatesAndPictures)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    EXPECT_TRUE(PaneText(IDC_PANE_ANSWER).startsWith(QStringLiteral("정답 : ")));
    EXPECT_FALSE(static_cast<QToolButton*>(dialog.Control(IDC_TYPE_OBJ))->icon().isNull());
    EXPECT_FALSE(static_cast<QToolButton*>(dialog.Control(IDC_LEVEL_MID))->icon().isNull());
    EXPECT_EQ(dialog.Core().m_nQuestionType, kQuestionTypeObj);
    EXPECT_TRUE(dialog.Control(IDC_PANE_OPTIONS)->isEnabled());

    Type(IDC_PANE_ANSWER, QStringLiteral("①, ④"));
    dialog.Core().ReadObjectiveAnswer();
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_strObjAnswer, "1,4");
}

TEST_F(DialogTest, PassageColumnThroughTheCheckBox)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    const QRect window = dialog.geometry();
    static_cast<QCheckBox*>(dialog.Control(IDC_HAS_PASSAGE))->click();
    EXPECT_FALSE(dialog.Control(IDC_PANE_PASSAGE)->isHidden());
    EXPECT_GT(dialog.geometry().width(), window.width() + 400);
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nExamtextKey, 1u);

    static_cast<QCheckBox*>(dialog.Control(IDC_HAS_PASSAGE))->click();
    EXPECT_TRUE(dialog.Control(IDC_PANE_PASSAGE)->isHidden());
    EXPECT_EQ(dialog.geometry(), window);
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nExamtextKey, 0u);
}

TEST_F(DialogTest, OptionMenuListsTheResetsAndResetsThePane)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    Type(IDC_PANE_ANSWER, QStringLiteral("③ 과 해설"));
    QStringList items;
    QStringList panes;
    QTimer::singleShot(0, [&] {
        QMenu* menu = dialog.OptionMenu();
        ASSERT_TRUE(menu);
        for (QAction* action : menu->actions()) {
            items << action->text();
            if (action->menu() != nullptr) {
                for (QAction* pane : action->menu()->actions())
                    panes << pane->text();
            }
        }
        menu->actions().at(4)->trigger();
        menu->close();
    });
    MessageBoxes boxes(QMessageBox::Yes);
    static_cast<QPushButton*>(dialog.Control(IDC_OPTION_MENU))->click();
    EXPECT_EQ(items, (QStringList{"모든파일 초기화", "지문파일 초기화", "문제파일 초기화", "보기파일 초기화",
                                  "정답파일 초기화", "해설파일 초기화", "", "내보내기…", "HWPX로 내보내기"}));
    // One export for each pane shown.
    EXPECT_TRUE(panes.contains(QStringLiteral("문제 창…"))) << panes.join(u',').toStdString();
    EXPECT_TRUE(panes.contains(QStringLiteral("정답 창…")));
    EXPECT_FALSE(panes.contains(QStringLiteral("지문 창…"))) << "no passage is shown";
    const QPoint button = dialog.Control(IDC_OPTION_MENU)->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(dialog.OptionMenuPoint(), QPoint(button.x() - 60, button.y() + 25));
    QApplication::processEvents();
    EXPECT_FALSE(PaneText(IDC_PANE_ANSWER).contains(QStringLiteral("③")));
    EXPECT_TRUE(PaneText(IDC_PANE_ANSWER).startsWith(QStringLiteral("정답 : ")));
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("정답 창의 내용을 모두 지우시겠습니까?")});
}

TEST_F(DialogTest, AResetOfAPaneWithTextAsksFirst)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    {
        MessageBoxes boxes;
        dialog.Core().OnResetCommand(ID_RESET_ANSWER);
        EXPECT_TRUE(boxes.texts.isEmpty()) << "the template alone is nothing to lose";
    }
    Type(IDC_PANE_QUESTION, QStringLiteral("다음 중 옳은 것은?"));
    MessageBoxes boxes(QMessageBox::No);
    dialog.Core().OnResetCommand(ID_RESET_QUESTION);
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("문제 창의 내용을 모두 지우시겠습니까?")});
    EXPECT_TRUE(Contains(IDC_PANE_QUESTION, u"옳은 것은"));
    dialog.Core().OnResetCommand(ID_RESET_ALL);
    EXPECT_TRUE(Contains(IDC_PANE_QUESTION, u"옳은 것은"));
    boxes.Answer(QMessageBox::Yes);
    dialog.Core().OnResetCommand(ID_RESET_ALL);
    EXPECT_FALSE(Contains(IDC_PANE_QUESTION, u"옳은 것은"));
    EXPECT_EQ(boxes.texts.size(), 3);
}

TEST_F(DialogTest, ClearingThePassageBoxAsksAndTickingItAgainBringsThePassageBack)
{
    CVarnelDlg& dialog = Open(1366, 768);
    Click(dialog, IDC_HAS_PASSAGE);
    const unsigned key = dialog.Core().m_pExamRecord->m_nExamtextKey;
    Type(IDC_PANE_PASSAGE, QStringLiteral("민들레 씨앗은 바람을 타고 날아간다."));
    MessageBoxes boxes(QMessageBox::No);
    Click(dialog, IDC_HAS_PASSAGE);
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("지문을 빼고 지문 창의 내용을 모두 지우시겠습니까?")});
    EXPECT_TRUE(static_cast<QCheckBox*>(dialog.Control(IDC_HAS_PASSAGE))->isChecked());
    EXPECT_FALSE(dialog.Control(IDC_PANE_PASSAGE)->isHidden());
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nExamtextKey, key);

    boxes.Answer(QMessageBox::Yes);
    Click(dialog, IDC_HAS_PASSAGE);
    EXPECT_TRUE(dialog.Control(IDC_PANE_PASSAGE)->isHidden());
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nExamtextKey, 0u);
    Click(dialog, IDC_HAS_PASSAGE);
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nExamtextKey, key) << "the same passage, not a new one";
    EXPECT_TRUE(Contains(IDC_PANE_PASSAGE, u"민들레 씨앗은"));
    EXPECT_EQ(boxes.texts.size(), 2);
    EXPECT_TRUE(QRect(0, 0, 1366, 768).contains(Framed(dialog.geometry())));
}

TEST_F(DialogTest, CtrlSSavesThroughTheSaveButton)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    int saves = 0;
    dialog.m_onSave = [&] { ++saves; };
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QTextEdit* view = dialog.Pane(IDC_PANE_EXPLAIN)->TextView();
    view->setFocus();
    QApplication::processEvents();
    QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(view->toPlainText().contains(QLatin1Char('s')));
    // Bold in the focused pane, with all six panes in the window.
    QTest::keyClicks(view, QStringLiteral("abc"));
    view->selectAll();
    QTest::keyClick(view, Qt::Key_B, Qt::ControlModifier);
    QTextCursor at(view->document());
    at.setPosition(view->document()->characterCount() - 2);
    EXPECT_GE(at.charFormat().fontWeight(), QFont::Bold);
}

TEST_F(DialogTest, ALauncherQuestionGivenDStaysDAfterARefusedSaveAndAnAnswerWithoutMark)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    dialog.Core().m_pExamRecord->m_strExamLocal = "local_exam";
    dialog.Core().LoadQuestionText(R"({"exam_key":7,"obj_option":"D","sbj_option":"N","des_option":"N","stage_id":"mid"})");
    const std::string folder = dialog.Core().m_pExamRecord->m_strExamFolder;
    ASSERT_EQ(dialog.Core().m_nQuestionType, kQuestionTypeObj);
    Type(IDC_PANE_QUESTION, QStringLiteral("민들레 씨앗이 멀리 가는 까닭은?"));
    Type(IDC_PANE_OPTIONS, QStringLiteral("① 바람\n② 물"));
    MessageBoxes boxes(QMessageBox::No);
    dialog.m_onSave();
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("정답 번호가 없습니다. 그대로 저장할까요?")});
    EXPECT_FALSE(fs::exists(folder + "/7.dat")) << "no means nothing is saved";
    EXPECT_TRUE(Contains(IDC_PANE_OPTIONS, u"① 바람"));
    EXPECT_EQ(dialog.Core().m_nObjButtonImage, 0);

    // The answer pane emptied: the save is refused and the type shows as unfinished...
    dialog.Pane(IDC_PANE_ANSWER)->ClearDocument(0);
    dialog.m_onSave();
    EXPECT_EQ(boxes.texts.last(), QStringLiteral("정답은 필수입력 사항입니다."));
    EXPECT_FALSE(fs::exists(folder + "/7.dat"));
    // ...and once the teacher saves anyway without a mark, the question keeps its objective part.
    Type(IDC_PANE_ANSWER, QStringLiteral("정답 : "));
    boxes.Answer(QMessageBox::Yes);
    dialog.m_onSave();
    EXPECT_EQ(boxes.texts.last(), QStringLiteral("정답 번호가 없습니다. 그대로 저장할까요?"));
    const std::string dat = store_testing::ReadFile(folder + "/7.dat");
    EXPECT_NE(dat.find(R"("obj_option":"D")"), std::string::npos) << dat;
    EXPECT_NE(dat.find(R"("obj_answer":"")"), std::string::npos) << dat;
    EXPECT_TRUE(fs::exists(folder + "/obj-exam.hwp"));
}

TEST_F(DialogTest, ThePanesStartInTheStylesOfTheLevel)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    auto styleName = [&](int id) {
        editor::CHwpctrl* pane = dialog.Pane(id);
        const QTextBlock block = pane->Document().Text().lastBlock();
        const int index = block.blockFormat().intProperty(editor::kStyleIndexProperty);
        return pane->Document().Styles().at(static_cast<std::size_t>(index)).name;
    };
    auto styleBox = [&](int id) {
        for (auto* box : dialog.Pane(id)->ToolBar()->findChildren<QComboBox*>()) {
            if (box->toolTip() == QStringLiteral("스타일"))
                return box->currentText();
        }
        return QString();
    };
    EXPECT_TRUE(styleName(IDC_PANE_QUESTION).contains(QStringLiteral("중고등"))) << styleName(IDC_PANE_QUESTION).toStdString();
    Click(dialog, IDC_LEVEL_ELEM);
    for (int id : {IDC_PANE_QUESTION, IDC_PANE_OPTIONS, IDC_PANE_ANSWER, IDC_PANE_EXPLAIN}) {
        EXPECT_TRUE(styleName(id).contains(QStringLiteral("초등"))) << id << " " << styleName(id).toStdString();
        EXPECT_TRUE(styleBox(id).contains(QStringLiteral("초등"))) << id << " " << styleBox(id).toStdString();
    }
    // A question the launcher hands over for the elementary level: its blank panes too.
    dialog.Core().LoadQuestionText(R"({"exam_key":11,"exam_local":"exam","obj_option":"D","stage_id":"elem"})");
    for (int id : {IDC_PANE_QUESTION, IDC_PANE_ANSWER})
        EXPECT_TRUE(styleBox(id).contains(QStringLiteral("초등"))) << id << " " << styleBox(id).toStdString();
}

TEST_F(DialogTest, AClickOnAPanesFrameFocusesThatPane)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QTest::mouseClick(dialog.Control(IDC_GROUP_EXPLAIN), Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_TRUE(dialog.Pane(IDC_PANE_EXPLAIN)->TextView()->hasFocus());
    QTest::mouseClick(dialog.Control(IDC_GROUP_QUESTION), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_TRUE(dialog.Pane(IDC_PANE_QUESTION)->TextView()->hasFocus());
}

TEST_F(DialogTest, TheTitleNamesTheQuestion)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Varnel"));
    dialog.Core().LoadQuestionText(R"({"exam_key":9,"exam_local":"exam","exam_name":"민들레 씨앗","obj_option":"D"})");
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("민들레 씨앗 — Varnel"));
}

TEST_F(DialogTest, OpeningALocalQuestionRestoresItsDocumentsFromTheArchive)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    // A question saved earlier: its documents packed, then lost from the folder.
    const std::string folder = Workspace() + "/local_exam/ek-3";
    fs::create_directories(folder);
    Type(IDC_PANE_QUESTION, QStringLiteral("다음 중 옳은 것은?"));
    ASSERT_TRUE(dialog.Pane(IDC_PANE_QUESTION)->SaveDocumentAs(Utf8ToUtf16(folder + "/obj-exam.hwp").value(), u"HWP"));
    ASSERT_TRUE(PackArchive(3, {"obj-exam.hwp"}, "exam", folder));
    fs::remove(folder + "/obj-exam.hwp");
    WriteFile(folder + "/3.dat", R"({"exam_key":3,"obj_option":"D","sbj_option":"N","des_option":"N","stage_id":"high"})");
    dialog.Core().ResetPaneDocuments(1);
    ASSERT_FALSE(PaneText(IDC_PANE_QUESTION).contains(QStringLiteral("옳은")));

    dialog.Core().m_pExamRecord->m_strExamLocal = "local_exam";
    dialog.Core().LoadQuestionText(store_testing::ReadFile(folder + "/3.dat"));
    EXPECT_TRUE(PaneText(IDC_PANE_QUESTION).contains(QStringLiteral("다음 중 옳은 것은?")));
    EXPECT_TRUE(static_cast<QCheckBox*>(dialog.Control(IDC_DEFAULT_OBJ))->isChecked());
    EXPECT_EQ(dialog.Core().m_strLevel, "high");
}

TEST_F(DialogTest, SwitchingTypeWithIncompletePanesKeepsWhatWasTyped)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    Click(dialog, IDC_HAS_PASSAGE);
    Type(IDC_PANE_PASSAGE, QStringLiteral("봄이 오면 꽃이 핀다."));
    Type(IDC_PANE_QUESTION, QStringLiteral("윗글의 중심 내용은?"));

    // Objective is incomplete (no options): nothing is stored, yet nothing is lost.
    Click(dialog, IDC_TYPE_SBJ);
    EXPECT_EQ(dialog.Core().m_nQuestionType, kQuestionTypeSbj);
    EXPECT_TRUE(Contains(IDC_PANE_PASSAGE, u"봄이 오면")) << "the passage was reloaded from a file that does not exist";
    EXPECT_FALSE(Contains(IDC_PANE_QUESTION, u"중심 내용")) << "the subjective documents are shown";
    EXPECT_FALSE(fs::exists(dialog.Core().m_pExamRecord->m_strExamtextFolder + "/text.hwp"));
    Type(IDC_PANE_QUESTION, QStringLiteral("꽃이 피는 까닭을 쓰시오."));

    Click(dialog, IDC_TYPE_OBJ);
    EXPECT_EQ(dialog.Core().m_nQuestionType, kQuestionTypeObj);
    EXPECT_TRUE(Contains(IDC_PANE_QUESTION, u"윗글의 중심 내용은?"));
    EXPECT_TRUE(Contains(IDC_PANE_PASSAGE, u"봄이 오면"));
    EXPECT_TRUE(dialog.Control(IDC_PANE_OPTIONS)->isEnabled());
    EXPECT_TRUE(dialog.Core().HasUnsavedWork()) << "the subjective draft is held";

    Click(dialog, IDC_TYPE_SBJ);
    EXPECT_TRUE(Contains(IDC_PANE_QUESTION, u"꽃이 피는 까닭을 쓰시오."));
    EXPECT_FALSE(dialog.Control(IDC_PANE_OPTIONS)->isEnabled());
    // Nothing of the drafts reaches the question's folder.
    const std::string folder = dialog.Core().m_pExamRecord->m_strExamFolder;
    EXPECT_FALSE(fs::exists(folder + "/obj-exam.hwp"));
    EXPECT_FALSE(fs::exists(folder + "/sbj-exam.hwp"));
}

TEST_F(DialogTest, TheNextQuestionStartsWithoutThePassageColumn)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    const int width = dialog.width();
    Click(dialog, IDC_HAS_PASSAGE);
    ASSERT_FALSE(dialog.Control(IDC_PANE_PASSAGE)->isHidden());
    dialog.Core().m_pExamRecord.reset(); // as the save does before the next question
    dialog.Core().StartNewQuestion();
    EXPECT_FALSE(static_cast<QCheckBox*>(dialog.Control(IDC_HAS_PASSAGE))->isChecked());
    EXPECT_TRUE(dialog.Control(IDC_PANE_PASSAGE)->isHidden());
    EXPECT_EQ(dialog.width(), width);
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nExamtextKey, 0u);
}

TEST_F(DialogTest, EscapeNeverClosesAndClosingWithUnsavedTextAsks)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    dialog.show();
    QApplication::processEvents();
    {
        MessageBoxes boxes;
        dialog.close();
        EXPECT_TRUE(boxes.texts.isEmpty()) << "nothing typed: no question";
        EXPECT_FALSE(dialog.isVisible());
    }
    dialog.show();
    Type(IDC_PANE_QUESTION, QStringLiteral("다음 중 옳은 것은?"));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(dialog.Pane(IDC_PANE_QUESTION)->TextView(), &escape);
    QKeyEvent escapeOnDialog(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&dialog, &escapeOnDialog);
    QApplication::processEvents();
    EXPECT_TRUE(dialog.isVisible()) << "Escape closed the dialog";

    MessageBoxes boxes(QMessageBox::No);
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("저장하지 않은 내용이 있습니다. 닫을까요?")});
    EXPECT_TRUE(Contains(IDC_PANE_QUESTION, u"옳은 것은"));
    boxes.Answer(QMessageBox::Yes);
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(boxes.texts.size(), 2);
}

TEST_F(DialogTest, AFolderThatCannotBeWrittenKeepsEveryPaneAndSaysSo)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    Type(IDC_PANE_QUESTION, QStringLiteral("다음 중 옳은 것은?"));
    Type(IDC_PANE_OPTIONS, QStringLiteral("① 하나\n② 둘"));
    Type(IDC_PANE_ANSWER, QStringLiteral("②"));
    Type(IDC_PANE_EXPLAIN, QStringLiteral("둘이 옳다."));
    // A file where the question's folder should be made.
    WriteFile(Workspace() + "/local_exam", "in the way");
    dialog.Core().m_pExamRecord->m_strExamFolder = Workspace() + "/local_exam/ek-1";

    EXPECT_FALSE(dialog.Core().m_buildPreviewDocuments(false)) << "the type switch learns it was not stored";
    MessageBoxes boxes;
    dialog.m_onSave();
    ASSERT_EQ(boxes.texts.size(), 1);
    // The message names what is in the way: the store's folder cannot be made.
    EXPECT_TRUE(boxes.texts[0].endsWith(QString::fromStdString(Workspace() + "/local_exam")))
        << boxes.texts[0].toStdString();
    EXPECT_TRUE(Contains(IDC_PANE_QUESTION, u"옳은 것은"));
    EXPECT_TRUE(Contains(IDC_PANE_OPTIONS, u"② 둘"));
    EXPECT_TRUE(Contains(IDC_PANE_ANSWER, u"②"));
    EXPECT_TRUE(Contains(IDC_PANE_EXPLAIN, u"둘이 옳다"));
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nExamKey, 1u) << "still the same question";
    EXPECT_NE(dialog.Core().m_pExamRecord->m_strObjState, "obj_y");
}

TEST_F(DialogTest, AnUnreadableDocumentOpensTheTemplateAndNamesTheFile)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    Type(IDC_PANE_QUESTION, QStringLiteral("문제 A의 글"));
    const std::string folder = Workspace() + "/exam/d6-000/d4-00/d2-00/ek-2";
    WriteFile(folder + "/obj-exam.hwp", "this is no document");
    MessageBoxes boxes;
    dialog.Core().LoadQuestionText(R"({"exam_key":2,"exam_local":"exam","obj_option":"D"})");
    EXPECT_FALSE(Contains(IDC_PANE_QUESTION, u"문제 A")) << "question A's text would be saved under question B";
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].contains(QString::fromStdString(folder + "/obj-exam.hwp"))) << boxes.texts[0].toStdString();
}

TEST_F(DialogTest, ADamagedArchiveKeepsTheOpenQuestionInThePanes)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    Type(IDC_PANE_QUESTION, QStringLiteral("문제 A의 글"));
    WriteFile(Workspace() + "/local_exam/ek-4/4.dat", R"({"exam_key":4,"obj_option":"D"})");
    WriteFile(Workspace() + "/local_exam/ek-4/4-exam.zip", "damaged, not an archive at all");
    // The step below the file chooser of "문제 불러오기".
    EXPECT_THROW(dialog.Core().LoadQuestionText(store_testing::ReadFile(Workspace() + "/local_exam/ek-4/4.dat")),
                 ArchiveError);
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nExamKey, 1u);
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_strExamFolder, Workspace() + "/local_exam/ek-1");
    EXPECT_TRUE(Contains(IDC_PANE_QUESTION, u"문제 A"));
}

// Records what reaches it, to see what the busy dialog lets through.
class InputRecorder : public QWidget {
public:
    using QWidget::QWidget;
    QList<QEvent::Type> seen;

protected:
    bool event(QEvent* event) override
    {
        seen << event->type();
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove)
            static_cast<QDragMoveEvent*>(event)->acceptProposedAction();
        return QWidget::event(event);
    }
};

TEST_F(DialogTest, WhileBusyNoUserInputOfAnyKindGetsThrough)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    auto* target = new InputRecorder(&dialog);
    target->setAcceptDrops(true);
    QMimeData mime;
    mime.setText(QStringLiteral("끌어다 놓은 글"));
    const auto send = [&] {
        target->seen.clear();
        QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDragMoveEvent move(QPoint(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(1, 1), target->mapToGlobal(QPoint(1, 1)));
        QApplication::sendEvent(target, &menu);
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(target, &key);
    };
    dialog.SetBusy(QStringLiteral("인쇄 이미지를 만드는 중입니다…"));
    send();
    EXPECT_TRUE(target->seen.isEmpty()) << target->seen.size() << " events got through, the first " << target->seen.value(0);
    dialog.SetBusy(QString());
    send();
    for (QEvent::Type type : {QEvent::DragEnter, QEvent::Drop, QEvent::ContextMenu, QEvent::KeyPress})
        EXPECT_TRUE(target->seen.contains(type)) << type;
}

// A figure as a diagram of a science question might be: a saturated orange disc on a
// pale green ground with a dark blue bar beneath, colours no template or text uses.
QByteArray Figure()
{
    QImage image(240, 160, QImage::Format_RGB32);
    image.fill(QColor(200, 240, 200));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 120, 0));
    painter.drawEllipse(QPointF(120, 70), 55, 55);
    painter.fillRect(20, 135, 200, 15, QColor(10, 30, 140));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Pixels of the figure's orange (any shade a downscale leaves) and its blue.
struct FigureInk {
    int orange = 0;
    int blue = 0;
};
FigureInk InkOf(const QImage& image)
{
    FigureInk ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            ink.orange += c.red() > 220 && c.green() > 80 && c.green() < 160 && c.blue() < 60;
            ink.blue += c.blue() > 100 && c.red() < 50 && c.green() < 70;
        }
    return ink;
}

// The bytes each picture of the pane's document shows.
std::vector<std::string> PictureBytes(editor::CHwpctrl& pane)
{
    std::vector<std::string> out;
    const QTextDocument& text = pane.Document().Text();
    for (int i = 0; i + 1 < text.characterCount(); ++i) {
        if (editor::PictureCharacterAt(text, i) != i)
            continue;
        QTextCursor cursor(const_cast<QTextDocument*>(&text));
        cursor.setPosition(i + 1);
        const editor::KeptObjectRef object = editor::KeptObjectOf(cursor.charFormat());
        const hwp::Picture picture = hwp::ReadPicture(object->control);
        const hwp::BinDataItem* item = hwp::PictureBinData(*object->origin, picture);
        out.push_back(item ? hwp::BinDataBytes(*item) : std::string());
    }
    return out;
}

TEST_F(DialogTest, AFigureInTheQuestionIsSavedReopenedFromTheArchivesAndPrinted)
{
    CVarnelDlg& dialog = Open(1920, 1080);

    const QByteArray figure = Figure();
    editor::CHwpctrl& question = *dialog.Pane(IDC_PANE_QUESTION);
    Type(IDC_PANE_QUESTION, QStringLiteral("그림은 어떤 천체의 모습이다. 이 천체는?\n"));
    question.RunAction(u"MoveDocEnd");
    QString error;
    ASSERT_TRUE(editor::InsertPictureBytes(question, figure, error, 96)) << error.toStdString();
    Type(IDC_PANE_OPTIONS, QStringLiteral("① 달\n② 태양"));
    Type(IDC_PANE_ANSWER, QStringLiteral("②"));
    Type(IDC_PANE_EXPLAIN, QStringLiteral("스스로 빛을 낸다."));

    QStringList messages;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            messages << box->text();
            box->buttons().value(0)->click();
        }
    });
    answer.start();
    dialog.m_onSave();
    answer.stop();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();

    const std::string folder = Workspace() + "/local_exam/ek-1";
    ASSERT_TRUE(fs::exists(folder + "/1-exam.zip"));
    ASSERT_TRUE(fs::exists(folder + "/1-print.zip"));

    // The page image of the question shows the figure, and so does the cropped print image
    // the archive holds.
    const QImage page(QString::fromStdString(folder + "/1-print-obj-exam001.png"));
    ASSERT_FALSE(page.isNull());
    const FigureInk onPage = InkOf(page);
    EXPECT_GT(onPage.orange, 500);
    EXPECT_GT(onPage.blue, 200);
    fs::remove(folder + "/print-obj-exam.png");
    ASSERT_TRUE(UnpackArchive(folder, "1-print.zip"));
    const QImage print(QString::fromStdString(folder + "/print-obj-exam.png"));
    ASSERT_FALSE(print.isNull());
    // VARNEL_PAGE_IMAGES=folder keeps the figure and both images to look at.
    if (const char* keep = std::getenv("VARNEL_PAGE_IMAGES")) {
        QImage::fromData(figure).save(QString::fromUtf8(keep) + "/figure.png");
        page.save(QString::fromUtf8(keep) + "/figure-page.png");
        print.save(QString::fromUtf8(keep) + "/figure-print.png");
    }
    const FigureInk printed = InkOf(print);
    EXPECT_GT(printed.orange, 500);
    EXPECT_GT(printed.blue, 200);
    EXPECT_LT(print.height(), page.height()) << "cropped to the question";

    // Reopened from the archives alone: the figure with the very bytes inserted.
    for (const char* name : {"obj-exam.hwp", "obj-objective.hwp", "obj-answer.hwp", "obj-explain.hwp"})
        fs::remove(folder + "/" + name);
    dialog.Core().ResetPaneDocuments(1);
    ASSERT_TRUE(PictureBytes(question).empty());
    dialog.Core().m_pExamRecord->m_strExamLocal = "local_exam";
    dialog.Core().LoadQuestionText(store_testing::ReadFile(folder + "/1.dat"));
    const std::vector<std::string> reopened = PictureBytes(*dialog.Pane(IDC_PANE_QUESTION));
    ASSERT_EQ(reopened.size(), 1u);
    EXPECT_EQ(reopened[0], figure.toStdString());
    EXPECT_TRUE(dialog.Pane(IDC_PANE_QUESTION)->TextView()->toPlainText().contains(QStringLiteral("천체")));
}

} // namespace

namespace {

std::vector<QTextTable*> TablesIn(QTextDocument& text)
{
    std::vector<QTextTable*> out;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        QTextTable* table = QTextCursor(block).currentTable();
        if (table && std::find(out.begin(), out.end(), table) == out.end())
            out.push_back(table);
    }
    return out;
}

QString CellText(QTextTable& table, int row, int column)
{
    const QTextTableCell cell = table.cellAt(row, column);
    QTextCursor cursor = cell.firstCursorPosition();
    cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
    return cursor.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

// Rows of the image holding a dark run at least `length` pixels long: ruling lines.
int RulingRows(const QImage& image, int length)
{
    int rows = 0;
    bool previous = false;
    for (int y = 0; y < image.height(); ++y) {
        int run = 0, longest = 0;
        for (int x = 0; x < image.width(); ++x) {
            run = qGray(image.pixel(x, y)) < 100 ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        const bool line = longest >= length;
        rows += line && !previous;
        previous = line;
    }
    return rows;
}

} // namespace


TEST_F(DialogTest, AQuestionWithADataTableAndABoxIsSavedReopenedAndPrintedWithBoth)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    Type(IDC_PANE_QUESTION, QStringLiteral("다음 표를 보고 물음에 답하시오.\n"));
    editor::CHwpctrl& question = *dialog.Pane(IDC_PANE_QUESTION);
    QTextTable* table = editor::InsertNewTable(question, 3, 3);
    ASSERT_NE(table, nullptr);
    const QStringList data{QStringLiteral("구분"), QStringLiteral("A"), QStringLiteral("B"),
                           QStringLiteral("질량"), QStringLiteral("2 kg"), QStringLiteral("3 kg"),
                           QStringLiteral("부피"), QStringLiteral("1 L"), QStringLiteral("4 L")};
    for (const QString& text : data) {
        question.TextView()->textCursor().insertText(text);
        if (&text != &data.back())
            editor::MoveToNextCell(question);
    }
    editor::CHwpctrl& options = *dialog.Pane(IDC_PANE_OPTIONS);
    options.RunAction(u"MoveDocEnd");
    ASSERT_NE(editor::InsertBoxTable(options), nullptr);
    options.TextView()->textCursor().insertText(QStringLiteral("ㄱ. A의 밀도가 더 크다.\nㄴ. B의 부피가 더 크다."));
    Type(IDC_PANE_OPTIONS, QStringLiteral("① ㄱ\n② ㄴ\n③ ㄱ, ㄴ"));
    Type(IDC_PANE_ANSWER, QStringLiteral("③"));
    // An equation and a picture beside the text, so every kind of object is printed.
    editor::CHwpctrl& explain = *dialog.Pane(IDC_PANE_EXPLAIN);
    Type(IDC_PANE_EXPLAIN, QStringLiteral("둘 다 옳다. 밀도는 "));
    ASSERT_TRUE(editor::InsertEquation(explain, QStringLiteral("rho = m over V")));
    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    QString error;
    ASSERT_TRUE(editor::InsertPictureBytes(explain, png, error)) << error.toStdString();
    {
        MessageBoxes boxes;
        dialog.m_onSave();
        EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join(QLatin1Char('\n')).toStdString();
    }
    const std::string folder = Workspace() + "/local_exam/ek-1";
    ASSERT_TRUE(fs::exists(folder + "/1.dat"));

    // What a save prints of each part is the page of the file it wrote, pixel for pixel.
    for (const std::string part : {"obj-exam", "obj-objective", "obj-answer", "obj-explain"}) {
        const std::unique_ptr<editor::EditorDocument> written = editor::ReadHwpFile(folder + "/" + part + ".hwp");
        ASSERT_NE(written, nullptr) << part;
        const std::string again = m_scratch / (part + ".png");
        ASSERT_TRUE(WritePageImage(*written, 0, again)) << part;
        const QImage saved(QString::fromStdString(folder + "/1-print-" + part + "001.png"));
        ASSERT_FALSE(saved.isNull()) << part;
        EXPECT_TRUE(saved == QImage(QString::fromStdString(again))) << part << ": the save printed another layout";
    }

    // The print images show the table's and the box's lines.
    int printed = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".png" || name.find("print") == std::string::npos)
            continue;
        const QImage image(QString::fromStdString(entry.path().string()));
        ASSERT_FALSE(image.isNull()) << name;
        const int rows = RulingRows(image, image.width() / 3);
        if (name.find("question") != std::string::npos || name.find("exam") != std::string::npos) {
            EXPECT_GE(rows, 4) << name << ": the 3 x 3 table's four ruling lines";
        }
        if (name.find("objective") != std::string::npos || name.find("option") != std::string::npos) {
            EXPECT_GE(rows, 2) << name << ": the box's top and bottom";
        }
        printed += rows > 0;
        if (const char* keep = std::getenv("VARNEL_PAGE_IMAGES"))
            fs::copy_file(entry.path(), fs::path(keep) / name, fs::copy_options::overwrite_existing);
    }
    EXPECT_GE(printed, 2);

    // Reopened from the archives alone, both come back as tables with their texts.
    for (const char* name : {"obj-exam.hwp", "obj-objective.hwp", "obj-answer.hwp", "obj-explain.hwp"})
        fs::remove(folder + "/" + name);
    dialog.Core().ResetPaneDocuments(1);
    ASSERT_TRUE(TablesIn(question.Document().Text()).empty());
    dialog.Core().m_pExamRecord->m_strExamLocal = "local_exam";
    dialog.Core().LoadQuestionText(store_testing::ReadFile(folder + "/1.dat"));
    const std::vector<QTextTable*> questionTables = TablesIn(question.Document().Text());
    ASSERT_EQ(questionTables.size(), 1u);
    ASSERT_EQ(questionTables[0]->rows(), 3);
    ASSERT_EQ(questionTables[0]->columns(), 3);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(CellText(*questionTables[0], i / 3, i % 3), data[i]);
    const std::vector<QTextTable*> optionTables = TablesIn(options.Document().Text());
    ASSERT_EQ(optionTables.size(), 1u);
    EXPECT_EQ(optionTables[0]->rows(), 1);
    EXPECT_EQ(CellText(*optionTables[0], 0, 0),
              QStringLiteral("<보기>\nㄱ. A의 밀도가 더 크다.\nㄴ. B의 부피가 더 크다."));
    EXPECT_TRUE(Contains(IDC_PANE_OPTIONS, u"③ ㄱ, ㄴ"));
}

// The option holding `text`: its mark's number, 0 when none holds it.
int NumberOfOption(editor::CHwpctrl& options, const QString& text)
{
    const editor::OptionScan scan = editor::ScanOptions(options.Document().Text());
    const std::vector<editor::OptionContent> contents = editor::ItemContents(options.Document().Text(), scan);
    for (std::size_t i = 0; i < contents.size(); ++i)
        if (contents[i].text == text)
            return scan.items[i].number;
    return 0;
}

TEST_F(DialogTest, ShuffleKeepsTheAnswerOnItsOptionAndUndoesInOneStepAcrossBothPanes)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    editor::CHwpctrl& options = *dialog.Pane(IDC_PANE_OPTIONS);
    editor::CHwpctrl& answer = *dialog.Pane(IDC_PANE_ANSWER);
    Type(IDC_PANE_OPTIONS, QStringLiteral("① 바람\n② 물\n③ 동물\n④ 사람\n⑤ 땅"));
    Type(IDC_PANE_ANSWER, QStringLiteral("③"));
    const QString optionsBefore = PaneText(IDC_PANE_OPTIONS);
    const QString answerBefore = PaneText(IDC_PANE_ANSWER);

    for (std::uint32_t seed : {1u, 2u, 3u}) {
        structure::ShuffleOptions(dialog.Core(), seed);
        const int moved = NumberOfOption(options, QStringLiteral("동물"));
        ASSERT_GE(moved, 1);
        EXPECT_EQ(editor::ReadObjectiveAnswer(answer), std::to_string(moved)) << "seed " << seed;
        EXPECT_NE(PaneText(IDC_PANE_OPTIONS), optionsBefore);
        EXPECT_EQ(editor::ScanOptions(options.Document().Text()).Numbers(), (std::vector<int>{1, 2, 3, 4, 5}));
        // One Ctrl+Z in the options pane takes back both panes.
        QTest::keyClick(options.TextView(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(PaneText(IDC_PANE_OPTIONS), optionsBefore);
        EXPECT_EQ(PaneText(IDC_PANE_ANSWER), answerBefore);
    }
    // Redone from the answer pane, both come back; moving an option takes the answer along.
    answer.TextView()->redo();
    const int shuffled = NumberOfOption(options, QStringLiteral("동물"));
    EXPECT_EQ(editor::ReadObjectiveAnswer(answer), std::to_string(shuffled));
    QTextCursor caret(&options.Document().Text());
    caret.setPosition(options.Document().Text().toPlainText().indexOf(QStringLiteral("동물")));
    options.TextView()->setTextCursor(caret);
    structure::MoveOption(dialog.Core(), shuffled == 1 ? 1 : -1);
    EXPECT_EQ(NumberOfOption(options, QStringLiteral("동물")), shuffled == 1 ? 2 : shuffled - 1);
    EXPECT_EQ(editor::ReadObjectiveAnswer(answer), std::to_string(NumberOfOption(options, QStringLiteral("동물"))));

    // An option deleted by hand: renumbering closes the gap and the answer follows.
    answer.ClearDocument(0);
    options.ClearDocument(0);
    Type(IDC_PANE_OPTIONS, QStringLiteral("① 바람\n③ 동물\n④ 사람"));
    Type(IDC_PANE_ANSWER, QStringLiteral("④"));
    structure::RenumberOptions(dialog.Core());
    EXPECT_EQ(PaneText(IDC_PANE_OPTIONS), QStringLiteral("① 바람\n② 동물\n③ 사람"));
    EXPECT_EQ(editor::ReadObjectiveAnswer(answer), "3");
}

TEST_F(DialogTest, ASaveAsksWhenOptionsAndAnswerDisagreeAndGoesOnWhenTheTeacherInsists)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    const std::string folder = dialog.Core().m_pExamRecord->m_strExamFolder;
    const std::string key = std::to_string(dialog.Core().m_pExamRecord->m_nExamKey);
    Type(IDC_PANE_QUESTION, QStringLiteral("알맞은 것은?"));
    Type(IDC_PANE_OPTIONS, QStringLiteral("① 바람\n③ 물"));
    Type(IDC_PANE_ANSWER, QStringLiteral("②"));
    MessageBoxes boxes(QMessageBox::No);
    dialog.m_onSave();
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("정답 ②에 해당하는 선택지가 없습니다.\n"
                                                      "선택지 번호가 겹치거나 순서가 맞지 않습니다(①, ③). 그대로 저장할까요?")});
    EXPECT_FALSE(fs::exists(folder + "/" + key + ".dat"));
    EXPECT_TRUE(Contains(IDC_PANE_OPTIONS, u"③ 물"));
    boxes.Answer(QMessageBox::Yes);
    dialog.m_onSave();
    EXPECT_TRUE(fs::exists(folder + "/" + key + ".dat"));
}

TEST_F(DialogTest, ThePointsBoxKeepsTheRecordsPointsAndPutsTheirMarkAfterTheStem)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    auto* box = qobject_cast<QDoubleSpinBox*>(dialog.Control(IDC_SCORE));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->text().isEmpty()) << "a new question has no points";
    MessageBoxes boxes;
    Click(dialog, IDC_SHOW_POINTS);
    EXPECT_EQ(boxes.texts, QStringList{QStringLiteral("배점을 먼저 입력하세요.")});
    box->setValue(3.3);
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nScoreTenths, 33);
    EXPECT_TRUE(dialog.Core().HasUnsavedChanges());
    Type(IDC_PANE_QUESTION, QStringLiteral("옳은 것은?"));
    Click(dialog, IDC_SHOW_POINTS);
    box->setValue(4);
    Click(dialog, IDC_SHOW_POINTS);
    EXPECT_TRUE(PaneText(IDC_PANE_QUESTION).endsWith(QStringLiteral("옳은 것은? [4점]"))) << PaneText(IDC_PANE_QUESTION).toStdString();
    // Cleared, the box is no points.
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nScoreTenths, std::nullopt);

    dialog.Core().m_pExamRecord->m_strExamLocal = "local_exam";
    dialog.Core().LoadQuestionText(R"({"exam_key":7,"obj_option":"D","score":12.5})");
    EXPECT_EQ(box->text(), QStringLiteral("12.5"));
    dialog.Core().LoadQuestionText(R"({"exam_key":8,"obj_option":"D"})");
    EXPECT_TRUE(box->text().isEmpty());
}

TEST_F(DialogTest, OptionsLaidOutInOneRowMoveToTwoColumnsWhenOneGrowsAndBackWhenItShrinks)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    editor::CHwpctrl& options = *dialog.Pane(IDC_PANE_OPTIONS);
    Type(IDC_PANE_OPTIONS, QStringLiteral("① 3\n② 5\n③ 7\n④ 9\n⑤ 11"));
    EXPECT_FALSE(structure::RelayOutOptions(dialog.Core())) << "nothing chosen, nothing moves";
    structure::LayOutOptions(dialog.Core(), editor::OptionArrangement::OneRow);
    EXPECT_EQ(PaneText(IDC_PANE_OPTIONS), QStringLiteral("① 3\t② 5\t③ 7\t④ 9\t⑤ 11"));
    QTextCursor cursor(&options.Document().Text());
    cursor.setPosition(PaneText(IDC_PANE_OPTIONS).indexOf(QStringLiteral("5")) + 1);
    cursor.insertText(QStringLiteral("는 바람을 타고 아주 멀리까지"));
    EXPECT_TRUE(structure::RelayOutOptions(dialog.Core()));
    EXPECT_EQ(PaneText(IDC_PANE_OPTIONS), QStringLiteral("① 3\t② 5는 바람을 타고 아주 멀리까지\n③ 7\t④ 9\n⑤ 11"));
    // Short again: back in one row, as the teacher chose.
    const int grown = PaneText(IDC_PANE_OPTIONS).indexOf(QStringLiteral("는 바람"));
    cursor.setPosition(grown);
    cursor.setPosition(grown + QStringLiteral("는 바람을 타고 아주 멀리까지").size(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    EXPECT_TRUE(structure::RelayOutOptions(dialog.Core()));
    EXPECT_EQ(PaneText(IDC_PANE_OPTIONS), QStringLiteral("① 3\t② 5\t③ 7\t④ 9\t⑤ 11"));
}
