#include "app/varnel_dlg.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDoubleSpinBox>
#include <QLocale>
#include <QDir>
#include <QFileInfo>
#include <QShortcut>
#include <QTextEdit>
#include <QEventLoop>
#include <QFileDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QInputEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/dialog_layout.h"
#include "dialog/export_command.h"
#include "dialog/option_commands.h"
#include "editor/hwpctrl.h"
#include "handoff/exchanges.h"
#include "render/preview.h"
#include "render/print_pack.h"

using namespace dlg;

namespace {

// The program's icon: drawn, so no binary file is needed.
QIcon MakeIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0x1f, 0x5f, 0xa8));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(0, 0, size, size), size * 0.18, size * 0.18);
        p.setPen(Qt::white);
        QFont font("NanumGothic");
        font.setBold(true);
        font.setPixelSize(static_cast<int>(size * 0.7));
        p.setFont(font);
        p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("V"));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// "배점": 0 to 100 in steps of 0.1, and empty for no points (held as the value just below 0).
class ScoreBox : public QDoubleSpinBox {
public:
    static constexpr double kNone = -0.1;

    explicit ScoreBox(QWidget* parent) : QDoubleSpinBox(parent)
    {
        setLocale(QLocale::c());
        setDecimals(1);
        setRange(kNone, 100.0);
        setSingleStep(0.1);
        setValue(kNone);
        setKeyboardTracking(false);
        setAlignment(Qt::AlignRight);
        setToolTip(QStringLiteral("배점 (0~100점, 비우면 배점 없음)"));
        setAccessibleName(QStringLiteral("배점"));
    }
    std::optional<std::int32_t> Tenths() const
    {
        if (value() < 0.0)
            return std::nullopt;
        return static_cast<std::int32_t>(std::lround(value() * 10.0));
    }
    void SetTenths(std::optional<std::int32_t> tenths) { setValue(tenths ? *tenths / 10.0 : kNone); }

protected:
    QString textFromValue(double value) const override
    {
        if (value < 0.0)
            return {};
        const auto tenths = static_cast<std::int32_t>(std::lround(value * 10.0));
        return QString::fromStdString(ScoreText(tenths));
    }
    double valueFromText(const QString& text) const override
    {
        return text.trimmed().isEmpty() ? kNone : QDoubleSpinBox::valueFromText(text);
    }
    QValidator::State validate(QString& text, int& pos) const override
    {
        return text.trimmed().isEmpty() ? QValidator::Acceptable : QDoubleSpinBox::validate(text, pos);
    }
};

// A check box that asks before it changes: the question is asked with the box as it was.
class ConfirmingCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;
    std::function<bool(bool checked)> mayChange;
    std::function<void()> changed;

protected:
    void nextCheckState() override
    {
        if (mayChange && !mayChange(!isChecked()))
            return;
        QCheckBox::nextCheckState();
        if (changed)
            changed();
    }
};

} // namespace

CVarnelDlg::CVarnelDlg(std::function<QSize()> screenSize, QWidget* parent)
    : QDialog(parent), m_screenSize(std::move(screenSize))
{
    setWindowTitle(QStringLiteral("Varnel"));
    // The installed application icon where the icon themes have it, else our own drawing.
    setWindowIcon(QIcon::fromTheme(QStringLiteral("com.korvane.Varnel"), MakeIcon()));
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    CreateControls();
    // Centred on the screen, as the dialog template asks; the layout adapts from there.
    move(std::max(0, (ScreenWidth() - width()) / 2), std::max(0, (ScreenHeight() - height()) / 2));

    editor::PaneSet panes;
    panes.passage = Pane(IDC_PANE_PASSAGE);
    panes.question = Pane(IDC_PANE_QUESTION);
    panes.options = Pane(IDC_PANE_OPTIONS);
    panes.answer = Pane(IDC_PANE_ANSWER);
    panes.explain = Pane(IDC_PANE_EXPLAIN);
    panes.work = Pane(IDC_PANE_WORK);
    m_core = std::make_unique<DialogCore>(*this, panes);

    m_core->m_applyLaunchRecord = [this] { return handoff::AcquireLaunchRecord(*m_core); };
    InstallPreviewHook(*m_core, [this] { handoff::RunImageCropper(*m_core); });
    m_onSave = [this] { handoff::OnSave(*m_core, MakeExamPackHook(Pane(IDC_PANE_OPTIONS))); };
    m_onLoadPassage = [this] { handoff::OnLoadPassage(*m_core); };
    AddOptionsMenu();
    qApp->installEventFilter(this);
}

CVarnelDlg::~CVarnelDlg() = default;

void CVarnelDlg::Place(QWidget* widget, int id, int x, int y, int w, int h)
{
    widget->setGeometry(DluToPixels(x, y, w, h));
    m_controls[id] = widget;
    m_templateSizes[id] = DluToPixels(x, y, w, h).size();
}

QToolButton* CVarnelDlg::AddPictureButton(int id, int x, int y, int w, int h, const QString& accessibleName)
{
    auto* button = new QToolButton(this);
    button->setAutoRaise(true);
    // Reached with Tab and pressed with Space like any button; a frame shows the focus.
    button->setFocusPolicy(Qt::TabFocus);
    button->setCursor(Qt::PointingHandCursor);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; padding: 0; }"
                                         "QToolButton:focus { border: 2px solid palette(highlight); border-radius: 3px; }"));
    button->setAccessibleName(accessibleName);
    button->setToolTip(accessibleName);
    Place(button, id, x, y, w, h);
    button->setIconSize(button->size());
    return button;
}

