// Object sizes given as a share of the paper, the page's body, the column or the
// paragraph are read as the lengths they stand for, so an object prints alike from
// HWPX and from HWP; written back they are the file's shares again, a resized object's
// new share of the same basis, and what is no share stays as read.
#include <gtest/gtest.h>

#include "hwp/bytes.h"
#include "hwp/object_properties.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp/writer.h"
#include "hwpx/package.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"
#include "hwpx/xml.h"

namespace {

// A4 with 30 mm side margins (body 42520 wide, 65764 high), two columns 1134 apart
// (20693 wide each), and a paragraph shape 2000 in from the left and 1000 from the right
// (17693 wide; the header holds margins doubled).
const char* const kHeader =
    R"(<?xml version="1.0" encoding="UTF-8"?><hh:head xmlns:hh="http://www.hancom.co.kr/hwpml/2011/head" )"
    R"(xmlns:hc="http://www.hancom.co.kr/hwpml/2011/core" version="1.4"><hh:refList>)"
    R"(<hh:charProperties itemCnt="1"><hh:charPr id="0" height="1000"/></hh:charProperties>)"
    R"(<hh:paraProperties itemCnt="2"><hh:paraPr id="0"/><hh:paraPr id="1"><hh:margin><hc:left value="4000"/>)"
    R"(<hc:right value="2000"/></hh:margin></hh:paraPr></hh:paraProperties></hh:refList></hh:head>)";

const char* const kSectionHead =
    R"(<?xml version="1.0" encoding="UTF-8"?><hs:sec xmlns:hs="http://www.hancom.co.kr/hwpml/2011/section" )"
    R"(xmlns:hp="http://www.hancom.co.kr/hwpml/2011/paragraph" xmlns:hc="http://www.hancom.co.kr/hwpml/2011/core">)"
    R"(<hp:p paraPrIDRef="1" styleIDRef="0"><hp:run charPrIDRef="0"><hp:secPr textDirection="HORIZONTAL">)"
    R"(<hp:pagePr landscape="WIDELY" width="59528" height="84188"><hp:margin left="8504" right="8504" top="5668" )"
    R"(bottom="4252" header="4252" footer="4252" gutter="0"/></hp:pagePr></hp:secPr><hp:ctrl>)"
    R"(<hp:colPr type="NEWSPAPER" colCount="2" sameSz="1" sameGap="1134"/></hp:ctrl>)";

struct Case {
    const char* widthBasis;
    long long width;
    const char* heightBasis;
    long long height;
    hwp::HwpUnit length;   // the width in the model
    hwp::HwpUnit tall;     // the height in the model
    // Written after the model's width doubled.
    const char* resizedBasis;
    long long resized;
};

const Case kCases[] = {
    {"PAPER", 5000, "PAPER", 2500, 29764, 21047, "PAPER", 10000},
    {"PAGE", 5000, "PAGE", 1000, 21260, 6576, "PAGE", 10000},
    {"COLUMN", 5259, "ABSOLUTE", 21806, 10882, 21806, "COLUMN", 10518},
    {"PARA", 10000, "ABSOLUTE", 500, 17693, 500, "PARA", 20000},
    {"ABSOLUTE", 12345, "ABSOLUTE", 6789, 12345, 6789, "ABSOLUTE", 24690},
    // No share: what is there is taken as a length, and goes back as read.
    {"COLUMN", 2000000, "PAGE", -30, 2000000, -30, "ABSOLUTE", 4000000},
};

std::string Package()
{
    std::string section = kSectionHead;
    for (const Case& c : kCases)
        section += std::string(R"(<hp:rect id="1" zOrder="0" textWrap="IN_FRONT_OF_TEXT" ratio="0">)") +
                   R"(<hp:orgSz width="1000" height="1000"/><hp:curSz width="0" height="0"/><hp:sz width=")" +
                   std::to_string(c.width) + R"(" widthRelTo=")" + c.widthBasis + R"(" height=")" +
                   std::to_string(c.height) + R"(" heightRelTo=")" + c.heightBasis + R"(" protect="0"/>)" +
                   R"(<hp:pos treatAsChar="0" vertRelTo="PAPER" horzRelTo="PAPER"/></hp:rect>)";
    section += "</hp:run></hp:p></hs:sec>";
    return hwpx::WritePackage({{"mimetype", "application/hwp+zip"},
                               {"Contents/header.xml", kHeader},
                               {"Contents/section0.xml", section}});
}

