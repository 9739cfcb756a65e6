// Inserting, resizing, pasting and saving pictures in a pane.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/object_testing.h"

#include "document/kept_objects.h"
#include "page/page_render.h"
#include "editor/picture_tools.h"
#include "hwp/object_description.h"
#include "hwp/picture.h"
#include "hwp/reader.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QDoubleSpinBox>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>

using editor_testing::PaneTest;

namespace {

// A PNG of a red left half and a blue right half with a dark dot grid, `w` x `h` pixels.
QByteArray TwoColourPng(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.fillRect(0, 0, w / 2, h, QColor(220, 20, 20));
    painter.fillRect(w / 2, 0, w - w / 2, h, QColor(20, 40, 220));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

std::string Bytes(const QByteArray& bytes)
{
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// The pictures of a saved file with the bytes of the image each shows.
std::vector<std::pair<hwp::Picture, std::string>> PicturesOf(const hwp::Document& document)
{
    std::vector<std::pair<hwp::Picture, std::string>> out;
    for (const hwp::Section& section : document.sections)
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            for (const hwp::Control& control : paragraph.controls)
                if (hwp::IsPicture(control)) {
                    const hwp::Picture picture = hwp::ReadPicture(control);
                    const hwp::BinDataItem* item = hwp::PictureBinData(document, picture);
                    out.emplace_back(picture, item ? hwp::BinDataBytes(*item) : std::string());
                }
    return out;
}

int PictureCount(const QTextDocument& text)
{
    int count = 0;
    for (int i = 0; i + 1 < text.characterCount(); ++i)
        count += editor::PictureCharacterAt(text, i) == i;
    return count;
}

class PictureTools : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        m_saved = editor::PicturePrompts();
        editor::PicturePrompts().showMessage = [this](editor::CHwpctrl&, const QString& message) {
            m_messages << message;
        };
        m_pane->resize(900, 700);
        m_pane->show();
        // Sizes below are at 100 %, not at the zoom that fits the pane's width.
        m_pane->SetZoom(100);
    }
    void TearDown() override { editor::PicturePrompts() = m_saved; }

    QTextDocument& Text() { return m_pane->Document().Text(); }

    // Writes the bytes into the test's folder.
    QString FileOf(const std::string& name, const QByteArray& bytes)
    {
        QFile file(QString::fromStdString(PathOf(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    hwp::Document SaveAndRead(const std::string& name)
    {
        EXPECT_TRUE(m_pane->SaveDocumentAs(PathU16(name), u"HWP"));
        return hwp::ReadDocument(PathOf(name));
    }

    editor::PictureToolPrompts m_saved;
    QStringList m_messages;
};

TEST_F(PictureTools, AnInsertedPictureSavesAsAPictureControlWithItsBytesAndReopens)
{
    const QByteArray first = TwoColourPng(120, 80);
    const QByteArray second = TwoColourPng(64, 64);
    Type(*m_pane, u"그림 앞 ");
    QString error;
    ASSERT_TRUE(editor::InsertPictureBytes(*m_pane, first, error, 96)) << error.toStdString();
    Type(*m_pane, u" 사이 ");
    ASSERT_TRUE(editor::InsertPictureFile(*m_pane, FileOf("second.png", second), error)) << error.toStdString();
    EXPECT_EQ(PictureCount(Text()), 2);

    const hwp::Document saved = SaveAndRead("two.hwp");
    auto pictures = PicturesOf(saved);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0].second, Bytes(first));
    EXPECT_EQ(pictures[1].second, Bytes(second)) << "each picture keeps its own stream";
    EXPECT_NE(saved.binData[0].streamName, saved.binData[1].streamName);
    // 120 pixels at 96 dpi are 9000 HwpUnit.
    EXPECT_EQ(pictures[0].first.object.width, 9000);
    EXPECT_EQ(pictures[0].first.object.height, 6000);
    EXPECT_TRUE(pictures[0].first.object.inlineAsChar);

    // The independent reader names each picture's own item and finds its bytes there.
    const hwp_testing::OracleObjects oracle = hwp_testing::OracleObjectsOf(PathOf("two.hwp"));
    if (oracle.available) {
        ASSERT_TRUE(oracle.parsed) << oracle.error;
        ASSERT_EQ(oracle.pictures.size(), 2u);
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(oracle.pictures[i].binDataId, pictures[i].first.binItemId);
            EXPECT_EQ(oracle.pictures[i].extension, "png");
            EXPECT_EQ(oracle.pictures[i].base64, hwp_testing::Base64(pictures[i].second));
        }
    }

    // Opened again and saved once more, the same bytes.
    ASSERT_TRUE(m_pane->OpenDocument(PathU16("two.hwp"), u"HWP"));
    EXPECT_EQ(PictureCount(Text()), 2);
    pictures = PicturesOf(SaveAndRead("again.hwp"));
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0].second, Bytes(first));
    EXPECT_EQ(pictures[1].second, Bytes(second));
}

