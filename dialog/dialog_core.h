// DialogCore: the main dialog's question logic, without widgets.
//
// It holds the dialog members that several parts of the program share (the current
// Exam record, the template prefix, the current question type and the type buttons'
// pictures, the school level, the layout scale) and the dialog operations on them: the
// level, difficulty and type controls, the option menu's resets, pane set-up and
// templates, styles, the passage column, opening a question and starting a new one.
// It reaches the widgets only through DialogView (dialog/dialog_view.h) and the six
// panes only through EditorControl, so it runs headless in tests; CVarnelDlg (app/)
// owns one and wires the real widgets to it.
//
// The preview assembly (render/) and the hand-off exchanges (handoff/) work on a
// DialogCore too; where this logic needs them it calls the hooks below, which the
// application fills.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dialog/dialog_view.h"
#include "editor/pane_ops.h"
#include "store/exam_open.h"
#include "store/exam_record.h"
#include "store/exam_writer.h"
#include "store/package_stage.h"
#include "support/json.h"

// The dialog control id of a pane code 2..6; 0 otherwise.
int PaneControlId(int code);

class DialogCore : public ExamOpenView {
public:
    DialogCore(dlg::DialogView& view, editor::PaneSet panes);
    ~DialogCore() override;

    dlg::DialogView& View() { return m_view; }
    const editor::PaneSet& Panes() const { return m_panes; }

    // --- shared dialog members -------------------------------------------------------
    std::unique_ptr<ExamRecord> m_pExamRecord;
    std::string m_strTemplatePrefix;
    std::int32_t m_nQuestionType = kQuestionTypeNone;
    std::int32_t m_nObjButtonImage = 1;
    std::int32_t m_nSbjButtonImage = 3;
    std::int32_t m_nDesButtonImage = 5;
    std::string m_strLevel;
    float m_fScale = 1.0f;
    std::int32_t m_nShrinkX = 0;
    std::int32_t m_nShrinkY = 0;

    // Set when the question holds work that no save has packed yet and the panes do not
    // show as changed (documents stored by a type switch, a save that failed); cleared
    // when another question becomes current.
    bool m_bUnsavedWork = false;
    // The points changed since the question was opened, started or saved.
    bool m_bScoreChanged = false;

    // --- hooks -----------------------------------------------------------------------
    // Stores the current type's documents before another type is shown (the silent
    // preview assembly); true when it stored them and emptied the panes. Unset: nothing
    // is stored.
    std::function<bool(bool showMessages)> m_buildPreviewDocuments;
    // Reads the launch record and applies it; false closes the dialog. Unset: a new
    // local question is started.
    std::function<bool()> m_applyLaunchRecord;

    // --- start-up and layout ---------------------------------------------------------
    // The start-up steps after the controls exist: layout, prefix "sf", panes, launch record.
    void InitDialog();
    void FitToScreen();
    void ScaleControl(int id, bool scaleTop);
    // Releases the current record.
    void OnClose();

    // --- level, difficulty and type controls -----------------------------------------
    void SetTypeButtonImage(int id, std::int32_t index);
    void ShowDifficulty();
    std::int32_t DifficultyNumber() const;
    void ShowLevel(const std::string& level);
    void OnLevelButton(int id);
    void OnDifficultyButton();
    void OnTypeButton(int id);
    void OnDefaultTypeBox(int id);
    // The state of the type buttons and default boxes that a save writes.
    TypeControlsState TypeControls() const;
    // The "배점" box: points in tenths (0..1000) or none, kept in the current record.
    void SetScore(std::optional<std::int32_t> tenths);

    // --- option menu -----------------------------------------------------------------
    void OnResetCommand(int commandId);

    // --- panes and templates ---------------------------------------------------------
    void SetUpEditorPanes();
    void ResetPaneDocuments(int code);
    // A file that exists but cannot be read gives the pane its template too, and the
    // user one message naming it.
    void OpenPaneDocument(const std::string& path, int code);
    void SelectTypeDocuments();
    void OpenTypeDocuments(const std::string& word);
    // Gives a pane just opened on its template the styles of the question's level.
    void StyleBlankPane(int code);
    // "<install>/urk/hwp_format/<prefix>_<name>_format.hwp"
    std::string TemplatePath(std::string_view name) const;

    // --- styles and text operations --------------------------------------------------
    void OnApplyStyle();
    void ApplyLevelStyles(int base);
    void StylePassagePane(int base);
    void AppendToWorkDocument(const std::string& path, int code, std::int32_t blankLines);
    bool IsPaneEmpty(editor::EditorControl& pane);
    // Fills the current record's objective answer from the answer pane.
    void ReadObjectiveAnswer();
    // Whether anything typed for this question exists only in the dialog: documents of
    // a type that was left before they could be stored, or m_bUnsavedWork.
    bool HasUnsavedWork() const { return m_bUnsavedWork || m_bScoreChanged || !m_drafts.empty(); }
    // HasUnsavedWork, or a shown pane changed since it was opened or saved.
    bool HasUnsavedChanges() const;
    // The passage pane is shown with text that no save has packed.
    bool PassageHoldsUnsavedText();
    // The types left before their panes were complete; a save does not carry them.
    std::vector<std::int32_t> DraftTypes() const;

