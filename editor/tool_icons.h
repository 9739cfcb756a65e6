// The pane tool bar's pictures and its grid popups. Icons come from the desktop's icon
// theme when it has them; every one has a small drawn picture of our own to fall back on,
// so the bar reads the same on a machine without a theme.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <functional>

class QMenu;
class QWidget;

namespace editor {

// What the fallback picture shows.
enum class ToolPicture {
    Undo, Redo, Cut, Copy, Paste, Bold, Italic, Underline, Superscript, Subscript,
    AlignLeft, AlignCenter, AlignRight, AlignJustify, Special, Table, Box, Picture, Equation,
    Menu, AnswerMark
};

// The theme's icon `themeName`, else our own picture.
QIcon ToolIcon(const char* themeName, ToolPicture fallback);
// "가" over a bar of `color` (the text colour) or on it (the highlight).
QIcon ColorToolIcon(const QColor& color, bool highlight);

// A grid of buttons, `columns` wide, put into `menu`; a click calls `chosen` with the
// item's text and closes the menu. Returns the grid for tests.
QWidget* AddTextGrid(QMenu& menu, const QStringList& items, int columns, std::function<void(const QString&)> chosen);
// The same with colour swatches; `chosen` gets the colour.
QWidget* AddColorGrid(QMenu& menu, const QList<QColor>& colors, int columns, std::function<void(const QColor&)> chosen);

} // namespace editor
