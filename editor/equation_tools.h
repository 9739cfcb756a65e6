// Equations in the pane: "수식 넣기" (the 입력 menu and the tool bar), a double-click on an
// equation and "수식 고치기" in its context menu open the equation dialog; 확인 puts a real
// equation control ('eqed') into the text at the size the typesetter measured, as one
// undoable edit.
#pragma once

#include "hwp/equation.h"
#include "math/layout.h"

#include <QDialog>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

class QPlainTextEdit;
class QTextCursor;

namespace editor {

class CHwpctrl;
class EquationPreview;

// "수식 편집": a script box, a preview typeset as the script changes, buttons that put the
// common templates at the script box's caret, 확인/취소.
class EquationDialog : public QDialog {
    Q_OBJECT

public:
    explicit EquationDialog(const QString& script, QWidget* parent = nullptr);

    QString Script() const;
    QPlainTextEdit* ScriptBox() const { return m_script; }
    // What the preview shows now.
    const math::EquationLayout& Preview() const;
    // Puts `text` at the script box's caret, in place of what is selected there, and
    // selects its first place to fill (the "a" of "{a} over {b}").
    void InsertTemplate(const QString& text);
    // The places to fill of a script: the words inside braces, as [start, end).
    static std::vector<std::pair<int, int>> Placeholders(const QString& script);

    struct Template {
        const char16_t* label;    // the button's text
        const char* name;         // the button's objectName
        const char16_t* script;
    };
    static const std::vector<Template>& Templates();

protected:
    // In the script box: Tab selects the next place to fill, Enter presses 확인,
    // Shift+Enter begins a new line.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* m_script = nullptr;
    EquationPreview* m_preview = nullptr;
};

// The equation with `script` typeset, its recorded size and baseline set from the layout:
// `base` gives the size of its letters, colour and what else a replaced one had.
hwp::Equation TypesetEquation(const std::u16string& script, hwp::Equation base = {});

// The position of the equation at or just before `at` (the character a click or the caret
// is next to), if there is one.
std::optional<int> EquationNextTo(const QTextCursor& at);

// Puts a new equation at the caret (an empty script puts nothing); false when nothing was
// put.
bool InsertEquation(CHwpctrl& pane, const QString& script);
// Gives the equation character at `position` a new script, as one undoable edit; false
// when there is no equation there or the script is empty.
bool ReplaceEquation(CHwpctrl& pane, int position, const QString& script);

// Opens the dialog for the equation at `position`, or for a new one at the caret when
// there is none; true when the text changed.
bool EditEquation(CHwpctrl& pane, std::optional<int> position);

// The action, the double-click and the context-menu entry, on this pane.
void InstallEquationTools(CHwpctrl& pane);

} // namespace editor