TEST_F(PictureTools, APictureWiderThanTheBodyIsScaledToItsWidth)
{
    QString error;
    ASSERT_TRUE(editor::InsertPictureBytes(*m_pane, TwoColourPng(2000, 500), error, 96));
    hwp::HwpUnit width = 0, height = 0;
    ASSERT_TRUE(editor::PictureSizeAt(Text(), 0, width, height));
    EXPECT_EQ(width, m_pane->Document().Page().BodyWidth());
    EXPECT_NEAR(double(height) / width, 0.25, 0.001);
}

TEST_F(PictureTools, UnreadableOrTooLargeImagesAreRefusedAndNothingIsInserted)
{
    Type(*m_pane, u"본문");
    const QString before = PaneText(*m_pane);
    // A BMP whose header says 10000 x 6000: 60 megapixels.
    QByteArray tooLarge(54, '\0');
    const auto put32 = [&](int at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            tooLarge[at + i] = static_cast<char>(value >> (8 * i));
    };
    tooLarge[0] = 'B';
    tooLarge[1] = 'M';
    put32(2, 54 + 10000u * 6000u * 3u);
    put32(10, 54);
    put32(14, 40);
    put32(18, 10000);
    put32(22, 6000);
    tooLarge[26] = 1;
    tooLarge[28] = 24;
    QByteArray cut = TwoColourPng(200, 200);
    cut.truncate(60);

    struct Case {
        const char* what;
        QByteArray bytes;
        const char* says;
    } cases[] = {{"text", QByteArray("not an image at all"), "읽을 수 없습니다"},
                 {"empty", QByteArray(), "읽을 수 없습니다"},
                 {"cut short", cut, "읽을 수 없습니다"},
                 {"60 megapixels", tooLarge, "너무 큽니다"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString error;
        EXPECT_FALSE(editor::InsertPictureBytes(*m_pane, c.bytes, error));
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.says))) << error.toStdString();
        EXPECT_EQ(PaneText(*m_pane), before);
    }
    QString error;
    EXPECT_FALSE(editor::InsertPictureFile(*m_pane, QString::fromStdString(PathOf("missing.png")), error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing.png")));
    EXPECT_FALSE(Text().isUndoAvailable() && PictureCount(Text()) > 0);

    // Through the tool bar action: the message is shown, nothing inserted.
    auto* action = m_pane->findChild<QAction*>(QStringLiteral("insert_picture"));
    ASSERT_NE(action, nullptr);
    EXPECT_TRUE(m_pane->InsertMenu()->actions().contains(action));
    const QString bad = FileOf("bad.png", tooLarge);
    editor::PicturePrompts().chooseFile = [&](editor::CHwpctrl&) { return bad; };
    action->trigger();
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(QStringLiteral("bad.png")));
    EXPECT_TRUE(m_messages[0].contains(QStringLiteral("너무 큽니다")));
    EXPECT_EQ(PaneText(*m_pane), before);

    const QString good = FileOf("good.png", TwoColourPng(30, 30));
    editor::PicturePrompts().chooseFile = [&](editor::CHwpctrl&) { return good; };
    action->trigger();
    EXPECT_EQ(PictureCount(Text()), 1);
    EXPECT_EQ(m_messages.size(), 1);
}

