#include "editor/equation_tools.h"

#include "editor/hwpctrl.h"
#include "document/kept_objects.h"
#include "math/paint.h"
#include "math/qt_font.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QEvent>
#include <QKeyEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace editor {

namespace {

// Equations in a script box that grows without end would only slow the preview down;
// the record itself holds 65535 UTF-16 units.
constexpr int kMaxScriptLength = 65535;
constexpr double kPreviewPixels = 28;   // the preview's letter size

std::u16string ToU16(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

std::optional<hwp::Equation> EquationAt(const QTextDocument& document, int position, KeptObjectRef* kept = nullptr,
                                        QTextCharFormat* format = nullptr)
{
    if (position < 0 || position >= document.characterCount() - 1 ||
        document.characterAt(position) != QChar::ObjectReplacementCharacter)
        return std::nullopt;
    QTextCursor cursor(const_cast<QTextDocument*>(&document));
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    const QTextCharFormat charFormat = cursor.charFormat();
    const KeptObjectRef object = KeptObjectOf(charFormat);
    if (!object || !hwp::IsEquation(object->control))
        return std::nullopt;
    try {
        hwp::Equation equation = hwp::ReadEquation(object->control);
        if (kept != nullptr)
            *kept = object;
        if (format != nullptr)
            *format = charFormat;
        return equation;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

// The script typeset as it is typed, centred on white.
class EquationPreview : public QWidget {
public:
    explicit EquationPreview(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("equation_preview"));
        setMinimumSize(360, 120);
    }

    void SetScript(const QString& script)
    {
        m_layout = math::Typeset(ToU16(script), math::QtMathFont::Shared());
        update();
    }

    const math::EquationLayout& Layout() const { return m_layout; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setPen(QColor(0xC0, 0xC0, 0xC0));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
        const double height = m_layout.ascent + m_layout.descent;
        if (m_layout.width <= 0 || height <= 0)
            return;
        // Large letters, smaller when the equation would not fit.
        const double margin = 8;
        const double unit = std::min({kPreviewPixels, (width() - 2 * margin) / m_layout.width,
                                      (this->height() - 2 * margin) / height});
        const double left = (width() - m_layout.width * unit) / 2;
        const double top = (this->height() - height * unit) / 2;
        painter.setRenderHint(QPainter::Antialiasing);
        math::PaintEquation(painter, m_layout, math::QtMathFont::Shared(), QPointF(left, top + m_layout.ascent * unit),
                            unit, Qt::black);
    }

private:
    math::EquationLayout m_layout;
};

const std::vector<EquationDialog::Template>& EquationDialog::Templates()
{
    static const std::vector<Template> templates = {
        {u"분수", "template_fraction", u"{a} over {b}"},
        {u"근호", "template_root", u"sqrt {x}"},
        {u"거듭제곱", "template_power", u"x^{2}"},
        {u"아래 첨자", "template_subscript", u"x_{1}"},
        {u"합", "template_sum", u"sum from {k=1} to {n}"},
        {u"적분", "template_integral", u"int from {a} to {b}"},
        {u"행렬", "template_matrix", u"matrix{a & b # c & d}"},
        {u"괄호", "template_parentheses", u"LEFT ( RIGHT )"},
    };
    return templates;
}

EquationDialog::EquationDialog(const QString& script, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("수식 편집"));
    setObjectName(QStringLiteral("equation_dialog"));
    auto* layout = new QVBoxLayout(this);

    auto* buttons = new QGridLayout;
    buttons->setSpacing(4);
    int index = 0;
    for (const Template& item : Templates()) {
        auto* button = new QPushButton(QString::fromUtf16(item.label), this);
        button->setObjectName(QString::fromLatin1(item.name));
        button->setToolTip(QString::fromUtf16(item.script));
        button->setAutoDefault(false);
        const QString text = QString::fromUtf16(item.script);
        connect(button, &QPushButton::clicked, this, [this, text] { InsertTemplate(text); });
        buttons->addWidget(button, index / 4, index % 4);
        ++index;
    }
    layout->addLayout(buttons);

    m_script = new QPlainTextEdit(this);
    m_script->setObjectName(QStringLiteral("equation_script"));
    m_script->setTabChangesFocus(true);
    m_script->installEventFilter(this);
    m_script->setPlaceholderText(QStringLiteral("수식 스크립트 (예: {x+1} over 2)"));
    QFont mono(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_script->setFont(mono);
    m_script->setMinimumHeight(80);
    layout->addWidget(m_script);

    m_preview = new EquationPreview(this);
    layout->addWidget(m_preview, 1);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("확인"));
    box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("취소"));
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(box);

    connect(m_script, &QPlainTextEdit::textChanged, this, [this] {
        if (m_script->document()->characterCount() - 1 > kMaxScriptLength) {
            QTextCursor cursor(m_script->document());
            cursor.setPosition(kMaxScriptLength);
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
            return;   // textChanged comes again
        }
        m_preview->SetScript(Script());
    });
    m_script->setPlainText(script.left(kMaxScriptLength));
    m_script->moveCursor(QTextCursor::End);
    m_preview->SetScript(Script());
    m_script->setFocus();
    resize(480, 380);
}

QString EquationDialog::Script() const
{
    return m_script->toPlainText();
}

const math::EquationLayout& EquationDialog::Preview() const
{
    return m_preview->Layout();
}

void EquationDialog::InsertTemplate(const QString& text)
{
    QTextCursor cursor = m_script->textCursor();
    // A template typed after a word keeps a space from it, as the script language needs.
    QString inserted = text;
    if (!cursor.hasSelection() && cursor.position() > 0) {
        const QChar before = m_script->document()->characterAt(cursor.position() - 1);
        if (!before.isSpace() && before != u'{')
            inserted.prepend(u' ');
    }
    const int start = cursor.selectionStart() + static_cast<int>(inserted.size() - text.size());
    cursor.insertText(inserted);
    for (const auto& [from, to] : Placeholders(Script())) {
        if (from >= start && to <= cursor.position()) {
            cursor.setPosition(from);
            cursor.setPosition(to, QTextCursor::KeepAnchor);
            break;
        }
    }
    m_script->setTextCursor(cursor);
    m_script->setFocus();
}

std::vector<std::pair<int, int>> EquationDialog::Placeholders(const QString& script)
{
    // "{a} over {b}", "sum from {k=1} to {n}", "matrix{a & b # c & d}": the words inside
    // braces, split by the matrix's & and #.
    std::vector<std::pair<int, int>> places;
    int depth = 0;
    int start = -1;
    for (int i = 0; i <= script.size(); ++i) {
        const QChar c = i < script.size() ? script.at(i) : QChar(u'}');
        const bool separator = c == u'{' || c == u'}' || c == u'&' || c == u'#' || c.isSpace();
        if (start >= 0 && separator) {
            places.emplace_back(start, i);
            start = -1;
        }
        if (c == u'{')
            ++depth;
        else if (c == u'}')
            depth = std::max(0, depth - 1);
        else if (!separator && depth > 0 && start < 0)
            start = i;
    }
    return places;
}

bool EquationDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_script || event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        if (modifiers == Qt::ShiftModifier)
            m_script->textCursor().insertText(QStringLiteral("\n"));
        else if (modifiers == Qt::NoModifier)
            accept();
        else
            return false;
        return true;
    }
    if (key->key() == Qt::Key_Tab && modifiers == Qt::NoModifier) {
        // The next place to fill after the selection; past the last one Tab leaves the box.
        const QTextCursor caret = m_script->textCursor();
        for (const auto& [from, to] : Placeholders(Script())) {
            if (from >= caret.selectionEnd()) {
                QTextCursor next = caret;
                next.setPosition(from);
                next.setPosition(to, QTextCursor::KeepAnchor);
                m_script->setTextCursor(next);
                return true;
            }
        }
    }
    return false;
}

