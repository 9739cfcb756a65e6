// Auto numbers, new numbers, page number positions and page hiding of an HWPX document
// are the model's own controls: they print (or hide) what they say, and go back into HWPX
// and HWP as the elements and controls the word processor shows.
#include <gtest/gtest.h>

#include "hwp/auto_number.h"
#include "hwp/bytes.h"
#include "hwp/kept_xml.h"
#include "hwp/reader.h"
#include "hwp/writer.h"
#include "hwpx/package.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"

namespace {

const char* const kHeader =
    R"(<?xml version="1.0" encoding="UTF-8"?><hh:head xmlns:hh="http://www.hancom.co.kr/hwpml/2011/head" version="1.4">)"
    R"(<hh:refList><hh:charProperties itemCnt="1"><hh:charPr id="0" height="1000"/></hh:charProperties>)"
    R"(</hh:refList></hh:head>)";

struct Case {
    const char* element;
    std::uint32_t ctrlId;
    char16_t code;
    std::uint32_t properties;
    std::uint16_t number;
    std::u16string printed;   // an auto number's text, a page number position's for page 4
};

const Case kCases[] = {
    {R"(<hp:autoNum num="3" numType="TABLE"><hp:autoNumFormat type="DIGIT" userChar="" prefixChar="" )"
     R"(suffixChar="" supscript="0"/></hp:autoNum>)",
     hwp::kAutoNumberCtrlId, 18, 0x004, 3, u"3"},
    {R"(<hp:autoNum num="2" numType="FOOTNOTE"><hp:autoNumFormat type="HANGUL_SYLLABLE" userChar="" )"
     R"x(prefixChar="(" suffixChar=")" supscript="1"/></hp:autoNum>)x",
     hwp::kAutoNumberCtrlId, 18, 0x1081, 2, u"(나)"},
    {R"(<hp:autoNum num="6" numType="ENDNOTE"><hp:autoNumFormat type="SYMBOL" userChar="" prefixChar="" )"
     R"(suffixChar="" supscript="0"/></hp:autoNum>)",
     hwp::kAutoNumberCtrlId, 18, 0x802, 6, u"††"},
    {R"(<hp:autoNum num="2" numType="EQUATION"><hp:autoNumFormat type="USER_CHAR" userChar="★" prefixChar="" )"
     R"(suffixChar="" supscript="0"/></hp:autoNum>)",
     hwp::kAutoNumberCtrlId, 18, 0x815, 2, u"★★"},
    {R"(<hp:newNum num="23" numType="PAGE"/>)", hwp::kNewNumberCtrlId, 21, 0, 23, u""},
    {R"(<hp:newNum num="5" numType="PICTURE"/>)", hwp::kNewNumberCtrlId, 21, 3, 5, u""},
    {R"(<hp:pageNum pos="BOTTOM_CENTER" formatType="ROMAN_SMALL" sideChar="-"/>)",
     hwp::kPageNumberPositionCtrlId, 21, 0x503, 0, u"-iv-"},
    {R"(<hp:pageNum pos="OUTSIDE_TOP" formatType="DIGIT" sideChar=""/>)", hwp::kPageNumberPositionCtrlId, 21,
     0x700, 0, u"4"},
    {R"(<hp:pageHiding hideHeader="1" hideFooter="0" hideMasterPage="1" hideBorder="0" hideFill="0" hidePageNum="1"/>)",
     hwp::kPageHidingCtrlId, 21, 0x25, 0, u""},
};

std::string Package()
{
    std::string section =
        R"(<?xml version="1.0" encoding="UTF-8"?><hs:sec xmlns:hs="http://www.hancom.co.kr/hwpml/2011/section" )"
        R"(xmlns:hp="http://www.hancom.co.kr/hwpml/2011/paragraph"><hp:p paraPrIDRef="0" styleIDRef="0">)"
        R"(<hp:run charPrIDRef="0"><hp:t>표 </hp:t>)";
    for (const Case& c : kCases)
        section += std::string("<hp:ctrl>") + c.element + "</hp:ctrl>";
    section += R"(<hp:t>.</hp:t></hp:run></hp:p></hs:sec>)";
    return hwpx::WritePackage({{"mimetype", "application/hwp+zip"},
                               {"Contents/header.xml", kHeader},
                               {"Contents/section0.xml", section}});
}

void ExpectNumbers(const hwp::Document& document, const char* through)
{
    SCOPED_TRACE(through);
    ASSERT_FALSE(document.sections.empty());
    ASSERT_FALSE(document.sections[0].paragraphs.empty());
    const hwp::Paragraph& paragraph = document.sections[0].paragraphs[0];
    EXPECT_EQ(paragraph.text, u"표 .");
    ASSERT_EQ(paragraph.controls.size(), std::size(kCases));
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const Case& c = kCases[i];
        const hwp::Control& control = paragraph.controls[i];
        SCOPED_TRACE(c.element);
        EXPECT_FALSE(hwp::ReadKeptXml(control));
        EXPECT_EQ(control.ctrlId, c.ctrlId);
        EXPECT_EQ(control.code, c.code);
        EXPECT_EQ(control.position, 2u);
        if (const auto number = hwp::ReadAutoNumber(control)) {
            EXPECT_EQ(number->properties, c.properties);
            EXPECT_EQ(number->number, c.number);
            EXPECT_EQ(number->Text(), c.printed);
        } else if (const auto restart = hwp::ReadNewNumber(control)) {
            EXPECT_EQ(restart->properties, c.properties);
            EXPECT_EQ(restart->number, c.number);
        } else if (const auto position = hwp::ReadPageNumberPosition(control)) {
            EXPECT_EQ(position->properties, c.properties);
            EXPECT_EQ(position->Text(4), c.printed);
        } else if (control.ctrlId == hwp::kPageHidingCtrlId) {
            ASSERT_GE(control.records.at(0).data.size(), 8u);
            EXPECT_EQ(hwp::LittleEndianAt(control.records[0].data, 4, 4), c.properties);
        } else {
            ADD_FAILURE() << "not a number control";
        }
    }
}

TEST(HwpxNumbers, ReadAsTheModelsControlsAndKeptThroughHwpxAndHwp)
{
    const hwp::Document read = hwpx::ReadHwpxFromBytes(Package());
    ExpectNumbers(read, "read");
    ExpectNumbers(hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(read)), "HWPX again");
    const hwp::Document viaHwp = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(read));
    ExpectNumbers(viaHwp, "as HWP");
    ExpectNumbers(hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(viaHwp)), "HWP, then HWPX");
}

}  // namespace
