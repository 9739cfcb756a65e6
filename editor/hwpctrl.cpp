#include "editor/hwpctrl.h"

#include "editor/equation_tools.h"
#include "editor/page_ends.h"
#include "document/cell_edit_layout.h"
#include "document/character_breaks.h"
#include "document/face_metrics.h"
#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "document/line_spacing.h"
#include "document/paragraph_heads.h"
#include "page/page_render.h"
#include "page/preview_image.h"
#include "editor/picture_tools.h"
#include "document/table_mapping.h"
#include "document/table_rows.h"
#include "editor/table_tools.h"
#include "editor/tool_icons.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QActionGroup>
#include <QBoxLayout>
#include <QBuffer>
#include <QColorDialog>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPaintEvent>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace editor {

namespace {

// An HWPX package's preview picture is a PNG; ours is drawn as the HWP file's GIF.
std::string PngOf(const std::string& picture)
{
    QImage image;
    if (picture.empty() || !image.loadFromData(reinterpret_cast<const uchar*>(picture.data()), static_cast<int>(picture.size())))
        return {};
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "PNG") ? png.toStdString() : std::string();
}

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
                } else if (c != QChar::LineSeparator) {
                    out.push_back(c.unicode());
                } else if (format.objectType() != kKeptObjectType) {
                    // An object's own separator (a caption's) is no line of the text.
                    out.push_back(u'\n');
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
    QMargins Margins() const { return viewportMargins(); }

    std::function<void(QMenu&, const QTextCursor&)> fillContextMenu;
    std::function<QMenu*(QWidget* parent)> editMenu;
    // Where printed pages end, drawn over the text in the layout's coordinates.
    std::function<void(QPainter&, const QRectF&)> paintOver;

protected:
    // Paragraph heads are drawn over the text, in the room their blocks keep for them.
    void paintEvent(QPaintEvent* event) override
    {
        QTextEdit::paintEvent(event);
        const ParagraphHeads* heads = KeptParagraphHeads(*document());
        const bool drawsHeads = heads != nullptr && !heads->Empty();
        if (!drawsHeads && !paintOver)
            return;
        QPainter painter(viewport());
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
        const QPointF scrolled(horizontalScrollBar()->value(), verticalScrollBar()->value());
        painter.translate(-scrolled);
        const QRectF area = QRectF(event->rect()).translated(scrolled);
        if (paintOver)
            paintOver(painter, area);
        if (!drawsHeads)
            return;
        const QAbstractTextDocumentLayout* layout = document()->documentLayout();
        heads->Paint(painter, *document(), area,
                     [layout](const QTextBlock& block) { return layout->blockBoundingRect(block).topLeft(); });
    }

    // A new paragraph takes its block format from the one it was split from; a page or
    // column break stays with the upper of the two, where it was.
    void keyPressEvent(QKeyEvent* event) override
    {
        const bool split = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                           !(event->modifiers() & Qt::ShiftModifier) && !isReadOnly();
        const int blocks = document()->blockCount();
        const int style = CaretStyleIndex();
        QTextEdit::keyPressEvent(event);
        // A deletion may leave the caret's paragraph without its style.
        if (auto* control = qobject_cast<CHwpctrl*>(parentWidget());
            control && !textCursor().blockFormat().hasProperty(kStyleIndexProperty))
            control->FillStyleGaps(style);
        if (!split || document()->blockCount() <= blocks)
            return;
        QTextCursor cursor = textCursor();
        QTextBlockFormat format = cursor.blockFormat();
        if (!(format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) &&
            !format.hasProperty(kColumnBreakFlagsProperty))
            return;
        format.setPageBreakPolicy(format.pageBreakPolicy() & ~QTextFormat::PageBreak_AlwaysBefore);
        format.clearProperty(kColumnBreakFlagsProperty);
        cursor.joinPreviousEditBlock();
        cursor.setBlockFormat(format);
        cursor.endEditBlock();
    }

    // Kept objects tell what they are, and notes and headers their text, on hover.
    bool viewportEvent(QEvent* event) override
    {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const QPointF at(help->pos() + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()));
            const int position = document()->documentLayout()->hitTest(at, Qt::ExactHit);
            const QString tip = position >= 0 ? KeptObjectToolTipAt(*document(), position) : QString();
            if (tip.isEmpty())
                QToolTip::hideText();
            else
                QToolTip::showText(help->globalPos(), tip, viewport());
            return true;
        }
        return QTextEdit::viewportEvent(event);
    }

    void contextMenuEvent(QContextMenuEvent* event) override
    {
        // The pane's own edit commands, under the words of its menu, rather than the
        // text engine's standard menu with other words for the same commands.
        std::unique_ptr<QMenu> menu(editMenu ? editMenu(this) : createStandardContextMenu(event->pos()));
        if (fillContextMenu)
            // A click's menu event comes through the viewport in its coordinates; the key's, the view's.
            fillContextMenu(*menu, cursorForPosition(event->reason() == QContextMenuEvent::Mouse
                                                         ? event->pos()
                                                         : viewport()->mapFrom(this, event->pos())));
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

    int CaretStyleIndex() const
    {
        const QTextBlockFormat format = textCursor().blockFormat();
        return format.hasProperty(kStyleIndexProperty) ? format.intProperty(kStyleIndexProperty) : -1;
    }

    void insertFromMimeData(const QMimeData* source) override
    {
        const int style = CaretStyleIndex();
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
            if (control)
                control->FillStyleGaps(style);
            return;
        }
        QTextCursor cursor = textCursor();
        cursor.insertFragment(pane->Fragment());
        setTextCursor(cursor);
        ensureCursorVisible();
        if (control)
            control->FillStyleGaps(style);
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

// The Korean name of a font family the system lists by its Latin name.
QString FontLabel(const QString& family)
{
    static const std::pair<const char*, const char16_t*> kNames[] = {
        {"NanumMyeongjo", u"나눔명조"},       {"NanumGothic", u"나눔고딕"},
        {"NanumBarunGothic", u"나눔바른고딕"}, {"NanumSquare", u"나눔스퀘어"},
        {"NanumGothicCoding", u"나눔고딕코딩"}, {"NanumPen", u"나눔손글씨 펜"},
        {"NanumBrush", u"나눔손글씨 붓"},      {"NanumSquareRound", u"나눔스퀘어라운드"},
        {"NanumBarunpen", u"나눔바른펜"},      {"NanumMyeongjo ExtraBold", u"나눔명조 ExtraBold"},
        {"NanumGothic ExtraBold", u"나눔고딕 ExtraBold"},
    };
    for (const auto& [latin, korean] : kNames) {
        if (family.compare(QLatin1String(latin), Qt::CaseInsensitive) == 0)
            return QString::fromUtf16(korean);
    }
    return family;
}

const char16_t* const kCircledDigits[] = {u"①", u"②", u"③", u"④", u"⑤"};

const char16_t* const kSpecialCharacters[] = {
    u"①", u"②", u"③", u"④", u"⑤",
    u"²", u"³", u"¹", u"½", u"⅓", u"⅔", u"¼", u"¾", u"°", u"‰", u"%", u"′", u"″",
    u"α", u"β", u"γ", u"δ", u"ε", u"θ", u"λ", u"μ", u"σ", u"ω", u"Δ", u"Σ", u"Ω",
    u"Ⅴ", u"Ⅵ", u"Ⅶ", u"Ⅷ", u"Ⅸ", u"Ⅹ", u"⇔", u"∠", u"⊥", u"∽", u"≒", u"≡",
    u"※", u"○", u"●", u"◎", u"□", u"■", u"△", u"▲", u"▽", u"▼", u"◇", u"◆", u"☆", u"★",
    u"→", u"←", u"↑", u"↓", u"↔", u"⇒", u"·", u"…", u"「", u"」", u"『", u"』", u"〈", u"〉",
    u"㉠", u"㉡", u"㉢", u"㉣", u"㉤", u"⑴", u"⑵", u"⑶", u"⑷", u"⑸", u"Ⅰ", u"Ⅱ", u"Ⅲ", u"Ⅳ",
    u"±", u"×", u"÷", u"≠", u"≤", u"≥", u"∞", u"√", u"°", u"℃", u"π", u"∴", u"∵", u"♠"};

// A tool button of `bar` with its picture and tip; `handler` runs in `context`.
template <typename Handler>
QAction* AddTool(QToolBar* bar, QObject* context, const QString& tip, const char* theme, ToolPicture picture,
                 Handler handler)
{
    QAction* action = bar->addAction(ToolIcon(theme, picture), tip);
    action->setToolTip(tip);
    QObject::connect(action, &QAction::triggered, context, handler);
    return action;
}

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
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);

    m_mainMenu = new QMenu(this);
    m_standardBar = new QToolBar(this);
    m_standardBar->setIconSize(QSize(16, 16));
    m_standardBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_standardBar->setStyleSheet(QStringLiteral("QToolBar { spacing: 0px; padding: 0px; border: none; }"
                                                "QToolButton { padding: 0px; margin: 0px; }"
                                                "QComboBox { padding: 0px 2px; }"));
    m_standardBar->setMovable(false);
    m_drawBar = new QToolBar(this);
    m_drawBar->setIconSize(m_standardBar->iconSize());
    m_drawBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_drawBar->setStyleSheet(m_standardBar->styleSheet());
    m_drawBar->setMovable(false);
    BuildStandardToolBar();
    BuildDrawToolBar();
    BuildMenus();

    m_toolRow = new QBoxLayout(QBoxLayout::LeftToRight);
    m_toolRow->setSpacing(0);
    m_toolRow->addWidget(m_standardBar);
    m_toolRow->addWidget(m_drawBar, 1);
    layout->addLayout(m_toolRow);
    layout->addWidget(m_view, 1);
    m_standardBar->hide();
    m_drawBar->hide();

    static_cast<PaneTextEdit*>(m_view)->fillContextMenu = [this](QMenu& menu, const QTextCursor& at) {
        for (const ContextMenuFiller& fill : m_contextMenuFillers)
            fill(menu, at);
    };

    InstallPictureTools(*this);
    InstallTableTools(*this);

    connect(m_view, &QTextEdit::currentCharFormatChanged, this, &CHwpctrl::OnCharFormatChanged);
    connect(m_view, &QTextEdit::cursorPositionChanged, this, &CHwpctrl::OnCursorMoved);
    InstallEquationTools(*this);
    SetPaneName({});

    // Laid out only for a pane on screen: the work control prints without looking.
    m_pageEnds = new PageEnds(
        this, [this]() -> const EditorDocument* { return m_view->isVisible() ? m_document.get() : nullptr; },
        [view = m_view] { view->viewport()->update(); });
    static_cast<PaneTextEdit*>(m_view)->paintOver = [this](QPainter& painter, const QRectF& area) {
        m_pageEnds->Paint(painter, m_document->Text(), area, m_view->document()->textWidth());
    };
    m_document->Clear();
    ShowDocument(std::move(m_document));
}