QCheckBox* CVarnelDlg::AddCheckBox(int id, const QString& caption, int x, int y, int w, int h)
{
    auto* box = new QCheckBox(caption, this);
    Place(box, id, x, y, w, h);
    return box;
}

void CVarnelDlg::CreateControls()
{
    resize(DluToPixels(0, 0, kDialogWidthDlu, kDialogHeightDlu).size());

    // Group boxes first, so the panes lie above them.
    for (const auto& g : kGroupBoxes) {
        auto* box = new QGroupBox(QString::fromUtf8(g.caption), this);
        Place(box, g.id, g.x, g.y, g.w, g.h);
    }

    for (const auto& p : kPanes) {
        auto* pane = new editor::CHwpctrl(this);
        pane->setObjectName(QString::fromUtf8(p.name));
        Place(pane, p.id, p.x, p.y, p.w, p.h);
    }
    Control(IDC_PANE_PASSAGE)->hide();
    Control(IDC_GROUP_PASSAGE)->hide();
    Control(IDC_PANE_WORK)->hide();

    // The box keeps its tick while the teacher is asked whether the passage may go.
    auto* hasPassage = new ConfirmingCheckBox(QStringLiteral("지문있음"), this);
    Place(hasPassage, IDC_HAS_PASSAGE, 8, 7, 43, 10);
    hasPassage->mayChange = [this](bool checked) { return checked || m_core->ConfirmPassageRemoval(); };
    hasPassage->changed = [this] { m_core->OnHasPassageClicked(true); };

    struct Button {
        int id;
        const char* caption;
        int x, y, w, h;
    };
    for (const Button& b : {Button{IDC_LOAD_PASSAGE, "지문 불러오기", 51, 4, 51, 17},
                            Button{IDC_LOAD_QUESTION, "문제 불러오기", 451, 4, 51, 17},
                            Button{IDC_OPTION_MENU, "≡", 659, 3, 13, 13},
                            Button{IDC_APPLY_STYLE, "스타일 적용", 569, 546, 50, 18},
                            Button{IDC_SAVE, "저장", 622, 546, 50, 18},
                            Button{IDC_SAVE_HIDDEN, "저장", 7, 546, 10, 10}}) {
        auto* button = new QPushButton(QString::fromUtf8(b.caption), this);
        button->setAutoDefault(false);
        Place(button, b.id, b.x, b.y, b.w, b.h);
    }
    Control(IDC_SAVE_HIDDEN)->hide();
    // A click leaves the focus in the pane, so the next key goes on writing there.
    Control(IDC_APPLY_STYLE)->setFocusPolicy(Qt::TabFocus);
    // "≡" says nothing to a screen reader, nor to a new user.
    Control(IDC_OPTION_MENU)->setAccessibleName(QStringLiteral("옵션 메뉴"));
    Control(IDC_OPTION_MENU)->setToolTip(QStringLiteral("옵션 메뉴: 창의 내용 초기화"));
    auto clicked = [this](int id, auto handler) {
        connect(static_cast<QPushButton*>(Control(id)), &QPushButton::clicked, this, handler);
    };
    clicked(IDC_LOAD_PASSAGE, [this] {
        if (m_onLoadPassage)
            m_onLoadPassage();
    });
    clicked(IDC_LOAD_QUESTION, [this] {
        m_core->OnLoadQuestion();
    });
    clicked(IDC_OPTION_MENU, [this] { OnOptionMenu(); });
    clicked(IDC_APPLY_STYLE, [this] { m_core->OnApplyStyle(); });
    clicked(IDC_SAVE, [this] {
        if (m_onSave)
            m_onSave();
    });
    // Ctrl+S is the "저장" button, wherever the focus is.
    auto* save = new QShortcut(QKeySequence::Save, this);
    save->setContext(Qt::WindowShortcut);
    connect(save, &QShortcut::activated, this, [this] {
        auto* button = static_cast<QPushButton*>(Control(IDC_SAVE));
        if (button->isEnabled() && !m_busy)
            button->click();
    });

    auto connectPicture = [this](QToolButton* button, auto handler) {
        connect(button, &QToolButton::clicked, this, handler);
    };
    connectPicture(AddPictureButton(IDC_LEVEL_ELEM, 507, 4, 22, 14, QStringLiteral("초등")),
                   [this] { m_core->OnLevelButton(IDC_LEVEL_ELEM); });
    connectPicture(AddPictureButton(IDC_LEVEL_MID, 529, 4, 23, 14, QStringLiteral("중등")),
                   [this] { m_core->OnLevelButton(IDC_LEVEL_MID); });
    connectPicture(AddPictureButton(IDC_LEVEL_HIGH, 552, 4, 23, 14, QStringLiteral("고등")),
                   [this] { m_core->OnLevelButton(IDC_LEVEL_HIGH); });
    connectPicture(AddPictureButton(IDC_TYPE_OBJ, 583, 4, 15, 14, QStringLiteral("객관식")),
                   [this] { m_core->OnTypeButton(IDC_TYPE_OBJ); });
    connectPicture(AddPictureButton(IDC_TYPE_SBJ, 599, 4, 15, 14, QStringLiteral("주관식")),
                   [this] { m_core->OnTypeButton(IDC_TYPE_SBJ); });
    connectPicture(AddPictureButton(IDC_TYPE_DES, 615, 4, 15, 14, QStringLiteral("서술형")),
                   [this] { m_core->OnTypeButton(IDC_TYPE_DES); });
    connectPicture(AddPictureButton(IDC_DIFFICULTY, 631, 4, 21, 14, QStringLiteral("난이도")),
                   [this] { m_core->OnDifficultyButton(); });

    for (auto [id, x, type] : {std::tuple{IDC_DEFAULT_OBJ, 587, "객관식"}, std::tuple{IDC_DEFAULT_SBJ, 603, "주관식"},
                               std::tuple{IDC_DEFAULT_DES, 619, "서술형"}}) {
        auto* box = AddCheckBox(id, QString(), x, 18, 8, 10);
        box->setToolTip(QStringLiteral("%1을 기본 유형으로").arg(QString::fromUtf8(type)));
        box->setAccessibleName(QStringLiteral("%1 기본 유형").arg(QString::fromUtf8(type)));
        connect(box, &QCheckBox::clicked, this, [this, id = id] { m_core->OnDefaultTypeBox(id); });
    }

    AddScoreBox();
    BuildLayout();
    NamePanes();
    SetTabOrder();

    m_busyLabel = new QLabel(this);
    m_busyLabel->setStyleSheet(QStringLiteral("QLabel { background: #fff8d0; border: 1px solid #c8b060; padding: 3px 8px; }"));
    m_busyLabel->hide();
}

