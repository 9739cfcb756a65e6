// Page images: where they go, how the bitmap is halved, what is left behind.
#include "tests/render/render_testing.h"

#include "editor/hwpctrl.h"
#include "hwp/writer.h"
#include "render/bmp_half.h"
#include "render/page_image.h"
#include "tools/templates/template_documents.h"

#include <QImageReader>

#include <fstream>

using namespace render_testing;

namespace {

ExamRecord RecordIn(const std::string& questionFolder, const std::string& passageFolder)
{
    ExamRecord record;
    record.m_nExamKey = 12;
    record.m_nExamtextKey = 7;
    record.m_strExamFolder = questionFolder;
    record.m_strExamtextFolder = passageFolder;
    return record;
}

QImage ReadImage(const std::string& path)
{
    QImageReader reader(QString::fromStdString(path));
    return reader.read();
}

TEST(PageImageNames, TextGoesToThePassageThenPrintKeepsItsNameThenEverythingElseGetsPrint)
{
    const ExamRecord record = RecordIn("/q", "/p");
    const PageImagePaths passage = PageImagePathsFor(record, "text");
    EXPECT_EQ(passage.bitmap, "/p/7-print-text.bmp");
    EXPECT_EQ(passage.image, "/p/7-print-text001.png");

    const PageImagePaths print = PageImagePathsFor(record, "examprint-obj");
    EXPECT_EQ(print.bitmap, "/q/12-examprint-obj.bmp");
    EXPECT_EQ(print.image, "/q/12-examprint-obj001.png") << "no second \"print\"";

    const PageImagePaths part = PageImagePathsFor(record, "obj-exam");
    EXPECT_EQ(part.bitmap, "/q/12-print-obj-exam.bmp");
    EXPECT_EQ(part.image, "/q/12-print-obj-exam001.png");

    EXPECT_EQ(PageImagePathsFor(record, "printtext").image, "/p/7-print-printtext001.png") << "the text test comes first";

    ExamRecord large = RecordIn("/q", "/p");
    large.m_nExamKey = 4000000000u;
    EXPECT_EQ(PageImagePathsFor(large, "sbj-answer").image, "/q/4000000000-print-sbj-answer001.png") << "unsigned key";
}

class ExportPageImages : public RenderTest {};

TEST_F(ExportPageImages, RendersTheFirstPageAt600DpiAndLeavesOnlyTheHalfSizePng)
{
    Log log;
    RecordingPane pane("question", log);
    const ExamRecord record = RecordIn(Folder(), Folder());
    EXPECT_TRUE(ExportPageImage(pane, record, "obj-exam"));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "question:RenderPageImage(" + PathOf("12-print-obj-exam.bmp") + ",0,600,24,bmp)");
    EXPECT_EQ(FilesIn(Folder()), std::vector<std::string>{"12-print-obj-exam001.png"});
    const QImage image = ReadImage(PathOf("12-print-obj-exam001.png"));
    EXPECT_EQ(image.size(), QSize(4, 3));
    EXPECT_EQ(image.pixel(1, 1), 0xFF808080u);
    EXPECT_EQ(PngCheckFailure(PathOf("12-print-obj-exam001.png")), "");
    EXPECT_EQ(PngDepthAndColour(PathOf("12-print-obj-exam001.png")), std::make_pair(8, 6)) << "8-bit RGBA";
}

