#include <gtest/gtest.h>

#include "support/json.h"

namespace {

struct Tree {
    JsonOwnedPtr root;
    JsonObject object;
    explicit Tree(std::string_view text) : root(ParseJsonUtf8(text)), object(JsonObjectOf(root.get())) {}
};

TEST(JsonGetInt, ConvertsEachKind)
{
    Tree t(R"({"s":" 42abc","w":"abc","n":-3.7,"t":true,"f":false,"z":null,"a":[1],"o":{},"big":1e20,"neg":"-17"})");
    EXPECT_EQ(JsonGetInt(t.object, "s"), 42);
    EXPECT_EQ(JsonGetInt(t.object, "w"), 0);
    EXPECT_EQ(JsonGetInt(t.object, "n"), -3);
    EXPECT_EQ(JsonGetInt(t.object, "t"), 1);
    EXPECT_EQ(JsonGetInt(t.object, "f"), 0);
    EXPECT_EQ(JsonGetInt(t.object, "z"), 0);
    EXPECT_EQ(JsonGetInt(t.object, "a"), 0);
    EXPECT_EQ(JsonGetInt(t.object, "o"), 0);
    EXPECT_EQ(JsonGetInt(t.object, "missing"), 0);
    EXPECT_EQ(JsonGetInt(t.object, "neg"), -17);
    // Out of range clamps rather than being undefined.
    EXPECT_EQ(JsonGetInt(t.object, "big"), 2147483647);
}

TEST(JsonGetText, ConvertsEachKind)
{
    Tree t(R"({"n":12,"m":12.9,"k":-2.5,"f":false,"t":true,"a":[1],"s":"한글 ①","z":null})");
    EXPECT_EQ(JsonGetText(t.object, "n"), "12");
    EXPECT_EQ(JsonGetText(t.object, "m"), "12");
    EXPECT_EQ(JsonGetText(t.object, "k"), "-2");
    EXPECT_EQ(JsonGetText(t.object, "f"), "FALSE");
    EXPECT_EQ(JsonGetText(t.object, "t"), "TRUE");
    EXPECT_EQ(JsonGetText(t.object, "a"), "");
    EXPECT_EQ(JsonGetText(t.object, "z"), "");
    EXPECT_EQ(JsonGetText(t.object, "s"), "한글 ①");
}

TEST(JsonGetObject, GivesTheMemberObjectOrNothing)
{
    Tree t(R"({"info":{"exam_key":7},"text":"x"})");
    JsonObject info = JsonGetObject(t.object, "info");
    EXPECT_EQ(JsonGetInt(info, "exam_key"), 7);
    EXPECT_TRUE(JsonGetObject(t.object, "text").empty());
    EXPECT_TRUE(JsonGetObject(t.object, "none").empty());
}

TEST(JsonGetters, KeysMatchExactlyIncludingCase)
{
    Tree t(R"({"exam_key":5})");
    EXPECT_EQ(JsonGetInt(t.object, "exam_key"), 5);
    EXPECT_EQ(JsonGetInt(t.object, "EXAM_KEY"), 0);
    EXPECT_EQ(JsonGetInt(t.object, "exam_key "), 0);
}

TEST(TextToInt, ReadsLeadingDecimalDigits)
{
    EXPECT_EQ(TextToInt(" 42abc"), 42);
    EXPECT_EQ(TextToInt("\t-8"), -8);
    EXPECT_EQ(TextToInt("+9"), 9);
    EXPECT_EQ(TextToInt("abc"), 0);
    EXPECT_EQ(TextToInt(""), 0);
    EXPECT_EQ(TextToInt("- 5"), 0);
    EXPECT_EQ(TextToInt("99999999999"), 2147483647);
    EXPECT_EQ(TextToInt("-2147483648"), -2147483647 - 1);
}

} // namespace

namespace {

TEST(JsonGetUInt, ReadsKeyNumbersInFull)
{
    Tree t(R"({"big":3000000000,"max":4294967295,"neg":-1,"s":"77","f":2.9,"over":5e9})");
    EXPECT_EQ(JsonGetUInt(t.object, "big"), 3000000000u);
    EXPECT_EQ(JsonGetUInt(t.object, "max"), 4294967295u);
    EXPECT_EQ(JsonGetUInt(t.object, "neg"), 4294967295u);
    EXPECT_EQ(JsonGetUInt(t.object, "s"), 77u);
    EXPECT_EQ(JsonGetUInt(t.object, "f"), 2u);
    EXPECT_EQ(JsonGetUInt(t.object, "over"), 2147483647u);
    EXPECT_EQ(JsonGetUInt(t.object, "missing"), 0u);
}

} // namespace
