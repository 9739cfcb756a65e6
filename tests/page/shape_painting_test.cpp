// Drawn rectangles, lines and text boxes of a file: read with their outline and fill, and
// printed as the file draws them.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "document/hwp_mapping.h"
#include "page/object_painters.h"
#include "page/page_render.h"
#include "hwp/picture.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/shape.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <vector>

namespace {

std::string Sample(const std::string& name)
{
    const std::string folder = hwp_testing::SamplesFolder();
    return folder.empty() ? std::string() : folder + "/" + name;
}

std::vector<hwp::Shape> ShapesOf(const hwp::Document& document)
{
    std::vector<hwp::Shape> shapes;
    for (const hwp::Section& section : document.sections)
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            for (const hwp::Control& control : paragraph.controls)
                if (const auto shape = hwp::ReadShape(control))
                    shapes.push_back(*shape);
    return shapes;
}

} // namespace

TEST(Shapes, RectanglesAndLinesReadWithTheirOutlineFillAndEnds)
{
    const std::string rectangles = Sample("shaperect.hwp");
    if (rectangles.empty())
        GTEST_SKIP() << "no sample documents";
    const std::vector<hwp::Shape> shapes = ShapesOf(hwp::ReadDocument(rectangles));
    ASSERT_EQ(shapes.size(), 4u);
    for (const hwp::Shape& shape : shapes)
        EXPECT_EQ(shape.kind, hwp::ShapeKind::Rectangle);
    EXPECT_EQ(shapes[0].outline, static_cast<std::uint8_t>(hwp::LineKind::None));
    ASSERT_TRUE(shapes[0].fill);
    EXPECT_EQ(*shapes[0].fill, 0x00FFCC66u);
    EXPECT_EQ(shapes[1].outline, static_cast<std::uint8_t>(hwp::LineKind::Dash));
    EXPECT_FALSE(shapes[2].fill) << "an empty rectangle";
    EXPECT_EQ(shapes[3].outlineColor, 0x003300FFu);
    EXPECT_GT(shapes[0].width, 0);

    const std::vector<hwp::Shape> lines = ShapesOf(hwp::ReadDocument(Sample("shapeline.hwp")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].kind, hwp::ShapeKind::Line);
    EXPECT_EQ(lines[0].endX, 0x834);
    EXPECT_EQ(lines[0].endY, 0x802);
    EXPECT_EQ(lines[1].outlineWidth, 850) << "3 mm";

    // Pictures, groups and damaged components are not shapes.
    hwp::Control cut;
    cut.ctrlId = hwp::kDrawingCtrlId;
    cut.records.push_back(hwp::ObjectRecord{hwp::tag::kCtrlHeader, 0, hwp::Bytes(44, 0)});
    cut.records.push_back(hwp::ObjectRecord{hwp::tag::kShapeComponent, 1, {'c', 'e', 'r', '$', 'c', 'e', 'r', '$'}});
    EXPECT_FALSE(hwp::ReadShape(cut));
}

TEST(Shapes, APageImagePrintsTheFillTheOutlinesAndATextBoxsText)
{
    const std::string path = Sample("shaperect.hwp");
    if (path.empty())
        GTEST_SKIP() << "no sample documents";
    editor_testing::EnsureApplication();
    editor::RegisterObjectPainters();
    const std::unique_ptr<editor::EditorDocument> document = editor::ReadHwpFile(path);
    ASSERT_TRUE(document);
    const editor::PagedLayout layout(*document);
    constexpr double kDpi = 100;
    QImage image(layout.SheetPixelWidth(kDpi), layout.SheetPixelHeight(kDpi), QImage::Format_RGB32);
    layout.PaintBand(image, 0, 0, kDpi);
    int fill = 0, red = 0, dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel(image.pixel(x, y));
            fill += pixel.red() == 0x66 && pixel.green() == 0xCC && pixel.blue() == 0xFF;
            red += pixel.red() > 200 && pixel.green() < 150 && pixel.blue() < 180;
            dark += pixel.red() < 100 && pixel.green() < 100 && pixel.blue() < 100;
        }
    EXPECT_GT(fill, 15000) << "the blue rectangle, 4.2 x 2.9 cm";
    EXPECT_GT(red, 100) << "the red outline";
    EXPECT_GT(dark, 100) << "the text box's text and the dark outlines";
}
