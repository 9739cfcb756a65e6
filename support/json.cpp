#include "support/json.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "support/text.h"

JsonOwnedPtr JsonValue::MakeNull() { return std::make_unique<JsonValue>(); }

JsonOwnedPtr JsonValue::MakeString(std::u16string text)
{
    auto v = std::make_unique<JsonValue>();
    v->kind = JsonKind::String;
    v->stringValue = std::move(text);
    return v;
}

JsonOwnedPtr JsonValue::MakeBool(bool value)
{
    auto v = std::make_unique<JsonValue>();
    v->kind = JsonKind::Bool;
    v->boolValue = value;
    return v;
}

JsonOwnedPtr JsonValue::MakeNumber(double value)
{
    auto v = std::make_unique<JsonValue>();
    v->kind = JsonKind::Number;
    v->numberValue = value;
    return v;
}

JsonOwnedPtr JsonValue::MakeArray(JsonArray items)
{
    auto v = std::make_unique<JsonValue>();
    v->kind = JsonKind::Array;
    v->arrayValue = std::move(items);
    return v;
}

JsonOwnedPtr JsonValue::MakeObject(JsonMembers members)
{
    auto v = std::make_unique<JsonValue>();
    v->kind = JsonKind::Object;
    v->objectValue = std::move(members);
    return v;
}

namespace {

class Parser {
public:
    explicit Parser(std::u16string_view text) : m_text(text) {}

    JsonOwnedPtr ParseDocument()
    {
        SkipWhitespace();
        if (AtEnd())
            return nullptr;
        JsonOwnedPtr value = ParseValue(0);
        if (!value)
            return nullptr;
        SkipWhitespace();
        if (!AtEnd())
            return nullptr;
        return value;
    }

private:
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char16_t Peek() const { return m_text[m_pos]; }
    std::size_t Remaining() const { return m_text.size() - m_pos; }

    void SkipWhitespace()
    {
        while (!AtEnd()) {
            char16_t c = Peek();
            if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
                break;
            ++m_pos;
        }
    }

    static bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

    bool MatchLiteral(std::u16string_view word) const
    {
        if (Remaining() < word.size())
            return false;
        for (std::size_t i = 0; i < word.size(); ++i) {
            char16_t c = m_text[m_pos + i];
            if (c >= u'A' && c <= u'Z')
                c = static_cast<char16_t>(c - u'A' + u'a');
            if (c != word[i])
                return false;
        }
        return true;
    }

    JsonOwnedPtr ParseValue(int depth)
    {
        if (AtEnd())
            return nullptr;
        char16_t c = Peek();
        if (c == u'"') {
            ++m_pos;
            std::u16string body;
            if (!ParseStringBody(body))
                return nullptr;
            return JsonValue::MakeString(std::move(body));
        }
        if (MatchLiteral(u"true")) {
            m_pos += 4;
            return JsonValue::MakeBool(true);
        }
        if (MatchLiteral(u"false")) {
            m_pos += 5;
            return JsonValue::MakeBool(false);
        }
        if (MatchLiteral(u"null")) {
            m_pos += 4;
            return JsonValue::MakeNull();
        }
        if (c == u'-' || IsDigit(c))
            return ParseNumber();
        if (c == u'[' || c == u'{') {
            if (depth >= kJsonMaxDepth)
                return nullptr;
            return c == u'[' ? ParseArray(depth + 1) : ParseObject(depth + 1);
        }
        return nullptr;
    }

    static int HexValue(char16_t c)
    {
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        if (c >= u'a' && c <= u'f')
            return c - u'a' + 10;
        if (c >= u'A' && c <= u'F')
            return c - u'A' + 10;
        return -1;
    }