std::vector<hwp::ObjectProperties> Objects(const hwp::Document& document)
{
    std::vector<hwp::ObjectProperties> out;
    for (const hwp::Control& control : document.sections.at(0).paragraphs.at(0).controls)
        out.push_back(hwp::ReadObjectProperties(hwp::View(control.records.at(0).data), "test"));
    return out;
}

// The <hp:sz> elements of the first section, in order.
std::vector<const hwpx::XmlNode*> Sizes(const hwpx::XmlNode& node, std::vector<const hwpx::XmlNode*> out = {})
{
    for (const hwpx::XmlNode& child : node.children) {
        if (child.name == u"sz")
            out.push_back(&child);
        out = Sizes(child, std::move(out));
    }
    return out;
}

void ExpectSizes(const std::string& package, bool resized, const char* what)
{
    SCOPED_TRACE(what);
    const hwpx::XmlNode section = hwpx::ParseXml(hwpx::ReadPackage(package).Require("Contents/section0.xml"), "section");
    const std::vector<const hwpx::XmlNode*> sizes = Sizes(section);
    ASSERT_EQ(sizes.size(), std::size(kCases));
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const Case& c = kCases[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(sizes[i]->Attr(u"widthRelTo"), QString::fromLatin1(resized ? c.resizedBasis : c.widthBasis));
        EXPECT_EQ(sizes[i]->Int(u"width"), resized ? c.resized : c.width);
        EXPECT_EQ(sizes[i]->Attr(u"heightRelTo"), QString::fromLatin1(c.heightBasis));
        EXPECT_EQ(sizes[i]->Int(u"height"), c.height);
    }
}

TEST(HwpxRelativeSizes, SharesAreReadAsLengthsAndWrittenBackAsTheFileHadThem)
{
    const hwp::Document read = hwpx::ReadHwpxFromBytes(Package());
    const hwp::Document viaHwp = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(read));
    for (const hwp::Document* document : {&read, &viaHwp}) {
        const std::vector<hwp::ObjectProperties> objects = Objects(*document);
        ASSERT_EQ(objects.size(), std::size(kCases));
        for (std::size_t i = 0; i < objects.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(objects[i].width, kCases[i].length);
            EXPECT_EQ(objects[i].height, kCases[i].tall);
            // Absolute in the model, and so in an HWP file: the one reading no reader can take otherwise.
            EXPECT_EQ(objects[i].widthBasis, 4);
            EXPECT_EQ(objects[i].heightBasis, 2);
        }
    }
    ExpectSizes(hwpx::WriteHwpxToBytes(read), false, "HWPX again");
    ExpectSizes(hwpx::WriteHwpxToBytes(viaHwp), false, "HWPX through HWP");

    hwp::Document resized = read;
    for (hwp::Control& control : resized.sections.at(0).paragraphs.at(0).controls) {
        hwp::ObjectProperties object = hwp::ReadObjectProperties(hwp::View(control.records.at(0).data), "test");
        object.width *= 2;
        control.records.at(0).data = hwp::WriteObjectProperties(control.ctrlId, object);
    }
    ExpectSizes(hwpx::WriteHwpxToBytes(resized), true, "resized");
}

// Text goes around tight and through objects by their box, as around square ones, not
// above and below them.
TEST(HwpxObjects, TightAndThroughWrapsAreReadAsSquare)
{
    const std::pair<const char*, hwp::TextWrap> wraps[] = {
        {"TIGHT", hwp::TextWrap::Square},           {"THROUGH", hwp::TextWrap::Square},
        {"SQUARE", hwp::TextWrap::Square},          {"TOP_AND_BOTTOM", hwp::TextWrap::TopAndBottom},
        {"BEHIND_TEXT", hwp::TextWrap::BehindText}, {"", hwp::TextWrap::TopAndBottom},
    };
    std::string section = kSectionHead;
    for (const auto& [word, wrap] : wraps)
        section += std::string(R"(<hp:rect id="1" zOrder="0" textWrap=")") + word + R"(" ratio="0">)" +
                   R"(<hp:sz width="1000" height="1000"/><hp:pos treatAsChar="0"/></hp:rect>)";
    section += "</hp:run></hp:p></hs:sec>";
    const hwp::Document read = hwpx::ReadHwpxFromBytes(hwpx::WritePackage(
        {{"mimetype", "application/hwp+zip"}, {"Contents/header.xml", kHeader}, {"Contents/section0.xml", section}}));
    const std::vector<hwp::ObjectProperties> objects = Objects(read);
    ASSERT_EQ(objects.size(), std::size(wraps));
    for (std::size_t i = 0; i < objects.size(); ++i)
        EXPECT_EQ(objects[i].wrap, wraps[i].second) << wraps[i].first;
}

}  // namespace
