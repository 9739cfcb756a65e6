// What an HWPX document holds and the model does not read (objects, marks, the section's
// and the header's settings, parts of the package) goes back into HWPX as read, in its
// place, also after the document went through an HWP file; and over the word
// processor's own documents (../shared/hwpx-samples) no part and no element goes,
// except those the model reads and writes in its own way.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "hwp/kept_xml.h"
#include "hwp/objects.h"
#include "hwp/paragraph_list.h"
#include "hwp/reader.h"
#include "hwp/table.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "hwpx/package.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"
#include "hwpx/xml.h"

namespace {

namespace fs = std::filesystem;

const char* const kHeader =
    R"(<?xml version="1.0" encoding="UTF-8"?><hh:head xmlns:hh="http://www.hancom.co.kr/hwpml/2011/head" version="1.4">)"
    R"(<hh:refList><hh:charProperties itemCnt="1"><hh:charPr id="0" height="1000"/></hh:charProperties>)"
    R"(<hh:trackChanges itemCnt="1"><hh:trackChange type="Insert" date="2026-01-01" authorID="1"/></hh:trackChanges>)"
    R"(</hh:refList><hh:docOption><hh:linkinfo path="" pageInherit="0" footnoteInherit="0"/></hh:docOption></hh:head>)";

// Kept objects at every level: a run's, a control's, inside a text, and inside a cell.
const char* const kSection =
    R"(<?xml version="1.0" encoding="UTF-8"?><hs:sec xmlns:hs="http://www.hancom.co.kr/hwpml/2011/section" )"
    R"(xmlns:hp="http://www.hancom.co.kr/hwpml/2011/paragraph" xmlns:hc="http://www.hancom.co.kr/hwpml/2011/core" )"
    R"(xmlns:x="urn:example:custom"><hp:p paraPrIDRef="0" styleIDRef="0"><hp:run charPrIDRef="0">)"
    R"(<hp:secPr textDirection="HORIZONTAL" tabStop="8000"><hp:grid lineGrid="0"/>)"
    R"(<hp:pagePr landscape="WIDELY" width="59528" height="84188"><hp:margin left="8504" right="8504" top="5668" )"
    R"(bottom="4252" header="4252" footer="4252" gutter="0"/></hp:pagePr><hp:footNotePr><hp:noteLine length="-1"/>)"
    R"(</hp:footNotePr></hp:secPr><hp:ctrl><hp:colPr type="NEWSPAPER" colCount="1" sameGap="0"><hp:colLine type="SOLID"/>)"
    R"(</hp:colPr></hp:ctrl><hp:ctrl><hp:pageNumCtrl pageStartsOn="ODD"/>)"
    R"(</hp:ctrl><hp:t>가<hp:insertBegin Id="1" TcId="2"/>나 &amp; &lt;다&gt;</hp:t>)"
    R"(<hp:textart id="5" x:note="둘"><hc:pt0 x="1" y="2"/></hp:textart>)"
    R"(<hp:tbl rowCnt="1" colCnt="1"><hp:sz width="1000" height="1000"/><hp:pos treatAsChar="1"/><hp:tr><hp:tc>)"
    R"(<hp:subList><hp:p paraPrIDRef="0" styleIDRef="0"><hp:run charPrIDRef="0"><hp:t>셀</hp:t><hp:ctrl>)"
    R"(<hp:indexmark><hp:firstKey>표 안</hp:firstKey></hp:indexmark></hp:ctrl></hp:run></hp:p></hp:subList><hp:cellAddr colAddr="0" rowAddr="0"/>)"
    R"(<hp:cellSpan colSpan="1" rowSpan="1"/><hp:cellSz width="1000" height="1000"/></hp:tc></hp:tr></hp:tbl>)"
    R"(</hp:run></hp:p></hs:sec>)";

std::string Package()
{
    return hwpx::WritePackage({{"mimetype", "application/hwp+zip"},
                               {"Contents/header.xml", kHeader},
                               {"Contents/section0.xml", kSection},
                               {"settings.xml", "<ha:HWPApplicationSetting xmlns:ha=\"urn:a\"/>"},
                               {"Custom/data.bin", std::string("\0\1\2", 3)}});
}

// Every kept element with its place and text position, cells included, in order.
void KeptOf(const std::vector<hwp::Paragraph>& paragraphs, std::vector<std::pair<std::uint32_t, hwp::KeptXml>>& out)
{
    for (const hwp::Paragraph& paragraph : paragraphs) {
        for (const hwp::Control& control : paragraph.controls) {
            if (const auto kept = hwp::ReadKeptXml(control))
                out.emplace_back(control.position, *kept);
            if (hwp::IsTable(control)) {
                for (const hwp::TableCell& cell : hwp::ReadTable(control).cells)
                    KeptOf(cell.paragraphs, out);
            }
        }
    }
}

std::vector<std::pair<std::uint32_t, hwp::KeptXml>> KeptOf(const hwp::Document& document)
{
    std::vector<std::pair<std::uint32_t, hwp::KeptXml>> out;
    for (const hwp::Section& section : document.sections)
        KeptOf(section.paragraphs, out);
    return out;
}

TEST(HwpxKeptXml, WhatTheModelDoesNotReadComesBackInItsPlaceThroughHwpxAndHwp)
{
    const hwp::Document read = hwpx::ReadHwpxFromBytes(Package());
    const hwp::Paragraph& first = read.sections.at(0).paragraphs.at(0);
    EXPECT_EQ(first.text, u"가나 & <다>");
    const auto kept = KeptOf(read);
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept[0].first, 0u);
    EXPECT_EQ(kept[0].second.place, hwp::XmlPlace::Ctrl);
    EXPECT_NE(kept[0].second.xml.find("pageStartsOn"), std::string::npos);
    EXPECT_EQ(kept[1].first, 1u);
    EXPECT_EQ(kept[1].second.place, hwp::XmlPlace::Text);
    EXPECT_EQ(kept[2].second.place, hwp::XmlPlace::Run);
    EXPECT_NE(kept[2].second.xml.find("urn:example:custom"), std::string::npos);   // its own namespace goes with it
    EXPECT_NE(kept[3].second.xml.find("표 안"), std::string::npos);
    // The pane names them.
    EXPECT_EQ(hwp::DescribeControl(first.controls[0]), u"홀짝 조정");
    EXPECT_EQ(hwp::DescribeKeptXml(kept[1].second), u"표식");
    EXPECT_EQ(hwp::DescribeKeptXml(kept[2].second), u"글맵시");
    EXPECT_EQ(hwp::DescribeKeptXml(kept[3].second), u"찾아보기 표식");
    EXPECT_EQ(read.hwpxRefListXml.size(), 1u);
    EXPECT_EQ(read.hwpxHeadXml.size(), 1u);
    EXPECT_EQ(read.hwpxParts.count("settings.xml"), 1u);
    EXPECT_EQ(read.hwpxParts.at("Custom/data.bin"), std::string("\0\1\2", 3));