    // The position is just after the opening quote.
    bool ParseStringBody(std::u16string& out)
    {
        for (;;) {
            if (AtEnd())
                return false;
            char16_t c = Peek();
            if (c == u'"') {
                ++m_pos;
                return true;
            }
            if (c == u'\\') {
                ++m_pos;
                if (AtEnd())
                    return false;
                char16_t e = Peek();
                switch (e) {
                case u'"': case u'/': case u'\\': out.push_back(e); break;
                case u'b': out.push_back(8); break;
                case u'f': out.push_back(12); break;
                case u'n': out.push_back(10); break;
                case u'r': out.push_back(13); break;
                case u't': out.push_back(9); break;
                case u'u': {
                    if (Remaining() < 5)
                        return false;
                    unsigned unit = 0;
                    for (std::size_t i = 1; i <= 4; ++i) {
                        int h = HexValue(m_text[m_pos + i]);
                        if (h < 0)
                            return false;
                        unit = unit * 16 + static_cast<unsigned>(h);
                    }
                    // Each escape is one code unit; surrogates are neither paired nor checked.
                    out.push_back(static_cast<char16_t>(unit));
                    m_pos += 4;
                    break;
                }
                default:
                    return false;
                }
                ++m_pos;
                continue;
            }
            if (c < 32 && c != u'\t')
                return false;
            out.push_back(c);
            ++m_pos;
        }
    }

    // Digits accumulated one by one in floating point, as the records were always read.
    double ReadDigits()
    {
        double value = 0.0;
        while (!AtEnd() && IsDigit(Peek())) {
            value = value * 10.0 + static_cast<double>(Peek() - u'0');
            ++m_pos;
        }
        return value;
    }

    JsonOwnedPtr ParseNumber()
    {
        bool negative = false;
        if (Peek() == u'-') {
            negative = true;
            ++m_pos;
        }
        if (AtEnd())
            return nullptr;
        double value = 0.0;
        if (Peek() == u'0') {
            ++m_pos;
        } else if (IsDigit(Peek())) {
            value = ReadDigits();
        } else {
            return nullptr;
        }
        if (!AtEnd() && Peek() == u'.') {
            ++m_pos;
            if (AtEnd() || !IsDigit(Peek()))
                return nullptr;
            double factor = 0.1;
            while (!AtEnd() && IsDigit(Peek())) {
                value += static_cast<double>(Peek() - u'0') * factor;
                factor *= 0.1;
                ++m_pos;
            }
        }
        if (!AtEnd() && (Peek() == u'e' || Peek() == u'E')) {
            ++m_pos;
            bool negativeExponent = false;
            if (!AtEnd() && (Peek() == u'-' || Peek() == u'+')) {
                negativeExponent = Peek() == u'-';
                ++m_pos;
            }
            if (AtEnd() || !IsDigit(Peek()))
                return nullptr;
            double exponent = ReadDigits();
            // Once the value is 0 or infinite further steps change nothing, so a huge
            // exponent ends in a few hundred steps with the same result.
            for (double i = 0; i < exponent; i += 1.0) {
                if (value == 0.0 || std::isinf(value))
                    break;
                if (negativeExponent)
                    value /= 10.0;
                else
                    value *= 10.0;
            }
        }
        if (negative)
            value *= -1.0;
        return JsonValue::MakeNumber(value);
    }

    JsonOwnedPtr ParseArray(int depth)
    {
        ++m_pos;
        JsonArray items;
        while (!AtEnd()) {
            SkipWhitespace();
            if (AtEnd())
                return nullptr;
            if (items.empty() && Peek() == u']') {
                ++m_pos;
                return JsonValue::MakeArray(std::move(items));
            }
            JsonOwnedPtr item = ParseValue(depth);
            if (!item)
                return nullptr;
            items.push_back(std::move(item));
            SkipWhitespace();
            if (AtEnd())
                return nullptr;
            if (Peek() == u']') {
                ++m_pos;
                return JsonValue::MakeArray(std::move(items));
            }
            if (Peek() != u',')
                return nullptr;
            ++m_pos;
            if (AtEnd())
                return nullptr;
        }
        return nullptr;
    }

