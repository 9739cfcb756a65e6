// Cropping and measuring on images made here with known content boxes.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <zlib.h>

#include "support/json.h"
#include "tools/tolvard/crop.h"
#include "tools/tolvard/cropper.h"
#include "tools/tolvard/png_io.h"

namespace {

namespace fs = std::filesystem;
using tolvard::kPadding;

QImage WhitePage(int width, int height, QImage::Format format = QImage::Format_ARGB32)
{
    QImage page(width, height, format);
    page.fill(Qt::white);
    return page;
}

void FillBox(QImage& page, const QRect& box, QColor colour = Qt::black)
{
    QPainter painter(&page);
    painter.fillRect(box, colour);
}

TEST(ContentRect, SpansEveryInkPixelAndNothingElse)
{
    QImage page = WhitePage(600, 800);
    FillBox(page, QRect(100, 150, 100, 100));
    page.setPixel(450, 700, qRgb(200, 200, 200));   // a faint grey dot still counts
    EXPECT_EQ(tolvard::ContentRect(page), QRect(QPoint(100, 150), QPoint(450, 700)));
}

TEST(ContentRect, IgnoresNearWhiteAndTransparentPixels)
{
    QImage page = WhitePage(300, 300);
    FillBox(page, QRect(40, 50, 10, 20));
    page.setPixel(5, 5, qRgb(250, 250, 250));
    page.setPixel(290, 290, qRgba(0, 0, 0, 0));
    page.setPixel(291, 291, qRgba(0, 0, 0, 8));
    EXPECT_EQ(tolvard::ContentRect(page), QRect(40, 50, 10, 20));
}

TEST(ContentRect, BlankAndNullPagesHaveNoContent)
{
    EXPECT_TRUE(tolvard::ContentRect(WhitePage(200, 100)).isNull());
    EXPECT_TRUE(tolvard::ContentRect(QImage()).isNull());
    QImage transparent(50, 50, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    EXPECT_TRUE(tolvard::ContentRect(transparent).isNull());
}

TEST(ContentRect, WorksOnOtherPixelFormats)
{
    for (auto format : {QImage::Format_RGB888, QImage::Format_Grayscale8, QImage::Format_RGB32,
                        QImage::Format_ARGB32_Premultiplied}) {
        QImage page = WhitePage(120, 90, format);
        FillBox(page, QRect(10, 20, 30, 5));
        EXPECT_EQ(tolvard::ContentRect(page), QRect(10, 20, 30, 5)) << format;
    }
}

TEST(CropToContent, KeepsTheContentWithAnEvenPadding)
{
    QImage page = WhitePage(600, 800);
    FillBox(page, QRect(100, 150, 100, 40), Qt::red);
    FillBox(page, QRect(300, 400, 20, 20), Qt::blue);
    QRect content;
    const QImage cropped = tolvard::CropToContent(page, kPadding, &content);
    EXPECT_EQ(content, QRect(QPoint(100, 150), QPoint(319, 419)));
    ASSERT_EQ(cropped.size(), QSize(220 + 2 * kPadding, 270 + 2 * kPadding));
    EXPECT_EQ(tolvard::ContentRect(cropped), QRect(kPadding, kPadding, 220, 270));
    EXPECT_EQ(cropped.pixel(kPadding, kPadding), qRgb(255, 0, 0));
    EXPECT_EQ(cropped.pixel(kPadding + 219, kPadding + 269), qRgb(0, 0, 255));
    EXPECT_EQ(cropped.pixel(0, 0), qRgb(255, 255, 255));
}

TEST(CropToContent, PadsContentThatTouchesThePageEdges)
{
    QImage page = WhitePage(100, 60);
    FillBox(page, QRect(0, 0, 100, 60));
    const QImage cropped = tolvard::CropToContent(page, 5);
    ASSERT_EQ(cropped.size(), QSize(110, 70));
    EXPECT_EQ(cropped.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(cropped.pixel(5, 5), qRgb(0, 0, 0));
    EXPECT_EQ(cropped.pixel(109, 69), qRgb(255, 255, 255));
}

TEST(CropToContent, BlankPageGivesThePaddingOnly)
{
    const QImage cropped = tolvard::CropToContent(WhitePage(300, 400), kPadding);
    EXPECT_EQ(cropped.size(), QSize(2 * kPadding, 2 * kPadding));
}

// A workspace with exported page images named as the editor names them.
class CropWorkspace : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/varnel-tolvard-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_workspace = pattern;
        m_question = m_workspace / "local_exam" / "ek-12";
        m_passage = m_workspace / "local_examtext" / "etk-7";
        fs::create_directories(m_question);
        fs::create_directories(m_passage);
    }
    void TearDown() override { fs::remove_all(m_workspace); }

    // A page 1240 wide with one black box `height` high.
    static void WritePage(const fs::path& path, int height)
    {
        QImage page = WhitePage(1240, 1754);
        FillBox(page, QRect(100, 200, 900, height));
        ASSERT_TRUE(page.save(QString::fromStdString(path.string()), "PNG"));
    }
    static int Preview(int print) { return static_cast<int>(std::lround(print * 800.0 / 1240.0)); }

    static JsonObject Members(const JsonOwnedPtr& root) { return JsonObjectOf(root.get()); }

    tolvard::CropRequest Request(const std::string& type) const
    {
        tolvard::CropRequest request;
        request.examKey = 12;
        request.examLocal = "local_exam";
        request.examtextKey = 7;
        request.examtextLocal = "local_examtext";
        request.examType = type;
        return request;
    }

    fs::path m_workspace, m_question, m_passage;
};

TEST_F(CropWorkspace, ObjectiveQuestionWithPassageGetsEveryHeightAndCroppedImages)
{
    WritePage(m_passage / "7-print-text001.png", 500);
    WritePage(m_question / "12-examprint-obj001.png", 1200);
    WritePage(m_question / "12-print-obj-exam001.png", 100);
    WritePage(m_question / "12-print-obj-objective001.png", 200);
    WritePage(m_question / "12-print-obj-answer001.png", 30);
    WritePage(m_question / "12-print-obj-explain001.png", 300);

    const std::string answer = tolvard::CropAndMeasure(Request("obj"), m_workspace.string());
    const int p = 2 * kPadding;
    const std::string expected =
        "{\"textprint_height\":" + std::to_string(500 + p) + ",\"textpreview_height\":" +
        std::to_string(Preview(500 + p)) + ",\"exam_type\":\"obj\",\"examprint_height\":" + std::to_string(1200 + p) +
        ",\"exampreview_height\":" + std::to_string(Preview(1200 + p)) +
        ",\"examcard_height\":" + std::to_string(Preview(100 + p) + Preview(200 + p)) +
        ",\"exam_print_height\":" + std::to_string(100 + p) + ",\"exam_preview_height\":" +
        std::to_string(Preview(100 + p)) + ",\"obj_print_height\":" + std::to_string(200 + p) +
        ",\"obj_preview_height\":" + std::to_string(Preview(200 + p)) + ",\"answer_print_height\":" +
        std::to_string(30 + p) + ",\"answer_preview_height\":" + std::to_string(Preview(30 + p)) +
        ",\"explain_print_height\":" + std::to_string(300 + p) + ",\"explain_preview_height\":" +
        std::to_string(Preview(300 + p)) + "}";
    EXPECT_EQ(answer, expected);

    for (const auto& [folder, name, height] :
         {std::tuple{m_passage, "7-print-text.png", 500}, std::tuple{m_question, "12-print-obj-exam.png", 100},
          std::tuple{m_question, "12-print-obj-objective.png", 200},
          std::tuple{m_question, "12-print-obj-answer.png", 30},
          std::tuple{m_question, "12-print-obj-explain.png", 300}}) {
        const QImage cropped(QString::fromStdString((folder / name).string()));
        ASSERT_FALSE(cropped.isNull()) << name;
        EXPECT_EQ(cropped.size(), QSize(900 + p, height + p)) << name;
    }
    // The print document is measured, not packed: no cropped copy of it.
    EXPECT_FALSE(fs::exists(m_question / "12-print-examprint-obj.png"));
}

TEST_F(CropWorkspace, MissingImagesGiveZeroHeights)
{
    WritePage(m_question / "12-print-sbj-exam001.png", 100);
    const JsonOwnedPtr root = ParseJsonUtf8(tolvard::CropAndMeasure(Request("sbj"), m_workspace.string()));
    const JsonObject answer = Members(root);
    EXPECT_EQ(JsonGetText(answer, "exam_type"), "sbj");
    EXPECT_EQ(JsonGetInt(answer, "exam_print_height"), 100 + 2 * kPadding);
    for (const char* key : {"textprint_height", "textpreview_height", "examprint_height", "exampreview_height",
                            "answer_print_height", "answer_preview_height", "explain_print_height",
                            "explain_preview_height"}) {
        ASSERT_TRUE(answer.count(std::u16string(key, key + std::strlen(key)))) << key;
        EXPECT_EQ(JsonGetInt(answer, key), 0) << key;
    }
    EXPECT_EQ(JsonGetInt(answer, "examcard_height"), JsonGetInt(answer, "exam_preview_height"));
    // Options heights belong to objective questions only.
    EXPECT_FALSE(answer.count(u"obj_print_height"));
    EXPECT_FALSE(answer.count(u"obj_preview_height"));
    EXPECT_FALSE(fs::exists(m_question / "12-print-sbj-answer.png"));
}

TEST_F(CropWorkspace, UnreadableImageCountsAsMissing)
{
    std::FILE* f = std::fopen((m_question / "12-print-des-exam001.png").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a picture", f);
    std::fclose(f);
    const JsonOwnedPtr root = ParseJsonUtf8(tolvard::CropAndMeasure(Request("des"), m_workspace.string()));
    EXPECT_EQ(JsonGetInt(Members(root), "exam_print_height"), 0);
    EXPECT_FALSE(fs::exists(m_question / "12-print-des-exam.png"));
}

TEST_F(CropWorkspace, BlankPartMeasuresZeroButStillLeavesItsImage)
{
    QImage blank = WhitePage(1240, 1754);
    ASSERT_TRUE(blank.save(QString::fromStdString((m_question / "12-print-sbj-explain001.png").string()), "PNG"));
    const JsonOwnedPtr root = ParseJsonUtf8(tolvard::CropAndMeasure(Request("sbj"), m_workspace.string()));
    EXPECT_EQ(JsonGetInt(Members(root), "explain_print_height"), 0);
    EXPECT_TRUE(fs::exists(m_question / "12-print-sbj-explain.png"));
}

TEST_F(CropWorkspace, OtherTypeTextMeasuresOnlyThePassage)
{
    WritePage(m_passage / "7-print-text001.png", 40);
    WritePage(m_question / "12-print-obj-exam001.png", 100);
    const std::string answer = tolvard::CropAndMeasure(Request(""), m_workspace.string());
    EXPECT_EQ(answer, "{\"textprint_height\":" + std::to_string(40 + 2 * kPadding) + ",\"textpreview_height\":" +
                          std::to_string(Preview(40 + 2 * kPadding)) + ",\"exam_type\":\"\"}");
    EXPECT_FALSE(fs::exists(m_question / "12-print-obj-exam.png"));
}

TEST_F(CropWorkspace, QuestionWithoutPassageLeavesThePassageFolderAlone)
{
    WritePage(m_passage / "7-print-text001.png", 40);
    auto request = Request("obj");
    request.examtextKey = 0;
    const JsonOwnedPtr root = ParseJsonUtf8(tolvard::CropAndMeasure(request, m_workspace.string()));
    EXPECT_EQ(JsonGetInt(Members(root), "textprint_height"), 0);
    EXPECT_FALSE(fs::exists(m_passage / "7-print-text.png"));
    // A key the editor reads as negative is no passage either.
    request.examtextKey = 0x80000007u;
    tolvard::CropAndMeasure(request, m_workspace.string());
    EXPECT_FALSE(fs::exists(m_passage / "7-print-text.png"));
}

// During a save the editor's images lie in staged copies beside the item folders: the
// crops go there, the item folders stay as they are, and a crop that cannot be written
// is named in the answer.
TEST_F(CropWorkspace, AStagedSaveIsCroppedInItsCopyAndAFailedCropIsNamed)
{
    const fs::path staged = m_workspace / "local_exam" / ".ek-12.saving-Ab3";
    fs::create_directories(staged);
    WritePage(staged / "12-print-obj-exam001.png", 100);
    WritePage(staged / "12-print-obj-answer001.png", 30);
    fs::create_directories(staged / "12-print-obj-answer.png"); // a folder where the crop belongs
    tolvard::CropRequest request = Request("obj");
    request.examStage = staged.filename().string();
    const JsonOwnedPtr root = ParseJsonUtf8(tolvard::CropAndMeasure(request, m_workspace.string()));
    const JsonObject answer = Members(root);
    EXPECT_EQ(JsonGetInt(answer, "exam_print_height"), 100 + 2 * kPadding);
    EXPECT_TRUE(fs::exists(staged / "12-print-obj-exam.png"));
    EXPECT_TRUE(fs::is_empty(m_question));
    EXPECT_EQ(JsonGetInt(answer, "write_error"), EISDIR);
    EXPECT_EQ(JsonGetText(answer, "write_file"), (staged / "12-print-obj-answer.png").string());

    // Only a staged copy of that very item folder, beside it.
    const std::string folder = m_question.string();
    EXPECT_EQ(tolvard::StagedFolder(folder, ""), folder);
    EXPECT_EQ(tolvard::StagedFolder(folder, ".ek-12.saving-x"), (m_workspace / "local_exam/.ek-12.saving-x").string());
    for (const char* stage : {"..", "../x", ".ek-12.saving-", ".ek-13.saving-x", "ek-12", ".ek-12.saving-x/..", "x"})
        EXPECT_EQ(tolvard::StagedFolder(folder, stage), "") << stage;
}

TEST(StoreFolders, FollowTheStoreRulesAndRefuseKindsThatLeaveTheWorkspace)
{
    EXPECT_EQ(tolvard::QuestionFolder("/w", "local_exam", 12), "/w/local_exam/ek-12");
    EXPECT_EQ(tolvard::QuestionFolder("/w", "exam", 1234567), "/w/exam/d6-001/d4-23/d2-45/ek-1234567");
    EXPECT_EQ(tolvard::QuestionFolder("/w", "shared_exam", 5), "/w/shared_exam/d6-000/d4-00/d2-00/ek-5");
    EXPECT_EQ(tolvard::PassageFolder("/w", "local_examtext", 8), "/w/local_examtext/etk-8");
    EXPECT_EQ(tolvard::PassageFolder("/w", "examtext", 1234567), "/w/examtext/d4-123/d2-45/etk-1234567");
    EXPECT_EQ(tolvard::PassageFolder("/w", "../../etc", 99), "/w/examtext/d4-00/d2-00/etk-99");
    for (const char* kind : {"", ".", "..", "../x", "a/b"})
        EXPECT_EQ(tolvard::QuestionFolder("/w", kind, 1), "") << kind;
}

TEST(CropRequest, ReadsTheEditorsRequestIncludingLargeUnsignedKeys)
{
    const auto request = tolvard::ParseCropRequest(
        "{\"school_key\":3000000000,\"user_key\":15,\"content_type\":\"exam\",\"exam_key\":12,\"exam_local\":"
        "\"local_exam\",\"examtext_key\":7,\"examtext_local\":\"local_examtext\",\"exam_type\":\"sbj\"}");
    ASSERT_TRUE(request);
    EXPECT_EQ(request->schoolKey, 3000000000u);
    EXPECT_EQ(request->userKey, 15u);
    EXPECT_EQ(request->examKey, 12u);
    EXPECT_EQ(request->examLocal, "local_exam");
    EXPECT_EQ(request->examtextKey, 7u);
    EXPECT_EQ(request->examtextLocal, "local_examtext");
    EXPECT_EQ(request->examType, "sbj");
    EXPECT_FALSE(tolvard::ParseCropRequest("[1,2]"));
    EXPECT_FALSE(tolvard::ParseCropRequest("{\"exam_key\":"));
    EXPECT_EQ(tolvard::HandleCropRequest("not json"), "");
}

} // namespace

namespace {

fs::path ScratchPng(const char* name) { return fs::temp_directory_path() / (std::string("varnel-png-") + name + ".png"); }

} // namespace

TEST(PngFiles, EveryColourTypeReadsAsTheSamePixels)
{
    QImage page = WhitePage(40, 30, QImage::Format_RGB32);
    FillBox(page, QRect(5, 6, 10, 8), QColor(10, 200, 30));
    FillBox(page, QRect(20, 12, 8, 8), Qt::black);
    for (const QImage::Format format : {QImage::Format_RGB888, QImage::Format_ARGB32, QImage::Format_Grayscale8,
                                        QImage::Format_Indexed8, QImage::Format_RGBA64}) {
        const QImage source = page.convertToFormat(format);
        const fs::path path = ScratchPng("format");
        ASSERT_TRUE(source.save(QString::fromStdString(path.string()), "PNG"));
        const QImage read = tolvard::ReadPng(path.string());
        ASSERT_FALSE(read.isNull()) << format;
        EXPECT_EQ(read.size(), page.size());
        const QImage expected = source.convertToFormat(QImage::Format_RGBA8888);
        for (const QPoint at : {QPoint(0, 0), QPoint(7, 9), QPoint(22, 14), QPoint(39, 29)})
            EXPECT_EQ(read.pixel(at), expected.pixel(at)) << format << " at " << at.x() << "," << at.y();
        fs::remove(path);
    }
}

TEST(PngFiles, WrittenImagesKeepPixelsAndResolution)
{
    QImage page = WhitePage(64, 48);
    FillBox(page, QRect(3, 4, 20, 10), QColor(200, 20, 20));
    page.setDotsPerMeterX(11811);   // 300 dpi
    page.setDotsPerMeterY(11811);
    const fs::path path = ScratchPng("written");
    ASSERT_TRUE(tolvard::WritePngFile(page, path.string()));
    const QImage qt(QString::fromStdString(path.string()));
    ASSERT_FALSE(qt.isNull());
    EXPECT_EQ(qt.convertToFormat(QImage::Format_ARGB32), page);
    EXPECT_EQ(qt.dotsPerMeterX(), 11811);
    EXPECT_EQ(tolvard::ReadPng(path.string()).dotsPerMeterY(), 11811);
    fs::remove(path);
}

TEST(PngFiles, DamagedAndOversizedFilesReadAsNothing)
{
    QImage page = WhitePage(200, 100);
    FillBox(page, QRect(10, 10, 50, 50));
    const fs::path path = ScratchPng("damaged");
    ASSERT_TRUE(page.save(QString::fromStdString(path.string()), "PNG"));
    std::string bytes;
    {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, n);
        std::fclose(f);
    }
    auto rewrite = [&](const std::string& content) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    };
    rewrite(bytes.substr(0, bytes.size() / 2));   // cut off in the image data
    EXPECT_TRUE(tolvard::ReadPng(path.string()).isNull());
    std::string huge = bytes;
    // IHDR width and height at bytes 16..23: 100000 x 100000 pixels.
    const unsigned char side[4] = {0x00, 0x01, 0x86, 0xA0};
    huge.replace(16, 4, reinterpret_cast<const char*>(side), 4);
    huge.replace(20, 4, reinterpret_cast<const char*>(side), 4);
    rewrite(huge);
    EXPECT_TRUE(tolvard::ReadPng(path.string()).isNull());
    fs::remove(path);
    EXPECT_TRUE(tolvard::ReadPng(path.string()).isNull());
}

