#include "tools/fennick/fennick_dialog.h"

#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace fennick {
namespace {

constexpr int kItemRole = Qt::UserRole;
const QSize kThumbnailSize(72, 102);   // A4 proportions

QString KindLabel(const PickerItem& item)
{
    switch (item.kind) {
    case ItemKind::LocalPassage: return QStringLiteral("내 지문");
    case ItemKind::StoredPassage: return QStringLiteral("받은 지문");
    case ItemKind::Question:
        return item.storeKind == "local_exam" ? QStringLiteral("내 문제")
                                              : QStringLiteral("문제 · %1").arg(QString::fromStdString(item.storeKind));
    }
    return {};
}

QString ItemText(const PickerItem& item)
{
    const QString when = item.modified
                             ? QDateTime::fromSecsSinceEpoch(item.modified).toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                             : QString();
    QString title = QStringLiteral("[%1] %2번").arg(KindLabel(item)).arg(item.key);
    if (!item.examName.empty())
        title += QStringLiteral(" · ") + QString::fromStdString(item.examName);
    if (!when.isEmpty())
        title += QStringLiteral("   ") + when;
    const QString line =
        item.firstLine.empty() ? QStringLiteral("(첫 줄 없음)") : QString::fromStdString(item.firstLine);
    return title + QLatin1Char('\n') + line;
}

QIcon BlankPageIcon()
{
    QPixmap page(kThumbnailSize);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setPen(QColor(190, 190, 190));
    painter.drawRect(page.rect().adjusted(0, 0, -1, -1));
    return QIcon(page);
}

} // namespace

CFennickDlg::CFennickDlg(PickerRequest request, std::vector<PickerItem> items, QWidget* parent)
    : QDialog(parent), m_request(std::move(request)), m_items(std::move(items))
{
    setWindowTitle(QStringLiteral("지문 불러오기"));
    resize(720, 640);

    const QString server = m_request.webServer.empty() ? QStringLiteral("(없음)")
                                                        : QString::fromStdString(m_request.webServer);
    auto* who = new QLabel(QStringLiteral("학교 %1 · 사용자 %2 · 서버 %3 (표시만 하며 내려받지 않습니다)")
                               .arg(m_request.schoolKey)
                               .arg(m_request.userKey)
                               .arg(server),
                           this);
    who->setTextInteractionFlags(Qt::TextSelectableByMouse);
    who->setWordWrap(true);

    m_pFilter = new QComboBox(this);
    m_pFilter->addItems({QStringLiteral("전체"), QStringLiteral("지문"), QStringLiteral("문제")});
    m_pSearch = new QLineEdit(this);
    m_pSearch->setPlaceholderText(QStringLiteral("검색: 번호나 첫 줄의 낱말"));
    m_pSearch->setClearButtonEnabled(true);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(m_pFilter);
    searchRow->addWidget(m_pSearch, 1);

    m_pList = new QListWidget(this);
    m_pList->setIconSize(kThumbnailSize);
    m_pList->setSpacing(2);
    m_pList->setUniformItemSizes(true);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    const QIcon blank = BlankPageIcon();
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        auto* row = new QListWidgetItem(blank, ItemText(m_items[i]), m_pList);
        row->setData(kItemRole, static_cast<int>(i));
        row->setToolTip(QString::fromStdString(m_items[i].folder));
    }

    m_pCount = new QLabel(this);
    m_pButtons = new QDialogButtonBox(this);
    m_pChooseButton = m_pButtons->addButton(QStringLiteral("선택"), QDialogButtonBox::AcceptRole);
    m_pChooseButton->setDefault(true);
    m_pButtons->addButton(QStringLiteral("취소"), QDialogButtonBox::RejectRole);
    m_pButtons->addButton(QStringLiteral("도움말"), QDialogButtonBox::HelpRole);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_pCount, 1);
    bottom->addWidget(m_pButtons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(who);
    layout->addLayout(searchRow);
    layout->addWidget(m_pList, 1);
    layout->addLayout(bottom);

    connect(m_pSearch, &QLineEdit::textChanged, this, &CFennickDlg::ApplyFilter);
    connect(m_pFilter, &QComboBox::currentIndexChanged, this, &CFennickDlg::ApplyFilter);
    connect(m_pList, &QListWidget::itemActivated, this, &CFennickDlg::ChooseItem);
    connect(m_pList, &QListWidget::currentItemChanged, this, &CFennickDlg::UpdateButtons);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, [this] { ChooseItem(m_pList->currentItem()); });
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pButtons, &QDialogButtonBox::helpRequested, this, &CFennickDlg::ShowHelp);
    connect(&m_thumbnailTimer, &QTimer::timeout, this, &CFennickDlg::LoadNextThumbnail);

    ApplyFilter();
    m_pSearch->setFocus();
    m_thumbnailTimer.start(0);
}

