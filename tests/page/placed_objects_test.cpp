// Floating objects sit where the file places them. The expected edges are the word
// processor's own: in a sample document, the lines it stored beside each picture stop or
// start exactly at the picture's edge.
#include "page/placed_objects.h"

#include "tests/editor/editor_testing.h"
#include "tests/hwp/hwp_testing.h"

#include "document/hwp_mapping.h"
#include "hwp/border_fill.h"
#include "hwp/bytes.h"
#include "hwp/paragraph.h"
#include "hwp/paragraph_list.h"
#include "hwp/table.h"
#include "hwp/reader.h"
#include "page/object_painters.h"
#include "page/page_render.h"
#include "page/text_items.h"

#include <QPainter>

#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace {

using hwp::HorzRelTo;
using hwp::VertRelTo;

constexpr double kBodyLeft = 8504, kBodyTop = 9920, kBodyWidth = 42520, kBodyHeight = 69016;
constexpr double kParagraphTop = 30000, kParagraphLeft = 1000;

editor::PlacementFrame A4(bool odd)
{
    using editor::HwpUnitsToLayout;
    editor::PlacementFrame frame;
    frame.paper = QRectF(0, 0, HwpUnitsToLayout(59528), HwpUnitsToLayout(84188));
    frame.page = QRectF(HwpUnitsToLayout(kBodyLeft), HwpUnitsToLayout(kBodyTop), HwpUnitsToLayout(kBodyWidth),
                        HwpUnitsToLayout(kBodyHeight));
    frame.column = frame.page;
    frame.paragraph = QRectF(HwpUnitsToLayout(kBodyLeft + kParagraphLeft), HwpUnitsToLayout(kBodyTop + kParagraphTop),
                             HwpUnitsToLayout(kBodyWidth - kParagraphLeft), 0);
    frame.oddPage = odd;
    return frame;
}

struct Case {
    const char* what;
    HorzRelTo horizontal;
    std::uint8_t horzAlign;
    int horizontalOffset;
    VertRelTo vertical;
    std::uint8_t vertAlign;
    int verticalOffset;
    bool oddPage;
    double left;   // expected, HwpUnit from the paper's left edge
    double top;    // expected, HwpUnit from the paper's top edge
};

TEST(PlacedObjects, SitWhereTheFilePlacesThem)
{
    constexpr double w = 15828, h = 9497;
    const Case cases[] = {
        // The lines beside it stop at 19015 and go on at 34843 from the column's edge.
        {"centred in the column, moved right", HorzRelTo::Column, 1, 5669, VertRelTo::Paragraph, 0, 0, true,
         kBodyLeft + 19015, kBodyTop + kParagraphTop},
        // The lines beside it start at 18663.
        {"left in the paragraph", HorzRelTo::Paragraph, 0, 2835, VertRelTo::Paragraph, 0, 500, true,
         kBodyLeft + kParagraphLeft + 2835, kBodyTop + kParagraphTop + 500},
        // The lines beside it end at 23857, 2835 short of the right edge with the picture.
        {"right in the paragraph, offset inward", HorzRelTo::Paragraph, 2, 2835, VertRelTo::Paragraph, 0, 0, true,
         kBodyLeft + kBodyWidth - 2835 - w, kBodyTop + kParagraphTop},
        {"inside of an odd page is its left", HorzRelTo::Page, 3, 100, VertRelTo::Page, 0, 200, true,
         kBodyLeft + 100, kBodyTop + 200},
        {"inside of an even page is its right", HorzRelTo::Page, 3, 100, VertRelTo::Page, 0, 200, false,
         kBodyLeft + kBodyWidth - 100 - w, kBodyTop + 200},
        {"outside of an odd page is its right", HorzRelTo::Page, 4, 0, VertRelTo::Page, 2, 300, true,
         kBodyLeft + kBodyWidth - w, kBodyTop + kBodyHeight - 300 - h},
        {"centred on the paper", HorzRelTo::Paper, 1, 0, VertRelTo::Paper, 1, 0, true, (59528 - w) / 2,
         (84188 - h) / 2},
        {"paper's bottom right corner", HorzRelTo::Paper, 2, 1000, VertRelTo::Paper, 2, 1000, false,
         59528 - 1000 - w, 84188 - 1000 - h},
    };
    for (const Case& one : cases) {
        hwp::ObjectProperties properties;
        properties.inlineAsChar = false;
        properties.horzRelTo = one.horizontal;
        properties.horzAlign = one.horzAlign;
        properties.horizontalOffset = one.horizontalOffset;
        properties.vertRelTo = one.vertical;
        properties.vertAlign = one.vertAlign;
        properties.verticalOffset = one.verticalOffset;
        const QRectF rect = editor::PlaceObject(
            properties, QSizeF(editor::HwpUnitsToLayout(w), editor::HwpUnitsToLayout(h)), A4(one.oddPage));
        EXPECT_NEAR(editor::LayoutToHwpUnits(rect.left()), one.left, 1) << one.what;
        EXPECT_NEAR(editor::LayoutToHwpUnits(rect.top()), one.top, 1) << one.what;
    }
}

