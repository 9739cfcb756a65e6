// Shared pieces of the render tests: a recording stand-in for an editor pane, a dialog
// view that keeps what it was told, bitmaps written by hand, and the outside checkers
// (pngcheck for images, Python's zipfile for archives).
#pragma once

#include "dialog/dialog_view.h"
#include "editor/editor_control.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace render_testing {

using Log = std::vector<std::string>;

// Writes an uncompressed BMP of `bits` 24 or 32; `topDown` stores rows top first.
// `pixel(x, y)` gives 0xRRGGBB for the pixel at column x, row y from the top.
bool WriteBmp(const std::string& path, int width, int height, const std::function<std::uint32_t(int, int)>& pixel,
              int bits = 24, bool topDown = false);

// An editor pane that records each call as "<name>:<call>" in a shared log. Saving
// writes a small file; rendering writes a small BMP (or what `render` writes) and
// answers `renderResult`. Empty panes report the caret at line 1, column 1.
class RecordingPane : public editor::EditorControl {
public:
    RecordingPane(std::string name, Log& log) : m_name(std::move(name)), m_log(log) {}

    bool empty = false;
    bool saveWorks = true;
    bool renderResult = true;
    std::function<void(const std::string& path)> render; // default: an 8 x 6 grey BMP
    std::u16string answerText;                            // what a text scan returns

    void RegisterCheckModule(std::u16string_view, std::u16string_view) override {}
    void SetToolBar(std::int32_t, std::u16string_view) override {}
    void ShowToolBar(std::int32_t) override {}
    std::unique_ptr<editor::ParameterSet> CreateParameterSet(std::u16string_view name) override;
    void ViewProperties(const editor::ParameterSet&) override {}
    std::unique_ptr<editor::EditorAction> CreateAction(std::u16string_view name) override;
    bool RunAction(std::u16string_view name) override;
    bool GoToField(std::u16string_view, std::int32_t, std::int32_t, std::int32_t) override { return false; }
    bool OpenDocument(std::u16string_view path, std::u16string_view format) override;
    bool SaveDocumentAs(std::u16string_view path, std::u16string_view format) override;
    void ClearDocument(std::int32_t option) override;
    bool BeginTextScan(std::u16string_view range) override;
    editor::TextScanState ReadTextChunk(std::u16string& text) override;
    void EndTextScan() override;
    editor::CaretIndicator GetCaretIndicator() override;
    bool RenderPageImage(std::u16string_view path, std::int32_t page, std::int32_t dpi, std::int32_t bits,
                         std::u16string_view format) override;

    void Record(const std::string& call) { m_log.push_back(m_name + ":" + call); }

private:
    std::string m_name;
    Log& m_log;
    bool m_scanned = false;
};

// A dialog view that keeps check states, pictures and messages.
class RecordingView : public dlg::DialogView {
public:
    std::map<int, bool> checked;
    std::map<int, std::string> pictures;
    std::vector<std::string> messages;

    bool IsChecked(int id) const override;
    void SetChecked(int id, bool value) override { checked[id] = value; }
    void SetButtonPicture(int id, const std::string& path) override { pictures[id] = path; }
    void RepaintNow(int) override {}
    void ShowControl(int, bool) override {}
    bool IsControlShown(int) const override { return true; }
    void EnableControl(int, bool) override {}
    bool IsControlEnabled(int) const override { return true; }
    dlg::Rect ControlRect(int) const override { return {0, 0, 100, 100}; }
    void MoveControl(int, const dlg::Rect&) override {}
    int ScreenWidth() const override { return 1920; }
    int ScreenHeight() const override { return 1080; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::string ChooseQuestionFile(const std::string&) override { return {}; }
    void PostClose() override {}
};

std::string Utf8(std::u16string_view text);
std::u16string Utf16(const std::string& text);

bool Exists(const std::string& path);
// Names of the files directly in `folder`, sorted.
std::vector<std::string> FilesIn(const std::string& folder);
void Touch(const std::string& path, const std::string& content = "x");
std::string ReadBytes(const std::string& path);

// pngcheck's verdict: empty when the file passes, else its output.
std::string PngCheckFailure(const std::string& path);
// Bit depth and colour type from a PNG's header.
std::pair<int, int> PngDepthAndColour(const std::string& path);
// The entry names of a ZIP archive as Python's zipfile lists them; {"<error>"} when it cannot.
std::vector<std::string> ZipNames(const std::string& path);

// A temporary folder per test.
class RenderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }
    std::string Folder() const { return m_folder.path().toStdString(); }
    std::string PathOf(const std::string& name) const { return Folder() + "/" + name; }

    QTemporaryDir m_folder;
};

} // namespace render_testing
