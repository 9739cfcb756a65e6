#include "hwp/border_fill.h"

#include <string>

#include "hwp/bytes.h"

namespace hwp {
namespace {

BorderLine ReadLine(ByteReader& in)
{
    BorderLine line;
    line.kind = in.U8();
    line.width = in.U8();
    line.color = in.U32();
    return line;
}

void WriteLine(ByteWriter& out, const BorderLine& line)
{
    out.U8(line.kind);
    out.U8(line.width);
    out.U32(line.color);
}

}  // namespace

HwpUnit BorderLineWidth(std::uint8_t index)
{
    // Hundredths of a millimetre.
    static constexpr int kWidths[] = {10, 12, 15, 20, 25, 30, 40, 50, 60, 70, 100, 150, 200, 300, 400, 500};
    const int hundredths = kWidths[index < 16 ? index : 15];
    return static_cast<HwpUnit>((hundredths * 7200 + 1270) / 2540);
}

std::optional<ColorRef> BorderFillView::Background() const
{
    if (!(fillKinds & kFillColor) || backgroundColor == kNoColor)
        return std::nullopt;
    return backgroundColor;
}

BorderFillView ReadBorderFill(const BorderFill& fill)
{
    ByteReader in(View(fill.data), "border fill record");
    BorderFillView view;
    view.properties = in.U16();
    for (BorderLine& line : view.lines)
        line = ReadLine(in);
    view.diagonal = ReadLine(in);
    view.fillRest.clear();
    if (in.AtEnd())
        return view;   // a record of lines only: written back the same
    view.fillKinds = in.U32();
    if (view.fillKinds & kFillColor) {
        view.backgroundColor = in.U32();
        view.patternColor = in.U32();
        view.patternKind = in.I32();
    }
    view.fillRest = ToBytes(in.Take(in.Remaining()));
    return view;
}

BorderFill WriteBorderFill(const BorderFillView& view)
{
    ByteWriter out;
    out.U16(view.properties);
    for (const BorderLine& line : view.lines)
        WriteLine(out, line);
    WriteLine(out, view.diagonal);
    const bool linesOnly = view.fillKinds == 0 && view.fillRest.empty();
    if (!linesOnly) {
        out.U32(view.fillKinds);
        if (view.fillKinds & kFillColor) {
            out.U32(view.backgroundColor);
            out.U32(view.patternColor);
            out.I32(view.patternKind);
        }
        out.Raw(view.fillRest);
    }
    return BorderFill{ToBytes(out.Data())};
}

BorderFillView SimpleBorderFill(BorderLine line, std::optional<ColorRef> background)
{
    BorderFillView view;
    view.lines = {line, line, line, line};
    view.fillKinds = kFillColor;
    view.backgroundColor = background.value_or(kNoColor);
    view.patternColor = 0;
    view.patternKind = -1;
    view.fillRest = {0, 0, 0, 0};
    return view;
}

std::uint16_t FindOrAddBorderFill(Document& document, const BorderFillView& view)
{
    const BorderFill wanted = WriteBorderFill(view);
    for (std::size_t i = 0; i < document.borderFills.size(); ++i) {
        if (document.borderFills[i] == wanted)
            return static_cast<std::uint16_t>(i + 1);
    }
    if (document.borderFills.size() >= 0xFFFF)
        throw HwpError("the document holds the most border fills a file can name");
    document.borderFills.push_back(wanted);
    return static_cast<std::uint16_t>(document.borderFills.size());
}

}  // namespace hwp
