// Columns that change inside a section go into HWPX as column elements and come back as
// the column definitions they were, unequal widths and separator lines included.
#include <gtest/gtest.h>

#include "hwp/paragraph.h"
#include "hwp/reader.h"
#include "hwp/section.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "hwpx/package.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"

namespace {

hwp::Control Cold(const hwp::Bytes& afterId)
{
    hwp::Control control;
    control.ctrlId = hwp::kCold;
    control.code = 2;
    hwp::Bytes head{'d', 'l', 'o', 'c'};
    head.insert(head.end(), afterId.begin(), afterId.end());
    control.records.push_back({hwp::tag::kCtrlHeader, 0, head});
    return control;
}

TEST(HwpxColumns, AColumnChangeInsideASectionGoesThroughHwpxAsItWas)
{
    struct Case {
        const char* what;
        hwp::Bytes afterId;
        const char* element;   // what the section part holds of it
    };
    const Case cases[] = {
        {"two equal columns 8 mm apart with a solid line", {0x08, 0x10, 0xDC, 0x08, 0, 0, 1, 1, 0, 0, 0, 0},
         R"(colCount="2" sameSz="1" sameGap="2268"><hp:colLine type="SOLID" width="0.12 mm" color="#000000"/>)"},
        {"two unequal columns, shares of the body, a red line", {0x08, 0, 0, 0, 0xBB, 0x3B, 0xD0, 0x06, 0x75, 0x3D, 0, 0, 1, 2, 0xFF, 0, 0, 0},
         R"(sameSz="0" sameGap="0"><hp:colLine type="SOLID" width="0.15 mm" color="#FF0000"/><hp:colSz width="15291" gap="1744"/>)"},
        {"three balanced columns mirrored, no line", {0x0D, 0x18, 0x6E, 0x04, 0, 0, 0, 0, 0, 0, 0, 0},
         R"(type="BALANCED_NEWSPAPER" layout="MIRROR" colCount="3" sameSz="1" sameGap="1134"/>)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        hwp::Document document = hwp_testing::DocumentWithTexts({u"가", u"나"});
        document.sections[0].page.width = 59528;
        document.sections[0].page.leftMargin = document.sections[0].page.rightMargin = 8504;
        document.sections[0].page.gutterMargin = 0;
        document.sections[0].paragraphs[1].controls.insert(document.sections[0].paragraphs[1].controls.begin(), Cold(c.afterId));
        const std::string package = hwpx::WriteHwpxToBytes(document);
        const std::string section = hwpx::ReadPackage(package).parts.at("Contents/section0.xml");
        EXPECT_NE(section.find(c.element), std::string::npos) << section;
        for (const hwp::Document& back :
             {hwpx::ReadHwpxFromBytes(package), hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(
                                                    hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(hwpx::ReadHwpxFromBytes(package)))))}) {
            ASSERT_EQ(back.sections.at(0).paragraphs.size(), 2u);
            const hwp::Paragraph& second = back.sections[0].paragraphs[1];
            EXPECT_EQ(second.text, u"나");
            EXPECT_NE(second.breakFlags & hwp::kBreakColumns, 0) << "the columns change where it begins";
            ASSERT_FALSE(second.controls.empty());
            EXPECT_EQ(second.controls[0].ctrlId, hwp::kCold);
            EXPECT_EQ(second.controls[0].code, 2);
            EXPECT_EQ(second.controls[0].records, Cold(c.afterId).records);
            EXPECT_EQ(hwp::ReadColumns(second.controls[0]).count, hwp::ReadColumns(Cold(c.afterId)).count);
        }
    }
}

// What HWPX holds of every column definition a document has (the section's with its
// count and gap in force): no line is one of kind none, whatever its width.
std::vector<hwp::Columns> ColumnsHeld(const hwp::Document& document)
{
    std::vector<hwp::Columns> held;
    const auto add = [&held](hwp::Columns columns) {
        if (columns.line.kind == 0)
            columns.line = {};
        columns.property2 = 0;
        columns.rest.clear();
        held.push_back(std::move(columns));
    };
    for (const hwp::Section& section : document.sections) {
        add(hwp::ColumnsOf(section));
        for (const hwp::Paragraph& paragraph : section.paragraphs) {
            for (const hwp::Control& control : paragraph.controls) {
                if (control.ctrlId == hwp::kCold)
                    add(hwp::ReadColumns(control));
            }
        }
    }
    return held;
}

// The word processor's multi-column documents keep every column definition's kind,
// count, gap, unequal widths and line through HWPX, HWP and both in turn; HWPX column
// sizes are shares of 32768 as in the binary format.
TEST(HwpxColumns, TheSamplesColumnsGoThroughBothFormatsWhole)
{
    std::vector<std::string> paths;
    for (const std::string& path : hwp_testing::SamplePaths()) {
        if (path.find("multicolumns") != std::string::npos)
            paths.push_back(path);
    }
    for (const std::string& path : hwp_testing::HwpxSamplePaths()) {
        if (path.find("MultiColumn") != std::string::npos)
            paths.push_back(path);
    }
    if (paths.size() < 4)
        GTEST_SKIP() << "the multi-column samples are not there";
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const hwp::Document document = hwpx::ReadAnyDocument(path);
        const std::vector<hwp::Columns> expected = ColumnsHeld(document);
        if (path.ends_with(".hwpx")) {
            ASSERT_FALSE(expected.empty());
            EXPECT_EQ(expected.front().count, 3);
            EXPECT_EQ(expected.front().shares, (std::vector<std::uint16_t>{6552, 873, 12234, 873, 12236, 0}));
        }
        const hwp::Document viaHwp = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
        EXPECT_EQ(ColumnsHeld(viaHwp), expected) << "through HWP";
        EXPECT_EQ(ColumnsHeld(hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(document))), expected) << "through HWPX";
        EXPECT_EQ(ColumnsHeld(hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(viaHwp))), expected) << "HWP, then HWPX";
        // Another count: the widths given for the old one go, the columns are of equal width.
        hwp::Document fewer = document;
        fewer.sections.front().columnCount = 2;
        const std::string package = hwpx::WriteHwpxToBytes(fewer);
        // The HWPX sample's section keeps its element as read, widths and all, and has no other.
        const hwpx::Package read = hwpx::ReadPackage(package);
        const std::string& section = read.Require("Contents/section0.xml");
        if (path.ends_with(".hwpx")) {
            EXPECT_EQ(section.find("colSz"), std::string::npos) << "no widths of the old count";
        }
        const hwp::Columns written = ColumnsHeld(hwpx::ReadHwpxFromBytes(package)).front();
        EXPECT_EQ(written.count, 2);
        EXPECT_TRUE(written.sameWidth);
        EXPECT_TRUE(written.shares.empty());
    }
}

}  // namespace
