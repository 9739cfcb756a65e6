#include "editor/hwpctrl.h"

#include "editor/hwp_mapping.h"
#include "editor/kept_objects.h"
#include "editor/page_render.h"
#include "editor/picture_tools.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QActionGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace editor {

namespace {

// The plain text of [from, to) of `text`, each kept object's inner text in its place and
// paragraphs ended by `paragraphEnd`: what a text scan and other programs see.
std::u16string PlainText(const QTextDocument& text, int from, int to, std::u16string_view paragraphEnd)
{
    std::u16string out;
    for (QTextBlock block = text.findBlock(from); block.isValid() && block.position() <= to; block = block.next()) {
        if (block.position() > from)
            out += paragraphEnd;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int start = std::max(from, fragment.position());
            const int end = std::min(to, fragment.position() + fragment.length());
            if (!fragment.isValid() || start >= end)
                continue;
            const QString piece = fragment.text().mid(start - fragment.position(), end - start);
            const QTextCharFormat format = fragment.charFormat();
            for (const QChar c : piece) {
                if (c == QChar::ObjectReplacementCharacter && format.objectType() == kKeptObjectType) {
                    for (const char16_t unit : KeptObjectText(format)) {
                        if (unit == u'\n')
                            out += paragraphEnd;
                        else
                            out.push_back(unit);
                    }
                } else {
                    out.push_back(c == QChar::LineSeparator ? u'\n' : c.unicode());
                }
            }
        }
    }
    return out;
}

// What a pane copies: the selection as a fragment of the text engine, whose formats
// carry the kept objects whole. Only panes of this program read it; other programs get
// HTML and plain text.
class PaneMimeData : public QMimeData {
public:
    static constexpr const char* kFormat = "application/x-varnel-pane-fragment";

    explicit PaneMimeData(const QTextCursor& selection)
        : m_fragment(selection),
          m_plainText(QString::fromStdU16String(PlainText(*selection.document(), selection.selectionStart(),
                                                          selection.selectionEnd(), u"\n")))
    {
    }
    const QTextDocumentFragment& Fragment() const { return m_fragment; }

    QStringList formats() const override
    {
        return {QString::fromLatin1(kFormat), QStringLiteral("text/html"), QStringLiteral("text/plain")};
    }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override
    {
        if (mimeType == QLatin1String("text/plain"))
            return m_plainText;
        if (mimeType == QLatin1String("text/html"))
            return m_fragment.toHtml();
        if (mimeType == QLatin1String(kFormat))
            return QByteArray();
        return QMimeData::retrieveData(mimeType, type);
    }

private:
    QTextDocumentFragment m_fragment;
    QString m_plainText;
};

// A little room between the pane's frame and the text; copies and pastes keep objects.
class PaneTextEdit : public QTextEdit {
public:
    explicit PaneTextEdit(QWidget* parent) : QTextEdit(parent) { setViewportMargins(14, 10, 14, 10); }

    std::function<void(QMenu&, const QTextCursor&)> fillContextMenu;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override
    {
        std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
        if (fillContextMenu)
            fillContextMenu(*menu, cursorForPosition(viewport()->mapFrom(this, event->pos())));
        menu->exec(event->globalPos());
    }

    QMimeData* createMimeDataFromSelection() const override
    {
        const QTextCursor selection = textCursor();
        if (!selection.hasSelection())
            return QTextEdit::createMimeDataFromSelection();
        return new PaneMimeData(selection);
    }

    bool canInsertFromMimeData(const QMimeData* source) const override
    {
        return dynamic_cast<const PaneMimeData*>(source) != nullptr || HasPastablePicture(*source) ||
               QTextEdit::canInsertFromMimeData(source);
    }

    void insertFromMimeData(const QMimeData* source) override
    {
        const auto* pane = dynamic_cast<const PaneMimeData*>(source);
        auto* control = qobject_cast<CHwpctrl*>(parentWidget());
        if (pane == nullptr && control != nullptr && !isReadOnly() && HasPastablePicture(*source)) {
            QString error;
            if (!InsertPictureFromMimeData(*control, *source, error))
                PicturePrompts().showMessage(*control, error);
            return;
        }
        if (pane == nullptr || isReadOnly()) {
            QTextEdit::insertFromMimeData(source);
            return;
        }
        QTextCursor cursor = textCursor();
        cursor.insertFragment(pane->Fragment());
        setTextCursor(cursor);
        ensureCursorVisible();
    }
};

