// Drawn rectangles, lines, arcs, polygons, curves and text boxes of a file: read with
// their outline, fill and caption, and printed as the file draws them.
#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "document/hwp_mapping.h"
#include "page/object_painters.h"
#include "page/page_render.h"
#include "hwp/picture.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/shape.h"
#include "hwp/bytes.h"
#include "hwp/object_properties.h"
#include "hwp/paragraph_list.h"
#include "hwp/table.h"
#include "hwpx/package.h"
#include "hwpx/reader.h"
#include "document/kept_objects.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
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

namespace {

constexpr const char* kDrawingHeader =
    R"(<?xml version="1.0" encoding="UTF-8"?><hh:head xmlns:hh="http://www.hancom.co.kr/hwpml/2011/head" version="1.4">)"
    R"(<hh:refList><hh:charProperties itemCnt="1"><hh:charPr id="0" height="1000"/></hh:charProperties>)"
    R"(<hh:paraProperties itemCnt="1"><hh:paraPr id="0"/></hh:paraProperties></hh:refList></hh:head>)";

// A document of one paragraph holding `element`, read as an HWPX file with the drawing header.
hwp::Document DocumentHolding(const std::string& element)
{
    const std::string section =
        R"(<?xml version="1.0" encoding="UTF-8"?><hs:sec xmlns:hs="http://www.hancom.co.kr/hwpml/2011/section" )"
        R"(xmlns:hp="http://www.hancom.co.kr/hwpml/2011/paragraph" xmlns:hc="http://www.hancom.co.kr/hwpml/2011/core">)"
        R"(<hp:p paraPrIDRef="0" styleIDRef="0"><hp:run charPrIDRef="0">)" + element + "</hp:run></hp:p></hs:sec>";
    return hwpx::ReadHwpxFromBytes(hwpx::WritePackage({{"mimetype", "application/hwp+zip"},
                                                       {"Contents/header.xml", kDrawingHeader},
                                                       {"Contents/section0.xml", section}}));
}

constexpr const char* kNoOutline = R"(<hp:lineShape color="#000000" width="0" style="NONE"/>)";

// One drawn object of an HWPX section, 100 x 50 layout pixels, laid out as a character.
hwp::Document DrawingDocument(const std::string& kind, const std::string& inside, const std::string& outline = kNoOutline)
{
    const std::string element =
        "<hp:" + kind + R"( id="1" type="PIE"><hp:sz width="7500" height="3750"/><hp:pos treatAsChar="1"/>)"
        R"(<hp:orgSz width="7500" height="3750"/><hp:curSz width="7500" height="3750"/>)" +
        outline + inside + "</hp:" + kind + ">";
    return DocumentHolding(element);
}

std::string Brush(const std::string& face, const std::string& more = {})
{
    return R"(<hc:fillBrush><hc:winBrush faceColor=")" + face + R"(" hatchColor="#000000")" + more + "/></hc:fillBrush>";
}

std::string Gradation(const std::string& type)
{
    return R"(<hc:fillBrush><hc:gradation type=")" + type +
           R"(" angle="90" centerX="50" centerY="50" step="0" colorNum="2" stepCenter="50">)"
           R"(<hc:color value="#FF0000"/><hc:color value="#0000FF"/></hc:gradation></hc:fillBrush>)";
}

// The object painted at (20, 20) of a white 140 x 90 image, at its own size.
QImage PaintedAlone(const std::shared_ptr<const hwp::Document>& document, QSizeF* size = nullptr)
{
    const hwp::Control& control = document->sections.at(0).paragraphs.at(0).controls.at(0);
    const editor::KeptObject object{control, document};
    const auto painter = editor::KeptObjectPainterFor(control);
    const QSizeF own = painter->Size(object);
    if (size != nullptr)
        *size = own;
    QImage image(static_cast<int>(own.width()) + 40, static_cast<int>(own.height()) + 40, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter on(&image);
    painter->Paint(on, QRectF(QPointF(20, 20), own), 1.0, object);
    return image;
}

bool Near(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) < 90;
}

} // namespace

