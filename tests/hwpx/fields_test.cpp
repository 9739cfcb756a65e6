// Fields other than click-here fields (dates, paths, summaries, user info, cross
// references, mail merges, formulas, hyperlinks, ...) go from HWP to HWPX and back as the
// same controls, and an HWPX field the model cannot hold stays as read.
#include <gtest/gtest.h>

#include "hwp/bytes.h"
#include "hwp/kept_xml.h"
#include "hwp/reader.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "hwpx/fields.h"
#include "hwpx/package.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"

namespace {

struct Case {
    const char* type;   // as HWPX names the kind
    std::uint32_t ctrlId;
    std::uint32_t properties;
    std::u16string command;
    std::u16string name;
    std::uint32_t begin;
    std::uint32_t end;   // hwp::kEndsInLaterParagraph: runs on into the next paragraph
};

const Case kCases[] = {
    {"DATE", hwp::CtrlId('%', 'd', 't', 'e'), 0x8000, u"YYYY년 M월 D일", u"", 0, 2},
    {"DOC_DATE", hwp::CtrlId('%', 'd', 'd', 't'), 0, u"YYYY-MM-DD", u"작성일", 3, 3},
    {"PATH", hwp::CtrlId('%', 'p', 'a', 't'), 1, u"$P$F", u"", 4, 6},
    {"SUMMARY", hwp::CtrlId('%', 's', 'm', 'r'), 0, u"$title", u"제목", 6, 8},
    {"USER_INFO", hwp::CtrlId('%', 'u', 's', 'r'), 0, u"$UserName", u"", 8, 9},
    {"CROSSREF", hwp::CtrlId('%', 'x', 'r', 'f'), 0x8001, u"?#표1;0;0;0", u"", 9, 10},
    {"MAILMERGE", hwp::CtrlId('%', 'm', 'm', 'g'), 0, u"이름", u"받는 사람", 10, 10},
    {"FORMULA", hwp::CtrlId('%', 'f', 'm', 'u'), 0, u"=SUM(A1:A3)", u"", 11, 12},
    {"HYPERLINK", hwp::CtrlId('%', 'h', 'l', 'k'), 0, u"https\\://example.org;1;0;0;", u"", 12, hwp::kEndsInLaterParagraph},
};

hwp::Control FieldControl(const Case& c)
{
    hwp::ByteWriter head;
    head.U32(c.ctrlId);
    head.U32(c.properties);
    head.U8(0);
    head.Text16(c.command);
    head.U32(77);
    head.U32(0);
    hwp::Control control;
    control.code = 3;
    control.ctrlId = c.ctrlId;
    control.position = c.begin;
    control.end = c.end;
    control.records.push_back({hwp::tag::kCtrlHeader, 0, hwp::ToBytes(head.Data())});
    if (!c.name.empty()) {
        hwp::ByteWriter data;
        data.U16(0x021B);
        data.I16(1);
        data.U16(0x4000);
        data.U16(1);
        data.Text16(c.name);
        control.records.push_back({hwp::tag::kCtrlData, 1, hwp::ToBytes(data.Data())});
    }
    return control;
}

void ExpectFields(const hwp::Document& document, const char* through, bool lastEndsWithParagraph)
{
    SCOPED_TRACE(through);
    ASSERT_EQ(document.sections.at(0).paragraphs.size(), 2u);
    const hwp::Paragraph& paragraph = document.sections[0].paragraphs[0];
    EXPECT_EQ(paragraph.text, u"가나다라마바사아자차카타파하");
    ASSERT_EQ(paragraph.controls.size(), std::size(kCases));
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const Case& c = kCases[i];
        SCOPED_TRACE(c.type);
        const hwp::Control& control = paragraph.controls[i];
        EXPECT_EQ(control.code, 3);
        EXPECT_EQ(control.position, c.begin);
        const bool later = c.end == hwp::kEndsInLaterParagraph;
        EXPECT_EQ(control.end, later && lastEndsWithParagraph ? paragraph.text.size() : c.end);
        const std::optional<hwpx::FieldControl> field = hwpx::ReadFieldControl(control);
        ASSERT_TRUE(field);
        EXPECT_EQ(field->ctrlId, c.ctrlId);
        EXPECT_EQ(field->properties, c.properties);
        EXPECT_EQ(field->command, c.command);
        EXPECT_EQ(field->name, c.name);
    }
}

