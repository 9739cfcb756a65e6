#pragma once

class QTextBlock;
class QTextDocument;

namespace editor {

// Gives the document a layout that lays out only the paragraph an edit changed when that
// paragraph sits in a cell of a table with fixed column widths and keeps as many lines of
// the same heights: the text engine would lay every cell of the table out again. Anything
// else takes the engine's own way. The layout keeps each paragraph's block format index,
// as laid out last, in the block's user state. Installing twice keeps the first.
void InstallCellEditLayout(QTextDocument& text);

// Where the caret rests: an input method's composing text takes the paragraph's lines away
// before the layout hears of it, so the layout keeps them aside first.
void KeepLinesOfCaretParagraph(const QTextBlock& block);

} // namespace editor
