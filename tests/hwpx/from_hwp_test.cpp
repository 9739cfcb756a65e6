// The HWP documents the word processor wrote (../shared/hwp-samples), written as HWPX and
// read back: every paragraph keeps its text and the text of its objects (captions too),
// and every hyperlink and auto number becomes its HWPX element.
#include <gtest/gtest.h>

#include "hwp/auto_number.h"
#include "hwp/bytes.h"
#include "hwp/error.h"
#include "hwp/objects.h"
#include "hwp/reader.h"
#include "hwp/records.h"
#include "hwp_testing.h"
#include "hwpx/package.h"
#include "hwpx/reader.h"
#include "hwpx/writer.h"

namespace {

// Letters of a paragraph and of its objects, white space aside.
std::u16string Letters(const hwp::Paragraph& paragraph)
{
    std::u16string all = paragraph.text;
    for (const hwp::Control& control : paragraph.controls)
        all += hwp::ControlText(control);
    std::erase_if(all, [](char16_t c) { return c <= u' ' || c == 0x00A0 || c == 0x2007 || c == 0x00AD; });
    return all;
}

// Controls of `id` at any depth (a control's records hold its lists' controls).
std::size_t Count(const hwp::Document& document, std::uint32_t id)
{
    std::size_t count = 0;
    for (const hwp::Section& section : document.sections)
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            for (const hwp::Control& control : paragraph.controls)
                for (const hwp::ObjectRecord& record : control.records)
                    count += record.tag == hwp::tag::kCtrlHeader && record.data.size() >= 4 &&
                             hwp::LittleEndianAt(record.data, 0, 4) == id;
    return count;
}

std::size_t Occurrences(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

TEST(HwpxFromHwp, SamplesKeepTheirTextCaptionsHyperlinksAndAutoNumbers)
{
    const std::vector<std::string> paths = hwp_testing::SamplePaths();
    if (paths.empty())
        GTEST_SKIP() << "../shared/hwp-samples is not there";
    std::size_t links = 0;
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        hwp::Document document;
        try {
            document = hwp::ReadDocument(path);
        } catch (const hwp::HwpError&) {
            continue;   // the password-protected one
        }
        const std::string package = hwpx::WriteHwpxToBytes(document);
        const hwp::Document back = hwpx::ReadHwpxFromBytes(package);
        ASSERT_EQ(back.sections.size(), document.sections.size());
        for (std::size_t s = 0; s < document.sections.size(); ++s) {
            const auto& ours = document.sections[s].paragraphs;
            const auto& theirs = back.sections[s].paragraphs;
            ASSERT_EQ(theirs.size(), ours.size());
            for (std::size_t p = 0; p < ours.size(); ++p)
                EXPECT_EQ(Letters(theirs[p]), Letters(ours[p])) << "paragraph " << p;
        }
        std::string sections;
        for (const auto& [name, bytes] : hwpx::ReadPackage(package).parts)
            if (name.starts_with("Contents/section"))
                sections += bytes;
        const std::size_t hyperlinks = Count(document, hwp::CtrlId('%', 'h', 'l', 'k'));
        EXPECT_EQ(Occurrences(sections, "type=\"HYPERLINK\""), hyperlinks);
        EXPECT_EQ(Occurrences(sections, "<hp:fieldEnd "), hyperlinks + Occurrences(sections, "type=\"CLICK_HERE\""));
        EXPECT_EQ(Occurrences(sections, "<hp:autoNum "), Count(document, hwp::kAutoNumberCtrlId));
        links += hyperlinks;
    }
    EXPECT_GT(links, 0u) << "a sample with hyperlinks";
}

}  // namespace
