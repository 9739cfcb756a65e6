#include "hwp/limits.h"

#include "hwp/error.h"
#include "hwp/objects.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

namespace hwp {
namespace {

std::string Millimetres(std::int64_t units)
{
    return std::to_string(std::llround(static_cast<double>(units) * 25.4 / 7200)) + " mm";
}

void CheckRange(const std::string& where, const char* what, std::int64_t value, std::int64_t low, std::int64_t high,
                const std::string& unit = {})
{
    if (value >= low && value <= high)
        return;
    const std::string range = unit.empty() ? Millimetres(low) + " to " + Millimetres(high)
                                           : std::to_string(low) + " to " + std::to_string(high) + unit;
    throw HwpError(where + ": " + what + " " + std::to_string(value) + " is out of range (" + range + ")");
}

void CheckPage(const PageDef& page, const std::string& where)
{
    CheckRange(where, "paper width", page.width, kMinPaperSide, kMaxPaperSide);
    CheckRange(where, "paper height", page.height, kMinPaperSide, kMaxPaperSide);
    const std::pair<const char*, HwpUnit> margins[] = {
        {"left margin", page.leftMargin},     {"right margin", page.rightMargin},   {"top margin", page.topMargin},
        {"bottom margin", page.bottomMargin}, {"header margin", page.headerMargin}, {"footer margin", page.footerMargin},
        {"gutter", page.gutterMargin}};
    for (const auto& [what, value] : margins)
        CheckRange(where, what, value, 0, kMaxPaperSide);
}

void CheckParaShape(const ParaShape& shape, const std::string& where)
{
    const std::pair<const char*, std::int32_t> lengths[] = {{"left margin", shape.leftMargin},
                                                            {"right margin", shape.rightMargin},
                                                            {"indent", shape.indent},
                                                            {"spacing before", shape.spacingBefore},
                                                            {"spacing after", shape.spacingAfter}};
    for (const auto& [what, value] : lengths)
        CheckRange(where, what, value, -kMaxParagraphLength, kMaxParagraphLength);
    if (shape.lineSpacingKind == LineSpacingKind::Percent)
        CheckRange(where, "line spacing", shape.lineSpacing, 0, kMaxLineSpacingPercent, " %");
    else
        CheckRange(where, "line spacing", shape.lineSpacing, 0, kMaxParagraphLength);
}

std::int64_t LineHeight(const ParaShape& shape, std::int64_t font)
{
    switch (shape.lineSpacingKind) {
    case LineSpacingKind::Fixed:
        return std::max<std::int64_t>(shape.lineSpacing, 1);
    case LineSpacingKind::BetweenLines:
        return font + shape.lineSpacing;
    case LineSpacingKind::AtLeast:
        return std::max<std::int64_t>(font, shape.lineSpacing);
    case LineSpacingKind::Percent:
        break;
    }
    return std::max<std::int64_t>(font * std::max(shape.lineSpacing, 100) / 100, 1);
}

// About how tall the paragraph lays out, never much less: every character an em wide,
// every object on a line of its own.
std::int64_t ParagraphHeight(const Document& document, const Paragraph& paragraph, std::int64_t bodyWidth,
                             const std::string& where)
{
    if (paragraph.controls.size() > kMaxObjectsPerParagraph)
        throw HwpError(where + ": it holds " + std::to_string(paragraph.controls.size()) + " objects; at most " +
                       std::to_string(kMaxObjectsPerParagraph) + " are taken");
    const ParaShape& shape = document.paraShapes.at(paragraph.paraShapeId);
    std::int64_t font = 100;
    for (const CharShapeRun& run : paragraph.charShapes)
        font = std::max<std::int64_t>(font, document.charShapes.at(run.charShapeId).size);
    const std::int64_t breaks = 1 + std::count(paragraph.text.begin(), paragraph.text.end(), u'\n');
    const std::int64_t wrapped = static_cast<std::int64_t>(paragraph.text.size()) * font / std::max<std::int64_t>(bodyWidth, 1);
    std::int64_t height = std::int64_t{std::max(shape.spacingBefore, 0)} + std::max(shape.spacingAfter, 0) +
                          (breaks + wrapped) * LineHeight(shape, font);
    for (const Control& control : paragraph.controls) {
        std::optional<ObjectPlacement> placed;
        try {
            placed = ControlPlacement(control);
        } catch (const HwpError&) {
            continue;   // told where it is used; its size is not ours to judge here
        }
        if (!placed)
            continue;
        CheckRange(where, "an object's width", placed->width, -kMaxObjectSide, kMaxObjectSide);
        CheckRange(where, "an object's height", placed->height, -kMaxObjectSide, kMaxObjectSide);
        height += std::max<HwpUnit>(placed->height, 0);
    }
    return height;
}

}  // namespace

void CheckLimits(const Document& document)
{
    for (std::size_t i = 0; i < document.charShapes.size(); ++i)
        CheckRange("char shape " + std::to_string(i), "size", document.charShapes[i].size, 0, kMaxCharSize,
                   " (1/100 pt)");
    for (std::size_t i = 0; i < document.paraShapes.size(); ++i)
        CheckParaShape(document.paraShapes[i], "para shape " + std::to_string(i));
    std::int64_t height = 0;
    for (std::size_t s = 0; s < document.sections.size(); ++s) {
        const Section& section = document.sections[s];
        const std::string name = "BodyText/Section" + std::to_string(s);
        CheckPage(section.page, name + " page definition");
        const std::int64_t bodyWidth =
            std::int64_t{section.page.width} - section.page.leftMargin - section.page.rightMargin - section.page.gutterMargin;
        for (std::size_t p = 0; p < section.paragraphs.size(); ++p) {
            const std::string where = name + " paragraph " + std::to_string(p + 1);
            height += ParagraphHeight(document, section.paragraphs[p], std::max<std::int64_t>(bodyWidth, kMinPaperSide), where);
            if (height > kMaxDocumentHeight)
                throw HwpError(where + ": the document comes to more than " +
                               std::to_string(kMaxDocumentHeight / 84188) + " A4 pages by here");
        }
    }
}

}  // namespace hwp
