// Text at the edges. The program's 8-bit text is UTF-8; it is widened to UTF-16 only
// where JSON is parsed and where the editor takes its arguments.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Fails (nullopt) on invalid UTF-8: overlong forms, surrogates, truncated sequences.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// Unpaired surrogates have no UTF-8 form and become '?'.
std::string Utf16ToUtf8(std::u16string_view text);
