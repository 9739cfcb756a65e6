// Pictures: the samples' pictures read into the model, write back byte for byte and name
// their bin data; new pictures for image files; images that cannot be inserted.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "hwp/bin_data.h"
#include "hwp/bytes.h"
#include "hwp/objects.h"
#include "hwp/picture.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "object_testing.h"

namespace {

using namespace hwp_testing;

std::vector<const hwp::Control*> Pictures(const ControlWalk& walk)
{
    std::vector<const hwp::Control*> out;
    for (const hwp::Control* control : walk.controls) {
        if (hwp::IsPicture(*control))
            out.push_back(control);
    }
    return out;
}

double ScaleX(const hwp::Bytes& component)
{
    double value = 0;
    std::memcpy(&value, component.data() + 100, sizeof value);   // the first scale matrix
    return value;
}

TEST(PictureSamples, EveryPictureWritesBackByteForByteAndNamesItsBinData)
{
    if (SamplesFolder().empty())
        GTEST_SKIP() << "no samples folder";
    for (const auto& [name, count] : std::vector<std::pair<std::string, std::size_t>>{{"sample-5017-pics.hwp", 11},
                                                                                      {"shapepict-scaled.hwp", 2}}) {
        SCOPED_TRACE(name);
        const hwp::Document document = hwp::ReadDocument(SamplePath(name));
        const ControlWalk walk = AllControls(document);
        const std::vector<const hwp::Control*> pictures = Pictures(walk);
        ASSERT_EQ(pictures.size(), count);
        for (const hwp::Control* control : pictures) {
            const hwp::Picture picture = hwp::ReadPicture(*control);
            EXPECT_EQ(hwp::WritePicture(picture, control), *control);
            const hwp::BinDataItem* item = hwp::PictureBinData(document, picture);
            ASSERT_TRUE(item) << "bin data " << picture.binItemId;
            EXPECT_EQ(hwp::KindOf(*item), hwp::BinDataKind::Embedding);
            EXPECT_EQ(item->streamName.substr(item->streamName.size() - 4), ".jpg");
            const std::string image = hwp::BinDataBytes(*item);
            const hwp::ImageInfo info = hwp::ReadImageInfo(image);
            EXPECT_EQ(info.format, hwp::ImageFormat::Jpeg);
            // The crop of an uncut picture is the whole image at 75 units a pixel.
            EXPECT_EQ(picture.crop, (hwp::PictureCrop{0, 0, static_cast<std::int32_t>(info.width * 75),
                                                      static_cast<std::int32_t>(info.height * 75)}));
            EXPECT_GT(picture.width, 0);
        }
    }
}

TEST(PictureSamples, TheScaledPictureShowsItsShapeLargerThanItsOriginal)
{
    if (SamplesFolder().empty())
        GTEST_SKIP() << "no samples folder";
    const hwp::Document document = hwp::ReadDocument(SamplePath("shapepict-scaled.hwp"));
    const ControlWalk walk = AllControls(document);
    const hwp::Picture picture = hwp::ReadPicture(*Pictures(walk).at(0));
    EXPECT_GT(picture.width, picture.originalWidth);
    EXPECT_EQ(picture.object.width, picture.width);
    EXPECT_NEAR(ScaleX(picture.component), double(picture.width) / picture.originalWidth, 1e-6);
}

TEST(PictureEdits, AResizedPictureGetsItsScaleAndKeepsTheRest)
{
    if (SamplesFolder().empty())
        GTEST_SKIP() << "no samples folder";
    const hwp::Document document = hwp::ReadDocument(SamplePath("sample-5017-pics.hwp"));
    const ControlWalk walk = AllControls(document);
    const hwp::Control& control = *Pictures(walk).at(0);
    hwp::Picture picture = hwp::ReadPicture(control);
    hwp::SetPictureSize(picture, picture.width / 2, picture.height / 2);
    picture.crop.right /= 2;
    const hwp::Picture back = hwp::ReadPicture(hwp::WritePicture(picture, &control));
    EXPECT_EQ(back.object.width, picture.width);
    EXPECT_EQ(back.height, picture.height);
    EXPECT_EQ(back.crop, picture.crop);
    EXPECT_EQ(back.binItemId, picture.binItemId);
    EXPECT_EQ(back.rest, picture.rest);
    EXPECT_NEAR(ScaleX(back.component), double(picture.width) / picture.originalWidth, 1e-6);
}

TEST(PictureNew, APngBecomesAnInlinePictureAndItsBinDataSurvivesAFile)
{
    hwp::Document document = DocumentWithTexts({u"그림을 보고 답하시오.", u""});
    const std::string png = MakePng(40, 30, 0x3366CC);
    hwp::Control control = hwp::InsertPicture(document, png);
    ASSERT_EQ(document.binData.size(), 1u);
    EXPECT_EQ(document.binData[0].streamName, "BIN0001.png");
    EXPECT_EQ(hwp::BinDataBytes(document.binData[0]), png);
    const hwp::Picture made = hwp::ReadPicture(control);
    EXPECT_TRUE(made.object.inlineAsChar);
    EXPECT_EQ(made.object.width, 40 * 75);   // 96 dpi
    EXPECT_EQ(made.object.height, 30 * 75);
    EXPECT_EQ(made.binItemId, 1);
    document.sections.front().paragraphs[1].controls.push_back(control);

    const hwp::Document back = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
    const ControlWalk walk = AllControls(back);
    const std::vector<const hwp::Control*> pictures = Pictures(walk);
    ASSERT_EQ(pictures.size(), 1u);
    const hwp::Picture read = hwp::ReadPicture(*pictures[0]);
    EXPECT_EQ(read, made);
    const hwp::BinDataItem* item = hwp::PictureBinData(back, read);
    ASSERT_TRUE(item);
    EXPECT_EQ(item->streamName, "BIN0001.png");
    EXPECT_EQ(hwp::BinDataBytes(*item), png);
    EXPECT_EQ(hwp::DescribeControl(*pictures[0]), u"그림");
}

// A document's pictures go to and from its file a stream at a time: the file written
// straight is the one composed in memory, the file read is the bytes read, and copies of
// the document share the picture's bytes instead of holding their own.
TEST(PictureNew, PicturesGoStraightToAndFromTheFileAndCopiesShareThem)
{
    hwp::Document document = DocumentWithTexts({u"그림", u""});
    const std::string png = MakePng(64, 48, 0x22AA66);
    document.sections.front().paragraphs[1].controls.push_back(hwp::InsertPicture(document, png));
    const std::string path = ::testing::TempDir() + "/straight-picture.hwp";
    hwp::WriteDocument(document, path);
    std::ifstream file(path, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, hwp::WriteDocumentToBytes(document));

    const hwp::Document read = hwp::ReadDocument(path);
    EXPECT_EQ(read, hwp::ReadDocumentFromBytes(written));
    ASSERT_EQ(read.binData.size(), 1u);
    EXPECT_EQ(hwp::BinDataBytes(read.binData[0]), png);
    const hwp::Document copy = read;
    EXPECT_EQ(copy.binData[0].stream.View().data(), read.binData[0].stream.View().data());
    std::remove(path.c_str());
}

// A file's pictures are read when first wanted: a file saved over in the meantime (a new
// file put in its place) still gives the pictures read, and one cut short in place gives
// an error, never other bytes.
TEST(PictureNew, PicturesReadLaterComeFromTheFileAsItWasOrNotAtAll)
{
    hwp::Document document = DocumentWithTexts({u"그림", u""});
    // Bytes no deflate shrinks after the image, so the stream lies in the file's large
    // sectors as a photograph's does, not in the small ones read with the directory.
    std::string png = MakePng(80, 20, 0x884422);
    std::uint32_t noise = 12345;
    for (int i = 0; i < 16384; ++i) {
        noise = noise * 1664525u + 1013904223u;
        png += static_cast<char>(noise >> 24);
    }
    document.sections.front().paragraphs[1].controls.push_back(hwp::InsertPicture(document, png));
    const std::string path = ::testing::TempDir() + "/later-picture.hwp";
    hwp::WriteDocument(document, path);
    const hwp::Document replaced = hwp::ReadDocument(path);
    hwp::WriteDocument(DocumentWithTexts({u"다른 문서"}), path);
    EXPECT_EQ(hwp::BinDataBytes(replaced.binData[0]), png);

    hwp::WriteDocument(document, path);
    const hwp::Document cut = hwp::ReadDocument(path);
    const std::string whole = hwp::WriteDocumentToBytes(document);
    {
        std::ofstream file(path, std::ios::binary | std::ios::in | std::ios::out);
        file.write(whole.data(), 512);
    }
    std::filesystem::resize_file(path, 1024);
    EXPECT_THROW(hwp::WriteDocumentToBytes(cut), hwp::HwpError);
    std::remove(path.c_str());
}

TEST(PictureNew, SizeFollowsTheGivenOrTheImagesResolutionAndFitsTheWidth)
{
    hwp::Document document = hwp::NewDocument();
    EXPECT_EQ(hwp::MakePicture(document, MakePng(300, 100, 0, 300)).picture.object.width, 7200);
    EXPECT_EQ(hwp::MakePicture(document, MakePng(300, 100, 0, 0)).picture.object.width, 300 * 75);
    EXPECT_EQ(hwp::MakePicture(document, MakePng(300, 100, 0, 300), 150).picture.object.width, 14400);
    const hwp::NewPicture fitted = hwp::MakePicture(document, MakePng(2000, 1000, 0), 0, 42520);
    EXPECT_EQ(fitted.picture.object.width, 42520);
    EXPECT_EQ(fitted.picture.object.height, 21260);
    // A second picture gets the next item and stream.
    hwp::InsertPicture(document, MakePng(2, 2, 0));
    const hwp::NewPicture second = hwp::MakePicture(document, MakePng(2, 2, 0));
    EXPECT_EQ(second.picture.binItemId, 2);
    EXPECT_EQ(second.binData.streamName, "BIN0002.png");
}

TEST(PictureLinks, ALinkedItemNamesItsFile)
{
    hwp::ByteWriter record;
    record.U16(0x0000);   // a link
    record.Text16(u"C:\\그림\\지도.png");
    record.Text16(u"지도.png");
    hwp::BinDataItem linked;
    linked.record = hwp::ToBytes(record.Data());
    EXPECT_EQ(hwp::LinkedFileName(linked), u"C:\\그림\\지도.png");
    linked.record.resize(3);
    EXPECT_EQ(hwp::LinkedFileName(linked), u"");
    hwp::Document document = hwp::NewDocument();
    hwp::InsertPicture(document, MakePng(2, 2, 0));
    EXPECT_EQ(hwp::LinkedFileName(document.binData[0]), u"");
}

// ---- image headers

std::string Le(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Jpeg(std::uint16_t width, std::uint16_t height)
{
    std::string out("\xFF\xD8", 2);
    out += std::string("\xFF\xE0\x00\x10JFIF\x00\x01\x01\x01\x00\x48\x00\x48\x00\x00", 18);   // 72 dpi
    out += std::string("\xFF\xC0\x00\x11\x08", 5);
    out += static_cast<char>(height >> 8);
    out += static_cast<char>(height & 0xFF);
    out += static_cast<char>(width >> 8);
    out += static_cast<char>(width & 0xFF);
    out += std::string(10, '\x01');
    out += std::string("\xFF\xD9", 2);
    return out;
}

std::string Bmp(std::int32_t width, std::int32_t height)
{
    std::string out = "BM" + Le(54, 4) + Le(0, 4) + Le(54, 4) + Le(40, 4) + Le(static_cast<std::uint32_t>(width), 4) +
                      Le(static_cast<std::uint32_t>(height), 4) + Le(1, 2) + Le(24, 2) + Le(0, 4) + Le(0, 4) +
                      Le(3780, 4) + Le(3780, 4) + Le(0, 4) + Le(0, 4);
    return out;
}

TEST(ImageHeaders, SizesAndResolutionsOfPngJpegGifAndBmp)
{
    hwp::ImageInfo png = hwp::ReadImageInfo(MakePng(17, 9, 0, 150));
    EXPECT_EQ(png.extension, "png");
    EXPECT_EQ(png.width, 17u);
    EXPECT_EQ(png.height, 9u);
    EXPECT_NEAR(png.dpiX, 150, 0.1);
    const hwp::ImageInfo jpeg = hwp::ReadImageInfo(Jpeg(640, 480));
    EXPECT_EQ(jpeg.extension, "jpg");
    EXPECT_EQ(jpeg.width, 640u);
    EXPECT_EQ(jpeg.height, 480u);
    EXPECT_EQ(jpeg.dpiY, 72);
    const hwp::ImageInfo gif = hwp::ReadImageInfo("GIF89a" + Le(320, 2) + Le(200, 2) + std::string(8, '\0'));
    EXPECT_EQ(gif.format, hwp::ImageFormat::Gif);
    EXPECT_EQ(gif.width, 320u);
    const hwp::ImageInfo bmp = hwp::ReadImageInfo(Bmp(100, -50));   // top-down rows
    EXPECT_EQ(bmp.extension, "bmp");
    EXPECT_EQ(bmp.height, 50u);
    EXPECT_NEAR(bmp.dpiX, 96, 0.1);
}

void ExpectImageRefused(const std::string& bytes, const std::string& words)
{
    try {
        hwp::ReadImageInfo(bytes);
        ADD_FAILURE() << "accepted an image that should be refused for: " << words;
    } catch (const hwp::HwpError& error) {
        EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
    hwp::Document document = hwp::NewDocument();
    EXPECT_THROW(hwp::InsertPicture(document, bytes), hwp::HwpError);
    EXPECT_TRUE(document.binData.empty()) << "nothing is added for a refused image";
}

TEST(ImageHeaders, ImagesOverFiftyMegapixelsOrUnreadableAreRefused)
{
    std::string huge = MakePng(1, 1, 0);
    huge.replace(16, 8, std::string("\x00\x00\x27\x10\x00\x00\x17\x71", 8));   // 10000 x 6001
    ExpectImageRefused(huge, "more than 50 megapixels");
    ExpectImageRefused(Jpeg(10000, 5001), "more than 50 megapixels");
    ExpectImageRefused(Bmp(1 << 30, 1), "not an image size");
    ExpectImageRefused("not an image at all", "not a PNG, JPEG, GIF or BMP");
    ExpectImageRefused("", "not a PNG");
    ExpectImageRefused(Jpeg(640, 480).substr(0, 24), "no frame header");
    ExpectImageRefused(MakePng(4, 4, 0).substr(0, 20), "no image header");
    ExpectImageRefused(Jpeg(0, 480), "gives no size");
    ExpectImageRefused("GIF89a\x10", "cut short");
    ExpectImageRefused(Bmp(0, 10), "gives no size");
    EXPECT_NO_THROW(hwp::ReadImageInfo(Jpeg(10000, 5000)));   // exactly 50 megapixels
}

TEST(PictureBadInput, DamagedPictureRecordsAreRefused)
{
    hwp::Document document = hwp::NewDocument();
    const hwp::Control good = hwp::InsertPicture(document, MakePng(2, 2, 0));
    hwp::Control cut = good;
    cut.records.back().data.resize(40);
    EXPECT_THROW(hwp::ReadPicture(cut), hwp::HwpError);
    hwp::Control noPicture = good;
    noPicture.records.pop_back();
    EXPECT_THROW(hwp::ReadPicture(noPicture), hwp::HwpError);
    hwp::Control shortShape = good;
    shortShape.records[1].data.resize(20);
    EXPECT_THROW(hwp::ReadPicture(shortShape), hwp::HwpError);
    hwp::Control rectangle = good;
    rectangle.records[1].data[1] = 'e';   // "$rec": a drawing object, but not a picture
    rectangle.records[1].data[2] = 'r';
    EXPECT_FALSE(hwp::IsPicture(rectangle));
    EXPECT_THROW(hwp::ReadPicture(rectangle), hwp::HwpError);
}

}  // namespace
