// Floating objects sit where the file places them. The expected edges are the word
// processor's own: in a sample document, the lines it stored beside each picture stop or
// start exactly at the picture's edge.
#include "page/placed_objects.h"

#include <gtest/gtest.h>

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

} // namespace