void CVarnelDlg::NamePanes()
{
    for (const auto& [pane, name] : {std::pair{IDC_PANE_PASSAGE, "지문"}, std::pair{IDC_PANE_QUESTION, "문제"},
                                     std::pair{IDC_PANE_OPTIONS, "보기"}, std::pair{IDC_PANE_ANSWER, "정답"},
                                     std::pair{IDC_PANE_EXPLAIN, "해설"}, std::pair{IDC_PANE_WORK, "인쇄 작업"}}) {
        QString description;
        for (const auto& g : kGroupBoxes) {
            if (g.id == GroupOfPane(pane))
                description = QString::fromUtf8(g.caption);
        }
        Pane(pane)->SetPaneName(QString::fromUtf8(name), description);
    }
}

int CVarnelDlg::GroupOfPane(int pane)
{
    switch (pane) {
    case IDC_PANE_PASSAGE: return IDC_GROUP_PASSAGE;
    case IDC_PANE_QUESTION: return IDC_GROUP_QUESTION;
    case IDC_PANE_OPTIONS: return IDC_GROUP_OPTIONS;
    case IDC_PANE_ANSWER: return IDC_GROUP_ANSWER;
    case IDC_PANE_EXPLAIN: return IDC_GROUP_EXPLAIN;
    default: return 0;
    }
}

QList<QWidget*> CVarnelDlg::TabChain() const
{
    // As the screen reads: the top row from the left (each type button with its default
    // box below it), the panes column by column, then the buttons at the bottom.
    QList<QWidget*> chain;
    for (int id : {IDC_HAS_PASSAGE, IDC_LOAD_PASSAGE, IDC_SCORE, IDC_SHOW_POINTS, IDC_LOAD_QUESTION, IDC_LEVEL_ELEM,
                   IDC_LEVEL_MID, IDC_LEVEL_HIGH, IDC_TYPE_OBJ, IDC_DEFAULT_OBJ, IDC_TYPE_SBJ, IDC_DEFAULT_SBJ,
                   IDC_TYPE_DES, IDC_DEFAULT_DES, IDC_DIFFICULTY, IDC_OPTION_MENU})
        chain << Control(id);
    for (int id : {IDC_PANE_PASSAGE, IDC_PANE_QUESTION, IDC_PANE_OPTIONS, IDC_PANE_ANSWER, IDC_PANE_EXPLAIN})
        chain << Pane(id)->TabOrder();
    chain << Control(IDC_APPLY_STYLE) << Control(IDC_SAVE);
    return chain;
}

void CVarnelDlg::SetTabOrder()
{
    const QList<QWidget*> chain = TabChain();
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void CVarnelDlg::AddScoreBox()
{
    m_scoreLabel = new QLabel(QStringLiteral("배점"), this);
    auto* box = new ScoreBox(this);
    m_scoreLabel->setBuddy(box);
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("100.0")) + 36);
    m_controls[IDC_SCORE] = box;
    connect(box, &QDoubleSpinBox::valueChanged, this, [this, box] {
        if (!m_showingScore)
            m_core->SetScore(box->Tenths());
    });
    // A click puts the mark; the arrow chooses how the mark is written.
    auto* show = new QToolButton(this);
    show->setText(QStringLiteral("배점 표시"));
    show->setToolButtonStyle(Qt::ToolButtonTextOnly);
    show->setPopupMode(QToolButton::MenuButtonPopup);
    show->setToolTip(QStringLiteral("문제 끝에 [3점]처럼 배점을 붙입니다"));
    auto* formats = new QMenu(show);
    auto* group = new QActionGroup(formats);
    for (const QString& format : {QStringLiteral("[%1점]"), QStringLiteral("(%1점)"), QStringLiteral("[배점 %1점]")}) {
        QAction* action = formats->addAction(format.arg(QStringLiteral("3")));
        action->setCheckable(true);
        action->setChecked(format == m_pointsFormat);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, format] { m_pointsFormat = format; });
    }
    show->setMenu(formats);
    m_controls[IDC_SHOW_POINTS] = show;
    connect(show, &QToolButton::clicked, this, [this] { structure::ShowPointsMark(*m_core, m_pointsFormat); });
}

