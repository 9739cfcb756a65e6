#include "render/pdf_text_layer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kCMapStart = "/CIDInit /ProcSet findresource begin";
constexpr std::size_t kEntriesPerBlock = 100;   // the most one bfchar block may hold

bool ReadsAsNothing(unsigned code)
{
    return code < 0x20 || (code >= 0x7F && code < 0xA0) || code == 0x2028 || code == 0x2029 || code == 0xFFFC;
}

// The <...> hex strings of `line`, each as 16-bit units.
std::vector<std::u16string> HexStrings(std::string_view line)
{
    std::vector<std::u16string> strings;
    for (std::size_t at = line.find('<'); at != std::string_view::npos; at = line.find('<', at + 1)) {
        const std::size_t end = line.find('>', at);
        if (end == std::string_view::npos)
            break;
        std::u16string units;
        for (std::size_t i = at + 1; i + 4 <= end; i += 4)
            units.push_back(static_cast<char16_t>(std::strtoul(std::string(line.substr(i, 4)).c_str(), nullptr, 16)));
        strings.push_back(std::move(units));
        at = end;
    }
    return strings;
}

// The glyph-to-text entries of a CMap's bfchar and bfrange blocks, by glyph. Qt's writer
// puts one entry on a line: "<glyph> <text>", "<first> <last> <text>" (the last unit
// counting on) or "<first> <last> [<text> ...]".
std::map<unsigned, std::u16string> ReadEntries(std::string_view cmap)
{
    std::map<unsigned, std::u16string> entries;
    bool ranges = false, chars = false;
    for (std::size_t at = 0; at < cmap.size();) {
        std::size_t end = cmap.find('\n', at);
        if (end == std::string_view::npos)
            end = cmap.size();
        const std::string_view line = cmap.substr(at, end - at);
        at = end + 1;
        if (line.find("beginbf") != std::string_view::npos || line.find("endbf") != std::string_view::npos) {
            ranges = line.find("beginbfrange") != std::string_view::npos;
            chars = line.find("beginbfchar") != std::string_view::npos;
            continue;
        }
        std::vector<std::u16string> hex = HexStrings(line);
        if (chars && hex.size() == 2 && hex[0].size() == 1)
            entries[hex[0][0]] = hex[1];
        if (!ranges || hex.size() < 3 || hex[0].size() != 1 || hex[1].size() != 1 || hex[1][0] < hex[0][0])
            continue;
        const bool listed = line.find('[') != std::string_view::npos;
        for (unsigned glyph = hex[0][0], i = 2; glyph <= hex[1][0] && !hex[2].empty(); ++glyph) {
            if (!listed) {
                entries[glyph] = hex[2];
                ++hex[2].back();
            } else if (i < hex.size()) {
                entries[glyph] = hex[i++];
            }
        }
    }
    return entries;
}

std::string Hex(const std::u16string& units)
{
    std::string hex = "<";
    char digits[5];
    for (const char16_t unit : units) {
        std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(unit));
        hex += digits;
    }
    return hex + ">";
}

// The CMap with every entry that reads as nothing reading as a space, or nothing when
// none does.
std::optional<std::string> CleanedCMap(std::string_view cmap)
{
    std::map<unsigned, std::u16string> entries = ReadEntries(cmap);
    bool changed = false;
    for (auto& [glyph, text] : entries) {
        if (text.size() == 1 && ReadsAsNothing(text[0])) {
            text = u" ";
            changed = true;
        }
    }
    // The blocks are written anew between the map's head and its end.
    const std::size_t first = std::min(cmap.find("beginbfrange"), cmap.find("beginbfchar"));
    const std::size_t headEnd = first == std::string_view::npos ? first : cmap.rfind('\n', first);
    const std::size_t tail = cmap.find("endcmap");
    if (!changed || headEnd == std::string_view::npos || tail == std::string_view::npos || tail < first)
        return std::nullopt;
    std::string out(cmap.substr(0, headEnd + 1));
    auto entry = entries.begin();
    while (entry != entries.end()) {
        std::string block;
        std::size_t count = 0;
        for (; entry != entries.end() && count < kEntriesPerBlock; ++entry, ++count)
            block += Hex(std::u16string(1, static_cast<char16_t>(entry->first))) + " " + Hex(entry->second) + "\n";
        out += std::to_string(count) + " beginbfchar\n" + block + "endbfchar\n";
    }
    out += cmap.substr(tail);
    return out;
}

struct Xref {
    std::size_t at = 0;            // of the keyword "xref"
    std::size_t entriesAt = 0;     // of the first entry
    std::vector<std::size_t> offsets;   // per object number; 0 for free ones
    std::size_t trailerAt = 0;     // after the last entry
};

