// The lines a paragraph was read with, as the word processor laid them out, carried by its
// block while the block holds what it was read with. The print layout breaks such a block
// where the file did (page/stored_breaks.h); a save writes them back for it and composes
// new ones for every block the teacher changed.
#pragma once

#include "hwp/document.h"

#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>

#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

namespace editor {

struct StoredLines {
    // textStart is a position in the block (from 0), not a model text index.
    std::vector<hwp::LineSegment> lines;
    // The block as read: the lines hold for it only while it still is.
    QString text;
    std::vector<std::pair<int, QTextCharFormat>> runs;   // length and format of each fragment
    QTextBlockFormat format;
};
using StoredLinesRef = std::shared_ptr<const StoredLines>;

constexpr int kStoredLinesProperty = QTextFormat::UserProperty + 28;

// Gives the block `at` stands in the paragraph's lines; `blockPosition[i]` is the block
// position of text index i (from 0). Nothing when the paragraph has none.
void AttachStoredLines(QTextCursor& at, const hwp::Paragraph& paragraph, const std::vector<int>& blockPosition);

// The lines the block carries, whether or not they still hold for it; null when none.
StoredLinesRef CarriedLines(const QTextBlock& block);

// The block's lines when it holds what it was read with; null otherwise.
StoredLinesRef StoredLinesOf(const QTextBlock& block);

// The lines a layout gave the blocks of a document, by block number; starts are positions
// in the block (page/page_render.h makes them).
using LaidOutLines = std::unordered_map<int, std::vector<hwp::LineSegment>>;

// The block's lines for the model: its stored lines while it holds what it was read with,
// else those `laid` gives it, starts moved through `textIndex` (block position -> text
// index). Empty when there are none: the writer then composes its own.
std::vector<hwp::LineSegment> ModelLineSegments(const QTextBlock& block, const std::vector<std::uint32_t>& textIndex,
                                                const LaidOutLines* laid = nullptr);

} // namespace editor

Q_DECLARE_METATYPE(editor::StoredLinesRef)
