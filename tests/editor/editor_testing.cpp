#include "tests/editor/editor_testing.h"

#include "hwp/writer.h"
#include "tools/templates/template_documents.h"

#include <QApplication>

namespace editor_testing {

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "editor_test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = QApplication::instance() == nullptr ? new QApplication(argc, argv) : nullptr;
    (void)application;
}

std::u16string U16(const QString& text)
{
    return text.toStdU16String();
}

QString Q(std::u16string_view text)
{
    return QString::fromStdU16String(std::u16string(text));
}

void PaneTest::SetUp()
{
    EnsureApplication();
    ASSERT_TRUE(m_folder.isValid());
    m_pane = std::make_unique<editor::CHwpctrl>();
}

std::string PaneTest::PathOf(const std::string& name) const
{
    return m_folder.path().toStdString() + "/" + name;
}

std::u16string PaneTest::WriteTemplate(const std::string& name) const
{
    hwp::WriteDocument(templates::MakeTemplateDocument(name), PathOf(name));
    return PathU16(name);
}

void PaneTest::Type(editor::CHwpctrl& pane, const std::u16string& text)
{
    auto action = pane.CreateAction(u"InsertText");
    ASSERT_NE(action, nullptr);
    auto set = action->CreateActionSet();
    set->SetItem(u"Text", text);
    ASSERT_TRUE(action->Execute(*set));
}

QString PaneTest::PaneText(editor::CHwpctrl& pane)
{
    return pane.Document().Text().toPlainText();
}

} // namespace editor_testing
