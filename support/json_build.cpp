#include "support/json_build.h"

#include <cstdio>

std::string JsonEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += buf;
            } else {
                out.push_back(c);
            }
        }
    }
    return out;
}

namespace {

// {"key":value} or head,"key":value} where head is the text without its closing brace.
void AppendMember(std::string& json, std::string_view key, std::string_view valueText)
{
    std::string out;
    if (!json.empty()) {
        out.assign(json, 0, json.size() - 1);
        out += ',';
    } else {
        out = '{';
    }
    out += '"';
    out += JsonEscape(key);
    out += "\":";
    out += valueText;
    out += '}';
    json = std::move(out);
}

} // namespace

void JsonAppendText(std::string& json, std::string_view key, std::string_view value)
{
    AppendMember(json, key, '"' + JsonEscape(value) + '"');
}

void JsonAppendInt(std::string& json, std::string_view key, std::int32_t value)
{
    AppendMember(json, key, std::to_string(value));
}

void JsonAppendUInt(std::string& json, std::string_view key, std::uint32_t value)
{
    AppendMember(json, key, std::to_string(value));
}

void JsonAppendRaw(std::string& json, std::string_view key, std::string_view value)
{
    AppendMember(json, key, value);
}

void JsonAppendItem(std::string& json, std::string_view item)
{
    if (item.empty())
        return;
    std::string out;
    if (!json.empty()) {
        out.assign(json, 0, json.size() - 1);
        out += ',';
    } else {
        out = '[';
    }
    out += item;
    out += ']';
    json = std::move(out);
}