QString ToQString(std::u16string_view text)
{
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

std::u16string ToU16(const QString& text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size()));
}

// "StyleShortcut12" gives 12; anything else 0.
int StyleShortcutNumber(const QString& name)
{
    static const QString prefix = QStringLiteral("StyleShortcut");
    if (!name.startsWith(prefix) || name.size() == prefix.size() || name.size() > prefix.size() + 3)
        return 0;
    bool ok = false;
    const int number = name.mid(prefix.size()).toInt(&ok);
    return ok ? number : 0;
}

const char16_t* const kCircledDigits[] = {u"①", u"②", u"③", u"④", u"⑤"};

const char16_t* const kSpecialCharacters[] = {
    u"※", u"○", u"●", u"◎", u"□", u"■", u"△", u"▲", u"▽", u"▼", u"◇", u"◆", u"☆", u"★",
    u"→", u"←", u"↑", u"↓", u"↔", u"⇒", u"·", u"…", u"「", u"」", u"『", u"』", u"〈", u"〉",
    u"㉠", u"㉡", u"㉢", u"㉣", u"㉤", u"⑴", u"⑵", u"⑶", u"⑷", u"⑸", u"Ⅰ", u"Ⅱ", u"Ⅲ", u"Ⅳ",
    u"±", u"×", u"÷", u"≠", u"≤", u"≥", u"∞", u"√", u"°", u"℃", u"π", u"∴", u"∵", u"♠"};

} // namespace

// An action made by CreateAction: remembers its name and runs on the pane.
class PaneAction : public EditorAction {
public:
    PaneAction(CHwpctrl& pane, QString name) : m_pane(pane), m_name(std::move(name)) {}

    std::unique_ptr<ParameterSet> CreateActionSet() override
    {
        return std::make_unique<ParameterSet>(ToU16(m_name));
    }
    bool Execute(const ParameterSet& set) override { return m_pane.ExecuteAction(m_name, &set); }

private:
    CHwpctrl& m_pane;
    QString m_name;
};

CHwpctrl::CHwpctrl(QWidget* parent)
    : QWidget(parent), m_document(std::make_unique<EditorDocument>()), m_zoomDevice(1, 1, QImage::Format_RGB32)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_view = new PaneTextEdit(this);
    m_view->setAcceptRichText(true);
    m_view->setLineWrapMode(QTextEdit::FixedPixelWidth);
    m_view->setTabChangesFocus(false);
    m_view->setAttribute(Qt::WA_InputMethodEnabled, true);

    m_menuBar = new QMenuBar(this);
    m_standardBar = new QToolBar(QStringLiteral("TOOLBAR_STANDARD"), this);
    m_drawBar = new QToolBar(QStringLiteral("TOOLBAR_DRAW"), this);
    for (QToolBar* bar : {m_standardBar, m_drawBar}) {
        bar->setIconSize(QSize(16, 16));
        bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    BuildStandardToolBar();
    BuildDrawToolBar();
    BuildMenus();

    layout->addWidget(m_menuBar);
    layout->addWidget(m_standardBar);
    layout->addWidget(m_drawBar);
    layout->addWidget(m_view, 1);
    m_menuBar->hide();
    m_standardBar->hide();
    m_drawBar->hide();

    static_cast<PaneTextEdit*>(m_view)->fillContextMenu = [this](QMenu& menu, const QTextCursor& at) {
        for (const ContextMenuFiller& fill : m_contextMenuFillers)
            fill(menu, at);
    };

    InstallPictureTools(*this);

    connect(m_view, &QTextEdit::currentCharFormatChanged, this, &CHwpctrl::OnCharFormatChanged);
    connect(m_view, &QTextEdit::cursorPositionChanged, this, &CHwpctrl::OnCursorMoved);

    m_document->Clear();
    ShowDocument(std::move(m_document));
}

CHwpctrl::~CHwpctrl()
{
    // The view must let go of the document before the document dies.
    m_view->setDocument(new QTextDocument(m_view));
}

