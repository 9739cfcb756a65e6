// Lines broken by character, as a para shape may ask, in the pane and on the printed page.
//
// The text engine breaks Korean only at spaces. A para shape says how its lines break:
// Latin by word, hyphen or character (bits 5-6 of its properties), Hangul by word or by
// character (bit 7). A block that asks for either by character is laid out by the engine
// and then again on its own break opportunities: each line as wide as the engine made it
// and where the engine put it, filled up to the last opportunity that fits. Hangul breaks
// between any two syllables, Latin words stay whole unless they too break by character,
// and no line starts with what the Unicode line breaking rules keep with the character
// before it (closing punctuation, full stops, ...).
#pragma once

#include <QString>
#include <QTextBlockFormat>

#include <optional>
#include <vector>

class QTextBlock;
class QTextCursor;
class QTextDocument;

namespace editor {

// How a block's lines break, from the para shape its format was read with; a format not
// read from a file breaks as the engine does.
struct LineBreakUnits {
    bool hangulByCharacter = false;
    bool latinByCharacter = false;

    bool ByCharacter() const { return hangulByCharacter || latinByCharacter; }
};
LineBreakUnits LineBreakUnitsOf(const QTextBlockFormat& format);

// Where a line of `text` may start, for indexes 0..size: true at i when a line may break
// before text[i] (0 and size are never breaks). Spaces stay at the end of the line before.
std::vector<bool> LineBreakOpportunities(const QString& text, LineBreakUnits units);

// Lays the engine's lines of `block` out again on its break opportunities; how much lower
// (negative: higher) its last line now ends than the engine's did, 0 where the lines are
// the engine's. Nothing for a block without laid-out lines, one whose units are the
// engine's, or one laid out so since the engine last laid it out.
std::optional<double> LayOutByCharacter(const QTextBlock& block);

// The room a block laid out by character takes below it beyond what the engine's lines
// took (96-dpi layout pixels; below 0 taken away). The text engine spaces two blocks by the
// larger of the upper one's bottom margin and the lower one's top margin, so the room
// moves both where it is below 0; each format names what was moved, so that a paragraph's
// own spacing is what a save writes.
double CharacterLinesRoomOf(const QTextBlockFormat& format);
void SetCharacterLinesRoom(QTextCursor& cursor, const QTextBlock& block, double room);
QTextBlockFormat WithoutCharacterLinesRoom(QTextBlockFormat format);

// For the pane: each time the engine lays `text` out, lays the blocks that break by
// character out again on their breaks, lines where the engine put them, so the pane ends
// its lines where the printed page does. The room below such a block stays the engine's.
void KeepLinesBrokenByCharacter(QTextDocument& text);

}  // namespace editor
