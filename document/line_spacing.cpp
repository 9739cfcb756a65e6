#include "document/line_spacing.h"

#include "document/folded_edit.h"
#include "document/hwp_mapping.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextObjectInterface>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace editor {

namespace {

bool Near(double a, double b)
{
    return std::abs(a - b) < 1e-6;
}


// The size the object handler gives an object's fragment of `block`; none without a
// handler. The handlers' sizes ask for the document but leave it as it is.
std::optional<QSizeF> ObjectSize(const QTextBlock& block, const QTextFragment& fragment)
{
    auto* text = const_cast<QTextDocument*>(block.document());
    const QTextCharFormat format = fragment.charFormat();
    QTextObjectInterface* handler = text->documentLayout()->handlerForObject(format.objectType());
    if (handler == nullptr)
        return std::nullopt;
    return handler->intrinsicSize(text, fragment.position(), format);
}

// The height of a line of nothing but objects that take no width (marks, objects drawn
// where the file places them): the highest of them, as the text engine lays it out. None
// when the block holds anything else.
std::optional<double> MarksLineHeight(const QTextBlock& block)
{
    double height = 0;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid())
            continue;
        const QString chars = fragment.text();
        if (chars.count(QChar::ObjectReplacementCharacter) != chars.size())
            return std::nullopt;
        const std::optional<QSizeF> size = ObjectSize(block, fragment);
        if (!size || size->width() > 0)
            return std::nullopt;
        height = std::max(height, size->height());
    }
    return height;
}

// The height the text engine gives a line of all the block's faces, before spacing.
double EngineLineHeight(const QTextBlock& block, const QPaintDevice& device)
{
    // Laid out alone, the text engine would shape the objects' characters as text.
    if (block.length() > 1) {
        if (const std::optional<double> marks = MarksLineHeight(block))
            return *marks;
    }
    // An empty block is as high as its own char format's face, as the text engine lays it.
    const QFont defaultFont = block.document()->defaultFont();
    const QFont face = block.length() > 1 ? defaultFont : block.charFormat().font().resolve(defaultFont);
    QTextLayout layout(block.text(), face, const_cast<QPaintDevice*>(&device));
    LayOutAsOneLine(layout, block);
    return layout.lineAt(0).height();
}

constexpr char kKeeperName[] = "varnel-line-spacing";

class SpacingKeeper : public QObject {
public:
    explicit SpacingKeeper(QTextDocument& text) : QObject(&text), m_text(text), m_device(1, 1, QImage::Format_RGB32)
    {
        setObjectName(QLatin1String(kKeeperName));
        // 96 dpi exactly, as the printed page's layout.
        m_device.setDotsPerMeterX(3780);
        m_device.setDotsPerMeterY(3780);
        connect(&text, &QTextDocument::contentsChange, this, [this](int position, int, int added) {
            if (m_spacing)
                return;
            m_from = std::min(m_from, position);
            m_to = std::max(m_to, position + added);
            if (!m_pending) {
                m_pending = true;
                QTimer::singleShot(0, this, [this] { SpacePending(); });
            }
        });
    }

    void SpacePending()
    {
        if (m_to >= 0)
            Space(m_from, m_to);
    }

    void Space(int from, int to)
    {
        m_pending = false;
        m_from = std::numeric_limits<int>::max();
        m_to = -1;
        // Its own changes ask for no other pass: the edit ends before the flag goes down.
        m_spacing = true;
        {
            FoldedEdit edit(m_text);
            // A change now would cost the steps to redo; the next edit spaces the blocks again.
            const QTextBlock first = edit.Blocked() ? QTextBlock() : m_text.findBlock(std::max(0, from));
            for (QTextBlock block = first; block.isValid() && block.position() <= to; block = block.next()) {
                const std::optional<double> height = CharSizeLineHeight(block, m_device);
                if (height && !Near(*height, block.blockFormat().lineHeight()))
                    SpaceBlockByCharSize(edit.Cursor(), block, m_device);
            }
        }
        m_spacing = false;
    }

private:
    QTextDocument& m_text;
    QImage m_device;
    int m_from = std::numeric_limits<int>::max();
    int m_to = -1;
    bool m_pending = false;
    bool m_spacing = false;
};

} // namespace

