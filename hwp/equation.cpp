#include "hwp/equation.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/paragraph.h"
#include "hwp/records.h"

namespace hwp {
namespace {

// CTRL_HEADER common object properties: id, properties, vertical offset, horizontal
// offset, width, height, z-order, four margins, instance id, page-break flag, caption.
constexpr std::size_t kPropertiesAt = 4;
constexpr std::size_t kVerticalAt = 8;
constexpr std::size_t kHorizontalAt = 12;
constexpr std::size_t kWidthAt = 16;
constexpr std::size_t kHeightAt = 20;
constexpr std::size_t kCommonMinimum = 24;

// The EQEDIT record's fields. Files written by the format's own program hold a 16-bit
// value between the baseline and the version text that the published layout leaves
// out; both shapes are read, and a record is written back in the shape it came in.
struct EqEdit {
    std::uint32_t properties = 0;
    std::u16string script;
    std::uint32_t size = 1000;
    std::uint32_t color = 0;
    std::int16_t baseline = 0;
    std::optional<std::uint16_t> reserved = std::uint16_t{0};
    std::u16string version;
    std::u16string font;
    std::string tail;   // bytes after the known fields, kept
};

bool ReadTail(ByteReader& in, EqEdit& e, bool withReserved)
{
    try {
        if (withReserved)
            e.reserved = in.U16();
        else
            e.reserved.reset();
        e.version = in.Text16();
        e.font = in.Text16();
        e.tail = std::string(in.Take(in.Remaining()));
        return true;
    } catch (const HwpError&) {
        return false;
    }
}

EqEdit ParseEqEdit(const Bytes& data)
{
    const std::string_view bytes = View(data);
    ByteReader in(bytes, "the equation record");
    EqEdit e;
    e.properties = in.U32();
    e.script = in.Text16();
    e.size = in.U32();
    e.color = in.U32();
    e.baseline = in.I16();
    const std::size_t rest = in.Offset();
    // The shape that uses the bytes exactly wins; the one with the extra value first.
    for (bool withReserved : {true, false}) {
        ByteReader trial(bytes.substr(rest), "the equation record");
        EqEdit candidate = e;
        if (ReadTail(trial, candidate, withReserved) && candidate.tail.empty()) return candidate;
    }
    for (bool withReserved : {true, false}) {
        ByteReader trial(bytes.substr(rest), "the equation record");
        EqEdit candidate = e;
        if (ReadTail(trial, candidate, withReserved)) return candidate;
    }
    // Older records end after the baseline.
    e.reserved.reset();
    e.tail = std::string(bytes.substr(rest));
    return e;
}

Bytes WriteEqEdit(const EqEdit& e)
{
    ByteWriter out;
    out.U32(e.properties);
    if (e.script.size() > 0xFFFF) throw HwpError("the equation script is longer than an equation record can hold");
    out.Text16(e.script);
    out.U32(e.size);
    out.U32(e.color);
    out.I16(e.baseline);
    if (e.reserved) out.U16(*e.reserved);
    out.Text16(e.version.substr(0, 0xFFFF));
    out.Text16(e.font.substr(0, 0xFFFF));
    out.Raw(e.tail);
    return ToBytes(out.Data());
}

const ObjectRecord* FindEqEdit(const Control& control)
{
    for (const ObjectRecord& r : control.records) {
        if (r.tag == tag::kEqEdit && r.level == 1) return &r;
    }
    return nullptr;
}

bool HasHeader(const Control& control)
{
    return !control.records.empty() && control.records.front().tag == tag::kCtrlHeader &&
           control.records.front().data.size() >= kCommonMinimum &&
           LittleEndianAt(control.records.front().data, 0, 4) == kEquation;
}

}  // namespace

bool IsEquation(const Control& control)
{
    return control.ctrlId == kEquation && HasHeader(control) && FindEqEdit(control) != nullptr;
}

Equation ReadEquation(const Control& control)
{
    if (control.ctrlId != kEquation || !HasHeader(control))
        throw HwpError("the control is not an equation, or its header is cut short");
    const ObjectRecord* record = FindEqEdit(control);
    if (!record) throw HwpError("the equation has no equation record");
    const EqEdit e = ParseEqEdit(record->data);
    Equation eq;
    eq.script = e.script;
    eq.baseSize = static_cast<std::int32_t>(e.size);
    eq.color = e.color;
    eq.baseline = e.baseline;
    eq.versionText = e.version;
    eq.fontName = e.font;
    eq.properties = e.properties;
    const Bytes& header = control.records.front().data;
    eq.inlineAsChar = (LittleEndianAt(header, kPropertiesAt, 4) & 1) != 0;
    eq.verticalOffset = static_cast<HwpUnit>(LittleEndianAt(header, kVerticalAt, 4));
    eq.horizontalOffset = static_cast<HwpUnit>(LittleEndianAt(header, kHorizontalAt, 4));
    eq.width = static_cast<HwpUnit>(LittleEndianAt(header, kWidthAt, 4));
    eq.height = static_cast<HwpUnit>(LittleEndianAt(header, kHeightAt, 4));
    return eq;
}

void WriteEquation(const Equation& equation, Control& control)
{
    if (control.ctrlId != kEquation || !HasHeader(control))
        throw HwpError("the control is not an equation, or its header is cut short");
    EqEdit e;
    ObjectRecord* record = nullptr;
    for (ObjectRecord& r : control.records) {
        if (r.tag == tag::kEqEdit && r.level == 1) {
            record = &r;
            break;
        }
    }
    if (record) e = ParseEqEdit(record->data);
    e.properties = equation.properties;
    e.script = equation.script;
    e.size = static_cast<std::uint32_t>(equation.baseSize);
    e.color = equation.color;
    e.baseline = equation.baseline;
    e.version = equation.versionText;
    e.font = equation.fontName;
    Bytes data = WriteEqEdit(e);
    if (record) {
        record->data = std::move(data);
    } else {
        // Right below the header, before any caption list.
        control.records.insert(control.records.begin() + 1, ObjectRecord{tag::kEqEdit, 1, std::move(data)});
    }
    Bytes& header = control.records.front().data;
    const std::uint32_t properties = LittleEndianAt(header, kPropertiesAt, 4);
    PutLittleEndianAt(header, kPropertiesAt, 4, equation.inlineAsChar ? (properties | 1u) : (properties & ~1u));
    PutLittleEndianAt(header, kVerticalAt, 4, static_cast<std::uint32_t>(equation.verticalOffset));
    PutLittleEndianAt(header, kHorizontalAt, 4, static_cast<std::uint32_t>(equation.horizontalOffset));
    PutLittleEndianAt(header, kWidthAt, 4, static_cast<std::uint32_t>(equation.width));
    PutLittleEndianAt(header, kHeightAt, 4, static_cast<std::uint32_t>(equation.height));
}

Control NewEquationControl(const Equation& equation)
{
    Control control;
    control.code = 11;
    control.ctrlId = kEquation;
    ByteWriter header;
    header.U32(kEquation);
    header.U32(0);            // properties: written by WriteEquation
    header.I32(0);            // vertical offset
    header.I32(0);            // horizontal offset
    header.U32(0);            // width
    header.U32(0);            // height
    header.I32(0);            // z-order
    for (int i = 0; i < 4; ++i) header.I16(0);   // margins
    header.U32(0);            // instance id
    header.I32(0);            // page-break flag
    header.Text16(u"");       // caption text for readers that cannot draw it
    control.records.push_back(ObjectRecord{tag::kCtrlHeader, 0, ToBytes(header.Data())});
    WriteEquation(equation, control);
    return control;
}

void SetEquationBox(Equation& equation, HwpUnit width, HwpUnit ascent, HwpUnit descent)
{
    ascent = std::max<HwpUnit>(0, ascent);
    descent = std::max<HwpUnit>(0, descent);
    equation.width = std::max<HwpUnit>(0, width);
    equation.height = ascent + descent;
    equation.baseline = equation.height > 0
                            ? static_cast<std::int16_t>(std::lround(100.0 * ascent / equation.height))
                            : std::int16_t{0};
}

}  // namespace hwp
