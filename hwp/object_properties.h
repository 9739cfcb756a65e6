// The common object properties at the head of the CTRL_HEADER of tables, drawing
// objects (pictures among them) and equations: how the object is placed (as a character
// in the line, or floating with offsets from a reference and a text wrap), its size and
// outer margins. Read and written side by side; the bits and bytes it does not name are
// kept, so an unchanged header writes back as read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "hwp/document.h"

namespace hwp {

enum class VertRelTo : std::uint8_t { Paper = 0, Page = 1, Paragraph = 2 };
enum class HorzRelTo : std::uint8_t { Paper = 0, Page = 1, Column = 2, Paragraph = 3 };
// Alignment to the reference: 0 top / left, 1 centre, 2 bottom / right, 3 inside, 4 outside.
enum class TextWrap : std::uint8_t { Square = 0, TopAndBottom = 1, BehindText = 2, InFrontOfText = 3 };
enum class NumberingKind : std::uint8_t { None = 0, Figure = 1, Table = 2, Equation = 3 };

struct ObjectProperties {
    bool inlineAsChar = true;           // laid out as one character of its line
    bool affectsLineSpacing = false;    // inline only
    VertRelTo vertRelTo = VertRelTo::Paragraph;
    std::uint8_t vertAlign = 0;
    HorzRelTo horzRelTo = HorzRelTo::Paragraph;
    std::uint8_t horzAlign = 0;
    bool flowWithText = true;           // kept inside the page with its paragraph
    bool allowOverlap = false;
    std::uint8_t widthBasis = 4;        // 0 paper, 1 page, 2 column, 3 paragraph, 4 absolute
    std::uint8_t heightBasis = 2;       // 0 paper, 1 page, 2 absolute
    bool protectSize = false;
    TextWrap wrap = TextWrap::TopAndBottom;
    std::uint8_t textSide = 0;          // 0 both, 1 left, 2 right, 3 the larger
    NumberingKind numbering = NumberingKind::None;
    std::uint32_t otherBits = 0;        // property bits not named above, as read

    // HwpUnit. Offsets are from the reference (floating objects only).
    HwpUnit verticalOffset = 0;
    HwpUnit horizontalOffset = 0;
    HwpUnit width = 0;
    HwpUnit height = 0;
    std::int32_t zOrder = 0;
    std::array<std::int16_t, 4> outerMargins{};   // left, right, top, bottom
    std::uint32_t instanceId = 0;
    // Absent in files of early 5.0 builds, which end the header after the instance id.
    std::optional<std::int32_t> preventPageBreak = 0;
    Bytes rest;   // what follows (the description text of newer files), as read

    bool operator==(const ObjectProperties&) const = default;
};

// `data` is the whole CTRL_HEADER data, starting with the control id. Throws HwpError
// naming `what` when it is too short.
ObjectProperties ReadObjectProperties(std::string_view data, const char* what);
// The CTRL_HEADER data for control `ctrlId`.
Bytes WriteObjectProperties(std::uint32_t ctrlId, const ObjectProperties& properties);

// An object control of `ctrlId` holding its CTRL_HEADER and the caption records, at
// `original`'s position and character (or at 0, code 11); the caller appends the rest.
Control StartObjectControl(std::uint32_t ctrlId, const ObjectProperties& properties,
                           const std::vector<ObjectRecord>& caption, const Control* original);

}  // namespace hwp
