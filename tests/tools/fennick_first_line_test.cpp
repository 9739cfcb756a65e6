// First lines of real HWP documents, as the picker lists them. The samples live outside
// the repository; the cases skip when they are absent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "hwp/document.h"
#include "hwpx/writer.h"
#include "tools/fennick/hwp_first_line.h"

namespace {

namespace fs = std::filesystem;

fs::path Samples()
{
    const char* source = std::getenv("VARNEL_SOURCE_DIR");
    return fs::path(source ? source : VARNEL_TEST_SOURCE_DIR) / ".." / "shared" / "hwp-samples";
}

TEST(HwpFirstLine, IsTheFirstParagraphWithText)
{
    if (!fs::exists(Samples() / "paragraph-split-page.hwp"))
        GTEST_SKIP() << "no HWP samples at " << Samples();
    EXPECT_EQ(fennick::ReadHwpFirstLine((Samples() / "paragraph-split-page.hwp").string()), "가나다");
    EXPECT_EQ(fennick::ReadHwpFirstLine((Samples() / "headerfooter.hwp").string()), "첫 페이지");
}

TEST(HwpFirstLine, APassageStoredAsHwpxIsReadByItsContent)
{
    char pattern[] = "/tmp/varnel-fennick-hwpx-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    hwp::Document document = hwp::NewDocument();
    hwp::Paragraph paragraph = document.sections[0].paragraphs[0];
    paragraph.text = u"HWPX로 받은 지문";
    document.sections[0].paragraphs.insert(document.sections[0].paragraphs.begin() + 1, paragraph);
    const fs::path stored = fs::path(pattern) / "text.hwp";
    hwpx::WriteHwpx(document, stored.string());
    EXPECT_EQ(fennick::ReadHwpFirstLine(stored.string()), "HWPX로 받은 지문");
    fs::remove_all(pattern);
}

TEST(HwpFirstLine, UnreadableDocumentsHaveNone)
{
    if (fs::exists(Samples() / "password-12345.hwp")) {
        EXPECT_EQ(fennick::ReadHwpFirstLine((Samples() / "password-12345.hwp").string()), "");
    }
    char pattern[] = "/tmp/varnel-fennick-hwp-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path fake = fs::path(pattern) / "text.hwp";
    std::ofstream(fake) << "plain text, not a compound file";
    EXPECT_EQ(fennick::ReadHwpFirstLine(fake.string()), "");
    EXPECT_EQ(fennick::ReadHwpFirstLine((fs::path(pattern) / "missing.hwp").string()), "");
    fs::remove_all(pattern);
}

} // namespace