std::optional<Xref> ReadXref(std::string_view pdf)
{
    const std::size_t start = pdf.rfind("startxref");
    if (start == std::string::npos)
        return std::nullopt;
    Xref xref;
    xref.at = std::strtoull(pdf.data() + start + 9, nullptr, 10);
    unsigned first = 0, count = 0;
    int read = 0;
    if (xref.at >= start || pdf.compare(xref.at, 4, "xref") != 0 ||
        std::sscanf(pdf.data() + xref.at + 4, " %u %u%n", &first, &count, &read) != 2 || first != 0)
        return std::nullopt;
    std::size_t at = xref.at + 4 + static_cast<std::size_t>(read);
    while (at < pdf.size() && (pdf[at] == '\n' || pdf[at] == '\r' || pdf[at] == ' '))
        ++at;
    xref.entriesAt = at;
    constexpr std::size_t kEntry = 20;
    if (at + std::size_t{count} * kEntry > start)
        return std::nullopt;
    for (unsigned i = 0; i < count; ++i, at += kEntry) {
        const bool used = pdf[at + 17] == 'n';
        xref.offsets.push_back(used ? std::strtoull(pdf.data() + at, nullptr, 10) : 0);
        if (used && xref.offsets.back() >= xref.at)
            return std::nullopt;
    }
    xref.trailerAt = at;
    return xref;
}

// The object at `text` (its "N 0 obj" up to the next object) with its CMap stream cleaned,
// or nothing when it holds no such stream or the stream needs nothing.
std::optional<std::string> CleanedObject(std::string_view text)
{
    const std::size_t stream = text.find("stream\n");
    if (stream == std::string_view::npos || text.compare(stream + 7, kCMapStart.size(), kCMapStart) != 0)
        return std::nullopt;
    const std::size_t dataAt = stream + 7;
    const std::size_t end = text.find("endstream", dataAt);
    const std::size_t lengthAt = text.find("/Length ");
    if (end == std::string_view::npos || lengthAt == std::string_view::npos || lengthAt > stream ||
        text.substr(0, stream).find("/Filter") != std::string_view::npos)
        return std::nullopt;
    const std::size_t length = std::strtoull(std::string(text.substr(lengthAt + 8, 20)).c_str(), nullptr, 10);
    if (dataAt + length > end)
        return std::nullopt;
    const std::optional<std::string> cmap = CleanedCMap(text.substr(dataAt, length));
    if (!cmap)
        return std::nullopt;
    std::size_t lengthEnd = lengthAt + 8;
    while (lengthEnd < stream && text[lengthEnd] >= '0' && text[lengthEnd] <= '9')
        ++lengthEnd;
    std::string out(text.substr(0, lengthAt + 8));
    out += std::to_string(cmap->size());
    out += text.substr(lengthEnd, dataAt - lengthEnd);
    out += *cmap;
    out += text.substr(dataAt + length);
    return out;
}

} // namespace

bool WriteCleanPdf(std::string_view pdf, const std::function<void(std::string_view)>& write)
{
    const std::optional<Xref> xref = ReadXref(pdf);
    if (!xref)
        return false;
    // The objects in file order, each running up to the next or to the table.
    std::vector<std::size_t> starts;
    for (const std::size_t offset : xref->offsets) {
        if (offset != 0)
            starts.push_back(offset);
    }
    std::sort(starts.begin(), starts.end());
    if (starts.empty())
        return false;
    const auto objectAt = [&](std::size_t i) {
        const std::size_t end = i + 1 < starts.size() ? starts[i + 1] : xref->at;
        return pdf.substr(starts[i], end - starts[i]);
    };
    std::map<std::size_t, std::string> cleaned;   // by index in `starts`
    for (std::size_t i = 0; i < starts.size(); ++i) {
        if (std::optional<std::string> object = CleanedObject(objectAt(i)))
            cleaned.emplace(i, std::move(*object));
    }
    if (cleaned.empty()) {
        write(pdf);
        return true;
    }
    std::size_t written = 0;
    const auto out = [&](std::string_view piece) {
        write(piece);
        written += piece.size();
    };
    out(pdf.substr(0, starts.front()));
    std::map<std::size_t, std::size_t> moved;   // old offset -> new
    for (std::size_t i = 0; i < starts.size(); ++i) {
        moved[starts[i]] = written;
        const auto found = cleaned.find(i);
        out(found != cleaned.end() ? std::string_view(found->second) : objectAt(i));
    }
    const std::size_t xrefAt = written;
    std::string tail(pdf.substr(xref->at, xref->entriesAt - xref->at));
    char entry[21];
    for (std::size_t i = 0; i < xref->offsets.size(); ++i) {
        const std::size_t offset = xref->offsets[i];
        if (offset == 0)
            tail += pdf.substr(xref->entriesAt + i * 20, 20);
        else {
            std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", moved[offset]);
            tail += entry;
        }
    }
    const std::size_t start = pdf.rfind("startxref");
    tail += pdf.substr(xref->trailerAt, start - xref->trailerAt);
    tail += "startxref\n" + std::to_string(xrefAt) + "\n%%EOF\n";
    out(tail);
    return true;
}

bool CleanPdfTextLayer(std::string& pdf)
{
    std::string out;
    if (!WriteCleanPdf(pdf, [&out](std::string_view piece) { out += piece; }))
        return false;
    pdf = std::move(out);
    return true;
}