void CHwpctrl::BuildStandardToolBar()
{
    QToolBar* bar = m_standardBar;
    bar->addAction(QStringLiteral("되돌리기"), m_view, &QTextEdit::undo)->setShortcut(QKeySequence::Undo);
    bar->addAction(QStringLiteral("다시 실행"), m_view, &QTextEdit::redo)->setShortcut(QKeySequence::Redo);
    bar->addSeparator();
    bar->addAction(QStringLiteral("오려 두기"), m_view, &QTextEdit::cut);
    bar->addAction(QStringLiteral("복사하기"), m_view, &QTextEdit::copy);
    bar->addAction(QStringLiteral("붙이기"), m_view, &QTextEdit::paste);
    bar->addSeparator();

    m_styleBox = new QComboBox(bar);
    m_styleBox->setToolTip(QStringLiteral("스타일"));
    m_styleBox->setMinimumContentsLength(6);
    m_styleBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(m_styleBox, &QComboBox::activated, this, [this](int index) {
        QTextCursor cursor = m_view->textCursor();
        if (m_document->ApplyStyle(index, cursor))
            m_view->setFocus();
    });
    bar->addWidget(m_styleBox);

    m_fontBox = new QFontComboBox(bar);
    m_fontBox->setWritingSystem(QFontDatabase::Korean);
    m_fontBox->setToolTip(QStringLiteral("글꼴"));
    m_fontBox->setMinimumContentsLength(8);
    m_fontBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(m_fontBox, &QComboBox::activated, this, [this](int) {
        const QFont font = m_fontBox->currentFont();
        QTextCharFormat format;
        format.setFontFamilies({font.family()});
        format.setProperty(kFaceNameProperty, font.family());
        MergeCharFormat(format);
    });
    bar->addWidget(m_fontBox);

    m_sizeBox = new QComboBox(bar);
    m_sizeBox->setEditable(true);
    m_sizeBox->setToolTip(QStringLiteral("글자 크기"));
    for (int size : {8, 9, 10, 11, 12, 13, 14, 16, 18, 20, 24, 28, 32, 36, 48, 72})
        m_sizeBox->addItem(QString::number(size));
    connect(m_sizeBox, &QComboBox::textActivated, this, [this](const QString& text) {
        bool ok = false;
        const double size = text.toDouble(&ok);
        if (!ok || size < 1 || size > 4096)
            return;
        QTextCharFormat format;
        format.setFontPointSize(size);
        MergeCharFormat(format);
    });
    bar->addWidget(m_sizeBox);
    bar->addSeparator();

    auto addToggle = [&](const QString& tip, const QKeySequence& key, auto apply) {
        QAction* action = bar->addAction(QStringLiteral("가"));
        action->setCheckable(true);
        action->setToolTip(tip);
        action->setShortcut(key);
        connect(action, &QAction::triggered, this, [this, apply](bool on) {
            QTextCharFormat format;
            apply(format, on);
            MergeCharFormat(format);
        });
        return action;
    };
    m_boldAction = addToggle(QStringLiteral("진하게"), QKeySequence::Bold,
                             [](QTextCharFormat& f, bool on) { f.setFontWeight(on ? QFont::Bold : QFont::Normal); });
    m_italicAction = addToggle(QStringLiteral("기울임"), QKeySequence::Italic,
                               [](QTextCharFormat& f, bool on) { f.setFontItalic(on); });
    m_underlineAction = addToggle(QStringLiteral("밑줄"), QKeySequence::Underline,
                                  [](QTextCharFormat& f, bool on) { f.setFontUnderline(on); });
    QFont boldFont;
    boldFont.setBold(true);
    m_boldAction->setFont(boldFont);
    QFont italicFont;
    italicFont.setItalic(true);
    m_italicAction->setFont(italicFont);
    QFont underlineFont;
    underlineFont.setUnderline(true);
    m_underlineAction->setFont(underlineFont);
    bar->addSeparator();

    m_alignGroup = new QActionGroup(this);
    const std::pair<const char16_t*, Qt::Alignment> alignments[] = {
        {u"왼쪽", Qt::AlignLeft}, {u"가운데", Qt::AlignHCenter}, {u"오른쪽", Qt::AlignRight}, {u"양쪽", Qt::AlignJustify}};
    for (const auto& [label, alignment] : alignments) {
        QAction* action = bar->addAction(QString::fromUtf16(label));
        action->setCheckable(true);
        action->setData(static_cast<int>(alignment));
        action->setToolTip(QStringLiteral("%1 정렬").arg(QString::fromUtf16(label)));
        m_alignGroup->addAction(action);
        const Qt::Alignment chosen = alignment;
        connect(action, &QAction::triggered, this, [this, chosen] { ApplyAlignment(chosen); });
    }
    bar->addSeparator();

    // Answer marks are typed all day: one click each.
    for (const char16_t* digit : kCircledDigits) {
        const QString text = QString::fromUtf16(digit);
        QAction* action = bar->addAction(text);
        action->setToolTip(QStringLiteral("%1 넣기").arg(text));
        connect(action, &QAction::triggered, this, [this, text] {
            m_view->textCursor().insertText(text);
            m_view->setFocus();
        });
    }
}

