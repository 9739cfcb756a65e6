// varnel-driver: the editor's own dialog, driven by a script as a teacher would drive it.
// Started by varnel-launcher in place of `varnel` (or on its own, then the launch record
// comes from "<data>/exam.dat" or a new local question starts); the launch record and
// the save notification go over the real channel.
//
//   VARNEL_DRIVER_SCRIPT=NAME  the script to run (default "demo"; `--list` names them all)
//   VARNEL_DRIVER_LOG=FILE     appends what the dialog showed: its messages, the question
//                              and the panes' texts at the script's checkpoints
//   VARNEL_DRIVER_OPEN=FILE    the .dat that "문제 불러오기" chooses (none: the choice is cancelled)
//   VARNEL_DRIVER_GO=FILE      scripts that wait for a go-ahead wait until this file exists
//   VARNEL_DRIVER_SHOTS=DIR    also saves pictures of the dialog at each stage into DIR
//   VARNEL_DRIVER_STEP_MS=N    pause between steps (default 150 ms)
//   VARNEL_DRIVER_OPTIONS=TEXT the options the "layouts" script types ("\n" ends a line)
//   VARNEL_DRIVER_HOLD_MS=N    message boxes stay open this long before they are answered
//                              (default 0), so pictures of the screen can show them
//
// Message boxes and the file chooser are answered by the driver as they come up, so a
// script never stalls on a modal window.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QMenu>
#include <QFile>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <string>

#include "app/varnel_app.h"
#include "app/varnel_dlg.h"
#include "dialog/option_commands.h"
#include "editor/equation_tools.h"
#include "editor/hwpctrl.h"
#include "editor/table_tools.h"
#include "document/hwp_mapping.h"
#include "editor/hwpctrl.h"
#include "hwp/equation.h"
#include "support/launch_values.h"

using namespace dlg;

namespace {

QString Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? QString::fromLocal8Bit(value) : QString();
}

// One line per event, flushed at once: a test may kill the driver at any moment.
void Log(const QString& line)
{
    static const QString path = Env("VARNEL_DRIVER_LOG");
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::Append))
        return;
    QString flat = line;
    flat.replace('\n', QStringLiteral("\\n"));
    file.write(flat.toUtf8() + '\n');
}

struct PaneName {
    int id;
    const char* name;
};
constexpr PaneName kPaneNames[] = {{IDC_PANE_PASSAGE, "passage"}, {IDC_PANE_QUESTION, "question"},
                                   {IDC_PANE_OPTIONS, "options"}, {IDC_PANE_ANSWER, "answer"},
                                   {IDC_PANE_EXPLAIN, "explain"}};

class Script {
public:
    explicit Script(CVarnelDlg& dialog) : m_dialog(dialog)
    {
        m_shots = Env("VARNEL_DRIVER_SHOTS");
        const QString step = Env("VARNEL_DRIVER_STEP_MS");
        m_stepMs = step.isEmpty() ? 150 : step.toInt();
    }

    CVarnelDlg& Dialog() { return m_dialog; }
    void Add(std::function<void()> step) { m_steps.push_back(std::move(step)); }
    // Before the dialog reads its launch record: that may already show a message.
    void AnswerModalWindows()
    {
        // Modal windows run their own loop; this timer keeps firing inside it.
        auto* modal = new QTimer(&m_dialog);
        const int hold = Env("VARNEL_DRIVER_HOLD_MS").toInt();
        QObject::connect(modal, &QTimer::timeout, [hold] {
            static QElapsedTimer shown;
            static QWidget* seen = nullptr;
            // A message box is answered once while it stays up: closed by the answer, it may
            // still be the active modal window when the timer fires again on a loaded machine.
            static QPointer<QWidget> answered;
            QWidget* now = QApplication::activeModalWidget();
            if (now != seen) {
                seen = now;
                answered = nullptr;
                shown.start();
            }
            if (now && now != answered && shown.elapsed() >= hold) {
                // A file chooser may take several turns to name its file.
                if (qobject_cast<QMessageBox*>(now))
                    answered = now;
                AnswerModalWindow();
            }
        });
        modal->start(50);
    }
    void Start() { QTimer::singleShot(m_stepMs, [this] { Next(); }); }

