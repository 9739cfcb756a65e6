// JSON text grown one member at a time, without a tree. An object text is empty or ends
// with '}', an array text is empty or ends with ']': each builder drops that last
// character before appending.
//
// Keys and text values are escaped ("\"", "\\", control characters), so any text
// survives a round trip through ParseJson; text that needs no escaping comes out
// verbatim in the fixed formats ({"k":"v"}, {"k":1}, [a,b]).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

void JsonAppendText(std::string& json, std::string_view key, std::string_view value);
void JsonAppendInt(std::string& json, std::string_view key, std::int32_t value);
void JsonAppendUInt(std::string& json, std::string_view key, std::uint32_t value);
// The value is JSON text (object, array or number) inserted as it is.
void JsonAppendRaw(std::string& json, std::string_view key, std::string_view value);
// An empty item leaves the array text unchanged.
void JsonAppendItem(std::string& json, std::string_view item);

// The text with '"', '\\' and control characters escaped, without surrounding quotes.
std::string JsonEscape(std::string_view text);