TEST_F(PictureTools, ResizingWritesTheSizeIntoTheControlAndUndoesInOneStep)
{
    QString error;
    ASSERT_TRUE(editor::InsertPictureBytes(*m_pane, TwoColourPng(200, 100), error, 96));
    ASSERT_TRUE(editor::ResizePictureAt(Text(), 0, 6000, 3000));
    hwp::HwpUnit width = 0, height = 0;
    ASSERT_TRUE(editor::PictureSizeAt(Text(), 0, width, height));
    EXPECT_EQ(width, 6000);
    EXPECT_EQ(height, 3000);
    auto pictures = PicturesOf(SaveAndRead("resized.hwp"));
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].first.width, 6000);
    EXPECT_EQ(pictures[0].first.object.height, 3000);
    EXPECT_EQ(pictures[0].first.originalWidth, 15000) << "the size it was made at stays";

    m_pane->TextView()->undo();
    ASSERT_TRUE(editor::PictureSizeAt(Text(), 0, width, height));
    EXPECT_EQ(width, 15000);
    EXPECT_EQ(PictureCount(Text()), 1) << "undoing the size leaves the picture";

    // Dragging the bottom right corner: the picture is selected by a click first, the
    // drag keeps its proportions and undoes as one step.
    QWidget* viewport = m_pane->TextView()->viewport();
    QRectF rect = editor::PictureRectInView(*m_pane->TextView(), 0);
    ASSERT_FALSE(rect.isEmpty());
    EXPECT_NEAR(rect.width(), 200, 1) << "200 pixels at 96 dpi and 100 %";
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rect.center().toPoint());
    EXPECT_EQ(m_pane->TextView()->textCursor().selectedText(), QString(QChar::ObjectReplacementCharacter));
    // The handles stand on the corners of the picture as drawn.
    const QImage shown = viewport->grab().toImage();
    if (const char* folder = std::getenv("VARNEL_PAGE_IMAGES"))
        shown.save(QString::fromUtf8(folder) + "/selected-picture.png");
    const QPoint inside = rect.topLeft().toPoint() + QPoint(8, 8);
    // (under the selection's tint)
    EXPECT_GT(shown.pixelColor(inside).red(), shown.pixelColor(inside).blue() + 20) << "the picture's red half";
    int handle = 0;
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx)
            handle += shown.pixelColor(rect.bottomRight().toPoint() + QPoint(dx, dy)) == QColor(0x30, 0x60, 0xC0);
    EXPECT_GT(handle, 4);
    const QPoint corner = rect.bottomRight().toPoint();
    QTest::mousePress(viewport, Qt::LeftButton, {}, corner);
    for (int step = 1; step <= 5; ++step)
        QTest::mouseMove(viewport, corner + QPoint(10 * step, 2 * step));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, corner + QPoint(50, 10));
    ASSERT_TRUE(editor::PictureSizeAt(Text(), 0, width, height));
    EXPECT_NEAR(width, 15000 * 250 / 200, 150);
    EXPECT_NEAR(double(height) / width, 0.5, 0.01);
    rect = editor::PictureRectInView(*m_pane->TextView(), 0);
    EXPECT_NEAR(rect.width(), 250, 3);
    m_pane->TextView()->undo();
    ASSERT_TRUE(editor::PictureSizeAt(Text(), 0, width, height));
    EXPECT_EQ(width, 15000);
}

TEST_F(PictureTools, TheSizeDialogKeepsProportionsUnlessTold)
{
    QString error;
    ASSERT_TRUE(editor::InsertPictureBytes(*m_pane, TwoColourPng(200, 100), error, 96));
    const auto drive = [](double widthMm, bool keep, double heightMm) {
        QTimer::singleShot(0, [=] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("keep_ratio"));
            EXPECT_TRUE(box->isChecked()) << "on by default";
            box->setChecked(keep);
            dialog->findChild<QDoubleSpinBox*>(QStringLiteral("picture_width"))->setValue(widthMm);
            if (heightMm > 0)
                dialog->findChild<QDoubleSpinBox*>(QStringLiteral("picture_height"))->setValue(heightMm);
            dialog->accept();
        });
    };
    drive(40, true, 0);
    ASSERT_TRUE(editor::EditPictureSize(*m_pane, 0));
    hwp::HwpUnit width = 0, height = 0;
    ASSERT_TRUE(editor::PictureSizeAt(Text(), 0, width, height));
    EXPECT_NEAR(width, 40 * 7200 / 25.4, 1);
    EXPECT_NEAR(height, 20 * 7200 / 25.4, 30);

    drive(30, false, 30);
    ASSERT_TRUE(editor::EditPictureSize(*m_pane, 0));
    ASSERT_TRUE(editor::PictureSizeAt(Text(), 0, width, height));
    EXPECT_NEAR(width, height, 1);

    // The context menu on the picture offers it.
    Type(*m_pane, u" 글");
    QContextMenuEvent event(QContextMenuEvent::Mouse, editor::PictureRectInView(*m_pane->TextView(), 0).center().toPoint(),
                            m_pane->TextView()->viewport()->mapToGlobal(QPoint(5, 5)));
    bool offered = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* shown = qobject_cast<QMenu*>(widget);
            if (shown == nullptr || !shown->isVisible())
                continue;
            offered |= shown->findChild<QAction*>(QStringLiteral("picture_size")) != nullptr;
            shown->close();
        }
    });
    QApplication::sendEvent(m_pane->TextView()->viewport(), &event);
    EXPECT_TRUE(offered);
}

