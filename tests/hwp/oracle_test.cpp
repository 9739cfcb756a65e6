// Every file the writer produces is read by @ohah/hwpjs, an HWP parser written by
// others, and gives back our text paragraph by paragraph.
#include <gtest/gtest.h>

#include "hwp/writer.h"
#include "hwp_testing.h"
#include "support/text.h"

namespace {

using namespace hwp_testing;

void ExpectOracleReadsOurText(const hwp::Document& document, const std::string& name)
{
    ScratchFolder scratch;
    const std::string path = scratch.File(name);
    hwp::WriteDocument(document, path);
    const OracleResult oracle = OracleTexts(path);
    if (!oracle.available)
        GTEST_SKIP() << "the hwpjs oracle is not installed (scripts/install-test-tools)";
    ASSERT_TRUE(oracle.parsed) << "hwpjs refused " << name;
    ASSERT_FALSE(oracle.fromMarkdown) << "hwpjs's to-json failed on " << name;
    const auto ours = OracleView(DisplayTexts(document));
    ASSERT_EQ(oracle.texts.size(), ours.size());
    for (std::size_t s = 0; s < ours.size(); ++s) {
        ASSERT_EQ(oracle.texts[s].size(), ours[s].size()) << "section " << s;
        for (std::size_t p = 0; p < ours[s].size(); ++p)
            EXPECT_EQ(Utf16ToUtf8(oracle.texts[s][p]), Utf16ToUtf8(ours[s][p])) << "section " << s << " paragraph " << p;
    }
}

TEST(HwpOracle, ReadsKoreanTextWithCircledDigitsStylesCharShapesAndAField)
{
    hwp::Document document = QuestionDocument();
    // A named field makes hwpjs's to-json fail (see the next test); the field's controls
    // in the text are the same with or without its name.
    document.sections.front().paragraphs[7].fields.front().name.clear();
    ExpectOracleReadsOurText(document, "question.hwp");
}

TEST(HwpOracle, ReadsANamedClickHereField)
{
    ScratchFolder scratch;
    const std::string path = scratch.File("named-field.hwp");
    const hwp::Document document = QuestionDocument();
    hwp::WriteDocument(document, path);
    const OracleResult oracle = OracleTexts(path);
    if (!oracle.available)
        GTEST_SKIP() << "the hwpjs oracle is not installed (scripts/install-test-tools)";
    ASSERT_TRUE(oracle.parsed);
    if (!oracle.fromMarkdown)
        return;   // a later hwpjs whose to-json copes: the other tests compare exactly
    // Its Markdown marks bold runs and drops line breaks and empty paragraphs: look for
    // each paragraph's text in order, with those marks taken out.
    std::u16string markdown;
    for (std::size_t i = 0; i < oracle.markdown.size(); ++i) {
        if (oracle.markdown.compare(i, 2, u"**") == 0)
            ++i;
        else
            markdown += oracle.markdown[i];
    }
    std::size_t from = 0;
    for (const hwp::Paragraph& paragraph : document.sections.front().paragraphs) {
        std::u16string text;
        for (char16_t c : paragraph.text) {
            if (c != u'\n')
                text += c;
        }
        if (text.empty())
            continue;
        const std::size_t at = markdown.find(text, from);
        ASSERT_NE(at, std::u16string::npos) << Utf16ToUtf8(text);
        from = at + text.size();
    }
}

TEST(HwpOracle, ReadsEmptyParagraphs)
{
    ExpectOracleReadsOurText(DocumentWithTexts({u"", u"가", u"", u"", u"나"}), "empty.hwp");
    ExpectOracleReadsOurText(hwp::NewDocument(), "new.hwp");
}

TEST(HwpOracle, ReadsADocumentOfThreePages)
{
    ExpectOracleReadsOurText(ThreePageDocument(), "three-pages.hwp");
}

TEST(HwpOracle, ReadsSeveralSectionsAndKeptObjects)
{
    hwp::Document document = DocumentWithTexts({u"첫째 구역의 글"});
    hwp::Control table = TableControl(document, {u"칸"});
    table.position = table.end = 2;
    document.sections.front().paragraphs.front().controls.push_back(table);
    hwp::Section landscape = document.sections.front();
    landscape.page.landscape = true;
    landscape.paragraphs.front().text = u"둘째 구역";
    landscape.paragraphs.front().controls.clear();
    document.sections.push_back(landscape);
    ExpectOracleReadsOurText(document, "sections.hwp");
}

}  // namespace
