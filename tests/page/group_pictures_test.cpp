// Pictures inside grouped drawing objects are drawn where the group holds them.
#include "tests/editor/editor_testing.h"

#include "document/kept_objects.h"
#include "page/object_painters.h"
#include "hwp/picture.h"
#include "hwp/records.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr std::uint32_t kContainerId = 0x24636F6E;   // '$','c','o','n'

QByteArray SolidPng(QColor colour, int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void PutU32(hwp::Bytes& data, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        data[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutDouble(hwp::Bytes& data, std::size_t at, double value)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (std::size_t i = 0; i < 8; ++i)
        data[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

const hwp::ObjectRecord& RecordOf(const hwp::Control& control, std::uint16_t tag)
{
    for (const hwp::ObjectRecord& record : control.records)
        if (record.tag == tag)
            return record;
    throw std::runtime_error("no such record");
}

// A group of two pictures side by side, each `w` x `h` HwpUnit, the second placed by
// its translation matrix; the group is `scale` times its members' size on the page.
hwp::Control Group(hwp::Document& document, const hwp::Control& left, const hwp::Control& right, int w, int h,
                   double scale)
{
    hwp::Control group = left;
    group.records.clear();
    hwp::Picture header = hwp::ReadPicture(left);
    hwp::SetPictureSize(header, static_cast<hwp::HwpUnit>(2 * w * scale), static_cast<hwp::HwpUnit>(h * scale));
    const hwp::Control sized = hwp::WritePicture(header);
    group.records.push_back(sized.records.front());
    hwp::Bytes container = RecordOf(sized, hwp::tag::kShapeComponent).data;
    PutU32(container, 0, kContainerId);
    PutU32(container, 4, kContainerId);
    group.records.push_back(hwp::ObjectRecord{hwp::tag::kShapeComponent, 1, container});
    int x = 0;
    for (const hwp::Control* member : {&left, &right}) {
        hwp::Bytes component = RecordOf(*member, hwp::tag::kShapeComponent).data;
        component.erase(component.begin(), component.begin() + 4);   // a member's id stands once
        PutU32(component, 4, static_cast<std::uint32_t>(x));
        PutDouble(component, 48 + 16, x);   // the translation's x
        group.records.push_back(hwp::ObjectRecord{hwp::tag::kShapeComponent, 2, component});
        group.records.push_back(RecordOf(*member, hwp::tag::kShapePicture));
        group.records.back().level = 3;
        x += w;
    }
    (void)document;
    return group;
}

class GroupPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        editor_testing::EnsureApplication();
        editor::RegisterObjectPainters();
    }
};

TEST_F(GroupPictures, EachMemberPictureIsDrawnInItsPlaceScaledWithTheGroup)
{
    auto document = std::make_shared<hwp::Document>();
    // 100 x 80 pixels at 96 dpi: 7500 x 6000 HwpUnit each.
    const hwp::Control red = hwp::InsertPicture(*document, SolidPng(QColor(230, 0, 0), 100, 80).toStdString(), 96);
    const hwp::Control blue = hwp::InsertPicture(*document, SolidPng(QColor(0, 0, 230), 100, 80).toStdString(), 96);
    for (double scale : {1.0, 0.5}) {
        SCOPED_TRACE(scale);
        const editor::KeptObject group{Group(*document, red, blue, 7500, 6000, scale), document};
        ASSERT_FALSE(hwp::IsPicture(group.control));
        const auto painter = editor::KeptObjectPainterFor(group.control);
        const QSizeF size = painter->Size(group);
        EXPECT_NEAR(size.width(), 200 * scale, 1);
        QImage image(static_cast<int>(size.width()) + 20, static_cast<int>(size.height()) + 20, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter on(&image);
        painter->Paint(on, QRectF(QPointF(10, 10), size), 1.0, group);
        on.end();
        const int midY = 10 + static_cast<int>(size.height() / 2);
        const QColor left = image.pixelColor(10 + static_cast<int>(size.width() / 4), midY);
        const QColor right = image.pixelColor(10 + static_cast<int>(size.width() * 3 / 4), midY);
        EXPECT_GT(left.red(), 200);
        EXPECT_LT(left.blue(), 30);
        EXPECT_GT(right.blue(), 200);
        EXPECT_LT(right.red(), 30);
        EXPECT_EQ(image.pixelColor(5, midY), QColor(Qt::white)) << "nothing outside the group";
    }
}

} // namespace
