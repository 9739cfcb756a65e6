#include "hwpx/fields.h"

#include <array>
#include <utility>

#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/paragraph.h"
#include "hwpx/values.h"
#include "hwpx/xml_writer.h"

namespace hwpx {
namespace {

constexpr char16_t kFieldBeginCode = 3;

// The kinds both formats name, as HWPX spells them. An element's own `fieldid` (the
// binary id) wins over its word, so kinds missing here still come back as read.
const std::array<std::pair<const char*, std::uint32_t>, 15> kKinds = {{
    {"HYPERLINK", hwp::CtrlId('%', 'h', 'l', 'k')},
    {"DATE", hwp::CtrlId('%', 'd', 't', 'e')},
    {"DOC_DATE", hwp::CtrlId('%', 'd', 'd', 't')},
    {"PATH", hwp::CtrlId('%', 'p', 'a', 't')},
    {"BOOKMARK", hwp::CtrlId('%', 'b', 'm', 'k')},
    {"MAILMERGE", hwp::CtrlId('%', 'm', 'm', 'g')},
    {"CROSSREF", hwp::CtrlId('%', 'x', 'r', 'f')},
    {"FORMULA", hwp::CtrlId('%', 'f', 'm', 'u')},
    {"SUMMARY", hwp::CtrlId('%', 's', 'm', 'r')},
    {"USER_INFO", hwp::CtrlId('%', 'u', 's', 'r')},
    {"MEMO", hwp::CtrlId('%', '%', 'm', 'e')},
    {"PROOFREADING_MARKS", hwp::CtrlId('%', 'c', 'p', 'r')},
    {"PRIVATE_INFO", hwp::CtrlId('%', 'p', 'r', 'v')},
    {"TABLE_OF_CONTENTS", hwp::CtrlId('%', 't', 'o', 'c')},
    {"UNKNOWN", hwp::CtrlId('%', 'u', 'n', 'k')},
}};

bool IsFieldId(std::uint32_t id) { return (id >> 24) == '%' && id != hwp::kClickHere; }

std::uint32_t IdOf(const XmlNode& element)
{
    const auto own = static_cast<std::uint32_t>(element.Int(u"fieldid"));
    if (IsFieldId(own))
        return own;
    const QString type = element.Attr(u"type");
    for (const auto& [word, id] : kKinds) {
        if (type == QLatin1String(word))
            return id;
    }
    return 0;
}

QString WordOf(std::uint32_t id)
{
    for (const auto& [word, kindId] : kKinds) {
        if (kindId == id)
            return QString::fromLatin1(word);
    }
    return QStringLiteral("UNKNOWN");
}

}  // namespace

bool IsKeptField(const hwp::Control& control)
{
    return control.code == kFieldBeginCode && IsFieldId(control.ctrlId);
}

std::optional<FieldControl> ReadFieldControl(const hwp::Control& control)
{
    if (!IsKeptField(control) || control.records.empty())
        return std::nullopt;
    FieldControl field;
    try {
        hwp::ByteReader in(hwp::View(control.records.front().data), "field");
        in.U32();   // the id, as the control has it
        field.properties = in.U32();
        in.U8();
        field.command = in.Text16();
    } catch (const hwp::HwpError&) {
        return std::nullopt;   // a damaged field has no element to become
    }
    field.ctrlId = control.ctrlId;
    field.name = hwp::ReadFieldName(control.records);
    return field;
}

std::optional<hwp::Control> ReadFieldElement(const XmlNode& fieldBegin)
{
    const std::uint32_t ctrlId = IdOf(fieldBegin);
    if (ctrlId == 0)
        return std::nullopt;
    std::optional<long long> properties;
    std::u16string command;
    for (const XmlNode& child : fieldBegin.children) {
        if (child.IsText())
            continue;
        if (child.name != u"parameters")
            return std::nullopt;
        for (const XmlNode& parameter : child.children) {
            if (parameter.IsText())
                continue;
            const QString name = parameter.Attr(u"name");
            if (parameter.name == u"integerParam" && name == QLatin1String("Prop"))
                properties = parameter.AllText().trimmed().toLongLong();
            else if (parameter.name == u"stringParam" && name == QLatin1String("Command"))
                command = ToU16(parameter.AllText());
            else
                return std::nullopt;
        }
    }
    if (!properties)
        properties = (fieldBegin.Flag(u"editable") ? 1 : 0) | (fieldBegin.Flag(u"dirty") ? 0x8000 : 0);
    hwp::ByteWriter head;
    head.U32(ctrlId);
    head.U32(static_cast<std::uint32_t>(*properties));
    head.U8(0);
    head.Text16(command);
    head.U32(static_cast<std::uint32_t>(fieldBegin.Int(u"id")));
    head.U32(0);
    hwp::Control control;
    control.ctrlId = ctrlId;
    control.code = kFieldBeginCode;
    control.records.push_back({hwp::tag::kCtrlHeader, 0, hwp::ToBytes(head.Data())});
    const std::u16string name = ToU16(fieldBegin.Attr(u"name"));
    if (!name.empty()) {
        hwp::ByteWriter data;
        data.U16(0x021B);   // parameter set of a field
        data.I16(1);
        data.U16(0x4000);   // item: the name
        data.U16(1);        // text
        data.Text16(name);
        control.records.push_back({hwp::tag::kCtrlData, 1, hwp::ToBytes(data.Data())});
    }
    return control;
}

void WriteFieldBegin(QXmlStreamWriter& out, const FieldControl& field, std::uint32_t id)
{
    out.writeStartElement(kParagraphNs, QStringLiteral("fieldBegin"));
    out.writeAttribute(QStringLiteral("id"), QString::number(id));
    out.writeAttribute(QStringLiteral("type"), WordOf(field.ctrlId));
    out.writeAttribute(QStringLiteral("name"), FromU16(field.name));
    out.writeAttribute(QStringLiteral("editable"), QString::number(field.properties & 1));
    out.writeAttribute(QStringLiteral("dirty"), QString::number((field.properties >> 15) & 1));
    out.writeAttribute(QStringLiteral("zorder"), QStringLiteral("-1"));
    out.writeAttribute(QStringLiteral("fieldid"), QString::number(field.ctrlId));
    out.writeStartElement(kParagraphNs, QStringLiteral("parameters"));
    out.writeAttribute(QStringLiteral("cnt"), QStringLiteral("2"));
    out.writeStartElement(kParagraphNs, QStringLiteral("integerParam"));
    out.writeAttribute(QStringLiteral("name"), QStringLiteral("Prop"));
    out.writeCharacters(QString::number(field.properties));
    out.writeEndElement();
    out.writeStartElement(kParagraphNs, QStringLiteral("stringParam"));
    out.writeAttribute(QStringLiteral("name"), QStringLiteral("Command"));
    out.writeCharacters(FromU16(field.command));
    out.writeEndElement();
    out.writeEndElement();
    out.writeEndElement();
}

}  // namespace hwpx
