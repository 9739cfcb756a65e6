// What the dialog says and shows to every teacher: the names a screen reader reads, the
// order of the Tab key, the style at the caret, what a save and a question say, the
// words of the menus and of Qt's own dialogs, and a window that fits the screen.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextEdit>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <QTest>
#include <QToolBar>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>

#include "app/varnel_app.h"
#include "app/varnel_dlg.h"
#include "document/editor_document.h"
#include "editor/hwpctrl.h"
#include "support/launch_values.h"

#include "tests/store/store_testing.h"

using namespace dlg;

namespace {

class ClearDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "app_dialog_test";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
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
    CVarnelDlg& Open(int width, int height)
    {
        m_dialog = std::make_unique<CVarnelDlg>([width, height] { return QSize(width, height); });
        m_dialog->Core().m_applyLaunchRecord = [this] {
            m_dialog->Core().StartNewQuestion();
            return true;
        };
        m_dialog->OnInitDialog();
        m_dialog->show();
        m_dialog->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
        return *m_dialog;
    }

    store_testing::ScratchFolder m_scratch;
    std::unique_ptr<CVarnelDlg> m_dialog;
};

bool Interactive(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::ButtonDropGrid:
    case QAccessible::ToolBar:
    case QAccessible::Slider:
    case QAccessible::PageTab:
        return true;
    default:
        return false;
    }
}

struct Spoken {
    std::vector<std::string> unnamed;       // role and where, of each shown control without a name
    std::multiset<QString> names;           // every shown control's name
    std::map<QString, QString> descriptions; // name -> description
};

void Walk(QAccessibleInterface* node, Spoken& spoken, int depth = 0)
{
    if (!node || !node->isValid() || depth > 40 || node->state().invisible)
        return;
    const QString name = node->text(QAccessible::Name).trimmed();
    if (Interactive(node->role())) {
        if (name.isEmpty()) {
            QObject* object = node->object();
            QString where = object ? QString::fromLatin1(object->metaObject()->className()) + u' ' + object->objectName() : QString();
            if (object && object->parent())
                where += QStringLiteral(" in ") + object->parent()->objectName() + u' ' +
                         QString::fromLatin1(object->parent()->metaObject()->className());
            spoken.unnamed.push_back(std::to_string(node->role()) + " " + where.toStdString() + " tip:" +
                                     node->text(QAccessible::Help).toStdString());
        }
        spoken.names.insert(name);
        spoken.descriptions[name] = node->text(QAccessible::Description);
    }
    for (int i = 0; i < node->childCount(); ++i)
        Walk(node->child(i), spoken, depth + 1);
}

Spoken ReadAloud(QWidget& dialog)
{
    Spoken spoken;
    Walk(QAccessible::queryAccessibleInterface(&dialog), spoken);
    return spoken;
}

TEST_F(ClearDialogTest, EveryShownControlHasAKoreanNameAndThePanesAndBarsSayWhatTheyAre)
{
    struct Case {
        QSize screen;
        bool passage;
    };
    for (const Case& c : {Case{{1920, 1080}, false}, Case{{1366, 768}, true}}) {
        SCOPED_TRACE(::testing::Message() << c.screen.width() << "x" << c.screen.height() << (c.passage ? " passage" : ""));
        CVarnelDlg& dialog = Open(c.screen.width(), c.screen.height());
        if (c.passage)
            static_cast<QAbstractButton*>(dialog.Control(IDC_HAS_PASSAGE))->click();
        QApplication::processEvents();
        const Spoken spoken = ReadAloud(dialog);
        EXPECT_TRUE(spoken.unnamed.empty()) << ::testing::PrintToString(spoken.unnamed);
        std::vector<QString> panes = {QStringLiteral("문제"), QStringLiteral("보기"), QStringLiteral("정답"), QStringLiteral("해설")};
        if (c.passage)
            panes.push_back(QStringLiteral("지문"));
        for (const QString& pane : panes) {
            // Each pane once: its text, and its two tool bars by what they hold.
            for (const QString& part : {QStringLiteral(" 편집 영역"), QStringLiteral(" 서식 도구 모음"), QStringLiteral(" 색·개체 도구 모음")})
                EXPECT_EQ(spoken.names.count(pane + part), 1u) << (pane + part).toStdString();
        }
        EXPECT_TRUE(spoken.descriptions.at(QStringLiteral("문제 편집 영역")).contains(QStringLiteral("문제를 입력하세요")));
        for (const QString& name : spoken.names)
            EXPECT_FALSE(name.startsWith(QStringLiteral("TOOLBAR"))) << name.toStdString();
        // The picture buttons say their state.
        EXPECT_EQ(spoken.descriptions.at(QStringLiteral("난이도")),
                  QStringLiteral("난이도: %1").arg(dialog.Core().DifficultyNumber()));
        EXPECT_EQ(spoken.descriptions.at(QStringLiteral("중등")), QStringLiteral("선택됨"));
        EXPECT_EQ(spoken.descriptions.at(QStringLiteral("초등")), QStringLiteral("선택 안 됨"));
        EXPECT_EQ(spoken.descriptions.at(QStringLiteral("객관식")), QStringLiteral("켜짐"));
        EXPECT_EQ(spoken.names.count(QStringLiteral("주관식 기본 유형")), 1u);
        EXPECT_FALSE(dialog.Control(IDC_OPTION_MENU)->toolTip().isEmpty());
        m_dialog.reset();
    }
}