void CVarnelDlg::AddOptionsMenu()
{
    editor::CHwpctrl* pane = Pane(IDC_PANE_OPTIONS);
    QMenu* menu = pane->MainMenu()->addMenu(QStringLiteral("선택지"));
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        // Filled anew each time: the <보기> combinations follow the panes.
        menu->clear();
        for (QMenu* sub : menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
            sub->deleteLater();
        FillOptionsMenu(*menu);
    });
    pane->AddContextMenuFiller([this, pane](QMenu& context, const QTextCursor& at) {
        // The commands act on the option that was clicked.
        if (!pane->TextView()->textCursor().hasSelection())
            pane->TextView()->setTextCursor(at);
        context.addSeparator();
        FillOptionsMenu(*context.addMenu(QStringLiteral("선택지")));
    });
    // The options are laid out again once typing pauses, as their widths may have changed.
    m_relayoutTimer = new QTimer(this);
    m_relayoutTimer->setSingleShot(true);
    m_relayoutTimer->setInterval(800);
    connect(m_relayoutTimer, &QTimer::timeout, this, [this, pane] {
        // The caret stays in its option at its place there, also when the options move.
        QTextEdit* view = pane->TextView();
        const editor::OptionScan before = editor::ScanOptions(*view->document());
        const int caret = view->textCursor().position();
        int item = -1;
        for (std::size_t i = 0; i < before.items.size(); ++i)
            if (before.items[i].contentStart <= caret)
                item = static_cast<int>(i);
        if (!structure::RelayOutOptions(*m_core) || item < 0)
            return;
        const editor::OptionScan after = editor::ScanOptions(*view->document());
        if (item >= static_cast<int>(after.items.size()))
            return;
        const editor::OptionItem& was = before.items[static_cast<std::size_t>(item)];
        const editor::OptionItem& now = after.items[static_cast<std::size_t>(item)];
        QTextCursor cursor = view->textCursor();
        cursor.setPosition(std::min(now.contentStart + std::max(0, caret - was.contentStart), now.contentEnd));
        view->setTextCursor(cursor);
    });
    connect(pane->TextView(), &QTextEdit::textChanged, m_relayoutTimer, qOverload<>(&QTimer::start));
}

void CVarnelDlg::FillOptionsMenu(QMenu& menu)
{
    using editor::OptionArrangement;
    QMenu* layout = menu.addMenu(QStringLiteral("선택지 배치"));
    for (const auto& [label, arrangement] : {std::pair{"한 줄에 하나씩", OptionArrangement::OnePerLine},
                                             std::pair{"두 개씩 두 칸으로", OptionArrangement::TwoColumns},
                                             std::pair{"한 줄에 모두", OptionArrangement::OneRow}})
        layout->addAction(QString::fromUtf8(label), this,
                          [this, arrangement = arrangement] { structure::LayOutOptions(*m_core, arrangement); });
    menu.addAction(QStringLiteral("선택지 섞기"), this,
                   [this] { structure::ShuffleOptions(*m_core, std::random_device{}()); });
    menu.addAction(QStringLiteral("선택지를 위로"), this, [this] { structure::MoveOption(*m_core, -1); });
    menu.addAction(QStringLiteral("선택지를 아래로"), this, [this] { structure::MoveOption(*m_core, 1); });
    menu.addAction(QStringLiteral("선택지 추가"), this, [this] { structure::AddOption(*m_core); });
    menu.addAction(QStringLiteral("선택지 삭제"), this, [this] { structure::DeleteOption(*m_core); });
    menu.addAction(QStringLiteral("번호 다시 매기기"), this, [this] { structure::RenumberOptions(*m_core); });
    QMenu* combinations = menu.addMenu(QStringLiteral("보기 조합"));
    const auto sets = editor::CombinationSets(static_cast<int>(structure::BoxStatementsOfQuestion(*m_core).size()));
    if (sets.empty())
        combinations->addAction(QStringLiteral("ㄱ. ㄴ. ㄷ. 이 든 <보기> 상자가 없습니다"))->setEnabled(false);
    for (std::size_t i = 0; i < sets.size(); ++i) {
        QString label;
        for (std::size_t k = 0; k < sets[i].size(); ++k)
            label += (k ? QStringLiteral("  ") : QString()) + editor::OptionMark(editor::OptionMarkStyle::Circled, static_cast<int>(k) + 1) +
                     u' ' + sets[i][k];
        combinations->addAction(label, this, [this, i] { structure::FillCombination(*m_core, static_cast<int>(i)); });
    }
}

