#include "hwp/kept_xml.h"

#include "hwp/bytes.h"

namespace hwp {

Control NewKeptXmlControl(const KeptXml& kept)
{
    Control control;
    control.code = 11;
    control.ctrlId = kKeptXmlCtrlId;
    Bytes head(4);
    PutLittleEndianAt(head, 0, 4, kKeptXmlCtrlId);
    control.records.push_back({tag::kCtrlHeader, 0, std::move(head)});
    Bytes data;
    data.reserve(kept.xml.size() + 1);
    data.push_back(static_cast<std::uint8_t>(kept.place));
    data.insert(data.end(), kept.xml.begin(), kept.xml.end());
    control.records.push_back({kKeptXmlTag, 1, std::move(data)});
    return control;
}

std::optional<KeptXml> ReadKeptXml(const Control& control)
{
    if (control.ctrlId != kKeptXmlCtrlId || control.records.size() != 2 || control.records[1].tag != kKeptXmlTag ||
        control.records[1].data.empty() || control.records[1].data[0] > static_cast<std::uint8_t>(XmlPlace::Text))
        return std::nullopt;
    const Bytes& data = control.records[1].data;
    return KeptXml{static_cast<XmlPlace>(data[0]), std::string(data.begin() + 1, data.end())};
}

void AddKeptXml(Control& control, const std::string& xml)
{
    Bytes data(1, static_cast<std::uint8_t>(XmlPlace::Run));
    data.insert(data.end(), xml.begin(), xml.end());
    control.records.push_back({kKeptXmlTag, 1, std::move(data)});
}

std::optional<std::string> KeptXmlOf(const Control& control)
{
    if (control.ctrlId == kKeptXmlCtrlId || control.records.empty())
        return std::nullopt;
    const ObjectRecord& last = control.records.back();
    if (last.tag != kKeptXmlTag || last.level != 1 || last.data.empty())
        return std::nullopt;
    return std::string(last.data.begin() + 1, last.data.end());
}

}  // namespace hwp