hwp::Equation TypesetEquation(const std::u16string& script, hwp::Equation base)
{
    base.script = script;
    const math::EquationLayout layout = math::Typeset(script, math::QtMathFont::Shared());
    // Layout lengths are in base sizes; the base size is in 1/100 pt, which is the HwpUnit.
    const double size = std::clamp(base.baseSize, 100, 100000);
    const auto units = [size](double length) {
        return static_cast<hwp::HwpUnit>(std::lround(std::clamp(length, 0.0, 1000.0) * size));
    };
    hwp::SetEquationBox(base, std::max<hwp::HwpUnit>(1, units(layout.width)), units(layout.ascent),
                        units(layout.descent));
    return base;
}

std::optional<int> EquationNextTo(const QTextCursor& at)
{
    const QTextDocument* document = at.document();
    if (document == nullptr)
        return std::nullopt;
    for (const int position : {at.position(), at.position() - 1}) {
        if (EquationAt(*document, position))
            return position;
    }
    return std::nullopt;
}

bool InsertEquation(CHwpctrl& pane, const QString& script)
{
    if (script.trimmed().isEmpty() || pane.TextView()->isReadOnly())
        return false;
    QTextCursor cursor = pane.TextView()->textCursor();
    // What is selected stays: the equation goes after it.
    cursor.setPosition(cursor.position());
    QTextCharFormat around = WithoutKeptObject(cursor.charFormat());
    hwp::Equation equation;
    if (around.fontPointSize() > 0)
        equation.baseSize = static_cast<std::int32_t>(std::lround(around.fontPointSize() * 100));
    equation = TypesetEquation(ToU16(script.left(kMaxScriptLength)), equation);
    auto kept = std::make_shared<const KeptObject>(KeptObject{hwp::NewEquationControl(equation),
                                                              pane.Document().OriginRef()});
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), KeptObjectFormat(around, std::move(kept)));
    pane.TextView()->setTextCursor(cursor);
    return true;
}

