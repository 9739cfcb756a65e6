#include "page/stored_breaks.h"

#include <QAbstractTextDocumentLayout>
#include <QTextLayout>

#include <algorithm>

namespace editor {

std::unordered_set<const StoredLines*> StoredLinesHeld(const QTextDocument& text)
{
    std::unordered_set<const StoredLines*> held;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        if (const StoredLinesRef stored = StoredLinesOf(block))
            held.insert(stored.get());
    }
    return held;
}

const StoredLines* HeldLinesOf(const QTextBlock& block, const std::unordered_set<const StoredLines*>& held)
{
    const StoredLinesRef stored = CarriedLines(block);
    if (!stored || held.count(stored.get()) == 0 || stored->text != block.text())
        return nullptr;
    return stored.get();
}

namespace {

// How far a line may run past its width to end where the file ended it: the word
// processor's faces are narrower than the ones that stand in for them by about this much.
constexpr double kOverrun = 0.06;

// Lays the line out on the characters [its start, end); false when they run further past
// `width` than kOverrun allows.
bool FillLine(QTextLine& line, int end, qreal width)
{
    const int columns = std::max(1, end - line.textStart());
    line.setNumColumns(columns, width);
    if (line.textStart() + line.textLength() >= end)
        return true;
    // setNumColumns breaks at the width too: a longer line needs a wider one.
    line.setNumColumns(columns, width * 64);
    const qreal natural = line.naturalTextWidth();
    if (natural > width * (1 + kOverrun))
        return false;
    line.setNumColumns(columns, std::max(width, natural));
    return true;
}

bool Rebreak(const QTextBlock& block, const StoredLines& stored)
{
    QTextLayout* layout = block.layout();
    const int count = layout ? layout->lineCount() : 0;
    if (count == 0 || count != static_cast<int>(stored.lines.size()))
        return false;
    const int length = block.length() - 1;
    bool same = true;
    std::vector<QPointF> positions;
    std::vector<qreal> widths;
    for (int i = 0; i < count; ++i) {
        const QTextLine line = layout->lineAt(i);
        const auto start = static_cast<int>(stored.lines[static_cast<std::size_t>(i)].textStart);
        if (start > length || (i > 0 && start <= static_cast<int>(stored.lines[static_cast<std::size_t>(i - 1)].textStart)))
            return false;
        same = same && line.textStart() == start;
        positions.push_back(line.position());
        widths.push_back(line.width());
    }
    if (same)
        return true;
    const auto lay = [&](bool follow) {
        bool fits = true;
        layout->beginLayout();
        for (int i = 0; i < count; ++i) {
            QTextLine line = layout->createLine();
            if (!line.isValid())
                break;
            const auto k = static_cast<std::size_t>(i);
            if (!follow)
                line.setLineWidth(widths[k]);
            else if (!FillLine(line, i + 1 < count ? static_cast<int>(stored.lines[k + 1].textStart) : length, widths[k]))
                fits = false;
            line.setPosition(positions[k]);
        }
        layout->endLayout();
        return fits;
    };
    if (lay(true))
        return true;
    lay(false);   // as the layout had it
    return false;
}

} // namespace

int FollowStoredLines(QTextDocument& text, const std::unordered_set<const StoredLines*>& held)
{
    if (held.empty())
        return 0;
    text.documentLayout()->documentSize();   // laid out to the end
    int followed = 0;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        if (const StoredLines* stored = HeldLinesOf(block, held))
            followed += Rebreak(block, *stored) ? 1 : 0;
    }
    return followed;
}

} // namespace editor
