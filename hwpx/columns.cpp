#include "hwpx/columns.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/paragraph.h"
#include "hwp/records.h"
#include "hwpx/values.h"
#include "hwpx/xml_writer.h"

namespace hwpx {
namespace {

// Unequal columns keep their widths and gaps as shares of this.
constexpr double kWhole = 32768;

constexpr std::array<const char*, 3> kKinds{"NEWSPAPER", "BALANCED_NEWSPAPER", "PARALLEL"};
constexpr std::array<const char*, 3> kLayouts{"LEFT", "RIGHT", "MIRROR"};
constexpr std::array<double, 16> kLineWidths{0.1, 0.12, 0.15, 0.2, 0.25, 0.3, 0.4, 0.5,
                                            0.6, 0.7, 1.0,  1.5,  2.0, 3.0, 4.0, 5.0};
constexpr std::array<const char*, 18> kLineKinds{
    "NONE", "SOLID", "DASH", "DOT", "DASH_DOT", "DASH_DOT_DOT", "LONG_DASH", "CIRCLE", "DOUBLE_SLIM", "SLIM_THICK",
    "THICK_SLIM", "SLIM_THICK_SLIM", "WAVE", "DOUBLE_WAVE", "THICK_3D", "THICK_3D_REVERS", "3D", "3D_REVERS"};

template <std::size_t N>
QString WordOf(const std::array<const char*, N>& words, std::size_t code)
{
    return QString::fromLatin1(words[code < N ? code : 0]);
}

}  // namespace

hwp::Control ReadColumnsElement(const XmlNode& colPr)
{
    const auto count = std::clamp<std::uint16_t>(Num<std::uint16_t>(colPr, u"colCount", 1), 1, 255);
    const std::vector<const XmlNode*> sizes = colPr.Children(u"colSz");
    double total = 0;
    for (const XmlNode* size : sizes)
        total += std::max<double>(0, size->Int(u"width")) + std::max<double>(0, size->Int(u"gap"));
    const bool same = colPr.Attr(u"sameSz", QStringLiteral("1")) != QLatin1String("0") || sizes.size() != count || total <= 0;
    hwp::ByteWriter head;
    head.U32(hwp::kCold);
    head.U16(static_cast<std::uint16_t>(Code(colPr.Attr(u"type"), {"NEWSPAPER", "BALANCED_NEWSPAPER", "PARALLEL"}) |
                                        (count << 2) | (Code(colPr.Attr(u"layout"), {"LEFT", "RIGHT", "MIRROR"}) << 10) |
                                        (same ? 1 << 12 : 0)));
    head.U16(Num<std::uint16_t>(colPr, u"sameGap"));
    if (same) {
        head.U16(0);
    } else {
        const auto share = [total](long long value) {
            return static_cast<std::uint16_t>(std::lround(std::max<double>(0, value) * kWhole / total));
        };
        for (const XmlNode* size : sizes) {
            head.U16(share(size->Int(u"width")));
            head.U16(share(size->Int(u"gap")));
        }
    }
    const XmlNode* line = colPr.Child(u"colLine");
    head.U8(line == nullptr ? 0 : LineKindCode(line->Attr(u"type")));
    head.U8(line == nullptr ? 0 : LineWidthCode(line->Attr(u"width")));
    head.U32(line == nullptr ? 0 : Color(line->Attr(u"color"), 0));
    hwp::Control control;
    control.ctrlId = hwp::kCold;
    control.code = 2;
    control.records.push_back({hwp::tag::kCtrlHeader, 0, hwp::ToBytes(head.Data())});
    return control;
}

// The header: id, properties (kind bits 0..1, count 2..9, layout 10..11, equal widths
// 12), gap, then a word of more properties, or with unequal widths each column's width
// and gap as shares of 32768; the separator's kind, width and colour.
bool WriteColumnsElement(QXmlStreamWriter& out, const hwp::Control& control, hwp::HwpUnit bodyWidth)
{
    if (control.ctrlId != hwp::kCold || control.records.empty() || control.records.front().tag != hwp::tag::kCtrlHeader)
        return false;
    std::uint16_t properties = 0;
    std::uint16_t gap = 0;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> shares;
    std::uint8_t lineKind = 0, lineWidth = 0;
    std::uint32_t lineColor = 0;
    try {
        hwp::ByteReader in(hwp::View(control.records.front().data), "column definition");
        in.U32();
        properties = in.U16();
        gap = in.U16();
        const std::uint16_t count = std::max(1, (properties >> 2) & 0xFF);
        if ((properties & 0x1000) != 0) {
            in.U16();
        } else {
            for (std::uint16_t i = 0; i < count; ++i) {
                const std::uint16_t width = in.U16();
                shares.emplace_back(width, in.U16());
            }
        }
        lineKind = in.U8();
        lineWidth = in.U8();
        lineColor = in.U32();
    } catch (const hwp::HwpError&) {
        return false;
    }
    const auto count = static_cast<std::uint16_t>(std::max(1, (properties >> 2) & 0xFF));
    out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
    out.writeStartElement(kParagraphNs, QStringLiteral("colPr"));
    out.writeAttribute(QStringLiteral("id"), QString());
    out.writeAttribute(QStringLiteral("type"), WordOf(kKinds, properties & 3));
    out.writeAttribute(QStringLiteral("layout"), WordOf(kLayouts, (properties >> 10) & 3));
    out.writeAttribute(QStringLiteral("colCount"), QString::number(count));
    out.writeAttribute(QStringLiteral("sameSz"), shares.empty() ? QStringLiteral("1") : QStringLiteral("0"));
    out.writeAttribute(QStringLiteral("sameGap"), QString::number(gap));
    if (lineKind != 0) {
        out.writeEmptyElement(kParagraphNs, QStringLiteral("colLine"));
        out.writeAttribute(QStringLiteral("type"), WordOf(kLineKinds, lineKind));
        out.writeAttribute(QStringLiteral("width"),
                           QString::number(kLineWidths[lineWidth < kLineWidths.size() ? lineWidth : 0]) + QStringLiteral(" mm"));
        out.writeAttribute(QStringLiteral("color"), ColorText(lineColor));
    }
    const auto length = [bodyWidth](std::uint16_t share) {
        return QString::number(std::lround(share * static_cast<double>(std::max(0, bodyWidth)) / kWhole));
    };
    for (const auto& [width, after] : shares) {
        out.writeEmptyElement(kParagraphNs, QStringLiteral("colSz"));
        out.writeAttribute(QStringLiteral("width"), length(width));
        out.writeAttribute(QStringLiteral("gap"), length(after));
    }
    out.writeEndElement();
    out.writeEndElement();
    return true;
}

}  // namespace hwpx