// The control of the dialog that `widget` is or lies in.
int ControlOf(CVarnelDlg& dialog, QWidget* widget)
{
    for (int id = IDC_HAS_PASSAGE; id <= IDC_SHOW_POINTS; ++id) {
        if (id >= IDC_GROUP_ANSWER && id <= IDC_GROUP_QUESTION)
            continue; // the frames around the panes
        QWidget* control = dialog.Control(id);
        if (control && (control == widget || control->isAncestorOf(widget)))
            return id;
    }
    return 0;
}

TEST_F(ClearDialogTest, TabFollowsTheScreenAndThePictureButtonsWorkFromTheKeyboard)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    // Every control the Tab key stops at, once round, by the control it belongs to.
    std::vector<int> visited;
    QWidget* first = dialog.Control(IDC_HAS_PASSAGE);
    QWidget* at = first;
    do {
        if (at->isVisible() && at->isEnabled() && (at->focusPolicy() & Qt::TabFocus)) {
            const int id = ControlOf(dialog, at);
            if (id != 0 && (visited.empty() || visited.back() != id))
                visited.push_back(id);
        }
        at = at->nextInFocusChain();
    } while (at != first && visited.size() < 200);
    const std::vector<int> screenOrder = {
        IDC_HAS_PASSAGE, IDC_LOAD_PASSAGE, IDC_SCORE, IDC_SHOW_POINTS, IDC_LOAD_QUESTION, IDC_LEVEL_ELEM,
        IDC_LEVEL_MID, IDC_LEVEL_HIGH, IDC_TYPE_OBJ, IDC_DEFAULT_OBJ, IDC_TYPE_SBJ, IDC_DEFAULT_SBJ, IDC_TYPE_DES,
        IDC_DEFAULT_DES, IDC_DIFFICULTY, IDC_OPTION_MENU, IDC_PANE_QUESTION, IDC_PANE_OPTIONS, IDC_PANE_ANSWER,
        IDC_PANE_EXPLAIN, IDC_APPLY_STYLE, IDC_SAVE};
    EXPECT_EQ(visited, screenOrder);
    // The top row's stops go from left to right on the screen.
    int lastX = -1;
    for (int id : screenOrder) {
        if (id == IDC_PANE_QUESTION)
            break;
        const int x = dialog.Control(id)->mapTo(&dialog, QPoint(0, 0)).x();
        EXPECT_GE(x, lastX) << id;
        lastX = x;
    }

    // Space presses a focused picture button, which shows it has the focus.
    auto* difficulty = static_cast<QAbstractButton*>(dialog.Control(IDC_DIFFICULTY));
    const QImage unfocused = difficulty->grab().toImage();
    difficulty->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(difficulty->hasFocus());
    EXPECT_NE(difficulty->grab().toImage(), unfocused) << "the focus must show";
    const int before = dialog.Core().DifficultyNumber();
    QTest::keyClick(difficulty, Qt::Key_Space);
    EXPECT_EQ(dialog.Core().DifficultyNumber(), before == 4 ? 1 : before + 1);

    struct Press {
        int id;
        std::function<bool()> happened;
    };
    for (const Press& press : {Press{IDC_LEVEL_ELEM, [&] { return dialog.Core().m_strLevel == "elem"; }},
                               Press{IDC_TYPE_SBJ, [&] { return dialog.Core().m_nQuestionType == kQuestionTypeSbj; }},
                               Press{IDC_DEFAULT_SBJ, [&] { return dialog.IsChecked(IDC_DEFAULT_SBJ); }}}) {
        QWidget* control = dialog.Control(press.id);
        control->setFocus(Qt::TabFocusReason);
        QTest::keyClick(control, Qt::Key_Space);
        EXPECT_TRUE(press.happened()) << press.id;
    }
}