    // --- passage column --------------------------------------------------------------
    // `confirmed`: the view asked ConfirmPassageRemoval before it cleared the box.
    void OnHasPassageClicked(bool confirmed = false);
    // Whether the passage may go: yes when its pane holds no text, else the user's answer.
    bool ConfirmPassageRemoval();
    void SetPassageMode(bool fromLoad);
    void ShiftControl(int id, bool toTheRight);

    // --- opening and starting questions ----------------------------------------------
    // All or nothing: raises ArchiveError for a damaged archive with the current question,
    // its controls and its panes as they were.
    void OpenExamRecord(const JsonObject& object, bool keepRecord);
    void LoadQuestionText(std::string_view text);
    // The "문제 불러오기" button: a .dat chosen in the workspace, opened with the store kind
    // of its folder. A file that is not a question's record in a question folder gets one
    // message saying why, and unsaved work is replaced only after a yes; otherwise
    // nothing changes.
    void OnLoadQuestion();
    void StartNewQuestion();

    // --- the pending package ---------------------------------------------------------
    // Staged copies of the question's and the passage's folders (store/package_stage.h):
    // the documents a type switch stores and everything a save writes go there, and the
    // save switches them in at its end. Made on first use; dropped with the question.
    PackageStages& Stages();
    bool HasPendingPackage() const { return m_pStages && !m_pStages->Empty(); }
    // Where the files of the folder `live` are read while a package is pending.
    std::string WorkingFolder(const std::string& live) const;
    // A path inside a staged copy as the user knows it (inside the live folder).
    std::string LivePathOf(const std::string& path) const;

    // While it lives, the current record's folders are their staged copies (made when
    // missing), so the assembly, the cropper and the record writer write there alone.
    // Not ready, with the failure noted, when a copy could not be made.
    class StagedFolders {
    public:
        explicit StagedFolders(DialogCore& core);
        ~StagedFolders();
        StagedFolders(const StagedFolders&) = delete;
        StagedFolders& operator=(const StagedFolders&) = delete;
        bool Ready() const { return m_ready; }
        // Nothing was written after all: copies made by this scope go again at its end.
        void Unused() { m_unused = true; }

    private:
        DialogCore& m_core;
        const ExamRecord* m_record = nullptr;
        std::string m_question;
        std::string m_passage;
        bool m_madeHere = false;
        bool m_ready = false;
        bool m_unused = false;
    };

    // ExamOpenView
    void ShowTypeControls(const ExamRecord& record, const ExamTypeControls& controls) override;
    void ShowExistingPassage(const ExamRecord& record) override;
    void SelectTypeDocuments(const ExamRecord& record) override;

private:
    // Opens inside one batch are reported in one message.
    struct OpenBatch {
        explicit OpenBatch(DialogCore& core) : m_core(core) { ++m_core.m_nOpenBatch; }
        ~OpenBatch() { --m_core.m_nOpenBatch; }
        DialogCore& m_core;
    };
    void ReportUnreadableDocuments();
    // Whether the pane of `code` is shown and changed since it was opened or saved.
    bool PaneChanged(int code) const;
    void SelectTypeDocumentsNow();
    void EnableOptionsPaneFor(std::int32_t type);

    // Documents of a type that was left before they were stored (its panes incomplete or
    // its folder not writable), kept outside the workspace until the user returns to
    // that type or another question becomes current.
    bool EnsureDraftFolder();
    bool StashDrafts(std::int32_t type);
    // The passage of a question whose box was cleared, so that ticking the box again in
    // the same question brings it back.
    void StashPassage();
    bool RestorePassage();
    bool RestoreDrafts(std::int32_t type);
    void DropDrafts();
    std::string DraftPath(std::int32_t type, int code) const;

    // 575 × scale, whole pixels: shifting by a fraction and truncating each way would
    // leave every control a pixel further left after each round trip.
    int PassageColumnWidth() const { return static_cast<int>(575.0f * m_fScale); }

    dlg::DialogView& m_view;
    editor::PaneSet m_panes;
    // The type whose documents the panes hold; it stays when that type is switched off.
    std::int32_t m_nShownType = kQuestionTypeNone;
    std::string m_strDraftFolder;
    std::map<std::int32_t, std::vector<int>> m_drafts;
    std::vector<std::string> m_unreadableDocuments;
    struct PassageStash {
        const ExamRecord* record = nullptr;
        std::uint32_t examKey = 0;
        std::uint32_t key = 0;
        std::string local;
        std::string folder;
        bool document = false;
    };
    std::optional<PassageStash> m_passageStash;
    int m_nOpenBatch = 0;
    std::unique_ptr<PackageStages> m_pStages;
};
