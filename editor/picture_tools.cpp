#include "editor/picture_tools.h"

#include "editor/hwpctrl.h"
#include "document/kept_objects.h"
#include "hwp/error.h"
#include "hwp/object_description.h"
#include "hwp/picture.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QImage>
#include <QImageReader>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>

namespace editor {

namespace {

constexpr double kUnitsPerMm = 7200.0 / 25.4;
// A picture is not made smaller than 1 mm nor larger than about 2 m a side.
constexpr hwp::HwpUnit kMinSide = 283;
constexpr hwp::HwpUnit kMaxSide = 566929;
constexpr double kHandleSize = 7;   // viewport pixels

QString UnreadableMessage()
{
    return QStringLiteral("그림 파일을 읽을 수 없습니다. PNG, JPEG, GIF, BMP 그림만 넣을 수 있습니다.");
}

QString TooLargeMessage(const QSize& size)
{
    return QStringLiteral("그림이 너무 큽니다(%1 × %2 화소). 5천만 화소가 넘는 그림은 넣을 수 없습니다.")
        .arg(size.width())
        .arg(size.height());
}

KeptObjectRef PictureObjectAt(const QTextDocument& text, int position)
{
    if (position < 0 || position + 1 >= text.characterCount() ||
        text.characterAt(position) != QChar::ObjectReplacementCharacter)
        return nullptr;
    QTextCursor cursor(const_cast<QTextDocument*>(&text));
    cursor.setPosition(position + 1);
    KeptObjectRef object = KeptObjectOf(cursor.charFormat());
    if (!object || KeptFieldEndOf(cursor.charFormat()) || !hwp::IsPicture(object->control))
        return nullptr;
    return object;
}

std::optional<hwp::Picture> PictureOf(const KeptObject& object)
{
    try {
        return hwp::ReadPicture(object.control);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The picture the view's selection is: exactly one picture character.
int SelectedPicture(const QTextEdit& view)
{
    const QTextCursor cursor = view.textCursor();
    if (cursor.selectionEnd() - cursor.selectionStart() != 1)
        return -1;
    return PictureObjectAt(*view.document(), cursor.selectionStart()) ? cursor.selectionStart() : -1;
}

void SelectPicture(QTextEdit& view, int position)
{
    QTextCursor cursor(view.document());
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
}

hwp::HwpUnit Side(double units)
{
    return static_cast<hwp::HwpUnit>(std::clamp(std::round(units), double(kMinSide), double(kMaxSide)));
}

// The corners of a rect in the order top left, top right, bottom right, bottom left.
std::array<QPointF, 4> Corners(const QRectF& rect)
{
    return {rect.topLeft(), rect.topRight(), rect.bottomRight(), rect.bottomLeft()};
}

// Draws the frame and corner handles of the selected picture over the text and lets
// people drag a corner. Lives on the view's viewport; mouse events pass through it to
// the filter below.
class PictureHandles : public QWidget {
public:
    PictureHandles(CHwpctrl& pane) : QWidget(pane.TextView()->viewport()), m_pane(pane)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setGeometry(parentWidget()->rect());
        show();
    }

    // Repaints where the frame was and where it is now, nothing when neither is: the overlay
    // covers the whole view, and repainting all of it repaints all the text under it, after
    // every letter typed.
    void Refresh()
    {
        setGeometry(parentWidget()->rect());
        raise();
        const QRect now = FrameArea();
        if (now != m_shown) {
            update(m_shown);
            update(now);
            m_shown = now;
        }
    }

    // The event filter of the viewport: true when the event was a picture's.
    bool Mouse(QMouseEvent& event)
    {
        QTextEdit& view = *m_pane.TextView();
        const QPointF at = event.position();
        switch (event.type()) {
        case QEvent::MouseButtonPress: {
            if (event.button() != Qt::LeftButton)
                return false;
            const int selected = SelectedPicture(view);
            if (selected >= 0) {
                const int corner = CornerAt(PictureRectInView(view, selected), at);
                if (corner >= 0 && !view.isReadOnly()) {
                    hwp::HwpUnit width = 0;
                    hwp::HwpUnit height = 0;
                    PictureSizeAt(*view.document(), selected, width, height);
                    m_drag = Drag{selected, corner, at, PictureRectInView(view, selected), width, height, false};
                    return true;
                }
            }
            const int hit = PictureHitAt(view, at);
            if (hit < 0)
                return false;
            SelectPicture(view, hit);
            view.setFocus();
            Refresh();
            return true;
        }
        case QEvent::MouseMove:
            if (m_drag) {
                DragTo(view, at, event.modifiers().testFlag(Qt::ShiftModifier));
                return true;
            }
            UpdateCursorShape(view, at);
            return false;
        case QEvent::MouseButtonRelease:
            if (m_drag && event.button() == Qt::LeftButton) {
                m_drag.reset();
                Refresh();
                return true;
            }
            return false;
        case QEvent::MouseButtonDblClick:
            if (event.button() == Qt::LeftButton && PictureHitAt(view, at) >= 0 && !view.isReadOnly()) {
                const int hit = PictureHitAt(view, at);
                SelectPicture(view, hit);
                EditPictureSize(m_pane, hit);
                return true;
            }
            return false;
        default:
            return false;
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const int selected = SelectedPicture(*m_pane.TextView());
        if (selected < 0)
            return;
        const QRectF rect = PictureRectInView(*m_pane.TextView(), selected);
        if (rect.isEmpty())
            return;
        QPainter painter(this);
        QPen frame(QColor(0x30, 0x60, 0xC0));
        frame.setStyle(Qt::DashLine);
        painter.setPen(frame);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.setPen(QColor(0x30, 0x60, 0xC0));
        painter.setBrush(Qt::white);
        for (const QPointF& corner : Corners(rect))
            painter.drawRect(HandleRect(corner));
    }

private:
    struct Drag {
        int position;
        int corner;
        QPointF start;
        QRectF startRect;
        hwp::HwpUnit startWidth;
        hwp::HwpUnit startHeight;
        bool changed;
    };

    // The frame of the selected picture with its handles, in the overlay's pixels; empty
    // when no picture is selected.
    QRect FrameArea() const
    {
        const int selected = SelectedPicture(*m_pane.TextView());
        const QRectF rect = selected < 0 ? QRectF() : PictureRectInView(*m_pane.TextView(), selected);
        if (rect.isEmpty())
            return {};
        const double around = kHandleSize / 2 + 2;
        return rect.adjusted(-around, -around, around, around).toAlignedRect();
    }

    static QRectF HandleRect(const QPointF& corner)
    {
        return {corner.x() - kHandleSize / 2, corner.y() - kHandleSize / 2, kHandleSize, kHandleSize};
    }

    static int CornerAt(const QRectF& rect, const QPointF& at)
    {
        if (rect.isEmpty())
            return -1;
        const std::array<QPointF, 4> corners = Corners(rect);
        for (int i = 0; i < 4; ++i) {
            if (HandleRect(corners[static_cast<std::size_t>(i)]).adjusted(-2, -2, 2, 2).contains(at))
                return i;
        }
        return -1;
    }

    static int PictureHitAt(const QTextEdit& view, const QPointF& at)
    {
        const int near = view.cursorForPosition(at.toPoint()).position();
        for (const int candidate : {near, near - 1}) {
            if (PictureObjectAt(*view.document(), candidate) && PictureRectInView(view, candidate).contains(at))
                return candidate;
        }
        return -1;
    }

    void DragTo(QTextEdit& view, const QPointF& at, bool freeProportions)
    {
        const Drag& drag = *m_drag;
        if (drag.startRect.width() < 1 || drag.startRect.height() < 1)
            return;
        // Corners on the left or top grow the picture when dragged away from it.
        const double dx = (at.x() - drag.start.x()) * (drag.corner == 0 || drag.corner == 3 ? -1 : 1);
        const double dy = (at.y() - drag.start.y()) * (drag.corner == 0 || drag.corner == 1 ? -1 : 1);
        const double sx = std::max(0.01, (drag.startRect.width() + dx) / drag.startRect.width());
        const double sy = std::max(0.01, (drag.startRect.height() + dy) / drag.startRect.height());
        double width = drag.startWidth * sx;
        double height = drag.startHeight * sy;
        if (!freeProportions) {
            // The corner follows whichever way the mouse went further.
            const double scale = std::abs(sx - 1) >= std::abs(sy - 1) ? sx : sy;
            width = drag.startWidth * scale;
            height = drag.startHeight * scale;
        }
        if (ResizePictureAt(*view.document(), drag.position, Side(width), Side(height), drag.changed))
            m_drag->changed = true;
        Refresh();
    }

    void UpdateCursorShape(QTextEdit& view, const QPointF& at)
    {
        const int selected = SelectedPicture(view);
        const int corner = selected >= 0 ? CornerAt(PictureRectInView(view, selected), at) : -1;
        if (corner >= 0) {
            view.viewport()->setCursor(corner == 0 || corner == 2 ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
            m_cursorSet = true;
        } else if (m_cursorSet) {
            view.viewport()->setCursor(Qt::IBeamCursor);
            m_cursorSet = false;
        }
    }

    CHwpctrl& m_pane;
    std::optional<Drag> m_drag;
    QRect m_shown;   // where the frame was last asked to be painted
    bool m_cursorSet = false;
};

class PictureFilter : public QObject {
public:
    PictureFilter(CHwpctrl& pane, PictureHandles* handles) : QObject(handles), m_handles(handles)
    {
        pane.TextView()->viewport()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return m_handles->Mouse(*static_cast<QMouseEvent*>(event));
        case QEvent::Resize:
            m_handles->Refresh();
            return false;
        default:
            return false;
        }
    }

private:
    PictureHandles* m_handles;
};

void ChooseAndInsert(CHwpctrl& pane)
{
    if (pane.TextView()->isReadOnly())
        return;
    const QString path = PicturePrompts().chooseFile(pane);
    if (path.isEmpty())
        return;
    QString error;
    if (!InsertPictureFile(pane, path, error))
        PicturePrompts().showMessage(pane, error);
    pane.TextView()->setFocus();
}

} // namespace

PictureToolPrompts& PicturePrompts()
{
    static PictureToolPrompts prompts{
        [](CHwpctrl& pane) {
            return QFileDialog::getOpenFileName(&pane, QStringLiteral("그림 넣기"), QString(),
                                                QStringLiteral("그림 파일 (*.png *.jpg *.jpeg *.gif *.bmp)"));
        },
        [](CHwpctrl& pane, const QString& message) {
            QMessageBox::warning(&pane, QStringLiteral("그림 넣기"), message);
        }};
    return prompts;
}

bool InsertPictureAt(QTextCursor& cursor, const QByteArray& bytes, hwp::HwpUnit bodyWidth, QString& error, double dpi)
{
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The header tells the size before the pixels take memory.
    const QSize size = reader.size();
    const bool tooLarge =
        size.isValid() && std::uint64_t(size.width()) * std::uint64_t(size.height()) > hwp::kMaxPicturePixels;
    if (tooLarge) {
        error = TooLargeMessage(size);
        return false;
    }
    const std::string_view view8(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    try {
        (void)hwp::ReadImageInfo(view8);
    } catch (const hwp::HwpError& refused) {
        // A header only the checker reads may still say the image is too large.
        error = std::string_view(refused.what()).find("too large") != std::string_view::npos
                    ? QStringLiteral("그림이 너무 큽니다. 5천만 화소가 넘는 그림은 넣을 수 없습니다.")
                    : UnreadableMessage();
        return false;
    }
    // A sound header over damaged pixels would show as an empty box: decode once.
    if (reader.read().isNull()) {
        error = UnreadableMessage();
        return false;
    }

    auto origin = std::make_shared<hwp::Document>();
    hwp::Control control;
    try {
        control = hwp::InsertPicture(*origin, view8, dpi, bodyWidth);
    } catch (const hwp::HwpError&) {
        error = UnreadableMessage();
        return false;
    }
    auto object = std::make_shared<const KeptObject>(KeptObject{std::move(control), std::move(origin)});
    cursor.beginEditBlock();
    if (cursor.hasSelection())
        cursor.removeSelectedText();
    const QTextCharFormat around = WithoutKeptObject(cursor.charFormat());
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), KeptObjectFormat(around, object));
    cursor.endEditBlock();
    return true;
}

bool InsertPictureBytes(CHwpctrl& pane, const QByteArray& bytes, QString& error, double dpi)
{
    QTextEdit& view = *pane.TextView();
    if (view.isReadOnly()) {
        error = QStringLiteral("읽기 전용 문서에는 그림을 넣을 수 없습니다.");
        return false;
    }
    QTextCursor cursor = view.textCursor();
    if (!InsertPictureAt(cursor, bytes, pane.Document().Page().BodyWidth(), error, dpi))
        return false;
    view.setTextCursor(cursor);
    view.ensureCursorVisible();
    return true;
}

bool InsertPictureFile(CHwpctrl& pane, const QString& path, QString& error)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("그림 파일을 열 수 없습니다: %1").arg(name);
        return false;
    }
    if (file.size() > static_cast<qint64>(hwp::kMaxBinDataBytes)) {
        error = QStringLiteral("%1: 그림 파일이 너무 큽니다.").arg(name);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (InsertPictureBytes(pane, bytes, error))
        return true;
    error = QStringLiteral("%1: %2").arg(name, error);
    return false;
}

bool HasPastablePicture(const QMimeData& source)
{
    return source.hasImage() && !source.hasText();
}

bool InsertPictureFromMimeData(CHwpctrl& pane, const QMimeData& source, QString& error)
{
    // Pasted pictures are as many pixels wide as they were on the screen.
    constexpr double kScreenDpi = 96;
    for (const char* format : {"image/png", "image/jpeg", "image/gif", "image/bmp"}) {
        if (!source.hasFormat(QLatin1String(format)))
            continue;
        const QByteArray bytes = source.data(QLatin1String(format));
        if (!bytes.isEmpty())
            return InsertPictureBytes(pane, bytes, error, kScreenDpi);
    }
    const QImage image = qvariant_cast<QImage>(source.imageData());
    if (image.isNull()) {
        error = UnreadableMessage();
        return false;
    }
    if (std::uint64_t(image.width()) * std::uint64_t(image.height()) > hwp::kMaxPicturePixels) {
        error = TooLargeMessage(image.size());
        return false;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        error = UnreadableMessage();
        return false;
    }
    return InsertPictureBytes(pane, png, error, kScreenDpi);
}

int PictureCharacterAt(const QTextDocument& text, int position)
{
    for (const int candidate : {position, position - 1}) {
        if (PictureObjectAt(text, candidate))
            return candidate;
    }
    return -1;
}

bool PictureSizeAt(const QTextDocument& text, int position, hwp::HwpUnit& width, hwp::HwpUnit& height)
{
    const KeptObjectRef object = PictureObjectAt(text, position);
    const std::optional<hwp::Picture> picture = object ? PictureOf(*object) : std::nullopt;
    if (!picture)
        return false;
    width = picture->object.width;
    height = picture->object.height;
    return true;
}

bool ResizePictureAt(QTextDocument& text, int position, hwp::HwpUnit width, hwp::HwpUnit height, bool joinPrevious)
{
    const KeptObjectRef object = PictureObjectAt(text, position);
    std::optional<hwp::Picture> picture = object ? PictureOf(*object) : std::nullopt;
    if (!picture || width <= 0 || height <= 0)
        return false;
    if (picture->object.width == width && picture->object.height == height && picture->width == width &&
        picture->height == height)
        return true;
    hwp::SetPictureSize(*picture, width, height);
    auto resized = std::make_shared<const KeptObject>(KeptObject{hwp::WritePicture(*picture, &object->control), object->origin});
    QTextCursor cursor(&text);
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    const QTextCharFormat format = KeptObjectFormat(cursor.charFormat(), std::move(resized));
    if (joinPrevious)
        cursor.joinPreviousEditBlock();
    else
        cursor.beginEditBlock();
    cursor.setCharFormat(format);
    cursor.endEditBlock();
    return true;
}

QString PictureAltTextAt(const QTextDocument& text, int position)
{
    const KeptObjectRef object = PictureObjectAt(text, position);
    const std::optional<hwp::Picture> picture = object ? PictureOf(*object) : std::nullopt;
    return picture ? QString::fromStdU16String(hwp::ObjectDescription(picture->object)) : QString();
}

bool SetPictureAltTextAt(QTextDocument& text, int position, const QString& altText)
{
    const KeptObjectRef object = PictureObjectAt(text, position);
    std::optional<hwp::Picture> picture = object ? PictureOf(*object) : std::nullopt;
    if (!picture)
        return false;
    hwp::SetObjectDescription(picture->object, altText.toStdU16String());
    auto described = std::make_shared<const KeptObject>(KeptObject{hwp::WritePicture(*picture, &object->control), object->origin});
    QTextCursor cursor(&text);
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    cursor.setCharFormat(KeptObjectFormat(cursor.charFormat(), std::move(described)));
    return true;
}

QRectF PictureRectInView(const QTextEdit& view, int position)
{
    QTextDocument& text = *view.document();
    const KeptObjectRef object = PictureObjectAt(text, position);
    if (!object)
        return {};
    const QTextBlock block = text.findBlock(position);
    // Asking for the block's rect lays it out when it is not yet.
    const QRectF blockRect = text.documentLayout()->blockBoundingRect(block);
    const QTextLayout* layout = block.layout();
    if (layout == nullptr)
        return {};
    const int inBlock = position - block.position();
    const QTextLine line = layout->lineForTextPosition(inBlock);
    if (!line.isValid())
        return {};
    const QPaintDevice* device = text.documentLayout()->paintDevice();
    const double scale = device != nullptr ? device->logicalDpiY() / 96.0 : 1.0;
    const auto painter = KeptObjectPainterFor(object->control);
    const QSizeF size = painter->Size(*object) * scale;
    // An inline object stands on the base line, the part below it that it reaches down.
    const double descent = SitsOnOwnBaseline(object->control) ? painter->Descent(*object) * scale : 0.0;
    const QPointF origin =
        blockRect.topLeft() + QPointF(line.cursorToX(inBlock), line.y() + line.ascent() - size.height() + descent);
    const QPointF scroll(view.horizontalScrollBar()->value(), view.verticalScrollBar()->value());
    return QRectF(origin - scroll, size);
}

bool EditPictureSize(CHwpctrl& pane, int position)
{
    QTextDocument& text = *pane.TextView()->document();
    hwp::HwpUnit width = 0;
    hwp::HwpUnit height = 0;
    if (pane.TextView()->isReadOnly() || !PictureSizeAt(text, position, width, height) || width <= 0 || height <= 0)
        return false;

    QDialog dialog(&pane);
    dialog.setObjectName(QStringLiteral("picture_size_dialog"));
    dialog.setWindowTitle(QStringLiteral("그림 크기"));
    auto* form = new QFormLayout(&dialog);
    auto makeBox = [&](const QString& name, hwp::HwpUnit value) {
        auto* box = new QDoubleSpinBox(&dialog);
        box->setObjectName(name);
        box->setDecimals(1);
        box->setRange(kMinSide / kUnitsPerMm, kMaxSide / kUnitsPerMm);
        box->setSuffix(QStringLiteral(" mm"));
        box->setValue(value / kUnitsPerMm);
        return box;
    };
    QDoubleSpinBox* widthBox = makeBox(QStringLiteral("picture_width"), width);
    QDoubleSpinBox* heightBox = makeBox(QStringLiteral("picture_height"), height);
    auto* keep = new QCheckBox(QStringLiteral("비율 유지"), &dialog);
    keep->setObjectName(QStringLiteral("keep_ratio"));
    keep->setChecked(true);
    form->addRow(QStringLiteral("너비"), widthBox);
    form->addRow(QStringLiteral("높이"), heightBox);
    form->addRow(keep);
    const QString altBefore = PictureAltTextAt(text, position);
    auto* altText = new QLineEdit(altBefore, &dialog);
    altText->setObjectName(QStringLiteral("picture_alt_text"));
    altText->setToolTip(QStringLiteral("내보낸 문제에서 그림 대신 읽히는 글입니다"));
    form->addRow(QStringLiteral("대체 텍스트"), altText);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    // Proportions from the exact size, not the rounded millimetres.
    double ratio = double(height) / double(width);
    bool following = false;
    QObject::connect(widthBox, &QDoubleSpinBox::valueChanged, &dialog, [&](double value) {
        if (following || !keep->isChecked())
            return;
        following = true;
        heightBox->setValue(value * ratio);
        following = false;
    });
    QObject::connect(heightBox, &QDoubleSpinBox::valueChanged, &dialog, [&](double value) {
        if (following || !keep->isChecked())
            return;
        following = true;
        widthBox->setValue(value / ratio);
        following = false;
    });
    QObject::connect(keep, &QCheckBox::toggled, &dialog, [&](bool on) {
        if (on && widthBox->value() > 0)
            ratio = heightBox->value() / widthBox->value();
    });
    if (dialog.exec() != QDialog::Accepted)
        return false;
    // Unchanged boxes keep the exact size rather than its rounding to 0.1 mm.
    const auto units = [](QDoubleSpinBox* box, hwp::HwpUnit before) {
        const double shown = std::round(before / kUnitsPerMm * 10) / 10;
        return std::abs(box->value() - shown) < 1e-9 ? before : Side(box->value() * kUnitsPerMm);
    };
    const bool resized = ResizePictureAt(text, position, units(widthBox, width), units(heightBox, height));
    if (resized && altText->text() != altBefore)
        SetPictureAltTextAt(text, position, altText->text());
    return resized;
}

void InstallPictureTools(CHwpctrl& pane)
{
    auto* insert = new QAction(QStringLiteral("그림 넣기"), &pane);
    insert->setObjectName(QStringLiteral("insert_picture"));
    insert->setToolTip(QStringLiteral("그림 넣기: PNG, JPEG, GIF, BMP 파일의 그림을 넣습니다"));
    QObject::connect(insert, &QAction::triggered, &pane, [&pane] { ChooseAndInsert(pane); });
    if (QMenu* menu = pane.InsertMenu()) {
        menu->addSeparator();
        menu->addAction(insert);
    }
    pane.AddToolBarAction(insert);

    pane.AddContextMenuFiller([&pane](QMenu& menu, const QTextCursor& at) {
        QTextEdit& view = *pane.TextView();
        int position = SelectedPicture(view);
        if (position < 0)
            position = PictureCharacterAt(*view.document(), at.position());
        if (position < 0 || view.isReadOnly())
            return;
        menu.addSeparator();
        QAction* size = menu.addAction(QStringLiteral("그림 크기…"));
        size->setObjectName(QStringLiteral("picture_size"));
        QObject::connect(size, &QAction::triggered, &pane, [&pane, position] { EditPictureSize(pane, position); });
    });

    auto* handles = new PictureHandles(pane);
    new PictureFilter(pane, handles);
    QTextEdit* view = pane.TextView();
    QPointer<PictureHandles> guard(handles);
    const auto refresh = [guard] {
        if (guard)
            guard->Refresh();
    };
    QObject::connect(view, &QTextEdit::cursorPositionChanged, handles, refresh);
    QObject::connect(view, &QTextEdit::selectionChanged, handles, refresh);
    QObject::connect(view, &QTextEdit::textChanged, handles, refresh);
    QObject::connect(view->verticalScrollBar(), &QScrollBar::valueChanged, handles, refresh);
    QObject::connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, handles, refresh);
}

} // namespace editor