// Answers each message box that opens, noting its text and `probe()` at that moment.
class Answering {
public:
    Answering(QMessageBox::StandardButton answer, std::function<QString()> probe) : m_answer(answer), m_probe(std::move(probe))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            asked << box->text() + u'|' + m_probe();
            box->button(m_answer)->click();
        });
        m_timer.start();
    }
    QStringList asked;

private:
    QMessageBox::StandardButton m_answer;
    std::function<QString()> m_probe;
    QTimer m_timer;
};

void Type(CVarnelDlg& dialog, int id, const QString& text)
{
    dialog.Pane(id)->RunAction(u"MoveDocEnd");
    dialog.Pane(id)->InsertPlainText(text);
}

TEST_F(ClearDialogTest, ConfirmationsNameWhatTheyDeleteAndTheBoxWaitsForTheAnswer)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    auto* hasPassage = static_cast<QAbstractButton*>(dialog.Control(IDC_HAS_PASSAGE));
    hasPassage->click();
    for (int id : {IDC_PANE_PASSAGE, IDC_PANE_QUESTION, IDC_PANE_OPTIONS, IDC_PANE_ANSWER, IDC_PANE_EXPLAIN})
        Type(dialog, id, QStringLiteral("가나다"));
    const auto boxState = [&] { return hasPassage->isChecked() ? QStringLiteral("ticked") : QStringLiteral("clear"); };
    struct Case {
        int command;
        const char* question;
    };
    {
        Answering no(QMessageBox::No, boxState);
        for (const Case& c : {Case{ID_RESET_ALL, "모든 창(지문, 문제, 보기, 정답, 해설)의 내용을 지우시겠습니까?"},
                              Case{ID_RESET_PASSAGE, "지문 창의 내용을 모두 지우시겠습니까?"},
                              Case{ID_RESET_QUESTION, "문제 창의 내용을 모두 지우시겠습니까?"},
                              Case{ID_RESET_OPTIONS, "보기 창의 내용을 모두 지우시겠습니까?"},
                              Case{ID_RESET_ANSWER, "정답 창의 내용을 모두 지우시겠습니까?"},
                              Case{ID_RESET_EXPLAIN, "해설 창의 내용을 모두 지우시겠습니까?"}}) {
            no.asked.clear();
            dialog.Core().OnResetCommand(c.command);
            EXPECT_EQ(no.asked, QStringList{QString::fromUtf8(c.question) + QStringLiteral("|ticked")});
        }
        // The passage box keeps its tick while asked, and after a no.
        no.asked.clear();
        hasPassage->click();
        EXPECT_EQ(no.asked, QStringList{QStringLiteral("지문을 빼고 지문 창의 내용을 모두 지우시겠습니까?|ticked")});
        EXPECT_TRUE(hasPassage->isChecked());
        EXPECT_TRUE(dialog.Pane(IDC_PANE_PASSAGE)->isVisible());
    }
    Answering yes(QMessageBox::Yes, boxState);
    hasPassage->click();
    EXPECT_EQ(yes.asked, QStringList{QStringLiteral("지문을 빼고 지문 창의 내용을 모두 지우시겠습니까?|ticked")});
    EXPECT_FALSE(hasPassage->isChecked());
    EXPECT_FALSE(dialog.Pane(IDC_PANE_PASSAGE)->isVisible());
}