void CHwpctrl::BuildDrawToolBar()
{
    QToolBar* bar = m_drawBar;
    bar->addAction(QStringLiteral("글자색"), this, [this] { ChooseColor(false); });
    bar->addAction(QStringLiteral("형광펜"), this, [this] { ChooseColor(true); });
    bar->addAction(QStringLiteral("형광펜 지우기"), this, [this] {
        QTextCharFormat format;
        format.setBackground(Qt::NoBrush);
        MergeCharFormat(format);
    });

    auto* special = new QToolButton(bar);
    special->setText(QStringLiteral("특수 문자"));
    special->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(special);
    for (const char16_t* symbol : kSpecialCharacters) {
        const QString text = QString::fromUtf16(symbol);
        menu->addAction(text, this, [this, text] {
            m_view->textCursor().insertText(text);
            m_view->setFocus();
        });
    }
    special->setMenu(menu);
    bar->addWidget(special);
}

void CHwpctrl::BuildMenus()
{
    QMenu* edit = m_menuBar->addMenu(QStringLiteral("편집"));
    edit->addAction(QStringLiteral("되돌리기"), m_view, &QTextEdit::undo);
    edit->addAction(QStringLiteral("다시 실행"), m_view, &QTextEdit::redo);
    edit->addSeparator();
    edit->addAction(QStringLiteral("오려 두기"), m_view, &QTextEdit::cut);
    edit->addAction(QStringLiteral("복사하기"), m_view, &QTextEdit::copy);
    edit->addAction(QStringLiteral("붙이기"), m_view, &QTextEdit::paste);
    edit->addSeparator();
    edit->addAction(QStringLiteral("모두 선택"), m_view, &QTextEdit::selectAll);

    QMenu* view = m_menuBar->addMenu(QStringLiteral("보기"));
    view->addAction(QStringLiteral("확대"), this, [this] {
        m_zoomRatio = std::min(500, m_zoomRatio + 10);
        ApplyZoom();
    });
    view->addAction(QStringLiteral("축소"), this, [this] {
        m_zoomRatio = std::max(10, m_zoomRatio - 10);
        ApplyZoom();
    });
    view->addAction(QStringLiteral("쪽 맞춤 100%"), this, [this] {
        m_zoomRatio = 100;
        ApplyZoom();
    });

    QMenu* format = m_menuBar->addMenu(QStringLiteral("서식"));
    format->addAction(m_boldAction);
    format->addAction(m_italicAction);
    format->addAction(m_underlineAction);
    format->addSeparator();
    format->addActions(m_alignGroup->actions());
    format->addSeparator();
    format->addAction(QStringLiteral("글자색..."), this, [this] { ChooseColor(false); });
    format->addAction(QStringLiteral("형광펜..."), this, [this] { ChooseColor(true); });

    QMenu* insert = m_menuBar->addMenu(QStringLiteral("입력"));
    m_insertMenu = insert;
    for (const char16_t* digit : kCircledDigits) {
        const QString text = QString::fromUtf16(digit);
        insert->addAction(text, this, [this, text] { m_view->textCursor().insertText(text); });
    }
}

void CHwpctrl::AddToolBarAction(QAction* action)
{
    m_drawBar->addAction(action);
}

void CHwpctrl::AddContextMenuFiller(ContextMenuFiller filler)
{
    m_contextMenuFillers.push_back(std::move(filler));
}

void CHwpctrl::MergeCharFormat(const QTextCharFormat& format)
{
    QTextCursor cursor = m_view->textCursor();
    if (!cursor.hasSelection())
        cursor.select(QTextCursor::WordUnderCursor);
    cursor.mergeCharFormat(format);
    m_view->mergeCurrentCharFormat(format);
    m_view->setFocus();
}