void CVarnelDlg::BuildLayout()
{
    // Panes sit inside their group boxes; the boxes share the space of the window in the
    // template's proportions, so a larger window gives the panes the room.
    for (const auto& [group, pane] : {std::pair{IDC_GROUP_PASSAGE, IDC_PANE_PASSAGE}, std::pair{IDC_GROUP_QUESTION, IDC_PANE_QUESTION},
                                      std::pair{IDC_GROUP_OPTIONS, IDC_PANE_OPTIONS}, std::pair{IDC_GROUP_ANSWER, IDC_PANE_ANSWER},
                                      std::pair{IDC_GROUP_EXPLAIN, IDC_PANE_EXPLAIN}}) {
        auto* box = static_cast<QGroupBox*>(Control(group));
        const bool hidden = Control(pane)->isHidden();
        Control(pane)->setParent(box);
        Control(pane)->setVisible(!hidden);
        auto* inside = new QVBoxLayout(box);
        inside->setContentsMargins(3, 3, 3, 3);
        inside->addWidget(Control(pane));
    }

    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    // The box on the middle line of its button.
    auto* passage = new QHBoxLayout;
    passage->setSpacing(4);
    passage->addWidget(Control(IDC_HAS_PASSAGE), 0, Qt::AlignVCenter);
    passage->addWidget(Control(IDC_LOAD_PASSAGE), 0, Qt::AlignVCenter);
    passage->setAlignment(Qt::AlignTop);
    top->addLayout(passage);
    top->addStretch(1);
    top->addWidget(m_scoreLabel, 0, Qt::AlignVCenter);
    top->addWidget(Control(IDC_SCORE), 0, Qt::AlignTop);
    top->addWidget(Control(IDC_SHOW_POINTS), 0, Qt::AlignTop);
    top->addSpacing(6);
    top->addWidget(Control(IDC_LOAD_QUESTION), 0, Qt::AlignTop);
    top->addSpacing(6);
    for (int id : {IDC_LEVEL_ELEM, IDC_LEVEL_MID, IDC_LEVEL_HIGH})
        top->addWidget(Control(id), 0, Qt::AlignTop);
    top->addSpacing(6);
    for (auto [type, box] : {std::pair{IDC_TYPE_OBJ, IDC_DEFAULT_OBJ}, std::pair{IDC_TYPE_SBJ, IDC_DEFAULT_SBJ},
                             std::pair{IDC_TYPE_DES, IDC_DEFAULT_DES}}) {
        auto* column = new QVBoxLayout;
        column->setSpacing(0);
        column->addWidget(Control(type), 0, Qt::AlignHCenter);
        column->addWidget(Control(box), 0, Qt::AlignHCenter);
        top->addLayout(column);
    }
    top->addWidget(Control(IDC_DIFFICULTY), 0, Qt::AlignTop);
    top->addSpacing(6);
    top->addWidget(Control(IDC_OPTION_MENU), 0, Qt::AlignTop);

    auto* left = new QVBoxLayout;
    left->addWidget(Control(IDC_GROUP_QUESTION), 295);
    left->addWidget(Control(IDC_GROUP_OPTIONS), 217);
    auto* right = new QVBoxLayout;
    right->addWidget(Control(IDC_GROUP_ANSWER), 256);
    right->addWidget(Control(IDC_GROUP_EXPLAIN), 257);
    auto* columns = new QHBoxLayout;
    columns->addWidget(Control(IDC_GROUP_PASSAGE), 327);
    columns->addLayout(left, 327);
    columns->addLayout(right, 332);

    // A save's steps and what it saved show at the left of the bottom row.
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setTextVisible(true);
    m_progress->setFixedWidth(260);
    m_progress->setAccessibleName(QStringLiteral("저장 진행"));
    m_progress->hide();
    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("notice"));
    m_notice->setStyleSheet(QStringLiteral("QLabel { background: #e6f4e6; border: 1px solid #8fbf8f; padding: 2px 8px; }"));
    m_notice->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_notice->hide();
    m_noticeTimer = new QTimer(this);
    m_noticeTimer->setSingleShot(true);
    m_noticeTimer->setInterval(10000);
    connect(m_noticeTimer, &QTimer::timeout, m_notice, &QWidget::hide);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_progress);
    bottom->addWidget(m_notice, 1);
    bottom->addStretch(0);
    bottom->addWidget(Control(IDC_APPLY_STYLE));
    bottom->addWidget(Control(IDC_SAVE));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 4, 8, 6);
    root->setSpacing(4);
    root->addLayout(top);
    root->addLayout(columns, 1);
    root->addLayout(bottom);
    setMinimumSize(560, 400);
    ScaleFixedControls(1.0);
}

void CVarnelDlg::ScaleFixedControls(double scale)
{
    // Picture buttons and check boxes keep the template's size at the layout's scale; a
    // button with a caption never gets smaller than its caption needs.
    const auto scaled = [scale](QSize size) {
        return QSize(std::max(12, static_cast<int>(size.width() * scale)), std::max(12, static_cast<int>(size.height() * scale)));
    };
    for (const auto& [id, size] : m_templateSizes) {
        QWidget* w = Control(id);
        if (!w || (id >= IDC_GROUP_ANSWER && id <= IDC_PANE_WORK))
            continue;
        QSize wanted = scaled(size);
        if (auto* button = qobject_cast<QPushButton*>(w))
            wanted = wanted.expandedTo(QSize(w->fontMetrics().horizontalAdvance(button->text()) + 18, w->sizeHint().height()));
        else if (qobject_cast<QCheckBox*>(w) && !static_cast<QCheckBox*>(w)->text().isEmpty())
            wanted = wanted.expandedTo(w->sizeHint());
        w->setFixedSize(wanted);
        if (auto* button = qobject_cast<QToolButton*>(w))
            button->setIconSize(wanted);
    }
}