TEST_F(ClearDialogTest, ASaveShowsItsStepsWithThePanesStillFullThenSaysWhatItSavedAndWhere)
{
    CVarnelDlg& dialog = Open(1366, 768);
    Type(dialog, IDC_PANE_QUESTION, QStringLiteral("민들레 씨앗이 멀리 가는 까닭은?"));
    Type(dialog, IDC_PANE_OPTIONS, QStringLiteral("① 바람\n② 물"));
    Type(dialog, IDC_PANE_ANSWER, QStringLiteral("①"));
    Type(dialog, IDC_PANE_EXPLAIN, QStringLiteral("씨앗에 솜털이 있다."));
    const unsigned key = dialog.Core().m_pExamRecord->m_nExamKey;
    const std::string folder = dialog.Core().m_pExamRecord->m_strExamFolder;
    // Seen while the save waits for the cropper, when the dialog paints.
    QStringList steps;
    bool panesEmptied = false;
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!dialog.Progress()->isVisible())
            return;
        if (steps.isEmpty() || steps.last() != dialog.Progress()->format())
            steps << dialog.Progress()->format();
        panesEmptied |= !dialog.Pane(IDC_PANE_QUESTION)->TextView()->toPlainText().contains(QStringLiteral("민들레"));
    });
    watch.start();
    dialog.m_onSave();
    watch.stop();
    ASSERT_TRUE(std::filesystem::exists(folder + "/" + std::to_string(key) + ".dat"));
    EXPECT_TRUE(steps.contains(QStringLiteral("인쇄 이미지…"))) << steps.join(u',').toStdString();
    EXPECT_FALSE(panesEmptied) << "the panes keep the text until the save is done";
    EXPECT_FALSE(dialog.Progress()->isVisible());
    // Said without a box to close, and the next question is ready.
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(dialog.Notice()->isVisible());
    const QString notice = dialog.Notice()->toolTip();
    EXPECT_TRUE(notice.startsWith(QStringLiteral("문제 %1을 저장했습니다").arg(key))) << notice.toStdString();
    EXPECT_TRUE(notice.contains(QString::fromStdString(folder))) << notice.toStdString();
    EXPECT_NE(dialog.Core().m_pExamRecord->m_nExamKey, key);
}

QComboBox* StyleBox(editor::CHwpctrl& pane)
{
    for (auto* box : pane.ToolBar()->findChildren<QComboBox*>()) {
        if (box->toolTip() == QStringLiteral("스타일"))
            return box;
    }
    return nullptr;
}

// "7 중고등 문제": the style of the caret's paragraph as the box lists it.
QString CaretStyle(editor::CHwpctrl& pane)
{
    const QTextBlockFormat format = pane.TextView()->textCursor().blockFormat();
    const int index = format.hasProperty(editor::kStyleIndexProperty) ? format.intProperty(editor::kStyleIndexProperty) : 0;
    return QStringLiteral("%1 %2").arg(index + 1).arg(pane.Document().Styles().at(static_cast<std::size_t>(index)).name);
}

TEST_F(ClearDialogTest, TheStyleBoxShowsTheCaretsStyleInTheLevelsStylesWholeAfterEveryChange)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    // An elementary question as the launcher hands it over, its panes blank.
    dialog.Core().LoadQuestionText(R"({"exam_key":11,"exam_local":"exam","obj_option":"D","stage_id":"elem"})");
    QApplication::clipboard()->setText(QStringLiteral("붙여 넣은 글\n둘째 줄"));
    struct Step {
        const char* what;
        std::function<void()> act;
    };
    const std::vector<Step> steps = {
        {"start", [] {}},
        {"select all and delete", [&] {
             for (int id : {IDC_PANE_QUESTION, IDC_PANE_OPTIONS}) {
                 QTextEdit* view = dialog.Pane(id)->TextView();
                 view->setFocus();
                 view->selectAll();
                 QTest::keyClick(view, Qt::Key_Delete);
             }
         }},
        {"paste", [&] {
             for (int id : {IDC_PANE_ANSWER, IDC_PANE_EXPLAIN}) {
                 QTextEdit* view = dialog.Pane(id)->TextView();
                 view->setFocus();
                 QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
             }
         }},
        {"type switch", [&] { static_cast<QAbstractButton*>(dialog.Control(IDC_TYPE_SBJ))->click(); }},
        {"back to objective", [&] { static_cast<QAbstractButton*>(dialog.Control(IDC_TYPE_OBJ))->click(); }},
    };
    for (const Step& step : steps) {
        step.act();
        QApplication::processEvents();
        for (int id : {IDC_PANE_QUESTION, IDC_PANE_OPTIONS, IDC_PANE_ANSWER, IDC_PANE_EXPLAIN}) {
            SCOPED_TRACE(::testing::Message() << step.what << " pane " << id);
            editor::CHwpctrl& pane = *dialog.Pane(id);
            QComboBox* box = StyleBox(pane);
            ASSERT_TRUE(box);
            EXPECT_EQ(box->currentText(), CaretStyle(pane));
            EXPECT_TRUE(box->currentText().contains(QStringLiteral("초등"))) << box->currentText().toStdString();
            // Closed, the box shows the whole name.
            EXPECT_GE(box->width(), box->fontMetrics().horizontalAdvance(box->currentText()) + 20) << box->currentText().toStdString();
        }
    }
    EXPECT_TRUE(dialog.Pane(IDC_PANE_EXPLAIN)->TextView()->toPlainText().contains(QStringLiteral("둘째 줄")));
}

