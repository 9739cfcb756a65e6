// hwp::Picture: a drawing object ('gso ' control) whose shape component is a picture
// ($pic), read from and written to the control's records side by side; and the image
// checks and the builder the editor's picture insertion uses.
//
// The records of a picture, levels counted from its CTRL_HEADER:
//   0 CTRL_HEADER                the common object properties: placement, shown size, wrap
//   1 LIST_HEADER + paragraphs   a caption, when there is one (kept as read)
//   1 SHAPE_COMPONENT            "$pic" twice, original and current size, rotation, matrices
//   2 SHAPE_COMPONENT_PICTURE    border line, image corners, crop, inner margins, effects,
//                                the bin-data item it shows
// What the model does not name is kept and written back as read: an unchanged picture
// writes back byte for byte.
//
// The editor shows a Picture as an image of object.width x object.height HwpUnit cut
// to `crop` from the bytes of Document::binData[binItemId - 1] (PictureBinData).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "hwp/document.h"
#include "hwp/object_properties.h"

namespace hwp {

constexpr std::uint32_t kDrawingCtrlId = 0x67736F20;     // 'g','s','o',' '
constexpr std::uint32_t kPictureComponentId = 0x24706963;   // '$','p','i','c'

// Larger images are refused: 50 megapixels.
constexpr std::uint64_t kMaxPicturePixels = 50'000'000;

// The part of the image shown, in the image's own HwpUnit (75 per pixel at 96 dpi):
// the whole image is {0, 0, pixel width * 75, pixel height * 75}.
struct PictureCrop {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool operator==(const PictureCrop&) const = default;
};

struct Picture {
    ObjectProperties object;   // placement, shown size (width, height), wrap, outer margins
    std::vector<ObjectRecord> caption;

    // The shape component: the size the picture was made at and its size now (HwpUnit).
    HwpUnit originalWidth = 0;
    HwpUnit originalHeight = 0;
    HwpUnit width = 0;
    HwpUnit height = 0;
    // The rest of the shape component (group offsets, flips, rotation, matrices), as read;
    // when the size differs from what these bytes hold, the writer sets the scale and
    // the rotation centre for the new size.
    Bytes component;

    // The picture record.
    ColorRef borderColor = 0;
    std::int32_t borderWidth = 0;           // HwpUnit
    std::uint32_t borderProperties = 0;     // line kind and ends, as the file holds them
    std::array<std::int32_t, 8> corners{};  // x, y of the image's four corners in the shape
    PictureCrop crop;
    std::array<std::int16_t, 4> innerMargins{};   // left, right, top, bottom
    std::int8_t brightness = 0;
    std::int8_t contrast = 0;
    std::uint8_t effect = 0;                // 0 as is, 1 greyscale, 2 black and white, ...
    std::uint16_t binItemId = 0;            // 1-based index into Document::binData
    Bytes rest;                             // transparency, instance id, effects, ... as read
    // Records after the picture record, as read.
    std::vector<ObjectRecord> trailing;

    bool operator==(const Picture&) const = default;
};

// A 'gso ' control whose first shape component is a picture.
bool IsPicture(const Control& control);

// Throws HwpError when `control` is not a picture or its records are cut short.
Picture ReadPicture(const Control& control);

// The picture control at `original`'s position and character (or at 0, code 11);
// records not named by the model come from the Picture itself, so `original` only
// places it.
Control WritePicture(const Picture& picture, const Control* original = nullptr);

// Sets the shown size (both the object's and the shape component's).
void SetPictureSize(Picture& picture, HwpUnit width, HwpUnit height);

// The bin-data item the picture shows, or nullptr when the document has no such item.
const BinDataItem* PictureBinData(const Document& document, const Picture& picture);

// The file a linked bin-data item names (its absolute path, else its relative one);
// empty for an embedded item. The editor shows a linked picture as a framed box with
// this name.
std::u16string LinkedFileName(const BinDataItem& item);

// The bytes of a bin-data item (an image file for pictures), inflated when its record
// says the stream is compressed; at most kMaxBinDataBytes.
constexpr std::size_t kMaxBinDataBytes = 256u << 20;
std::string BinDataBytes(const BinDataItem& item);

enum class ImageFormat : std::uint8_t { Png, Jpeg, Gif, Bmp };

struct ImageInfo {
    ImageFormat format = ImageFormat::Png;
    std::string extension;        // "png", "jpg", "gif", "bmp"
    std::uint32_t width = 0;      // pixels
    std::uint32_t height = 0;
    double dpiX = 0;              // 0 when the file does not say
    double dpiY = 0;
};

// From the image's header. Throws HwpError with a message for people when the bytes are
// not a PNG, JPEG, GIF or BMP image whose size can be read, or when it has more than
// kMaxPicturePixels pixels.
ImageInfo ReadImageInfo(std::string_view bytes);

struct NewPicture {
    Picture picture;
    BinDataItem binData;   // to append to Document::binData; picture.binItemId counts it in
};

// A new inline picture of the image `bytes` for `document`: its bin-data item (embedded,
// compressed, the next free stream id) numbered to follow the document's, the picture
// sized from the pixels at `dpi` (the image's own when 0, else 96), scaled down to
// `maxWidth` HwpUnit when wider and maxWidth > 0. Throws HwpError as ReadImageInfo does.
NewPicture MakePicture(const Document& document, std::string_view bytes, double dpi = 0, HwpUnit maxWidth = 0);

// MakePicture, its bin-data item added to `document`; returns the control to place in
// a paragraph.
Control InsertPicture(Document& document, std::string_view bytes, double dpi = 0, HwpUnit maxWidth = 0);

}  // namespace hwp
