// varnel-driver: the editor's own dialog, driven by a script as a teacher would drive it:
// it ticks "지문있음", types a passage, a question, five options, the answer ① and an
// explanation into the panes, chooses the elementary level, applies the styles and
// presses "저장". Started by varnel-launcher in place of `varnel`; the launch record
// and the save notification go over the real channel.
//
//   VARNEL_DRIVER_SHOTS=DIR   also saves pictures of the dialog at each stage into DIR
//   VARNEL_DRIVER_STEP_MS=N   pause between steps (default 150 ms)
#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QInputMethodEvent>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <cstdlib>
#include <deque>
#include <functional>

#include "app/varnel_app.h"
#include "app/varnel_dlg.h"
#include "editor/hwpctrl.h"

using namespace dlg;

namespace {

class Script {
public:
    Script(CVarnelDlg& dialog) : m_dialog(dialog)
    {
        const char* shots = std::getenv("VARNEL_DRIVER_SHOTS");
        m_shots = shots ? QString::fromLocal8Bit(shots) : QString();
        const char* step = std::getenv("VARNEL_DRIVER_STEP_MS");
        m_stepMs = step ? std::atoi(step) : 150;
    }

    void Add(std::function<void()> step) { m_steps.push_back(std::move(step)); }
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

private:
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

} // namespace

int main(int argc, char** argv)
{
    CVarnelApp app(argc, argv);
    CVarnelDlg dialog;
    dialog.OnInitDialog();

    Script script(dialog);
    script.Add([&] { script.Shot("1-opened"); });
    script.Add([&] { script.Click(IDC_LEVEL_ELEM); });
    script.Add([&] { script.Click(IDC_HAS_PASSAGE); });
    script.Add([&] {
        script.Type(IDC_PANE_PASSAGE, QStringLiteral("봄이 오면 들판에 노란 민들레가 핍니다.\n"
                                                     "민들레 씨앗은 바람을 타고 멀리 날아가 새 자리에 뿌리를 내립니다."));
    });
    script.Add([&] { script.Type(IDC_PANE_QUESTION, QStringLiteral("민들레 씨앗이 멀리 퍼지는 까닭은 무엇입니까?")); });
    script.Add([&] {
        script.Type(IDC_PANE_OPTIONS, QStringLiteral("① 바람을 타고 날아가서\n② 물에 떠내려가서\n③ 동물이 옮겨서\n"
                                                     "④ 사람이 심어서\n⑤ 땅속으로 뻗어서"));
    });
    script.Add([&] { script.Type(IDC_PANE_ANSWER, QStringLiteral("①")); });
    script.Add([&] {
        script.Type(IDC_PANE_EXPLAIN, QStringLiteral("지문 둘째 문장에서 씨앗이 바람을 타고 날아간다고 하였습니다."));
    });
    script.Add([&] { script.Click(IDC_APPLY_STYLE); });
    script.Add([&] { script.Shot("2-filled"); });
    script.Add([&] { script.Click(IDC_SAVE); });
    // A question of the Launcher's kind closes after the save; any other stays open,
    // so the run ends here either way.
    script.Add([&] {
        script.Shot("3-after-save");
        dialog.close();
    });
    script.Start();

    dialog.exec();
    return 0;
}