TEST_F(ClearDialogTest, ApplyStyleLeavesNoSelectionAndTheNextKeyWritesInThePane)
{
    CVarnelDlg& dialog = Open(1366, 768);
    static_cast<QAbstractButton*>(dialog.Control(IDC_LEVEL_ELEM))->click();
    static_cast<QAbstractButton*>(dialog.Control(IDC_HAS_PASSAGE))->click();
    // The new passage takes the level shown.
    EXPECT_TRUE(StyleBox(*dialog.Pane(IDC_PANE_PASSAGE))->currentText().contains(QStringLiteral("초등")))
        << StyleBox(*dialog.Pane(IDC_PANE_PASSAGE))->currentText().toStdString();
    QTextEdit* passage = dialog.Pane(IDC_PANE_PASSAGE)->TextView();
    passage->setFocus();
    QTest::keyClicks(passage, QStringLiteral("rain"));
    QTest::mouseClick(dialog.Control(IDC_APPLY_STYLE), Qt::LeftButton);
    for (int id : {IDC_PANE_PASSAGE, IDC_PANE_QUESTION, IDC_PANE_OPTIONS, IDC_PANE_ANSWER, IDC_PANE_EXPLAIN})
        EXPECT_FALSE(dialog.Pane(id)->TextView()->textCursor().hasSelection()) << id;
    EXPECT_TRUE(passage->hasFocus());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
    EXPECT_TRUE(passage->toPlainText().contains(QStringLiteral("rain"))) << passage->toPlainText().toStdString();
    EXPECT_TRUE(passage->toPlainText().contains(QStringLiteral("x")));
}

TEST_F(ClearDialogTest, OneWordPerCommandAndEveryToolSaysWhatItIsAndItsKey)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    editor::CHwpctrl& pane = *dialog.Pane(IDC_PANE_QUESTION);
    QStringList edit;
    for (QAction* action : pane.MainMenu()->actions()) {
        if (action->menu() && action->text() == QStringLiteral("편집")) {
            for (QAction* item : action->menu()->actions())
                if (!item->isSeparator())
                    edit << item->text().section(u'\t', 0, 0);
        }
    }
    EXPECT_EQ(edit, (QStringList{"되돌리기", "다시 실행", "오려 두기", "복사하기", "붙이기", "지우기", "모두 선택"}));
    // The text's own menu says the same words.
    QStringList context;
    QTimer::singleShot(50, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(menu);
        for (QAction* item : menu->actions())
            if (!item->isSeparator() && !item->menu())
                context << item->text().section(u'\t', 0, 0);
        menu->close();
    });
    QTextEdit* view = pane.TextView();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20), view->viewport()->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(view->viewport(), &event);
    ASSERT_GE(context.size(), edit.size());
    EXPECT_EQ(context.mid(0, edit.size()), edit);

    for (QToolBar* bar : {pane.ToolBar(), pane.DrawToolBar()}) {
        for (QAction* action : bar->actions()) {
            QWidget* tool = bar->widgetForAction(action);
            if (action->isSeparator() || !tool || !tool->isVisible())
                continue;
            const QString tip = tool->toolTip().isEmpty() ? action->toolTip() : tool->toolTip();
            EXPECT_FALSE(tip.isEmpty()) << tool->metaObject()->className();
            if (!action->shortcut().isEmpty()) {
                EXPECT_TRUE(tip.contains(action->shortcut().toString(QKeySequence::NativeText))) << tip.toStdString();
            }
        }
    }
    EXPECT_FALSE(dialog.Control(IDC_OPTION_MENU)->toolTip().isEmpty());
}

