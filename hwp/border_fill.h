// A parsed view of a border fill (hwp::BorderFill keeps the DocInfo record's bytes):
// the four lines of a cell or paragraph border, the diagonals and the fill colour, so
// the editor can draw cell borders and backgrounds and make new border fills for the
// tables it authors. Gradient and image fills are kept as bytes and written back as
// read.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "hwp/document.h"

namespace hwp {

// Line kinds as files store them: 0 none, 1 solid, 2 dash, 3 dot, 4 dash-dot,
// 5 dash-dot-dot, 6 long dash, 7 circles, 8 double, 9 thin-thick, 10 thick-thin,
// 11 thin-thick-thin, 12 wave, 13 double wave, 14..17 3D kinds.
enum class LineKind : std::uint8_t {
    None = 0,
    Solid = 1,
    Dash = 2,
    Dot = 3,
    DashDot = 4,
    DashDotDot = 5,
    LongDash = 6,
    Circle = 7,
    Double = 8,
    ThinThick = 9,
    ThickThin = 10,
    ThinThickThin = 11,
};

struct BorderLine {
    std::uint8_t kind = 0;    // LineKind value; others kept as read
    std::uint8_t width = 0;   // index into the width table: BorderLineWidth()
    ColorRef color = 0;

    bool operator==(const BorderLine&) const = default;
};

// Width index -> HwpUnit: 0.1, 0.12, 0.15, 0.2, 0.25, 0.3, 0.4, 0.5, 0.6, 0.7, 1.0, 1.5,
// 2.0, 3.0, 4.0, 5.0 mm. Past the table: the widest.
HwpUnit BorderLineWidth(std::uint8_t index);

enum FillKinds : std::uint32_t {
    kFillColor = 0x1,      // background colour and pattern
    kFillImage = 0x2,
    kFillGradient = 0x4,
};

struct BorderFillView {
    // Bit 0 3D, 1 shadow, 2..4 slash diagonal shape, 5..7 back-slash diagonal shape,
    // 8..9 and 10 broken diagonals, 11..13 centre lines.
    std::uint16_t properties = 0;
    std::array<BorderLine, 4> lines{};   // left, right, top, bottom
    BorderLine diagonal{1, 0, 0};
    std::uint32_t fillKinds = 0;         // FillKinds bits
    // With kFillColor: kNoColor when there is no background.
    ColorRef backgroundColor = kNoColor;
    ColorRef patternColor = 0;
    std::int32_t patternKind = -1;       // -1 none; 0.. hatch kinds
    // The gradient and image parts and the extra fill attributes, as read (for a fill
    // of neither, the four-byte size of an empty extra part).
    Bytes fillRest{0, 0, 0, 0};

    bool operator==(const BorderFillView&) const = default;

    // The background to paint, when there is one.
    std::optional<ColorRef> Background() const;
    bool HasSlashDiagonal() const { return (properties >> 2) & 7; }
    bool HasBackSlashDiagonal() const { return (properties >> 5) & 7; }
};

// Throws HwpError when the record is too short for its lines or its colour fill.
BorderFillView ReadBorderFill(const BorderFill& fill);
BorderFill WriteBorderFill(const BorderFillView& view);

// Four equal lines and an optional background, as a new table's cells use.
BorderFillView SimpleBorderFill(BorderLine line, std::optional<ColorRef> background = std::nullopt);

// The 1-based id (as tables, cells, char and para shapes refer to border fills) of a
// border fill equal to `view`, added to the document when it has none.
std::uint16_t FindOrAddBorderFill(Document& document, const BorderFillView& view);

}  // namespace hwp
