// The print copy's blocks whose para shapes break lines by character
// (document/character_breaks.h), laid out on those breaks with the room their lines take.
#pragma once

#include "document/stored_lines.h"

#include <QTextDocument>

#include <unordered_set>

namespace editor {

// After the copy is laid out: lays each body block that breaks by character and is not
// held to its stored lines out on its own breaks, and gives it the height those lines take
// (the blocks below move with it); returns how many of them end higher or lower than the
// engine's lines did. Laying the copy out again puts the engine's lines back: call it
// again after that.
int LayOutLinesByCharacter(QTextDocument& text, const std::unordered_set<const StoredLines*>& held);

}  // namespace editor
