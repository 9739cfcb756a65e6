#include "document/paragraph_heads.h"
#include "document/folded_edit.h"

#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "document/table_mapping.h"
#include "hwp/error.h"
#include "hwp/picture.h"
#include "hwp/section.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>

namespace editor {

namespace {

bool Near(double a, double b)
{
    return std::abs(a - b) < 0.01;
}

// Lays out `layout` (made with its text, its format's font and the paint device that
// font is for) on one line, as the document's layout would.
void LayOutLine(QTextLayout& layout, const QTextCharFormat& format, bool designMetrics)
{
    const QString text = layout.text();
    QTextOption option;
    option.setUseDesignMetrics(designMetrics);
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.setFormats({QTextLayout::FormatRange{0, static_cast<int>(text.size()), format}});
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
}

// Layout pixels of a char format's size.
double PixelSize(const QTextCharFormat& format)
{
    const double points = format.fontPointSize() > 0 ? format.fontPointSize() : 10.0;
    return points * kLayoutDpi / 72.0;
}

// The char format a paragraph's text starts in.
QTextCharFormat OwnFormat(const QTextBlock& block)
{
    const QTextBlock::iterator first = block.begin();
    if (first.atEnd())
        return block.charFormat();
    return WithoutKeptObject(first.fragment().charFormat());
}

QImage DecodePicture(const hwp::Document& source, std::int32_t binItemId)
{
    if (binItemId <= 0 || static_cast<std::size_t>(binItemId) > source.binData.size())
        return {};
    try {
        const std::string bytes = hwp::BinDataBytes(source.binData[static_cast<std::size_t>(binItemId) - 1]);
        QImage image = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<int>(bytes.size()));
        if (static_cast<std::uint64_t>(image.width()) * image.height() > hwp::kMaxPicturePixels)
            return {};
        return image;
    } catch (const std::exception&) {
        return {};
    }
}

// Counts the numbered paragraphs of a document in its order: per numbering definition
// (of a source document), each level counts on from its last number, and a paragraph at
// one level starts the levels below it again.
class HeadCounter {
public:
    explicit HeadCounter(HeadSourceRef origin) : m_origin(std::move(origin))
    {
        // Heads are measured where the printed page lays out: 96 dpi, design metrics.
        m_device.setDotsPerMeterX(3780);
        m_device.setDotsPerMeterY(3780);
    }

    // A section starts at this block when its first character says so.
    void EnterSection(const QTextBlock& block)
    {
        const QTextBlock::iterator first = block.begin();
        if (first.atEnd())
            return;
        if (const KeptSectionRef section = SectionStartOf(first.fragment().charFormat()))
            m_outlineIds[section->origin.get()] = hwp::OutlineNumberingId(section->section);
    }

    std::unique_ptr<ParagraphHead> HeadOf(const QTextBlock& block);

private:
    struct Counts {
        std::array<std::uint32_t, hwp::kNumberingLevels> values{};
        std::array<bool, hwp::kNumberingLevels> started{};
    };
    using Key = std::tuple<const hwp::Document*, bool, std::uint16_t>;   // source, outline, id

    std::uint16_t OutlineId(const hwp::Document& source)
    {
        const auto found = m_outlineIds.find(&source);
        if (found != m_outlineIds.end())
            return found->second;
        const std::uint16_t id = source.sections.empty() ? 0 : hwp::OutlineNumberingId(source.sections.front());
        return m_outlineIds[&source] = id;
    }
    const hwp::Numbering* NumberingOf(const hwp::Document& source, std::uint16_t id);
    const hwp::Bullet* BulletOf(const hwp::Document& source, std::uint16_t id);
    // The head text of the next paragraph at `level` of that numbering.
    QString Count(const Key& key, const hwp::Numbering& numbering, std::size_t level);
    void Measure(ParagraphHead& head, const hwp::ParaHeadInfo& info);