    JsonOwnedPtr ParseObject(int depth)
    {
        ++m_pos;
        JsonMembers members;
        while (!AtEnd()) {
            SkipWhitespace();
            if (AtEnd())
                return nullptr;
            if (members.empty() && Peek() == u'}') {
                ++m_pos;
                return JsonValue::MakeObject(std::move(members));
            }
            if (Peek() != u'"')
                return nullptr;
            ++m_pos;
            std::u16string key;
            if (!ParseStringBody(key))
                return nullptr;
            SkipWhitespace();
            if (AtEnd() || Peek() != u':')
                return nullptr;
            ++m_pos;
            SkipWhitespace();
            if (AtEnd())
                return nullptr;
            JsonOwnedPtr value = ParseValue(depth);
            if (!value)
                return nullptr;
            members[std::move(key)] = std::move(value);
            SkipWhitespace();
            if (AtEnd())
                return nullptr;
            if (Peek() == u'}') {
                ++m_pos;
                return JsonValue::MakeObject(std::move(members));
            }
            if (Peek() != u',')
                return nullptr;
            ++m_pos;
        }
        return nullptr;
    }

    std::u16string_view m_text;
    std::size_t m_pos = 0;
};

const JsonValue* Lookup(const JsonObject& object, std::string_view key)
{
    auto wide = Utf8ToUtf16(key);
    if (!wide)
        return nullptr;
    auto it = object.find(*wide);
    return it == object.end() ? nullptr : it->second;
}

// Truncation toward zero; values outside the 32-bit range clamp instead of being undefined.
std::int32_t TruncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

} // namespace

JsonOwnedPtr ParseJson(const std::u16string* text)
{
    if (!text)
        return nullptr;
    return ParseJson(std::u16string_view(*text));
}

JsonOwnedPtr ParseJson(std::u16string_view text) { return Parser(text).ParseDocument(); }

JsonOwnedPtr ParseJsonUtf8(std::string_view text)
{
    auto wide = Utf8ToUtf16(text);
    if (!wide)
        return nullptr;
    return ParseJson(std::u16string_view(*wide));
}

JsonObject JsonObjectOf(const JsonValue* value)
{
    JsonObject view;
    if (value && value->kind == JsonKind::Object) {
        for (const auto& [key, child] : value->objectValue)
            view.emplace(key, child.get());
    }
    return view;
}

std::int32_t JsonGetInt(const JsonObject& object, std::string_view key)
{
    const JsonValue* v = Lookup(object, key);
    if (!v)
        return 0;
    switch (v->kind) {
    case JsonKind::String: return TextToInt(Utf16ToUtf8(v->stringValue));
    case JsonKind::Number: return TruncateToInt(v->numberValue);
    case JsonKind::Bool: return v->boolValue ? 1 : 0;
    default: return 0;
    }
}

std::uint32_t JsonGetUInt(const JsonObject& object, std::string_view key)
{
    const JsonValue* v = Lookup(object, key);
    if (v && v->kind == JsonKind::Number && v->numberValue >= 0.0 && v->numberValue <= 4294967295.0)
        return static_cast<std::uint32_t>(v->numberValue);
    return static_cast<std::uint32_t>(JsonGetInt(object, key));
}

std::string JsonGetText(const JsonObject& object, std::string_view key)
{
    const JsonValue* v = Lookup(object, key);
    if (!v)
        return {};
    switch (v->kind) {
    case JsonKind::String: return Utf16ToUtf8(v->stringValue);
    case JsonKind::Number: return std::to_string(TruncateToInt(v->numberValue));
    case JsonKind::Bool: return v->boolValue ? "TRUE" : "FALSE";
    default: return {};
    }
}

JsonObject JsonGetObject(const JsonObject& object, std::string_view key)
{
    return JsonObjectOf(Lookup(object, key));
}

std::int32_t TextToInt(std::string_view text)
{
    std::size_t i = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        value = value * 10 + (text[i] - '0');
        if (value > limit) {
            value = limit;
            // Keep consuming digits; the result stays clamped.
        }
        ++i;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}
