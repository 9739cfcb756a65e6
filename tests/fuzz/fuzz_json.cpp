// Feeds arbitrary bytes to the JSON parser, both as UTF-8 and as raw UTF-16 units,
// and reads what it gets back through the getters.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support/json.h"
#include "support/json_build.h"
#include "support/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (auto root = ParseJsonUtf8(bytes)) {
        const JsonObject object = JsonObjectOf(root.get());
        for (const auto& member : object) {
            (void)member;
        }
        (void)JsonGetInt(object, "exam_key");
        (void)JsonGetText(object, "web_svr");
        (void)JsonGetObject(object, "exam_info");
    }
    std::u16string wide(size / 2, u'\0');
    for (std::size_t i = 0; i + 1 < size; i += 2)
        wide[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    (void)ParseJson(std::u16string_view(wide));

    // Whatever valid text we build must parse back to the same value.
    if (Utf8ToUtf16(bytes)) {
        std::string built;
        JsonAppendText(built, "k", bytes);
        auto back = ParseJsonUtf8(built);
        if (!back || JsonGetText(JsonObjectOf(back.get()), "k") != bytes)
            __builtin_trap();
    }
    return 0;
}
