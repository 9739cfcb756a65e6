#include "hwp/bin_data.h"

#include <cstdio>
#include <set>

#include "hwp/bytes.h"
#include "hwp/error.h"

namespace hwp {
namespace {

constexpr std::uint16_t kCompressionMask = 0x30;
constexpr std::uint16_t kCompressionDefault = 0x00;
constexpr std::uint16_t kCompressionOff = 0x20;

std::uint16_t Property(const BinDataItem& item)
{
    return item.record.size() >= 2 ? static_cast<std::uint16_t>(item.record[0] | (item.record[1] << 8)) : 0;
}

std::string Lower(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// "BIN" and four hex digits, as the word processor names them, then the extension.
std::string StreamName(std::uint16_t id, const std::string& extension)
{
    char name[16];
    std::snprintf(name, sizeof name, "BIN%04X", id);
    return extension.empty() ? std::string(name) : std::string(name) + "." + extension;
}

std::string ExtensionOf(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

}  // namespace

BinDataKind KindOf(const BinDataItem& item)
{
    const unsigned kind = Property(item) & 0x0F;
    return kind == 1 ? BinDataKind::Embedding : kind == 2 ? BinDataKind::Storage : BinDataKind::Link;
}

std::uint16_t StreamIdOf(const BinDataItem& item)
{
    if (KindOf(item) == BinDataKind::Link || item.record.size() < 4)
        return 0;
    return static_cast<std::uint16_t>(item.record[2] | (item.record[3] << 8));
}

BinDataItem WithStreamId(BinDataItem item, std::uint16_t id)
{
    if (KindOf(item) == BinDataKind::Link || item.record.size() < 4)
        return item;
    item.record[2] = static_cast<std::uint8_t>(id & 0xFF);
    item.record[3] = static_cast<std::uint8_t>(id >> 8);
    item.streamName = StreamName(id, ExtensionOf(item.streamName));
    return item;
}

BinDataStreams TakeBinDataStreams(StreamMap& streams)
{
    BinDataStreams taken;
    for (auto& [name, data] : streams) {
        if (name.compare(0, 8, "BinData/") == 0)
            taken.emplace(name, std::move(data));
    }
    return taken;
}

BinDataItem ReadBinData(std::string_view record, const BinDataStreams& streams, bool compressedDocument)
{
    BinDataItem item;
    item.record = ToBytes(record);
    ByteReader in(record, "bin data record");
    const std::uint16_t property = in.U16();
    if (KindOf(item) == BinDataKind::Link) {
        in.Text16();   // absolute path
        in.Text16();   // relative path
        return item;
    }
    const std::uint16_t id = in.U16();
    std::string extension;
    if (KindOf(item) == BinDataKind::Embedding) {
        for (char16_t c : in.Text16())
            extension += c < 0x80 ? static_cast<char>(c) : '_';
    } else {
        extension = "OLE";
    }
    // Names differ in case between writers: match without it.
    const std::string wanted = Lower("BinData/" + StreamName(id, extension));
    const std::string prefix = Lower("BinData/" + StreamName(id, {})) + ".";
    const BinDataStreams::value_type* found = nullptr;
    for (const auto& entry : streams) {
        const std::string name = Lower(entry.first);
        if (name == wanted) {
            found = &entry;
            break;
        }
        if (!found && name.compare(0, prefix.size(), prefix) == 0)
            found = &entry;
    }
    if (!found)
        throw HwpError("damaged document: the stream of bin data " + std::to_string(id) + " (" +
                       StreamName(id, extension) + ") is missing");
    item.streamName = found->first.substr(8);
    item.stream = found->second;
    // The item may go into a compressed document (an object pasted into another pane's):
    // a stream stored plain because its document was says so itself from now on.
    if ((property & kCompressionMask) == kCompressionDefault && !compressedDocument)
        item.record[0] = static_cast<std::uint8_t>((property & ~kCompressionMask) | kCompressionOff);
    return item;
}

std::string WriteBinDataRecord(const BinDataItem& item)
{
    return std::string(View(item.record));
}

std::vector<std::pair<std::string, Bytes>> UnlistedBinData(const Document& document, const BinDataStreams& streams)
{
    std::set<std::string> named;
    for (const BinDataItem& item : document.binData) {
        if (!item.streamName.empty())
            named.insert("BinData/" + item.streamName);
    }
    std::vector<std::pair<std::string, Bytes>> out;
    for (const auto& [name, data] : streams) {
        if (name.compare(0, 8, "BinData/") == 0 && !named.count(name))
            out.emplace_back(name.substr(8), ToBytes(data.View()));
    }
    return out;
}

void WriteBinDataStreams(const Document& document, StreamViews& streams)
{
    for (const auto& [name, data] : document.unlistedBinData)
        streams["BinData/" + name] = View(data);
    for (const BinDataItem& item : document.binData) {
        if (item.streamName.empty())
            continue;
        const std::string path = "BinData/" + item.streamName;
        if (streams.count(path) && streams[path] != item.stream.View())
            throw HwpError("invalid document: two bin data items are named " + item.streamName);
        streams[path] = item.stream.View();
    }
}

}  // namespace hwp