CHwpctrl::~CHwpctrl()
{
    // The view must let go of the document before the document dies.
    m_view->setDocument(new QTextDocument(m_view));
}

QAction* CHwpctrl::AddPaneShortcut(QAction* action, const QList<QKeySequence>& keys)
{
    // Six panes live in one window: each pane's keys work only while it has the focus,
    // so no two panes ever claim the same key.
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(action);
    return action;
}

namespace {

// A tool's tip without the key after it: "되돌리기 (Ctrl+Z)" gives "되돌리기".
QString ToolName(const QString& tip)
{
    const qsizetype key = tip.indexOf(QLatin1String(" ("));
    return (key > 0 ? tip.left(key) : tip).section(QLatin1Char(':'), 0, 0).trimmed();
}

} // namespace

void CHwpctrl::SetPaneName(const QString& name, const QString& description)
{
    const QString prefix = name.isEmpty() ? QString() : name + QLatin1Char(' ');
    setAccessibleName(prefix + QStringLiteral("창"));
    m_view->setAccessibleName(prefix + QStringLiteral("편집 영역"));
    m_view->setAccessibleDescription(description);
    // Named by what they hold: the menu, undo and the text formats; colours, objects and
    // symbols. A tool bar's name, once read, stays with the screen reader's view of it:
    // it is given once, with the pane's name.
    if (!name.isEmpty() && m_standardBar->accessibleName().isEmpty()) {
        m_standardBar->setWindowTitle(prefix + QStringLiteral("서식 도구 모음"));
        m_standardBar->setAccessibleName(m_standardBar->windowTitle());
        m_drawBar->setWindowTitle(prefix + QStringLiteral("색·개체 도구 모음"));
        m_drawBar->setAccessibleName(m_drawBar->windowTitle());
    }
    m_menuButton->setAccessibleName(prefix + QStringLiteral("메뉴"));
    m_menuButton->setToolTip(QStringLiteral("%1메뉴: 편집, 보기, 서식, 입력").arg(prefix));
    // Controls that show a picture or a value only are called what their tips say.
    for (QWidget* control : findChildren<QWidget*>()) {
        if (!qobject_cast<QComboBox*>(control) && !qobject_cast<QToolButton*>(control))
            continue;
        if (control == m_menuButton)
            continue;
        if (qobject_cast<QToolButton*>(control))
            control->setFocusPolicy(Qt::NoFocus); // as the tool bar's own buttons
        if (control->objectName() == QLatin1String("qt_toolbar_ext_button")) {
            control->setAccessibleName(QStringLiteral("도구 더 보기"));
            continue;
        }
        QString tip = control->toolTip();
        if (auto* button = qobject_cast<QToolButton*>(control); button && button->defaultAction())
            tip = button->defaultAction()->toolTip();
        if (!tip.isEmpty())
            control->setAccessibleName(ToolName(tip));
    }
    m_sizeBox->lineEdit()->setAccessibleName(QStringLiteral("글자 크기"));
}