TEST_F(PictureTools, TheDialogsAltTextIsKeptWithThePictureThroughASave)
{
    QString error;
    ASSERT_TRUE(editor::InsertPictureBytes(*m_pane, TwoColourPng(200, 100), error, 96));
    EXPECT_EQ(editor::PictureAltTextAt(Text(), 0), QString());
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->findChild<QLineEdit*>(QStringLiteral("picture_alt_text"))->setText(QStringLiteral("빨강과 파랑 막대"));
        dialog->accept();
    });
    ASSERT_TRUE(editor::EditPictureSize(*m_pane, 0));
    EXPECT_EQ(editor::PictureAltTextAt(Text(), 0), QStringLiteral("빨강과 파랑 막대"));
    const auto pictures = PicturesOf(SaveAndRead("described.hwp"));
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(hwp::ObjectDescription(pictures[0].first.object), u"빨강과 파랑 막대");
    EXPECT_EQ(pictures[0].first.object.width, 15000) << "the size stays";
    ASSERT_TRUE(m_pane->OpenDocument(PathU16("described.hwp"), u"HWP"));
    EXPECT_EQ(editor::PictureAltTextAt(Text(), 0), QStringLiteral("빨강과 파랑 막대"));
}

TEST_F(PictureTools, PastingAClipboardImageInsertsAPictureAndTextStaysText)
{
    QImage shot(90, 30, QImage::Format_RGB32);
    shot.fill(QColor(0, 160, 0));
    auto* image = new QMimeData;
    image->setImageData(shot);
    QApplication::clipboard()->setMimeData(image);
    EXPECT_TRUE(m_pane->TextView()->canPaste());
    m_pane->TextView()->paste();
    ASSERT_EQ(PictureCount(Text()), 1);
    hwp::HwpUnit width = 0, height = 0;
    ASSERT_TRUE(editor::PictureSizeAt(Text(), 0, width, height));
    EXPECT_EQ(width, 90 * 75) << "as many pixels as on the screen";

    // Another program's passage offers a picture of itself beside its text.
    auto* passage = new QMimeData;
    passage->setText(QStringLiteral("글자"));
    passage->setImageData(shot);
    QApplication::clipboard()->setMimeData(passage);
    m_pane->TextView()->paste();
    EXPECT_EQ(PictureCount(Text()), 1);
    EXPECT_TRUE(PaneText(*m_pane).endsWith(QStringLiteral("글자")));

    const auto pictures = PicturesOf(SaveAndRead("pasted.hwp"));
    ASSERT_EQ(pictures.size(), 1u);
    const QImage back = QImage::fromData(reinterpret_cast<const uchar*>(pictures[0].second.data()),
                                         static_cast<int>(pictures[0].second.size()));
    EXPECT_EQ(back.size(), shot.size());
    EXPECT_EQ(back.pixel(10, 10), shot.pixel(10, 10));
}