    HeadSourceRef m_origin;
    std::map<const hwp::Document*, std::uint16_t> m_outlineIds;
    std::map<Key, Counts> m_counts;
    std::map<Key, std::optional<hwp::Numbering>> m_numberings;
    std::map<Key, std::optional<hwp::Bullet>> m_bullets;
    QImage m_device{1, 1, QImage::Format_RGB32};
};

const hwp::Numbering* HeadCounter::NumberingOf(const hwp::Document& source, std::uint16_t id)
{
    const Key key{&source, false, id};
    auto found = m_numberings.find(key);
    if (found == m_numberings.end()) {
        std::optional<hwp::Numbering> numbering;
        if (id >= 1 && id <= source.numberings.size()) {
            try {
                numbering = hwp::ReadNumbering(source.numberings[id - 1u]);
            } catch (const hwp::HwpError&) {
            }
        }
        found = m_numberings.emplace(key, std::move(numbering)).first;
    }
    return found->second ? &*found->second : nullptr;
}

const hwp::Bullet* HeadCounter::BulletOf(const hwp::Document& source, std::uint16_t id)
{
    const Key key{&source, false, id};
    auto found = m_bullets.find(key);
    if (found == m_bullets.end()) {
        std::optional<hwp::Bullet> bullet;
        if (id >= 1 && id <= source.bullets.size()) {
            try {
                bullet = hwp::ReadBullet(source.bullets[id - 1u]);
            } catch (const hwp::HwpError&) {
            }
        }
        found = m_bullets.emplace(key, std::move(bullet)).first;
    }
    return found->second ? &*found->second : nullptr;
}

QString HeadCounter::Count(const Key& key, const hwp::Numbering& numbering, std::size_t level)
{
    Counts& counts = m_counts[key];
    counts.values[level] = counts.started[level] ? counts.values[level] + 1 : numbering.StartOf(level);
    counts.started[level] = true;
    for (std::size_t below = level + 1; below < hwp::kNumberingLevels; ++below)
        counts.started[below] = false;
    // Levels above that have not counted yet show their first number.
    std::array<std::uint32_t, hwp::kNumberingLevels> shown{};
    for (std::size_t i = 0; i < hwp::kNumberingLevels; ++i)
        shown[i] = counts.started[i] ? counts.values[i] : numbering.StartOf(i);
    return QString::fromStdU16String(hwp::NumberingText(numbering, level, shown));
}

std::unique_ptr<ParagraphHead> HeadCounter::HeadOf(const QTextBlock& block)
{
    const QTextBlockFormat format = block.blockFormat();
    if (format.boolProperty(kContinuesParagraphProperty))
        return nullptr;
    const std::optional<hwp::ParaShape> shape = ParaShapeOf(format);
    if (!shape || shape->headKind == hwp::HeadKind::None)
        return nullptr;
    HeadSourceRef source = format.property(kHeadSourceProperty).value<HeadSourceRef>();
    if (!source)
        source = m_origin;
    if (!source)
        return nullptr;

    auto head = std::make_unique<ParagraphHead>();
    const hwp::ParaHeadInfo* info = nullptr;
    if (shape->headKind == hwp::HeadKind::Bullet) {
        const hwp::Bullet* bullet = BulletOf(*source, shape->numberingId);
        if (bullet == nullptr)
            return nullptr;
        info = &bullet->head;
        head->text = QString(QChar(hwp::PrintedBulletCharacter(bullet->character)));
        if (bullet->hasPicture)
            head->picture = DecodePicture(*source, bullet->picture.binItemId);
    } else {
        const bool outline = shape->headKind == hwp::HeadKind::Outline;
        const std::uint16_t id = outline ? OutlineId(*source) : shape->numberingId;
        const hwp::Numbering* numbering = NumberingOf(*source, id);
        if (numbering == nullptr)
            return nullptr;
        const std::size_t level = std::min<std::size_t>(shape->headLevel, hwp::kNumberingLevels - 1);
        info = &numbering->levels[level].head;
        head->text = Count(Key{source.get(), outline, id}, *numbering, level);
    }
    if (head->text.isEmpty() && head->picture.isNull())
        return nullptr;
    head->format = OwnFormat(block);
    if (info->charShapeId != hwp::kOwnCharShape && info->charShapeId < source->charShapes.size())
        head->format = CharFormatOf(*source, info->charShapeId);
    Measure(*head, *info);
    return head;
}

void HeadCounter::Measure(ParagraphHead& head, const hwp::ParaHeadInfo& info)
{
    const double size = PixelSize(head.format);
    if (!head.picture.isNull()) {
        head.textWidth = size;
    } else {
        QTextLayout layout(head.text, head.format.font(), &m_device);
        LayOutLine(layout, head.format, true);
        head.textWidth = layout.lineAt(0).naturalTextWidth();
    }
    head.width = std::max(0.0, head.textWidth + HwpUnitsToLayout(info.widthAdjust));
    head.gap = info.OffsetIsLength() ? HwpUnitsToLayout(info.textOffset) : info.textOffset / 100.0 * size;
    head.alignment = info.Alignment();
    head.autoIndent = info.AutoIndent();
}

} // namespace