QRect CVarnelDlg::AvailableGeometry() const
{
    if (m_screenSize)
        return QRect(QPoint(0, 0), m_screenSize());
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
}

QMargins CVarnelDlg::FrameMargins() const
{
    if (isVisible()) {
        const QRect frame = frameGeometry();
        const QRect client = geometry();
        const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                               frame.bottom() - client.bottom());
        if (margins.top() > 0)
            return margins;
    }
    // Until the window manager has framed the window: a title bar as tall as the tallest
    // common ones (53 pixels were measured), so the window fits from its first frame; a
    // thinner frame gives the room back once it is known (showEvent).
    return kFrameEstimate;
}

void CVarnelDlg::FitWindow(bool passageColumn, float scale)
{
    m_templateScale = scale;
    m_fittedFrame = FrameMargins();
    const DialogWindowFit fit = FitDialogWindow(AvailableGeometry(), m_fittedFrame, scale, passageColumn);
    ScaleFixedControls(fit.scale);
    setGeometry(fit.geometry);
    if (layout())
        layout()->activate();
}

void CVarnelDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Once the window manager has put its frame around the window, the window is fitted
    // again if that frame pushed it past the available area.
    QTimer::singleShot(0, this, [this] {
        const QRect available = AvailableGeometry();
        if (isVisible() && !isMaximized() && (!available.contains(frameGeometry()) || FrameMargins() != m_fittedFrame))
            FitWindow(IsChecked(IDC_HAS_PASSAGE), m_templateScale);
    });
}

void CVarnelDlg::OnInitDialog()
{
    m_core->InitDialog();
}

editor::CHwpctrl* CVarnelDlg::Pane(int id) const { return qobject_cast<editor::CHwpctrl*>(Control(id)); }

QWidget* CVarnelDlg::Control(int id) const
{
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CVarnelDlg::OnOptionMenu()
{
    QMenu menu(this);
    static const char* const kItems[] = {"모든파일 초기화", "지문파일 초기화", "문제파일 초기화",
                                         "보기파일 초기화", "정답파일 초기화", "해설파일 초기화"};
    for (int i = 0; i < 6; ++i) {
        QAction* action = menu.addAction(QString::fromUtf8(kItems[i]));
        // The command arrives once the menu has closed, as a posted command would.
        connect(action, &QAction::triggered, this,
                [this, command = ID_RESET_ALL + i] { QTimer::singleShot(0, this, [this, command] { m_core->OnResetCommand(command); }); });
    }
    menu.addSeparator();
    connect(menu.addAction(QStringLiteral("내보내기…")), &QAction::triggered, this,
            [this] { QTimer::singleShot(0, this, [this] { OnExportCommand(); }); });
    QMenu* hwpx = menu.addMenu(QStringLiteral("HWPX로 내보내기"));
    for (const auto& [pane, name] : {std::pair{IDC_PANE_PASSAGE, "지문"}, std::pair{IDC_PANE_QUESTION, "문제"},
                                     std::pair{IDC_PANE_OPTIONS, "보기"}, std::pair{IDC_PANE_ANSWER, "정답"},
                                     std::pair{IDC_PANE_EXPLAIN, "해설"}}) {
        if (Pane(pane) == nullptr || !Pane(pane)->isVisibleTo(this))
            continue;
        connect(hwpx->addAction(QStringLiteral("%1 창…").arg(QString::fromUtf8(name))), &QAction::triggered, this,
                [this, pane, name] { QTimer::singleShot(0, this, [this, pane, name] { OnExportPaneCommand(pane, QString::fromUtf8(name)); }); });
    }
    hwpx->setEnabled(!hwpx->isEmpty());
    QWidget* button = Control(IDC_OPTION_MENU);
    const QPoint topLeft = button->mapToGlobal(QPoint(0, 0));
    m_optionMenuPoint = QPoint(topLeft.x() - 60, topLeft.y() + 25);
    m_optionMenu = &menu;
    menu.exec(m_optionMenuPoint);
    m_optionMenu = nullptr;
}

void CVarnelDlg::OnExportCommand()
{
    if (SavedQuestionFile(*m_core).empty()) {
        ShowMessage("저장한 문제만 내보낼 수 있습니다. 먼저 저장하십시오.");
        return;
    }
    const QString qti = QStringLiteral("QTI 3.0 패키지 (*.zip)");
    const QString moodle = QStringLiteral("Moodle XML (*.xml)");
    QString chosen = qti;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("문제 내보내기"), QString(), qti + ";;" + moodle,
                                                &chosen);
    if (path.isEmpty())
        return;
    const ExportFormat format = chosen == moodle ? ExportFormat::Moodle : ExportFormat::Qti;
    const QString suffix = format == ExportFormat::Moodle ? QStringLiteral(".xml") : QStringLiteral(".zip");
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    ExportCurrentQuestion(*m_core, path.toStdString(), format);
}

