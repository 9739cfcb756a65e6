#include "document/folded_edit.h"

#include <QTextDocument>

namespace editor {

FoldedEdit::FoldedEdit(QTextDocument& text)
    : m_text(text), m_cursor(&text), m_wasModified(text.isModified()),
      m_join(text.isUndoRedoEnabled() && text.availableUndoSteps() > 0)
{
}

FoldedEdit::~FoldedEdit()
{
    if (!m_begun)
        return;
    m_cursor.endEditBlock();
    if (!m_join && m_text.isUndoRedoEnabled())
        m_text.clearUndoRedoStacks(QTextDocument::UndoStack);
    if (!m_wasModified)
        m_text.setModified(false);
}

bool FoldedEdit::Blocked() const
{
    return m_text.isUndoRedoEnabled() && m_text.availableRedoSteps() > 0;
}

QTextCursor& FoldedEdit::Cursor()
{
    if (!m_begun) {
        if (m_join)
            m_cursor.joinPreviousEditBlock();
        else
            m_cursor.beginEditBlock();
        m_begun = true;
    }
    return m_cursor;
}

} // namespace editor
