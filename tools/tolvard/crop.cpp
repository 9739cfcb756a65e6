#include "tools/tolvard/crop.h"

#include "tools/tolvard/page_memory.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tolvard {
namespace {

// Works for RGB32, ARGB32, premultiplied ARGB32 and RGBA8888 alike: opaque white is
// 0xFFFFFFFF in all of them, alpha is the top byte of the 32-bit word in all of them, and
// the test treats the three colour bytes alike, whatever their order. A premultiplied
// pixel below the alpha limit is background anyway.
inline bool IsInk(std::uint32_t pixel)
{
    if ((pixel >> 24) < static_cast<std::uint32_t>(kTransparentAlpha))
        return false;
    constexpr std::uint32_t t = kWhiteThreshold;
    return ((pixel >> 16) & 0xFF) < t || ((pixel >> 8) & 0xFF) < t || (pixel & 0xFF) < t;
}

bool RowHasInk(const std::uint32_t* row, int width)
{
    for (int x = 0; x < width; ++x) {
        // Pure white is by far the most common pixel; skip it without unpacking.
        if (row[x] != 0xFFFFFFFFu && IsInk(row[x]))
            return true;
    }
    return false;
}

bool IsScannable(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied || format == QImage::Format_RGBA8888 ||
           format == QImage::Format_RGBX8888;
}

QImage Scannable(const QImage& page)
{
    return IsScannable(page.format()) ? page : page.convertToFormat(QImage::Format_ARGB32);
}

const std::uint32_t* Row(const QImage& image, int y)
{
    return reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
}

QRect ScannableContentRect(const QImage& image)
{
    const int width = image.width();
    const int height = image.height();
    int top = 0;
    while (top < height && !RowHasInk(Row(image, top), width))
        ++top;
    if (top == height)
        return {};
    int bottom = height - 1;
    while (bottom > top && !RowHasInk(Row(image, bottom), width))
        --bottom;

    // Each row only needs looking at outside the columns already known to hold ink.
    int left = width - 1;
    int right = 0;
    for (int y = top; y <= bottom; ++y) {
        const std::uint32_t* row = Row(image, y);
        for (int x = 0; x < left; ++x) {
            if (IsInk(row[x])) {
                left = x;
                break;
            }
        }
        for (int x = width - 1; x > right; --x) {
            if (IsInk(row[x])) {
                right = x;
                break;
            }
        }
    }
    // The rows at top and bottom hold ink, so some column was found in them.
    if (right < left)
        std::swap(left, right);
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

QRect ContentRect(const QImage& page)
{
    if (page.isNull())
        return {};
    return ScannableContentRect(Scannable(page));
}

QImage CropToContent(const QImage& page, int padding, QRect* content)
{
    padding = std::max(padding, 0);
    const QImage image = page.isNull() ? page : Scannable(page);
    const QRect box = image.isNull() ? QRect() : ScannableContentRect(image);
    if (content)
        *content = box;

    const QImage::Format format = image.isNull() ? QImage::Format_ARGB32 : image.format();
    QImage cropped = NewPageImage(box.width() + 2 * padding, box.height() + 2 * padding, format);
    if (cropped.isNull())
        return cropped;
    cropped.fill(0xFFFFFFFFu);
    cropped.setDotsPerMeterX(image.isNull() ? cropped.dotsPerMeterX() : image.dotsPerMeterX());
    cropped.setDotsPerMeterY(image.isNull() ? cropped.dotsPerMeterY() : image.dotsPerMeterY());
    const std::size_t rowBytes = static_cast<std::size_t>(box.width()) * sizeof(std::uint32_t);
    for (int y = 0; y < box.height(); ++y) {
        const std::uint32_t* from = Row(image, box.top() + y) + box.left();
        auto* to = reinterpret_cast<std::uint32_t*>(cropped.scanLine(padding + y)) + padding;
        std::memcpy(to, from, rowBytes);
    }
    return cropped;
}

} // namespace tolvard
