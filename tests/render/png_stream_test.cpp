// The row-by-row PNG writer against Qt's reader and pngcheck.
#include "tests/render/render_testing.h"

#include "render/bmp_half.h"
#include "render/png_stream.h"

#include <QImageReader>

#include <unistd.h>

using namespace render_testing;

namespace {

class PngRows : public RenderTest {};

TEST_F(PngRows, EveryPixelComesBackThroughAnotherReader)
{
    // Repeated rows, rows that differ, every byte value in every channel, and alpha.
    QImage image(300, 40, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, y % 3 == 1 ? image.pixel(x, y - 1)
                                           : qRgba((x * 7 + y) & 0xFF, (x * 13) & 0xFF, (255 - x + y * 5) & 0xFF,
                                                   y < 20 ? 255 : (x * 3) & 0xFF));
    const std::string path = PathOf("rows.png");
    ASSERT_TRUE(SavePng(image, path));
    EXPECT_EQ(PngCheckFailure(path), "");
    QImageReader reader(QString::fromStdString(path));
    const QImage back = reader.read().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(back.size(), image.size());
    for (int y = 0; y < image.height(); ++y)
        ASSERT_EQ(std::memcmp(back.constScanLine(y), image.constScanLine(y), 300 * 4), 0) << "row " << y;
}

TEST_F(PngRows, AnUnfinishedOrUnwritableImageLeavesNoFile)
{
    const std::uint32_t row[4] = {0xFF000000u, 0xFFFFFFFFu, 0xFF123456u, 0xFF654321u};
    {
        PngRowWriter png(PathOf("short.png"), 4, 3);
        ASSERT_TRUE(png.IsOpen());
        png.WriteRow(row);
        EXPECT_FALSE(png.Finish()) << "two rows missing";
    }
    {
        PngRowWriter png(PathOf("dropped.png"), 4, 3);
        png.WriteRow(row);
    }
    PngRowWriter missing(PathOf("no/such/folder.png"), 4, 1);
    EXPECT_FALSE(missing.IsOpen());
    missing.WriteRow(row);
    EXPECT_FALSE(missing.Finish());
    EXPECT_EQ(FilesIn(Folder()), std::vector<std::string>{});
    EXPECT_FALSE(HalveBitmapToPng(PathOf("absent.bmp"), PathOf("absent.png")));
    EXPECT_EQ(FilesIn(Folder()), std::vector<std::string>{});
}

// A package being staged holds hard links to the current package's images: writing the
// staged image must leave the current one as it was.
TEST_F(PngRows, AnImageIsWrittenAnewNeverThroughItsHardLinks)
{
    const std::uint32_t row[2] = {0xFF000000u, 0xFFFFFFFFu};
    {
        PngRowWriter png(PathOf("current.png"), 2, 1);
        png.WriteRow(row);
        ASSERT_TRUE(png.Finish());
    }
    ASSERT_EQ(link(PathOf("current.png").c_str(), PathOf("staged.png").c_str()), 0);
    const std::string before = ReadBytes(PathOf("current.png"));
    PngRowWriter png(PathOf("staged.png"), 2, 2);
    png.WriteRow(row);
    png.WriteRow(row);
    ASSERT_TRUE(png.Finish());
    EXPECT_EQ(ReadBytes(PathOf("current.png")), before);
    EXPECT_NE(ReadBytes(PathOf("staged.png")), before);
}

} // namespace
