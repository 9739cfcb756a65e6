#include "hwp/picture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "hwp/bin_data.h"
#include "hwp/bytes.h"
#include "hwp/records.h"

namespace hwp {
namespace {

constexpr std::uint16_t kShapeComponentTag = tag::kShapeComponent;
constexpr std::uint16_t kPictureTag = tag::kShapePicture;

// Offsets in the shape component of a top-level object (its id stands there twice).
constexpr std::size_t kOriginalWidthAt = 20;
constexpr std::size_t kWidthAt = 28;
constexpr std::size_t kRotationCentreAt = 42;
constexpr std::size_t kMatrixCountAt = 50;
constexpr std::size_t kScaleMatrixAt = 100;   // after the translation matrix
constexpr std::size_t kMatrixSize = 48;       // six doubles
constexpr std::size_t kComponentFieldsEnd = 36;

// Past this a side is not an image anyone inserts; it also keeps sizes in HwpUnit
// (75 per pixel) far inside 32 bits.
constexpr std::uint32_t kMaxImageSide = 1'000'000;

[[noreturn]] void Damaged(const std::string& why)
{
    throw HwpError("damaged picture: " + why);
}

void PutDouble(Bytes& data, std::size_t at, double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (std::size_t i = 0; i < 8; ++i)
        data[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// The shape component the word processor writes for a picture of one shape: no group
// offset, no flip or rotation, identity translation and rotation, the scale of the
// current size to the original.
Bytes NewComponent()
{
    Bytes data(kScaleMatrixAt + 2 * kMatrixSize, 0);
    PutLittleEndianAt(data, 0, 4, kPictureComponentId);
    PutLittleEndianAt(data, 4, 4, kPictureComponentId);
    data[18] = 1;   // local file version
    PutLittleEndianAt(data, 36, 4, 0x24000000u);
    data[kMatrixCountAt] = 1;
    for (std::size_t matrix : {std::size_t{52}, kScaleMatrixAt, kScaleMatrixAt + kMatrixSize}) {
        PutDouble(data, matrix, 1.0);
        PutDouble(data, matrix + 32, 1.0);
    }
    return data;
}

Bytes WriteComponent(const Picture& picture)
{
    Bytes data = picture.component.size() >= kComponentFieldsEnd ? picture.component : NewComponent();
    const bool resized = LittleEndianAt(data, kWidthAt, 4) != static_cast<std::uint32_t>(picture.width) ||
                         LittleEndianAt(data, kWidthAt + 4, 4) != static_cast<std::uint32_t>(picture.height) ||
                         LittleEndianAt(data, kOriginalWidthAt, 4) != static_cast<std::uint32_t>(picture.originalWidth) ||
                         LittleEndianAt(data, kOriginalWidthAt + 4, 4) != static_cast<std::uint32_t>(picture.originalHeight);
    PutLittleEndianAt(data, kOriginalWidthAt, 4, static_cast<std::uint32_t>(picture.originalWidth));
    PutLittleEndianAt(data, kOriginalWidthAt + 4, 4, static_cast<std::uint32_t>(picture.originalHeight));
    PutLittleEndianAt(data, kWidthAt, 4, static_cast<std::uint32_t>(picture.width));
    PutLittleEndianAt(data, kWidthAt + 4, 4, static_cast<std::uint32_t>(picture.height));
    if (resized && data.size() >= kScaleMatrixAt + kMatrixSize && data[kMatrixCountAt] + data[kMatrixCountAt + 1] > 0) {
        PutLittleEndianAt(data, kRotationCentreAt, 4, static_cast<std::uint32_t>(picture.width / 2));
        PutLittleEndianAt(data, kRotationCentreAt + 4, 4, static_cast<std::uint32_t>(picture.height / 2));
        const double sx = picture.originalWidth > 0 ? double(picture.width) / picture.originalWidth : 1.0;
        const double sy = picture.originalHeight > 0 ? double(picture.height) / picture.originalHeight : 1.0;
        PutDouble(data, kScaleMatrixAt, sx);
        PutDouble(data, kScaleMatrixAt + 32, sy);
    }
    return data;
}

Bytes WritePictureRecord(const Picture& picture)
{
    ByteWriter out;
    out.U32(picture.borderColor);
    out.I32(picture.borderWidth);
    out.U32(picture.borderProperties);
    for (std::int32_t value : picture.corners)
        out.I32(value);
    out.I32(picture.crop.left);
    out.I32(picture.crop.top);
    out.I32(picture.crop.right);
    out.I32(picture.crop.bottom);
    for (std::int16_t margin : picture.innerMargins)
        out.I16(margin);
    out.I8(picture.brightness);
    out.I8(picture.contrast);
    out.U8(picture.effect);
    out.U16(picture.binItemId);
    out.Raw(picture.rest);
    return ToBytes(out.Data());
}

// ---- image headers

std::uint32_t Be16(std::string_view b, std::size_t at)
{
    return (static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at])) << 8) | static_cast<std::uint8_t>(b[at + 1]);
}

std::uint32_t Be32(std::string_view b, std::size_t at)
{
    return (Be16(b, at) << 16) | Be16(b, at + 2);
}

std::uint32_t Le16(std::string_view b, std::size_t at)
{
    return static_cast<std::uint8_t>(b[at]) | (static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8);
}

std::uint32_t Le32(std::string_view b, std::size_t at)
{
    return Le16(b, at) | (Le16(b, at + 2) << 16);
}

[[noreturn]] void Unreadable(const std::string& why)
{
    throw HwpError("not a readable image: " + why);
}

void ReadPng(std::string_view b, ImageInfo& info)
{
    if (b.size() < 33 || b.substr(12, 4) != "IHDR")
        Unreadable("the PNG file has no image header");
    info.width = Be32(b, 16);
    info.height = Be32(b, 20);
    // The resolution chunk, when it comes before the image data.
    std::size_t at = 8;
    while (at + 12 <= b.size()) {
        const std::uint32_t length = Be32(b, at);
        const std::string_view type = b.substr(at + 4, 4);
        if (type == "IDAT" || type == "IEND" || length > b.size() - at - 12)
            break;
        if (type == "pHYs" && length >= 9 && b[at + 16] == 1) {   // per metre
            info.dpiX = Be32(b, at + 8) * 0.0254;
            info.dpiY = Be32(b, at + 12) * 0.0254;
        }
        at += 12 + length;
    }
}

void ReadJpeg(std::string_view b, ImageInfo& info)
{
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (static_cast<std::uint8_t>(b[at]) != 0xFF)
            Unreadable("the JPEG file is damaged before its frame header");
        const auto marker = static_cast<std::uint8_t>(b[at + 1]);
        if (marker == 0xFF) {   // fill byte
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA)
            break;   // end of image or scan data before any frame header
        const std::uint32_t length = Be16(b, at + 2);
        if (length < 2 || at + 2 + length > b.size())
            break;
        const std::string_view segment = b.substr(at + 4, length - 2);
        if (marker == 0xE0 && segment.size() >= 12 && segment.substr(0, 5) == std::string_view("JFIF\0", 5)) {
            const auto units = static_cast<std::uint8_t>(segment[7]);
            const double x = Be16(segment, 8);
            const double y = Be16(segment, 10);
            if (units == 1) {
                info.dpiX = x;
                info.dpiY = y;
            } else if (units == 2) {
                info.dpiX = x * 2.54;
                info.dpiY = y * 2.54;
            }
        }
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (segment.size() < 5)
                Unreadable("the JPEG frame header is cut short");
            info.height = Be16(segment, 1);
            info.width = Be16(segment, 3);
            return;
        }
        at += 2 + length;
    }
    Unreadable("the JPEG file has no frame header");
}