    void Type(int paneId, const QString& text)
    {
        QTextEdit* view = m_dialog.Pane(paneId)->TextView();
        view->setFocus();
        view->moveCursor(QTextCursor::End);
        const QStringList lines = text.split('\n');
        for (int i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(view, Qt::Key_Return);
            for (const QChar c : lines[i]) {
                if (c.unicode() < 0x80) {
                    QTest::keyClick(view, c.toLatin1());
                } else {
                    // Hangul and marks arrive from the input method as committed text.
                    QInputMethodEvent event;
                    event.setCommitString(QString(c));
                    QCoreApplication::sendEvent(view->viewport()->focusProxy() ? view->viewport()->focusProxy() : view,
                                                &event);
                }
            }
        }
    }
    void Click(int id) { static_cast<QAbstractButton*>(m_dialog.Control(id))->click(); }
    void Shot(const QString& name)
    {
        if (m_shots.isEmpty())
            return;
        QDir().mkpath(m_shots);
        m_dialog.grab().save(m_shots + "/" + name + ".png");
    }
    QString PaneText(int id) const { return m_dialog.Pane(id)->TextView()->toPlainText(); }

    // The question as the dialog holds it, then the text of every pane.
    void LogState(const QString& checkpoint)
    {
        DialogCore& core = m_dialog.Core();
        QString line = "state " + checkpoint;
        if (core.m_pExamRecord) {
            const ExamRecord& r = *core.m_pExamRecord;
            line += QString(" key=%1 local=%2 passage=%3 passage_local=%4 folder=%5")
                        .arg(r.m_nExamKey)
                        .arg(QString::fromStdString(r.m_strExamLocal))
                        .arg(r.m_nExamtextKey)
                        .arg(QString::fromStdString(r.m_strExamtextLocal))
                        .arg(QString::fromStdString(r.m_strExamFolder));
        } else {
            line += " no-record";
        }
        line += QString(" type=%1 has_passage=%2 level=%3")
                    .arg(core.m_nQuestionType)
                    .arg(m_dialog.IsChecked(IDC_HAS_PASSAGE))
                    .arg(QString::fromStdString(core.m_strLevel));
        if (core.m_pExamRecord)
            line += " score=" + (core.m_pExamRecord->m_nScoreTenths
                                     ? QString::fromStdString(ScoreText(*core.m_pExamRecord->m_nScoreTenths))
                                     : QStringLiteral("none"));
        Log(line);
        Log(QString("launch school=%1 user=%2 server=%3")
                .arg(g_schoolKey)
                .arg(g_userKey)
                .arg(QString::fromStdString(g_webServer)));
        for (const auto& p : kPaneNames)
            Log(QString("pane %1 %2").arg(QLatin1String(p.name), PaneText(p.id)));
        // The panes' texts show an equation as one object character; its script apart.
        for (const auto& p : kPaneNames) {
            const hwp::Document document = editor::ToHwpDocument(m_dialog.Pane(p.id)->Document());
            for (const hwp::Section& section : document.sections)
                for (const hwp::Paragraph& paragraph : section.paragraphs)
                    for (const hwp::Control& control : paragraph.controls)
                        if (hwp::IsEquation(control))
                            Log(QString("equation %1 %2").arg(QLatin1String(p.name),
                                                              QString::fromStdU16String(hwp::ReadEquation(control).script)));
        }
    }