double LayoutScale(const QTextDocument& text)
{
    const QPaintDevice* device = text.documentLayout()->paintDevice();
    return device != nullptr ? device->logicalDpiX() / kLayoutDpi : 1.0;
}

QTextBlockFormat WithoutHeadRoom(QTextBlockFormat format)
{
    if (format.hasProperty(kHeadMarginProperty) || format.hasProperty(kHeadIndentProperty)) {
        format.setLeftMargin(format.leftMargin() - format.doubleProperty(kHeadMarginProperty));
        format.setTextIndent(format.textIndent() - format.doubleProperty(kHeadIndentProperty));
        format.clearProperty(kHeadMarginProperty);
        format.clearProperty(kHeadIndentProperty);
    }
    return format;
}

ParagraphHeads::ParagraphHeads(const QTextDocument& text, HeadSourceRef origin)
{
    HeadCounter counter(std::move(origin));
    bool any = false;
    std::vector<std::unique_ptr<ParagraphHead>> heads(static_cast<std::size_t>(text.blockCount()));
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        counter.EnterSection(block);
        auto head = counter.HeadOf(block);
        any = any || head;
        if (block.blockNumber() < static_cast<int>(heads.size()))
            heads[static_cast<std::size_t>(block.blockNumber())] = std::move(head);
    }
    if (any)
        m_heads = std::move(heads);
}

const ParagraphHead* ParagraphHeads::Of(const QTextBlock& block) const
{
    const int number = block.blockNumber();
    if (number < 0 || number >= static_cast<int>(m_heads.size()))
        return nullptr;
    return m_heads[static_cast<std::size_t>(number)].get();
}

void ParagraphHeads::KeepBlocks(int first, int count)
{
    const auto size = static_cast<int>(m_heads.size());
    first = std::clamp(first, 0, size);
    count = std::clamp(count, 0, size - first);
    m_heads.erase(m_heads.begin() + first + count, m_heads.end());
    m_heads.erase(m_heads.begin(), m_heads.begin() + first);
}

bool ParagraphHeads::FitRooms(QTextDocument& text, double scale) const
{
    FoldedEdit edit(text);
    if (edit.Blocked())
        return false;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        const QTextBlockFormat plain = WithoutHeadRoom(format);
        double margin = 0;
        double indent = 0;
        if (const ParagraphHead* head = Of(block)) {
            const double room = (head->width + head->gap) * scale;
            // Later lines either keep the para shape's start or line up after the head.
            margin = head->autoIndent ? plain.textIndent() + room : 0.0;
            indent = head->autoIndent ? -plain.textIndent() : room;
        }
        if (Near(margin, format.doubleProperty(kHeadMarginProperty)) &&
            Near(indent, format.doubleProperty(kHeadIndentProperty)))
            continue;
        QTextBlockFormat fitted = plain;
        if (margin != 0 || indent != 0) {
            fitted.setLeftMargin(plain.leftMargin() + margin);
            fitted.setTextIndent(plain.textIndent() + indent);
            fitted.setProperty(kHeadMarginProperty, margin);
            fitted.setProperty(kHeadIndentProperty, indent);
        }
        QTextCursor& cursor = edit.Cursor();
        cursor.setPosition(block.position());
        cursor.setBlockFormat(fitted);
    }
    return edit.Begun();
}

