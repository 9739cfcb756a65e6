// Tables, pictures and equations as the page images draw them.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "page/object_painters.h"
#include "page/page_render.h"
#include "hwp/border_fill.h"
#include "hwp/equation.h"
#include "hwp/picture.h"
#include "hwp/reader.h"
#include "hwp/table.h"
#include "hwp/writer.h"
#include "hwp/section.h"
#include "math/layout.h"
#include "math/qt_font.h"

#include <QImage>
#include <QSet>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <thread>

namespace {

std::string SamplePath(const std::string& name)
{
    const std::string folder = hwp_testing::SamplesFolder();
    return folder.empty() ? std::string() : folder + "/" + name;
}

QImage PageImage(const editor::EditorDocument& document, int page, double dpi, const std::string& tag = {})
{
    const editor::PagedLayout layout(document);
    QImage image(layout.SheetPixelWidth(dpi), layout.SheetPixelHeight(dpi), QImage::Format_RGB32);
    layout.PaintBand(image, page, 0, dpi);
    // VARNEL_PAGE_IMAGES=folder keeps the images to look at.
    if (const char* folder = std::getenv("VARNEL_PAGE_IMAGES"))
        image.save(QString::fromUtf8(folder) + "/" +
                   QString::fromStdString(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
                   QString::fromStdString(tag) + QString::number(page) + ".png");
    return image;
}

bool Dark(QRgb pixel)
{
    return qGray(pixel) < 80;
}

// Rows (or columns) holding a dark run at least `length` long: ruling lines.
std::vector<int> RulingLines(const QImage& image, bool rows, int length)
{
    std::vector<int> lines;
    const int count = rows ? image.height() : image.width();
    const int along = rows ? image.width() : image.height();
    for (int i = 0; i < count; ++i) {
        int run = 0, longest = 0;
        for (int j = 0; j < along; ++j) {
            const QRgb pixel = rows ? image.pixel(j, i) : image.pixel(i, j);
            run = Dark(pixel) ? run + 1 : 0;
            longest = std::max(longest, run);
        }
        if (longest >= length)
            lines.push_back(i);
    }
    return lines;
}

// Groups neighbouring indexes (a line several pixels wide) into one.
std::vector<int> Distinct(const std::vector<int>& lines)
{
    std::vector<int> out;
    for (int line : lines) {
        if (out.empty() || line > out.back() + 3)
            out.push_back(line);
        else
            out.back() = line;
    }
    return out;
}

// Dark pixels strictly inside the grid the ruling lines make, away from the lines.
int InkBetweenLines(const QImage& image, const std::vector<int>& rows, const std::vector<int>& columns)
{
    const std::vector<int> r = Distinct(rows), c = Distinct(columns);
    int ink = 0;
    for (std::size_t i = 0; i + 1 < r.size(); ++i) {
        for (std::size_t j = 0; j + 1 < c.size(); ++j) {
            for (int y = r[i] + 4; y < r[i + 1] - 4; ++y) {
                for (int x = c[j] + 4; x < c[j + 1] - 4; ++x) {
                    const bool onLine = std::binary_search(rows.begin(), rows.end(), y) ||
                                        std::binary_search(columns.begin(), columns.end(), x);
                    ink += !onLine && Dark(image.pixel(x, y));
                }
            }
        }
    }
    return ink;
}

class ObjectPainters : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor_testing::EnsureApplication();
        editor::RegisterObjectPainters();
    }
    void TearDown() override { editor::RegisterObjectPainters(); }
};

TEST_F(ObjectPainters, TablesDrawTheirRulingLinesAndTheCellsText)
{
    for (const char* name : {"table.hwp", "borderfill.hwp", "table-position.hwp"}) {
        SCOPED_TRACE(name);
        const std::string path = SamplePath(name);
        if (path.empty())
            GTEST_SKIP() << "no sample documents";
        const std::unique_ptr<editor::EditorDocument> document = editor::ReadHwpFile(path);
        ASSERT_TRUE(document);
        const QImage page = PageImage(*document, 0, 150, name);
        // Lines at least 2 cm long: no letter of the body is that wide.
        const int length = static_cast<int>(150 * 2 / 2.54);
        const std::vector<int> rows = RulingLines(page, true, length);
        const std::vector<int> columns = RulingLines(page, false, static_cast<int>(150 * 0.5 / 2.54));
        EXPECT_GE(Distinct(rows).size(), 2u);
        EXPECT_GE(Distinct(columns).size(), 2u) << ::testing::PrintToString(columns);
    }
}