    // "수식 넣기" at the end of the pane; the equation dialog gets `script` and 확인.
    void InsertEquation(int paneId, const QString& script)
    {
        editor::CHwpctrl* pane = m_dialog.Pane(paneId);
        pane->TextView()->setFocus();
        pane->TextView()->moveCursor(QTextCursor::End);
        QAction* insert = pane->findChild<QAction*>(QStringLiteral("insert_equation"));
        if (insert == nullptr) {
            Log("no insert_equation");
            return;
        }
        QTimer::singleShot(m_stepMs, [this, script] {
            auto* dialog = qobject_cast<editor::EquationDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                Log("no equation dialog");
                return;
            }
            QTest::keyClicks(dialog->ScriptBox(), script);
            Shot("2-equation-dialog");
            dialog->accept();
        });
        insert->trigger();
    }

    // Runs the remaining steps once `path` exists.
    void WaitForFile(const QString& path)
    {
        if (path.isEmpty() || QFile::exists(path))
            return;
        m_steps.push_front([this, path] { WaitForFile(path); });
    }

private:
    static void AnswerModalWindow()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            // A question (closing with unsaved text) is answered yes: the script means to
            // close. It is logged apart from the messages that report something.
            if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
                Log("asked " + box->text());
                yes->click();
            } else {
                Log("message " + box->text());
                box->accept();
            }
        } else if (auto* chooser = qobject_cast<QFileDialog*>(modal)) {
            const QString path = Env("VARNEL_DRIVER_OPEN");
            if (path.isEmpty()) {
                Log("choose nothing");
                chooser->reject();
            } else {
                // The chooser's folder listing loads in the background and may change the
                // selection meanwhile: answer only once it names exactly this file, and
                // through done(), as accept() checks against that listing too.
                chooser->selectFile(path);
                if (chooser->selectedFiles() != QStringList{path}) {
                    // Not listed yet: the name typed in full does as well.
                    if (auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                        name->setText(path);
                }
                if (chooser->selectedFiles() == QStringList{path}) {
                    Log("choose " + path);
                    static_cast<QDialog*>(chooser)->done(QDialog::Accepted);
                }
            }
        }
    }

    void Next()
    {
        if (m_steps.empty())
            return;
        auto step = std::move(m_steps.front());
        m_steps.pop_front();
        step();
        QTimer::singleShot(m_stepMs, [this] { Next(); });
    }

    CVarnelDlg& m_dialog;
    std::deque<std::function<void()>> m_steps;
    QString m_shots;
    int m_stepMs = 150;
};

// --- pieces the scripts share ----------------------------------------------------------

const QString kPassage = QStringLiteral("봄이 오면 들판에 노란 민들레가 핍니다.\n"
                                        "민들레 씨앗은 바람을 타고 멀리 날아가 새 자리에 뿌리를 내립니다.");
const QString kQuestion = QStringLiteral("민들레 씨앗이 멀리 퍼지는 까닭은 무엇입니까?");
const QString kOptions = QStringLiteral("① 바람을 타고 날아가서\n② 물에 떠내려가서\n③ 동물이 옮겨서\n"
                                        "④ 사람이 심어서\n⑤ 땅속으로 뻗어서");
const QString kAnswer = QStringLiteral("①");
const QString kExplain = QStringLiteral("지문 둘째 문장에서 씨앗이 바람을 타고 날아간다고 하였습니다.");

void FillObjective(Script& s)
{
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, kQuestion); });
    s.Add([&s] { s.Type(IDC_PANE_OPTIONS, kOptions); });
    s.Add([&s] { s.Type(IDC_PANE_ANSWER, kAnswer); });
    s.Add([&s] { s.Type(IDC_PANE_EXPLAIN, kExplain); });
}

void SaveAndClose(Script& s)
{
    s.Add([&s] { s.LogState("before-save"); });
    s.Add([&s] { s.Click(IDC_SAVE); });
    // A question of the Launcher's kind closes after the save; any other stays open,
    // so the run ends here either way.
    s.Add([&s] {
        s.Shot("3-after-save");
        s.LogState("after-save");
        s.Dialog().close();
    });
}

void CloseAfterState(Script& s, const QString& checkpoint)
{
    s.Add([&s, checkpoint] {
        s.LogState(checkpoint);
        s.Dialog().close();
    });
}

// --- the scripts -----------------------------------------------------------------------