void ParagraphHeads::Paint(QPainter& painter, const QTextDocument& text, const QRectF& area,
                           const std::function<QPointF(const QTextBlock&)>& origin) const
{
    if (Empty())
        return;
    QPaintDevice* device = text.documentLayout()->paintDevice();
    const double scale = LayoutScale(text);
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        const ParagraphHead* head = Of(block);
        const QTextLayout* lines = block.layout();
        if (head == nullptr || !block.isVisible() || lines == nullptr || lines->lineCount() == 0)
            continue;
        const QTextLine first = lines->lineAt(0);
        const QPointF at = origin(block);
        const double top = at.y() + first.y();
        if (top > area.bottom() || top + first.height() < area.top())
            continue;
        const double baseline = top + first.ascent();
        const double boxLeft = at.x() + first.cursorToX(first.textStart()) - (head->width + head->gap) * scale;
        QTextLayout layout(head->text, head->format.font(), device);
        double width = head->textWidth * scale;
        if (head->picture.isNull()) {
            LayOutLine(layout, head->format, text.useDesignMetrics());
            width = layout.lineAt(0).naturalTextWidth();
        }
        const double room = head->width * scale - width;
        const double x = boxLeft + (head->alignment == hwp::HeadAlignment::Right    ? room
                                    : head->alignment == hwp::HeadAlignment::Center ? room / 2
                                                                                    : 0.0);
        if (head->picture.isNull()) {
            layout.draw(&painter, QPointF(x, baseline - layout.lineAt(0).ascent()));
        } else {
            // A picture bullet stands on the baseline as tall as the char size.
            painter.drawImage(QRectF(x, baseline - width * 0.85, width, width), head->picture);
        }
    }
}

namespace {

constexpr char kKeeperName[] = "varnel-paragraph-heads";

class HeadKeeper : public QObject {
public:
    HeadKeeper(QTextDocument& text, HeadSourceRef origin)
        : QObject(&text), m_text(text), m_origin(std::move(origin)), m_heads(text, m_origin)
    {
        setObjectName(QLatin1String(kKeeperName));
        connect(&text, &QTextDocument::contentsChange, this, [this](int from, int, int added) {
            if (!m_fitting && !LeavesHeads(from, added))
                Schedule();
        });
    }

    void Count()
    {
        m_counted = m_text.blockCount();
        m_heads = ParagraphHeads(m_text, m_origin);
        m_fitting = true;
        m_heads.FitRooms(m_text, LayoutScale(m_text));
        m_fitting = false;
        if (counted)
            counted();
    }

    const ParagraphHeads& Heads() const { return m_heads; }
    std::function<void()> counted;

private:
    // Whether a change of the text, now [from, from + added), leaves every head as it was
    // counted: it stays inside one paragraph, past its first character (a head takes that
    // character's format), and no paragraph came or went. A change of a paragraph's format
    // starts at the paragraph.
    bool LeavesHeads(int from, int added) const
    {
        if (m_text.blockCount() != m_counted)
            return false;
        const QTextBlock block = m_text.findBlock(from);
        return block.isValid() && from > block.position() &&
               from + added < block.position() + block.length();
    }

    // After the change: the document's layout hears of it after this signal.
    void Schedule()
    {
        if (m_pending)
            return;
        m_pending = true;
        QTimer::singleShot(0, this, [this] {
            m_pending = false;
            Count();
        });
    }

    QTextDocument& m_text;
    HeadSourceRef m_origin;
    ParagraphHeads m_heads;
    bool m_pending = false;
    bool m_fitting = false;
    int m_counted = -1;   // paragraphs when last counted
};

HeadKeeper* KeeperOf(const QTextDocument& text)
{
    return text.findChild<HeadKeeper*>(QLatin1String(kKeeperName), Qt::FindDirectChildrenOnly);
}

} // namespace

void KeepParagraphHeads(QTextDocument& text, HeadSourceRef origin, std::function<void()> counted)
{
    HeadKeeper* keeper = KeeperOf(text);
    if (keeper == nullptr)
        keeper = new HeadKeeper(text, std::move(origin));
    keeper->counted = std::move(counted);
    keeper->Count();
}

void RecountParagraphHeads(QTextDocument& text)
{
    if (HeadKeeper* keeper = KeeperOf(text))
        keeper->Count();
}

const ParagraphHeads* KeptParagraphHeads(const QTextDocument& text)
{
    const HeadKeeper* keeper = KeeperOf(text);
    return keeper != nullptr ? &keeper->Heads() : nullptr;
}

} // namespace editor
