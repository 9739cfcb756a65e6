// DialogView: the main dialog's controls as the question logic sees them.
//
// This folder, dialog/, is the main dialog without widgets: DialogCore (dialog_core.h)
// holds the question logic, and this header is how that logic, the preview assembly
// (render/) and the hand-off exchanges (handoff/) change check boxes, picture buttons,
// control positions and the window, so all of it runs headless in tests against a fake.
// CVarnelDlg (app/) is the one real implementation; controls are named by the dialog's
// control ids below.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dlg {

// Control ids of the main dialog.
enum ControlId : int {
    IDC_DIALOG = 0, // the dialog window itself, where an id is expected
    IDC_HAS_PASSAGE = 1005,
    IDC_LOAD_QUESTION = 1006,
    IDC_SAVE = 1007,
    IDC_SAVE_HIDDEN = 1008,
    IDC_LOAD_PASSAGE = 1009,
    IDC_APPLY_STYLE = 1011,
    IDC_OPTION_MENU = 1012,
    IDC_GROUP_OPTIONS = 1025,
    IDC_GROUP_ANSWER = 1023,
    IDC_GROUP_EXPLAIN = 1024,
    IDC_GROUP_PASSAGE = 1026,
    IDC_GROUP_QUESTION = 1027,
    IDC_PANE_PASSAGE = 1029,
    IDC_PANE_QUESTION = 1030,
    IDC_PANE_OPTIONS = 1031,
    IDC_PANE_EXPLAIN = 1032,
    IDC_PANE_ANSWER = 1033,
    IDC_PANE_WORK = 1034,
    IDC_DIFFICULTY = 1035,
    IDC_TYPE_OBJ = 1036,
    IDC_TYPE_SBJ = 1037,
    IDC_TYPE_DES = 1038,
    IDC_DEFAULT_OBJ = 1039,
    IDC_DEFAULT_SBJ = 1040,
    IDC_DEFAULT_DES = 1041,
    IDC_LEVEL_ELEM = 1042,
    IDC_LEVEL_MID = 1043,
    IDC_LEVEL_HIGH = 1044,
    IDC_SCORE = 1045,       // "배점": points of the question, empty for none
    IDC_SHOW_POINTS = 1046, // "배점 표시"
};

// Option menu commands; the pane code is the position in the menu, from 1.
enum MenuCommand : int {
    ID_RESET_ALL = 32783,
    ID_RESET_PASSAGE = 32784,
    ID_RESET_QUESTION = 32785,
    ID_RESET_OPTIONS = 32786,
    ID_RESET_ANSWER = 32787,
    ID_RESET_EXPLAIN = 32788,
};

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

class DialogView {
public:
    virtual ~DialogView() = default;

    virtual bool IsChecked(int id) const = 0;
    virtual void SetChecked(int id, bool checked) = 0;

    // The picture of a picture button from a PNG file; a missing or unreadable file
    // leaves the button without a picture.
    virtual void SetButtonPicture(int id, const std::string& path) = 0;
    // Repaints the control at once.
    virtual void RepaintNow(int id) = 0;

    virtual void ShowControl(int id, bool shown) = 0;
    virtual bool IsControlShown(int id) const = 0;
    virtual void EnableControl(int id, bool enabled) = 0;
    virtual bool IsControlEnabled(int id) const = 0;

    // Controls in the dialog's client coordinates; IDC_DIALOG is the window on the screen.
    virtual Rect ControlRect(int id) const = 0;
    virtual void MoveControl(int id, const Rect& rect) = 0;
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;

    // A view that lays its controls out itself (CVarnelDlg) answers true: the window is
    // then fitted to the screen's available area by FitWindow, with or without the
    // passage column, instead of moving the template's controls one by one.
    virtual bool FitsItself() const { return false; }
    // `scale` is the template scale chosen from the screen height (1.0 or 0.83).
    virtual void FitWindow(bool /*passageColumn*/, float /*scale*/) {}

    // A message box with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // The points of the question now being edited, in tenths; none leaves the box empty.
    virtual void ShowScore(std::optional<std::int32_t> /*tenths*/) {}
    // The name of the question now being edited, for the window title; empty for none.
    virtual void ShowQuestionName(const std::string& /*name*/) {}
    // A question with Yes and No, No the default; true for Yes. Views that cannot ask
    // (tests that do not care) say yes.
    virtual bool AskYesNo(const std::string& /*text*/) { return true; }
    // The open-file dialog for a question's .dat; empty when the user cancels.
    virtual std::string ChooseQuestionFile(const std::string& folder) = 0;
    // Asks the dialog to close once the current handler has returned.
    virtual void PostClose() = 0;

    // While a sibling program runs: a short status line and no input, the window still
    // painting. An empty text ends the busy state.
    virtual void SetBusy(const std::string& /*status*/) {}
    // Called every few milliseconds during such a wait, to paint what needs painting.
    virtual void WhileBusy() {}

    // How far a save has come: the step in words ("문서 저장 중 3/6") and the part done,
    // 0 to 1; a negative part ends the display. Shown at once, without taking input.
    virtual void ShowProgress(const std::string& /*step*/, double /*done*/) {}
    // A short word that needs no answer and goes by itself ("문제 12을 저장했습니다 …").
    virtual void ShowNotice(const std::string& /*text*/) {}
};

} // namespace dlg