// One objective question with a passage, the answer ① and the elementary level, saved.
void DemoScript(Script& s)
{
    s.Add([&s] { s.Shot("1-opened"); });
    s.Add([&s] { s.Click(IDC_LEVEL_ELEM); });
    s.Add([&s] { s.Click(IDC_HAS_PASSAGE); });
    s.Add([&s] { s.Type(IDC_PANE_PASSAGE, kPassage); });
    FillObjective(s);
    s.Add([&s] { s.Click(IDC_APPLY_STYLE); });
    s.Add([&s] { s.Shot("2-filled"); });
    SaveAndClose(s);
}

// The objective set filled, then the subjective one; back and forth once, then saved.
void SwitchTypesScript(Script& s)
{
    FillObjective(s);
    s.Add([&s] { s.LogState("obj-filled"); });
    s.Add([&s] { s.Click(IDC_TYPE_SBJ); });
    s.Add([&s] { s.LogState("sbj-shown"); });
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, QStringLiteral("민들레 꽃의 색깔을 쓰시오.")); });
    s.Add([&s] { s.Type(IDC_PANE_ANSWER, QStringLiteral("노란색")); });
    s.Add([&s] { s.Type(IDC_PANE_EXPLAIN, QStringLiteral("지문 첫 문장에 노란 민들레라고 하였습니다.")); });
    s.Add([&s] { s.LogState("sbj-filled"); });
    s.Add([&s] { s.Click(IDC_TYPE_OBJ); });
    s.Add([&s] { s.LogState("obj-again"); });
    s.Add([&s] { s.Click(IDC_TYPE_SBJ); });
    s.Add([&s] { s.LogState("sbj-again"); });
    SaveAndClose(s);
}

// "문제 불러오기" on VARNEL_DRIVER_OPEN; the panes show what it restored.
void ReopenScript(Script& s)
{
    s.Add([&s] { s.Click(IDC_LOAD_QUESTION); });
    s.Add([&s] { s.LogState("reopened"); });
    // Still usable: typing reaches the question pane.
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, QStringLiteral("usable")); });
    CloseAfterState(s, "typed");
}

// Reopens VARNEL_DRIVER_OPEN, adds a line to the question and saves it again once
// VARNEL_DRIVER_GO exists (at once when it is unset).
void ResaveScript(Script& s)
{
    s.Add([&s] { s.Click(IDC_LOAD_QUESTION); });
    s.Add([&s] { s.LogState("reopened"); });
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, QStringLiteral("\n두 번째 저장")); });
    s.Add([&s] { s.LogState("edited"); });
    s.Add([&s] { s.WaitForFile(Env("VARNEL_DRIVER_GO")); });
    SaveAndClose(s);
}

// The question as it opened (from the launch record) gets a line added to its question
// and, when it has one, to its passage; then it is saved.
void AppendScript(Script& s)
{
    s.Add([&s] { s.LogState("opened"); });
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, QStringLiteral("\n두 번째 저장")); });
    s.Add([&s] {
        if (s.Dialog().IsChecked(IDC_HAS_PASSAGE))
            s.Type(IDC_PANE_PASSAGE, QStringLiteral("\n지문도 고쳤습니다."));
    });
    SaveAndClose(s);
}

// One objective question without a passage, saved.
void ObjectiveScript(Script& s)
{
    FillObjective(s);
    SaveAndClose(s);
}

// The question filled, then "지문 불러오기": what the pick changed, and nothing saved.
void PickOnlyScript(Script& s)
{
    FillObjective(s);
    s.Add([&s] { s.Click(IDC_LOAD_PASSAGE); });
    CloseAfterState(s, "picked");
}

// "지문 불러오기", then the question filled and saved with the passage it attached.
void PickPassageScript(Script& s)
{
    s.Add([&s] { s.Click(IDC_LOAD_PASSAGE); });
    s.Add([&s] { s.LogState("picked"); });
    FillObjective(s);
    SaveAndClose(s);
}

