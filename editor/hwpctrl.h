// CHwpctrl: the editor pane widget, the one implementation of EditorControl.
//
// A menu bar and two tool bars above a QTextEdit that shows an EditorDocument. Documents
// come from and go to HWP files through document/hwp_mapping.h; page images through
// page/page_render.h.
#pragma once

#include "editor/editor_control.h"
#include "document/editor_document.h"

#include <QColor>
#include <QImage>
#include <QKeySequence>
#include <QList>
#include <QWidget>

#include <functional>
#include <memory>
#include <set>
#include <vector>

class QBoxLayout;
class QAction;
class QActionGroup;
class QComboBox;
class QMenu;
class QMenuBar;
class QTextCharFormat;
class QTextCursor;
class QTextEdit;
class QToolBar;
class QToolButton;
class QMouseEvent;

namespace editor {

class PageEnds;

class CHwpctrl : public QWidget, public EditorControl {
    Q_OBJECT

public:
    explicit CHwpctrl(QWidget* parent = nullptr);
    ~CHwpctrl() override;

    void RegisterCheckModule(std::u16string_view moduleName, std::u16string_view moduleKind) override;
    void SetToolBar(std::int32_t position, std::u16string_view name) override;
    void ShowToolBar(std::int32_t show) override;
    std::unique_ptr<ParameterSet> CreateParameterSet(std::u16string_view name) override;
    void ViewProperties(const ParameterSet& set) override;
    std::unique_ptr<EditorAction> CreateAction(std::u16string_view name) override;
    bool RunAction(std::u16string_view name) override;
    bool GoToField(std::u16string_view name, std::int32_t text, std::int32_t start, std::int32_t select) override;
    bool OpenDocument(std::u16string_view path, std::u16string_view format) override;
    bool SaveDocumentAs(std::u16string_view path, std::u16string_view format) override;
    void ClearDocument(std::int32_t option) override;
    bool BeginTextScan(std::u16string_view range) override;
    TextScanState ReadTextChunk(std::u16string& text) override;
    void EndTextScan() override;
    CaretIndicator GetCaretIndicator() override;
    bool RenderPageImage(std::u16string_view path, std::int32_t page, std::int32_t dpi, std::int32_t bits,
                         std::u16string_view format) override;
    const EditorDocument* PageSource() const override { return m_document.get(); }
    EditorDocument* EditableDocument() override { return m_document.get(); }
    int CaretPosition() const override;

    // For the pane's own tools and for tests.
    EditorDocument& Document() { return *m_document; }
    QTextEdit* TextView() const { return m_view; }
    // What a screen reader calls the pane and its parts: "문제" gives "문제 편집 영역",
    // "문제 서식 도구 모음", ...; `description` tells what goes in the pane.
    void SetPaneName(const QString& name, const QString& description = {});
    // The pane's controls that the Tab key reaches, in the order they stand on the screen.
    QList<QWidget*> TabOrder() const;
    // The zoom in effect, in percent. Until the user zooms, the pane shows the text's
    // whole width (at most the ratio ViewProperties asked for); "쪽 맞춤" returns to that.
    int ZoomRatio() const { return m_zoomRatio; }
    void SetZoom(int ratio);
    void FitZoomToWidth();
    // The tool row (standard tools, then the drawing and object tools) and its popups, for tests.
    QToolBar* ToolBar() const { return m_standardBar; }
    // Where the printed pages end, as the pane marks them.
    PageEnds& PageEndMarks() const { return *m_pageEnds; }
    QToolBar* DrawToolBar() const { return m_drawBar; }
    QWidget* SpecialCharacterGrid() const { return m_specialGrid; }
    bool IsToolBarVisible(std::u16string_view name) const;
    // Replaces the shown document (after a successful read).
    void ShowDocument(std::unique_ptr<EditorDocument> document);
    // Inserts `text` at the caret; "\r\n", "\r" and "\n" end paragraphs.
    void InsertPlainText(const QString& text);
    // Gives each paragraph without a style the style of its neighbour (after a paste or
    // a deletion), as part of that edit; `fallback` where no paragraph has one.
    void FillStyleGaps(int fallback = -1);
    // Inserts the HWP file at the caret; false when it cannot be read.
    bool InsertHwpFile(const QString& path, bool keepCharShapes, bool keepParaShapes);

