// JSON values and the parser that every JSON text the program reads goes through
// (launch record, sibling tools' answers, .dat records), plus the typed getters.
//
// The parser works on UTF-16 text; callers widen their UTF-8 first (support/text.h).
// Writing JSON does not use this tree: see support/json_build.h.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class JsonKind : std::int32_t { Null = 0, String = 1, Bool = 2, Number = 3, Array = 4, Object = 5 };

struct JsonValue;

// A node owns its children; releasing the root releases the whole tree.
using JsonOwnedPtr = std::unique_ptr<JsonValue>;
using JsonArray = std::vector<JsonOwnedPtr>;
// Members ordered by key code units; the last duplicate of a key wins.
using JsonMembers = std::map<std::u16string, JsonOwnedPtr>;

// A view of an object's members: the pointers refer into a tree that must outlive it.
using JsonObject = std::map<std::u16string, const JsonValue*>;

struct JsonValue {
    JsonKind kind = JsonKind::Null;
    std::u16string stringValue;
    bool boolValue = false;
    double numberValue = 0.0;
    JsonArray arrayValue;
    JsonMembers objectValue;

    static JsonOwnedPtr MakeNull();
    static JsonOwnedPtr MakeString(std::u16string text);
    static JsonOwnedPtr MakeBool(bool value);
    static JsonOwnedPtr MakeNumber(double value);
    static JsonOwnedPtr MakeArray(JsonArray items);
    static JsonOwnedPtr MakeObject(JsonMembers members);
};

// Deeper nesting than this fails the parse instead of exhausting the stack.
inline constexpr int kJsonMaxDepth = 512;

// The one value of the text, surrounded by optional whitespace; null for a null text,
// bad syntax or trailing text.
JsonOwnedPtr ParseJson(const std::u16string* text);
JsonOwnedPtr ParseJson(std::u16string_view text);

// Widens UTF-8 first; invalid UTF-8 gives null.
JsonOwnedPtr ParseJsonUtf8(std::string_view text);

// The members of an object value as a view; empty for null or any other kind.
JsonObject JsonObjectOf(const JsonValue* value);

// Getters: a missing key or a value of another kind gives 0, an empty text or an empty object.
std::int32_t JsonGetInt(const JsonObject& object, std::string_view key);
// Key numbers: a number from 0 to 2^32 - 1 is read in full (JsonGetInt clamps above 2^31);
// anything else as JsonGetInt gives it, taken unsigned.
std::uint32_t JsonGetUInt(const JsonObject& object, std::string_view key);
std::string JsonGetText(const JsonObject& object, std::string_view key);
JsonObject JsonGetObject(const JsonObject& object, std::string_view key);

// Decimal conversion: leading whitespace, optional sign, digits up to the first other
// character; 0 when there are none. Out-of-range values clamp to the 32-bit limits.
std::int32_t TextToInt(std::string_view text);