    // HWPX again: kept elements byte for byte, in their places.
    hwp::Document again = hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(read));
    EXPECT_EQ(again.sections.at(0).paragraphs.at(0).text, first.text);
    EXPECT_EQ(KeptOf(again), kept);
    EXPECT_EQ(again.hwpxRefListXml, read.hwpxRefListXml);
    EXPECT_EQ(again.hwpxHeadXml, read.hwpxHeadXml);
    EXPECT_EQ(again.hwpxParts.at("Custom/data.bin"), read.hwpxParts.at("Custom/data.bin"));

    // Through an HWP file the objects stay (as controls of our own); the package's and the
    // header's settings have no place there.
    const hwp::Document viaHwp = hwp::ReadDocumentFromBytes(hwp::WriteDocumentToBytes(read));
    const hwp::Document back = hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(viaHwp));
    EXPECT_EQ(KeptOf(back), kept);
    EXPECT_EQ(back.sections.at(0).paragraphs.at(0).text, first.text);
}

TEST(HwpxKeptXml, ASectionsSettingsAreWrittenWithThePageAndColumnsOfTheModel)
{
    hwp::Document document = hwpx::ReadHwpxFromBytes(Package());
    document.sections[0].page.width = 70000;
    document.sections[0].page.leftMargin = 1234;
    document.sections[0].columnCount = 2;
    document.sections[0].columnGap = 567;
    const hwp::Document back = hwpx::ReadHwpxFromBytes(hwpx::WriteHwpxToBytes(document));
    EXPECT_EQ(back.sections[0].page, document.sections[0].page);
    EXPECT_EQ(back.sections[0].columnCount, 2);
    EXPECT_EQ(back.sections[0].columnGap, 567);
    const std::string& settings = back.sections[0].hwpxSettingsXml;
    EXPECT_NE(settings.find("footNotePr"), std::string::npos);
    EXPECT_NE(settings.find("tabStop=\"8000\""), std::string::npos);
    EXPECT_NE(back.sections[0].hwpxColumnsXml.find("colLine"), std::string::npos);
}

std::vector<std::string> Samples()
{
    std::vector<std::string> paths;
    const char* source = std::getenv("VARNEL_SOURCE_DIR");
    std::error_code error;
    const fs::path folder = fs::path(source == nullptr ? "" : source) / ".." / "shared" / "hwpx-samples";
    if (source == nullptr || !fs::is_directory(folder, error))
        return paths;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".hwpx")
            paths.push_back(entry.path().string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void CountElements(const hwpx::XmlNode& node, std::map<QString, int>& counts)
{
    if (node.IsText())
        return;
    ++counts[node.name];
    for (const hwpx::XmlNode& child : node.children)
        CountElements(child, counts);
}

TEST(HwpxKeptXml, TheWordProcessorsDocumentsKeepEveryPartAndElement)
{
    const std::vector<std::string> samples = Samples();
    if (samples.empty())
        GTEST_SKIP() << "no HWPX samples beside the repository";
    // What the writer composes in its own way: runs and texts as the model's char shapes
    // part them; and the numbers of click-here fields' parameters, which the model does
    // not hold.
    const std::set<QString> composed = {QStringLiteral("t"), QStringLiteral("run"), QStringLiteral("integerParam")};
    for (const std::string& path : samples) {
        SCOPED_TRACE(path);
        const std::string original = hwp_testing::ReadFile(path);
        const hwpx::Package before = hwpx::ReadPackage(original);
        const hwpx::Package after = hwpx::ReadPackage(hwpx::WriteHwpxToBytes(hwpx::ReadHwpxFromBytes(original)));
        for (const auto& [name, bytes] : before.parts) {
            EXPECT_TRUE(after.parts.contains(name)) << name;
            if (!name.starts_with("Contents/") || !name.ends_with(".xml") || !after.parts.contains(name))
                continue;
            std::map<QString, int> was;
            std::map<QString, int> is;
            CountElements(hwpx::ParseXml(bytes, name), was);
            CountElements(hwpx::ParseXml(after.parts.at(name), name), is);
            for (const auto& [element, count] : was) {
                if (!composed.contains(element)) {
                    EXPECT_LE(count, is[element]) << name << ": " << element.toStdString();
                }
            }
        }
    }
}

}  // namespace