bool ReplaceEquation(CHwpctrl& pane, int position, const QString& script)
{
    QTextDocument& document = pane.Document().Text();
    KeptObjectRef old;
    QTextCharFormat format;
    const std::optional<hwp::Equation> equation = EquationAt(document, position, &old, &format);
    if (!equation || script.trimmed().isEmpty() || pane.TextView()->isReadOnly())
        return false;
    const std::u16string text = ToU16(script.left(kMaxScriptLength));
    if (text == equation->script)
        return false;
    hwp::Control control = old->control;
    try {
        hwp::WriteEquation(TypesetEquation(text, *equation), control);
    } catch (const std::exception&) {
        return false;
    }
    auto kept = std::make_shared<const KeptObject>(KeptObject{std::move(control), old->origin});
    QTextCursor cursor(&document);
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    cursor.beginEditBlock();
    cursor.insertText(QString(QChar::ObjectReplacementCharacter),
                      KeptObjectFormat(WithoutKeptObject(format), std::move(kept)));
    cursor.endEditBlock();
    return true;
}

bool EditEquation(CHwpctrl& pane, std::optional<int> position)
{
    if (pane.TextView()->isReadOnly())
        return false;
    std::optional<hwp::Equation> equation;
    if (position)
        equation = EquationAt(pane.Document().Text(), *position);
    // No equation there: a new one goes in at the caret.
    const int replaced = equation ? *position : -1;
    EquationDialog dialog(equation ? QString::fromStdU16String(equation->script) : QString(), &pane);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const bool changed = replaced >= 0 ? ReplaceEquation(pane, replaced, dialog.Script())
                                       : InsertEquation(pane, dialog.Script());
    pane.TextView()->setFocus();
    return changed;
}

namespace {

// A double-click on an equation edits it; anywhere else it selects a word as always.
class DoubleClickFilter : public QObject {
public:
    DoubleClickFilter(CHwpctrl& pane) : QObject(pane.TextView()->viewport()), m_pane(pane) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::MouseButtonDblClick)
            return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        QTextEdit* view = m_pane.TextView();
        const QPoint point = mouse->position().toPoint();
        const std::optional<int> position = EquationUnder(*view, point);
        if (!position)
            return false;
        EditEquation(m_pane, position);
        return true;
    }

private:
    // The equation whose box holds the point.
    static std::optional<int> EquationUnder(QTextEdit& view, QPoint point)
    {
        const std::optional<int> next = EquationNextTo(view.cursorForPosition(point));
        if (!next)
            return std::nullopt;
        QTextCursor cursor(view.document());
        cursor.setPosition(*next);
        const QRect before = view.cursorRect(cursor);
        cursor.setPosition(*next + 1);
        const QRect after = view.cursorRect(cursor);
        if (after.top() != before.top() && after.bottom() != before.bottom())
            return next;   // wrapped: trust the hit test
        const int left = std::min(before.left(), after.left()), right = std::max(before.left(), after.left());
        if (point.x() < left - 1 || point.x() > right + 1)
            return std::nullopt;
        return next;
    }

    CHwpctrl& m_pane;
};

} // namespace

void InstallEquationTools(CHwpctrl& pane)
{
    auto* insert = new QAction(QStringLiteral("수식 넣기"), &pane);
    insert->setObjectName(QStringLiteral("insert_equation"));
    insert->setToolTip(QStringLiteral("수식 넣기"));
    QObject::connect(insert, &QAction::triggered, &pane, [&pane] {
        // With one equation selected the command edits it.
        const QTextCursor cursor = pane.TextView()->textCursor();
        std::optional<int> position;
        if (cursor.selectionEnd() - cursor.selectionStart() == 1 &&
            EquationAt(pane.Document().Text(), cursor.selectionStart()))
            position = cursor.selectionStart();
        EditEquation(pane, position);
    });
    if (QMenu* menu = pane.InsertMenu()) {
        menu->addSeparator();
        menu->addAction(insert);
    }
    pane.AddToolBarAction(insert);

    pane.TextView()->viewport()->installEventFilter(new DoubleClickFilter(pane));

    pane.AddContextMenuFiller([&pane](QMenu& menu, const QTextCursor& at) {
        const std::optional<int> position = EquationNextTo(at);
        if (!position)
            return;
        menu.addSeparator();
        QAction* edit = menu.addAction(QStringLiteral("수식 고치기"));
        edit->setObjectName(QStringLiteral("edit_equation"));
        const int where = *position;
        QObject::connect(edit, &QAction::triggered, &pane, [&pane, where] { EditEquation(pane, where); });
    });
}

} // namespace editor
