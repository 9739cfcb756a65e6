// A DialogView that keeps control state in memory and an EditorControl that records
// what is asked of it, for driving DialogCore without widgets.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "dialog/dialog_view.h"
#include "editor/editor_control.h"
#include "support/text.h"

namespace dialog_fakes {

struct ControlState {
    bool checked = false;
    bool shown = true;
    bool enabled = true;
    dlg::Rect rect;
    std::string picture;
    int repaints = 0;
};

class FakeView : public dlg::DialogView {
public:
    FakeView()
    {
        // Enough of the template's layout for the moving and scaling steps.
        int x = 10;
        for (int id : {1005, 1006, 1007, 1008, 1009, 1011, 1012, 1023, 1024, 1025, 1026, 1027, 1029, 1030, 1031, 1032,
                       1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041, 1042, 1043, 1044}) {
            controls[id].rect = {x, 7 + id % 50, 101 + id % 13, 57 + id % 17};
            x += 37;
        }
        controls[0].rect = {300, 20, 1190, 1065};
        controls[1029].shown = controls[1026].shown = controls[1034].shown = false;
    }

    bool IsChecked(int id) const override { return State(id).checked; }
    void SetChecked(int id, bool checked) override { controls[id].checked = checked; }
    void SetButtonPicture(int id, const std::string& path) override { controls[id].picture = path; }
    void RepaintNow(int id) override { ++controls[id].repaints; }
    void ShowControl(int id, bool shown) override { controls[id].shown = shown; }
    bool IsControlShown(int id) const override { return State(id).shown; }
    void EnableControl(int id, bool enabled) override { controls[id].enabled = enabled; }
    bool IsControlEnabled(int id) const override { return State(id).enabled; }
    dlg::Rect ControlRect(int id) const override { return State(id).rect; }
    void MoveControl(int id, const dlg::Rect& rect) override { controls[id].rect = rect; }
    int ScreenWidth() const override { return screenWidth; }
    int ScreenHeight() const override { return screenHeight; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& text) override
    {
        asked.push_back(text);
        return answerYes;
    }
    std::string ChooseQuestionFile(const std::string& folder) override
    {
        chooserFolder = folder;
        return chosenFile;
    }
    void PostClose() override { ++closeRequests; }

    // The picture's file name without folder and extension: "obj_y", "dif2", "mid_e".
    std::string PictureName(int id) const
    {
        const std::string& p = State(id).picture;
        const auto slash = p.rfind('/');
        std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
        return name.size() > 4 ? name.substr(0, name.size() - 4) : name;
    }

    mutable std::map<int, ControlState> controls;
    int screenWidth = 1920;
    int screenHeight = 1080;
    std::vector<std::string> messages;
    std::vector<std::string> asked;
    bool answerYes = true;
    std::string chosenFile;
    std::string chooserFolder;
    int closeRequests = 0;

private:
    const ControlState& State(int id) const { return controls[id]; }
};

class RecordingPane : public editor::EditorControl {
public:
    class Action : public editor::EditorAction {
    public:
        Action(RecordingPane& pane, std::u16string name) : m_pane(pane), m_name(std::move(name)) {}
        std::unique_ptr<editor::ParameterSet> CreateActionSet() override
        {
            return std::make_unique<editor::ParameterSet>(m_name);
        }
        bool Execute(const editor::ParameterSet& set) override
        {
            std::string line = "Execute " + Utf16ToUtf8(m_name);
            for (const char16_t* item : {u"Text", u"FileName"}) {
                if (auto text = set.ItemText(item))
                    line += " " + Utf16ToUtf8(*text);
            }
            m_pane.calls.push_back(line);
            return true;
        }

    private:
        RecordingPane& m_pane;
        std::u16string m_name;
    };

    void RegisterCheckModule(std::u16string_view, std::u16string_view) override { calls.push_back("RegisterCheckModule"); }
    void SetToolBar(std::int32_t, std::u16string_view name) override
    {
        calls.push_back("SetToolBar " + Utf16ToUtf8(name));
    }
    void ShowToolBar(std::int32_t show) override { calls.push_back("ShowToolBar " + std::to_string(show)); }
    std::unique_ptr<editor::ParameterSet> CreateParameterSet(std::u16string_view name) override
    {
        return std::make_unique<editor::ParameterSet>(std::u16string(name));
    }
    void ViewProperties(const editor::ParameterSet& set) override
    {
        zoomRatio = set.ItemInt(u"ZoomRatio").value_or(-1);
        calls.push_back("ViewProperties");
    }
    std::unique_ptr<editor::EditorAction> CreateAction(std::u16string_view name) override
    {
        return std::make_unique<Action>(*this, std::u16string(name));
    }
    bool RunAction(std::u16string_view name) override
    {
        calls.push_back(Utf16ToUtf8(name));
        return true;
    }
    bool GoToField(std::u16string_view name, std::int32_t, std::int32_t, std::int32_t) override
    {
        calls.push_back("GoToField " + Utf16ToUtf8(name));
        return hasTextArea;
    }
    bool OpenDocument(std::u16string_view path, std::u16string_view) override
    {
        opened = Utf16ToUtf8(path);
        calls.push_back("OpenDocument " + opened);
        return true;
    }
    bool SaveDocumentAs(std::u16string_view path, std::u16string_view) override
    {
        calls.push_back("SaveDocumentAs " + Utf16ToUtf8(path));
        return true;
    }
    void ClearDocument(std::int32_t) override { calls.push_back("ClearDocument"); }
    bool BeginTextScan(std::u16string_view) override
    {
        m_chunkRead = false;
        return true;
    }
    editor::TextScanState ReadTextChunk(std::u16string& chunk) override
    {
        if (m_chunkRead)
            return editor::TextScanState::End;
        m_chunkRead = true;
        chunk = text;
        return editor::TextScanState::Text;
    }
    void EndTextScan() override {}
    editor::CaretIndicator GetCaretIndicator() override { return caret; }
    bool RenderPageImage(std::u16string_view, std::int32_t, std::int32_t, std::int32_t, std::u16string_view) override
    {
        return false;
    }

    // The file name of the last opened document, without its folder.
    std::string OpenedName() const
    {
        const auto slash = opened.rfind('/');
        return slash == std::string::npos ? opened : opened.substr(slash + 1);
    }

    std::vector<std::string> calls;
    std::string opened;
    bool hasTextArea = false;
    int zoomRatio = 0;
    std::u16string text;
    editor::CaretIndicator caret;

private:
    bool m_chunkRead = false;
};

} // namespace dialog_fakes
