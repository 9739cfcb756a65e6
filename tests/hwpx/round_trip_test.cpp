// A document the editor makes, written as HWPX and read back, is the same document:
// text, char-shape runs, para shapes, styles, click-here fields, the page, and the
// objects the model understands.
#include <gtest/gtest.h>

#include "hwp/equation.h"
#include "hwp/table.h"
#include "hwp_testing.h"
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
