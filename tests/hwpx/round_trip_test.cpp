// A document the editor makes, written as HWPX and read back, is the same document:
// text, char-shape runs, para shapes, styles, border fills (gradations and pictures too),
// click-here fields, the page, and the objects the model understands.
#include <gtest/gtest.h>

#include "hwp/border_fill.h"
#include "hwp/equation.h"
#include "hwp/fill.h"
#include "hwp/picture.h"
#include "hwp/table.h"
#include "hwp_testing.h"
#include "object_testing.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"

namespace {

using namespace hwp_testing;

TEST(HwpxRoundTrip, AQuestionComesBackAsItWasWritten)
{
    hwp::Document document = QuestionDocument();
    document.sections.front().page.landscape = true;
    document.sections.front().columnCount = 2;
    document.sections.front().columnGap = 1134;
    hwp::Paragraph& first = document.sections.front().paragraphs.front();
    first.text += u"\t끝\n다음 줄";
    hwp::Equation equation;
    equation.script = u"{x+1} over 2";
    hwp::Control formula = hwp::NewEquationControl(equation);
    formula.position = formula.end = 1;
    first.controls.push_back(formula);
    hwp::Control table = TableControl(document, {u"가", u"나다", u""});
    table.position = table.end = 2;
    first.controls.push_back(table);
    // Cells and paragraphs filled with gradations (colours placed unevenly too) and
    // pictures, over a colour or not.
    hwp::InsertPicture(document, MakePng(2, 2, 0x336699));
    const hwp::ImageFill picture{5, -10, 20, 1, 1};
    const std::vector<hwp::Fill> fills = {
        {hwp::kFillGradient, hwp::kNoColor, 0, -1, hwp::Gradient{1, 45, 0, 0, 10, {0xFF0000, 0x00FF00}, {}}, {}, 30, {1, 0, 0, 0, 30}},
        {hwp::kFillColor | hwp::kFillGradient, 0x00FFEE, 0x111111, 3,
         hwp::Gradient{2, 0, 20, 80, 0, {0x0000FF, 0x00FF00, 0xFF0000}, {0, 70, 100}}, {}, 50, {1, 0, 0, 0, 50}},
        {hwp::kFillImage, hwp::kNoColor, 0, -1, {}, picture, 50, {0, 0, 0, 0}},
        {hwp::kFillColor | hwp::kFillGradient | hwp::kFillImage, 0x808080, 0, -1,
         hwp::Gradient{4, 90, 50, 50, 255, {1, 2, 3, 4}, {0, 33, 66, 100}}, picture, 64, {1, 0, 0, 0, 64}},
    };
    for (const hwp::Fill& fill : fills) {
        hwp::BorderFillView view = hwp::SimpleBorderFill({1, 0, 0});
        view.fillKinds = fill.kinds;
        view.backgroundColor = fill.face;
        view.patternColor = fill.patternColor;
        view.patternKind = fill.pattern;
        view.fillRest = hwp::FillRest(fill);
        hwp::FindOrAddBorderFill(document, view);
    }

    const hwp::Document back = hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(document));
    EXPECT_EQ(back.charShapes, document.charShapes);
    EXPECT_EQ(back.paraShapes, document.paraShapes);
    EXPECT_EQ(back.styles, document.styles);
    EXPECT_EQ(back.borderFills, document.borderFills);
    ASSERT_EQ(back.sections.size(), 1u);
    const hwp::Section& section = back.sections.front();
    EXPECT_EQ(section.page, document.sections.front().page);
    EXPECT_EQ(section.columnCount, 2);
    EXPECT_EQ(section.columnGap, 1134);
    ASSERT_EQ(section.paragraphs.size(), document.sections.front().paragraphs.size());
    for (std::size_t i = 0; i < section.paragraphs.size(); ++i) {
        const hwp::Paragraph& ours = document.sections.front().paragraphs[i];
        const hwp::Paragraph& theirs = section.paragraphs[i];
        EXPECT_EQ(theirs.text, ours.text) << i;
        EXPECT_EQ(theirs.charShapes, ours.charShapes) << i;
        EXPECT_EQ(theirs.paraShapeId, ours.paraShapeId) << i;
        EXPECT_EQ(theirs.styleId, ours.styleId) << i;
        ASSERT_EQ(theirs.fields.size(), ours.fields.size()) << i;
        for (std::size_t f = 0; f < ours.fields.size(); ++f) {
            EXPECT_EQ(theirs.fields[f].name, ours.fields[f].name);
            EXPECT_EQ(theirs.fields[f].guide, ours.fields[f].guide);
            EXPECT_EQ(theirs.fields[f].begin, ours.fields[f].begin);
            EXPECT_EQ(theirs.fields[f].end, ours.fields[f].end);
        }
    }
    const auto& controls = section.paragraphs.front().controls;
    ASSERT_EQ(controls.size(), 2u);
    EXPECT_EQ(hwp::ReadEquation(controls[0]).script, equation.script);
    EXPECT_EQ(controls[0].position, 1u);
    EXPECT_EQ(hwp::CellTexts(hwp::ReadTable(controls[1])), (std::vector<std::u16string>{u"가", u"나다", u""}));
    EXPECT_EQ(controls[1].position, 2u);
}

}  // namespace
