#include "page/object_painters.h"

#include "page/control_painters.h"
#include "page/fill_painter.h"
#include "page/inline_painters.h"
#include "page/line_ends.h"
#include "page/stored_breaks.h"
#include "document/editor_document.h"
#include "document/hwp_mapping.h"
#include "document/kept_objects.h"
#include "document/table_mapping.h"
#include "hwp/border_fill.h"
#include "hwp/bytes.h"
#include "hwp/equation.h"
#include "hwp/object_properties.h"
#include "hwp/paragraph_list.h"
#include "hwp/picture.h"
#include "hwp/records.h"
#include "hwp/shape.h"
#include "hwp/table.h"
#include "math/layout.h"
#include "math/paint.h"
#include "math/qt_font.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace editor {

namespace {


// A few documents' worth of objects; past that the oldest entries go. Images count by
// their decoded bytes (each decoded no larger than it is painted), so a document of
// forty 2 MB photographs printed whole keeps a few pages' worth, not all of them.
constexpr std::size_t kMaxCachedImageBytes = 64u << 20;
constexpr std::size_t kMaxCachedEquations = 512;
constexpr std::size_t kMaxCachedTables = 128;
// A table read from a damaged file may claim any number of rows; no more are drawn.
constexpr std::size_t kMaxDrawnCells = 20000;
// No table is taller than two B4 sheets (layout pixels), as the default box.
constexpr double kMaxTableLayout = 2 * 103180 * 96.0 / 7200;

// Fonts need a GUI application. Without one (a tool reading a document before it paints)
// objects measure as the file records them, without laying out their text.
bool CanUseFonts()
{
    return QGuiApplication::instance() != nullptr;
}

// Painter units per HwpUnit, for a painter whose units are `scale` layout pixels.
double UnitsToPainter(double scale)
{
    return HwpUnitsToLayout(1.0) * scale;
}

// The painter's units per device pixel, so hairlines stay one pixel wide at any zoom.
double DevicePixel(const QPainter& painter)
{
    const QTransform& t = painter.transform();
    const double factor = std::hypot(t.m11(), t.m12());
    return factor > 0 ? 1.0 / factor : 1.0;
}

// A small least-recently-used map guarded by one mutex; values are shared so an entry
// dropped while another thread paints it stays alive until that paint ends.
template <typename Key, typename Value>
class SharedCache {
public:
    explicit SharedCache(std::size_t capacity) : m_capacity(capacity) {}

    std::shared_ptr<Value> Find(const Key& key)
    {
        const std::lock_guard lock(m_mutex);
        const auto found = m_entries.find(key);
        if (found == m_entries.end())
            return nullptr;
        m_order.splice(m_order.begin(), m_order, found->second.place);
        return found->second.value;
    }

    // `cost` counts against the capacity (1 for an entry of ordinary size).
    void Put(const Key& key, std::shared_ptr<Value> value, std::size_t cost = 1)
    {
        const std::lock_guard lock(m_mutex);
        if (const auto found = m_entries.find(key); found != m_entries.end()) {
            m_used -= found->second.cost;
            m_order.erase(found->second.place);
            m_entries.erase(found);
        }
        m_order.push_front(key);
        m_entries.emplace(key, Entry{std::move(value), m_order.begin(), cost});
        m_used += cost;
        // The newest entry stays even when it alone is over the capacity.
        while (m_used > m_capacity && m_entries.size() > 1) {
            const auto oldest = m_entries.find(m_order.back());
            m_used -= oldest->second.cost;
            m_entries.erase(oldest);
            m_order.pop_back();
        }
    }

    // Drops the entries whose value `stale` says is of no more use.
    template <typename Stale>
    void DropIf(Stale stale)
    {
        const std::lock_guard lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (!stale(*it->second.value)) {
                ++it;
                continue;
            }
            m_used -= it->second.cost;
            m_order.erase(it->second.place);
            it = m_entries.erase(it);
        }
    }

private:
    std::mutex m_mutex;
    struct Entry {
        std::shared_ptr<Value> value;
        typename std::list<Key>::iterator place;
        std::size_t cost = 1;
    };
    std::size_t m_capacity;
    std::size_t m_used = 0;
    std::list<Key> m_order;
    std::map<Key, Entry> m_entries;
};

// --- pictures --------------------------------------------------------------------------

// Decoded images by the document that holds their bytes, the item, the effect and the
// pixels the picture is painted at: a picture is decoded no larger than it is shown.
struct ImageKey {
    const hwp::Document* document = nullptr;
    std::uint16_t binItemId = 0;
    std::uint8_t effect = 0;
    int paintedWidth = 0;
    int paintedHeight = 0;
    auto operator<=>(const ImageKey&) const = default;
};

struct DecodedImage {
    std::weak_ptr<const hwp::Document> document;   // an entry outliving its document is stale
    QImage image;                                  // null: the bytes do not decode
    QSize natural;                                 // the image's own size, which crops count in
};

SharedCache<ImageKey, const DecodedImage>& ImageCache()
{
    static auto* cache = new SharedCache<ImageKey, const DecodedImage>(kMaxCachedImageBytes);
    return *cache;
}

// The part of the image the crop keeps, in pixels of an image of `natural` size: the crop
// is in HwpUnit of the image at 96 dpi (75 per pixel). A crop that keeps nothing shows
// the whole image.
QRectF CropRect(const hwp::PictureCrop& crop, QSize natural)
{
    const QRectF whole(QPointF(0, 0), QSizeF(natural));
    const QRectF kept = QRectF(QPointF(crop.left / 75.0, crop.top / 75.0), QPointF(crop.right / 75.0, crop.bottom / 75.0))
                            .normalized()
                            .intersected(whole);
    return kept.width() >= 1 && kept.height() >= 1 ? kept : whole;
}