void CHwpctrl::ApplyAlignment(Qt::Alignment alignment)
{
    QTextBlockFormat format;
    format.setAlignment(alignment);
    m_view->textCursor().mergeBlockFormat(format);
    m_view->setFocus();
}

void CHwpctrl::ChooseColor(bool background)
{
    const QTextCharFormat current = m_view->currentCharFormat();
    const QColor initial = background ? (current.background().style() == Qt::NoBrush ? QColor(Qt::yellow)
                                                                                       : current.background().color())
                                      : current.foreground().color();
    const QColor color = QColorDialog::getColor(initial, this, background ? QStringLiteral("형광펜")
                                                                          : QStringLiteral("글자색"));
    if (!color.isValid())
        return;
    QTextCharFormat format;
    if (background)
        format.setBackground(color);
    else
        format.setForeground(color);
    MergeCharFormat(format);
}

void CHwpctrl::OnCharFormatChanged(const QTextCharFormat& format)
{
    const QSignalBlocker blockFont(m_fontBox);
    const QSignalBlocker blockSize(m_sizeBox);
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty())
        m_fontBox->setCurrentFont(QFont(families.front()));
    if (format.fontPointSize() > 0)
        m_sizeBox->setEditText(QString::number(format.fontPointSize()));
    m_boldAction->setChecked(format.fontWeight() >= QFont::DemiBold);
    m_italicAction->setChecked(format.fontItalic());
    m_underlineAction->setChecked(format.fontUnderline());
}

void CHwpctrl::OnCursorMoved()
{
    // Text typed just after an object takes the format of the text around it. (With a
    // selection the same call would reformat the selected objects.)
    if (!m_view->textCursor().hasSelection()) {
        const QTextCharFormat typing = m_view->currentCharFormat();
        if (typing.objectType() == kKeptObjectType)
            m_view->setCurrentCharFormat(WithoutKeptObject(typing));
    }
    const QTextBlockFormat block = m_view->textCursor().blockFormat();
    const QSignalBlocker blockStyle(m_styleBox);
    m_styleBox->setCurrentIndex(block.hasProperty(kStyleIndexProperty) ? block.intProperty(kStyleIndexProperty) : -1);
    const Qt::Alignment horizontal = block.alignment() & Qt::AlignHorizontal_Mask;
    for (QAction* action : m_alignGroup->actions()) {
        const auto alignment = static_cast<Qt::Alignment>(action->data().toInt());
        action->setChecked(alignment == horizontal || (alignment == Qt::AlignLeft && horizontal == Qt::AlignLeading));
    }
}

void CHwpctrl::RefreshStyleBox()
{
    const QSignalBlocker block(m_styleBox);
    m_styleBox->clear();
    int number = 1;
    for (const TextStyle& style : m_document->Styles())
        m_styleBox->addItem(QStringLiteral("%1 %2").arg(number++).arg(style.name));
    OnCursorMoved();
}

void CHwpctrl::ShowDocument(std::unique_ptr<EditorDocument> document)
{
    std::unique_ptr<EditorDocument> old = std::move(m_document);
    m_document = std::move(document);
    m_view->setDocument(&m_document->Text());
    InstallKeptObjectHandler(m_document->Text());
    old.reset();
    m_scanOpen = false;
    ApplyZoom();
    RefreshStyleBox();
    QTextCursor cursor(&m_document->Text());
    m_view->setTextCursor(cursor);
    OnCharFormatChanged(cursor.charFormat());
}

void CHwpctrl::ApplyZoom()
{
    // The zoom is the dpi the pane lays out with; fonts, and the wrap width with them,
    // grow by the ratio.
    const int dotsPerMeter = static_cast<int>(kLayoutDpi / 0.0254 * m_zoomRatio / 100.0 + 0.5);
    m_zoomDevice.setDotsPerMeterX(dotsPerMeter);
    m_zoomDevice.setDotsPerMeterY(dotsPerMeter);
    QTextDocument& text = m_document->Text();
    text.documentLayout()->setPaintDevice(&m_zoomDevice);
    m_view->setLineWrapColumnOrWidth(
        static_cast<int>(HwpUnitsToLayout(m_document->Page().BodyWidth()) * m_zoomRatio / 100.0));
    text.markContentsDirty(0, text.characterCount());
}