TEST(Shapes, FillsArcsPolygonsAndCurvesPaintWhereTheirFileSays)
{
    editor_testing::EnsureApplication();
    editor::RegisterObjectPainters();
    const QColor red(255, 0, 0), blue(0, 0, 255), green(0, 160, 0), white(Qt::white);
    struct Case {
        const char* what;
        std::string kind;
        std::string inside;
        std::vector<std::pair<QPoint, QColor>> pixels;   // in the object, from its top left
        int minDark = 0;                                   // stroked pixels along its middle row
        int maxDark = 1000;
        std::string outline = kNoOutline;
    };
    const QColor black(Qt::black), grey(128, 128, 128);
    // A line 1 mm wide across the middle, with heads 3 times as wide.
    const std::string arrowed = R"(<hp:lineShape color="#000000" width="283" style="SOLID" endCap="FLAT" )"
                                R"(headStyle="ARROW" tailStyle="FILLED_BOX" headSz="MEDIUM_MEDIUM" )"
                                R"(tailSz="MEDIUM_MEDIUM" headfill="1" tailfill="1"/>)";
    const std::vector<Case> cases = {
        {"a linear gradient runs from its first colour on the left to its second on the right", "rect",
         Gradation("LINEAR"), {{{3, 25}, red}, {{96, 25}, blue}}},
        {"a radial gradient has its first colour at its centre", "rect", Gradation("RADIAL"),
         {{{50, 25}, red}, {{1, 1}, blue}}},
        {"a square gradient has its first colour at its centre", "rect", Gradation("SQUARE"),
         {{{50, 25}, red}, {{50, 1}, blue}}},
        {"a vertical hatch strokes the face colour, not all of it", "rect",
         Brush("#FFFFFF", R"( hatchStyle="VERTICAL")"), {{{54, 2}, white}}, 8, 60},
        {"a pie fills the quarter of its ellipse about its centre", "arc",
         Brush("#00A000") + R"(<hc:center x="0" y="0"/><hc:ax1 x="0" y="3750"/><hc:ax2 x="7500" y="0"/>)",
         {{{10, 10}, green}, {{98, 48}, white}}},
        {"a polygon fills between its corners only", "polygon",
         Brush("#00A000") + R"(<hc:pt x="0" y="3750"/><hc:pt x="3750" y="0"/><hc:pt x="7500" y="3750"/>)",
         {{{50, 40}, green}, {{3, 3}, white}, {{96, 3}, white}}},
        {"a closed curve fills inside its points", "curve",
         Brush("#00A000") + R"(<hp:seg type="CURVE" x1="3750" y1="300" x2="7200" y2="1875"/>)"
                            R"(<hp:seg type="CURVE" x1="7200" y1="1875" x2="3750" y2="3450"/>)"
                            R"(<hp:seg type="CURVE" x1="3750" y1="3450" x2="300" y2="1875"/>)"
                            R"(<hp:seg type="CURVE" x1="300" y1="1875" x2="3750" y2="300"/>)",
         {{{50, 25}, green}, {{1, 1}, white}, {{98, 48}, white}}},
        {"an outline-only rectangle leaves its inside blank", "rect", Brush("none"), {{{50, 25}, white}}},
        {"a line's ends have their heads, an arrow at the start and a box at the end", "line",
         R"(<hc:startPt x="0" y="1875"/><hc:endPt x="7500" y="1875"/>)",
         {{{9, 22}, black}, {{9, 28}, black}, {{50, 21}, white}, {{99, 21}, black}, {{99, 29}, black}, {{50, 25}, black}},
         95, 1000,
         arrowed},
        {"a shadow falls to the right and below, under the shape", "rect",
         Brush("#0000FF") + R"(<hp:shadow type="PARELLEL_RIGHTBOTTOM" color="#808080" offsetX="300" offsetY="300" alpha="0"/>)",
         {{{102, 52}, grey}, {{50, 25}, blue}, {{102, 1}, white}}},
        {"a rectangle turned a quarter stands upright about its centre", "rect",
         Brush("#00A000") + R"(<hp:rotationInfo angle="90" centerX="3750" centerY="1875"/><hp:renderingInfo>)"
                            R"(<hc:transMatrix e1="1" e2="0" e3="0" e4="0" e5="1" e6="0"/>)"
                            R"(<hc:scaMatrix e1="1" e2="0" e3="0" e4="0" e5="1" e6="0"/>)"
                            R"(<hc:rotMatrix e1="0" e2="-1" e3="0" e4="1" e5="0" e6="0"/></hp:renderingInfo>)",
         {{{50, 2}, green}, {{50, 48}, green}, {{5, 25}, white}, {{95, 25}, white}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto document = std::make_shared<const hwp::Document>(DrawingDocument(c.kind, c.inside, c.outline));
        ASSERT_TRUE(hwp::ReadShape(document->sections.at(0).paragraphs.at(0).controls.at(0)));
        const QImage image = PaintedAlone(document);
        for (const auto& [at, colour] : c.pixels) {
            const QColor pixel = image.pixelColor(at + QPoint(20, 20));
            EXPECT_TRUE(Near(pixel, colour)) << at.x() << "," << at.y() << " is " << pixel.name().toStdString()
                                             << ", not " << colour.name().toStdString();
        }
        int dark = 0;
        for (int x = 20; x < 120; ++x)
            dark += image.pixelColor(x, 45).lightness() < 200;
        EXPECT_GE(dark, c.minDark);
        EXPECT_LE(dark, c.maxDark);
    }
}

TEST(Shapes, ACaptionStandsOnItsSideOfTheObjectWithItsGap)
{
    editor_testing::EnsureApplication();
    editor::RegisterObjectPainters();
    for (const hwp::CaptionSide side :
         {hwp::CaptionSide::Left, hwp::CaptionSide::Right, hwp::CaptionSide::Top, hwp::CaptionSide::Bottom}) {
        SCOPED_TRACE(static_cast<int>(side));
        hwp::Document document = DrawingDocument("rect", Brush("#0000FF"));
        // The caption's list right after the header: 30 layout pixels wide beside the
        // object, 10 pixels from it.
        hwp::Paragraph words;
        words.text = u"■■";
        words.charShapes.push_back({0, 0});
        hwp::Control& control = document.sections.at(0).paragraphs.at(0).controls.at(0);
        const std::vector<hwp::ObjectRecord> caption = hwp::WriteCaption({side, 2250, 750, {words}}, 2250, document);
        control.records.insert(control.records.begin() + 1, caption.begin(), caption.end());
        QSizeF size;
        const QImage image = PaintedAlone(std::make_shared<const hwp::Document>(document), &size);
        const bool beside = side == hwp::CaptionSide::Left || side == hwp::CaptionSide::Right;
        EXPECT_GT(beside ? size.width() : size.height(), beside ? 100 + 10 + 29 : 50 + 10 + 5);
        // Where the blue box and the caption's dark text lie.
        QRect box, text;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (Near(pixel, QColor(0, 0, 255)))
                    box |= QRect(x, y, 1, 1);
                else if (pixel.lightness() < 100)
                    text |= QRect(x, y, 1, 1);
            }
        ASSERT_FALSE(box.isEmpty());
        ASSERT_FALSE(text.isEmpty()) << "the caption is drawn";
        EXPECT_NEAR(box.width(), 100, 2);
        EXPECT_NEAR(box.height(), 50, 2);
        switch (side) {
        case hwp::CaptionSide::Left:
            EXPECT_LE(text.right() + 10, box.left());
            break;
        case hwp::CaptionSide::Right:
            EXPECT_GE(text.left(), box.right() + 10);
            break;
        case hwp::CaptionSide::Top:
            EXPECT_LE(text.bottom() + 10, box.top());
            break;
        case hwp::CaptionSide::Bottom:
            EXPECT_GE(text.top(), box.bottom() + 10);
            break;
        }
    }
}

TEST(Shapes, AGroupDrawsItsShapesAndTheirTextEachInItsPlace)
{
    editor_testing::EnsureApplication();
    editor::RegisterObjectPainters();
    const std::string text = R"(<hp:drawText lastWidth="7500"><hp:subList vertAlign="CENTER"><hp:p paraPrIDRef="0" )"
                             R"(styleIDRef="0"><hp:run charPrIDRef="0"><hp:t>■■■■■■</hp:t></hp:run></hp:p></hp:subList>)"
                             R"(<hp:textMargin left="0" right="0" top="0" bottom="0"/></hp:drawText>)";
    const auto document = std::make_shared<hwp::Document>(DrawingDocument("rect", Brush("#FF0000")));
    const hwp::Document boxed = DrawingDocument("rect", Brush("#FFFFFF") + text);
    const hwp::Control& red = document->sections[0].paragraphs[0].controls[0];
    const hwp::Control& box = boxed.sections[0].paragraphs[0].controls[0];
    // The group: the first rectangle's header and component made a container's, then both
    // rectangles as members side by side, one level down, their ids once.
    hwp::Control group = red;
    hwp::ObjectProperties wide = hwp::ReadObjectProperties(hwp::View(red.records[0].data), "header");
    wide.width = 15000;
    group.records = {{hwp::tag::kCtrlHeader, 0, hwp::WriteObjectProperties(hwp::kDrawingCtrlId, wide)}, red.records[1]};
    for (std::size_t at : {std::size_t{0}, std::size_t{4}})
        hwp::PutLittleEndianAt(group.records[1].data, at, 4, hwp::CtrlId('$', 'c', 'o', 'n'));
    double x = 0;
    for (const hwp::Control* member : {&red, &box}) {
        for (std::size_t i = 1; i < member->records.size(); ++i) {
            hwp::ObjectRecord record = member->records[i];
            ++record.level;
            if (i == 1) {
                record.data.erase(record.data.begin(), record.data.begin() + 4);
                std::uint64_t bits = 0;
                std::memcpy(&bits, &x, sizeof bits);
                for (std::size_t b = 0; b < 8; ++b)
                    record.data[64 + b] = static_cast<std::uint8_t>(bits >> (8 * b));
            }
            group.records.push_back(std::move(record));
        }
        x += 7500;
    }
    document->sections[0].paragraphs[0].controls[0] = group;
    const QImage image = PaintedAlone(document);
    EXPECT_TRUE(Near(image.pixelColor(20 + 25, 20 + 10), QColor(255, 0, 0))) << "the first member, red";
    int dark = 0;
    ASSERT_EQ(image.width(), 240);
    for (int y = 20; y < 70; ++y)
        for (int x = 20 + 105; x < 20 + 200; ++x)
            dark += image.pixelColor(x, y).lightness() < 100;
    EXPECT_GT(dark, 50) << "the second member's text";
    EXPECT_TRUE(Near(image.pixelColor(20 + 150, 20 + 2), QColor(Qt::white)));
    EXPECT_TRUE(Near(image.pixelColor(10, 45), QColor(Qt::white))) << "nothing outside the group";
}

namespace {

struct Turned {
    const char* what;
    std::string kind;
    std::string inside;                  // the kind's points
    std::vector<QPointF> outline;        // in the original size; empty: an ellipse of that size
    double width, height;                // original size
    double scaleX, scaleY;
    double angle;                        // degrees, clockwise
    bool currentSize;                    // whether curSz gives the stretched size
};

// A turned shape as the word processor writes it: its box the bounds of its turned frame,
// its rendering matrices stretching the original size, turning it about the frame's centre
// and moving it into the box. The outline's bounds through those matrices come back in
// `expected`, from the box's top left.
hwp::Document TurnedDocument(const Turned& t, QRectF& expected)
{
    const double w = t.width * t.scaleX, h = t.height * t.scaleY;
    QTransform turn;
    turn.translate(w / 2, h / 2);
    turn.rotate(t.angle);
    turn.translate(-w / 2, -h / 2);
    const QRectF frame = turn.mapRect(QRectF(0, 0, w, h));
    turn = QTransform::fromScale(t.scaleX, t.scaleY) * turn * QTransform::fromTranslate(-frame.left(), -frame.top());
    if (t.outline.empty()) {
        QPainterPath ellipse;
        ellipse.addEllipse(QRectF(0, 0, t.width, t.height));
        expected = turn.map(ellipse).boundingRect();
    } else {
        expected = turn.map(QPolygonF(QList<QPointF>(t.outline.begin(), t.outline.end()))).boundingRect();
    }
    const double radians = t.angle * std::numbers::pi / 180;
    const double c = std::cos(radians), s = std::sin(radians);
    const auto n = [](double v) { return QString::number(v, 'f', 6).toStdString(); };
    const auto whole = [](double v) { return std::to_string(std::lround(v)); };
    const std::string element =
        "<hp:" + t.kind + R"( id="1"><hp:offset x=")" + whole(-frame.left()) + R"(" y=")" + whole(-frame.top()) +
        R"("/><hp:orgSz width=")" + whole(t.width) + R"(" height=")" + whole(t.height) + R"("/><hp:curSz width=")" +
        (t.currentSize ? whole(w) : "0") + R"(" height=")" + whole(h) +
        R"("/><hp:rotationInfo angle=")" + whole(t.angle) + R"(" centerX=")" + whole(frame.width() / 2) +
        R"(" centerY=")" + whole(frame.height() / 2) + R"("/><hp:renderingInfo><hc:transMatrix e1="1" e2="0" e3=")" +
        n(-frame.left()) + R"(" e4="0" e5="1" e6=")" + n(-frame.top()) + R"("/><hc:scaMatrix e1=")" + n(t.scaleX) +
        R"(" e2="0" e3="0" e4="0" e5=")" + n(t.scaleY) + R"(" e6="0"/><hc:rotMatrix e1=")" + n(c) + R"(" e2=")" +
        n(-s) + R"(" e3=")" + n(w / 2 - c * w / 2 + s * h / 2) + R"(" e4=")" + n(s) + R"(" e5=")" + n(c) +
        R"(" e6=")" + n(h / 2 - s * w / 2 - c * h / 2) + R"("/></hp:renderingInfo>)" +
        R"(<hp:lineShape color="#000000" width="0" style="SOLID"/>)" + t.inside + R"(<hp:sz width=")" +
        whole(frame.width()) + R"(" height=")" + whole(frame.height()) + R"("/><hp:pos treatAsChar="1"/></hp:)" +
        t.kind + ">";
    return DocumentHolding(element);
}

} // namespace

