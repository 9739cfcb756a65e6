// Changes the document makes on its own after an edit (line spacing by char size,
// paragraph heads' room, row heights) belong to the edit that caused them: one undo step
// takes back both, and a document left unmodified stays so.
#pragma once

#include <QTextCursor>

class QTextDocument;

namespace editor {

class FoldedEdit {
public:
    explicit FoldedEdit(QTextDocument& text);
    // Ends the edit when one was begun: with no undo step to join it was kept off the undo
    // stack; the modified flag goes back to what it was.
    ~FoldedEdit();
    FoldedEdit(const FoldedEdit&) = delete;
    FoldedEdit& operator=(const FoldedEdit&) = delete;

    // A change now would cost the steps to redo: the next edit makes it instead.
    bool Blocked() const;
    // The cursor to change the document with; the edit begins (or joins the last undo
    // step) the first time it is asked for.
    QTextCursor& Cursor();
    bool Begun() const { return m_begun; }

private:
    QTextDocument& m_text;
    QTextCursor m_cursor;
    bool m_wasModified;
    bool m_join;
    bool m_begun = false;
};

} // namespace editor
