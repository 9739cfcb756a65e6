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
         R"(sameSz="0" sameGap="0"><hp:colLine type="SOLID" width="0.15 mm" color="#FF0000"/><hp:colSz width="19842" gap="2263"/>)"},
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

}  // namespace
