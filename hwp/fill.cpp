#include "hwp/fill.h"

#include <string>
#include <string_view>

namespace hwp {
namespace {

// No file has a gradient of more colours than its dialog offers; more is damage.
constexpr std::int32_t kMaxGradientColors = 64;

Gradient ReadGradient(ByteReader& in)
{
    Gradient gradient;
    gradient.kind = in.U8();
    gradient.angle = in.I32();
    gradient.centerX = in.I32();
    gradient.centerY = in.I32();
    gradient.blur = in.I32();
    const std::int32_t count = in.I32();
    if (count < 0 || count > kMaxGradientColors)
        throw HwpError("a gradient fill claims " + std::to_string(count) + " colours");
    if (count > 2) {
        for (std::int32_t i = 0; i < count; ++i)
            gradient.positions.push_back(in.I32());
    }
    for (std::int32_t i = 0; i < count; ++i)
        gradient.colors.push_back(in.U32());
    return gradient;
}

void WriteGradient(ByteWriter& out, const Gradient& gradient)
{
    out.U8(gradient.kind);
    out.I32(gradient.angle);
    out.I32(gradient.centerX);
    out.I32(gradient.centerY);
    out.I32(gradient.blur);
    out.I32(static_cast<std::int32_t>(gradient.colors.size()));
    if (gradient.colors.size() > 2) {
        for (std::size_t i = 0; i < gradient.colors.size(); ++i)
            out.I32(i < gradient.positions.size() ? gradient.positions[i] : 0);
    }
    for (const ColorRef color : gradient.colors)
        out.U32(color);
}

// The gradient and image parts and the extra attributes, after the colour part.
void ReadFillRest(ByteReader& in, Fill& fill)
{
    if (fill.kinds & kFillGradient)
        fill.gradient = ReadGradient(in);
    if (fill.kinds & kFillImage) {
        ImageFill image;
        image.mode = in.U8();
        image.brightness = in.I8();
        image.contrast = in.I8();
        image.effect = in.U8();
        image.binItemId = in.U16();
        fill.image = image;
    }
    if (in.AtEnd()) {
        fill.extra.clear();   // an old writer's fill without extra attributes
        return;
    }
    const std::uint32_t size = in.U32();
    const std::string_view attributes = in.Take(size);
    ByteWriter raw;
    raw.U32(size);
    raw.Raw(attributes);
    fill.extra = ToBytes(raw.Data());
    if (fill.gradient && !attributes.empty())
        fill.blendCenter = static_cast<std::uint8_t>(attributes.front());
}

}  // namespace

Fill ReadFill(ByteReader& in)
{
    Fill fill;
    fill.kinds = in.U32();
    if (fill.kinds & kFillColor) {
        fill.face = in.U32();
        fill.patternColor = in.U32();
        fill.pattern = in.I32();
    }
    ReadFillRest(in, fill);
    return fill;
}

void WriteFill(ByteWriter& out, const Fill& fill)
{
    out.U32(fill.kinds);
    if (fill.kinds & kFillColor) {
        out.U32(fill.face);
        out.U32(fill.patternColor);
        out.I32(fill.pattern);
    }
    out.Raw(FillRest(fill));
}

Bytes FillRest(const Fill& fill)
{
    ByteWriter out;
    if ((fill.kinds & kFillGradient) && fill.gradient)
        WriteGradient(out, *fill.gradient);
    if ((fill.kinds & kFillImage) && fill.image) {
        out.U8(fill.image->mode);
        out.I8(fill.image->brightness);
        out.I8(fill.image->contrast);
        out.U8(fill.image->effect);
        out.U16(fill.image->binItemId);
    }
    Bytes extra = fill.extra;
    if (fill.gradient && extra.size() >= 5)
        extra[4] = fill.blendCenter;
    out.Raw(extra);
    return ToBytes(out.Data());
}

Fill FillOf(const BorderFillView& view)
{
    Fill fill;
    fill.kinds = view.fillKinds;
    if (fill.kinds & kFillColor) {
        fill.face = view.backgroundColor;
        fill.patternColor = view.patternColor;
        fill.pattern = view.patternKind;
    }
    ByteReader in(View(view.fillRest), "border fill's fill");
    ReadFillRest(in, fill);
    return fill;
}

}  // namespace hwp
