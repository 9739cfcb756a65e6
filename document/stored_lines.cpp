#include "document/stored_lines.h"
#include "document/character_breaks.h"

#include "document/kept_objects.h"
#include "document/line_spacing.h"
#include "document/paragraph_heads.h"

#include <cmath>

namespace editor {

namespace {

std::vector<std::pair<int, QTextCharFormat>> RunsOf(const QTextBlock& block)
{
    std::vector<std::pair<int, QTextCharFormat>> runs;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.isValid())
            runs.emplace_back(fragment.length(), fragment.charFormat());
    }
    return runs;
}

// The format as the paragraph's own: without its lines, and without the room a head
// takes, the spacing by char size or the room lines broken by character take, which are
// fitted again whenever the text changes.
QTextBlockFormat WithoutLines(QTextBlockFormat format)
{
    format.clearProperty(kStoredLinesProperty);
    format.clearProperty(kReferenceHashProperty);
    format = WithoutCharacterLinesRoom(WithoutCharSizeSpacing(WithoutHeadRoom(format)));
    // Room taken off again may differ from none in the last bits.
    const auto rounded = [](double value) { return std::round(value * 1024.0) / 1024.0; };
    format.setLeftMargin(rounded(format.leftMargin()));
    format.setTextIndent(rounded(format.textIndent()));
    return format;
}

} // namespace

void AttachStoredLines(QTextCursor& at, const hwp::Paragraph& paragraph, const std::vector<int>& blockPosition)
{
    if (paragraph.lineLayout.segments.empty() || blockPosition.size() != paragraph.text.size() + 1)
        return;
    const QTextBlock block = at.block();
    auto stored = std::make_shared<StoredLines>();
    for (hwp::LineSegment line : paragraph.lineLayout.segments) {
        if (line.textStart > paragraph.text.size())
            return;
        // A line that starts at text index 0 starts with the block, before any object
        // the paragraph opens with.
        line.textStart = line.textStart == 0 ? 0u : static_cast<std::uint32_t>(blockPosition[line.textStart] - block.position());
        stored->lines.push_back(line);
    }
    stored->text = block.text();
    stored->runs = RunsOf(block);
    stored->format = WithoutLines(block.blockFormat());
    QTextBlockFormat format;
    const void* address = stored.get();
    SetReference(format, kStoredLinesProperty, QVariant::fromValue(StoredLinesRef(std::move(stored))), address);
    at.mergeBlockFormat(format);
}

StoredLinesRef CarriedLines(const QTextBlock& block)
{
    const QTextBlockFormat format = block.blockFormat();
    if (!format.hasProperty(kStoredLinesProperty))
        return nullptr;
    return format.property(kStoredLinesProperty).value<StoredLinesRef>();
}

StoredLinesRef StoredLinesOf(const QTextBlock& block)
{
    StoredLinesRef stored = CarriedLines(block);
    if (!stored || stored->text != block.text() || stored->format != WithoutLines(block.blockFormat()) ||
        stored->runs != RunsOf(block))
        return nullptr;
    return stored;
}

std::vector<hwp::LineSegment> ModelLineSegments(const QTextBlock& block, const std::vector<std::uint32_t>& textIndex,
                                                const LaidOutLines* laid)
{
    std::vector<hwp::LineSegment> lines;
    if (const StoredLinesRef stored = StoredLinesOf(block)) {
        lines = stored->lines;
    } else if (laid != nullptr) {
        const auto found = laid->find(block.blockNumber());
        if (found != laid->end())
            lines = found->second;
    }
    for (hwp::LineSegment& line : lines) {
        if (line.textStart >= textIndex.size())
            return {};
        line.textStart = textIndex[line.textStart];
    }
    return lines;
}

} // namespace editor
