#include "editor/pane_ops.h"

#include "support/files.h"
#include "support/text.h"

namespace editor {

EditorControl* PaneSet::ForCode(int code) const
{
    switch (code) {
    case kPanePassage: return passage;
    case kPaneQuestion: return question;
    case kPaneOptions: return options;
    case kPaneAnswer: return answer;
    case kPaneExplain: return explain;
    default: return nullptr;
    }
}

int StyleBase(std::string_view level) { return level == "elem" ? 2 : 6; }

namespace {

std::u16string StyleShortcut(int number)
{
    return u"StyleShortcut" + *Utf8ToUtf16(std::to_string(number));
}

} // namespace

void ApplyWholePaneStyle(EditorControl& pane, int number)
{
    pane.RunAction(u"MoveDocBegin");
    pane.RunAction(u"MoveSelDocEnd");
    pane.RunAction(StyleShortcut(number));
    pane.RunAction(u"MoveDocEnd");
}

void ApplyPaneStyle(EditorControl& pane, std::string_view name, std::string_view level)
{
    const int base = StyleBase(level);
    if (name == "text") {
        pane.RunAction(u"MoveDocBegin");
        pane.RunAction(u"MoveSelListEnd");
        pane.RunAction(StyleShortcut(base));
        // The caret ends in the field, or at the end, with nothing selected: a selection
        // left behind would take the next key in a way the teacher does not expect.
        if (pane.GoToField(u"TEXT_AREA", 0, 1, 1)) {
            pane.RunAction(StyleShortcut(base + 1));
            pane.GoToField(u"TEXT_AREA", 0, 1, 0);
        } else {
            pane.RunAction(u"MoveDocEnd");
        }
        return;
    }
    int number = base;
    if (name == "objective")
        number = base + 2;
    else if (name == "answer" || name == "explain")
        number = base + 3;
    ApplyWholePaneStyle(pane, number);
}

void StylePassagePane(EditorControl& passage, int base)
{
    passage.RunAction(u"MoveDocBegin");
    passage.RunAction(u"MoveSelListEnd");
    passage.RunAction(StyleShortcut(base));
    if (passage.GoToField(u"TEXT_AREA", 0, 1, 1))
        passage.RunAction(StyleShortcut(base + 1));
    passage.RunAction(u"MoveDocBegin");
}

void InsertFileAtEnd(EditorControl& pane, const std::string& path, std::int32_t keepSection)
{
    pane.RunAction(u"MoveDocEnd");
    auto action = pane.CreateAction(u"InsertFile");
    auto set = pane.CreateParameterSet(u"InsertFile");
    if (!action || !set)
        return;
    set->SetItem(u"FileName", Utf8ToUtf16(path).value_or(u""));
    set->SetItem(u"FileFormat", std::u16string(u"HWP"));
    set->SetItem(u"KeepSection", keepSection);
    set->SetItem(u"KeepCharshape", 1);
    set->SetItem(u"KeepParashape", 1);
    action->Execute(*set);
}

void InsertPaneText(EditorControl& pane, const std::u16string& text)
{
    auto action = pane.CreateAction(u"InsertText");
    if (!action)
        return;
    auto set = action->CreateActionSet();
    if (!set)
        return;
    set->SetItem(u"Text", text);
    action->Execute(*set);
}

void InsertBlankLines(EditorControl& pane, std::int32_t n)
{
    std::u16string text;
    for (std::int32_t i = 0; i < n; ++i)
        text += u"\r\n";
    InsertPaneText(pane, text);
    pane.RunAction(u"StyleShortcut1");
}

void AppendToWorkDocument(EditorControl& work, const std::string& path, int code, std::int32_t n)
{
    if (!PathExists(path))
        return;
    work.RunAction(u"MoveDocEnd");
    InsertFileAtEnd(work, path, 0);
    if (code != kPaneExplain) {
        work.RunAction(u"MoveDocEnd");
        InsertBlankLines(work, n);
    }
}

bool IsPaneEmpty(EditorControl& pane)
{
    pane.RunAction(u"MoveDocEnd");
    const CaretIndicator caret = pane.GetCaretIndicator();
    return caret.line == 1 && caret.column == 1;
}

bool PaneHoldsText(EditorControl& pane)
{
    if (!pane.BeginTextScan(u"scanSposDocument;scanEposDocument;"))
        return false;
    std::u16string all, chunk;
    for (int pieces = 0; pieces < 100000 && pane.ReadTextChunk(chunk) == TextScanState::Text; ++pieces)
        all += chunk;
    pane.EndTextScan();
    static const std::u16string kLabel = u"정답 :";
    for (auto at = all.find(kLabel); at != std::u16string::npos; at = all.find(kLabel, at))
        all.erase(at, kLabel.size());
    for (const char16_t c : all) {
        if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n' && c != u'\u3000')
            return true;
    }
    return false;
}

std::string ObjectiveAnswerOf(std::string text)
{
    static const std::string kLabel = "정답 : ";
    for (auto at = text.find(kLabel); at != std::string::npos; at = text.find(kLabel, at))
        text.erase(at, kLabel.size());
    static const char* const kMarks[] = {"①", "②", "③", "④", "⑤"};
    std::string result;
    for (int i = 0; i < 5; ++i) {
        // UTF-8 never holds one character's bytes inside another's, so a byte search
        // finds the mark only as a character.
        if (text.find(kMarks[i]) != std::string::npos) {
            if (!result.empty())
                result += ',';
            result += std::to_string(i + 1);
        }
    }
    return result;
}

std::string ReadObjectiveAnswer(EditorControl& answer)
{
    answer.RunAction(u"MoveDocBegin");
    std::u16string chunk;
    if (answer.BeginTextScan(u"scanSposCurrent;scanEposDocument;")) {
        if (answer.ReadTextChunk(chunk) != TextScanState::Text)
            chunk.clear();
        answer.EndTextScan();
    }
    return ObjectiveAnswerOf(Utf16ToUtf8(chunk));
}

} // namespace editor