TEST_F(ExportPageImages, ReturnsTheRenderResultAloneAndDeletesTheBitmapOnEveryPath)
{
    Log log;
    RecordingPane pane("work", log);
    const ExamRecord record = RecordIn(Folder(), Folder());

    // A render that says it failed but left a bitmap: the conversion still runs.
    pane.renderResult = false;
    EXPECT_FALSE(ExportPageImage(pane, record, "examprint-sbj"));
    EXPECT_EQ(FilesIn(Folder()), std::vector<std::string>{"12-examprint-sbj001.png"});

    // A render that left nothing: no image, nothing else.
    pane.render = [](const std::string&) {};
    EXPECT_FALSE(ExportPageImage(pane, record, "examprint-des"));
    EXPECT_EQ(FilesIn(Folder()), std::vector<std::string>{"12-examprint-sbj001.png"});

    // A render that reports success over a file that is no image.
    pane.renderResult = true;
    pane.render = [](const std::string& path) { Touch(path, "not a bitmap"); };
    EXPECT_TRUE(ExportPageImage(pane, record, "des-answer"));
    EXPECT_EQ(FilesIn(Folder()), std::vector<std::string>{"12-examprint-sbj001.png"});

    // A bitmap too small to halve.
    pane.render = [](const std::string& path) { WriteBmp(path, 1, 9, [](int, int) { return 0u; }); };
    EXPECT_TRUE(ExportPageImage(pane, record, "des-explain"));
    EXPECT_EQ(FilesIn(Folder()), std::vector<std::string>{"12-examprint-sbj001.png"});

    // An image folder that does not exist.
    ExamRecord missing = RecordIn(PathOf("gone"), PathOf("gone"));
    pane.render = {};
    EXPECT_TRUE(ExportPageImage(pane, missing, "text"));
    EXPECT_FALSE(Exists(PathOf("gone")));
}

TEST_F(ExportPageImages, AFailedRenderRemovesThePreviousImageSoNothingStaleIsMeasured)
{
    Log log;
    RecordingPane pane("work", log);
    const ExamRecord record = RecordIn(Folder(), Folder());
    ASSERT_TRUE(ExportPageImage(pane, record, "examprint-obj"));
    ASSERT_EQ(FilesIn(Folder()), std::vector<std::string>{"12-examprint-obj001.png"});

    pane.renderResult = false;
    pane.render = [](const std::string&) {};
    EXPECT_FALSE(ExportPageImage(pane, record, "examprint-obj"));
    EXPECT_EQ(FilesIn(Folder()), std::vector<std::string>{});

    // The same through the conversion queue the assembly uses.
    pane.renderResult = true;
    pane.render = {};
    ASSERT_TRUE(ExportPageImage(pane, record, "obj-exam"));
    pane.render = [](const std::string& path) { Touch(path, "not a bitmap"); };
    PageImageQueue queue;
    ExportPageImage(pane, record, "obj-exam", &queue);
    queue.Finish();
    EXPECT_EQ(FilesIn(Folder()), std::vector<std::string>{});
}

TEST_F(ExportPageImages, AnA4PageWithOddSidesLosesTheLastHalfPixel)
{
    Log log;
    RecordingPane pane("question", log);
    // Dark 2 x 2 blocks on a diagonal every 100 pixels, on paper.
    pane.render = [](const std::string& path) {
        WriteBmp(path, 4961, 7017, [](int x, int y) {
            return (x / 2 == y / 2 && (x / 2) % 50 == 0) || x == 4960 || y == 7016 ? 0x102030u : 0xFFFFFFu;
        });
    };
    const ExamRecord record = RecordIn(Folder(), Folder());
    ASSERT_TRUE(ExportPageImage(pane, record, "sbj-exam"));
    const std::string png = PathOf("12-print-sbj-exam001.png");
    EXPECT_EQ(PngCheckFailure(png), "");
    const QImage image = ReadImage(png);
    ASSERT_EQ(image.size(), QSize(2480, 3508));
    EXPECT_EQ(image.pixel(0, 0), 0xFF102030u);
    EXPECT_EQ(image.pixel(50, 50), 0xFF102030u);
    EXPECT_EQ(image.pixel(51, 50), 0xFFFFFFFFu);
    EXPECT_EQ(image.pixel(2479, 3507), 0xFFFFFFFFu) << "the odd last column and row are dropped";
    EXPECT_FALSE(Exists(PathOf("12-print-sbj-exam.bmp")));
}

struct BitmapKind {
    int bits;
    bool topDown;
};

class HalvingBitmaps : public RenderTest, public ::testing::WithParamInterface<BitmapKind> {};