bool CHwpctrl::IsToolBarVisible(std::u16string_view name) const
{
    if (name == u"TOOLBAR_MENU")
        return !m_menuBar->isHidden();
    if (name == u"TOOLBAR_STANDARD")
        return !m_standardBar->isHidden();
    if (name == u"TOOLBAR_DRAW")
        return !m_drawBar->isHidden();
    return false;
}

void CHwpctrl::RegisterCheckModule(std::u16string_view, std::u16string_view) {}

void CHwpctrl::SetToolBar(std::int32_t, std::u16string_view name)
{
    if (name != u"TOOLBAR_MENU" && name != u"TOOLBAR_STANDARD" && name != u"TOOLBAR_DRAW")
        return;
    m_requestedToolBars.insert(std::u16string(name));
    if (m_toolBarsShown)
        ShowToolBar(1);
}

void CHwpctrl::ShowToolBar(std::int32_t show)
{
    m_toolBarsShown = show != 0;
    auto wanted = [&](std::u16string_view name) {
        return m_toolBarsShown && m_requestedToolBars.find(name) != m_requestedToolBars.end();
    };
    m_menuBar->setVisible(wanted(u"TOOLBAR_MENU"));
    m_standardBar->setVisible(wanted(u"TOOLBAR_STANDARD"));
    m_drawBar->setVisible(wanted(u"TOOLBAR_DRAW"));
}

std::unique_ptr<ParameterSet> CHwpctrl::CreateParameterSet(std::u16string_view name)
{
    return std::make_unique<ParameterSet>(std::u16string(name));
}

void CHwpctrl::ViewProperties(const ParameterSet& set)
{
    const int type = set.ItemInt(u"ZoomType").value_or(0);
    if (type != 0)
        return;
    if (const auto ratio = set.ItemInt(u"ZoomRatio")) {
        m_zoomRatio = std::clamp(*ratio, 10, 500);
        ApplyZoom();
    }
}

std::unique_ptr<EditorAction> CHwpctrl::CreateAction(std::u16string_view name)
{
    const QString actionName = ToQString(name);
    static const QStringList known = {QStringLiteral("MoveDocBegin"),  QStringLiteral("MoveDocEnd"),
                                      QStringLiteral("MoveSelDocEnd"), QStringLiteral("MoveSelListEnd"),
                                      QStringLiteral("InsertText"),    QStringLiteral("InsertFile")};
    if (!known.contains(actionName) && StyleShortcutNumber(actionName) <= 0)
        return nullptr;
    return std::make_unique<PaneAction>(*this, actionName);
}

bool CHwpctrl::RunAction(std::u16string_view name)
{
    return ExecuteAction(ToQString(name), nullptr);
}

bool CHwpctrl::ExecuteAction(const QString& name, const ParameterSet* set)
{
    QTextCursor cursor = m_view->textCursor();
    if (name == QLatin1String("MoveDocBegin") || name == QLatin1String("MoveDocEnd")) {
        cursor.movePosition(name == QLatin1String("MoveDocBegin") ? QTextCursor::Start : QTextCursor::End);
        m_view->setTextCursor(cursor);
        return true;
    }
    if (name == QLatin1String("MoveSelDocEnd") || name == QLatin1String("MoveSelListEnd")) {
        // A document is one text list here, so both select up to the end.
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        m_view->setTextCursor(cursor);
        return true;
    }
    if (const int number = StyleShortcutNumber(name); number > 0) {
        if (!m_document->ApplyStyle(number - 1, cursor))
            return false;
        OnCursorMoved();
        return true;
    }
    if (set == nullptr)
        return false;
    if (name == QLatin1String("InsertText")) {
        const auto text = set->ItemText(u"Text");
        if (!text)
            return false;
        InsertPlainText(ToQString(*text));
        return true;
    }
    if (name == QLatin1String("InsertFile")) {
        const auto path = set->ItemText(u"FileName");
        const auto format = set->ItemText(u"FileFormat").value_or(u"HWP");
        if (!path || QString::fromStdU16String(format).compare(QLatin1String("HWP"), Qt::CaseInsensitive) != 0)
            return false;
        return InsertHwpFile(ToQString(*path), set->ItemInt(u"KeepCharshape").value_or(1) != 0,
                             set->ItemInt(u"KeepParashape").value_or(1) != 0);
    }
    return false;
}