void ReadGif(std::string_view b, ImageInfo& info)
{
    if (b.size() < 10)
        Unreadable("the GIF file is cut short");
    info.width = Le16(b, 6);
    info.height = Le16(b, 8);
}

void ReadBmp(std::string_view b, ImageInfo& info)
{
    if (b.size() < 26)
        Unreadable("the BMP file is cut short");
    const std::uint32_t header = Le32(b, 14);
    if (header == 12) {
        info.width = Le16(b, 18);
        info.height = Le16(b, 20);
        return;
    }
    if (header < 40 || b.size() < 14 + 40)
        Unreadable("the BMP file has an unknown header");
    const auto width = static_cast<std::int32_t>(Le32(b, 18));
    const auto height = static_cast<std::int32_t>(Le32(b, 22));
    if (width <= 0 || height == 0 || height == INT32_MIN)
        Unreadable("the BMP file gives no size");
    info.width = static_cast<std::uint32_t>(width);
    info.height = static_cast<std::uint32_t>(height < 0 ? -height : height);
    info.dpiX = Le32(b, 38) * 0.0254;
    info.dpiY = Le32(b, 42) * 0.0254;
}

std::uint32_t InstanceId(std::string_view bytes)
{
    // FNV-1a of the image: the same picture gets the same id, so output is reproducible.
    std::uint32_t hash = 2166136261u;
    for (char c : bytes.substr(0, 1 << 16))
        hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    return hash | 1u;
}

}  // namespace

