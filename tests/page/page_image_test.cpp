// Page images: size, depth, where the ink falls, and which pages exist.
#include "tests/editor/editor_testing.h"

#include "editor/hwpctrl.h"
#include "page/preview_image.h"

#include <QImageReader>

#include <filesystem>
#include <fstream>

using editor_testing::PaneTest;

namespace {

class PageImages : public PaneTest {
protected:
    void SetUp() override
    {
        PaneTest::SetUp();
        QImageReader::setAllocationLimit(512);
    }
};

// The box around every pixel darker than light grey (`darkerThan`).
QRect InkBounds(const QImage& image, int darkerThan = 160)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(row[x]) < darkerThan)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

TEST_F(PageImages, AnA4PageAt600DpiIsA24BitBmpWithTheTextInsideTheMargins)
{
    ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate("sf_exam_format.hwp"), u"HWP"));
    std::u16string text;
    for (int i = 0; i < 12; ++i)
        text += u"가나다라마바사 아자차카타파하 다음 글을 읽고 물음에 답하시오. ";
    Type(*m_pane, text);
    const std::string path = PathOf("page.bmp");
    ASSERT_TRUE(m_pane->RenderPageImage(editor_testing::U16(QString::fromStdString(path)), 0, 600, 24, u"bmp"));

    QImageReader reader(QString::fromStdString(path));
    EXPECT_EQ(reader.format(), "bmp");
    const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
    EXPECT_EQ(image.width(), 4961);
    EXPECT_EQ(image.height(), 7016);
    std::ifstream file(path, std::ios::binary);
    char header[54] = {};
    ASSERT_TRUE(file.read(header, sizeof header));
    EXPECT_EQ(header[28], 24) << "bits per pixel";
    EXPECT_EQ(std::filesystem::file_size(path), 54u + 14884u * 7016u) << "rows padded to four bytes";

    // Margins of the page: 30 mm left and right, 20 mm top plus a 15 mm header.
    const double pixelsPerMm = 600 / 25.4;
    const QRect ink = InkBounds(image);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), static_cast<int>(30 * pixelsPerMm) - 2);
    EXPECT_LE(ink.right(), static_cast<int>(180 * pixelsPerMm) + 2);
    EXPECT_GE(ink.top(), static_cast<int>(35 * pixelsPerMm) - 2);
    EXPECT_LE(ink.bottom(), static_cast<int>(282 * pixelsPerMm));
    EXPECT_GT(ink.width(), static_cast<int>(140 * pixelsPerMm)) << "lines run across the body";
}

// The picture of page 1 a file carries: a GIF that decodes to what was drawn, and for a
// page of text, the text's grey where the body is.
TEST_F(PageImages, ThePreviewPictureIsAGifOfPageOne)
{
    // Many colours: the code table fills and starts over several times.
    QImage drawn(301, 203, QImage::Format_RGB32);
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x)
            drawn.setPixel(x, y, y % 50 < 10 ? qRgb(255, 255, 255) : qRgb((x * 7) % 256, (y * 13) % 256, ((x ^ y) * 5) % 256));
    }
    const std::string gif = editor::EncodeGif(drawn);
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(reinterpret_cast<const uchar*>(gif.data()), static_cast<int>(gif.size()), "GIF"));
    decoded = decoded.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(decoded.size(), drawn.size());
    int far = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const QRgb a = drawn.pixel(x, y);
            const QRgb b = decoded.pixel(x, y);
            // Colours go to the nearest of six levels a channel (greys to one of forty).
            far += std::abs(qRed(a) - qRed(b)) > 26 || std::abs(qGreen(a) - qGreen(b)) > 26 ||
                   std::abs(qBlue(a) - qBlue(b)) > 26;
        }
    }
    EXPECT_EQ(far, 0);

    ASSERT_TRUE(m_pane->OpenDocument(WriteTemplate("sf_exam_format.hwp"), u"HWP"));
    std::u16string text;
    for (int i = 0; i < 12; ++i)
        text += u"가나다라마바사 아자차카타파하 다음 글을 읽고 물음에 답하시오. ";
    Type(*m_pane, text);
    const std::string preview = editor::PreviewImageOf(m_pane->Document());
    QImage page;
    ASSERT_TRUE(page.loadFromData(reinterpret_cast<const uchar*>(preview.data()), static_cast<int>(preview.size()), "GIF"));
    EXPECT_EQ(page.size(), QSize(177, 250));
    EXPECT_LT(preview.size(), 12000u) << "about the size of the word processor's";
    // Text this small is grey.
    const QRect ink = InkBounds(page.convertToFormat(QImage::Format_RGB32), 224);
    const double pixelsPerMm = 177 / 210.0;
    ASSERT_FALSE(ink.isEmpty()) << "the text shows";
    EXPECT_GE(ink.left(), static_cast<int>(30 * pixelsPerMm) - 2);
    EXPECT_LE(ink.right(), static_cast<int>(180 * pixelsPerMm) + 2);
    EXPECT_GE(ink.top(), static_cast<int>(35 * pixelsPerMm) - 2);
    EXPECT_GT(ink.width(), static_cast<int>(100 * pixelsPerMm)) << "lines run across the body";
}