TEST_F(ClearDialogTest, TheFileChooserAndMessageButtonsSpeakKorean)
{
    InstallKoreanTexts();
    const std::filesystem::path folder = m_scratch / "chooser";
    std::filesystem::create_directories(folder / "사진");
    QImage(4, 4, QImage::Format_RGB32).save(QString::fromStdString((folder / "a.png").string()));
    QFileDialog chooser(nullptr, QStringLiteral("문제 불러오기"), QString::fromStdString(folder.string()));
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    CVarnelDlg::SayInKorean(chooser);
    auto* model = chooser.findChild<QFileSystemModel*>();
    ASSERT_TRUE(model);
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    chooser.show();
    if (model->rowCount(model->index(QString::fromStdString(folder.string()))) < 2)
        loaded.wait(3000);
    const QModelIndex sub = model->index(QString::fromStdString((folder / "사진").string()));
    const QModelIndex png = model->index(QString::fromStdString((folder / "a.png").string()));
    EXPECT_EQ(model->data(sub.siblingAtColumn(2)).toString(), QStringLiteral("폴더"));
    const QString pngType = model->data(png.siblingAtColumn(2)).toString();
    EXPECT_FALSE(pngType.contains(QStringLiteral("image"), Qt::CaseInsensitive)) << pngType.toStdString();
    auto* buttons = chooser.findChild<QDialogButtonBox*>();
    ASSERT_TRUE(buttons);
    QStringList texts;
    for (QAbstractButton* button : buttons->buttons())
        texts << button->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("열기"))) << texts.join(u',').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("취소"))) << texts.join(u',').toStdString();

    QMessageBox box(QMessageBox::Question, QStringLiteral("Varnel"), QStringLiteral("?"), QMessageBox::Yes | QMessageBox::No);
    EXPECT_FALSE(box.button(QMessageBox::Yes)->text().contains(QStringLiteral("Yes"))) << box.button(QMessageBox::Yes)->text().toStdString();
}

TEST_F(ClearDialogTest, AtEverySchoolScreenTheStartFitsWithoutSidewaysScrollingAndTheBoxSitsByItsButton)
{
    for (const QSize screen : {QSize(1366, 768), QSize(1920, 1080), QSize(1280, 800), QSize(1280, 720)}) {
        SCOPED_TRACE(::testing::Message() << screen.width() << "x" << screen.height());
        // The first frame: the window as set before the window manager framed it, under
        // the tallest title bar measured (53 pixels).
        {
            CVarnelDlg unframed([screen] { return screen; });
            unframed.OnInitDialog();
            EXPECT_TRUE(QRect(QPoint(0, 0), screen).contains(unframed.geometry().adjusted(-4, -53, 4, 4)))
                << unframed.geometry().y() << " " << unframed.width() << "x" << unframed.height();
        }
        CVarnelDlg& dialog = Open(screen.width(), screen.height());
        QApplication::processEvents();
        EXPECT_TRUE(QRect(QPoint(0, 0), screen).contains(dialog.frameGeometry()));
        for (int id : {IDC_PANE_QUESTION, IDC_PANE_OPTIONS, IDC_PANE_ANSWER, IDC_PANE_EXPLAIN})
            EXPECT_FALSE(dialog.Pane(id)->TextView()->horizontalScrollBar()->isVisible()) << id;
        const QRect box(dialog.Control(IDC_HAS_PASSAGE)->mapTo(&dialog, QPoint(0, 0)), dialog.Control(IDC_HAS_PASSAGE)->size());
        const QRect button(dialog.Control(IDC_LOAD_PASSAGE)->mapTo(&dialog, QPoint(0, 0)), dialog.Control(IDC_LOAD_PASSAGE)->size());
        EXPECT_LE(std::abs(box.center().y() - button.center().y()), 1);
        m_dialog.reset();
    }
}

} // namespace
