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

std::u16string DescribeKeptXml(const KeptXml& kept)
{
    // The element's local name: after its prefix, up to the first space or end of tag.
    const std::size_t end = kept.xml.find_first_of(" />");
    std::string name = kept.xml.substr(0, end);
    if (const std::size_t colon = name.find(':'); colon != std::string::npos)
        name.erase(0, colon + 1);
    if (!name.empty() && name.front() == '<')
        name.erase(0, 1);
    static const std::pair<const char*, const char16_t*> kNames[] = {
        {"arc", u"호"},           {"polygon", u"다각형"},         {"curve", u"곡선"},
        {"connectLine", u"연결선"}, {"container", u"묶음 개체"},   {"ole", u"OLE 개체"},
        {"video", u"동영상"},      {"textart", u"글맵시"},        {"chart", u"차트"},
        {"btn", u"양식 개체"},      {"radioBtn", u"양식 개체"},    {"checkBtn", u"양식 개체"},
        {"comboBox", u"양식 개체"}, {"listBox", u"양식 개체"},     {"edit", u"양식 개체"},
        {"scrollBar", u"양식 개체"}, {"autoNum", u"자동 번호"},    {"newNum", u"새 번호"},
        {"pageNum", u"쪽 번호 위치"}, {"pageHiding", u"감추기"},  {"pageNumCtrl", u"홀짝 조정"},
        {"bookmark", u"책갈피"},    {"indexmark", u"찾아보기 표식"}, {"hiddenComment", u"숨은 설명"},
        {"compose", u"글자 겹침"},  {"dutmal", u"덧말"},           {"fieldBegin", u"필드"},
        {"fieldEnd", u"필드 끝"},   {"colPr", u"단 정의"}};
    for (const auto& [element, words] : kNames) {
        if (name == element)
            return words;
    }
    if (name.ends_with("Begin") || name.ends_with("End"))
        return u"표식";   // change tracking, highlighting, title marks
    return u"HWPX 개체";
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