// The question filled; the save waits for VARNEL_DRIVER_GO. The dialog stays open only
// when nothing closed it after the save.
void WaitThenSaveScript(Script& s)
{
    FillObjective(s);
    s.Add([&s] { s.LogState("filled"); });
    s.Add([&s] { s.WaitForFile(Env("VARNEL_DRIVER_GO")); });
    s.Add([&s] { s.Click(IDC_SAVE); });
    s.Add([&s] { s.LogState("still-open"); });
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, QStringLiteral("usable")); });
    CloseAfterState(s, "typed");
}

// A save whose sibling program may take long: while the dialog waits, a probe keeps
// asking it to paint and tries to type, and logs what happened.
void BusyProbeScript(Script& s)
{
    FillObjective(s);
    s.Add([&s] {
        CVarnelDlg& dialog = s.Dialog();
        struct Probe : QObject {
            int paints = 0;
            bool eventFilter(QObject*, QEvent* event) override
            {
                if (event->type() == QEvent::Paint)
                    ++paints;
                return false;
            }
        };
        auto* probe = new Probe;
        probe->setParent(&dialog);
        dialog.installEventFilter(probe);
        auto* timer = new QTimer(&dialog);
        QObject::connect(timer, &QTimer::timeout, [&dialog, probe] {
            if (!dialog.IsBusy())
                return;
            QTextEdit* view = dialog.Pane(IDC_PANE_EXPLAIN)->TextView();
            const QString before = view->toPlainText();
            QTest::keyClick(view, 'z');
            const bool refused = view->toPlainText() == before;
            dialog.update();
            Log(QString("busy paints=%1 input=%2").arg(probe->paints).arg(refused ? "refused" : "taken"));
        });
        timer->start(200);
    });
    SaveAndClose(s);
}

// The dialog's states one after the other, each held for a while, for pictures of the
// screen: the start, each confirmation, a save in progress and its notice.
void TourScript(Script& s)
{
    s.Add([] {});
    s.Add([&s] { s.Click(IDC_LEVEL_ELEM); });
    s.Add([&s] { s.Click(IDC_HAS_PASSAGE); });
    s.Add([&s] { s.Type(IDC_PANE_PASSAGE, kPassage); });
    FillObjective(s);
    s.Add([&s] { s.Dialog().Core().OnResetCommand(ID_RESET_QUESTION); });
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, kQuestion); });
    s.Add([&s] { s.Click(IDC_HAS_PASSAGE); });
    s.Add([&s] { s.Dialog().Core().OnResetCommand(ID_RESET_ALL); });
    FillObjective(s);
    s.Add([&s] { s.Click(IDC_SAVE); });
    s.Add([] {});
    s.Add([] {});
    CloseAfterState(s, "toured");
}

// An objective question whose question holds the quadratic formula, typed in the
// equation dialog, saved.
void EquationScript(Script& s)
{
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, QStringLiteral("방정식 ax^2 + bx + c = 0 의 근은 ")); });
    s.Add([&s] { s.InsertEquation(IDC_PANE_QUESTION, QStringLiteral("x = {-b +- sqrt {b^2 - 4ac}} over {2a}")); });
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, QStringLiteral(" 이다. 옳은 것은?")); });
    s.Add([&s] { s.Type(IDC_PANE_OPTIONS, kOptions); });
    s.Add([&s] { s.Type(IDC_PANE_ANSWER, kAnswer); });
    s.Add([&s] { s.Type(IDC_PANE_EXPLAIN, kExplain); });
    SaveAndClose(s);
}