TEST_F(ObjectPainters, ATableOfTheDocumentShowsItsCellsTextInsideItsLines)
{
    hwp::Document document = hwp_testing::DocumentWithTexts({u"본문"});
    const std::uint16_t ruled = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 3, 0}));
    document.sections[0].paragraphs[0].controls.push_back(
        hwp_testing::TableControl(document, {u"가나다라마바사", u"아자차카타파하"}, 0, 0, ruled));
    document.sections[0].paragraphs[0].controls.back().position = 2;
    document.sections[0].paragraphs[0].controls.back().end = 2;
    const std::unique_ptr<editor::EditorDocument> pane = editor::ToEditorDocument(document);
    const QImage page = PageImage(*pane, 0, 150);
    const std::vector<int> rows = RulingLines(page, true, 100);
    const std::vector<int> columns = RulingLines(page, false, 20);
    EXPECT_EQ(Distinct(rows).size(), 2u);
    EXPECT_EQ(Distinct(columns).size(), 3u);
    EXPECT_GT(InkBetweenLines(page, rows, columns), 200) << "the cells' letters";
}

// A table of `width` HwpUnit, 2 x 2 ruled cells, standing in the first paragraph.
std::unique_ptr<editor::EditorDocument> WithTable(hwp::HwpUnit width, std::int16_t spacing = 0,
                                                  std::optional<hwp::ColorRef> tableBackground = std::nullopt)
{
    hwp::Document document = hwp_testing::DocumentWithTexts({u"본문"});
    const std::uint16_t ruled = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 3, 0}));
    hwp::Table table = hwp::NewTable(2, 2, width, ruled);
    table.cellSpacing = spacing;
    if (tableBackground)
        table.borderFillId = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 3, 0}, tableBackground));
    hwp::FitTableSize(table);
    document.sections[0].paragraphs[0].controls.push_back(hwp::WriteTable(table, document));
    return editor::ToEditorDocument(document);
}

TEST_F(ObjectPainters, ATableWiderThanTheBodyRunsIntoTheMarginAtItsWidth)
{
    const std::unique_ptr<editor::EditorDocument> narrow = WithTable(1000);
    const editor::PageSetup& page = narrow->Page();
    const hwp::HwpUnit width = page.BodyWidth() * 11 / 10;
    const std::unique_ptr<editor::EditorDocument> pane = WithTable(width);
    const double dpi = 150;
    const QImage image = PageImage(*pane, 0, dpi);
    const std::vector<int> columns = Distinct(RulingLines(image, false, 20));
    ASSERT_EQ(columns.size(), 3u);
    const double bodyRight = (page.BodyLeft() + page.BodyWidth()) * dpi / 7200;
    EXPECT_GT(columns.back(), bodyRight + 50) << "not squeezed into the body";
    EXPECT_NEAR(columns.back() - columns.front(), width * dpi / 7200, 4);
}

TEST_F(ObjectPainters, CellsApartShowTheTablesOwnFillBetweenThem)
{
    const QColor grey(0x80, 0xC0, 0x80);
    const hwp::ColorRef fill = static_cast<hwp::ColorRef>(grey.red()) | (static_cast<hwp::ColorRef>(grey.green()) << 8) |
                               (static_cast<hwp::ColorRef>(grey.blue()) << 16);
    const QImage apart = PageImage(*WithTable(20000, 300, fill), 0, 150);
    const QImage together = PageImage(*WithTable(20000, 0, fill), 0, 150);
    const auto count = [&](const QImage& image) {
        int pixels = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                pixels += image.pixel(x, y) == grey.rgb();
        return pixels;
    };
    EXPECT_GT(count(apart), 500) << "the fill shows in the spacing";
    EXPECT_EQ(count(together), 0) << "cells side by side cover it";
}

// The part of `with` that differs from `without`, and how many colours it holds.
struct Difference {
    QRect box;
    int colours = 0;
};

Difference DifferenceOf(const QImage& with, const QImage& without)
{
    Difference out;
    QSet<QRgb> colours;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) {
            if (with.pixel(x, y) == without.pixel(x, y))
                continue;
            out.box |= QRect(x, y, 1, 1);
            if (colours.size() < 10000)
                colours.insert(with.pixel(x, y));
        }
    }
    out.colours = static_cast<int>(colours.size());
    return out;
}

TEST_F(ObjectPainters, PicturesShowTheirImage)
{
    for (const char* name : {"sample-5017-pics.hwp", "shapepict-scaled.hwp"}) {
        SCOPED_TRACE(name);
        const std::string path = SamplePath(name);
        if (path.empty())
            GTEST_SKIP() << "no sample documents";
        const std::unique_ptr<editor::EditorDocument> document = editor::ReadHwpFile(path);
        ASSERT_TRUE(document);
        const QImage with = PageImage(*document, 0, 100, name);
        editor::RegisterKeptObjectPainter(hwp::kDrawingCtrlId, nullptr);
        const QImage without = PageImage(*document, 0, 100, name + std::string("-box"));
        editor::RegisterObjectPainters();

        const Difference difference = DifferenceOf(with, without);
        EXPECT_GT(difference.box.width(), 30);
        EXPECT_GT(difference.box.height(), 30);
        EXPECT_GT(difference.colours, 16) << "an image, not a frame";
        // A second page image draws the same (from the decoded image kept for the object).
        EXPECT_EQ(PageImage(*document, 0, 100), with);
    }
}