// The image decoded at most at the size that shows its kept part over `painted` pixels.
DecodedImage Decode(const hwp::BinDataItem& item, std::uint8_t effect, QSize painted, const hwp::PictureCrop& crop)
{
    DecodedImage decoded;
    QByteArray bytes;
    try {
        const std::string inflated = hwp::BinDataBytes(item);
        bytes = QByteArray(inflated.data(), static_cast<qsizetype>(inflated.size()));
    } catch (const std::exception&) {
        return decoded;
    }
    // The header says the size before anything is allocated for the pixels.
    try {
        const hwp::ImageInfo info = hwp::ReadImageInfo(std::string_view(bytes.constData(), bytes.size()));
        if (static_cast<std::uint64_t>(info.width) * info.height > hwp::kMaxPicturePixels)
            return decoded;
    } catch (const std::exception&) {
        // Not a kind the checker knows; the decoder may still read it.
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize natural = reader.size();
    if (natural.isValid() && !painted.isEmpty()) {
        const QRectF kept = CropRect(crop, natural);
        const QSize wanted(static_cast<int>(std::ceil(painted.width() * natural.width() / kept.width())),
                           static_cast<int>(std::ceil(painted.height() * natural.height() / kept.height())));
        if (wanted.width() < natural.width() && wanted.height() < natural.height())
            reader.setScaledSize(wanted);
    }
    QImage image = reader.read();
    if (image.isNull() || static_cast<std::uint64_t>(image.width()) * image.height() > hwp::kMaxPicturePixels)
        return decoded;
    if (effect == 1)
        image = image.convertToFormat(QImage::Format_Grayscale8);
    else if (effect == 2)
        image = image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    decoded.natural = natural.isValid() ? natural : image.size();
    decoded.image = std::move(image);
    return decoded;
}

std::shared_ptr<const DecodedImage> ImageFor(const std::shared_ptr<const hwp::Document>& document,
                                             const hwp::BinDataItem& item, const hwp::Picture& picture, QSize painted)
{
    const ImageKey key{document.get(), picture.binItemId, picture.effect, painted.width(), painted.height()};
    SharedCache<ImageKey, const DecodedImage>& cache = ImageCache();
    if (auto found = cache.Find(key); found && found->document.lock() == document)
        return found;
    // Images of documents that are gone would otherwise hold their memory until newer
    // images push them out.
    cache.DropIf([](const DecodedImage& entry) { return entry.document.expired(); });
    auto decoded = std::make_shared<DecodedImage>(Decode(item, picture.effect, painted, picture.crop));
    decoded->document = document;
    cache.Put(key, decoded, std::max<std::size_t>(1, static_cast<std::size_t>(decoded->image.sizeInBytes())));
    return decoded;
}

FillImageSource FillImagesOf(const std::shared_ptr<const hwp::Document>& document)
{
    if (!document)
        return {};
    return [document](const hwp::ImageFill& fill, QSize pixels) {
        hwp::Picture picture;
        picture.binItemId = fill.binItemId;
        picture.effect = fill.effect;
        const hwp::BinDataItem* item = hwp::PictureBinData(*document, picture);
        if (item == nullptr || !hwp::LinkedFileName(*item).empty())
            return QImage();
        return ImageFor(document, *item, picture, pixels)->image;
    };
}

// The device pixels `rect` covers; on a PDF page (whose units are far finer than any
// printer's dots) those of a 300-dpi print.
QSize PaintedPixels(const QPainter& painter, const QRectF& rect)
{
    constexpr double kPdfPictureDpi = 300;
    QSizeF size = painter.deviceTransform().mapRect(rect).size();
    const QPaintDevice* device = painter.device();
    if (device != nullptr && painter.paintEngine() != nullptr && painter.paintEngine()->type() == QPaintEngine::Pdf &&
        device->logicalDpiX() > kPdfPictureDpi)
        size *= kPdfPictureDpi / device->logicalDpiX();
    return QSize(std::max(1, static_cast<int>(std::ceil(size.width()))), std::max(1, static_cast<int>(std::ceil(size.height()))));
}

class PicturePainter : public KeptObjectPainter {
public:
    QSizeF Size(const KeptObject& object) const override { return KeptObjectBoxSize(object); }

    void Paint(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const override
    {
        std::optional<hwp::Picture> picture;
        if (hwp::IsPicture(object.control)) {
            try {
                picture = hwp::ReadPicture(object.control);
            } catch (const std::exception&) {
            }
        }
        if (!picture || !object.origin) {
            PaintKeptObjectBox(painter, rect, scale, object);
            return;
        }
        const hwp::BinDataItem* item = hwp::PictureBinData(*object.origin, *picture);
        if (item == nullptr) {
            PaintKeptObjectBox(painter, rect, scale, object);
            return;
        }
        const std::u16string linked = hwp::LinkedFileName(*item);
        if (!linked.empty()) {
            PaintKeptObjectBox(painter, rect, scale, QString::fromStdU16String(linked));
            return;
        }
        const std::shared_ptr<const DecodedImage> decoded =
            ImageFor(object.origin, *item, *picture, PaintedPixels(painter, rect));
        if (decoded->image.isNull()) {
            PaintKeptObjectBox(painter, rect, scale, object);
            return;
        }
        // The crop counts in the image's own pixels; the decoded image may be smaller.
        const QRectF kept = CropRect(picture->crop, decoded->natural);
        const double across = double(decoded->image.width()) / decoded->natural.width();
        const double down = double(decoded->image.height()) / decoded->natural.height();
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect, decoded->image,
                          QRectF(kept.x() * across, kept.y() * down, kept.width() * across, kept.height() * down));
        painter.restore();
    }
};

// --- grouped drawing objects -----------------------------------------------------------

constexpr std::uint32_t kContainerComponentId = 0x24636F6E;   // '$','c','o','n'
// A group of a damaged file may claim any number of members; no more are drawn.
constexpr std::size_t kMaxGroupMembers = 4096;

double DoubleAt(const hwp::Bytes& data, std::size_t at)
{
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | data[at + static_cast<std::size_t>(i)];
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return std::isfinite(value) ? value : 0.0;
}

// A 2 x 3 matrix of a shape component: x' = a x + b y + c, y' = d x + e y + f.
QTransform MatrixAt(const hwp::Bytes& data, std::size_t at)
{
    return QTransform(DoubleAt(data, at), DoubleAt(data, at + 24), DoubleAt(data, at + 8), DoubleAt(data, at + 32),
                      DoubleAt(data, at + 16), DoubleAt(data, at + 40));
}

bool IsGroup(const hwp::Control& control)
{
    if (control.ctrlId != hwp::kDrawingCtrlId)
        return false;
    for (const hwp::ObjectRecord& record : control.records) {
        if (record.level == 1 && record.tag == hwp::tag::kShapeComponent)
            return record.data.size() >= 4 && hwp::LittleEndianAt(record.data, 0, 4) == kContainerComponentId;
    }
    return false;
}

// A member of a group: where it lies in the group's own units and a control of its own
// (a picture, a shape with its text) that the drawing painter draws.
struct GroupMember {
    QRectF box;
    std::optional<hwp::Control> alone;
};

// The member whose component is records[at] as a top-level object: the group's header
// at the member's size, the component with its id twice as a top-level one has it, and
// the records below it, raised to the levels a top-level object's stand at.
hwp::Control MemberAlone(const hwp::Control& group, std::size_t at, QSizeF size)
{
    const std::vector<hwp::ObjectRecord>& records = group.records;
    const hwp::ObjectRecord& component = records[at];
    hwp::Control alone;
    alone.code = group.code;
    alone.ctrlId = group.ctrlId;
    hwp::ObjectProperties properties = hwp::ReadObjectProperties(hwp::View(records.front().data), "group header");
    properties.width = static_cast<hwp::HwpUnit>(std::clamp(size.width(), 1.0, 1e9));
    properties.height = static_cast<hwp::HwpUnit>(std::clamp(size.height(), 1.0, 1e9));
    properties.inlineAsChar = true;
    alone.records.push_back(hwp::ObjectRecord{hwp::tag::kCtrlHeader, 0, hwp::WriteObjectProperties(group.ctrlId, properties)});
    hwp::Bytes data(component.data.begin(), component.data.begin() + 4);
    data.insert(data.end(), component.data.begin(), component.data.end());
    alone.records.push_back(hwp::ObjectRecord{hwp::tag::kShapeComponent, 1, std::move(data)});
    for (std::size_t i = at + 1; i < records.size() && records[i].level > component.level; ++i) {
        hwp::ObjectRecord raised = records[i];
        raised.level = static_cast<std::uint16_t>(records[i].level - component.level + 1);
        alone.records.push_back(std::move(raised));
    }
    return alone;
}

// The members' shape components stand one level below the group's (deeper for groups
// inside the group); a member's id is written once, so its fields start 4 bytes earlier
// than a top-level object's. Its matrices place its original size in the group: the
// translation last, after each scale and rotation pair.
std::vector<GroupMember> GroupMembers(const hwp::Control& group)
{
    std::vector<GroupMember> members;
    const std::vector<hwp::ObjectRecord>& records = group.records;
    for (std::size_t i = 0; i < records.size() && members.size() < kMaxGroupMembers; ++i) {
        const hwp::ObjectRecord& record = records[i];
        const hwp::Bytes& data = record.data;
        if (record.tag != hwp::tag::kShapeComponent || record.level < 2 || data.size() < 44)
            continue;
        const std::uint32_t id = hwp::LittleEndianAt(data, 0, 4);
        if (id == kContainerComponentId)
            continue;   // its members follow; their matrices place them
        const double width = static_cast<std::int32_t>(hwp::LittleEndianAt(data, 16, 4));
        const double height = static_cast<std::int32_t>(hwp::LittleEndianAt(data, 20, 4));
        QRectF box(0, 0, std::max(1.0, width), std::max(1.0, height));
        const std::size_t count = data.size() >= 48 ? static_cast<std::size_t>(data[46] | (data[47] << 8)) : 0;
        if (count <= 64 && data.size() >= 48 + 48 + count * 96) {
            // QTransform maps row vectors: the matrix applied first stands on the left.
            QTransform placed;
            for (std::size_t pair = 0; pair < count; ++pair) {
                const std::size_t at = 96 + pair * 96;
                placed = placed * MatrixAt(data, at) * MatrixAt(data, at + 48);
            }
            box = (placed * MatrixAt(data, 48)).mapRect(box);
        } else {
            // No usable matrices: its offset in the group and its current size.
            box = QRectF(static_cast<std::int32_t>(hwp::LittleEndianAt(data, 4, 4)),
                         static_cast<std::int32_t>(hwp::LittleEndianAt(data, 8, 4)),
                         std::max(1.0, double(static_cast<std::int32_t>(hwp::LittleEndianAt(data, 24, 4)))),
                         std::max(1.0, double(static_cast<std::int32_t>(hwp::LittleEndianAt(data, 28, 4)))));
        }
        GroupMember member{box, std::nullopt};
        try {
            // Its current size: what its text box and outline are laid out for.
            const QSizeF size(std::max(1.0, double(static_cast<std::int32_t>(hwp::LittleEndianAt(data, 24, 4)))),
                              std::max(1.0, double(static_cast<std::int32_t>(hwp::LittleEndianAt(data, 28, 4)))));
            if (!records.empty() && records.front().tag == hwp::tag::kCtrlHeader)
                member.alone = MemberAlone(group, i, size);
        } catch (const std::exception&) {
        }
        members.push_back(std::move(member));
    }
    return members;
}

Qt::PenStyle PenStyleOf(std::uint8_t kind);

// A curve through `points` (a Catmull-Rom spline, as smooth as the word processor draws
// one), closed when it ends where it began.
void AddSmoothRun(QPainterPath& path, const std::vector<QPointF>& points, std::size_t first, std::size_t last, bool closed)
{
    const std::size_t count = points.size();
    const auto at = [&](std::ptrdiff_t i) {
        if (closed)
            return points[static_cast<std::size_t>((i % std::ptrdiff_t(count - 1) + std::ptrdiff_t(count - 1)) %
                                                   std::ptrdiff_t(count - 1))];
        return points[static_cast<std::size_t>(std::clamp<std::ptrdiff_t>(i, 0, std::ptrdiff_t(count) - 1))];
    };
    for (std::size_t i = first; i < last; ++i) {
        const auto k = static_cast<std::ptrdiff_t>(i);
        const QPointF p0 = at(k - 1), p1 = at(k), p2 = at(k + 1), p3 = at(k + 2);
        path.cubicTo(p1 + (p2 - p0) / 6, p2 - (p3 - p1) / 6, p2);
    }
}

// The outline of `shape` in `box` (painter units): its points count in the original
// size, the box is its current one.
QPainterPath ShapePath(const hwp::Shape& shape, const QRectF& box)
{
    QPainterPath path;
    const double sx = box.width() / std::max(1, shape.originalWidth);
    const double sy = box.height() / std::max(1, shape.originalHeight);
    const auto place = [&](std::int32_t x, std::int32_t y) { return QPointF(box.left() + x * sx, box.top() + y * sy); };
    std::vector<QPointF> points;
    for (const hwp::ShapePoint& point : shape.points)
        points.push_back(place(point.x, point.y));
    switch (shape.kind) {
    case hwp::ShapeKind::Rectangle:
        if (shape.roundness > 0) {
            const double radius = std::min<double>(shape.roundness, 100) / 100.0 * std::min(box.width(), box.height()) / 2;
            path.addRoundedRect(box, radius, radius);
        } else {
            path.addRect(box);
        }
        break;
    case hwp::ShapeKind::Ellipse:
        path.addEllipse(box);
        break;
    case hwp::ShapeKind::Line:
        path.moveTo(place(shape.startX, shape.startY));
        path.lineTo(place(shape.endX, shape.endY));
        break;
    case hwp::ShapeKind::Arc: {
        if (points.size() < 3)
            break;
        // An ellipse about the centre through both axis ends, from the first to the second
        // counter-clockwise as the page shows it.
        const QPointF centre = points[0];
        const double rx = std::max(std::abs(points[1].x() - centre.x()), std::abs(points[2].x() - centre.x()));
        const double ry = std::max(std::abs(points[1].y() - centre.y()), std::abs(points[2].y() - centre.y()));
        if (rx <= 0 || ry <= 0)
            break;
        const auto angle = [&](QPointF p) {
            return -std::atan2((p.y() - centre.y()) / ry, (p.x() - centre.x()) / rx) * 180.0 / std::numbers::pi;
        };
        const double start = angle(points[1]);
        double sweep = std::fmod(angle(points[2]) - start + 720.0, 360.0);
        if (sweep == 0)
            sweep = 360;
        const QRectF oval(centre.x() - rx, centre.y() - ry, 2 * rx, 2 * ry);
        if (shape.arcKind == 1)
            path.moveTo(centre);
        else
            path.arcMoveTo(oval, start);
        path.arcTo(oval, start, sweep);
        if (shape.arcKind != 0)
            path.closeSubpath();
        break;
    }
    case hwp::ShapeKind::Polygon:
        if (points.size() >= 2) {
            path.addPolygon(QPolygonF(QList<QPointF>(points.begin(), points.end())));
            path.closeSubpath();
        }
        break;
    case hwp::ShapeKind::Curve: {
        if (points.size() < 2)
            break;
        const bool closed = points.size() > 2 && QLineF(points.front(), points.back()).length() < 1e-6;
        path.moveTo(points.front());
        std::size_t i = 0;
        while (i + 1 < points.size()) {
            const bool curved = i < shape.segments.size() && shape.segments[i] == 1;
            std::size_t end = i + 1;
            while (curved && end + 1 < points.size() && end < shape.segments.size() && shape.segments[end] == 1)
                ++end;
            if (curved)
                AddSmoothRun(path, points, i, end, closed && i == 0 && end + 1 == points.size());
            else
                path.lineTo(points[end]);
            i = end;
        }
        if (closed)
            path.closeSubpath();
        break;
    }
    }
    return path;
}

// A shape in the object's box, its outline inside the box, turned about the box's centre
// when it is rotated.
void PaintShape(QPainter& painter, const QRectF& rect, double scale, const hwp::Shape& shape,
                const std::shared_ptr<const hwp::Document>& document)
{
    QPen pen(Qt::NoPen);
    if (shape.outline != static_cast<std::uint8_t>(hwp::LineKind::None)) {
        pen = QPen(FromColorRef(shape.outlineColor));
        pen.setWidthF(std::max(DevicePixel(painter), std::max(0, shape.outlineWidth) * UnitsToPainter(scale)));
        pen.setStyle(PenStyleOf(shape.outline));
        pen.setJoinStyle(Qt::MiterJoin);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF frame = rect;
    if (shape.rotation % 360 != 0) {
        // The box holds the turned shape; the shape itself keeps its own size.
        const double k = UnitsToPainter(scale);
        const QSizeF own(shape.width > 0 ? shape.width * k : rect.width(), shape.height > 0 ? shape.height * k : rect.height());
        frame = QRectF(QPointF(0, 0), own);
        frame.moveCenter(rect.center());
        painter.translate(rect.center());
        painter.rotate(shape.rotation);
        painter.translate(-rect.center());
    }
    const double inset = pen.style() == Qt::NoPen || shape.kind == hwp::ShapeKind::Line ? 0.0 : pen.widthF() / 2;
    const bool closedKind = shape.kind == hwp::ShapeKind::Rectangle || shape.kind == hwp::ShapeKind::Ellipse;
    const QPainterPath path = ShapePath(shape, closedKind ? frame.adjusted(inset, inset, -inset, -inset) : frame);
    const double unit = UnitsToPainter(scale);
    const bool ends = HasLineEnds(shape, path);
    if (shape.shadow)
        PaintShadow(painter, path, *shape.shadow, !ends, pen, unit);
    if (shape.kind != hwp::ShapeKind::Line)
        PaintFill(painter, path, shape.brush, scale, FillImagesOf(document));
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(ends ? WithinPointedEnds(path, shape.ends, pen, unit) : path);
    if (ends)
        PaintLineEnds(painter, path, shape.ends, pen, unit);
    painter.restore();
}

void PaintTextBox(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object);

struct LaidOutCaption;
std::shared_ptr<LaidOutCaption> OwnCaption(const KeptObject& object);
QSizeF WithCaption(QSizeF own, const LaidOutCaption& caption);
QRectF PaintOwnCaption(QPainter& painter, const QRectF& rect, double scale, LaidOutCaption& caption);

// A picture draws its image, a shape its outline, fill and text; a group draws its
// members, placed as the group holds them and scaled with the group; each with its
// caption on its side. Other drawing objects keep the default box.
class DrawingPainter : public KeptObjectPainter {
public:
    QSizeF Size(const KeptObject& object) const override
    {
        const QSizeF own = KeptObjectBoxSize(object);
        const std::shared_ptr<LaidOutCaption> caption = OwnCaption(object);
        return caption ? WithCaption(own, *caption) : own;
    }

    double Descent(const KeptObject& object) const override
    {
        return SitsOnOwnBaseline(object.control) ? Size(object).height() * kCharObjectDescent : 0.0;
    }

    void Paint(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const override
    {
        if (const std::shared_ptr<LaidOutCaption> caption = OwnCaption(object))
            PaintOwn(painter, PaintOwnCaption(painter, rect, scale, *caption), scale, object);
        else
            PaintOwn(painter, rect, scale, object);
    }

private:
    void PaintOwn(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const
    {
        if (hwp::IsPicture(object.control)) {
            m_picture.Paint(painter, rect, scale, object);
            return;
        }
        if (IsGroup(object.control) && PaintGroup(painter, rect, scale, object))
            return;
        if (const std::optional<hwp::Shape> shape = hwp::ReadShape(object.control)) {
            PaintShape(painter, rect, scale, *shape, object.origin);
            PaintTextBox(painter, rect, scale, object);
            return;
        }
        PaintKeptObjectBox(painter, rect, scale, object);
    }

    bool PaintGroup(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const
    {
        const std::vector<GroupMember> members = GroupMembers(object.control);
        QRectF space;
        bool any = false;
        for (const GroupMember& member : members) {
            space |= member.box;
            any |= member.alone.has_value();
        }
        // The members stand in the group's own units: its original size, which its box
        // shows at its current one. Members reaching past it fill the box themselves.
        if (const std::optional<hwp::Shape> group = GroupSize(object.control)) {
            const QRectF own(0, 0, group->originalWidth, group->originalHeight);
            if (own.adjusted(-1, -1, 1, 1).contains(space))
                space = own;
        }
        if (!any || space.width() < 1 || space.height() < 1)
            return false;
        const double sx = rect.width() / space.width();
        const double sy = rect.height() / space.height();
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
        for (const GroupMember& member : members) {
            if (!member.alone)
                continue;
            const QRectF at(rect.left() + (member.box.left() - space.left()) * sx,
                            rect.top() + (member.box.top() - space.top()) * sy, member.box.width() * sx,
                            member.box.height() * sy);
            Paint(painter, at, scale, KeptObject{*member.alone, object.origin});
        }
        painter.restore();
        return true;
    }

    // The group's original size, from its own component; nothing when it does not say.
    static std::optional<hwp::Shape> GroupSize(const hwp::Control& control)
    {
        for (const hwp::ObjectRecord& record : control.records) {
            if (record.level != 1 || record.tag != hwp::tag::kShapeComponent)
                continue;
            if (record.data.size() < 28)
                return std::nullopt;
            hwp::Shape size;
            size.originalWidth = static_cast<std::int32_t>(hwp::LittleEndianAt(record.data, 20, 4));
            size.originalHeight = static_cast<std::int32_t>(hwp::LittleEndianAt(record.data, 24, 4));
            if (size.originalWidth <= 0 || size.originalHeight <= 0)
                return std::nullopt;
            return size;
        }
        return std::nullopt;
    }

    PicturePainter m_picture;
};

// --- equations -------------------------------------------------------------------------

// The math font keeps caches of its own and serves one thread at a time.
std::mutex& MathMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

const math::QtMathFont& MathFont()
{
    static const auto* font = new math::QtMathFont;
    return *font;
}

SharedCache<std::u16string, const math::EquationLayout>& EquationCache()
{
    static auto* cache = new SharedCache<std::u16string, const math::EquationLayout>(kMaxCachedEquations);
    return *cache;
}

std::shared_ptr<const math::EquationLayout> LayoutFor(const std::u16string& script)
{
    SharedCache<std::u16string, const math::EquationLayout>& cache = EquationCache();
    if (auto found = cache.Find(script))
        return found;
    std::shared_ptr<const math::EquationLayout> layout;
    {
        const std::lock_guard lock(MathMutex());
        layout = std::make_shared<const math::EquationLayout>(math::Typeset(script, MathFont()));
    }
    cache.Put(script, layout);
    return layout;
}

// Layout pixels per base size: the equation's letter size in points at 96 dpi.
double BaseSizePixels(const hwp::Equation& equation)
{
    const double points = std::clamp(equation.baseSize, 100, 100000) / 100.0;
    return points * kLayoutDpi / 72.0;
}

// Where a typeset equation goes in its box: the typeset box scaled into the recorded one
// (another typesetter's metrics may differ a little), centred across, on the baseline the
// file records as far as the glyphs allow.
struct EquationPlace {
    double unit = 0;       // base size, in the box's pixels
    double left = 0;
    double baseline = 0;   // from the box's top
};

std::optional<EquationPlace> PlaceEquation(const hwp::Equation& equation, const math::EquationLayout& layout,
                                           QSizeF box, double scale)
{
    const double height = layout.ascent + layout.descent;
    if (layout.width <= 0 || height <= 0 || box.width() <= 0 || box.height() <= 0)
        return std::nullopt;
    EquationPlace place;
    place.unit = BaseSizePixels(equation) * scale;
    place.unit = std::min({place.unit * 4, box.width() / layout.width, box.height() / height});
    place.left = (box.width() - layout.width * place.unit) / 2;
    place.baseline = std::clamp(box.height() * std::clamp<int>(equation.baseline, 0, 100) / 100.0,
                                layout.ascent * place.unit, box.height() - layout.descent * place.unit);
    return place;
}

class EquationPainter : public KeptObjectPainter {
public:
    QSizeF Size(const KeptObject& object) const override
    {
        const QSizeF recorded = KeptObjectBoxSize(object);
        const std::optional<hwp::Equation> equation = Read(object);
        if (!equation || (equation->width > 0 && equation->height > 0) || !CanUseFonts())
            return recorded;
        // A box the file does not record: as large as the typeset equation.
        const std::shared_ptr<const math::EquationLayout> layout = LayoutFor(equation->script);
        const double unit = BaseSizePixels(*equation);
        return {std::max(4.0, layout->width * unit), std::max(4.0, (layout->ascent + layout->descent) * unit)};
    }

    double Descent(const KeptObject& object) const override
    {
        const QSizeF size = Size(object);
        const std::optional<hwp::Equation> equation = Read(object);
        if (!equation)
            return 0;
        if (!CanUseFonts())
            return size.height() * (100 - std::clamp<int>(equation->baseline, 0, 100)) / 100.0;
        const std::optional<EquationPlace> place = PlaceEquation(*equation, *LayoutFor(equation->script), size, 1);
        return place ? size.height() - place->baseline : 0;
    }

    void Paint(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const override
    {
        const std::optional<hwp::Equation> equation = Read(object);
        if (!equation) {
            PaintKeptObjectBox(painter, rect, scale, object);
            return;
        }
        const std::shared_ptr<const math::EquationLayout> layout = LayoutFor(equation->script);
        const std::optional<EquationPlace> place = PlaceEquation(*equation, *layout, rect.size(), scale);
        if (!place)
            return;
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        {
            const std::lock_guard lock(MathMutex());
            math::PaintEquation(painter, *layout, MathFont(),
                                QPointF(rect.left() + place->left, rect.top() + place->baseline), place->unit,
                                FromColorRef(equation->color));
        }
        painter.restore();
    }

private:
    static std::optional<hwp::Equation> Read(const KeptObject& object)
    {
        if (!hwp::IsEquation(object.control))
            return std::nullopt;
        try {
            return hwp::ReadEquation(object.control);
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
};

// --- tables ----------------------------------------------------------------------------

struct LaidOutCell {
    QRectF box;            // HwpUnit, from the table's top left
    QRectF inner;          // inside the cell's margins, HwpUnit
    std::optional<hwp::BorderFillView> fill;
    hwp::CellVerticalAlign verticalAlign = hwp::CellVerticalAlign::Center;
    std::unique_ptr<EditorDocument> text;   // laid out at the inner width, layout pixels
    double textHeight = 0;                  // layout pixels
};

struct LaidOutTable {
    // Who this layout is for: the same object address may later hold another table.
    hwp::Control control;
    std::weak_ptr<const hwp::Document> origin;
    QImage layoutDevice{1, 1, QImage::Format_RGB32};
    std::vector<LaidOutCell> cells;
    QSizeF size;   // of the grid, HwpUnit
    // The cells' text documents are Qt objects: one thread draws them at a time.
    std::mutex paintMutex;
};

SharedCache<const KeptObject*, LaidOutTable>& TableCache()
{
    static auto* cache = new SharedCache<const KeptObject*, LaidOutTable>(kMaxCachedTables);
    return *cache;
}

// The origin's shape tables without its body, for one cell's paragraphs.
hwp::Document CellDocumentBase(const hwp::Document& origin, bool withBinData)
{
    hwp::Document base = hwp::ShapeTablesOf(origin);
    if (withBinData) {
        // Pictures inside cells show the origin's bytes.
        base.binData = origin.binData;
        base.unlistedBinData = origin.unlistedBinData;
    }
    hwp::Section section;
    if (!origin.sections.empty())
        section.page = origin.sections.front().page;
    base.sections.push_back(std::move(section));
    return base;
}

std::unique_ptr<EditorDocument> LayOutCellText(hwp::Document& base, const hwp::TableCell& cell, double width,
                                               QPaintDevice& device, double& height)
{
    base.sections.front().paragraphs = cell.paragraphs;
    std::unique_ptr<EditorDocument> text;
    try {
        text = ToEditorDocument(base);
    } catch (const std::exception&) {
        return nullptr;
    }
    QTextDocument& document = text->Text();
    document.setDocumentMargin(0);
    document.setUseDesignMetrics(true);
    document.documentLayout()->setPaintDevice(&device);
    SetPrintLayout(document);
    InstallKeptObjectHandler(document);
    document.setPageSize(QSizeF(std::max(1.0, width), 1e7));
    document.setTextWidth(std::max(1.0, width));
    // Unchanged paragraphs break where the file has them, as the body's do; a paragraph
    // setting columns of its own sets them side by side.
    const std::unordered_set<const StoredLines*> held = StoredLinesHeld(document);
    const WidthsFitted fitted = FitStoredWidths(document, held, std::max(1.0, width), device, ParagraphColumns::SideBySide);
    height = document.documentLayout()->documentSize().height();
    if (!held.empty()) {
        FollowStoredLines(document, held, fitted);
        height = document.documentLayout()->documentSize().height();
        // Lines laid by hand reach as low as they were laid, which the engine does not know.
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            const QTextLayout* layout = block.layout();
            for (int i = 0; layout != nullptr && i < layout->lineCount(); ++i)
                height = std::max(height, layout->position().y() + layout->lineAt(i).y() + layout->lineAt(i).height());
        }
    }
    return text;
}

// Draws the laid-out text of an object (under its layout's paint lock). The text engine
// draws a block's lines only down to the block's own rectangle and stops at the first line
// below it; lines laid in columns of a paragraph go up again, so such blocks are drawn
// whole, past that rectangle, with the lines the columns rule between them.
void DrawObjectText(QPainter& painter, QTextDocument& text)
{
    std::vector<QTextBlock> columned;
    for (QTextBlock block = text.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        for (int i = 1; layout != nullptr && i < layout->lineCount(); ++i) {
            if (layout->lineAt(i).y() <= layout->lineAt(i - 1).y()) {
                columned.push_back(block);
                break;
            }
        }
    }
    for (QTextBlock& block : columned)
        block.setVisible(false);
    text.drawContents(&painter);
    for (QTextBlock& block : columned) {
        block.setVisible(true);
        const QPointF origin = text.documentLayout()->blockBoundingRect(block).topLeft();
        painter.save();
        painter.setPen(Qt::black);
        block.layout()->draw(&painter, origin);
        painter.restore();
        if (const std::optional<hwp::Columns> columns = ColumnsSetIn(block))
            PaintColumnRules(painter, block, origin, columns->line);
    }
}

// A layout for `object`, its text to be laid out at 96 dpi exactly, as the page layout:
// text breaks its lines as the body does.
template <typename LaidOut>
std::shared_ptr<LaidOut> NewLayout(const KeptObject& object)
{
    auto laidOut = std::make_shared<LaidOut>();
    laidOut->control = object.control;
    laidOut->origin = object.origin;
    laidOut->layoutDevice.setDotsPerMeterX(3780);
    laidOut->layoutDevice.setDotsPerMeterY(3780);
    return laidOut;
}

std::shared_ptr<LaidOutTable> LayOutTable(const KeptObject& object)
{
    auto laidOut = NewLayout<LaidOutTable>(object);

    const hwp::Table table = hwp::ReadTable(object.control);
    const std::vector<hwp::HwpUnit> widths = hwp::ColumnWidths(table);
    std::vector<double> heights;
    for (const hwp::HwpUnit height : hwp::RowHeights(table))
        heights.push_back(std::max<hwp::HwpUnit>(0, height));
    std::vector<double> xs(widths.size() + 1, 0);
    for (std::size_t i = 0; i < widths.size(); ++i)
        xs[i + 1] = xs[i] + std::max<hwp::HwpUnit>(0, widths[i]);
    // Where a cell starting at track `first` and spanning `span` tracks begins and ends;
    // past the grid or empty, it is as long as the cell says.
    const auto extent = [](const std::vector<double>& at, std::size_t first, std::size_t span, double length) {
        const double start = first < at.size() ? at[first] : at.back();
        const double end = first + span < at.size() ? at[first + span] : start + length;
        return std::make_pair(start, end > start ? end : start + std::max(0.0, length));
    };

    bool cellsHoldObjects = false;
    for (const hwp::TableCell& cell : table.cells) {
        for (const hwp::Paragraph& paragraph : cell.paragraphs)
            cellsHoldObjects = cellsHoldObjects || !paragraph.controls.empty();
    }
    std::optional<hwp::Document> base;
    if (object.origin)
        base = CellDocumentBase(*object.origin, cellsHoldObjects);

    // The text first: a file records a cell's least height, and its row grows to hold
    // the cell's lines as the word processor lays it out.
    const std::size_t count = std::min(table.cells.size(), kMaxDrawnCells);
    laidOut->cells.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        const hwp::TableCell& cell = table.cells[i];
        LaidOutCell& out = laidOut->cells[i];
        const auto [left, right] = extent(xs, cell.column, cell.columnSpan, cell.width);
        const auto margin = [&](int side) { return std::max<double>(0, cell.margins[side]); };
        const double innerWidth = std::max(0.0, right - left - margin(0) - margin(1));
        out.box = QRectF(left, 0, right - left, 0);
        out.verticalAlign = cell.verticalAlign;
        if (object.origin)
            out.fill = BorderFillAt(*object.origin, cell.borderFillId);
        if (base)
            out.text = LayOutCellText(*base, cell, HwpUnitsToLayout(innerWidth), laidOut->layoutDevice, out.textHeight);
        if (cell.rowSpan == 1 && cell.row < heights.size())
            heights[cell.row] = std::max(heights[cell.row], LayoutToHwpUnits(out.textHeight) + margin(2) + margin(3));
    }
    // What the file says the whole table measures is what it was laid out to.
    const double total = std::accumulate(heights.begin(), heights.end(), 0.0);
    if (!heights.empty() && total < table.object.height) {
        const double extra = (table.object.height - total) / heights.size();
        for (double& height : heights)
            height += extra;
    }
    std::vector<double> ys(heights.size() + 1, 0);
    for (std::size_t i = 0; i < heights.size(); ++i)
        ys[i + 1] = ys[i] + heights[i];
    for (std::size_t i = 0; i < count; ++i) {
        const hwp::TableCell& cell = table.cells[i];
        LaidOutCell& out = laidOut->cells[i];
        const auto [top, bottom] = extent(ys, cell.row, cell.rowSpan, cell.height);
        out.box.setTop(top);
        out.box.setBottom(bottom);
        const auto margin = [&](int side) { return std::max<double>(0, cell.margins[side]); };
        out.inner = out.box.adjusted(margin(0), margin(2), -margin(1), -margin(3));
        if (out.inner.width() < 0)
            out.inner.setWidth(0);
        if (out.inner.height() < 0)
            out.inner.setHeight(0);
    }
    laidOut->size = QSizeF(xs.back(), ys.back());
    return laidOut;
}

// The cached layout of `object`, made by `layOut` when the cache has none for it.
template <typename LaidOut>
std::shared_ptr<LaidOut> CachedLayout(SharedCache<const KeptObject*, LaidOut>& cache, const KeptObject& object,
                                      std::shared_ptr<LaidOut> (*layOut)(const KeptObject&))
{
    if (auto found = cache.Find(&object)) {
        if (found->origin.lock() == object.origin && found->control == object.control)
            return found;
    }
    std::shared_ptr<LaidOut> laidOut = layOut(object);
    cache.Put(&object, laidOut);
    return laidOut;
}

std::shared_ptr<LaidOutTable> TableFor(const KeptObject& object)
{
    return CachedLayout(TableCache(), object, &LayOutTable);
}

Qt::PenStyle PenStyleOf(std::uint8_t kind)
{
    switch (static_cast<hwp::LineKind>(kind)) {
    case hwp::LineKind::Dash:
    case hwp::LineKind::LongDash:
        return Qt::DashLine;
    case hwp::LineKind::Dot:
    case hwp::LineKind::Circle:
        return Qt::DotLine;
    case hwp::LineKind::DashDot:
        return Qt::DashDotLine;
    case hwp::LineKind::DashDotDot:
        return Qt::DashDotDotLine;
    default:
        return Qt::SolidLine;
    }
}

// One border line from `from` to `to` (painter units), `width` wide in all; the double
// kinds draw their strokes side by side across that width.
void PaintBorderLine(QPainter& painter, const hwp::BorderLine& line, QPointF from, QPointF to, double width,
                     double minimum)
{
    if (line.kind == static_cast<std::uint8_t>(hwp::LineKind::None))
        return;
    // Strokes as (offset, width) shares of the whole width.
    std::vector<std::pair<double, double>> strokes;
    switch (static_cast<hwp::LineKind>(line.kind)) {
    case hwp::LineKind::Double:
        strokes = {{-1.0 / 3, 1.0 / 3}, {1.0 / 3, 1.0 / 3}};
        break;
    case hwp::LineKind::ThinThick:
        strokes = {{-3.0 / 8, 1.0 / 4}, {1.0 / 4, 1.0 / 2}};
        break;
    case hwp::LineKind::ThickThin:
        strokes = {{-1.0 / 4, 1.0 / 2}, {3.0 / 8, 1.0 / 4}};
        break;
    case hwp::LineKind::ThinThickThin:
        strokes = {{-5.0 / 12, 1.0 / 6}, {0, 1.0 / 3}, {5.0 / 12, 1.0 / 6}};
        break;
    default:
        strokes = {{0, 1}};
        break;
    }
    if (strokes.size() > 1)
        width = std::max(width, 3 * minimum);
    const QPointF along = to - from;
    const double length = std::hypot(along.x(), along.y());
    if (length <= 0)
        return;
    const QPointF across(-along.y() / length, along.x() / length);
    QPen pen(FromColorRef(line.color));
    pen.setStyle(PenStyleOf(line.kind));
    pen.setCapStyle(line.kind == static_cast<std::uint8_t>(hwp::LineKind::Circle) ? Qt::RoundCap : Qt::FlatCap);
    for (const auto& [offset, share] : strokes) {
        pen.setWidthF(std::max(minimum, width * share));
        painter.setPen(pen);
        painter.drawLine(from + across * (offset * width), to + across * (offset * width));
    }
}

void PaintTable(QPainter& painter, const QRectF& rect, double scale, LaidOutTable& table)
{
    const double k = UnitsToPainter(scale);
    const auto place = [&](const QRectF& box) {
        return QRectF(rect.left() + box.left() * k, rect.top() + box.top() * k, box.width() * k, box.height() * k);
    };
    const double pixel = DevicePixel(painter);
    const std::lock_guard lock(table.paintMutex);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const FillImageSource images = FillImagesOf(table.origin.lock());
    for (const LaidOutCell& cell : table.cells) {
        if (!cell.fill)
            continue;
        hwp::Fill fill;
        try {
            fill = hwp::FillOf(*cell.fill);
        } catch (const std::exception&) {
            // A damaged gradient or picture part: the colour alone.
            fill.kinds = cell.fill->fillKinds & hwp::kFillColor;
            fill.face = cell.fill->Background().value_or(hwp::kNoColor);
        }
        QPainterPath area;
        area.addRect(place(cell.box));
        PaintFill(painter, area, fill, scale, images);
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const LaidOutCell& cell : table.cells) {
        if (!cell.text)
            continue;
        const QRectF inner = place(cell.inner);
        double top = inner.top();
        const double textHeight = cell.textHeight * scale;
        if (cell.verticalAlign == hwp::CellVerticalAlign::Center)
            top += (inner.height() - textHeight) / 2;
        else if (cell.verticalAlign == hwp::CellVerticalAlign::Bottom)
            top += inner.height() - textHeight;
        top = std::max(top, place(cell.box).top());
        painter.save();
        painter.setClipRect(place(cell.box), Qt::IntersectClip);
        painter.translate(inner.left(), top);
        painter.scale(scale, scale);
        DrawObjectText(painter, cell.text->Text());
        painter.restore();
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const LaidOutCell& cell : table.cells) {
        if (!cell.fill)
            continue;
        const QRectF box = place(cell.box);
        const auto width = [&](const hwp::BorderLine& line) { return hwp::BorderLineWidth(line.width) * k; };
        const std::array<hwp::BorderLine, 4>& lines = cell.fill->lines;
        // Lines lie on the cell's edges; on the table's outer edges they lie inside it,
        // so a table at the top of the body keeps its whole top line.
        const QRectF outer = place(QRectF(QPointF(0, 0), table.size));
        const auto inward = [&](double at, double edge, double w, double sign) {
            return std::abs(at - edge) < 0.5 ? sign * w / 2 : 0.0;
        };
        const double wl = width(lines[0]), wr = width(lines[1]), wt = width(lines[2]), wb = width(lines[3]);
        const double xl = box.left() + inward(box.left(), outer.left(), wl, 1);
        const double xr = box.right() + inward(box.right(), outer.right(), wr, -1);
        const double yt = box.top() + inward(box.top(), outer.top(), wt, 1);
        const double yb = box.bottom() + inward(box.bottom(), outer.bottom(), wb, -1);
        PaintBorderLine(painter, lines[0], {xl, box.top()}, {xl, box.bottom()}, wl, pixel);
        PaintBorderLine(painter, lines[1], {xr, box.top()}, {xr, box.bottom()}, wr, pixel);
        PaintBorderLine(painter, lines[2], {box.left(), yt}, {box.right(), yt}, wt, pixel);
        PaintBorderLine(painter, lines[3], {box.left(), yb}, {box.right(), yb}, wb, pixel);
        const hwp::BorderLine& diagonal = cell.fill->diagonal;
        if (cell.fill->HasSlashDiagonal())
            PaintBorderLine(painter, diagonal, box.bottomLeft(), box.topRight(), width(diagonal), pixel);
        if (cell.fill->HasBackSlashDiagonal())
            PaintBorderLine(painter, diagonal, box.topLeft(), box.bottomRight(), width(diagonal), pixel);
    }
    painter.restore();
}

class TablePainter : public KeptObjectPainter {
public:
    QSizeF Size(const KeptObject& object) const override
    {
        QSizeF size = KeptObjectBoxSize(object);
        if (!hwp::IsTable(object.control) || !CanUseFonts())
            return size;
        try {
            // Rows grown for their text make the table taller than the file says.
            const std::shared_ptr<LaidOutTable> table = TableFor(object);
            size.setHeight(std::max(size.height(), std::min(HwpUnitsToLayout(table->size.height()), kMaxTableLayout)));
        } catch (const std::exception&) {
        }
        const std::shared_ptr<LaidOutCaption> caption = OwnCaption(object);
        return caption ? WithCaption(size, *caption) : size;
    }

    void Paint(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const override
    {
        std::shared_ptr<LaidOutTable> table;
        if (hwp::IsTable(object.control)) {
            try {
                table = TableFor(object);
            } catch (const std::exception&) {
            }
        }
        if (!table) {
            PaintKeptObjectBox(painter, rect, scale, object);
            return;
        }
        const std::shared_ptr<LaidOutCaption> caption = OwnCaption(object);
        PaintTable(painter, caption ? PaintOwnCaption(painter, rect, scale, *caption) : rect, scale, *table);
    }
};

} // namespace

namespace {

// A table's caption laid out as its paragraphs say, at the table's width (beside the
// table: at the caption's own width).
struct LaidOutCaption {
    hwp::Control control;
    std::weak_ptr<const hwp::Document> origin;
    QImage layoutDevice{1, 1, QImage::Format_RGB32};
    std::unique_ptr<EditorDocument> text;
    QSizeF size;          // layout pixels, the gap included
    double gap = 0;       // layout pixels
    double textHeight = 0;
    bool below = true;
    hwp::CaptionSide side = hwp::CaptionSide::Bottom;
    std::mutex paintMutex;
};

std::shared_ptr<LaidOutCaption> LayOutCaption(const KeptObject& object)
{
    auto laidOut = NewLayout<LaidOutCaption>(object);
    const std::vector<hwp::ObjectRecord>& records = object.control.records;
    if (records.size() < 2 || !object.origin)
        return laidOut;
    const std::optional<hwp::TableCaption> caption =
        hwp::ReadCaption(std::vector<hwp::ObjectRecord>(records.begin() + 1, records.end()));
    if (!caption)
        return laidOut;
    const hwp::Bytes& header = records.front().data;
    const hwp::ObjectProperties table = hwp::ReadObjectProperties(
        hwp::View(header), "table control header");
    const bool beside = caption->side == hwp::CaptionSide::Left || caption->side == hwp::CaptionSide::Right;
    const double width = HwpUnitsToLayout(std::max<hwp::HwpUnit>(1, beside && caption->width > 0 ? caption->width : table.width));
    hwp::Document base = CellDocumentBase(*object.origin, false);
    hwp::TableCell cell;
    cell.paragraphs = caption->paragraphs;
    double height = 0;
    laidOut->text = LayOutCellText(base, cell, width, laidOut->layoutDevice, height);
    laidOut->gap = HwpUnitsToLayout(std::max<std::int16_t>(0, caption->gap));
    laidOut->below = caption->side == hwp::CaptionSide::Bottom || caption->side == hwp::CaptionSide::Right;
    laidOut->side = caption->side;
    laidOut->textHeight = std::min(height, kMaxTableLayout);
    laidOut->size = QSizeF(width, laidOut->textHeight + laidOut->gap);
    return laidOut;
}

SharedCache<const KeptObject*, LaidOutCaption>& CaptionCache()
{
    static auto* cache = new SharedCache<const KeptObject*, LaidOutCaption>(kMaxCachedTables);
    return *cache;
}

std::shared_ptr<LaidOutCaption> CaptionFor(const KeptObject& object)
{
    return CachedLayout(CaptionCache(), object, &LayOutCaption);
}

// The caption an object holds itself (a picture's, a drawn shape's, a table's placed on
// the page): its list right after the object's header. Null when it has none.
std::shared_ptr<LaidOutCaption> OwnCaption(const KeptObject& object)
{
    const std::vector<hwp::ObjectRecord>& records = object.control.records;
    if (!CanUseFonts() || records.size() < 2 || records[1].tag != hwp::tag::kListHeader || records[1].level != 1)
        return nullptr;
    try {
        std::shared_ptr<LaidOutCaption> caption = CaptionFor(object);
        return caption->text ? caption : nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

bool Beside(const LaidOutCaption& caption)
{
    return caption.side == hwp::CaptionSide::Left || caption.side == hwp::CaptionSide::Right;
}

// The room of an object of `own` size with its caption on its side, the gap between.
QSizeF WithCaption(QSizeF own, const LaidOutCaption& caption)
{
    if (Beside(caption))
        return {own.width() + caption.gap + caption.size.width(), std::max(own.height(), caption.textHeight)};
    return {std::max(own.width(), caption.size.width()), own.height() + caption.gap + caption.textHeight};
}

// Paints the caption on its side of `rect` (the object with its caption) and gives the
// object's own part of it.
QRectF PaintOwnCaption(QPainter& painter, const QRectF& rect, double scale, LaidOutCaption& caption)
{
    const double gap = caption.gap * scale;
    const double across = caption.size.width() * scale;
    const double down = caption.textHeight * scale;
    QRectF object = rect;
    QPointF text = rect.topLeft();
    switch (caption.side) {
    case hwp::CaptionSide::Left:
        object.setLeft(std::min(rect.right(), rect.left() + across + gap));
        break;
    case hwp::CaptionSide::Right:
        object.setRight(std::max(rect.left(), rect.right() - across - gap));
        text = QPointF(object.right() + gap, rect.top());
        break;
    case hwp::CaptionSide::Top:
        object.setTop(std::min(rect.bottom(), rect.top() + down + gap));
        break;
    case hwp::CaptionSide::Bottom:
        object.setBottom(std::max(rect.top(), rect.bottom() - down - gap));
        text = QPointF(rect.left(), object.bottom() + gap);
        break;
    }
    const std::lock_guard lock(caption.paintMutex);
    painter.save();
    painter.translate(text);
    painter.scale(scale, scale);
    caption.text->Text().drawContents(&painter);
    painter.restore();
    return object;
}

// The text a drawn shape holds (a text box): its list header right under the shape's
// component gives the inner margins and the vertical alignment.
struct LaidOutTextBox {
    hwp::Control control;
    std::weak_ptr<const hwp::Document> origin;
    QImage layoutDevice{1, 1, QImage::Format_RGB32};
    std::unique_ptr<EditorDocument> text;
    std::array<double, 4> margins{};   // left, right, top, bottom; layout pixels
    double height = 0;
    int verticalAlign = 0;             // 0 top, 1 centre, 2 bottom
    std::mutex paintMutex;
};

std::shared_ptr<LaidOutTextBox> LayOutTextBox(const KeptObject& object)
{
    auto laidOut = NewLayout<LaidOutTextBox>(object);
    const std::vector<hwp::ObjectRecord>& records = object.control.records;
    if (!object.origin)
        return laidOut;
    std::size_t at = 0;
    while (at < records.size() && !(records[at].level == 1 && records[at].tag == hwp::tag::kShapeComponent))
        ++at;
    if (at + 1 >= records.size() || records[at + 1].tag != hwp::tag::kListHeader || records[at + 1].level != 2)
        return laidOut;
    const hwp::ParagraphList list = hwp::ReadParagraphList(records, at + 1);
    const hwp::Bytes& header = records[at + 1].data;
    if (header.size() >= 14) {
        laidOut->verticalAlign = static_cast<int>((hwp::LittleEndianAt(header, 2, 4) >> 21) & 3);
        for (std::size_t side = 0; side < 4; ++side) {
            const auto units = static_cast<std::int16_t>(hwp::LittleEndianAt(header, 6 + 2 * side, 2));
            laidOut->margins[side] = HwpUnitsToLayout(std::max<std::int16_t>(0, units));
        }
    }
    const hwp::ObjectProperties box = hwp::ReadObjectProperties(
        hwp::View(records.front().data),
        "drawing control header");
    const double width = std::max(1.0, HwpUnitsToLayout(box.width) - laidOut->margins[0] - laidOut->margins[1]);
    double height = 0;
    laidOut->text = LayOutParagraphs(*object.origin, list.paragraphs, width, laidOut->layoutDevice, height);
    laidOut->height = std::min(height, kMaxTableLayout);
    return laidOut;
}

SharedCache<const KeptObject*, LaidOutTextBox>& TextBoxCache()
{
    static auto* cache = new SharedCache<const KeptObject*, LaidOutTextBox>(kMaxCachedTables);
    return *cache;
}

void PaintTextBox(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object)
{
    if (!CanUseFonts())
        return;
    std::shared_ptr<LaidOutTextBox> box;
    try {
        box = CachedLayout(TextBoxCache(), object, &LayOutTextBox);
    } catch (const std::exception&) {
        return;   // a damaged list: the shape without its text
    }
    if (!box->text)
        return;
    const double inner = rect.height() / scale - box->margins[2] - box->margins[3];
    const double room = std::max(0.0, inner - box->height);
    const double down = box->verticalAlign == 1 ? room / 2 : box->verticalAlign == 2 ? room : 0.0;
    const std::lock_guard lock(box->paintMutex);
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.translate(rect.left() + box->margins[0] * scale, rect.top() + (box->margins[2] + down) * scale);
    painter.scale(scale, scale);
    DrawObjectText(painter, box->text->Text());
    painter.restore();
}

class CaptionPainter : public KeptObjectPainter {
public:
    QSizeF Size(const KeptObject& object) const override
    {
        if (!CanUseFonts())
            return {1, 1};
        try {
            const QSizeF size = CaptionFor(object)->size;
            return {std::max(1.0, size.width()), std::max(1.0, size.height())};
        } catch (const std::exception&) {
            return {1, 1};
        }
    }

    void Paint(QPainter& painter, const QRectF& rect, double scale, const KeptObject& object) const override
    {
        if (!CanUseFonts())
            return;
        std::shared_ptr<LaidOutCaption> caption;
        try {
            caption = CaptionFor(object);
        } catch (const std::exception&) {
            return;
        }
        if (!caption->text)
            return;
        const std::lock_guard lock(caption->paintMutex);
        painter.save();
        // Below its object the gap lies above the text, when the place given holds it (beside
        // a table the print gives the text alone).
        const double gap = std::clamp(rect.height() - caption->textHeight * scale, 0.0, caption->gap * scale);
        painter.translate(rect.left(), rect.top() + (caption->below ? gap : 0.0));
        painter.scale(scale, scale);
        caption->text->Text().drawContents(&painter);
        painter.restore();
    }
};

} // namespace

std::unique_ptr<EditorDocument> LayOutParagraphs(const hwp::Document& origin,
                                                 const std::vector<hwp::Paragraph>& paragraphs, double width,
                                                 QPaintDevice& device, double& height)
{
    bool holdsObjects = false;
    for (const hwp::Paragraph& paragraph : paragraphs)
        holdsObjects = holdsObjects || !paragraph.controls.empty();
    hwp::Document base = CellDocumentBase(origin, holdsObjects);
    hwp::TableCell cell;
    cell.paragraphs = paragraphs;
    height = 0;
    return LayOutCellText(base, cell, width, device, height);
}

void PaintColumnRules(QPainter& painter, const QTextBlock& block, QPointF origin, const hwp::BorderLine& line)
{
    const QTextLayout* layout = block.layout();
    if (line.kind == 0 || layout == nullptr || layout->lineCount() < 2)
        return;
    double top = 1e300, bottom = -1e300;
    for (int i = 0; i < layout->lineCount(); ++i) {
        top = std::min(top, layout->lineAt(i).y());
        bottom = std::max(bottom, layout->lineAt(i).y() + layout->lineAt(i).height());
    }
    // Down the middle of each gap between the columns' lines as laid: a column begins
    // where a line goes up again.
    double right = layout->lineAt(0).x() + layout->lineAt(0).width();
    for (int i = 1; i < layout->lineCount(); ++i) {
        const QTextLine next = layout->lineAt(i);
        if (next.y() <= layout->lineAt(i - 1).y()) {
            const double x = origin.x() + (right + next.x()) / 2;
            PaintRuledLine(painter, line, QPointF(x, origin.y() + top), QPointF(x, origin.y() + bottom));
            right = next.x() + next.width();
        }
        right = std::max(right, next.x() + next.width());
    }
}

void PaintRuledLine(QPainter& painter, const hwp::BorderLine& line, QPointF from, QPointF to)
{
    painter.save();
    PaintBorderLine(painter, line, from, to, UnitsToPainter(hwp::BorderLineWidth(line.width)), DevicePixel(painter));
    painter.restore();
}

namespace {
// Whatever program links these painters lays out with them (document/kept_objects.h).
const bool kPaintersHandedOver = (SetPainterRegistration(&RegisterObjectPainters), true);
} // namespace

void RegisterObjectPainters()
{
    RegisterControlPainters();
    RegisterInlinePainters();
    RegisterKeptObjectPainter(kShownCaptionCtrlId, std::make_shared<CaptionPainter>());
    RegisterKeptObjectPainter(hwp::kDrawingCtrlId, std::make_shared<DrawingPainter>());
    RegisterKeptObjectPainter(kEquationCtrlId, std::make_shared<EquationPainter>());
    RegisterKeptObjectPainter(hwp::kTableCtrlId, std::make_shared<TablePainter>());
}

} // namespace editor