void CHwpctrl::InsertPlainText(const QString& text)
{
    QString normalized = text;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QTextCursor cursor = m_view->textCursor();
    cursor.insertText(normalized);
    m_view->setTextCursor(cursor);
}

bool CHwpctrl::InsertHwpFile(const QString& path, bool keepCharShapes, bool keepParaShapes)
{
    std::unique_ptr<EditorDocument> inserted = ReadHwpFile(path.toStdString());
    if (!inserted)
        return false;
    QTextDocument& source = inserted->Text();

    // Paragraph styles are numbered per document: carry them over by name, adding the
    // ones this document lacks, so the inserted paragraphs keep their look and number.
    std::vector<int> styleMap;
    for (const TextStyle& style : inserted->Styles()) {
        int index = m_document->FindStyle(style.name);
        if (index < 0) {
            m_document->Styles().push_back(style);
            index = static_cast<int>(m_document->Styles().size()) - 1;
        }
        styleMap.push_back(index);
    }
    {
        QTextCursor edit(&source);
        for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
            QTextBlockFormat format = block.blockFormat();
            if (!format.hasProperty(kStyleIndexProperty))
                continue;
            const int from = format.intProperty(kStyleIndexProperty);
            if (from >= 0 && from < static_cast<int>(styleMap.size())) {
                format.setProperty(kStyleIndexProperty, styleMap[static_cast<std::size_t>(from)]);
                edit.setPosition(block.position());
                edit.setBlockFormat(format);
            }
        }
    }

    QTextCursor cursor = m_view->textCursor();
    cursor.beginEditBlock();
    if (cursor.hasSelection())
        cursor.removeSelectedText();
    const int start = cursor.position();
    const QTextBlockFormat firstBlockFormat = source.begin().blockFormat();
    const QTextCharFormat firstCharFormat = source.begin().charFormat();
    if (keepCharShapes) {
        cursor.insertFragment(QTextDocumentFragment(&source));
    } else {
        // The text takes the look at the caret; objects stay objects.
        const QTextCharFormat look = WithoutKeptObject(cursor.charFormat());
        for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
            if (block != source.begin())
                cursor.insertBlock();
            for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const QTextCharFormat format = fragment.charFormat();
                cursor.insertText(fragment.text(), format.objectType() == kKeptObjectType ? format : look);
            }
        }
    }
    // The paragraph the file's first paragraph merged into takes that paragraph's shape
    // when the caret stood at an empty paragraph's start, as at the end of a document.
    const QTextBlock startBlock = m_document->Text().findBlock(start);
    if (keepParaShapes && startBlock.position() == start) {
        QTextCursor first(startBlock);
        first.setBlockFormat(firstBlockFormat);
        if (keepCharShapes)
            first.setBlockCharFormat(firstCharFormat);
    }
    cursor.endEditBlock();
    m_view->setTextCursor(cursor);

    for (const FieldRange& field : inserted->Fields())
        m_document->AddField(field.name, start + field.start.position(), start + field.end.position());
    RefreshStyleBox();
    return true;
}

bool CHwpctrl::GoToField(std::u16string_view name, std::int32_t, std::int32_t, std::int32_t select)
{
    const FieldRange* field = m_document->FindField(ToQString(name));
    if (field == nullptr)
        return false;
    QTextCursor cursor(&m_document->Text());
    cursor.setPosition(field->start.position());
    if (select != 0)
        cursor.setPosition(m_document->FieldEnd(*field), QTextCursor::KeepAnchor);
    m_view->setTextCursor(cursor);
    return true;
}

bool CHwpctrl::OpenDocument(std::u16string_view path, std::u16string_view format)
{
    if (!format.empty() && QString::fromStdU16String(std::u16string(format)).compare(QLatin1String("HWP"), Qt::CaseInsensitive) != 0)
        return false;
    std::unique_ptr<EditorDocument> document = ReadHwpFile(ToQString(path).toStdString());
    if (!document)
        return false;
    document->Text().clearUndoRedoStacks();
    document->Text().setModified(false);
    ShowDocument(std::move(document));
    return true;
}

