#include "document/character_breaks.h"

#include "document/hwp_mapping.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace editor {
namespace {

bool IsHangul(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0x1100 && u <= 0x11FF) || (u >= 0x3130 && u <= 0x318F);
}

bool IsLatinLetter(QChar c)
{
    return c.unicode() < 0x250 && c.isLetterOrNumber();
}

constexpr const char* kKeeperName = "varnel-character-lines";

// On the block laid out by character: its room, and how far its bottom margin was moved
// for it; on the block after it, how far its top margin was moved.
constexpr int kRoomForCharacterLinesProperty = QTextFormat::UserProperty + 58;
constexpr int kBottomMovedProperty = QTextFormat::UserProperty + 60;
constexpr int kTopMovedProperty = QTextFormat::UserProperty + 59;

class CharacterLinesKeeper : public QObject {
public:
    explicit CharacterLinesKeeper(QTextDocument& text) : QObject(&text), m_text(text)
    {
        setObjectName(QLatin1String(kKeeperName));
        Watch();
    }

    // The document's layout, which a pane may replace.
    void Watch()
    {
        QAbstractTextDocumentLayout* layout = m_text.documentLayout();
        if (layout == m_layout)
            return;
        disconnect(m_connection);
        m_layout = layout;
        m_connection = connect(layout, &QAbstractTextDocumentLayout::update, this, [this] { LayOut(); });
    }

    // Cells keep the engine's lines, as they print. The engine places the blocks below one
    // it has just laid out by its own lines, but moves a block it leaves alone by the lines
    // that block holds: once a block's lines are ours, the text below it is placed again
    // (after the layout has finished), so it follows them.
    void LayOut()
    {
        // Only the flow's own blocks: a table in it is passed over whole, however long.
        for (auto it = m_text.rootFrame()->begin(); !it.atEnd(); ++it) {
            const QTextBlock block = it.currentBlock();
            if (!block.isValid())
                continue;
            const std::optional<double> drop = LayOutByCharacter(block);
            if (!drop || std::abs(*drop) < 0.5 || !block.next().isValid())
                continue;
            m_below.push_back(block.next().position());
            if (!m_pending) {
                m_pending = true;
                QTimer::singleShot(0, this, [this] { PlaceBelow(); });
            }
        }
    }

private:
    void PlaceBelow()
    {
        m_pending = false;
        const std::vector<int> below = std::move(m_below);
        m_below.clear();
        for (const int position : below) {
            if (position < m_text.characterCount())
                m_text.markContentsDirty(position, 1);
        }
    }

    QTextDocument& m_text;
    QAbstractTextDocumentLayout* m_layout = nullptr;
    QMetaObject::Connection m_connection;
    std::vector<int> m_below; // positions of the blocks to place again
    bool m_pending = false;
};

struct EngineLine {
    QPointF position;
    double width = 0;
    double height = 0;
};

}  // namespace

LineBreakUnits LineBreakUnitsOf(const QTextBlockFormat& format)
{
    LineBreakUnits units;
    if (const std::optional<hwp::ParaShape> shape = ParaShapeOf(format)) {
        units.latinByCharacter = ((shape->otherProperties1 >> 5) & 3) == 2;
        units.hangulByCharacter = ((shape->otherProperties1 >> 7) & 1) != 0;
    }
    return units;
}

std::vector<bool> LineBreakOpportunities(const QString& text, LineBreakUnits units)
{
    const auto size = static_cast<int>(text.size());
    std::vector<bool> breaks(static_cast<std::size_t>(size) + 1, false);
    // The Unicode rules break between Hangul syllables as between ideographs.
    QTextBoundaryFinder finder(QTextBoundaryFinder::Line, text);
    for (qsizetype at = finder.toNextBoundary(); at > 0 && at < size; at = finder.toNextBoundary())
        breaks[static_cast<std::size_t>(at)] = true;
    for (int i = 1; i < size; ++i) {
        const QChar before = text.at(i - 1);
        const QChar after = text.at(i);
        const auto at = static_cast<std::size_t>(i);
        // By word, Korean breaks only after spaces, as the engine does.
        if (!units.hangulByCharacter && !before.isSpace() && (IsHangul(before) || IsHangul(after)))
            breaks[at] = false;
        if (units.latinByCharacter && IsLatinLetter(before) && IsLatinLetter(after))
            breaks[at] = true;
    }
    return breaks;
}

