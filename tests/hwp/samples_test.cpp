// Documents written by the HWP word processor: we read each one (or refuse the
// password-protected one), our texts match hwpjs's, and what
// we write back opens in hwpjs with the same text.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "hwp/reader.h"
#include "hwp/writer.h"
#include "hwp_testing.h"
#include "support/text.h"

namespace {

using namespace hwp_testing;

bool IsPasswordSample(const std::string& path)
{
    return std::filesystem::path(path).filename().string().find("password") != std::string::npos;
}

std::vector<std::vector<std::u16string>> PlainTexts(const hwp::Document& document)
{
    std::vector<std::vector<std::u16string>> out;
    for (const hwp::Section& section : document.sections) {
        std::vector<std::u16string> texts;
        for (const hwp::Paragraph& paragraph : section.paragraphs)
            texts.push_back(paragraph.text);
        out.push_back(std::move(texts));
    }
    return out;
}

// hwpjs may list a paragraph inside an object twice: the texts are compared as sets.
std::vector<std::set<std::u16string>> TextSets(const std::vector<std::vector<std::u16string>>& sections)
{
    std::vector<std::set<std::u16string>> out;
    for (const auto& section : OracleView(sections)) {
        std::set<std::u16string> texts;
        for (const std::u16string& text : section) {
            if (!text.empty())
                texts.insert(text);
        }
        out.push_back(std::move(texts));
    }
    return out;
}

void ExpectSameTexts(const std::vector<std::vector<std::u16string>>& oracle,
                     const std::vector<std::vector<std::u16string>>& ours, const std::string& what)
{
    ASSERT_EQ(oracle.size(), ours.size()) << what;
    for (std::size_t s = 0; s < ours.size(); ++s) {
        ASSERT_EQ(oracle[s].size(), ours[s].size()) << what << " section " << s;
        for (std::size_t p = 0; p < ours[s].size(); ++p)
            EXPECT_EQ(Utf16ToUtf8(oracle[s][p]), Utf16ToUtf8(ours[s][p])) << what << " section " << s << " paragraph " << p;
    }
}

TEST(HwpSamples, EverySampleIsReadOrRefusedForItsPassword)
{
    const auto paths = SamplePaths();
    if (paths.empty())
        GTEST_SKIP() << "no HWP samples in ../shared/hwp-samples";
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        if (IsPasswordSample(path)) {
            try {
                hwp::ReadDocument(path);
                ADD_FAILURE() << "a password-protected document was read";
            } catch (const hwp::HwpError& error) {
                EXPECT_NE(std::string(error.what()).find("password"), std::string::npos) << error.what();
            }
            continue;
        }
        const hwp::Document document = hwp::ReadDocument(path);
        EXPECT_EQ(document.version.major, 5);
        EXPECT_FALSE(document.sections.empty());
        EXPECT_FALSE(document.charShapes.empty());
        EXPECT_FALSE(document.styles.empty());
        EXPECT_NO_THROW(hwp::CheckDocument(document));
    }
}

TEST(HwpSamples, SmallQuestionSampleHoldsWhatTheWordProcessorWrote)
{
    const std::string folder = SamplesFolder();
    if (folder.empty())
        GTEST_SKIP() << "no HWP samples";
    const hwp::Document document = hwp::ReadDocument(folder + "/issue30.hwp");
    EXPECT_EQ(document.version, (hwp::Version{5, 0, 1, 7}));
    for (const auto& faces : document.faces)
        EXPECT_EQ(faces.size(), 2u);
    EXPECT_EQ(document.borderFills.size(), 1u);
    EXPECT_EQ(document.charShapes.size(), 5u);
    EXPECT_EQ(document.tabDefs.size(), 3u);
    EXPECT_EQ(document.numberings.size(), 1u);
    EXPECT_EQ(document.paraShapes.size(), 12u);
    EXPECT_EQ(document.styles.size(), 14u);
    EXPECT_EQ(document.styles.front().name, u"바탕글");
    EXPECT_EQ(document.styles.front().englishName, u"Normal");
    EXPECT_EQ(document.sections.front().page, hwp::PageDef{});
    EXPECT_EQ(document.faces[0].front().name, u"굴림");
}

TEST(HwpSamples, TextsMatchHwpjsAndSurviveOurWriter)
{
    std::vector<std::string> paths;
    for (const std::string& path : SamplePaths()) {
        if (!IsPasswordSample(path))
            paths.push_back(path);
    }
    if (paths.empty())
        GTEST_SKIP() << "no HWP samples";
    const std::vector<OracleResult> originals = OracleTexts(paths);
    if (!originals.front().available)
        GTEST_SKIP() << "the hwpjs oracle is not installed";
    ScratchFolder scratch;
    std::vector<hwp::Document> documents;
    std::vector<std::string> copies;
    for (const std::string& path : paths) {
        documents.push_back(hwp::ReadDocument(path));
        copies.push_back(scratch.File(std::filesystem::path(path).filename().string()));
        hwp::WriteDocument(documents.back(), copies.back());
    }
    const std::vector<OracleResult> rewritten = OracleTexts(copies);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(paths[i]);
        if (originals[i].parsed && !originals[i].fromMarkdown) {
            ExpectSameTexts(originals[i].texts, OracleView(PlainTexts(documents[i])), "original");
            EXPECT_EQ(TextSets(originals[i].inner), TextSets(InnerTexts(documents[i]))) << "inside objects, original";
        }
        EXPECT_EQ(DisplayTexts(hwp::ReadDocument(copies[i])), DisplayTexts(documents[i]));
        // Objects go back as read: what hwpjs cannot read in the original (its picture
        // records want the fields of later versions) it cannot read in our copy either.
        if (!originals[i].parsed)
            continue;
        ASSERT_TRUE(rewritten[i].parsed) << "hwpjs refused our copy";
        ASSERT_FALSE(rewritten[i].fromMarkdown) << "hwpjs's to-json failed on our copy";
        ExpectSameTexts(rewritten[i].texts, OracleView(DisplayTexts(documents[i])), "rewritten");
        EXPECT_EQ(TextSets(rewritten[i].inner), TextSets(InnerTexts(documents[i]))) << "inside objects, rewritten";
    }
}

}  // namespace