// Two paragraphs laid out anew, the first holding a floating 4 x 2 table placed as
// `placement` says, 1 mm around it.
hwp::Document WithFloatingTable(const hwp::ObjectProperties& placement)
{
    std::u16string text;
    for (int i = 0; i < 8; ++i)
        text += u"봄이 오면 산과 들에 꽃이 핀다. Spring comes to the hills. ";
    hwp::Document document = hwp_testing::DocumentWithTexts({text, text});
    const std::uint16_t thin = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 1, 0x000000}));
    hwp::Table table = hwp::NewTable(4, 2, 12000, thin);
    table.object.inlineAsChar = false;
    table.object.wrap = placement.wrap;
    table.object.textSide = placement.textSide;
    table.object.horzRelTo = placement.horzRelTo;
    table.object.horzAlign = placement.horzAlign;
    table.object.horizontalOffset = placement.horizontalOffset;
    table.object.vertRelTo = placement.vertRelTo;
    table.object.vertAlign = placement.vertAlign;
    table.object.verticalOffset = placement.verticalOffset;
    document.sections.front().paragraphs.front().controls.push_back(hwp::WriteTable(table, document));
    return document;
}

// Text laid out anew goes around an object it flows around, on the sides the object leaves
// it, its outer margins kept clear; and below an object above and below the text, wherever
// that is placed from. The lines are those a save writes.
TEST(PlacedObjects, TextLaidOutAnewFlowsAroundAndBelowObjects)
{
    using editor::HwpUnitsToLayout;
    enum class Beside { LeftEdge, RightEdge, BothEdges, Below };
    struct FlowCase {
        const char* what;
        hwp::TextWrap wrap;
        std::uint8_t textSide;
        HorzRelTo horizontal;
        std::uint8_t horzAlign;
        int horizontalOffset;
        VertRelTo vertical;
        int verticalOffset;
        Beside expected;   // where the lines beside the object lie
    };
    const FlowCase cases[] = {
        {"at the left, both sides", hwp::TextWrap::Square, 0, HorzRelTo::Column, 0, 0, VertRelTo::Paragraph, 0,
         Beside::RightEdge},
        {"at the right, both sides", hwp::TextWrap::Square, 0, HorzRelTo::Column, 2, 0, VertRelTo::Paragraph, 1000,
         Beside::LeftEdge},
        {"centred, both sides", hwp::TextWrap::Square, 0, HorzRelTo::Column, 1, 0, VertRelTo::Paragraph, 0,
         Beside::BothEdges},
        {"centred, its left only", hwp::TextWrap::Square, 1, HorzRelTo::Column, 1, 0, VertRelTo::Paragraph, 0,
         Beside::LeftEdge},
        {"centred, its right only", hwp::TextWrap::Square, 2, HorzRelTo::Column, 1, 0, VertRelTo::Paragraph, 0,
         Beside::RightEdge},
        {"left of centre, the larger side", hwp::TextWrap::Square, 3, HorzRelTo::Paragraph, 0, 8000,
         VertRelTo::Paragraph, 0, Beside::RightEdge},
        {"above and below, at the page's top", hwp::TextWrap::TopAndBottom, 0, HorzRelTo::Page, 1, 0, VertRelTo::Page,
         0, Beside::Below},
        {"above and below, on the paper, mid-page", hwp::TextWrap::TopAndBottom, 0, HorzRelTo::Paper, 1, 0,
         VertRelTo::Paper, 20000, Beside::Below},
    };
    editor_testing::EnsureApplication();
    constexpr double kHair = 1.0;   // layout pixels
    for (const FlowCase& one : cases) {
        SCOPED_TRACE(one.what);
        hwp::ObjectProperties placement;
        placement.wrap = one.wrap;
        placement.textSide = one.textSide;
        placement.horzRelTo = one.horizontal;
        placement.horzAlign = one.horzAlign;
        placement.horizontalOffset = one.horizontalOffset;
        placement.vertRelTo = one.vertical;
        placement.verticalOffset = one.verticalOffset;
        const auto pane = editor::ToEditorDocument(WithFloatingTable(placement));
        const editor::PagedLayout layout(*pane);
        const std::vector<QRectF> rects = layout.PlacedObjectRects(0);
        ASSERT_EQ(rects.size(), 1u);
        const editor::PageSetup& page = layout.PageOf(0);
        const double margin = HwpUnitsToLayout(hwp::kNewTableOuterMargin);
        // The object with its margins, from the body's corner.
        const QRectF clear = rects.front()
                                 .translated(-HwpUnitsToLayout(page.BodyLeft()), -HwpUnitsToLayout(page.BodyTop()))
                                 .adjusted(-margin, -margin, margin, margin);
        const double bodyWidth = HwpUnitsToLayout(page.BodyWidth());
        const editor::LaidOutLines laid = layout.LaidLines();
        int beside = 0;
        std::optional<double> rowTop;
        double firstTop = 1e9;
        for (const int block : {0, 1}) {
            for (const hwp::LineSegment& line : laid.at(block)) {
                const QRectF box(HwpUnitsToLayout(line.columnStart), HwpUnitsToLayout(line.top),
                                 HwpUnitsToLayout(line.width), HwpUnitsToLayout(line.height));
                firstTop = std::min(firstTop, box.top());
                EXPECT_FALSE(box.adjusted(kHair, kHair, -kHair, -kHair).intersects(clear))
                    << "a line over the object at " << box.top();
                if (box.bottom() <= clear.top() + kHair || box.top() >= clear.bottom() - kHair) {
                    EXPECT_NEAR(box.width(), bodyWidth, kHair) << "a line clear of it takes the whole width";
                    continue;
                }
                ++beside;
                // Beside it, a line ends or starts at its edge, as the side it leaves the text.
                const bool leftOf = box.right() <= clear.left() + kHair;
                EXPECT_TRUE(one.expected == Beside::BothEdges || leftOf == (one.expected == Beside::LeftEdge));
                EXPECT_NEAR(leftOf ? box.right() : box.left(), leftOf ? clear.left() : clear.right(), kHair);
                if (one.expected == Beside::BothEdges && !leftOf) {
                    EXPECT_EQ(rowTop, box.top()) << "its left part on the same row";
                }
                rowTop = box.top();
            }
        }
        if (one.expected == Beside::Below) {
            EXPECT_EQ(beside, 0);
            if (clear.top() <= kHair) {
                EXPECT_NEAR(firstTop, clear.bottom(), kHair) << "the text starts below it";
            }
        } else {
            EXPECT_GE(beside, 3) << "lines beside it";
        }
    }
}

