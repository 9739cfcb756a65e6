// Lines spaced by percent as the file spaces them, in the pane and on the printed page.
//
// A para shape's percent line spacing counts from the line's largest char size; the text
// engine's proportional height counts from its faces' own line height, which differs from
// face to face (about 1.25 times the size for the Nanum faces). Each block spaced by a
// percent from a file is given the engine's percent that puts its lines as far apart as
// the file's. The block keeps the height it was read with beside it
// (kSpacedFromProperty), so the para shape's percent is what a save writes and what tells
// whether the block still holds what it was read with (WithoutCharSizeSpacing).
#pragma once

#include <QTextBlockFormat>

#include <optional>

class QPaintDevice;
class QTextBlock;
class QTextLayout;
class QTextCursor;
class QTextDocument;

namespace editor {

// Doubles: the proportional height the block had before it was spaced by char size, and
// the one it was given. A format whose height is no longer the given one was changed since.
constexpr int kSpacedFromProperty = QTextFormat::UserProperty + 44;
constexpr int kSpacedToProperty = QTextFormat::UserProperty + 45;

// Lays `layout` (made on the text of `block`) out as one unbroken line in the block's
// formats, as the document's engine would measure them.
void LayOutAsOneLine(QTextLayout& layout, const QTextBlock& block);

// Whether `block` holds objects that take room in its document's layout; those that print
// as nothing (column and section definitions, field ends) take none there.
bool HoldsWideObjects(const QTextBlock& block);

// The engine's proportional height that spaces `block` by its para shape's percent,
// measured on `device` (96 dpi for the layout) as the engine lays the block out; none for a
// block not spaced by a file's percent, or holding objects wider than nothing (those keep
// the engine's spacing).
std::optional<double> CharSizeLineHeight(const QTextBlock& block, const QPaintDevice& device);

// Gives `block` that height with `cursor` when it has another; returns whether it changed.
bool SpaceBlockByCharSize(QTextCursor& cursor, const QTextBlock& block, const QPaintDevice& device);

// `format` with the height it had before it was spaced by char size, while it still has
// the one it was given.
QTextBlockFormat WithoutCharSizeSpacing(QTextBlockFormat format);

// For the pane: spaces every block of `text` now, and the blocks a change touches again
// after each change (once it is laid out), at 96 dpi whatever the zoom, as the printed page
// does. As the table rows' fit: a change is folded into the last undo step, is not made
// while there are steps to redo, and leaves the modified flag as it was.
void KeepLinesSpaced(QTextDocument& text);
// Spaces now the blocks changed since they were last spaced, rather than after the change
// (so that a typed letter's step holds its spacing before the next letter joins it);
// nothing when KeepLinesSpaced was never called for `text`.
void SpaceChangedLines(QTextDocument& text);

} // namespace editor
