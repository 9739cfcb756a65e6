// editor/: the pane as the rest of the program sees it. This header is the way in; behind
// it CHwpctrl (hwpctrl.h, the widget), the pane operations (pane_ops.h), the tool icons
// (tool_icons.h) and the authoring commands for tables, pictures and equations
// (table_tools.h, picture_tools.h, equation_tools.h). The document a pane holds is in
// document/, its printed pages in page/.
//
// EditorControl: one rich-text editor pane, as the rest of the program sees it.
//
// The dialog holds six of them: the passage, question, options, answer and explanation
// panes, and a hidden work control on which the print document is assembled. The pane
// operations (editor/pane_ops.h), the dialog's question logic (dialog/), the preview
// assembly and page images (render/) and the save flow (handoff/) drive panes only through
// this header, so their logic runs headless against a fake in tests. `CHwpctrl`
// (editor/hwpctrl.h) is the real implementation: a Qt widget over QTextDocument that
// reads and writes HWP documents.
//
// Texts the pane takes are UTF-16; the program's own UTF-8 text is widened at the call.
// Parameter sets and actions are small objects owned by the caller and released when
// they go out of scope; each lives for one operation.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace editor {

class EditorDocument;

// The value of one item of a parameter set: a number or a text.
using ParameterValue = std::variant<std::int32_t, std::u16string>;

// Named items handed to an action ("FileName", "Text", ...) or to the view ("ZoomRatio").
class ParameterSet {
public:
    explicit ParameterSet(std::u16string name) : m_name(std::move(name)) {}

    const std::u16string& Name() const { return m_name; }
    void SetItem(std::u16string_view item, ParameterValue value) { m_items[std::u16string(item)] = std::move(value); }
    bool HasItem(std::u16string_view item) const { return m_items.find(item) != m_items.end(); }
    // Missing items and items of the other kind give nullopt.
    std::optional<std::int32_t> ItemInt(std::u16string_view item) const;
    std::optional<std::u16string> ItemText(std::u16string_view item) const;

private:
    std::u16string m_name;
    std::map<std::u16string, ParameterValue, std::less<>> m_items;
};

// An action made by CreateAction; runs against the pane that made it, which must outlive it.
class EditorAction {
public:
    virtual ~EditorAction() = default;
    // A fresh set of the action's own kind, to fill and pass to Execute.
    virtual std::unique_ptr<ParameterSet> CreateActionSet() = 0;
    // True when the action was done with the set's items.
    virtual bool Execute(const ParameterSet& set) = 0;
};

// What GetCaretIndicator reports. Only `line` and `column` (the fifth and sixth numbers)
// carry a promise: 1-based, counted in laid-out lines from the top of the document and in
// characters from the start of the caret's line; an empty document gives 1 and 1.
struct CaretIndicator {
    std::int32_t list = 0;       // always 0: one text list per document
    std::int32_t paragraph = 0;  // 0-based paragraph of the caret
    std::int32_t position = 0;   // 0-based character position in that paragraph
    std::int32_t page = 1;       // 1-based page
    std::int32_t line = 1;
    std::int32_t column = 1;
    std::int16_t insertMode = 1; // 1 insert, 0 overwrite
    std::u16string fieldName;    // the click-here field around the caret, if any
};

// The outcome of one ReadTextChunk.
enum class TextScanState {
    Text,        // `text` holds the next piece
    End,         // the scan range is used up
    NotScanning, // no BeginTextScan open
};

class EditorControl {
public:
    virtual ~EditorControl() = default;

    // Accepted and ignored: the pane never asks the user before touching a file.
    virtual void RegisterCheckModule(std::u16string_view moduleName, std::u16string_view moduleKind) = 0;
    // Adds the named toolbar ("TOOLBAR_MENU", "TOOLBAR_STANDARD", "TOOLBAR_DRAW") to those
    // shown; `position` -1 keeps the pane's order. Unknown names are ignored.
    virtual void SetToolBar(std::int32_t position, std::u16string_view name) = 0;
    // Non-zero shows the toolbars added by SetToolBar, zero hides them.
    virtual void ShowToolBar(std::int32_t show) = 0;

    // An empty set of that name ("ViewProperties", "InsertFile", ...).
    virtual std::unique_ptr<ParameterSet> CreateParameterSet(std::u16string_view name) = 0;
    // "ZoomType" 0 means the fixed ratio of "ZoomRatio" (percent, clamped to 10..500).
    virtual void ViewProperties(const ParameterSet& set) = 0;
    // Null for an unknown action name.
    virtual std::unique_ptr<EditorAction> CreateAction(std::u16string_view name) = 0;
    // Runs an action that needs no items: "MoveDocBegin", "MoveDocEnd", "MoveSelDocEnd",
    // "MoveSelListEnd", "StyleShortcut%d" (the document's style N, 1 being the first).
    // An unknown name does nothing and gives false.
    virtual bool RunAction(std::u16string_view name) = 0;

    // Puts the caret into the click-here field of that name and selects its text; false
    // when the document has no such field (the caret stays). The other arguments choose
    // the field's text, start and selection as the callers pass them: (0, 1, 1).
    virtual bool GoToField(std::u16string_view name, std::int32_t text, std::int32_t start,
                           std::int32_t select) = 0;

    // Shows the HWP file at `path` ("HWP" format). False for a missing or unreadable file,
    // and the pane keeps what it showed.
    virtual bool OpenDocument(std::u16string_view path, std::u16string_view format) = 0;
    // Writes the pane's document as HWP (format "HWP" or empty) or as an HWPX package ("HWPX"),
    // replacing any file at `path` in one instant.
    virtual bool SaveDocumentAs(std::u16string_view path, std::u16string_view format) = 0;
    // Empties the document; its styles and page stay.
    virtual void ClearDocument(std::int32_t option) = 0;

    // A scan over the plain text; the range "scanSposCurrent;scanEposDocument;" runs from
    // the caret to the end of the document, and is also the default. The whole range is
    // one chunk: paragraphs ended by "\r\n" (none after the last), line breaks '\n', and
    // the text inside each object (table cells, text boxes, notes) in its place.
    virtual bool BeginTextScan(std::u16string_view range) = 0;
    virtual TextScanState ReadTextChunk(std::u16string& text) = 0;
    virtual void EndTextScan() = 0;

    virtual CaretIndicator GetCaretIndicator() = 0;

    // Lays the document out on its pages and writes page `page` (0 = the first) at `dpi`
    // as an uncompressed BMP of `bits` bits per pixel (24 only) in `format` "bmp". False
    // when the page does not exist, the arguments are unsupported or the file cannot be
    // written.
    virtual bool RenderPageImage(std::u16string_view path, std::int32_t page, std::int32_t dpi,
                                 std::int32_t bits, std::u16string_view format) = 0;

    // The document the pane shows, when page images may be drawn from it directly (a copy
    // of it is laid out on the caller's thread and may then be painted on another). Null
    // where only RenderPageImage can give a page.
    virtual const EditorDocument* PageSource() const { return nullptr; }
    // The document itself, for the commands that rewrite part of it (the options as items);
    // null where the pane has none to give.
    virtual EditorDocument* EditableDocument() { return nullptr; }
    // Where the caret stands in that document.
    virtual int CaretPosition() const { return 0; }
};

} // namespace editor
