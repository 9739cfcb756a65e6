#include "page/character_lines.h"

#include "document/character_breaks.h"
#include "page/stored_breaks.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>

#include <cmath>
#include <vector>

namespace editor {
namespace {

std::vector<QTextBlock> BlocksByCharacter(QTextDocument& text, const std::unordered_set<const StoredLines*>& held)
{
    std::vector<QTextBlock> blocks;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        // Cells keep the rows their tables were given.
        if (text.frameAt(block.position()) != text.rootFrame() || HeldLinesOf(block, held) != nullptr ||
            !LineBreakUnitsOf(block.blockFormat()).ByCharacter())
            continue;
        blocks.push_back(block);
    }
    return blocks;
}

}  // namespace

int LayOutLinesByCharacter(QTextDocument& text, const std::unordered_set<const StoredLines*>& held)
{
    const std::vector<QTextBlock> blocks = BlocksByCharacter(text, held);
    if (blocks.empty())
        return 0;
    text.documentLayout()->documentSize();   // laid out to the end
    QTextCursor cursor(&text);
    cursor.beginEditBlock();
    bool changed = false;
    for (const QTextBlock& block : blocks) {
        const std::optional<double> drop = LayOutByCharacter(block);
        if (!drop)
            continue;
        // Laid out again, the engine makes its own lines: the room is made once.
        if (std::abs(*drop - CharacterLinesRoomOf(block.blockFormat())) < 0.5)
            continue;
        SetCharacterLinesRoom(cursor, block, *drop);
        changed = true;
    }
    cursor.endEditBlock();
    if (!changed)
        return static_cast<int>(blocks.size());
    text.documentLayout()->documentSize();
    int laid = 0;
    for (const QTextBlock& block : blocks)
        laid += LayOutByCharacter(block).value_or(0.0) != 0.0 ? 1 : 0;
    return laid;
}

}  // namespace editor
