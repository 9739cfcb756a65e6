// Fills as the word processor writes them (colours, gradients, pictures): read into the
// model and written back byte for byte; damaged ones refused.
#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/fill.h"

#include <gtest/gtest.h>

#include <string>

namespace {

hwp::Bytes FromHex(const std::string& hex)
{
    hwp::Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

} // namespace

TEST(Fills, ReadAsWrittenAndWrittenBackByteForByte)
{
    struct Case {
        const char* what;
        std::string hex;
        std::uint32_t kinds;
        hwp::ColorRef face;
        std::uint8_t gradientKind;    // 0: none
        std::size_t colours;
        std::uint16_t binItem;        // 0: no picture
        std::uint8_t blendCenter;
    };
    const Case cases[] = {
        {"a colour without pattern", "010000003f7fff0000000000ffffffff00000000", 1, 0x00FF7F3F, 0, 0, 0, 50},
        {"a linear gradient of two colours", "04000000015a00000001000000020000003300000002000000ffffff00111111000100000034",
         4, hwp::kNoColor, 1, 2, 0, 0x34},
        {"a radial gradient", "040000000200000000640000000000000032000000020000003f3f3f007f7f7f000100000032", 4,
         hwp::kNoColor, 2, 2, 0, 50},
        {"a picture stretched", "0200000005000000010000000000", 2, hwp::kNoColor, 0, 0, 1, 50},
        {"a colour under a picture", "030000003f7fff0000000000ffffffff05000000010000000000", 3, 0x00FF7F3F, 0, 0, 1, 50},
        {"a gradient under a picture",
         "06000000015a000000000000000000000032000000020000003f7fff00000000000500000001000100000032", 6, hwp::kNoColor,
         1, 2, 1, 50},
        {"three colours with their positions",
         "0400000001000000000000000000000000000000000300000000000000320000006400000000000000ff00ff00ff000000"
         "0100000032",
         4, hwp::kNoColor, 1, 3, 0, 50},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const hwp::Bytes bytes = FromHex(c.hex);
        hwp::ByteReader in(hwp::View(bytes), "fill");
        const hwp::Fill fill = hwp::ReadFill(in);
        EXPECT_TRUE(in.AtEnd());
        EXPECT_EQ(fill.kinds, c.kinds);
        EXPECT_EQ(fill.face, c.face);
        EXPECT_EQ(fill.gradient ? fill.gradient->kind : 0, c.gradientKind);
        EXPECT_EQ(fill.gradient ? fill.gradient->colors.size() : 0, c.colours);
        EXPECT_EQ(fill.image ? fill.image->binItemId : 0, c.binItem);
        EXPECT_EQ(fill.blendCenter, c.blendCenter);
        EXPECT_TRUE(fill.Paints());
        hwp::ByteWriter out;
        hwp::WriteFill(out, fill);
        EXPECT_EQ(hwp::ToBytes(out.Data()), bytes);
    }
    // A border fill's gradient reads the same from the bytes after its colour part.
    hwp::BorderFillView view;
    view.fillKinds = 4;
    const hwp::Bytes gradient = FromHex(cases[1].hex);
    view.fillRest = hwp::Bytes(gradient.begin() + 4, gradient.end());
    EXPECT_EQ(hwp::FillOf(view).gradient->angle, 90);

    // Cut short, or claiming more colours than any file holds.
    const std::string damaged[] = {"04000000015a000000", "0400000001" + std::string(32, '0') + "ffffff7f"};
    for (const std::string& hex : damaged) {
        const hwp::Bytes bad = FromHex(hex);
        hwp::ByteReader in(hwp::View(bad), "fill");
        EXPECT_THROW(hwp::ReadFill(in), hwp::HwpError);
    }
}