void CVarnelDlg::OnExportPaneCommand(int pane, const QString& name)
{
    const QString filter = QStringLiteral("HWPX 문서 (*.hwpx)");
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("%1 창을 HWPX로 내보내기").arg(name), QString(), filter);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".hwpx"), Qt::CaseInsensitive))
        path += QStringLiteral(".hwpx");
    // The pane writes a temporary file beside the chosen one and renames it over it.
    if (!Pane(pane)->SaveDocumentAs(path.toStdU16String(), u"HWPX")) {
        ShowMessage(QStringLiteral("%1 창을 HWPX 문서로 내보내지 못했습니다: %2\n폴더가 있는지, 쓸 수 있는지 확인하십시오.")
                        .arg(name, QDir::toNativeSeparators(path))
                        .toStdString());
        return;
    }
    ShowNotice(QStringLiteral("%1 창을 HWPX 문서로 내보냈습니다: %2").arg(name, QDir::toNativeSeparators(path)).toStdString());
}

void CVarnelDlg::SetBusy(const std::string& status) { SetBusy(QString::fromStdString(status)); }

void CVarnelDlg::ShowProgress(const std::string& step, double done)
{
    if (done < 0.0) {
        m_progress->hide();
        return;
    }
    m_notice->hide();
    m_progress->setFormat(QString::fromStdString(step));
    m_progress->setAccessibleDescription(m_progress->format());
    m_progress->setValue(static_cast<int>(std::clamp(done, 0.0, 1.0) * 100.0));
    m_progress->show();
    // Painted now: the save runs on without returning to the event loop (which would
    // also let the teacher's keys in).
    if (layout())
        layout()->activate();
    m_progress->repaint();
}