// A data table in the question and a <보기> box in the options, typed cell by cell with Tab.
void TableScript(Script& s)
{
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, QStringLiteral("다음 표를 보고 물음에 답하시오.\n")); });
    s.Add([&s] {
        editor::CHwpctrl& pane = *s.Dialog().Pane(IDC_PANE_QUESTION);
        pane.TextView()->setFocus();
        pane.TextView()->moveCursor(QTextCursor::End);
        if (editor::InsertNewTable(pane, 3, 3) == nullptr)
            Log("no table");
    });
    s.Add([&s] {
        QTextEdit* view = s.Dialog().Pane(IDC_PANE_QUESTION)->TextView();
        const QStringList cells{QStringLiteral("구분"), QStringLiteral("A"),    QStringLiteral("B"),
                                QStringLiteral("질량"), QStringLiteral("2 kg"), QStringLiteral("3 kg"),
                                QStringLiteral("부피"), QStringLiteral("1 L"),  QStringLiteral("4 L")};
        for (int i = 0; i < cells.size(); ++i) {
            if (i > 0)
                QTest::keyClick(view, Qt::Key_Tab);
            view->textCursor().insertText(cells[i]);
        }
    });
    s.Add([&s] {
        editor::CHwpctrl& pane = *s.Dialog().Pane(IDC_PANE_OPTIONS);
        pane.TextView()->setFocus();
        pane.TextView()->moveCursor(QTextCursor::End);
        if (editor::InsertBoxTable(pane) == nullptr)
            Log("no box");
        pane.TextView()->textCursor().insertText(QStringLiteral("ㄱ. A의 밀도가 더 크다.\nㄴ. B의 부피가 더 크다."));
    });
    s.Add([&s] { s.Type(IDC_PANE_OPTIONS, QStringLiteral("① ㄱ\n② ㄴ\n③ ㄱ, ㄴ")); });
    s.Add([&s] { s.Type(IDC_PANE_ANSWER, QStringLiteral("③")); });
    s.Add([&s] { s.Type(IDC_PANE_EXPLAIN, QStringLiteral("둘 다 옳다.")); });
    s.Add([&s] { s.Shot("2-filled"); });
    SaveAndClose(s);
}

// A question whose <보기> box in the question pane gets the first standard set of
// combinations in the options pane, 3.5 points and their mark after the stem, saved.
void BoxCombinationScript(Script& s)
{
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, QStringLiteral("옳은 것만을 <보기>에서 있는 대로 고른 것은?\n")); });
    s.Add([&s] {
        editor::CHwpctrl& pane = *s.Dialog().Pane(IDC_PANE_QUESTION);
        pane.TextView()->setFocus();
        pane.TextView()->moveCursor(QTextCursor::End);
        if (editor::InsertBoxTable(pane) == nullptr)
            Log("no box");
        pane.TextView()->textCursor().insertText(
            QStringLiteral("ㄱ. 민들레는 씨앗으로 퍼진다.\nㄴ. 민들레 씨앗은 물에 뜬다.\nㄷ. 민들레는 봄에 핀다."));
    });
    s.Add([&s] { s.Shot("1-box"); });
    s.Add([&s] {
        // "보기 조합" and its first set, from the options pane's menu.
        QMenu* menu = s.Dialog().Pane(IDC_PANE_OPTIONS)->MainMenu();
        QAction* item = nullptr;
        for (QAction* action : menu->actions())
            if (action->menu() && action->text() == QStringLiteral("선택지"))
                item = action;
        if (!item) {
            Log("no options menu");
            return;
        }
        emit item->menu()->aboutToShow();
        for (QAction* action : item->menu()->actions())
            if (action->menu() && action->text() == QStringLiteral("보기 조합") && !action->menu()->actions().isEmpty())
                action->menu()->actions().front()->trigger();
    });
    s.Add([&s] { static_cast<QDoubleSpinBox*>(s.Dialog().Control(IDC_SCORE))->setValue(3.5); });
    s.Add([&s] { s.Click(IDC_SHOW_POINTS); });
    s.Add([&s] { s.Type(IDC_PANE_ANSWER, QStringLiteral("③")); });
    s.Add([&s] { s.Type(IDC_PANE_EXPLAIN, QStringLiteral("ㄱ과 ㄴ이 옳다.")); });
    s.Add([&s] { s.Shot("2-filled"); });
    SaveAndClose(s);
}