bool IsPicture(const Control& control)
{
    if (control.ctrlId != kDrawingCtrlId)
        return false;
    for (const ObjectRecord& record : control.records) {
        if (record.level == 1 && record.tag == kShapeComponentTag)
            return record.data.size() >= 4 && LittleEndianAt(record.data, 0, 4) == kPictureComponentId;
    }
    return false;
}

Picture ReadPicture(const Control& control)
{
    if (!IsPicture(control))
        throw HwpError("not a picture: the control is " + CtrlIdText(control.ctrlId));
    const std::vector<ObjectRecord>& records = control.records;
    if (records.front().tag != tag::kCtrlHeader || records.front().level != 0)
        Damaged("it has no control header");
    Picture picture;
    picture.object = ReadObjectProperties(View(records.front().data), "picture control header");
    std::size_t i = 1;
    while (i < records.size() && !(records[i].level == 1 && records[i].tag == kShapeComponentTag))
        picture.caption.push_back(records[i++]);
    const Bytes& component = records[i].data;
    if (component.size() < kComponentFieldsEnd)
        Damaged("its shape component is cut short");
    picture.component = component;
    picture.originalWidth = static_cast<HwpUnit>(LittleEndianAt(component, kOriginalWidthAt, 4));
    picture.originalHeight = static_cast<HwpUnit>(LittleEndianAt(component, kOriginalWidthAt + 4, 4));
    picture.width = static_cast<HwpUnit>(LittleEndianAt(component, kWidthAt, 4));
    picture.height = static_cast<HwpUnit>(LittleEndianAt(component, kWidthAt + 4, 4));
    ++i;
    if (i >= records.size() || records[i].level != 2 || records[i].tag != kPictureTag)
        Damaged("its shape component has no picture record");
    ByteReader in(View(records[i].data), "picture record");
    picture.borderColor = in.U32();
    picture.borderWidth = in.I32();
    picture.borderProperties = in.U32();
    for (std::int32_t& value : picture.corners)
        value = in.I32();
    picture.crop.left = in.I32();
    picture.crop.top = in.I32();
    picture.crop.right = in.I32();
    picture.crop.bottom = in.I32();
    for (std::int16_t& margin : picture.innerMargins)
        margin = in.I16();
    picture.brightness = in.I8();
    picture.contrast = in.I8();
    picture.effect = in.U8();
    picture.binItemId = in.U16();
    picture.rest = ToBytes(in.Take(in.Remaining()));
    picture.trailing.assign(records.begin() + static_cast<std::ptrdiff_t>(i + 1), records.end());
    return picture;
}

Control WritePicture(const Picture& picture, const Control* original)
{
    Control control = StartObjectControl(kDrawingCtrlId, picture.object, picture.caption, original);
    control.records.push_back(ObjectRecord{kShapeComponentTag, 1, WriteComponent(picture)});
    control.records.push_back(ObjectRecord{kPictureTag, 2, WritePictureRecord(picture)});
    control.records.insert(control.records.end(), picture.trailing.begin(), picture.trailing.end());
    return control;
}

void SetPictureSize(Picture& picture, HwpUnit width, HwpUnit height)
{
    picture.object.width = width;
    picture.object.height = height;
    picture.width = width;
    picture.height = height;
}

const BinDataItem* PictureBinData(const Document& document, const Picture& picture)
{
    if (picture.binItemId == 0 || picture.binItemId > document.binData.size())
        return nullptr;
    return &document.binData[picture.binItemId - 1u];
}

