// CVarnelDlg: the main dialog. It lays out the controls of the dialog template, wires
// every click to the question logic in DialogCore (dialog/dialog_core.h) and is that
// logic's DialogView; it holds no question logic of its own.
#pragma once

#include <QDialog>
#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <map>
#include <memory>

#include "dialog/dialog_view.h"
#include "dialog/dialog_core.h"

class QAbstractButton;
class QCheckBox;
class QGroupBox;
class QLabel;
class QToolButton;

namespace editor {
class CHwpctrl;
}

class CVarnelDlg : public QDialog, public dlg::DialogView {
    Q_OBJECT

public:
    // `screenSize` reports the screen the layout adapts to; by default the primary screen.
    explicit CVarnelDlg(std::function<QSize()> screenSize = {}, QWidget* parent = nullptr);
    ~CVarnelDlg() override;

    // The start-up steps that need the controls: icon, layout, panes, picture buttons,
    // launch record. Call once before showing the dialog.
    void OnInitDialog();

    DialogCore& Core() { return *m_core; }
    editor::CHwpctrl* Pane(int id) const;
    QWidget* Control(int id) const;

    // Handlers that other parts of the program fill: "저장" and "지문 불러오기".
    std::function<void()> m_onSave;
    std::function<void()> m_onLoadPassage;

    // Shows a short line while a sibling program runs and refuses input meanwhile; an
    // empty text ends the busy state.
    void SetBusy(const QString& text);
    bool IsBusy() const { return m_busy; }

    // DialogView
    bool IsChecked(int id) const override;
    void SetChecked(int id, bool checked) override;
    void SetButtonPicture(int id, const std::string& path) override;
    void RepaintNow(int id) override;
    void ShowControl(int id, bool shown) override;
    bool IsControlShown(int id) const override;
    void EnableControl(int id, bool enabled) override;
    bool IsControlEnabled(int id) const override;
    dlg::Rect ControlRect(int id) const override;
    void MoveControl(int id, const dlg::Rect& rect) override;
    int ScreenWidth() const override;
    int ScreenHeight() const override;
    bool FitsItself() const override { return true; }
    void FitWindow(bool passageColumn, float scale) override;
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    // "<question name> — Varnel", or "Varnel" for a question without a name.
    void ShowQuestionName(const std::string& name) override;
    void ShowScore(std::optional<std::int32_t> tenths) override;
    std::string ChooseQuestionFile(const std::string& folder) override;
    void PostClose() override;
    void SetBusy(const std::string& status) override;
    void WhileBusy() override;
    void ShowProgress(const std::string& step, double done) override;
    void ShowNotice(const std::string& text) override;
    // The save's step and the notice after it, for tests.
    class QProgressBar* Progress() const { return m_progress; }
    QLabel* Notice() const { return m_notice; }

    // The file chooser's own words in Korean.
    static void SayInKorean(class QFileDialog& dialog);
    // The controls in the order the Tab key visits them (hidden ones included).
    QList<QWidget*> TabChain() const;

    // The option menu as it pops up, for tests; null while none is shown.
    class QMenu* OptionMenu() const { return m_optionMenu; }
    // Where the option menu was asked to appear (the screen may move it to fit).
    QPoint OptionMenuPoint() const { return m_optionMenuPoint; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void CreateControls();
    QToolButton* AddPictureButton(int id, int x, int y, int w, int h, const QString& accessibleName);
    QCheckBox* AddCheckBox(int id, const QString& caption, int x, int y, int w, int h);
    void Place(QWidget* widget, int id, int x, int y, int w, int h);
    void BuildLayout();
    void NamePanes();
    void SetTabOrder();
    static int GroupOfPane(int pane);
    static QString PictureState(const QString& picture);
    void ScaleFixedControls(double scale);
    // The screen's area for windows (panels excluded), and the frame around the window.
    QRect AvailableGeometry() const;
    QMargins FrameMargins() const;
    static constexpr QMargins kFrameEstimate{6, 56, 6, 6};
    QMargins m_fittedFrame;
    void OnOptionMenu();
    // "내보내기…": the saved question to a QTI package or a Moodle file the user picks.
    void OnExportCommand();
    // "HWPX로 내보내기": one pane's document to an HWPX file the user picks.
    void OnExportPaneCommand(int pane, const QString& name);
    // The options pane's own menu: layout, shuffle, move, add, delete, <보기> combinations.
    void AddOptionsMenu();
    void FillOptionsMenu(class QMenu& menu);
    void AddScoreBox();
    // A visible pane changed since it was opened or saved, or DialogCore holds work no
    // save has packed.
    bool HasUnsavedChanges() const;

    std::function<QSize()> m_screenSize;
    std::map<int, QWidget*> m_controls;
    std::map<int, QSize> m_templateSizes;
    float m_templateScale = 1.0f;
    std::unique_ptr<DialogCore> m_core;
    QLabel* m_busyLabel = nullptr;
    class QMenu* m_optionMenu = nullptr;
    QPoint m_optionMenuPoint;
    bool m_closeAsked = false;
    bool m_closing = false;
    bool m_busy = false;
    bool m_showingScore = false;
    QLabel* m_scoreLabel = nullptr;
    // How "배점 표시" writes the points ("%1" the number), for this session.
    QString m_pointsFormat = QStringLiteral("[%1점]");
    class QTimer* m_relayoutTimer = nullptr;
    class QProgressBar* m_progress = nullptr;
    QLabel* m_notice = nullptr;
    class QTimer* m_noticeTimer = nullptr;
};