// A table in the flow of the text with a caption 8000 units wide, 850 from the table, on
// `side`; the cells and the caption say which they are.
hwp::Document WithCaptionedTable(hwp::CaptionSide side)
{
    hwp::Document document = hwp_testing::DocumentWithTexts({u"위 문단", u"", u"아래 문단"});
    const std::uint16_t thin = hwp::FindOrAddBorderFill(document, hwp::SimpleBorderFill({1, 1, 0x000000}));
    hwp::Table table = hwp::NewTable(2, 2, 20000, thin);
    for (hwp::TableCell& cell : table.cells)
        cell.paragraphs.front().text = u"칸";
    hwp::Control control = hwp::WriteTable(table, document);
    hwp::Paragraph text;
    text.text = u"표 1";
    text.charShapes.push_back(hwp::CharShapeRun{});
    const std::vector<hwp::ObjectRecord> caption = hwp::WriteCaption({side, 8000, 850, {text}}, 8000, document);
    control.records.insert(control.records.begin() + 1, caption.begin(), caption.end());
    document.sections.front().paragraphs[1].controls.push_back(control);
    return document;
}

// Captions left and right of a table in the flow of the text print beside it, the table
// moved aside for a caption at its left, the text after it below both.
TEST(PlacedObjects, CaptionsBesideATablePrintBesideIt)
{
    editor_testing::EnsureApplication();
    editor::RegisterObjectPainters();
    for (const hwp::CaptionSide side : {hwp::CaptionSide::Left, hwp::CaptionSide::Right}) {
        const bool left = side == hwp::CaptionSide::Left;
        SCOPED_TRACE(left ? "left" : "right");
        const auto pane = editor::ToEditorDocument(WithCaptionedTable(side), editor::TablesShown::AsTables);
        const editor::PagedLayout layout(*pane, editor::PageOutput::Vector);
        std::vector<std::pair<QPointF, QString>> written;
        editor::TextItemDevice device([&written](const QPointF& at, const QTextItem& item) {
            written.emplace_back(at, item.text());
        });
        QPainter painter(&device);
        layout.PaintPage(painter, 0);
        painter.end();
        double captionX = -1, captionY = -1, cellLeft = 1e9, cellRight = -1, cellTop = 1e9, after = -1;
        for (const auto& [at, text] : written) {
            if (text.contains(QStringLiteral("표")))
                captionX = at.x(), captionY = at.y();
            if (text.contains(QStringLiteral("칸")))
                cellLeft = std::min(cellLeft, at.x()), cellRight = std::max(cellRight, at.x()),
                cellTop = std::min(cellTop, at.y());
            if (text.contains(QStringLiteral("아래")))
                after = at.y();
        }
        ASSERT_GE(captionX, 0) << "the caption is printed";
        const double bodyLeft = editor::HwpUnitsToLayout(layout.PageOf(0).BodyLeft());
        const double captionWidth = editor::HwpUnitsToLayout(8000), gap = editor::HwpUnitsToLayout(850);
        if (left) {
            EXPECT_NEAR(captionX, bodyLeft + editor::HwpUnitsToLayout(hwp::kNewTableOuterMargin), 3.0)
                << "where the table stood";
            EXPECT_GE(cellLeft, captionX + captionWidth + gap - 0.5) << "the table moved aside";
        } else {
            EXPECT_GT(captionX, cellRight + gap) << "right of the table";
        }
        EXPECT_NEAR(captionY, cellTop, 15.0) << "beside the table's first row, not above or below it";
        EXPECT_GT(after, cellTop + 15.0);
        const std::vector<QRectF> rects = layout.PlacedObjectRects(0);
        ASSERT_EQ(rects.size(), 1u);
        EXPECT_NEAR(rects.front().width(), captionWidth, 0.5);
    }
}