TEST(Shapes, ATurnedShapeIsDrawnWhereItsRenderingMatricesPutIt)
{
    editor_testing::EnsureApplication();
    editor::RegisterObjectPainters();
    // 75 units a layout pixel.
    const std::vector<Turned> cases = {
        {"a polygon turned 40 degrees, without its current width (as the word processor wrote one)", "polygon",
         R"(<hc:pt x="1025" y="10500"/><hc:pt x="6825" y="2475"/><hc:pt x="11925" y="10800"/><hc:pt x="13875" y="1500"/>)"
         R"(<hc:pt x="17925" y="9525"/><hc:pt x="0" y="4675"/><hc:pt x="7225" y="13425"/><hc:pt x="13150" y="0"/>)",
         {{1025, 10500}, {6825, 2475}, {11925, 10800}, {13875, 1500}, {17925, 9525}, {0, 4675}, {7225, 13425}, {13150, 0}},
         17925, 13425, 1, 1, 40, false},
        {"a rectangle stretched to twice its height and turned 30 degrees", "rect", "",
         {{0, 0}, {7500, 0}, {7500, 7500}, {0, 7500}}, 7500, 7500, 1, 2, 30, true},
        {"a stretched, turned rectangle without its current size", "rect", "",
         {{0, 0}, {7500, 0}, {7500, 3750}, {0, 3750}}, 7500, 3750, 1.5, 1, 60, false},
        {"an ellipse turned 45 degrees", "ellipse", "", {}, 9000, 3000, 1, 1, 45, true},
        {"a line turned 90 degrees", "line", R"(<hc:startPt x="0" y="0"/><hc:endPt x="9000" y="3000"/>)",
         {{0, 0}, {9000, 3000}}, 9000, 3000, 1, 1, 90, true},
        {"a curve of straight pieces turned 120 degrees", "curve",
         R"(<hp:seg type="LINE" x1="0" y1="3000" x2="4500" y2="0"/><hp:seg type="LINE" x1="4500" y1="0" x2="9000" y2="6000"/>)",
         {{0, 3000}, {4500, 0}, {9000, 6000}}, 9000, 6000, 1, 1, 120, true},
    };
    for (const Turned& c : cases) {
        SCOPED_TRACE(c.what);
        QRectF expected;
        const auto document = std::make_shared<const hwp::Document>(TurnedDocument(c, expected));
        ASSERT_TRUE(hwp::ReadShape(document->sections.at(0).paragraphs.at(0).controls.at(0)));
        const QImage image = PaintedAlone(document);
        QRect drawn;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y).lightness() < 200)
                    drawn |= QRect(x, y, 1, 1);
            }
        ASSERT_FALSE(drawn.isEmpty());
        const QRectF want(20 + expected.left() / 75, 20 + expected.top() / 75, expected.width() / 75, expected.height() / 75);
        EXPECT_NEAR(drawn.left(), want.left(), 2);
        EXPECT_NEAR(drawn.top(), want.top(), 2);
        EXPECT_NEAR(drawn.right() + 1, want.right(), 2);
        EXPECT_NEAR(drawn.bottom() + 1, want.bottom(), 2);
    }
}
