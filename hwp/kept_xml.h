// An object of an HWPX document that the model does not read (an arc, a polygon, a form
// object, an auto number, a bookmark, a field of another kind, a change-tracking mark,
// ...), kept in its paragraph as a control holding the element's XML: it keeps its place
// through editing, inside tables and boxes too, and goes back into an HWPX file as read.
// An HWP file holds it as a control of an id and a record of our own, which our reader
// reads back; the word processor knows neither.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "hwp/document.h"
#include "hwp/records.h"

namespace hwp {

constexpr std::uint32_t kKeptXmlCtrlId = CtrlId('x', 'm', 'l', 'k');
// Above every tag the format defines.
constexpr std::uint16_t kKeptXmlTag = 0x3F0;

// Where the element stood: a run's child, a child of a run's <ctrl>, or inside a <t>
// between pieces of text.
enum class XmlPlace : std::uint8_t { Run = 0, Ctrl = 1, Text = 2 };

struct KeptXml {
    XmlPlace place = XmlPlace::Run;
    std::string xml;   // the element as XML text of its own, namespaces declared

    bool operator==(const KeptXml&) const = default;
};

Control NewKeptXmlControl(const KeptXml& kept);
// The kept element of a control made by NewKeptXmlControl; nullopt for any other.
std::optional<KeptXml> ReadKeptXml(const Control& control);

// What the kept element is, in the words the pane shows an object by ("호", "책갈피").
std::u16string DescribeKeptXml(const KeptXml& kept);

// The element a table, picture, equation or drawn shape was read from, as far as the
// model has no field for it (rotation, shadows, captions, effects, gradient fills, ...):
// a record at the end of the control's, which the HWPX writer merges with what the model
// holds.
void AddKeptXml(Control& control, const std::string& xml);
std::optional<std::string> KeptXmlOf(const Control& control);

}  // namespace hwp
