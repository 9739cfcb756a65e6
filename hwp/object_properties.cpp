#include "hwp/object_properties.h"
#include "hwp/object_description.h"

#include "hwp/bytes.h"
#include "hwp/records.h"

namespace hwp {
namespace {

// Bit ranges of the property word: [shift, width].
struct Bits {
    int shift;
    int width;
    constexpr std::uint32_t Mask() const { return ((1u << width) - 1u) << shift; }
    constexpr std::uint32_t Get(std::uint32_t word) const { return (word >> shift) & ((1u << width) - 1u); }
    constexpr std::uint32_t Put(std::uint32_t value) const { return (value << shift) & Mask(); }
};

constexpr Bits kInline{0, 1};
constexpr Bits kAffectsLine{2, 1};
constexpr Bits kVertRel{3, 2};
constexpr Bits kVertAlign{5, 3};
constexpr Bits kHorzRel{8, 2};
constexpr Bits kHorzAlign{10, 3};
constexpr Bits kFlow{13, 1};
constexpr Bits kOverlap{14, 1};
constexpr Bits kWidthBasis{15, 3};
constexpr Bits kHeightBasis{18, 2};
constexpr Bits kProtect{20, 1};
constexpr Bits kWrap{21, 3};
constexpr Bits kSide{24, 2};
constexpr Bits kNumbering{26, 3};

constexpr std::uint32_t kNamedMask = kInline.Mask() | kAffectsLine.Mask() | kVertRel.Mask() | kVertAlign.Mask() |
                                     kHorzRel.Mask() | kHorzAlign.Mask() | kFlow.Mask() | kOverlap.Mask() |
                                     kWidthBasis.Mask() | kHeightBasis.Mask() | kProtect.Mask() | kWrap.Mask() |
                                     kSide.Mask() | kNumbering.Mask();

}  // namespace

ObjectProperties ReadObjectProperties(std::string_view data, const char* what)
{
    ByteReader in(data, what);
    in.U32();   // control id
    ObjectProperties out;
    const std::uint32_t bits = in.U32();
    out.inlineAsChar = kInline.Get(bits);
    out.affectsLineSpacing = kAffectsLine.Get(bits);
    out.vertRelTo = static_cast<VertRelTo>(kVertRel.Get(bits));
    out.vertAlign = static_cast<std::uint8_t>(kVertAlign.Get(bits));
    out.horzRelTo = static_cast<HorzRelTo>(kHorzRel.Get(bits));
    out.horzAlign = static_cast<std::uint8_t>(kHorzAlign.Get(bits));
    out.flowWithText = kFlow.Get(bits);
    out.allowOverlap = kOverlap.Get(bits);
    out.widthBasis = static_cast<std::uint8_t>(kWidthBasis.Get(bits));
    out.heightBasis = static_cast<std::uint8_t>(kHeightBasis.Get(bits));
    out.protectSize = kProtect.Get(bits);
    out.wrap = static_cast<TextWrap>(kWrap.Get(bits));
    out.textSide = static_cast<std::uint8_t>(kSide.Get(bits));
    out.numbering = static_cast<NumberingKind>(kNumbering.Get(bits));
    out.otherBits = bits & ~kNamedMask;
    out.verticalOffset = in.I32();
    out.horizontalOffset = in.I32();
    out.width = in.I32();
    out.height = in.I32();
    out.zOrder = in.I32();
    for (std::int16_t& margin : out.outerMargins)
        margin = in.I16();
    out.instanceId = in.U32();
    if (in.Remaining() >= 4)
        out.preventPageBreak = in.I32();
    else
        out.preventPageBreak.reset();
    out.rest = ToBytes(in.Take(in.Remaining()));
    return out;
}

Bytes WriteObjectProperties(std::uint32_t ctrlId, const ObjectProperties& p)
{
    ByteWriter out;
    out.U32(ctrlId);
    std::uint32_t bits = p.otherBits & ~kNamedMask;
    bits |= kInline.Put(p.inlineAsChar) | kAffectsLine.Put(p.affectsLineSpacing) |
            kVertRel.Put(static_cast<std::uint32_t>(p.vertRelTo)) | kVertAlign.Put(p.vertAlign) |
            kHorzRel.Put(static_cast<std::uint32_t>(p.horzRelTo)) | kHorzAlign.Put(p.horzAlign) |
            kFlow.Put(p.flowWithText) | kOverlap.Put(p.allowOverlap) | kWidthBasis.Put(p.widthBasis) |
            kHeightBasis.Put(p.heightBasis) | kProtect.Put(p.protectSize) |
            kWrap.Put(static_cast<std::uint32_t>(p.wrap)) | kSide.Put(p.textSide) |
            kNumbering.Put(static_cast<std::uint32_t>(p.numbering));
    out.U32(bits);
    out.I32(p.verticalOffset);
    out.I32(p.horizontalOffset);
    out.I32(p.width);
    out.I32(p.height);
    out.I32(p.zOrder);
    for (std::int16_t margin : p.outerMargins)
        out.I16(margin);
    out.U32(p.instanceId);
    if (p.preventPageBreak)
        out.I32(*p.preventPageBreak);
    out.Raw(p.rest);
    return ToBytes(out.Data());
}

Control StartObjectControl(std::uint32_t ctrlId, const ObjectProperties& properties,
                           const std::vector<ObjectRecord>& caption, const Control* original)
{
    Control control;
    if (original) {
        control.position = original->position;
        control.code = original->code;
        control.extraUnits = original->extraUnits;
    }
    control.ctrlId = ctrlId;
    control.end = control.position;
    control.records.push_back(ObjectRecord{tag::kCtrlHeader, 0, WriteObjectProperties(ctrlId, properties)});
    control.records.insert(control.records.end(), caption.begin(), caption.end());
    return control;
}

std::u16string ObjectDescription(const ObjectProperties& properties)
{
    const Bytes& rest = properties.rest;
    if (rest.size() < 2)
        return {};
    const std::size_t length = rest[0] | (rest[1] << 8);
    if (rest.size() < 2 + 2 * length)
        return {};
    std::u16string text(length, u'\0');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char16_t>(rest[2 + 2 * i] | (rest[3 + 2 * i] << 8));
    return text;
}

void SetObjectDescription(ObjectProperties& properties, std::u16string_view description)
{
    description = description.substr(0, 0xFFFF);
    // The description follows the page-break word, which early files leave out.
    if (!properties.preventPageBreak)
        properties.preventPageBreak = 0;
    Bytes tail;
    const Bytes& rest = properties.rest;
    if (rest.size() >= 2) {
        const std::size_t length = rest[0] | (rest[1] << 8);
        if (rest.size() >= 2 + 2 * length)
            tail.assign(rest.begin() + static_cast<std::ptrdiff_t>(2 + 2 * length), rest.end());
    }
    Bytes out;
    out.reserve(2 + 2 * description.size() + tail.size());
    out.push_back(static_cast<std::uint8_t>(description.size() & 0xFF));
    out.push_back(static_cast<std::uint8_t>(description.size() >> 8));
    for (char16_t c : description) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    out.insert(out.end(), tail.begin(), tail.end());
    properties.rest = std::move(out);
}

}  // namespace hwp