TEST_F(PageImages, APageThatDoesNotExistGivesFalseAndNoFile)
{
    Type(*m_pane, u"한 쪽");
    const std::string path = PathOf("second.bmp");
    EXPECT_FALSE(m_pane->RenderPageImage(editor_testing::U16(QString::fromStdString(path)), 1, 600, 24, u"bmp"));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(m_pane->RenderPageImage(editor_testing::U16(QString::fromStdString(path)), -1, 600, 24, u"bmp"));
}

TEST_F(PageImages, TextLongerThanAPageFlowsOntoTheNext)
{
    std::u16string text;
    for (int i = 0; i < 80; ++i)
        text += u"문단 하나가 한 줄을 차지합니다.\r\n";
    Type(*m_pane, text);
    const std::string path = PathOf("next.bmp");
    EXPECT_TRUE(m_pane->RenderPageImage(editor_testing::U16(QString::fromStdString(path)), 1, 100, 24, u"bmp"));
    const QImage image(QString::fromStdString(path));
    EXPECT_EQ(image.width(), 827);
    EXPECT_FALSE(InkBounds(image.convertToFormat(QImage::Format_RGB32)).isEmpty());
    EXPECT_FALSE(m_pane->RenderPageImage(editor_testing::U16(QString::fromStdString(path)), 9, 100, 24, u"bmp"));
}

TEST_F(PageImages, AnAbsurdPageFromAFileGivesFalseInsteadOfAHugeImage)
{
    Type(*m_pane, u"글");
    m_pane->Document().Page().paperWidth = 2000000000;
    m_pane->Document().Page().paperHeight = 2000000000;
    const std::string path = PathOf("huge.bmp");
    EXPECT_FALSE(m_pane->RenderPageImage(editor_testing::U16(QString::fromStdString(path)), 0, 600, 24, u"bmp"));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(PageImages, UnsupportedRequestsAndUnwritablePathsGiveFalse)
{
    Type(*m_pane, u"글");
    EXPECT_FALSE(m_pane->RenderPageImage(editor_testing::U16(QString::fromStdString(PathOf("a.bmp"))), 0, 600, 32, u"bmp"));
    EXPECT_FALSE(m_pane->RenderPageImage(editor_testing::U16(QString::fromStdString(PathOf("a.bmp"))), 0, 600, 24, u"gif"));
    EXPECT_FALSE(m_pane->RenderPageImage(editor_testing::U16(QString::fromStdString(PathOf("a.bmp"))), 0, 0, 24, u"bmp"));
    EXPECT_FALSE(
        m_pane->RenderPageImage(editor_testing::U16(QString::fromStdString(PathOf("none/a.bmp"))), 0, 96, 24, u"bmp"));
}

} // namespace