QList<QWidget*> CHwpctrl::TabOrder() const { return {m_menuButton, m_styleBox, m_fontBox, m_sizeBox, m_view}; }

void CHwpctrl::BuildStandardToolBar()
{
    AddMenuButton();
    AddUndoRedo();
    AddTextBoxes();
    AddCharToggles();
    AddAlignButton();
    AddZoomKeys();
}

// The menus of the pane behind one button at the front of the row.
void CHwpctrl::AddMenuButton()
{
    m_menuButton = new QToolButton(m_standardBar);
    m_menuButton->setIcon(ToolIcon("application-menu", ToolPicture::Menu));
    m_menuButton->setToolTip(QStringLiteral("메뉴"));
    m_menuButton->setPopupMode(QToolButton::InstantPopup);
    m_menuButton->setMenu(m_mainMenu);
    m_menuButton->setAutoRaise(true);
    m_menuAction = m_standardBar->addWidget(m_menuButton);
    // The menu button is the pane's first Tab stop; the other tools are in its menus.
    m_menuButton->setFocusPolicy(Qt::TabFocus);
}

// Undo and redo at the front; cut, copy and paste have their keys and live in the menus,
// which leaves room in a narrow pane for the formats.
void CHwpctrl::AddUndoRedo()
{
    m_undoAction = AddTool(m_standardBar, this, QStringLiteral("되돌리기"), "edit-undo", ToolPicture::Undo,
                           [this] { m_view->undo(); });
    AddPaneShortcut(m_undoAction, {QKeySequence::Undo});
    m_redoAction = AddTool(m_standardBar, this, QStringLiteral("다시 실행"), "edit-redo", ToolPicture::Redo,
                           [this] { m_view->redo(); });
    AddPaneShortcut(m_redoAction, {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    m_undoAction->setToolTip(QStringLiteral("되돌리기 (Ctrl+Z)"));
    m_redoAction->setToolTip(QStringLiteral("다시 실행 (Ctrl+Y)"));
    m_standardActions.push_back(m_undoAction);
    m_standardActions.push_back(m_redoAction);
}

// The style, font and size boxes.
void CHwpctrl::AddTextBoxes()
{
    QToolBar* bar = m_standardBar;
    m_styleBox = new QComboBox(bar);
    m_styleBox->setToolTip(QStringLiteral("스타일"));
    m_styleBox->setMinimumContentsLength(4);
    m_styleBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(m_styleBox, &QComboBox::activated, this, [this](int index) {
        QTextCursor cursor = m_view->textCursor();
        if (m_document->ApplyStyle(index, cursor))
            m_view->setFocus();
    });
    m_standardActions.push_back(bar->addWidget(m_styleBox));

    // The Korean fonts under their Korean names: short, and what teachers know them by.
    m_fontBox = new QComboBox(bar);
    m_fontBox->setToolTip(QStringLiteral("글꼴"));
    for (const QString& family : QFontDatabase::families(QFontDatabase::Korean))
        m_fontBox->addItem(FontLabel(family), family);
    connect(m_fontBox, &QComboBox::activated, this, [this](int index) {
        const QString family = m_fontBox->itemData(index).toString();
        if (family.isEmpty())
            return;
        QTextCharFormat format;
        format.setFontFamilies({family});
        format.setProperty(kFaceNameProperty, family);
        MergeCharFormat(format);
    });
    m_standardActions.push_back(bar->addWidget(m_fontBox));

    m_sizeBox = new QComboBox(bar);
    m_sizeBox->setEditable(true);
    m_sizeBox->setToolTip(QStringLiteral("글자 크기"));
    for (int size : {8, 9, 10, 11, 12, 13, 14, 16, 18, 20, 24, 28, 32, 36, 48, 72})
        m_sizeBox->addItem(QString::number(size));
    m_sizeBox->setFixedWidth(m_sizeBox->fontMetrics().horizontalAdvance(QStringLiteral("00.0")) + 26);
    connect(m_sizeBox, &QComboBox::textActivated, this, [this](const QString& text) {
        bool ok = false;
        const double size = text.toDouble(&ok);
        if (!ok || size < 1 || size > 4096)
            return;
        QTextCharFormat format;
        format.setFontPointSize(size);
        MergeCharFormat(format);
    });
    m_standardActions.push_back(bar->addWidget(m_sizeBox));
}

// Bold, italic, underline, superscript and subscript: checkable, each with its key.
void CHwpctrl::AddCharToggles()
{
    auto addToggle = [&](const QString& tip, const char* theme, ToolPicture picture, const QList<QKeySequence>& keys,
                         auto apply) {
        QAction* action = AddTool(m_standardBar, this, tip, theme, picture, [this, apply](bool on) {
            QTextCharFormat format;
            apply(format, on);
            MergeCharFormat(format);
        });
        action->setCheckable(true);
        if (!keys.isEmpty()) {
            AddPaneShortcut(action, keys);
            action->setToolTip(QStringLiteral("%1 (%2)").arg(tip, keys.front().toString(QKeySequence::NativeText)));
        }
        m_standardActions.push_back(action);
        return action;
    };
    m_boldAction = addToggle(QStringLiteral("진하게"), "format-text-bold", ToolPicture::Bold, {QKeySequence::Bold},
                             [](QTextCharFormat& f, bool on) { f.setFontWeight(on ? QFont::Bold : QFont::Normal); });
    m_italicAction = addToggle(QStringLiteral("기울임"), "format-text-italic", ToolPicture::Italic, {QKeySequence::Italic},
                               [](QTextCharFormat& f, bool on) { f.setFontItalic(on); });
    m_underlineAction = addToggle(QStringLiteral("밑줄"), "format-text-underline", ToolPicture::Underline,
                                  {QKeySequence::Underline}, [](QTextCharFormat& f, bool on) { f.setFontUnderline(on); });
    m_superAction = addToggle(QStringLiteral("위 첨자"), "format-text-superscript", ToolPicture::Superscript, {},
                              [](QTextCharFormat& f, bool on) {
                                  f.setVerticalAlignment(on ? QTextCharFormat::AlignSuperScript : QTextCharFormat::AlignNormal);
                              });
    m_subAction = addToggle(QStringLiteral("아래 첨자"), "format-text-subscript", ToolPicture::Subscript, {},
                            [](QTextCharFormat& f, bool on) {
                                f.setVerticalAlignment(on ? QTextCharFormat::AlignSubScript : QTextCharFormat::AlignNormal);
                            });
}

// The four alignments behind one button that shows the current one.
void CHwpctrl::AddAlignButton()
{
    m_alignGroup = new QActionGroup(this);
    auto* alignMenu = new QMenu(this);
    const struct {
        const char16_t* label;
        Qt::Alignment alignment;
        const char* theme;
        ToolPicture picture;
    } alignments[] = {{u"왼쪽", Qt::AlignLeft, "format-justify-left", ToolPicture::AlignLeft},
                      {u"가운데", Qt::AlignHCenter, "format-justify-center", ToolPicture::AlignCenter},
                      {u"오른쪽", Qt::AlignRight, "format-justify-right", ToolPicture::AlignRight},
                      {u"양쪽", Qt::AlignJustify, "format-justify-fill", ToolPicture::AlignJustify}};
    for (const auto& a : alignments) {
        const QString label = QStringLiteral("%1 정렬").arg(QString::fromUtf16(a.label));
        QAction* action = alignMenu->addAction(ToolIcon(a.theme, a.picture), label);
        action->setCheckable(true);
        action->setData(static_cast<int>(a.alignment));
        m_alignGroup->addAction(action);
        const Qt::Alignment chosen = a.alignment;
        connect(action, &QAction::triggered, this, [this, chosen] { ApplyAlignment(chosen); });
    }
    m_alignButton = new QToolButton(m_standardBar);
    m_alignButton->setPopupMode(QToolButton::InstantPopup);
    m_alignButton->setMenu(alignMenu);
    m_alignButton->setAutoRaise(true);
    m_alignButton->setToolTip(QStringLiteral("정렬"));
    m_alignButton->setIcon(m_alignGroup->actions().front()->icon());
    m_standardActions.push_back(m_standardBar->addWidget(m_alignButton));
}

// Zoom has keys and menu entries, no button.
void CHwpctrl::AddZoomKeys()
{
    QAction* zoomIn = new QAction(QStringLiteral("확대"), this);
    connect(zoomIn, &QAction::triggered, this, [this] { SetZoom(m_zoomRatio + 10); });
    AddPaneShortcut(zoomIn, {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    QAction* zoomOut = new QAction(QStringLiteral("축소"), this);
    connect(zoomOut, &QAction::triggered, this, [this] { SetZoom(m_zoomRatio - 10); });
    AddPaneShortcut(zoomOut, {QKeySequence::ZoomOut});
    m_zoomInAction = zoomIn;
    m_zoomOutAction = zoomOut;
}

void CHwpctrl::BuildDrawToolBar()
{
    QToolBar* bar = m_drawBar;
    // The colour buttons and the special characters end the row.
    QAction* before = nullptr;
    auto colorButton = [&](bool highlight) {
        auto* button = new QToolButton(bar);
        button->setPopupMode(QToolButton::MenuButtonPopup);
        button->setAutoRaise(true);
        button->setToolTip(highlight ? QStringLiteral("형광펜") : QStringLiteral("글자색"));
        auto* menu = new QMenu(button);
        const QList<QColor> colors = highlight
            ? QList<QColor>{QColor(0xff, 0xff, 0x00), QColor(0x9f, 0xff, 0x5f), QColor(0x7f, 0xef, 0xff), QColor(0xff, 0xb0, 0xe0),
                            QColor(0xff, 0xc0, 0x60), QColor(0xd0, 0xd0, 0xd0)}
            : QList<QColor>{Qt::black, QColor(0xc0, 0x00, 0x00), QColor(0x00, 0x40, 0xc0), QColor(0x00, 0x80, 0x30),
                            QColor(0x80, 0x00, 0x80), QColor(0xe0, 0x70, 0x00), QColor(0x60, 0x60, 0x60), QColor(0x00, 0x80, 0x80)};
        AddColorGrid(*menu, colors, 4, [this, highlight](const QColor& color) { ApplyColor(color, highlight); });
        if (highlight)
            menu->addAction(QStringLiteral("형광펜 지우기"), this, [this] {
                QTextCharFormat format;
                format.setBackground(Qt::NoBrush);
                MergeCharFormat(format);
            });
        menu->addAction(highlight ? QStringLiteral("다른 형광펜 색...") : QStringLiteral("다른 글자색..."), this,
                        [this, highlight] { ChooseColor(highlight); });
        button->setMenu(menu);
        connect(button, &QToolButton::clicked, this, [this, highlight] {
            ApplyColor(highlight ? m_highlightColor : m_textColor, highlight);
        });
        m_drawActions.push_back(bar->insertWidget(before, button));
        return button;
    };
    m_colorButton = colorButton(false);
    m_highlightButton = colorButton(true);
    UpdateColorButtons();

    auto* special = new QToolButton(bar);
    special->setIcon(ToolIcon("character-set", ToolPicture::Special));
    special->setToolTip(QStringLiteral("특수 문자"));
    special->setPopupMode(QToolButton::InstantPopup);
    special->setAutoRaise(true);
    auto* menu = new QMenu(special);
    QStringList symbols;
    for (const char16_t* symbol : kSpecialCharacters)
        symbols << QString::fromUtf16(symbol);
    m_specialGrid = AddTextGrid(*menu, symbols, 12, [this](const QString& text) {
        m_view->textCursor().insertText(text);
        m_view->setFocus();
    });
    special->setMenu(menu);
    m_drawActions.push_back(bar->insertWidget(before, special));

    // Object commands of the tools come in front of the special characters.
    m_objectsAnchor = m_drawActions.back();
}

void CHwpctrl::BuildMenus()
{
    QMenu* edit = m_mainMenu->addMenu(QStringLiteral("편집"));
    // The text view handles the keys itself; the menus only name them.
    const auto keyText = [](QKeySequence::StandardKey key) { return QKeySequence(key).toString(QKeySequence::NativeText); };
    const auto command = [this](const QIcon& icon, const QString& text, auto slot) {
        auto* action = new QAction(icon, text, this);
        connect(action, &QAction::triggered, m_view, slot);
        return action;
    };
    m_cutAction = command(ToolIcon("edit-cut", ToolPicture::Cut), QStringLiteral("오려 두기\t%1").arg(keyText(QKeySequence::Cut)),
                          &QTextEdit::cut);
    m_copyAction = command(ToolIcon("edit-copy", ToolPicture::Copy), QStringLiteral("복사하기\t%1").arg(keyText(QKeySequence::Copy)),
                           &QTextEdit::copy);
    m_pasteAction = command(ToolIcon("edit-paste", ToolPicture::Paste), QStringLiteral("붙이기\t%1").arg(keyText(QKeySequence::Paste)),
                            &QTextEdit::paste);
    m_deleteAction = new QAction(QStringLiteral("지우기\t%1").arg(keyText(QKeySequence::Delete)), this);
    connect(m_deleteAction, &QAction::triggered, this, [this] { m_view->textCursor().removeSelectedText(); });
    m_selectAllAction = command(QIcon(), QStringLiteral("모두 선택\t%1").arg(keyText(QKeySequence::SelectAll)),
                                &QTextEdit::selectAll);
    const auto fillEdit = [this](QMenu& menu) {
        menu.addAction(m_undoAction);
        menu.addAction(m_redoAction);
        menu.addSeparator();
        menu.addActions({m_cutAction, m_copyAction, m_pasteAction, m_deleteAction});
        menu.addSeparator();
        menu.addAction(m_selectAllAction);
    };
    fillEdit(*edit);
    connect(edit, &QMenu::aboutToShow, this, &CHwpctrl::UpdateEditActions);
    static_cast<PaneTextEdit*>(m_view)->editMenu = [this, fillEdit](QWidget* parent) {
        auto* menu = new QMenu(parent);
        UpdateEditActions();
        fillEdit(*menu);
        return menu;
    };

    QMenu* view = m_mainMenu->addMenu(QStringLiteral("보기"));
    view->addAction(m_zoomInAction);
    view->addAction(m_zoomOutAction);
    view->addAction(QStringLiteral("쪽 맞춤"), this, [this] { FitZoomToWidth(); });
    view->addAction(QStringLiteral("100%"), this, [this] { SetZoom(100); });

    QMenu* format = m_mainMenu->addMenu(QStringLiteral("서식"));
    format->addAction(m_boldAction);
    format->addAction(m_italicAction);
    format->addAction(m_underlineAction);
    format->addAction(m_superAction);
    format->addAction(m_subAction);
    format->addSeparator();
    format->addActions(m_alignGroup->actions());
    format->addSeparator();
    format->addAction(QStringLiteral("글자색..."), this, [this] { ChooseColor(false); });
    format->addAction(QStringLiteral("형광펜..."), this, [this] { ChooseColor(true); });

    QMenu* insert = m_mainMenu->addMenu(QStringLiteral("입력"));
    m_insertMenu = insert;
    for (const char16_t* digit : kCircledDigits) {
        const QString text = QString::fromUtf16(digit);
        insert->addAction(text, this, [this, text] { m_view->textCursor().insertText(text); });
    }

    // The zoom in percent, at the lower right of the text; a click offers the zoom commands.
    m_zoomButton = new QToolButton(m_view);
    m_zoomButton->setToolTip(QStringLiteral("확대/축소"));
    m_zoomButton->setPopupMode(QToolButton::InstantPopup);
    m_zoomButton->setMenu(view);
    m_zoomButton->setStyleSheet(QStringLiteral("QToolButton { background: rgba(240,240,240,220); border: 1px solid #bbb;"
                                               " border-radius: 3px; padding: 0px 3px; font-size: 9pt; }"
                                               "QToolButton::menu-indicator { image: none; width: 0px; }"));
    m_zoomButton->setFocusPolicy(Qt::NoFocus);
}

namespace {

// Where an object command of a tool sits and what it shows.
struct ObjectCommand {
    const char* name;
    const char* theme;
    ToolPicture picture;
    const char16_t* tip;
};
constexpr ObjectCommand kObjectCommands[] = {
    {"insert_table", "insert-table", ToolPicture::Table, u"표"},
    {"insert_box", "draw-rectangle", ToolPicture::Box, u"글상자"},
    {"insert_picture", "insert-image", ToolPicture::Picture, u"그림"},
    {"insert_equation", "", ToolPicture::Equation, u"수식"},
};

} // namespace

void CHwpctrl::AddToolBarAction(QAction* action)
{
    int rank = static_cast<int>(std::size(kObjectCommands));
    for (int i = 0; i < static_cast<int>(std::size(kObjectCommands)); ++i) {
        const ObjectCommand& command = kObjectCommands[i];
        if (action->objectName() != QLatin1String(command.name))
            continue;
        rank = i;
        action->setIcon(ToolIcon(command.theme, command.picture));
        if (action->toolTip().isEmpty() || action->toolTip() == action->text().remove(QLatin1Char('&')))
            action->setToolTip(action->text().isEmpty() ? QString::fromUtf16(command.tip) : action->text());
    }
    if (action->icon().isNull())
        action->setIcon(ToolIcon(nullptr, ToolPicture::Box));
    // A tool's key, too, belongs to the pane that has the focus, and its tip names it.
    if (!action->shortcuts().isEmpty()) {
        AddPaneShortcut(action, action->shortcuts());
        const QString key = action->shortcut().toString(QKeySequence::NativeText);
        if (!action->toolTip().contains(key))
            action->setToolTip(QStringLiteral("%1 (%2)").arg(action->toolTip(), key));
    }
    action->setProperty("varnelObjectRank", rank);
    // The object commands keep one order whichever tool installs first.
    QAction* before = m_objectsAnchor;
    for (QAction* placed : m_objectActions) {
        if (placed->property("varnelObjectRank").toInt() > rank) {
            before = placed;
            break;
        }
    }
    m_drawBar->insertAction(before, action);
    PlaceToolBars();
    m_objectActions.push_back(action);
    std::sort(m_objectActions.begin(), m_objectActions.end(), [](QAction* a, QAction* b) {
        return a->property("varnelObjectRank").toInt() < b->property("varnelObjectRank").toInt();
    });
    m_drawActions.push_back(action);
    action->setVisible(m_toolBarsShown && m_requestedToolBars.count(u"TOOLBAR_DRAW"));
}

void CHwpctrl::AddContextMenuFiller(ContextMenuFiller filler)
{
    m_contextMenuFillers.push_back(std::move(filler));
}

void CHwpctrl::UpdateEditActions()
{
    const bool selection = m_view->textCursor().hasSelection();
    const bool writable = !m_view->isReadOnly();
    m_cutAction->setEnabled(selection && writable);
    m_copyAction->setEnabled(selection);
    m_pasteAction->setEnabled(writable && m_view->canPaste());
    m_deleteAction->setEnabled(selection && writable);
}

void CHwpctrl::MergeCharFormat(const QTextCharFormat& format)
{
    // As in a word processor: a selection changes at once; without one the format is what
    // the next typed text gets, and the buttons show it now. A new face or size sets the
    // letters as wide as the word processor will.
    m_view->mergeCurrentCharFormat(format);
    if (format.hasProperty(QTextFormat::FontFamilies) || format.hasProperty(QTextFormat::FontPointSize) ||
        format.hasProperty(QTextFormat::FontWeight)) {
        QTextCursor cursor = m_view->textCursor();
        if (cursor.hasSelection()) {
            FitSelectionToFaces(cursor);
        } else {
            FitNextCharFormat();
        }
    }
    if (!m_view->textCursor().hasSelection())
        OnCharFormatChanged(m_view->currentCharFormat());
    m_view->setFocus();
}

void CHwpctrl::FitNextCharFormat()
{
    QTextCharFormat next = m_view->currentCharFormat();
    FitToFace(next, DeviceScale(m_document->Text()));
    if (next != m_view->currentCharFormat())
        m_view->setCurrentCharFormat(next);
}

void CHwpctrl::ApplyAlignment(Qt::Alignment alignment)
{
    QTextBlockFormat format;
    format.setAlignment(alignment);
    m_view->textCursor().mergeBlockFormat(format);
    OnCursorMoved();
    m_view->setFocus();
}

void CHwpctrl::ApplyColor(const QColor& color, bool background)
{
    if (!color.isValid())
        return;
    (background ? m_highlightColor : m_textColor) = color;
    UpdateColorButtons();
    QTextCharFormat format;
    if (background)
        format.setBackground(color);
    else
        format.setForeground(color);
    MergeCharFormat(format);
}

void CHwpctrl::UpdateColorButtons()
{
    m_colorButton->setIcon(ColorToolIcon(m_textColor, false));
    m_highlightButton->setIcon(ColorToolIcon(m_highlightColor, true));
}

void CHwpctrl::ChooseColor(bool background)
{
    const QColor initial = background ? m_highlightColor : m_textColor;
    const QColor color = QColorDialog::getColor(initial, this, background ? QStringLiteral("형광펜")
                                                                          : QStringLiteral("글자색"));
    ApplyColor(color, background);
}

void CHwpctrl::OnCharFormatChanged(const QTextCharFormat& format)
{
    const QSignalBlocker blockFont(m_fontBox);
    const QSignalBlocker blockSize(m_sizeBox);
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty()) {
        const QString family = families.front();
        int index = m_fontBox->findData(family, Qt::UserRole, Qt::MatchFixedString);
        if (index < 0) {
            m_fontBox->addItem(FontLabel(family), family);
            index = m_fontBox->count() - 1;
        }
        m_fontBox->setCurrentIndex(index);
    }
    // Wide enough for the shown name: a cut name is no name.
    const int nameWidth = m_fontBox->fontMetrics().horizontalAdvance(m_fontBox->currentText());
    m_fontBox->setFixedWidth(std::clamp(nameWidth + 26, 60, 220));
    PlaceToolBars();
    if (format.fontPointSize() > 0)
        m_sizeBox->setEditText(QString::number(format.fontPointSize()));
    m_boldAction->setChecked(format.fontWeight() >= QFont::DemiBold);
    m_italicAction->setChecked(format.fontItalic());
    m_underlineAction->setChecked(format.fontUnderline());
    m_superAction->setChecked(format.verticalAlignment() == QTextCharFormat::AlignSuperScript);
    m_subAction->setChecked(format.verticalAlignment() == QTextCharFormat::AlignSubScript);
}

void CHwpctrl::OnCursorMoved()
{
    KeepLinesOfCaretParagraph(m_view->textCursor().block());
    // Text typed just after an object takes the format of the text around it. (With a
    // selection the same call would reformat the selected objects.)
    if (!m_view->textCursor().hasSelection()) {
        const QTextCharFormat typing = m_view->currentCharFormat();
        if (typing.objectType() == kKeptObjectType)
            m_view->setCurrentCharFormat(WithoutKeptObject(typing));
    }
    const QTextBlockFormat block = m_view->textCursor().blockFormat();
    {
        const QSignalBlocker blockStyle(m_styleBox);
        // A paragraph without a style is saved in the first style: the box says so.
        m_styleBox->setCurrentIndex(block.hasProperty(kStyleIndexProperty) ? block.intProperty(kStyleIndexProperty) : 0);
        FitStyleBox();
    }
    const Qt::Alignment horizontal = block.alignment() & Qt::AlignHorizontal_Mask;
    for (QAction* action : m_alignGroup->actions()) {
        const auto alignment = static_cast<Qt::Alignment>(action->data().toInt());
        action->setChecked(alignment == horizontal || (alignment == Qt::AlignLeft && horizontal == Qt::AlignLeading));
        if (action->isChecked())
            m_alignButton->setIcon(action->icon());
    }
}

void CHwpctrl::FillStyleGaps(int fallback)
{
    // Paragraphs that came without a style (pasted from another program, or left when
    // all was deleted) take the style of the paragraph before them, else the one after:
    // the style box then shows what the paragraph will be saved as, in every case.
    QTextDocument& text = m_document->Text();
    QTextCursor edit(&text);
    bool editing = false;
    int previous = -1;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        if (format.hasProperty(kStyleIndexProperty)) {
            previous = format.intProperty(kStyleIndexProperty);
            continue;
        }
        int style = previous;
        for (QTextBlock next = block.next(); style < 0 && next.isValid(); next = next.next()) {
            if (next.blockFormat().hasProperty(kStyleIndexProperty))
                style = next.blockFormat().intProperty(kStyleIndexProperty);
        }
        if (style < 0)
            style = fallback;
        if (style < 0)
            break; // no paragraph has a style: nothing to follow
        edit.setPosition(block.position());
        if (edit.currentTable() != nullptr)
            continue;
        if (!editing) {
            edit.joinPreviousEditBlock(); // part of the edit that made the paragraph
            editing = true;
        }
        QTextBlockFormat styled = format;
        styled.setProperty(kStyleIndexProperty, style);
        edit.setBlockFormat(styled);
        previous = style;
    }
    if (editing)
        edit.endEditBlock();
    OnCursorMoved();
}

void CHwpctrl::RefreshStyleBox()
{
    const QSignalBlocker block(m_styleBox);
    m_styleBox->clear();
    int number = 1;
    for (const TextStyle& style : m_document->Styles())
        m_styleBox->addItem(QStringLiteral("%1 %2").arg(number++).arg(style.name));
    // The box stays narrow (its number and the start of the name); its list shows the names whole.
    int widest = 0;
    for (int i = 0; i < m_styleBox->count(); ++i)
        widest = std::max(widest, m_styleBox->view()->fontMetrics().horizontalAdvance(m_styleBox->itemText(i)));
    m_styleBox->view()->setMinimumWidth(widest + 24);
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
    KeepLinesSpaced(m_document->Text());
    KeepLinesBrokenByCharacter(m_document->Text());
    KeepTableRowsFitted(m_document->Text());
    KeepParagraphHeads(m_document->Text(), m_document->OriginRef(), [view = m_view] { view->viewport()->update(); });
    m_pageEnds->Watch(m_document->Text());
    RefreshStyleBox();
    QTextCursor cursor(&m_document->Text());
    m_view->setTextCursor(cursor);
    OnCharFormatChanged(cursor.charFormat());
}

void CHwpctrl::ApplyZoom()
{
    // A pane never shown (the work control) has no width to fit.
    if (m_fitWidth && m_view->isVisible())
        m_zoomRatio = std::min(m_zoomLimit, FitWidthRatio());
    // The zoom is the dpi the pane lays out with; fonts, and the wrap width with them,
    // grow by the ratio.
    const int dotsPerMeter = static_cast<int>(kLayoutDpi / 0.0254 * m_zoomRatio / 100.0 + 0.5);
    m_zoomDevice.setDotsPerMeterX(dotsPerMeter);
    m_zoomDevice.setDotsPerMeterY(dotsPerMeter);
    QTextDocument& text = m_document->Text();
    text.documentLayout()->setPaintDevice(&m_zoomDevice);
    // The view takes whole pixels; the text wraps at the body's exact width, as it prints,
    // grown as the device grows everything else (its resolution is whole dots per inch).
    const double width = HwpUnitsToLayout(m_document->Page().BodyWidth()) * DeviceScale(text);
    m_view->setLineWrapColumnOrWidth(static_cast<int>(std::ceil(width)));
    text.setTextWidth(width);
    FitFacesToDevice(text);
    FitNextCharFormat();
    text.markContentsDirty(0, text.characterCount());
    // Text grows by the ratio in whole device pixels: the extra height rows need follows,
    // and the room of paragraph heads, whose letters grow too.
    FitTableRows(text);
    RecountParagraphHeads(text);
    if (m_zoomButton) {
        m_zoomButton->setText(QStringLiteral("%1%").arg(m_zoomRatio));
        PlaceZoomButton();
    }
}

int CHwpctrl::FitWidthRatio() const
{
    // The room beside the text, whether or not the vertical scroll bar shows just now, so
    // the ratio does not flip as the bar comes and goes.
    const QMargins margins = static_cast<const PaneTextEdit*>(m_view)->Margins();
    const int room = m_view->width() - margins.left() - margins.right() - 2 * m_view->frameWidth() -
                     m_view->verticalScrollBar()->sizeHint().width() - 4;
    const double body = HwpUnitsToLayout(m_document->Page().BodyWidth());
    if (room <= 0 || body <= 0)
        return 100;
    return std::clamp(static_cast<int>(room * 100.0 / body), 10, 500);
}

void CHwpctrl::SetZoom(int ratio)
{
    m_fitWidth = false;
    m_zoomRatio = std::clamp(ratio, 10, 500);
    ApplyZoom();
}

void CHwpctrl::FitZoomToWidth()
{
    m_fitWidth = true;
    m_zoomLimit = 500;
    ApplyZoom();
}

void CHwpctrl::PlaceZoomButton()
{
    m_zoomButton->adjustSize();
    const QRect area = m_view->viewport()->geometry();
    m_zoomButton->move(area.right() - m_zoomButton->width() - 2, area.bottom() - m_zoomButton->height() - 2);
    m_zoomButton->raise();
}

bool CHwpctrl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        if (m_fitWidth)
            ApplyZoom();
        else
            PlaceZoomButton();
    }
    if (watched == m_view->viewport() && event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            // The zoom of the pane, never the text's own font sizes.
            const int steps = wheel->angleDelta().y() / 120;
            if (steps != 0)
                SetZoom(m_zoomRatio + 10 * steps);
            return true;
        }
    }
    if (watched == m_view && event->type() == QEvent::KeyPress && TypeAsWord(*static_cast<QKeyEvent*>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool CHwpctrl::TypeAsWord(const QKeyEvent& key)
{
    // Typed characters are grouped by words for undo, as word processors do: the letters
    // of a word and the blanks after it are one step. (The text engine alone would make a
    // whole sentence typed without moving the caret one step.)
    const QString typed = key.text();
    if (typed.isEmpty() || !typed.at(0).isPrint() || (key.modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) ||
        m_view->isReadOnly() || m_view->overwriteMode())
        return false;
    QTextDocument* text = m_view->document();
    QTextCursor cursor = m_view->textCursor();
    const bool blank = typed.at(0).isSpace();
    const bool join = !cursor.hasSelection() && m_typing.document == text && m_typing.position == cursor.position() &&
                      m_typing.undoSteps == text->availableUndoSteps() && !(m_typing.afterBlank && !blank);
    if (join)
        cursor.joinPreviousEditBlock();
    else
        cursor.beginEditBlock();
    cursor.insertText(typed);
    cursor.endEditBlock();
    // Now rather than later: the spacing and the fit join this step, and the next letter
    // joins it too.
    SpaceChangedLines(*text);
    FitTableRows(*text);
    m_view->setTextCursor(cursor);
    m_view->ensureCursorVisible();
    m_typing = {text, cursor.position(), text->availableUndoSteps(), blank};
    return true;
}

void CHwpctrl::mousePressEvent(QMouseEvent* event)
{
    // A click beside the text (the pane's margins, the tool row's empty end) still means
    // "write here".
    m_view->setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
}

bool CHwpctrl::IsToolBarVisible(std::u16string_view name) const
{
    if (m_standardBar->isHidden())
        return false;
    if (name == u"TOOLBAR_MENU")
        return m_menuAction->isVisible();
    if (name == u"TOOLBAR_STANDARD")
        return !m_standardActions.empty() && m_standardActions.front()->isVisible();
    if (name == u"TOOLBAR_DRAW")
        return !m_drawActions.empty() && m_drawActions.front()->isVisible();
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
    // One row holds the menu button, the standard tools and the drawing tools.
    m_menuAction->setVisible(wanted(u"TOOLBAR_MENU"));
    for (QAction* action : m_standardActions)
        action->setVisible(wanted(u"TOOLBAR_STANDARD"));
    for (QAction* action : m_drawActions)
        action->setVisible(wanted(u"TOOLBAR_DRAW"));
    m_standardBar->setVisible(wanted(u"TOOLBAR_MENU") || wanted(u"TOOLBAR_STANDARD") || wanted(u"TOOLBAR_DRAW"));
    m_drawBar->setVisible(wanted(u"TOOLBAR_DRAW"));
    PlaceToolBars();
}

void CHwpctrl::PlaceToolBars()
{
    // One row where both bars fit whole; in a narrow pane (a passage beside the panes on a
    // laptop screen) the drawing tools go to a second row rather than behind the "»" button.
    const bool fits = m_drawBar->isHidden()
        || m_standardBar->sizeHint().width() + m_drawBar->sizeHint().width() <= width();
    m_toolRow->setDirection(fits ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
}

void CHwpctrl::FitStyleBox()
{
    // Wide enough for the whole name while closed ("2 초등 문제", never "2 초등 문ㅈ") as
    // long as the row has the room; a pane too narrow for that keeps every tool in the row.
    const int wanted = m_styleBox->fontMetrics().horizontalAdvance(m_styleBox->currentText()) + 34;
    const int others = m_standardBar->sizeHint().width() - m_styleBox->width();
    const int room = m_standardBar->isVisible() ? width() - others - 4 : wanted;
    const int fitted = std::clamp(std::min(wanted, room), 60, 240);
    if (fitted != m_styleBox->width()) {
        m_styleBox->setFixedWidth(fitted);
        PlaceToolBars();
    }
}

void CHwpctrl::resizeEvent(QResizeEvent* event)
{
    FitStyleBox();
    PlaceToolBars();
    // A pane first on screen has had no marks laid out yet.
    if (m_pageEnds->Marks().empty())
        m_pageEnds->Watch(m_document->Text());
    QWidget::resizeEvent(event);
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
        // The ratio asked for, as long as the whole width of the text still shows.
        m_zoomLimit = std::clamp(*ratio, 10, 500);
        m_zoomRatio = m_zoomLimit;
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
        // Styling a document nobody has typed in yet (a template being set up for the
        // level) is part of opening it: no undo step, and nothing to save.
        const bool untouched = !m_document->Text().isModified();
        if (!m_document->ApplyStyle(number - 1, cursor))
            return false;
        if (untouched) {
            m_document->Text().clearUndoRedoStacks();
            m_document->Text().setModified(false);
        }
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
        // Either format is told apart by the file's content; the name only says it is one.
        const QString format = QString::fromStdU16String(set->ItemText(u"FileFormat").value_or(u"HWP"));
        if (!path || (format.compare(QLatin1String("HWP"), Qt::CaseInsensitive) != 0 &&
                      format.compare(QLatin1String("HWPX"), Qt::CaseInsensitive) != 0))
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
    // Inserted documents keep their tables whole: the text is laid into this document's
    // paragraphs, which a table of the text engine would be taken apart by.
    std::unique_ptr<EditorDocument> inserted = ReadHwpFile(path.toStdString(), TablesShown::AsObjects);
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
            SetBlockCharFormatKeepingCell(first, firstCharFormat);
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
    const QString name = QString::fromStdU16String(std::u16string(format));
    if (!format.empty() && name.compare(QLatin1String("HWP"), Qt::CaseInsensitive) != 0 &&
        name.compare(QLatin1String("HWPX"), Qt::CaseInsensitive) != 0)
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
    const QString name = QString::fromStdU16String(std::u16string(format));
    const bool hwpx = name.compare(QLatin1String("HWPX"), Qt::CaseInsensitive) == 0;
    if (path.empty() || (!format.empty() && !hwpx && name.compare(QLatin1String("HWP"), Qt::CaseInsensitive) != 0))
        return false;
    const std::string file = ToQString(path).toStdString();
    // The lines the page images print go into the file, so that it prints as they do.
    const PagedLayout layout(*m_document);
    const LaidOutLines lines = layout.LaidLines();
    const std::string preview = PreviewImageOf(layout);
    if (hwpx ? !WriteHwpxFile(*m_document, file, PngOf(preview), &lines) : !WriteHwpFile(*m_document, file, preview, &lines))
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

int CHwpctrl::CaretPosition() const { return m_view->textCursor().position(); }

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