TEST_F(ObjectPainters, APictureWhoseBytesDoNotDecodePrintsAsAnObjectWithoutPainter)
{
    const std::string path = SamplePath("shapepict-scaled.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    hwp::Document document = hwp::ReadDocument(path);
    ASSERT_FALSE(document.binData.empty());
    for (hwp::BinDataItem& item : document.binData)
        item.stream = hwp::Bytes(5000, 0x5A);
    const std::unique_ptr<editor::EditorDocument> pane = editor::ToEditorDocument(document);
    const QImage with = PageImage(*pane, 0, 100, "garbage");
    editor::RegisterKeptObjectPainter(hwp::kDrawingCtrlId, nullptr);
    const QImage box = PageImage(*pane, 0, 100, "garbage-box");
    EXPECT_EQ(with, box);
}

TEST_F(ObjectPainters, AnEquationDrawsItsGlyphsInsideItsBoxOnEveryThread)
{
    hwp::Document document = hwp_testing::DocumentWithTexts({u"식 "});
    hwp::Equation equation;
    equation.script = u"{x+1} over {y^2}";
    equation.baseSize = 2000;
    equation.color = 0x000000FF;   // red
    const math::EquationLayout typeset = math::Typeset(equation.script, math::QtMathFont());
    SetEquationBox(equation, static_cast<hwp::HwpUnit>(typeset.width * equation.baseSize),
                   static_cast<hwp::HwpUnit>(typeset.ascent * equation.baseSize),
                   static_cast<hwp::HwpUnit>(typeset.descent * equation.baseSize));
    document.sections[0].paragraphs[0].controls.push_back(hwp::NewEquationControl(equation));
    document.sections[0].paragraphs[0].controls.back().position = 2;
    document.sections[0].paragraphs[0].controls.back().end = 2;
    const std::unique_ptr<editor::EditorDocument> pane = editor::ToEditorDocument(document);

    const auto redBox = [](const QImage& image) {
        QRect box;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
                    box |= QRect(x, y, 1, 1);
            }
        }
        return box;
    };
    const QImage page = PageImage(*pane, 0, 300);
    const QRect ink = redBox(page);
    ASSERT_FALSE(ink.isEmpty());
    // Its recorded box at 300 dpi: HwpUnit / 24.
    const double width = equation.width / 24.0, height = equation.height / 24.0;
    EXPECT_NEAR(ink.width(), width, width * 0.15);
    EXPECT_NEAR(ink.height(), height, height * 0.2);

    QImage elsewhere;
    std::thread([&] { elsewhere = PageImage(*pane, 0, 300); }).join();
    EXPECT_EQ(redBox(elsewhere), ink);
}

// The text of a box or a cell whose paragraph sets two columns of its own keeps the lines
// the file stored: four in the first column, four beside them, the text as tall as a column.
TEST_F(ObjectPainters, AParagraphWithColumnsOfItsOwnLaysItsStoredLinesSideBySide)
{
    hwp::Document source = hwp::NewDocument();
    hwp::Paragraph paragraph;   // after the first, which holds the section's definitions
    paragraph.charShapes.push_back(hwp::CharShapeRun{});
    for (int i = 0; i < 24; ++i)
        paragraph.text += u"다단 ";
    hwp::Columns two;
    two.count = 2;
    two.gap = 2268;
    paragraph.controls.push_back(hwp::ColumnsControl(two));
    paragraph.controls.back().position = paragraph.controls.back().end =
        static_cast<std::uint32_t>(paragraph.text.size());   // at the end
    for (std::uint32_t i = 0; i < 8; ++i) {
        hwp::LineSegment line;
        line.textStart = 9 * i;   // three words a line
        line.top = 1600 * static_cast<std::int32_t>(i % 4);
        line.height = line.textHeight = 1000;
        line.baseline = 850;
        line.spacing = 600;
        line.width = 8752;
        line.flags = 0x00060000;
        paragraph.lineLayout.segments.push_back(line);
    }
    source.sections.front().paragraphs.push_back(paragraph);
    const hwp::Document read = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(source));
    const hwp::Paragraph& box = read.sections.front().paragraphs.back();
    ASSERT_EQ(box.lineLayout.segments.size(), 8u);

    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(3780);
    device.setDotsPerMeterY(3780);
    double height = 0;
    const auto text = editor::LayOutParagraphs(read, {box},
                                               editor::HwpUnitsToLayout(8752 * 2 + 2268), device, height);
    ASSERT_NE(text, nullptr);
    const QTextLayout* layout = text->Text().begin().layout();
    ASSERT_EQ(layout->lineCount(), 8);
    const double secondColumn = editor::HwpUnitsToLayout(8752 + 2268);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(layout->lineAt(i).x(), secondColumn - 1);
        EXPECT_NEAR(layout->lineAt(i + 4).x(), secondColumn, 1.0);
        EXPECT_NEAR(layout->lineAt(i + 4).y(), layout->lineAt(i).y(), 0.5);
    }
    EXPECT_NEAR(layout->lineAt(3).y() - layout->lineAt(0).y(), editor::HwpUnitsToLayout(4800), 0.5);
    EXPECT_GE(height, layout->lineAt(3).y() + layout->lineAt(3).height());
}

} // namespace
