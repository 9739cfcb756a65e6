#include <gtest/gtest.h>

#include <random>

#include "support/json.h"
#include "support/json_build.h"
#include "support/text.h"

namespace {

TEST(JsonBuild, GrowsObjectsMemberByMember)
{
    std::string json;
    JsonAppendInt(json, "a", 1);
    EXPECT_EQ(json, R"({"a":1})");
    JsonAppendInt(json, "b", 2);
    EXPECT_EQ(json, R"({"a":1,"b":2})");
    JsonAppendText(json, "c", "x");
    EXPECT_EQ(json, R"({"a":1,"b":2,"c":"x"})");
}

TEST(JsonBuild, SignedAndUnsignedFormats)
{
    std::string s;
    JsonAppendInt(s, "a", -1);
    EXPECT_EQ(s, R"({"a":-1})");
    std::string u;
    JsonAppendUInt(u, "a", static_cast<std::uint32_t>(-1));
    EXPECT_EQ(u, R"({"a":4294967295})");
}

TEST(JsonBuild, RawValuesAndArraysNest)
{
    std::string inner;
    JsonAppendText(inner, "k", "v");
    std::string outer;
    JsonAppendRaw(outer, "o", inner);
    EXPECT_EQ(outer, R"({"o":{"k":"v"}})");

    std::string array;
    JsonAppendItem(array, outer);
    JsonAppendItem(array, "");
    JsonAppendItem(array, inner);
    EXPECT_EQ(array, R"([{"o":{"k":"v"}},{"k":"v"}])");
    auto parsed = ParseJsonUtf8(array);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->arrayValue.size(), 2u);
}

TEST(JsonBuild, EscapesQuotesBackslashesAndControlCharacters)
{
    std::string json;
    JsonAppendText(json, "na\"me", "C:\\a \"b\"\n\t\x01");
    EXPECT_EQ(json, R"({"na\"me":"C:\\a \"b\"\n\t\u0001"})");
    auto parsed = ParseJsonUtf8(json);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(JsonGetText(JsonObjectOf(parsed.get()), "na\"me"), "C:\\a \"b\"\n\t\x01");
}

// Any UTF-8 text, whatever characters it holds, comes back unchanged.
TEST(JsonBuild, EveryTextValueSurvivesParsing)
{
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<int> len(0, 40);
    std::uniform_int_distribution<int> pick(0, 5);
    for (int round = 0; round < 2000; ++round) {
        std::u16string wide;
        const int n = len(rng);
        for (int i = 0; i < n; ++i) {
            switch (pick(rng)) {
            case 0: wide.push_back(static_cast<char16_t>(rng() % 0x20)); break;
            case 1: wide.push_back(u"\"\\/{}[],:"[rng() % 9]); break;
            case 2: wide.push_back(static_cast<char16_t>(0xAC00 + rng() % 11172)); break;
            case 3: wide += u"\U0001F600"; break;
            case 4: wide.push_back(static_cast<char16_t>(0x2460 + rng() % 5)); break;
            default: wide.push_back(static_cast<char16_t>(0x20 + rng() % 0x5F)); break;
            }
        }
        const std::string value = Utf16ToUtf8(wide);
        std::string json;
        JsonAppendText(json, "k", value);
        JsonAppendText(json, value, "v");
        auto parsed = ParseJsonUtf8(json);
        ASSERT_TRUE(parsed) << json;
        const JsonObject object = JsonObjectOf(parsed.get());
        EXPECT_EQ(JsonGetText(object, "k"), value);
        EXPECT_EQ(JsonGetText(object, value), "v");
    }
}

} // namespace
