// The row-by-row PNG writer against Qt's reader and pngcheck.
#include "tests/render/render_testing.h"

#include "render/bmp_half.h"
#include "render/png_stream.h"

#include <QImageReader>
#include <QRandomGenerator>

#include <unistd.h>

using namespace render_testing;

namespace {

class PngRows : public RenderTest {};

// Repeated rows and runs of them, rows that differ, noise that does not compress, every byte
// value in every channel, and alpha; images of one piece of rows, of several, rows longer
// than a piece, one pixel wide, and ending in repeated rows. Grey images are written as grey,
// and one that turns to colour after grey rows (in the first piece or later) as RGBA whole.
TEST_F(PngRows, EveryPixelComesBackThroughAnotherReader)
{
    struct Case {
        const char* name;
        int width;
        int height;
        int paper; // rows in each run that repeat the row above; the image ends in one
        int grey;  // rows from the top that are opaque grey
    };
    const Case cases[] = {{"one piece", 300, 40, 0, 0},
                          {"several pieces", 1500, 700, 0, 0},
                          {"rows longer than a piece", 300000, 4, 0, 0},
                          {"paper between lines", 2480, 400, 40, 0},
                          {"narrow paper", 1, 90, 45, 0},
                          {"grey", 2481, 900, 40, 900},
                          {"grey, one pixel wide", 1, 30, 5, 30},
                          {"grey, then colour in the first piece", 1003, 60, 7, 20},
                          {"grey over several pieces, then colour", 2480, 1500, 40, 1430}};
    QRandomGenerator noise(7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage image(c.width, c.height, QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            const bool paper = c.paper > 0 && y > 0 && (y / c.paper) % 2 == 1;
            for (int x = 0; x < image.width(); ++x) {
                const int level = (x * 7 + y) & 0xFF;
                row[x] = paper || y % 3 == 1 ? image.pixel(x, y - 1)
                         : y < c.grey        ? qRgb(level, level, level)
                         : y % 7 == 5        ? noise.generate()
                                             : qRgba(level, (x * 13) & 0xFF, (255 - x + y * 5) & 0xFF,
                                                     y < 20 ? 255 : (x * 3) & 0xFF);
            }
        }
        const std::string path = PathOf("rows.png");
        PngRowWriter png(path, image.width(), image.height(), PngColours::GreyWhenAllGrey);
        for (int y = 0; y < image.height(); ++y)
            png.WriteRow(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)));
        ASSERT_TRUE(png.Finish());
        EXPECT_EQ(PngCheckFailure(path), "");
        EXPECT_EQ(PngDepthAndColour(path), std::make_pair(8, c.grey >= c.height ? 0 : 6));
        QImageReader reader(QString::fromStdString(path));
        reader.setAllocationLimit(0);
        const QImage back = reader.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(back.size(), image.size());
        for (int y = 0; y < image.height(); ++y)
            ASSERT_EQ(std::memcmp(back.constScanLine(y), image.constScanLine(y), static_cast<std::size_t>(c.width) * 4), 0)
                << "row " << y;
    }
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