    // The object tools (tables, pictures, equations), each in a file of its own, put their
    // commands in the "입력" menu and the tool bar through these, and their entries in the
    // text's context menu. An action's objectName names it ("insert_table", ...).
    QMenu* InsertMenu() const { return m_insertMenu; }
    // The pane's menu (behind the button at the front of the tool row), for menus of one pane.
    QMenu* MainMenu() const { return m_mainMenu; }
    void AddToolBarAction(QAction* action);
    // Called with the menu about to show and a cursor at the clicked position.
    using ContextMenuFiller = std::function<void(QMenu& menu, const QTextCursor& at)>;
    void AddContextMenuFiller(ContextMenuFiller filler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class PaneAction;
    QAction* AddPaneShortcut(QAction* action, const QList<QKeySequence>& keys);
    int FitWidthRatio() const;
    bool TypeAsWord(const class QKeyEvent& key);
    void PlaceZoomButton();
    void ApplyColor(const QColor& color, bool background);
    void UpdateColorButtons();
    bool ExecuteAction(const QString& name, const ParameterSet* set);

    void BuildMenus();
    void BuildStandardToolBar();
    void AddMenuButton();
    void AddUndoRedo();
    void AddTextBoxes();
    void AddCharToggles();
    void AddAlignButton();
    void AddZoomKeys();
    void BuildDrawToolBar();
    void ApplyZoom();
    void RefreshStyleBox();
    void FitStyleBox();
    void OnCharFormatChanged(const QTextCharFormat& format);
    void OnCursorMoved();
    void MergeCharFormat(const QTextCharFormat& format);
    // The format the next typed text gets, fitted to its face at the pane's zoom.
    void FitNextCharFormat();
    void ApplyAlignment(Qt::Alignment alignment);
    void ChooseColor(bool background);

    std::unique_ptr<EditorDocument> m_document;
    QTextEdit* m_view = nullptr;
    PageEnds* m_pageEnds = nullptr;
    QMenu* m_mainMenu = nullptr;
    QToolBar* m_standardBar = nullptr; // the tool row: the standard tools,
    QToolBar* m_drawBar = nullptr;     // and the drawing tools beside them, or below where the pane is narrow
    QBoxLayout* m_toolRow = nullptr;
    void PlaceToolBars();
    QToolButton* m_menuButton = nullptr;
    QAction* m_menuAction = nullptr;
    std::vector<QAction*> m_standardActions;
    std::vector<QAction*> m_drawActions;
    std::vector<QAction*> m_objectActions;
    QAction* m_objectsAnchor = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    QAction* m_cutAction = nullptr;
    QAction* m_copyAction = nullptr;
    QAction* m_pasteAction = nullptr;
    QAction* m_deleteAction = nullptr;
    QAction* m_selectAllAction = nullptr;
    void UpdateEditActions();
    QAction* m_zoomInAction = nullptr;
    QAction* m_zoomOutAction = nullptr;
    QToolButton* m_alignButton = nullptr;
    QToolButton* m_colorButton = nullptr;
    QToolButton* m_highlightButton = nullptr;
    QToolButton* m_zoomButton = nullptr;
    QWidget* m_specialGrid = nullptr;
    QColor m_textColor = QColor(0xc0, 0x00, 0x00);
    QColor m_highlightColor = QColor(0xff, 0xff, 0x00);
    QMenu* m_insertMenu = nullptr;
    std::vector<ContextMenuFiller> m_contextMenuFillers;
    QComboBox* m_styleBox = nullptr;
    QComboBox* m_fontBox = nullptr;
    QComboBox* m_sizeBox = nullptr;
    QAction* m_boldAction = nullptr;
    QAction* m_italicAction = nullptr;
    QAction* m_underlineAction = nullptr;
    QAction* m_superAction = nullptr;
    QAction* m_subAction = nullptr;
    QActionGroup* m_alignGroup = nullptr;
    std::set<std::u16string, std::less<>> m_requestedToolBars;
    bool m_toolBarsShown = false;
    int m_zoomRatio = 100;
    int m_zoomLimit = 500;
    bool m_fitWidth = true;
    // Where the last typed word stands, to add the next letter to its undo step.
    struct Typing {
        const QTextDocument* document = nullptr;
        int position = -1;
        int undoSteps = -1;
        bool afterBlank = false;
    } m_typing;
    QImage m_zoomDevice;
    bool m_scanOpen = false;
    int m_scanPosition = 0;
    int m_scanEnd = 0;
};

} // namespace editor