TEST_P(HalvingBitmaps, EachPixelIsTheRoundedMeanOfItsBlock)
{
    auto pixel = [](int x, int y) {
        const std::uint32_t v = static_cast<std::uint32_t>(x * 37 + y * 11);
        return ((v * 3) & 0xFF) << 16 | ((v * 5 + 1) & 0xFF) << 8 | (v & 0xFF);
    };
    // Wider than one run of eight, odd in both directions, and long enough for several chunks.
    const int width = 41, height = 15;
    ASSERT_TRUE(WriteBmp(PathOf("page.bmp"), width, height, pixel, GetParam().bits, GetParam().topDown));
    const QImage half = LoadBitmapHalfSize(PathOf("page.bmp"));
    ASSERT_EQ(half.size(), QSize(20, 7));
    ASSERT_EQ(half.format(), QImage::Format_ARGB32);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 20; ++x) {
            std::uint32_t expected = 0xFF000000u;
            for (int shift : {16, 8, 0}) {
                unsigned sum = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx)
                        sum += (pixel(2 * x + dx, 2 * y + dy) >> shift) & 0xFF;
                expected |= ((sum + 2) / 4) << shift;
            }
            ASSERT_EQ(half.pixel(x, y), expected) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, HalvingBitmaps,
                         ::testing::Values(BitmapKind{24, false}, BitmapKind{24, true}, BitmapKind{32, false}),
                         [](const auto& info) {
                             return std::to_string(info.param.bits) + (info.param.topDown ? "TopDown" : "BottomUp");
                         });

TEST_F(HalvingBitmaps, OtherBitmapKindsGoThroughQtsReader)
{
    QImage indexed(10, 8, QImage::Format_Indexed8);
    indexed.setColorCount(2);
    indexed.setColor(0, qRgb(0, 0, 0));
    indexed.setColor(1, qRgb(255, 255, 255));
    indexed.fill(1);
    ASSERT_TRUE(indexed.save(QString::fromStdString(PathOf("palette.bmp")), "BMP"));
    const QImage half = LoadBitmapHalfSize(PathOf("palette.bmp"));
    EXPECT_EQ(half.size(), QSize(5, 4));
    EXPECT_EQ(half.format(), QImage::Format_ARGB32);
    EXPECT_EQ(half.pixel(2, 2), 0xFFFFFFFFu);

    // A header that promises more rows than the file holds.
    ASSERT_TRUE(WriteBmp(PathOf("short.bmp"), 64, 64, [](int, int) { return 0u; }));
    std::filesystem::resize_file(PathOf("short.bmp"), 54 + 64 * 3 * 10);
    EXPECT_NO_FATAL_FAILURE(LoadBitmapHalfSize(PathOf("short.bmp")));
}

// A real pane: a question of two pages exports its first page only.
TEST_F(ExportPageImages, ARealPaneOfSeveralPagesGivesItsFirstPage)
{
    editor::CHwpctrl pane;
    const std::string templatePath = PathOf("sf_exam_format.hwp");
    hwp::WriteDocument(templates::MakeTemplateDocument("sf_exam_format.hwp"), templatePath);
    ASSERT_TRUE(pane.OpenDocument(Utf16(templatePath), u"HWP"));
    std::u16string text;
    for (int i = 0; i < 80; ++i)
        text += u"다음 글을 읽고 물음에 답하시오. " + QString::number(i).toStdU16String() + u"\r\n";
    auto action = pane.CreateAction(u"InsertText");
    auto set = action->CreateActionSet();
    set->SetItem(u"Text", text);
    ASSERT_TRUE(action->Execute(*set));

    const ExamRecord record = RecordIn(Folder(), Folder());
    ASSERT_TRUE(ExportPageImage(pane, record, "obj-exam"));
    const std::string png = PathOf("12-print-obj-exam001.png");
    EXPECT_EQ(PngCheckFailure(png), "");
    const QImage exported = ReadImage(png).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(exported.size(), QSize(2480, 3508));

    for (int page : {0, 1}) {
        const std::string bitmap = PathOf("page" + std::to_string(page) + ".bmp");
        ASSERT_TRUE(pane.RenderPageImage(Utf16(bitmap), page, 600, 24, u"bmp"));
        ASSERT_TRUE(ConvertPageBitmap(bitmap, PathOf("page.png")));
        const QImage reference = ReadImage(PathOf("page.png")).convertToFormat(QImage::Format_ARGB32);
        if (page == 0)
            EXPECT_TRUE(exported == reference) << "the first page";
        else
            EXPECT_FALSE(exported == reference) << "not the second";
    }
    EXPECT_FALSE(Exists(PathOf("12-print-obj-exam.bmp")));
}

} // namespace
