#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "support/json.h"

namespace {

JsonOwnedPtr Parse(std::u16string_view text) { return ParseJson(text); }

TEST(ParseJson, AcceptsOneValueWithSurroundingWhitespaceOnly)
{
    auto empty = Parse(u"  {}  ");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->kind, JsonKind::Object);
    EXPECT_TRUE(empty->objectValue.empty());

    EXPECT_FALSE(Parse(u""));
    EXPECT_FALSE(Parse(u"   \t\r\n"));
    EXPECT_FALSE(Parse(u"{} x"));
    EXPECT_FALSE(ParseJson(static_cast<const std::u16string*>(nullptr)));
}

TEST(ParseJson, LiteralsIgnoreCase)
{
    for (auto text : {u"true", u"TRUE", u"tRuE"}) {
        auto v = Parse(text);
        ASSERT_TRUE(v);
        EXPECT_EQ(v->kind, JsonKind::Bool);
        EXPECT_TRUE(v->boolValue);
    }
    auto f = Parse(u"False");
    ASSERT_TRUE(f);
    EXPECT_FALSE(f->boolValue);
    auto n = Parse(u"NULL");
    ASSERT_TRUE(n);
    EXPECT_EQ(n->kind, JsonKind::Null);
    // Literals match as prefixes; what follows must still be a separator.
    EXPECT_FALSE(Parse(u"truex"));
    auto arr = Parse(u"[true,null]");
    ASSERT_TRUE(arr);
    EXPECT_EQ(arr->arrayValue.size(), 2u);
}

TEST(ParseJson, TrailingCommasFail)
{
    EXPECT_FALSE(Parse(u"[1,2,]"));
    EXPECT_FALSE(Parse(u"{\"a\":1,}"));
    EXPECT_FALSE(Parse(u"[1,"));
    EXPECT_FALSE(Parse(u"[,1]"));
}

TEST(ParseJson, LastDuplicateKeyWinsAndMembersAreOrderedByKey)
{
    auto v = Parse(u"{\"a\":1,\"a\":2}");
    ASSERT_TRUE(v);
    ASSERT_EQ(v->objectValue.size(), 1u);
    EXPECT_EQ(v->objectValue.at(u"a")->numberValue, 2.0);

    auto ordered = Parse(u"{\"z\":1,\"b\":2,\"m\":3,\"B\":4}");
    ASSERT_TRUE(ordered);
    std::u16string keys;
    for (const auto& [key, value] : ordered->objectValue)
        keys += key;
    EXPECT_EQ(keys, u"Bbmz");
}

TEST(ParseJson, NumbersFollowTheDigitRules)
{
    EXPECT_FALSE(Parse(u"012"));
    EXPECT_FALSE(Parse(u"-"));
    EXPECT_FALSE(Parse(u"1."));
    EXPECT_FALSE(Parse(u"1e"));
    EXPECT_FALSE(Parse(u"1e+"));
    EXPECT_FALSE(Parse(u".5"));

    auto negZero = Parse(u"-0");
    ASSERT_TRUE(negZero);
    EXPECT_EQ(negZero->numberValue, 0.0);
    EXPECT_TRUE(std::signbit(negZero->numberValue));

    EXPECT_EQ(Parse(u"1.5e2")->numberValue, 150.0);
    EXPECT_EQ(Parse(u"1E-2")->numberValue, 1.0 / 10.0 / 10.0);
    EXPECT_EQ(Parse(u"-12.25")->numberValue, -12.25);
    EXPECT_EQ(Parse(u"7e0")->numberValue, 7.0);
    EXPECT_EQ(Parse(u"2E+3")->numberValue, 2000.0);
}

TEST(ParseJson, HugeExponentsEndQuicklyWithTheSameResult)
{
    const auto start = std::chrono::steady_clock::now();
    auto big = Parse(u"1e999999999999");
    auto tiny = Parse(u"1e-999999999999");
    auto zero = Parse(u"0e99999999999999999999");
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(big && tiny && zero);
    EXPECT_TRUE(std::isinf(big->numberValue));
    EXPECT_EQ(tiny->numberValue, 0.0);
    EXPECT_EQ(zero->numberValue, 0.0);
    // Not a timing claim: a loop over the whole exponent would take minutes.
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}

TEST(ParseJson, StringEscapesAndControlCharacters)
{
    auto tab = Parse(u"\"a\tb\"");
    ASSERT_TRUE(tab);
    EXPECT_EQ(tab->stringValue, u"a\tb");
    EXPECT_FALSE(Parse(u"\"a\nb\""));

    auto e = Parse(u"\"\\u00e9\"");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->stringValue, std::u16string(1, char16_t(0xE9)));
    EXPECT_FALSE(Parse(u"\"\\u00\""));
    EXPECT_FALSE(Parse(u"\"\\x41\""));
    EXPECT_FALSE(Parse(u"\"abc"));

    auto all = Parse(u"\"\\\"\\/\\\\\\b\\f\\n\\r\\t\"");
    ASSERT_TRUE(all);
    EXPECT_EQ(all->stringValue, u"\"/\\\b\f\n\r\t");

    // Each \u escape is one code unit; a lone surrogate is kept as it is.
    auto sur = Parse(u"\"\\ud83d\"");
    ASSERT_TRUE(sur);
    EXPECT_EQ(sur->stringValue, std::u16string(1, char16_t(0xD83D)));
}

TEST(ParseJson, ObjectMembersMustBeQuotedKeysWithColons)
{
    EXPECT_FALSE(Parse(u"{a:1}"));
    EXPECT_FALSE(Parse(u"{\"a\" 1}"));
    EXPECT_FALSE(Parse(u"{\"a\":}"));
    EXPECT_FALSE(Parse(u"{\"a\":1 \"b\":2}"));
    auto nested = Parse(u"{ \"a\" : [ 1 , { \"b\" : null } ] }");
    ASSERT_TRUE(nested);
    const auto& a = nested->objectValue.at(u"a");
    ASSERT_EQ(a->arrayValue.size(), 2u);
    EXPECT_EQ(a->arrayValue[1]->objectValue.at(u"b")->kind, JsonKind::Null);
}

TEST(ParseJson, NestingIsBoundedInsteadOfExhaustingTheStack)
{
    auto nest = [](int depth) {
        return std::u16string(static_cast<std::size_t>(depth), u'[') + std::u16string(static_cast<std::size_t>(depth), u']');
    };
    EXPECT_TRUE(Parse(nest(kJsonMaxDepth)));
    EXPECT_FALSE(Parse(nest(kJsonMaxDepth + 1)));
    EXPECT_FALSE(Parse(nest(1000000)));
    EXPECT_FALSE(Parse(std::u16string(1000000, u'{')));
}

TEST(ParseJson, Utf8InputIsWidenedAndInvalidUtf8GivesNothing)
{
    auto v = ParseJsonUtf8("{\"title\":\"지문 ①\"}");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->objectValue.at(u"title")->stringValue, u"지문 ①");
    EXPECT_FALSE(ParseJsonUtf8("{\"a\":\"\xff\"}"));
}

} // namespace
