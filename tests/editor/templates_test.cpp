// The shipped templates: every one opens, carries the nine styles, and the ones the panes
// rely on hold their label or field.
#include "tests/editor/editor_testing.h"

#include "tools/templates/template_documents.h"

#include <QTextEdit>

using editor_testing::PaneTest;

namespace {

class Templates : public PaneTest {};

TEST_F(Templates, EveryTemplateOpensWithTheNineStyles)
{
    for (const std::string& name : templates::TemplateFileNames()) {
        editor::CHwpctrl pane;
        ASSERT_TRUE(pane.OpenDocument(WriteTemplate(name), u"HWP")) << name;
        ASSERT_EQ(pane.Document().Styles().size(), 9u) << name;
        EXPECT_EQ(pane.Document().Styles()[0].name, QStringLiteral("바탕글"));
        // Elementary text is set larger than middle and high school text.
        EXPECT_GT(pane.Document().Styles()[1].charFormat.fontPointSize(),
                  pane.Document().Styles()[5].charFormat.fontPointSize());
        const bool passage = name == "sf_text_format.hwp" || name == "f_text_empty_format.hwp";
        EXPECT_EQ(pane.GoToField(u"TEXT_AREA", 0, 1, 1), passage) << name;
        pane.RunAction(u"MoveDocEnd");
        const auto caret = pane.GetCaretIndicator();
        if (name == "sf_answer_obj_format.hwp") {
            EXPECT_EQ(PaneText(pane), QStringLiteral("정답 : "));
        } else {
            EXPECT_TRUE(caret.line == 1 && caret.column == 1) << name << " starts empty";
        }
    }
}

} // namespace