void LayOutAsOneLine(QTextLayout& layout, const QTextBlock& block)
{
    QList<QTextLayout::FormatRange> formats;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (fragment.isValid())
            formats.append({fragment.position() - block.position(), fragment.length(), fragment.charFormat()});
    }
    layout.setFormats(formats);
    QTextOption option = block.document()->defaultTextOption();
    option.setUseDesignMetrics(block.document()->useDesignMetrics());
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
}

bool HoldsWideObjects(const QTextBlock& block)
{
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid() || !fragment.text().contains(QChar::ObjectReplacementCharacter))
            continue;
        const std::optional<QSizeF> size = ObjectSize(block, fragment);
        if (!size || size->width() > 0)
            return true;
    }
    return false;
}

std::optional<double> CharSizeLineHeight(const QTextBlock& block, const QPaintDevice& device)
{
    const QTextBlockFormat format = block.blockFormat();
    const std::optional<hwp::ParaShape> shape = ParaShapeOf(format);
    if (format.lineHeightType() != QTextBlockFormat::ProportionalHeight || !shape ||
        shape->lineSpacingKind != hwp::LineSpacingKind::Percent ||
        !Near(WithoutCharSizeSpacing(format).lineHeight(), ProportionalHeightOf(shape->lineSpacing)) ||
        HoldsWideObjects(block))
        return std::nullopt;
    const QTextDocument* text = block.document();
    double size = 0;   // the largest char size in the block, layout pixels
    const auto measure = [&](const QTextCharFormat& chars) {
        const QFont font = chars.font().resolve(text->defaultFont());
        size = std::max(size, font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * device.logicalDpiY() / 72.0);
    };
    measure(block.charFormat());
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        if (it.fragment().isValid())
            measure(it.fragment().charFormat());
    }
    // Measured as the engine will measure the lines: a percent of a face's height off by
    // a little is a line off in a column of forty.
    const double height = EngineLineHeight(block, device);
    if (size <= 0 || height <= 0)
        return std::nullopt;
    return std::clamp(shape->lineSpacing * size / height, 10.0, 4000.0);
}

bool SpaceBlockByCharSize(QTextCursor& cursor, const QTextBlock& block, const QPaintDevice& device)
{
    const std::optional<double> height = CharSizeLineHeight(block, device);
    QTextBlockFormat format = block.blockFormat();
    if (!height || Near(*height, format.lineHeight()))
        return false;
    format.setProperty(kSpacedFromProperty, WithoutCharSizeSpacing(format).lineHeight());
    format.setProperty(kSpacedToProperty, *height);
    format.setLineHeight(*height, QTextBlockFormat::ProportionalHeight);
    cursor.setPosition(block.position());
    cursor.setBlockFormat(format);
    return true;
}

QTextBlockFormat WithoutCharSizeSpacing(QTextBlockFormat format)
{
    if (!format.hasProperty(kSpacedFromProperty))
        return format;
    if (format.lineHeightType() == QTextBlockFormat::ProportionalHeight &&
        Near(format.lineHeight(), format.doubleProperty(kSpacedToProperty)))
        format.setLineHeight(format.doubleProperty(kSpacedFromProperty), QTextBlockFormat::ProportionalHeight);
    format.clearProperty(kSpacedFromProperty);
    format.clearProperty(kSpacedToProperty);
    return format;
}

void KeepLinesSpaced(QTextDocument& text)
{
    auto* keeper = text.findChild<SpacingKeeper*>(QLatin1String(kKeeperName), Qt::FindDirectChildrenOnly);
    if (keeper == nullptr)
        keeper = new SpacingKeeper(text);
    keeper->Space(0, text.characterCount());
}

void SpaceChangedLines(QTextDocument& text)
{
    if (auto* keeper = text.findChild<SpacingKeeper*>(QLatin1String(kKeeperName), Qt::FindDirectChildrenOnly))
        keeper->SpacePending();
}

} // namespace editor