TEST_F(PictureTools, CopyCutDeleteAndUndoKeepTheImage)
{
    const QByteArray png = TwoColourPng(50, 40);
    Type(*m_pane, u"가");
    QString error;
    ASSERT_TRUE(editor::InsertPictureBytes(*m_pane, png, error));
    Type(*m_pane, u"나");
    QTextEdit& view = *m_pane->TextView();
    QTextCursor cursor(&Text());
    cursor.setPosition(1);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    view.copy();
    cursor.movePosition(QTextCursor::End);
    view.setTextCursor(cursor);
    view.paste();
    EXPECT_EQ(PictureCount(Text()), 2);

    // Cut the first, paste it at the end; delete the second and undo that.
    cursor.setPosition(1);
    cursor.setPosition(2, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    view.cut();
    EXPECT_EQ(PictureCount(Text()), 1);
    cursor.movePosition(QTextCursor::End);
    view.setTextCursor(cursor);
    view.paste();
    const int second = editor::PictureCharacterAt(Text(), 2);
    ASSERT_GE(second, 0);
    cursor.setPosition(second);
    cursor.setPosition(second + 1, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    EXPECT_EQ(PictureCount(Text()), 1);
    view.undo();
    EXPECT_EQ(PictureCount(Text()), 2);

    const hwp::Document saved = SaveAndRead("copies.hwp");
    const auto pictures = PicturesOf(saved);
    ASSERT_EQ(pictures.size(), 2u);
    for (const auto& [picture, bytes] : pictures)
        EXPECT_EQ(bytes, Bytes(png));
}

TEST_F(PictureTools, AnInsertedPicturePrintsItsPixelsInThePageImage)
{
    Type(*m_pane, u"그림:");
    QString error;
    ASSERT_TRUE(editor::InsertPictureBytes(*m_pane, TwoColourPng(300, 200), error, 96));
    const editor::PagedLayout layout(m_pane->Document());
    QImage page(layout.SheetPixelWidth(96), layout.SheetPixelHeight(96), QImage::Format_RGB32);
    layout.PaintBand(page, 0, 0, 96);
    int red = 0, blue = 0;
    for (int y = 0; y < page.height(); y += 2)
        for (int x = 0; x < page.width(); x += 2) {
            const QColor c = page.pixelColor(x, y);
            red += c.red() > 180 && c.green() < 60 && c.blue() < 60;
            blue += c.blue() > 180 && c.red() < 60 && c.green() < 80;
        }
    // 150 x 200 pixels each half, counted on every other row and column.
    EXPECT_NEAR(red, 150 * 200 / 4, 800);
    EXPECT_NEAR(blue, 150 * 200 / 4, 800);
}

// The handles' overlay covers the whole view and lies over the text: it repaints only where
// the frame was and where it is, so a letter typed repaints the text around it rather than
// the whole view, and a frame given up leaves no trace on screen.
TEST_F(PictureTools, TheHandlesRepaintWhereTheFrameWasAndIsAndNowhereElse)
{
    m_pane->InsertPlainText(QStringLiteral("봄이 오면 산과 들에 꽃이 핀다.\n"));
    Type(*m_pane, u"그림 앞 ");
    const int position = m_pane->TextView()->textCursor().position();
    QString error;
    ASSERT_TRUE(editor::InsertPictureBytes(*m_pane, TwoColourPng(200, 100), error, 96));
    Type(*m_pane, u" 뒤");
    QWidget* viewport = m_pane->TextView()->viewport();
    // What the screen holds, not the view painted anew.
    const auto handleOnScreen = [&](const QPoint& corner) {
        QApplication::processEvents();
        const QPoint at = viewport->mapTo(m_pane->window(), corner);
        const QImage screen = m_pane->screen()->grabWindow(m_pane->window()->winId(), at.x() - 4, at.y() - 4, 9, 9).toImage();
        int pixels = 0;
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x)
                pixels += screen.pixelColor(x, y) == QColor(0x30, 0x60, 0xC0);
        return pixels;
    };
    const QRectF rect = editor::PictureRectInView(*m_pane->TextView(), position);
    ASSERT_FALSE(rect.isEmpty());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, rect.center().toPoint());
    ASSERT_EQ(m_pane->TextView()->textCursor().selectionStart(), position);
    EXPECT_GT(handleOnScreen(rect.bottomRight().toPoint()), 4) << "the handle is drawn";
    // Away from the picture, inside a paragraph of its own.
    QTextCursor away(&Text());
    away.setPosition(2);
    m_pane->TextView()->setTextCursor(away);
    EXPECT_EQ(handleOnScreen(rect.bottomRight().toPoint()), 0) << "no handle is left behind";

    struct PaintedArea : QObject {
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                painted |= static_cast<QPaintEvent*>(event)->region();
            return false;
        }
        QRegion painted;
    } spy;
    // Repaints wait for the window's next frame.
    QTest::qWait(50);
    viewport->installEventFilter(&spy);
    QTextCursor typing = m_pane->TextView()->textCursor();
    typing.insertText(QStringLiteral("가"));
    QTest::qWait(50);
    viewport->removeEventFilter(&spy);
    EXPECT_FALSE(spy.painted.isEmpty());
    EXPECT_LT(spy.painted.boundingRect().height(), viewport->height() / 2) << "a letter repaints its line, not the view";
}

} // namespace