const PickerItem& CFennickDlg::ItemAt(int row) const
{
    return m_items.at(static_cast<std::size_t>(m_pList->item(row)->data(kItemRole).toInt()));
}

QString CFennickDlg::HelpText()
{
    return QStringLiteral(
        "이 창은 지금 학교와 사용자의 작업 폴더에 있는 지문과 문제를 최근 것부터 보여 줍니다.\n\n"
        "• 내 지문: 이 컴퓨터에서 만든 지문 (local_examtext)\n"
        "• 받은 지문: 작업 폴더에 받아 둔 지문 (examtext)\n"
        "• 문제: 기록(.dat)이 있는 문제 (local_exam과 그 밖의 문제 폴더)\n\n"
        "검색 칸에 번호나 첫 줄의 낱말을 쓰면 목록이 줄어듭니다. 두 번 누르거나 [선택]을 누르면 "
        "지문은 편집기의 지문 칸에 열리고, 문제는 문제 전체가 열립니다. [취소]는 아무것도 바꾸지 않습니다.\n\n"
        "서버 주소는 보여 주기만 합니다. 이 프로그램은 네트워크를 쓰지 않으며 아무것도 내려받지 않습니다: "
        "작업 폴더에 이미 있는 항목만 고를 수 있습니다.");
}

void CFennickDlg::ApplyFilter()
{
    const std::string query = m_pSearch->text().toStdString();
    const int filter = m_pFilter->currentIndex();
    int shown = 0;
    QListWidgetItem* firstShown = nullptr;
    for (int row = 0; row < m_pList->count(); ++row) {
        const PickerItem& item = ItemAt(row);
        const bool kindMatches = filter == AllItems || (filter == PassagesOnly) == IsPassage(item);
        const bool visible = kindMatches && MatchesSearch(item, query);
        m_pList->item(row)->setHidden(!visible);
        if (visible) {
            ++shown;
            if (!firstShown)
                firstShown = m_pList->item(row);
        }
    }
    QListWidgetItem* current = m_pList->currentItem();
    if (!current || current->isHidden())
        m_pList->setCurrentItem(firstShown);
    m_pCount->setText(m_items.empty() ? QStringLiteral("작업 폴더에 지문이나 문제가 없습니다.")
                                      : QStringLiteral("%1개 중 %2개").arg(m_items.size()).arg(shown));
    UpdateButtons();
}

void CFennickDlg::UpdateButtons()
{
    QListWidgetItem* current = m_pList->currentItem();
    m_pChooseButton->setEnabled(current && !current->isHidden());
}

void CFennickDlg::ChooseItem(QListWidgetItem* listItem)
{
    if (!listItem || listItem->isHidden())
        return;
    const std::string answer = AnswerFor(m_items.at(static_cast<std::size_t>(listItem->data(kItemRole).toInt())));
    if (answer.empty()) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("이 문제의 기록이 너무 길어 편집기에 넘길 수 없습니다."));
        return;
    }
    m_strAnswer = answer;
    accept();
}

void CFennickDlg::ShowHelp() { QMessageBox::information(this, QStringLiteral("도움말"), HelpText()); }

void CFennickDlg::LoadNextThumbnail()
{
    while (m_nNextThumbnail < m_pList->count()) {
        QListWidgetItem* row = m_pList->item(m_nNextThumbnail++);
        const PickerItem& item = m_items.at(static_cast<std::size_t>(row->data(kItemRole).toInt()));
        if (item.imagePath.empty())
            continue;
        QImageReader reader(QString::fromStdString(item.imagePath));
        const QSize size = reader.size();
        if (size.isValid())
            reader.setScaledSize(size.scaled(kThumbnailSize, Qt::KeepAspectRatio));
        const QImage picture = reader.read();
        if (!picture.isNull()) {
            QPixmap page(kThumbnailSize);
            page.fill(Qt::white);
            QPainter painter(&page);
            painter.drawImage((kThumbnailSize.width() - picture.width()) / 2, 0, picture);
            painter.setPen(QColor(190, 190, 190));
            painter.drawRect(page.rect().adjusted(0, 0, -1, -1));
            painter.end();
            row->setIcon(QIcon(page));
        }
        return;   // one picture per tick
    }
    m_thumbnailTimer.stop();
}

} // namespace fennick
