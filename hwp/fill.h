// A fill (of a border fill or of a drawn shape's component: colour, hatch, gradient and
// picture), read and written side by side; FillOf reads the whole fill of a border fill
// for painting. As files store it:
//   U32 kinds                       FillKinds bits
//   with kFillColor:    face colour, pattern colour, I32 pattern kind
//   with kFillGradient: U8 kind, I32 angle, I32 centre x, I32 centre y, I32 blur,
//                       I32 colour count n, I32 positions[n] when n > 2, colours[n]
//   with kFillImage:    U8 mode, I8 brightness, I8 contrast, U8 effect, U16 bin item
//   U32 size of the extra attributes, then those bytes (a gradient's first: the centre
//   of its blend, percent)
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "hwp/border_fill.h"
#include "hwp/bytes.h"
#include "hwp/document.h"

namespace hwp {

enum class GradientKind : std::uint8_t { Linear = 1, Radial = 2, Conical = 3, Square = 4 };

struct Gradient {
    std::uint8_t kind = 1;        // a GradientKind value; others kept as read
    std::int32_t angle = 0;       // degrees
    std::int32_t centerX = 0;     // percent of the filled box
    std::int32_t centerY = 0;
    std::int32_t blur = 0;        // how many steps the colours change in; 0 smoothly
    std::vector<ColorRef> colors;
    std::vector<std::int32_t> positions;   // where each colour stands, with more than two

    bool operator==(const Gradient&) const = default;
};

// How a picture fills its box: 0 tiled, 1..4 tiled along the top, bottom, left or right
// edge, 5 stretched to the box, 6..14 at its size centred, at the top or bottom centre,
// the left centre, top left, bottom left, right centre, top right, bottom right.
enum class ImageFillMode : std::uint8_t {
    Tile = 0,
    TileTop = 1,
    TileBottom = 2,
    TileLeft = 3,
    TileRight = 4,
    Stretch = 5,
    Center = 6,
    CenterTop = 7,
    CenterBottom = 8,
    LeftCenter = 9,
    LeftTop = 10,
    LeftBottom = 11,
    RightCenter = 12,
    RightTop = 13,
    RightBottom = 14,
};

struct ImageFill {
    std::uint8_t mode = 0;        // an ImageFillMode value
    std::int8_t brightness = 0;
    std::int8_t contrast = 0;
    std::uint8_t effect = 0;      // as a picture's: 0 as is, 1 greyscale, 2 black and white
    std::uint16_t binItemId = 0;  // 1-based index into Document::binData

    bool operator==(const ImageFill&) const = default;
};

struct Fill {
    std::uint32_t kinds = 0;               // FillKinds bits
    ColorRef face = kNoColor;              // with kFillColor; kNoColor: no background
    ColorRef patternColor = 0;
    std::int32_t pattern = -1;             // -1 none; 0 horizontal, 1 vertical, 2 back slash,
                                           // 3 slash, 4 cross, 5 diagonal cross
    std::optional<Gradient> gradient;      // with kFillGradient
    std::optional<ImageFill> image;        // with kFillImage
    std::uint8_t blendCenter = 50;         // a gradient's, percent
    Bytes extra{0, 0, 0, 0};               // the extra attributes, their size first, as read

    bool operator==(const Fill&) const = default;
    bool Paints() const { return ((kinds & kFillColor) && (face != kNoColor || pattern >= 0)) || gradient || image; }
};

// Reads a fill at `in` up to the end of its extra attributes. Throws HwpError when it is
// cut short or claims more colours than any file holds.
Fill ReadFill(ByteReader& in);
void WriteFill(ByteWriter& out, const Fill& fill);
// What follows the colour part: the gradient and image parts and the extra attributes, as
// BorderFillView::fillRest keeps them.
Bytes FillRest(const Fill& fill);

// The whole fill of a border fill (Fill::extra gets what follows the image part).
// Throws HwpError when its gradient or image part is damaged.
Fill FillOf(const BorderFillView& view);

}  // namespace hwp