bool CHwpctrl::SaveDocumentAs(std::u16string_view path, std::u16string_view format)
{
    if (path.empty() ||
        (!format.empty() && QString::fromStdU16String(std::u16string(format)).compare(QLatin1String("HWP"), Qt::CaseInsensitive) != 0))
        return false;
    if (!WriteHwpFile(*m_document, ToQString(path).toStdString()))
        return false;
    m_document->Text().setModified(false);
    return true;
}

void CHwpctrl::ClearDocument(std::int32_t)
{
    m_scanOpen = false;
    m_document->Clear();
    QTextCursor cursor(&m_document->Text());
    m_view->setTextCursor(cursor);
    m_view->setCurrentCharFormat(m_document->DefaultCharFormat());
    ApplyZoom();
}

bool CHwpctrl::BeginTextScan(std::u16string_view range)
{
    const QString options = ToQString(range);
    const QTextCursor caret = m_view->textCursor();
    QTextDocument& text = m_document->Text();
    const int documentEnd = text.characterCount() - 1;
    m_scanPosition = options.contains(QLatin1String("scanSposDocument")) || options.contains(QLatin1String("scanSposBegin"))
                         ? 0
                         : caret.position();
    if (options.contains(QLatin1String("scanEposCurrent")))
        m_scanEnd = caret.position();
    else if (options.contains(QLatin1String("scanEposParagraph")) || options.contains(QLatin1String("scanEposLine")))
        m_scanEnd = caret.block().position() + caret.block().length() - 1;
    else
        m_scanEnd = documentEnd;
    m_scanEnd = std::clamp(m_scanEnd, 0, documentEnd);
    m_scanPosition = std::clamp(m_scanPosition, 0, m_scanEnd);
    m_scanOpen = true;
    return true;
}

TextScanState CHwpctrl::ReadTextChunk(std::u16string& text)
{
    text.clear();
    if (!m_scanOpen)
        return TextScanState::NotScanning;
    if (m_scanPosition > m_scanEnd)
        return TextScanState::End;
    // The whole range in one piece: a reader that takes only the first piece (the answer
    // scan) sees every paragraph of it, and the text inside objects in place.
    text = PlainText(m_document->Text(), m_scanPosition, m_scanEnd, u"\r\n");
    m_scanPosition = m_scanEnd + 1;
    return TextScanState::Text;
}

void CHwpctrl::EndTextScan()
{
    m_scanOpen = false;
}

CaretIndicator CHwpctrl::GetCaretIndicator()
{
    CaretIndicator indicator;
    const QTextCursor caret = m_view->textCursor();
    const QTextBlock caretBlock = caret.block();
    const int inBlock = caret.position() - caretBlock.position();
    indicator.paragraph = caretBlock.blockNumber();
    indicator.position = inBlock;
    indicator.insertMode = m_view->overwriteMode() ? 0 : 1;
    if (const FieldRange* field = m_document->FieldAt(caret.position()))
        indicator.fieldName = ToU16(field->name);

    // Force layout of everything up to the caret, even while the pane is hidden.
    QAbstractTextDocumentLayout* layout = m_document->Text().documentLayout();
    layout->documentSize();
    int line = 1;
    for (QTextBlock block = m_document->Text().begin(); block.isValid() && block != caretBlock; block = block.next())
        line += std::max(1, block.layout() != nullptr ? block.layout()->lineCount() : 1);
    int column = inBlock + 1;
    if (const QTextLayout* blockLayout = caretBlock.layout(); blockLayout != nullptr && blockLayout->lineCount() > 0) {
        const QTextLine caretLine = blockLayout->lineForTextPosition(inBlock);
        if (caretLine.isValid()) {
            line += caretLine.lineNumber();
            column = inBlock - caretLine.textStart() + 1;
        }
    }
    indicator.line = line;
    indicator.column = column;
    return indicator;
}

bool CHwpctrl::RenderPageImage(std::u16string_view path, std::int32_t page, std::int32_t dpi, std::int32_t bits,
                               std::u16string_view format)
{
    if (bits != 24 || QString::fromStdU16String(std::u16string(format)).compare(QLatin1String("bmp"), Qt::CaseInsensitive) != 0)
        return false;
    return RenderPageBmp(*m_document, page, dpi, ToQString(path).toStdString());
}

} // namespace editor
