// Page images: size, depth, where the ink falls, and which pages exist.
#include "tests/editor/editor_testing.h"


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

// The box around every pixel darker than light grey.
QRect InkBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(row[x]) < 160)
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