namespace {

void PutBe32(std::string& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void AppendChunk(std::string& png, const char* type, const std::string& data)
{
    PutBe32(png, static_cast<std::uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    PutBe32(png, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                   static_cast<uInt>(body.size()))));
}

int PaethOf(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// A PNG of `image`'s pixels (RGB or RGBA, 8 bits) whose row y uses filter `filters(y)`,
// its zlib data split over IDAT chunks of `chunk` bytes.
std::string FilteredPng(const QImage& image, bool alpha, int (*filters)(int), std::size_t chunk)
{
    const int bpp = alpha ? 4 : 3;
    const int width = image.width();
    const std::size_t rowBytes = static_cast<std::size_t>(width) * bpp;
    std::string raw;
    std::vector<unsigned char> prior(rowBytes, 0), row(rowBytes);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = image.pixel(x, y);
            const unsigned char channels[4] = {static_cast<unsigned char>(qRed(pixel)),
                                               static_cast<unsigned char>(qGreen(pixel)),
                                               static_cast<unsigned char>(qBlue(pixel)),
                                               static_cast<unsigned char>(qAlpha(pixel))};
            std::memcpy(&row[static_cast<std::size_t>(x) * bpp], channels, bpp);
        }
        const int filter = filters(y);
        raw.push_back(static_cast<char>(filter));
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int left = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0;
            const int up = prior[i];
            const int corner = i >= static_cast<std::size_t>(bpp) ? prior[i - bpp] : 0;
            const int predicted = filter == 1 ? left : filter == 2 ? up : filter == 3 ? (left + up) / 2
                                  : filter == 4 ? PaethOf(left, up, corner) : 0;
            raw.push_back(static_cast<char>(row[i] - predicted));
        }
        prior = row;
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string zdata(size, '\0');
    compress2(reinterpret_cast<Bytef*>(zdata.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 6);
    zdata.resize(size);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    PutBe32(header, static_cast<std::uint32_t>(width));
    PutBe32(header, static_cast<std::uint32_t>(image.height()));
    header += std::string{8, static_cast<char>(alpha ? 6 : 2), 0, 0, 0};
    AppendChunk(png, "IHDR", header);
    for (std::size_t at = 0; at < zdata.size(); at += chunk)
        AppendChunk(png, "IDAT", zdata.substr(at, chunk));
    AppendChunk(png, "IEND", {});
    return png;
}

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

} // namespace