ImageInfo ReadImageInfo(std::string_view bytes)
{
    ImageInfo info;
    if (bytes.size() >= 8 && bytes.substr(0, 8) == "\x89PNG\r\n\x1a\n") {
        info.format = ImageFormat::Png;
        info.extension = "png";
        ReadPng(bytes, info);
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xFF\xD8\xFF") {
        info.format = ImageFormat::Jpeg;
        info.extension = "jpg";
        ReadJpeg(bytes, info);
    } else if (bytes.size() >= 6 && (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a")) {
        info.format = ImageFormat::Gif;
        info.extension = "gif";
        ReadGif(bytes, info);
    } else if (bytes.size() >= 2 && bytes.substr(0, 2) == "BM") {
        info.format = ImageFormat::Bmp;
        info.extension = "bmp";
        ReadBmp(bytes, info);
    } else {
        Unreadable("it is not a PNG, JPEG, GIF or BMP file");
    }
    if (info.width == 0 || info.height == 0)
        Unreadable("its header gives no size");
    if (info.width > kMaxImageSide || info.height > kMaxImageSide)
        Unreadable(std::to_string(info.width) + " x " + std::to_string(info.height) + " pixels is not an image size");
    const std::uint64_t pixels = std::uint64_t{info.width} * info.height;
    if (pixels > kMaxPicturePixels)
        throw HwpError("the image is too large: " + std::to_string(info.width) + " x " + std::to_string(info.height) +
                       " pixels is more than " + std::to_string(kMaxPicturePixels / 1'000'000) + " megapixels");
    return info;
}

NewPicture MakePicture(const Document& document, std::string_view bytes, double dpi, HwpUnit maxWidth)
{
    const ImageInfo info = ReadImageInfo(bytes);
    const auto sane = [](double value) { return value >= 10 && value <= 10000; };
    const double dpiX = sane(dpi) ? dpi : sane(info.dpiX) ? info.dpiX : 96;
    const double dpiY = sane(dpi) ? dpi : sane(info.dpiY) ? info.dpiY : dpiX;
    double width = info.width * 7200.0 / dpiX;
    double height = info.height * 7200.0 / dpiY;
    if (maxWidth > 0 && width > maxWidth) {
        height = height * maxWidth / width;
        width = maxWidth;
    }
    // Past about 1 km a side the shape's size no longer fits its fields.
    const double limit = 0x7FFFFFF;
    if (width > limit || height > limit) {
        const double scale = limit / std::max(width, height);
        width *= scale;
        height *= scale;
    }
    const auto w = static_cast<HwpUnit>(std::max(1.0, std::round(width)));
    const auto h = static_cast<HwpUnit>(std::max(1.0, std::round(height)));

    if (document.binData.size() >= 0xFFFF)
        throw HwpError("the document holds the most pictures a file can name");
    std::uint16_t storageId = 0;
    for (const BinDataItem& item : document.binData)
        storageId = std::max(storageId, StreamIdOf(item));
    if (storageId == 0xFFFF)
        throw HwpError("the document holds the most pictures a file can name");
    ++storageId;

    NewPicture out;
    ByteWriter record;
    record.U16(0x0001);   // embedded, compressed as the document (the writer always compresses)
    record.U16(storageId);
    record.Text16(std::u16string(info.extension.begin(), info.extension.end()));
    out.binData.record = ToBytes(record.Data());
    out.binData.streamName = "." + info.extension;
    out.binData = WithStreamId(std::move(out.binData), storageId);
    out.binData.stream = DeflateRaw(bytes);

    Picture& picture = out.picture;
    ObjectProperties& object = picture.object;
    object.inlineAsChar = true;
    object.numbering = NumberingKind::Figure;
    object.instanceId = InstanceId(bytes);
    SetPictureSize(picture, w, h);
    picture.originalWidth = w;
    picture.originalHeight = h;
    picture.corners = {0, 0, w, 0, w, h, 0, h};
    picture.crop = {0, 0, static_cast<std::int32_t>(info.width * 75), static_cast<std::int32_t>(info.height * 75)};
    picture.binItemId = static_cast<std::uint16_t>(document.binData.size() + 1);
    // Border transparency and instance id, which readers of later builds expect.
    picture.rest = {0, 0, 0, 0, 0};
    return out;
}

std::u16string LinkedFileName(const BinDataItem& item)
{
    if (KindOf(item) != BinDataKind::Link)
        return {};
    try {
        ByteReader in(View(item.record), "bin data record");
        in.U16();
        std::u16string absolute = in.Text16();
        std::u16string relative = in.Text16();
        return absolute.empty() ? relative : absolute;
    } catch (const HwpError&) {
        return {};   // a record too short to name its file: shown without a name
    }
}

std::string BinDataBytes(const BinDataItem& item)
{
    const std::string_view stored = View(item.stream);
    const unsigned compression = item.record.size() >= 1 ? (item.record[0] >> 4) & 3u : 0u;
    if (compression >= 2)
        return std::string(stored);
    try {
        return InflateRaw(stored, "bin data", kMaxBinDataBytes);
    } catch (const HwpError&) {
        // Some writers mark a stream compressed and store it plain; a damaged one shows
        // as an unreadable image where it is used.
        return std::string(stored);
    }
}

Control InsertPicture(Document& document, std::string_view bytes, double dpi, HwpUnit maxWidth)
{
    NewPicture made = MakePicture(document, bytes, dpi, maxWidth);
    document.binData.push_back(std::move(made.binData));
    return WritePicture(made.picture);
}

}  // namespace hwp
