// Where the printed pages end, shown in the pane.
//
// Once the teacher's edits settle, the pane's document is laid out on pages as it prints
// (page/page_render.h) and the line each later page (and each later column of a
// multi-column section) starts with is remembered by its block and its place in it. The
// pane draws a thin mark across the text above those lines; nothing in the document moves
// or changes. The pane's lines are the printed ones when both space them alike
// (document/line_spacing.h) and wrap at the body's width.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

class QPainter;
class QRectF;
class QTextDocument;

namespace editor {

class EditorDocument;

struct PageEnd {
    int block = 0;       // the block number of the line that starts the next page or column
    int position = 0;    // where that line starts in its block
    bool sheet = true;   // a new sheet; else a new column on the same sheet
};

// The lines the print layout of `document` starts pages and columns on, after the first.
std::vector<PageEnd> PageEndsOf(const EditorDocument& document);

class PageEnds : public QObject {
public:
    // `document` gives the pane's document when the marks are due, null when there is
    // none to lay out (a pane not on screen); `changed` is called with new marks.
    PageEnds(QObject* parent, std::function<const EditorDocument*()> document, std::function<void()> changed);

    // Lays the document out again after `settle` milliseconds without a change of `text`.
    void Watch(QTextDocument& text, int settle = 400);
    // Lays it out now.
    void Refresh();
    const std::vector<PageEnd>& Marks() const { return m_marks; }

    // Draws the marks meeting `area` (the text layout's coordinates) across `width`.
    void Paint(QPainter& painter, const QTextDocument& text, const QRectF& area, double width) const;

private:
    std::function<const EditorDocument*()> m_document;
    std::function<void()> m_changed;
    std::vector<PageEnd> m_marks;
    QTimer m_timer;
    QMetaObject::Connection m_watched;
};

} // namespace editor
