#include "hwpx/numbers.h"

#include <array>
#include <string_view>

#include "hwp/auto_number.h"
#include "hwp/bytes.h"
#include "hwp/records.h"
#include "hwpx/values.h"
#include "hwpx/xml_writer.h"

namespace hwpx {
namespace {

constexpr std::array<const char*, 6> kKinds{"PAGE", "FOOTNOTE", "ENDNOTE", "PICTURE", "TABLE", "EQUATION"};
constexpr std::array<const char*, 17> kShapes{
    "DIGIT", "CIRCLED_DIGIT", "ROMAN_CAPITAL", "ROMAN_SMALL", "LATIN_CAPITAL", "LATIN_SMALL", "CIRCLED_LATIN_CAPITAL",
    "CIRCLED_LATIN_SMALL", "HANGUL_SYLLABLE", "CIRCLED_HANGUL_SYLLABLE", "HANGUL_JAMO", "CIRCLED_HANGUL_JAMO",
    "HANGUL_PHONETIC", "IDEOGRAPH", "CIRCLED_IDEOGRAPH", "DECAGON_CIRCLE", "DECAGON_CIRCLE_HANJA"};
constexpr std::array<const char*, 11> kPlaces{"NONE", "TOP_LEFT", "TOP_CENTER", "TOP_RIGHT", "BOTTOM_LEFT",
                                              "BOTTOM_CENTER", "BOTTOM_RIGHT", "OUTSIDE_TOP", "OUTSIDE_BOTTOM",
                                              "INSIDE_TOP", "INSIDE_BOTTOM"};
// A page hiding's attributes, one for each bit of its properties.
constexpr std::array<const char*, 6> kHidings{"hideHeader", "hideFooter", "hideMasterPage",
                                              "hideBorder", "hideFill",   "hidePageNum"};

template <std::size_t N>
std::uint32_t CodeOf(const QString& word, const std::array<const char*, N>& words)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (word == QLatin1String(words[i]))
            return static_cast<std::uint32_t>(i);
    }
    return 0;
}

template <std::size_t N>
QString WordOf(const std::array<const char*, N>& words, std::size_t code)
{
    return QString::fromLatin1(words[code < N ? code : 0]);
}

std::uint32_t ShapeCode(const QString& word)
{
    if (word == QLatin1String("SYMBOL"))
        return hwp::number_shape::kFourSymbols;
    if (word == QLatin1String("USER_CHAR"))
        return hwp::number_shape::kUserSymbol;
    return CodeOf(word, kShapes);
}

QString ShapeWord(std::uint8_t shape)
{
    if (shape == hwp::number_shape::kFourSymbols)
        return QStringLiteral("SYMBOL");
    if (shape == hwp::number_shape::kUserSymbol)
        return QStringLiteral("USER_CHAR");
    return WordOf(kShapes, shape);
}

// A character attribute: its first unit, 0 when empty.
std::uint16_t CharOf(const XmlNode& node, QStringView key)
{
    const QString text = node.Attr(key);
    return text.isEmpty() ? 0 : text.front().unicode();
}

QString CharText(char16_t c)
{
    return c == 0 ? QString() : QString(QChar(c));
}

hwp::Control HeaderControl(std::uint32_t ctrlId, char16_t code, hwp::ByteWriter& head)
{
    hwp::Control control;
    control.ctrlId = ctrlId;
    control.code = code;
    control.records.push_back({hwp::tag::kCtrlHeader, 0, hwp::ToBytes(head.Data())});
    return control;
}

void WriteAutoNumber(QXmlStreamWriter& out, const hwp::AutoNumber& number)
{
    out.writeStartElement(kParagraphNs, QStringLiteral("autoNum"));
    out.writeAttribute(QStringLiteral("num"), QString::number(number.number));
    out.writeAttribute(QStringLiteral("numType"), WordOf(kKinds, number.Kind()));
    out.writeEmptyElement(kParagraphNs, QStringLiteral("autoNumFormat"));
    out.writeAttribute(QStringLiteral("type"), ShapeWord(number.Shape()));
    out.writeAttribute(QStringLiteral("userChar"), CharText(number.userSymbol));
    out.writeAttribute(QStringLiteral("prefixChar"), CharText(number.prefix));
    out.writeAttribute(QStringLiteral("suffixChar"), CharText(number.suffix));
    out.writeAttribute(QStringLiteral("supscript"), QString::number(number.Superscript() ? 1 : 0));
    out.writeEndElement();
}

}  // namespace