std::optional<double> LayOutByCharacter(const QTextBlock& block)
{
    // Lines laid out here keep the option they were filled with until the engine lays the
    // block out again with its own: the mark of lines already broken by character.
    QTextLayout* layout = block.layout();
    if (layout == nullptr || layout->lineCount() == 0 || layout->textOption().wrapMode() == QTextOption::WrapAnywhere)
        return std::nullopt;
    const LineBreakUnits units = LineBreakUnitsOf(block.blockFormat());
    if (!units.ByCharacter())
        return std::nullopt;
    std::vector<EngineLine> engine;
    std::vector<int> starts;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        engine.push_back({line.position(), line.width(), line.height()});
        starts.push_back(line.textStart());
    }
    const QTextLine last = layout->lineAt(layout->lineCount() - 1);
    const double engineEnd = last.y() + last.height();
    const double step = engine.size() > 1 ? engine.back().position.y() - engine[engine.size() - 2].position.y()
                                          : engine.back().height;
    const QString text = block.text();
    const auto length = static_cast<int>(text.size());
    const std::vector<bool> breaks = LineBreakOpportunities(text, units);
    // Filled anywhere first, then taken back to the last opportunity that fits.
    QTextOption anywhere = layout->textOption();
    anywhere.setWrapMode(QTextOption::WrapAnywhere);
    layout->setTextOption(anywhere);
    layout->beginLayout();
    double end = 0;
    bool same = true;
    for (std::size_t k = 0;; ++k) {
        QTextLine line = layout->createLine();
        if (!line.isValid())
            break;
        const EngineLine& like = engine[std::min(k, engine.size() - 1)];
        line.setLineWidth(like.width);
        const int start = line.textStart();
        const int filled = start + line.textLength();
        if (filled < length && !breaks[static_cast<std::size_t>(filled)]) {
            int at = filled - 1;
            while (at > start && !breaks[static_cast<std::size_t>(at)])
                --at;
            if (at > start)
                line.setNumColumns(at - start, like.width);
        }
        const double y = k < engine.size() ? like.position.y() : like.position.y() + step * double(k - engine.size() + 1);
        line.setPosition(QPointF(like.position.x(), y));
        end = y + line.height();
        same = same && k < starts.size() && starts[k] == start;
    }
    layout->endLayout();
    if (same && layout->lineCount() == static_cast<int>(starts.size()))
        return 0.0;
    return end - engineEnd;
}

double CharacterLinesRoomOf(const QTextBlockFormat& format)
{
    return format.doubleProperty(kRoomForCharacterLinesProperty);
}

void SetCharacterLinesRoom(QTextCursor& cursor, const QTextBlock& block, double room)
{
    QTextBlockFormat format = block.blockFormat();
    const double bottom = format.bottomMargin() - format.doubleProperty(kBottomMovedProperty);
    // Only a block right below in the same frame shares the margin; one that starts a page
    // takes its own top margin there, where a margin below 0 would lift it onto this one.
    const QTextBlock next = block.next();
    const QTextDocument* text = block.document();
    const bool shared = next.isValid() && text->frameAt(next.position()) == text->frameAt(block.position()) &&
                        (next.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) == 0;
    QTextBlockFormat below = shared ? next.blockFormat() : QTextBlockFormat();
    const double top = below.topMargin() - below.doubleProperty(kTopMovedProperty);
    // The space the two keep between them, moved by the room.
    const double space = (shared ? std::max(bottom, top) : bottom) + room;
    const double newBottom = room == 0.0 ? bottom : space;
    const double newTop = room == 0.0 ? top : std::min(top, space);
    const auto set = [](QTextBlockFormat& f, int property, double moved) {
        if (moved == 0.0)
            f.clearProperty(property);
        else
            f.setProperty(property, moved);
    };
    format.setBottomMargin(newBottom);
    set(format, kBottomMovedProperty, newBottom - bottom);
    set(format, kRoomForCharacterLinesProperty, room);
    cursor.setPosition(block.position());
    cursor.setBlockFormat(format);
    // The block below is left alone while what was moved of its top margin stays.
    if (!shared || std::abs(newTop - top - below.doubleProperty(kTopMovedProperty)) < 1e-6)
        return;
    below.setTopMargin(newTop);
    set(below, kTopMovedProperty, newTop - top);
    cursor.setPosition(next.position());
    cursor.setBlockFormat(below);
}

QTextBlockFormat WithoutCharacterLinesRoom(QTextBlockFormat format)
{
    format.setBottomMargin(format.bottomMargin() - format.doubleProperty(kBottomMovedProperty));
    format.setTopMargin(format.topMargin() - format.doubleProperty(kTopMovedProperty));
    for (const int property : {kRoomForCharacterLinesProperty, kBottomMovedProperty, kTopMovedProperty})
        format.clearProperty(property);
    return format;
}

void KeepLinesBrokenByCharacter(QTextDocument& text)
{
    auto* keeper = text.findChild<CharacterLinesKeeper*>(QLatin1String(kKeeperName), Qt::FindDirectChildrenOnly);
    if (keeper == nullptr)
        keeper = new CharacterLinesKeeper(text);
    keeper->Watch();
    keeper->LayOut();
}

}  // namespace editor
