#include "document/character_breaks.h"

#include "document/hwp_mapping.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextBoundaryFinder>
#include <QTextDocument>
#include <QTextLayout>

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

    // Cells keep the engine's lines, as they print.
    void LayOut()
    {
        for (QTextBlock block = m_text.begin(); block.isValid(); block = block.next()) {
            if (m_text.frameAt(block.position()) == m_text.rootFrame())
                LayOutByCharacter(block);
        }
    }

private:
    QTextDocument& m_text;
    QAbstractTextDocumentLayout* m_layout = nullptr;
    QMetaObject::Connection m_connection;
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
        return std::nullopt;
    return end - engineEnd;
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
