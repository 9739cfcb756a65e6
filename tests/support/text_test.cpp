#include <gtest/gtest.h>

#include "support/text.h"

namespace {

TEST(TextConversion, RoundTripsKoreanAndAstralCharacters)
{
    const std::string text = "정답 : ①, ③ \xF0\x9F\x98\x80 ok";
    auto wide = Utf8ToUtf16(text);
    ASSERT_TRUE(wide);
    EXPECT_EQ((*wide)[0], u'정');
    EXPECT_EQ(Utf16ToUtf8(*wide), text);
}

TEST(TextConversion, InvalidUtf8Fails)
{
    EXPECT_FALSE(Utf8ToUtf16("\xff"));
    EXPECT_FALSE(Utf8ToUtf16("\xC0\x80"));         // overlong NUL
    EXPECT_FALSE(Utf8ToUtf16("\xED\xA0\x80"));     // encoded surrogate
    EXPECT_FALSE(Utf8ToUtf16("\xE2\x91"));         // truncated
    EXPECT_FALSE(Utf8ToUtf16("ab\xF4\x90\x80\x80")); // beyond U+10FFFF
    EXPECT_TRUE(Utf8ToUtf16(""));
}

TEST(TextConversion, UnpairedSurrogatesBecomeQuestionMarks)
{
    std::u16string lone = u"a";
    lone.push_back(char16_t(0xD800));
    lone.push_back(u'b');
    lone.push_back(char16_t(0xDC00));
    EXPECT_EQ(Utf16ToUtf8(lone), "a?b?");
}

} // namespace