// Pictures the text flows around: on the lines the file stored while the paragraph is
// unchanged, below the picture once the teacher changed it; never under it. The picture is
// drawn as nothing here, so whatever is inked inside its place is text.
TEST(PlacedObjects, TextNeverRunsUnderAPictureItFlowsAround)
{
    std::string path;
    for (const std::string& sample : hwp_testing::SamplePaths()) {
        if (std::filesystem::path(sample).filename() == "sample-5017-pics.hwp")
            path = sample;
    }
    if (path.empty())
        GTEST_SKIP() << "no sample documents beside the source";
    editor_testing::EnsureApplication();
    for (const bool edited : {false, true}) {
        SCOPED_TRACE(edited ? "edited" : "as read");
        const auto pane = editor::ToEditorDocument(hwp::ReadDocument(path));
        // Once the pane has the painters, not before: they would come back with it.
        editor::RegisterKeptObjectPainter(hwp::kDrawing, nullptr);
        // Pages 2 to 4: the picture in the middle, at the right, at the left of the text.
        for (int page = 1; page <= 3; ++page) {
            if (edited) {
                QTextCursor cursor(pane->Text().findBlockByNumber(2 * page));
                cursor.insertText(QStringLiteral("가"));
            }
        }
        const editor::PagedLayout layout(*pane);
        for (int page = 1; page <= 3; ++page) {
            const std::vector<QRectF> rects = layout.PlacedObjectRects(page);
            ASSERT_EQ(rects.size(), 1u) << page;
            QImage image(layout.SheetPixelWidth(96), layout.SheetPixelHeight(96), QImage::Format_RGB32);
            layout.PaintBand(image, page, 0, 96);
            const QRect inside = rects.front().toAlignedRect().adjusted(2, 2, -2, -2);
            int inked = 0, text = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const bool ink = qGray(image.pixel(x, y)) < 128;
                    text += ink ? 1 : 0;
                    inked += ink && inside.contains(x, y) ? 1 : 0;
                }
            }
            EXPECT_GT(text, 1000) << page;
            EXPECT_EQ(inked, 0) << page;
        }
    }
    editor::RegisterObjectPainters();
}

} // namespace
