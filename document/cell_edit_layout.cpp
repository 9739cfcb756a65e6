#include "document/cell_edit_layout.h"

#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>
#include <QtGui/private/qtextdocumentlayout_p.h>

#include <algorithm>
#include <vector>

namespace editor {
namespace {

bool WidthsIndependentOfText(const QTextTable& table)
{
    const QList<QTextLength> constraints = table.format().columnWidthConstraints();
    if (constraints.size() != table.columns())
        return false;
    return std::all_of(constraints.begin(), constraints.end(), [](const QTextLength& length) {
        return length.type() == QTextLength::FixedLength || length.type() == QTextLength::PercentageLength;
    });
}

struct LineGeometry {
    QPointF position;
    qreal width = 0;
    qreal ascent = 0;
    qreal descent = 0;
    qreal leading = 0;
};

std::vector<LineGeometry> LinesOf(const QTextLayout& layout)
{
    std::vector<LineGeometry> lines;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        lines.push_back({line.position(), line.width(), line.ascent(), line.descent(), line.leading()});
    }
    return lines;
}

class CellEditLayout : public QTextDocumentLayout {
public:
    explicit CellEditLayout(QTextDocument* text) : QTextDocumentLayout(text)
    {
        setObjectName(QStringLiteral("varnel-cell-edit-layout"));
    }

    // Text being composed, or formats laid over a paragraph, take its lines away before the
    // layout hears of it: the lines of the paragraph being edited are kept aside.
    void KeepLinesOf(const QTextBlock& block)
    {
        m_kept.clear();
        m_keptBlock = QTextBlock();
        if (block.isValid() && block.layout() != nullptr && block.layout()->lineCount() > 0) {
            m_kept = LinesOf(*block.layout());
            m_keptBlock = block;
        }
    }

protected:
    void documentChanged(int from, int oldLength, int length) override
    {
        const QTextBlock block = document()->findBlock(from);
        if (!LayOutInCell(block, from, length)) {
            QTextDocumentLayout::documentChanged(from, oldLength, length);
            RememberFormats(from, length);
        }
        KeepLinesOf(block);
        m_blocks = document()->blockCount();
    }

private:
    // The table the changed paragraph sits in, when only that paragraph may need laying out.
    QTextTable* TableOfLoneEdit(const QTextBlock& block, int from, int length) const
    {
        QTextDocument* text = document();
        if (!block.isValid() || text->blockCount() != m_blocks || layoutStatus() != 100)
            return nullptr;
        // The character ending the paragraph carries the format of the cell after it: a
        // change that reaches it is a change of that cell, unless the whole paragraph was
        // marked for laying out (text being composed, formats laid over it). An empty
        // paragraph is that one character: there, composing text has taken its lines away,
        // which a change of the next cell does not.
        const int end = block.position() + block.length() - 1;
        const bool whole = from == block.position() && length == block.length() &&
                           (block.length() > 1 || (block.layout() != nullptr && block.layout()->lineCount() == 0));
        if (from + length > end && !whole)
            return nullptr;
        // The paragraph's format as last laid out: a new margin, alignment or spacing moves lines.
        if (block.userState() != block.blockFormatIndex())
            return nullptr;
        // Objects may float, or change size with the text around them.
        if (block.text().contains(QChar::ObjectReplacementCharacter))
            return nullptr;
        auto* table = qobject_cast<QTextTable*>(text->frameAt(block.position()));
        if (table == nullptr || table->parentFrame() != text->rootFrame() || !table->childFrames().isEmpty() ||
            !WidthsIndependentOfText(*table))
            return nullptr;
        return table;
    }

    // Lays the paragraph out again on its old lines' widths and places; true if it fills
    // them as the engine would place them: as many lines, of the same heights, none too wide.
    static bool RefillSameLines(QTextLayout& layout, const std::vector<LineGeometry>& old)
    {
        if (old.empty())
            return false;
        bool same = true;
        qreal narrowest = old.front().width;
        layout.beginLayout();
        for (std::size_t i = 0; same; ++i) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            if (i >= old.size()) {
                same = false;
                break;
            }
            const LineGeometry& was = old[i];
            line.setLeadingIncluded(true);
            line.setLineWidth(was.width);
            line.setPosition(was.position);
            narrowest = std::min(narrowest, was.width);
            same = line.ascent() == was.ascent && line.descent() == was.descent && line.leading() == was.leading &&
                   line.naturalTextWidth() <= was.width;
        }
        layout.endLayout();
        // A word wider than its column would widen the column.
        return same && layout.lineCount() == static_cast<int>(old.size()) && layout.minimumWidth() <= narrowest;
    }

    std::vector<LineGeometry> LinesBefore(const QTextBlock& block) const
    {
        if (block.layout()->lineCount() > 0)
            return LinesOf(*block.layout());
        return block == m_keptBlock ? m_kept : std::vector<LineGeometry>();
    }

    bool LayOutInCell(const QTextBlock& block, int from, int length)
    {
        QTextTable* table = TableOfLoneEdit(block, from, length);
        if (table == nullptr || block.layout() == nullptr || !RefillSameLines(*block.layout(), LinesBefore(block)))
            return false;
        // The engine places the flow from the table on again, which records where each part
        // of it now starts in the text; nothing is laid out anew and the table keeps its size.
        {
            const QSignalBlocker quiet(this);
            QTextDocumentLayout::documentChanged(table->firstPosition(), 0, 0);
        }
        emit update(blockBoundingRect(block).adjusted(-kOverhang, 0, kOverhang, 0));
        return true;
    }

    void RememberFormats(int from, int length)
    {
        QTextDocument* text = document();
        const int end = from + std::max(length, 0);
        for (QTextBlock block = text->findBlock(from); block.isValid() && block.position() <= end; block = block.next())
            block.setUserState(block.blockFormatIndex());
    }

    // Italic or overhanging glyphs reach a little past their line.
    static constexpr qreal kOverhang = 4;
    int m_blocks = -1;
    QTextBlock m_keptBlock;
    std::vector<LineGeometry> m_kept;
};

} // namespace

void KeepLinesOfCaretParagraph(const QTextBlock& block)
{
    if (block.document() == nullptr)
        return;
    if (auto* layout = dynamic_cast<CellEditLayout*>(block.document()->documentLayout()))
        layout->KeepLinesOf(block);
}

void InstallCellEditLayout(QTextDocument& text)
{
    if (dynamic_cast<CellEditLayout*>(text.documentLayout()) != nullptr)
        return;
    auto* layout = new CellEditLayout(&text);
    // The document lays itself out again with it.
    text.setDocumentLayout(layout);
}

} // namespace editor
