// Shared pieces of the editor tests: the application object, temporary folders and a
// pane that shows a template with the nine styles.
#pragma once

#include "editor/hwpctrl.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace editor_testing {

// Widgets need one QApplication for the whole test program.
void EnsureApplication();

std::u16string U16(const QString& text);
QString Q(std::u16string_view text);

class PaneTest : public ::testing::Test {
protected:
    void SetUp() override;

    // A path in this test's own folder.
    std::string PathOf(const std::string& name) const;
    std::u16string PathU16(const std::string& name) const { return U16(QString::fromStdString(PathOf(name))); }
    // Writes the template of that name into the folder and returns its path.
    std::u16string WriteTemplate(const std::string& name) const;
    // Types into the pane as the "InsertText" action does.
    static void Type(editor::CHwpctrl& pane, const std::u16string& text);
    static QString PaneText(editor::CHwpctrl& pane);

    QTemporaryDir m_folder;
    std::unique_ptr<editor::CHwpctrl> m_pane;
};

} // namespace editor_testing