TEST(HwpxFields, FieldsOfEveryKindGoFromHwpToHwpxAndBackAsTheSameControls)
{
    hwp::Document document = hwp_testing::DocumentWithTexts({u"가나다라마바사아자차카타파하", u"다음"});
    for (const Case& c : kCases)
        document.sections[0].paragraphs[0].controls.push_back(FieldControl(c));
    document.sections[0].paragraphs[1].fieldEnds.emplace_back(1, kCases[std::size(kCases) - 1].ctrlId & 0x00FFFFFF);
    const hwp::Document hwp = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(document));
    ExpectFields(hwp, "HWP", false);
    const std::string package = hwpx::WriteHwpxToBytes(hwp);
    const hwp::Document hwpx = hwpx::ReadHwpxFromBytes(package);
    ExpectFields(hwpx, "HWPX", true);
    ExpectFields(hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(hwpx)), "HWPX, then HWP", true);
    ExpectFields(hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(hwpx)), "HWPX again", true);
    std::string sections;
    for (const auto& [name, bytes] : hwpx::ReadPackage(package).parts)
        if (name.starts_with("Contents/section"))
            sections += bytes;
    for (const Case& c : kCases)
        EXPECT_NE(sections.find(std::string("type=\"") + c.type + "\""), std::string::npos) << c.type;
}

// An element of the word processor's: its fieldid, when given, names the kind; a field
// with more than the model holds (a memo's text, parameters of its own) is kept whole.
TEST(HwpxFields, FieldElementsReadAsControlsOrStayAsRead)
{
    const struct {
        const char* element;
        std::uint32_t ctrlId;   // 0: kept as read
        std::uint32_t properties;
    } cases[] = {
        {R"(<hp:fieldBegin id="7" type="HYPERLINK" name="" editable="0" dirty="0" zorder="-1" fieldid="627600491">)"
         R"(<hp:parameters cnt="2" name=""><hp:integerParam name="Prop">0</hp:integerParam>)"
         R"(<hp:stringParam name="Command">www.daum.net|-;1;0;0</hp:stringParam></hp:parameters></hp:fieldBegin>)",
         hwp::CtrlId('%', 'h', 'l', 'k'), 0},
        {R"(<hp:fieldBegin id="7" type="DATE" name="" editable="1" dirty="1"/>)", hwp::CtrlId('%', 'd', 't', 'e'), 0x8001},
        {R"(<hp:fieldBegin id="7" type="SOMETHING_NEW" fieldid="628652395"/>)", hwp::CtrlId('%', 'x', 'y', 'k'), 0},
        {R"(<hp:fieldBegin id="7" type="SOMETHING_NEW"/>)", 0, 0},
        {R"(<hp:fieldBegin id="7" type="MEMO"><hp:subList><hp:p/></hp:subList></hp:fieldBegin>)", 0, 0},
        {R"(<hp:fieldBegin id="7" type="DATE"><hp:parameters cnt="1"><hp:integerParam name="Other">1</hp:integerParam>)"
         R"(</hp:parameters></hp:fieldBegin>)",
         0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.element);
        const std::string section =
            R"(<?xml version="1.0" encoding="UTF-8"?><hs:sec xmlns:hs="http://www.hancom.co.kr/hwpml/2011/section" )"
            R"(xmlns:hp="http://www.hancom.co.kr/hwpml/2011/paragraph"><hp:p paraPrIDRef="0" styleIDRef="0">)"
            R"(<hp:run charPrIDRef="0"><hp:t>앞</hp:t><hp:ctrl>)" +
            std::string(c.element) + R"(</hp:ctrl><hp:t>안</hp:t><hp:ctrl><hp:fieldEnd beginIDRef="7"/></hp:ctrl><hp:t>뒤</hp:t></hp:run></hp:p></hs:sec>)";
        const hwp::Document document = hwpx::ReadHwpxFromBytes(hwpx::WritePackage(
            {{"mimetype", "application/hwp+zip"},
             {"Contents/header.xml",
              R"(<?xml version="1.0" encoding="UTF-8"?><hh:head xmlns:hh="http://www.hancom.co.kr/hwpml/2011/head">)"
              R"(<hh:refList><hh:charProperties itemCnt="1"><hh:charPr id="0" height="1000"/></hh:charProperties>)"
              R"(</hh:refList></hh:head>)"},
             {"Contents/section0.xml", section}}));
        const hwp::Paragraph& paragraph = document.sections.at(0).paragraphs.at(0);
        EXPECT_EQ(paragraph.text, u"앞안뒤");
        if (c.ctrlId == 0) {
            ASSERT_EQ(paragraph.controls.size(), 2u) << "the beginning and the end, each as read";
            EXPECT_TRUE(hwp::ReadKeptXml(paragraph.controls[0]));
            EXPECT_TRUE(hwp::ReadKeptXml(paragraph.controls[1]));
            continue;
        }
        ASSERT_EQ(paragraph.controls.size(), 1u);
        const hwp::Control& control = paragraph.controls[0];
        EXPECT_EQ(control.position, 1u);
        EXPECT_EQ(control.end, 2u);
        const std::optional<hwpx::FieldControl> field = hwpx::ReadFieldControl(control);
        ASSERT_TRUE(field);
        EXPECT_EQ(field->ctrlId, c.ctrlId);
        EXPECT_EQ(field->properties, c.properties);
    }
}

}  // namespace