std::optional<hwp::Control> ReadNumberElement(const XmlNode& element)
{
    hwp::ByteWriter head;
    if (element.name == u"autoNum") {
        const XmlNode none;
        const XmlNode* format = element.Child(u"autoNumFormat");
        const XmlNode& shape = format != nullptr ? *format : none;
        head.U32(hwp::kAutoNumberCtrlId);
        head.U32((CodeOf(element.Attr(u"numType"), kKinds) & 0x0F) | (ShapeCode(shape.Attr(u"type")) << 4) |
                 (shape.Flag(u"supscript") ? 0x1000u : 0u));
        head.U16(Num<std::uint16_t>(element, u"num", 1));
        head.U16(CharOf(shape, u"userChar"));
        head.U16(CharOf(shape, u"prefixChar"));
        head.U16(CharOf(shape, u"suffixChar"));
        return HeaderControl(hwp::kAutoNumberCtrlId, 18, head);
    }
    if (element.name == u"newNum") {
        head.U32(hwp::kNewNumberCtrlId);
        head.U32(CodeOf(element.Attr(u"numType"), kKinds) & 0x0F);
        head.U16(Num<std::uint16_t>(element, u"num", 1));
        return HeaderControl(hwp::kNewNumberCtrlId, 21, head);
    }
    if (element.name == u"pageNum") {
        // The side character stands on both sides of the number, as the binary format
        // writes it: before, after and as its dash.
        const std::uint16_t side = CharOf(element, u"sideChar");
        head.U32(hwp::kPageNumberPositionCtrlId);
        head.U32((ShapeCode(element.Attr(u"formatType")) & 0xFF) | (CodeOf(element.Attr(u"pos"), kPlaces) << 8));
        head.U16(0);
        head.U16(side);
        head.U16(side);
        head.U16(side);
        return HeaderControl(hwp::kPageNumberPositionCtrlId, 21, head);
    }
    if (element.name == u"pageHiding") {
        std::uint32_t hidden = 0;
        for (std::size_t bit = 0; bit < kHidings.size(); ++bit)
            hidden |= element.Flag(QString::fromLatin1(kHidings[bit])) ? 1u << bit : 0u;
        head.U32(hwp::kPageHidingCtrlId);
        head.U32(hidden);
        return HeaderControl(hwp::kPageHidingCtrlId, 21, head);
    }
    return std::nullopt;
}

bool WriteNumberElement(QXmlStreamWriter& out, const hwp::Control& control)
{
    if (control.ctrlId == hwp::kPageHidingCtrlId && !control.records.empty() && control.records.front().data.size() >= 8) {
        const std::uint32_t hidden = hwp::LittleEndianAt(control.records.front().data, 4, 4);
        out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
        out.writeEmptyElement(kParagraphNs, QStringLiteral("pageHiding"));
        for (std::size_t bit = 0; bit < kHidings.size(); ++bit)
            out.writeAttribute(QString::fromLatin1(kHidings[bit]), QString::number((hidden >> bit) & 1));
        out.writeEndElement();
        return true;
    }
    const std::optional<hwp::AutoNumber> number = hwp::ReadAutoNumber(control);
    const std::optional<hwp::NewNumber> restart = number ? std::nullopt : hwp::ReadNewNumber(control);
    const std::optional<hwp::PageNumberPosition> position =
        number || restart ? std::nullopt : hwp::ReadPageNumberPosition(control);
    if (!number && !restart && !position)
        return false;
    out.writeStartElement(kParagraphNs, QStringLiteral("ctrl"));
    if (number) {
        WriteAutoNumber(out, *number);
    } else if (restart) {
        out.writeEmptyElement(kParagraphNs, QStringLiteral("newNum"));
        out.writeAttribute(QStringLiteral("num"), QString::number(restart->number));
        out.writeAttribute(QStringLiteral("numType"), WordOf(kKinds, restart->Kind()));
    } else {
        out.writeEmptyElement(kParagraphNs, QStringLiteral("pageNum"));
        out.writeAttribute(QStringLiteral("pos"), WordOf(kPlaces, static_cast<std::size_t>(position->Place())));
        out.writeAttribute(QStringLiteral("formatType"), ShapeWord(position->Shape()));
        const char16_t side = position->dash != 0 ? position->dash : position->prefix;
        out.writeAttribute(QStringLiteral("sideChar"), CharText(side));
    }
    out.writeEndElement();
    return true;
}

}  // namespace hwpx
