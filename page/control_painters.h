// Painters of the controls that stand in the text as marks or numbers: controls that
// print nothing (definitions, bookmarks, hidden comments, headers and footers, which
// print elsewhere, ...), auto numbers in their number shape, note references as their
// superscript number, and the main text of rubies and overlapped letters (side by side). All of them lay out on the text's baseline with the font of
// their character, so a line is as high as its text says.
#pragma once

#include <QString>
#include <QTextLayout>

#include "document/kept_objects.h"

namespace editor {

// Registers them; RegisterObjectPainters calls it.
void RegisterControlPainters();

// What the object prints in the text (an auto number's "1", a footnote's "1)", a ruby's
// main text), empty for the rest.
QString PrintedControlText(const KeptObject& object);

// `layout` laid out as one line as wide as its text; the line is invalid without text.
QTextLine LayOutOneLine(QTextLayout& layout);

} // namespace editor