// The options laid out one per line, in two columns and in one row, a pause after each
// for a picture of the screen; nothing saved.
void LayoutsScript(Script& s)
{
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, QStringLiteral("민들레 씨앗이 멀리 퍼지는 까닭은?")); });
    s.Add([&s] {
        const QString options = Env("VARNEL_DRIVER_OPTIONS");
        s.Type(IDC_PANE_OPTIONS, options.isEmpty() ? QStringLiteral("① 바람\n② 물\n③ 동물이 옮겨서\n④ 사람\n⑤ 땅속으로 뻗어서")
                                                   : QString(options).replace(QStringLiteral("\\n"), QStringLiteral("\n")));
    });
    s.Add([&s] { s.Type(IDC_PANE_ANSWER, QStringLiteral("①")); });
    for (const auto& [name, arrangement] : {std::pair{"one-per-line", editor::OptionArrangement::OnePerLine},
                                            std::pair{"two-columns", editor::OptionArrangement::TwoColumns},
                                            std::pair{"one-row", editor::OptionArrangement::OneRow}}) {
        s.Add([&s, name = name, arrangement = arrangement] {
            structure::LayOutOptions(s.Dialog().Core(), arrangement);
            Log(QStringLiteral("layout %1").arg(QLatin1String(name)));
            s.Shot(QStringLiteral("layout-%1").arg(QLatin1String(name)));
            // The options as a document of their own, to print its page apart.
            if (const QString shots = Env("VARNEL_DRIVER_SHOTS"); !shots.isEmpty())
                s.Dialog().Pane(IDC_PANE_OPTIONS)->SaveDocumentAs(
                    QStringLiteral("%1/layout-%2.hwp").arg(shots, QLatin1String(name)).toStdU16String(), u"HWP");
        });
        s.Add([&s] { s.WaitForFile(Env("VARNEL_DRIVER_GO")); });
        s.Add([] {
            if (!Env("VARNEL_DRIVER_GO").isEmpty())
                QFile::remove(Env("VARNEL_DRIVER_GO"));
        });
    }
    s.Add([&s] { structure::ShuffleOptions(s.Dialog().Core(), 5); });
    s.Add([&s] { s.LogState("shuffled"); });
    s.Add([&s] { s.Shot("layout-shuffled"); });
    s.Add([&s] { s.WaitForFile(Env("VARNEL_DRIVER_GO")); });
    CloseAfterState(s, "laid-out");
}

// Opens, shows what the launch record gave, types, closes: start-up with odd records.
void ProbeScript(Script& s)
{
    s.Add([&s] { s.LogState("opened"); });
    s.Add([&s] { s.Type(IDC_PANE_QUESTION, QStringLiteral("usable")); });
    CloseAfterState(s, "typed");
}

struct NamedScript {
    const char* name;
    void (*build)(Script&);
};
constexpr NamedScript kScripts[] = {
    {"demo", DemoScript},           {"switch-types", SwitchTypesScript}, {"reopen", ReopenScript},
    {"resave", ResaveScript},       {"pick-passage", PickPassageScript}, {"wait-then-save", WaitThenSaveScript},
    {"busy-probe", BusyProbeScript}, {"probe", ProbeScript},         {"objective", ObjectiveScript},
    {"pick-only", PickOnlyScript},   {"equation", EquationScript},       {"table", TableScript},
    {"append", AppendScript},        {"box-combination", BoxCombinationScript}, {"layouts", LayoutsScript},
    {"tour", TourScript},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--list") == 0) {
        for (const auto& script : kScripts)
            std::puts(script.name);
        return 0;
    }
    const QByteArray wanted = Env("VARNEL_DRIVER_SCRIPT").toUtf8();
    const NamedScript* chosen = nullptr;
    for (const auto& script : kScripts) {
        if (wanted.isEmpty() ? std::strcmp(script.name, "demo") == 0 : wanted == script.name)
            chosen = &script;
    }
    if (!chosen) {
        std::fprintf(stderr, "varnel-driver: no script \"%s\" (see --list)\n", wanted.constData());
        return 2;
    }

    CVarnelApp app(argc, argv);
    // The driver answers the file chooser itself; a platform dialog would be out of reach.
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    CVarnelDlg dialog;
    Script script(dialog);
    script.AnswerModalWindows();
    dialog.OnInitDialog();
    chosen->build(script);
    script.Start();

    dialog.exec();
    Log("ended");
    return 0;
}
