#include "hwpx/relative_size.h"

#include <algorithm>
#include <cmath>

#include "hwpx/values.h"
#include "hwpx/xml_writer.h"

namespace hwpx {
namespace {

constexpr long long kWhole = 10000;          // 100 %
constexpr long long kMaxShare = 10 * kWhole;   // larger than any page holds
constexpr std::uint8_t kAbsoluteWidth = 4;
constexpr std::uint8_t kAbsoluteHeight = 2;

// Values come from files: sums are taken wide and a length is never below zero.
hwp::HwpUnit Length(long long value) { return static_cast<hwp::HwpUnit>(std::clamp<long long>(value, 0, 0x7FFFFFFF)); }

// One dimension of an <hp:sz>: its value and basis attributes, and the basis the model
// gave it (ours) next to the one read (kept).
void RestoreAxis(XmlNode& ours, const XmlNode& kept, const SizeBases& bases, bool width)
{
    const QString valueKey = width ? QStringLiteral("width") : QStringLiteral("height");
    const QString basisKey = width ? QStringLiteral("widthRelTo") : QStringLiteral("heightRelTo");
    const auto code = [&](const XmlNode& node) {
        const std::uint8_t absolute = width ? kAbsoluteWidth : kAbsoluteHeight;
        const int found = width ? Code(node.Attr(basisKey), {"PAPER", "PAGE", "COLUMN", "PARA", "ABSOLUTE"}, absolute)
                                : Code(node.Attr(basisKey), {"PAPER", "PAGE", "ABSOLUTE"}, absolute);
        return found == absolute ? std::optional<std::uint8_t>() : std::optional<std::uint8_t>(static_cast<std::uint8_t>(found));
    };
    const std::optional<std::uint8_t> basis = code(kept);
    if (!basis || code(ours))
        return;
    const long long length = ours.Int(valueKey);
    const long long read = kept.Int(valueKey);
    const hwp::HwpUnit base = width ? bases.Width(*basis) : bases.Height(*basis);
    const std::optional<hwp::HwpUnit> readLength = LengthOfShare(read, base);
    const std::optional<long long> share = ShareOfLength(Length(length), base);
    long long value = 0;
    if (readLength ? *readLength == length || share == read : read == length)
        value = read;   // unchanged: the file's own value, a share or one read as a length
    else if (readLength && share)
        value = *share;
    else
        return;   // no share stands for it: the length, absolute
    SetAttr(ours, valueKey, QString::number(value));
    SetAttr(ours, basisKey, kept.Attr(basisKey));
}

}  // namespace

hwp::HwpUnit SizeBases::Width(std::uint8_t basis) const
{
    switch (basis) {
    case 0: return paperWidth;
    case 1: return pageWidth;
    case 2: return columnWidth;
    case 3: return paragraphWidth;
    default: return 0;
    }
}

hwp::HwpUnit SizeBases::Height(std::uint8_t basis) const
{
    return basis == 0 ? paperHeight : basis == 1 ? pageHeight : 0;
}

SizeBases SectionBases(const hwp::Section& section)
{
    const hwp::PageDef& page = section.page;
    SizeBases bases;
    bases.paperWidth = Length(page.landscape ? page.height : page.width);
    bases.paperHeight = Length(page.landscape ? page.width : page.height);
    bases.pageWidth = Length(std::int64_t{bases.paperWidth} - page.leftMargin - page.rightMargin - page.gutterMargin);
    bases.pageHeight = Length(std::int64_t{bases.paperHeight} - page.topMargin - page.headerMargin - page.bottomMargin -
                              page.footerMargin);
    bases.columnWidth = bases.pageWidth;
    if (section.columnCount > 1) {
        // As the page is laid out: columns narrower than 1000 units make the body one.
        const std::int64_t gap = std::max<hwp::HwpUnit>(section.columnGap, 0);
        const std::int64_t width = (std::int64_t{bases.pageWidth} - gap * (section.columnCount - 1)) / section.columnCount;
        if (width >= 1000)
            bases.columnWidth = Length(width);
    }
    bases.paragraphWidth = bases.columnWidth;
    return bases;
}

SizeBases ParagraphBases(SizeBases bases, const hwp::Document& document, std::uint16_t paraShapeId)
{
    bases.paragraphWidth = bases.columnWidth;
    if (paraShapeId < document.paraShapes.size()) {
        const hwp::ParaShape& shape = document.paraShapes[paraShapeId];
        const std::int64_t width = std::int64_t{bases.columnWidth} - shape.leftMargin - shape.rightMargin;
        if (width > 0)
            bases.paragraphWidth = Length(width);
    }
    return bases;
}

std::optional<hwp::HwpUnit> LengthOfShare(long long share, hwp::HwpUnit base)
{
    if (share < 0 || share > kMaxShare || base <= 0)
        return std::nullopt;
    return Length(std::llround(static_cast<double>(share) * base / kWhole));
}

std::optional<long long> ShareOfLength(hwp::HwpUnit length, hwp::HwpUnit base)
{
    if (length < 0 || base <= 0)
        return std::nullopt;
    const long long share = std::llround(static_cast<double>(length) * kWhole / base);
    if (share > kMaxShare)
        return std::nullopt;
    return share;
}

void RestoreRelativeSize(XmlNode& ours, const XmlNode& kept, const SizeBases& bases)
{
    RestoreAxis(ours, kept, bases, true);
    RestoreAxis(ours, kept, bases, false);
}

}  // namespace hwpx
