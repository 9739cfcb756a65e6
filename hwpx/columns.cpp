#include "hwpx/columns.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/paragraph.h"
#include "hwp/records.h"
#include "hwp/section.h"
#include "hwpx/values.h"
#include "hwpx/xml_writer.h"

namespace hwpx {
namespace {

// Unequal columns keep their widths and gaps as shares of this, in both formats (the
// word processor's column sizes add up to it, not to the body's width).
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

hwp::Columns ColumnsOf(const XmlNode& colPr)
{
    hwp::Columns columns;
    columns.count = std::clamp<std::uint16_t>(Num<std::uint16_t>(colPr, u"colCount", 1), 1, 255);
    columns.kind = static_cast<std::uint8_t>(Code(colPr.Attr(u"type"), {"NEWSPAPER", "BALANCED_NEWSPAPER", "PARALLEL"}));
    columns.direction = static_cast<std::uint8_t>(Code(colPr.Attr(u"layout"), {"LEFT", "RIGHT", "MIRROR"}));
    columns.gap = Num<std::uint16_t>(colPr, u"sameGap");
    const std::vector<const XmlNode*> sizes = colPr.Children(u"colSz");
    double total = 0;
    for (const XmlNode* size : sizes)
        total += std::max<double>(0, size->Int(u"width")) + std::max<double>(0, size->Int(u"gap"));
    columns.sameWidth = colPr.Attr(u"sameSz", QStringLiteral("1")) != QLatin1String("0") || sizes.size() != columns.count ||
                        total <= 0;
    if (!columns.sameWidth && columns.count > 1) {
        const auto share = [total](long long value) {
            return static_cast<std::uint16_t>(std::lround(std::max<double>(0, value) * kWhole / total));
        };
        for (const XmlNode* size : sizes) {
            columns.shares.push_back(share(size->Int(u"width")));
            columns.shares.push_back(share(size->Int(u"gap")));
        }
    }
    if (const XmlNode* line = colPr.Child(u"colLine")) {
        columns.line.kind = LineKindCode(line->Attr(u"type"));
        columns.line.width = LineWidthCode(line->Attr(u"width"));
        columns.line.color = Color(line->Attr(u"color"), 0);
    }
    return columns;
}

hwp::Control ReadColumnsElement(const XmlNode& colPr)
{
    return hwp::ColumnsControl(ColumnsOf(colPr));
}

void WriteColumnsElement(QXmlStreamWriter& out, const hwp::Columns& columns)
{
    const bool widths = !columns.sameWidth && columns.count > 1 && columns.shares.size() == 2u * columns.count;
    out.writeStartElement(kParagraphNs, QStringLiteral("colPr"));
    out.writeAttribute(QStringLiteral("id"), QString());
    out.writeAttribute(QStringLiteral("type"), WordOf(kKinds, columns.kind));
    out.writeAttribute(QStringLiteral("layout"), WordOf(kLayouts, columns.direction));
    out.writeAttribute(QStringLiteral("colCount"), QString::number(std::clamp<int>(columns.count, 1, 255)));
    out.writeAttribute(QStringLiteral("sameSz"), widths ? QStringLiteral("0") : QStringLiteral("1"));
    out.writeAttribute(QStringLiteral("sameGap"), QString::number(std::max<hwp::HwpUnit>(columns.gap, 0)));
    if (columns.line.kind != 0) {
        const std::uint8_t width = columns.line.width;
        out.writeEmptyElement(kParagraphNs, QStringLiteral("colLine"));
        out.writeAttribute(QStringLiteral("type"), WordOf(kLineKinds, columns.line.kind));
        out.writeAttribute(QStringLiteral("width"),
                           QString::number(kLineWidths[width < kLineWidths.size() ? width : 0]) + QStringLiteral(" mm"));
        out.writeAttribute(QStringLiteral("color"), ColorText(columns.line.color));
    }
    for (std::size_t i = 0; widths && i + 1 < columns.shares.size(); i += 2) {
        out.writeEmptyElement(kParagraphNs, QStringLiteral("colSz"));
        out.writeAttribute(QStringLiteral("width"), QString::number(columns.shares[i]));
        out.writeAttribute(QStringLiteral("gap"), QString::number(columns.shares[i + 1]));
    }
    out.writeEndElement();
}

bool WriteColumnsElement(QXmlStreamWriter& out, const hwp::Control& control)
{
    if (control.ctrlId != hwp::kCold || control.records.empty() || control.records.front().tag != hwp::tag::kCtrlHeader)
        return false;
    hwp::Columns columns;
    try {
        columns = hwp::ReadColumns(control);
    } catch (const hwp::HwpError&) {
        return false;
    }
    out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
    WriteColumnsElement(out, columns);
    out.writeEndElement();
    return true;
}

}  // namespace hwpx