void CVarnelDlg::ShowNotice(const std::string& text)
{
    const QString notice = QString::fromStdString(text);
    m_notice->setToolTip(notice);
    m_notice->setAccessibleName(notice);
    const int room = std::max(100, width() - Control(IDC_APPLY_STYLE)->width() - Control(IDC_SAVE)->width() - 60);
    m_notice->setText(m_notice->fontMetrics().elidedText(notice, Qt::ElideMiddle, room));
    m_notice->show();
    m_noticeTimer->start();
    QAccessibleEvent alert(m_notice, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void CVarnelDlg::WhileBusy()
{
    // Input is filtered out while busy (eventFilter), so everything else may run.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

namespace {

// Everything by which a user changes something: keys, pointers of every kind (mouse,
// touch, tablet, gestures, wheel, context menus), text input, shortcuts and drops.
bool IsUserInput(const QEvent* event)
{
    if (dynamic_cast<const QInputEvent*>(event))
        return true;
    switch (event->type()) {
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
    case QEvent::Gesture:
    case QEvent::GestureOverride:
    case QEvent::FileOpen:
        return true;
    default:
        return false;
    }
}

} // namespace

bool CVarnelDlg::eventFilter(QObject* watched, QEvent* event)
{
    if (m_busy && IsUserInput(event))
        return true;
    if (event->type() == QEvent::MouseButtonPress) {
        // A click on a pane's frame or caption means that pane.
        for (const auto& [group, pane] : {std::pair{IDC_GROUP_PASSAGE, IDC_PANE_PASSAGE}, std::pair{IDC_GROUP_QUESTION, IDC_PANE_QUESTION},
                                          std::pair{IDC_GROUP_OPTIONS, IDC_PANE_OPTIONS}, std::pair{IDC_GROUP_ANSWER, IDC_PANE_ANSWER},
                                          std::pair{IDC_GROUP_EXPLAIN, IDC_PANE_EXPLAIN}}) {
            if (watched == Control(group) && Pane(pane) && Pane(pane)->isEnabled()) {
                Pane(pane)->TextView()->setFocus(Qt::MouseFocusReason);
                break;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CVarnelDlg::SetBusy(const QString& text)
{
    if (text.isEmpty()) {
        if (m_busy) {
            m_busy = false;
            m_busyLabel->hide();
            QApplication::restoreOverrideCursor();
        }
        return;
    }
    if (!m_busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    m_busy = true;
    m_busyLabel->setText(text);
    m_busyLabel->adjustSize();
    m_busyLabel->move((width() - m_busyLabel->width()) / 2, height() - m_busyLabel->height() - 8);
    m_busyLabel->raise();
    m_busyLabel->show();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// --- DialogView -------------------------------------------------------------------------

bool CVarnelDlg::IsChecked(int id) const
{
    auto* box = qobject_cast<QCheckBox*>(Control(id));
    return box && box->isChecked();
}

void CVarnelDlg::SetChecked(int id, bool checked)
{
    if (auto* box = qobject_cast<QCheckBox*>(Control(id)))
        box->setChecked(checked);
}

void CVarnelDlg::SetButtonPicture(int id, const std::string& path)
{
    auto* button = qobject_cast<QAbstractButton*>(Control(id));
    if (!button)
        return;
    QPixmap picture;
    if (picture.load(QString::fromStdString(path)))
        button->setIcon(QIcon(picture));
    else
        button->setIcon(QIcon());
    button->setIconSize(button->size());
    button->setAccessibleDescription(PictureState(QFileInfo(QString::fromStdString(path)).completeBaseName()));
}

QString CVarnelDlg::PictureState(const QString& picture)
{
    // What a picture shows, in words: "dif2", "ele_e", "obj_n".
    if (picture.startsWith(QLatin1String("dif")))
        return QStringLiteral("난이도: %1").arg(picture.mid(3));
    if (picture.endsWith(QLatin1String("_e")))
        return QStringLiteral("선택됨");
    if (picture.endsWith(QLatin1String("_d")))
        return QStringLiteral("선택 안 됨");
    if (picture.endsWith(QLatin1String("_y")))
        return QStringLiteral("켜짐");
    if (picture.endsWith(QLatin1String("_n")))
        return QStringLiteral("꺼짐");
    return {};
}

void CVarnelDlg::RepaintNow(int id)
{
    if (QWidget* w = Control(id))
        w->repaint();
}

void CVarnelDlg::ShowControl(int id, bool shown)
{
    if (QWidget* w = Control(id))
        w->setVisible(shown);
}

bool CVarnelDlg::IsControlShown(int id) const
{
    QWidget* w = Control(id);
    return w && !w->isHidden();
}

void CVarnelDlg::EnableControl(int id, bool enabled)
{
    if (QWidget* w = Control(id))
        w->setEnabled(enabled);
}

bool CVarnelDlg::IsControlEnabled(int id) const
{
    QWidget* w = Control(id);
    return w && w->isEnabled();
}

dlg::Rect CVarnelDlg::ControlRect(int id) const
{
    QRect r;
    if (id == IDC_DIALOG)
        r = geometry();
    else if (QWidget* w = Control(id))
        r = w->geometry();
    return {r.x(), r.y(), r.width(), r.height()};
}

void CVarnelDlg::MoveControl(int id, const dlg::Rect& rect)
{
    const QRect r(rect.left, rect.top, rect.width, rect.height);
    if (id == IDC_DIALOG) {
        setGeometry(r);
        return;
    }
    if (QWidget* w = Control(id)) {
        w->setGeometry(r);
        if (auto* button = qobject_cast<QToolButton*>(w))
            button->setIconSize(r.size());
    }
}

int CVarnelDlg::ScreenWidth() const
{
    if (m_screenSize)
        return m_screenSize().width();
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().width() : 1920;
}

int CVarnelDlg::ScreenHeight() const
{
    if (m_screenSize)
        return m_screenSize().height();
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().height() : 1080;
}

bool CVarnelDlg::AskYesNo(const std::string& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Varnel"), QString::fromStdString(text),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void CVarnelDlg::ShowQuestionName(const std::string& questionName)
{
    const QString name = QString::fromStdString(questionName).trimmed();
    setWindowTitle(name.isEmpty() ? QStringLiteral("Varnel") : QStringLiteral("%1 — Varnel").arg(name));
}

void CVarnelDlg::ShowScore(std::optional<std::int32_t> tenths)
{
    m_showingScore = true;
    static_cast<ScoreBox*>(Control(IDC_SCORE))->SetTenths(tenths);
    m_showingScore = false;
}

void CVarnelDlg::ShowMessage(const std::string& text)
{
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Varnel"), QString::fromStdString(text), QMessageBox::Ok, this);
    box.exec();
}

void CVarnelDlg::SayInKorean(QFileDialog& dialog)
{
    // Ours, whatever Qt's translations hold.
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("찾는 위치:"));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("파일 이름:"));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("파일 형식:"));
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("열기"));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("취소"));
}

std::string CVarnelDlg::ChooseQuestionFile(const std::string& folder)
{
    // The chooser starts in the workspace, also before anything was saved there.
    const QString start = QString::fromStdString(folder);
    QDir().mkpath(start);
    QFileDialog dialog(this, QStringLiteral("문제 불러오기"), start, QStringLiteral("문제파일 (*.dat)"));
    dialog.setDirectory(start);
    dialog.setNameFilter(QStringLiteral("문제파일 (*.dat)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    SayInKorean(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front().toStdString();
}

void CVarnelDlg::PostClose()
{
    // The program closes the dialog itself (a save the launcher learnt of, a launch that
    // failed): nothing is left to ask about.
    QTimer::singleShot(0, this, [this] {
        m_closeAsked = true;
        close();
    });
}

bool CVarnelDlg::HasUnsavedChanges() const { return m_core->HasUnsavedChanges(); }

void CVarnelDlg::closeEvent(QCloseEvent* event)
{
    if (m_busy) {
        event->ignore(); // the sibling program's answer is still awaited
        return;
    }
    if (!m_closeAsked && HasUnsavedChanges()) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("Varnel"),
                        QStringLiteral("저장하지 않은 내용이 있습니다. 닫을까요?"), QMessageBox::Yes | QMessageBox::No,
                        this);
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    m_closeAsked = false;
    m_core->OnClose();
    m_closing = true;
    QDialog::closeEvent(event); // ends the dialog through reject()
    m_closing = false;
}

void CVarnelDlg::reject()
{
    // Escape never closes the dialog: one key press must not throw away a question. Only
    // closing the window (closeEvent) ends it.
    if (m_closing)
        QDialog::reject();
}
