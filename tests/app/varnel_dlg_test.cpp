#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <filesystem>

#include "app/varnel_dlg.h"
#include "editor/hwpctrl.h"
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

    ScratchFolder m_scratch;
    std::unique_ptr<CVarnelDlg> m_dialog;
};

TEST_F(DialogTest, TemplateLayoutAndItsShrinkingOnLowScreens)
{
    CVarnelDlg& full = Open(1920, 1080);
    EXPECT_EQ(full.size(), QSize(1188, 1065));
    EXPECT_EQ(full.Control(IDC_SAVE)->geometry(), QRect(1089, 1024, 88, 34));
    EXPECT_EQ(full.Pane(IDC_PANE_QUESTION)->ZoomRatio(), 120);
    EXPECT_TRUE(full.Control(IDC_PANE_PASSAGE)->isHidden());
    EXPECT_TRUE(full.Control(IDC_PANE_WORK)->isHidden());
    EXPECT_EQ(static_cast<QPushButton*>(full.Control(IDC_LOAD_QUESTION))->text(), QStringLiteral("문제 불러오기"));

    CVarnelDlg& low = Open(1366, 1079);
    EXPECT_EQ(low.size(), QSize(986, 894));
    EXPECT_EQ(low.Pane(IDC_PANE_QUESTION)->ZoomRatio(), 100);
    EXPECT_EQ(low.Control(IDC_SAVE)->geometry().topLeft(), QPoint(1089 - 202, 1024 - 171));
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
    const QRect save = dialog.Control(IDC_SAVE)->geometry();
    static_cast<QCheckBox*>(dialog.Control(IDC_HAS_PASSAGE))->click();
    EXPECT_FALSE(dialog.Control(IDC_PANE_PASSAGE)->isHidden());
    EXPECT_EQ(dialog.geometry().width(), window.width() + 575);
    EXPECT_EQ(dialog.Control(IDC_SAVE)->geometry(), save.translated(575, 0));
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nExamtextKey, 1u);

    static_cast<QCheckBox*>(dialog.Control(IDC_HAS_PASSAGE))->click();
    EXPECT_TRUE(dialog.Control(IDC_PANE_PASSAGE)->isHidden());
    EXPECT_EQ(dialog.geometry().width(), window.width());
    EXPECT_EQ(dialog.Control(IDC_SAVE)->geometry(), save);
    EXPECT_EQ(dialog.Core().m_pExamRecord->m_nExamtextKey, 0u);
}

TEST_F(DialogTest, OptionMenuListsTheResetsAndResetsThePane)
{
    CVarnelDlg& dialog = Open(1920, 1080);
    Type(IDC_PANE_ANSWER, QStringLiteral("③ 과 해설"));
    QStringList items;
    QTimer::singleShot(0, [&] {
        QMenu* menu = dialog.OptionMenu();
        ASSERT_TRUE(menu);
        for (QAction* action : menu->actions())
            items << action->text();
        menu->actions().at(4)->trigger();
        menu->close();
    });
    static_cast<QPushButton*>(dialog.Control(IDC_OPTION_MENU))->click();
    EXPECT_EQ(items, (QStringList{"모든파일 초기화", "지문파일 초기화", "문제파일 초기화", "보기파일 초기화",
                                  "정답파일 초기화", "해설파일 초기화"}));
    const QPoint button = dialog.Control(IDC_OPTION_MENU)->mapToGlobal(QPoint(0, 0));
    EXPECT_EQ(dialog.OptionMenuPoint(), QPoint(button.x() - 60, button.y() + 25));
    QApplication::processEvents();
    EXPECT_FALSE(PaneText(IDC_PANE_ANSWER).contains(QStringLiteral("③")));
    EXPECT_TRUE(PaneText(IDC_PANE_ANSWER).startsWith(QStringLiteral("정답 : ")));
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

} // namespace