// Every row filter, on odd widths (rows not a multiple of 16 bytes), RGB and RGBA, the
// data spread over many IDAT chunks: the pixels come back exactly.
TEST(PngFiles, EveryRowFilterDecodesExactly)
{
    QImage noise(37, 23, QImage::Format_ARGB32);
    unsigned seed = 12345;
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) {
            seed = seed * 1103515245u + 12345u;
            noise.setPixel(x, y, seed >> 1);
        }
    int (*const patterns[])(int) = {
        [](int) { return 0; }, [](int) { return 1; }, [](int) { return 2; }, [](int) { return 3; },
        [](int) { return 4; }, [](int y) { return y % 5; }};
    const fs::path path = ScratchPng("filters");
    for (const bool alpha : {true, false}) {
        const QImage expected = alpha ? noise.convertToFormat(QImage::Format_RGBA8888)
                                      : noise.convertToFormat(QImage::Format_RGB32).convertToFormat(QImage::Format_RGBA8888);
        for (std::size_t p = 0; p < std::size(patterns); ++p) {
            WriteBytes(path, FilteredPng(expected, alpha, patterns[p], p == 5 ? 7 : 1 << 20));
            const QImage read = tolvard::ReadPng(path.string());
            ASSERT_FALSE(read.isNull()) << "pattern " << p << " alpha " << alpha;
            EXPECT_EQ(read.convertToFormat(QImage::Format_RGBA8888), expected) << "pattern " << p << " alpha " << alpha;
        }
    }
    // A filter type the format does not have, and image data short of the last row.
    std::string bad = FilteredPng(noise.convertToFormat(QImage::Format_RGBA8888), true, [](int y) { return y == 9 ? 5 : 0; }, 1 << 20);
    WriteBytes(path, bad);
    EXPECT_TRUE(tolvard::ReadPng(path.string()).isNull());
    const QImage shorter = noise.copy(0, 0, 37, 22).convertToFormat(QImage::Format_RGBA8888);
    std::string truncated = FilteredPng(shorter, true, [](int) { return 2; }, 1 << 20);
    truncated[8 + 8 + 7] = 23;   // IHDR claims one row more than the data holds
    // the header's checksum is not checked, as with every chunk of a page image
    WriteBytes(path, truncated);
    EXPECT_TRUE(tolvard::ReadPng(path.string()).isNull());
    fs::remove(path);
}

// What the cropper writes reads back through other decoders with the same pixels.
TEST(PngFiles, CroppedPageFromTheEditorsWriterRoundTrips)
{
    QImage page = WhitePage(301, 203);
    FillBox(page, QRect(30, 40, 200, 100), QColor(20, 40, 200));
    page.setPixel(250, 180, qRgb(1, 2, 3));
    const fs::path source = ScratchPng("page"), target = ScratchPng("crop");
    ASSERT_TRUE(page.save(QString::fromStdString(source.string()), "PNG"));
    const tolvard::PartHeights heights = tolvard::CropPartImage(source.string(), target.string());
    ASSERT_TRUE(heights.found);
    const QImage written(QString::fromStdString(target.string()));
    ASSERT_FALSE(written.isNull());
    EXPECT_EQ(written.size(), QSize(221 + 2 * kPadding, 141 + 2 * kPadding));
    EXPECT_EQ(written.pixel(kPadding + 220, kPadding + 140), qRgb(1, 2, 3));
    EXPECT_EQ(written.pixel(kPadding, kPadding), QColor(20, 40, 200).rgb());
    fs::remove(source);
    fs::remove(target);
}
